// The Outlook Express identities of the current user, the backup archives of a folder
// and tagged lines of a backup's log file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// One Outlook Express identity.
struct TIdentitaet {
    // Position of the identity's key among all subkeys of "Identities", keys without
    // "Username" counted too.
    uint8_t Index = 0;
    std::string Username;
    // "\{GUID}\": appended to "Identities" it names the identity's branch.
    std::string KeyName;
    // Mail store folder, expanded, with a trailing backslash; empty when not recorded.
    std::string StoreRoot;
    std::string LastArchivePath;
    std::vector<std::string> FirefoxProfileList;
};

class TIdentityScanner {
public:
    explicit TIdentityScanner(Platform& platform) : platform_(platform) {}

    // In the registry's enumeration order; empty when "Identities" cannot be read.
    std::vector<TIdentitaet> ListIdentities();
    // Bare names of the "*.bvq" entries of `folder` (ending with a backslash), sorted
    // without regard to case.
    std::vector<std::string> ListBackupFiles(const std::string& folder);
    // The trimmed rest of the first line that starts with `tag`; empty if none does.
    // Raises EFileReadError when the file cannot be read.
    std::string ReadTaggedLine(const std::string& fileName, const std::string& tag);
    // "Default User ID" of "Identities", or empty.
    std::string DefaultIdentityId();

private:
    Platform& platform_;
};

}  // namespace bv
