// The preferences model: values on showing, OK and Abbrechen, number fields, folder fields,
// the notice reset and the file association.
#include <gtest/gtest.h>

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/file_association.h"
#include "brevisto/shell/preferences_model.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"


namespace bv {
namespace {

class ShellPreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        Registry& r = tp.registry();
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
        r.DeleteKeyTree(RegRoot::ClassesRoot, ".bvq");
        r.DeleteKeyTree(RegRoot::ClassesRoot, kBackupFileClass);
    }
    std::string SystemTemp() { return IncludeTrailingBackslash(tp.system().TempPath()); }
    std::string Documents() { return TPathComponent(tp.platform()).ShellPersonalFolder(); }
    int ValueCount() {
        std::vector<RegValue> values;
        tp.registry().EnumValues(RegRoot::CurrentUser, SettingsKey, values);
        return static_cast<int>(values.size());
    }
    test::TestPlatform tp;
};

TEST_F(ShellPreferencesTest, DefaultsWithoutStoredSettings) {
    PreferencesModel m(tp.platform());
    m.Load();
    const PreferencesValues& v = m.Values();
    EXPECT_EQ(v.tmpFolder, SystemTemp());
    EXPECT_EQ(v.bakFolder, IncludeTrailingBackslash(Documents()) + "bvq-backups\\");
    EXPECT_EQ(v.maxBackups, 10);
    EXPECT_EQ(v.compression, 5);
    EXPECT_TRUE(v.testBackup);
    EXPECT_TRUE(v.noMessages);
    EXPECT_FALSE(v.askForPassword);
    EXPECT_FALSE(v.stopProgram);
    EXPECT_FALSE(v.minimize);
    EXPECT_FALSE(v.oeAutoClose || v.oeAutoStart || v.oeAutoStart2 || v.printAfterBackup);
    EXPECT_EQ(v.priority, 0);
    EXPECT_STREQ(kPriorityItems[v.priority], "Normal (Standard)");
    EXPECT_EQ(v.updatePeriod, 30);
    EXPECT_FALSE(v.registerExtension);
    EXPECT_FALSE(m.OEAutoStart2Enabled());
    EXPECT_EQ(ValueCount(), 0);  // showing writes nothing
}

TEST_F(ShellPreferencesTest, StoredNumbersAndTheirFallbacks) {
    struct Case {
        const char* name;
        int stored;
        int PreferencesValues::*field;
        int shown;
    } cases[] = {
        {"maxBackups", 25, &PreferencesValues::maxBackups, 25},
        {"maxBackups", 0, &PreferencesValues::maxBackups, 10},
        {"maxBackups", -7, &PreferencesValues::maxBackups, 10},
        {"maxBackups", 150, &PreferencesValues::maxBackups, 99},
        {"UpdOUPeriod", 7, &PreferencesValues::updatePeriod, 7},
        {"UpdOUPeriod", 0, &PreferencesValues::updatePeriod, 30},
        {"UpdOUPeriod", 1, &PreferencesValues::updatePeriod, 2},
        {"UpdOUPeriod", 90, &PreferencesValues::updatePeriod, 60},
        {"Compression", 0, &PreferencesValues::compression, 0},
        {"Compression", 9, &PreferencesValues::compression, 9},
        {"Compression", 12, &PreferencesValues::compression, 9},
        {"Priority", 2, &PreferencesValues::priority, 2},
        {"Priority", -5, &PreferencesValues::priority, 0},
        {"Priority", 7, &PreferencesValues::priority, 0},
    };
    for (const Case& c : cases) {
        Cleanup();
        Settings(tp.platform()).SetInteger(c.name, c.stored);
        PreferencesModel m(tp.platform());
        m.Load();
        EXPECT_EQ(m.Values().*c.field, c.shown) << c.name << " " << c.stored;
    }
}

