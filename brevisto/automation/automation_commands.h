// The wizard's two commands that prepare an unattended backup: "Bat&ch-Datei" writes a
// batch file, "&Verknüpfung" a shell shortcut; both start the program with a parameter
// file holding the wizard's choices.
#pragma once
#include <string>

#include "brevisto/automation/parameter_file.h"
#include "platform/platform.h"

namespace bv {

// The errors of the two commands when a file cannot be written.
extern const char* const kAutomationNotSetUpLine;
std::string ParameterFileNotWrittenText(const std::string& path);
std::string BatchFileNotWrittenText(const std::string& path);

// The batch file's one line (without its CR LF): program and parameter file in their
// short 8.3 forms, each quoted; a path without a short form stays as it is.
std::string BatchFileLine(Platform& platform, const std::string& programPath,
                          const std::string& parameterFilePath);
// Asks for the batch file's name, writes the parameter file and the batch file. False
// when cancelled or a file could not be written (the user is told which).
bool BatchFileCommand(Platform& platform, const AutomationChoices& choices);
// Asks for the shortcut's name (on the desktop), writes the parameter file and the
// shortcut; tells the user when the parameter file could not be written or the shortcut
// could not be created. False when cancelled or anything failed.
bool ShortcutCommand(Platform& platform, const AutomationChoices& choices);

}  // namespace bv
