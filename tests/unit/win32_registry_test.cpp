// The Win32 registry backend against the real registry (Windows build only).
#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

Bytes Text(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry = CreateWin32Registry();
        char name[96];
        wsprintfA(name, "Software\\Brevisto Tests\\registry-%lu-%lu-%d", GetCurrentProcessId(),
                  GetTickCount(), ++counter);
        base = name;
        ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, base));
    }
    void TearDown() override { registry->DeleteKeyTree(RegRoot::CurrentUser, base); }

    std::unique_ptr<Registry> registry;
    std::string base;
    static int counter;
};
int Win32RegistryTest::counter = 0;

TEST_F(Win32RegistryTest, CreateKeyMakesMissingParentsAndKeyExistsReportsWin32Errors) {
    EXPECT_EQ(WinError::FileNotFound, registry->KeyExists(RegRoot::CurrentUser, base + "\\a\\b\\c"));
    ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, base + "\\a\\b\\c"));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::CurrentUser, base + "\\a\\b\\c"));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::CurrentUser, base + "\\A\\B"));  // names ignore case
    // The same key seen through the system directly.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\a\\b\\c").c_str(), 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST_F(Win32RegistryTest, ValuesKeepTheirTypeAndExactBytes) {
    const Bytes sz = Text("Größe C:\\Programme");
    const Bytes expand = Text("%SystemRoot%\\x");
    const Bytes dword = {0x78, 0x56, 0x34, 0x12};
    const Bytes qword = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes multi = {'a', 0, 'b', 'c', 0, 0};
    const Bytes odd = {0xDE, 0xAD};
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "sz", RegType::Sz, sz));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "expand", RegType::ExpandSz, expand));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "dword", RegType::Dword, dword));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "qword", RegType::Qword, qword));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "multi", RegType::MultiSz, multi));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "empty", RegType::Binary, Bytes()));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "odd", 0x4711, odd));

    struct Expect {
        const char* name;
        uint32_t type;
        Bytes data;
    } expects[] = {{"sz", RegType::Sz, sz},         {"expand", RegType::ExpandSz, expand},
                   {"dword", RegType::Dword, dword}, {"qword", RegType::Qword, qword},
                   {"multi", RegType::MultiSz, multi}, {"empty", RegType::Binary, Bytes()},
                   {"odd", 0x4711, odd}};
    for (const Expect& e : expects) {
        RegValue value;
        ASSERT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, base, e.name, value)) << e.name;
        EXPECT_EQ(e.name, value.name);
        EXPECT_EQ(e.type, value.type) << e.name;
        EXPECT_EQ(e.data, value.data) << e.name;
    }
    // The DWORD as the system reads it.
    DWORD number = 0;
    DWORD size = sizeof number;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "dword", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size));
    RegCloseKey(key);
    EXPECT_EQ(0x12345678u, number);
}

TEST_F(Win32RegistryTest, LargeValuesAndTheDefaultValueRoundTrip) {
    Bytes big(300000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "big", RegType::Binary, big));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "", RegType::Sz, Text("Standard")));
    RegValue value;
    ASSERT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, base, "big", value));
    EXPECT_EQ(big, value.data);
    ASSERT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, base, "", value));
    EXPECT_EQ(Text("Standard"), value.data);

    std::vector<RegValue> values;
    ASSERT_EQ(0, registry->EnumValues(RegRoot::CurrentUser, base, values));
    ASSERT_EQ(2u, values.size());
    bool sawBig = false;
    for (const RegValue& v : values) {
        if (v.name == "big") {
            sawBig = true;
            EXPECT_EQ(big, v.data);
        }
    }
    EXPECT_TRUE(sawBig);
}

