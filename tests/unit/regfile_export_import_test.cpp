// REGEDIT4 export and import through the registry of the test platform.
#include <gtest/gtest.h>

#include <set>

#include "brevisto/regfile/ex_registry.h"
#include "brevisto/regfile/text_file.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const char* const kKey = "Software\\Brevisto Test\\Export";
const char* const kHeader = "[HKEY_CURRENT_USER\\Software\\Brevisto Test\\Export]";

Bytes Sz(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}
Bytes Raw(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Dword(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}
Bytes Sequence(size_t count) {
    Bytes data(count);
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(i);
    return data;
}

// Lets a test make single registry operations fail.
class FaultyRegistry : public Registry {
public:
    explicit FaultyRegistry(Registry& inner) : inner_(inner) {}
    std::string failCreateKey;   // path whose creation fails
    std::string failSetValue;    // value name whose writing fails
    std::string failEnumValues;  // path whose values cannot be listed
    long enumValuesError = 1009;

    long KeyExists(RegRoot r, const std::string& p) override { return inner_.KeyExists(r, p); }
    long CreateKey(RegRoot r, const std::string& p) override {
        return SameText(p, failCreateKey) ? WinError::AccessDenied : inner_.CreateKey(r, p);
    }
    long DeleteKeyTree(RegRoot r, const std::string& p) override {
        return inner_.DeleteKeyTree(r, p);
    }
    long QueryValue(RegRoot r, const std::string& p, const std::string& n, RegValue& v) override {
        return inner_.QueryValue(r, p, n, v);
    }
    long SetValue(RegRoot r, const std::string& p, const std::string& n, uint32_t t,
                  const Bytes& d) override {
        return !failSetValue.empty() && n == failSetValue ? WinError::AccessDenied
                                                          : inner_.SetValue(r, p, n, t, d);
    }
    long DeleteValue(RegRoot r, const std::string& p, const std::string& n) override {
        return inner_.DeleteValue(r, p, n);
    }
    long EnumSubKeys(RegRoot r, const std::string& p, std::vector<std::string>& o) override {
        return inner_.EnumSubKeys(r, p, o);
    }
    long EnumValues(RegRoot r, const std::string& p, std::vector<RegValue>& o) override {
        return SameText(p, failEnumValues) ? enumValuesError : inner_.EnumValues(r, p, o);
    }

private:
    static bool SameText(const std::string& a, const std::string& b) {
        return !b.empty() && a == b;
    }
    Registry& inner_;
};

class RegFileTest : public ::testing::Test {
protected:
    test::TestPlatform tp;

    std::string Path(const std::string& name) { return tp.TempDir() + name; }

    void Set(const std::string& key, const std::string& name, uint32_t type, const Bytes& data) {
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, key), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, key, name, type, data), 0);
    }

    // Exports `key` and returns the file's text ("" when the export failed).
    std::string Export(const std::string& key) {
        TExRegistry reg(tp.platform());
        reg.RootKey = RegRoot::CurrentUser;
        if (!reg.OpenKeyReadOnly(key)) return "open failed";
        const std::string file = Path("export.reg");
        if (!reg.ExportToRegFile(file)) return "";
        return tp.ReadFile(file);
    }

    std::vector<std::string> ExportLines(const std::string& key) {
        return SplitTextLines(Export(key));
    }

    // Imports `text` (lines joined with CR LF) through a fresh accessor.
    void Import(const std::string& text, Registry* registry = nullptr,
                uint32_t access = KeyAccess::Write) {
        const std::string file = Path("import.reg");
        ASSERT_TRUE(tp.WriteFile(file, text));
        TExRegistry reg(registry ? *registry : tp.registry(), tp.files(), tp.system());
        reg.Access = access;
        reg.ImportFromRegFile(file);
    }

    std::string ImportError(const std::string& text, Registry* registry = nullptr) {
        try {
            Import(text, registry);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }

    bool Query(const std::string& key, const std::string& name, RegValue& value) {
        return tp.registry().QueryValue(RegRoot::CurrentUser, key, name, value) == 0;
    }
};

