// Rules, blocked senders, signatures and stationery lists of a backup, carried into the
// registry of Windows Mail and Windows Live Mail: the rewriting of the snapshots, the
// clean-up of the junk-mail lists, and whole runs from archives of the backup engine.
#include "brevisto/transfer/settings_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/regfile/ex_registry.h"
#include "brevisto/settings/settings_store.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const char kOe[] = "\\Software\\Microsoft\\Outlook Express\\5.0";
const char kIdentity[] = "[HKEY_CURRENT_USER\\Identities\\{0A1B2C3D-0000-4000-8000-00000000ABCD}";

std::string HexOf(const Bytes& data) {
    std::string out;
    char buffer[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
        out += (i ? "," : "") + std::string(buffer);
    }
    return out;
}

Bytes TextBytes(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

Bytes Dword(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// What Windows Mail keeps for a criteria text: a zero byte after every byte.
Bytes Widened(const Bytes& data) {
    Bytes out;
    for (uint8_t b : data) {
        out.push_back(b);
        out.push_back(0);
    }
    return out;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

// Every key and value of a subtree, one line each, sorted: two listings compare as texts.
void ListKeys(Registry& r, RegRoot root, const std::string& rootName, const std::string& path,
              std::vector<std::string>& out) {
    const std::string here = rootName + (path.empty() ? "" : "\\" + path);
    out.push_back(here);
    std::vector<RegValue> values;
    if (r.EnumValues(root, path, values) == WinError::Success)
        for (const RegValue& v : values)
            out.push_back(here + " | " + v.name + " | " + std::to_string(v.type) + " | " + HexOf(v.data));
    std::vector<std::string> subKeys;
    if (r.EnumSubKeys(root, path, subKeys) == WinError::Success)
        for (const std::string& sub : subKeys) ListKeys(r, root, rootName, path.empty() ? sub : path + "\\" + sub, out);
}

class SettingsTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::TestPlatform::IsWindows()) {
            // The real system: the programs' own settings are not ours to change.
            for (const char* program : {kWindowsMail, kWindowsLiveMail})
                if (tp.registry().KeyExists(RegRoot::CurrentUser, Target(program).ProgramKey()) == WinError::Success)
                    GTEST_SKIP() << program << " has settings on this system";
            identitiesExisted_ = tp.registry().KeyExists(RegRoot::CurrentUser, "Identities") == WinError::Success;
        }
        cleanUp_ = true;
    }
    void TearDown() override {
        if (!cleanUp_) return;
        Registry& r = tp.registry();
        for (const char* program : {kWindowsMail, kWindowsLiveMail})
            r.DeleteKeyTree(RegRoot::CurrentUser, Target(program).ProgramKey());
        if (!guid_.empty()) r.DeleteKeyTree(RegRoot::CurrentUser, "Identities\\" + guid_);
        if (!identitiesExisted_) r.DeleteKeyTree(RegRoot::CurrentUser, "Identities");
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
    }

    TransferTarget Target(const std::string& program) {
        return TransferTarget{program, tp.TempDir() + "Transfer\\", tp.TempDir() + "Ziel\\"};
    }

    std::string Snapshot(const std::string& name, const std::vector<std::string>& lines) {
        const std::string path = tp.TempDir() + name;
        EXPECT_TRUE(tp.WriteFile(path, Joined(lines)));
        return path;
    }
    ConvertedSnapshot Convert(const std::string& file, const std::string& program,
                              const std::vector<std::string>& lines) {
        return ConvertSnapshot(tp.files(), tp.system(), Snapshot(file, lines), file, program);
    }

    // An archive of hand-made snapshots, its directory loaded as the transfer dialog has it.
    void Archive(TZipReader& reader, const std::vector<std::pair<std::string, std::string>>& files,
                 const std::string& password = "") {
        const std::string name = "Handgemacht" + std::to_string(++archives_);
        const std::string staging = tp.TempDir() + name + "\\";
        ASSERT_TRUE(ForceDirectories(tp.files(), staging));
        TZipWriter writer(tp.platform());
        writer.SetZipName(tp.TempDir() + name + ".bvq");
        writer.SetPassword(password);
        for (const auto& f : files) {
            ASSERT_TRUE(tp.WriteFile(staging + f.first, f.second));
            writer.FilesList().push_back(staging + f.first);
        }
        ASSERT_EQ(writer.AddFiles(), static_cast<int>(files.size()));
        Open(reader, tp.TempDir() + name + ".bvq");
    }
    void Open(TZipReader& reader, const std::string& archive) {
        reader.SetZipName(archive);
        reader.SetOverwriteMode(TOverwriteMode::Always);
        reader.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
        reader.ReadDirectory();
    }

    std::vector<std::string> Listing() {
        std::vector<std::string> out;
        Registry& r = tp.registry();
        ListKeys(r, RegRoot::CurrentUser, "HKEY_CURRENT_USER", "", out);
        if (tp.Posix()) {
            ListKeys(r, RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "", out);
            ListKeys(r, RegRoot::ClassesRoot, "HKEY_CLASSES_ROOT", "", out);
            ListKeys(r, RegRoot::Users, "HKEY_USERS", "", out);
        } else {
            // The whole machine branch of a real system takes long to walk; the snapshots
            // aim at its software part.
            ListKeys(r, RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "Software", out);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // The lines of `after` that are not in `before`, and those that went, outside the key.
    // The key's parents may be new (an import creates them), but without values.
    static std::vector<std::string> ChangedOutside(const std::vector<std::string>& before,
                                                   const std::vector<std::string>& after,
                                                   const std::string& key) {
        std::vector<std::string> changed;
        std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                      std::back_inserter(changed));
        const std::string inside = AnsiUpperCase("HKEY_CURRENT_USER\\" + key);
        changed.erase(std::remove_if(changed.begin(), changed.end(),
                                     [&](const std::string& line) {
                                         const std::string upper = AnsiUpperCase(line);
                                         const bool parent = inside.compare(0, upper.size() + 1, upper + "\\") == 0 &&
                                                             std::find(after.begin(), after.end(), line) != after.end();
                                         return parent || (upper.compare(0, inside.size(), inside) == 0 &&
                                                           (upper.size() == inside.size() || upper[inside.size()] == '\\' ||
                                                            upper.compare(inside.size(), 3, " | ") == 0));
                                     }),
                      changed.end());
        return changed;
    }

    RegValue Value(const std::string& key, const std::string& name) {
        RegValue v;
        EXPECT_EQ(tp.registry().QueryValue(RegRoot::CurrentUser, key, name, v), WinError::Success)
            << key << " " << name;
        return v;
    }
    std::vector<std::string> SubKeys(const std::string& key) {
        std::vector<std::string> names;
        tp.registry().EnumSubKeys(RegRoot::CurrentUser, key, names);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> ValueNames(const std::string& key) {
        std::vector<RegValue> values;
        tp.registry().EnumValues(RegRoot::CurrentUser, key, values);
        std::vector<std::string> names;
        for (const RegValue& v : values) names.push_back(v.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    void Set(const std::string& key, const std::string& name, uint32_t type, const Bytes& data) {
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, key), WinError::Success);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, key, name, type, data), WinError::Success);
    }

    test::TestPlatform tp;
    std::string guid_;
    bool identitiesExisted_ = true;
    bool cleanUp_ = false;
    int archives_ = 0;
};

