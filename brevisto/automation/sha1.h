// SHA-1 digest of a byte string; used only to turn the fixed key phrase of the password
// cipher into a key.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace bv {

using Sha1Digest = std::array<uint8_t, 20>;

Sha1Digest Sha1(const std::string& data);

}  // namespace bv
