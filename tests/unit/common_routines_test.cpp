#include <gtest/gtest.h>

#include "brevisto/support/common_routines.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

TEST(TextRoutines, LastPos) {
    EXPECT_EQ(LastPos("\\", "C:\\a\\b"), 5);
    EXPECT_EQ(LastPos("ab", "abcab"), 4);
    EXPECT_EQ(LastPos("x", "abc"), 0);
    EXPECT_EQ(LastPos("", "abc"), 0);
    EXPECT_EQ(LastPos("a", ""), 0);
}

TEST(TextRoutines, ReplaceTextReplacesAlsoWhatReplacementsCreate) {
    struct {
        const char *text, *pattern, *replacement, *expected;
    } const cases[] = {
        {"C:/a/b/", "/", "\\", "C:\\a\\b\\"},
        {"a,b,,c", ",", "~00~", "a~00~b~00~~00~c"},
        {"x~y", "~", ",", "x,y"},
        {"abc", "", "x", "abc"},
        {"", "a", "b", ""},
        {"aaa", "aa", "a", "a"},  // "aaa" -> "aa" -> "a": joined occurrences are replaced too
        // A replacement that contains the pattern must end: one plain pass.
        {"a.b.c", ".", "..", "a..b..c"},
        {"~~", "~", "~00~", "~00~~00~"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceText(c.text, c.pattern, c.replacement), c.expected) << c.text;
}

TEST(TextRoutines, ReplaceTextOnwardIsOnePass) {
    EXPECT_EQ(ReplaceTextOnward("a,b,c", ",", ";"), "a;b;c");
    EXPECT_EQ(ReplaceTextOnward("a,b,c", ",", ""), "abc");
    // With the pattern in the replacement the pass stops at the first occurrence that no
    // longer lies after the mark.
    EXPECT_EQ(ReplaceTextOnward("a~b~c", "~", "~~"), "a~~b~c");
    EXPECT_EQ(ReplaceTextOnward("abc", "", "x"), "abc");
}

TEST(TextRoutines, SplitString) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitString(",", "a,,b,"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitString(",", ",a"), (V{"", "a"}));
    EXPECT_EQ(SplitString(",", ""), V{});
    EXPECT_EQ(SplitString("", "a,b"), V{"a,b"});
    EXPECT_EQ(SplitString(",", "a,b", -1), V{});
    EXPECT_EQ(SplitString(",", "a,b,c,d", 2), (V{"a", "b,c,d"}));
    EXPECT_EQ(SplitString(",", "a,b,c", 1), (V{"a,b,c"}));
    EXPECT_EQ(SplitString(":#*#:", "VollBackup:#*#:x:#*#:3"), (V{"VollBackup", "x", "3"}));
    EXPECT_EQ(SplitString("ab", "xabyAB"), (V{"x", "yAB"}));  // case-sensitive
}

TEST(NumberRoutines, GroupDigits) {
    EXPECT_EQ(GroupDigits(3, 0), "0");
    EXPECT_EQ(GroupDigits(3, 999), "999");
    EXPECT_EQ(GroupDigits(3, 1000), "1.000");
    EXPECT_EQ(GroupDigits(3, 1234567), "1.234.567");
    EXPECT_EQ(GroupDigits(3, 5368709120LL), "5.368.709.120");
}

