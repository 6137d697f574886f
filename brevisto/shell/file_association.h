// The file association of backup archives (".bvq") under HKEY_CLASSES_ROOT.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kBackupExtension;     // "bvq"
extern const char* const kBackupFileClass;     // "Outlook Express Sicherung"
extern const char* const kBackupFileTypeName;  // "Brevisto Sicherungsdatei"

// Registers (or, with `registerIt` false, removes) the extension and its class, then tells the
// shell. False when a key could not be written or removed.
bool RegisterFileAssociation(Platform& platform, const std::string& extension,
                             const std::string& className, const std::string& description,
                             bool registerIt, int iconIndex, const std::string& programPath);

// The association of ".bvq" as the preferences show it: ".bvq" has a default value.
bool BackupExtensionRegistered(Platform& platform);
// The class key carries this program's description (the viewer command then asks nothing).
bool BackupClassIsOurs(Platform& platform);

}  // namespace bv
