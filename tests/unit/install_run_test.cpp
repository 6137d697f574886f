// The install run and its pieces: file entries and their destinations, the numbered
// uninstaller, WININIT.INI, the shared-key guard and the uninstall information file.
#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "setup/install/install_run.h"
#include "setup/install/registry_guard.h"
#include "setup/install/script_reg_key.h"
#include "setup/install/setup_text.h"
#include "setup/install/system_routines.h"
#include "setup/install/uninstall_info.h"
#include "tests/support/faulty_files.h"
#include "tests/support/recording_setup_views.h"
#include "tests/support/test_platform.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

using Strings = std::vector<std::string>;

TEST(InstallFileEntries, DestinationsByOption) {
    const std::vector<CopyDestination> dest = {{"oeshared.dll", "C:\\Gemeinsam\\Brevisto "}};
    struct Row {
        std::string value, destination, folder, removable;
        bool record, valid;
    } rows[] = {
        {"brevisto.ex_", "C:\\P\\brevisto.exe", "", "", true, true},
        {" BREVISTO.EX_ ", "C:\\P\\BREVISTO.exe", "", "", true, true},
        {"hilfe.chm", "C:\\P\\hilfe.chm", "", "", true, true},
        {"oeshared.dll", "C:\\Gemeinsam\\Brevisto\\oeshared.dll", "C:\\Gemeinsam\\Brevisto\\", "", false, true},
        {"OESHARED.DLL", "C:\\Gemeinsam\\Brevisto\\OESHARED.DLL", "C:\\Gemeinsam\\Brevisto\\", "", false, true},
        {"brevisto.dic; data\\brevisto.dic", "C:\\P\\data\\brevisto.dic", "C:\\P\\data\\", "C:\\P\\data\\", true, true},
        {"v.txt;data\\a\\b\\v.txt", "C:\\P\\data\\a\\b\\v.txt", "C:\\P\\data\\a\\b\\", "C:\\P\\data\\", true, true},
        {"x.ex_;bin\\x.ex_", "C:\\P\\bin\\x.exe", "C:\\P\\bin\\", "C:\\P\\bin\\", true, true},
        {"liesmich.txt;OVERWRITEWARN=%s?", "C:\\P\\liesmich.txt", "", "", false, true},
        {"helfer.dll;REGISTER", "C:\\P\\helfer.dll", "", "", true, true},
        {"einricht.ex_;EXEC", "C:\\P\\einricht.exe", "", "", true, true},
        {"einricht.ex_; tools EXEC", "C:\\P\\tools\\einricht.exe", "C:\\P\\tools\\", "C:\\P\\tools\\", true, true},
        // Never outside the install folder.
        {"a.txt;..\\a.txt", "", "", "", true, false},
        {"a.txt;C:\\WINDOWS\\a.txt", "", "", "", true, false},
        {"a.txt;\\WINDOWS\\a.txt", "", "", "", true, false},
        {"..\\a.txt", "", "", "", true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        const CopyPlan plan = PlanCopy(ParseFileEntry(r.value), "D:\\", "C:\\P", dest);
        EXPECT_EQ(plan.valid, r.valid);
        if (!r.valid) continue;
        EXPECT_EQ(plan.destination, r.destination);
        EXPECT_EQ(plan.folderToCreate, r.folder);
        EXPECT_EQ(plan.removablePath, r.removable);
        EXPECT_EQ(plan.record, r.record);
        EXPECT_EQ(plan.source, "D:\\" + ParseFileEntry(r.value).file);
    }
}

TEST(InstallFileEntries, OptionsAreRecognised) {
    struct Row {
        std::string value, file;
        FileOption option;
        std::string text;
    } rows[] = {
        {"a.txt", "a.txt", FileOption::None, ""},
        {"a.txt ; ", "a.txt", FileOption::None, ""},
        {"a.txt;OVERWRITEWARN=Ersetzen %s?\\nJa", "a.txt", FileOption::OverwriteWarn, "Ersetzen %s?\\nJa"},
        {"a.txt;overwritewarn=x", "a.txt", FileOption::OverwriteWarn, "x"},
        {"a.exe;EXEC", "a.exe", FileOption::Exec, ""},
        {"a.exe;sub EXEC", "a.exe", FileOption::Exec, "sub"},
        {"a.dll;REGISTER", "a.dll", FileOption::Register, ""},
        {"a.dic;data\\a.dic", "a.dic", FileOption::RelativePath, "data\\a.dic"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        const FileEntry e = ParseFileEntry(r.value);
        EXPECT_EQ(e.file, r.file);
        EXPECT_EQ(e.option, r.option);
        EXPECT_EQ(e.text, r.text);
    }
}

TEST(InstallNames, UninstallerAndInformationFileAreNumbered) {
    test::TestPlatform tp;
    const std::string win = tp.TempDir() + "WIN";
    ASSERT_TRUE(tp.files().CreateDirectory(win));
    EXPECT_EQ(ChooseUninstallerPath(tp.files(), win, "BrvUninst.exe"), win + "\\BrvUninst.exe");
    EXPECT_EQ(ChooseUninstallInfoPath(tp.files(), win, "Brevisto3"), win + "\\Brevisto3_Uninstall.in");
    tp.WriteFile(win + "\\BrvUninst.exe", "x");
    tp.WriteFile(win + "\\BrvUninst0.exe", "x");
    tp.WriteFile(win + "\\Brevisto3_Uninstall.in", "x");
    EXPECT_EQ(ChooseUninstallerPath(tp.files(), win, "BrvUninst.exe"), win + "\\BrvUninst1.exe");
    EXPECT_EQ(ChooseUninstallInfoPath(tp.files(), win, "Brevisto3"), win + "\\Brevisto30_Uninstall.in");
    // A gap is filled: "0" is free although "1" is taken.
    tp.WriteFile(win + "\\Brevisto31_Uninstall.in", "x");
    EXPECT_EQ(ChooseUninstallInfoPath(tp.files(), win, "Brevisto3"), win + "\\Brevisto30_Uninstall.in");
    EXPECT_EQ(ChooseUninstallerPath(tp.files(), win, ""), "");
}

// Every level below the drive or the share is made, the drive or share itself never.
TEST(InstallCreatePath, MakesEveryLevelOfDriveAndUncPaths) {
    struct LevelRecorder : test::FaultyFiles {
        using test::FaultyFiles::FaultyFiles;
        Strings made;
        bool CreateDirectory(const std::string& path, long* /*error*/) override {
            made.push_back(path);
            return true;
        }
    };
    const struct {
        const char* path;
        Strings levels;
    } cases[] = {
        {"C:\\Programme\\Brevisto\\", {"C:\\Programme", "C:\\Programme\\Brevisto"}},
        {"C:\\A", {"C:\\A"}},
        {"\\\\server\\freigabe\\Daten\\Brevisto", {"\\\\server\\freigabe\\Daten", "\\\\server\\freigabe\\Daten\\Brevisto"}},
        {"\\\\server\\freigabe", {}},
        {"", {}},
    };
    test::TestPlatform tp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        LevelRecorder files(tp.files());
        (void)CreatePath(files, c.path);  // judged by the levels asked for
        EXPECT_EQ(files.made, c.levels);
    }
}

TEST(InstallWininit, RenameLineGoesIntoTheSection) {
    const std::string line = "C:\\PROGRA~1\\BREVIS~1\\BREVISTO.EXE=C:\\PROGRA~1\\BREVIS~1\\BREVIS~1.NEW";
    struct Row {
        const char* name;
        std::string before, after;
    } rows[] = {
        {"no file", "", "[rename]\r\n" + line + "\r\n"},
        {"no section", "[other]\r\na=b\r\n", "[other]\r\na=b\r\n[rename]\r\n" + line + "\r\n"},
        {"last section", "[rename]\r\nNUL=C:\\X.TMP\r\n", "[rename]\r\nNUL=C:\\X.TMP\r\n" + line + "\r\n"},
        {"followed", "[rename]\r\nA=B\r\nC=D\r\n[x]\r\ny=z\r\n", "[rename]\r\nA=B\r\n" + line + "\r\nC=D\r\n[x]\r\ny=z\r\n"},
        {"empty lines", "[rename]\r\nA=B\r\n\r\n\r\n[x]\r\n", "[rename]\r\n" + line + "\r\nA=B\r\n\r\n\r\n[x]\r\n"},
        {"empty section", "[Rename]\r\n[x]\r\n", "[Rename]\r\n" + line + "\r\n[x]\r\n"},
        {"LF only", "[rename]\nA=B\n", "[rename]\r\nA=B\r\n" + line + "\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(AddWininitRename(r.before, line), r.after);
    }
}

TEST(InstallReplaceOnRestart, WindowsNtRenamesAndDropsTheOldFileAtRestart) {
    test::TestPlatform tp;
    const std::string t = tp.TempDir();
    tp.WriteFile(t + "neu.exe", "neu");
    tp.WriteFile(t + "ziel.exe", "alt");
    tp.WriteFile(t + "ziel.exe.old", "uralt");
    ASSERT_TRUE(ReplaceFileOnRestart(tp.platform(), t + "WIN", t + "neu.exe", t + "ziel.exe"));
    EXPECT_EQ(tp.ReadFile(t + "ziel.exe"), "neu");
    EXPECT_EQ(tp.ReadFile(t + "ziel.exe.old"), "alt");
    EXPECT_FALSE(FileExists(tp.files(), t + "neu.exe.new"));
    if (auto* posix = tp.Posix()) {
        ASSERT_EQ(posix->files.PendingRestartMoves().size(), 1u);
        EXPECT_EQ(posix->files.PendingRestartMoves()[0].first, t + "ziel.exe.old");
        EXPECT_EQ(posix->files.PendingRestartMoves()[0].second, "");
    }
}

TEST(InstallReplaceOnRestart, Windows9xWritesWininit) {
    test::TestPlatform tp;
    auto* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the Windows 9x way is chosen by the reported version";
    posix->system.version.platformId = 1;
    const std::string t = tp.TempDir();
    const std::string win = t + "WIN";
    ASSERT_TRUE(tp.files().CreateDirectory(win));
    tp.WriteFile(t + "neu.exe", "neu");
    tp.WriteFile(t + "ziel.exe", "alt");
    tp.WriteFile(win + "\\WININIT.INI", "[rename]\r\nNUL=C:\\A.TMP\r\n[x]\r\n");
    ASSERT_TRUE(tp.files().SetAttributes(win + "\\WININIT.INI", FileAttr::ReadOnly));
    ASSERT_TRUE(ReplaceFileOnRestart(tp.platform(), win, t + "neu.exe", t + "ziel.exe"));
    ASSERT_TRUE(ReplaceFileOnRestart(tp.platform(), win, t + "weg.txt", "NUL"));
    EXPECT_EQ(tp.ReadFile(t + "ziel.exe"), "alt");  // until the restart
    EXPECT_EQ(tp.ReadFile(t + "neu.exe.new"), "neu");
    EXPECT_EQ(tp.ReadFile(win + "\\WININIT.INI"), "[rename]\r\n" + t + "ziel.exe=" + t + "neu.exe.new\r\nNUL=" + t +
                                                      "weg.txt\r\nNUL=C:\\A.TMP\r\n[x]\r\n");
}

TEST(InstallRegistryGuard, SharedKeysAreRecognised) {
    struct Row {
        RegRoot root;
        std::string path;
        bool shared;
    } rows[] = {
        {RegRoot::LocalMachine, "", true},
        {RegRoot::LocalMachine, "SOFTWARE", true},
        {RegRoot::CurrentUser, "software\\", true},
        {RegRoot::LocalMachine, "Software\\Classes", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", true},
        {RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", true},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\HTML Help", true},
        {RegRoot::LocalMachine, "System\\CurrentControlSet", true},
        {RegRoot::ClassesRoot, "", true},
        {RegRoot::ClassesRoot, "CLSID", true},
        {RegRoot::ClassesRoot, ".exe", true},
        {RegRoot::LocalMachine, "Software\\Classes\\CLSID", true},
        {RegRoot::Users, ".DEFAULT", true},
        {RegRoot::Users, ".DEFAULT\\Software", true},
        // The product's own keys.
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brevisto3", false},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\brevisto.exe", false},
        {RegRoot::CurrentUser, "Software\\Brevisto", false},
        {RegRoot::ClassesRoot, ".bvq", false},
        {RegRoot::ClassesRoot, "Brevisto.Backup", false},
        {RegRoot::ClassesRoot, "CLSID\\{12345678-0000-0000-0000-000000000000}", false},
        {RegRoot::LocalMachine, "Software\\Classes\\.bvq", false},
        {RegRoot::Users, ".DEFAULT\\Software\\Brevisto", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(IsSharedRegistryKey(r.root, r.path), r.shared);
    }
}

TEST(InstallInformationFile, IsWrittenByteForByte) {
    UninstallInfo info;
    info.applicationName = "Brevisto 3";
    info.instPath = "C:\\Programme\\Brevisto";
    info.startMenuFolder = "C:\\WINDOWS\\Startmenü\\Programme\\Brevisto";
    info.created = DateTime{2026, 12, 8, 14, 5, 9, 0};
    info.files = {{0, "C:\\Programme\\Brevisto\\brevisto.exe"}, {2, "C:\\Programme\\Brevisto\\data\\brevisto.dic"}};
    info.links = {{0, "C:\\WINDOWS\\Startmenü\\Programme\\Brevisto\\Brevisto.lnk"}, {3, "C:\\WINDOWS\\Desktop\\Brevisto.lnk"}};
    info.paths = {"C:\\Programme\\Brevisto\\data\\", "C:\\Programme\\Brevisto\\data\\"};
    info.registry = {{0, "HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help,hilfe.chm"},
                     {3, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brevisto3"},
                     {10, "HKCU\\Software\\Brevisto"}};
    info.libraries = {"C:\\Programme\\Gemeinsame Dateien\\Brevisto\\oeshared.dll"};
    info.uninstallExe = "C:\\Programme\\Brevisto\\brevisto.exe,/ende";
    const std::string expected =
        "; Brevisto 3 Deinstallationsinformation\r\n"
        ";\r\n"
        "; Erstellt: 12/08/2026 14:05:09\r\n"
        ";\r\n"
        "; L\xF6schen Sie auf keinen Fall diese Datei!\r\n"
        ";\r\n"
        "\r\n"
        "[InstallInfo]\r\n"
        "InstPath=C:\\Programme\\Brevisto\r\n"
        "ApplicationName=Brevisto 3\r\n"
        "StartMenuFolder=C:\\WINDOWS\\Startmen\xFC\\Programme\\Brevisto\r\n"
        "\r\n"
        "[UnInstallFiles]\r\n"
        "F0=C:\\Programme\\Brevisto\\brevisto.exe\r\n"
        "F2=C:\\Programme\\Brevisto\\data\\brevisto.dic\r\n"
        "\r\n"
        "[UnInstallLinks]\r\n"
        "SL0=C:\\WINDOWS\\Startmen\xFC\\Programme\\Brevisto\\Brevisto.lnk\r\n"
        "SL3=C:\\WINDOWS\\Desktop\\Brevisto.lnk\r\n"
        "\r\n"
        "[UnInstallPaths]\r\n"
        "UP0=C:\\Programme\\Brevisto\\data\\\r\n"
        "UP1=C:\\Programme\\Brevisto\\data\\\r\n"
        "\r\n"
        "[UnInstallRegistrySettings]\r\n"
        "VAL0=HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help,hilfe.chm\r\n"
        "VAL3=HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brevisto3\r\n"
        "VAL10=HKCU\\Software\\Brevisto\r\n"
        "\r\n"
        "[UninstallLibs]\r\n"
        "VAL10=C:\\Programme\\Gemeinsame Dateien\\Brevisto\\oeshared.dll\r\n"
        "\r\n"
        "[UnInstallAutoRun]\r\n"
        "UninstallExe=C:\\Programme\\Brevisto\\brevisto.exe,/ende\r\n"
        "UninstallLib=\r\n";
    EXPECT_EQ(FormatUninstallInfo(info), expected);

    // Written read-only, and read back in key order.
    test::TestPlatform tp;
    const std::string path = tp.TempDir() + "Brevisto3_Uninstall.in";
    ASSERT_TRUE(WriteUninstallInfo(tp.files(), path, info));
    EXPECT_EQ(tp.ReadFile(path), expected);
    EXPECT_NE(tp.files().GetAttributes(path) & FileAttr::ReadOnly, 0u);
    UninstallData data;
    ASSERT_TRUE(ReadUninstallInfo(tp.platform(), path, data));
    EXPECT_EQ(data.instPath, info.instPath);
    EXPECT_EQ(data.applicationName, "Brevisto 3");
    EXPECT_EQ(data.startMenuFolder, info.startMenuFolder);
    EXPECT_EQ(data.files, (Strings{info.files[0].value, info.files[1].value}));
    EXPECT_EQ(data.links, (Strings{info.links[0].value, info.links[1].value}));
    EXPECT_EQ(data.paths, info.paths);
    EXPECT_EQ(data.registry.size(), 3u);
    EXPECT_EQ(data.libraries, info.libraries);
    EXPECT_EQ(data.uninstallExe, info.uninstallExe);
    EXPECT_EQ(data.uninstallLib, "");
}

class InstallRunTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    test::RecordingInstallView view;

    InstallResult Run(const InstallScript& script, const InstallChoices& choices) {
        InstallRun run(tp.platform(), env.folders, script, choices, view);
        run.setupProgram = env.setupProgram;
        return run.Run();
    }
    std::string RegText(RegRoot root, const std::string& key, const std::string& name) {
        return ReadRegistryValue(tp.registry(), ScriptRootName(root) + "\\" + key + ";" + name);
    }
    std::vector<std::string> MessageTexts() {
        std::vector<std::string> texts;
        for (const auto& m : tp.prompter().messages) texts.push_back(m.text);
        return texts;
    }
};

TEST_F(InstallRunTest, FullScriptInstallsAndDescribesItself) {
    const InstallScript script = env.Script();
    const InstallResult r = Run(script, env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Completed) << ::testing::PrintToString(MessageTexts());
    // No message at all: the missing RESELLER.DAT is skipped silently, liesmich.txt is new.
    EXPECT_TRUE(tp.prompter().messages.empty()) << ::testing::PrintToString(MessageTexts());

    const std::string i = env.installFolder + "\\";
    const std::string common = env.folders.commonFiles + "Brevisto\\";
    const std::string group = env.folders.programsMenu + "\\Brevisto\\";
    EXPECT_EQ(tp.ReadFile(i + "brevisto.exe"), "Inhalt von brevisto.ex_");
    EXPECT_FALSE(FileExists(tp.files(), i + "brevisto.ex_"));
    EXPECT_EQ(tp.ReadFile(i + "data\\brevisto.dic"), "Inhalt von brevisto.dic");
    EXPECT_EQ(tp.ReadFile(i + "data\\vorlagen\\vorlage.txt"), "Inhalt von vorlage.txt");
    EXPECT_EQ(tp.ReadFile(common + "oeshared.dll"), "Inhalt von oeshared.dll");
    EXPECT_EQ(tp.ReadFile(i + "tools\\einricht.exe"), "Inhalt von einricht.ex_");
    EXPECT_EQ(tp.ReadFile(i + "beispiel.bvt"), "Inhalt von beispiel.bvt");
    EXPECT_FALSE(FileExists(tp.files(), i + "fehlt.exe"));
    EXPECT_EQ(r.uninstallerPath, env.folders.windows + "\\BrvUninst.exe");
    EXPECT_EQ(tp.ReadFile(r.uninstallerPath), "MZ setup");
    EXPECT_EQ(r.infoPath, env.folders.windows + "\\Brevisto3_Uninstall.in");
    EXPECT_TRUE(r.registered);
    EXPECT_EQ(r.installExe, env.installFolder + "\\brevisto.exe /DONTWAIT");

    // The information file, byte for byte apart from its date.
    std::string text = tp.ReadFile(r.infoPath);
    const size_t date = text.find("; Erstellt: ");
    ASSERT_NE(date, std::string::npos);
    EXPECT_EQ(text.substr(date + 12 + 19, 2), "\r\n");
    text.replace(date + 12, 19, "MM/DD/YYYY hh:mm:ss");
    const std::string un = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string expected =
        "; Brevisto 3 Deinstallationsinformation\r\n;\r\n; Erstellt: MM/DD/YYYY hh:mm:ss\r\n;\r\n"
        "; L\xF6schen Sie auf keinen Fall diese Datei!\r\n;\r\n\r\n"
        "[InstallInfo]\r\nInstPath=" + env.installFolder + "\r\nApplicationName=Brevisto 3\r\n"
        "StartMenuFolder=" + env.folders.programsMenu + "\\Brevisto\r\n\r\n"
        "[UnInstallFiles]\r\n"
        "F0=" + i + "brevisto.exe\r\n"
        "F1=" + i + "hilfe.chm\r\n"
        "F2=" + i + "data\\brevisto.dic\r\n"
        "F3=" + i + "RESELLER.DAT\r\n"
        "F6=" + i + "data\\vorlagen\\vorlage.txt\r\n"
        "F7=" + i + "helfer.dll\r\n"
        "F8=" + i + "tools\\einricht.exe\r\n"
        "F9=" + i + "beispiel.bvt\r\n\r\n"
        "[UnInstallLinks]\r\n"
        "SL0=" + group + "Brevisto.lnk\r\n"
        "SL1=" + group + "Hilfe.lnk\r\n"
        "SL3=" + group + "Brevisto entfernen.lnk\r\n"
        "SL4=" + env.folders.desktop + "\\Brevisto.lnk\r\n"
        "SL5=" + env.folders.programsMenu + "\\Brevisto 3.lnk\r\n\r\n"
        "[UnInstallPaths]\r\nUP0=" + i + "data\\\r\nUP1=" + i + "data\\\r\nUP2=" + i + "tools\\\r\n\r\n"
        "[UnInstallRegistrySettings]\r\n"
        "VAL0=HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help,hilfe.chm\r\n"
        "VAL1=" + un + "App Paths\\brevisto.exe\r\n"
        "VAL2=" + un + "Run,Brevisto\r\n"
        "VAL3=" + un + "Uninstall\\Brevisto3\r\n"
        "VAL10=HKCU\\Software\\Brevisto\\Cache\r\n"
        "VAL11=HKLM\\SOFTWARE\\Brevisto,InstallDir\r\n"
        "VAL12=HKCU\\Software\\Brevisto\r\n"
        "VAL13=HKLM\\SOFTWARE\\Brevisto\r\n"
        "VAL14=HKCR\\.bvq\r\n"
        "VAL15=HKCR\\Brevisto.Backup\r\n\r\n"
        "[UninstallLibs]\r\nVAL10=" + common + "oeshared.dll\r\nVAL11=" + i + "helfer.dll\r\n\r\n"
        "[UnInstallAutoRun]\r\nUninstallExe=" + env.installFolder + "\\brevisto.exe,/ende\r\n"
        "UninstallLib=" + env.installFolder + "\\oeshared.dll;Aufraeumen\r\n";
    EXPECT_EQ(text, expected);
    EXPECT_NE(tp.files().GetAttributes(r.infoPath) & FileAttr::ReadOnly, 0u);

    // Registry: all strings.
    const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    EXPECT_EQ(RegText(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\HTML Help", "hilfe.chm"), i);
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "App Paths\\brevisto.exe", ""), i + "brevisto.exe");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "App Paths\\brevisto.exe", "Path"), i);
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "Run", "Brevisto"),
              UpperCaseGerman(IncludeTrailingBackslash(tp.files().ShortPath(i)) + "brevisto.exe /auto"));
    EXPECT_EQ(RegText(RegRoot::CurrentUser, "Software\\Brevisto", "Folder"), env.installFolder);
    EXPECT_EQ(RegText(RegRoot::LocalMachine, "SOFTWARE\\Brevisto", ""), env.installFolder);
    EXPECT_EQ(RegText(RegRoot::ClassesRoot, ".bvq", ""), "Brevisto.Backup");
    EXPECT_EQ(RegText(RegRoot::ClassesRoot, "Brevisto.Backup\\shell\\open\\command", ""),
              "\"" + env.installFolder + "\\brevisto.exe\" \"%1\"");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "Uninstall\\Brevisto3", "DisplayName"), "Brevisto 3");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "Uninstall\\Brevisto3", "UninstallString"),
              r.uninstallerPath + " /UnInst:\"" + r.infoPath + "\"");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "Uninstall\\Brevisto3", "DisplayIcon"), i + "brevisto.exe");

    // Shortcuts: the targets exist; only the uninstaller's carries arguments.
    for (const char* link : {"Brevisto.lnk", "Hilfe.lnk", "Brevisto entfernen.lnk"})
        EXPECT_TRUE(FileExists(tp.files(), group + link)) << link;
    EXPECT_FALSE(FileExists(tp.files(), group + "Fehlt.lnk"));
    if (auto* posix = tp.Posix()) {
        ASSERT_EQ(posix->shell.shortcuts.size(), 5u);
        EXPECT_EQ(posix->shell.shortcuts[0].target, i + "brevisto.exe");
        EXPECT_TRUE(posix->shell.shortcuts[0].targetOnly);
        EXPECT_EQ(posix->shell.shortcuts[1].target, i + "hilfe.chm");
        EXPECT_EQ(posix->shell.shortcuts[4].target, r.uninstallerPath);
        EXPECT_EQ(posix->shell.shortcuts[4].arguments, " /UnInst:\"" + r.infoPath + "\"");
        // The system: the EXEC file started hidden in its folder, the REGISTER file registered.
        ASSERT_EQ(posix->system.startedProcesses.size(), 1u);
        EXPECT_EQ(posix->system.startedProcesses[0].commandLine, "\"" + i + "tools\\einricht.exe\"");
        EXPECT_EQ(posix->system.startedProcesses[0].currentFolder, i + "tools\\");
        EXPECT_TRUE(posix->system.startedProcesses[0].hidden);
        ASSERT_EQ(posix->system.serverCalls.size(), 1u);
        EXPECT_EQ(posix->system.serverCalls[0].library, i + "helfer.dll");
        EXPECT_FALSE(posix->system.serverCalls[0].unregister);
    }
    // The progress reaches 100 and never goes back.
    ASSERT_FALSE(view.percents.empty());
    EXPECT_EQ(view.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(view.percents.begin(), view.percents.end()));
    EXPECT_EQ(view.statuses.front(), "Kopiere brevisto.ex_");
}

