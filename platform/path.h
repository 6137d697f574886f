// Windows path rules for the portable code: drives, UNC shares, trailing backslashes,
// case-insensitive names and wildcards.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace bv {

class Files;

std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);
// Folder part including its trailing backslash ("C:\a\b.txt" -> "C:\a\").
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// Extension with its dot, or empty ("b.TXT" -> ".TXT").
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// "C:" for "C:\x", "\\server\share" for "\\server\share\x", empty otherwise.
std::string ExtractFileDrive(const std::string& path);
bool IsAbsolutePath(const std::string& path);
// The name of one file inside a folder: not empty, no folder or drive part (neither
// separator), and not a name that Windows reads as "." or "..".
bool IsPlainFileName(const std::string& name);

// Windows wildcard match of a file name (case-insensitive; "*.*" matches names without a dot).
bool WildcardMatch(const std::string& pattern, const std::string& name);

bool FileExists(Files& files, const std::string& path);
bool DirectoryExists(Files& files, const std::string& path);
// Creates a folder with all missing parents; true if it exists afterwards.
bool ForceDirectories(Files& files, const std::string& path);

// FILETIME <-> seconds since 1970 (UTC).
FileTime UnixToFileTime(int64_t seconds, uint32_t nanoseconds = 0);
int64_t FileTimeToUnix(FileTime time);

}  // namespace bv
