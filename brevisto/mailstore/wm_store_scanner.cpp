#include "brevisto/mailstore/wm_store_scanner.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/ansi.h"

namespace bv {

namespace {

// The store is read as the database engine wrote it: pages of 8192 bytes, each with a
// 40-byte header and, at its end, an array of tags (size, offset) pointing at the records.
// Everything is compared as hex text, two upper-case digits per byte, so a pattern may also
// match half a byte off; the positions below keep that behaviour.

constexpr uint64_t kPageSize = 8192;
constexpr size_t kTagZeroAt = 8188;       // size word of tag 0, which tells the page kind
constexpr uint32_t kFirstKindTag = 0x0010;
constexpr uint32_t kSecondKindTag = 0x0009;
constexpr size_t kSearchChunk = 65536;    // even: a two-byte step never straddles two chunks

std::string HexText(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex(2 * count, '0');
    for (size_t i = 0; i < count; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

// 1-based digit position of the first match, 0 when there is none.
int HexPos(const std::string& pattern, const std::string& hex) {
    const size_t at = hex.find(pattern);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

// The digits read as one hexadecimal number. They all come from HexText, so every one is a
// digit; the mail store readers need nothing of the support routines.
uint32_t HexNumber(const std::string& digits) {
    uint32_t value = 0;
    for (char c : digits) value = (value << 4) | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    return value;
}

// Four digits, low byte first.
uint32_t TwoByteNumber(const std::string& digits) { return HexNumber(digits.substr(2, 2) + digits.substr(0, 2)); }

uint32_t ByteOf(const std::string& digits) { return HexNumber(digits); }

// Bytes 32-126 and 161-255 as characters; everything else is left out.
std::string PrintableText(const std::string& hex) {
    std::string text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const uint32_t b = ByteOf(hex.substr(i, 2));
        if ((b >= 32 && b <= 126) || b >= 161) text += static_cast<char>(b);
    }
    return text;
}

// UTF-16 code units of four digits each (low byte first); any other length does not convert.
std::optional<std::u16string> WideText(const std::string& hex) {
    if (hex.size() % 4 != 0) return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i < hex.size(); i += 4) text += static_cast<char16_t>(TwoByteNumber(hex.substr(i, 4)));
    return text;
}

// What the store can hold in the ANSI code page: the wide text converted there and back.
std::u16string ThroughAnsi(const std::u16string& wide) { return AnsiToUtf16(Utf16ToAnsi(wide)); }

// Spaces and control characters at both ends.
std::u16string TrimWide(const std::u16string& text) {
    size_t from = 0, to = text.size();
    while (from < to && text[from] <= u' ') ++from;
    while (to > from && text[to - 1] <= u' ') --to;
    return text.substr(from, to - from);
}

std::string TrimAnsi(const std::string& text) {
    size_t from = 0, to = text.size();
    while (from < to && static_cast<unsigned char>(text[from]) <= ' ') ++from;
    while (to > from && static_cast<unsigned char>(text[to - 1]) <= ' ') --to;
    return text.substr(from, to - from);
}

// Bytes of a record read as hex text, range by range. Every read checks its bounds: an offset
// taken from the record that points outside it drops the record.
class RecordBytes {
public:
    RecordBytes(const uint8_t* data, int64_t size) : data_(data), size_(size) {}
    int64_t Size() const { return size_; }
    // `count` bytes from `from` (0-based); nothing when the range leaves the record.
    std::optional<std::string> Hex(int64_t from, int64_t count) const {
        if (from < 0 || count < 0 || from + count > size_) return std::nullopt;
        return HexText(data_ + from, static_cast<size_t>(count));
    }
    RecordBytes From(int64_t from) const { return RecordBytes(data_ + from, size_ - from); }

private:
    const uint8_t* data_;
    int64_t size_;
};

// The record's data area D, counted from 1 as its offsets are.
class DataArea {
public:
    explicit DataArea(RecordBytes bytes) : bytes_(bytes) {}
    int64_t Size() const { return bytes_.Size(); }
    std::optional<std::string> Hex(int64_t from, int64_t count) const { return bytes_.Hex(from - 1, count); }
    std::optional<uint32_t> Byte(int64_t i) const {
        const auto digits = Hex(i, 1);
        if (!digits) return std::nullopt;
        return ByteOf(*digits);
    }
    // D[2g+1] plus 256 times the low four bits of D[2g+2]; the upper bits are flags.
    std::optional<int64_t> Offset(int g) const {
        const auto low = Byte(2 * g + 1), high = Byte(2 * g + 2);
        if (!low || !high) return std::nullopt;
        return int64_t{*low} + 256 * int64_t{*high & 0x0F};
    }

private:
    RecordBytes bytes_;
};

// One record; nothing when it is no folder record, when it is not one that the scan keeps,
// or when any of its offsets, lengths or texts does not fit.
std::optional<TWMFolderData> DecodeRecord(const RecordBytes& record, uint32_t tagZeroSize, bool firstKind) {
    const int64_t size = record.Size();
    const int q = HexPos("8068", *record.Hex(0, std::min<int64_t>(32, size)));
    const int k = (q - 1) / 2;  // toward zero: no match reads as position 0
    const int shift = firstKind ? k % 2 : k - 5;
    const int64_t m = int64_t{tagZeroSize} + shift + 98;  // M, from the record's start

    const auto mark = record.Hex(m - 8, 1);
    if (!mark) return std::nullopt;
    if (*mark == "00") return std::nullopt;  // not a folder record

    const auto ids = record.Hex(k + 3, 26);
    if (!ids) return std::nullopt;
    TWMFolderData folder;
    folder.IdText = ids->substr(0, 16);
    folder.Id = TwoByteNumber(folder.IdText.substr(0, 4));
    folder.ParentIdText = ids->substr(16, 16);
    folder.ParentId = TwoByteNumber(folder.ParentIdText.substr(0, 4));
    folder.MessageCount = TwoByteNumber(ids->substr(48, 4));
    folder.IsSpecial = folder.Id <= 8;

    if (m + 12 >= size) return std::nullopt;  // no data area at all
    const DataArea d(record.From(m + 12));
    const int64_t s = d.Size();
    const uint32_t x = *d.Byte(1);

    std::optional<int64_t> u = 0, v = 0, w = 0;
    switch (x) {
        case 12: u = d.Offset(2); w = d.Offset(4); break;
        case 16: u = d.Offset(2); v = d.Offset(4); w = d.Offset(6); break;
        case 20: u = d.Offset(2); v = d.Offset(6); w = d.Offset(8); break;
        default: break;
    }
    if (!u || !v || !w) return std::nullopt;
    // An offset beyond the data area is not this record's.
    if (*u > s || *v > s || *w > s) return std::nullopt;
    const bool newsgroup = d.Hex(6, 2).value_or("") == "4005";

    const int64_t nameLength = *u - x - 2;
    int64_t textLength = -1, kindLength = 0, localLength = 0;
    bool kindColumn = false;
    if (*v > 0) {
        textLength = *v - *u - 1;
        if (!newsgroup) {
            kindLength = *w - *v - 2;
            kindColumn = true;
        }
    }
    if (*v == 0 && *w == 0) textLength = s - *u;
    if (*w > 0) {
        if (*v == 0) textLength = *w - *u - 1;
        localLength = s - *w;
    }
    // Offsets out of order make a length negative: the columns are not what they seem, and
    // the record goes, even where only a positive length would be read.
    if (nameLength < 0 || textLength < 0 || kindLength < 0 || localLength < 0) return std::nullopt;

    const auto name = d.Hex(x, nameLength);
    if (!name) return std::nullopt;
    folder.FolderName = PrintableText(*name);

    // The second text ends where its first "0000" begins; only a match three digits into a
    // code unit leaves whole code units before it.
    const auto text = d.Hex(*u, textLength);
    if (!text) return std::nullopt;
    const int r = HexPos("0000", *text);
    const auto wideText = WideText(text->substr(0, static_cast<size_t>(r) + 1));
    if (!wideText) return std::nullopt;
    folder.FolderText = TrimWide(ThroughAnsi(*wideText));

    if (kindColumn && kindLength > 0) {
        const auto kind = d.Hex(*v, kindLength);
        if (!kind) return std::nullopt;
        folder.Kind = TrimAnsi(PrintableText(*kind));
    }
    if (newsgroup) folder.Kind = "Newsgroup";

    if (*w > 0) {
        // The length runs one byte past the data area; the text ends with it.
        const int64_t count = std::max<int64_t>(0, std::min(localLength, s - (*w + 2) + 1));
        const auto local = d.Hex(*w + 2, count);
        if (!local) return std::nullopt;
        const auto wideLocal = WideText(*local);
        if (!wideLocal) return std::nullopt;
        const std::u16string trimmed = TrimWide(ThroughAnsi(*wideLocal));
        folder.LocalFolder = trimmed.empty() ? trimmed : trimmed.substr(1);
    }

    if (folder.LocalFolder.empty() && folder.Kind != "LocalStore") return std::nullopt;
    return folder;
}

// Reads the store through the seam. Bytes beyond the end of the file read as zero; a read
// that fails inside the file marks the whole scan as failed.
class StoreReader {
public:
    explicit StoreReader(FileStream& stream) : stream_(stream), size_(stream.Size()) {}

    uint64_t Size() const { return size_; }
    bool Failed() const { return failed_; }

    void ReadAt(uint64_t position, uint8_t* out, size_t count) {
        std::fill(out, out + count, uint8_t{0});
        if (position >= size_ || failed_) return;
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, size_ - position));
        if (!stream_.Seek(position)) {
            failed_ = true;
            return;
        }
        size_t done = 0;
        while (done < wanted) {
            const size_t got = stream_.Read(out + done, wanted - done);
            if (got == 0) break;
            done += got;
        }
        if (done < wanted) failed_ = true;
    }

