// The parameter file of an unattended backup: what the wizard writes (read back as plain
// text, section by section), what the run reads from it, where it goes, and the two
// commands that wrap it in a batch file or a shortcut.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "brevisto/automation/automation_commands.h"
#include "brevisto/automation/parameter_file.h"
#include "brevisto/automation/password_cipher.h"
#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const char kGid[] = "\\{0D1E2F3A-4B5C-6D7E-8F90-A1B2C3D4E5F6}\\";

// One "key=value" line of an ini text with the section it stands in.
struct IniLine {
    std::string section, key, value;
};

// The entries of an ini text in file order; blank lines left out.
std::vector<IniLine> ParseIni(const std::string& text) {
    std::vector<IniLine> lines;
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        lines.push_back({section, line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1)});
    }
    return lines;
}

std::string Render(const std::vector<IniLine>& lines) {
    std::string out;
    for (const IniLine& l : lines) out += "[" + l.section + "] " + l.key + "=" + l.value + "\n";
    return out;
}

std::vector<std::string> Sections(const std::vector<IniLine>& lines) {
    std::vector<std::string> out;
    for (const IniLine& l : lines)
        if (out.empty() || out.back() != l.section) out.push_back(l.section);
    return out;
}

// Which check box each key of [OESetup] and [IESetup] stands for.
struct OptionKey {
    SaveOption option;
    const char* section;
    const char* key;
};
const OptionKey kOptionKeys[] = {
    {CBSave0, "OESetup", "OE0"},  {CBSave1, "OESetup", "OE1"},   {CBSave2, "OESetup", "OE2"},
    {CBSave3, "OESetup", "OE3"},  {CBSave4, "OESetup", "OE4"},   {CBSave5, "OESetup", "OE5"},
    {CBSave7, "OESetup", "OE6"},  {CBSave8, "OESetup", "OE7"},   {CBSave9, "OESetup", "OE8"},
    {CBSave10, "OESetup", "OE9"}, {CBSave11, "OESetup", "OE10"}, {CBSave6, "IESetup", "IE0"},
};

class ParameterFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        tp.SetEnvironment("BVTESTROOT", ExcludeTrailingBackslash(tp.TempDir()));
        ASSERT_TRUE(ForceDirectories(tp.files(), store));
        ASSERT_TRUE(ForceDirectories(tp.files(), backup));
    }

    AutomationChoices Choices() {
        AutomationChoices c;
        c.identity.Index = 3;
        c.identity.Username = "Hauptidentit\xE4t";
        c.identity.KeyName = kGid;
        c.identity.StoreRoot = "%BVTESTROOT%\\Store";
        c.tempFolder = "%BVTESTROOT%\\Temp";
        c.backupFolder = "%BVTESTROOT%\\Sicherung";
        c.password = "Geheim \xE4\xF6\xFC";
        c.backupKind = bkFull;
        c.folders = {{0, "Posteingang.dbx", "Posteingang"},
                     {3, "Gesendete Objekte.dbx", "Gesendete Objekte"},
                     {7, "Archiv.dbx", "Archiv (alt)"}};
        c.save[CBSave0] = true;
        c.save[CBSave2] = true;
        c.save[CBSave6] = true;
        c.save[CBSave7] = true;
        c.save[CBSave11] = true;
        return c;
    }

    std::string Write(const AutomationChoices& c, const std::string& name = "Nacht.BVT") {
        const std::string path = tp.TempDir() + name;
        EXPECT_TRUE(WriteParameterFileAt(tp.platform(), c, path));
        return path;
    }

    test::TestPlatform tp;
    const std::string store = tp.TempDir() + "Store\\";
    const std::string backup = tp.TempDir() + "Sicherung\\";
};

