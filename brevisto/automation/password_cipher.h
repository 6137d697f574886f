// The archive password as the parameter file stores it: Twofish in 8-bit CFB mode under a
// key derived from a fixed phrase, written as Base64. This keeps the password out of
// plain sight in the file; it is no protection against anyone who has the program.
#pragma once
#include <stdexcept>
#include <string>

namespace bv {

// A Base64 text that cannot be read (its length is no multiple of 4).
class EBase64Error : public std::runtime_error {
public:
    EBase64Error() : std::runtime_error("Base64: Incorrect string format") {}
};

// RFC 4648 alphabet with "=" padding, no line breaks; unused bits of the last character
// are zero.
std::string Base64Encode(const std::string& data);
// Raises EBase64Error when the length is no multiple of 4. One or two "=" at the end
// mark padding; any other character outside the alphabet reads as 63 ("=" elsewhere as
// 0); leftover bits are ignored.
std::string Base64Decode(const std::string& text);

// The CFB-8 cipher under the program's key; the result has the length of the input.
std::string EncipherPassword(const std::string& plain);
std::string DecipherPassword(const std::string& cipher);

// Enciphered and Base64-encoded, as "Passwort" holds it; empty stays empty.
std::string PasswordToText(const std::string& password);
// The inverse; raises EBase64Error for a text that is no Base64.
std::string PasswordFromText(const std::string& text);

}  // namespace bv
