// The installer wizard without its window: eight pages, what each button does on which page,
// the folder checks and proposals, the options and the completion page's follow-up actions.
// The dialog shows the model's state and forwards the user's actions.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "setup/install/system_routines.h"

namespace bv {

enum WizardPage : int {
    kPageWelcome = 0,
    kPageLicence = 1,
    kPageTarget = 2,
    kPageOptions = 3,
    kPageProgramFolder = 4,
    kPageReady = 5,
    kPageInstall = 6,
    kPageDone = 7,
};
constexpr int kWizardPageCount = 8;

struct WizardPageText {
    const char* name;
    const char* info;
};
const WizardPageText& InstallPageText(int page);

// The window's part: it redraws from the model and carries out what only it can do.
class InstallWizardView : public InstallView {
public:
    virtual void PageChanged() = 0;           // page, header, buttons, boxes: read them again
    virtual void InstallFolderChanged() = 0;  // the field's text was set by the model
    virtual void FocusInstallFolder() = 0;
    virtual void FocusProgramFolder() = 0;
    virtual void CloseWizard() = 0;
};

struct WizardButton {
    std::string caption;
    bool enabled = true;
};

// Characters that a folder field does not accept.
bool IsRefusedFolderChar(char c);
// Upper case of Windows-1252 letters (umlauts included), independent of the locale.
std::string UpperCase1252(const std::string& text);
std::string LowerCase1252(const std::string& text);
// The folder the browse button yields for the picked folder `picked` ("" = cancelled).
std::string TargetFolderFor(const std::string& picked, const std::string& name);

class InstallWizardModel {
public:
    // `programFile` is the running program's path (its name gives the script's name).
    InstallWizardModel(Platform& p, const SetupFolders& folders, const std::string& programFile);

    // Reads the script and prepares the fields; false (after the message) when the script is
    // missing and the program is to end without a window.
    bool Create();
    void Attach(InstallWizardView* view) { view_ = view; }

    // The user's actions.
    void Start();  // shows page 0
    void Next();
    void Back();
    void Cancel();       // the Cancel button or Escape
    bool QueryClose();   // Alt+F4 and the like: true when the window may close
    bool LeaveInstallFolder();  // false: message shown, focus back
    bool LeaveProgramFolder();
    void Browse();
    // The folder browser's result for `name` with the title naming the default folder.
    std::string BrowseTargetFolder(const std::string& name);

    // State the window shows.
    int page() const { return page_; }
    const InstallScript& script() const { return script_; }
    const WizardButton& back() const { return back_; }
    const WizardButton& next() const { return next_; }
    const WizardButton& cancel() const { return cancel_; }
    const std::string& licenceText() const { return licence_; }
    const std::vector<std::string>& folderList() const { return folderList_; }
    int folderSelection() const { return folderSelection_; }
    bool autoRunVisible() const { return autoRunVisible_; }
    bool additionalVisible() const { return additionalVisible_; }
    bool readmeEnabled() const { return readmeEnabled_; }
    bool startEnabled() const { return startEnabled_; }
    bool closeConfirmation() const { return confirmClose_; }
    const InstallResult& result() const { return result_; }
    std::string iconPath() const;
    // The labels with the product's name, filled once.
    std::string welcomeName() const { return script_.applicationName; }
    std::string licenceQuestion() const;
    std::string targetText() const;
    std::string bottomLabel() const;

    // Fields and boxes the user edits; the window keeps them current.
    std::string installFolder;
    std::string programFolder;
    bool desktopLink = true;
    bool autoStart = true;
    bool additional = true;
    bool readme = false;
    bool startProgram = false;
    // The program copied as uninstaller; the running program unless set (tests).
    std::string setupProgram;

private:
    void SetPage(int page);
    void RunInstall();
    void Finish();
    bool AskClose();
    void Changed();

    Platform& p_;
    SetupFolders folders_;
    std::string programFile_;
    InstallWizardView* view_ = nullptr;
    InstallScript script_;
    std::string licence_;
    std::vector<std::string> folderList_;
    int folderSelection_ = -1;
    bool autoRunVisible_ = false;
    bool additionalVisible_ = false;
    bool readmeEnabled_ = false;
    bool startEnabled_ = false;
    bool confirmClose_ = true;
    int page_ = kPageWelcome;
    WizardButton back_, next_, cancel_;
    InstallResult result_;
    std::string installExe_;  // after the completion page's cut
};

}  // namespace bv
