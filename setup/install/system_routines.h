// The system routines of the installer and the uninstaller: where the Windows, program and
// menu folders are, registry strings, folder creation, replacing files that are in use.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

// The folders both roles work with, resolved once; tests may point them elsewhere.
struct SetupFolders {
    std::string setup;         // the running program's folder, with trailing backslash
    std::string temp;          // with trailing backslash
    std::string windows;       // without trailing backslash
    std::string system;        // without trailing backslash
    std::string desktop;       // without trailing backslash
    std::string programsMenu;  // without trailing backslash
    std::string programFiles;  // without trailing backslash
    std::string commonFiles;   // with trailing backslash, or empty
    std::string profile;       // the user's profile folder without trailing backslash, or empty
};

SetupFolders ResolveSetupFolders(Platform& p);

std::string WindowsFolder(Platform& p);
// "Shell Folders" of the current user, with the Windows folder's defaults.
std::string DesktopFolder(Platform& p);
std::string ProgramsMenuFolder(Platform& p);
std::string ProgramFilesFolder(Platform& p);
std::string CommonFilesFolder(Platform& p);

// "ROOT\key path;value name": the string value (at most 1023 bytes), or empty when the
// root is not recognised or the key or value cannot be read.
std::string ReadRegistryValue(Registry& registry, const std::string& location);
// Writes a REG_SZ value; the key must exist. Win32 error number.
long WriteRegistryString(Registry& registry, RegRoot root, const std::string& path, const std::string& name,
                         const std::string& value);

// Creates every missing level of a drive path (C:\a\b) or UNC path (\\server\share\a). A level
// is present if it can be created or made the current folder; the current folder is put back.
bool CreatePath(Files& files, const std::string& folder);

// Replaces `target` by `source` although the target is in use, or with the target "NUL"
// deletes `source`, at the latest at the next restart. NT: the ".new"/".old" renames (the old
// file goes at the restart) or a move registered for the restart; 9x: a line in the
// "[rename]" section of WININIT.INI in the Windows folder.
bool ReplaceFileOnRestart(Platform& p, const std::string& windowsFolder, const std::string& source,
                          const std::string& target);

// The text of WININIT.INI with `line` added to its "[rename]" section (CR LF lines).
std::string AddWininitRename(const std::string& content, const std::string& line);

// Registers or unregisters a COM server library; errors are ignored.
void RegisterLibrary(System& system, const std::string& library);
void UnregisterLibrary(System& system, const std::string& library);

// Whole files through Files. Reading stops at the first error (false).
bool ReadWholeFile(Files& files, const std::string& path, std::string& content);
bool WriteWholeFile(Files& files, const std::string& path, const std::string& content);

}  // namespace bv
