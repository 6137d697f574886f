// The backup wizard without its window: the checks of the first page, what the pages show
// on the way, the end of the selection with its password and free-space questions, the
// unattended run from a parameter file and the questions nobody is there to answer.
#include <gtest/gtest.h>

#include <optional>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/automation/parameter_file.h"
#include "brevisto/automation/password_cipher.h"
#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/folder_check.h"
#include "brevisto/shell/outlook_express.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "brevisto/shell/unattended_prompter.h"
#include "brevisto/wizard/wizard_model.h"
#include "common/ini_file.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_wizard_view.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

constexpr FileTime kSecond = 10000000;  // in 100 ns

// The system of the test platform with a clock the test sets.
class ClockSystem : public System {
public:
    explicit ClockSystem(System& inner) : inner_(inner) {}
    std::optional<FileTime> now;

    OsVersion GetVersion() override { return inner_.GetVersion(); }
    std::string AnsiToOem(const std::string& text) override { return inner_.AnsiToOem(text); }
    std::string OemToAnsi(const std::string& text) override { return inner_.OemToAnsi(text); }
    char DecimalSeparator() override { return inner_.DecimalSeparator(); }
    std::string MonthName(int month) override { return inner_.MonthName(month); }
    std::string DateTimeText(const DateTime& when) override { return inner_.DateTimeText(when); }
    LocaleDateFormats DateFormats() override { return inner_.DateFormats(); }
    DateTime LocalNow() override { return inner_.LocalNow(); }
    FileTime UtcNow() override { return now ? *now : inner_.UtcNow(); }
    bool FileTimeToLocal(FileTime utc, DateTime& local) override { return inner_.FileTimeToLocal(utc, local); }
    bool LocalToFileTime(const DateTime& local, FileTime& utc) override { return inner_.LocalToFileTime(local, utc); }
    std::string ProgramFile() override { return inner_.ProgramFile(); }
    std::string TempPath() override { return inner_.TempPath(); }
    std::string WindowsDirectory() override { return inner_.WindowsDirectory(); }
    std::vector<ProcessEntry> Processes() override { return inner_.Processes(); }
    std::string ErrorText(long error) override { return inner_.ErrorText(error); }
    bool RandomBytes(void* buffer, size_t count) override { return inner_.RandomBytes(buffer, count); }
    bool ReadVersionResource(const std::string& path, Bytes& resource) override {
        return inner_.ReadVersionResource(path, resource);
    }
    bool WindowOfClassExists(const std::string& c) override { return inner_.WindowOfClassExists(c); }
    bool WindowWithCaptionExists(const std::string& c) override { return inner_.WindowWithCaptionExists(c); }
    bool CloseWindowOfClass(const std::string& c, uint32_t ms) override { return inner_.CloseWindowOfClass(c, ms); }
    bool PostKeyToCaption(const std::string& c, uint32_t key) override { return inner_.PostKeyToCaption(c, key); }
    bool SetPriorityClass(uint32_t priorityClass) override { return inner_.SetPriorityClass(priorityClass); }
    bool PlaySoundFile(const std::string& path) override { return inner_.PlaySoundFile(path); }
    bool PrintText(const std::vector<std::string>& lines, const std::string& title) override {
        return inner_.PrintText(lines, title);
    }

private:
    System& inner_;
};

// The files of the test platform with a free-space figure per folder, and, where the host
// would create them, file names Windows refuses (the wizard relies on the refusal).
class WizardFiles : public test::FaultyFiles {
public:
    explicit WizardFiles(Files& inner) : FaultyFiles(inner) {}
    // Folder prefix (with trailing backslash) -> free bytes reported below it.
    std::vector<std::pair<std::string, int64_t>> freeBytes;
    bool refuseWindowsNames = !test::TestPlatform::IsWindows();

    int64_t FreeBytes(const std::string& path) override {
        const std::string folder = AnsiUpperCase(IncludeTrailingBackslash(path));
        for (const auto& [prefix, bytes] : freeBytes)
            if (folder.compare(0, prefix.size(), AnsiUpperCase(prefix)) == 0) return bytes;
        return FaultyFiles::FreeBytes(path);
    }
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode, long* error = nullptr) override {
        if (OpensForWriting(mode) && refuseWindowsNames && RefusedByWindows(ExtractFileName(path))) {
            if (error) *error = 123;  // ERROR_INVALID_NAME
            return nullptr;
        }
        return FaultyFiles::Open(path, mode, error);
    }

private:
    static bool RefusedByWindows(const std::string& name) {
        if (name.find_first_of("*?\"<>|") != std::string::npos) return true;
        const std::string base = AnsiUpperCase(name.substr(0, name.find('.')));
        for (const char* device : {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "LPT1", "LPT2"})
            if (base == device) return true;
        return false;
    }
};

const test::RecordedMessage* LastMessage(test::TestPlatform& tp) {
    return tp.prompter().messages.empty() ? nullptr : &tp.prompter().messages.back();
}

void ExpectBox(const test::RecordedMessage* message, const std::string& text, uint8_t kind, TMsgButtons buttons) {
    ASSERT_NE(message, nullptr) << "no message shown, expected: " << text;
    const MsgBoxRequest box = BuildMsgBox("Brevisto", kind, buttons);
    EXPECT_EQ(message->text, text);
    EXPECT_EQ(message->caption, box.caption);
    EXPECT_EQ(message->style, box.style);
}

// A wizard over a platform of its own with one identity, for tables of cases that each
// need a fresh machine. Settings and history go in before Show.
struct FreshWizard {
    explicit FreshWizard(int kind, uint64_t mailBytes = 64u << 10) : kind_(kind) {
        test::OeIdentityOptions options;
        options.mailBytes = mailBytes;
        one = test::OeIdentityBuilder(own.platform()).Build(options);
    }
    WizardModel& Show() {
        model = std::make_unique<WizardModel>(own.platform(), shown, kind_, false, "");
        model->FormCreate();
        model->FormShow();
        return *model;
    }
    test::TestPlatform own;
    test::OeIdentity one;
    test::RecordingWizardView shown;
    std::unique_ptr<WizardModel> model;

private:
    int kind_;
};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tp.Posix()) GTEST_SKIP() << "the generated identities fill the user's real registry on Windows";
        backups = tp.TempDir() + "Sicherungen\\";
    }

    test::OeIdentity AddIdentity(const std::string& name = "Hauptidentität", uint32_t seed = 1,
                                 bool makeDefault = true) {
        test::OeIdentityOptions options;
        options.username = name;
        options.seed = seed;
        options.makeDefault = makeDefault;
        options.mailBytes = 256u << 10;
        return test::OeIdentityBuilder(tp.platform()).Build(options);
    }
    // The identity had a full backup, so an update may follow.
    void RecordFullBackup(const test::OeIdentity& of) {
        BackupHistory(tp.registry(), of.keyName).Record(0, "Voll.bvq", "01.03.2026 10:00:00");
    }
    void Open(int kind, bool autoRun = false, const std::string& paramFile = std::string()) {
        wizard = std::make_unique<WizardModel>(platform, view, kind, autoRun, paramFile);
        wizard->FormCreate();
        wizard->FormShow();
    }
    // One identity, the backup folder from the settings.
    void OpenWithIdentity(int kind = 0) {
        identity = AddIdentity();
        if (kind == 1) RecordFullBackup(identity);
        Settings(tp.platform()).SetString("bakFolder", backups);
        Open(kind);
    }
    void Next(WizardPage expected) {
        wizard->NextBtnClick();
        ASSERT_EQ(wizard->Page(), expected);
    }
    void NothingChosen() {
        wizard->NoFilesBtnClick();
        wizard->NonePrefsBtnClick();
    }
    std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const FindEntry& e : tp.files().Find(folder + "*"))
            if (!e.IsDirectory()) names.push_back(e.name);
        return names;
    }
    std::string Stamped(const std::string& name) { return name + "_" + wizard->NameStampText(); }

    test::TestPlatform tp;
    WizardFiles files{tp.files()};
    ClockSystem clock{tp.system()};
    Platform platform{tp.registry(), files, tp.shell(), clock, tp.prompter(), tp.pump()};
    test::RecordingWizardView view;
    std::unique_ptr<WizardModel> wizard;
    test::OeIdentity identity;
    std::string backups;
};

