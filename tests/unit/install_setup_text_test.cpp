#include <gtest/gtest.h>

#include "setup/install/setup_text.h"

namespace bv {
namespace {

TEST(InstallSetupText, RemoveSpacesRemovesEveryBlankAndNothingElse) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Brevisto 3", "Brevisto3"},
        {"  a  b  ", "ab"},
        {"a\tb", "a\tb"},  // only blanks
        {"", ""},
        {"   ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RemoveSpaces(c.text), c.expected);
    }
}

TEST(InstallSetupText, UpperCaseGermanMapsAsciiAndUmlautsOnly) {
    // Built from bytes: the sources are compiled to Windows-1252.
    const std::string lower = std::string("c:\\progra~1\\br") + '\xE4' + '\xF6' + '\xFC' + "x.exe /auto";
    const std::string upper = std::string("C:\\PROGRA~1\\BR") + '\xC4' + '\xD6' + '\xDC' + "X.EXE /AUTO";
    EXPECT_EQ(UpperCaseGerman(lower), upper);
    EXPECT_EQ(UpperCaseGerman(upper), upper);
    // ß, é and the other bytes above 127 stay; digits and signs too.
    const std::string others = std::string("\xDF\xE9\xFF\x80") + "0-9_{}";
    EXPECT_EQ(UpperCaseGerman(others), others);
    EXPECT_EQ(UpperCaseGerman(""), "");
}

}  // namespace
}  // namespace bv
