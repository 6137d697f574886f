// The file groups of a backup besides the registry keys: address book, stationery,
// dictionaries, favourites, browser bookmarks, the information record and the mail folders.
#include <cstdio>
#include <utility>

#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/firefox_profiles.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

namespace {

std::string CouldNotSave(const std::string& fill) {
    return "Datei " + fill + " konnte nicht gesichert werden!";
}

// Points the writer at another archive for a while, and back at the one it had when the
// scope ends; the add events it had come back with it.
class InnerArchiveScope {
public:
    InnerArchiveScope(TZipWriter& writer, const std::string& archive)
        : w_(writer), zipName_(writer.ZipName()), onStart_(writer.OnStartZip), onEnd_(writer.OnEndZip) {
        w_.SetZipName(archive);
    }
    ~InnerArchiveScope() {
        w_.SetZipName(zipName_);
        w_.OnStartZip = std::move(onStart_);
        w_.OnEndZip = std::move(onEnd_);
    }
    InnerArchiveScope(const InnerArchiveScope&) = delete;
    InnerArchiveScope& operator=(const InnerArchiveScope&) = delete;

private:
    TZipWriter& w_;
    std::string zipName_;
    TZipStartZipEvent onStart_;
    TZipEndZipEvent onEnd_;
};

}  // namespace

void BackupRun::SaveFileList(BackupGroup group, const std::vector<std::string>& files, bool fullPaths,
                             const std::string& noneLine, const std::string& failureMessage,
                             const std::string& failureLine) {
    bool failed = false;
    {
        TZipWriter::SettingsScope keep(*writer_);
        if (fullPaths) {
            writer_->SetRelativePaths(false);
            writer_->SetStorePaths(true);
        }
        if (files.empty()) {
            AppendReport(noneLine);
        } else {
            writer_->FilesList() = files;
            failed = !AddWithProtocol(group, failureMessage, failureLine, true);
        }
    }
    writer_->FilesList().clear();
    FinishGroup(group, failed);
}

void BackupRun::SaveAddressBook() {
    const BackupGroup group = BackupGroup::AddressBook;
    Header("Speichert das Adressbuch:");
    const std::string key = "Software\\Microsoft\\WAB\\WAB4\\Wab File Name";
    std::vector<RegValue> values;
    bool failed = false;
    if (p_.registry.EnumValues(RegRoot::CurrentUser, key, values) == WinError::Success) {
        if (values.empty()) AppendReport("Kein Adressbuch vorhanden!");
        for (const RegValue& value : values) {
            const std::string path =
                p_.shell.ExpandEnvironment(ReadRegString(p_.registry, 1, key, value.name));
            if (path.empty() || !FileExists(p_.files, path)) continue;
            AppendReport(path);
            ClearReadOnlyHidden(p_.files, path);
            writer_->FilesList().push_back(path);
            if (!AddWithProtocol(group, CouldNotSave("mit dem Adressbuch"),
                                 "Fehler beim Sichern des Adressbuchs!", true))
                failed = true;
            writer_->FilesList().clear();
            if (cancelled_) break;
        }
    }
    FinishGroup(group, failed);
}

