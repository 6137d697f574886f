// The one message box of both programs: caption and icon by kind, buttons by set.
#pragma once
#include <cstdint>
#include <string>

#include "platform/prompter.h"

namespace bv {

enum TMsgKind : uint8_t {
    mkError = 0,
    mkInformation = 1,
    mkQuestion = 2,
    mkWarning = 3,
    mkConfirmation = 4,
};

// A set of button members held in one byte; callers pass exactly one.
enum TMsgButton : uint8_t {
    bsAbortRetryIgnore = 0x01,
    bsOk = 0x02,
    bsOkCancel = 0x04,
    bsRetryCancel = 0x08,
    bsYesNo = 0x10,
    bsYesNoCancel = 0x20,
};
using TMsgButtons = uint8_t;

struct MsgBoxRequest {
    std::string caption;
    uint32_t style = 0;
};

// The caption and MessageBoxA style word for a kind and button set.
MsgBoxRequest BuildMsgBox(const std::string& caption, uint8_t kind, TMsgButtons buttons);

// Shows the box owned by the active window and returns the pressed button's id
// (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No; 0 if it could not be shown).
int ShowMsgBox(Prompter& prompter, const std::string& text, const std::string& caption,
               uint8_t kind, TMsgButtons buttons);

}  // namespace bv
