// The backup information record: the archive comment that tells what a backup is, which
// identity it holds and where it stands in its chain.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace bv {

extern const char* const kFullBackup;    // "VollBackup"
extern const char* const kUpdateBackup;  // "UpdateBackup"
extern const char* const kSelfMain;      // "SELF"

struct BackupInfoRecord {
    std::string backupType;    // "VollBackup" or "UpdateBackup"
    std::string mainBackup;    // "SELF" or the file name of the chain's full backup
    std::string identityName;
    std::string identityKey;   // the GUID in braces, without backslashes
    int counter = 0;
    std::string dateText;      // "DD.MM.YYYY"
    std::string comment;
    int firefoxVersion = 2;
    // Name and path of each Firefox profile.
    std::vector<std::pair<std::string, std::string>> firefoxProfiles;
};

// The comment text, CR LF after every line. The archive comment holds at most 65535
// bytes; trailing profile blocks are dropped until the record fits.
std::string BuildBackupInfoText(const BackupInfoRecord& record);

// One value of a record. The key is searched from the line after the section header to the
// end of the text (not only within the section), as every reader of these records expects.
std::string BackupInfoValue(const std::string& comment, const std::string& section,
                            const std::string& key);

// "08. Dezember 2026 um 21:47 Uhr" (local time); empty if the time does not convert.
std::string FileTimeText(System& system, FileTime utc);

// The major version of the installed Firefox from its "application.ini"; 2 when unknown.
int FirefoxVersion(Platform& platform);

}  // namespace bv
