// Ini files with the rules of the Windows private-profile functions: section and key names
// compare without regard to case, values are trimmed (and unquoted when read), every write
// goes to the file at once and creates it when missing.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace bv {

class Files;

class PrivateProfile {
public:
    virtual ~PrivateProfile() = default;
    // The value, or `defaultValue` when the file, section or key is missing.
    virtual std::string ReadString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;
    // False if the file could not be written.
    virtual bool WriteString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
    // Key names of a section in file order (comment lines left out).
    virtual std::vector<std::string> ReadKeys(const std::string& file,
                                              const std::string& section) = 0;
};

// Our own engine over Files; the POSIX backend uses it.
std::unique_ptr<PrivateProfile> CreatePortableProfile(Files& files);
// The system's private-profile functions on Windows, the portable engine elsewhere.
std::unique_ptr<PrivateProfile> CreateSystemProfile(Files& files);

}  // namespace bv