TEST_F(ShellPreferencesTest, StoredFlagsAndFolders) {
    tp.SetEnvironment("BVTEST", "D:\\Daten");
    Settings s(tp.platform());
    s.SetString("tmpFolder", "%BVTEST%\\tmp");
    s.SetString("bakFolder", "E:\\Sicherung");
    s.SetBool("testBackup", false);
    s.SetBool("noMessages", false);
    s.SetBool("stopProgram", true);
    s.SetBool("askForPassword", true);
    s.SetBool("OEautoStart", true);
    s.SetBool("OEautoStart2", true);
    s.SetInteger("OEprintAfterBackup", 1);
    s.SetBool("Minimize", true);
    WriteRegString(tp.registry(), 3, ".bvq", "", "Irgendwas");
    PreferencesModel m(tp.platform());
    m.Load();
    const PreferencesValues& v = m.Values();
    EXPECT_EQ(v.tmpFolder, "D:\\Daten\\tmp\\");
    EXPECT_EQ(v.bakFolder, "E:\\Sicherung\\");
    EXPECT_FALSE(v.testBackup);
    EXPECT_FALSE(v.noMessages);
    EXPECT_TRUE(v.stopProgram && v.askForPassword && v.oeAutoStart && v.oeAutoStart2);
    EXPECT_TRUE(v.printAfterBackup && v.minimize);
    EXPECT_FALSE(v.oeAutoClose);
    EXPECT_TRUE(v.registerExtension);
    EXPECT_TRUE(m.InitialRegisterExtension());
    EXPECT_TRUE(m.OEAutoStart2Enabled());
    // Unticking the box above disables the one below without changing its tick.
    m.Values().oeAutoStart = false;
    EXPECT_FALSE(m.OEAutoStart2Enabled());
    EXPECT_TRUE(m.Values().oeAutoStart2);
}

TEST_F(ShellPreferencesTest, OkWritesEveryValue) {
    PreferencesModel m(tp.platform());
    m.Load();
    PreferencesValues& v = m.Values();
    v.tmpFolder = "C:\\Temp\\Brevisto";
    v.bakFolder = "C:\\Sicherungen";
    v.maxBackups = 3;
    v.compression = 8;
    v.testBackup = false;
    v.askForPassword = true;
    v.stopProgram = true;
    v.noMessages = false;
    v.minimize = true;
    v.oeAutoClose = true;
    v.oeAutoStart = true;
    v.oeAutoStart2 = true;
    v.updatePeriod = 14;
    v.priority = 3;
    v.printAfterBackup = true;
    m.Save();
    Settings s(tp.platform());
    EXPECT_EQ(s.String("tmpFolder"), "C:\\Temp\\Brevisto\\");
    EXPECT_EQ(s.String("bakFolder"), "C:\\Sicherungen\\");
    EXPECT_EQ(s.Integer("maxBackups"), 3);
    EXPECT_EQ(s.Integer("Compression"), 8);
    EXPECT_EQ(s.Integer("testBackup"), 0);
    EXPECT_EQ(s.Integer("askForPassword"), 1);
    EXPECT_EQ(s.Integer("stopProgram"), 1);
    EXPECT_EQ(s.Integer("noMessages"), 0);
    EXPECT_EQ(s.Integer("Minimize"), 1);
    EXPECT_EQ(s.Integer("OEautoClose"), 1);
    EXPECT_EQ(s.Integer("OEautoStart"), 1);
    EXPECT_EQ(s.Integer("OEautoStart2"), 1);
    EXPECT_EQ(s.Integer("UpdOUPeriod"), 14);
    EXPECT_EQ(s.Integer("Priority"), 3);
    EXPECT_EQ(s.Integer("OEprintAfterBackup"), 1);
    EXPECT_EQ(ValueCount(), 15);
    // The association was not touched: its tick did not change.
    EXPECT_FALSE(BackupExtensionRegistered(tp.platform()));

    // A fresh dialog shows what OK stored.
    PreferencesModel again(tp.platform());
    again.Load();
    EXPECT_EQ(again.Values().tmpFolder, "C:\\Temp\\Brevisto\\");
    EXPECT_EQ(again.Values().maxBackups, 3);
    EXPECT_EQ(again.Values().compression, 8);
    EXPECT_FALSE(again.Values().testBackup);
    EXPECT_EQ(again.Values().priority, 3);
}

