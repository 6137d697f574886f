// The Twofish block cipher (128-bit blocks), encryption only: the password cipher runs it
// in CFB mode, which never needs the inverse.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace bv {

using TwofishBlock = std::array<uint8_t, 16>;

class Twofish {
public:
    // Keys of up to 32 bytes; a key shorter than 16, 24 or 32 bytes is padded with zero
    // bytes to the next of these sizes (which Twofish defines as the same key). Longer
    // keys are cut to 32 bytes.
    explicit Twofish(const std::string& key);

    TwofishBlock Encrypt(const TwofishBlock& plain) const;

private:
    uint32_t G(uint32_t x) const;

    int k_ = 2;                       // key length in 64-bit words
    std::array<uint32_t, 4> sbox_{};  // the key-dependent S-box words, S(k-1) first
    std::array<uint32_t, 40> subkeys_{};
};

}  // namespace bv
