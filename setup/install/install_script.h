// The installer script ("Setup.in" beside SETUP.EXE): the product's name, the files to
// install, shortcuts, registry entries and what the uninstaller has to undo. The script is
// data; one setup program serves any product.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// One line of the "CopyDestination" section: a file that goes to another folder.
struct CopyDestination {
    std::string file;    // the key: the file name as "ProgFiles" gives it
    std::string folder;  // the value (placeholders allowed)
};

// Everything the script says, as read; a missing key is empty. List sections hold their
// values in the order in which the keys stand (the key names themselves are free, so
// numbering gaps such as F1, F2, F5 mean nothing); empty values are left out.
struct InstallScript {
    // [InstallInfo]
    std::string applicationName;
    std::string defaultTargetFolder;
    std::string defaultUninstallFileName;  // key "DefaultUnistallFileName", spelt so in scripts
    std::string appExeName;
    std::string iconFile;
    std::string helpFile;
    std::string uninstallName;

    std::vector<std::string> progFiles;        // [ProgFiles]
    std::vector<CopyDestination> copyDestinations;  // [CopyDestination]
    std::vector<std::string> additionalFiles;  // [AdditionalFiles]
    std::vector<std::string> defaultDelFiles;  // [DefaultDelFiles]

    // [Options]
    std::string licenceFile;
    std::string updateRegKey;
    std::string autoRun;
    std::string additionalComment;
    std::string additionalOption;
    std::string additionalInfoFile;

    std::vector<std::string> createRegKeys;  // [CreateRegKeys]

    // [AddLink]
    std::string desktopLink;
    std::string startMenuLink;
    std::string programGroup;

    std::vector<std::string> programGroupLinks;  // [ProgramGroupLink]
    std::vector<std::string> uninstallRegKeys;   // [UninstallRegKeys]
    std::vector<std::string> uninstallLibs;      // [UninstallLibs]

    // [AutoRun]
    std::string installExe;
    std::string installLib;
    std::string uninstallExe;
    std::string uninstallLib;
};

enum class ScriptReadResult {
    Ok,
    Missing,     // the script does not exist
    NotCopied,   // no working copy could be made in the temporary folder
};

// The system temporary folder with trailing backslash; the Windows folder when the system
// names none.
std::string SetupTempFolder(Platform& p);

// Reads the script. It is read from a copy in the temporary folder (same name, or with the
// extension ".in1" when that copy fails), made writable first, because the ini access
// clears a read-only attribute and the original may lie on a CD. The copy is deleted again.
ScriptReadResult ReadInstallScript(Platform& p, const std::string& scriptPath, InstallScript& script);

// Replaces the placeholders for the install run: "%INSTDIR%" (install folder without
// trailing backslash) and "%COMMON_FILES%" (common files folder without trailing backslash)
// wherever they occur in the commands, registry entries, destinations and libraries that
// take them, and the first "%ProgDir%" (install folder with trailing backslash) of every
// shortcut entry. Names match without regard to case; any other %...% text stays as it is.
// In "InstallExe" every "," then becomes a blank.
void ExpandScriptPlaceholders(InstallScript& script, const std::string& installFolder,
                              const std::string& commonFilesFolder);

// Replaces every occurrence of `placeholder` (case-insensitive) by `value`; text that
// `value` brings in is not searched again.
std::string ReplacePlaceholder(const std::string& text, const std::string& placeholder,
                               const std::string& value, bool firstOnly = false);

}  // namespace bv
