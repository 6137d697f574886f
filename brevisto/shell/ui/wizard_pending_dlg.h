// Stands in for the backup wizard until it exists: the command's flow around it (hide the
// main window, the wizard, Outlook Express restart, show or close) is already the real one.
#pragma once
#include "platform/win32/win32_api.h"

namespace bv::ui {

void RunPendingWizard(HWND owner, int backupKind, bool autoRun);
void RunOutlookExpressOptionsDialog(HWND owner);

}  // namespace bv::ui