TEST(NumberRoutines, FormatByteSizeStepsStrictlyAbove1024) {
    struct {
        int64_t value;
        const char* expected;
    } const cases[] = {
        {0, "0 Bytes"},           {1024, "1024 Bytes"},      {1025, "1,0 kB"},
        {1048576, "1024,0 kB"},   {1500000, "1,4 MB"},       {5368709120LL, "5,0 GB"},
        {2048, "2,0 kB"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatByteSize(c.value, ','), c.expected) << c.value;
    EXPECT_EQ(FormatByteSize(1025, '.'), "1.0 kB");
}

TEST(NumberRoutines, SizeTextThresholds) {
    struct {
        int64_t value;
        const char* expected;
    } const cases[] = {
        {0, "0 Bytes"},         {1023, "1023 Bytes"},        {1024, "1,00 KB"},
        {1536, "1,50 KB"},      {1048575, "1024,00 KB"},     {1048576, "1,00 MB"},
        {1073741823, "1024,00 MB"}, {1073741824, "1,00 GB"}, {5LL * 1073741824, "5,00 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.value, ','), c.expected) << c.value;
}

TEST(NumberRoutines, DateTextHasLeadingZeros) {
    EXPECT_EQ(DateText(DateTime{2026, 12, 8, 23, 59, 0, 0}), "08.12.2026");
    EXPECT_EQ(DateText(DateTime{1999, 1, 31, 0, 0, 0, 0}), "31.01.1999");
}

TEST(NumberRoutines, HexToInt) {
    EXPECT_EQ(HexToInt("1A"), 26);
    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("FFFFFFFF"), 4294967295LL);
    EXPECT_THROW(HexToInt("xyz"), EConvertError);
    EXPECT_THROW(HexToInt(""), EConvertError);
    EXPECT_THROW(HexToInt("0x10"), EConvertError);
}

TEST(WindowsVersion, TableOfVersions) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the version is the real system's on Windows";
    struct {
        OsVersion version;
        int expected;
    } const cases[] = {
        {{true, 1, 4, 0, 950, ""}, wv95},
        {{true, 1, 4, 10, 1998, " "}, wv98},
        {{true, 1, 4, 10, 2222, " A "}, wv98SE},
        {{true, 1, 4, 90, 3000, ""}, wvME},
        {{true, 2, 4, 0, 1381, "Service Pack 6"}, wvNT},
        {{true, 2, 3, 51, 1057, ""}, wvNT},
        {{true, 2, 5, 0, 2195, ""}, wv2000},
        {{true, 2, 5, 1, 2600, "Service Pack 3"}, wvXP},
        {{true, 2, 5, 2, 3790, ""}, wv2003},
        {{true, 2, 6, 0, 6002, ""}, wvVista},
        {{true, 2, 6, 1, 7601, ""}, wv7},
        {{false, 2, 5, 1, 0, ""}, wvUnknown},
        {{true, 3, 5, 1, 0, ""}, wvUnknown},
        {{true, 1, 5, 0, 0, ""}, wvUnknown},
    };
    for (const auto& c : cases) {
        tp.Posix()->system.version = c.version;
        EXPECT_EQ(GetWindowsVersion(tp.system(), tp.prompter()), c.expected)
            << c.version.major << "." << c.version.minor;
    }
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST(WindowsVersion, UnknownNtVersionIsReportedAtEveryCall) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the version is the real system's on Windows";
    tp.Posix()->system.version = OsVersion{true, 2, 10, 0, 19045, ""};
    EXPECT_EQ(GetWindowsVersion(tp.system(), tp.prompter()), wvUnknown);
    EXPECT_EQ(GetWindowsVersion(tp.system(), tp.prompter()), wvUnknown);
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[0].text, "Unbekanntes Betriebssystem! Major: 10, Minor: 0");
}

TEST(WindowsVersion, TheRealSystemIsKnown) {
    // Native: the XP profile of the test backend; under Wine the prefix is set to XP.
    test::TestPlatform tp;
    EXPECT_EQ(GetWindowsVersion(tp.system(), tp.prompter()), wvXP);
}

TEST(WindowsVersion, Names) {
    EXPECT_EQ(WindowsVersionName(-1), "Unknown");
    EXPECT_EQ(WindowsVersionName(2), "Windows 98 SE");
    EXPECT_EQ(WindowsVersionName(9), "Windows 7");
    std::string name = "vorher";
    WindowsVersionName(10, name);
    EXPECT_EQ(name, "vorher");
    WindowsVersionName(-2, name);
    EXPECT_EQ(name, "vorher");
}

class FileRoutinesTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    std::string dir = tp.TempDir();
    void Make(const std::string& relative, const std::string& content = "x") {
        ForceDirectories(tp.files(), ExtractFilePath(dir + relative));
        ASSERT_TRUE(tp.WriteFile(dir + relative, content));
    }
};

TEST_F(FileRoutinesTest, ClearReadOnlyHiddenKeepsTheOtherAttributes) {
    Make("f.txt");
    const std::string path = dir + "f.txt";
    ASSERT_TRUE(tp.files().SetAttributes(
        path, FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System | FileAttr::Archive));
    ClearReadOnlyHidden(tp.files(), path);
    uint32_t attrs = tp.files().GetAttributes(path);
    EXPECT_EQ(attrs & (FileAttr::ReadOnly | FileAttr::Hidden), 0u);
    EXPECT_NE(attrs & FileAttr::Archive, 0u);
    EXPECT_NE(attrs & FileAttr::System, 0u);
}

TEST_F(FileRoutinesTest, FileSizeOfFirstMatch) {
    Make("a.dbx", std::string(1234, 'a'));
    EXPECT_EQ(FileSizeOf(tp.files(), dir + "a.dbx"), 1234u);
    EXPECT_EQ(FileSizeOf(tp.files(), dir + "*.dbx"), 1234u);
    EXPECT_EQ(FileSizeOf(tp.files(), dir + "fehlt.dbx"), 0u);
    EXPECT_EQ(FileSizeText(tp.platform(), dir + "a.dbx"), "1,21 KB");
}

