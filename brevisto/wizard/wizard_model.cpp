#include "brevisto/wizard/wizard_model.h"

#include <cmath>
#include <cstdio>

#include "brevisto/automation/automation_commands.h"
#include "brevisto/automation/parameter_file.h"
#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/backup_log.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/folder_check.h"
#include "brevisto/shell/outlook_express.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kWizardPageTitles[kWizardPageCount] = {
    "Auswahl der Identität (1/6)",      "Auswahl der Mailordner (2/6)", "Auswahl der Einstellungen (3/6)",
    "Ende der Auswahl (4/6)",            "Backup der Daten (5/6)",       "Report (6/6)",
};
const char* const kFolderTreeWaitingText =
    "Bitte warten, die Ordnerstruktur wird eingelesen...\r\n \r\nWird die Ordnerstruktur nicht komplett "
    "eingelesen, oder befindet sich die Software in einer Endlosschleife, so müssen Sie die Ordner in Outlook "
    "Express komprimieren.\r\n \r\n* Starten Sie Outlook Express.\r\n* Wählen Sie das Menü: Datei - Ordner - "
    "Alle Ordner komprimieren.\r\n* Schließen Sie Outlook Express\r\n* Starten Sie das Backup erneut!";
const char* const kNoIdentitiesText = "Es konnten keine Identitäten ermittelt werden!";
const char* const kEmptyFolderText = "Die Angabe des Ordners darf nicht leer sein!";
const char* const kNoFullBackupText =
    "Sie haben für diese Identität noch kein Komplettbackup angelegt bzw. es wurden keine entsprechenden "
    "Informationen in der Windows Registry gefunden!\rBeenden Sie daher die Backupaktualisierung und legen Sie "
    "zuerst ein vollständiges Backup der Daten an!";
const char* const kEncryptQuestion = "Möchten Sie die gesicherten Daten verschlüsseln?";
const char* const kNoSelectionText = "Sie haben keine Auswahl der zu sichernden Daten getroffen!";
const char* const kCloseWizardQuestion =
    "Das Backup der Daten wurde noch nicht vollständig angelegt.\r\rSind Sie sicher, dass Sie den Assistenten "
    "beenden möchten?";
const char* const kParameterFilePasswordLine = "Parameterdatei fehlerhaft: Passwort konnte nicht gelesen werden.";

namespace {

const char kCaption[] = "Brevisto";
const char kNextCaption[] = "&Weiter >";
const char kFinishCaption[] = "&Fertig stellen";
const char kReportCaption[] = "&Report";
const char kCloseCaption[] = "&Beenden";
const char kCancelCaption[] = "&Abbrechen";
const char kFolderBrowseTitle[] = "Wählen Sie den Ordner oder Laufwerk, in dem das Backup gespeichert werden soll.";
constexpr FileTime kOneSecond = 10000000;  // in 100 ns

std::string Formatted(const char* format, const std::string& value) {
    std::vector<char> buffer(std::string(format).size() + value.size() + 1);
    std::snprintf(buffer.data(), buffer.size(), format, value.c_str());
    return buffer.data();
}

}  // namespace

std::string DriveMissingNoticeText(const std::string& drive) {
    return Formatted("Das Laufwerk %s ist derzeit nicht verfügbar!", drive);
}

std::string UnreachableFolderText(const std::string& folder) {
    return "Das Verzeichnis " + folder + " ist nicht erreichbar!";
}

std::string NotEnoughSpaceText(const std::string& folder) {
    return "Sie haben nicht genügend Speicherplatz frei, um die Daten in " + folder + " abzulegen!";
}

std::string BackupStartText(const std::string& identityName) {
    return "Das Backup der Identität\r   " + identityName + "\r" + "wird angelegt.";
}

int64_t EstimatedBackupSize(uint64_t mailSize, int compression) {
    const float factor = static_cast<float>(compression) / 18.0f + 1.0f;
    return static_cast<int64_t>(std::llround(static_cast<double>(mailSize) / static_cast<double>(factor)));
}

