// The strength bar of the password dialog and its OK rules.
#include <gtest/gtest.h>

#include "brevisto/support/password_strength.h"
#include "common/msg_box.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

TEST(PasswordStrength, ScoreByCharacterClasses) {
    struct Case {
        const char* password;
        int score;
        int target;
    } cases[] = {
        {"", 0, 20},
        {"12345", 10, 20},
        {"abcdef", 26, 15},
        {"ABCDEF", 26, 15},
        {"!!..", 30, 15},
        {"äöüß", 30, 15},
        {"ÄÖÜ", 30, 15},
        {"abc123", 36, 14},
        {"12!!", 40, 14},
        {"abcDEF", 52, 12},
        {"abc!", 56, 12},
        {"abCD12", 62, 12},
        {"ab12!", 66, 11},
        {"abCD!", 82, 11},
        {"aB1!", 92, 10},
        {"aaaaaaaaaaaaaaaaaaaaaaaaa", 26, 15},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PasswordScore(c.password), c.score) << c.password;
        EXPECT_EQ(PasswordTargetLength(PasswordScore(c.password)), c.target) << c.password;
    }
}

TEST(PasswordStrength, TargetLengthBoundaries) {
    struct Case {
        int score, target;
    } cases[] = {{0, 20},  {9, 20},  {10, 20}, {11, 20}, {25, 20}, {26, 15}, {30, 15},
                 {31, 14}, {40, 14}, {41, 13}, {50, 13}, {51, 12}, {65, 12}, {66, 11},
                 {90, 11}, {91, 10}, {99, 10}, {100, 20}};
    for (const Case& c : cases) EXPECT_EQ(PasswordTargetLength(c.score), c.target) << c.score;
}

TEST(PasswordStrength, BarPositionColourAndPercent) {
    struct Case {
        std::string password;
        int maximum, position;
        StrengthColour colour;
        int percent;
    } cases[] = {
        {"abcdef", 15, 6, StrengthColour::Red, 40},
        {"abCD12xy", 12, 8, StrengthColour::Yellow, 66},
        {"aB1!aB1!aB1", 10, 10, StrengthColour::Green, 100},
        {"12345678901234567890", 20, 20, StrengthColour::Green, 100},
        {"äöüäöüä", 15, 7, StrengthColour::Red, 46},
        {"äöüäöüäö", 15, 8, StrengthColour::Yellow, 53},
        // 9/10 is exactly the border: green.
        {"aB1!aB1!a", 10, 9, StrengthColour::Green, 90},
        {"aB1!aB1!", 10, 8, StrengthColour::Yellow, 80},
        {"aB1!a", 10, 5, StrengthColour::Yellow, 50},
        {"aB1!", 10, 4, StrengthColour::Red, 40},
        {"", 20, 0, StrengthColour::Red, 0},
    };
    for (const Case& c : cases) {
        const PasswordStrength s = EstimatePasswordStrength(c.password);
        EXPECT_EQ(s.maximum, c.maximum) << c.password;
        EXPECT_EQ(s.position, c.position) << c.password;
        EXPECT_EQ(s.colour, c.colour) << c.password;
        EXPECT_EQ(s.Percent(), c.percent) << c.password;
    }
    const PasswordStrength initial = InitialPasswordStrength();
    EXPECT_EQ(initial.maximum, 100);
    EXPECT_EQ(initial.position, 0);
    EXPECT_EQ(initial.colour, StrengthColour::Red);
}

TEST(PasswordStrength, OkButtonRules) {
    const uint32_t errorOk = BuildMsgBox("", mkError, bsOk).style;
    const uint32_t confirmYesNo = BuildMsgBox("", mkConfirmation, bsYesNo).style;
    struct Case {
        const char* password;
        const char* repetition;
        int answer;  // to a question, if one comes
        bool close;
        PasswordFocus focus;
        const char* message;  // nullptr: none
        uint32_t style;
    } cases[] = {
        {"", "", 0, false, PasswordFocus::First, "Sie haben vergessen, das Passwort anzugeben!", errorOk},
        {"", "abc", 0, false, PasswordFocus::First, "Sie haben vergessen, das Passwort anzugeben!", errorOk},
        {"abcdef", "abcdeF", 0, false, PasswordFocus::Second,
         "Die Wiederholung des Passworts ist fehlerhaft!", errorOk},
        {"abcdef", "abcdef", MsgResult::No, false, PasswordFocus::First,
         "Ihr gewähltes Passwort ist gegenüber Brute-Force-Attacken nicht sicher genug!\r\nDie "
         "derzeitige Passwort-Sicherheit liegt bei ca. 40%.\r\n\r\nMöchten Sie trotzdem das "
         "Backup mit diesem Passwort verschlüsseln?",
         confirmYesNo},
        {"abCD12xy", "abCD12xy", MsgResult::Yes, true, PasswordFocus::None,
         "Ihr gewähltes Passwort ist gegenüber Brute-Force-Attacken nicht sicher genug!\r\nDie "
         "derzeitige Passwort-Sicherheit liegt bei ca. 66%.\r\n\r\nMöchten Sie trotzdem das "
         "Backup mit diesem Passwort verschlüsseln?",
         confirmYesNo},
        // Any answer other than No accepts.
        {"abcdef", "abcdef", MsgResult::Cancel, true, PasswordFocus::None, nullptr, confirmYesNo},
        {"aB1!aB1!aB1", "aB1!aB1!aB1", 0, true, PasswordFocus::None, nullptr, 0},
        {"12345678901234567890", "12345678901234567890", 0, true, PasswordFocus::None, nullptr, 0},
    };
    for (const Case& c : cases) {
        test::ScriptedPrompter prompter;
        if (c.answer) prompter.answers.push_back(c.answer);
        const PasswordOkResult r = PasswordDialogOk(prompter, c.password, c.repetition);
        EXPECT_EQ(r.close, c.close) << c.password;
        EXPECT_EQ(r.focus, c.focus) << c.password;
        if (c.style == 0) {
            EXPECT_TRUE(prompter.messages.empty()) << c.password;
            continue;
        }
        ASSERT_EQ(prompter.messages.size(), 1u) << c.password;
        if (c.message) { EXPECT_EQ(prompter.messages[0].text, c.message); }
        EXPECT_EQ(prompter.messages[0].style, c.style);
        EXPECT_EQ(prompter.messages[0].caption, c.style == errorOk ? "Fehler" : "Bestätigung");
    }
}

}  // namespace
}  // namespace bv
