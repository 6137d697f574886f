// Outlook Express must not run while its store is saved: the version check, closing it
// before a backup and starting it again afterwards.
#pragma once
#include <functional>
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kOutlookExpressWindowClass;  // "Outlook Express Browser Class"
extern const char* const kOutlookExpressCaption;      // "Outlook Express" (its prompts)
extern const char* const kOutlookExpressVersionKey;   // HKLM "SOFTWARE\Microsoft\Outlook Express\Version Info"
constexpr uint32_t kCloseTimeoutMs = 20000;
constexpr uint32_t kAnswerNoKey = 0x4E;  // 'N' answers a pending question with No

extern const char* const kOENotInstalledText;
extern const char* const kOEVersion4Text;
extern const char* const kOECannotCloseText;
extern const char* const kOEPleaseCloseText;

// True when Outlook Express 5 or later is installed; otherwise shows why and returns false.
bool CheckOutlookExpressVersion(Platform& platform);

// True when the backup must not start (a message has been shown). Sets `oeClosedByProgram`
// when it closed Outlook Express itself. `openPreferencesOnOETab` runs when the user wants the
// preferences to switch on the automatic closing.
bool CloseOutlookExpress(Platform& platform, bool& oeClosedByProgram,
                         const std::function<void()>& openPreferencesOnOETab);

// The restart rule after the wizard ("OEautoStart", "OEautoStart2").
bool ShouldRestartOutlookExpress(bool oeAutoStart, bool oeAutoStart2, bool oeClosedByProgram);
// Applies the rule with the stored settings; true when the start was attempted. A failed
// start is not reported.
bool RestartOutlookExpressIfWanted(Platform& platform, bool oeClosedByProgram);

}  // namespace bv
