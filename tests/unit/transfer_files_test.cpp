// The file steps of the transfer: stationery, user dictionaries, Internet Explorer favourites,
// Firefox bookmarks and Opera data from a backup put where the programs on the new machine
// read them; crafted archives that never reach outside the step's folders; and file faults
// that never leave a user's file half replaced or a step claiming success it did not have.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/transfer/file_transfer.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_platform.h"
#include "tests/unit/zip_test_support.h"

namespace bv {
namespace {

using test::FaultMode;
using test::FileOp;
using test::TestPlatform;
using test::ziptest::BuildRawZip;
using test::ziptest::RawEntry;

const char kProgram[] = "Windows Live Mail";
const char kStationeryMissing[] = "";
const char kDictionariesMissing[] =
    "Datei für die Benutzerwörterbücher befindet sich nicht im Backup!\rDas Einspielen dieser Datei wird übersprungen...";
const char kFavoritesMissing[] =
    "Datei für die IE-Favoriten-Übersicht befindet sich nicht im Backup!\rDas Einspielen dieser Datei wird übersprungen...";
const char kOperaMissing[] =
    "Datei mit den Opera-Favoriten befindet sich nicht im Backup!\rDas Einspielen dieser Datei wird übersprungen...";
const char kNoFirefoxProfile[] =
    "Kein Mozilla Firefox Profil gefunden, in dem die Favoriten hätten eingespielt werden können!\r\r"
    "Stattdessen werden die Daten in den angegebenen Ordner entpackt.";
const char kNoFirefoxDatabase[] = "Im Backup wurde keine Favoriten-Datenbank von Firefox gefunden!";
const char kNoOpera[] =
    "Opera ist auf diesem System nicht installiert, so dass auch die gesicherten Daten nicht "
    "eingespielt werden können!\r\rStattdessen werden die Daten in den angegebenen Ordner entpackt.";

enum class Step { Stationery, Dictionaries, Favorites, Firefox, Opera };

const char* StepName(Step s) {
    switch (s) {
        case Step::Stationery: return "Briefpapier";
        case Step::Dictionaries: return "Woerterbuecher";
        case Step::Favorites: return "IEFavoriten";
        case Step::Firefox: return "Firefox";
        case Step::Opera: return "Opera";
    }
    return "?";
}

FileStepResult RunStep(Step s, Platform& p, TZipReader& reader, const TransferTarget& target) {
    switch (s) {
        case Step::Stationery: return TransferStationeryFiles(p, reader, target);
        case Step::Dictionaries: return TransferDictionaries(p, reader, target);
        case Step::Favorites: return TransferIEFavorites(p, reader, target);
        case Step::Firefox: return TransferFirefoxBookmarks(p, reader, target);
        case Step::Opera: return TransferOperaData(p, reader, target);
    }
    return FileStepResult::Failed;
}

const char* ResultName(FileStepResult r) {
    switch (r) {
        case FileStepResult::NothingToDo: return "NothingToDo";
        case FileStepResult::Done: return "Done";
        case FileStepResult::Failed: return "Failed";
    }
    return "?";
}

uint32_t StyleOf(uint8_t kind) { return BuildMsgBox(kMessageCaption, kind, bsOk).style; }

std::string RelativeTo(const std::string& folder, const std::string& path) {
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0) << path << " is not below " << folder;
    return path.substr(folder.size());
}

class FileTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = tp.TempDir();
        neu = test::OePlaces::Below(root + "Neu");
        store = root + "Neu\\Store\\";
        target.mailProgram = kProgram;
        target.tempFolder = root + "Temp\\";
        target.unpackFolder = root + "Ziel\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), target.tempFolder));
        ASSERT_TRUE(ForceDirectories(tp.files(), store));
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, ProgramKey()), 0);
        Bytes data(store.begin(), store.end());
        data.push_back(0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, ProgramKey(), "Store Root", RegType::Sz, data), 0);
    }

    static std::string ProgramKey() { return std::string("Software\\Microsoft\\") + kProgram; }

    // The shell's folders of this machine (the POSIX backend only).
    void UseFolders(const test::OePlaces& places) {
        auto& folders = tp.Posix()->shell.folders;
        folders[Csidl::AppData] = places.appData;
        folders[Csidl::LocalAppData] = places.localAppData;
        folders[Csidl::Favorites] = places.favorites;
        folders[Csidl::Personal] = places.personal;
        folders[Csidl::ProgramFiles] = places.programFiles;
        folders[Csidl::ProgramFilesCommon] = places.commonFiles;
    }

    void SetOperaFolder(const std::string& folder) {
        Bytes data(folder.begin(), folder.end());
        data.push_back(0);
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, "Software\\Opera Software"), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, "Software\\Opera Software", "Last Directory3",
                                         RegType::Sz, data),
                  0);
    }

    // A backup by our own backup run of a generated identity on the "old machine" (its
    // folders below root\Alt); afterwards the shell's folders are those of the new one.
    void BackUp() {
        test::OeIdentityOptions options;
        options.places = test::OePlaces::Below(root + "Alt");
        options.storeFolder = root + "Alt\\Store";
        options.with = test::OeGroups::None();
        options.with.stationery = options.with.dictionaries = options.with.favorites = options.with.firefox =
            options.with.opera = true;
        options.mailFolders.clear();
        UseFolders(options.places);
        identity = test::OeIdentityBuilder(tp.platform()).Build(options);

        TIdentitaet chosen;
        for (const TIdentitaet& i : TIdentityScanner(tp.platform()).ListIdentities())
            if (i.KeyName == identity.keyName) chosen = i;
        ASSERT_EQ(chosen.KeyName, identity.keyName);
        BackupOptions o;
        o.identity = chosen;
        o.backupFolder = root + "Sicherungen";
        o.backupName = "Dateien";
        o.save[CBSave5] = o.save[CBSave6] = o.save[CBSave7] = o.save[CBSave9] = o.save[CBSave10] = true;
        test::RecordingView view;
        BackupRun run(tp.platform(), view, o);
        const BackupOutcome outcome = run.Execute();
        ASSERT_TRUE(outcome.succeeded) << outcome.statusText;
        archive = run.ArchivePath();
        UseFolders(neu);
    }

    // Firefox on the new machine: a profile "default" (and "Büro" when asked) with a
    // database of the user's own and an old copy of it lying beside it.
    void NewFirefox(bool withBuero) {
        const std::string ff = neu.appData + "\\Mozilla\\Firefox\\";
        std::vector<std::string> ini = {"[General]", "StartWithLastProfile=1", "", "[Profile0]", "Name=DEFAULT",
                                        "IsRelative=1", "Path=Profiles/neu00000.default", ""};
        if (withBuero) ini.insert(ini.end(), {"[Profile1]", "Name=Büro", "IsRelative=0", "Path=" + BueroProfile(), ""});
        Put(ff + "profiles.ini", Lines(ini));
        Put(DefaultProfile() + "places.sqlite", "meine Datenbank");
        Put(DefaultProfile() + "places.sqlite_mob", "alte Kopie");
        if (withBuero) Put(BueroProfile() + "\\bookmarks.html", "meine Lesezeichen");
    }
    std::string DefaultProfile() const { return neu.appData + "\\Mozilla\\Firefox\\Profiles\\neu00000.default\\"; }
    std::string BueroProfile() const { return neu.personal + "\\Büro-Profil"; }
    std::string OperaProfile() const { return neu.programFiles + "\\Opera\\profile\\"; }
    std::string StationeryFolder() const { return neu.localAppData + "\\Microsoft Shared\\Stationery\\"; }
    std::string FavoritesFolder() const { return neu.favorites + "\\"; }

    void NewOpera() {
        SetOperaFolder(neu.programFiles + "\\Opera");
        Put(OperaProfile() + "opera6.adr", "meine Lesezeichen");
    }

    static std::string Lines(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& l : lines) text += l + "\r\n";
        return text;
    }

    void Put(const std::string& path, const std::string& content) {
        ASSERT_TRUE(ForceDirectories(tp.files(), ExtractFilePath(path)));
        ASSERT_TRUE(tp.WriteFile(path, content));
    }

    std::string RawArchive(const std::vector<RawEntry>& entries, const std::string& comment = "") {
        const std::string path = root + "Roh" + std::to_string(++archives) + ".bvq";
        EXPECT_TRUE(tp.WriteFile(path, BuildRawZip(entries, comment)));
        return path;
    }

    // One step on one archive, with the reader prepared as the run prepares it; the run's
    // settings and archive are as they were afterwards.
    FileStepResult Transfer(Step step, const std::string& zip, Platform* platform = nullptr) {
        Platform& p = platform ? *platform : tp.platform();
        TZipReader reader(p);
        reader.SetZipName(zip);
        reader.SetOverwriteMode(TOverwriteMode::Always);
        reader.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
        reader.SetDestDir(root + "Entpackt");
        reader.ReadDirectory();
        const int entries = reader.EntryCount();
        int ends = 0;
        reader.OnEndUnZip = [&ends](TZipReader&, int, const std::string&) { ++ends; };
        const FileStepResult result = RunStep(step, p, reader, target);
        EXPECT_EQ(reader.ZipName(), zip);
        EXPECT_EQ(reader.DestDir(), root + "Entpackt");
        EXPECT_EQ(reader.OverwriteMode(), TOverwriteMode::Always);
        EXPECT_FALSE(reader.RecreateDirs());
        EXPECT_FALSE(reader.DoAll());
        EXPECT_EQ(reader.EntryCount(), entries);
        EXPECT_TRUE(static_cast<bool>(reader.OnEndUnZip));
        lastEnds = ends;
        return result;
    }

    std::vector<std::string> Messages(uint8_t kind) {
        std::vector<std::string> texts;
        for (const auto& m : tp.prompter().messages)
            if (m.style == StyleOf(kind)) texts.push_back(m.text);
        return texts;
    }

    std::map<std::string, std::string> Tree(const std::string& folder) { return test::FileTree(tp, folder); }
    // On the POSIX backend the whole machine is the test's own; on Windows its folder.
    std::string Machine() { return tp.Posix() ? std::string("C:\\") : root; }

    // What changed between two trees (added, removed or with other content).
    static std::set<std::string> Changes(const std::map<std::string, std::string>& before,
                                         const std::map<std::string, std::string>& after) {
        std::set<std::string> changed;
        for (const auto& [path, content] : after) {
            const auto old = before.find(path);
            if (old == before.end() || old->second != content) changed.insert(path);
        }
        for (const auto& [path, content] : before)
            if (!after.count(path)) changed.insert(path);
        return changed;
    }

    static bool Below(const std::string& path, const std::vector<std::string>& folders) {
        for (const std::string& f : folders)
            if (path.compare(0, f.size(), f) == 0) return true;
        return false;
    }

    void DeleteTree(const std::string& folder) {
        for (const FindEntry& e : tp.files().Find(folder + "*")) {
            if (e.IsDirectory()) {
                DeleteTree(folder + e.name + "\\");
                ASSERT_TRUE(tp.files().RemoveDirectory(folder + e.name));
            } else {
                ASSERT_TRUE(tp.files().DeleteFile(folder + e.name));
            }
        }
    }

    TestPlatform tp;
    std::string root, store, archive;
    test::OePlaces neu;
    TransferTarget target;
    test::OeIdentity identity;
    int archives = 0;
    int lastEnds = 0;
};

