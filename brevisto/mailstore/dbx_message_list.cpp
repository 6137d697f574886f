#include "brevisto/mailstore/dbx_message_list.h"

#include "brevisto/mailstore/dbx_tree.h"

namespace bv {

TDbxMessageList::TDbxMessageList(FileStream& file, System& system, uint32_t entryCount,
                                 uint32_t rootNodeOffset)
    : file_(file), system_(system), entryCount_(entryCount), rootNodeOffset_(rootNodeOffset) {}

void TDbxMessageList::LoadTree() {
    items_.clear();
    if (entryCount_ == 0) return;
    DbxReader reader(file_);
    DbxTreeWalker walker(reader);
    auto load = [this](TDbxMessage& message, const DbxRecord& record) {
        FillMessageInfo(record, system_, message.Info);
    };
    walker.Walk(rootNodeOffset_, items_, load);
}

std::vector<const TDbxMessage*> TDbxMessageList::FileOrder() const {
    std::vector<const TDbxMessage*> order;
    CollectDbxFileOrder(items_, order);
    return order;
}

}  // namespace bv
