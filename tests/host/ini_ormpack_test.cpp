/*
 * The real ormpack binary's "ini" and "get" commands on real files: output
 * compared with golden files written by hand (ini_data/), exit codes,
 * one-line errors and the engine's diagnostics on stderr.
 */
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fileio.h"
#include "ini_test_support.h"

extern char **environ;

namespace {

struct ToolRun {
    int exitCode;
    std::string out, err;
};

/* Runs ormpack with the arguments; stdout and stderr are kept apart. */
ToolRun Ormpack(const ScratchDir &dir, std::vector<std::string> args)
{
    std::string outPath = dir.File("stdout.txt"), errPath = dir.File("stderr.txt");
    std::vector<char *> argv;
    std::string program = ORMPACK_PATH;
    argv.push_back(&program[0]);
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolRun r = {-1, "", ""};
    pid_t pid;
    int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    EXPECT_EQ(0, rc) << "cannot start " << program;
    if (rc != 0)
        return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ReadWholeFile(outPath, &r.out);
    ReadWholeFile(errPath, &r.err);
    return r;
}

std::string Data(const char *name)
{
    return std::string(ORM_INI_DATA_DIR) + "/" + name;
}

std::string Golden(const char *name)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(Data(name), &bytes)) << name;
    return bytes;
}

TEST(OrmpackIni, JsonOfExampleLines)
{
    ScratchDir dir;
    ToolRun r = Ormpack(dir, {"ini", Data("examples.ini"), "--json"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(Golden("examples.json"), r.out);
    EXPECT_EQ("", r.err);
}

TEST(OrmpackIni, WriteExampleLines)
{
    ScratchDir dir;
    std::string out = dir.File("out.ini");
    ToolRun r = Ormpack(dir, {"ini", Data("examples.ini"), "--write", out});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.out);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(out, &bytes)) << "OUT was not created";
    EXPECT_EQ(Golden("examples_written.ini"), bytes);
    /* An existing, longer file keeps no tail. */
    ASSERT_TRUE(WriteWholeFile(out, std::string(10000, '#')));
    r = Ormpack(dir, {"ini", Data("examples.ini"), "--write", out});
    EXPECT_EQ(0, r.exitCode);
    ASSERT_TRUE(ReadWholeFile(out, &bytes));
    EXPECT_EQ(Golden("examples_written.ini"), bytes);
}

TEST(OrmpackIni, TextListing)
{
    ScratchDir dir;
    std::string in = dir.File("in.ini");
    ASSERT_TRUE(WriteWholeFile(in, "[S]\nk(2) = \"a\\tb\\\"\" ; c\nv=\xE9\n[E]\n"));
    ToolRun r = Ormpack(dir, {"ini", in});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("section \"S\"\n"
              "  keyword \"k\" index 2 value \"a\\tb\\\"\" comment \" c\"\n"
              "  keyword \"v\" index 0 value \"\\xE9\" comment none\n"
              "section \"E\"\n",
              r.out);
}

