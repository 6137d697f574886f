#include "brevisto/archive/zip_crypto.h"

#include <zlib.h>

namespace bv {
namespace {

// zlib's CRC table: the key schedule uses one step of the CRC-32 register.
const z_crc_t* CrcTable() {
    static const z_crc_t* table = get_crc_table();
    return table;
}

inline uint32_t CrcStep(uint32_t crc, uint8_t b) {
    return CrcTable()[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

}  // namespace

void TZipCrypto::Init(const std::string& password) {
    key0_ = 0x12345678;
    key1_ = 0x23456789;
    key2_ = 0x34567890;
    for (char c : password) Update(static_cast<uint8_t>(c));
}

void TZipCrypto::Update(uint8_t plain) {
    key0_ = CrcStep(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
    key2_ = CrcStep(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void TZipCrypto::Encrypt(uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t plain = data[i];
        data[i] = plain ^ KeyByte();
        Update(plain);
    }
}

void TZipCrypto::Decrypt(uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t plain = data[i] ^ KeyByte();
        data[i] = plain;
        Update(plain);
    }
}

}  // namespace bv
