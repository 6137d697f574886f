// Entry point of brevisto.exe: the Win32 platform, the main window and the one
// message loop of the program. No exception leaves WinMain.
#include <exception>
#include <memory>
#include <string>

#include "common/msg_box.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

namespace {

const char kMainWindowClass[] = "TStartDlg";
const char kMainWindowTitle[] = "Brevisto - Spezialversion - V4.80";
const char kApplicationTitle[] = "Brevisto";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateMainWindow(HINSTANCE instance, int show) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&windowClass)) return nullptr;
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (window) {
        ShowWindow(window, show);
        UpdateWindow(window);
    }
    return window;
}

int RunMessageLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) return 1;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

// Shown when nothing else caught an error; the program then ends cleanly.
void ShowFatalError(bv::Prompter* prompter, const std::string& what) {
    std::string text = "Es ist ein unerwarteter Fehler aufgetreten:\r\n\r\n" + what +
                       "\r\n\r\nDas Programm wird beendet.";
    if (prompter) {
        bv::ShowMsgBox(*prompter, text, kApplicationTitle, bv::mkError, bv::bsOk);
    } else {
        MessageBoxA(nullptr, text.c_str(), kApplicationTitle, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    std::unique_ptr<bv::Win32Platform> platform;
    try {
        InitCommonControls();
        platform = bv::CreateWin32Platform(kApplicationTitle);
        if (!CreateMainWindow(instance, show)) return 1;
        return RunMessageLoop();
    } catch (const std::exception& error) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, error.what());
    } catch (...) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, "Unbekannter Fehler");
    }
    return 1;
}
