#include "brevisto/backup/backup_info.h"

#include <cmath>
#include <cstdio>

#include "brevisto/settings/settings_store.h"
#include "common/ini_file.h"
#include "platform/path.h"

namespace bv {

const char* const kFullBackup = "VollBackup";
const char* const kUpdateBackup = "UpdateBackup";
const char* const kSelfMain = "SELF";

namespace {

constexpr size_t kMaxCommentBytes = 65535;

std::string Compose(const BackupInfoRecord& r, size_t profileCount) {
    const char* crlf = "\r\n";
    std::string t;
    t += std::string("[BackupInfo]") + crlf;
    t += "BackupArt=" + r.backupType + crlf;
    t += "HauptBackup=" + r.mainBackup + crlf;
    t += "Identitaet=" + r.identityName + crlf;
    t += "IdentID=" + r.identityKey + crlf;
    t += "Counter=" + std::to_string(r.counter) + crlf;
    t += "Date=" + r.dateText + crlf;
    t += "Comment=" + r.comment + crlf;
    t += crlf;
    t += std::string("[Firefox]") + crlf;
    t += "Version=" + std::to_string(r.firefoxVersion) + crlf;
    for (size_t n = 0; n < profileCount; ++n) {
        t += crlf;
        t += "[Profile" + std::to_string(n) + "]" + crlf;
        t += "Name=" + r.firefoxProfiles[n].first + crlf;
        t += "Path=" + r.firefoxProfiles[n].second + crlf;
    }
    t += crlf;
    t += std::string("[velbundle]") + crlf;
    t += std::string("Version=1.0") + crlf;
    return t;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// A number as the run-time library reads it with the locale's separator: digits with at
// most one separator, optionally signed and surrounded by blanks.
bool ParseLocaleNumber(const std::string& text, char separator, double& value) {
    size_t b = text.find_first_not_of(' ');
    size_t e = text.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    std::string t = text.substr(b, e - b + 1);
    size_t i = 0;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    double result = 0, scale = 0;
    bool digits = false, seenSeparator = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (seenSeparator) {
                scale /= 10;
                result += (c - '0') * scale;
            } else {
                result = result * 10 + (c - '0');
            }
        } else if (c == separator && !seenSeparator) {
            seenSeparator = true;
            scale = 1;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    value = negative ? -result : result;
    return true;
}

}  // namespace

std::string BuildBackupInfoText(const BackupInfoRecord& record) {
    size_t profiles = record.firefoxProfiles.size();
    std::string text = Compose(record, profiles);
    while (text.size() > kMaxCommentBytes && profiles > 0) text = Compose(record, --profiles);
    if (text.size() > kMaxCommentBytes) text.resize(kMaxCommentBytes);
    return text;
}

std::string BackupInfoValue(const std::string& comment, const std::string& section,
                            const std::string& key) {
    if (comment.empty()) return std::string();
    const std::vector<std::string> lines = SplitLines(comment);
    const std::string header = "[" + section + "]";
    size_t i = 0;
    while (i < lines.size() && lines[i].find(header) == std::string::npos) ++i;
    if (i == lines.size()) return std::string();
    for (++i; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (key.empty() || line.find(key) == std::string::npos) continue;
        size_t p = line.find(key + "=");
        // Without "key=" the line loses as many leading characters as the key is long.
        size_t from = p == std::string::npos ? key.size() : p + key.size() + 1;
        return from < line.size() ? line.substr(from) : std::string();
    }
    return std::string();
}

std::string FileTimeText(System& system, FileTime utc) {
    DateTime local;
    if (!system.FileTimeToLocal(utc, local)) return std::string();
    const std::string month = system.MonthName(local.month);
    if (month.empty()) return std::string();
    char day[8], rest[32];
    std::snprintf(day, sizeof day, "%02d. ", local.day);
    std::snprintf(rest, sizeof rest, " %04d um %02d:%02d Uhr", local.year, local.hour, local.minute);
    return day + month + rest;
}

int FirefoxVersion(Platform& platform) {
    std::string command = ReadRegString(
        platform.registry, 2, "\\SOFTWARE\\Clients\\StartMenuInternet\\firefox.exe\\shell\\open\\command", "");
    // The folder part as read, quotes and all: a quoted command ("C:\...\firefox.exe" -osint)
    // names no readable application.ini and gives 2. Nothing in the program reads the value
    // back; it stays as backups of this format have always carried it.
    size_t slash = command.rfind('\\');
    if (slash == std::string::npos) return 2;
    TTheIniFile ini(platform);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(command.substr(0, slash + 1) + "application.ini");
    ini.SetOpen(true);
    if (ini.ErrorCode() != 0) return 2;
    ini.SetSection("App");
    std::string version = ini.ReadEntry("Version");
    if (ini.ErrorCode() != 0) return 2;
    const char separator = platform.system.DecimalSeparator();
    for (char& c : version)
        if (c == '.') c = separator;
    double value = 0;
    if (!ParseLocaleNumber(version, separator, value)) return 2;
    return static_cast<int>(std::floor(value));
}

}  // namespace bv
