#include "brevisto/archive/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "brevisto/archive/zip_crypto.h"
#include "brevisto/archive/zip_format.h"
#include "brevisto/archive/zip_io.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

using namespace zip;

namespace {

// The new archive cannot be written (or put in place): the run adds nothing.
struct WriteFailure {};
// A source file could not be read to its end, or changed while it was read.
struct SourceReadFailure {};

struct DeflateGuard {
    z_stream z{};
    bool active = false;
    ~DeflateGuard() {
        if (active) deflateEnd(&z);
    }
};

bool HasWildcards(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// The name as old and new entries are compared: without regard to case, "\" separators.
std::string NameKey(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return AnsiUpperCase(name);
}

void SortByName(std::vector<FindEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const FindEntry& a, const FindEntry& b) {
        return AnsiCompareText(a.name, b.name) < 0;
    });
}

// Reads up to `count` bytes, fewer only at the end of the file.
size_t ReadFull(FileStream& in, uint8_t* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        const size_t n = in.Read(buffer + got, count - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

Bytes LocalHeader(const TZipHeader& h, bool zip64) {
    Bytes b;
    b.reserve(kLocalHeaderSize + h.fileName.size() + 20);
    Append32(b, kLocalHeaderSig);
    Append16(b, h.versionNeeded);
    Append16(b, h.flags);
    Append16(b, h.method);
    Append16(b, h.dosDateTime & 0xFFFF);
    Append16(b, h.dosDateTime >> 16);
    Append32(b, h.crc32);
    Append32(b, zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(h.compressedSize));
    Append32(b, zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(h.uncompressedSize));
    std::string extra;
    if (zip64) {
        Zip64Wanted both;
        both.uncompressed = both.compressed = true;
        Zip64Values v;
        v.uncompressed = h.uncompressedSize;
        v.compressed = h.compressedSize;
        extra = MakeZip64Extra(both, v);
    }
    Append16(b, static_cast<uint32_t>(h.fileName.size()));
    Append16(b, static_cast<uint32_t>(extra.size()));
    AppendText(b, h.fileName);
    AppendText(b, extra);
    return b;
}

void AppendCentralHeader(Bytes& b, const TZipHeader& h) {
    Zip64Wanted want;
    // An entry written with Zip64 sizes in its local header keeps them in the directory.
    const bool sizes64 = h.versionNeeded >= kVersionZip64;
    want.uncompressed = sizes64 || Overflows32(h.uncompressedSize);
    want.compressed = sizes64 || Overflows32(h.compressedSize);
    want.offset = Overflows32(h.localHeaderOffset);
    Zip64Values v;
    v.uncompressed = h.uncompressedSize;
    v.compressed = h.compressedSize;
    v.offset = h.localHeaderOffset;
    std::string extra = MakeZip64Extra(want, v) + h.extraField;
    if (extra.size() > 0xFFFF) extra = MakeZip64Extra(want, v);
    const bool any64 = want.uncompressed || want.compressed || want.offset;
    Append32(b, kCentralHeaderSig);
    uint16_t madeBy = h.versionMadeBy;
    uint16_t needed = h.versionNeeded;
    if (any64) {
        if ((madeBy & 0xFF) < kVersionZip64) madeBy = (madeBy & 0xFF00) | kVersionZip64;
        if (needed < kVersionZip64) needed = kVersionZip64;
    }
    Append16(b, madeBy);
    Append16(b, needed);
    Append16(b, h.flags);
    Append16(b, h.method);
    Append16(b, h.dosDateTime & 0xFFFF);
    Append16(b, h.dosDateTime >> 16);
    Append32(b, h.crc32);
    Append32(b, want.compressed ? 0xFFFFFFFFu : static_cast<uint32_t>(h.compressedSize));
    Append32(b, want.uncompressed ? 0xFFFFFFFFu : static_cast<uint32_t>(h.uncompressedSize));
    Append16(b, static_cast<uint32_t>(h.fileName.size()));
    Append16(b, static_cast<uint32_t>(extra.size()));
    Append16(b, static_cast<uint32_t>(h.fileComment.size()));
    Append16(b, 0);  // disk
    Append16(b, h.internalAttributes);
    Append32(b, h.externalAttributes);
    Append32(b, want.offset ? 0xFFFFFFFFu : static_cast<uint32_t>(h.localHeaderOffset));
    AppendText(b, h.fileName);
    AppendText(b, extra);
    AppendText(b, h.fileComment);
}

}  // namespace

struct TZipWriter::Candidate {
    std::string path;    // full path of the file (a folder ends with "\")
    std::string stored;  // stored name, "/" separators (a folder ends with "/")
    bool isDirectory = false;
    uint64_t size = 0;
    FileTime lastWrite = 0;
    uint32_t attributes = 0;
    uint32_t dos = 0;
    int replaces = -1;     // old entry that this file replaces when it is added
    bool dropped = false;  // an old entry of the name is at least as new

    // A file or folder of `folder` as the search found it.
    static Candidate Found(const std::string& folder, const FindEntry& e) {
        Candidate c;
        c.isDirectory = e.IsDirectory();
        c.path = folder + e.name + (c.isDirectory ? "\\" : "");
        if (!c.isDirectory) c.size = e.size;
        c.lastWrite = e.lastWriteTime;
        c.attributes = e.attributes;
        return c;
    }
};

// The archive being written: a temporary file beside the target, its position and the
// number of bytes written.
class TZipWriter::Output {
public:
    Output(std::unique_ptr<FileStream> stream, uint64_t& counter)
        : s_(std::move(stream)), counter_(counter) {}
    void Write(const void* data, size_t count) {
        if (count == 0) return;
        if (!s_->Write(data, count)) throw WriteFailure();
        pos_ += count;
        counter_ += count;
    }
    void Write(const Bytes& b) { Write(b.data(), b.size()); }
    void Seek(uint64_t position) {
        if (!s_->Seek(position)) throw WriteFailure();
        pos_ = position;
    }
    uint64_t Position() const { return pos_; }
    void Finish() {
        // On the disk before it replaces the old archive: a power loss after the rename must
        // not leave an archive whose data never reached the disk.
        if (!s_->Truncate() || !s_->Flush()) throw WriteFailure();
        const bool ok = s_->Close();
        s_.reset();
        if (!ok) throw WriteFailure();
    }
    void Abandon() {
        if (s_) (void)s_->Close();  // the file is deleted next
        s_.reset();
    }

private:
    std::unique_ptr<FileStream> s_;
    uint64_t& counter_;
    uint64_t pos_ = 0;
};

struct TZipWriter::Run {
    enum State { Keep, PendingReplace, Replaced, Copied, Lost };
    std::unique_ptr<Output> out;
    std::string tempPath;
    std::vector<State> oldState;
    std::vector<TZipHeader> oldFinal;  // the header to list for each old entry
    std::vector<TZipHeader> appended;  // files new to the archive, in the order added
    std::set<std::string> usedNames;
    Progress progress;
    int added = 0;
    std::vector<uint8_t> inBuf;
    std::vector<uint8_t> outBuf;
    struct Reset {
        std::string path;
        FileTime lastWrite;
    };
    std::vector<Reset> resets;  // archive attributes to clear once the archive is in place
    Files* files = nullptr;

    ~Run() {
        if (out) out->Abandon();
        if (!tempPath.empty() && files) (void)files->DeleteFile(tempPath);  // nothing to tell from here
    }
};

TZipWriter::TZipWriter(Platform& platform) : TZipReader(platform) {}

TZipWriter::~TZipWriter() = default;

void TZipWriter::SetStorePaths(bool v) {
    storePaths_ = v;
    if (!v) relativePaths_ = false;
}

void TZipWriter::SetRelativePaths(bool v) {
    relativePaths_ = v;
    if (v) {
        storePaths_ = true;
        recurse_ = true;
    }
}

bool TZipWriter::IsOwnFile(const std::string& path) const {
    if (SameText(path, ZipName())) return true;
    if (!currentTemp_.empty() && SameText(path, currentTemp_)) return true;
    if (ExtractFilePath(ZipName()).empty())
        return SameText(path, IncludeTrailingBackslash(p_.files.CurrentDirectory()) + ZipName());
    return false;
}

std::string TZipWriter::StoredNameOf(const std::string& fullPath, bool isDirectory) {
    std::string folder = ExtractFilePath(fullPath);
    std::string name = ExtractFileName(fullPath);
    std::string stored;
    if (storePaths_) {
        std::string dir;
        if (relativePaths_ && !RootDir().empty() && folder.size() >= RootDir().size() &&
            SameText(folder.substr(0, RootDir().size()), RootDir())) {
            dir = folder.substr(RootDir().size());
        } else {
            dir = folder.substr(ExtractFileDrive(folder).size());
            dir.erase(0, dir.find_first_not_of('\\'));
        }
        stored = dir + name;
    } else if (isDirectory) {
        // A folder alone: its last name.
        std::string f = ExcludeTrailingBackslash(folder);
        stored = ExtractFileName(f) + "\\";
    } else {
        stored = name;
    }
    // Names pass through the OEM code page, so they hold only what a DOS name can hold.
    stored = p_.system.OemToAnsi(p_.system.AnsiToOem(stored));
    std::replace(stored.begin(), stored.end(), '\\', '/');
    return stored;
}

void TZipWriter::ExpandFolder(const std::string& folder, const std::string& pattern,
                              bool recurse, std::vector<Candidate>& out) {
    CheckPoint();
    std::vector<FindEntry> found = p_.files.Find(folder + pattern);
    SortByName(found);
    for (const FindEntry& e : found) {
        if (e.IsDirectory()) continue;
        out.push_back(Candidate::Found(folder, e));
    }
    if (!recurse) return;
    std::vector<FindEntry> all = p_.files.Find(folder + "*");
    SortByName(all);
    for (const FindEntry& e : all) {
        if (!e.IsDirectory() || e.IsLink()) continue;  // junctions are never followed
        const std::string sub = folder + e.name + "\\";
        if (addDirEntries_) out.push_back(Candidate::Found(folder, e));
        ExpandFolder(sub, pattern, true, out);
    }
}

std::vector<TZipWriter::Candidate> TZipWriter::ExpandFilesList(
    const std::vector<std::string>& items) {
    std::vector<Candidate> raw;
    for (std::string item : items) {
        if (item.empty()) continue;
        std::string name = ExtractFileName(item);
        std::string folder = ExtractFilePath(item);
        if (name == "*.*") name = "*";
        // Names without a folder of their own are taken in RootDir.
        if (!IsAbsolutePath(folder) && (folder.empty() || folder[0] != '\\'))
            folder = RootDir() + folder;
        if (HasWildcards(name)) {
            ExpandFolder(folder, name, recurse_, raw);
        } else if (!name.empty()) {
            for (const FindEntry& e : p_.files.Find(folder + name)) {
                if (e.IsDirectory()) continue;
                raw.push_back(Candidate::Found(folder, e));
                break;
            }
        }
    }
    std::vector<Candidate> result;
    for (Candidate& c : raw) {
        if (!c.isDirectory && IsOwnFile(c.path)) continue;
        if (skipIfArchiveBitNotSet_ && !c.isDirectory && !(c.attributes & FileAttr::Archive)) {
            bool retry = false;
            if (OnSkippingFile)
                OnSkippingFile(*this, SkipReason::ArchiveBitClear, c.path, -1, retry);
            continue;
        }
        c.stored = StoredNameOf(c.path, c.isDirectory);
        c.dos = FileTimeToDos(p_.system, c.lastWrite);
        result.push_back(std::move(c));
    }
    return result;
}

void TZipWriter::BeginOutput(Run& run) {
    if (run.out) return;
    std::string folder = ExtractFilePath(ZipName());
    // Beside the archive, so that the finished file replaces it by a rename on one volume.
    auto stream = CreateUniqueFile(p_.files, p_.system, folder, "~bz", run.tempPath);
    if (!stream) throw WriteFailure();
    currentTemp_ = run.tempPath;
    run.out = std::make_unique<Output>(std::move(stream), bytesWritten_);
    for (size_t i = 0; i < run.oldState.size(); ++i)
        if (run.oldState[i] == Run::Keep) CopyOldEntry(run, static_cast<int>(i));
}

void TZipWriter::CopyOldEntry(Run& run, int index) {
    const TZipHeader old = entries_[static_cast<size_t>(index)].header;
    FileStream& in = OpenArchive();
    // A read error fails the run (the old archive stays); only an entry whose local header
    // is not there at all has nothing left to copy.
    const uint64_t size = in.Size();
    uint8_t fixed[kLocalHeaderSize];
    if (old.localHeaderOffset > size || size - old.localHeaderOffset < kLocalHeaderSize) {
        run.oldState[static_cast<size_t>(index)] = Run::Lost;
        return;
    }
    if (!ReadAt(in, old.localHeaderOffset, fixed, sizeof fixed)) throw WriteFailure();
    const size_t n = Get16(fixed + 26), m = Get16(fixed + 28);
    const uint64_t data = old.localHeaderOffset + kLocalHeaderSize + n + m;
    if (Get32(fixed) != kLocalHeaderSig || data > size || old.compressedSize > size - data) {
        run.oldState[static_cast<size_t>(index)] = Run::Lost;
        return;
    }
    std::string extra(m, '\0');
    if (m && (!in.Seek(old.localHeaderOffset + kLocalHeaderSize + n) ||
              !ReadExact(in, &extra[0], m)))
        throw WriteFailure();
    TZipHeader h = old;
    h.localHeaderOffset = run.out->Position();
    uint64_t left = data + old.compressedSize - old.localHeaderOffset;
    if (!in.Seek(old.localHeaderOffset)) throw WriteFailure();
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, run.inBuf.size()));
        if (!ReadExact(in, run.inBuf.data(), want)) throw WriteFailure();
        run.out->Write(run.inBuf.data(), want);
        left -= want;
        ReportTotal(run.progress, want);
        CheckPoint();
    }
    if (old.flags & kFlagDescriptor) {
        // The old descriptor may lack its signature; a fresh one says the same.
        Zip64Values unused;
        Zip64Wanted probe;
        probe.uncompressed = true;
        const bool local64 = ReadZip64Extra(reinterpret_cast<const uint8_t*>(extra.data()),
                                            extra.size(), probe, unused);
        Bytes d;
        Append32(d, kDataDescriptorSig);
        Append32(d, old.crc32);
        if (local64) {
            Append64(d, old.compressedSize);
            Append64(d, old.uncompressedSize);
        } else {
            Append32(d, static_cast<uint32_t>(old.compressedSize));
            Append32(d, static_cast<uint32_t>(old.uncompressedSize));
        }
        run.out->Write(d);
    }
    run.oldFinal[static_cast<size_t>(index)] = h;
    run.oldState[static_cast<size_t>(index)] = Run::Copied;
}

