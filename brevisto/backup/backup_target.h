// The archive a run is about to write: a name that already names a file in the backup folder
// is never written over, and a name Windows cannot create (reserved characters, device names)
// is refused before the run starts. The wizard's first page and the run share these checks.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kInvalidBackupNameText;
// "Eine Backupdatei mit dem Namen "%s" existiert bereits! ..." with the name as typed.
std::string BackupExistsText(const std::string& typedName);

// A file of this name stands in the folder. A device name ("con.bvq") answers to attribute
// queries under the device's own name but is no file in the folder: it does not count.
bool BackupFileExists(Files& files, const std::string& path);

enum class BackupNameCheck { Ok, Exists, Invalid, ProbeStays };

// Checks `folder` + `fileName` (the name with its ".bvq"): no such file yet, and a file of
// that name can be created and removed again. ProbeStays: the test file could not be removed.
BackupNameCheck CheckBackupName(Files& files, const std::string& folder, const std::string& fileName);

}  // namespace bv
