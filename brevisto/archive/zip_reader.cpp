#include "brevisto/archive/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "brevisto/archive/zip_crypto.h"
#include "brevisto/archive/zip_format.h"
#include "brevisto/archive/zip_io.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

using namespace zip;

namespace {

// A handler that keeps offering new wrong passwords cannot hold an entry forever.
constexpr int kMaxPasswordTries = 16;
// Message points of a directory scan.
constexpr size_t kScanStep = 10240;

struct EndInfo {
    uint64_t count = 0;
    uint64_t cdOffset = 0;
    uint64_t cdSize = 0;
    uint64_t dirEnd = 0;  // where the central directory has to end (first end record)
    uint64_t commentOffset = 0;
    uint32_t commentLength = 0;
};

enum class EndResult { NotFound, Invalid, Ok };

// Looks for the end record in the last 65557 bytes, preferring one whose comment reaches
// exactly to the end of the file (a comment may itself hold the signature bytes).
EndResult FindEnd(FileStream& in, uint64_t size, EndInfo& out) {
    if (size < kEndSize) return EndResult::NotFound;
    const size_t span = static_cast<size_t>(std::min<uint64_t>(size, kEndSearchSpan));
    std::vector<uint8_t> buf(span);
    if (!ReadAt(in, size - span, buf.data(), span)) return EndResult::NotFound;
    long found = -1;
    for (int pass = 0; pass < 2 && found < 0; ++pass) {
        for (long i = static_cast<long>(span - kEndSize); i >= 0; --i) {
            if (Get32(&buf[i]) != kEndSig) continue;
            const uint64_t end = static_cast<uint64_t>(i) + kEndSize + Get16(&buf[i + 20]);
            if (pass == 0 ? end == span : end <= span) {
                found = i;
                break;
            }
        }
    }
    if (found < 0) return EndResult::NotFound;
    const uint8_t* e = &buf[found];
    const uint64_t endPos = size - span + static_cast<uint64_t>(found);
    const uint16_t disk = Get16(e + 4), cdDisk = Get16(e + 6);
    out.count = Get16(e + 10);
    out.cdSize = Get32(e + 12);
    out.cdOffset = Get32(e + 16);
    out.commentLength = Get16(e + 20);
    out.commentOffset = endPos + kEndSize;
    out.dirEnd = endPos;

    bool zip64 = false;
    if (endPos >= kZip64LocatorSize) {
        uint8_t loc[kZip64LocatorSize];
        if (ReadAt(in, endPos - kZip64LocatorSize, loc, sizeof loc) &&
            Get32(loc) == kZip64LocatorSig) {
            const uint64_t recordPos = Get64(loc + 8);
            const uint64_t locatorPos = endPos - kZip64LocatorSize;
            uint8_t rec[kZip64EndSize];
            if (recordPos > locatorPos || locatorPos - recordPos < kZip64EndSize ||
                !ReadAt(in, recordPos, rec, sizeof rec) || Get32(rec) != kZip64EndSig)
                return EndResult::Invalid;
            if (Get32(rec + 16) != 0 || Get32(rec + 20) != 0) return EndResult::Invalid;
            out.count = Get64(rec + 32);
            out.cdSize = Get64(rec + 40);
            out.cdOffset = Get64(rec + 48);
            out.dirEnd = recordPos;
            zip64 = true;
        }
    }
    if (!zip64) {
        // Without Zip64 records an all-ones offset or size is no value at all.
        if (out.cdSize == 0xFFFFFFFFu || out.cdOffset == 0xFFFFFFFFu) return EndResult::Invalid;
        if (disk != 0 || cdDisk != 0) return EndResult::Invalid;  // spanned archives are not read
    }
    if (out.cdOffset > out.dirEnd || out.cdSize > out.dirEnd - out.cdOffset)
        return EndResult::Invalid;
    if (out.count > out.cdSize / kCentralHeaderSize) return EndResult::Invalid;
    return EndResult::Ok;
}

void SplitStoredName(const TZipHeader& h, std::string& path, std::string& name) {
    std::string s = (h.flags & kFlagUtf8) ? Utf8ToAnsi(h.fileName) : h.fileName;
    std::replace(s.begin(), s.end(), '/', '\\');
    const size_t pos = s.rfind('\\');
    if (pos == std::string::npos) {
        path.clear();
        name = s;
    } else {
        path = s.substr(0, pos + 1);
        name = s.substr(pos + 1);
    }
}

struct InflateGuard {
    z_stream z{};
    bool active = false;
    ~InflateGuard() {
        if (active) inflateEnd(&z);
    }
};

// Deletes a temporary file unless it was handed on.
struct TempFileGuard {
    Files& files;
    std::string path;
    ~TempFileGuard() {
        if (!path.empty()) (void)files.DeleteFile(path);  // nothing to tell from a destructor
    }
};

bool IsDotsOnly(const std::string& component) {
    return component.find_first_not_of(". ") == std::string::npos &&
           component.find("..") != std::string::npos;
}

}  // namespace

