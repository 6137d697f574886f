// Interoperability with other ZIP programs: archives that TZipWriter writes pass Info-ZIP
// unzip, 7-Zip and bsdtar and extract byte-identical; archives that those programs (and
// Python's zipfile) write are read, tested and extracted by TZipReader. The outside tools
// run on the host; on the Windows build, or when a tool is missing, the test says so and
// skips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "brevisto/archive/zip_format.h"
#include "brevisto/archive/zip_reader.h"
#include "brevisto/archive/zip_writer.h"
#include "platform/path.h"
#include "tests/support/test_platform.h"
#include "tests/unit/zip_test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bv {
namespace {

using test::TestPlatform;
using namespace test::ziptest;

#ifndef _WIN32
bool HaveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command) {
    const int rc = std::system(("(" + command + ") >/dev/null 2>&1").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
#else
// The outside tools are host programs; the Windows build skips these tests in SetUp.
bool HaveTool(const std::string&) { return false; }
int Shell(const std::string&) { return -1; }
#endif

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string HostRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return in ? s.str() : std::string("<missing>");
}

// The files every archive of these tests holds: text, noise, an empty file and a subfolder.
struct Corpus {
    std::vector<std::pair<std::string, std::string>> files;  // relative path, content
    Corpus() {
        files = {{"Inbox.dbx", MailText(700000, 1)},
                 {"rauschen.bin", NoiseBytes(300000, 2)},
                 {"leer.txt", ""},
                 {"Unter\\Outbox.dbx", MailText(90000, 3)},
                 {"Unter\\Tief\\klein.txt", "klein"}};
    }
};

class ZipInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "outside ZIP tools run on the native build only";
#else
        for (const char* tool : {"unzip", "zip", "7z", "bsdtar"})
            if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
        src = tp.TempDir() + "Quelle\\";
        for (const auto& [rel, content] : corpus.files) {
            ForceDirectories(tp.files(), ExtractFilePath(src + rel));
            ASSERT_TRUE(tp.WriteFile(src + rel, content));
        }
#endif
    }

    // Our archive of the corpus, paths relative to the source folder.
    std::string WriteOurs(const std::string& name, const std::string& password, int level,
                          bool dirEntries, const std::string& comment = "") {
        const std::string path = tp.TempDir() + name;
        TZipWriter w(tp.platform());
        w.SetZipName(path);
        w.SetPackLevel(level);
        w.SetPassword(password);
        w.SetRootDir(src);
        w.SetRelativePaths(true);
        w.SetAddDirEntriesOnRecurse(dirEntries);
        if (!comment.empty()) w.SetComment(comment);
        w.FilesList() = {"*.*"};
        EXPECT_EQ(w.AddFiles(), static_cast<int>(corpus.files.size()) + (dirEntries ? 2 : 0));
        return path;
    }

    // What each outside tool says about one of our archives, and what it extracts.
    void CheckWithTools(const std::string& archive, const std::string& password,
                        const std::string& what) {
        const std::string host = Quote(tp.HostPath(archive));
        const std::string pw = password.empty() ? "" : " -P " + Quote(password);
        const std::string pw7 = password.empty() ? "" : " -p" + Quote(password);
        EXPECT_EQ(Shell("unzip -tq" + pw + " " + host), 0) << what << ": unzip -t";
        EXPECT_EQ(Shell("7z t" + pw7 + " " + host), 0) << what << ": 7z t";
        EXPECT_EQ(Shell("bsdtar -tf " + host), 0) << what << ": bsdtar -tf";
        const std::string base = tp.HostPath(tp.TempDir()) + "/x-" + std::to_string(++round);
        ASSERT_EQ(Shell("mkdir -p " + Quote(base)), 0);
        EXPECT_EQ(Shell("unzip -oq" + pw + " " + host + " -d " + Quote(base + "/unzip")), 0)
            << what;
        EXPECT_EQ(Shell("7z x -y" + pw7 + " -o" + Quote(base + "/7z") + " " + host), 0) << what;
        const std::string bsdPw = password.empty() ? "" : " --passphrase " + Quote(password);
        EXPECT_EQ(Shell("mkdir -p " + Quote(base + "/bsdtar") + " && bsdtar -xf " + host +
                        bsdPw + " -C " + Quote(base + "/bsdtar")),
                  0)
            << what << ": bsdtar -x";
        for (const char* tool : {"unzip", "7z", "bsdtar"}) {
            for (const auto& [rel, content] : corpus.files) {
                std::string unix = rel;
                std::replace(unix.begin(), unix.end(), '\\', '/');
                EXPECT_TRUE(HostRead(base + "/" + tool + "/" + unix) == content)
                    << what << ": " << tool << " extracted " << unix << " differently";
            }
        }
    }

    // TZipReader on an archive another program wrote.
    void CheckWithReader(const std::string& hostArchive, const std::string& password,
                         const std::vector<std::pair<std::string, std::string>>& expect,
                         const std::string& what, TIncompleteZipMode mode =
                                                      TIncompleteZipMode::izAssumeMulti) {
        const std::string archive = tp.TempDir() + "fremd-" + std::to_string(++round) + ".zip";
        ASSERT_EQ(Shell("cp " + Quote(hostArchive) + " " + Quote(tp.HostPath(tp.TempDir()) +
                                                                  "/fremd-" +
                                                                  std::to_string(round) + ".zip")),
                  0);
        TZipReader r(tp.platform());
        r.SetIncompleteZipMode(mode);
        r.SetZipName(archive);
        r.SetPassword(password);
        ASSERT_NO_THROW(r.ReadDirectory()) << what;
        EXPECT_TRUE(r.TestArchive()) << what;
        const std::string dest = tp.TempDir() + "aus-" + std::to_string(round) + "\\";
        r.SetDestDir(dest);
        r.SetDoAll(true);
        r.SetRecreateDirs(true);
        EXPECT_EQ(r.ExtractMatching(), static_cast<int>(expect.size())) << what;
        for (const auto& [rel, content] : expect)
            EXPECT_TRUE(tp.ReadFile(dest + rel) == content) << what << ": " << rel;
    }

    int round = 0;
    TestPlatform tp;
    Corpus corpus;
    std::string src;
};

