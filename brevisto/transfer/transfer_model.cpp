#include "brevisto/transfer/transfer_model.h"

#include <exception>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "brevisto/support/registry_values.h"
#include "brevisto/transfer/transfer_target.h"
#include "brevisto/viewer/viewer_model.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kTransferCaption = "Datentransfer von Outlook Express nach Windows (Live) Mail";
const char* const kMailProgramLabel = "Gefundenes E-Mail-Programm: ";
const char* const kNoMailProgram = "Keines von beiden!";
const char* const kSettingsExplanation =
    "Einige Einstellungen können direkt nach Windows (Live) Mail übertragen werden.";
const char* const kNoMailProgramNotice = "Es konnte weder Windows Mail noch Windows Live Mail gefunden werden!";
const char* const kTransferBackupBrowseTitle =
    "Wählen Sie den Ordner oder Laufwerk, in dem sich die Outlook-Express Backups befinden.";
const char* const kTransferTargetBrowseTitle =
    "Wählen Sie den Ordner aus, in den die DBX-Dateien extrahiert werden sollen.";
const char* const kTargetFolderName = "Brevisto-Daten\\";
const char* const kCannotInitZipText =
    "Zip-Prozedur kann nicht initialisiert werden!\rDie Daten können nicht gelesen werden.\r\rDies liegt "
    "vermutlich daran, dass entweder kein Zugriff auf das angegebene Verzeichnis möglich ist oder die Datei in "
    "Benutzung ist. Starten Sie daher das System neu und versuchen Sie das Einspielen erneut.";

namespace {

const char* const kUpdatePrefix = "UPD_";
const char* const kOpticalDriveQuestion =
    "Der Datenträger %s ist ein Laufwerk, auf das nicht direkt gesichert werden kann (z.B. CD oder DVD). Hierfür "
    "benötigen Sie eine separate Brennsoftware bzw. Sie müssen ein Programm verwenden, das das Dateisystem UDF "
    "unterstützt, z.B. Nero InCD von Ahead, u.ä.\r\rMöchten Sie dieses Laufwerk trotzdem zur Ablage des Backups "
    "verwenden?";
const char* const kCreateFolderQuestion = "Der angegebene Ordner existiert nicht!\rSoll er angelegt werden?";
const char* const kNoDriveText = "Das angegebene Laufwerk existiert nicht!";

// Each "%s" in turn; a value that holds "%s" itself (a record's text) is not filled again.
std::string Filled(std::string text, const std::vector<std::string>& values) {
    size_t from = 0;
    for (const std::string& value : values) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

// "C:" of "C:\...", "\\server\share" of a network path; the path itself otherwise.
std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return ExtractFileDrive(path);
}

}  // namespace

TransferModel::TransferModel(Platform& platform, TransferRunView& view)
    : p_(platform), view_(view), reader_(std::make_unique<TZipReader>(platform)) {
    reader_->SetOverwriteMode(TOverwriteMode::Always);
    reader_->SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    reader_->OnBadPassword = [](TZipReader&, int, std::string&) {};
    reader_->OnStartUnZip = [this](TZipReader& sender, int index, std::string&, bool&) {
        view_.SetStatus("Status: Entpacke " + sender.EntryName(index) + " (" +
                        FormatByteSize(static_cast<int64_t>(sender.EntrySize(index)), p_.system.DecimalSeparator()) +
                        ")");
    };
    steps_.fill(true);
}

TransferModel::~TransferModel() = default;

void TransferModel::Open() {
    FindMailProgram();
    Settings settings(p_);
    TPathComponent places(p_);
    backupFolder_ = settings.BackupFolder();
    if (backupFolder_.empty() || !DirectoryExists(p_.files, backupFolder_)) {
        const std::string documents = places.ShellPersonalFolder();
        if (!documents.empty()) backupFolder_ = IncludeTrailingBackslash(documents);
    }
    const std::string desktop = places.ShellDesktopFolder();
    if (!desktop.empty()) targetFolder_ = IncludeTrailingBackslash(desktop) + kTargetFolderName;
    FillList();
}

void TransferModel::FindMailProgram() {
    mailProgram_.clear();
    if (!ReadRegString(p_.registry, 2, "SOFTWARE\\Microsoft\\Windows Live Mail", "InstallRoot").empty()) {
        mailProgram_ = kWindowsLiveMail;
        return;
    }
    // Windows Mail came with Windows Vista only; later systems keep its keys without the program.
    const OsVersion v = p_.system.GetVersion();
    if (v.ok && v.platformId == 2 && v.major == 6 && v.minor == 0 &&
        !ReadRegString(p_.registry, 2, "SOFTWARE\\Microsoft\\Windows Mail", "InstallRoot").empty())
        mailProgram_ = kWindowsMail;
}

