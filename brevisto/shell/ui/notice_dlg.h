// The notice dialog "Hinweis" with its "Hinweis nicht noch einmal anzeigen" box.
#pragma once
#include <string>

#include "brevisto/shell/notices.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

NoticeAnswer RunNoticeDialog(HWND owner, const std::string& text);

}  // namespace bv::ui
