// Registry keys as the installer script and the uninstall information write them:
// ROOT\key path, ROOT being HKCR, HKCU, HKLM or HKU.
#pragma once
#include <string>

#include "platform/registry.h"

namespace bv {

// Splits "HKLM\SOFTWARE\Brevisto" into its root and key path. The root is recognised by
// its first four characters (three for HKU), in any case. Anything else, and a key without
// a path, is not recognised: such an entry is skipped rather than written into a root key.
bool ParseScriptRegKey(const std::string& text, RegRoot& root, std::string& path);

// "HKCR", "HKCU", "HKLM" or "HKU".
std::string ScriptRootName(RegRoot root);

}  // namespace bv
