#include <gtest/gtest.h>

#include "brevisto/backup/backup_chain.h"
#include "brevisto/settings/settings_store.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

TEST(BackupNaming, ProposedNamesAndExtension) {
    const std::string stamp = NameStamp(DateTime{2026, 12, 8, 21, 47, 5, 0});
    EXPECT_EQ(stamp, "2026-12-08_21-47-05");
    EXPECT_EQ(ProposedBackupName(bkFull, "Haupt", stamp), "Haupt_2026-12-08_21-47-05");
    EXPECT_EQ(ProposedBackupName(bkUpdate, "Haupt", stamp), "UPD_Haupt_2026-12-08_21-47-05");
    // Forbidden characters only in the file name.
    EXPECT_EQ(ProposedBackupName(bkFull, "Ich/Du: \"Wir\"?", stamp), "Ich_Du_ _Wir___2026-12-08_21-47-05");
    EXPECT_EQ(WithBackupExtension("a"), "a.bvq");
    EXPECT_EQ(WithBackupExtension("a.bvq"), "a.bvq");
    EXPECT_EQ(WithBackupExtension("a.BVQ"), "a.BVQ.bvq");  // case-sensitive on purpose
    EXPECT_EQ(WithUpdatePrefix("Haupt_x"), "UPD_Haupt_x");
    EXPECT_EQ(WithUpdatePrefix("UPD_Haupt_x"), "UPD_Haupt_x");
    EXPECT_EQ(BackupTypeOf(bkFull), "VollBackup");
    EXPECT_EQ(BackupTypeOf(bkUpdate), "UpdateBackup");
}

TEST(BackupHistoryTest, ChainOfFullAndUpdateBackups) {
    test::TestPlatform tp;
    tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
    BackupHistory history(tp.registry(), "\\{AB-12}\\");
    EXPECT_EQ(history.IdentityKey(), "{AB-12}");
    EXPECT_EQ(history.Counter(), -1);
    EXPECT_EQ(history.MainBackupName(bkUpdate), "");
    EXPECT_EQ(history.MainBackupName(bkFull), "SELF");

    EXPECT_EQ(history.Record(bkFull, "Haupt_1.bvq", "01.12.2026 10:00:00"), 0);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(history.Record(bkUpdate, "UPD_x.bvq", "02.12.2026 10:00:00"), i);
    EXPECT_EQ(history.MainBackupName(bkUpdate), "Haupt_1.bvq");
    EXPECT_EQ(history.LastBackup(), "02.12.2026 10:00:00");
    // A new full backup starts a new chain.
    EXPECT_EQ(history.Record(bkFull, "Haupt_2.bvq", "03.12.2026 10:00:00"), 0);
    EXPECT_EQ(history.Record(bkUpdate, "UPD_y.bvq", "04.12.2026 10:00:00"), 1);
    EXPECT_EQ(history.MainBackupName(bkUpdate), "Haupt_2.bvq");
    EXPECT_EQ(ReadRegInteger(tp.registry(), 1, SettingsKey, "{AB-12}"), 1);
    EXPECT_EQ(ReadRegString(tp.registry(), 1, SettingsKey, "{AB-12}FullName"), "Haupt_2.bvq");
    tp.registry().DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
}

}  // namespace
}  // namespace bv
