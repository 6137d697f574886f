// Files through kernel32. Sizes and positions are 64-bit on every Windows version
// (SetFilePointer and GetFileSize with their high parts; the ...Ex forms are 2000+).
#include "platform/win32/win32_files.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"

namespace bv {
namespace win32 {

std::string VolumeRoot(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t server = path.find('\\', 2);
        if (server == std::string::npos || server == 2) return std::string();
        size_t share = path.find('\\', server + 1);
        if (share == std::string::npos) return path + "\\";
        return path.substr(0, share + 1);
    }
    return std::string();
}

std::string LongPathByFind(const std::string& path) {
    std::string root = VolumeRoot(path);
    if (root.empty()) return path;
    std::string result = root;
    size_t pos = root.size();
    // "C:" without backslash: VolumeRoot added one that the path does not have.
    if (pos > path.size() || path.compare(0, pos, root) != 0) return path;
    while (pos < path.size()) {
        size_t end = path.find('\\', pos);
        std::string part = path.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? path.size() : end + 1;
        if (part.empty()) continue;
        if (part == "." || part == ".." || part.find_first_of("*?") != std::string::npos) {
            result += part;
        } else {
            WIN32_FIND_DATAA data;
            HANDLE find = FindFirstFileA((result + part).c_str(), &data);
            if (find == INVALID_HANDLE_VALUE) return path;
            FindClose(find);
            result += data.cFileName;
        }
        if (end != std::string::npos) result += '\\';
    }
    return result;
}

}  // namespace win32