// --- export ---------------------------------------------------------------------------

TEST_F(RegFileTest, EmptyKeyExportsHeaderKeyLineAndFinalEmptyLine) {
    ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, kKey), 0);
    EXPECT_EQ(Export(kKey), std::string("REGEDIT4\r\n\r\n") + kHeader + "\r\n\r\n");
}

TEST_F(RegFileTest, ValueLinesFollowTheFormatOfEachType) {
    struct Case {
        const char* what;
        std::string name;
        uint32_t type;
        Bytes data;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"path string", "Pfad", RegType::Sz, Sz("C:\\Mail"), "\"Pfad\"=\"C:\\\\Mail\""},
        {"default value", "", RegType::Sz, Sz("x"), "@=\"x\""},
        {"quotes escaped", "a\"b", RegType::Sz, Sz("say \"hi\""),
         "\"a\\\"b\"=\"say \\\"hi\\\"\""},
        {"line break", "Text", RegType::Sz, Sz("eins\r\nzwei"), "\"Text\"=\"eins\\r\\nzwei\""},
        {"tab stays", "Tab", RegType::Sz, Sz("a\tb"), "\"Tab\"=\"a\tb\""},
        {"string up to NUL", "Cut", RegType::Sz, Raw(std::string("ab\0cd", 5)), "\"Cut\"=\"ab\""},
        {"string without NUL", "NoNul", RegType::Sz, Raw("abc"), "\"NoNul\"=\"abc\""},
        {"dword 26", "Zahl", RegType::Dword, Dword(26), "\"Zahl\"=dword:0000001a"},
        {"dword max", "Max", RegType::Dword, Dword(0xFFFFFFFFu), "\"Max\"=dword:ffffffff"},
        {"binary", "Bin", RegType::Binary, Bytes{0x00, 0xAB, 0x7F}, "\"Bin\"=hex:00,ab,7f"},
        {"multi string", "Multi", RegType::MultiSz, Bytes{'a', 0, 0}, "\"Multi\"=hex(7):61,00,00"},
        {"qword", "Q", RegType::Qword, Bytes{1, 0, 0, 0, 0, 0, 0, 0},
         "\"Q\"=hex(11):01,00,00,00,00,00,00,00"},
        {"type 0", "None", RegType::None, Bytes{5}, "\"None\"=hex(0):05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, kKey);
        Set(kKey, c.name, c.type, c.data);
        const auto lines = ExportLines(kKey);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[2], kHeader);
        EXPECT_EQ(lines[3], c.line);
        EXPECT_EQ(lines[4], "");
    }
}

TEST_F(RegFileTest, ExpandStringsAndEmptyValuesAreNeverWritten) {
    Set(kKey, "Expand", RegType::ExpandSz, Sz("%TEMP%"));
    Set(kKey, "EmptyBinary", RegType::Binary, Bytes{});
    Set(kKey, "EmptyString", RegType::Sz, Bytes{});
    Set(kKey, "Kept", RegType::Dword, Dword(1));
    const auto lines = ExportLines(kKey);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "\"Kept\"=dword:00000001");

    // A key with nothing but such values still gets its header.
    tp.registry().DeleteValue(RegRoot::CurrentUser, kKey, "Kept");
    EXPECT_EQ(Export(kKey), std::string("REGEDIT4\r\n\r\n") + kHeader + "\r\n\r\n");
}

