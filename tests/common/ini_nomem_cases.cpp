/*
 * Memory exhaustion in the configuration engine: every allocation of a
 * creation or a write is failed in turn. A failed creation must give
 * INI_ERR_NOMEM, no object and no block left; a failed write must leave
 * the object and the file as they were.
 */
#include <gtest/gtest.h>

#include <string>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

namespace {

const char kSample[] =
    "; sample\r\n"
    "[First]\r\n"
    "name = value ; with comment\r\n"
    "list(1) = \"a b\\tc\"\r\n"
    "list(2) = x;\r\n"
    "[Second]\n"
    "[First]\n"
    "empty=\n";

const char kSampleDump[] =
    "[First]\n"
    "name(0)=\"value\" ;\" with comment\"\n"
    "list(1)=\"a b\\x09c\"\n"
    "list(2)=\"x\" ;\"\"\n"
    "[Second]\n"
    "[First]\n"
    "empty(0)=\"\"\n";

/* Fails allocation 0, 1, ... until the creation succeeds; returns the
 * number of allocations a successful creation takes. */
template <typename Create>
long FailEachAllocation(Create create)
{
    for (long n = 0; n < 1000; n++) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        IniAllocReset(n);
        IniFile *ini = (IniFile *)1;
        uint32_t rc = create(&ini);
        if (rc == INI_OK) {
            IniAllocReset(-1);
            EXPECT_EQ(kSampleDump, IniDump(ini));
            IniClose(ini);
            return n;
        }
        EXPECT_EQ(INI_ERR_NOMEM, rc);
        EXPECT_EQ(nullptr, ini);
        EXPECT_EQ(0, IniAllocGet().live) << "blocks left after a failed creation";
    }
    ADD_FAILURE() << "creation never succeeded";
    return -1;
}

TEST(IniNoMemory, OpenTextEveryAllocation)
{
    long n = FailEachAllocation([](IniFile **out) {
        return IniOpenText(out, kSample, (uint32_t)(sizeof kSample - 1));
    });
    /* Object, 3 section records and names, 4 keyword records with name and
     * value, 2 comments. */
    EXPECT_EQ(1 + 3 * 2 + 4 * 3 + 2, n);
}

TEST(IniNoMemory, OpenFileEveryAllocation)
{
    ScratchDir dir;
    std::string path = dir.File("nomem.ini");
    ASSERT_TRUE(WriteWholeFile(path, kSample));
    long direct = FailEachAllocation([&](IniFile **out) {
        return IniOpenFile(out, path.c_str(), nullptr);
    });
    /* Through the fallback directory: the fallback path is one more. */
    std::string near = dir.File("shell.exe");
    long fallback = FailEachAllocation([&](IniFile **out) {
        std::string name = std::string("no-dir-here") + PathSeparator() + "nomem.ini";
        return IniOpenFile(out, name.c_str(), near.c_str());
    });
    EXPECT_EQ(1 + 1 + 1 + 3 * 2 + 4 * 3 + 2, direct);   /* + name copy, window */
    EXPECT_EQ(direct, fallback);                        /* the copy is the path itself */
}

TEST(IniNoMemory, WriteLeavesObjectAndFile)
{
    ScratchDir dir;
    std::string path = dir.File("w.ini");
    ASSERT_TRUE(WriteWholeFile(path, "old text\n"));
    IniAllocReset(-1);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, kSample, (uint32_t)(sizeof kSample - 1)));
    for (long n = 0; n < 2; n++) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of the write fails");
        IniAllocReset(n);
        EXPECT_EQ(INI_ERR_NOMEM, IniWriteFile(ini, path.c_str()));
        IniAllocReset(-1);
        EXPECT_EQ(kSampleDump, IniDump(ini));
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(path, &bytes));
        EXPECT_EQ("old text\n", bytes);
    }
    /* The path copy failed first (no name yet); once the file opened, the
     * name was taken even though the buffer then failed. */
    EXPECT_STREQ(path.c_str(), ini->fileName);
    IniClose(ini);
}

} // namespace
