#include "brevisto/shell/ui/pref_dlg.h"

#include <array>
#include <memory>

#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/shell/ui/ui_support.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

const int kPageTemplates[5] = {IDD_PREF_ORDNER, IDD_PREF_BACKUPS, IDD_PREF_FENSTER, IDD_PREF_OE, IDD_PREF_DIVERSES};

class TPrefDlg : public Dialog {
public:
    TPrefDlg(Platform& platform, PrefTab tab) : p_(platform), model_(platform), tab_(tab) {}
    const PreferencesValues& Values() const { return model_.Values(); }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The pages hand their controls' messages here and are painted white.
    INT_PTR PageMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void ShowPage(int index);
    HWND Item(int id) const;
    void LoadControls();
    void StoreControls();
    void FolderLeft(int editId);
    void Browse(bool temporary);
    void NumberChanged(int editId);
    void NumberLeft(int editId);
    void Command(int id, int code);

    Platform& p_;
    PreferencesModel model_;
    PrefTab tab_;
    std::array<std::unique_ptr<ChildPage>, 5> pages_;
    bool busy_ = false;  // a folder check or number filter is running
};

HWND TPrefDlg::Item(int id) const {
    for (const auto& page : pages_)
        if (page && page->hwnd())
            if (HWND item = GetDlgItem(page->hwnd(), id)) return item;
    return GetDlgItem(hwnd_, id);
}

void TPrefDlg::OnInit() {
    ApplySpecialEditionLayoutToOwner(hwnd_);
    SetWindowTextA(hwnd_, kPreferencesCaption);

    HWND tabs = GetDlgItem(hwnd_, IDC_TABS);
    for (int i = 0; i < 5; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kPrefTabCaptions[i]);
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    // The pages fill the tab control's display area.
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&area), 2);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (int i = 0; i < 5; ++i) {
        pages_[i] = std::make_unique<ChildPage>(
            [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return PageMessage(message, wParam, lParam); });
        HWND page = pages_[i]->CreateModeless(hwnd_, kPageTemplates[i]);
        for (int id = IDC_TITLE_FIRST; id <= IDC_TITLE_LAST; ++id) MakeBold(page, id);
        SetWindowPos(page, tabs, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE);
    }

    AddHint(pages_[0]->hwnd(), IDC_TMP_BROWSE, "Den temporären Ordner wechseln");
    AddHint(pages_[0]->hwnd(), IDC_BAK_BROWSE, "Den Backup-Ordner wechseln");
    AddHint(pages_[2]->hwnd(), IDC_NOTICES_ON, "Einschalten aller Hinweis-Dialoge");
    SetWindowTextA(Item(IDC_OE_TEXT), kOETabExplanation);

    SendMessageA(Item(IDC_MAX_BACKUPS_UPDOWN), UDM_SETRANGE, 0, MAKELPARAM(kMaxBackupsRange.maximum, kMaxBackupsRange.minimum));
    SendMessageA(Item(IDC_UPDATE_PERIOD_UPDOWN), UDM_SETRANGE, 0,
                 MAKELPARAM(kUpdatePeriodRange.maximum, kUpdatePeriodRange.minimum));
    SendMessageA(Item(IDC_MAX_BACKUPS), EM_LIMITTEXT, 2, 0);
    SendMessageA(Item(IDC_UPDATE_PERIOD), EM_LIMITTEXT, 2, 0);
    SendMessageA(Item(IDC_COMPRESSION), TBM_SETRANGE, FALSE, MAKELPARAM(kCompressionRange.minimum, kCompressionRange.maximum));
    for (const char* text : kPriorityItems) SendMessageA(Item(IDC_PRIORITY), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));

    model_.Load();
    LoadControls();

    int index = static_cast<int>(tab_);
    SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowPage(index);
}

void TPrefDlg::ShowPage(int index) {
    for (int i = 0; i < 5; ++i) ShowWindow(pages_[i]->hwnd(), i == index ? SW_SHOW : SW_HIDE);
}

void TPrefDlg::LoadControls() {
    const PreferencesValues& v = model_.Values();
    busy_ = true;
    SetWindowTextA(Item(IDC_TMP_FOLDER), v.tmpFolder.c_str());
    SetWindowTextA(Item(IDC_BAK_FOLDER), v.bakFolder.c_str());
    SendMessageA(Item(IDC_MAX_BACKUPS_UPDOWN), UDM_SETPOS, 0, MAKELPARAM(v.maxBackups, 0));
    SendMessageA(Item(IDC_UPDATE_PERIOD_UPDOWN), UDM_SETPOS, 0, MAKELPARAM(v.updatePeriod, 0));
    SendMessageA(Item(IDC_COMPRESSION), TBM_SETPOS, TRUE, v.compression);
    SendMessageA(Item(IDC_PRIORITY), CB_SETCURSEL, static_cast<WPARAM>(v.priority), 0);
    auto check = [this](int id, bool on) { SendMessageA(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); };
    check(IDC_TEST_BACKUP, v.testBackup);
    check(IDC_ASK_PASSWORD, v.askForPassword);
    check(IDC_STOP_PROGRAM, v.stopProgram);
    check(IDC_NO_MESSAGES, v.noMessages);
    check(IDC_MINIMIZE, v.minimize);
    check(IDC_OE_AUTO_CLOSE, v.oeAutoClose);
    check(IDC_OE_AUTO_START, v.oeAutoStart);
    check(IDC_OE_AUTO_START2, v.oeAutoStart2);
    check(IDC_PRINT_AFTER, v.printAfterBackup);
    check(IDC_REGISTER_EXT, v.registerExtension);
    EnableWindow(Item(IDC_OE_AUTO_START2), model_.OEAutoStart2Enabled());
    busy_ = false;
}