// ---- the hex value conversion --------------------------------------------------------------

TEST_F(SettingsTransferTest, HexValuesBecomeUtf16AndAreCutAt78Characters) {
    EXPECT_EQ(WidenHexValueLine("\"Value\"=hex:41,42,00"), "\"Value\"=hex:41,00,42,00,00,00");
    EXPECT_EQ(WidenHexValueLine("\"Value\"=hex:7f"), "\"Value\"=hex:7f,00");

    const std::string x78(78, 'x');
    const struct {
        std::string line;
        std::vector<std::string> pieces;
    } cuts[] = {
        {"\"Value\"=hex:41", {"\"Value\"=hex:41"}},
        {x78, {x78}},  // nothing after the piece: no continuation
        {x78 + "y", {x78 + "\\", "  y"}},
        {x78 + "   ", {x78}},  // only blanks remain
        {x78 + x78 + "z", {x78 + "\\", "  " + x78 + "\\", "  z"}},
    };
    for (const auto& c : cuts) EXPECT_EQ(CutValueLine(c.line), c.pieces) << c.line;

    // 40 bytes written over three lines: one value, widened, cut again.
    Bytes bytes;
    for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(0x41 + i));
    const auto part = [&](int from, int to) {
        return HexOf(Bytes(bytes.begin() + from, bytes.begin() + to));
    };
    const ConvertedSnapshot converted =
        Convert(kRulesSnapshot, kWindowsMail,
                {"REGEDIT4", "", std::string(kIdentity) + kOe + "\\Rules\\Mail\\000\\Criteria\\000]",
                 "\"Value\"=hex:" + part(0, 15) + ",\\", "  " + part(15, 30) + ",\\", "  " + part(30, 40),
                 "\"Type\"=dword:00000007", ""});
    EXPECT_EQ(converted.readError, "");
    const std::string widened = "\"Value\"=hex:" + HexOf(Widened(bytes));
    ASSERT_EQ(widened.size(), 251u);
    const std::vector<std::string> expected = {
        "REGEDIT4",
        "",
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail\\Rules\\Mail\\000\\Criteria\\000]",
        widened.substr(0, 78) + "\\",
        "  " + widened.substr(78, 78) + "\\",
        "  " + widened.substr(156, 78) + "\\",
        "  " + widened.substr(234),
        "\"Type\"=dword:00000007",
        ""};
    EXPECT_EQ(converted.lines, expected);
}

