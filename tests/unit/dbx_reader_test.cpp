// The DBX reader on a real Outlook Express 6 store and on generated, partly corrupt files.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "brevisto/mailstore/dbx_file.h"
#include "brevisto/mailstore/dbx_tree.h"
#include "brevisto/regfile/text_file.h"
#include "tests/support/dbx_writer.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

namespace DbxClass = test::DbxClass;
using test::DbxField;
using test::DbxNodeEntry;
using test::DbxWriter;

std::vector<DbxField> Folder(uint32_t id, uint32_t parent, const std::string& name,
                             uint32_t sortKey = 0) {
    std::vector<DbxField> fields = {DbxField::Direct(0x00, id), DbxField::Direct(0x01, parent),
                                    DbxField::String(0x02, name)};
    if (sortKey != 0) fields.push_back(DbxField::Direct(0x09, sortKey));
    return fields;
}

// The tree as indented lines of node texts.
std::string Dump(const FolderTreeNodes& nodes) {
    std::ostringstream out;
    for (const FolderTreeNode* node : nodes.AllNodes()) {
        int depth = 0;
        for (const FolderTreeNode* p = node->Parent(); p; p = p->Parent()) ++depth;
        out << std::string(2 * depth, ' ') << node->Text << "\n";
    }
    return out.str();
}

std::vector<std::string> Names(const std::vector<const TDbxFolder*>& folders) {
    std::vector<std::string> names;
    for (const auto* f : folders) names.push_back(f->Info.Name);
    return names;
}

class DbxReaderTest : public ::testing::Test {
protected:
    test::TestPlatform tp;

    std::string Write(const DbxWriter& writer, const std::string& name = "test.dbx") {
        const std::string path = tp.TempDir() + name;
        EXPECT_TRUE(writer.WriteTo(tp.files(), path));
        return path;
    }
    std::unique_ptr<TDbxFile> Load(const DbxWriter& writer) {
        auto file = std::make_unique<TDbxFile>(tp.files(), tp.system(), Write(writer));
        file->LoadTree();
        return file;
    }
    std::vector<std::string> LoadedFolderNames(const DbxWriter& writer) {
        auto file = Load(writer);
        if (!file->FolderList()) return {"no folder list"};
        return Names(file->FolderList()->FileOrder());
    }
    std::string Fixture(const std::string& name) {
        return test::TestPlatform::FixturePath("oe6-store\\" + name);
    }
};

// --- the real store ---------------------------------------------------------------------

TEST_F(DbxReaderTest, RealFolderIndexYieldsTheExpectedFolders) {
    TDbxFile file(tp.files(), tp.system(), Fixture("Folders.dbx"));
    ASSERT_TRUE(file.IsFolderFile());
    file.LoadTree();
    ASSERT_NE(file.FolderList(), nullptr);
    EXPECT_EQ(file.MessageList(), nullptr);
    const TDbxFolderList& list = *file.FolderList();

    std::map<int32_t, const TFolderInfo*> byId;
    byId[list.Root().Info.FolderId] = &list.Root().Info;
    const auto order = list.FileOrder();
    for (const auto* folder : order) {
        EXPECT_EQ(folder->DisplayName, folder->Info.Name);
        EXPECT_TRUE(byId.emplace(folder->Info.FolderId, &folder->Info).second) << "read twice";
    }

    const auto expected = SplitTextLines(tp.ReadFile(Fixture("Folders.expected.tsv")));
    size_t rows = 0;
    for (const auto& line : expected) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> col;
        std::stringstream fields(line);
        for (std::string c; std::getline(fields, c, '\t');) col.push_back(c);
        col.resize(9);
        const auto number = [](const std::string& s) { return s.empty() ? 0 : std::stol(s); };
        SCOPED_TRACE(line);
        ++rows;
        const auto it = byId.find(static_cast<int32_t>(number(col[0])));
        ASSERT_NE(it, byId.end());
        const TFolderInfo& info = *it->second;
        EXPECT_EQ(info.ParentId, number(col[1]));
        EXPECT_EQ(info.Name, col[2]);
        EXPECT_EQ(info.FileName, col[3]);
        EXPECT_EQ(info.Text05, col[4]);
        EXPECT_EQ(info.SortKey, static_cast<uint32_t>(number(col[5])));
        EXPECT_EQ(info.MessageCount, static_cast<uint32_t>(number(col[7])));
        EXPECT_EQ(info.Number08, static_cast<uint32_t>(number(col[8])));
    }
    EXPECT_EQ(rows, byId.size());
    EXPECT_EQ(rows, 8u);
    EXPECT_EQ(Names(order), (std::vector<std::string>{"Hotmail", "Local Folders", "Deleted Items",
                                                      "Drafts", "Inbox", "Outbox", "Sent Items"}));
}

