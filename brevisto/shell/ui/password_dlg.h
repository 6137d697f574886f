// The password dialog "Backup verschlüsseln" with its live strength bar.
#pragma once
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

// True when closed with OK; `password` then holds the first field's text.
bool RunPasswordDialog(HWND owner, Platform& platform, std::string& password);

}  // namespace bv::ui
