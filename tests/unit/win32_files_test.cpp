// The Win32 file backend against the real file system (Windows build only).
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdio>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

class Win32FilesTest : public ::testing::Test {
protected:
    test::TestPlatform tp;
    Files& files = tp.files();
    const std::string dir = tp.TempDir();
};

TEST_F(Win32FilesTest, TestPlatformGivesAFreshFolderUnderTheTempPathAndRemovesIt) {
    std::string folder;
    {
        test::TestPlatform other;
        folder = other.TempDir();
        EXPECT_NE(folder, dir);
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof temp, temp);
        ASSERT_GT(n, 0u);
        EXPECT_EQ(0, lstrcmpiA(std::string(temp, n).c_str(), folder.substr(0, n).c_str()));
        EXPECT_EQ('\\', folder.back());
        EXPECT_TRUE(other.files().Find(folder + "*").empty());
        ASSERT_TRUE(other.files().CreateDirectory(folder + "sub"));
        ASSERT_TRUE(other.WriteFile(folder + "sub\\f.txt", "x"));
        ASSERT_TRUE(other.files().SetAttributes(folder + "sub\\f.txt", FileAttr::ReadOnly));
        EXPECT_EQ(folder + "a", other.HostPath(folder + "a"));
        EXPECT_TRUE(test::TestPlatform::IsWindows());
        EXPECT_EQ(nullptr, other.Posix());
    }
    EXPECT_EQ(FileAttr::Invalid, GetFileAttributesA(folder.c_str()));
}

TEST_F(Win32FilesTest, FixturePathPointsAtTheFixturesThroughDriveZ) {
    std::string path = test::TestPlatform::FixturePath("oe6-store\\Folders.dbx");
    EXPECT_EQ("Z:\\", path.substr(0, 3));
    uint32_t attributes = files.GetAttributes(path);
    ASSERT_NE(FileAttr::Invalid, attributes) << path;
    EXPECT_EQ(0u, attributes & FileAttr::Directory);
}

TEST_F(Win32FilesTest, StreamsReadWriteSeekAndTruncate) {
    const std::string path = dir + "data.bin";
    long error = -1;
    auto out = files.Open(path, OpenMode::CreateNew, &error);
    ASSERT_TRUE(out);
    EXPECT_EQ(0, error);
    ASSERT_TRUE(out->Write("0123456789", 10));
    EXPECT_EQ(10u, out->Position());
    EXPECT_EQ(10u, out->Size());
    ASSERT_TRUE(out->Seek(4));
    char buf[16] = {};
    EXPECT_EQ(3u, out->Read(buf, 3));
    EXPECT_EQ("456", std::string(buf, 3));
    ASSERT_TRUE(out->Seek(6));
    ASSERT_TRUE(out->Truncate());
    EXPECT_EQ(6u, out->Size());
    ASSERT_TRUE(out->Close());

    EXPECT_FALSE(files.Open(path, OpenMode::CreateNew, &error));
    EXPECT_EQ(WinError::FileExists, error);
    EXPECT_EQ("012345", tp.ReadFile(path));

    auto in = files.Open(path, OpenMode::Read);
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->Write("x", 1));  // opened for reading only
    EXPECT_EQ(6u, in->Read(buf, sizeof buf));
    EXPECT_EQ(0u, in->Read(buf, sizeof buf));  // end of file
    // Written through another handle while this one reads: refused by the share mode.
    EXPECT_FALSE(files.Open(path, OpenMode::ReadWrite, &error));
    EXPECT_EQ(WinError::SharingViolation, error);
    in.reset();

    EXPECT_FALSE(files.Open(dir + "missing.bin", OpenMode::Read, &error));
    EXPECT_EQ(WinError::FileNotFound, error);
    EXPECT_FALSE(files.Open(dir + "nofolder\\x.bin", OpenMode::CreateAlways, &error));
    EXPECT_EQ(WinError::PathNotFound, error);
}

