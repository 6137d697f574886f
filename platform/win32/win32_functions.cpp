#include "platform/win32/win32_functions.h"

#include <vector>

namespace bv::win32 {

std::string SystemLibraryPath(const char* module) {
    char folder[MAX_PATH];
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string path(folder, n);
    if (path.back() != '\\') path += '\\';
    return path + module;
}

HMODULE LoadSystemLibrary(const char* module, DWORD flags) {
    const std::string path = SystemLibraryPath(module);
    if (path.empty()) return nullptr;
    return flags ? LoadLibraryExA(path.c_str(), nullptr, flags) : LoadLibraryA(path.c_str());
}

void* FindWindowsFunction(const char* module, const char* name) {
    HMODULE handle = GetModuleHandleA(module);
    if (!handle) handle = LoadSystemLibrary(module);
    if (!handle) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
}

bool IsWin9x() {
    // The high bit of GetVersion is set on the 9x line only.
    return (::GetVersion() & 0x80000000u) != 0;
}

bool IsWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

LPITEMIDLIST PathIdList(HWND owner, const std::string& path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return nullptr;
    std::wstring wide = AnsiToWide(path);
    std::vector<wchar_t> name(wide.begin(), wide.end());
    name.push_back(L'\0');
    LPITEMIDLIST list = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop->ParseDisplayName(owner, nullptr, name.data(), &eaten, &list, nullptr))) list = nullptr;
    desktop->Release();
    return list;
}

void FreeIdList(LPITEMIDLIST list) {
    if (!list) return;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(list);
        allocator->Release();
    }
}

}  // namespace bv::win32
