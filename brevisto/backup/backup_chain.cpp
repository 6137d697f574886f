#include "brevisto/backup/backup_chain.h"

#include <cstdio>

#include "brevisto/backup/backup_info.h"
#include "brevisto/settings/settings_store.h"
#include "platform/path.h"

namespace bv {

std::string BackupTypeOf(int backupKind) {
    return backupKind == bkUpdate ? kUpdateBackup : kFullBackup;
}

std::string NameStamp(const DateTime& when) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d_%02d-%02d-%02d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    return buf;
}

std::string FileNameSafe(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
                c = '_';
                break;
            default:
                if (static_cast<unsigned char>(c) < 32) c = '_';
        }
    }
    return out;
}

std::string ProposedBackupName(int backupKind, const std::string& identityName,
                               const std::string& nameStamp) {
    std::string name = FileNameSafe(identityName) + "_" + nameStamp;
    return backupKind == bkUpdate ? "UPD_" + name : name;
}

std::string WithBackupExtension(const std::string& name) {
    return ExtractFileExt(name) == ".bvq" ? name : name + ".bvq";
}

std::string WithUpdatePrefix(const std::string& name) {
    return name.compare(0, 4, "UPD_") == 0 ? name : "UPD_" + name;
}

BackupHistory::BackupHistory(Registry& registry, const std::string& identityId)
    : registry_(registry), key_(identityId) {
    if (!key_.empty() && key_.front() == '\\') key_.erase(0, 1);
    if (!key_.empty() && key_.back() == '\\') key_.pop_back();
}

int BackupHistory::Counter() const { return ReadRegInteger(registry_, 1, SettingsKey, key_); }

std::string BackupHistory::FullName() const {
    return ReadRegString(registry_, 1, SettingsKey, key_ + "FullName");
}

std::string BackupHistory::LastBackup() const {
    return ReadRegString(registry_, 1, SettingsKey, key_ + "LastBackup");
}

std::string BackupHistory::MainBackupName(int backupKind) const {
    return backupKind == bkUpdate ? FullName() : std::string(kSelfMain);
}

int BackupHistory::NextCounter(int backupKind) const {
    return backupKind == bkUpdate ? Counter() + 1 : 0;
}

int BackupHistory::Record(int backupKind, const std::string& archiveFileName,
                          const std::string& dateTimeText) {
    const int counter = NextCounter(backupKind);
    if (backupKind != bkUpdate) WriteRegString(registry_, 1, SettingsKey, key_ + "FullName", archiveFileName);
    WriteRegInteger(registry_, 1, SettingsKey, key_, counter);
    WriteRegString(registry_, 1, SettingsKey, key_ + "LastBackup", dateTimeText);
    return counter;
}

}  // namespace bv