WizardModel::WizardModel(Platform& platform, WizardView& view, int backupKind, bool autoRun,
                         const std::string& paramFile)
    : unattended_(platform, [this](const std::string& text) { NoteUnattended(text); }),
      p_(autoRun ? unattended_.platform() : platform),
      view_(view),
      backupKind_(backupKind == 1 ? 1 : 0),
      autoRun_(autoRun),
      paramFile_(paramFile),
      tree_(p_) {}

WizardModel::~WizardModel() = default;

void WizardModel::FormCreate() {
    page_ = wpIdentity;
    pageInit_ = true;
    password_.clear();
    nameStamp_ = NameStamp(p_.system.LocalNow());
    helpContext_ = backupKind_ == 1 ? HelpTopic::WizardUpdate : HelpTopic::WizardFull;
    view_.SetCaption(backupKind_ == 1 ? "Brevisto : Backup aktualisieren" : "Brevisto : Backup anlegen");
    view_.ShowUpdatePicture(backupKind_ == 1);
    view_.ShowPage(wpIdentity);
    view_.SetBackEnabled(false);
    view_.SetNextEnabled(nextEnabled_ = false);
    view_.SetNextCaption(kNextCaption);
    for (int i = 0; i < kSaveOptionCount; ++i) view_.SetOptionChecked(i, true);
}

void WizardModel::FormShow() {
    Settings settings(p_);
    if (autoRun_) {
        const ParameterFile file = ReadParameterFile(p_, paramFile_);
        identities_ = {file.identity};
        backupFolder_ = file.backupFolder;
        password_ = file.password;
        passwordUnreadable_ = file.passwordUnreadable;
        folderNames_ = file.folderNames;
        autoFolders_ = file.autoFolders;
        if (file.optionsRead)
            for (int i = 0; i < kSaveOptionCount; ++i) view_.SetOptionChecked(i, file.save[i]);
    } else {
        identities_ = TIdentityScanner(p_).ListIdentities();
        if (identities_.empty()) {
            ShowMsgBox(p_.prompter, kNoIdentitiesText, kCaption, mkInformation, bsOk);
            return;
        }
        backupFolder_ = ExpandPath(p_.shell, settings.String("bakFolder"), true);
    }

    if (!backupFolder_.empty() && !IsDriveReady(p_.files, ExtractFileDrive(backupFolder_))) backupFolder_.clear();
    if (backupFolder_.empty()) {
        const std::string documents = TPathComponent(p_).ShellPersonalFolder();
        if (!documents.empty()) backupFolder_ = IncludeTrailingBackslash(documents) + "bvq-backups\\";
    }
    if (!backupFolder_.empty() && !DirectoryExists(p_.files, backupFolder_)) ForceDirectories(p_.files, backupFolder_);

    tempFolder_ = ExpandPath(p_.shell, settings.String("tmpFolder"), true);
    if (!tempFolder_.empty() && !IsDriveReady(p_.files, ExtractFileDrive(tempFolder_))) tempFolder_.clear();
    if (tempFolder_.empty()) tempFolder_ = IncludeTrailingBackslash(p_.system.TempPath());
    if (!tempFolder_.empty() && !DirectoryExists(p_.files, tempFolder_)) ForceDirectories(p_.files, tempFolder_);

    view_.SetFieldText(WizardField::BackupFolder, backupFolder_);
    std::vector<std::string> names;
    for (const TIdentitaet& identity : identities_) names.push_back(identity.Username);
    view_.SetIdentityNames(names);
    if (identities_.size() == 1) {
        view_.SelectIdentity(0);
        IdentChangeChange();
        if (result_.endApplication) return;
    }

    if (autoRun_) {
        view_.SetFinishHint(false);
        p_.pump.ProcessMessages();
        shownAt_ = p_.system.UtcNow();
        timerRunning_ = true;
        view_.StartTimer();
        GoToPage(wpEndSelection);
    }
}

const TIdentitaet* WizardModel::SelectedIdentity() {
    const int index = view_.SelectedIdentity();
    if (index < 0 || index >= static_cast<int>(identities_.size())) return nullptr;
    return &identities_[static_cast<size_t>(index)];
}

