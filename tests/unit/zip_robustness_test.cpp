// The archive components on hostile input and under failures: stored paths that would leave
// the target folder, corrupt directories, Zip64 records, injected I/O errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "brevisto/archive/zip_format.h"
#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "platform/path.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"
#include "tests/unit/zip_test_support.h"

namespace bv {
namespace {

using test::FaultyFiles;
using test::TestPlatform;
using namespace test::ziptest;

// Lowers the Zip64 limits for one test, so small archives take the Zip64 paths.
struct LoweredZip64Limits {
    zip::Limits saved = zip::CurrentLimits();
    LoweredZip64Limits(uint64_t max32, uint64_t max16) {
        zip::CurrentLimits().max32 = max32;
        zip::CurrentLimits().max16 = max16;
    }
    ~LoweredZip64Limits() { zip::CurrentLimits() = saved; }
};

class ZipRobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        out = tp.TempDir() + "Ziel\\";
        zipPath = tp.TempDir() + "a.zip";
    }
    TestPlatform tp;
    std::string out, zipPath;
};

TEST_F(ZipRobustnessTest, StoredPathsThatLeaveTheTargetAreSkipped) {
    ASSERT_TRUE(tp.WriteFile(zipPath, BuildRawZip({{"../boese1.txt", "1"},
                                                   {"..\\boese2.txt", "2"},
                                                   {"Ordner/../../boese3.txt", "3"},
                                                   {"C:/boese4.txt", "4"},
                                                   {"/boese5.txt", "5"},
                                                   {"\\boese6.txt", "6"},
                                                   {"datei.txt:strom", "7"},
                                                   {"a/.. /boese8.txt", "8"},
                                                   {"a/.../boese9.txt", "9"},
                                                   {"gut..name.txt", "ok1"},
                                                   {"Ordner/gut.txt", "ok2"}})));
    for (bool recreate : {true, false}) {
        TZipReader r(tp.platform());
        r.SetZipName(zipPath);
        r.SetDestDir(out + "Tief\\Drin");
        r.SetDoAll(true);
        r.SetRecreateDirs(recreate);
        r.SetOverwriteMode(TOverwriteMode::Always);
        EXPECT_EQ(r.ExtractMatching(), 2) << recreate;
        EXPECT_EQ(tp.ReadFile(out + "Tief\\Drin\\gut..name.txt"), "ok1");
    }
    // Nothing landed anywhere else.
    for (const std::string& folder : {tp.TempDir(), out, out + "Tief\\", std::string("C:\\")})
        for (const FindEntry& e : tp.files().Find(folder + "boese*"))
            ADD_FAILURE() << folder << e.name;
    EXPECT_EQ(tp.ReadFile(out + "Tief\\Drin\\Ordner\\gut.txt"), "ok2");
}

TEST_F(ZipRobustnessTest, UnsafePathRules) {
    EXPECT_TRUE(zip::IsUnsafeStoredPath(".."));
    EXPECT_TRUE(zip::IsUnsafeStoredPath("a\\..\\b"));
    EXPECT_TRUE(zip::IsUnsafeStoredPath("a/../b"));
    EXPECT_TRUE(zip::IsUnsafeStoredPath("\\\\server\\share\\x"));
    EXPECT_TRUE(zip::IsUnsafeStoredPath("D:x"));
    EXPECT_TRUE(zip::IsUnsafeStoredPath("a\\... \\b"));
    EXPECT_FALSE(zip::IsUnsafeStoredPath("a..b\\c"));
    EXPECT_FALSE(zip::IsUnsafeStoredPath("Gelöschte Objekte.dbx"));
    EXPECT_FALSE(zip::IsUnsafeStoredPath(".profil\\bookmarks.html"));
    EXPECT_TRUE(zip::MatchesPattern("*.DBX", "Sub\\Inbox.dbx"));
    EXPECT_TRUE(zip::MatchesPattern("s?b\\*", "Sub\\x"));
    EXPECT_FALSE(zip::MatchesPattern("inbox.dbx", "Sub\\Inbox.dbx"));
    EXPECT_TRUE(zip::MatchesPattern("*", ""));
}

