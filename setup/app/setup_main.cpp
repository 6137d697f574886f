// Entry point of SETUP.EXE. Started under that name it installs; a copy under
// another name, started with arguments, uninstalls; otherwise it ends at once.
// No exception leaves WinMain.
#include <exception>
#include <memory>
#include <string>

#include "common/msg_box.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

namespace {

const char kSetupWindowClass[] = "TSetupDlg";
const char kSetupTitle[] = "Setup";

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The program's own file name in upper case ("SETUP.EXE" when started as installer).
std::string ProgramName() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// True if the command line holds an argument after the program's own name.
bool HasArguments() {
    const char* line = GetCommandLineA();
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"') quoted = !quoted;
        ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return *line != '\0';
}

HWND CreateSetupWindow(HINSTANCE instance, int show) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &SetupWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kSetupWindowClass;
    if (!RegisterClassA(&windowClass)) return nullptr;
    // A dialog border without title-bar buttons, centred on the screen.
    const int width = 500;
    const int height = 380;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, kSetupWindowClass, kSetupTitle,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, width, height, nullptr,
                                  nullptr, instance, nullptr);
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

void ShowFatalError(bv::Prompter* prompter, const std::string& what) {
    std::string text = "Es ist ein unerwarteter Fehler aufgetreten:\r\n\r\n" + what +
                       "\r\n\r\nSetup wird beendet.";
    if (prompter) {
        bv::ShowMsgBox(*prompter, text, "", bv::mkError, bv::bsOk);
    } else {
        MessageBoxA(nullptr, text.c_str(), "Fehler", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    std::unique_ptr<bv::Win32Platform> platform;
    try {
        bool installer = ProgramName() == "SETUP.EXE";
        if (!installer && !HasArguments()) return 0;
        InitCommonControls();
        platform = bv::CreateWin32Platform(kSetupTitle);
        if (!CreateSetupWindow(instance, show)) return 1;
        return RunMessageLoop();
    } catch (const std::exception& error) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, error.what());
    } catch (...) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, "Unbekannter Fehler");
    }
    return 1;
}
