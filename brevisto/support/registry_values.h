// Single registry values, read and written in one step each: the program's settings and
// everything it reads of the system's own keys go through these.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace bv {

// Root selectors as callers pass them: 1 current user, 2 local machine, 3 classes root;
// any other number selects the current user.
RegRoot RootFromSelector(int selector);

// Each accessor opens the key, does its one operation and closes it again. A missing key or
// value, or a value of another type, reads as the "missing" answer: "", -1, false.
std::string ReadRegString(Registry& registry, int root, const std::string& key,
                          const std::string& name);
int32_t ReadRegInteger(Registry& registry, int root, const std::string& key,
                       const std::string& name);
bool ReadRegBool(Registry& registry, int root, const std::string& key, const std::string& name);
// Writers create the key and missing parents; false if the key could not be opened or created.
bool WriteRegString(Registry& registry, int root, const std::string& key, const std::string& name,
                    const std::string& value);
bool WriteRegInteger(Registry& registry, int root, const std::string& key,
                     const std::string& name, int32_t value);
bool WriteRegBool(Registry& registry, int root, const std::string& key, const std::string& name,
                  bool value);

}  // namespace bv
