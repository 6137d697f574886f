#include "brevisto/shell/archive_profiles.h"

#include "brevisto/archive/zip_reader.h"
#include "brevisto/regfile/text_file.h"

namespace bv {

const char* const kProfileSeparator = ":#*#:";

namespace {

// The text after the first occurrence of `key`; false when the line lacks it.
bool ValueAfter(const std::string& line, const std::string& key, std::string& value) {
    size_t at = line.find(key);
    if (at == std::string::npos) return false;
    value = line.substr(at + key.size());
    return true;
}

}  // namespace

std::vector<std::string> ListFirefoxProfilesOfComment(const std::string& comment) {
    std::vector<std::string> result;
    if (comment.empty()) return result;
    const std::vector<std::string> lines = SplitTextLines(comment);
    int n = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("[Profile" + std::to_string(n) + "]") == std::string::npos) continue;
        ++n;
        // A record cut short, or a block without its two lines, names no profile.
        std::string name, path;
        if (i + 2 >= lines.size()) break;
        if (!ValueAfter(lines[i + 1], "Name=", name) || !ValueAfter(lines[i + 2], "Path=", path))
            continue;
        result.push_back(name + kProfileSeparator + path);
    }
    return result;
}

std::vector<std::string> ListArchiveFirefoxProfiles(TZipReader& archive) {
    if (!archive.HasComment()) return {};
    return ListFirefoxProfilesOfComment(archive.Comment());
}

}  // namespace bv
