// The Firefox profiles named in a backup's information record.
#include <gtest/gtest.h>

#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/shell/archive_profiles.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

using List = std::vector<std::string>;

TEST(ShellArchiveProfiles, ProfilesOfACommentText) {
    const std::string head = "[BackupInfo]\r\nBackupArt=VollBackup\r\n\r\n[Firefox]\r\nVersion=3\r\n";
    struct Case {
        const char* name;
        std::string comment;
        List profiles;
    } cases[] = {
        {"empty", "", {}},
        {"no profiles", head, {}},
        {"two", head + "\r\n[Profile0]\r\nName=default\r\nPath=Profiles/abc.default\r\n\r\n"
                       "[Profile1]\r\nName=Arbeit\r\nPath=D:\\FF\\Arbeit\r\n",
         {"default:#*#:Profiles/abc.default", "Arbeit:#*#:D:\\FF\\Arbeit"}},
        // A gap ends the search: profile 2 is never reached without profile 1.
        {"gap", head + "[Profile0]\r\nName=a\r\nPath=p\r\n[Profile2]\r\nName=c\r\nPath=r\r\n",
         {"a:#*#:p"}},
        // The header may stand anywhere in its line; the values follow their first "=" key.
        {"loose", "x [Profile0] y\r\nxName=a=b\r\nPath=Path=q\r\n", {"a=b:#*#:Path=q"}},
        {"lone line breaks", "[Profile0]\nName=a\nPath=p\n[Profile1]\rName=b\rPath=q", {"a:#*#:p", "b:#*#:q"}},
        // A block without its Name or Path line names no profile; the next block still counts.
        {"no name", "[Profile0]\r\nPfad=x\r\nPath=p\r\n[Profile1]\r\nName=b\r\nPath=q\r\n",
         {"b:#*#:q"}},
        {"no path", "[Profile0]\r\nName=a\r\nIsRelative=1\r\n[Profile1]\r\nName=b\r\nPath=q\r\n",
         {"b:#*#:q"}},
        // A record cut short after its header or its name line.
        {"cut after header", head + "[Profile0]\r\n", {}},
        {"cut after name", head + "[Profile0]\r\nName=a\r\n", {}},
        {"cut after first", "[Profile0]\r\nName=a\r\nPath=p\r\n[Profile1]\r\nName=b", {"a:#*#:p"}},
        {"empty values", "[Profile0]\r\nName=\r\nPath=\r\n", {":#*#:"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ListFirefoxProfilesOfComment(c.comment), c.profiles) << c.name;
}

TEST(ShellArchiveProfiles, ProfilesOfAnArchive) {
    test::TestPlatform tp;
    const std::string source = tp.TempDir() + "Folders.dbx";
    ASSERT_TRUE(tp.WriteFile(source, "dbx"));
    BackupInfoRecord record;
    record.backupType = kFullBackup;
    record.mainBackup = kSelfMain;
    record.identityName = "Hauptidentität";
    record.firefoxVersion = 3;
    record.firefoxProfiles = {{"default", "Profiles/x1.default"}, {"Zweit", "C:\\FF\\Zweit"}};

    const std::string withComment = tp.TempDir() + "mit.bvq";
    {
        TZipWriter w(tp.platform());
        w.SetZipName(withComment);
        w.FilesList() = {source};
        ASSERT_EQ(w.AddFiles(), 1);
        w.SetComment(BuildBackupInfoText(record));
        w.WriteChangedComment();
    }
    const std::string without = tp.TempDir() + "ohne.bvq";
    {
        TZipWriter w(tp.platform());
        w.SetZipName(without);
        w.FilesList() = {source};
        ASSERT_EQ(w.AddFiles(), 1);
    }
    TZipReader r(tp.platform());
    r.SetZipName(withComment);
    EXPECT_EQ(ListArchiveFirefoxProfiles(r),
              (List{"default:#*#:Profiles/x1.default", "Zweit:#*#:C:\\FF\\Zweit"}));
    r.SetZipName(without);
    EXPECT_EQ(ListArchiveFirefoxProfiles(r), List{});
}

}  // namespace
}  // namespace bv
