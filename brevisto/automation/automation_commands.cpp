#include "brevisto/automation/automation_commands.h"

#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const kAutomationNotSetUpLine = "Das automatisierte Backup wurde nicht eingerichtet.";

namespace {

// The short form of an existing path; the path itself where there is none.
std::string ShortOrLong(Files& files, const std::string& path) {
    std::string shortPath = files.ShortPath(path);
    return shortPath.empty() ? path : shortPath;
}

// The save dialog; false when cancelled or confirmed without a name.
bool AskFileName(Platform& platform, const std::string& title, const std::string& filter,
                 const std::string& defaultExt, const std::string& initialFolder,
                 std::string& chosen) {
    chosen.clear();
    return platform.prompter.SaveFileName(title, filter, defaultExt, initialFolder, chosen) &&
           !chosen.empty();
}

// The parameter file for the command's chosen name; empty after telling the user it
// could not be written (no half-written file stays).
std::string WriteParameterFileOrSay(Platform& platform, const AutomationChoices& choices,
                                    const std::string& chosen) {
    const std::string path = ParameterFilePath(platform, choices.backupFolder, ExtractFileName(chosen));
    if (WriteParameterFileAt(platform, choices, path)) return path;
    ShowMsgBox(platform.prompter, ParameterFileNotWrittenText(path), "Brevisto", mkError, bsOk);
    return std::string();
}

}  // namespace

std::string ParameterFileNotWrittenText(const std::string& path) {
    return "Die Parameterdatei \"" + path + "\" konnte nicht geschrieben werden!\r" + kAutomationNotSetUpLine;
}

std::string BatchFileNotWrittenText(const std::string& path) {
    return "Die Batch-Datei \"" + path + "\" konnte nicht geschrieben werden!\r" + kAutomationNotSetUpLine;
}

std::string BatchFileLine(Platform& platform, const std::string& programPath,
                          const std::string& parameterFilePath) {
    return "\"" + ShortOrLong(platform.files, programPath) + "\" \"" +
           ShortOrLong(platform.files, parameterFilePath) + "\"";
}

bool BatchFileCommand(Platform& platform, const AutomationChoices& choices) {
    std::string chosen;
    if (!AskFileName(platform, "Geben Sie den Namen der Batch-Datei an:",
                     "BATCH-Dateien (*.bat)|*.bat|Alle Dateien (*.*)|*.*", "bat",
                     ExpandPath(platform.shell, choices.backupFolder, true), chosen)) {
        return false;
    }
    const std::string parameterFile = WriteParameterFileOrSay(platform, choices, chosen);
    if (parameterFile.empty()) return false;

    const std::string batchFile = ChangeFileExt(chosen, ".bat");
    if (WriteTextLines(platform.files, batchFile,
                       {BatchFileLine(platform, platform.system.ProgramFile(), parameterFile)})) {
        return true;
    }
    ShowMsgBox(platform.prompter, BatchFileNotWrittenText(batchFile), "Brevisto", mkError, bsOk);
    return false;
}

bool ShortcutCommand(Platform& platform, const AutomationChoices& choices) {
    TPathComponent places(platform);
    std::string chosen;
    if (!AskFileName(platform, "Geben Sie die Bezeichnung der Verknüpfung an:",
                     "Verknüpfung (*.lnk)|*.lnk|Alle Dateien (*.*)|*.*", "lnk",
                     ExpandPath(platform.shell, places.ShellDesktopFolder(), true), chosen)) {
        return false;
    }
    // A parameter file that could not be written has said so; the shortcut is not at fault.
    const std::string parameterFile = WriteParameterFileOrSay(platform, choices, chosen);
    if (parameterFile.empty()) return false;

    std::string longPath = platform.files.LongPath(parameterFile);
    if (longPath.empty()) longPath = parameterFile;
    ShortcutRequest request;
    request.target = platform.system.ProgramFile();
    request.arguments = "\"" + longPath + "\"";
    request.workingFolder = places.ProgramPath();
    request.description = "Brevisto";
    request.iconPath = request.target;
    request.iconIndex = 0;
    request.linkPath = ExcludeTrailingBackslash(ExtractFilePath(chosen)) + "\\" +
                       ChangeFileExt(ExtractFileName(chosen), ".lnk");
    const bool created = platform.shell.CreateShortcut(request);
    if (!created) {
        ShowMsgBox(platform.prompter,
                   "Verknüpfung konnte nicht erstellt werden!\rNutzen Sie daher bitte die Batch-Datei...",
                   "Brevisto", mkError, bsOk);
    }
    return created;
}

}  // namespace bv
