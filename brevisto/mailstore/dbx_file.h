// One DBX file of Outlook Express: its header, its kind and the tree it holds.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/mailstore/dbx_folder_list.h"
#include "brevisto/mailstore/dbx_message_list.h"
#include "platform/files.h"

namespace bv {

class System;

enum TDbxFileKind {
    dfkMessages = 0,
    dfkFolders = 1,
    dfkKind2 = 2,
    dfkKind3 = 3,
    dfkUnknown = 4,
    dfkNoDbx = 5,
};

class TDbxFile {
public:
    static constexpr size_t HeaderSize = 0x24BC;

    TDbxFile(Files& files, System& system, const std::string& fileName);
    ~TDbxFile();
    TDbxFile(const TDbxFile&) = delete;
    TDbxFile& operator=(const TDbxFile&) = delete;

    // Closes what is open; a missing file leaves the object without an open file.
    void Open(const std::string& fileName);
    const std::string& FileName() const { return fileName_; }
    bool IsOpen() const { return file_ != nullptr; }

    TDbxFileKind FileKind() const;
    bool IsFolderFile() const { return FileKind() == dfkFolders; }
    bool IsMessageFile() const { return FileKind() == dfkMessages; }

    // Loads the tree of a folder index or message file once; other kinds have none.
    void LoadTree();
    TDbxFolderList* FolderList() const { return folderList_.get(); }
    TDbxMessageList* MessageList() const { return messageList_.get(); }

    // A 32-bit field of the header (0 beyond what the file holds).
    uint32_t HeaderValue(size_t offset) const;

    // For a folder index or message file: the entries its header announces and those its
    // tree really holds, found by reading the nodes and the record heads only (quick
    // enough for every folder of a store). Other kinds announce and hold none.
    struct EntryTally {
        uint32_t announced = 0;
        uint32_t found = 0;
        bool Complete() const { return found >= announced; }
    };
    EntryTally CountEntries();

private:
    void Close();

    Files& files_;
    System& system_;
    std::string fileName_;
    std::unique_ptr<FileStream> file_;
    std::vector<uint8_t> header_;
    std::unique_ptr<TDbxFolderList> folderList_;
    std::unique_ptr<TDbxMessageList> messageList_;
};

}  // namespace bv
