// The folder tree of a folder index file ("Folders.dbx").
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/mailstore/dbx_records.h"
#include "brevisto/mailstore/folder_tree.h"
#include "platform/files.h"

namespace bv {

// One entry of the on-disk tree. Its Items are the entries of its child node, i.e. the
// entries that follow it in file order, not its sub-folders.
struct TDbxFolder {
    uint32_t NodeOffset = 0;
    uint32_t Position = 0;  // 1-based within the node
    std::string DisplayName;
    TFolderInfo Info;
    uint32_t RecordOffset = 0;
    std::vector<std::unique_ptr<TDbxFolder>> Items;
};

class TDbxFolderList {
public:
    static constexpr const char* RootName = "Outlook Express";

    // `file` stays owned by the caller and must outlive the list.
    TDbxFolderList(FileStream& file, uint32_t entryCount, uint32_t rootNodeOffset);

    void LoadTree();
    // Rebuilds `nodes`: the root entry on top, every folder below the first node whose
    // FolderId is its ParentId, or at the top level when there is none.
    void FillTreeNodes(FolderTreeNodes& nodes) const;
    // Orders the children of every node by SortKey; key 0 goes last.
    static void SortTreeNodes(FolderTreeNodes& nodes);

    // Stands for the whole store; its Items are the top-level entries.
    const TDbxFolder& Root() const { return root_; }
    // Every entry in file order (the root not included).
    std::vector<const TDbxFolder*> FileOrder() const;

    // The header's count and the entries that could be read; fewer read means a damaged
    // index whose missing folders the tree cannot show.
    uint32_t EntryCount() const { return entryCount_; }
    uint32_t EntriesRead() const { return entriesRead_; }
    bool Incomplete() const { return entriesRead_ < entryCount_; }

private:
    FileStream& file_;
    uint32_t entryCount_;
    uint32_t rootNodeOffset_;
    uint32_t entriesRead_ = 0;
    TDbxFolder root_;
};

}  // namespace bv