TEST_F(DbxReaderTest, RealFolderIndexFillsAndSortsTheTree) {
    TDbxFile file(tp.files(), tp.system(), Fixture("Folders.dbx"));
    file.LoadTree();
    ASSERT_NE(file.FolderList(), nullptr);
    FolderTreeNodes nodes;
    nodes.AddChild(nullptr, "left from before", TFolderInfo{});
    file.FolderList()->FillTreeNodes(nodes);
    TDbxFolderList::SortTreeNodes(nodes);
    EXPECT_EQ(Dump(nodes),
              "Outlook Express\n"
              "  Hotmail\n"
              "  Local Folders\n"
              "    Inbox\n"
              "    Outbox\n"
              "    Sent Items\n"
              "    Deleted Items\n"
              "    Drafts\n");
    const FolderTreeNode* inbox = nodes.FindFirst(
        [](const FolderTreeNode& n) { return n.Text == "Inbox"; });
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->Info.FileName, "Inbox.dbx");
    EXPECT_EQ(inbox->Info.MessageCount, 1u);
    EXPECT_EQ(inbox->Info.FolderId, 4);
}

TEST_F(DbxReaderTest, RealMessageFileYieldsItsMessage) {
    TDbxFile file(tp.files(), tp.system(), Fixture("Inbox.dbx"));
    ASSERT_TRUE(file.IsMessageFile());
    file.LoadTree();
    ASSERT_NE(file.MessageList(), nullptr);
    EXPECT_EQ(file.FolderList(), nullptr);
    const auto messages = file.MessageList()->FileOrder();
    ASSERT_EQ(messages.size(), 1u);
    const TMessageInfo& m = messages[0]->Info;
    // Index, size and subject as Inbox.expected.tsv lists them.
    EXPECT_EQ(m.Number00, 2u);
    EXPECT_EQ(m.Number11, 10139u);
    EXPECT_EQ(m.Text05, "Welcome to Outlook Express 6");
    EXPECT_EQ(m.Text08, "Welcome to Outlook Express 6");
    EXPECT_EQ(m.Text0D, "Microsoft Outlook Express Team");
    EXPECT_EQ(m.Text0E, "msoe@microsoft.com");
    EXPECT_EQ(m.Text13, "New Outlook Express User");
    DateTime expected;
    ASSERT_TRUE(tp.system().FileTimeToLocal(0x01D7EF132872FAC0ull, expected));
    EXPECT_EQ(m.Time02, expected);
    EXPECT_GE(m.Time02.year, 2021);
}

TEST_F(DbxReaderTest, RealEmptyOutboxAndOfflineFileLoadNoEntries) {
    TDbxFile outbox(tp.files(), tp.system(), Fixture("Outbox.dbx"));
    EXPECT_EQ(outbox.FileKind(), dfkMessages);
    outbox.LoadTree();
    ASSERT_NE(outbox.MessageList(), nullptr);
    EXPECT_TRUE(outbox.MessageList()->Items().empty());

    TDbxFile offline(tp.files(), tp.system(), Fixture("Offline.dbx"));
    EXPECT_EQ(offline.FileKind(), dfkKind3);
    offline.LoadTree();
    EXPECT_EQ(offline.FolderList(), nullptr);
    EXPECT_EQ(offline.MessageList(), nullptr);
}

// --- kinds ----------------------------------------------------------------------------

