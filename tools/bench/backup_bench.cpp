// End-to-end benchmark of a backup run: a synthetic Outlook Express identity of a chosen size
// in a POSIX backend root, a full backup, then an update after part of the mail changed.
// Each step runs in its own process so that its peak resident set size is its own; every
// step prints "label wall-s cpu-s rss-kib extra...".
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "brevisto/backup/backup_run.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/settings/identity_scanner.h"
#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/oe_identity.h"

namespace {

using namespace bv;
using Clock = std::chrono::steady_clock;

double CpuSelf() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
}

long PeakRssKiB() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// Bytes this process passed through read and write calls (page cache included).
void IoBytes(unsigned long long& read, unsigned long long& written) {
    std::ifstream io("/proc/self/io");
    std::string key;
    unsigned long long value = 0;
    read = written = 0;
    while (io >> key >> value) {
        if (key == "rchar:") read = value;
        if (key == "wchar:") written = value;
    }
}

class NullView : public BackupView {
public:
    void SetStatus(const std::string&, StatusColor) override {}
    void SetIcon(BackupGroup, int) override {}
    void ShowGroup(BackupGroup, bool) override {}
    void SetTotalProgress(int) override {}
    void SetFileProgress(int) override {}
    void AppendReport(const std::string&) override {}
    void ClearReport() override {}
};

int Identity(const std::string& root, int megabytes) {
    PosixPlatform posix(root);
    Platform p = posix.Bind();
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    test::OeIdentityOptions options;
    options.mailBytes = static_cast<uint64_t>(megabytes) << 20;
    test::OeIdentity identity = test::OeIdentityBuilder(p).Build(options);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("identity %.3f %.3f %ld store=%s mail=%llu\n", s, CpuSelf() - cpu, PeakRssKiB(),
                posix.map.HostPath(identity.storeFolder).c_str(),
                static_cast<unsigned long long>(identity.MailBytes()));
    return 0;
}

int Backup(const std::string& root, int kind, const std::string& label) {
    PosixPlatform posix(root);
    posix.system.includeHostProcesses = false;
    Platform p = posix.Bind();
    std::vector<TIdentitaet> identities = TIdentityScanner(p).ListIdentities();
    if (identities.empty()) return 1;
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    unsigned long long read0, written0;
    IoBytes(read0, written0);
    if (kind == 1) MarkChangedMailFiles(p, identities[0].StoreRoot, identities[0].KeyName);
    TMailFolderTree tree(p);
    if (!tree.LoadFolderTree(identities[0], identities[0].StoreRoot, kind)) return 1;
    tree.CheckAll();
    BackupOptions o;
    o.backupKind = kind;
    o.identity = identities[0];
    o.backupFolder = "C:\\Sicherungen\\";
    o.backupName = label;
    o.save.fill(true);
    for (const TMailFolderFile& f : tree.CheckedFolderFiles()) o.mailFolders.push_back({f.Path, f.FolderName});
    NullView view;
    BackupRun run(p, view, o);
    BackupOutcome outcome = run.Execute();
    unsigned long long read1, written1;
    IoBytes(read1, written1);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<FindEntry> found = p.files.Find(run.ArchivePath());
    std::printf("%s %.3f %.3f %ld ok=%d archive=%llu read=%llu written=%llu\n", label.c_str(), s,
                CpuSelf() - cpu, PeakRssKiB(), outcome.succeeded ? 1 : 0,
                static_cast<unsigned long long>(found.empty() ? 0 : found[0].size), read1 - read0,
                written1 - written0);
    return outcome.succeeded ? 0 : 1;
}

// Rewrites mail text in the biggest folders until `percent` of the mail bytes changed.
int Touch(const std::string& root, int percent) {
    PosixPlatform posix(root);
    Platform p = posix.Bind();
    std::vector<TIdentitaet> identities = TIdentityScanner(p).ListIdentities();
    if (identities.empty()) return 1;
    std::vector<FindEntry> files = p.files.Find(identities[0].StoreRoot + "*.dbx");
    uint64_t total = 0;
    for (const FindEntry& f : files) total += f.size;
    uint64_t goal = total * static_cast<uint64_t>(percent) / 100, touched = 0;
    for (const FindEntry& f : files) {
        if (touched >= goal) break;
        if (f.name == "Folders.dbx" || f.size > goal - touched + (goal / 2)) continue;
        auto stream = p.files.Open(identities[0].StoreRoot + f.name, OpenMode::ReadWrite);
        if (!stream || !stream->Seek(stream->Size()) || !stream->Write("\r\n", 2) || !stream->Close()) return 1;
        touched += f.size;
    }
    std::printf("touch 0 0 %ld changed=%llu of=%llu\n", PeakRssKiB(), static_cast<unsigned long long>(touched),
                static_cast<unsigned long long>(total));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "backup_bench identity ROOT MB | full ROOT | touch ROOT PERCENT | update ROOT\n");
        return 2;
    }
    const std::string op = argv[1], root = argv[2];
    if (op == "identity" && argc > 3) return Identity(root, std::atoi(argv[3]));
    if (op == "full") return Backup(root, 0, "full");
    if (op == "update") return Backup(root, 1, "update");
    if (op == "touch" && argc > 3) return Touch(root, std::atoi(argv[3]));
    return 2;
}
