#include "brevisto/viewer/ui/show_dlg.h"

#include <functional>

#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/shell/ui/ui_support.h"
#include "brevisto/viewer/viewer_model.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

constexpr int kLineHeight = 17;  // pixels between two category lines

class TShowDlg : public Dialog {
public:
    TShowDlg(Platform& platform, const std::string& startFile) : model_(platform, startFile) {}
    ~TShowDlg() override {
        for (HICON mark : marks_)
            if (mark) DestroyIcon(mark);
    }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInit();
    void CreateCategoryLines();
    void SetUpFolderList();
    // Runs a model call with the hourglass and without list notifications, then shows the state.
    void Busy(const std::function<void()>& action);
    void ShowState();
    void Command(int id, int code);

    ViewerModel model_;
    bool busy_ = false;
    HICON marks_[2] = {};
    // The list the user saw when pressing "Löschen": leaving a changed folder field refills
    // the list between the press and the click, and the click must not hit the new list.
    uint32_t pressedGeneration_ = 0;
    bool pressed_ = false;
    WNDPROC deleteButtonProc_ = nullptr;
    static LRESULT CALLBACK DeleteButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK TShowDlg::DeleteButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TShowDlg*>(GetWindowLongPtrA(button, GWLP_USERDATA));
    if (!self) return DefWindowProcA(button, message, wParam, lParam);
    // A press by mouse, by BM_CLICK (mnemonics) or by the space key comes here before the
    // button takes the focus, that is before the folder field refills the list.
    if (message == WM_LBUTTONDOWN || (message == WM_KEYDOWN && wParam == VK_SPACE)) {
        self->pressedGeneration_ = self->model_.ListGeneration();
        self->pressed_ = true;
    }
    return CallWindowProcA(self->deleteButtonProc_, button, message, wParam, lParam);
}

void TShowDlg::OnInit() {
    ApplySpecialEditionLayoutToOwner(hwnd_);
    SetWindowTextA(hwnd_, kViewerCaption);
    HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetItemText(hwnd_, IDC_BANNER_TEXT, kViewerBanner);
    MakeBold(hwnd_, IDC_BANNER_TEXT, 10);
    MakeBold(hwnd_, IDC_VIEW_INFO);
    AddHint(hwnd_, IDC_VIEW_BROWSE, "Ändern Sie den Backup-Ordner");
    AddHint(hwnd_, IDC_VIEW_DELETE, "Gewähltes Backup löschen");
    marks_[0] = ImageList_GetIcon(StatusImages(), 0, ILD_NORMAL);
    marks_[1] = ImageList_GetIcon(StatusImages(), 1, ILD_NORMAL);
    CreateCategoryLines();
    SetUpFolderList();
    HWND deleteButton = GetDlgItem(hwnd_, IDC_VIEW_DELETE);
    SetWindowLongPtrA(deleteButton, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    deleteButtonProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(deleteButton, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DeleteButtonProc)));
    CenterOnScreen(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    Busy([this] { model_.Open(); });
}

void TShowDlg::CreateCategoryLines() {
    RECT group;
    GetWindowRect(GetDlgItem(hwnd_, IDC_VIEW_CONTENT), &group);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&group), 2);
    RECT list;
    GetWindowRect(GetDlgItem(hwnd_, IDC_VIEW_FOLDERS), &list);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&list), 2);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    // Pixel lengths at 96 DPI, scaled with the screen density; the 16-pixel marks stay
    // centred in their (larger) boxes.
    const int left = group.left + ScaleToScreen(10);
    const int top = list.top + ScaleToScreen(2);
    const int labelWidth = list.left - left - ScaleToScreen(28);
    const int lineHeight = ScaleToScreen(kLineHeight);
    const int markSize = ScaleToScreen(16);
    HWND after = GetDlgItem(hwnd_, IDC_VIEW_CONTENT);
    for (int i = 0; i < vcCategoryCount; ++i) {
        int y = top + i * lineHeight;
        HWND mark = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, left, y,
                                    markSize, markSize, hwnd_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIEW_MARK_FIRST + i)),
                                    Instance(), nullptr);
        SendMessageA(mark, STM_SETICON, reinterpret_cast<WPARAM>(marks_[0]), 0);
        SetWindowPos(mark, after, left, y, markSize, markSize, SWP_NOACTIVATE);
        HWND label = CreateWindowExA(0, "STATIC", kViewerCategoryLabels[i], WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                     left + ScaleToScreen(22), y + ScaleToScreen(1), labelWidth, ScaleToScreen(14), hwnd_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIEW_LABEL_FIRST + i)),
                                     Instance(), nullptr);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowPos(label, mark, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = label;
    }
}

