// bvdrive: drives the windows of another program in the same Wine prefix (or on Windows)
// from outside, for the end-to-end tests. One command from the arguments, or a script of
// commands (one per line) from stdin with "bvdrive -".
//
// Window texts travel as code page 1252 inside; arguments arrive as UTF-16 and output is
// written as UTF-8, so the shell scripts can compare German texts directly.
//
// Exit codes: 0 done, 1 failed expectation, 2 usage, 3 absent, 4 time-out.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kAbsent = 3, kTimeOut = 4, kClipped = 5 };

// Thrown by every command on an unmet expectation; the message goes to stderr.
struct Failure {
    int code;
    std::string message;
};

[[noreturn]] void Fail(int code, const std::string& message) { throw Failure{code, message}; }

// ---------------------------------------------------------------- text conversion

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::string Utf8(const std::string& ansi) { return Narrow(Widen(ansi, 1252), CP_UTF8); }
std::string Ansi(const std::string& utf8) { return Narrow(Widen(utf8, CP_UTF8), 1252); }

// Control characters stay readable on one line: CR and LF as \r and \n.
std::string Escaped(const std::string& ansi) {
    std::string out;
    for (char c : ansi) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

void Print(const std::string& ansi) {
    std::string line = Utf8(ansi) + "\n";
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

// "&Ja" and "Ja" are the same button; "Backup &anlegen   " and "Backup anlegen" too.
std::string Plain(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += text[i];
    }
    size_t b = out.find_first_not_of(" \t");
    size_t e = out.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
}

std::string Lower(std::string text) {
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::string Hex(const void* handle) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    return buf;
}

long Number(const std::string& text, const char* what) {
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 0);
    if (text.empty() || *end) Fail(kUsage, std::string("not a number for ") + what + ": " + text);
    return value;
}

// ---------------------------------------------------------------- window texts

std::string ClassOf(HWND window) {
    char buf[256] = {};
    GetClassNameA(window, buf, sizeof buf);
    return buf;
}

// WM_GETTEXT with a time-out: a hung target must not hang the test.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &length)) {
        char buf[512] = {};
        GetWindowTextA(window, buf, sizeof buf);
        return buf;
    }
    std::vector<char> buf(length + 2, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                        SMTO_ABORTIFHUNG, 3000, &copied);
    return std::string(buf.data());
}

// ---------------------------------------------------------------- finding windows

// "class=X;title=Y;title~Z;pid=N;hwnd=0x..;hidden" — all given parts must match.
struct WindowQuery {
    std::string cls, title, titlePart, raw;
    DWORD pid = 0;
    HWND hwnd = nullptr;
    bool hidden = false;  // also windows that are not visible
};

std::vector<std::pair<std::string, std::string>> SplitQuery(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (!part.empty()) {
            size_t eq = part.find_first_of("=~");
            if (eq == std::string::npos) {
                parts.push_back({part, ""});
            } else {
                parts.push_back({part.substr(0, eq + (part[eq] == '~' ? 1 : 0)), part.substr(eq + 1)});
                if (part[eq] == '~') parts.back().first = part.substr(0, eq) + "~";
            }
        }
        start = end + 1;
    }
    return parts;
}

WindowQuery ParseWindow(const std::string& text) {
    WindowQuery wanted;
    wanted.raw = text;
    for (auto& [key, value] : SplitQuery(text)) {
        if (key == "class") wanted.cls = value;
        else if (key == "title") wanted.title = value;
        else if (key == "title~") wanted.titlePart = value;
        else if (key == "pid") wanted.pid = static_cast<DWORD>(Number(value, "pid"));
        else if (key == "hwnd") wanted.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(value.c_str(), nullptr, 0)));
        else if (key == "hidden") wanted.hidden = true;
        else Fail(kUsage, "unknown window selector: " + key + " (class= title= title~ pid= hwnd= hidden)");
    }
    return wanted;
}

bool Matches(HWND window, const WindowQuery& wanted) {
    if (wanted.hwnd && window != wanted.hwnd) return false;
    if (!wanted.hidden && !IsWindowVisible(window)) return false;
    if (!wanted.cls.empty() && ClassOf(window) != wanted.cls) return false;
    if (wanted.pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != wanted.pid) return false;
    }
    if (!wanted.title.empty() || !wanted.titlePart.empty()) {
        char buf[1024] = {};
        GetWindowTextA(window, buf, sizeof buf);
        if (!wanted.title.empty() && wanted.title != buf) return false;
        if (!wanted.titlePart.empty() && !Contains(buf, wanted.titlePart)) return false;
    }
    return true;
}

