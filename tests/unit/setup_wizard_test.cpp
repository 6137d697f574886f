// The installer wizard and the uninstaller window without their windows: page order, the
// buttons of each page, the folder checks and proposals, the completion page's boxes and the
// close question.
#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "setup/wizard/install_wizard_model.h"
#include "setup/wizard/uninstall_window_model.h"
#include "tests/support/recording_setup_views.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

class RecordingWizardView : public InstallWizardView {
public:
    InstallWizardModel* model = nullptr;
    std::vector<int> pages;
    int installFocus = 0, programFocus = 0, folderChanges = 0, closes = 0;
    std::vector<int> percents;
    void PageChanged() override { pages.push_back(model->page()); }
    void InstallFolderChanged() override { ++folderChanges; }
    void FocusInstallFolder() override { ++installFocus; }
    void FocusProgramFolder() override { ++programFocus; }
    void CloseWizard() override { ++closes; }
    void SetStatus(const std::string&) override {}
    void SetPercent(int percent) override { percents.push_back(percent); }
};

const char kWizardScript[] =
    "[InstallInfo]\r\n"
    "ApplicationName=Brevisto 3\r\n"
    "DefaultTargetFolder=Brevisto\r\n"
    "DefaultUnistallFileName=BrvUninst.exe\r\n"
    "AppExeName=brevisto.exe\r\n"
    "IconFile=brevisto.ico\r\n"
    "UninstallName=Brevisto 3\r\n"
    "[ProgFiles]\r\n"
    "F1=brevisto.ex_\r\n"
    "F2=readme.txt\r\n"
    "[Options]\r\n"
    "LicenceFile=lizenz.txt\r\n"
    "[AddLink]\r\n"
    "ProgramGroup=Brevisto\r\n";

// The script with more lines in its options section.
std::string WithOptions(const std::string& lines) {
    std::string script = kWizardScript;
    const std::string licence = "LicenceFile=lizenz.txt\r\n";
    script.insert(script.find(licence) + licence.size(), lines);
    return script;
}

class SetupWizardTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    RecordingWizardView view;
    std::unique_ptr<InstallWizardModel> model;
    std::string oldTemp;

    void SetUp() override {
        oldTemp = tp.shell().GetEnvironment("TEMP");
        tp.SetEnvironment("TEMP", ExcludeTrailingBackslash(env.folders.temp));
        tp.WriteFile(env.folders.setup + "lizenz.txt", "Lizenz");
        tp.WriteFile(env.folders.setup + "readme.txt", "Lies mich");
    }
    void TearDown() override { tp.SetEnvironment("TEMP", oldTemp); }

    bool Create(const std::string& script = kWizardScript) {
        if (!script.empty()) tp.WriteFile(env.folders.setup + "Setup.in", script);
        model = std::make_unique<InstallWizardModel>(tp.platform(), env.folders, env.setupProgram);
        model->setupProgram = env.setupProgram;
        view.model = model.get();
        model->Attach(&view);
        const bool ok = model->Create();
        // A Windows test user may lack administrator rights: that warning is not under test here.
        if (!tp.Posix()) tp.prompter().messages.clear();
        if (ok) model->Start();
        return ok;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& m : tp.prompter().messages) texts.push_back(m.text);
        return texts;
    }
    // The install run writes the real registry on Windows; there the end-to-end test covers it.
    bool CanInstall() { return tp.Posix() != nullptr; }
};

TEST_F(SetupWizardTest, PageTextsAndStartButtons) {
    ASSERT_TRUE(Create());
    EXPECT_STREQ(InstallPageText(0).name, "Willkommen");
    EXPECT_STREQ(InstallPageText(4).name, "Programmordner im Startmenü wählen");
    EXPECT_STREQ(InstallPageText(6).info, "Bitte warten Sie bis Setup alle Aktionen abgeschlossen hat.");
    EXPECT_EQ(model->page(), kPageWelcome);
    EXPECT_FALSE(model->back().enabled);
    EXPECT_TRUE(model->next().enabled);
    EXPECT_EQ(model->next().caption, "&Weiter >");
    EXPECT_EQ(model->cancel().caption, "Abbrechen");
    EXPECT_EQ(model->bottomLabel(), " Brevisto 3 ");
    EXPECT_EQ(model->targetText(), "Setup installiert \"Brevisto 3\" in den folgenden Ordner.");
    EXPECT_NE(model->licenceQuestion().find("Um Brevisto 3 zu installieren"), std::string::npos);
    EXPECT_EQ(model->iconPath(), env.folders.setup + "brevisto.ico");
}

