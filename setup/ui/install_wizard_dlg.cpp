#include "setup/ui/install_wizard_dlg.h"

#include "platform/win32/win32_api.h"
#include "resources/setup_ids.h"
#include "setup/ui/setup_window_support.h"

#include <commctrl.h>

namespace bv {
namespace {

const char kOldEditProc[] = "BrevistoSetupOldProc";

// The folder fields swallow the characters a folder name cannot hold.
LRESULT CALLBACK FolderEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(edit, kOldEditProc));
    if (message == WM_CHAR && IsRefusedFolderChar(static_cast<char>(wParam))) return 0;
    if (message == WM_NCDESTROY) {
        RemovePropA(edit, kOldEditProc);
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return CallWindowProcA(old, edit, message, wParam, lParam);
}

void FilterFolderField(HWND edit) {
    LONG_PTR old = SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FolderEditProc));
    SetPropA(edit, kOldEditProc, reinterpret_cast<HANDLE>(old));
}

std::string ItemText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int n = GetWindowTextA(control, &text[0], length + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

class WizardWindow : public InstallWizardView {
public:
    explicit WizardWindow(InstallWizardModel& model) : model_(model) {}
    ~WizardWindow() override {
        if (boldFont_) DeleteObject(boldFont_);
        if (icon_) DestroyIcon(icon_);
    }

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        WizardWindow* self = reinterpret_cast<WizardWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<WizardWindow*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            self->dialog_ = dialog;
            self->Init();
            return FALSE;
        }
        if (!self) return FALSE;
        return self->Handle(message, wParam, lParam);
    }

    void PageChanged() override {
        const int page = model_.page();
        const WizardPageText& text = InstallPageText(page);
        SetDlgItemTextA(dialog_, IDC_HEADER_TITLE, text.name);
        SetDlgItemTextA(dialog_, IDC_HEADER_INFO, text.info);
        for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(child);
            if (id < 1000 || id >= 1000 + 100 * kWizardPageCount) continue;
            bool show = (id - 1000) / 100 == page;
            if (id == IDC_OPTION_AUTORUN) show = show && model_.autoRunVisible();
            if (id == IDC_OPTION_COMMENT || id == IDC_OPTION_ADDITIONAL) show = show && model_.additionalVisible();
            ShowWindow(child, show ? SW_SHOW : SW_HIDE);
        }
        SetButton(IDC_BACK, model_.back());
        SetButton(IDC_NEXT, model_.next());
        SetButton(IDCANCEL, model_.cancel());
        if (page == kPageDone) {
            EnableWindow(GetDlgItem(dialog_, IDC_DONE_README), model_.readmeEnabled());
            CheckDlgButton(dialog_, IDC_DONE_README, model_.readme ? BST_CHECKED : BST_UNCHECKED);
            EnableWindow(GetDlgItem(dialog_, IDC_DONE_START), model_.startEnabled());
            CheckDlgButton(dialog_, IDC_DONE_START, model_.startProgram ? BST_CHECKED : BST_UNCHECKED);
        }
        if (page == kPageTarget || page == kPageProgramFolder) {
            // The fields keep the model's text; the user may have typed in between.
            SetDlgItemTextA(dialog_, IDC_TARGET_FOLDER, model_.installFolder.c_str());
            SetDlgItemTextA(dialog_, IDC_GROUP_FOLDER, model_.programFolder.c_str());
        }
        HWND next = GetDlgItem(dialog_, IDC_NEXT);
        if (IsWindowEnabled(next)) SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
        UpdateWindow(dialog_);
    }

    void InstallFolderChanged() override {
        SetDlgItemTextA(dialog_, IDC_TARGET_FOLDER, model_.installFolder.c_str());
    }
    void FocusInstallFolder() override { Focus(IDC_TARGET_FOLDER); }
    void FocusProgramFolder() override { Focus(IDC_GROUP_FOLDER); }
    void CloseWizard() override {
        closing_ = true;
        EndDialog(dialog_, IDOK);
    }
    void SetStatus(const std::string& text) override { SetDlgItemTextA(dialog_, IDC_COPY_STATUS, text.c_str()); }
    void SetPercent(int percent) override {
        SendDlgItemMessageA(dialog_, IDC_COPY_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }

private:
    void Init() {
        boldFont_ = CreateBoldFont(dialog_);
        for (int id : {IDC_HEADER_TITLE, IDC_WELCOME_NAME, IDC_OPTION_ADDITIONAL})
            SendDlgItemMessageA(dialog_, id, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
        const InstallScript& script = model_.script();
        const std::string iconPath = model_.iconPath();
        if (!iconPath.empty()) {
            HICON icon = ExtractIconA(GetModuleHandleA(nullptr), iconPath.c_str(), 0);
            if (icon && icon != reinterpret_cast<HICON>(1)) icon_ = icon;
        }
        if (icon_) SendDlgItemMessageA(dialog_, IDC_HEADER_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
        SetDlgItemTextA(dialog_, IDC_WELCOME_NAME, model_.welcomeName().c_str());
        SetDlgItemTextA(dialog_, IDC_LICENCE_QUESTION, model_.licenceQuestion().c_str());
        SetDlgItemTextA(dialog_, IDC_TARGET_TEXT, model_.targetText().c_str());
        SetDlgItemTextA(dialog_, IDC_BOTTOM_LABEL, model_.bottomLabel().c_str());
        SetDlgItemTextA(dialog_, IDC_READY_TEXT,
                        "Die Installation kann jetzt durchgeführt werden.\r\nKlicken Sie auf \"Fertig stellen\", "
                        "um die Installation zu beginnen.");
        SetDlgItemTextA(dialog_, IDC_LICENCE_TEXT, model_.licenceText().c_str());
        SetDlgItemTextA(dialog_, IDC_OPTION_COMMENT, script.additionalComment.c_str());
        SetDlgItemTextA(dialog_, IDC_OPTION_ADDITIONAL, (" " + script.additionalOption).c_str());
        CheckDlgButton(dialog_, IDC_OPTION_DESKTOP, model_.desktopLink ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog_, IDC_OPTION_AUTORUN, model_.autoStart ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog_, IDC_OPTION_ADDITIONAL, model_.additional ? BST_CHECKED : BST_UNCHECKED);
        for (const std::string& folder : model_.folderList())
            SendDlgItemMessageA(dialog_, IDC_GROUP_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        SendDlgItemMessageA(dialog_, IDC_GROUP_LIST, LB_SETCURSEL, static_cast<WPARAM>(model_.folderSelection()), 0);
        SendDlgItemMessageA(dialog_, IDC_COPY_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageA(dialog_, IDC_TARGET_FOLDER, EM_LIMITTEXT, MAX_PATH, 0);
        FilterFolderField(GetDlgItem(dialog_, IDC_TARGET_FOLDER));
        FilterFolderField(GetDlgItem(dialog_, IDC_GROUP_FOLDER));
        SetDlgItemTextA(dialog_, IDC_TARGET_FOLDER, model_.installFolder.c_str());
        SetDlgItemTextA(dialog_, IDC_GROUP_FOLDER, model_.programFolder.c_str());
        model_.Attach(this);
        model_.Start();
        SetForegroundWindow(dialog_);
    }

    void SetButton(int id, const WizardButton& button) {
        SetDlgItemTextA(dialog_, id, button.caption.c_str());
        EnableWindow(GetDlgItem(dialog_, id), button.enabled);
    }

    void Focus(int id) {
        PostMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, id)), TRUE);
    }

    // A field left with a refused text keeps the focus, and the click that left it is void.
    void FieldLeft(int id) {
        if (checking_ || closing_) return;
        checking_ = true;
        const bool ok = id == IDC_TARGET_FOLDER ? model_.LeaveInstallFolder() : model_.LeaveProgramFolder();
        checking_ = false;
        if (!ok) refused_ = true;
    }

    // Enter presses the default button without leaving the field: check it as if left.
    bool FocusedFieldAccepted() {
        HWND focus = GetFocus();
        if (model_.page() == kPageTarget && focus == GetDlgItem(dialog_, IDC_TARGET_FOLDER)) {
            FieldLeft(IDC_TARGET_FOLDER);
            return ClickAllowed();
        }
        if (model_.page() == kPageProgramFolder && focus == GetDlgItem(dialog_, IDC_GROUP_FOLDER)) {
            FieldLeft(IDC_GROUP_FOLDER);
            return ClickAllowed();
        }
        return true;
    }

    bool ClickAllowed() {
        if (!refused_) return true;
        refused_ = false;
        return false;
    }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_PAINT:
                PaintHeader(dialog_);
                return TRUE;
            case WM_CTLCOLORSTATIC: {
                INT_PTR brush = 0;
                if (HeaderControlColour(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), brush))
                    return brush;
                return FALSE;
            }
            case WM_CLOSE:
                if (model_.QueryClose()) CloseWizard();
                return TRUE;
            case WM_COMMAND:
                Command(LOWORD(wParam), HIWORD(wParam));
                return TRUE;
            default:
                return FALSE;
        }
    }

    void Command(int id, int code) {
        switch (id) {
            case IDC_TARGET_FOLDER:
                if (code == EN_CHANGE) model_.installFolder = ItemText(dialog_, id);
                if (code == EN_KILLFOCUS && model_.page() == kPageTarget) FieldLeft(id);
                break;
            case IDC_GROUP_FOLDER:
                if (code == EN_CHANGE) model_.programFolder = ItemText(dialog_, id);
                if (code == EN_KILLFOCUS && model_.page() == kPageProgramFolder) FieldLeft(id);
                break;
            case IDC_OPTION_DESKTOP:
                model_.desktopLink = IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
                break;
            case IDC_OPTION_AUTORUN:
                model_.autoStart = IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
                break;
            case IDC_OPTION_ADDITIONAL:
                model_.additional = IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
                break;
            case IDC_DONE_README:
                model_.readme = IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
                break;
            case IDC_DONE_START:
                model_.startProgram = IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
                break;
            case IDC_TARGET_BROWSE:
                if (code == BN_CLICKED && ClickAllowed()) model_.Browse();
                break;
            case IDC_NEXT:
                if (code == BN_CLICKED && ClickAllowed() && FocusedFieldAccepted()) model_.Next();
                break;
            case IDC_BACK:
                if (code == BN_CLICKED && ClickAllowed() && FocusedFieldAccepted()) model_.Back();
                break;
            case IDCANCEL:
                refused_ = false;
                model_.Cancel();
                break;
            default:
                break;
        }
    }

    InstallWizardModel& model_;
    HWND dialog_ = nullptr;
    HFONT boldFont_ = nullptr;
    HICON icon_ = nullptr;
    bool checking_ = false;
    bool refused_ = false;
    bool closing_ = false;
};

}  // namespace

void RunInstallWizard(void* instance, InstallWizardModel& model) {
    WizardWindow window(model);
    DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_INSTALL_WIZARD), nullptr,
                    &WizardWindow::Procedure, reinterpret_cast<LPARAM>(&window));
    model.Attach(nullptr);
}

}  // namespace bv
