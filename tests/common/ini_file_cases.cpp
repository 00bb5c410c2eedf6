/*
 * Configuration engine on real files, for the native and the Win32 test
 * programs alike: IniOpenFile against IniOpenText on the same bytes across
 * the 4096-byte window, the fallback directory, memory beyond the model,
 * and the writer (line formats, escapes, cut-off tail, refusals, round trip).
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

namespace {

std::string Dump(const std::string &text, uint32_t *rc)
{
    IniFile *ini = nullptr;
    *rc = IniOpenText(&ini, text.data(), (uint32_t)text.size());
    std::string d = ini ? IniDump(ini) : "";
    if (ini)
        IniClose(ini);
    return d;
}

/* "[S]" and comment lines up to exactly `target` bytes, so that what is
 * appended starts at that file offset. */
std::string Filler(size_t target)
{
    std::string s = "[S]\n";
    while (s.size() + 100 < target)
        s += ";" + std::string(98, 'c') + "\n";
    size_t r = target - s.size();
    s += r == 1 ? std::string("\n") : ";" + std::string(r - 2, 'c') + "\n";
    return s;
}

TEST(IniFile, FileAndTextGiveSameModelAcrossWindow)
{
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string probe = "k(2)=\"x\\ty\"  ; note\r\nj = 1\r\nlong=" + std::string(300, 'L') +
                              "\r\n[T]\rm=\"q\\\"\"";
    std::vector<std::string> texts;
    for (size_t base : {4096u, 8192u})
        for (size_t d = 0; d <= 24; d++)
            texts.push_back(Filler(base - d) + probe);
    texts.push_back(std::string(4096, '\n'));
    texts.push_back(Filler(4096));                  /* size exactly one window */
    texts.push_back(Filler(8192));                  /* exactly two */
    texts.push_back(Filler(4095) + "x=1");          /* ends one byte into block 2 */
    std::string path = dir.File("window.ini");
    for (const std::string &text : texts) {
        SCOPED_TRACE("text of " + std::to_string(text.size()) + " bytes");
        ASSERT_TRUE(WriteWholeFile(path, text));
        uint32_t rcText;
        std::string fromText = Dump(text, &rcText);
        IniFile *ini = nullptr;
        IniAllocReset(-1);
        uint32_t rc = IniOpenFile(&ini, path.c_str(), nullptr);
        EXPECT_EQ(rcText, rc);
        ASSERT_EQ(INI_OK, rc);
        EXPECT_EQ(fromText, IniDump(ini));
        if (text.find("k(2)") != std::string::npos) {
            EXPECT_STREQ("x\ty", IniGetValueIndexed(ini, "S", "k", 2, nullptr));
            EXPECT_NE(std::string::npos, fromText.find("k(2)=\"x\\x09y\" ;\" note\""));
            EXPECT_STREQ("q\"", IniGetValue(ini, "T", "m", nullptr));
        }
        IniClose(ini);
        EXPECT_EQ(0, IniAllocGet().live);
    }
}

TEST(IniFile, OpenedObjectState)
{
    ScratchDir dir;
    std::string path = dir.File("state.ini");
    ASSERT_TRUE(WriteWholeFile(path, "[A]\nx=1\n"));
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, path.c_str(), ""));
    EXPECT_STREQ(path.c_str(), ini->fileName);
    EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
    EXPECT_EQ(INI_WINDOW_SIZE, ini->windowCapacity);
    EXPECT_NE(nullptr, ini->window);
    EXPECT_EQ("[A]\nx(0)=\"1\"\n", IniDump(ini));
    /* The file is closed again: it can be deleted at once (Windows refuses
     * to delete an open file). */
    uint32_t err;
    EXPECT_TRUE(FileDelete(path.c_str(), &err)) << "error " << err;
    IniClose(ini);
}

