#include "brevisto/shell/ui/password_dlg.h"

#include "brevisto/shell/ui/ui_support.h"
#include "brevisto/support/password_strength.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

const char kOldProcedure[] = "BrevistoEditProc";

// Return in a password field is swallowed and moves the focus on instead of pressing OK.
LRESULT CALLBACK PasswordEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(edit, kOldProcedure));
    switch (message) {
        case WM_GETDLGCODE:
            if (lParam) {
                const MSG* pending = reinterpret_cast<const MSG*>(lParam);
                if ((pending->message == WM_KEYDOWN || pending->message == WM_CHAR) && pending->wParam == VK_RETURN)
                    return CallWindowProcA(old, edit, message, wParam, lParam) | DLGC_WANTMESSAGE;
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                PostMessageA(GetParent(edit), WM_NEXTDLGCTL, 0, FALSE);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r') return 0;
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            RemovePropA(edit, kOldProcedure);
            break;
        default:
            break;
    }
    return CallWindowProcA(old, edit, message, wParam, lParam);
}

void SubclassEdit(HWND edit) {
    LONG_PTR old = SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PasswordEditProc));
    SetPropA(edit, kOldProcedure, reinterpret_cast<HANDLE>(old));
}

const char kBarColour[] = "BrevistoBarColour";
const char kOldBarProcedure[] = "BrevistoBarProc";

// The strength bar paints itself: themed progress bars (and Wine's) ignore their bar colour.
LRESULT CALLBACK StrengthBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(bar, kOldBarProcedure));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(bar, &paint);
            RECT rect;
            GetClientRect(bar, &rect);
            FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
            PBRANGE range = {};
            CallWindowProcA(old, bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
            int position = static_cast<int>(CallWindowProcA(old, bar, PBM_GETPOS, 0, 0));
            int span = range.iHigh - range.iLow;
            if (span > 0 && position > range.iLow) {
                int height = rect.bottom - rect.top;
                int filled = MulDiv(height, position - range.iLow, span);
                RECT part = {rect.left, rect.bottom - filled, rect.right, rect.bottom};
                HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropA(bar, kBarColour))));
                FillRect(dc, &part, brush);
                DeleteObject(brush);
            }
            EndPaint(bar, &paint);
            return 0;
        }
        case PBM_SETBARCOLOR:
            SetPropA(bar, kBarColour, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(lParam)));
            InvalidateRect(bar, nullptr, TRUE);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            RemovePropA(bar, kOldBarProcedure);
            RemovePropA(bar, kBarColour);
            break;
        default:
            break;
    }
    return CallWindowProcA(old, bar, message, wParam, lParam);
}

COLORREF BarColour(StrengthColour colour) {
    switch (colour) {
        case StrengthColour::Green: return RGB(0, 176, 0);
        case StrengthColour::Yellow: return RGB(240, 210, 0);
        default: return RGB(224, 0, 0);
    }
}

class PasswordDlg : public Dialog {
public:
    explicit PasswordDlg(Platform& platform) : p_(platform) {}
    std::string password;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                OnInit();
                return FALSE;  // the focus is in the first field
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case IDC_PASSWORD:
                        if (HIWORD(wParam) == EN_CHANGE) ShowStrength(EstimatePasswordStrength(ItemText(hwnd_, IDC_PASSWORD)));
                        return TRUE;
                    case IDOK:
                        Ok();
                        return TRUE;
                    case IDCANCEL:
                        EndDialog(hwnd_, IDCANCEL);
                        return TRUE;
                    default:
                        return FALSE;
                }
            default:
                return FALSE;
        }
    }

private:
    void OnInit() {
        SetWindowTextA(hwnd_, kPasswordDialogCaption);
        for (int id : {IDC_PASSWORD, IDC_PASSWORD_REPEAT}) {
            SendDlgItemMessageA(hwnd_, id, EM_SETPASSWORDCHAR, '#', 0);
            SubclassEdit(GetDlgItem(hwnd_, id));
        }
        HWND bar = GetDlgItem(hwnd_, IDC_PASSWORD_BAR);
        LONG_PTR old = SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StrengthBarProc));
        SetPropA(bar, kOldBarProcedure, reinterpret_cast<HANDLE>(old));
        AddHint(hwnd_, IDC_PASSWORD_BAR, kPasswordBarHint);
        ShowStrength(InitialPasswordStrength());
        SetFocus(GetDlgItem(hwnd_, IDC_PASSWORD));
    }

    void ShowStrength(const PasswordStrength& strength) {
        HWND bar = GetDlgItem(hwnd_, IDC_PASSWORD_BAR);
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, strength.maximum));
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(strength.position), 0);
        SendMessageA(bar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(BarColour(strength.colour)));
        InvalidateRect(bar, nullptr, TRUE);
    }

    void Ok() {
        std::string first = ItemText(hwnd_, IDC_PASSWORD);
        PasswordOkResult result = PasswordDialogOk(p_.prompter, first, ItemText(hwnd_, IDC_PASSWORD_REPEAT));
        if (result.close) {
            password = first;
            EndDialog(hwnd_, IDOK);
            return;
        }
        if (result.focus == PasswordFocus::First) SetFocus(GetDlgItem(hwnd_, IDC_PASSWORD));
        if (result.focus == PasswordFocus::Second) SetFocus(GetDlgItem(hwnd_, IDC_PASSWORD_REPEAT));
    }

    Platform& p_;
};

}  // namespace

bool RunPasswordDialog(HWND owner, Platform& platform, std::string& password) {
    PasswordDlg dialog(platform);
    if (dialog.RunModal(owner, IDD_PASSWORD) != IDOK) return false;
    password = dialog.password;
    return true;
}

}  // namespace bv::ui
