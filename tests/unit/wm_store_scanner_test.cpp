// The Windows Mail store scanner on generated store files: page kinds and the rules that
// skip pages, records found whole or half a byte off, the texts of a record, offsets that
// point outside the page or the record, and files that cannot be read.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "brevisto/mailstore/wm_store_scanner.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"
#include "tests/support/wm_store_writer.h"

namespace bv {
namespace {

using test::WmPageKind;
using test::WmPageMarker;
using test::WmPageSetup;
using test::WmPlacement;
using test::WmRecord;
using test::WmStoreWriter;

// The 8 bytes of a number, low byte first, as upper-case hex text.
std::string HexBytes(uint64_t value) {
    std::string text;
    char pair[3];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>((value >> (8 * i)) & 0xFF));
        text += pair;
    }
    return text;
}

WmRecord LocalStore(const std::u16string& localFolder = u"Lokale Ordner") {
    WmRecord r;
    r.id = 0x0001;
    r.name = "Lokale Ordner";
    r.text = u"Speicher";
    r.kind = "LocalStore";
    r.localFolder = localFolder;
    return r;
}

WmRecord Account(const std::string& name, const std::u16string& localFolder) {
    WmRecord r;
    r.id = 0x0042;
    r.parentId = 0x0001;
    r.name = name;
    r.text = u"Konto";
    r.kind = "account{5B1D3F0A}.oeaccount";
    r.localFolder = localFolder;
    return r;
}

WmPageSetup SecondKind(uint16_t parentTag) {
    WmPageSetup s;
    s.kind = WmPageKind::Second;
    s.parentTag = parentTag;
    return s;
}

std::vector<std::string> Names(const std::vector<TWMFolderData>& folders) {
    std::vector<std::string> names;
    for (const auto& f : folders) names.push_back(f.FolderName);
    return names;
}

class WmStoreScannerTest : public ::testing::Test {
protected:
    test::TestPlatform tp;

    std::string Write(const WmStoreWriter& writer, const std::string& name = "WindowsMail.MSMessageStore") {
        const std::string path = tp.TempDir() + name;
        EXPECT_TRUE(writer.WriteTo(tp.files(), path));
        return path;
    }
    std::vector<TWMFolderData> Scan(const WmStoreWriter& writer) {
        return ScanMailStoreFolders(tp.platform(), Write(writer));
    }
    std::vector<std::string> ScannedNames(const WmStoreWriter& writer) { return Names(Scan(writer)); }
};

// Every field of a found record against what the writer laid out.
void ExpectDecoded(const TWMFolderData& found, const WmRecord& r, const std::string& kind) {
    EXPECT_EQ(found.IdText, HexBytes(r.id));
    EXPECT_EQ(found.Id, r.id & 0xFFFF);
    EXPECT_EQ(found.ParentIdText, HexBytes(r.parentId));
    EXPECT_EQ(found.ParentId, r.parentId & 0xFFFF);
    EXPECT_EQ(found.MessageCount, r.messageCount);
    EXPECT_EQ(found.IsSpecial, (r.id & 0xFFFF) <= 8);
    EXPECT_EQ(found.FolderName, r.name);
    EXPECT_EQ(found.FolderText, r.text);
    EXPECT_EQ(found.Kind, kind);
    EXPECT_EQ(found.LocalFolder, r.localFolder);
}

// --- page count ---------------------------------------------------------------------------

TEST(WmStorePageCount, RoundsToTheNearestPageAndAHalfToTheEvenOne) {
    const struct {
        uint64_t size, pages;
    } cases[] = {
        {0, 0},         {1, 0},         {4095, 0},      {4096, 0},      {4097, 1},
        {8192, 1},      {12287, 1},     {12288, 2},     {12289, 2},     {16384, 2},
        {20479, 2},     {20480, 2},     {20481, 3},     {28672, 4},     {36864, 4},
        {45056, 6},     {8192ull * 1000000 + 4096, 1000000},
    };
    for (const auto& c : cases) EXPECT_EQ(MailStorePageCount(c.size), c.pages) << c.size;
}

// --- pages and records ----------------------------------------------------------------------

