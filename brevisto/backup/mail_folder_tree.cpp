#include "brevisto/backup/mail_folder_tree.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "brevisto/backup/backup_chain.h"
#include "brevisto/mailstore/dbx_file.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/locale_date.h"
#include "platform/path.h"

namespace bv {

const char* const kMissingMark = " [... nicht vorhanden]";
const char* const kUpdatedMark = " [aktualisiert]";
const char* const kDamagedMark = " [beschädigt]";

namespace {

// Outlook Express numbers its standard folders (Inbox, Outbox, ...) below 9.
constexpr int32_t kFirstOwnFolderId = 9;
constexpr FileTime kFileTimeDay = 24ull * 60 * 60 * 10000000;
constexpr int kDaysWithoutLastBackup = 60;

int LevelOf(const FolderTreeNode& node) {
    int level = 0;
    for (const FolderTreeNode* p = node.Parent(); p; p = p->Parent()) ++level;
    return level;
}

// MoveTo appends; a re-hung node goes in front of its new siblings.
void MakeFirstChild(FolderTreeNodes& nodes, FolderTreeNode& parent, const FolderTreeNode& child) {
    nodes.SortChildren(parent, [&child](const FolderTreeNode& a, const FolderTreeNode& b) {
        return &a == &child && &b != &child;
    });
}

// Each move takes one node off the top level and is never undone, so the scan restarts
// at most once per node. A node whose parent lies in its own subtree (cycles of parent
// ids, a folder naming itself) cannot be moved and is passed over.
void HangTopLevelNodes(FolderTreeNodes& nodes) {
    bool moved = true;
    while (moved) {
        moved = false;
        const std::vector<FolderTreeNode*> all = nodes.AllNodes();
        for (size_t i = 1; i < all.size() && !moved; ++i) {
            FolderTreeNode& node = *all[i];
            if (node.Parent() || node.Info.ParentId < 0) continue;
            const int32_t parentId = node.Info.ParentId;
            FolderTreeNode* target = nodes.FindFirst(
                [parentId](const FolderTreeNode& n) { return n.Info.FolderId == parentId; });
            if (!target || !nodes.MoveTo(node, target)) continue;
            MakeFirstChild(nodes, *target, node);
            moved = true;
        }
    }
}

void SortWholeTree(FolderTreeNodes& nodes) {
    for (FolderTreeNode* node : nodes.AllNodes())
        if (node->HasChildren()) nodes.SortChildren(*node, FolderTreeViewCompare);
    // The top level has no parent to sort; moving each node to the end in sorted order
    // gives the same result.
    std::vector<FolderTreeNode*> top;
    for (const auto& node : nodes.TopLevel()) top.push_back(node.get());
    std::stable_sort(top.begin(), top.end(), [](const FolderTreeNode* a, const FolderTreeNode* b) {
        return FolderTreeViewCompare(*a, *b);
    });
    for (FolderTreeNode* node : top) nodes.MoveTo(*node, nullptr);
}

// Digits from `pos` on, at least `minDigits` and at most `maxDigits` of them.
bool ReadNumber(const std::string& text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
    size_t digits = 0;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < maxDigits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits >= minDigits;
}

bool ReadSeparator(const std::string& text, size_t& pos, char separator) {
    if (pos >= text.size() || text[pos] != separator) return false;
    ++pos;
    return true;
}

}  // namespace

TFolderNodeStyle FolderNodeStyle(const std::string& text) {
    if (text.find(kMissingMark) != std::string::npos) return fnsMissing;
    if (text.find(kDamagedMark) != std::string::npos) return fnsDamaged;
    if (text.find(kUpdatedMark) != std::string::npos) return fnsUpdated;
    return fnsNormal;
}

uint32_t FolderNodeColor(TFolderNodeStyle style) {
    switch (style) {
        case fnsMissing: return 0x000000FF;  // RGB(255, 0, 0)
        case fnsUpdated: return 0x00008000;  // RGB(0, 128, 0)
        case fnsDamaged: return 0x000060C0;  // RGB(192, 96, 0)
        default: return 0;
    }
}

std::string FolderCountText(int checked, int total) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d von %d Mailordnern", checked, total);
    return buf;
}

bool FolderTreeViewCompare(const FolderTreeNode& a, const FolderTreeNode& b) {
    const bool standardA = a.Info.FolderId < kFirstOwnFolderId;
    const bool standardB = b.Info.FolderId < kFirstOwnFolderId;
    if (standardA || standardB) return standardA && !standardB;
    return AnsiCompareText(a.Text, b.Text) < 0;
}

