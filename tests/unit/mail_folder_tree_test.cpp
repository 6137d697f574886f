// The folder tree of the page "Mails": loading and arranging the folder index, the marks
// of missing and changed folder files, check states and the count label, and the marking
// of DBX files written since the last backup.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "brevisto/backup/backup_chain.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/mailstore/dbx_file.h"
#include "brevisto/settings/settings_store.h"
#include "common/msg_box.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/dbx_writer.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

using test::DbxField;
using test::DbxNodeEntry;
using test::DbxWriter;

constexpr FileTime kSecond = 10000000ull;
constexpr FileTime kHour = 3600 * kSecond;
constexpr FileTime kDay = 24 * kHour;

// One record of a folder index.
struct FolderRecord {
    int32_t id;
    int32_t parent;
    std::string name;
    std::string file;  // DBX file name; empty for folders without one
    uint32_t messages = 0;
    uint32_t sortKey = 0;
};

void WriteFolderIndex(Files& files, const std::string& path,
                      const std::vector<FolderRecord>& records) {
    DbxWriter w(test::DbxClass::Folders);
    std::vector<DbxNodeEntry> entries;
    for (const FolderRecord& r : records) {
        std::vector<DbxField> fields = {DbxField::Direct(0x00, static_cast<uint32_t>(r.id)),
                                        DbxField::Direct(0x01, static_cast<uint32_t>(r.parent)),
                                        DbxField::String(0x02, r.name)};
        if (!r.file.empty()) fields.push_back(DbxField::String(0x03, r.file));
        if (r.messages != 0) fields.push_back(DbxField::Direct(0x07, r.messages));
        if (r.sortKey != 0) fields.push_back(DbxField::Direct(0x09, r.sortKey));
        entries.push_back({w.AddRecord(fields), 0});
    }
    w.SetFolderTree(static_cast<uint32_t>(records.size()), w.AddNode(0, entries));
    ASSERT_TRUE(w.WriteTo(files, path));
}

// The tree as the view lists it: indented by level, "[x]" for checked nodes.
std::string Dump(const TMailFolderTree& tree, bool withChecks = false) {
    std::string out;
    for (size_t i = 0; i < tree.Count(); ++i) {
        out += std::string(2 * static_cast<size_t>(tree.Level(i)), ' ');
        if (withChecks) out += tree.Checked(i) ? "[x] " : "[ ] ";
        out += tree.Text(i) + "\n";
    }
    return out;
}

// Index, level and parent index must describe the same tree as the nodes themselves.
void ExpectConsistentIndex(const TMailFolderTree& tree) {
    const auto all = tree.Nodes().AllNodes();
    ASSERT_EQ(all.size(), tree.Count());
    for (size_t i = 0; i < tree.Count(); ++i) {
        SCOPED_TRACE(tree.Text(i));
        EXPECT_EQ(&tree.Node(i), all[i]);
        const FolderTreeNode* parent = all[i]->Parent();
        if (!parent) {
            EXPECT_EQ(tree.ParentIndex(i), -1);
            EXPECT_EQ(tree.Level(i), 0);
            continue;
        }
        ASSERT_GE(tree.ParentIndex(i), 0);
        EXPECT_EQ(&tree.Node(static_cast<size_t>(tree.ParentIndex(i))), parent);
        EXPECT_EQ(tree.Level(i), tree.Level(static_cast<size_t>(tree.ParentIndex(i))) + 1);
    }
}

int IndexOf(const TMailFolderTree& tree, const std::string& name) {
    for (size_t i = 0; i < tree.Count(); ++i)
        if (tree.Info(i).Name == name) return static_cast<int>(i);
    ADD_FAILURE() << "no folder " << name;
    return -1;
}

class MailFolderTreeTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    TMailFolderTree tree{tp.platform()};
    TIdentitaet identity = [] {
        TIdentitaet id;
        id.Username = "Müller";
        id.KeyName = "\\{11111111-2222-3333-4444-555555555555}\\";
        return id;
    }();

    // A store folder below the test's folder with its folder index and these DBX files.
    std::string MakeStore(const std::string& name, const std::vector<FolderRecord>& records,
                          const std::vector<std::pair<std::string, std::string>>& dbxFiles = {}) {
        const std::string store = tp.TempDir() + name + "\\";
        EXPECT_TRUE(tp.files().CreateDirectory(store));
        WriteFolderIndex(tp.files(), store + "Folders.dbx", records);
        for (const auto& [file, content] : dbxFiles) EXPECT_TRUE(tp.WriteFile(store + file, content));
        return store;
    }
};

// --- the real store -----------------------------------------------------------------------

