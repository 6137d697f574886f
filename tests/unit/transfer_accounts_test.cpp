// The account step of the transfer: Outlook Express accounts from a backup's "ACCOUNTS.OLS"
// become ".oeaccount" files of Windows Mail and Windows Live Mail in the folders each program
// reads, shaped like the files Windows Live Mail writes itself (tests/fixtures/oeaccount),
// and never anything outside the message store, whatever the backup holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/regfile/ex_registry.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/transfer/account_file.h"
#include "brevisto/transfer/account_transfer.h"
#include "brevisto/transfer/reg_snapshot.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_platform.h"
#include "tests/support/wm_store_writer.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace bv {
namespace {

using test::RecordedMessage;
using test::TestPlatform;

const char kIam[] = "\\Software\\Microsoft\\Internet Account Manager";
const char kAccountKey[] =
    "[HKEY_CURRENT_USER\\Identities\\{2F4C8A10-5B3D-4E6F-9A1B-C2D3E4F5A6B7}\\Software\\Microsoft\\"
    "Internet Account Manager\\Accounts\\";
const char kQuestion[] =
    "Es sind bereits Kontoinformationen vorhanden. Wenn Sie zusätzliche Konten hinzufügen, kann es "
    "sein, das dann möglicherweise einige Konten doppelt vorhanden sind.\r\rKlicken Sie auf JA, dann "
    "werden die bestehenden Konten vorher gelöscht.\r\rKlicken Sie auf NEIN, dann werden die neuen "
    "Konten zu den Bestehenden hinzugefügt.";
constexpr uint32_t kQuestionStyle = MsgStyle::YesNo | MsgStyle::IconQuestion | MsgStyle::SetForeground;
constexpr uint32_t kErrorStyle = MsgStyle::Ok | MsgStyle::IconExclamation | MsgStyle::SetForeground;

// ---- reading account files back, independently of the code that writes them -------------

std::string Utf16ToAnsi(const std::string& bytes, size_t from) {
    std::string utf8;
    for (size_t i = from; i + 1 < bytes.size(); i += 2) {
        const uint32_t unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (unit < 0x80) {
            utf8 += static_cast<char>(unit);
        } else if (unit < 0x800) {
            utf8 += static_cast<char>(0xC0 | (unit >> 6));
            utf8 += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (unit >> 12));
            utf8 += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return Utf8ToAnsi(utf8);
}

std::string XmlUnescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        const size_t end = text.find(';', i);
        if (end == std::string::npos) {
            out += text.substr(i);  // a bare "&": not XML, shows in the comparison
            break;
        }
        const std::string entity = text.substr(i + 1, end - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') out += static_cast<char>(std::stoi(entity.substr(1)));
        else out += "&" + entity + ";";  // not XML: shows in the comparison
        i = end + 1;
    }
    return out;
}

struct Element {
    std::string name, type, text;  // text unescaped
    bool operator==(const Element& o) const { return name == o.name && type == o.type && text == o.text; }
};

std::ostream& operator<<(std::ostream& out, const Element& e) {
    return out << e.name << " [" << e.type << "] " << e.text;
}

// An account file as Windows Live Mail writes one: byte order mark, UTF-16LE, CR LF after
// every line, the declaration, the root element, one element per line indented by four
// blanks with its type attribute, the closing root element. Returns the elements.
std::vector<Element> ReadAccountFile(const std::string& bytes, const std::string& what) {
    std::vector<Element> elements;
    EXPECT_GE(bytes.size(), 2u) << what;
    if (bytes.size() < 2) return elements;
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2)) << what << ": byte order mark";
    EXPECT_EQ(bytes.size() % 2, 0u) << what;
    const std::string text = Utf16ToAnsi(bytes, 2);
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        EXPECT_TRUE(at > from && text[at - 1] == '\r') << what << ": line break without CR";
        lines.push_back(text.substr(from, at - from - (at > from ? 1 : 0)));
    }
    EXPECT_EQ(from, text.size()) << what << ": text after the last line break";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), static_cast<std::ptrdiff_t>(lines.size())) << what;
    EXPECT_GE(lines.size(), 3u) << what;
    if (lines.size() < 3) return elements;
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"utf-16\" ?>") << what;
    EXPECT_EQ(lines[1], "<MessageAccount>") << what;
    EXPECT_EQ(lines.back(), "</MessageAccount>") << what;
    const std::regex line("    <([A-Za-z0-9_-]+) type=\"(SZ|DWORD|BINARY)\">([^<]*)</([A-Za-z0-9_-]+)>");
    for (size_t i = 2; i + 1 < lines.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(lines[i], m, line) || m[1] != m[4]) {
            ADD_FAILURE() << what << ": not an element line: " << lines[i];
            continue;
        }
        elements.push_back(Element{m[1], m[2], XmlUnescape(m[3])});
    }
    return elements;
}

std::string ElementText(const std::vector<Element>& elements, const std::string& name) {
    for (const Element& e : elements)
        if (e.name == name) return e.text;
    return "<none>";
}

// ---- outside tools (the native build only) -------------------------------------------------

#ifndef _WIN32
bool HaveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The command's standard output and exit code.
std::string Output(const std::string& command, int& rc) {
    std::string out;
    FILE* pipe = popen(("(" + command + ") 2>/dev/null").c_str(), "r");
    if (!pipe) {
        rc = -1;
        return out;
    }
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int status = pclose(pipe);
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}
#endif

// ---- the element table and the file's text ---------------------------------------------------

RegValue Sz(const std::string& name, const std::string& text) {
    RegValue v{name, RegType::Sz, Bytes(text.begin(), text.end())};
    v.data.push_back(0);
    return v;
}

RegValue Dword(const std::string& name, uint32_t number) {
    return RegValue{name, RegType::Dword,
                    Bytes{static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                          static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
}

RegValue Binary(const std::string& name, Bytes data) { return RegValue{name, RegType::Binary, std::move(data)}; }

// The element lines that AccountFileText makes of the values, without the frame.
std::vector<std::string> BodyLines(const std::vector<RegValue>& values) {
    const std::string text = AccountFileText(values);
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size());
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() < 3) return {};
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"utf-16\" ?>");
    EXPECT_EQ(lines[1], "<MessageAccount>");
    EXPECT_EQ(lines.back(), "</MessageAccount>");
    return std::vector<std::string>(lines.begin() + 2, lines.end() - 1);
}

