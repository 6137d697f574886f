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
    return true;
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
