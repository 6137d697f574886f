#include "brevisto/shell/file_association.h"

#include "brevisto/settings/settings_store.h"

namespace bv {

const char* const kBackupExtension = "bvq";
const char* const kBackupFileClass = "Outlook Express Sicherung";
const char* const kBackupFileTypeName = "Brevisto Sicherungsdatei";

namespace {
constexpr int kClassesRoot = 3;
}

bool RegisterFileAssociation(Platform& platform, const std::string& extension,
                             const std::string& className, const std::string& description,
                             bool registerIt, int iconIndex, const std::string& programPath) {
    Registry& r = platform.registry;
    bool ok = true;
    if (registerIt) {
        ok = WriteRegString(r, kClassesRoot, "." + extension, "", className) && ok;
        ok = WriteRegString(r, kClassesRoot, className, "", description) && ok;
        ok = WriteRegString(r, kClassesRoot, className + "\\DefaultIcon", "",
                            programPath + "," + std::to_string(iconIndex)) &&
             ok;
        ok = WriteRegString(r, kClassesRoot, className + "\\shell\\open\\command", "",
                            programPath + " \"%1\"") &&
             ok;
    } else {
        for (const std::string& key : {"." + extension, className}) {
            long error = r.DeleteKeyTree(RegRoot::ClassesRoot, key);
            if (error != WinError::Success && error != WinError::FileNotFound) ok = false;
        }
    }
    platform.shell.NotifyAssociationChanged();
    return ok;
}

bool BackupExtensionRegistered(Platform& platform) {
    return !ReadRegString(platform.registry, kClassesRoot, std::string(".") + kBackupExtension, "")
                .empty();
}

bool BackupClassIsOurs(Platform& platform) {
    return ReadRegString(platform.registry, kClassesRoot, kBackupFileClass, "") ==
           kBackupFileTypeName;
}

}  // namespace bv
