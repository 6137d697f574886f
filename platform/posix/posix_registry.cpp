// A per-user registry in one store file. Every change is written at once, atomically
// (temporary file + rename); changes by other processes are picked up before each call.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/ansi.h"
#include "platform/posix/posix_platform.h"

namespace bv {

struct PosixRegistry::Key {
    std::string name;
    std::vector<std::unique_ptr<Key>> subkeys;  // sorted as Windows enumerates them
    std::vector<RegValue> values;               // in order of creation

    Key* Child(const std::string& childName) {
        for (auto& k : subkeys)
            if (SameText(k->name, childName)) return k.get();
        return nullptr;
    }
    Key* AddChild(const std::string& childName) {
        auto key = std::make_unique<Key>();
        key->name = childName;
        Key* raw = key.get();
        auto pos = std::lower_bound(subkeys.begin(), subkeys.end(), childName,
                                    [](const std::unique_ptr<Key>& k, const std::string& n) {
                                        return AnsiCompareText(k->name, n) < 0;
                                    });
        subkeys.insert(pos, std::move(key));
        return raw;
    }
    RegValue* Value(const std::string& valueName) {
        for (auto& v : values)
            if (SameText(v.name, valueName)) return &v;
        return nullptr;
    }
};

struct PosixRegistry::Store {
    Key roots[4];
    struct timespec stamp {};
    off_t size = -1;
};

namespace {

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "-" : out;
}

bool Unhex(const std::string& text, std::string& out) {
    out.clear();
    if (text == "-") return true;
    if (text.size() % 2) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned v;
        if (std::sscanf(text.c_str() + i, "%2x", &v) != 1) return false;
        out += static_cast<char>(v);
    }
    return true;
}

}  // namespace

PosixRegistry::PosixRegistry(std::string storeFile)
    : file_(std::move(storeFile)), store_(std::make_unique<Store>()) {
    Reload();
}

PosixRegistry::~PosixRegistry() = default;

void PosixRegistry::Reload() {
    struct stat st;
    if (stat(file_.c_str(), &st) != 0) return;
    if (st.st_size == store_->size && st.st_mtim.tv_sec == store_->stamp.tv_sec &&
        st.st_mtim.tv_nsec == store_->stamp.tv_nsec)
        return;
    auto fresh = std::make_unique<Store>();
    fresh->stamp = st.st_mtim;
    fresh->size = st.st_size;
    std::ifstream in(file_, std::ios::binary);
    std::string line;
    Key* current = nullptr;
    // Lines: "K <root> <hex path>" starts a key; "V <hex name> <type> <hex data>" a value.
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        if (tag == "K") {
            int root;
            std::string hexPath, path;
            fields >> root >> hexPath;
            current = nullptr;
            if (root < 0 || root > 3 || !Unhex(hexPath, path)) continue;
            current = &fresh->roots[root];
            for (const std::string& part : SplitKeyPath(path)) {
                Key* child = current->Child(part);
                current = child ? child : current->AddChild(part);
            }
        } else if (tag == "V" && current) {
            std::string hexName, hexData, name, data;
            uint32_t type;
            fields >> hexName >> type >> hexData;
            if (!Unhex(hexName, name) || !Unhex(hexData, data)) continue;
            current->values.push_back(RegValue{name, type, Bytes(data.begin(), data.end())});
        }
    }
    store_ = std::move(fresh);
}

bool PosixRegistry::Save() {
    std::ostringstream out;
    struct Walker {
        std::ostringstream& out;
        void Walk(int root, const std::string& path, const Key& key) {
            out << "K " << root << ' ' << Hex(path) << '\n';
            for (const RegValue& v : key.values)
                out << "V " << Hex(v.name) << ' ' << v.type << ' '
                    << Hex(std::string(v.data.begin(), v.data.end())) << '\n';
            for (const auto& child : key.subkeys)
                Walk(root, path.empty() ? child->name : path + "\\" + child->name, *child);
        }
    } walker{out};
    for (int r = 0; r < 4; ++r) walker.Walk(r, "", store_->roots[r]);
    std::string tmp = file_ + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string data = out.str();
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), file_.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    struct stat st;
    if (stat(file_.c_str(), &st) == 0) {
        store_->stamp = st.st_mtim;
        store_->size = st.st_size;
    }
    return true;
}

PosixRegistry::Key* PosixRegistry::Find(RegRoot root, const std::string& path) {
    Reload();
    Key* key = &store_->roots[static_cast<int>(root)];
    for (const std::string& part : SplitKeyPath(path)) {
        key = key->Child(part);
        if (!key) return nullptr;
    }
    return key;
}

long PosixRegistry::KeyExists(RegRoot root, const std::string& path) {
    return Find(root, path) ? WinError::Success : WinError::FileNotFound;
}

long PosixRegistry::CreateKey(RegRoot root, const std::string& path) {
    Reload();
    Key* key = &store_->roots[static_cast<int>(root)];
    bool created = false;
    for (const std::string& part : SplitKeyPath(path)) {
        Key* child = key->Child(part);
        if (!child) {
            child = key->AddChild(part);
            created = true;
        }
        key = child;
    }
    if (created && !Save()) return WinError::AccessDenied;
    return WinError::Success;
}

long PosixRegistry::DeleteKeyTree(RegRoot root, const std::string& path) {
    std::vector<std::string> parts = SplitKeyPath(path);
    if (parts.empty()) return WinError::AccessDenied;  // a root cannot be deleted
    std::string last = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string& p : parts) parentPath += p + "\\";
    Key* parent = Find(root, parentPath);
    if (!parent) return WinError::FileNotFound;
    auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                           [&](const std::unique_ptr<Key>& k) { return SameText(k->name, last); });
    if (it == parent->subkeys.end()) return WinError::FileNotFound;
    parent->subkeys.erase(it);
    return Save() ? WinError::Success : WinError::AccessDenied;
}

long PosixRegistry::QueryValue(RegRoot root, const std::string& path, const std::string& name,
                               RegValue& out) {
    Key* key = Find(root, path);
    if (!key) return WinError::FileNotFound;
    RegValue* value = key->Value(name);
    if (!value) return WinError::FileNotFound;
    out = *value;
    return WinError::Success;
}

long PosixRegistry::SetValue(RegRoot root, const std::string& path, const std::string& name,
                             uint32_t type, const Bytes& data) {
    Key* key = Find(root, path);
    if (!key) return WinError::FileNotFound;
    if (RegValue* value = key->Value(name)) {
        value->type = type;
        value->data = data;
    } else {
        key->values.push_back(RegValue{name, type, data});
    }
    return Save() ? WinError::Success : WinError::AccessDenied;
}

long PosixRegistry::DeleteValue(RegRoot root, const std::string& path, const std::string& name) {
    Key* key = Find(root, path);
    if (!key) return WinError::FileNotFound;
    auto it = std::find_if(key->values.begin(), key->values.end(),
                           [&](const RegValue& v) { return SameText(v.name, name); });
    if (it == key->values.end()) return WinError::FileNotFound;
    key->values.erase(it);
    return Save() ? WinError::Success : WinError::AccessDenied;
}

long PosixRegistry::EnumSubKeys(RegRoot root, const std::string& path,
                                std::vector<std::string>& out) {
    out.clear();
    Key* key = Find(root, path);
    if (!key) return WinError::FileNotFound;
    for (const auto& child : key->subkeys) out.push_back(child->name);
    return WinError::Success;
}

long PosixRegistry::EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) {
    out.clear();
    Key* key = Find(root, path);
    if (!key) return WinError::FileNotFound;
    out = key->values;
    return WinError::Success;
}

}  // namespace bv
