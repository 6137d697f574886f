// The building blocks of the parameter file's password: SHA-1 and Twofish against their
// published vectors, Base64 against RFC 4648 and the tolerant reading the program needs,
// and the CFB-8 cipher rebuilt here step by step from the Twofish class.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "brevisto/automation/password_cipher.h"
#include "brevisto/automation/sha1.h"
#include "brevisto/automation/twofish.h"

namespace bv {
namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

template <typename Bytes>
std::string ToHex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (auto b : bytes) {
        const auto v = static_cast<uint8_t>(b);
        out += digits[v >> 4];
        out += digits[v & 15];
    }
    return out;
}

TwofishBlock Block(const std::string& bytes) {
    TwofishBlock block{};
    for (size_t i = 0; i < block.size() && i < bytes.size(); ++i) block[i] = static_cast<uint8_t>(bytes[i]);
    return block;
}

// Bytes of every value, the upper half included, varying with the length.
std::string TestBytes(size_t n, unsigned seed) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += static_cast<char>((i * 151 + seed * 29 + 0x80) & 0xFF);
    return out;
}

// --- SHA-1 ---------------------------------------------------------------------------------

TEST(Sha1Test, FipsVectors) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const std::vector<Case> cases = {
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 60));
        EXPECT_EQ(ToHex(Sha1(c.message)), c.digest);
    }
}

