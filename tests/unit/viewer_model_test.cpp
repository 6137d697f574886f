// The backup viewer's model: the list of a folder, the description of a backup (date, size,
// update line, categories, mail folders), deletion, protected and defective archives.
#include <gtest/gtest.h>

#include <map>

#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/viewer/viewer_model.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

using Names = std::vector<std::string>;
using Contents = std::vector<std::pair<std::string, std::string>>;

TEST(ViewerCategories, EntryNamesMarkTheirCategory) {
    struct Case {
        const char* name;
        int category;
    } cases[] = {
        {"Folders.dbx", vcFolderStructure}, {"FOLDERS.DBX", vcFolderStructure},
        {"PREFS.OLS", vcProgramSettings},   {"mailnote.ols", vcProgramSettings},
        {"NEWS.OLS", vcProgramSettings},    {"NewsNote.ols", vcProgramSettings},
        {"COLUMNS.OLS", vcProgramSettings}, {"DIALOGS.OLS", vcProgramSettings},
        {"Benutzer.wab", vcAddressBook},    {"BENUTZER.WAB.alt", vcAddressBook},
        {"ACCOUNTS.OLS", vcAccounts},       {"accdef.ols", vcAccounts},
        {"FILTERS.OLS", vcFilters},         {"Blockers.ols", vcFilters},
        {"Signs.ols", vcSignatures},        {"Paper.ols", vcStationery},
        {"deutsch.dic", vcDictionaries},    {"CUSTOM.DIC", vcDictionaries},
        {"IEZone.ols", vcIEZones},          {"HKLM_IEZONE.OLS", vcIEZones},
        {"CookieUs.ols", vcCookies},        {"iefav.zip", vcIEFavorites},
        {"IEFAV.TMP", vcIEFavorites},       {"bookmarks.html", vcFirefox},
        {"places.sqlite", vcFirefox},       {"PLACES.SQLITE_MOB", vcFirefox},
        {"opera6.adr", vcOpera},            {"notes.ADR", vcOpera},
        // Not a category.
        {"Inbox.dbx", -1},                  {"REALNAME.TMP", -1},
        {"notes.adr.txt", -1},              {"MYPREFS.OLS", -1},
        {"iefav.zip.bak", -1},              {"SIGNS.OLS.bak", -1},
        // The first matching rule decides.
        {"book.wab.dic", vcAddressBook},    {"IEZONE.OLS.dic", vcDictionaries},
        {"x.dic.adr", vcDictionaries},
    };
    for (const Case& c : cases) EXPECT_EQ(CategoryOfEntryName(c.name), c.category) << c.name;
    EXPECT_STREQ(kViewerCategoryLabels[vcFolderStructure], "Ordnerstruktur");
    EXPECT_STREQ(kViewerCategoryLabels[vcOpera], "Opera Favoriten, Adressen, Notizen...");
    EXPECT_STREQ(kViewerCategoryLabels[vcDictionaries], "Benutzerwörterbücher");
}

class ViewerModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cleanup();
        startDir = tp.files().CurrentDirectory();
        work = tp.TempDir() + "Arbeit\\";
        backups = tp.TempDir() + "Backups\\";
        Settings s(tp.platform());
        s.SetString("tmpFolder", work);
        s.SetString("bakFolder", backups);
    }
    void TearDown() override {
        // The viewer makes the backup folder current; Windows cannot remove a current folder.
        (void)tp.files().SetCurrentDirectory(startDir);
        Cleanup();
    }
    void Cleanup() { tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey); }

    static std::string Comment(const char* type, int counter, const std::string& identity) {
        BackupInfoRecord record;
        record.backupType = type;
        record.mainBackup = type == std::string(kFullBackup) ? kSelfMain : "Haupt.bvq";
        record.identityName = identity;
        record.identityKey = "{6C1A3F00-1B2C-4D5E-8F90-A1B2C3D4E5F6}";
        record.counter = counter;
        record.dateText = "08.12.2026";
        return BuildBackupInfoText(record);
    }

    // An archive of the given entries (stored without folders) and comment.
    void MakeBackup(const std::string& path, const Contents& entries, const std::string& comment,
                    const std::string& password = "") {
        const std::string staging = tp.TempDir() + "Quelle" + std::to_string(++made) + "\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), staging));
        ForceDirectories(tp.files(), ExtractFilePath(path));
        Names files;
        for (const auto& e : entries) {
            ASSERT_TRUE(tp.WriteFile(staging + e.first, e.second));
            files.push_back(staging + e.first);
        }
        TZipWriter w(tp.platform());
        w.SetZipName(path);
        w.SetPassword(password);
        w.FilesList() = files;
        ASSERT_EQ(w.AddFiles(), static_cast<int>(files.size()));
        if (!comment.empty()) {
            w.SetComment(comment);
            w.WriteChangedComment();
        }
    }
    void MakeSimple(const std::string& path) {
        MakeBackup(path, {{"Folders.dbx", "f"}, {"Inbox.dbx", "i"}}, Comment(kFullBackup, 0, "Haupt"));
    }
    Contents FullContents() {
        return {
            {"Folders.dbx", "index"},
            {"Inbox.dbx", std::string(1234567, 'm')},
            {"Offline.dbx", "o"},
            {"Pop3uidl.dbx", "p"},
            {"Gesendete Objekte.dbx", std::string(999, 's')},
            {"Archiv 2025.dbx", std::string(1000, 'a')},
            {"REALNAME.TMP",
             "Inbox.dbx#~#Posteingang\r\nOutbox.dbx#~#Postausgang\r\nARCHIV 2025.DBX#~#alte #~# Post\r\n"
             "kaputte Zeile\r\n"},
            {"Paper.ols", "x"},
            {"IEZone.ols", "x"},
            {"CookieUs.ols", "x"},
            {"opera6.adr", "x"},
        };
    }
    std::vector<int> Marked(const ViewerModel& m) {
        std::vector<int> out;
        for (int i = 0; i < vcCategoryCount; ++i)
            if (m.Categories()[static_cast<size_t>(i)]) out.push_back(i);
        return out;
    }
    Names Captions(const ViewerModel& m) {
        Names out;
        for (const MailFolderRow& r : m.MailFolders()) out.push_back(r.caption);
        return out;
    }

    test::TestPlatform tp;
    std::string startDir, work, backups;
    int made = 0;
};

