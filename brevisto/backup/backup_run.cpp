#include "brevisto/backup/backup_run.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/backup_log.h"
#include "brevisto/backup/backup_target.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "brevisto/support/product_version.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

namespace {

const char kUserCancelStatus[] = "Status: * ABBRUCH DES BACKUPS DURCH NUTZER! *";
const char kCaption[] = "Brevisto";

// The check box of the page "Others" that chooses each group (the mail folders have none).
const std::pair<BackupGroup, int> kGroupOptions[] = {
    {BackupGroup::Prefs, CBSave0},        {BackupGroup::AddressBook, CBSave1},
    {BackupGroup::Accounts, CBSave2},     {BackupGroup::Rules, CBSave3},
    {BackupGroup::Signatures, CBSave4},   {BackupGroup::Stationery, CBSave5},
    {BackupGroup::Dictionaries, CBSave7}, {BackupGroup::IEZones, CBSave11},
    {BackupGroup::Cookies, CBSave8},      {BackupGroup::IEFavorites, CBSave6},
    {BackupGroup::Firefox, CBSave9},      {BackupGroup::Opera, CBSave10},
};

// -1 for the mail folders.
int SaveOptionOf(BackupGroup group) {
    for (const auto& [each, option] : kGroupOptions)
        if (each == group) return option;
    return -1;
}

}  // namespace

const char BackupRun::kSkippedLine[] =
    "Sicherung der Datei wurde übersprungen, da sie keine Änderung gegenüber dem letzten Backup aufweist.";

BackupRun::BackupRun(Platform& platform, BackupView& view, BackupOptions options)
    : p_(platform), view_(view), options_(std::move(options)),
      writer_(std::make_unique<TZipWriter>(platform)) {
    backupType_ = BackupTypeOf(options_.backupKind);
    writer_->SetPackLevel(5);
    writer_->SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    InstallWriterEvents();
}

BackupRun::~BackupRun() = default;

// ---- small helpers -----------------------------------------------------------------------

void BackupRun::AppendReport(const std::string& line) {
    report_.push_back(line);
    view_.AppendReport(line);
}

void BackupRun::Header(const std::string& text) {
    AppendReport("--------------------------");
    AppendReport(text);
    AppendReport("--------------------------");
}

void BackupRun::SetStatus(const std::string& text, StatusColor color) {
    statusText_ = text;
    statusColor_ = color;
    view_.SetStatus(text, color);
}

void BackupRun::ProcessMessages() { p_.pump.ProcessMessages(); }

void BackupRun::DeleteStagingFile(const std::string& path) {
    if (p_.files.GetAttributes(path) == FileAttr::Invalid) return;
    ClearReadOnlyHidden(p_.files, path);
    // A virus scanner may hold a fresh file for a moment: one more try before giving up.
    if (p_.files.DeleteFile(path) || p_.files.DeleteFile(path)) return;
    if (p_.files.GetAttributes(path) != FileAttr::Invalid)
        AppendReport("Die temporäre Datei " + path + " konnte nicht gelöscht werden.");
}

std::string BackupRun::Elapsed() const {
    const FileTime now = p_.system.UtcNow();
    const uint64_t seconds = now > started_ ? (now - started_) / 10000000ULL : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60));
    return buf;
}

