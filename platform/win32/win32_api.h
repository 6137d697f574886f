// The Windows headers as the Win32 backend uses them. The SDK defines macros
// (CreateDirectory, DeleteFile, MessageBox, ...) that would rename the seam's
// methods, so they are removed here; the backend always calls the ...A functions.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wincrypt.h>
#include <winnetwk.h>

#undef AnsiToOem
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef GetEnvironment
#undef MessageBox
#undef MoveFile
#undef OemToAnsi
#undef RemoveDirectory
#undef SetCurrentDirectory