void BackupRun::SaveStationery() {
    const BackupGroup group = BackupGroup::Stationery;
    Header("Speichert Briefpapier:");
    std::string folder = ReadRegString(p_.registry, 2, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery",
                                       "Stationery Folder");
    if (folder.empty()) {
        const std::string common = TPathComponent(p_).CommonFilesDir();
        if (!common.empty()) folder = common + "\\" + "Microsoft Shared\\Stationery\\";
    }
    folder = ExpandPath(p_.shell, folder, true);
    AppendReport("Ordner: " + folder);
    bool failed = false;
    if (folder.empty()) {
        AppendReport("Speichern der Briefpapiere übersprungen, da keine vorhanden sind!");
        FinishGroup(group, failed);
        return;
    }
    std::vector<std::string> list{folder};
    const std::vector<std::string> papers = ListFiles(p_.files, folder, "*.*", true);
    list.insert(list.end(), papers.begin(), papers.end());
    const std::string listFile = tempFolder_ + "PAPER.TMP";
    DeleteStagingFile(listFile);
    if (list.size() > 1 && !WriteTextLines(p_.files, listFile, list)) {
        // Without the list the files cannot be put back in their places; they are still saved.
        Fail(group, CouldNotSave("für die Briefpapier-Übersicht"), CouldNotSave("für die Briefpapier-Übersicht"));
        failed = true;
    } else if (list.size() > 1) {
        writer_->FilesList().push_back(listFile);
        ProcessMessages();
        if (AddFiles() <= 0 && !skippedUnchanged_ && !cancelled_) {
            Fail(group, CouldNotSave("für die Briefpapier-Übersicht"), CouldNotSave("für die Briefpapier-Übersicht"));
            failed = true;
        }
        writer_->FilesList().clear();
    }
    {
        // The papers go back to their folders.
        TZipWriter::SettingsScope keep(*writer_);
        writer_->SetStorePaths(true);
        if (papers.empty()) {
            AppendReport("Speichern der Briefpapiere übersprungen, da keine vorhanden sind!");
        } else if (!cancelled_) {
            writer_->FilesList() = papers;
            ProcessMessages();
            if (AddFiles() <= 0 && !skippedUnchanged_ && !cancelled_) {
                Fail(group, "Fehler beim Speichern des Briefpapiers!", "Fehler beim Speichern des Briefpapiers!");
                failed = true;
            }
        }
    }
    writer_->FilesList().clear();
    FinishGroup(group, failed);
    DeleteStagingFile(listFile);
}

void BackupRun::SaveDictionaries() {
    const BackupGroup group = BackupGroup::Dictionaries;
    Header("Speichert die Benutzerwörterbücher:");
    const std::string appData = TPathComponent(p_).ShellAppDataFolder();
    std::vector<std::string> files;
    if (!appData.empty())
        files = ListFiles(p_.files, ExpandPath(p_.shell, appData + "\\" + "Microsoft\\Proof\\", true), ".dic", false);
    SaveFileList(group, files, false, "Kein Benutzerwörterbuch gefunden!\r\n", CouldNotSave("mit den Benutzerwörterbüchern"),
                 "Fehler beim Sichern der Benutzerwörterbücher!");
}

void BackupRun::SaveIEFavorites() {
    const BackupGroup group = BackupGroup::IEFavorites;
    const std::string favorites = TPathComponent(p_).ShellFavoritesFolder();
    Header("Speichert Internet Explorer Favoriten:");
    if (favorites.empty()) {
        AppendReport("Internet Explorer Favoriten nicht gefunden!");
        FinishGroup(group, false);
        return;
    }
    const std::string folder = ExpandPath(p_.shell, favorites, true);
    AppendReport("Ordner: " + folder);
    const std::string inner = tempFolder_ + "iefav.zip";

    bool failed = false;
    BuildIEFavoritesArchive(failed);
    bool empty = true;
    bool readable = true;
    try {
        TZipReader check(p_);
        check.SetZipName(inner);
        check.SetDoProcessMessages(false);
        if (FileExists(p_.files, inner)) {
            check.ReadDirectory();
            for (int i = 0; i < check.EntryCount() && empty; ++i)
                if (!check.EntryName(i).empty()) empty = false;
        }
    } catch (const EZipError&) {
        readable = false;
    }
    if (!readable && !failed && !cancelled_) {
        // An inner archive that was built but does not read is a failure, not "nothing changed".
        Fail(group, "Fehler beim Sichern der IE-Favoriten!", "Fehler beim Sichern der IE-Favoriten!");
        failed = true;
    }
    if (failed || cancelled_) {
        FinishGroup(group, failed);
        DeleteStagingFile(inner);
        return;
    }
    if (empty) {
        view_.SetIcon(group, StatusIcon::Unchanged);
        AppendReport(kSkippedLine);
        DeleteStagingFile(inner);
        return;
    }
    if (IsUpdate() && writer_->SkipIfArchiveBitNotSet()) {
        // A favourite changed: the update holds all favourites, never a part of them.
        DeleteStagingFile(inner);
        TZipWriter::SettingsScope keep(*writer_);
        writer_->SetSkipIfArchiveBitNotSet(false);
        SaveIEFavorites();
        return;
    }
    if (FileExists(p_.files, inner) && !cancelled_) {
        writer_->FilesList().push_back(inner);
        failed = !AddWithProtocol(group, "Fehler beim Sichern der IE-Favoriten-Datei!",
                                  "Fehler beim Sichern der IE-Favoriten-Datei!", false) || failed;
        writer_->FilesList().clear();
    }
    FinishGroup(group, failed);
    DeleteStagingFile(inner);
}