TEST_F(ZipInteropTest, OurPlainArchivePassesTheTools) {
    CheckWithTools(WriteOurs("plain.zip", "", 5, false), "", "plain");
}

TEST_F(ZipInteropTest, OurStoredAndBestArchivesPassTheTools) {
    CheckWithTools(WriteOurs("stored.zip", "", 0, false), "", "level 0");
    CheckWithTools(WriteOurs("best.zip", "", 9, false), "", "level 9");
}

TEST_F(ZipInteropTest, OurEncryptedArchivePassesTheTools) {
    CheckWithTools(WriteOurs("enc.zip", "Geheim 7!", 5, false), "Geheim 7!", "encrypted");
    const std::string host = Quote(tp.HostPath(tp.TempDir() + "enc.zip"));
    EXPECT_NE(Shell("unzip -tq -P falsch " + host), 0) << "a wrong password must fail";
}

TEST_F(ZipInteropTest, OurArchiveWithFolderEntriesAndLongCommentPassesTheTools) {
    const std::string comment = MailText(60 * 1024, 4);
    const std::string path = WriteOurs("dirs.zip", "", 5, true, comment);
    CheckWithTools(path, "", "folders and comment");
    // unzip -z prints the comment (with bare line feeds): it must come back whole.
    const std::string host = tp.HostPath(path);
    const std::string dump = tp.HostPath(tp.TempDir()) + "/comment.txt";
    ASSERT_EQ(Shell("unzip -zq " + Quote(host) + " > " + Quote(dump)), 0);
    auto withoutCr = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
        while (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    };
    EXPECT_EQ(withoutCr(HostRead(dump)).size(), withoutCr(comment).size());
    if (HaveTool("python3")) {
        ASSERT_EQ(Shell("python3 -c 'import sys, zipfile; sys.stdout.buffer.write("
                        "zipfile.ZipFile(sys.argv[1]).comment)' " +
                        Quote(host) + " > " + Quote(dump)),
                  0);
        EXPECT_TRUE(HostRead(dump) == comment) << "comment differs";
    }
}

TEST_F(ZipInteropTest, OurZip64ArchivePassesTheTools) {
    // Lowered limits make every size, offset and the entry count take the Zip64 records.
    const zip::Limits saved = zip::CurrentLimits();
    zip::CurrentLimits().max32 = 4096;
    zip::CurrentLimits().max16 = 2;
    const std::string path = WriteOurs("z64.zip", "", 5, true);
    const std::string encrypted = WriteOurs("z64e.zip", "pw", 5, false);
    zip::CurrentLimits() = saved;
    CheckWithTools(path, "", "zip64");
    CheckWithTools(encrypted, "pw", "zip64 encrypted");
}

