// The main window's model: the start from the command line, the backup command with its
// refusals and the Outlook Express restart, the viewer command's association question and the
// menu as data.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/file_association.h"
#include "brevisto/shell/main_window_model.h"
#include "brevisto/shell/outlook_express.h"
#include "brevisto/shell/product.h"
#include "common/msg_box.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

// Records what the model asked of the window, in order.
class RecordingMainView : public MainWindowView {
public:
    std::vector<std::string> events;
    bool printerOk = true;
    NoticeAnswer noticeAnswer{true, false};

    void HideMainWindow() override { events.push_back("hide"); }
    void ShowMainWindow() override { events.push_back("show"); }
    void CloseMainWindow() override { events.push_back("close"); }
    WizardResult wizardResult;
    WizardResult RunWizardModally(int kind) override {
        events.push_back("wizard " + std::to_string(kind));
        return wizardResult;
    }
    void RunViewerModally() override { events.push_back("viewer"); }
    void RunPreferencesModally(PrefTab tab) override {
        events.push_back("preferences " + std::to_string(static_cast<int>(tab)));
    }
    bool RunPrinterSetup() override {
        events.push_back("printer");
        return printerOk;
    }
    void RunOutlookExpressSettingsModally() override { events.push_back("oe settings"); }
    void RunSystemSettingsModally() override { events.push_back("system settings"); }
    void RunTransferModally() override { events.push_back("transfer"); }
    void RunAboutModally() override { events.push_back("about"); }
    NoticeAnswer RunNoticeDialog(const std::string&) override {
        events.push_back("notice");
        return noticeAnswer;
    }
    void ShowHelpTopic(int topic) override { events.push_back("help " + std::to_string(topic)); }
};

using Events = std::vector<std::string>;

class ShellMainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tp.Posix()) GTEST_SKIP() << "the Windows version, windows and shell are the real system's on Windows";
        posix = tp.Posix();
        Cleanup();
        WriteRegString(tp.registry(), 2, kOutlookExpressVersionKey, "Current", "6,0,2900,5512");
    }
    void TearDown() override {
        if (posix) Cleanup();
    }
    void Cleanup() {
        Registry& r = tp.registry();
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
        r.DeleteKeyTree(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Outlook Express");
        r.DeleteKeyTree(RegRoot::ClassesRoot, ".bvq");
        r.DeleteKeyTree(RegRoot::ClassesRoot, kBackupFileClass);
    }
    void AnswerAssociation(bool registered) {
        if (registered) WriteRegString(tp.registry(), 3, kBackupFileClass, "", kBackupFileTypeName);
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const auto& m : tp.prompter().messages) out.push_back(m.text);
        return out;
    }

    test::TestPlatform tp;
    PosixPlatform* posix = nullptr;
    RecordingMainView view;
};

TEST_F(ShellMainWindowTest, InteractiveStartShowsTheWindow) {
    MainWindowModel m(tp.platform(), view);
    m.Create({});
    EXPECT_FALSE(m.AutoRun);
    EXPECT_EQ(view.events, Events{"show"});
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_GE(tp.pump().calls, 1);
}

TEST_F(ShellMainWindowTest, UnattendedStartRunsTheWizardWithTheFilesKindAndEnds) {
    struct Case {
        const char* content;
        int kind;
    } cases[] = {{"[Backup]\r\nUPDATE=1\r\n", 1}, {"[Backup]\r\nUPDATE=0\r\n", 0}, {"", 0}};
    for (const Case& c : cases) {
        view.events.clear();
        const std::string path = tp.TempDir() + "Mein Plan.bvt";
        ASSERT_TRUE(tp.WriteFile(path, c.content));
        MainWindowModel m(tp.platform(), view);
        m.BackupKind = 1 - c.kind;
        m.Create({path});
        EXPECT_TRUE(m.AutoRun);
        EXPECT_EQ(m.ParamFilePath, path);
        EXPECT_EQ(m.BackupKind, c.kind);
        EXPECT_TRUE(m.Closed());
        EXPECT_EQ(view.events, (Events{"hide", "wizard " + std::to_string(c.kind), "close"}));
    }
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(ShellMainWindowTest, UnattendedStartEndsWithTheRunsExitCode) {
    const std::string path = tp.TempDir() + "Nacht.BVT";
    ASSERT_TRUE(tp.WriteFile(path, "[Backup]\r\nUPDATE=0\r\n"));
    for (bool succeeded : {true, false}) {
        view.events.clear();
        view.wizardResult = WizardResult{false, true, succeeded};
        MainWindowModel m(tp.platform(), view);
        m.Create({path});
        EXPECT_EQ(m.ExitCode, succeeded ? 0 : 1);
        EXPECT_TRUE(m.Closed());
    }

    // Refused before the wizard (Windows 7): the question closes by itself, nothing waits,
    // and the program ends with a failure code.
    view.events.clear();
    tp.prompter().messages.clear();
    posix->system.version = OsVersion{true, 2, 6, 1, 7600, ""};
    MainWindowModel refused(tp.platform(), view);
    refused.Create({path});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(refused.Closed());
    EXPECT_EQ(view.events, Events{"close"});
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().timeouts, std::vector<uint32_t>{60000});
    EXPECT_TRUE(posix->shell.openedDocuments.empty());
}

