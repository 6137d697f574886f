// TZipWriter and TZipReader against the test platform: adding, reading, testing, extracting,
// the comment, the update rules and the events.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "brevisto/archive/zip_format.h"
#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"
#include "tests/unit/zip_test_support.h"

namespace bv {
namespace {

using test::TestPlatform;
using namespace test::ziptest;

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = tp.TempDir() + "Quelle\\";
        out = tp.TempDir() + "Ziel\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), src));
        zipPath = tp.TempDir() + "Sicherung.bvq";
    }

    std::string Put(const std::string& name, const std::string& content) {
        const std::string path = src + name;
        ForceDirectories(tp.files(), ExtractFilePath(path));
        EXPECT_TRUE(tp.WriteFile(path, content));
        return path;
    }

    int Add(TZipWriter& w, const std::vector<std::string>& files) {
        w.FilesList() = files;
        return w.AddFiles();
    }

    std::string Bytes(const std::string& path) { return tp.ReadFile(path); }

    TestPlatform tp;
    std::string src, out, zipPath;
};

TEST_F(ZipArchiveTest, AddReadTestExtractRoundTrip) {
    const std::string text = MailText(300000, 1), noise = NoiseBytes(70000, 2);
    const std::string a = Put("Inbox.dbx", text), b = Put("noise.bin", noise), c = Put("leer.txt", "");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPackLevel(5);
    EXPECT_EQ(Add(w, {a, b, c}), 3);
    EXPECT_TRUE(w.FilesList().empty());
    ASSERT_EQ(w.EntryCount(), 3);
    EXPECT_EQ(w.EntryName(0), "Inbox.dbx");
    EXPECT_EQ(w.EntryPath(0), "");
    EXPECT_EQ(w.EntrySize(0), text.size());
    EXPECT_EQ(w.EntrySize(2), 0u);
    EXPECT_FALSE(w.EntryEncrypted(1));
    EXPECT_LT(w.ArchiveFileSize(), text.size() / 2 + noise.size() + 2000);

    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 3);
    EXPECT_TRUE(r.TestArchive());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.EntryTestState(i), 1);
    r.SetDestDir(out);
    EXPECT_EQ(r.DestDir(), out.substr(0, out.size() - 1));
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 3);
    EXPECT_EQ(Bytes(out + "Inbox.dbx"), text);
    EXPECT_EQ(Bytes(out + "noise.bin"), noise);
    EXPECT_EQ(Bytes(out + "leer.txt"), "");
    // The entry's DOS time goes onto the extracted file.
    FileTime orig = 0, copy = 0;
    ASSERT_TRUE(tp.files().GetTimes(a, nullptr, &orig));
    ASSERT_TRUE(tp.files().GetTimes(out + "Inbox.dbx", nullptr, &copy));
    EXPECT_EQ(zip::FileTimeToDos(tp.system(), orig), zip::FileTimeToDos(tp.system(), copy));
    EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
}

TEST_F(ZipArchiveTest, PackLevelsSetMethodAndFlags) {
    const std::string a = Put("a.txt", MailText(50000, 3));
    std::map<int, std::pair<uint16_t, uint16_t>> want = {
        {0, {0, 0}}, {1, {8, 4}}, {2, {8, 4}}, {5, {8, 0}}, {8, {8, 2}}, {9, {8, 2}}};
    for (const auto& [level, mf] : want) {
        const std::string zp = tp.TempDir() + "l" + std::to_string(level) + ".zip";
        TZipWriter w(tp.platform());
        w.SetZipName(zp);
        w.SetPackLevel(level);
        ASSERT_EQ(Add(w, {a}), 1);
        EXPECT_EQ(w.EntryHeader(0).method, mf.first) << level;
        EXPECT_EQ(w.EntryHeader(0).flags & 0x0F, mf.second) << level;
        EXPECT_EQ(w.EntryHeader(0).flags & 0x08, 0) << "no data descriptor";
        EXPECT_TRUE(w.TestArchive()) << level;
    }
}