// The enumeration callbacks must be stdcall on i686, which a lambda is not.
BOOL CALLBACK CollectWindow(HWND w, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(w);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> ChildWindows(HWND top) {
    std::vector<HWND> children;
    EnumChildWindows(top, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindTop(const WindowQuery& wanted) {
    if (wanted.hwnd) return IsWindow(wanted.hwnd) && Matches(wanted.hwnd, wanted) ? wanted.hwnd : nullptr;
    for (HWND w : TopLevelWindows())
        if (Matches(w, wanted)) return w;
    return nullptr;
}

const DWORD kDefaultWait = 10000;

HWND WaitTop(const WindowQuery& wanted, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindTop(wanted)) return w;
        if (GetTickCount() - start >= ms) Fail(kTimeOut, "no window " + wanted.raw + " within " + std::to_string(ms) + " ms");
        Sleep(50);
    }
}

// Commands that act on a window wait briefly for it: a dialog may still be opening.
HWND Top(const std::string& text) { return WaitTop(ParseWindow(text), 5000); }

// ---------------------------------------------------------------- finding controls

// "id=N;text=X;text~Y;class=Z;n=K" — the K-th (1-based) child that matches all parts.
HWND FindControl(HWND top, const std::string& text) {
    struct ControlQuery {
        long id = -1;
        std::string text, textPart, cls;
        long n = 1;
        bool visibleOnly = false;
    } wanted;
    for (auto& [key, value] : SplitQuery(text)) {
        if (key == "id") wanted.id = Number(value, "id");
        else if (key == "text") wanted.text = Plain(value);
        else if (key == "text~") wanted.textPart = value;
        else if (key == "class") wanted.cls = value;
        else if (key == "n") wanted.n = Number(value, "n");
        else if (key == "visible") wanted.visibleOnly = true;
        else Fail(kUsage, "unknown control selector: " + key + " (id= text= text~ class= n= visible)");
    }
    const std::vector<HWND> children = ChildWindows(top);
    long seen = 0;
    for (HWND c : children) {
        if (wanted.id >= 0 && (GetDlgCtrlID(c) & 0xFFFF) != wanted.id) continue;
        if (!wanted.cls.empty() && Lower(ClassOf(c)) != Lower(wanted.cls)) continue;
        if (wanted.visibleOnly && !IsWindowVisible(c)) continue;
        if (!wanted.text.empty() || !wanted.textPart.empty()) {
            std::string t = TextOf(c);
            if (!wanted.text.empty() && Plain(t) != wanted.text) continue;
            if (!wanted.textPart.empty() && !Contains(t, wanted.textPart) && !Contains(Plain(t), wanted.textPart)) continue;
        }
        if (++seen == wanted.n) return c;
    }
    Fail(kAbsent, "no control " + text + " in window \"" + TextOf(top) + "\"");
}

// ---------------------------------------------------------------- memory in the target

// Buffers for messages whose pointers must point into the target process.
class Remote {
public:
    explicit Remote(HWND window, size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (!process_) Fail(kFailed, "cannot open the process of the window");
        base_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        if (!base_) Fail(kFailed, "cannot allocate memory in the target process");
    }
    ~Remote() {
        VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    char* at(size_t offset) const { return base_ + offset; }
    void Write(size_t offset, const void* data, size_t n) {
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_, base_ + offset, data, n, &done) || done != n)
            Fail(kFailed, "cannot write into the target process");
    }
    void Read(size_t offset, void* data, size_t n) {
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_, base_ + offset, data, n, &done) || done != n)
            Fail(kFailed, "cannot read from the target process");
    }
    std::string ReadText(size_t offset, size_t max) {
        std::vector<char> buf(max + 1, '\0');
        Read(offset, buf.data(), max);
        return std::string(buf.data());
    }

private:
    HANDLE process_ = nullptr;
    char* base_ = nullptr;
    size_t size_;
};

LRESULT Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, w, l, SMTO_ABORTIFHUNG, 5000, &result))
        Fail(kFailed, "the target does not answer (message " + std::to_string(message) + ")");
    return static_cast<LRESULT>(result);
}

// The text of an item of a common control: `item` (with its mask and index set) goes into
// the target's memory with a text buffer behind it, `message` fills it.
template <typename Item>
std::string RemoteItemText(Remote& mem, HWND control, UINT message, WPARAM wParam, Item item) {
    item.pszText = mem.at(sizeof(Item));
    item.cchTextMax = 500;
    char zero[512] = {};
    mem.Write(sizeof(Item), zero, sizeof zero);
    mem.Write(0, &item, sizeof item);
    Send(control, message, wParam, reinterpret_cast<LPARAM>(mem.at(0)));
    return mem.ReadText(sizeof(Item), 500);
}

// ---------------------------------------------------------------- tree views

// The items of a tree view in display order (depth first), with their depth.
struct TreeEntry {
    HTREEITEM item;
    int level;
};

std::vector<TreeEntry> TreeEntries(HWND tree) {
    std::vector<TreeEntry> out;
    struct Walker {
        HWND tree;
        std::vector<TreeEntry>& out;
        void Walk(HTREEITEM item, int level) {
            for (; item; item = reinterpret_cast<HTREEITEM>(
                             Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
                out.push_back({item, level});
                Walk(reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))),
                     level + 1);
            }
        }
    } walker{tree, out};
    walker.Walk(reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    return out;
}

std::string TreeItemText(Remote& mem, HWND tree, HTREEITEM handle) {
    TVITEMA item = {};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = handle;
    return RemoteItemText(mem, tree, TVM_GETITEMA, 0, item);
}

