// The backup wizard TWizardDlg without its window: six pages from the choice of the identity
// to the report, the checks on the way, the start of the run and the unattended path. The
// window implements WizardView and calls the handlers; the rules live here so they are
// tested without a window.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "brevisto/automation/parameter_file.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/backup_target.h"
#include "brevisto/backup/backup_view.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/shell/notices.h"
#include "brevisto/shell/preferences_model.h"
#include "brevisto/shell/unattended_prompter.h"
#include "brevisto/shell/wizard_result.h"
#include "platform/platform.h"

namespace bv {

enum WizardPage {
    wpIdentity = 0,      // "Identitaet"
    wpMails = 1,         // "Mails"
    wpOthers = 2,        // "Others"
    wpEndSelection = 3,  // "EndAuswahl"
    wpBackup = 4,        // "Backup"
    wpReport = 5,        // "Report"
};
constexpr int kWizardPageCount = 6;

enum class WizardField { BackupFolder, Comment, BackupName };

// The small notice "Hinweis!" shown when the backup will not fit or its drive is missing.
struct FreeSpaceNotice {
    bool driveMissing = false;
    std::string drive;      // the drive panel
    std::string folder;     // the disk panel
    std::string freeBytes;  // grouped digits + " Bytes"
    std::string estimate;
};

extern const char* const kWizardPageTitles[kWizardPageCount];
extern const char* const kFolderTreeWaitingText;
extern const char* const kNoIdentitiesText;
extern const char* const kEmptyFolderText;
extern const char* const kNoFullBackupText;
extern const char* const kEncryptQuestion;
extern const char* const kNoSelectionText;
extern const char* const kCloseWizardQuestion;
extern const char* const kParameterFilePasswordLine;
std::string DriveMissingNoticeText(const std::string& drive);
std::string UnreachableFolderText(const std::string& folder);
std::string NotEnoughSpaceText(const std::string& folder);
std::string BackupStartText(const std::string& identityName);
// The estimate of the archive's size: the mail folders' size divided by the pack level's
// factor (level / 18 + 1, in single precision), rounded.
int64_t EstimatedBackupSize(uint64_t mailSize, int compression);

// What the wizard's window does for the model. Modal calls return when their dialog closed.
class WizardView : public BackupView {
public:
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ShowUpdatePicture(bool shown) = 0;
    virtual void ClearSidePicture() = 0;
    virtual void ShowPage(WizardPage page) = 0;

    virtual void SetNextEnabled(bool enabled) = 0;
    virtual void SetNextCaption(const std::string& caption) = 0;
    virtual void SetBackEnabled(bool enabled) = 0;
    virtual void SetCancelCaption(const std::string& caption) = 0;
    virtual void SetCancelEnabled(bool enabled) = 0;
    virtual void ShowPrintButton(bool shown) = 0;
    // "&Fertig stellen" on the page "EndAuswahl".
    virtual void ShowFinishButton(bool shown) = 0;
    virtual void SetFinishEnabled(bool enabled) = 0;
    virtual void SetFinishHint(bool shown) = 0;
    virtual void SetEndSelectionText(const std::string& text, bool red) = 0;

    virtual void SetIdentityNames(const std::vector<std::string>& names) = 0;
    virtual int SelectedIdentity() = 0;  // -1 when none is selected
    virtual void SelectIdentity(int index) = 0;
    virtual void SetIdentityKeyText(const std::string& text) = 0;
    virtual std::string FieldText(WizardField field) = 0;
    virtual void SetFieldText(WizardField field, const std::string& text) = 0;
    virtual void FocusField(WizardField field) = 0;

    // The folder tree: hidden behind the waiting text while it loads, then rebuilt from the
    // model node by node.
    virtual void BeginTreeLoad() = 0;
    virtual void EndTreeLoad(const TMailFolderTree& tree) = 0;
    virtual void RefreshTreeChecks(const TMailFolderTree& tree) = 0;
    virtual void SetFolderCountText(const std::string& text) = 0;

    // "beim automatisierten Backup immer alle Mailordner sichern" on the page "Mails".
    virtual bool AllFoldersForAutomation() = 0;

    virtual bool OptionChecked(int option) = 0;
    virtual void SetOptionChecked(int option, bool checked) = 0;
    virtual bool OptionEnabled(int option) = 0;

    virtual void SetIdentityNameText(const std::string& text) = 0;  // page "Backup"
    virtual void SetMailCountText(const std::string& text) = 0;     // page "Backup"

    virtual void ShowFreeSpaceNotice(const FreeSpaceNotice& notice) = 0;
    // The preferences dialog on its folder tab; true on OK with the saved values.
    virtual bool RunPreferences(PreferencesValues& values) = 0;
    // The preferences dialog on its tab "Outlook Express" (to switch on the automatic closing).
    virtual void RunOutlookExpressPreferences() = 0;
    virtual bool RunPasswordDialog(std::string& password) = 0;
    virtual NoticeAnswer RunNoticeDialog(const std::string& text) = 0;
    virtual void ShowHelp(int context) = 0;

