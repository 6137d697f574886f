// A registry accessor that writes a key with its whole subtree as REGEDIT4 text and
// reads such text back into the registry.
#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "brevisto/support/convert_error.h"
#include "platform/platform.h"

namespace bv {

// A text as a REGEDIT4 file quotes it: a backslash before every double quote and every
// backslash, nothing else.
std::string EscapeRegText(const std::string& text);

// The system refused to describe a key or a value during an export walk.
class EExRegistryException : public std::runtime_error {
public:
    EExRegistryException(System& system, long code, const std::string& operation);
    long ErrorCode() const { return code_; }

private:
    long code_;
};

// An import that cannot go on: bad header, syntax error, a key or value the registry refuses.
class ERegFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A number in a value line that does not convert raises EConvertError.

// Access rights as Windows numbers them; the accessor refuses writes its mode does not allow.
namespace KeyAccess {
constexpr uint32_t SetValue = 0x0002;
constexpr uint32_t CreateSubKey = 0x0004;
constexpr uint32_t Read = 0x20019;
constexpr uint32_t Write = 0x20006;
constexpr uint32_t AllAccess = 0xF003F;
}  // namespace KeyAccess

class TExRegistry {
public:
    explicit TExRegistry(Platform& platform);
    TExRegistry(Registry& registry, Files& files, System& system);

    RegRoot RootKey = RegRoot::CurrentUser;
    uint32_t Access = KeyAccess::AllAccess;

    // Makes `key` (relative to RootKey; a leading backslash is ignored) the current key.
    // With `canCreate` missing keys are created (needs an access mode that allows it).
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool HasCurrentKey() const { return currentKeyOpen_; }
    const std::string& CurrentPath() const { return currentPath_; }

    // Writes the current key, its values and all subkeys to `fileName`; false (and no
    // file) on any error.
    bool ExportToRegFile(const std::string& fileName);
    // Writes the keys and values of a REGEDIT4 file; raises ERegFileError, EConvertError
    // or EFileReadError on the first problem (what was written before it stays).
    void ImportFromRegFile(const std::string& fileName);

    // "HKEY_CURRENT_USER" etc.; the table also names roots this program never opens.
    static std::string RootKeyName(RegRoot root);
    // The root of a name of the table; none for names outside it and for the table's
    // roots that have no counterpart here (performance data, current config, dyn data).
    static bool IsRootKeyName(const std::string& name);
    static std::optional<RegRoot> RootFromName(const std::string& name);

    // Size of the reused value buffer once a value of `longest` bytes has to fit.
    static size_t GrownBufferSize(size_t current, size_t longest);

private:
    void WalkKey(const std::string& path);
    void EmitValue(const std::string& path, const std::string& name, uint32_t type,
                   const uint8_t* data, size_t length);
    void ImportKeyLine(const std::string& fileName, size_t lineIndex, std::string rest);
    void ImportValueLine(const std::string& fileName, size_t lineIndex, std::string rest);
    [[noreturn]] void SyntaxError(const std::string& fileName, size_t lineIndex,
                                  const std::string& rest);

    Registry& registry_;
    Files& files_;
    System& system_;

    bool currentKeyOpen_ = false;
    std::string currentPath_;

    // Export state.
    std::vector<std::string> outputLines_;
    std::string lastKeyWritten_;
    bool anyKeyWritten_ = false;
    std::vector<uint8_t> valueBuffer_;

    // Import state: the key that value lines go to (the last key line's, at first the
    // current key).
    RegRoot importRoot_ = RegRoot::CurrentUser;
    std::string importPath_;
    bool importKeyOpen_ = false;
};

}  // namespace bv