// One line per item: check state (0/1), depth and text, tab-separated.
void ListTree(HWND tree) {
    Remote mem(tree, sizeof(TVITEMA) + 512);
    for (const TreeEntry& e : TreeEntries(tree)) {
        const LRESULT state = Send(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(e.item), TVIS_STATEIMAGEMASK);
        const int checked = ((state & TVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0;
        Print(std::to_string(checked) + "\t" + std::to_string(e.level) + "\t" + TreeItemText(mem, tree, e.item));
    }
}

// Clicks the check box of the item given as #N (display order) or by the start of its text,
// with posted mouse messages as a user's click would send them.
void ClickTreeCheckBox(HWND tree, const std::string& which) {
    const std::vector<TreeEntry> entries = TreeEntries(tree);
    Remote mem(tree, sizeof(TVITEMA) + 512);
    HTREEITEM target = nullptr;
    if (!which.empty() && which[0] == '#') {
        const long index = Number(which.substr(1), "item number");
        if (index >= 0 && static_cast<size_t>(index) < entries.size()) target = entries[static_cast<size_t>(index)].item;
    } else {
        for (const TreeEntry& e : entries)
            if (TreeItemText(mem, tree, e.item).rfind(which, 0) == 0) {
                target = e.item;
                break;
            }
    }
    if (!target) Fail(kAbsent, "no tree item " + which);
    Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(target));
    // TVM_GETITEMRECT takes the item's handle in the rectangle it fills.
    RECT r = {};
    mem.Write(0, &r, sizeof r);
    mem.Write(0, &target, sizeof target);
    if (!Send(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(mem.at(0)))) Fail(kFailed, "the item is not visible");
    mem.Read(0, &r, sizeof r);
    // The check box is the state image just left of the text.
    const LPARAM at = MAKELPARAM(r.left - 9, (r.top + r.bottom) / 2);
    PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tree, WM_LBUTTONUP, 0, at);
}

// ---------------------------------------------------------------- tab, list and combo contents

std::vector<std::string> TabItems(HWND tab) {
    std::vector<std::string> items;
    int count = static_cast<int>(Send(tab, TCM_GETITEMCOUNT, 0, 0));
    Remote mem(tab, sizeof(TCITEMA) + 512);
    for (int i = 0; i < count; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        items.push_back(RemoteItemText(mem, tab, TCM_GETITEMA, static_cast<WPARAM>(i), item));
    }
    return items;
}

std::string ListViewText(Remote& mem, HWND list, int row, int column) {
    LVITEMA item = {};
    item.iSubItem = column;
    return RemoteItemText(mem, list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), item);
}

// One line per item; list-view rows are their columns joined by tabs.
std::vector<std::string> Items(HWND control) {
    std::vector<std::string> items;
    std::string cls = Lower(ClassOf(control));
    if (cls == "systabcontrol32") return TabItems(control);
    if (cls == "combobox" || cls == "listbox") {
        bool combo = cls == "combobox";
        int count = static_cast<int>(Send(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            // The wide message: Wine hands the ANSI one across processes cut to one character.
            DWORD_PTR length = 0;
            SendMessageTimeoutW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i), 0,
                                SMTO_ABORTIFHUNG, 5000, &length);
            std::vector<wchar_t> buf(static_cast<size_t>(length) + 2, L'\0');
            DWORD_PTR copied = 0;
            SendMessageTimeoutW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG, 5000, &copied);
            items.push_back(Narrow(buf.data(), 1252));
        }
        return items;
    }
    if (cls == "syslistview32") {
        int rows = static_cast<int>(Send(control, LVM_GETITEMCOUNT, 0, 0));
        HWND header = reinterpret_cast<HWND>(Send(control, LVM_GETHEADER, 0, 0));
        int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        if (columns < 1) columns = 1;
        Remote mem(control, sizeof(LVITEMA) + 512);
        for (int r = 0; r < rows; ++r) {
            std::string line;
            for (int c = 0; c < columns; ++c) line += (c ? "\t" : "") + ListViewText(mem, control, r, c);
            items.push_back(line);
        }
        return items;
    }
    Fail(kFailed, "the control has no items: " + ClassOf(control));
}

int SelectedIndex(HWND control) {
    std::string cls = Lower(ClassOf(control));
    if (cls == "systabcontrol32") return static_cast<int>(Send(control, TCM_GETCURSEL, 0, 0));
    if (cls == "combobox") return static_cast<int>(Send(control, CB_GETCURSEL, 0, 0));
    if (cls == "listbox") return static_cast<int>(Send(control, LB_GETCURSEL, 0, 0));
    if (cls == "syslistview32") return static_cast<int>(Send(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    Fail(kFailed, "the control has no selection: " + ClassOf(control));
}

// "#3" is the fourth item; anything else is an item text.
int ItemIndex(HWND control, const std::string& which) {
    if (which.size() > 1 && which[0] == '#') return static_cast<int>(Number(which.substr(1), "index"));
    std::vector<std::string> items = Items(control);
    for (size_t i = 0; i < items.size(); ++i)
        if (Plain(items[i]) == Plain(which)) return static_cast<int>(i);
    for (size_t i = 0; i < items.size(); ++i)
        if (Contains(items[i], which)) return static_cast<int>(i);
    Fail(kAbsent, "no item \"" + which + "\"");
}

// ---------------------------------------------------------------- menus

struct MenuEntry {
    std::string path;  // "&Backup>a&nschauen..."
    UINT id;
    UINT state;
    bool popup;
};

void WalkMenu(HMENU menu, const std::string& prefix, std::vector<MenuEntry>& out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (info.fType & MFT_SEPARATOR) {
            out.push_back({prefix + "-", 0, info.fState, false});
            continue;
        }
        std::string path = prefix + text;
        out.push_back({path, info.wID, info.fState, info.hSubMenu != nullptr});
        if (info.hSubMenu) WalkMenu(info.hSubMenu, path + ">", out);
    }
}

// Same layout as in menu_hook.cpp.
struct MenuRequest {
    HWND window;
    unsigned used;
    char text[60000];
};

// Wine keeps menus and GDI objects per process: bvhook.dll (beside this program) is loaded
// into the target and runs one of its exports there on the request. It has a fixed image
// base below 4 GiB, so the thread exit code of LoadLibraryA is its whole module handle in
// both processes. Returns the export's result.
DWORD CallInside(HWND top, const char* exportName, MenuRequest& request) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dll = self;
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "bvhook.dll";
    HMODULE local = LoadLibraryA(dll.c_str());
    if (!local) Fail(kFailed, "cannot load " + dll);
    FARPROC localExport = GetProcAddress(local, exportName);
    if (!localExport) Fail(kFailed, std::string(exportName) + " missing in " + dll);
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));

    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                 PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!process) Fail(kFailed, "cannot open the process of the window");
    auto run = [&](LPTHREAD_START_ROUTINE start, void* param) -> DWORD {
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, param, 0, nullptr);
        if (!thread) Fail(kFailed, "cannot start a thread in the target process");
        DWORD code = 0;
        if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) Fail(kTimeOut, "the reader in the target did not finish");
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    };
    char* mem = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(MenuRequest), MEM_COMMIT, PAGE_READWRITE));
    if (!mem) Fail(kFailed, "cannot allocate memory in the target process");
    WriteProcessMemory(process, mem, dll.c_str(), dll.size() + 1, nullptr);
    DWORD module = run(loadLibrary, mem);
    if (!module) Fail(kFailed, "the target could not load " + dll);
    auto remoteExport = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        static_cast<uintptr_t>(module) + (reinterpret_cast<uintptr_t>(localExport) - reinterpret_cast<uintptr_t>(local)));
    request.used = 0;
    WriteProcessMemory(process, mem, &request, sizeof request, nullptr);
    DWORD rc = run(remoteExport, mem);
    ReadProcessMemory(process, mem, &request, sizeof request, nullptr);
    VirtualFreeEx(process, mem, 0, MEM_RELEASE);
    CloseHandle(process);
    request.text[sizeof request.text - 1] = '\0';
    return rc;
}