// ---- the first page --------------------------------------------------------------------

using WizardFirstPage = WizardTest;

TEST_F(WizardFirstPage, AnEmptyFolderStopsBeforeAnyOtherCheck) {
    OpenWithIdentity();
    // The name would fail as well: only the first failure is shown.
    ASSERT_TRUE(tp.WriteFile(backups + "Alt.bvq", "alt"));
    for (const char* folder : {"", "   ", " \t "}) {
        SCOPED_TRACE(std::string("folder \"") + folder + "\"");
        tp.prompter().messages.clear();
        view.focused.clear();
        view.fields[WizardField::BackupFolder] = folder;
        view.fields[WizardField::BackupName] = "Alt";
        wizard->NextBtnClick();
        EXPECT_EQ(wizard->Page(), wpIdentity);
        ASSERT_EQ(tp.prompter().messages.size(), 1u);
        ExpectBox(LastMessage(tp), kEmptyFolderText, mkError, bsOk);
        EXPECT_EQ(view.focused, std::vector<WizardField>{WizardField::BackupFolder});
    }
}

TEST_F(WizardFirstPage, AnExistingArchiveIsNamedAsTypedAndLeftAlone) {
    struct Case {
        int kind;
        const char* existing;
        const char* typed;
        const char* shown;  // the name in the message
    };
    const Case cases[] = {
        {0, "Alt.bvq", "Alt", "Alt"},
        {0, "Alt.bvq", "Alt.bvq", "Alt.bvq"},
        // An update's archive carries the prefix: the name the run would write is checked.
        {1, "UPD_Alt.bvq", "Alt", "UPD_Alt"},
        {1, "UPD_Alt.bvq", "UPD_Alt", "UPD_Alt"},
    };
    identity = AddIdentity();
    RecordFullBackup(identity);
    Settings(tp.platform()).SetString("bakFolder", backups);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " kind " + std::to_string(c.kind));
        tp.prompter().messages.clear();
        view.focused.clear();
        Open(c.kind);
        ASSERT_TRUE(tp.WriteFile(backups + c.existing, "alt"));
        view.fields[WizardField::BackupName] = c.typed;
        wizard->NextBtnClick();
        EXPECT_EQ(wizard->Page(), wpIdentity);
        ExpectBox(LastMessage(tp), BackupExistsText(c.shown), mkError, bsOk);
        EXPECT_EQ(view.focused, std::vector<WizardField>{WizardField::BackupName});
        EXPECT_EQ(tp.ReadFile(backups + c.existing), "alt");
        ASSERT_TRUE(tp.files().DeleteFile(backups + c.existing));
    }
}

TEST_F(WizardFirstPage, AnUpdateNameGetsItsPrefixBeforeTheCheck) {
    OpenWithIdentity(1);
    // A full backup of the typed name does not stand in the way of the update.
    ASSERT_TRUE(tp.WriteFile(backups + "Mai.bvq", "voll"));
    view.fields[WizardField::BackupName] = "Mai";
    Next(wpMails);
    EXPECT_EQ(view.fields[WizardField::BackupName], "UPD_Mai");
    EXPECT_EQ(FilesIn(backups), std::vector<std::string>{"Mai.bvq"});
}

TEST_F(WizardFirstPage, ANameTheFileSystemRefusesIsInvalid) {
    const char* const names[] = {
        "Mai?2026",  // wildcard
        "con",       // device
        "Mai/2026",  // a folder that does not exist
        "Mai\\2026",  // a path instead of a name
        "C:Mai",     // a drive
        "   ",       // nothing
    };
    OpenWithIdentity();
    for (const char* name : names) {
        SCOPED_TRACE(name);
        tp.prompter().messages.clear();
        view.focused.clear();
        view.fields[WizardField::BackupName] = name;
        wizard->NextBtnClick();
        EXPECT_EQ(wizard->Page(), wpIdentity);
        ASSERT_EQ(tp.prompter().messages.size(), 1u);
        ExpectBox(LastMessage(tp), kInvalidBackupNameText, mkError, bsOk);
        EXPECT_EQ(view.focused, std::vector<WizardField>{WizardField::BackupName});
        EXPECT_TRUE(FilesIn(backups).empty());
    }
}

TEST_F(WizardFirstPage, AValidNameGoesOnAndLeavesNoProbeBehind) {
    OpenWithIdentity();
    view.fields[WizardField::BackupName] = "Neu";
    Next(wpMails);
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_TRUE(FilesIn(backups).empty());
    EXPECT_EQ(view.fields[WizardField::BackupFolder], backups);
    EXPECT_EQ(view.fields[WizardField::BackupName], "Neu");
}

TEST_F(WizardFirstPage, AMissingFolderIsCreatedOnlyWhenTheUserAgrees) {
    OpenWithIdentity();
    const std::string missing = tp.TempDir() + "Neu\\Sicherung";
    for (int answer : {MsgResult::No, MsgResult::Yes}) {
        SCOPED_TRACE(answer);
        tp.prompter().messages.clear();
        tp.prompter().answers = {answer};
        view.fields[WizardField::BackupFolder] = missing;
        wizard->NextBtnClick();
        ExpectBox(&tp.prompter().messages.at(0), kFolderMissingQuestion, mkConfirmation, bsYesNo);
        EXPECT_EQ(DirectoryExists(tp.files(), missing), answer == MsgResult::Yes);
        EXPECT_EQ(wizard->Page(), answer == MsgResult::Yes ? wpMails : wpIdentity);
    }
    EXPECT_EQ(view.fields[WizardField::BackupFolder], missing + "\\");
}

TEST_F(WizardFirstPage, AFolderChangedLaterIsTheOneWhoseSpaceCounts) {
    OpenWithIdentity();
    Next(wpMails);
    Next(wpOthers);
    wizard->BackBtnClick();
    wizard->BackBtnClick();
    const std::string small = tp.TempDir() + "Klein\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), small));
    files.freeBytes = {{small, 1000}};
    view.fields[WizardField::BackupFolder] = small;
    Next(wpMails);
    Next(wpOthers);
    Next(wpEndSelection);
    ASSERT_EQ(view.freeSpaceNotices.size(), 1u);
    EXPECT_EQ(view.freeSpaceNotices[0].folder, small);
    EXPECT_EQ(view.endText, NotEnoughSpaceText(small));
}

// ---- FormShow ------------------------------------------------------------------------

using WizardFormShow = WizardTest;

