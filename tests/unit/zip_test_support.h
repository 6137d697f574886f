// Helpers shared by the archive tests: reproducible file contents, a builder for hand-made
// (also malformed) archives, and small file utilities over the test platform.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "brevisto/archive/zip_format.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv::test::ziptest {

// Text with the redundancy of mail: repeated header lines, words from a small vocabulary.
inline std::string MailText(size_t size, uint32_t seed) {
    static const char* words[] = {"Hallo",  "Grüße", "Backup", "Outlook", "Express", "Ordner",
                                  "Nachricht", "der",   "die",     "und",     "mit",     "Datei",
                                  "Received:", "from",  "by",      "Subject:", "Re:",    "Termin"};
    std::string out;
    out.reserve(size + 32);
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += words[(x >> 16) % (sizeof words / sizeof *words)];
        out += ((x >> 8) % 11 == 0) ? "\r\n" : " ";
    }
    out.resize(size);
    return out;
}

// Bytes that do not compress.
inline std::string NoiseBytes(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 7;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

inline uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// Files whose name starts with `prefix` in a folder (temporary files left behind).
inline std::vector<std::string> FilesStartingWith(Files& files, const std::string& folder,
                                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const FindEntry& e : files.Find(IncludeTrailingBackslash(folder) + prefix + "*"))
        out.push_back(e.name);
    return out;
}

inline std::vector<std::string> TempLeftovers(Files& files, const std::string& folder) {
    std::vector<std::string> out = FilesStartingWith(files, folder, "~bz");
    for (const std::string& s : FilesStartingWith(files, folder, "~bx")) out.push_back(s);
    return out;
}

// A hand-made archive: stored entries with any names, for the cases a writer never makes.
struct RawEntry {
    std::string name;
    std::string data;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dos = (41u << 9 | 1u << 5 | 1u) << 16;  // 2021-01-01 00:00
    bool badCrc = false;
    uint64_t declaredSize = UINT64_MAX;  // uncompressed size to declare (default: the data's)
};

inline std::string BuildRawZip(const std::vector<RawEntry>& entries, const std::string& comment = "") {
    using namespace bv::zip;
    Bytes out, cd;
    for (const RawEntry& e : entries) {
        const uint32_t crc = Crc(e.data) ^ (e.badCrc ? 1u : 0u);
        const uint64_t usize = e.declaredSize == UINT64_MAX ? e.data.size() : e.declaredSize;
        const uint32_t offset = static_cast<uint32_t>(out.size());
        Append32(out, kLocalHeaderSig);
        Append16(out, 20);
        Append16(out, e.flags);
        Append16(out, e.method);
        Append16(out, e.dos & 0xFFFF);
        Append16(out, e.dos >> 16);
        Append32(out, crc);
        Append32(out, static_cast<uint32_t>(e.data.size()));
        Append32(out, static_cast<uint32_t>(usize));
        Append16(out, static_cast<uint32_t>(e.name.size()));
        Append16(out, 0);
        AppendText(out, e.name);
        AppendText(out, e.data);
        Append32(cd, kCentralHeaderSig);
        Append16(cd, 20);
        Append16(cd, 20);
        Append16(cd, e.flags);
        Append16(cd, e.method);
        Append16(cd, e.dos & 0xFFFF);
        Append16(cd, e.dos >> 16);
        Append32(cd, crc);
        Append32(cd, static_cast<uint32_t>(e.data.size()));
        Append32(cd, static_cast<uint32_t>(usize));
        Append16(cd, static_cast<uint32_t>(e.name.size()));
        Append16(cd, 0);
        Append16(cd, 0);
        Append16(cd, 0);
        Append16(cd, 0);
        Append32(cd, 0x20);
        Append32(cd, offset);
        AppendText(cd, e.name);
    }
    const uint32_t cdOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), cd.begin(), cd.end());
    Append32(out, kEndSig);
    Append16(out, 0);
    Append16(out, 0);
    Append16(out, static_cast<uint32_t>(entries.size()));
    Append16(out, static_cast<uint32_t>(entries.size()));
    Append32(out, static_cast<uint32_t>(cd.size()));
    Append32(out, cdOffset);
    Append16(out, static_cast<uint32_t>(comment.size()));
    AppendText(out, comment);
    return std::string(out.begin(), out.end());
}

// Sets a file's modification time to a fixed local date (seconds even, as DOS keeps them).
inline bool SetLocalTime(TestPlatform& tp, const std::string& path, int year, int month, int day,
                         int hour = 12, int minute = 0, int second = 0) {
    DateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    FileTime ft = 0;
    if (!tp.system().LocalToFileTime(t, ft)) return false;
    return tp.files().SetTimes(path, nullptr, &ft);
}

}  // namespace bv::test::ziptest