void ArrangeFolderTree(FolderTreeNodes& nodes) {
    HangTopLevelNodes(nodes);
    for (FolderTreeNode* node : nodes.AllNodes())
        if (LevelOf(*node) >= 2)
            node->Text = node->Info.Name + " (" + std::to_string(node->Info.MessageCount) + ")";
    SortWholeTree(nodes);
}

bool SetArchiveAttribute(Files& files, const std::string& path) {
    const uint32_t attributes = files.GetAttributes(path);
    if (attributes == FileAttr::Invalid) return false;
    if (attributes & FileAttr::Archive) return true;
    // Bits that only describe the entry cannot be set and "normal" only stands alone.
    const uint32_t kept =
        attributes & ~(FileAttr::Normal | FileAttr::Directory | FileAttr::ReparsePoint);
    return files.SetAttributes(path, kept | FileAttr::Archive);
}

bool HasArchiveAttribute(Files& files, const std::string& path) {
    const uint32_t attributes = files.GetAttributes(path);
    return attributes != FileAttr::Invalid && (attributes & FileAttr::Archive) != 0;
}

bool ReadDateTimeText(const std::string& text, DateTime& when) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const std::string s = text.substr(first, text.find_last_not_of(' ') - first + 1);

    DateTime t;
    size_t pos = 0;
    // Only four-digit years: a shorter one would need a guess at the century.
    if (!ReadNumber(s, pos, 1, 2, t.day) || !ReadSeparator(s, pos, '.') ||
        !ReadNumber(s, pos, 1, 2, t.month) || !ReadSeparator(s, pos, '.') ||
        !ReadNumber(s, pos, 4, 4, t.year))
        return false;
    if (pos < s.size()) {
        if (s[pos] != ' ') return false;
        while (pos < s.size() && s[pos] == ' ') ++pos;
        if (!ReadNumber(s, pos, 1, 2, t.hour) || !ReadSeparator(s, pos, ':') ||
            !ReadNumber(s, pos, 1, 2, t.minute))
            return false;
        if (pos < s.size() && (!ReadSeparator(s, pos, ':') || !ReadNumber(s, pos, 1, 2, t.second)))
            return false;
        if (pos < s.size()) return false;
    }
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    when = t;
    return true;
}

bool ReadDateTimeText(const std::string& text, const LocaleDateFormats& formats,
                      DateTime& when) {
    return ParseLocaleDateTime(formats, text, when) || ReadDateTimeText(text, when);
}

void MarkChangedMailFiles(Platform& platform, const std::string& storeFolder,
                          const std::string& identityKey) {
    const std::string folder = storeFolder.empty() ? storeFolder
                                                   : IncludeTrailingBackslash(storeFolder);
    const std::string last = BackupHistory(platform.registry, identityKey).LastBackup();

    // Without a usable limit every file counts as changed.
    FileTime limit = 0;
    bool haveLimit;
    if (last.empty()) {
        haveLimit = platform.system.LocalToFileTime(platform.system.LocalNow(), limit) &&
                    limit >= kDaysWithoutLastBackup * kFileTimeDay;
        if (haveLimit) limit -= kDaysWithoutLastBackup * kFileTimeDay;
    } else {
        DateTime when;
        haveLimit = ReadDateTimeText(last, platform.system.DateFormats(), when) &&
                    platform.system.LocalToFileTime(when, limit);
    }

    for (const FindEntry& entry : platform.files.Find(folder + "*.dbx")) {
        if (entry.IsDirectory()) continue;
        const std::string path = folder + entry.name;
        FileTime written = 0;
        DateTime local;
        const bool comparable = haveLimit &&
                                platform.files.GetTimes(path, nullptr, &written) &&
                                platform.system.FileTimeToLocal(written, local);
        if (!comparable || written > limit) SetArchiveAttribute(platform.files, path);
    }
}

// ---- TMailFolderTree ---------------------------------------------------------------------

void TMailFolderTree::Clear() {
    nodes_.Clear();
    indexDamaged_ = false;
    Index();
}

void TMailFolderTree::Index() {
    order_ = nodes_.AllNodes();
    levels_.assign(order_.size(), 0);
    parents_.assign(order_.size(), -1);
    checked_.assign(order_.size(), 0);
    std::unordered_map<const FolderTreeNode*, int> indexOf;
    for (size_t i = 0; i < order_.size(); ++i) {
        indexOf[order_[i]] = static_cast<int>(i);
        // A parent comes before its children in display order.
        if (const FolderTreeNode* parent = order_[i]->Parent()) {
            parents_[i] = indexOf.at(parent);
            levels_[i] = levels_[parents_[i]] + 1;
        }
    }
}

