// Inputs that the fuzz targets of tests/fuzz found harmful, fed to the same parsers, so that
// a fixed fault stays fixed.
#include <gtest/gtest.h>

#include <string>

#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

// A script entry with "/" as separator climbed out of the install folder: Windows takes
// "../G" as "..\G".
TEST(FuzzRegression, ScriptFileWithForwardSlashStaysInInstallFolder) {
    test::TestPlatform tp;
    const std::string setup = tp.TempDir() + "Setup\\";
    ASSERT_TRUE(tp.files().CreateDirectory(setup));
    ASSERT_TRUE(tp.WriteFile(setup + "Setup.in",
                             "[InstallInfo]\r\nApplicationName=Fuzz\r\nUninstallName=Fuzz 1\r\n"
                             "[ProgFiles]\r\nF3=../G\r\nF4=b.dic;sub/../../b.dic\r\nF5=c.exe;../tools EXEC\r\n"
                             "F6=/x.txt\r\nF7=d.txt;a/ .. /../d.txt\r\nF8=e.txt;.../e.txt\r\nF9=f.txt;a\\. .\\..\\..\\f.txt\r\n"
                             "[AdditionalFiles]\r\nA1=..\\..//e.txt\r\n"));
    InstallScript script;
    ASSERT_EQ(ReadInstallScript(tp.platform(), setup + "Setup.in", script), ScriptReadResult::Ok);
    ExpandScriptPlaceholders(script, "C:\\Programme\\Fuzz\\", "C:\\Programme\\Gemeinsame Dateien");
    std::vector<std::string> values = script.progFiles;
    values.insert(values.end(), script.additionalFiles.begin(), script.additionalFiles.end());
    ASSERT_EQ(values.size(), 8u);
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(PlanCopy(ParseFileEntry(value), setup, "C:\\Programme\\Fuzz", script.copyDestinations).valid);
    }
    // A forward slash inside the folder is still fine.
    EXPECT_TRUE(PlanCopy(ParseFileEntry("b.dic;data/b.dic"), setup, "C:\\Programme\\Fuzz", {}).valid);
    EXPECT_TRUE(PlanCopy(ParseFileEntry("b.dic;.daten\\b.dic"), setup, "C:\\Programme\\Fuzz", {}).valid);
}

}  // namespace
}  // namespace bv
