#include "brevisto/mailstore/dbx_tree.h"

#include <algorithm>

namespace bv {

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

bool DbxReader::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (!file_.Seek(offset)) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const size_t got = file_.Read(out + done, count - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

bool DbxTreeWalker::ReadNode(uint32_t offset, DbxNode& node) {
    if (offset == 0) return false;
    // A node met twice means a cycle; an overlapping one cannot be a real node either.
    // Refusing both also bounds the walk by the file's size.
    auto next = visited_.lower_bound(offset);
    if (next != visited_.end() && *next - offset < DbxLimits::NodeSize) return false;
    if (next != visited_.begin() && offset - *std::prev(next) < DbxLimits::NodeSize) return false;

    uint8_t raw[DbxLimits::NodeSize];
    if (!reader_.ReadAt(offset, raw, sizeof raw)) return false;
    // Every node starts with its own offset; anything else is a pointer into other data.
    if (U32(raw) != offset) return false;
    visited_.insert(offset);

    node.firstChild = U32(raw + 0x08);
    const uint32_t count = std::min<uint32_t>(raw[0x11], DbxLimits::MaxNodeEntries);
    node.entries.resize(count);
    for (uint32_t k = 0; k < count; ++k) {
        node.entries[k].record = U32(raw + 0x18 + 12 * k);
        node.entries[k].child = U32(raw + 0x1C + 12 * k);
    }
    return true;
}

bool ReadDbxRecord(DbxReader& reader, uint32_t offset, DbxRecord* record) {
    uint8_t head[12];
    if (!reader.ReadAt(offset, head, sizeof head)) return false;
    // Like a node, a record starts with its own offset.
    if (U32(head) != offset) return false;
    const uint32_t length = U32(head + 4);
    if (length == 0) return true;
    const uint64_t bodyStart = uint64_t{offset} + sizeof head;
    if (length > DbxLimits::MaxRecordLength || bodyStart + length > reader.FileSize())
        return false;
    if (!record) return true;
    Bytes body(length);
    if (!reader.ReadAt(bodyStart, body.data(), body.size())) return false;

    const uint32_t fieldCount = std::min<uint32_t>(head[0x0A], length / 4);
    record->fields.reserve(fieldCount);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const uint32_t entry = U32(body.data() + 4 * i);
        record->fields.push_back({static_cast<uint8_t>(entry & 0xFF), entry >> 8});
    }
    record->data.assign(body.begin() + 4 * fieldCount, body.end());
    return true;
}

}  // namespace bv
