// The Win32 system and shell backends (Windows build only).
#ifdef _WIN32
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/ansi.h"
#include "platform/path.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

bool GermanUser() { return PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_GERMAN; }

class Win32SystemTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    System& system = tp.system();
    Shell& shell = tp.shell();
};

TEST_F(Win32SystemTest, VersionIsWhatTheSystemReports) {
    OsVersion v = system.GetVersion();
    ASSERT_TRUE(v.ok);
    DWORD packed = ::GetVersion();
    EXPECT_EQ(LOBYTE(LOWORD(packed)), v.major);
    EXPECT_EQ(HIBYTE(LOWORD(packed)), v.minor);
    EXPECT_EQ((packed & 0x80000000u) ? 1u : 2u, v.platformId);
    if (win32::IsWine()) {
        // The test prefix is set up as Windows XP with Service Pack 3.
        EXPECT_EQ(5u, v.major);
        EXPECT_EQ(1u, v.minor);
        EXPECT_EQ(2600u, v.build);
        EXPECT_EQ("Service Pack 3", v.servicePack);
    }
}

TEST_F(Win32SystemTest, OemConversionUsesCodePage850OnGermanSystems) {
    if (GetOEMCP() != 850 || GetACP() != 1252) GTEST_SKIP() << "needs ANSI 1252 and OEM 850";
    const std::string ansi = "Größe Ä\xE9";
    const std::string oem = system.AnsiToOem(ansi);
    EXPECT_EQ(std::string("Gr\x94\xE1" "e \x8E\x82"), oem);
    EXPECT_EQ(ansi, system.OemToAnsi(oem));
    EXPECT_EQ(std::string("a\0b", 3), system.AnsiToOem(std::string("a\0b", 3)));
    EXPECT_EQ("", system.AnsiToOem(""));
}

TEST_F(Win32SystemTest, LocaleTextsOfAGermanUser) {
    if (!GermanUser()) GTEST_SKIP() << "needs a German user locale (LC_ALL=de_DE.UTF-8 under Wine)";
    EXPECT_EQ(',', system.DecimalSeparator());
    EXPECT_EQ("Januar", system.MonthName(1));
    EXPECT_EQ("März", system.MonthName(3));
    EXPECT_EQ("Dezember", system.MonthName(12));
    EXPECT_EQ("", system.MonthName(0));
    EXPECT_EQ("", system.MonthName(13));
    DateTime when{2026, 12, 8, 7, 5, 9, 0};
    EXPECT_EQ("08.12.2026 07:05:09", system.DateTimeText(when));
    DateTime evening{1999, 1, 31, 23, 59, 0, 0};
    EXPECT_EQ("31.01.1999 23:59:00", system.DateTimeText(evening));
}

TEST_F(Win32SystemTest, ClocksAndConversionsAgree) {
    FileTime utc = system.UtcNow();
    FileTime unixNow = UnixToFileTime(static_cast<int64_t>(time(nullptr)));
    EXPECT_LT(utc > unixNow ? utc - unixNow : unixNow - utc, 50000000ull);  // 5 s

    DateTime local;
    ASSERT_TRUE(system.FileTimeToLocal(utc, local));
    DateTime now = system.LocalNow();
    EXPECT_EQ(now.year, local.year);
    FileTime back = 0;
    ASSERT_TRUE(system.LocalToFileTime(local, back));
    EXPECT_EQ(utc / 10000, back / 10000);  // milliseconds survive, the rest is cut

    DateTime fixed{2024, 2, 29, 12, 30, 15, 250};
    FileTime t = 0;
    ASSERT_TRUE(system.LocalToFileTime(fixed, t));
    DateTime again;
    ASSERT_TRUE(system.FileTimeToLocal(t, again));
    EXPECT_EQ(fixed, again);
    DateTime invalid{2023, 2, 30, 0, 0, 0, 0};
    EXPECT_FALSE(system.LocalToFileTime(invalid, t));
}

TEST_F(Win32SystemTest, ProgramTempAndWindowsFolders) {
    std::string program = system.ProgramFile();
    ASSERT_GT(program.size(), 4u);
    EXPECT_EQ(0, lstrcmpiA(".exe", program.substr(program.size() - 4).c_str()));
    EXPECT_NE(FileAttr::Invalid, tp.files().GetAttributes(program));

    std::string temp = system.TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ('\\', temp.back());
    EXPECT_NE(0u, tp.files().GetAttributes(temp) & FileAttr::Directory);

    std::string windows = system.WindowsDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_NE('\\', windows.back());
    EXPECT_NE(FileAttr::Invalid, tp.files().GetAttributes(windows + "\\system32"));
}

