// The system settings dialog: how Windows opens Visual Basic script files.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

extern const char* const kSystemSettingsCaption;   // "Systemeinstellungen - Sicherheit"
extern const char* const kVBScriptExplanation;
extern const char* const kOptionTextEditor;        // "durch Texteditor anzeigen lassen"
extern const char* const kOptionScriptHost;        // "WSH (Windows® Script Host) ausführen lassen"
extern const char* const kVbsMachineCommandKey;    // HKLM "SOFTWARE\Classes\VBSFile\Shell\Open\Command"
extern const char* const kVbsClassCommandKey;      // HKCR "VBSFile\Shell\Open\Command"
extern const char* const kEditorCommand;           // Notepad.exe "%1" %*
extern const char* const kScriptHostCommand;       // WScript.exe "%1" %*
extern const char* const kTestScriptName;          // "brevisto.vbs"

enum class VbsOption { TextEditor, ScriptHost };

class SystemSettingsModel {
public:
    explicit SystemSettingsModel(Platform& platform) : p_(platform) {}

    // On showing: reads both commands and selects the option; "Übernehmen" disabled.
    void Load();
    VbsOption Selected() const { return selected_; }
    bool ApplyEnabled() const { return applyEnabled_; }
    // A click on either option; enables "Übernehmen".
    void Select(VbsOption option);
    // "Übernehmen" and OK: writes both commands (failures are not reported), disables it.
    void Apply();
    // "Testen": writes the test script into the temporary folder and opens it; false when
    // the script could not be written or opened.
    bool Test();
    // The path the test script goes to.
    std::string TestScriptPath() const;

    static std::vector<std::string> TestScriptLines();

private:
    Platform& p_;
    VbsOption selected_ = VbsOption::TextEditor;
    bool applyEnabled_ = false;
};

}  // namespace bv
