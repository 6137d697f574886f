// A backup run end to end on a small identity: the archive's entries in their order, the
// information record, the report, the log, update chains and pruning, cancel and failures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/backup_target.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/path_component.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/faulty_files.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_platform.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bv {
namespace {

const char kGuid[] = "{6C1A3F00-1B2C-4D5E-8F90-A1B2C3D4E5F6}";
const char kOE[] = "\\Software\\Microsoft\\Outlook Express\\5.0";

// Stored name of a file kept with its folder: the path without drive and leading "\".
std::string StoredWithPath(const std::string& path) {
    std::string rest = path.substr(ExtractFileDrive(path).size());
    return rest.substr(rest.find_first_not_of('\\'));
}

class BackupRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cleanup();
        root = tp.TempDir();
        store = root + "Store\\";
        backups = root + "Sicherungen\\";
        ForceDirectories(tp.files(), store);
        const std::string identities = "Identities";
        const std::string branch = identities + "\\" + kGuid;
        Registry& r = tp.registry();
        WriteRegString(r, 1, identities, "Default User ID", kGuid);
        WriteRegString(r, 1, branch, "Username", "Hauptidentität");
        WriteRegString(r, 1, branch + kOE, "Store Root", store);
        WriteRegInteger(r, 1, branch + kOE, "Zeige Vorschau", 1);
        WriteRegString(r, 1, branch + kOE + "\\Mail", "Signatur", "Mit \"Grüßen\" C:\\Pfad");
        WriteRegInteger(r, 1, branch + kOE + "\\Rules\\Mail\\000", "Enabled", 1);
        WriteRegString(r, 1, branch + "\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001",
                       "Account Name", "Post");
        WriteRegString(r, 1, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account", "00000001");
        WriteRegString(r, 1, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", root + "Adressbuch\\Benutzer.wab");
        WriteRegString(r, 2, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery", "Stationery Folder", root + "Briefpapier\\");
        WriteRegString(r, 1, "Software\\Opera Software", "Last Directory3", root + "Opera\\");

        for (const char* dbx : {"Folders.dbx", "Inbox.dbx", "Offline.dbx", "Outbox.dbx"})
            Copy(test::TestPlatform::FixturePath(std::string("oe6-store\\") + dbx), store + dbx);
        Write("Adressbuch\\Benutzer.wab", std::string(3000, 'w'));
        Write("Briefpapier\\Ahorn.htm", "<html>Ahorn</html>");
        Write("Briefpapier\\Bilder\\ahorn.jpg", std::string(500, 'j'));
        Write("Opera\\profile\\opera6.adr", "Opera Hotlist");
    }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        Registry& r = tp.registry();
        r.DeleteKeyTree(RegRoot::CurrentUser, std::string("Identities\\") + kGuid);
        r.DeleteValue(RegRoot::CurrentUser, "Identities", "Default User ID");
        r.DeleteKeyTree(RegRoot::CurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name");
        r.DeleteValue(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account");
        r.DeleteValue(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery", "Stationery Folder");
        r.DeleteKeyTree(RegRoot::CurrentUser, "Software\\Opera Software");
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
    }
    void Write(const std::string& relative, const std::string& content) {
        ForceDirectories(tp.files(), ExtractFilePath(root + relative));
        ASSERT_TRUE(tp.WriteFile(root + relative, content));
    }
    void Copy(const std::string& from, const std::string& to) { ASSERT_TRUE(tp.files().CopyFile(from, to, false)); }

    BackupOptions Options(int kind, const std::string& name) {
        BackupOptions o;
        o.backupKind = kind;
        o.identity.Username = "Hauptidentität";
        o.identity.KeyName = std::string("\\") + kGuid + "\\";
        o.identity.StoreRoot = store;
        o.backupFolder = backups;
        o.backupName = name;
        o.comment = "Vor dem Umzug";
        // Favourites, dictionaries and Firefox live in the user's real folders on Windows.
        for (int i = 0; i < kSaveOptionCount; ++i) o.save[i] = true;
        o.save[CBSave6] = o.save[CBSave7] = o.save[CBSave9] = false;
        o.mailFolders = {{store + "Inbox.dbx", "Posteingang"}, {store + "Outbox.dbx", "Postausgang"}};
        return o;
    }

    std::vector<std::string> Entries(const std::string& archive, const std::string& password = "") {
        TZipReader reader(tp.platform());
        reader.SetZipName(archive);
        reader.SetPassword(password);
        reader.ReadDirectory();
        std::vector<std::string> names;
        for (int i = 0; i < reader.EntryCount(); ++i) names.push_back(reader.EntryPath(i) + reader.EntryName(i));
        return names;
    }
    std::string CommentOf(const std::string& archive) {
        TZipReader reader(tp.platform());
        reader.SetZipName(archive);
        return reader.Comment();
    }

    test::TestPlatform tp;
    test::RecordingView view;
    std::string root, store, backups;
};

TEST_F(BackupRunTest, FullBackupHoldsEveryGroupInItsOrder) {
    BackupRun run(tp.platform(), view, Options(0, "Voll"));
    BackupOutcome outcome = run.Execute();
    ASSERT_TRUE(outcome.succeeded) << outcome.statusText;
    const std::string archive = backups + "Voll.bvq";
    EXPECT_EQ(run.ArchivePath(), archive);

    const std::vector<std::string> expected = {
        "PREFSMAIN.OLS", "PREFS.OLS", "Benutzer.wab", "ACCOUNTS.OLS", "ACCDEF.OLS", "FILTERS.OLS",
        "PAPER.TMP", StoredWithPath(root + "Briefpapier\\Ahorn.htm"),
        StoredWithPath(root + "Briefpapier\\Bilder\\ahorn.jpg"),
        StoredWithPath(root + "Opera\\profile\\opera6.adr"),
        "Inbox.dbx", "Outbox.dbx", "REALNAME.TMP", "Folders.dbx", "Offline.dbx"};
    std::vector<std::string> entries = Entries(archive);
    // Keys the system itself may hold (security zones, cookie rules) come and go with it.
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::string& e) { return e == "IEZONE.OLS" || e == "COOKIEUS.OLS"; }),
                  entries.end());
    EXPECT_EQ(entries, expected);

    const std::string comment = CommentOf(archive);
    const std::string date = BackupInfoValue(comment, "BackupInfo", "Date");
    EXPECT_EQ(comment.substr(0, comment.find("Date=")),
              std::string("[BackupInfo]\r\nBackupArt=VollBackup\r\nHauptBackup=SELF\r\nIdentitaet=Hauptidentit\xE4t\r\n"
                          "IdentID=") + kGuid + "\r\nCounter=0\r\n");
    EXPECT_EQ(date.size(), 10u);
    EXPECT_NE(comment.find("Comment=Vor dem Umzug\r\n\r\n[Firefox]\r\nVersion="), std::string::npos);

    EXPECT_TRUE(view.ReportHas("Version  : Brevisto V4.80"));
    EXPECT_TRUE(view.ReportHas("Speichert Internet Explorer Einstellungen:"));
    EXPECT_TRUE(view.ReportHas("Kommentar: Vor dem Umzug\r\n--------------------------"));
    EXPECT_TRUE(view.ReportHas("Dateien erfolgreich getestet!"));
    EXPECT_TRUE(view.ReportHas("Backup war ERFOLGREICH!"));
    EXPECT_TRUE(view.ReportHas("Registry-Schlüssel für Schrifteinstellungen nicht gefunden!"));
    EXPECT_EQ(view.LastIcon(BackupGroup::Prefs), StatusIcon::Saved);
    EXPECT_EQ(view.LastIcon(BackupGroup::MailFolders), StatusIcon::Saved);
    EXPECT_EQ(view.statuses.back().color, StatusColor::Green);

    const std::string report = tp.ReadFile(backups + "Voll.log");
    EXPECT_EQ(report.rfind("Datum: ", 0), 0u);
    EXPECT_NE(report.find("\r\nBackup: " + archive + "\r\n"), std::string::npos);
    const std::string log = tp.ReadFile(backups + "Brevisto.log");
    EXPECT_NE(log.find("Backup    : " + archive + "\r\nStatus    : OK\r\n"), std::string::npos);

    // Nothing of the staging is left behind.
    for (const char* staged : {"PREFSMAIN.OLS", "PAPER.TMP", "REALNAME.TMP", "iefav.zip"})
        EXPECT_FALSE(FileExists(tp.files(), run.TempFolder() + staged)) << staged;
}

// A mail folder file or folder index whose inner tree is damaged is still mail: the backup
// takes the files as they are, byte for byte, and does not judge them.
TEST_F(BackupRunTest, DamagedMailFilesAreSavedByteForByte) {
    std::string inbox = tp.ReadFile(store + "Inbox.dbx");
    std::string folders = tp.ReadFile(store + "Folders.dbx");
    ASSERT_GT(inbox.size(), 0x2600u);
    ASSERT_GT(folders.size(), 0x2600u);
    // Over the message tree's root node and over the first folder record.
    auto at = [](const std::string& bytes, size_t offset) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + 3])) << 24;
    };
    const uint32_t messageRoot = at(inbox, 0xE4);
    ASSERT_LT(messageRoot + 0x27Cu, inbox.size());
    inbox.replace(messageRoot, 0x27C, 0x27C, '\xA5');
    const uint32_t folderRoot = at(folders, 0xEC);
    const uint32_t firstRecord = at(folders, folderRoot + 0x18);
    ASSERT_LT(firstRecord + 16u, folders.size());
    folders.replace(firstRecord, 16, 16, '\x5A');
    ASSERT_TRUE(tp.WriteFile(store + "Inbox.dbx", inbox));
    ASSERT_TRUE(tp.WriteFile(store + "Folders.dbx", folders));

    BackupRun run(tp.platform(), view, Options(0, "Beschaedigt"));
    const BackupOutcome outcome = run.Execute();
    ASSERT_TRUE(outcome.succeeded) << outcome.statusText;

    const std::string unpacked = root + "Entpackt";
    TZipReader reader(tp.platform());
    reader.SetZipName(backups + "Beschaedigt.bvq");
    reader.SetDestDir(unpacked);
    reader.FilesList() = {"Inbox.dbx", "Folders.dbx"};
    EXPECT_EQ(reader.ExtractMatching(), 2);
    EXPECT_TRUE(tp.ReadFile(unpacked + "\\Inbox.dbx") == inbox);
    EXPECT_TRUE(tp.ReadFile(unpacked + "\\Folders.dbx") == folders);
}