TEST_F(ShellMainWindowTest, MissingParameterFileKeepsTheProgramOpen) {
    MainWindowModel m(tp.platform(), view);
    m.Create({"C:\\Gibt\\es", "nicht.bvt"});  // first piece lacks .BVT: interactive
    EXPECT_FALSE(m.AutoRun);
    EXPECT_TRUE(tp.prompter().messages.empty());

    view.events.clear();
    m.Create({"C:\\Gibt\\es\\nicht.bvt", "zweiter"});
    EXPECT_FALSE(m.AutoRun);
    EXPECT_EQ(view.events, Events{"show"});
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    const auto& msg = tp.prompter().messages[0];
    EXPECT_EQ(msg.text,
              "Die angegebene Taskplaner-Datei wurde nicht gefunden!\rDas automatische Backup "
              "konnte nicht durchgeführt werden.\r\rParameter: C:\\Gibt\\es\\nicht.bvt zweiter");
    EXPECT_EQ(msg.caption, "Brevisto");
    EXPECT_EQ(msg.style, BuildMsgBox("Brevisto", mkError, bsOk).style);
}

// Short names as the task scheduler passes them, with their long forms.
class ShortNameFiles : public test::FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    std::map<std::string, std::string> longNames;
    std::string LongPath(const std::string& path) override {
        auto it = longNames.find(path);
        return it == longNames.end() ? FaultyFiles::LongPath(path) : it->second;
    }
};

TEST_F(ShellMainWindowTest, ParameterFileGoesByItsLongName) {
    ShortNameFiles files(tp.files());
    Platform& base = tp.platform();
    Platform p{base.registry, files, base.shell, base.system, base.prompter, base.pump};
    const std::string longName = tp.TempDir() + "Mein Plan.bvt";
    ASSERT_TRUE(tp.WriteFile(longName, "[Backup]\r\nUPDATE=1\r\n"));
    files.longNames["C:\\TEST\\MEINPL~1.BVT"] = longName;
    files.longNames["C:\\TEST\\WEGPL~1.BVT"] = tp.TempDir() + "Weg Plan.bvt";

    MainWindowModel m(p, view);
    m.Create({"C:\\TEST\\MEINPL~1.BVT"});
    EXPECT_EQ(m.ParamFilePath, longName);
    EXPECT_EQ(m.BackupKind, 1);
    EXPECT_EQ(view.events, (Events{"hide", "wizard 1", "close"}));

    // Not found: the message names the path as the command line gave it.
    view.events.clear();
    MainWindowModel gone(p, view);
    gone.Create({"C:\\TEST\\WEGPL~1.BVT"});
    EXPECT_FALSE(gone.AutoRun);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text.substr(tp.prompter().messages[0].text.rfind(' ') + 1),
              "C:\\TEST\\WEGPL~1.BVT");
    EXPECT_EQ(view.events, Events{"show"});
}

