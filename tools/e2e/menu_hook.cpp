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