TEST_F(ViewerModelTest, DescribesTheOnlyBackupOnOpening) {
    const std::string archive = backups + "Haupt_2026-12-08.bvq";
    MakeBackup(archive, FullContents(), Comment(kFullBackup, 0, "Hauptidentität"));
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_EQ(m.FolderField(), backups);
    EXPECT_EQ(m.Entries(), Names{"Haupt_2026-12-08"});
    EXPECT_EQ(m.SelectedIndex(), 0);
    EXPECT_TRUE(m.DeleteEnabled());
    EXPECT_EQ(m.SelectedArchivePath(), archive);
    EXPECT_EQ(m.InfoLine(), "");
    EXPECT_EQ(m.UpdateLine(), "");

    FileTime lastWrite = 0;
    ASSERT_TRUE(tp.files().GetTimes(archive, nullptr, &lastWrite));
    EXPECT_EQ(m.DateText(), FileTimeText(tp.system(), lastWrite));
    EXPECT_NE(m.DateText().find(" um "), std::string::npos);
    EXPECT_EQ(m.SizeText(), FormatByteSize(static_cast<int64_t>(FileSizeOf(tp.files(), archive)),
                                           tp.system().DecimalSeparator()));

    EXPECT_EQ(Marked(m), (std::vector<int>{vcFolderStructure, vcStationery, vcIEZones, vcCookies,
                                           vcOpera}));
    // Store files never appear; names without a line keep their file name; sorted by caption.
    EXPECT_EQ(Captions(m), (Names{"alte #~# Post", "Gesendete Objekte", "Posteingang"}));
    ASSERT_EQ(m.MailFolders().size(), 3u);
    EXPECT_EQ(m.MailFolders()[0].fileName, "Archiv 2025.dbx");
    EXPECT_EQ(m.MailFolders()[0].sizeText, "1.000");
    EXPECT_EQ(m.MailFolders()[1].sizeText, "999");
    EXPECT_EQ(m.MailFolders()[2].fileName, "Inbox.dbx");
    EXPECT_EQ(m.MailFolders()[2].size, 1234567u);
    EXPECT_EQ(m.MailFolders()[2].sizeText, "1.234.567");
    // The folder-name list was extracted into the work folder and removed again.
    EXPECT_TRUE(DirectoryExists(tp.files(), work));
    EXPECT_FALSE(FileExists(tp.files(), work + "REALNAME.TMP"));
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(ViewerModelTest, UpdateLineOfUpdateBackups) {
    struct Case {
        const char* type;
        int counter;
        const char* line;
    } cases[] = {
        {kUpdateBackup, 2, "2. aktualisiertes Update der Identität Hauptidentität"},
        {kUpdateBackup, 13, "13. aktualisiertes Update der Identität Hauptidentität"},
        {kFullBackup, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string archive = backups + "B.bvq";
        (void)tp.files().DeleteFile(archive);
        MakeBackup(archive, {{"Inbox.dbx", "x"}}, Comment(c.type, c.counter, "Hauptidentität"));
        ViewerModel m(tp.platform(), "");
        m.Open();
        EXPECT_EQ(m.UpdateLine(), c.line);
    }
    // An archive without a record is no update backup either.
    EXPECT_TRUE(tp.files().DeleteFile(backups + "B.bvq"));
    MakeBackup(backups + "B.bvq", {{"Inbox.dbx", "x"}}, "");
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_EQ(m.UpdateLine(), "");
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(ViewerModelTest, OpeningCreatesTheFoldersAndReportsAnEmptyOne) {
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_TRUE(DirectoryExists(tp.files(), work));
    EXPECT_TRUE(DirectoryExists(tp.files(), backups));
    EXPECT_TRUE(SameText(tp.files().CurrentDirectory(), backups) ||
                SameText(IncludeTrailingBackslash(tp.files().CurrentDirectory()), backups));
    EXPECT_EQ(m.WorkFolder(), work);
    EXPECT_TRUE(m.Entries().empty());
    EXPECT_EQ(m.SelectedIndex(), -1);
    EXPECT_FALSE(m.DeleteEnabled());
    EXPECT_EQ(m.InfoLine(), "Keine Backupdatei gefunden!");

    const uint32_t generation = m.ListGeneration();
    m.FolderFieldLeft(tp.TempDir() + "Gibt es nicht");
    EXPECT_EQ(m.FolderField(), tp.TempDir() + "Gibt es nicht\\");
    EXPECT_EQ(m.InfoLine(), "Backup-Ordner existiert nicht!");
    EXPECT_FALSE(m.DeleteEnabled());
    EXPECT_NE(m.ListGeneration(), generation);
    EXPECT_FALSE(DirectoryExists(tp.files(), tp.TempDir() + "Gibt es nicht"));
}

TEST_F(ViewerModelTest, FolderChangesListTheNewFolder) {
    const std::string other = tp.TempDir() + "Andere\\";
    MakeSimple(backups + "A.bvq");
    MakeSimple(other + "X.bvq");
    MakeSimple(other + "y.BVQ");
    tp.WriteFile(other + "keine.bvt", "");
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_EQ(m.Entries(), Names{"A"});

    // The same folder again: nothing happens.
    uint32_t generation = m.ListGeneration();
    m.FolderFieldLeft(backups);
    EXPECT_EQ(m.ListGeneration(), generation);

    m.FolderFieldLeft(other);
    EXPECT_EQ(m.Entries(), (Names{"X", "y"}));
    EXPECT_EQ(m.SelectedIndex(), 0);
    EXPECT_EQ(m.SelectedArchivePath(), other + "X.bvq");
    EXPECT_EQ(Marked(m), std::vector<int>{vcFolderStructure});
    EXPECT_FALSE(m.DateText().empty());

    // Cancelling the folder chooser changes nothing; a choice lists that folder.
    generation = m.ListGeneration();
    EXPECT_FALSE(m.BrowseFolder());
    EXPECT_EQ(m.ListGeneration(), generation);
    EXPECT_EQ(m.FolderField(), other);
    tp.prompter().folderAnswers.push_back(ExcludeTrailingBackslash(backups));
    EXPECT_TRUE(m.BrowseFolder());
    EXPECT_EQ(m.FolderField(), backups);
    EXPECT_EQ(m.Entries(), Names{"A"});

    // A folder without backups leaves nothing of the last description.
    m.FolderFieldLeft(work);
    EXPECT_EQ(m.InfoLine(), "Keine Backupdatei gefunden!");
    EXPECT_EQ(m.DateText(), "");
    EXPECT_EQ(m.SizeText(), "");
    EXPECT_TRUE(Marked(m).empty());
    EXPECT_TRUE(m.MailFolders().empty());
}

TEST_F(ViewerModelTest, FolderWithEnvironmentReference) {
    const std::string folder = tp.TempDir() + "Mit Variable";
    MakeSimple(folder + "\\V.bvq");
    tp.SetEnvironment("BVBACKUPS", folder);
    ViewerModel m(tp.platform(), "");
    m.Open();
    m.FolderFieldLeft("%BVBACKUPS%");
    EXPECT_EQ(m.FolderField(), folder + "\\");
    EXPECT_EQ(m.Entries(), Names{"V"});
}

TEST_F(ViewerModelTest, PreselectsTheBackupFromTheCommandLine) {
    const std::string folder = tp.TempDir() + "Start\\";
    for (const char* name : {"A", "B", "C"}) MakeSimple(folder + name + ".bvq");
    MakeSimple(tp.TempDir() + "Einzeln\\Nur.bvq");
    struct Case {
        std::string startFile;
        int selected;
        std::string field;
    } cases[] = {
        {folder + "B.bvq", 1, folder},
        {folder + "C.bvq", 2, folder},
        {folder + "b.bvq", 0, folder},  // the comparison is exact
        {folder + "Fehlt.bvq", 0, folder},
        {tp.TempDir() + "Einzeln\\Nur.bvq", 0, tp.TempDir() + "Einzeln\\"},
        {"", -1, backups},
    };
    for (const Case& c : cases) {
        ViewerModel m(tp.platform(), c.startFile);
        m.Open();
        EXPECT_EQ(m.FolderField(), c.field) << c.startFile;
        EXPECT_EQ(m.SelectedIndex(), c.selected) << c.startFile;
        if (c.selected >= 0) { EXPECT_EQ(m.SelectedArchivePath(), c.field + m.Entries()[c.selected] + ".bvq"); }
    }
}

TEST_F(ViewerModelTest, DeletesWithQuestionAndLog) {
    for (const char* name : {"A", "B", "C"}) {
        MakeSimple(backups + name + ".bvq");
        ASSERT_TRUE(tp.WriteFile(backups + name + ".log", "Protokoll"));
    }
    ViewerModel m(tp.platform(), "");
    m.Open();
    m.SelectEntry(1);
    ASSERT_EQ(m.SelectedIndex(), 1);

    // No: nothing happens.
    tp.prompter().answers.push_back(MsgResult::No);
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::NotConfirmed);
    EXPECT_TRUE(FileExists(tp.files(), backups + "B.bvq"));
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text,
              "Hiermit löschen Sie das Backup unwiderruflich!\rStellen Sie sicher, dass mindestens "
              "ein Backup pro Identität vorhanden ist.\r\rMöchten Sie das Backup wirklich löschen? ");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
    EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkWarning, bsYesNo).style);

    // Yes: the archive and its log go; the entry at the same place is selected.
    tp.prompter().answers.push_back(MsgResult::Yes);
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::Deleted);
    EXPECT_FALSE(FileExists(tp.files(), backups + "B.bvq"));
    EXPECT_FALSE(FileExists(tp.files(), backups + "B.log"));
    EXPECT_TRUE(FileExists(tp.files(), backups + "A.log"));
    EXPECT_EQ(m.Entries(), (Names{"A", "C"}));
    EXPECT_EQ(m.SelectedIndex(), 1);
    EXPECT_FALSE(m.DateText().empty());
    EXPECT_EQ(Marked(m), std::vector<int>{vcFolderStructure});

    // The last entry: the new last one is selected.
    tp.prompter().answers.push_back(MsgResult::Yes);
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::Deleted);
    EXPECT_EQ(m.Entries(), Names{"A"});
    EXPECT_EQ(m.SelectedIndex(), 0);

    // The only entry: an empty list.
    tp.prompter().answers.push_back(MsgResult::Yes);
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::Deleted);
    EXPECT_TRUE(m.Entries().empty());
    EXPECT_FALSE(m.DeleteEnabled());
    EXPECT_EQ(m.InfoLine(), "Keine Backupdatei gefunden!");
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::NoSelection);
    EXPECT_EQ(tp.prompter().messages.size(), 4u);
    // A backup without a log file is deleted too.
    EXPECT_TRUE(tp.files().Find(backups + "*.bvq").empty());
}

