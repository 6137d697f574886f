// The hostile corpus of tests/fixtures/hostile (made by tools/hostile/make_corpus.py) fed to
// every parser that reads files from outside: each input ends in an error or a skip, never in
// a crash, a hang or a file written outside the folder that the operation was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/automation/parameter_file.h"
#include "brevisto/mailstore/dbx_file.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/transfer/account_file.h"
#include "brevisto/transfer/reg_snapshot.h"
#include "brevisto/transfer/settings_transfer.h"
#include "brevisto/transfer/transfer_target.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_platform.h"
#include "tests/support/recording_setup_views.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

using Tree = std::map<std::string, std::string>;

// A parser that loops forever would stall the whole run; this ends it with a name instead.
class Watchdog {
public:
    explicit Watchdog(std::string what, int seconds = 120) : what_(std::move(what)) {
        thread_ = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished_; })) {
                std::fprintf(stderr, "Keine Antwort nach %d s: %s\n", seconds, what_.c_str());
                std::abort();
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

class HostileCorpusTest : public ::testing::Test {
protected:
    test::TestPlatform tp;

    static std::string Corpus(const std::string& relative) {
        return test::TestPlatform::FixturePath("hostile\\" + relative);
    }
    // The corpus files of one folder matching `pattern`, sorted by name.
    std::vector<std::string> CorpusFiles(const std::string& folder, const std::string& pattern) {
        std::vector<std::string> names;
        for (const FindEntry& e : tp.files().Find(Corpus(folder + "\\" + pattern)))
            if (!e.IsDirectory()) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    // A private copy: some readers touch what they read, and the fixtures stay as they are.
    std::string Copy(const std::string& relative, const std::string& folder) {
        const std::string target = IncludeTrailingBackslash(folder) + ExtractFileName(relative);
        EXPECT_TRUE(ForceDirectories(tp.files(), ExcludeTrailingBackslash(folder)));
        EXPECT_TRUE(tp.files().CopyFile(Corpus(relative), target, false)) << relative;
        return target;
    }
    Tree Root() { return test::FileTree(tp, tp.TempDir()); }
    // Whatever a hostile name could reach outside the test's root: the root of drive C: and
    // the folder around the test's root.
    std::vector<std::string> Outside() {
        std::vector<std::string> found;
        const std::string around = ExtractFilePath(ExcludeTrailingBackslash(tp.TempDir()));
        for (const std::string& folder : {std::string("C:\\"), around})
            for (const FindEntry& e : tp.files().Find(folder + "boese*")) found.push_back(folder + e.name);
        std::sort(found.begin(), found.end());
        return found;
    }
    // Every file or folder that differs between the two listings lies below `allowed`
    // (empty: nothing may differ).
    static void ExpectChangesOnlyBelow(const Tree& before, const Tree& after, const std::string& allowed,
                                       const std::string& input) {
        std::set<std::string> paths;
        for (const auto& [path, content] : before) paths.insert(path);
        for (const auto& [path, content] : after) paths.insert(path);
        for (const std::string& path : paths) {
            const auto b = before.find(path), a = after.find(path);
            const bool same = b != before.end() && a != after.end() && b->second == a->second;
            if (same || (!allowed.empty() && StartsWith(path, allowed))) continue;
            ADD_FAILURE() << input << ": " << path
                          << (a == after.end() ? " verschwand" : b == before.end() ? " entstand" : " änderte sich")
                          << " außerhalb von \"" << allowed << "\"";
        }
    }
};

// --- ZIP archives ----------------------------------------------------------------------------

struct ZipRun {
    std::string error;  // what ReadDirectory raised; empty when the directory was read
    int entries = 0;
    std::vector<bool> good;      // TestEntry per entry
    std::vector<std::string> failures;  // what TestEntry or ExtractMatching raised
    int extracted = 0;
};

class HostileZipTest : public HostileCorpusTest {
protected:
    // The folder around the targets exists beforehand: only the target itself may appear.
    void SetUp() override { ASSERT_TRUE(ForceDirectories(tp.files(), tp.TempDir() + "Ziel")); }

    // Reads the directory, tests every entry and extracts all into `dest`; checks on the way
    // that no written file exceeds its entry's declared size and that nothing but the entries'
    // own files appears in `dest`.
    ZipRun Run(const std::string& zip, const std::string& dest,
               TIncompleteZipMode mode = TIncompleteZipMode::izAssumeMulti) {
        Watchdog watchdog(zip);
        ZipRun run;
        TZipReader r(tp.platform());
        r.SetIncompleteZipMode(mode);
        r.SetZipName(zip);
        try {
            r.ReadDirectory();
        } catch (const EZipError& e) {
            run.error = e.what();
            return run;
        }
        run.entries = r.EntryCount();
        for (int i = 0; i < r.EntryCount(); ++i) {
            bool good = false;
            try {
                good = r.TestEntry(i);
            } catch (const EZipError& e) {
                run.failures.push_back(e.what());
            }
            run.good.push_back(good);
        }
        r.SetDestDir(ExcludeTrailingBackslash(dest));
        r.SetDoAll(true);
        r.SetRecreateDirs(true);
        r.SetOverwriteMode(TOverwriteMode::Always);
        try {
            run.extracted = r.ExtractMatching();
        } catch (const EZipError& e) {
            run.failures.push_back(e.what());
        }
        std::map<std::string, uint64_t> declared;
        for (int i = 0; i < r.EntryCount(); ++i)
            if (!r.EntryName(i).empty()) declared[dest + r.EntryPath(i) + r.EntryName(i)] = r.EntrySize(i);
        for (const auto& [path, content] : test::FileTree(tp, dest)) {
            if (path.back() == '\\') continue;  // a folder
            const auto it = declared.find(path);
            if (it == declared.end()) {
                ADD_FAILURE() << zip << ": keine Datei des Archivs: " << path;
                continue;
            }
            EXPECT_LE(content.size(), it->second) << zip << ": " << path;
        }
        return run;
    }

    std::string Dest(const std::string& name) { return tp.TempDir() + "Ziel\\" + name + "\\"; }

    // Runs one archive of the corpus with the temporary root listed before and after.
    ZipRun RunCorpus(const std::string& name, TIncompleteZipMode mode = TIncompleteZipMode::izAssumeMulti) {
        const std::string zip = Copy("zip\\" + name, tp.TempDir() + "Archive\\");
        const std::vector<std::string> outsideBefore = Outside();
        const Tree before = Root();
        const ZipRun run = Run(zip, Dest(name), mode);
        ExpectChangesOnlyBelow(before, Root(), Dest(name), name);
        EXPECT_EQ(Outside(), outsideBefore) << name;
        return run;
    }
};

TEST_F(HostileZipTest, StoredPathsOutsideTheTargetAreSkipped) {
    const ZipRun run = RunCorpus("pfade.zip");
    ASSERT_EQ(run.error, "");
    // The corpus names every entry that would leave the target "boese..."; their data are
    // sound, so only the extraction may pass them over.
    TZipReader r(tp.platform());
    r.SetZipName(tp.TempDir() + "Archive\\pfade.zip");
    r.ReadDirectory();
    int harmless = 0, hostile = 0;
    for (int i = 0; i < r.EntryCount(); ++i) {
        const bool bad = r.EntryHeader(i).fileName.find("boese") != std::string::npos;
        (bad ? hostile : harmless)++;
        EXPECT_EQ(zip::IsUnsafeStoredPath(r.EntryHeader(i).fileName), bad) << r.EntryHeader(i).fileName;
        EXPECT_TRUE(run.good[static_cast<size_t>(i)]) << r.EntryHeader(i).fileName;
    }
    EXPECT_GT(hostile, 0);
    EXPECT_EQ(run.extracted, harmless);
    for (const auto& [path, content] : test::FileTree(tp, tp.TempDir()))
        EXPECT_EQ(path.find("boese"), std::string::npos) << path;
}

TEST_F(HostileZipTest, OverlappingEntriesStayInsideTheTarget) {
    const ZipRun run = RunCorpus("ueberlappend.zip");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.entries, 3);
    // An entry inside another's data is still a sound entry; what matters is that every file
    // lands in the target with at most its declared size (checked by the run).
    EXPECT_LE(run.extracted, run.entries);
}

TEST_F(HostileZipTest, HugeDeclaredSizesFailWithoutWriting) {
    const std::vector<std::string> names = CorpusFiles("zip", "riesig_*.zip");
    ASSERT_GE(names.size(), 4u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const ZipRun run = RunCorpus(name);
        if (!run.error.empty()) {
            EXPECT_EQ(run.error, EZipInvalid().what());
            continue;
        }
        ASSERT_EQ(run.good.size(), 1u);
        EXPECT_FALSE(run.good[0]);
        EXPECT_EQ(run.extracted, 0);
        for (const auto& [path, content] : test::FileTree(tp, Dest(name)))
            EXPECT_EQ(path.back(), '\\') << "geschrieben: " << path;
    }
}

TEST_F(HostileZipTest, BombStopsAtTheDeclaredSize) {
    const ZipRun run = RunCorpus("bombe.zip");
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.good.size(), 1u);
    // The first declared bytes carry the right CRC; the stream going on beyond them is the
    // fault, and the entry must not pass as good.
    EXPECT_FALSE(run.good[0]);
    EXPECT_EQ(run.extracted, 0);
    for (const auto& [path, content] : test::FileTree(tp, Dest("bombe.zip")))
        EXPECT_LE(content.size(), 1000u) << path;
}

