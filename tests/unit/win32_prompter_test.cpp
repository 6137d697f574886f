// The Win32 message boxes, folder browsers and message pump, driven from a second
// thread as a user would (Windows build only; under Wine on a virtual X server).
#ifdef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct FoundDialog {
    HWND window = nullptr;
};

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0) {
        reinterpret_cast<FoundDialog*>(param)->window = window;
        return FALSE;
    }
    return TRUE;
}

// Waits on its own thread for a dialog of this process, lets `act` look at it and
// answer it. Runs while the test thread sits in the dialog's modal loop.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(HWND)> act) : act_(std::move(act)) {
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~DialogDriver() { Join(); }
    void Join() {
        if (thread_) {
            WaitForSingleObject(thread_, 60000);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
    }
    bool found() const { return found_; }

private:
    static DWORD WINAPI Run(LPVOID self) {
        auto* driver = static_cast<DialogDriver*>(self);
        for (int i = 0; i < 300; ++i) {  // up to 30 s
            FoundDialog dialog;
            EnumWindows(&FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
            if (dialog.window) {
                Sleep(300);  // let the dialog finish its initialisation
                driver->found_ = true;
                driver->act_(dialog.window);
                return 0;
            }
            Sleep(100);
        }
        return 0;
    }
    std::function<void(HWND)> act_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> found_{false};
};

void Press(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool HaveDisplay() {
    HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (desktop) CloseDesktop(desktop);
    return GetSystemMetrics(SM_CXSCREEN) > 0;
}

TEST(Win32Prompter, MessageBoxShowsTextCaptionAndReturnsThePressedButton) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto prompter = CreateWin32Prompter("Brevisto");
    std::string caption, text;
    DialogDriver driver([&](HWND dialog) {
        caption = WindowText(dialog);
        text = WindowText(GetDlgItem(dialog, 0xFFFF));
        Press(dialog, IDNO);
    });
    int result = prompter->MessageBox("Zeile eins\r\nZeile zwei: Größe", "Bestätigung",
                                      MsgStyle::YesNo | MsgStyle::IconQuestion | MsgStyle::SetForeground);
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ(MsgResult::No, result);
    EXPECT_EQ("Bestätigung", caption);
    EXPECT_NE(std::string::npos, text.find("Zeile zwei: Größe")) << text;
}

TEST(Win32Prompter, PlainMessageUsesTheApplicationTitle) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto prompter = CreateWin32Prompter("Brevisto");
    std::string caption, text;
    bool hasCancel = true;
    DialogDriver driver([&](HWND dialog) {
        caption = WindowText(dialog);
        text = WindowText(GetDlgItem(dialog, 0xFFFF));
        hasCancel = GetDlgItem(dialog, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(dialog, IDCANCEL));
        Press(dialog, IDOK);
    });
    prompter->PlainMessage("Unbekanntes Betriebssystem! Major: 7, Minor: 0");
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ("Brevisto", caption);
    EXPECT_EQ("Unbekanntes Betriebssystem! Major: 7, Minor: 0", text);
    EXPECT_FALSE(hasCancel);
}

TEST(Win32Prompter, TimedMessageBoxClosesItselfWithItsTimeOutAnswer) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto prompter = CreateWin32Prompter("Brevisto");
    // Nobody answers: the box goes away after its time with the answer given for that.
    const DWORD started = GetTickCount();
    const int result = prompter->TimedMessageBox("Soll der Vorgang abgebrochen werden?", "Abbruch des Backups",
                                                 MsgStyle::YesNo, 400, MsgResult::No);
    EXPECT_EQ(MsgResult::No, result);
    EXPECT_GE(GetTickCount() - started, 350u);
    FoundDialog left;
    EnumWindows(&FindOwnDialog, reinterpret_cast<LPARAM>(&left));
    EXPECT_EQ(nullptr, left.window);

    // Answered in time: the user's answer counts.
    DialogDriver driver([](HWND dialog) { Press(dialog, IDYES); });
    const int answered = prompter->TimedMessageBox("Jetzt?", "Frage", MsgStyle::YesNo, 60000, MsgResult::No);
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ(MsgResult::Yes, answered);
}

