#include "brevisto/mailstore/dbx_folder_list.h"

#include "brevisto/mailstore/dbx_tree.h"

namespace bv {

namespace {

// Folders with a key first in ascending order, folders with key 0 after them.
bool SortKeyBefore(const FolderTreeNode& a, const FolderTreeNode& b) {
    const uint32_t ka = a.Info.SortKey;
    const uint32_t kb = b.Info.SortKey;
    if (ka == 0) return false;
    if (kb == 0) return true;
    return ka < kb;
}

}  // namespace

TDbxFolderList::TDbxFolderList(FileStream& file, uint32_t entryCount, uint32_t rootNodeOffset)
    : file_(file), entryCount_(entryCount), rootNodeOffset_(rootNodeOffset) {
    root_.DisplayName = RootName;
    root_.Info.Name = RootName;
    root_.Info.FolderId = 0;
    root_.Info.ParentId = -1;
}

void TDbxFolderList::LoadTree() {
    root_.Items.clear();
    entriesRead_ = 0;
    if (entryCount_ == 0) return;
    DbxReader reader(file_);
    DbxTreeWalker walker(reader, entryCount_);
    auto load = [&reader](TDbxFolder& folder, uint32_t offset) {
        DbxRecord record;
        if (!ReadDbxRecord(reader, offset, &record)) return false;
        FillFolderInfo(record, folder.Info);
        folder.DisplayName = folder.Info.Name;
        return true;
    };
    walker.Walk(rootNodeOffset_, root_.Items, load);
    entriesRead_ = walker.EntriesRead();
}

std::vector<const TDbxFolder*> TDbxFolderList::FileOrder() const {
    std::vector<const TDbxFolder*> order;
    CollectDbxFileOrder(root_.Items, order);
    return order;
}

void TDbxFolderList::FillTreeNodes(FolderTreeNodes& nodes) const {
    nodes.Clear();
    nodes.AddChild(nullptr, root_.DisplayName, root_.Info);
    for (const TDbxFolder* folder : FileOrder()) {
        const int32_t parentId = folder->Info.ParentId;
        FolderTreeNode* parent = nodes.FindFirst(
            [parentId](const FolderTreeNode& node) { return node.Info.FolderId == parentId; });
        nodes.AddChild(parent, folder->Info.Name, folder->Info);
    }
}

void TDbxFolderList::SortTreeNodes(FolderTreeNodes& nodes) {
    for (FolderTreeNode* node : nodes.AllNodes())
        if (node->HasChildren()) nodes.SortChildren(*node, SortKeyBefore);
}

}  // namespace bv