TEST_F(ZipRobustnessTest, OutputNeverExceedsTheDeclaredSize) {
    // A stored entry that declares fewer bytes than it holds, and a deflate entry whose data
    // expand beyond its declared size: both fail their check and write nothing.
    const std::string text = MailText(50000, 1);
    RawEntry shortStored{"kurz.txt", text};
    shortStored.declaredSize = 100;
    // A deflate stream of 50000 bytes declared as 10 bytes.
    std::string deflated;
    {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        std::string buf(compressBound(text.size()) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = reinterpret_cast<Bytef*>(&buf[0]);
        z.avail_out = static_cast<uInt>(buf.size());
        deflate(&z, Z_FINISH);
        buf.resize(z.total_out);
        deflateEnd(&z);
        deflated = buf;
    }
    RawEntry bomb{"bombe.txt", deflated};
    bomb.method = 8;
    bomb.declaredSize = 10;
    RawEntry honest{"ehrlich.txt", deflated};
    honest.method = 8;
    honest.declaredSize = text.size();
    // The CRC field must describe the expanded data for the honest entry.
    std::string zipBytes = BuildRawZip({shortStored, bomb, honest});
    ASSERT_TRUE(tp.WriteFile(zipPath, zipBytes));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetDoAll(true);
    // BuildRawZip computes CRCs over the stored bytes, so even the honest entry fails: what
    // matters is that nothing is written and nothing grows.
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_FALSE(FileExists(tp.files(), out + "bombe.txt"));
    EXPECT_FALSE(FileExists(tp.files(), out + "kurz.txt"));
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
    EXPECT_FALSE(r.TestArchive());
}

TEST_F(ZipRobustnessTest, CorruptDirectoryFieldsAreRejected) {
    const std::string good = BuildRawZip({{"a.txt", "Hallo"}, {"b.txt", "Welt"}}, "K");
    const size_t end = good.size() - 22 - 1;
    const size_t cd = good.find(std::string("PK\x01\x02", 4));
    struct Case {
        const char* what;
        size_t at;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"entry count beyond the directory", end + 10, std::string("\xFF\x7F", 2)},
        {"directory offset beyond the file", end + 16, std::string("\x00\x00\x10\x00", 4)},
        {"directory size beyond the file", end + 12, std::string("\x00\x00\x10\x00", 4)},
        {"all-ones offset without Zip64", end + 16, std::string("\xFF\xFF\xFF\xFF", 4)},
        {"name length beyond the directory", cd + 28, std::string("\xFF\xFF", 2)},
        {"local offset beyond the directory", cd + 42, std::string("\x00\x00\x00\x10", 4)},
        {"all-ones size without Zip64 field", cd + 20, std::string("\xFF\xFF\xFF\xFF", 4)},
        {"comment length beyond the file", end + 20, std::string("\x00\x10", 2)},
    };
    for (const Case& c : cases) {
        std::string bad = good;
        bad.replace(c.at, c.bytes.size(), c.bytes);
        ASSERT_TRUE(tp.WriteFile(zipPath, bad));
        TZipReader strict(tp.platform());
        strict.SetZipName(zipPath);
        EXPECT_THROW(strict.ReadDirectory(), EZipInvalid) << c.what;
        // Under izAssumeBad the local headers are still good.
        TZipReader lenient(tp.platform());
        lenient.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
        lenient.SetZipName(zipPath);
        EXPECT_NO_THROW(lenient.ReadDirectory()) << c.what;
        EXPECT_EQ(lenient.EntryCount(), 2) << c.what;
        EXPECT_TRUE(lenient.TestArchive()) << c.what;
    }
}

TEST_F(ZipRobustnessTest, EndRecordIsLookedForOnlyInTheLast65557Bytes) {
    // An end record further from the end than the longest comment allows is not found.
    std::string bytes = BuildRawZip({{"a.txt", "x"}});
    bytes += std::string(70000, 'z');
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    EXPECT_THROW(r.ReadDirectory(), EZipInvalid);
    // Trailing bytes within reach are tolerated.
    bytes.resize(bytes.size() - 70000 + 100);
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes));
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 1);
}

