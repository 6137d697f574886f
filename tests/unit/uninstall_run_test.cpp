// The uninstall run: an install followed by an uninstall leaves files and registry as they
// were; the guards keep shared keys and system folders; the waits are bounded.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "setup/install/uninstall_run.h"
#include "tests/support/recording_setup_views.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

using Strings = std::vector<std::string>;

class UninstallRunTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    test::RecordingUninstallView view;

    std::string Root() { return tp.Posix() ? "C:\\" : tp.TempDir(); }

    UninstallResult Uninstall(const std::string& infoPath, const std::string& ownProgram,
                              UninstallOptions options = UninstallOptions()) {
        UninstallData data;
        ReadUninstallInfo(tp.platform(), infoPath, data);
        options.ownProgram = ownProgram;
        UninstallRun run(tp.platform(), env.folders, data, infoPath, view, options);
        return run.Run();
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& m : tp.prompter().messages) texts.push_back(m.text);
        return texts;
    }
    // What the CopyDestination file leaves: a shared file stays.
    std::vector<std::string> WithSharedFile(std::vector<std::string> listing) {
        const std::string folder = env.folders.commonFiles + "Brevisto\\";
        listing.push_back(folder);
        listing.push_back(folder + "oeshared.dll " + std::to_string(std::string("Inhalt von oeshared.dll").size()));
        std::sort(listing.begin(), listing.end());
        return listing;
    }
};

TEST_F(UninstallRunTest, InstallThenUninstallLeavesEverythingAsBefore) {
    const InstallScript script = env.Script();
    const auto filesBefore = env.Listing(tp.files(), Root());
    const auto regBefore = env.RegistryListing(tp.registry());
    const InstallResult r = env.Install(tp.platform(), script, env.Choices());
    ASSERT_EQ(r.outcome, InstallOutcome::Completed);
    ASSERT_TRUE(r.registered);
    ASSERT_NE(env.Listing(tp.files(), Root()), filesBefore);

    tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes};
    const UninstallResult u = Uninstall(r.infoPath, r.uninstallerPath);
    EXPECT_EQ(u.outcome, UninstallOutcome::Completed);
    EXPECT_TRUE(u.removeData);
    EXPECT_FALSE(u.restartPending);
    EXPECT_EQ(Texts(), (Strings{"Stellen Sie sicher, dass Sie Brevisto 3 auf Ihrem Rechner beendet haben.",
                                "Möchten Sie auch die von der Anwendung Brevisto 3 erstellten Dateien aus dem "
                                "Installationsordner entfernen?\r\nEs ist nicht empfohlen die Dateien zu entfernen, "
                                "wenn Sie eine neuere Version der Anwendung Brevisto 3 installieren möchten."}));
    EXPECT_EQ(env.Listing(tp.files(), Root()), WithSharedFile(filesBefore));
    EXPECT_EQ(env.RegistryListing(tp.registry()), regBefore);

    EXPECT_TRUE(view.panelShown);
    EXPECT_EQ(view.buttons, std::vector<bool>{false});
    EXPECT_EQ(view.marks.size(), 4u);
    for (const auto& mark : view.marks) EXPECT_EQ(mark.second, StepMark::Check);
    if (auto* posix = tp.Posix()) {
        ASSERT_EQ(posix->system.startedProcesses.size(), 2u);  // EXEC at install, UninstallExe now
        EXPECT_EQ(posix->system.startedProcesses[1].application, env.installFolder + "\\brevisto.exe /ende");
        EXPECT_EQ(posix->system.startedProcesses[1].waitForInputIdleMs, 120000u);
        ASSERT_EQ(posix->system.serverCalls.size(), 3u);
        EXPECT_EQ(posix->system.serverCalls[1].library, env.folders.commonFiles + "Brevisto\\oeshared.dll");
        EXPECT_TRUE(posix->system.serverCalls[1].unregister);
        EXPECT_EQ(posix->system.serverCalls[2].library, env.installFolder + "\\helfer.dll");
        EXPECT_TRUE(posix->files.PendingRestartMoves().empty());
    }
}