TEST_F(RegFileTest, SixtyBinaryBytesWrapAfter23And25Bytes) {
    Set(kKey, "x", RegType::Binary, Sequence(60));
    const auto lines = ExportLines(kKey);
    ASSERT_EQ(lines.size(), 7u);
    const std::string first = lines[3], second = lines[4], third = lines[5];
    EXPECT_EQ(first.size(), 78u);
    EXPECT_EQ(first.substr(0, 11), "\"x\"=hex:00,");
    EXPECT_EQ(first.substr(first.size() - 4), "16,\\");  // byte 22 is the 23rd
    EXPECT_EQ(second.size(), 78u);
    EXPECT_EQ(second.substr(0, 5), "  17,");
    EXPECT_EQ(second.substr(second.size() - 4), "2f,\\");  // 25 bytes: 0x17..0x2f
    EXPECT_EQ(third, "  30,31,32,33,34,35,36,37,38,39,3a,3b");
    EXPECT_EQ(lines[6], "");
}

TEST_F(RegFileTest, WhenTheLastByteWrapsTheValueEndsWithTwoBlanks) {
    // "xy"=hex: is 9 characters; after 22 pieces the last two digits reach 77.
    Set(kKey, "xy", RegType::Binary, Sequence(23));
    const auto lines = ExportLines(kKey);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].size(), 78u);
    EXPECT_EQ(lines[3].substr(lines[3].size() - 3), "16\\");
    EXPECT_EQ(lines[4], "  ");
}

TEST_F(RegFileTest, AShortStringAfterALongerOneIsNotPaddedFromTheReusedBuffer) {
    Set(kKey, "A", RegType::Sz, Sz("a much longer text"));
    Set(kKey, "B", RegType::Sz, Raw("abc"));  // no terminating NUL
    Set(kKey, "C", RegType::Binary, Bytes{1, 2});
    const auto lines = ExportLines(kKey);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "\"A\"=\"a much longer text\"");
    EXPECT_EQ(lines[4], "\"B\"=\"abc\"");
    EXPECT_EQ(lines[5], "\"C\"=hex:01,02");
}

TEST_F(RegFileTest, SubkeysFollowTheirParentDepthFirstValuesBeforeSubkeys) {
    const std::string k = kKey;
    Set(k, "v", RegType::Dword, Dword(1));
    Set(k + "\\a", "va", RegType::Dword, Dword(2));
    Set(k + "\\a\\deep", "vd", RegType::Dword, Dword(3));
    ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, k + "\\b"), 0);
    const std::vector<std::string> expected = {
        "REGEDIT4",
        "",
        kHeader,
        "\"v\"=dword:00000001",
        "",
        std::string(kHeader).insert(strlen(kHeader) - 1, "\\a"),
        "\"va\"=dword:00000002",
        "",
        std::string(kHeader).insert(strlen(kHeader) - 1, "\\a\\deep"),
        "\"vd\"=dword:00000003",
        "",
        std::string(kHeader).insert(strlen(kHeader) - 1, "\\b"),
        "",
    };
    EXPECT_EQ(ExportLines(k), expected);
}

TEST_F(RegFileTest, ExportWritesNothingWithoutOpenKeyOrWritableFile) {
    Set(kKey, "v", RegType::Dword, Dword(1));
    TExRegistry reg(tp.platform());
    EXPECT_FALSE(reg.ExportToRegFile(Path("none.reg")));
    EXPECT_FALSE(FileExists(tp.files(), Path("none.reg")));

    ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
    EXPECT_FALSE(reg.ExportToRegFile(Path("missing folder\\x.reg")));
    EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Brevisto Test\\Fehlt"));
}

TEST_F(RegFileTest, ARefusedValueListingFailsTheExportButAccessDeniedSkipsTheKey) {
    const std::string k = kKey;
    Set(k, "v", RegType::Dword, Dword(1));
    Set(k + "\\geheim", "s", RegType::Dword, Dword(2));
    FaultyRegistry faulty(tp.registry());
    faulty.failEnumValues = k + "\\geheim";
    const std::string file = Path("x.reg");

    TExRegistry reg(faulty, tp.files(), tp.system());
    ASSERT_TRUE(reg.OpenKeyReadOnly(k));
    EXPECT_FALSE(reg.ExportToRegFile(file));
    EXPECT_FALSE(FileExists(tp.files(), file));

    faulty.enumValuesError = WinError::AccessDenied;
    ASSERT_TRUE(reg.ExportToRegFile(file));
    const auto text = tp.ReadFile(file);
    EXPECT_NE(text.find("\"v\"=dword:00000001"), std::string::npos);
    EXPECT_EQ(text.find("geheim"), std::string::npos);
}

