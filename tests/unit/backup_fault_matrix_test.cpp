// The backup run under file-system faults and user cancels. A fault-free run first counts
// the file operations of each kind; then each of them fails in turn, once (a transient error)
// and lasting (a full disk, a drive that went away), for a full and for an update backup. Each
// case must end, tell the truth about its outcome, leave nothing of its staging behind and
// never touch the backups that were there before. A cancel at every point where the run lets
// messages through must leave no archive and no history of the cancelled run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <sstream>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/settings/settings_store.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/faulty_files.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

using test::FaultMode;
using test::FaultyFiles;
using test::FileOp;

const char kGuid[] = "{3E8D5C21-7A4B-4F10-9C2D-5B6A7E8F9012}";
const char kOE[] = "\\Software\\Microsoft\\Outlook Express\\5.0";
const char kSuccessText[] = "Backup der Daten erfolgreich beendet!";
const char kLogName[] = "Brevisto.log";

// Thrown by the pump when a run lets messages through far more often than a good run: a run
// that loops is stopped instead of hanging the test.
struct PumpRunaway {};

// The kinds failed here. Seeks and truncations are left out: the run itself makes none but the
// log's seek to its end, the rest happen inside the archive writer and reader, whose own tests
// fail them, and here they would add a third more cases.
const FileOp kMatrixKinds[] = {
    FileOp::Open,   FileOp::Read,          FileOp::Write,           FileOp::Close,    FileOp::Rename,
    FileOp::Delete, FileOp::SetAttributes, FileOp::CreateDirectory, FileOp::CopyFile,
    FileOp::Flush,
};

std::string Label(FileOp op, int at, FaultMode mode) {
    return std::string(test::FileOpName(op)) + " " + test::FaultModeName(mode) + " #" + std::to_string(at);
}

// The status word of the last "Status    : " line of the log, empty when there is none.
std::string LastLogStatus(const std::string& log) {
    const std::string tag = "Status    : ";
    const size_t at = log.rfind(tag);
    if (at == std::string::npos) return std::string();
    const size_t start = at + tag.size();
    return log.substr(start, log.find("\r\n", start) - start);
}

// The information record without its date, which is the day of the run.
std::string WithoutDate(const std::string& comment) {
    const size_t at = comment.find("\r\nDate=");
    if (at == std::string::npos) return comment;
    const size_t end = comment.find("\r\n", at + 2);
    return comment.substr(0, at) + (end == std::string::npos ? std::string() : comment.substr(end));
}