TEST(AccountFileTest, EveryRowOfTheTableInItsOrder) {
    ASSERT_EQ(kAccountElementCount, 97u);
    // A value for every row that reads one, in the form the row reads, and the line each
    // row gives for it.
    std::vector<RegValue> values;
    std::vector<std::string> expected;
    for (size_t i = 0; i < kAccountElementCount; ++i) {
        const AccountElement& row = kAccountElements[i];
        // Passwords, certificates and the like stay behind: every binary row, and only they,
        // read nothing.
        EXPECT_EQ(row.form == AccountValueForm::None, std::string(row.type) == "BINARY") << row.element;
        if (row.form == AccountValueForm::None) {
            values.push_back(Binary(row.element, {1, 2, 3}));
            continue;
        }
        const uint32_t wanted = row.form == AccountValueForm::Text ? RegType::Sz : RegType::Dword;
        const auto same = std::find_if(values.begin(), values.end(),
                                       [&](const RegValue& v) { return SameText(v.name, row.source); });
        // One name has one type: of two rows reading it in both forms, one finds nothing.
        if (same != values.end() && same->type != wanted) continue;
        const size_t at = static_cast<size_t>(same - values.begin());
        if (same == values.end())
            values.push_back(row.form == AccountValueForm::Text ? Sz(row.source, "Wert " + std::to_string(i + 1))
                                                                : Dword(row.source, 0xabcd00 + static_cast<uint32_t>(i)));
        const RegValue& value = values[at];
        char number[16];
        std::snprintf(number, sizeof number, "%08x",
                      value.data[0] | value.data[1] << 8 | value.data[2] << 16 | value.data[3] << 24);
        const std::string text = wanted == RegType::Sz ? std::string(value.data.begin(), value.data.end() - 1) : number;
        const bool oneWord = std::regex_match(row.defaultText, std::regex("\\w+"));
        expected.push_back(std::string("    <") + row.element + " type=\"" + row.type + "\">" +
                           (oneWord ? text : row.defaultText) + "</" + row.element + ">");
    }
    EXPECT_EQ(BodyLines(values), expected);
}

TEST(AccountFileTest, RowsTakeWhatTheirFormAndTheirDefaultAllow) {
    const struct {
        const char* what;
        std::vector<RegValue> values;
        std::vector<std::string> lines;
    } cases[] = {
        {"a number in eight hex digits", {Dword("Connection Type", 3), Dword("POP3 Port", 995)},
         {"    <Connection_Type type=\"DWORD\">00000003</Connection_Type>",
          "    <POP3_Port type=\"DWORD\">000003e3</POP3_Port>"}},
        {"names compare without case", {Sz("pop3 server", "pop.example")},
         {"    <POP3_Server type=\"SZ\">pop.example</POP3_Server>"}},
        {"a text where a number is read, a number where a text is read",
         {Sz("POP3 Port", "110"), Dword("Account Name", 1)}, {}},
        {"an empty text", {Sz("Account Name", "")}, {}},
        {"the organisation is read as a number: a text never comes across",
         {Sz("SMTP Organization Name", "Firma"), Sz("NNTP Reply To Email Address", "a@b.example")}, {}},
        {"the root folder also gives the data directory", {Sz("IMAP Root Folder", "INBOX")},
         {"    <IMAP_Root_Folder type=\"SZ\">INBOX</IMAP_Root_Folder>",
          "    <IMAP_Data_Directory type=\"SZ\">INBOX</IMAP_Data_Directory>"}},
        {"a default of more than one word stays", 
         {Sz("IMAP Deleted Items Folder", "Papierkorb"), Sz("IMAP Junk E-mail Folder", "Spam"),
          Sz("IMAP Drafts Folder", "Entwürfe"), Sz("IMAP Sent Items Folder", "Gesendet")},
         {"    <IMAP_Drafts_Folder type=\"SZ\">Entwürfe</IMAP_Drafts_Folder>",
          "    <IMAP_Deleted_Items_Folder type=\"SZ\">Deleted Items</IMAP_Deleted_Items_Folder>",
          "    <IMAP_Junk_E-mail_Folder type=\"SZ\">Junk E-mail</IMAP_Junk_E-mail_Folder>"}},
        {"the resolve flag as a number", {Dword("LDAP Resolve Flag", 1)},
         {"    <LDAP_Resolve_Flag type=\"DWORD\">00000001</LDAP_Resolve_Flag>"}},
        {"the resolve flag as a text", {Sz("LDAP Resolve Flag", "1")},
         {"    <LDAP_Resolve_Flag type=\"DWORD\">1</LDAP_Resolve_Flag>"}},
        {"values that the table does not name", {Sz("HTTPMail Server", "http://x.example/"), Dword("LDAP Port", 389)},
         {}},
        {"the user name like every text: escaped for XML, blanks and umlauts as they are",
         {Sz("POP3 User Name", "Jürgen Müller & <Söhne>\xA0")},
         {"    <POP3_User_Name type=\"SZ\">Jürgen Müller &amp; &lt;Söhne&gt;\xA0</POP3_User_Name>"}},
    };
    for (const auto& c : cases) EXPECT_EQ(BodyLines(c.values), c.lines) << c.what;
}

TEST(AccountFileTest, XmlTextEscapesWhatXmlNeedsAndKeepsTheRest) {
    const struct {
        std::string value, xml;
    } cases[] = {
        {"a & b", "a &amp; b"},
        {"<tag>", "&lt;tag&gt;"},
        {"&amp;", "&amp;amp;"},
        {"Jürgen Müller", "Jürgen Müller"},
        {"ÄÖÜäöüß¡ÿ\xA0", "ÄÖÜäöüß¡ÿ\xA0"},
        {"\"Süd\" 'Nord'", "\"Süd\" 'Nord'"},
        {"Zeile 1\r\nZeile 2\tEnde", "Zeile 1&#13;&#10;Zeile 2&#9;Ende"},
        {std::string("a\x01\x1F" "b", 4), "ab"},
        {"]]>", "]]&gt;"},
        {"€ 5", "€ 5"},
    };
    for (const auto& c : cases) EXPECT_EQ(XmlText(c.value), c.xml) << c.value;
}

TEST(AccountFileTest, Utf16LittleEndianWithByteOrderMark) {
    const Bytes bytes = AnsiToUtf16File("Aä€\r\n");
    EXPECT_EQ(bytes, (Bytes{0xFF, 0xFE, 'A', 0, 0xE4, 0, 0xAC, 0x20, '\r', 0, '\n', 0}));
    // Every character of the code page round-trips through the reading above.
    std::string all;
    for (int c = 0x20; c < 0x100; ++c) all += static_cast<char>(c);
    const Bytes wide = AnsiToUtf16File(all);
    EXPECT_EQ(Utf16ToAnsi(std::string(wide.begin(), wide.end()), 2), all);
}

TEST(AccountFileTest, GuidsInRegistryForm) {
    const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    uint8_t zero[16] = {}, ones[16], counting[16];
    std::fill(std::begin(ones), std::end(ones), 0xFF);
    for (int i = 0; i < 16; ++i) counting[i] = static_cast<uint8_t>(0x10 * i + i);
    for (const auto* bytes : {&zero, &ones, &counting}) EXPECT_TRUE(std::regex_match(GuidText(*bytes), form)) << GuidText(*bytes);
    EXPECT_EQ(GuidText(counting), "{00112233-4455-4677-8899-AABBCCDDEEFF}");
    EXPECT_NE(GuidText(zero), GuidText(ones));
}