TEST_F(MailFolderTreeTest, RealStoreLoadsWithItsFoldersArrangedAndCounted) {
    const std::string store = test::TestPlatform::FixturePath("oe6-store\\");
    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    EXPECT_TRUE(tp.prompter().messages.empty());
    ExpectConsistentIndex(tree);
    // Sent Items, Deleted Items and Drafts have no DBX file in this store.
    EXPECT_EQ(Dump(tree, true),
              "[ ] Outlook Express\n"
              "  [ ] Local Folders\n"
              "    [ ] Inbox (1)\n"
              "    [ ] Outbox (0)\n"
              "    [ ] Sent Items (0) [... nicht vorhanden]\n"
              "    [ ] Deleted Items (0) [... nicht vorhanden]\n"
              "    [ ] Drafts (0) [... nicht vorhanden]\n"
              "  [ ] Hotmail\n");
    EXPECT_EQ(tree.FileCountLabel(), "0 von 5 Mailordnern");
    EXPECT_EQ(tree.StoreFolder(), store);

    EXPECT_EQ(tree.CheckAll(), 5);
    EXPECT_EQ(tree.FileCountLabel(), "5 von 5 Mailordnern");
    const uint64_t expectedSize =
        tp.ReadFile(store + "Inbox.dbx").size() + tp.ReadFile(store + "Outbox.dbx").size();
    EXPECT_GT(expectedSize, 0u);
    EXPECT_EQ(tree.SelectedMailSize(), expectedSize);

    const auto files = tree.CheckedFolderFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].Path, store + "Inbox.dbx");
    EXPECT_EQ(files[0].FolderName, "Inbox");
    EXPECT_EQ(files[0].FileName, "Inbox.dbx");
    EXPECT_EQ(files[1].Path, store + "Outbox.dbx");
    EXPECT_EQ(files[1].FolderName, "Outbox");

    const auto hotmail = static_cast<size_t>(IndexOf(tree, "Hotmail"));
    EXPECT_EQ(tree.Level(hotmail), 1);
    EXPECT_EQ(tree.Info(hotmail).Text05, "00000001");
    EXPECT_EQ(tree.Style(hotmail), fnsNormal);
    EXPECT_EQ(tree.Style(static_cast<size_t>(IndexOf(tree, "Drafts"))), fnsMissing);
    EXPECT_EQ(tree.Style(static_cast<size_t>(IndexOf(tree, "Inbox"))), fnsNormal);
}

// --- missing files ------------------------------------------------------------------------

TEST_F(MailFolderTreeTest, DeletedFolderFileIsMarkedUncheckedAndCheckedAgainByAll) {
    const std::string store = MakeStore("store",
                                        {{1, 0, "Lokale Ordner", ""},
                                         {4, 1, "Posteingang", "Posteingang.dbx", 3, 1},
                                         {20, 1, "Archiv", "Archiv.dbx", 7}},
                                        {{"Posteingang.dbx", "12345"}, {"Archiv.dbx", "1234567"}});
    ASSERT_TRUE(tp.files().DeleteFile(store + "Archiv.dbx"));

    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    EXPECT_EQ(Dump(tree, true),
              "[ ] Outlook Express\n"
              "  [ ] Lokale Ordner\n"
              "    [ ] Posteingang (3)\n"
              "    [ ] Archiv (7) [... nicht vorhanden]\n");
    const auto archive = static_cast<size_t>(IndexOf(tree, "Archiv"));
    EXPECT_EQ(tree.Style(archive), fnsMissing);
    EXPECT_EQ(FolderNodeColor(tree.Style(archive)), 0x0000FFu);

    // The wizard checks everything right after loading, the missing folder included.
    EXPECT_EQ(tree.CheckAll(), 2);
    EXPECT_TRUE(tree.Checked(archive));
    EXPECT_EQ(tree.FileCountLabel(), "2 von 2 Mailordnern");
    // ... but only present files are counted and saved.
    EXPECT_EQ(tree.SelectedMailSize(), 5u);
    const auto files = tree.CheckedFolderFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Path, store + "Posteingang.dbx");
    EXPECT_EQ(files[0].FolderName, "Posteingang");

    EXPECT_EQ(tree.UncheckAll(), 0);
    EXPECT_EQ(tree.FileCountLabel(), "0 von 2 Mailordnern");
    EXPECT_TRUE(tree.CheckedFolderFiles().empty());
    EXPECT_EQ(tree.SelectedMailSize(), 0u);
    // The parameter file's "all folders" takes every present file, checked or not.
    const auto present = tree.PresentFolderFiles();
    ASSERT_EQ(present.size(), 1u);
    EXPECT_EQ(present[0].Path, store + "Posteingang.dbx");
}

// --- damaged files ------------------------------------------------------------------------

// A message file with `stored` message records, whose header announces `announced`.
void WriteMessageFile(Files& files, const std::string& path, uint32_t stored, uint32_t announced) {
    DbxWriter w(test::DbxClass::Messages);
    std::vector<DbxNodeEntry> entries;
    for (uint32_t i = 0; i < stored; ++i)
        entries.push_back({w.AddRecord({DbxField::String(0x05, "Betreff " + std::to_string(i))}), 0});
    w.SetMessageTree(announced, w.AddNode(0, entries));
    ASSERT_TRUE(w.WriteTo(files, path));
}

