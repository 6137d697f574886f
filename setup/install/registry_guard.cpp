#include "setup/install/registry_guard.h"

#include <iterator>
#include <vector>

#include "platform/ansi.h"

namespace bv {

namespace {

// Under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER (and a user of HKEY_USERS).
const char* const kSharedMachineKeys[] = {
    "Software",
    "Software\\Classes",
    "Software\\Microsoft",
    "Software\\Microsoft\\Windows",
    "Software\\Microsoft\\Windows\\CurrentVersion",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "Software\\Microsoft\\Windows\\Help",
    "Software\\Microsoft\\Windows\\HTML Help",
    "Software\\Microsoft\\Windows NT",
    "Software\\Microsoft\\Windows NT\\CurrentVersion",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "Software\\Microsoft\\Internet Explorer",
    "Software\\Microsoft\\Outlook Express",
    "Software\\Policies",
    "Software\\Wow6432Node",
    "System",
    "System\\CurrentControlSet",
    "System\\CurrentControlSet\\Control",
    "System\\CurrentControlSet\\Services",
    "Hardware",
    "SAM",
    "Security",
    "Control Panel",
    "Environment",
    "Identities",
    "AppEvents",
    "Keyboard Layout",
    "Network",
    "Printers",
};

// One-level keys of HKEY_CLASSES_ROOT (and "Software\Classes") that belong to Windows.
const char* const kSharedClasses[] = {
    "CLSID", "Interface", "TypeLib", "AppID", "Applications", "SystemFileAssociations", "MIME", "*",
    "Directory", "Folder", "Drive", "AllFilesystemObjects", "Unknown", "exefile", "dllfile", "lnkfile",
    "txtfile", "batfile", "comfile", "cmdfile", "htmlfile", "inifile", "regfile", "Protocols", "Network",
    ".exe", ".dll", ".lnk", ".com", ".bat", ".cmd", ".txt", ".htm", ".html", ".ini", ".reg", ".pif", ".scr",
    ".eml", ".nws", ".wab", ".dbx",
};

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t end = path.find('\\', from);
        if (end == std::string::npos) end = path.size();
        if (end > from) parts.push_back(path.substr(from, end - from));
        from = end + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t first) {
    std::string text;
    for (size_t i = first; i < parts.size(); ++i) text += (i > first ? "\\" : "") + parts[i];
    return text;
}

bool InList(const std::string& key, const char* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (SameText(key, list[i])) return true;
    return false;
}

bool SharedClass(const std::vector<std::string>& parts, size_t first) {
    if (parts.size() <= first) return true;  // the classes root itself
    return parts.size() == first + 1 && InList(parts[first], kSharedClasses, std::size(kSharedClasses));
}

bool SharedUnderUser(const std::vector<std::string>& parts, size_t first) {
    if (parts.size() <= first) return true;
    const std::string rest = Join(parts, first);
    if (InList(rest, kSharedMachineKeys, std::size(kSharedMachineKeys))) return true;
    // The classes below "Software\Classes" follow the rules of HKEY_CLASSES_ROOT.
    if (parts.size() > first + 1 && SameText(parts[first], "Software") && SameText(parts[first + 1], "Classes"))
        return SharedClass(parts, first + 2);
    return false;
}

}  // namespace

bool IsSharedRegistryKey(RegRoot root, const std::string& path) {
    const std::vector<std::string> parts = Components(path);
    switch (root) {
        case RegRoot::ClassesRoot: return SharedClass(parts, 0);
        case RegRoot::LocalMachine:
        case RegRoot::CurrentUser: return SharedUnderUser(parts, 0);
        case RegRoot::Users:
            // A user's whole hive, or one of its shared keys.
            return parts.size() <= 1 || SharedUnderUser(parts, 1);
    }
    return true;
}

}  // namespace bv
