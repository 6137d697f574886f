#include "platform/win32/win32_print.h"

#include <commdlg.h>
#include <richedit.h>

#include "platform/win32/win32_functions.h"

namespace bv::win32 {

HDC DefaultPrinterDc() {
    // PrintDlg's own lookup of the default printer works on every version from Windows 95 on.
    PRINTDLGA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgA(&dialog)) return nullptr;
    if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
    return dialog.hDC;
}

namespace {

// Rich Edit 2.0 where it is installed, else 1.0 (Windows 95 before Internet Explorer 4);
// both page through EM_FORMATRANGE. The library stays loaded: unloading it would
// unregister the class.
HWND CreateRichEdit() {
    static const bool v2 = LoadSystemLibrary("riched20.dll") != nullptr;
    static const bool v1 = !v2 && LoadSystemLibrary("riched32.dll") != nullptr;
    if (!v2 && !v1) return nullptr;
    return CreateWindowExA(0, v2 ? "RichEdit20A" : "RICHEDIT", "", WS_POPUP | ES_MULTILINE, 0, 0, 0, 0,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

TextLayout::TextLayout(const std::vector<std::string>& lines) : control_(CreateRichEdit()) {
    if (!control_) return;
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    SendMessageA(control_, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    if (!SendMessageA(control_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) return;
    // A fixed-pitch face keeps the report's columns; the control would else pick its own.
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
    format.yHeight = 10 * 20;
    format.bCharSet = ANSI_CHARSET;
    lstrcpynA(format.szFaceName, "Courier New", LF_FACESIZE);
    SendMessageA(control_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    ok_ = true;
}

TextLayout::~TextLayout() {
    if (!control_) return;
    // Frees what the control cached about the device.
    if (formatted_) SendMessageA(control_, EM_FORMATRANGE, FALSE, 0);
    DestroyWindow(control_);
}

long TextLayout::Length() const {
    if (!control_) return 0;
    GETTEXTLENGTHEX query = {GTL_DEFAULT, CP_ACP};
    LRESULT n = SendMessageA(control_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    // Rich Edit 1.0 does not know the message; its WM_GETTEXTLENGTH counts the same way.
    if (n <= 0) n = SendMessageA(control_, WM_GETTEXTLENGTH, 0, 0);
    return static_cast<long>(n);
}

long TextLayout::FormatPage(HDC dc, const PrintLayout& layout, long from, bool render) {
    if (!control_) return from;
    FORMATRANGE range = {};
    range.hdc = dc;
    range.hdcTarget = dc;
    range.rcPage = RECT{layout.page.left, layout.page.top, layout.page.right, layout.page.bottom};
    range.rc = RECT{layout.text.left, layout.text.top, layout.text.right, layout.text.bottom};
    range.chrg.cpMin = from;
    range.chrg.cpMax = -1;
    formatted_ = true;
    return static_cast<long>(
        SendMessageA(control_, EM_FORMATRANGE, render ? TRUE : FALSE, reinterpret_cast<LPARAM>(&range)));
}

bool PrintLines(HDC printer, const std::vector<std::string>& lines, const std::string& jobTitle) {
    // The page as the printer can print it: the device's origin is the printable area's corner.
    PrintLayout layout;
    if (!OneInchMarginLayout(GetDeviceCaps(printer, LOGPIXELSX), GetDeviceCaps(printer, LOGPIXELSY),
                             GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES), layout))
        return false;
    TextLayout text(lines);
    if (!text.ok()) return false;

    DOCINFOA document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = jobTitle.c_str();
    if (StartDocA(printer, &document) <= 0) return false;
    const long length = text.Length();
    long next = 0;
    do {
        if (StartPage(printer) <= 0) {
            AbortDoc(printer);
            return false;
        }
        long after = text.FormatPage(printer, layout, next, true);
        if (EndPage(printer) <= 0) {
            AbortDoc(printer);
            return false;
        }
        // A control that makes no progress would print empty pages for ever.
        if (after <= next) break;
        next = after;
    } while (next < length);
    return EndDoc(printer) > 0;
}

}  // namespace bv::win32