void WizardModel::IdentChangeChange() {
    const TIdentitaet* identity = SelectedIdentity();
    if (!identity) return;
    pageInit_ = true;
    treeLoaded_ = false;
    view_.SetNextEnabled(nextEnabled_ = true);
    view_.SetFieldText(WizardField::BackupName, ProposedBackupName(backupKind_, identity->Username, nameStamp_));
    const BackupHistory history(p_.registry, identity->KeyName);
    view_.SetIdentityKeyText(history.IdentityKey());
    if (backupKind_ == 1 && history.Counter() == -1) {
        ShowMsgBox(p_.prompter, kNoFullBackupText, kCaption, mkError, bsOk);
        view_.SetNextEnabled(nextEnabled_ = false);
        if (autoRun_) FailUnattended(kNoFullBackupText);
    }
}

void WizardModel::FocusRefused(WizardField field) {
    refusedField_ = field;
    view_.FocusField(field);
}

bool WizardModel::CheckFirstPage() {
    if (TrimBlanks(view_.FieldText(WizardField::BackupFolder)).empty()) {
        ShowMsgBox(p_.prompter, kEmptyFolderText, kCaption, mkError, bsOk);
        FocusRefused(WizardField::BackupFolder);
        return false;
    }
    const FolderCheckResult checked = CheckTargetFolder(p_, view_.FieldText(WizardField::BackupFolder));
    view_.SetFieldText(WizardField::BackupFolder, checked.folder);
    // A missing folder the user did not want created keeps the wizard on this page.
    if (checked.focusEdit || !DirectoryExists(p_.files, checked.folder)) {
        FocusRefused(WizardField::BackupFolder);
        return false;
    }
    const std::string folder = view_.FieldText(WizardField::BackupFolder);
    if (DiskFreeAt(p_, p_.files.CurrentDirectory(), folder) == -1) {
        FreeSpaceNotice notice;
        notice.driveMissing = true;
        notice.drive = ExtractFileDrive(folder);
        view_.ShowFreeSpaceNotice(notice);
        view_.SetEndSelectionText(UnreachableFolderText(folder), true);
        return false;
    }

    // An update backup's name carries its prefix before the existence check, so the check
    // sees the archive the run would write.
    std::string typed = view_.FieldText(WizardField::BackupName);
    if (backupKind_ == 1 && typed.compare(0, 4, "UPD_") != 0) {
        typed = "UPD_" + typed;
        view_.SetFieldText(WizardField::BackupName, typed);
    }
    switch (CheckBackupName(p_.files, folder, WithBackupExtension(typed))) {
        case BackupNameCheck::Ok: break;
        case BackupNameCheck::Exists:
            ShowMsgBox(p_.prompter, BackupExistsText(typed), kCaption, mkError, bsOk);
            FocusRefused(WizardField::BackupName);
            return false;
        case BackupNameCheck::Invalid:
            ShowMsgBox(p_.prompter, kInvalidBackupNameText, kCaption, mkError, bsOk);
            FocusRefused(WizardField::BackupName);
            return false;
        case BackupNameCheck::ProbeStays:
            // The test file could be made but not removed: the folder is no place for a backup.
            ShowMsgBox(p_.prompter, NoWriteAccessText(folder), "", mkError, bsOk);
            FocusRefused(WizardField::BackupFolder);
            return false;
    }
    // The folder may have changed since the tree was loaded; the space check needs this one.
    backupFolder_ = folder;
    return true;
}

void WizardModel::NextBtnClick() {
    if (nextCancels_) {
        CancelBtnClick();
        return;
    }
    if (page_ == wpIdentity && !CheckFirstPage()) return;
    if (page_ + 1 < kWizardPageCount) GoToPage(page_ + 1);
}

void WizardModel::BackBtnClick() {
    // From the page "Backup" only when no run began there (Outlook Express stopped it).
    if (page_ == wpIdentity || page_ >= wpReport || (page_ == wpBackup && run_)) return;
    view_.SetNextEnabled(nextEnabled_ = true);
    GoToPage(page_ - 1);
}

