// After the archive is written: test every entry, then delete the oldest chains of the
// identity beyond the configured number.
#include <cmath>
#include <cstdio>

#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

bool BackupRun::TestBackup() {
    Settings settings(p_);
    if (!options_.password.empty()) {
        AppendReport("\r\n--------------------------");
        AppendReport("Das Backup wurde mit einem Passwort verschlüsselt");
    }
    if (!settings.TestBackup()) {
        AppendReport("\r\n--------------------------");
        AppendReport("Backup war ERFOLGREICH, wurde aber nicht auf Fehlerfreiheit geprüft!");
        return true;
    }
    if (!FileExists(p_.files, ArchivePath())) return false;
    statusPrefix_ = "Teste: ";
    AppendReport("\r\n--------------------------");
    AppendReport("Überprüfung des Backups auf Fehler:");
    if (writer_->ZipName().empty()) writer_->SetZipName(ArchivePath());
    bool good = true;
    try {
        writer_->ReadDirectory();
        SetStatus("Backup wird auf Fehler überprüft!");
        writer_->OnTotalPercentDone = nullptr;
        view_.SetTotalProgress(0);
        const int count = writer_->EntryCount();
        for (int i = 0; i < count; ++i) {
            view_.SetTotalProgress(static_cast<int>(std::lround(100.0 * i / count)));
            SetStatus("Teste: " + std::to_string(i + 1) + "/" + std::to_string(count) + " " + writer_->EntryName(i));
            if (!writer_->TestEntry(i)) {
                good = false;
                break;
            }
        }
    } catch (const EZipAborted&) {
        // The user stopped the test: the archive is complete, only its check is missing.
        testCancelled_ = true;
        AppendReport("Die Überprüfung des Backups wurde abgebrochen; das Backup wurde nicht auf Fehlerfreiheit "
                     "geprüft!");
        return false;
    } catch (const EZipError& e) {
        // An archive that no longer reads: the test did not pass.
        AppendReport(e.what());
        good = false;
    }
    if (good) {
        SetStatus("Status: Dateien erfolgreich getestet!");
        AppendReport("Dateien erfolgreich getestet!");
    } else {
        runOk_ = false;
        SetStatus("Status: Fehler: Backup ist fehlerhaft!", StatusColor::Red);
        AppendReport("Backup war FEHLERHAFT!");
        archiveBad_ = true;
    }
    AppendReport(runOk_ ? "Backup war ERFOLGREICH!" : "Backup war NICHT erfolgreich!");
    return good;
}

namespace {

// "yyyymmdd hh:mm:ss" of the creation time: texts of this form sort by age.
std::string FileCreationStamp(Platform& p, const std::string& path) {
    FileTime created = 0;
    DateTime local;
    if (!p.files.GetTimes(path, &created, nullptr) || !p.system.FileTimeToLocal(created, local))
        return std::string();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d %02d:%02d:%02d", local.year, local.month, local.day,
                  local.hour, local.minute, local.second);
    return buf;
}

void DeleteWithReport(Platform& p, const std::string& archive) {
    for (const std::string& path : {archive, ChangeFileExt(archive, ".log")}) {
        if (p.files.GetAttributes(path) == FileAttr::Invalid) continue;
        ClearReadOnlyHidden(p.files, path);
        (void)p.files.DeleteFile(path);  // a file that cannot be deleted stays, as it may
    }
}

}  // namespace

void BackupRun::PruneOldBackups() {
    if (IsUpdate()) return;
    SetStatus("Veraltete Backups werden ermittelt und gelöscht...");
    const size_t limit = static_cast<size_t>(Settings(p_).MaxBackups());
    const std::string& identity = options_.identity.Username;

    struct Main {
        std::string path, stamp;
    };
    struct Update {
        std::string path, main;
    };
    std::vector<Main> mains;
    std::vector<Update> updates;
    for (const std::string& name : TIdentityScanner(p_).ListBackupFiles(backupFolder_)) {
        const std::string path = backupFolder_ + name;
        if (!FileExists(p_.files, path)) continue;  // folders named *.bvq
        std::string comment;
        try {
            TZipReader reader(p_);
            reader.SetDoProcessMessages(false);
            reader.SetZipName(path);
            reader.ReadDirectory();
            comment = reader.Comment();
        } catch (const EZipError&) {
            continue;  // not ours to judge: an unreadable file is never deleted
        }
        const std::string who = BackupInfoValue(comment, "BackupInfo", "Identitaet");
        if (who.empty()) {
            if (name.compare(0, identity.size(), identity) == 0 && !identity.empty())
                mains.push_back(Main{path, FileCreationStamp(p_, path)});
            continue;
        }
        if (who != identity) continue;
        const std::string main = BackupInfoValue(comment, "BackupInfo", "HauptBackup");
        if (main == "SELF") mains.push_back(Main{path, FileCreationStamp(p_, path)});
        else updates.push_back(Update{path, main});
    }
    if (mains.size() > limit) {
        // Newest first.
        for (size_t i = mains.size(); i-- > 0;)
            for (size_t j = 0; j <= i; ++j)
                if (mains[i].stamp > mains[j].stamp) std::swap(mains[i], mains[j]);
        for (size_t k = limit; k < mains.size(); ++k) {
            DeleteWithReport(p_, mains[k].path);
            const std::string mainName = AnsiUpperCase(ExtractFileName(mains[k].path));
            for (const Update& u : updates)
                if (AnsiUpperCase(u.main) == mainName) DeleteWithReport(p_, u.path);
        }
    }
    SetStatus("");
    ProcessMessages();
}

}  // namespace bv
