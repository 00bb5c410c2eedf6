/*
 * Tables of parser and lookup cases for the configuration engine, run by
 * the native test program and by the Win32 test program under Wine alike.
 * Every expected model and message is written out by hand.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

namespace {

/* ---- parser ------------------------------------------------------------ */

struct ParseCase {
    const char *name;
    std::string text;               /* may hold zero bytes */
    uint32_t result;
    std::string dump;               /* IniDump of the model when INI_OK */
};

#define TXT(s) std::string(s, sizeof(s) - 1)

std::vector<ParseCase> ParseCases()
{
    const std::string a253(253, 'a');
    std::vector<ParseCase> c = {
        {"empty text", "", INI_OK, ""},
        {"CR LF, no end at last line", "[A]\r\nx=1", INI_OK, "[A]\nx(0)=\"1\"\n"},
        {"LF only", "[A]\nx=1", INI_OK, "[A]\nx(0)=\"1\"\n"},
        {"CR LF at end", "[A]\r\nx=1\r\n", INI_OK, "[A]\nx(0)=\"1\"\n"},
        {"blank lines at end", "[A]\r\nx=1\r\n\r\n\n\n", INI_OK, "[A]\nx(0)=\"1\"\n"},
        {"CR only", "[A]\rx=1\ry=2", INI_OK, "[A]\nx(0)=\"1\"\ny(0)=\"2\"\n"},
        {"blanks dropped outside quotes", "[S]\nk = a b c", INI_OK, "[S]\nk(0)=\"abc\"\n"},
        {"tab dropped outside quotes", "[S]\nk = a\tb", INI_OK, "[S]\nk(0)=\"ab\"\n"},
        {"quoted keeps spaces", "[S]\nk = \"a b c\"", INI_OK, "[S]\nk(0)=\"a b c\"\n"},
        {"quotes mid value", "[S]\nk = pre\"fix  mid\"post", INI_OK,
         "[S]\nk(0)=\"prefix  midpost\"\n"},
        {"doubled backslash in quotes", "[S]\nk=\"D:\\\\dir\"", INI_OK,
         "[S]\nk(0)=\"D:\\x5Cdir\"\n"},
        {"backslashes outside quotes kept", "[S]\nk=D:\\\\dir", INI_OK,
         "[S]\nk(0)=\"D:\\x5C\\x5Cdir\"\n"},
        {"escape n gives CR LF", "[S]\nk=\"a\\nb\"", INI_OK, "[S]\nk(0)=\"a\\x0D\\x0Ab\"\n"},
        {"escape t gives tab", "[S]\nk=\"a\\tb\"", INI_OK, "[S]\nk(0)=\"a\\x09b\"\n"},
        {"escape quote", "[S]\nk=\"say \\\"hi\\\"\"", INI_OK,
         "[S]\nk(0)=\"say \\x22hi\\x22\"\n"},
        {"unknown escape dropped", "[S]\nk=\"a\\qb\"", INI_OK, "[S]\nk(0)=\"ab\"\n"},
        {"backslash at line end dropped", "[S]\nk=\"ab\\", INI_OK, "[S]\nk(0)=\"ab\"\n"},
        {"unclosed quote runs to the end", "[S]\nk=\"a b ; c", INI_OK,
         "[S]\nk(0)=\"a b ; c\"\n"},
        {"semicolon in quotes, comment after", "[S]\nk=\"x;y\" ; note", INI_OK,
         "[S]\nk(0)=\"x;y\" ;\" note\"\n"},
        {"empty comment", "[S]\nk=1;", INI_OK, "[S]\nk(0)=\"1\" ;\"\"\n"},
        {"comment kept unchanged", "[S]\nk=1;  a \"b\" ; c", INI_OK,
         "[S]\nk(0)=\"1\" ;\"  a \\x22b\\x22 ; c\"\n"},
        {"empty value", "[S]\nk=", INI_OK, "[S]\nk(0)=\"\"\n"},
        {"text after closing quote", "[S]\nk=\"a\"b c;d", INI_OK, "[S]\nk(0)=\"abc\" ;\"d\"\n"},
        {"index", "[S]\nk(3)=v", INI_OK, "[S]\nk(3)=\"v\"\n"},
        {"text after index ignored", "[S]\nk(3)x=v", INI_OK, "[S]\nk(3)=\"v\"\n"},
        {"index without digits", "[S]\nk(b)=v", INI_OK, "[S]\nk(0)=\"v\"\n"},
        {"index with blank and sign", "[S]\nk( -7)=v\nj(+5)=w", INI_OK,
         "[S]\nk(-7)=\"v\"\nj(5)=\"w\"\n"},
        {"explicit index 0", "[S]\nk(0)=v", INI_OK, "[S]\nk(0)=\"v\"\n"},
        {"last paren sets index", "[S]\nk(2)(3)=v", INI_OK, "[S]\nk(2)(3)=\"v\"\n"},
        {"equals inside parens skipped", "[S]\nk(=)=v", INI_OK, "[S]\nk(0)=\"v\"\n"},
        {"index saturates", "[S]\nk(99999999999)=v\nj(-99999999999)=w", INI_OK,
         "[S]\nk(2147483647)=\"v\"\nj(-2147483648)=\"w\"\n"},
        {"unclosed paren, no equals after", "[S]\nk(1=v", INI_ERR_SYNTAX, ""},
        {"name trailing blanks trimmed", "[S]\nkey   =v\nk (3) = v", INI_OK,
         "[S]\nkey(0)=\"v\"\nk(3)=\"v\"\n"},
        {"one-character name", "[S]\nx=1", INI_OK, "[S]\nx(0)=\"1\"\n"},
        {"semicolon in name", "[S]\na;b=1", INI_OK, "[S]\na;b(0)=\"1\"\n"},
        {"empty name", "[S]\n=1", INI_ERR_SYNTAX, ""},
        {"empty name with index", "[S]\n(2)=1", INI_ERR_SYNTAX, ""},
        {"blank name", "[S]\n   =1", INI_ERR_SYNTAX, ""},
        {"line of spaces ignored", "[S]\n     \nk=1", INI_OK, "[S]\nk(0)=\"1\"\n"},
        {"indented comment", "[S]\n  ;text\nk=1", INI_OK, "[S]\nk(0)=\"1\"\n"},
        {"tab before comment is a keyword line", "[S]\n\t;text", INI_ERR_SYNTAX, ""},
        {"tab starts a name", "[S]\n\tname=1", INI_OK, "[S]\n\\x09name(0)=\"1\"\n"},
        {"section spaces kept, tail ignored", "[ A ]x", INI_OK, "[ A ]\n"},
        {"section without bracket", "[A", INI_OK, "[A]\n"},
        {"empty section name", "[]", INI_OK, "[]\n"},
        {"indented header", "   [B]\nk=1", INI_OK, "[B]\nk(0)=\"1\"\n"},
        {"zero bytes end lines", TXT("[S]\0k=1\0\0j=2\0"), INI_OK,
         "[S]\nk(0)=\"1\"\nj(0)=\"2\"\n"},
        {"one malformed line refuses all", "[S]\nk=1\nbad line\nj=2", INI_ERR_SYNTAX, ""},
        {"malformed last line", "[S]\nk=1\nbad", INI_ERR_SYNTAX, ""},
        {"keyword before any section", "k=1\n[S]\nj=2", INI_ERR_SYNTAX, ""},
        {"comment before any section", "; c\n[S]\nk=1", INI_OK, "[S]\nk(0)=\"1\"\n"},
        {"duplicates kept", "[A]\nk=1\nk=2\n[B]\n[A]\nk=3", INI_OK,
         "[A]\nk(0)=\"1\"\nk(0)=\"2\"\n[B]\n[A]\nk(0)=\"3\"\n"},
        {"high bytes kept", "[\xC4]\n\xE4=\xFF", INI_OK, "[\\xC4]\n\\xE4(0)=\"\\xFF\"\n"},
        /* 255 characters make a line; the rest of a longer one is dropped and
         * never read as a line of its own. */
        {"line of exactly 255", "[S]\nk=" + a253 + "\nj=2", INI_OK,
         "[S]\nk(0)=\"" + a253 + "\"\nj(0)=\"2\"\n"},
        {"tail of a long line discarded", "[S]\nk=" + a253 + "x=evil\nj=2", INI_OK,
         "[S]\nk(0)=\"" + a253 + "\"\nj(0)=\"2\"\n"},
        {"tail without equals not malformed", "[S]\nk=" + a253 + "tail\r\nj=2", INI_OK,
         "[S]\nk(0)=\"" + a253 + "\"\nj(0)=\"2\"\n"},
    };
    return c;
}

