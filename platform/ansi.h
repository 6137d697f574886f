// ANSI (code page 1252) text helpers: case mapping as Windows does it for 1252,
// conversion to UTF-8 and between 1252 and the OEM code page 850.
#pragma once
#include <string>

namespace bv {

char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(const std::string& text);
std::string AnsiLowerCase(const std::string& text);
// Case-insensitive comparison as CompareStringA does for names (<0, 0, >0).
int AnsiCompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);

std::string AnsiToUtf8(const std::string& ansi);
// Characters outside code page 1252 become '?'.
std::string Utf8ToAnsi(const std::string& utf8);

// Code page 1252 <-> UTF-16 (the whole code page lies in the basic plane); code units
// without a counterpart, surrogates included, become '?'.
std::u16string AnsiToUtf16(const std::string& ansi);
std::string Utf16ToAnsi(const std::u16string& wide);

// Code page 1252 <-> 850 by table; characters without a counterpart become a best fit or '?'.
std::string Cp1252ToCp850(const std::string& ansi);
std::string Cp850ToCp1252(const std::string& oem);

}  // namespace bv
