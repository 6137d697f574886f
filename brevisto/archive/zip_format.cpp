#include "brevisto/archive/zip_format.h"

#include "platform/system.h"

namespace bv::zip {

Limits& CurrentLimits() {
    static Limits limits;
    return limits;
}

bool ReadZip64Extra(const uint8_t* extra, size_t length, const Zip64Wanted& wanted,
                    Zip64Values& out) {
    size_t pos = 0;
    while (pos + 4 <= length) {
        const uint16_t id = Get16(extra + pos);
        const size_t size = Get16(extra + pos + 2);
        pos += 4;
        if (size > length - pos) return false;
        if (id == kZip64ExtraId) {
            const uint8_t* p = extra + pos;
            size_t left = size;
            auto take64 = [&](uint64_t& v) {
                if (left < 8) return false;
                v = Get64(p);
                p += 8;
                left -= 8;
                return true;
            };
            if (wanted.uncompressed && !take64(out.uncompressed)) return false;
            if (wanted.compressed && !take64(out.compressed)) return false;
            if (wanted.offset && !take64(out.offset)) return false;
            if (wanted.disk) {
                if (left < 4) return false;
                out.disk = Get32(p);
            }
            return true;
        }
        pos += size;
    }
    return !(wanted.uncompressed || wanted.compressed || wanted.offset || wanted.disk);
}

std::string StripZip64Extra(const std::string& extra) {
    std::string kept;
    const auto* p = reinterpret_cast<const uint8_t*>(extra.data());
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = Get16(p + pos);
        const size_t size = Get16(p + pos + 2);
        if (size > extra.size() - pos - 4) break;  // a broken tail is dropped
        if (id != kZip64ExtraId) kept.append(extra, pos, 4 + size);
        pos += 4 + size;
    }
    return kept;
}

std::string MakeZip64Extra(const Zip64Wanted& which, const Zip64Values& values) {
    Bytes body;
    if (which.uncompressed) Append64(body, values.uncompressed);
    if (which.compressed) Append64(body, values.compressed);
    if (which.offset) Append64(body, values.offset);
    if (which.disk) Append32(body, values.disk);
    if (body.empty()) return std::string();
    Bytes out;
    Append16(out, kZip64ExtraId);
    Append16(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return std::string(out.begin(), out.end());
}

uint32_t FileTimeToDos(System& system, FileTime utc) {
    DateTime t;
    if (!system.FileTimeToLocal(utc, t) || t.year < 1980) return (1u << 5 | 1u) << 16;
    if (t.year > 2107) t = DateTime{2107, 12, 31, 23, 59, 58, 0};
    const uint32_t date = static_cast<uint32_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
    const uint32_t time = static_cast<uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
    return date << 16 | time;
}

bool DosToFileTime(System& system, uint32_t dos, FileTime& utc) {
    DateTime t;
    const uint32_t date = dos >> 16;
    const uint32_t time = dos & 0xFFFF;
    t.year = static_cast<int>((date >> 9) + 1980);
    t.month = static_cast<int>((date >> 5) & 0x0F);
    t.day = static_cast<int>(date & 0x1F);
    t.hour = static_cast<int>(time >> 11);
    t.minute = static_cast<int>((time >> 5) & 0x3F);
    t.second = static_cast<int>((time & 0x1F) * 2);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return false;
    return system.LocalToFileTime(t, utc);
}

}  // namespace bv::zip