    // The first two-byte step from `from` (even) on that reads 09 00; the search has no end
    // of its own in the page layout, so it stops at the end of the file. Pages come in file
    // order, so one answer serves every later start up to the step it found.
    std::optional<uint64_t> FindStartTagStep(uint64_t from) {
        if (searched_ && from >= searchedFrom_ && (!found_ || from <= *found_)) return found_;
        searched_ = true;
        searchedFrom_ = from;
        found_.reset();
        std::unique_ptr<uint8_t[]> chunk(new uint8_t[kSearchChunk]);
        for (uint64_t at = from; at < size_ && !failed_; at += kSearchChunk) {
            ReadAt(at, chunk.get(), kSearchChunk);
            if (failed_) break;
            const size_t inFile = static_cast<size_t>(std::min<uint64_t>(kSearchChunk, size_ - at));
            for (size_t i = 0; i < inFile; i += 2) {
                if (chunk[i] == 0x09 && chunk[i + 1] == 0x00) {
                    found_ = at + i;
                    return found_;
                }
            }
        }
        return found_;
    }

private:
    FileStream& stream_;
    uint64_t size_;
    bool failed_ = false;
    bool searched_ = false;
    uint64_t searchedFrom_ = 0;
    std::optional<uint64_t> found_;
};

class StoreScanner {
public:
    explicit StoreScanner(StoreReader& reader) : reader_(reader), page_(kPageSize) {}