namespace {

FileTime ToFileTime(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromFileTime(FileTime t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

void SetError(long* error, long value) {
    if (error) *error = value;
}

class Win32FileStream : public FileStream {
public:
    explicit Win32FileStream(HANDLE handle) : handle_(handle) {}
    ~Win32FileStream() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    size_t Read(void* buffer, size_t count) override {
        size_t total = 0;
        char* out = static_cast<char*>(buffer);
        while (total < count) {
            DWORD chunk = static_cast<DWORD>(count - total > kChunk ? kChunk : count - total);
            DWORD got = 0;
            if (!ReadFile(handle_, out + total, chunk, &got, nullptr) || got == 0) break;
            total += got;
        }
        return total;
    }

    bool Write(const void* data, size_t count) override {
        const char* in = static_cast<const char*>(data);
        size_t total = 0;
        while (total < count) {
            // Very large single writes fail on network drives of older Windows versions.
            DWORD chunk = static_cast<DWORD>(count - total > kChunk ? kChunk : count - total);
            DWORD written = 0;
            if (!WriteFile(handle_, in + total, chunk, &written, nullptr) || written != chunk) {
                failed_ = true;
                return false;
            }
            total += written;
        }
        return true;
    }

    bool Seek(uint64_t position) override {
        LONG high = static_cast<LONG>(position >> 32);
        // A low part of 0xFFFFFFFF is a valid answer: only the error code tells.
        SetLastError(NO_ERROR);
        DWORD low = SetFilePointer(handle_, static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
        return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
    }

    uint64_t Position() override {
        LONG high = 0;
        SetLastError(NO_ERROR);
        DWORD low = SetFilePointer(handle_, 0, &high, FILE_CURRENT);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
        return (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    }

    uint64_t Size() override {
        DWORD high = 0;
        SetLastError(NO_ERROR);
        DWORD low = GetFileSize(handle_, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
        return (static_cast<uint64_t>(high) << 32) | low;
    }

    bool Truncate() override { return SetEndOfFile(handle_) != FALSE; }

    bool Flush() override { return !failed_ && FlushFileBuffers(handle_) != FALSE; }

    bool Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return !failed_;
        // Delayed write errors (network drives) surface when the handle closes.
        bool closed = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return closed && !failed_;
    }

private:
    static constexpr size_t kChunk = 8u << 20;
    HANDLE handle_;
    bool failed_ = false;
};

// Windows 9x has no MoveFileEx: the moves at restart go into WININIT.INI's [rename]
// section, where a key may repeat (several "NUL=" lines), so the section is rewritten
// as a whole. The names there must be short ones.
bool MoveAtRestartWin9x(const std::string& from, const std::string& to) {
    char shortFrom[MAX_PATH];
    DWORD n = GetShortPathNameA(from.c_str(), shortFrom, sizeof shortFrom);
    std::string source = (n > 0 && n < sizeof shortFrom) ? std::string(shortFrom, n) : from;
    std::string target = "NUL";
    if (!to.empty()) {
        target = to;
        size_t slash = to.find_last_of('\\');
        if (slash != std::string::npos) {
            char shortFolder[MAX_PATH];
            std::string folder = to.substr(0, slash);
            DWORD m = GetShortPathNameA(folder.c_str(), shortFolder, sizeof shortFolder);
            if (m > 0 && m < sizeof shortFolder) target = std::string(shortFolder, m) + to.substr(slash);
        }
    }
    std::vector<char> section(32767);
    DWORD length = GetPrivateProfileSectionA("rename", section.data(), static_cast<DWORD>(section.size()),
                                             "WININIT.INI");
    std::string lines(section.data(), length);  // "k=v\0k=v\0"
    lines += target + "=" + source;
    lines.push_back('\0');
    lines.push_back('\0');
    return WritePrivateProfileSectionA("rename", lines.c_str(), "WININIT.INI") != FALSE;
}

class Win32Files : public Files {
public:
    uint32_t GetAttributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }

    bool SetAttributes(const std::string& path, uint32_t attributes) override {
        return SetFileAttributesA(path.c_str(), attributes) != FALSE;
    }

    std::vector<FindEntry> Find(const std::string& pattern) override {
        std::vector<FindEntry> result;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return result;
        do {
            if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) continue;
            FindEntry entry;
            entry.name = data.cFileName;
            entry.attributes = data.dwFileAttributes;
            entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            entry.creationTime = ToFileTime(data.ftCreationTime);
            entry.lastWriteTime = ToFileTime(data.ftLastWriteTime);
            result.push_back(std::move(entry));
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return result;
    }

    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode, long* error) override {
        DWORD access = GENERIC_READ | GENERIC_WRITE;
        DWORD disposition = OPEN_EXISTING;
        DWORD share = FILE_SHARE_READ;
        switch (mode) {
            case OpenMode::Read: access = GENERIC_READ; break;
            case OpenMode::ReadShared: access = GENERIC_READ; share |= FILE_SHARE_WRITE; break;
            case OpenMode::ReadWrite: break;
            case OpenMode::CreateAlways: disposition = CREATE_ALWAYS; break;
            case OpenMode::CreateNew: disposition = CREATE_NEW; break;
        }
        HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            SetError(error, static_cast<long>(GetLastError()));
            return nullptr;
        }
        SetError(error, 0);
        return std::make_unique<Win32FileStream>(handle);
    }

    bool CreateDirectory(const std::string& path, long* error) override {
        bool ok = CreateDirectoryA(path.c_str(), nullptr) != FALSE;
        SetError(error, ok ? 0 : static_cast<long>(GetLastError()));
        return ok;
    }

    bool RemoveDirectory(const std::string& path) override { return RemoveDirectoryA(path.c_str()) != FALSE; }

    bool DeleteFile(const std::string& path, long* error) override {
        bool ok = DeleteFileA(path.c_str()) != FALSE;
        SetError(error, ok ? 0 : static_cast<long>(GetLastError()));
        return ok;
    }

    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
    }

    bool MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                  long* error) override {
        bool ok;
        if (!replaceExisting) {
            ok = MoveFileA(from.c_str(), to.c_str()) != FALSE;
        } else {
            // One rename on the same volume; across volumes a copy as MoveFileA does. Written
            // through: what the caller does next (clearing archive attributes) must not reach
            // the disk before the replace does.
            ok = MoveFileExA(from.c_str(), to.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
            if (!ok && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
                // Windows 9x has no replacing rename: the old file steps aside under another
                // name and is deleted only once the new one is in place, so a failure never
                // leaves neither.
                const std::string aside = to + ".~bv";
                const bool hadTarget = GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES;
                if (hadTarget) {
                    DeleteFileA(aside.c_str());
                    if (!MoveFileA(to.c_str(), aside.c_str())) {
                        SetError(error, static_cast<long>(GetLastError()));
                        return false;
                    }
                }
                ok = MoveFileA(from.c_str(), to.c_str()) != FALSE;
                const DWORD moveError = GetLastError();
                if (hadTarget) {
                    if (ok) DeleteFileA(aside.c_str());
                    else MoveFileA(aside.c_str(), to.c_str());
                }
                if (!ok) SetLastError(moveError);
            }
        }
        SetError(error, ok ? 0 : static_cast<long>(GetLastError()));
        return ok;
    }

    bool MoveFileAtRestart(const std::string& from, const std::string& to) override {
        DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | (to.empty() ? 0 : MOVEFILE_REPLACE_EXISTING);
        if (MoveFileExA(from.c_str(), to.empty() ? nullptr : to.c_str(), flags)) return true;
        if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return MoveAtRestartWin9x(from, to);
        return false;
    }

    bool GetTimes(const std::string& path, FileTime* creation, FileTime* lastWrite) override {
        // The open file tells the current times; Windows 9x cannot open folders, so
        // their directory entry serves there.
        HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        FILETIME created, written;
        if (handle != INVALID_HANDLE_VALUE) {
            bool ok = GetFileTime(handle, &created, nullptr, &written) != FALSE;
            CloseHandle(handle);
            if (!ok) return false;
        } else {
            if (path.find_first_of("*?") != std::string::npos) return false;
            WIN32_FIND_DATAA data;
            HANDLE find = FindFirstFileA(path.c_str(), &data);
            if (find == INVALID_HANDLE_VALUE) return false;
            FindClose(find);
            created = data.ftCreationTime;
            written = data.ftLastWriteTime;
        }
        if (creation) *creation = ToFileTime(created);
        if (lastWrite) *lastWrite = ToFileTime(written);
        return true;
    }

    bool SetTimes(const std::string& path, const FileTime* creation, const FileTime* lastWrite) override {
        HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE && IsWin9xCached()) {
            handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        }
        if (handle == INVALID_HANDLE_VALUE) return false;
        FILETIME created = creation ? FromFileTime(*creation) : FILETIME{};
        FILETIME written = lastWrite ? FromFileTime(*lastWrite) : FILETIME{};
        bool ok = SetFileTime(handle, creation ? &created : nullptr, nullptr,
                              lastWrite ? &written : nullptr) != FALSE;
        CloseHandle(handle);
        return ok;
    }

