// One POSIX platform over a private temporary root, shared by all runs of a fuzz target.
#pragma once
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/posix_platform.h"

namespace bv::fuzz {

inline PosixPlatform& SharedPlatform() {
    static std::unique_ptr<PosixPlatform> platform = [] {
        char root[] = "/tmp/bvfuzz-XXXXXX";
        if (!mkdtemp(root)) abort();
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
