#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"

namespace bv {
namespace {

// DOS attributes live in an extended attribute: the attribute bits, the modification
// time at which the archive bit was last cleared, and the creation time.
const char kDosXattr[] = "user.brevisto.dos";
constexpr uint32_t kStoredAttrs =
    FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System | FileAttr::Archive;

struct DosMeta {
    bool present = false;
    uint32_t attrs = FileAttr::Archive;
    int64_t clearedSec = 0;
    int64_t clearedNsec = 0;
    FileTime creation = 0;
};

DosMeta ReadMeta(const std::string& host) {
    DosMeta meta;
    char buf[128];
    ssize_t n = lgetxattr(host.c_str(), kDosXattr, buf, sizeof buf - 1);
    if (n <= 0) return meta;
    buf[n] = 0;
    unsigned attrs = 0;
    long long sec = 0, nsec = 0;
    unsigned long long creation = 0;
    if (std::sscanf(buf, "%u %lld %lld %llu", &attrs, &sec, &nsec, &creation) == 4) {
        meta.present = true;
        meta.attrs = attrs & kStoredAttrs;
        meta.clearedSec = sec;
        meta.clearedNsec = nsec;
        meta.creation = creation;
    }
    return meta;
}

void WriteMeta(const std::string& host, const DosMeta& meta) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, "%u %lld %lld %llu", meta.attrs,
                          static_cast<long long>(meta.clearedSec),
                          static_cast<long long>(meta.clearedNsec),
                          static_cast<unsigned long long>(meta.creation));
    lsetxattr(host.c_str(), kDosXattr, buf, static_cast<size_t>(n), 0);
}

FileTime ToFileTime(const struct timespec& ts) {
    return UnixToFileTime(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec));
}

FileTime CreationOf(const std::string& host, const struct stat& st) {
    DosMeta meta = ReadMeta(host);
    if (meta.present && meta.creation != 0) return meta.creation;
    FileTime m = ToFileTime(st.st_mtim), c = ToFileTime(st.st_ctim);
    return m < c ? m : c;
}

// Attributes as Windows would report them. The archive bit counts as cleared only while
// the file is unchanged since it was cleared, so writes by any program set it again.
uint32_t AttributesOf(const std::string& host, const struct stat& st, bool isLink) {
    DosMeta meta = ReadMeta(host);
    uint32_t attrs = meta.attrs & (FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System);
    if (isLink) attrs |= FileAttr::ReparsePoint;
    if (S_ISDIR(st.st_mode)) return attrs | FileAttr::Directory;
    if (!meta.present) return attrs | FileAttr::Archive;
    bool archive = (meta.attrs & FileAttr::Archive) != 0 ||
                   st.st_mtim.tv_sec != meta.clearedSec || st.st_mtim.tv_nsec != meta.clearedNsec;
    if (archive) attrs |= FileAttr::Archive;
    return attrs == 0 ? FileAttr::Normal : attrs;
}

// A fresh file: creation time now, archive bit set.
void MarkCreated(const std::string& host) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0) return;
    DosMeta meta;
    meta.attrs = S_ISDIR(st.st_mode) ? 0 : FileAttr::Archive;
    meta.creation = ToFileTime(st.st_mtim);
    WriteMeta(host, meta);
}

void MarkChanged(const std::string& host) {
    DosMeta meta = ReadMeta(host);
    if (meta.present && (meta.attrs & FileAttr::Archive)) return;
    if (!meta.present) {
        struct stat st;
        if (stat(host.c_str(), &st) == 0) meta.creation = CreationOf(host, st);
    }
    meta.attrs |= FileAttr::Archive;
    WriteMeta(host, meta);
}

bool IsReadOnly(const std::string& host) {
    DosMeta meta = ReadMeta(host);
    return meta.present && (meta.attrs & FileAttr::ReadOnly);
}

long ErrnoToWin(int err) {
    switch (err) {
        case ENOENT: return WinError::FileNotFound;
        case ENOTDIR: return WinError::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return WinError::AccessDenied;
        case EEXIST: return WinError::FileExists;
        case ENOSPC: return WinError::DiskFull;
        case ENOTEMPTY: return WinError::DirNotEmpty;
        default: return WinError::InvalidParameter;
    }
}

