#include "setup/ui/setup_window_support.h"

#include "resources/setup_ids.h"

namespace bv {

HFONT CreateBoldFont(HWND window) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    LOGFONTA log = {};
    if (!font || !GetObjectA(font, sizeof log, &log)) return nullptr;
    log.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&log);
}

void PaintHeader(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    RECT line = {};
    HWND separator = GetDlgItem(dialog, IDC_HEADER_LINE);
    RECT client;
    GetClientRect(dialog, &client);
    if (separator) {
        GetWindowRect(separator, &line);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&line), 2);
    }
    RECT header = {0, 0, client.right, line.top};
    FillRect(dc, &header, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(dialog, &paint);
}

bool HeaderControlColour(HWND control, HDC dc, INT_PTR& brush) {
    const int id = GetDlgCtrlID(control);
    if (id != IDC_HEADER_TITLE && id != IDC_HEADER_INFO && id != IDC_HEADER_ICON) return false;
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    brush = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    return true;
}

}  // namespace bv