TEST_F(DbxReaderTest, FileKindFollowsSignatureAndClass) {
    const std::vector<std::pair<uint32_t, TDbxFileKind>> cases = {
        {DbxClass::Messages, dfkMessages}, {DbxClass::Folders, dfkFolders},
        {DbxClass::Kind2, dfkKind2},       {DbxClass::Kind3, dfkKind3},
        {0x12345678, dfkUnknown},
    };
    for (const auto& [fileClass, kind] : cases) {
        SCOPED_TRACE(kind);
        TDbxFile file(tp.files(), tp.system(), Write(DbxWriter(fileClass)));
        EXPECT_EQ(file.FileKind(), kind);
        EXPECT_EQ(file.IsFolderFile(), kind == dfkFolders);
        EXPECT_EQ(file.IsMessageFile(), kind == dfkMessages);
    }

    DbxWriter wrongSignature(DbxClass::Folders);
    wrongSignature.SetHeaderValue(0, 0xFE12ADCE);
    TDbxFile noDbx(tp.files(), tp.system(), Write(wrongSignature));
    EXPECT_TRUE(noDbx.IsOpen());
    EXPECT_EQ(noDbx.FileKind(), dfkNoDbx);
    noDbx.LoadTree();
    EXPECT_EQ(noDbx.FolderList(), nullptr);

    TDbxFile missing(tp.files(), tp.system(), tp.TempDir() + "fehlt.dbx");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.FileKind(), dfkNoDbx);
    missing.LoadTree();
    EXPECT_EQ(missing.FolderList(), nullptr);

    ASSERT_TRUE(tp.WriteFile(tp.TempDir() + "kurz.dbx", "\xCF\xAD\x12"));
    TDbxFile tooShort(tp.files(), tp.system(), tp.TempDir() + "kurz.dbx");
    EXPECT_EQ(tooShort.FileKind(), dfkNoDbx);
}

// --- folder trees ---------------------------------------------------------------------

TEST_F(DbxReaderTest, ZeroEntryCountGivesOnlyTheRootNode) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t record = w.AddRecord(Folder(1, 0, "Inbox"));
    w.SetFolderTree(0, w.AddNode(0, {{record, 0}}));
    auto file = Load(w);
    ASSERT_NE(file->FolderList(), nullptr);
    FolderTreeNodes nodes;
    file->FolderList()->FillTreeNodes(nodes);
    EXPECT_EQ(Dump(nodes), "Outlook Express\n");
    const TFolderInfo& root = nodes.TopLevel()[0]->Info;
    EXPECT_EQ(root.FolderId, 0);
    EXPECT_EQ(root.ParentId, -1);
}

TEST_F(DbxReaderTest, TwoLevelTreeYieldsEveryFolderOnceInFileOrder) {
    DbxWriter w(DbxClass::Folders);
    std::vector<uint32_t> r;
    for (int i = 1; i <= 5; ++i) r.push_back(w.AddRecord(Folder(i, 0, "F" + std::to_string(i))));
    const uint32_t before = w.AddNode(0, {{r[0], 0}, {r[1], 0}});
    const uint32_t between = w.AddNode(0, {{r[3], 0}});
    const uint32_t root = w.AddNode(before, {{r[2], between}, {r[4], 0}});
    w.SetFolderTree(5, root);
    auto file = Load(w);
    ASSERT_NE(file->FolderList(), nullptr);
    const TDbxFolderList& list = *file->FolderList();

    EXPECT_EQ(Names(list.FileOrder()), (std::vector<std::string>{"F1", "F2", "F3", "F4", "F5"}));
    // The entry lists mirror the nodes: F4 hangs below F3, whose node follows it.
    const auto& top = list.Root().Items;
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[0]->NodeOffset, before);
    EXPECT_EQ(top[0]->Position, 1u);
    EXPECT_EQ(top[1]->Position, 2u);
    EXPECT_EQ(top[2]->Info.Name, "F3");
    EXPECT_EQ(top[2]->NodeOffset, root);
    EXPECT_EQ(top[2]->RecordOffset, r[2]);
    ASSERT_EQ(top[2]->Items.size(), 1u);
    EXPECT_EQ(top[2]->Items[0]->Info.Name, "F4");
    EXPECT_EQ(top[3]->Position, 2u);

    FolderTreeNodes nodes;
    list.FillTreeNodes(nodes);
    EXPECT_EQ(Dump(nodes), "Outlook Express\n  F1\n  F2\n  F3\n  F4\n  F5\n");
}