TEST_F(Win32SystemTest, ProcessListHoldsThisProgram) {
    std::vector<ProcessEntry> processes = system.Processes();
    std::string program = system.ProgramFile();
    std::string name = program.substr(program.find_last_of('\\') + 1);
    bool found = false;
    for (const ProcessEntry& p : processes) {
        std::string exe = p.exeFile.substr(p.exeFile.find_last_of('\\') + 1);
        if (p.id == GetCurrentProcessId() && lstrcmpiA(exe.c_str(), name.c_str()) == 0) found = true;
    }
    EXPECT_TRUE(found) << name << " among " << processes.size() << " processes";
}

TEST_F(Win32SystemTest, ErrorTextsComeFromTheSystem) {
    std::string text = system.ErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE('\n', text.back());
    EXPECT_NE(' ', text.back());
    EXPECT_NE(text, system.ErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ("", system.ErrorText(0x2FFFFFFF));
}

TEST_F(Win32SystemTest, RandomBytesDiffer) {
    uint8_t a[32] = {}, b[32] = {};
    ASSERT_TRUE(system.RandomBytes(a, sizeof a));
    ASSERT_TRUE(system.RandomBytes(b, sizeof b));
    EXPECT_NE(0, memcmp(a, b, sizeof a));
    std::set<uint8_t> distinct(a, a + sizeof a);
    EXPECT_GT(distinct.size(), 8u);
    std::vector<uint8_t> big(200000);
    ASSERT_TRUE(system.RandomBytes(big.data(), big.size()));
    size_t zeros = 0;
    for (uint8_t v : big) zeros += v == 0;
    EXPECT_LT(zeros, 2000u);  // about 780 expected
}

TEST_F(Win32SystemTest, VersionResourceOfASystemFile) {
    Bytes resource;
    ASSERT_TRUE(system.ReadVersionResource(system.WindowsDirectory() + "\\system32\\kernel32.dll", resource));
    ASSERT_GT(resource.size(), 40u + 52u);
    // VS_VERSIONINFO: length, value length, type, then the key in UTF-16.
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof key - 1; ++i) {
        EXPECT_EQ(key[i], resource[6 + 2 * i]);
        EXPECT_EQ(0, resource[7 + 2 * i]);
    }
    EXPECT_FALSE(system.ReadVersionResource(tp.TempDir() + "none.dll", resource));
    ASSERT_TRUE(tp.WriteFile(tp.TempDir() + "plain.txt", "no resources here"));
    EXPECT_FALSE(system.ReadVersionResource(tp.TempDir() + "plain.txt", resource));
}

TEST_F(Win32SystemTest, SpecialFoldersExistAndHaveNoTrailingBackslash) {
    EXPECT_TRUE(shell.SpecialFoldersSupported());  // every shell since Internet Explorer 4
    for (int csidl : {Csidl::Personal, Csidl::AppData, Csidl::DesktopDirectory, Csidl::Favorites,
                      Csidl::LocalAppData, Csidl::ProgramFiles, Csidl::ProgramFilesCommon}) {
        std::string path;
        ASSERT_TRUE(shell.SpecialFolder(csidl, path)) << csidl;
        ASSERT_GT(path.size(), 3u) << csidl;
        EXPECT_NE('\\', path.back()) << csidl;
        EXPECT_EQ(':', path[1]) << csidl;
    }
    std::string path = "stale";
    EXPECT_FALSE(shell.SpecialFolder(0x7F, path));  // no such folder
    EXPECT_EQ("", path);
    EXPECT_FALSE(shell.SpecialFolder(Csidl::Drives, path));  // virtual, no file-system path
}

TEST_F(Win32SystemTest, EnvironmentExpansion) {
    ASSERT_TRUE(SetEnvironmentVariableA("BREVISTO_TEST_VAR", "Wert mit Ä"));
    EXPECT_EQ("Wert mit Ä", shell.GetEnvironment("BREVISTO_TEST_VAR"));
    EXPECT_EQ("Wert mit Ä", shell.GetEnvironment("brevisto_test_var"));
    EXPECT_EQ("<Wert mit Ä>\\%BREVISTO_UNKNOWN%",
              shell.ExpandEnvironment("<%BREVISTO_TEST_VAR%>\\%BREVISTO_UNKNOWN%"));
    std::string longValue(5000, 'x');
    ASSERT_TRUE(SetEnvironmentVariableA("BREVISTO_TEST_VAR", longValue.c_str()));
    EXPECT_EQ(longValue, shell.GetEnvironment("BREVISTO_TEST_VAR"));
    EXPECT_EQ(longValue + longValue, shell.ExpandEnvironment("%BREVISTO_TEST_VAR%%BREVISTO_TEST_VAR%"));
    SetEnvironmentVariableA("BREVISTO_TEST_VAR", nullptr);
    EXPECT_EQ("", shell.GetEnvironment("BREVISTO_TEST_VAR"));
    EXPECT_EQ("", shell.ExpandEnvironment(""));
}

