// The transfer dialog's model and run: which backups the dialog offers and chooses, the chain
// of a full backup and its updates, the ticked steps per archive, the unpacked mail folders,
// and what the user is told at the end. Archives come from the backup engine (a chain of a
// generated identity) or are made by hand for the cases the engine never writes.
#include "brevisto/transfer/transfer_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/transfer/account_transfer.h"
#include "brevisto/transfer/transfer_target.h"
#include "brevisto/viewer/viewer_model.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_platform.h"
#include "tests/support/wm_store_writer.h"
#include "tests/unit/zip_test_support.h"

namespace bv {
namespace {

using test::ziptest::RawEntry;
using test::TestPlatform;

class RecordingRunView : public TransferRunView {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetUnpackEnabled(bool enabled) override { unpackStates.push_back(enabled); }
    void FocusPassword() override { ++passwordFocus; }
    void ShowHelpTopic(int topic) override { topics.push_back(topic); }
    std::vector<std::string> statuses;
    std::vector<bool> unpackStates;
    int passwordFocus = 0;
    std::vector<int> topics;
};

std::string Record(const std::string& kind, const std::string& main, const std::string& counter,
                   const std::string& comment = "Umzug") {
    return "[BackupInfo]\r\nBackupArt=" + kind + "\r\nHauptBackup=" + main +
           "\r\nIdentitaet=Hauptidentität\r\nIdentID={8A1B2C3D-0000-4000-8000-00000000E2E0}\r\nCounter=" + counter +
           "\r\nDate=01.03.2026\r\nComment=" + comment + "\r\n\r\n[Firefox]\r\nVersion=2\r\n";
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = tp.TempDir();
        backups = root + "Sicherungen\\";
        target = root + "Ziel\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), backups));
        Settings settings(tp.platform());
        ASSERT_TRUE(settings.SetString("bakFolder", backups));
        ASSERT_TRUE(settings.SetString("tmpFolder", root + "Temp\\"));
        tp.prompter().defaultAnswer = MsgResult::No;
    }
    void TearDown() override {
        Registry& r = tp.registry();
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
        for (const char* program : {kWindowsMail, kWindowsLiveMail}) {
            r.DeleteKeyTree(RegRoot::CurrentUser, std::string("Software\\Microsoft\\") + program);
            r.DeleteKeyTree(RegRoot::LocalMachine, std::string("SOFTWARE\\Microsoft\\") + program);
        }
    }

    // A hand-made backup of the folder: `files` as stored entries, the record as its comment.
    void Put(const std::string& name, const std::string& record,
             const std::vector<RawEntry>& files = {{"Posteingang.dbx", "Post"}}) {
        ASSERT_TRUE(tp.WriteFile(backups + name, test::ziptest::BuildRawZip(files, record)));
    }
    void SetCreated(const std::string& name, int day) {
        DateTime local{2026, 3, day, 10, 0, 0, 0};
        FileTime when = 0;
        ASSERT_TRUE(tp.system().LocalToFileTime(local, when));
        ASSERT_TRUE(tp.files().SetTimes(backups + name, &when, &when));
    }
    void InstallProgram(const std::string& program, const std::string& store) {
        const std::string machine = "SOFTWARE\\Microsoft\\" + program;
        const std::string user = "Software\\Microsoft\\" + program;
        const std::string installRoot = "C:\\Programme\\" + program;
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::LocalMachine, machine), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::LocalMachine, machine, "InstallRoot", RegType::Sz,
                                         Bytes(installRoot.c_str(), installRoot.c_str() + installRoot.size() + 1)),
                  0);
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, user), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, user, "Store Root", RegType::Sz,
                                         Bytes(store.c_str(), store.c_str() + store.size() + 1)),
                  0);
        ASSERT_TRUE(ForceDirectories(tp.files(), store));
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const test::RecordedMessage& m : tp.prompter().messages) texts.push_back(m.text);
        return texts;
    }
    bool Told(const std::string& part) const {
        const std::vector<std::string> texts = Texts();
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::string& t) { return t.find(part) != std::string::npos; });
    }
    std::string LastMessage() const {
        return tp.prompter().messages.empty() ? std::string() : tp.prompter().messages.back().text;
    }

    std::map<std::string, std::string> Tree(const std::string& folder) { return test::FileTree(tp, folder); }

    mutable TestPlatform tp;
    RecordingRunView view;
    std::string root, backups, target;
};

// ---- the dialog: mail program, folders, list and choice ---------------------------------------

