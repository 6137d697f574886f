// Ini files through the system's private-profile functions.
#include <windows.h>

#include <vector>

#include "platform/profile.h"

namespace bv {
namespace {

class SystemProfile : public PrivateProfile {
public:
    std::string ReadString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        // The call truncates silently; grow until the value fits.
        std::vector<char> buffer(2048);
        for (;;) {
            DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                               buffer.data(), static_cast<DWORD>(buffer.size()),
                                               file.c_str());
            if (n + 1 < buffer.size() || buffer.size() >= (1u << 24)) return std::string(buffer.data(), n);
            buffer.resize(buffer.size() * 4);
        }
    }

    bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override {
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                          file.c_str()) != 0;
    }

    std::vector<std::string> ReadKeys(const std::string& file, const std::string& section) override {
        std::vector<char> buffer(16384);
        DWORD n;
        for (;;) {
            n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file.c_str());
            if (n + 2 < buffer.size() || buffer.size() >= (1u << 24)) break;
            buffer.resize(buffer.size() * 4);
        }
        std::vector<std::string> keys;
        for (DWORD i = 0; i < n;) {
            std::string key(buffer.data() + i);
            if (key.empty()) break;
            i += static_cast<DWORD>(key.size()) + 1;
            keys.push_back(key);
        }
        return keys;
    }
};

}  // namespace

std::unique_ptr<PrivateProfile> CreateSystemProfile(Files&) {
    return std::make_unique<SystemProfile>();
}

}  // namespace bv
