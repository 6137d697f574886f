#include "brevisto/shell/ui/about_dlg.h"

#include "brevisto/shell/about_box.h"
#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

// The address as a reader expects to see it: without "mailto:" or "http://".
std::string Shown(const std::string& address) {
    for (const char* prefix : {"mailto:", "http://", "https://"}) {
        std::string p(prefix);
        if (address.compare(0, p.size(), p) == 0) return address.substr(p.size());
    }
    return address;
}

HFONT LinkFont() {
    static HFONT font = nullptr;
    if (!font) {
        HDC screen = GetDC(nullptr);
        int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
    }
    return font;
}

class AboutDlg : public Dialog {
public:
    explicit AboutDlg(Platform& platform) : p_(platform) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_INITDIALOG:
                SetWindowTextA(hwnd_, kAboutCaption);
                SetItemText(hwnd_, IDC_ABOUT_PRODUCT, kAboutProductName);
                MakeBold(hwnd_, IDC_ABOUT_PRODUCT, 14);
                SetItemText(hwnd_, IDC_ABOUT_BUILD, BuildDateLabel());
                SetItemText(hwnd_, IDC_ABOUT_VERSION, ProgramVersionLabel(p_.system));
                SetItemText(hwnd_, IDC_ABOUT_MAIL, Shown(kMakerMail));
                SetItemText(hwnd_, IDC_ABOUT_WEB, Shown(kMakerWebSite));
                SetItemText(hwnd_, IDC_ABOUT_CREDITS, kAboutCredits);
                for (int id : {IDC_ABOUT_MAIL, IDC_ABOUT_WEB})
                    SendDlgItemMessageA(hwnd_, id, WM_SETFONT, reinterpret_cast<WPARAM>(LinkFont()), FALSE);
                return TRUE;
            case WM_CTLCOLORSTATIC: {
                HWND control = reinterpret_cast<HWND>(lParam);
                if (control == GetDlgItem(hwnd_, IDC_ABOUT_MAIL) || control == GetDlgItem(hwnd_, IDC_ABOUT_WEB))
                    return ColoredStatic(reinterpret_cast<HDC>(wParam), RGB(0, 0, 204));
                return FALSE;
            }
            case WM_SETCURSOR: {
                int id = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
                if (id == IDC_ABOUT_MAIL || id == IDC_ABOUT_WEB) {
                    // IDC_HAND is missing before Windows 98 and 2000: then the arrow stays.
                    if (HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))) {
                        SetCursor(hand);
                        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
                        return TRUE;
                    }
                }
                return FALSE;
            }
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case IDOK:
                    case IDCANCEL:
                        EndDialog(hwnd_, LOWORD(wParam));
                        return TRUE;
                    case IDC_ABOUT_MAIL:
                        if (HIWORD(wParam) == STN_CLICKED) p_.shell.OpenDocument(kMakerMail);
                        return TRUE;
                    case IDC_ABOUT_WEB:
                        if (HIWORD(wParam) == STN_CLICKED) p_.shell.OpenDocument(kMakerWebSite);
                        return TRUE;
                    default:
                        return FALSE;
                }
            default:
                return FALSE;
        }
    }

private:
    Platform& p_;
};

}  // namespace

void RunAboutDialog(HWND owner, Platform& platform) {
    AboutDlg dialog(platform);
    dialog.RunModal(owner, IDD_ABOUT);
}

}  // namespace bv::ui