void TZipWriter::WriteEntryData(Run& run, Candidate& c, FileStream& src, TZipHeader& h) {
    const uint64_t size = src.Size();
    const bool encrypt = h.Encrypted();
    uint32_t crc = 0;
    if (encrypt) {
        // The encryption header carries the CRC's high byte, so the CRC comes first.
        uLong first = crc32(0L, Z_NULL, 0);
        uint64_t left = size;
        while (left > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(left, run.inBuf.size()));
            if (ReadFull(src, run.inBuf.data(), want) != want) throw SourceReadFailure();
            first = crc32(first, run.inBuf.data(), static_cast<uInt>(want));
            left -= want;
            CheckPoint();
        }
        crc = static_cast<uint32_t>(first);
        if (!src.Seek(0)) throw SourceReadFailure();
    }
    // Deflate can grow incompressible data a little; when the worst case does not fit 32
    // bits the local header carries Zip64 sizes from the start.
    const uint64_t bound = size + (size >> 12) + (size >> 14) + (size >> 25) + 64 +
                           (encrypt ? kEncryptionHeaderSize : 0);
    const bool zip64 = Overflows32(size) || Overflows32(bound);
    h.versionNeeded = zip64 ? kVersionZip64 : kVersionDefault;
    if (zip64) h.versionMadeBy = (h.versionMadeBy & 0xFF00) | kVersionZip64;
    h.localHeaderOffset = run.out->Position();
    h.crc32 = crc;
    h.compressedSize = 0;
    h.uncompressedSize = 0;
    run.out->Write(LocalHeader(h, zip64));

    std::unique_ptr<TZipCrypto> crypto;
    uint64_t csize = 0;
    if (encrypt) {
        uint8_t head[kEncryptionHeaderSize];
        if (!p_.system.RandomBytes(head, kEncryptionHeaderSize - 1)) throw WriteFailure();
        head[kEncryptionHeaderSize - 1] = static_cast<uint8_t>(crc >> 24);
        crypto = std::make_unique<TZipCrypto>(Password());
        crypto->Encrypt(head, sizeof head);
        run.out->Write(head, sizeof head);
        csize += sizeof head;
    }

    DeflateGuard deflater;
    if (h.method == kMethodDeflate) {
        if (deflateInit2(&deflater.z, packLevel_, Z_DEFLATED, -MAX_WBITS, 8,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            throw WriteFailure();
        deflater.active = true;
    }
    auto emit = [&](uint8_t* bytes, size_t count) {
        if (count == 0) return;
        if (crypto) crypto->Encrypt(bytes, count);
        run.out->Write(bytes, count);
        csize += count;
    };
    uLong crcNow = crc32(0L, Z_NULL, 0);
    uint64_t usize = 0;
    int filePercent = -1;
    uint64_t left = size;
    bool finished = false;
    while (!finished) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, run.inBuf.size()));
        const size_t got = want ? ReadFull(src, run.inBuf.data(), want) : 0;
        if (got != want) throw SourceReadFailure();
        left -= got;
        usize += got;
        crcNow = crc32(crcNow, run.inBuf.data(), static_cast<uInt>(got));
        const bool last = left == 0;
        if (h.method == kMethodStored) {
            emit(run.inBuf.data(), got);
            finished = last;
        } else {
            deflater.z.next_in = run.inBuf.data();
            deflater.z.avail_in = static_cast<uInt>(got);
            const int flush = last ? Z_FINISH : Z_NO_FLUSH;
            int zr;
            do {
                deflater.z.next_out = run.outBuf.data();
                deflater.z.avail_out = static_cast<uInt>(run.outBuf.size());
                zr = deflate(&deflater.z, flush);
                if (zr == Z_STREAM_ERROR) throw WriteFailure();
                emit(run.outBuf.data(), run.outBuf.size() - deflater.z.avail_out);
            } while (deflater.z.avail_out == 0 || (last && zr != Z_STREAM_END));
            finished = last;
        }
        ReportTotal(run.progress, got);
        ReportFile(filePercent, usize, size);
        if (!finished) CheckPoint();
    }
    if (encrypt && static_cast<uint32_t>(crcNow) != crc) throw SourceReadFailure();
    h.crc32 = static_cast<uint32_t>(crcNow);
    h.compressedSize = csize;
    h.uncompressedSize = usize;
    // Fill in the local header now that CRC and sizes are known.
    const uint64_t end = run.out->Position();
    run.out->Seek(h.localHeaderOffset);
    run.out->Write(LocalHeader(h, zip64));
    run.out->Seek(end);
    (void)c;
}