TEST_F(ZipArchiveTest, EncryptedEntriesNeedThePassword) {
    const std::string text = MailText(120000, 4);
    const std::string a = Put("Posteingang.dbx", text), b = Put("klein.txt", "x");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("Geheim!");
    ASSERT_EQ(Add(w, {a, b}), 2);
    EXPECT_TRUE(w.EntryEncrypted(0));
    EXPECT_EQ(w.EntryHeader(0).flags & 1, 1);
    EXPECT_TRUE(w.TestArchive());

    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    int asked = 0;
    r.OnBadPassword = [&](TZipReader&, int index, std::string& pw) {
        ++asked;
        EXPECT_EQ(index, 0);
        EXPECT_EQ(pw, "falsch");  // preset to the current password
    };
    r.SetPassword("falsch");
    r.ReadDirectory();
    EXPECT_FALSE(r.TestEntry(0));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(r.EntryTestState(0), 2);
    // A bad state is remembered until ForgetTest.
    r.SetPassword("Geheim!");
    EXPECT_FALSE(r.TestEntry(0));
    EXPECT_EQ(asked, 1);
    r.ForgetTest(0);
    EXPECT_TRUE(r.TestEntry(0));
    EXPECT_EQ(r.EntryTestState(0), 1);
    EXPECT_EQ(asked, 1);

    // A handler that offers the right password makes it current.
    TZipReader r2(tp.platform());
    r2.SetZipName(zipPath);
    r2.SetDestDir(out);
    r2.SetDoAll(true);
    int offers = 0;
    r2.OnBadPassword = [&](TZipReader&, int, std::string& pw) {
        ++offers;
        pw = "Geheim!";
    };
    EXPECT_EQ(r2.ExtractMatching(), 2);
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(r2.Password(), "Geheim!");
    EXPECT_EQ(Bytes(out + "Posteingang.dbx"), text);
}

TEST_F(ZipArchiveTest, PasswordRetriesAreBounded) {
    const std::string a = Put("a.txt", "Inhalt");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("richtig");
    ASSERT_EQ(Add(w, {a}), 1);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    int offers = 0;
    r.OnBadPassword = [&](TZipReader&, int, std::string& pw) { pw = "falsch" + std::to_string(++offers); };
    EXPECT_FALSE(r.TestEntry(0));
    EXPECT_GT(offers, 0);
    EXPECT_LE(offers, 16);
    r.SetDestDir(out);
    r.SetDoAll(true);
    offers = 0;
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_LE(offers, 16);
    EXPECT_FALSE(FileExists(tp.files(), out + "a.txt"));
}

TEST_F(ZipArchiveTest, WrongPasswordOrBadDataNeverTouchesAnExistingTarget) {
    const std::string a = Put("Inbox.dbx", MailText(200000, 5));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("pw");
    ASSERT_EQ(Add(w, {a}), 1);
    ForceDirectories(tp.files(), out);
    ASSERT_TRUE(tp.WriteFile(out + "Inbox.dbx", "alte Daten"));

    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetOverwriteMode(TOverwriteMode::Always);
    r.SetPassword("nicht");
    r.FilesList() = {"*.dbx"};
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_EQ(Bytes(out + "Inbox.dbx"), "alte Daten");
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());

    // Damage the data in the middle: the CRC check fails and the old file stays.
    std::string zipBytes = Bytes(zipPath);
    zipBytes[zipBytes.size() / 2] ^= 0x55;
    ASSERT_TRUE(tp.WriteFile(zipPath, zipBytes));
    r.SetPassword("pw");
    r.FilesList() = {"*.dbx"};
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_EQ(Bytes(out + "Inbox.dbx"), "alte Daten");
    EXPECT_TRUE(TempLeftovers(tp.files(), out).empty());
    r.ForgetTest(0);
    EXPECT_FALSE(r.TestEntry(0));
}

TEST_F(ZipArchiveTest, OverwriteModes) {
    const std::string a = Put("a.txt", "neu");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a}), 1);
    ForceDirectories(tp.files(), out);
    ASSERT_TRUE(tp.WriteFile(out + "a.txt", "alt"));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 0);  // Prompt without a handler keeps the file
    EXPECT_EQ(Bytes(out + "a.txt"), "alt");
    r.SetDoAll(true);
    r.OnPromptForOverwrite = [](TZipReader&, int, const std::string&, bool& ow) { ow = true; };
    EXPECT_EQ(r.ExtractMatching(), 1);
    EXPECT_EQ(Bytes(out + "a.txt"), "neu");
    r.OnPromptForOverwrite = nullptr;
    r.SetOverwriteMode(TOverwriteMode::Never);
    ASSERT_TRUE(tp.WriteFile(out + "a.txt", "alt"));
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_EQ(Bytes(out + "a.txt"), "alt");
    // A read-only target cannot be replaced, even with Always.
    r.SetOverwriteMode(TOverwriteMode::Always);
    ASSERT_TRUE(tp.files().SetAttributes(out + "a.txt", FileAttr::ReadOnly));
    EXPECT_EQ(r.ExtractMatching(), 0);
    EXPECT_EQ(Bytes(out + "a.txt"), "alt");
    EXPECT_TRUE(tp.files().SetAttributes(out + "a.txt", FileAttr::Normal));
    EXPECT_EQ(r.ExtractMatching(), 1);
    EXPECT_EQ(Bytes(out + "a.txt"), "neu");
}

