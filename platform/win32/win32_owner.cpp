#include "platform/win32/win32_owner.h"

namespace bv::win32 {
namespace {

HWND g_main = nullptr;
HWND g_application = nullptr;

HWND Alive(HWND window) { return window && IsWindow(window) ? window : nullptr; }

}  // namespace

void SetMainWindow(HWND window) { g_main = window; }
void SetApplicationWindow(HWND window) { g_application = window; }

HWND MainWindow() {
    if (HWND main = Alive(g_main)) return main;
    return Alive(g_application);
}

HWND OwnerWindow() {
    if (HWND active = GetActiveWindow()) return active;
    if (HWND main = Alive(g_main)) {
        HWND popup = GetLastActivePopup(main);
        return popup && IsWindowVisible(popup) && IsWindowEnabled(popup) ? popup : main;
    }
    return Alive(g_application);
}

}  // namespace bv::win32
