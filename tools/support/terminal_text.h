// Texts between the command-line tools and their terminal: arguments arrive and output
// leaves in the terminal's encoding, the program's code works in ANSI (code page 1252).
#pragma once
#include <cstdio>
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

// The answer to a wrong call: what was wrong (unless empty, as for --help) and the usage
// text, on standard error; returns the exit code of a wrong call.
inline int UsageError(const char* tool, const char* usage, const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", tool, ToTerminal(problem).c_str());
    std::fprintf(stderr, "%s", ToTerminal(usage).c_str());
    return 2;
}

}  // namespace bv::tools
