#include "tests/fuzz/dbx_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::fuzz::RunDbx(data, size, 0x6F74FDC6);  // folder index
    return 0;
}