// ---- the line rules ---------------------------------------------------------------------------

TEST_F(SettingsTransferTest, SnapshotKeysMoveBelowTheProgramWithTheirValues) {
    const std::string oe = std::string(kIdentity) + kOe;
    const std::vector<std::string> snapshot = {
        "REGEDIT4",
        "",
        oe + "\\signatures]",
        "\"Default Signature\"=\"00000000\"",
        "\"Version\"=dword:00050000",
        "",
        oe + "\\signatures\\00000000]",
        "\"text\"=\"Gruß\\r\\n\\\"Büro\\\" C:\\\\Daten\\\\\"",
        "\"Version\"=dword:00050001",
        "\"version\"=\"00050000\"",
        "@=hex(2):25,00",
        "\"Window Pos\"=hex:01,02",
        "",
        "[HKEY_CURRENT_USER\\Software\\{5}\\Outlook Express\\5.0\\Rules]",  // no identity part
        "\"Stays\"=dword:00000001",
    };
    for (const char* program : {kWindowsMail, kWindowsLiveMail}) {
        const std::string key = std::string("[HKEY_CURRENT_USER\\Software\\Microsoft\\") + program;
        const ConvertedSnapshot converted = Convert(kSignaturesSnapshot, program, snapshot);
        EXPECT_EQ(converted.readError, "");
        const std::vector<std::string> expected = {
            "REGEDIT4",
            "",
            key + "\\signatures]",
            "\"Default Signature\"=\"00000000\"",
            "\"Version\"=dword:00070000",
            "",
            key + "\\signatures\\00000000]",
            "\"text\"=\"Gruß\\r\\n\\\"Büro\\\" C:\\\\Daten\\\\\"",
            "\"Version\"=dword:00050001",
            "\"version\"=\"00050000\"",
            "@=hex(2):25,00",
            "\"Window Pos\"=hex:01,02",
            "",
            ""};
        EXPECT_EQ(converted.lines, expected) << program;
    }
}

