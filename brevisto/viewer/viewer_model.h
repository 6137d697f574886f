// The backup viewer (TShowDlg) without its window: the backups of a folder, the description
// of the selected one and its deletion. The window shows the state after every call.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

class TZipReader;

extern const char* const kViewerCaption;        // "Brevisto : Backup anschauen"
extern const char* const kViewerBanner;         // "Brevisto - Inhalt des Backups"
extern const char* const kViewerBrowseTitle;
extern const char* const kNoBackupFound;        // "Keine Backupdatei gefunden!"
extern const char* const kBackupFolderMissing;  // "Backup-Ordner existiert nicht!"
extern const char* const kPasswordProtected;    // "Passwort geschütztes Backup"
extern const char* const kBackupDefective;      // "Backupdatei ist defekt!!!"
extern const char* const kDeleteBackupQuestion;
extern const char* const kMailFolderColumn;     // "Mailordner (alphabetisch sortiert)"
extern const char* const kMailFolderSizeColumn; // "Größe in Bytes"
extern const char* const kFolderNameListEntry;  // "REALNAME.TMP"

enum ViewerCategory {
    vcFolderStructure = 0,
    vcProgramSettings,
    vcAddressBook,
    vcAccounts,
    vcFilters,
    vcSignatures,
    vcStationery,
    vcDictionaries,
    vcIEZones,
    vcCookies,
    vcIEFavorites,
    vcFirefox,
    vcOpera,
    vcCategoryCount
};
// The labels, in the order the dialog shows them.
extern const char* const kViewerCategoryLabels[vcCategoryCount];
// The category an archive entry's file name marks; -1 for none.
int CategoryOfEntryName(const std::string& fileName);

struct MailFolderRow {
    std::string caption;   // display name, or the file name without ".dbx"
    std::string sizeText;  // uncompressed size with grouped digits ("1.234.567")
    uint64_t size = 0;
    std::string fileName;  // the DBX file name (hidden data of the row)
};

enum class DeleteOutcome {
    Deleted,
    NotConfirmed,  // the user answered No
    NoSelection,
    Stale,         // the list changed since the click began: nothing asked, nothing deleted
    Failed,        // the file stays (the user was told)
};

class ViewerModel {
public:
    // `startFile` is the backup named on the command line (`ViewerFilePath`), or empty.
    ViewerModel(Platform& platform, const std::string& startFile);
    ~ViewerModel();

    // Opening: work and backup folders (created), the list, the preselection, the description.
    void Open();

    // --- state the window shows ---
    const std::string& FolderField() const { return folderField_; }
    const std::vector<std::string>& Entries() const { return entries_; }
    int SelectedIndex() const { return selected_; }  // -1 = none
    bool DeleteEnabled() const { return selected_ >= 0; }
    const std::string& InfoLine() const { return infoLine_; }
    const std::string& UpdateLine() const { return updateLine_; }
    const std::string& DateText() const { return dateText_; }
    const std::string& SizeText() const { return sizeText_; }
    const std::array<bool, vcCategoryCount>& Categories() const { return categories_; }
    // Sorted by caption as the list shows them.
    const std::vector<MailFolderRow>& MailFolders() const { return rows_; }
    const std::string& WorkFolder() const { return workFolder_; }
    const std::string& BackupFolder() const { return backupFolder_; }
    // The archive path of the selected entry; empty without a selection.
    std::string SelectedArchivePath() const;
    // Changes whenever the list is filled anew. The window reads it when a click on "Löschen"
    // begins and hands it to DeleteSelected, so a refill in between cannot redirect the click.
    uint32_t ListGeneration() const { return generation_; }

    // --- user actions ---
    // A choice in the "&Backup:" list.
    void SelectEntry(int index);
    // The folder field lost the focus with this text.
    void FolderFieldLeft(const std::string& text);
    // The browse button; false when the user cancelled (nothing changes).
    bool BrowseFolder();
    // "Löschen" with the generation read when the click began.
    DeleteOutcome DeleteSelected(uint32_t generationSeen);

private:
    void FillList(const std::string& folderText, bool describeFirst);
    void Describe();
    void FillMailFolders(TZipReader& reader);
    void ClearDescription();

    Platform& p_;
    std::string startFile_;
    std::unique_ptr<TZipReader> reader_;
    std::string folderField_;
    std::string workFolder_;
    std::string backupFolder_;
    std::vector<std::string> entries_;
    int selected_ = -1;
    std::string infoLine_;
    std::string updateLine_;
    std::string dateText_;
    std::string sizeText_;
    std::array<bool, vcCategoryCount> categories_{};
    std::vector<MailFolderRow> rows_;
    uint32_t generation_ = 0;
};

}  // namespace bv
