// Power-loss stress of the archive writer and the backup run (tools/stress/run.sh).
//
// Each round forks a child that performs one operation on the POSIX backend, kills it with
// SIGKILL at a random moment within the operation's measured duration, and checks what the
// kill left: under the archive's name either the old archive (or nothing, where there was
// none), or a new one whose every entry reads back with the right CRC and content. Then the
// same operation runs again unkilled, must succeed and must leave none of the killed run's
// temporary files behind.
//
//   stress_driver [ROUNDS] [--rounds N] [--seed S] [--work DIR] [--verbose] [--unsafe-replace]
// Exit code 0 only when no round failed.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/settings/identity_scanner.h"
#include "brevisto/settings/settings_store.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/faulty_files.h"
#include "tests/support/oe_identity.h"
#include "tests/support/recording_view.h"

namespace {

using namespace bv;
using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------
// Host helpers

bool ReadHost(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

bool HostExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

std::string MailText(size_t size, uint32_t seed) {
    static const char* words[] = {"Hallo", "Grüße", "Backup", "Outlook", "Express", "Ordner", "Nachricht",
                                  "der", "die", "und", "mit", "Datei", "Received:", "from", "Subject:", "Termin"};
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(size + 32);
    while (out.size() < size) {
        const uint32_t x = rng();
        out += words[x % (sizeof words / sizeof *words)];
        out += (x >> 8) % 11 == 0 ? "\r\n" : " ";
    }
    out.resize(size);
    return out;
}

std::string Noise(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() >> 24);
    return out;
}

// Windows 9x has no replacing rename: the Win32 backend sets the old file aside under
// "<name>.~bv", renames the new one into place and then deletes the aside copy. The POSIX
// backend renames in one step; this decorator does it the 9x way, so that kills land between
// the two renames too.
constexpr int kAsidePauseMs = 40;

class Win9xMoves : public test::FaultyFiles {
public:
    explicit Win9xMoves(Files& inner, bool unsafe) : FaultyFiles(inner), host_(inner), unsafe_(unsafe) {}
    bool MoveFile(const std::string& from, const std::string& to, bool replaceExisting, long* error) override {
        if (!replaceExisting || host_.GetAttributes(to) == FileAttr::Invalid)
            return host_.MoveFile(from, to, false, error);
        if (unsafe_) {
            // The naive replace (--unsafe-replace, to see the driver catch a lost archive).
            if (!host_.DeleteFile(to, error)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(kAsidePauseMs));
            return host_.MoveFile(from, to, false, error);
        }
        const std::string aside = to + ".~bv";
        (void)host_.DeleteFile(aside);
        if (!host_.MoveFile(to, aside, false, error)) return false;
        // Widens the moment between the renames (a few microseconds otherwise), so that
        // kills land there too.
        std::this_thread::sleep_for(std::chrono::milliseconds(kAsidePauseMs));
        if (!host_.MoveFile(from, to, false, error)) {
            (void)host_.MoveFile(aside, to, false);
            return false;
        }
        (void)host_.DeleteFile(aside);
        return true;
    }

private:
    Files& host_;
    bool unsafe_;
};

// What one archive holds, entry by entry: CRC and size.
struct Entry {
    uint32_t crc = 0;
    uint64_t size = 0;
    bool operator==(const Entry& o) const { return crc == o.crc && size == o.size; }
};
using Listing = std::map<std::string, Entry>;

// Reads and tests the archive; false when it cannot be read or an entry fails its test.
bool TestedListing(Platform& p, const std::string& zip, Listing& out, std::string* comment, std::string& why) {
    out.clear();
    try {
        TZipReader r(p);
        r.SetZipName(zip);
        r.ReadDirectory();
        if (r.EntryCount() == 0) { why = "no entries"; return false; }
        if (!r.TestArchive()) { why = "entry test failed"; return false; }
        for (int i = 0; i < r.EntryCount(); ++i) {
            if (r.EntryTestState(i) != 1) { why = "entry not good: " + r.EntryName(i); return false; }
            const TZipHeader& h = r.EntryHeader(i);
            out[r.EntryPath(i) + r.EntryName(i)] = Entry{h.crc32, r.EntrySize(i)};
        }
        if (comment) *comment = r.Comment();
    } catch (const std::exception& e) {
        why = std::string("unreadable: ") + e.what();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The child: one operation in a fresh process; the exit code tells its result.

struct ChildResult {
    bool finished = false;  // exited by itself (not killed)
    int exitCode = -1;
    double seconds = 0;
};

template <typename F>
ChildResult RunChild(F&& work, double killAfter /* <0: never */) {
    std::fflush(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        int code = 99;
        try {
            code = work();
        } catch (...) {
            code = 98;
        }
        _exit(code);  // no destructors or exit handlers of the parent's objects
    }
    if (killAfter >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(killAfter));
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) { std::perror("waitpid"); std::exit(2); }
    }
    ChildResult r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.finished = WIFEXITED(status);
    r.exitCode = r.finished ? WEXITSTATUS(status) : -1;
    return r;
}

// ---------------------------------------------------------------------------------------

struct Stats {
    int rounds = 0;
    int kills = 0;
    int finishedBeforeKill = 0;
    int before = 0;       // old archive (or none) under the final name
    int between = 0;      // 9x replace: old archive only under "<name>.~bv"
    int intermediate = 0; // backup run: an earlier, complete rebuild of this run's archive
    int after = 0;        // the complete new archive
    int failures = 0;
};

struct Options {
    int rounds = 200;
    uint32_t seed = 20261211;
    std::string work;
    bool verbose = false;
    bool unsafeReplace = false;  // the 9x rounds replace by delete and rename: must fail
};

std::vector<std::string> Leftovers(Files& files, const std::string& folder) {
    std::vector<std::string> out;
    for (const char* pattern : {"~bz*.tmp", "~bx*.tmp", "*.~bv"})
        for (const FindEntry& e : files.Find(folder + pattern)) out.push_back(e.name);
    return out;
}

class Stress {
public:
    explicit Stress(const Options& o) : o_(o), rng_(o.seed) {}

