// The check of a folder that the user typed or chose: exists (or may be created), its drive
// can be used and the program may write there.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kProbeFileName;  // "##qmvk##.#~#"
extern const char* const kFolderMissingQuestion;
extern const char* const kDriveMissingText;
// The no-write-access message for a folder.
std::string NoWriteAccessText(const std::string& folder);

struct FolderCheckResult {
    std::string folder;       // the text expanded, with a trailing backslash
    bool focusEdit = false;   // a message was shown; the window puts the focus into its field
};

// `CheckTargetFolder`: asks to create a missing folder (No ends the check), tests the drive's
// free space and the write access; every problem is shown at once.
FolderCheckResult CheckTargetFolder(Platform& platform, const std::string& folderText);

// The system's security check first, then the probe file (created and deleted again).
bool FolderIsWritable(Platform& platform, const std::string& folder);

}  // namespace bv
