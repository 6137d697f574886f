#include "brevisto/support/common_routines.h"

#include <algorithm>
#include <cstdio>

#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

// ---- Text and numbers ----------------------------------------------------------------

namespace {

// 1-based position of the leftmost occurrence, 0 if none (or an empty pattern).
size_t Pos(const std::string& pattern, const std::string& text) {
    if (pattern.empty()) return 0;
    size_t p = text.find(pattern);
    return p == std::string::npos ? 0 : p + 1;
}

std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement) {
    std::string out;
    size_t start = 0;
    for (size_t p = text.find(pattern); p != std::string::npos; p = text.find(pattern, start)) {
        out.append(text, start, p - start);
        out += replacement;
        start = p + pattern.size();
    }
    out.append(text, start, std::string::npos);
    return out;
}

std::string WithSeparator(std::string text, char decimalSeparator) {
    for (char& c : text)
        if (c == '.') c = decimalSeparator;
    return text;
}

std::string Format(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

int LastPos(const std::string& substring, const std::string& text) {
    if (substring.empty() || text.empty()) return 0;
    size_t p = text.rfind(substring);
    return p == std::string::npos ? 0 : static_cast<int>(p + 1);
}

std::string ReplaceText(const std::string& text, const std::string& pattern,
                        const std::string& replacement) {
    if (pattern.empty()) return text;
    // Repeating would never end when the replacement brings the pattern back.
    if (replacement.find(pattern) != std::string::npos) return ReplaceAll(text, pattern, replacement);
    std::string result = text;
    // Replacements may join into new occurrences, which are replaced as well; a text can
    // only shrink or keep its length per pass, so the bound below is never reached by
    // real callers and only guards against pathological growth.
    size_t guard = 4 * (text.size() + 1) + 64;
    while (size_t p = Pos(pattern, result)) {
        if (guard-- == 0) return ReplaceAll(text, pattern, replacement);
        result.insert(p - 1, replacement);
        size_t q = Pos(pattern, result);
        result.erase(q - 1, pattern.size());
    }
    return result;
}

std::string ReplaceTextOnward(const std::string& text, const std::string& pattern,
                              const std::string& replacement) {
    std::string result = text;
    size_t mark = 0;
    for (;;) {
        size_t p = Pos(pattern, result);
        if (p == 0 || p <= mark) break;
        mark = p;
        result.insert(p - 1, replacement);
        size_t q = Pos(pattern, result);
        result.erase(q - 1, pattern.size());
        mark += replacement.size();
    }
    return result;
}

std::vector<std::string> SplitString(const std::string& separator, const std::string& text,
                                     int limit) {
    std::vector<std::string> parts;
    if (text.empty() || limit < 0) return parts;
    if (separator.empty()) return {text};
    size_t start = 0;
    while (start < text.size()) {
        size_t p = text.find(separator, start);
        bool last = p == std::string::npos ||
                    (limit > 0 && static_cast<size_t>(limit) == parts.size() + 1);
        if (last) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, p - start));
        start = p + separator.size();
    }
    return parts;
}

std::string GroupDigits(int groupSize, int64_t value) {
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const std::string digits = std::to_string(magnitude);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        size_t fromRight = digits.size() - i;
        out += digits[i];
        if (groupSize > 0 && fromRight > 1 && (fromRight - 1) % static_cast<size_t>(groupSize) == 0)
            out += '.';
    }
    return value < 0 ? "-" + out : out;
}

std::string FormatByteSize(int64_t value, char decimalSeparator) {
    static const char* const units[] = {" Bytes", " kB", " MB", " GB", " TB", " PB", " EB"};
    std::string text = std::to_string(value);
    int step = 0;
    double v = static_cast<double>(value);
    while (v / 1024.0 > 1.0 && step < 6) {
        ++step;
        text = WithSeparator(Format("%.1f", v / 1024.0), decimalSeparator);
        v = static_cast<double>(static_cast<int64_t>(v / 1024.0));
    }
    return text + units[step];
}

std::string SizeText(int64_t value, char decimalSeparator) {
    if (value < 1024) return std::to_string(value) + " Bytes";
    if (value < 1048576)
        return WithSeparator(Format("%.2f", value / 1024.0), decimalSeparator) + " KB";
    if (value < 1073741824)
        return WithSeparator(Format("%.2f", value / 1048576.0), decimalSeparator) + " MB";
    return WithSeparator(Format("%.2f", value / 1073741824.0), decimalSeparator) + " GB";
}

std::string FileSizeText(Platform& platform, const std::string& path) {
    return SizeText(static_cast<int64_t>(FileSizeOf(platform.files, path)),
                    platform.system.DecimalSeparator());
}

std::string DateText(const DateTime& date) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", date.day, date.month, date.year);
    return buf;
}

int64_t HexToInt(const std::string& text) {
    if (text.empty() || text.size() > 16)
        throw EConvertError("'$" + text + "' is not a valid integer value");
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else throw EConvertError("'$" + text + "' is not a valid integer value");
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return static_cast<int64_t>(value);
}

// ---- Windows version -----------------------------------------------------------------

int GetWindowsVersion(System& system, Prompter& prompter) {
    OsVersion v = system.GetVersion();
    if (!v.ok) return wvUnknown;
    if (v.platformId == 1) {
        if (v.major != 4) return wvUnknown;
        if (v.minor == 0) return wv95;
        if (v.minor == 10) return v.servicePack.size() >= 2 && v.servicePack[1] == 'A' ? wv98SE : wv98;
        if (v.minor == 90) return wvME;
        return wvUnknown;
    }
    if (v.platformId != 2) return wvUnknown;
    if (v.major <= 4) return wvNT;
    if (v.major == 5 && v.minor == 0) return wv2000;
    if (v.major == 5 && v.minor == 1) return wvXP;
    if (v.major == 5 && v.minor == 2) return wv2003;
    if (v.major == 6 && v.minor == 0) return wvVista;
    if (v.major == 6 && v.minor == 1) return wv7;
    prompter.PlainMessage("Unbekanntes Betriebssystem! Major: " + std::to_string(v.major) +
                          ", Minor: " + std::to_string(v.minor));
    return wvUnknown;
}

