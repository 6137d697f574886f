#include "setup/install/install_script.h"

#include <algorithm>

#include "common/ini_file.h"
#include "platform/path.h"

namespace bv {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

size_t FindNoCase(const std::string& text, const std::string& what, size_t from) {
    if (what.empty() || text.size() < what.size()) return std::string::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        bool match = true;
        for (size_t k = 0; k < what.size() && match; ++k) match = LowerAscii(text[i + k]) == LowerAscii(what[k]);
        if (match) return i;
    }
    return std::string::npos;
}

// A key that is not there reads as empty (the wrapper gives its error text instead).
std::string Entry(TTheIniFile& ini, const std::string& key) {
    std::string value = ini.ReadEntry(key);
    return ini.ErrorCode() == -1 ? std::string() : value;
}

struct KeyValue {
    std::string key, value;
};

// The entries of a section in the order the keys stand. A key written twice counts once:
// the system's reader answers every lookup of it with its first value anyway.
std::vector<KeyValue> Entries(TTheIniFile& ini, const std::string& section) {
    ini.SetSection(section);
    std::vector<std::string> keys;
    ini.ReadKeys(keys);
    std::vector<KeyValue> entries;
    for (const std::string& key : keys) {
        if (key.empty()) continue;
        bool seen = std::any_of(entries.begin(), entries.end(),
                                [&](const KeyValue& e) { return SameText(e.key, key); });
        if (seen) continue;
        std::string value = Entry(ini, key);
        // An empty line of a list would name no file, link or key.
        if (value.empty()) continue;
        entries.push_back({key, value});
    }
    return entries;
}

std::vector<std::string> Values(TTheIniFile& ini, const std::string& section) {
    std::vector<std::string> values;
    for (KeyValue& e : Entries(ini, section)) values.push_back(std::move(e.value));
    return values;
}

void ReadAll(TTheIniFile& ini, InstallScript& s) {
    ini.SetSection("InstallInfo");
    s.applicationName = Entry(ini, "ApplicationName");
    s.defaultTargetFolder = Entry(ini, "DefaultTargetFolder");
    s.defaultUninstallFileName = Entry(ini, "DefaultUnistallFileName");
    s.appExeName = Entry(ini, "AppExeName");
    s.iconFile = Entry(ini, "IconFile");
    s.helpFile = Entry(ini, "HelpFile");
    s.uninstallName = Entry(ini, "UninstallName");

    s.progFiles = Values(ini, "ProgFiles");
    s.copyDestinations.clear();
    for (KeyValue& e : Entries(ini, "CopyDestination"))
        s.copyDestinations.push_back({std::move(e.key), std::move(e.value)});
    s.additionalFiles = Values(ini, "AdditionalFiles");
    s.defaultDelFiles = Values(ini, "DefaultDelFiles");

    ini.SetSection("Options");
    s.licenceFile = Entry(ini, "LicenceFile");
    s.updateRegKey = Entry(ini, "UpdateRegKey");
    s.autoRun = Entry(ini, "AutoRun");
    s.additionalComment = Entry(ini, "AdditionalComment");
    s.additionalOption = Entry(ini, "AdditionalOption");
    s.additionalInfoFile = Entry(ini, "AdditionalInfoFile");

    s.createRegKeys = Values(ini, "CreateRegKeys");

    ini.SetSection("AddLink");
    s.desktopLink = Entry(ini, "DesktopLink");
    s.startMenuLink = Entry(ini, "StartMenuLink");
    s.programGroup = Entry(ini, "ProgramGroup");

    s.programGroupLinks = Values(ini, "ProgramGroupLink");
    s.uninstallRegKeys = Values(ini, "UninstallRegKeys");
    s.uninstallLibs = Values(ini, "UninstallLibs");

    ini.SetSection("AutoRun");
    s.installExe = Entry(ini, "InstallExe");
    s.installLib = Entry(ini, "InstallLib");
    s.uninstallExe = Entry(ini, "UninstallExe");
    s.uninstallLib = Entry(ini, "UninstallLib");
}

