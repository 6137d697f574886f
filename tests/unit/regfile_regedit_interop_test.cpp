// Files of our export must import with the system's regedit, and regedit's own export
// (once in REGEDIT4 form) must import with ours. Needs regedit.exe: Windows builds only.
#include <gtest/gtest.h>

#include "brevisto/regfile/ex_registry.h"
#include "tests/support/test_platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bv {
namespace {

const char* const kBase = "Software\\Brevisto Interop";

Bytes Sz(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

// Runs regedit with `arguments` and waits for it; its exit code, or -1 if it did not start.
long RunRegedit(const std::string& arguments) {
#ifdef _WIN32
    std::string command = "regedit.exe " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
#else
    (void)arguments;
    return -1;
#endif
}

// What regedit writes (UTF-16LE with byte-order mark, version 5 header) in REGEDIT4 form:
// ANSI text and the old header line; the entries stay as they are.
std::string ToRegedit4(const std::string& unicodeFile) {
    std::string ansi;
    size_t i = unicodeFile.size() >= 2 && static_cast<uint8_t>(unicodeFile[0]) == 0xFF &&
                       static_cast<uint8_t>(unicodeFile[1]) == 0xFE
                   ? 2
                   : 0;
    for (; i + 1 < unicodeFile.size(); i += 2) {
        const unsigned unit = static_cast<uint8_t>(unicodeFile[i]) |
                              static_cast<uint8_t>(unicodeFile[i + 1]) << 8;
        ansi += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    const std::string header = "Windows Registry Editor Version 5.00";
    if (ansi.compare(0, header.size(), header) == 0) ansi.replace(0, header.size(), "REGEDIT4");
    return ansi;
}

class RegeditInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::TestPlatform::IsWindows())
            GTEST_SKIP() << "regedit.exe exists only on the Windows build (run under Wine)";
        tp = std::make_unique<test::TestPlatform>();
        tp->registry().DeleteKeyTree(RegRoot::CurrentUser, kBase);
    }
    void TearDown() override {
        if (tp) tp->registry().DeleteKeyTree(RegRoot::CurrentUser, kBase);
    }
    void Set(const std::string& key, const std::string& name, uint32_t type, const Bytes& data) {
        ASSERT_EQ(tp->registry().CreateKey(RegRoot::CurrentUser, key), 0);
        ASSERT_EQ(tp->registry().SetValue(RegRoot::CurrentUser, key, name, type, data), 0);
    }
    void ExpectSameValues(const std::string& a, const std::string& b) {
        std::vector<RegValue> va, vb;
        ASSERT_EQ(tp->registry().EnumValues(RegRoot::CurrentUser, a, va), 0);
        ASSERT_EQ(tp->registry().EnumValues(RegRoot::CurrentUser, b, vb), 0) << b;
        ASSERT_EQ(va.size(), vb.size()) << a << " / " << b;
        ASSERT_FALSE(va.empty());
        for (const auto& x : va) {
            SCOPED_TRACE(x.name);
            RegValue y;
            ASSERT_EQ(tp->registry().QueryValue(RegRoot::CurrentUser, b, x.name, y), 0);
            EXPECT_EQ(y.type, x.type);
            EXPECT_EQ(y.data, x.data);
        }
    }
    std::unique_ptr<test::TestPlatform> tp;
};

TEST_F(RegeditInteropTest, OurExportImportsWithRegeditIntoAnotherKey) {
    const std::string src = std::string(kBase) + "\\Quelle";
    Set(src, "Pfad", RegType::Sz, Sz("C:\\Mail"));
    Set(src, "", RegType::Sz, Sz("Standard"));
    Set(src, "Zeilen", RegType::Sz, Sz("eins\r\nzwei"));
    Set(src, "Zitat", RegType::Sz, Sz("sag \"hallo\" \\ ende\\"));
    Set(src, "Umlaut", RegType::Sz, Sz("Gr\xF6\xDF" "e"));
    Set(src, "Zahl", RegType::Dword, Bytes{26, 0, 0, 0});
    Bytes sixty(60);
    for (size_t i = 0; i < sixty.size(); ++i) sixty[i] = static_cast<uint8_t>(i);
    Set(src, "x", RegType::Binary, sixty);
    Set(src + "\\Unter", "u", RegType::Dword, Bytes{5, 0, 0, 0});

    TExRegistry reg(tp->platform());
    ASSERT_TRUE(reg.OpenKeyReadOnly(src));
    const std::string exported = tp->TempDir() + "quelle.reg";
    ASSERT_TRUE(reg.ExportToRegFile(exported));
    const std::string moved = tp->TempDir() + "ziel.reg";
    ASSERT_TRUE(tp->WriteFile(moved, ReplaceAll(tp->ReadFile(exported), "\\Quelle", "\\Ziel")));

    ASSERT_EQ(RunRegedit("/s \"" + moved + "\""), 0);
    ExpectSameValues(src, std::string(kBase) + "\\Ziel");
    ExpectSameValues(src + "\\Unter", std::string(kBase) + "\\Ziel\\Unter");
}

TEST_F(RegeditInteropTest, RegeditExportImportsWithOursAfterConversion) {
    const std::string src = std::string(kBase) + "\\Von";
    Set(src, "Pfad", RegType::Sz, Sz("C:\\Mail"));
    Set(src, "Zahl", RegType::Dword, Bytes{0x1a, 0, 0, 0xF0});
    Bytes bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(255 - i);
    Set(src, "Daten", RegType::Binary, bytes);

    const std::string unicode = tp->TempDir() + "regedit.reg";
    ASSERT_EQ(RunRegedit("/e \"" + unicode + "\" \"HKEY_CURRENT_USER\\" + src + "\""), 0);
    const std::string converted = tp->TempDir() + "regedit4.reg";
    ASSERT_TRUE(tp->WriteFile(converted,
                              ReplaceAll(ToRegedit4(tp->ReadFile(unicode)), "\\Von]", "\\Nach]")));

    TExRegistry reg(tp->platform());
    reg.Access = KeyAccess::Write;
    reg.ImportFromRegFile(converted);
    ExpectSameValues(src, std::string(kBase) + "\\Nach");
}

}  // namespace
}  // namespace bv
