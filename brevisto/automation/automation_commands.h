// The wizard's two commands that prepare an unattended backup: "Bat&ch-Datei" writes a
// batch file, "&Verknüpfung" a shell shortcut; both start the program with a parameter
// file holding the wizard's choices.
#pragma once
#include <string>

#include "brevisto/automation/parameter_file.h"
#include "platform/platform.h"

namespace bv {

// The batch file's one line (without its CR LF): program and parameter file in their
// short 8.3 forms, each quoted; a path without a short form stays as it is.
std::string BatchFileLine(Platform& platform, const std::string& programPath,
                          const std::string& parameterFilePath);
// Asks for the batch file's name, writes the parameter file and the batch file. False
// when cancelled or a file could not be written.
bool BatchFileCommand(Platform& platform, const AutomationChoices& choices);
// Asks for the shortcut's name (on the desktop), writes the parameter file and the
// shortcut; tells the user when the shortcut could not be created. False when cancelled
// or anything failed.
bool ShortcutCommand(Platform& platform, const AutomationChoices& choices);

}  // namespace bv
