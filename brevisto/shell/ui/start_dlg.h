// The main window TStartDlg: a modeless dialog of its own class "TStartDlg" that lives for the
// whole run. The rules of its commands are in MainWindowModel; this is the window around it.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/shell/main_window_model.h"
#include "brevisto/shell/ui/ui_support.h"

namespace bv::ui {

// Shows the backup wizard modally. The program's entry point hands it in: the wizard builds
// on the shell, so the main window does not reach up into it.
using WizardRunner = std::function<WizardResult(HWND owner, Platform& platform, int backupKind,
                                                bool autoRun, const std::string& paramFile)>;

class TStartDlg : public Dialog, public MainWindowView {
public:
    TStartDlg(Platform& platform, WizardRunner runWizard);
    ~TStartDlg() override;

    // Registers the window class and creates the (hidden) window.
    bool Create();
    // Shows the window and runs the creation step with the command line's arguments.
    void Start(const std::vector<std::string>& args);
    // Accelerators and dialog keys of the main window; true when the message was used.
    bool PreTranslate(MSG& message);

    MainWindowModel& Model() { return model_; }

    // MainWindowView
    void HideMainWindow() override;
    void ShowMainWindow() override;
    void CloseMainWindow() override;
    WizardResult RunWizardModally(int backupKind) override;
    void RunViewerModally() override;
    void RunTransferModally() override;
    void RunPreferencesModally(PrefTab tab) override;
    bool RunPrinterSetup() override;
    void RunOutlookExpressSettingsModally() override;
    void RunSystemSettingsModally() override;
    void RunAboutModally() override;
    NoticeAnswer RunNoticeDialog(const std::string& text) override;
    void ShowHelpTopic(int topic) override;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowWindowsHiddenWithThis();
    void OnInit();
    void BuildMenu();
    void OnCommand(int id);

    Platform& p_;
    WizardRunner runWizard_;
    MainWindowModel model_;
    HACCEL accelerators_ = nullptr;
    HGLOBAL printerDevMode_ = nullptr;
    HGLOBAL printerDevNames_ = nullptr;
    HBITMAP sidePicture_ = nullptr;  // scaled for the screen density
};

// The special-edition layout of the main window: hidden menu entries (shortcuts stay),
// hidden buttons, the create button's place and the restore label.
void ApplySpecialEditionLayout(HWND mainWindow);
// For a dialog opened from the main window: the layout of its owner, when that is the main
// window.
void ApplySpecialEditionLayoutToOwner(HWND dialog);

}  // namespace bv::ui