TEST_F(DbxReaderTest, SortKeysThreeZeroOneAreShownOneThreeZero) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t p = w.AddRecord(Folder(1, 0, "Lokale Ordner"));
    const uint32_t a = w.AddRecord(Folder(2, 1, "drei", 3));
    const uint32_t b = w.AddRecord(Folder(3, 1, "null", 0));
    const uint32_t c = w.AddRecord(Folder(4, 1, "eins", 1));
    const uint32_t d = w.AddRecord(Folder(5, 1, "auch null", 0));
    const uint32_t e = w.AddRecord(Folder(6, 1, "gross", 0xFFFFFFu));
    w.SetFolderTree(6, w.AddNode(0, {{p, 0}, {a, 0}, {b, 0}, {c, 0}, {d, 0}, {e, 0}}));
    auto file = Load(w);
    ASSERT_NE(file->FolderList(), nullptr);
    FolderTreeNodes nodes;
    file->FolderList()->FillTreeNodes(nodes);
    TDbxFolderList::SortTreeNodes(nodes);
    EXPECT_EQ(Dump(nodes),
              "Outlook Express\n  Lokale Ordner\n    eins\n    drei\n    gross\n    null\n"
              "    auch null\n");
}

TEST_F(DbxReaderTest, FolderWhoseParentComesLaterGoesToTheTopLevel) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t child = w.AddRecord(Folder(5, 6, "Kind"));
    const uint32_t parent = w.AddRecord(Folder(6, 0, "Eltern"));
    const uint32_t grandchild = w.AddRecord(Folder(7, 5, "Enkel"));
    w.SetFolderTree(3, w.AddNode(0, {{child, 0}, {parent, 0}, {grandchild, 0}}));
    auto file = Load(w);
    FolderTreeNodes nodes;
    file->FolderList()->FillTreeNodes(nodes);
    EXPECT_EQ(Dump(nodes), "Outlook Express\n  Eltern\nKind\n  Enkel\n");
}

TEST_F(DbxReaderTest, FieldsStayInsideTheDataArea) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t record = w.AddRecord({
        DbxField::Direct(0x00, 9),
        DbxField::String(0x02, "Name"),
        DbxField::String(0x03, "Datei.dbx"),
        DbxField::Number(0x06, 0x01020304),
        DbxField::Direct(0x07, 42),
        DbxField::Direct(0x08, 3),
        DbxField::Direct(0x1C, 77),
        DbxField::Direct(0x7F, 1),       // an id the reader does not know
        DbxField::Pointer(0x05, 5000),   // beyond the data area
        DbxField{0x05, 0, {'e', 'n', 'd'}},  // last field, no terminating zero
    });
    const uint32_t direct06 = w.AddRecord({DbxField::Direct(0x06, 12)});
    const uint32_t empty = w.AddRecord({DbxField::String(0x02, "weg")}, 0);
    w.SetFolderTree(3, w.AddNode(0, {{record, 0}, {direct06, 0}, {empty, 0}}));
    auto file = Load(w);
    const auto order = file->FolderList()->FileOrder();
    ASSERT_EQ(order.size(), 3u);
    const TFolderInfo& info = order[0]->Info;
    EXPECT_EQ(info.FolderId, 9);
    EXPECT_EQ(info.Name, "Name");
    EXPECT_EQ(info.FileName, "Datei.dbx");
    EXPECT_EQ(info.Number06, 0x01020304u);
    EXPECT_EQ(info.MessageCount, 42u);
    EXPECT_EQ(info.Number08, 3u);
    EXPECT_EQ(info.Number1C, 77u);
    EXPECT_EQ(info.Text05, "end");
    EXPECT_EQ(order[1]->Info.Number06, 12u);
    // A record of length 0 stays with empty fields.
    EXPECT_EQ(order[2]->Info.Name, "");
    EXPECT_EQ(order[2]->RecordOffset, empty);
}

