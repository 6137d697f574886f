#include "brevisto/automation/sha1.h"

namespace bv {
namespace {

uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Compress(uint32_t h[5], const uint8_t block[64]) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
               uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
    }
    for (int i = 16; i < 80; ++i) w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t t = Rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

}  // namespace

Sha1Digest Sha1(const std::string& data) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    // The message, a 0x80 byte, zeros up to 56 mod 64, then the bit length big-endian.
    std::string padded = data;
    padded.push_back(static_cast<char>(0x80));
    while (padded.size() % 64 != 56) padded.push_back('\0');
    const uint64_t bits = uint64_t(data.size()) * 8;
    for (int i = 7; i >= 0; --i) padded.push_back(static_cast<char>(bits >> (8 * i)));
    for (size_t pos = 0; pos < padded.size(); pos += 64)
        Compress(h, reinterpret_cast<const uint8_t*>(padded.data() + pos));
    Sha1Digest digest;
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

}  // namespace bv
