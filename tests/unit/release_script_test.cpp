// The installer script that ships in the release folder (resources/dist/Setup.in, made CP1252
// with CR LF by "./run dist" exactly as here): it must read, name the files the release has,
// and install them with their shortcuts, help and App Paths entries and nothing more.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "setup/install/script_reg_key.h"
#include "setup/install/uninstall_run.h"
#include "tests/support/recording_setup_views.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

using Strings = std::vector<std::string>;

// A file of the source tree as the platform sees it ("Z:\..." as Wine maps the host's root).
std::string SourcePath(const std::string& relative) {
    std::string path = "Z:" BREVISTO_SOURCE_DIR;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path + "\\" + relative;
}

// What "./run dist" does to the text files: UTF-8 to code page 1252, LF to CR LF.
std::string AsShipped(const std::string& utf8) {
    std::string ansi = Utf8ToAnsi(utf8), out;
    for (char c : ansi) {
        if (c == '\n') out += '\r';
        if (c != '\r') out += c;
    }
    return out;
}

class ReleaseScriptTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    test::RecordingInstallView view;
    std::string shipped;

    void SetUp() override {
        const std::string source = tp.ReadFile(SourcePath("resources\\dist\\Setup.in"));
        ASSERT_FALSE(source.empty());
        shipped = AsShipped(source);
    }
    std::string RegText(RegRoot root, const std::string& key, const std::string& name) {
        return ReadRegistryValue(tp.registry(), ScriptRootName(root) + "\\" + key + ";" + name);
    }
};

TEST_F(ReleaseScriptTest, ReadsAsTheReleaseNeedsIt) {
    const InstallScript s = env.Script(shipped);
    EXPECT_EQ(s.applicationName, "Brevisto");
    EXPECT_EQ(s.defaultTargetFolder, "Brevisto");
    EXPECT_EQ(s.defaultUninstallFileName, "BrevistoUninstall.exe");
    EXPECT_EQ(s.appExeName, "brevisto.exe");
    EXPECT_EQ(s.helpFile, "hilfe.chm");
    EXPECT_EQ(s.uninstallName, "Brevisto");
    EXPECT_EQ(s.licenceFile, "Lizenz.txt");
    EXPECT_EQ(s.programGroup, "Brevisto");
    EXPECT_EQ(s.desktopLink, "%ProgDir%brevisto.exe,Brevisto");
    EXPECT_EQ(s.progFiles, (Strings{"brevisto.exe", "hilfe.chm", "saveok.wav;sounds\\saveok.wav",
                                    "saveerror.wav;sounds\\saveerror.wav", "ReadMe.txt", "Lizenz.txt"}));
    EXPECT_EQ(s.programGroupLinks, (Strings{"%ProgDir%brevisto.exe,Brevisto", "%ProgDir%ReadMe.txt,Liesmich",
                                            "UNINSTALL,Brevisto deinstallieren"}));
    // The file association is the program's own preference; the installer writes no keys
    // of its own and starts nothing.
    EXPECT_TRUE(s.createRegKeys.empty());
    EXPECT_TRUE(s.uninstallRegKeys.empty());
    EXPECT_TRUE(s.additionalFiles.empty());
    EXPECT_EQ(s.installExe, "");
    EXPECT_EQ(s.uninstallExe, "");
    EXPECT_EQ(s.startMenuLink, "");
    EXPECT_EQ(s.iconFile, "");  // the program's icon, read from brevisto.exe beside SETUP.EXE
    for (const std::string& value : s.progFiles) {
        SCOPED_TRACE(value);
        const FileEntry entry = ParseFileEntry(value);
        EXPECT_TRUE(entry.option == FileOption::None || entry.option == FileOption::RelativePath);
        EXPECT_TRUE(PlanCopy(entry, env.folders.setup, env.installFolder, s.copyDestinations).valid);
    }
}