TEST(IniFile, MissingFileAndSyntaxError)
{
    ScratchDir dir;
    IniFile *ini = (IniFile *)1;
    IniAllocReset(-1);
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, dir.File("none.ini").c_str(), nullptr));
    EXPECT_EQ(nullptr, ini);
    ini = (IniFile *)1;
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, dir.File("none.ini").c_str(), ""));
    EXPECT_EQ(nullptr, ini);
    std::string bad = dir.File("bad.ini");
    ASSERT_TRUE(WriteWholeFile(bad, "[A]\nx=1\nnot a keyword\n"));
    ini = (IniFile *)1;
    EXPECT_EQ(INI_ERR_SYNTAX, IniOpenFile(&ini, bad.c_str(), nullptr));
    EXPECT_EQ(nullptr, ini);
    EXPECT_EQ(0, IniAllocGet().live);
}

TEST(IniFile, FallbackPathRule)
{
    struct { const char *name, *near, *expect; } cases[] = {
        {"OrmGen.ini", "D:\\app\\shell.exe", "D:\\app\\OrmGen.ini"},
        {"OrmGen.ini", "shell.exe", "\\OrmGen.ini"},
        {"C:\\x\\y.ini", "D:\\app\\s.exe", "D:\\app\\y.ini"},
        {"y.ini", "\\s.exe", "\\y.ini"},
        {"dir\\", "D:\\a\\b", "D:\\a\\"},
    };
    for (auto &c : cases) {
        char *p = IniFallbackPath(c.name, c.near, '\\');
        ASSERT_NE(nullptr, p);
        EXPECT_STREQ(c.expect, p) << c.name << " near " << c.near;
        IniMemFree(p);
    }
}

TEST(IniFile, FallbackToDirectoryOfNear)
{
    ScratchDir dir;
    const char *bare = "ormcfg-fallback-probe.ini";
    ASSERT_FALSE(FileExists(bare)) << "stray probe file in the working directory";
    ASSERT_TRUE(WriteWholeFile(dir.File(bare), "[F]\nfound=yes\n"));
    std::string near = dir.File("shell.exe");       /* need not exist */
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, bare, near.c_str()));
    EXPECT_EQ(dir.File(bare), ini->fileName);
    EXPECT_STREQ("yes", IniGetValue(ini, "F", "found", nullptr));
    IniClose(ini);
    /* The file-name part of a name with directories is used. */
    std::string withDir = std::string("no-such-dir") + PathSeparator() + bare;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, withDir.c_str(), near.c_str()));
    EXPECT_EQ(dir.File(bare), ini->fileName);
    IniClose(ini);
    /* No fallback without near, with an empty near or an empty name. */
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, bare, nullptr));
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, bare, ""));
    EXPECT_EQ(INI_ERR_OPEN, IniOpenFile(&ini, "", near.c_str()));
    EXPECT_EQ(nullptr, ini);
}

TEST(IniFile, ReadWhileOthersReadAndWrite)
{
    ScratchDir dir;
    std::string path = dir.File("shared.ini");
    ASSERT_TRUE(WriteWholeFile(path, "[A]\nx=1\n"));
    FileHandle other;
    uint32_t err;
    ASSERT_TRUE(FileOpen(path.c_str(), FILE_READ | FILE_WRITE, &other, &err)) << err;
    IniFile *ini = nullptr;
    EXPECT_EQ(INI_OK, IniOpenFile(&ini, path.c_str(), nullptr));
    if (ini)
        IniClose(ini);
    FileClose(other, &err);
}

/* Memory beyond the model is the object, its 4096-byte window and its file
 * name, whatever the size of the file; nothing else is held at any time. */
TEST(IniFile, MemoryBeyondModelIsConstant)
{
    ScratchDir dir;
    std::string path = dir.File("big.ini");
    std::string line = "key(7) = \"some value\\twith escapes\" ; and a comment\r\n";
    for (size_t lines : {100u, 20000u}) {
        std::string text;
        for (size_t i = 0; i < lines; i++) {
            if (i % 50 == 0)
                text += "[section" + std::to_string(i) + "]\n";
            text += line;
        }
        ASSERT_TRUE(WriteWholeFile(path, text));
        IniAllocReset(-1);
        IniFile *ini = nullptr;
        ASSERT_EQ(INI_OK, IniOpenFile(&ini, path.c_str(), nullptr));
        IniAllocStats st = IniAllocGet();
        size_t beyond = sizeof(IniFile) + INI_WINDOW_SIZE + path.size() + 1;
        EXPECT_EQ(IniModelBytes(ini) + beyond, st.liveBytes) << lines << " lines";
        EXPECT_EQ(st.liveBytes, st.peakBytes) << "transient memory while parsing";
        IniClose(ini);
    }
}