TEST_F(ZipRobustnessTest, ACommentHoldingTheEndSignatureDoesNotConfuse) {
    std::string comment = "vorher PK\x05\x06";
    comment += std::string(18, '\0');
    comment += " nachher";
    ASSERT_TRUE(tp.WriteFile(zipPath, BuildRawZip({{"a.txt", "x"}}, comment)));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 1);
    EXPECT_EQ(r.Comment(), comment);
}

// A comment whose reading fails is not taken as no comment: ReadComment says so, and the
// next reading finds the comment (a chain of backups is built from these records).
TEST_F(ZipRobustnessTest, ACommentThatCouldNotBeReadIsReadAgain) {
    ASSERT_TRUE(tp.WriteFile(zipPath, BuildRawZip({{"a.txt", "x"}}, "[BackupInfo]")));
    FaultyFiles faulty(tp.files());
    Platform p{tp.registry(), faulty, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    TZipReader r(p);
    r.SetZipName(zipPath);
    r.ReadDirectory();
    const int opens = faulty.Seen(test::FileOp::Open);
    faulty.FailAt(test::FileOp::Open, opens + 1, test::FaultMode::Once);
    EXPECT_THROW(r.ReadComment(), EZipInvalid);
    EXPECT_EQ(r.ReadComment(), "[BackupInfo]");
    EXPECT_EQ(r.Comment(), "[BackupInfo]");
    faulty.FailAt(test::FileOp::Open, faulty.Seen(test::FileOp::Open) + 1, test::FaultMode::Lasting);
    TZipReader fresh(p);
    fresh.SetZipName(zipPath);
    EXPECT_EQ(fresh.Comment(), "");  // the quiet reading: no comment to be had
    EXPECT_THROW(fresh.ReadComment(), EZipInvalid);
}

TEST_F(ZipRobustnessTest, RandomDamageNeverCrashesOrOverflows) {
    // Mutations of a real archive: every operation either works or fails with its error.
    const std::string a = tp.TempDir() + "a.txt", b = tp.TempDir() + "b.bin";
    tp.WriteFile(a, MailText(20000, 2));
    tp.WriteFile(b, NoiseBytes(5000, 3));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("pw");
    w.FilesList() = {a, b};
    ASSERT_EQ(w.AddFiles(), 2);
    const std::string good = tp.ReadFile(zipPath);
    uint32_t x = 12345;
    auto next = [&] { return x = x * 1103515245u + 12345u; };
    const std::string bad = tp.TempDir() + "bad.zip";
    for (int round = 0; round < 150; ++round) {
        std::string bytes = good;
        const int flips = 1 + static_cast<int>(next() % 6);
        for (int i = 0; i < flips; ++i) {
            const size_t at = next() % bytes.size();
            // Hit the directory and the end record more often than the data.
            const size_t pos = (next() % 3 == 0) ? at : bytes.size() - 1 - (at % 200);
            bytes[pos] = static_cast<char>(next() >> 16);
        }
        if (round % 10 == 0) bytes.resize(next() % bytes.size());
        ASSERT_TRUE(tp.WriteFile(bad, bytes));
        TZipReader r(tp.platform());
        r.SetIncompleteZipMode(round % 2 ? TIncompleteZipMode::izAssumeBad
                                         : TIncompleteZipMode::izAssumeMulti);
        r.SetZipName(bad);
        r.SetPassword("pw");
        const std::string dest = out + std::to_string(round) + "\\";
        r.SetDestDir(dest);
        r.SetDoAll(true);
        r.SetRecreateDirs(true);
        r.SetOverwriteMode(TOverwriteMode::Always);
        try {
            r.ReadDirectory();
            r.TestArchive();
            r.SetDoAll(true);
            r.ExtractMatching();
            (void)r.Comment();
        } catch (const EZipError&) {
        }
        for (int i = 0; i < r.EntryCount(); ++i) {
            const std::string target = dest + r.EntryPath(i) + r.EntryName(i);
            if (r.EntryName(i).empty() || !FileExists(tp.files(), target)) continue;
            EXPECT_LE(tp.ReadFile(target).size(), r.EntrySize(i));
        }
        EXPECT_TRUE(TempLeftovers(tp.files(), dest).empty());
    }
}

TEST_F(ZipRobustnessTest, Zip64RecordsWithLoweredLimits) {
    LoweredZip64Limits limits(3000, 3);
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) {
        const std::string path = tp.TempDir() + "f" + std::to_string(i) + ".txt";
        ASSERT_TRUE(tp.WriteFile(path, i % 2 ? NoiseBytes(5000, i) : MailText(8000, i)));
        files.push_back(path);
    }
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetComment("Zip64");
    w.FilesList() = files;
    ASSERT_EQ(w.AddFiles(), 5);
    const std::string bytes = tp.ReadFile(zipPath);
    EXPECT_NE(bytes.find(std::string("PK\x06\x06", 4)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("PK\x06\x07", 4)), std::string::npos);
    // Stored with the field maxima restored, so the reader cannot lean on the lowered limits.
    zip::CurrentLimits() = zip::Limits();
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.ReadDirectory();
    ASSERT_EQ(r.EntryCount(), 5);
    EXPECT_EQ(r.EntryHeader(4).versionNeeded, 45);
    EXPECT_GT(r.EntryHeader(4).localHeaderOffset, 3000u);
    EXPECT_EQ(r.Comment(), "Zip64");
    EXPECT_TRUE(r.TestArchive());
    r.SetDestDir(out);
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tp.ReadFile(out + "f" + std::to_string(i) + ".txt"), tp.ReadFile(files[i]));
    // Adding to a Zip64 archive copies the entries with their Zip64 fields.
    zip::CurrentLimits().max32 = 3000;
    zip::CurrentLimits().max16 = 3;
    const std::string more = tp.TempDir() + "mehr.txt";
    tp.WriteFile(more, MailText(4000, 9));
    TZipWriter w2(tp.platform());
    w2.SetZipName(zipPath);
    w2.SetPassword("pw");
    w2.FilesList() = {more};
    ASSERT_EQ(w2.AddFiles(), 1);
    zip::CurrentLimits() = zip::Limits();
    TZipReader r2(tp.platform());
    r2.SetZipName(zipPath);
    r2.SetPassword("pw");
    EXPECT_TRUE(r2.TestArchive());
    EXPECT_EQ(r2.EntryCount(), 6);
    // The local headers carry Zip64 sizes too, so a rescan reads them.
    std::string damaged = tp.ReadFile(zipPath);
    damaged.resize(damaged.rfind(std::string("PK\x01\x02", 4)));
    tp.WriteFile(zipPath, damaged);
    TZipReader r3(tp.platform());
    r3.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    r3.SetZipName(zipPath);
    r3.SetPassword("pw");
    r3.ReadDirectory();
    EXPECT_EQ(r3.EntryCount(), 6);
    EXPECT_TRUE(r3.TestArchive());
}

