// The program's version as its texts show it. It comes from the resource scripts' own
// define, so the texts and the version resources cannot drift apart.
#pragma once
#include "resources/version.h"

namespace bv {

inline constexpr char kProductVersion[] = BREVISTO_PRODUCT_VERSION;

}  // namespace bv
