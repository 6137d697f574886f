// Firefox profiles as "profiles.ini" lists them: their bookmark files for the backup and
// their names and paths for the information record.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// One bookmark file per profile, in profile order: "places.sqlite_mob" (a fresh copy of
// "places.sqlite" when `copy` is set) or "places.sqlite" where the profile has one,
// otherwise "bookmarks.html". The paths are not checked for existence.
std::vector<std::string> FirefoxBookmarkFiles(Platform& platform, const std::string& iniPath,
                                              bool copy);

// Name, path (with "\"), IsRelative and Default of each profile, joined by `separator`;
// a missing key contributes "INIERROR".
std::vector<std::string> FirefoxProfiles(Platform& platform, const std::string& iniPath,
                                         const std::string& separator);

}  // namespace bv