TEST_F(WmStoreScannerTest, FindsTheFolderRecordsOfBothPageKindsInScanOrder) {
    WmStoreWriter w;
    const size_t first = w.AddPage();  // start tag 4242
    WmRecord store = LocalStore();
    store.messageCount = 0x1234;
    WmRecord account = Account("Posteingang", u"pop.example.org");
    account.id = 0x0123;
    account.parentId = 0xBEEF0001;
    account.messageCount = 17;
    WmRecord news = Account("de.comp.lang", u"news.example.org");
    news.id = 0x0009;
    news.newsgroup = true;
    WmRecord plain;  // neither a local folder nor the local store: not kept
    plain.name = "Entw\xFC" "rfe";
    WmRecord noFolder = Account("Kein Ordner", u"x.example.org");
    noFolder.folderMark = 0;
    w.AddRecord(first, store);
    w.AddRecord(first, account);
    w.AddRecord(first, plain);
    w.AddRecord(first, news);
    w.AddRecord(first, noFolder);

    WmPageSetup other;
    other.lead = 0x16;
    other.startTag = 0x7A31;
    const size_t second = w.AddPage(other);
    WmRecord special = Account("Gesendet", u"smtp.example.org");
    special.id = 0x0008;
    w.AddRecord(second, special);
    const size_t child = w.AddPage(SecondKind(0x7A31));
    WmRecord inChild = Account("Unterordner", u"imap.example.org");
    inChild.layout = 20;
    inChild.markerAt = 9;
    w.AddRecord(child, inChild);

    const auto folders = Scan(w);
    ASSERT_EQ(folders.size(), 5u);
    ExpectDecoded(folders[0], store, "LocalStore");
    ExpectDecoded(folders[1], account, account.kind);
    ExpectDecoded(folders[2], news, "Newsgroup");
    ExpectDecoded(folders[3], special, special.kind);
    ExpectDecoded(folders[4], inChild, inChild.kind);
    // The id fields read low byte first, only the first two bytes as the number.
    EXPECT_EQ(folders[1].IdText, "2301000000000000");
    EXPECT_EQ(folders[1].Id, 0x0123u);
    EXPECT_EQ(folders[1].ParentIdText, "0100EFBE00000000");
    EXPECT_EQ(folders[1].ParentId, 0x0001u);
    EXPECT_EQ(folders[0].MessageCount, 0x1234u);
    EXPECT_FALSE(folders[2].IsSpecial);  // id 9
    EXPECT_TRUE(folders[3].IsSpecial);   // id 8
}

// The record marker's byte k decides where the data begins: M = R + tag 0's size + shift + 98
// with shift k mod 2 on the first kind and k - 5 on the second; a marker half a byte off
// counts from the byte it begins in, a missing one as byte 0.
TEST_F(WmStoreScannerTest, RecordsAreFoundWhereverTheirMarkerLiesWholeOrHalfAByteOff) {
    const struct {
        WmPageKind kind;
        int markerAt;
        bool halfByte;
        uint64_t dataOffset;  // D[1] behind R: M + 12
    } cases[] = {
        {WmPageKind::First, -1, false, 126}, {WmPageKind::First, 0, false, 126},
        {WmPageKind::First, 0, true, 126},   {WmPageKind::First, 3, false, 127},
        {WmPageKind::First, 3, true, 127},   {WmPageKind::First, 6, true, 126},
        {WmPageKind::First, 27, false, 127}, {WmPageKind::First, 28, true, 126},
        {WmPageKind::First, 29, true, 127},  {WmPageKind::First, 30, false, 126},
        {WmPageKind::Second, -1, false, 114}, {WmPageKind::Second, 0, true, 114},
        {WmPageKind::Second, 3, false, 117}, {WmPageKind::Second, 3, true, 117},
        {WmPageKind::Second, 5, false, 119}, {WmPageKind::Second, 12, true, 126},
        {WmPageKind::Second, 28, false, 142}, {WmPageKind::Second, 29, true, 143},
        {WmPageKind::Second, 30, false, 144},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.kind == WmPageKind::First ? "first" : "second")
                                        << " kind, marker at " << c.markerAt << (c.halfByte ? " + 1/2" : ""));
        WmStoreWriter w;
        const size_t page = c.kind == WmPageKind::First ? w.AddPage() : w.AddPage(SecondKind(0x4242));
        WmRecord r = Account("Ablage", u"Archiv");
        r.markerAt = c.markerAt;
        r.halfByteMarker = c.halfByte;
        const WmPlacement placed = w.AddRecord(page, r);
        ASSERT_EQ(placed.data - placed.record, c.dataOffset);
        const auto folders = Scan(w);
        ASSERT_EQ(folders.size(), 1u);
        ExpectDecoded(folders[0], r, r.kind);
    }
}

struct PageCase {
    const char* name;
    std::function<void(WmPageSetup&)> setup;
    bool found;
};