// ---- a backup of our own, carried to the new machine ------------------------------------------

TEST_F(FileTransferTest, EveryStepPutsTheBackedUpFilesWhereTheNewProgramsReadThem) {
    if (!tp.Posix()) GTEST_SKIP() << "the steps write into the user's real folders on Windows";
    BackUp();
    NewFirefox(true);
    NewOpera();
    Put(store + "UserDictionary.lex", "mein Wörterbuch");
    Put(StationeryFolder() + "Herbstlaub.htm", "mein Briefpapier");
    Put(FavoritesFolder() + "Startseite.url", "mein Favorit");
    Put(FavoritesFolder() + "Eigener.url", "bleibt");

    for (Step s : {Step::Stationery, Step::Dictionaries, Step::Favorites, Step::Firefox, Step::Opera})
        EXPECT_EQ(Transfer(s, archive), FileStepResult::Done) << StepName(s);
    EXPECT_TRUE(tp.prompter().messages.empty()) << tp.prompter().messages.front().text;

    // Stationery keeps its subfolders below the new stationery folder.
    ASSERT_EQ(identity.stationeryFiles.size(), 8u);
    for (const std::string& file : identity.stationeryFiles)
        EXPECT_EQ(tp.ReadFile(StationeryFolder() + RelativeTo(identity.stationeryFolder, file)), tp.ReadFile(file))
            << file;
    // Both dictionaries go into the store root; the last of the archive is the program's own.
    TZipReader reader(tp.platform());
    reader.SetZipName(archive);
    reader.ReadDirectory();
    std::vector<std::string> dictionaries;
    for (int i = 0; i < reader.EntryCount(); ++i)
        if (ExtractFileExt(reader.EntryName(i)) == ".dic" || ExtractFileExt(reader.EntryName(i)) == ".DIC")
            dictionaries.push_back(reader.EntryName(i));
    ASSERT_EQ(dictionaries.size(), 2u);
    EXPECT_EQ(tp.ReadFile(store + dictionaries[0]), tp.ReadFile(identity.dictionaryFolder + dictionaries[0]));
    EXPECT_EQ(tp.ReadFile(store + "UserDictionary.lex"), tp.ReadFile(identity.dictionaryFolder + dictionaries[1]));
    EXPECT_FALSE(FileExists(tp.files(), store + dictionaries[1]));
    // The favourites tree, the empty folder too; favourites of the new machine stay.
    for (const std::string& file : identity.favorites)
        EXPECT_EQ(tp.ReadFile(FavoritesFolder() + RelativeTo(identity.favoritesFolder, file)), tp.ReadFile(file))
            << file;
    for (const std::string& folder : identity.favoriteFolders)
        EXPECT_TRUE(DirectoryExists(tp.files(), FavoritesFolder() + RelativeTo(identity.favoritesFolder, folder)))
            << folder;
    EXPECT_EQ(tp.ReadFile(FavoritesFolder() + "Eigener.url"), "bleibt");
    // Firefox: the database copy became the matching profile's database; the other profile
    // got its bookmark file.
    EXPECT_EQ(tp.ReadFile(DefaultProfile() + "places.sqlite"), tp.ReadFile(identity.firefoxBookmarks[0]));
    EXPECT_FALSE(FileExists(tp.files(), DefaultProfile() + "places.sqlite_mob"));
    EXPECT_EQ(tp.ReadFile(BueroProfile() + "\\bookmarks.html"), tp.ReadFile(identity.firefoxBookmarks[1]));
    // Opera: the .adr files of the profile, nothing else of it.
    for (const std::string& file : identity.operaFiles)
        EXPECT_EQ(tp.ReadFile(OperaProfile() + ExtractFileName(file)), tp.ReadFile(file)) << file;
    EXPECT_FALSE(FileExists(tp.files(), OperaProfile() + "opera6.ini"));
    EXPECT_FALSE(DirectoryExists(tp.files(), OperaProfile() + "Sicherung"));
    // No staging file stays in the temporary folder.
    EXPECT_EQ(Tree(target.tempFolder), (std::map<std::string, std::string>{}));
}

