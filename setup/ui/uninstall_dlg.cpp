#include "setup/ui/uninstall_dlg.h"

#include "platform/win32/win32_api.h"
#include "resources/setup_ids.h"
#include "setup/ui/setup_window_support.h"

namespace bv {
namespace {

class UninstallWindow : public UninstallView {
public:
    explicit UninstallWindow(UninstallWindowModel& model) : model_(model) {}
    ~UninstallWindow() override {
        for (HFONT font : {boldFont_, markFont_})
            if (font) DeleteObject(font);
    }

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        UninstallWindow* self = reinterpret_cast<UninstallWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<UninstallWindow*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            self->dialog_ = dialog;
            self->Init();
            return TRUE;
        }
        if (!self) return FALSE;
        return self->Handle(message, wParam, lParam);
    }

    void ShowStatusPanel() override {
        for (int step = 0; step < kUninstallStepCount; ++step)
            ShowWindow(GetDlgItem(dialog_, IDC_UNINSTALL_STEP0 + step), SW_SHOW);
        UpdateWindow(dialog_);
    }
    void EnableButtons(bool enable) override {
        EnableWindow(GetDlgItem(dialog_, IDC_UNINSTALL_RUN), enable);
        EnableWindow(GetDlgItem(dialog_, IDCANCEL), enable);
    }
    void SetRunningStep(int step) override {
        for (int i = 0; i < kUninstallStepCount; ++i) {
            HFONT font = i == step ? boldFont_ : normalFont_;
            SendDlgItemMessageA(dialog_, IDC_UNINSTALL_STEP0 + i, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
        UpdateWindow(dialog_);
    }
    void MarkStep(int step, StepMark mark) override {
        if (step < 0 || step >= kUninstallStepCount) return;
        HWND label = GetDlgItem(dialog_, IDC_UNINSTALL_MARK0 + step);
        // Marlett draws "a" as a check mark and "r" as a cross.
        SetWindowTextA(label, mark == StepMark::Check ? "a" : "r");
        ShowWindow(label, SW_SHOW);
        UpdateWindow(dialog_);
    }
    void DisableStep(int step) override {
        if (step < 0 || step >= kUninstallStepCount) return;
        EnableWindow(GetDlgItem(dialog_, IDC_UNINSTALL_STEP0 + step), FALSE);
    }

private:
    void Init() {
        normalFont_ = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
        boldFont_ = CreateBoldFont(dialog_);
        LOGFONTA log = {};
        HDC dc = GetDC(dialog_);
        log.lfHeight = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(dialog_, dc);
        log.lfCharSet = SYMBOL_CHARSET;
        lstrcpynA(log.lfFaceName, "Marlett", LF_FACESIZE);
        markFont_ = CreateFontIndirectA(&log);
        for (int step = 0; step < kUninstallStepCount; ++step)
            SendDlgItemMessageA(dialog_, IDC_UNINSTALL_MARK0 + step, WM_SETFONT, reinterpret_cast<WPARAM>(markFont_),
                                FALSE);
        SendDlgItemMessageA(dialog_, IDC_HEADER_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
        SetDlgItemTextA(dialog_, IDC_HEADER_TITLE, kUninstallHeaderTitle);
        SetDlgItemTextA(dialog_, IDC_HEADER_INFO, kUninstallHeaderInfo);
        HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
        if (icon) SendDlgItemMessageA(dialog_, IDC_HEADER_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        SetDlgItemTextA(dialog_, IDC_UNINSTALL_TEXT, model_.text().c_str());
        SetForegroundWindow(dialog_);
    }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_PAINT:
                PaintHeader(dialog_);
                return TRUE;
            case WM_CTLCOLORSTATIC: {
                HWND control = reinterpret_cast<HWND>(lParam);
                HDC dc = reinterpret_cast<HDC>(wParam);
                INT_PTR brush = 0;
                if (HeaderControlColour(control, dc, brush)) return brush;
                const int id = GetDlgCtrlID(control);
                if (id >= IDC_UNINSTALL_MARK0 && id < IDC_UNINSTALL_MARK0 + kUninstallStepCount) {
                    SetTextColor(dc, RGB(255, 0, 0));
                    SetBkMode(dc, TRANSPARENT);
                    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
                }
                return FALSE;
            }
            case WM_CLOSE:
                if (!running_) EndDialog(dialog_, IDCANCEL);
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDCANCEL && !running_) EndDialog(dialog_, IDCANCEL);
                if (LOWORD(wParam) == IDC_UNINSTALL_RUN && HIWORD(wParam) == BN_CLICKED && !running_) {
                    running_ = true;
                    const bool done = model_.Perform(*this);
                    running_ = false;
                    if (done) EndDialog(dialog_, IDOK);
                }
                return TRUE;
            default:
                return FALSE;
        }
    }

    UninstallWindowModel& model_;
    HWND dialog_ = nullptr;
    HFONT normalFont_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT markFont_ = nullptr;
    bool running_ = false;
};

}  // namespace

void RunUninstallWindow(void* instance, UninstallWindowModel& model) {
    UninstallWindow window(model);
    DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr,
                    &UninstallWindow::Procedure, reinterpret_cast<LPARAM>(&window));
}

}  // namespace bv