TEST_F(ZipArchiveTest, CommentOf65535BytesIsStoredAndReadWhole) {
    const std::string a = Put("a.txt", "x");
    std::string comment = MailText(70000, 6);
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetComment(comment);
    EXPECT_TRUE(w.CommentChanged());
    EXPECT_EQ(w.Comment().size(), 65535u);  // the field holds at most this much
    comment.resize(65535);
    ASSERT_EQ(Add(w, {a}), 1);
    EXPECT_FALSE(w.CommentChanged());
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    EXPECT_TRUE(r.HasComment());
    EXPECT_EQ(r.Comment(), comment);
    EXPECT_TRUE(r.TestArchive());

    // WriteChangedComment rebuilds with the entries unchanged.
    TZipWriter w2(tp.platform());
    w2.SetZipName(zipPath);
    w2.ReadDirectory();
    const TZipHeader before = w2.EntryHeader(0);
    w2.SetComment(comment);  // same text: no change
    EXPECT_FALSE(w2.CommentChanged());
    w2.SetComment("VollBackup");
    EXPECT_TRUE(w2.CommentChanged());
    w2.WriteChangedComment();
    EXPECT_FALSE(w2.CommentChanged());
    EXPECT_EQ(w2.Comment(), "VollBackup");
    ASSERT_EQ(w2.EntryCount(), 1);
    EXPECT_EQ(w2.EntryHeader(0).crc32, before.crc32);
    EXPECT_EQ(w2.EntryHeader(0).dosDateTime, before.dosDateTime);
    TZipReader r2(tp.platform());
    r2.SetZipName(zipPath);
    EXPECT_EQ(r2.Comment(), "VollBackup");
    EXPECT_TRUE(r2.TestArchive());
    EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
}

TEST_F(ZipArchiveTest, ChangingZipNameDropsDirectoryButNotForOtherCase) {
    const std::string a = Put("a.txt", "x"), b = Put("b.txt", "y");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a, b}), 2);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.ReadDirectory();
    r.SetEntrySelected(1, true);
    r.SetComment("geändert");
    r.SetZipName(AnsiUpperCase(zipPath));
    EXPECT_EQ(r.EntryCount(), 2);
    EXPECT_TRUE(r.EntrySelected(1));
    EXPECT_TRUE(r.CommentChanged());
    r.ReadDirectory();  // unchanged file: the loaded directory with its marks stays
    EXPECT_TRUE(r.EntrySelected(1));
    r.SetZipName(tp.TempDir() + "andere.zip");
    EXPECT_EQ(r.EntryCount(), 0);
    EXPECT_FALSE(r.CommentChanged());
}

TEST_F(ZipArchiveTest, ModifiedArchiveIsReadAgain) {
    const std::string a = Put("a.txt", "x");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a}), 1);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.ReadDirectory();
    r.SetEntrySelected(0, true);
    ASSERT_EQ(Add(w, {Put("b.txt", "y")}), 1);
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 2);
    EXPECT_FALSE(r.EntrySelected(0));
}

TEST_F(ZipArchiveTest, DbxPatternMatchesWhateverTheDirectoryPart) {
    Put("Inbox.DBX", "1");
    Put("Unter\\Outbox.dbx", "2");
    Put("Unter\\notiz.txt", "3");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetRootDir(src);
    w.SetRelativePaths(true);
    w.SetRecurse(true);
    EXPECT_EQ(Add(w, {"*.*"}), 3);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.FilesList() = {"*.dbx"};
    EXPECT_EQ(r.ExtractMatching(), 2);
    EXPECT_TRUE(r.FilesList().empty());
    EXPECT_EQ(Bytes(out + "Inbox.DBX"), "1");
    EXPECT_EQ(Bytes(out + "Outbox.dbx"), "2");
    EXPECT_FALSE(FileExists(tp.files(), out + "notiz.txt"));
    // A file name alone does not match an entry stored with a directory part.
    r.SetOverwriteMode(TOverwriteMode::Always);
    r.FilesList() = {"Outbox.dbx"};
    EXPECT_EQ(r.ExtractMatching(), 0);
    r.FilesList() = {"UNTER\\outbox.DBX"};
    EXPECT_EQ(r.ExtractMatching(), 1);
    r.FilesList() = {"unter\\n?tiz.*"};
    EXPECT_EQ(r.ExtractMatching(), 1);
}

