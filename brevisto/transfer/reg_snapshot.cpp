#include "brevisto/transfer/reg_snapshot.h"

#include <algorithm>

#include "brevisto/regfile/ex_registry.h"
#include "platform/ansi.h"

namespace bv {
namespace {

// A registry that lives in memory for one import. Key paths are kept as the lines name them;
// parents are not made, since only the keys themselves are wanted.
class SnapshotRegistry : public Registry {
public:
    std::vector<RegSnapshotKey> keys;

    long KeyExists(RegRoot root, const std::string& path) override {
        return Find(root, path) ? WinError::Success : WinError::FileNotFound;
    }
    long CreateKey(RegRoot root, const std::string& path) override {
        if (!Find(root, path)) keys.push_back(RegSnapshotKey{root, path, {}});
        return WinError::Success;
    }
    long DeleteKeyTree(RegRoot root, const std::string& path) override {
        const std::string below = AnsiUpperCase(path) + "\\";
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](const RegSnapshotKey& key) {
                                      return key.root == root &&
                                             (SameText(key.path, path) ||
                                              AnsiUpperCase(key.path).compare(0, below.size(), below) == 0);
                                  }),
                   keys.end());
        return WinError::Success;
    }
    long QueryValue(RegRoot root, const std::string& path, const std::string& name,
                    RegValue& out) override {
        RegSnapshotKey* key = Find(root, path);
        if (!key) return WinError::FileNotFound;
        for (const RegValue& value : key->values)
            if (SameText(value.name, name)) {
                out = value;
                return WinError::Success;
            }
        return WinError::FileNotFound;
    }
    long SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                  const Bytes& data) override {
        RegSnapshotKey* key = Find(root, path);
        if (!key) return WinError::FileNotFound;
        for (RegValue& value : key->values)
            if (SameText(value.name, name)) {
                value.type = type;
                value.data = data;
                return WinError::Success;
            }
        key->values.push_back(RegValue{name, type, data});
        return WinError::Success;
    }
    long DeleteValue(RegRoot root, const std::string& path, const std::string& name) override {
        RegSnapshotKey* key = Find(root, path);
        if (!key) return WinError::FileNotFound;
        auto& v = key->values;
        v.erase(std::remove_if(v.begin(), v.end(),
                               [&](const RegValue& value) { return SameText(value.name, name); }),
                v.end());
        return WinError::Success;
    }
    long EnumSubKeys(RegRoot root, const std::string& path, std::vector<std::string>& out) override {
        out.clear();
        const std::string below = path.empty() ? std::string() : AnsiUpperCase(path) + "\\";
        for (const RegSnapshotKey& key : keys) {
            if (key.root != root || key.path.empty()) continue;
            if (AnsiUpperCase(key.path).compare(0, below.size(), below) != 0) continue;
            const std::string rest = key.path.substr(below.size());
            if (!rest.empty() && rest.find('\\') == std::string::npos) out.push_back(rest);
        }
        return WinError::Success;
    }
    long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) override {
        RegSnapshotKey* key = Find(root, path);
        if (!key) return WinError::FileNotFound;
        out = key->values;
        return WinError::Success;
    }

private:
    RegSnapshotKey* Find(RegRoot root, const std::string& path) {
        for (RegSnapshotKey& key : keys)
            if (key.root == root && SameText(key.path, path)) return &key;
        return nullptr;
    }
};

}  // namespace

std::vector<RegSnapshotKey> ReadRegSnapshot(Files& files, System& system, const std::string& path) {
    SnapshotRegistry memory;
    // Value lines before the first key line go to the reader's current key: a key of no
    // name, dropped below, instead of an error that would lose the whole snapshot.
    (void)memory.CreateKey(RegRoot::CurrentUser, std::string());
    TExRegistry reader(memory, files, system);
    reader.RootKey = RegRoot::CurrentUser;
    reader.OpenKey(std::string(), false);
    reader.ImportFromRegFile(path);
    std::vector<RegSnapshotKey> keys;
    for (RegSnapshotKey& key : memory.keys)
        if (!key.path.empty()) keys.push_back(std::move(key));
    return keys;
}

}  // namespace bv
