#include <gtest/gtest.h>

#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_log.h"
#include "brevisto/backup/firefox_profiles.h"
#include "brevisto/settings/settings_store.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

BackupInfoRecord SampleRecord() {
    BackupInfoRecord r;
    r.backupType = kUpdateBackup;
    r.mainBackup = "Haupt_2026-12-01_10-00-00.bvq";
    r.identityName = "Hauptidentität";
    r.identityKey = "{1A2B}";
    r.counter = 3;
    r.dateText = "08.12.2026";
    r.comment = "Vor dem Umzug";
    r.firefoxVersion = 45;
    r.firefoxProfiles = {{"default", "Profiles\\abc.default"}, {"Arbeit", "D:\\FF\\arbeit"}};
    return r;
}

TEST(BackupInfo, RecordLayoutByteExact) {
    EXPECT_EQ(BuildBackupInfoText(SampleRecord()),
              "[BackupInfo]\r\nBackupArt=UpdateBackup\r\nHauptBackup=Haupt_2026-12-01_10-00-00.bvq\r\n"
              "Identitaet=Hauptidentit\xE4t\r\nIdentID={1A2B}\r\nCounter=3\r\nDate=08.12.2026\r\n"
              "Comment=Vor dem Umzug\r\n\r\n[Firefox]\r\nVersion=45\r\n"
              "\r\n[Profile0]\r\nName=default\r\nPath=Profiles\\abc.default\r\n"
              "\r\n[Profile1]\r\nName=Arbeit\r\nPath=D:\\FF\\arbeit\r\n"
              "\r\n[velbundle]\r\nVersion=1.0\r\n");
}

TEST(BackupInfo, WithoutFirefoxTheSectionKeepsVersionTwo) {
    BackupInfoRecord r = SampleRecord();
    r.backupType = kFullBackup;
    r.mainBackup = kSelfMain;
    r.counter = 0;
    r.firefoxVersion = 2;
    r.firefoxProfiles.clear();
    const std::string text = BuildBackupInfoText(r);
    EXPECT_NE(text.find("[Firefox]\r\nVersion=2\r\n\r\n[velbundle]\r\n"), std::string::npos);
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "HauptBackup"), "SELF");
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "Counter"), "0");
}

TEST(BackupInfo, OversizedRecordsDropTrailingProfilesAndStayBelowTheCommentLimit) {
    BackupInfoRecord r = SampleRecord();
    r.firefoxProfiles.clear();
    for (int i = 0; i < 400; ++i) r.firefoxProfiles.push_back({"p" + std::to_string(i), std::string(200, 'x')});
    const std::string text = BuildBackupInfoText(r);
    EXPECT_LE(text.size(), 65535u);
    EXPECT_NE(text.find("[Profile0]"), std::string::npos);
    EXPECT_EQ(text.find("[Profile399]"), std::string::npos);
    const std::string ending = "\r\n[velbundle]\r\nVersion=1.0\r\n";
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
}

TEST(BackupInfo, ValueSearchQuirks) {
    const std::string text = BuildBackupInfoText(SampleRecord());
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "BackupArt"), "UpdateBackup");
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "Identitaet"), "Hauptidentität");
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "Comment"), "Vor dem Umzug");
    // The key search runs past the section: "Version" comes from [Firefox].
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "Version"), "45");
    EXPECT_EQ(BackupInfoValue(text, "Firefox", "Version"), "45");
    EXPECT_EQ(BackupInfoValue(text, "Profile1", "Path"), "D:\\FF\\arbeit");
    EXPECT_EQ(BackupInfoValue(text, "velbundle", "Version"), "1.0");
    // Case-sensitive; unknown section or key gives nothing.
    EXPECT_EQ(BackupInfoValue(text, "backupinfo", "Counter"), "");
    EXPECT_EQ(BackupInfoValue(text, "BackupInfo", "Fehlt"), "");
    EXPECT_EQ(BackupInfoValue("", "BackupInfo", "Counter"), "");
    // A key found earlier inside another value wins, and without "key=" the line loses
    // as many characters as the key is long.
    EXPECT_EQ(BackupInfoValue("[BackupInfo]\r\nHauptBackup=Counter_x.bvq\r\nCounter=2\r\n", "BackupInfo",
                              "Counter"),
              "ckup=Counter_x.bvq");
    EXPECT_EQ(BackupInfoValue("[S]\nabcKEYrest\n", "S", "KEY"), "KEYrest");
}

