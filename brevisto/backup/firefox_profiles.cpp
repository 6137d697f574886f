#include "brevisto/backup/firefox_profiles.h"

#include <functional>

#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "common/ini_file.h"
#include "platform/path.h"

namespace bv {
namespace {

// Calls `visit` for [Profile0], [Profile1], ... until a section is missing or empty.
void ForEachProfile(Platform& platform, const std::string& iniPath,
                    const std::function<void(TTheIniFile&)>& visit) {
    TTheIniFile ini(platform);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(iniPath);
    // Far more profiles than anyone has; a guard against a file that never ends.
    for (int n = 0; n < 10000; ++n) {
        ini.SetSection("PROFILE" + std::to_string(n));
        ini.SetOpen(true);
        if (ini.ErrorCode() > 0) return;
        std::vector<std::string> lines;
        ini.ReadKeyValues(lines);
        if (lines.empty()) return;
        visit(ini);
    }
}

}  // namespace

std::vector<std::string> FirefoxBookmarkFiles(Platform& platform, const std::string& iniPath,
                                              bool copy) {
    std::vector<std::string> result;
    const std::string iniFolder = ExtractFilePath(iniPath);
    ForEachProfile(platform, iniPath, [&](TTheIniFile& ini) {
        std::string file = "bookmarks.html";
        std::string base = ExpandPath(platform.shell, ini.ReadEntry("Path"), true);
        if (ini.ReadEntry("IsRelative") == "1") base = iniFolder + base;
        const std::string places = ReplaceText(base + "places.sqlite", "/", "\\");
        if (FileExists(platform.files, places)) {
            // A copy that failed could leave an older one in place: then the file itself is saved.
            if (copy && platform.files.CopyFile(places, ExtractFilePath(places) + "places.sqlite_mob", false)) {
                file = "places.sqlite_mob";
            } else {
                file = "places.sqlite";
            }
        }
        result.push_back(ReplaceText(base + file, "/", "\\"));
    });
    return result;
}

std::vector<std::string> FirefoxProfiles(Platform& platform, const std::string& iniPath,
                                         const std::string& separator) {
    std::vector<std::string> result;
    ForEachProfile(platform, iniPath, [&](TTheIniFile& ini) {
        result.push_back(ini.ReadEntry("Name") + separator +
                         ReplaceText(ini.ReadEntry("Path"), "/", "\\") + separator +
                         ini.ReadEntry("IsRelative") + separator + ini.ReadEntry("Default"));
    });
    return result;
}

}  // namespace bv