TEST_F(FileTransferTest, WithoutFirefoxAndOperaTheirFilesGoIntoTheTargetFolder) {
    if (!tp.Posix()) GTEST_SKIP() << "the steps read the user's real folders on Windows";
    BackUp();
    SetOperaFolder(root + "Nirgends");

    EXPECT_EQ(Transfer(Step::Firefox, archive), FileStepResult::Failed);
    EXPECT_EQ(Transfer(Step::Opera, archive), FileStepResult::Failed);
    EXPECT_EQ(Messages(mkError), (std::vector<std::string>{kNoFirefoxProfile, kNoOpera}));

    // Each Firefox file in a folder named after its profile folder; the copy is the database.
    const std::string firefox = target.unpackFolder + "Firefox Favoriten\\";
    const std::string places = identity.firefoxBookmarks[0];
    const std::string profileFolder = ExtractFileName(ExcludeTrailingBackslash(ExtractFilePath(places)));
    EXPECT_EQ(tp.ReadFile(firefox + profileFolder + "\\places.sqlite"), tp.ReadFile(places));
    EXPECT_EQ(tp.ReadFile(firefox + "Firefox-Profil Büro\\bookmarks.html"), tp.ReadFile(identity.firefoxBookmarks[1]));
    std::map<std::string, std::string> expected = {
        {firefox + profileFolder + "\\", "<Ordner>"},
        {firefox + profileFolder + "\\places.sqlite", tp.ReadFile(places)},
        {firefox + "Firefox-Profil Büro\\", "<Ordner>"},
        {firefox + "Firefox-Profil Büro\\bookmarks.html", tp.ReadFile(identity.firefoxBookmarks[1])}};
    const std::string opera = target.unpackFolder + "Opera Favoriten\\";
    for (const std::string& file : identity.operaFiles) expected[opera + ExtractFileName(file)] = tp.ReadFile(file);
    std::map<std::string, std::string> unpacked = Tree(target.unpackFolder);
    unpacked.erase(firefox);
    unpacked.erase(opera);
    EXPECT_EQ(unpacked, expected);
}