TEST_F(RegFileTest, RegistryExceptionCarriesCodeAndSystemText) {
    const EExRegistryException e(tp.system(), 2, "Unable to query key info");
    EXPECT_EQ(e.ErrorCode(), 2);
    const std::string text = TrimBlanks(tp.system().ErrorText(2));
    const std::string expected = text.empty() ? "Error 2:Unable to query key info"
                                              : "Error 2 : " + text + ":Unable to query key info";
    EXPECT_EQ(std::string(e.what()), expected);
}

TEST_F(RegFileTest, ValueBufferGrowsInSteps) {
    EXPECT_EQ(TExRegistry::GrownBufferSize(65536, 100), 65536u);
    EXPECT_EQ(TExRegistry::GrownBufferSize(65536, 65536), 65536u);
    EXPECT_EQ(TExRegistry::GrownBufferSize(65536, 65537), 131072u);
    EXPECT_EQ(TExRegistry::GrownBufferSize(65536, 131072), 196608u);
    EXPECT_EQ(TExRegistry::GrownBufferSize(131072, 70000), 131072u);
}

// --- round trips ----------------------------------------------------------------------

TEST_F(RegFileTest, ExportedKeysImportBackWithIdenticalValues) {
    const std::string k = kKey;
    const std::vector<RegValue> values = {
        {"Pfad", RegType::Sz, Sz("C:\\Mail")},
        {"", RegType::Sz, Sz("Standard")},
        {"Zeilen", RegType::Sz, Sz("eins\r\nzwei\r\n")},
        // Quotes and backslashes of names and texts are escaped on the way out and back.
        {"Zitat\\Pfad", RegType::Sz, Sz("\"quoted\" \\ back\\")},
        {"Sag \"Ja\"\\", RegType::Dword, Dword(1)},
        {"Umlaut", RegType::Sz, Sz("Gr\xF6\xDF" "e")},
        {"Zahl", RegType::Dword, Dword(26)},
        {"x", RegType::Binary, Sequence(60)},
        {"gross", RegType::Binary, Sequence(100000)},
        {"Multi", RegType::MultiSz, Raw(std::string("a\0b\0\0", 5))},
        {"Q", RegType::Qword, Dword(7)},
    };
    for (const auto& v : values) Set(k, v.name, v.type, v.data);
    Set(k + "\\Unter\\Tief", "u", RegType::Dword, Dword(5));
    ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, k + "\\Leer"), 0);

    const std::string text = Export(k);
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(tp.registry().DeleteKeyTree(RegRoot::CurrentUser, k), 0);
    Import(text);

    for (const auto& v : values) {
        SCOPED_TRACE(v.name);
        RegValue read;
        ASSERT_TRUE(Query(k, v.name, read));
        EXPECT_EQ(read.type, v.type);
        EXPECT_EQ(read.data, v.data);
    }
    RegValue deep;
    EXPECT_TRUE(Query(k + "\\Unter\\Tief", "u", deep));
    EXPECT_EQ(tp.registry().KeyExists(RegRoot::CurrentUser, k + "\\Leer"), 0);
}

// --- import ---------------------------------------------------------------------------