// Whether one of the faults the decorator injected matches.
template <typename Match>
bool Hit(const FaultyFiles& files, Match match) {
    return std::any_of(files.injected.begin(), files.injected.end(), match);
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

struct ArchiveContent {
    bool tested = false;                          // TestArchive passed
    std::map<std::string, std::string> entries;  // stored name -> extracted bytes
    std::string comment;
};

class BackupFaultMatrixTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cleanup();
        root = tp.TempDir();
        store = root + "Store\\";
        backups = root + "Sicherungen\\";
        temp = root + "Temp\\";
        scratch = root + "Auszug\\";
        ForceDirectories(tp.files(), store);
        ForceDirectories(tp.files(), backups);
        const std::string branch = std::string("Identities\\") + kGuid;
        Registry& r = tp.registry();
        WriteRegString(r, 1, "Identities", "Default User ID", kGuid);
        WriteRegString(r, 1, branch, "Username", "Fehlerprobe");
        WriteRegString(r, 1, branch + kOE, "Store Root", store);
        WriteRegInteger(r, 1, branch + kOE, "Zeige Vorschau", 1);
        WriteRegString(r, 2, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery", "Stationery Folder",
                       root + "Briefpapier\\");
        Settings settings(tp.platform());
        // Pruning never deletes here, and the staging has a folder of its own to be checked.
        settings.SetInteger("maxBackups", 1000);
        settings.SetString("tmpFolder", temp);

        for (const char* dbx : {"Folders.dbx", "Outbox.dbx"}) {
            ASSERT_TRUE(tp.files().CopyFile(test::TestPlatform::FixturePath(std::string("oe6-store\\") + dbx),
                                            store + dbx, false));
            sources.push_back(store + dbx);
        }
        Put(root + "Briefpapier\\Ahorn.htm", "<html>Ahorn</html>");

        // An archive that has nothing to do with the identity.
        Put(root + "Fremd\\notiz.txt", "Nicht von Brevisto");
        {
            TZipWriter alt(tp.platform());
            alt.SetZipName(backups + "Alt.bvq");
            alt.FilesList() = {root + "Fremd\\notiz.txt"};
            ASSERT_EQ(alt.AddFiles(), 1);
        }
        // The full backup an update builds on; then one mail folder changes.
        {
            test::RecordingView v;
            BackupRun first(tp.platform(), v, Options(0, "Voll"));
            ASSERT_TRUE(first.Execute().succeeded);
        }
        {
            auto f = tp.files().Open(store + "Outbox.dbx", OpenMode::ReadWrite);
            ASSERT_NE(f, nullptr);
            ASSERT_TRUE(f->Seek(f->Size()));
            ASSERT_TRUE(f->Write("x", 1));
            ASSERT_TRUE(f->Close());
        }
        (void)tp.files().DeleteFile(backups + kLogName);

        // The state every case starts from.
        for (const std::string& path : sources) attributes[path] = tp.files().GetAttributes(path);
        for (const FindEntry& e : tp.files().Find(backups + "*"))
            if (!e.IsDirectory()) before[e.name] = Kept{tp.ReadFile(backups + e.name), e};
        for (const std::string& name : HistoryNames()) {
            RegValue value;
            if (tp.registry().QueryValue(RegRoot::CurrentUser, SettingsKey, name, value) == WinError::Success)
                history[name] = value;
        }
    }
    void TearDown() override {
        tp.pump().onProcess = nullptr;
        Cleanup();
    }
    void Cleanup() {
        Registry& r = tp.registry();
        r.DeleteKeyTree(RegRoot::CurrentUser, std::string("Identities\\") + kGuid);
        r.DeleteValue(RegRoot::CurrentUser, "Identities", "Default User ID");
        r.DeleteValue(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\Stationery", "Stationery Folder");
        r.DeleteKeyTree(RegRoot::CurrentUser, SettingsKey);
    }
    void Put(const std::string& path, const std::string& content) {
        ForceDirectories(tp.files(), ExtractFilePath(path));
        ASSERT_TRUE(tp.WriteFile(path, content));
        sources.push_back(path);
    }

    BackupOptions Options(int kind, const std::string& name = "Neu") {
        BackupOptions o;
        o.backupKind = kind;
        o.identity.Username = "Fehlerprobe";
        o.identity.KeyName = std::string("\\") + kGuid + "\\";
        o.identity.StoreRoot = store;
        o.backupFolder = backups;
        o.backupName = name;
        o.comment = "Probe";
        // Only groups whose data the fixture alone decides: the others read the system's own
        // keys and folders on Windows. Settings and stationery stage files (*.OLS, PAPER.TMP),
        // the mail folders REALNAME.TMP; rules, signatures and Opera are looked for and missing.
        for (int option : {CBSave0, CBSave3, CBSave4, CBSave5, CBSave10}) o.save[static_cast<size_t>(option)] = true;
        o.mailFolders = {{store + "Outbox.dbx", "Postausgang"}};
        return o;
    }
    static std::string NewArchiveName(int kind) { return kind == 0 ? "Neu.bvq" : "UPD_Neu.bvq"; }

    // The identity's values under the settings key that record its backups.
    std::vector<std::string> HistoryNames() const {
        const std::string key = std::string(kGuid);
        return {key, key + "FullName", key + "LastBackup"};
    }
    std::map<std::string, std::string> HistoryNow() {
        std::map<std::string, std::string> now;
        for (const std::string& name : HistoryNames()) {
            RegValue value;
            if (tp.registry().QueryValue(RegRoot::CurrentUser, SettingsKey, name, value) == WinError::Success)
                now[name] = std::to_string(value.type) + ":" + std::string(value.data.begin(), value.data.end());
        }
        return now;
    }
    std::map<std::string, std::string> HistoryBefore() const {
        std::map<std::string, std::string> was;
        for (const auto& [name, value] : history)
            was[name] = std::to_string(value.type) + ":" + std::string(value.data.begin(), value.data.end());
        return was;
    }

    // Puts everything a run may change back as it was after SetUp.
    void Restore() {
        Registry& r = tp.registry();
        for (const std::string& name : HistoryNames()) {
            auto it = history.find(name);
            RegValue now;
            const bool there = r.QueryValue(RegRoot::CurrentUser, SettingsKey, name, now) == WinError::Success;
            // Only what changed is written: every write of the registry store is flushed.
            if (it == history.end()) {
                if (there) r.DeleteValue(RegRoot::CurrentUser, SettingsKey, name);
            } else if (!there || now.type != it->second.type || now.data != it->second.data) {
                r.SetValue(RegRoot::CurrentUser, SettingsKey, name, it->second.type, it->second.data);
            }
        }
        for (const auto& [path, attrs] : attributes)
            if (tp.files().GetAttributes(path) != attrs) {
                EXPECT_TRUE(tp.files().SetAttributes(path, attrs));
            }
        // A file with its size, times and attributes was not written: only others are put back.
        std::map<std::string, bool> seen;
        for (const FindEntry& e : tp.files().Find(backups + "*")) {
            if (e.IsDirectory()) continue;
            auto it = before.find(e.name);
            if (it == before.end()) {
                ClearAndDelete(backups + e.name);
                continue;
            }
            seen[e.name] = true;
            const FindEntry& was = it->second.entry;
            if (e.size != was.size || e.lastWriteTime != was.lastWriteTime || e.creationTime != was.creationTime ||
                e.attributes != was.attributes)
                PutBack(e.name, it->second);
        }
        for (const auto& [name, kept] : before)
            if (!seen.count(name)) PutBack(name, kept);
        // The run makes its staging folder itself, as on a first run.
        DeleteTree(temp, true);
        tp.prompter().answers.clear();
        tp.prompter().messages.clear();
        tp.prompter().defaultAnswer = MsgResult::Ok;
        tp.pump().onProcess = nullptr;
        tp.pump().calls = 0;
    }
    struct Kept {
        std::string bytes;
        FindEntry entry;
    };
    void PutBack(const std::string& name, const Kept& kept) {
        const std::string path = backups + name;
        EXPECT_TRUE(tp.files().SetAttributes(path, FileAttr::Normal));
        ASSERT_TRUE(tp.WriteFile(path, kept.bytes)) << name;
        EXPECT_TRUE(tp.files().SetTimes(path, &kept.entry.creationTime, &kept.entry.lastWriteTime));
        EXPECT_TRUE(tp.files().SetAttributes(path, kept.entry.attributes));
    }
    void ClearAndDelete(const std::string& path) {
        EXPECT_TRUE(tp.files().SetAttributes(path, FileAttr::Normal));
        (void)tp.files().DeleteFile(path);
    }
    void DeleteTree(const std::string& folder, bool removeFolder) {
        for (const FindEntry& e : tp.files().Find(folder + "*")) {
            if (e.IsDirectory()) DeleteTree(folder + e.name + "\\", true);
            else ClearAndDelete(folder + e.name);
        }
        if (removeFolder) (void)tp.files().RemoveDirectory(folder);
    }

    // The archives that were there before the run and are no longer byte for byte the same.
    std::vector<std::string> ChangedArchives() {
        std::vector<std::string> changed;
        for (const auto& [name, kept] : before)
            if (ExtractFileExt(name) == ".bvq" && tp.ReadFile(backups + name) != kept.bytes) changed.push_back(name);
        return changed;
    }

    // Files a run left where it stages (all of the temporary folder) and the archive
    // writer's temporary archives beside the archives.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> left;
        for (const FindEntry& e : tp.files().Find(temp + "*")) left.push_back(temp + e.name);
        for (const char* prefix : {"~bz*", "~bx*"})
            for (const FindEntry& e : tp.files().Find(backups + prefix)) left.push_back(backups + e.name);
        return left;
    }

    // Tests the archive and extracts every entry (through the platform, not a faulty one).
    ArchiveContent Read(const std::string& archive) {
        ArchiveContent content;
        // One reader for every check: its buffers are made once, not per case.
        if (!checker) checker = std::make_unique<TZipReader>(tp.platform());
        TZipReader& reader = *checker;
        try {
            reader.SetZipName(archive);
            reader.SetDoProcessMessages(false);
            content.tested = reader.TestArchive();
            content.comment = reader.Comment();
            if (content.tested) {
                reader.SetDestDir(scratch);
                reader.SetRecreateDirs(true);
                reader.SetDoAll(true);
                reader.SetOverwriteMode(TOverwriteMode::Always);
                reader.ExtractMatching();
                for (int i = 0; i < reader.EntryCount(); ++i) {
                    if (reader.EntryName(i).empty()) continue;
                    const std::string stored = reader.EntryPath(i) + reader.EntryName(i);
                    content.entries[stored] = tp.ReadFile(scratch + stored);
                }
            }
        } catch (const EZipError& e) {
            content.tested = false;
            content.comment = e.what();
        }
        // Closed, so that the next run may replace or delete the file.
        reader.SetZipName(std::string());
        DeleteTree(scratch, true);
        return content;
    }

    struct Reference {
        std::array<int, test::kFileOpCount> seen{};
        ArchiveContent archive;
        int pumpCalls = 0;
    };

    // A fault-free run through a counting decorator.
    Reference Learn(int kind) {
        Reference ref;
        Restore();
        FaultyFiles counting(tp.files());
        Platform p{tp.registry(), counting, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        BackupRun run(p, v, Options(kind));
        const BackupOutcome outcome = run.Execute();
        EXPECT_TRUE(outcome.succeeded) << outcome.statusText;
        EXPECT_EQ(run.ArchivePath(), backups + NewArchiveName(kind));
        EXPECT_TRUE(Leftovers().empty()) << Join(Leftovers());
        for (FileOp op : test::AllFileOps()) ref.seen[static_cast<size_t>(op)] = counting.Seen(op);
        ref.archive = Read(backups + NewArchiveName(kind));
        EXPECT_TRUE(ref.archive.tested);
        for (const char* entry : {"PREFSMAIN.OLS", "PAPER.TMP", "REALNAME.TMP", "Outbox.dbx"})
            EXPECT_NE(ref.archive.entries.count(entry), 0u) << entry;
        ref.pumpCalls = tp.pump().calls;
        return ref;
    }

    // The entries that differ from the reference, by name, with what is wrong.
    static std::vector<std::string> Differences(const ArchiveContent& got, const ArchiveContent& want) {
        std::vector<std::string> diff;
        for (const auto& [name, bytes] : want.entries) {
            auto it = got.entries.find(name);
            if (it == got.entries.end()) diff.push_back(name + " missing");
            else if (it->second != bytes)
                diff.push_back(name + " differs (" + std::to_string(it->second.size()) + " of " +
                               std::to_string(bytes.size()) + " bytes)");
        }
        for (const auto& [name, bytes] : got.entries)
            if (!want.entries.count(name)) diff.push_back(name + " extra");
        if (WithoutDate(got.comment) != WithoutDate(want.comment)) diff.push_back("information record differs");
        return diff;
    }

    // One run with the fault, then every promise of the run.
    void RunCase(int kind, const Reference& ref, FileOp op, int at, FaultMode mode) {
        const std::string label = Label(op, at, mode);
        SCOPED_TRACE(label);
        Restore();
        FaultyFiles files(tp.files());
        // A lasting fault is a full disk or a vanished drive, a single one a denied access.
        files.FailAt(op, at, mode, mode == FaultMode::Lasting ? WinError::DiskFull : WinError::AccessDenied);
        long seenTotal = 0;
        for (int n : ref.seen) seenTotal += n;
        files.operationLimit = 20 * seenTotal + 1000;
        const int pumpLimit = 20 * ref.pumpCalls + 1000;
        tp.pump().onProcess = [&] {
            if (tp.pump().calls > pumpLimit) throw PumpRunaway{};
        };
        Platform p{tp.registry(), files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};
        test::RecordingView v;
        BackupOutcome outcome;
        std::string escaped;
        {
            BackupRun run(p, v, Options(kind));
            try {
                outcome = run.Execute();
            } catch (const PumpRunaway&) {
                escaped = "the run did not end (messages let through without end)";
            } catch (const std::exception& e) {
                escaped = std::string("exception: ") + e.what();
            } catch (...) {
                escaped = "an unknown exception";
            }
            EXPECT_EQ(run.TempFolder(), temp);
        }
        tp.pump().onProcess = nullptr;
        EXPECT_EQ(escaped, "");
        EXPECT_FALSE(files.runaway) << "the run did not end (file operations without end)";
        EXPECT_GE(files.Failed(op), 1) << "the fault was never hit";
        if (!escaped.empty()) return;

        const std::string archive = backups + NewArchiveName(kind);
        const bool logHit = Hit(files, [](const test::InjectedFault& f) {
            return SameText(ExtractFileName(f.path), kLogName);
        });
        const bool logThere = FileExists(tp.files(), backups + kLogName);
        const std::string logStatus = LastLogStatus(tp.ReadFile(backups + kLogName));
        if (outcome.succeeded) {
            // A success is a whole archive with exactly the data of a good run.
            ASSERT_TRUE(FileExists(tp.files(), archive)) << "success reported, but there is no archive";
            const ArchiveContent got = Read(archive);
            EXPECT_TRUE(got.tested) << "success reported, but the archive fails its test: " << got.comment;
            if (got.tested) {
                const std::vector<std::string> diff = Differences(got, ref.archive);
                EXPECT_TRUE(diff.empty()) << "success reported, but " << Join(diff);
            }
            EXPECT_EQ(outcome.statusText.rfind(kSuccessText, 0), 0u) << outcome.statusText;
            if (!logHit) {
                EXPECT_EQ(logStatus, "OK") << "success reported, the log says otherwise";
            }
        } else {
            EXPECT_NE(outcome.statusText.rfind(kSuccessText, 0), 0u) << "failure shown as success";
            EXPECT_NE(outcome.statusColor, StatusColor::Green) << outcome.statusText;
            if (logThere) {
                EXPECT_NE(logStatus, "OK") << "failed run logged as OK (" << outcome.statusText << ")";
            }
            if (!logHit) {
                EXPECT_TRUE(logThere) << "no log although its file was never hit";
                EXPECT_TRUE(logStatus == "FEHLER" || logStatus == "ABGEBROCHEN") << "log status '" << logStatus << "'";
            }
            // Never half an archive: what is there of the failed run is complete.
            if (FileExists(tp.files(), archive)) {
                const ArchiveContent got = Read(archive);
                EXPECT_TRUE(got.tested) << "failed run left a broken archive: " << got.comment;
            }
            // The backups that were there stay as they were.
            const std::vector<std::string> changed = ChangedArchives();
            EXPECT_TRUE(changed.empty()) << "a failed run changed " << Join(changed);
        }
        std::vector<std::string> left = Leftovers();
        if (op == FileOp::Delete && mode == FaultMode::Lasting) {
            // No file can be deleted any more: what the run tried to delete may stay. After a
            // single refusal a later attempt succeeds, so there the run must have cleaned up.
            auto refused = [&](const std::string& path) {
                return Hit(files, [&](const test::InjectedFault& f) {
                    return f.op == FileOp::Delete && SameText(f.path, path);
                });
            };
            left.erase(std::remove_if(left.begin(), left.end(), refused), left.end());
        }
        EXPECT_TRUE(left.empty()) << "left behind: " << Join(left);
    }

    void RunMatrix(int kind) {
        const Reference ref = Learn(kind);
        if (HasFailure()) return;
        std::ostringstream counts;
        for (FileOp op : test::AllFileOps())
            counts << test::FileOpName(op) << "=" << ref.seen[static_cast<size_t>(op)] << " ";
        RecordProperty(kind == 0 ? "full_operations" : "update_operations", counts.str());
        ASSERT_GT(ref.seen[static_cast<size_t>(FileOp::Write)], 5) << counts.str();
        int cases = 0;
        for (FileOp op : kMatrixKinds)
            for (int at = 1; at <= ref.seen[static_cast<size_t>(op)]; ++at)
                for (FaultMode mode : {FaultMode::Once, FaultMode::Lasting}) {
                    RunCase(kind, ref, op, at, mode);
                    ++cases;
                }
        RecordProperty("fault_cases", cases);
    }

    // A cancel answered with Yes at every point where the run lets messages through.
    void CancelEverywhere(int kind) {
        const Reference ref = Learn(kind);
        if (HasFailure()) return;
        ASSERT_GT(ref.pumpCalls, 10);
        const std::string archive = backups + NewArchiveName(kind);
        int cancelled = 0;
        for (int cancelAt = 1; cancelAt <= ref.pumpCalls; ++cancelAt) {
            SCOPED_TRACE("cancel at pump point " + std::to_string(cancelAt));
            Restore();
            test::RecordingView v;
            BackupRun run(tp.platform(), v, Options(kind));
            bool asked = false;
            tp.pump().onProcess = [&] {
                if (tp.pump().calls != cancelAt || asked) return;
                // The question comes only while the archive writer works.
                tp.prompter().answers.push_front(MsgResult::Yes);
                asked = run.CancelBtnClick();
                if (!asked) tp.prompter().answers.pop_front();
            };
            const BackupOutcome outcome = run.Execute();
            tp.pump().onProcess = nullptr;
            const std::vector<std::string> left = Leftovers();
            EXPECT_TRUE(left.empty()) << "left behind: " << Join(left);
            const std::vector<std::string> changed = ChangedArchives();
            EXPECT_TRUE(changed.empty()) << "a cancelled run changed " << Join(changed);
            if (!asked) {
                // No cancel reached the run: it is an ordinary good run.
                EXPECT_TRUE(outcome.succeeded) << outcome.statusText;
                continue;
            }
            ++cancelled;
            EXPECT_TRUE(outcome.cancelled);
            EXPECT_FALSE(outcome.succeeded);
            EXPECT_NE(outcome.statusText.rfind(kSuccessText, 0), 0u);
            EXPECT_FALSE(FileExists(tp.files(), archive)) << "the cancelled run's archive remains";
            EXPECT_EQ(HistoryNow(), HistoryBefore()) << "the cancelled run changed the backup history";
            EXPECT_EQ(LastLogStatus(tp.ReadFile(backups + kLogName)), "ABGEBROCHEN");
        }
        RecordProperty("fault_cases", ref.pumpCalls);
        EXPECT_GT(cancelled, 0);
    }

    test::TestPlatform tp;
    std::unique_ptr<TZipReader> checker;
    std::string root, store, backups, temp, scratch;
    std::vector<std::string> sources;
    std::map<std::string, uint32_t> attributes;
    std::map<std::string, Kept> before;  // the backup folder's files after SetUp
    std::map<std::string, RegValue> history;
};

TEST_F(BackupFaultMatrixTest, FullBackupUnderEveryFault) { RunMatrix(0); }

TEST_F(BackupFaultMatrixTest, UpdateBackupUnderEveryFault) { RunMatrix(1); }

TEST_F(BackupFaultMatrixTest, FullBackupCancelledAtEveryPumpPoint) { CancelEverywhere(0); }

TEST_F(BackupFaultMatrixTest, UpdateBackupCancelledAtEveryPumpPoint) { CancelEverywhere(1); }

}  // namespace
}  // namespace bv