TEST_F(BackupRunTest, FavouritesDictionariesAndFirefoxInTheirPlaces) {
    if (!tp.Posix()) GTEST_SKIP() << "these groups read the user's real folders on Windows";
    TPathComponent folders(tp.platform());
    const std::string appData = folders.ShellAppDataFolder() + "\\";
    const std::string favorites = folders.ShellFavoritesFolder() + "\\";
    auto put = [&](const std::string& path, const std::string& content) {
        ForceDirectories(tp.files(), ExtractFilePath(path));
        ASSERT_TRUE(tp.WriteFile(path, content));
    };
    put(appData + "Microsoft\\Proof\\custom.dic", "Wort\r\n");
    put(appData + "Microsoft\\Proof\\Sub\\nicht.dic", "x");
    put(favorites + "Heise.url", "[InternetShortcut]\r\nURL=http://www.heise.de/\r\n");
    put(favorites + "Banken\\Sparkasse.url", "[InternetShortcut]\r\n");
    const std::string ff = appData + "Mozilla\\Firefox\\";
    put(ff + "profiles.ini", "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abc.default\r\n");
    put(ff + "Profiles\\abc.default\\places.sqlite", "SQLite format 3");

    BackupOptions o = Options(0, "Browser");
    o.save = {};
    o.save[CBSave6] = o.save[CBSave7] = o.save[CBSave9] = true;
    o.mailFolders.clear();
    BackupRun run(tp.platform(), view, o);
    ASSERT_TRUE(run.Execute().succeeded);
    EXPECT_EQ(Entries(backups + "Browser.bvq"),
              (std::vector<std::string>{"custom.dic", "iefav.zip",
                                        StoredWithPath(ff + "Profiles\\abc.default\\places.sqlite_mob")}));
    EXPECT_EQ(run.Identity().FirefoxProfileList,
              std::vector<std::string>{ff + "Profiles\\abc.default\\places.sqlite_mob"});
    EXPECT_TRUE(view.ReportHas("Ordner: " + favorites));

    // The favourites travel as an inner archive with their folders.
    TZipReader outer(tp.platform());
    outer.SetZipName(backups + "Browser.bvq");
    outer.SetDestDir(root + "aus");
    outer.SetOverwriteMode(TOverwriteMode::Always);
    outer.FilesList() = {"iefav.zip"};
    ASSERT_EQ(outer.ExtractMatching(), 1);
    std::vector<std::string> inner = Entries(root + "aus\\iefav.zip");
    std::sort(inner.begin(), inner.end());
    EXPECT_EQ(inner, (std::vector<std::string>{"Banken\\", "Banken\\Sparkasse.url", "Heise.url"}));
    const std::string comment = CommentOf(backups + "Browser.bvq");
    EXPECT_NE(comment.find("\r\n[Profile0]\r\nName=default\r\nPath=Profiles\\abc.default\r\n"), std::string::npos);

    // Updates: no favourite changed, then one did.
    o.backupKind = 1;
    o.backupName = "UPD_Browser1";
    test::RecordingView same;
    BackupRun unchanged(tp.platform(), same, o);
    ASSERT_TRUE(unchanged.Execute().succeeded);
    std::vector<std::string> entries = Entries(backups + "UPD_Browser1.bvq");
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "iefav.zip"), 0);
    EXPECT_EQ(same.LastIcon(BackupGroup::IEFavorites), StatusIcon::Unchanged);

    put(favorites + "Heise.url", "[InternetShortcut]\r\nURL=https://www.heise.de/\r\n");
    o.backupName = "UPD_Browser2";
    test::RecordingView changed;
    BackupRun update(tp.platform(), changed, o);
    ASSERT_TRUE(update.Execute().succeeded);
    TZipReader second(tp.platform());
    second.SetZipName(backups + "UPD_Browser2.bvq");
    second.SetDestDir(root + "aus2");
    second.SetOverwriteMode(TOverwriteMode::Always);
    second.FilesList() = {"iefav.zip"};
    ASSERT_EQ(second.ExtractMatching(), 1);
    inner = Entries(root + "aus2\\iefav.zip");
    EXPECT_EQ(std::count(inner.begin(), inner.end(), "Banken\\Sparkasse.url"), 1);  // all, not just the change
    EXPECT_EQ(std::count(inner.begin(), inner.end(), "Heise.url"), 1);
}