TEST_F(ShellPreferencesTest, EmptyTemporaryFolderStoresTheSystemsOne) {
    PreferencesModel m(tp.platform());
    m.Load();
    m.Values().tmpFolder.clear();
    m.Save();
    EXPECT_EQ(Settings(tp.platform()).String("tmpFolder"), SystemTemp());
}

TEST_F(ShellPreferencesTest, CancelWritesNothingButTheNoticeResetStays) {
    Settings s(tp.platform());
    s.SetBool("again_password", true);
    s.SetBool("again_dontdelmain", true);
    s.SetBool("stopProgram", false);
    {
        PreferencesModel m(tp.platform());
        m.Load();
        m.Values().stopProgram = true;
        m.Values().maxBackups = 50;
        m.ResetNotices();
        // Abbrechen: the model is dropped without Save.
    }
    EXPECT_FALSE(s.StopProgram());
    EXPECT_EQ(s.Integer("maxBackups"), -1);
    EXPECT_FALSE(s.Again("again_password"));
    EXPECT_FALSE(s.Again("again_dontdelmain"));
    EXPECT_EQ(s.Integer("again_password"), 0);
}

TEST_F(ShellPreferencesTest, AssociationFollowsTheTickOnlyWhenItChanged) {
    if (!tp.Posix()) GTEST_SKIP() << "the association notice goes to the real shell on Windows";
    PosixShell& shell = tp.Posix()->shell;
    const std::string program = tp.system().ProgramFile();

    PreferencesModel m(tp.platform());
    m.Load();
    m.Values().registerExtension = true;
    m.Save();
    EXPECT_EQ(ReadRegString(tp.registry(), 3, ".bvq", ""), "Outlook Express Sicherung");
    EXPECT_EQ(ReadRegString(tp.registry(), 3, "Outlook Express Sicherung", ""),
              "Brevisto Sicherungsdatei");
    EXPECT_EQ(ReadRegString(tp.registry(), 3, "Outlook Express Sicherung\\DefaultIcon", ""),
              program + ",0");
    EXPECT_EQ(ReadRegString(tp.registry(), 3, "Outlook Express Sicherung\\shell\\open\\command", ""),
              program + " \"%1\"");
    EXPECT_EQ(shell.associationNotices, 1);

    // Ticked on a system where it exists: nothing is written.
    WriteRegString(tp.registry(), 3, "Outlook Express Sicherung", "", "Von Hand");
    PreferencesModel second(tp.platform());
    second.Load();
    EXPECT_TRUE(second.Values().registerExtension);
    second.Save();
    EXPECT_EQ(ReadRegString(tp.registry(), 3, "Outlook Express Sicherung", ""), "Von Hand");
    EXPECT_EQ(shell.associationNotices, 1);

    // Unticked: both keys go.
    second.Values().registerExtension = false;
    second.Save();
    EXPECT_NE(tp.registry().KeyExists(RegRoot::ClassesRoot, ".bvq"), WinError::Success);
    EXPECT_NE(tp.registry().KeyExists(RegRoot::ClassesRoot, "Outlook Express Sicherung"),
              WinError::Success);
    EXPECT_EQ(shell.associationNotices, 2);
}