TEST_F(SettingsTransferTest, BlockedSendersBecomeNumberedEntriesOfTheProgramsList) {
    const std::string block = std::string(kIdentity) + kOe + "\\Block Senders";
    const std::vector<std::string> snapshot = {
        "REGEDIT4",
        "\"Value\"=\"before any key\"",
        "\"Value\"=hex:41",
        "",
        block + "]",
        "",
        block + "\\Mail]",
        "\"Version\"=dword:00000001",
        "",
        block + "\\Mail\\Criteria\\3]",
        "\"Value\"=\"\\\"gewinn\\\\\\\"spiel\\\"@example.com\"",
        "\"Flags\"=dword:00000001",
        "",
        block + "\\Mail\\Criteria\\12]",
        "\"Flags\"=dword:00000001",
        "\"Value\"=\"liste@example.net\"",
        "",
        block + "\\News\\Criteria\\0]",
        "\"Value\"=\"stoerer@example.org\"",
        "",
        // Without the identity's part the key keeps its place, which is not the program's.
        "[HKEY_CURRENT_USER\\Software\\Block Senders\\Mail\\Criteria\\4]",
        "\"Value\"=\"fremd@example.org\"",
        "",
        "[HKEY_CURRENT_USER\\Software\\{x}\\Block Senders\\Mail\\Criteria\\5]",
        "\"Value\"=\"auch@example.org\"",
        ""};
    const struct {
        const char* program;
        std::string list;
    } targets[] = {
        {kWindowsMail, "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail\\Junk Mail\\Block Senders List"},
        {kWindowsLiveMail,
         "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Live Mail\\PerPassportSettings\\0\\Junk Mail\\Block "
         "Senders List"},
    };
    for (const auto& t : targets) {
        const ConvertedSnapshot converted = Convert(kBlockedSendersSnapshot, t.program, snapshot);
        EXPECT_EQ(converted.readError, "");
        const std::vector<std::string> expected = {
            "REGEDIT4",
            "",
            t.list + "]",
            "\"Version\"=dword:00050000",
            "",
            t.list + "\\000003]",
            "\"Flags\"=dword:00000001",
            "\"Exception\"=\"\\\"gewinn\\\\\\\"spiel\\\"@example.com\"",
            "",
            t.list + "\\0000012]",
            "\"Flags\"=dword:00000001",
            "\"Exception\"=\"liste@example.net\"",
            "",
            ""};
        EXPECT_EQ(converted.lines, expected) << t.program;
    }
}

// A criterion number stays remembered until an address takes it, whatever key lines come
// between, and every binary "Value" is taken, also one that follows a news criterion: both
// land in the last entry written.
TEST_F(SettingsTransferTest, ValuesAfterANewsCriterionFollowTheRules) {
    const std::string block = std::string(kIdentity) + kOe + "\\Block Senders";
    const ConvertedSnapshot converted =
        Convert(kBlockedSendersSnapshot, kWindowsMail,
                {"REGEDIT4", "", block + "\\Mail\\Criteria\\7]", "\"Flags\"=dword:00000001", "",
                 block + "\\News\\Criteria\\0]", "\"Value\"=\"stoerer@example.org\"", "",
                 block + "\\News\\Criteria\\1]", "\"Value\"=\"troll@example.org\"", "\"Value\"=hex:41,42", ""});
    const std::string list = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail\\Junk Mail\\Block Senders List";
    const std::vector<std::string> expected = {"REGEDIT4",
                                               "",
                                               list + "]",
                                               "\"Version\"=dword:00050000",
                                               "",
                                               list + "\\000007]",
                                               "\"Flags\"=dword:00000001",
                                               "\"Exception\"=\"stoerer@example.org\"",
                                               "",
                                               "\"Value\"=hex:41,00,42,00",
                                               ""};
    EXPECT_EQ(converted.lines, expected);
}

// ---- the junk-mail lists ----------------------------------------------------------------------

TEST_F(SettingsTransferTest, JunkMailListsLoseTheirEntriesWithoutAddress) {
    const struct {
        const char* program;
        std::string lists;   // where the program keeps its lists
        std::string unused;  // the other layout, which this program never reads
    } cases[] = {
        {kWindowsMail, "Software\\Microsoft\\Windows Mail\\Junk Mail\\",
         "Software\\Microsoft\\Windows Mail\\PerPassportSettings\\0\\Junk Mail\\"},
        {kWindowsLiveMail, "Software\\Microsoft\\Windows Live Mail\\PerPassportSettings\\0\\Junk Mail\\",
         "Software\\Microsoft\\Windows Live Mail\\Junk Mail\\"},
    };
    for (const auto& c : cases) {
        for (const std::string& base : {c.lists, c.unused}) {
            for (const char* list : {"Block Senders List", "Safe Senders List"}) {
                const std::string key = base + list + "\\";
                Set(key + "000001", "Exception", RegType::Sz, TextBytes("werbung@example.net"));
                Set(key + "000002", "Exception", RegType::Sz, TextBytes(""));
                Set(key + "000003", "Exception", RegType::Sz, TextBytes(" \t "));
                Set(key + "000004", "Flags", RegType::Dword, Dword(1));  // no address at all
                Set(key + "000005", "Exception", RegType::Binary, Bytes{0x20});
                Set(key + "000006", "Exception", RegType::ExpandSz, TextBytes("  "));
            }
        }
        EXPECT_EQ(CleanUpJunkMailLists(tp.registry(), Target(c.program)), 8) << c.program;
        for (const char* list : {"Block Senders List", "Safe Senders List"}) {
            EXPECT_EQ(SubKeys(c.lists + list), (std::vector<std::string>{"000001", "000005"})) << c.program << list;
            EXPECT_EQ(SubKeys(c.unused + list).size(), 6u) << c.program << list;
        }
    }

    // Nothing to clean when the program has no key.
    tp.registry().DeleteKeyTree(RegRoot::CurrentUser, "Software\\Microsoft\\Windows Mail");
    EXPECT_EQ(CleanUpJunkMailLists(tp.registry(), Target(kWindowsMail)), 0);
    EXPECT_NE(tp.registry().KeyExists(RegRoot::CurrentUser, "Software\\Microsoft\\Windows Mail"), WinError::Success);
}