TEST_F(TransferTest, MailProgramIsFoundByItsInstallRootAndWindowsMailOnlyOnVista) {
    PosixPlatform* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the Windows version is the system's";
    const struct {
        const char* installed;  // "" none, or the program
        uint32_t major, minor;
        const char* found;
    } cases[] = {
        {"", 6, 0, ""},
        {"Windows Live Mail", 5, 1, "Windows Live Mail"},
        {"Windows Live Mail", 6, 1, "Windows Live Mail"},
        {"Windows Mail", 6, 0, "Windows Mail"},
        {"Windows Mail", 6, 1, ""},  // later systems keep the keys without the program
        {"Windows Mail", 5, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + " on " + std::to_string(c.major) + "." + std::to_string(c.minor));
        TearDown();
        SetUp();
        if (*c.installed) InstallProgram(c.installed, root + "Store\\");
        posix->system.version = OsVersion{true, 2, c.major, c.minor, 6000, ""};
        TransferModel model(tp.platform(), view);
        model.Open();
        EXPECT_EQ(model.MailProgram(), c.found);
        EXPECT_EQ(model.StepsEnabled(), *c.found != '\0');
    }
}

TEST_F(TransferTest, OpeningSelectsTheFullBackupCreatedLast) {
    Put("Haupt_1.bvq", Record(kFullBackup, kSelfMain, "0", "erste"));
    Put("Haupt_2.bvq", Record(kFullBackup, kSelfMain, "0", "zweite"));
    Put("UPD_Haupt_2.bvq", Record(kUpdateBackup, "Haupt_2.bvq", "1"));
    SetCreated("Haupt_1.bvq", 5);
    SetCreated("Haupt_2.bvq", 3);
    SetCreated("UPD_Haupt_2.bvq", 9);
    ASSERT_TRUE(tp.WriteFile(backups + "Haupt_2.log", "Backup: Haupt_2\r\nKommentar: aus dem Protokoll\r\n"));

    TransferModel model(tp.platform(), view);
    model.Open();
    EXPECT_EQ(model.BackupFolder(), backups);
    std::string desktop;
    ASSERT_TRUE(tp.shell().SpecialFolder(Csidl::DesktopDirectory, desktop));
    EXPECT_EQ(model.TargetFolder(), IncludeTrailingBackslash(desktop) + "Brevisto-Daten\\");
    EXPECT_EQ(model.Entries(), (std::vector<std::string>{"Haupt_1", "Haupt_2", "UPD_Haupt_2"}));
    EXPECT_EQ(model.SelectedIndex(), 0);  // created on the 5th, the later of the two full backups
    EXPECT_EQ(model.CommentText(), "erste");  // from the record: this one has no log file
    EXPECT_EQ(model.BackupKind(), kFullBackup);
    EXPECT_TRUE(model.MainBackupFound());
    EXPECT_FALSE(model.PasswordEnabled());
    EXPECT_TRUE(model.UnpackEnabled());
    EXPECT_EQ(model.DateText().rfind("vom ", 0), 0u) << model.DateText();
    EXPECT_TRUE(tp.prompter().messages.empty());

    model.SelectBackup(1);
    EXPECT_EQ(model.CommentText(), "aus dem Protokoll");  // the log file comes first
}

TEST_F(TransferTest, FoldersWithoutBackups) {
    {
        TransferModel model(tp.platform(), view);
        model.Open();
        EXPECT_EQ(model.NoBackupText(), "Keine Backupdatei gefunden!");
        EXPECT_FALSE(model.UnpackEnabled());
        model.BackupFolderLeft(root + "Fehlt");
        EXPECT_EQ(model.NoBackupText(), "Backup-Ordner existiert nicht!");
        EXPECT_TRUE(model.Entries().empty());
        EXPECT_FALSE(model.UnpackEnabled());
    }
    // Update backups only: the first is chosen, and its missing main backup is named.
    Put("UPD_a.bvq", Record(kUpdateBackup, "Weg.bvq", "1"));
    Put("UPD_b.bvq", Record(kUpdateBackup, "Weg.bvq", "2"));
    TransferModel model(tp.platform(), view);
    model.Open();
    EXPECT_EQ(model.SelectedIndex(), 0);
    EXPECT_EQ(model.BackupKind(), kUpdateBackup);
    EXPECT_FALSE(model.MainBackupFound());
    EXPECT_TRUE(Told("1. aktualisierte Update der Identität Hauptidentität"));
    EXPECT_TRUE(Told("Das Hauptbackup Weg.bvq\rwurde nicht im Backupverzeichnis " + backups + " gefunden!"));
    EXPECT_EQ(model.DateText().rfind("Update vom ", 0), 0u) << model.DateText();
    EXPECT_TRUE(model.UnpackEnabled());
}

