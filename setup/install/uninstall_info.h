// The uninstall information file that the install run leaves in the Windows folder and the
// uninstaller works from: what was installed, where, and how to undo it. CR LF lines.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// A list line whose number is the entry's position in the run's own list, so numbers may
// have gaps ("F0", "F2": the file between was not recorded).
struct NumberedEntry {
    int number = 0;
    std::string value;
};

// What the install run writes.
struct UninstallInfo {
    std::string applicationName;
    std::string instPath;         // the install folder as the user entered it
    std::string startMenuFolder;  // the program folder in the start menu
    DateTime created;
    std::vector<NumberedEntry> files;     // [UnInstallFiles] "F" + n
    std::vector<NumberedEntry> links;     // [UnInstallLinks] "SL" + n
    std::vector<std::string> paths;       // [UnInstallPaths] "UP" + n, from 0
    std::vector<NumberedEntry> registry;  // [UnInstallRegistrySettings] "VAL" + n
    std::vector<std::string> libraries;   // [UninstallLibs] "VAL" + (10 + n)
    std::string uninstallExe;
    std::string uninstallLib;
};

// The file's text, byte for byte.
std::string FormatUninstallInfo(const UninstallInfo& info);

// Writes the file and makes it read-only. A file that cannot be created has its read-only
// attribute cleared and is tried once more.
bool WriteUninstallInfo(Files& files, const std::string& path, const UninstallInfo& info);

// What the uninstaller reads; lists in the order their keys stand, empty values left out.
struct UninstallData {
    std::string instPath;
    std::string applicationName;
    std::string startMenuFolder;
    std::vector<std::string> files;
    std::vector<std::string> links;
    std::vector<std::string> paths;
    std::vector<std::string> registry;
    std::vector<std::string> libraries;
    std::string uninstallExe;
    std::string uninstallLib;
    // Everything the file holds was read (a read error part-way would drop entries unseen).
    bool complete = false;
};

// A missing or unreadable file leaves everything empty (false).
bool ReadUninstallInfo(Platform& p, const std::string& path, UninstallData& data);

// The path of the information file in `windowsFolder` for an uninstall name (blanks removed):
// name + "_Uninstall.in", or name + "0" + "_Uninstall.in", "1", ... when taken; empty when
// every number up to 32767 is taken.
std::string ChooseUninstallInfoPath(Files& files, const std::string& windowsFolder, const std::string& name);

}  // namespace bv
