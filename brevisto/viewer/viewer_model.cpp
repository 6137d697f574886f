#include "brevisto/viewer/viewer_model.h"

#include <algorithm>
#include <exception>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kViewerCaption = "Brevisto : Backup anschauen";
const char* const kViewerBanner = "Brevisto - Inhalt des Backups";
const char* const kViewerBrowseTitle =
    "Wählen Sie den Ordner oder Laufwerk, in dem sich die bisherigen Outlook-Express Backups "
    "befinden.";
const char* const kNoBackupFound = "Keine Backupdatei gefunden!";
const char* const kBackupFolderMissing = "Backup-Ordner existiert nicht!";
const char* const kPasswordProtected = "Passwort geschütztes Backup";
const char* const kBackupDefective = "Backupdatei ist defekt!!!";
const char* const kDeleteBackupQuestion =
    "Hiermit löschen Sie das Backup unwiderruflich!\rStellen Sie sicher, dass mindestens ein "
    "Backup pro Identität vorhanden ist.\r\rMöchten Sie das Backup wirklich löschen? ";
const char* const kMailFolderColumn = "Mailordner (alphabetisch sortiert)";
const char* const kMailFolderSizeColumn = "Größe in Bytes";
const char* const kFolderNameListEntry = "REALNAME.TMP";

const char* const kViewerCategoryLabels[vcCategoryCount] = {
    "Ordnerstruktur",
    "Programmeinstellungen",
    "Adressbuch mit Kontaktinformationen",
    "E-Mail-Konten, News-Konten",
    "Filter und Regeln",
    "Signaturen",
    "Briefpapier",
    "Benutzerwörterbücher",
    "IE Sicherheitszonen",
    "Cookie-Einstellungen",
    "Internet Explorer Favoriten",
    "Mozilla Firefox Favoriten (Lesezeichen)",
    "Opera Favoriten, Adressen, Notizen...",
};

namespace {

enum class Match { Equals, Contains, Extension };

struct CategoryRule {
    int category;
    Match match;
    std::vector<const char*> names;  // upper case
};

// In the order the entries are tested; the first rule that matches decides.
const std::vector<CategoryRule>& CategoryRules() {
    static const std::vector<CategoryRule> kRules = {
        {vcProgramSettings, Match::Equals,
         {"PREFS.OLS", "MAILNOTE.OLS", "NEWS.OLS", "NEWSNOTE.OLS", "COLUMNS.OLS", "DIALOGS.OLS"}},
        {vcAddressBook, Match::Contains, {".WAB"}},
        {vcAccounts, Match::Equals, {"ACCOUNTS.OLS", "ACCDEF.OLS"}},
        {vcFilters, Match::Equals, {"FILTERS.OLS", "BLOCKERS.OLS"}},
        {vcSignatures, Match::Equals, {"SIGNS.OLS"}},
        {vcStationery, Match::Equals, {"PAPER.OLS"}},
        {vcDictionaries, Match::Contains, {".DIC"}},
        {vcIEZones, Match::Contains, {"IEZONE.OLS"}},
        {vcCookies, Match::Contains, {"COOKIEUS.OLS"}},
        {vcIEFavorites, Match::Equals, {"IEFAV.ZIP", "IEFAV.TMP"}},
        {vcFolderStructure, Match::Equals, {"FOLDERS.DBX"}},
        {vcFirefox, Match::Equals, {"BOOKMARKS.HTML", "PLACES.SQLITE", "PLACES.SQLITE_MOB"}},
        {vcOpera, Match::Extension, {".ADR"}},
    };
    return kRules;
}

bool IsStoreFile(const std::string& upperName) {
    return upperName == "FOLDERS.DBX" || upperName == "POP3UIDL.DBX" ||
           upperName == "OFFLINE.DBX";
}

}  // namespace

int CategoryOfEntryName(const std::string& fileName) {
    const std::string upper = AnsiUpperCase(fileName);
    const std::string extension = AnsiUpperCase(ExtractFileExt(fileName));
    for (const CategoryRule& rule : CategoryRules()) {
        for (const char* name : rule.names) {
            bool hit = false;
            switch (rule.match) {
                case Match::Equals: hit = upper == name; break;
                case Match::Contains: hit = upper.find(name) != std::string::npos; break;
                case Match::Extension: hit = extension == name; break;
            }
            if (hit) return rule.category;
        }
    }
    return -1;
}

