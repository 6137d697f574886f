// Builds Windows Mail store files ("WindowsMail.MSMessageStore") for the folder scanner's
// tests: pages of 8192 bytes of both kinds with the header bytes the scanner looks at, tag
// arrays at the pages' ends and folder records laid out the way the scanner decodes them.
// No public store file has this layout, so the bytes come from here; tests bend pages,
// tags and records into corrupt shapes through the setups, raw tags and patches.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bv::test {

constexpr uint64_t kWmPageSize = 8192;

enum class WmPageKind {
    First,   // tag 0 of size 0x0010; names the start tag of the pages that follow
    Second,  // tag 0 of size 0x0009; read when its head begins with the start tag
};

// How a page shows its record marker in the 32 bytes at page offset 48.
enum class WmPageMarker {
    Aligned,       // 19 80 68 at a whole byte: the 80 68 after it is where the scanner looks
    HalfByte,      // "198068" half a byte in, and FE 08 where the scanner looks next
    HalfByteOnly,  // half a byte in without the FE 08: the page is skipped
    FollowOnly,    // no "198068", but 80 68 at offset 49
    Fe08Only,      // no "198068", 80 68 missing, FE 08 at offset 138
    None,          // nothing: the page is skipped
};

struct WmPageSetup {
    WmPageKind kind = WmPageKind::First;
    // First kind: the head at offset 40 is `lead` 00 00 00 01 00 (0x14 and 0x16 are read).
    uint8_t lead = 0x14;
    // Second kind: the head begins with these two bytes (low byte first), then zeros.
    uint16_t parentTag = 0x4242;
    std::optional<std::array<uint8_t, 6>> head;  // replaces the head of either kind
    WmPageMarker marker = WmPageMarker::Aligned;
    int markerAt = 0;  // byte of the 32-byte window where the marker begins (0..25)
    // First kind: 09 00 at offset 80 with the start tag after it (low byte first). Without
    // it the scanner's search runs on into whatever follows the page.
    bool startTagStep = true;
    uint16_t startTag = 0x4242;
    bool busy = false;            // 05 28 at offset 36: the page is skipped
    uint16_t tagZeroSize = 0;     // 0: by the kind (0x0010, 0x0009)
};

// One folder record. The data area D (counted from 1, as the scanner does) holds at D[1] its
// layout X, then 12-bit offsets U, V, W of its columns; the name at D[X], the second text
// (UTF-16 with a NUL) at D[U], the kind text at D[V] and the local folder (UTF-16 after a
// prefix character, with a NUL) from D[W + 2] to the record's end.
struct WmRecord {
    uint64_t id = 0x20;  // 8 bytes, low byte first
    uint64_t parentId = 0;
    uint16_t messageCount = 0;
    std::string name = "Ordner";  // ANSI bytes as they are
    std::u16string text = u"Ordner";
    std::string kind;      // account text or "LocalStore"; layouts 16 and 20 only
    bool newsgroup = false;  // D[6] D[7] = 40 05 (needs U below 256)
    std::u16string localFolder;  // empty: no local folder text
    char16_t localPrefix = u'\\';
    int layout = 16;  // X: 12 (U and W only), 16 (U, V, W) or 20 (U, -, V, W)
    int markerAt = 3;  // byte of the first 32 where 80 68 begins (0..30, half a byte off 0..29); -1: none
    bool halfByteMarker = false;  // the marker begins at the second digit of that byte
    uint8_t offsetFlags = 0;  // upper four bits of the offsets' high bytes (not part of them)
    uint8_t folderMark = 0x01;  // the byte at M - 8; 0 marks a record that is no folder
};

// Where a record went (file offsets) and the offsets written into it.
struct WmPlacement {
    uint64_t record = 0;    // R
    uint32_t size = 0;      // Z, the tag's size
    uint64_t data = 0;      // D[1]
    uint64_t tagEntry = 0;  // the tag's size word; its offset word follows
    int tag = 0;            // the tag's number in the page
    int u = 0, v = 0, w = 0;
    uint64_t D(int64_t i) const { return data + static_cast<uint64_t>(i - 1); }
};

class WmStoreWriter {
public:
    // Appends a page and returns its number.
    size_t AddPage(const WmPageSetup& setup = {});
    // Lays the record out for the page's kind at `offset` bytes behind page offset 40 (the
    // tag's offset; default after the page's last record) and gives it the next tag.
    WmPlacement AddRecord(size_t page, const WmRecord& record, int offset = -1);
    // A tag written as given (the offset word with its upper three bits).
    void AddRawTag(size_t page, uint16_t sizeWord, uint16_t offsetWord);
    // Replace the words the writer derives: bytes in use (B, default the end of the last
    // record behind offset 40) and the number of tags (T, default the tags added plus tag 0).
    void SetBytesInUse(size_t page, uint16_t value);
    void SetTagCount(size_t page, uint16_t value);
    // Overwrites bytes of the built file (applied after the pages, in order).
    void Patch(uint64_t position, const std::vector<uint8_t>& bytes);
    void PatchWord(uint64_t position, uint16_t value);
    // The file ends here instead of after the last page (cut short or padded with zeros).
    void SetFileSize(uint64_t size);

    uint64_t PageStart(size_t page) const { return page * kWmPageSize; }
    std::vector<uint8_t> Build() const;
    bool WriteTo(Files& files, const std::string& path) const;

private:
    struct Tag {
        uint16_t size;
        uint16_t offset;
    };
    struct Page {
        WmPageSetup setup;
        std::vector<uint8_t> bytes = std::vector<uint8_t>(kWmPageSize, 0);
        std::vector<Tag> tags;
        uint32_t nextOffset = 136;  // records begin behind the header's marker area
        uint32_t usedEnd = 0;
        std::optional<uint16_t> bytesInUse, tagCount;
    };
    static uint16_t TagZeroSize(const WmPageSetup& setup);
    std::vector<Page> pages_;
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> patches_;
    std::optional<uint64_t> fileSize_;
};

// UTF-16LE bytes of a text.
std::vector<uint8_t> WmWideBytes(const std::u16string& text);

}  // namespace bv::test
