#include "tests/support/wm_store_writer.h"

#include <algorithm>
#include <stdexcept>

namespace bv::test {

namespace {

// Page layout the scanner reads (offsets within the page).
constexpr size_t kTagZeroAt = 8188;
constexpr size_t kBytesInUseAt = 32;
constexpr size_t kTagCountAt = 34;
constexpr size_t kBusyAt = 36;
constexpr size_t kHeadAt = 40;
constexpr size_t kWindowAt = 48;   // 32 bytes searched for "198068"
constexpr size_t kStepAt = 80;     // 09 00 and the start tag
constexpr size_t kRecordBase = 40;  // tag offsets count from here

// Fillers that form none of the patterns the scanner looks for, whole or half a byte off.
constexpr uint8_t kWindowFiller = 0x22;
constexpr uint8_t kRecordFiller = 0x11;

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLong(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Require(bool condition, const char* what) {
    if (!condition) throw std::invalid_argument(what);
}

// The data area D of a record (index 0 is D[1]) and the offsets written into it.
struct DataArea {
    std::vector<uint8_t> bytes;
    int u = 0, v = 0, w = 0;
};

DataArea LayOutData(const WmRecord& r) {
    Require(r.layout == 12 || r.layout == 16 || r.layout == 20, "layout must be 12, 16 or 20");
    Require(r.layout != 12 || r.kind.empty(), "layout 12 has no kind column");
    const int x = r.layout;
    const std::vector<uint8_t> text = WmWideBytes(r.text + u'\0');
    std::vector<uint8_t> local;
    if (!r.localFolder.empty()) local = WmWideBytes(std::u16string(1, r.localPrefix) + r.localFolder + u'\0');

    DataArea d;
    d.u = x + 2 + static_cast<int>(r.name.size());
    const int textBytes = static_cast<int>(text.size());
    int size = 0;
    if (x == 12) {
        // Without V the second text runs to W, or to the end when there is no W.
        if (!local.empty()) {
            d.w = d.u + textBytes + 1;
            size = d.w + 1 + static_cast<int>(local.size());
        } else {
            size = d.u + textBytes - 1;
        }
    } else {
        d.v = d.u + textBytes + 1;
        d.w = d.v + static_cast<int>(r.kind.size()) + 2;
        size = d.w + 1 + static_cast<int>(local.size());
    }
    Require(d.u < 4096 && d.v < 4096 && d.w < 4096, "offsets have twelve bits");
    Require(!r.newsgroup || d.u < 256, "a newsgroup record needs U below 256");

    d.bytes.assign(static_cast<size_t>(size), 0);
    auto at = [&d](int i) -> uint8_t& { return d.bytes[static_cast<size_t>(i - 1)]; };
    auto offset = [&](int g, int value) {
        at(2 * g + 1) = static_cast<uint8_t>(value & 0xFF);
        at(2 * g + 2) = static_cast<uint8_t>((r.offsetFlags << 4) | ((value >> 8) & 0x0F));
    };
    at(1) = static_cast<uint8_t>(x);
    offset(2, d.u);
    if (x == 12) {
        offset(4, d.w);
    } else if (x == 16) {
        offset(4, d.v);
        offset(6, d.w);
    } else {
        offset(4, 0x0FFF);  // a column the scanner does not read
        offset(6, d.v);
        offset(8, d.w);
    }
    if (r.newsgroup) {
        at(6) = 0x40;
        at(7) = 0x05;
    }
    std::copy(r.name.begin(), r.name.end(), d.bytes.begin() + (x - 1));
    std::copy(text.begin(), text.end(), d.bytes.begin() + (d.u - 1));
    if (x != 12) std::copy(r.kind.begin(), r.kind.end(), d.bytes.begin() + (d.v - 1));
    if (!local.empty()) std::copy(local.begin(), local.end(), d.bytes.begin() + (d.w + 1));
    return d;
}

}  // namespace

std::vector<uint8_t> WmWideBytes(const std::u16string& text) {
    std::vector<uint8_t> out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

uint16_t WmStoreWriter::TagZeroSize(const WmPageSetup& setup) {
    if (setup.tagZeroSize != 0) return setup.tagZeroSize;
    return setup.kind == WmPageKind::First ? 0x0010 : 0x0009;
}

size_t WmStoreWriter::AddPage(const WmPageSetup& setup) {
    Require(setup.markerAt >= 0 && setup.markerAt <= 28, "page marker within its window");
    Page page;
    page.setup = setup;
    pages_.push_back(page);
    return pages_.size() - 1;
}

WmPlacement WmStoreWriter::AddRecord(size_t pageNumber, const WmRecord& r, int offset) {
    Page& page = pages_.at(pageNumber);
    const bool firstKind = page.setup.kind == WmPageKind::First;
    const int tagZero = firstKind ? 0x10 : 0x09;
    Require(r.markerAt >= -1 && r.markerAt <= (r.halfByteMarker ? 29 : 30), "record marker within the first 32 bytes");

    // The scanner finds the marker's byte k, shifts by k mod 2 (first kind) or k - 5
    // (second kind) and takes M = R + tag 0's size + shift + 98; D begins at M + 12.
    const int k = r.markerAt < 0 ? 0 : r.markerAt;
    const int shift = firstKind ? k % 2 : k - 5;
    const int m = tagZero + shift + 98;
    const DataArea d = LayOutData(r);
    const size_t size = static_cast<size_t>(m + 12) + d.bytes.size();
    Require(size <= 0xFFFF, "record size fits its tag");

    std::vector<uint8_t> bytes(size, 0);
    std::fill(bytes.begin(), bytes.begin() + std::min<size_t>(32, size), kRecordFiller);
    if (r.markerAt >= 0) {
        const size_t j = static_cast<size_t>(r.markerAt);
        if (r.halfByteMarker) {  // "?8 06 8?": 8068 begins at the byte's second digit
            bytes[j] = 0x18;
            bytes[j + 1] = 0x06;
            bytes[j + 2] = 0x8F;
        } else {
            bytes[j] = 0x80;
            bytes[j + 1] = 0x68;
        }
    }
    const size_t ids = static_cast<size_t>(k + 3);
    PutLong(bytes, ids, r.id);
    PutLong(bytes, ids + 8, r.parentId);
    std::fill(bytes.begin() + static_cast<long>(ids + 16), bytes.begin() + static_cast<long>(ids + 24), 0);
    PutWord(bytes, ids + 24, r.messageCount);
    bytes[static_cast<size_t>(m - 8)] = r.folderMark;
    std::copy(d.bytes.begin(), d.bytes.end(), bytes.begin() + (m + 12));

    const uint32_t at = offset < 0 ? page.nextOffset : static_cast<uint32_t>(offset);
    Require(at <= 0x1FFF, "tag offset has thirteen bits");
    const size_t tagNumber = page.tags.size() + 1;
    Require(kRecordBase + at + size <= kTagZeroAt - 4 * tagNumber, "record fits the page");
    std::copy(bytes.begin(), bytes.end(), page.bytes.begin() + static_cast<long>(kRecordBase + at));
    page.tags.push_back(Tag{static_cast<uint16_t>(size), static_cast<uint16_t>(at)});
    page.nextOffset = std::max<uint32_t>(page.nextOffset, at + static_cast<uint32_t>(size));
    page.usedEnd = std::max<uint32_t>(page.usedEnd, at + static_cast<uint32_t>(size));

    WmPlacement placed;
    placed.record = PageStart(pageNumber) + kRecordBase + at;
    placed.size = static_cast<uint32_t>(size);
    placed.data = placed.record + static_cast<uint64_t>(m + 12);
    placed.tag = static_cast<int>(tagNumber);
    placed.tagEntry = PageStart(pageNumber) + kTagZeroAt - 4 * tagNumber;
    placed.u = d.u;
    placed.v = d.v;
    placed.w = d.w;
    return placed;
}

void WmStoreWriter::AddRawTag(size_t page, uint16_t sizeWord, uint16_t offsetWord) {
    pages_.at(page).tags.push_back(Tag{sizeWord, offsetWord});
}

void WmStoreWriter::SetBytesInUse(size_t page, uint16_t value) { pages_.at(page).bytesInUse = value; }

void WmStoreWriter::SetTagCount(size_t page, uint16_t value) { pages_.at(page).tagCount = value; }

void WmStoreWriter::Patch(uint64_t position, const std::vector<uint8_t>& bytes) {
    patches_.emplace_back(position, bytes);
}

void WmStoreWriter::PatchWord(uint64_t position, uint16_t value) {
    Patch(position, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
}

void WmStoreWriter::SetFileSize(uint64_t size) { fileSize_ = size; }

std::vector<uint8_t> WmStoreWriter::Build() const {
    std::vector<uint8_t> file;
    file.reserve(pages_.size() * kWmPageSize);
    for (const Page& page : pages_) {
        std::vector<uint8_t> bytes = page.bytes;
        const WmPageSetup& s = page.setup;

        PutWord(bytes, kBytesInUseAt, page.bytesInUse.value_or(static_cast<uint16_t>(std::max<uint32_t>(page.usedEnd, 32))));
        PutWord(bytes, kTagCountAt, page.tagCount.value_or(static_cast<uint16_t>(page.tags.size() + 1)));
        if (s.busy) {
            bytes[kBusyAt] = 0x05;
            bytes[kBusyAt + 1] = 0x28;
        }

        std::array<uint8_t, 6> head{};
        if (s.head) {
            head = *s.head;
        } else if (s.kind == WmPageKind::First) {
            head = {s.lead, 0x00, 0x00, 0x00, 0x01, 0x00};
        } else {
            head = {static_cast<uint8_t>(s.parentTag), static_cast<uint8_t>(s.parentTag >> 8), 0, 0, 0, 0};
        }
        std::copy(head.begin(), head.end(), bytes.begin() + kHeadAt);

        std::fill(bytes.begin() + kWindowAt, bytes.begin() + kWindowAt + 32, kWindowFiller);
        const size_t j = kWindowAt + static_cast<size_t>(s.markerAt);
        switch (s.marker) {
            case WmPageMarker::Aligned:
                bytes[j] = 0x19;
                bytes[j + 1] = 0x80;
                bytes[j + 2] = 0x68;
                break;
            case WmPageMarker::HalfByte:
            case WmPageMarker::HalfByteOnly:
                // "?1 98 06 8?": the scanner then reads 06 8? and looks 89 bytes further.
                bytes[j] = 0x21;
                bytes[j + 1] = 0x98;
                bytes[j + 2] = 0x06;
                bytes[j + 3] = 0x8F;
                if (s.marker == WmPageMarker::HalfByte) {
                    bytes[j + 2 + 2 + 87] = 0xFE;
                    bytes[j + 2 + 2 + 87 + 1] = 0x08;
                }
                break;
            case WmPageMarker::FollowOnly:
                bytes[49] = 0x80;
                bytes[50] = 0x68;
                break;
            case WmPageMarker::Fe08Only:
                bytes[138] = 0xFE;
                bytes[139] = 0x08;
                break;
            case WmPageMarker::None:
                break;
        }
        if (s.kind == WmPageKind::First && s.startTagStep) {
            PutWord(bytes, kStepAt, 0x0009);
            PutWord(bytes, kStepAt + 2, s.startTag);
        }

        // Tag 0 at the page's end, tag n four bytes per tag below it.
        PutWord(bytes, kTagZeroAt, TagZeroSize(s));
        PutWord(bytes, kTagZeroAt + 2, 0);
        for (size_t n = 1; n <= page.tags.size() && 4 * n <= kTagZeroAt; ++n) {
            PutWord(bytes, kTagZeroAt - 4 * n, page.tags[n - 1].size);
            PutWord(bytes, kTagZeroAt - 4 * n + 2, page.tags[n - 1].offset);
        }
        file.insert(file.end(), bytes.begin(), bytes.end());
    }
    for (const auto& [position, bytes] : patches_) {
        if (file.size() < position + bytes.size()) file.resize(position + bytes.size(), 0);
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(position));
    }
    if (fileSize_) file.resize(*fileSize_, 0);
    return file;
}

bool WmStoreWriter::WriteTo(Files& files, const std::string& path) const {
    const std::vector<uint8_t> bytes = Build();
    auto stream = files.Open(path, OpenMode::CreateAlways);
    if (!stream) return false;
    const bool written = bytes.empty() || stream->Write(bytes.data(), bytes.size());
    return stream->Close() && written;
}

}  // namespace bv::test