void WizardModel::GoToPage(int page) {
    page_ = static_cast<WizardPage>(page);
    view_.ShowPage(page_);
    NBPageChanged();
}

void WizardModel::NBPageChanged() {
    nextCancels_ = false;
    view_.SetBackEnabled(page_ != wpIdentity);
    switch (page_) {
        case wpIdentity:
            view_.SetNextCaption(kNextCaption);
            BackupDirEditChange();
            break;
        case wpMails:
            view_.SetNextCaption(kNextCaption);
            // A tree read for this identity keeps the user's ticks, also after a step back
            // from this page.
            if (pageInit_ && !treeLoaded_) PrepareMailsPage();
            break;
        case wpOthers:
            view_.SetNextCaption(kNextCaption);
            if (pageInit_) {
                view_.SetMailCountText(tree_.FileCountLabel());
                pageInit_ = false;
            }
            break;
        case wpEndSelection: EnterEndSelection(); break;
        case wpBackup:
            view_.SetNextCaption(kNextCaption);
            StartRun();
            break;
        case wpReport: EnterReport(); break;
    }
}

void WizardModel::PrepareMailsPage() {
    const TIdentitaet* identity = SelectedIdentity();
    if (!identity) return;
    if (view_.FieldText(WizardField::BackupName).empty())
        view_.SetFieldText(WizardField::BackupName, identity->Username + "_" + nameStamp_);
    backupFolder_ = ExpandPath(p_.shell, view_.FieldText(WizardField::BackupFolder), true);
    const std::string store = ExpandPath(p_.shell, identity->StoreRoot, true);
    view_.SetBusyCursor(true);
    view_.BeginTreeLoad();
    p_.pump.ProcessMessages();
    if (backupKind_ == 1) MarkChangedMailFiles(p_, store, identity->KeyName);
    const bool loaded = tree_.LoadFolderTree(*identity, store, backupKind_);
    view_.EndTreeLoad(tree_);
    view_.SetBusyCursor(false);
    AllFilesBtnClick();
    treeLoaded_ = loaded;
    // Without the folder index there is nothing to choose from.
    if (!loaded) view_.SetNextEnabled(nextEnabled_ = false);
}

void WizardModel::AllFilesBtnClick() {
    view_.SetFolderCountText(FolderCountText(0, 0));
    tree_.CheckAll();
    view_.RefreshTreeChecks(tree_);
    view_.SetFolderCountText(tree_.FileCountLabel());
}

void WizardModel::NoFilesBtnClick() {
    tree_.UncheckAll();
    view_.RefreshTreeChecks(tree_);
    view_.SetFolderCountText(tree_.FileCountLabel());
}

void WizardModel::FolderNodeClicked(int selectedIndex) {
    tree_.NodeClicked(selectedIndex);
    view_.RefreshTreeChecks(tree_);
    view_.SetFolderCountText(tree_.FileCountLabel());
}

int WizardModel::CountSelection() {
    int count = 0;
    for (size_t i = 0; i < tree_.Count(); ++i)
        if (tree_.Checked(i)) ++count;
    for (int i = 0; i < kSaveOptionCount; ++i)
        if (view_.OptionChecked(i)) ++count;
    if (autoRun_) count += static_cast<int>(autoFolders_.size());
    return count;
}

void WizardModel::AskPassword() {
    password_.clear();
    std::string entered;
    if (view_.RunPasswordDialog(entered)) password_ = entered;
}