// The help key that the install made for its help file goes with the registration; one that
// holds another product's help file stays with it.
TEST_F(UninstallRunTest, TheHelpKeyGoesWhenTheInstallMadeItForItsHelpFile) {
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\HTML Help";
    for (const bool othersThere : {false, true}) {
        SCOPED_TRACE(othersThere ? "another help file registered" : "no help key before");
        tp.registry().DeleteKeyTree(RegRoot::LocalMachine, key);
        if (othersThere) {
            ASSERT_EQ(tp.registry().CreateKey(RegRoot::LocalMachine, key), 0);
            const std::string folder = "C:\\Programme\\Anderes\\";
            ASSERT_EQ(tp.registry().SetValue(RegRoot::LocalMachine, key, "anderes.chm", RegType::Sz,
                                             Bytes(folder.c_str(), folder.c_str() + folder.size() + 1)),
                      0);
        }
        const InstallResult r = env.Install(tp.platform(), env.Script(), env.Choices());
        ASSERT_TRUE(r.registered);
        ASSERT_EQ(tp.registry().KeyExists(RegRoot::LocalMachine, key), 0);
        tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes};
        EXPECT_EQ(Uninstall(r.infoPath, r.uninstallerPath).outcome, UninstallOutcome::Completed);
        std::vector<RegValue> values;
        if (othersThere) {
            ASSERT_EQ(tp.registry().EnumValues(RegRoot::LocalMachine, key, values), 0);
            ASSERT_EQ(values.size(), 1u);
            EXPECT_EQ(values[0].name, "anderes.chm");
        } else {
            EXPECT_NE(tp.registry().KeyExists(RegRoot::LocalMachine, key), 0);
        }
        tp.registry().DeleteKeyTree(RegRoot::LocalMachine, key);
    }
}

TEST_F(UninstallRunTest, KeepingDataFilesLeavesThemAndTheFolderForTheRestart) {
    const InstallResult r = env.Install(tp.platform(), env.Script(), env.Choices());
    ASSERT_TRUE(r.registered);
    tp.WriteFile(env.installFolder + "\\eigene.bvt", "Daten");
    tp.prompter().answers = {MsgResult::Ok, MsgResult::No, MsgResult::No};
    const UninstallResult u = Uninstall(r.infoPath, r.uninstallerPath);
    EXPECT_FALSE(u.removeData);
    EXPECT_EQ(view.disabled, std::vector<int>{1});
    EXPECT_EQ(view.marks.count(1), 0u);
    EXPECT_EQ(tp.ReadFile(env.installFolder + "\\eigene.bvt"), "Daten");
    EXPECT_TRUE(FileExists(tp.files(), env.installFolder + "\\liesmich.txt"));  // never recorded
    EXPECT_FALSE(FileExists(tp.files(), env.installFolder + "\\brevisto.exe"));
    EXPECT_TRUE(u.restartPending);
    ASSERT_EQ(tp.prompter().messages.size(), 3u);
    EXPECT_EQ(tp.prompter().messages[2].text,
              "Zum Abschluss der Deinstallation muss Windows neu gestartet werden. Soll Windows jetzt neu gestartet werden?");
    EXPECT_EQ(tp.prompter().messages[2].caption, "Setup");
    if (auto* posix = tp.Posix()) {
        ASSERT_EQ(posix->files.PendingRestartMoves().size(), 1u);
        EXPECT_EQ(posix->files.PendingRestartMoves()[0].first, env.installFolder);
        EXPECT_EQ(posix->system.restartRequests, 0);
    }
}

