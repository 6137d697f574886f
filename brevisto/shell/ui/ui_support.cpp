#include "brevisto/shell/ui/ui_support.h"

#include <exception>
#include <vector>

#include "brevisto/shell/product.h"
#include "platform/win32/win32_functions.h"
#include "resources/brevisto_ids.h"

namespace bv::ui {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

std::string WindowText(HWND window) {
    if (!window) return std::string();
    int length = GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 2);
    int n = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ShowItem(HWND dialog, int id, bool visible) {
    if (HWND item = GetDlgItem(dialog, id)) ShowWindow(item, visible ? SW_SHOW : SW_HIDE);
}

void EnableItem(HWND dialog, int id, bool enabled) {
    if (HWND item = GetDlgItem(dialog, id)) EnableWindow(item, enabled);
}

HFONT BoldFont(int pointSize) {
    static HFONT fonts[32] = {};
    if (pointSize < 1 || pointSize > 31) pointSize = 8;
    if (!fonts[pointSize]) {
        HDC screen = GetDC(nullptr);
        int height = -MulDiv(pointSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        fonts[pointSize] = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_SWISS, "Tahoma");
    }
    return fonts[pointSize];
}

void MakeBold(HWND dialog, int id, int pointSize) {
    if (HWND item = GetDlgItem(dialog, id)) SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont(pointSize)), TRUE);
}

bool RunBusy(bool& busy, const std::function<void()>& action, const std::function<void()>& showState) {
    if (busy) return false;
    busy = true;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    try {
        action();
    } catch (...) {
        busy = false;
        SetCursor(previous);
        showState();
        throw;
    }
    showState();
    busy = false;
    SetCursor(previous);
    return true;
}

int ScreenDensity() {
    HDC screen = GetDC(nullptr);
    const int density = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return density > 0 ? density : 96;
}

int ScaleToScreen(int pixels) { return MulDiv(pixels, ScreenDensity(), 96); }

HBITMAP ScalePicture(HWND dialog, int id) {
    if (ScreenDensity() == 96) return nullptr;
    HWND control = GetDlgItem(dialog, id);
    HBITMAP source = reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info;
    if (!source || !GetObjectA(source, sizeof info, &info)) return nullptr;
    const int width = ScaleToScreen(info.bmWidth);
    const int height = ScaleToScreen(info.bmHeight);
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    if (scaled && from && to) {
        HGDIOBJ oldFrom = SelectObject(from, source);
        HGDIOBJ oldTo = SelectObject(to, scaled);
        // The pictures hold gradients and lines, no text: smoothing keeps them clean.
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (!scaled) return nullptr;
    // The control deletes the picture it loaded from the template; a replaced one is ours.
    HBITMAP previous = reinterpret_cast<HBITMAP>(
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled)));
    if (previous && previous != source) DeleteObject(previous);
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return scaled;
}

RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

INT_PTR EraseWithWhiteBand(HWND dialog, HDC dc, int top, int bottom) {
    RECT client;
    GetClientRect(dialog, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT band = {0, top, client.right, bottom};
    FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
    return TRUE;
}

INT_PTR WhiteStatic(HDC dc) {
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

INT_PTR ColoredStatic(HDC dc, COLORREF color) {
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

void AddHint(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return;
    // One tooltip window per dialog, kept in a window property.
    HWND tip = static_cast<HWND>(GetPropA(dialog, "BrevistoHints"));
    if (!tip) {
        tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                              Instance(), nullptr);
        if (!tip) return;
        SetPropA(dialog, "BrevistoHints", tip);
    }
    TOOLINFOA info = {};
    // The size of the common controls 5 structure: XP's version 6 accepts it too.
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = dialog;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void SetClientSize(HWND window, int width, int height) {
    RECT rect = {0, 0, width, height};
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
    AdjustWindowRectEx(&rect, style, GetMenu(window) != nullptr, exStyle);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps changes the client height; correct once.
    RECT client;
    GetClientRect(window, &client);
    if (client.bottom != height) {
        RECT outer;
        GetWindowRect(window, &outer);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + height - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CenterOnScreen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work.left = work.top = 0;
        work.right = GetSystemMetrics(SM_CXSCREEN);
        work.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HIMAGELIST StatusImages() {
    static HIMAGELIST images = nullptr;
    if (!images) {
        images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 10, 0);
        HBITMAP strip = static_cast<HBITMAP>(
            LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_STATUS), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (images && strip) ImageList_AddMasked(images, strip, RGB(255, 0, 255));
        if (strip) DeleteObject(strip);
    }
    return images;
}

void ShowUnexpectedError(HWND owner, const char* what) {
    std::string text = std::string("Es ist ein unerwarteter Fehler aufgetreten:\r\n\r\n") + (what ? what : "") +
                       "\r\n\r\nDer Vorgang wurde abgebrochen.";
    MessageBoxA(owner, text.c_str(), "Brevisto", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

INT_PTR Dialog::RunModal(HWND owner, int templateId) {
    return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(templateId), owner, &Dialog::Procedure,
                           reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HWND owner, int templateId) {
    return CreateDialogParamA(Instance(), MAKEINTRESOURCEA(templateId), owner, &Dialog::Procedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        if (self) self->hwnd_ = window;
    }
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        INT_PTR result = FALSE;
        try {
            result = self->HandleMessage(message, wParam, lParam);
        } catch (...) {
        }
        if (HWND tip = static_cast<HWND>(RemovePropA(window, "BrevistoHints"))) DestroyWindow(tip);
        self->hwnd_ = nullptr;
        SetWindowLongPtrA(window, DWLP_USER, 0);
        return result;
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        ShowUnexpectedError(window, error.what());
    } catch (...) {
        ShowUnexpectedError(window, "Unbekannter Fehler");
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// ---- Help ------------------------------------------------------------------------------

namespace {

std::string g_helpFile;
bool g_helpUsed = false;

// HH_DISPLAY_TOPIC and HH_CLOSE_ALL of htmlhelp.h.
constexpr UINT kDisplayTopic = 0x0000;
constexpr UINT kCloseAll = 0x0012;
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HtmlHelpFunction HtmlHelpEntry() {
    static HtmlHelpFunction entry = win32::WindowsFunction<HtmlHelpFunction>("hhctrl.ocx", "HtmlHelpA");
    return entry;
}

}  // namespace

void HelpSystem::Bind(const std::string& helpFile) { g_helpFile = helpFile; }

void HelpSystem::ShowTopic(HWND owner, int topic) {
    DWORD attributes = GetFileAttributesA(g_helpFile.c_str());
    HtmlHelpFunction help = HtmlHelpEntry();
    if (g_helpFile.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || !help) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    // The page table lives in the program: context ids of compiled help files are unreliable.
    std::string page = HelpPageForTopic(topic);
    std::string target = g_helpFile;
    if (!page.empty()) target += "::/" + page;
    g_helpUsed = true;
    if (!help(owner, target.c_str(), kDisplayTopic, 0)) help(owner, g_helpFile.c_str(), kDisplayTopic, 0);
}

void HelpSystem::CloseAll() {
    if (!g_helpUsed) return;
    if (HtmlHelpFunction help = HtmlHelpEntry()) help(nullptr, nullptr, kCloseAll, 0);
}

}  // namespace bv::ui
