// The tree of 636-byte nodes that both DBX file kinds use, read with every offset checked
// against the file's real size. Corrupt trees give what could be read, and nothing that
// is not there: nodes outside the file, nodes that do not name their own offset, nodes met
// a second time or overlapping one already read, and nodes deeper than any real tree are
// not walked; an entry whose record cannot be read (outside the file, not naming its own
// offset) is dropped; and never more entries are read than the file's header announces,
// so the caller can tell a damaged index by fewer entries read than announced.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "brevisto/mailstore/dbx_records.h"
#include "platform/files.h"

namespace bv {

namespace DbxLimits {
constexpr uint32_t NodeSize = 0x27C;
constexpr uint32_t MaxNodeEntries = 51;
// Real trees are a handful of levels deep even with millions of entries.
constexpr int MaxTreeDepth = 64;
// Records hold a few header fields; anything larger is taken as corrupt.
constexpr uint32_t MaxRecordLength = 1u << 20;
}  // namespace DbxLimits

// Random access to an open DBX file (streams, so files of up to 4 GB work).
class DbxReader {
public:
    explicit DbxReader(FileStream& file) : file_(file), size_(file.Size()) {}
    uint64_t FileSize() const { return size_; }
    // False when the range lies (partly) outside the file or cannot be read.
    bool ReadAt(uint64_t offset, void* buffer, size_t count);

private:
    FileStream& file_;
    uint64_t size_;
};

struct DbxNode {
    struct Entry {
        uint32_t record = 0;
        uint32_t child = 0;
    };
    uint32_t firstChild = 0;
    std::vector<Entry> entries;
};

// False when no record stands at `offset`: its head or body lies outside the file, it does
// not name its own offset, or it cannot be read. `record` may be null to check the head
// and the body's place only, without reading the body.
bool ReadDbxRecord(DbxReader& reader, uint32_t offset, DbxRecord* record);

// Walks one tree, building entries of type T, which needs NodeOffset, Position,
// RecordOffset and Items (its own list of further entries). `load(entry, offset)` reads
// the entry's record and says whether there is one; entries without are dropped, and the
// entries that follow them in file order take their place in the list.
class DbxTreeWalker {
public:
    DbxTreeWalker(DbxReader& reader, uint32_t announcedEntries)
        : reader_(reader), remaining_(announcedEntries) {}

    template <class T, class LoadRecord>
    void Walk(uint32_t nodeOffset, std::vector<std::unique_ptr<T>>& target, LoadRecord& load,
              int depth = 0) {
        DbxNode node;
        if (remaining_ == 0 || depth > DbxLimits::MaxTreeDepth || !ReadNode(nodeOffset, node))
            return;
        if (node.firstChild != 0) Walk(node.firstChild, target, load, depth + 1);
        for (size_t k = 0; k < node.entries.size() && remaining_ > 0; ++k) {
            auto entry = std::make_unique<T>();
            entry->NodeOffset = nodeOffset;
            entry->Position = static_cast<uint32_t>(k + 1);
            entry->RecordOffset = node.entries[k].record;
            const bool present = load(*entry, entry->RecordOffset);
            if (present) {
                --remaining_;
                ++read_;
            }
            if (node.entries[k].child != 0)
                Walk(node.entries[k].child, present ? entry->Items : target, load, depth + 1);
            if (present) target.push_back(std::move(entry));
        }
    }

    // Entries kept so far.
    uint32_t EntriesRead() const { return read_; }

private:
    bool ReadNode(uint32_t offset, DbxNode& node);

    DbxReader& reader_;
    uint32_t remaining_;
    uint32_t read_ = 0;
    std::set<uint32_t> visited_;
};

// Each entry, then its own list, depth first: the order of the entries in the file.
template <class T>
void CollectDbxFileOrder(const std::vector<std::unique_ptr<T>>& items, std::vector<const T*>& out) {
    for (const auto& item : items) {
        out.push_back(item.get());
        CollectDbxFileOrder(item->Items, out);
    }
}

}  // namespace bv
