#include "common/msg_box.h"

namespace bv {
namespace {

struct KindInfo {
    const char* caption;
    uint32_t icon;
};

// The error kind shows the exclamation mark and the warning kind the stop sign.
const KindInfo kKinds[] = {
    {"Fehler", MsgStyle::IconExclamation},
    {"Information", MsgStyle::IconAsterisk},
    {"Frage", MsgStyle::IconQuestion},
    {"Warnung", MsgStyle::IconHand},
    {"Bestätigung", MsgStyle::IconQuestion},
};

struct ButtonInfo {
    uint8_t member;
    uint32_t style;
};

const ButtonInfo kButtons[] = {
    {bsAbortRetryIgnore, MsgStyle::AbortRetryIgnore}, {bsOk, MsgStyle::Ok},
    {bsOkCancel, MsgStyle::OkCancel},                 {bsRetryCancel, MsgStyle::RetryCancel},
    {bsYesNo, MsgStyle::YesNo},                       {bsYesNoCancel, MsgStyle::YesNoCancel},
};

}  // namespace

MsgBoxRequest BuildMsgBox(const std::string& caption, uint8_t kind, TMsgButtons buttons) {
    MsgBoxRequest request;
    request.style = MsgStyle::SetForeground;
    std::string defaultCaption;
    if (kind < sizeof kKinds / sizeof kKinds[0]) {
        request.style += kKinds[kind].icon;
        defaultCaption = kKinds[kind].caption;
    }
    for (const ButtonInfo& b : kButtons)
        if (buttons & b.member) request.style += b.style;
    request.caption = caption.empty() ? defaultCaption : caption;
    return request;
}

int ShowMsgBox(Prompter& prompter, const std::string& text, const std::string& caption,
               uint8_t kind, TMsgButtons buttons) {
    MsgBoxRequest request = BuildMsgBox(caption, kind, buttons);
    return prompter.MessageBox(text, request.caption, request.style);
}

}  // namespace bv
