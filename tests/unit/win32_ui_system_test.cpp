// The window, priority and sound operations of the Win32 System (Windows build only):
// what the main window needs to find, close and answer Outlook Express.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_owner.h"
#include "platform/win32/win32_platform.h"

namespace bv {
namespace {

const char kClass[] = "BrevistoTestBrowserClass";
const char kCaption[] = "Brevisto Test Browser";

std::atomic<unsigned> g_lastKey{0};
std::atomic<int> g_closeRequests{0};

LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            g_lastKey = static_cast<unsigned>(wParam);
            return 0;
        case WM_CLOSE:
            ++g_closeRequests;
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A top-level window on its own thread, as another program's window would be.
class ForeignWindow {
public:
    // With `hangFor` the thread creates the window and then does not answer for that long.
    explicit ForeignWindow(std::chrono::milliseconds hangFor = std::chrono::milliseconds(0)) {
        static const bool registered = [] {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = &BrowserProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = kClass;
            return RegisterClassA(&windowClass) != 0;
        }();
        EXPECT_TRUE(registered);
        thread_ = std::thread([this, hangFor] {
            HWND window = CreateWindowExA(0, kClass, kCaption, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                          GetModuleHandleA(nullptr), nullptr);
            created_ = window != nullptr;
            ready_ = true;
            if (!window) return;
            if (hangFor.count() > 0) std::this_thread::sleep_for(hangFor);
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        });
        while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~ForeignWindow() {
        if (HWND window = FindWindowA(kClass, nullptr)) PostMessageA(window, WM_CLOSE, 0, 0);
        thread_.join();
    }
    bool created() const { return created_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> created_{false};
};

class Win32WindowOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lastKey = 0;
        g_closeRequests = 0;
    }
    std::unique_ptr<System> system = CreateWin32System();
};

TEST_F(Win32WindowOperationsTest, FindsAWindowByClassAndByExactCaption) {
    EXPECT_FALSE(system->WindowOfClassExists(kClass));
    EXPECT_FALSE(system->WindowWithCaptionExists(kCaption));
    ForeignWindow browser;
    ASSERT_TRUE(browser.created());
    EXPECT_TRUE(system->WindowOfClassExists(kClass));
    EXPECT_TRUE(system->WindowWithCaptionExists(kCaption));
    // The caption must match as a whole.
    EXPECT_FALSE(system->WindowWithCaptionExists("Brevisto Test"));
    EXPECT_FALSE(system->WindowOfClassExists("BrevistoTestBrowser"));
}

TEST_F(Win32WindowOperationsTest, PostsTheKeyToTheWindowWithTheCaption) {
    EXPECT_FALSE(system->PostKeyToCaption(kCaption, 0x4E));
    ForeignWindow browser;
    ASSERT_TRUE(browser.created());
    EXPECT_TRUE(system->PostKeyToCaption(kCaption, 0x4E));
    for (int i = 0; i < 200 && g_lastKey == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(0x4Eu, g_lastKey.load());
}

TEST_F(Win32WindowOperationsTest, CloseRequestProcessedInTimeReportsSuccess) {
    EXPECT_FALSE(system->CloseWindowOfClass(kClass, 1000));  // nothing to close
    ForeignWindow browser;
    ASSERT_TRUE(browser.created());
    EXPECT_TRUE(system->CloseWindowOfClass(kClass, 20000));
    EXPECT_EQ(1, g_closeRequests.load());
    EXPECT_FALSE(system->WindowOfClassExists(kClass));
}

TEST_F(Win32WindowOperationsTest, CloseRequestOfAHungWindowTimesOut) {
    ForeignWindow browser(std::chrono::milliseconds(1500));
    ASSERT_TRUE(browser.created());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(system->CloseWindowOfClass(kClass, 200));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::milliseconds(1400));
    EXPECT_EQ(0, g_closeRequests.load());
}

TEST_F(Win32WindowOperationsTest, PriorityClassOfTheProcessChangesAndComesBack) {
    ASSERT_TRUE(system->SetPriorityClass(IDLE_PRIORITY_CLASS));
    EXPECT_EQ(static_cast<DWORD>(IDLE_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));
    ASSERT_TRUE(system->SetPriorityClass(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));
    EXPECT_FALSE(system->SetPriorityClass(0x12345));  // not a priority class
}

TEST_F(Win32WindowOperationsTest, SoundWithoutADeviceIsNotAvailable) {
    // Windows with a sound card would play its default sound for a missing file.
    if (!win32::IsWine()) GTEST_SKIP() << "only Wine is known to have no sound device here";
    EXPECT_FALSE(system->PlaySoundFile("C:\\gibt-es-nicht\\saveok.wav"));
}

// Message boxes, dialogs and shell calls always get an owner, also when no window of the
// program is active (the program in the background, a wizard that has just closed).
TEST(Win32Owner, BoxesAlwaysHaveAnOwnerOfTheProgram) {
    ASSERT_EQ(GetActiveWindow(), nullptr) << "the test needs a thread without an active window";
    HWND application = CreateWindowExA(0, "STATIC", "Anwendung", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    HWND main = CreateWindowExA(0, "STATIC", "Hauptfenster", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(application && main);
    win32::SetApplicationWindow(application);
    EXPECT_EQ(win32::OwnerWindow(), application) << "before the main window exists";
    win32::SetMainWindow(main);
    EXPECT_EQ(win32::OwnerWindow(), main) << "nothing active";
    EXPECT_EQ(win32::MainWindow(), main);
    DestroyWindow(main);
    EXPECT_EQ(win32::OwnerWindow(), application) << "a main window that went away";
    EXPECT_EQ(win32::MainWindow(), application);
    win32::SetMainWindow(nullptr);
    win32::SetApplicationWindow(nullptr);
    DestroyWindow(application);
    EXPECT_EQ(win32::OwnerWindow(), nullptr);
}

}  // namespace
}  // namespace bv
#endif