TEST_F(ShellMainWindowTest, BackupFileOnTheCommandLineOpensTheViewer) {
    const std::string backup = tp.TempDir() + "Haupt_2026.bvq";
    ASSERT_TRUE(tp.WriteFile(backup, "x"));
    AnswerAssociation(true);
    MainWindowModel m(tp.platform(), view);
    m.Create({backup});
    EXPECT_EQ(m.ViewerFilePath, backup);
    EXPECT_EQ(view.events, (Events{"hide", "viewer", "show", "show"}));

    // A backup file that does not exist: the program just starts.
    view.events.clear();
    m.Create({tp.TempDir() + "fehlt.bvq"});
    EXPECT_EQ(view.events, Events{"show"});

    // A name with both marks: the unattended start finds no parameter file and says so,
    // then the viewer shows the backup.
    const std::string both = tp.TempDir() + "Nacht.bvt.bvq";
    ASSERT_TRUE(tp.WriteFile(both, "x"));
    view.events.clear();
    tp.prompter().messages.clear();
    MainWindowModel twice(tp.platform(), view);
    twice.Create({both});
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text,
              "Die angegebene Taskplaner-Datei wurde nicht gefunden!\rDas automatische Backup konnte "
              "nicht durchgeführt werden.\r\rParameter: ");
    EXPECT_FALSE(twice.AutoRun);
    EXPECT_EQ(twice.ViewerFilePath, both);
    EXPECT_EQ(view.events, (Events{"hide", "viewer", "show", "show"}));
}

TEST_F(ShellMainWindowTest, WindowsVistaAndSevenAreRefused) {
    struct Case {
        uint32_t major, minor;
        int answer;
        bool refused;
    } cases[] = {
        {6, 0, MsgResult::Yes, true}, {6, 1, MsgResult::No, true}, {5, 1, 0, false},
        {5, 2, 0, false},
    };
    for (const Case& c : cases) {
        view.events.clear();
        tp.prompter().messages.clear();
        posix->shell.openedDocuments.clear();
        posix->system.version = OsVersion{true, 2, c.major, c.minor, 6000, ""};
        if (c.answer) tp.prompter().answers.push_back(c.answer);
        MainWindowModel m(tp.platform(), view);
        m.SaveBtnClick(BackupSender::CreateButton);
        if (!c.refused) {
            EXPECT_EQ(view.events, (Events{"hide", "wizard 0", "show"}));
            EXPECT_TRUE(tp.prompter().messages.empty());
            continue;
        }
        EXPECT_TRUE(view.events.empty());
        ASSERT_EQ(tp.prompter().messages.size(), 1u);
        EXPECT_EQ(tp.prompter().messages[0].text,
                  "Die Software Brevisto ist nicht für das Mailprogramm \"Windows Mail\" "
                  "konzipiert. Für \"Windows Mail\" benötigen Sie die Software Velmora - "
                  "Korvanta.\r\rMöchten Sie die Produkthomepage von Velmora besuchen?");
        EXPECT_EQ(tp.prompter().messages[0].style,
                  BuildMsgBox("Brevisto", mkInformation, bsYesNo).style);
        EXPECT_EQ(posix->shell.openedDocuments,
                  c.answer == MsgResult::Yes ? std::vector<std::string>{kSiblingProductUrl}
                                             : std::vector<std::string>{});
    }
}

TEST_F(ShellMainWindowTest, BackupKindBySender) {
    struct Case {
        BackupSender sender;
        int before, after;
    } cases[] = {
        {BackupSender::CreateButton, 1, 0}, {BackupSender::UpdateButton, 0, 1},
        {BackupSender::MainWindow, 1, 1},   {BackupSender::MainWindow, 0, 0},
        {BackupSender::None, 1, 1},
    };
    for (const Case& c : cases) {
        view.events.clear();
        MainWindowModel m(tp.platform(), view);
        m.BackupKind = c.before;
        m.SaveBtnClick(c.sender);
        EXPECT_EQ(m.BackupKind, c.after);
        EXPECT_EQ(view.events, (Events{"hide", "wizard " + std::to_string(c.after), "show"}));
    }
}

