#include "brevisto/shell/ui/start_dlg.h"

#include <commdlg.h>

#include <vector>

#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/about_dlg.h"
#include "brevisto/shell/ui/notice_dlg.h"
#include "brevisto/shell/ui/pref_dlg.h"
#include "brevisto/shell/ui/system_settings_dlg.h"
#include "brevisto/shell/ui/oe_options_dlg.h"
#include "brevisto/transfer/ui/dbxtract_dlg.h"
#include "brevisto/viewer/ui/show_dlg.h"
#include "platform/win32/win32_owner.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {
namespace {

constexpr int kClientWidth = 512;
constexpr int kClientHeight = 362;

// The window is laid out in pixels (its size and the create button's place are given in
// pixels); the template's dialog units only approximate this.
struct PixelRect {
    int id, x, y, width, height;
};
const PixelRect kPixelLayout[] = {
    {IDC_HEADING, 215, 14, 291, 28},
    {IDC_SUBHEADING, 215, 44, 291, 16},
    {IDC_CREATE_BUTTON, 215, 90, 130, 26},
    {IDC_CREATE_TEXT, 355, 88, 151, 104},
    {IDC_UPDATE_BUTTON, 215, 124, 130, 26},
    {IDC_RESTORE_BUTTON, 215, 158, 130, 26},
    {IDC_RESTORE_TEXT, 215, 198, 291, 40},
    {IDC_INFO_LABEL, 215, 300, 291, 58},
};

int CommandId(MenuCommand command) { return IDM_COMMAND_BASE + static_cast<int>(command); }

// Deletes the entries that the special edition hides; their item data is the index in the
// menu table. Deleting by position keeps this idempotent.
void RemoveHiddenEntries(HMENU menu) {
    const std::vector<MainMenuItem>& items = MainMenuItems();
    for (int position = GetMenuItemCount(menu) - 1; position >= 0; --position) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) continue;
        size_t index = static_cast<size_t>(info.dwItemData);
        if (index < items.size() && items[index].hiddenInSpecialEdition) {
            DeleteMenu(menu, static_cast<UINT>(position), MF_BYPOSITION);
        } else if (info.hSubMenu) {
            RemoveHiddenEntries(info.hSubMenu);
        }
    }
}

}  // namespace

void ApplySpecialEditionLayout(HWND mainWindow) {
    if (HMENU menu = GetMenu(mainWindow)) {
        RemoveHiddenEntries(menu);
        DrawMenuBar(mainWindow);
    }
    if (SpecialEditionLayout::HideRestoreButton) ShowItem(mainWindow, IDC_RESTORE_BUTTON, false);
    if (SpecialEditionLayout::HideUpdateButton) ShowItem(mainWindow, IDC_UPDATE_BUTTON, false);
    SetWindowPos(GetDlgItem(mainWindow, IDC_CREATE_BUTTON), nullptr, ScaleToScreen(SpecialEditionLayout::CreateButtonLeft),
                 ScaleToScreen(SpecialEditionLayout::CreateButtonTop), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND restoreLabel = GetDlgItem(mainWindow, IDC_RESTORE_TEXT);
    const std::string text = SpecialEditionRestoreText();
    RECT rect;
    GetWindowRect(restoreLabel, &rect);
    int width = rect.right - rect.left;
    // 80 pixels unless this system's font needs more lines for the text.
    int height = ScaleToScreen(SpecialEditionLayout::RestoreLabelHeight);
    HDC dc = GetDC(restoreLabel);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(restoreLabel, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(restoreLabel, dc);
    if (needed.bottom > height) height = needed.bottom;
    SetWindowPos(restoreLabel, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextA(restoreLabel, text.c_str());
}

void ApplySpecialEditionLayoutToOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    char ownerClass[32] = {};
    if (owner && GetClassNameA(owner, ownerClass, sizeof ownerClass) && lstrcmpA(ownerClass, "TStartDlg") == 0)
        ApplySpecialEditionLayout(owner);
}

TStartDlg::TStartDlg(Platform& platform, WizardRunner runWizard)
    : p_(platform), runWizard_(std::move(runWizard)), model_(platform, *this) {}

TStartDlg::~TStartDlg() {
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    if (printerDevMode_) GlobalFree(printerDevMode_);
    if (printerDevNames_) GlobalFree(printerDevNames_);
    if (hwnd_) DestroyWindow(hwnd_);
    if (sidePicture_) DeleteObject(sidePicture_);
}

bool TStartDlg::Create() {
    // The template names this class; it is a dialog class with the program's icon.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = Instance();
    windowClass.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO), IMAGE_ICON, 16, 16, 0));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "TStartDlg";
    if (!RegisterClassExA(&windowClass)) return false;
    return CreateModeless(nullptr, IDD_MAIN) != nullptr;
}