namespace zip {

bool MatchesPattern(const std::string& pattern, const std::string& name) {
    const std::string p = AnsiLowerCase(pattern), n = AnsiLowerCase(name);
    size_t pi = 0, ni = 0, starP = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starN = ni;
        } else if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (starP != std::string::npos) {
            pi = starP;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

bool IsUnsafeStoredPath(const std::string& path) {
    if (path.empty()) return false;
    if (path[0] == '\\' || path[0] == '/') return true;  // starts at a root
    if (path.find(':') != std::string::npos) return true;  // a drive or a stream name
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        // Windows drops trailing dots and blanks, so ".. " and "..." name the parent too.
        if (IsDotsOnly(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace zip

TZipReader::TZipReader(Platform& platform) : p_(platform) {}

TZipReader::~TZipReader() = default;

void TZipReader::SetZipName(const std::string& path) {
    if (!SameText(path, zipName_)) {
        CloseArchive();
        DropDirectory();
        commentChanged_ = false;
        commentLoaded_ = false;
        comment_.clear();
    }
    zipName_ = path;
}

void TZipReader::SetDestDir(const std::string& dir) {
    destDir_ = (dir.size() > 1 && dir.back() == '\\') ? dir.substr(0, dir.size() - 1) : dir;
}

void TZipReader::SetRootDir(const std::string& dir) {
    rootDir_ = dir.empty() ? dir : IncludeTrailingBackslash(dir);
}

void TZipReader::SetKeepZipOpen(bool v) {
    keepZipOpen_ = v;
    if (!v && !busy_) CloseArchive();
}

const TZipReader::Entry& TZipReader::At(int index) const {
    if (index < 0 || index >= EntryCount()) throw EZipIndexOutOfRange(index);
    return entries_[static_cast<size_t>(index)];
}

TZipReader::Entry& TZipReader::At(int index) {
    if (index < 0 || index >= EntryCount()) throw EZipIndexOutOfRange(index);
    return entries_[static_cast<size_t>(index)];
}

std::string TZipReader::EntryName(int index) const { return At(index).name; }
std::string TZipReader::EntryPath(int index) const { return At(index).path; }
uint64_t TZipReader::EntrySize(int index) const { return At(index).header.uncompressedSize; }
bool TZipReader::EntryEncrypted(int index) const { return At(index).header.Encrypted(); }
uint32_t TZipReader::EntryDosDateTime(int index) const { return At(index).header.dosDateTime; }
int TZipReader::EntryTestState(int index) const { return At(index).testState; }
const TZipHeader& TZipReader::EntryHeader(int index) const { return At(index).header; }
void TZipReader::SetEntrySelected(int index, bool selected) { At(index).selected = selected; }
bool TZipReader::EntrySelected(int index) const { return At(index).selected; }

void TZipReader::ForgetTest(int index) { At(index).testState = 0; }

void TZipReader::CheckPoint() {
    if (doProcessMessages_) p_.pump.ProcessMessages();
    if (abortRequested_) throw EZipAborted();
}

void TZipReader::ReportTotal(Progress& progress, uint64_t moreBytes) {
    progress.done += moreBytes;
    int percent = 100;
    if (progress.total > 0)
        percent = static_cast<int>(std::min<uint64_t>(100, progress.done * 100 / progress.total));
    if (percent != progress.lastPercent) {
        progress.lastPercent = percent;
        if (OnTotalPercentDone) OnTotalPercentDone(*this, percent);
    }
}

void TZipReader::ReportFile(int& last, uint64_t done, uint64_t total) {
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<uint64_t>(100, done * 100 / total));
    if (percent != last) {
        last = percent;
        if (OnFilePercentDone) OnFilePercentDone(*this, percent);
    }
}

FileStream& TZipReader::OpenArchive() {
    if (!in_) {
        if (zipName_.empty()) throw EZipInvalid();
        // Another program may hold the archive open (a copy in progress, a virus scanner).
        in_ = p_.files.Open(zipName_, OpenMode::ReadShared);
        if (!in_) throw EZipInvalid();
    }
    return *in_;
}

void TZipReader::CloseArchive() {
    if (in_) {
        (void)in_->Close();  // read only: nothing can be lost
        in_.reset();
    }
}

void TZipReader::CloseUnlessKept() {
    if (!keepZipOpen_) CloseArchive();
}

void TZipReader::DropDirectory() {
    entries_.clear();
    loaded_ = false;
    archiveSize_ = 0;
    commentOffset_ = 0;
    commentLength_ = 0;
    if (!commentChanged_) {
        comment_.clear();
        commentLoaded_ = false;
    }
}

void TZipReader::ClearDirectory() {
    CloseArchive();
    DropDirectory();
    commentChanged_ = false;
    commentLoaded_ = false;
    comment_.clear();
}

bool TZipReader::DirectoryIsCurrent() {
    if (!loaded_) return false;
    uint64_t size = 0;
    FileTime time = 0;
    return StatFile(p_.files, zipName_, size, time) && time == loadedTime_ && size == loadedSize_;
}

void TZipReader::ReadDirectory() {
    BusyScope busy(*this);
    abortRequested_ = false;
    ReadDirectoryInternal();
}

void TZipReader::ReadDirectoryInternal() {
    if (zipName_.empty()) throw EZipInvalid();
    if (DirectoryIsCurrent()) {
        CloseUnlessKept();
        return;
    }
    // The file may have been replaced: read it through a fresh handle.
    CloseArchive();
    DropDirectory();
    struct CloseOnFailure {
        TZipReader& r;
        bool done = false;
        ~CloseOnFailure() {
            if (!done) {
                r.CloseArchive();
                r.DropDirectory();
            }
        }
    } guard{*this};

    FileStream& in = OpenArchive();
    const uint64_t size = in.Size();
    archiveSize_ = size;

    EndInfo end;
    const EndResult found = FindEnd(in, size, end);
    bool ok = false;
    if (found == EndResult::Ok) {
        commentOffset_ = end.commentOffset;
        commentLength_ = end.commentLength;
        ok = ReadCentralDirectory(in, end.cdOffset, end.cdSize, end.count, end.dirEnd);
    }
    if (!ok) {
        // A damaged directory is rebuilt from the local headers, once, when the owner says
        // that an archive without a readable directory is a damaged one.
        entries_.clear();
        commentOffset_ = 0;
        commentLength_ = 0;
        if (incompleteMode_ != TIncompleteZipMode::izAssumeBad || !RescanLocalHeaders(in, size))
            throw EZipInvalid();
    }
    uint64_t statSize = 0;
    FileTime statTime = 0;
    if (StatFile(p_.files, zipName_, statSize, statTime)) {
        loadedTime_ = statTime;
        loadedSize_ = statSize;
    } else {
        loadedTime_ = 0;
        loadedSize_ = size;
    }
    loaded_ = true;
    guard.done = true;
    CloseUnlessKept();
}

bool TZipReader::ReadCentralDirectory(FileStream& in, uint64_t cdOffset, uint64_t cdSize,
                                      uint64_t count, uint64_t dirEnd) {
    BufferedIn r(in);
    uint8_t fixed[kCentralHeaderSize];
    // An archive with data in front of it (a self-extractor stub, a concatenation) has all
    // offsets short by the length of that data; the directory itself shows by how much.
    uint64_t shift = 0;
    if (count > 0) {
        if (!r.Seek(cdOffset) || !r.Read(fixed, 4)) return false;
        if (Get32(fixed) != kCentralHeaderSig) {
            const uint64_t real = dirEnd - cdSize;
            if (real <= cdOffset || !r.Seek(real) || !r.Read(fixed, 4) ||
                Get32(fixed) != kCentralHeaderSig)
                return false;
            shift = real - cdOffset;
            cdOffset = real;
        }
    }
    entries_.clear();
    entries_.reserve(static_cast<size_t>(std::min<uint64_t>(count, cdSize / kCentralHeaderSize)));
    const uint64_t cdEnd = cdOffset + cdSize;
    uint64_t pos = cdOffset;
    std::string name, extra, comment;
    for (uint64_t k = 0; k < count; ++k) {
        CheckPoint();
        if (cdEnd - pos < kCentralHeaderSize) return false;
        if (!r.Seek(pos) || !r.Read(fixed, sizeof fixed) || Get32(fixed) != kCentralHeaderSig)
            return false;
        const size_t n = Get16(fixed + 28), m = Get16(fixed + 30), c = Get16(fixed + 32);
        if (cdEnd - pos - kCentralHeaderSize < static_cast<uint64_t>(n) + m + c) return false;
        name.resize(n);
        extra.resize(m);
        comment.resize(c);
        if ((n && !r.Read(&name[0], n)) || (m && !r.Read(&extra[0], m)) ||
            (c && !r.Read(&comment[0], c)))
            return false;
        Entry e;
        TZipHeader& h = e.header;
        h.versionMadeBy = Get16(fixed + 4);
        h.versionNeeded = Get16(fixed + 6);
        h.flags = Get16(fixed + 8);
        h.method = Get16(fixed + 10);
        h.dosDateTime = static_cast<uint32_t>(Get16(fixed + 14)) << 16 | Get16(fixed + 12);
        h.crc32 = Get32(fixed + 16);
        h.compressedSize = Get32(fixed + 20);
        h.uncompressedSize = Get32(fixed + 24);
        const uint16_t disk = Get16(fixed + 34);
        h.internalAttributes = Get16(fixed + 36);
        h.externalAttributes = Get32(fixed + 38);
        h.localHeaderOffset = Get32(fixed + 42);
        Zip64Wanted want;
        want.uncompressed = h.uncompressedSize == 0xFFFFFFFFu;
        want.compressed = h.compressedSize == 0xFFFFFFFFu;
        want.offset = h.localHeaderOffset == 0xFFFFFFFFu;
        want.disk = disk == 0xFFFF;
        Zip64Values v;
        if (!ReadZip64Extra(reinterpret_cast<const uint8_t*>(extra.data()), extra.size(), want, v))
            return false;
        if (want.uncompressed) h.uncompressedSize = v.uncompressed;
        if (want.compressed) h.compressedSize = v.compressed;
        if (want.offset) h.localHeaderOffset = v.offset;
        if ((want.disk ? v.disk : disk) != 0) return false;
        h.localHeaderOffset += shift;
        // Entry data lie before the directory.
        if (h.localHeaderOffset >= cdOffset ||
            cdOffset - h.localHeaderOffset < kLocalHeaderSize + n ||
            h.compressedSize > cdOffset - h.localHeaderOffset)
            return false;
        h.fileName = name;
        h.extraField = StripZip64Extra(extra);
        h.fileComment = comment;
        SplitStoredName(h, e.path, e.name);
        entries_.push_back(std::move(e));
        pos += kCentralHeaderSize + n + m + c;
    }
    return true;
}

bool TZipReader::RescanLocalHeaders(FileStream& in, uint64_t size) {
    entries_.clear();
    std::vector<uint8_t> chunk(kScanStep + 3);
    const uint8_t sig[4] = {'P', 'K', 3, 4};
    const uint8_t descSig[4] = {'P', 'K', 7, 8};

    // Next position at or after `from` where `pattern` starts; `size` when there is none.
    auto findNext = [&](uint64_t from, const uint8_t* pattern) -> uint64_t {
        while (from + 4 <= size) {
            CheckPoint();
            const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - from));
            if (!ReadAt(in, from, chunk.data(), want)) return size;
            for (size_t i = 0; i + 4 <= want; ++i)
                if (std::memcmp(&chunk[i], pattern, 4) == 0) return from + i;
            if (want < 4) break;
            from += want - 3;
        }
        return size;
    };

    uint64_t pos = 0;
    while (pos + kLocalHeaderSize <= size) {
        const uint64_t at = findNext(pos, sig);
        if (at + kLocalHeaderSize > size) break;
        pos = at + 1;  // unless the header proves readable
        uint8_t fixed[kLocalHeaderSize];
        if (!ReadAt(in, at, fixed, sizeof fixed)) break;
        const size_t n = Get16(fixed + 26), m = Get16(fixed + 28);
        if (n == 0 || size - at - kLocalHeaderSize < static_cast<uint64_t>(n) + m) continue;
        std::string name(n, '\0'), extra(m, '\0');
        if (!ReadExact(in, &name[0], n) || (m && !ReadExact(in, &extra[0], m))) continue;
        Entry e;
        TZipHeader& h = e.header;
        h.versionMadeBy = kVersionDefault;
        h.versionNeeded = Get16(fixed + 4);
        h.flags = Get16(fixed + 6);
        h.method = Get16(fixed + 8);
        h.dosDateTime = static_cast<uint32_t>(Get16(fixed + 12)) << 16 | Get16(fixed + 10);
        h.crc32 = Get32(fixed + 14);
        h.compressedSize = Get32(fixed + 18);
        h.uncompressedSize = Get32(fixed + 22);
        h.localHeaderOffset = at;
        Zip64Wanted want;
        want.uncompressed = h.uncompressedSize == 0xFFFFFFFFu;
        want.compressed = h.compressedSize == 0xFFFFFFFFu;
        Zip64Values v;
        const bool zip64 = want.uncompressed || want.compressed;
        if (zip64) {
            // The local Zip64 field always carries both sizes.
            want.uncompressed = want.compressed = true;
            if (!ReadZip64Extra(reinterpret_cast<const uint8_t*>(extra.data()), extra.size(),
                                want, v))
                continue;
            h.uncompressedSize = v.uncompressed;
            h.compressedSize = v.compressed;
        }
        const uint64_t data = at + kLocalHeaderSize + n + m;
        uint64_t next = 0;
        if (h.flags & kFlagDescriptor) {
            // Sizes and CRC follow the data: find the descriptor whose compressed size is
            // the distance from the data to it.
            uint64_t d = data;
            bool found = false;
            while (!found) {
                d = findNext(d, descSig);
                if (d >= size) break;
                uint8_t desc[24];
                const size_t have = static_cast<size_t>(std::min<uint64_t>(24, size - d));
                if (have >= 16 && ReadAt(in, d, desc, have)) {
                    const uint64_t dist = d - data;
                    if (Get32(desc + 8) == dist && have >= 16) {
                        h.crc32 = Get32(desc + 4);
                        h.compressedSize = dist;
                        h.uncompressedSize = Get32(desc + 12);
                        next = d + 16;
                        found = true;
                    } else if (have >= 24 && Get64(desc + 8) == dist) {
                        h.crc32 = Get32(desc + 4);
                        h.compressedSize = dist;
                        h.uncompressedSize = Get64(desc + 16);
                        next = d + 24;
                        found = true;
                    }
                }
                ++d;
            }
            if (!found) continue;
        } else {
            if (h.compressedSize > size - data) continue;  // truncated entry
            next = data + h.compressedSize;
        }
        h.fileName = name;
        h.extraField = StripZip64Extra(extra);
        SplitStoredName(h, e.path, e.name);
        if (e.name.empty()) h.externalAttributes = FileAttr::Directory;
        entries_.push_back(std::move(e));
        pos = next;
    }
    return !entries_.empty();
}

uint64_t TZipReader::LocalDataOffset(FileStream& in, const TZipHeader& h) {
    uint8_t fixed[kLocalHeaderSize];
    if (!ReadAt(in, h.localHeaderOffset, fixed, sizeof fixed) || Get32(fixed) != kLocalHeaderSig)
        return 0;
    const uint64_t data = h.localHeaderOffset + kLocalHeaderSize + Get16(fixed + 26) +
                          Get16(fixed + 28);
    const uint64_t size = in.Size();
    if (data > size || h.compressedSize > size - data) return 0;
    return data;
}

TZipReader::DecodeResult TZipReader::DecodeEntry(int index, const std::string& password,
                                                 FileStream* out, Progress* progress) {
    const TZipHeader h = At(index).header;
    if ((h.method != kMethodStored && h.method != kMethodDeflate) ||
        (h.flags & kFlagStrongEncryption))
        throw EZipUnknownMethod();
    FileStream& in = OpenArchive();
    const uint64_t data = LocalDataOffset(in, h);
    if (data == 0) return DecodeResult::BadData;
    uint64_t left = h.compressedSize;
    std::unique_ptr<TZipCrypto> crypto;
    if (h.Encrypted()) {
        if (left < kEncryptionHeaderSize) return DecodeResult::BadData;
        uint8_t head[kEncryptionHeaderSize];
        if (!ReadAt(in, data, head, sizeof head)) return DecodeResult::BadData;
        crypto = std::make_unique<TZipCrypto>(password);
        crypto->Decrypt(head, sizeof head);
        // Writers that put sizes and CRC after the data check against the time instead.
        const uint8_t check = (h.flags & kFlagDescriptor)
                                  ? static_cast<uint8_t>(h.dosDateTime >> 8)
                                  : static_cast<uint8_t>(h.crc32 >> 24);
        if (head[kEncryptionHeaderSize - 1] != check) return DecodeResult::BadPassword;
        left -= kEncryptionHeaderSize;
    } else if (!in.Seek(data)) {
        return DecodeResult::BadData;
    }
    if (h.method == kMethodStored && left != h.uncompressedSize) return DecodeResult::BadData;

    InflateGuard inflater;
    if (h.method == kMethodDeflate) {
        if (inflateInit2(&inflater.z, -MAX_WBITS) != Z_OK) return DecodeResult::BadData;
        inflater.active = true;
    }
    if (decodeIn_.size() != kBufferSize) decodeIn_.resize(kBufferSize);
    if (h.method == kMethodDeflate && decodeOut_.size() != kBufferSize)
        decodeOut_.resize(kBufferSize);
    std::vector<uint8_t>& inBuf = decodeIn_;
    std::vector<uint8_t>& outBuf = decodeOut_;
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t produced = 0;
    int filePercent = -1;
    bool streamEnd = h.method == kMethodStored;

    auto emit = [&](const uint8_t* bytes, size_t count) -> DecodeResult {
        if (count > h.uncompressedSize - produced) return DecodeResult::BadData;  // too long
        produced += count;
        crc = crc32(crc, bytes, static_cast<uInt>(count));
        if (out && count && !out->Write(bytes, count)) return DecodeResult::WriteFailed;
        return DecodeResult::Ok;
    };

    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, inBuf.size()));
        if (!ReadExact(in, inBuf.data(), want)) return DecodeResult::BadData;
        left -= want;
        if (crypto) crypto->Decrypt(inBuf.data(), want);
        if (h.method == kMethodStored) {
            const DecodeResult r = emit(inBuf.data(), want);
            if (r != DecodeResult::Ok) return r;
        } else {
            if (streamEnd) break;  // data after the end of the deflate stream are ignored
            inflater.z.next_in = inBuf.data();
            inflater.z.avail_in = static_cast<uInt>(want);
            while (inflater.z.avail_in > 0 && !streamEnd) {
                inflater.z.next_out = outBuf.data();
                inflater.z.avail_out = static_cast<uInt>(outBuf.size());
                const int zr = inflate(&inflater.z, Z_NO_FLUSH);
                if (zr == Z_STREAM_END) {
                    streamEnd = true;
                } else if (zr != Z_OK && zr != Z_BUF_ERROR) {
                    return DecodeResult::BadData;
                }
                const size_t got = outBuf.size() - inflater.z.avail_out;
                const DecodeResult r = emit(outBuf.data(), got);
                if (r != DecodeResult::Ok) return r;
                if (zr == Z_BUF_ERROR && got == 0) break;
            }
        }
        if (progress) ReportTotal(*progress, want);
        ReportFile(filePercent, h.compressedSize - left, h.compressedSize);
        if (left > 0) CheckPoint();
    }
    // The last output may still sit in the inflater when its input ended exactly.
    while (h.method == kMethodDeflate && !streamEnd) {
        inflater.z.next_in = nullptr;
        inflater.z.avail_in = 0;
        inflater.z.next_out = outBuf.data();
        inflater.z.avail_out = static_cast<uInt>(outBuf.size());
        const int zr = inflate(&inflater.z, Z_NO_FLUSH);
        const size_t got = outBuf.size() - inflater.z.avail_out;
        const DecodeResult r = emit(outBuf.data(), got);
        if (r != DecodeResult::Ok) return r;
        if (zr == Z_STREAM_END) streamEnd = true;
        else if (got == 0) break;
    }
    if (h.compressedSize == 0 && h.method == kMethodDeflate && h.uncompressedSize == 0)
        streamEnd = true;  // an empty entry some writers store without any deflate block
    if (!streamEnd) return DecodeResult::BadData;
    ReportFile(filePercent, h.compressedSize, h.compressedSize);
    if (produced != h.uncompressedSize || static_cast<uint32_t>(crc) != h.crc32)
        return DecodeResult::BadData;
    return DecodeResult::Ok;
}

