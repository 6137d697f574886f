#include "brevisto/transfer/ui/dbxtract_dlg.h"

#include <functional>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/shell/ui/ui_support.h"
#include "brevisto/transfer/transfer_model.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

const char* const kFolderHint = "Ordner wechseln";
const char* const kRulesHint = "Filter & Regeln, sowie die blockierten Absender";

class TDBXtractDlg : public Dialog, public TransferRunView {
public:
    explicit TDBXtractDlg(Platform& platform) : model_(platform, *this) {}

    // TransferRunView
    void SetStatus(const std::string& text) override {
        SetItemText(hwnd_, IDC_TRANSFER_STATUS, text);
        UpdateWindow(GetDlgItem(hwnd_, IDC_TRANSFER_STATUS));
    }
    void SetUnpackEnabled(bool enabled) override { EnableItem(hwnd_, IDC_TRANSFER_RUN, enabled); }
    void FocusPassword() override { FocusItem(IDC_TRANSFER_PASSWORD); }
    void ShowHelpTopic(int topic) override { HelpSystem::ShowTopic(hwnd_, topic); }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInit();
    // Runs a model call with the hourglass, ignoring the notices its message boxes cause,
    // then shows the state.
    void Busy(const std::function<void()>& action);
    void ShowState();
    void Command(int id, int code);
    void FocusItem(int id) {
        SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, id)), TRUE);
    }
    void SetProgress(int percent) { SendDlgItemMessageA(hwnd_, IDC_TRANSFER_PROGRESS, PBM_SETPOS, percent, 0); }

    TransferModel model_;
    bool busy_ = false;
    // Set when the dialog ends: the fields losing the focus then must not check anything.
    bool closing_ = false;
    // "Schließen" during the run: taken, and done when the run has ended.
    bool closeAfterRun_ = false;
};

void TDBXtractDlg::OnInit() {
    ApplySpecialEditionLayoutToOwner(hwnd_);
    SetWindowTextA(hwnd_, kTransferCaption);
    HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    MakeBold(hwnd_, IDC_TRANSFER_PROGRAM);
    MakeBold(hwnd_, IDC_TRANSFER_NO_BACKUP);
    SendDlgItemMessageA(hwnd_, IDC_TRANSFER_PASSWORD, EM_SETPASSWORDCHAR, '#', 0);
    for (int i = 0; i < tsStepCount; ++i) SetItemText(hwnd_, IDC_TRANSFER_STEP_FIRST + i, kTransferStepCaptions[i]);
    AddHint(hwnd_, IDC_TRANSFER_FOLDER_BROWSE, kFolderHint);
    AddHint(hwnd_, IDC_TRANSFER_TARGET_BROWSE, kFolderHint);
    AddHint(hwnd_, IDC_TRANSFER_STEP_FIRST + tsRules, kRulesHint);
    SendDlgItemMessageA(hwnd_, IDC_TRANSFER_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    model_.Reader().OnTotalPercentDone = [this](TZipReader&, int percent) { SetProgress(percent); };
    CenterOnScreen(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    Busy([this] { model_.Open(); });
}

void TDBXtractDlg::Busy(const std::function<void()>& action) {
    (void)RunBusy(busy_, action, [this] { ShowState(); });  // a second call while one runs is dropped
}

void TDBXtractDlg::ShowState() {
    SetItemText(hwnd_, IDC_TRANSFER_PROGRAM,
                std::string(kMailProgramLabel) + (model_.MailProgram().empty() ? kNoMailProgram : model_.MailProgram()));
    // Only a changed text is set: the caret of a field being typed in stays where it is.
    if (ItemText(hwnd_, IDC_TRANSFER_FOLDER) != model_.BackupFolder())
        SetItemText(hwnd_, IDC_TRANSFER_FOLDER, model_.BackupFolder());
    if (ItemText(hwnd_, IDC_TRANSFER_TARGET) != model_.TargetFolder())
        SetItemText(hwnd_, IDC_TRANSFER_TARGET, model_.TargetFolder());

    HWND combo = GetDlgItem(hwnd_, IDC_TRANSFER_BACKUPS);
    SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : model_.Entries())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(model_.SelectedIndex()), 0);
    SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(combo, nullptr, TRUE);

    SetItemText(hwnd_, IDC_TRANSFER_DATE, model_.DateText());
    SetItemText(hwnd_, IDC_TRANSFER_COMMENT, model_.CommentText());
    SetItemText(hwnd_, IDC_TRANSFER_NO_BACKUP, model_.NoBackupText());
    ShowItem(hwnd_, IDC_TRANSFER_NO_BACKUP, !model_.NoBackupText().empty());
    for (int id : {IDC_TRANSFER_PASSWORD_HINT, IDC_TRANSFER_PASSWORD_LABEL, IDC_TRANSFER_PASSWORD})
        EnableItem(hwnd_, id, model_.PasswordEnabled());

    SetChecked(hwnd_, IDC_TRANSFER_UNPACK, model_.UnpackTicked());
    EnableItem(hwnd_, IDC_TRANSFER_TARGET, model_.UnpackTicked());
    EnableItem(hwnd_, IDC_TRANSFER_TARGET_BROWSE, model_.UnpackTicked());
    EnableItem(hwnd_, IDC_TRANSFER_RUN, model_.UnpackEnabled());

    SetItemText(hwnd_, IDC_TRANSFER_SETTINGS_TEXT, model_.StepsEnabled() ? kSettingsExplanation : kNoMailProgramNotice);
    InvalidateRect(GetDlgItem(hwnd_, IDC_TRANSFER_SETTINGS_TEXT), nullptr, TRUE);
    for (int i = 0; i < tsStepCount; ++i) {
        SetChecked(hwnd_, IDC_TRANSFER_STEP_FIRST + i, model_.Steps()[static_cast<size_t>(i)]);
        EnableItem(hwnd_, IDC_TRANSFER_STEP_FIRST + i, model_.StepsEnabled());
    }
}

