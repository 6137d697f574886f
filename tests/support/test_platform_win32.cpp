// The test platform of the Windows build: the real Win32 services and a private folder
// under the system's temporary folder. The registry is the real one (tests compare with
// what regedit writes), but every change made through the platform is undone when the
// test ends, so each test starts from the prefix's registry as on the POSIX backend.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv::test {
namespace {

// The real registry with an undo log: keys that a test creates are deleted, values it
// sets or deletes in keys that existed get their old state back, and key trees it
// deletes are written back, newest change first.
class UndoingRegistry : public Registry {
public:
    explicit UndoingRegistry(std::unique_ptr<Registry> real) : real_(std::move(real)) {}
    ~UndoingRegistry() override {
        for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
    }

    long KeyExists(RegRoot root, const std::string& path) override { return real_->KeyExists(root, path); }

    long CreateKey(RegRoot root, const std::string& path) override {
        // The first missing component is where this test's own keys begin.
        for (size_t pos = 0; pos <= path.size();) {
            size_t end = path.find('\\', pos);
            if (end == std::string::npos) end = path.size();
            std::string prefix = path.substr(0, end);
            if (!prefix.empty() && real_->KeyExists(root, prefix) != 0) {
                long rc = real_->CreateKey(root, path);
                if (rc == 0) undo_.push_back([this, root, prefix] { real_->DeleteKeyTree(root, prefix); });
                return rc;
            }
            pos = end + 1;
        }
        return real_->CreateKey(root, path);
    }

    long DeleteKeyTree(RegRoot root, const std::string& path) override {
        std::vector<Snapshot> tree;
        Save(root, path, tree);
        long rc = real_->DeleteKeyTree(root, path);
        if (rc == 0) {
            undo_.push_back([this, root, tree] {
                for (const Snapshot& key : tree) {
                    real_->CreateKey(root, key.path);
                    for (const RegValue& v : key.values) real_->SetValue(root, key.path, v.name, v.type, v.data);
                }
            });
        }
        return rc;
    }

    long QueryValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) override {
        return real_->QueryValue(root, path, name, out);
    }

    long SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                  const Bytes& data) override {
        RememberValue(root, path, name);
        return real_->SetValue(root, path, name, type, data);
    }

    long DeleteValue(RegRoot root, const std::string& path, const std::string& name) override {
        RememberValue(root, path, name);
        return real_->DeleteValue(root, path, name);
    }

    long EnumSubKeys(RegRoot root, const std::string& path, std::vector<std::string>& out) override {
        return real_->EnumSubKeys(root, path, out);
    }
    long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) override {
        return real_->EnumValues(root, path, out);
    }

private:
    struct Snapshot {
        std::string path;
        std::vector<RegValue> values;
    };

    void Save(RegRoot root, const std::string& path, std::vector<Snapshot>& tree) {
        Snapshot key{path, {}};
        if (real_->EnumValues(root, path, key.values) != 0) return;
        tree.push_back(key);
        std::vector<std::string> subkeys;
        real_->EnumSubKeys(root, path, subkeys);
        for (const std::string& sub : subkeys) Save(root, path + "\\" + sub, tree);
    }

    void RememberValue(RegRoot root, const std::string& path, const std::string& name) {
        if (real_->KeyExists(root, path) != 0) return;  // the call fails; nothing to undo
        RegValue old;
        if (real_->QueryValue(root, path, name, old) == 0) {
            undo_.push_back([this, root, path, old] {
                if (real_->KeyExists(root, path) == 0) real_->SetValue(root, path, old.name, old.type, old.data);
            });
        } else {
            undo_.push_back([this, root, path, name] { real_->DeleteValue(root, path, name); });
        }
    }

    std::unique_ptr<Registry> real_;
    std::vector<std::function<void()>> undo_;
};

// A name no other test (nor another test program running at the same time) uses.
std::string UniqueName() {
    static unsigned counter = 0;
    char name[64];
    wsprintfA(name, "bvtest-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), ++counter);
    return name;
}

// Removes a folder with everything in it, read-only files included.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

struct TestPlatform::Backend {
    std::unique_ptr<Registry> registry;
    std::unique_ptr<Files> files;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<System> system;
};

TestPlatform::TestPlatform() : backend_(std::make_unique<Backend>()) {
    std::string name = UniqueName();
    backend_->registry = std::make_unique<UndoingRegistry>(CreateWin32Registry());
    backend_->files = CreateWin32Files();
    backend_->shell = CreateWin32Shell();
    backend_->system = CreateWin32System();
    platform_ = std::make_unique<Platform>(Platform{*backend_->registry, *backend_->files,
                                                    *backend_->shell, *backend_->system, prompter_,
                                                    pump_});
    std::string temp = backend_->system->TempPath();
    if (temp.empty()) throw std::runtime_error("no temporary folder");
    for (int attempt = 0; attempt < 100 && tempDir_.empty(); ++attempt) {
        std::string folder = temp + (attempt ? UniqueName() : name);
        if (CreateDirectoryA(folder.c_str(), nullptr)) tempDir_ = folder + "\\";
    }
    if (tempDir_.empty()) throw std::runtime_error("cannot create a test folder");
}

TestPlatform::~TestPlatform() {
    // A test may leave the current folder inside its own folder.
    std::string current = backend_->files->CurrentDirectory() + "\\";
    if (current.size() >= tempDir_.size() &&
        lstrcmpiA(current.substr(0, tempDir_.size()).c_str(), tempDir_.c_str()) == 0) {
        SetCurrentDirectoryA(backend_->system->TempPath().c_str());
    }
    platform_.reset();
    RemoveTree(tempDir_);
}

std::string TestPlatform::HostPath(const std::string& windowsPath) { return windowsPath; }

PosixPlatform* TestPlatform::Posix() { return nullptr; }

bool TestPlatform::IsWindows() { return true; }

}  // namespace bv::test

namespace bv::test {
void TestPlatform::SetEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}
}  // namespace bv::test
