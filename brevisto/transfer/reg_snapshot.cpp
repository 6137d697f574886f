#include "brevisto/transfer/reg_snapshot.h"

#include "brevisto/regfile/ex_registry.h"
#include "platform/ansi.h"

namespace bv {
namespace {

// A registry that only writes down what the reader does with it: a key line creates a key,
// a value line sets a value. Nothing reaches the system.
class LineRecorder : public Registry {
public:
    explicit LineRecorder(std::vector<RegSnapshotLine>& lines) : lines_(lines) {}

    long KeyExists(RegRoot, const std::string&) override { return WinError::Success; }
    long CreateKey(RegRoot root, const std::string& path) override {
        RegSnapshotLine line;
        line.isKey = true;
        line.root = root;
        line.path = path;
        lines_.push_back(std::move(line));
        sawKey_ = true;
        return WinError::Success;
    }
    long DeleteKeyTree(RegRoot, const std::string&) override { return WinError::AccessDenied; }
    long QueryValue(RegRoot, const std::string&, const std::string&, RegValue&) override {
        return WinError::FileNotFound;
    }
    long SetValue(RegRoot, const std::string&, const std::string& name, uint32_t type,
                  const Bytes& data) override {
        RegSnapshotLine line;
        line.value = RegValue{name, type, data};
        line.beforeAnyKey = !sawKey_;
        lines_.push_back(std::move(line));
        return WinError::Success;
    }
    long DeleteValue(RegRoot, const std::string&, const std::string&) override { return WinError::AccessDenied; }
    long EnumSubKeys(RegRoot, const std::string&, std::vector<std::string>& out) override {
        out.clear();
        return WinError::Success;
    }
    long EnumValues(RegRoot, const std::string&, std::vector<RegValue>& out) override {
        out.clear();
        return WinError::Success;
    }

private:
    std::vector<RegSnapshotLine>& lines_;
    bool sawKey_ = false;
};

}  // namespace

void ReadRegSnapshotLines(Files& files, System& system, const std::string& path,
                          std::vector<RegSnapshotLine>& lines) {
    LineRecorder recorder(lines);
    TExRegistry reader(recorder, files, system);
    reader.RootKey = RegRoot::CurrentUser;
    reader.Access = KeyAccess::AllAccess;
    // An open key of its own takes the values that stand before any key line, so that the
    // reader goes on past them instead of losing the whole snapshot; they are marked.
    reader.OpenKey(std::string(), false);
    reader.ImportFromRegFile(path);
}

std::vector<RegSnapshotKey> ReadRegSnapshot(Files& files, System& system, const std::string& path) {
    std::vector<RegSnapshotLine> lines;
    ReadRegSnapshotLines(files, system, path, lines);
    std::vector<RegSnapshotKey> keys;
    size_t current = 0;  // the key the next value lines go to; keys.size() for none
    for (RegSnapshotLine& line : lines) {
        if (line.isKey) {
            current = 0;
            while (current < keys.size() && !(keys[current].root == line.root && SameText(keys[current].path, line.path)))
                ++current;
            if (current == keys.size()) keys.push_back(RegSnapshotKey{line.root, line.path, {}});
            continue;
        }
        if (line.beforeAnyKey || current >= keys.size()) continue;
        std::vector<RegValue>& values = keys[current].values;
        bool replaced = false;
        for (RegValue& value : values)
            if (SameText(value.name, line.value.name)) {
                value = std::move(line.value);
                replaced = true;
                break;
            }
        if (!replaced) values.push_back(std::move(line.value));
    }
    return keys;
}

}  // namespace bv