void TDBXtractDlg::Command(int id, int code) {
    if (id >= IDC_TRANSFER_STEP_FIRST && id < IDC_TRANSFER_STEP_FIRST + tsStepCount) {
        if (code == BN_CLICKED) model_.SetStep(static_cast<TransferStep>(id - IDC_TRANSFER_STEP_FIRST), IsChecked(hwnd_, id));
        return;
    }
    switch (id) {
        case IDC_TRANSFER_BACKUPS:
            if (code == CBN_SELCHANGE && !busy_) {
                const int index = static_cast<int>(SendDlgItemMessageA(hwnd_, id, CB_GETCURSEL, 0, 0));
                Busy([this, index] { model_.SelectBackup(index); });
            }
            return;
        case IDC_TRANSFER_FOLDER:
            if (code == EN_KILLFOCUS && !busy_ && !closing_) {
                const std::string text = ItemText(hwnd_, id);
                Busy([this, text] { model_.BackupFolderLeft(text); });
            }
            return;
        case IDC_TRANSFER_FOLDER_BROWSE:
            if (code == BN_CLICKED) Busy([this] { model_.BrowseBackupFolder(); });
            return;
        case IDC_TRANSFER_TARGET:
            if (code == EN_KILLFOCUS && !busy_ && !closing_) {
                const std::string text = ItemText(hwnd_, id);
                bool usable = true;
                Busy([this, text, &usable] { usable = model_.TargetFolderLeft(text); });
                if (!usable) FocusItem(id);
            }
            return;
        case IDC_TRANSFER_TARGET_BROWSE:
            if (code == BN_CLICKED) Busy([this] { model_.BrowseTargetFolder(); });
            return;
        case IDC_TRANSFER_UNPACK:
            if (code == BN_CLICKED && !busy_) {
                model_.SetUnpackTicked(IsChecked(hwnd_, id));
                ShowState();
            }
            return;
        case IDC_TRANSFER_PASSWORD:
            if (code == EN_CHANGE) model_.SetPassword(ItemText(hwnd_, id));
            return;
        case IDC_TRANSFER_RUN:
            if (code == BN_CLICKED && !busy_) {
                SetProgress(0);
                model_.SetPassword(ItemText(hwnd_, IDC_TRANSFER_PASSWORD));
                Busy([this] { (void)model_.Run(); });  // the run tells its outcome itself
                if (closeAfterRun_) {
                    closing_ = true;
                    EndDialog(hwnd_, IDCANCEL);
                }
            }
            return;
        case IDC_HELP_BUTTON:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Transfer);
            return;
        case IDOK:
        case IDCANCEL:
            // The run's pump lets the close button through; the dialog ends after the run.
            if (busy_) {
                closeAfterRun_ = true;
                return;
            }
            closing_ = true;
            EndDialog(hwnd_, IDCANCEL);
            return;
        default:
            return;
    }
}

INT_PTR TDBXtractDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            HDC dc = reinterpret_cast<HDC>(wParam);
            if (id == IDC_TRANSFER_NO_BACKUP) return ColoredStatic(dc, RGB(255, 0, 0));
            if (id == IDC_TRANSFER_SETTINGS_TEXT && !model_.StepsEnabled()) return ColoredStatic(dc, RGB(255, 0, 0));
            return FALSE;
        }
        case WM_HELP:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Transfer);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunTransferDialog(HWND owner, Platform& platform) {
    TDBXtractDlg dialog(platform);
    dialog.RunModal(owner, IDD_TRANSFER);
}

}  // namespace bv::ui
