// These run natively against our own ini engine and under Wine against the system's
// private-profile functions: both must give the same answers.
#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "common/msg_box.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    std::string Path(const std::string& name) { return tp.TempDir() + name; }
    void OpenUser(TTheIniFile& ini, const std::string& path, const std::string& section) {
        ini.SetIniLocation(loUser);
        ini.SetIniFileName(path);
        ini.SetOpen(true);
        ini.SetSection(section);
    }
};

TEST_F(IniFileTest, OpeningAMissingFileLeavesNothingAndWritesCreateIt) {
    TTheIniFile ini(tp.platform());
    const std::string path = Path("neu.bvt");
    OpenUser(ini, path, "Backup");
    EXPECT_EQ(ini.ErrorCode(), 2);
    EXPECT_EQ(ini.ErrorCodeStr(), "FileNotFound");
    EXPECT_FALSE(FileExists(tp.files(), path));

    ini.WriteEntry("Art", "1");
    ini.WriteFlag("Passwort", true);
    EXPECT_TRUE(FileExists(tp.files(), path));
    EXPECT_EQ(ini.ReadEntry("Art"), "1");
    EXPECT_EQ(ini.ErrorCode(), 0);
    EXPECT_TRUE(ini.ReadFlag("Passwort"));
}

TEST_F(IniFileTest, MissingEntriesReadAsIniErrorAndFlagsNeedExactlyOne) {
    const std::string path = Path("p.bvt");
    ASSERT_TRUE(tp.WriteFile(path, "[Backup]\r\nja=true\r\neins=1\r\nnull=0\r\nleer=\r\n"));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "Backup");
    EXPECT_EQ(ini.ErrorCode(), 0);

    EXPECT_EQ(ini.ReadEntry("fehlt"), "INIERROR");
    EXPECT_EQ(ini.ErrorCode(), -1);
    EXPECT_EQ(ini.ErrorCodeStr(), "EntryNotFound");

    EXPECT_FALSE(ini.ReadFlag("fehlt"));
    EXPECT_EQ(ini.ErrorCode(), -1);
    EXPECT_FALSE(ini.ReadFlag("ja"));  // "true" is not "1"
    EXPECT_EQ(ini.ErrorCode(), 0);
    EXPECT_TRUE(ini.ReadFlag("eins"));
    EXPECT_FALSE(ini.ReadFlag("null"));
    EXPECT_EQ(ini.ReadEntry("leer"), "");
    EXPECT_EQ(ini.ErrorCode(), 0);
    // An empty key is no entry at all, and no error.
    EXPECT_EQ(ini.ReadEntry(""), "");
    EXPECT_EQ(ini.ErrorCode(), 0);
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCaseAndValuesAreTrimmed) {
    const std::string path = Path("c.ini");
    ASSERT_TRUE(tp.WriteFile(path,
                             "; Kommentar\r\n[Erste]\r\nName = Wert mit Blanks  \r\n"
                             "Pfad=C:\\Mail\\\r\nZitat=\"in Anführung\"\r\n\r\n[Zweite]\r\nName=2\r\n"));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "ERSTE");
    EXPECT_EQ(ini.ReadEntry("name"), "Wert mit Blanks");
    EXPECT_EQ(ini.ReadEntry("PFAD"), "C:\\Mail\\");
    EXPECT_EQ(ini.ReadEntry("Zitat"), "in Anführung");
    ini.SetSection("zweite");
    EXPECT_EQ(ini.ReadEntry("Name"), "2");
}

TEST_F(IniFileTest, KeysComeInFileOrderAndKeyValuesAsLines) {
    const std::string path = Path("k.ini");
    ASSERT_TRUE(tp.WriteFile(path, "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/x.default\r\n"
                                   "[Profile1]\r\nName=zwei\r\n"));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "Profile0");
    std::vector<std::string> keys{"alt"};
    ini.ReadKeys(keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"Name", "IsRelative", "Path"}));
    std::vector<std::string> lines;
    ini.ReadKeyValues(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"Name=default", "IsRelative=1",
                                               "Path=Profiles/x.default"}));
    ini.SetSection("Fehlt");
    ini.ReadKeys(keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(ini.ErrorCode(), -1);
}

TEST_F(IniFileTest, WritesReplaceAndAppendWithoutDisturbingOtherSections) {
    const std::string path = Path("w.ini");
    ASSERT_TRUE(tp.WriteFile(path, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "a");
    ini.WriteEntry("X", "neu");
    ini.WriteEntry("z", "3");
    ini.SetSection("C");
    ini.WriteEntry("w", "4");
    ini.WriteEntry("", "nichts");

    ini.SetSection("A");
    std::vector<std::string> keys;
    ini.ReadKeys(keys);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(ini.ReadEntry("x"), "neu");
    EXPECT_EQ(ini.ReadEntry("z"), "3");
    ini.SetSection("B");
    EXPECT_EQ(ini.ReadEntry("y"), "2");
    ini.SetSection("C");
    EXPECT_EQ(ini.ReadEntry("w"), "4");
    ini.ReadKeys(keys);
    EXPECT_EQ(keys, std::vector<std::string>{"w"});
}

TEST_F(IniFileTest, OpeningAReadOnlyParameterFileClearsItsProtection) {
    const std::string path = Path("schutz.bvt");
    ASSERT_TRUE(tp.WriteFile(path, "[Backup]\r\nArt=0\r\n"));
    ASSERT_TRUE(tp.files().SetAttributes(
        path, FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System | FileAttr::Archive));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "Backup");
    EXPECT_EQ(ini.ErrorCode(), 0);
    uint32_t attrs = tp.files().GetAttributes(path);
    EXPECT_EQ(attrs & (FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System), 0u);
    ini.WriteEntry("Art", "1");
    EXPECT_EQ(ini.ReadEntry("Art"), "1");
}