TEST_F(TransferTest, AnUpdateBackupSwitchesOnceToItsFullBackup) {
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"));
    Put("UPD_Haupt_1.bvq", Record(kUpdateBackup, "Haupt.bvq", "1"));
    Put("UPD_selbst.bvq", Record(kUpdateBackup, "UPD_selbst.bvq", "1"));
    // Two updates that name each other: neither is a full backup to switch to.
    Put("UPD_x.bvq", Record(kUpdateBackup, "UPD_y.bvq", "1"));
    Put("UPD_y.bvq", Record(kUpdateBackup, "UPD_x.bvq", "1"));
    TransferModel model(tp.platform(), view);
    model.Open();
    ASSERT_EQ(model.Entries(), (std::vector<std::string>{"Haupt", "UPD_Haupt_1", "UPD_selbst", "UPD_x", "UPD_y"}));

    const struct {
        int choose;
        int selected;
        const char* kind;
        const char* main;
        bool found;
        size_t messages;  // the information box, and the error when no full backup was reached
    } cases[] = {
        {1, 0, kFullBackup, "Haupt.bvq", true, 1},
        {2, 2, kUpdateBackup, "UPD_selbst.bvq", false, 2},
        {3, 3, kUpdateBackup, "UPD_y.bvq", false, 2},
        {4, 4, kUpdateBackup, "UPD_x.bvq", false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(model.Entries()[static_cast<size_t>(c.choose)]);
        tp.prompter().messages.clear();
        model.SelectBackup(c.choose);
        EXPECT_EQ(model.SelectedIndex(), c.selected);
        EXPECT_EQ(model.BackupKind(), c.kind);
        EXPECT_EQ(model.MainBackup(), c.main);
        EXPECT_EQ(model.MainBackupFound(), c.found);
        EXPECT_EQ(tp.prompter().messages.size(), c.messages) << ::testing::PrintToString(Texts());
    }
}

// A record's text is shown as it is: a "%s" in it is not filled with the next value.
TEST_F(TransferTest, RecordTextsAreShownAsTheyAre) {
    Put("UPD_p.bvq", Record(kUpdateBackup, "Weg%s.bvq", "%s"));
    TransferModel model(tp.platform(), view);
    model.Open();
    EXPECT_TRUE(Told("Dies ist das \r\r%s. aktualisierte Update der Identität Hauptidentität\r\r"));
    EXPECT_TRUE(Told("Das Hauptbackup Weg%s.bvq\rwurde nicht im Backupverzeichnis " + backups + " gefunden!"));
}

TEST_F(TransferTest, ABackupThatDoesNotReadIsReportedWhenChosen) {
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"));
    ASSERT_TRUE(tp.WriteFile(backups + "Kaputt.bvq", "PK kein Archiv"));
    Put("Leer.bvq", Record(kFullBackup, kSelfMain, "0"), {});
    TransferModel model(tp.platform(), view);
    model.Open();
    ASSERT_EQ(model.Entries(), (std::vector<std::string>{"Haupt", "Kaputt", "Leer"}));
    model.SelectBackup(1);
    EXPECT_EQ(LastMessage(), kCannotInitZipText);
    EXPECT_FALSE(model.UnpackEnabled());
    model.SelectBackup(2);
    EXPECT_EQ(LastMessage(), kNoBackupDataText);
    EXPECT_FALSE(model.UnpackEnabled());
    model.SelectBackup(0);
    EXPECT_TRUE(model.UnpackEnabled());
}

TEST_F(TransferTest, TargetFolderChecks) {
    TransferModel model(tp.platform(), view);
    model.Open();
    // A missing folder: No leaves it missing, Yes creates it with its parents.
    tp.prompter().answers = {MsgResult::No};
    EXPECT_TRUE(model.TargetFolderLeft(root + "Neu\\Tief"));
    EXPECT_FALSE(DirectoryExists(tp.files(), root + "Neu\\"));
    EXPECT_EQ(model.TargetFolder(), root + "Neu\\Tief\\");
    tp.prompter().answers = {MsgResult::Yes};
    EXPECT_TRUE(model.TargetFolderLeft(root + "Neu\\Tief"));
    EXPECT_TRUE(DirectoryExists(tp.files(), root + "Neu\\Tief\\"));
    EXPECT_EQ(LastMessage(), "Der angegebene Ordner existiert nicht!\rSoll er angelegt werden?");

    PosixPlatform* posix = tp.Posix();
    if (!posix) return;
    // A CD or DVD drive is asked about first; No ends the check.
    posix->files.opticalDrives = "C";
    tp.prompter().messages.clear();
    tp.prompter().answers = {MsgResult::No};
    EXPECT_TRUE(model.TargetFolderLeft(root + "Brenner"));
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(LastMessage().rfind("Der Datenträger C: ist ein Laufwerk, auf das nicht direkt gesichert werden kann", 0),
              0u);
    EXPECT_FALSE(DirectoryExists(tp.files(), root + "Brenner\\"));
    // A drive that does not exist.
    posix->files.opticalDrives.clear();
    tp.prompter().answers = {MsgResult::Yes};
    EXPECT_FALSE(model.TargetFolderLeft("Q:\\Nirgends"));
    EXPECT_EQ(LastMessage(), "Das angegebene Laufwerk existiert nicht!");
}

// ---- the run on hand-made chains ---------------------------------------------------------------

using TransferChainTest = TransferTest;

TEST_F(TransferChainTest, UnpacksTheChainInCounterOrderAndTheLastUpdateWins) {
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"),
        {{"Posteingang.dbx", "voll"}, {"Gesendet.dbx", "voll"}, {"Adressen.wab", "voll"}, {"ACCOUNTS.OLS", "x"}});
    // Counters out of name order; one counter is no number and counts as 0, after the main backup.
    Put("UPD_Haupt_a.bvq", Record(kUpdateBackup, "Haupt.bvq", "2"), {{"Posteingang.dbx", "zwei"}});
    Put("UPD_Haupt_b.bvq", Record(kUpdateBackup, "Haupt.bvq", "1"),
        {{"Posteingang.dbx", "eins"}, {"Gesendet.dbx", "eins"}});
    Put("UPD_Haupt_c.bvq", Record(kUpdateBackup, "Haupt.bvq", "zwölf"), {{"Adressen.wab", "null"}});
    Put("UPD_Anderes.bvq", Record(kUpdateBackup, "Anderes.bvq", "3"), {{"Posteingang.dbx", "fremd"}});
    ASSERT_TRUE(tp.WriteFile(backups + "UPD_Kaputt.bvq", "PK kaputt"));
    tp.prompter().answers = {};

    TransferModel model(tp.platform(), view);
    model.Open();
    ASSERT_EQ(model.Entries()[static_cast<size_t>(model.SelectedIndex())], "Haupt");
    tp.prompter().messages.clear();
    model.SetUnpackTicked(true);
    tp.prompter().answers = {MsgResult::Yes};  // the target folder is made
    ASSERT_TRUE(model.TargetFolderLeft(target));
    tp.prompter().messages.clear();
    tp.prompter().answers = {MsgResult::Yes};  // show the folder
    const TransferOutcome outcome = model.Run();

    std::vector<std::string> order;
    for (const ChainArchive& a : outcome.archives) order.push_back(a.fileName + ":" + std::to_string(a.counter));
    EXPECT_EQ(order, (std::vector<std::string>{"Haupt.bvq:0", "UPD_Haupt_c.bvq:0", "UPD_Haupt_b.bvq:1",
                                               "UPD_Haupt_a.bvq:2"}));
    EXPECT_EQ(Tree(target), (std::map<std::string, std::string>{{target + "Adressen.wab", "null"},
                                                                 {target + "Gesendet.dbx", "eins"},
                                                                 {target + "Posteingang.dbx", "zwei"}}));
    EXPECT_EQ(outcome.filesUnpacked, 7);  // every file written, also those replaced later
    EXPECT_EQ(view.statuses.back(), "7 Dateien entpackt.");
    EXPECT_EQ(view.topics, std::vector<int>{HelpTopic::TransferImport});
    EXPECT_EQ(tp.Posix() ? tp.Posix()->shell.openedDocuments : std::vector<std::string>{target},
              std::vector<std::string>{target});
    // The unreadable archive of the folder was skipped, and the end says so.
    EXPECT_EQ(outcome.end, TransferEnd::Failed);
    EXPECT_NE(LastMessage().find("UPD_Kaputt: Das Backup konnte nicht gelesen werden"), std::string::npos)
        << LastMessage();
    EXPECT_EQ(LastMessage().rfind("Das Übertragen und Entpacken der Daten wurde durchgeführt, aber NICHT alles", 0),
              0u);
}