    bool Fail(const char* op, int round, const std::string& what) {
        std::printf("FAIL %s round %d: %s\n", op, round, what.c_str());
        return false;
    }

    // ---------------- (a) archive rebuild ----------------
    std::string aRoot, aSources = "C:\\Quelle\\", aFolder = "C:\\Archiv\\", aZip = "C:\\Archiv\\Daten.bvq";
    std::map<std::string, std::string> aContent;  // file name -> content, what the archive must hold
    FileTime aClock = 0;
    double aDuration = 0;
    Stats a;

    static constexpr int kSourceFiles = 10;

    void WriteSource(Platform& p, const std::string& name, const std::string& content) {
        auto s = p.files.Open(aSources + name, OpenMode::CreateAlways);
        if (!s || !s->Write(content.data(), content.size()) || !s->Close()) {
            std::printf("cannot write %s\n", name.c_str());
            std::exit(2);
        }
        // A logical clock: DOS times have two-second steps, and a file no newer than its
        // entry would be left as it is.
        aClock += 10ull * 10000000ull;
        if (!p.files.SetTimes(aSources + name, nullptr, &aClock)) std::exit(2);
        aContent[name] = content;
    }

    std::string SourceContent(uint32_t seed, int index) {
        // Mail text compresses, noise does not: an archive of some MB that takes a while.
        return index % 3 == 0 ? Noise(700 * 1024, seed) : MailText(900 * 1024, seed);
    }

    void SetUpRebuild() {
        aRoot = o_.work + "/rebuild";
        PosixPlatform posix(aRoot);
        Platform p = posix.Bind();
        if (!ForceDirectories(p.files, aSources) || !ForceDirectories(p.files, aFolder)) std::exit(2);
        aClock = p.system.UtcNow() - 86400ull * 10000000ull * 30;
        std::vector<std::string> all;
        for (int i = 0; i < kSourceFiles; ++i) {
            const std::string name = "datei" + std::to_string(i) + ".dat";
            WriteSource(p, name, SourceContent(o_.seed + static_cast<uint32_t>(i), i));
            all.push_back(aSources + name);
        }
        TZipWriter w(p);
        w.SetZipName(aZip);
        w.FilesList() = all;
        if (w.AddFiles() != kSourceFiles) {
            std::printf("cannot write the first archive\n");
            std::exit(2);
        }
    }

    // The child's operation: the given files into the archive; exit code 0 when the number
    // added is the expected one.
    int RebuildChild(const std::vector<std::string>& names, bool win9x, int expectAdded) {
        PosixPlatform posix(aRoot);
        Platform base = posix.Bind();
        Win9xMoves nine(base.files, o_.unsafeReplace);
        Platform p{base.registry, win9x ? static_cast<Files&>(nine) : base.files, base.shell, base.system,
                   base.prompter, base.pump};
        TZipWriter w(p);
        w.SetZipName(aZip);
        for (const std::string& n : names) w.FilesList().push_back(aSources + n);
        const int added = w.AddFiles();
        return added == expectAdded ? 0 : 3;
    }

