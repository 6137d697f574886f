#include "setup/install/uninstall_info.h"

#include <cstdio>

#include "common/ini_file.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/system_routines.h"

namespace bv {

namespace {

const char kCrLf[] = "\r\n";
constexpr int kMaxNumberTries = 32767;

void Line(std::string& out, const std::string& text) { out += text + kCrLf; }

void Numbered(std::string& out, const std::string& prefix, const std::vector<NumberedEntry>& entries) {
    for (const NumberedEntry& e : entries) Line(out, prefix + std::to_string(e.number) + "=" + e.value);
}

std::string Entry(TTheIniFile& ini, const std::string& key) {
    std::string value = ini.ReadEntry(key);
    return ini.ErrorCode() == -1 ? std::string() : value;
}

std::vector<std::string> Values(TTheIniFile& ini, const std::string& section) {
    ini.SetSection(section);
    std::vector<std::string> keys;
    ini.ReadKeys(keys);
    std::vector<std::string> seen, values;
    for (const std::string& key : keys) {
        if (key.empty()) continue;
        bool again = false;
        for (const std::string& s : seen) again = again || SameText(s, key);
        if (again) continue;
        seen.push_back(key);
        std::string value = Entry(ini, key);
        if (!value.empty()) values.push_back(value);
    }
    return values;
}

std::string TrimText(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

// The file's sections with their keys that carry a value, as the raw text has them.
std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> RawSections(
    const std::string& text) {
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimText(text.substr(from, end - from));
        from = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const size_t equals = line.find('=');
        if (sections.empty() || line.empty() || line[0] == ';' || equals == std::string::npos) continue;
        const std::string key = TrimText(line.substr(0, equals));
        const std::string value = TrimText(line.substr(equals + 1));
        auto& entries = sections.back().second;
        bool seen = false;
        for (const auto& e : entries) seen = seen || SameText(e.first, key);
        if (!seen && !key.empty() && !value.empty()) entries.push_back({key, value});
    }
    return sections;
}

size_t RawCount(const std::string& text, const std::string& section) {
    for (const auto& s : RawSections(text))
        if (SameText(s.first, section)) return s.second.size();
    return 0;
}

bool RawHas(const std::string& text, const std::string& section, const std::string& key) {
    for (const auto& s : RawSections(text))
        if (SameText(s.first, section))
            for (const auto& e : s.second)
                if (SameText(e.first, key)) return true;
    return false;
}

}  // namespace

std::string FormatUninstallInfo(const UninstallInfo& info) {
    std::string out;
    char created[64];
    std::snprintf(created, sizeof created, "%02d/%02d/%04d %02d:%02d:%02d", info.created.month, info.created.day,
                  info.created.year, info.created.hour, info.created.minute, info.created.second);
    Line(out, "; " + info.applicationName + " Deinstallationsinformation");
    Line(out, ";");
    Line(out, std::string("; Erstellt: ") + created);
    Line(out, ";");
    Line(out, "; Löschen Sie auf keinen Fall diese Datei!");
    Line(out, ";");
    Line(out, "");
    Line(out, "[InstallInfo]");
    Line(out, "InstPath=" + info.instPath);
    Line(out, "ApplicationName=" + info.applicationName);
    Line(out, "StartMenuFolder=" + info.startMenuFolder);
    Line(out, "");
    Line(out, "[UnInstallFiles]");
    Numbered(out, "F", info.files);
    Line(out, "");
    Line(out, "[UnInstallLinks]");
    Numbered(out, "SL", info.links);
    Line(out, "");
    Line(out, "[UnInstallPaths]");
    for (size_t i = 0; i < info.paths.size(); ++i) Line(out, "UP" + std::to_string(i) + "=" + info.paths[i]);
    Line(out, "");
    Line(out, "[UnInstallRegistrySettings]");
    Numbered(out, "VAL", info.registry);
    Line(out, "");
    Line(out, "[UninstallLibs]");
    for (size_t i = 0; i < info.libraries.size(); ++i)
        Line(out, "VAL" + std::to_string(10 + i) + "=" + info.libraries[i]);
    Line(out, "");
    Line(out, "[UnInstallAutoRun]");
    Line(out, "UninstallExe=" + info.uninstallExe);
    Line(out, "UninstallLib=" + info.uninstallLib);
    return out;
}

bool WriteUninstallInfo(Files& files, const std::string& path, const UninstallInfo& info) {
    const std::string text = FormatUninstallInfo(info);
    if (!WriteWholeFile(files, path, text)) {
        (void)files.SetAttributes(path, FileAttr::Normal);
        if (!WriteWholeFile(files, path, text)) return false;
    }
    // Read-only against accidental editing; the uninstaller clears it.
    (void)files.SetAttributes(path, FileAttr::ReadOnly);
    return true;
}

bool ReadUninstallInfo(Platform& p, const std::string& path, UninstallData& data) {
    data = UninstallData();
    const uint32_t attrs = p.files.GetAttributes(path);
    if (attrs == FileAttr::Invalid || (attrs & FileAttr::Directory)) return false;
    std::string raw;
    if (!ReadWholeFile(p.files, path, raw)) return false;
    TTheIniFile ini(p);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(path);
    ini.SetOpen(true);
    ini.SetSection("InstallInfo");
    data.instPath = Entry(ini, "InstPath");
    data.applicationName = Entry(ini, "ApplicationName");
    data.startMenuFolder = Entry(ini, "StartMenuFolder");
    data.files = Values(ini, "UnInstallFiles");
    data.links = Values(ini, "UnInstallLinks");
    data.paths = Values(ini, "UnInstallPaths");
    data.registry = Values(ini, "UnInstallRegistrySettings");
    data.libraries = Values(ini, "UninstallLibs");
    ini.SetSection("UnInstallAutoRun");
    data.uninstallExe = Entry(ini, "UninstallExe");
    data.uninstallLib = Entry(ini, "UninstallLib");
    ini.SetOpen(false);
    const std::pair<const std::string*, const char*> scalars[] = {
        {&data.instPath, "InstPath"}, {&data.applicationName, "ApplicationName"}, {&data.startMenuFolder, "StartMenuFolder"}};
    const std::pair<const std::vector<std::string>*, const char*> lists[] = {
        {&data.files, "UnInstallFiles"}, {&data.links, "UnInstallLinks"}, {&data.paths, "UnInstallPaths"},
        {&data.registry, "UnInstallRegistrySettings"}, {&data.libraries, "UninstallLibs"}};
    data.complete = true;
    for (const auto& s : scalars) data.complete = data.complete && (!s.first->empty() || !RawHas(raw, "InstallInfo", s.second));
    for (const auto& l : lists) data.complete = data.complete && l.first->size() == RawCount(raw, l.second);
    data.complete = data.complete && (!data.uninstallExe.empty() || !RawHas(raw, "UnInstallAutoRun", "UninstallExe")) &&
                    (!data.uninstallLib.empty() || !RawHas(raw, "UnInstallAutoRun", "UninstallLib"));
    return data.complete;
}

std::string ChooseUninstallInfoPath(Files& files, const std::string& windowsFolder, const std::string& name) {
    const std::string folder = IncludeTrailingBackslash(windowsFolder);
    std::string path = folder + name + "_Uninstall.in";
    for (int n = 0; FileAttr::Invalid != files.GetAttributes(path); ++n) {
        if (n >= kMaxNumberTries) return std::string();
        path = folder + name + std::to_string(n) + "_Uninstall.in";
    }
    return path;
}

}  // namespace bv
