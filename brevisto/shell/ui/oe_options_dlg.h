// "Microsoft® Outlook Express anpassen": the dialog of the menu entry, without settings of its
// own in this edition.
#pragma once
#include "platform/win32/win32_api.h"

namespace bv::ui {

void RunOutlookExpressOptionsDialog(HWND owner);

}  // namespace bv::ui