TEST_F(HostileZipTest, WrongCrcIsReportedNotAccepted) {
    const ZipRun run = RunCorpus("falsche_crc.zip");
    ASSERT_EQ(run.error, "");
    TZipReader r(tp.platform());
    r.SetZipName(tp.TempDir() + "Archive\\falsche_crc.zip");
    r.ReadDirectory();
    int sound = 0;
    for (int i = 0; i < r.EntryCount(); ++i) {
        const bool wrong = r.EntryName(i).find("falsch") != std::string::npos;
        EXPECT_EQ(run.good[static_cast<size_t>(i)], !wrong) << r.EntryName(i);
        EXPECT_EQ(FileExists(tp.files(), Dest("falsche_crc.zip") + r.EntryName(i)), !wrong) << r.EntryName(i);
        if (!wrong) ++sound;
    }
    EXPECT_GT(sound, 0);
    EXPECT_LT(sound, r.EntryCount());
    EXPECT_EQ(run.extracted, sound);
    EXPECT_FALSE(r.TestArchive());
}

TEST_F(HostileZipTest, TruncatedArchivesFailOrYieldOnlyWholeEntries) {
    // The uncut archive, extracted once, is what every surviving entry must equal.
    const ZipRun whole = RunCorpus("ganz.zip");
    ASSERT_EQ(whole.error, "");
    ASSERT_GT(whole.entries, 1);
    EXPECT_EQ(whole.extracted, whole.entries);
    const Tree reference = test::FileTree(tp, Dest("ganz.zip"));

    const std::vector<std::string> cuts = CorpusFiles("zip", "abgeschnitten_*.zip");
    ASSERT_EQ(cuts.size(), 16u);
    int salvaged = 0;
    for (const std::string& name : cuts) {
        SCOPED_TRACE(name);
        // Without its end record an archive is no archive to the strict reading.
        const ZipRun strict = RunCorpus(name);
        EXPECT_EQ(strict.error, EZipInvalid().what());
        EXPECT_TRUE(test::FileTree(tp, Dest(name)).empty());
        // Rebuilt from its local headers, the entries cut short fail and the whole ones come
        // out as they were.
        const std::string zip = tp.TempDir() + "Archive\\" + name;
        const std::string dest = Dest(name + ".neu");
        const Tree before = Root();
        const ZipRun rebuilt = Run(zip, dest, TIncompleteZipMode::izAssumeBad);
        ExpectChangesOnlyBelow(before, Root(), dest, name);
        if (!rebuilt.error.empty()) {
            EXPECT_EQ(rebuilt.error, EZipInvalid().what());
            continue;
        }
        EXPECT_LT(rebuilt.entries, whole.entries + 1);
        int good = 0;
        for (bool g : rebuilt.good) good += g ? 1 : 0;
        EXPECT_EQ(rebuilt.extracted, good);
        salvaged += rebuilt.extracted;
        for (const auto& [path, content] : test::FileTree(tp, dest)) {
            const auto it = reference.find(Dest("ganz.zip") + path.substr(dest.size()));
            ASSERT_NE(it, reference.end()) << path;
            EXPECT_EQ(content, it->second) << path;
        }
    }
    // The later cuts keep whole entries: the rebuilt reading was really exercised.
    EXPECT_GT(salvaged, 0);
}

