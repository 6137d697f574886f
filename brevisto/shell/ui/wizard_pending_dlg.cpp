#include "brevisto/shell/ui/wizard_pending_dlg.h"

#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

constexpr UINT_PTR kAutoCloseTimer = 1;

class PendingWizardDlg : public Dialog {
public:
    PendingWizardDlg(int backupKind, bool autoRun) : kind_(backupKind), autoRun_(autoRun) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                SetWindowTextA(hwnd_, kind_ == 1 ? "Brevisto : Backup aktualisieren" : "Brevisto : Backup anlegen");
                // An unattended run must end by itself.
                if (autoRun_) SetTimer(hwnd_, kAutoCloseTimer, 1000, nullptr);
                return TRUE;
            case WM_TIMER:
                if (wParam == kAutoCloseTimer) {
                    KillTimer(hwnd_, kAutoCloseTimer);
                    EndDialog(hwnd_, IDOK);
                }
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    EndDialog(hwnd_, LOWORD(wParam));
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

private:
    int kind_;
    bool autoRun_;
};

// "Microsoft® Outlook Express anpassen" has no function of its own.
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

void RunPendingWizard(HWND owner, int backupKind, bool autoRun) {
    PendingWizardDlg dialog(backupKind, autoRun);
    dialog.RunModal(owner, IDD_WIZARD_PENDING);
}

void RunOutlookExpressOptionsDialog(HWND owner) {
    OutlookExpressOptionsDlg dialog;
    dialog.RunModal(owner, IDD_OE_OPTIONS);
}

}  // namespace bv::ui