TEST(AccountFolderNameTest, OneSafeFolderNameOrNone) {
    const struct {
        std::string account, folder;
    } cases[] = {
        {"GMX (alt)", "GMX (alt)"},
        {"Hotmail (Jürgen's)", "Hotmail (Jürgen's)"},
        {"..\\..\\x", ".._.._x"},
        {"../../x", ".._.._x"},
        {"C:\\Windows", "C__Windows"},
        {"\\\\server\\share", "__server_share"},
        {"a/b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
        {"Büro \"Süd\"", "Büro _Süd_"},
        {"Zeile\r\nTab\tEnde", "Zeile__Tab_Ende"},
        {"Konto. . ", "Konto"},
        {" Konto", " Konto"},
        {"", ""},
        {".", ""},
        {"..", ""},
        {"...", ""},
        {"  ", ""},
        {"CON", "_CON"},
        {"con", "_con"},
        {"Nul", "_Nul"},
        {"PRN", "_PRN"},
        {"AUX ", "_AUX"},
        {"COM1", "_COM1"},
        {"lpt9", "_lpt9"},
        {"COM\xB9", "_COM\xB9"},
        {"nul.txt", "_nul.txt"},
        {"CON .x", "_CON .x"},
        {"CONIN$", "_CONIN$"},
        {"CON.", "_CON"},
        {"COM10", "COM10"},
        {"CONSOLE", "CONSOLE"},
        {"LPT", "LPT"},
        {"Mein CON", "Mein CON"},
    };
    for (const auto& c : cases) EXPECT_EQ(AccountFolderName(c.account), c.folder) << "\"" << c.account << "\"";
}

// ---- the snapshot -----------------------------------------------------------------------------

class RegSnapshotTest : public ::testing::Test {
protected:
    std::vector<RegSnapshotKey> Read(const std::string& text) {
        const std::string path = tp.TempDir() + "ACCOUNTS.OLS";
        EXPECT_TRUE(tp.WriteFile(path, text));
        return ReadRegSnapshot(tp.files(), tp.system(), path);
    }
    static std::string Text(const RegSnapshotKey& key, const std::string& name) {
        for (const RegValue& v : key.values)
            if (v.name == name && v.type == RegType::Sz) return std::string(v.data.begin(), v.data.end() - 1);
        return "<none>";
    }
    TestPlatform tp;
};

TEST_F(RegSnapshotTest, AKeyRunsToTheNextKeyLineWhateverItsValuesHold) {
    const std::vector<RegSnapshotKey> keys = Read(
        "REGEDIT4\r\n\r\n"
        "\"Account Name\"=\"vor jedem Schlüssel\"\r\n"
        "\r\n" + std::string(kAccountKey) + "00000001]\r\n"
        "\"Account Name\"=\"GMX (alt)\"\r\n"
        "\"HTTPMail Server\"=\"http://services.example/svcs/httpmail.asp\"\r\n"
        "\"SMTP Display Name\"=\"Jürgen's Konto; #1 + 50% ~ [alt] {neu}\"\r\n"
        "\"SMTP User Name\"=\"DOMAIN\\\\user\"\r\n"
        "\"IMAP Root Folder\"=\"Büro \\\"Süd\\\"\"\r\n"
        "\"Signature\"=\"Zeile 1\\r\\nZeile 2\"\r\n"
        "\"Connection Type\"=dword:00000003\r\n"
        "\"POP3 Password2\"=hex:01,02,\\\r\n  03\r\n"
        "\r\n" + std::string(kAccountKey) + "00000002]\r\n"
        "\"Account Name\"=\"Zweites\"\r\n");
    ASSERT_EQ(keys.size(), 2u);
    const RegSnapshotKey& first = keys[0];
    EXPECT_EQ(first.root, RegRoot::CurrentUser);
    EXPECT_EQ(first.path, std::string(kAccountKey).substr(19) + "00000001");
    ASSERT_EQ(first.values.size(), 8u);
    EXPECT_EQ(Text(first, "Account Name"), "GMX (alt)");
    EXPECT_EQ(Text(first, "HTTPMail Server"), "http://services.example/svcs/httpmail.asp");
    EXPECT_EQ(Text(first, "SMTP Display Name"), "Jürgen's Konto; #1 + 50% ~ [alt] {neu}");
    EXPECT_EQ(Text(first, "SMTP User Name"), "DOMAIN\\user");
    EXPECT_EQ(Text(first, "IMAP Root Folder"), "Büro \"Süd\"");
    EXPECT_EQ(Text(first, "Signature"), "Zeile 1\r\nZeile 2");
    EXPECT_EQ(first.values[6].type, RegType::Dword);
    EXPECT_EQ(first.values[7].data, (Bytes{1, 2, 3}));
    EXPECT_EQ(Text(keys[1], "Account Name"), "Zweites");
}

TEST_F(RegSnapshotTest, ASnapshotThatCannotBeReadToItsEndIsNotTakenAtAll) {
    const std::string good = std::string(kAccountKey) + "00000001]\r\n\"Account Name\"=\"Gut\"\r\n";
    for (const std::string& text :
         {std::string("Kein REGEDIT4\r\n") + good,
          "REGEDIT4\r\n" + good + "\"Account Name\"=\"ohne Ende\r\n",
          "REGEDIT4\r\n" + good + "\"Port\"=dword:zz\r\n",
          "REGEDIT4\r\n" + good + "Unsinn\r\n",
          "REGEDIT4\r\n" + good + "[HKEY_DYN_DATA\\x]\r\n"}) {
        EXPECT_ANY_THROW(Read(text)) << text;
    }
    EXPECT_THROW(ReadRegSnapshot(tp.files(), tp.system(), tp.TempDir() + "fehlt.OLS"), EFileReadError);
}

// ---- the account step -------------------------------------------------------------------------

struct StoreCase {
    const char* program;
    bool liveMail;
};

void PrintTo(const StoreCase& c, std::ostream* out) { *out << c.program; }

class AccountTransferTest : public ::testing::TestWithParam<StoreCase> {
protected:
    void SetUp() override {
        root = tp.TempDir();
        store = root + "Profil\\AppData\\" + GetParam().program + "\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), store));
        // Expanded as the program does: Windows Mail keeps the store root with a reference.
        tp.SetEnvironment("BVTESTPROFIL", ExcludeTrailingBackslash(root + "Profil"));
        const std::string value = std::string("%BVTESTPROFIL%\\AppData\\") + GetParam().program;
        Bytes data(value.begin(), value.end());
        data.push_back(0);
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, ProgramKey()), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, ProgramKey(), "Store Root", RegType::ExpandSz, data), 0);
        target.mailProgram = GetParam().program;
        target.tempFolder = root + "Temp\\";
    }

    std::string ProgramKey() const { return std::string("Software\\Microsoft\\") + GetParam().program; }
    bool LiveMail() const { return GetParam().liveMail; }
    // Where mail accounts go: Windows Mail's local folders (no store database here, so the
    // scanner's name for that case), Windows Live Mail's folder named after the account.
    std::string MailFolder(const std::string& accountFolder) const {
        return LiveMail() ? store + accountFolder + "\\" : store + "Local Folders\\";
    }

    // An archive holding one file of that name and content.
    std::string Archive(const std::string& content, const std::string& name = "ACCOUNTS.OLS",
                        const std::string& password = "") {
        const std::string src = root + "Quelle" + std::to_string(++archives) + "\\";
        EXPECT_TRUE(ForceDirectories(tp.files(), src));
        EXPECT_TRUE(tp.WriteFile(src + name, content));
        const std::string path = root + "Backup" + std::to_string(archives) + ".bvq";
        TZipWriter writer(tp.platform());
        writer.SetZipName(path);
        writer.SetPassword(password);
        writer.FilesList() = {src + name};
        EXPECT_EQ(writer.AddFiles(), 1);
        return path;
    }

    AccountTransferResult Transfer(const std::string& archive, const std::string& password = "") {
        TZipReader reader(tp.platform());
        reader.SetZipName(archive);
        reader.SetOverwriteMode(TOverwriteMode::Always);
        reader.SetPassword(password);
        reader.SetDestDir(root + "Entpackt");
        reader.ReadDirectory();
        AccountTransferResult result = TransferAccounts(tp.platform(), reader, target);
        // The run's own extraction settings are as it left them.
        EXPECT_EQ(reader.DestDir(), root + "Entpackt");
        EXPECT_EQ(reader.OverwriteMode(), TOverwriteMode::Always);
        return result;
    }

    std::map<std::string, std::string> Tree(const std::string& folder) { return test::FileTree(tp, folder); }

    // The account files of a folder, by their names.
    std::vector<std::string> AccountFiles(const std::string& folder) {
        std::vector<std::string> names;
        for (const FindEntry& e : tp.files().Find(folder + "*.oeaccount")) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    void Put(const std::string& path, const std::string& content = "alt") {
        ASSERT_TRUE(ForceDirectories(tp.files(), ExtractFilePath(path)));
        ASSERT_TRUE(tp.WriteFile(path, content));
    }

    // A REGEDIT4 snapshot of accounts, each given as its value lines.
    static std::string Snapshot(const std::vector<std::vector<std::string>>& accounts) {
        std::string text = "REGEDIT4\r\n";
        int number = 0;
        for (const auto& lines : accounts) {
            char key[16];
            std::snprintf(key, sizeof key, "%08d", ++number);
            text += "\r\n" + std::string(kAccountKey) + key + "]\r\n";
            for (const std::string& line : lines) text += line + "\r\n";
        }
        return text + "\r\n";
    }

    std::vector<RecordedMessage> Questions() {
        std::vector<RecordedMessage> asked;
        for (const RecordedMessage& m : tp.prompter().messages)
            if (m.style == kQuestionStyle) asked.push_back(m);
        return asked;
    }
    std::vector<std::string> Errors() {
        std::vector<std::string> errors;
        for (const RecordedMessage& m : tp.prompter().messages)
            if (m.style != kQuestionStyle) errors.push_back(m.text);
        return errors;
    }

    TestPlatform tp;
    std::string root, store;
    TransferTarget target;
    int archives = 0;
};