TEST_F(MailFolderTreeTest, FoldersWhoseIndexIsShortAreMarkedAndStillSaved) {
    const std::string store = MakeStore("store", {{1, 0, "Lokale Ordner", ""},
                                                  {4, 1, "Posteingang", "Posteingang.dbx", 3, 1},
                                                  {20, 1, "Archiv", "Archiv.dbx", 7},
                                                  {21, 1, "Notizen", "Notizen.dbx", 1},
                                                  {22, 1, "Leer", "Leer.dbx"}});
    WriteMessageFile(tp.files(), store + "Posteingang.dbx", 3, 3);
    WriteMessageFile(tp.files(), store + "Archiv.dbx", 4, 7);  // three records lost
    ASSERT_TRUE(tp.WriteFile(store + "Notizen.dbx", "kein DBX"));  // cannot be judged
    WriteMessageFile(tp.files(), store + "Leer.dbx", 0, 0);

    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    EXPECT_EQ(Dump(tree),
              "Outlook Express\n"
              "  Lokale Ordner\n"
              "    Posteingang (3)\n"
              "    Archiv (7) [beschädigt]\n"
              "    Leer (0)\n"
              "    Notizen (1)\n");
    const auto archive = static_cast<size_t>(IndexOf(tree, "Archiv"));
    EXPECT_EQ(tree.Style(archive), fnsDamaged);
    EXPECT_TRUE(FolderNodeBold(fnsDamaged));
    // Marked, not left out: "A&lle" takes it and the run saves its file.
    EXPECT_EQ(tree.CheckAll(), 4);
    std::vector<std::string> saved;
    for (const TMailFolderFile& f : tree.CheckedFolderFiles()) saved.push_back(f.FileName);
    EXPECT_EQ(saved, (std::vector<std::string>{"Posteingang.dbx", "Archiv.dbx", "Leer.dbx", "Notizen.dbx"}));
}

TEST_F(MailFolderTreeTest, AFolderIndexWithAnUnreadableRecordMarksTheRoot) {
    const std::string store = MakeStore("store", {{1, 0, "Lokale Ordner", ""},
                                                  {4, 1, "Posteingang", "Posteingang.dbx", 3, 1},
                                                  {20, 1, "Archiv", "Archiv.dbx", 7}});
    WriteMessageFile(tp.files(), store + "Posteingang.dbx", 3, 3);
    WriteMessageFile(tp.files(), store + "Archiv.dbx", 7, 7);
    // Overwrite the head of the last folder record: the index announces three folders.
    std::string index = tp.ReadFile(store + "Folders.dbx");
    TDbxFile probe(tp.files(), tp.system(), store + "Folders.dbx");
    probe.LoadTree();
    ASSERT_NE(probe.FolderList(), nullptr);
    const auto order = probe.FolderList()->FileOrder();
    ASSERT_EQ(order.size(), 3u);
    const uint32_t lastRecord = order.back()->RecordOffset;
    probe.Open("");
    index.replace(lastRecord, 12, 12, '\xEE');
    ASSERT_TRUE(tp.WriteFile(store + "Folders.dbx", index));

    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    EXPECT_EQ(Dump(tree),
              "Outlook Express [beschädigt]\n"
              "  Lokale Ordner\n"
              "    Posteingang (3)\n");
    EXPECT_EQ(tree.Style(0), fnsDamaged);
    // The reading for the parameter file sees the same tree, without marks.
    ASSERT_TRUE(tree.ReadFolderIndex(store));
    EXPECT_EQ(tree.Text(0), "Outlook Express");
}