TEST_F(ZipArchiveTest, PathsStoredRelativeAndRecreated) {
    Put("a.txt", "A");
    Put("Sub\\b.txt", "B");
    Put("Sub\\Tief\\c.txt", "C");
    ForceDirectories(tp.files(), src + "Leer");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetRootDir(src);
    w.SetRelativePaths(true);
    EXPECT_TRUE(w.StorePaths());
    EXPECT_TRUE(w.Recurse());
    w.SetAddDirEntriesOnRecurse(true);
    EXPECT_EQ(Add(w, {"*.*"}), 6);
    std::vector<std::string> stored;
    for (int i = 0; i < w.EntryCount(); ++i) stored.push_back(w.EntryHeader(i).fileName);
    EXPECT_EQ(stored, (std::vector<std::string>{"a.txt", "Leer/", "Sub/", "Sub/b.txt",
                                                "Sub/Tief/", "Sub/Tief/c.txt"}))
        << "files of a folder first, then each subfolder: its entry, then its content";
    EXPECT_EQ(w.EntryHeader(1).externalAttributes & FileAttr::Directory, FileAttr::Directory);
    EXPECT_EQ(w.EntryName(1), "");
    EXPECT_EQ(w.EntryPath(3), "Sub\\");
    EXPECT_TRUE(w.TestArchive());

    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetDoAll(true);
    r.SetRecreateDirs(true);
    EXPECT_EQ(r.ExtractMatching(), 3);
    EXPECT_EQ(Bytes(out + "Sub\\Tief\\c.txt"), "C");
    EXPECT_TRUE(DirectoryExists(tp.files(), out + "Leer"));
    // RootDir is cut off the stored directory part.
    const std::string out2 = tp.TempDir() + "Ziel2\\";
    r.SetDestDir(out2);
    r.SetRootDir("Sub");
    EXPECT_EQ(r.RootDir(), "Sub\\");
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 3);
    EXPECT_EQ(Bytes(out2 + "Tief\\c.txt"), "C");
    EXPECT_EQ(Bytes(out2 + "b.txt"), "B");
    // Without RecreateDirs everything lands flat and folder entries are passed over.
    const std::string out3 = tp.TempDir() + "Ziel3\\";
    r.SetRecreateDirs(false);
    r.SetDestDir(out3);
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 3);
    EXPECT_EQ(Bytes(out3 + "c.txt"), "C");
}

TEST_F(ZipArchiveTest, SettingsScopeGivesBackTheOptionsItFound) {
    TZipWriter w(tp.platform());
    w.SetPackLevel(3);
    w.SetRootDir(src);
    w.SetSkipIfArchiveBitNotSet(true);
    auto change = [&] {
        w.SetPackLevel(9);
        w.SetRootDir(out);
        w.SetAddDirEntriesOnRecurse(true);
        w.SetRelativePaths(true);  // also stored paths and recursion
        w.SetSkipIfArchiveBitNotSet(false);
        w.SetResetArchiveBitOnZip(true);
    };
    auto expectFound = [&] {
        EXPECT_EQ(w.PackLevel(), 3);
        EXPECT_EQ(w.RootDir(), src);
        EXPECT_FALSE(w.StorePaths());
        EXPECT_FALSE(w.RelativePaths());
        EXPECT_FALSE(w.Recurse());
        EXPECT_FALSE(w.AddDirEntriesOnRecurse());
        EXPECT_TRUE(w.SkipIfArchiveBitNotSet());
        EXPECT_FALSE(w.ResetArchiveBitOnZip());
    };
    {
        TZipWriter::SettingsScope keep(w);
        change();
        EXPECT_TRUE(w.StorePaths());
        EXPECT_TRUE(w.Recurse());
    }
    expectFound();
    try {
        TZipWriter::SettingsScope keep(w);
        change();
        throw EZipAborted();
    } catch (const EZipAborted&) {
    }
    expectFound();

    // Relative paths stay on when the scope began with them, although stored paths switched
    // off alone would clear them.
    w.SetRelativePaths(true);
    {
        TZipWriter::SettingsScope keep(w);
        w.SetStorePaths(false);
        EXPECT_FALSE(w.RelativePaths());
    }
    EXPECT_TRUE(w.StorePaths());
    EXPECT_TRUE(w.RelativePaths());
    EXPECT_TRUE(w.Recurse());
}

TEST_F(ZipArchiveTest, StorePathsWithoutDriveAndOemConversion) {
    const std::string name = "Br\x80ief \xE4.txt";  // the euro sign is missing from OEM 850
    const std::string a = Put("Ordner\\" + name, "x");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetStorePaths(true);
    ASSERT_EQ(Add(w, {a}), 1);
    std::string expect = ExtractFilePath(a).substr(3) + name;  // without "C:\"
    expect = tp.system().OemToAnsi(tp.system().AnsiToOem(expect));
    std::replace(expect.begin(), expect.end(), '\\', '/');
    EXPECT_EQ(w.EntryHeader(0).fileName, expect);
    w.SetRelativePaths(true);
    w.SetStorePaths(false);
    EXPECT_FALSE(w.RelativePaths());
}