TEST(IniParse, TableOfCases)
{
    for (const ParseCase &pc : ParseCases()) {
        SCOPED_TRACE(pc.name);
        IniAllocReset(-1);
        IniFile *ini = (IniFile *)1;
        uint32_t rc = IniOpenText(&ini, pc.text.data(), (uint32_t)pc.text.size());
        EXPECT_EQ(pc.result, rc);
        if (pc.result == INI_OK) {
            ASSERT_NE(nullptr, ini);
            EXPECT_EQ(pc.dump, IniDump(ini));
            EXPECT_EQ(nullptr, ini->fileName);
            EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
            EXPECT_EQ(nullptr, ini->window);
            EXPECT_EQ(0u, ini->windowValid + ini->windowRead + ini->windowCapacity);
            IniClose(ini);
        } else {
            EXPECT_EQ(nullptr, ini);
        }
        EXPECT_EQ(0, IniAllocGet().live) << "blocks left after the case";
    }
}

TEST(IniParse, TextIsNotKeptOrNeedZeroEnd)
{
    /* The text is read for its length only and may go away afterwards. */
    char text[] = "[S]\nk=12345";
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, text, 7));   /* cuts the value to "1" */
    memset(text, 'X', sizeof text);
    EXPECT_EQ("[S]\nk(0)=\"1\"\n", IniDump(ini));
    IniClose(ini);
}

