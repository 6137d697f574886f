// A tree of folder nodes as a tree view shows them, kept apart from any window so the
// folder logic can be tested; the Win32 tree view mirrors it.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brevisto/mailstore/dbx_records.h"

namespace bv {

class FolderTreeNode {
public:
    std::string Text;
    TFolderInfo Info;  // the node's own copy

    FolderTreeNode* Parent() const { return parent_; }
    const std::vector<std::unique_ptr<FolderTreeNode>>& Children() const { return children_; }
    bool HasChildren() const { return !children_.empty(); }

private:
    friend class FolderTreeNodes;
    FolderTreeNode* parent_ = nullptr;
    std::vector<std::unique_ptr<FolderTreeNode>> children_;
};

class FolderTreeNodes {
public:
    FolderTreeNodes() = default;
    ~FolderTreeNodes() { Clear(); }
    FolderTreeNodes(const FolderTreeNodes&) = delete;
    FolderTreeNodes& operator=(const FolderTreeNodes&) = delete;

    // Adds a node as the last child of `parent`, or as the last top-level node when
    // `parent` is null.
    FolderTreeNode* AddChild(FolderTreeNode* parent, const std::string& text,
                             const TFolderInfo& info);
    // Moves a node with its subtree to the end of `newParent`'s children (null: top level).
    // Refused (false) when `newParent` lies inside the node's own subtree.
    bool MoveTo(FolderTreeNode& node, FolderTreeNode* newParent);
    void Clear();

    const std::vector<std::unique_ptr<FolderTreeNode>>& TopLevel() const { return top_; }
    // All nodes in the order a tree view lists them: each node, then its children.
    std::vector<FolderTreeNode*> AllNodes() const;
    size_t Count() const { return AllNodes().size(); }
    // The first node in that order for which `match` holds, or null.
    FolderTreeNode* FindFirst(const std::function<bool(const FolderTreeNode&)>& match) const;

    // Stable: nodes that compare equal keep their order.
    void SortChildren(FolderTreeNode& node,
                      const std::function<bool(const FolderTreeNode&, const FolderTreeNode&)>& less);

private:
    std::vector<std::unique_ptr<FolderTreeNode>>& SiblingsOf(FolderTreeNode* parent) {
        return parent ? parent->children_ : top_;
    }
    std::vector<std::unique_ptr<FolderTreeNode>> top_;
};

}  // namespace bv
