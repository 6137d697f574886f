#include "brevisto/settings/settings_store.h"

#include <cstring>

#include "brevisto/support/path_component.h"
#include "platform/path.h"

namespace bv {

const char* const SettingsKey = "Software\\Quillmar Software\\bvq";

RegRoot RootFromSelector(int selector) {
    switch (selector) {
        case 2: return RegRoot::LocalMachine;
        case 3: return RegRoot::ClassesRoot;
        default: return RegRoot::CurrentUser;
    }
}

std::string ReadRegString(Registry& registry, int root, const std::string& key,
                          const std::string& name) {
    RegValue value;
    if (registry.QueryValue(RootFromSelector(root), key, name, value) != WinError::Success)
        return std::string();
    // Only text values; anything else is as good as missing to the caller.
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz) return std::string();
    std::string text(value.data.begin(), value.data.end());
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

int32_t ReadRegInteger(Registry& registry, int root, const std::string& key,
                       const std::string& name) {
    RegValue value;
    if (registry.QueryValue(RootFromSelector(root), key, name, value) != WinError::Success)
        return -1;
    if (value.type != RegType::Dword || value.data.size() != 4) return -1;
    uint32_t raw = static_cast<uint32_t>(value.data[0]) | (static_cast<uint32_t>(value.data[1]) << 8) |
                   (static_cast<uint32_t>(value.data[2]) << 16) |
                   (static_cast<uint32_t>(value.data[3]) << 24);
    int32_t result;
    std::memcpy(&result, &raw, sizeof result);
    return result;
}

bool ReadRegBool(Registry& registry, int root, const std::string& key, const std::string& name) {
    RegValue value;
    if (registry.QueryValue(RootFromSelector(root), key, name, value) != WinError::Success)
        return false;
    if (value.type != RegType::Dword || value.data.size() != 4) return false;
    return value.data[0] != 0 || value.data[1] != 0 || value.data[2] != 0 || value.data[3] != 0;
}

namespace {

bool WriteValue(Registry& registry, int root, const std::string& key, const std::string& name,
                uint32_t type, const Bytes& data) {
    RegRoot r = RootFromSelector(root);
    if (registry.CreateKey(r, key) != WinError::Success) return false;
    registry.SetValue(r, key, name, type, data);
    return true;
}

Bytes DwordBytes(uint32_t v) {
    return Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                 static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
}

}  // namespace

bool WriteRegString(Registry& registry, int root, const std::string& key, const std::string& name,
                    const std::string& value) {
    Bytes data(value.begin(), value.end());
    data.push_back(0);
    return WriteValue(registry, root, key, name, RegType::Sz, data);
}

bool WriteRegInteger(Registry& registry, int root, const std::string& key,
                     const std::string& name, int32_t value) {
    return WriteValue(registry, root, key, name, RegType::Dword,
                      DwordBytes(static_cast<uint32_t>(value)));
}

bool WriteRegBool(Registry& registry, int root, const std::string& key, const std::string& name,
                  bool value) {
    return WriteValue(registry, root, key, name, RegType::Dword, DwordBytes(value ? 1 : 0));
}

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