TEST_F(DbxReaderTest, AFieldPointingPastTheDataAreaReadsAsMissing) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t record = w.AddRecord({DbxField::Pointer(0x02, 1), DbxField::Pointer(0x06, 0),
                                         DbxField{0x00, 0, {0xAA, 0xBB}}});
    w.SetFolderTree(1, w.AddNode(0, {{record, 0}}));
    auto file = Load(w);
    const auto order = file->FolderList()->FileOrder();
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0]->Info.Name, "\xBB");      // from offset 1 up to the end
    EXPECT_EQ(order[0]->Info.Number06, 0u);      // 4 bytes do not fit into 2
}

TEST_F(DbxReaderTest, LoadTreeBuildsTheListOnceAndOpenStartsAfresh) {
    DbxWriter w(DbxClass::Folders);
    w.SetFolderTree(1, w.AddNode(0, {{w.AddRecord(Folder(1, 0, "A")), 0}}));
    auto file = Load(w);
    TDbxFolderList* first = file->FolderList();
    file->LoadTree();
    EXPECT_EQ(file->FolderList(), first);
    EXPECT_EQ(first->FileOrder().size(), 1u);

    file->Open(Fixture("Inbox.dbx"));
    EXPECT_EQ(file->FolderList(), nullptr);
    EXPECT_TRUE(file->IsMessageFile());
}

// --- corrupt trees --------------------------------------------------------------------

TEST_F(DbxReaderTest, EntryCountAboveTheNodesRoomIsCut) {
    DbxWriter w(DbxClass::Folders);
    std::vector<DbxNodeEntry> entries;
    for (uint32_t i = 1; i <= 51; ++i) entries.push_back({w.AddRecord(Folder(i, 0, "F")), 0});
    const uint32_t node = w.ReserveNode();
    w.SetNode(node, 0, entries, 255);
    w.SetFolderTree(255, node);
    auto file = Load(w);
    EXPECT_EQ(file->FolderList()->FileOrder().size(), DbxLimits::MaxNodeEntries);
}

TEST_F(DbxReaderTest, CyclesAndOverlappingNodesAreWalkedOnce) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t a = w.AddRecord(Folder(1, 0, "A"));
    const uint32_t b = w.AddRecord(Folder(2, 0, "B"));
    const uint32_t c = w.AddRecord(Folder(3, 0, "C"));
    const uint32_t root = w.ReserveNode();
    const uint32_t second = w.ReserveNode();
    // The root's first child is itself, its entry leads to `second`, which leads back,
    // and the last entry points into the middle of the root node.
    w.SetNode(root, root, {{a, second}, {c, root + 12}});
    w.SetNode(second, root, {{b, second}, {b, root}});
    w.SetFolderTree(4, root);
    auto file = Load(w);
    EXPECT_EQ(Names(file->FolderList()->FileOrder()),
              (std::vector<std::string>{"A", "B", "B", "C"}));
    EXPECT_FALSE(file->FolderList()->Incomplete());
}

TEST_F(DbxReaderTest, OffsetsOutsideTheFileAreSkipped) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t a = w.AddRecord(Folder(1, 0, "A"));
    const uint32_t b = w.AddRecord(Folder(2, 0, "B"));
    const uint32_t hugeRecord = w.AddRecord(Folder(3, 0, "C"), 0x7FFFFFF0);
    const uint32_t root = w.ReserveNode();
    const uint32_t end = static_cast<uint32_t>(w.EndOffset());
    w.SetNode(root, end - 100, {{a, 0xFFFFFF00u}, {0xFFFFFFF8u, end}, {b, 0}, {hugeRecord, 0},
                                {end - 6, 0}});
    w.SetFolderTree(5, root);
    auto file = Load(w);
    // Entries whose record lies beyond the end, reaches past it or whose head does not fit
    // are no folders: dropped, and the list tells that it is short.
    EXPECT_EQ(Names(file->FolderList()->FileOrder()), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(file->FolderList()->EntriesRead(), 2u);
    EXPECT_TRUE(file->FolderList()->Incomplete());

    // A root node beyond the end: nothing, whatever the header counts. (The first reader
    // lets go of the file first: Windows refuses to rewrite a file that is open.)
    file.reset();
    w.SetFolderTree(1000, end + 10);
    EXPECT_TRUE(Load(w)->FolderList()->FileOrder().empty());
}