TEST_F(SetupWizardTest, MissingScriptEndsWithMessage) {
    model = std::make_unique<InstallWizardModel>(tp.platform(), env.folders, env.setupProgram);
    EXPECT_FALSE(model->Create());
    ASSERT_FALSE(Texts().empty());
    EXPECT_EQ(Texts().back(),
              "Datei Setup.in konnte nicht geöffnet werden. Stellen Sie sicher, dass sich alle Installationsdateien "
              "in einem Ordner befinden!");
}

TEST_F(SetupWizardTest, NotAdministratorWarnsAndGoesOn) {
    if (!tp.Posix()) GTEST_SKIP() << "the user's rights are the system's here";
    tp.Posix()->system.isAdmin = false;
    ASSERT_TRUE(Create());
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].rfind("Sie sind nicht als Administrator angemeldet.", 0), 0u);
}

TEST_F(SetupWizardTest, LicencePageWithItsButtonsAndNoQuestion) {
    ASSERT_TRUE(Create());
    model->Next();
    EXPECT_EQ(model->page(), kPageLicence);
    EXPECT_EQ(model->licenceText(), "Lizenz");
    EXPECT_EQ(model->next().caption, "&Ja");
    EXPECT_EQ(model->cancel().caption, "&Nein");
    model->Cancel();
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(Texts().empty());
    model->Next();
    EXPECT_EQ(model->page(), kPageTarget);
    model->Back();
    EXPECT_EQ(model->page(), kPageLicence);
}

TEST_F(SetupWizardTest, NoLicenceSkipsItsPageBothWays) {
    std::string script = kWizardScript;
    script.erase(script.find("LicenceFile=lizenz.txt\r\n"), 24);
    ASSERT_TRUE(Create(script));
    model->Next();
    EXPECT_EQ(model->page(), kPageTarget);
    model->Back();
    EXPECT_EQ(model->page(), kPageWelcome);
}

TEST_F(SetupWizardTest, UnreadableLicenceCountsAsNone) {
    (void)tp.files().DeleteFile(env.folders.setup + "lizenz.txt");
    ASSERT_TRUE(Create());
    model->Next();
    EXPECT_EQ(model->page(), kPageTarget);
}

TEST_F(SetupWizardTest, ProposalIsProgramFilesAndDefaultFolder) {
    ASSERT_TRUE(Create());
    EXPECT_EQ(model->installFolder, env.folders.programFiles + "\\Brevisto");
    EXPECT_EQ(model->programFolder, "Brevisto");
}

TEST_F(SetupWizardTest, ProposalFromUpdateKeyInLowerCaseWithoutBackslash) {
    if (!tp.Posix()) GTEST_SKIP() << "keeps the real registry untouched";
    ASSERT_EQ(tp.registry().CreateKey(RegRoot::LocalMachine, "SOFTWARE\\Brevisto"), 0);
    ASSERT_EQ(WriteRegistryString(tp.registry(), RegRoot::LocalMachine, "SOFTWARE\\Brevisto", "InstallDir",
                                  "D:\\Programme\\BREVISTO ÄÖ\\"),
              0);
    ASSERT_TRUE(Create(WithOptions("UpdateRegKey=HKLM\\SOFTWARE\\Brevisto;InstallDir\r\n")));
    EXPECT_EQ(model->installFolder, "d:\\programme\\brevisto äö");
}

TEST_F(SetupWizardTest, FolderCharactersRefused) {
    for (char c : std::string("*/<>?|")) EXPECT_TRUE(IsRefusedFolderChar(c)) << c;
    for (char c : std::string("aZ:\\ .-_\xE4")) EXPECT_FALSE(IsRefusedFolderChar(c)) << c;
}

TEST_F(SetupWizardTest, EmptyFolderReturnsToFolderPage) {
    ASSERT_TRUE(Create());
    model->Next();
    model->Next();
    model->installFolder.clear();
    model->Next();
    EXPECT_EQ(model->page(), kPageTarget);
    EXPECT_EQ(view.installFocus, 1);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Der Zielordner ist ungültig!");
}