std::vector<MenuEntry> MenuFromInside(HWND top) {
    static MenuRequest request;
    request = MenuRequest{};
    request.window = top;
    const DWORD rc = CallInside(top, "BvDumpMenu", request);
    if (rc == 2) Fail(kAbsent, "the window has no menu");
    if (rc != 1) Fail(kFailed, "the menu reader failed");

    std::vector<MenuEntry> entries;
    std::string all = request.text;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        start = end + 1;
        size_t t1 = line.find('\x01'), t2 = line.find('\x01', t1 + 1), t3 = line.find('\x01', t2 + 1);
        if (t3 == std::string::npos) continue;
        entries.push_back({line.substr(0, t1), static_cast<UINT>(strtoul(line.c_str() + t1 + 1, nullptr, 10)),
                           static_cast<UINT>(strtoul(line.c_str() + t2 + 1, nullptr, 10)), line[t3 + 1] == '1'});
    }
    return entries;
}

std::vector<MenuEntry> MenuOf(HWND top) {
    HMENU menu = GetMenu(top);
    if (!menu) Fail(kAbsent, "the window has no menu");
    if (GetMenuItemCount(menu) < 0) return MenuFromInside(top);
    std::vector<MenuEntry> entries;
    WalkMenu(menu, "", entries);
    return entries;
}

// A path "Backup>anschauen..." matches "&Backup>a&nschauen..." (ampersands, outer blanks
// and the accelerator text after a tab do not count).
std::string PlainPath(const std::string& path) {
    std::string out, part;
    auto flush = [&]() {
        size_t tab = part.find('\t');
        if (tab != std::string::npos) part.erase(tab);
        out += Plain(part);
        part.clear();
    };
    for (char c : path) {
        if (c == '>') flush(), out += '>';
        else part += c;
    }
    flush();
    return out;
}

const MenuEntry* FindMenu(const std::vector<MenuEntry>& entries, const std::string& path) {
    for (const MenuEntry& e : entries)
        if (PlainPath(e.path) == PlainPath(path)) return &e;
    return nullptr;
}

// ---------------------------------------------------------------- keys

UINT KeyCode(const std::string& name) {
    static const struct { const char* name; UINT vk; } kKeys[] = {
        {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN}, {"ESCAPE", VK_ESCAPE}, {"ESC", VK_ESCAPE},
        {"TAB", VK_TAB}, {"SPACE", VK_SPACE}, {"UP", VK_UP}, {"DOWN", VK_DOWN}, {"LEFT", VK_LEFT},
        {"RIGHT", VK_RIGHT}, {"DELETE", VK_DELETE}, {"HOME", VK_HOME}, {"END", VK_END},
    };
    std::string upper = name;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    for (auto& k : kKeys)
        if (upper == k.name) return k.vk;
    if (upper.size() >= 2 && upper[0] == 'F' && isdigit(static_cast<unsigned char>(upper[1]))) {
        long n = Number(upper.substr(1), "function key");
        if (n >= 1 && n <= 24) return VK_F1 + static_cast<UINT>(n) - 1;
    }
    if (upper.size() == 1 && isalnum(static_cast<unsigned char>(upper[0]))) return static_cast<UINT>(upper[0]);
    if (upper.size() > 2 && upper[0] == '0' && upper[1] == 'X') return static_cast<UINT>(Number(name, "key"));
    Fail(kUsage, "unknown key: " + name);
}

LPARAM KeyLParam(UINT vk, bool up) {
    UINT scan = MapVirtualKeyA(vk, 0);
    LPARAM l = 1 | (static_cast<LPARAM>(scan) << 16);
    if (up) l |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    return l;
}

// ---------------------------------------------------------------- message boxes

// A message box is a dialog with the text in the static control 0xFFFF.
HWND FindMessageBox() {
    for (HWND w : TopLevelWindows()) {
        if (!IsWindowVisible(w) || ClassOf(w) != "#32770") continue;
        if (GetDlgItem(w, 0xFFFF)) return w;
    }
    return nullptr;
}

