#include "setup/install/system_routines.h"

#include <vector>

#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/script_reg_key.h"

namespace bv {

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr int kCsidlProfile = 0x28;
constexpr size_t kMaxRegistryText = 1023;

std::string RegString(Registry& registry, RegRoot root, const std::string& path, const std::string& name) {
    RegValue value;
    if (registry.QueryValue(root, path, name, value) != 0) return std::string();
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz) return std::string();
    std::string text(value.data.begin(), value.data.end());
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    if (text.size() > kMaxRegistryText) text.resize(kMaxRegistryText);
    return text;
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < content.size()) {
        size_t end = content.find('\n', from);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        from = end + 1;
    }
    return lines;
}

std::string Trimmed(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

bool IsSection(const std::string& line) {
    const std::string t = Trimmed(line);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

bool AddToWininit(Files& files, const std::string& wininit, const std::string& line) {
    std::string content;
    const uint32_t attrs = files.GetAttributes(wininit);
    if (attrs != FileAttr::Invalid) {
        if ((attrs & FileAttr::ReadOnly) && !files.SetAttributes(wininit, attrs & ~FileAttr::ReadOnly)) return false;
        if (!ReadWholeFile(files, wininit, content)) return false;
    }
    return WriteWholeFile(files, wininit, AddWininitRename(content, line));
}

}  // namespace

std::string WindowsFolder(Platform& p) { return ExcludeTrailingBackslash(p.system.WindowsDirectory()); }

std::string DesktopFolder(Platform& p) {
    std::string folder = RegString(p.registry, RegRoot::CurrentUser, kShellFolders, "Desktop");
    return folder.empty() ? WindowsFolder(p) + "\\Desktop" : ExcludeTrailingBackslash(folder);
}

std::string ProgramsMenuFolder(Platform& p) {
    std::string folder = RegString(p.registry, RegRoot::CurrentUser, kShellFolders, "Programs");
    return folder.empty() ? WindowsFolder(p) + "\\Startmenü\\Programme" : ExcludeTrailingBackslash(folder);
}

std::string ProgramFilesFolder(Platform& p) {
    std::string folder = RegString(p.registry, RegRoot::LocalMachine, kCurrentVersion, "ProgramFilesDir");
    if (folder.empty()) folder = RegString(p.registry, RegRoot::LocalMachine, kCurrentVersion, "ProgramFilesPath");
    return folder.empty() ? "C:\\Programme" : ExcludeTrailingBackslash(folder);
}

std::string CommonFilesFolder(Platform& p) {
    std::string folder = RegString(p.registry, RegRoot::LocalMachine, kCurrentVersion, "CommonFilesDir");
    if (folder.empty()) folder = RegString(p.registry, RegRoot::LocalMachine, kCurrentVersion, "CommonFilesPath");
    return folder.empty() ? std::string() : IncludeTrailingBackslash(folder);
}

SetupFolders ResolveSetupFolders(Platform& p) {
    SetupFolders f;
    f.setup = ExtractFilePath(p.system.ProgramFile());
    f.windows = WindowsFolder(p);
    f.temp = p.system.TempPath();
    f.temp = IncludeTrailingBackslash(f.temp.empty() ? f.windows : f.temp);
    if (!p.shell.SpecialFolder(Csidl::System, f.system) || f.system.empty())
        f.system = f.windows + (p.system.GetVersion().platformId == 2 ? "\\system32" : "\\SYSTEM");
    f.desktop = DesktopFolder(p);
    f.programsMenu = ProgramsMenuFolder(p);
    f.programFiles = ProgramFilesFolder(p);
    f.commonFiles = CommonFilesFolder(p);
    if (!p.shell.SpecialFolder(kCsidlProfile, f.profile) || f.profile.empty())
        f.profile = p.shell.GetEnvironment("USERPROFILE");
    f.profile = f.profile.empty() ? std::string() : ExcludeTrailingBackslash(f.profile);
    return f;
}

std::string ReadRegistryValue(Registry& registry, const std::string& location) {
    const size_t semicolon = location.find(';');
    if (semicolon == std::string::npos) return std::string();
    RegRoot root;
    std::string path;
    if (!ParseScriptRegKey(location.substr(0, semicolon), root, path)) return std::string();
    return RegString(registry, root, path, location.substr(semicolon + 1));
}

long WriteRegistryString(Registry& registry, RegRoot root, const std::string& path, const std::string& name,
                         const std::string& value) {
    Bytes data(value.begin(), value.end());
    data.push_back(0);
    return registry.SetValue(root, path, name, RegType::Sz, data);
}

bool CreatePath(Files& files, const std::string& folder) {
    const std::string path = ExcludeTrailingBackslash(folder);
    if (path.empty()) return false;
    const std::string drive = ExtractFileDrive(path);
    const std::string current = files.CurrentDirectory();
    bool ok = true;
    // The drive or share itself is not created; its folders are, level by level.
    for (size_t pos = drive.size(); ok && pos < path.size();) {
        size_t end = path.find('\\', pos + 1);
        if (end == std::string::npos) end = path.size();
        const std::string level = path.substr(0, end);
        if (level != drive && level.back() != '\\')
            ok = files.CreateDirectory(level) || files.SetCurrentDirectory(level);
        pos = end;
    }
    if (!current.empty()) (void)files.SetCurrentDirectory(current);
    return ok && DirectoryExists(files, path);
}

std::string AddWininitRename(const std::string& content, const std::string& line) {
    std::vector<std::string> lines = SplitLines(content);
    size_t section = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (SameText(Trimmed(lines[i]), "[rename]")) {
            section = i;
            break;
        }
    }
    if (section == lines.size()) {
        lines.push_back("[rename]");
        lines.push_back(line);
    } else {
        size_t next = section + 1;
        while (next < lines.size() && !IsSection(lines[next])) ++next;
        if (next == lines.size()) {
            lines.push_back(line);
        } else {
            // Before the section's last line, skipping the empty lines that end it.
            size_t last = next;
            while (last > section + 1 && Trimmed(lines[last - 1]).empty()) --last;
            const size_t at = last > section + 1 ? last - 1 : section + 1;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
        }
    }
    std::string result;
    for (const std::string& l : lines) result += l + "\r\n";
    return result;
}