TEST_F(SetupWizardTest, OptionsPageCreatesTheFolder) {
    ASSERT_TRUE(Create());
    model->Next();
    model->Next();
    model->installFolder = env.folders.programFiles + "\\Neu\\Tief";
    model->Next();
    EXPECT_EQ(model->page(), kPageOptions);
    EXPECT_TRUE(DirectoryExists(tp.files(), model->installFolder));
}

TEST_F(SetupWizardTest, UncreatableFolderReturnsToFolderPage) {
    ASSERT_TRUE(Create());
    tp.WriteFile(env.folders.programFiles + "\\Datei", "x");
    model->Next();
    model->Next();
    model->installFolder = env.folders.programFiles + "\\Datei\\Brevisto";
    model->Next();
    EXPECT_EQ(model->page(), kPageTarget);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Der Zielordner ist ungültig!");
}

TEST_F(SetupWizardTest, SetupFolderAndItsParentsRefused) {
    ASSERT_TRUE(Create());
    const std::string refused =
        "Sie können Brevisto 3 nicht in diesen Ordner installieren, da sich in diesem Ordner die "
        "Installationsdateien befinden!";
    const std::string setup = env.folders.setup;
    for (const std::string& field : {setup, ExcludeTrailingBackslash(setup), UpperCase1252(setup),
                                     ExtractFileDrive(setup) + "\\", ExtractFileDrive(setup)}) {
        tp.prompter().messages.clear();
        model->installFolder = field;
        EXPECT_FALSE(model->LeaveInstallFolder()) << field;
        ASSERT_EQ(Texts().size(), 1u);
        EXPECT_EQ(Texts()[0], refused);
    }
    model->installFolder = setup + "Brevisto";
    EXPECT_TRUE(model->LeaveInstallFolder());
    model->installFolder = ExcludeTrailingBackslash(setup) + "x";
    EXPECT_TRUE(model->LeaveInstallFolder());
}

TEST_F(SetupWizardTest, EmptyProgramFolderRefused) {
    ASSERT_TRUE(Create());
    model->programFolder.clear();
    EXPECT_FALSE(model->LeaveProgramFolder());
    EXPECT_EQ(view.programFocus, 1);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Sie müssen einen Programmordner angeben!");
    model->programFolder = "X";
    EXPECT_TRUE(model->LeaveProgramFolder());
}

TEST_F(SetupWizardTest, OptionsVisibility) {
    struct Case {
        const char* options;
        bool autoRun, additional;
    } cases[] = {
        {"", false, false},
        {"AutoRun=TRUE;Brevisto;brevisto.exe\r\n", true, false},
        {"AutoRun=true\r\n", true, false},
        {"AutoRun=FALSE;Brevisto;brevisto.exe\r\n", false, false},
        {"AdditionalComment=Mit Beispielen\r\n", false, false},
        {"AdditionalOption=Beispiele\r\n", false, false},
        {"AdditionalComment=Mit Beispielen\r\nAdditionalOption=Beispiele\r\n", false, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Create(WithOptions(c.options)));
        EXPECT_EQ(model->autoRunVisible(), c.autoRun) << c.options;
        EXPECT_EQ(model->additionalVisible(), c.additional) << c.options;
    }
}

TEST_F(SetupWizardTest, ProgramFolderListSortedWithSelection) {
    for (const char* name : {"Zubehör", "brevisto", "Autostart"})
        ASSERT_TRUE(ForceDirectories(tp.files(), env.folders.programsMenu + "\\" + name));
    tp.WriteFile(env.folders.programsMenu + "\\Datei.lnk", "x");
    ASSERT_TRUE(Create());
    EXPECT_EQ(model->folderList(), (std::vector<std::string>{"Autostart", "brevisto", "Zubehör"}));
    EXPECT_EQ(model->folderSelection(), 1);
}

TEST_F(SetupWizardTest, BrowseNamingRule) {
    EXPECT_EQ(TargetFolderFor("C:\\Programme", "Brevisto"), "C:\\Programme\\Brevisto");
    EXPECT_EQ(TargetFolderFor("C:\\", "Brevisto"), "C:\\Brevisto");
    EXPECT_EQ(TargetFolderFor("C:\\Programme\\BREVISTO alt", "Brevisto"), "C:\\Programme\\BREVISTO alt");
    EXPECT_EQ(TargetFolderFor("C:\\Daten\\Ärger", "ärger"), "C:\\Daten\\Ärger");
    EXPECT_EQ(TargetFolderFor("", "Brevisto"), "");
}