// A first-kind page with the local store in front names the start tag 4242; then the page
// under test holds one account record.
TEST_F(WmStoreScannerTest, PagesAreSkippedByTheirKindHeadMarkerAndCounts) {
    const PageCase cases[] = {
        {"first kind, head 14", [](WmPageSetup&) {}, true},
        {"first kind, head 16", [](WmPageSetup& s) { s.lead = 0x16; }, true},
        {"first kind, head 15", [](WmPageSetup& s) { s.lead = 0x15; }, false},
        {"first kind, head ends differently",
         [](WmPageSetup& s) { s.head = std::array<uint8_t, 6>{0x14, 0, 0, 0, 0x02, 0}; }, false},
        {"tag 0 of size 0x11", [](WmPageSetup& s) { s.tagZeroSize = 0x11; }, false},
        {"tag 0 of size 0x0910", [](WmPageSetup& s) { s.tagZeroSize = 0x0910; }, false},
        {"second kind under the start tag", [](WmPageSetup& s) { s = SecondKind(0x4242); }, true},
        {"second kind under another tag", [](WmPageSetup& s) { s = SecondKind(0x4243); }, false},
        {"second kind, tag bytes swapped", [](WmPageSetup& s) { s = SecondKind(0x2424); }, false},
        {"marker at the window's start", [](WmPageSetup& s) { s.markerAt = 0; }, true},
        {"marker at the window's end", [](WmPageSetup& s) { s.markerAt = 28; }, true},
        {"marker half a byte off with FE 08",
         [](WmPageSetup& s) { s.marker = WmPageMarker::HalfByte; s.markerAt = 7; }, true},
        {"marker half a byte off at the end with FE 08",
         [](WmPageSetup& s) { s.marker = WmPageMarker::HalfByte; s.markerAt = 28; }, true},
        {"marker half a byte off alone",
         [](WmPageSetup& s) { s.marker = WmPageMarker::HalfByteOnly; s.markerAt = 7; }, false},
        {"80 68 at offset 49 without marker", [](WmPageSetup& s) { s.marker = WmPageMarker::FollowOnly; }, true},
        {"FE 08 at offset 138 without marker", [](WmPageSetup& s) { s.marker = WmPageMarker::Fe08Only; }, true},
        {"no marker", [](WmPageSetup& s) { s.marker = WmPageMarker::None; }, false},
        {"second kind without marker",
         [](WmPageSetup& s) { s = SecondKind(0x4242); s.marker = WmPageMarker::None; }, false},
        {"05 28 at offset 36", [](WmPageSetup& s) { s.busy = true; }, false},
        {"second kind with 05 28", [](WmPageSetup& s) { s = SecondKind(0x4242); s.busy = true; }, false},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        WmStoreWriter w;
        w.AddRecord(w.AddPage(), LocalStore());
        WmPageSetup setup;
        c.setup(setup);
        w.AddRecord(w.AddPage(setup), Account("Test", u"mail.example.org"));
        const std::vector<std::string> expected =
            c.found ? std::vector<std::string>{"Lokale Ordner", "Test"} : std::vector<std::string>{"Lokale Ordner"};
        EXPECT_EQ(ScannedNames(w), expected);
    }
}