TEST_F(BackupRunTest, SettingsSnapshotDropsSubkeysAndStoreRoot) {
    BackupOptions o = Options(0, "Prefs");
    o.save = {};
    o.save[CBSave0] = true;
    o.mailFolders.clear();
    BackupRun run(tp.platform(), view, o);
    ASSERT_TRUE(run.Execute().succeeded);
    TZipReader reader(tp.platform());
    reader.SetZipName(backups + "Prefs.bvq");
    reader.SetDestDir(root + "aus");
    reader.SetOverwriteMode(TOverwriteMode::Always);
    reader.FilesList() = {"PREFSMAIN.OLS"};
    ASSERT_EQ(reader.ExtractMatching(), 1);
    const std::string text = tp.ReadFile(root + "aus\\PREFSMAIN.OLS");
    EXPECT_EQ(text.find("Store Root"), std::string::npos);
    EXPECT_EQ(text.find("\\Mail]"), std::string::npos);
    EXPECT_NE(text.find("\"Zeige Vorschau\"=dword:00000001"), std::string::npos);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Identities\\", 0), 0u);
}

TEST_F(BackupRunTest, UpdateBackupsHoldOnlyWhatChanged) {
    {
        BackupRun run(tp.platform(), view, Options(0, "Voll"));
        ASSERT_TRUE(run.Execute().succeeded);
    }
    if (tp.files().GetAttributes(store + "Inbox.dbx") & FileAttr::Archive)
        GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
    for (int round = 1; round <= 3; ++round) {
        // One mail folder changes between the runs.
        auto f = tp.files().Open(store + "Outbox.dbx", OpenMode::ReadWrite);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(f->Seek(f->Size()));
        ASSERT_TRUE(f->Write("x", 1));
        ASSERT_TRUE(f->Close());
        test::RecordingView updateView;
        const std::string name = "UPD_" + std::to_string(round);
        BackupRun run(tp.platform(), updateView, Options(1, name));
        ASSERT_TRUE(run.Execute().succeeded) << round;
        std::vector<std::string> entries = Entries(backups + name + ".bvq");
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "Outbox.dbx"), 1);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "Inbox.dbx"), 0);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "Benutzer.wab"), 0);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "WAB.OLS"), 0);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "PREFSMAIN.OLS"), 1);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "REALNAME.TMP"), 1);
        const std::string comment = CommentOf(backups + name + ".bvq");
        EXPECT_EQ(BackupInfoValue(comment, "BackupInfo", "Counter"), std::to_string(round));
        EXPECT_EQ(BackupInfoValue(comment, "BackupInfo", "HauptBackup"), "Voll.bvq");
        EXPECT_EQ(BackupInfoValue(comment, "BackupInfo", "BackupArt"), "UpdateBackup");
        EXPECT_EQ(updateView.LastIcon(BackupGroup::AddressBook), StatusIcon::Unchanged);
    }
}

