// The transfer dialog (TDBXtractDlg) without its window: the mail program found, the backup
// folder and its backups, the chosen backup's description and chain, the target folder and
// the run. The window shows the state after every call and implements TransferRunView.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/transfer/transfer_run.h"
#include "platform/platform.h"

namespace bv {

class TZipReader;

extern const char* const kTransferCaption;  // "Datentransfer von Outlook Express nach Windows (Live) Mail"
extern const char* const kMailProgramLabel;  // "Gefundenes E-Mail-Programm: "
extern const char* const kNoMailProgram;     // "Keines von beiden!"
extern const char* const kSettingsExplanation;
extern const char* const kNoMailProgramNotice;  // the red notice in place of the explanation
extern const char* const kTransferBackupBrowseTitle;
extern const char* const kTransferTargetBrowseTitle;
extern const char* const kTargetFolderName;  // "Brevisto-Daten\"
extern const char* const kCannotInitZipText;  // "Zip-Prozedur kann nicht initialisiert werden!..."

class TransferModel {
public:
    TransferModel(Platform& platform, TransferRunView& view);
    ~TransferModel();

    // Opening: the mail program, the two folders, the list and its preselection.
    void Open();

    // --- state the window shows ---
    const std::string& MailProgram() const { return mailProgram_; }  // empty: none found
    const std::string& BackupFolder() const { return backupFolder_; }
    const std::vector<std::string>& Entries() const { return entries_; }
    int SelectedIndex() const { return selected_; }
    const std::string& DateText() const { return dateText_; }
    const std::string& CommentText() const { return comment_; }
    // "Backup-Ordner existiert nicht!", "Keine Backupdatei gefunden!" or empty (label hidden).
    const std::string& NoBackupText() const { return noBackupText_; }
    bool PasswordEnabled() const { return passwordEnabled_; }
    const std::string& Password() const { return password_; }
    bool UnpackEnabled() const { return unpackEnabled_; }
    const std::string& TargetFolder() const { return targetFolder_; }
    bool UnpackTicked() const { return unpack_; }
    const std::array<bool, tsStepCount>& Steps() const { return steps_; }
    bool StepsEnabled() const { return !mailProgram_.empty(); }
    // The chosen backup's kind ("VollBackup"/"UpdateBackup"), its chain's full backup (file
    // name) and whether that is in the folder.
    const std::string& BackupKind() const { return backupKind_; }
    const std::string& MainBackup() const { return mainBackup_; }
    bool MainBackupFound() const { return mainFound_; }
    TZipReader& Reader() { return *reader_; }

    // --- user actions ---
    void SelectBackup(int index);
    // The backup folder field was left with this text (a changed folder fills the list anew).
    void BackupFolderLeft(const std::string& text);
    bool BrowseBackupFolder();
    // The target folder field was left with this text; false when the folder cannot be used
    // (the window then puts the focus back into the field).
    bool TargetFolderLeft(const std::string& text);
    bool BrowseTargetFolder();
    void SetPassword(const std::string& text) { password_ = text; }
    void SetUnpackTicked(bool ticked) {
        unpack_ = ticked;
        UpdateUnpackEnabled();
    }
    void SetStep(TransferStep step, bool ticked) { steps_[step] = ticked; }
    // "&Entpacken".
    TransferOutcome Run();

private:
    void FindMailProgram();
    void FillList();
    // `mayFollowMain`: an update backup may switch the list to its full backup (once).
    void Choose(int index, bool mayFollowMain);
    // The information record of a backup of the list; false when it cannot be read.
    bool ReadRecord(int index, std::string& comment);
    std::string PathOf(int index) const;
    void UpdateUnpackEnabled();

    Platform& p_;
    TransferRunView& view_;
    std::unique_ptr<TZipReader> reader_;
    std::string mailProgram_;
    std::string backupFolder_;
    std::vector<std::string> entries_;
    int selected_ = -1;
    std::string dateText_;
    std::string comment_;
    std::string noBackupText_;
    bool passwordEnabled_ = false;
    std::string password_;
    bool archiveReadable_ = false;
    bool unpackEnabled_ = false;
    std::string targetFolder_;
    bool unpack_ = true;
    std::array<bool, tsStepCount> steps_{};
    std::string backupKind_;
    std::string mainBackup_;
    bool mainFound_ = false;
};

}  // namespace bv
