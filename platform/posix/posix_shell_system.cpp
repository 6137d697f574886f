#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>

#include "platform/ansi.h"
#include "platform/locale_date.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "platform/profile.h"

namespace bv {

// ---- Shell -------------------------------------------------------------------------

PosixShell::PosixShell(PosixPathMap& map) : map_(map) {}

bool PosixShell::SpecialFolder(int csidl, std::string& path) {
    auto it = folders.find(csidl);
    if (it == folders.end()) {
        path.clear();
        return false;
    }
    path = it->second;
    return true;
}

void PosixShell::SetEnvironment(const std::string& name, const std::string& value) {
    env_[AnsiUpperCase(name)] = value;
}

std::string PosixShell::GetEnvironment(const std::string& name) {
    auto it = env_.find(AnsiUpperCase(name));
    return it == env_.end() ? std::string() : it->second;
}

std::string PosixShell::ExpandEnvironment(const std::string& text) {
    // As ExpandEnvironmentStrings: %NAME% of a known variable is replaced, anything
    // else (unknown names, a lone %) stays as written.
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = text.find('%', i);
        if (start == std::string::npos) break;
        size_t end = text.find('%', start + 1);
        if (end == std::string::npos) break;
        out.append(text, i, start - i);
        auto it = env_.find(AnsiUpperCase(text.substr(start + 1, end - start - 1)));
        if (end > start + 1 && it != env_.end()) {
            out += it->second;
            i = end + 1;
        } else {
            out += text.substr(start, end - start);
            i = end;
        }
    }
    out.append(text, i, std::string::npos);
    return out;
}

bool PosixShell::OpenDocument(const std::string& target) {
    openedDocuments.push_back(target);
    return true;
}

bool PosixShell::CreateShortcut(const ShortcutRequest& request) {
    shortcuts.push_back(request);
    if (shortcutsFail) return false;
    const std::string host = map_.HostPath(request.linkPath);
    if (host.empty()) return false;
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << "Target=" << request.target << "\r\nArguments=" << request.arguments
        << "\r\nWorkingFolder=" << request.workingFolder << "\r\nDescription=" << request.description
        << "\r\nIcon=" << request.iconPath << "," << request.iconIndex << "\r\n";
    out.close();
    return !out.fail();
}

// ---- System ------------------------------------------------------------------------

bool PosixSystem::RestartWindows() {
    ++restartRequests;
    return restartSucceeds;
}

bool PosixSystem::StartProcess(const ProcessStart& start) {
    startedProcesses.push_back(start);
    return processStarter ? processStarter(start) : true;
}

bool PosixSystem::RegisterServer(const std::string& library, bool unregister) {
    serverCalls.push_back(ServerCall{library, unregister});
    return true;
}

namespace {
class PosixLibraryFunction : public LibraryFunction {
public:
    PosixLibraryFunction(std::function<bool(uint8_t&)> function, std::vector<std::string>& calls,
                         std::string name)
        : function_(std::move(function)), calls_(calls), name_(std::move(name)) {}
    bool Call() override {
        calls_.push_back(name_);
        return function_(flag_);
    }

private:
    std::function<bool(uint8_t&)> function_;
    std::vector<std::string>& calls_;
    std::string name_;
    uint8_t flag_ = 0;
};
}  // namespace

std::unique_ptr<LibraryFunction> PosixSystem::LoadLibraryFunction(const std::string& library,
                                                                  const std::string& function) {
    const std::string name = library + ";" + function;
    for (const auto& entry : libraryFunctions) {
        if (AnsiUpperCase(entry.first) == AnsiUpperCase(name))
            return std::make_unique<PosixLibraryFunction>(entry.second, libraryCalls, name);
    }
    return nullptr;
}

std::string PosixSystem::AnsiToOem(const std::string& text) { return Cp1252ToCp850(text); }
std::string PosixSystem::OemToAnsi(const std::string& text) { return Cp850ToCp1252(text); }

std::string PosixSystem::MonthName(int month) {
    static const char* const names[12] = {"Januar", "Februar", "März",      "April",
                                          "Mai",    "Juni",    "Juli",      "August",
                                          "September", "Oktober", "November", "Dezember"};
    return month >= 1 && month <= 12 ? names[month - 1] : std::string();
}

std::string PosixSystem::DateTimeText(const DateTime& when) {
    std::string text;
    if (FormatLocaleDateTime(dateFormats, when, text)) return text;
    // Pictures with names or eras: the fixed form, as the Windows backend falls back to.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", when.day, when.month,
                  when.year, when.hour, when.minute, when.second);
    return buf;
}