TEST_F(DbxReaderTest, DeepChainsStopAtTheDepthLimit) {
    DbxWriter w(DbxClass::Folders);
    const uint32_t record = w.AddRecord(Folder(1, 0, "F"));
    std::vector<uint32_t> nodes;
    for (int i = 0; i < 100; ++i) nodes.push_back(w.ReserveNode());
    for (int i = 0; i < 100; ++i) w.SetNode(nodes[i], i + 1 < 100 ? nodes[i + 1] : 0, {{record, 0}});
    w.SetFolderTree(100, nodes[0]);
    auto file = Load(w);
    const auto order = file->FolderList()->FileOrder();
    ASSERT_EQ(order.size(), static_cast<size_t>(DbxLimits::MaxTreeDepth + 1));
    // The deepest node read comes first in file order.
    EXPECT_EQ(order.front()->NodeOffset, nodes[DbxLimits::MaxTreeDepth]);
    EXPECT_EQ(order.back()->NodeOffset, nodes[0]);
}

// --- damaged indexes --------------------------------------------------------------------

// A store whose tree spans a first-child node, a root node and a node below an entry:
// F1 F2 | F3 [F4] F5 in file order.
struct SpreadTree {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> records;
    uint32_t before = 0, between = 0, root = 0;
};

SpreadTree MakeSpreadTree(uint32_t fileClass, uint32_t announced = 5) {
    DbxWriter w(fileClass);
    SpreadTree t;
    for (uint32_t i = 1; i <= 5; ++i)
        t.records.push_back(w.AddRecord(fileClass == DbxClass::Folders
                                            ? Folder(i, 0, "F" + std::to_string(i))
                                            : std::vector<DbxField>{DbxField::String(0x05, "F" + std::to_string(i))}));
    t.before = w.AddNode(0, {{t.records[0], 0}, {t.records[1], 0}});
    t.between = w.AddNode(0, {{t.records[3], 0}});
    t.root = w.AddNode(t.before, {{t.records[2], t.between}, {t.records[4], 0}});
    if (fileClass == DbxClass::Folders) w.SetFolderTree(announced, t.root);
    else w.SetMessageTree(announced, t.root);
    t.bytes = w.Build();
    return t;
}

void Smear(std::vector<uint8_t>& bytes, uint32_t offset, size_t count, uint8_t value = 0xA5) {
    for (size_t i = 0; i < count && offset + i < bytes.size(); ++i) bytes[offset + i] = value;
}

