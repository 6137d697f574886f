// A Files decorator that fails chosen operations, to prove that code survives I/O errors.
//
// Every operation of a kind is counted (from 1, the failed ones too). A fault plan fails the
// Nth operation of a kind either once (a transient error: only that one) or lasting (that
// one and every later one of the kind: a full disk, a drive that went away). A counting run
// without a plan tells how many operations of each kind there are to fail.
//
// The older single-shot fields (failWriteAt, failOpenAt, ...) still work beside the plans:
// the Nth write (counted over every stream it opened), open, move, close or seek; 0 means
// never. Everything else goes to the wrapped Files.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bv::test {

enum class FileOp {
    Open,
    Read,
    Write,
    Seek,
    Truncate,
    Close,
    Rename,  // MoveFile
    Delete,  // DeleteFile
    SetAttributes,
    CreateDirectory,
    CopyFile,
    Flush,  // FileStream::Flush
};
constexpr int kFileOpCount = 12;
const char* FileOpName(FileOp op);
// All kinds, in their order (for tables over every kind).
const std::array<FileOp, kFileOpCount>& AllFileOps();

enum class FaultMode {
    Once,     // only the chosen operation fails
    Lasting,  // the chosen one and every later one of its kind
};
const char* FaultModeName(FaultMode mode);

struct FaultPlan {
    FileOp op = FileOp::Write;
    int at = 0;  // the operation of this kind that fails first, from 1
    FaultMode mode = FaultMode::Once;
    long error = WinError::AccessDenied;  // what calls with an error out-parameter report
};

// One operation failed on purpose: what it was and which file it was about.
struct InjectedFault {
    FileOp op;
    int index;           // of its kind, from 1
    std::string path;    // the stream's file; for Rename and CopyFile the source
    std::string target;  // Rename and CopyFile only
};

class FaultyFiles : public Files {
public:
    explicit FaultyFiles(Files& inner) : inner_(inner) {}

    int failWriteAt = 0;
    int failOpenAt = 0;       // any open
    int failOpenWriteAt = 0;  // opens other than OpenMode::Read
    int failMoveAt = 0;
    int failCloseAt = 0;      // a Close that reports a failure (the data may be lost)
    int failSeekAt = 0;
    // Writes, opens and moves seen so far (also the failed ones).
    int writes = 0;
    int opens = 0;
    int writeOpens = 0;
    int moves = 0;
    int closes = 0;
    int seeks = 0;
    int failures = 0;  // how many operations were failed on purpose
    // Paths opened for writing, in order.
    std::vector<std::string> createdPaths;

    // Adds a fault; several plans may stand side by side.
    void FailAt(FileOp op, int at, FaultMode mode, long error = WinError::AccessDenied) {
        plans.push_back(FaultPlan{op, at, mode, error});
    }
    std::vector<FaultPlan> plans;
    // Operations of a kind seen so far, and how many of them were failed on purpose.
    int Seen(FileOp op) const { return seen_[Index(op)]; }
    int Failed(FileOp op) const { return failed_[Index(op)]; }
    long TotalSeen() const { return total_; }
    // Every failure injected, in order.
    std::vector<InjectedFault> injected;
    // Beyond this many counted operations every operation fails and `runaway` is set: code
    // that would go on for ever runs out of files instead of hanging the test (a throw could
    // come from a destructor). 0 means no limit.
    long operationLimit = 0;
    bool runaway = false;

    uint32_t GetAttributes(const std::string& path) override { return inner_.GetAttributes(path); }
    bool SetAttributes(const std::string& path, uint32_t attributes) override;
    std::vector<FindEntry> Find(const std::string& pattern) override { return inner_.Find(pattern); }
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                     long* error = nullptr) override;
    bool CreateDirectory(const std::string& path, long* error = nullptr) override;
    bool RemoveDirectory(const std::string& path) override { return inner_.RemoveDirectory(path); }
    bool DeleteFile(const std::string& path, long* error = nullptr) override;
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                  long* error = nullptr) override;
    bool MoveFileAtRestart(const std::string& from, const std::string& to) override {
        return inner_.MoveFileAtRestart(from, to);
    }
    bool GetTimes(const std::string& path, FileTime* creation, FileTime* lastWrite) override {
        return inner_.GetTimes(path, creation, lastWrite);
    }
    bool SetTimes(const std::string& path, const FileTime* creation,
                  const FileTime* lastWrite) override {
        return inner_.SetTimes(path, creation, lastWrite);
    }
    int64_t FreeBytes(const std::string& path) override { return inner_.FreeBytes(path); }
    bool VolumeReady(const std::string& root) override { return inner_.VolumeReady(root); }
    bool IsOpticalDrive(const std::string& path) override { return inner_.IsOpticalDrive(path); }
    long ConnectShare(const std::string& remote) override { return inner_.ConnectShare(remote); }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    bool SetCurrentDirectory(const std::string& path) override {
        return inner_.SetCurrentDirectory(path);
    }
    std::string ShortPath(const std::string& path) override { return inner_.ShortPath(path); }
    std::string LongPath(const std::string& path) override { return inner_.LongPath(path); }
    int FolderWriteAccess(const std::string& folder) override {
        return inner_.FolderWriteAccess(folder);
    }

    // Called by the streams it hands out and by the operations above: each counts one
    // operation of its kind and tells whether it fails; `error` receives the planned error.
    bool NextWriteFails(const std::string& path) {
        return Next(FileOp::Write, path, At(++writes, failWriteAt));
    }
    bool NextCloseFails(const std::string& path) {
        return Next(FileOp::Close, path, At(++closes, failCloseAt));
    }
    bool NextSeekFails(const std::string& path) { return Next(FileOp::Seek, path, At(++seeks, failSeekAt)); }
    bool NextReadFails(const std::string& path) { return Next(FileOp::Read, path, false); }
    bool NextTruncateFails(const std::string& path) { return Next(FileOp::Truncate, path, false); }
    bool NextFlushFails(const std::string& path) { return Next(FileOp::Flush, path, false); }
    // `legacy`: one of the single-shot fields asks for this operation to fail.
    bool Next(FileOp op, const std::string& path, bool legacy, long* error = nullptr,
              const std::string& target = std::string());

private:
    static size_t Index(FileOp op) { return static_cast<size_t>(op); }
    static bool At(int count, int at) { return at != 0 && count == at; }
    // The plan that fails operation `index` of its kind, or nullptr.
    const FaultPlan* PlanFor(FileOp op, int index) const;
    Files& inner_;
    std::array<int, kFileOpCount> seen_{};
    std::array<int, kFileOpCount> failed_{};
    long total_ = 0;
};

}  // namespace bv::test