    // Checks the archive against `content`: every entry there, with its CRC and size.
    bool MatchesContent(Platform& p, std::string& why) {
        Listing listing;
        if (!TestedListing(p, aZip, listing, nullptr, why)) return false;
        if (listing.size() != aContent.size()) { why = "entry count " + std::to_string(listing.size()); return false; }
        for (const auto& [name, content] : aContent) {
            auto it = listing.find(name);
            if (it == listing.end()) { why = "missing " + name; return false; }
            if (!(it->second == Entry{Crc(content), content.size()})) { why = "wrong content of " + name; return false; }
        }
        return true;
    }

    // An unkilled rebuild for each number of changed files a round makes, the faster of two.
    void MeasureRebuild() {
        for (int n = 1; n <= 3; ++n) {
            double best = 1e9;
            for (int i = 0; i < 2; ++i) {
                std::vector<std::string> names;
                {
                    PosixPlatform posix(aRoot);
                    Platform p = posix.Bind();
                    for (int k = 0; k < n; ++k) {
                        const std::string name = "datei" + std::to_string(k) + ".dat";
                        WriteSource(p, name, SourceContent(o_.seed + 1000u + static_cast<uint32_t>(n * 10 + i * 3 + k), k));
                        names.push_back(name);
                    }
                }
                ChildResult r = RunChild([&] { return RebuildChild(names, false, n); }, -1);
                if (!r.finished || r.exitCode != 0) {
                    std::printf("unkilled rebuild failed (exit %d)\n", r.exitCode);
                    std::exit(2);
                }
                best = std::min(best, r.seconds);
            }
            // More files never take less time; a slower moment of the machine does not say otherwise.
            aDurations[n] = std::max(best, n > 1 ? aDurations[n - 1] : 0.0);
        }
        aDuration = aDurations[3];
    }
    std::map<int, double> aDurations;  // by the number of changed files

    bool RebuildRound(int round) {
        ++a.rounds;
        std::uniform_int_distribution<int> changeCount(1, 3);
        const bool win9x = rng_() % 2 == 0;
        std::vector<std::string> names;
        std::string oldArchive;
        {
            PosixPlatform posix(aRoot);
            Platform p = posix.Bind();
            const int n = changeCount(rng_);
            std::set<int> picked;
            while (static_cast<int>(picked.size()) < n) picked.insert(static_cast<int>(rng_() % kSourceFiles));
            for (int i : picked) {
                const std::string name = "datei" + std::to_string(i) + ".dat";
                WriteSource(p, name, SourceContent(rng_(), i));
                names.push_back(name);
            }
            if (rng_() % 4 == 0) {  // now and then a file new to the archive
                const std::string name = "neu" + std::to_string(round) + ".dat";
                WriteSource(p, name, MailText(200 * 1024, rng_()));
                names.push_back(name);
            }
        }
        if (!ReadHost(HostZipPath(), oldArchive)) return Fail("rebuild", round, "no old archive at " + HostZipPath());
        // Within the measured duration (the replace comes at its very end, after the flush).
        const double window = aDurations[std::min(3, static_cast<int>(names.size()))] + (win9x ? kAsidePauseMs / 1000.0 : 0);
        const double killAt = std::uniform_real_distribution<double>(0, window)(rng_);
        const int expect = static_cast<int>(names.size());
        ChildResult r = RunChild([&] { return RebuildChild(names, win9x, expect); }, killAt);
        if (r.finished) {
            ++a.finishedBeforeKill;
            if (r.exitCode != 0) return Fail("rebuild", round, "unkilled child failed");
        } else {
            ++a.kills;
        }

        PosixPlatform posix(aRoot);
        Platform p = posix.Bind();
        std::string now, why;
        bool replaced;
        if (ReadHost(HostZipPath(), now)) {
            if (now == oldArchive) {
                if (!r.finished) ++a.before;
                replaced = false;
            } else {
                if (!MatchesContent(p, why)) return Fail("rebuild", round, "archive neither old nor new: " + why);
                if (!r.finished) ++a.after;
                replaced = true;
            }
        } else {
            std::string aside;
            if (!win9x || !ReadHost(HostZipPath() + ".~bv", aside) || aside != oldArchive)
                return Fail("rebuild", round, "archive lost");
            if (!r.finished) ++a.between;
            replaced = false;
        }
        if (o_.verbose)
            std::printf("rebuild %3d kill at %.3f s of %.3f (%s): %s\n", round, killAt, window, win9x ? "9x" : "NT",
                        r.finished ? "finished" : (replaced ? "after" : "before"));

        // The next run: adds what the killed one did not get into the archive.
        ChildResult next = RunChild([&] { return RebuildChild(names, win9x, replaced ? 0 : expect); }, -1);
        if (!next.finished || next.exitCode != 0)
            return Fail("rebuild", round, "next run failed (exit " + std::to_string(next.exitCode) + ")");
        if (!MatchesContent(p, why)) return Fail("rebuild", round, "after the next run: " + why);
        std::vector<std::string> left = Leftovers(p.files, aFolder);
        if (!left.empty()) return Fail("rebuild", round, "left behind: " + left.front());
        return true;
    }