TEST_F(WizardFormShow, WithoutIdentitiesItSaysSoAndOffersNothing) {
    Open(0);
    ExpectBox(LastMessage(tp), kNoIdentitiesText, mkInformation, bsOk);
    EXPECT_TRUE(view.identityNames.empty());
    EXPECT_FALSE(view.nextEnabled);
    EXPECT_EQ(wizard->Page(), wpIdentity);
}

TEST_F(WizardFormShow, TheOnlyIdentityIsChosenAndNamed) {
    struct Case {
        int kind;
        const char* prefix;
        const char* caption;
    };
    for (const Case& c : {Case{0, "", "Brevisto : Backup anlegen"}, Case{1, "UPD_", "Brevisto : Backup aktualisieren"}}) {
        SCOPED_TRACE(c.kind);
        FreshWizard w(c.kind);
        test::TestPlatform& own = w.own;
        const test::OeIdentity& one = w.one;
        test::RecordingWizardView& shown = w.shown;
        BackupHistory(own.registry(), one.keyName).Record(0, "Voll.bvq", "01.03.2026 10:00:00");
        WizardModel& model = w.Show();
        EXPECT_TRUE(own.prompter().messages.empty());
        EXPECT_EQ(shown.caption, c.caption);
        EXPECT_EQ(shown.updatePicture, c.kind == 1);
        EXPECT_EQ(shown.identityNames, std::vector<std::string>{"Hauptidentität"});
        EXPECT_EQ(shown.selected, 0);
        EXPECT_EQ(shown.identityKeyText, one.guid);
        EXPECT_EQ(shown.fields[WizardField::BackupName],
                  std::string(c.prefix) + "Hauptidentität_" + model.NameStampText());
        EXPECT_TRUE(shown.nextEnabled);
        EXPECT_FALSE(shown.backEnabled);
        EXPECT_EQ(shown.nextCaption, "&Weiter >");
    }
}

TEST_F(WizardFormShow, SeveralIdentitiesWaitForTheChoice) {
    AddIdentity("Anna", 1, true);
    const test::OeIdentity bert = AddIdentity("Bert", 2, false);
    Settings(tp.platform()).SetString("bakFolder", backups);
    Open(0);
    ASSERT_EQ(view.identityNames.size(), 2u);
    EXPECT_EQ(view.selected, -1);
    EXPECT_FALSE(view.nextEnabled);
    EXPECT_TRUE(view.fields[WizardField::BackupName].empty());

    const int second = view.identityNames[0] == "Bert" ? 0 : 1;
    view.selected = second;
    wizard->IdentChangeChange();
    EXPECT_TRUE(view.nextEnabled);
    EXPECT_EQ(view.identityKeyText, bert.guid);
    EXPECT_EQ(view.fields[WizardField::BackupName], Stamped("Bert"));
}

TEST_F(WizardFormShow, TheBackupFolderFallsBackToTheDocuments) {
    struct Case {
        const char* setting;
        const char* expected;  // empty: the documents' "bvq-backups\"
    };
    const Case cases[] = {
        {"", ""},
        {"C:\\Eigene Sicherung", "C:\\Eigene Sicherung\\"},
        {"Q:\\Sicherung\\", ""},  // a drive that is not there
    };
    AddIdentity();
    const std::string documents =
        IncludeTrailingBackslash(TPathComponent(tp.platform()).ShellPersonalFolder()) + "bvq-backups\\";
    ASSERT_GT(documents.size(), std::string("bvq-backups\\").size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        (void)tp.files().RemoveDirectory(documents);
        Settings(tp.platform()).SetString("bakFolder", c.setting);
        Open(0);
        const std::string expected = *c.expected ? c.expected : documents;
        EXPECT_EQ(view.fields[WizardField::BackupFolder], expected);
        EXPECT_EQ(wizard->BackupFolder(), expected);
        EXPECT_TRUE(DirectoryExists(tp.files(), expected));
    }
}

TEST_F(WizardFormShow, AnUpdateNeedsAFullBackupFirst) {
    for (bool hadFullBackup : {false, true}) {
        SCOPED_TRACE(hadFullBackup);
        FreshWizard w(1, test::OeIdentityOptions{}.mailBytes);
        test::TestPlatform& own = w.own;
        const test::OeIdentity& one = w.one;
        test::RecordingWizardView& shown = w.shown;
        if (hadFullBackup) BackupHistory(own.registry(), one.keyName).Record(0, "Voll.bvq", "01.03.2026 10:00:00");
        WizardModel& model = w.Show();
        if (hadFullBackup) {
            EXPECT_TRUE(own.prompter().messages.empty());
            EXPECT_TRUE(shown.nextEnabled);
        } else {
            ExpectBox(LastMessage(own), kNoFullBackupText, mkError, bsOk);
            EXPECT_FALSE(shown.nextEnabled);
            EXPECT_FALSE(model.Result().endApplication);
        }
    }
}

// ---- the pages -----------------------------------------------------------------------

using WizardPages = WizardTest;

TEST_F(WizardPages, NextAndBackKeepTheChoices) {
    OpenWithIdentity();
    EXPECT_FALSE(view.backEnabled);
    const size_t shownBefore = view.pagesShown.size();
    wizard->BackBtnClick();
    EXPECT_EQ(wizard->Page(), wpIdentity);
    EXPECT_EQ(view.pagesShown.size(), shownBefore);

    view.fields[WizardField::Comment] = "Vor dem Umzug";
    view.fields[WizardField::BackupName] = "Umzug";
    Next(wpMails);
    EXPECT_TRUE(view.backEnabled);
    Next(wpOthers);
    view.checked[CBSave3] = false;
    view.checked[CBSave8] = false;
    const auto options = view.checked;
    Next(wpEndSelection);
    EXPECT_EQ(view.nextCaption, "&Fertig stellen");
    wizard->BackBtnClick();
    EXPECT_EQ(wizard->Page(), wpOthers);
    EXPECT_EQ(view.nextCaption, "&Weiter >");
    EXPECT_EQ(view.checked, options);
    wizard->BackBtnClick();
    wizard->BackBtnClick();
    EXPECT_EQ(wizard->Page(), wpIdentity);
    EXPECT_FALSE(view.backEnabled);
    EXPECT_TRUE(view.nextEnabled);
    EXPECT_EQ(view.fields[WizardField::Comment], "Vor dem Umzug");
    EXPECT_EQ(view.fields[WizardField::BackupName], "Umzug");
    EXPECT_EQ(view.fields[WizardField::BackupFolder], backups);
}

TEST_F(WizardPages, BackFromANothingChosenEndEnablesNext) {
    OpenWithIdentity();
    Next(wpMails);
    Next(wpOthers);
    NothingChosen();
    Next(wpEndSelection);
    ASSERT_FALSE(view.nextEnabled);
    wizard->BackBtnClick();
    EXPECT_EQ(wizard->Page(), wpOthers);
    EXPECT_TRUE(view.nextEnabled);
}