TEST_F(WmStoreScannerTest, BytesInUseAndTagCountBoundTheRecordsRead) {
    const struct {
        const char* name;
        int bytesInUse;  // -1: as laid out
        int tagCount;    // -1: as laid out
        std::vector<std::string> expected;
    } cases[] = {
        {"as laid out", -1, -1, {"Eins", "Zwei"}},
        {"second record starts at the last byte in use", 1, -1, {"Eins", "Zwei"}},
        {"second record starts behind it", 0, -1, {"Eins"}},
        {"bytes in use below 32", 31, -1, {}},
        {"two tags: tag 0 and the first record", -1, 2, {"Eins"}},
        {"tag 0 alone", -1, 1, {}},
        {"no tags", -1, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WmStoreWriter w;
        const size_t page = w.AddPage();
        w.AddRecord(page, Account("Eins", u"a.example.org"));
        const WmPlacement second = w.AddRecord(page, Account("Zwei", u"b.example.org"));
        const auto secondOffset = static_cast<int>(second.record - w.PageStart(page) - 40);
        if (c.bytesInUse == 0 || c.bytesInUse == 1)
            w.SetBytesInUse(page, static_cast<uint16_t>(secondOffset - 1 + c.bytesInUse));
        else if (c.bytesInUse > 0)
            w.SetBytesInUse(page, static_cast<uint16_t>(c.bytesInUse));
        if (c.tagCount >= 0) w.SetTagCount(page, static_cast<uint16_t>(c.tagCount));
        EXPECT_EQ(ScannedNames(w), c.expected);
    }
}

TEST_F(WmStoreScannerTest, TheTagOffsetLosesItsUpperThreeBits) {
    WmStoreWriter w;
    const size_t page = w.AddPage();
    const WmPlacement placed = w.AddRecord(page, Account("Markiert", u"flags.example.org"));
    const auto offset = static_cast<uint16_t>(placed.record - w.PageStart(page) - 40);
    w.PatchWord(placed.tagEntry + 2, static_cast<uint16_t>(0xE000 | offset));
    EXPECT_EQ(ScannedNames(w), std::vector<std::string>{"Markiert"});
}

// --- the start tag ---------------------------------------------------------------------------

TEST_F(WmStoreScannerTest, SecondKindPagesFollowTheLastStartTag) {
    WmStoreWriter w;
    // Before any first-kind page every second-kind page is read.
    w.AddRecord(w.AddPage(SecondKind(0x0101)), Account("Vorab", u"a.example.org"));
    WmPageSetup a;
    a.startTag = 0x1111;
    w.AddRecord(w.AddPage(a), LocalStore());
    w.AddRecord(w.AddPage(SecondKind(0x1111)), Account("A1", u"a1.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x0101)), Account("Fremd", u"f.example.org"));
    WmPageSetup b;
    b.startTag = 0x2222;
    b.busy = true;  // skipped for its records, but its start tag counts
    w.AddRecord(w.AddPage(b), Account("B", u"b.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x1111)), Account("A2", u"a2.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x2222)), Account("B1", u"b1.example.org"));
    // A first-kind page that is skipped before its start tag leaves the tag as it was.
    WmPageSetup c;
    c.startTag = 0x3333;
    c.marker = WmPageMarker::None;
    w.AddRecord(w.AddPage(c), Account("C", u"c.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x3333)), Account("C1", u"c1.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x2222)), Account("B2", u"b2.example.org"));
    EXPECT_EQ(ScannedNames(w), (std::vector<std::string>{"Vorab", "Lokale Ordner", "A1", "B1", "B2"}));
}

// The search for 09 00 belongs to no page: it runs on into the pages that follow and ends
// only with the file.
TEST_F(WmStoreScannerTest, TheStartTagSearchRunsOnToTheEndOfTheFile) {
    WmStoreWriter w;
    WmPageSetup stepless;
    stepless.startTagStep = false;
    w.AddRecord(w.AddPage(stepless), LocalStore());
    w.AddRecord(w.AddPage(stepless), Account("Zweite", u"z.example.org"));
    const size_t holder = w.AddPage(SecondKind(0x0000));
    w.SetTagCount(holder, 0);  // a page of nothing but the step
    w.Patch(w.PageStart(holder) + 16, {0x09, 0x00, 0xCD, 0xAB});
    w.AddRecord(w.AddPage(SecondKind(0xABCD)), Account("Kind", u"k.example.org"));
    w.AddRecord(w.AddPage(SecondKind(0x4242)), Account("Fremd", u"f.example.org"));
    EXPECT_EQ(ScannedNames(w), (std::vector<std::string>{"Lokale Ordner", "Zweite", "Kind"}));
}

TEST_F(WmStoreScannerTest, AFirstKindPageWithoutStartTagToTheEndIsSkipped) {
    WmStoreWriter w;
    w.AddRecord(w.AddPage(), LocalStore());
    WmPageSetup stepless;
    stepless.startTagStep = false;
    w.AddRecord(w.AddPage(stepless), Account("Ohne Tag", u"o.example.org"));
    w.AddRecord(w.AddPage(stepless), Account("Auch ohne", u"a.example.org"));
    EXPECT_EQ(ScannedNames(w), std::vector<std::string>{"Lokale Ordner"});
}

// The search reads two-byte steps up to the end of the file; a step that the end cuts in
// half reads its missing byte as zero, and a 09 00 between two steps is none.
TEST_F(WmStoreScannerTest, TheStartTagSearchEndsWithTheFileBytesBeyondItReadAsZero) {
    const struct {
        std::vector<uint8_t> tail;  // what follows the one page
        bool found;
    } cases[] = {
        {{0x09, 0x00}, true},
        {{0x09}, true},
        {{0x09, 0x00, 0x55, 0x66}, true},
        {{0x09, 0x01}, false},
        {{0x00, 0x09, 0x00}, false},
        {{}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tail of " << c.tail.size() << " bytes");
        WmStoreWriter w;
        WmPageSetup stepless;
        stepless.startTagStep = false;
        w.AddRecord(w.AddPage(stepless), Account("Am Ende", u"e.example.org"));
        if (!c.tail.empty()) w.Patch(test::kWmPageSize, c.tail);
        EXPECT_EQ(ScannedNames(w).size(), c.found ? 1u : 0u);
    }
}

// --- the texts of a record ---------------------------------------------------------------------

TEST_F(WmStoreScannerTest, LayoutsKindsAndTheRecordsKept) {
    WmRecord twelve = Account("Zw\xF6lf", u"twelve.example.org");
    twelve.layout = 12;
    twelve.kind.clear();
    WmRecord twenty = Account("Zwanzig", u"twenty.example.org");
    twenty.layout = 20;
    WmRecord twelveBare = twelve;  // no local folder, no kind: not kept
    twelveBare.name = "Nackt";
    twelveBare.localFolder.clear();
    WmRecord accountBare = Account("Ohne Ablage", u"");
    WmRecord emptyStore = LocalStore(u"");  // kept for its kind alone
    emptyStore.name = "Leer";
    WmRecord spaced = LocalStore(u"  Ablage\t");
    spaced.name = "Gepolstert";
    spaced.kind = "  LocalStore ";
    WmRecord lower = LocalStore();
    lower.name = "Klein";
    lower.kind = "localstore";  // not the local store; kept for its local folder
    WmRecord newsNoLocal = Account("news.nolocal", u"");
    newsNoLocal.newsgroup = true;
    WmRecord newsTwelve = twelve;
    newsTwelve.name = "news.zwoelf";
    newsTwelve.newsgroup = true;
    WmRecord flagged = Account("Flaggen", u"flags.example.org");
    flagged.offsetFlags = 0xF;

    WmStoreWriter w;
    const size_t page = w.AddPage();
    for (const WmRecord* r : {&twelve, &twenty, &twelveBare, &accountBare, &emptyStore, &spaced, &lower,
                              &newsNoLocal, &newsTwelve, &flagged})
        w.AddRecord(page, *r);
    const auto folders = Scan(w);
    ASSERT_EQ(Names(folders), (std::vector<std::string>{"Zw\xF6lf", "Zwanzig", "Leer", "Gepolstert", "Klein",
                                                        "news.zwoelf", "Flaggen"}));
    ExpectDecoded(folders[0], twelve, "");
    ExpectDecoded(folders[1], twenty, twenty.kind);
    ExpectDecoded(folders[2], emptyStore, "LocalStore");
    EXPECT_EQ(folders[3].Kind, "LocalStore");
    EXPECT_EQ(folders[3].LocalFolder, u"  Ablage");  // trimmed before the prefix goes
    EXPECT_EQ(folders[4].Kind, "localstore");
    ExpectDecoded(folders[5], newsTwelve, "Newsgroup");
    ExpectDecoded(folders[6], flagged, flagged.kind);
}

TEST_F(WmStoreScannerTest, TheNameKeepsPrintableBytesOnly) {
    WmStoreWriter w;
    WmRecord r = Account("Post\x01\x1F\x7F\x80\x9F\xA0" "eingang \x20\x7E\xA1\xFF", u"p.example.org");
    w.AddRecord(w.AddPage(), r);
    EXPECT_EQ(ScannedNames(w), std::vector<std::string>{"Posteingang  ~\xA1\xFF"});
}

// The second text ends at the first "0000" of its hex text, which must begin three digits
// into a code unit; it goes through the ANSI code page and loses spaces and controls.
TEST_F(WmStoreScannerTest, TheSecondTextEndsAtItsFirstZeroDigitsAndPassesThroughAnsi) {
    const struct {
        std::u16string written;
        bool kept;
        std::u16string read;
    } cases[] = {
        {u"Konto", true, u"Konto"},
        {u"  Gel\u00F6scht\t", true, u"Gel\u00F6scht"},
        {u"Ende ", false, u""},                            // 2000 0000: "0000" at digit 2 of the space
        {u"\u0160\u20AC x", true, u"\u0160\u20AC x"},     // all in code page 1252
        {u"\u20AC \u0160", false, u""},                    // 2000 6001 0000: "0000" at digit 13
        {u"\u0416x\u0100", true, u"?x"},                   // U+0100 begins with 00: the text ends before it
        {u"\u0416\u0141x", true, u"??x"},                  // outside code page 1252
        {u"A\u0100B", true, u"A"},                         // 41 00|00 01: "0000" three digits in
        {u"\u1000A", true, u"?A"},                         // 0010 4100 0000: at digit 7
        {u"", false, u""},                                 // the NUL alone: "0000" at digit 1
        {u"P\u0100", false, u""},                          // 5000 0001: "0000" at digit 2
        {u"\u3012\u0500", false, u""},                     // 1230 0005: "0000" at digit 4
        {u"\u0100", false, u""},                           // 0001 0000: "0000" at digit 5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text of " << c.written.size() << " units, first "
                                        << (c.written.empty() ? 0 : static_cast<int>(c.written[0])));
        WmStoreWriter w;
        WmRecord r = Account("Text", u"t.example.org");
        r.text = c.written;
        w.AddRecord(w.AddPage(), r);
        const auto folders = Scan(w);
        ASSERT_EQ(folders.size(), c.kept ? 1u : 0u);
        if (c.kept) {
            EXPECT_EQ(folders[0].FolderText, c.read);
        }
    }
}

TEST_F(WmStoreScannerTest, TheLocalFolderLosesItsFirstCharacterAfterTrimming) {
    const struct {
        char16_t prefix;
        std::u16string written;
        std::u16string read;
    } cases[] = {
        {u'\\', u"Lokale Ordner", u"Lokale Ordner"},
        {u'x', u"Ablage", u"Ablage"},
        {u' ', u"Ablage", u"blage"},       // the space goes with the trimming, then the "A"
        {u'\\', u"Gel\u00F6scht  ", u"Gel\u00F6scht"},
        {u'\\', u"\u041F\u0430\u043F\u043A\u0430", u"?????"},
        {u'\\', u"\U0001F4C1 Ordner", u"? Ordner"},  // a surrogate pair is one character
    };
    for (const auto& c : cases) {
        WmStoreWriter w;
        WmRecord r = LocalStore(c.written);
        r.localPrefix = c.prefix;
        w.AddRecord(w.AddPage(), r);
        const auto folders = Scan(w);
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(folders[0].LocalFolder, c.read);
    }
}

// The upper four bits of an offset's high byte are flags; a high part of 0xA or more is an
// offset like any other (a name of 2600 bytes puts U, V and W beyond 0xA00).
TEST_F(WmStoreScannerTest, TwelveBitOffsetsWithAHighPartOfTenOrMore) {
    for (uint8_t flags : {0x0, 0x4, 0x8, 0xF}) {
        SCOPED_TRACE(static_cast<int>(flags));
        WmStoreWriter w;
        const size_t page = w.AddPage();
        WmRecord r = LocalStore(u"Weit hinten");
        r.name = std::string(2600, 'N');
        r.offsetFlags = flags;
        const WmPlacement placed = w.AddRecord(page, r);
        ASSERT_GE(placed.u >> 8, 0xA);
        ASSERT_GE(placed.v >> 8, 0xA);
        ASSERT_GE(placed.w >> 8, 0xA);
        w.AddRecord(page, Account("Danach", u"d.example.org"));
        const auto folders = Scan(w);
        ASSERT_EQ(folders.size(), 2u);
        ExpectDecoded(folders[0], r, "LocalStore");
        EXPECT_EQ(folders[1].FolderName, "Danach");
    }
}

// --- offsets that point outside ---------------------------------------------------------------

struct BoundCase {
    const char* name;
    // Bends the record `bad` (layout 16, behind "Gut" and before "Danach" on its page).
    std::function<void(WmStoreWriter&, size_t page, const WmPlacement& bad)> corrupt;
};

// Setting an offset of D: the low byte at D[2g+1], the high four bits in D[2g+2].
void SetOffset(WmStoreWriter& w, const WmPlacement& p, int g, int value) {
    w.Patch(p.D(2 * g + 1), {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0x0F)});
}

