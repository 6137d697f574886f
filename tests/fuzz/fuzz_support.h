// One POSIX platform over a private temporary root, shared by all runs of a fuzz target.
#pragma once
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/posix_platform.h"

namespace bv::fuzz {

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

inline PosixPlatform& SharedPlatform() {
    static char root[] = "/tmp/bvfuzz-XXXXXX";
    static std::unique_ptr<PosixPlatform> platform = [] {
        if (!mkdtemp(root)) abort();
        // The root goes when the fuzzer ends normally (time limit, run count).
        atexit([] { nftw(root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); });
        return std::make_unique<PosixPlatform>(root);
    }();
    return *platform;
}

// Puts the input into a file of drive C: and returns its Windows path.
inline std::string WriteInput(Files& files, const std::string& name, const uint8_t* data,
                              size_t size) {
    const std::string path = "C:\\" + name;
    auto stream = files.Open(path, OpenMode::CreateAlways);
    if (!stream || !stream->Write(data, size) || !stream->Close()) abort();
    return path;
}

}  // namespace bv::fuzz
