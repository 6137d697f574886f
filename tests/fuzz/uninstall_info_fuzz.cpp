// Uninstall information files from outside (damaged, edited by hand): the uninstaller's reader
// must end with a result, never a crash or a hang, and a file it cannot read leaves nothing
// behind that the uninstaller could act on.
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
    if (!ok && (!read.files.empty() || !read.links.empty() || !read.paths.empty() || !read.registry.empty() ||
                !read.libraries.empty() || !read.instPath.empty()))
        abort();
    if (read.complete && !ok) abort();
    // Lists leave empty values out.
    for (const auto* list : {&read.files, &read.links, &read.paths, &read.registry, &read.libraries})
        for (const std::string& value : *list)
            if (value.empty()) abort();
    // The file is read-only after writing; the next run must be able to replace it.
    (void)p.files.SetAttributes(file, bv::FileAttr::Normal);
    return 0;
}