void TPrefDlg::StoreControls() {
    PreferencesValues& v = model_.Values();
    auto checked = [this](int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    v.tmpFolder = WindowText(Item(IDC_TMP_FOLDER));
    v.bakFolder = WindowText(Item(IDC_BAK_FOLDER));
    v.maxBackups = NumberFieldValue(NumberField::MaxBackups, WindowText(Item(IDC_MAX_BACKUPS)));
    v.updatePeriod = NumberFieldValue(NumberField::UpdatePeriod, WindowText(Item(IDC_UPDATE_PERIOD)));
    v.compression = static_cast<int>(SendMessageA(Item(IDC_COMPRESSION), TBM_GETPOS, 0, 0));
    LRESULT priority = SendMessageA(Item(IDC_PRIORITY), CB_GETCURSEL, 0, 0);
    v.priority = priority == CB_ERR ? 0 : static_cast<int>(priority);
    v.testBackup = checked(IDC_TEST_BACKUP);
    v.askForPassword = checked(IDC_ASK_PASSWORD);
    v.stopProgram = checked(IDC_STOP_PROGRAM);
    v.noMessages = checked(IDC_NO_MESSAGES);
    v.minimize = checked(IDC_MINIMIZE);
    v.oeAutoClose = checked(IDC_OE_AUTO_CLOSE);
    v.oeAutoStart = checked(IDC_OE_AUTO_START);
    v.oeAutoStart2 = checked(IDC_OE_AUTO_START2);
    v.printAfterBackup = checked(IDC_PRINT_AFTER);
    v.registerExtension = checked(IDC_REGISTER_EXT);
}

void TPrefDlg::FolderLeft(int editId) {
    if (busy_) return;
    HWND edit = Item(editId);
    std::string text = WindowText(edit);
    if (text.empty()) return;
    busy_ = true;
    FolderCheckResult result = model_.LeaveFolderField(text);
    if (!result.folder.empty()) SetWindowTextA(edit, result.folder.c_str());
    if (result.focusEdit) SetFocus(edit);
    busy_ = false;
}

void TPrefDlg::Browse(bool temporary) {
    if (busy_) return;
    HWND edit = Item(temporary ? IDC_TMP_FOLDER : IDC_BAK_FOLDER);
    std::string field = WindowText(edit);
    bool focusEdit = false;
    busy_ = true;
    if (model_.BrowseFolder(temporary, field, focusEdit)) SetWindowTextA(edit, field.c_str());
    busy_ = false;
    if (focusEdit) SetFocus(edit);
}

void TPrefDlg::NumberChanged(int editId) {
    if (busy_) return;
    HWND edit = Item(editId);
    std::string text = WindowText(edit);
    DWORD start = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    NumberFieldText filtered = FilterNumberField(text, static_cast<int>(start));
    if (filtered.text == text) return;
    busy_ = true;
    SetWindowTextA(edit, filtered.text.c_str());
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(filtered.caret), filtered.caret);
    busy_ = false;
}

void TPrefDlg::NumberLeft(int editId) {
    if (busy_) return;
    HWND edit = Item(editId);
    std::string text = WindowText(edit);
    std::string result = NumberFieldOnExit(editId == IDC_MAX_BACKUPS ? NumberField::MaxBackups : NumberField::UpdatePeriod, text);
    if (result == text) return;
    busy_ = true;
    SetWindowTextA(edit, result.c_str());
    busy_ = false;
}

void TPrefDlg::Command(int id, int code) {
    switch (id) {
        case IDC_TMP_FOLDER:
        case IDC_BAK_FOLDER:
            if (code == EN_KILLFOCUS) FolderLeft(id);
            return;
        case IDC_TMP_BROWSE:
            if (code == BN_CLICKED) Browse(true);
            return;
        case IDC_BAK_BROWSE:
            if (code == BN_CLICKED) Browse(false);
            return;
        case IDC_MAX_BACKUPS:
        case IDC_UPDATE_PERIOD:
            if (code == EN_CHANGE) NumberChanged(id);
            if (code == EN_KILLFOCUS) NumberLeft(id);
            return;
        case IDC_OE_AUTO_START:
            if (code == BN_CLICKED) {
                model_.Values().oeAutoStart = SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
                EnableWindow(Item(IDC_OE_AUTO_START2), model_.OEAutoStart2Enabled());
            }
            return;
        case IDC_NOTICES_ON:
            if (code == BN_CLICKED) model_.ResetNotices();
            return;
        case IDC_HELP_BUTTON:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Preferences);
            return;
        case IDOK:
            StoreControls();
            model_.Save();
            EndDialog(hwnd_, IDOK);
            return;
        case IDCANCEL:
            EndDialog(hwnd_, IDCANCEL);
            return;
        default:
            return;
    }
}

INT_PTR TPrefDlg::PageMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        case WM_CTLCOLORSTATIC:
            return WhiteStatic(reinterpret_cast<HDC>(wParam));
        default:
            return FALSE;
    }
}

INT_PTR TPrefDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) {
                ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
                return TRUE;
            }
            return FALSE;
        }
        case WM_HELP:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Preferences);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool RunPreferencesDialog(HWND owner, Platform& platform, PrefTab tab, PreferencesValues* values) {
    TPrefDlg dialog(platform, tab);
    bool ok = dialog.RunModal(owner, IDD_PREFS) == IDOK;
    if (ok && values) *values = dialog.Values();
    return ok;
}

}  // namespace bv::ui
