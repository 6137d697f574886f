// The installer script is read natively by our own ini engine and under Wine by the
// system's private-profile functions; both must give the same script.
#include <gtest/gtest.h>

#include "platform/path.h"
#include "setup/install/install_script.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const char* const FullScript =
    "[InstallInfo]\r\n"
    "ApplicationName=Brevisto 3\r\n"
    "DefaultTargetFolder=Brevisto\r\n"
    "DefaultUnistallFileName=BrvUninst.exe\r\n"
    "AppExeName=brevisto.exe\r\n"
    "HelpFile=hilfe.chm\r\n"
    "UninstallName=Brevisto 3\r\n"
    "\r\n"
    "[ProgFiles]\r\n"
    "F10=brevisto.ex_\r\n"
    "F2=hilfe.chm\r\n"
    "F5=brevisto.dic;data\\brevisto.dic\r\n"
    "F6=\r\n"
    "F7=RESELLER.DAT\r\n"
    "F2=doppelt.txt\r\n"
    "\r\n"
    "[CopyDestination]\r\n"
    "oeshared.dll=%COMMON_FILES%\\Brevisto\r\n"
    "\r\n"
    "[AdditionalFiles]\r\n"
    "A1=beispiel.bvt\r\n"
    "\r\n"
    "[DefaultDelFiles]\r\n"
    "D1=alt.log\r\n"
    "\r\n"
    "[Options]\r\n"
    "LicenceFile=lizenz.txt\r\n"
    "UpdateRegKey=HKLM\\SOFTWARE\\Brevisto;InstallDir\r\n"
    "AutoRun=TRUE;Brevisto;brevisto.exe /auto\r\n"
    "AdditionalComment=Beispiele mit installieren\r\n"
    "AdditionalOption=Beispiele\r\n"
    "AdditionalInfoFile=liesmich.txt\r\n"
    "\r\n"
    "[CreateRegKeys]\r\n"
    "R1=HKCU\\Software\\Brevisto;Folder=%INSTDIR%\r\n"
    "R3=HKLM\\SOFTWARE\\Brevisto;%INSTDIR%\r\n"
    "\r\n"
    "[AddLink]\r\n"
    "DesktopLink=%ProgDir%brevisto.exe,Brevisto\r\n"
    "StartMenuLink=%ProgDir%brevisto.exe,Brevisto 3\r\n"
    "ProgramGroup=Brevisto\r\n"
    "\r\n"
    "[ProgramGroupLink]\r\n"
    "L1=%ProgDir%brevisto.exe,Brevisto\r\n"
    "L2=UNINSTALL,Brevisto entfernen\r\n"
    "\r\n"
    "[UninstallRegKeys]\r\n"
    "U1=HKCU\\Software\\Brevisto\r\n"
    "U2=HKLM\\SOFTWARE\\Brevisto,InstallDir\r\n"
    "\r\n"
    "[UninstallLibs]\r\n"
    "L1=%COMMON_FILES%\\Brevisto\\oeshared.dll\r\n"
    "\r\n"
    "[AutoRun]\r\n"
    "InstallExe=%INSTDIR%\\brevisto.exe,/DONTWAIT\r\n"
    "InstallLib=%INSTDIR%\\x.dll;Init\r\n"
    "UninstallExe=%INSTDIR%\\brevisto.exe,/ende\r\n"
    "UninstallLib=%INSTDIR%\\oeshared.dll;Aufraeumen\r\n";

class InstallScriptTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    std::string setupDir, tempDir;
    std::string oldTemp, oldTmp;

    void SetUp() override {
        // On Windows this is the process's own environment: later tests need it back.
        oldTemp = tp.shell().GetEnvironment("TEMP");
        oldTmp = tp.shell().GetEnvironment("TMP");
        setupDir = tp.TempDir() + "cd\\";
        tempDir = tp.TempDir() + "tmp\\";
        ASSERT_TRUE(tp.files().CreateDirectory(setupDir));
        ASSERT_TRUE(tp.files().CreateDirectory(tempDir));
        tp.SetEnvironment("TEMP", ExcludeTrailingBackslash(tempDir));
        tp.SetEnvironment("TMP", ExcludeTrailingBackslash(tempDir));
    }
    void TearDown() override {
        tp.SetEnvironment("TEMP", oldTemp);
        tp.SetEnvironment("TMP", oldTmp);
    }
    std::string Script(const std::string& content) {
        const std::string path = setupDir + "Setup.in";
        EXPECT_TRUE(tp.WriteFile(path, content));
        return path;
    }
    bool Exists(const std::string& path) { return tp.files().GetAttributes(path) != FileAttr::Invalid; }
};

