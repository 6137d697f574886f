// The account step of the transfer: turns the Outlook Express accounts of one backup archive
// ("ACCOUNTS.OLS", a REGEDIT4 snapshot of the Internet Account Manager) into the account
// files (".oeaccount") that Windows Mail and Windows Live Mail read from their message store,
// and writes the note that tells where IMAP and newsgroup accounts were put.
//
// Everything in a backup is outside input: an account's name only ever becomes one folder
// name directly below the store root, and nothing is deleted or written anywhere else.
#pragma once
#include <string>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/transfer/transfer_target.h"
#include "platform/platform.h"

namespace bv {

// What one archive's account step did, for the run.
struct AccountTransferResult {
    bool snapshotFound = false;             // the archive holds an account snapshot
    bool accountsReplaced = false;          // the user chose to delete the existing account files
    bool specialAccountsConverted = false;  // IMAP or newsgroup accounts were written
    bool failed = false;                    // a failure was shown to the user
    std::vector<std::string> accountFiles;  // the account files written, full paths
};

enum class AccountKind { Mail, Imap, News, Directory };

// The kind of an account by the server values it holds: a directory server wins over an IMAP
// server, that over a news server; anything else is a mail account (POP3, HTTP mail).
AccountKind AccountKindOf(const std::vector<RegValue>& values);

// The mail program's message store: "Store Root" under its key of the current user, with
// environment references expanded and a trailing backslash; empty when it is not set.
std::string MailStoreRoot(Platform& platform, const TransferTarget& target);

// The account step for one archive of the run, whose directory `archive` has loaded. Asks
// whether existing account files are to be replaced (again for every archive) and tells the
// user of failures itself. The archive's extraction settings are left as they were.
AccountTransferResult TransferAccounts(Platform& platform, TZipReader& archive,
                                       const TransferTarget& target);

extern const char* const kAccountsNoteName;  // "_Wichtig - Bitte lesen_.htm"

// After a run that converted IMAP or newsgroup accounts: writes the note into `folder` (made
// when missing) and opens it in the shell. False, after telling the user, when it could not
// be written.
bool WriteConvertedAccountsNote(Platform& platform, const TransferTarget& target,
                                const std::string& folder);

}  // namespace bv