TEST_F(BackupRunTest, PruningKeepsTheNewestChains) {
    FileTime base = UnixToFileTime(1700000000);
    for (int i = 1; i <= 3; ++i) {
        test::RecordingView v;
        BackupRun run(tp.platform(), v, Options(0, "Hauptidentität_" + std::to_string(i)));
        ASSERT_TRUE(run.Execute().succeeded);
        // Creation times a day apart, oldest first.
        FileTime created = base + static_cast<FileTime>(i) * 864000000000ULL;
        (void)tp.files().SetTimes(backups + "Hauptidentität_" + std::to_string(i) + ".bvq", &created, nullptr);
        if (i == 1) {
            test::RecordingView u;
            BackupRun update(tp.platform(), u, Options(1, "UPD_1"));
            ASSERT_TRUE(update.Execute().succeeded);
        }
    }
    FileTime check = 0;
    tp.files().GetTimes(backups + "Hauptidentität_1.bvq", &check, nullptr);
    if (check != base + 864000000000ULL) GTEST_SKIP() << "this system does not set creation times (Wine)";
    Settings(tp.platform()).SetInteger("maxBackups", 2);
    // A damaged archive with the identity's name is never touched.
    ASSERT_TRUE(tp.WriteFile(backups + "Hauptidentität_kaputt.bvq", "kein ZIP"));
    test::RecordingView v;
    BackupRun run(tp.platform(), v, Options(0, "Hauptidentität_4"));
    ASSERT_TRUE(run.Execute().succeeded);
    EXPECT_FALSE(FileExists(tp.files(), backups + "Hauptidentität_1.bvq"));
    EXPECT_FALSE(FileExists(tp.files(), backups + "Hauptidentität_1.log"));
    EXPECT_FALSE(FileExists(tp.files(), backups + "UPD_1.bvq"));
    EXPECT_FALSE(FileExists(tp.files(), backups + "Hauptidentität_2.bvq"));
    EXPECT_TRUE(FileExists(tp.files(), backups + "Hauptidentität_3.bvq"));
    EXPECT_TRUE(FileExists(tp.files(), backups + "Hauptidentität_4.bvq"));
    EXPECT_TRUE(FileExists(tp.files(), backups + "Hauptidentität_kaputt.bvq"));
}

TEST_F(BackupRunTest, DriveQuestionCancelledWritesNoReportButTheLogStatus) {
    BackupOptions o = Options(0, "X");
    o.backupFolder = "Q:\\Backup\\";
    tp.prompter().answers = {MsgResult::Retry, MsgResult::Cancel};
    BackupRun run(tp.platform(), view, o);
    BackupOutcome outcome = run.Execute();
    EXPECT_FALSE(outcome.archiveBuilt);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.reportFile.empty());
    ASSERT_GE(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[0].caption, "Kein Datenträger");
    EXPECT_EQ(tp.prompter().messages[0].text,
              "Das Laufwerk Q: ist nicht bereit.\r\nStellen Sie sicher, dass das Laufwerk angeschlossen ist und "
              "klicken Sie auf WIEDERHOLEN.");
    EXPECT_EQ(view.statuses.back().color, StatusColor::Red);
    EXPECT_EQ(outcome.statusText.rfind("Backup war NICHT erfolgreich!", 0), 0u);
}

