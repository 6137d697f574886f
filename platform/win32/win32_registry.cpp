// Registry through advapi32. Every call opens and closes its key, so nothing is
// held between calls; results are the Win32 error numbers of the underlying calls.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

namespace bv {
namespace {

HKEY RootKey(RegRoot root) {
    switch (root) {
        case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegRoot::Users: return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

// Callers may write key paths as absolute ("\\Software\\X", as the settings accessors
// do) or with a trailing backslash; the system accepts neither.
std::string KeyPath(const std::string& path) {
    size_t begin = path.find_first_not_of('\\');
    if (begin == std::string::npos) return std::string();
    size_t end = path.find_last_not_of('\\');
    return path.substr(begin, end - begin + 1);
}

// An open key, closed when it goes out of scope.
class Key {
public:
    ~Key() {
        if (handle_) RegCloseKey(handle_);
    }
    long Open(HKEY parent, const std::string& path, REGSAM access) {
        return RegOpenKeyExA(parent, KeyPath(path).c_str(), 0, access, &handle_);
    }
    long Create(HKEY parent, const std::string& path, REGSAM access) {
        DWORD disposition = 0;
        return RegCreateKeyExA(parent, KeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                               nullptr, &handle_, &disposition);
    }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

// Windows NT's RegDeleteKey refuses keys with subkeys (9x's deletes the tree), and
// RegDeleteTree only exists from Vista on: remove the subkeys first, depth first.
long DeleteTree(HKEY parent, const std::string& path) {
    {
        Key key;
        long rc = key.Open(parent, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE);
        if (rc != ERROR_SUCCESS) return rc;
        for (;;) {
            char name[256];  // key names have at most 255 characters
            DWORD length = sizeof name;
            // Always index 0: the previous child is gone.
            rc = RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) return rc;
            rc = DeleteTree(key.get(), std::string(name, length));
            if (rc != ERROR_SUCCESS) return rc;
        }
    }
    return RegDeleteKeyA(parent, path.c_str());
}

class Win32Registry : public Registry {
public:
    long KeyExists(RegRoot root, const std::string& path) override {
        Key key;
        return key.Open(RootKey(root), path, KEY_QUERY_VALUE);
    }

    long CreateKey(RegRoot root, const std::string& path) override {
        Key key;
        return key.Create(RootKey(root), path, KEY_WRITE);
    }

    long DeleteKeyTree(RegRoot root, const std::string& path) override {
        const std::string key = KeyPath(path);
        if (key.empty()) return ERROR_INVALID_PARAMETER;  // never the root itself
        return DeleteTree(RootKey(root), key);
    }

    long QueryValue(RegRoot root, const std::string& path, const std::string& name,
                    RegValue& out) override {
        Key key;
        long rc = key.Open(RootKey(root), path, KEY_QUERY_VALUE);
        if (rc != ERROR_SUCCESS) return rc;
        DWORD type = 0;
        DWORD size = 0;
        rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        Bytes data;
        for (;;) {
            // A value may grow between the two calls: ask again with its new size.
            data.resize(size ? size : 1);
            size = static_cast<DWORD>(data.size());
            rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
            if (rc != ERROR_MORE_DATA) break;
        }
        if (rc != ERROR_SUCCESS) return rc;
        data.resize(size);
        out.name = name;
        out.type = type;
        out.data = std::move(data);
        return ERROR_SUCCESS;
    }

    long SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                  const Bytes& data) override {
        Key key;
        long rc = key.Open(RootKey(root), path, KEY_SET_VALUE);
        if (rc != ERROR_SUCCESS) return rc;
        static const BYTE empty = 0;
        return RegSetValueExA(key.get(), name.c_str(), 0, type, data.empty() ? &empty : data.data(),
                              static_cast<DWORD>(data.size()));
    }

    long DeleteValue(RegRoot root, const std::string& path, const std::string& name) override {
        Key key;
        long rc = key.Open(RootKey(root), path, KEY_SET_VALUE);
        if (rc != ERROR_SUCCESS) return rc;
        return RegDeleteValueA(key.get(), name.c_str());
    }

    long EnumSubKeys(RegRoot root, const std::string& path, std::vector<std::string>& out) override {
        out.clear();
        Key key;
        long rc = key.Open(RootKey(root), path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
        if (rc != ERROR_SUCCESS) return rc;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD length = sizeof name;
            rc = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
            if (rc != ERROR_SUCCESS) return rc;
            out.emplace_back(name, length);
        }
    }

    long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) override {
        out.clear();
        Key key;
        long rc = key.Open(RootKey(root), path, KEY_QUERY_VALUE);
        if (rc != ERROR_SUCCESS) return rc;
        DWORD maxData = 0;
        rc = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, &maxData, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<char> name(16384);  // the longest value name Windows allows, plus NUL
        Bytes data(maxData + 1);
        for (DWORD index = 0;;) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD type = 0;
            DWORD size = static_cast<DWORD>(data.size());
            rc = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                               data.data(), &size);
            if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
            if (rc == ERROR_MORE_DATA && data.size() < (1u << 28)) {
                // The value grew after the size query (or 9x reported too little).
                data.resize(data.size() * 2 > size ? data.size() * 2 : size + 1);
                continue;
            }
            if (rc != ERROR_SUCCESS) return rc;
            RegValue value;
            value.name.assign(name.data(), nameLength);
            value.type = type;
            value.data.assign(data.begin(), data.begin() + size);
            out.push_back(std::move(value));
            ++index;
        }
    }
};

}  // namespace

std::unique_ptr<Registry> CreateWin32Registry() { return std::make_unique<Win32Registry>(); }

}  // namespace bv
