#include "setup/wizard/install_wizard_model.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {
namespace {

const WizardPageText kPages[kWizardPageCount] = {
    {"Willkommen", "Klicken Sie auf \"Weiter\", um die Installation zu beginnen."},
    {"Lizenzvereinbarung", "Bitte lesen Sie die nachfolgenden Lizenzbedingungen sorgfältig durch."},
    {"Zielpfad wählen", "Wählen Sie den Ordner, in den das Programm installiert werden soll."},
    {"Installationsoptionen", "Wählen Sie die entsprechenden Einstellungen."},
    {"Programmordner im Startmenü wählen", "Bitte wählen Sie einen Programmordner."},
    {"Installation kann durchgeführt werden", "Einstellungen komplett."},
    {"Dateien installieren", "Bitte warten Sie bis Setup alle Aktionen abgeschlossen hat."},
    {"Installation abgeschlossen", "Die Installation wurde beendet."},
};

const char kInvalidFolder[] = "Der Zielordner ist ungültig!";
const char kNotAdmin[] =
    "Sie sind nicht als Administrator angemeldet. Es wird empfohlen Setup nur auszuführen, wenn Sie als "
    "Administrator oder als Nutzer mit allen Rechten angemeldet sind!";
const char kScriptMissing[] =
    "Datei Setup.in konnte nicht geöffnet werden. Stellen Sie sicher, dass sich alle Installationsdateien in "
    "einem Ordner befinden!";
const char kSetupFolderRefused[] =
    "Sie können %s nicht in diesen Ordner installieren, da sich in diesem Ordner die Installationsdateien "
    "befinden!";
const char kNoProgramFolder[] = "Sie müssen einen Programmordner angeben!";
const char kCloseQuestion[] =
    "Damit beenden Sie Setup, ohne das Programm zu installieren.\rMöchten Sie Setup wirklich beenden ohne die "
    "Installation abzuschließen?";
const char kBrowseTitle[] = "Wählen Sie einen Ordner, in dem %s installiert werden soll.";
const char kDontWait[] = "/DONTWAIT";

std::string Fill(const std::string& text, const std::string& value) {
    std::string out = text;
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return UpperCase1252(a) < UpperCase1252(b);
}

}  // namespace

const WizardPageText& InstallPageText(int page) {
    return kPages[std::clamp(page, 0, kWizardPageCount - 1)];
}

bool IsRefusedFolderChar(char c) {
    return c != '\0' && std::strchr("*/<>?|", c) != nullptr;
}

std::string UpperCase1252(const std::string& text) {
    std::string out = text;
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'a' && c <= 'z')
            ch = static_cast<char>(c - 32);
        else if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            ch = static_cast<char>(c - 32);
    }
    return out;
}

std::string LowerCase1252(const std::string& text) {
    std::string out = text;
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            ch = static_cast<char>(c + 32);
        else if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
            ch = static_cast<char>(c + 32);
    }
    return out;
}

std::string TargetFolderFor(const std::string& picked, const std::string& name) {
    if (picked.empty()) return std::string();
    if (UpperCase1252(picked).find(UpperCase1252(name)) != std::string::npos) return picked;
    return IncludeTrailingBackslash(picked) + name;
}

InstallWizardModel::InstallWizardModel(Platform& p, const SetupFolders& folders, const std::string& programFile)
    : p_(p), folders_(folders), programFile_(programFile) {}

