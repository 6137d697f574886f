#include "platform/path.h"

#include "platform/ansi.h"
#include "platform/files.h"

namespace bv {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Position after the drive part ("C:" or "\\server\share"), 0 when there is none.
size_t DriveLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t server = path.find_first_of("\\/", 2);
        if (server == std::string::npos) return path.size();
        size_t share = path.find_first_of("\\/", server + 1);
        return share == std::string::npos ? path.size() : share;
    }
    return 0;
}

bool GlobMatch(const char* p, const char* pEnd, const char* n, const char* nEnd) {
    // Iterative matcher with single-star backtracking: linear in practice, no recursion.
    const char* starP = nullptr;
    const char* starN = nullptr;
    while (n < nEnd) {
        if (p < pEnd && *p == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pEnd && (*p == '?' || AnsiUpperChar(*p) == AnsiUpperChar(*n))) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pEnd && *p == '*') ++p;
    return p == pEnd;
}

}  // namespace

std::string IncludeTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path;
    return path + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

std::string ExtractFilePath(const std::string& path) {
    size_t pos = path.find_last_of("\\:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
    size_t pos = path.find_last_of("\\:");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return false;
    // Windows drops trailing dots and blanks, so "..." and ". ." name the folder itself.
    return name.find_first_not_of(". ") != std::string::npos;
}

std::string ExtractFileExt(const std::string& path) {
    size_t pos = path.find_last_of(".\\:");
    if (pos == std::string::npos || path[pos] != '.') return std::string();
    return path.substr(pos);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
    size_t pos = path.find_last_of(".\\:");
    if (pos == std::string::npos || path[pos] != '.') return path + extension;
    return path.substr(0, pos) + extension;
}

std::string ExtractFileDrive(const std::string& path) {
    return path.substr(0, DriveLength(path));
}

bool IsAbsolutePath(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return true;
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (GlobMatch(pattern.data(), pattern.data() + pattern.size(), name.data(),
                  name.data() + name.size()))
        return true;
    // As on Windows, "name.*" also matches "name", and "*." matches names without a dot.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos)
        return GlobMatch(pattern.data(), pattern.data() + pattern.size() - 2, name.data(),
                         name.data() + name.size());
    if (!pattern.empty() && pattern.back() == '.' && name.find('.') == std::string::npos)
        return GlobMatch(pattern.data(), pattern.data() + pattern.size() - 1, name.data(),
                         name.data() + name.size());
    return false;
}

bool FileExists(Files& files, const std::string& path) {
    uint32_t attr = files.GetAttributes(path);
    return attr != FileAttr::Invalid && (attr & FileAttr::Directory) == 0;
}

bool DirectoryExists(Files& files, const std::string& path) {
    uint32_t attr = files.GetAttributes(ExcludeTrailingBackslash(path));
    if (attr == FileAttr::Invalid) attr = files.GetAttributes(IncludeTrailingBackslash(path));
    return attr != FileAttr::Invalid && (attr & FileAttr::Directory) != 0;
}

bool ForceDirectories(Files& files, const std::string& path) {
    std::string dir = ExcludeTrailingBackslash(path);
    if (dir.empty()) return false;
    if (DirectoryExists(files, dir)) return true;
    const size_t driveLength = DriveLength(dir);
    if (dir.size() <= driveLength) return DirectoryExists(files, dir + "\\");
    std::string parent = ExcludeTrailingBackslash(ExtractFilePath(dir));
    if (parent.size() > driveLength && parent != dir && !ForceDirectories(files, parent))
        return false;
    if (files.CreateDirectory(dir)) return true;
    return DirectoryExists(files, dir);
}

namespace {
constexpr int64_t kFileTimeUnixOffset = 11644473600LL;  // seconds from 1601 to 1970
}

FileTime UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
    return static_cast<FileTime>((seconds + kFileTimeUnixOffset) * 10000000LL + nanoseconds / 100);
}

int64_t FileTimeToUnix(FileTime time) {
    return static_cast<int64_t>(time / 10000000ULL) - kFileTimeUnixOffset;
}

}  // namespace bv
