// The synthetic Outlook Express identity, read back through the program's own readers:
// identity scanner, DBX reader, REGEDIT4 export and the sources the collectors look at.
#include "tests/support/oe_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "brevisto/backup/firefox_profiles.h"
#include "brevisto/mailstore/dbx_file.h"
#include "brevisto/regfile/ex_registry.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

using test::OeIdentity;
using test::OeIdentityBuilder;
using test::OeIdentityOptions;

std::string Dump(const FolderTreeNodes& nodes) {
    std::ostringstream out;
    for (const FolderTreeNode* node : nodes.AllNodes()) {
        int depth = 0;
        for (const FolderTreeNode* p = node->Parent(); p; p = p->Parent()) ++depth;
        out << std::string(2 * depth, ' ') << node->Text << "\n";
    }
    return out.str();
}

std::vector<std::string> Sorted(std::vector<std::string> list) {
    std::sort(list.begin(), list.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    return list;
}

class OeIdentityTest : public ::testing::Test {
protected:
    test::TestPlatform tp;

    // On POSIX the identity goes where the shell's folders are; on the real system every
    // file stays inside the test's own folder.
    OeIdentityOptions Options() {
        OeIdentityOptions options;
        if (test::TestPlatform::IsWindows())
            options.places = test::OePlaces::Below(tp.TempDir() + "Profil");
        return options;
    }
    OeIdentity Build(const OeIdentityOptions& options) {
        return OeIdentityBuilder(tp.platform()).Build(options);
    }
    RegValue Value(RegRoot root, const std::string& key, const std::string& name) {
        RegValue value;
        EXPECT_EQ(tp.registry().QueryValue(root, key, name, value), 0) << key << " " << name;
        return value;
    }
};

TEST_F(OeIdentityTest, IdentityScannerListsBothGeneratedIdentities) {
    const OeIdentity main = Build(Options());

    OeIdentityOptions second = Options();
    second.seed = 2;
    second.username = "Büro \"Süd\"";
    second.makeDefault = false;
    second.storeRootUserProfile = false;
    second.storeFolder = tp.TempDir() + "OE Büro";
    second.with = test::OeGroups::None();
    const OeIdentity office = Build(second);

    EXPECT_TRUE(
        std::regex_match(main.guid, std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})")))
        << main.guid;
    EXPECT_EQ(main.guid, OeIdentityBuilder::GuidFromSeed(1));
    EXPECT_NE(main.guid, office.guid);

    // Outlook Express's own form of the store value: a reference to the profile.
    const RegValue storeRoot =
        Value(RegRoot::CurrentUser,
              main.identityKey + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root");
    EXPECT_EQ(storeRoot.type, RegType::ExpandSz);
    if (!test::TestPlatform::IsWindows()) {
        EXPECT_EQ(main.storeRootValue,
                  "%UserProfile%\\Lokale Einstellungen\\Anwendungsdaten\\Identities\\" + main.guid +
                      "\\Microsoft\\Outlook Express");
        EXPECT_EQ(main.storeFolder,
                  "C:\\Dokumente und Einstellungen\\Benutzer\\Lokale Einstellungen\\"
                  "Anwendungsdaten\\Identities\\" +
                      main.guid + "\\Microsoft\\Outlook Express\\");
    }
    EXPECT_EQ(std::string(storeRoot.data.begin(), storeRoot.data.end()),
              main.storeRootValue + std::string(1, '\0'));
    EXPECT_EQ(office.storeRootType, RegType::Sz);
    EXPECT_EQ(office.storeRootValue, tp.TempDir() + "OE Büro");

    TIdentityScanner scanner(tp.platform());
    EXPECT_EQ(scanner.DefaultIdentityId(), main.guid);
    const auto identities = scanner.ListIdentities();
    ASSERT_EQ(identities.size(), 2u);
    std::vector<std::string> keys;
    ASSERT_EQ(tp.registry().EnumSubKeys(RegRoot::CurrentUser, "Identities", keys), 0);
    for (const OeIdentity* generated : {&main, &office}) {
        SCOPED_TRACE(generated->username);
        const auto found =
            std::find_if(identities.begin(), identities.end(),
                         [&](const TIdentitaet& i) { return i.KeyName == generated->keyName; });
        ASSERT_NE(found, identities.end());
        EXPECT_EQ(found->Username, generated->username);
        EXPECT_EQ(found->StoreRoot, generated->storeFolder);
        ASSERT_LT(found->Index, keys.size());
        EXPECT_EQ("\\" + keys[found->Index] + "\\", generated->keyName);
    }
}

TEST_F(OeIdentityTest, FolderIndexAndMailFilesReadBackThroughTheDbxReader) {
    OeIdentityOptions options = Options();
    options.mailBytes = 3u << 20;
    // Enough records for a message tree of three levels.
    auto photos = std::find_if(options.mailFolders.begin(), options.mailFolders.end(),
                               [](const test::OeFolderSpec& f) { return f.name == "Fotos"; });
    ASSERT_NE(photos, options.mailFolders.end());
    photos->messages = 2800;
    const OeIdentity id = Build(options);

    TDbxFile index(tp.files(), tp.system(), id.storeFolder + "Folders.dbx");
    ASSERT_TRUE(index.IsFolderFile());
    index.LoadTree();
    ASSERT_NE(index.FolderList(), nullptr);
    std::vector<std::string> order;
    for (const TDbxFolder* folder : index.FolderList()->FileOrder()) {
        order.push_back(folder->Info.Name);
        SCOPED_TRACE(folder->Info.Name);
        const test::OeMailFile* generated = id.Folder(folder->Info.Name);
        ASSERT_NE(generated, nullptr);
        EXPECT_EQ(folder->Info.FolderId, generated->folderId);
        EXPECT_EQ(folder->Info.ParentId, generated->parentId);
        EXPECT_EQ(folder->Info.FileName, generated->fileName);
        EXPECT_EQ(folder->Info.MessageCount, generated->messages);
        EXPECT_EQ(folder->Info.Number08, generated->unread);
    }
    // Ordered by parent and name as Outlook Express keeps it: "Versicherung" (below
    // "Verträge", id 15) comes before its parent, which lies below "Archiv" (id 18).
    const std::vector<std::string> expectedOrder = {"Lokale Ordner",
                                                    "news.example.com",
                                                    "Archiv",
                                                    "Entwürfe",
                                                    "Familie",
                                                    "Gelöschte Objekte",
                                                    "Gesendete Objekte",
                                                    "Postausgang",
                                                    "Posteingang",
                                                    "Rechnungen 2026",
                                                    "Vereine & Ehrenamt",
                                                    "de.alt.test",
                                                    "Urlaub 2025",
                                                    "Fotos",
                                                    "Versicherung",
                                                    "Verträge"};
    EXPECT_EQ(order, expectedOrder);
    EXPECT_EQ(id.fileOrder, expectedOrder);

    FolderTreeNodes nodes;
    index.FolderList()->FillTreeNodes(nodes);
    TDbxFolderList::SortTreeNodes(nodes);
    // The special folders first by their type, the rest after them; the folder whose
    // parent comes later stays at the top until the wizard re-hangs it.
    EXPECT_EQ(Dump(nodes),
              "Outlook Express\n"
              "  Lokale Ordner\n"
              "    Posteingang\n"
              "    Postausgang\n"
              "    Gesendete Objekte\n"
              "    Gelöschte Objekte\n"
              "    Entwürfe\n"
              "    Archiv\n"
              "      Verträge\n"
              "    Familie\n"
              "      Urlaub 2025\n"
              "        Fotos\n"
              "    Rechnungen 2026\n"
              "    Vereine & Ehrenamt\n"
              "  news.example.com\n"
              "    de.alt.test\n"
              "Versicherung\n");

    uint64_t total = 0;
    for (const auto& file : id.folders) {
        if (file.fileName.empty()) continue;
        SCOPED_TRACE(file.fileName);
        ASSERT_TRUE(file.exists);
        EXPECT_EQ(file.path, id.storeFolder + file.fileName);
        EXPECT_EQ(FileSizeOf(tp.files(), file.path), file.size);
        total += file.size;
        TDbxFile mail(tp.files(), tp.system(), file.path);
        ASSERT_TRUE(mail.IsMessageFile());
        mail.LoadTree();
        ASSERT_NE(mail.MessageList(), nullptr);
        const auto messages = mail.MessageList()->FileOrder();
        ASSERT_EQ(messages.size(), file.messages);
        uint32_t unread = 0;
        for (size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(messages[i]->Info.Number00, i + 1) << "records out of order";
            if ((messages[i]->Info.Number01 & 0x80) == 0) ++unread;
            EXPECT_FALSE(messages[i]->Info.Text08.empty());
        }
        EXPECT_EQ(unread, file.unread);
    }
    EXPECT_EQ(id.Folder("Fotos")->messages, 2800u);
    EXPECT_EQ(id.Folder("Posteingang")->messages, 56u);  // 30 of 102 shares of 3 MB
    // The Fotos file holds more than its share in records, so only the rest is exact.
    EXPECT_GE(total, options.mailBytes);
    EXPECT_EQ(total, id.MailBytes());
    EXPECT_LT(total, options.mailBytes + id.Folder("Fotos")->contentStart);

    for (const auto& path : id.storeFiles) {
        TDbxFile store(tp.files(), tp.system(), path);
        EXPECT_EQ(store.FileKind(), ExtractFileName(path) == "Offline.dbx" ? dfkKind3 : dfkKind2)
            << path;
    }
    EXPECT_EQ(id.storeFiles.size(), 2u);
}

TEST_F(OeIdentityTest, SameSeedGivesTheSameFilesAnotherSeedOthers) {
    OeIdentityOptions options = Options();
    options.with = test::OeGroups::None();
    options.with.mailFolders = true;
    options.mailBytes = 1u << 20;
    options.storeFolder = tp.TempDir() + "Eins";
    const OeIdentity one = Build(options);
    options.storeFolder = tp.TempDir() + "Zwei";
    const OeIdentity two = Build(options);
    options.storeFolder = tp.TempDir() + "Drei";
    options.seed = 7;
    const OeIdentity three = Build(options);

    for (const char* name : {"Folders.dbx", "Posteingang.dbx", "Fotos.dbx"}) {
        SCOPED_TRACE(name);
        const std::string a = tp.ReadFile(one.storeFolder + name);
        ASSERT_GT(a.size(), TDbxFile::HeaderSize);
        EXPECT_EQ(a, tp.ReadFile(two.storeFolder + name));
        if (std::string(name) != "Folders.dbx") {
            EXPECT_NE(a, tp.ReadFile(three.storeFolder + name));
        }
    }
}

TEST_F(OeIdentityTest, CatalogueKeysExistAndExportAsRegedit4) {
    OeIdentityOptions options = Options();
    options.with.mailFolders = options.with.storeFiles = false;
    const OeIdentity id = Build(options);

    const std::string oe = id.identityKey + "\\Software\\Microsoft\\Outlook Express\\5.0";
    const std::vector<std::string> catalogue = {
        oe,
        oe + "\\Mail",
        oe + "\\Trident",
        oe + "\\MailNote",
        oe + "\\News",
        oe + "\\NewNote",
        oe + "\\Dont Show Dialogs",
        oe + "\\Columns",
        id.identityKey + "\\Software\\Microsoft\\WAB\\WAB Sort State",
        id.identityKey + "\\Software\\Microsoft\\Internet Account Manager",
        "Software\\Microsoft\\Internet Account Manager",
        oe + "\\Rules",
        oe + "\\Block Senders",
        oe + "\\signatures",
        oe + "\\Recent Stationery List",
        oe + "\\Recent Stationery Wide List",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P"};
    EXPECT_EQ(id.catalogueKeys, catalogue);
    for (const auto& key : catalogue) {
        std::vector<RegValue> values;
        std::vector<std::string> subKeys;
        ASSERT_EQ(tp.registry().EnumValues(RegRoot::CurrentUser, key, values), 0) << key;
        ASSERT_EQ(tp.registry().EnumSubKeys(RegRoot::CurrentUser, key, subKeys), 0) << key;
        EXPECT_FALSE(values.empty() && subKeys.empty()) << key << " is empty";
    }

    TExRegistry registry(tp.platform());
    ASSERT_TRUE(registry.OpenKeyReadOnly(oe + "\\signatures"));
    const std::string signs = tp.TempDir() + "SIGNS.OLS";
    ASSERT_TRUE(registry.ExportToRegFile(signs));
    const auto lines = ReadTextLines(tp.files(), tp.system(), signs);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "REGEDIT4");
    EXPECT_EQ(lines[2], "[HKEY_CURRENT_USER\\" + oe + "\\signatures]");
    const auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("\"Default Signature\"=\"00000000\""));
    EXPECT_TRUE(
        has("\"text\"=\"Mit freundlichen Grüßen\\r\\nJürgen Müller\\r\\n\\\"Büro Süd\\\" "
            "\\\\ Straße 5\""));
    EXPECT_TRUE(has("\"type\"=dword:00000001"));

    // The whole settings branch, with values of every kind, survives export and import.
    ASSERT_TRUE(registry.OpenKeyReadOnly(oe));
    const std::string before = tp.TempDir() + "before.reg";
    ASSERT_TRUE(registry.ExportToRegFile(before));
    const std::string exported = tp.ReadFile(before);
    EXPECT_NE(
        exported.find("\"Letzter Importpfad\"=\"C:\\\\Daten\\\\\\\"Alte Mails\\\"\\\\Müller & "
                      "Söhne\\\\\"\r\n"),
        std::string::npos);
    EXPECT_NE(exported.find("\"Folder\"=hex:"), std::string::npos);
    EXPECT_NE(exported.find("[HKEY_CURRENT_USER\\" + oe + "\\Rules\\Mail\\000\\Criteria\\000]"),
              std::string::npos);
    ASSERT_EQ(tp.registry().DeleteKeyTree(RegRoot::CurrentUser, oe), 0);
    TExRegistry importer(tp.platform());
    importer.ImportFromRegFile(before);
    ASSERT_TRUE(registry.OpenKeyReadOnly(oe));
    const std::string after = tp.TempDir() + "after.reg";
    ASSERT_TRUE(registry.ExportToRegFile(after));
    EXPECT_EQ(tp.ReadFile(after), exported);
}

TEST_F(OeIdentityTest, CollectorSourcesLeadToTheGeneratedFiles) {
    const OeIdentity id = Build(Options());
    Platform& p = tp.platform();
    if (!test::TestPlatform::IsWindows()) {
        // Where the collectors look on their own.
        const TPathComponent folders(p);
        EXPECT_EQ(id.dictionaryFolder, folders.ShellAppDataFolder() + "\\Microsoft\\Proof\\");
        EXPECT_EQ(id.favoritesFolder, folders.ShellFavoritesFolder() + "\\");
        EXPECT_EQ(id.stationeryFolder,
                  folders.CommonFilesDir() + "\\Microsoft Shared\\Stationery\\");
        EXPECT_EQ(id.firefoxIni, folders.ShellAppDataFolder() + "\\Mozilla\\Firefox\\profiles.ini");
    }

    EXPECT_EQ(ReadRegString(p.registry, 1, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", ""),
              id.wabFile);
    EXPECT_TRUE(FileExists(p.files, id.wabFile));

    EXPECT_EQ(
        ExpandPath(p.shell,
                   ReadRegString(p.registry, 2, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery",
                                 "Stationery Folder"),
                   true),
        id.stationeryFolder);
    const auto stationery = ListFiles(p.files, id.stationeryFolder, "*.*", true);
    EXPECT_EQ(stationery, Sorted(id.stationeryFiles));
    EXPECT_TRUE(std::any_of(stationery.begin(), stationery.end(), [&](const std::string& f) {
        return f.find("\\Eigene\\Logos\\") != std::string::npos;
    }));

    EXPECT_EQ(ListFiles(p.files, id.dictionaryFolder, ".dic", false), id.dictionaries);
    EXPECT_EQ(id.dictionaries.size(), 2u);
    EXPECT_EQ(ListFiles(p.files, id.favoritesFolder, "*.*", true), Sorted(id.favorites));
    for (const auto& folder : id.favoriteFolders)
        EXPECT_TRUE(DirectoryExists(p.files, folder)) << folder;

    // One profile relative with forward slashes and places.sqlite, one absolute with
    // bookmarks.html.
    EXPECT_EQ(FirefoxBookmarkFiles(p, id.firefoxIni, false), id.firefoxBookmarks);
    ASSERT_EQ(id.firefoxBookmarks.size(), 2u);
    EXPECT_EQ(ExtractFileName(id.firefoxBookmarks[0]), "places.sqlite");
    EXPECT_EQ(ExtractFileName(id.firefoxBookmarks[1]), "bookmarks.html");
    for (const auto& file : id.firefoxBookmarks) EXPECT_TRUE(FileExists(p.files, file)) << file;
    const auto profiles = FirefoxProfiles(p, id.firefoxIni, "|");
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_TRUE(std::regex_match(profiles[0],
                                 std::regex(R"(default\|Profiles\\[a-z0-9]{8}\.default\|1\|1)")))
        << profiles[0];
    EXPECT_EQ(profiles[1], "Büro|" +
                               ExtractFilePath(id.firefoxBookmarks[1])
                                   .substr(0, ExtractFilePath(id.firefoxBookmarks[1]).size() - 1) +
                               "|0|INIERROR");

    const std::string opera =
        ExpandPath(p.shell,
                   ReadRegString(p.registry, 1, "Software\\Opera Software", "Last Directory3"),
                   true) +
        "profile\\";
    EXPECT_EQ(opera, id.operaProfile);
    EXPECT_EQ(ListFiles(p.files, opera, ".adr", false), id.operaFiles);
    EXPECT_EQ(id.operaFiles.size(), 3u);

    for (const auto& decoy : id.decoys) EXPECT_TRUE(FileExists(p.files, decoy)) << decoy;
}

TEST_F(OeIdentityTest, LeftOutGroupsLeaveNothingBehind) {
    OeIdentityOptions options = Options();
    options.with = test::OeGroups::None();
    const OeIdentity id = Build(options);
    Registry& r = tp.registry();
    EXPECT_TRUE(id.catalogueKeys.empty());
    EXPECT_EQ(r.KeyExists(RegRoot::CurrentUser,
                          id.identityKey + "\\Software\\Microsoft\\Outlook Express\\5.0"),
              0);
    for (const std::string& key :
         {id.identityKey + "\\Software\\Microsoft\\Outlook Express\\5.0\\Mail",
          id.identityKey + "\\Software\\Microsoft\\Internet Account Manager",
          std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P"),
          std::string("Software\\Microsoft\\WAB\\WAB4\\Wab File Name"),
          std::string("Software\\Opera Software")})
        EXPECT_NE(r.KeyExists(RegRoot::CurrentUser, key), 0) << key;
    EXPECT_NE(r.KeyExists(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery"),
              0);
    EXPECT_FALSE(DirectoryExists(tp.files(), id.storeFolder));
    EXPECT_TRUE(id.folders.empty());
    EXPECT_TRUE(id.wabFile.empty() && id.firefoxIni.empty() && id.operaProfile.empty());
}

TEST_F(OeIdentityTest, TouchedMailFileChangesButStaysReadable) {
    OeIdentityOptions options = Options();
    options.mailBytes = 512 * 1024;
    // 2026-01-01 00:00 UTC, long before any update backup of the test.
    options.fileTime = UnixToFileTime(1767225600);
    OeIdentity id = Build(options);
    test::OeMailFile& inbox = *id.Folder("Posteingang");

    FileTime written = 0;
    ASSERT_TRUE(tp.files().GetTimes(inbox.path, nullptr, &written));
    EXPECT_EQ(written, options.fileTime);
    FileTime indexTime = 0;
    ASSERT_TRUE(tp.files().GetTimes(id.folderIndex, nullptr, &indexTime));
    EXPECT_EQ(indexTime, options.fileTime);

    const std::string before = tp.ReadFile(inbox.path);
    const uint64_t size = inbox.size;
    // A backup clears the mark; Wine never does, so only the native run sees it cleared.
    EXPECT_TRUE(tp.files().SetAttributes(inbox.path, FileAttr::Normal));
    ASSERT_TRUE(test::TouchMailFile(tp.platform(), inbox, 3));
    EXPECT_EQ(inbox.size, size);
    const std::string after = tp.ReadFile(inbox.path);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_EQ(after.substr(0, inbox.contentStart), before.substr(0, inbox.contentStart));
    FileTime touched = 0;
    ASSERT_TRUE(tp.files().GetTimes(inbox.path, nullptr, &touched));
    EXPECT_GT(touched, written);
    EXPECT_NE(tp.files().GetAttributes(inbox.path) & FileAttr::Archive, 0u);

    ASSERT_TRUE(test::TouchMailFile(tp.platform(), inbox, 4, 10000));
    EXPECT_EQ(inbox.size, size + 10000);
    EXPECT_EQ(FileSizeOf(tp.files(), inbox.path), size + 10000);
    FileTime again = 0;
    ASSERT_TRUE(tp.files().GetTimes(inbox.path, nullptr, &again));
    EXPECT_GT(again, touched);
    TDbxFile mail(tp.files(), tp.system(), inbox.path);
    mail.LoadTree();
    ASSERT_NE(mail.MessageList(), nullptr);
    EXPECT_EQ(mail.MessageList()->FileOrder().size(), inbox.messages);
}

}  // namespace
}  // namespace bv
