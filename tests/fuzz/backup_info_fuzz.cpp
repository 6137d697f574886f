// Information records from outside (the comment of any archive the viewer opens): reading a
// value and listing the Firefox profiles must end with a result, never a crash or a hang.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "brevisto/backup/backup_info.h"
#include "brevisto/shell/archive_profiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string comment(reinterpret_cast<const char*>(data), size);
    static const char* const kKeys[][2] = {
        {"Backup", "Type"},          {"Backup", "MainBackup"}, {"Identity", "Name"},
        {"Identity", "Key"},         {"Backup", "Counter"},    {"Backup", "Date"},
        {"Firefox", "Version"},      {"Profile0", "Name"},     {"Profile1", "Path"},
        {"", ""},                    {"Backup", ""},           {"", "Name"},
    };
    for (const auto& k : kKeys) {
        const std::string value = bv::BackupInfoValue(comment, k[0], k[1]);
        if (value.size() > comment.size()) abort();
    }
    for (const std::string& profile : bv::ListFirefoxProfilesOfComment(comment))
        if (profile.find(bv::kProfileSeparator) == std::string::npos) abort();
    return 0;
}
