// Small stateless routines shared by the dialogs and the backup engine: texts, numbers,
// dates, files and folders, drives, the Windows version and running processes.
// Character positions are 1-based; 0 means "not found".
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "brevisto/support/convert_error.h"
#include "platform/platform.h"

namespace bv {

// ---- Text and numbers ----------------------------------------------------------------

int LastPos(const std::string& substring, const std::string& text);
// Replaces every occurrence, including those that a replacement creates; a replacement
// that contains the pattern is replaced once per occurrence, left to right.
std::string ReplaceText(const std::string& text, const std::string& pattern,
                        const std::string& replacement);
// One left-to-right pass that stops at the first occurrence not after the last replacement.
std::string ReplaceTextOnward(const std::string& text, const std::string& pattern,
                              const std::string& replacement);
std::vector<std::string> SplitString(const std::string& separator, const std::string& text,
                                     int limit = 0);
std::string GroupDigits(int groupSize, int64_t value);
// "1024 Bytes", "1,0 kB", "1,4 MB" (one decimal, strictly above 1024 per step).
std::string FormatByteSize(int64_t value, char decimalSeparator);
// "1023 Bytes", "1,50 KB", "1,00 GB" (two decimals).
std::string SizeText(int64_t value, char decimalSeparator);
std::string FileSizeText(Platform& platform, const std::string& path);
// "DD.MM.YYYY", independent of the user's settings.
std::string DateText(const DateTime& date);
int64_t HexToInt(const std::string& text);

// ---- Windows version -----------------------------------------------------------------

enum WindowsVersionIndex {
    wvUnknown = -1,
    wv95 = 0,
    wv98 = 1,
    wv98SE = 2,
    wvME = 3,
    wvNT = 4,
    wv2000 = 5,
    wvXP = 6,
    wv2003 = 7,
    wvVista = 8,
    wv7 = 9,
};

// The version index; an NT version outside the table shows "Unbekanntes Betriebssystem!".
int GetWindowsVersion(System& system, Prompter& prompter);
// The name of an index; for an index without a name, `name` stays as passed in.
void WindowsVersionName(int index, std::string& name);
std::string WindowsVersionName(int index);

// ---- Files and folders ---------------------------------------------------------------

void ClearReadOnlyHidden(Files& files, const std::string& path);
// Size of the first directory entry matching the pattern; 0 if none.
uint64_t FileSizeOf(Files& files, const std::string& pattern);
// Entries (files and folders) of `folder` (with trailing backslash) matching `mask`;
// recursively also those of subfolders whose names do not begin with ".". Links and
// junctions are never followed.
int CountFiles(Files& files, const std::string& folder, const std::string& mask, bool recursive);
// Full paths of the files with the extension (".dic", or "*.*" for all), sorted
// without regard to case.
std::vector<std::string> ListFiles(Files& files, const std::string& folder,
                                   const std::string& extension, bool recursive);
// Free bytes on the drive holding `folder` (created if missing), -1 if that drive cannot be
// used; the current folder is `returnTo` afterwards.
int64_t DiskFreeAt(Platform& platform, const std::string& returnTo, const std::string& folder);
// A drive ("C:", "C", "C:\") or network share ("\\server\share") can be used.
bool IsDriveReady(Files& files, const std::string& drive);

// ---- Dialogs and processes -------------------------------------------------------------

// The shell's folder browser; `folder` is cleared first if it names no existing folder.
bool SelectFolder(Platform& platform, const std::string& title, const std::string& root,
                  std::string& folder, bool newFolderButton);
std::string SelectFolderFromComputer(Platform& platform, const std::string& title,
                                     const std::string& initialFolder);
bool IsProcessRunning(System& system, const std::string& exeName);

}  // namespace bv