    std::string aHostZip;
    const std::string& HostZipPath() {
        if (aHostZip.empty()) aHostZip = HostPath(aRoot, aZip);
        return aHostZip;
    }
    static std::string HostPath(const std::string& root, const std::string& windowsPath) {
        PosixPlatform posix(root);
        return posix.map.HostPath(windowsPath);
    }

    // ---------------- (b) update backup ----------------
    std::string bRoot, bFolder = "C:\\Sicherungen\\";
    std::string bTemp;
    double bDuration = 0;
    Stats b;
    std::set<std::string> bKnown;  // names in the backup and temporary folders after the last clean run

    static std::set<std::string> Names(Files& files, const std::string& folder) {
        std::set<std::string> out;
        for (const FindEntry& e : files.Find(folder + "*")) out.insert(e.name);
        return out;
    }

    // A backup of the identity's mail; exit code 0 when it succeeded.
    int BackupChild(int kind, const std::string& name) {
        PosixPlatform posix(bRoot);
        posix.system.includeHostProcesses = false;
        Platform p = posix.Bind();
        std::vector<TIdentitaet> identities = TIdentityScanner(p).ListIdentities();
        if (identities.empty()) return 4;
        if (kind == 1) MarkChangedMailFiles(p, identities[0].StoreRoot, identities[0].KeyName);
        TMailFolderTree tree(p);
        if (!tree.LoadFolderTree(identities[0], identities[0].StoreRoot, kind)) return 5;
        tree.CheckAll();
        BackupOptions o;
        o.backupKind = kind;
        o.identity = identities[0];
        o.backupFolder = bFolder;
        o.backupName = name;
        o.save.fill(true);
        for (const TMailFolderFile& f : tree.CheckedFolderFiles()) o.mailFolders.push_back({f.Path, f.FolderName});
        test::RecordingView view;
        BackupRun run(p, view, o);
        const BackupOutcome outcome = run.Execute();
        return outcome.succeeded ? 0 : 3;
    }

    test::OeIdentity bIdentity;

    void SetUpBackup() {
        bRoot = o_.work + "/backup";
        {
            PosixPlatform posix(bRoot);
            Platform p = posix.Bind();
            test::OeIdentityOptions options;
            options.seed = o_.seed;
            options.mailBytes = 4u << 20;
            bIdentity = test::OeIdentityBuilder(p).Build(options);
            if (!ForceDirectories(p.files, bFolder)) std::exit(2);
        }
        ChildResult full = RunChild([&] { return BackupChild(0, "Voll"); }, -1);
        if (!full.finished || full.exitCode != 0) {
            std::printf("the full backup failed (exit %d)\n", full.exitCode);
            std::exit(2);
        }
        PosixPlatform posix(bRoot);
        Platform p = posix.Bind();
        bTemp = IncludeTrailingBackslash(Settings(p).TemporaryFolder());
        bKnown = Names(p.files, bFolder);
        for (const std::string& n : Names(p.files, bTemp)) bKnown.insert("temp:" + n);
    }