TEST_F(WizardPages, TheFolderTreeLoadsOncePerIdentityChoice) {
    OpenWithIdentity();
    Next(wpMails);
    EXPECT_EQ(view.treeLoadsBegun, 1);
    EXPECT_EQ(view.treeLoadsEnded, 1);
    ASSERT_GT(view.treeNodesShown, 0u);
    ASSERT_EQ(view.treeChecks.size(), view.treeNodesShown);
    for (size_t i = 0; i < view.treeChecks.size(); ++i) EXPECT_TRUE(view.treeChecks[i]) << wizard->Tree().Text(i);
    int folders = 0;
    for (size_t i = 0; i < wizard->Tree().Count(); ++i)
        if (wizard->Tree().Level(i) >= 2) ++folders;
    ASSERT_GT(folders, 0);
    EXPECT_EQ(view.folderCountText, FolderCountText(folders, folders));

    // The user's choice in the tree survives a walk back and forth, also one that turns
    // back before the next page.
    wizard->NoFilesBtnClick();
    EXPECT_EQ(view.folderCountText, FolderCountText(0, folders));
    wizard->BackBtnClick();
    Next(wpMails);
    EXPECT_EQ(view.treeLoadsBegun, 1);
    EXPECT_EQ(view.folderCountText, FolderCountText(0, folders));
    Next(wpOthers);
    EXPECT_EQ(view.mailCountText, FolderCountText(0, folders));
    wizard->BackBtnClick();
    wizard->BackBtnClick();
    Next(wpMails);
    Next(wpOthers);
    EXPECT_EQ(view.treeLoadsBegun, 1);
    EXPECT_EQ(view.folderCountText, FolderCountText(0, folders));

    // Choosing the identity again starts afresh.
    wizard->BackBtnClick();
    wizard->BackBtnClick();
    wizard->IdentChangeChange();
    Next(wpMails);
    EXPECT_EQ(view.treeLoadsBegun, 2);
    EXPECT_EQ(view.folderCountText, FolderCountText(folders, folders));
}

TEST_F(WizardPages, OthersShowsTheCountOfTheCheckedFolders) {
    OpenWithIdentity();
    Next(wpMails);
    wizard->NoFilesBtnClick();
    // Ticking one node with children ticks them as well.
    size_t parent = 0;
    while (parent < wizard->Tree().Count() &&
           (wizard->Tree().Level(parent) < 2 || parent + 1 >= wizard->Tree().Count() ||
            wizard->Tree().ParentIndex(parent + 1) != static_cast<int>(parent)))
        ++parent;
    ASSERT_LT(parent, wizard->Tree().Count()) << "the default plan has nested folders";
    wizard->Tree().SetChecked(parent, true);
    wizard->FolderNodeClicked(static_cast<int>(parent));
    const std::string label = view.folderCountText;
    EXPECT_NE(label.rfind("0 von ", 0), 0u) << label;
    EXPECT_TRUE(view.treeChecks.at(parent + 1));
    Next(wpOthers);
    EXPECT_EQ(view.mailCountText, label);
}

// ---- the end of the selection --------------------------------------------------------

using WizardEndSelection = WizardTest;

TEST_F(WizardEndSelection, NothingChosenCannotFinish) {
    OpenWithIdentity();
    Next(wpMails);
    Next(wpOthers);
    NothingChosen();
    Next(wpEndSelection);
    EXPECT_EQ(view.endText, kNoSelectionText);
    EXPECT_TRUE(view.endRed);
    EXPECT_FALSE(view.nextEnabled);
    EXPECT_FALSE(view.finishShown);
    EXPECT_EQ(wizard->SelectionCount(), 0);
}

TEST_F(WizardEndSelection, AChoiceCanFinish) {
    OpenWithIdentity();
    Next(wpMails);
    wizard->NoFilesBtnClick();
    Next(wpOthers);
    wizard->NonePrefsBtnClick();
    view.checked[CBSave4] = true;
    Next(wpEndSelection);
    EXPECT_EQ(wizard->SelectionCount(), 1);
    EXPECT_EQ(view.endText, BackupStartText("Hauptidentität"));
    EXPECT_FALSE(view.endRed);
    EXPECT_TRUE(view.nextEnabled);
    EXPECT_TRUE(view.finishShown);
    EXPECT_TRUE(view.finishEnabled);
}

TEST_F(WizardEndSelection, ThePasswordIsAskedForWhenTheSettingsSaySo) {
    struct Case {
        bool ask;
        int answer;         // to the question
        bool dialogOk;
        bool accounts;      // CBSave2 ticked
        const char* password;
        int dialogs;
        bool notice;
    };
    const Case cases[] = {
        // The notice about the accounts' passwords comes whenever accounts are saved.
        {false, MsgResult::Yes, true, true, "", 0, true},
        {false, MsgResult::Yes, true, false, "", 0, false},
        {true, MsgResult::No, true, true, "", 0, true},
        {true, MsgResult::Yes, false, true, "", 1, true},
        {true, MsgResult::Yes, true, true, "geheim", 1, true},
        {true, MsgResult::Yes, true, false, "geheim", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ask) + std::to_string(c.answer) + std::to_string(c.dialogOk) +
                     std::to_string(c.accounts));
        FreshWizard w(0);
        test::TestPlatform& own = w.own;
        test::RecordingWizardView& shown = w.shown;
        Settings(own.platform()).SetBool("askForPassword", c.ask);
        shown.passwordAnswer = c.dialogOk;
        shown.passwordEntered = "geheim";
        WizardModel& model = w.Show();
        model.NextBtnClick();
        model.NextBtnClick();
        shown.checked[CBSave2] = c.accounts;
        own.prompter().answers = {c.answer};
        model.NextBtnClick();
        ASSERT_EQ(model.Page(), wpEndSelection);
        if (c.ask)
            ExpectBox(LastMessage(own), kEncryptQuestion, mkQuestion, bsYesNo);
        else
            EXPECT_TRUE(own.prompter().messages.empty());
        EXPECT_EQ(model.ArchivePassword(), c.password);
        EXPECT_EQ(shown.passwordRuns, c.dialogs);
        EXPECT_EQ(shown.noticeTexts,
                  c.notice ? std::vector<std::string>{kNoticePasswordText} : std::vector<std::string>{});
    }
}

TEST(WizardEstimate, TheArchiveSizeFollowsThePackLevel) {
    struct Case {
        uint64_t mailSize;
        int level;
        int64_t expected;
    };
    const Case cases[] = {
        {1000000, 0, 1000000},  // factor 1
        {0, 5, 0},
        {2300000, 5, 1800000},  // factor 23/18
        {1000000, 9, 666667},   // factor 1.5, rounded half up
        {999, 9, 666},
        // The factor of level 5 in single precision is 1.27777779102...: 18e9/1.2777777...
        // would give 14086956523.
        {18000000001ull, 5, 14086956376},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EstimatedBackupSize(c.mailSize, c.level), c.expected) << c.mailSize << " level " << c.level;
}

TEST_F(WizardEndSelection, TooLittleSpaceOffersThePreferences) {
    OpenWithIdentity();
    Settings(tp.platform()).SetInteger("Compression", 9);
    files.freeBytes = {{backups, 1000}};
    Next(wpMails);
    const uint64_t mailSize = wizard->Tree().SelectedMailSize();
    ASSERT_GT(mailSize, 1500u);
    Next(wpOthers);
    view.preferencesAnswer = false;
    Next(wpEndSelection);
    ASSERT_EQ(view.freeSpaceNotices.size(), 1u);
    const FreeSpaceNotice& notice = view.freeSpaceNotices[0];
    EXPECT_FALSE(notice.driveMissing);
    EXPECT_EQ(notice.folder, backups);
    EXPECT_EQ(notice.freeBytes, "1.000 Bytes");
    EXPECT_EQ(notice.estimate, GroupDigits(3, EstimatedBackupSize(mailSize, 9)) + " Bytes");
    EXPECT_EQ(view.endText, NotEnoughSpaceText(backups));
    EXPECT_TRUE(view.endRed);
    EXPECT_EQ(view.preferencesRuns, 1);
    // Cancelled: nothing can be started from here.
    EXPECT_FALSE(view.nextEnabled);
    EXPECT_FALSE(view.finishEnabled);
    EXPECT_FALSE(wizard->Result().runStarted);
}