TEST_F(TransferChainTest, NothingToUnpackAndNoMailProgram) {
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"), {{"ACCOUNTS.OLS", "x"}, {"SIGNS.OLS", "y"}});
    TransferModel model(tp.platform(), view);
    model.Open();
    ASSERT_TRUE(model.MailProgram().empty());
    tp.prompter().answers = {MsgResult::Yes};
    ASSERT_TRUE(model.TargetFolderLeft(target));
    tp.prompter().messages.clear();
    const TransferOutcome outcome = model.Run();
    EXPECT_FALSE(outcome.settingsTransferred);  // only the unpacking runs without a mail program
    EXPECT_EQ(outcome.filesUnpacked, 0);
    EXPECT_EQ(Texts(), (std::vector<std::string>{kNothingToUnpackText, kTransferDoneText}));
    EXPECT_TRUE(Tree(target).empty());
}

TEST_F(TransferChainTest, APasswordThatDoesNotFitChangesNothing) {
    const std::string record = Record(kFullBackup, kSelfMain, "0");
    // An encrypted entry made by the writer: the raw builder stores entries in the clear.
    const std::string src = root + "Quelle\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), src));
    ASSERT_TRUE(tp.WriteFile(src + "Posteingang.dbx", "geheime Post"));
    {
        TZipWriter writer(tp.platform());
        writer.SetZipName(backups + "Haupt.bvq");
        writer.SetPassword("Sommer2026!");
        writer.FilesList() = {src + "Posteingang.dbx"};
        ASSERT_EQ(writer.AddFiles(), 1);
        writer.SetComment(record);
        writer.WriteChangedComment();
    }
    TransferModel model(tp.platform(), view);
    model.Open();
    EXPECT_TRUE(model.PasswordEnabled());
    tp.prompter().answers = {MsgResult::Yes};
    ASSERT_TRUE(model.TargetFolderLeft(target));
    tp.prompter().messages.clear();
    model.SetPassword("Winter");
    TransferOutcome outcome = model.Run();
    EXPECT_EQ(outcome.end, TransferEnd::Refused);
    EXPECT_EQ(Texts(), std::vector<std::string>{kWrongPasswordText});
    EXPECT_EQ(view.passwordFocus, 1);
    EXPECT_TRUE(Tree(target).empty());

    tp.prompter().messages.clear();
    model.SetPassword("Sommer2026!");
    outcome = model.Run();
    EXPECT_EQ(outcome.end, TransferEnd::Completed);
    EXPECT_EQ(Tree(target), (std::map<std::string, std::string>{{target + "Posteingang.dbx", "geheime Post"}}));
    EXPECT_EQ(LastMessage(), kTransferDoneText);
}

