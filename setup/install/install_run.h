// The install run: copies the script's files, creates shortcuts and registry entries and
// leaves the uninstaller with its information file. Headless; a window shows its progress
// through an InstallView and its questions go through the Prompter.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "setup/install/install_script.h"
#include "setup/install/system_routines.h"
#include "setup/install/uninstall_info.h"

namespace bv {

// What the wizard collected.
struct InstallChoices {
    std::string installFolder;  // as the user typed it
    std::string programFolder;  // the program folder's name in the start menu
    bool desktopLink = true;
    bool startMenuLink = true;
    bool autoStartVisible = false;
    bool autoStart = true;
    bool additionalVisible = false;
    bool additional = true;
};

class InstallView {
public:
    virtual ~InstallView() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetPercent(int percent) = 0;
};

// How a "ProgFiles" value wants its file installed.
enum class FileOption { None, RelativePath, OverwriteWarn, Exec, Register };

struct FileEntry {
    std::string file;
    FileOption option = FileOption::None;
    std::string text;  // the relative path, the question, or the folder before "EXEC"
};

// "file;option", both trimmed.
FileEntry ParseFileEntry(const std::string& value);

// Where one file goes and what the uninstaller learns of it.
struct CopyPlan {
    std::string source;
    std::string destination;
    std::string folderToCreate;  // empty when the destination's folder is the install folder
    std::string removablePath;   // the folder recorded for "[UnInstallPaths]", or empty
    bool record = true;          // the file is listed for removal
    bool valid = true;           // false: the entry points outside the install folder
};

CopyPlan PlanCopy(const FileEntry& entry, const std::string& setupFolder, const std::string& installFolder,
                  const std::vector<CopyDestination>& destinations);

// The uninstaller's path in the Windows folder: the script's name, or its stem numbered
// 0, 1, ... when taken; empty when no free name is found.
std::string ChooseUninstallerPath(Files& files, const std::string& windowsFolder, const std::string& fileName);

enum class InstallOutcome {
    Completed,     // installed (warnings, if any, were shown)
    FolderFailed,  // the install folder could not be created: back to the folder page
    Refused,       // nothing was touched (no uninstall name)
    Cancelled,     // the user stopped; what was installed is registered for removal
    InfoFailed,    // the uninstall information could not be written
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Refused;
    std::string installFolder;  // with trailing backslash
    std::string uninstallerPath;
    std::string infoPath;
    bool registered = false;      // the "Software" entry exists and points at both
    bool restartNeeded = false;   // files in use are replaced at the next restart
    std::string installExe;       // expanded, for the wizard's last page
    UninstallInfo info;
};

class InstallRun {
public:
    InstallRun(Platform& p, const SetupFolders& folders, const InstallScript& script, const InstallChoices& choices,
               InstallView& view);
    // The program copied as uninstaller; the running program unless set.
    std::string setupProgram;

    InstallResult Run();

private:
    void CopyFiles();
    void CreateShortcuts();
    void WriteRegistry();
    void RegisterUninstall();
    bool CopyFailed(const std::string& source, const std::string& destination);
    std::string LinkTarget(const std::string& target) const;
    bool MakeLink(const std::string& entry, const std::string& folder, int number);
    void SetString(RegRoot root, const std::string& path, const std::string& name, const std::string& value);

    Platform& p_;
    SetupFolders folders_;
    InstallScript script_;
    InstallChoices choices_;
    InstallView& view_;
    InstallResult result_;
    std::string programFolder_;  // in the start menu, without trailing backslash
    bool groupReady_ = false;
    int uninstallLink_ = -1;     // the "UNINSTALL" entry of the program folder
    std::string uninstallCaption_;
    bool cancelled_ = false;
    std::vector<std::string> registeredLibraries_;
    std::vector<std::string> createdKeys_;
    std::vector<std::string> warnings_;
    std::string autoRunName_;
};

}  // namespace bv