TEST_F(ShellMainWindowTest, OutlookExpressRestartAndProgramEnd) {
    struct Case {
        bool autoClose, autoStart, autoStart2, oeRunning, stopProgram;
        bool started;
        bool closesWindow;
    } cases[] = {
        {false, false, false, false, false, false, false},
        {false, true, false, false, false, true, false},
        {false, true, true, false, false, false, false},
        {true, true, true, true, false, true, false},
        {true, true, true, false, false, false, false},
        {true, false, true, true, true, false, true},
        {true, true, false, true, true, true, true},
    };
    for (const Case& c : cases) {
        Cleanup();
        WriteRegString(tp.registry(), 2, kOutlookExpressVersionKey, "Current", "6,0,2900,5512");
        view.events.clear();
        posix->shell.openedDocuments.clear();
        posix->system.windows.clear();
        if (c.oeRunning)
            posix->system.windows.push_back({kOutlookExpressWindowClass, "Posteingang - Outlook Express"});
        Settings s(tp.platform());
        s.SetBool("OEautoClose", c.autoClose);
        s.SetBool("OEautoStart", c.autoStart);
        s.SetBool("OEautoStart2", c.autoStart2);
        s.SetBool("stopProgram", c.stopProgram);
        MainWindowModel m(tp.platform(), view);
        m.OEClosedByProgram = true;  // cleared by the command itself
        m.SaveBtnClick(BackupSender::CreateButton);
        EXPECT_EQ(m.OEClosedByProgram, c.oeRunning && c.autoClose);
        EXPECT_EQ(posix->shell.openedDocuments,
                  c.started ? std::vector<std::string>{"MSIMN.EXE"} : std::vector<std::string>{});
        EXPECT_EQ(view.events,
                  (Events{"hide", "wizard 0", c.closesWindow ? "close" : "show"}));
    }
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(ShellMainWindowTest, StopsWhenOutlookExpressIsMissingOrRunning) {
    // Version 4: the command stops with its message.
    WriteRegString(tp.registry(), 2, kOutlookExpressVersionKey, "Current", "4,72,3110,0");
    MainWindowModel m(tp.platform(), view);
    m.SaveBtnClick(BackupSender::CreateButton);
    EXPECT_TRUE(view.events.empty());
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text, kOEVersion4Text);

    // Running without automatic closing: the question; Yes opens the preferences on their
    // Outlook Express tab and the backup still does not start.
    WriteRegString(tp.registry(), 2, kOutlookExpressVersionKey, "Current", "6,0,2900,5512");
    posix->system.windows.push_back({kOutlookExpressWindowClass, "Outlook Express"});
    tp.prompter().answers.push_back(MsgResult::Yes);
    m.SaveBtnClick(BackupSender::CreateButton);
    EXPECT_EQ(view.events, Events{"preferences 3"});
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[1].text, kOEPleaseCloseText);
}

TEST_F(ShellMainWindowTest, ViewerCommandOffersTheAssociationOnce) {
    struct Case {
        bool classIsOurs;
        bool againSet;
        int answer;
        bool asked;
        bool registered;
        bool againAfter;
    } cases[] = {
        {true, false, 0, false, false, false},
        {false, true, 0, false, false, true},
        {false, false, MsgResult::Yes, true, true, false},
        {false, false, MsgResult::No, true, false, true},
    };
    for (const Case& c : cases) {
        Cleanup();
        view.events.clear();
        tp.prompter().messages.clear();
        posix->shell.associationNotices = 0;
        AnswerAssociation(c.classIsOurs);
        if (c.againSet) Settings(tp.platform()).SetBool("again_bvqhandle", true);
        if (c.answer) tp.prompter().answers.push_back(c.answer);
        MainWindowModel m(tp.platform(), view);
        m.MenuShowClick();
        EXPECT_EQ(view.events, (Events{"hide", "viewer", "show"}));
        ASSERT_EQ(tp.prompter().messages.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(tp.prompter().messages[0].text,
                      "Den Inhalt eines Backups können Sie sich zukünftig mit einem Doppelklick "
                      "anzeigen lassen.\rDazu muss im Windows-System die Dateiendung .bvq "
                      "registriert werden.\r\rMöchten Sie die Dateiendung .bvq im System "
                      "registrieren?");
            EXPECT_EQ(tp.prompter().messages[0].style,
                      BuildMsgBox("Brevisto", mkInformation, bsYesNo).style);
        }
        EXPECT_EQ(BackupExtensionRegistered(tp.platform()), c.registered);
        EXPECT_EQ(posix->shell.associationNotices, c.registered ? 1 : 0);
        EXPECT_EQ(Settings(tp.platform()).Again("again_bvqhandle"), c.againAfter);
    }
}