TEST_F(ParameterFileTest, FullBackupIsWrittenSectionBySectionInOrder) {
    AutomationChoices c = Choices();
    const std::string path = Write(c);
    const auto lines = ParseIni(tp.ReadFile(path));

    std::vector<IniLine> expected = {
        {"Identity", "Name", "Hauptidentit\xE4t"},
        {"Identity", "MailPath", store},
        {"Identity", "GID", kGid},
        {"Setup", "TempPath", tp.TempDir() + "Temp\\"},
        {"Setup", "SavePath", backup},
        {"Setup", "Passwort", PasswordToText(c.password)},
        {"Backup", "UPDATE", "0"},
        {"Folders", "F0", "Posteingang.dbx"},
        {"Folders", "F3", "Gesendete Objekte.dbx"},
        {"Folders", "F7", "Archiv.dbx"},
        {"FoldersRealName", "F0", "Posteingang"},
        {"FoldersRealName", "F3", "Gesendete Objekte"},
        {"FoldersRealName", "F7", "Archiv (alt)"},
    };
    for (const OptionKey& k : kOptionKeys)
        expected.push_back({k.section, k.key, c.save[k.option] ? "1" : "0"});
    // [IESetup] comes last, after every OE key in numeric order.
    EXPECT_EQ(Render(lines), Render(expected));
    EXPECT_EQ(Sections(lines), (std::vector<std::string>{"Identity", "Setup", "Backup", "Folders",
                                                         "FoldersRealName", "OESetup", "IESetup"}));

    // The password is not in the file as it is, but comes back from it.
    const std::string text = PasswordToText(c.password);
    EXPECT_EQ(tp.ReadFile(path).find(c.password), std::string::npos);
    EXPECT_EQ(DecipherPassword(Base64Decode(text)), c.password);
}

TEST_F(ParameterFileTest, AnOldFileIsReplacedNotMerged) {
    const std::string path = tp.TempDir() + "Nacht.BVT";
    ASSERT_TRUE(tp.WriteFile(path, "[Alt]\r\nReste=1\r\n[Folders]\r\nF99=weg.dbx\r\n"));
    Write(Choices());
    const std::string text = tp.ReadFile(path);
    EXPECT_EQ(text.find("Alt"), std::string::npos);
    EXPECT_EQ(text.find("F99"), std::string::npos);
    EXPECT_EQ(text.find("weg.dbx"), std::string::npos);
}

TEST_F(ParameterFileTest, UpdateAndAllFoldersWriteAllInsteadOfTheFolderList) {
    struct Case {
        const char* title;
        int kind;
        bool all;
        const char* update;
    };
    const Case cases[] = {
        {"update backup", bkUpdate, false, "1"},
        {"update backup, all folders", bkUpdate, true, "1"},
        {"full backup, all folders", bkFull, true, "0"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.title);
        AutomationChoices c = Choices();
        c.backupKind = k.kind;
        c.allFolders = k.all;
        const auto lines = ParseIni(tp.ReadFile(Write(c)));
        EXPECT_EQ(Sections(lines),
                  (std::vector<std::string>{"Identity", "Setup", "Backup", "AllFolders", "OESetup", "IESetup"}));
        std::map<std::string, std::string> values;
        for (const IniLine& l : lines) values[l.section + "/" + l.key] = l.value;
        EXPECT_EQ(values["Backup/UPDATE"], k.update);
        EXPECT_EQ(values["AllFolders/ALL"], "1");
        for (const IniLine& l : lines) EXPECT_NE(l.value, "Posteingang.dbx");
    }
}

TEST_F(ParameterFileTest, WrittenChoicesReadBack) {
    AutomationChoices c = Choices();
    // Two of the three listed folders have their file.
    ASSERT_TRUE(tp.WriteFile(store + "Posteingang.dbx", "x"));
    ASSERT_TRUE(tp.WriteFile(store + "Archiv.dbx", "y"));
    const ParameterFile p = ReadParameterFile(tp.platform(), Write(c));

    EXPECT_EQ(p.identity.Index, 0);
    EXPECT_EQ(p.identity.Username, "Hauptidentit\xE4t");
    EXPECT_EQ(p.identity.KeyName, kGid);
    EXPECT_EQ(p.identity.StoreRoot, store);
    EXPECT_EQ(p.backupFolder, backup);
    EXPECT_EQ(p.password, c.password);
    EXPECT_FALSE(p.passwordUnreadable);
    EXPECT_FALSE(p.allFolders);
    EXPECT_EQ(p.folderNames,
              (std::vector<std::string>{"Posteingang", "Gesendete Objekte", "Archiv (alt)"}));
    ASSERT_EQ(p.autoFolders.size(), 2u);
    EXPECT_EQ(p.autoFolders[0].path, store + "Posteingang.dbx");
    EXPECT_EQ(p.autoFolders[0].name, "Posteingang");
    EXPECT_EQ(p.autoFolders[1].path, store + "Archiv.dbx");
    EXPECT_EQ(p.autoFolders[1].name, "Archiv (alt)");
    EXPECT_TRUE(p.optionsRead);
    EXPECT_EQ(p.save, c.save);
}

