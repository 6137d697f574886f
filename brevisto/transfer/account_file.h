// The account files that Windows Mail and Windows Live Mail read (".oeaccount"): one XML
// element per Outlook Express account value, as a fixed table names them, written as
// UTF-16 little-endian text. Also the folder name an account's file goes into.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/types.h"

namespace bv {

// How a row reads its Outlook Express value: a text ("Name"="..."), a number
// ("Name"=dword:...), or not at all (passwords, certificates and binary data stay behind).
enum class AccountValueForm { None, Text, Dword };

struct AccountElement {
    const char* element;      // element name in the account file
    const char* type;         // its type attribute: "SZ", "DWORD" or "BINARY"
    const char* defaultText;  // the element line's text; the value takes its place when it is one word
    const char* source;       // the Outlook Express value read for it; nullptr: none
    AccountValueForm form;
};

// The rows in the order of the file.
extern const AccountElement kAccountElements[];
extern const size_t kAccountElementCount;

// The text a row takes from an account's values: a text value as it is, a number as eight
// lower-case hex digits (as REGEDIT4 writes it). False when the value is missing, of the
// other form or empty.
bool AccountValueText(const std::vector<RegValue>& values, const AccountElement& row,
                      std::string& text);

// A value as XML character data: "&", "<" and ">" escaped, tab and line breaks as character
// references; the other control characters cannot stand in XML and are left out. Every other
// character, blanks and 0xA0..0xFF included, stays itself (the file is UTF-16).
std::string XmlText(const std::string& ansi);

// "    <Element type="T">text</Element>": the value (unescaped, ANSI) in place of the
// default text when that is one word; otherwise the default text stays.
std::string AccountElementLine(const AccountElement& row, const std::string& value);

// The whole account file in ANSI: the XML declaration and "<MessageAccount>", one element
// line per row whose value was found, "</MessageAccount>"; every line ended by CR LF.
std::string AccountFileText(const std::vector<RegValue>& values);

// The bytes of an ANSI (code page 1252) text as UTF-16 little-endian with byte order mark.
Bytes AnsiToUtf16File(const std::string& ansi);

// A GUID in its registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, made
// of 16 random bytes with the version (4) and variant bits set.
std::string GuidText(const uint8_t (&bytes)[16]);

// One folder name from an account name, never a path: the characters Windows refuses in names
// ("\", "/", ":", "*", "?", the double quote, "<", ">", "|") and control characters become "_",
// trailing dots and blanks go (Windows drops them), and a device name (CON, NUL, COM1, ...,
// also with an extension) gets "_" in front. Empty when nothing usable is left (an empty
// name, ".", ".."), for the caller's fallback.
std::string AccountFolderName(const std::string& accountName);

}  // namespace bv