// ---- whole runs -------------------------------------------------------------------------------

// The identity's key, as the program's key names it, with every value and subkey: binary
// "Value"s widened, version 5 of the settings made version 7.
void ExpectMoved(Registry& r, const std::string& from, const std::string& to) {
    std::vector<std::string> sourceKeys, targetKeys;
    ASSERT_EQ(r.EnumSubKeys(RegRoot::CurrentUser, from, sourceKeys), WinError::Success) << from;
    ASSERT_EQ(r.EnumSubKeys(RegRoot::CurrentUser, to, targetKeys), WinError::Success) << to;
    std::sort(sourceKeys.begin(), sourceKeys.end());
    std::sort(targetKeys.begin(), targetKeys.end());
    EXPECT_EQ(targetKeys, sourceKeys) << to;

    std::vector<RegValue> source, target;
    ASSERT_EQ(r.EnumValues(RegRoot::CurrentUser, from, source), WinError::Success);
    ASSERT_EQ(r.EnumValues(RegRoot::CurrentUser, to, target), WinError::Success);
    EXPECT_EQ(target.size(), source.size()) << to;
    for (const RegValue& s : source) {
        RegValue expected = s;
        if (s.name == "Value" && s.type == RegType::Binary) expected.data = Widened(s.data);
        if (s.name == "Version" && s.type == RegType::Dword && s.data == Dword(0x00050000))
            expected.data = Dword(0x00070000);
        const auto found = std::find_if(target.begin(), target.end(),
                                        [&](const RegValue& t) { return t.name == s.name; });
        ASSERT_NE(found, target.end()) << to << " " << s.name;
        EXPECT_EQ(found->type, expected.type) << to << " " << s.name;
        EXPECT_EQ(HexOf(found->data), HexOf(expected.data)) << to << " " << s.name;
    }
    for (const std::string& sub : sourceKeys) ExpectMoved(r, from + "\\" + sub, to + "\\" + sub);
}