namespace {
DateTime FromTm(const struct tm& t, int ms) {
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms};
}
}  // namespace

DateTime PosixSystem::LocalNow() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t;
    localtime_r(&ts.tv_sec, &t);
    return FromTm(t, static_cast<int>(ts.tv_nsec / 1000000));
}

FileTime PosixSystem::UtcNow() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return UnixToFileTime(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec));
}

bool PosixSystem::FileTimeToLocal(FileTime utc, DateTime& local) {
    time_t secs = static_cast<time_t>(FileTimeToUnix(utc));
    struct tm t;
    if (!localtime_r(&secs, &t)) return false;
    local = FromTm(t, static_cast<int>((utc / 10000) % 1000));
    return true;
}

bool PosixSystem::LocalToFileTime(const DateTime& local, FileTime& utc) {
    struct tm t {};
    t.tm_year = local.year - 1900;
    t.tm_mon = local.month - 1;
    t.tm_mday = local.day;
    t.tm_hour = local.hour;
    t.tm_min = local.minute;
    t.tm_sec = local.second;
    t.tm_isdst = -1;
    time_t secs = mktime(&t);
    if (secs == static_cast<time_t>(-1)) return false;
    utc = UnixToFileTime(secs) + static_cast<FileTime>(local.millisecond) * 10000;
    return true;
}

std::string PosixSystem::TempPath() {
    std::string temp = shell_.GetEnvironment("TEMP");
    return temp.empty() ? std::string() : IncludeTrailingBackslash(temp);
}

std::vector<ProcessEntry> PosixSystem::Processes() {
    std::vector<ProcessEntry> list;
    uint32_t fakeId = 0x10000;
    for (const std::string& name : extraProcesses) list.push_back(ProcessEntry{fakeId++, name});
    if (!includeHostProcesses) return list;
    DIR* proc = opendir("/proc");
    if (!proc) return list;
    while (struct dirent* entry = readdir(proc)) {
        char* end = nullptr;
        unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (!end || *end) continue;
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name)) list.push_back(ProcessEntry{static_cast<uint32_t>(pid), name});
    }
    closedir(proc);
    return list;
}

std::string PosixSystem::ErrorText(long error) {
    // The German system texts of the errors the program meets.
    switch (error) {
        case WinError::Success: return "Der Vorgang wurde erfolgreich beendet.";
        case WinError::FileNotFound: return "Das System kann die angegebene Datei nicht finden.";
        case WinError::PathNotFound: return "Das System kann den angegebenen Pfad nicht finden.";
        case WinError::AccessDenied: return "Zugriff verweigert";
        case WinError::NotReady: return "Das Gerät ist nicht bereit.";
        case WinError::SharingViolation:
            return "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen "
                   "Prozess verwendet wird.";
        case WinError::DiskFull:
            return "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden.";
        case WinError::FileExists: return "Die Datei ist bereits vorhanden.";
        case WinError::InvalidParameter: return "Falscher Parameter.";
        case WinError::BadNetName: return "Der Netzwerkname wurde nicht gefunden.";
        default: return "Systemfehler " + std::to_string(error) + ".";
    }
}

bool PosixSystem::RandomBytes(void* buffer, size_t count) {
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, out + done, count - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == count;
}

bool PosixSystem::ReadVersionResource(const std::string&, Bytes&) {
    // Files here carry no Windows version resource.
    return false;
}

bool PosixSystem::WindowOfClassExists(const std::string& windowClass) {
    for (const FakeWindow& w : windows)
        if (w.windowClass == windowClass) return true;
    return false;
}

bool PosixSystem::WindowWithCaptionExists(const std::string& caption) {
    for (const FakeWindow& w : windows)
        if (w.caption == caption) return true;
    return false;
}

bool PosixSystem::CloseWindowOfClass(const std::string& windowClass, uint32_t) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->windowClass != windowClass) continue;
        if (it->refusesClose) return false;
        windows.erase(it);
        return true;
    }
    return false;
}

bool PosixSystem::PostKeyToCaption(const std::string& caption, uint32_t virtualKey) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->caption != caption) continue;
        postedKeys.emplace_back(caption, virtualKey);
        if (it->closesOnKey == virtualKey) windows.erase(it);
        return true;
    }
    return false;
}

bool PosixSystem::SetPriorityClass(uint32_t priorityClass) {
    priorityClasses.push_back(priorityClass);
    return true;
}

bool PosixSystem::PlaySoundFile(const std::string& path) {
    playedSounds.push_back(path);
    return true;
}