std::string TransferModel::PathOf(int index) const {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return std::string();
    return backupFolder_ + entries_[static_cast<size_t>(index)] + ".bvq";
}

void TransferModel::UpdateUnpackEnabled() {
    // The run makes the target folder; without "Entpacken nach:" it is not needed at all.
    unpackEnabled_ = selected_ >= 0 && archiveReadable_ && (!unpack_ || !targetFolder_.empty());
}

void TransferModel::FillList() {
    entries_.clear();
    selected_ = -1;
    dateText_.clear();
    comment_.clear();
    noBackupText_.clear();
    passwordEnabled_ = false;
    archiveReadable_ = false;
    backupKind_.clear();
    mainBackup_.clear();
    mainFound_ = false;
    reader_->SetZipName(std::string());
    UpdateUnpackEnabled();
    if (backupFolder_.empty() || !DirectoryExists(p_.files, backupFolder_)) {
        noBackupText_ = kBackupFolderMissing;
        return;
    }
    int latest = -1;
    FileTime latestTime = 0;
    for (const std::string& name : TIdentityScanner(p_).ListBackupFiles(backupFolder_)) {
        entries_.push_back(ChangeFileExt(name, ""));
        if (SameText(name.substr(0, 4), kUpdatePrefix)) continue;
        FileTime created = 0;
        (void)p_.files.GetTimes(backupFolder_ + name, &created, nullptr);  // unknown counts as oldest
        if (latest < 0 || created > latestTime) {
            latest = static_cast<int>(entries_.size()) - 1;
            latestTime = created;
        }
    }
    if (entries_.empty()) {
        noBackupText_ = kNoBackupFound;
        return;
    }
    Choose(latest >= 0 ? latest : 0, true);
}