TEST_F(ZipArchiveTest, OlderOrSameFileKeepsTheEntryNewerReplacesItInPlace) {
    const std::string a = Put("a.txt", "Version 1"), b = Put("b.txt", "B"), c = Put("c.txt", "C");
    ASSERT_TRUE(SetLocalTime(tp, a, 2020, 5, 1));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a, b}), 2);
    // Same date: the entry stays, the file is not counted.
    ASSERT_TRUE(tp.WriteFile(a, "Version 2"));
    ASSERT_TRUE(SetLocalTime(tp, a, 2020, 5, 1));
    EXPECT_EQ(Add(w, {a}), 0);
    // Older: likewise.
    ASSERT_TRUE(SetLocalTime(tp, a, 2019, 5, 1));
    EXPECT_EQ(Add(w, {a}), 0);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.FilesList() = {"a.txt"};
    EXPECT_EQ(r.ExtractMatching(), 1);
    EXPECT_EQ(Bytes(out + "a.txt"), "Version 1");
    // Newer: replaces the entry at its place; a new file goes to the end.
    ASSERT_TRUE(SetLocalTime(tp, a, 2021, 5, 1));
    EXPECT_EQ(Add(w, {c, a}), 2);
    ASSERT_EQ(w.EntryCount(), 3);
    EXPECT_EQ(w.EntryName(0), "a.txt");
    EXPECT_EQ(w.EntryName(1), "b.txt");
    EXPECT_EQ(w.EntryName(2), "c.txt");
    r.SetOverwriteMode(TOverwriteMode::Always);
    r.FilesList() = {"a.txt"};
    EXPECT_EQ(r.ExtractMatching(), 1);
    EXPECT_EQ(Bytes(out + "a.txt"), "Version 2");
    EXPECT_TRUE(r.TestArchive());
}

TEST_F(ZipArchiveTest, ArchiveBitSkipAndReset) {
    const std::string a = Put("Inbox.dbx", "Mails");
    // Wine never clears the archive attribute: nothing to observe there.
    EXPECT_TRUE(tp.files().SetAttributes(a, FileAttr::Normal));
    if (tp.files().GetAttributes(a) & FileAttr::Archive)
        GTEST_SKIP() << "this system does not clear the archive attribute";
    EXPECT_TRUE(tp.files().SetAttributes(a, FileAttr::Archive));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetSkipIfArchiveBitNotSet(true);
    w.SetResetArchiveBitOnZip(true);
    std::vector<int> reasons;
    w.OnSkippingFile = [&](TZipWriter&, int reason, const std::string& name, int index, bool&) {
        reasons.push_back(reason);
        EXPECT_EQ(name, a);
        EXPECT_EQ(index, -1);
    };
    EXPECT_EQ(Add(w, {a}), 1);
    EXPECT_EQ(tp.files().GetAttributes(a) & FileAttr::Archive, 0u);
    EXPECT_EQ(Add(w, {a}), 0);
    EXPECT_EQ(reasons, std::vector<int>{5});
    // A change sets the attribute again: the file is added anew.
    ASSERT_TRUE(tp.WriteFile(a, "Mehr Mails"));
    ASSERT_TRUE(SetLocalTime(tp, a, 2030, 1, 1));
    EXPECT_EQ(Add(w, {a}), 1);
    EXPECT_EQ(reasons.size(), 1u);
    EXPECT_EQ(Add(w, {a}), 0);
    EXPECT_EQ(reasons.size(), 2u);
}

TEST_F(ZipArchiveTest, FailedRunDoesNotClearArchiveBits) {
    const std::string a = Put("a.txt", MailText(600000, 7));
    EXPECT_TRUE(tp.files().SetAttributes(a, FileAttr::Normal));
    if (tp.files().GetAttributes(a) & FileAttr::Archive)
        GTEST_SKIP() << "this system does not clear the archive attribute";
    EXPECT_TRUE(tp.files().SetAttributes(a, FileAttr::Archive));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetResetArchiveBitOnZip(true);
    tp.pump().onProcess = [&] { w.AbortOperation(); };
    w.FilesList() = {a};
    EXPECT_THROW(w.AddFiles(), EZipAborted);
    tp.pump().onProcess = nullptr;
    EXPECT_NE(tp.files().GetAttributes(a) & FileAttr::Archive, 0u);
    EXPECT_FALSE(FileExists(tp.files(), zipPath));
}

TEST_F(ZipArchiveTest, SkipReasonsAndRetry) {
    const std::string a = Put("a.txt", "A"), b = Put("Sub\\a.txt", "B"), c = Put("c.txt", "C");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    std::vector<std::pair<int, std::string>> skipped;
    w.OnSkippingFile = [&](TZipWriter&, int reason, const std::string& name, int, bool&) {
        skipped.emplace_back(reason, name);
    };
    w.OnStartZip = [&](TZipWriter&, const std::string& name, TZipHeader& h, bool& skip) {
        EXPECT_FALSE(h.fileName.empty());
        skip = name == c;
    };
    EXPECT_EQ(Add(w, {a, b, c, src + "fehlt.txt"}), 1);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0], std::make_pair(1, b));  // same stored name "a.txt"
    EXPECT_EQ(skipped[1], std::make_pair(7, c));
    EXPECT_EQ(w.EntryCount(), 1);
}