TEST_F(RegFileTest, ImportReadsAllValueKinds) {
    Import(
        "; comment before the header\r\n\r\nREGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Imp]\r\n"
        "\"Pfad\"=\"C:\\\\Mail\"\r\n"
        "@=\"default\"\r\n"
        "\"Zeilen\"=\"a\\r\\nb\"\r\n"
        "  \"Blank\" =  dword:  1A\r\n"
        "; a comment between values\r\n"
        "\"Bin\"=hex:01,2,ff,100\r\n"
        "\"Typ\"=HEX(7):61,00,\\\r\n"
        "   00\r\n"
        "\"Leer\"=hex:\r\n"
        "\"Luecken\"=hex:01,,02,\r\n"
        "\"Ende\"=\"C:\\\"\r\n");
    const std::string k = "Software\\Imp";
    const std::vector<RegValue> expected = {
        {"Pfad", RegType::Sz, Sz("C:\\Mail")},
        {"", RegType::Sz, Sz("default")},
        {"Zeilen", RegType::Sz, Sz("a\r\nb")},
        {"Blank", RegType::Dword, Dword(26)},
        {"Bin", RegType::Binary, Bytes{1, 2, 0xFF, 0x00}},
        {"Typ", RegType::MultiSz, Bytes{0x61, 0, 0}},
        {"Leer", RegType::Binary, Bytes{0}},
        {"Luecken", RegType::Binary, Bytes{1, 0, 2, 0}},
        // A lone backslash before the closing quote has nothing to escape.
        {"Ende", RegType::Sz, Sz("C:\\")},
    };
    for (const auto& v : expected) {
        SCOPED_TRACE(v.name);
        RegValue read;
        ASSERT_TRUE(Query(k, v.name, read));
        EXPECT_EQ(read.type, v.type);
        EXPECT_EQ(read.data, v.data);
    }
}

TEST_F(RegFileTest, ImportAcceptsLineFeedOnlyFiles) {
    Import("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lf]\n\"a\"=dword:00000002\n");
    RegValue v;
    ASSERT_TRUE(Query("Software\\Lf", "a", v));
    EXPECT_EQ(v.data, Dword(2));
}

TEST_F(RegFileTest, ImportRejectsFilesWithoutExactHeader) {
    const std::string bad = "Bad file format.  Missing REGEDIT4 in first line.";
    EXPECT_EQ(ImportError("REGEDIT4 \r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"), bad);
    EXPECT_EQ(ImportError("regedit4\r\n"), bad);
    EXPECT_EQ(ImportError("Windows Registry Editor Version 5.00\r\n"), bad);
    EXPECT_EQ(ImportError(""), bad);
    EXPECT_EQ(ImportError("; only a comment\r\n   \r\n"), bad);
    EXPECT_EQ(ImportError("  REGEDIT4\r\n"), bad);  // leading blanks are part of the line
    EXPECT_EQ(ImportError("REGEDIT4\r\n"), "no error");
}

TEST_F(RegFileTest, SyntaxErrorsNameFileLineAndRemainingText) {
    struct Case {
        std::string line;
        std::string rest;
    };
    const std::vector<Case> cases = {
        {"[HKEY_CURRENT_USER]", "HKEY_CURRENT_USER"},
        {"[HKEY_NOWHERE\\Software]", "HKEY_NOWHERE\\Software"},
        {"[hkey_current_user\\Software]", "hkey_current_user\\Software"},
        {"[HKEY_CURRENT_USER\\]", "HKEY_CURRENT_USER\\"},
        {"[HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\Software"},
        {"Name=\"x\"", "Name=\"x\""},
        {"\"a\" \"b\"", "\"b\""},
        {"\"a\"=", ""},
        {"\"a\"=qword:1", "qword:1"},
        {"\"a\"=\"no closing quote", "\"no closing quote"},
        {"\"a\"=\"", "\""},
        {"\"no closing quote in name=1", "\"no closing quote in name=1"},
        {"\"a\"=hex(7:00", "(7:00"},
        {"\"a\"=dword 1", "1"},
        {"\"a\"=hex 00", "00"},
    };
    const std::string file = Path("import.reg");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ImportError("REGEDIT4\r\n\r\n" + c.line + "\r\n"),
                  "Syntax error in reg file " + file + " at line 2 with string: " + c.rest);
    }
}

