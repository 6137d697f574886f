// The test platform of the Windows build: the real Win32 services (registry included,
// so tests clean up their keys) and a private folder under the system's temporary folder.
#include <stdexcept>
#include <string>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv::test {
namespace {

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
    backend_->registry = CreateWin32Registry();
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
