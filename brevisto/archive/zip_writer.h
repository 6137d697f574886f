// TZipWriter: adds files to a ZIP archive, updates entries and the archive comment.
// An existing archive is rebuilt into a temporary file beside it and replaces it in one step
// only when the new archive is complete; a failed or aborted run leaves the old one untouched.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/archive/zip_reader.h"

namespace bv {

class TZipWriter;

// Reasons of OnSkippingFile.
namespace SkipReason {
constexpr int DuplicateName = 1;   // an entry of the same stored name was added in this run
constexpr int CannotOpen = 2;      // the file cannot be opened or read (Retry honoured)
constexpr int ArchiveBitClear = 5;  // SkipIfArchiveBitNotSet and the archive attribute is clear
constexpr int SkippedByHandler = 7;  // OnStartZip set Skip
}  // namespace SkipReason

using TZipStartZipEvent = std::function<void(TZipWriter& sender, const std::string& fName,
                                             TZipHeader& zipHeader, bool& skip)>;
using TZipEndZipEvent =
    std::function<void(TZipWriter& sender, const std::string& fName, uint64_t uncompressedSize,
                       uint64_t compressedSize, uint64_t currentZipSize)>;
using TZipSkippingFileEvent = std::function<void(TZipWriter& sender, int reason,
                                                 const std::string& fName, int fileIndex,
                                                 bool& retry)>;

class TZipWriter : public TZipReader {
public:
    explicit TZipWriter(Platform& platform);
    ~TZipWriter() override;

    int PackLevel() const { return packLevel_; }
    void SetPackLevel(int level) { packLevel_ = level < 0 ? 0 : (level > 9 ? 9 : level); }
    bool StorePaths() const { return storePaths_; }
    void SetStorePaths(bool v);  // false also clears RelativePaths
    bool RelativePaths() const { return relativePaths_; }
    void SetRelativePaths(bool v);  // true also sets StorePaths and Recurse
    bool Recurse() const { return recurse_; }
    void SetRecurse(bool v) { recurse_ = v; }
    bool AddDirEntriesOnRecurse() const { return addDirEntries_; }
    void SetAddDirEntriesOnRecurse(bool v) { addDirEntries_ = v; }
    const std::string& TempPath() const { return tempPath_; }
    void SetTempPath(const std::string& v) { tempPath_ = v; }
    bool SkipIfArchiveBitNotSet() const { return skipIfArchiveBitNotSet_; }
    void SetSkipIfArchiveBitNotSet(bool v) { skipIfArchiveBitNotSet_ = v; }
    bool ResetArchiveBitOnZip() const { return resetArchiveBit_; }
    void SetResetArchiveBitOnZip(bool v) { resetArchiveBit_ = v; }

    // Adds or updates an entry for each file that FilesList names; returns how many were
    // added. FilesList is empty afterwards. A write failure adds nothing (returns 0) and
    // leaves the archive as it was.
    int AddFiles();
    // When the comment changed: rebuilds the archive with its entries and the new comment.
    void WriteChangedComment();

    // Bytes written to archive files by the last AddFiles or WriteChangedComment run.
    uint64_t BytesWritten() const { return bytesWritten_; }

    TZipStartZipEvent OnStartZip;
    TZipEndZipEvent OnEndZip;
    TZipSkippingFileEvent OnSkippingFile;

    // Keeps the options an addition reads (pack level, paths, recursion, folder entries, the
    // archive-attribute rules, the root folder) and puts them back when it ends, also when the
    // addition throws: a step that needs other options for a while hands the next step the
    // writer as it found it.
    class SettingsScope {
    public:
        explicit SettingsScope(TZipWriter& w)
            : w_(w), packLevel_(w.packLevel_), storePaths_(w.storePaths_), relativePaths_(w.relativePaths_),
              recurse_(w.recurse_), addDirEntries_(w.addDirEntries_),
              skipIfArchiveBitNotSet_(w.skipIfArchiveBitNotSet_), resetArchiveBit_(w.resetArchiveBit_),
              rootDir_(w.RootDir()) {}
        ~SettingsScope() {
            w_.packLevel_ = packLevel_;
            w_.storePaths_ = storePaths_;
            w_.relativePaths_ = relativePaths_;
            w_.recurse_ = recurse_;
            w_.addDirEntries_ = addDirEntries_;
            w_.skipIfArchiveBitNotSet_ = skipIfArchiveBitNotSet_;
            w_.resetArchiveBit_ = resetArchiveBit_;
            w_.SetRootDir(rootDir_);
        }
        SettingsScope(const SettingsScope&) = delete;
        SettingsScope& operator=(const SettingsScope&) = delete;

    private:
        TZipWriter& w_;
        int packLevel_;
        bool storePaths_;
        bool relativePaths_;
        bool recurse_;
        bool addDirEntries_;
        bool skipIfArchiveBitNotSet_;
        bool resetArchiveBit_;
        std::string rootDir_;
    };

private:
    struct Candidate;
    class Output;
    struct Run;

    std::vector<Candidate> ExpandFilesList(const std::vector<std::string>& items);
    void ExpandFolder(const std::string& folder, const std::string& pattern, bool recurse,
                      std::vector<Candidate>& out);
    std::string StoredNameOf(const std::string& fullPath, bool isDirectory);
    bool IsOwnFile(const std::string& path) const;
    bool AddOneFile(Run& run, Candidate& c);
    void WriteEntryData(Run& run, Candidate& c, FileStream& src, TZipHeader& h);
    void CopyOldEntry(Run& run, int index);
    void LoadDirectoryForRebuild(Run& run);
    void BeginOutput(Run& run);
    void FinishArchive(Run& run);

    int packLevel_ = 6;
    bool storePaths_ = false;
    bool relativePaths_ = false;
    bool recurse_ = false;
    bool addDirEntries_ = false;
    std::string tempPath_;
    bool skipIfArchiveBitNotSet_ = false;
    bool resetArchiveBit_ = false;
    uint64_t bytesWritten_ = 0;
    std::string currentTemp_;  // the temporary archive being built, never added
};

}  // namespace bv
