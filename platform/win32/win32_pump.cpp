// The message pump that long operations call between their steps.
#include "platform/pump.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

namespace bv {
namespace {

// Runs the window messages that are waiting and returns; keyboard navigation of a
// dialog that is the active window keeps working meanwhile.
class Win32Pump : public Pump {
public:
    void ProcessMessages() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Belongs to the main loop: leave it for that loop to see.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            HWND active = GetActiveWindow();
            if (active && IsDialog(active) && IsDialogMessageA(active, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

private:
    static bool IsDialog(HWND window) {
        return GetClassLongPtrA(window, GCW_ATOM) == 32770;  // WC_DIALOG
    }
};

}  // namespace

std::unique_ptr<Pump> CreateWin32Pump() { return std::make_unique<Win32Pump>(); }

}  // namespace bv