INSTANTIATE_TEST_SUITE_P(BothPrograms, AccountTransferTest,
                         ::testing::Values(StoreCase{"Windows Mail", false}, StoreCase{"Windows Live Mail", true}),
                         [](const ::testing::TestParamInfo<StoreCase>& info) {
                             return std::string(info.param.liveMail ? "WindowsLiveMail" : "WindowsMail");
                         });

// A backup that our own backup run made of a generated identity: one account of every kind.
class BackedUpIdentity {
public:
    BackedUpIdentity(TestPlatform& tp, const std::string& base) {
        test::OeIdentityOptions options;
        options.places = test::OePlaces::Below(base + "OE");
        options.storeFolder = base + "OE\\Store";
        options.with = test::OeGroups::None();
        options.with.accounts = true;
        options.mailFolders.clear();
        identity = test::OeIdentityBuilder(tp.platform()).Build(options);
        AddFixtureAccounts(tp);

        TIdentitaet chosen;
        for (const TIdentitaet& i : TIdentityScanner(tp.platform()).ListIdentities())
            if (i.KeyName == identity.keyName) chosen = i;
        EXPECT_EQ(chosen.KeyName, identity.keyName);
        BackupOptions o;
        o.identity = chosen;
        o.backupFolder = base + "Sicherungen";
        o.backupName = "Konten";
        o.save[CBSave2] = true;  // accounts only
        test::RecordingView view;
        BackupRun run(tp.platform(), view, o);
        const BackupOutcome outcome = run.Execute();
        EXPECT_TRUE(outcome.succeeded) << outcome.statusText;
        archive = run.ArchivePath();
    }

    // The accounts of the Windows Live Mail files in tests/fixtures/oeaccount as Outlook
    // Express keeps them: each element's name with blanks for "_" is the value's name, a
    // DWORD element a number unless its text is no hex number (Outlook Express keeps a text).
    void AddFixtureAccounts(TestPlatform& tp) {
        int number = 10;
        for (const char* fixture : {"pop3.test.test\\account{D244}.oeaccount",
                                    "donhallimap\\donhallimap{testimap}.oeaccount",
                                    "donhallnntp\\donhallnntp{testnntp}.oeaccount",
                                    "news.mozilla.org\\account{B3B3}.oeaccount"}) {
            const std::string key = identity.identityKey + kIam + "\\Accounts\\000000" + std::to_string(++number);
            EXPECT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, key), 0);
            const std::string bytes = tp.ReadFile(TestPlatform::FixturePath(std::string("oeaccount\\") + fixture));
            for (const Element& e : ReadAccountFile(bytes, fixture)) {
                std::string name = e.name;
                std::replace(name.begin(), name.end(), '_', ' ');
                RegValue value = Sz(name, e.text);
                if (e.type == "DWORD" && std::regex_match(e.text, std::regex("[0-9a-fA-F]{1,8}")))
                    value = Dword(name, static_cast<uint32_t>(std::stoul(e.text, nullptr, 16)));
                if (e.type == "BINARY") {
                    Bytes data;
                    for (size_t i = 0; i + 1 < e.text.size(); i += 2)
                        data.push_back(static_cast<uint8_t>(std::stoul(e.text.substr(i, 2), nullptr, 16)));
                    value = Binary(name, data);
                }
                EXPECT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, key, value.name, value.type, value.data), 0);
            }
            fixtures[fixture] = bytes;
        }
    }

    test::OeIdentity identity;
    std::string archive;
    std::map<std::string, std::string> fixtures;  // fixture name -> its bytes
};