TEST_F(HostileZipTest, LongestCommentIsReadWhole) {
    const ZipRun run = RunCorpus("kommentar_65535.zip");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.extracted, run.entries);
    const std::string zip = tp.TempDir() + "Archive\\kommentar_65535.zip";
    const std::string bytes = tp.ReadFile(zip);
    ASSERT_GT(bytes.size(), 65535u);
    TZipReader r(tp.platform());
    r.SetZipName(zip);
    EXPECT_EQ(r.ReadComment(), bytes.substr(bytes.size() - 65535));
    EXPECT_TRUE(r.TestArchive());
}

// --- DBX files -------------------------------------------------------------------------------

TEST_F(HostileCorpusTest, DbxTreesEndAndStayWithinTheHeaderCount) {
    const std::vector<std::string> names = CorpusFiles("dbx", "*.dbx");
    ASSERT_GE(names.size(), 16u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = Copy("dbx\\" + name, tp.TempDir() + "dbx\\");
        const Tree before = Root();
        {
            Watchdog watchdog(name);
            TDbxFile file(tp.files(), tp.system(), path);
            const bool folders = file.IsFolderFile();
            ASSERT_TRUE(folders || file.IsMessageFile());
            file.LoadTree();
            const uint32_t declared = file.HeaderValue(folders ? 0xCC : 0xC4);
            const size_t read = folders ? file.FolderList()->FileOrder().size()
                                        : file.MessageList()->FileOrder().size();
            EXPECT_LE(read, declared);
        }
        ExpectChangesOnlyBelow(before, Root(), "", name);
    }
}