void BackupRun::InstallWriterEvents() {
    writer_->OnStartZip = [this](TZipWriter&, const std::string& fName, TZipHeader&, bool&) {
        skippedUnchanged_ = false;
        addedSources_.push_back(fName);
        if (fName.find(".dbx") != std::string::npos)
            SetStatus(statusPrefix_ + ExtractFileName(fName) + " (" + FileSizeText(p_, fName) + ")");
        else
            SetStatus(statusPrefix_ + ExtractFileName(fName));
    };
    writer_->OnEndZip = [this](TZipWriter&, const std::string& fName, uint64_t uncompressed,
                               uint64_t compressed, uint64_t currentZipSize) {
        const char sep = p_.system.DecimalSeparator();
        SetStatus("Daten werden auf Datenträger geschrieben. Bitte warten...");
        AppendReport(" Datei " + fName + " gesichert.");
        std::string size = " Größe : " + SizeText(static_cast<int64_t>(uncompressed), sep) + " -> " +
                           SizeText(static_cast<int64_t>(compressed), sep);
        if (uncompressed != 0) {
            const double ratio = (1.0 - static_cast<double>(compressed) / static_cast<double>(uncompressed)) * 100.0;
            size += " (" + std::to_string(static_cast<long long>(std::llround(ratio))) + "% komprimiert)";
        }
        AppendReport(size);
        AppendReport(" Backupgröße : " + SizeText(static_cast<int64_t>(currentZipSize), sep));
        AppendReport("");
    };
    writer_->OnSkippingFile = [this](TZipWriter&, int reason, const std::string& fName, int, bool& retry) {
        if (reason == SkipReason::ArchiveBitClear && IsUpdate()) {
            skippedUnchanged_ = true;
        } else if (reason == SkipReason::CannotOpen) {
            char text[1024];
            std::snprintf(text, sizeof text,
                          "Die Datei\r\r%s\r\rkann nicht gesichert werden. Bitte schließen Sie alle "
                          "Anwendungen, die auf diese Datei zugreifen könnten und klicken Sie dann auf "
                          "WIEDERHOLEN, um die Sicherung der Datei noch einmal zu versuchen!",
                          fName.c_str());
            if (ShowMsgBox(p_.prompter, text, kCaption, mkError, bsRetryCancel) == MsgResult::Retry) {
                retry = true;
            } else {
                runOk_ = false;
            }
        }
    };
    writer_->OnTotalPercentDone = [this](TZipReader&, int percent) { view_.SetTotalProgress(percent); };
    writer_->OnFilePercentDone = [this](TZipReader&, int percent) { view_.SetFileProgress(percent); };
}

// ---- the add protocol ----------------------------------------------------------------------

int BackupRun::AddFiles() {
    // Only this addition's files may count as left out unchanged.
    skippedUnchanged_ = false;
    if (writer_->ZipName().empty()) writer_->SetZipName(options_.identity.LastArchivePath);
    try {
        return writer_->AddFiles();
    } catch (const EZipAborted&) {
        // The user's cancel ends this addition; the run skips what is left and goes to its end.
        writer_->FilesList().clear();
        return 0;
    } catch (const EZipError& e) {
        // A damaged archive of our name cannot be extended; the old file stays as it is.
        writer_->FilesList().clear();
        AppendReport(e.what());
        return 0;
    }
}

void BackupRun::Fail(BackupGroup group, const std::string& message, const std::string& line) {
    ShowMsgBox(p_.prompter, message, kCaption, mkError, bsOk);
    AppendReport(line);
    view_.SetIcon(group, StatusIcon::Failed);
    groupFailed_[static_cast<size_t>(group)] = true;
    runOk_ = false;
}

bool BackupRun::AddWithProtocol(BackupGroup group, const std::string& failureMessage,
                                const std::string& failureLine, bool reportSkipped) {
    ProcessMessages();
    if (AddFiles() > 0) return true;
    if (skippedUnchanged_) {
        if (reportSkipped) AppendReport(kSkippedLine);
        return true;
    }
    if (!cancelled_) Fail(group, failureMessage, failureLine);
    return false;
}

void BackupRun::FinishGroup(BackupGroup group, bool failed) {
    // A group that failed once in this run keeps its failed icon.
    if (groupFailed_[static_cast<size_t>(group)]) return;
    if (skippedUnchanged_) view_.SetIcon(group, StatusIcon::Unchanged);
    else if (!failed) view_.SetIcon(group, StatusIcon::Saved);
}

// ---- setting up ----------------------------------------------------------------------------

bool BackupRun::PrepareArchive() {
    tempFolder_ = ExpandPath(p_.shell, tempFolder_, true);
    writer_->SetTempPath(tempFolder_);
    writer_->SetPackLevel(Settings(p_).Compression());
    writer_->SetResetArchiveBitOnZip(true);
    writer_->SetSkipIfArchiveBitNotSet(IsUpdate());
    if (!options_.password.empty()) writer_->SetPassword(options_.password);
    typedName_ = options_.backupName;
    options_.backupName = WithBackupExtension(options_.backupName);
    if (IsUpdate()) options_.backupName = WithUpdatePrefix(options_.backupName);
    if (backupFolder_.empty() || ExtractFileName(options_.backupName) != options_.backupName ||
        ExtractFileName(options_.backupName).empty()) {
        runOk_ = false;
        return false;
    }
    const std::string archive = ExpandPath(p_.shell, backupFolder_, true) + options_.backupName;
    writer_->SetZipName(archive);
    options_.identity.LastArchivePath = archive;
    return true;
}

