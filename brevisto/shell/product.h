// Fixed texts, addresses, help topics and the special-edition layout of the application shell.
// The windows take every caption from here so that models and windows agree byte for byte.
#pragma once
#include <string>

namespace bv {

// ---- Titles ------------------------------------------------------------------------------
extern const char* const kMainWindowTitle;       // "Brevisto - Spezialversion - V" and the version
extern const char* const kApplicationTitle;      // "Brevisto - Datensicherung für Outlook Express"
extern const char* const kMessageCaption;        // "Brevisto"
extern const char* const kSpecialEditionInfo;    // label under the buttons
// The restore description as the special edition shows it (with the sibling's address).
std::string SpecialEditionRestoreText();

// ---- Buttons of the main window -------------------------------------------------------
extern const char* const kCreateButtonCaption;   // "Backup &anlegen         " (blanks kept)
extern const char* const kCreateButtonHint;
extern const char* const kUpdateButtonCaption;   // "Backup a&ktualisieren"
extern const char* const kUpdateButtonHint;
extern const char* const kRestoreButtonCaption;  // "Backup ein&spielen"
extern const char* const kRestoreButtonHint;
extern const char* const kCreateButtonDescription;

// The special-edition layout: hidden buttons, the create button's new place and the restore
// label's height. Menu entries carry their own "hidden" mark (main_menu.h).
struct SpecialEditionLayout {
    static constexpr int CreateButtonLeft = 215;
    static constexpr int CreateButtonTop = 90;
    static constexpr int RestoreLabelHeight = 80;
    static constexpr bool HideRestoreButton = true;
    static constexpr bool HideUpdateButton = true;
};
// Tabs of the system settings dialog that the layout hides.
extern const char* const kHiddenSystemSettingsTabs[3];  // "ActiveX", "Intruder", "Laufwerkszugriff"

// ---- Addresses ---------------------------------------------------------------------------
extern const char* const kProductUrl;        // product page, "index.html" with the query "bvq"
extern const char* const kSiblingProductUrl; // the sibling product's page, same form
extern const char* const kSupportMail;       // "mailto:" address for "E-Mail senden"
extern const char* const kMicrosoftSupportUrl;
extern const char* const kMakerMail;         // about box link
extern const char* const kMakerWebSite;      // about box link
extern const char* const kOutlookExpressProgram;  // "MSIMN.EXE"

// ---- Help ----------------------------------------------------------------------------------
extern const char* const kHelpFile;  // "hilfe.chm", beside the program
namespace HelpTopic {
constexpr int Main = 1000;
constexpr int WizardFull = 2000;
constexpr int WizardUpdate = 2500;
constexpr int Preferences = 10000;
constexpr int SystemSettings = 12000;
constexpr int SystemSettingsContext = 120000;  // F1 inside the system settings dialog
constexpr int Viewer = 13000;
constexpr int Transfer = 14000;
constexpr int TransferImport = 14002;  // the transfer dialog's follow-up page
}  // namespace HelpTopic
// The page of the help file for a topic number ("start.htm"); empty for an unknown topic.
// The help file is opened as hilfe.chm::/<page>.
std::string HelpPageForTopic(int topic);

}  // namespace bv
