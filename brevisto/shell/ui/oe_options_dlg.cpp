#include "brevisto/shell/ui/oe_options_dlg.h"

#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

class OutlookExpressOptionsDlg : public Dialog {
protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_INITDIALOG) return TRUE;
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(hwnd_, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
};

}  // namespace

void RunOutlookExpressOptionsDialog(HWND owner) {
    OutlookExpressOptionsDlg dialog;
    dialog.RunModal(owner, IDD_OE_OPTIONS);
}

}  // namespace bv::ui