HWND WaitMessageBox(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindMessageBox()) return w;
        if (GetTickCount() - start >= ms) Fail(kTimeOut, "no message box within " + std::to_string(ms) + " ms");
        Sleep(50);
    }
}

void PrintMessageBox(HWND box) {
    Print(TextOf(box));
    Print(Escaped(TextOf(GetDlgItem(box, 0xFFFF))));
}

HWND ButtonByText(HWND top, const std::string& text) {
    const std::vector<HWND> children = ChildWindows(top);
    for (HWND c : children)
        if (Lower(ClassOf(c)) == "button" && IsWindowVisible(c) && Plain(TextOf(c)) == Plain(text)) return c;
    return nullptr;
}

// ---------------------------------------------------------------- registry

HKEY RootOf(std::string& path) {
    static const struct { const char* name; HKEY key; } kRoots[] = {
        {"HKCU\\", HKEY_CURRENT_USER}, {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
        {"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
        {"HKCR\\", HKEY_CLASSES_ROOT}, {"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
    };
    for (auto& r : kRoots) {
        size_t n = strlen(r.name);
        if (path.size() >= n && _strnicmp(path.c_str(), r.name, n) == 0) {
            path.erase(0, n);
            return r.key;
        }
    }
    Fail(kUsage, "registry path must start with HKCU\\, HKLM\\ or HKCR\\: " + path);
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::string s(reinterpret_cast<const char*>(data.data()), size);
            while (!s.empty() && s.back() == '\0') s.pop_back();
            return (type == REG_SZ ? "REG_SZ:" : "REG_EXPAND_SZ:") + s;
        }
        case REG_DWORD: {
            DWORD v = 0;
            memcpy(&v, data.data(), size < 4 ? size : 4);
            return "REG_DWORD:" + std::to_string(v);
        }
        default: {
            std::string s = "TYPE" + std::to_string(type) + ":";
            char hex[4];
            for (DWORD i = 0; i < size; ++i) snprintf(hex, sizeof hex, "%02x", data[i]), s += hex;
            return s;
        }
    }
}

// "reg KEY" lists every value as name=TYPE:data; "reg KEY NAME" prints one value's data.
void Registry(std::string path, const std::string* name) {
    HKEY root = RootOf(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        Fail(kAbsent, "no registry key " + path);
    std::vector<BYTE> data(65536);
    if (name) {
        DWORD type = 0, size = static_cast<DWORD>(data.size());
        LONG rc = RegQueryValueExA(key, name->c_str(), nullptr, &type, data.data(), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) Fail(kAbsent, "no registry value \"" + *name + "\" in " + path);
        std::string text = ValueText(type, data, size);
        Print(text.substr(text.find(':') + 1));
        return;
    }
    for (DWORD i = 0;; ++i) {
        char valueName[1024];
        DWORD nameSize = sizeof valueName, type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        Print(std::string(valueName) + "=" + ValueText(type, data, size));
    }
    RegCloseKey(key);
}

// ---------------------------------------------------------------- shell links

// Target, arguments and working folder of a .lnk file, a line each, as the shell reads them.
void PrintShortcut(const std::string& path) {
    if (FAILED(CoInitialize(nullptr))) Fail(kFailed, "COM could not start");
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        Fail(kFailed, "no shell link object");
    }
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char target[MAX_PATH] = {}, arguments[1024] = {}, folder[MAX_PATH] = {};
    bool loaded = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                  SUCCEEDED(file->Load(wide, STGM_READ));
    if (loaded) {
        link->GetPath(target, sizeof target, nullptr, 0);
        link->GetArguments(arguments, sizeof arguments);
        link->GetWorkingDirectory(folder, sizeof folder);
    }
    if (file) file->Release();
    link->Release();
    CoUninitialize();
    if (!loaded) Fail(kAbsent, "cannot read the shortcut " + path);
    Print(std::string(target) + "\n" + arguments + "\n" + folder);
}

// ---------------------------------------------------------------- commands

void ListControls(HWND top) {
    const std::vector<HWND> children = ChildWindows(top);
    for (HWND c : children) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
        char line[256];
        snprintf(line, sizeof line, "%s id=%d visible=%d enabled=%d rect=%ld,%ld,%ld,%ld text=",
                 ClassOf(c).c_str(), GetDlgCtrlID(c) & 0xFFFF, IsWindowVisible(c) ? 1 : 0,
                 IsWindowEnabled(c) ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top);
        Print(line + Escaped(TextOf(c)));
    }
}

void PrintState(HWND c) {
    std::string cls = Lower(ClassOf(c));
    RECT r;
    GetWindowRect(c, &r);
    char line[256];
    snprintf(line, sizeof line, "visible=%d enabled=%d", IsWindowVisible(c) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0);
    std::string out = line;
    if (cls == "button") out += " checked=" + std::to_string(Send(c, BM_GETCHECK, 0, 0));
    if (cls == "msctls_trackbar32") out += " pos=" + std::to_string(Send(c, TBM_GETPOS, 0, 0));
    if (cls == "msctls_updown32") out += " pos=" + std::to_string(LOWORD(Send(c, UDM_GETPOS, 0, 0)));
    if (cls == "combobox" || cls == "systabcontrol32" || cls == "listbox" || cls == "syslistview32")
        out += " selected=" + std::to_string(SelectedIndex(c));
    Print(out);
}

