// The preferences dialog TPrefDlg "Brevisto - Einstellungen": a tab control with five pages.
#pragma once
#include "brevisto/shell/preferences_model.h"
#include "platform/win32/win32_api.h"

namespace bv::ui {

// True when closed with OK; `values` (if given) then holds what was saved.
bool RunPreferencesDialog(HWND owner, Platform& platform, PrefTab tab, PreferencesValues* values = nullptr);

}  // namespace bv::ui
