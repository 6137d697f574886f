#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"

namespace bv {
namespace {

std::vector<std::string> SplitComponents(const std::string& path, size_t from) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = from; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    return parts;
}

// The stored spelling of `name` in a host folder, or empty if there is none.
std::string MatchEntry(const std::string& hostFolder, const std::string& name) {
    std::string exact = AnsiToUtf8(name);
    struct stat st;
    if (lstat((hostFolder + "/" + exact).c_str(), &st) == 0) return exact;
    DIR* dir = opendir(hostFolder.empty() ? "/" : hostFolder.c_str());
    if (!dir) return std::string();
    std::string found;
    while (struct dirent* entry = readdir(dir)) {
        if (SameText(Utf8ToAnsi(entry->d_name), name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

PosixPathMap::PosixPathMap(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

void PosixPathMap::MapDrive(char letter, const std::string& hostFolder) {
    std::string folder = hostFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    drives_[AnsiUpperChar(letter)] = folder == "/" ? std::string() : folder;
}

bool PosixPathMap::HasDrive(char letter) const { return drives_.count(AnsiUpperChar(letter)) != 0; }

std::string PosixPathMap::Absolute(const std::string& windowsPath) const {
    if (IsAbsolutePath(windowsPath)) return windowsPath;
    if (windowsPath.size() >= 2 && windowsPath[1] == ':') {
        // "C:" or "C:rel": relative to the root of that drive.
        return windowsPath.substr(0, 2) + "\\" + windowsPath.substr(2);
    }
    if (!windowsPath.empty() && (windowsPath[0] == '\\' || windowsPath[0] == '/'))
        return currentDir_.substr(0, 2) + windowsPath;
    return IncludeTrailingBackslash(currentDir_) + windowsPath;
}

std::string PosixPathMap::HostPath(const std::string& windowsPath) const {
    if (windowsPath.empty()) return std::string();
    std::string path = Absolute(windowsPath);
    std::string host;
    size_t rest;
    if (path[1] == ':') {
        auto it = drives_.find(AnsiUpperChar(path[0]));
        if (it == drives_.end()) return std::string();
        host = it->second;
        rest = 2;
    } else {
        // \\server\share: below <root>/unc/server/share.
        std::vector<std::string> parts = SplitComponents(path, 2);
        if (parts.size() < 2) return std::string();
        host = root_ + "/unc";
        for (size_t i = 0; i < 2; ++i) {
            std::string match = MatchEntry(host, parts[i]);
            if (match.empty()) return std::string();
            host += "/" + match;
        }
        std::string drive = ExtractFileDrive(path);
        rest = drive.size();
    }
    bool resolving = true;
    for (const std::string& part : SplitComponents(path, rest)) {
        std::string match = resolving ? MatchEntry(host, part) : std::string();
        if (match.empty()) {
            resolving = false;
            match = AnsiToUtf8(part);
        }
        host += "/" + match;
    }
    return host.empty() ? "/" : host;
}

std::string PosixPathMap::CanonicalPath(const std::string& windowsPath) const {
    if (windowsPath.empty()) return std::string();
    std::string path = Absolute(windowsPath);
    std::string drive = ExtractFileDrive(path);
    if (drive.size() == 2) drive[0] = AnsiUpperChar(drive[0]);
    std::string host = HostPath(drive + "\\");
    if (host.empty()) return path;
    std::string result = drive;
    bool resolving = true;
    for (const std::string& part : SplitComponents(path, ExtractFileDrive(path).size())) {
        std::string match = resolving ? MatchEntry(host == "/" ? "" : host, part) : std::string();
        if (match.empty()) {
            resolving = false;
            result += "\\" + part;
        } else {
            host = (host == "/" ? "" : host) + "/" + match;
            result += "\\" + Utf8ToAnsi(match);
        }
    }
    if (result == drive) result += "\\";
    return result;
}

}  // namespace bv
