// The tree of 636-byte nodes that both DBX file kinds use, read with every offset checked
// against the file's real size. Corrupt trees give what could be read: nodes outside the
// file, nodes met a second time or overlapping one already read, and nodes deeper than
// any real tree are left out.
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

bool ReadDbxRecord(DbxReader& reader, uint32_t offset, DbxRecord& record);

// Walks one tree, building entries of type T, which needs NodeOffset, Position,
// RecordOffset and Items (its own list of further entries).
class DbxTreeWalker {
public:
    explicit DbxTreeWalker(DbxReader& reader) : reader_(reader) {}

    template <class T, class LoadRecord>
    void Walk(uint32_t nodeOffset, std::vector<std::unique_ptr<T>>& target, LoadRecord& load,
              int depth = 0) {
        DbxNode node;
        if (depth > DbxLimits::MaxTreeDepth || !ReadNode(nodeOffset, node)) return;
        if (node.firstChild != 0) Walk(node.firstChild, target, load, depth + 1);
        for (size_t k = 0; k < node.entries.size(); ++k) {
            auto entry = std::make_unique<T>();
            entry->NodeOffset = nodeOffset;
            entry->Position = static_cast<uint32_t>(k + 1);
            entry->RecordOffset = node.entries[k].record;
            DbxRecord record;
            if (ReadDbxRecord(reader_, entry->RecordOffset, record)) load(*entry, record);
            if (node.entries[k].child != 0)
                Walk(node.entries[k].child, entry->Items, load, depth + 1);
            target.push_back(std::move(entry));
        }
    }

private:
    bool ReadNode(uint32_t offset, DbxNode& node);

    DbxReader& reader_;
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