TEST(OrmpackIni, ResultCodesByName)
{
    ScratchDir dir;
    std::string bad = dir.File("bad.ini");
    ASSERT_TRUE(WriteWholeFile(bad, "[S]\nk=1\n=2\n"));
    ToolRun r = Ormpack(dir, {"ini", bad});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("ormpack ini: cannot read '" + bad + "': INI_ERR_SYNTAX\n", r.err);
    r = Ormpack(dir, {"ini", bad, "--json"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("{\"result\": \"INI_ERR_SYNTAX\", \"sections\": []}\n", r.out);
    std::string missing = dir.File("missing.ini");
    r = Ormpack(dir, {"ini", missing, "--json"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("{\"result\": \"INI_ERR_OPEN\", \"sections\": []}\n", r.out);
    EXPECT_EQ("ormpack ini: cannot read '" + missing + "': INI_ERR_OPEN\n", r.err);

    /* A line too long to read back is refused, and OUT is not left behind. */
    std::string longLine = dir.File("long.ini"), out = dir.File("long-out.ini");
    ASSERT_TRUE(WriteWholeFile(longLine, "[S]\nk=" + std::string(253, 'v') + "\n"));
    r = Ormpack(dir, {"ini", longLine, "--write", out});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("ormpack ini: cannot write '" + out + "': INI_ERR_WRITE\n", r.err);
    EXPECT_FALSE(FileExists(out.c_str()));
}

TEST(OrmpackIni, UsageErrors)
{
    ScratchDir dir;
    EXPECT_EQ(2, Ormpack(dir, {"ini"}).exitCode);
    EXPECT_EQ(2, Ormpack(dir, {"ini", "a", "b"}).exitCode);
    EXPECT_EQ(2, Ormpack(dir, {"ini", "a", "--bogus"}).exitCode);
    ToolRun r = Ormpack(dir, {"ini", "--help"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("usage: ormpack ini"));
}

struct GetCase {
    const char *name;
    std::vector<std::string> args;      /* after "get FILE" */
    int exitCode;
    const char *out;
    const char *err;
};

TEST(OrmpackGet, TableOfLookups)
{
    ScratchDir dir;
    std::string in = dir.File("get.ini");
    ASSERT_TRUE(WriteWholeFile(in, "[S]\nk = \"a b\"\nn=0x1F\nn(2)=-7\nflag=yes\nf2=0x10\n"));
    const GetCase cases[] = {
        {"value", {"S", "k"}, 0, "a b\n", ""},
        {"case-blind", {"s", "K"}, 0, "a b\n", ""},
        {"index", {"S", "n", "--index", "2"}, 0, "-7\n", ""},
        {"missing fails", {"S", "x"}, 1, "",
         "Keyword \"x\" not found in section \"[S]\"\n"},
        {"missing indexed", {"S", "n", "--index", "-3"}, 1, "",
         "Keyword \"n(-3)\" not found in section \"[S]\"\n"},
        {"default", {"S", "x", "--default", "dflt"}, 0, "dflt\n",
         "Keyword \"x\" not found in section \"[S]\"\n"},
        {"default unused", {"S", "k", "--default", "dflt"}, 0, "a b\n", ""},
        {"int in range", {"S", "n", "--int", "0", "0", "100"}, 0, "31\n", ""},
        {"int out of range", {"S", "n", "--int", "0", "0", "10"}, 0, "31\n",
         "Keyword \"n\" in section \"[S]\", value 31 is out of range (0..10)\n"},
        {"int negative words", {"S", "n", "--index", "2", "--int", "-1", "-10", "-8"}, 0,
         "-7\n", "Keyword \"n(2)\" in section \"[S]\", value -7 is out of range (-10..-8)\n"},
        {"int default", {"S", "x", "--int", "50", "0", "10"}, 0, "50\n",
         "Keyword \"x\" not found in section \"[S]\"\n"
         "Keyword \"x\" in section \"[S]\", value 50 is out of range (0..10)\n"},
        {"bool yes is 0", {"S", "flag", "--bool"}, 0, "0\n", ""},
        {"bool 0x10", {"S", "f2", "--bool"}, 0, "1\n", ""},
        {"bool missing", {"S", "x", "--bool"}, 0, "0\n",
         "Keyword \"x\" not found in section \"[S]\"\n"},
        {"two kinds", {"S", "k", "--bool", "--default", "d"}, 2, "", nullptr},
        {"bad index", {"S", "k", "--index", "two"}, 2, "", nullptr},
        {"int needs three", {"S", "k", "--int", "1", "2"}, 2, "", nullptr},
        {"missing key word", {"S"}, 2, "", nullptr},
    };
    for (const GetCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"get", in};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolRun r = Ormpack(dir, args);
        EXPECT_EQ(c.exitCode, r.exitCode);
        EXPECT_EQ(c.out, r.out);
        if (c.err) {
            EXPECT_EQ(c.err, r.err);
        } else {
            EXPECT_NE(std::string::npos, r.err.find("--help")) << r.err;
        }
    }
    ToolRun r = Ormpack(dir, {"get", dir.File("none.ini"), "S", "k"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("ormpack get: cannot read '" + dir.File("none.ini") + "': INI_ERR_OPEN\n", r.err);
}

} // namespace