TEST(BackupInfo, FileTimeTextInGerman) {
    test::TestPlatform tp;
    FileTime utc = 0;
    ASSERT_TRUE(tp.system().LocalToFileTime(DateTime{2026, 12, 8, 21, 47, 5, 0}, utc));
    EXPECT_EQ(FileTimeText(tp.system(), utc), "08. Dezember 2026 um 21:47 Uhr");
    ASSERT_TRUE(tp.system().LocalToFileTime(DateTime{2027, 3, 1, 7, 5, 0, 0}, utc));
    EXPECT_EQ(FileTimeText(tp.system(), utc), "01. März 2027 um 07:05 Uhr");
}

class FirefoxTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() { tp.registry().DeleteKeyTree(RegRoot::LocalMachine, "SOFTWARE\\Clients\\StartMenuInternet\\firefox.exe"); }
    void InstallFirefox(const std::string& command, const std::string& applicationIni) {
        const std::string folder = tp.TempDir() + "Mozilla Firefox\\";
        ForceDirectories(tp.files(), folder);
        if (!applicationIni.empty()) {
            ASSERT_TRUE(tp.WriteFile(folder + "application.ini", applicationIni));
        }
        ASSERT_TRUE(WriteRegString(tp.registry(), 2,
                                   "SOFTWARE\\Clients\\StartMenuInternet\\firefox.exe\\shell\\open\\command",
                                   "", command.empty() ? folder + "firefox.exe -osint" : command));
    }
    test::TestPlatform tp;
};

TEST_F(FirefoxTest, VersionFromApplicationIni) {
    EXPECT_EQ(FirefoxVersion(tp.platform()), 2);  // not installed
    InstallFirefox("", "[App]\r\nVendor=Mozilla\r\nVersion=45.0\r\n");
    EXPECT_EQ(FirefoxVersion(tp.platform()), 45);
}

TEST_F(FirefoxTest, VersionTwoWhenItDoesNotRead) {
    InstallFirefox("", "[App]\r\nVersion=3.6.13\r\n");
    EXPECT_EQ(FirefoxVersion(tp.platform()), 2);
    InstallFirefox("", "[App]\r\nVersion=3.6\r\n");
    EXPECT_EQ(FirefoxVersion(tp.platform()), 3);
    InstallFirefox("", "[App]\r\nName=Firefox\r\n");
    EXPECT_EQ(FirefoxVersion(tp.platform()), 2);
    InstallFirefox("firefox.exe", "[App]\r\nVersion=9\r\n");  // no folder in the command
    EXPECT_EQ(FirefoxVersion(tp.platform()), 2);
    // The folder of a quoted command keeps its quote: no application.ini there.
    InstallFirefox("\"" + tp.TempDir() + "Mozilla Firefox\\firefox.exe\" -osint", "[App]\r\nVersion=9\r\n");
    EXPECT_EQ(FirefoxVersion(tp.platform()), 2);
}