TEST_F(SetupWizardTest, BrowseReplacesFieldAndRemovesEmptyOldFolder) {
    ASSERT_TRUE(Create());
    model->Next();
    model->Next();
    model->Next();  // creates the proposed folder
    const std::string old = model->installFolder;
    ASSERT_TRUE(DirectoryExists(tp.files(), old));
    tp.prompter().folderAnswers = {"D:\\Anderswo"};
    model->Browse();
    EXPECT_EQ(model->installFolder, "D:\\Anderswo\\Brevisto");
    EXPECT_EQ(view.folderChanges, 1);
    EXPECT_FALSE(DirectoryExists(tp.files(), old));
    tp.prompter().folderAnswers = {""};
    model->Browse();
    EXPECT_EQ(model->installFolder, "D:\\Anderswo\\Brevisto");
}

TEST_F(SetupWizardTest, CloseQuestionByPage) {
    ASSERT_TRUE(Create());
    tp.prompter().answers = {MsgResult::No};
    model->Cancel();
    EXPECT_EQ(view.closes, 0);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0],
              "Damit beenden Sie Setup, ohne das Programm zu installieren.\rMöchten Sie Setup wirklich beenden ohne "
              "die Installation abzuschließen?");
    tp.prompter().answers = {MsgResult::Yes};
    EXPECT_TRUE(model->QueryClose());
    model->Next();  // licence: no question
    EXPECT_TRUE(model->QueryClose());
    EXPECT_EQ(Texts().size(), 2u);
    model->Next();  // folder page: the question is armed again
    tp.prompter().answers = {MsgResult::No};
    EXPECT_FALSE(model->QueryClose());
}

