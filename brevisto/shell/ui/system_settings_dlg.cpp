#include "brevisto/shell/ui/system_settings_dlg.h"

#include <cstring>
#include <memory>

#include "brevisto/shell/product.h"
#include "brevisto/shell/system_settings.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

const char* const kTabCaptions[] = {"VBScript", "ActiveX", "Intruder", "Laufwerkszugriff"};

class SystemSettingsDlg : public Dialog {
public:
    explicit SystemSettingsDlg(Platform& platform) : model_(platform) {}
    void Command(int id, int code);

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInit();
    void HideSpecialEditionTabs();
    void ShowModelState();

    SystemSettingsModel model_;
    std::unique_ptr<ChildPage> page_;  // the VBScript tab
};

void SystemSettingsDlg::HideSpecialEditionTabs() {
    HWND tabs = GetDlgItem(hwnd_, IDC_TABS);
    for (int i = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) - 1; i >= 0; --i) {
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        if (!SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item))) continue;
        for (const char* hidden : kHiddenSystemSettingsTabs)
            if (std::strcmp(text, hidden) == 0) SendMessageA(tabs, TCM_DELETEITEM, static_cast<WPARAM>(i), 0);
    }
}

void SystemSettingsDlg::OnInit() {
    ApplySpecialEditionLayoutToOwner(hwnd_);
    SetWindowTextA(hwnd_, kSystemSettingsCaption);
    HWND tabs = GetDlgItem(hwnd_, IDC_TABS);
    for (int i = 0; i < 4; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kTabCaptions[i]);
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    HideSpecialEditionTabs();
    SendMessageA(tabs, TCM_SETCURSEL, 0, 0);

    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&area), 2);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    page_ = std::make_unique<ChildPage>([this](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message != WM_COMMAND) return FALSE;
        Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    });
    HWND page = page_->CreateModeless(hwnd_, IDD_SYSTEM_VBS);
    SetWindowPos(page, tabs, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
    SetDlgItemTextA(page, IDC_VBS_TEXT, kVBScriptExplanation);
    SetDlgItemTextA(page, IDC_VBS_EDITOR, kOptionTextEditor);
    SetDlgItemTextA(page, IDC_VBS_WSH, kOptionScriptHost);
    ShowWindow(page, SW_SHOW);

    model_.Load();
    ShowModelState();
}

void SystemSettingsDlg::ShowModelState() {
    HWND page = page_->hwnd();
    bool editor = model_.Selected() == VbsOption::TextEditor;
    CheckRadioButton(page, IDC_VBS_EDITOR, IDC_VBS_WSH, editor ? IDC_VBS_EDITOR : IDC_VBS_WSH);
    EnableItem(hwnd_, IDC_APPLY_BUTTON, model_.ApplyEnabled());
}

void SystemSettingsDlg::Command(int id, int code) {
    switch (id) {
        case IDC_VBS_EDITOR:
        case IDC_VBS_WSH:
            if (code == BN_CLICKED) {
                model_.Select(id == IDC_VBS_EDITOR ? VbsOption::TextEditor : VbsOption::ScriptHost);
                ShowModelState();
            }
            return;
        case IDC_VBS_TEST:
            if (code == BN_CLICKED) model_.Test();
            return;
        case IDC_APPLY_BUTTON:
            model_.Apply();
            ShowModelState();
            return;
        case IDOK:
            model_.Apply();
            EndDialog(hwnd_, IDOK);
            return;
        case IDCANCEL:
            EndDialog(hwnd_, IDCANCEL);
            return;
        case IDC_HELP_BUTTON:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::SystemSettings);
            return;
        default:
            return;
    }
}

INT_PTR SystemSettingsDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_HELP:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::SystemSettingsContext);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunSystemSettingsDialog(HWND owner, Platform& platform) {
    SystemSettingsDlg dialog(platform);
    dialog.RunModal(owner, IDD_SYSTEM);
}

}  // namespace bv::ui
