// The command line of brevisto.exe: a parameter file (".bvt") starts an unattended backup,
// a backup file (".bvq") opens the viewer.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// Splits a Windows command line as the program's runtime does for its parameters: blanks and
// control characters separate, double quotes group and are dropped, no escapes. The first
// item (the program) is left out.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

struct StartArguments {
    bool AutoRun = false;
    std::string ParamFilePath;   // as the command line gave it (no long-name conversion yet)
    std::string ViewerFilePath;
};

// The two rules of the start: ".BVT" anywhere in the upper-cased first argument joins all
// arguments with blanks (trimmed) into the parameter file path; ".bvq" (exact case) in the
// first argument names a backup for the viewer and wins over a parameter file.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

// The backup kind a parameter file asks for: section "Backup", key "UPDATE"; "1" gives 1
// (update), anything else, also a missing key, 0 (full).
int ReadParamFileBackupKind(Platform& platform, const std::string& paramFilePath);

// "Die angegebene Taskplaner-Datei wurde nicht gefunden!..." ending with the path.
std::string MissingParamFileText(const std::string& pathFromCommandLine);

}  // namespace bv
