#include "brevisto/automation/twofish.h"

namespace bv {
namespace {

uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
uint32_t Ror(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The fixed permutations q0 and q1, built from their four 4-bit tables each.
uint8_t Q(int which, uint8_t x) {
    static const uint8_t t[2][4][16] = {
        {{0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
         {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
         {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
         {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}},
        {{0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
         {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
         {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
         {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}}};
    auto ror4 = [](int v) { return ((v >> 1) | (v << 3)) & 0xF; };
    int a = x >> 4, b = x & 0xF;
    for (int round = 0; round < 2; ++round) {
        int a1 = a ^ b;
        int b1 = (a ^ ror4(b) ^ (8 * a)) & 0xF;
        a = t[which][2 * round][a1];
        b = t[which][2 * round + 1][b1];
    }
    return static_cast<uint8_t>(16 * b + a);
}

// Multiplication in GF(2^8) modulo the given polynomial.
uint8_t Mul(uint8_t a, uint8_t b, unsigned poly) {
    unsigned result = 0, x = a;
    for (; b; b >>= 1) {
        if (b & 1) result ^= x;
        x <<= 1;
        if (x & 0x100) x ^= poly;
    }
    return static_cast<uint8_t>(result);
}

uint8_t Byte(uint32_t x, int i) { return static_cast<uint8_t>(x >> (8 * i)); }

// The function h: the bytes of x through the q permutations, mixed with the words of
// `list` (k of them), then through the MDS matrix.
uint32_t H(uint32_t x, const uint32_t* list, int k) {
    // Which permutation each byte passes at each stage, from the innermost stage out.
    static const int stage[5][4] = {
        {1, 0, 0, 1},  // before mixing with list[3] (256-bit keys)
        {1, 1, 0, 0},  // before list[2] (192 bits and more)
        {0, 1, 0, 1},  // before list[1]
        {0, 0, 1, 1},  // before list[0]
        {1, 0, 1, 0},  // last
    };
    uint8_t y[4] = {Byte(x, 0), Byte(x, 1), Byte(x, 2), Byte(x, 3)};
    for (int s = 4 - k; s < 4; ++s) {
        const uint32_t word = list[3 - s];
        for (int j = 0; j < 4; ++j) y[j] = Q(stage[s][j], y[j]) ^ Byte(word, j);
    }
    for (int j = 0; j < 4; ++j) y[j] = Q(stage[4][j], y[j]);
    static const uint8_t mds[4][4] = {
        {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
    uint32_t z = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t sum = 0;
        for (int j = 0; j < 4; ++j) sum ^= Mul(mds[i][j], y[j], 0x169);
        z |= uint32_t(sum) << (8 * i);
    }
    return z;
}

uint32_t LoadWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

Twofish::Twofish(const std::string& key) {
    size_t size = key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32;
    uint8_t m[32] = {};
    for (size_t i = 0; i < size && i < key.size(); ++i) m[i] = static_cast<uint8_t>(key[i]);
    k_ = static_cast<int>(size / 8);

    uint32_t even[4] = {}, odd[4] = {};
    for (int i = 0; i < k_; ++i) {
        even[i] = LoadWord(m + 8 * i);
        odd[i] = LoadWord(m + 8 * i + 4);
    }
    // The S-box words: each 8-byte group of the key through the Reed-Solomon matrix,
    // stored last group first.
    static const uint8_t rs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                                     {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                                     {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                                     {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};
    for (int i = 0; i < k_; ++i) {
        uint32_t word = 0;
        for (int r = 0; r < 4; ++r) {
            uint8_t sum = 0;
            for (int c = 0; c < 8; ++c) sum ^= Mul(rs[r][c], m[8 * i + c], 0x14D);
            word |= uint32_t(sum) << (8 * r);
        }
        sbox_[k_ - 1 - i] = word;
    }
    for (uint32_t i = 0; i < 20; ++i) {
        uint32_t a = H(2 * i * 0x01010101u, even, k_);
        uint32_t b = Rol(H((2 * i + 1) * 0x01010101u, odd, k_), 8);
        subkeys_[2 * i] = a + b;
        subkeys_[2 * i + 1] = Rol(a + 2 * b, 9);
    }
}

uint32_t Twofish::G(uint32_t x) const { return H(x, sbox_.data(), k_); }

TwofishBlock Twofish::Encrypt(const TwofishBlock& plain) const {
    uint32_t r[4];
    for (int i = 0; i < 4; ++i) r[i] = LoadWord(plain.data() + 4 * i) ^ subkeys_[i];
    for (int round = 0; round < 16; ++round) {
        uint32_t t0 = G(r[0]);
        uint32_t t1 = G(Rol(r[1], 8));
        uint32_t f0 = t0 + t1 + subkeys_[2 * round + 8];
        uint32_t f1 = t0 + 2 * t1 + subkeys_[2 * round + 9];
        uint32_t n0 = Ror(r[2] ^ f0, 1);
        uint32_t n1 = Rol(r[3], 1) ^ f1;
        r[2] = r[0];
        r[3] = r[1];
        r[0] = n0;
        r[1] = n1;
    }
    // The last round's swap is undone by taking the halves the other way round.
    TwofishBlock out;
    for (int i = 0; i < 4; ++i) {
        uint32_t word = r[(i + 2) % 4] ^ subkeys_[i + 4];
        for (int j = 0; j < 4; ++j) out[4 * i + j] = Byte(word, j);
    }
    return out;
}

}  // namespace bv