bool TMailFolderTree::ReadFolderIndex(const std::string& storeFolder) {
    Clear();
    storeFolder_ = storeFolder.empty() ? storeFolder : IncludeTrailingBackslash(storeFolder);
    TDbxFile file(p_.files, p_.system, storeFolder_ + "Folders.dbx");
    if (!file.IsFolderFile()) return false;
    file.LoadTree();
    const TDbxFolderList* list = file.FolderList();
    if (!list) return false;
    indexDamaged_ = list->Incomplete();
    list->FillTreeNodes(nodes_);
    TDbxFolderList::SortTreeNodes(nodes_);
    ArrangeFolderTree(nodes_);
    Index();
    return true;
}

bool TMailFolderTree::LoadFolderTree(const TIdentitaet& identity, const std::string& storeFolder,
                                     int backupKind) {
    countLabel_ = FolderCountText(0, 0);
    if (!ReadFolderIndex(storeFolder)) {
        ShowMsgBox(p_.prompter,
                   "Die Ordnerstruktur kann nicht eingelesen werden. Die Datei " + storeFolder_ +
                       " konnte nicht geöffnet werden bzw. ist nicht vorhanden!",
                   "Brevisto", mkError, bsOk);
        ShowMsgBox(p_.prompter,
                   "Starten Sie Outlook Express und öffnen Sie die Identität \"" +
                       identity.Username +
                       "\"!\r\rDamit stellen Sie zumindest die Standardstruktur der Ordner "
                       "für diese Identität her...",
                   "Brevisto", mkError, bsOk);
        return false;
    }
    for (size_t i = 0; i < order_.size(); ++i) {
        FolderTreeNode& node = *order_[i];
        if (levels_[i] == 0 && indexDamaged_) node.Text += kDamagedMark;
        if (levels_[i] < 2) continue;
        // A folder without a file name has no file either: the path names the store folder.
        const std::string path = storeFolder_ + node.Info.FileName;
        if (!FileExists(p_.files, path)) {
            node.Text += kMissingMark;
            checked_[i] = 0;
            continue;
        }
        if (backupKind == bkUpdate && HasArchiveAttribute(p_.files, path))
            node.Text += kUpdatedMark;
        // Only a message file can be judged; one that cannot be opened or is of another
        // kind keeps its plain text.
        TDbxFile file(p_.files, p_.system, path);
        if (file.IsMessageFile() && !file.CountEntries().Complete()) node.Text += kDamagedMark;
    }
    UpdateFolderCount();
    return true;
}

void TMailFolderTree::PropagateCheck(size_t index) {
    const uint8_t state = checked_.at(index);
    // Display order lists a node's descendants right after it, deeper than itself.
    for (size_t j = index + 1; j < order_.size() && levels_[j] > levels_[index]; ++j)
        checked_[j] = state;
}

int TMailFolderTree::NodeClicked(int selectedIndex) {
    if (selectedIndex >= 0 && static_cast<size_t>(selectedIndex) < order_.size())
        PropagateCheck(static_cast<size_t>(selectedIndex));
    return UpdateFolderCount();
}

int TMailFolderTree::CheckAll() {
    std::fill(checked_.begin(), checked_.end(), 1);
    return UpdateFolderCount();
}

int TMailFolderTree::UncheckAll() {
    std::fill(checked_.begin(), checked_.end(), 0);
    return UpdateFolderCount();
}

int TMailFolderTree::UpdateFolderCount() {
    int checked = 0;
    int total = 0;
    for (size_t i = 0; i < order_.size(); ++i) {
        if (levels_[i] < 2) continue;
        ++total;
        if (checked_[i]) ++checked;
    }
    countLabel_ = FolderCountText(checked, total);
    return checked;
}

uint64_t TMailFolderTree::SelectedMailSize() const {
    uint64_t total = 0;
    for (size_t i = 0; i < order_.size(); ++i) {
        const std::string& fileName = order_[i]->Info.FileName;
        if (checked_[i] && !fileName.empty())
            total += FileSizeOf(p_.files, storeFolder_ + fileName);
    }
    return total;
}

std::vector<TMailFolderFile> TMailFolderTree::FolderFiles(bool checkedOnly) const {
    std::vector<TMailFolderFile> result;
    for (size_t i = 0; i < order_.size(); ++i) {
        if (checkedOnly ? !checked_[i] : levels_[i] < 2) continue;
        const TFolderInfo& info = order_[i]->Info;
        if (info.FileName.empty()) continue;
        const std::string path = storeFolder_ + info.FileName;
        if (!FileExists(p_.files, path)) continue;
        result.push_back({path, info.Name, ExtractFileName(info.FileName), static_cast<int>(i)});
    }
    return result;
}

std::vector<TMailFolderFile> TMailFolderTree::CheckedFolderFiles() const {
    return FolderFiles(true);
}

std::vector<TMailFolderFile> TMailFolderTree::PresentFolderFiles() const {
    return FolderFiles(false);
}

}  // namespace bv
