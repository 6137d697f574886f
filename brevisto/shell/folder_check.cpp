#include "brevisto/shell/folder_check.h"

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const kProbeFileName = "##qmvk##.#~#";
const char* const kFolderMissingQuestion =
    "Der angegebene Ordner existiert noch nicht!\rSoll er automatisch angelegt werden?";
const char* const kDriveMissingText = "Das angegebene Laufwerk existiert nicht!";

std::string NoWriteAccessText(const std::string& folder) {
    return "In den angegebenen Ordner \"" + folder +
           "\" kann die Software aufgrund eingeschränkter Zugriffsrechte nicht schreiben.\r\r"
           "Geben Sie daher bitte einen anderen Ordner an!";
}

bool FolderIsWritable(Platform& platform, const std::string& folder) {
    if (platform.files.FolderWriteAccess(folder) == 1) return true;
    // The security check says no or cannot tell (shares, FAT drives): try it.
    const std::string probe = IncludeTrailingBackslash(folder) + kProbeFileName;
    auto stream = platform.files.Open(probe, OpenMode::CreateAlways);
    if (!stream) return false;
    const bool closed = stream->Close();
    stream.reset();
    // A probe that cannot be removed again makes the folder no place to write to.
    const bool removed = platform.files.DeleteFile(probe);
    return closed && removed;
}

FolderCheckResult CheckTargetFolder(Platform& platform, const std::string& folderText) {
    FolderCheckResult result;
    result.folder = ExpandPath(platform.shell, folderText, true);
    if (!DirectoryExists(platform.files, result.folder)) {
        if (ShowMsgBox(platform.prompter, kFolderMissingQuestion, kMessageCaption, mkConfirmation,
                       bsYesNo) != MsgResult::Yes)
            return result;
        ForceDirectories(platform.files, result.folder);
    }
    if (DiskFreeAt(platform, platform.files.CurrentDirectory(), result.folder) == -1) {
        ShowMsgBox(platform.prompter, kDriveMissingText, kMessageCaption, mkError, bsOk);
        result.focusEdit = true;
        return result;
    }
    if (!FolderIsWritable(platform, result.folder)) {
        ShowMsgBox(platform.prompter, NoWriteAccessText(result.folder), "", mkError, bsOk);
        result.focusEdit = true;
    }
    return result;
}

}  // namespace bv