// Posted, not sent: a click that opens a modal window would block a sent message.
void Click(HWND c) {
    if (!IsWindowEnabled(c)) Fail(kFailed, "the control \"" + TextOf(c) + "\" is disabled");
    if (!IsWindowVisible(c)) Fail(kFailed, "the control \"" + TextOf(c) + "\" is hidden");
    PostMessageA(c, BM_CLICK, 0, 0);
}

// Clicks the tab with the mouse, so the dialog gets its selection notices as from a user.
void SelectTab(HWND tab, int index) {
    int count = static_cast<int>(Send(tab, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0 || index >= count) Fail(kAbsent, "no tab #" + std::to_string(index));
    if (static_cast<int>(Send(tab, TCM_GETCURSEL, 0, 0)) == index) return;
    Remote mem(tab, sizeof(RECT));
    Send(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(mem.at(0)));
    RECT r;
    mem.Read(0, &r, sizeof r);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tab, WM_LBUTTONUP, 0, at);
    DWORD start = GetTickCount();
    while (static_cast<int>(Send(tab, TCM_GETCURSEL, 0, 0)) != index) {
        if (GetTickCount() - start >= 3000) Fail(kTimeOut, "the tab did not change to #" + std::to_string(index));
        Sleep(20);
    }
}

HWND TabControl(HWND top, const std::vector<std::string>& args, size_t at) {
    return args.size() > at ? FindControl(top, args[at]) : FindControl(top, "class=SysTabControl32");
}

void Usage() {
    fputs(
        "bvdrive COMMAND ARGS...   or   bvdrive - (commands from stdin, one per line)\n"
        "WIN:  class=X;title=Y;title~PART;pid=N;hwnd=0x..;hidden   CTRL: id=N;text=X;text~PART;class=X;n=K;visible\n"
        "  top                         list top-level windows\n"
        "  wait WIN [ms]               wait until the window is visible, print its handle\n"
        "  gone WIN [ms]               wait until no such window is visible\n"
        "  exists WIN                  0 when present, 3 when not\n"
        "  text WIN [CTRL]             print the text of the window or control\n"
        "  controls WIN                list the child controls\n"
        "  state WIN CTRL              visible, enabled, checked, position, selection\n"
        "  click WIN CTRL              press a button (posted BM_CLICK)\n"
        "  settext WIN CTRL TEXT       set the text of an edit field\n"
        "  check WIN CTRL 0|1          tick or untick a check box\n"
        "  focus WIN CTRL              move the keyboard focus to the control\n"
        "  tabs WIN [CTRL]             list the tabs, the selected one marked with *\n"
        "  tab WIN TEXT|#N [CTRL]      select a tab by clicking it\n"
        "  items WIN CTRL              list items of a combo box, list box, list view or tab control\n"
        "  select WIN CTRL TEXT|#N     select an item of a combo box or list box\n"
        "  tree WIN CTRL               list a tree view: checked, depth, text (tab-separated)\n"
        "  treeclick WIN CTRL TEXT|#N  click the check box of a tree item (#N in display order)\n"
        "  slider WIN CTRL N           move a track bar\n"
        "  menu WIN                    list the menu (path, id, state)\n"
        "  menuhas WIN PATH            0 when the entry exists, 3 when it does not\n"
        "  menucmd WIN PATH            invoke a menu entry (posted WM_COMMAND)\n"
        "  key WIN KEY                 post key down and up (F7, RETURN, ESCAPE, N, 0x4E)\n"
        "  typekey WIN KEY             the window to the front, then a real key press\n"
        "  msgbox [ms]                 wait for a message box, print caption and text\n"
        "  answer BUTTON [ms] [TEXT]   wait for a message box, print it, check TEXT is in it, press BUTTON\n"
        "  press WIN BUTTON            press a visible button by its text\n"
        "  restore WIN                 restore a minimized window as the task bar does\n"
        "  close WIN                   post WM_CLOSE\n"
        "  clipcheck WIN               list captions that do not fit their controls (exit code 5)\n"
        "  command WIN CTRL            post the control's BN_CLICKED to its parent (hidden ones too)\n"
        "  wmcommand WIN ID            post WM_COMMAND with the id, as a menu entry or accelerator\n"
        "  shortcut PATH               print a shell link's target, arguments and working folder\n"
        "  pid WIN                     print the process id of the window\n"
        "  waitexit PID [ms]           wait for a process to end, print its exit code\n"
        "  reg KEY [VALUE]             print registry values (HKCU\\, HKLM\\, HKCR\\)\n"
        "  sleep MS\n",
        stderr);
}

void Need(const std::vector<std::string>& a, size_t n) {
    if (a.size() < n) Fail(kUsage, "too few arguments for " + a[0]);
}

DWORD Ms(const std::vector<std::string>& a, size_t at, DWORD fallback = kDefaultWait) {
    return a.size() > at ? static_cast<DWORD>(Number(a[at], "milliseconds")) : fallback;
}

