// Records of the ZIP format as the archive components write and read them: signatures,
// little-endian field access, the Zip64 extended information field, DOS date and time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace bv {

class System;

namespace zip {

constexpr uint32_t kLocalHeaderSig = 0x04034B50;
constexpr uint32_t kCentralHeaderSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr uint32_t kDataDescriptorSig = 0x08074B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxComment = 0xFFFF;
// The end record is at most this far from the end of the file (record plus longest comment).
constexpr size_t kEndSearchSpan = kEndSize + kMaxComment;

constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;

constexpr uint16_t kVersionDefault = 20;  // deflate, encryption, folders
constexpr uint16_t kVersionZip64 = 45;

constexpr size_t kEncryptionHeaderSize = 12;

// A value at or above these limits does not fit its field and goes into the Zip64 records.
// The format fixes them at the field maximum; tests lower them to exercise the Zip64 paths
// without writing gigabytes.
struct Limits {
    uint64_t max32 = 0xFFFFFFFFu;
    uint64_t max16 = 0xFFFFu;
};
Limits& CurrentLimits();
inline bool Overflows32(uint64_t v) { return v >= CurrentLimits().max32; }
inline bool Overflows16(uint64_t v) { return v >= CurrentLimits().max16; }

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}
inline void Put64(uint8_t* p, uint64_t v) {
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void Append16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Append32(Bytes& out, uint32_t v) {
    Append16(out, v & 0xFFFF);
    Append16(out, v >> 16);
}
inline void Append64(Bytes& out, uint64_t v) {
    Append32(out, static_cast<uint32_t>(v));
    Append32(out, static_cast<uint32_t>(v >> 32));
}
inline void AppendText(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// The Zip64 values of a header: which of its 32-bit fields held 0xFFFFFFFF (or the disk field
// 0xFFFF) decides which values the extra field carries, in this order.
struct Zip64Wanted {
    bool uncompressed = false;
    bool compressed = false;
    bool offset = false;
    bool disk = false;
};
struct Zip64Values {
    uint64_t uncompressed = 0;
    uint64_t compressed = 0;
    uint64_t offset = 0;
    uint32_t disk = 0;
};
// Reads the values that `wanted` names from the extra field; false when the field is missing or
// too short (the header then cannot be read).
bool ReadZip64Extra(const uint8_t* extra, size_t length, const Zip64Wanted& wanted,
                    Zip64Values& out);
// The extra field without any Zip64 block (kept when an entry is copied; the block is rebuilt).
std::string StripZip64Extra(const std::string& extra);
// A Zip64 block with the named values.
std::string MakeZip64Extra(const Zip64Wanted& which, const Zip64Values& values);

// DOS date and time (date in the high word) of a file time, in the local time of `system`;
// dates before 1980 become 1980-01-01 00:00:00.
uint32_t FileTimeToDos(System& system, FileTime utc);
// The file time of a DOS date and time; false when it is no valid date.
bool DosToFileTime(System& system, uint32_t dos, FileTime& utc);

}  // namespace zip
}  // namespace bv