TZipReader::DecodeResult TZipReader::DecodeWithRetries(
    int index, FileStream* out, Progress* progress, const std::function<void()>& restartOutput,
    int offersMade) {
    const bool encrypted = At(index).header.Encrypted();
    for (int attempt = offersMade;; ++attempt) {
        const std::string tried = password_;
        const DecodeResult r = DecodeEntry(index, tried, out, progress);
        if (r == DecodeResult::Ok || r == DecodeResult::WriteFailed || !encrypted) return r;
        // A wrong password, or data that do not match their CRC after decryption: the owner
        // may offer another password; the same one again ends the attempts.
        if (!OnBadPassword || attempt + 1 >= kMaxPasswordTries) return r;
        std::string offered = tried;
        OnBadPassword(*this, index, offered);
        if (offered == tried) return r;
        password_ = offered;
        if (restartOutput) restartOutput();
    }
}

bool TZipReader::HasComment() { return !Comment().empty(); }

std::string TZipReader::Comment() {
    if (commentChanged_) return comment_;
    if (!loaded_ && !zipName_.empty()) {
        try {
            BusyScope busy(*this);
            ReadDirectoryInternal();
        } catch (const EZipError&) {
            return std::string();
        }
    }
    LoadComment();
    return comment_;
}

std::string TZipReader::ReadComment() {
    if (commentChanged_) return comment_;
    ReadDirectory();
    LoadComment();
    if (!commentLoaded_) throw EZipInvalid();
    return comment_;
}