bool ReplaceFileOnRestart(Platform& p, const std::string& windowsFolder, const std::string& source,
                          const std::string& target) {
    Files& files = p.files;
    const bool remove = SameText(target, "NUL");
    std::string from = source;
    if (!remove) {
        from = ExtractFilePath(target) + ExtractFileName(source) + ".new";
        if (!files.CopyFile(source, from, false)) return false;
    }
    if (p.system.GetVersion().platformId == 2) {
        if (remove) return files.MoveFileAtRestart(from, std::string());
        const std::string old = target + ".old";
        (void)files.SetAttributes(old, FileAttr::Normal);
        (void)files.DeleteFile(old);
        if (files.MoveFile(target, old, false)) {
            if (files.MoveFile(from, target, false)) {
                // The old file is still open; it goes at the next restart.
                (void)files.MoveFileAtRestart(old, std::string());
                return true;
            }
            (void)files.MoveFile(old, target, false);
        }
        return files.MoveFileAtRestart(from, target);
    }
    // WININIT.INI is processed in real mode: 8.3 names only.
    std::string shortFrom = files.ShortPath(from);
    if (shortFrom.empty()) shortFrom = from;
    std::string shortTarget = "NUL";
    if (!remove) {
        shortTarget = files.ShortPath(target);
        if (shortTarget.empty()) shortTarget = target;
    }
    return AddToWininit(files, ExcludeTrailingBackslash(windowsFolder) + "\\WININIT.INI",
                        shortTarget + "=" + shortFrom);
}

void RegisterLibrary(System& system, const std::string& library) { (void)system.RegisterServer(library, false); }
void UnregisterLibrary(System& system, const std::string& library) { (void)system.RegisterServer(library, true); }

bool ReadWholeFile(Files& files, const std::string& path, std::string& content) {
    content.clear();
    auto stream = files.Open(path, OpenMode::Read);
    if (!stream) return false;
    const uint64_t size = stream->Size();
    char buffer[4096];
    for (;;) {
        const size_t n = stream->Read(buffer, sizeof buffer);
        if (n == 0) break;
        content.append(buffer, n);
    }
    const bool complete = content.size() == size;
    return stream->Close() && complete;
}

bool WriteWholeFile(Files& files, const std::string& path, const std::string& content) {
    auto stream = files.Open(path, OpenMode::CreateAlways);
    if (!stream) return false;
    const bool written = content.empty() || stream->Write(content.data(), content.size());
    const bool closed = stream->Close();
    return written && closed;
}

}  // namespace bv
