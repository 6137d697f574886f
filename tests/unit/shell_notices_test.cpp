// Notices with their "again_" flags, the about box's labels and the system settings dialog.
#include <gtest/gtest.h>

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/about_box.h"
#include "brevisto/shell/notices.h"
#include "brevisto/shell/system_settings.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

class ShellNoticesTest : public ::testing::Test {
protected:
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
        tp.registry().DeleteKeyTree(RegRoot::LocalMachine, "SOFTWARE\\Classes\\VBSFile");
        tp.registry().DeleteKeyTree(RegRoot::ClassesRoot, "VBSFile");
    }
    test::TestPlatform tp;
};

TEST_F(ShellNoticesTest, ShowNoticeRules) {
    struct Case {
        bool autoRun;
        int stored;  // -1 = missing, else the flag's value
        bool ok, ticked;
        bool shown;
        bool flagAfter;
    } cases[] = {
        {false, -1, true, false, true, false},
        {false, -1, true, true, true, true},
        {false, 0, true, true, true, true},
        // A closed dialog that was not confirmed with OK leaves the flag.
        {false, -1, false, true, true, false},
        {false, 1, true, true, false, true},
        // An unattended run never shows a notice, whatever the flag says.
        {true, -1, true, true, false, false},
        {true, 0, true, true, false, false},
    };
    for (const Case& c : cases) {
        Cleanup();
        if (c.stored >= 0) Settings(tp.platform()).SetBool(kAgainPassword, c.stored != 0);
        std::vector<std::string> texts;
        const bool shown = ShowNotice(tp.platform(), c.autoRun, kAgainPassword, kNoticePasswordText,
                                      [&](const std::string& text) {
                                          texts.push_back(text);
                                          return NoticeAnswer{c.ok, c.ticked};
                                      });
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(texts.size(), c.shown ? 1u : 0u);
        if (!texts.empty()) { EXPECT_EQ(texts[0], kNoticePasswordText); }
        EXPECT_EQ(Settings(tp.platform()).Again(kAgainPassword), c.flagAfter)
            << c.autoRun << c.stored << c.ok << c.ticked;
    }
    // Only the named flag is touched.
    EXPECT_FALSE(Settings(tp.platform()).Again(kAgainDontDelMain));
}

TEST_F(ShellNoticesTest, NoticeTexts) {
    EXPECT_STREQ(kNoticeDontDelMainText,
                 "Sie haben ein Updatebackup angelegt, das nur die geänderten Daten seit der "
                 "letzten Sicherung beinhaltet. Damit die Daten im Ernstfall wieder korrekt "
                 "eingespielt werden können, muss das Hauptbackup und alle Update-Backups "
                 "vorhanden sein.\r\rLöschen Sie daher NIE eine Backupdatei von Hand!!!");
    EXPECT_STREQ(kNoticePasswordText,
                 "Notieren Sie sich die Passwörter der E-Mail-Konten, da diese aus "
                 "Sicherheitsgründen nicht auf ein neues System übertragen werden können, bzw. "
                 "dort nicht gültig sind!\r\rNähere Informationen finden Sie in der FAQ der "
                 "Programm-Hilfe.");
}

TEST_F(ShellNoticesTest, ResetNoticesClearsOnlyAgainValues) {
    Settings s(tp.platform());
    s.SetBool("again_password", true);
    s.SetBool("again_bvqhandle", true);
    s.SetBool("again_eigener", true);
    s.SetBool("Again_gross", true);  // not the exact prefix
    s.SetBool("stopProgram", true);
    ResetNotices(tp.platform());
    EXPECT_FALSE(s.Again("again_password"));
    EXPECT_FALSE(s.Again("again_bvqhandle"));
    EXPECT_EQ(s.Integer("again_eigener"), 0);  // written as false, not deleted
    EXPECT_TRUE(s.Bool("Again_gross"));
    EXPECT_TRUE(s.StopProgram());
}

TEST(ShellAboutBox, VersionLabel) {
    struct Case {
        const char* version;
        const char* label;
    } cases[] = {
        {"4.8.0.12", "Version 4.8 [4.8.0.0012]"},
        {"4.8.0.12345", "Version 4.8 [4.8.0.12345]"},
        {"4.80.1.0", "Version 4.80 [4.80.1.0000]"},
        {"4.8.0.0012", "Version 4.8 [4.8.0.0012]"},
        {"4.8.0.00012", "Version 4.8 [4.8.0.0012]"},
        {"", "Version "},
        // Anything that is not four numbers is shown as it is.
        {"4.8", "Version 4.8"},
        {"4.8.0", "Version 4.8.0"},
        {"4.8.0.12.1", "Version 4.8.0.12.1"},
        {"4.8.0.beta", "Version 4.8.0.beta"},
        {"4.8 Build 12", "Version 4.8 Build 12"},
        {"4..0.1", "Version 4..0.1"},
    };
    for (const Case& c : cases) EXPECT_EQ(VersionLabel(c.version), c.label) << c.version;
}