bool TransferModel::ReadRecord(int index, std::string& comment) {
    try {
        TZipReader probe(p_);
        // No rebuilt directory here: it would lack the record that is asked for.
        probe.SetZipName(PathOf(index));
        probe.ReadDirectory();
        comment = probe.ReadComment();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TransferModel::Choose(int index, bool mayFollowMain) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    selected_ = index;
    archiveReadable_ = false;
    passwordEnabled_ = false;
    backupKind_.clear();
    mainBackup_.clear();
    mainFound_ = false;
    dateText_.clear();
    UpdateUnpackEnabled();
    const std::string path = PathOf(index);
    const std::string log = ChangeFileExt(path, ".log");
    comment_.clear();
    try {
        if (FileExists(p_.files, log)) comment_ = TIdentityScanner(p_).ReadTaggedLine(log, "Kommentar: ");
    } catch (const std::exception&) {
        // A log that cannot be read has no comment to show; the record may have one.
    }

    reader_->SetZipName(path);
    if (p_.files.Open(path, OpenMode::ReadShared)) {
        FileTime lastWrite = 0;
        if (p_.files.GetTimes(path, nullptr, &lastWrite)) dateText_ = "vom " + FileTimeText(p_.system, lastWrite);
    }

    reader_->SetDestDir(targetFolder_);
    reader_->SetKeepZipOpen(false);
    reader_->SetRecreateDirs(false);
    reader_->SetPassword(std::string());
    std::string record;
    try {
        reader_->ReadDirectory();
    } catch (const std::exception&) {
        ShowMsgBox(p_.prompter, kCannotInitZipText, kMessageCaption, mkError, bsOk);
        return;
    }
    try {
        passwordEnabled_ = reader_->EntryEncrypted(0);
        record = reader_->ReadComment();
    } catch (const std::exception&) {
        ShowMsgBox(p_.prompter, kNoBackupDataText, kMessageCaption, mkError, bsOk);
        return;
    }
    archiveReadable_ = true;
    p_.pump.ProcessMessages();

    if (comment_.empty()) comment_ = BackupInfoValue(record, "BackupInfo", "Comment");
    if (BackupInfoValue(record, "BackupInfo", "BackupArt") != kUpdateBackup) {
        backupKind_ = kFullBackup;
        mainBackup_ = entries_[static_cast<size_t>(index)] + ".bvq";
        mainFound_ = true;
        UpdateUnpackEnabled();
        return;
    }
    backupKind_ = kUpdateBackup;
    mainBackup_ = BackupInfoValue(record, "BackupInfo", "HauptBackup");
    ShowMsgBox(p_.prompter,
               Filled("Dies ist das \r\r%s. aktualisierte Update der Identität %s\r\rund beinhaltet nicht alle "
                      "gesicherten Daten...\rEs wird daher das letzte vollständig durchgeführte Komplettbackup\r\r%s"
                      "\r\rausgewählt. Die Daten in den aktualisierten Backups werden automatisch eingespielt.",
                      {BackupInfoValue(record, "BackupInfo", "Counter"),
                       BackupInfoValue(record, "BackupInfo", "Identitaet"), mainBackup_}),
               kMessageCaption, mkInformation, bsOk);
    if (!dateText_.empty()) dateText_ = "Update " + dateText_;
    // The switch happens once, and only to another backup that is a full backup itself: a
    // record that names itself or an update that names this one back ends here.
    if (mayFollowMain) {
        for (int j = 0; j < static_cast<int>(entries_.size()); ++j) {
            std::string mainRecord;
            if (j == index || !SameText(entries_[static_cast<size_t>(j)] + ".bvq", mainBackup_)) continue;
            if (!ReadRecord(j, mainRecord) ||
                BackupInfoValue(mainRecord, "BackupInfo", "BackupArt") == kUpdateBackup)
                break;
            Choose(j, false);
            return;
        }
    }
    ShowMsgBox(p_.prompter,
               Filled("!!! FEHLER !!!\r\rDas Hauptbackup %s\rwurde nicht im Backupverzeichnis %s gefunden!\r\rEs "
                      "wird versucht, soviele Daten wie möglich aus den zusammengehörenden Aktualisierungsbackups "
                      "einzuspielen. Da das Hauptbackup jedoch fehlt, kann NICHT 100%ig sichergestellt werden, "
                      "dass die Daten komplett eingespielt werden! ",
                      {mainBackup_, backupFolder_}),
               kMessageCaption, mkError, bsOk);
    UpdateUnpackEnabled();
}

void TransferModel::SelectBackup(int index) { Choose(index, true); }

void TransferModel::BackupFolderLeft(const std::string& text) {
    const std::string folder = ExpandPath(p_.shell, text, true);
    if (SameText(folder, backupFolder_)) return;
    backupFolder_ = folder;
    FillList();
}

bool TransferModel::BrowseBackupFolder() {
    const std::string chosen = SelectFolderFromComputer(p_, kTransferBackupBrowseTitle, backupFolder_);
    if (chosen.empty()) return false;
    backupFolder_ = ExpandPath(p_.shell, chosen, true);
    FillList();
    return true;
}

bool TransferModel::TargetFolderLeft(const std::string& text) {
    if (TrimBlanks(text).empty()) return true;
    const std::string folder = ExpandPath(p_.shell, text, true);
    targetFolder_ = folder;
    UpdateUnpackEnabled();
    if (p_.files.IsOpticalDrive(folder) &&
        ShowMsgBox(p_.prompter, Filled(kOpticalDriveQuestion, {DriveOf(folder)}), kMessageCaption, mkWarning,
                   bsYesNo) != MsgResult::Yes)
        return true;
    if (!DirectoryExists(p_.files, folder)) {
        if (ShowMsgBox(p_.prompter, kCreateFolderQuestion, kMessageCaption, mkQuestion, bsYesNo) != MsgResult::Yes)
            return true;
        if (!ForceDirectories(p_.files, folder)) {
            ShowMsgBox(p_.prompter, kNoDriveText, kMessageCaption, mkError, bsOk);
            return false;
        }
    }
    if (p_.files.FreeBytes(folder) < 0) {
        ShowMsgBox(p_.prompter, kNoDriveText, kMessageCaption, mkError, bsOk);
        return false;
    }
    return true;
}

bool TransferModel::BrowseTargetFolder() {
    std::string folder = targetFolder_;
    if (!SelectFolder(p_, kTransferTargetBrowseTitle, std::string(), folder, true)) return false;
    return TargetFolderLeft(folder);
}

TransferOutcome TransferModel::Run() {
    // The window offers the run only then; a backup that did not read has no chain to run.
    if (!unpackEnabled_) return TransferOutcome{};
    TransferRequest request;
    request.backupFolder = backupFolder_;
    request.backups = entries_;
    request.mainBackup = mainBackup_;
    request.mainFound = mainFound_;
    if (selected_ >= 0) request.chosenBackup = entries_[static_cast<size_t>(selected_)] + ".bvq";
    request.password = password_;
    request.mailProgram = mailProgram_;
    request.steps = steps_;
    request.unpack = unpack_;
    request.targetFolder = targetFolder_;
    TransferRun run(p_, *reader_, view_);
    TransferOutcome outcome = run.Execute(request);
    UpdateUnpackEnabled();
    return outcome;
}

}  // namespace bv