TEST_F(BackupRunTest, CancelAtEveryPumpPointKeepsTheOldArchiveAndLeavesNoStaging) {
    // A good archive from an earlier run; it also tells how often a run lets messages through.
    tp.pump().calls = 0;
    {
        BackupRun first(tp.platform(), view, Options(0, "Nacht"));
        ASSERT_TRUE(first.Execute().succeeded);
    }
    const int pumpPoints = tp.pump().calls;
    ASSERT_GT(pumpPoints, 10);
    const std::string before = tp.ReadFile(backups + "Nacht.bvq");
    BackupHistory history(tp.registry(), kGuid);
    const std::string fullName = history.FullName(), lastBackup = history.LastBackup();
    int cancelled = 0;
    for (int cancelAt = 1; cancelAt <= pumpPoints; cancelAt += 3) {
        test::RecordingView v;
        tp.prompter().messages.clear();
        BackupRun run(tp.platform(), v, Options(0, "Abbruch"));
        int calls = 0;
        bool asked = false;
        tp.pump().onProcess = [&] {
            if (++calls != cancelAt || asked) return;
            // The question is asked only while the archive writer works.
            tp.prompter().answers.push_front(MsgResult::Yes);
            asked = run.CancelBtnClick();
            if (!asked) tp.prompter().answers.pop_front();
        };
        BackupOutcome outcome = run.Execute();
        tp.pump().onProcess = nullptr;
        EXPECT_TRUE(run.Idle());
        for (const char* staged : {"PREFSMAIN.OLS", "PAPER.TMP", "REALNAME.TMP", "iefav.zip"})
            EXPECT_FALSE(FileExists(tp.files(), run.TempFolder() + staged)) << staged << " at " << cancelAt;
        EXPECT_EQ(tp.ReadFile(backups + "Nacht.bvq"), before) << cancelAt;
        if (asked) {
            ++cancelled;
            EXPECT_TRUE(outcome.cancelled) << cancelAt;
            EXPECT_FALSE(outcome.succeeded) << cancelAt;
            const std::string log = tp.ReadFile(backups + "Brevisto.log");
            EXPECT_NE(log.find("Status    : ABGEBROCHEN\r\n--------------------------\r\n",
                               log.size() > 400 ? log.size() - 400 : 0),
                      std::string::npos)
                << cancelAt;
            EXPECT_TRUE(FileExists(tp.files(), backups + "Abbruch.log")) << cancelAt;
            // A cancel is no failure of a step: no error box, and the line says what happened.
            for (const auto& message : tp.prompter().messages)
                if (message.caption != "Abbruch des Backups") ADD_FAILURE() << message.text << " at " << cancelAt;
            EXPECT_EQ(outcome.statusText.rfind("Status: * ABBRUCH DES BACKUPS DURCH NUTZER! *", 0), 0u)
                << outcome.statusText << " at " << cancelAt;
            EXPECT_NE(v.LastIcon(BackupGroup::MailFolders), StatusIcon::Saved) << cancelAt;
            // Nothing of the cancelled run stays: no archive that pruning would count, no
            // chain values that the next update backup would follow.
            EXPECT_FALSE(FileExists(tp.files(), backups + "Abbruch.bvq")) << cancelAt;
            EXPECT_EQ(history.FullName(), fullName) << cancelAt;
            EXPECT_EQ(history.LastBackup(), lastBackup) << cancelAt;
            EXPECT_EQ(history.Counter(), 0) << cancelAt;
        } else {
            EXPECT_TRUE(outcome.succeeded) << cancelAt;
            ASSERT_TRUE(FileExists(tp.files(), backups + "Abbruch.bvq")) << cancelAt;
        }
        // The next case starts as this one did.
        for (const char* file : {"Abbruch.bvq", "Abbruch.log"})
            if (FileExists(tp.files(), backups + file)) {
                ASSERT_TRUE(tp.files().DeleteFile(backups + file));
            }
        history.Record(0, fullName, lastBackup);
    }
    EXPECT_GT(cancelled, 0);
}

TEST_F(BackupRunTest, AnArchiveOfTheSameNameIsNeverWrittenOver) {
    ForceDirectories(tp.files(), backups);
    ASSERT_TRUE(tp.WriteFile(backups + "Nacht.bvq", "a backup of another day"));
    ASSERT_TRUE(tp.WriteFile(backups + "Nacht.log", "its report"));
    BackupRun run(tp.platform(), view, Options(0, "Nacht"));
    BackupOutcome outcome = run.Execute();
    EXPECT_FALSE(outcome.archiveBuilt);
    EXPECT_FALSE(outcome.succeeded);
    ASSERT_FALSE(tp.prompter().messages.empty());
    EXPECT_EQ(tp.prompter().messages[0].text, BackupExistsText("Nacht"));
    EXPECT_EQ(tp.ReadFile(backups + "Nacht.bvq"), "a backup of another day");
    EXPECT_EQ(tp.ReadFile(backups + "Nacht.log"), "its report");
    EXPECT_EQ(outcome.statusColor, StatusColor::Red);
    EXPECT_EQ(BackupHistory(tp.registry(), kGuid).Counter(), -1);
}

