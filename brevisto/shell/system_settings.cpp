#include "brevisto/shell/system_settings.h"

#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "platform/ansi.h"

namespace bv {

const char* const kSystemSettingsCaption = "Systemeinstellungen - Sicherheit";
const char* const kVBScriptExplanation =
    "In letzter Zeit häufen sich im Internet E-Mails mit Datei-Anhängen. Werden diese Anhänge "
    "ausgeführt, die in Wirklichkeit Visual Basic® Scripte sind, offenbart sich ein gemeiner "
    "Virus.\r\n \r\nGehen Sie dem aus dem Weg, indem Sie das Ausführen solcher Scripte über das "
    "WSH (Windows® Script Host) deaktivieren und stattdessen einen Texteditor starten lassen.";
const char* const kOptionTextEditor = "durch Texteditor anzeigen lassen";
const char* const kOptionScriptHost = "WSH (Windows® Script Host) ausführen lassen";
const char* const kVbsMachineCommandKey = "SOFTWARE\\Classes\\VBSFile\\Shell\\Open\\Command";
const char* const kVbsClassCommandKey = "VBSFile\\Shell\\Open\\Command";
const char* const kEditorCommand = "Notepad.exe \"%1\" %*";
const char* const kScriptHostCommand = "WScript.exe \"%1\" %*";
const char* const kTestScriptName = "brevisto.vbs";

namespace {
constexpr int kLocalMachine = 2;
constexpr int kClassesRoot = 3;

bool NamesScriptHost(const std::string& command) {
    return AnsiUpperCase(command).find("WSCRIPT.EXE") != std::string::npos;
}
}  // namespace

void SystemSettingsModel::Load() {
    const std::string machine = ReadRegString(p_.registry, kLocalMachine, kVbsMachineCommandKey, "");
    const std::string perClass = ReadRegString(p_.registry, kClassesRoot, kVbsClassCommandKey, "");
    // The machine-wide command decides first: once it points to an editor, scripts are safe.
    if (!NamesScriptHost(machine))
        selected_ = VbsOption::TextEditor;
    else if (NamesScriptHost(perClass))
        selected_ = VbsOption::ScriptHost;
    else
        selected_ = VbsOption::TextEditor;
    applyEnabled_ = false;
}

void SystemSettingsModel::Select(VbsOption option) {
    selected_ = option;
    applyEnabled_ = true;
}

void SystemSettingsModel::Apply() {
    const std::string command =
        selected_ == VbsOption::TextEditor ? kEditorCommand : kScriptHostCommand;
    // Without administrator rights the machine-wide key stays as it was; not reported.
    WriteRegString(p_.registry, kLocalMachine, kVbsMachineCommandKey, "", command);
    WriteRegString(p_.registry, kClassesRoot, kVbsClassCommandKey, "", command);
    applyEnabled_ = false;
}

std::string SystemSettingsModel::TestScriptPath() const {
    return ExpandPath(p_.shell, p_.system.TempPath(), true) + kTestScriptName;
}

bool SystemSettingsModel::Test() {
    const std::string path = TestScriptPath();
    if (!WriteTextLines(p_.files, path, TestScriptLines())) return false;
    return p_.shell.OpenDocument(path);
}

std::vector<std::string> SystemSettingsModel::TestScriptLines() {
    return {
        "' Brevisto-Test : Test der Systemeinstellung",
        "'",
        "' Wenn Sie diese Zeilen in einem Texteditor lesen, können bei Ihnen",
        "' keine Visual Basic® Scripte ausgeführt werden.",
        "'",
        "' Es gilt trotzdem: Installieren Sie sich einen Virenscanner!",
        "' Öffnen Sie keine E-Mail-Anhänge von Personen, die Sie nicht ",
        "' kennen! Nur so schützen Sie sich vor Viren und Dialern!",
        "'",
        "' Quillmar Software - http://www.quillmar.de/",
        "'",
        "'                ",
        "WScript.Echo \"ACHTUNG!!! Windows® Shell Script (WSH) ist aktiv und kann Visual Basic® "
        "Scripte ausführen!\"",
    };
}

}  // namespace bv
