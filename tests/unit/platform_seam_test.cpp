// Behaviour of the platform seam that the program relies on. The same tests run against
// the POSIX backend natively and against the real system under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

TEST(PathRules, PartsOfWindowsPaths) {
    EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(ExtractFileExt("C:\\a.d\\b"), "");
    EXPECT_EQ(ExtractFileExt("b.tar.GZ"), ".GZ");
    EXPECT_EQ(ChangeFileExt("C:\\x\\a.bvq", ".log"), "C:\\x\\a.log");
    EXPECT_EQ(ChangeFileExt("C:\\x.y\\a", ".log"), "C:\\x.y\\a.log");
    EXPECT_EQ(ExtractFileDrive("C:\\x"), "C:");
    EXPECT_EQ(ExtractFileDrive("\\\\srv\\share\\dir\\f"), "\\\\srv\\share");
    EXPECT_EQ(ExtractFileDrive("rel\\f"), "");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
    EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\"), "C:\\a");
}

TEST(PathRules, WildcardsAsWindowsMatchesThem) {
    struct {
        const char *pattern, *name;
        bool match;
    } const cases[] = {
        {"*.dbx", "Inbox.DBX", true},   {"*.dbx", "Inbox.dbx.bak", false},
        {"*.*", "README", true},         {"*", ".hidden", true},
        {"a?c.txt", "abc.TXT", true},    {"a?c.txt", "ac.txt", false},
        {"Pop3*", "pop3uidl.dbx", true}, {"*.bvq", "x.bvq", true},
        {"UPD_*.bvq", "upd_a.BVQ", true}, {"name.*", "name", true},
        {"*a*b*c", "xxaybzc", true},     {"*a*b*c", "xxaybz", false},
        {"Größe.txt", "GRÖSSE.txt", false}, {"größe.txt", "GRÖßE.TXT", true},
    };
    for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST(AnsiText, CaseAndCodePages) {
    EXPECT_EQ(AnsiUpperCase("größe äöü ÿ"), "GRÖßE ÄÖÜ \x9F");
    EXPECT_EQ(AnsiLowerCase("ÄÖÜ ŠŒŽ"), "äöü šœž");
    EXPECT_TRUE(SameText("Posteingang.DBX", "posteingang.dbx"));
    EXPECT_LT(AnsiCompareText("a.bvq", "B.bvq"), 0);
    EXPECT_EQ(AnsiToUtf8("Größe €"), "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC");
    EXPECT_EQ(Utf8ToAnsi("Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xE4\xB8\xAD"), "Größe € ?");
    // ä ö ü ß in the OEM code page 850 and back.
    EXPECT_EQ(Cp1252ToCp850("äöüß"), "\x84\x94\x81\xE1");
    EXPECT_EQ(Cp850ToCp1252("\x84\x94\x81\xE1"), "äöüß");
}

TEST(AnsiText, Utf16BothWays) {
    EXPECT_EQ(AnsiToUtf16("Größe €„"), u"Größe €„");
    EXPECT_EQ(Utf16ToAnsi(u"Größe €„ \u4E2D"), "Größe €„ ?");
    // A surrogate pair is one character: one '?'; a lone surrogate too.
    EXPECT_EQ(Utf16ToAnsi(std::u16string{u'a', 0xD83D, 0xDE00, u'b', 0xDC00}), "a?b?");
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(one)), one) << b;
    }
}

TEST(SystemSeam, OemConversionAndGermanLocale) {
    test::TestPlatform tp;
    EXPECT_EQ(tp.system().AnsiToOem("Übersicht ä"), "\x9A" "bersicht \x84");
    EXPECT_EQ(tp.system().OemToAnsi("\x9A" "bersicht \x84"), "Übersicht ä");
    EXPECT_EQ(tp.system().DecimalSeparator(), ',');
    EXPECT_EQ(tp.system().MonthName(3), "März");
    EXPECT_EQ(tp.system().MonthName(12), "Dezember");
    EXPECT_EQ(tp.system().DateTimeText(DateTime{2026, 12, 8, 7, 5, 9, 0}), "08.12.2026 07:05:09");
}