TEST_F(ZipRobustnessTest, DataDescriptorEntriesFromAStreamingWriter) {
    // Bit 3 with sizes after the data (signature and 32-bit sizes), as streaming writers do.
    using namespace zip;
    const std::string data = "gestreamte Daten";
    Bytes b;
    Append32(b, kLocalHeaderSig);
    Append16(b, 20);
    Append16(b, kFlagDescriptor);
    Append16(b, 0);
    Append32(b, 0);
    Append32(b, 0);
    Append32(b, 0);
    Append32(b, 0);
    Append16(b, 5);
    Append16(b, 0);
    AppendText(b, "s.txt");
    AppendText(b, data);
    Append32(b, kDataDescriptorSig);
    Append32(b, Crc(data));
    Append32(b, static_cast<uint32_t>(data.size()));
    Append32(b, static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(tp.WriteFile(zipPath, std::string(b.begin(), b.end())));  // no directory at all
    TZipReader r(tp.platform());
    r.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    r.SetZipName(zipPath);
    r.ReadDirectory();
    ASSERT_EQ(r.EntryCount(), 1);
    EXPECT_EQ(r.EntrySize(0), data.size());
    EXPECT_TRUE(r.TestArchive());
    // Adding to it rewrites the archive with a directory.
    const std::string more = tp.TempDir() + "m.txt";
    tp.WriteFile(more, "mehr");
    TZipWriter w(tp.platform());
    w.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    w.SetZipName(zipPath);
    w.FilesList() = {more};
    ASSERT_EQ(w.AddFiles(), 1);
    TZipReader strict(tp.platform());
    strict.SetZipName(zipPath);
    EXPECT_TRUE(strict.TestArchive());
    EXPECT_EQ(strict.EntryCount(), 2);
}

TEST_F(ZipRobustnessTest, UnknownCompressionMethod) {
    RawEntry e{"bzip.txt", "xyz"};
    e.method = 12;
    ASSERT_TRUE(tp.WriteFile(zipPath, BuildRawZip({e})));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    try {
        r.TestEntry(0);
        FAIL();
    } catch (const EZipUnknownMethod& ex) {
        EXPECT_STREQ(ex.what(), "Unknown Compression Method");
        EXPECT_STREQ(ex.Caption(), "Zip Error");
    }
    r.SetDestDir(out);
    r.SetDoAll(true);
    EXPECT_THROW(r.ExtractMatching(), EZipUnknownMethod);
    EXPECT_FALSE(FileExists(tp.files(), out + "bzip.txt"));
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
}

// --- injected failures ---

class ZipFaultTest : public ZipRobustnessTest {
protected:
    // A platform like the test platform's, with the decorated Files.
    Platform With(FaultyFiles& f) {
        return Platform{tp.registry(), f, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    }

    void MakeOldArchive() {
        for (int i = 0; i < 3; ++i) {
            const std::string p = tp.TempDir() + "alt" + std::to_string(i) + ".txt";
            tp.WriteFile(p, MailText(300000 + i, i));
            SetLocalTime(tp, p, 2020, 1, 1);
            oldFiles.push_back(p);
        }
        TZipWriter w(tp.platform());
        w.SetZipName(zipPath);
        w.SetPassword("pw");
        w.SetComment("alt");
        w.FilesList() = oldFiles;
        ASSERT_EQ(w.AddFiles(), 3);
        // One file newer (replaces its entry) and two new ones.
        tp.WriteFile(oldFiles[1], MailText(200000, 77));
        SetLocalTime(tp, oldFiles[1], 2022, 1, 1);
        for (int i = 0; i < 2; ++i) {
            const std::string p = tp.TempDir() + "neu" + std::to_string(i) + ".bin";
            tp.WriteFile(p, NoiseBytes(400000, 50 + i));
            newFiles.push_back(p);
        }
        oldBytes = tp.ReadFile(zipPath);
    }

    // One rebuild through the decorated Files; true when it completed.
    bool Rebuild(FaultyFiles& faulty, bool& threw) {
        Platform p = With(faulty);
        TZipWriter w(p);
        w.SetZipName(zipPath);
        w.SetPassword("pw");
        w.SetComment("neu");
        w.FilesList() = {oldFiles[1], newFiles[0], newFiles[1]};
        threw = false;
        int added = 0;
        try {
            added = w.AddFiles();
        } catch (const EZipError&) {
            threw = true;
        }
        return added == 3;
    }

    void ExpectOldArchiveIntact(const std::string& what) {
        EXPECT_EQ(tp.ReadFile(zipPath), oldBytes) << what;
        EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty()) << what;
    }

    // A failure where the run can go on without the file (a source that cannot be read) may
    // complete with fewer files; then the new archive must be whole. Either way no temporary
    // file remains. Puts the old archive back for the next round.
    void ExpectIntactOrComplete(const std::string& what) {
        const std::string now = tp.ReadFile(zipPath);
        if (now != oldBytes) {
            TZipReader r(tp.platform());
            r.SetZipName(zipPath);
            r.SetPassword("pw");
            EXPECT_TRUE(r.TestArchive()) << what;
            // Old entries are never lost on the way.
            std::vector<std::string> names;
            for (int i = 0; i < r.EntryCount(); ++i) names.push_back(r.EntryName(i));
            for (const char* n : {"alt0.txt", "alt1.txt", "alt2.txt"})
                EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << what << n;
        }
        EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty()) << what;
        ASSERT_TRUE(tp.WriteFile(zipPath, oldBytes));
    }

    void ExpectNewArchive() {
        TZipReader r(tp.platform());
        r.SetZipName(zipPath);
        r.SetPassword("pw");
        EXPECT_EQ(r.EntryCount(), 0);
        EXPECT_TRUE(r.TestArchive());
        EXPECT_EQ(r.EntryCount(), 5);
        EXPECT_EQ(r.Comment(), "neu");
        EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
    }

    std::vector<std::string> oldFiles, newFiles;
    std::string oldBytes;
};