void WizardModel::EnterEndSelection() {
    Settings settings(p_);
    if (!autoRun_) {
        if (settings.AskForPassword() &&
            ShowMsgBox(p_.prompter, kEncryptQuestion, kCaption, mkQuestion, bsYesNo) == MsgResult::Yes)
            AskPassword();
        // Account passwords never move to a new system, encrypted backup or not.
        if (view_.OptionChecked(CBSave2))
            ShowNotice(p_, autoRun_, kAgainPassword, kNoticePasswordText,
                       [this](const std::string& text) { return view_.RunNoticeDialog(text); });
    }
    view_.SetEndSelectionText("", false);
    view_.SetNextCaption(kFinishCaption);
    selectionCount_ = CountSelection();
    if (!FreeSpaceSufficient()) return;
    if (autoRun_ && settings.Minimize()) view_.MinimizeApp();
    if (!autoRun_ && selectionCount_ == 0) {
        view_.SetEndSelectionText(kNoSelectionText, true);
        view_.ShowFinishButton(false);
        view_.SetNextEnabled(nextEnabled_ = false);
        return;
    }
    const TIdentitaet* identity = SelectedIdentity();
    view_.ShowFinishButton(true);
    view_.SetFinishEnabled(true);
    view_.SetNextEnabled(nextEnabled_ = true);
    view_.SetEndSelectionText(BackupStartText(identity ? identity->Username : std::string()), false);
}

bool WizardModel::FreeSpaceSufficient() {
    const int64_t free = DiskFreeAt(p_, p_.files.CurrentDirectory(), backupFolder_);
    uint64_t mailSize = tree_.SelectedMailSize();
    for (const MailFolderChoice& folder : autoFolders_) mailSize += FileSizeOf(p_.files, folder.path);
    const int64_t estimate = EstimatedBackupSize(mailSize, Settings(p_).Compression());
    if (free != -1 && estimate <= free) return true;

    FreeSpaceNotice notice;
    std::string text;
    if (free == -1) {
        notice.driveMissing = true;
        notice.drive = ExtractFileDrive(backupFolder_);
        text = UnreachableFolderText(backupFolder_);
    } else {
        notice.folder = backupFolder_;
        notice.freeBytes = GroupDigits(3, free) + " Bytes";
        notice.estimate = GroupDigits(3, estimate) + " Bytes";
        text = NotEnoughSpaceText(backupFolder_);
    }
    view_.SetEndSelectionText(text, true);
    if (autoRun_) {
        // Nobody could answer the notice or the preferences: the run fails and says why.
        FailUnattended(text);
        return false;
    }
    view_.ShowFreeSpaceNotice(notice);
    PreferencesValues values;
    if (view_.RunPreferences(values)) {
        tempFolder_ = ExpandPath(p_.shell, values.tmpFolder, true);
        backupFolder_ = ExpandPath(p_.shell, values.bakFolder, true);
        // The run writes where the field says: it must be the folder whose space counts now.
        view_.SetFieldText(WizardField::BackupFolder, backupFolder_);
        GoToPage(wpOthers);
    } else {
        view_.SetNextEnabled(nextEnabled_ = false);
        view_.SetFinishEnabled(false);
    }
    return false;
}

BackupOptions WizardModel::Options() {
    BackupOptions options;
    options.backupKind = backupKind_;
    if (const TIdentitaet* identity = SelectedIdentity()) options.identity = *identity;
    options.identity.StoreRoot = ExpandPath(p_.shell, options.identity.StoreRoot, true);
    options.backupFolder = view_.FieldText(WizardField::BackupFolder);
    options.backupName = view_.FieldText(WizardField::BackupName);
    options.comment = view_.FieldText(WizardField::Comment);
    options.password = password_;
    for (int i = 0; i < kSaveOptionCount; ++i) options.save[i] = view_.OptionChecked(i);
    if (autoRun_) {
        options.mailFolders = autoFolders_;
    } else {
        for (const TMailFolderFile& file : tree_.CheckedFolderFiles())
            options.mailFolders.push_back({file.Path, file.FolderName});
    }
    options.unattended = autoRun_;
    return options;
}