TEST_P(AccountTransferTest, BackupOfAGeneratedIdentityGivesEveryAccountItsFileAndFolder) {
    BackedUpIdentity backup(tp, root);
    const AccountTransferResult result = Transfer(backup.archive);
    EXPECT_TRUE(result.snapshotFound);
    EXPECT_TRUE(result.specialAccountsConverted);
    EXPECT_FALSE(result.accountsReplaced);
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(tp.prompter().messages.empty());

    // Every file written, by the account it holds.
    std::map<std::string, std::vector<Element>> byAccount;
    std::map<std::string, std::string> folderOf;
    const std::regex fileName("account\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}\\.oeaccount");
    for (const std::string& path : result.accountFiles) {
        EXPECT_TRUE(std::regex_match(ExtractFileName(path), fileName)) << path;
        const std::vector<Element> elements = ReadAccountFile(tp.ReadFile(path), path);
        const std::string name = ElementText(elements, "Account_Name");
        EXPECT_EQ(byAccount.count(name), 0u) << name;
        byAccount[name] = elements;
        folderOf[name] = ExtractFilePath(path);
    }
    const std::map<std::string, std::string> folders = {
        {"Müller (example.org)", MailFolder("Müller (example.org)")},
        {"news.example.com", store + "news.example.com\\"},
        {"Büro \"Süd\"", store + "Büro _Süd_\\"},
        {"Hotmail (Jürgen's)", MailFolder("Hotmail (Jürgen's)")},
        {"Firmenverzeichnis", store},
        {"testpopaccountname", MailFolder("testpopaccountname")},
        {"donhallimap", store + "donhallimap\\"},
        {"donhallnntp", store + "donhallnntp\\"},
        {"accountnamemozillanews", store + "accountnamemozillanews\\"}};
    EXPECT_EQ(folderOf, folders);
    // Nothing else was written into the store.
    size_t files = 0;
    for (const auto& [path, content] : Tree(store))
        if (content != "<Ordner>") ++files;
    EXPECT_EQ(files, folders.size());

    const auto sz = [](const char* name, const std::string& text) { return Element{name, "SZ", text}; };
    const auto dword = [](const char* name, const std::string& text) { return Element{name, "DWORD", text}; };
    EXPECT_EQ(byAccount["Müller (example.org)"],
              (std::vector<Element>{sz("Account_Name", "Müller (example.org)"), dword("Connection_Type", "00000003"),
                                    sz("POP3_Server", "pop3.example.org"), sz("POP3_User_Name", "juergen.mueller"),
                                    sz("SMTP_Server", "smtp.example.org"), sz("SMTP_Display_Name", "Jürgen Müller"),
                                    sz("SMTP_Email_Address", "juergen.mueller@example.org"),
                                    dword("POP3_Port", "0000006e"), dword("Leave_Mail_On_Server", "00000000"),
                                    dword("SMTP_Port", "00000019")}));
    EXPECT_EQ(byAccount["news.example.com"],
              (std::vector<Element>{sz("Account_Name", "news.example.com"), dword("Connection_Type", "00000003"),
                                    sz("NNTP_Server", "news.example.com"), sz("NNTP_Display_Name", "Jürgen Müller"),
                                    sz("NNTP_Email_Address", "juergen.mueller@example.org"),
                                    dword("NNTP_Port", "00000077")}));
    EXPECT_EQ(byAccount["Büro \"Süd\""],
              (std::vector<Element>{sz("Account_Name", "Büro \"Süd\""), dword("Connection_Type", "00000003"),
                                    sz("IMAP_Server", "imap.example.net"), sz("IMAP_User_Name", "buero-sued"),
                                    dword("IMAP_Port", "0000008f"), sz("IMAP_Root_Folder", "INBOX\\Büro"),
                                    sz("IMAP_Data_Directory", "INBOX\\Büro")}));
    // Values after the address with its "/" and after the apostrophe are all there.
    EXPECT_EQ(byAccount["Hotmail (Jürgen's)"],
              (std::vector<Element>{sz("Account_Name", "Hotmail (Jürgen's)"), dword("Connection_Type", "00000003"),
                                    sz("SMTP_Display_Name", "Jürgen Müller"),
                                    sz("SMTP_Email_Address", "juergen@hotmail.example"),
                                    sz("SMTP_User_Name", "EXAMPLE\\jmueller")}));
    EXPECT_EQ(byAccount["Firmenverzeichnis"],
              (std::vector<Element>{sz("Account_Name", "Firmenverzeichnis"), sz("LDAP_Server", "ldap.example.org"),
                                    dword("LDAP_Search_Return", "00000064"), dword("LDAP_Timeout", "0000003c"),
                                    sz("LDAP_Search_Base", "o=Müller & Söhne <Zentrale>, c=DE"),
                                    dword("LDAP_Resolve_Flag", "00000001")}));
}

// The accounts of the Windows Live Mail files, through backup and transfer, come out as the
// same elements with the same types and values. Where they do not, the table says so.
TEST_P(AccountTransferTest, ConvertedAccountsMatchWhatWindowsLiveMailWrites) {
    BackedUpIdentity backup(tp, root);
    const AccountTransferResult result = Transfer(backup.archive);
    const struct {
        const char* fixture;
        const char* account;
        std::set<std::string> notCarried;  // fixture elements the table does not take over
        std::set<std::string> added;       // elements the table writes beyond the fixture
    } kinds[] = {
        {"pop3.test.test\\account{D244}.oeaccount", "testpopaccountname", {}, {}},
        // SMTP_Organization_Name is read as a number; the sent items' value name has an "_".
        {"donhallimap\\donhallimap{testimap}.oeaccount", "donhallimap",
         {"SMTP_Organization_Name", "IMAP_Sent_Items_Folder"}, {"IMAP_Data_Directory"}},
        // The reply address is read as a number.
        {"donhallnntp\\donhallnntp{testnntp}.oeaccount", "donhallnntp", {"NNTP_Reply_To_Email_Address"}, {}},
        // Binary data stays behind.
        {"news.mozilla.org\\account{B3B3}.oeaccount", "accountnamemozillanews", {"Last_Updated"}, {}},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.fixture);
        const std::vector<Element> theirs = ReadAccountFile(backup.fixtures[kind.fixture], kind.fixture);
        std::vector<Element> ours;
        for (const std::string& path : result.accountFiles) {
            const std::vector<Element> elements = ReadAccountFile(tp.ReadFile(path), path);
            if (ElementText(elements, "Account_Name") == kind.account) ours = elements;
        }
        ASSERT_FALSE(ours.empty());
        std::map<std::string, Element> ourByName;
        for (const Element& e : ours) ourByName[e.name] = e;
        std::set<std::string> theirNames;
        for (const Element& e : theirs) {
            theirNames.insert(e.name);
            if (kind.notCarried.count(e.name)) {
                EXPECT_EQ(ourByName.count(e.name), 0u) << e.name;
                continue;
            }
            ASSERT_EQ(ourByName.count(e.name), 1u) << "missing: " << e;
            const Element& mine = ourByName[e.name];
            EXPECT_EQ(mine.type, e.type) << e.name;
            if (e.type == "DWORD")
                EXPECT_EQ(std::stoul(mine.text, nullptr, 16), std::stoul(e.text, nullptr, 16)) << e.name;
            else
                EXPECT_EQ(mine.text, e.text) << e.name;
        }
        for (const Element& e : ours)
            EXPECT_TRUE(theirNames.count(e.name) || kind.added.count(e.name)) << "more than theirs: " << e;
    }
}