// Copies of a good index, damaged in one place each. Neither tree kind may show an entry
// that is not there, and both must say how many of the announced entries they found.
TEST_F(DbxReaderTest, DamagedIndexesYieldOnlyRealEntriesAndTellTheyAreShort) {
    struct Case {
        const char* what;
        std::function<void(SpreadTree&)> damage;
        std::vector<std::string> names;
        uint32_t announced;
    };
    const std::vector<Case> cases = {
        {"intact", [](SpreadTree&) {}, {"F1", "F2", "F3", "F4", "F5"}, 5},
        {"root node overwritten", [](SpreadTree& t) { Smear(t.bytes, t.root, DbxLimits::NodeSize); },
         {}, 5},
        {"root node zeroed", [](SpreadTree& t) { Smear(t.bytes, t.root, DbxLimits::NodeSize, 0); },
         {}, 5},
        {"one record head overwritten",
         [](SpreadTree& t) { Smear(t.bytes, t.records[1], 12); }, {"F1", "F3", "F4", "F5"}, 5},
        // The entry goes, the entries of the node behind it stay in their place.
        {"record of an entry with a child node overwritten",
         [](SpreadTree& t) { Smear(t.bytes, t.records[2], 4); }, {"F1", "F2", "F4", "F5"}, 5},
        {"record length reaching past the end",
         [](SpreadTree& t) { Smear(t.bytes, t.records[4] + 4, 4, 0x7F); }, {"F1", "F2", "F3", "F4"}, 5},
        // A node that does not name its own offset is not read as one.
        {"first-child node moved",
         [](SpreadTree& t) { Smear(t.bytes, t.before, 4); }, {"F3", "F4", "F5"}, 5},
        {"node below an entry moved",
         [](SpreadTree& t) { Smear(t.bytes, t.between, 4); }, {"F1", "F2", "F3", "F5"}, 5},
        {"file cut in the last node",
         [](SpreadTree& t) { t.bytes.resize(t.root + 100); }, {}, 5},
        // More entries than announced: only as many as announced are read.
        {"header announces fewer", [](SpreadTree&) {}, {"F1", "F2", "F3"}, 3},
        {"header announces more", [](SpreadTree&) {}, {"F1", "F2", "F3", "F4", "F5"}, 9},
    };
    for (const uint32_t fileClass : {DbxClass::Folders, DbxClass::Messages}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (fileClass == DbxClass::Folders ? " (folders)" : " (messages)"));
            SpreadTree t = MakeSpreadTree(fileClass, c.announced);
            c.damage(t);
            const std::string path = tp.TempDir() + "beschaedigt.dbx";
            ASSERT_TRUE(tp.WriteFile(path, std::string(t.bytes.begin(), t.bytes.end())));
            {
                TDbxFile file(tp.files(), tp.system(), path);
                file.LoadTree();
                std::vector<std::string> names;
                uint32_t announced = 0, read = 0;
                bool incomplete = false;
                if (fileClass == DbxClass::Folders) {
                    ASSERT_NE(file.FolderList(), nullptr);
                    names = Names(file.FolderList()->FileOrder());
                    announced = file.FolderList()->EntryCount();
                    read = file.FolderList()->EntriesRead();
                    incomplete = file.FolderList()->Incomplete();
                } else {
                    ASSERT_NE(file.MessageList(), nullptr);
                    for (const TDbxMessage* m : file.MessageList()->FileOrder()) names.push_back(m->Info.Text05);
                    announced = file.MessageList()->EntryCount();
                    read = file.MessageList()->EntriesRead();
                    incomplete = file.MessageList()->Incomplete();
                }
                EXPECT_EQ(names, c.names);
                EXPECT_EQ(announced, c.announced);
                EXPECT_EQ(read, c.names.size());
                EXPECT_EQ(incomplete, c.names.size() < c.announced);
                // The quick count of the wizard agrees with the full reading.
                const TDbxFile::EntryTally tally = file.CountEntries();
                EXPECT_EQ(tally.announced, c.announced);
                EXPECT_EQ(tally.found, c.names.size());
                EXPECT_EQ(tally.Complete(), !incomplete);
            }
            ASSERT_TRUE(tp.files().DeleteFile(path));
        }
    }
}

// --- message files --------------------------------------------------------------------

