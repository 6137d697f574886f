#include "brevisto/support/path_component.h"

#include "brevisto/support/registry_values.h"
#include "platform/path.h"

namespace bv {
namespace {
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}  // namespace

std::string TPathComponent::ProgramPath() const {
    return ExcludeTrailingBackslash(ExtractFilePath(p_.system.ProgramFile()));
}

std::string TPathComponent::TempDir() const {
    std::string temp = p_.system.TempPath();
    if (temp.empty()) temp = p_.system.WindowsDirectory();
    return ExcludeTrailingBackslash(temp);
}

std::string TPathComponent::UserShellFolder(int csidl, const char* registryName) const {
    if (!p_.shell.SpecialFoldersSupported())
        return ReadRegString(p_.registry, 1, kShellFoldersKey, registryName);
    std::string path;
    if (!p_.shell.SpecialFolder(csidl, path)) return std::string();
    return path;
}

std::string TPathComponent::ShellDesktopFolder() const {
    return UserShellFolder(Csidl::DesktopDirectory, "Desktop");
}
std::string TPathComponent::ShellAppDataFolder() const {
    return UserShellFolder(Csidl::AppData, "AppData");
}
std::string TPathComponent::ShellFavoritesFolder() const {
    return UserShellFolder(Csidl::Favorites, "Favorites");
}
std::string TPathComponent::ShellPersonalFolder() const {
    return UserShellFolder(Csidl::Personal, "Personal");
}
std::string TPathComponent::ShellLocalAppDataFolder() const {
    return UserShellFolder(Csidl::LocalAppData, "Local AppData");
}

std::string TPathComponent::CommonFilesDir() const {
    if (p_.shell.SpecialFoldersSupported()) {
        std::string path;
        if (!p_.shell.SpecialFolder(Csidl::ProgramFilesCommon, path)) return std::string();
        return path;
    }
    std::string dir = ReadRegString(p_.registry, 2, kCurrentVersionKey, "CommonFilesDir");
    if (dir.empty()) dir = ReadRegString(p_.registry, 2, kCurrentVersionKey, "CommonFilesPath");
    return dir;
}

}  // namespace bv