TEST_F(WizardEndSelection, TheSpaceOfTheChosenFolderCounts) {
    OpenWithIdentity();
    Next(wpMails);
    const uint64_t mailSize = wizard->Tree().SelectedMailSize();
    const int64_t estimate = EstimatedBackupSize(mailSize, 5);
    // Exactly the estimate is enough; a byte less is not.
    files.freeBytes = {{backups, estimate}};
    Next(wpOthers);
    Next(wpEndSelection);
    EXPECT_TRUE(view.freeSpaceNotices.empty());
    EXPECT_TRUE(view.finishShown);
    wizard->BackBtnClick();
    files.freeBytes = {{backups, estimate - 1}};
    Next(wpEndSelection);
    EXPECT_EQ(view.freeSpaceNotices.size(), 1u);
}

TEST_F(WizardEndSelection, OkInThePreferencesReturnsWithTheNewFolders) {
    OpenWithIdentity();
    files.freeBytes = {{backups, 1000}};
    Next(wpMails);
    Next(wpOthers);
    const std::string elsewhere = tp.TempDir() + "Anderswo\\";
    const std::string temp = tp.TempDir() + "Zwischen\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), elsewhere));
    ASSERT_TRUE(ForceDirectories(tp.files(), temp));
    view.preferencesAnswer = true;
    view.preferencesResult.bakFolder = elsewhere;
    view.preferencesResult.tmpFolder = temp;
    wizard->NextBtnClick();
    EXPECT_EQ(view.preferencesRuns, 1);
    EXPECT_EQ(wizard->Page(), wpOthers);
    EXPECT_EQ(view.page, wpOthers);
    EXPECT_EQ(wizard->BackupFolder(), elsewhere);
    EXPECT_EQ(wizard->TempFolder(), temp);

    // The new folder has room: the run writes there.
    Next(wpEndSelection);
    EXPECT_EQ(view.freeSpaceNotices.size(), 1u);
    ASSERT_TRUE(view.finishEnabled);
    Next(wpBackup);
    EXPECT_TRUE(wizard->Result().succeeded);
    ASSERT_NE(wizard->Run(), nullptr);
    EXPECT_EQ(ExtractFilePath(wizard->Run()->ArchivePath()), elsewhere);
    EXPECT_TRUE(FileExists(tp.files(), wizard->Run()->ArchivePath()));
}

TEST_F(WizardEndSelection, AFolderFromThePreferencesNeverLosesABackupThere) {
    OpenWithIdentity();
    files.freeBytes = {{backups, 1000}};
    Next(wpMails);
    Next(wpOthers);
    // The other folder holds a backup of the very name the first page accepted.
    const std::string elsewhere = tp.TempDir() + "Anderswo\\";
    const std::string name = view.fields[WizardField::BackupName];
    const std::string existing = elsewhere + name + ".bvq";
    ASSERT_TRUE(ForceDirectories(tp.files(), elsewhere));
    ASSERT_TRUE(tp.WriteFile(existing, "the backup of another day"));
    view.preferencesAnswer = true;
    view.preferencesResult.bakFolder = elsewhere;
    view.preferencesResult.tmpFolder = tp.TempDir() + "Zwischen\\";
    wizard->NextBtnClick();
    ASSERT_EQ(wizard->Page(), wpOthers);
    Next(wpEndSelection);
    tp.prompter().messages.clear();
    view.focused.clear();
    wizard->NextBtnClick();

    // The run does not start: the first page's message, its page and its name field.
    EXPECT_FALSE(wizard->Result().runStarted);
    ExpectBox(LastMessage(tp), BackupExistsText(name), mkError, bsOk);
    EXPECT_EQ(wizard->Page(), wpIdentity);
    EXPECT_EQ(view.page, wpIdentity);
    ASSERT_FALSE(view.focused.empty());
    EXPECT_EQ(view.focused.back(), WizardField::BackupName);
    EXPECT_EQ(tp.ReadFile(existing), "the backup of another day");

    // Another name, and the backup goes where the preferences said.
    view.fields[WizardField::BackupName] = "Neu";
    Next(wpMails);
    Next(wpOthers);
    Next(wpEndSelection);
    Next(wpBackup);
    EXPECT_TRUE(wizard->Result().succeeded);
    EXPECT_TRUE(FileExists(tp.files(), elsewhere + "Neu.bvq"));
    EXPECT_EQ(tp.ReadFile(existing), "the backup of another day");
}

// ---- a run from the wizard -------------------------------------------------------------

using WizardRun = WizardTest;

TEST_F(WizardRun, TheRunTakesTheChoicesOfThePages) {
    Settings(tp.platform()).SetBool("askForPassword", true);
    OpenWithIdentity();
    view.fields[WizardField::BackupName] = "Umzug";
    view.fields[WizardField::Comment] = "Vor dem Umzug";
    Next(wpMails);
    Next(wpOthers);
    tp.prompter().answers = {MsgResult::Yes};
    view.passwordAnswer = true;
    view.passwordEntered = "geheim";
    Next(wpEndSelection);
    Next(wpBackup);
    ASSERT_TRUE(wizard->Result().runStarted);
    EXPECT_TRUE(wizard->Result().succeeded);
    EXPECT_FALSE(wizard->Result().endApplication);
    EXPECT_EQ(view.identityNameText, "Hauptidentität");
    EXPECT_EQ(view.nextCaption, "&Report");
    EXPECT_EQ(view.cancelCaption, "&Beenden");
    EXPECT_TRUE(view.nextEnabled);
    EXPECT_FALSE(view.backEnabled);

    const std::string archive = backups + "Umzug.bvq";
    ASSERT_TRUE(FileExists(tp.files(), archive));
    TZipReader reader(tp.platform());
    reader.SetZipName(archive);
    EXPECT_EQ(BackupInfoValue(reader.Comment(), "BackupInfo", "Comment"), "Vor dem Umzug");
    // Every file is encrypted with the password given on the way.
    reader.SetPassword("geheim");
    reader.ReadDirectory();
    ASSERT_GT(reader.EntryCount(), 0);
    for (int i = 0; i < reader.EntryCount(); ++i)
        if (!reader.EntryName(i).empty()) {
            EXPECT_TRUE(reader.EntryEncrypted(i)) << reader.EntryName(i);
        }
    EXPECT_TRUE(reader.TestArchive());

    Next(wpReport);
    EXPECT_TRUE(view.printShown);
    EXPECT_FALSE(view.nextEnabled);
    EXPECT_FALSE(view.backEnabled);
}

// ---- the automation panel ----------------------------------------------------------------

using WizardAutomation = WizardTest;