void TZipReader::LoadComment() {
    if (commentLoaded_ || commentChanged_ || !loaded_) return;
    comment_.clear();
    // A comment that could not be read is tried again next time, never taken as none.
    bool read = true;
    if (commentLength_ > 0) {
        try {
            FileStream& in = OpenArchive();
            std::string text(commentLength_, '\0');
            read = ReadAt(in, commentOffset_, &text[0], text.size());
            if (read) comment_ = text;
        } catch (const EZipError&) {
            read = false;
        }
        CloseUnlessKept();
    }
    commentLoaded_ = read;
}

void TZipReader::SetComment(const std::string& text) {
    const std::string value = text.size() > kMaxComment ? text.substr(0, kMaxComment) : text;
    if (value == Comment()) return;
    comment_ = value;
    commentChanged_ = true;
}

uint64_t TZipReader::ArchiveFileSize() {
    uint64_t size = 0;
    FileTime time = 0;
    if (zipName_.empty() || !StatFile(p_.files, zipName_, size, time)) return 0;
    return size;
}

std::string TZipReader::TargetPathOf(const Entry& e, bool& safe) const {
    safe = !IsUnsafeStoredPath(e.path + e.name);
    std::string dest = destDir_.empty() ? ExcludeTrailingBackslash(p_.files.CurrentDirectory())
                                        : destDir_;
    std::string dir;
    if (recreateDirs_ && !e.path.empty()) {
        dir = e.path;
        if (!rootDir_.empty() && dir.size() >= rootDir_.size() &&
            SameText(dir.substr(0, rootDir_.size()), rootDir_))
            dir = dir.substr(rootDir_.size());
    }
    // What remains below the target folder must be plain names: no empty, "." or ".."
    // components, so the path cannot leave the folder.
    std::string rest = dir + e.name;
    size_t start = 0;
    while (safe && start < rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        if ((part.empty() && end != rest.size()) || part == "." || IsDotsOnly(part)) safe = false;
        start = end + 1;
    }
    return IncludeTrailingBackslash(dest) + rest;
}