// Each check box alone, through the file text and back: a mix-up of two keys shows.
TEST_F(ParameterFileTest, EachOptionHasItsOwnKey) {
    for (const OptionKey& k : kOptionKeys) {
        SCOPED_TRACE(k.key);
        AutomationChoices c = Choices();
        c.save.fill(false);
        c.save[k.option] = true;
        const std::string path = Write(c);
        for (const IniLine& l : ParseIni(tp.ReadFile(path))) {
            if (l.section != "OESetup" && l.section != "IESetup") continue;
            const bool mine = l.section == k.section && l.key == k.key;
            EXPECT_EQ(l.value, mine ? "1" : "0") << l.section << "/" << l.key;
        }
        const ParameterFile p = ReadParameterFile(tp.platform(), path);
        for (int i = 0; i < kSaveOptionCount; ++i) EXPECT_EQ(p.save[i], i == k.option) << i;
    }
}

TEST_F(ParameterFileTest, EmptyPasswordIsAnEmptyValue) {
    AutomationChoices c = Choices();
    c.password.clear();
    const std::string path = Write(c);
    bool found = false;
    for (const IniLine& l : ParseIni(tp.ReadFile(path))) {
        if (l.section == "Setup" && l.key == "Passwort") {
            found = true;
            EXPECT_EQ(l.value, "");
        }
    }
    EXPECT_TRUE(found);
    const ParameterFile p = ReadParameterFile(tp.platform(), path);
    EXPECT_EQ(p.password, "");
    EXPECT_FALSE(p.passwordUnreadable);
    EXPECT_TRUE(p.optionsRead);
}

const char kHandWritten[] =
    "[Identity]\r\nName=Zweite\r\nMailPath=%BVTESTROOT%\\Store\r\nGID=\\{AB}\\\r\n"
    "[Setup]\r\nTempPath=%BVTESTROOT%\\Temp\r\nSavePath=%BVTESTROOT%\\Sicherung\r\n";

TEST_F(ParameterFileTest, MissingPasswordKeyIsNoPassword) {
    const std::string path = tp.TempDir() + "ohne.BVT";
    ASSERT_TRUE(tp.WriteFile(path, std::string(kHandWritten) +
                                       "[Folders]\r\nF1=a.dbx\r\n[FoldersRealName]\r\nF1=Alpha\r\n"
                                       "[OESetup]\r\nOE3=1\r\n[IESetup]\r\nIE0=1\r\n"));
    const ParameterFile p = ReadParameterFile(tp.platform(), path);
    EXPECT_EQ(p.password, "");
    EXPECT_FALSE(p.passwordUnreadable);
    EXPECT_EQ(p.identity.Username, "Zweite");
    EXPECT_EQ(p.identity.KeyName, "\\{AB}\\");
    EXPECT_EQ(p.identity.StoreRoot, store);
    EXPECT_EQ(p.backupFolder, backup);
    EXPECT_EQ(p.folderNames, std::vector<std::string>{"Alpha"});
    EXPECT_TRUE(p.optionsRead);
    for (int i = 0; i < kSaveOptionCount; ++i) EXPECT_EQ(p.save[i], i == CBSave3 || i == CBSave6) << i;
}

TEST_F(ParameterFileTest, PasswordThatIsNoBase64StopsTheReading) {
    const std::string path = tp.TempDir() + "kaputt.BVT";
    ASSERT_TRUE(tp.WriteFile(store + "a.dbx", "x"));
    ASSERT_TRUE(tp.WriteFile(path, std::string(kHandWritten) +
                                       "Passwort=abcde\r\n"
                                       "[Folders]\r\nF1=a.dbx\r\n[FoldersRealName]\r\nF1=Alpha\r\n"
                                       "[OESetup]\r\nOE0=1\r\nOE3=1\r\n[IESetup]\r\nIE0=1\r\n"));
    const ParameterFile p = ReadParameterFile(tp.platform(), path);
    EXPECT_TRUE(p.passwordUnreadable);
    EXPECT_EQ(p.password, "");
    // What came before the password was read; nothing after it.
    EXPECT_EQ(p.identity.Username, "Zweite");
    EXPECT_EQ(p.backupFolder, backup);
    EXPECT_FALSE(p.allFolders);
    EXPECT_TRUE(p.folderNames.empty());
    EXPECT_TRUE(p.autoFolders.empty());
    EXPECT_FALSE(p.optionsRead);
    EXPECT_EQ(p.save, (std::array<bool, kSaveOptionCount>{}));
}

