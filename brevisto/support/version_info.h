// Reads the version resource of a file (the About box shows the program's own version).
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

class TVersionInfo {
public:
    TVersionInfo(System& system, const std::string& fileName);

    const std::string& FileName() const { return fileName_; }
    bool HasResource() const { return read_; }
    size_t ResourceSize() const { return resource_.size(); }
    // "FileVersion" of the first translation, else "major.minor.release.build" of the
    // fixed information; empty without a resource.
    std::string FileVersion() const;

    // The same, from a raw resource as GetFileVersionInfoA returns it.
    static std::string FileVersionOf(const Bytes& resource);

private:
    std::string fileName_;
    Bytes resource_;
    bool read_ = false;
};

}  // namespace bv