TEST_F(ZipArchiveTest, StartZipHandlerMayRenameTheEntry) {
    const std::string a = Put("a.txt", "A");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.OnStartZip = [&](TZipWriter&, const std::string&, TZipHeader& h, bool&) {
        h.fileName = "Neu\\Name.txt";
    };
    EXPECT_EQ(Add(w, {a}), 1);
    EXPECT_EQ(w.EntryHeader(0).fileName, "Neu/Name.txt");
    EXPECT_EQ(w.EntryPath(0), "Neu\\");
}

TEST_F(ZipArchiveTest, EventsReportProgressAndSizes) {
    const std::string text = MailText(1500000, 8);
    const std::string a = Put("a.txt", text), b = Put("b.txt", "kurz");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    std::vector<std::string> started;
    std::vector<int> total, file;
    std::vector<uint64_t> ends;
    w.OnStartZip = [&](TZipWriter&, const std::string& n, TZipHeader&, bool&) { started.push_back(n); };
    w.OnEndZip = [&](TZipWriter&, const std::string&, uint64_t u, uint64_t c, uint64_t z) {
        ends.insert(ends.end(), {u, c, z});
    };
    w.OnTotalPercentDone = [&](TZipReader&, int p) { total.push_back(p); };
    w.OnFilePercentDone = [&](TZipReader&, int p) { file.push_back(p); };
    EXPECT_EQ(Add(w, {a, b}), 2);
    EXPECT_EQ(started, (std::vector<std::string>{a, b}));
    ASSERT_EQ(ends.size(), 6u);
    EXPECT_EQ(ends[0], text.size());
    EXPECT_EQ(ends[1], w.EntryHeader(0).compressedSize);
    EXPECT_GT(ends[2], ends[1]);
    EXPECT_EQ(ends[3], 4u);
    EXPECT_GT(ends[5], ends[2]);
    ASSERT_FALSE(total.empty());
    EXPECT_EQ(total.back(), 100);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_FALSE(file.empty());
    EXPECT_GT(tp.pump().calls, 2);

    // Extraction reports per entry.
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetDestDir(out);
    r.SetDoAll(true);
    std::vector<std::string> targets, done;
    r.OnStartUnZip = [&](TZipReader&, int i, std::string& name, bool& skip) {
        targets.push_back(name);
        if (i == 1) skip = true;
    };
    r.OnEndUnZip = [&](TZipReader&, int, const std::string& name) { done.push_back(name); };
    EXPECT_EQ(r.ExtractMatching(), 1);
    EXPECT_EQ(targets, (std::vector<std::string>{out + "a.txt", out + "b.txt"}));
    EXPECT_EQ(done, std::vector<std::string>{out + "a.txt"});
}

TEST_F(ZipArchiveTest, ProcessMessagesCanBeSwitchedOff) {
    const std::string a = Put("a.txt", "A");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetDoProcessMessages(false);
    EXPECT_EQ(Add(w, {a}), 1);
    EXPECT_TRUE(w.TestArchive());
    EXPECT_EQ(tp.pump().calls, 0);
}

TEST_F(ZipArchiveTest, AbortLeavesTheOldArchiveAndTheFlagIsClearedByTheNextRun) {
    const std::string a = Put("a.txt", MailText(100000, 9));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a}), 1);
    const std::string before = Bytes(zipPath);
    const std::string b = Put("b.txt", MailText(900000, 10));
    int calls = 0;
    tp.pump().onProcess = [&] {
        if (++calls == 3) w.AbortOperation();
    };
    w.FilesList() = {b};
    try {
        w.AddFiles();
        FAIL() << "no abort";
    } catch (const EZipAborted& e) {
        EXPECT_STREQ(e.what(), "User Aborted Operation");
    }
    EXPECT_TRUE(w.FilesList().empty());
    EXPECT_FALSE(w.IsBusy());
    EXPECT_EQ(Bytes(zipPath), before);
    EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
    // A request that came after the last check does not reach the next run.
    tp.pump().onProcess = nullptr;
    w.AbortOperation();
    EXPECT_EQ(Add(w, {b}), 1);
    EXPECT_EQ(w.EntryCount(), 2);
    // Reading operations stop as well.
    tp.pump().onProcess = [&] { w.AbortOperation(); };
    EXPECT_THROW(w.TestArchive(), EZipAborted);
    tp.pump().onProcess = nullptr;
}

TEST_F(ZipArchiveTest, IsBusyDuringOperations) {
    const std::string a = Put("a.txt", MailText(300000, 11));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    bool sawBusy = false;
    tp.pump().onProcess = [&] { sawBusy = sawBusy || w.IsBusy(); };
    ASSERT_EQ(Add(w, {a}), 1);
    EXPECT_TRUE(sawBusy);
    EXPECT_FALSE(w.IsBusy());
    tp.pump().onProcess = nullptr;
}