void TStartDlg::Start(const std::vector<std::string>& args) {
    // The creation step shows the window when it is not closed at once by an unattended run.
    model_.Create(args);
}

bool TStartDlg::PreTranslate(MSG& message) {
    if (!hwnd_) return false;
    // Shortcuts only while the main window itself is active (modal dialogs have their own loops).
    if (accelerators_ && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd)) &&
        TranslateAcceleratorA(hwnd_, accelerators_, &message)) {
        return true;
    }
    return IsDialogMessageA(hwnd_, &message) != FALSE;
}

void TStartDlg::OnInit() {
    BuildMenu();
    HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_BREVISTO));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetWindowTextA(hwnd_, kMainWindowTitle);
    // Laid out in pixels at 96 DPI and scaled with the screen density ("large fonts").
    SetClientSize(hwnd_, ScaleToScreen(kClientWidth), ScaleToScreen(kClientHeight));
    CenterOnScreen(hwnd_);

    // The picture panel fills the left edge.
    SetWindowPos(GetDlgItem(hwnd_, IDC_SIDE_PICTURE), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    sidePicture_ = ScalePicture(hwnd_, IDC_SIDE_PICTURE);
    for (const PixelRect& r : kPixelLayout)
        SetWindowPos(GetDlgItem(hwnd_, r.id), nullptr, ScaleToScreen(r.x), ScaleToScreen(r.y), ScaleToScreen(r.width),
                     ScaleToScreen(r.height), SWP_NOZORDER | SWP_NOACTIVATE);
    MakeBold(hwnd_, IDC_HEADING, 14);

    SetItemText(hwnd_, IDC_CREATE_BUTTON, kCreateButtonCaption);
    SetItemText(hwnd_, IDC_UPDATE_BUTTON, kUpdateButtonCaption);
    SetItemText(hwnd_, IDC_RESTORE_BUTTON, kRestoreButtonCaption);
    SetItemText(hwnd_, IDC_CREATE_TEXT, kCreateButtonDescription);
    SetItemText(hwnd_, IDC_INFO_LABEL, kSpecialEditionInfo);
    AddHint(hwnd_, IDC_CREATE_BUTTON, kCreateButtonHint);
    AddHint(hwnd_, IDC_UPDATE_BUTTON, kUpdateButtonHint);
    AddHint(hwnd_, IDC_RESTORE_BUTTON, kRestoreButtonHint);

    std::string folder = p_.system.ProgramFile();
    size_t slash = folder.find_last_of('\\');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    HelpSystem::Bind(p_.shell.ExpandEnvironment(folder) + kHelpFile);
    if (!folder.empty()) p_.files.SetCurrentDirectory(folder);
}

void TStartDlg::BuildMenu() {
    const std::vector<MainMenuItem>& items = MainMenuItems();
    HMENU bar = CreateMenu();
    HMENU current = nullptr;
    std::vector<ACCEL> keys;
    for (size_t index = 0; index < items.size(); ++index) {
        const MainMenuItem& item = items[index];
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA | MIIM_ID | MIIM_TYPE;
        info.dwItemData = index;
        std::string caption = item.caption ? item.caption : "";
        if (item.shortcutText && *item.shortcutText) caption += std::string("\t") + item.shortcutText;
        if (item.kind == MenuItemKind::TopLevel) {
            current = CreatePopupMenu();
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = current;
            info.fType = MFT_STRING;
            info.dwTypeData = &caption[0];
            InsertMenuItemA(bar, static_cast<UINT>(GetMenuItemCount(bar)), TRUE, &info);
            continue;
        }
        if (!current) continue;
        if (item.kind == MenuItemKind::Separator) {
            info.fType = MFT_SEPARATOR;
        } else {
            info.fType = MFT_STRING;
            info.wID = static_cast<UINT>(CommandId(item.command));
            info.dwTypeData = &caption[0];
        }
        InsertMenuItemA(current, static_cast<UINT>(GetMenuItemCount(current)), TRUE, &info);
        if (item.kind == MenuItemKind::Entry && item.shortcutKey) {
            ACCEL key = {};
            key.fVirt = FVIRTKEY;
            key.key = static_cast<WORD>(item.shortcutKey);
            key.cmd = static_cast<WORD>(CommandId(item.command));
            keys.push_back(key);
        }
    }
    SetMenu(hwnd_, bar);
    if (!keys.empty()) accelerators_ = CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
}