void SetError(long* error, long value) {
    if (error) *error = value;
}

// Missing file vs. missing folder, as Windows tells them apart.
long NotFoundError(const std::string& host) {
    std::string parent = host.substr(0, host.find_last_of('/'));
    struct stat st;
    if (!parent.empty() && (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return WinError::PathNotFound;
    return WinError::FileNotFound;
}

// Windows refuses to delete a file that any process holds open; POSIX would unlink it from
// under the holder. Every open stream therefore holds a shared lock of the whole file (bound
// to the open file, so it ends with the last descriptor, also in a killed process), and
// DeleteFile refuses a file someone holds: a cleanup of stale temporary files never takes
// the file another running writer is still writing.
void HoldAgainstDeletion(int fd) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    (void)fcntl(fd, F_OFD_SETLK, &lock);  // a file system without locks just lacks the guard
}

bool HeldOpen(const std::string& host) {
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

void SyncFolderOf(const std::string& host) {
    const size_t slash = host.find_last_of('/');
    const std::string folder = slash == std::string::npos || slash == 0 ? std::string("/") : host.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);  // the rename is done either way; only its durability is at stake
    ::close(fd);
}

class PosixFileStream : public FileStream {
public:
    PosixFileStream(int fd, std::string host, bool writable, std::shared_ptr<PosixShareTable> shares,
                    long shareId)
        : fd_(fd), host_(std::move(host)), writable_(writable), shares_(std::move(shares)), shareId_(shareId) {
        HoldAgainstDeletion(fd_);
    }
    ~PosixFileStream() override { Close(); }

    size_t Read(void* buffer, size_t count) override {
        size_t done = 0;
        auto* out = static_cast<char*>(buffer);
        while (done < count) {
            ssize_t n = ::read(fd_, out + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
    bool Write(const void* data, size_t count) override {
        if (!writable_ || failed_) return false;
        const auto* in = static_cast<const char*>(data);
        size_t done = 0;
        while (done < count) {
            ssize_t n = ::write(fd_, in + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) { failed_ = true; return false; }
            done += static_cast<size_t>(n);
        }
        written_ = true;
        return true;
    }
    bool Seek(uint64_t position) override {
        return lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
    }
    uint64_t Position() override {
        off_t pos = lseek(fd_, 0, SEEK_CUR);
        return pos < 0 ? 0 : static_cast<uint64_t>(pos);
    }
    uint64_t Size() override {
        struct stat st;
        return fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }
    bool Truncate() override {
        if (!writable_) return false;
        written_ = true;
        return ftruncate(fd_, lseek(fd_, 0, SEEK_CUR)) == 0;
    }
    bool Flush() override {
        if (fd_ < 0 || failed_) return false;
        while (::fsync(fd_) != 0) {
            // A file system that cannot sync (a pipe, some network mounts) has nothing to flush.
            if (errno == EINVAL || errno == EROFS) return true;
            if (errno != EINTR) return false;
        }
        return true;
    }
    bool Close() override {
        if (fd_ < 0) return !failed_;
        bool ok = !failed_;
        if (::close(fd_) != 0) ok = false;
        fd_ = -1;
        shares_->Release(host_, shareId_);
        if (written_) MarkChanged(host_);
        return ok;
    }

private:
    int fd_;
    std::string host_;
    bool writable_;
    std::shared_ptr<PosixShareTable> shares_;
    long shareId_;
    bool written_ = false;
    bool failed_ = false;
};

bool HostCopy(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) { ::close(in); return false; }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { ok = false; break; }
        if (n == 0) break;
        if (::write(out, buf, static_cast<size_t>(n)) != n) { ok = false; break; }
    }
    ::close(in);
    if (::close(out) != 0) ok = false;
    return ok;
}

std::string SplitFolder(const std::string& pattern, std::string& namePattern) {
    size_t pos = pattern.find_last_of("\\/:");
    if (pos == std::string::npos) { namePattern = pattern; return std::string(); }
    namePattern = pattern.substr(pos + 1);
    return pattern.substr(0, pos + 1);
}

}  // namespace

bool PosixShareTable::Admit(const std::string& host, const Handle& handle, long& id) {
    auto& handles = open_[host];
    for (const auto& [heldId, held] : handles) {
        (void)heldId;
        if ((handle.read && !held.shareRead) || (handle.write && !held.shareWrite) ||
            (held.read && !handle.shareRead) || (held.write && !handle.shareWrite)) {
            return false;
        }
    }
    id = ++next_;
    handles[id] = handle;
    return true;
}

void PosixShareTable::Release(const std::string& host, long id) {
    auto it = open_.find(host);
    if (it == open_.end()) return;
    it->second.erase(id);
    if (it->second.empty()) open_.erase(it);
}

uint32_t PosixFiles::GetAttributes(const std::string& path) {
    std::string host = map_.HostPath(path);
    struct stat st, target;
    if (host.empty() || lstat(host.c_str(), &st) != 0) return FileAttr::Invalid;
    if (S_ISLNK(st.st_mode)) {
        if (stat(host.c_str(), &target) != 0) return FileAttr::ReparsePoint;
        return AttributesOf(host, target, true);
    }
    return AttributesOf(host, st, false);
}

bool PosixFiles::SetAttributes(const std::string& path, uint32_t attributes) {
    std::string host = map_.HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    DosMeta meta = ReadMeta(host);
    if (!meta.present) meta.creation = CreationOf(host, st);
    meta.attrs = attributes & kStoredAttrs;
    meta.clearedSec = st.st_mtim.tv_sec;
    meta.clearedNsec = st.st_mtim.tv_nsec;
    WriteMeta(host, meta);
    if (!S_ISDIR(st.st_mode)) {
        mode_t mode = (attributes & FileAttr::ReadOnly) ? (st.st_mode & ~0222) : (st.st_mode | 0200);
        chmod(host.c_str(), mode);
    }
    return true;
}

std::vector<FindEntry> PosixFiles::Find(const std::string& pattern) {
    std::vector<FindEntry> result;
    std::string namePattern;
    std::string folder = SplitFolder(pattern, namePattern);
    std::string hostFolder = map_.HostPath(folder.empty() ? map_.CurrentDir() : folder);
    if (hostFolder.empty() || namePattern.empty()) return result;
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return result;
    while (struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        std::string name = Utf8ToAnsi(entry->d_name);
        if (!WildcardMatch(namePattern, name)) continue;
        std::string host = hostFolder + "/" + entry->d_name;
        struct stat st;
        bool isLink = false;
        if (lstat(host.c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            isLink = true;
            struct stat target;
            if (stat(host.c_str(), &target) == 0) st = target;
        }
        FindEntry fe;
        fe.name = name;
        fe.attributes = AttributesOf(host, st, isLink);
        fe.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        fe.lastWriteTime = ToFileTime(st.st_mtim);
        fe.creationTime = CreationOf(host, st);
        result.push_back(std::move(fe));
    }
    closedir(dir);
    return result;
}

std::unique_ptr<FileStream> PosixFiles::Open(const std::string& path, OpenMode mode, long* error) {
    std::string host = map_.HostPath(path);
    SetError(error, WinError::Success);
    if (host.empty()) { SetError(error, WinError::PathNotFound); return nullptr; }
    struct stat st;
    bool exists = stat(host.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) { SetError(error, WinError::AccessDenied); return nullptr; }
    int flags = O_CLOEXEC;
    bool writable = OpensForWriting(mode);
    if (writable && exists && IsReadOnly(host)) {
        SetError(error, WinError::AccessDenied);
        return nullptr;
    }
    switch (mode) {
        case OpenMode::Read:
        case OpenMode::ReadShared: flags |= O_RDONLY; break;
        case OpenMode::ReadWrite: flags |= O_RDWR; break;
        case OpenMode::CreateAlways: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    // The sharing of the Win32 backend: readers let others read (ReadShared also write),
    // writers let others only read.
    PosixShareTable::Handle handle;
    handle.read = true;
    handle.write = writable;
    handle.shareRead = true;
    handle.shareWrite = mode == OpenMode::ReadShared;
    long shareId = 0;
    if (exists && !shares_->Admit(host, handle, shareId)) {
        SetError(error, WinError::SharingViolation);
        return nullptr;
    }
    int fd = ::open(host.c_str(), flags, 0644);
    if (fd < 0) {
        int err = errno;
        if (exists) shares_->Release(host, shareId);
        SetError(error, err == ENOENT ? NotFoundError(host) : ErrnoToWin(err));
        return nullptr;
    }
    if (!exists) {
        MarkCreated(host);
        (void)shares_->Admit(host, handle, shareId);  // nobody else can hold a new file
    } else if (mode == OpenMode::CreateAlways) {
        MarkChanged(host);
    }
    return std::make_unique<PosixFileStream>(fd, host, writable, shares_, shareId);
}

bool PosixFiles::CreateDirectory(const std::string& path, long* error) {
    std::string host = map_.HostPath(path);
    if (host.empty()) { SetError(error, WinError::PathNotFound); return false; }
    if (mkdir(host.c_str(), 0755) != 0) {
        int err = errno;
        SetError(error, err == EEXIST ? WinError::AlreadyExists
                        : err == ENOENT ? WinError::PathNotFound : ErrnoToWin(err));
        return false;
    }
    MarkCreated(host);
    SetError(error, WinError::Success);
    return true;
}

bool PosixFiles::RemoveDirectory(const std::string& path) {
    std::string host = map_.HostPath(path);
    if (host.empty() || IsReadOnly(host)) return false;
    return rmdir(host.c_str()) == 0;
}

bool PosixFiles::DeleteFile(const std::string& path, long* error) {
    std::string host = map_.HostPath(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) {
        SetError(error, host.empty() ? WinError::PathNotFound : NotFoundError(host));
        return false;
    }
    if (S_ISDIR(st.st_mode) || IsReadOnly(host)) {
        SetError(error, WinError::AccessDenied);
        return false;
    }
    if (S_ISREG(st.st_mode) && HeldOpen(host)) {
        SetError(error, WinError::SharingViolation);
        return false;
    }
    if (unlink(host.c_str()) != 0) { SetError(error, ErrnoToWin(errno)); return false; }
    SetError(error, WinError::Success);
    return true;
}

bool PosixFiles::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::string src = map_.HostPath(from), dst = map_.HostPath(to);
    struct stat st, dstStat;
    if (src.empty() || dst.empty() || stat(src.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    bool dstExists = stat(dst.c_str(), &dstStat) == 0;
    if (dstExists && (failIfExists || S_ISDIR(dstStat.st_mode) || IsReadOnly(dst))) return false;
    if (!HostCopy(src, dst)) return false;
    // As CopyFile does: the copy keeps the write time and attributes, gets a new creation time.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, dst.c_str(), times, 0);
    DosMeta srcMeta = ReadMeta(src);
    DosMeta meta;
    struct stat now;
    stat(dst.c_str(), &now);
    meta.attrs = (srcMeta.present ? srcMeta.attrs : 0) | FileAttr::Archive;
    meta.creation = dstExists ? CreationOf(dst, dstStat) : UnixToFileTime(time(nullptr));
    WriteMeta(dst, meta);
    return true;
}

bool PosixFiles::MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                          long* error) {
    std::string src = map_.HostPath(from), dst = map_.HostPath(to);
    struct stat st;
    if (src.empty() || dst.empty()) { SetError(error, WinError::PathNotFound); return false; }
    if (lstat(src.c_str(), &st) != 0) { SetError(error, NotFoundError(src)); return false; }
    struct stat dstStat;
    bool same = src == dst;
    if (!same && lstat(dst.c_str(), &dstStat) == 0) {
        if (!replaceExisting || S_ISDIR(dstStat.st_mode) || IsReadOnly(dst)) {
            SetError(error, replaceExisting ? WinError::AccessDenied : WinError::AlreadyExists);
            return false;
        }
    }
    if (rename(src.c_str(), dst.c_str()) != 0) {
        int err = errno;
        if (err != EXDEV || S_ISDIR(st.st_mode)) { SetError(error, ErrnoToWin(err)); return false; }
        // Another volume: copy, then delete, as MoveFileEx with MOVEFILE_COPY_ALLOWED.
        if (!HostCopy(src, dst)) { SetError(error, WinError::DiskFull); return false; }
        unlink(src.c_str());
    }
    // A replace is on the disk when it returns, as MOVEFILE_WRITE_THROUGH makes it on Windows.
    if (replaceExisting) SyncFolderOf(dst);
    SetError(error, WinError::Success);
    return true;
}

bool PosixFiles::MoveFileAtRestart(const std::string& from, const std::string& to) {
    if (map_.HostPath(from).empty()) return false;
    restartMoves_.emplace_back(from, to);
    return true;
}

bool PosixFiles::GetTimes(const std::string& path, FileTime* creation, FileTime* lastWrite) {
    std::string host = map_.HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    if (creation) *creation = CreationOf(host, st);
    if (lastWrite) *lastWrite = ToFileTime(st.st_mtim);
    return true;
}

bool PosixFiles::SetTimes(const std::string& path, const FileTime* creation,
                          const FileTime* lastWrite) {
    std::string host = map_.HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || IsReadOnly(host)) return false;
    DosMeta meta = ReadMeta(host);
    if (!meta.present) meta.creation = CreationOf(host, st);
    if (lastWrite) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[0].tv_sec = 0;
        times[1].tv_sec = FileTimeToUnix(*lastWrite);
        times[1].tv_nsec = static_cast<long>((*lastWrite % 10000000ULL) * 100);
        if (utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return false;
        // Setting the time is a change of the file, as on Windows.
        meta.attrs |= FileAttr::Archive;
    }
    if (creation) meta.creation = *creation;
    meta.present = true;
    WriteMeta(host, meta);
    return true;
}

int64_t PosixFiles::FreeBytes(const std::string& path) {
    std::string host = map_.HostPath(path);
    if (host.empty()) return -1;
    struct statvfs vfs;
    // The nearest existing folder tells the volume.
    while (!host.empty() && statvfs(host.c_str(), &vfs) != 0) {
        size_t slash = host.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return -1;
        host.resize(slash);
    }
    if (host.empty()) return -1;
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

bool PosixFiles::VolumeReady(const std::string& root) {
    std::string host = map_.HostPath(root);
    struct stat st;
    return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFiles::IsOpticalDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           opticalDrives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))) !=
               std::string::npos;
}