    // Changes one to three mail files, as arriving mail does; returns their names.
    std::vector<std::string> ChangeMail(Platform& p) {
        std::vector<test::OeMailFile*> files;
        for (test::OeMailFile& f : bIdentity.folders)
            if (f.exists && f.size > 0) files.push_back(&f);
        const int n = 1 + static_cast<int>(rng_() % 3);
        std::set<size_t> picked;
        while (static_cast<int>(picked.size()) < n && picked.size() < files.size()) picked.insert(rng_() % files.size());
        std::vector<std::string> names;
        for (size_t i : picked) {
            if (!test::TouchMailFile(p, *files[i], rng_(), 4096 + rng_() % 65536)) {
                std::printf("cannot change %s\n", files[i]->path.c_str());
                std::exit(2);
            }
            names.push_back(ExtractFileName(files[i]->fileName));
        }
        return names;
    }

    void MeasureBackup() {
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) {
            {
                PosixPlatform posix(bRoot);
                Platform p = posix.Bind();
                ChangeMail(p);
            }
            ChildResult r = RunChild([&] { return BackupChild(1, "Mass" + std::to_string(i)); }, -1);
            if (!r.finished || r.exitCode != 0) {
                std::printf("unkilled update backup failed (exit %d)\n", r.exitCode);
                std::exit(2);
            }
            times.push_back(r.seconds);
        }
        std::sort(times.begin(), times.end());
        bDuration = times[1];
        PosixPlatform posix(bRoot);
        Platform p = posix.Bind();
        bKnown = Names(p.files, bFolder);
        for (const std::string& n : Names(p.files, bTemp)) bKnown.insert("temp:" + n);
    }

    // Every mail file in the archive holds the store file's present content.
    bool MailEntriesMatch(const Listing& listing, std::string& why) {
        for (const auto& [entry, e] : listing) {
            const std::string name = ExtractFileName(entry);
            if (name.size() < 4 || !SameText(name.substr(name.size() - 4), ".dbx")) continue;
            std::string content;
            if (!ReadHost(HostPath(bRoot, bIdentity.storeFolder + name), content)) continue;  // not from the store
            if (!(e == Entry{Crc(content), content.size()})) { why = "stale content of " + entry; return false; }
        }
        return true;
    }

    bool BackupRound(int round) {
        ++b.rounds;
        std::vector<std::string> changed;
        {
            PosixPlatform posix(bRoot);
            Platform p = posix.Bind();
            changed = ChangeMail(p);
        }
        const std::string name = "Nacht" + std::to_string(round);
        const std::string zip = bFolder + "UPD_" + name + ".bvq";
        const std::string hostZip = HostPath(bRoot, zip);
        const double killAt = std::uniform_real_distribution<double>(0, bDuration)(rng_);
        ChildResult r = RunChild([&] { return BackupChild(1, name); }, killAt);
        if (r.finished) {
            ++b.finishedBeforeKill;
            if (r.exitCode != 0) return Fail("backup", round, "unkilled child failed");
        } else {
            ++b.kills;
        }
        PosixPlatform posix(bRoot);
        posix.system.includeHostProcesses = false;
        Platform p = posix.Bind();
        std::string why, comment;
        Listing listing;
        const char* state;
        if (!HostExists(hostZip)) {
            if (HostExists(hostZip + ".~bv")) return Fail("backup", round, "only a set-aside archive");
            if (!r.finished) ++b.before;
            state = "before";
        } else {
            if (!TestedListing(p, zip, listing, &comment, why)) return Fail("backup", round, "archive bad: " + why);
            if (!MailEntriesMatch(listing, why)) return Fail("backup", round, why);
            // The information record comes before the mail: complete is an archive with both.
            bool complete = !comment.empty();
            for (const std::string& c : changed) {
                bool found = false;
                for (const auto& [entry, e] : listing) found = found || SameText(ExtractFileName(entry), c);
                complete = complete && found;
            }
            if (!complete) {
                if (!r.finished) ++b.intermediate;
                state = "intermediate";
            } else {
                if (!r.finished) ++b.after;
                state = "after";
            }
        }
        if (o_.verbose)
            std::printf("backup  %3d kill at %.3f s of %.3f: %s\n", round, killAt, bDuration,
                        r.finished ? "finished" : state);

        // The next run: the program refuses to overwrite a backup of the same name, so the
        // next one gets its own. Every mail file changed since the last finished backup is in
        // it, or in the killed run's archive where that one finished.
        const std::string nextName = name + "n";
        const std::string nextZip = bFolder + "UPD_" + nextName + ".bvq";
        Listing killed = HostExists(hostZip) && !comment.empty() ? listing : Listing();
        ChildResult next = RunChild([&] { return BackupChild(1, nextName); }, -1);
        if (!next.finished || next.exitCode != 0)
            return Fail("backup", round, "next run failed (exit " + std::to_string(next.exitCode) + ")");
        // A run takes longer as the backup folder fills: the kill window follows it.
        bDuration = next.seconds;
        if (!TestedListing(p, nextZip, listing, &comment, why)) return Fail("backup", round, "after the next run: " + why);
        if (comment.empty()) return Fail("backup", round, "after the next run: no information record");
        if (!MailEntriesMatch(listing, why)) return Fail("backup", round, "after the next run: " + why);
        for (const std::string& c : changed) {
            bool found = false;
            for (const Listing* l : {&listing, &killed})
                for (const auto& [entry, e] : *l) found = found || SameText(ExtractFileName(entry), c);
            if (!found) return Fail("backup", round, "changed mail file in no archive: " + c);
        }
        // Nothing new beside the two runs' archives and reports (a killed run's unfinished
        // archive stays: counted above as intermediate).
        std::set<std::string> now = Names(p.files, bFolder);
        for (const std::string& n : Names(p.files, bTemp)) now.insert("temp:" + n);
        for (const std::string& n : now) {
            if (bKnown.count(n)) continue;
            bool own = false;
            for (const std::string& prefix : {"UPD_" + name + ".", "UPD_" + nextName + "."})
                own = own || n.compare(0, prefix.size(), prefix) == 0;
            if (!own) return Fail("backup", round, "left behind: " + n);
        }
        bKnown = now;
        return true;
    }