void WindowsVersionName(int index, std::string& name) {
    static const char* const names[] = {"Windows 95", "Windows 98",   "Windows 98 SE",
                                        "Windows ME", "Windows NT",   "Windows 2000",
                                        "Windows XP", "Windows 2003", "Windows Vista",
                                        "Windows 7"};
    if (index == -1) name = "Unknown";
    else if (index >= 0 && index <= 9) name = names[index];
}

std::string WindowsVersionName(int index) {
    std::string name;
    WindowsVersionName(index, name);
    return name;
}

// ---- Files and folders ---------------------------------------------------------------

namespace {
// Deeper than any real folder tree of a user; stops runaway recursion on odd file systems.
constexpr int kMaxFolderDepth = 64;

bool IsWalkableFolder(const FindEntry& e) {
    return e.IsDirectory() && !e.IsLink() && !e.name.empty() && e.name[0] != '.';
}

int CountFilesAt(Files& files, const std::string& folder, const std::string& mask, bool recursive,
                 int depth) {
    int count = static_cast<int>(files.Find(folder + mask).size());
    if (!recursive || depth >= kMaxFolderDepth) return count;
    for (const FindEntry& e : files.Find(folder + "*"))
        if (IsWalkableFolder(e))
            count += CountFilesAt(files, folder + e.name + "\\", mask, true, depth + 1);
    return count;
}

void ListFilesAt(Files& files, const std::string& folder, const std::string& wanted, bool recursive,
                 int depth, std::vector<std::string>& out) {
    for (const FindEntry& e : files.Find(folder + "*")) {
        if (e.IsDirectory()) continue;
        if (wanted == "*.*" || AnsiUpperCase(ExtractFileExt(e.name)) == wanted)
            out.push_back(folder + e.name);
    }
    if (!recursive || depth >= kMaxFolderDepth) return;
    for (const FindEntry& e : files.Find(folder + "*"))
        if (IsWalkableFolder(e)) ListFilesAt(files, folder + e.name + "\\", wanted, true, depth + 1, out);
}
}  // namespace

void ClearReadOnlyHidden(Files& files, const std::string& path) {
    uint32_t attrs = files.GetAttributes(path);
    if (attrs == FileAttr::Invalid) return;
    // Whatever still stands in the way shows when the file is opened.
    (void)files.SetAttributes(path, attrs & ~(FileAttr::ReadOnly | FileAttr::Hidden));
}

uint64_t FileSizeOf(Files& files, const std::string& pattern) {
    std::vector<FindEntry> found = files.Find(pattern);
    return found.empty() ? 0 : found.front().size;
}

int CountFiles(Files& files, const std::string& folder, const std::string& mask, bool recursive) {
    return CountFilesAt(files, folder, mask, recursive, 0);
}

std::vector<std::string> ListFiles(Files& files, const std::string& folder,
                                   const std::string& extension, bool recursive) {
    std::vector<std::string> list;
    ListFilesAt(files, folder, extension == "*.*" ? extension : AnsiUpperCase(extension), recursive,
                0, list);
    std::stable_sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
        return AnsiCompareText(a, b) < 0;
    });
    return list;
}

int64_t DiskFreeAt(Platform& platform, const std::string& returnTo, const std::string& folder) {
    if (folder.empty()) {
        platform.prompter.PlainMessage(
            "Im Ordner: [" + folder +
            "] konnte leider nicht geprüft werden, ob genügend Speicherplatz vorhanden ist.\r\n"
            "Das Backup wird trotzdem fortgesetzt. Es kann jedoch nicht seitens der Software "
            "sichergestellt werden, dass alle Daten auf den Datenträger gesichert bzw. "
            "eingespielt werden können!");
    } else {
        ForceDirectories(platform.files, folder);
    }
    int64_t result = -1;
    if (!folder.empty() && platform.files.SetCurrentDirectory(folder))
        result = platform.files.FreeBytes(platform.files.CurrentDirectory());
    (void)platform.files.SetCurrentDirectory(returnTo);
    return result;
}

bool IsDriveReady(Files& files, const std::string& drive) {
    if (drive.size() < 4) {
        std::string root = drive;
        if (root.size() == 1) root += ":\\";
        else if (root.size() == 2 && root[1] == ':') root += "\\";
        return !root.empty() && files.VolumeReady(root);
    }
    long result = files.ConnectShare(drive);
    return result == WinError::Success || result == WinError::AlreadyAssigned;
}

// ---- Dialogs and processes -------------------------------------------------------------

bool SelectFolder(Platform& platform, const std::string& title, const std::string& root,
                  std::string& folder, bool newFolderButton) {
    if (!DirectoryExists(platform.files, folder)) folder.clear();
    return platform.prompter.SelectFolder(title, root, folder, newFolderButton);
}

std::string SelectFolderFromComputer(Platform& platform, const std::string& title,
                                     const std::string& initialFolder) {
    return platform.prompter.SelectFolderFromComputer(title, initialFolder);
}

bool IsProcessRunning(System& system, const std::string& exeName) {
    const std::string wanted = AnsiUpperCase(exeName);
    for (const ProcessEntry& p : system.Processes()) {
        std::string exe = AnsiUpperCase(p.exeFile);
        if (exe == wanted || AnsiUpperCase(ExtractFileName(p.exeFile)) == wanted) return true;
    }
    return false;
}

}  // namespace bv