TEST_F(MailFolderTreeTest, UnreadableFolderIndexTellsTheUserAndLeavesNoTree) {
    const std::string store = tp.TempDir() + "kaputt\\";
    const std::string first = "Die Ordnerstruktur kann nicht eingelesen werden. Die Datei " +
                              store + " konnte nicht ge\xF6" "ffnet werden bzw. ist nicht vorhanden!";
    const std::string second =
        "Starten Sie Outlook Express und \xF6" "ffnen Sie die Identit\xE4t \"M\xFCller\"!\r\r"
        "Damit stellen Sie zumindest die Standardstruktur der Ordner f\xFCr diese Identit\xE4t "
        "her...";
    const uint32_t style = BuildMsgBox("Brevisto", mkError, bsOk).style;

    struct Case {
        const char* title;
        std::function<void(const std::string& index)> make;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string&) {}},
        {"empty file", [&](const std::string& index) { ASSERT_TRUE(tp.WriteFile(index, "")); }},
        {"not a DBX file",
         [&](const std::string& index) { ASSERT_TRUE(tp.WriteFile(index, std::string(20000, 'x'))); }},
        {"a message file",
         [&](const std::string& index) {
             ASSERT_TRUE(DbxWriter(test::DbxClass::Messages).WriteTo(tp.files(), index));
         }},
    };
    const std::string good = MakeStore("gut", {{1, 0, "Lokale Ordner", ""}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        (void)tp.files().DeleteFile(store + "Folders.dbx");
        (void)tp.files().CreateDirectory(store);
        c.make(store + "Folders.dbx");
        // A tree of another identity is left from before.
        ASSERT_TRUE(tree.LoadFolderTree(identity, good, bkFull));
        tree.CheckAll();
        tp.prompter().messages.clear();

        EXPECT_FALSE(tree.LoadFolderTree(identity, store, bkFull));
        EXPECT_EQ(tree.Count(), 0u);
        EXPECT_EQ(tree.FileCountLabel(), "0 von 0 Mailordnern");
        EXPECT_EQ(tree.CheckAll(), 0);
        ASSERT_EQ(tp.prompter().messages.size(), 2u);
        EXPECT_EQ(tp.prompter().messages[0].text, first);
        EXPECT_EQ(tp.prompter().messages[1].text, second);
        for (const auto& m : tp.prompter().messages) {
            EXPECT_EQ(m.caption, "Brevisto");
            EXPECT_EQ(m.style, style);
        }
    }
}

// --- arrangement --------------------------------------------------------------------------

TEST_F(MailFolderTreeTest, ArrangementHangsSortsAndLabelsTheFolders) {
    struct Case {
        const char* title;
        std::vector<FolderRecord> records;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a top-level folder goes in front of its parent's children",
         // "Zulu" comes before its parent in the file and so lands at the top level first.
         {{3, 20, "Zulu", ""}, {20, 0, "Team", ""}, {5, 20, "Alpha", ""}},
         "Outlook Express\n  Team\n    Zulu (0)\n    Alpha (0)\n"},
        {"a moved folder takes its subfolders along",
         {{30, 31, "Kind", "", 4}, {31, 0, "Eltern", ""}, {32, 30, "Enkel", "", 2}},
         "Outlook Express\n  Eltern\n    Kind (4)\n      Enkel (2)\n"},
        {"a parent found deeper in the tree",
         {{40, 42, "Tief", "", 1}, {41, 0, "Oben", ""}, {42, 41, "Mitte", ""}},
         "Outlook Express\n  Oben\n    Mitte (0)\n      Tief (1)\n"},
        {"standard folders first in their own order, the others by text without case",
         {{1, 0, "Lokale Ordner", ""},
          {30, 1, "beta", ""},
          {6, 1, "Gesendet", "", 0, 3},
          {31, 1, "Gamma", ""},
          {4, 1, "Posteingang", "", 0, 1},
          {32, 1, "Alpha", ""},
          {10, 0, "news.example", ""},
          {9, 0, "Hotmail", ""}},
         "Outlook Express\n  Lokale Ordner\n    Posteingang (0)\n    Gesendet (0)\n"
         "    Alpha (0)\n    beta (0)\n    Gamma (0)\n  Hotmail\n  news.example\n"},
        {"a folder naming itself as parent stays; later ones are still arranged",
         {{50, 50, "Selbst", ""}, {51, 52, "Sp\xE4ter", ""}, {52, 0, "Ziel", ""}},
         "Outlook Express\n  Ziel\n    Sp\xE4ter (0)\nSelbst\n"},
        {"two folders naming each other",
         {{60, 61, "A", ""}, {61, 60, "B", ""}},
         "Outlook Express\nA\n  B\n"},
        {"three folders in a cycle",
         {{70, 71, "A", ""}, {71, 72, "B", ""}, {72, 70, "C", ""}},
         "Outlook Express\nB\n  A\n    C (0)\n"},
        {"two folders with the same id both move",
         {{80, 81, "Doppel zwei", ""}, {80, 81, "Doppel eins", ""}, {81, 0, "Ziel", ""}},
         "Outlook Express\n  Ziel\n    Doppel eins (0)\n    Doppel zwei (0)\n"},
        {"a parent that does not exist leaves the folder at the top, sorted by text",
         {{90, 99, "Xylophon", ""}, {91, 98, "waise", ""}},
         "Outlook Express\nwaise\nXylophon\n"},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string store = MakeStore("s" + std::to_string(k++), c.records);
        ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
        // No DBX files exist; the marks are not what this is about.
        std::string dump = Dump(tree);
        for (size_t at; (at = dump.find(kMissingMark)) != std::string::npos;)
            dump.erase(at, std::string(kMissingMark).size());
        EXPECT_EQ(dump, c.expected);
        ExpectConsistentIndex(tree);
    }
}