TEST_F(TransferChainTest, AnOpenBrowserStopsTheRunBeforeAnythingChanges) {
    PosixPlatform* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the processes are the system's";
    InstallProgram(kWindowsLiveMail, root + "Store\\");
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"), {{"Posteingang.dbx", "Post"}});
    posix->system.extraProcesses = {"C:\\Programme\\Mozilla Firefox\\firefox.exe"};
    TransferModel model(tp.platform(), view);
    model.Open();
    tp.prompter().answers = {MsgResult::Yes};
    ASSERT_TRUE(model.TargetFolderLeft(target));
    tp.prompter().messages.clear();
    TransferOutcome outcome = model.Run();
    EXPECT_EQ(outcome.end, TransferEnd::Refused);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Schließen Sie bitte den Browser \"Mozilla Firefox\"!\rDamit die Daten ordnungsgemäß "
                           "eingespielt werden können, muss dieses Programm geschlossen sein."});
    EXPECT_TRUE(Tree(target).empty());
    // Without its step the browser may stay open.
    model.SetStep(tsFirefox, false);
    tp.prompter().messages.clear();
    outcome = model.Run();
    EXPECT_TRUE(outcome.settingsTransferred);
    EXPECT_EQ(Tree(target).count(target + "Posteingang.dbx"), 1u);
}

TEST_F(TransferChainTest, CraftedPathsAndAChainThatNamesItselfStayInsideTheTargets) {
    PosixPlatform* posix = tp.Posix();
    InstallProgram(kWindowsLiveMail, root + "Store\\");
    const std::vector<RawEntry> hostile = {
        {"..\\..\\Flucht.dbx", "raus"},
        {"../Flucht2.dbx", "raus"},
        {"C:\\Absolut.dbx", "raus"},
        {"\\Wurzel.dbx", "raus"},
        {"Unter\\Ordner\\Gut.dbx", "gut"},
        {"PAPER.TMP", "C:\\Papier\\\r\nC:\\Papier\\..\\..\\Flucht.htm\r\nC:\\Windows\\win.ini\r\n\r\n"},
        {"..\\Flucht.htm", "raus"},
        {"Windows\\win.ini", "raus"},
        {"..\\UserDictionary.dic", "raus"},
        {"Opera\\..\\..\\raus.adr", "raus"},
    };
    Put("Haupt.bvq", Record(kFullBackup, kSelfMain, "0"), hostile);
    Put("UPD_Haupt.bvq", Record(kUpdateBackup, "UPD_Haupt.bvq", "1"), hostile);
    const std::map<std::string, std::string> before = Tree(root);

    TransferModel model(tp.platform(), view);
    model.Open();
    tp.prompter().answers = {MsgResult::Yes};
    ASSERT_TRUE(model.TargetFolderLeft(target));
    model.SelectBackup(1);  // names itself as its main backup: no switch, no loop
    EXPECT_EQ(model.SelectedIndex(), 1);
    EXPECT_FALSE(model.MainBackupFound());
    tp.prompter().messages.clear();
    const TransferOutcome outcome = model.Run();
    ASSERT_EQ(outcome.archives.size(), 1u);
    EXPECT_EQ(outcome.archives[0].fileName, "UPD_Haupt.bvq");

    // Below the test's folder only the targets changed: the unpack folder, the program's
    // store and the temporary folder.
    std::vector<std::string> changed;
    const std::map<std::string, std::string> after = Tree(root);
    for (const auto& [path, content] : after) {
        const auto old = before.find(path);
        if (old != before.end() && old->second == content) continue;
        const bool inTarget = path.rfind(target, 0) == 0 || path.rfind(root + "Store\\", 0) == 0 ||
                              path.rfind(root + "Temp\\", 0) == 0;
        if (!inTarget) changed.push_back(path);
    }
    EXPECT_EQ(changed, std::vector<std::string>{});
    for (const auto& [path, content] : after) EXPECT_NE(content, "raus") << path;
    EXPECT_EQ(after.count(target + "Gut.dbx"), 1u);
    EXPECT_EQ(outcome.end, TransferEnd::Failed);  // the hostile entries were not written, and the end says so
    if (posix) {
        // Nothing reached the drive's root or the Windows folder.
        EXPECT_FALSE(FileExists(tp.files(), "C:\\Absolut.dbx"));
        EXPECT_FALSE(FileExists(tp.files(), "C:\\Wurzel.dbx"));
        EXPECT_FALSE(FileExists(tp.files(), "C:\\Flucht.htm"));
    }
}


