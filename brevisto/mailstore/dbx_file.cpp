#include "brevisto/mailstore/dbx_file.h"

#include <algorithm>

#include "brevisto/mailstore/dbx_tree.h"
#include "platform/path.h"

namespace bv {

namespace {

constexpr uint32_t kSignature = 0xFE12ADCF;
constexpr uint32_t kClassMessages = 0x6F74FDC5;
constexpr uint32_t kClassFolders = 0x6F74FDC6;
constexpr uint32_t kClassKind2 = 0x6F74FDC7;
constexpr uint32_t kClassKind3 = 0x26FE9D30;

constexpr size_t kMessageCount = 0xC4;
constexpr size_t kFolderCount = 0xCC;
constexpr size_t kMessageRoot = 0xE4;
constexpr size_t kFolderRoot = 0xEC;

}  // namespace

TDbxFile::TDbxFile(Files& files, System& system, const std::string& fileName)
    : files_(files), system_(system), header_(HeaderSize, 0) {
    Open(fileName);
}

TDbxFile::~TDbxFile() { Close(); }

void TDbxFile::Close() {
    // The lists read through the stream, so they go first.
    folderList_.reset();
    messageList_.reset();
    if (file_) (void)file_->Close();  // read only
    file_.reset();
    std::fill(header_.begin(), header_.end(), 0);
}

void TDbxFile::Open(const std::string& fileName) {
    Close();
    fileName_ = fileName;
    if (!FileExists(files_, fileName)) return;
    // Outlook Express may hold its files open for writing while they are read.
    file_ = files_.Open(fileName, OpenMode::ReadShared);
    if (!file_) return;
    // A file shorter than the header leaves the rest zero.
    size_t done = 0;
    if (file_->Seek(0)) {
        while (done < header_.size()) {
            const size_t got = file_->Read(header_.data() + done, header_.size() - done);
            if (got == 0) break;
            done += got;
        }
    }
}

uint32_t TDbxFile::HeaderValue(size_t offset) const {
    if (offset + 4 > header_.size()) return 0;
    const uint8_t* p = header_.data() + offset;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

TDbxFileKind TDbxFile::FileKind() const {
    if (!file_ || HeaderValue(0) != kSignature) return dfkNoDbx;
    switch (HeaderValue(4)) {
        case kClassMessages: return dfkMessages;
        case kClassFolders: return dfkFolders;
        case kClassKind2: return dfkKind2;
        case kClassKind3: return dfkKind3;
        default: return dfkUnknown;
    }
}

TDbxFile::EntryTally TDbxFile::CountEntries() {
    EntryTally tally;
    uint32_t root = 0;
    switch (FileKind()) {
        case dfkFolders:
            tally.announced = HeaderValue(kFolderCount);
            root = HeaderValue(kFolderRoot);
            break;
        case dfkMessages:
            tally.announced = HeaderValue(kMessageCount);
            root = HeaderValue(kMessageRoot);
            break;
        default:
            return tally;
    }
    if (tally.announced == 0) return tally;
    struct Entry {
        uint32_t NodeOffset = 0;
        uint32_t Position = 0;
        uint32_t RecordOffset = 0;
        std::vector<std::unique_ptr<Entry>> Items;
    };
    DbxReader reader(*file_);
    DbxTreeWalker walker(reader, tally.announced);
    auto headOnly = [&reader](Entry&, uint32_t offset) { return ReadDbxRecord(reader, offset, nullptr); };
    std::vector<std::unique_ptr<Entry>> entries;
    walker.Walk(root, entries, headOnly);
    tally.found = walker.EntriesRead();
    return tally;
}

void TDbxFile::LoadTree() {
    switch (FileKind()) {
        case dfkFolders:
            if (folderList_) return;
            folderList_ = std::make_unique<TDbxFolderList>(*file_, HeaderValue(kFolderCount),
                                                           HeaderValue(kFolderRoot));
            folderList_->LoadTree();
            break;
        case dfkMessages:
            if (messageList_) return;
            messageList_ = std::make_unique<TDbxMessageList>(
                *file_, system_, HeaderValue(kMessageCount), HeaderValue(kMessageRoot));
            messageList_->LoadTree();
            break;
        default:
            break;
    }
}

}  // namespace bv
