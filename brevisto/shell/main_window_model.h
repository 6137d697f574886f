// The main window (TStartDlg) without its window: the start from the command line, the backup
// and viewer commands, the menu commands and the state other dialogs read. The window
// implements MainWindowView and calls the model from its handlers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "brevisto/shell/folder_check.h"
#include "brevisto/shell/main_menu.h"
#include "brevisto/shell/notices.h"
#include "brevisto/shell/preferences_model.h"
#include "brevisto/shell/unattended_prompter.h"
#include "brevisto/shell/wizard_result.h"
#include "platform/platform.h"

namespace bv {

// Who started the backup command: the two buttons (menu entries pass the matching button),
// the main window itself (the unattended start) or nobody ("auto&matisieren").
enum class BackupSender { CreateButton, UpdateButton, MainWindow, None };

// What the model asks of the window. Every modal call returns when its dialog has closed.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual void HideMainWindow() {}
    virtual void ShowMainWindow() {}
    // Closes the main window, which ends the program.
    virtual void CloseMainWindow() {}
    // Creates the backup wizard for the backup kind, shows it modally and releases it.
    virtual WizardResult RunWizardModally(int /*backupKind*/) { return {}; }
    virtual void RunViewerModally() {}
    virtual void RunPreferencesModally(PrefTab /*tab*/) {}
    // The system's printer set-up dialog; false when it failed (no printer).
    virtual bool RunPrinterSetup() { return false; }
    virtual void RunOutlookExpressSettingsModally() {}
    virtual void RunSystemSettingsModally() {}
    virtual void RunTransferModally() {}
    virtual void RunAboutModally() {}
    virtual NoticeAnswer RunNoticeDialog(const std::string& /*text*/) { return {}; }
    virtual void ShowHelpTopic(int /*topic*/) {}
};

extern const char* const kWindowsMailRefusalText;
extern const char* const kAutomateQuestionText;
extern const char* const kAutomateCaption;  // "Automatisiertes Backup"
extern const char* const kNoPrinterText;
extern const char* const kRegisterExtensionQuestion;

class MainWindowModel {
public:
    MainWindowModel(Platform& platform, MainWindowView& view);

    // State that other dialogs read.
    bool AutoRun = false;
    std::string ParamFilePath;
    std::string ViewerFilePath;
    int BackupKind = 0;  // 0 full, 1 update
    bool OEClosedByProgram = false;
    // The program's exit code: an unattended start that did not end in a good backup is not 0,
    // so a scheduled task shows the failure.
    int ExitCode = 0;

    // The creation step: reads the command line (arguments without the program), starts an
    // unattended backup or opens the viewer; ends by showing the main window unless a command
    // closed it.
    void Create(const std::vector<std::string>& args);

    // `SaveBtnClick`.
    void SaveBtnClick(BackupSender sender);
    // `MenuShowClick`.
    void MenuShowClick();
    // A menu entry or its shortcut.
    void ExecuteMenuCommand(MenuCommand command);

    bool CheckOutlookExpressVersion();
    // True when the backup must not start.
    bool CloseOutlookExpress();
    FolderCheckResult CheckTargetFolder(const std::string& folderText);
    // `ShowNotice`: nothing during an unattended run or when the flag is set.
    void ShowNotice(const std::string& flag, const std::string& text);

    // The main window was closed by a command (the program is ending).
    bool Closed() const { return closed_; }

private:
    void CloseMainWindow();
    // The refusals before the wizard; in an unattended start their boxes close by themselves.
    bool BackupMayStart();

    Platform& p_;
    MainWindowView& view_;
    UnattendedPlatform unattended_;
    bool closed_ = false;
};

}  // namespace bv
