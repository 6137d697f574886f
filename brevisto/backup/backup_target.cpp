#include "brevisto/backup/backup_target.h"

#include <vector>

#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kInvalidBackupNameText =
    "Der Name des Backups enthält ungültige Zeichen oder ist ein Name eines System-Gerätetreibers!\rUngültige "
    "Zeichen sind: % \\ / : * ? \" < > |\rSystemgerätetreiber sind z.B.: con, aux, lpt1, com1, usw.";

std::string BackupExistsText(const std::string& typedName) {
    return "Eine Backupdatei mit dem Namen \"" + typedName +
           "\" existiert bereits!\rDamit das bereits vorhandene Backup nicht überschrieben wird, müssen Sie "
           "einen anderen Namen angeben.";
}

bool BackupFileExists(Files& files, const std::string& path) {
    if (!FileExists(files, path)) return false;
    const std::string name = ExtractFileName(path);
    for (const FindEntry& entry : files.Find(path))
        if (SameText(entry.name, name)) return true;
    return false;
}

BackupNameCheck CheckBackupName(Files& files, const std::string& folder, const std::string& fileName) {
    const std::string path = IncludeTrailingBackslash(folder) + fileName;
    if (BackupFileExists(files, path)) return BackupNameCheck::Exists;
    const std::string stem = ChangeFileExt(fileName, "");
    if (ExtractFileName(fileName) != fileName || stem.find_first_not_of(' ') == std::string::npos)
        return BackupNameCheck::Invalid;
    auto probe = files.Open(path, OpenMode::CreateNew);
    if (!probe) return BackupNameCheck::Invalid;
    const bool closed = probe->Close();
    probe.reset();
    if (!files.DeleteFile(path)) return BackupNameCheck::ProbeStays;
    return closed ? BackupNameCheck::Ok : BackupNameCheck::Invalid;
}

}  // namespace bv
