// The start from the command line: splitting, the ".bvt" and ".bvq" rules and the backup kind
// of a parameter file.
#include <gtest/gtest.h>

#include "brevisto/shell/command_line.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

TEST(ShellCommandLine, SplitsLikeTheRuntime) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"brevisto.exe", {}},
        {"\"C:\\Programme\\Brevisto\\brevisto.exe\"", {}},
        {"brevisto.exe C:\\plan.bvt", {"C:\\plan.bvt"}},
        {"brevisto.exe \"C:\\Mein Ordner\\tag.bvt\"", {"C:\\Mein Ordner\\tag.bvt"}},
        {"brevisto.exe C:\\Mein Ordner\\tag.bvt", {"C:\\Mein", "Ordner\\tag.bvt"}},
        {"brevisto.exe   a\t b  ", {"a", "b"}},
        {"brevisto.exe C:\\\"Mein Ordner\"\\x.bvq", {"C:\\Mein Ordner\\x.bvq"}},
        {"brevisto.exe \"\" a", {"a"}},
        {"brevisto.exe \"offen", {"offen"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(ShellCommandLine, ParameterAndBackupFileRules) {
    struct Case {
        std::vector<std::string> args;
        bool autoRun;
        const char* paramFile;
        const char* viewerFile;
    } cases[] = {
        {{}, false, "", ""},
        {{"C:\\plan.bvt"}, true, "C:\\plan.bvt", ""},
        // The upper-case test ignores the case of the extension ...
        {{"C:\\plan.BvT"}, true, "C:\\plan.BvT", ""},
        // ... anywhere in the argument, and all arguments join the path.
        {{"C:\\x.bvt.alt", "zwei", "drei"}, true, "C:\\x.bvt.alt zwei drei", ""},
        {{" C:\\a.bvt "}, true, "C:\\a.bvt", ""},
        // An unquoted path with a blank: the first piece has no ".BVT".
        {{"C:\\Mein", "Ordner\\tag.bvt"}, false, "", ""},
        {{"C:\\Sicherung.bvq"}, false, "", "C:\\Sicherung.bvq"},
        // The viewer test is case-sensitive.
        {{"C:\\save.BVQ"}, false, "", ""},
        {{"C:\\a.bvq", "C:\\b.bvt"}, false, "", "C:\\a.bvq"},
        // Both marks in one name: the viewer takes the file, the unattended start stays
        // without a parameter file (and says so when it starts).
        {{"C:\\x.bvt.bvq"}, true, "", "C:\\x.bvt.bvq"},
        {{"", "C:\\b.bvt"}, false, "", ""},
    };
    for (const Case& c : cases) {
        const StartArguments s = ParseStartArguments(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(s.AutoRun, c.autoRun) << label;
        EXPECT_EQ(s.ParamFilePath, c.paramFile) << label;
        EXPECT_EQ(s.ViewerFilePath, c.viewerFile) << label;
    }
}

TEST(ShellCommandLine, BackupKindOfParameterFile) {
    test::TestPlatform tp;
    struct Case {
        const char* content;
        int kind;
    } cases[] = {
        {"[Backup]\r\nUPDATE=1\r\n", 1},
        {"[Backup]\r\nUPDATE=0\r\n", 0},
        {"[Backup]\r\nUPDATE=yes\r\n", 0},
        {"[Backup]\r\nUPDATE=true\r\n", 0},
        {"[Backup]\r\nANDERES=1\r\n", 0},
        {"[Identity]\r\nUPDATE=1\r\n", 0},
        {"", 0},
    };
    const std::string path = tp.TempDir() + "Mein Plan.bvt";
    for (const Case& c : cases) {
        ASSERT_TRUE(tp.WriteFile(path, c.content));
        EXPECT_EQ(ReadParamFileBackupKind(tp.platform(), path), c.kind) << c.content;
    }
    EXPECT_EQ(ReadParamFileBackupKind(tp.platform(), tp.TempDir() + "fehlt.bvt"), 0);
    EXPECT_TRUE(tp.prompter().messages.empty());
}

TEST(ShellCommandLine, MissingParameterFileText) {
    EXPECT_EQ(MissingParamFileText("C:\\PROGRA~1\\plan.bvt"),
              "Die angegebene Taskplaner-Datei wurde nicht gefunden!\rDas automatische Backup "
              "konnte nicht durchgeführt werden.\r\rParameter: C:\\PROGRA~1\\plan.bvt");
}

}  // namespace
}  // namespace bv
