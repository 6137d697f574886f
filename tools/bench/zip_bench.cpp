// Benchmark driver for the archive components: builds the corpus, runs one operation of
// TZipWriter/TZipReader (or the raw zlib floor, or an outside command) and prints one line
// "label seconds peak-RSS-KiB [extra]" for run.sh to collect. One operation per process, so
// that the peak resident set size belongs to that operation alone.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "platform/posix/posix_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Host path -> the POSIX backend's Windows path (drive Z: is the host's root, as in Wine).
std::string Win(std::string host) {
    for (char& c : host)
        if (c == '/') c = '\\';
    return "Z:" + host;
}

long PeakRssKiB() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

double CpuSeconds(const struct rusage& ru) {
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec / 1e6;
}

double CpuSelf() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return CpuSeconds(ru);
}

// label, wall seconds, CPU seconds (user + system) of the operation, peak RSS in KiB, extra.
void Report(const char* label, Clock::time_point start, double cpuStart,
            const std::string& extra = "") {
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s %.3f %.3f %ld %s\n", label, s, CpuSelf() - cpuStart, PeakRssKiB(),
                extra.c_str());
}

// --- corpus ---

struct Rng {
    uint64_t x;
    explicit Rng(uint64_t seed) : x(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    }
};

const char* const kWords[] = {
    "der", "die", "das", "und", "ist", "nicht", "mit", "von", "auf", "für", "Sie", "wir",
    "Nachricht", "Termin", "Backup", "Ordner", "bitte", "danke", "Grüße", "Hallo", "morgen",
    "Besprechung", "Anhang", "Rechnung", "Projekt", "Kunde", "Angebot", "heute", "noch",
    "schon", "wieder", "Outlook", "Express", "Windows", "Datei", "gesendet", "Antwort"};
const char* const kNames[] = {"Anna Becker", "Jörg Wagner", "Petra Schulz", "Tom Meier",
                              "Ute Krüger", "Hans Vogel", "Eva Hoffmann", "Max Braun"};

