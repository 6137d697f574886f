// The message tree of a message file (one mail folder's DBX file).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "brevisto/mailstore/dbx_records.h"
#include "platform/files.h"

namespace bv {

class System;

struct TDbxMessage {
    uint32_t NodeOffset = 0;
    uint32_t Position = 0;  // 1-based within the node
    TMessageInfo Info;
    uint32_t RecordOffset = 0;
    std::vector<std::unique_ptr<TDbxMessage>> Items;  // entries that follow in file order
};

class TDbxMessageList {
public:
    // `file` stays owned by the caller and must outlive the list.
    TDbxMessageList(FileStream& file, System& system, uint32_t entryCount,
                    uint32_t rootNodeOffset);

    void LoadTree();

    const std::vector<std::unique_ptr<TDbxMessage>>& Items() const { return items_; }
    // Every entry in file order.
    std::vector<const TDbxMessage*> FileOrder() const;

    // The header's count and the entries that could be read.
    uint32_t EntryCount() const { return entryCount_; }
    uint32_t EntriesRead() const { return entriesRead_; }
    bool Incomplete() const { return entriesRead_ < entryCount_; }

private:
    FileStream& file_;
    System& system_;
    uint32_t entryCount_;
    uint32_t rootNodeOffset_;
    uint32_t entriesRead_ = 0;
    std::vector<std::unique_ptr<TDbxMessage>> items_;
};

}  // namespace bv