TEST_F(ParameterFileTest, DisplayNamesArePairedByKeyNotByPosition) {
    ASSERT_TRUE(tp.WriteFile(store + "b.dbx", "b"));
    ASSERT_TRUE(tp.WriteFile(store + "d.dbx", "d"));
    const std::string path = tp.TempDir() + "paare.BVT";
    ASSERT_TRUE(tp.WriteFile(path, std::string(kHandWritten) +
                                       "Passwort=\r\n"
                                       "[Folders]\r\nF2=b.dbx\r\nF5=c.dbx\r\nF9=d.dbx\r\n"
                                       "[FoldersRealName]\r\nF9=Delta\r\nF2=Bravo\r\n"));
    const ParameterFile p = ReadParameterFile(tp.platform(), path);
    // F5 has no display name: its file name stands in; c.dbx does not exist.
    EXPECT_EQ(p.folderNames, (std::vector<std::string>{"Bravo", "c.dbx", "Delta"}));
    ASSERT_EQ(p.autoFolders.size(), 2u);
    EXPECT_EQ(p.autoFolders[0].path, store + "b.dbx");
    EXPECT_EQ(p.autoFolders[0].name, "Bravo");
    EXPECT_EQ(p.autoFolders[1].path, store + "d.dbx");
    EXPECT_EQ(p.autoFolders[1].name, "Delta");
    // Neither options section: every box off, but read.
    EXPECT_TRUE(p.optionsRead);
    EXPECT_EQ(p.save, (std::array<bool, kSaveOptionCount>{}));
}

// Found by fuzzing: a folder entry with a path in it chose files outside the mail store.
TEST_F(ParameterFileTest, OnlyBareFileNamesOfTheStoreAreChosen) {
    ASSERT_TRUE(tp.WriteFile(store + "b.dbx", "b"));
    ASSERT_TRUE(ForceDirectories(tp.files(), store + "sub"));
    ASSERT_TRUE(tp.WriteFile(store + "sub\\y.dbx", "y"));
    ASSERT_TRUE(tp.WriteFile(tp.TempDir() + "x.dbx", "x"));
    const std::string path = tp.TempDir() + "pfade.BVT";
    ASSERT_TRUE(tp.WriteFile(path, std::string(kHandWritten) + "Passwort=\r\n[Folders]\r\n"
                                       "F0=sub\\y.dbx\r\nF1=..\\x.dbx\r\nF2=../x.dbx\r\nF3=" +
                                       tp.TempDir() + "x.dbx\r\nF4=...\r\nF5=b.dbx\r\n"));
    const ParameterFile p = ReadParameterFile(tp.platform(), path);
    EXPECT_EQ(p.folderNames.size(), 6u);
    ASSERT_EQ(p.autoFolders.size(), 1u);
    EXPECT_EQ(p.autoFolders[0].path, store + "b.dbx");

    // A file without "MailPath" has no store at all, not one relative to the working folder.
    const std::string noStore = tp.TempDir() + "ohne.BVT";
    ASSERT_TRUE(tp.WriteFile(noStore, "[Identity]\r\nName=Zweite\r\n[Setup]\r\nPasswort=\r\n"
                                      "[Folders]\r\nF0=b.dbx\r\n"));
    const ParameterFile q = ReadParameterFile(tp.platform(), noStore);
    EXPECT_EQ(q.folderNames, (std::vector<std::string>{"b.dbx"}));
    EXPECT_TRUE(q.autoFolders.empty());
}

