// The folder check of the preferences and the wizard: creation question, drive, write access.
#include <gtest/gtest.h>

#include "brevisto/shell/folder_check.h"
#include "common/msg_box.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

// Decides what the security check says and whether files may be created in a folder.
class AccessFiles : public test::FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    int access = 1;
    bool probeFails = false;
    std::vector<std::string> probes;

    int FolderWriteAccess(const std::string&) override { return access; }
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                     long* error = nullptr) override {
        if (OpensForWriting(mode)) {
            probes.push_back(path);
            if (probeFails) return nullptr;
        }
        return FaultyFiles::Open(path, mode, error);
    }
};

class ShellFolderCheckTest : public ::testing::Test {
protected:
    Platform Bind() {
        Platform& p = tp.platform();
        return Platform{p.registry, files, p.shell, p.system, p.prompter, p.pump};
    }
    test::TestPlatform tp;
    AccessFiles files{tp.files()};
};

TEST_F(ShellFolderCheckTest, ExistingWritableFolder) {
    Platform p = Bind();
    const std::string cwd = tp.files().CurrentDirectory();
    const std::string folder = tp.TempDir() + "Sicherungen";
    ASSERT_TRUE(ForceDirectories(tp.files(), folder));
    FolderCheckResult r = CheckTargetFolder(p, folder);
    EXPECT_EQ(r.folder, folder + "\\");
    EXPECT_FALSE(r.focusEdit);
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_TRUE(files.probes.empty());  // the security check was enough
    EXPECT_EQ(tp.files().CurrentDirectory(), cwd);
}

TEST_F(ShellFolderCheckTest, EnvironmentReferencesAreExpanded) {
    tp.SetEnvironment("BVTEST", tp.TempDir() + "Env");
    Platform p = Bind();
    tp.prompter().answers.push_back(MsgResult::Yes);
    FolderCheckResult r = CheckTargetFolder(p, "%BVTEST%\\Backups");
    EXPECT_EQ(r.folder, tp.TempDir() + "Env\\Backups\\");
    EXPECT_TRUE(DirectoryExists(tp.files(), r.folder));
}

TEST_F(ShellFolderCheckTest, MissingFolderQuestion) {
    struct Case {
        int answer;
        bool created;
    } cases[] = {{MsgResult::Yes, true}, {MsgResult::No, false}};
    for (const Case& c : cases) {
        Platform p = Bind();
        tp.prompter().messages.clear();
        files.access = 0;
        files.probeFails = true;  // would complain, but No ends the check first
        const std::string folder = tp.TempDir() + "Neu" + std::to_string(c.answer) + "\\Tief";
        tp.prompter().answers.push_back(c.answer);
        FolderCheckResult r = CheckTargetFolder(p, folder);
        EXPECT_EQ(r.folder, folder + "\\");
        EXPECT_EQ(DirectoryExists(tp.files(), folder), c.created);
        ASSERT_GE(tp.prompter().messages.size(), 1u);
        EXPECT_EQ(tp.prompter().messages[0].text,
                  "Der angegebene Ordner existiert noch nicht!\rSoll er automatisch angelegt "
                  "werden?");
        EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
        EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkConfirmation, bsYesNo).style);
        // No skips the drive and write checks.
        EXPECT_EQ(tp.prompter().messages.size(), c.created ? 2u : 1u);
        EXPECT_EQ(r.focusEdit, c.created);
    }
}

TEST_F(ShellFolderCheckTest, DriveThatCannotBeUsed) {
    if (!tp.Posix()) GTEST_SKIP() << "which drive letters are free is the real system's on Windows";
    Platform p = Bind();
    const std::string cwd = tp.files().CurrentDirectory();
    tp.prompter().answers.push_back(MsgResult::Yes);
    FolderCheckResult r = CheckTargetFolder(p, "Q:\\Backups");
    EXPECT_EQ(r.folder, "Q:\\Backups\\");
    EXPECT_TRUE(r.focusEdit);
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[1].text, "Das angegebene Laufwerk existiert nicht!");
    EXPECT_EQ(tp.prompter().messages[1].caption, "Brevisto");
    EXPECT_EQ(tp.prompter().messages[1].style, BuildMsgBox("", mkError, bsOk).style);
    EXPECT_TRUE(files.probes.empty());
    EXPECT_EQ(tp.files().CurrentDirectory(), cwd);
}

TEST_F(ShellFolderCheckTest, WriteAccessSecurityCheckThenProbe) {
    struct Case {
        int access;
        bool probeFails;
        bool probed;
        bool writable;
    } cases[] = {
        {1, true, false, true},
        {0, false, true, true},
        {-1, false, true, true},
        {0, true, true, false},
        {-1, true, true, false},
    };
    const std::string folder = tp.TempDir() + "Ziel\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), folder));
    for (const Case& c : cases) {
        Platform p = Bind();
        tp.prompter().messages.clear();
        files.probes.clear();
        files.access = c.access;
        files.probeFails = c.probeFails;
        EXPECT_EQ(FolderIsWritable(p, folder), c.writable);
        FolderCheckResult r = CheckTargetFolder(p, folder);
        EXPECT_EQ(r.focusEdit, !c.writable);
        EXPECT_EQ(!files.probes.empty(), c.probed);
        for (const std::string& probe : files.probes) EXPECT_EQ(probe, folder + "##qmvk##.#~#");
        EXPECT_FALSE(FileExists(tp.files(), folder + "##qmvk##.#~#"));
        ASSERT_EQ(tp.prompter().messages.size(), c.writable ? 0u : 1u);
        if (!c.writable) {
            EXPECT_EQ(tp.prompter().messages[0].text,
                      "In den angegebenen Ordner \"" + folder +
                          "\" kann die Software aufgrund eingeschränkter Zugriffsrechte nicht "
                          "schreiben.\r\rGeben Sie daher bitte einen anderen Ordner an!");
            EXPECT_EQ(tp.prompter().messages[0].caption, "Fehler");  // no caption given
            EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkError, bsOk).style);
        }
    }
}

}  // namespace
}  // namespace bv
