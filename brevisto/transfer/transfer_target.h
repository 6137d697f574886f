// The mail program that takes over an Outlook Express backup's data, as the transfer's
// engines see it: which program, and where the run unpacks single archive entries.
#pragma once
#include <string>

namespace bv {

extern const char* const kWindowsMail;      // "Windows Mail"
extern const char* const kWindowsLiveMail;  // "Windows Live Mail"

struct TransferTarget {
    // kWindowsMail or kWindowsLiveMail; also the key name below "Software\Microsoft\".
    std::string mailProgram;
    // Where entries are unpacked for conversion, with trailing backslash.
    std::string tempFolder;
    // The user's target folder of the run (the mail folders and the address book go there),
    // with trailing backslash. Browser data whose browser is missing is unpacked below it.
    std::string unpackFolder;

    bool LiveMail() const { return mailProgram == kWindowsLiveMail; }
    // "Software\Microsoft\" + the program's name, below HKEY_CURRENT_USER.
    std::string ProgramKey() const { return "Software\\Microsoft\\" + mailProgram; }
};

}  // namespace bv