long PosixFiles::ConnectShare(const std::string& remote) {
    std::string host = map_.HostPath(remote);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return WinError::BadNetName;
    return WinError::Success;
}

// As GetCurrentDirectory: "C:\\" at a root, otherwise without trailing backslash.
std::string PosixFiles::CurrentDirectory() {
    const std::string& dir = map_.CurrentDir();
    return dir.size() <= 3 ? dir : ExcludeTrailingBackslash(dir);
}

bool PosixFiles::SetCurrentDirectory(const std::string& path) {
    if (path.empty()) return false;
    std::string canonical = map_.CanonicalPath(path);
    if (!DirectoryExists(*this, canonical)) return false;
    map_.SetCurrentDir(IncludeTrailingBackslash(canonical));
    return true;
}

std::string PosixFiles::ShortPath(const std::string& path) {
    // No 8.3 names here: the long form is the only one.
    return GetAttributes(path) == FileAttr::Invalid ? std::string() : map_.CanonicalPath(path);
}

std::string PosixFiles::LongPath(const std::string& path) {
    return GetAttributes(path) == FileAttr::Invalid ? std::string() : map_.CanonicalPath(path);
}

int PosixFiles::FolderWriteAccess(const std::string& folder) {
    std::string host = map_.HostPath(folder);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
    return access(host.c_str(), W_OK) == 0 ? 1 : 0;
}

}  // namespace bv
