/*
 * File access layer behaviour that is the same on Win32 and on POSIX, run
 * by the native test program and under Wine: results, out error codes in
 * the Windows numbering, handles, searches, the error mappings and the
 * free-space helpers.
 */
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "fileio.h"
#include "ini_test_support.h"

namespace {

const uint32_t kUntouched = 0xDEADBEEFu;

/* A file with known contents in a scratch directory. */
std::string MakeFile(const ScratchDir &dir, const char *name, const std::string &bytes)
{
    std::string p = dir.File(name);
    EXPECT_TRUE(WriteWholeFile(p, bytes));
    return p;
}

TEST(FileLayer, PathSeparator)
{
#ifdef _WIN32
    EXPECT_EQ('\\', PathSeparator());
#else
    EXPECT_EQ('/', PathSeparator());
#endif
}

TEST(FileLayer, OpenMissing)
{
    ScratchDir dir;
    FileHandle h = 0;
    uint32_t err = kUntouched;
    EXPECT_EQ(0, FileOpen(dir.File("missing").c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
    EXPECT_EQ(0xFFFFFFFFu, h);
    std::string deep = dir.File("nodir") + PathSeparator() + "x";
    EXPECT_EQ(0, FileOpen(deep.c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(FILE_ERROR_PATH_NOT_FOUND, err);
    EXPECT_EQ(0xFFFFFFFFu, h);
}

TEST(FileLayer, CreateNewAndExisting)
{
    ScratchDir dir;
    std::string p = dir.File("new.bin");
    FileHandle h = 0;
    uint16_t exists = 7;
    uint32_t err = kUntouched;
    ASSERT_EQ(1, FileCreateNew(p.c_str(), &exists, &h, &err));
    EXPECT_EQ(0, exists);
    EXPECT_EQ(0u, err);
    EXPECT_NE(FILE_NO_HANDLE, h);
    EXPECT_EQ(1, FileClose(h, &err));
    EXPECT_EQ(0, FileCreateNew(p.c_str(), &exists, &h, &err));
    EXPECT_EQ(1, exists);
    EXPECT_EQ(FILE_ERROR_FILE_EXISTS, err);
    EXPECT_EQ(FILE_NO_HANDLE, h);
    /* A failure other than "exists" leaves the flag 0. */
    std::string deep = dir.File("nodir") + PathSeparator() + "x";
    EXPECT_EQ(0, FileCreateNew(deep.c_str(), &exists, &h, &err));
    EXPECT_EQ(0, exists);
    EXPECT_EQ(FILE_ERROR_PATH_NOT_FOUND, err);
}

TEST(FileLayer, ReadWriteAtOffsets)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "rw.bin", "");
    FileHandle h;
    uint32_t err = kUntouched, n = kUntouched;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &h, &err));
    EXPECT_EQ(0u, err);
    ASSERT_EQ(1, FileWriteAt(h, 0, "hello", 5, &n, &err));
    EXPECT_EQ(5u, n);
    ASSERT_EQ(1, FileWriteAt(h, 10, "X", 1, &n, &err));   /* beyond the end: extends */
    uint32_t size = 0;
    ASSERT_EQ(1, FileGetSize(h, &size, &err));
    EXPECT_EQ(11u, size);

    char buf[32];
    err = kUntouched;
    ASSERT_EQ(1, FileReadAt(h, 1, buf, 4, &n, &err));
    EXPECT_EQ(4u, n);
    EXPECT_EQ(std::string("ello"), std::string(buf, 4));
    EXPECT_EQ(kUntouched, err) << "a successful read must leave the error code";
    ASSERT_EQ(1, FileReadAt(h, 8, buf, 32, &n, &err));
    EXPECT_EQ(3u, n);                                       /* up to the end only */
    EXPECT_EQ(0, buf[0]);
    EXPECT_EQ('X', buf[2]);
    n = kUntouched;
    ASSERT_EQ(1, FileReadAt(h, 1000, buf, 32, &n, &err));
    EXPECT_EQ(0u, n) << "past the end reads 0 bytes";

    /* Offsets from 2 GiB cannot be reached: only the error code is set. */
    n = kUntouched;
    EXPECT_EQ(0, FileReadAt(h, 0x80000000u, buf, 1, &n, &err));
    EXPECT_EQ(FILE_ERROR_NEGATIVE_SEEK, err);
    EXPECT_EQ(kUntouched, n);
    EXPECT_EQ(0, FileWriteAt(h, 0xFFFFFFFFu, "x", 1, &n, &err));
    EXPECT_EQ(FILE_ERROR_NEGATIVE_SEEK, err);
    EXPECT_EQ(1, FileFlush(h, &err));
    EXPECT_EQ(0u, err);
    EXPECT_EQ(1, FileClose(h, &err));
}

TEST(FileLayer, LengthAndSize)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "len.bin", std::string(100, 'a'));
    FileHandle h;
    uint32_t err, size = kUntouched;
    ASSERT_EQ(1, FileSizeByName(p.c_str(), &size, &err));
    EXPECT_EQ(100u, size);
    EXPECT_EQ(0u, err);
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_WRITE, &h, &err));
    ASSERT_EQ(1, FileSetLength(h, 40, &err));
    ASSERT_EQ(1, FileGetSize(h, &size, &err));
    EXPECT_EQ(40u, size);
    ASSERT_EQ(1, FileSetLength(h, 4096, &err));
    ASSERT_EQ(1, FileGetSize(h, &size, &err));
    EXPECT_EQ(4096u, size);
    EXPECT_EQ(0, FileSetLength(h, 0x80000000u, &err));
    EXPECT_EQ(FILE_ERROR_NEGATIVE_SEEK, err);
    EXPECT_EQ(1, FileClose(h, &err));
    size = kUntouched;
    EXPECT_EQ(0, FileSizeByName(dir.File("missing").c_str(), &size, &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
    EXPECT_EQ(0u, size);
}

TEST(FileLayer, CloseTwiceFails)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "c.bin", "x");
    FileHandle h;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(1, FileClose(h, &err));
    EXPECT_EQ(0, FileClose(h, &err));
    EXPECT_EQ(6u, err);                     /* invalid handle */
}

