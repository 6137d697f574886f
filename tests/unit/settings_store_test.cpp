#include <gtest/gtest.h>

#include "brevisto/settings/settings_store.h"
#include "brevisto/support/path_component.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

// Each test starts without the program's key (the Wine prefix is shared by the suite).
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey); }
    void TearDown() override { tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey); }
    test::TestPlatform tp;
    Settings settings{tp.platform()};
};

TEST_F(SettingsTest, AFreshAccountGetsTheDefaults) {
    std::string documents = TPathComponent(tp.platform()).ShellPersonalFolder();
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(settings.BackupFolder(), IncludeTrailingBackslash(documents) + "bvq-backups\\");
    EXPECT_EQ(settings.TemporaryFolder(), IncludeTrailingBackslash(tp.system().TempPath()));
    EXPECT_TRUE(settings.TestBackup());
    EXPECT_TRUE(settings.NoMessages());
    EXPECT_EQ(settings.Compression(), 5);
    EXPECT_EQ(settings.MaxBackups(), 10);
    EXPECT_EQ(settings.UpdateOUPeriod(), 30);
    EXPECT_EQ(settings.Priority(), 0);
    EXPECT_FALSE(settings.StopProgram());
    EXPECT_FALSE(settings.AskForPassword());
    EXPECT_FALSE(settings.OEAutoClose());
    EXPECT_FALSE(settings.OEPrintAfterBackup());
    EXPECT_FALSE(settings.Again("again_password"));
}

TEST_F(SettingsTest, StoredValuesOutsideTheirRangeFallBack) {
    settings.SetInteger("maxBackups", 0);
    settings.SetInteger("Priority", -5);
    EXPECT_EQ(settings.MaxBackups(), 10);
    EXPECT_EQ(settings.Priority(), 0);
    settings.SetInteger("maxBackups", 3);
    settings.SetInteger("Priority", 2);
    settings.SetInteger("Compression", 0);
    settings.SetBool("testBackup", false);
    settings.SetBool("noMessages", false);
    EXPECT_EQ(settings.MaxBackups(), 3);
    EXPECT_EQ(settings.Priority(), 2);
    EXPECT_EQ(settings.Compression(), 0);
    EXPECT_FALSE(settings.TestBackup());
    EXPECT_FALSE(settings.NoMessages());
}

TEST_F(SettingsTest, FoldersComeExpandedWithTrailingBackslash) {
    settings.SetString("bakFolder", "%TEMP%\\x");
    settings.SetString("tmpFolder", "C:\\Staging\\");
    EXPECT_EQ(settings.BackupFolder(),
              IncludeTrailingBackslash(tp.shell().ExpandEnvironment("%TEMP%")) + "x\\");
    EXPECT_EQ(settings.TemporaryFolder(), "C:\\Staging\\");
}

TEST_F(SettingsTest, WithoutADocumentsFolderThereIsNoDefaultBackupFolder) {
    if (!tp.Posix()) GTEST_SKIP() << "the shell's folders are the real system's on Windows";
    tp.Posix()->shell.folders.erase(Csidl::Personal);
    EXPECT_EQ(settings.BackupFolder(), "");
}