TEST_F(SettingsTransferTest, GeneratedIdentityArrivesInBothPrograms) {
    test::OeIdentityOptions options;
    options.seed = 63;
    options.with = test::OeGroups::None();
    options.with.rules = options.with.signatures = options.with.stationeryLists = true;
    options.mailFolders.clear();
    options.storeFolder = tp.TempDir() + "Store";
    options.places = test::OePlaces::Below(tp.TempDir() + "Profil");
    const test::OeIdentity id = test::OeIdentityBuilder(tp.platform()).Build(options);
    guid_ = id.guid;

    BackupOptions o;
    o.identity.Username = id.username;
    o.identity.KeyName = id.keyName;
    o.identity.StoreRoot = id.storeFolder;
    o.backupFolder = tp.TempDir() + "Sicherungen";
    o.backupName = "Regeln";
    o.save[CBSave3] = o.save[CBSave4] = o.save[CBSave5] = true;
    test::RecordingView view;
    BackupRun run(tp.platform(), view, o);
    run.Execute();
    const std::string archive = run.ArchivePath();
    ASSERT_TRUE(FileExists(tp.files(), archive)) << archive;

    TZipReader reader(tp.platform());
    Open(reader, archive);
    std::set<std::string> entries;
    for (int i = 0; i < reader.EntryCount(); ++i) entries.insert(reader.EntryName(i));
    for (const char* file : {kRulesSnapshot, kBlockedSendersSnapshot, kSignaturesSnapshot, kStationeryListSnapshot,
                             kStationeryWideListSnapshot})
        ASSERT_EQ(entries.count(file), 1u) << file;

    const std::string oe = id.identityKey + kOe;
    tp.prompter().messages.clear();
    for (const char* program : {kWindowsMail, kWindowsLiveMail}) {
        SCOPED_TRACE(program);
        const TransferTarget target = Target(program);
        const std::vector<std::string> before = Listing();

        const auto imported = [](const std::vector<SnapshotOutcome>& outcomes, std::vector<std::string> files) {
            std::vector<std::string> got;
            for (const SnapshotOutcome& o : outcomes)
                if (o.result == SnapshotResult::Imported) got.push_back(o.file);
            return got == files;
        };
        EXPECT_TRUE(imported(TransferRulesAndBlockedSenders(tp.platform(), reader, target),
                             {kRulesSnapshot, kBlockedSendersSnapshot}));
        EXPECT_TRUE(imported(TransferSignatures(tp.platform(), reader, target), {kSignaturesSnapshot}));
        EXPECT_TRUE(imported(TransferStationeryLists(tp.platform(), reader, target),
                             {kStationeryListSnapshot, kStationeryWideListSnapshot}));
        EXPECT_TRUE(tp.prompter().messages.empty());
        EXPECT_EQ(ChangedOutside(before, Listing(), target.ProgramKey()), std::vector<std::string>{});
        EXPECT_TRUE(tp.files().Find(target.tempFolder + "*.OLS").empty());

        // Rules, signatures and stationery lists: the same keys below the program's key.
        const std::string key = target.ProgramKey();
        for (const char* sub : {"Rules", "signatures", "Recent Stationery List", "Recent Stationery Wide List"})
            ExpectMoved(tp.registry(), oe + "\\" + sub, key + "\\" + sub);
        EXPECT_EQ(HexOf(Value(key + "\\Rules\\Mail", "Version").data), HexOf(Dword(0x00070000)));
        EXPECT_EQ(HexOf(Value(key + "\\Rules\\News", "Version").data), HexOf(Dword(6)));
        EXPECT_EQ(HexOf(Value(key + "\\Rules\\Mail\\000\\Criteria\\001", "Value").data),
                  HexOf(Widened(TextBytes("Einladung zur Mitgliederversammlung Süd"))));
        EXPECT_EQ(Value(key + "\\signatures\\00000000", "text").data,
                  TextBytes("Mit freundlichen Grüßen\r\nJürgen Müller\r\n\"Büro Süd\" \\ Straße 5"));

        // Blocked senders: numbered entries with their address; the blank one went in the
        // clean-up, the news ones never came.
        const std::string list =
            key + (target.LiveMail() ? "\\PerPassportSettings\\0" : "") + "\\Junk Mail\\Block Senders List";
        EXPECT_EQ(HexOf(Value(list, "Version").data), HexOf(Dword(0x00050000)));
        EXPECT_EQ(SubKeys(list), (std::vector<std::string>{"000000", "000001", "000003"}));
        const struct {
            const char* entry;
            const char* address;
        } blocked[] = {{"000000", "werbung@example.net"},
                       {"000001", "example.invalid"},
                       {"000003", "\"gewinn\\\"spiel\"@example.com"}};
        for (const auto& b : blocked) {
            EXPECT_EQ(ValueNames(list + "\\" + b.entry), (std::vector<std::string>{"Exception", "Flags"}));
            const RegValue exception = Value(list + "\\" + b.entry, "Exception");
            EXPECT_EQ(exception.type, RegType::Sz);
            EXPECT_EQ(exception.data, TextBytes(b.address)) << b.entry;
            EXPECT_EQ(HexOf(Value(list + "\\" + b.entry, "Flags").data), HexOf(Dword(1)));
        }
        EXPECT_NE(tp.registry().KeyExists(RegRoot::CurrentUser,
                                          key + (target.LiveMail() ? "\\Junk Mail" : "\\PerPassportSettings")),
                  WinError::Success)
            << "the other program's layout";
    }

    // The text that is imported: the 40-byte criterion in four pieces.
    reader.SetDestDir(tp.TempDir() + "Pruefung");
    reader.FilesList() = {kRulesSnapshot};
    ASSERT_EQ(reader.ExtractMatching(), 1);
    const ConvertedSnapshot converted = ConvertSnapshot(tp.files(), tp.system(), tp.TempDir() + "Pruefung\\FILTERS.OLS",
                                                        kRulesSnapshot, kWindowsMail);
    const auto first = std::find_if(converted.lines.begin(), converted.lines.end(), [](const std::string& l) {
        return l.rfind("\"Value\"=hex:45,00,69,00,6e,00", 0) == 0;
    });
    ASSERT_NE(first, converted.lines.end());
    ASSERT_GE(converted.lines.end() - first, 4);
    EXPECT_EQ((std::vector<size_t>{first[0].size(), first[1].size(), first[2].size(), first[3].size()}),
              (std::vector<size_t>{79, 81, 81, 19}));
}