int64_t DataSize(const WmPlacement& p) { return static_cast<int64_t>(p.size - (p.data - p.record)); }

uint16_t TagOffset(const WmStoreWriter& w, size_t page, const WmPlacement& p) {
    return static_cast<uint16_t>(p.record - w.PageStart(page) - 40);
}

TEST_F(WmStoreScannerTest, RecordsWhoseOffsetsOrLengthsDoNotFitAreDropped) {
    const BoundCase cases[] = {
        {"tag offset at the page's end",
         [](WmStoreWriter& w, size_t page, const WmPlacement& p) {
             w.PatchWord(p.tagEntry + 2, 0x1FFF);
             w.SetBytesInUse(page, 0xFFFF);
         }},
        {"tag offset one byte too far for the record's size",
         [](WmStoreWriter& w, size_t page, const WmPlacement& p) {
             w.PatchWord(p.tagEntry + 2, static_cast<uint16_t>(8192 - 40 - p.size + 1));
             w.SetBytesInUse(page, 0xFFFF);
         }},
        {"tag size of 0xFFFF", [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.PatchWord(p.tagEntry, 0xFFFF); }},
        {"tag size reaching past the page",
         [](WmStoreWriter& w, size_t page, const WmPlacement& p) {
             w.PatchWord(p.tagEntry, static_cast<uint16_t>(8192 - 40 - TagOffset(w, page, p) + 1));
         }},
        {"tag size of zero", [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.PatchWord(p.tagEntry, 0); }},
        {"tag size short of the folder mark",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.PatchWord(p.tagEntry, 100); }},
        {"tag size ending where D would begin",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) {
             w.PatchWord(p.tagEntry, static_cast<uint16_t>(p.data - p.record));
         }},
        {"tag size cutting D before W",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) {
             w.PatchWord(p.tagEntry, static_cast<uint16_t>(p.data - p.record + p.w - 1));
         }},
        {"U beyond D", [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 2, static_cast<int>(DataSize(p) + 1)); }},
        {"V beyond D", [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 4, static_cast<int>(DataSize(p) + 1)); }},
        {"W beyond D", [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 6, static_cast<int>(DataSize(p) + 1)); }},
        {"U at 0xFFF", [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 2, 0xFFF); }},
        {"U one short of the name (negative name length)",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 2, 16 + 1); }},
        {"U of zero", [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 2, 0); }},
        {"V at U (negative second length)",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 4, p.u); }},
        {"W one short of V + 2 (negative third length)",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 6, p.v + 1); }},
        {"newsgroup with V beyond D",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) {
             w.Patch(p.D(6), {0x40, 0x05});
             SetOffset(w, p, 4, static_cast<int>(DataSize(p) + 1));
         }},
        {"layout 14", [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.Patch(p.D(1), {14}); }},
        {"layout 0", [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.Patch(p.D(1), {0}); }},
        {"second text without its NUL",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.Patch(p.D(p.v - 3), {0x43, 0x00}); }},
        {"local folder of an odd number of bytes",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { SetOffset(w, p, 6, p.w + 1); }},
        {"folder mark of zero",
         [](WmStoreWriter& w, size_t, const WmPlacement& p) { w.Patch(p.data - 20, {0x00}); }},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        WmStoreWriter w;
        const size_t page = w.AddPage();
        w.AddRecord(page, Account("Gut", u"gut.example.org"));
        WmRecord bad = Account("Schlecht", u"schlecht.example.org");
        bad.text = u"Konto";
        const WmPlacement placed = w.AddRecord(page, bad);
        w.AddRecord(page, Account("Danach", u"danach.example.org"));
        c.corrupt(w, page, placed);
        EXPECT_EQ(ScannedNames(w), (std::vector<std::string>{"Gut", "Danach"}));
    }
}