TEST_F(MailFolderTreeTest, CompareIsAStrictOrdering) {
    FolderTreeNodes nodes;
    std::vector<FolderTreeNode*> all;
    const std::vector<std::pair<int32_t, std::string>> items = {
        {4, "Zeta"}, {9, "alpha"}, {7, "Alpha"}, {12, "ALPHA"}, {0, "Wurzel"}, {15, "beta"}};
    for (const auto& [id, text] : items) {
        TFolderInfo info;
        info.FolderId = id;
        all.push_back(nodes.AddChild(nullptr, text, info));
    }
    for (const FolderTreeNode* a : all) {
        EXPECT_FALSE(FolderTreeViewCompare(*a, *a)) << a->Text;
        for (const FolderTreeNode* b : all) {
            EXPECT_FALSE(FolderTreeViewCompare(*a, *b) && FolderTreeViewCompare(*b, *a))
                << a->Text << " / " << b->Text;
            const bool standardA = a->Info.FolderId < 9, standardB = b->Info.FolderId < 9;
            if (standardA != standardB) {
                EXPECT_EQ(FolderTreeViewCompare(*a, *b), standardA);
            }
        }
    }
    // Texts equal but for case are equivalent, so a stable sort keeps their order.
    EXPECT_FALSE(FolderTreeViewCompare(*all[1], *all[3]));
    EXPECT_FALSE(FolderTreeViewCompare(*all[3], *all[1]));
    EXPECT_TRUE(FolderTreeViewCompare(*all[1], *all[5]));
}

// --- check states and the count label -----------------------------------------------------

TEST_F(MailFolderTreeTest, ClickGivesAllDescendantsTheNodeState) {
    const std::string store = MakeStore(
        "store", {{1, 0, "Lokale Ordner", ""},
                  {4, 1, "Posteingang", "", 0, 1},
                  {30, 4, "Unter", ""},
                  {31, 30, "Tiefer", ""},
                  {6, 1, "Gesendet", "", 0, 3},
                  {9, 0, "Hotmail", ""},
                  {32, 9, "Hotmail-Eingang", ""}});
    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    // Display order: 0 root, 1 Lokale Ordner, 2 Posteingang, 3 Unter, 4 Tiefer, 5 Gesendet,
    // 6 Hotmail, 7 Hotmail-Eingang.
    ASSERT_EQ(tree.Count(), 8u);
    ASSERT_EQ(tree.Info(4).Name, "Tiefer");

    struct Case {
        bool allBefore;
        std::string clicked;
        bool newState;
        std::string expected;  // check states by index after the click
        const char* label;
        int count;
    };
    const std::vector<Case> cases = {
        {true, "Posteingang", false, "11000111", "2 von 5 Mailordnern", 2},
        {false, "Posteingang", true, "00111000", "3 von 5 Mailordnern", 3},
        {false, "Unter", true, "00011000", "2 von 5 Mailordnern", 2},
        {true, "Tiefer", false, "11110111", "4 von 5 Mailordnern", 4},
        {false, "Outlook Express", true, "11111111", "5 von 5 Mailordnern", 5},
        {true, "Lokale Ordner", false, "10000011", "1 von 5 Mailordnern", 1},
        {false, "Hotmail", true, "00000011", "1 von 5 Mailordnern", 1},
        {true, "Gesendet", false, "11111011", "4 von 5 Mailordnern", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicked + (c.newState ? " checked" : " unchecked"));
        c.allBefore ? tree.CheckAll() : tree.UncheckAll();
        const int index = c.clicked == "Outlook Express" ? 0 : IndexOf(tree, c.clicked);
        // The view has already toggled the box when the click arrives.
        tree.SetChecked(static_cast<size_t>(index), c.newState);
        const int count = tree.NodeClicked(index);
        std::string states;
        for (size_t i = 0; i < tree.Count(); ++i) states += tree.Checked(i) ? '1' : '0';
        EXPECT_EQ(states, c.expected);
        EXPECT_EQ(tree.FileCountLabel(), c.label);
        EXPECT_EQ(count, c.count);
    }

    // A click without a selected node only refreshes the label.
    tree.UncheckAll();
    tree.SetChecked(2, true);
    EXPECT_EQ(tree.FileCountLabel(), "0 von 5 Mailordnern");
    EXPECT_EQ(tree.NodeClicked(-1), 1);
    EXPECT_FALSE(tree.Checked(3));
    EXPECT_EQ(tree.FileCountLabel(), "1 von 5 Mailordnern");
    // Checked nodes at levels 0 and 1 are not counted.
    tree.UncheckAll();
    tree.SetChecked(0, true);
    tree.SetChecked(1, true);
    tree.SetChecked(6, true);
    EXPECT_EQ(tree.UpdateFolderCount(), 0);
    EXPECT_EQ(tree.FileCountLabel(), "0 von 5 Mailordnern");
}