TEST_F(SettingsTransferTest, CraftedSnapshotsChangeNothingOutsideTheProgramKey) {
    const std::string oe = std::string(kIdentity) + kOe;
    const auto crafted = [&](const std::string& program) {
        const std::string other = program == kWindowsMail ? kWindowsLiveMail : kWindowsMail;
        const std::vector<std::string> hostile = {
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
            "\"Brevisto-Test\"=\"C:\\\\boese.exe\"",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Outlook Express\\5.0\\Rules]",
            "\"Fremd\"=dword:00000001",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\" + other + "\\Rules]",
            "\"Fremd\"=dword:00000001",
            "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\" + program + "\\Rules]",
            "\"Fremd\"=dword:00000001",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\" + program + " Extra\\Rules]",
            "\"Fremd\"=dword:00000001",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\" + program + "]",
            "\"Store Root\"=\"C:\\\\Anderswo\"",
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\" + program + "\\r\\nDaneben]",
            "\"Fremd\"=dword:00000001",
            "[HKEY_CURRENT_USER\\Software\\{5}\\Run]",
            "\"Fremd\"=dword:00000001",
            oe + "Daneben\\Run]",
            "\"Fremd\"=dword:00000001",
        };
        const auto file = [&](std::vector<std::string> head, const std::vector<std::string>& own) {
            head.insert(head.end(), hostile.begin(), hostile.end());
            head.insert(head.end(), own.begin(), own.end());
            return Joined(head);
        };
        const std::vector<std::string> early = {"REGEDIT4", "\"Vorher\"=\"vor jedem Schlüssel\"",
                                                "\"Value\"=hex:41"};
        return std::vector<std::pair<std::string, std::string>>{
            {kRulesSnapshot, file(early, {oe + "\\Rules\\Mail]", "\"Order\"=\"000\""})},
            {kBlockedSendersSnapshot,
             file(early, {"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Block "
                          "Senders\\Mail\\Criteria\\1]",
                          "\"Value\"=\"fremd@example.org\"", oe + "\\Block Senders\\Mail\\Criteria\\2]",
                          "\"Value\"=\"werbung@example.net\""})},
            {kSignaturesSnapshot, file(early, {oe + "\\signatures\\00000000]", "\"name\"=\"Signatur\""})},
            {kStationeryListSnapshot, file(early, {oe + "\\Recent Stationery List]", "\"0\"=\"Ahorn.htm\""})},
            {kStationeryWideListSnapshot, file(early, {})},
        };
    };

    for (const char* program : {kWindowsMail, kWindowsLiveMail}) {
        SCOPED_TRACE(program);
        TZipReader reader(tp.platform());
        Archive(reader, crafted(program));
        const TransferTarget target = Target(program);
        const std::vector<std::string> before = Listing();
        TransferRulesAndBlockedSenders(tp.platform(), reader, target);
        TransferSignatures(tp.platform(), reader, target);
        TransferStationeryLists(tp.platform(), reader, target);
        EXPECT_EQ(ChangedOutside(before, Listing(), target.ProgramKey()), std::vector<std::string>{});
        EXPECT_TRUE(tp.prompter().messages.empty()) << tp.prompter().messages[0].text;

        // Inside, only what the identity's lines bring.
        const std::string key = target.ProgramKey();
        EXPECT_EQ(SubKeys(key), (std::vector<std::string>{target.LiveMail() ? "PerPassportSettings" : "Junk Mail",
                                                          "Recent Stationery List", "Rules", "signatures"}));
        EXPECT_EQ(ValueNames(key), std::vector<std::string>{});
        EXPECT_EQ(ValueNames(key + "\\Rules\\Mail"), std::vector<std::string>{"Order"});
        EXPECT_EQ(ValueNames(key + "\\Rules"), std::vector<std::string>{});
        EXPECT_EQ(ValueNames(key + "\\signatures\\00000000"), std::vector<std::string>{"name"});
        EXPECT_EQ(ValueNames(key + "\\Recent Stationery List"), std::vector<std::string>{"0"});
        const std::string list =
            key + (target.LiveMail() ? "\\PerPassportSettings\\0" : "") + "\\Junk Mail\\Block Senders List";
        EXPECT_EQ(ValueNames(list), std::vector<std::string>{"Version"});
        EXPECT_EQ(SubKeys(list), std::vector<std::string>{"000002"});
        EXPECT_EQ(Value(list + "\\000002", "Exception").data, TextBytes("werbung@example.net"));
    }
}