/* ---- lookups ----------------------------------------------------------- */

enum LookupOp { HAS_SECTION, HAS_KEYWORD, GET_VALUE, GET_STRING, GET_INT, GET_BOOL };

struct LookupCase {
    const char *name;
    std::string text;
    LookupOp op;
    const char *section;
    const char *keyword;
    int32_t index;
    const char *defaultText;        /* GET_STRING */
    uint32_t bufSize;               /* GET_STRING */
    int32_t def, min, max;          /* GET_INT */
    /* Expected: */
    const char *value;              /* GET_VALUE (null: none), GET_STRING buffer */
    int64_t number;                 /* flags, GET_INT value, GET_STRING length */
    const char *messages;           /* all diagnostics with a sink */
};

LookupCase Has(const char *name, std::string text, LookupOp op, const char *s, const char *k,
               int64_t expect)
{
    return {name, text, op, s, k, 0, nullptr, 0, 0, 0, 0, nullptr, expect, ""};
}

LookupCase Val(const char *name, std::string text, const char *s, const char *k, int32_t index,
               const char *expect, const char *messages)
{
    return {name, text, GET_VALUE, s, k, index, nullptr, 0, 0, 0, 0, expect, 0, messages};
}

LookupCase Str(const char *name, std::string text, const char *s, const char *k, int32_t index,
               const char *def, uint32_t size, const char *expect, const char *messages)
{
    return {name, text, GET_STRING, s, k, index, def, size, 0, 0, 0, expect,
            (int64_t)strlen(expect), messages};
}

LookupCase Int(const char *name, std::string text, const char *k, int32_t index, int32_t def,
               int32_t min, int32_t max, int64_t expect, const char *messages)
{
    return {name, text, GET_INT, "S", k, index, nullptr, 0, def, min, max, nullptr, expect,
            messages};
}

LookupCase Bool(const char *name, std::string text, const char *k, int64_t expect,
                const char *messages)
{
    return {name, text, GET_BOOL, "S", k, 0, nullptr, 0, 0, 0, 0, nullptr, expect, messages};
}

/* An int case whose range check stays quiet (minimum above maximum). */
LookupCase Num(const char *value, int64_t expect)
{
    return Int(value, std::string("[S]\nk=") + value, "k", 0, 0, 1, 0, expect, "");
}

const char kLong150[] =
    "n123456789n123456789n123456789n123456789n123456789"
    "n123456789n123456789n123456789n123456789n123456789"
    "n123456789n123456789n123456789n123456789n123456789";