bool WizardModel::RunMayStart() {
    // An Outlook Express started while the wizard was open holds the mail files.
    if (bv::CloseOutlookExpress(p_, result_.oeClosedByProgram, [this] { view_.RunOutlookExpressPreferences(); })) {
        if (autoRun_) {
            FailUnattended(std::string());
            return false;
        }
        // Next turns into a cancel button; Back leads to "&Fertig stellen" for another try.
        nextCancels_ = true;
        view_.SetNextCaption(kCancelCaption);
        view_.SetNextEnabled(nextEnabled_ = true);
        view_.SetBackEnabled(true);
        return false;
    }
    // The folder may have been set on another page (the preferences after the space notice):
    // the first page's checks hold for every run, so no backup is ever written over.
    if (!CheckFirstPage()) {
        if (autoRun_) {
            FailUnattended(std::string());
            return false;
        }
        GoToPage(wpIdentity);
        view_.FocusField(refusedField_);
        return false;
    }
    return true;
}

void WizardModel::StartRun() {
    if (autoRun_ && passwordUnreadable_) {
        FailUnattended(kParameterFilePasswordLine);
        return;
    }
    if (!RunMayStart()) return;
    view_.SetBusyCursor(true);
    view_.SetBackEnabled(false);
    view_.SetNextEnabled(nextEnabled_ = false);
    if (const TIdentitaet* identity = SelectedIdentity()) view_.SetIdentityNameText(identity->Username);
    result_.runStarted = true;
    run_ = std::make_unique<BackupRun>(p_, view_, Options());
    const BackupOutcome outcome = run_->Execute();
    result_.succeeded = outcome.succeeded;
    notes_.clear();

    view_.SetNextEnabled(nextEnabled_ = true);
    view_.SetNextCaption(kReportCaption);
    view_.SetCancelEnabled(true);
    if (outcome.closeWizard || closeAfterRun_) {
        view_.SetBusyCursor(false);
        EndApplication();
        return;
    }
    view_.SetCancelCaption(kCloseCaption);
    view_.SetBusyCursor(false);
    view_.BringToForeground();
    if (backupKind_ == 1)
        ShowNotice(p_, autoRun_, kAgainDontDelMain, kNoticeDontDelMainText,
                   [this](const std::string& text) { return view_.RunNoticeDialog(text); });
}

void WizardModel::EnterReport() {
    view_.SetBackEnabled(false);
    view_.SetNextEnabled(nextEnabled_ = false);
    view_.ShowPrintButton(true);
    view_.SetCancelCaption(kCloseCaption);
}

void WizardModel::BackupDirEditChange() {
    const bool enabled = !view_.FieldText(WizardField::BackupFolder).empty() && SelectedIdentity() != nullptr;
    view_.SetNextEnabled(nextEnabled_ = enabled);
}

void WizardModel::BackupDirEditExit() {
    view_.SetFieldText(WizardField::BackupFolder,
                       ExpandPath(p_.shell, view_.FieldText(WizardField::BackupFolder), true));
}

void WizardModel::BackupDirBtnClick() {
    std::string folder = view_.FieldText(WizardField::BackupFolder);
    if (!SelectFolder(p_, kFolderBrowseTitle, "", folder, true)) return;
    if (FolderIsWritable(p_, IncludeTrailingBackslash(folder)))
        view_.SetFieldText(WizardField::BackupFolder, ExpandPath(p_.shell, folder, true));
    else
        ShowMsgBox(p_.prompter, NoWriteAccessText(folder), "", mkError, bsOk);
}

void WizardModel::AllPrefsBtnClick() {
    for (int i = 0; i < kSaveOptionCount; ++i)
        if (view_.OptionEnabled(i)) view_.SetOptionChecked(i, true);
    view_.SetOptionChecked(CBSave0, view_.OptionEnabled(CBSave0));
}

void WizardModel::NonePrefsBtnClick() {
    for (int i = 0; i < kSaveOptionCount; ++i)
        if (view_.OptionEnabled(i)) view_.SetOptionChecked(i, false);
}

void WizardModel::TimerTimer() {
    if (!timerRunning_) return;
    if (p_.system.UtcNow() < shownAt_ + kOneSecond) return;
    timerRunning_ = false;
    view_.StopTimer();
    shownAt_ = 0;
    if (result_.endApplication) return;
    NextBtnClick();
}

