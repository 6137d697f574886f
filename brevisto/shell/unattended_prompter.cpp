#include "brevisto/shell/unattended_prompter.h"

namespace bv {

int TimeoutAnswer(uint32_t style) {
    switch (style & 0xF) {
        case MsgStyle::Ok: return MsgResult::Ok;
        case MsgStyle::AbortRetryIgnore: return MsgResult::Abort;
        case MsgStyle::YesNo: return MsgResult::No;
        default: return MsgResult::Cancel;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel
    }
}

std::string ReportTextOfMessage(const std::string& caption, const std::string& text) {
    std::string out = caption.empty() ? std::string() : caption + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

int UnattendedPrompter::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    return TimedMessageBox(text, caption, style, kTimeoutMs, TimeoutAnswer(style));
}

void UnattendedPrompter::PlainMessage(const std::string& text) {
    TimedMessageBox(text, "Brevisto", MsgStyle::Ok, kTimeoutMs, MsgResult::Ok);
}

int UnattendedPrompter::TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style,
                                        uint32_t timeoutMs, int timeoutAnswer) {
    if (note_) note_(ReportTextOfMessage(caption, text));
    const uint32_t buttons = style & 0xF;
    // A retry would wait for someone to fix the cause: give up at once.
    if (buttons == MsgStyle::RetryCancel) return MsgResult::Cancel;
    if (buttons == MsgStyle::AbortRetryIgnore) return MsgResult::Abort;
    const int answer = inner_.TimedMessageBox(text, caption, style, timeoutMs, timeoutAnswer);
    // A box that could not be shown counts as its cautious answer.
    return answer == MsgResult::None ? timeoutAnswer : answer;
}

}  // namespace bv