std::vector<LookupCase> LookupCases()
{
    const char *dupA = "[A]\nx=0\n[B]\n[A]\nk=1";
    const char *ten = "[S]\nk=0123456789";
    std::vector<LookupCase> c = {
        Has("section exists", dupA, HAS_SECTION, "A", nullptr, 1),
        Has("section case-blind", dupA, HAS_SECTION, "b", nullptr, 1),
        Has("section missing", dupA, HAS_SECTION, "C", nullptr, 0),
        Has("section fold is ASCII only", "[\xC4]", HAS_SECTION, "\xE4", nullptr, 0),
        Has("keyword in later duplicate section", dupA, HAS_KEYWORD, "A", "k", 0),
        Has("keyword present", dupA, HAS_KEYWORD, "a", "X", 1),
        Has("indexed keyword is not index 0", "[S]\nk(1)=v", HAS_KEYWORD, "S", "k", 0),
        Has("name(0) is index 0", "[S]\nk(0)=v", HAS_KEYWORD, "S", "k", 1),
        Val("only first section searched", dupA, "A", "k", 0, nullptr,
            "Keyword \"k\" not found in section \"[A]\"\n"),
        Val("missing section same message", dupA, "Z", "k", 0, nullptr,
            "Keyword \"k\" not found in section \"[Z]\"\n"),
        Val("names without regard to case", "[A]\nname=1", "a", "NAME", 0, "1", ""),
        Val("first of duplicate keywords", "[S]\nk=1\nk=2", "S", "k", 0, "1", ""),
        Val("index must match exactly", "[S]\nk=1", "S", "k", 2, nullptr,
            "Keyword \"k(2)\" not found in section \"[S]\"\n"),
        Val("negative index message", "[S]\nk=1", "S", "k", -1, nullptr,
            "Keyword \"k(-1)\" not found in section \"[S]\"\n"),
        Val("k(0) found without index", "[S]\nk(0)=5", "S", "k", 0, "5", ""),
        Val("indexed found", "[S]\nk=1\nk(4)=four", "S", "K", 4, "four", ""),
        Val("names cut to 100 in messages", "[S]", kLong150, kLong150, 7, nullptr,
            "Keyword \"n123456789n123456789n123456789n123456789n123456789"
            "n123456789n123456789n123456789n123456789n123456789(7)\" not found in "
            "section \"[n123456789n123456789n123456789n123456789n123456789"
            "n123456789n123456789n123456789n123456789n123456789]\"\n"),
        Str("string fits", ten, "S", "k", 0, "def", 32, "0123456789", ""),
        Str("string cut to size - 1", ten, "S", "k", 0, "def", 5, "0123", ""),
        Str("string exactly size", ten, "S", "k", 0, "def", 10, "012345678", ""),
        Str("buffer of one byte", ten, "S", "k", 0, "def", 1, "", ""),
        Str("default when missing", ten, "S", "j", 0, "def", 32, "def",
            "Keyword \"j\" not found in section \"[S]\"\n"),
        Str("default cut too", ten, "S", "j", 3, "default", 4, "def",
            "Keyword \"j(3)\" not found in section \"[S]\"\n"),
        Str("empty default", ten, "T", "k", 0, "", 8, "",
            "Keyword \"k\" not found in section \"[T]\"\n"),
        Num("0x1F", 31), Num("0X1f", 31), Num("017", 17), Num("-5", -5), Num("+7", 7),
        Num("4294967295", -1), Num("0xFFFFFFFF", -1), Num("2147483648", INT32_MIN),
        Num("99999999999", -1), Num("-4294967295", 1), Num("12abc", 12), Num("abc", 0),
        Num("", 0), Num("0x", 0), Num("0x0x12", 0), Num("0x-10", -16), Num("-0x10", 0),
        Num("\" 0x1F\"", 0), Num("\" 42\"", 42), Num("0xfg", 15), Num("0x1ffffffff", -1),
        Int("out of range reported, not clamped", "[S]\nk=11", "k", 0, 0, 0, 10, 11,
            "Keyword \"k\" in section \"[S]\", value 11 is out of range (0..10)\n"),
        Int("below minimum", "[S]\nk=-3", "k", 0, 0, -2, 10, -3,
            "Keyword \"k\" in section \"[S]\", value -3 is out of range (-2..10)\n"),
        Int("inside range", "[S]\nk=10", "k", 0, 0, 0, 10, 10, ""),
        Int("min above max: no check", "[S]\nk=11", "k", 0, 0, 10, 0, 11, ""),
        Int("indexed range message", "[S]\nk(3)=20", "k", 3, 0, 0, 10, 20,
            "Keyword \"k(3)\" in section \"[S]\", value 20 is out of range (0..10)\n"),
        Int("missing default out of range", "[S]\nj=1", "k", 0, 50, 0, 10, 50,
            "Keyword \"k\" not found in section \"[S]\"\n"
            "Keyword \"k\" in section \"[S]\", value 50 is out of range (0..10)\n"),
        Int("extreme range numbers", "[S]\nk=0x80000000", "k", 0, 0, -2147483647, 2147483647,
            INT32_MIN,
            "Keyword \"k\" in section \"[S]\", value -2147483648 is out of range "
            "(-2147483647..2147483647)\n"),
        Bool("missing flag", "[S]\nj=1", "k", 0, "Keyword \"k\" not found in section \"[S]\"\n"),
        Bool("flag 1", "[S]\nk=1", "k", 1, ""),
        Bool("flag 0", "[S]\nk=0", "k", 0, ""),
        Bool("flag -1", "[S]\nk=-1", "k", 1, ""),
        Bool("flag 0x10", "[S]\nk=0x10", "k", 1, ""),
        Bool("flag yes", "[S]\nk=yes", "k", 0, ""),
        Bool("flag true", "[S]\nk=true", "k", 0, ""),
        Bool("flag 5 not range checked", "[S]\nk=5", "k", 1, ""),
    };
    return c;
}

