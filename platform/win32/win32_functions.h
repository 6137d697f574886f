// Functions that Windows 95 or NT 4 lack are looked up at run time instead of being
// imported, so the program still starts there. The pointer type comes from the
// SDK's own declaration, so a lookup cannot disagree with the real signature:
//
//   static const auto getFree = GET_WINDOWS_FUNCTION("kernel32.dll", GetDiskFreeSpaceExA);
//   if (getFree) ...
#pragma once
#include <string>

#include "platform/win32/win32_api.h"

namespace bv::win32 {

// A system library loaded by its full path in the system folder: a bare name would be
// searched in the current folder first on older Windows, and the backup run makes the
// temporary folder current. `flags` as for LoadLibraryEx (0: an ordinary load).
HMODULE LoadSystemLibrary(const char* module, DWORD flags = 0);
std::string SystemLibraryPath(const char* module);

// The function's address, or null when the module or the function is missing.
// A module that is not yet loaded is loaded from the system folder and stays loaded.
void* FindWindowsFunction(const char* module, const char* name);

template <typename F>
F WindowsFunction(const char* module, const char* name) {
    return reinterpret_cast<F>(FindWindowsFunction(module, name));
}

// Windows 95, 98 and ME (no security, no Unicode registry, stubs for many calls).
bool IsWin9x();
// Running under Wine (for the few places where Wine differs from Windows).
bool IsWine();

// ANSI (system code page) <-> UTF-16 for the calls that only take wide strings.
std::wstring AnsiToWide(const std::string& text);

// The shell's item identifier list of a path, parsed by the desktop folder; null when the
// path does not exist. Free it with FreeIdList.
LPITEMIDLIST PathIdList(HWND owner, const std::string& path);
// Frees an item identifier list with the shell's allocator (Windows 95 has no
// CoTaskMemFree contract for it); null is allowed.
void FreeIdList(LPITEMIDLIST list);

}  // namespace bv::win32

#define GET_WINDOWS_FUNCTION(module, name) \
    (::bv::win32::WindowsFunction<decltype(&::name)>(module, #name))
