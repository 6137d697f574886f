// Registry access as the program needs it: per-call, by root and key path.
#pragma once
#include <string>
#include <vector>

#include "platform/types.h"

namespace bv {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot, Users };

// Value types as Windows numbers them; any other number is kept as it is.
namespace RegType {
constexpr uint32_t None = 0;
constexpr uint32_t Sz = 1;
constexpr uint32_t ExpandSz = 2;
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
constexpr uint32_t DwordBigEndian = 5;
constexpr uint32_t Link = 6;
constexpr uint32_t MultiSz = 7;
constexpr uint32_t Qword = 11;
}  // namespace RegType

struct RegValue {
    std::string name;
    uint32_t type = RegType::None;
    Bytes data;  // exactly the bytes the registry holds (strings include their NUL)
};

// Key paths are relative to the root, components separated by "\"; names compare
// without regard to case. Every operation returns a Win32 error number (0 = success).
class Registry {
public:
    virtual ~Registry() = default;

    virtual long KeyExists(RegRoot root, const std::string& path) = 0;
    // Creates the key and any missing parents.
    virtual long CreateKey(RegRoot root, const std::string& path) = 0;
    // Deletes the key with all its subkeys and values.
    virtual long DeleteKeyTree(RegRoot root, const std::string& path) = 0;

    virtual long QueryValue(RegRoot root, const std::string& path, const std::string& name,
                            RegValue& out) = 0;
    // The key must exist (CreateKey first).
    virtual long SetValue(RegRoot root, const std::string& path, const std::string& name,
                          uint32_t type, const Bytes& data) = 0;
    virtual long DeleteValue(RegRoot root, const std::string& path, const std::string& name) = 0;

    // Subkey names in the order the registry enumerates them (Windows: sorted).
    virtual long EnumSubKeys(RegRoot root, const std::string& path,
                             std::vector<std::string>& out) = 0;
    // Values in the order the registry enumerates them (Windows: order of creation).
    virtual long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) = 0;
};

}  // namespace bv