TEST_F(ZipInteropTest, InfoZipArchivesAreRead) {
    const std::string dir = tp.HostPath(src);
    const std::string out = tp.HostPath(tp.TempDir());
    std::vector<std::pair<std::string, std::string>> expect;
    for (const auto& f : corpus.files) expect.push_back(f);
    const std::string cd = "cd " + Quote(dir) + " && ";
    ASSERT_EQ(Shell(cd + "zip -qr " + Quote(out + "/iz.zip") + " ."), 0);
    CheckWithReader(out + "/iz.zip", "", expect, "zip");
    ASSERT_EQ(Shell(cd + "zip -qr -P 'p w' " + Quote(out + "/ize.zip") + " ."), 0);
    CheckWithReader(out + "/ize.zip", "p w", expect, "zip -P");
    ASSERT_EQ(Shell(cd + "zip -qr -fd " + Quote(out + "/izd.zip") + " ."), 0);
    CheckWithReader(out + "/izd.zip", "", expect, "zip -fd");
    ASSERT_EQ(Shell(cd + "zip -qr -fd -P pw " + Quote(out + "/izde.zip") + " ."), 0);
    CheckWithReader(out + "/izde.zip", "pw", expect, "zip -fd -P (check byte from the time)");
    ASSERT_EQ(Shell(cd + "zip -qr - . | cat > " + Quote(out + "/izs.zip")), 0);
    CheckWithReader(out + "/izs.zip", "", expect, "zip - (streamed)");
    // Streamed from standard input: Zip64 local headers and 64-bit descriptors.
    ASSERT_EQ(Shell(cd + "cat Inbox.dbx | zip -q - - | cat > " + Quote(out + "/izi.zip")), 0);
    CheckWithReader(out + "/izi.zip", "", {{"-", corpus.files[0].second}}, "stdin streamed");
    // The same archive with its directory cut off: rebuilt from the local headers.
    ASSERT_EQ(Shell(cd + "zip -qr -fd - . | cat > " + Quote(out + "/izcut.zip")), 0);
    const std::string full = HostRead(out + "/izcut.zip");
    const size_t cdAt = full.find(std::string("PK\x01\x02", 4));
    ASSERT_NE(cdAt, std::string::npos);
    std::ofstream(out + "/izcut2.zip", std::ios::binary) << full.substr(0, cdAt);
    CheckWithReader(out + "/izcut2.zip", "", expect, "descriptors without directory",
                    TIncompleteZipMode::izAssumeBad);
}

TEST_F(ZipInteropTest, SevenZipArchivesAreRead) {
    const std::string dir = tp.HostPath(src);
    const std::string out = tp.HostPath(tp.TempDir());
    std::vector<std::pair<std::string, std::string>> expect(corpus.files.begin(),
                                                            corpus.files.end());
    const std::string cd = "cd " + Quote(dir) + " && ";
    ASSERT_EQ(Shell(cd + "7z a -tzip " + Quote(out + "/7.zip") + " ."), 0);
    CheckWithReader(out + "/7.zip", "", expect, "7z");
    ASSERT_EQ(Shell(cd + "7z a -tzip -mem=ZipCrypto -ppw " + Quote(out + "/7e.zip") + " ."), 0);
    CheckWithReader(out + "/7e.zip", "pw", expect, "7z ZipCrypto");
    ASSERT_EQ(Shell(cd + "7z a -tzip -mx=0 " + Quote(out + "/70.zip") + " ."), 0);
    CheckWithReader(out + "/70.zip", "", expect, "7z stored");
}

TEST_F(ZipInteropTest, PythonZipfileArchivesAreRead) {
    if (!HaveTool("python3")) GTEST_SKIP() << "python3 is not installed";
    const std::string dir = tp.HostPath(src);
    const std::string out = tp.HostPath(tp.TempDir());
    std::vector<std::pair<std::string, std::string>> expect(corpus.files.begin(),
                                                            corpus.files.end());
    const std::string script = out + "/mk.py";
    std::ofstream(script) << "import os, sys, zipfile\n"
                             "src, dst, method, stream = sys.argv[1], sys.argv[2], "
                             "int(sys.argv[3]), sys.argv[4] == '1'\n"
                             "class Unseekable:\n"
                             "    def __init__(self, f): self.f = f\n"
                             "    def write(self, b): return self.f.write(b)\n"
                             "    def flush(self): self.f.flush()\n"
                             "f = open(dst, 'wb')\n"
                             "with zipfile.ZipFile(Unseekable(f) if stream else f, 'w', method) as z:\n"
                             "    for root, dirs, files in os.walk(src):\n"
                             "        for n in sorted(files):\n"
                             "            p = os.path.join(root, n)\n"
                             "            z.write(p, os.path.relpath(p, src))\n"
                             "f.close()\n";
    for (const auto& [method, stream] : std::vector<std::pair<int, int>>{{8, 0}, {0, 0}, {8, 1}}) {
        const std::string dst = out + "/py" + std::to_string(method) + std::to_string(stream) + ".zip";
        ASSERT_EQ(Shell("python3 " + Quote(script) + " " + Quote(dir) + " " + Quote(dst) + " " +
                        std::to_string(method) + " " + std::to_string(stream)),
                  0);
        CheckWithReader(dst, "", expect,
                        "python method " + std::to_string(method) + (stream ? " streamed" : ""));
    }
}

}  // namespace
}  // namespace bv