TEST(Win32Functions, RunTimeLookupFindsPresentAndMissingFunctions) {
    const auto present = GET_WINDOWS_FUNCTION("kernel32.dll", GetDiskFreeSpaceExA);
    ASSERT_NE(nullptr, present);
    ULARGE_INTEGER a, t, f;
    EXPECT_TRUE(present("C:\\", &a, &t, &f));
    EXPECT_EQ(nullptr, win32::FindWindowsFunction("kernel32.dll", "BrevistoNoSuchFunction"));
    EXPECT_EQ(nullptr, win32::FindWindowsFunction("brevisto-no-such.dll", "GetVersion"));
}

TEST(Win32Functions, LibrariesComeFromTheSystemFolderNotTheCurrentOne) {
    // The backup run makes its temporary folder current; a file there named like a system
    // library must never be the one that is loaded.
    test::TestPlatform tp;
    const std::string folder = tp.TempDir() + "dllsuche\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(tp.WriteFile(folder + "msimg32.dll", "MZ no library at all"));
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    const bool alreadyLoaded = GetModuleHandleA("msimg32.dll") != nullptr;
    void* function = win32::FindWindowsFunction("msimg32.dll", "AlphaBlend");
    SetCurrentDirectoryA(previous);
    if (alreadyLoaded) GTEST_SKIP() << "msimg32.dll was loaded before the test";
    EXPECT_NE(nullptr, function);
}

// Reads a shortcut back through the shell's own link object.
struct ReadShortcut {
    bool ok = false;
    std::string path, arguments, workingFolder, description, iconPath;
    int iconIndex = -1;
};

ReadShortcut ReadLink(const std::string& linkPath) {
    const CLSID shellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const IID shellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const IID persistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    ReadShortcut out;
    HRESULT init = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(shellLink, nullptr, CLSCTX_INPROC_SERVER, shellLinkA,
                                   reinterpret_cast<void**>(&link))) && link) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(persistFile, reinterpret_cast<void**>(&file))) && file) {
            if (SUCCEEDED(file->Load(win32::AnsiToWide(linkPath).c_str(), STGM_READ))) {
                char buffer[MAX_PATH * 2] = {};
                link->GetPath(buffer, sizeof buffer, nullptr, 0);
                out.path = buffer;
                link->GetArguments(buffer, sizeof buffer);
                out.arguments = buffer;
                link->GetWorkingDirectory(buffer, sizeof buffer);
                out.workingFolder = buffer;
                link->GetDescription(buffer, sizeof buffer);
                out.description = buffer;
                link->GetIconLocation(buffer, sizeof buffer, &out.iconIndex);
                out.iconPath = buffer;
                out.ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return out;
}

TEST_F(Win32SystemTest, ShortcutToTheProgramCarriesItsArguments) {
    const std::string program = system.ProgramFile();
    const std::string link = tp.TempDir() + "Nächtliche Sicherung.lnk";
    ShortcutRequest request;
    request.target = program;
    request.arguments = "\"" + tp.TempDir() + "Nächtliche Sicherung.BVT\"";
    request.workingFolder = ExcludeTrailingBackslash(ExtractFilePath(program));
    request.description = "Brevisto";
    request.iconPath = program;
    request.iconIndex = 0;
    request.linkPath = link;
    ASSERT_TRUE(shell.CreateShortcut(request));
    ASSERT_TRUE(FileExists(tp.files(), link));

    const ReadShortcut read = ReadLink(link);
    ASSERT_TRUE(read.ok);
    EXPECT_TRUE(SameText(read.path, program)) << read.path;
    EXPECT_EQ(request.arguments, read.arguments);
    EXPECT_TRUE(SameText(read.workingFolder, request.workingFolder)) << read.workingFolder;
    EXPECT_EQ("Brevisto", read.description);
    EXPECT_TRUE(SameText(read.iconPath, program)) << read.iconPath;
    EXPECT_EQ(0, read.iconIndex);

    // A folder that does not exist takes no shortcut.
    request.linkPath = tp.TempDir() + "fehlt\\Sicherung.lnk";
    EXPECT_FALSE(shell.CreateShortcut(request));
}

}  // namespace
}  // namespace bv
#endif  // _WIN32