// The two hidden commands write what the wizard shows: the identity, the ticked folders
// under their positions in the whole tree, the data choices, the folder and the password.
TEST_F(WizardAutomation, TheCommandsWriteTheWizardsChoices) {
    identity = AddIdentity();
    Settings(tp.platform()).SetString("bakFolder", backups);
    Settings(tp.platform()).SetBool("askForPassword", true);
    view.passwordAnswer = true;
    view.passwordEntered = "Nacht-2026";
    Open(0);
    Next(wpMails);
    // Every second folder stays ticked: the numbers of the others leave gaps.
    std::vector<std::string> expectedKeys;
    std::vector<std::string> expectedFiles;
    bool tick = true;
    for (size_t i = 0; i < wizard->Tree().Count(); ++i) {
        if (wizard->Tree().Level(i) < 2) {
            wizard->Tree().SetChecked(i, false);
            continue;
        }
        wizard->Tree().SetChecked(i, tick);
        const std::string file = wizard->Tree().Info(i).FileName;
        if (tick && !file.empty() && FileExists(tp.files(), identity.storeFolder + file)) {
            expectedKeys.push_back("F" + std::to_string(i));
            expectedFiles.push_back(identity.storeFolder + file);
        }
        tick = !tick;
    }
    ASSERT_GE(expectedKeys.size(), 2u);
    Next(wpOthers);
    wizard->NonePrefsBtnClick();
    view.checked[CBSave2] = true;
    view.checked[CBSave6] = true;
    tp.prompter().answers = {MsgResult::Yes};
    Next(wpEndSelection);
    ASSERT_EQ(wizard->ArchivePassword(), "Nacht-2026");
    tp.prompter().messages.clear();

    tp.prompter().saveAnswers = {backups + "Nacht.bat"};
    wizard->BatchBtnClick();
    for (const auto& m : tp.prompter().messages) ADD_FAILURE() << m.text;
    const std::string parameterFile = ParameterFilePath(tp.platform(), backups, "Nacht.bat");
    ASSERT_TRUE(FileExists(tp.files(), backups + "Nacht.bat"));
    ParameterFile read = ReadParameterFile(tp.platform(), parameterFile);
    EXPECT_EQ(read.identity.Username, identity.username);
    EXPECT_EQ(read.identity.KeyName, identity.keyName);
    EXPECT_EQ(read.backupFolder, backups);
    EXPECT_EQ(read.password, "Nacht-2026");
    EXPECT_FALSE(read.allFolders);
    std::vector<std::string> paths;
    for (const MailFolderChoice& folder : read.autoFolders) paths.push_back(folder.path);
    EXPECT_EQ(paths, expectedFiles);
    for (int i = 0; i < kSaveOptionCount; ++i) EXPECT_EQ(read.save[i], i == CBSave2 || i == CBSave6) << i;
    TTheIniFile ini(tp.platform());
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(parameterFile);
    ini.SetOpen(true);
    ini.SetSection("Folders");
    std::vector<std::string> keys;
    ini.ReadKeys(keys);
    EXPECT_EQ(keys, expectedKeys);
    ini.SetOpen(false);

    // The check box "always all mail folders", reached although hidden, writes ALL.
    view.allFoldersForAutomation = true;
    tp.prompter().saveAnswers = {backups + "Alle.lnk"};
    wizard->ShortcutBtnClick();
    for (const auto& m : tp.prompter().messages) ADD_FAILURE() << m.text;
    const std::string allFile = ParameterFilePath(tp.platform(), backups, "Alle.lnk");
    EXPECT_TRUE(ReadParameterFile(tp.platform(), allFile).allFolders);
    ASSERT_EQ(tp.Posix()->shell.shortcuts.size(), 1u);
    EXPECT_EQ(tp.Posix()->shell.shortcuts[0].arguments, "\"" + allFile + "\"");
    (void)tp.files().DeleteFile(parameterFile);
    (void)tp.files().DeleteFile(allFile);
}

// ---- closing ----------------------------------------------------------------------------

using WizardCloseQuery = WizardTest;

TEST_F(WizardCloseQuery, BeforeTheRunTheUserIsAsked) {
    OpenWithIdentity();
    Next(wpMails);
    for (int answer : {MsgResult::No, MsgResult::Yes}) {
        tp.prompter().messages.clear();
        tp.prompter().answers = {answer};
        view.closed = 0;
        wizard->CancelBtnClick();
        ExpectBox(LastMessage(tp), kCloseWizardQuestion, mkConfirmation, bsYesNo);
        EXPECT_EQ(view.closed, answer == MsgResult::Yes ? 1 : 0);
        EXPECT_FALSE(wizard->Result().endApplication);
    }
    tp.prompter().answers = {MsgResult::No};
    EXPECT_FALSE(wizard->CloseQuery());
    tp.prompter().answers = {MsgResult::Yes};
    EXPECT_TRUE(wizard->CloseQuery());
}

TEST_F(WizardCloseQuery, AfterTheRunNothingIsAsked) {
    for (bool stopProgram : {false, true}) {
        SCOPED_TRACE(stopProgram);
        FreshWizard w(0);
        test::TestPlatform& own = w.own;
        Settings(own.platform()).SetBool("stopProgram", stopProgram);
        WizardModel& model = w.Show();
        for (int i = 0; i < 4; ++i) model.NextBtnClick();
        ASSERT_EQ(model.Page(), wpBackup);
        ASSERT_TRUE(model.Result().succeeded);
        own.prompter().messages.clear();
        EXPECT_TRUE(model.CloseQuery());
        EXPECT_TRUE(own.prompter().messages.empty());
        // With "stop the program" the whole program ends with the wizard.
        EXPECT_EQ(model.Result().endApplication, stopProgram);
    }
}

TEST_F(WizardCloseQuery, ACloseDuringTheRunWaitsForItsEnd) {
    // The close box and a cancel click while nothing can be aborted ask the same: the run
    // completes untouched, then the program ends.
    for (bool viaCancelButton : {false, true}) {
        SCOPED_TRACE(viaCancelButton);
        FreshWizard w(0);
        test::TestPlatform& own = w.own;
        test::RecordingWizardView& shown = w.shown;
        WizardModel& model = w.Show();
        for (int i = 0; i < 3; ++i) model.NextBtnClick();
        ASSERT_EQ(model.Page(), wpEndSelection);
        own.prompter().messages.clear();
        bool asked = false;
        own.pump().onProcess = [&] {
            if (asked || !model.Run() || model.Run()->Idle() || model.Run()->Writer().IsBusy()) return;
            asked = true;
            if (viaCancelButton) {
                model.CancelBtnClick();
            } else {
                EXPECT_FALSE(model.CloseQuery());
            }
            EXPECT_EQ(shown.closed, 0);
            EXPECT_FALSE(shown.cancelEnabled);
        };
        model.NextBtnClick();
        own.pump().onProcess = nullptr;
        ASSERT_TRUE(asked);
        EXPECT_TRUE(model.Result().succeeded);
        EXPECT_TRUE(model.Result().endApplication);
        EXPECT_EQ(shown.closed, 1);
        // No step was cut short: no message at all, the log says OK.
        for (const auto& m : own.prompter().messages) ADD_FAILURE() << m.text;
        const std::string log = own.ReadFile(model.Run()->BackupFolder() + "Brevisto.log");
        EXPECT_NE(log.find("Status    : OK"), std::string::npos) << log;
        EXPECT_TRUE(FileExists(own.files(), model.Run()->ArchivePath()));
    }
}

// ---- Outlook Express started while the wizard was open ----------------------------------

using WizardOutlookExpress = WizardTest;