TEST_F(MailFolderTreeTest, DrawingStyleFollowsTheMarks) {
    struct Case {
        std::string text;
        TFolderNodeStyle style;
        uint32_t color;
        bool bold;
    };
    const std::vector<Case> cases = {
        {"Posteingang (3)", fnsNormal, 0, false},
        {"Posteingang (3) [... nicht vorhanden]", fnsMissing, 0x0000FF, false},
        {"Posteingang (3) [aktualisiert]", fnsUpdated, 0x008000, true},
        {"Posteingang (3) [... nicht vorhanden] [aktualisiert]", fnsMissing, 0x0000FF, false},
        {"Archiv (7) [beschädigt]", fnsDamaged, 0x0060C0, true},
        {"Archiv (7) [aktualisiert] [beschädigt]", fnsDamaged, 0x0060C0, true},
        // Only the marks with their leading blank count.
        {"[aktualisiert]", fnsNormal, 0, false},
        {"Ordner [... nicht vorhanden", fnsNormal, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FolderNodeStyle(c.text), c.style);
        EXPECT_EQ(FolderNodeColor(c.style), c.color);
        EXPECT_EQ(FolderNodeBold(c.style), c.bold);
    }
}

// --- date-time texts ----------------------------------------------------------------------

TEST(MailFolderDateText, ReadsTheLocalDateTimeText) {
    struct Case {
        const char* text;
        std::optional<DateTime> expected;
    };
    const std::vector<Case> cases = {
        {"08.12.2026 21:47:05", DateTime{2026, 12, 8, 21, 47, 5, 0}},
        {"8.1.2026 7:05:09", DateTime{2026, 1, 8, 7, 5, 9, 0}},
        {"29.02.2024 23:59:59", DateTime{2024, 2, 29, 23, 59, 59, 0}},
        {"08.12.2026 21:47", DateTime{2026, 12, 8, 21, 47, 0, 0}},
        {"08.12.2026", DateTime{2026, 12, 8, 0, 0, 0, 0}},
        {" 08.12.2026 21:47:05 ", DateTime{2026, 12, 8, 21, 47, 5, 0}},
        {"", std::nullopt},
        {"12/08/2026 21:47:05", std::nullopt},
        {"2026-12-08 21:47:05", std::nullopt},
        {"08.12.26 21:47:05", std::nullopt},
        {"29.02.2023 10:00:00", std::nullopt},
        {"31.04.2026 10:00:00", std::nullopt},
        {"00.12.2026 10:00:00", std::nullopt},
        {"08.13.2026 10:00:00", std::nullopt},
        {"08.12.2026 24:00:00", std::nullopt},
        {"08.12.2026 10:60:00", std::nullopt},
        {"08.12.2026 10:00:60", std::nullopt},
        {"08.12.2026 10", std::nullopt},
        {"08.12.2026 10:00:00 Uhr", std::nullopt},
        {"08.12.2026T10:00:00", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DateTime when{1, 1, 1, 1, 1, 1, 1};
        const DateTime untouched = when;
        EXPECT_EQ(ReadDateTimeText(c.text, when), c.expected.has_value());
        EXPECT_EQ(when, c.expected.value_or(untouched));
    }
}

// --- archive attribute and changed files --------------------------------------------------

class MailFolderChangesTest : public MailFolderTreeTest {
protected:
    const std::string key = "{11111111-2222-3333-4444-555555555555}";

    // Wine reports the archive attribute as set whatever was stored.
    bool ArchiveCanBeCleared() {
        const std::string probe = tp.TempDir() + "probe.txt";
        EXPECT_TRUE(tp.WriteFile(probe, "x"));
        EXPECT_TRUE(tp.files().SetAttributes(probe, FileAttr::Normal));
        return (tp.files().GetAttributes(probe) & FileAttr::Archive) == 0;
    }

    // Writes a file with the given modification time and archive attribute.
    void MakeFile(const std::string& path, FileTime written, bool archive,
                  uint32_t otherAttributes = 0) {
        ASSERT_TRUE(tp.WriteFile(path, "DBX"));
        ASSERT_TRUE(tp.files().SetTimes(path, nullptr, &written));
        ASSERT_TRUE(tp.files().SetAttributes(
            path, (archive ? FileAttr::Archive : 0) | otherAttributes | FileAttr::Normal));
    }

    FileTime LocalFileTime(const DateTime& when) {
        FileTime t = 0;
        EXPECT_TRUE(tp.system().LocalToFileTime(when, t));
        return t;
    }

    void SetLastBackup(const std::string& text) {
        ASSERT_TRUE(WriteRegString(tp.registry(), 1, SettingsKey, key + "LastBackup", text));
    }
};

TEST_F(MailFolderChangesTest, SetArchiveAttributeKeepsTheOtherAttributes) {
    const bool clearable = ArchiveCanBeCleared();
    const std::vector<uint32_t> before = {
        0, FileAttr::ReadOnly, FileAttr::Hidden | FileAttr::System,
        FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::Archive, FileAttr::Archive};
    bool skipped = false;
    int k = 0;
    for (const uint32_t attributes : before) {
        SCOPED_TRACE(attributes);
        const std::string path = tp.TempDir() + "f" + std::to_string(k++) + ".dbx";
        ASSERT_TRUE(tp.WriteFile(path, "x"));
        ASSERT_TRUE(tp.files().SetAttributes(path, attributes == 0 ? FileAttr::Normal : attributes));
        if (!(attributes & FileAttr::Archive) && !clearable) {
            skipped = true;
            continue;
        }
        EXPECT_EQ(HasArchiveAttribute(tp.files(), path), (attributes & FileAttr::Archive) != 0);
        EXPECT_TRUE(SetArchiveAttribute(tp.files(), path));
        EXPECT_TRUE(HasArchiveAttribute(tp.files(), path));
        EXPECT_EQ(tp.files().GetAttributes(path) & ~FileAttr::Normal, attributes | FileAttr::Archive);
    }
    EXPECT_FALSE(SetArchiveAttribute(tp.files(), tp.TempDir() + "fehlt.dbx"));
    EXPECT_FALSE(HasArchiveAttribute(tp.files(), tp.TempDir() + "fehlt.dbx"));
    if (skipped) GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
}

TEST_F(MailFolderChangesTest, MarksTheDbxFilesWrittenSinceTheLastBackup) {
    if (!ArchiveCanBeCleared())
        GTEST_SKIP() << "this system never clears the archive attribute (Wine), so every "
                        "file is marked already";
    const DateTime lastBackup{2024, 6, 15, 12, 0, 0, 0};
    const FileTime last = LocalFileTime(lastBackup);
    const FileTime now = tp.system().UtcNow();

    struct File {
        std::string name;
        FileTime written;
        bool archiveBefore;
        bool archiveAfter;
    };
    struct Case {
        const char* title;
        std::optional<std::string> lastBackup;  // nullopt: none stored
        std::vector<File> files;
    };
    const std::vector<Case> cases = {
        {"stored time",
         tp.system().DateTimeText(lastBackup),
         {{"later.dbx", last + kHour, false, true},
          {"second_later.DBX", last + kSecond, false, true},
          {"same_time.dbx", last, false, false},
          {"earlier.dbx", last - kHour, false, false},
          {"earlier_marked.dbx", last - kDay, true, true},
          {"later.txt", last + kDay, false, false}}},
        {"no stored time: the last 60 days",
         std::nullopt,
         {{"59_days.dbx", now - 59 * kDay, false, true},
          {"61_days.dbx", now - 61 * kDay, false, false},
          {"today.dbx", now - kHour, false, true}}},
        {"an empty stored time counts as none",
         std::string(),
         {{"59_days.dbx", now - 59 * kDay, false, true},
          {"61_days.dbx", now - 61 * kDay, false, false}}},
        {"a stored time in another format marks everything",
         "06/15/2024 12:00:00",
         {{"old.dbx", last - 3650 * kDay, false, true},
          {"new.dbx", last + kHour, false, true},
          {"old.txt", last - 3650 * kDay, false, false}}},
        {"a stored time that is no date marks everything",
         "gestern",
         {{"old.dbx", last - 3650 * kDay, false, true}}},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string store = tp.TempDir() + "store" + std::to_string(k++) + "\\";
        ASSERT_TRUE(tp.files().CreateDirectory(store));
        ASSERT_TRUE(tp.files().CreateDirectory(store + "Unterordner.dbx"));
        if (c.lastBackup)
            SetLastBackup(*c.lastBackup);
        else
            tp.registry().DeleteValue(RegRoot::CurrentUser, SettingsKey, key + "LastBackup");
        for (const File& f : c.files) MakeFile(store + f.name, f.written, f.archiveBefore);

        MarkChangedMailFiles(tp.platform(), store, key);

        for (const File& f : c.files)
            EXPECT_EQ(HasArchiveAttribute(tp.files(), store + f.name), f.archiveAfter) << f.name;
        EXPECT_NE(tp.files().GetAttributes(store + "Unterordner.dbx") & FileAttr::Directory, 0u);
    }
}

// The stored time is the system's text in the user's date and time format; an update
// backup must read it back in that format, or every folder counts as changed.
TEST_F(MailFolderChangesTest, MarksByTheStoredTimeInTheUsersDateFormat) {
    if (!tp.Posix()) GTEST_SKIP() << "the date format is the real system's on Windows";
    if (!ArchiveCanBeCleared())
        GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
    // An evening on a day below 13: read as morning or with day and month swapped, the
    // limit moves by hours or months.
    const DateTime lastBackup{2024, 6, 10, 21, 5, 7, 0};
    const FileTime last = LocalFileTime(lastBackup);
    struct Case {
        const char* title;
        LocaleDateFormats formats;
        const char* storedText;
    };
    const std::vector<Case> cases = {
        {"English (USA)", {"M/d/yyyy", "h:mm:ss tt", "AM", "PM"}, "6/10/2024 9:05:07 PM"},
        {"ISO", {"yyyy-MM-dd", "HH:mm:ss", "", ""}, "2024-06-10 21:05:07"},
        {"German", {"dd.MM.yyyy", "HH:mm:ss", "", ""}, "10.06.2024 21:05:07"},
    };
    struct File {
        std::string name;
        FileTime written;
        bool changed;
    };
    const std::vector<File> files = {
        {"second_later.dbx", last + kSecond, true},
        {"day_later.dbx", last + kDay, true},
        {"same_time.dbx", last, false},
        {"hour_earlier.dbx", last - kHour, false},
        {"month_earlier.dbx", last - 30 * kDay, false},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        tp.Posix()->system.dateFormats = c.formats;
        const std::string text = tp.system().DateTimeText(lastBackup);
        EXPECT_EQ(text, c.storedText);
        SetLastBackup(text);
        const std::string store = tp.TempDir() + "locale" + std::to_string(k++) + "\\";
        ASSERT_TRUE(tp.files().CreateDirectory(store));
        for (const File& f : files) MakeFile(store + f.name, f.written, false);

        MarkChangedMailFiles(tp.platform(), store, key);

        for (const File& f : files)
            EXPECT_EQ(HasArchiveAttribute(tp.files(), store + f.name), f.changed) << f.name;
    }
}

TEST_F(MailFolderChangesTest, MarkingKeepsReadOnlyAndHiddenAndTakesTheKeyWithBackslashes) {
    if (!ArchiveCanBeCleared())
        GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
    const DateTime lastBackup{2024, 6, 15, 12, 0, 0, 0};
    SetLastBackup(tp.system().DateTimeText(lastBackup));
    const std::string store = tp.TempDir() + "store\\";
    ASSERT_TRUE(tp.files().CreateDirectory(store));
    MakeFile(store + "Inbox.dbx", LocalFileTime(lastBackup) + kHour, false,
             FileAttr::ReadOnly | FileAttr::Hidden);

    MarkChangedMailFiles(tp.platform(), store.substr(0, store.size() - 1), "\\" + key + "\\");
    EXPECT_EQ(tp.files().GetAttributes(store + "Inbox.dbx"),
              FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::Archive);
}

TEST_F(MailFolderChangesTest, UpdateBackupShowsTheChangedFolders) {
    if (!ArchiveCanBeCleared())
        GTEST_SKIP() << "this system never clears the archive attribute (Wine), so every "
                        "folder would show as changed";
    const DateTime lastBackup{2024, 6, 15, 12, 0, 0, 0};
    const FileTime last = LocalFileTime(lastBackup);
    SetLastBackup(tp.system().DateTimeText(lastBackup));
    const std::string store = MakeStore("store", {{1, 0, "Lokale Ordner", ""},
                                                  {4, 1, "Posteingang", "Posteingang.dbx", 2, 1},
                                                  {20, 1, "Archiv", "Archiv.dbx", 9}});
    MakeFile(store + "Posteingang.dbx", last + kHour, false);
    MakeFile(store + "Archiv.dbx", last - kDay, false);

    MarkChangedMailFiles(tp.platform(), store, key);
    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkUpdate));
    EXPECT_EQ(Dump(tree),
              "Outlook Express\n"
              "  Lokale Ordner\n"
              "    Posteingang (2) [aktualisiert]\n"
              "    Archiv (9)\n");
    const auto inbox = static_cast<size_t>(IndexOf(tree, "Posteingang"));
    EXPECT_EQ(tree.Style(inbox), fnsUpdated);
    EXPECT_EQ(FolderNodeColor(tree.Style(inbox)), 0x008000u);
    EXPECT_TRUE(FolderNodeBold(tree.Style(inbox)));
    EXPECT_EQ(tree.Style(static_cast<size_t>(IndexOf(tree, "Archiv"))), fnsNormal);
}

TEST_F(MailFolderChangesTest, FullBackupShowsNoChangeMarks) {
    // Freshly written files carry the archive attribute.
    const std::string store = MakeStore("store",
                                        {{1, 0, "Lokale Ordner", ""},
                                         {4, 1, "Posteingang", "Posteingang.dbx", 2, 1}},
                                        {{"Posteingang.dbx", "DBX"}});
    ASSERT_TRUE(HasArchiveAttribute(tp.files(), store + "Posteingang.dbx"));
    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkFull));
    EXPECT_EQ(Dump(tree), "Outlook Express\n  Lokale Ordner\n    Posteingang (2)\n");
    ASSERT_TRUE(tree.LoadFolderTree(identity, store, bkUpdate));
    EXPECT_EQ(Dump(tree), "Outlook Express\n  Lokale Ordner\n    Posteingang (2) [aktualisiert]\n");
}

}  // namespace
}  // namespace bv