// --- REGEDIT4 snapshots ----------------------------------------------------------------------

// Below HKEY_CURRENT_USER\Software\Microsoft\<program>\, with no component that is empty,
// "." or "..", and no NUL.
bool InsideProgramKey(const RegSnapshotLine& key, const std::string& program) {
    const std::string prefix = "SOFTWARE\\MICROSOFT\\" + AnsiUpperCase(program) + "\\";
    if (key.root != RegRoot::CurrentUser || !StartsWith(AnsiUpperCase(key.path), prefix)) return false;
    if (key.path.find('\0') != std::string::npos) return false;
    size_t start = 0;
    for (;;) {
        const size_t next = key.path.find('\\', start);
        const std::string part = key.path.substr(start, next == std::string::npos ? std::string::npos : next - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (next == std::string::npos) return true;
        start = next + 1;
    }
}

TEST_F(HostileCorpusTest, RegSnapshotsWriteOnlyBelowTheMailProgramKey) {
    const std::vector<std::string> names = CorpusFiles("reg", "*.reg");
    ASSERT_GE(names.size(), 3u);
    size_t longestValue = 0;
    for (const std::string& name : names) {
        const std::string path = Copy("reg\\" + name, tp.TempDir() + "reg\\");
        // The reader on the raw file: an error or the keys, never more.
        {
            Watchdog watchdog(name);
            try {
                (void)ReadRegSnapshot(tp.files(), tp.system(), path);
            } catch (const std::exception& e) {
                EXPECT_NE(std::string(e.what()), "") << name;
            }
        }
        for (const char* program : {kWindowsMail, kWindowsLiveMail}) {
            for (const char* kind : {kRulesSnapshot, kBlockedSendersSnapshot, kSignaturesSnapshot}) {
                SCOPED_TRACE(name + " " + program + " " + kind);
                Watchdog watchdog(name);
                const ConvertedSnapshot converted = ConvertSnapshot(tp.files(), tp.system(), path, kind, program);
                const std::string rewritten = tp.TempDir() + "reg\\umgeschrieben.reg";
                ASSERT_TRUE(WriteTextLines(tp.files(), rewritten, converted.lines));
                // What the import would write, through the same reader, which only records:
                // every key line, and every value under the key line before it.
                std::vector<RegSnapshotLine> lines;
                try {
                    ReadRegSnapshotLines(tp.files(), tp.system(), rewritten, lines);
                } catch (const std::exception& e) {
                    ADD_FAILURE() << "the rewritten file does not import: " << e.what();
                }
                for (const RegSnapshotLine& line : lines) {
                    if (line.isKey) {
                        EXPECT_TRUE(InsideProgramKey(line, program)) << static_cast<int>(line.root) << " " << line.path;
                        continue;
                    }
                    EXPECT_FALSE(line.beforeAnyKey) << "a value outside any key: " << line.value.name;
                    longestValue = std::max(longestValue, line.value.data.size());
                }
                // The identity's own keys of the corpus survive the rewriting (the blocked
                // senders take only their criteria).
                if (std::string(kind) != kBlockedSendersSnapshot) {
                    EXPECT_FALSE(lines.empty());
                }
            }
        }
    }
    // The megabyte line arrives whole.
    EXPECT_GE(longestValue, size_t{1024 * 1024});
}

// --- parameter files -------------------------------------------------------------------------

class HostileParameterFileTest : public HostileCorpusTest {
protected:
    void SetUp() override {
        tp.SetEnvironment("BVTESTROOT", ExcludeTrailingBackslash(tp.TempDir()));
        // A store with one sound file, and the names the corpus reaches for elsewhere.
        ASSERT_TRUE(ForceDirectories(tp.files(), store + "Unter"));
        ASSERT_TRUE(ForceDirectories(tp.files(), tp.TempDir() + "Sicherung"));
        ASSERT_TRUE(tp.WriteFile(store + "gut.dbx", "gut"));
        ASSERT_TRUE(tp.WriteFile(store + "Unter\\boese.dbx", "unten"));
        ASSERT_TRUE(tp.WriteFile(tp.TempDir() + "boese.dbx", "daneben"));
    }
    ParameterFile Read(const std::string& name) {
        const std::string path = Copy("bvt\\" + name, tp.TempDir() + "bvt\\");
        const Tree before = Root();
        Watchdog watchdog(name);
        const ParameterFile p = ReadParameterFile(tp.platform(), path);
        ExpectChangesOnlyBelow(before, Root(), "", name);
        // Whatever the file says, only bare names of files in the store are chosen.
        for (const MailFolderChoice& c : p.autoFolders) {
            EXPECT_EQ(ExtractFilePath(c.path), store) << name << ": " << c.path;
            EXPECT_EQ(c.path.find("boese"), std::string::npos) << name << ": " << c.path;
        }
        return p;
    }
    const std::string store = tp.TempDir() + "Store\\";
};

TEST_F(HostileParameterFileTest, PasswordThatIsNoBase64IsUnreadable) {
    const std::vector<std::string> names = CorpusFiles("bvt", "passwort_*.bvt");
    ASSERT_GE(names.size(), 3u);
    for (const std::string& name : names) {
        const ParameterFile p = Read(name);
        EXPECT_TRUE(p.passwordUnreadable) << name;
        EXPECT_EQ(p.password, "") << name;
        // Reading stops at the password: no folder of the file is taken.
        EXPECT_TRUE(p.autoFolders.empty()) << name;
    }
}

TEST_F(HostileParameterFileTest, MissingSectionsChooseNothing) {
    for (const char* name : {"leer.bvt", "ohne_abschnitte.bvt", "nur_identitaet.bvt"}) {
        const ParameterFile p = Read(name);
        EXPECT_TRUE(p.autoFolders.empty()) << name;
        EXPECT_FALSE(p.allFolders) << name;
        EXPECT_EQ(p.password, "") << name;
        // A missing "SavePath" names no place (the wizard then takes its default folder).
        EXPECT_EQ(ExtractFileDrive(p.backupFolder), "") << name << ": " << p.backupFolder;
    }
}

TEST_F(HostileParameterFileTest, FolderEntriesWithPathsAreNotChosen) {
    const ParameterFile p = Read("pfade.bvt");
    EXPECT_FALSE(p.passwordUnreadable);
    ASSERT_EQ(p.autoFolders.size(), 1u);
    EXPECT_EQ(p.autoFolders[0].path, store + "gut.dbx");
}

// --- account names ---------------------------------------------------------------------------

TEST_F(HostileCorpusTest, AccountNamesMakeFilesInsideTheTarget) {
    const std::string target = tp.TempDir() + "Konten\\";
    ASSERT_TRUE(ForceDirectories(tp.files(), ExcludeTrailingBackslash(target)));
    const std::string text = tp.ReadFile(Corpus("konten\\kontonamen.txt"));
    std::vector<std::string> accounts;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        accounts.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    ASSERT_GE(accounts.size(), 10u);
    std::set<std::string> made;
    for (const std::string& account : accounts) {
        SCOPED_TRACE(account);
        const std::string folder = AccountFolderName(account);
        EXPECT_EQ(folder.find_first_of("\\/:*?\"<>|"), std::string::npos);
        EXPECT_NE(folder, ".");
        EXPECT_NE(folder, "..");
        if (folder.empty()) continue;  // the caller's fallback
        // The name as a file of the target: it must be exactly one new file directly in it.
        const Tree before = Root();
        const std::string path = target + folder;
        if (made.count(AnsiUpperCase(folder))) continue;  // two names, one folder: fine
        made.insert(AnsiUpperCase(folder));
        ASSERT_TRUE(tp.WriteFile(path, account));
        const Tree after = Root();
        std::vector<std::string> added;
        for (const auto& [p, content] : after)
            if (!before.count(p)) added.push_back(p);
        ASSERT_EQ(added.size(), 1u);
        EXPECT_EQ(added[0], path);
        EXPECT_EQ(ExtractFilePath(added[0]), target);
    }
    EXPECT_FALSE(made.empty());
}

// --- installer script ------------------------------------------------------------------------

TEST_F(HostileCorpusTest, InstallPlanRefusesFilesOutsideTheSetupFolder) {
    const std::string setup = tp.TempDir() + "Setup\\";
    const std::string script = Copy("setup\\Setup.in", setup);
    const std::string install = "C:\\Programme\\Feind";
    InstallScript s;
    {
        Watchdog watchdog("Setup.in");
        ASSERT_EQ(ReadInstallScript(tp.platform(), script, s), ScriptReadResult::Ok);
    }
    ExpandScriptPlaceholders(s, install + "\\", "C:\\Programme\\Gemeinsame Dateien");
    std::vector<std::string> values = s.progFiles;
    values.insert(values.end(), s.additionalFiles.begin(), s.additionalFiles.end());
    ASSERT_GE(values.size(), 20u);
    int refused = 0;
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        // The corpus names every entry that points outside "boese...".
        const bool hostile = value.find("boese") != std::string::npos;
        const CopyPlan plan = PlanCopy(ParseFileEntry(value), setup, install, s.copyDestinations);
        EXPECT_EQ(plan.valid, !hostile);
        if (!plan.valid) {
            ++refused;
            continue;
        }
        EXPECT_TRUE(StartsWith(plan.source, setup)) << plan.source;
        EXPECT_TRUE(StartsWith(plan.destination, install + "\\")) << plan.destination;
        EXPECT_EQ(plan.destination.find(".."), std::string::npos) << plan.destination;
    }
    EXPECT_GT(refused, 0);
}