    void ScanPage(uint64_t pageStart, std::vector<TWMFolderData>& found) {
        reader_.ReadAt(pageStart, page_.data(), page_.size());
        if (reader_.Failed()) return;

        const uint32_t tagZero = Word(kTagZeroAt);
        const bool firstKind = tagZero == kFirstKindTag;
        if (!firstKind && tagZero != kSecondKindTag) return;

        const std::string head = Hex(40, 6);
        if (firstKind) {
            if (head != "140000000100" && head != "160000000100") return;
        } else if (!startTag_.empty() && head.substr(0, 4) != startTag_) {
            return;
        }

        const int p = HexPos("198068", Hex(48, 32));
        size_t at = 49 + static_cast<size_t>(p / 2);
        if (Hex(at, 2) != "8068") {
            at += 2 + 87;
            if (Hex(at, 2) != "FE08") return;
        }

        if (firstKind) {
            const auto step = reader_.FindStartTagStep(pageStart + 48);
            if (reader_.Failed() || !step) return;
            uint8_t tag[2];
            reader_.ReadAt(*step + 2, tag, 2);
            if (reader_.Failed()) return;
            startTag_ = HexText(tag, 2);
        }

        if (Hex(36, 2) == "0528") return;
        const uint32_t bytesInUse = Word(32);
        const uint32_t tagCount = Word(34);
        if (bytesInUse < 32 || tagCount <= 1) return;

        // The page's bytes that lie in the file: no record may reach beyond them.
        const uint64_t inFile = reader_.Size() > pageStart ? reader_.Size() - pageStart : 0;
        const uint64_t limit = std::min<uint64_t>(kPageSize, inFile);
        for (uint32_t tag = 1; tag < tagCount; ++tag) {
            // Tag 0 sits at the page's end, the others below it; a count too large for the
            // page would put the rest of them in front of it.
            if (4 * static_cast<uint64_t>(tag) > kTagZeroAt) break;
            const size_t entry = kTagZeroAt - 4 * static_cast<size_t>(tag);
            const uint32_t size = Word(entry);
            const uint32_t offset = Word(entry + 2) & 0x1FFF;
            const uint64_t start = 40 + uint64_t{offset};
            if (start > 40 + uint64_t{bytesInUse}) continue;
            if (start + size > limit) continue;
            auto folder = DecodeRecord(RecordBytes(page_.data() + start, size), tagZero, firstKind);
            if (folder) found.push_back(std::move(*folder));
        }
    }

private:
    std::string Hex(size_t at, size_t count) const { return HexText(page_.data() + at, count); }
    uint32_t Word(size_t at) const { return TwoByteNumber(Hex(at, 2)); }