TEST_F(ZipFaultTest, AFailedWriteAnywhereInARebuildLeavesTheOldArchive) {
    MakeOldArchive();
    // Count the writes of a clean run first, on a copy.
    int total = 0;
    {
        FaultyFiles counting(tp.files());
        bool threw = false;
        ASSERT_TRUE(Rebuild(counting, threw));
        total = counting.writes;
        ASSERT_TRUE(tp.WriteFile(zipPath, oldBytes));
    }
    ASSERT_GT(total, 10);
    for (int n = 1; n <= total; ++n) {
        FaultyFiles faulty(tp.files());
        faulty.failWriteAt = n;
        bool threw = false;
        EXPECT_FALSE(Rebuild(faulty, threw)) << "write " << n;
        EXPECT_EQ(faulty.failures, 1) << "write " << n;
        EXPECT_FALSE(threw) << "a write failure is reported by result";
        ExpectOldArchiveIntact("write " + std::to_string(n));
    }
    FaultyFiles clean(tp.files());
    bool threw = false;
    EXPECT_TRUE(Rebuild(clean, threw));
    ExpectNewArchive();
}

TEST_F(ZipFaultTest, FailedOpenSeekCloseOrMoveLeavesTheOldArchive) {
    MakeOldArchive();
    int opens = 0, seeks = 0;
    {
        FaultyFiles counting(tp.files());
        bool threw = false;
        ASSERT_TRUE(Rebuild(counting, threw));
        opens = counting.writeOpens;
        seeks = counting.seeks;
        ASSERT_EQ(counting.moves, 1);
        ASSERT_TRUE(tp.WriteFile(zipPath, oldBytes));
    }
    for (int n = 1; n <= opens; ++n) {
        FaultyFiles f(tp.files());
        f.failOpenWriteAt = n;
        bool threw = false;
        EXPECT_FALSE(Rebuild(f, threw));
        ExpectOldArchiveIntact("open " + std::to_string(n));
    }
    for (int n = 1; n <= seeks; ++n) {
        FaultyFiles f(tp.files());
        f.failSeekAt = n;
        bool threw = false;
        // Some seeks are harmless (reading the new directory after the archive is in place).
        Rebuild(f, threw);
        ExpectIntactOrComplete("seek " + std::to_string(n));
    }
    for (int n = 1; n <= 4; ++n) {
        FaultyFiles f(tp.files());
        f.failCloseAt = n;
        bool threw = false;
        Rebuild(f, threw);
        ExpectIntactOrComplete("close " + std::to_string(n));
    }
    {
        FaultyFiles f(tp.files());
        f.failMoveAt = 1;
        bool threw = false;
        EXPECT_FALSE(Rebuild(f, threw));
        ExpectOldArchiveIntact("move");
    }
}

