// The backup wizard TWizardDlg: a modal dialog with six child pages over WizardModel.
#pragma once
#include <string>

#include "brevisto/wizard/wizard_result.h"
#include "platform/win32/win32_api.h"

namespace bv {
struct Platform;
}

namespace bv::ui {

// The window property of a wizard hidden while the program is minimized; the main window
// shows such windows again when it is restored.
constexpr char kHiddenWithOwner[] = "BrevistoHiddenWithOwner";

// Shows the wizard for one backup (`backupKind` 0 full, 1 update) and returns how it ended.
// `paramFile` is the parameter file of an unattended run.
WizardResult RunWizardDialog(HWND owner, Platform& platform, int backupKind, bool autoRun,
                             const std::string& paramFile);

}  // namespace bv::ui