int TZipReader::ExtractMatching() { return Extract(false); }
int TZipReader::ExtractSelected() { return Extract(true); }

int TZipReader::Extract(bool selectedOnly) {
    BusyScope busy(*this);
    abortRequested_ = false;
    std::vector<std::string> patterns;
    patterns.swap(filesList_);
    RunEnd finish(*this);

    ReadDirectoryInternal();
    const std::string dest = destDir_.empty() ? p_.files.CurrentDirectory() : destDir_;
    if (!DirectoryExists(p_.files, dest)) ForceDirectories(p_.files, dest);

    std::vector<int> chosen;
    Progress progress;
    for (int i = 0; i < EntryCount(); ++i) {
        Entry& e = entries_[static_cast<size_t>(i)];
        bool take;
        if (selectedOnly) {
            take = e.selected;
            e.selected = false;
        } else if (doAll_) {
            take = true;
        } else {
            const std::string stored = e.path + e.name;
            take = std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
                return MatchesPattern(p, stored);
            });
        }
        if (e.name.empty() && !recreateDirs_) take = false;
        if (take) {
            chosen.push_back(i);
            progress.total += e.header.compressedSize;
        }
    }
    int count = 0;
    for (int i : chosen) {
        CheckPoint();
        if (ExtractOne(i, progress)) ++count;
    }
    return count;
}

