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
            case WM_ERASEBKGND:
                // The text stands on a white area above the check box and the button.
                return EraseWithWhiteBand(hwnd_, reinterpret_cast<HDC>(wParam), 0,
                                          ItemRect(hwnd_, IDC_NOTICE_TEXT).bottom + 8);
            case WM_CTLCOLORSTATIC:
                if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd_, IDC_NOTICE_TEXT))
                    return WhiteStatic(reinterpret_cast<HDC>(wParam));
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