void Run(const std::vector<std::string>& a) {
    const std::string& cmd = a[0];
    if (cmd == "top") {
        for (HWND w : TopLevelWindows()) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char line[128];
            snprintf(line, sizeof line, "%s pid=%lu visible=%d iconic=%d class=", Hex(w).c_str(), pid,
                     IsWindowVisible(w) ? 1 : 0, IsIconic(w) ? 1 : 0);
            Print(line + ClassOf(w) + " title=" + TextOf(w));
        }
    } else if (cmd == "wait") {
        Need(a, 2);
        Print(Hex(WaitTop(ParseWindow(a[1]), Ms(a, 2))));
    } else if (cmd == "gone") {
        Need(a, 2);
        WindowQuery wanted = ParseWindow(a[1]);
        DWORD ms = Ms(a, 2), start = GetTickCount();
        while (FindTop(wanted)) {
            if (GetTickCount() - start >= ms) Fail(kTimeOut, "window " + a[1] + " still there after " + std::to_string(ms) + " ms");
            Sleep(50);
        }
    } else if (cmd == "exists") {
        Need(a, 2);
        if (!FindTop(ParseWindow(a[1]))) Fail(kAbsent, "no window " + a[1]);
    } else if (cmd == "text") {
        Need(a, 2);
        HWND top = Top(a[1]);
        Print(Escaped(TextOf(a.size() > 2 ? FindControl(top, a[2]) : top)));
    } else if (cmd == "controls") {
        Need(a, 2);
        ListControls(Top(a[1]));
    } else if (cmd == "state") {
        Need(a, 3);
        PrintState(FindControl(Top(a[1]), a[2]));
    } else if (cmd == "click") {
        Need(a, 3);
        Click(FindControl(Top(a[1]), a[2]));
    } else if (cmd == "tree") {
        Need(a, 3);
        ListTree(FindControl(Top(a[1]), a[2]));
    } else if (cmd == "treeclick") {
        Need(a, 4);
        ClickTreeCheckBox(FindControl(Top(a[1]), a[2]), a[3]);
    } else if (cmd == "restore") {
        Need(a, 2);
        // As the task bar does it; a window that owns a modal dialog is disabled and would
        // ignore a posted SC_RESTORE.
        ShowWindowAsync(Top(a[1]), SW_RESTORE);
    } else if (cmd == "press") {
        Need(a, 3);
        HWND top = Top(a[1]);
        HWND b = ButtonByText(top, a[2]);
        if (!b) Fail(kAbsent, "no button \"" + a[2] + "\" in \"" + TextOf(top) + "\"");
        Click(b);
    } else if (cmd == "settext") {
        Need(a, 4);
        HWND c = FindControl(Top(a[1]), a[2]);
        Send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
        if (TextOf(c) != a[3]) Fail(kFailed, "the field did not take the text");
    } else if (cmd == "check") {
        Need(a, 4);
        HWND c = FindControl(Top(a[1]), a[2]);
        LRESULT want = Number(a[3], "check state");
        if (Send(c, BM_GETCHECK, 0, 0) != want) {
            Click(c);
            DWORD start = GetTickCount();
            while (Send(c, BM_GETCHECK, 0, 0) != want) {
                if (GetTickCount() - start >= 3000) Fail(kTimeOut, "the check box did not change");
                Sleep(20);
            }
        }
    } else if (cmd == "focus") {
        Need(a, 3);
        HWND c = FindControl(Top(a[1]), a[2]);
        DWORD thread = GetWindowThreadProcessId(c, nullptr);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetFocus(c);
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    } else if (cmd == "tabs") {
        Need(a, 2);
        HWND tab = TabControl(Top(a[1]), a, 2);
        std::vector<std::string> items = TabItems(tab);
        int sel = static_cast<int>(Send(tab, TCM_GETCURSEL, 0, 0));
        for (size_t i = 0; i < items.size(); ++i) Print((static_cast<int>(i) == sel ? "*" : " ") + items[i]);
    } else if (cmd == "tab") {
        Need(a, 3);
        HWND tab = TabControl(Top(a[1]), a, 3);
        SelectTab(tab, ItemIndex(tab, a[2]));
    } else if (cmd == "items") {
        Need(a, 3);
        // Columns stay separated by tabs.
        for (const std::string& item : Items(FindControl(Top(a[1]), a[2]))) {
            std::string line = Escaped(item);
            for (size_t at; (at = line.find("\\t")) != std::string::npos;) line.replace(at, 2, "\t");
            Print(line);
        }
    } else if (cmd == "select") {
        Need(a, 4);
        HWND c = FindControl(Top(a[1]), a[2]);
        int index = ItemIndex(c, a[3]);
        bool combo = Lower(ClassOf(c)) == "combobox";
        Send(c, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        // Setting the selection by message does not notify; the dialog hears it as from a user.
        PostMessageA(GetParent(c), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(c), combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(c));
    } else if (cmd == "slider") {
        Need(a, 4);
        HWND c = FindControl(Top(a[1]), a[2]);
        long pos = Number(a[3], "position");
        Send(c, TBM_SETPOS, TRUE, pos);
        PostMessageA(GetParent(c), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(c));
        PostMessageA(GetParent(c), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(c));
    } else if (cmd == "menu") {
        Need(a, 2);
        for (const MenuEntry& e : MenuOf(Top(a[1]))) {
            std::string flags;
            if (e.state & MFS_GRAYED) flags += " grayed";
            if (e.state & MFS_CHECKED) flags += " checked";
            Print(Escaped(e.path) + " id=" + std::to_string(e.id) + flags);
        }
    } else if (cmd == "menuhas") {
        Need(a, 3);
        if (!FindMenu(MenuOf(Top(a[1])), a[2])) Fail(kAbsent, "no menu entry " + a[2]);
    } else if (cmd == "menucmd") {
        Need(a, 3);
        HWND top = Top(a[1]);
        std::vector<MenuEntry> entries = MenuOf(top);
        const MenuEntry* e = FindMenu(entries, a[2]);
        if (!e) Fail(kAbsent, "no menu entry " + a[2]);
        if (e->popup) Fail(kUsage, "the menu entry " + a[2] + " opens a submenu");
        if (e->state & MFS_GRAYED) Fail(kFailed, "the menu entry " + a[2] + " is disabled");
        PostMessageA(top, WM_COMMAND, MAKEWPARAM(e->id, 0), 0);
    } else if (cmd == "key") {
        Need(a, 3);
        HWND top = Top(a[1]);
        UINT vk = KeyCode(a[2]);
        PostMessageA(top, WM_KEYDOWN, vk, KeyLParam(vk, false));
        PostMessageA(top, WM_KEYUP, vk, KeyLParam(vk, true));
    } else if (cmd == "typekey") {
        Need(a, 3);
        HWND top = Top(a[1]);
        UINT vk = KeyCode(a[2]);
        SetForegroundWindow(top);
        Sleep(100);
        keybd_event(static_cast<BYTE>(vk), static_cast<BYTE>(MapVirtualKeyA(vk, 0)), 0, 0);
        keybd_event(static_cast<BYTE>(vk), static_cast<BYTE>(MapVirtualKeyA(vk, 0)), KEYEVENTF_KEYUP, 0);
    } else if (cmd == "msgbox") {
        PrintMessageBox(WaitMessageBox(Ms(a, 1)));
    } else if (cmd == "answer") {
        Need(a, 2);
        HWND box = WaitMessageBox(Ms(a, 2));
        PrintMessageBox(box);
        if (a.size() > 3 && !Contains(TextOf(GetDlgItem(box, 0xFFFF)), a[3]))
            Fail(kFailed, "the message box does not say \"" + a[3] + "\"");
        HWND b = ButtonByText(box, a[1]);
        if (!b) Fail(kAbsent, "the message box has no button \"" + a[1] + "\"");
        PostMessageA(b, BM_CLICK, 0, 0);
        DWORD start = GetTickCount();
        while (IsWindow(box) && IsWindowVisible(box)) {
            if (GetTickCount() - start >= 5000) Fail(kTimeOut, "the message box did not close");
            Sleep(20);
        }
    } else if (cmd == "close") {
        Need(a, 2);
        PostMessageA(Top(a[1]), WM_CLOSE, 0, 0);
    } else if (cmd == "clipcheck") {
        Need(a, 2);
        static MenuRequest request;
        request = MenuRequest{};
        request.window = Top(a[1]);
        const DWORD rc = CallInside(request.window, "BvCheckClipping", request);
        if (rc == 0) Fail(kFailed, "the clipping check failed");
        if (request.text[0]) Print(request.text);
        if (rc > 1) Fail(kClipped, std::to_string(rc - 1) + " texts do not fit their controls");
    } else if (cmd == "command") {
        // What a click on the control would send its parent; reaches hidden controls too.
        Need(a, 3);
        HWND control = FindControl(Top(a[1]), a[2]);
        PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control) & 0xFFFF, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
    } else if (cmd == "wmcommand") {
        // Reaches commands whose menu entries are hidden.
        Need(a, 3);
        PostMessageA(Top(a[1]), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(Number(a[2], "command id")), 0), 0);
    } else if (cmd == "shortcut") {
        Need(a, 2);
        PrintShortcut(a[1]);
    } else if (cmd == "pid") {
        Need(a, 2);
        DWORD pid = 0;
        GetWindowThreadProcessId(Top(a[1]), &pid);
        Print(std::to_string(pid));
    } else if (cmd == "waitexit") {
        Need(a, 2);
        HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(Number(a[1], "pid")));
        if (!p) Fail(kAbsent, "no process " + a[1]);
        DWORD rc = WaitForSingleObject(p, Ms(a, 2));
        DWORD code = 0;
        GetExitCodeProcess(p, &code);
        CloseHandle(p);
        if (rc != WAIT_OBJECT_0) Fail(kTimeOut, "process " + a[1] + " still runs");
        Print(std::to_string(code));
    } else if (cmd == "reg") {
        Need(a, 2);
        Registry(a[1], a.size() > 2 ? &a[2] : nullptr);
    } else if (cmd == "sleep") {
        Need(a, 2);
        Sleep(static_cast<DWORD>(Number(a[1], "milliseconds")));
    } else if (cmd == "help" || cmd == "--help") {
        Usage();
    } else {
        Fail(kUsage, "unknown command " + cmd);
    }
}