TEST_F(Win32RegistryTest, MissingKeysAndValuesGiveFileNotFound) {
    RegValue value;
    EXPECT_EQ(WinError::FileNotFound, registry->QueryValue(RegRoot::CurrentUser, base, "none", value));
    EXPECT_EQ(WinError::FileNotFound, registry->QueryValue(RegRoot::CurrentUser, base + "\\none", "x", value));
    EXPECT_EQ(WinError::FileNotFound,
              registry->SetValue(RegRoot::CurrentUser, base + "\\none", "x", RegType::Sz, Text("1")));
    EXPECT_EQ(WinError::FileNotFound, registry->DeleteValue(RegRoot::CurrentUser, base, "none"));
    EXPECT_EQ(WinError::FileNotFound, registry->DeleteKeyTree(RegRoot::CurrentUser, base + "\\none"));
    std::vector<std::string> keys{"stale"};
    EXPECT_EQ(WinError::FileNotFound, registry->EnumSubKeys(RegRoot::CurrentUser, base + "\\none", keys));
    EXPECT_TRUE(keys.empty());
}

TEST_F(Win32RegistryTest, NamesCompareWithoutCaseAndDeleteValueRemovesOnlyThatValue) {
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "Alpha", RegType::Sz, Text("1")));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, "beta", RegType::Sz, Text("2")));
    RegValue value;
    ASSERT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, base, "ALPHA", value));
    EXPECT_EQ(Text("1"), value.data);
    ASSERT_EQ(0, registry->DeleteValue(RegRoot::CurrentUser, base, "alpha"));
    EXPECT_EQ(WinError::FileNotFound, registry->QueryValue(RegRoot::CurrentUser, base, "Alpha", value));
    EXPECT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, base, "beta", value));
}

TEST_F(Win32RegistryTest, SubkeysEnumerateSortedWithoutRegardToCase) {
    for (const char* name : {"Zeta", "alpha", "Mitte", "beta"}) {
        ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, base + "\\" + name));
    }
    std::vector<std::string> keys;
    ASSERT_EQ(0, registry->EnumSubKeys(RegRoot::CurrentUser, base, keys));
    EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "Mitte", "Zeta"}), keys);
}

TEST_F(Win32RegistryTest, ValuesEnumerateInTheSystemsOrder) {
    for (const char* name : {"zeta", "alpha", "Mitte"}) {
        ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, base, name, RegType::Sz, Text(name)));
    }
    std::vector<RegValue> values;
    ASSERT_EQ(0, registry->EnumValues(RegRoot::CurrentUser, base, values));
    // Whatever order the system has, the backend must hand it on unchanged.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_READ, &key));
    std::vector<std::string> system;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        system.emplace_back(name, length);
    }
    RegCloseKey(key);
    ASSERT_EQ(3u, values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(system[i], values[i].name);
        EXPECT_EQ(Text(values[i].name), values[i].data);
    }
    if (win32::IsWine()) {
        GTEST_SKIP() << "Wine keeps values sorted by name; Windows keeps the order of creation";
    }
    EXPECT_EQ("zeta", values[0].name);
    EXPECT_EQ("alpha", values[1].name);
    EXPECT_EQ("Mitte", values[2].name);
}

TEST_F(Win32RegistryTest, DeleteKeyTreeRemovesDeepTreesButNotSiblings) {
    const std::string tree = base + "\\tree";
    for (const char* sub : {"\\a\\b\\c\\d", "\\a\\x", "\\e"}) {
        ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, tree + sub));
        ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, tree + sub, "v", RegType::Sz, Text(sub)));
    }
    ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, base + "\\treeSibling"));
    ASSERT_EQ(0, registry->DeleteKeyTree(RegRoot::CurrentUser, tree));
    EXPECT_EQ(WinError::FileNotFound, registry->KeyExists(RegRoot::CurrentUser, tree));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::CurrentUser, base + "\\treeSibling"));
    EXPECT_NE(0, registry->DeleteKeyTree(RegRoot::CurrentUser, ""));
}

