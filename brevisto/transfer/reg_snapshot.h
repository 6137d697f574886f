// A REGEDIT4 snapshot file read into memory by the program's own REGEDIT4 reader: every key
// with the values its lines give, unescaped as an import would write them to the registry.
// A key holds what stands between its key line and the next one, whatever its values contain.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

struct RegSnapshotKey {
    RegRoot root = RegRoot::CurrentUser;
    std::string path;  // below the root, as the key line names it
    std::vector<RegValue> values;
};

// The keys in the order of their first key lines; value lines before the first key line
// belong to no key and are left out. Raises what the reader raises for a file it cannot
// read to its end (ERegFileError, EConvertError, EFileReadError): a snapshot is taken whole
// or not at all, so that no key is ever read half.
std::vector<RegSnapshotKey> ReadRegSnapshot(Files& files, System& system, const std::string& path);

}  // namespace bv
