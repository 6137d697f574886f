#include "brevisto/shell/main_window_model.h"

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/command_line.h"
#include "brevisto/shell/file_association.h"
#include "brevisto/shell/outlook_express.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const kWindowsMailRefusalText =
    "Die Software Brevisto ist nicht für das Mailprogramm \"Windows Mail\" konzipiert. Für "
    "\"Windows Mail\" benötigen Sie die Software Velmora - Korvanta.\r\rMöchten Sie die "
    "Produkthomepage von Velmora besuchen?";
const char* const kAutomateQuestionText =
    "Die Einstellungen für ein automatisiertes Backup legen Sie beim Anlegen eines Backups "
    "fest\rund speichern diese dann als Parameterdatei.\r\rMöchten Sie das Anlegen eines "
    "Backups beginnen, um die Auswahl der automatisch zu \rsichernden Daten zu treffen?";
const char* const kAutomateCaption = "Automatisiertes Backup";
const char* const kNoPrinterText =
    "Es wurde kein Drucker gefunden bzw. er wurde nicht korrekt installiert!";
const char* const kRegisterExtensionQuestion =
    "Den Inhalt eines Backups können Sie sich zukünftig mit einem Doppelklick anzeigen "
    "lassen.\rDazu muss im Windows-System die Dateiendung .bvq registriert werden.\r\rMöchten "
    "Sie die Dateiendung .bvq im System registrieren?";

MainWindowModel::MainWindowModel(Platform& platform, MainWindowView& view)
    : p_(platform),
      view_(view),
      unattended_(platform, nullptr) {}

void MainWindowModel::CloseMainWindow() {
    closed_ = true;
    view_.CloseMainWindow();
}

void MainWindowModel::Create(const std::vector<std::string>& args) {
    AutoRun = false;
    ParamFilePath.clear();
    ViewerFilePath.clear();
    closed_ = false;

    const StartArguments start = ParseStartArguments(args);
    AutoRun = start.AutoRun;
    ParamFilePath = start.ParamFilePath;
    ViewerFilePath = start.ViewerFilePath;
    p_.pump.ProcessMessages();

    if (AutoRun) {
        const std::string fromCommandLine = ParamFilePath;
        ParamFilePath = p_.files.LongPath(ParamFilePath);
        if (FileExists(p_.files, ParamFilePath)) {
            BackupKind = ReadParamFileBackupKind(p_, ParamFilePath);
            SaveBtnClick(BackupSender::MainWindow);
        } else {
            ShowMsgBox(p_.prompter, MissingParamFileText(fromCommandLine), kMessageCaption,
                       mkError, bsOk);
            AutoRun = false;
        }
    }
    if (!closed_ && !ViewerFilePath.empty() && FileExists(p_.files, ViewerFilePath))
        MenuShowClick();
    if (!closed_) view_.ShowMainWindow();
}

bool MainWindowModel::BackupMayStart() {
    Platform& p = AutoRun ? unattended_.platform() : p_;
    const int windows = GetWindowsVersion(p.system, p.prompter);
    if (windows == wvVista || windows == wv7) {
        if (ShowMsgBox(p.prompter, kWindowsMailRefusalText, kMessageCaption, mkInformation, bsYesNo) ==
            MsgResult::Yes)
            p.shell.OpenDocument(kSiblingProductUrl);
        return false;
    }
    if (!bv::CheckOutlookExpressVersion(p)) return false;
    return !bv::CloseOutlookExpress(p, OEClosedByProgram,
                                    [this] { view_.RunPreferencesModally(PrefTab::OutlookExpress); });
}

