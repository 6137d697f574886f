#include "brevisto/automation/password_cipher.h"

#include "brevisto/automation/sha1.h"
#include "brevisto/automation/twofish.h"

namespace bv {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kKeyPhrase[] = "Qm7TzkLw2PxaNc4VeRbY";

// The 160-bit digest is the key as it is (Twofish pads it to 192 bits).
const Twofish& ProgramCipher() {
    static const Twofish cipher = [] {
        Sha1Digest digest = Sha1(kKeyPhrase);
        return Twofish(std::string(digest.begin(), digest.end()));
    }();
    return cipher;
}

// Decryption feeds back the input byte, encryption the output byte.
std::string Cfb8(const std::string& in, bool decrypt) {
    const Twofish& cipher = ProgramCipher();
    TwofishBlock reg;
    reg.fill(0xFF);
    reg = cipher.Encrypt(reg);
    std::string out(in.size(), '\0');
    for (size_t i = 0; i < in.size(); ++i) {
        const uint8_t data = static_cast<uint8_t>(in[i]);
        const uint8_t result = data ^ cipher.Encrypt(reg)[0];
        out[i] = static_cast<char>(result);
        for (size_t j = 0; j + 1 < reg.size(); ++j) reg[j] = reg[j + 1];
        reg.back() = decrypt ? data : result;
    }
    return out;
}

int DigitValue(char c) {
    if (c == '=') return 0;
    for (int i = 0; i < 64; ++i)
        if (kAlphabet[i] == c) return i;
    return 63;
}

}  // namespace

std::string Base64Encode(const std::string& data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    for (size_t i = 0; i < data.size(); i += 3) {
        const size_t n = data.size() - i < 3 ? data.size() - i : 3;
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < n ? static_cast<uint8_t>(data[i + j]) : 0u);
        for (size_t j = 0; j < 4; ++j)
            out += j <= n ? kAlphabet[(group >> (18 - 6 * j)) & 63] : '=';
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    if (text.size() % 4 != 0) throw EBase64Error();
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t group = 0;
        for (size_t j = 0; j < 4; ++j) group = group << 6 | static_cast<uint32_t>(DigitValue(text[i + j]));
        for (int j = 0; j < 3; ++j) out += static_cast<char>(group >> (16 - 8 * j));
    }
    out.resize(out.size() - padding);
    return out;
}

std::string EncipherPassword(const std::string& plain) { return Cfb8(plain, false); }
std::string DecipherPassword(const std::string& cipher) { return Cfb8(cipher, true); }

std::string PasswordToText(const std::string& password) {
    return Base64Encode(EncipherPassword(password));
}

std::string PasswordFromText(const std::string& text) {
    return DecipherPassword(Base64Decode(text));
}

}  // namespace bv
