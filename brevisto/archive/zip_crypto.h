// The traditional PKWARE encryption of ZIP entries: three 32-bit keys updated byte by byte
// from the password and the data, a 12-byte header in front of the entry data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace bv {

class TZipCrypto {
public:
    explicit TZipCrypto(const std::string& password) { Init(password); }

    void Init(const std::string& password);
    void Encrypt(uint8_t* data, size_t count);
    void Decrypt(uint8_t* data, size_t count);

private:
    uint8_t KeyByte() const {
        const uint32_t t = (key2_ | 2) & 0xFFFF;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    void Update(uint8_t plain);

    uint32_t key0_ = 0;
    uint32_t key1_ = 0;
    uint32_t key2_ = 0;
};

}  // namespace bv
