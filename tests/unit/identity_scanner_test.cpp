// Identities from the registry, backup archives of a folder and tagged log lines.
#include <gtest/gtest.h>

#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/identity_scanner.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const char* const kGuid1 = "{11111111-0000-0000-0000-000000000001}";
const char* const kGuid2 = "{22222222-0000-0000-0000-000000000002}";
const char* const kGuid3 = "{33333333-0000-0000-0000-000000000003}";

Bytes Sz(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

class IdentityScannerTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    TIdentityScanner scanner{tp.platform()};

    void SetString(const std::string& key, const std::string& name, const std::string& value,
                   uint32_t type = RegType::Sz) {
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, key), 0);
        ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, key, name, type, Sz(value)), 0);
    }
    void AddIdentity(const std::string& guid, const std::string* username,
                     const std::string* storeRoot) {
        const std::string key = "Identities\\" + guid;
        ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, key), 0);
        if (username) SetString(key, "Username", *username);
        if (storeRoot)
            SetString(key + "\\SOFTWARE\\Microsoft\\Outlook Express\\5.0", "Store Root",
                      *storeRoot, RegType::ExpandSz);
    }
};

TEST_F(IdentityScannerTest, KeysWithoutUsernameAreSkippedButCounted) {
    const std::string anna = "Anna", ben = "Ben M\xFCller", store = "C:\\Mail\\Anna";
    AddIdentity(kGuid1, &anna, &store);
    AddIdentity(kGuid2, nullptr, &store);  // not an identity
    AddIdentity(kGuid3, &ben, nullptr);

    const auto identities = scanner.ListIdentities();
    ASSERT_EQ(identities.size(), 2u);
    EXPECT_EQ(identities[0].Index, 0);
    EXPECT_EQ(identities[0].Username, "Anna");
    EXPECT_EQ(identities[0].KeyName, std::string("\\") + kGuid1 + "\\");
    EXPECT_EQ(identities[0].StoreRoot, "C:\\Mail\\Anna\\");
    EXPECT_EQ(identities[1].Index, 2);
    EXPECT_EQ(identities[1].Username, ben);
    EXPECT_EQ(identities[1].KeyName, std::string("\\") + kGuid3 + "\\");
    EXPECT_EQ(identities[1].StoreRoot, "");  // the mail collection reports it later
    EXPECT_EQ(identities[1].LastArchivePath, "");
    EXPECT_TRUE(identities[1].FirefoxProfileList.empty());
}

TEST_F(IdentityScannerTest, AnEmptyUsernameStillMakesAnIdentity) {
    const std::string empty;
    AddIdentity(kGuid1, &empty, nullptr);
    const auto identities = scanner.ListIdentities();
    ASSERT_EQ(identities.size(), 1u);
    EXPECT_EQ(identities[0].Username, "");
}

TEST_F(IdentityScannerTest, StoreRootIsExpandedWithTrailingBackslash) {
    const std::string name = "Anna", store = "%UserProfile%\\Lokale Einstellungen\\OE";
    AddIdentity(kGuid1, &name, &store);
    const std::string profile = tp.shell().ExpandEnvironment("%UserProfile%");
    ASSERT_EQ(profile.find('%'), std::string::npos) << "the test needs USERPROFILE";

    const auto identities = scanner.ListIdentities();
    ASSERT_EQ(identities.size(), 1u);
    EXPECT_EQ(identities[0].StoreRoot, profile + "\\Lokale Einstellungen\\OE\\");
}

TEST_F(IdentityScannerTest, NoIdentitiesKeyGivesAnEmptyList) {
    EXPECT_TRUE(scanner.ListIdentities().empty());
    ASSERT_EQ(tp.registry().CreateKey(RegRoot::CurrentUser, "Identities"), 0);
    EXPECT_TRUE(scanner.ListIdentities().empty());
}

TEST_F(IdentityScannerTest, DefaultIdentityIdReadsOnlyAStringValue) {
    EXPECT_EQ(scanner.DefaultIdentityId(), "");
    SetString("Identities", "Default User ID", kGuid2);
    EXPECT_EQ(scanner.DefaultIdentityId(), kGuid2);
    ASSERT_EQ(tp.registry().SetValue(RegRoot::CurrentUser, "Identities", "Default User ID",
                                     RegType::Dword, Bytes{1, 0, 0, 0}),
              0);
    EXPECT_EQ(scanner.DefaultIdentityId(), "");
}

TEST_F(IdentityScannerTest, BackupFilesAreSortedWithoutRegardToCase) {
    const std::string dir = tp.TempDir() + "Backups\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), dir));
    EXPECT_TRUE(scanner.ListBackupFiles(dir).empty());

    for (const char* name : {"b.bvq", "A.bvq", "c.txt", "C.BVQ", "a.bvq.log"})
        ASSERT_TRUE(tp.WriteFile(dir + name, "x"));
    ASSERT_TRUE(tp.files().SetAttributes(dir + "b.bvq", FileAttr::Hidden | FileAttr::ReadOnly));
    ASSERT_TRUE(tp.files().CreateDirectory(dir + "ordner.bvq"));

    const std::vector<std::string> expected = {"A.bvq", "b.bvq", "C.BVQ", "ordner.bvq"};
    EXPECT_EQ(scanner.ListBackupFiles(dir), expected);
}

TEST_F(IdentityScannerTest, TaggedLineMatchesOnlyAtTheStartOfALine) {
    const std::string log = tp.TempDir() + "backup.log";
    ASSERT_TRUE(tp.WriteFile(log,
                             "Backup vom 01.02.2003\r\n"
                             "Hinweis - Kommentar: nicht hier\r\n"
                             "kommentar: falsche Schreibung\r\n"
                             "Kommentar:    Vor dem Umzug  \r\n"
                             "Kommentar: der zweite\r\n"));
    EXPECT_EQ(scanner.ReadTaggedLine(log, "Kommentar: "), "Vor dem Umzug");
    EXPECT_EQ(scanner.ReadTaggedLine(log, "Backup vom "), "01.02.2003");
    EXPECT_EQ(scanner.ReadTaggedLine(log, "Fehlt: "), "");
    EXPECT_EQ(scanner.ReadTaggedLine(log, ""), "");
}

TEST_F(IdentityScannerTest, TaggedLineOfAMissingFileRaisesTheReadError) {
    EXPECT_THROW(scanner.ReadTaggedLine(tp.TempDir() + "fehlt.log", "Kommentar: "),
                 EFileReadError);
}

}  // namespace
}  // namespace bv