// A visible window of the program, which must be disabled while a folder browser is open.
class OtherWindow {
public:
    OtherWindow() {
        window_ = CreateWindowExA(0, "STATIC", "Hauptfenster", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OtherWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_;
};

TEST(Win32Prompter, SelectFolderFromComputerStartsAtTheFolderAndShowsItsPath) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    test::TestPlatform tp;
    const std::string start = tp.TempDir() + "Sicherung";
    ASSERT_TRUE(tp.files().CreateDirectory(start));
    auto prompter = CreateWin32Prompter("Brevisto");
    OtherWindow other;
    ASSERT_TRUE(other.get());
    std::string title, status;
    bool otherEnabled = true;
    DialogDriver driver([&](HWND dialog) {
        otherEnabled = IsWindowEnabled(other.get()) != FALSE;
        title = WindowText(GetDlgItem(dialog, 0x3742));
        status = WindowText(GetDlgItem(dialog, 0x3743));
        Press(dialog, IDOK);
    });
    std::string chosen = prompter->SelectFolderFromComputer("Bitte wählen Sie den Ordner", start);
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ("Bitte wählen Sie den Ordner", title);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other.get()));
    ASSERT_FALSE(chosen.empty());  // OK returns the selection's path
    if (win32::IsWine()) {
        GTEST_SKIP() << "Wine's folder browser rooted at My Computer neither takes the initial "
                        "selection nor reports the first one to the status line";
    }
    EXPECT_EQ(0, lstrcmpiA(start.c_str(), chosen.c_str())) << chosen;
    EXPECT_EQ(0, lstrcmpiA(start.c_str(), status.c_str())) << status;
}

TEST(Win32Prompter, SelectFolderFromComputerCancelledGivesEmpty) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto prompter = CreateWin32Prompter("Brevisto");
    DialogDriver driver([&](HWND dialog) { Press(dialog, IDCANCEL); });
    std::string chosen = prompter->SelectFolderFromComputer("Ordner", "C:\\");
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ("", chosen);
}

TEST(Win32Prompter, SelectFolderSelectsTheGivenFolderAndReturnsTheChoice) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    test::TestPlatform tp;
    std::string folder = tp.TempDir() + "Ziel";
    ASSERT_TRUE(tp.files().CreateDirectory(folder));
    const std::string original = folder;
    auto prompter = CreateWin32Prompter("Brevisto");
    OtherWindow other;
    bool otherEnabled = true;
    DialogDriver driver([&](HWND dialog) {
        otherEnabled = IsWindowEnabled(other.get()) != FALSE;
        Press(dialog, IDOK);
    });
    EXPECT_TRUE(prompter->SelectFolder("Sicherungsordner", "", folder, false));
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ(0, lstrcmpiA(original.c_str(), folder.c_str())) << folder;
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other.get()));
}

TEST(Win32Prompter, SelectFolderClearsAFolderThatDoesNotExistWhenCancelled) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto prompter = CreateWin32Prompter("Brevisto");
    std::string folder = "C:\\Brevisto gibt es nicht";
    DialogDriver driver([&](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_FALSE(prompter->SelectFolder("Sicherungsordner", "C:\\", folder, true));
    driver.Join();
    ASSERT_TRUE(driver.found());
    EXPECT_EQ("", folder);

    test::TestPlatform tp;
    std::string kept = tp.TempDir();
    kept.pop_back();
    const std::string original = kept;
    DialogDriver again([&](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_FALSE(prompter->SelectFolder("Sicherungsordner", "", kept, true));
    again.Join();
    EXPECT_EQ(original, kept);
}

// The pump: a window procedure that counts what arrives.
int g_received = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        g_received += static_cast<int>(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Win32Pump, ProcessesWaitingMessagesAndLeavesQuitToTheMainLoop) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BrevistoPumpTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "BrevistoPumpTest", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window);
    auto pump = CreateWin32Pump();
    MSG stale;
    while (PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE)) {
    }
    g_received = 0;
    PostMessageA(window, WM_APP + 7, 1, 0);
    PostMessageA(window, WM_APP + 7, 10, 0);
    pump->ProcessMessages();
    EXPECT_EQ(11, g_received);
    pump->ProcessMessages();  // nothing waiting: returns at once
    EXPECT_EQ(11, g_received);

    PostQuitMessage(3);
    PostMessageA(window, WM_APP + 7, 100, 0);
    pump->ProcessMessages();
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, quit.wParam);
    pump->ProcessMessages();
    EXPECT_EQ(111, g_received);
    DestroyWindow(window);
}

}  // namespace
}  // namespace bv
#endif  // _WIN32
