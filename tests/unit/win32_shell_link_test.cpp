// The installer's shortcut writer over the real shell link object (Windows build only).
#ifdef _WIN32
#include <gtest/gtest.h>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_shell_link.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

class ShellLinkTest : public ::testing::Test {
protected:
    void SetUp() override { com_ = CoInitialize(nullptr); }
    void TearDown() override {
        if (SUCCEEDED(com_)) CoUninitialize();
    }
    test::TestPlatform tp;
    HRESULT com_ = E_FAIL;
};

TEST_F(ShellLinkTest, CreateLinkThenArgumentsThroughPathAndSaveLink) {
    const std::string target = tp.TempDir() + "BrvUninst.exe";
    ASSERT_TRUE(tp.WriteFile(target, "MZ"));
    const std::string link = tp.TempDir() + "Brevisto entfernen.lnk";
    win32::TShellLink shell;
    ASSERT_TRUE(shell.CreateLink(link, tp.TempDir() + "alt.exe"));
    // Over an existing shortcut: replaced.
    ASSERT_TRUE(shell.CreateLink(link, target));
    shell.SetPath(link);
    EXPECT_EQ(shell.Path(), link);
    EXPECT_EQ(shell.Arguments, "");
    shell.Arguments = " /UnInst:\"C:\\WINDOWS\\Brevisto3_Uninstall.in\"";
    ASSERT_TRUE(shell.SaveLink(link));

    win32::TShellLink loaded;
    loaded.SetPath(link);
    EXPECT_EQ(lstrcmpiA(loaded.Target.c_str(), target.c_str()), 0) << loaded.Target;
    EXPECT_EQ(loaded.Arguments, shell.Arguments);
}

TEST_F(ShellLinkTest, MissingFileLeavesEveryPropertyAsItWas) {
    win32::TShellLink shell;
    shell.Target = "C:\\x.exe";
    shell.Arguments = "/a";
    shell.SetPath(tp.TempDir() + "fehlt.lnk");
    EXPECT_EQ(shell.Path(), "");
    EXPECT_EQ(shell.Target, "C:\\x.exe");
    EXPECT_EQ(shell.Arguments, "/a");
}

}  // namespace
}  // namespace bv
#endif