using Strings = std::vector<std::string>;

TEST_F(InstallScriptTest, ReadsEverySectionWithListsInKeyOrder) {
    const std::string path = Script(FullScript);
    // A CD: the original is read-only and must stay so.
    ASSERT_TRUE(tp.files().SetAttributes(path, FileAttr::ReadOnly));
    InstallScript s;
    ASSERT_EQ(ReadInstallScript(tp.platform(), path, s), ScriptReadResult::Ok);

    EXPECT_EQ(s.applicationName, "Brevisto 3");
    EXPECT_EQ(s.defaultTargetFolder, "Brevisto");
    EXPECT_EQ(s.defaultUninstallFileName, "BrvUninst.exe");
    EXPECT_EQ(s.appExeName, "brevisto.exe");
    EXPECT_EQ(s.iconFile, "");  // missing: empty, not the ini wrapper's error text
    EXPECT_EQ(s.helpFile, "hilfe.chm");
    EXPECT_EQ(s.uninstallName, "Brevisto 3");

    // Key order, not key numbers; the empty F6 is left out, the repeated F2 counts once.
    EXPECT_EQ(s.progFiles, (Strings{"brevisto.ex_", "hilfe.chm", "brevisto.dic;data\\brevisto.dic", "RESELLER.DAT"}));
    ASSERT_EQ(s.copyDestinations.size(), 1u);
    EXPECT_EQ(s.copyDestinations[0].file, "oeshared.dll");
    EXPECT_EQ(s.copyDestinations[0].folder, "%COMMON_FILES%\\Brevisto");  // expanded only for the run
    EXPECT_EQ(s.additionalFiles, Strings{"beispiel.bvt"});
    EXPECT_EQ(s.defaultDelFiles, Strings{"alt.log"});

    EXPECT_EQ(s.licenceFile, "lizenz.txt");
    EXPECT_EQ(s.updateRegKey, "HKLM\\SOFTWARE\\Brevisto;InstallDir");
    EXPECT_EQ(s.autoRun, "TRUE;Brevisto;brevisto.exe /auto");
    EXPECT_EQ(s.additionalComment, "Beispiele mit installieren");
    EXPECT_EQ(s.additionalOption, "Beispiele");
    EXPECT_EQ(s.additionalInfoFile, "liesmich.txt");

    EXPECT_EQ(s.createRegKeys,
              (Strings{"HKCU\\Software\\Brevisto;Folder=%INSTDIR%", "HKLM\\SOFTWARE\\Brevisto;%INSTDIR%"}));
    EXPECT_EQ(s.desktopLink, "%ProgDir%brevisto.exe,Brevisto");
    EXPECT_EQ(s.startMenuLink, "%ProgDir%brevisto.exe,Brevisto 3");
    EXPECT_EQ(s.programGroup, "Brevisto");
    EXPECT_EQ(s.programGroupLinks, (Strings{"%ProgDir%brevisto.exe,Brevisto", "UNINSTALL,Brevisto entfernen"}));
    EXPECT_EQ(s.uninstallRegKeys, (Strings{"HKCU\\Software\\Brevisto", "HKLM\\SOFTWARE\\Brevisto,InstallDir"}));
    EXPECT_EQ(s.uninstallLibs, Strings{"%COMMON_FILES%\\Brevisto\\oeshared.dll"});
    EXPECT_EQ(s.installExe, "%INSTDIR%\\brevisto.exe,/DONTWAIT");
    EXPECT_EQ(s.installLib, "%INSTDIR%\\x.dll;Init");
    EXPECT_EQ(s.uninstallExe, "%INSTDIR%\\brevisto.exe,/ende");
    EXPECT_EQ(s.uninstallLib, "%INSTDIR%\\oeshared.dll;Aufraeumen");

    // The working copy is gone, the original untouched and no message was shown.
    EXPECT_FALSE(Exists(tempDir + "Setup.in"));
    EXPECT_FALSE(Exists(tempDir + "Setup.in1"));
    EXPECT_NE(tp.files().GetAttributes(path) & FileAttr::ReadOnly, 0u);
    EXPECT_EQ(tp.ReadFile(path), FullScript);
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(InstallScriptTest, AnEmptyOrSectionlessScriptReadsAsEmpty) {
    for (const char* content : {"", "; nur ein Kommentar\r\n", "[Fremd]\r\nApplicationName=X\r\n",
                                "[ProgFiles]\r\n[InstallInfo]\r\nApplicationName=\r\n"}) {
        SCOPED_TRACE(content);
        InstallScript s;
        s.applicationName = "alt";
        s.progFiles = {"alt"};
        ASSERT_EQ(ReadInstallScript(tp.platform(), Script(content), s), ScriptReadResult::Ok);
        EXPECT_EQ(s.applicationName, "");
        EXPECT_TRUE(s.progFiles.empty());
        EXPECT_TRUE(s.copyDestinations.empty());
        EXPECT_EQ(s.installExe, "");
    }
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST_F(InstallScriptTest, AMissingScriptIsReportedAndReadsNothing) {
    InstallScript s;
    s.applicationName = "alt";
    EXPECT_EQ(ReadInstallScript(tp.platform(), setupDir + "Setup.in", s), ScriptReadResult::Missing);
    EXPECT_EQ(s.applicationName, "");
    ASSERT_TRUE(tp.files().CreateDirectory(setupDir + "Ordner.in"));
    EXPECT_EQ(ReadInstallScript(tp.platform(), setupDir + "Ordner.in", s), ScriptReadResult::Missing);
}

TEST_F(InstallScriptTest, ABlockedWorkingCopyFallsBackToIn1) {
    // Something of the same name in the temporary folder that cannot be overwritten.
    ASSERT_TRUE(tp.files().CreateDirectory(tempDir + "Setup.in"));
    InstallScript s;
    ASSERT_EQ(ReadInstallScript(tp.platform(), Script(FullScript), s), ScriptReadResult::Ok);
    EXPECT_EQ(s.applicationName, "Brevisto 3");
    EXPECT_EQ(s.progFiles.size(), 4u);
    EXPECT_FALSE(Exists(tempDir + "Setup.in1"));
    EXPECT_TRUE(DirectoryExists(tp.files(), tempDir + "Setup.in"));  // not ours to remove

    // With both names blocked there is no copy to read, and the original is not read in place.
    ASSERT_TRUE(tp.files().CreateDirectory(tempDir + "Setup.in1"));
    EXPECT_EQ(ReadInstallScript(tp.platform(), Script(FullScript), s), ScriptReadResult::NotCopied);
    EXPECT_EQ(s.applicationName, "");
}

TEST(InstallScriptPlaceholder, ReplacesWithoutRescanningAndIgnoringCase) {
    struct Case {
        const char* text;
        const char* placeholder;
        const char* value;
        bool firstOnly;
        const char* expected;
    } cases[] = {
        {"%INSTDIR%\\a.exe", "%INSTDIR%", "C:\\P", false, "C:\\P\\a.exe"},
        {"%INSTDIR%;%INSTDIR%", "%INSTDIR%", "C:\\P", false, "C:\\P;C:\\P"},
        {"%instdir%\\a", "%INSTDIR%", "C:\\P", false, "C:\\P\\a"},
        {"%ProgDir%a,%ProgDir%b", "%ProgDir%", "C:\\P\\", true, "C:\\P\\a,%ProgDir%b"},
        {"%INSTDIR%", "%INSTDIR%", "C:\\%INSTDIR%", false, "C:\\%INSTDIR%"},  // the value is not searched
        {"%INSTDIR", "%INSTDIR%", "C:\\P", false, "%INSTDIR"},
        {"%UNBEKANNT%\\a", "%INSTDIR%", "C:\\P", false, "%UNBEKANNT%\\a"},
        {"", "%INSTDIR%", "C:\\P", false, ""},
        {"a%INSTDIR%b", "%INSTDIR%", "", false, "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReplacePlaceholder(c.text, c.placeholder, c.value, c.firstOnly), c.expected);
    }
}

InstallScript PlaceholderScript() {
    InstallScript s;
    s.installExe = "%INSTDIR%\\brevisto.exe,/DONTWAIT,%COMMON_FILES%";
    s.installLib = "%INSTDIR%\\x.dll;%COMMON_FILES%";
    s.uninstallExe = "%INSTDIR%\\brevisto.exe,/ende";
    s.uninstallLib = "%INSTDIR%\\o.dll;F";
    s.createRegKeys = {"HKCU\\Software\\Brevisto;Folder=%INSTDIR%", "HKLM\\S;%COMMON_FILES%\\x;%INSTDIR%"};
    s.copyDestinations = {{"oeshared.dll", "%COMMON_FILES%\\Brevisto"}, {"a.txt", "%INSTDIR%\\daten"}};
    s.uninstallLibs = {"%COMMON_FILES%\\Brevisto\\oeshared.dll", "%INSTDIR%\\b.dll"};
    s.programGroupLinks = {"%ProgDir%brevisto.exe,Brevisto", "UNINSTALL,Entfernen", "%INSTDIR%\\a,%ProgDir%"};
    s.desktopLink = "%ProgDir%brevisto.exe,%ProgDir%";
    s.startMenuLink = "%ProgDir%brevisto.exe,Brevisto";
    // Places without placeholders keep them literally.
    s.progFiles = {"%INSTDIR%.txt"};
    s.uninstallRegKeys = {"HKCU\\%INSTDIR%"};
    s.applicationName = "%INSTDIR%";
    return s;
}

TEST(InstallScriptPlaceholder, ExpandsEachPlaceholderWhereItBelongs) {
    // The install folder may come with or without its trailing backslash.
    for (const char* folder : {"C:\\Programme\\Brevisto", "C:\\Programme\\Brevisto\\"}) {
        SCOPED_TRACE(folder);
        InstallScript s = PlaceholderScript();
        ExpandScriptPlaceholders(s, folder, "C:\\Programme\\Gemeinsame Dateien\\");
        const std::string dir = "C:\\Programme\\Brevisto";
        const std::string common = "C:\\Programme\\Gemeinsame Dateien";
        EXPECT_EQ(s.installExe, dir + "\\brevisto.exe /DONTWAIT %COMMON_FILES%");
        EXPECT_EQ(s.installLib, dir + "\\x.dll;%COMMON_FILES%");
        EXPECT_EQ(s.uninstallExe, dir + "\\brevisto.exe,/ende");  // its commas are the uninstaller's
        EXPECT_EQ(s.uninstallLib, dir + "\\o.dll;F");
        EXPECT_EQ(s.createRegKeys, (Strings{"HKCU\\Software\\Brevisto;Folder=" + dir,
                                            "HKLM\\S;" + common + "\\x;" + dir}));
        ASSERT_EQ(s.copyDestinations.size(), 2u);
        EXPECT_EQ(s.copyDestinations[0].file, "oeshared.dll");
        EXPECT_EQ(s.copyDestinations[0].folder, common + "\\Brevisto");
        EXPECT_EQ(s.copyDestinations[1].folder, dir + "\\daten");
        EXPECT_EQ(s.uninstallLibs, (Strings{common + "\\Brevisto\\oeshared.dll", dir + "\\b.dll"}));
        EXPECT_EQ(s.programGroupLinks, (Strings{dir + "\\brevisto.exe,Brevisto", "UNINSTALL,Entfernen",
                                                "%INSTDIR%\\a," + dir + "\\"}));
        EXPECT_EQ(s.desktopLink, dir + "\\brevisto.exe,%ProgDir%");
        EXPECT_EQ(s.startMenuLink, dir + "\\brevisto.exe,Brevisto");
        EXPECT_EQ(s.progFiles, Strings{"%INSTDIR%.txt"});
        EXPECT_EQ(s.uninstallRegKeys, Strings{"HKCU\\%INSTDIR%"});
        EXPECT_EQ(s.applicationName, "%INSTDIR%");
    }
}

TEST(InstallScriptPlaceholder, FoldersThatContainAPlaceholderNameAreNotExpandedAgain) {
    InstallScript s;
    s.createRegKeys = {"HKCU\\S;A=%INSTDIR%;B=%COMMON_FILES%;C=%instdir%"};
    s.uninstallLibs = {"%COMMON_FILES%|%INSTDIR%"};
    ExpandScriptPlaceholders(s, "C:\\%COMMON_FILES%\\", "D:\\%INSTDIR%");
    EXPECT_EQ(s.createRegKeys, Strings{"HKCU\\S;A=C:\\%COMMON_FILES%;B=D:\\%INSTDIR%;C=C:\\%COMMON_FILES%"});
    EXPECT_EQ(s.uninstallLibs, Strings{"D:\\%INSTDIR%|C:\\%COMMON_FILES%"});
}

TEST(InstallScriptPlaceholder, AnUnknownCommonFilesFolderExpandsToNothing) {
    InstallScript s = PlaceholderScript();
    ExpandScriptPlaceholders(s, "D:\\B", "");
    EXPECT_EQ(s.uninstallLibs, (Strings{"\\Brevisto\\oeshared.dll", "D:\\B\\b.dll"}));
    EXPECT_EQ(s.copyDestinations[0].folder, "\\Brevisto");
}

}  // namespace
}  // namespace bv
