// A REGEDIT4 snapshot file read into memory by the program's own REGEDIT4 reader, values
// unescaped as an import would write them to the registry. The transfer's steps take a
// snapshot either line by line, in file order, or key by key.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// One key line or value line as the reader took it.
struct RegSnapshotLine {
    bool isKey = false;
    RegRoot root = RegRoot::CurrentUser;  // key lines
    std::string path;                     // key lines: below the root, as the line names it
    RegValue value;                       // value lines
    bool beforeAnyKey = false;            // a value line that no key line precedes
};

// Appends the snapshot's lines to `lines` in file order. Raises what the reader raises for a
// file it cannot read to its end (ERegFileError, EConvertError, EFileReadError); the lines
// read before stay in `lines`.
void ReadRegSnapshotLines(Files& files, System& system, const std::string& path,
                          std::vector<RegSnapshotLine>& lines);

struct RegSnapshotKey {
    RegRoot root = RegRoot::CurrentUser;
    std::string path;  // below the root, as the key line names it
    std::vector<RegValue> values;
};

// The keys in the order of their first key lines, each with the values its lines give (a
// later value of the same name replaces the earlier one); value lines before the first key
// line belong to no key and are left out. A key holds what stands between its key line and
// the next one, whatever its values contain. Raises like ReadRegSnapshotLines: a snapshot is
// taken whole or not at all, so that no key is ever read half.
std::vector<RegSnapshotKey> ReadRegSnapshot(Files& files, System& system, const std::string& path);

}  // namespace bv
