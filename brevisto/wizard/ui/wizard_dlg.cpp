#include "brevisto/wizard/ui/wizard_dlg.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "brevisto/shell/ui/notice_dlg.h"
#include "brevisto/shell/ui/password_dlg.h"
#include "brevisto/shell/ui/pref_dlg.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/shell/ui/ui_support.h"
#include "brevisto/wizard/wizard_model.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

const int kPageTemplates[kWizardPageCount] = {IDD_WIZ_IDENTITY, IDD_WIZ_MAILS,  IDD_WIZ_OTHERS,
                                              IDD_WIZ_END,      IDD_WIZ_BACKUP, IDD_WIZ_REPORT};

constexpr int kWizardWidth = 520;
constexpr int kWizardHeight = 471;
constexpr UINT_PTR kUnattendedTimer = 1;
constexpr UINT_PTR kMinimizeTimer = 2;
// Posted to the wizard: show it first, then run FormShow (which may start a backup).
constexpr UINT WM_FORM_SHOW = WM_APP + 1;
// Posted after a click or key in the folder tree, to read a check box the view toggled.
constexpr UINT WM_NODE_TOGGLED = WM_APP + 2;

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kDarkRed = RGB(128, 0, 0);
const COLORREF kGreen = RGB(0, 128, 0);