TEST_F(ViewerModelTest, DeleteClickDuringAFolderRefillDeletesNothing) {
    const std::string other = tp.TempDir() + "Andere\\";
    MakeSimple(backups + "Alt.bvq");
    MakeSimple(other + "Erstes.bvq");
    MakeSimple(other + "Zweites.bvq");
    ViewerModel m(tp.platform(), "");
    m.Open();
    // The click begins while the typed folder is still in the field ...
    const uint32_t seen = m.ListGeneration();
    // ... leaving the field refills the list before the click arrives.
    m.FolderFieldLeft(other);
    tp.prompter().answers.push_back(MsgResult::Yes);
    EXPECT_EQ(m.DeleteSelected(seen), DeleteOutcome::Stale);
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_TRUE(FileExists(tp.files(), other + "Erstes.bvq"));
    EXPECT_TRUE(FileExists(tp.files(), backups + "Alt.bvq"));
    // A click on the list the user now sees works.
    EXPECT_EQ(m.DeleteSelected(m.ListGeneration()), DeleteOutcome::Deleted);
    EXPECT_FALSE(FileExists(tp.files(), other + "Erstes.bvq"));
    EXPECT_EQ(m.Entries(), Names{"Zweites"});
}

TEST_F(ViewerModelTest, DefectiveArchive) {
    ForceDirectories(tp.files(), backups);
    ASSERT_TRUE(tp.WriteFile(backups + "Kaputt.bvq", std::string(3000, 'k')));
    ViewerModel m(tp.platform(), "");
    m.Open();
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text, "Backupdatei ist defekt!!!");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
    EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkError, bsOk).style);
    EXPECT_FALSE(m.DateText().empty());
    EXPECT_EQ(m.SizeText(), FormatByteSize(3000, tp.system().DecimalSeparator()));
    EXPECT_TRUE(Marked(m).empty());
    EXPECT_TRUE(m.DeleteEnabled());
}

