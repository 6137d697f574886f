#include "brevisto/support/registry_values.h"

#include <cstring>

namespace bv {

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

}  // namespace bv