TEST_F(SetupWizardTest, FullRunToCompletionAndClose) {
    if (!CanInstall()) GTEST_SKIP() << "the install run writes the real registry";
    ASSERT_TRUE(Create());
    for (int i = 0; i < 5; ++i) model->Next();
    EXPECT_EQ(model->page(), kPageReady);
    EXPECT_EQ(model->next().caption, "Fertig stellen");
    model->Next();
    EXPECT_EQ(model->page(), kPageDone);
    EXPECT_EQ(view.pages, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(view.percents.empty());
    EXPECT_FALSE(model->back().enabled);
    EXPECT_FALSE(model->cancel().enabled);
    EXPECT_EQ(model->next().caption, "Schließen");
    EXPECT_TRUE(model->readmeEnabled());
    EXPECT_TRUE(model->readme);
    EXPECT_TRUE(model->startEnabled());
    EXPECT_TRUE(model->startProgram);
    EXPECT_TRUE(model->QueryClose());
    model->Next();
    EXPECT_EQ(view.closes, 1);
    const std::string folder = IncludeTrailingBackslash(model->installFolder);
    EXPECT_EQ(tp.Posix()->shell.openedDocuments, (std::vector<std::string>{folder + "ReadMe.txt"}));
    ASSERT_EQ(tp.Posix()->system.startedProcesses.size(), 1u);
    EXPECT_EQ(tp.Posix()->system.startedProcesses[0].application, folder + "brevisto.exe");
}

TEST_F(SetupWizardTest, CompletionBoxesByInstallExe) {
    if (!CanInstall()) GTEST_SKIP() << "the install run writes the real registry";
    struct Case {
        const char* extra;
        bool start;
        const char* command;  // started on "Schließen", empty for none
    } cases[] = {
        {"", true, ""},
        {"[AutoRun]\r\nInstallExe=%INSTDIR%\\brevisto.exe,/x\r\n", false, "brevisto.exe /x"},
        {"[AutoRun]\r\nInstallExe=%INSTDIR%\\brevisto.exe,/DONTWAIT\r\n", true, "brevisto.exe "},
    };
    for (const Case& c : cases) {
        tp.Posix()->system.startedProcesses.clear();
        ASSERT_TRUE(Create(std::string(kWizardScript) + c.extra));
        for (int i = 0; i < 6; ++i) model->Next();
        ASSERT_EQ(model->page(), kPageDone) << c.extra;
        EXPECT_EQ(model->startEnabled(), c.start) << c.extra;
        EXPECT_EQ(model->startProgram, c.start) << c.extra;
        tp.Posix()->system.startedProcesses.clear();
        model->Next();
        std::vector<std::string> commands;
        for (const ProcessStart& s : tp.Posix()->system.startedProcesses)
            if (s.application.empty()) commands.push_back(s.commandLine);
        if (*c.command) {
            ASSERT_EQ(commands.size(), 1u) << c.extra;
            EXPECT_EQ(commands[0], IncludeTrailingBackslash(model->installFolder) + c.command);
            EXPECT_EQ(commands[0].find("/DONTWAIT"), std::string::npos);
        } else {
            EXPECT_TRUE(commands.empty());
        }
    }
}

TEST_F(SetupWizardTest, AdditionalInfoFileTakesThePlaceOfTheStart) {
    if (!CanInstall()) GTEST_SKIP() << "the install run writes the real registry";
    ASSERT_TRUE(Create(WithOptions("AdditionalComment=Info\r\nAdditionalOption=Info lesen\r\n"
                                   "AdditionalInfoFile=readme.txt\r\n")));
    for (int i = 0; i < 6; ++i) model->Next();
    ASSERT_EQ(model->page(), kPageDone);
    EXPECT_FALSE(model->startEnabled());
    model->readme = false;
    model->Next();
    EXPECT_EQ(tp.Posix()->shell.openedDocuments,
              (std::vector<std::string>{IncludeTrailingBackslash(model->installFolder) + "readme.txt"}));
    EXPECT_TRUE(tp.Posix()->system.startedProcesses.empty());
}

TEST_F(SetupWizardTest, RunPageHasNoButtonsAndCannotClose) {
    if (!CanInstall()) GTEST_SKIP() << "the install run writes the real registry";
    ASSERT_TRUE(Create());
    for (int i = 0; i < 5; ++i) model->Next();
    bool checked = false;
    tp.pump().onProcess = [&] {
        if (checked || model->page() != kPageInstall) return;
        checked = true;
        EXPECT_FALSE(model->back().enabled);
        EXPECT_FALSE(model->next().enabled);
        EXPECT_FALSE(model->cancel().enabled);
        EXPECT_FALSE(model->QueryClose());
    };
    model->Next();
    EXPECT_TRUE(checked);
}

TEST(UninstallWindowModelTest, TextsAndSteps) {
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    UninstallWindowModel model(tp.platform(), env.folders, "/UnInst:\"" + tp.TempDir() + "fehlt_Uninstall.in\"");
    model.Create();
    EXPECT_EQ(model.infoPath(), tp.TempDir() + "fehlt_Uninstall.in");
    EXPECT_STREQ(UninstallStepLabel(0), "Programmdateien entfernen");
    EXPECT_STREQ(UninstallStepLabel(3), "Entfernen der Registrierungsschlüssel");
    EXPECT_STREQ(kUninstallHeaderTitle, "Lizenzvereinbarung");

    test::TestPlatform tp2;
    test::SetupEnv env2{tp2};
    const std::string info = tp2.TempDir() + "B_Uninstall.in";
    tp2.WriteFile(info, "[InstallInfo]\r\nApplicationName=Brevisto 3\r\nInstPath=C:\\x\r\n");
    UninstallWindowModel named(tp2.platform(), env2.folders, "/UnInst:" + info);
    named.Create();
    EXPECT_EQ(named.text(),
              "Es soll das Produkt Brevisto 3 deinstalliert werden, klicken Sie auf \"Deinstallation durchführen\" "
              "um die Deinstallation zu beginnen. Wählen Sie \"Abbrechen\", um Brevisto 3 nicht zu deinstallieren.");
    EXPECT_EQ(named.title(), "Brevisto 3 Deinstallation");
}

TEST(UninstallWindowModelTest, CancelAtFirstQuestionKeepsWindow) {
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    const std::string info = tp.TempDir() + "B_Uninstall.in";
    tp.WriteFile(info, "[InstallInfo]\r\nApplicationName=Brevisto 3\r\n");
    UninstallWindowModel model(tp.platform(), env.folders, "/UnInst:" + info);
    model.Create();
    test::RecordingUninstallView view;
    tp.prompter().answers = {MsgResult::Cancel};
    EXPECT_FALSE(model.Perform(view));
    EXPECT_TRUE(view.panelShown);
    EXPECT_EQ(view.buttons, (std::vector<bool>{false, true}));
    EXPECT_TRUE(FileExists(tp.files(), info));
}

}  // namespace
}  // namespace bv