TEST_F(FileTransferTest, OperaInTheApplicationDataFolderWhenItsRegisteredFolderIsGone) {
    if (!tp.Posix()) GTEST_SKIP() << "the step reads the user's real folders on Windows";
    BackUp();
    SetOperaFolder(root + "Nirgends");
    const std::string profile = neu.appData + "\\Opera\\Opera\\profile\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), profile));
    EXPECT_EQ(Transfer(Step::Opera, archive), FileStepResult::Done);
    for (const std::string& file : identity.operaFiles)
        EXPECT_EQ(tp.ReadFile(profile + ExtractFileName(file)), tp.ReadFile(file));
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(FileTransferTest, AnArchiveWithoutTheirFilesMakesEachStepSayWhatIsMissing) {
    if (!tp.Posix()) GTEST_SKIP() << "the steps read the user's real folders on Windows";
    UseFolders(neu);
    NewFirefox(false);
    NewOpera();
    Put(FavoritesFolder() + "Startseite.url", "mein Favorit");
    const std::string zip = RawArchive({{"ACCOUNTS.OLS", "REGEDIT4\r\n"}, {"Inbox.dbx", "x"}});
    const std::map<std::string, std::string> before = Tree(Machine());
    const struct {
        Step step;
        FileStepResult result;
        const char* message;
        uint8_t kind;
    } cases[] = {
        {Step::Stationery, FileStepResult::NothingToDo, kStationeryMissing, mkInformation},
        {Step::Dictionaries, FileStepResult::NothingToDo, kDictionariesMissing, mkInformation},
        {Step::Favorites, FileStepResult::NothingToDo, kFavoritesMissing, mkInformation},
        {Step::Opera, FileStepResult::NothingToDo, kOperaMissing, mkInformation},
        // A profile that nothing of the backup matches is a failure of its own.
        {Step::Firefox, FileStepResult::Failed, kNoFirefoxDatabase, mkError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(StepName(c.step));
        tp.prompter().messages.clear();
        EXPECT_EQ(Transfer(c.step, zip), c.result);
        const std::vector<std::string> expected =
            std::string(c.message).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message};
        EXPECT_EQ(Messages(c.kind), expected);
        EXPECT_EQ(tp.prompter().messages.size(), expected.size());
    }
    EXPECT_EQ(Changes(before, Tree(Machine())), std::set<std::string>{});
}

TEST_F(FileTransferTest, ASavedProfileIsMatchedByItsFolderAndNameWithoutRegardToCase) {
    if (!tp.Posix()) GTEST_SKIP() << "the step reads the user's real folders on Windows";
    UseFolders(neu);
    NewFirefox(false);
    const std::string comment = "[BackupInfo]\r\n[Profile0]\r\nName=default\r\nPath=Profiles\\alt00000.default\r\n"
                                "[Profile1]\r\nName=fremd\r\nPath=Profiles\\x.fremd\r\n";
    const struct {
        const char* name;
        const char* text;
        bool taken;
    } entries[] = {
        // A file of another profile whose folder merely contains the name.
        {"Daten/Mozilla/Firefox/Profiles/alt00000.default-alt/places.sqlite_mob", "falsch", false},
        {"Daten/Mozilla/Firefox/Profiles/x.fremd/places.sqlite_mob", "fremd", false},
        {"Daten/Mozilla/Firefox/Profiles/alt00000.default/notiz.txt", "keine Datenbank", false},
        {"Daten/Mozilla/Firefox/Profiles/ALT00000.DEFAULT/places.sqlite_mob", "richtig", true},
    };
    std::vector<RawEntry> raw;
    for (const auto& e : entries) raw.push_back({e.name, e.text});
    EXPECT_EQ(Transfer(Step::Firefox, RawArchive(raw, comment)), FileStepResult::Done);
    EXPECT_EQ(tp.ReadFile(DefaultProfile() + "places.sqlite"), "richtig");
    EXPECT_FALSE(FileExists(tp.files(), DefaultProfile() + "places.sqlite_mob"));
    EXPECT_TRUE(tp.prompter().messages.empty());
}

// ---- what a crafted archive can reach ------------------------------------------------------

TEST_F(FileTransferTest, ACraftedStationeryListPlacesOnlyListedFilesBelowTheStationeryFolder) {
    if (!tp.Posix()) GTEST_SKIP() << "the step writes into the user's real folders on Windows";
    UseFolders(neu);
    // Where an unsafe transfer would write: beside and above the stationery folder.
    Put(neu.localAppData + "\\Microsoft Shared\\boese.htm", "Opfer");
    Put("C:\\boese.htm", "Opfer");
    Put(StationeryFolder() + "gut.htm", "alt");
    const std::string list = Lines({"C:\\Alt\\Stationery\\", "C:\\Alt\\Stationery\\gut.htm",
                                    "C:\\Alt\\Stationery\\Bilder\\bild.gif", "C:\\Alt\\Stationery\\", "",
                                    "C:\\Alt\\Stationery\\boese.htm", "C:\\Anderswo\\fremd.htm"});
    const struct {
        const char* what;
        std::vector<RawEntry> evil;  // after the good entries
        FileStepResult result;
        std::vector<std::string> errors;
    } cases[] = {
        {"nur gute", {}, FileStepResult::Done, {}},
        {"Name enthält nur einen gelisteten Namen",
         {{"Alt/Stationery/xgut.htm", "x"}, {"Alt/Stationery/gut.htm.exe", "x"}, {"Alt/Stationery/Sub/", ""}},
         FileStepResult::Done,
         {}},
        {"zurück aus dem Ordner", {{"Alt/Stationery/../boese.htm", "böse"}}, FileStepResult::Failed,
         {"Datei boese.htm konnte nicht eingespielt werden!"}},
        {"zurück mit Backslash", {{"Alt\\Stationery\\..\\..\\boese.htm", "böse"}}, FileStepResult::Failed,
         {"Datei boese.htm konnte nicht eingespielt werden!"}},
        {"absolut", {{"/boese.htm", "böse"}}, FileStepResult::Failed,
         {"Datei boese.htm konnte nicht eingespielt werden!"}},
        {"mit Laufwerk", {{"C:/boese.htm", "böse"}}, FileStepResult::Failed,
         {"Datei boese.htm konnte nicht eingespielt werden!"}},
        {"Punkte und Leerzeichen", {{"Alt/Stationery/.. /boese.htm", "böse"}}, FileStepResult::Failed,
         {"Datei boese.htm konnte nicht eingespielt werden!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tp.prompter().messages.clear();
        ASSERT_TRUE(tp.WriteFile(StationeryFolder() + "gut.htm", "alt"));
        std::vector<RawEntry> entries = {{"PAPER.TMP", list},
                                         {"Alt/Stationery/gut.htm", "neu"},
                                         {"Alt/Stationery/Bilder/bild.gif", "GIF"},
                                         // Not below the old folder: kept under its whole path.
                                         {"Anderswo/fremd.htm", "fremd"}};
        entries.insert(entries.end(), c.evil.begin(), c.evil.end());
        const std::string zip = RawArchive(entries);
        const std::map<std::string, std::string> before = Tree(Machine());
        EXPECT_EQ(Transfer(Step::Stationery, zip), c.result);
        EXPECT_EQ(Messages(mkError), c.errors);
        const std::set<std::string> changed = Changes(before, Tree(Machine()));
        for (const std::string& path : changed)
            EXPECT_TRUE(Below(path, {StationeryFolder()})) << path << " changed outside the stationery folder";
        EXPECT_EQ(tp.ReadFile(StationeryFolder() + "gut.htm"), "neu");
        EXPECT_EQ(tp.ReadFile(StationeryFolder() + "Bilder\\bild.gif"), "GIF");
        EXPECT_EQ(tp.ReadFile(StationeryFolder() + "Anderswo\\fremd.htm"), "fremd");
        EXPECT_FALSE(FileExists(tp.files(), StationeryFolder() + "xgut.htm"));
        EXPECT_FALSE(FileExists(tp.files(), StationeryFolder() + "gut.htm.exe"));
        EXPECT_FALSE(FileExists(tp.files(), target.tempFolder + "PAPER.TMP"));
    }
    EXPECT_EQ(tp.ReadFile("C:\\boese.htm"), "Opfer");
    EXPECT_EQ(tp.ReadFile(neu.localAppData + "\\Microsoft Shared\\boese.htm"), "Opfer");
}

TEST_F(FileTransferTest, CraftedPathsOfDictionariesAndOperaFilesStayInTheirFolders) {
    SetOperaFolder(root + "Opera");
    ASSERT_TRUE(ForceDirectories(tp.files(), root + "Opera\\profile\\"));
    Put(root + "Neu\\boese.dic", "Opfer");
    Put(root + "boese.adr", "Opfer");
    Put(store + "UserDictionary.lex", "mein Wörterbuch");
    const struct {
        Step step;
        const char* name;
        std::string folder;  // where a safe entry of the same name goes
    } cases[] = {
        {Step::Dictionaries, "../boese.dic", store},      {Step::Dictionaries, "..\\..\\boese.dic", store},
        {Step::Dictionaries, "/boese.dic", store},        {Step::Dictionaries, "C:/boese.dic", store},
        {Step::Opera, "../boese.adr", root + "Opera\\profile\\"}, {Step::Opera, "/tmp/../boese.adr", root + "Opera\\profile\\"},
        {Step::Opera, "C:boese.adr", root + "Opera\\profile\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tp.prompter().messages.clear();
        // The crafted entry comes last: a dictionary that would become the program's own.
        const std::string zip = RawArchive({{c.step == Step::Opera ? "a/gut.adr" : "gut.dic", "gut"}, {c.name, "böse"}});
        const std::map<std::string, std::string> before = Tree(Machine());
        EXPECT_EQ(Transfer(c.step, zip), FileStepResult::Failed);
        EXPECT_EQ(Messages(mkError), std::vector<std::string>{c.step == Step::Opera
                                                                  ? "Datei mit den Opera-Favoriten konnte nicht eingespielt werden!"
                                                                  : "Datei für die Benutzerwörterbücher konnte nicht eingespielt werden!"});
        for (const std::string& path : Changes(before, Tree(Machine())))
            EXPECT_TRUE(Below(path, {c.folder})) << path << " changed outside " << c.folder;
        EXPECT_EQ(tp.ReadFile(store + "UserDictionary.lex"), "mein Wörterbuch");
    }
    EXPECT_EQ(tp.ReadFile(root + "Neu\\boese.dic"), "Opfer");
    EXPECT_EQ(tp.ReadFile(root + "boese.adr"), "Opfer");
}

TEST_F(FileTransferTest, CraftedFavouritesAndFirefoxFilesStayInTheirFolders) {
    if (!tp.Posix()) GTEST_SKIP() << "the steps write into the user's real folders on Windows";
    UseFolders(neu);
    Put(neu.favorites + "-boese.url", "Opfer");
    Put(root + "Ziel\\boese.html", "Opfer");
    Put(FavoritesFolder() + "gut.url", "alt");
    // The inner archive with its own crafted names.
    const std::string inner = BuildRawZip({{"gut.url", "neu"},
                                           {"Ordner/", ""},
                                           {"Ordner/../../boese.url", "böse"},
                                           {"/boese.url", "böse"},
                                           {"C:/boese.url", "böse"}});
    const struct {
        Step step;
        std::vector<RawEntry> entries;
        std::vector<std::string> errors;
        std::vector<std::string> folders;  // where anything may change
    } cases[] = {
        {Step::Favorites, {{"iefav.zip", inner}}, {"Fehler beim Entpacken der IE-Favoriten!"}, {FavoritesFolder(), target.tempFolder}},
        {Step::Favorites, {{"../iefav.zip", inner}},
         {"Datei für die IE-Favoriten-Übersicht konnte nicht eingespielt werden!"}, {target.tempFolder}},
        // Without a Firefox profiles folder everything goes below the target folder.
        {Step::Firefox,
         {{"Mozilla/Firefox/Profiles/a.default/places.sqlite_mob", "gut"},
          {"Mozilla/Firefox/Profiles/../../../../boese/bookmarks.html", "böse"}},
         {kNoFirefoxProfile, "Datei mit den Firefox-Favoriten konnte nicht eingespielt werden!"},
         {target.unpackFolder + "Firefox Favoriten\\"}},
        {Step::Firefox, {{"../bookmarks.html", "böse"}},
         {kNoFirefoxProfile, "Datei mit den Firefox-Favoriten konnte nicht eingespielt werden!"},
         {target.unpackFolder + "Firefox Favoriten\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(StepName(c.step) + std::string(" ") + c.entries.front().name);
        tp.prompter().messages.clear();
        const std::string zip = RawArchive(c.entries);
        const std::map<std::string, std::string> before = Tree(Machine());
        EXPECT_EQ(Transfer(c.step, zip), FileStepResult::Failed);
        EXPECT_EQ(Messages(mkError), c.errors);
        for (const std::string& path : Changes(before, Tree(Machine())))
            EXPECT_TRUE(Below(path, c.folders)) << path << " changed outside the step's folders";
    }
    EXPECT_EQ(tp.ReadFile(FavoritesFolder() + "gut.url"), "neu");
    EXPECT_EQ(tp.ReadFile(target.unpackFolder + "Firefox Favoriten\\a.default\\places.sqlite"), "gut");
    EXPECT_EQ(tp.ReadFile(neu.favorites + "-boese.url"), "Opfer");
    EXPECT_EQ(tp.ReadFile(root + "Ziel\\boese.html"), "Opfer");
    EXPECT_FALSE(FileExists(tp.files(), target.tempFolder + "iefav.zip"));
}

// A cancel during the favourites stops the run; the run's reader is back on its archive
// with its own settings, so the run can go on to its end.
TEST_F(FileTransferTest, ACancelPassesToTheRunWithTheReaderAsTheRunHadIt) {
    if (!tp.Posix()) GTEST_SKIP() << "the step writes into the user's real folders on Windows";
    UseFolders(neu);
    const std::string inner = BuildRawZip({{"a.url", "a"}, {"b.url", "b"}, {"c.url", "c"}});
    const std::string zip = RawArchive({{"iefav.zip", inner}, {"gut.dic", "x"}});
    TZipReader reader(tp.platform());
    reader.SetZipName(zip);
    reader.SetOverwriteMode(TOverwriteMode::Always);
    reader.SetDestDir(root + "Entpackt");
    reader.ReadDirectory();
    reader.OnStartUnZip = [](TZipReader& sender, int, std::string& name, bool&) {
        if (ExtractFileName(name) == "b.url") sender.AbortOperation();
    };
    EXPECT_THROW(TransferIEFavorites(tp.platform(), reader, target), EZipAborted);
    EXPECT_EQ(reader.ZipName(), zip);
    EXPECT_EQ(reader.DestDir(), root + "Entpackt");
    EXPECT_FALSE(reader.RecreateDirs());
    EXPECT_FALSE(reader.DoAll());
    ASSERT_EQ(reader.EntryCount(), 2);
    EXPECT_EQ(reader.EntryName(1), "gut.dic");
    EXPECT_FALSE(FileExists(tp.files(), FavoritesFolder() + "c.url"));
}

// ---- copies that are not this step's own ---------------------------------------------------

TEST_F(FileTransferTest, AStationeryListOfAnEarlierRunIsNeverRead) {
    if (!tp.Posix()) GTEST_SKIP() << "the step writes into the user's real folders on Windows";
    UseFolders(neu);
    Put(StationeryFolder() + "gut.htm", "mein Briefpapier");
    const std::string stale = Lines({"C:\\Alt\\", "C:\\Alt\\gut.htm"});
    const std::string list = Lines({"C:\\Alt\\", "C:\\Alt\\anderes.htm"});
    const struct {
        const char* what;
        bool leftoverIsFolder;  // a leftover that cannot be removed
        bool listBroken;        // the archive's list cannot be unpacked
    } cases[] = {{"Liste kaputt", false, true}, {"Rest nicht löschbar", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tp.prompter().messages.clear();
        if (c.leftoverIsFolder) {
            ASSERT_TRUE(ForceDirectories(tp.files(), target.tempFolder + "PAPER.TMP\\"));
        } else {
            Put(target.tempFolder + "PAPER.TMP", stale);
        }
        RawEntry paper{"PAPER.TMP", list};
        paper.badCrc = c.listBroken;
        const std::string zip = RawArchive({paper, {"Alt/gut.htm", "aus dem Backup"}});
        EXPECT_EQ(Transfer(Step::Stationery, zip), FileStepResult::Failed);
        EXPECT_EQ(Messages(mkError),
                  std::vector<std::string>{"Datei für die Briefpapier-Übersicht konnte nicht eingespielt werden!"});
        EXPECT_EQ(tp.ReadFile(StationeryFolder() + "gut.htm"), "mein Briefpapier");
        if (c.leftoverIsFolder) {
            ASSERT_TRUE(tp.files().RemoveDirectory(target.tempFolder + "PAPER.TMP"));
        }
    }
}

TEST_F(FileTransferTest, TheUsersDictionaryAndDatabaseGiveWayOnlyToCopiesThisStepWrote) {
    // A copy of the same name is there already; the archive's own cannot be unpacked.
    Put(store + "CUSTOM.DIC", "alte Kopie");
    Put(store + "UserDictionary.lex", "mein Wörterbuch");
    RawEntry dictionary{"CUSTOM.DIC", "neu"};
    dictionary.badCrc = true;
    EXPECT_EQ(Transfer(Step::Dictionaries, RawArchive({{"anderes.dic", "anders"}, dictionary})), FileStepResult::Failed);
    EXPECT_EQ(Messages(mkError),
              std::vector<std::string>{"Datei für die Benutzerwörterbücher konnte nicht eingespielt werden!"});
    EXPECT_EQ(tp.ReadFile(store + "UserDictionary.lex"), "mein Wörterbuch");
    EXPECT_EQ(tp.ReadFile(store + "CUSTOM.DIC"), "alte Kopie");

    if (!tp.Posix()) return;  // Firefox's folders are the user's real ones on Windows
    tp.prompter().messages.clear();
    UseFolders(neu);
    NewFirefox(false);
    RawEntry places{"Mozilla/Firefox/Profiles/alt.default/places.sqlite_mob", "neu"};
    places.badCrc = true;
    const std::string comment = "[Profile0]\r\nName=default\r\nPath=Profiles\\alt.default\r\n";
    EXPECT_EQ(Transfer(Step::Firefox, RawArchive({places}, comment)), FileStepResult::Failed);
    EXPECT_EQ(Messages(mkError),
              std::vector<std::string>{"Datei mit den Firefox-Favoriten konnte nicht eingespielt werden!"});
    EXPECT_EQ(tp.ReadFile(DefaultProfile() + "places.sqlite"), "meine Datenbank");
}

// ---- file faults ----------------------------------------------------------------------------

// The faults of one step on the backup of the generated identity: every operation of every
// kind fails once, and from there on, in turn.
class FileTransferFaultTest : public FileTransferTest, public ::testing::WithParamInterface<Step> {
protected:
    // The new machine as the step finds it, made afresh for every fault.
    void Prepare() {
        for (const std::string& folder : {root + "Neu\\", target.tempFolder, target.unpackFolder}) {
            if (DirectoryExists(tp.files(), folder)) DeleteTree(folder);
            ASSERT_TRUE(ForceDirectories(tp.files(), folder));
        }
        ASSERT_TRUE(ForceDirectories(tp.files(), store));
        NewFirefox(false);
        NewOpera();
        Put(store + "UserDictionary.lex", "mein Wörterbuch");
        Put(StationeryFolder() + "Herbstlaub.htm", "mein Briefpapier");
        Put(StationeryFolder() + "Eigene\\Vereinsbrief.htm", "mein Vereinsbrief");
        Put(FavoritesFolder() + "Startseite.url", "mein Favorit");
        Put(FavoritesFolder() + "Nachrichten\\Wetter.url", "mein Wetter");
    }

    // The files the step replaces or writes, with what a complete transfer leaves in them.
    std::map<std::string, std::string> Expected() {
        std::map<std::string, std::string> files;
        switch (GetParam()) {
            case Step::Stationery:
                for (const std::string& f : identity.stationeryFiles)
                    files[StationeryFolder() + RelativeTo(identity.stationeryFolder, f)] = tp.ReadFile(f);
                break;
            case Step::Dictionaries: {
                TZipReader reader(tp.platform());
                reader.SetZipName(archive);
                reader.ReadDirectory();
                std::string last;
                for (int i = 0; i < reader.EntryCount(); ++i)
                    if (SameText(ExtractFileExt(reader.EntryName(i)), ".dic")) last = reader.EntryName(i);
                files[store + "UserDictionary.lex"] = tp.ReadFile(identity.dictionaryFolder + last);
                break;
            }
            case Step::Favorites:
                for (const std::string& f : identity.favorites)
                    files[FavoritesFolder() + RelativeTo(identity.favoritesFolder, f)] = tp.ReadFile(f);
                break;
            case Step::Firefox:
                files[DefaultProfile() + "places.sqlite"] = tp.ReadFile(identity.firefoxBookmarks[0]);
                break;
            case Step::Opera:
                for (const std::string& f : identity.operaFiles)
                    files[OperaProfile() + ExtractFileName(f)] = tp.ReadFile(f);
                break;
        }
        return files;
    }
};

TEST_P(FileTransferFaultTest, AUsersFileIsOldOrWholeAndOnlyADoneStepLeftNoneOld) {
    if (!tp.Posix()) GTEST_SKIP() << "the steps write into the user's real folders on Windows";
    BackUp();
    Prepare();
    const std::map<std::string, std::string> expected = Expected();
    std::map<std::string, std::string> old;
    for (const auto& [path, content] : expected)
        if (FileExists(tp.files(), path)) old[path] = tp.ReadFile(path);
    ASSERT_FALSE(old.empty());
    // A transfer of a single file is all or nothing.
    const bool single = expected.size() == 1;

    test::FaultyFiles counting(tp.files());
    {
        Platform p{tp.registry(), counting, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        ASSERT_EQ(Transfer(GetParam(), archive, &p), FileStepResult::Done);
        ASSERT_TRUE(tp.prompter().messages.empty());
        for (const auto& [path, content] : expected) ASSERT_EQ(tp.ReadFile(path), content) << path;
    }

    int cases = 0, notDone = 0;
    for (FileOp op : test::AllFileOps()) {
        const int seen = counting.Seen(op);
        // Every operation of the kind, or an even spread of them where there are many (the
        // reads of the archive), the last one always.
        constexpr int kPoints = 24;
        std::set<int> points;
        for (int k = 0; k < std::min(seen, kPoints); ++k)
            points.insert(1 + static_cast<int>(int64_t{k} * seen / std::min(seen, kPoints)));
        if (seen > 0) points.insert(seen);
        for (int at : points) {
            for (FaultMode mode : {FaultMode::Once, FaultMode::Lasting}) {
                SCOPED_TRACE(std::string(test::FileOpName(op)) + " #" + std::to_string(at) + " " +
                             test::FaultModeName(mode));
                Prepare();
                tp.prompter().messages.clear();
                test::FaultyFiles faulty(tp.files());
                faulty.FailAt(op, at, mode);
                Platform p{tp.registry(), faulty, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
                bool threw = false;
                FileStepResult result = FileStepResult::Failed;
                try {
                    result = Transfer(GetParam(), archive, &p);
                } catch (const EZipError&) {
                    threw = true;  // the run's archive could not be read: passes to the run
                }
                ++cases;
                const std::vector<std::string> errors = Messages(mkError);
                if (result == FileStepResult::Done && !threw) {
                    // Done means every file is the new one, and nothing was reported.
                    for (const auto& [path, content] : expected) EXPECT_EQ(tp.ReadFile(path), content) << path;
                    EXPECT_TRUE(errors.empty()) << errors.front();
                } else {
                    ++notDone;
                    EXPECT_EQ(result, FileStepResult::Failed) << ResultName(result);
                    if (!threw) {
                        EXPECT_FALSE(errors.empty()) << "a failure nobody was told of";
                    }
                    for (const auto& [path, content] : old) {
                        const std::string now = tp.ReadFile(path);
                        if (single) EXPECT_EQ(now, content) << path << " replaced by a step that did not finish";
                        else EXPECT_TRUE(now == content || now == expected.at(path)) << path << " is neither old nor new";
                    }
                }
                for (const auto& [path, content] : expected) {
                    if (!old.count(path) && FileExists(tp.files(), path)) {
                        EXPECT_EQ(tp.ReadFile(path), content) << path << " written incompletely";
                    }
                }
            }
        }
    }
    EXPECT_GT(cases, 20);
    // Faults that matter were seen and reported.
    EXPECT_GT(notDone, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FileTransferFaultTest,
                         ::testing::Values(Step::Stationery, Step::Dictionaries, Step::Favorites, Step::Firefox,
                                           Step::Opera),
                         [](const ::testing::TestParamInfo<Step>& info) { return std::string(StepName(info.param)); });

}  // namespace
}  // namespace bv