TEST_F(ReleaseScriptTest, InstallsTheProgramItsHelpSoundsAndShortcutsAndUninstallsThem) {
    const std::string root = tp.Posix() ? "C:\\" : tp.TempDir();
    for (const char* name : {"brevisto.exe", "hilfe.chm", "saveok.wav", "saveerror.wav", "ReadMe.txt", "Lizenz.txt"})
        ASSERT_TRUE(tp.WriteFile(env.folders.setup + name, std::string("Inhalt von ") + name));
    const InstallScript script = env.Script(shipped);
    const auto filesBefore = env.Listing(tp.files(), root);
    const auto regBefore = env.RegistryListing(tp.registry());
    InstallChoices choices;
    choices.installFolder = env.installFolder;
    choices.programFolder = "Brevisto";
    InstallRun run(tp.platform(), env.folders, script, choices, view);
    run.setupProgram = env.setupProgram;
    const InstallResult r = run.Run();
    ASSERT_EQ(r.outcome, InstallOutcome::Completed);
    EXPECT_TRUE(tp.prompter().messages.empty());

    const std::string i = env.installFolder + "\\";
    EXPECT_EQ(tp.ReadFile(i + "brevisto.exe"), "Inhalt von brevisto.exe");
    EXPECT_EQ(tp.ReadFile(i + "hilfe.chm"), "Inhalt von hilfe.chm");
    // Where the program looks for its sounds.
    EXPECT_EQ(tp.ReadFile(i + "sounds\\saveok.wav"), "Inhalt von saveok.wav");
    EXPECT_EQ(tp.ReadFile(i + "sounds\\saveerror.wav"), "Inhalt von saveerror.wav");
    // The wizard's last page offers install folder + "ReadMe.txt".
    EXPECT_EQ(tp.ReadFile(i + "ReadMe.txt"), "Inhalt von ReadMe.txt");
    EXPECT_EQ(tp.ReadFile(i + "Lizenz.txt"), "Inhalt von Lizenz.txt");
    EXPECT_EQ(r.uninstallerPath, env.folders.windows + "\\BrevistoUninstall.exe");
    EXPECT_EQ(r.infoPath, env.folders.windows + "\\Brevisto_Uninstall.in");
    EXPECT_TRUE(r.registered);

    const std::string group = env.folders.programsMenu + "\\Brevisto\\";
    for (const char* link : {"Brevisto.lnk", "Liesmich.lnk", "Brevisto deinstallieren.lnk"})
        EXPECT_TRUE(FileExists(tp.files(), group + link)) << link;
    EXPECT_TRUE(FileExists(tp.files(), env.folders.desktop + "\\Brevisto.lnk"));

    const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "App Paths\\brevisto.exe", ""), i + "brevisto.exe");
    EXPECT_EQ(RegText(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\HTML Help", "hilfe.chm"), i);
    EXPECT_EQ(RegText(RegRoot::LocalMachine, cv + "Uninstall\\Brevisto", "DisplayName"), "Brevisto");
    if (!test::TestPlatform::IsWindows()) {
        EXPECT_NE(tp.registry().KeyExists(RegRoot::ClassesRoot, ".bvq"), 0);
    }

    // The uninstaller takes all of it away again (on Windows also the real registry entries).
    tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes};
    UninstallData data;
    ASSERT_TRUE(ReadUninstallInfo(tp.platform(), r.infoPath, data));
    test::RecordingUninstallView uninstallView;
    UninstallRun uninstall(tp.platform(), env.folders, data, r.infoPath, uninstallView,
                           UninstallOptions{r.uninstallerPath});
    EXPECT_EQ(uninstall.Run().outcome, UninstallOutcome::Completed);
    EXPECT_EQ(env.Listing(tp.files(), root), filesBefore);
    EXPECT_NE(tp.registry().KeyExists(RegRoot::LocalMachine, cv + "Uninstall\\Brevisto"), 0);
    EXPECT_NE(tp.registry().KeyExists(RegRoot::LocalMachine, cv + "App Paths\\brevisto.exe"), 0);
    EXPECT_EQ(RegText(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\HTML Help", "hilfe.chm"), "");
    // On Windows other tests of this run may have left entries under the same shared keys
    // (the help file's name is the same), so only the POSIX store is compared as a whole.
    if (!test::TestPlatform::IsWindows()) {
        EXPECT_EQ(env.RegistryListing(tp.registry()), regBefore);
    }
}

// The texts beside the script are CP1252 once shipped: nothing in them is lost on the way.
TEST_F(ReleaseScriptTest, TheTextsConvertWithoutLoss) {
    for (const char* name : {"Setup.in", "ReadMe.txt", "Lizenz.txt"}) {
        SCOPED_TRACE(name);
        const std::string source = tp.ReadFile(SourcePath(std::string("resources\\dist\\") + name));
        ASSERT_FALSE(source.empty());
        EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi(source)), source);
        EXPECT_EQ(source.find('\r'), std::string::npos);  // LF in the tree, CR LF when shipped
    }
}

}  // namespace
}  // namespace bv