    int64_t FreeBytes(const std::string& path) override {
        // Windows 95 before OSR2 has only GetDiskFreeSpaceA, which ends at 2 GB.
        static const auto getFreeEx = GET_WINDOWS_FUNCTION("kernel32.dll", GetDiskFreeSpaceExA);
        if (getFreeEx) {
            std::string folder = path;
            if (!folder.empty() && folder.back() != '\\') folder += '\\';
            ULARGE_INTEGER available, total, free;
            if (!getFreeEx(folder.c_str(), &available, &total, &free)) return -1;
            return static_cast<int64_t>(available.QuadPart);
        }
        std::string root = win32::VolumeRoot(path);
        DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
        if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster,
                               &bytesPerSector, &freeClusters, &clusters)) {
            return -1;
        }
        return static_cast<int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    }

    bool VolumeReady(const std::string& root) override {
        // No "insert a disk" dialog for an empty drive: the answer is just "not ready".
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
        bool ok = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
        SetErrorMode(previous);
        return ok;
    }

    bool IsOpticalDrive(const std::string& path) override {
        const std::string root = win32::VolumeRoot(path);
        return !root.empty() && GetDriveTypeA(root.c_str()) == DRIVE_CDROM;
    }

    long ConnectShare(const std::string& remote) override {
        NETRESOURCEA resource = {};
        resource.dwType = RESOURCETYPE_ANY;
        resource.lpRemoteName = const_cast<char*>(remote.c_str());
        return static_cast<long>(WNetAddConnection2A(&resource, nullptr, nullptr, 0));
    }

    std::string CurrentDirectory() override {
        std::vector<char> buffer(MAX_PATH);
        for (;;) {
            DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
            if (n == 0) return std::string();
            if (n < buffer.size()) return std::string(buffer.data(), n);
            buffer.resize(n + 1);
        }
    }

    bool SetCurrentDirectory(const std::string& path) override {
        return SetCurrentDirectoryA(path.c_str()) != FALSE;
    }

    std::string ShortPath(const std::string& path) override {
        std::vector<char> buffer(MAX_PATH);
        DWORD n = GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size()) {
            buffer.resize(n + 1);
            n = GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        }
        if (n == 0 || n >= buffer.size()) return path;
        return std::string(buffer.data(), n);
    }

    std::string LongPath(const std::string& path) override {
        // Windows 98 and 2000 on; older systems find each component.
        static const auto getLong = GET_WINDOWS_FUNCTION("kernel32.dll", GetLongPathNameA);
        if (!getLong) return win32::LongPathByFind(path);
        std::vector<char> buffer(MAX_PATH);
        DWORD n = getLong(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size()) {
            buffer.resize(n + 1);
            n = getLong(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        }
        if (n == 0 || n >= buffer.size()) return path;
        return std::string(buffer.data(), n);
    }

    int FolderWriteAccess(const std::string& folder) override;

private:
    static bool IsWin9xCached() {
        static const bool win9x = win32::IsWin9x();
        return win9x;
    }
};