bool TZipReader::ExtractOne(int index, Progress& progress) {
    Entry& e = entries_[static_cast<size_t>(index)];
    bool safe = false;
    std::string target = TargetPathOf(e, safe);
    if (!safe) {
        progress.done += e.header.compressedSize;
        return false;  // a stored path that would leave the target folder
    }
    if (e.name.empty()) {
        ForceDirectories(p_.files, target);
        return false;  // folders are made, not counted
    }
    bool skip = false;
    if (OnStartUnZip) OnStartUnZip(*this, index, target, skip);
    if (skip || target.empty()) {
        progress.done += e.header.compressedSize;
        return false;
    }
    const uint32_t existing = p_.files.GetAttributes(target);
    if (existing != FileAttr::Invalid) {
        if (existing & FileAttr::Directory) return false;
        bool overwrite = overwriteMode_ == TOverwriteMode::Always;
        if (overwriteMode_ == TOverwriteMode::Prompt && OnPromptForOverwrite)
            OnPromptForOverwrite(*this, index, target, overwrite);
        if (!overwrite) return false;
        if (existing & FileAttr::ReadOnly) return false;  // cannot be replaced
    }
    const std::string folder = ExtractFilePath(target);
    if (!folder.empty() && !DirectoryExists(p_.files, folder)) ForceDirectories(p_.files, folder);

    // The password is settled before anything is written.
    int offersMade = 0;
    if (e.header.Encrypted()) {
        const std::string before = password_;
        DecodeResult check = DecodeResult::BadPassword;
        int attempt = 0;
        FileStream& in = OpenArchive();
        const uint64_t data = LocalDataOffset(in, e.header);
        if (data == 0 || e.header.compressedSize < kEncryptionHeaderSize) return false;
        for (; attempt < kMaxPasswordTries; ++attempt) {
            uint8_t head[kEncryptionHeaderSize];
            if (!ReadAt(in, data, head, sizeof head)) return false;
            TZipCrypto crypto(password_);
            crypto.Decrypt(head, sizeof head);
            const uint8_t want = (e.header.flags & kFlagDescriptor)
                                     ? static_cast<uint8_t>(e.header.dosDateTime >> 8)
                                     : static_cast<uint8_t>(e.header.crc32 >> 24);
            if (head[kEncryptionHeaderSize - 1] == want) {
                check = DecodeResult::Ok;
                break;
            }
            if (!OnBadPassword) break;
            std::string offered = password_;
            OnBadPassword(*this, index, offered);
            if (offered == password_) break;
            password_ = offered;
        }
        if (check != DecodeResult::Ok) {
            progress.done += e.header.compressedSize;
            return false;
        }
        // A wrong password passes the one-byte check now and then: the offers made so far
        // count against the same bound.
        offersMade = attempt;
    }

    // Decompress beside the target; the target is replaced only by a complete, checked file.
    TempFileGuard temp{p_.files, std::string()};
    std::unique_ptr<FileStream> out =
        CreateUniqueFile(p_.files, p_.system, folder.empty() ? std::string() : folder, "~bx",
                         temp.path);
    if (!out) return false;
    FileStream* raw = out.get();
    // A retry starts the output afresh; output that cannot be emptied would keep old bytes.
    bool rewound = true;
    const DecodeResult r = DecodeWithRetries(index, raw, &progress, [raw, &rewound] {
        rewound = raw->Seek(0) && raw->Truncate() && rewound;
    }, offersMade);
    const bool closed = out->Close();
    out.reset();
    if (r != DecodeResult::Ok || !closed || !rewound) return false;
    FileTime when = 0;
    // The time and the attributes are details: the content is what counts.
    if (DosToFileTime(p_.system, e.header.dosDateTime, when))
        (void)p_.files.SetTimes(temp.path, nullptr, &when);
    if (!p_.files.MoveFile(temp.path, target, true)) return false;
    temp.path.clear();
    const uint32_t attrs = e.header.externalAttributes &
                           (FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System |
                            FileAttr::Archive);
    (void)p_.files.SetAttributes(target, attrs ? attrs : FileAttr::Normal);
    if (OnEndUnZip) OnEndUnZip(*this, index, target);
    return true;
}

