// Texts between the command-line tools and their terminal: arguments arrive and output
// leaves in the terminal's encoding, the program's code works in ANSI (code page 1252).
#pragma once
#include <string>

#include "platform/ansi.h"

namespace bv::tools {

inline std::string FromArgument(const char* text) {
#ifdef _WIN32
    return text;
#else
    return Utf8ToAnsi(text);
#endif
}

inline std::string ToTerminal(const std::string& ansi) {
#ifdef _WIN32
    return Cp1252ToCp850(ansi);  // the console's OEM code page
#else
    return AnsiToUtf8(ansi);
#endif
}

}  // namespace bv::tools