bool TZipWriter::AddOneFile(Run& run, Candidate& c) {
    std::unique_ptr<FileStream> src;
    auto openSource = [&]() -> bool {
        for (;;) {
            src = p_.files.Open(c.path, OpenMode::Read);
            if (src) return true;
            bool retry = false;
            if (OnSkippingFile) OnSkippingFile(*this, SkipReason::CannotOpen, c.path, -1, retry);
            if (!retry) return false;
            CheckPoint();
        }
    };
    if (!c.isDirectory) {
        if (!openSource()) return false;
        FileTime t = 0;
        if (p_.files.GetTimes(c.path, nullptr, &t)) {
            c.lastWrite = t;
            c.dos = FileTimeToDos(p_.system, t);
        }
        const uint32_t attrs = p_.files.GetAttributes(c.path);
        if (attrs != FileAttr::Invalid) c.attributes = attrs;
    }
    if (run.usedNames.count(NameKey(c.stored))) {
        bool retry = false;
        if (OnSkippingFile) OnSkippingFile(*this, SkipReason::DuplicateName, c.path, -1, retry);
        return false;
    }
    TZipHeader h;
    h.versionMadeBy = kVersionDefault;  // host 0: Windows attributes in the low byte
    h.versionNeeded = kVersionDefault;
    h.fileName = c.stored;
    h.dosDateTime = c.dos;
    h.externalAttributes = c.isDirectory ? FileAttr::Directory
                                         : (c.attributes & (FileAttr::ReadOnly | FileAttr::Hidden |
                                                            FileAttr::System | FileAttr::Archive));
    if (c.isDirectory || packLevel_ == 0) {
        h.method = kMethodStored;
    } else {
        h.method = kMethodDeflate;
        if (packLevel_ <= 2) h.flags |= 0x0004;
        else if (packLevel_ >= 8) h.flags |= 0x0002;
    }
    if (!c.isDirectory && !Password().empty()) h.flags |= kFlagEncrypted;
    bool skip = false;
    if (OnStartZip) OnStartZip(*this, c.path, h, skip);
    if (skip) {
        bool retry = false;
        if (OnSkippingFile)
            OnSkippingFile(*this, SkipReason::SkippedByHandler, c.path, -1, retry);
        return false;
    }
    // The handler may rename, re-date or re-attribute the entry; what the writer cannot
    // produce (another method, sizes after the data, no name) stays as it was built.
    if (h.fileName.empty()) h.fileName = c.stored;
    std::replace(h.fileName.begin(), h.fileName.end(), '\\', '/');
    if (c.isDirectory || (h.method != kMethodStored && h.method != kMethodDeflate))
        h.method = (c.isDirectory || packLevel_ == 0) ? kMethodStored : kMethodDeflate;
    h.flags &= static_cast<uint16_t>(~kFlagDescriptor);
    if (c.isDirectory) h.flags &= static_cast<uint16_t>(~kFlagEncrypted);
    const std::string key = NameKey(h.fileName);
    if (key != NameKey(c.stored) && run.usedNames.count(key)) {
        bool retry = false;
        if (OnSkippingFile) OnSkippingFile(*this, SkipReason::DuplicateName, c.path, -1, retry);
        return false;
    }

    BeginOutput(run);
    if (c.isDirectory) {
        h.localHeaderOffset = run.out->Position();
        run.out->Write(LocalHeader(h, false));
    } else {
        const uint64_t start = run.out->Position();
        for (;;) {
            try {
                WriteEntryData(run, c, *src, h);
                break;
            } catch (const SourceReadFailure&) {
                // Take back what was written of this entry; the file may be tried again.
                run.out->Seek(start);
                src.reset();
                bool retry = false;
                if (OnSkippingFile)
                    OnSkippingFile(*this, SkipReason::CannotOpen, c.path, -1, retry);
                if (!retry) return false;
                CheckPoint();
                if (!openSource()) return false;
            }
        }
    }
    src.reset();
    run.usedNames.insert(key);
    if (c.replaces >= 0 && run.oldState[static_cast<size_t>(c.replaces)] == Run::PendingReplace) {
        run.oldFinal[static_cast<size_t>(c.replaces)] = h;
        run.oldState[static_cast<size_t>(c.replaces)] = Run::Replaced;
    } else {
        run.appended.push_back(h);
    }
    ++run.added;
    if (ResetArchiveBitOnZip() && !c.isDirectory) run.resets.push_back({c.path, c.lastWrite});
    if (OnEndZip)
        OnEndZip(*this, c.path, h.uncompressedSize, h.compressedSize, run.out->Position());
    return true;
}

