// The system settings dialog "Systemeinstellungen - Sicherheit" (how Windows opens
// Visual Basic scripts). No visible menu entry leads here in this edition.
#pragma once
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

void RunSystemSettingsDialog(HWND owner, Platform& platform);

}  // namespace bv::ui
