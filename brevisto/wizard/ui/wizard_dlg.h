// The backup wizard TWizardDlg: a modal dialog with six child pages over WizardModel.
#pragma once
#include <string>

#include "brevisto/shell/wizard_result.h"
#include "platform/win32/win32_api.h"

namespace bv {
struct Platform;
}

namespace bv::ui {

// Shows the wizard for one backup (`backupKind` 0 full, 1 update) and returns how it ended.
// `paramFile` is the parameter file of an unattended run.
WizardResult RunWizardDialog(HWND owner, Platform& platform, int backupKind, bool autoRun,
                             const std::string& paramFile);

}  // namespace bv::ui