TEST_F(FileRoutinesTest, ListFilesFiltersByExtensionAndSortsAcrossFolders) {
    Make("user.dic");
    Make("B.DIC");
    Make("notiz.txt");
    Make("unter\\a.dic");
    Make("unter\\tief\\c.Dic");
    Make(".versteckt\\z.dic");
    ForceDirectories(tp.files(), dir + "leer.dic");  // a folder, never listed

    EXPECT_EQ(ListFiles(tp.files(), dir, ".DIC", false),
              (std::vector<std::string>{dir + "B.DIC", dir + "user.dic"}));
    EXPECT_EQ(ListFiles(tp.files(), dir, ".dic", true),
              (std::vector<std::string>{dir + "B.DIC", dir + "unter\\a.dic",
                                        dir + "unter\\tief\\c.Dic", dir + "user.dic"}));
    EXPECT_EQ(ListFiles(tp.files(), dir, "*.*", false),
              (std::vector<std::string>{dir + "B.DIC", dir + "notiz.txt", dir + "user.dic"}));
}

TEST_F(FileRoutinesTest, CountFilesCountsFilesAndFoldersButNotDotFolders) {
    Make("a.adr");
    Make("b.txt");
    Make("sub\\c.adr");
    Make("sub\\d.adr");
    Make(".hidden\\e.adr");
    EXPECT_EQ(CountFiles(tp.files(), dir, "*.adr", false), 1);
    EXPECT_EQ(CountFiles(tp.files(), dir, "*.adr", true), 3);
    EXPECT_EQ(CountFiles(tp.files(), dir, "*", false), 4);  // a, b, sub, .hidden
    EXPECT_EQ(CountFiles(tp.files(), dir + "fehlt\\", "*", true), 0);
}

TEST_F(FileRoutinesTest, DiskFreeAtCreatesTheFolderAndRestoresTheCurrentOne) {
    ASSERT_TRUE(tp.files().SetCurrentDirectory(dir));
    const std::string before = tp.files().CurrentDirectory();
    int64_t free = DiskFreeAt(tp.platform(), before, dir + "neu\\ordner\\");
    EXPECT_GT(free, 0);
    EXPECT_TRUE(DirectoryExists(tp.files(), dir + "neu\\ordner"));
    EXPECT_EQ(tp.files().CurrentDirectory(), before);
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(FileRoutinesTest, DiskFreeAtAMissingDriveIsMinusOne) {
    ASSERT_TRUE(tp.files().SetCurrentDirectory(dir));
    const std::string before = tp.files().CurrentDirectory();
    EXPECT_EQ(DiskFreeAt(tp.platform(), before, "Q:\\Backup\\"), -1);
    EXPECT_EQ(tp.files().CurrentDirectory(), before);
}

TEST_F(FileRoutinesTest, DiskFreeAtAnEmptyFolderWarnsAndGoesOn) {
    const std::string before = tp.files().CurrentDirectory();
    EXPECT_EQ(DiskFreeAt(tp.platform(), before, ""), -1);
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text.rfind("Im Ordner: [] konnte leider nicht geprüft werden", 0), 0u);
}

TEST_F(FileRoutinesTest, DriveReadiness) {
    EXPECT_TRUE(IsDriveReady(tp.files(), "C:"));
    EXPECT_TRUE(IsDriveReady(tp.files(), "c"));
    EXPECT_TRUE(IsDriveReady(tp.files(), "C:\\"));
    EXPECT_FALSE(IsDriveReady(tp.files(), "Q:"));
    EXPECT_FALSE(IsDriveReady(tp.files(), ""));
    EXPECT_FALSE(IsDriveReady(tp.files(), "\\\\keinserver\\freigabe"));
}

TEST(ProcessRoutines, MatchesFileNameOrWholePathIgnoringCase) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the process list is the real system's on Windows";
    tp.Posix()->system.extraProcesses = {"C:\\Programme\\Mozilla Firefox\\FIREFOX.EXE", "msimn.exe"};
    EXPECT_TRUE(IsProcessRunning(tp.system(), "firefox.exe"));
    EXPECT_TRUE(IsProcessRunning(tp.system(), "MSIMN.EXE"));
    EXPECT_FALSE(IsProcessRunning(tp.system(), "opera.exe"));
    EXPECT_FALSE(IsProcessRunning(tp.system(), "fox.exe"));
}

TEST(FolderDialogs, AFolderThatDoesNotExistIsClearedFirst) {
    test::TestPlatform tp;
    std::string folder = "C:\\gibt\\es\\nicht";
    EXPECT_FALSE(SelectFolder(tp.platform(), "Ordner wählen", "", folder, false));
    EXPECT_EQ(folder, "");
    folder = tp.TempDir();
    tp.prompter().folderAnswers.push_back("C:\\Neu");
    EXPECT_TRUE(SelectFolder(tp.platform(), "Ordner wählen", "", folder, true));
    EXPECT_EQ(folder, "C:\\Neu");
}

}  // namespace
}  // namespace bv