/* Runs one case with or without the sink; the result must not depend on it. */
void RunLookup(const IniFile *ini, const LookupCase &lc, IniMessageSink sink)
{
    IniCaptureReset();
    switch (lc.op) {
    case HAS_SECTION:
        EXPECT_EQ(lc.number, IniHasSection(ini, lc.section));
        break;
    case HAS_KEYWORD:
        EXPECT_EQ(lc.number, IniHasKeyword(ini, lc.section, lc.keyword));
        break;
    case GET_VALUE: {
        const char *v = IniGetValueIndexed(ini, lc.section, lc.keyword, lc.index, sink);
        if (lc.value) {
            EXPECT_STREQ(lc.value, v);
        } else {
            EXPECT_EQ(nullptr, v);
        }
        if (lc.index == 0) {
            EXPECT_EQ(v, IniGetValue(ini, lc.section, lc.keyword, nullptr));
        }
        break;
    }
    case GET_STRING: {
        char buf[64];
        memset(buf, '#', sizeof buf);
        uint32_t n = IniGetStringIndexed(ini, lc.section, lc.keyword, lc.index, lc.defaultText,
                                         buf, lc.bufSize, sink);
        EXPECT_EQ(lc.number, n);
        EXPECT_STREQ(lc.value, buf);
        for (uint32_t i = n; i < lc.bufSize; i++)
            EXPECT_EQ(0, buf[i]) << "byte " << i << " of the buffer not zero-filled";
        EXPECT_EQ('#', buf[lc.bufSize]) << "written past the buffer";
        if (lc.index == 0) {
            char again[64];
            EXPECT_EQ(n, IniGetString(ini, lc.section, lc.keyword, lc.defaultText, again,
                                      lc.bufSize, nullptr));
            EXPECT_STREQ(buf, again);
        }
        break;
    }
    case GET_INT: {
        int32_t v = IniGetIntIndexed(ini, lc.section, lc.keyword, lc.index, lc.def, lc.min,
                                     lc.max, sink);
        EXPECT_EQ(lc.number, v);
        if (lc.index == 0) {
            EXPECT_EQ(v, IniGetInt(ini, lc.section, lc.keyword, lc.def, lc.min, lc.max,
                                   nullptr));
        }
        break;
    }
    case GET_BOOL:
        EXPECT_EQ(lc.number, IniGetBool(ini, lc.section, lc.keyword, sink));
        break;
    }
}

TEST(IniLookup, TableOfCases)
{
    for (const LookupCase &lc : LookupCases()) {
        SCOPED_TRACE(lc.name);
        IniFile *ini = nullptr;
        ASSERT_EQ(INI_OK, IniOpenText(&ini, lc.text.data(), (uint32_t)lc.text.size()));
        RunLookup(ini, lc, IniCaptureSink);
        EXPECT_EQ(lc.messages, IniCaptured());
        RunLookup(ini, lc, nullptr);
        EXPECT_EQ("", IniCaptured()) << "a diagnostic without a sink";
        IniClose(ini);
    }
}

TEST(IniLookup, ValueBelongsToObject)
{
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=v", 7));
    const char *v1 = IniGetValue(ini, "S", "k", nullptr);
    const char *v2 = IniGetValue(ini, "s", "K", nullptr);
    EXPECT_EQ(v1, v2);
    EXPECT_EQ(ini->firstSection->firstKeyword->value, v1);
    IniClose(ini);
}

TEST(IniLookup, ParseNumberDirect)
{
    EXPECT_EQ(-2147483647 - 1, IniParseNumber("-2147483648"));
    EXPECT_EQ(2147483647, IniParseNumber("2147483647"));
    EXPECT_EQ(-2147483647, IniParseNumber("2147483649"));
    EXPECT_EQ(255, IniParseNumber("0xff"));
    EXPECT_EQ(-255, IniParseNumber("0x-ff"));
    EXPECT_EQ(9, IniParseNumber("\t\n 9"));
}

} // namespace