// The padding changes shape around 55/56 and 64 bytes; digests from an independent
// implementation.
TEST(Sha1Test, LengthsAroundTheBlockBoundaries) {
    struct Case {
        size_t length;
        const char* digest;
    };
    const Case cases[] = {
        {55, "C1C8BBDC22796E28C0E15163D20899B65621D65A"},
        {56, "C2DB330F6083854C99D4B5BFB6E8F29F201BE699"},
        {57, "F08F24908D682555111BE7FF6F004E78283D989A"},
        {63, "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5"},
        {64, "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
        {65, "11655326C708D70319BE2610E8A57D9A5B959D3B"},
        {119, "EE971065AAA017E0632A8CA6C77BB3BF8B1DFC56"},
        {120, "F34C1488385346A55709BA056DDD08280DD4C6D6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(ToHex(Sha1(std::string(c.length, 'a'))), c.digest);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(ToHex(Sha1(all)), "4916D6BDB7F78E6803698CAB32D1586EA457DFC8");
}

// --- Twofish -------------------------------------------------------------------------------

TEST(TwofishTest, KnownAnswers) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Case cases[] = {
        // The first vectors of the authors' table for each key size.
        {"00000000000000000000000000000000", "00000000000000000000000000000000",
         "9F589F5CF6122C32B6BFEC2F2AE8C35A"},
        {"00000000000000000000000000000000", "9F589F5CF6122C32B6BFEC2F2AE8C35A",
         "D491DB16E7B1C39E86CB086B789F5419"},
        {"9F589F5CF6122C32B6BFEC2F2AE8C35A", "D491DB16E7B1C39E86CB086B789F5419",
         "019F9809DE1711858FAAC3A3BA20FBC3"},
        {"0123456789ABCDEFFEDCBA98765432100011223344556677", "00000000000000000000000000000000",
         "CFD1D2E5A9BE9CDF501F13B892BD2248"},
        {"0123456789ABCDEFFEDCBA987654321000112233445566778899AABBCCDDEEFF",
         "00000000000000000000000000000000", "37527BE0052334B89F0CFCCAE87CFA20"},
        // Intermediate values of the authors' table (I=49).
        {"BCA724A54533C6987E14AA827952F921", "6B459286F3FFD28D49F15B1581B08E42",
         "5D9D4EEFFA9151575524F115815A12E0"},
        {"FB66522C332FCC4C042ABE32FA9E902FDEA4F3DA75EC7A8E", "F0AB73301125FA21EF70BE5385FB76B6",
         "E75449212BEEF9F4A390BD860A640941"},
        {"248A7F3528B168ACFDD1386E3F51E30C2E2158BC3E5FC714C1EEECA0EA696D48",
         "431058F4DBC7F734DA4F02F04CC4F459", "37FE26FF1CF66175F5DDF4C33B97A205"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.plain);
        EXPECT_EQ(ToHex(Twofish(FromHex(c.key)).Encrypt(Block(FromHex(c.plain)))), c.cipher);
    }
}

// A short key is the key of the next size with zero bytes appended; the program's own
// 20-byte key relies on that.
TEST(TwofishTest, ShortKeysAreZeroPadded) {
    struct Case {
        size_t length;
        size_t paddedTo;
    };
    const Case cases[] = {{1, 16}, {5, 16}, {15, 16}, {17, 24}, {20, 24}, {23, 24}, {25, 32}, {31, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string key = TestBytes(c.length, static_cast<unsigned>(c.length));
        const std::string padded = key + std::string(c.paddedTo - c.length, '\0');
        const Twofish shortKey(key), longKey(padded);
        for (unsigned seed = 0; seed < 3; ++seed) {
            const TwofishBlock plain = Block(TestBytes(16, seed));
            EXPECT_EQ(ToHex(shortKey.Encrypt(plain)), ToHex(longKey.Encrypt(plain)));
        }
        // The padding is not the whole story: the key itself still counts.
        std::string other = key;
        other[0] = static_cast<char>(other[0] ^ 1);
        EXPECT_NE(ToHex(Twofish(other).Encrypt(TwofishBlock{})), ToHex(shortKey.Encrypt(TwofishBlock{})));
    }
    // The empty key is the all-zero 128-bit key.
    EXPECT_EQ(ToHex(Twofish("").Encrypt(TwofishBlock{})), "9F589F5CF6122C32B6BFEC2F2AE8C35A");
}

// --- Base64 --------------------------------------------------------------------------------

TEST(Base64Test, Rfc4648Vectors) {
    struct Case {
        const char* plain;
        const char* encoded;
    };
    const Case cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                          {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                          {"foobar", "Zm9vYmFy"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(Base64Encode(c.plain), c.encoded);
        EXPECT_EQ(Base64Decode(c.encoded), c.plain);
    }
}

TEST(Base64Test, EveryByteValueAndLengthRoundTrips) {
    for (size_t n = 0; n <= 64; ++n) {
        SCOPED_TRACE(n);
        const std::string data = TestBytes(n, static_cast<unsigned>(n));
        const std::string text = Base64Encode(data);
        EXPECT_EQ(text.size(), 4 * ((n + 2) / 3));
        EXPECT_EQ(text.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(Base64Decode(text), data);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(255 - i);
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
    // The two last characters of the alphabet.
    EXPECT_EQ(Base64Encode(FromHex("FBFF")), "+/8=");
}

TEST(Base64Test, LengthNoMultipleOfFourIsAnError) {
    for (const char* text : {"Z", "Zg", "Zg=", "Zm9vY", "Zm9vYg=", "Zm9vYmFy="}) {
        SCOPED_TRACE(text);
        try {
            Base64Decode(text);
            ADD_FAILURE() << "no error";
        } catch (const EBase64Error& e) {
            EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
        }
    }
}

TEST(Base64Test, ForeignCharactersReadAs63AndPaddingBitsAreIgnored) {
    struct Case {
        const char* text;
        const char* sameAs;
    };
    const Case cases[] = {
        {"Zm9*", "Zm9/"},      // "*" is no Base64 digit: 63
        {"Z.9v", "Z/9v"},      // in the middle of a group too
        {"\xE4m9v", "/m9v"},   // a byte from the upper half
        {"Zh==", "Zg=="},      // the last digit's four unused bits are set
        {"Zm9=", "Zm8="},      // two unused bits set
        {"Zm9vZ/==", "Zm9vZw=="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ToHex(Base64Decode(c.text)), ToHex(Base64Decode(c.sameAs)));
    }
    EXPECT_EQ(ToHex(Base64Decode("Zm9*")), "666F7F");
    EXPECT_EQ(Base64Decode("Zh=="), "f");
}

// --- the password cipher -----------------------------------------------------------------

// The cipher rebuilt from its definition: the key is the SHA-1 digest of the phrase,
// the register starts as the encrypted block of 0xFF bytes, and each byte is XORed with
// the first byte of the encrypted register, which then takes in the cipher byte.
std::string ReferenceEncipher(const std::string& plain) {
    const Sha1Digest digest = Sha1("Qm7TzkLw2PxaNc4VeRbY");
    const Twofish cipher(std::string(digest.begin(), digest.end()));
    TwofishBlock reg;
    reg.fill(0xFF);
    reg = cipher.Encrypt(reg);
    std::string out;
    for (char c : plain) {
        const uint8_t x = static_cast<uint8_t>(c) ^ cipher.Encrypt(reg)[0];
        out += static_cast<char>(x);
        std::copy(reg.begin() + 1, reg.end(), reg.begin());
        reg[15] = x;
    }
    return out;
}

TEST(PasswordCipherTest, FirstByteIsThePlainByteXorTheEncryptedRegister) {
    const Sha1Digest digest = Sha1("Qm7TzkLw2PxaNc4VeRbY");
    ASSERT_EQ(digest.size(), 20u);
    const Twofish cipher(std::string(digest.begin(), digest.end()));
    TwofishBlock ones;
    ones.fill(0xFF);
    const uint8_t keyStream = cipher.Encrypt(cipher.Encrypt(ones))[0];
    for (int p : {0x00, 0x41, 0x80, 0xFF}) {
        SCOPED_TRACE(p);
        const std::string c = EncipherPassword(std::string(1, static_cast<char>(p)));
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(static_cast<uint8_t>(c[0]), static_cast<uint8_t>(p ^ keyStream));
    }
}

TEST(PasswordCipherTest, MatchesTheCipherBuiltFromTwofish) {
    for (const std::string& plain :
         {std::string("Geheim"), std::string("Passwort mit Umlauten \xE4\xF6\xFC\xDF"), TestBytes(40, 7)}) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(ToHex(EncipherPassword(plain)), ToHex(ReferenceEncipher(plain)));
    }
}

TEST(PasswordCipherTest, EveryLengthRoundTrips) {
    for (size_t n = 0; n <= 64; ++n) {
        SCOPED_TRACE(n);
        const std::string plain = TestBytes(n, static_cast<unsigned>(3 * n + 1));
        const std::string cipher = EncipherPassword(plain);
        ASSERT_EQ(cipher.size(), n);
        if (n >= 4) {
            EXPECT_NE(cipher, plain);
        }
        EXPECT_EQ(DecipherPassword(cipher), plain);

        const std::string text = PasswordToText(plain);
        EXPECT_EQ(text.size(), 4 * ((n + 2) / 3));
        EXPECT_EQ(text, Base64Encode(cipher));
        EXPECT_EQ(PasswordFromText(text), plain);
    }
    EXPECT_EQ(PasswordToText(""), "");
    EXPECT_EQ(PasswordFromText(""), "");
}

// Decryption takes the cipher bytes into the register: a damaged byte spoils itself and
// the next 16 bytes at most, never what came before.
TEST(PasswordCipherTest, ADamagedCipherByteSpoilsOnlyWhatFollowsWithinOneRegister) {
    const std::string plain = TestBytes(48, 5);
    const std::string cipher = EncipherPassword(plain);
    for (size_t k = 0; k < cipher.size(); ++k) {
        SCOPED_TRACE(k);
        std::string damaged = cipher;
        damaged[k] = static_cast<char>(damaged[k] ^ 0x5A);
        const std::string result = DecipherPassword(damaged);
        ASSERT_EQ(result.size(), plain.size());
        EXPECT_EQ(result.substr(0, k), plain.substr(0, k));
        EXPECT_EQ(static_cast<uint8_t>(result[k] ^ plain[k]), 0x5A);
        const size_t end = std::min(plain.size(), k + 17);
        if (k + 1 < plain.size()) {
            EXPECT_NE(result.substr(k + 1, end - k - 1), plain.substr(k + 1, end - k - 1));
        }
        EXPECT_EQ(result.substr(end), plain.substr(end));
    }
}

TEST(PasswordCipherTest, TextThatIsNoBase64IsAnError) {
    EXPECT_THROW(PasswordFromText("abcde"), EBase64Error);
    EXPECT_THROW(PasswordFromText("abc"), EBase64Error);
}

}  // namespace
}  // namespace bv