TEST_F(IniFileTest, AFileThatCannotBeCreatedReportsTheReason) {
    TTheIniFile ini(tp.platform());
    OpenUser(ini, Path("fehlt\\ordner\\p.bvt"), "Backup");
    EXPECT_EQ(ini.ErrorCode(), 3);
    EXPECT_EQ(ini.ErrorCodeStr(), "PathNotFound");
    // Without a file object entries behave as if closed: nothing is written or read.
    ini.WriteEntry("Art", "1");
    EXPECT_EQ(ini.ReadEntry("Art"), "");
    EXPECT_FALSE(DirectoryExists(tp.files(), Path("fehlt")));
}

TEST_F(IniFileTest, EntriesWithoutSectionOrFileNameShowTheirMessage) {
    TTheIniFile ini(tp.platform());
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(Path("x.ini"));
    ini.SetOpen(true);
    EXPECT_EQ(ini.ReadEntry("a"), "");
    ini.SetIniFileName("");
    ini.SetSection("S");
    ini.WriteEntry("a", "b");
    ASSERT_EQ(tp.prompter().messages.size(), 2u);
    EXPECT_EQ(tp.prompter().messages[0].text, "Ini-Fehler: Bitte Section angeben.");
    EXPECT_EQ(tp.prompter().messages[1].text, "Ini-Fehler: Bitte Dateiname angeben.");
    EXPECT_EQ(tp.prompter().messages[1].style, BuildMsgBox("", mkInformation, bsOk).style);
    // Setting the file name closed the file.
    EXPECT_FALSE(ini.Open());
}

TEST_F(IniFileTest, ClosedFileIgnoresEntriesSilently) {
    const std::string path = Path("z.ini");
    ASSERT_TRUE(tp.WriteFile(path, "[S]\r\na=1\r\n"));
    TTheIniFile ini(tp.platform());
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(path);
    ini.SetSection("S");
    EXPECT_EQ(ini.ReadEntry("a"), "");
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(IniFileTest, LocationsAndDefaultPath) {
    TTheIniFile ini(tp.platform());
    EXPECT_EQ(ini.IniLocation(), loWinDir);
    EXPECT_FALSE(ini.Open());
    EXPECT_EQ(ini.ErrorCode(), 0);
    ini.SetIniFileName("setup.in");
    EXPECT_EQ(ini.FullPath(), IncludeTrailingBackslash(tp.system().WindowsDirectory()) + "setup.in");
    ini.SetIniLocation(loDefUser);
    ini.SetDefFilePath("C:\\Ordner");
    EXPECT_EQ(ini.DefFilePath(), "C:\\Ordner\\");
    EXPECT_EQ(ini.FullPath(), "C:\\Ordner\\setup.in");
    ini.SetDefFilePath("C:\\Ordner\\");
    EXPECT_EQ(ini.DefFilePath(), "C:\\Ordner\\");
}

TEST_F(IniFileTest, EraseFileDeletesAndPreparesAgain) {
    const std::string path = Path("e.ini");
    ASSERT_TRUE(tp.WriteFile(path, "[S]\r\na=1\r\n"));
    TTheIniFile ini(tp.platform());
    OpenUser(ini, path, "S");
    EXPECT_TRUE(ini.EraseFile());
    EXPECT_FALSE(FileExists(tp.files(), path));
    EXPECT_EQ(ini.ErrorCode(), 2);
    EXPECT_EQ(ini.ReadEntry("a"), "INIERROR");
    ini.WriteEntry("b", "2");
    EXPECT_EQ(ini.ReadEntry("b"), "2");
    EXPECT_TRUE(ini.EraseFile());
    EXPECT_TRUE(ini.EraseFile());  // nothing to delete is success too
}

TEST(IniErrorNames, EveryCodeHasItsName) {
    const std::pair<int, const char*> cases[] = {
        {0, "NoError"},          {2, "FileNotFound"},      {3, "PathNotFound"},
        {5, "FileAccessDenied"}, {100, "DiskReadError"},   {101, "DiskWriteError"},
        {150, "DiskIsWriteProtected"}, {152, "DriveNotReady"}, {160, "DeviceWriteFault"},
        {161, "DeviceReadFault"}, {162, "HardwareFailure"}, {-2, "NoInteger"},
        {-1, "EntryNotFound"},   {1, "Unknown Error"},    {4, "Unknown Error"},
        {-3, "Unknown Error"},
    };
    for (const auto& [code, name] : cases) EXPECT_EQ(IniErrorName(code), name) << code;
}

}  // namespace
}  // namespace bv