// The page titles: large, bold and italic. Owned by the module, never freed.
HFONT TitleFont() {
    static HFONT font = [] {
        HDC screen = GetDC(nullptr);
        const int height = -MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        return CreateFontA(height, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
    }();
    return font;
}

// "Hinweis!": the backup would not fit, or its drive is missing.
class FreeSpaceNoticeDlg : public Dialog {
public:
    explicit FreeSpaceNoticeDlg(const FreeSpaceNotice& notice) : notice_(notice) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                if (notice_.driveMissing) {
                    for (int id = IDC_SPACE_DISK_FIRST; id <= IDC_SPACE_DISK_LAST; ++id) ShowItem(hwnd_, id, false);
                    SetItemText(hwnd_, IDC_SPACE_DRIVE, DriveMissingNoticeText(notice_.drive));
                    ShowItem(hwnd_, IDC_SPACE_DRIVE, true);
                } else {
                    SetItemText(hwnd_, IDC_SPACE_FOLDER, notice_.folder);
                    SetItemText(hwnd_, IDC_SPACE_FREE, notice_.freeBytes);
                    SetItemText(hwnd_, IDC_SPACE_ESTIMATE, notice_.estimate);
                }
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    EndDialog(hwnd_, IDOK);
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

private:
    const FreeSpaceNotice& notice_;
};

class TWizardDlg : public Dialog, public WizardView {
public:
    TWizardDlg(Platform& platform, int backupKind, bool autoRun, const std::string& paramFile)
        : p_(platform), model_(platform, *this, backupKind, autoRun, paramFile) {}
    ~TWizardDlg() override {
        for (HICON icon : icons_)
            if (icon) DestroyIcon(icon);
        for (HBITMAP picture : sidePictures_)
            if (picture) DeleteObject(picture);
    }

    const WizardResult& Result() const { return model_.Result(); }

    // ---- BackupView
    void SetStatus(const std::string& text, StatusColor color) override {
        statusColor_ = color;
        SetWindowTextA(Item(IDC_WIZ_STATUS), text.c_str());
        InvalidateRect(Item(IDC_WIZ_STATUS), nullptr, TRUE);
    }
    void SetIcon(BackupGroup group, int image) override {
        HWND icon = Item(IDC_WIZ_GROUP_ICON_FIRST + static_cast<int>(group));
        SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(Icon(image)), 0);
        InvalidateRect(icon, nullptr, TRUE);
    }
    void ShowGroup(BackupGroup group, bool shown) override {
        ShowWindow(Item(IDC_WIZ_GROUP_ICON_FIRST + static_cast<int>(group)), shown ? SW_SHOW : SW_HIDE);
        EnableWindow(Item(IDC_WIZ_GROUP_LABEL_FIRST + static_cast<int>(group)), shown);
    }
    void SetTotalProgress(int percent) override { SendMessageA(Item(IDC_WIZ_PBAR_TOTAL), PBM_SETPOS, percent, 0); }
    void SetFileProgress(int percent) override { SendMessageA(Item(IDC_WIZ_PBAR_FILE), PBM_SETPOS, percent, 0); }
    void AppendReport(const std::string& line) override {
        HWND memo = Item(IDC_WIZ_REPORT);
        const LRESULT length = SendMessageA(memo, WM_GETTEXTLENGTH, 0, 0);
        SendMessageA(memo, EM_SETSEL, static_cast<WPARAM>(length), length);
        const std::string text = (length > 0 ? "\r\n" : "") + line;
        SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void ClearReport() override { SetWindowTextA(Item(IDC_WIZ_REPORT), ""); }

    // ---- WizardView
    void SetCaption(const std::string& caption) override { SetWindowTextA(hwnd_, caption.c_str()); }
    void ShowUpdatePicture(bool shown) override {
        ShowItem(hwnd_, IDC_WIZ_SIDE_UPDATE, shown);
        ShowItem(hwnd_, IDC_WIZ_SIDE, !shown);
    }
    void ClearSidePicture() override {
        ShowItem(hwnd_, IDC_WIZ_SIDE_UPDATE, false);
        ShowItem(hwnd_, IDC_WIZ_SIDE, false);
    }
    void ShowPage(WizardPage page) override {
        for (int i = 0; i < kWizardPageCount; ++i)
            ShowWindow(pages_[i]->hwnd(), i == static_cast<int>(page) ? SW_SHOW : SW_HIDE);
    }
    void SetNextEnabled(bool enabled) override { EnableItem(hwnd_, IDC_WIZ_NEXT, enabled); }
    void SetNextCaption(const std::string& caption) override { SetItemText(hwnd_, IDC_WIZ_NEXT, caption); }
    void SetBackEnabled(bool enabled) override { EnableItem(hwnd_, IDC_WIZ_BACK, enabled); }
    void SetCancelCaption(const std::string& caption) override { SetItemText(hwnd_, IDCANCEL, caption); }
    void SetCancelEnabled(bool enabled) override { EnableWindow(GetDlgItem(hwnd_, IDCANCEL), enabled); }
    void ShowPrintButton(bool shown) override { ShowItem(hwnd_, IDC_WIZ_PRINT, shown); }
    void ShowFinishButton(bool shown) override { ShowWindow(Item(IDC_WIZ_FINISH), shown ? SW_SHOW : SW_HIDE); }
    void SetFinishEnabled(bool enabled) override { EnableWindow(Item(IDC_WIZ_FINISH), enabled); }
    void SetFinishHint(bool shown) override { finishHint_ = shown; }
    void SetEndSelectionText(const std::string& text, bool red) override {
        endTextRed_ = red;
        SetWindowTextA(Item(IDC_WIZ_END_TEXT), text.c_str());
        InvalidateRect(Item(IDC_WIZ_END_TEXT), nullptr, TRUE);
    }

    void SetIdentityNames(const std::vector<std::string>& names) override {
        HWND combo = Item(IDC_WIZ_IDENTITY);
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        for (const std::string& name : names) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    int SelectedIdentity() override {
        const LRESULT index = SendMessageA(Item(IDC_WIZ_IDENTITY), CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? -1 : static_cast<int>(index);
    }
    void SelectIdentity(int index) override { SendMessageA(Item(IDC_WIZ_IDENTITY), CB_SETCURSEL, index, 0); }
    void SetIdentityKeyText(const std::string& text) override { SetWindowTextA(Item(IDC_WIZ_IDENT_KEY), text.c_str()); }
    std::string FieldText(WizardField field) override { return WindowText(Item(FieldId(field))); }
    void SetFieldText(WizardField field, const std::string& text) override {
        // Texts the wizard sets itself are no edits of the user.
        settingField_ = true;
        SetWindowTextA(Item(FieldId(field)), text.c_str());
        settingField_ = false;
    }
    void FocusField(WizardField field) override {
        HWND edit = Item(FieldId(field));
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
    }

    void BeginTreeLoad() override {
        ShowWindow(Item(IDC_WIZ_TREE), SW_HIDE);
        ShowWindow(Item(IDC_WIZ_WAITING), SW_SHOW);
        UpdateWindow(pages_[wpMails]->hwnd());
    }
    void EndTreeLoad(const TMailFolderTree& tree) override;
    void RefreshTreeChecks(const TMailFolderTree& tree) override {
        HWND view = Item(IDC_WIZ_TREE);
        for (size_t i = 0; i < items_.size() && i < tree.Count(); ++i) {
            TVITEMA item = {};
            item.mask = TVIF_STATE;
            item.hItem = items_[i];
            item.stateMask = TVIS_STATEIMAGEMASK;
            item.state = INDEXTOSTATEIMAGEMASK(tree.Checked(i) ? 2 : 1);
            SendMessageA(view, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    void SetFolderCountText(const std::string& text) override { SetWindowTextA(Item(IDC_WIZ_FILE_COUNT), text.c_str()); }

    bool AllFoldersForAutomation() override {
        return SendMessageA(Item(IDC_WIZ_ALL_DBX), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    bool OptionChecked(int option) override {
        return SendMessageA(Item(IDC_WIZ_SAVE_FIRST + option), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void SetOptionChecked(int option, bool checked) override {
        SendMessageA(Item(IDC_WIZ_SAVE_FIRST + option), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool OptionEnabled(int option) override { return IsWindowEnabled(Item(IDC_WIZ_SAVE_FIRST + option)) != FALSE; }

    void SetIdentityNameText(const std::string& text) override {
        SetWindowTextA(Item(IDC_WIZ_IDENTITY_NAME), text.c_str());
    }
    void SetMailCountText(const std::string& text) override {
        SetWindowTextA(Item(IDC_WIZ_GROUP_LABEL_FIRST + static_cast<int>(BackupGroup::MailFolders)), text.c_str());
    }

    void ShowFreeSpaceNotice(const FreeSpaceNotice& notice) override {
        FreeSpaceNoticeDlg dialog(notice);
        dialog.RunModal(hwnd_, IDD_WIZ_SPACE);
    }
    bool RunPreferences(PreferencesValues& values) override {
        return RunPreferencesDialog(hwnd_, p_, PrefTab::Folders, &values);
    }
    void RunOutlookExpressPreferences() override {
        RunPreferencesDialog(hwnd_, p_, PrefTab::OutlookExpress, nullptr);
    }
    bool RunPasswordDialog(std::string& password) override { return ui::RunPasswordDialog(hwnd_, p_, password); }
    NoticeAnswer RunNoticeDialog(const std::string& text) override { return ui::RunNoticeDialog(hwnd_, text); }
    void ShowHelp(int context) override { HelpSystem::ShowTopic(hwnd_, context); }

    void SetBusyCursor(bool busy) override {
        busy_ = busy;
        SetCursor(LoadCursor(nullptr, busy ? IDC_WAIT : IDC_ARROW));
    }
    void BringToForeground() override { SetForegroundWindow(hwnd_); }
    void StartTimer() override { SetTimer(hwnd_, kUnattendedTimer, 100, nullptr); }
    void StopTimer() override { KillTimer(hwnd_, kUnattendedTimer); }
    void MinimizeApp() override { PostMessageA(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0); }
    void CloseWizard() override {
        KillTimer(hwnd_, kUnattendedTimer);
        EndDialog(hwnd_, IDOK);
    }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The pages hand their controls' messages here.
    INT_PTR PageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void CreateGroupRows();
    void FitSidePictures();
    void Command(int id, int code);
    HWND Item(int id) const;
    static int FieldId(WizardField field);
    HICON Icon(int image);
    LRESULT TreeNotify(const NMHDR& header);
    void NodeToggled();
    void MinimizeApplication();

    Platform& p_;
    WizardModel model_;
    std::array<std::unique_ptr<ChildPage>, kWizardPageCount> pages_;
    std::vector<HTREEITEM> items_;  // tree items by the model's node index
    std::array<HICON, 10> icons_{};
    std::array<HBITMAP, 2> sidePictures_{};  // the full and the update picture, fitted
    StatusColor statusColor_ = StatusColor::Normal;
    bool endTextRed_ = false;
    bool finishHint_ = true;
    bool settingField_ = false;
    bool busy_ = false;
};

HWND TWizardDlg::Item(int id) const {
    for (const auto& page : pages_)
        if (page && page->hwnd())
            if (HWND item = GetDlgItem(page->hwnd(), id)) return item;
    return GetDlgItem(hwnd_, id);
}

int TWizardDlg::FieldId(WizardField field) {
    switch (field) {
        case WizardField::BackupFolder: return IDC_WIZ_BACKUP_DIR;
        case WizardField::Comment: return IDC_WIZ_COMMENT;
        case WizardField::BackupName: return IDC_WIZ_BACKUP_NAME;
    }
    return IDC_WIZ_BACKUP_NAME;
}

HICON TWizardDlg::Icon(int image) {
    if (image < 0 || image >= static_cast<int>(icons_.size())) return nullptr;
    if (!icons_[image]) icons_[image] = ImageList_GetIcon(StatusImages(), image, ILD_NORMAL);
    return icons_[image];
}

void TWizardDlg::OnInit() {
    ApplySpecialEditionLayoutToOwner(hwnd_);
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    // The pixel size of the layout at 96 DPI; with large fonts the dialog units of the pages
    // and buttons decide, so that nothing is cut off.
    RECT layout = {0, 0, 347, 290};
    MapDialogRect(hwnd_, &layout);
    const bool normalDensity = ScreenDensity() == 96;
    SetClientSize(hwnd_, normalDensity ? kWizardWidth : std::max<int>(ScaleToScreen(kWizardWidth), layout.right),
                  normalDensity ? kWizardHeight : std::max<int>(ScaleToScreen(kWizardHeight), layout.bottom));
    FitSidePictures();

    // The pages fill the area right of the side picture and above the buttons.
    RECT area = {92, 4, 342, 260};
    MapDialogRect(hwnd_, &area);
    for (int i = 0; i < kWizardPageCount; ++i) {
        pages_[i] = std::make_unique<ChildPage>([this](HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
            return PageMessage(page, message, wParam, lParam);
        });
        HWND page = pages_[i]->CreateModeless(hwnd_, kPageTemplates[i]);
        SendDlgItemMessageA(page, IDC_WIZ_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont()), FALSE);
        SetWindowPos(page, HWND_BOTTOM, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE);
        SetDlgItemTextA(page, IDC_WIZ_TITLE, kWizardPageTitles[i]);
    }
    const HWND identityPage = pages_[wpIdentity]->hwnd();
    SendDlgItemMessageA(identityPage, IDC_WIZ_COMMENT, EM_LIMITTEXT, 100, 0);
    SendDlgItemMessageA(identityPage, IDC_WIZ_BACKUP_NAME, EM_LIMITTEXT, 100, 0);
    AddHint(identityPage, IDC_WIZ_COMMENT, "Hier können Sie einen beliebigen Text eingeben.");
    AddHint(identityPage, IDC_WIZ_BACKUP_DIR_BTN, "Ändern Sie den Ordner zum Ablegen des Backups");
    AddHint(pages_[wpMails]->hwnd(), IDC_WIZ_ALL_FOLDERS, "Alle Mailordner auswählen");
    AddHint(pages_[wpMails]->hwnd(), IDC_WIZ_NO_FOLDERS, "Keinen Mailordner auswählen");
    AddHint(pages_[wpOthers]->hwnd(), IDC_WIZ_ALL_PREFS, "Alle Optionen auswählen");
    AddHint(pages_[wpOthers]->hwnd(), IDC_WIZ_NO_PREFS, "Keine Option auswählen");
    SetWindowTextA(Item(IDC_WIZ_WAITING), kFolderTreeWaitingText);
    MakeBold(pages_[wpEndSelection]->hwnd(), IDC_WIZ_END_TEXT);
    MakeBold(pages_[wpBackup]->hwnd(), IDC_WIZ_IDENTITY_NAME);

    // Check boxes are set after creation: the tree view then builds its state images itself.
    HWND tree = Item(IDC_WIZ_TREE);
    SetWindowLongPtrA(tree, GWL_STYLE, GetWindowLongPtrA(tree, GWL_STYLE) | TVS_CHECKBOXES);

    CreateGroupRows();
    SendMessageA(Item(IDC_WIZ_REPORT), EM_SETLIMITTEXT, 0, 0);

    model_.FormCreate();
    if (owner && IsWindowVisible(owner)) {
        RECT ownerRect, own;
        GetWindowRect(owner, &ownerRect);
        GetWindowRect(hwnd_, &own);
        const int x = ownerRect.left + ((ownerRect.right - ownerRect.left) - (own.right - own.left)) / 2;
        const int y = ownerRect.top + ((ownerRect.bottom - ownerRect.top) - (own.bottom - own.top)) / 2;
        SetWindowPos(hwnd_, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    } else {
        CenterOnScreen(hwnd_);
    }
    PostMessageA(hwnd_, WM_FORM_SHOW, 0, 0);
}

// The side pictures fill the strip left of the pages, whatever the dialog units come to.
void TWizardDlg::FitSidePictures() {
    RECT strip = {0, 0, 86, 262};
    MapDialogRect(hwnd_, &strip);
    const int controls[2] = {IDC_WIZ_SIDE, IDC_WIZ_SIDE_UPDATE};
    const int pictures[2] = {IDB_SIDE, IDB_SIDE_UPDATE};
    for (int i = 0; i < 2; ++i) {
        sidePictures_[i] = static_cast<HBITMAP>(LoadImageA(Instance(), MAKEINTRESOURCEA(pictures[i]), IMAGE_BITMAP,
                                                           strip.right, strip.bottom, LR_DEFAULTCOLOR));
        SendDlgItemMessageA(hwnd_, controls[i], STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(sidePictures_[i]));
    }
}

void TWizardDlg::CreateGroupRows() {
    HWND page = pages_[wpBackup]->hwnd();
    RECT first = {4, 64, 244, 74};
    MapDialogRect(page, &first);
    // Pixel lengths at 96 DPI, scaled with the screen density.
    const int rowHeight = ScaleToScreen(17);
    const int iconSize = ScaleToScreen(16);
    const int indent = ScaleToScreen(24);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    for (int i = 0; i < kBackupGroupCount; ++i) {
        const int y = first.top + i * rowHeight;
        CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, first.left, y, iconSize,
                        iconSize, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WIZ_GROUP_ICON_FIRST + i)),
                        Instance(), nullptr);
        HWND label = CreateWindowExA(0, "STATIC", kBackupGroupLabels[i], WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                     first.left + indent, y + ScaleToScreen(1), first.right - first.left - indent,
                                     ScaleToScreen(15), page,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WIZ_GROUP_LABEL_FIRST + i)),
                                     Instance(), nullptr);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

void TWizardDlg::EndTreeLoad(const TMailFolderTree& tree) {
    HWND view = Item(IDC_WIZ_TREE);
    SendMessageA(view, WM_SETREDRAW, FALSE, 0);
    SendMessageA(view, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    items_.assign(tree.Count(), nullptr);
    for (size_t i = 0; i < tree.Count(); ++i) {
        const int parent = tree.ParentIndex(i);
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parent >= 0 && static_cast<size_t>(parent) < i ? items_[static_cast<size_t>(parent)] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(tree.Text(i).c_str());
        insert.item.lParam = static_cast<LPARAM>(i);
        items_[i] = reinterpret_cast<HTREEITEM>(
            SendMessageA(view, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    for (HTREEITEM item : items_)
        if (item) SendMessageA(view, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    if (!items_.empty() && items_[0]) SendMessageA(view, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(items_[0]));
    SendMessageA(view, WM_SETREDRAW, TRUE, 0);
    ShowWindow(Item(IDC_WIZ_WAITING), SW_HIDE);
    ShowWindow(view, SW_SHOW);
    InvalidateRect(view, nullptr, TRUE);
}

LRESULT TWizardDlg::TreeNotify(const NMHDR& header) {
    switch (header.code) {
        case NM_CLICK:
        case TVN_KEYDOWN:
            // The view toggles a check box after this notice; the change is read afterwards.
            PostMessageA(hwnd_, WM_NODE_TOGGLED, 0, 0);
            return 0;
        case NM_CUSTOMDRAW: {
            auto& draw = reinterpret_cast<NMTVCUSTOMDRAW&>(const_cast<NMHDR&>(header));
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
            if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
            const size_t index = static_cast<size_t>(draw.nmcd.lItemlParam);
            TMailFolderTree& tree = model_.Tree();
            if (index >= tree.Count()) return CDRF_DODEFAULT;
            const TFolderNodeStyle style = tree.Style(index);
            if (style == fnsNormal) return CDRF_DODEFAULT;
            // A selected node keeps the highlight colours so it stays readable.
            if (!(draw.nmcd.uItemState & CDIS_SELECTED)) draw.clrText = FolderNodeColor(style);
            if (FolderNodeBold(style)) {
                SelectObject(draw.nmcd.hdc, BoldFont());
                return CDRF_NEWFONT;
            }
            return CDRF_DODEFAULT;
        }
        default:
            return 0;
    }
}

// The node whose check box the view shows differently from the model is the one the user
// clicked (by mouse or space bar): it becomes the selected node and the model spreads it.
void TWizardDlg::NodeToggled() {
    HWND view = Item(IDC_WIZ_TREE);
    TMailFolderTree& tree = model_.Tree();
    for (size_t i = 0; i < items_.size() && i < tree.Count(); ++i) {
        const LRESULT state =
            SendMessageA(view, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(items_[i]), TVIS_STATEIMAGEMASK);
        const bool checked = ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
        if (checked == tree.Checked(i)) continue;
        SendMessageA(view, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items_[i]));
        tree.SetChecked(i, checked);
        model_.FolderNodeClicked(static_cast<int>(i));
        return;
    }
}

INT_PTR TWizardDlg::PageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.idFrom != IDC_WIZ_TREE) return FALSE;
            SetWindowLongPtrA(page, DWLP_MSGRESULT, TreeNotify(header));
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            COLORREF color;
            if (id == IDC_WIZ_WAITING) {
                color = kDarkRed;
            } else if (id == IDC_WIZ_END_TEXT && endTextRed_) {
                color = kRed;
            } else if (id == IDC_WIZ_STATUS && statusColor_ != StatusColor::Normal) {
                color = statusColor_ == StatusColor::Red ? kRed : kGreen;
            } else {
                return FALSE;
            }
            return ColoredStatic(reinterpret_cast<HDC>(wParam), color);
        }
        default:
            return FALSE;
    }
}

void TWizardDlg::Command(int id, int code) {
    switch (id) {
        case IDC_WIZ_NEXT:
            // Enter reaches the default button even while it is disabled.
            if (IsWindowEnabled(GetDlgItem(hwnd_, IDC_WIZ_NEXT))) model_.NextBtnClick();
            break;
        case IDC_WIZ_BACK:
            if (IsWindowEnabled(GetDlgItem(hwnd_, IDC_WIZ_BACK))) model_.BackBtnClick();
            break;
        case IDCANCEL: model_.CancelBtnClick(); break;
        case IDC_WIZ_HELP: model_.btnHelpClick(); break;
        case IDC_WIZ_PRINT: model_.PrintBtnClick(); break;
        case IDC_WIZ_FINISH: model_.btnSeparateStartClick(); break;
        case IDC_WIZ_IDENTITY:
            if (code == CBN_SELCHANGE) model_.IdentChangeChange();
            break;
        case IDC_WIZ_BACKUP_DIR:
            if (code == EN_CHANGE && !settingField_) model_.BackupDirEditChange();
            if (code == EN_KILLFOCUS) model_.BackupDirEditExit();
            break;
        case IDC_WIZ_COMMENT:
        case IDC_WIZ_BACKUP_NAME:
            if (code == EN_CHANGE && !settingField_) model_.BackupDirEditChange();
            break;
        case IDC_WIZ_BACKUP_DIR_BTN: model_.BackupDirBtnClick(); break;
        case IDC_WIZ_ALL_FOLDERS: model_.AllFilesBtnClick(); break;
        case IDC_WIZ_NO_FOLDERS: model_.NoFilesBtnClick(); break;
        case IDC_WIZ_ALL_PREFS: model_.AllPrefsBtnClick(); break;
        case IDC_WIZ_NO_PREFS: model_.NonePrefsBtnClick(); break;
        case IDC_WIZ_BATCH: model_.BatchBtnClick(); break;
        case IDC_WIZ_SHORTCUT: model_.ShortcutBtnClick(); break;
        default: break;
    }
}

// The whole program goes to the task bar: the main window minimized hides the wizard it
// owns, and restoring it brings the wizard back.
void TWizardDlg::MinimizeApplication() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (!owner) {
        ShowWindow(hwnd_, SW_MINIMIZE);
        return;
    }
    // Hidden by hand: not every system hides owned windows with their owner. The main
    // window shows the wizard again when it is restored.
    SetPropA(hwnd_, kHiddenWithOwner, reinterpret_cast<HANDLE>(1));
    ShowWindow(hwnd_, SW_HIDE);
    ShowWindow(owner, SW_MINIMIZE);
}

INT_PTR TWizardDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return FALSE;
        case WM_FORM_SHOW:
            ShowWindow(hwnd_, SW_SHOW);
            UpdateWindow(hwnd_);
            model_.FormShow();
            if (finishHint_) AddHint(pages_[wpEndSelection]->hwnd(), IDC_WIZ_FINISH, "Starten Sie die Datensicherung");
            return TRUE;
        case WM_NODE_TOGGLED:
            NodeToggled();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kUnattendedTimer) model_.TimerTimer();
            if (wParam == kMinimizeTimer) {
                KillTimer(hwnd_, kMinimizeTimer);
                MinimizeApplication();
            }
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                // The dialog box's loop shows its dialog once its queue first runs empty; a
                // timer message comes only after that, so the hidden wizard stays hidden.
                SetTimer(hwnd_, kMinimizeTimer, 10, nullptr);
                SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            return FALSE;
        case WM_SETCURSOR:
            if (!busy_) return FALSE;
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_HELP:
            model_.btnHelpClick();
            return TRUE;
        case WM_CLOSE:
            if (model_.CloseQuery()) CloseWizard();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

WizardResult RunWizardDialog(HWND owner, Platform& platform, int backupKind, bool autoRun,
                             const std::string& paramFile) {
    TWizardDlg dialog(platform, backupKind, autoRun, paramFile);
    dialog.RunModal(owner, IDD_WIZARD);
    return dialog.Result();
}

}  // namespace bv::ui