TEST_F(ZipArchiveTest, IndexOutOfRange) {
    const std::string a = Put("a.txt", "A");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a}), 1);
    try {
        w.EntryName(5);
        FAIL();
    } catch (const EZipIndexOutOfRange& e) {
        EXPECT_STREQ(e.what(), "Index 5 is out of range");
    }
    EXPECT_THROW(w.TestEntry(-1), EZipIndexOutOfRange);
    EXPECT_THROW(w.SetEntrySelected(1, true), EZipIndexOutOfRange);
    EXPECT_THROW(w.ForgetTest(1), EZipIndexOutOfRange);
}

TEST_F(ZipArchiveTest, DamagedEndRecordIsRebuiltFromLocalHeaders) {
    const std::string a = Put("a.txt", MailText(40000, 12)), b = Put("b.bin", NoiseBytes(30000, 13));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetComment("Kommentar");
    ASSERT_EQ(Add(w, {a, b}), 2);
    std::string bytes = Bytes(zipPath);
    const size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
    ASSERT_NE(end, std::string::npos);
    bytes[end + 2] = 'X';
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes));

    TZipReader strict(tp.platform());
    strict.SetZipName(zipPath);
    try {
        strict.ReadDirectory();
        FAIL();
    } catch (const EZipInvalid& e) {
        EXPECT_STREQ(e.what(), "Not a valid zip file!");
    }
    TZipReader r(tp.platform());
    r.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    r.SetZipName(zipPath);
    r.ReadDirectory();
    ASSERT_EQ(r.EntryCount(), 2);
    EXPECT_EQ(r.EntryName(1), "b.bin");
    EXPECT_TRUE(r.TestArchive());
    r.SetDestDir(out);
    r.SetDoAll(true);
    EXPECT_EQ(r.ExtractMatching(), 2);
    EXPECT_EQ(Bytes(out + "b.bin"), NoiseBytes(30000, 13));

    // A truncated archive (directory gone) is rebuilt the same way.
    const std::string cut = bytes.substr(0, bytes.find(std::string("PK\x01\x02", 4)));
    ASSERT_TRUE(tp.WriteFile(zipPath, cut));
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 2);
    EXPECT_TRUE(r.TestArchive());
}

TEST_F(ZipArchiveTest, NotAZipFails) {
    ASSERT_TRUE(tp.WriteFile(zipPath, MailText(100000, 14)));
    TZipReader r(tp.platform());
    r.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    r.SetZipName(zipPath);
    EXPECT_THROW(r.ReadDirectory(), EZipInvalid);
    EXPECT_EQ(r.EntryCount(), 0);
    ASSERT_TRUE(tp.WriteFile(zipPath, ""));
    EXPECT_THROW(r.ReadDirectory(), EZipInvalid);
    r.SetZipName(tp.TempDir() + "gibtsnicht.zip");
    EXPECT_THROW(r.ReadDirectory(), EZipInvalid);
    EXPECT_EQ(r.ArchiveFileSize(), 0u);
    EXPECT_FALSE(r.HasComment());
    r.SetZipName("");
    EXPECT_EQ(r.ArchiveFileSize(), 0u);
}

TEST_F(ZipArchiveTest, ExtractSelectedTakesMarkedEntriesAndClearsTheMarks) {
    const std::string a = Put("a.txt", "A"), b = Put("b.txt", "B"), c = Put("c.txt", "C");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a, b, c}), 3);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetKeepZipOpen(true);
    r.ReadDirectory();
    r.SetEntrySelected(0, true);
    r.SetEntrySelected(2, true);
    r.SetDestDir(out);
    r.FilesList() = {"b.txt"};  // ignored by ExtractSelected, but emptied
    EXPECT_EQ(r.ExtractSelected(), 2);
    EXPECT_TRUE(r.FilesList().empty());
    EXPECT_FALSE(r.EntrySelected(0));
    EXPECT_FALSE(r.EntrySelected(2));
    EXPECT_TRUE(FileExists(tp.files(), out + "c.txt"));
    EXPECT_FALSE(FileExists(tp.files(), out + "b.txt"));
    EXPECT_EQ(r.ExtractSelected(), 0);
}

TEST_F(ZipArchiveTest, AddingToAnArchiveOpenInAKeepOpenReader) {
    const std::string a = Put("a.txt", "A");
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetKeepZipOpen(true);
    ASSERT_EQ(Add(w, {a}), 1);
    ASSERT_EQ(Add(w, {Put("b.txt", "B")}), 1);
    EXPECT_TRUE(w.TestArchive());
    EXPECT_EQ(w.EntryCount(), 2);
}

TEST_F(ZipArchiveTest, ArchiveIsNeverAddedToItself) {
    Put("a.txt", "A");
    TZipWriter w(tp.platform());
    w.SetZipName(src + "selbst.zip");
    w.SetRootDir(src);
    ASSERT_EQ(Add(w, {"*.*"}), 1);
    ASSERT_EQ(Add(w, {"*"}), 0);  // a.txt unchanged, the archive left out
    EXPECT_EQ(w.EntryCount(), 1);
    EXPECT_TRUE(TempLeftovers(tp.files(), src).empty());
}