// Asks the folder's security descriptor whether the caller's token has write access
// (GENERIC_WRITE under the file mapping: adding files and folders, writing attributes),
// the way the system itself would decide (no test file is written). A folder that only
// lets files be added answers no here; the caller's probe file then decides. Windows 9x
// has no security: the answer there is "cannot tell".
int Win32Files::FolderWriteAccess(const std::string& folder) {
    if (IsWin9xCached()) return -1;
    static const auto getSecurity = GET_WINDOWS_FUNCTION("advapi32.dll", GetFileSecurityA);
    static const auto openThreadToken = GET_WINDOWS_FUNCTION("advapi32.dll", OpenThreadToken);
    static const auto openProcessToken = GET_WINDOWS_FUNCTION("advapi32.dll", OpenProcessToken);
    static const auto duplicateToken = GET_WINDOWS_FUNCTION("advapi32.dll", DuplicateToken);
    static const auto mapGenericMask = GET_WINDOWS_FUNCTION("advapi32.dll", MapGenericMask);
    static const auto accessCheck = GET_WINDOWS_FUNCTION("advapi32.dll", AccessCheck);
    if (!getSecurity || !openThreadToken || !openProcessToken || !duplicateToken || !mapGenericMask ||
        !accessCheck) {
        return -1;
    }

    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    getSecurity(folder.c_str(), what, nullptr, 0, &needed);
    if (needed == 0) return -1;
    std::vector<BYTE> descriptor(needed);
    if (!getSecurity(folder.c_str(), what, descriptor.data(), needed, &needed)) return -1;

    HANDLE token = nullptr;
    const DWORD tokenAccess = TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE | STANDARD_RIGHTS_READ;
    if (!openThreadToken(GetCurrentThread(), tokenAccess, TRUE, &token) &&
        !openProcessToken(GetCurrentProcess(), tokenAccess, &token)) {
        return -1;
    }
    HANDLE impersonation = nullptr;
    bool duplicated = duplicateToken(token, SecurityImpersonation, &impersonation) != FALSE;
    CloseHandle(token);
    if (!duplicated) return -1;

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD desired = GENERIC_WRITE;
    mapGenericMask(&desired, &mapping);
    BYTE privileges[sizeof(PRIVILEGE_SET) + 8 * sizeof(LUID_AND_ATTRIBUTES)];
    DWORD privilegesLength = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    BOOL checked = accessCheck(descriptor.data(), impersonation, desired, &mapping,
                               reinterpret_cast<PRIVILEGE_SET*>(privileges), &privilegesLength,
                               &granted, &allowed);
    CloseHandle(impersonation);
    if (!checked) return -1;
    return allowed ? 1 : 0;
}

}  // namespace

std::unique_ptr<Files> CreateWin32Files() { return std::make_unique<Win32Files>(); }

}  // namespace bv