TEST_F(RegFileTest, ContinuedLinesCountAsTheLastJoinedLine) {
    EXPECT_EQ(ImportError("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"a\"=\"abc\\\r\n  def\r\n"),
              "Syntax error in reg file " + Path("import.reg") +
                  " at line 3 with string: \"abcdef");
    // A continuation at the end of the file ends the entry there.
    EXPECT_EQ(ImportError("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"a\"=\"abc\\"),
              "Syntax error in reg file " + Path("import.reg") +
                  " at line 2 with string: \"abc");
}

TEST_F(RegFileTest, NumbersThatDoNotConvertRaiseConversionErrors) {
    for (const std::string value : {"dword:xyz", "dword:", "dword:123456789", "hex(x):00",
                                    "hex():00"}) {
        SCOPED_TRACE(value);
        EXPECT_THROW(Import("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"a\"=" + value +
                            "\r\n"),
                     EConvertError);
    }
}

TEST_F(RegFileTest, AKeyThatCannotBeCreatedStopsTheImportBeforeItsValues) {
    FaultyRegistry faulty(tp.registry());
    faulty.failCreateKey = "Software\\Zu";
    const std::string text =
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Auf]\r\n\"a\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software\\Zu]\r\n\"b\"=dword:00000002\r\n";
    EXPECT_EQ(ImportError(text, &faulty),
              "Unable to create registry key HKEY_CURRENT_USER\\Software\\Zu");
    RegValue v;
    EXPECT_TRUE(Query("Software\\Auf", "a", v));
    EXPECT_FALSE(Query("Software\\Auf", "b", v));

    // Roots of the table that this registry does not have are refused the same way.
    EXPECT_EQ(ImportError("REGEDIT4\r\n[HKEY_CURRENT_CONFIG\\Software\\C]\r\n\"c\"=\"x\"\r\n"),
              "Unable to create registry key HKEY_CURRENT_CONFIG\\Software\\C");
}

TEST_F(RegFileTest, ARefusedValueRaisesItsName) {
    FaultyRegistry faulty(tp.registry());
    faulty.failSetValue = "Nein";
    EXPECT_EQ(ImportError("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"
                          "\"Ja\"=\"1\"\r\n\"Nein\"=\"2\"\r\n\"Danach\"=\"3\"\r\n",
                          &faulty),
              "Unable to set registry data for Nein");
    RegValue v;
    EXPECT_TRUE(Query("Software\\X", "Ja", v));
    EXPECT_FALSE(Query("Software\\X", "Danach", v));
}

TEST_F(RegFileTest, ReadOnlyAccessWritesNothing) {
    EXPECT_THROW(Import("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\R]\r\n\"a\"=\"1\"\r\n", nullptr,
                        KeyAccess::Read),
                 ERegFileError);
    EXPECT_NE(tp.registry().KeyExists(RegRoot::CurrentUser, "Software\\R"), 0);
}

TEST_F(RegFileTest, ValuesBeforeAnyKeyLineGoToTheOpenKeyOnly) {
    const std::string file = Path("v.reg");
    ASSERT_TRUE(tp.WriteFile(file, "REGEDIT4\r\n\"a\"=\"1\"\r\n"));
    TExRegistry reg(tp.platform());
    EXPECT_THROW(reg.ImportFromRegFile(file), ERegFileError);

    ASSERT_TRUE(reg.OpenKey("Software\\Offen", true));
    reg.ImportFromRegFile(file);
    RegValue v;
    EXPECT_TRUE(Query("Software\\Offen", "a", v));
}

TEST_F(RegFileTest, AMissingFileRaisesAReadError) {
    TExRegistry reg(tp.platform());
    EXPECT_THROW(reg.ImportFromRegFile(Path("fehlt.reg")), EFileReadError);
}

}  // namespace
}  // namespace bv