TEST_F(Win32RegistryTest, LeadingAndTrailingBackslashesAreIgnored) {
    const std::string absolute = "\\" + base + "\\abs\\";
    ASSERT_EQ(0, registry->CreateKey(RegRoot::CurrentUser, absolute));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::CurrentUser, base + "\\abs"));
    ASSERT_EQ(0, registry->SetValue(RegRoot::CurrentUser, absolute, "v", RegType::Sz, Text("x")));
    RegValue value;
    EXPECT_EQ(0, registry->QueryValue(RegRoot::CurrentUser, "\\" + base + "\\abs", "v", value));
    std::vector<std::string> keys;
    EXPECT_EQ(0, registry->EnumSubKeys(RegRoot::CurrentUser, "\\" + base, keys));
    EXPECT_EQ(std::vector<std::string>{"abs"}, keys);
    EXPECT_EQ(0, registry->DeleteKeyTree(RegRoot::CurrentUser, absolute));
    EXPECT_EQ(WinError::FileNotFound, registry->KeyExists(RegRoot::CurrentUser, base + "\\abs"));
    EXPECT_EQ(WinError::InvalidParameter, registry->DeleteKeyTree(RegRoot::CurrentUser, "\\"));
}

TEST_F(Win32RegistryTest, OtherRootsAreTheSystemsRoots) {
    EXPECT_EQ(0, registry->KeyExists(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::ClassesRoot, "CLSID"));
    EXPECT_EQ(0, registry->KeyExists(RegRoot::Users, ".DEFAULT"));
}

// The test platform works on the system's registry itself (so tests can check what
// regedit wrote) and undoes its changes when the test ends.
TEST(Win32TestPlatform, RegistryIsTheSystemsAndChangesAreUndone) {
    auto real = CreateWin32Registry();
    const std::string existing = "Software\\Brevisto Tests\\undo";
    real->DeleteKeyTree(RegRoot::CurrentUser, existing);
    ASSERT_EQ(0, real->CreateKey(RegRoot::CurrentUser, existing + "\\alt"));
    ASSERT_EQ(0, real->SetValue(RegRoot::CurrentUser, existing, "kept", RegType::Sz, Text("vorher")));
    ASSERT_EQ(0, real->SetValue(RegRoot::CurrentUser, existing, "gone", RegType::Sz, Text("weg")));
    ASSERT_EQ(0, real->SetValue(RegRoot::CurrentUser, existing + "\\alt", "tief", RegType::Dword, Bytes{1, 0, 0, 0}));
    {
        test::TestPlatform tp;
        Registry& reg = tp.registry();
        ASSERT_EQ(0, reg.CreateKey(RegRoot::CurrentUser, existing + "\\neu\\tiefer"));
        ASSERT_EQ(0, reg.SetValue(RegRoot::CurrentUser, existing, "kept", RegType::Sz, Text("nachher")));
        ASSERT_EQ(0, reg.SetValue(RegRoot::CurrentUser, existing, "added", RegType::Sz, Text("1")));
        ASSERT_EQ(0, reg.DeleteValue(RegRoot::CurrentUser, existing, "gone"));
        ASSERT_EQ(0, reg.DeleteKeyTree(RegRoot::CurrentUser, existing + "\\alt"));
        // Seen by the system at once.
        RegValue value;
        ASSERT_EQ(0, real->QueryValue(RegRoot::CurrentUser, existing, "kept", value));
        EXPECT_EQ(Text("nachher"), value.data);
        EXPECT_EQ(0, real->KeyExists(RegRoot::CurrentUser, existing + "\\neu\\tiefer"));
        EXPECT_NE(0, real->KeyExists(RegRoot::CurrentUser, existing + "\\alt"));
    }
    RegValue value;
    ASSERT_EQ(0, real->QueryValue(RegRoot::CurrentUser, existing, "kept", value));
    EXPECT_EQ(Text("vorher"), value.data);
    ASSERT_EQ(0, real->QueryValue(RegRoot::CurrentUser, existing, "gone", value));
    EXPECT_EQ(Text("weg"), value.data);
    EXPECT_EQ(WinError::FileNotFound, real->QueryValue(RegRoot::CurrentUser, existing, "added", value));
    EXPECT_EQ(WinError::FileNotFound, real->KeyExists(RegRoot::CurrentUser, existing + "\\neu"));
    ASSERT_EQ(0, real->QueryValue(RegRoot::CurrentUser, existing + "\\alt", "tief", value));
    EXPECT_EQ((Bytes{1, 0, 0, 0}), value.data);
    EXPECT_EQ(0, real->DeleteKeyTree(RegRoot::CurrentUser, existing));
}

}  // namespace
}  // namespace bv
#endif  // _WIN32