TEST_F(UninstallRunTest, RestartThatFailsIsReported) {
    auto* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the test must not restart the machine";
    const InstallResult r = env.Install(tp.platform(), env.Script(), env.Choices());
    tp.prompter().answers = {MsgResult::Ok, MsgResult::No, MsgResult::Yes};
    Uninstall(r.infoPath, r.uninstallerPath);
    EXPECT_EQ(posix->system.restartRequests, 1);
    ASSERT_EQ(tp.prompter().messages.size(), 4u);
    EXPECT_EQ(tp.prompter().messages[3].text,
              "Windows konnte nicht neu gestartet werden. Starten Sie es daher bitte selbst neu!");
}

TEST_F(UninstallRunTest, CancelAtTheFirstQuestionRemovesNothing) {
    const InstallResult r = env.Install(tp.platform(), env.Script(), env.Choices());
    const auto files = env.Listing(tp.files(), Root());
    const auto reg = env.RegistryListing(tp.registry());
    tp.prompter().answers = {MsgResult::Cancel};
    EXPECT_EQ(Uninstall(r.infoPath, r.uninstallerPath).outcome, UninstallOutcome::Cancelled);
    EXPECT_EQ(view.buttons, (std::vector<bool>{false, true}));
    EXPECT_EQ(env.Listing(tp.files(), Root()), files);
    EXPECT_EQ(env.RegistryListing(tp.registry()), reg);
}

