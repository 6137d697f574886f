// Ini files from outside (parameter files, profiles.ini): our own private-profile engine must
// read any text, and a write must keep every other entry readable as before.
#include <cstdint>

#include "platform/ansi.h"
#include "platform/profile.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "fuzz.ini", data, size);
    auto profile = bv::CreatePortableProfile(p.files);
    const std::vector<std::string> before = profile->ReadKeys(file, "Backup");
    std::vector<std::string> values;
    for (const std::string& key : before) values.push_back(profile->ReadString(file, "Backup", key, "INIERROR"));
    profile->ReadString(file, "Profile0", "Path", "INIERROR");
    if (!profile->WriteString(file, "Backup", "FuzzNeu", "1")) abort();
    if (profile->ReadString(file, "Backup", "FuzzNeu", "INIERROR") != "1") abort();
    // Keys that were readable stay readable with their values (a new key is appended, never
    // put in front of an existing one of the same name).
    for (size_t i = 0; i < before.size(); ++i) {
        if (bv::SameText(before[i], "FuzzNeu")) continue;
        if (profile->ReadString(file, "Backup", before[i], "INIERROR") != values[i]) abort();
    }
    return 0;
}
