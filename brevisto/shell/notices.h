// Notices the user can switch off for good: each has an "again_" flag in the settings.
#pragma once
#include <functional>
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kNoticeCaption;        // "Hinweis"
extern const char* const kNoticeCheckBoxText;   // "Hinweis nicht noch einmal anzeigen"
extern const char* const kAgainPassword;        // "again_password"
extern const char* const kAgainDontDelMain;     // "again_dontdelmain"
extern const char* const kAgainBvqHandle;       // "again_bvqhandle"
extern const char* const kNoticePasswordText;
extern const char* const kNoticeDontDelMainText;

// What the notice dialog reports when it closes.
struct NoticeAnswer {
    bool ok = false;             // closed with OK
    bool dontShowAgain = false;  // "Hinweis nicht noch einmal anzeigen" ticked
};
// Shows the dialog modally with the text and an unticked check box.
using NoticeDialog = std::function<NoticeAnswer(const std::string& text)>;

// An unattended run and a set flag suppress the notice.
bool NoticeWanted(Platform& platform, bool autoRun, const std::string& flag);
// `ShowNotice`: true when the dialog was shown. OK with the box ticked sets the flag.
bool ShowNotice(Platform& platform, bool autoRun, const std::string& flag,
                const std::string& text, const NoticeDialog& dialog);

// Sets every "again_" value of the settings key (exact case) to false.
void ResetNotices(Platform& platform);

}  // namespace bv
