// The program's settings: the defaults table and the folder rules over the registry accessors
// (which this header brings along for its users).
#pragma once
#include <cstdint>
#include <string>

#include "brevisto/support/registry_values.h"
#include "platform/platform.h"

namespace bv {

// The program's own key under HKEY_CURRENT_USER.
extern const char* const SettingsKey;

// Expands %NAME% references of a non-empty text; with `trailingBackslash` appends "\" unless
// present. An empty text stays empty.
std::string ExpandPath(Shell& shell, const std::string& text, bool trailingBackslash);

// The settings of the program with their defaults applied; read at the moment of use.
class Settings {
public:
    explicit Settings(Platform& platform) : p_(platform) {}

    // Resolved folders, each with a trailing backslash.
    std::string BackupFolder();     // "bakFolder" or documents + "bvq-backups\"
    std::string TemporaryFolder();  // "tmpFolder" or the system's temporary folder

    int MaxBackups();       // "maxBackups", below 1 counts as 10
    int UpdateOUPeriod();   // "UpdOUPeriod", 30
    bool StopProgram();
    bool AskForPassword();
    bool TestBackup();      // true when missing
    bool NoMessages();      // true when missing
    bool OEAutoClose();
    bool OEAutoStart();
    bool OEAutoStart2();
    bool OEPrintAfterBackup();
    int Priority();         // 0..3, negative counts as 0
    bool Minimize();
    int Compression();      // 0..9, 5 when missing
    bool Again(const std::string& againName);  // the "again_" notice flags

    // Raw access to a value of the program's key.
    std::string String(const std::string& name);
    int32_t Integer(const std::string& name);
    bool Bool(const std::string& name);
    bool SetString(const std::string& name, const std::string& value);
    bool SetInteger(const std::string& name, int32_t value);
    bool SetBool(const std::string& name, bool value);

private:
    bool TrueUnlessFalse(const std::string& name);
    Platform& p_;
};

}  // namespace bv
