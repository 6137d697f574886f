// Base64 and the password cipher as a parameter file brings them ("Passwort" edited by hand or
// damaged): decoding must end with a text or EBase64Error, never a crash, and whatever the
// writer makes must read back as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "brevisto/automation/password_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const std::string decoded = bv::Base64Decode(text);
        if (text.size() % 4 != 0) abort();
        if (decoded.size() > text.size() / 4 * 3) abort();
    } catch (const bv::EBase64Error&) {
        if (text.size() % 4 == 0) abort();
    }
    try {
        (void)bv::PasswordFromText(text);
    } catch (const bv::EBase64Error&) {
    }
    if (bv::Base64Decode(bv::Base64Encode(text)) != text) abort();
    if (bv::DecipherPassword(bv::EncipherPassword(text)) != text) abort();
    if (bv::EncipherPassword(text).size() != text.size()) abort();
    if (bv::PasswordFromText(bv::PasswordToText(text)) != text) abort();
    return 0;
}