TEST(SystemSeam, LocalTimeRoundTrip) {
    test::TestPlatform tp;
    DateTime local{2026, 7, 14, 13, 45, 30, 0};
    FileTime utc = 0;
    ASSERT_TRUE(tp.system().LocalToFileTime(local, utc));
    DateTime back;
    ASSERT_TRUE(tp.system().FileTimeToLocal(utc, back));
    EXPECT_EQ(back, local);
    Bytes random(16, 0);
    ASSERT_TRUE(tp.system().RandomBytes(random.data(), random.size()));
    EXPECT_NE(std::count(random.begin(), random.end(), 0), 16);
}

class FilesSeamTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    Files& files = tp.files();
    std::string dir = tp.TempDir();
};

TEST_F(FilesSeamTest, NamesResolveWithoutRegardToCase) {
    ASSERT_TRUE(ForceDirectories(files, dir + "Mail\\Identität"));
    ASSERT_TRUE(tp.WriteFile(dir + "Mail\\Identität\\Posteingang.dbx", "abc"));
    EXPECT_EQ(tp.ReadFile(dir + "MAIL\\identität\\POSTEINGANG.DBX"), "abc");
    EXPECT_TRUE(FileExists(files, dir + "mail\\IDENTITÄT\\posteingang.dbx"));
    EXPECT_TRUE(DirectoryExists(files, dir + "mail\\"));
    std::vector<FindEntry> found = files.Find(dir + "MAIL\\IDENTITÄT\\*.DBX");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "Posteingang.dbx");
    EXPECT_EQ(found[0].size, 3u);
    // Writing to another spelling replaces the same file.
    ASSERT_TRUE(tp.WriteFile(dir + "mail\\identität\\posteingang.DBX", "neu"));
    EXPECT_EQ(files.Find(dir + "Mail\\Identität\\*").size(), 1u);
    // Wine's long-name lookup keeps the caller's spelling; Windows and our backend give the stored one.
    if (!test::TestPlatform::IsWindows()) {
        EXPECT_EQ(files.LongPath(dir + "MAIL\\IDENTITÄT"), dir + "Mail\\Identität");
    }
}

TEST_F(FilesSeamTest, OpenErrorsTellFileFromPath) {
    long error = 0;
    EXPECT_EQ(files.Open(dir + "fehlt.txt", OpenMode::Read, &error), nullptr);
    EXPECT_EQ(error, WinError::FileNotFound);
    EXPECT_EQ(files.Open(dir + "fehlt\\x.txt", OpenMode::CreateAlways, &error), nullptr);
    EXPECT_EQ(error, WinError::PathNotFound);
    ASSERT_TRUE(tp.WriteFile(dir + "da.txt", "x"));
    EXPECT_EQ(files.Open(dir + "da.txt", OpenMode::CreateNew, &error), nullptr);
    EXPECT_EQ(error, WinError::FileExists);
}

// Windows' sharing on both backends: a file held open for writing can be read only by an
// open that lets others write; a plain read refuses to share with a writer.
TEST_F(FilesSeamTest, AFileHeldForWritingIsReadOnlyWithSharedReading) {
    const std::string path = dir + "gehalten.bvq";
    ASSERT_TRUE(tp.WriteFile(path, "archiv"));
    struct Case {
        OpenMode held;
        OpenMode wanted;
        bool opens;
    };
    const Case cases[] = {
        {OpenMode::ReadWrite, OpenMode::Read, false},
        {OpenMode::ReadWrite, OpenMode::ReadShared, true},
        {OpenMode::ReadWrite, OpenMode::ReadWrite, false},
        {OpenMode::Read, OpenMode::Read, true},
        {OpenMode::Read, OpenMode::ReadWrite, false},
        {OpenMode::ReadShared, OpenMode::ReadWrite, true},
        {OpenMode::ReadShared, OpenMode::CreateAlways, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.held)) + " then " + std::to_string(static_cast<int>(c.wanted)));
        auto held = files.Open(path, c.held);
        ASSERT_NE(held, nullptr);
        long error = 0;
        auto second = files.Open(path, c.wanted, &error);
        EXPECT_EQ(second != nullptr, c.opens);
        if (!c.opens) {
            EXPECT_EQ(error, WinError::SharingViolation);
        } else if (!OpensForWriting(c.wanted)) {
            char buf[16] = {};
            EXPECT_EQ(second->Read(buf, sizeof buf), 6u);
        }
        second.reset();
        held.reset();
        if (c.wanted == OpenMode::CreateAlways) {
            ASSERT_TRUE(tp.WriteFile(path, "archiv"));
        }
        // Closed, the file is free again.
        EXPECT_NE(files.Open(path, OpenMode::ReadWrite), nullptr);
    }
}