ViewerModel::ViewerModel(Platform& platform, const std::string& startFile)
    : p_(platform), startFile_(startFile), reader_(std::make_unique<TZipReader>(platform)) {
    reader_->SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    // No password is asked for: the viewer only says that the backup is protected.
    reader_->OnBadPassword = [this](TZipReader&, int, std::string&) {
        infoLine_ = kPasswordProtected;
    };
}

ViewerModel::~ViewerModel() = default;

void ViewerModel::Open() {
    Settings settings(p_);
    workFolder_ = ExpandPath(p_.shell, settings.String("tmpFolder"), true);
    if (workFolder_.empty()) {
        const std::string temp = TPathComponent(p_).TempDir();
        if (!temp.empty()) workFolder_ = IncludeTrailingBackslash(temp);
    }
    if (!workFolder_.empty() && !DirectoryExists(p_.files, workFolder_))
        ForceDirectories(p_.files, workFolder_);

    backupFolder_ = settings.BackupFolder();
    if (!backupFolder_.empty()) {
        if (!DirectoryExists(p_.files, backupFolder_)) ForceDirectories(p_.files, backupFolder_);
        (void)p_.files.SetCurrentDirectory(backupFolder_);  // the start folder of the dialogs only
    }

    folderField_ = startFile_.empty() ? backupFolder_ : ExtractFilePath(startFile_);
    FillList(folderField_, false);
    if (entries_.size() > 1 && !startFile_.empty()) {
        const std::string wanted = ChangeFileExt(ExtractFileName(startFile_), "");
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i] == wanted) selected_ = static_cast<int>(i);
    }
    if (selected_ >= 0) Describe();
}

std::string ViewerModel::SelectedArchivePath() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(entries_.size())) return std::string();
    return backupFolder_ + entries_[static_cast<size_t>(selected_)] + ".bvq";
}

void ViewerModel::ClearDescription() {
    categories_.fill(false);
    rows_.clear();
    updateLine_.clear();
    dateText_.clear();
    sizeText_.clear();
}

void ViewerModel::FillList(const std::string& folderText, bool describeFirst) {
    ++generation_;
    entries_.clear();
    selected_ = -1;
    infoLine_.clear();
    // What was described belongs to the old list.
    ClearDescription();
    const std::string folder = ExpandPath(p_.shell, folderText, true);
    if (!folder.empty()) backupFolder_ = folder;
    if (folder.empty() || !DirectoryExists(p_.files, folder)) {
        infoLine_ = kBackupFolderMissing;
        return;
    }
    for (const std::string& name : TIdentityScanner(p_).ListBackupFiles(folder))
        entries_.push_back(ChangeFileExt(name, ""));
    if (entries_.empty()) {
        infoLine_ = kNoBackupFound;
        return;
    }
    selected_ = 0;
    if (describeFirst) Describe();
}

void ViewerModel::Describe() {
    ClearDescription();
    infoLine_.clear();
    if (!folderField_.empty()) backupFolder_ = IncludeTrailingBackslash(folderField_);
    const std::string path = SelectedArchivePath();
    if (path.empty()) return;
    reader_->SetZipName(path);

    {
        auto stream = p_.files.Open(path, OpenMode::ReadShared);
        if (!stream) return;
        FileTime lastWrite = 0;
        if (p_.files.GetTimes(path, nullptr, &lastWrite))
            dateText_ = FileTimeText(p_.system, lastWrite);
    }
    sizeText_ = FormatByteSize(static_cast<int64_t>(FileSizeOf(p_.files, path)),
                               p_.system.DecimalSeparator());

    try {
        reader_->ReadDirectory();
        FillMailFolders(*reader_);
        for (int i = 0; i < reader_->EntryCount(); ++i) {
            const int category = CategoryOfEntryName(reader_->EntryName(i));
            if (category >= 0) categories_[static_cast<size_t>(category)] = true;
        }
        p_.pump.ProcessMessages();
        const std::string comment = reader_->Comment();
        if (BackupInfoValue(comment, "BackupInfo", "BackupArt") == kUpdateBackup)
            updateLine_ = BackupInfoValue(comment, "BackupInfo", "Counter") +
                          ". aktualisiertes Update der Identität " +
                          BackupInfoValue(comment, "BackupInfo", "Identitaet");
    } catch (const std::exception&) {
        reader_->ClearDirectory();
        ShowMsgBox(p_.prompter, kBackupDefective, kMessageCaption, mkError, bsOk);
    }
    p_.pump.ProcessMessages();
}