bool InstallWizardModel::Create() {
    if (!p_.system.IsUserAdmin()) ShowMsgBox(p_.prompter, kNotAdmin, "", mkError, bsOk);
    const std::string scriptPath = folders_.setup + ChangeFileExt(ExtractFileName(programFile_), ".in");
    (void)ReadInstallScript(p_, scriptPath, script_);
    if (script_.licenceFile.empty() || !ReadWholeFile(p_.files, folders_.setup + script_.licenceFile, licence_))
        licence_.clear();

    std::string proposal;
    if (!script_.updateRegKey.empty()) proposal = ReadRegistryValue(p_.registry, script_.updateRegKey);
    if (!proposal.empty()) {
        if (proposal.size() > 3) proposal = ExcludeTrailingBackslash(proposal);
        installFolder = LowerCase1252(proposal);
    } else {
        installFolder = folders_.programFiles + "\\" + script_.defaultTargetFolder;
    }
    programFolder = script_.programGroup;

    autoRunVisible_ = UpperCase1252(script_.autoRun).rfind("TRUE", 0) == 0;
    additionalVisible_ = !script_.additionalComment.empty() && !script_.additionalOption.empty();

    for (const FindEntry& e : p_.files.Find(folders_.programsMenu + "\\*"))
        if (e.IsDirectory() && e.name != "." && e.name != "..") folderList_.push_back(e.name);
    std::sort(folderList_.begin(), folderList_.end(), LessNoCase);
    for (size_t i = 0; i < folderList_.size(); ++i)
        if (UpperCase1252(folderList_[i]) == UpperCase1252(programFolder)) folderSelection_ = static_cast<int>(i);

    if (!FileExists(p_.files, scriptPath)) {
        ShowMsgBox(p_.prompter, kScriptMissing, "", mkError, bsOk);
        return false;
    }
    return true;
}

std::string InstallWizardModel::iconPath() const {
    return script_.iconFile.empty() ? std::string() : folders_.setup + script_.iconFile;
}

std::string InstallWizardModel::licenceQuestion() const {
    return Fill("Sind Sie mit allen Bedingungen der Lizenzvereinbarung einverstanden? Wenn Sie 'Nein' wählen, wird "
                "Setup beendet. Um %s zu installieren, müssen Sie die Lizenzvereinbarung akzeptieren.",
                script_.applicationName);
}

std::string InstallWizardModel::targetText() const {
    return Fill("Setup installiert \"%s\" in den folgenden Ordner.", script_.applicationName);
}

std::string InstallWizardModel::bottomLabel() const {
    return " " + script_.applicationName + " ";
}

void InstallWizardModel::Start() {
    SetPage(kPageWelcome);
}

void InstallWizardModel::Changed() {
    if (view_) view_->PageChanged();
}

void InstallWizardModel::SetPage(int page) {
    page_ = page;
    back_ = WizardButton{"< &Zurück", page > kPageWelcome};
    next_ = WizardButton{"&Weiter >", page < kPageDone};
    cancel_ = WizardButton{"Abbrechen", true};
    confirmClose_ = true;
    switch (page) {
        case kPageLicence:
            next_.caption = "&Ja";
            cancel_.caption = "&Nein";
            confirmClose_ = false;
            break;
        case kPageOptions:
            if (installFolder.empty() || !CreatePath(p_.files, installFolder)) {
                ShowMsgBox(p_.prompter, kInvalidFolder, "", mkError, bsOk);
                SetPage(kPageTarget);
                if (view_) view_->FocusInstallFolder();
                return;
            }
            break;
        case kPageReady:
            next_.caption = "Fertig stellen";
            break;
        case kPageInstall:
            back_.enabled = next_.enabled = cancel_.enabled = false;
            break;
        case kPageDone: {
            back_.enabled = cancel_.enabled = false;
            next_ = WizardButton{"Schließen", true};
            confirmClose_ = false;
            const std::string folder = IncludeTrailingBackslash(installFolder);
            readmeEnabled_ = FileExists(p_.files, folder + "readme.txt");
            readme = readmeEnabled_;
            installExe_ = result_.installExe;
            const size_t dontWait = installExe_.find(kDontWait);
            if (additionalVisible_ && additional && !script_.additionalInfoFile.empty() &&
                FileExists(p_.files, folder + script_.additionalInfoFile)) {
                startEnabled_ = false;
            } else if (installExe_.empty()) {
                startEnabled_ = true;
            } else if (dontWait != std::string::npos) {
                installExe_.erase(dontWait);
                startEnabled_ = true;
            } else {
                startEnabled_ = false;
            }
            startProgram = startEnabled_;
            break;
        }
        default:
            break;
    }
    Changed();
}

void InstallWizardModel::Next() {
    switch (page_) {
        case kPageWelcome:
            SetPage(licence_.empty() ? kPageTarget : kPageLicence);
            break;
        case kPageReady:
            SetPage(kPageInstall);
            p_.pump.ProcessMessages();
            RunInstall();
            break;
        case kPageInstall:
            break;
        case kPageDone:
            Finish();
            break;
        default:
            SetPage(page_ + 1);
            break;
    }
}