TEST(ShellAboutBox, BuildStamp) {
    EXPECT_EQ(BuildStampText("Jul 15 2009", "11:32:17"), "15.07.2009 11:32:17");
    EXPECT_EQ(BuildStampText("Jan  3 2026", "08:05:09"), "03.01.2026 08:05:09");
    EXPECT_EQ(BuildStampText("Dec 31 1999", "23:59:59"), "31.12.1999 23:59:59");
    EXPECT_EQ(BuildStampText("Foo 15 2009", "11:32:17"), "");
    EXPECT_EQ(BuildStampText("Jul 15 2009", "11:32"), "");
    const std::string label = BuildDateLabel();
    ASSERT_EQ(label.size(), 4u + 19u);
    EXPECT_EQ(label.substr(0, 4), "vom ");
}

TEST(ShellAboutBox, ProgramWithoutVersionResource) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the program file is the test program on Windows";
    // The POSIX system has no version resources: the label keeps its prefix only.
    EXPECT_EQ(ProgramVersionLabel(tp.system()), "Version ");
}

TEST_F(ShellNoticesTest, SystemSettingsSelectionOnShowing) {
    if (!tp.Posix())
        GTEST_SKIP() << "HKEY_CLASSES_ROOT shows the machine's classes on Windows: the two commands cannot differ";
    struct Case {
        const char* machine;   // nullptr = missing
        const char* perClass;
        VbsOption selected;
    } cases[] = {
        {nullptr, nullptr, VbsOption::TextEditor},
        {"Notepad.exe \"%1\" %*", "WScript.exe \"%1\" %*", VbsOption::TextEditor},
        {"%SystemRoot%\\System32\\WScript.exe \"%1\" %*", "C:\\WINDOWS\\wscript.exe \"%1\" %*",
         VbsOption::ScriptHost},
        {"wscript.exe \"%1\"", nullptr, VbsOption::TextEditor},
        {"WSCRIPT.EXE", "notepad.exe \"%1\"", VbsOption::TextEditor},
        {nullptr, "WScript.exe \"%1\" %*", VbsOption::TextEditor},
    };
    for (const Case& c : cases) {
        Cleanup();
        if (c.machine) WriteRegString(tp.registry(), 2, kVbsMachineCommandKey, "", c.machine);
        if (c.perClass) WriteRegString(tp.registry(), 3, kVbsClassCommandKey, "", c.perClass);
        SystemSettingsModel m(tp.platform());
        m.Select(VbsOption::ScriptHost);
        m.Load();
        EXPECT_EQ(m.Selected(), c.selected) << (c.machine ? c.machine : "-");
        EXPECT_FALSE(m.ApplyEnabled());
    }
}

TEST_F(ShellNoticesTest, SystemSettingsApplyWritesBothKeys) {
    SystemSettingsModel m(tp.platform());
    m.Load();
    m.Select(VbsOption::ScriptHost);
    EXPECT_TRUE(m.ApplyEnabled());
    m.Apply();
    EXPECT_FALSE(m.ApplyEnabled());
    EXPECT_EQ(ReadRegString(tp.registry(), 2, kVbsMachineCommandKey, ""), "WScript.exe \"%1\" %*");
    EXPECT_EQ(ReadRegString(tp.registry(), 3, kVbsClassCommandKey, ""), "WScript.exe \"%1\" %*");
    m.Select(VbsOption::TextEditor);
    m.Apply();
    EXPECT_EQ(ReadRegString(tp.registry(), 2, kVbsMachineCommandKey, ""), "Notepad.exe \"%1\" %*");
    EXPECT_EQ(ReadRegString(tp.registry(), 3, kVbsClassCommandKey, ""), "Notepad.exe \"%1\" %*");
    SystemSettingsModel again(tp.platform());
    again.Load();
    EXPECT_EQ(again.Selected(), VbsOption::TextEditor);
}

TEST_F(ShellNoticesTest, SystemSettingsTestScript) {
    if (!tp.Posix()) GTEST_SKIP() << "opening the script would run it on Windows";
    SystemSettingsModel m(tp.platform());
    const std::string path = m.TestScriptPath();
    EXPECT_EQ(path, tp.system().TempPath() + "brevisto.vbs");
    ASSERT_TRUE(m.Test());
    const std::string script = tp.ReadFile(path);
    const std::vector<std::string> lines = SystemSettingsModel::TestScriptLines();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "' Brevisto-Test : Test der Systemeinstellung");
    EXPECT_EQ(lines[2], "' Wenn Sie diese Zeilen in einem Texteditor lesen, können bei Ihnen");
    EXPECT_EQ(lines[6], "' Öffnen Sie keine E-Mail-Anhänge von Personen, die Sie nicht ");
    EXPECT_EQ(lines[11], "'" + std::string(16, ' '));
    EXPECT_EQ(lines[12],
              "WScript.Echo \"ACHTUNG!!! Windows® Shell Script (WSH) ist aktiv und kann Visual "
              "Basic® Scripte ausführen!\"");
    std::string expected;
    for (const std::string& l : lines) expected += l + "\r\n";
    EXPECT_EQ(script, expected);
    EXPECT_EQ(tp.Posix()->shell.openedDocuments, std::vector<std::string>{path});
}

}  // namespace
}  // namespace bv