/* ---- writer ------------------------------------------------------------ */

struct WriteCase {
    const char *name;
    std::string text;               /* parsed with IniOpenText */
    std::string file;               /* exact bytes written */
};

std::vector<WriteCase> WriteCases()
{
    return {
        {"line formats", "[S]\nk = 1 ; note\nx=\"a b\"",
         "[S]\nk= \"1\"  ;  note\nx= \"a b\"\n"},
        {"empty section, empty value", "[E]\n[S]\nk=\n", "[E]\n[S]\nk= \"\"\n"},
        {"no sections", "; only a comment\n", ""},
        {"duplicates written in order", "[A]\nk=1\nk=2\n[B]\n[A]\nk=3",
         "[A]\nk= \"1\"\nk= \"2\"\n[B]\n[A]\nk= \"3\"\n"},
        {"index written as name(n)", "[S]\nk(3)=v\nk(-2)=w\nk(0)=z",
         "[S]\nk(3)= \"v\"\nk(-2)= \"w\"\nk= \"z\"\n"},
        {"name with paren keeps index 0", "[S]\na(=)b(0)=v\nf(x)y(1)=w",
         "[S]\na(=)b(0)= \"v\"\nf(x)y(1)= \"w\"\n"},
        {"escapes", "[S]\nk=\"q\\\"b\\\\n\\nt\\t;\"",
         "[S]\nk= \"q\\\"b\\\\n\\nt\\t;\"\n"},
        {"section names as written", "[ A ]x\n[]", "[ A ]\n[]\n"},
        {"tab name", "[S]\n\tname=1", "[S]\n\tname= \"1\"\n"},
    };
}

TEST(IniWrite, TableOfCases)
{
    ScratchDir dir;
    std::string path = dir.File("out.ini");
    for (const WriteCase &wc : WriteCases()) {
        SCOPED_TRACE(wc.name);
        /* An older, longer file must leave no tail behind. */
        ASSERT_TRUE(WriteWholeFile(path, std::string(5000, 'Z')));
        IniFile *ini = nullptr;
        ASSERT_EQ(INI_OK, IniOpenText(&ini, wc.text.data(), (uint32_t)wc.text.size()));
        std::string before = IniDump(ini);
        EXPECT_EQ(INI_OK, IniWriteFile(ini, path.c_str()));
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(path, &bytes));
        EXPECT_EQ(wc.file, bytes);
        EXPECT_STREQ(path.c_str(), ini->fileName);
        EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
        EXPECT_EQ(before, IniDump(ini));
        /* Without a path it writes to the same file again. */
        ASSERT_TRUE(WriteWholeFile(path, "old"));
        EXPECT_EQ(INI_OK, IniWriteFile(ini, nullptr));
        ASSERT_TRUE(ReadWholeFile(path, &bytes));
        EXPECT_EQ(wc.file, bytes);
        IniClose(ini);
    }
}

TEST(IniWrite, NoNameAndMissingFile)
{
    ScratchDir dir;
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=1", 7));
    EXPECT_EQ(INI_ERR_NOMEM, IniWriteFile(ini, nullptr));
    std::string missing = dir.File("missing.ini");
    EXPECT_EQ(INI_ERR_OPEN, IniWriteFile(ini, missing.c_str()));
    EXPECT_FALSE(FileExists(missing.c_str())) << "the writer created the file";
    EXPECT_EQ(nullptr, ini->fileName) << "name replaced although the file did not open";
    IniClose(ini);
}

/* A line the parser could not read back whole is refused before the file
 * is touched. */
