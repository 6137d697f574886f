// The backup viewer TShowDlg "Brevisto : Backup anschauen": a window around ViewerModel.
#pragma once
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

// `startFile` is the backup named on the command line, or empty.
void RunViewerDialog(HWND owner, Platform& platform, const std::string& startFile);

}  // namespace bv::ui