TEST_F(WizardOutlookExpress, TheBackupPageChecksAgainAndNextBecomesCancel) {
    OpenWithIdentity();
    Next(wpMails);
    Next(wpOthers);
    Next(wpEndSelection);
    PosixSystem& system = tp.Posix()->system;
    system.windows = {{kOutlookExpressWindowClass, "Posteingang - Outlook Express"}};
    Settings(tp.platform()).SetBool("OEautoClose", false);
    tp.prompter().messages.clear();
    tp.prompter().answers = {MsgResult::Yes};
    wizard->NextBtnClick();
    ExpectBox(LastMessage(tp), kOEPleaseCloseText, mkError, bsYesNo);
    EXPECT_EQ(view.oePreferencesRuns, 1);
    EXPECT_FALSE(wizard->Result().runStarted);
    EXPECT_EQ(view.nextCaption, "&Abbrechen");
    EXPECT_TRUE(view.nextEnabled);
    EXPECT_TRUE(view.backEnabled);

    // Back and "&Fertig stellen" once Outlook Express is closed: the run starts.
    wizard->BackBtnClick();
    ASSERT_EQ(wizard->Page(), wpEndSelection);
    system.windows.clear();
    wizard->btnSeparateStartClick();
    EXPECT_TRUE(wizard->Result().runStarted);
    EXPECT_TRUE(wizard->Result().succeeded);
    EXPECT_FALSE(wizard->Result().oeClosedByProgram);
}

TEST_F(WizardOutlookExpress, NextAsCancelClosesAndAClosedOneIsRemembered) {
    OpenWithIdentity();
    Next(wpMails);
    Next(wpOthers);
    Next(wpEndSelection);
    PosixSystem& system = tp.Posix()->system;
    system.windows = {{kOutlookExpressWindowClass, "Posteingang - Outlook Express", true}};
    Settings(tp.platform()).SetBool("OEautoClose", false);
    tp.prompter().answers = {MsgResult::No};
    wizard->NextBtnClick();
    ASSERT_FALSE(wizard->Result().runStarted);
    wizard->NextBtnClick();
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(wizard->Result().runStarted);

    // With automatic closing the wizard closes it, the run goes on, and the main window
    // learns that the program closed it (to start it again afterwards).
    test::RecordingWizardView again;
    system.windows = {{kOutlookExpressWindowClass, "Posteingang - Outlook Express"}};
    Settings(tp.platform()).SetBool("OEautoClose", true);
    WizardModel model(platform, again, 0, false, "");
    model.FormCreate();
    model.FormShow();
    for (int i = 0; i < 4; ++i) model.NextBtnClick();
    EXPECT_TRUE(model.Result().succeeded);
    EXPECT_TRUE(model.Result().oeClosedByProgram);
    EXPECT_TRUE(system.windows.empty());
}

// ---- the unattended run ------------------------------------------------------------------

class UnattendedRun : public WizardTest {
protected:
    // The parameter file as the program writes it, with every setting group but those that
    // read the user's real folders on Windows.
    std::string ParameterFile(const std::string& passwordText, bool withPassword = true) {
        std::string text = "[Identity]\r\nName=" + identity.username + "\r\nMailPath=" + identity.storeFolder +
                           "\r\nGID=" + identity.keyName + "\r\n[Setup]\r\nSavePath=" + backups + "\r\n";
        if (withPassword) text += "Passwort=" + passwordText + "\r\n";
        text += "[Backup]\r\nUPDATE=0\r\n[AllFolders]\r\nALL=1\r\n[OESetup]\r\n";
        for (int i = 0; i <= 10; ++i) text += "OE" + std::to_string(i) + "=1\r\n";
        text += "[IESetup]\r\nIE0=0\r\n";
        const std::string path = tp.TempDir() + "Nacht.BVT";
        EXPECT_TRUE(tp.WriteFile(path, text));
        return path;
    }
    void Start(const std::string& paramFile, int kind = 0) {
        clock.now = 130000000000000000ull;
        Open(kind, true, paramFile);
    }
};

TEST_F(UnattendedRun, TheRunStartsOneSecondAfterTheWindowShowed) {
    identity = AddIdentity();
    Start(ParameterFile(PasswordToText("")));
    EXPECT_EQ(wizard->Page(), wpEndSelection);
    EXPECT_EQ(view.page, wpEndSelection);
    EXPECT_EQ(view.timerStarts, 1);
    EXPECT_FALSE(view.finishHint);

    const FileTime shown = *clock.now;
    for (FileTime later : {FileTime{0}, kSecond / 10, kSecond - 1}) {
        clock.now = shown + later;
        wizard->TimerTimer();
        EXPECT_EQ(wizard->Page(), wpEndSelection) << later;
        EXPECT_FALSE(wizard->Result().runStarted);
        EXPECT_TRUE(view.timerRunning);
    }
    clock.now = shown + kSecond;
    wizard->TimerTimer();
    EXPECT_TRUE(wizard->Result().runStarted);
    EXPECT_FALSE(view.timerRunning);
    // Once started, further ticks do nothing.
    const int shownPages = static_cast<int>(view.pagesShown.size());
    clock.now = shown + 5 * kSecond;
    wizard->TimerTimer();
    EXPECT_EQ(static_cast<int>(view.pagesShown.size()), shownPages);
}

TEST_F(UnattendedRun, AFullRunSavesTheChosenIdentityAndEnds) {
    identity = AddIdentity();
    Start(ParameterFile(PasswordToText("nachts")));
    EXPECT_EQ(wizard->ArchivePassword(), "nachts");
    EXPECT_EQ(view.selected, 0);
    clock.now = *clock.now + kSecond;
    wizard->TimerTimer();
    const WizardResult& result = wizard->Result();
    EXPECT_TRUE(result.runStarted);
    EXPECT_TRUE(result.succeeded);
    EXPECT_TRUE(result.endApplication);
    EXPECT_GE(view.closed, 1);
    ASSERT_NE(wizard->Run(), nullptr);
    const std::string archive = wizard->Run()->ArchivePath();
    EXPECT_EQ(archive, backups + Stamped(identity.username) + ".bvq");
    EXPECT_TRUE(FileExists(tp.files(), archive));
    // Every present mail folder is in the archive.
    TZipReader reader(tp.platform());
    reader.SetZipName(archive);
    reader.SetPassword("nachts");
    reader.ReadDirectory();
    std::vector<std::string> entries;
    for (int i = 0; i < reader.EntryCount(); ++i) entries.push_back(reader.EntryName(i));
    for (const test::OeMailFile& f : identity.folders) {
        if (!f.exists) continue;
        EXPECT_NE(std::find(entries.begin(), entries.end(), f.fileName), entries.end()) << f.fileName;
    }
    const std::string log = tp.ReadFile(backups + "Brevisto.log");
    EXPECT_NE(log.find("Status    : OK"), std::string::npos) << log;
}

TEST_F(UnattendedRun, AnUnreadablePasswordFailsTheRunWithoutAnArchive) {
    identity = AddIdentity();
    Start(ParameterFile("abcde"));  // no Base64 text: five characters
    clock.now = *clock.now + kSecond;
    wizard->TimerTimer();
    const WizardResult& result = wizard->Result();
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(result.endApplication);
    EXPECT_FALSE(result.runStarted);
    EXPECT_GE(view.closed, 1);
    EXPECT_TRUE(view.ReportHas(kParameterFilePasswordLine));
    EXPECT_FALSE(view.timerRunning);

    const std::string name = view.fields[WizardField::BackupName];
    ASSERT_FALSE(name.empty());
    EXPECT_FALSE(FileExists(tp.files(), backups + name + ".bvq"));
    EXPECT_NE(tp.ReadFile(backups + name + ".log").find(kParameterFilePasswordLine), std::string::npos);
    const std::string log = tp.ReadFile(backups + "Brevisto.log");
    EXPECT_NE(log.find("Status    : FEHLER"), std::string::npos) << log;
    for (const std::string& file : FilesIn(backups)) EXPECT_NE(ExtractFileExt(file), ".bvq") << file;
}