void TZipWriter::FinishArchive(Run& run) {
    BeginOutput(run);
    std::vector<const TZipHeader*> listed;
    for (size_t i = 0; i < run.oldState.size(); ++i)
        if (run.oldState[i] == Run::Copied || run.oldState[i] == Run::Replaced)
            listed.push_back(&run.oldFinal[i]);
    for (const TZipHeader& h : run.appended) listed.push_back(&h);

    const uint64_t cdStart = run.out->Position();
    Bytes block;
    block.reserve(kBufferSize);
    for (const TZipHeader* h : listed) {
        AppendCentralHeader(block, *h);
        if (block.size() >= kBufferSize - 0x30000) {
            run.out->Write(block);
            block.clear();
            CheckPoint();
        }
    }
    run.out->Write(block);
    const uint64_t cdSize = run.out->Position() - cdStart;
    const uint64_t count = listed.size();
    const std::string comment = Comment();
    Bytes tail;
    const bool zip64 = Overflows16(count) || Overflows32(cdSize) || Overflows32(cdStart);
    if (zip64) {
        const uint64_t recordPos = run.out->Position();
        Append32(tail, kZip64EndSig);
        Append64(tail, kZip64EndSize - 12);
        Append16(tail, kVersionZip64);
        Append16(tail, kVersionZip64);
        Append32(tail, 0);
        Append32(tail, 0);
        Append64(tail, count);
        Append64(tail, count);
        Append64(tail, cdSize);
        Append64(tail, cdStart);
        Append32(tail, kZip64LocatorSig);
        Append32(tail, 0);
        Append64(tail, recordPos);
        Append32(tail, 1);
    }
    Append32(tail, kEndSig);
    Append16(tail, 0);
    Append16(tail, 0);
    const uint32_t count16 = Overflows16(count) ? 0xFFFF : static_cast<uint32_t>(count);
    Append16(tail, count16);
    Append16(tail, count16);
    Append32(tail, Overflows32(cdSize) ? 0xFFFFFFFFu : static_cast<uint32_t>(cdSize));
    Append32(tail, Overflows32(cdStart) ? 0xFFFFFFFFu : static_cast<uint32_t>(cdStart));
    Append16(tail, static_cast<uint32_t>(comment.size()));
    AppendText(tail, comment);
    run.out->Write(tail);
    run.out->Finish();
    run.out.reset();
    CheckPoint();  // the last point at which a cancel still leaves the old archive

    // The old archive must be closed before it can be replaced.
    CloseArchive();
    if (!p_.files.MoveFile(run.tempPath, ZipName(), true)) throw WriteFailure();
    run.tempPath.clear();
}

