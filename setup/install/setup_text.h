// Small text routines of the installer and the uninstaller.
#pragma once
#include <string>

namespace bv {

// Removes every blank (an uninstall entry's name must not contain any).
std::string RemoveSpaces(const std::string& text);

// Upper case for the autostart command: ASCII letters and the German ä, ö, ü (Windows-1252);
// every other character stays, so the result does not depend on the user's locale.
std::string UpperCaseGerman(const std::string& text);

}  // namespace bv