TEST_F(ParameterFileTest, OnlyAOneSwitchesAnOptionOn) {
    struct Case {
        const char* value;
        bool on;
    };
    const Case cases[] = {{"1", true}, {"0", false}, {"2", false}, {"01", false},
                          {"ja", false}, {"true", false}, {"", false}, {"-1", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value);
        const std::string path = tp.TempDir() + "flag.BVT";
        ASSERT_TRUE(tp.WriteFile(path, std::string(kHandWritten) + "Passwort=\r\n[AllFolders]\r\nALL=" +
                                           k.value + "\r\n[OESetup]\r\nOE4=" + k.value +
                                           "\r\n[IESetup]\r\nIE0=" + k.value + "\r\n"));
        const ParameterFile p = ReadParameterFile(tp.platform(), path);
        EXPECT_EQ(p.allFolders, k.on);
        EXPECT_EQ(p.save[CBSave4], k.on);
        EXPECT_EQ(p.save[CBSave6], k.on);
    }
}

// ALL=1 takes every folder of the store's index whose file is there, named by its file.
TEST_F(ParameterFileTest, AllFoldersComeFromTheFolderIndex) {
    // A copy of the real store: the read marks changed files, and fixtures stay untouched.
    for (const char* name : {"Folders.dbx", "Inbox.dbx", "Outbox.dbx"}) {
        ASSERT_TRUE(tp.files().CopyFile(test::TestPlatform::FixturePath(std::string("oe6-store\\") + name),
                                        store + name, false))
            << name;
    }
    AutomationChoices c = Choices();
    c.backupKind = bkUpdate;
    const ParameterFile p = ReadParameterFile(tp.platform(), Write(c));
    EXPECT_TRUE(p.allFolders);
    EXPECT_TRUE(p.folderNames.empty());
    ASSERT_EQ(p.autoFolders.size(), 2u);
    EXPECT_EQ(p.autoFolders[0].path, store + "Inbox.dbx");
    EXPECT_EQ(p.autoFolders[0].name, "Inbox.dbx");
    EXPECT_EQ(p.autoFolders[1].path, store + "Outbox.dbx");
    EXPECT_EQ(p.autoFolders[1].name, "Outbox.dbx");
    EXPECT_TRUE(p.optionsRead);
    EXPECT_EQ(p.save, c.save);
    EXPECT_TRUE(tp.prompter().messages.empty());
}

// Like the wizard's tree, the read marks the mail files changed since the last backup.
TEST_F(ParameterFileTest, ReadingMarksTheChangedMailFiles) {
    ASSERT_TRUE(tp.WriteFile(store + "Posteingang.dbx", "neu"));
    ASSERT_TRUE(tp.files().SetAttributes(store + "Posteingang.dbx", FileAttr::Normal));
    if (HasArchiveAttribute(tp.files(), store + "Posteingang.dbx"))
        GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
    ReadParameterFile(tp.platform(), Write(Choices()));
    EXPECT_TRUE(HasArchiveAttribute(tp.files(), store + "Posteingang.dbx"));
}

TEST_F(ParameterFileTest, GoesToTheApplicationDataFolderWithTheBvtExtension) {
    const std::string appData = TPathComponent(tp.platform()).ShellAppDataFolder();
    ASSERT_FALSE(appData.empty());
    const std::string folder = IncludeTrailingBackslash(appData) + "Brevisto\\parameter\\";
    struct Case {
        const char* chosen;
        const char* file;
    };
    const Case cases[] = {{"C:\\Irgendwo\\Nacht.bat", "Nacht.BVT"},
                          {"D:\\Links\\Sicherung am Abend.lnk", "Sicherung am Abend.BVT"},
                          {"ohne Endung", "ohne Endung.BVT"},
                          {"C:\\a.b\\zwei.punkte.bat", "zwei.punkte.BVT"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.chosen);
        EXPECT_EQ(ParameterFilePath(tp.platform(), backup, k.chosen), folder + k.file);
    }
    EXPECT_TRUE(DirectoryExists(tp.files(), folder));
}

TEST_F(ParameterFileTest, WithoutApplicationDataTheBackupFolderTakesIt) {
    if (!tp.Posix()) GTEST_SKIP() << "the shell's folders are the real system's on Windows";
    tp.Posix()->shell.folders.erase(Csidl::AppData);
    ASSERT_EQ(TPathComponent(tp.platform()).ShellAppDataFolder(), "");
    EXPECT_EQ(ParameterFilePath(tp.platform(), "%BVTESTROOT%\\Sicherung", "C:\\x\\Nacht.bat"),
              backup + "Nacht.BVT");

    AutomationChoices c = Choices();
    const std::string path = WriteParameterFile(tp.platform(), c, "Nacht.bat");
    EXPECT_EQ(path, backup + "Nacht.BVT");
    EXPECT_TRUE(FileExists(tp.files(), backup + "Nacht.BVT"));
}