// Copies the script to `copy` and makes the copy writable; false when no usable copy exists.
bool MakeWorkingCopy(Files& files, const std::string& script, const std::string& copy) {
    if (!files.CopyFile(script, copy, false)) return false;
    return files.SetAttributes(copy, FileAttr::Archive);
}

}  // namespace

std::string SetupTempFolder(Platform& p) {
    std::string temp = p.system.TempPath();
    if (temp.empty()) temp = p.system.WindowsDirectory();
    return IncludeTrailingBackslash(temp);
}

ScriptReadResult ReadInstallScript(Platform& p, const std::string& scriptPath, InstallScript& script) {
    script = InstallScript();
    const uint32_t attrs = p.files.GetAttributes(scriptPath);
    if (attrs == FileAttr::Invalid || (attrs & FileAttr::Directory)) return ScriptReadResult::Missing;

    std::string copy = SetupTempFolder(p) + ExtractFileName(scriptPath);
    if (!MakeWorkingCopy(p.files, scriptPath, copy)) {
        copy = ChangeFileExt(copy, ".in1");
        // Never read the original in place: the ini access would try to clear its
        // read-only attribute and complain about it.
        if (!MakeWorkingCopy(p.files, scriptPath, copy)) return ScriptReadResult::NotCopied;
    }
    {
        TTheIniFile ini(p);
        ini.SetIniLocation(loUser);
        ini.SetIniFileName(copy);
        ini.SetOpen(true);
        ReadAll(ini, script);
        ini.SetOpen(false);
    }
    // A copy left behind in the temporary folder does no harm.
    (void)p.files.DeleteFile(copy);
    return ScriptReadResult::Ok;
}

std::string ReplacePlaceholder(const std::string& text, const std::string& placeholder,
                               const std::string& value, bool firstOnly) {
    std::string result;
    size_t from = 0;
    for (;;) {
        size_t at = FindNoCase(text, placeholder, from);
        if (at == std::string::npos) break;
        result.append(text, from, at - from);
        result += value;
        from = at + placeholder.size();
        if (firstOnly) break;
    }
    result.append(text, from, std::string::npos);
    return result;
}

void ExpandScriptPlaceholders(InstallScript& s, const std::string& installFolder,
                              const std::string& commonFilesFolder) {
    const std::string instDir = ExcludeTrailingBackslash(installFolder);
    const std::string progDir = IncludeTrailingBackslash(instDir);
    const std::string commonFiles = ExcludeTrailingBackslash(commonFilesFolder);

    auto instOnly = [&](std::string& text) { text = ReplacePlaceholder(text, "%INSTDIR%", instDir); };
    // One pass for both names: a folder that happens to contain the other name stays as it is.
    auto both = [&](std::string& text) {
        std::string result;
        size_t from = 0;
        for (;;) {
            const size_t inst = FindNoCase(text, "%INSTDIR%", from);
            const size_t common = FindNoCase(text, "%COMMON_FILES%", from);
            if (inst == std::string::npos && common == std::string::npos) break;
            const bool isInst = inst != std::string::npos && (common == std::string::npos || inst < common);
            const size_t at = isInst ? inst : common;
            result.append(text, from, at - from);
            result += isInst ? instDir : commonFiles;
            from = at + (isInst ? std::string("%INSTDIR%").size() : std::string("%COMMON_FILES%").size());
        }
        result.append(text, from, std::string::npos);
        text = result;
    };
    auto link = [&](std::string& text) { text = ReplacePlaceholder(text, "%ProgDir%", progDir, true); };

    instOnly(s.installExe);
    instOnly(s.installLib);
    instOnly(s.uninstallExe);
    instOnly(s.uninstallLib);
    for (std::string& entry : s.createRegKeys) both(entry);
    for (CopyDestination& entry : s.copyDestinations) both(entry.folder);
    for (std::string& entry : s.uninstallLibs) both(entry);
    for (std::string& entry : s.programGroupLinks) link(entry);
    link(s.desktopLink);
    link(s.startMenuLink);

    std::replace(s.installExe.begin(), s.installExe.end(), ',', ' ');
}

}  // namespace bv
