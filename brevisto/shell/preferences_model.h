// The preferences dialog without its window: the values it shows, the rules of its fields,
// OK and Abbrechen. The window copies its controls into Values() before calling Save().
#pragma once
#include <string>
#include <vector>

#include "brevisto/shell/folder_check.h"
#include "platform/platform.h"

namespace bv {

extern const char* const kPreferencesCaption;  // "Brevisto - Einstellungen"
extern const char* const kOETabExplanation;
extern const char* const kTempFolderBrowseTitle;
extern const char* const kBackupFolderBrowseTitle;
// The drop-down list of "Priorität:", positions 0-3.
extern const char* const kPriorityItems[4];

enum class PrefTab { Folders = 0, Backups = 1, Window = 2, OutlookExpress = 3, Misc = 4 };
extern const char* const kPrefTabCaptions[5];  // "Ordner", "Backups", "Fenster", "Outlook Express", "Diverses"

// The ranges of the number fields and the slider.
struct NumberRange {
    int minimum;
    int maximum;
    int initial;
};
constexpr NumberRange kMaxBackupsRange{1, 99, 10};
constexpr NumberRange kUpdatePeriodRange{2, 60, 30};
constexpr NumberRange kCompressionRange{0, 9, 5};

struct PreferencesValues {
    std::string tmpFolder;
    std::string bakFolder;
    int maxBackups = kMaxBackupsRange.initial;
    int compression = kCompressionRange.initial;
    bool testBackup = true;
    bool askForPassword = false;
    bool stopProgram = false;
    bool noMessages = true;
    bool minimize = false;
    bool oeAutoClose = false;
    bool oeAutoStart = false;
    bool oeAutoStart2 = false;
    int updatePeriod = kUpdatePeriodRange.initial;
    int priority = 0;
    bool printAfterBackup = false;
    bool registerExtension = false;
};

enum class NumberField { MaxBackups, UpdatePeriod };

// A number field after a change: only its digits remain, "1" when none does; the caret keeps
// its place (within the new text).
struct NumberFieldText {
    std::string text;
    int caret = 0;
};
NumberFieldText FilterNumberField(const std::string& text, int caret);
// The text of a number field that is left: empty gives "1" (maximum backups) or "2" (days).
std::string NumberFieldOnExit(NumberField field, const std::string& text);
// The value an up-down takes from its field: the digits read as a number, held in the range.
int NumberFieldValue(NumberField field, const std::string& text);

class PreferencesModel {
public:
    explicit PreferencesModel(Platform& platform) : p_(platform) {}

    // On showing: every value from the settings with its default.
    void Load();
    PreferencesValues& Values() { return values_; }
    const PreferencesValues& Values() const { return values_; }
    // "Dateiendung registrieren" as it was when the dialog was shown.
    bool InitialRegisterExtension() const { return initialRegister_; }
    // "aber nur wenn OE automatisch geschlossen wurde" is enabled while "OEautoStart" is ticked.
    bool OEAutoStart2Enabled() const { return values_.oeAutoStart; }

    // "Hinweise einschalten": acts at once, also when the dialog is then cancelled.
    void ResetNotices();

    // A folder field that is left: a non-empty text goes through the folder check and the
    // field takes its result; an empty field is left alone (focusEdit false, folder empty).
    FolderCheckResult LeaveFolderField(const std::string& text);
    // The browse button of a folder field. True when `field` changed; `focusEdit` tells
    // whether the folder check wants the focus in the field.
    bool BrowseFolder(bool temporaryFolder, std::string& field, bool& focusEdit);

    // OK: writes every value and, when its tick changed, registers or removes the association.
    void Save();
    // The program path the association points to.
    std::string ProgramPath() const;

private:
    Platform& p_;
    PreferencesValues values_;
    bool initialRegister_ = false;
};

}  // namespace bv
