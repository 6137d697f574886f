// Entry point of brevisto.exe: the Win32 platform, the main window and the one message
// loop of the program. No exception leaves WinMain.
#include <exception>
#include <memory>
#include <string>

#include "brevisto/shell/command_line.h"
#include "brevisto/shell/product.h"
#include "brevisto/shell/ui/start_dlg.h"
#include "brevisto/wizard/ui/wizard_dlg.h"
#include "common/msg_box.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_owner.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

namespace {

// The hidden application window carries the application title, as the task list of older
// Windows versions shows it for the program.
HWND CreateApplicationWindow(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.lpszClassName = "TApplication";
    if (!RegisterClassA(&windowClass)) return nullptr;
    return CreateWindowExA(0, "TApplication", bv::kApplicationTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0,
                           nullptr, nullptr, instance, nullptr);
}

int RunMessageLoop(bv::ui::TStartDlg& mainWindow) {
    MSG message;
    BOOL result;
    while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) return 1;
        try {
            if (mainWindow.PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } catch (const std::exception& error) {
            bv::ui::ShowUnexpectedError(nullptr, error.what());
        }
    }
    return static_cast<int>(message.wParam);
}

// Shown when nothing else caught an error; the program then ends cleanly.
void ShowFatalError(bv::Prompter* prompter, const std::string& what) {
    std::string text = "Es ist ein unerwarteter Fehler aufgetreten:\r\n\r\n" + what +
                       "\r\n\r\nDas Programm wird beendet.";
    if (prompter) {
        bv::ShowMsgBox(*prompter, text, bv::kMessageCaption, bv::mkError, bv::bsOk);
    } else {
        MessageBoxA(nullptr, text.c_str(), bv::kMessageCaption, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::unique_ptr<bv::Win32Platform> platform;
    try {
        // Tab, up-down, trackbar, progress bar, list view and tooltips.
        // InitCommonControlsEx came with Internet Explorer 3; the first Windows 95 lacks it.
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                              ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        static const auto initEx = GET_WINDOWS_FUNCTION("comctl32.dll", InitCommonControlsEx);
        InitCommonControls();
        if (initEx) initEx(&controls);
        platform = bv::CreateWin32Platform(bv::kApplicationTitle);
        HWND application = CreateApplicationWindow(instance);
        bv::win32::SetApplicationWindow(application);
        bv::ui::TStartDlg mainWindow(platform->platform(), bv::ui::RunWizardDialog);
        if (!mainWindow.Create()) return 1;
        mainWindow.Start(bv::SplitCommandLine(GetCommandLineA()));
        int code = RunMessageLoop(mainWindow);
        bv::win32::SetApplicationWindow(nullptr);
        if (application) DestroyWindow(application);
        return code;
    } catch (const std::exception& error) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, error.what());
    } catch (...) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, "Unbekannter Fehler");
    }
    return 1;
}
