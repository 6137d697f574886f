// One backup run of an Outlook Express identity: collects the chosen groups into one
// ".bvq" archive, stores the information record, tests the archive, prunes old chains and
// leaves its report and log. Portable; the wizard drives it and shows it through BackupView.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_view.h"
#include "brevisto/settings/identity_scanner.h"
#include "platform/platform.h"

namespace bv {

// The check boxes of the page "Others", by their numbers.
enum SaveOption {
    CBSave0 = 0,    // program settings
    CBSave1 = 1,    // address book
    CBSave2 = 2,    // accounts
    CBSave3 = 3,    // rules and blocked senders
    CBSave4 = 4,    // signatures
    CBSave5 = 5,    // stationery
    CBSave6 = 6,    // Internet Explorer favourites
    CBSave7 = 7,    // dictionaries
    CBSave8 = 8,    // cookie settings
    CBSave9 = 9,    // Firefox bookmarks
    CBSave10 = 10,  // Opera bookmarks
    CBSave11 = 11,  // security zones
};
constexpr int kSaveOptionCount = 12;

// A mail folder file chosen for the backup.
struct MailFolderChoice {
    std::string path;  // full path of the DBX file
    std::string name;  // the folder's display name
};

// What the wizard (or the parameter file) chose.
struct BackupOptions {
    int backupKind = 0;  // 0 full, 1 update
    TIdentitaet identity;
    std::string backupFolder;  // the text of the backup folder field
    std::string backupName;    // the text of the name field
    std::string comment;
    std::string password;
    std::array<bool, kSaveOptionCount> save{};
    std::vector<MailFolderChoice> mailFolders;
    bool unattended = false;
};

// How the run ended, for the wizard's buttons and the program's exit code.
struct BackupOutcome {
    bool archiveBuilt = false;     // RunBackup got through
    bool cancelled = false;
    bool runOk = false;
    bool succeeded = false;        // not cancelled, everything saved and tested
    bool closeWizard = false;      // unattended run that may end at once
    std::string statusText;
    StatusColor statusColor = StatusColor::Normal;
    std::string reportFile;        // empty when none was written
};

class BackupRun {
public:
    BackupRun(Platform& platform, BackupView& view, BackupOptions options);
    ~BackupRun();
    BackupRun(const BackupRun&) = delete;
    BackupRun& operator=(const BackupRun&) = delete;

    // The whole run as the page "Backup" starts it: priority, run, test, pruning, report
    // file, log, result display and sound.
    BackupOutcome Execute();

    // The Cancel button while the run works: asks, and on Yes aborts the archive operation.
    // Returns true when the run was cancelled.
    bool CancelBtnClick();
    bool Idle() const { return idle_; }
    // The user cancelled (during the run or during the archive test).
    bool Cancelled() const { return cancelled_; }
    bool RunOk() const { return runOk_; }

    const std::vector<std::string>& Report() const { return report_; }
    const std::string& ArchivePath() const { return options_.identity.LastArchivePath; }
    const std::string& TempFolder() const { return tempFolder_; }
    const std::string& BackupFolder() const { return backupFolder_; }
    TZipWriter& Writer() { return *writer_; }
    const TIdentitaet& Identity() const { return options_.identity; }

    // A line of the report (and of the page "Report"); "\r\n" inside makes two lines.
    void AppendReport(const std::string& line);
    // Prints the report; `manual` for the button "&Drucken", else only when the settings
    // ask for it after an unattended run.
    void PrintReport(bool manual);

    // Steps, in the order the run calls them (public for the wizard's tests and tools).
    bool RunBackup();
    bool TestBackup();
    void PruneOldBackups();

    // One registry key of the catalogue (the table lives with SaveRegistryKey).
    struct CatalogueRow;

private:
    bool PrepareArchive();
    void SaveRegistryKey(const CatalogueRow& row);
    // The catalogue's rows of one group, in the catalogue's order.
    void SaveCatalogueGroup(BackupGroup group);
    // Adds a group's files (`fullPaths`: with their folders, for the restore to put them back
    // there) and ends the group; `noneLine` is reported when there are none.
    void SaveFileList(BackupGroup group, const std::vector<std::string>& files, bool fullPaths,
                      const std::string& noneLine, const std::string& failureMessage,
                      const std::string& failureLine);
    void SaveAddressBook();
    void SaveStationery();
    void SaveDictionaries();
    void SaveIEFavorites();
    void BuildIEFavoritesArchive(bool& failed);
    void SaveFirefoxBookmarks();
    void SaveOperaBookmarks();
    void WriteBackupInfo();
    void SaveMailFolders();
    bool SaveReportFile();  // false (after telling the user) when it could not be written
    // The chain values of the identity; only a run that was not cancelled and left its
    // archive writes them.
    void CommitHistory();
    // A cancelled run leaves nothing behind: its unfinished archive (it has no information
    // record and would count as a main backup) goes, and the files it added carry their
    // change mark again so that the next update backup takes them.
    void DiscardUnfinishedArchive();
    void RestoreChangeMarks();

    // The add protocol: adds what FilesList holds; a cancel or a broken archive ends only
    // this addition. Returns the number of files added.
    int AddFiles();
    // Adds the files; on nothing added reports the skipped line or the failure.
    bool AddWithProtocol(BackupGroup group, const std::string& failureMessage,
                         const std::string& failureLine, bool reportSkipped);
    void Fail(BackupGroup group, const std::string& message, const std::string& line);
    void FinishGroup(BackupGroup group, bool failed);
    void Header(const std::string& text);
    void SetStatus(const std::string& text, StatusColor color = StatusColor::Normal);
    void ProcessMessages();
    void DeleteStagingFile(const std::string& path);
    void InstallWriterEvents();
    bool IsUpdate() const { return options_.backupKind == 1; }
    std::string Elapsed() const;

    // The report's line for files left out because they did not change.
    static const char kSkippedLine[];

    Platform& p_;
    BackupView& view_;
    BackupOptions options_;
    std::unique_ptr<TZipWriter> writer_;
    std::vector<std::string> report_;
    std::string backupFolder_;
    std::string tempFolder_;
    std::string backupType_;
    std::string statusPrefix_;
    std::string statusText_;
    StatusColor statusColor_ = StatusColor::Normal;
    bool idle_ = true;
    bool cancelled_ = false;
    bool runOk_ = true;
    bool skippedUnchanged_ = false;
    std::array<bool, kBackupGroupCount> groupFailed_{};
    // The run ended before it began writing (drive question, a name that exists): no
    // report file, which could stand for another backup of that name.
    bool noReportFile_ = false;
    bool testCancelled_ = false;  // the cancel came during the archive test
    bool archiveBad_ = false;     // the archive test found a damaged entry
    std::string typedName_;       // the backup name as the user gave it
    std::string historyDate_;     // the run's date-time text for the chain values
    // Every file handed to the archive writer, to give back its change mark when the
    // archive does not survive the run.
    std::vector<std::string> addedSources_;
    bool defaultIdentity_ = false;
    FileTime started_ = 0;
};

}  // namespace bv
