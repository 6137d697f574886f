// A full backup of a generated Outlook Express identity: every group's files in the order
// the run adds them, with the names they are stored under.
#include <gtest/gtest.h>

#include <algorithm>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/backup/backup_info.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "platform/path.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

std::string StoredWithPath(const std::string& path) {
    std::string rest = path.substr(ExtractFileDrive(path).size());
    return rest.substr(rest.find_first_not_of('\\'));
}

TEST(BackupOfGeneratedIdentity, EveryGroupInItsOrderWithItsStoredNames) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the generated identity fills the user's real folders on Windows";
    test::OeIdentityOptions options;
    options.mailBytes = 1u << 20;
    const test::OeIdentity generated = test::OeIdentityBuilder(tp.platform()).Build(options);

    std::vector<TIdentitaet> identities = TIdentityScanner(tp.platform()).ListIdentities();
    ASSERT_EQ(identities.size(), 1u);
    TMailFolderTree tree(tp.platform());
    ASSERT_TRUE(tree.LoadFolderTree(identities[0], identities[0].StoreRoot, 0));
    tree.CheckAll();

    BackupOptions o;
    o.identity = identities[0];
    o.backupFolder = tp.TempDir() + "Backups";
    o.backupName = "Generiert";
    o.comment = "Alles";
    o.save.fill(true);
    std::vector<std::string> realNames;
    std::vector<std::string> dbxEntries;
    for (const TMailFolderFile& f : tree.CheckedFolderFiles()) {
        o.mailFolders.push_back(MailFolderChoice{f.Path, f.FolderName});
        realNames.push_back(f.FileName + "#~#" + f.FolderName);
        dbxEntries.push_back(f.FileName);
    }
    ASSERT_FALSE(o.mailFolders.empty());
    test::RecordingView view;
    BackupRun run(tp.platform(), view, o);
    BackupOutcome outcome = run.Execute();
    ASSERT_TRUE(outcome.succeeded) << outcome.statusText;

    std::vector<std::string> expected = {"PREFSMAIN.OLS", "PREFS.OLS",   "FONTS.OLS",   "MAILNOTE.OLS",
                                         "NEWS.OLS",      "NEWSNOTE.OLS", "DIALOGS.OLS", "COLUMNS.OLS",
                                         ExtractFileName(generated.wabFile), "WAB.OLS", "ACCOUNTS.OLS",
                                         "ACCDEF.OLS", "FILTERS.OLS", "BLOCKERS.OLS", "SIGNS.OLS",
                                         "PAPER.OLS", "PAPERW.OLS", "PAPER.TMP"};
    for (const std::string& f : ListFiles(tp.files(), generated.stationeryFolder, "*.*", true))
        expected.push_back(StoredWithPath(f));
    for (const std::string& f : ListFiles(tp.files(), generated.dictionaryFolder, ".dic", false))
        expected.push_back(ExtractFileName(f));
    expected.insert(expected.end(), {"IEZONE.OLS", "COOKIEUS.OLS", "iefav.zip"});
    for (const std::string& f : run.Identity().FirefoxProfileList) expected.push_back(StoredWithPath(f));
    for (const std::string& f : ListFiles(tp.files(), generated.operaProfile, ".adr", false))
        expected.push_back(StoredWithPath(f));
    expected.insert(expected.end(), dbxEntries.begin(), dbxEntries.end());
    expected.insert(expected.end(), {"REALNAME.TMP", "Folders.dbx", "Offline.dbx", "Pop3uidl.dbx"});
    ASSERT_EQ(run.Identity().FirefoxProfileList.size(), 2u);

    TZipReader reader(tp.platform());
    reader.SetZipName(run.ArchivePath());
    reader.ReadDirectory();
    std::vector<std::string> entries;
    for (int i = 0; i < reader.EntryCount(); ++i) entries.push_back(reader.EntryPath(i) + reader.EntryName(i));
    EXPECT_EQ(entries, expected);

    // The folder-name map lists the saved folder files with their names.
    reader.SetDestDir(tp.TempDir() + "aus");
    reader.SetOverwriteMode(TOverwriteMode::Always);
    reader.FilesList() = {"REALNAME.TMP"};
    ASSERT_EQ(reader.ExtractMatching(), 1);
    std::string expectedMap;
    for (const std::string& line : realNames) expectedMap += line + "\r\n";
    EXPECT_EQ(tp.ReadFile(tp.TempDir() + "aus\\REALNAME.TMP"), expectedMap);

    const std::string comment = reader.Comment();
    EXPECT_EQ(BackupInfoValue(comment, "BackupInfo", "IdentID"), generated.guid);
    EXPECT_EQ(BackupInfoValue(comment, "BackupInfo", "Identitaet"), generated.username);
    EXPECT_NE(comment.find("[Profile1]"), std::string::npos);
}

}  // namespace
}  // namespace bv
