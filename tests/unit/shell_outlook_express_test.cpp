// Outlook Express control: the version check, closing before a backup and the restart rule.
#include <gtest/gtest.h>

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/outlook_express.h"
#include "common/msg_box.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

class ShellOutlookExpressTest : public ::testing::Test {
protected:
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
        tp.registry().DeleteKeyTree(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Outlook Express");
    }
    test::TestPlatform tp;
};

TEST_F(ShellOutlookExpressTest, VersionCheck) {
    struct Case {
        bool key;
        const char* current;  // nullptr = no value
        bool result;
        const char* message;
    } cases[] = {
        {false, nullptr, false, kOENotInstalledText},
        {true, "6,0,2900,5512", true, nullptr},
        {true, "5,50,4807,1700", true, nullptr},
        {true, "9", true, nullptr},
        {true, "4,72,3110,0", false, kOEVersion4Text},
        {true, "0", false, kOEVersion4Text},
        {true, "", false, kOEVersion4Text},
        {true, "x6", false, kOEVersion4Text},
        {true, nullptr, false, kOEVersion4Text},
    };
    for (const Case& c : cases) {
        Cleanup();
        tp.prompter().messages.clear();
        if (c.key) tp.registry().CreateKey(RegRoot::LocalMachine, kOutlookExpressVersionKey);
        if (c.current) WriteRegString(tp.registry(), 2, kOutlookExpressVersionKey, "Current", c.current);
        EXPECT_EQ(CheckOutlookExpressVersion(tp.platform()), c.result) << (c.current ? c.current : "-");
        ASSERT_EQ(tp.prompter().messages.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(tp.prompter().messages[0].text, c.message);
            EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
            EXPECT_EQ(tp.prompter().messages[0].style, BuildMsgBox("", mkError, bsOk).style);
        }
    }
    EXPECT_STREQ(kOENotInstalledText,
                 "Das E-Mail-Programm \"Microsoft® Outlook Express\" ist nicht auf Ihrem Rechner "
                 "installiert!");
    EXPECT_STREQ(kOEVersion4Text,
                 "Vermutlich nutzen Sie \"Microsoft® Outlook Express\" in der Version 4.0.\rDiese "
                 "Version wird jedoch nicht vom Programm unterstützt.");
}

TEST_F(ShellOutlookExpressTest, CloseOutlookExpress) {
    if (!tp.Posix()) GTEST_SKIP() << "the windows are the real system's on Windows";
    using Window = PosixSystem::FakeWindow;
    const Window browser{kOutlookExpressWindowClass, "Posteingang - Outlook Express"};
    const Window stubborn{kOutlookExpressWindowClass, "Posteingang - Outlook Express", true};
    const Window promptAnswersN{"#32770", "Outlook Express", false, 0x4E};
    const Window promptStays{"#32770", "Outlook Express"};
    struct Case {
        const char* name;
        bool autoClose;
        std::vector<Window> windows;
        int answer;
        bool result;
        bool closedByProgram;
        bool keyPosted;
        const char* message;
        bool preferences;
    } cases[] = {
        {"none, auto", true, {}, 0, false, false, false, nullptr, false},
        {"none, ask", false, {}, 0, false, false, false, nullptr, false},
        {"closes", true, {browser}, 0, false, true, false, nullptr, false},
        {"refuses, no prompt", true, {stubborn}, 0, false, false, false, nullptr, false},
        {"refuses, prompt answers N", true, {stubborn, promptAnswersN}, 0, false, false, true,
         nullptr, false},
        {"refuses, prompt stays", true, {stubborn, promptStays}, 0, true, false, true,
         kOECannotCloseText, false},
        // A window captioned "Outlook Express" alone is no running Outlook Express.
        {"prompt only", true, {promptStays}, 0, false, false, false, nullptr, false},
        {"ask, yes", false, {browser}, MsgResult::Yes, true, false, false, kOEPleaseCloseText, true},
        {"ask, no", false, {browser}, MsgResult::No, true, false, false, kOEPleaseCloseText, false},
    };
    PosixSystem& system = tp.Posix()->system;
    for (const Case& c : cases) {
        Cleanup();
        Settings(tp.platform()).SetBool("OEautoClose", c.autoClose);
        system.windows = c.windows;
        system.postedKeys.clear();
        tp.prompter().messages.clear();
        if (c.answer) tp.prompter().answers.push_back(c.answer);
        bool closed = false;
        int preferences = 0;
        EXPECT_EQ(CloseOutlookExpress(tp.platform(), closed, [&] { ++preferences; }), c.result)
            << c.name;
        EXPECT_EQ(closed, c.closedByProgram) << c.name;
        EXPECT_EQ(preferences, c.preferences ? 1 : 0) << c.name;
        if (c.keyPosted) {
            ASSERT_EQ(system.postedKeys.size(), 1u) << c.name;
            EXPECT_EQ(system.postedKeys[0].first, "Outlook Express");
            EXPECT_EQ(system.postedKeys[0].second, 0x4Eu);
        } else {
            EXPECT_TRUE(system.postedKeys.empty()) << c.name;
        }
        ASSERT_EQ(tp.prompter().messages.size(), c.message ? 1u : 0u) << c.name;
        if (c.message) {
            EXPECT_EQ(tp.prompter().messages[0].text, c.message);
            EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
            EXPECT_EQ(tp.prompter().messages[0].style,
                      BuildMsgBox("", mkError, c.autoClose ? bsOk : bsYesNo).style);
        }
    }
    EXPECT_STREQ(kOECannotCloseText,
                 "Outlook Express kann nicht automatisch beendet werden, da z.B. noch E-Mails "
                 "gesendet werden müssen oder gerade die Mailkonten abgefragt werden.\rBitte "
                 "probieren Sie die Aktion in wenigen Sekunden erneut.");
    EXPECT_STREQ(kOEPleaseCloseText,
                 "Beenden Sie bitte das Programm \"Microsoft® Outlook Express\",\rErst dann "
                 "können die aktuellen Daten gespeichert bzw. eingespielt werden!\r\rMöchten Sie "
                 "die Einstellungen aufrufen, um Brevisto zukünftig automatisch schließen zu "
                 "lassen?");
}

TEST_F(ShellOutlookExpressTest, RestartRule) {
    struct Case {
        bool autoStart, autoStart2, closedByProgram, started;
    } cases[] = {
        {false, false, false, false}, {false, false, true, false}, {false, true, false, false},
        {false, true, true, false},   {true, false, false, true},  {true, false, true, true},
        {true, true, true, true},     {true, true, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShouldRestartOutlookExpress(c.autoStart, c.autoStart2, c.closedByProgram), c.started);
        if (!tp.Posix()) continue;  // starting it would start the real program
        Cleanup();
        tp.Posix()->shell.openedDocuments.clear();
        Settings s(tp.platform());
        s.SetBool("OEautoStart", c.autoStart);
        s.SetBool("OEautoStart2", c.autoStart2);
        EXPECT_EQ(RestartOutlookExpressIfWanted(tp.platform(), c.closedByProgram), c.started);
        EXPECT_EQ(tp.Posix()->shell.openedDocuments,
                  c.started ? std::vector<std::string>{"MSIMN.EXE"} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace bv