void TStartDlg::OnCommand(int id) {
    switch (id) {
        case IDC_CREATE_BUTTON:
            model_.SaveBtnClick(BackupSender::CreateButton);
            return;
        case IDC_UPDATE_BUTTON:
            model_.SaveBtnClick(BackupSender::UpdateButton);
            return;
        case IDC_RESTORE_BUTTON:
        case IDCANCEL:  // Escape does not close the main window
            return;
        default:
            break;
    }
    if (id > IDM_COMMAND_BASE && id <= IDM_COMMAND_BASE + static_cast<int>(MenuCommand::About)) {
        model_.ExecuteMenuCommand(static_cast<MenuCommand>(id - IDM_COMMAND_BASE));
    }
}

INT_PTR TStartDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            win32::SetMainWindow(hwnd_);
            OnInit();
            return FALSE;  // the window is shown later; no focus yet
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_HELP:
            model_.ExecuteMenuCommand(MenuCommand::Help);
            return TRUE;
        case WM_SIZE:
            if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) ShowWindowsHiddenWithThis();
            return FALSE;
        case WM_CLOSE:
            DestroyWindow(hwnd_);
            return TRUE;
        case WM_DESTROY:
            win32::SetMainWindow(nullptr);
            HelpSystem::CloseAll();
            PostQuitMessage(model_.ExitCode);
            return TRUE;
        default:
            return FALSE;
    }
}

namespace {

struct HiddenWithOwner {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectHiddenWithOwner(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<HiddenWithOwner*>(param);
    if (GetWindow(window, GW_OWNER) == search->owner && GetPropA(window, kHiddenWithOwner))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

// The wizard hides itself when it minimizes the program; it comes back with this window.
void TStartDlg::ShowWindowsHiddenWithThis() {
    HiddenWithOwner search{hwnd_, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectHiddenWithOwner, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        RemovePropA(window, kHiddenWithOwner);
        ShowWindow(window, SW_SHOW);
    }
}

void TStartDlg::HideMainWindow() { ShowWindow(hwnd_, SW_HIDE); }

void TStartDlg::ShowMainWindow() {
    if (!hwnd_) return;
    ApplySpecialEditionLayout(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void TStartDlg::CloseMainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

WizardResult TStartDlg::RunWizardModally(int backupKind) {
    return runWizard_(hwnd_, p_, backupKind, model_.AutoRun, model_.ParamFilePath);
}

void TStartDlg::RunViewerModally() { RunViewerDialog(hwnd_, p_, model_.ViewerFilePath); }

void TStartDlg::RunTransferModally() { RunTransferDialog(hwnd_, p_); }

void TStartDlg::RunPreferencesModally(PrefTab tab) { RunPreferencesDialog(hwnd_, p_, tab); }

bool TStartDlg::RunPrinterSetup() {
    PRINTDLGA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd_;
    dialog.hDevMode = printerDevMode_;
    dialog.hDevNames = printerDevNames_;
    // Without a printer the system would warn first; the program has its own message for that.
    dialog.Flags = PD_PRINTSETUP | PD_NOWARNING;
    BOOL ok = PrintDlgA(&dialog);
    // The dialog may have replaced the memory it was given; keep what it returns.
    printerDevMode_ = dialog.hDevMode;
    printerDevNames_ = dialog.hDevNames;
    return ok || CommDlgExtendedError() == 0;  // cancelled is not a failure
}

void TStartDlg::RunOutlookExpressSettingsModally() { RunOutlookExpressOptionsDialog(hwnd_); }

void TStartDlg::RunSystemSettingsModally() { RunSystemSettingsDialog(hwnd_, p_); }

void TStartDlg::RunAboutModally() { RunAboutDialog(hwnd_, p_); }

NoticeAnswer TStartDlg::RunNoticeDialog(const std::string& text) {
    return ui::RunNoticeDialog(hwnd_, text);
}

void TStartDlg::ShowHelpTopic(int topic) { HelpSystem::ShowTopic(hwnd_, topic); }

}  // namespace bv::ui
