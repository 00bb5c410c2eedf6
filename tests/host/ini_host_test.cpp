/*
 * Configuration engine cases that need the native system: a file whose
 * writes fail (/dev/full) and a directory given as the file to read.
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

TEST(IniHost, DirectoryIsNoFile)
{
    ScratchDir dir;
    IniFile *ini = (IniFile *)1;
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, dir.path.c_str(), nullptr));
    EXPECT_EQ(nullptr, ini);
}

} // namespace