TEST(IniWrite, OverlongLineRefused)
{
    ScratchDir dir;
    std::string path = dir.File("long.ini");
    ASSERT_TRUE(WriteWholeFile(path, "previous content\n"));
    std::string text = "[S]\nshort=1\nk=" + std::string(252, 'v');    /* 254-char line */
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, text.data(), (uint32_t)text.size()));
    EXPECT_EQ(INI_ERR_WRITE, IniWriteFile(ini, path.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, &bytes));
    EXPECT_EQ("previous content\n", bytes);
    IniClose(ini);
    /* The longest line that fits: name, '= "', value, '"' make 255. */
    text = "[S]\nk=" + std::string(250, 'v');
    ASSERT_EQ(INI_OK, IniOpenText(&ini, text.data(), (uint32_t)text.size()));
    EXPECT_EQ(INI_OK, IniWriteFile(ini, path.c_str()));
    ASSERT_TRUE(ReadWholeFile(path, &bytes));
    EXPECT_EQ("[S]\nk= \"" + std::string(250, 'v') + "\"\n", bytes);
    IniClose(ini);
}

/* Lone CR or LF cannot come from parsing; set by hand they must still not
 * break the line: in a value they become \n, in a comment blanks. */
TEST(IniWrite, LoneLineEndsCannotBreakLines)
{
    ScratchDir dir;
    std::string path = dir.File("cr.ini");
    ASSERT_TRUE(WriteWholeFile(path, ""));
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=x;c", 9));
    IniKeyword *k = ini->firstSection->firstKeyword;
    IniMemFree(k->value);
    IniMemFree(k->comment);
    const char value[] = "a\rb\nevil=1\r\nd";
    const char comment[] = "c\nj=2";
    k->value = (char *)IniMemAlloc(sizeof value);
    k->comment = (char *)IniMemAlloc(sizeof comment);
    memcpy(k->value, value, sizeof value);
    memcpy(k->comment, comment, sizeof comment);
    ASSERT_EQ(INI_OK, IniWriteFile(ini, path.c_str()));
    IniClose(ini);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, &bytes));
    EXPECT_EQ("[S]\nk= \"a\\nb\\nevil=1\\nd\"  ; c j=2\n", bytes);
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, path.c_str(), nullptr));
    EXPECT_EQ("[S]\nk(0)=\"a\\x0D\\x0Ab\\x0D\\x0Aevil=1\\x0D\\x0Ad\" ;\" c j=2\"\n", IniDump(ini));
    IniClose(ini);
}

/* Texts whose objects must survive a write and a re-read: same sections,
 * names, indexes and values; comments gain the writer's one blank. */
TEST(IniWrite, RoundTrip)
{
    const char *texts[] = {
        "[A]\r\nx=1",
        "[S]\nk = a b c\nq=\"a b c\"\np = pre\"fix  mid\"post",
        "[S]\nk=\"D:\\\\dir\"\nu=D:\\\\dir\nn=\"a\\nb\"\nt=\"a\\tb\"\nd=\"say \\\"hi\\\"\"",
        "[S]\nk=\"x;y\" ; note\ne=1;\nz=\nc=1;  a \"b\" ; c",
        "[S]\nk(3)=v\nk(3)x=w\nk(b)=z\nk( -7)=v\nk(2)(3)=v\nk(=)=v\na(=)b(1)=q\na(=)b=r",
        "[S]\nk(99999999999)=v\nj(-99999999999)=w\n\tname=1\na;b=1",
        "[ A ]x\n[A\n[]\n[\xC4]\n\xE4=\xFF ;\xFE",
        "[A]\nk=1\nk=2\n[B]\n[A]\nk=3",
        "[S]\nk=\"\\\\\\\"\\n\\t\\\\\"",
    };
    ScratchDir dir;
    std::string path = dir.File("round.ini");
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        IniFile *a = nullptr, *b = nullptr;
        ASSERT_EQ(INI_OK, IniOpenText(&a, text, (uint32_t)strlen(text)));
        ASSERT_TRUE(WriteWholeFile(path, std::string(300, '#')));
        ASSERT_EQ(INI_OK, IniWriteFile(a, path.c_str()));
        ASSERT_EQ(INI_OK, IniOpenFile(&b, path.c_str(), nullptr));
        EXPECT_EQ(IniDump(a, " "), IniDump(b));
        IniClose(a);
        IniClose(b);
    }
}

} // namespace