TEST_F(ZipFaultTest, AbortAtEveryMessagePointLeavesTheOldArchive) {
    MakeOldArchive();
    int points = 0;
    {
        FaultyFiles counting(tp.files());
        tp.pump().calls = 0;
        bool threw = false;
        ASSERT_TRUE(Rebuild(counting, threw));
        points = tp.pump().calls;
        ASSERT_TRUE(tp.WriteFile(zipPath, oldBytes));
    }
    ASSERT_GT(points, 5);
    for (int n = 1; n <= points; n += std::max(1, points / 40)) {
        FaultyFiles f(tp.files());
        Platform p = With(f);
        TZipWriter w(p);
        int calls = 0;
        tp.pump().onProcess = [&] {
            if (++calls == n) w.AbortOperation();
        };
        w.SetZipName(zipPath);
        w.SetPassword("pw");
        w.FilesList() = {oldFiles[1], newFiles[0], newFiles[1]};
        bool aborted = false;
        try {
            w.AddFiles();
        } catch (const EZipAborted&) {
            aborted = true;
        }
        tp.pump().onProcess = nullptr;
        if (aborted) {
            ExpectOldArchiveIntact("abort at " + std::to_string(n));
        } else {
            ASSERT_TRUE(tp.WriteFile(zipPath, oldBytes));  // past the last check: completed
        }
    }
}