    virtual void SetBusyCursor(bool busy) = 0;
    virtual void BringToForeground() = 0;
    virtual void StartTimer() = 0;  // 100 ms ticks to TimerTimer
    virtual void StopTimer() = 0;
    virtual void MinimizeApp() = 0;
    // Ends the wizard's modal loop (after CloseQuery allowed it).
    virtual void CloseWizard() = 0;
};

class WizardModel {
public:
    // `paramFile` is the parameter file of an unattended run (`autoRun`).
    WizardModel(Platform& platform, WizardView& view, int backupKind, bool autoRun,
                const std::string& paramFile);
    ~WizardModel();
    WizardModel(const WizardModel&) = delete;
    WizardModel& operator=(const WizardModel&) = delete;

    // Handlers of the form.
    void FormCreate();
    void FormShow();
    void IdentChangeChange();
    void NextBtnClick();
    void BackBtnClick();
    void btnSeparateStartClick() { NextBtnClick(); }
    void BackupDirEditChange();
    void BackupDirEditExit();
    void BackupDirBtnClick();
    void AllPrefsBtnClick();
    void NonePrefsBtnClick();
    void AllFilesBtnClick();
    void NoFilesBtnClick();
    // The user clicked a node's check box; the view has set the node's new state in Tree().
    void FolderNodeClicked(int selectedIndex);
    void TimerTimer();
    // The Cancel button: cancels a working run, else asks to close.
    void CancelBtnClick();
    // Asked before the wizard closes (also by the window's close box); false keeps it open.
    bool CloseQuery();
    void PrintBtnClick();
    void btnHelpClick();
    // The automation panel of the page "EndAuswahl": the choices made so far go into a
    // parameter file, started by a batch file or a shortcut.
    void BatchBtnClick();
    void ShortcutBtnClick();
    // What the parameter file of those two commands holds.
    AutomationChoices Automation();

    WizardPage Page() const { return page_; }
    int HelpContext() const { return helpContext_; }
    int SelectionCount() const { return selectionCount_; }
    const std::string& NameStampText() const { return nameStamp_; }
    const std::string& BackupFolder() const { return backupFolder_; }
    const std::string& TempFolder() const { return tempFolder_; }
    const std::string& ArchivePassword() const { return password_; }
    TMailFolderTree& Tree() { return tree_; }
    const std::vector<TIdentitaet>& Identities() const { return identities_; }
    const WizardResult& Result() const { return result_; }
    BackupRun* Run() { return run_.get(); }
    bool AutoRun() const { return autoRun_; }
    // The platform the wizard and its run use: in an unattended run its questions never wait.
    Platform& RunPlatform() { return p_; }

private:
    void GoToPage(int page);
    void NBPageChanged();
    void PrepareMailsPage();
    void EnterEndSelection();
    // The first page's checks of the folder and the name; false after a message, with the
    // field to correct in refusedField_.
    bool CheckFirstPage();
    void FocusRefused(WizardField field);
    // Outlook Express closed and the target checked again, right before the run.
    bool RunMayStart();
    bool FreeSpaceSufficient();
    void AskPassword();
    void StartRun();
    void EnterReport();
    int CountSelection();
    BackupOptions Options();
    void EndApplication();
    void NoteUnattended(const std::string& text);
    // An unattended run that cannot start: the report and the log say why, the program ends.
    void FailUnattended(const std::string& reason);
    const TIdentitaet* SelectedIdentity();

    UnattendedPlatform unattended_;
    Platform& p_;  // the unattended platform in an unattended run
    WizardView& view_;
    int backupKind_;
    bool autoRun_;
    std::string paramFile_;
    int helpContext_ = 0;
    std::string nameStamp_;
    WizardPage page_ = wpIdentity;
    bool pageInit_ = true;
    bool treeLoaded_ = false;  // for the chosen identity
    bool passwordUnreadable_ = false;
    int selectionCount_ = 0;
    bool nextEnabled_ = false;
    bool cancelEnabled_ = true;
    bool timerRunning_ = false;
    bool nextCancels_ = false;    // Next acts as the Cancel button (Outlook Express still runs)
    bool closeAfterRun_ = false;  // a close asked for during the run ends the program after it
    WizardField refusedField_ = WizardField::BackupName;
    FileTime shownAt_ = 0;
    std::string backupFolder_;
    std::string tempFolder_;
    std::string password_;
    std::vector<TIdentitaet> identities_;
    std::vector<std::string> folderNames_;
    std::vector<MailFolderChoice> autoFolders_;
    std::vector<std::string> notes_;
    TMailFolderTree tree_;
    std::unique_ptr<BackupRun> run_;
    WizardResult result_;
};

}  // namespace bv
