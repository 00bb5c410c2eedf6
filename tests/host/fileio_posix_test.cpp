/*
 * File access layer on POSIX: how the layer stands in for what POSIX lacks
 * (attributes from mode bits and dot names, Windows error codes for errno,
 * Windows wildcard rules, directories refused as files).
 */
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fileio.h"
#include "ini_test_support.h"

namespace {

TEST(FilePosix, DotNamesAreHidden)
{
    ScratchDir dir;
    std::string p = dir.File(".hidden");
    ASSERT_TRUE(WriteWholeFile(p, "h"));
    uint16_t attrs;
    uint32_t err;
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(FILE_ATTR_HIDDEN, attrs);
    FileSearch s;
    char name[64];
    ASSERT_EQ(1, FileFindFirst(dir.File(".h*").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_STREQ(".hidden", name);
    EXPECT_EQ(FILE_ATTR_HIDDEN, attrs);
    FileFindClose(s, &err);
}

TEST(FilePosix, ReadOnlyIsOwnerWriteBit)
{
    ScratchDir dir;
    std::string p = dir.File("ro");
    ASSERT_TRUE(WriteWholeFile(p, "r"));
    ASSERT_EQ(0, chmod(p.c_str(), 0664));
    uint32_t err;
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), FILE_ATTR_READONLY | FILE_ATTR_HIDDEN, &err));
    struct stat st;
    ASSERT_EQ(0, stat(p.c_str(), &st));
    EXPECT_EQ(0444u, st.st_mode & 0777u);
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), 0, &err));
    ASSERT_EQ(0, stat(p.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777u);
}

TEST(FilePosix, ErrnoToWindowsCodes)
{
    ScratchDir dir;
    uint32_t err;
    FileHandle h;
    /* A directory is no file (CreateFileA refuses it with 5). */
    EXPECT_EQ(0, FileOpen(dir.path.c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(FILE_ERROR_ACCESS_DENIED, err);
    EXPECT_EQ(FILE_NO_HANDLE, h);
    EXPECT_EQ(0, FileDelete(dir.path.c_str(), &err));
    EXPECT_EQ(FILE_ERROR_ACCESS_DENIED, err);
    /* A file used as a directory on the way: path not found. */
    std::string f = dir.File("plain");
    ASSERT_TRUE(WriteWholeFile(f, "p"));
    EXPECT_EQ(0, FileOpen((f + "/x").c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(FILE_ERROR_PATH_NOT_FOUND, err);
    /* A name that is too long. */
    std::string longName = dir.File(std::string(300, 'n'));
    EXPECT_EQ(0, FileOpen(longName.c_str(), FILE_READ, &h, &err));
    EXPECT_EQ(206u, err);
    /* Moving across file systems. */
    std::string shm = "/dev/shm/ormcfg-move-probe";
    if (WriteWholeFile(shm, "m")) {
        EXPECT_EQ(0, FileMove(shm.c_str(), dir.File("moved").c_str(), &err));
        EXPECT_EQ(17u, err);
        unlink(shm.c_str());
    }
}

TEST(FilePosix, WildcardsAsOnWindows)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteWholeFile(dir.File("README"), "x"));
    ASSERT_TRUE(WriteWholeFile(dir.File("Data.Ini"), "x"));
    FileSearch s;
    uint16_t attrs;
    char name[64];
    uint32_t err;
    /* "*.*" also matches a name without a dot; letters match either case. */
    ASSERT_EQ(1, FileFindFirst(dir.File("readme.*").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_STREQ("README", name);
    FileFindClose(s, &err);
    ASSERT_EQ(1, FileFindFirst(dir.File("*.INI").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_STREQ("Data.Ini", name);
    FileFindClose(s, &err);
    EXPECT_EQ(0, FileFindFirst(dir.File("?.ini").c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ERROR_FILE_NOT_FOUND, err);
}

TEST(FilePosix, ReadOnlyHandleTakesSharedLock)
{
    ScratchDir dir;
    std::string p = dir.File("l");
    ASSERT_TRUE(WriteWholeFile(p, std::string(32, 'l')));
    FileHandle a, b, w;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ, &a, &err));
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ, &b, &err));
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &w, &err));
    EXPECT_EQ(1, FileLockRange(a, 0, 8, &err));
    EXPECT_EQ(1, FileLockRange(b, 0, 8, &err));
    EXPECT_EQ(0, FileLockRange(w, 4, 8, &err));
    EXPECT_EQ(FILE_ERROR_LOCK_VIOLATION, err);
    EXPECT_EQ(1, FileLockRange(w, 0, 0, &err)) << "an empty range locks nothing";
    FileClose(a, &err);
    FileClose(b, &err);
    FileClose(w, &err);
}

} // namespace