TEST(FileLayer, LocksConflictBetweenHandles)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "lock.bin", std::string(64, 'l'));
    FileHandle a, b;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &a, &err));
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &b, &err));
    ASSERT_EQ(1, FileLockRange(a, 0, 10, &err));
    EXPECT_EQ(0u, err);
    EXPECT_EQ(0, FileLockRange(b, 5, 10, &err));
    EXPECT_EQ(FILE_ERROR_LOCK_VIOLATION, err);
    EXPECT_EQ(1, FileLockRange(b, 10, 10, &err));           /* adjacent range is free */
    ASSERT_EQ(1, FileUnlockRange(a, 0, 10, &err));
    EXPECT_EQ(1, FileLockRange(b, 0, 10, &err));
    FileClose(a, &err);
    FileClose(b, &err);
}

TEST(FileLayer, Times)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "t.bin", "t");
    FileHandle h;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &h, &err));
    FileTimes t;
    ASSERT_EQ(1, FileGetTimes(h, &t, &err));
    /* 2001-01-01 00:00:00 UTC in 100-ns units since 1601, and one day later. */
    const uint64_t y2001 = 126227808000000000ull, day = 864000000000ull;
    FileTimes set = t;
    set.lastWrite.low = (uint32_t)y2001;
    set.lastWrite.high = (uint32_t)(y2001 >> 32);
    set.lastAccess.low = (uint32_t)(y2001 + day);
    set.lastAccess.high = (uint32_t)((y2001 + day) >> 32);
    ASSERT_EQ(1, FileSetTimes(h, &set, &err)) << err;
    FileTimes got;
    ASSERT_EQ(1, FileGetTimes(h, &got, &err));
    EXPECT_EQ(set.lastWrite.low, got.lastWrite.low);
    EXPECT_EQ(set.lastWrite.high, got.lastWrite.high);
    EXPECT_EQ(set.lastAccess.low, got.lastAccess.low);
    EXPECT_EQ(set.lastAccess.high, got.lastAccess.high);
    FileClose(h, &err);
}