    int Run() {
        std::printf("stress: %d rounds, seed %u, work %s\n", o_.rounds, o_.seed, o_.work.c_str());
        const auto start = Clock::now();
        SetUpRebuild();
        MeasureRebuild();
        std::printf("rebuild: archive %s, unkilled rebuild of 1/2/3 changed files %.3f/%.3f/%.3f s\n", SizeOf(HostZipPath()).c_str(),
                    aDurations[1], aDurations[2], aDurations[3]);
        SetUpBackup();
        MeasureBackup();
        std::printf("backup: %.1f MB of mail, unkilled update backup %.3f s (then as the last unkilled run took)\n", bIdentity.MailBytes() / 1048576.0,
                    bDuration);
        std::fflush(stdout);
        for (int round = 1; round <= o_.rounds; ++round) {
            const bool ok = round % 2 == 1 ? RebuildRound(round) : BackupRound(round);
            if (!ok) (round % 2 == 1 ? a : b).failures++;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("\n%-8s %6s %6s %9s %7s %8s %12s %6s %8s\n", "op", "rounds", "kills", "finished", "before",
                    "between", "intermediate", "after", "failures");
        for (const auto& [label, st] : {std::pair<const char*, const Stats&>{"rebuild", a}, {"backup", b}})
            std::printf("%-8s %6d %6d %9d %7d %8d %12d %6d %8d\n", label, st.rounds, st.kills, st.finishedBeforeKill,
                        st.before, st.between, st.intermediate, st.after, st.failures);
        std::printf("(before: the old archive or none under its name; between: the old one only as \"<name>.~bv\",\n"
                    " 9x replace; intermediate: a complete earlier rebuild of the run's archive; after: the new one;\n"
                    " finished: the child ended before the kill)\n");
        const int failures = a.failures + b.failures;
        std::printf("rounds %d, failures %d, %.1f s, seed %u\n", a.rounds + b.rounds, failures, s, o_.seed);
        return failures == 0 ? 0 : 1;
    }

    static std::string SizeOf(const std::string& host) {
        struct stat st;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f MB", stat(host.c_str(), &st) == 0 ? st.st_size / 1048576.0 : 0.0);
        return buf;
    }

private:
    Options o_;
    std::mt19937 rng_;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) o.rounds = std::atoi(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc) o.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--work" && i + 1 < argc) o.work = argv[++i];
        else if (arg == "--verbose") o.verbose = true;
        else if (arg == "--unsafe-replace") o.unsafeReplace = true;
        else if (!arg.empty() && std::isdigit(static_cast<unsigned char>(arg[0]))) o.rounds = std::atoi(arg.c_str());
        else {
            std::fprintf(stderr, "stress_driver [ROUNDS] [--rounds N] [--seed S] [--work DIR] [--verbose] [--unsafe-replace]\n");
            return 2;
        }
    }
    if (o.work.empty() || o.rounds < 1) {
        std::fprintf(stderr, "stress_driver: --work DIR is needed\n");
        return 2;
    }
    return Stress(o).Run();
}