TEST(ShellMainMenu, ShortcutsAndHiddenEntries) {
    struct Expect {
        const char* caption;
        MenuCommand command;
        uint32_t key;
        bool hidden;
    } entries[] = {
        {"&Einstellungen...", MenuCommand::Preferences, 0, false},
        {"&Druckereinrichtung...", MenuCommand::PrinterSetup, 0, false},
        {"&Beenden", MenuCommand::Exit, 0, false},
        {"&anlegen...", MenuCommand::BackupCreate, 0x74, false},
        {"ein&spielen...", MenuCommand::BackupRestore, 0x75, true},
        {"a&ktualisieren", MenuCommand::BackupUpdate, 0x76, true},
        {"a&nschauen...", MenuCommand::BackupShow, 0x78, false},
        {"auto&matisieren", MenuCommand::BackupAutomate, 0, true},
        {"Outlook Express &Einstellungen...", MenuCommand::OutlookExpressSettings, 0, true},
        {"&Systemeinstellungen...", MenuCommand::SystemSettings, 0, true},
        {"nach Windows (Live) Mail", MenuCommand::Transfer, 0, true},
        {"Update suchen", MenuCommand::UpdateSearch, 0, true},
        {"Webseite laden", MenuCommand::WebSite, 0, false},
        {"E-Mail senden", MenuCommand::SendMail, 0, false},
        {"Microsoft® Outlook Express Support Center", MenuCommand::MicrosoftSupport, 0, false},
        {"Korvanta", MenuCommand::SiblingProduct, 0, false},
        {"Hilfe", MenuCommand::Help, 0x70, false},
        {"Info...", MenuCommand::About, 0, false},
    };
    std::vector<const MainMenuItem*> items;
    std::vector<std::string> tops, separatorsAfter;
    std::string last;
    for (const MainMenuItem& item : MainMenuItems()) {
        if (item.kind == MenuItemKind::Entry) items.push_back(&item);
        if (item.kind == MenuItemKind::TopLevel)
            tops.push_back(std::string(item.caption) + (item.hiddenInSpecialEdition ? " (hidden)" : ""));
        if (item.kind == MenuItemKind::Separator)
            separatorsAfter.push_back(last + (item.hiddenInSpecialEdition ? " (hidden)" : ""));
        last = item.caption;
    }
    EXPECT_EQ(tops, (std::vector<std::string>{"&Programm", "&Backup", "&Extras (hidden)",
                                              "Daten übertragen (hidden)", "&?"}));
    EXPECT_EQ(separatorsAfter,
              (std::vector<std::string>{"&Druckereinrichtung...", "a&nschauen... (hidden)",
                                        "E-Mail senden", "Microsoft® Outlook Express Support Center",
                                        "Korvanta"}));
    ASSERT_EQ(items.size(), sizeof entries / sizeof entries[0]);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_STREQ(items[i]->caption, entries[i].caption);
        EXPECT_EQ(items[i]->command, entries[i].command) << entries[i].caption;
        EXPECT_EQ(items[i]->shortcutKey, entries[i].key) << entries[i].caption;
        EXPECT_EQ(items[i]->hiddenInSpecialEdition, entries[i].hidden) << entries[i].caption;
        const std::string text = items[i]->shortcutText;
        EXPECT_EQ(text.empty(), entries[i].key == 0) << entries[i].caption;
        // Hidden entries keep their keys: the key still reaches the command.
        if (entries[i].key) { EXPECT_EQ(CommandForShortcut(entries[i].key), entries[i].command); }
    }
    EXPECT_EQ(CommandForShortcut(0), MenuCommand::None);
    EXPECT_EQ(CommandForShortcut(0x77), MenuCommand::None);  // F8
}