TEST_F(Win32FilesTest, PositionsAndSizesBeyondFourGigabytes) {
    const std::string path = dir + "sparse.bin";
    auto stream = files.Open(path, OpenMode::CreateAlways);
    ASSERT_TRUE(stream);
    const uint64_t beyond = (5ull << 30) + 123;  // 5 GB: past both the 2 GB and 4 GB limits
    ASSERT_TRUE(stream->Seek(beyond));
    EXPECT_EQ(beyond, stream->Position());
    ASSERT_TRUE(stream->Write("Z", 1));
    EXPECT_EQ(beyond + 1, stream->Size());
    ASSERT_TRUE(stream->Seek(beyond));
    char c = 0;
    EXPECT_EQ(1u, stream->Read(&c, 1));
    EXPECT_EQ('Z', c);
    std::vector<FindEntry> found = files.Find(path);
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(beyond + 1, found[0].size);
    ASSERT_TRUE(stream->Seek(0));
    ASSERT_TRUE(stream->Truncate());  // gives the space back at once
    EXPECT_TRUE(stream->Close());
}

TEST_F(Win32FilesTest, PositionsWhoseLowPartIsAllOnesAreNoErrors) {
    // SetFilePointer answers 0xFFFFFFFF for them, which is also its error value.
    auto stream = files.Open(dir + "edge.bin", OpenMode::CreateAlways);
    ASSERT_TRUE(stream);
    SetLastError(ERROR_FILE_NOT_FOUND);  // stale error of an earlier call
    ASSERT_TRUE(stream->Seek(0xFFFFFFFFull));
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(0xFFFFFFFFull, stream->Position());
    ASSERT_TRUE(stream->Write("A", 1));
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(0x100000000ull, stream->Size());
    ASSERT_TRUE(stream->Seek(0xFFFFFFFFull));
    ASSERT_TRUE(stream->Write("B", 1));
    ASSERT_TRUE(stream->Seek(0x1FFFFFFFFull));
    EXPECT_EQ(0x1FFFFFFFFull, stream->Position());
    ASSERT_TRUE(stream->Seek(0));
    ASSERT_TRUE(stream->Truncate());
    EXPECT_TRUE(stream->Close());
}

TEST_F(Win32FilesTest, AttributesAndFindWithWildcards) {
    ASSERT_TRUE(tp.WriteFile(dir + "a.txt", "abc"));
    ASSERT_TRUE(tp.WriteFile(dir + "b.TXT", "defg"));
    ASSERT_TRUE(tp.WriteFile(dir + "c.dat", ""));
    ASSERT_TRUE(files.CreateDirectory(dir + "sub.txt"));
    ASSERT_TRUE(files.SetAttributes(dir + "a.txt", FileAttr::ReadOnly | FileAttr::Hidden));
    uint32_t attributes = files.GetAttributes(dir + "a.txt");
    EXPECT_EQ(FileAttr::ReadOnly | FileAttr::Hidden, attributes & (FileAttr::ReadOnly | FileAttr::Hidden));
    EXPECT_EQ(FileAttr::Invalid, files.GetAttributes(dir + "none.txt"));
    EXPECT_NE(0u, files.GetAttributes(dir + "sub.txt") & FileAttr::Directory);

    std::vector<FindEntry> found = files.Find(dir + "*.txt");
    std::sort(found.begin(), found.end(), [](const FindEntry& a, const FindEntry& b) {
        return lstrcmpiA(a.name.c_str(), b.name.c_str()) < 0;
    });
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ("a.txt", found[0].name);
    EXPECT_EQ(3u, found[0].size);
    EXPECT_NE(0u, found[0].attributes & FileAttr::Hidden);
    EXPECT_EQ("b.TXT", found[1].name);
    EXPECT_EQ(4u, found[1].size);
    EXPECT_TRUE(found[2].IsDirectory());
    EXPECT_GT(found[1].lastWriteTime, 0u);

    std::vector<FindEntry> all = files.Find(dir + "*");
    EXPECT_EQ(4u, all.size());  // without "." and ".."
    EXPECT_TRUE(files.Find(dir + "*.none").empty());
    ASSERT_TRUE(files.SetAttributes(dir + "a.txt", FileAttr::Normal));
}

