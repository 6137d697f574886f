// bvhook.dll: loaded by bvdrive into the program under test to read a window's menu.
// Wine keeps menus per process (GetMenuItemCount on another process's menu fails), so
// the menu is read by a thread inside the owning process.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Shared with tools/e2e/driver.cpp: the request that bvdrive writes into the target.
struct MenuRequest {
    HWND window;
    unsigned used;
    char text[60000];
};

void Append(MenuRequest* r, const char* line) {
    size_t n = strlen(line);
    if (r->used + n + 1 >= sizeof r->text) return;
    memcpy(r->text + r->used, line, n);
    r->used += static_cast<unsigned>(n);
    r->text[r->used++] = '\n';
    r->text[r->used] = '\0';
}

// One line per entry: path, id, state and 1 for a submenu, separated by 0x01 (texts hold tabs).
void Walk(MenuRequest* r, HMENU menu, const char* prefix) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        if (!(info.fType & MFT_SEPARATOR)) GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        else strcpy(text, "-");
        char path[1024];
        snprintf(path, sizeof path, "%s%s", prefix, text);
        char line[1200];
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & 0xFF;
        snprintf(line, sizeof line, "%s\x01%u\x01%u\x01%d", path, GetMenuItemID(menu, i), state,
                 info.hSubMenu ? 1 : 0);
        Append(r, line);
        if (info.hSubMenu) {
            strncat(path, ">", sizeof path - strlen(path) - 1);
            Walk(r, info.hSubMenu, path);
        }
    }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI BvDumpMenu(LPVOID param) {
    MenuRequest* r = static_cast<MenuRequest*>(param);
    r->used = 0;
    r->text[0] = '\0';
    HMENU menu = GetMenu(r->window);
    if (!menu) return 2;
    Walk(r, menu, "");
    return 1;
}

namespace {

// The space a control gives its text, in its client coordinates; false for controls whose
// text is no caption (pictures, owner-drawn ones) or that shorten it on purpose.
bool TextBox(HWND control, RECT& box, UINT& format) {
    char cls[64] = {};
    GetClassNameA(control, cls, sizeof cls);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    GetClientRect(control, &box);
    format = DT_CALCRECT;
    if (lstrcmpiA(cls, "Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS)) return false;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
            format |= DT_WORDBREAK;
        } else if (type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE) {
            return false;
        }
        if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
        return true;
    }
    if (lstrcmpiA(cls, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        const int edge = GetSystemMetrics(SM_CXEDGE);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            InflateRect(&box, -2 * edge, -2 * edge);
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
            box.left += GetSystemMetrics(SM_CXMENUCHECK) + 2 * edge;
        } else if (type == BS_GROUPBOX) {
            box.left += 4 * edge;
            box.right -= 4 * edge;
        } else {
            return false;
        }
        if (style & BS_MULTILINE) format |= DT_WORDBREAK;
        return true;
    }
    return false;
}

struct ClipSearch {
    MenuRequest* request;
    int clipped;
};

// A visible control that reaches out of its parent's client area is cut off by it.
bool OutsideParent(HWND control, MenuRequest* request) {
    HWND parent = GetParent(control);
    if (!parent) return false;
    // Separator lines span the whole width on purpose; a pixel more or less is no loss.
    char kind[16] = {};
    GetClassNameA(control, kind, sizeof kind);
    const LONG type = GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK;
    if (lstrcmpiA(kind, "Static") == 0 && (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT)) return false;
    RECT own, area;
    GetWindowRect(control, &own);
    GetClientRect(parent, &area);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    if (own.left >= area.left - 1 && own.top >= area.top - 1 && own.right <= area.right + 1 &&
        own.bottom <= area.bottom + 1) {
        return false;
    }
    char text[256] = {}, cls[64] = {}, line[512];
    GetWindowTextA(control, text, sizeof text);
    GetClassNameA(control, cls, sizeof cls);
    for (char* c = text; *c; ++c)
        if (*c == '\r' || *c == '\n') *c = ' ';
    snprintf(line, sizeof line, "id=%d %s reaches %ld,%ld-%ld,%ld out of its window %ld,%ld-%ld,%ld text=%s",
             GetDlgCtrlID(control) & 0xFFFF, cls, own.left - area.left, own.top - area.top, own.right - area.left,
             own.bottom - area.top, 0L, 0L, area.right - area.left, area.bottom - area.top, text);
    Append(request, line);
    return true;
}

BOOL CALLBACK CheckOne(HWND control, LPARAM search) {
    auto* s = reinterpret_cast<ClipSearch*>(search);
    if (!IsWindowVisible(control)) return TRUE;
    if (OutsideParent(control, s->request)) ++s->clipped;
    char text[2048] = {};
    if (GetWindowTextA(control, text, sizeof text) <= 0) return TRUE;
    RECT box;
    UINT format;
    if (!TextBox(control, box, format)) return TRUE;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, box.right - box.left, 0};
    DrawTextA(dc, text, -1, &needed, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    // One pixel of slack for rounding in the fonts' metrics.
    if (needed.right - needed.left <= box.right - box.left + 1 && needed.bottom - needed.top <= box.bottom - box.top + 1)
        return TRUE;
    ++s->clipped;
    char line[2300];
    for (char* c = text; *c; ++c)
        if (*c == '\r' || *c == '\n') *c = ' ';
    snprintf(line, sizeof line, "id=%d needs %ldx%ld has %ldx%ld text=%s", GetDlgCtrlID(control) & 0xFFFF,
             needed.right - needed.left, needed.bottom - needed.top, box.right - box.left, box.bottom - box.top, text);
    Append(s->request, line);
    return TRUE;
}

}  // namespace

// Every visible caption of the window that does not fit its control, a line each; the
// result is the number of such controls + 1 (1: none).
extern "C" __declspec(dllexport) DWORD WINAPI BvCheckClipping(LPVOID param) {
    MenuRequest* r = static_cast<MenuRequest*>(param);
    r->used = 0;
    r->text[0] = '\0';
    ClipSearch search{r, 0};
    EnumChildWindows(r->window, CheckOne, reinterpret_cast<LPARAM>(&search));
    return static_cast<DWORD>(search.clipped + 1);
}
