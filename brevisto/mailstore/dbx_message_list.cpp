#include "brevisto/mailstore/dbx_message_list.h"

#include "brevisto/mailstore/dbx_tree.h"

namespace bv {

TDbxMessageList::TDbxMessageList(FileStream& file, System& system, uint32_t entryCount,
                                 uint32_t rootNodeOffset)
    : file_(file), system_(system), entryCount_(entryCount), rootNodeOffset_(rootNodeOffset) {}

void TDbxMessageList::LoadTree() {
    items_.clear();
    entriesRead_ = 0;
    if (entryCount_ == 0) return;
    DbxReader reader(file_);
    DbxTreeWalker walker(reader, entryCount_);
    auto load = [this, &reader](TDbxMessage& message, uint32_t offset) {
        DbxRecord record;
        if (!ReadDbxRecord(reader, offset, &record)) return false;
        FillMessageInfo(record, system_, message.Info);
        return true;
    };
    walker.Walk(rootNodeOffset_, items_, load);
    entriesRead_ = walker.EntriesRead();
}

std::vector<const TDbxMessage*> TDbxMessageList::FileOrder() const {
    std::vector<const TDbxMessage*> order;
    CollectDbxFileOrder(items_, order);
    return order;
}

}  // namespace bv
