// REGEDIT4 text from outside: the import must end with one of its documented errors or
// succeed, and a key it wrote must export again.
#include <cstdint>
#include <exception>

#include "brevisto/regfile/ex_registry.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "fuzz.reg", data, size);

    bv::TExRegistry importer(p.registry, p.files, p.system);
    importer.Access = bv::KeyAccess::Write;
    try {
        importer.ImportFromRegFile(file);
    } catch (const bv::ERegFileError&) {
    } catch (const bv::EConvertError&) {
    }

    // Whatever arrived under HKEY_CURRENT_USER is exported, then the registry is emptied
    // so that runs do not see each other's keys.
    const bv::RegRoot roots[] = {bv::RegRoot::CurrentUser, bv::RegRoot::LocalMachine,
                                 bv::RegRoot::ClassesRoot, bv::RegRoot::Users};
    for (bv::RegRoot root : roots) {
        std::vector<std::string> keys;
        p.registry.EnumSubKeys(root, "", keys);
        for (const auto& key : keys) {
            bv::TExRegistry exporter(p.registry, p.files, p.system);
            exporter.RootKey = root;
            if (exporter.OpenKeyReadOnly(key)) exporter.ExportToRegFile("C:\\fuzz-export.reg");
            p.registry.DeleteKeyTree(root, key);
        }
    }
    return 0;
}
