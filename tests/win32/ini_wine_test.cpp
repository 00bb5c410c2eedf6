/*
 * Win32 test program of the configuration engine and the file access
 * layer, run under Wine. It links the same case tables as the native test
 * program (tests/common) and adds what only Windows shows: sharing modes,
 * the hidden and system attributes, byte-range locks that make reads and
 * writes fail, and the real free-space query.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

namespace {

const DWORD kSharingViolation = 32;

std::string MakeFile(const ScratchDir &dir, const char *name, const std::string &bytes)
{
    std::string p = dir.File(name);
    EXPECT_TRUE(WriteWholeFile(p, bytes));
    return p;
}

TEST(FileWin32, SetAttributesZeroGivesNormal)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "attr.txt", "a");
    uint32_t err;
    uint16_t attrs;
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), FILE_ATTR_READONLY | FILE_ATTR_HIDDEN |
                                                  FILE_ATTR_SYSTEM, &err));
    const DWORD plain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    DWORD a = GetFileAttributesA(p.c_str());
    EXPECT_EQ(plain, a & (plain | FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(FILE_ATTR_READONLY | FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM, attrs);
    FileSearch s;
    char name[64];
    ASSERT_EQ(1, FileFindFirst(p.c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ATTR_READONLY | FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM, attrs);
    FileFindClose(s, &err);
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), 0, &err));
    /* Windows reports the normal attribute alone; Wine shows a plain file
     * as "archive" only (it keeps no archive bit). */
    a = GetFileAttributesA(p.c_str());
    EXPECT_TRUE(a == FILE_ATTRIBUTE_NORMAL || a == FILE_ATTRIBUTE_ARCHIVE) << std::hex << a;
}

TEST(FileWin32, DenyFlagsShareModes)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "share.txt", "s");
    FileHandle a, b;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_DENY_WRITE, &a, &err));
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_WRITE, &b, &err));
    EXPECT_EQ(kSharingViolation, err);
    EXPECT_EQ(FILE_NO_HANDLE, b);
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ, &b, &err)) << err;
    FileClose(b, &err);
    FileClose(a, &err);

    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_WRITE | FILE_DENY_READ, &a, &err));
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_READ, &b, &err));
    EXPECT_EQ(kSharingViolation, err);
    uint32_t size = 77;
    EXPECT_EQ(0, FileSizeByName(p.c_str(), &size, &err));
    EXPECT_EQ(kSharingViolation, err);
    EXPECT_EQ(0u, size);
    FileClose(a, &err);

    /* Without deny flags the file is shared for reading and writing. */
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &a, &err));
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &b, &err)) << err;
    FileClose(a, &err);
    FileClose(b, &err);
}

TEST(FileWin32, CreateNewSharesForReadingOnly)
{
    ScratchDir dir;
    std::string p = dir.File("new.txt");
    FileHandle h, other;
    uint16_t exists;
    uint32_t err;
    ASSERT_EQ(1, FileCreateNew(p.c_str(), &exists, &h, &err));
    EXPECT_EQ(1, FileOpen(p.c_str(), FILE_READ, &other, &err)) << err;
    FileClose(other, &err);
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_WRITE, &other, &err));
    EXPECT_EQ(kSharingViolation, err);
    FileClose(h, &err);
}

TEST(FileWin32, SizeOfBadHandle)
{
    uint32_t size = 5, err = 0;
    EXPECT_EQ(0, FileGetSize(0x12345678u, &size, &err));
    EXPECT_EQ(0u, size);
    EXPECT_EQ((uint32_t)ERROR_INVALID_HANDLE, err);
}

TEST(FileWin32, DiskFreeBytesMatchesSystem)
{
    ScratchDir dir;
    FileU64 mine;
    uint32_t err;
    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_EQ(1, DiskFreeBytes(dir.path.c_str(), &mine, &err));
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.path.c_str(), &avail, &total, &totalFree));
    uint64_t a = ((uint64_t)mine.high << 32) | mine.low;
    uint64_t b = avail.QuadPart;
    uint64_t diff = a > b ? a - b : b - a;
    EXPECT_LT(diff, 64ull << 20) << a << " against " << b;
    EXPECT_EQ(0, DiskFreeBytes("Q:\\no\\such\\drive", &mine, &err));
    EXPECT_NE(0u, err);
}

/* Windows makes reads and writes fail in a range that another handle has
 * locked, but Wine does not enforce byte-range locks on ReadFile and
 * WriteFile; the failures are made here with Linux devices that Wine
 * reaches through drive Z: (the root of the Linux file system). */
const char kFullDevice[] = "Z:\\dev\\full";        /* every write: disk full */
const char kUnreadable[] = "Z:\\proc\\self\\mem";  /* reading at 0 fails */

/* A read that fails ends the text silently: the parse succeeds with what
 * was read before, here nothing. */
TEST(IniWin32, FailedReadEndsTextSilently)
{
    FileHandle h;
    uint32_t err, got = 0;
    char buf[16];
    if (!FileOpen(kUnreadable, FILE_READ, &h, &err))
        GTEST_SKIP() << "no Linux file system on Z: (" << err << ")";
    EXPECT_EQ(0, FileReadAt(h, 0, buf, sizeof buf, &got, &err)) << "the read did not fail";
    FileClose(h, &err);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, kUnreadable, nullptr));
    EXPECT_EQ(nullptr, ini->firstSection);
    IniClose(ini);
}

/* A write that fails stops the writer with INI_ERR_WRITE; the object is
 * left as it was. */
TEST(IniWin32, FailedWriteGivesWriteError)
{
    FileHandle h;
    uint32_t err, put = 0;
    if (!FileOpen(kFullDevice, FILE_WRITE, &h, &err))
        GTEST_SKIP() << "no Linux file system on Z: (" << err << ")";
    EXPECT_EQ(0, FileWriteAt(h, 0, "x", 1, &put, &err)) << "the write did not fail";
    FileClose(h, &err);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=1 ; c", 11));
    std::string before = IniDump(ini);
    EXPECT_EQ(INI_ERR_WRITE, IniWriteFile(ini, kFullDevice));
    EXPECT_EQ(before, IniDump(ini));
    EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
    IniClose(ini);
}

} // namespace
