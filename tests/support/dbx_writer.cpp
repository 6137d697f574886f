#include "tests/support/dbx_writer.h"

#include <stdexcept>

namespace bv::test {

namespace {

constexpr uint32_t kSignature = 0xFE12ADCF;

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> LittleEndian(uint64_t value, int size) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

}  // namespace

DbxField DbxField::Direct(uint8_t id, uint32_t value) {
    return DbxField{static_cast<uint8_t>(id | 0x80), value, {}};
}

DbxField DbxField::String(uint8_t id, const std::string& text) {
    DbxField field{id, 0, std::vector<uint8_t>(text.begin(), text.end())};
    field.stored.push_back(0);
    return field;
}

DbxField DbxField::Number(uint8_t id, uint32_t value) {
    return DbxField{id, 0, LittleEndian(value, 4)};
}

DbxField DbxField::Time(uint8_t id, uint64_t fileTime) {
    return DbxField{id, 0, LittleEndian(fileTime, 8)};
}

DbxField DbxField::Pointer(uint8_t id, uint32_t offset) {
    // Marked by an empty store; AddRecord writes `direct` as the offset.
    return DbxField{static_cast<uint8_t>(id & 0x7F), offset, {}};
}

DbxWriter::DbxWriter(uint32_t fileClass) : header_(HeaderSize, 0), next_(HeaderSize) {
    Put32(header_, 0x00, kSignature);
    Put32(header_, 0x04, fileClass);
}

void DbxWriter::SetFolderTree(uint32_t entryCount, uint32_t rootNode) {
    Put32(header_, 0xCC, entryCount);
    Put32(header_, 0xEC, rootNode);
}

void DbxWriter::SetMessageTree(uint32_t entryCount, uint32_t rootNode) {
    Put32(header_, 0xC4, entryCount);
    Put32(header_, 0xE4, rootNode);
}

void DbxWriter::SetHeaderValue(uint32_t offset, uint32_t value) { Put32(header_, offset, value); }

void DbxWriter::SkipTo(uint64_t offset) {
    if (offset < next_) throw std::logic_error("DbxWriter::SkipTo goes backwards");
    next_ = offset;
}

uint32_t DbxWriter::Allocate(size_t size) {
    if (next_ + size > 0xFFFFFFFFull) throw std::logic_error("DBX offsets are 32-bit");
    const auto offset = static_cast<uint32_t>(next_);
    pieces_[offset].assign(size, 0);
    next_ += size;
    return offset;
}

std::vector<uint8_t>& DbxWriter::Piece(uint32_t offset) {
    auto it = pieces_.find(offset);
    if (it == pieces_.end()) throw std::logic_error("no piece at this offset");
    return it->second;
}

uint32_t DbxWriter::AddRecord(const std::vector<DbxField>& fields, int64_t lengthOverride) {
    std::vector<uint8_t> entries;
    std::vector<uint8_t> data;
    for (const auto& field : fields) {
        uint32_t value = field.direct;
        if (value > 0xFFFFFF) throw std::logic_error("field values have 24 bits");
        if ((field.id & 0x80) == 0 && !field.stored.empty()) {
            value = static_cast<uint32_t>(data.size());
            data.insert(data.end(), field.stored.begin(), field.stored.end());
        }
        const auto entry = LittleEndian(uint32_t{field.id} | (value << 8), 4);
        entries.insert(entries.end(), entry.begin(), entry.end());
    }
    const uint32_t length = static_cast<uint32_t>(entries.size() + data.size());
    const uint32_t offset = Allocate(12 + length);
    auto& piece = Piece(offset);
    Put32(piece, 0, offset);
    Put32(piece, 4, lengthOverride >= 0 ? static_cast<uint32_t>(lengthOverride) : length);
    piece[0x0A] = static_cast<uint8_t>(fields.size());
    std::copy(entries.begin(), entries.end(), piece.begin() + 12);
    std::copy(data.begin(), data.end(), piece.begin() + 12 + static_cast<long>(entries.size()));
    return offset;
}

uint32_t DbxWriter::ReserveNode() {
    const uint32_t offset = Allocate(NodeSize);
    Put32(Piece(offset), 0, offset);
    return offset;
}

void DbxWriter::SetNode(uint32_t offset, uint32_t firstChild,
                        const std::vector<DbxNodeEntry>& entries, int countOverride) {
    auto& node = Piece(offset);
    if (node.size() != NodeSize) throw std::logic_error("not a node");
    Put32(node, 0x08, firstChild);
    node[0x11] = static_cast<uint8_t>(countOverride >= 0 ? countOverride : int(entries.size()));
    // Slots beyond the node's room are simply not written.
    for (size_t k = 0; k < entries.size() && 0x20 + 12 * k + 4 <= NodeSize; ++k) {
        Put32(node, 0x18 + 12 * k, entries[k].record);
        Put32(node, 0x1C + 12 * k, entries[k].child);
    }
}

uint32_t DbxWriter::AddNode(uint32_t firstChild, const std::vector<DbxNodeEntry>& entries) {
    const uint32_t offset = ReserveNode();
    SetNode(offset, firstChild, entries);
    return offset;
}

std::vector<uint8_t> DbxWriter::Build() const {
    std::vector<uint8_t> file(static_cast<size_t>(next_), 0);
    std::copy(header_.begin(), header_.end(), file.begin());
    for (const auto& [offset, bytes] : pieces_)
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(offset));
    return file;
}

bool DbxWriter::WriteTo(Files& files, const std::string& path) const {
    auto stream = files.Open(path, OpenMode::CreateAlways);
    if (!stream) return false;
    bool ok = stream->Write(header_.data(), header_.size());
    for (const auto& [offset, bytes] : pieces_)
        ok = ok && stream->Seek(offset) && stream->Write(bytes.data(), bytes.size());
    if (ok && stream->Position() < next_) {
        // Gaps at the end still belong to the file.
        const uint8_t zero = 0;
        ok = stream->Seek(next_ - 1) && stream->Write(&zero, 1);
    }
    return stream->Close() && ok;
}

}  // namespace bv::test