TEST(ShellPreferencesNumbers, FieldFilteringAndRanges) {
    struct Filter {
        const char* text;
        int caret;
        const char* result;
        int caretAfter;
    } filters[] = {
        {"12", 2, "12", 2},       {"1a2", 3, "12", 2},     {"abc", 1, "1", 1},
        {"", 0, "1", 0},          {"9x9x", 1, "99", 1},    {" 42 ", 4, "42", 2},
        {"-5", 2, "5", 1},        {"0", 1, "0", 1},
    };
    for (const Filter& f : filters) {
        const NumberFieldText t = FilterNumberField(f.text, f.caret);
        EXPECT_EQ(t.text, f.result) << f.text;
        EXPECT_EQ(t.caret, f.caretAfter) << f.text;
    }
    EXPECT_EQ(NumberFieldOnExit(NumberField::MaxBackups, ""), "1");
    EXPECT_EQ(NumberFieldOnExit(NumberField::UpdatePeriod, ""), "2");
    EXPECT_EQ(NumberFieldOnExit(NumberField::UpdatePeriod, "15"), "15");
    struct Value {
        NumberField field;
        const char* text;
        int value;
    } values[] = {
        {NumberField::MaxBackups, "10", 10},     {NumberField::MaxBackups, "0", 1},
        {NumberField::MaxBackups, "100", 99},    {NumberField::MaxBackups, "", 1},
        {NumberField::MaxBackups, "99999999999999", 99},
        {NumberField::UpdatePeriod, "1", 2},     {NumberField::UpdatePeriod, "61", 60},
        {NumberField::UpdatePeriod, "30", 30},
    };
    for (const Value& v : values) EXPECT_EQ(NumberFieldValue(v.field, v.text), v.value) << v.text;
}

TEST_F(ShellPreferencesTest, FolderFields) {
    PreferencesModel m(tp.platform());
    // An empty field is left alone.
    FolderCheckResult r = m.LeaveFolderField("");
    EXPECT_EQ(r.folder, "");
    EXPECT_FALSE(r.focusEdit);
    EXPECT_TRUE(tp.prompter().messages.empty());
    // A text goes through the folder check.
    const std::string folder = tp.TempDir() + "Backups";
    tp.prompter().answers.push_back(MsgResult::Yes);
    r = m.LeaveFolderField(folder);
    EXPECT_EQ(r.folder, folder + "\\");
    EXPECT_TRUE(DirectoryExists(tp.files(), folder));
    ASSERT_EQ(tp.prompter().messages.size(), 1u);

    // Browsing: cancelled leaves the field; a chosen folder is checked and taken.
    std::string field = "C:\\Alt\\";
    bool focus = true;
    EXPECT_FALSE(m.BrowseFolder(true, field, focus));
    EXPECT_EQ(field, "C:\\Alt\\");
    EXPECT_FALSE(focus);
    tp.prompter().folderAnswers.push_back(tp.TempDir() + "Backups");
    EXPECT_TRUE(m.BrowseFolder(false, field, focus));
    EXPECT_EQ(field, folder + "\\");
    EXPECT_FALSE(focus);
    EXPECT_EQ(tp.prompter().messages.size(), 1u);
}

// A folder where the security check says no and no file can be created.
class DeniedFiles : public test::FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    int FolderWriteAccess(const std::string&) override { return 0; }
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                     long* error = nullptr) override {
        if (OpensForWriting(mode)) return nullptr;
        return FaultyFiles::Open(path, mode, error);
    }
};

TEST_F(ShellPreferencesTest, BrowsedFolderWithoutWriteAccess) {
    DeniedFiles denied(tp.files());
    Platform& base = tp.platform();
    Platform p{base.registry, denied, base.shell, base.system, base.prompter, base.pump};
    const std::string folder = tp.TempDir() + "Gesperrt";
    ASSERT_TRUE(ForceDirectories(tp.files(), folder));
    PreferencesModel m(p);
    std::string field = "C:\\Alt\\";
    bool focus = false;
    tp.prompter().folderAnswers.push_back(folder);
    EXPECT_FALSE(m.BrowseFolder(false, field, focus));
    EXPECT_EQ(field, "C:\\Alt\\");
    EXPECT_FALSE(focus);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text,
              "In den angegebenen Ordner \"" + folder +
                  "\" kann die Software aufgrund eingeschränkter Zugriffsrechte nicht "
                  "schreiben.\r\rGeben Sie daher bitte einen anderen Ordner an!");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Fehler");
    EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkError, bsOk).style);
}

}  // namespace
}  // namespace bv