TEST_F(BackupRunTest, ACancelDuringTheTestIsACancelAndKeepsTheGoodArchive) {
    // An address book of several read buffers, so its test lets messages through.
    std::string book(1u << 20, '\0');
    uint32_t x = 12345;
    for (char& c : book) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    Write("Adressbuch\\Benutzer.wab", book);
    BackupRun run(tp.platform(), view, Options(0, "Geprueft"));
    bool asked = false;
    tp.pump().onProcess = [&] {
        // The writer is busy testing once the status line says so.
        if (asked || view.statuses.empty() || view.statuses.back().text.rfind("Teste: ", 0) != 0) return;
        tp.prompter().answers.push_front(MsgResult::Yes);
        asked = run.CancelBtnClick();
    };
    BackupOutcome outcome = run.Execute();
    tp.pump().onProcess = nullptr;
    ASSERT_TRUE(asked);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.statusText.rfind("Status: * ABBRUCH DES BACKUPS DURCH NUTZER! *", 0), 0u) << outcome.statusText;
    EXPECT_FALSE(view.ReportHas("Backup war FEHLERHAFT!"));
    EXPECT_FALSE(view.ReportHas("User Aborted Operation"));
    const std::string log = tp.ReadFile(backups + "Brevisto.log");
    EXPECT_NE(log.find("Status    : ABGEBROCHEN"), std::string::npos);
    EXPECT_EQ(log.find("Status    : FEHLER"), std::string::npos);
    // The archive was complete before its test began: it stays, with its place in the chain.
    TZipReader check(tp.platform());
    check.SetZipName(backups + "Geprueft.bvq");
    EXPECT_TRUE(check.TestArchive());
    EXPECT_EQ(BackupHistory(tp.registry(), kGuid).FullName(), "Geprueft.bvq");
}

TEST_F(BackupRunTest, ACancelledRunGivesItsFilesBackTheirChangeMark) {
    // The address book went in (and lost its mark) before the cancel in the mail folders;
    // with the archive gone the next update backup must take it again.
    if (test::TestPlatform::IsWindows()) GTEST_SKIP() << "Wine never clears the archive attribute";
    const std::string inbox = store + "Inbox.dbx";
    const std::string book = root + "Adressbuch\\Benutzer.wab";
    BackupRun run(tp.platform(), view, Options(0, "Abbruch"));
    bool asked = false;
    bool bookCleared = false;
    tp.pump().onProcess = [&] {
        // Once the inbox is in, before the next folder.
        if (asked || !run.Writer().IsBusy() || !view.ReportHas(" Datei " + inbox + " gesichert.")) return;
        bookCleared = (tp.files().GetAttributes(book) & FileAttr::Archive) == 0;
        tp.prompter().answers.push_front(MsgResult::Yes);
        asked = run.CancelBtnClick();
    };
    BackupOutcome outcome = run.Execute();
    tp.pump().onProcess = nullptr;
    ASSERT_TRUE(asked);
    ASSERT_TRUE(bookCleared);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(FileExists(tp.files(), backups + "Abbruch.bvq"));
    EXPECT_TRUE(view.ReportHas("Das unvollständige Backup " + backups + "Abbruch.bvq wurde gelöscht."));
    EXPECT_NE(tp.files().GetAttributes(book) & FileAttr::Archive, 0u);
    EXPECT_EQ(BackupHistory(tp.registry(), kGuid).Counter(), -1);
}

// Files whose writes into one named file fail, as on a disk that fills up just then.
class FailingWritesTo : public test::FaultyFiles {
public:
    FailingWritesTo(Files& inner, std::string name) : FaultyFiles(inner), name_(std::move(name)) {}
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode, long* error = nullptr) override {
        auto stream = FaultyFiles::Open(path, mode, error);
        if (!stream || !OpensForWriting(mode) || !SameText(ExtractFileName(path), name_)) return stream;
        struct Refusing : FileStream {
            std::unique_ptr<FileStream> inner;
            size_t Read(void* b, size_t n) override { return inner->Read(b, n); }
            bool Write(const void*, size_t) override { return false; }
            bool Seek(uint64_t p) override { return inner->Seek(p); }
            uint64_t Position() override { return inner->Position(); }
            uint64_t Size() override { return inner->Size(); }
            bool Truncate() override { return inner->Truncate(); }
            bool Flush() override { return inner->Flush(); }
            bool Close() override { return inner->Close(); }
        };
        auto refusing = std::make_unique<Refusing>();
        refusing->inner = std::move(stream);
        return refusing;
    }

private:
    std::string name_;
};