TEST_F(UninstallRunTest, SharedKeysAreNeverDeletedButTheProductsOwnAre) {
    Registry& reg = tp.registry();
    const std::string un = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_EQ(reg.CreateKey(RegRoot::LocalMachine, un + "\\AnderesProgramm"), 0);
    ASSERT_EQ(reg.CreateKey(RegRoot::LocalMachine, un + "\\Brevisto3"), 0);
    ASSERT_EQ(reg.CreateKey(RegRoot::ClassesRoot, ".bvq"), 0);
    ASSERT_EQ(reg.CreateKey(RegRoot::ClassesRoot, "Brevisto.Backup\\shell\\open"), 0);
    ASSERT_EQ(reg.CreateKey(RegRoot::CurrentUser, "Software\\Brevisto"), 0);
    ASSERT_EQ(test::TestPlatform::IsWindows() ? 0 : reg.CreateKey(RegRoot::CurrentUser, "Software\\Classes\\x"), 0);
    ASSERT_EQ(WriteRegistryString(reg, RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", "",
                                  "fremd"), 0);
    UninstallData data;
    data.applicationName = "Brevisto 3";
    data.registry = {"HKLM\\" + un, "HKLM\\" + un + "\\", "HKLM\\SOFTWARE", "HKCU\\Software\\Classes", "HKLM", "HKLM\\",
                     "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths,", "HKCR\\CLSID",
                     "XYZ\\Software\\Brevisto", "HKLM\\" + un + "\\Brevisto3", "HKCR\\.bvq", "HKCR\\Brevisto.Backup",
                     "hkcu\\Software\\Brevisto"};
    tp.prompter().answers = {MsgResult::Ok, MsgResult::No};
    UninstallRun run(tp.platform(), env.folders, data, "", view, UninstallOptions{tp.TempDir() + "kein.exe"});
    const UninstallResult u = run.Run();
    EXPECT_EQ(u.skipped, (Strings{"HKLM\\" + un, "HKLM\\" + un + "\\", "HKLM\\SOFTWARE", "HKCU\\Software\\Classes",
                                  "HKLM", "HKLM\\", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths,",
                                  "HKCR\\CLSID"}));
    EXPECT_EQ(reg.KeyExists(RegRoot::LocalMachine, un + "\\AnderesProgramm"), 0);
    EXPECT_NE(reg.KeyExists(RegRoot::LocalMachine, un + "\\Brevisto3"), 0);
    EXPECT_NE(reg.KeyExists(RegRoot::ClassesRoot, ".bvq"), 0);
    EXPECT_NE(reg.KeyExists(RegRoot::ClassesRoot, "Brevisto.Backup"), 0);
    EXPECT_NE(reg.KeyExists(RegRoot::CurrentUser, "Software\\Brevisto"), 0);
    EXPECT_EQ(reg.KeyExists(RegRoot::CurrentUser, "Software"), 0);
    EXPECT_EQ(ReadRegistryValue(reg, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths;"), "fremd");
    // Reported in one message.
    ASSERT_EQ(tp.prompter().messages.size(), 3u);
    EXPECT_NE(tp.prompter().messages[2].text.find("HKCR\\CLSID"), std::string::npos);
    EXPECT_EQ(tp.prompter().messages[2].text.find("Brevisto.Backup"), std::string::npos);
}

TEST(UninstallFolders, SystemFoldersAreProtected) {
    SetupFolders f;
    f.windows = "C:\\WINDOWS";
    f.system = "C:\\WINDOWS\\system32";
    f.programFiles = "C:\\Programme";
    f.commonFiles = "C:\\Programme\\Gemeinsame Dateien\\";
    f.profile = "C:\\Dokumente und Einstellungen\\Anna";
    f.desktop = f.profile + "\\Desktop";
    f.programsMenu = f.profile + "\\Startmenü\\Programme";
    f.temp = f.profile + "\\Lokale Einstellungen\\Temp\\";
    struct Row {
        std::string folder;
        bool isProtected;
    } rows[] = {
        {"", true}, {"C:", true}, {"C:\\", true}, {"D:\\", true}, {"\\\\server\\share", true}, {"\\\\server\\share\\", true},
        {"c:\\windows", true}, {"C:\\WINDOWS\\", true}, {"C:\\WINDOWS\\System32", true}, {"C:\\Programme", true},
        {"C:\\Programme\\Gemeinsame Dateien", true}, {"C:\\Dokumente und Einstellungen", true},
        {"C:\\Dokumente und Einstellungen\\Anna\\", true}, {"C:\\Dokumente und Einstellungen\\Anna\\Desktop", true},
        {"C:\\Dokumente und Einstellungen\\Anna\\Startmenü", true},
        {"C:\\Programme\\Brevisto", false}, {"C:\\Programme\\Gemeinsame Dateien\\Brevisto", false},
        {"C:\\WINDOWS\\Brevisto", false}, {"C:\\Dokumente und Einstellungen\\Anna\\Startmenü\\Programme\\Brevisto", false},
        {"\\\\server\\share\\Brevisto", false}, {"C:\\Programme2", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.folder);
        EXPECT_EQ(IsProtectedFolder(r.folder, f), r.isProtected);
    }
}

TEST_F(UninstallRunTest, DataFilesOfASystemFolderAreNeverDeleted) {
    const std::string file = env.folders.windows + "\\win.ini";
    tp.WriteFile(file, "[windows]");
    UninstallData data;
    data.applicationName = "Brevisto 3";
    data.instPath = env.folders.windows;
    tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes};
    UninstallRun run(tp.platform(), env.folders, data, "", view, UninstallOptions{tp.TempDir() + "kein.exe"});
    const UninstallResult u = run.Run();
    EXPECT_EQ(tp.ReadFile(file), "[windows]");
    EXPECT_TRUE(DirectoryExists(tp.files(), env.folders.windows));
    EXPECT_EQ(u.skipped, Strings{env.folders.windows});
}

TEST_F(UninstallRunTest, ListedFoldersAreRemovedDeepestFirstWithoutFollowingLinks) {
    auto* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "links are made on the host";
    const std::string data = env.installFolder + "\\data\\";
    ForceDirectories(tp.files(), data + "a\\b\\c");
    tp.WriteFile(data + "a\\b\\c\\x.txt", "x");
    tp.WriteFile(data + "a\\y.txt", "y");
    tp.WriteFile(data + "z.txt", "z");
    ASSERT_TRUE(tp.files().SetAttributes(data + "z.txt", FileAttr::ReadOnly));
    const std::string outside = tp.TempDir() + "Fremd\\";
    ForceDirectories(tp.files(), outside);
    tp.WriteFile(outside + "wichtig.txt", "bleibt");
#ifndef _WIN32
    ASSERT_EQ(symlink(tp.HostPath(outside).c_str(), (tp.HostPath(data + "a") + "/link").c_str()), 0);
#endif
    UninstallData d;
    d.applicationName = "Brevisto 3";
    d.instPath = env.installFolder;
    d.paths = {data};
    tp.prompter().answers = {MsgResult::Ok, MsgResult::No};
    UninstallRun run(tp.platform(), env.folders, d, "", view, UninstallOptions{tp.TempDir() + "kein.exe"});
    run.Run();
    EXPECT_FALSE(DirectoryExists(tp.files(), data));
    EXPECT_FALSE(DirectoryExists(tp.files(), env.installFolder));
    EXPECT_EQ(tp.ReadFile(outside + "wichtig.txt"), "bleibt");
}

TEST_F(UninstallRunTest, LibraryLoopAndProgramStartAreBounded) {
    auto* posix = tp.Posix();
    if (!posix) GTEST_SKIP() << "the library is simulated";
    int calls = 0;
    posix->system.libraryFunctions["C:\\P\\oeshared.dll;Aufraeumen"] = [&](uint8_t& flag) {
        ++calls;
        flag = 1;
        return true;  // never done
    };
    UninstallData d;
    d.applicationName = "Brevisto 3";
    d.uninstallExe = "C:\\P\\brevisto.exe,/ende";
    d.uninstallLib = "c:\\p\\oeshared.dll;Aufraeumen";
    posix->system.processStarter = [](const ProcessStart& s) { return s.application.empty(); };
    tp.prompter().answers = {MsgResult::Ok, MsgResult::No};
    UninstallOptions options{tp.TempDir() + "kein.exe"};
    options.libraryLoopMs = 50;
    UninstallRun run(tp.platform(), env.folders, d, "", view, options);
    EXPECT_EQ(run.Run().outcome, UninstallOutcome::Completed);
    EXPECT_GT(calls, 1);
    EXPECT_GE(tp.pump().calls, calls);
    // First as program name, then as command line; both wait at most two minutes.
    ASSERT_EQ(posix->system.startedProcesses.size(), 2u);
    EXPECT_EQ(posix->system.startedProcesses[0].application, "C:\\P\\brevisto.exe /ende");
    EXPECT_EQ(posix->system.startedProcesses[1].commandLine, "C:\\P\\brevisto.exe /ende");
    EXPECT_EQ(posix->system.startedProcesses[1].waitForInputIdleMs, 120000u);
    EXPECT_EQ(UninstallOptions().libraryLoopMs, 600000u);
}

TEST_F(UninstallRunTest, UnreadableInformationRemovesNothing) {
    const InstallResult r = env.Install(tp.platform(), env.Script(), env.Choices());
    const auto files = env.Listing(tp.files(), Root());
    UninstallData empty;
    tp.prompter().answers = {MsgResult::Ok};
    UninstallRun run(tp.platform(), env.folders, empty, r.infoPath, view, UninstallOptions{r.uninstallerPath});
    run.Run();
    EXPECT_EQ(env.Listing(tp.files(), Root()), files);
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[1].text, "Die Deinstallationsinformation " + r.infoPath +
                                                  " konnte nicht gelesen werden. Es wurde nichts entfernt.");
    EXPECT_EQ(UninstallInfoArgument("/UnInst:\"C:\\WINDOWS\\Brevisto3_Uninstall.in\""),
              "C:\\WINDOWS\\Brevisto3_Uninstall.in");
    EXPECT_EQ(UninstallInfoArgument("/uninst:C:\\A B\\x.in"), "C:\\A B\\x.in");
}

}  // namespace
}  // namespace bv