TEST_F(ViewerModelTest, ArchiveThatCannotBeOpenedShowsNoDate) {
    MakeSimple(backups + "A.bvq");
    MakeSimple(backups + "B.bvq");
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_FALSE(m.DateText().empty());
    ASSERT_TRUE(tp.files().DeleteFile(backups + "B.bvq"));
    m.SelectEntry(1);
    EXPECT_EQ(m.DateText(), "");
    EXPECT_EQ(m.SizeText(), "");
    EXPECT_TRUE(Marked(m).empty());
    EXPECT_TRUE(m.MailFolders().empty());
    EXPECT_TRUE(tp.prompter().messages.empty());
}

// A backup that another program holds open for writing (a copy in progress, a virus
// scanner) is still described.
TEST_F(ViewerModelTest, AnArchiveHeldOpenByAnotherProgramIsDescribed) {
    MakeSimple(backups + "Gehalten.bvq");
    auto held = tp.files().Open(backups + "Gehalten.bvq", OpenMode::ReadWrite);
    ASSERT_NE(held, nullptr);
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_FALSE(m.DateText().empty());
    EXPECT_FALSE(m.SizeText().empty());
    EXPECT_EQ(Captions(m).size(), 1u);
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(ViewerModelTest, PasswordProtectedArchive) {
    // A folder-name list left in the work folder by someone else must not be read.
    ForceDirectories(tp.files(), work);
    ASSERT_TRUE(tp.WriteFile(work + "REALNAME.TMP", "Inbox.dbx#~#Falsch\r\n"));
    MakeBackup(backups + "Geheim.bvq", FullContents(), Comment(kUpdateBackup, 1, "Haupt"), "Kennwort");
    MakeSimple(backups + "Offen.bvq");
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_EQ(m.InfoLine(), "Passwort geschütztes Backup");
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_FALSE(m.DateText().empty());
    EXPECT_FALSE(m.SizeText().empty());
    EXPECT_EQ(Captions(m), (Names{"Archiv 2025", "Gesendete Objekte", "Inbox"}));
    EXPECT_EQ(Marked(m), (std::vector<int>{vcFolderStructure, vcStationery, vcIEZones, vcCookies,
                                           vcOpera}));
    EXPECT_EQ(m.UpdateLine(), "1. aktualisiertes Update der Identität Haupt");

    // The next, unprotected backup clears the line.
    ASSERT_EQ(m.Entries(), (Names{"Geheim", "Offen"}));
    m.SelectEntry(1);
    EXPECT_EQ(m.InfoLine(), "");
}

TEST_F(ViewerModelTest, MissingWorkFolderSettingUsesTheSystemTemp) {
    Settings(tp.platform()).SetString("tmpFolder", "");
    MakeBackup(backups + "A.bvq", FullContents(), Comment(kFullBackup, 0, "H"));
    ViewerModel m(tp.platform(), "");
    m.Open();
    EXPECT_EQ(m.WorkFolder(), IncludeTrailingBackslash(tp.system().TempPath()));
    EXPECT_EQ(Captions(m), (Names{"alte #~# Post", "Gesendete Objekte", "Posteingang"}));
    EXPECT_FALSE(FileExists(tp.files(), m.WorkFolder() + "REALNAME.TMP"));
}

}  // namespace
}  // namespace bv
