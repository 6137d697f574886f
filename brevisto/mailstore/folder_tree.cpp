#include "brevisto/mailstore/folder_tree.h"

#include <algorithm>

namespace bv {

namespace {

// Iterative, so that a degenerate chain of folders cannot exhaust the stack.
void VisitPreOrder(const std::vector<std::unique_ptr<FolderTreeNode>>& nodes,
                   const std::function<bool(FolderTreeNode&)>& visit) {
    using Level = std::pair<const std::vector<std::unique_ptr<FolderTreeNode>>*, size_t>;
    std::vector<Level> stack{{&nodes, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.second >= level.first->size()) {
            stack.pop_back();
            continue;
        }
        FolderTreeNode& node = *(*level.first)[level.second++];
        if (!visit(node)) return;
        if (node.HasChildren()) stack.push_back({&node.Children(), 0});
    }
}

}  // namespace

FolderTreeNode* FolderTreeNodes::AddChild(FolderTreeNode* parent, const std::string& text,
                                          const TFolderInfo& info) {
    auto node = std::make_unique<FolderTreeNode>();
    node->Text = text;
    node->Info = info;
    node->parent_ = parent;
    FolderTreeNode* added = node.get();
    SiblingsOf(parent).push_back(std::move(node));
    return added;
}

bool FolderTreeNodes::MoveTo(FolderTreeNode& node, FolderTreeNode* newParent) {
    for (FolderTreeNode* p = newParent; p; p = p->parent_)
        if (p == &node) return false;
    auto& siblings = SiblingsOf(node.parent_);
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [&](const std::unique_ptr<FolderTreeNode>& n) { return n.get() == &node; });
    if (it == siblings.end()) return false;
    std::unique_ptr<FolderTreeNode> owned = std::move(*it);
    siblings.erase(it);
    owned->parent_ = newParent;
    SiblingsOf(newParent).push_back(std::move(owned));
    return true;
}

void FolderTreeNodes::Clear() {
    // Released node by node: deep chains must not recurse in the destructors.
    std::vector<std::unique_ptr<FolderTreeNode>> pending = std::move(top_);
    top_.clear();
    while (!pending.empty()) {
        std::unique_ptr<FolderTreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children_) pending.push_back(std::move(child));
    }
}

std::vector<FolderTreeNode*> FolderTreeNodes::AllNodes() const {
    std::vector<FolderTreeNode*> all;
    VisitPreOrder(top_, [&](FolderTreeNode& node) {
        all.push_back(&node);
        return true;
    });
    return all;
}

FolderTreeNode* FolderTreeNodes::FindFirst(
    const std::function<bool(const FolderTreeNode&)>& match) const {
    FolderTreeNode* found = nullptr;
    VisitPreOrder(top_, [&](FolderTreeNode& node) {
        if (!match(node)) return true;
        found = &node;
        return false;
    });
    return found;
}

void FolderTreeNodes::SortChildren(
    FolderTreeNode& node,
    const std::function<bool(const FolderTreeNode&, const FolderTreeNode&)>& less) {
    std::stable_sort(node.children_.begin(), node.children_.end(),
                     [&](const std::unique_ptr<FolderTreeNode>& a,
                         const std::unique_ptr<FolderTreeNode>& b) { return less(*a, *b); });
}

}  // namespace bv
