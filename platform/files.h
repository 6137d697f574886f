// File system access with Windows path semantics ("C:\dir\file", "\\server\share\dir").
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace bv {

namespace FileAttr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80;
constexpr uint32_t ReparsePoint = 0x400;
constexpr uint32_t Invalid = 0xFFFFFFFFu;
}  // namespace FileAttr

struct FindEntry {
    std::string name;  // long name, without folder
    uint32_t attributes = 0;
    uint64_t size = 0;
    FileTime creationTime = 0;
    FileTime lastWriteTime = 0;

    bool IsDirectory() const { return (attributes & FileAttr::Directory) != 0; }
    // Junctions and symbolic links: never followed by recursive walks.
    bool IsLink() const { return (attributes & FileAttr::ReparsePoint) != 0; }
};

// An open file. Reads and writes are sequential from the current position.
// Every operation that changes a file says whether it worked, and callers must look: a
// write that failed unseen is a backup that is silently incomplete.
class FileStream {
public:
    virtual ~FileStream() = default;
    // Returns the number of bytes read; 0 at the end of the file or on error.
    virtual size_t Read(void* buffer, size_t count) = 0;
    [[nodiscard]] virtual bool Write(const void* data, size_t count) = 0;
    [[nodiscard]] virtual bool Seek(uint64_t position) = 0;
    virtual uint64_t Position() = 0;
    virtual uint64_t Size() = 0;
    [[nodiscard]] virtual bool Truncate() = 0;  // ends the file at the current position
    // Writes everything written so far through to the disk: a file that replaces another
    // must be on the disk before the rename is, or a power loss leaves an empty file.
    [[nodiscard]] virtual bool Flush() = 0;
    // Flushes and closes; false if anything written could not be stored.
    [[nodiscard]] virtual bool Close() = 0;
};

enum class OpenMode {
    Read,          // existing file, read only, others may read
    // Existing file, read only, others may read and write: a file that another program may
    // hold open for writing (an archive being copied, a virus scanner) can still be read.
    ReadShared,
    ReadWrite,     // existing file
    CreateAlways,  // new or truncated file, read and write
    CreateNew,     // fails if the file exists
};

inline bool OpensForWriting(OpenMode mode) {
    return mode != OpenMode::Read && mode != OpenMode::ReadShared;
}

class Files {
public:
    virtual ~Files() = default;

    // FileAttr::Invalid if the path does not exist.
    virtual uint32_t GetAttributes(const std::string& path) = 0;
    [[nodiscard]] virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;

    // Directory entries matching a pattern whose last component may hold * and ?;
    // "." and ".." are left out.
    virtual std::vector<FindEntry> Find(const std::string& pattern) = 0;

    virtual std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                             long* error = nullptr) = 0;

    [[nodiscard]] virtual bool CreateDirectory(const std::string& path, long* error = nullptr) = 0;
    [[nodiscard]] virtual bool RemoveDirectory(const std::string& path) = 0;
    // Fails with a sharing violation while the file is open (any process), as on Windows.
    [[nodiscard]] virtual bool DeleteFile(const std::string& path, long* error = nullptr) = 0;
    [[nodiscard]] virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
    // Renames; with replaceExisting an existing target is replaced in one step.
    [[nodiscard]] virtual bool MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                          long* error = nullptr) = 0;
    // Registers a move (or, with an empty target, a deletion) for the next restart.
    [[nodiscard]] virtual bool MoveFileAtRestart(const std::string& from, const std::string& to) = 0;

    virtual bool GetTimes(const std::string& path, FileTime* creation, FileTime* lastWrite) = 0;
    [[nodiscard]] virtual bool SetTimes(const std::string& path, const FileTime* creation,
                          const FileTime* lastWrite) = 0;

    // Free bytes available to the user on the volume holding the path; -1 if unknown.
    virtual int64_t FreeBytes(const std::string& path) = 0;
    // Volume information of a root folder ("C:\") can be read (a medium is present).
    virtual bool VolumeReady(const std::string& root) = 0;
    // The drive holding the path is a CD or DVD drive, which cannot be written like a disk.
    virtual bool IsOpticalDrive(const std::string& path) {
        (void)path;
        return false;
    }
    // Connects a network share (\\server\share) without a local name; Win32 error number.
    virtual long ConnectShare(const std::string& remote) = 0;

    virtual std::string CurrentDirectory() = 0;
    [[nodiscard]] virtual bool SetCurrentDirectory(const std::string& path) = 0;

    // 8.3 and long forms of an existing path; the path unchanged if there is none.
    virtual std::string ShortPath(const std::string& path) = 0;
    virtual std::string LongPath(const std::string& path) = 0;

    // The current user may create files in the folder (security check, not a probe).
    // Returns -1 when the system cannot tell, 0 when not, 1 when it may.
    virtual int FolderWriteAccess(const std::string& folder) = 0;
};

}  // namespace bv
