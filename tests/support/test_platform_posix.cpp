#include <ftw.h>
#include <stdlib.h>

#include <stdexcept>

#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv::test {

struct TestPlatform::Backend {
    std::string root;
    std::unique_ptr<PosixPlatform> posix;
};

namespace {
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

TestPlatform::TestPlatform() : backend_(std::make_unique<Backend>()) {
    char tmpl[] = "/tmp/bvtest-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    backend_->root = tmpl;
    backend_->posix = std::make_unique<PosixPlatform>(backend_->root);
    backend_->posix->system.includeHostProcesses = false;
    platform_ = std::make_unique<Platform>(backend_->posix->Bind(&prompter_, &pump_));
    tempDir_ = "C:\\Test\\";
    ForceDirectories(files(), tempDir_);
}

TestPlatform::~TestPlatform() {
    platform_.reset();
    backend_->posix.reset();
    nftw(backend_->root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TestPlatform::HostPath(const std::string& windowsPath) {
    return backend_->posix->map.HostPath(windowsPath);
}

bool TestPlatform::IsWindows() { return false; }

}  // namespace bv::test

namespace bv::test {
PosixPlatform* TestPlatform::Posix() { return backend_->posix.get(); }
}  // namespace bv::test

namespace bv::test {
void TestPlatform::SetEnvironment(const std::string& name, const std::string& value) {
    backend_->posix->shell.SetEnvironment(name, value);
}
}  // namespace bv::test