void MainWindowModel::SaveBtnClick(BackupSender sender) {
    OEClosedByProgram = false;
    if (!BackupMayStart()) {
        // An unattended start that cannot back up must end, and say so by its exit code.
        if (AutoRun) {
            ExitCode = 1;
            CloseMainWindow();
        }
        return;
    }

    if (sender == BackupSender::CreateButton) BackupKind = 0;
    if (sender == BackupSender::UpdateButton) BackupKind = 1;

    view_.HideMainWindow();
    const WizardResult wizard = view_.RunWizardModally(BackupKind);
    if (AutoRun) ExitCode = wizard.succeeded ? 0 : 1;
    if (wizard.oeClosedByProgram) OEClosedByProgram = true;

    RestartOutlookExpressIfWanted(p_, OEClosedByProgram);
    if (Settings(p_).StopProgram() || AutoRun || wizard.endApplication)
        CloseMainWindow();
    else
        view_.ShowMainWindow();
}

void MainWindowModel::MenuShowClick() {
    view_.HideMainWindow();
    view_.RunViewerModally();
    view_.ShowMainWindow();

    if (BackupClassIsOurs(p_) || Settings(p_).Again(kAgainBvqHandle)) return;
    if (ShowMsgBox(p_.prompter, kRegisterExtensionQuestion, kMessageCaption, mkInformation,
                   bsYesNo) == MsgResult::Yes)
        RegisterFileAssociation(p_, kBackupExtension, kBackupFileClass, kBackupFileTypeName, true,
                                0, p_.system.ProgramFile());
    else
        Settings(p_).SetBool(kAgainBvqHandle, true);
}

void MainWindowModel::ExecuteMenuCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::Preferences: view_.RunPreferencesModally(PrefTab::Folders); break;
        case MenuCommand::PrinterSetup:
            if (!view_.RunPrinterSetup())
                ShowMsgBox(p_.prompter, kNoPrinterText, "", mkError, bsOk);
            break;
        case MenuCommand::Exit: CloseMainWindow(); break;
        case MenuCommand::BackupCreate: SaveBtnClick(BackupSender::CreateButton); break;
        case MenuCommand::BackupUpdate: SaveBtnClick(BackupSender::UpdateButton); break;
        case MenuCommand::BackupShow: MenuShowClick(); break;
        case MenuCommand::BackupAutomate:
            if (ShowMsgBox(p_.prompter, kAutomateQuestionText, kAutomateCaption, mkInformation,
                           bsYesNo) == MsgResult::Yes)
                SaveBtnClick(BackupSender::None);
            break;
        case MenuCommand::OutlookExpressSettings:
            if (CheckOutlookExpressVersion()) view_.RunOutlookExpressSettingsModally();
            break;
        case MenuCommand::SystemSettings: view_.RunSystemSettingsModally(); break;
        case MenuCommand::Transfer: view_.RunTransferModally(); break;
        case MenuCommand::WebSite: p_.shell.OpenDocument(kProductUrl); break;
        case MenuCommand::SendMail: p_.shell.OpenDocument(kSupportMail); break;
        case MenuCommand::MicrosoftSupport: p_.shell.OpenDocument(kMicrosoftSupportUrl); break;
        case MenuCommand::SiblingProduct: p_.shell.OpenDocument(kSiblingProductUrl); break;
        case MenuCommand::Help: view_.ShowHelpTopic(HelpTopic::Main); break;
        case MenuCommand::About: view_.RunAboutModally(); break;
        // Restoring and the update search have no function in this edition.
        case MenuCommand::BackupRestore:
        case MenuCommand::UpdateSearch:
        case MenuCommand::None: break;
    }
}

bool MainWindowModel::CheckOutlookExpressVersion() { return bv::CheckOutlookExpressVersion(p_); }

bool MainWindowModel::CloseOutlookExpress() {
    return bv::CloseOutlookExpress(p_, OEClosedByProgram,
                                   [this] { view_.RunPreferencesModally(PrefTab::OutlookExpress); });
}

FolderCheckResult MainWindowModel::CheckTargetFolder(const std::string& folderText) {
    return bv::CheckTargetFolder(p_, folderText);
}

void MainWindowModel::ShowNotice(const std::string& flag, const std::string& text) {
    bv::ShowNotice(p_, AutoRun, flag, text,
                   [this](const std::string& t) { return view_.RunNoticeDialog(t); });
}

}  // namespace bv