#ifndef _WIN32
// An XML parser reads the files and gets back every value as Outlook Express kept it.
TEST_P(AccountTransferTest, AnXmlParserReadsTheFilesAndTheirValues) {
    if (!HaveTool("xmllint") || !HaveTool("iconv")) GTEST_SKIP() << "xmllint or iconv is not installed";
    const std::string odd = "Jürgen Müller & <Söhne> \"Süd\" 'Nord' ¡¿ÿ €";
    const std::string archive = Archive(Snapshot(
        {{"\"Account Name\"=\"Sonderzeichen & Co\"", "\"POP3 Server\"=\"pop.example\"",
          "\"POP3 User Name\"=\"" + std::string("Jürgen Müller & <Söhne> \\\"Süd\\\" 'Nord' ¡¿ÿ €") + "\"",
          "\"SMTP Signature\"=\"Zeile 1\\r\\nZeile 2\"", "\"SMTP User Name\"=\"DOMAIN\\\\user\""}}));
    BackedUpIdentity backup(tp, root);
    std::vector<std::string> files = Transfer(backup.archive).accountFiles;
    const AccountTransferResult crafted = Transfer(archive);
    ASSERT_EQ(crafted.accountFiles.size(), 1u);
    files.push_back(crafted.accountFiles[0]);
    for (const std::string& path : files) {
        const std::string host = Quote(tp.HostPath(path));
        int rc = -1;
        Output("iconv -f UTF-16 -t UTF-8 " + host, rc);
        EXPECT_EQ(rc, 0) << path << ": not UTF-16";
        Output("xmllint --noout " + host, rc);
        EXPECT_EQ(rc, 0) << path << ": not well-formed XML";
        // What the parser reads is what the file's lines say, element by element.
        for (const Element& e : ReadAccountFile(tp.ReadFile(path), path)) {
            const std::string read = Output("xmllint --xpath 'string(/MessageAccount/" + e.name + ")' " + host, rc);
            EXPECT_EQ(rc, 0) << path << " " << e.name;
            EXPECT_EQ(Utf8ToAnsi(read.substr(0, read.find_last_not_of('\n') + 1)), e.text) << path << " " << e.name;
        }
    }
    const std::string host = Quote(tp.HostPath(crafted.accountFiles[0]));
    int rc = -1;
    const auto value = [&](const std::string& element) {
        std::string read = Output("xmllint --xpath 'string(/MessageAccount/" + element + ")' " + host, rc);
        while (!read.empty() && read.back() == '\n') read.pop_back();
        return Utf8ToAnsi(read);
    };
    EXPECT_EQ(value("POP3_User_Name"), odd);
    EXPECT_EQ(value("SMTP_User_Name"), "DOMAIN\\user");
    EXPECT_EQ(value("Account_Name"), "Sonderzeichen & Co");
    // Line breaks written as references are not normalised away by the parser.
    EXPECT_EQ(value("SMTP_Signature"), "Zeile 1\r\nZeile 2");
}
#endif

TEST_P(AccountTransferTest, ACraftedSnapshotWritesAndDeletesOnlyInsideTheStore) {
    // Files an unsafe transfer would reach: where "..\..\x" leads from the store root, the
    // store root's parent, a twin of the store root and a folder beside it.
    const std::string profil = root + "Profil\\";
    Put(profil + "x\\account{OPFER}.oeaccount");
    Put(profil + "AppData\\account{ELTERN}.oeaccount");
    Put(profil + "AppData\\" + GetParam().program + " (1)\\account{ZWILLING}.oeaccount");
    Put(profil + "Windows\\account{WINDOWS}.oeaccount");
    Put(store + "account{ALT}.oeaccount");
    tp.prompter().answers = {MsgResult::Yes, MsgResult::Yes};
    const std::string text =
        "REGEDIT4\r\n\r\n"
        "\"Account Name\"=\"..\\\\..\\\\Windows\"\r\n"
        "\"IMAP Server\"=\"vor.jedem.schluessel\"\r\n" +
        Snapshot({{"\"Account Name\"=\"..\\\\..\\\\x\"", "\"IMAP Server\"=\"a.example\""},
                  {"\"Account Name\"=\"CON\"", "\"NNTP Server\"=\"b.example\""},
                  {"\"Account Name\"=\"..\"", "\"IMAP Server\"=\"c.example\""},
                  {"\"Account Name\"=\"C:\\\\Windows\"", "\"NNTP Server\"=\"d.example\""},
                  {"\"Account Name\"=\"\\\\\\\\server\\\\share\"", "\"IMAP Server\"=\"e.example\""},
                  {"\"Account Name\"=\". .\"", "\"POP3 Server\"=\"f.example\""},
                  {"\"Account Name\"=\"nul.txt\"", "\"POP3 Server\"=\"g.example\""}}).substr(10);
    const std::string archive = Archive(text);
    // On the POSIX backend the whole machine is the test's own; on Windows its folder.
    const std::string machine = tp.Posix() ? std::string("C:\\") : root;
    const std::map<std::string, std::string> before = Tree(machine);

    const AccountTransferResult result = Transfer(archive);
    EXPECT_EQ(Questions().size(), 1u);
    EXPECT_TRUE(result.accountsReplaced);
    EXPECT_TRUE(result.specialAccountsConverted);
    EXPECT_EQ(Errors(), std::vector<std::string>{});
    EXPECT_EQ(result.accountFiles.size(), 7u);

    const std::map<std::string, std::string> after = Tree(machine);
    std::set<std::string> added, removed;
    for (const auto& [path, content] : after) {
        const auto old = before.find(path);
        if (old == before.end()) added.insert(path);
        else EXPECT_EQ(content, old->second) << path << " changed";
    }
    for (const auto& [path, content] : before)
        if (!after.count(path)) removed.insert(path);
    EXPECT_EQ(removed, std::set<std::string>{store + "account{ALT}.oeaccount"});

    // New: the unpacked snapshot, and account files each in a folder of the store.
    std::set<std::string> folders;
    for (const std::string& path : added) {
        if (path == target.tempFolder || path == target.tempFolder + "ACCOUNTS.OLS") continue;
        if (path.back() == '\\') {
            folders.insert(path);
            continue;
        }
        EXPECT_EQ(ExtractFileExt(path), ".oeaccount") << path;
        EXPECT_EQ(path.compare(0, store.size(), store), 0) << path << " is outside the store";
    }
    std::set<std::string> expected = {store + ".._.._x\\", store + "_CON\\", store + "IMAP\\",
                                      store + "C__Windows\\", store + "__server_share\\"};
    expected.insert(LiveMail() ? store + "_nul.txt\\" : store + "Local Folders\\");
    EXPECT_EQ(folders, expected);
    // ". ." leaves nothing of a name: in Windows Live Mail that mail account lies in the root.
    EXPECT_EQ(AccountFiles(store).size(), LiveMail() ? 1u : 0u);
    EXPECT_EQ(AccountFiles(LiveMail() ? store + "_nul.txt\\" : store + "Local Folders\\").size(), LiveMail() ? 1u : 2u);
}

#ifndef _WIN32
TEST_P(AccountTransferTest, AnAccountFolderThatLeadsElsewhereIsNeitherClearedNorWritten) {
    const std::string outside = root + "Draussen\\";
    Put(outside + "account{DRAUSSEN}.oeaccount");
    ASSERT_EQ(symlink(tp.HostPath(ExcludeTrailingBackslash(outside)).c_str(),
                      tp.HostPath(store + "GMX").c_str()),
              0);
    Put(store + "account{ALT}.oeaccount");
    tp.prompter().answers = {MsgResult::Yes};
    const AccountTransferResult result =
        Transfer(Archive(Snapshot({{"\"Account Name\"=\"GMX\"", "\"IMAP Server\"=\"imap.gmx.example\""}})));
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.accountFiles.empty());
    EXPECT_EQ(AccountFiles(outside), std::vector<std::string>{"account{DRAUSSEN}.oeaccount"});
    EXPECT_EQ(Errors(), std::vector<std::string>{"Das E-Mail-Konto GMX konnte nicht übertragen werden!"});
}
#endif