// ---- a chain from the backup engine --------------------------------------------------------------

// A generated identity with accounts of every kind, rules, signatures and every file group,
// backed up as a password-protected full backup and two update backups, each after one mail
// folder changed. Everything that lives in the user's own folders (stationery, dictionaries,
// favourites, Firefox, Opera) is generated on POSIX only, where those folders are the test's.
class GeneratedChain : public TransferTest {
protected:
    static constexpr const char* kPassword = "Umzug2026!";

    void SetUp() override {
        TransferTest::SetUp();
        posix = tp.Posix() != nullptr;
        test::OeIdentityOptions options;
        options.seed = 71;
        options.mailBytes = 96u << 10;
        options.storeFolder = root + "OE\\Store";
        if (!posix) {
            options.with.stationery = options.with.dictionaries = options.with.favorites = options.with.firefox =
                options.with.opera = false;
        }
        id = test::OeIdentityBuilder(tp.platform()).Build(options);
        for (const TIdentitaet& i : TIdentityScanner(tp.platform()).ListIdentities())
            if (i.KeyName == id.keyName) identity = i;
        ASSERT_EQ(identity.KeyName, id.keyName);

        Backup(0, "Umzug");
        ASSERT_TRUE(test::TouchMailFile(tp.platform(), id.folders[1], 5, 4096));
        Backup(1, "UPD_Umzug_1");
        ASSERT_TRUE(test::TouchMailFile(tp.platform(), id.folders[2], 6, 2048));
        Backup(1, "UPD_Umzug_2");
    }
    void TearDown() override {
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, id.identityKey);
        TransferTest::TearDown();
    }

    void Backup(int kind, const std::string& name) {
        BackupOptions o;
        o.backupKind = kind;
        o.identity = identity;
        o.backupFolder = backups;
        o.backupName = name;
        o.comment = "Umzug auf den neuen Rechner";
        o.password = kPassword;
        for (int i = 0; i < kSaveOptionCount; ++i) o.save[i] = true;
        if (!posix) o.save[CBSave5] = o.save[CBSave6] = o.save[CBSave7] = o.save[CBSave9] = o.save[CBSave10] = false;
        for (const test::OeMailFile& f : id.folders)
            if (f.exists) o.mailFolders.push_back({f.path, f.folderName});
        test::RecordingView backupView;
        BackupRun run(tp.platform(), backupView, o);
        const BackupOutcome outcome = run.Execute();
        ASSERT_TRUE(outcome.succeeded) << name << ": " << outcome.statusText;
    }

    std::vector<std::string> SubKeys(const std::string& key) {
        std::vector<std::string> names;
        (void)tp.registry().EnumSubKeys(RegRoot::CurrentUser, key, names);
        std::sort(names.begin(), names.end());
        return names;
    }

    bool posix = true;
    test::OeIdentity id;
    TIdentitaet identity;
};

class GeneratedChainTest : public GeneratedChain, public ::testing::WithParamInterface<const char*> {};
using GeneratedChainFaultTest = GeneratedChain;

