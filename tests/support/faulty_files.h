// A Files decorator that fails chosen operations, to prove that code survives I/O errors:
// the Nth write (counted over every stream it opened), the Nth open, the Nth move, the Nth
// close. Counting starts at 1; 0 means never. Everything else goes to the wrapped Files.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bv::test {

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

    uint32_t GetAttributes(const std::string& path) override { return inner_.GetAttributes(path); }
    bool SetAttributes(const std::string& path, uint32_t attributes) override {
        return inner_.SetAttributes(path, attributes);
    }
    std::vector<FindEntry> Find(const std::string& pattern) override { return inner_.Find(pattern); }
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                     long* error = nullptr) override;
    bool CreateDirectory(const std::string& path, long* error = nullptr) override {
        return inner_.CreateDirectory(path, error);
    }
    bool RemoveDirectory(const std::string& path) override { return inner_.RemoveDirectory(path); }
    bool DeleteFile(const std::string& path, long* error = nullptr) override {
        return inner_.DeleteFile(path, error);
    }
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        return inner_.CopyFile(from, to, failIfExists);
    }
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

    // Called by the streams it hands out.
    bool NextWriteFails() { return Hit(++writes, failWriteAt); }
    bool NextCloseFails() { return Hit(++closes, failCloseAt); }
    bool NextSeekFails() { return Hit(++seeks, failSeekAt); }

private:
    bool Hit(int count, int at) {
        if (at != 0 && count == at) {
            ++failures;
            return true;
        }
        return false;
    }
    Files& inner_;
};

}  // namespace bv::test
