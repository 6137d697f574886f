// The installer wizard's window: one dialog whose page controls are shown by page.
#pragma once
#include "setup/wizard/install_wizard_model.h"

namespace bv {

// Shows the wizard modally until it closes.
void RunInstallWizard(void* instance, InstallWizardModel& model);

}  // namespace bv