TEST_F(ShellMainWindowTest, MenuCommandsReachTheirActions) {
    struct Case {
        MenuCommand command;
        int answer;
        Events events;
        const char* opened;  // nullptr = nothing
        const char* message;
    } cases[] = {
        {MenuCommand::Preferences, 0, {"preferences 0"}, nullptr, nullptr},
        {MenuCommand::Exit, 0, {"close"}, nullptr, nullptr},
        {CommandForShortcut(0x74), 0, {"hide", "wizard 0", "show"}, nullptr, nullptr},
        {CommandForShortcut(0x76), 0, {"hide", "wizard 1", "show"}, nullptr, nullptr},
        {CommandForShortcut(0x75), 0, {}, nullptr, nullptr},
        {MenuCommand::UpdateSearch, 0, {}, nullptr, nullptr},
        {MenuCommand::BackupAutomate, MsgResult::Yes, {"hide", "wizard 1", "show"}, nullptr,
         kAutomateQuestionText},
        {MenuCommand::BackupAutomate, MsgResult::No, {}, nullptr, kAutomateQuestionText},
        {MenuCommand::OutlookExpressSettings, 0, {"oe settings"}, nullptr, nullptr},
        {MenuCommand::SystemSettings, 0, {"system settings"}, nullptr, nullptr},
        {MenuCommand::Transfer, 0, {"transfer"}, nullptr, nullptr},
        {MenuCommand::WebSite, 0, {}, kProductUrl, nullptr},
        {MenuCommand::SendMail, 0, {}, kSupportMail, nullptr},
        {MenuCommand::MicrosoftSupport, 0, {}, kMicrosoftSupportUrl, nullptr},
        {MenuCommand::SiblingProduct, 0, {}, kSiblingProductUrl, nullptr},
        {CommandForShortcut(0x70), 0, {"help 1000"}, nullptr, nullptr},
        {MenuCommand::About, 0, {"about"}, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        view.events.clear();
        tp.prompter().messages.clear();
        posix->shell.openedDocuments.clear();
        if (c.answer) tp.prompter().answers.push_back(c.answer);
        MainWindowModel m(tp.platform(), view);
        m.BackupKind = 1;
        m.ExecuteMenuCommand(c.command);
        EXPECT_EQ(view.events, c.events) << static_cast<int>(c.command);
        EXPECT_EQ(posix->shell.openedDocuments,
                  c.opened ? std::vector<std::string>{c.opened} : std::vector<std::string>{});
        ASSERT_EQ(tp.prompter().messages.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(tp.prompter().messages[0].text, c.message);
            EXPECT_EQ(tp.prompter().messages[0].caption, "Automatisiertes Backup");
        }
    }
}

TEST_F(ShellMainWindowTest, PrinterSetupFailureAndOutlookExpressSettingsCheck) {
    MainWindowModel m(tp.platform(), view);
    view.printerOk = false;
    m.ExecuteMenuCommand(MenuCommand::PrinterSetup);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text,
              "Es wurde kein Drucker gefunden bzw. er wurde nicht korrekt installiert!");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Fehler");
    view.printerOk = true;
    m.ExecuteMenuCommand(MenuCommand::PrinterSetup);
    EXPECT_EQ(tp.prompter().messages.size(), 1u);

    // The Outlook Express dialog needs Outlook Express.
    tp.registry().DeleteKeyTree(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Outlook Express");
    view.events.clear();
    m.ExecuteMenuCommand(MenuCommand::OutlookExpressSettings);
    EXPECT_TRUE(view.events.empty());
    EXPECT_EQ(tp.prompter().messages.back().text, kOENotInstalledText);
}

TEST_F(ShellMainWindowTest, NoticesAreSilentDuringAnUnattendedRun) {
    MainWindowModel m(tp.platform(), view);
    view.noticeAnswer = NoticeAnswer{true, true};
    m.AutoRun = true;
    m.ShowNotice(kAgainDontDelMain, kNoticeDontDelMainText);
    EXPECT_TRUE(view.events.empty());
    m.AutoRun = false;
    m.ShowNotice(kAgainDontDelMain, kNoticeDontDelMainText);
    m.ShowNotice(kAgainDontDelMain, kNoticeDontDelMainText);
    EXPECT_EQ(view.events, Events{"notice"});
}

TEST(ShellProduct, TextsAndHelpPages) {
    EXPECT_STREQ(kCreateButtonCaption, "Backup &anlegen         ");
    EXPECT_EQ(std::string(kCreateButtonCaption).size(), 24u);
    EXPECT_STREQ(kApplicationTitle, "Brevisto - Datensicherung für Outlook Express");
    const std::string restore = SpecialEditionRestoreText();
    EXPECT_EQ(restore.find("Die mit dieser Spezialversion erstellte Backupdatei ist nur mit der "
                           "Vollversion von Velmora nutzbar. \r\rÜbertragen Sie"),
              0u);
    EXPECT_EQ(restore.substr(restore.size() - std::string(kSiblingProductUrl).size() - 5),
              std::string("a (") + kSiblingProductUrl + ").");
    for (const char* url : {kProductUrl, kSiblingProductUrl}) {
        const std::string u = url;
        EXPECT_EQ(u.substr(u.size() - 14), "index.html?bvq") << u;
    }
    for (int topic : {HelpTopic::Main, HelpTopic::Preferences, HelpTopic::SystemSettings,
                      HelpTopic::SystemSettingsContext, HelpTopic::Viewer, HelpTopic::Transfer})
        EXPECT_FALSE(HelpPageForTopic(topic).empty()) << topic;
    EXPECT_EQ(HelpPageForTopic(HelpTopic::SystemSettings),
              HelpPageForTopic(HelpTopic::SystemSettingsContext));
    EXPECT_EQ(HelpPageForTopic(4711), "");
}

}  // namespace
}  // namespace bv
