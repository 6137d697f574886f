// What a killed writer leaves beside an archive, and how the next rebuild deals with it:
// stale temporary archives go, one still being written stays, an archive set aside by a
// two-step replace comes back. And the new archive reaches the disk before it replaces the
// old one.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "platform/path.h"
#include "tests/support/faulty_files.h"
#include "tests/support/test_platform.h"
#include "tests/unit/zip_test_support.h"

namespace bv {
namespace {

using test::FaultyFiles;
using test::FileOp;
using test::TestPlatform;
using namespace test::ziptest;

// The names in an archive, after a test of every entry (CRC and all) that must pass.
std::set<std::string> TestedNames(Platform& p, const std::string& zip) {
    TZipReader r(p);
    r.SetZipName(zip);
    r.ReadDirectory();
    EXPECT_TRUE(r.TestArchive()) << zip;
    std::set<std::string> names;
    for (int i = 0; i < r.EntryCount(); ++i) names.insert(r.EntryPath(i) + r.EntryName(i));
    return names;
}

bool Exists(Files& files, const std::string& path) { return files.GetAttributes(path) != FileAttr::Invalid; }

class ZipLeftoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tp.TempDir() + "Sicherung\\";
        ASSERT_TRUE(tp.files().CreateDirectory(dir));
        zip = dir + "Backup.bvq";
        oldFile = tp.TempDir() + "alt.txt";
        newFile = tp.TempDir() + "neu.txt";
        ASSERT_TRUE(tp.WriteFile(oldFile, MailText(40000, 1)));
        ASSERT_TRUE(tp.WriteFile(newFile, MailText(30000, 2)));
    }
    // An archive holding alt.txt.
    void WriteOldArchive() {
        TZipWriter w(tp.platform());
        w.SetZipName(zip);
        w.FilesList() = {oldFile};
        ASSERT_EQ(w.AddFiles(), 1);
    }
    int AddNewFile(Platform& p) {
        TZipWriter w(p);
        w.SetZipName(zip);
        w.FilesList() = {newFile};
        return w.AddFiles();
    }

    TestPlatform tp;
    std::string dir, zip, oldFile, newFile;
};