TEST_F(FilesSeamTest, StreamsSeekTruncateAndGrow) {
    auto f = files.Open(dir + "s.bin", OpenMode::CreateAlways);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Write("0123456789", 10));
    EXPECT_EQ(f->Size(), 10u);
    ASSERT_TRUE(f->Seek(4));
    ASSERT_TRUE(f->Truncate());
    EXPECT_EQ(f->Size(), 4u);
    ASSERT_TRUE(f->Seek(2));
    char buf[8] = {};
    EXPECT_EQ(f->Read(buf, sizeof buf), 2u);
    EXPECT_EQ(std::string(buf, 2), "23");
    EXPECT_EQ(f->Position(), 4u);
    ASSERT_TRUE(f->Close());
    auto r = files.Open(dir + "s.bin", OpenMode::Read);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Write("x", 1));
}

TEST_F(FilesSeamTest, ReadOnlyFilesRefuseChangesUntilCleared) {
    const std::string path = dir + "ro.txt";
    ASSERT_TRUE(tp.WriteFile(path, "alt"));
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::ReadOnly));
    long error = 0;
    if (test::TestPlatform::IsWindows() && files.Open(dir + "ro.txt", OpenMode::ReadWrite) != nullptr)
        GTEST_SKIP() << "this system lets the administrator write read-only files (Wine run as root)";
    EXPECT_EQ(files.Open(path, OpenMode::CreateAlways, &error), nullptr);
    EXPECT_EQ(error, WinError::AccessDenied);
    EXPECT_FALSE(files.DeleteFile(path));
    ASSERT_TRUE(tp.WriteFile(dir + "neu.txt", "neu"));
    EXPECT_FALSE(files.MoveFile(dir + "neu.txt", path, true));
    EXPECT_EQ(tp.ReadFile(path), "alt");
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::Normal));
    EXPECT_TRUE(files.MoveFile(dir + "neu.txt", path, true));
    EXPECT_EQ(tp.ReadFile(path), "neu");
    EXPECT_FALSE(FileExists(files, dir + "neu.txt"));
}

TEST_F(FilesSeamTest, MoveWithoutReplaceKeepsTheTarget) {
    ASSERT_TRUE(tp.WriteFile(dir + "a", "A"));
    ASSERT_TRUE(tp.WriteFile(dir + "b", "B"));
    long error = 0;
    EXPECT_FALSE(files.MoveFile(dir + "a", dir + "b", false, &error));
    EXPECT_EQ(tp.ReadFile(dir + "b"), "B");
    EXPECT_TRUE(files.CopyFile(dir + "a", dir + "c", true));
    EXPECT_FALSE(files.CopyFile(dir + "a", dir + "c", true));
    EXPECT_EQ(tp.ReadFile(dir + "c"), "A");
}

TEST_F(FilesSeamTest, ArchiveAttributeMarksChanges) {
    const std::string path = dir + "mail.dbx";
    ASSERT_TRUE(tp.WriteFile(path, "eins"));
    EXPECT_NE(files.GetAttributes(path) & FileAttr::Archive, 0u);
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::Normal));
    if (files.GetAttributes(path) & FileAttr::Archive)
        GTEST_SKIP() << "this system never clears the archive attribute (Wine)";
    EXPECT_EQ(files.GetAttributes(path) & FileAttr::Archive, 0u);
    // Reading is no change; writing is.
    EXPECT_EQ(tp.ReadFile(path), "eins");
    EXPECT_EQ(files.GetAttributes(path) & FileAttr::Archive, 0u);
    auto f = files.Open(path, OpenMode::ReadWrite);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Seek(4));
    ASSERT_TRUE(f->Write("zwei", 4));
    ASSERT_TRUE(f->Close());
    EXPECT_NE(files.GetAttributes(path) & FileAttr::Archive, 0u);
    // The program may set it itself.
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::Normal));
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::Archive));
    EXPECT_NE(files.GetAttributes(path) & FileAttr::Archive, 0u);
}