void InstallWizardModel::Back() {
    if (page_ == kPageTarget)
        SetPage(licence_.empty() ? kPageWelcome : kPageLicence);
    else if (page_ > kPageWelcome && page_ < kPageInstall)
        SetPage(page_ - 1);
}

void InstallWizardModel::RunInstall() {
    InstallChoices choices;
    choices.installFolder = installFolder;
    choices.programFolder = programFolder;
    choices.desktopLink = desktopLink;
    choices.autoStartVisible = autoRunVisible_;
    choices.autoStart = autoStart;
    choices.additionalVisible = additionalVisible_;
    choices.additional = additional;
    InstallView* progress = view_;
    struct NoView : InstallView {
        void SetStatus(const std::string&) override {}
        void SetPercent(int) override {}
    } none;
    InstallRun run(p_, folders_, script_, choices, progress ? *progress : none);
    if (!setupProgram.empty()) run.setupProgram = setupProgram;
    result_ = run.Run();
    switch (result_.outcome) {
        case InstallOutcome::Completed:
            SetPage(kPageDone);
            break;
        case InstallOutcome::FolderFailed:
            SetPage(kPageTarget);
            if (view_) view_->FocusInstallFolder();
            break;
        default:
            // The run has said why; what it installed is registered for removal.
            confirmClose_ = false;
            if (view_) view_->CloseWizard();
            break;
    }
}

void InstallWizardModel::Finish() {
    const std::string folder = IncludeTrailingBackslash(installFolder);
    if (readme) (void)p_.shell.OpenDocument(folder + "ReadMe.txt");
    if (startProgram) {
        ProcessStart start;
        start.application = folder + script_.appExeName;
        start.commandLine = "\"" + start.application + "\"";
        (void)p_.system.StartProcess(start);
    }
    if (!installExe_.empty()) {
        ProcessStart start;
        start.commandLine = installExe_;
        (void)p_.system.StartProcess(start);
    }
    if (!script_.additionalInfoFile.empty() && !startEnabled_)
        (void)p_.shell.OpenDocument(folder + script_.additionalInfoFile);
    if (view_) view_->CloseWizard();
}

bool InstallWizardModel::AskClose() {
    return ShowMsgBox(p_.prompter, kCloseQuestion, "", mkConfirmation, bsYesNo) == MsgResult::Yes;
}

void InstallWizardModel::Cancel() {
    if (!cancel_.enabled) return;
    if (QueryClose() && view_) view_->CloseWizard();
}

bool InstallWizardModel::QueryClose() {
    // While the run works the window stays; it ends the run itself.
    if (page_ == kPageInstall) return false;
    if (!confirmClose_) return true;
    return AskClose();
}

bool InstallWizardModel::LeaveInstallFolder() {
    if (installFolder.empty()) return true;
    const std::string field = UpperCase1252(IncludeTrailingBackslash(installFolder));
    if (UpperCase1252(folders_.setup).rfind(field, 0) == 0) {
        ShowMsgBox(p_.prompter, Fill(kSetupFolderRefused, script_.applicationName), "", mkError, bsOk);
        if (view_) view_->FocusInstallFolder();
        return false;
    }
    return true;
}

bool InstallWizardModel::LeaveProgramFolder() {
    if (!programFolder.empty()) return true;
    ShowMsgBox(p_.prompter, kNoProgramFolder, "", mkError, bsOk);
    if (view_) view_->FocusProgramFolder();
    return false;
}

std::string InstallWizardModel::BrowseTargetFolder(const std::string& name) {
    std::string picked;
    if (!p_.prompter.SelectFolder(Fill(kBrowseTitle, script_.defaultTargetFolder), "", picked, false))
        return std::string();
    return TargetFolderFor(picked, name);
}

void InstallWizardModel::Browse() {
    const std::string folder = BrowseTargetFolder(script_.defaultTargetFolder);
    if (folder.empty()) return;
    // Only an empty folder goes: the one page 3 may have created.
    if (!installFolder.empty() && DirectoryExists(p_.files, installFolder))
        (void)p_.files.RemoveDirectory(installFolder);
    installFolder = folder;
    if (view_) view_->InstallFolderChanged();
}

}  // namespace bv
