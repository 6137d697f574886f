// Keys the uninstaller never deletes as a whole: roots, the big "Software" branches and keys
// that every program shares ("...\Uninstall", "...\Run", "...\App Paths", "CLSID", ...).
// An information file that names one (a faulty script, an edited file) must not take other
// programs' entries with it; values in such keys may still be removed by name.
#pragma once
#include <string>

#include "platform/registry.h"

namespace bv {

bool IsSharedRegistryKey(RegRoot root, const std::string& path);

}  // namespace bv