void WizardModel::CancelBtnClick() {
    if (run_ && !run_->Idle() && run_->Writer().IsBusy()) {
        if (!run_->CancelBtnClick()) return;
        view_.ClearSidePicture();
        view_.SetNextEnabled(nextEnabled_ = true);
        view_.SetNextCaption(kReportCaption);
        view_.SetCancelCaption(kCloseCaption);
        view_.SetBusyCursor(false);
        return;
    }
    // Between two additions there is nothing to abort: the click closes the wizard, which a
    // running backup defers until it has ended.
    if (CloseQuery()) view_.CloseWizard();
}

bool WizardModel::CloseQuery() {
    if (run_ && !run_->Idle()) {
        // Aborting now would leave a step half done and report it as failed: the run
        // completes, then the program ends. The disabled button shows the request was taken.
        closeAfterRun_ = true;
        view_.SetCancelEnabled(false);
        return false;
    }
    if (autoRun_) {
        EndApplication();
        return true;
    }
    if (page_ >= wpBackup && Settings(p_).StopProgram()) {
        EndApplication();
        return true;
    }
    if (page_ < wpBackup)
        return ShowMsgBox(p_.prompter, kCloseWizardQuestion, kCaption, mkConfirmation, bsYesNo) == MsgResult::Yes;
    return true;
}

void WizardModel::PrintBtnClick() {
    if (run_) run_->PrintReport(true);
}

void WizardModel::btnHelpClick() { view_.ShowHelp(helpContext_); }

AutomationChoices WizardModel::Automation() {
    AutomationChoices choices;
    if (const TIdentitaet* identity = SelectedIdentity()) choices.identity = *identity;
    choices.tempFolder = tempFolder_;
    choices.backupFolder = ExpandPath(p_.shell, view_.FieldText(WizardField::BackupFolder), true);
    choices.password = password_;
    choices.backupKind = backupKind_;
    // The panel is hidden in this edition, the check box with it; reached, it counts.
    choices.allFolders = view_.AllFoldersForAutomation();
    for (const TMailFolderFile& file : tree_.CheckedFolderFiles())
        choices.folders.push_back({file.Position, file.FileName, file.FolderName});
    for (int i = 0; i < kSaveOptionCount; ++i) choices.save[i] = view_.OptionChecked(i);
    return choices;
}

void WizardModel::BatchBtnClick() { (void)BatchFileCommand(p_, Automation()); }

void WizardModel::ShortcutBtnClick() { (void)ShortcutCommand(p_, Automation()); }

void WizardModel::EndApplication() {
    result_.endApplication = true;
    view_.CloseWizard();
}

void WizardModel::NoteUnattended(const std::string& text) {
    if (run_ && !run_->Idle()) {
        run_->AppendReport(text);
    } else {
        notes_.push_back(text);
        view_.AppendReport(text);
    }
}

void WizardModel::FailUnattended(const std::string& reason) {
    timerRunning_ = false;
    view_.StopTimer();
    result_.succeeded = false;
    const TIdentitaet* identity = SelectedIdentity();
    const std::string folder = ExpandPath(p_.shell, view_.FieldText(WizardField::BackupFolder), true);
    // An empty reason: the message that stopped the run is among the notes already.
    if (!reason.empty()) {
        view_.AppendReport(reason);
        notes_.push_back(reason);
    }
    view_.SetStatus("Backup war NICHT erfolgreich!", StatusColor::Red);
    const std::string name = view_.FieldText(WizardField::BackupName);
    if (!folder.empty() && DirectoryExists(p_.files, folder)) {
        // The report file stands where the archive would have been, so the failure is found
        // beside the backups, and the log says "FEHLER".
        const std::string archive = name.empty() ? std::string() : folder + WithBackupExtension(name);
        // A report that cannot be written leaves none; the log below still tells.
        if (!archive.empty()) (void)WriteTextLines(p_.files, ChangeFileExt(archive, ".log"), notes_);
        LogEntry entry{identity ? identity->Username : std::string(), true, archive, false, false};
        WriteLogEntry(p_, folder, LogPart::Header, entry);
        WriteLogEntry(p_, folder, LogPart::Status, entry);
    }
    EndApplication();
}

}  // namespace bv
