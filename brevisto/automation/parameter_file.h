// The parameter file (".BVT") of an unattended backup: the wizard writes the choices of
// one identity into it, a batch file or shortcut starts the program with it, and the
// unattended run reads it back. An ini file in the program's own layout:
//   [Identity] Name, MailPath, GID    [Setup] TempPath, SavePath, Passwort
//   [Backup] UPDATE                   [AllFolders] ALL, or [Folders] and [FoldersRealName] F<n>
//   [OESetup] OE0..OE10               [IESetup] IE0
#pragma once
#include <array>
#include <string>
#include <vector>

#include "brevisto/backup/backup_run.h"
#include "brevisto/settings/identity_scanner.h"
#include "platform/platform.h"

namespace bv {

// What the wizard hands the writer.
struct AutomationChoices {
    TIdentitaet identity;      // Username, KeyName (with its backslashes), StoreRoot
    std::string tempFolder;
    std::string backupFolder;
    std::string password;      // plain
    int backupKind = 0;        // 0 full, 1 update
    // [AllFolders] ALL=1 instead of the folder sections; update backups always have it.
    bool allFolders = false;
    struct Folder {
        int position;             // in the folder tree, 0-based, every entry counted
        std::string fileName;     // DBX file name without folder
        std::string displayName;
    };
    // The ticked folders whose file exists, in tree order.
    std::vector<Folder> folders;
    std::array<bool, kSaveOptionCount> save{};  // by SaveOption
};

// What the unattended run reads.
struct ParameterFile {
    TIdentitaet identity;  // Index 0, Username, KeyName, StoreRoot
    std::string backupFolder;
    std::string password;
    // "Passwort" is no Base64 text: reading stopped there and the run must fail.
    bool passwordUnreadable = false;
    bool allFolders = false;
    std::vector<std::string> folderNames;       // display names of the listed folders
    std::vector<MailFolderChoice> autoFolders;  // those whose file exists: full path + name
    bool optionsRead = false;
    std::array<bool, kSaveOptionCount> save{};
};

// Where the parameter file for the batch file or shortcut `baseName` goes: the folder
// "Brevisto\parameter\" of the user's application data (created if missing), or the
// backup folder when that cannot be had; the extension is ".BVT".
std::string ParameterFilePath(Platform& platform, const std::string& backupFolder,
                              const std::string& baseName);
// Replaces any old file by one with the choices; returns its path, or empty when the
// file could not be written.
std::string WriteParameterFile(Platform& platform, const AutomationChoices& choices,
                               const std::string& baseName);
// The same at exactly `path` (the command-line tool names the file itself); false when
// the file could not be written.
bool WriteParameterFileAt(Platform& platform, const AutomationChoices& choices,
                          const std::string& path);
// Reads the file for the unattended run. Marks the identity's changed mail files as the
// wizard does when it fills its folder tree.
ParameterFile ReadParameterFile(Platform& platform, const std::string& path);

}  // namespace bv
