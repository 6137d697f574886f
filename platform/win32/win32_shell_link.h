// The installer's shortcut writer over the shell's link object (IShellLinkA) and its file
// persistence (IPersistFile). COM must be initialised on the calling thread.
#pragma once
#include <string>

namespace bv::win32 {

class TShellLink {
public:
    // Setting Path loads that shortcut file into the properties; on the first failure the
    // remaining properties keep their values and Path stays as it was.
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& path);
    // Loads the file named by Path again.
    void SetUpdate(bool update);
    bool Update() const { return update_; }

    std::string Target;
    std::string WorkingDir;
    std::string Description;
    std::string Arguments;
    std::string IconLocation;
    int HotKey = 0;
    int ShowCmd = 0;
    int IconNumber = 0;

    // A new shortcut with only its target set, saved over `linkFile`.
    bool CreateLink(const std::string& linkFile, const std::string& target);
    // A new shortcut from the properties, saved as `linkFile`.
    bool SaveLink(const std::string& linkFile);

private:
    std::string path_;
    bool update_ = true;
};

}  // namespace bv::win32