void ViewerModel::FillMailFolders(TZipReader& reader) {
    rows_.clear();
    std::string listName;
    for (int i = 0; i < reader.EntryCount() && listName.empty(); ++i)
        if (AnsiUpperCase(reader.EntryName(i)).find(kFolderNameListEntry) != std::string::npos)
            listName = reader.EntryName(i);

    std::vector<std::string> lines;
    if (!listName.empty() && !workFolder_.empty()) {
        const std::string extracted = workFolder_ + listName;
        // A list left from another backup must never name this one's folders.
        const bool stale = FileExists(p_.files, extracted) && !p_.files.DeleteFile(extracted);
        reader.SetOverwriteMode(TOverwriteMode::Always);
        reader.SetDestDir(workFolder_);
        reader.FilesList() = {listName};
        if (!stale && reader.ExtractMatching() == 1 && FileExists(p_.files, extracted)) {
            lines = ReadTextLines(p_.files, p_.system, extracted);
            (void)p_.files.DeleteFile(extracted);  // a leftover is removed before the next use
        }
        p_.pump.ProcessMessages();
    }

    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryName(i);
        const std::string upper = AnsiUpperCase(name);
        if (upper.find(".DBX") == std::string::npos || IsStoreFile(upper)) continue;
        MailFolderRow row;
        row.fileName = name;
        row.caption = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
        for (const std::string& line : lines) {
            const size_t sep = line.find("#~#");
            if (sep != std::string::npos && SameText(line.substr(0, sep), name)) {
                row.caption = line.substr(sep + 3);
                break;
            }
        }
        row.size = reader.EntrySize(i);
        row.sizeText = GroupDigits(3, static_cast<int64_t>(row.size));
        rows_.push_back(row);
    }
    std::stable_sort(rows_.begin(), rows_.end(), [](const MailFolderRow& a, const MailFolderRow& b) {
        return AnsiCompareText(a.caption, b.caption) < 0;
    });
}

void ViewerModel::SelectEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    selected_ = index;
    Describe();
}

void ViewerModel::FolderFieldLeft(const std::string& text) {
    const std::string folder = ExpandPath(p_.shell, text, true);
    folderField_ = folder;
    if (folder == backupFolder_) return;
    dateText_.clear();
    sizeText_.clear();
    backupFolder_ = folder;
    FillList(folder, true);
}

bool ViewerModel::BrowseFolder() {
    const std::string chosen = SelectFolderFromComputer(p_, kViewerBrowseTitle, folderField_);
    if (chosen.empty()) return false;
    FolderFieldLeft(chosen);
    return true;
}

DeleteOutcome ViewerModel::DeleteSelected(uint32_t generationSeen) {
    if (generationSeen != generation_) return DeleteOutcome::Stale;
    if (selected_ < 0) return DeleteOutcome::NoSelection;
    if (ShowMsgBox(p_.prompter, kDeleteBackupQuestion, kMessageCaption, mkWarning, bsYesNo) !=
        MsgResult::Yes)
        return DeleteOutcome::NotConfirmed;
    const int position = selected_;
    const std::string path = SelectedArchivePath();
    // The reader must not hold the archive while it is deleted.
    reader_->ClearDirectory();
    reader_->SetZipName(std::string());
    std::string notDeleted;
    if (FileExists(p_.files, path) && !p_.files.DeleteFile(path)) notDeleted = path;
    const std::string log = ChangeFileExt(path, ".log");
    if (notDeleted.empty() && FileExists(p_.files, log) && !p_.files.DeleteFile(log)) notDeleted = log;
    if (!notDeleted.empty())
        ShowMsgBox(p_.prompter, "Die Datei " + notDeleted + " konnte nicht gelöscht werden!", kMessageCaption,
                   mkError, bsOk);

    FillList(folderField_, false);
    if (!entries_.empty()) {
        selected_ = std::min(position, static_cast<int>(entries_.size()) - 1);
        Describe();
    }
    return notDeleted.empty() ? DeleteOutcome::Deleted : DeleteOutcome::Failed;
}

}  // namespace bv