// Windows Mail names its local folders folder in its store database; that name is outside
// input as well. Windows Live Mail keeps mail accounts in folders of their own.
TEST_P(AccountTransferTest, TheStoreDatabaseNamesTheLocalFoldersFolder) {
    const struct {
        std::u16string localFolder;  // of the store's local store record
        std::string folder;          // where Windows Mail gets the mail account
    } cases[] = {
        {u"Lokale Ordner", "Lokale Ordner\\"},
        {u"..\\..\\Drau\u00DFen", ".._.._Draußen\\"},
        {u"CON", "_CON\\"},
        {u"", ""},  // a local store without a folder: the store root
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        test::WmRecord local;
        local.id = 0x0001;
        local.name = "Lokale Ordner";
        local.text = u"Speicher";
        local.kind = "LocalStore";
        local.localFolder = c.localFolder;
        test::WmStoreWriter writer;
        writer.AddRecord(writer.AddPage(), local);
        ASSERT_TRUE(writer.WriteTo(tp.files(), store + "WindowsMail.MSMessageStore"));
        const AccountTransferResult result =
            Transfer(Archive(Snapshot({{"\"Account Name\"=\"GMX\"", "\"POP3 Server\"=\"pop.gmx.example\""}})));
        ASSERT_EQ(result.accountFiles.size(), 1u);
        EXPECT_EQ(ExtractFilePath(result.accountFiles[0]), LiveMail() ? store + "GMX\\" : store + c.folder);
        ASSERT_TRUE(tp.files().DeleteFile(result.accountFiles[0]));
    }
    EXPECT_TRUE(tp.prompter().messages.empty());
}

struct ReplaceCase {
    const char* what;
    bool liveMail;
    std::vector<std::string> existing;  // below the store root; "..\" for its parent
    int answer;                         // 0: no question expected
    std::vector<std::string> kept;      // of `existing`
};

// A mail account "GMX" and two IMAP accounts without a name, into stores that hold account
// files already.
TEST_P(AccountTransferTest, TheReplaceQuestionAndWhatEachAnswerDeletes) {
    const ReplaceCase cases[] = {
        {"local folders, Ja", false, {"Local Folders\\account{A}.oeaccount", "account{B}.oeaccount"},
         MsgResult::Yes, {}},
        {"local folders, Nein", false, {"Local Folders\\account{A}.oeaccount", "account{B}.oeaccount"},
         MsgResult::No, {"Local Folders\\account{A}.oeaccount", "account{B}.oeaccount"}},
        {"IMAP folder, Ja", false, {"account{B}.oeaccount", "IMAP\\account{C}.oeaccount", "IMAP (2)\\account{D}.oeaccount"},
         MsgResult::Yes, {}},
        {"only in an account's folder: no question", false, {"GMX\\account{E}.oeaccount"}, 0,
         {"GMX\\account{E}.oeaccount"}},
        {"other files stay", false, {"account{B}.oeaccount", "Local Folders\\notiz.txt", "Local Folders\\x.oeaccount.bak"},
         MsgResult::Yes, {"Local Folders\\notiz.txt", "Local Folders\\x.oeaccount.bak"}},
        {"twins 1 to 99, Ja", true,
         {"account{R}.oeaccount", "GMX\\account{G}.oeaccount", "GMX (1)\\account{G1}.oeaccount",
          "GMX (99)\\account{G99}.oeaccount", "GMX (100)\\account{G100}.oeaccount", "GMX (x)\\account{GX}.oeaccount",
          "GMXX (1)\\account{GMXX}.oeaccount", "Anderes\\account{O}.oeaccount"},
         MsgResult::Yes,
         {"GMX (100)\\account{G100}.oeaccount", "GMX (x)\\account{GX}.oeaccount", "GMXX (1)\\account{GMXX}.oeaccount",
          "Anderes\\account{O}.oeaccount"}},
        {"twins, Nein", true, {"account{R}.oeaccount", "GMX\\account{G}.oeaccount", "GMX (1)\\account{G1}.oeaccount"},
         MsgResult::No, {"account{R}.oeaccount", "GMX\\account{G}.oeaccount", "GMX (1)\\account{G1}.oeaccount"}},
        {"only in an account's folder: no question", true, {"GMX\\account{G}.oeaccount"}, 0, {"GMX\\account{G}.oeaccount"}},
        {"the store root's parent is asked about but never cleared", true, {"..\\account{P}.oeaccount"},
         MsgResult::Yes, {"..\\account{P}.oeaccount"}},
    };
    int round = 0;
    for (const ReplaceCase& c : cases) {
        if (c.liveMail != LiveMail()) continue;
        SCOPED_TRACE(c.what);
        // A store of its own for every case.
        store = root + "Runde" + std::to_string(++round) + "\\AppData\\" + GetParam().program + "\\";
        std::string value = store;
        Bytes data(value.begin(), value.end());
        data.push_back(0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, ProgramKey(), "Store Root", RegType::Sz, data), 0);
        const auto full = [&](const std::string& relative) {
            return relative.compare(0, 3, "..\\") == 0 ? ExtractFilePath(ExcludeTrailingBackslash(store)) + relative.substr(3)
                                                       : store + relative;
        };
        for (const std::string& file : c.existing) Put(full(file));
        tp.prompter().messages.clear();
        tp.prompter().answers = {c.answer ? c.answer : MsgResult::Yes};

        const AccountTransferResult result = Transfer(Archive(Snapshot(
            {{"\"Account Name\"=\"GMX\"", "\"POP3 Server\"=\"pop.gmx.example\""},
             {"\"IMAP Server\"=\"imap1.example\""},
             {"\"IMAP Server\"=\"imap2.example\""}})));

        const std::vector<RecordedMessage> asked = Questions();
        ASSERT_EQ(asked.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(asked[0].text, kQuestion);
            EXPECT_EQ(asked[0].caption, "Brevisto");
        }
        EXPECT_EQ(result.accountsReplaced, c.answer == MsgResult::Yes);
        EXPECT_TRUE(Errors().empty());
        for (const std::string& file : c.existing) {
            const bool keep = std::find(c.kept.begin(), c.kept.end(), file) != c.kept.end();
            EXPECT_EQ(FileExists(tp.files(), full(file)), keep) << file;
        }
        // The new accounts are all there, the two IMAP accounts in one folder side by side.
        ASSERT_EQ(result.accountFiles.size(), 3u);
        for (const std::string& path : result.accountFiles) EXPECT_TRUE(FileExists(tp.files(), path)) << path;
        EXPECT_EQ(ExtractFilePath(result.accountFiles[0]), MailFolder("GMX"));
        EXPECT_EQ(ExtractFilePath(result.accountFiles[1]), store + "IMAP\\");
        EXPECT_EQ(ExtractFilePath(result.accountFiles[2]), store + "IMAP\\");
        EXPECT_NE(result.accountFiles[1], result.accountFiles[2]);
    }
}

