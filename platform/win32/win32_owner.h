// The window that owns the program's message boxes, dialogs and shell calls. The active
// window alone is not enough: when the program is in the background, or a wizard has just
// closed, there is none, and an ownerless box can hide behind the program's windows.
#pragma once
#include "platform/win32/win32_api.h"

namespace bv::win32 {

// The program's main window (nullptr again when it goes away); the application window
// stands in before there is one.
void SetMainWindow(HWND window);
void SetApplicationWindow(HWND window);
HWND MainWindow();

// The active window of this thread; else the main window's last active popup (a wizard
// running in the background); else the main window; else the application window.
HWND OwnerWindow();

}  // namespace bv::win32
