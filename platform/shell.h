// Shell services: special folders, environment, opening documents.
#pragma once
#include <string>

namespace bv {

// Special folders by their CSIDL numbers.
namespace Csidl {
constexpr int Desktop = 0x00;
constexpr int Programs = 0x02;
constexpr int Personal = 0x05;
constexpr int Favorites = 0x06;
constexpr int Startup = 0x07;
constexpr int StartMenu = 0x0b;
constexpr int DesktopDirectory = 0x10;
constexpr int Drives = 0x11;
constexpr int CommonStartMenu = 0x16;
constexpr int CommonPrograms = 0x17;
constexpr int CommonDesktopDirectory = 0x19;
constexpr int AppData = 0x1a;
constexpr int LocalAppData = 0x1c;
constexpr int CommonAppData = 0x23;
constexpr int Windows = 0x24;
constexpr int System = 0x25;
constexpr int ProgramFiles = 0x26;
constexpr int ProgramFilesCommon = 0x2b;
}  // namespace Csidl

// A shell shortcut (.lnk) to a program.
struct ShortcutRequest {
    std::string target;         // the program's full path
    std::string arguments;
    std::string workingFolder;
    std::string description;
    std::string iconPath;
    int iconIndex = 0;
    std::string linkPath;       // the .lnk file to write
    // Only the target and the arguments are set, the rest stays as the shell makes it
    // (the installer's shortcuts); a missing shell object is then reported by the system.
    bool targetOnly = false;
};

class Shell {
public:
    virtual ~Shell() = default;

    // The folder without trailing backslash; false (and an empty text) if the
    // shell does not know it. Callers treat that as "not available".
    virtual bool SpecialFolder(int csidl, std::string& path) = 0;
    // False where the system has no special-folder call at all (early Windows 95 shells);
    // the folders are then read from the registry's "Shell Folders" key.
    virtual bool SpecialFoldersSupported() { return true; }

    // Expands %NAME% references as the system does; unknown names stay as written.
    virtual std::string ExpandEnvironment(const std::string& text) = 0;
    virtual std::string GetEnvironment(const std::string& name) = 0;

    // "open" on a file, folder, web address or mail address.
    virtual bool OpenDocument(const std::string& target) = 0;
    // Tells the shell that file associations changed.
    virtual void NotifyAssociationChanged() = 0;

    // Writes the shortcut file (show state and hot key as the shell's defaults); false
    // when it could not be created or where the system has no shortcuts.
    virtual bool CreateShortcut(const ShortcutRequest& request) {
        (void)request;
        return false;
    }
};

}  // namespace bv