TEST_F(ZipArchiveTest, NothingAddedWritesNoArchive) {
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    EXPECT_EQ(Add(w, {src + "fehlt.txt", src + "*.nix"}), 0);
    EXPECT_FALSE(FileExists(tp.files(), zipPath));
    EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
}

TEST_F(ZipArchiveTest, AddingCopiesOldEntriesWithoutRecompressing) {
    const std::string a = Put("a.txt", MailText(400000, 15));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("pw");
    ASSERT_EQ(Add(w, {a}), 1);
    const TZipHeader first = w.EntryHeader(0);
    w.SetPassword("");
    ASSERT_EQ(Add(w, {Put("b.txt", "B")}), 1);
    // The old entry keeps its encryption and data; only its offset may move.
    EXPECT_EQ(w.EntryHeader(0).crc32, first.crc32);
    EXPECT_EQ(w.EntryHeader(0).compressedSize, first.compressedSize);
    EXPECT_TRUE(w.EntryEncrypted(0));
    EXPECT_FALSE(w.EntryEncrypted(1));
    const uint64_t size = w.ArchiveFileSize();
    EXPECT_LE(w.BytesWritten(), size + size / 20);
    w.SetPassword("pw");
    EXPECT_TRUE(w.TestArchive());
}

TEST_F(ZipArchiveTest, RebuildHappensBesideTheArchiveNotInTempPath) {
    const std::string a = Put("a.txt", MailText(400000, 16));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, {a}), 1);
    const std::string tempPath = tp.TempDir() + "Temp\\";
    ForceDirectories(tp.files(), tempPath);
    w.SetTempPath(tempPath);
    std::vector<std::string> besideArchive, inTempPath;
    tp.pump().onProcess = [&] {
        for (const std::string& n : FilesStartingWith(tp.files(), tp.TempDir(), "~bz"))
            besideArchive.push_back(n);
        for (const FindEntry& e : tp.files().Find(tempPath + "*")) inTempPath.push_back(e.name);
    };
    ASSERT_EQ(Add(w, {Put("b.txt", MailText(300000, 17))}), 1);
    tp.pump().onProcess = nullptr;
    EXPECT_FALSE(besideArchive.empty()) << "the new archive is built in the archive's folder";
    EXPECT_TRUE(inTempPath.empty());
    EXPECT_TRUE(TempLeftovers(tp.files(), tp.TempDir()).empty());
}

TEST_F(ZipArchiveTest, CrcMismatchOfAnEncryptedEntryAsksForAnotherPasswordOnce) {
    const std::string a = Put("a.txt", MailText(200000, 18));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    w.SetPassword("pw");
    ASSERT_EQ(Add(w, {a}), 1);
    std::string bytes = Bytes(zipPath);
    bytes[bytes.size() / 2] ^= 0x01;
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes));
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    r.SetPassword("pw");
    int asked = 0;
    r.OnBadPassword = [&](TZipReader&, int, std::string&) { ++asked; };
    EXPECT_FALSE(r.TestEntry(0));
    EXPECT_EQ(asked, 1);
}

TEST_F(ZipArchiveTest, MessagesRunWhileTheDirectoryIsReadAndScanned) {
    std::vector<std::string> files;
    for (int i = 0; i < 20; ++i) files.push_back(Put("f" + std::to_string(i) + ".bin", NoiseBytes(6000, i)));
    TZipWriter w(tp.platform());
    w.SetZipName(zipPath);
    ASSERT_EQ(Add(w, files), 20);
    TZipReader r(tp.platform());
    r.SetZipName(zipPath);
    tp.pump().calls = 0;
    r.ReadDirectory();
    EXPECT_GE(tp.pump().calls, 20) << "between directory headers";
    // Without an end record the whole file is scanned, with a message point every 10240 bytes.
    std::string bytes = Bytes(zipPath);
    bytes.resize(bytes.size() - 22);
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes));
    r.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
    tp.pump().calls = 0;
    r.ReadDirectory();
    EXPECT_EQ(r.EntryCount(), 20);
    EXPECT_GE(static_cast<size_t>(tp.pump().calls), 20u);
    // A cancel during the scan ends it.
    (void)tp.files().SetTimes(zipPath, nullptr, nullptr);
    ASSERT_TRUE(tp.WriteFile(zipPath, bytes + "x"));
    tp.pump().onProcess = [&] { r.AbortOperation(); };
    EXPECT_THROW(r.ReadDirectory(), EZipAborted);
    EXPECT_EQ(r.EntryCount(), 0);
    tp.pump().onProcess = nullptr;
}

}  // namespace
}  // namespace bv
