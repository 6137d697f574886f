// The transfer dialog TDBXtractDlg "Datentransfer von Outlook Express nach Windows (Live) Mail":
// a window around TransferModel.
#pragma once
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

void RunTransferDialog(HWND owner, Platform& platform);

}  // namespace bv::ui