TEST_F(InstallRunTest, OverwriteWarningAsksOnlyForAnExistingFileAndNeverRecordsIt) {
    ForceDirectories(tp.files(), env.installFolder);
    tp.WriteFile(env.installFolder + "\\liesmich.txt", "eigene Notizen");
    tp.prompter().answers = {MsgResult::No};
    const InstallResult r = Run(env.Script(), env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Completed);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text, "Die Datei liesmich.txt ist schon vorhanden.\r\n\xDC" "berschreiben?");
    EXPECT_EQ(tp.ReadFile(env.installFolder + "\\liesmich.txt"), "eigene Notizen");
    for (const NumberedEntry& f : r.info.files) EXPECT_EQ(f.value.find("liesmich"), std::string::npos);

    // Yes overwrites, still unrecorded.
    tp.prompter().messages.clear();
    tp.prompter().answers = {MsgResult::Yes};
    const InstallResult again = Run(env.Script(), env.Choices());
    EXPECT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.ReadFile(env.installFolder + "\\liesmich.txt"), "Inhalt von liesmich.txt");
    for (const NumberedEntry& f : again.info.files) EXPECT_EQ(f.value.find("liesmich"), std::string::npos);
    // The first uninstaller is there: the second gets the next number.
    EXPECT_EQ(again.uninstallerPath, env.folders.windows + "\\BrvUninst0.exe");
    EXPECT_EQ(again.infoPath, env.folders.windows + "\\Brevisto30_Uninstall.in");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brevisto3",
                      "UninstallString"),
              again.uninstallerPath + " /UnInst:\"" + again.infoPath + "\"");
}

