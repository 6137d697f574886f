// The about box "Info".
#pragma once
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

void RunAboutDialog(HWND owner, Platform& platform);

}  // namespace bv::ui