TEST_F(UnattendedRun, TooLittleSpaceFailsWithoutAsking) {
    identity = AddIdentity();
    files.freeBytes = {{backups, 10}};
    Start(ParameterFile(PasswordToText("")));
    const WizardResult& result = wizard->Result();
    EXPECT_TRUE(result.endApplication);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(view.preferencesRuns, 0);
    EXPECT_TRUE(view.freeSpaceNotices.empty());
    EXPECT_TRUE(view.ReportHas(NotEnoughSpaceText(backups)));
    EXPECT_NE(tp.ReadFile(backups + "Brevisto.log").find("Status    : FEHLER"), std::string::npos);
    // Nothing is left to start.
    clock.now = *clock.now + 2 * kSecond;
    wizard->TimerTimer();
    EXPECT_FALSE(result.runStarted);
}

TEST_F(UnattendedRun, AnUpdateWithoutFullBackupFails) {
    identity = AddIdentity();
    Start(ParameterFile(PasswordToText("")), 1);
    const WizardResult& result = wizard->Result();
    EXPECT_TRUE(result.endApplication);
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(view.ReportHas(kNoFullBackupText));
    // The box was shown so that it closes by itself.
    ASSERT_FALSE(tp.prompter().timeouts.empty());
    EXPECT_EQ(tp.prompter().timeouts.back(), UnattendedPrompter::kTimeoutMs);
    clock.now = *clock.now + 2 * kSecond;
    wizard->TimerTimer();
    EXPECT_FALSE(result.runStarted);
}

TEST_F(UnattendedRun, ClosingEndsWithoutAQuestion) {
    identity = AddIdentity();
    Start(ParameterFile(PasswordToText("")));
    tp.prompter().messages.clear();
    EXPECT_TRUE(wizard->CloseQuery());
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_TRUE(wizard->Result().endApplication);
}

// ---- the questions of an unattended run ------------------------------------------------

// Also keeps the answer a box counts as when it closes by itself.
class TimeoutRecordingPrompter : public test::ScriptedPrompter {
public:
    std::vector<int> timeoutAnswers;
    int TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style, uint32_t timeoutMs,
                        int timeoutAnswer) override {
        timeoutAnswers.push_back(timeoutAnswer);
        return ScriptedPrompter::TimedMessageBox(text, caption, style, timeoutMs, timeoutAnswer);
    }
};

TEST(UnattendedPrompter, RetryQuestionsGiveUpAtOnce) {
    struct Case {
        uint32_t style;
        int answer;
    };
    for (const Case& c : {Case{MsgStyle::RetryCancel | MsgStyle::IconHand, MsgResult::Cancel},
                          Case{MsgStyle::AbortRetryIgnore | MsgStyle::IconExclamation, MsgResult::Abort},
                          Case{MsgStyle::RetryCancel | MsgStyle::SetForeground, MsgResult::Cancel}}) {
        SCOPED_TRACE(c.style);
        TimeoutRecordingPrompter inner;
        inner.defaultAnswer = MsgResult::Retry;
        std::vector<std::string> notes;
        UnattendedPrompter prompter(inner, [&](const std::string& text) { notes.push_back(text); });
        EXPECT_EQ(prompter.MessageBox("Datei gesperrt", "Fehler", c.style), c.answer);
        EXPECT_TRUE(inner.messages.empty());
        EXPECT_EQ(notes, std::vector<std::string>{"Fehler: Datei gesperrt"});
    }
}

TEST(UnattendedPrompter, OtherBoxesCloseByThemselvesAfterAMinute) {
    struct Case {
        uint32_t buttons;
        int timeoutAnswer;
    };
    const Case cases[] = {
        {MsgStyle::Ok, MsgResult::Ok},
        {MsgStyle::OkCancel, MsgResult::Cancel},
        {MsgStyle::YesNo, MsgResult::No},
        {MsgStyle::YesNoCancel, MsgResult::Cancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons);
        EXPECT_EQ(TimeoutAnswer(c.buttons | MsgStyle::IconQuestion), c.timeoutAnswer);
        for (int shown : {MsgResult::Yes, MsgResult::Ok, MsgResult::None}) {
            TimeoutRecordingPrompter inner;
            inner.answers = {shown};
            std::vector<std::string> notes;
            UnattendedPrompter prompter(inner, [&](const std::string& text) { notes.push_back(text); });
            const uint32_t style = c.buttons | MsgStyle::IconQuestion;
            const int answer = prompter.MessageBox("Weiter?", "Brevisto", style);
            // A box that could not be shown counts as its cautious answer.
            EXPECT_EQ(answer, shown == MsgResult::None ? c.timeoutAnswer : shown);
            ASSERT_EQ(inner.messages.size(), 1u);
            EXPECT_EQ(inner.messages[0].text, "Weiter?");
            EXPECT_EQ(inner.messages[0].style, style);
            EXPECT_EQ(inner.timeouts, std::vector<uint32_t>{60000});
            EXPECT_EQ(inner.timeoutAnswers, std::vector<int>{c.timeoutAnswer});
            EXPECT_EQ(notes, std::vector<std::string>{"Brevisto: Weiter?"});
        }
    }
}

TEST(UnattendedPrompter, PlainMessagesAndTimedBoxesAreTimedToo) {
    TimeoutRecordingPrompter inner;
    std::vector<std::string> notes;
    UnattendedPrompter prompter(inner, [&](const std::string& text) { notes.push_back(text); });
    prompter.PlainMessage("Fertig");
    ASSERT_EQ(inner.messages.size(), 1u);
    EXPECT_EQ(inner.messages[0].caption, "Brevisto");
    EXPECT_EQ(inner.messages[0].style & 0xF, MsgStyle::Ok);
    inner.answers = {MsgResult::None};
    // A caller's own time-out answer is kept, the time-out is its own.
    EXPECT_EQ(prompter.TimedMessageBox("Jetzt?", "Frage", MsgStyle::YesNo, 5000, MsgResult::Yes), MsgResult::Yes);
    EXPECT_EQ(inner.timeouts, (std::vector<uint32_t>{60000, 5000}));
    EXPECT_EQ(notes, (std::vector<std::string>{"Brevisto: Fertig", "Frage: Jetzt?"}));
    std::string folder = "C:\\";
    EXPECT_FALSE(prompter.SelectFolder("Ordner", "", folder, true));
}

TEST(UnattendedPrompter, ReportTextUsesTheReportsLineBreaks) {
    struct Case {
        const char* caption;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"Brevisto", "Eins\rZwei", "Brevisto: Eins\r\nZwei"},
        {"Brevisto", "Eins\r\nZwei", "Brevisto: Eins\r\nZwei"},
        {"Hinweis", "Eins\nZwei\r\r", "Hinweis: Eins\r\nZwei\r\n\r\n"},
        {"", "Ohne Titel\r", "Ohne Titel\r\n"},
        {"Größe", "Überschrift", "Größe: Überschrift"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReportTextOfMessage(c.caption, c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace bv
