// Uninstall information files from outside (damaged, edited by hand): the uninstaller's reader
// must end with a result, never a crash or a hang, and says whether it read everything.
#include <cstdint>
#include <cstdlib>

#include "setup/install/uninstall_info.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "Fuzz_Uninstall.in", data, size);
    bv::Platform platform = p.Bind();

    bv::UninstallData read;
    const bool ok = bv::ReadUninstallInfo(platform, file, read);
    // False means the file was missing or not read to its end; what was read may stay.
    if (ok != read.complete) abort();
    // Lists leave empty values out.
    for (const auto* list : {&read.files, &read.links, &read.paths, &read.registry, &read.libraries})
        for (const std::string& value : *list)
            if (value.empty()) abort();
    // The file is read-only after writing; the next run must be able to replace it.
    (void)p.files.SetAttributes(file, bv::FileAttr::Normal);
    return 0;
}