bool PosixSystem::PrintText(const std::vector<std::string>& lines, const std::string& jobTitle) {
    if (!printerAvailable) return false;
    printJobs.push_back(PrintJob{jobTitle, lines});
    return true;
}

// ---- Prompter ----------------------------------------------------------------------

int HeadlessPrompter::MessageBox(const std::string& text, const std::string& caption,
                                 uint32_t style) {
    std::cerr << "[" << AnsiToUtf8(caption) << "] " << AnsiToUtf8(text) << "\n";
    switch (style & 0xF) {
        case MsgStyle::OkCancel:
        case MsgStyle::RetryCancel:
        case MsgStyle::YesNoCancel: return MsgResult::Cancel;
        case MsgStyle::YesNo: return MsgResult::No;
        case MsgStyle::AbortRetryIgnore: return MsgResult::Abort;
        default: return MsgResult::Ok;
    }
}

void HeadlessPrompter::PlainMessage(const std::string& text) {
    std::cerr << AnsiToUtf8(text) << "\n";
}

bool HeadlessPrompter::SelectFolder(const std::string&, const std::string&, std::string&, bool) {
    return false;
}

std::string HeadlessPrompter::SelectFolderFromComputer(const std::string&, const std::string&) {
    return std::string();
}

// ---- The whole backend -------------------------------------------------------------

namespace {
void MakeHostDirs(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') mkdir(path.substr(0, pos).c_str(), 0755);
    }
}
}  // namespace

PosixPlatform::PosixPlatform(const std::string& root)
    : map(root),
      registry(root + "/registry.dat"),
      files(map),
      shell(map),
      system(shell) {
    MakeHostDirs(map.Root() + "/drive_c");
    MakeHostDirs(map.Root() + "/unc");
    map.MapDrive('C', map.Root() + "/drive_c");
    map.MapDrive('Z', "/");

    // A German Windows XP profile.
    const std::string profile = "C:\\Dokumente und Einstellungen\\Benutzer";
    const std::string local = profile + "\\Lokale Einstellungen";
    struct Folder {
        int csidl;
        std::string path;
    };
    const Folder standard[] = {
        {Csidl::Personal, profile + "\\Eigene Dateien"},
        {Csidl::DesktopDirectory, profile + "\\Desktop"},
        {Csidl::AppData, profile + "\\Anwendungsdaten"},
        {Csidl::LocalAppData, local + "\\Anwendungsdaten"},
        {Csidl::Favorites, profile + "\\Favoriten"},
        {Csidl::StartMenu, profile + "\\Startmenü"},
        {Csidl::Programs, profile + "\\Startmenü\\Programme"},
        {Csidl::Startup, profile + "\\Startmenü\\Programme\\Autostart"},
        {Csidl::ProgramFiles, "C:\\Programme"},
        {Csidl::ProgramFilesCommon, "C:\\Programme\\Gemeinsame Dateien"},
        {Csidl::Windows, "C:\\WINDOWS"},
        {Csidl::System, "C:\\WINDOWS\\system32"},
        {Csidl::CommonAppData, "C:\\Dokumente und Einstellungen\\All Users\\Anwendungsdaten"},
    };
    for (const Folder& f : standard) {
        shell.folders[f.csidl] = f.path;
        ForceDirectories(files, f.path);
    }
    const std::string temp = local + "\\Temp";
    ForceDirectories(files, temp);
    shell.SetEnvironment("USERPROFILE", profile);
    shell.SetEnvironment("USERNAME", "Benutzer");
    shell.SetEnvironment("HOMEDRIVE", "C:");
    shell.SetEnvironment("TEMP", temp);
    shell.SetEnvironment("TMP", temp);
    shell.SetEnvironment("APPDATA", profile + "\\Anwendungsdaten");
    shell.SetEnvironment("WINDIR", "C:\\WINDOWS");
    shell.SetEnvironment("SystemRoot", "C:\\WINDOWS");
    shell.SetEnvironment("ProgramFiles", "C:\\Programme");
    shell.SetEnvironment("CommonProgramFiles", "C:\\Programme\\Gemeinsame Dateien");
    shell.SetEnvironment("ALLUSERSPROFILE", "C:\\Dokumente und Einstellungen\\All Users");
}

PosixPlatform::~PosixPlatform() = default;

Platform PosixPlatform::Bind(Prompter* prompter, Pump* pump) {
    return Platform{registry, files, shell, system, prompter ? *prompter : headlessPrompter,
                    pump ? *pump : idlePump};
}

}  // namespace bv

namespace bv {
std::unique_ptr<PrivateProfile> CreateSystemProfile(Files& files) {
    return CreatePortableProfile(files);
}
}  // namespace bv