TEST_F(FilesSeamTest, ArchiveAttributeSeesWritesOfOtherPrograms) {
    if (!tp.Posix()) GTEST_SKIP() << "only the POSIX backend keeps the mark outside the file system";
    const std::string path = dir + "extern.dbx";
    ASSERT_TRUE(tp.WriteFile(path, "eins"));
    ASSERT_TRUE(files.SetAttributes(path, FileAttr::Normal));
    ASSERT_EQ(files.GetAttributes(path) & FileAttr::Archive, 0u);
    // Another program appends to the file behind our back.
    FILE* host = std::fopen(tp.HostPath(path).c_str(), "ab");
    ASSERT_NE(host, nullptr);
    std::fputs("zwei", host);
    std::fclose(host);
    EXPECT_NE(files.GetAttributes(path) & FileAttr::Archive, 0u);
}

TEST_F(FilesSeamTest, CreationTimeStaysWhenTheFileIsWritten) {
    const std::string path = dir + "c.txt";
    ASSERT_TRUE(tp.WriteFile(path, "1"));
    FileTime created = 0, written = 0;
    ASSERT_TRUE(files.GetTimes(path, &created, &written));
    FileTime past = UnixToFileTime(1500000000);
    ASSERT_TRUE(files.SetTimes(path, nullptr, &past));
    ASSERT_TRUE(tp.WriteFile(path, "2"));
    FileTime created2 = 0;
    ASSERT_TRUE(files.GetTimes(path, &created2, nullptr));
    if (test::TestPlatform::IsWindows() && created2 != created)
        GTEST_SKIP() << "this system derives creation times from the write time (Wine)";
    EXPECT_EQ(created2, created);
    FileTime lastWrite = 0;
    ASSERT_TRUE(files.SetTimes(path, nullptr, &past));
    ASSERT_TRUE(files.GetTimes(path, nullptr, &lastWrite));
    EXPECT_EQ(lastWrite, past);
}

TEST_F(FilesSeamTest, FoldersAndFreeSpace) {
    EXPECT_TRUE(ForceDirectories(files, dir + "a\\b\\c\\"));
    EXPECT_TRUE(DirectoryExists(files, dir + "a\\b\\c"));
    EXPECT_FALSE(files.RemoveDirectory(dir + "a\\b"));  // not empty
    EXPECT_TRUE(files.RemoveDirectory(dir + "a\\b\\c"));
    EXPECT_GT(files.FreeBytes(dir), 0);
    EXPECT_EQ(files.FreeBytes("Q:\\"), -1);
    EXPECT_TRUE(files.VolumeReady("C:\\"));
    EXPECT_FALSE(files.VolumeReady("Q:\\"));
    EXPECT_FALSE(ForceDirectories(files, "Q:\\x"));
    EXPECT_TRUE(files.SetCurrentDirectory(dir + "a"));
    EXPECT_EQ(AnsiUpperCase(files.CurrentDirectory()), AnsiUpperCase(dir + "a"));
    EXPECT_FALSE(files.SetCurrentDirectory(dir + "fehlt"));
}

