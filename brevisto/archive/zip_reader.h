// TZipReader: reads the directory of a ZIP archive, tests entries and extracts them.
// Every entry is streamed through fixed buffers; no entry is ever held whole in memory.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/archive/zip_errors.h"
#include "platform/platform.h"

namespace bv {

enum class TOverwriteMode { Prompt, Always, Never };
// What to assume when an archive has no end of central directory record.
enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };

// One entry as its central directory header (or, after a rescan, its local header) gives it.
struct TZipHeader {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosDateTime = 0;  // DOS date in the high word, time in the low word, local time
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;  // including the 12-byte encryption header
    uint64_t uncompressedSize = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;  // the Windows attributes in the low byte
    uint64_t localHeaderOffset = 0;
    std::string fileName;      // stored name as written ("/" separators)
    std::string extraField;    // central extra field without the Zip64 block
    std::string fileComment;

    bool Encrypted() const { return (flags & 1) != 0; }
};

class TZipReader;
using TZipPercentEvent = std::function<void(TZipReader& sender, int percent)>;
using TZipStartUnZipEvent =
    std::function<void(TZipReader& sender, int fileIndex, std::string& fName, bool& skip)>;
using TZipEndUnZipEvent =
    std::function<void(TZipReader& sender, int fileIndex, const std::string& fName)>;
using TZipBadPasswordEvent =
    std::function<void(TZipReader& sender, int fileIndex, std::string& newPassword)>;
using TZipPromptOverwriteEvent = std::function<void(TZipReader& sender, int fileIndex,
                                                    const std::string& fName, bool& overwrite)>;

class TZipReader {
public:
    explicit TZipReader(Platform& platform);
    virtual ~TZipReader();
    TZipReader(const TZipReader&) = delete;
    TZipReader& operator=(const TZipReader&) = delete;

    // --- properties ---
    const std::string& ZipName() const { return zipName_; }
    // A path that differs (without regard to case) drops the directory, closes the archive and
    // forgets a changed comment.
    void SetZipName(const std::string& path);
    const std::string& DestDir() const { return destDir_; }
    void SetDestDir(const std::string& dir);  // a trailing "\" is removed
    const std::string& RootDir() const { return rootDir_; }
    void SetRootDir(const std::string& dir);  // a trailing "\" is added
    // File names or wildcard patterns for the next run; every run empties it.
    std::vector<std::string>& FilesList() { return filesList_; }