// One mail: headers that repeat from mail to mail, a body of common words, now and then a
// base64 attachment (random bytes, encoded) or a raw binary block as DBX files hold them.
void AppendMail(std::string& out, Rng& r) {
    const char* from = kNames[r.Next() % 8];
    const char* to = kNames[r.Next() % 8];
    char head[512];
    std::snprintf(head, sizeof head,
                  "Received: from mail%u.example.de ([10.%u.%u.%u]) by mx.example.de with SMTP "
                  "id %08llx\r\nFrom: \"%s\" <%u@example.de>\r\nTo: \"%s\"\r\nSubject: Re: "
                  "Termin %u\r\nDate: Mon, %u Dec 2008 %02u:%02u:00 +0100\r\nMIME-Version: "
                  "1.0\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\n\r\n",
                  unsigned(r.Next() % 20), unsigned(r.Next() % 255), unsigned(r.Next() % 255),
                  unsigned(r.Next() % 255), static_cast<unsigned long long>(r.Next()), from,
                  unsigned(r.Next() % 1000), to, unsigned(r.Next() % 500),
                  unsigned(1 + r.Next() % 28), unsigned(r.Next() % 24), unsigned(r.Next() % 60));
    out += head;
    const size_t words = 40 + r.Next() % 400;
    for (size_t i = 0; i < words; ++i) {
        out += kWords[r.Next() % (sizeof kWords / sizeof *kWords)];
        out += (r.Next() % 12 == 0) ? "\r\n" : " ";
    }
    out += "\r\n\r\n";
    const uint64_t kind = r.Next() % 600;
    if (kind < 10) {  // one mail in 60 carries a base64 attachment
        static const char b64[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const size_t lines = 100 + r.Next() % 1100;
        for (size_t l = 0; l < lines; ++l) {
            for (int c = 0; c < 76; ++c) out += b64[r.Next() & 63];
            out += "\r\n";
        }
    } else if (kind < 13) {  // one in 200: a raw, incompressible block (an image, a packed file)
        const size_t n = 16384 + r.Next() % 98304;
        const size_t at = out.size();
        out.resize(at + n);
        for (size_t i = 0; i + 8 <= n; i += 8) {
            const uint64_t v = r.Next();
            std::memcpy(&out[at + i], &v, 8);
        }
    }
}

int MakeCorpus(const std::string& dir) {
    // 10 KB to 300 MB, about 1.1 GiB in all.
    std::vector<uint64_t> sizes = {300ull << 20, 160ull << 20, 120ull << 20, 80ull << 20,
                                   60ull << 20,  40ull << 20,  40ull << 20,  25ull << 20};
    for (int i = 0; i < 20; ++i) sizes.push_back((5ull << 20) + i * (512ull << 10));
    for (int i = 0; i < 60; ++i) sizes.push_back(300000 + i * 11000);
    for (int i = 0; i < 150; ++i) sizes.push_back(10240 + i * 1700);
    uint64_t total = 0;
    Rng r(2026);
    std::string buf;
    for (size_t i = 0; i < sizes.size(); ++i) {
        char name[64];
        // Big files look like mail folders, small ones like settings and stationery.
        std::snprintf(name, sizeof name, "%s/%s%03zu.%s", dir.c_str(),
                      sizes[i] > (1u << 20) ? "Ordner" : "datei", i,
                      sizes[i] > (1u << 20) ? "dbx" : "txt");
        std::ofstream out(name, std::ios::binary);
        uint64_t left = sizes[i];
        while (left > 0) {
            buf.clear();
            while (buf.size() < (1u << 20)) AppendMail(buf, r);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
            out.write(buf.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
        total += sizes[i];
    }
    std::printf("corpus %zu files %.1f MiB\n", sizes.size(), total / 1048576.0);
    return 0;
}

// --- operations ---

struct Backend {
    bv::PosixPlatform posix;
    bv::Platform platform;
    explicit Backend(const std::string& root) : posix(root), platform(posix.Bind()) {}
};

int Add(Backend& b, const std::string& archive, const std::string& corpus, int level,
        const std::string& password) {
    bv::TZipWriter w(b.platform);
    w.SetZipName(Win(archive));
    w.SetPackLevel(level);
    w.SetPassword(password);
    w.SetRootDir(Win(corpus));
    w.SetRelativePaths(true);
    w.FilesList() = {"*.*"};
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    const int n = w.AddFiles();
    Report(password.empty() ? "add" : "add-pw", start, cpu, std::to_string(n) + " files " +
                                                        std::to_string(w.ArchiveFileSize()) + " bytes");
    return n > 0 ? 0 : 1;
}

int Test(Backend& b, const std::string& archive, const std::string& password) {
    bv::TZipReader r(b.platform);
    r.SetZipName(Win(archive));
    r.SetPassword(password);
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    const bool ok = r.TestArchive();
    Report(password.empty() ? "test" : "test-pw", start, cpu, ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}

int Extract(Backend& b, const std::string& archive, const std::string& dest,
            const std::string& password) {
    bv::TZipReader r(b.platform);
    r.SetZipName(Win(archive));
    r.SetPassword(password);
    r.SetDestDir(Win(dest));
    r.SetDoAll(true);
    r.SetRecreateDirs(true);
    r.SetOverwriteMode(bv::TOverwriteMode::Always);
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    const int n = r.ExtractMatching();
    Report(password.empty() ? "extract" : "extract-pw", start, cpu, std::to_string(n) + " files");
    return n > 0 ? 0 : 1;
}

// Adds one more file to an existing archive: bytes written against the final size.
int Update(Backend& b, const std::string& archive, const std::string& file, int level) {
    bv::TZipWriter w(b.platform);
    w.SetZipName(Win(archive));
    w.SetPackLevel(level);
    w.FilesList() = {Win(file)};
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    const int n = w.AddFiles();
    const double ratio = static_cast<double>(w.BytesWritten()) / w.ArchiveFileSize();
    char extra[128];
    std::snprintf(extra, sizeof extra, "%d file, %llu bytes written, final %llu, ratio %.4f", n,
                  static_cast<unsigned long long>(w.BytesWritten()),
                  static_cast<unsigned long long>(w.ArchiveFileSize()), ratio);
    Report("update", start, cpu, extra);
    return n == 1 ? 0 : 1;
}

// The floor: read every file, CRC-32 and raw deflate at the level, output discarded.
int Floor(const std::string& corpus, int level) {
    const auto start = Clock::now();
    const double cpu = CpuSelf();
    std::vector<unsigned char> in(256 * 1024), out(256 * 1024);
    uint64_t total = 0, packed = 0;
    std::vector<std::string> files;
    if (DIR* d = opendir(corpus.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(e->d_name);
        closedir(d);
    }
    for (const std::string& name : files) {
        FILE* f = std::fopen((corpus + "/" + name).c_str(), "rb");
        if (!f) continue;
        z_stream z{};
        deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        uLong crc = crc32(0L, Z_NULL, 0);
        for (;;) {
            const size_t n = std::fread(in.data(), 1, in.size(), f);
            const bool last = n < in.size();
            crc = crc32(crc, in.data(), static_cast<uInt>(n));
            total += n;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(n);
            int zr;
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                zr = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                packed += out.size() - z.avail_out;
            } while (z.avail_out == 0 || (last && zr != Z_STREAM_END));
            if (last) break;
        }
        deflateEnd(&z);
        std::fclose(f);
        (void)crc;
    }
    Report("floor", start, cpu, std::to_string(total) + " in " + std::to_string(packed) + " out");
    return 0;
}

// Runs an outside command and reports its time and its peak resident set size.
int RunCommand(const char* label, const char* dir, char** argv) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir) != 0) _exit(127);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 1);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::printf("%s %.3f %.3f %ld rc=%d\n", label, s, CpuSeconds(ru), ru.ru_maxrss, rc);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "zip_bench corpus DIR | add ZIP DIR LEVEL [PW] | test ZIP [PW] | "
                     "extract ZIP DEST [PW] | update ZIP FILE LEVEL | floor DIR LEVEL | "
                     "run LABEL DIR CMD...\n");
        return 2;
    }
    const std::string op = argv[1];
    auto arg = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };
    if (op == "corpus") return MakeCorpus(arg(2));
    if (op == "floor") return Floor(arg(2), std::atoi(argv[3]));
    if (op == "run" && argc > 4) return RunCommand(argv[2], argv[3], argv + 4);
    char root[] = "/tmp/zipbench-XXXXXX";
    if (!mkdtemp(root)) return 1;
    int rc = 1;
    {
        Backend b(root);
        if (op == "add") rc = Add(b, arg(2), arg(3), std::atoi(argv[4]), arg(5));
        else if (op == "test") rc = Test(b, arg(2), arg(3));
        else if (op == "extract") rc = Extract(b, arg(2), arg(3), arg(4));
        else if (op == "update") rc = Update(b, arg(2), arg(3), std::atoi(argv[4]));
    }
    std::system(("rm -rf '" + std::string(root) + "'").c_str());
    return rc;
}
