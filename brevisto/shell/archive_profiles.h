// The Firefox profiles that a backup's information record names.
#pragma once
#include <string>
#include <vector>

namespace bv {

class TZipReader;

extern const char* const kProfileSeparator;  // ":#*#:"

// name + ":#*#:" + path for each "[Profile<n>]" block, n = 0, 1, 2, ... without gaps.
// A block lacking its "Name=" or "Path=" line is skipped; the comment's end ends the search.
std::vector<std::string> ListFirefoxProfilesOfComment(const std::string& comment);
// The same for an archive's comment; may raise the reader's errors.
std::vector<std::string> ListArchiveFirefoxProfiles(TZipReader& archive);

}  // namespace bv
