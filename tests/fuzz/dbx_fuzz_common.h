// Feeds fuzz input to the DBX reader as a file of the given class: loading, filling and
// sorting must end without reading outside the file or the buffers, whatever the bytes;
// never more entries than the header announces, and the quick count of the wizard must
// find exactly the entries the full reading keeps.
#pragma once
#include <cstring>
#include <vector>

#include "brevisto/mailstore/dbx_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace bv::fuzz {

inline void RunDbx(const uint8_t* data, size_t size, uint32_t fileClass) {
    PosixPlatform& p = SharedPlatform();
    // Signature and class are set so that every input reaches the tree walk.
    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() < 8) bytes.resize(8, 0);
    const uint32_t head[2] = {0xFE12ADCF, fileClass};
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(head[i / 4] >> (8 * (i % 4)));
    const std::string path = WriteInput(p.files, "fuzz.dbx", bytes.data(), bytes.size());

    TDbxFile file(p.files, p.system, path);
    const TDbxFile::EntryTally tally = file.CountEntries();
    file.LoadTree();
    if (TDbxFolderList* folders = file.FolderList()) {
        FolderTreeNodes nodes;
        folders->FillTreeNodes(nodes);
        TDbxFolderList::SortTreeNodes(nodes);
        const size_t read = folders->FileOrder().size();
        if (nodes.Count() != read + 1) abort();
        if (read != folders->EntriesRead() || read > folders->EntryCount()) abort();
        if (tally.announced != folders->EntryCount() || tally.found != read) abort();
    }
    if (TDbxMessageList* messages = file.MessageList()) {
        size_t textBytes = 0;
        for (const TDbxMessage* m : messages->FileOrder()) textBytes += m->Info.Text05.size();
        (void)textBytes;
        const size_t read = messages->FileOrder().size();
        if (read != messages->EntriesRead() || read > messages->EntryCount()) abort();
        if (tally.announced != messages->EntryCount() || tally.found != read) abort();
    }
}

}  // namespace bv::fuzz
