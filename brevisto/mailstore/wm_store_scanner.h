// The folder records of a Windows Mail message store ("WindowsMail.MSMessageStore"), found
// by scanning the database file page by page for the byte patterns of folder records,
// without a database library. The account transfer needs the name of the store's local
// folders folder, where Windows Mail looks for account files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// One folder record found in the store.
struct TWMFolderData {
    std::string IdText;        // hex text of the 8 id bytes
    uint32_t Id = 0;           // first two id bytes as a number
    std::string ParentIdText;  // hex text of the 8 parent id bytes
    uint32_t ParentId = 0;     // first two parent id bytes as a number
    std::string Kind;          // "LocalStore", "Newsgroup", an account text, or empty
    std::string FolderName;
    std::u16string FolderText;   // the record's second text
    std::u16string LocalFolder;  // the local folders folder (local store record only)
    uint32_t MessageCount = 0;
    bool IsSpecial = false;  // Id is 8 or less
};

// The number of 8192-byte pages the scan visits for a file of this size: the size in pages
// rounded to the nearest whole number, a half to the even one (1.5 pages are two, 2.5 two).
// A last page only partly in the file reads as zeros beyond its end.
uint64_t MailStorePageCount(uint64_t fileSize);

// Every folder record of the database file; empty when it cannot be opened or read.
std::vector<TWMFolderData> ScanMailStoreFolders(Platform& platform, const std::string& path);

// The local store record's folder name in the ANSI code page; "Local Folders" when the scan
// found no record at all, empty when none of the records found is the local store. The
// caller appends the path separator.
std::string LocalStoreFolderName(Platform& platform, const std::string& path);

}  // namespace bv
