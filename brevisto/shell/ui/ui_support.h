// Small helpers every window of brevisto.exe uses: texts of controls, fonts, tooltips,
// the dialog base class that keeps exceptions inside the window procedure, the status
// images and the help binding.
#pragma once
#include <functional>
#include <string>

#include "platform/win32/win32_api.h"

#include <commctrl.h>

namespace bv {
struct Platform;
}

namespace bv::ui {

HINSTANCE Instance();

// The window property of a window hidden while the program is minimized (the wizard); the
// main window shows such windows again when it is restored.
constexpr char kHiddenWithOwner[] = "BrevistoHiddenWithOwner";

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void ShowItem(HWND dialog, int id, bool visible);
void EnableItem(HWND dialog, int id, bool enabled);

// The dialog font in bold (and optionally larger); owned by the module, never freed.
HFONT BoldFont(int pointSize = 8);
void MakeBold(HWND dialog, int id, int pointSize = 8);

// The screen density in pixels per inch (96 normal, 120 "large fonts"), and a length laid
// out in pixels at 96 scaled to it (integer multiply-divide).
int ScreenDensity();
int ScaleToScreen(int pixels);
// Gives a picture control (SS_BITMAP) its picture scaled by the screen density; the scaled
// copy is returned for the caller to delete with the window (nullptr at 96 DPI).
HBITMAP ScalePicture(HWND dialog, int id);

// A control's rectangle in its dialog's client coordinates.
RECT ItemRect(HWND dialog, int id);

// Texts that stand out from the dialog's face. Each answers a message for the dialog:
// WM_ERASEBKGND with the face and a white band across the whole width from `top` to
// `bottom` (client coordinates), behind texts that stand on white;
INT_PTR EraseWithWhiteBand(HWND dialog, HDC dc, int top, int bottom);
// WM_CTLCOLORSTATIC for a text on white;
INT_PTR WhiteStatic(HDC dc);
// WM_CTLCOLORSTATIC for a text in a colour of its own on the dialog's face.
INT_PTR ColoredStatic(HDC dc, COLORREF color);

// A tooltip ("hint") for a control of the dialog.
void AddHint(HWND dialog, int id, const std::string& text);

// Sets the client area of a top-level window to exact pixels and centres it on the screen.
void SetClientSize(HWND window, int width, int height);
void CenterOnScreen(HWND window);

// The status images of the backup run and the viewer: 0 failed (also "absent"),
// 1 saved (also "present"), 2 unchanged, 9 in progress. Created once.
HIMAGELIST StatusImages();

// Shows an error that escaped a handler as a German message box.
void ShowUnexpectedError(HWND owner, const char* what);

// Modal and modeless dialogs from templates. Handlers run inside try/catch; an exception
// becomes a message box and the dialog stays usable.
// Runs a model call of a window under the hourglass, one at a time (`busy` guards against a
// second call from the messages the first one lets through), then lets the window show the
// model's state, also when the call throws. False when a call was running already.
bool RunBusy(bool& busy, const std::function<void()>& action, const std::function<void()>& showState);

class Dialog {
public:
    virtual ~Dialog() = default;
    INT_PTR RunModal(HWND owner, int templateId);
    HWND CreateModeless(HWND owner, int templateId);
    HWND hwnd() const { return hwnd_; }

protected:
    // Return TRUE when handled (the value of DWLP_MSGRESULT may be set), FALSE otherwise.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A child dialog that holds some controls of a bigger dialog (a tab or a wizard page):
// every message after its creation goes to that dialog's handler, which answers FALSE
// for what it leaves to the system.
class ChildPage : public Dialog {
public:
    using Handler = std::function<INT_PTR(HWND page, UINT message, WPARAM wParam, LPARAM lParam)>;
    explicit ChildPage(Handler handler) : handler_(std::move(handler)) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        return message == WM_INITDIALOG ? FALSE : handler_(hwnd_, message, wParam, lParam);
    }

private:
    Handler handler_;
};

// HTML Help on "hilfe.chm" beside the program. hhctrl.ocx is loaded when help is first
// asked for; without it or without the file, help does nothing but beep.
class HelpSystem {
public:
    static void Bind(const std::string& helpFile);
    static void ShowTopic(HWND owner, int topic);
    static void CloseAll();
};

}  // namespace bv::ui