TEST(FirefoxProfilesTest, ProfilesUntilTheFirstGapWithRelativeAndAbsolutePaths) {
    test::TestPlatform tp;
    const std::string ff = tp.TempDir() + "Mozilla\\Firefox\\";
    ForceDirectories(tp.files(), ff + "Profiles\\abc.default");
    ForceDirectories(tp.files(), tp.TempDir() + "Absolut");
    ASSERT_TRUE(tp.WriteFile(ff + "Profiles\\abc.default\\places.sqlite", "SQLite format 3"));
    ASSERT_TRUE(tp.WriteFile(ff + "profiles.ini",
                             "[General]\r\nStartWithLastProfile=1\r\n\r\n"
                             "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abc.default\r\nDefault=1\r\n\r\n"
                             "[Profile1]\r\nName=Arbeit\r\nIsRelative=0\r\nPath=" + tp.TempDir() + "Absolut\r\n\r\n"
                             "[Profile3]\r\nName=Lücke\r\nIsRelative=1\r\nPath=Profiles/gap\r\n"));
    std::vector<std::string> files = FirefoxBookmarkFiles(tp.platform(), ff + "profiles.ini", true);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], ff + "Profiles\\abc.default\\places.sqlite_mob");
    EXPECT_EQ(files[1], tp.TempDir() + "Absolut\\bookmarks.html");
    EXPECT_EQ(tp.ReadFile(files[0]), "SQLite format 3");

    EXPECT_EQ(FirefoxBookmarkFiles(tp.platform(), ff + "profiles.ini", false)[0],
              ff + "Profiles\\abc.default\\places.sqlite");

    std::vector<std::string> profiles = FirefoxProfiles(tp.platform(), ff + "profiles.ini", ":#*#:");
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0], "default:#*#:Profiles\\abc.default:#*#:1:#*#:1");
    EXPECT_EQ(profiles[1], "Arbeit:#*#:" + tp.TempDir() + "Absolut:#*#:0:#*#:INIERROR");
    EXPECT_TRUE(FirefoxProfiles(tp.platform(), ff + "fehlt.ini", ":#*#:").empty());
    EXPECT_FALSE(FileExists(tp.files(), ff + "fehlt.ini"));
}

class BackupLogTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    std::string folder = tp.TempDir() + "Backups\\";
    LogEntry entry{"Hauptidentität", false, "C:\\B\\x.bvq", false, true};
};

TEST_F(BackupLogTest, FirstEntryCreatesTheOpeningLines) {
    ForceDirectories(tp.files(), folder);
    ASSERT_TRUE(WriteLogEntry(tp.platform(), folder, LogPart::Header, entry));
    entry.runOk = false;
    ASSERT_TRUE(WriteLogEntry(tp.platform(), folder, LogPart::Status, entry));
    const std::string log = tp.ReadFile(folder + "Brevisto.log");
    const std::string opening =
        "--------------------------\r\nLogdatei f\xFCr Sicherungen der Software Brevisto\r\n"
        "--------------------------\r\n\r\n--------------------------\r\nVersion   : V4.80\r\nDatum     : ";
    ASSERT_EQ(log.substr(0, opening.size()), opening);
    const std::string rest = log.substr(opening.size() + 19);  // after the date-time text
    EXPECT_EQ(rest,
              "\r\nIdentit\xE4t : Hauptidentit\xE4t\r\nSicherung : manuell\r\nBackup    : C:\\B\\x.bvq\r\n"
              "Status    : FEHLER\r\n--------------------------\r\n");
}

TEST_F(BackupLogTest, LaterRunsAppend) {
    ForceDirectories(tp.files(), folder);
    entry.unattended = true;
    WriteLogEntry(tp.platform(), folder, LogPart::Header, entry);
    WriteLogEntry(tp.platform(), folder, LogPart::Cancel, entry);
    entry.cancelled = true;
    WriteLogEntry(tp.platform(), folder, LogPart::Status, entry);
    entry.cancelled = false;
    WriteLogEntry(tp.platform(), folder, LogPart::Status, entry);
    const std::string log = tp.ReadFile(folder + "Brevisto.log");
    EXPECT_NE(log.find("Sicherung : automatisiert\r\n"), std::string::npos);
    EXPECT_NE(log.find("Status    : ABGEBROCHEN\r\n--------------------------\r\n"
                       "Status    : ABGEBROCHEN\r\n--------------------------\r\n"
                       "Status    : OK\r\n--------------------------\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("Logdatei"), log.rfind("Logdatei"));  // opening lines once
}

TEST_F(BackupLogTest, AnUnwritableFolderIsReportedAndTheRunGoesOn) {
    EXPECT_FALSE(WriteLogEntry(tp.platform(), "Q:\\Backups\\", LogPart::Status, entry));
    ASSERT_EQ(tp.prompter().messages.size(), 1u);
    EXPECT_EQ(tp.prompter().messages[0].text, "LogDatei konnte nicht auf Laufwerk Q: angelegt werden!");
    EXPECT_EQ(tp.prompter().messages[0].caption, "Brevisto");
}

}  // namespace
}  // namespace bv