// ---- the steps around the rewriting -----------------------------------------------------------

TEST_F(SettingsTransferTest, MissingEmptyAndBrokenSnapshots) {
    const TransferTarget target = Target(kWindowsMail);
    const std::string rules = std::string(kIdentity) + kOe + "\\Rules\\Mail]";
    const std::string complete = Joined({"REGEDIT4", rules, "\"Order\"=\"000\""});
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::string password;
        SnapshotResult result;
        std::vector<std::string> messages;  // how each begins
        bool orderArrives;
    } cases[] = {
        {"no entry", {{"PAPER.OLS", complete}}, "", SnapshotResult::Missing, {}, false},
        {"empty entry", {{"FILTERS.OLS", "\r\n  \r\n"}}, "", SnapshotResult::Empty, {}, false},
        // The first entry whose name holds the file's name is the one.
        {"first match", {{"ALTFILTERS.OLS.TXT", ""}, {"FILTERS.OLS", complete}}, "", SnapshotResult::Empty, {}, false},
        {"wrong password", {{"FILTERS.OLS", complete}}, "geheim", SnapshotResult::NotExtracted,
         {"Datei FILTERS.OLS konnte nicht eingespielt werden!"}, false},
        {"the reader stops",
         {{"FILTERS.OLS", Joined({"REGEDIT4", rules, "\"Order\"=\"000\"", "kaputt", "\"Later\"=\"x\""})}}, "",
         SnapshotResult::Failed, {"Syntax error in reg file"}, true},
        {"no REGEDIT4 head", {{"FILTERS.OLS", Joined({rules, "\"Order\"=\"000\""})}}, "", SnapshotResult::Failed,
         {"Bad file format."}, false},
        {"complete", {{"FILTERS.OLS", complete}}, "", SnapshotResult::Imported, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tp.prompter().messages.clear();
        tp.registry().DeleteKeyTree(RegRoot::CurrentUser, target.ProgramKey());
        TZipReader reader(tp.platform());
        Archive(reader, c.files, c.password);
        reader.SetPassword("falsch");
        EXPECT_EQ(TransferSnapshot(tp.platform(), reader, target, kRulesSnapshot), c.result);
        ASSERT_EQ(tp.prompter().messages.size(), c.messages.size());
        for (size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_EQ(tp.prompter().messages[i].text.rfind(c.messages[i], 0), 0u) << tp.prompter().messages[i].text;
            EXPECT_EQ(tp.prompter().messages[i].caption, "Brevisto");
        }
        EXPECT_EQ(ValueNames(target.ProgramKey() + "\\Rules\\Mail"),
                  c.orderArrives ? std::vector<std::string>{"Order"} : std::vector<std::string>{});
        EXPECT_TRUE(tp.files().Find(target.tempFolder + "*FILTERS*").empty());
    }
}

}  // namespace
}  // namespace bv