TEST_F(InstallRunTest, MissingFileIsReportedExceptResellerData) {
    ASSERT_TRUE(tp.files().DeleteFile(env.folders.setup + "hilfe.chm"));
    const InstallResult r = Run(env.Script(), env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Completed);
    EXPECT_EQ(MessageTexts(), Strings{"Konnte Datei " + env.folders.setup +
                                      "hilfe.chm nicht finden. Wenden Sie sich an den Hersteller der Software."});
}

TEST_F(InstallRunTest, EmptyUninstallNameIsRefusedBeforeAnythingIsTouched) {
    std::string text = test::FullSetupScript();
    text.replace(text.find("UninstallName=Brevisto 3"), 24, "UninstallName=   ");
    const InstallScript script = env.Script(text);
    const auto filesBefore = env.Listing(tp.files(), tp.TempDir());
    const auto regBefore = env.RegistryListing(tp.registry());
    const InstallResult r = Run(script, env.Choices());
    EXPECT_EQ(r.outcome, InstallOutcome::Refused);
    EXPECT_EQ(MessageTexts(), Strings{"Konnte Deinstallationsinformation nicht erstellen! Brevisto 3 kann damit nicht "
                                      "mehr automatisch von Ihrem System entfernt werden."});
    EXPECT_EQ(env.Listing(tp.files(), tp.TempDir()), filesBefore);
    EXPECT_EQ(env.RegistryListing(tp.registry()), regBefore);
    EXPECT_EQ(tp.registry().KeyExists(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"), 0);
}

TEST_F(InstallRunTest, FolderThatCannotBeCreatedSendsTheWizardBack) {
    tp.WriteFile(tp.TempDir() + "Datei", "x");
    InstallChoices c = env.Choices();
    c.installFolder = tp.TempDir() + "Datei\\Brevisto";
    EXPECT_EQ(Run(env.Script(), c).outcome, InstallOutcome::FolderFailed);
    EXPECT_EQ(MessageTexts(), Strings{"Kann Programmordner nicht erstellen!"});
}

TEST_F(InstallRunTest, EmptyAppExeNameWritesNoAppPathsEntry) {
    std::string text = test::FullSetupScript();
    text.replace(text.find("AppExeName=brevisto.exe"), 23, "AppExeName=");
    const InstallResult r = Run(env.Script(text), env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Completed);
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    RegValue value;
    EXPECT_NE(tp.registry().QueryValue(RegRoot::LocalMachine, appPaths, "", value), 0);
    EXPECT_NE(tp.registry().QueryValue(RegRoot::LocalMachine, appPaths, "Path", value), 0);
    for (const NumberedEntry& e : r.info.registry) EXPECT_NE(e.number, 1);
}

TEST_F(InstallRunTest, HelpFileKindDecidesTheKeyOnBothSides) {
    for (const char* help : {"hilfe.hlp", "hilfe.chm"}) {
        SCOPED_TRACE(help);
        std::string text = test::FullSetupScript();
        text.replace(text.find("HelpFile=hilfe.chm"), 18, std::string("HelpFile=") + help);
        const InstallResult r = Run(env.Script(text), env.Choices());
        const bool html = std::string(help).find(".chm") != std::string::npos;
        const std::string key = html ? "SOFTWARE\\Microsoft\\Windows\\HTML Help" : "SOFTWARE\\Microsoft\\Windows\\Help";
        EXPECT_EQ(RegText(RegRoot::LocalMachine, key, help), env.installFolder + "\\");
        ASSERT_FALSE(r.info.registry.empty());
        EXPECT_EQ(r.info.registry[0].value, "HKLM\\" + key + "," + help);
    }
}

TEST_F(InstallRunTest, CancelAfterAFailedCopyLeavesAnUninstallableInstall) {
    auto* posix = tp.Posix();
    // The failure comes from a folder that is a file; the user stops at the question.
    ASSERT_TRUE(ForceDirectories(tp.files(), env.installFolder));
    ASSERT_TRUE(tp.WriteFile(env.installFolder + "\\data", "kein Ordner"));
    tp.prompter().answers = {MsgResult::Cancel};
    const InstallResult r = Run(env.Script(), env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Cancelled) << ::testing::PrintToString(MessageTexts());
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[0].text.substr(0, 13), "Konnte Datei ");
    EXPECT_NE(tp.prompter().messages[1].text.find("abgebrochen"), std::string::npos);
    // What was copied before is listed; what was not reached is not.
    ASSERT_EQ(r.info.files.size(), 3u);
    EXPECT_EQ(r.info.files[0].value, env.installFolder + "\\brevisto.exe");
    EXPECT_TRUE(r.registered);
    EXPECT_TRUE(FileExists(tp.files(), r.infoPath));
    EXPECT_TRUE(FileExists(tp.files(), r.uninstallerPath));
    EXPECT_TRUE(r.info.links.empty());
    (void)posix;
}

}  // namespace
}  // namespace bv