TEST_F(ParameterFileTest, AFileThatCannotBeWrittenIsReported) {
    AutomationChoices c = Choices();
    const std::string path = tp.TempDir() + "fehlt\\Nacht.BVT";
    EXPECT_FALSE(WriteParameterFileAt(tp.platform(), c, path));
    EXPECT_FALSE(FileExists(tp.files(), path));
}

// --- the batch file and the shortcut ------------------------------------------------------

// Files that know 8.3 names for some paths (the POSIX backend has none of its own).
class ShortNameFiles : public test::FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    std::map<std::string, std::string> shortNames;
    std::string ShortPath(const std::string& path) override {
        auto it = shortNames.find(path);
        return it == shortNames.end() ? std::string() : it->second;
    }
};

class AutomationCommandsTest : public ParameterFileTest {
protected:
    // On a real system the folder outlives the test: leave it as it was found.
    void SetUp() override {
        ParameterFileTest::SetUp();
        for (const FindEntry& e : tp.files().Find(ParameterFolder() + "*.*")) existing.push_back(e.name);
    }
    void TearDown() override {
        for (const FindEntry& e : tp.files().Find(ParameterFolder() + "*.*")) {
            if (e.IsDirectory() || std::find(existing.begin(), existing.end(), e.name) != existing.end())
                continue;
            (void)tp.files().DeleteFile(ParameterFolder() + e.name);
        }
    }
    std::vector<std::string> existing;
    ShortNameFiles files{tp.files()};
    Platform platform{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    std::string ParameterFolder() {
        return IncludeTrailingBackslash(TPathComponent(tp.platform()).ShellAppDataFolder()) +
               "Brevisto\\parameter\\";
    }
};

TEST_F(AutomationCommandsTest, BatchFileStartsTheProgramWithTheParameterFile) {
    const std::string program = tp.system().ProgramFile();
    struct Case {
        const char* title;
        const char* chosen;  // in the test's folder
        const char* batch;
        bool shortNames;
    };
    const Case cases[] = {
        {"short names", "Nacht.bat", "Nacht.bat", true},
        {"no short names", "Nacht.bat", "Nacht.bat", false},
        {"other extension", "Abend.txt", "Abend.bat", true},
        {"no extension", "Morgen", "Morgen.bat", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.title);
        const std::string parameterFile =
            ParameterFolder() + ChangeFileExt(ExtractFileName(k.chosen), ".BVT");
        files.shortNames.clear();
        if (k.shortNames) {
            files.shortNames[program] = "C:\\PROGRA~1\\BREVIS~1\\BREVISTO.EXE";
            files.shortNames[parameterFile] = "C:\\DOKUME~1\\BENUTZ~1\\PARAME~1\\NACHT~1.BVT";
        }
        tp.prompter().saveRequests.clear();
        tp.prompter().saveAnswers = {tp.TempDir() + k.chosen};

        ASSERT_TRUE(BatchFileCommand(platform, Choices()));

        ASSERT_EQ(tp.prompter().saveRequests.size(), 1u);
        const auto& request = tp.prompter().saveRequests[0];
        EXPECT_EQ(request.title, "Geben Sie den Namen der Batch-Datei an:");
        EXPECT_EQ(request.filter, "BATCH-Dateien (*.bat)|*.bat|Alle Dateien (*.*)|*.*");
        EXPECT_EQ(request.defaultExt, "bat");
        EXPECT_EQ(request.initialFolder, backup);

        const std::string line =
            k.shortNames ? "\"C:\\PROGRA~1\\BREVIS~1\\BREVISTO.EXE\" \"C:\\DOKUME~1\\BENUTZ~1\\PARAME~1\\NACHT~1.BVT\""
                         : "\"" + program + "\" \"" + parameterFile + "\"";
        EXPECT_EQ(tp.ReadFile(tp.TempDir() + k.batch), line + "\r\n");
        EXPECT_EQ(ReadParameterFile(tp.platform(), parameterFile).password, Choices().password);
        (void)tp.files().DeleteFile(tp.TempDir() + k.batch);
    }
}

TEST_F(AutomationCommandsTest, CancelledOrNamelessDialogWritesNothing) {
    struct Case {
        const char* title;
        bool answer;
    };
    auto names = [&](const std::string& pattern) {
        std::vector<std::string> out;
        for (const FindEntry& e : tp.files().Find(pattern)) out.push_back(e.name);
        return out;
    };
    // The folder is shared with earlier runs on a real system: nothing may come to it.
    const std::vector<std::string> before = names(ParameterFolder() + "*.*");
    for (const Case& k : {Case{"cancelled", false}, Case{"no name", true}}) {
        SCOPED_TRACE(k.title);
        for (int command = 0; command < 2; ++command) {
            SCOPED_TRACE(command == 0 ? "batch file" : "shortcut");
            tp.prompter().saveAnswers.clear();
            if (k.answer) tp.prompter().saveAnswers.push_back("");
            tp.prompter().saveRequests.clear();
            const bool done = command == 0 ? BatchFileCommand(platform, Choices())
                                           : ShortcutCommand(platform, Choices());
            EXPECT_FALSE(done);
            EXPECT_EQ(tp.prompter().saveRequests.size(), 1u);
            EXPECT_TRUE(tp.prompter().messages.empty());
            EXPECT_EQ(names(ParameterFolder() + "*.*"), before);
            EXPECT_TRUE(tp.files().Find(tp.TempDir() + "*.bat").empty());
            if (tp.Posix()) {
                EXPECT_TRUE(tp.Posix()->shell.shortcuts.empty());
            }
        }
    }
}

TEST_F(AutomationCommandsTest, ShortcutStartsTheProgramWithTheParameterFile) {
    const std::string desktop = TPathComponent(tp.platform()).ShellDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    ASSERT_TRUE(ForceDirectories(tp.files(), tp.TempDir() + "Links"));
    tp.prompter().saveAnswers = {tp.TempDir() + "Links\\Sicherung am Abend.lnk"};

    ASSERT_TRUE(ShortcutCommand(platform, Choices()));

    ASSERT_EQ(tp.prompter().saveRequests.size(), 1u);
    const auto& request = tp.prompter().saveRequests[0];
    EXPECT_EQ(request.title, "Geben Sie die Bezeichnung der Verknüpfung an:");
    EXPECT_EQ(request.filter, "Verknüpfung (*.lnk)|*.lnk|Alle Dateien (*.*)|*.*");
    EXPECT_EQ(request.defaultExt, "lnk");
    EXPECT_EQ(request.initialFolder, IncludeTrailingBackslash(desktop));
    EXPECT_TRUE(tp.prompter().messages.empty());

    const std::string parameterFile = ParameterFolder() + "Sicherung am Abend.BVT";
    EXPECT_TRUE(FileExists(tp.files(), parameterFile));
    const std::string link = tp.TempDir() + "Links\\Sicherung am Abend.lnk";
    EXPECT_TRUE(FileExists(tp.files(), link));
    if (!tp.Posix()) return;
    ASSERT_EQ(tp.Posix()->shell.shortcuts.size(), 1u);
    const ShortcutRequest& s = tp.Posix()->shell.shortcuts[0];
    const std::string program = tp.system().ProgramFile();
    EXPECT_EQ(s.target, program);
    EXPECT_EQ(s.arguments, "\"" + parameterFile + "\"");
    EXPECT_EQ(s.workingFolder, "C:\\Programme\\Brevisto");
    EXPECT_EQ(s.description, "Brevisto");
    EXPECT_EQ(s.iconPath, program);
    EXPECT_EQ(s.iconIndex, 0);
    EXPECT_EQ(s.linkPath, link);
}

// The shortcut gets the long path even where the dialog's answer came in short form, and
// a name typed with another extension still makes a ".lnk".
TEST_F(AutomationCommandsTest, ShortcutTakesTheLongParameterPathAndTheLnkExtension) {
    if (!tp.Posix()) GTEST_SKIP() << "checks the request the shell receives";
    files.shortNames[tp.system().ProgramFile()] = "C:\\PROGRA~1\\BREVIS~1\\BREVISTO.EXE";
    tp.prompter().saveAnswers = {tp.TempDir() + "Abend.txt"};
    ASSERT_TRUE(ShortcutCommand(platform, Choices()));
    ASSERT_EQ(tp.Posix()->shell.shortcuts.size(), 1u);
    const ShortcutRequest& s = tp.Posix()->shell.shortcuts[0];
    EXPECT_EQ(s.linkPath, tp.TempDir() + "Abend.lnk");
    EXPECT_EQ(s.target, tp.system().ProgramFile());
    EXPECT_EQ(s.arguments, "\"" + ParameterFolder() + "Abend.BVT\"");
}

TEST_F(AutomationCommandsTest, FailedShortcutPointsToTheBatchFile) {
    if (!tp.Posix()) GTEST_SKIP() << "needs a shell that refuses the shortcut";
    tp.Posix()->shell.shortcutsFail = true;
    tp.prompter().saveAnswers = {tp.TempDir() + "Nacht.lnk"};
    EXPECT_FALSE(ShortcutCommand(platform, Choices()));
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    const auto& m = tp.prompter().messages[0];
    EXPECT_EQ(m.text, "Verknüpfung konnte nicht erstellt werden!\rNutzen Sie daher bitte die Batch-Datei...");
    EXPECT_EQ(m.caption, "Brevisto");
    EXPECT_EQ(m.style, BuildMsgBox("Brevisto", mkError, bsOk).style);
    EXPECT_EQ(tp.Posix()->shell.shortcuts.size(), 1u);
}

// A file that cannot be written is named in an error and nothing half-written stays; a
// parameter file that failed is never blamed on the shortcut.
TEST_F(AutomationCommandsTest, AFileThatCannotBeWrittenIsNamedAndLeftOut) {
    struct Case {
        const char* title;
        bool shortcut;
        bool parameterFileFails;  // else the batch file's write fails
    };
    const Case cases[] = {
        {"batch: parameter file", false, true},
        {"batch: batch file", false, false},
        {"shortcut: parameter file", true, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.title);
        const std::string chosen = tp.TempDir() + (k.shortcut ? "Abend.lnk" : "Abend.bat");
        const std::string parameterFile = ParameterFolder() + "Abend.BVT";
        // A run without faults counts the operations; the same run again fails one of them.
        const int writesAtStart = files.Seen(test::FileOp::Write);
        tp.prompter().saveAnswers = {chosen};
        ASSERT_TRUE(k.shortcut ? ShortcutCommand(platform, Choices()) : BatchFileCommand(platform, Choices()));
        const int writesPerRun = files.Seen(test::FileOp::Write) - writesAtStart;
        (void)tp.files().DeleteFile(chosen);
        (void)tp.files().DeleteFile(parameterFile);
        tp.prompter().messages.clear();

        if (k.parameterFileFails) {
            files.FailAt(test::FileOp::Open, files.Seen(test::FileOp::Open) + 1, test::FaultMode::Lasting);
        } else {
            // The batch line is the command's last write.
            files.FailAt(test::FileOp::Write, files.Seen(test::FileOp::Write) + writesPerRun, test::FaultMode::Once);
        }
        tp.prompter().saveAnswers = {chosen};
        EXPECT_FALSE(k.shortcut ? ShortcutCommand(platform, Choices()) : BatchFileCommand(platform, Choices()));
        files.plans.clear();

        ASSERT_EQ(tp.prompter().messages.size(), 1u);
        const auto& m = tp.prompter().messages[0];
        EXPECT_EQ(m.text, k.parameterFileFails ? ParameterFileNotWrittenText(parameterFile)
                                               : BatchFileNotWrittenText(chosen));
        EXPECT_EQ(m.caption, "Brevisto");
        EXPECT_EQ(m.style, BuildMsgBox("Brevisto", mkError, bsOk).style);
        EXPECT_FALSE(FileExists(tp.files(), chosen));
        if (k.parameterFileFails) {
            EXPECT_FALSE(FileExists(tp.files(), parameterFile));
        }
        if (tp.Posix()) {
            EXPECT_EQ(tp.Posix()->shell.shortcuts.size(), k.shortcut ? 1u : 0u) << "only the counting run";
            tp.Posix()->shell.shortcuts.clear();
        }
        (void)tp.files().DeleteFile(parameterFile);
        tp.prompter().messages.clear();
    }
}

}  // namespace
}  // namespace bv