bool BackupRun::RunBackup() {
    Settings settings(p_);
    if (!options_.backupFolder.empty()) backupFolder_ = ExpandPath(p_.shell, options_.backupFolder, true);
    tempFolder_ = settings.TemporaryFolder();

    // The backup drive must be there; the user may attach it and retry.
    for (;;) {
        const std::string drive = ExtractFileDrive(backupFolder_);
        if (!drive.empty() && IsDriveReady(p_.files, drive)) break;
        char text[512];
        std::snprintf(text, sizeof text,
                      "Das Laufwerk %s ist nicht bereit.\r\nStellen Sie sicher, dass das Laufwerk "
                      "angeschlossen ist und klicken Sie auf WIEDERHOLEN.",
                      drive.c_str());
        if (ShowMsgBox(p_.prompter, text, "Kein Datenträger", mkError, bsRetryCancel) != MsgResult::Retry) {
            noReportFile_ = true;
            runOk_ = false;
            return false;
        }
    }
    const std::string tempDrive = ExtractFileDrive(tempFolder_);
    if (tempFolder_.empty() || tempDrive.empty() || !IsDriveReady(p_.files, tempDrive)) tempFolder_ = backupFolder_;
    ForceDirectories(p_.files, tempFolder_);
    ForceDirectories(p_.files, backupFolder_);
    // Only for the system's own lookups: every path of the run is a full one.
    (void)p_.files.SetCurrentDirectory(tempFolder_);

    statusPrefix_ = "Sichere: ";
    report_.clear();
    view_.ClearReport();
    view_.SetTotalProgress(0);
    SetStatus("Zu sichernde Daten werden ermittelt...");

    view_.ShowGroup(BackupGroup::MailFolders, !options_.mailFolders.empty());
    for (const auto& [group, option] : kGroupOptions) view_.ShowGroup(group, options_.save[option]);
    writer_->FilesList().clear();

    if (!PrepareArchive()) {
        ShowMsgBox(p_.prompter,
                   "Zip-Prozedur kann nicht initialisiert werden!\rDie Daten können nicht gesichert werden.",
                   kCaption, mkError, bsOk);
        return false;
    }
    // Every run writes a new archive and never replaces a backup that is there already.
    if (BackupFileExists(p_.files, ArchivePath())) {
        ShowMsgBox(p_.prompter, BackupExistsText(typedName_), kCaption, mkError, bsOk);
        noReportFile_ = true;
        runOk_ = false;
        return false;
    }
    WriteLogEntry(p_, backupFolder_, LogPart::Header,
                  LogEntry{options_.identity.Username, options_.unattended, ArchivePath(), false, true});

    AppendReport("Datum: " + DateText(p_.system.LocalNow()));
    AppendReport(std::string("Version  : Brevisto V") + kProductVersion);
    AppendReport("System: " + WindowsVersionName(GetWindowsVersion(p_.system, p_.prompter)));
    AppendReport("Backup: " + backupType_);
    AppendReport("Backup: " + ArchivePath());
    AppendReport("TempDir: " + tempFolder_);
    AppendReport("CID: " + options_.identity.KeyName);
    AppendReport("Identität: " + options_.identity.Username + "\r\n" + "--------------------------");
    AppendReport("Kommentar: " + options_.comment + "\r\n" + "--------------------------");

    const std::string defaultId = TIdentityScanner(p_).DefaultIdentityId();
    defaultIdentity_ = defaultId.empty() || "\\" + defaultId + "\\" == options_.identity.KeyName;

    // A chosen group begins (and the run is still going): its icon shows the work.
    auto begins = [this](BackupGroup group) {
        const int option = SaveOptionOf(group);
        if (option < 0 || !options_.save[option] || cancelled_) return false;
        skippedUnchanged_ = false;
        if (writer_->ZipName().empty()) writer_->SetZipName(ArchivePath());
        view_.SetIcon(group, StatusIcon::InProgress);
        return true;
    };
    if (begins(BackupGroup::Prefs)) SaveCatalogueGroup(BackupGroup::Prefs);
    if (begins(BackupGroup::AddressBook)) {
        SaveAddressBook();
        if (!skippedUnchanged_) SaveCatalogueGroup(BackupGroup::AddressBook);
    }
    if (begins(BackupGroup::Accounts)) SaveCatalogueGroup(BackupGroup::Accounts);
    if (begins(BackupGroup::Rules)) SaveCatalogueGroup(BackupGroup::Rules);
    if (begins(BackupGroup::Signatures)) SaveCatalogueGroup(BackupGroup::Signatures);
    if (begins(BackupGroup::Stationery)) {
        SaveCatalogueGroup(BackupGroup::Stationery);
        SaveStationery();
    }
    if (begins(BackupGroup::Dictionaries)) SaveDictionaries();
    Header("Speichert Internet Explorer Einstellungen:");
    if (begins(BackupGroup::IEZones)) SaveCatalogueGroup(BackupGroup::IEZones);
    if (begins(BackupGroup::Cookies)) SaveCatalogueGroup(BackupGroup::Cookies);
    if (begins(BackupGroup::IEFavorites)) {
        SaveIEFavorites();
        SetStatus("");
    }
    if (begins(BackupGroup::Firefox)) {
        SaveFirefoxBookmarks();
        SetStatus("");
    }
    if (begins(BackupGroup::Opera)) {
        SaveOperaBookmarks();
        SetStatus("");
    }

    // A cancel skips everything that is left, the information record and the mail folders
    // included: the unfinished archive is discarded at the end of the run.
    if (!cancelled_) {
        view_.SetIcon(BackupGroup::MailFolders, StatusIcon::InProgress);
        WriteBackupInfo();
        SaveMailFolders();
    }
    if (!cancelled_ && FileExists(p_.files, ArchivePath())) {
        try {
            SetStatus(SizeText(static_cast<int64_t>(writer_->ArchiveFileSize()), p_.system.DecimalSeparator()) +
                      " " + "Daten werden auf Datenträger geschrieben. Bitte warten...");
            if (writer_->CommentChanged()) writer_->WriteChangedComment();
        } catch (const EZipAborted&) {
            // The cancel is handled at the end of the run.
        } catch (const EZipError& e) {
            AppendReport(e.what());
            runOk_ = false;
        }
        if (!cancelled_ && writer_->CommentChanged()) {
            // Without its record the archive is no backup the chain or the viewer can use.
            AppendReport("Die Informationen zum Backup konnten nicht im Archiv gespeichert werden!");
            runOk_ = false;
        }
    }
    if (!cancelled_ && FileExists(p_.files, ArchivePath())) CommitHistory();
    return true;
}