// A bound of the record must not be a bound of the decoding only: without the corruption the
// same record is found (the table above would pass for a scanner that found nothing).
TEST_F(WmStoreScannerTest, TheBentRecordIsFoundWhenLeftAlone) {
    WmStoreWriter w;
    const size_t page = w.AddPage();
    w.AddRecord(page, Account("Gut", u"gut.example.org"));
    WmRecord bad = Account("Schlecht", u"schlecht.example.org");
    bad.text = u"Konto";
    w.AddRecord(page, bad);
    w.AddRecord(page, Account("Danach", u"danach.example.org"));
    EXPECT_EQ(ScannedNames(w), (std::vector<std::string>{"Gut", "Schlecht", "Danach"}));
}

// A tag count too large for the page would put tags in front of it (and before the file's
// start on the first page): those are not read, the page's own tags still are.
TEST_F(WmStoreScannerTest, ATagCountBeyondThePageReadsNoTagOutsideIt) {
    for (uint16_t count : {2048, 2049, 5000, 0xFFFF}) {
        SCOPED_TRACE(count);
        WmStoreWriter w;
        const size_t page = w.AddPage();
        w.AddRecord(page, LocalStore());
        w.AddRecord(page, Account("Zwei", u"z.example.org"));
        w.SetTagCount(page, count);
        const auto names = ScannedNames(w);
        ASSERT_GE(names.size(), 2u);
        EXPECT_EQ(names[0], "Lokale Ordner");
        EXPECT_EQ(names[1], "Zwei");
    }
}