TEST_F(SettingsTest, AccessorsRoundTripAndMissingAnswers) {
    Registry& r = tp.registry();
    const std::string key = std::string(SettingsKey) + "\\Unter";
    EXPECT_EQ(ReadRegString(r, 1, key, "s"), "");
    EXPECT_EQ(ReadRegInteger(r, 1, key, "i"), -1);
    EXPECT_FALSE(ReadRegBool(r, 1, key, "b"));

    EXPECT_TRUE(WriteRegString(r, 1, key, "s", "Größe"));
    EXPECT_TRUE(WriteRegInteger(r, 1, key, "i", 42));
    EXPECT_TRUE(WriteRegBool(r, 1, key, "b", true));
    EXPECT_TRUE(WriteRegString(r, 1, key, "", "Standard"));
    EXPECT_EQ(ReadRegString(r, 1, key, "s"), "Größe");
    EXPECT_EQ(ReadRegString(r, 1, key, ""), "Standard");
    EXPECT_EQ(ReadRegInteger(r, 1, key, "i"), 42);
    EXPECT_TRUE(ReadRegBool(r, 1, key, "b"));

    RegValue raw;
    ASSERT_EQ(r.QueryValue(RegRoot::CurrentUser, key, "b", raw), 0);
    EXPECT_EQ(raw.type, RegType::Dword);
    EXPECT_EQ(raw.data, (Bytes{1, 0, 0, 0}));
    ASSERT_EQ(r.QueryValue(RegRoot::CurrentUser, key, "s", raw), 0);
    EXPECT_EQ(raw.type, RegType::Sz);

    // -1 stored cannot be told from missing.
    WriteRegInteger(r, 1, key, "m", -1);
    EXPECT_EQ(ReadRegInteger(r, 1, key, "m"), -1);
}

TEST_F(SettingsTest, ValuesOfAnotherTypeReadAsMissing) {
    Registry& r = tp.registry();
    const std::string key = SettingsKey;
    ASSERT_EQ(r.CreateKey(RegRoot::CurrentUser, key), 0);
    r.SetValue(RegRoot::CurrentUser, key, "bin", RegType::Binary, Bytes{1, 2, 3, 4});
    r.SetValue(RegRoot::CurrentUser, key, "text", RegType::Sz, Bytes{'1', 0});
    r.SetValue(RegRoot::CurrentUser, key, "expand", RegType::ExpandSz,
               Bytes{'%', 'T', 'E', 'M', 'P', '%', 0});
    EXPECT_EQ(ReadRegInteger(r, 1, key, "bin"), -1);
    EXPECT_FALSE(ReadRegBool(r, 1, key, "bin"));
    EXPECT_EQ(ReadRegString(r, 1, key, "bin"), "");
    EXPECT_EQ(ReadRegInteger(r, 1, key, "text"), -1);
    EXPECT_FALSE(ReadRegBool(r, 1, key, "text"));
    EXPECT_EQ(ReadRegString(r, 1, key, "expand"), "%TEMP%");  // returned unexpanded
    // A default that depends on the type also survives a value of the wrong type.
    r.SetValue(RegRoot::CurrentUser, key, "Compression", RegType::Sz, Bytes{'9', 0});
    EXPECT_EQ(settings.Compression(), 5);
}

TEST_F(SettingsTest, RootSelectors) {
    EXPECT_EQ(RootFromSelector(1), RegRoot::CurrentUser);
    EXPECT_EQ(RootFromSelector(2), RegRoot::LocalMachine);
    EXPECT_EQ(RootFromSelector(3), RegRoot::ClassesRoot);
    EXPECT_EQ(RootFromSelector(0), RegRoot::CurrentUser);
    EXPECT_EQ(RootFromSelector(7), RegRoot::CurrentUser);
}

TEST(ExpandPath, ReferencesAndTrailingBackslash) {
    test::TestPlatform tp;
    const std::string temp = tp.shell().ExpandEnvironment("%TEMP%");
    ASSERT_NE(temp, "%TEMP%");
    EXPECT_EQ(ExpandPath(tp.shell(), "%TEMP%\\x", true), temp + "\\x\\");
    EXPECT_EQ(ExpandPath(tp.shell(), "%temp%\\x\\", true), temp + "\\x\\");
    EXPECT_EQ(ExpandPath(tp.shell(), "%TEMP%\\x", false), temp + "\\x");
    EXPECT_EQ(ExpandPath(tp.shell(), "", true), "");
    EXPECT_EQ(ExpandPath(tp.shell(), "%GIBTESNICHT_BV%\\a", true), "%GIBTESNICHT_BV%\\a\\");
}

}  // namespace
}  // namespace bv
