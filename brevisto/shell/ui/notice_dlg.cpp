#include "brevisto/shell/ui/notice_dlg.h"

#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

class NoticeDlg : public Dialog {
public:
    explicit NoticeDlg(const std::string& text) : text_(text) {}
    NoticeAnswer answer;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_INITDIALOG:
                SetWindowTextA(hwnd_, kNoticeCaption);
                SetItemText(hwnd_, IDC_NOTICE_TEXT, text_);
                SetItemText(hwnd_, IDC_NOTICE_DONT_SHOW, kNoticeCheckBoxText);
                SetChecked(hwnd_, IDC_NOTICE_DONT_SHOW, false);
                return TRUE;
            case WM_ERASEBKGND: {
                // The text stands on a white area above the check box and the button.
                HDC dc = reinterpret_cast<HDC>(wParam);
                RECT client;
                GetClientRect(hwnd_, &client);
                FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
                RECT text;
                GetWindowRect(GetDlgItem(hwnd_, IDC_NOTICE_TEXT), &text);
                MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&text), 2);
                RECT white = {0, 0, client.right, text.bottom + 8};
                FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 1);
                return TRUE;
            }
            case WM_CTLCOLORSTATIC:
                if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd_, IDC_NOTICE_TEXT)) {
                    SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
                    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
                }
                return FALSE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    answer.ok = LOWORD(wParam) == IDOK;
                    answer.dontShowAgain = IsChecked(hwnd_, IDC_NOTICE_DONT_SHOW);
                    EndDialog(hwnd_, LOWORD(wParam));
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

private:
    std::string text_;
};

}  // namespace

NoticeAnswer RunNoticeDialog(HWND owner, const std::string& text) {
    NoticeDlg dialog(text);
    dialog.RunModal(owner, IDD_NOTICE);
    return dialog.answer;
}

}  // namespace bv::ui
