// Whole text files as lines, read and written through the platform's Files.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bv {

class System;

// A text file that could not be opened or read.
class EFileReadError : public std::runtime_error {
public:
    EFileReadError(const std::string& fileName, const std::string& reason);
};

// Splits at CR LF, LF or a lone CR; a last line without a break counts when not empty.
std::vector<std::string> SplitTextLines(const std::string& text);

// Reads the whole file as lines; raises EFileReadError when it cannot be opened or read.
std::vector<std::string> ReadTextLines(Files& files, System& system, const std::string& path);

// Writes every line followed by CR LF, replacing an existing file. On failure nothing
// is left behind and false is returned.
bool WriteTextLines(Files& files, const std::string& path, const std::vector<std::string>& lines);

// Removes characters up to and including blanks (control characters too) at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace bv
