// Full and update backups: naming, the chain values per identity and the archive-attribute
// rule of what changed.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

enum TBackupKind { bkFull = 0, bkUpdate = 1 };

// "VollBackup" or "UpdateBackup".
std::string BackupTypeOf(int backupKind);
// "yyyy-mm-dd_hh-nn-ss".
std::string NameStamp(const DateTime& when);
// Characters Windows forbids in file names become "_" (the name of the archive only).
std::string FileNameSafe(const std::string& text);
// identity name + "_" + stamp, with "UPD_" in front for an update backup.
std::string ProposedBackupName(int backupKind, const std::string& identityName,
                               const std::string& nameStamp);
// Appends ".bvq" unless the name already ends in exactly ".bvq" (case-sensitive).
std::string WithBackupExtension(const std::string& name);
// Puts "UPD_" in front of an update backup's name that lacks it.
std::string WithUpdatePrefix(const std::string& name);

// The per-identity values in the program's settings, named after the identity key.
class BackupHistory {
public:
    // `identityId` is the identity's key name with or without the surrounding backslashes.
    BackupHistory(Registry& registry, const std::string& identityId);

    const std::string& IdentityKey() const { return key_; }
    // -1 when no full backup was ever made of this identity.
    int Counter() const;
    std::string FullName() const;
    std::string LastBackup() const;
    // "SELF" for a full backup, otherwise the file name of the last full backup.
    std::string MainBackupName(int backupKind) const;
    // The counter a backup of this kind gets: 0 for a full one, the stored one + 1 for an update.
    int NextCounter(int backupKind) const;
    // Writes "FullName" (full backups), the counter and "LastBackup"; returns the counter.
    int Record(int backupKind, const std::string& archiveFileName,
               const std::string& dateTimeText);

private:
    Registry& registry_;
    std::string key_;
};

}  // namespace bv