// The old archive's entries, all kept unless replaced; none when there is no archive yet.
void TZipWriter::LoadDirectoryForRebuild(Run& run) {
    // What a killed run left: the old archive set aside by a two-step replace, temporary
    // archives that never got their rename.
    RecoverSetAside(p_.files, ZipName());
    (void)RemoveStaleUniqueFiles(p_.files, ExtractFilePath(ZipName()), "~bz");
    if (FileExists(p_.files, ZipName())) {
        ReadDirectoryInternal();
    } else {
        CloseArchive();
        DropDirectory();
    }
    run.oldState.assign(entries_.size(), Run::Keep);
    run.oldFinal.resize(entries_.size());
}

int TZipWriter::AddFiles() {
    BusyScope busy(*this);
    abortRequested_ = false;
    bytesWritten_ = 0;
    std::vector<std::string> items;
    items.swap(filesList_);
    struct Finish {
        TZipWriter& w;
        ~Finish() {
            w.filesList_.clear();
            w.currentTemp_.clear();
            w.CloseUnlessKept();
        }
    } finish{*this};

    std::vector<Candidate> candidates = ExpandFilesList(items);
    Run run;
    run.files = &p_.files;
    run.inBuf.resize(kBufferSize);
    run.outBuf.resize(kBufferSize);
    LoadDirectoryForRebuild(run);

    // An old entry of the same name stays when it is at least as new as the file.
    {
        std::vector<std::pair<std::string, int>> names;
        names.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i)
            names.emplace_back(NameKey(entries_[i].path + entries_[i].name), static_cast<int>(i));
        std::stable_sort(names.begin(), names.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (Candidate& c : candidates) {
            const std::string key = NameKey(c.stored);
            auto it = std::lower_bound(
                names.begin(), names.end(), key,
                [](const std::pair<std::string, int>& a, const std::string& k) { return a.first < k; });
            if (it == names.end() || it->first != key) continue;
            const int old = it->second;
            if (entries_[static_cast<size_t>(old)].header.dosDateTime >= c.dos) {
                c.dropped = true;
            } else if (run.oldState[static_cast<size_t>(old)] == Run::Keep) {
                c.replaces = old;
                run.oldState[static_cast<size_t>(old)] = Run::PendingReplace;
            }
        }
    }
    for (size_t i = 0; i < entries_.size(); ++i)
        if (run.oldState[i] == Run::Keep) run.progress.total += entries_[i].header.compressedSize;
    for (const Candidate& c : candidates)
        if (!c.dropped) run.progress.total += c.size;

    try {
        for (Candidate& c : candidates) {
            if (c.dropped) continue;
            CheckPoint();
            AddOneFile(run, c);
        }
        if (run.added == 0) return 0;  // nothing new: the archive stays as it is
        // Entries whose new file did not make it stay as they were.
        for (size_t i = 0; i < run.oldState.size(); ++i)
            if (run.oldState[i] == Run::PendingReplace) CopyOldEntry(run, static_cast<int>(i));
        FinishArchive(run);
    } catch (const WriteFailure&) {
        return 0;
    }

    // The archive is in place: now the added files count as saved.
    commentChanged_ = false;
    for (const Run::Reset& r : run.resets) {
        FileTime now = 0;
        const uint32_t attrs = p_.files.GetAttributes(r.path);
        // A file written again since it was read keeps its mark for the next backup.
        if (attrs == FileAttr::Invalid || !p_.files.GetTimes(r.path, nullptr, &now) ||
            now != r.lastWrite)
            continue;
        const uint32_t cleared = attrs & ~(FileAttr::Archive | FileAttr::Normal);
        // A mark that stays only makes the next update backup take the file again.
        (void)p_.files.SetAttributes(r.path, cleared ? cleared : FileAttr::Normal);
    }
    DropDirectory();
    try {
        ReadDirectoryInternal();
    } catch (const EZipError&) {
        // The archive is written; the directory is read again by the next operation.
    }
    if (OnTotalPercentDone) OnTotalPercentDone(*this, 100);
    return run.added;
}

void TZipWriter::WriteChangedComment() {
    if (!CommentChanged()) return;
    BusyScope busy(*this);
    abortRequested_ = false;
    bytesWritten_ = 0;
    struct Finish {
        TZipWriter& w;
        ~Finish() {
            w.currentTemp_.clear();
            w.CloseUnlessKept();
        }
    } finish{*this};
    Run run;
    run.files = &p_.files;
    run.inBuf.resize(kBufferSize);
    LoadDirectoryForRebuild(run);
    for (const Entry& e : entries_) run.progress.total += e.header.compressedSize;
    try {
        FinishArchive(run);
    } catch (const WriteFailure&) {
        return;  // the comment stays marked as changed
    }
    commentChanged_ = false;
    DropDirectory();
    try {
        ReadDirectoryInternal();
    } catch (const EZipError&) {
    }
}

}  // namespace bv
