// The transfer of a backup chain into Windows Mail or Windows Live Mail, without its window:
// which archives belong to the chosen backup, the ticked steps for each of them in the order
// of their update counters, and the mail folders and address book unpacked for the new
// program's own import. The dialog (TDBXtractDlg) shows the state; TransferModel holds it.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "platform/platform.h"

namespace bv {

// The eight settings steps, in the order the run takes them and the dialog shows them.
enum TransferStep {
    tsAccounts = 0,
    tsRules,
    tsSignatures,
    tsStationery,
    tsDictionaries,
    tsIEFavorites,
    tsFirefox,
    tsOpera,
    tsStepCount
};
// The check boxes' captions, with their mnemonics.
extern const char* const kTransferStepCaptions[tsStepCount];
// How the closing message names a step that failed.
extern const char* const kTransferStepNames[tsStepCount];

// One archive of the chain: its file name in the backup folder and its update counter.
struct ChainArchive {
    std::string fileName;
    int counter = 0;
};

// What the dialog hands the run.
struct TransferRequest {
    std::string backupFolder;          // with trailing backslash
    std::vector<std::string> backups;  // the list's names, without ".bvq"
    std::string mainBackup;            // the chain's full backup, file name
    bool mainFound = false;            // it is in the backup folder
    std::string chosenBackup;          // the selected backup, file name (the chain's start without a main backup)
    std::string password;
    std::string mailProgram;           // empty when none was found
    std::array<bool, tsStepCount> steps{};
    bool unpack = true;                // "Entpacken &nach:"
    std::string targetFolder;          // with trailing backslash
};

// What the window shows and does for the run.
class TransferRunView {
public:
    virtual ~TransferRunView() = default;
    virtual void SetStatus(const std::string& /*text*/) {}
    virtual void SetUnpackEnabled(bool /*enabled*/) {}
    virtual void FocusPassword() {}
    virtual void ShowHelpTopic(int /*topic*/) {}
};

enum class TransferEnd {
    Refused,    // nothing was done (wrong password, unreadable backup, a browser still open)
    Completed,  // every step that had something to do did it
    Failed,     // the run went through, but something could not be carried over
};

struct TransferOutcome {
    TransferEnd end = TransferEnd::Refused;
    std::vector<ChainArchive> archives;  // the chain as processed
    bool settingsTransferred = false;    // the settings steps ran
    bool specialAccountsConverted = false;
    int filesUnpacked = 0;
    // What went wrong, one line each, as the closing message lists it.
    std::vector<std::string> failures;
};

// "Counter" of an information record: 0 when it is empty or not a whole number.
int ChainCounter(const std::string& text);

class TransferRun {
public:
    // `reader` is the dialog's reader (its events show the progress); the run leaves it on
    // the chain's first archive.
    TransferRun(Platform& platform, TZipReader& reader, TransferRunView& view);

    // The chain: the main backup (counter 0) when it was found, then every backup of the list
    // whose record names the main backup, by ascending counter. Archives that cannot be read
    // are left out and named in `unreadable`.
    std::vector<ChainArchive> BuildArchiveList(const TransferRequest& request,
                                               std::vector<std::string>& unreadable);

    TransferOutcome Execute(const TransferRequest& request);

private:
    enum class ArchiveState { Ready, WrongPassword, NoBackup };
    // Points the reader at an archive of the backup folder, loads its directory and, when it
    // is encrypted, tests its first entry with the request's password.
    ArchiveState OpenArchive(const TransferRequest& request, const ChainArchive& archive);
    // Points the reader at an archive of the backup folder and loads its directory; false
    // (with the failure noted) when it cannot be read or its password does not fit.
    bool LoadArchive(const TransferRequest& request, const ChainArchive& archive, TransferOutcome& outcome);
    void TransferSettings(const TransferRequest& request, TransferOutcome& outcome);
    void Unpack(const TransferRequest& request, TransferOutcome& outcome);
    void PrepareReader(const std::string& path, const TransferRequest& request);
    void Fail(TransferOutcome& outcome, const ChainArchive& archive, const std::string& what);

    Platform& p_;
    TZipReader& reader_;
    TransferRunView& view_;
    std::string tempFolder_;
};

// Texts of the run.
extern const char* const kWrongPasswordText;
extern const char* const kNoBackupDataText;  // "Es ist ein Fehler aufgetreten: Die Datei enthält keine gesicherten Daten!..."
extern const char* const kNothingToUnpackText;
extern const char* const kTransferDoneText;  // "Das Übertragen und Entpacken der Daten wurde durchgeführt."

}  // namespace bv
