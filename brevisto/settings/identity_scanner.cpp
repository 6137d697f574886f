#include "brevisto/settings/identity_scanner.h"

#include <algorithm>

#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "platform/ansi.h"

namespace bv {

namespace {

const char* const kIdentitiesKey = "Identities";
const char* const kStoreKey = "SOFTWARE\\Microsoft\\Outlook Express\\5.0";
const char* const kBackupPattern = "*.bvq";
constexpr int kCurrentUser = 1;

}  // namespace

std::vector<TIdentitaet> TIdentityScanner::ListIdentities() {
    Registry& registry = platform_.registry;
    std::vector<TIdentitaet> identities;
    std::vector<std::string> subKeys;
    if (registry.KeyExists(RegRoot::CurrentUser, kIdentitiesKey) != WinError::Success ||
        registry.EnumSubKeys(RegRoot::CurrentUser, kIdentitiesKey, subKeys) != WinError::Success)
        return identities;

    for (size_t i = 0; i < subKeys.size(); ++i) {
        const std::string key = std::string(kIdentitiesKey) + "\\" + subKeys[i];
        RegValue username;
        if (registry.QueryValue(RegRoot::CurrentUser, key, "Username", username) !=
            WinError::Success)
            continue;
        TIdentitaet identity;
        identity.Index = static_cast<uint8_t>(i);
        identity.Username = ReadRegString(registry, kCurrentUser, key, "Username");
        identity.KeyName = "\\" + subKeys[i] + "\\";
        identities.push_back(identity);
    }

    for (auto& identity : identities) {
        const std::string storeKey = kIdentitiesKey + identity.KeyName + kStoreKey;
        const std::string storeRoot =
            ReadRegString(registry, kCurrentUser, storeKey, "Store Root");
        identity.StoreRoot = ExpandPath(platform_.shell, storeRoot, true);
    }
    return identities;
}

std::vector<std::string> TIdentityScanner::ListBackupFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : platform_.files.Find(folder + kBackupPattern))
        names.push_back(entry.name);
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return AnsiCompareText(a, b) < 0;
    });
    return names;
}

std::string TIdentityScanner::ReadTaggedLine(const std::string& fileName,
                                             const std::string& tag) {
    const auto lines = ReadTextLines(platform_.files, platform_.system, fileName);
    if (tag.empty()) return std::string();
    for (const auto& line : lines)
        if (line.compare(0, tag.size(), tag) == 0) return TrimBlanks(line.substr(tag.size()));
    return std::string();
}

std::string TIdentityScanner::DefaultIdentityId() {
    return ReadRegString(platform_.registry, kCurrentUser, kIdentitiesKey, "Default User ID");
}

}  // namespace bv