TEST_F(ZipLeftoverTest, TheNextRebuildClearsWhatAKilledRunLeft) {
    struct Case {
        const char* name;
        bool archiveBefore;  // the old archive under its own name when the rebuild starts
        // Puts the leftovers in place; may keep a stream open for the length of the rebuild.
        std::function<void(std::unique_ptr<FileStream>& held)> leave;
        std::vector<std::string> goneAfter;  // names in the folder that must be gone
        std::vector<std::string> keptAfter;  // names that must still be there
    };
    const std::string stale = "~bz0A1B2C.tmp", stale2 = "~bzFFFFFF.tmp";
    const std::vector<Case> cases = {
        {"stale temporary archives are removed", true,
         [&](std::unique_ptr<FileStream>&) {
             ASSERT_TRUE(tp.WriteFile(dir + stale, NoiseBytes(5000, 7)));
             ASSERT_TRUE(tp.WriteFile(dir + stale2, ""));
         },
         {stale, stale2}, {}},
        {"a temporary archive another writer holds open stays", true,
         [&](std::unique_ptr<FileStream>& held) {
             held = tp.files().Open(dir + stale, OpenMode::CreateNew);
             ASSERT_TRUE(held);
             ASSERT_TRUE(held->Write("PK", 2));
         },
         {}, {stale}},
        {"files that only look alike are not ours", true,
         [&](std::unique_ptr<FileStream>&) {
             ASSERT_TRUE(tp.WriteFile(dir + "~bzNotiz.tmp", "eigene Datei"));
             ASSERT_TRUE(tp.WriteFile(dir + "~bz0A1B2C.tmp.txt", "eigene Datei"));
             ASSERT_TRUE(tp.WriteFile(dir + "~bz0A1B2.tmp", "eigene Datei"));
         },
         {}, {"~bzNotiz.tmp", "~bz0A1B2C.tmp.txt", "~bz0A1B2.tmp"}},
        {"an archive set aside is put back when the archive is missing", false,
         [&](std::unique_ptr<FileStream>&) {
             ASSERT_TRUE(tp.files().MoveFile(zip, zip + ".~bv", false));
             ASSERT_TRUE(tp.WriteFile(dir + stale, NoiseBytes(3000, 8)));
         },
         {"Backup.bvq.~bv", stale}, {}},
        {"an archive set aside beside the archive is removed", true,
         [&](std::unique_ptr<FileStream>&) {
             // The replace was done: the set-aside copy is the older archive.
             ASSERT_TRUE(tp.files().CopyFile(zip, zip + ".~bv", true));
         },
         {"Backup.bvq.~bv"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FindEntry> present = tp.files().Find(dir + "*");
        for (const FindEntry& e : present) ASSERT_TRUE(tp.files().DeleteFile(dir + e.name)) << e.name;
        WriteOldArchive();
        std::unique_ptr<FileStream> held;
        c.leave(held);
        if (HasFatalFailure()) return;
        ASSERT_EQ(Exists(tp.files(), zip), c.archiveBefore);

        ASSERT_EQ(AddNewFile(tp.platform()), 1);
        EXPECT_EQ(TestedNames(tp.platform(), zip), (std::set<std::string>{"alt.txt", "neu.txt"}));
        for (const std::string& name : c.goneAfter) EXPECT_FALSE(Exists(tp.files(), dir + name)) << name;
        for (const std::string& name : c.keptAfter) EXPECT_TRUE(Exists(tp.files(), dir + name)) << name;
        // Nothing of this run's own stays behind.
        for (const std::string& name : FilesStartingWith(tp.files(), dir, "~bz"))
            EXPECT_TRUE(std::find(c.keptAfter.begin(), c.keptAfter.end(), name) != c.keptAfter.end()) << name;
        if (held) {
            EXPECT_TRUE(held->Close());
            held.reset();
            // Once closed, it is as stale as any: the next rebuild takes it.
            TZipWriter w(tp.platform());
            w.SetZipName(zip);
            w.SetComment("neu");
            w.WriteChangedComment();
            EXPECT_FALSE(w.CommentChanged());
            EXPECT_TRUE(FilesStartingWith(tp.files(), dir, "~bz").empty());
        }
    }
}

TEST_F(ZipLeftoverTest, TheNewArchiveIsFlushedBeforeItReplacesTheOld) {
    WriteOldArchive();
    FaultyFiles counting(tp.files());
    Platform p{tp.registry(), counting, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
    ASSERT_EQ(AddNewFile(p), 1);
    EXPECT_EQ(counting.Seen(FileOp::Flush), 1);
    EXPECT_EQ(TestedNames(tp.platform(), zip), (std::set<std::string>{"alt.txt", "neu.txt"}));
}

TEST_F(ZipLeftoverTest, AFailingFlushKeepsTheOldArchive) {
    struct Case {
        const char* name;
        bool comment;  // the rebuild writes a changed comment instead of adding a file
    };
    for (const Case& c : {Case{"adding a file", false}, Case{"writing the comment", true}}) {
        SCOPED_TRACE(c.name);
        WriteOldArchive();
        const std::string before = tp.ReadFile(zip);
        ASSERT_FALSE(before.empty());
        FaultyFiles faulty(tp.files());
        faulty.FailAt(FileOp::Flush, 1, test::FaultMode::Once);
        Platform p{tp.registry(), faulty, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        TZipWriter w(p);
        w.SetZipName(zip);
        if (c.comment) {
            w.SetComment("geändert");
            w.WriteChangedComment();
            EXPECT_TRUE(w.CommentChanged());  // not written: it stays to be written
        } else {
            w.FilesList() = {newFile};
            EXPECT_EQ(w.AddFiles(), 0);
        }
        EXPECT_EQ(faulty.Failed(FileOp::Flush), 1);
        EXPECT_EQ(faulty.Seen(FileOp::Rename), 0) << "replaced without the flush";
        EXPECT_EQ(tp.ReadFile(zip), before);
        EXPECT_TRUE(FilesStartingWith(tp.files(), dir, "~bz").empty());
        ASSERT_TRUE(tp.files().DeleteFile(zip));
    }
}

}  // namespace
}  // namespace bv
