// Files of an Outlook Express backup that the successor programs and the browsers use:
// stationery, user dictionaries, Internet Explorer favourites, Firefox bookmarks and Opera's
// bookmark and contact files, put where those programs look for them. Each step works on one
// archive of the transfer run, whose directory the reader has loaded, and tells the user of
// its own failures; none of them stops the run. The reader's settings, its OnEndUnZip handler
// and its archive are as the run left them when a step returns; a cancel (EZipAborted) and an
// archive that cannot be read again after the favourites passes to the caller.
//
// Everything in a backup is outside input: stored paths and the stationery list never lead a
// write or a delete outside the step's target folder, and a file the user already has is
// replaced only by a complete new one, in one rename.
#pragma once
#include <string>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/transfer/transfer_target.h"
#include "platform/platform.h"

namespace bv {

enum class FileStepResult {
    NothingToDo,  // the archive holds nothing for the step (the user may have been told)
    Done,         // everything found was put in place
    // Something could not be put where the program reads it; the user was told with an
    // error message. Also when browser data went to the run's target folder instead.
    Failed,
};

// "&Dateien für Briefpapiere": the files named by the stationery list "PAPER.TMP", below the
// user's "Microsoft Shared\Stationery\" of the local application data. Silent when the
// archive holds no list.
FileStepResult TransferStationeryFiles(Platform& platform, TZipReader& reader, const TransferTarget& target);
// "Benutzer&wörterbücher": every ".dic" into the mail program's store root; the last of them
// becomes "UserDictionary.lex".
FileStepResult TransferDictionaries(Platform& platform, TZipReader& reader, const TransferTarget& target);
// "Internet Explorer Fa&voriten": the inner "iefav.zip" unpacked into the user's favourites.
FileStepResult TransferIEFavorites(Platform& platform, TZipReader& reader, const TransferTarget& target);
// "Firefo&x Favoriten": into the current profiles of the same names, or unpacked below the
// run's target folder when Firefox has no profiles folder.
FileStepResult TransferFirefoxBookmarks(Platform& platform, TZipReader& reader, const TransferTarget& target);
// "O&pera Favoriten, Adressen...": the ".adr" files into Opera's profile folder, or below the
// run's target folder when Opera is not installed.
FileStepResult TransferOperaData(Platform& platform, TZipReader& reader, const TransferTarget& target);

}  // namespace bv
