// Message boxes and the shell's folder browser.
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_owner.h"
#include "platform/win32/win32_platform.h"

#include <commdlg.h>

namespace bv {
namespace {

// BIF_NEWDIALOGSTYLE and BIF_NONEWFOLDERBUTTON by value: older SDK headers lack them,
// and older shells ignore them.
constexpr UINT kReturnOnlyFsDirs = 0x0001;
constexpr UINT kStatusText = 0x0004;
constexpr UINT kNewDialogStyle = 0x0040;
constexpr UINT kNoNewFolderButton = 0x0200;

// Disables every window of the thread while a shell dialog is open (the dialog itself
// only disables its owner), and enables them again afterwards.
class DisabledWindows {
public:
    DisabledWindows() { EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this)); }
    ~DisabledWindows() {
        for (HWND window : windows_) {
            if (IsWindow(window)) EnableWindow(window, TRUE);
        }
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        if (IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            reinterpret_cast<DisabledWindows*>(self)->windows_.push_back(window);
        }
        return TRUE;
    }
    std::vector<HWND> windows_;
};

// The new dialog style needs COM in single-threaded mode for the calling thread.
class OleScope {
public:
    OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (ok_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool ok_;
};

struct BrowseState {
    std::string initial;
    bool statusLine = false;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM data) {
    const BrowseState* state = reinterpret_cast<const BrowseState*>(data);
    if (message == BFFM_INITIALIZED) {
        if (!state->initial.empty()) {
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(state->initial.c_str()));
        }
    } else if (message == BFFM_SELCHANGED && state->statusLine) {
        char path[MAX_PATH] = {};
        if (!SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(param), path)) path[0] = '\0';
        SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Shows the browser and returns the chosen folder's path; empty if cancelled.
std::string Browse(BROWSEINFOA& info, BrowseState& state) {
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    HWND owner = info.hwndOwner;
    LPITEMIDLIST chosen;
    {
        DisabledWindows disabled;
        chosen = SHBrowseForFolderA(&info);
    }
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    if (!chosen) return std::string();
    char path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListA(chosen, path) != FALSE;
    win32::FreeIdList(chosen);
    return ok ? std::string(path) : std::string();
}

// The message box a timer closes: the thread's dialog with the box's caption.
struct TimedBox {
    const char* caption = nullptr;
    int answer = IDCANCEL;
    bool fired = false;
};
TimedBox* g_timedBox = nullptr;

BOOL CALLBACK CloseTimedBox(HWND window, LPARAM) {
    char className[16] = {}, caption[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (lstrcmpA(className, "#32770") != 0 || lstrcmpA(caption, g_timedBox->caption) != 0) return TRUE;
    // The box's own button command ends it as a click would.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(g_timedBox->answer, BN_CLICKED), 0);
    g_timedBox->fired = true;
    return FALSE;
}

void CALLBACK TimedBoxExpired(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!g_timedBox) {
        KillTimer(nullptr, timer);
        return;
    }
    EnumThreadWindows(GetCurrentThreadId(), &CloseTimedBox, 0);
    // Found: stop; not yet there: try again on the next tick.
    if (g_timedBox->fired) KillTimer(nullptr, timer);
}

class Win32Prompter : public Prompter {
public:
    explicit Win32Prompter(std::string appTitle) : appTitle_(std::move(appTitle)) {}

    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
        return MessageBoxA(win32::OwnerWindow(), text.c_str(), caption.c_str(), style);
    }

    int TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style, uint32_t timeoutMs,
                        int timeoutAnswer) override {
        TimedBox box{caption.c_str(), timeoutAnswer, false};
        TimedBox* outer = g_timedBox;
        g_timedBox = &box;
        const UINT_PTR timer = SetTimer(nullptr, 0, timeoutMs, &TimedBoxExpired);
        int result = MessageBoxA(win32::OwnerWindow(), text.c_str(), caption.c_str(), style);
        if (timer && !box.fired) KillTimer(nullptr, timer);
        g_timedBox = outer;
        return box.fired ? timeoutAnswer : result;
    }

    void PlainMessage(const std::string& text) override {
        MessageBoxA(win32::OwnerWindow(), text.c_str(), appTitle_.c_str(), MB_OK);
    }

    bool SelectFolder(const std::string& title, const std::string& root, std::string& folder,
                      bool newFolderButton) override {
        if (!IsFolder(folder)) folder.clear();
        OleScope ole;
        HWND owner = win32::OwnerWindow();
        LPITEMIDLIST rootList = root.empty() ? nullptr : win32::PathIdList(owner, root);
        char display[MAX_PATH] = {};
        BROWSEINFOA info = {};
        info.hwndOwner = owner;
        info.pidlRoot = rootList;
        info.pszDisplayName = display;
        info.lpszTitle = title.c_str();
        info.ulFlags = kReturnOnlyFsDirs | kNewDialogStyle | (newFolderButton ? 0 : kNoNewFolderButton);
        BrowseState state;
        state.initial = folder;
        std::string chosen = Browse(info, state);
        win32::FreeIdList(rootList);
        if (chosen.empty()) return false;
        folder = chosen;
        return true;
    }

    std::string SelectFolderFromComputer(const std::string& title, const std::string& initialFolder) override {
        HWND owner = win32::OwnerWindow();
        LPITEMIDLIST computer = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &computer)) || !computer) return std::string();
        char display[MAX_PATH] = {};
        BROWSEINFOA info = {};
        info.hwndOwner = owner;
        info.pidlRoot = computer;
        info.pszDisplayName = display;
        info.lpszTitle = title.c_str();
        info.ulFlags = kReturnOnlyFsDirs | kStatusText;
        BrowseState state;
        state.initial = initialFolder;
        state.statusLine = true;
        std::string chosen = Browse(info, state);
        win32::FreeIdList(computer);
        return chosen;
    }

    bool SaveFileName(const std::string& title, const std::string& filter, const std::string& defaultExt,
                      const std::string& initialFolder, std::string& chosenPath) override {
        // "A|*.a|B|*.*" -> "A\0*.a\0B\0*.*\0\0"
        std::string filters = filter;
        for (char& c : filters)
            if (c == '|') c = '\0';
        filters.append(2, '\0');
        char file[MAX_PATH + 1] = {};
        OPENFILENAMEA info = {};
        // Windows 95 and NT 4 refuse the larger structure of Windows 2000 (with the places bar).
        info.lStructSize = LOBYTE(LOWORD(GetVersion())) >= 5 ? sizeof info : OPENFILENAME_SIZE_VERSION_400A;
        info.hwndOwner = win32::OwnerWindow();
        info.lpstrFilter = filters.c_str();
        info.nFilterIndex = 1;
        info.lpstrFile = file;
        info.nMaxFile = MAX_PATH;
        info.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
        info.lpstrTitle = title.c_str();
        info.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
        info.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        HWND owner = info.hwndOwner;
        BOOL ok;
        {
            DisabledWindows disabled;
            ok = GetSaveFileNameA(&info);
        }
        if (owner && IsWindow(owner)) SetActiveWindow(owner);
        if (!ok) return false;
        chosenPath = file;
        return true;
    }

private:
    std::string appTitle_;
};

}  // namespace

std::unique_ptr<Prompter> CreateWin32Prompter(const std::string& appTitle) {
    return std::make_unique<Win32Prompter>(appTitle);
}

}  // namespace bv
