// fake_oe: stands in for a running Outlook Express in the end-to-end tests. It opens a
// window of the class that Outlook Express's main window has and, on request, a window
// captioned exactly "Outlook Express" as its prompts are.
//
//   fake_oe [--close accept|refuse|hang:MS] [--prompt none|closes-on-n|stays]
//           [--log C:\path\file.txt]
//
//   --close accept   WM_CLOSE ends the program (the default)
//   --close refuse   WM_CLOSE is answered at once but the window stays
//   --close hang:MS  WM_CLOSE blocks the window for MS milliseconds, then the window stays
//   --prompt ...     the prompt window, which runs on its own thread so that it answers
//                    while the main window hangs; "closes-on-n" goes on the key N
//   --log FILE       one line per event: started, close, key N, prompt closed, exit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class CloseMode { kAccept, kRefuse, kHang };
enum class PromptMode { kNone, kClosesOnN, kStays };

CloseMode g_close = CloseMode::kAccept;
DWORD g_hangMs = 0;
PromptMode g_prompt = PromptMode::kNone;
std::string g_log;

void Log(const char* event) {
    if (g_log.empty()) return;
    if (FILE* f = fopen(g_log.c_str(), "a")) {
        fprintf(f, "%s\n", event);
        fclose(f);
    }
}

LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            Log("close");
            if (g_close == CloseMode::kAccept) {
                DestroyWindow(window);
            } else if (g_close == CloseMode::kHang) {
                Sleep(g_hangMs);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK PromptProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == 0x4E) {
                Log("key N");
                if (g_prompt == PromptMode::kClosesOnN) DestroyWindow(window);
            }
            return 0;
        case WM_CLOSE:
            return 0;  // a prompt only goes by its answer
        case WM_DESTROY:
            Log("prompt closed");
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND Create(const char* cls, const char* title, WNDPROC proc, int x, int y, int w, int h) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    return window;
}

void Loop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

DWORD WINAPI PromptThread(LPVOID) {
    Create("FakeOEPrompt", "Outlook Express", &PromptProc, 300, 300, 320, 140);
    Loop();
    return 0;
}

int Usage() {
    MessageBoxA(nullptr,
                "fake_oe [--close accept|refuse|hang:MS] [--prompt none|closes-on-n|stays] [--log FILE]",
                "fake_oe", MB_OK);
    return 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    for (int i = 1; i < __argc; ++i) {
        std::string arg = __argv[i];
        bool hasValue = i + 1 < __argc;
        if (arg == "--close" && hasValue) {
            std::string v = __argv[++i];
            if (v == "accept") g_close = CloseMode::kAccept;
            else if (v == "refuse") g_close = CloseMode::kRefuse;
            else if (v.rfind("hang:", 0) == 0) g_close = CloseMode::kHang, g_hangMs = strtoul(v.c_str() + 5, nullptr, 10);
            else return Usage();
        } else if (arg == "--prompt" && hasValue) {
            std::string v = __argv[++i];
            if (v == "none") g_prompt = PromptMode::kNone;
            else if (v == "closes-on-n") g_prompt = PromptMode::kClosesOnN;
            else if (v == "stays") g_prompt = PromptMode::kStays;
            else return Usage();
        } else if (arg == "--log" && hasValue) {
            g_log = __argv[++i];
        } else {
            return Usage();
        }
    }
    if (!Create("Outlook Express Browser Class", "Posteingang - Outlook Express", &BrowserProc, 60, 60, 500, 360))
        return 1;
    if (g_prompt != PromptMode::kNone) CloseHandle(CreateThread(nullptr, 0, &PromptThread, nullptr, 0, nullptr));
    Log("started");
    Loop();
    Log("exit");
    return 0;
}