    StoreReader& reader_;
    std::vector<uint8_t> page_;
    std::string startTag_;  // empty until a first-kind page names one
};

}  // namespace

uint64_t MailStorePageCount(uint64_t fileSize) {
    uint64_t pages = fileSize / kPageSize;
    const uint64_t rest = fileSize % kPageSize;
    if (rest > kPageSize / 2 || (rest == kPageSize / 2 && pages % 2 == 1)) ++pages;
    return pages;
}

std::vector<TWMFolderData> ScanMailStoreFolders(Platform& platform, const std::string& path) {
    // Windows Mail keeps the file open for writing while it runs.
    auto stream = platform.files.Open(path, OpenMode::ReadShared);
    if (!stream) return {};
    StoreReader reader(*stream);
    StoreScanner scanner(reader);
    std::vector<TWMFolderData> found;
    const uint64_t pages = MailStorePageCount(reader.Size());
    for (uint64_t page = 0; page < pages && !reader.Failed(); ++page) scanner.ScanPage(page * kPageSize, found);
    (void)stream->Close();  // read only
    if (reader.Failed()) return {};
    return found;
}

std::string LocalStoreFolderName(Platform& platform, const std::string& path) {
    const std::vector<TWMFolderData> folders = ScanMailStoreFolders(platform, path);
    if (folders.empty()) return "Local Folders";
    for (const TWMFolderData& folder : folders)
        if (folder.Kind == "LocalStore") return Utf16ToAnsi(folder.LocalFolder);
    return std::string();
}

}  // namespace bv
