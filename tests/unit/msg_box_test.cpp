#include <gtest/gtest.h>

#include "common/msg_box.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

struct MsgBoxCase {
    uint8_t kind;
    TMsgButtons buttons;
    const char* caption;
    const char* expectedCaption;
    uint32_t expectedStyle;
};

TEST(MsgBox, CaptionIconAndButtonsByKindAndSet) {
    const MsgBoxCase cases[] = {
        {mkError, bsOk, "", "Fehler", 0x10000 + 0x30 + 0},
        {mkInformation, bsOk, "Brevisto", "Brevisto", 0x10000 + 0x40},
        {mkQuestion, bsYesNo, "", "Frage", 0x10000 + 0x20 + 4},
        // The warning kind shows the stop sign, not the exclamation mark.
        {mkWarning, bsYesNo, "", "Warnung", 0x10000 + 0x10 + 4},
        {mkConfirmation, bsYesNo, "", "Bestätigung", 0x10000 + 0x20 + 4},
        {mkError, bsRetryCancel, "Kein Datenträger", "Kein Datenträger", 0x10000 + 0x30 + 5},
        {mkError, bsOkCancel, "", "Fehler", 0x10000 + 0x30 + 1},
        {mkError, bsAbortRetryIgnore, "", "Fehler", 0x10000 + 0x30 + 2},
        {mkQuestion, bsYesNoCancel, "", "Frage", 0x10000 + 0x20 + 3},
        // An empty set is a single OK button; a kind outside 0-4 has no icon and no caption.
        {mkInformation, 0, "", "Information", 0x10000 + 0x40},
        {5, bsOk, "", "", 0x10000},
        {200, bsYesNo, "Eigene", "Eigene", 0x10000 + 4},
    };
    for (const MsgBoxCase& c : cases) {
        MsgBoxRequest r = BuildMsgBox(c.caption, c.kind, c.buttons);
        EXPECT_EQ(r.caption, c.expectedCaption) << int(c.kind);
        EXPECT_EQ(r.style, c.expectedStyle) << int(c.kind) << "/" << int(c.buttons);
    }
}

TEST(MsgBox, DefaultCaptionsAreAnsiBytes) {
    // "Bestätigung" in code page 1252: a single byte 0xE4 for the umlaut.
    EXPECT_EQ(BuildMsgBox("", mkConfirmation, bsOk).caption, "Best\xE4tigung");
}

TEST(MsgBox, ShowPassesTextUnchangedAndReturnsTheButton) {
    test::TestPlatform tp;
    tp.prompter().answers.push_back(MsgResult::No);
    int result = ShowMsgBox(tp.prompter(), "Zeile 1\rZeile 2\r\nZeile 3", "", mkQuestion, bsYesNo);
    EXPECT_EQ(result, MsgResult::No);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text, "Zeile 1\rZeile 2\r\nZeile 3");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Frage");
    EXPECT_EQ(tp.prompter().messages[0].style, 0x10024u);
}

}  // namespace
}  // namespace bv