TEST_F(ZipFaultTest, NewArchiveFailureLeavesNoFile) {
    const std::string a = tp.TempDir() + "a.txt";
    tp.WriteFile(a, MailText(100000, 1));
    for (int n = 1; n <= 6; ++n) {
        FaultyFiles f(tp.files());
        f.failWriteAt = n;
        Platform p = With(f);
        TZipWriter w(p);
        w.SetZipName(zipPath);
        w.FilesList() = {a};
        if (w.AddFiles() != 0) break;  // past the last write
        EXPECT_FALSE(FileExists(tp.files(), zipPath));
        EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
    }
}

TEST_F(ZipFaultTest, CommentRewriteFailureKeepsTheCommentPending) {
    MakeOldArchive();
    FaultyFiles f(tp.files());
    f.failMoveAt = 1;
    Platform p = With(f);
    TZipWriter w(p);
    w.SetZipName(zipPath);
    w.SetComment("neuer Kommentar");
    w.WriteChangedComment();
    EXPECT_TRUE(w.CommentChanged());
    ExpectOldArchiveIntact("comment");
    f.failMoveAt = 0;
    w.WriteChangedComment();
    EXPECT_FALSE(w.CommentChanged());
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    EXPECT_EQ(r.Comment(), "neuer Kommentar");
}

TEST_F(ZipFaultTest, AFailedWriteDuringExtractionKeepsTheTarget) {
    const std::string a = tp.TempDir() + "Inbox.dbx";
    tp.WriteFile(a, MailText(900000, 3));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.FilesList() = {a};
    ASSERT_EQ(w.AddFiles(), 1);
    ForceDirectories(tp.files(), out);
    tp.WriteFile(out + "Inbox.dbx", "alt");
    for (int n = 1; n <= 4; ++n) {
        FaultyFiles f(tp.files());
        f.failWriteAt = n;
        Platform p = With(f);
        TZipReader r(p);
        r.SetZipName(zipPath);
        r.SetDestDir(out);
        r.SetOverwriteMode(TOverwriteMode::Always);
        r.SetDoAll(true);
        EXPECT_EQ(r.ExtractMatching(), 0);
        EXPECT_EQ(tp.ReadFile(out + "Inbox.dbx"), "alt");
        EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
    }
    FaultyFiles f(tp.files());
    f.failMoveAt = 1;
    Platform p = With(f);
    TZipReader r(p);
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetOverwriteMode(TOverwriteMode::Always);
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_EQ(tp.ReadFile(out + "Inbox.dbx"), "alt");
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
}

TEST_F(ZipFaultTest, LockedFileAskedForRetry) {
    const std::string a = tp.TempDir() + "a.txt";
    tp.WriteFile(a, "gesperrt");
    FaultyFiles f(tp.files());
    Platform p = With(f);
    TZipWriter w(p);
    w.SetZipName(zipPath);
    std::vector<int> reasons;
    int retries = 1;
    w.OnSkippingFile = [&](TZipWriter&, int reason, const std::string& name, int, bool& retry) {
        reasons.push_back(reason);
        EXPECT_EQ(name, a);
        retry = retries-- > 0;
    };
    // The first two opens of the file fail: one retry is granted, then the file is left out.
    f.failOpenAt = 1;
    w.FilesList() = {a};
    // Opens: 1 fails (retry), 2 succeeds.
    EXPECT_EQ(w.AddFiles(), 1);
    EXPECT_EQ(reasons, std::vector<int>{2});
    TZipWriter w2(p);
    w2.SetZipName(tp.TempDir() + "b.zip");
    reasons.clear();
    retries = 0;
    w2.OnSkippingFile = w.OnSkippingFile;
    f.opens = 0;
    f.failOpenAt = 1;
    w2.FilesList() = {a};
    EXPECT_EQ(w2.AddFiles(), 0);
    EXPECT_EQ(reasons, std::vector<int>{2});
}

}  // namespace
}  // namespace bv