// A script line: words separated by blanks, "double quotes" group, \" inside quotes.
std::vector<std::string> SplitLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, have = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') word += '"', ++i;
            else if (c == '"') quoted = false;
            else word += c;
        } else if (c == '"') {
            quoted = have = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (have) words.push_back(word), word.clear(), have = false;
        } else {
            word += c, have = true;
        }
    }
    if (have) words.push_back(word);
    return words;
}

int RunOne(const std::vector<std::string>& args) {
    try {
        Run(args);
        return kOk;
    } catch (const Failure& f) {
        std::string line = "bvdrive " + args[0] + ": " + Utf8(f.message) + "\n";
        fwrite(line.data(), 1, line.size(), stderr);
        if (f.code == kUsage) Usage();
        return f.code;
    }
}

}  // namespace

int main() {
    // LF only: the shell scripts compare the output as it is.
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i], 1252));
    LocalFree(argv);
    if (args.empty()) {
        Usage();
        return kUsage;
    }
    if (args[0] != "-") return RunOne(args);
    char buf[8192];
    while (fgets(buf, sizeof buf, stdin)) {
        std::vector<std::string> words = SplitLine(Ansi(buf));
        if (words.empty() || words[0][0] == '#') continue;
        int rc = RunOne(words);
        if (rc != kOk) return rc;
    }
    return kOk;
}