TEST_P(GeneratedChainTest, TheLatestUpdateBringsTheWholeChainIntoTheMailProgram) {
    const std::string program = GetParam();
    const bool liveMail = program == kWindowsLiveMail;
    const std::string store = root + "Profil\\" + program + "\\";
    InstallProgram(program, store);
    if (!liveMail) {
        // Windows Mail's store database with its local folders.
        test::WmRecord local;
        local.id = 0x0001;
        local.name = "Lokale Ordner";
        local.text = u"Speicher";
        local.kind = "LocalStore";
        local.localFolder = u"Lokale Ordner";
        test::WmStoreWriter writer;
        writer.AddRecord(writer.AddPage(), local);
        ASSERT_TRUE(writer.WriteTo(tp.files(), store + "WindowsMail.MSMessageStore"));
    }
    if (tp.Posix()) tp.Posix()->system.version = OsVersion{true, 2, 6, 0, 6002, "Service Pack 2"};

    // What the backups hold of the user's files; the live copies are then lost or old.
    std::map<std::string, std::string> saved;
    const std::vector<std::string> userFiles = [&] {
        std::vector<std::string> all = id.favorites;
        all.insert(all.end(), id.operaFiles.begin(), id.operaFiles.end());
        all.insert(all.end(), id.firefoxBookmarks.begin(), id.firefoxBookmarks.end());
        return all;
    }();
    for (const std::string& path : userFiles) {
        saved[path] = tp.ReadFile(path);
        ASSERT_TRUE(tp.WriteFile(path, "alt"));
    }

    TransferModel model(tp.platform(), view);
    model.Open();
    ASSERT_EQ(model.Entries(), (std::vector<std::string>{"Umzug", "UPD_Umzug_1", "UPD_Umzug_2"}));
    EXPECT_EQ(model.SelectedIndex(), 0);
    EXPECT_TRUE(model.PasswordEnabled());
    model.SelectBackup(2);  // the latest update: the list switches to its full backup
    EXPECT_EQ(model.SelectedIndex(), 0);
    EXPECT_TRUE(model.MainBackupFound());
    EXPECT_TRUE(Told("2. aktualisierte Update der Identität " + id.username));
    tp.prompter().answers = {MsgResult::Yes};
    ASSERT_TRUE(model.TargetFolderLeft(target));
    tp.prompter().messages.clear();
    model.SetPassword(kPassword);
    // On Windows the user's folders are the system's: their steps stay out, as their data did.
    if (!posix)
        for (TransferStep step : {tsStationery, tsDictionaries, tsIEFavorites, tsFirefox, tsOpera})
            model.SetStep(step, false);

    TransferOutcome outcome;
    if (model.MailProgram() == program) {
        outcome = model.Run();
    } else {
        // The Windows unit tests run on Windows XP, where Windows Mail is never found.
        ASSERT_FALSE(posix);
        TransferRequest request;
        request.backupFolder = model.BackupFolder();
        request.backups = model.Entries();
        request.mainBackup = model.MainBackup();
        request.mainFound = model.MainBackupFound();
        request.chosenBackup = model.MainBackup();
        request.password = kPassword;
        request.mailProgram = program;
        request.steps = model.Steps();
        request.targetFolder = model.TargetFolder();
        TransferRun run(tp.platform(), model.Reader(), view);
        outcome = run.Execute(request);
    }

    std::vector<std::string> order;
    for (const ChainArchive& a : outcome.archives) order.push_back(a.fileName + ":" + std::to_string(a.counter));
    EXPECT_EQ(order, (std::vector<std::string>{"Umzug.bvq:0", "UPD_Umzug_1.bvq:1", "UPD_Umzug_2.bvq:2"}));
    EXPECT_EQ(outcome.failures, std::vector<std::string>{});
    EXPECT_EQ(outcome.end, TransferEnd::Completed);
    EXPECT_TRUE(outcome.settingsTransferred);
    EXPECT_EQ(LastMessage(), kTransferDoneText);

    // Accounts: files in the store, the note for the IMAP and news accounts beside the mail.
    const std::map<std::string, std::string> storeTree = Tree(store);
    const size_t accountFiles = std::count_if(storeTree.begin(), storeTree.end(), [](const auto& e) {
        return e.first.size() > 10 && e.first.substr(e.first.size() - 10) == ".oeaccount";
    });
    EXPECT_GE(accountFiles, 4u);
    EXPECT_TRUE(outcome.specialAccountsConverted);
    EXPECT_TRUE(FileExists(tp.files(), target + kAccountsNoteName));

    // Rules, blocked senders and signatures below the program's key.
    const std::string key = "Software\\Microsoft\\" + program;
    EXPECT_FALSE(SubKeys(key + "\\Rules\\Mail").empty());
    EXPECT_FALSE(SubKeys(key + "\\signatures").empty());
    EXPECT_FALSE(
        SubKeys(key + (liveMail ? "\\PerPassportSettings\\0" : "") + "\\Junk Mail\\Block Senders List").empty());

    // The mail folders and the address book, each from the newest archive holding it.
    std::map<std::string, std::string> expected;
    for (const test::OeMailFile& f : id.folders)
        if (f.exists) expected[target + ExtractFileName(f.path)] = tp.ReadFile(f.path);
    expected[target + ExtractFileName(id.wabFile)] = tp.ReadFile(id.wabFile);
    std::map<std::string, std::string> unpacked;
    for (const auto& [path, content] : Tree(target))
        if (ExtractFileExt(path) == ".dbx" || ExtractFileExt(path) == ".wab") unpacked[path] = content;
    for (const auto& [path, content] : expected) {
        ASSERT_EQ(unpacked.count(path), 1u) << path;
        EXPECT_TRUE(unpacked[path] == content) << path;
    }

    if (!posix) return;
    // The user's files are back as the backups hold them.
    for (const auto& [path, content] : saved) EXPECT_TRUE(tp.ReadFile(path) == content) << path;
    std::string local;
    ASSERT_TRUE(tp.shell().SpecialFolder(Csidl::LocalAppData, local));
    const std::string stationery = IncludeTrailingBackslash(local) + "Microsoft Shared\\Stationery\\";
    for (const std::string& file : id.stationeryFiles) {
        const std::string placed = stationery + file.substr(id.stationeryFolder.size());
        EXPECT_TRUE(tp.ReadFile(placed) == tp.ReadFile(file)) << placed;
    }
    ASSERT_FALSE(id.dictionaries.empty());
    for (const std::string& dictionary : id.dictionaries) {
        if (dictionary == id.dictionaries.back()) continue;  // renamed, below
        EXPECT_TRUE(tp.ReadFile(store + ExtractFileName(dictionary)) == tp.ReadFile(dictionary)) << dictionary;
    }
    EXPECT_TRUE(tp.ReadFile(store + "UserDictionary.lex") == tp.ReadFile(id.dictionaries.back()));
}

