#include <gtest/gtest.h>

#include "setup/install/script_reg_key.h"

namespace bv {
namespace {

TEST(InstallScriptRegKey, RecognisesTheFourRootsAndSplitsOffThePath) {
    struct Case {
        const char* text;
        bool recognised;
        RegRoot root;
        const char* path;
    } cases[] = {
        {"HKLM\\SOFTWARE\\Brevisto", true, RegRoot::LocalMachine, "SOFTWARE\\Brevisto"},
        {"HKCU\\Software\\Brevisto", true, RegRoot::CurrentUser, "Software\\Brevisto"},
        {"HKCR\\.bvq", true, RegRoot::ClassesRoot, ".bvq"},
        {"HKU\\.DEFAULT\\Software", true, RegRoot::Users, ".DEFAULT\\Software"},
        {"hklm\\Software\\x", true, RegRoot::LocalMachine, "Software\\x"},
        // Only the first characters count.
        {"HKEY_LOCAL_MACHINE\\Software", false, RegRoot::LocalMachine, ""},
        {"HKLMX\\Software", true, RegRoot::LocalMachine, "Software"},
        {"HKCC\\Software", false, RegRoot::LocalMachine, ""},
        {"HKU", false, RegRoot::Users, ""},
        {"HKLM\\", false, RegRoot::LocalMachine, ""},
        {"HKLM", false, RegRoot::LocalMachine, ""},
        {"", false, RegRoot::LocalMachine, ""},
        {"HK", false, RegRoot::LocalMachine, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RegRoot root = RegRoot::CurrentUser;
        std::string path = "unverändert";
        ASSERT_EQ(ParseScriptRegKey(c.text, root, path), c.recognised);
        if (!c.recognised) continue;
        EXPECT_EQ(root, c.root);
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(ParseScriptRegKey(ScriptRootName(root) + "\\" + path, root, path), true);
        EXPECT_EQ(root, c.root);
        EXPECT_EQ(path, c.path);
    }
}

}  // namespace
}  // namespace bv
