#include "brevisto/automation/automation_commands.h"

#include "brevisto/settings/settings_store.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {
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

}  // namespace

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
    const std::string parameterFile = WriteParameterFile(platform, choices, ExtractFileName(chosen));
    if (parameterFile.empty()) return false;

    const std::string text = BatchFileLine(platform, platform.system.ProgramFile(), parameterFile) + "\r\n";
    auto stream = platform.files.Open(ChangeFileExt(chosen, ".bat"), OpenMode::CreateAlways);
    if (!stream) return false;
    bool ok = stream->Write(text.data(), text.size());
    return stream->Close() && ok;
}

bool ShortcutCommand(Platform& platform, const AutomationChoices& choices) {
    TPathComponent places(platform);
    std::string chosen;
    if (!AskFileName(platform, "Geben Sie die Bezeichnung der Verknüpfung an:",
                     "Verknüpfung (*.lnk)|*.lnk|Alle Dateien (*.*)|*.*", "lnk",
                     ExpandPath(platform.shell, places.ShellDesktopFolder(), true), chosen)) {
        return false;
    }
    const std::string parameterFile = WriteParameterFile(platform, choices, ExtractFileName(chosen));

    bool created = false;
    if (!parameterFile.empty()) {
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
        created = platform.shell.CreateShortcut(request);
    }
    if (!created) {
        ShowMsgBox(platform.prompter,
                   "Verknüpfung konnte nicht erstellt werden!\rNutzen Sie daher bitte die Batch-Datei...",
                   "Brevisto", mkError, bsOk);
    }
    return created;
}

}  // namespace bv
