// Archives from outside: reading the directory, testing every entry and extracting must end
// with a result or one of the reader's own errors, never a crash, a hang or a read out of
// bounds; nothing may be written outside the target folder.
#include <cstdint>

#include "brevisto/archive/zip_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "fuzz.bvq", data, size);
    bv::Platform platform = p.Bind();
    try {
        bv::TZipReader reader(platform);
        reader.SetIncompleteZipMode(bv::TIncompleteZipMode::izAssumeBad);
        reader.SetZipName(file);
        reader.SetPassword("fuzz");
        reader.ReadDirectory();
        reader.Comment();
        for (int i = 0; i < reader.EntryCount(); ++i) reader.TestEntry(i);
        reader.SetDestDir("C:\\fuzz-out");
        reader.SetOverwriteMode(bv::TOverwriteMode::Always);
        reader.SetRecreateDirs(true);
        reader.SetDoAll(true);
        reader.ExtractMatching();
    } catch (const bv::EZipError&) {
    }
    return 0;
}