void BackupRun::CommitHistory() {
    BackupHistory(p_.registry, options_.identity.KeyName)
        .Record(options_.backupKind, ExtractFileName(ArchivePath()), historyDate_);
}

void BackupRun::RestoreChangeMarks() {
    for (const std::string& path : addedSources_)
        if (FileExists(p_.files, path)) SetArchiveAttribute(p_.files, path);
}

void BackupRun::DiscardUnfinishedArchive() {
    if (!ArchivePath().empty() && p_.files.GetAttributes(ArchivePath()) != FileAttr::Invalid) {
        ClearReadOnlyHidden(p_.files, ArchivePath());
        if (p_.files.DeleteFile(ArchivePath()))
            AppendReport("Das unvollständige Backup " + ArchivePath() + " wurde gelöscht.");
        else
            AppendReport("Das unvollständige Backup " + ArchivePath() + " konnte nicht gelöscht werden!");
    }
    RestoreChangeMarks();
}

// ---- around the run --------------------------------------------------------------------------

BackupOutcome BackupRun::Execute() {
    Settings settings(p_);
    writer_->FilesList().clear();
    cancelled_ = false;
    idle_ = false;
    runOk_ = true;
    started_ = p_.system.UtcNow();

    static const uint32_t kPriorityClasses[] = {0, 64, 128, 256};
    const int priority = settings.Priority();
    if (priority >= 1 && priority <= 3) p_.system.SetPriorityClass(kPriorityClasses[priority]);

    BackupOutcome outcome;
    outcome.archiveBuilt = RunBackup();
    if (outcome.archiveBuilt && !cancelled_ && TestBackup() && runOk_) PruneOldBackups();

    if (priority >= 1 && priority <= 3) p_.system.SetPriorityClass(32);
    if (cancelled_ && !testCancelled_) {
        DiscardUnfinishedArchive();
    } else if (archiveBad_ || !FileExists(p_.files, ArchivePath())) {
        // What the run added is in no usable archive: the next backup must take it again.
        RestoreChangeMarks();
    }
    view_.SetTotalProgress(100);
    const std::string elapsed = Elapsed();
    AppendReport("\r\n\r\nBenötigte Zeit: " + elapsed + " h");
    idle_ = true;

    if (!noReportFile_) {
        if (SaveReportFile()) outcome.reportFile = ChangeFileExt(ArchivePath(), ".log");
        PrintReport(false);
    }
    if (!ExpandPath(p_.shell, options_.backupFolder, true).empty())
        settings.SetString("bakFolder", ExpandPath(p_.shell, options_.backupFolder, true));
    WriteLogEntry(p_, backupFolder_, LogPart::Status,
                  LogEntry{options_.identity.Username, options_.unattended, ArchivePath(), cancelled_, runOk_});

    const std::string sounds = TPathComponent(p_).ProgramPath() + "\\sounds\\";
    auto play = [this](const std::string& file) {
        if (FileExists(p_.files, file)) p_.system.PlaySoundFile(file);
    };
    const bool archiveExists = !ArchivePath().empty() && FileExists(p_.files, ArchivePath());
    if (cancelled_) {
        // The user's cancel, wherever it came: the line says so, whatever was written since.
        SetStatus(kUserCancelStatus);
    } else if (archiveBad_) {
        bool testsGood = false;
        if (archiveExists) {
            try {
                TZipReader check(p_);
                check.SetZipName(ArchivePath());
                check.SetPassword(options_.password);
                check.SetDoProcessMessages(false);
                testsGood = check.TestArchive();
            } catch (const EZipError&) {
                testsGood = false;
            }
        }
        if (testsGood) {
            SetStatus("Backup war NICHT erfolgreich!", StatusColor::Red);
            play(sounds + "saveerror.wav");
        } else {
            SetStatus("Backup der Daten abgebrochen!", StatusColor::Red);
            ShowMsgBox(p_.prompter, "Backup der Daten abgebrochen!", kCaption, mkInformation, bsOk);
        }
    } else if (runOk_ && outcome.archiveBuilt && archiveExists) {
        SetStatus("Backup der Daten erfolgreich beendet!", StatusColor::Green);
        play(sounds + "saveok.wav");
        outcome.succeeded = true;
    } else {
        // A failed run must never look like a success.
        runOk_ = false;
        SetStatus("Backup war NICHT erfolgreich!", StatusColor::Red);
        play(sounds + "saveerror.wav");
    }
    if (!cancelled_ && options_.unattended && settings.NoMessages()) outcome.closeWizard = true;

    SetStatus(statusText_ + " Zeit: " + elapsed + " h", statusColor_);
    outcome.cancelled = cancelled_;
    outcome.runOk = runOk_;
    outcome.statusText = statusText_;
    outcome.statusColor = statusColor_;
    return outcome;
}