void BackupRun::BuildIEFavoritesArchive(bool& failed) {
    const std::string folder = ExpandPath(p_.shell, TPathComponent(p_).ShellFavoritesFolder(), true);
    const std::string inner = tempFolder_ + "iefav.zip";
    // A leftover of an earlier run must not mix into the new one.
    DeleteStagingFile(inner);

    // The favourites go into the inner archive quietly: the run reports that archive as one file.
    InnerArchiveScope into(*writer_, inner);
    writer_->OnStartZip = [this](TZipWriter&, const std::string&, TZipHeader&, bool&) { skippedUnchanged_ = false; };
    writer_->OnEndZip = nullptr;
    // The whole tree, with its folders, below the favourites folder.
    TZipWriter::SettingsScope keep(*writer_);
    writer_->SetRootDir(folder);
    writer_->SetRecurse(true);
    writer_->SetAddDirEntriesOnRecurse(true);
    writer_->SetStorePaths(true);
    writer_->SetRelativePaths(true);
    writer_->FilesList() = {"*.*"};
    ProcessMessages();
    if (AddFiles() <= 0 && !skippedUnchanged_ && !cancelled_) {
        Fail(BackupGroup::IEFavorites, "Fehler beim Sichern der IE-Favoriten!", "Fehler beim Sichern der IE-Favoriten!");
        failed = true;
    }
    writer_->FilesList().clear();
}

void BackupRun::SaveFirefoxBookmarks() {
    const BackupGroup group = BackupGroup::Firefox;
    Header("Speichert Mozilla Firefox Favoriten:");
    const std::string appData = TPathComponent(p_).ShellAppDataFolder();
    std::vector<std::string> paths;
    if (!appData.empty())
        paths = FirefoxBookmarkFiles(p_, appData + "\\" + "Mozilla\\Firefox\\" + "profiles.ini", true);
    options_.identity.FirefoxProfileList = paths;
    SaveFileList(group, paths, true, "Mozilla Firefox Favoriten nicht gefunden!\r\n",
                 CouldNotSave("mit den Firefox Favoriten"), "Fehler beim Sichern der Firefox Favoriten!");
}

void BackupRun::SaveOperaBookmarks() {
    const BackupGroup group = BackupGroup::Opera;
    Header("Speichert Opera Favoriten:");
    std::string folder;
    const std::string last = ReadRegString(p_.registry, 1, "\\Software\\Opera Software", "Last Directory3");
    if (!last.empty()) folder = ExpandPath(p_.shell, last, true) + "profile\\";
    if (folder.empty() || !DirectoryExists(p_.files, folder)) {
        const std::string appData = TPathComponent(p_).ShellAppDataFolder();
        folder = appData.empty() ? std::string() : appData + "\\" + "Opera\\Opera\\profile\\";
    }
    if (folder.empty() || !DirectoryExists(p_.files, folder)) {
        AppendReport("Opera Favoriten nicht gefunden!");
        view_.SetIcon(group, StatusIcon::Saved);
        return;
    }
    SaveFileList(group, ListFiles(p_.files, folder, ".adr", false), true, "Opera Favoriten nicht gefunden!\r\n",
                 CouldNotSave("mit den Opera Favoriten"), "Fehler beim Sichern der Opera Favoriten!");
}

void BackupRun::WriteBackupInfo() {
    BackupHistory history(p_.registry, options_.identity.KeyName);
    BackupInfoRecord record;
    record.backupType = backupType_;
    record.mainBackup = history.MainBackupName(options_.backupKind);
    // The settings learn of this backup only when the run keeps its archive (CommitHistory).
    record.counter = history.NextCounter(options_.backupKind);
    historyDate_ = p_.system.DateTimeText(p_.system.LocalNow());
    record.identityName = options_.identity.Username;
    record.identityKey = history.IdentityKey();
    record.dateText = DateText(p_.system.LocalNow());
    record.comment = options_.comment;
    record.firefoxVersion = FirefoxVersion(p_);
    const std::string appData = TPathComponent(p_).ShellAppDataFolder();
    if (!appData.empty()) {
        for (const std::string& profile :
             FirefoxProfiles(p_, appData + "\\" + "Mozilla\\Firefox\\" + "profiles.ini", ":#*#:")) {
            std::vector<std::string> parts = SplitString(":#*#:", profile);
            record.firefoxProfiles.emplace_back(parts.size() > 0 ? parts[0] : std::string(),
                                                parts.size() > 1 ? parts[1] : std::string());
        }
    }
    if (writer_->ZipName().empty()) writer_->SetZipName(ArchivePath());
    writer_->SetComment(BuildBackupInfoText(record));
}