void TShowDlg::SetUpFolderList() {
    HWND list = GetDlgItem(hwnd_, IDC_VIEW_FOLDERS);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = 200;
    column.pszText = const_cast<char*>(kMailFolderColumn);
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.fmt = LVCFMT_RIGHT;
    column.cx = 95;
    column.pszText = const_cast<char*>(kMailFolderSizeColumn);
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
}

void TShowDlg::Busy(const std::function<void()>& action) {
    (void)RunBusy(busy_, action, [this] { ShowState(); });  // a second call while one runs is dropped
}

void TShowDlg::ShowState() {
    SetItemText(hwnd_, IDC_VIEW_FOLDER, model_.FolderField());

    HWND combo = GetDlgItem(hwnd_, IDC_VIEW_BACKUPS);
    SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : model_.Entries())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(model_.SelectedIndex()), 0);
    SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(combo, nullptr, TRUE);
    EnableItem(hwnd_, IDC_VIEW_DELETE, model_.DeleteEnabled());

    SetItemText(hwnd_, IDC_VIEW_DATE, model_.DateText());
    SetItemText(hwnd_, IDC_VIEW_SIZE, model_.SizeText());
    SetItemText(hwnd_, IDC_VIEW_INFO, model_.InfoLine());
    SetItemText(hwnd_, IDC_VIEW_UPDATE, model_.UpdateLine());
    for (int i = 0; i < vcCategoryCount; ++i)
        SendDlgItemMessageA(hwnd_, IDC_VIEW_MARK_FIRST + i, STM_SETICON,
                            reinterpret_cast<WPARAM>(marks_[model_.Categories()[i] ? 1 : 0]), 0);

    HWND list = GetDlgItem(hwnd_, IDC_VIEW_FOLDERS);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<MailFolderRow>& rows = model_.MailFolders();
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(rows[i].caption.c_str());
        item.lParam = static_cast<LPARAM>(i);  // the row of the model, which names the DBX file
        int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        LVITEMA size = {};
        size.iSubItem = 1;
        size.pszText = const_cast<char*>(rows[i].sizeText.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&size));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void TShowDlg::Command(int id, int code) {
    switch (id) {
        case IDC_VIEW_BACKUPS:
            // Choices made while a backup is described are not processed.
            if (code == CBN_SELCHANGE && !busy_) {
                int index = static_cast<int>(SendDlgItemMessageA(hwnd_, id, CB_GETCURSEL, 0, 0));
                Busy([this, index] { model_.SelectEntry(index); });
            }
            return;
        case IDC_VIEW_FOLDER:
            if (code == EN_KILLFOCUS && !busy_) {
                std::string text = ItemText(hwnd_, IDC_VIEW_FOLDER);
                Busy([this, text] { model_.FolderFieldLeft(text); });
            }
            return;
        case IDC_VIEW_BROWSE:
            if (code == BN_CLICKED && !busy_) Busy([this] { model_.BrowseFolder(); });
            return;
        case IDC_VIEW_DELETE:
            if (code == BN_CLICKED && !busy_) {
                const uint32_t generation = pressed_ ? pressedGeneration_ : model_.ListGeneration();
                pressed_ = false;
                DeleteOutcome outcome = DeleteOutcome::NoSelection;
                Busy([this, generation, &outcome] { outcome = model_.DeleteSelected(generation); });
                if (outcome == DeleteOutcome::Deleted) SetFocus(GetDlgItem(hwnd_, IDC_VIEW_BACKUPS));
            }
            return;
        case IDC_HELP_BUTTON:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Viewer);
            return;
        case IDOK:
        case IDCANCEL:
            EndDialog(hwnd_, IDCANCEL);
            return;
        default:
            return;
    }
}

INT_PTR TShowDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            HWND control = reinterpret_cast<HWND>(lParam);
            HDC dc = reinterpret_cast<HDC>(wParam);
            int id = GetDlgCtrlID(control);
            if (id == IDC_BANNER_TEXT) return WhiteStatic(dc);
            if (id == IDC_VIEW_INFO) return ColoredStatic(dc, RGB(255, 0, 0));
            return FALSE;
        }
        case WM_HELP:
            HelpSystem::ShowTopic(hwnd_, HelpTopic::Viewer);
            return TRUE;
        case WM_ERASEBKGND: {
            // The banner is a white strip across the top.
            const RECT banner = ItemRect(hwnd_, IDC_BANNER);
            return EraseWithWhiteBand(hwnd_, reinterpret_cast<HDC>(wParam), banner.top, banner.bottom);
        }
        default:
            return FALSE;
    }
}

}  // namespace

void RunViewerDialog(HWND owner, Platform& platform, const std::string& startFile) {
    TShowDlg dialog(platform, startFile);
    dialog.RunModal(owner, IDD_VIEWER);
}

}  // namespace bv::ui