TEST(FileLayer, ExistsAttributesDelete)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "a.txt", "a");
    uint32_t err;
    uint16_t attrs = 0xFFFF;
    EXPECT_EQ(1, FileExists(p.c_str()));
    EXPECT_EQ(1, FileExists(dir.path.c_str()));
    EXPECT_EQ(0, FileExists(dir.File("missing").c_str()));
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(0, attrs);
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), FILE_ATTR_READONLY, &err));
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(FILE_ATTR_READONLY, attrs & FILE_ATTR_READONLY);
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), 0, &err));
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(0, attrs) << "flags 0 make a normal file";
    EXPECT_EQ(0, FileGetAttributes(dir.File("missing").c_str(), &attrs, &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
    ASSERT_EQ(1, FileDelete(p.c_str(), &err));
    EXPECT_EQ(0u, err);
    EXPECT_EQ(0, FileExists(p.c_str()));
    EXPECT_EQ(0, FileDelete(p.c_str(), &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
}

TEST(FileLayer, MoveNeverReplaces)
{
    ScratchDir dir;
    std::string a = MakeFile(dir, "a", "A"), b = MakeFile(dir, "b", "B");
    std::string c = dir.File("c");
    uint32_t err;
    EXPECT_EQ(0, FileMove(a.c_str(), b.c_str(), &err));
    EXPECT_EQ(FILE_ERROR_ALREADY_EXISTS, err);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(b, &bytes));
    EXPECT_EQ("B", bytes);
    ASSERT_EQ(1, FileMove(a.c_str(), c.c_str(), &err));
    EXPECT_EQ(0, FileExists(a.c_str()));
    ASSERT_TRUE(ReadWholeFile(c, &bytes));
    EXPECT_EQ("A", bytes);
    EXPECT_EQ(0, FileMove(a.c_str(), dir.File("d").c_str(), &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
}

TEST(FileLayer, Directories)
{
    ScratchDir dir;
    uint32_t err;
    std::string sub = dir.File("sub");
    ASSERT_EQ(1, DirCreate(sub.c_str(), &err));
    EXPECT_EQ(0u, err);
    EXPECT_EQ(0, DirCreate(sub.c_str(), &err));
    EXPECT_EQ(FILE_ERROR_ALREADY_EXISTS, err);
    std::string deep = dir.File("no") + PathSeparator() + "deeper";
    EXPECT_EQ(0, DirCreate(deep.c_str(), &err));
    EXPECT_EQ(FILE_ERROR_PATH_NOT_FOUND, err);

    char old[1024], cur[1024], tiny[2];
    ASSERT_EQ(1, DirGetCurrent(old, sizeof old));
    EXPECT_EQ(0, DirGetCurrent(tiny, sizeof tiny)) << "a cut-off path is no success";
    ASSERT_EQ(1, DirSetCurrent(sub.c_str()));
    ASSERT_EQ(1, DirGetCurrent(cur, sizeof cur));
    EXPECT_TRUE(WriteWholeFile("here.txt", "h"));
    EXPECT_EQ(1, FileExists((sub + PathSeparator() + "here.txt").c_str()));
    EXPECT_EQ(1, FileDelete("here.txt", &err));
    ASSERT_EQ(1, DirSetCurrent(old));
    EXPECT_EQ(0, DirSetCurrent(dir.File("missing").c_str()));
#ifdef _WIN32
    RemoveDirectoryA(sub.c_str());
#else
    rmdir(sub.c_str());
#endif
}

TEST(FileLayer, MakeTemp)
{
    char name[1024], tiny[4];
    uint32_t err, size = kUntouched;
    ASSERT_EQ(1, FileMakeTemp(name, sizeof name));
    EXPECT_NE(nullptr, strstr(name, "ORM"));
    ASSERT_EQ(1, FileSizeByName(name, &size, &err));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(1, FileDelete(name, &err));
    memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(0, FileMakeTemp(tiny, sizeof tiny));
}

TEST(FileLayer, FindNameBufferExactAndOneMore)
{
    ScratchDir dir;
    MakeFile(dir, "abcde.ini", "x");                 /* 9 characters */
    std::string pattern = dir.File("abcde.ini");
    FileSearch s = nullptr;
    uint16_t attrs;
    char name[16];
    uint32_t err;
    memset(name, '#', sizeof name);
    EXPECT_EQ(0, FileFindFirst(pattern.c_str(), &s, &attrs, name, 9, &err));
    EXPECT_EQ(FILE_ERROR_BUFFER_OVERFLOW, err);
    EXPECT_EQ(FILE_NO_SEARCH, s);
    EXPECT_EQ('#', name[0]) << "nothing may be copied";
    ASSERT_EQ(1, FileFindFirst(pattern.c_str(), &s, &attrs, name, 10, &err));
    EXPECT_EQ(0u, err);
    EXPECT_STREQ("abcde.ini", name);
    EXPECT_EQ(0, attrs);
    EXPECT_EQ(0, FileFindNext(s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ERROR_NO_MORE_FILES, err);
    err = kUntouched;
    EXPECT_EQ(1, FileFindClose(s, &err));
    EXPECT_EQ(kUntouched, err) << "FileFindClose sets the error only on failure";
}

TEST(FileLayer, FindEnumeratesWithFlags)
{
    ScratchDir dir;
    uint32_t err;
    MakeFile(dir, "a.ini", "a");
    MakeFile(dir, "BB.INI", "b");
    MakeFile(dir, "c.txt", "c");
    ASSERT_EQ(1, DirCreate(dir.File("d.ini").c_str(), &err));
    std::string ro = MakeFile(dir, "r.ini", "r");
    ASSERT_EQ(1, FileSetAttributes(ro.c_str(), FILE_ATTR_READONLY, &err));
    std::set<std::string> names;
    uint16_t dirAttrs = 0, roAttrs = 0, attrs;
    char name[256];
    FileSearch s;
    ASSERT_EQ(1, FileFindFirst(dir.File("*.ini").c_str(), &s, &attrs, name, sizeof name, &err));
    do {
        names.insert(name);
        if (std::string(name) == "d.ini") dirAttrs = attrs;
        if (std::string(name) == "r.ini") roAttrs = attrs;
    } while (FileFindNext(s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ERROR_NO_MORE_FILES, err);
    EXPECT_EQ(1, FileFindClose(s, &err));
    EXPECT_EQ((std::set<std::string>{"a.ini", "BB.INI", "d.ini", "r.ini"}), names);
    EXPECT_EQ(FILE_ATTR_DIRECTORY, dirAttrs & (FILE_ATTR_DIRECTORY | FILE_ATTR_READONLY));
    EXPECT_EQ(FILE_ATTR_READONLY, roAttrs & (FILE_ATTR_DIRECTORY | FILE_ATTR_READONLY));
    ASSERT_EQ(1, FileFindFirst(dir.File("?.txt").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_STREQ("c.txt", name);
    FileFindClose(s, &err);

    EXPECT_EQ(0, FileFindFirst(dir.File("*.none").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
    EXPECT_EQ(FILE_NO_SEARCH, s);
    std::string deep = dir.File("nodir") + PathSeparator() + "*";
    EXPECT_EQ(0, FileFindFirst(deep.c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ERROR_PATH_NOT_FOUND, err);
#ifdef _WIN32
    RemoveDirectoryA(dir.File("d.ini").c_str());
#else
    rmdir(dir.File("d.ini").c_str());
#endif
}

TEST(FileLayer, DiskFreeBytesReal)
{
    ScratchDir dir;
    FileU64 free = {kUntouched, kUntouched};
    uint32_t err = kUntouched;
    ASSERT_EQ(1, DiskFreeBytes(dir.path.c_str(), &free, &err));
    EXPECT_EQ(0u, err);
    EXPECT_TRUE(free.low != 0 || free.high != 0);
}

TEST(FileLayer, ErrorMappings)
{
    struct { uint32_t code, result, status; } rows[] = {
        {0, 1, 2001}, {1, 1, 2001}, {2, 53, 2002}, {3, 53, 2002}, {8, 2, 2012},
        {33, 78, 2009}, {80, 80, 2003}, {183, 80, 2003}, {5, 1, 2001}, {4, 1, 2001},
        {32, 1, 2001}, {111, 1, 2001}, {0xFFFFFFFFu, 1, 2001},
    };
    for (auto &r : rows) {
        EXPECT_EQ(r.result, FileErrorToResult(r.code)) << "code " << r.code;
        EXPECT_EQ(r.status, FileErrorToStatus(r.code)) << "code " << r.code;
    }
}

TEST(FileLayer, DiskRootOfPath)
{
    struct { const char *path, *root; } rows[] = {
        {"C:\\dir\\file.txt", "C:\\"},
        {"C:\\", "C:\\"},
        {"C:", "C:"},
        {"relative", "relative"},
        {"\\dir\\x", "\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {"\\\\server\\share\\", "\\\\server\\share\\"},
        {"\\\\server\\share\\dir", "\\\\server\\share\\dir\\"},
    };
    for (auto &r : rows) {
        char root[260];
        DiskRootOfPath(r.path, root, sizeof root);
        EXPECT_STREQ(r.root, root) << r.path;
    }
    /* A network path of 259 characters or more gets no closing '\'. */
    std::string unc = "\\\\s\\" + std::string(255, 'x');   /* 259 characters */
    char root[300];
    DiskRootOfPath(unc.c_str(), root, sizeof root);
    EXPECT_EQ(unc, root);
    unc.pop_back();                                          /* 258 */
    DiskRootOfPath(unc.c_str(), root, sizeof root);
    EXPECT_EQ(unc + "\\", root);
    /* The copy is bounded by the buffer. */
    char small[8];
    DiskRootOfPath("relative-long-name", small, sizeof small);
    EXPECT_STREQ("relativ", small);
}

TEST(FileLayer, DiskBytesFromClusters)
{
    const uint64_t gib = 1024ull * 1024 * 1024;
    FileU64 r = DiskBytesFromClusters(8, 512, (uint32_t)(3 * gib / 4096));
    EXPECT_EQ(0u, r.high);
    EXPECT_EQ((uint32_t)(3 * gib), r.low);
    r = DiskBytesFromClusters(8, 512, (uint32_t)(5 * gib / 4096));
    EXPECT_EQ(1u, r.high);
    EXPECT_EQ((uint32_t)gib, r.low);
    /* The bytes per cluster are taken modulo 2^32 before the product. */
    r = DiskBytesFromClusters(65536, 65536, 1000);
    EXPECT_EQ(0u, r.high);
    EXPECT_EQ(0u, r.low);
    r = DiskBytesFromClusters(65536, 65537, 0xFFFFFFFFu);   /* 65536 * 0xFFFFFFFF */
    EXPECT_EQ(0xFFFFu, r.high);
    EXPECT_EQ(0xFFFF0000u, r.low);
}

} // namespace