void BackupRun::SaveMailFolders() {
    const BackupGroup group = BackupGroup::MailFolders;
    if (writer_->ZipName().empty()) writer_->SetZipName(ArchivePath());
    const std::string store = options_.identity.StoreRoot.empty()
                                  ? std::string()
                                  : ExpandPath(p_.shell, options_.identity.StoreRoot, true);
    bool saved = false, failed = false;
    std::vector<std::string> map;
    writer_->FilesList().clear();
    for (const MailFolderChoice& choice : options_.mailFolders) {
        std::string path = choice.path;
        while (!path.empty() && path.back() == ' ') path.pop_back();
        // The wizard offers only existing files; a parameter file may name vanished ones.
        if (!options_.unattended && !FileExists(p_.files, path)) continue;
        saved = true;
        ClearReadOnlyHidden(p_.files, path);
        writer_->FilesList().push_back(path);
        map.push_back(ExtractFileName(path) + "#~#" + choice.name);
    }
    const std::string realNames = tempFolder_ + "REALNAME.TMP";
    DeleteStagingFile(realNames);
    const bool mapWritten = saved && WriteTextLines(p_.files, realNames, map);
    if (mapWritten) writer_->FilesList().push_back(realNames);
    auto failMailStep = [&] {
        ShowMsgBox(p_.prompter,
                   "Die Datendateien konnten nicht gesichert werden, da vermutlich auf dem Datenträger für die "
                   "temporären Daten zuwenig Speicherplatz verfügbar ist.\r\n\r\nEs wäre daher notwendig, dass "
                   "Sie mehr Speicherplatz zur Verfügung stellen bzw. in den Einstellungen den Temporären "
                   "Ordner ändern!",
                   "Brevisto", mkError, bsOk);
        AppendReport("Fehler beim Speichern der Mailordner!");
        failed = true;
        runOk_ = false;
        view_.SetIcon(group, StatusIcon::Failed);
    };
    if (saved) {
        AppendReport("\r\n--------------------------");
        AppendReport("Speichert Mailordner...");
        AppendReport("Datenpfad: " + store);
        AppendReport("--------------------------");
        static const std::pair<const char*, const char*> kStoreFiles[] = {
            {"Folders.dbx", "Ordnerstruktur konnte nicht gefunden werden (Folders.dbx)!"},
            {"Offline.dbx", "Datei mit IMAP und Hotmail-Aktionen ist nicht vorhanden (Offline.dbx)!"},
            {"Pop3uidl.dbx",
             " Datei mit Informationen zu bereits heruntergeladenen E-Mails ist nicht vorhanden (Pop3uidl.dbx)!"},
        };
        for (const auto& [file, missing] : kStoreFiles) {
            const std::string path = store + file;
            if (!store.empty() && FileExists(p_.files, path)) {
                ClearReadOnlyHidden(p_.files, path);
                writer_->FilesList().push_back(path);
            } else {
                AppendReport(missing);
            }
        }
        ProcessMessages();
        // The mail folders go in even without their name map; the step has failed all the same.
        const int added = AddFiles();
        if (!cancelled_ && ((added < 1 && !skippedUnchanged_) || !mapWritten)) failMailStep();
    }
    writer_->FilesList().clear();
    // After a cancel the folders are not known to be saved: the icon stays cleared.
    if (cancelled_) view_.SetIcon(group, StatusIcon::Cleared);
    else if (failed) view_.SetIcon(group, StatusIcon::Failed);
    else if (skippedUnchanged_) view_.SetIcon(group, StatusIcon::Unchanged);
    else view_.SetIcon(group, saved ? StatusIcon::Saved : StatusIcon::Failed);
    view_.SetFileProgress(0);
    DeleteStagingFile(realNames);
}

}  // namespace bv
