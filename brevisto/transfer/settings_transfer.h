// Rules, blocked senders, signatures and the recent-stationery lists of an Outlook Express
// backup, carried into the registry of Windows Mail or Windows Live Mail. The backup holds
// them as REGEDIT4 snapshots of the identity's keys; each snapshot is unpacked, rewritten
// for the new program's layout and imported. Portable and headless: the transfer dialog calls
// the three steps once per archive, with the archive's directory loaded in its reader.
#pragma once
#include <string>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/transfer/transfer_target.h"
#include "platform/platform.h"

namespace bv {

// The snapshot files this transfer reads.
extern const char* const kRulesSnapshot;                // "FILTERS.OLS"
extern const char* const kBlockedSendersSnapshot;       // "BLOCKERS.OLS"
extern const char* const kSignaturesSnapshot;           // "SIGNS.OLS"
extern const char* const kStationeryListSnapshot;       // "PAPER.OLS"
extern const char* const kStationeryWideListSnapshot;   // "PAPERW.OLS"

enum class SnapshotResult {
    Missing,       // the archive holds no such entry: nothing done, nothing said
    NotExtracted,  // the entry could not be unpacked; the user was told
    Empty,         // the unpacked snapshot holds nothing: nothing written
    Imported,      // rewritten and imported completely
    Failed,        // reading, writing or importing stopped part-way; the user was told
};

struct SnapshotOutcome {
    std::string file;
    SnapshotResult result = SnapshotResult::Missing;
};

// "&Filter, Regeln, block. Absender": FILTERS.OLS, BLOCKERS.OLS, then the junk-mail lists
// lose their entries without an address.
std::vector<SnapshotOutcome> TransferRulesAndBlockedSenders(Platform& platform, TZipReader& reader,
                                                            const TransferTarget& target);
// "Si&gnaturen": SIGNS.OLS.
std::vector<SnapshotOutcome> TransferSignatures(Platform& platform, TZipReader& reader,
                                                const TransferTarget& target);
// "&Dateien für Briefpapiere" (after the stationery files): PAPER.OLS and PAPERW.OLS.
std::vector<SnapshotOutcome> TransferStationeryLists(Platform& platform, TZipReader& reader,
                                                     const TransferTarget& target);

// One snapshot: the first entry whose name contains `file` (in upper case) is unpacked into
// the target's temporary folder, rewritten, imported into HKEY_CURRENT_USER and deleted.
// Errors of the archive itself (a cancel, an unreadable archive) pass to the caller.
SnapshotResult TransferSnapshot(Platform& platform, TZipReader& reader, const TransferTarget& target,
                                const std::string& file);

// The rewritten REGEDIT4 text of a snapshot, before it is imported.
struct ConvertedSnapshot {
    std::vector<std::string> lines;
    // Where the REGEDIT4 reader stopped, in its own words; empty when it read everything.
    // `lines` then hold what was read before that point.
    std::string readError;
};

// Reads the snapshot at `path` with the REGEDIT4 reader (continuation lines joined, strings
// unescaped) and rewrites it with the rules of `file` (BLOCKERS.OLS has its own) for the
// mail program. Only keys below HKEY_CURRENT_USER\Software\Microsoft\<program> survive, each
// with its values; values outside such a key are dropped.
ConvertedSnapshot ConvertSnapshot(Files& files, System& system, const std::string& path,
                                  const std::string& file, const std::string& mailProgram);

// Removes every entry of the program's blocked and safe senders lists whose "Exception" is
// missing, empty or blank, under the key where the blocked senders were written (Windows
// Live Mail keeps them per account). Returns how many entries were removed.
int CleanUpJunkMailLists(Registry& registry, const TransferTarget& target);

// A binary value line as Windows Mail wants the criteria text: a zero byte after every byte
// ("41,42" becomes "41,00,42,00"); the whole line, name included.
std::string WidenHexValueLine(const std::string& line);
// A value line cut into pieces of 78 characters: the first as it is, the others indented by
// two blanks, each followed by a continuation "\" while non-blank text remains.
std::vector<std::string> CutValueLine(const std::string& line);

}  // namespace bv
