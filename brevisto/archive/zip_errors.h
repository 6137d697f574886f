// The errors that the archive components raise. Each carries exactly the English text that
// callers show or compare; everything else (wrong password, CRC mismatch, a file that cannot be
// written) is reported by result.
#pragma once
#include <stdexcept>
#include <string>

namespace bv {

class EZipError : public std::runtime_error {
public:
    explicit EZipError(const std::string& text) : std::runtime_error(text) {}
};

// Not a ZIP archive, or its directory cannot be read or rebuilt.
class EZipInvalid : public EZipError {
public:
    EZipInvalid() : EZipError("Not a valid zip file!") {}
};

class EZipIndexOutOfRange : public EZipError {
public:
    explicit EZipIndexOutOfRange(long long index)
        : EZipError("Index " + std::to_string(index) + " is out of range"), index_(index) {}
    long long Index() const { return index_; }

private:
    long long index_;
};

// The running operation saw a request of AbortOperation.
class EZipAborted : public EZipError {
public:
    EZipAborted() : EZipError("User Aborted Operation") {}
};

// An entry whose compression method cannot be decompressed (only stored and deflate can).
class EZipUnknownMethod : public EZipError {
public:
    EZipUnknownMethod() : EZipError("Unknown Compression Method") {}
    const char* Caption() const { return "Zip Error"; }
};

}  // namespace bv
