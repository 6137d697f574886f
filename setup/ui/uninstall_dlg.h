// The uninstaller's window: the product's text, one button that removes, four steps.
#pragma once
#include "setup/wizard/uninstall_window_model.h"

namespace bv {

// Shows the window modally until it closes.
void RunUninstallWindow(void* instance, UninstallWindowModel& model);

}  // namespace bv
