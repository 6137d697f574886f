#include "brevisto/settings/settings_store.h"

#include "brevisto/support/path_component.h"
#include "platform/path.h"

namespace bv {

const char* const SettingsKey = "Software\\Quillmar Software\\bvq";

std::string ExpandPath(Shell& shell, const std::string& text, bool trailingBackslash) {
    if (text.empty()) return text;
    std::string expanded = shell.ExpandEnvironment(text);
    return trailingBackslash ? IncludeTrailingBackslash(expanded) : expanded;
}

// ---- Settings with their defaults ---------------------------------------------------

std::string Settings::String(const std::string& name) {
    return ReadRegString(p_.registry, 1, SettingsKey, name);
}
int32_t Settings::Integer(const std::string& name) {
    return ReadRegInteger(p_.registry, 1, SettingsKey, name);
}
bool Settings::Bool(const std::string& name) { return ReadRegBool(p_.registry, 1, SettingsKey, name); }
bool Settings::SetString(const std::string& name, const std::string& value) {
    return WriteRegString(p_.registry, 1, SettingsKey, name, value);
}
bool Settings::SetInteger(const std::string& name, int32_t value) {
    return WriteRegInteger(p_.registry, 1, SettingsKey, name, value);
}
bool Settings::SetBool(const std::string& name, bool value) {
    return WriteRegBool(p_.registry, 1, SettingsKey, name, value);
}

std::string Settings::BackupFolder() {
    std::string folder = ExpandPath(p_.shell, String("bakFolder"), true);
    if (!folder.empty()) return folder;
    // Without a documents folder there is no default: never fall back to a drive root.
    std::string documents = TPathComponent(p_).ShellPersonalFolder();
    if (documents.empty()) return std::string();
    return IncludeTrailingBackslash(documents) + "bvq-backups\\";
}

std::string Settings::TemporaryFolder() {
    std::string folder = ExpandPath(p_.shell, String("tmpFolder"), true);
    if (!folder.empty()) return folder;
    std::string temp = p_.system.TempPath();
    return temp.empty() ? std::string() : IncludeTrailingBackslash(temp);
}

int Settings::MaxBackups() {
    int value = Integer("maxBackups");
    return value < 1 ? 10 : value;
}

int Settings::UpdateOUPeriod() {
    int value = Integer("UpdOUPeriod");
    return value == -1 ? 30 : value;
}

bool Settings::TrueUnlessFalse(const std::string& name) {
    int value = Integer(name);
    return value == -1 ? true : value != 0;
}

bool Settings::StopProgram() { return Bool("stopProgram"); }
bool Settings::AskForPassword() { return Bool("askForPassword"); }
bool Settings::TestBackup() { return TrueUnlessFalse("testBackup"); }
bool Settings::NoMessages() { return TrueUnlessFalse("noMessages"); }
bool Settings::OEAutoClose() { return Bool("OEautoClose"); }
bool Settings::OEAutoStart() { return Bool("OEautoStart"); }
bool Settings::OEAutoStart2() { return Bool("OEautoStart2"); }
bool Settings::OEPrintAfterBackup() { return Bool("OEprintAfterBackup"); }
bool Settings::Minimize() { return Bool("Minimize"); }
bool Settings::Again(const std::string& againName) { return Bool(againName); }

int Settings::Priority() {
    int value = Integer("Priority");
    return value < 0 ? 0 : value;
}

int Settings::Compression() {
    int value = Integer("Compression");
    return value == -1 ? 5 : value;
}

}  // namespace bv
