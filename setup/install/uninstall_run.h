// The uninstall run: removes what the uninstall information lists (files, shortcuts,
// folders, registry entries, registered libraries) and finally itself. Headless; the window
// shows its four steps through an UninstallView and its questions go through the Prompter.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "setup/install/system_routines.h"
#include "setup/install/uninstall_info.h"

namespace bv {

enum class StepMark { Check, Cross };

// Steps 0..3: program files, data files, start menu and desktop, registry keys.
class UninstallView {
public:
    virtual ~UninstallView() = default;
    virtual void ShowStatusPanel() = 0;
    virtual void EnableButtons(bool enable) = 0;
    virtual void SetRunningStep(int step) = 0;  // its label bold; -1 none
    virtual void MarkStep(int step, StepMark mark) = 0;
    virtual void DisableStep(int step) = 0;
};

struct UninstallOptions {
    std::string ownProgram;          // the running program's file; the system's when empty
    std::string caption = "Setup";   // the window's caption, for the restart questions
    uint32_t startWaitMs = 120000;   // for "UninstallExe" to be ready for input
    uint32_t libraryLoopMs = 600000; // for the "UninstallLib" function to finish
};

enum class UninstallOutcome { Cancelled, Completed };

struct UninstallResult {
    UninstallOutcome outcome = UninstallOutcome::Cancelled;
    bool removeData = false;
    bool restartPending = false;            // something goes at the next restart
    std::vector<std::string> skipped;       // entries refused by the guards
    std::vector<std::string> leftOver;      // what could be neither removed nor scheduled
};

// The information file's path from the first argument: the text after "/UnInst:", quotes removed.
std::string UninstallInfoArgument(const std::string& argument);

// Drive and share roots, the Windows and system folders, Program Files, Common Files, the
// user's profile, desktop and program menu, and every folder above one of them.
bool IsProtectedFolder(const std::string& folder, const SetupFolders& folders);

class UninstallRun {
public:
    UninstallRun(Platform& p, const SetupFolders& folders, const UninstallData& data, const std::string& infoPath,
                 UninstallView& view, UninstallOptions options = UninstallOptions());

    UninstallResult Run();

private:
    void RunUninstallExe();
    void RunUninstallLib();
    // Clears the attributes and deletes; a file that stays is removed at the next restart.
    void RemoveFile(const std::string& path);
    void RemoveAtRestart(const std::string& path);
    void RemoveFilesIn(const std::string& folder);
    void RemoveFolderTree(const std::string& folder);
    void RemoveStartMenuFolder();
    void RemoveRegistryEntry(const std::string& entry);

    Platform& p_;
    SetupFolders folders_;
    UninstallData data_;
    std::string infoPath_;
    UninstallView& view_;
    UninstallOptions options_;
    UninstallResult result_;
    std::vector<std::string> scheduled_;
};

}  // namespace bv
