// Builds DBX files for tests: a header, tree nodes of 0x27C bytes and records with field
// entries, placed at offsets the test can choose (also beyond 2 GB, written sparsely).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bv::test {

namespace DbxClass {
constexpr uint32_t Messages = 0x6F74FDC5;
constexpr uint32_t Folders = 0x6F74FDC6;
constexpr uint32_t Kind2 = 0x6F74FDC7;
constexpr uint32_t Kind3 = 0x26FE9D30;
}  // namespace DbxClass

// One field of a record. Ids from 0x80 on carry `direct`; the others point into the
// data area, where `stored` is placed.
struct DbxField {
    uint8_t id = 0;
    uint32_t direct = 0;
    std::vector<uint8_t> stored;

    static DbxField Direct(uint8_t id, uint32_t value);
    static DbxField String(uint8_t id, const std::string& text);  // with its NUL
    static DbxField Number(uint8_t id, uint32_t value);
    static DbxField Time(uint8_t id, uint64_t fileTime);
    // Points `offset` bytes into the data area without storing anything (corrupt fields).
    static DbxField Pointer(uint8_t id, uint32_t offset);
};

struct DbxNodeEntry {
    uint32_t record = 0;
    uint32_t child = 0;  // node after this entry; 0 = none
};

class DbxWriter {
public:
    static constexpr uint32_t HeaderSize = 0x24BC;
    static constexpr uint32_t NodeSize = 0x27C;

    explicit DbxWriter(uint32_t fileClass);

    // Header fields of the two trees.
    void SetFolderTree(uint32_t entryCount, uint32_t rootNode);
    void SetMessageTree(uint32_t entryCount, uint32_t rootNode);
    void SetHeaderValue(uint32_t offset, uint32_t value);

    // Later allocations start at `offset` (must not go backwards).
    void SkipTo(uint64_t offset);

    // Appends a record and returns its offset; `lengthOverride` replaces the length field.
    uint32_t AddRecord(const std::vector<DbxField>& fields, int64_t lengthOverride = -1);
    // Reserves a node so that it can be referred to before its content is known.
    uint32_t ReserveNode();
    // Fills a reserved node; `countOverride` replaces the entry count byte.
    void SetNode(uint32_t offset, uint32_t firstChild, const std::vector<DbxNodeEntry>& entries,
                 int countOverride = -1);
    uint32_t AddNode(uint32_t firstChild, const std::vector<DbxNodeEntry>& entries);

    // The whole file in memory (zeros between the pieces); for small files.
    std::vector<uint8_t> Build() const;
    // Writes the file piece by piece, seeking over the gaps.
    bool WriteTo(Files& files, const std::string& path) const;
    uint64_t EndOffset() const { return next_; }

private:
    uint32_t Allocate(size_t size);
    std::vector<uint8_t>& Piece(uint32_t offset);

    std::vector<uint8_t> header_;
    std::map<uint64_t, std::vector<uint8_t>> pieces_;
    uint64_t next_;
};

}  // namespace bv::test