TEST_F(DbxReaderTest, MessageFieldsAreReadDirectlyOrFromTheDataArea) {
    const FileTime sent = 0x01C2F5A1B2C3D4E0ull;
    DbxWriter w(DbxClass::Messages);
    const uint32_t m1 = w.AddRecord({
        DbxField::Direct(0x00, 17), DbxField::Number(0x01, 0x00010002),
        DbxField::Time(0x02, sent), DbxField::Direct(0x03, 3), DbxField::Number(0x04, 4),
        DbxField::String(0x05, "Betreff"), DbxField::Time(0x06, sent + 10000000),
        DbxField::String(0x07, "<id@host>"), DbxField::String(0x0E, "a@b.de"),
        DbxField::Number(0x10, 16), DbxField::Direct(0x11, 2048), DbxField::Time(0x12, sent),
        DbxField::String(0x13, "Anna"), DbxField::String(0x14, "vierzehn"),
        DbxField::String(0x1A, "pop3"), DbxField::String(0x1B, "konto"),
        DbxField::String(0x23, "dreiundzwanzig"), DbxField::Direct(0x7E, 5),
    });
    const uint32_t m2 = w.AddRecord({DbxField::Number(0x00, 18)});
    w.SetMessageTree(2, w.AddNode(0, {{m1, w.AddNode(0, {{m2, 0}})}}));
    auto file = Load(w);
    ASSERT_NE(file->MessageList(), nullptr);
    const auto order = file->MessageList()->FileOrder();
    ASSERT_EQ(order.size(), 2u);
    const TMessageInfo& m = order[0]->Info;
    EXPECT_EQ(m.Number00, 17u);
    EXPECT_EQ(m.Number01, 0x00010002u);
    EXPECT_EQ(m.Number03, 3u);
    EXPECT_EQ(m.Number04, 4u);
    EXPECT_EQ(m.Text05, "Betreff");
    EXPECT_EQ(m.Text07, "<id@host>");
    EXPECT_EQ(m.Text0E, "a@b.de");
    EXPECT_EQ(m.Number10, 16u);
    EXPECT_EQ(m.Number11, 2048u);
    EXPECT_EQ(m.Text13, "Anna");
    EXPECT_EQ(m.Text14, "vierzehn");
    EXPECT_EQ(m.Text1A, "pop3");
    EXPECT_EQ(m.Text1B, "konto");
    EXPECT_EQ(m.Text23, "dreiundzwanzig");
    DateTime local, later;
    ASSERT_TRUE(tp.system().FileTimeToLocal(sent, local));
    ASSERT_TRUE(tp.system().FileTimeToLocal(sent + 10000000, later));
    EXPECT_EQ(m.Time02, local);
    EXPECT_EQ(m.Time12, local);
    EXPECT_EQ(m.Time06, later);
    EXPECT_NE(local, later);
    EXPECT_EQ(order[1]->Info.Number00, 18u);
    EXPECT_EQ(order[1]->Info.Time02, DateTime{});
}

// Offsets are unsigned 32-bit: a tree in the upper half of a 4 GB file must be found.
// The file is sparse, so it takes almost no disk space.
TEST_F(DbxReaderTest, TreesBeyondTwoGigabytesAreRead) {
    DbxWriter w(DbxClass::Messages);
    w.SkipTo(0xC0000000ull);
    const uint32_t record = w.AddRecord({DbxField::String(0x05, "weit hinten")});
    const uint32_t node = w.AddNode(0, {{record, 0}});
    w.SetMessageTree(1, node);
    const std::string path = Write(w, "gross.dbx");
    if (tp.files().Open(path, OpenMode::Read)->Size() < 0xC0000000ull)
        GTEST_SKIP() << "the file system could not hold a sparse 3 GB file";
    TDbxFile file(tp.files(), tp.system(), path);
    file.LoadTree();
    ASSERT_NE(file.MessageList(), nullptr);
    const auto order = file.MessageList()->FileOrder();
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0]->Info.Text05, "weit hinten");
    EXPECT_EQ(order[0]->NodeOffset, node);
    EXPECT_GT(node, 0x80000000u);
}

// --- the tree model -------------------------------------------------------------------

TEST_F(DbxReaderTest, TreeNodesMoveWithTheirSubtreeButNeverIntoIt) {
    FolderTreeNodes nodes;
    FolderTreeNode* a = nodes.AddChild(nullptr, "A", TFolderInfo{});
    FolderTreeNode* b = nodes.AddChild(a, "B", TFolderInfo{});
    nodes.AddChild(b, "C", TFolderInfo{});
    FolderTreeNode* d = nodes.AddChild(nullptr, "D", TFolderInfo{});
    EXPECT_FALSE(nodes.MoveTo(*a, b));
    EXPECT_TRUE(nodes.MoveTo(*b, d));
    EXPECT_EQ(Dump(nodes), "A\nD\n  B\n    C\n");
    EXPECT_EQ(b->Parent(), d);
    EXPECT_EQ(nodes.Count(), 4u);
}

}  // namespace
}  // namespace bv