// A fault at any file operation of a run: the user's own files are either as they were or as
// the backup holds them, never cut short or gone, and the run's last message is the truth.
TEST_F(GeneratedChainFaultTest, AFaultAnywhereLeavesTheUsersFilesWholeAndTheEndTellsTheTruth) {
    PosixPlatform* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the user's folders are the system's";
    posix->system.version = OsVersion{true, 2, 6, 0, 6002, "Service Pack 2"};
    std::vector<std::string> userFiles = id.favorites;
    userFiles.insert(userFiles.end(), id.operaFiles.begin(), id.operaFiles.end());
    userFiles.insert(userFiles.end(), id.firefoxBookmarks.begin(), id.firefoxBookmarks.end());
    std::map<std::string, std::string> saved;
    for (const std::string& path : userFiles) saved[path] = tp.ReadFile(path);

    int round = 0;
    // One run in a world of its own: the store, the stationery's local folder and the target
    // are new, the user's files old; the program's keys are gone.
    const auto run = [&](test::FaultyFiles& faulty, std::map<std::string, std::string>& placed) {
        Platform platform{tp.registry(), faulty, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        const std::string base = root + "Runde" + std::to_string(++round) + "\\";
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, std::string("Software\\Microsoft\\") + kWindowsLiveMail);
        InstallProgram(kWindowsLiveMail, base + "Store\\");
        posix->shell.folders[Csidl::LocalAppData] = base + "Lokal";
        for (const std::string& path : userFiles) EXPECT_TRUE(tp.WriteFile(path, "alt"));
        tp.prompter().messages.clear();
        view.statuses.clear();
        TransferModel model(platform, view);
        model.Open();
        model.SetPassword(kPassword);
        tp.prompter().answers = {MsgResult::Yes};
        // A folder that cannot be made is told about here; the run tries again.
        (void)model.TargetFolderLeft(base + "Ziel");
        const TransferOutcome outcome = model.Run();
        placed.clear();
        for (const std::string& path : userFiles) placed[path] = tp.ReadFile(path);
        // Account files get new names in every run: they count by their folder. The round's
        // folder is named in the note.
        for (const std::string& folder : {base + "Store\\", base + "Lokal\\", base + "Ziel\\"}) {
            for (const auto& [path, content] : Tree(folder)) {
                const std::string relative = path.substr(base.size());
                if (ExtractFileExt(path) == ".oeaccount")
                    placed["Konten in " + ExtractFilePath(relative)] += "#";
                else
                    placed[relative] = ReplaceText(content, base, "<Runde>\\");
            }
        }
        return outcome;
    };

    std::map<std::string, std::string> clean;
    test::FaultyFiles counting(tp.files());
    const TransferOutcome good = run(counting, clean);
    ASSERT_EQ(good.end, TransferEnd::Completed) << ::testing::PrintToString(good.failures);
    for (const auto& [path, content] : saved) ASSERT_TRUE(clean[path] == content) << path;
    std::array<int, test::kFileOpCount> counts{};
    for (test::FileOp op : test::AllFileOps()) counts[static_cast<size_t>(op)] = counting.Seen(op);

    int failedRuns = 0, cases = 0;
    for (test::FileOp op : test::AllFileOps()) {
        const int seen = counts[static_cast<size_t>(op)];
        // A spread over the operations of the kind, the first and the last included: one-off
        // faults at six points, lasting ones at three.
        for (int point = 0; point < 6 && point < seen; ++point) {
            const int at = seen <= 6 ? point + 1 : 1 + point * (seen - 1) / 5;
            for (test::FaultMode mode : {test::FaultMode::Once, test::FaultMode::Lasting}) {
                if (mode == test::FaultMode::Lasting && point % 2 == 1 && at != seen) continue;
                SCOPED_TRACE(std::string(test::FileOpName(op)) + " #" + std::to_string(at) + " " +
                             test::FaultModeName(mode));
                test::FaultyFiles faulty(tp.files());
                faulty.FailAt(op, at, mode);
                std::map<std::string, std::string> placed;
                ++cases;
                const TransferOutcome outcome = run(faulty, placed);
                for (const std::string& path : userFiles)
                    EXPECT_TRUE(placed[path] == "alt" || placed[path] == saved[path]) << path;
                if (outcome.end == TransferEnd::Completed) {
                    EXPECT_EQ(LastMessage(), kTransferDoneText);
                    for (const auto& [path, content] : clean)
                        EXPECT_TRUE(placed.count(path) && placed[path] == content)
                            << path << " missing or different after a run that reported success: "
                            << (placed.count(path) ? placed[path].substr(0, 200) : std::string("(missing)")) << " | "
                            << content.substr(0, 200);
                } else {
                    ++failedRuns;
                    EXPECT_NE(LastMessage(), kTransferDoneText);
                }
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
    RecordProperty("fault_cases", cases);
    EXPECT_GT(failedRuns, 0);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, GeneratedChainTest, ::testing::Values("Windows Mail", "Windows Live Mail"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).find("Live") != std::string::npos ? "WindowsLiveMail"
                                                                                              : "WindowsMail";
                         });

}  // namespace
}  // namespace bv