// A last page of 8189 to 8191 bytes is read (its tag 0 is in the file); a record that
// reaches beyond the file's last byte is dropped even though it stays inside the page.
TEST_F(WmStoreScannerTest, ARecordReachingPastTheEndOfTheFileIsDropped) {
    WmStoreWriter w;
    const size_t page = w.AddPage();
    const WmPlacement good = w.AddRecord(page, Account("Gut", u"gut.example.org"));
    // The same record once more, stretched towards the page's end by an even number of bytes
    // (its local folder then reads on over zeros and the tag array).
    const uint64_t end = (8191 - (good.record + good.size)) % 2 == 0 ? 8191 : 8190;
    w.AddRawTag(page, static_cast<uint16_t>(end - good.record), TagOffset(w, page, good));

    const auto whole = Scan(w);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[1].FolderName, "Gut");
    EXPECT_NE(whole[1].LocalFolder, whole[0].LocalFolder);

    w.SetFileSize(end - 1);
    EXPECT_EQ(MailStorePageCount(end - 1), 1u);
    const auto cut = Scan(w);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].LocalFolder, u"gut.example.org");
}

// --- the local folders folder ---------------------------------------------------------------

TEST_F(WmStoreScannerTest, LocalStoreFolderNameHasThreeOutcomes) {
    // No record at all: the name Windows Mail uses when it has none of its own.
    WmStoreWriter none;
    WmRecord plain;
    plain.layout = 12;
    none.AddRecord(none.AddPage(), plain);
    ASSERT_TRUE(ScanMailStoreFolders(tp.platform(), Write(none, "none.store")).empty());
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), tp.TempDir() + "none.store"), "Local Folders");

    // Records, but none of them the local store.
    WmStoreWriter accounts;
    const size_t page = accounts.AddPage();
    accounts.AddRecord(page, Account("Konto", u"mail.example.org"));
    WmRecord news = Account("de.test", u"news.example.org");
    news.newsgroup = true;
    news.kind = "LocalStore";  // a newsgroup is a newsgroup, whatever its kind column says
    accounts.AddRecord(page, news);
    ASSERT_EQ(ScanMailStoreFolders(tp.platform(), Write(accounts, "accounts.store")).size(), 2u);
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), tp.TempDir() + "accounts.store"), "");

    // The local store, its name in the ANSI code page.
    WmStoreWriter store;
    const size_t first = store.AddPage();
    store.AddRecord(first, Account("Konto", u"mail.example.org"));
    store.AddRecord(first, LocalStore(u"Gel\u00F6schte \u20AC-Ablage \u0416"));
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), Write(store, "store.store")),
              "Gel\xF6schte \x80-Ablage ?");

    // The local store with an empty local folder gives the empty name.
    WmStoreWriter empty;
    empty.AddRecord(empty.AddPage(), LocalStore(u""));
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), Write(empty, "empty.store")), "");
}

TEST_F(WmStoreScannerTest, OfTwoLocalStoresTheFirstInFileOrderGivesTheName) {
    WmStoreWriter w;
    const size_t first = w.AddPage();
    w.AddRecord(first, Account("Konto", u"mail.example.org"));
    w.AddRecord(first, LocalStore(u"Erste Ablage"));
    const size_t second = w.AddPage();
    w.AddRecord(second, LocalStore(u"Zweite Ablage"));
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), Write(w)), "Erste Ablage");
}