bool BackupRun::CancelBtnClick() {
    if (!writer_->IsBusy()) return false;
    if (ShowMsgBox(p_.prompter,
                   "Das Backup der Daten ist noch nicht vollständig!\r\rSoll der Vorgang abgebrochen werden?",
                   "Abbruch des Backups", mkConfirmation, bsYesNo) != MsgResult::Yes)
        return false;
    cancelled_ = true;
    writer_->AbortOperation();
    view_.SetTotalProgress(0);
    for (int g = 0; g < kBackupGroupCount; ++g) view_.SetIcon(static_cast<BackupGroup>(g), StatusIcon::Cleared);
    SetStatus(kUserCancelStatus);
    AppendReport("");
    AppendReport("* ABBRUCH DES BACKUPS DURCH NUTZER! *");
    writer_->FilesList().clear();
    WriteLogEntry(p_, backupFolder_, LogPart::Cancel,
                  LogEntry{options_.identity.Username, options_.unattended, ArchivePath(), true, runOk_});
    return true;
}

bool BackupRun::SaveReportFile() {
    if (ArchivePath().empty()) return false;
    const std::string path = ChangeFileExt(ArchivePath(), ".log");
    ClearReadOnlyHidden(p_.files, path);
    // Half a report is worse than none (it would look complete): a failed write leaves none.
    if (WriteTextLines(p_.files, path, report_)) return true;
    ShowMsgBox(p_.prompter, "Der Report " + path + " konnte nicht gespeichert werden!", kCaption, mkError, bsOk);
    return false;
}

void BackupRun::PrintReport(bool manual) {
    if (!manual && !(options_.unattended && Settings(p_).OEPrintAfterBackup())) return;
    if (!p_.system.PrintText(report_, "Brevisto - Backupreport wird gedruckt..."))
        ShowMsgBox(p_.prompter,
                   "Beim Ausdrucken ist ein Fehler aufgetreten! Prüfen Sie ob der Standard-Drucker "
                   "korrekt installiert ist.",
                   "", mkError, bsOk);
}

}  // namespace bv