TEST_P(AccountTransferTest, TheQuestionComesAgainForEveryArchiveOfTheRun) {
    const std::string first = Archive(Snapshot({{"\"Account Name\"=\"Erstes\"", "\"NNTP Server\"=\"news.example\""}}));
    const std::string update = Archive(Snapshot({{"\"Account Name\"=\"Erstes\"", "\"NNTP Server\"=\"news2.example\""}}));
    tp.prompter().answers = {MsgResult::Yes, MsgResult::No};
    const AccountTransferResult one = Transfer(first);
    EXPECT_TRUE(Questions().empty());  // nothing there yet
    EXPECT_FALSE(one.accountsReplaced);
    ASSERT_EQ(one.accountFiles.size(), 1u);

    // Windows Mail asks about its local folders and the root, Windows Live Mail about the
    // root and its parent: an account file there makes the next archive ask.
    Put(store + "account{ALT}.oeaccount");
    const AccountTransferResult two = Transfer(update);
    EXPECT_EQ(Questions().size(), 1u);
    EXPECT_TRUE(two.accountsReplaced);
    EXPECT_FALSE(FileExists(tp.files(), one.accountFiles[0]));  // replaced by the update's
    ASSERT_EQ(two.accountFiles.size(), 1u);
    EXPECT_EQ(ExtractFilePath(two.accountFiles[0]), store + "Erstes\\");

    Put(store + "account{ALT}.oeaccount");
    const AccountTransferResult three = Transfer(update);
    EXPECT_EQ(Questions().size(), 2u);
    EXPECT_FALSE(three.accountsReplaced);
    EXPECT_EQ(AccountFiles(store + "Erstes\\").size(), 2u);
}

TEST_P(AccountTransferTest, WithoutAnAccountSnapshotNothingHappens) {
    Put(store + "account{ALT}.oeaccount");
    const AccountTransferResult result = Transfer(Archive("REGEDIT4\r\n", "FILTERS.OLS"));
    EXPECT_FALSE(result.snapshotFound);
    EXPECT_TRUE(tp.prompter().messages.empty());
    EXPECT_TRUE(FileExists(tp.files(), store + "account{ALT}.oeaccount"));
    EXPECT_FALSE(FileExists(tp.files(), target.tempFolder + "FILTERS.OLS"));
}

TEST_P(AccountTransferTest, ASnapshotThatCannotBeUnpackedOrReadChangesNothing) {
    Put(store + "account{ALT}.oeaccount");
    const std::string good = Snapshot({{"\"Account Name\"=\"Gut\"", "\"IMAP Server\"=\"imap.example\""}});
    // A copy of an earlier archive's snapshot is never read in place of this one.
    Put(target.tempFolder + "ACCOUNTS.OLS", good);
    const struct {
        const char* what;
        std::string archive;
        std::string password;
    } cases[] = {
        {"wrong password", Archive(good, "ACCOUNTS.OLS", "geheim"), "falsch"},
        {"damaged in the middle", Archive(good + "Unsinn\r\n" + good), ""},
        {"no REGEDIT4 file", Archive("<html>", "ACCOUNTS.OLS"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tp.prompter().messages.clear();
        tp.prompter().answers = {MsgResult::Yes};
        const AccountTransferResult result = Transfer(c.archive, c.password);
        EXPECT_TRUE(result.snapshotFound);
        EXPECT_TRUE(result.failed);
        EXPECT_TRUE(result.accountFiles.empty());
        ASSERT_EQ(tp.prompter().messages.size(), 1u);
        EXPECT_EQ(tp.prompter().messages[0].text, "Datei ACCOUNTS.OLS konnte nicht eingespielt werden!");
        EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
        EXPECT_EQ(tp.prompter().messages[0].style, kErrorStyle);
        EXPECT_TRUE(FileExists(tp.files(), store + "account{ALT}.oeaccount"));
        EXPECT_FALSE(DirectoryExists(tp.files(), store + "Gut"));
    }
}

TEST_P(AccountTransferTest, WithoutAStoreRootNothingIsWritten) {
    ASSERT_EQ(tp.registry().DeleteValue(RegRoot::CurrentUser, ProgramKey(), "Store Root"), 0);
    const std::string cwd = tp.files().CurrentDirectory();
    const AccountTransferResult result =
        Transfer(Archive(Snapshot({{"\"Account Name\"=\"Irgendwo\"", "\"IMAP Server\"=\"imap.example\""}})));
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.accountFiles.empty());
    EXPECT_FALSE(DirectoryExists(tp.files(), IncludeTrailingBackslash(cwd) + "Irgendwo"));
    EXPECT_EQ(Errors(), std::vector<std::string>{"Der Speicherordner von " + std::string(GetParam().program) +
                                                 " wurde nicht gefunden.\rDie E-Mail-Konten können nicht "
                                                 "übertragen werden."});
}

TEST_P(AccountTransferTest, TheNoteNamesTheStoreRootAndOpens) {
    const std::string folder = root + "Desktop\\Brevisto-Daten";
    ASSERT_TRUE(WriteConvertedAccountsNote(tp.platform(), target, folder));
    const std::string path = folder + "\\_Wichtig - Bitte lesen_.htm";
    const std::string expected =
        "<html><head><title>Wichtig! Bitte lesen...</title> \r\n<style type=\"text/css\"><!--\r\n"
        "body { font: 10pt Verdana,Arial,helvetica,sans-serif; color: black; }\r\n"
        "h2 {\tcolor: #554FA0; font-size:18pt; background-color: #EEECF6; background-position: center left;\r\n"
        "      padding: 7px; border: dotted 1px #D6CCBD; border-right: 0; border-left: 0; }\r\n"
        "h3 {\tcolor: #554FA0; font-size:12pt; padding: 3px; border-bottom: solid 1px #D6CCBD; }\r\n"
        "--></style>\r\n</head><body>\r\n<h2>Wichtig! Bitte lesen...</h2>\r\n\r\n"
        "<h3>Umwandeln der Mail-Kontodaten</h3>\r\n<p>Neben den normalen POP3-Mailkontodaten wurden auch "
        "IMAP-Konten und Newsgroupkonten in das neue Format konvertiert.<p>Da diese Konten nicht eindeutig "
        "zugeordnet werden können, wurden die Dateien im Ordner<br><a href=\"file://localhost/" + store +
        "\" target=\"_blank\">" + store + "</a><br>\r\nabgelegt. Um diese Kontoeinstellungen nutzen zu können, "
        "müssen Sie aus diesem Ordner die Dateien mit der Endung <b>*.oeaccount</b> in die entsprechenden "
        "Newsgroup-und IMAP-Ordner verschieben.</p>\r\n</body></html>\r\n";
    EXPECT_EQ(tp.ReadFile(path), expected);
    if (tp.Posix()) {
        EXPECT_EQ(tp.Posix()->shell.openedDocuments, std::vector<std::string>{path});
    }

    // A store root with characters HTML gives a meaning to, and no "%s" taken for a place holder.
    const std::string odd = root + "Müller & Söhne %s <1>\\";
    Bytes data(odd.begin(), odd.end());
    data.push_back(0);
    ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, ProgramKey(), "Store Root", RegType::Sz, data), 0);
    ASSERT_TRUE(WriteConvertedAccountsNote(tp.platform(), target, folder));
    const std::string escaped = root + "Müller &amp; Söhne %s &lt;1&gt;\\";
    EXPECT_NE(tp.ReadFile(path).find("<a href=\"file://localhost/" + escaped + "\" target=\"_blank\">" + escaped +
                                     "</a>"),
              std::string::npos);
}

}  // namespace
}  // namespace bv
