// The system and shell folders the program uses, computed anew on every read.
// Each is a path without trailing backslash, or empty when the system does not know it;
// callers treat an empty folder as "not available", never as a drive root.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

class TPathComponent {
public:
    explicit TPathComponent(Platform& platform) : p_(platform) {}

    std::string ProgramPath() const;
    std::string TempDir() const;
    std::string ShellDesktopFolder() const;
    std::string ShellAppDataFolder() const;
    std::string ShellFavoritesFolder() const;
    std::string ShellPersonalFolder() const;
    std::string ShellLocalAppDataFolder() const;
    std::string CommonFilesDir() const;

private:
    std::string UserShellFolder(int csidl, const char* registryName) const;
    Platform& p_;
};

}  // namespace bv
