/*
 * Configuration engine cases that need the native system: a file whose
 * writes fail (/dev/full), one whose reads fail (/proc/self/mem, unmapped
 * at offset 0) and a directory given as the file to read.
 */
#include <gtest/gtest.h>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

namespace {

TEST(IniHost, FailedWriteGivesWriteErrorAndKeepsObject)
{
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=1 ; c\n", 12));
    std::string before = IniDump(ini);
    EXPECT_EQ(INI_ERR_WRITE, IniWriteFile(ini, "/dev/full"));
    EXPECT_EQ(before, IniDump(ini));
    EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
    EXPECT_STREQ("/dev/full", ini->fileName);
    IniClose(ini);
}

/* A read that fails ends the text silently: the parse succeeds with what
 * was read before, here nothing. */
TEST(IniHost, FailedReadEndsTextSilently)
{
    const char *path = "/proc/self/mem";
    FileHandle h;
    uint32_t err, got = 0;
    char buf[16];
    ASSERT_EQ(1, FileOpen(path, FILE_READ, &h, &err));
    EXPECT_EQ(0, FileReadAt(h, 0, buf, sizeof buf, &got, &err)) << "the read did not fail";
    FileClose(h, &err);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, path, nullptr));
    EXPECT_EQ(nullptr, ini->firstSection);
    IniClose(ini);
}

TEST(IniHost, DirectoryIsNoFile)
{
    ScratchDir dir;
    IniFile *ini = (IniFile *)1;
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, dir.path.c_str(), nullptr));
    EXPECT_EQ(nullptr, ini);
}

} // namespace