TEST_F(Win32FilesTest, ArchiveAttributeCanBeCleared) {
    ASSERT_TRUE(tp.WriteFile(dir + "a.txt", "abc"));
    EXPECT_NE(0u, files.GetAttributes(dir + "a.txt") & FileAttr::Archive);  // set by the write
    ASSERT_TRUE(files.SetAttributes(dir + "a.txt", FileAttr::Normal));
    if (win32::IsWine()) GTEST_SKIP() << "Wine reports the archive attribute on every file";
    EXPECT_EQ(0u, files.GetAttributes(dir + "a.txt") & FileAttr::Archive);
}

TEST_F(Win32FilesTest, DirectoriesDeleteCopyAndErrors) {
    long error = -1;
    ASSERT_TRUE(files.CreateDirectory(dir + "d", &error));
    EXPECT_EQ(0, error);
    EXPECT_FALSE(files.CreateDirectory(dir + "d", &error));
    EXPECT_EQ(WinError::AlreadyExists, error);
    ASSERT_TRUE(tp.WriteFile(dir + "d\\f", "1"));
    EXPECT_FALSE(files.RemoveDirectory(dir + "d"));  // not empty
    EXPECT_TRUE(files.CopyFile(dir + "d\\f", dir + "g", true));
    EXPECT_FALSE(files.CopyFile(dir + "d\\f", dir + "g", true));
    ASSERT_TRUE(tp.WriteFile(dir + "d\\f", "2"));
    EXPECT_TRUE(files.CopyFile(dir + "d\\f", dir + "g", false));
    EXPECT_EQ("2", tp.ReadFile(dir + "g"));
    EXPECT_TRUE(files.DeleteFile(dir + "d\\f", &error));
    EXPECT_FALSE(files.DeleteFile(dir + "d\\f", &error));
    EXPECT_EQ(WinError::FileNotFound, error);
    EXPECT_TRUE(files.RemoveDirectory(dir + "d"));
    EXPECT_EQ(FileAttr::Invalid, files.GetAttributes(dir + "d"));
}

TEST_F(Win32FilesTest, MoveReplacesOnlyWhenAsked) {
    ASSERT_TRUE(tp.WriteFile(dir + "new", "neu"));
    ASSERT_TRUE(tp.WriteFile(dir + "old", "alt"));
    long error = 0;
    EXPECT_FALSE(files.MoveFile(dir + "new", dir + "old", false, &error));
    EXPECT_EQ(WinError::AlreadyExists, error);
    EXPECT_EQ("alt", tp.ReadFile(dir + "old"));
    ASSERT_TRUE(files.MoveFile(dir + "new", dir + "old", true, &error));
    EXPECT_EQ(0, error);
    EXPECT_EQ("neu", tp.ReadFile(dir + "old"));
    EXPECT_EQ(FileAttr::Invalid, files.GetAttributes(dir + "new"));
    EXPECT_TRUE(files.MoveFile(dir + "old", dir + "renamed", false));
    EXPECT_EQ("neu", tp.ReadFile(dir + "renamed"));
    EXPECT_FALSE(files.MoveFile(dir + "gone", dir + "x", true, &error));
    EXPECT_EQ(WinError::FileNotFound, error);
}

TEST_F(Win32FilesTest, MoveAtRestartIsRegisteredWithTheSystem) {
    ASSERT_TRUE(tp.WriteFile(dir + "later.del", "x"));
    if (!files.MoveFileAtRestart(dir + "later.del", "")) {
        GTEST_SKIP() << "registering moves at restart needs administrator rights";
    }
    // The system keeps them in the session manager's PendingFileRenameOperations.
    auto registry = CreateWin32Registry();
    RegValue value;
    ASSERT_EQ(0, registry->QueryValue(RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Session Manager",
                                      "PendingFileRenameOperations", value));
    std::string text(value.data.begin(), value.data.end());
    CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    std::string wanted = dir + "LATER.DEL";
    CharUpperBuffA(&wanted[0], static_cast<DWORD>(wanted.size()));
    EXPECT_NE(std::string::npos, text.find(wanted));
    EXPECT_EQ("x", tp.ReadFile(dir + "later.del"));  // still there until the restart
}