    bool DoAll() const { return doAll_; }
    void SetDoAll(bool v) { doAll_ = v; }
    bool RecreateDirs() const { return recreateDirs_; }
    void SetRecreateDirs(bool v) { recreateDirs_ = v; }
    TOverwriteMode OverwriteMode() const { return overwriteMode_; }
    void SetOverwriteMode(TOverwriteMode v) { overwriteMode_ = v; }
    bool KeepZipOpen() const { return keepZipOpen_; }
    void SetKeepZipOpen(bool v);
    TIncompleteZipMode IncompleteZipMode() const { return incompleteMode_; }
    void SetIncompleteZipMode(TIncompleteZipMode v) { incompleteMode_ = v; }
    bool DoProcessMessages() const { return doProcessMessages_; }
    void SetDoProcessMessages(bool v) { doProcessMessages_ = v; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { password_ = v; }

    // Entries of the loaded directory (0 while none is loaded); an index outside the range
    // fails with EZipIndexOutOfRange.
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    std::string EntryName(int index) const;  // file name, empty for a folder entry
    std::string EntryPath(int index) const;  // directory part, empty or ending in "\"
    uint64_t EntrySize(int index) const;
    bool EntryEncrypted(int index) const;
    uint32_t EntryDosDateTime(int index) const;
    int EntryTestState(int index) const;  // 0 untested, 1 good, 2 bad
    const TZipHeader& EntryHeader(int index) const;

    // The archive comment; reading it loads the directory when none is loaded.
    bool HasComment();
    std::string Comment();
    // The same, for callers that must tell a comment that could not be read from none:
    // raises EZipInvalid when the archive or its comment cannot be read.
    std::string ReadComment();
    // Up to 65535 bytes; a text that differs marks the comment as changed.
    void SetComment(const std::string& text);
    bool CommentChanged() const { return commentChanged_; }

    uint64_t ArchiveFileSize();
    bool IsBusy() const { return busy_; }

    // --- operations ---
    void ReadDirectory();
    void ClearDirectory();
    void SetEntrySelected(int index, bool selected);
    bool EntrySelected(int index) const;
    int ExtractMatching();
    int ExtractSelected();
    bool TestEntry(int index);
    void ForgetTest(int index);
    bool TestArchive();
    void AbortOperation() { abortRequested_ = true; }

    // --- events ---
    TZipPercentEvent OnFilePercentDone;
    TZipPercentEvent OnTotalPercentDone;
    TZipStartUnZipEvent OnStartUnZip;
    TZipEndUnZipEvent OnEndUnZip;
    TZipBadPasswordEvent OnBadPassword;
    // Asked under OverwriteMode Prompt; without a handler an existing file is kept.
    TZipPromptOverwriteEvent OnPromptForOverwrite;

protected:
    struct Entry {
        TZipHeader header;
        std::string path;  // directory part with "\" separators, ANSI
        std::string name;  // file name, ANSI
        bool selected = false;
        int testState = 0;
    };

    // Marks the component busy for the length of one operation.
    class BusyScope {
    public:
        explicit BusyScope(TZipReader& r) : r_(r), was_(r.busy_) { r_.busy_ = true; }
        ~BusyScope() { r_.busy_ = was_; }

    private:
        TZipReader& r_;
        bool was_;
    };

    // Ends a reading operation the same way also when it fails: the files list is used up
    // and the archive closed unless it is to be kept open.
    class RunEnd {
    public:
        explicit RunEnd(TZipReader& r) : r_(r) {}
        ~RunEnd() {
            r_.filesList_.clear();
            r_.CloseUnlessKept();
        }

    private:
        TZipReader& r_;
    };

    // Running totals for OnTotalPercentDone.
    struct Progress {
        uint64_t total = 0;
        uint64_t done = 0;
        int lastPercent = -1;
    };

    enum class DecodeResult { Ok, BadPassword, BadData, WriteFailed };

    // Lets messages run (when DoProcessMessages) and fails with EZipAborted on a request.
    void CheckPoint();
    void ReportTotal(Progress& progress, uint64_t moreBytes);
    void ReportFile(int& last, uint64_t done, uint64_t total);

    // Opens the archive for reading unless it is open; EZipInvalid when it cannot be opened.
    FileStream& OpenArchive();
    void CloseArchive();
    void CloseUnlessKept();
    void ReadDirectoryInternal();
    bool DirectoryIsCurrent();
    void DropDirectory();
    const Entry& At(int index) const;
    Entry& At(int index);

    // Streams one entry's data through decryption and decompression into `out` (nullptr:
    // checked and discarded). `password` is the one to try.
    DecodeResult DecodeEntry(int index, const std::string& password, FileStream* out,
                             Progress* progress);
    // The password check and CRC comparison with the bounded OnBadPassword retries;
    // `offersMade` counts offers already taken for this entry.
    DecodeResult DecodeWithRetries(int index, FileStream* out, Progress* progress,
                                   const std::function<void()>& restartOutput, int offersMade = 0);
    // Where the entry's data start (after the local header); 0 when its local header is broken.
    uint64_t LocalDataOffset(FileStream& in, const TZipHeader& h);
    void LoadComment();

    Platform& p_;
    std::vector<Entry> entries_;
    bool loaded_ = false;
    FileTime loadedTime_ = 0;
    uint64_t loadedSize_ = 0;
    uint64_t archiveSize_ = 0;       // size of the archive when its directory was read
    uint64_t commentOffset_ = 0;     // where the comment stands in the file
    uint32_t commentLength_ = 0;
    bool commentLoaded_ = false;
    std::string comment_;
    bool commentChanged_ = false;
    bool abortRequested_ = false;
    bool busy_ = false;
    std::vector<std::string> filesList_;
    std::string password_;
    // Buffers of the decoder, kept between entries so that archives of many small entries
    // do not allocate per entry.
    std::vector<uint8_t> decodeIn_;
    std::vector<uint8_t> decodeOut_;

private:
    int Extract(bool selectedOnly);
    bool ExtractOne(int index, Progress& progress);
    bool TestOne(int index, Progress* progress);
    bool ReadCentralDirectory(FileStream& in, uint64_t cdOffset, uint64_t cdSize, uint64_t count,
                              uint64_t dirEnd);
    bool RescanLocalHeaders(FileStream& in, uint64_t fileSize);
    std::string TargetPathOf(const Entry& e, bool& safe) const;

    std::string zipName_;
    std::string destDir_;
    std::string rootDir_;
    bool doAll_ = false;
    bool recreateDirs_ = false;
    TOverwriteMode overwriteMode_ = TOverwriteMode::Prompt;
    bool keepZipOpen_ = false;
    TIncompleteZipMode incompleteMode_ = TIncompleteZipMode::izAssumeMulti;
    bool doProcessMessages_ = true;
    std::unique_ptr<FileStream> in_;
};

namespace zip {
// Extraction pattern match: "*" any run of characters (also "\"), "?" exactly one, compared in
// lower case.
bool MatchesPattern(const std::string& pattern, const std::string& name);
// A stored path that could leave the target folder: ".." components, a drive, a ":" or a root.
bool IsUnsafeStoredPath(const std::string& path);
}  // namespace zip

}  // namespace bv