TEST(RegistrySeam, TypesKeptByteExact) {
    test::TestPlatform tp;
    Registry& r = tp.registry();
    const std::string key = "Software\\Quillmar Software\\bvq-seamtest";
    r.DeleteKeyTree(RegRoot::CurrentUser, key);
    ASSERT_EQ(r.CreateKey(RegRoot::CurrentUser, key + "\\Unter\\Tief"), 0);
    const RegValue values[] = {
        {"Text", RegType::Sz, Bytes{'G', 0xF6, 0}},
        {"Pfad", RegType::ExpandSz, Bytes{'%', 'A', '%', 0}},
        {"Zahl", RegType::Dword, Bytes{0x1A, 0, 0, 0}},
        {"Roh", RegType::Binary, Bytes{0, 1, 2, 0xFF}},
        {"Multi", RegType::MultiSz, Bytes{'a', 0, 'b', 0, 0}},
        {"Leer", RegType::Binary, Bytes{}},
        {"", RegType::Sz, Bytes{'d', 0}},
    };
    for (const RegValue& v : values) ASSERT_EQ(r.SetValue(RegRoot::CurrentUser, key, v.name, v.type, v.data), 0);
    std::vector<RegValue> listed;
    ASSERT_EQ(r.EnumValues(RegRoot::CurrentUser, key, listed), 0);
    ASSERT_EQ(listed.size(), 7u);
    for (const RegValue& v : values) {
        RegValue got;
        ASSERT_EQ(r.QueryValue(RegRoot::CurrentUser, AnsiUpperCase(key), AnsiLowerCase(v.name), got), 0) << v.name;
        EXPECT_EQ(got.type, v.type) << v.name;
        EXPECT_EQ(got.data, v.data) << v.name;
    }
    std::vector<std::string> subkeys;
    ASSERT_EQ(r.EnumSubKeys(RegRoot::CurrentUser, key, subkeys), 0);
    EXPECT_EQ(subkeys, std::vector<std::string>{"Unter"});
    EXPECT_EQ(r.DeleteValue(RegRoot::CurrentUser, key, "zahl"), 0);
    RegValue gone;
    EXPECT_EQ(r.QueryValue(RegRoot::CurrentUser, key, "Zahl", gone), WinError::FileNotFound);
    EXPECT_EQ(r.DeleteKeyTree(RegRoot::CurrentUser, key), 0);
    EXPECT_NE(r.KeyExists(RegRoot::CurrentUser, key + "\\Unter"), 0);
}

TEST(RegistrySeam, SubkeysEnumerateSortedValuesInOrderOfCreation) {
    test::TestPlatform tp;
    Registry& r = tp.registry();
    const std::string key = "Software\\Quillmar Software\\bvq-ordertest";
    r.DeleteKeyTree(RegRoot::CurrentUser, key);
    for (const char* name : {"{C}", "{a}", "{B}"}) ASSERT_EQ(r.CreateKey(RegRoot::CurrentUser, key + "\\" + name), 0);
    for (const char* name : {"zeta", "Alpha", "mitte"})
        ASSERT_EQ(r.SetValue(RegRoot::CurrentUser, key, name, RegType::Dword, Bytes{1, 0, 0, 0}), 0);
    std::vector<std::string> subkeys;
    r.EnumSubKeys(RegRoot::CurrentUser, key, subkeys);
    EXPECT_EQ(subkeys, (std::vector<std::string>{"{a}", "{B}", "{C}"}));
    std::vector<RegValue> values;
    r.EnumValues(RegRoot::CurrentUser, key, values);
    ASSERT_EQ(values.size(), 3u);
    // Windows keeps values in order of creation; Wine sorts them by name.
    if (!test::TestPlatform::IsWindows() || values[0].name != "Alpha") {
        EXPECT_EQ(values[0].name, "zeta");
        EXPECT_EQ(values[2].name, "mitte");
    }
    EXPECT_EQ(r.SetValue(RegRoot::CurrentUser, key + "\\fehlt", "x", RegType::Sz, Bytes{0}),
              WinError::FileNotFound);
    r.DeleteKeyTree(RegRoot::CurrentUser, key);
}

#ifndef _WIN32  // the store file class exists only in the POSIX backend
TEST(PosixRegistryStore, PersistsAcrossInstancesAndSeesOtherWriters) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the store file belongs to the POSIX backend";
    const std::string store = tp.Posix()->map.Root() + "/registry.dat";
    PosixRegistry a(store), b(store);
    ASSERT_EQ(a.CreateKey(RegRoot::LocalMachine, "SOFTWARE\\X"), 0);
    ASSERT_EQ(a.SetValue(RegRoot::LocalMachine, "SOFTWARE\\X", "v", RegType::Binary, Bytes{0, 0xFF, 0x0A}), 0);
    RegValue got;
    ASSERT_EQ(b.QueryValue(RegRoot::LocalMachine, "software\\x", "V", got), 0);
    EXPECT_EQ(got.data, (Bytes{0, 0xFF, 0x0A}));
    PosixRegistry c(store);
    ASSERT_EQ(c.QueryValue(RegRoot::LocalMachine, "SOFTWARE\\X", "v", got), 0);
    EXPECT_EQ(got.type, RegType::Binary);
}
#endif

}  // namespace
}  // namespace bv