TEST_F(BackupRunTest, AListThatCannotBeWrittenFailsItsGroup) {
    struct Case {
        const char* file;
        BackupGroup group;
        const char* line;
    } cases[] = {
        {"REALNAME.TMP", BackupGroup::MailFolders, "Fehler beim Speichern der Mailordner!"},
        {"PAPER.TMP", BackupGroup::Stationery, "Datei für die Briefpapier-Übersicht konnte nicht gesichert werden!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        FailingWritesTo files(tp.files(), c.file);
        Platform p{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        tp.prompter().messages.clear();
        BackupRun run(p, v, Options(0, std::string("Liste") + c.file[0]));
        BackupOutcome outcome = run.Execute();
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_NE(outcome.statusText.find("Backup war NICHT erfolgreich!"), std::string::npos);
        EXPECT_TRUE(v.ReportHas(c.line));
        EXPECT_EQ(v.LastIcon(c.group), StatusIcon::Failed);
        EXPECT_FALSE(tp.prompter().messages.empty());
        EXPECT_FALSE(FileExists(tp.files(), run.TempFolder() + c.file));
        // Never an empty list in the archive; the data it describes is saved all the same.
        std::vector<std::string> entries = Entries(run.ArchivePath());
        EXPECT_EQ(std::find(entries.begin(), entries.end(), c.file), entries.end());
        EXPECT_NE(std::find(entries.begin(), entries.end(), "Inbox.dbx"), entries.end());
        EXPECT_NE(tp.ReadFile(backups + "Brevisto.log").find("Status    : FEHLER"), std::string::npos);
    }
}

TEST_F(BackupRunTest, FavouritesAreNeverLostSilentlyUnderAFault) {
    if (!tp.Posix()) GTEST_SKIP() << "the favourites are the user's real folder on Windows";
    const std::string favorites = TPathComponent(tp.platform()).ShellFavoritesFolder() + "\\";
    ForceDirectories(tp.files(), favorites + "Banken\\");
    ASSERT_TRUE(tp.WriteFile(favorites + "Heise.url", "[InternetShortcut]\r\nURL=http://www.heise.de/\r\n"));
    ASSERT_TRUE(tp.WriteFile(favorites + "Banken\\Sparkasse.url", "[InternetShortcut]\r\n"));
    BackupOptions o = Options(0, "Fav");
    o.save = {};
    o.save[CBSave6] = true;
    o.save[CBSave4] = true;  // another group keeps the archive when the favourites go missing
    test::FaultyFiles counting(tp.files());
    {
        Platform p{tp.registry(), counting, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        BackupRun run(p, v, o);
        ASSERT_TRUE(run.Execute().succeeded);
        ASSERT_TRUE(tp.files().DeleteFile(backups + "Fav.bvq"));
    }
    for (test::FileOp op : {test::FileOp::Open, test::FileOp::Read, test::FileOp::Seek, test::FileOp::Write}) {
        for (int at = 1; at <= counting.Seen(op); ++at) {
            SCOPED_TRACE(std::string(test::FileOpName(op)) + " #" + std::to_string(at));
            test::FaultyFiles files(tp.files());
            files.FailAt(op, at, test::FaultMode::Once);
            Platform p{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
            test::RecordingView v;
            BackupRun run(p, v, o);
            const BackupOutcome outcome = run.Execute();
            if (outcome.succeeded) {
                // Success means the favourites are in the archive, whole.
                TZipReader outer(tp.platform());
                outer.SetZipName(backups + "Fav.bvq");
                outer.SetDestDir(tp.TempDir() + "aus\\");
                outer.SetOverwriteMode(TOverwriteMode::Always);
                outer.FilesList() = {"iefav.zip"};
                ASSERT_EQ(outer.ExtractMatching(), 1);
                EXPECT_EQ(Entries(tp.TempDir() + "aus\\iefav.zip").size(), 3u);  // two files, one folder
            } else {
                EXPECT_EQ(outcome.statusColor, StatusColor::Red);
            }
            EXPECT_FALSE(FileExists(tp.files(), run.TempFolder() + "iefav.zip"));
            for (const char* file : {"Fav.bvq", "Fav.log"})
                if (FileExists(tp.files(), backups + file)) {
                    ASSERT_TRUE(tp.files().DeleteFile(backups + file));
                }
        }
    }
}

// Registry whose reads of keys below a path fail, as for a key deleted while it is read.
class FailingRegistry : public Registry {
public:
    FailingRegistry(Registry& inner, std::string failBelow) : inner_(inner), failBelow_(std::move(failBelow)) {}
    long KeyExists(RegRoot r, const std::string& p) override { return inner_.KeyExists(r, p); }
    long CreateKey(RegRoot r, const std::string& p) override { return inner_.CreateKey(r, p); }
    long DeleteKeyTree(RegRoot r, const std::string& p) override { return inner_.DeleteKeyTree(r, p); }
    long QueryValue(RegRoot r, const std::string& p, const std::string& n, RegValue& v) override {
        return inner_.QueryValue(r, p, n, v);
    }
    long SetValue(RegRoot r, const std::string& p, const std::string& n, uint32_t t, const Bytes& d) override {
        return inner_.SetValue(r, p, n, t, d);
    }
    long DeleteValue(RegRoot r, const std::string& p, const std::string& n) override {
        return inner_.DeleteValue(r, p, n);
    }
    long EnumSubKeys(RegRoot r, const std::string& p, std::vector<std::string>& out) override {
        return inner_.EnumSubKeys(r, p, out);
    }
    long EnumValues(RegRoot r, const std::string& p, std::vector<RegValue>& out) override {
        constexpr long kKeyDeleted = 1018;
        if (p.find(failBelow_) != std::string::npos) return kKeyDeleted;
        return inner_.EnumValues(r, p, out);
    }

private:
    Registry& inner_;
    std::string failBelow_;
};

// Files where one file is held open by another program.
class LockingFiles : public test::FaultyFiles {
public:
    LockingFiles(Files& inner, std::string locked) : FaultyFiles(inner), locked_(std::move(locked)) {}
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode, long* error = nullptr) override {
        if (SameText(path, locked_)) {
            if (error) *error = WinError::SharingViolation;
            return nullptr;
        }
        return FaultyFiles::Open(path, mode, error);
    }

private:
    std::string locked_;
};

TEST_F(BackupRunTest, AnExportThatFailsIsTheStepsFailure) {
    FailingRegistry registry(tp.registry(), "5.0\\Mail");
    Platform p{registry, tp.files(), tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    BackupRun run(p, view, Options(0, "Export"));
    BackupOutcome outcome = run.Execute();
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_FALSE(outcome.runOk);
    // The main key's export walks its subkeys too, so both snapshots fail.
    for (const char* file : {"PREFSMAIN.OLS", "PREFS.OLS"}) {
        const std::string message = "Datei " + run.TempFolder() + file + " konnte nicht gesichert werden!";
        EXPECT_TRUE(view.ReportHas(message)) << file;
    }
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
    EXPECT_FALSE(view.ReportHas("Registry-Schlüssel für Programm-Einstellungen nicht gefunden!"));
    EXPECT_EQ(view.LastIcon(BackupGroup::Prefs), StatusIcon::Failed);
    EXPECT_EQ(outcome.statusColor, StatusColor::Red);
    EXPECT_NE(tp.ReadFile(backups + "Brevisto.log").find("Status    : FEHLER"), std::string::npos);
    // The rest of the run went on.
    std::vector<std::string> entries = Entries(backups + "Export.bvq");
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Inbox.dbx"), entries.end());
}

TEST_F(BackupRunTest, ALockedMailFolderAsksAndCancelLeavesItOut) {
    LockingFiles files(tp.files(), store + "Inbox.dbx");
    Platform p{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    tp.prompter().answers = {MsgResult::Retry, MsgResult::Cancel};
    BackupRun run(p, view, Options(0, "Gesperrt"));
    BackupOutcome outcome = run.Execute();
    EXPECT_FALSE(outcome.succeeded);
    int asked = 0;
    for (const auto& m : tp.prompter().messages)
        if (m.text.find("kann nicht gesichert werden. Bitte schließen Sie alle Anwendungen") != std::string::npos) {
            ++asked;
            EXPECT_NE(m.text.find(store + "Inbox.dbx"), std::string::npos);
        }
    EXPECT_EQ(asked, 2);
    std::vector<std::string> entries = Entries(backups + "Gesperrt.bvq");
    EXPECT_EQ(std::find(entries.begin(), entries.end(), "Inbox.dbx"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Outbox.dbx"), entries.end());
    EXPECT_NE(tp.ReadFile(backups + "Brevisto.log").find("Status    : FEHLER"), std::string::npos);
}

TEST_F(BackupRunTest, AFullDiskAtAnyWriteKeepsOtherBackupsAndTellsTheTruth) {
    {
        BackupRun first(tp.platform(), view, Options(0, "Alt"));
        ASSERT_TRUE(first.Execute().succeeded);
    }
    const std::string before = tp.ReadFile(backups + "Alt.bvq");
    test::FaultyFiles counting(tp.files());
    {
        Platform p{tp.registry(), counting, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        BackupRun run(p, v, Options(0, "Neu"));
        ASSERT_TRUE(run.Execute().succeeded);
    }
    const int writes = counting.writes;
    ASSERT_GT(writes, 5);
    for (int failAt = 1; failAt <= writes; failAt += std::max(1, writes / 25)) {
        test::FaultyFiles files(tp.files());
        files.failWriteAt = failAt;
        Platform p{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        BackupRun run(p, v, Options(0, "Neu"));
        BackupOutcome outcome = run.Execute();
        EXPECT_EQ(tp.ReadFile(backups + "Alt.bvq"), before) << failAt;
        for (const char* staged : {"PREFSMAIN.OLS", "PAPER.TMP", "REALNAME.TMP", "iefav.zip"})
            EXPECT_FALSE(FileExists(tp.files(), run.TempFolder() + staged)) << staged << " at " << failAt;
        if (outcome.succeeded) {
            TZipReader check(tp.platform());
            check.SetZipName(backups + "Neu.bvq");
            EXPECT_TRUE(check.TestArchive()) << failAt;
        } else {
            EXPECT_EQ(outcome.statusColor, StatusColor::Red) << failAt;
        }
    }
}

#ifndef _WIN32
TEST_F(BackupRunTest, EncryptedBackupOpensWithUnzipAndItsPassword) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not installed";
    BackupOptions o = Options(0, "Geheim");
    o.password = "Sommer2026!";
    BackupRun run(tp.platform(), view, o);
    ASSERT_TRUE(run.Execute().succeeded);
    EXPECT_TRUE(view.ReportHas("Das Backup wurde mit einem Passwort verschlüsselt"));
    const std::string host = tp.HostPath(backups + "Geheim.bvq");
    int rc = std::system(("unzip -tq -P 'Sommer2026!' '" + host + "' >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    rc = std::system(("unzip -tq -P 'falsch' '" + host + "' >/dev/null 2>&1").c_str());
    EXPECT_NE(WEXITSTATUS(rc), 0);
}
#endif

}  // namespace
}  // namespace bv