TEST_F(Win32FilesTest, TimesRoundTrip) {
    const std::string path = dir + "t.txt";
    ASSERT_TRUE(tp.WriteFile(path, "x"));
    FileTime creation = 0, lastWrite = 0;
    ASSERT_TRUE(files.GetTimes(path, &creation, &lastWrite));
    EXPECT_GT(lastWrite, 0u);
    const FileTime wanted = UnixToFileTime(1700000000);  // 2023-11-14
    ASSERT_TRUE(files.SetTimes(path, nullptr, &wanted));
    ASSERT_TRUE(files.GetTimes(path, nullptr, &lastWrite));
    EXPECT_EQ(wanted, lastWrite);
    // A folder's times too (opened with backup semantics).
    ASSERT_TRUE(files.CreateDirectory(dir + "f"));
    ASSERT_TRUE(files.SetTimes(dir + "f", nullptr, &wanted));
    ASSERT_TRUE(files.GetTimes(dir + "f", nullptr, &lastWrite));
    EXPECT_EQ(wanted, lastWrite);
    EXPECT_FALSE(files.GetTimes(dir + "none", &creation, &lastWrite));

    const FileTime created = UnixToFileTime(1600000000);
    ASSERT_TRUE(files.SetTimes(path, &created, nullptr));
    if (win32::IsWine()) GTEST_SKIP() << "Wine ignores creation times";
    ASSERT_TRUE(files.GetTimes(path, &creation, nullptr));
    EXPECT_EQ(created, creation);
}

TEST_F(Win32FilesTest, VolumesFreeSpaceAndShares) {
    EXPECT_TRUE(files.VolumeReady("C:\\"));
    // A drive letter that the system does not have is not ready, and no dialog appears.
    char missing = 0;
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y' && !missing; ++letter) {
        if (!(drives & (1u << (letter - 'A')))) missing = letter;
    }
    ASSERT_NE(0, missing);
    const std::string root = std::string(1, missing) + ":\\";
    EXPECT_FALSE(files.VolumeReady(root));
    EXPECT_EQ(-1, files.FreeBytes(root + "Backup"));

    int64_t free = files.FreeBytes(dir);
    EXPECT_GT(free, 0);
    ULARGE_INTEGER available, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.c_str(), &available, &total, &totalFree));
    // Same volume, asked twice: equal up to what other processes wrote meanwhile.
    EXPECT_LT(std::llabs(static_cast<long long>(available.QuadPart) - free), 64ll << 20);
    EXPECT_GT(files.FreeBytes(dir.substr(0, dir.size() - 1)), 0);  // without the backslash too

    long rc = files.ConnectShare("\\\\brevisto-no-such-host\\share");
    EXPECT_NE(0, rc);
    EXPECT_NE(WinError::AlreadyAssigned, rc);
}

TEST_F(Win32FilesTest, CurrentDirectory) {
    const std::string before = files.CurrentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(files.SetCurrentDirectory(dir));
    EXPECT_EQ(0, lstrcmpiA((dir.substr(0, dir.size() - 1)).c_str(), files.CurrentDirectory().c_str()));
    EXPECT_FALSE(files.SetCurrentDirectory(dir + "none"));
    ASSERT_TRUE(files.SetCurrentDirectory(before));
}

