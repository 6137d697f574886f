// The mail folders of an identity as the wizard's page "Mails" shows them: the folder
// tree read from the store's folder index, a check box per node, the count label and the
// marks of missing and changed folder files. The Win32 tree view mirrors this model node
// by node through the absolute index in display order; cursor, visibility, expanding and
// message processing around the calls belong to the window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "brevisto/mailstore/folder_tree.h"
#include "brevisto/settings/identity_scanner.h"
#include "platform/platform.h"

namespace bv {

// Appended to a node text when the folder's DBX file is missing or was changed, and when
// the message index of a folder file (or the folder index, on the root node) holds fewer
// entries than its header announces. A damaged file is still saved byte for byte.
extern const char* const kMissingMark;  // " [... nicht vorhanden]"
extern const char* const kUpdatedMark;  // " [aktualisiert]"
extern const char* const kDamagedMark;  // " [beschädigt]"

// How the tree view draws a node text.
enum TFolderNodeStyle {
    fnsNormal = 0,
    fnsMissing = 1,  // red
    fnsUpdated = 2,  // bold, green
    fnsDamaged = 3,  // bold, dark orange
};
// The style of a text: a missing file outranks a damaged one, which outranks a changed one.
TFolderNodeStyle FolderNodeStyle(const std::string& text);
// The text colour of a style as 0x00BBGGRR; fnsNormal keeps the view's own colour (0).
uint32_t FolderNodeColor(TFolderNodeStyle style);
inline bool FolderNodeBold(TFolderNodeStyle style) {
    return style == fnsUpdated || style == fnsDamaged;
}

// "%d von %d Mailordnern".
std::string FolderCountText(int checked, int total);

// The ordering of the view's sort: folders with an id below 9 (the standard folders)
// first in the order they already have, then the others by their texts regardless of
// case. A strict weak ordering, meant for a stable sort.
bool FolderTreeViewCompare(const FolderTreeNode& a, const FolderTreeNode& b);

// Completes a freshly filled tree: hangs each further top-level node that names an
// existing parent below that parent as its first child, gives the nodes from level 2 on
// the text "Name (MessageCount)" and sorts every level with FolderTreeViewCompare.
// A node is never hung below itself or its own descendants, so ids that name each other
// in a cycle leave those nodes where they are.
void ArrangeFolderTree(FolderTreeNodes& nodes);

// The archive attribute (0x20) of a file; setting it leaves the other attributes as they
// are. False when the file does not exist (or the attribute could not be set).
bool SetArchiveAttribute(Files& files, const std::string& path);
bool HasArchiveAttribute(Files& files, const std::string& path);

// Reads the local date-time text "dd.mm.yyyy hh:nn:ss" (also without seconds or without
// the time). False when the text is no valid date and time.
bool ReadDateTimeText(const std::string& text, DateTime& when);
// The text as the system's DateTimeText writes it by the user's pictures, else in the
// German form above (a backup made before the user's formats changed).
bool ReadDateTimeText(const std::string& text, const LocaleDateFormats& formats,
                      DateTime& when);

// Sets the archive attribute of every DBX file of `storeFolder` that was written after
// the identity's last backup (identity key + "LastBackup", read by the user's date and
// time pictures; 60 days back when none is stored). A stored time that cannot be read
// marks every file. `identityKey` may carry the backslashes of the identity's key name.
void MarkChangedMailFiles(Platform& platform, const std::string& storeFolder,
                          const std::string& identityKey);

// A checked folder whose DBX file is present: what the mail step of a run adds.
struct TMailFolderFile {
    std::string Path;        // store folder + DBX file name
    std::string FolderName;  // the folder's name, without the message count
    std::string FileName;    // the DBX file name without folder (for "REALNAME.TMP")
    int Position = 0;        // the node's absolute index in display order (every node counted)
};

class TMailFolderTree {
public:
    explicit TMailFolderTree(Platform& platform) : p_(platform) {}
    TMailFolderTree(const TMailFolderTree&) = delete;
    TMailFolderTree& operator=(const TMailFolderTree&) = delete;

    // Fills the tree from `storeFolder` + "Folders.dbx" for the identity: arranged, every
    // node unchecked, missing folder files marked, changed ones marked in an update
    // backup (backupKind 1), damaged ones (and the root, when the folder index itself is
    // damaged) marked, the count label refreshed. When the index cannot be read the
    // user is told so, the tree stays empty and the result is false (the wizard then
    // keeps "&Weiter >" disabled).
    bool LoadFolderTree(const TIdentitaet& identity, const std::string& storeFolder,
                        int backupKind);
    // The first part of loading, without marks and messages (also for the parameter-file
    // reader): false when `storeFolder` + "Folders.dbx" is no readable folder index.
    bool ReadFolderIndex(const std::string& storeFolder);
    void Clear();

    const std::string& StoreFolder() const { return storeFolder_; }
    const FolderTreeNodes& Nodes() const { return nodes_; }

    // Nodes by absolute index in display order.
    size_t Count() const { return order_.size(); }
    const FolderTreeNode& Node(size_t index) const { return *order_.at(index); }
    const std::string& Text(size_t index) const { return Node(index).Text; }
    const TFolderInfo& Info(size_t index) const { return Node(index).Info; }
    // 0 for the store's root node, 1 for its top-level entries.
    int Level(size_t index) const { return levels_.at(index); }
    // The index of the parent node; -1 for a node at the top.
    int ParentIndex(size_t index) const { return parents_.at(index); }
    TFolderNodeStyle Style(size_t index) const { return FolderNodeStyle(Text(index)); }

    bool Checked(size_t index) const { return checked_.at(index) != 0; }
    void SetChecked(size_t index, bool checked) { checked_.at(index) = checked ? 1 : 0; }
    // Gives every descendant of the node the node's own state.
    void PropagateCheck(size_t index);
    // After the user clicked a node's check box (the view has set its new state):
    // propagates it when a node is selected (-1: none); returns UpdateFolderCount().
    int NodeClicked(int selectedIndex);
    // "A&lle" and "K&einen": every node, then UpdateFolderCount(); returns its result.
    int CheckAll();
    int UncheckAll();

    // Refreshes the count label; returns the number of checked nodes from level 2 on.
    int UpdateFolderCount();
    const std::string& FileCountLabel() const { return countLabel_; }

    // Total size of the DBX files of all checked nodes (missing files count 0).
    uint64_t SelectedMailSize() const;
    // Checked nodes in index order whose DBX file is present.
    std::vector<TMailFolderFile> CheckedFolderFiles() const;
    // Every node from level 2 on whose DBX file is present, checked or not.
    std::vector<TMailFolderFile> PresentFolderFiles() const;

private:
    void Index();
    std::vector<TMailFolderFile> FolderFiles(bool checkedOnly) const;

    Platform& p_;
    std::string storeFolder_;
    bool indexDamaged_ = false;
    FolderTreeNodes nodes_;
    std::vector<FolderTreeNode*> order_;
    std::vector<int> levels_;
    std::vector<int> parents_;
    std::vector<uint8_t> checked_;
    std::string countLabel_ = FolderCountText(0, 0);
};

}  // namespace bv
