// Registry snapshots from a backup (FILTERS.OLS, the account keys, ...): taking them line by
// line or key by key must end with the lines or one of the reader's errors, never a crash or
// a hang; the key-by-key reading is all or nothing.
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "brevisto/regfile/ex_registry.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/transfer/reg_snapshot.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "fuzz.ols", data, size);

    std::vector<bv::RegSnapshotLine> lines;
    bool linesFailed = false;
    try {
        bv::ReadRegSnapshotLines(p.files, p.system, file, lines);
    } catch (const bv::ERegFileError&) {
        linesFailed = true;
    } catch (const bv::EConvertError&) {
        linesFailed = true;
    } catch (const bv::EFileReadError&) {
        linesFailed = true;
    }
    size_t keyLines = 0;
    for (const bv::RegSnapshotLine& line : lines) keyLines += line.isKey ? 1 : 0;

    bool keysFailed = false;
    try {
        const std::vector<bv::RegSnapshotKey> keys = bv::ReadRegSnapshot(p.files, p.system, file);
        if (keys.size() > keyLines) abort();
    } catch (const bv::ERegFileError&) {
        keysFailed = true;
    } catch (const bv::EConvertError&) {
        keysFailed = true;
    } catch (const bv::EFileReadError&) {
        keysFailed = true;
    }
    if (keysFailed != linesFailed) abort();
    return 0;
}