bool TZipReader::TestOne(int index, Progress* progress) {
    Entry& e = entries_[static_cast<size_t>(index)];
    if (e.testState == 1) return true;
    if (e.testState == 2) return false;
    e.testState = 2;
    if (DecodeWithRetries(index, nullptr, progress, nullptr) != DecodeResult::Ok) return false;
    entries_[static_cast<size_t>(index)].testState = 1;
    return true;
}

bool TZipReader::TestEntry(int index) {
    BusyScope busy(*this);
    abortRequested_ = false;
    RunEnd finish(*this);
    if (!zipName_.empty()) ReadDirectoryInternal();
    // The run is this one entry: its bytes are the whole of OnTotalPercentDone.
    Progress progress;
    progress.total = At(index).header.compressedSize;
    const bool known = At(index).testState != 0;
    const bool good = TestOne(index, &progress);
    if (known) ReportTotal(progress, progress.total);
    return good;
}

bool TZipReader::TestArchive() {
    BusyScope busy(*this);
    abortRequested_ = false;
    RunEnd finish(*this);
    ReadDirectoryInternal();
    Progress progress;
    for (const Entry& e : entries_) progress.total += e.header.compressedSize;
    int good = 0;
    for (int i = 0; i < EntryCount(); ++i) {
        CheckPoint();
        const bool known = entries_[static_cast<size_t>(i)].testState != 0;
        if (TestOne(i, &progress)) ++good;
        if (known) ReportTotal(progress, entries_[static_cast<size_t>(i)].header.compressedSize);
    }
    ReportTotal(progress, 0);
    return good >= EntryCount();
}

}  // namespace bv