TEST_F(Win32FilesTest, ShortAndLongPaths) {
    const std::string longName = dir + "Ein langer Ordnername\\Datei mit langem Namen.text";
    ASSERT_TRUE(files.CreateDirectory(dir + "Ein langer Ordnername"));
    ASSERT_TRUE(tp.WriteFile(longName, "x"));
    std::string shortName = files.ShortPath(longName);
    EXPECT_NE(longName, shortName);
    EXPECT_EQ(std::string::npos, shortName.find(' '));
    EXPECT_EQ("x", tp.ReadFile(shortName));
    EXPECT_EQ(0, lstrcmpiA(longName.c_str(), files.LongPath(shortName).c_str()));
    // The fallback for systems without GetLongPathNameA agrees with the system.
    EXPECT_EQ(files.LongPath(shortName), win32::LongPathByFind(shortName));
    EXPECT_EQ(files.LongPath(dir), win32::LongPathByFind(dir));
    // Paths that do not exist come back unchanged.
    EXPECT_EQ(dir + "nichts da.txt", files.ShortPath(dir + "nichts da.txt"));
    EXPECT_EQ(dir + "nichts da.txt", files.LongPath(dir + "nichts da.txt"));
    EXPECT_EQ(dir + "nichts da.txt", win32::LongPathByFind(dir + "nichts da.txt"));
}

TEST(Win32VolumeRoot, DrivesAndShares) {
    EXPECT_EQ("C:\\", win32::VolumeRoot("C:\\a\\b"));
    EXPECT_EQ("c:\\", win32::VolumeRoot("c:"));
    EXPECT_EQ("\\\\srv\\share\\", win32::VolumeRoot("\\\\srv\\share\\dir\\f"));
    EXPECT_EQ("\\\\srv\\share\\", win32::VolumeRoot("\\\\srv\\share"));
    EXPECT_EQ("", win32::VolumeRoot("\\\\srv"));
    EXPECT_EQ("", win32::VolumeRoot("relative\\path"));
}

// Whether the folder's stored access list still says that `rights` are denied (Wine keeps
// access lists as Unix permission bits, which have no right for attributes).
bool DenialKept(const std::string& folder, DWORD rights) {
    DWORD needed = 0;
    GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> descriptor(needed ? needed : 1);
    if (!GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present || !acl) return false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(acl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_DENIED_ACE_TYPE &&
            (static_cast<ACCESS_DENIED_ACE*>(ace)->Mask & rights) == rights) {
            return true;
        }
    }
    return false;
}

TEST_F(Win32FilesTest, FolderWriteAccessFollowsTheSecurityDescriptor) {
    int access = files.FolderWriteAccess(dir);
    if (access == -1) GTEST_SKIP() << "the system cannot check folder access";
    EXPECT_EQ(1, access);
    EXPECT_EQ(-1, files.FolderWriteAccess(dir + "none"));

    // Folders whose access lists deny everyone one part of write access: adding files, or
    // writing attributes (which a backup folder needs as well; a folder that only takes
    // new files is left to the caller's probe file).
    struct Case {
        const char* name;
        DWORD denied;
    };
    for (const Case& c : {Case{"ohne Dateien", FILE_ADD_FILE}, Case{"ohne Attribute", FILE_WRITE_ATTRIBUTES}}) {
        SCOPED_TRACE(c.name);
        const std::string locked = dir + c.name;
        ASSERT_TRUE(files.CreateDirectory(locked));
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
        BYTE aclBuffer[512];
        PACL acl = reinterpret_cast<PACL>(aclBuffer);
        ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
        ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, c.denied, everyone));
        ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, everyone));
        SECURITY_DESCRIPTOR sd;
        ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
        bool stored = SetFileSecurityA(locked.c_str(), DACL_SECURITY_INFORMATION, &sd) != FALSE;
        FreeSid(everyone);
        if (!stored) GTEST_SKIP() << "the file system keeps no access lists";
        if (c.denied == FILE_WRITE_ATTRIBUTES && !DenialKept(locked, c.denied)) {
            std::printf("[   NOTE   ] %s: this system keeps no such denial\n", c.name);
            continue;
        }
        EXPECT_EQ(0, files.FolderWriteAccess(locked));
    }
    EXPECT_EQ(1, files.FolderWriteAccess(dir));
}

}  // namespace
}  // namespace bv
#endif  // _WIN32