// On one page the records come in the order of their tags, which need not be the order of
// their bytes: the store found first is the one of the lower tag.
TEST_F(WmStoreScannerTest, OnOnePageTheLowerTagGivesTheName) {
    WmStoreWriter w;
    const size_t page = w.AddPage();
    w.AddRecord(page, LocalStore(u"Tag eins, weiter hinten"), 2000);
    w.AddRecord(page, LocalStore(u"Tag zwei, weiter vorn"), 200);
    const auto folders = Scan(w);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].LocalFolder, u"Tag eins, weiter hinten");
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), tp.TempDir() + "WindowsMail.MSMessageStore"),
              "Tag eins, weiter hinten");
}

// --- the file ---------------------------------------------------------------------------------

TEST_F(WmStoreScannerTest, ShortFilesHaveNoPages) {
    WmStoreWriter whole;
    whole.AddRecord(whole.AddPage(), LocalStore());
    for (uint64_t size : {0, 1, 4095, 4096}) {
        SCOPED_TRACE(size);
        WmStoreWriter w = whole;
        w.SetFileSize(size);
        const std::string path = Write(w);
        EXPECT_TRUE(ScanMailStoreFolders(tp.platform(), path).empty());
        EXPECT_EQ(LocalStoreFolderName(tp.platform(), path), "Local Folders");
    }
}

// Half a page more counts as a page when the count before it is odd (1.5 is two) and not
// when it is even (2.5 is two); a page that the file cuts short before its tag 0 is no page
// of either kind.
TEST_F(WmStoreScannerTest, PartialLastPagesAreReadAsFarAsTheFileGoes) {
    const struct {
        int pages;  // whole pages written, each with one record
        uint64_t size;
        std::vector<std::string> expected;
    } cases[] = {
        {2, 12288, {"Seite 1"}},
        {3, 20480, {"Seite 1", "Seite 2"}},
        {2, 8192 + 8189, {"Seite 1", "Seite 2"}},  // rounds up; tag 0's size word is in the file
        {2, 8192 + 8188, {"Seite 1"}},             // tag 0 reads as 0x0000
        {1, 8192 + 4097, {"Seite 1"}},             // a second page of zeros
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        WmStoreWriter w;
        for (int i = 1; i <= c.pages; ++i)
            w.AddRecord(w.AddPage(), Account("Seite " + std::to_string(i), u"s.example.org"));
        w.SetFileSize(c.size);
        EXPECT_EQ(ScannedNames(w), c.expected);
    }
}

TEST_F(WmStoreScannerTest, AFileThatCannotBeOpenedOrReadGivesNoRecords) {
    WmStoreWriter w;
    w.AddRecord(w.AddPage(), LocalStore(u"Ablage"));
    w.AddRecord(w.AddPage(), Account("Konto", u"mail.example.org"));
    const std::string path = Write(w);
    ASSERT_EQ(ScanMailStoreFolders(tp.platform(), path).size(), 2u);

    EXPECT_TRUE(ScanMailStoreFolders(tp.platform(), tp.TempDir() + "fehlt.store").empty());
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), tp.TempDir() + "fehlt.store"), "Local Folders");
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), tp.TempDir()), "Local Folders");

    const struct {
        const char* name;
        test::FileOp op;
        int at;
    } faults[] = {
        {"open", test::FileOp::Open, 1},
        {"first read", test::FileOp::Read, 1},
        {"a later read", test::FileOp::Read, 2},
        {"first seek", test::FileOp::Seek, 1},
        {"a later seek", test::FileOp::Seek, 3},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        test::FaultyFiles faulty(tp.files());
        faulty.FailAt(f.op, f.at, test::FaultMode::Once);
        Platform platform{tp.registry(), faulty, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        EXPECT_TRUE(ScanMailStoreFolders(platform, path).empty());
        EXPECT_EQ(faulty.Failed(f.op), 1);
        test::FaultyFiles again(tp.files());
        again.FailAt(f.op, f.at, test::FaultMode::Once);
        Platform platform2{tp.registry(), again, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        EXPECT_EQ(LocalStoreFolderName(platform2, path), "Local Folders");
    }
}

// Windows Mail holds its store open for writing while it runs; the scan still reads it.
TEST_F(WmStoreScannerTest, AStoreHeldOpenForWritingIsRead) {
    WmStoreWriter w;
    w.AddRecord(w.AddPage(), LocalStore(u"Ablage"));
    const std::string path = Write(w);
    auto holder = tp.files().Open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(holder);
    ASSERT_FALSE(tp.files().Open(path, OpenMode::Read));  // a plain reader is refused
    EXPECT_EQ(LocalStoreFolderName(tp.platform(), path), "Ablage");
    EXPECT_TRUE(holder->Close());
}

}  // namespace
}  // namespace bv