TEST_F(HostileCorpusTest, InstallRunCopiesNothingFromOrToOutside) {
    test::SetupEnv env(tp);
    InstallScript script = env.Script(tp.ReadFile(Corpus("setup\\Setup.in")));
    std::vector<std::string> values = script.progFiles;
    values.insert(values.end(), script.additionalFiles.begin(), script.additionalFiles.end());
    ASSERT_GE(values.size(), 20u);
    // Every source the script names exists in the setup folder, so only the path can stop a
    // copy; bait of the same names lies beside the setup folder for the names that climb out.
    std::vector<std::string> hostileSources;
    for (const std::string& value : values) {
        const std::string file = ParseFileEntry(value).file;
        const std::string name = ExtractFileName(file).substr(ExtractFileName(file).find(':') + 1);
        ASSERT_TRUE(tp.WriteFile(env.folders.setup + name, "Quelle " + name));
        if (value.find("boese") == std::string::npos) continue;
        hostileSources.push_back(env.folders.setup + file);
        ASSERT_TRUE(tp.WriteFile(tp.TempDir() + name, "Köder " + name));
    }
    const Tree before = Root();
    const std::vector<std::string> outsideBefore = Outside();
    test::RecordingInstallView view;
    InstallRun run(tp.platform(), env.folders, script, env.Choices(), view);
    run.setupProgram = env.setupProgram;
    InstallResult result;
    {
        Watchdog watchdog("Setup.in");
        result = run.Run();
    }
    const Tree after = Root();
    // On Windows the run registers itself in the real registry; the entry goes again.
    if (test::TestPlatform::IsWindows()) {
        std::string entry = script.uninstallName;
        entry.erase(std::remove(entry.begin(), entry.end(), ' '), entry.end());
        (void)tp.registry().DeleteKeyTree(RegRoot::LocalMachine,
                                          "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entry);
    }
    EXPECT_EQ(result.outcome, InstallOutcome::Completed);
    EXPECT_EQ(Outside(), outsideBefore);
    // New files only in the install folder, the Windows folder (the uninstaller), the program
    // folder of the start menu and the temporary folder, and none from a name that climbs out.
    for (const auto& [path, content] : after) {
        if (before.count(path)) continue;
        EXPECT_EQ(path.find("boese"), std::string::npos) << path;
        EXPECT_TRUE(StartsWith(path, env.installFolder + "\\") || StartsWith(path, env.folders.windows + "\\") ||
                    StartsWith(path, env.folders.programsMenu + "\\") || StartsWith(path, env.folders.temp))
            << path;
    }
    // Each refused entry is reported once, in German, naming its source; nothing else is.
    std::vector<std::string> texts;
    for (const test::RecordedMessage& m : tp.prompter().messages) texts.push_back(m.text);
    EXPECT_EQ(texts.size(), hostileSources.size()) << ::testing::PrintToString(texts);
    for (const std::string& source : hostileSources) {
        const auto naming = std::count_if(texts.begin(), texts.end(), [&](const std::string& text) {
            return StartsWith(text, "Konnte Datei " + source + " nicht nach ");
        });
        EXPECT_EQ(naming, 1) << source;
    }
}

}  // namespace
}  // namespace bv
