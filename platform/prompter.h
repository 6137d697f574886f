// Modal questions and notices that engines put to the user.
#pragma once
#include <cstdint>
#include <string>

namespace bv {

// MessageBoxA style bits and results used by the program.
namespace MsgStyle {
constexpr uint32_t Ok = 0x0;
constexpr uint32_t OkCancel = 0x1;
constexpr uint32_t AbortRetryIgnore = 0x2;
constexpr uint32_t YesNoCancel = 0x3;
constexpr uint32_t YesNo = 0x4;
constexpr uint32_t RetryCancel = 0x5;
constexpr uint32_t IconHand = 0x10;
constexpr uint32_t IconQuestion = 0x20;
constexpr uint32_t IconExclamation = 0x30;
constexpr uint32_t IconAsterisk = 0x40;
constexpr uint32_t SetForeground = 0x10000;
}  // namespace MsgStyle

namespace MsgResult {
constexpr int None = 0;
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace MsgResult

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal system message box owned by the active window; the pressed button's id,
    // 0 if it could not be shown.
    virtual int MessageBox(const std::string& text, const std::string& caption,
                           uint32_t style) = 0;
    // The application's simple message window with an OK button and the program's title.
    virtual void PlainMessage(const std::string& text) = 0;
    // A message box that closes by itself after `timeoutMs`, counted as `timeoutAnswer`.
    // Backends without a timer show the plain box.
    virtual int TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style,
                                uint32_t /*timeoutMs*/, int /*timeoutAnswer*/) {
        return MessageBox(text, caption, style);
    }

    // The shell's folder browser (file-system folders only). `root` empty = the desktop.
    // On confirmation `folder` receives the choice and the result is true.
    virtual bool SelectFolder(const std::string& title, const std::string& root,
                              std::string& folder, bool newFolderButton) = 0;
    // The folder browser rooted at "My Computer" with a status line; empty if cancelled.
    virtual std::string SelectFolderFromComputer(const std::string& title,
                                                 const std::string& initialFolder) = 0;

    // The system's "save as" dialog. `filter` pairs descriptions and patterns with "|"
    // ("Text (*.txt)|*.txt|Alle Dateien (*.*)|*.*"); `defaultExt` without its dot is
    // appended to a name typed without extension. True with the full path in
    // `chosenPath` when confirmed; false when cancelled or where no dialog exists.
    virtual bool SaveFileName(const std::string& title, const std::string& filter,
                              const std::string& defaultExt, const std::string& initialFolder,
                              std::string& chosenPath) {
        (void)title, (void)filter, (void)defaultExt, (void)initialFolder, (void)chosenPath;
        return false;
    }
};

}  // namespace bv
