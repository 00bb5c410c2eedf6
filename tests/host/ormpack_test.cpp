/*
 * ormpack, the real binary, run on synthetic program files in a temporary
 * folder: build and inspect round trips of the settings record, refusals
 * (each leaving no output and no temporary file behind), packaging of
 * configuration text with replacement of an earlier container, extract, and
 * the files it writes read back with the shell's own reader. Then untrusted
 * files and vendors' mistakes: a container planted in a really signed
 * shell, shells cut short, the remains of damaged containers, crafted text
 * for the terminal, outputs that are no regular files, failed writes,
 * outputs replaced with their mode, owner and symbolic links kept, and the
 * container read from the bytes read as the input (a pipe).
 */
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "embed.h"
#include "pe_image.h"
#include "synthetic_pe.h"

#ifndef ORMPACK_PATH
#error ORMPACK_PATH must name the ormpack binary
#endif

namespace {

using Bytes = std::vector<uint8_t>;

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string &path)
{
    Bytes b = synth::ReadFile(path);
    return std::string(b.begin(), b.end());
}

class OrmpackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orm-pack-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        shell_ = Path("shell.exe");
        ASSERT_TRUE(synth::WriteFile(shell_, synth::MakePe()));
    }
    void TearDown() override
    {
        for (const std::string &name : List())
            unlink(Path(name).c_str());
        rmdir(dir_.c_str());
    }

    std::string Path(const std::string &name) const { return dir_ + "/" + name; }

    std::vector<std::string> List() const
    {
        std::vector<std::string> names;
        DIR *d = opendir(dir_.c_str());
        if (!d)
            return names;
        while (struct dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
        return names;
    }

    /* Runs ormpack with the arguments, each passed as one word; `shell` is
     * run before it in the same shell (limits, traps). */
    ToolRun Pack(const std::vector<std::string> &args, const std::string &shell = "")
    {
        std::string command = shell + "'" ORMPACK_PATH "'";
        for (const std::string &a : args) {
            std::string quoted = "'";
            for (char c : a)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            command += " " + quoted + "'";
        }
        std::string out = dir_ + "/../" + dir_.substr(5) + ".out", err = out + ".err";
        command += " >'" + out + "' 2>'" + err + "'";
        int status = system(command.c_str());
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadText(out);
        run.err = ReadText(err);
        unlink(out.c_str());
        unlink(err.c_str());
        return run;
    }

    std::string WriteText(const std::string &name, const std::string &text)
    {
        std::string path = Path(name);
        EXPECT_TRUE(synth::WriteFile(path, Bytes(text.begin(), text.end())));
        return path;
    }

    std::string dir_, shell_;
};

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsFifo(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

/* The record stored at the synthetic image's record offset, validated. */
bool ValidRecord(const Bytes &file, ProductSettings *r)
{
    if (file.size() < synth::kRecordOffset + PS_RECORD_SIZE)
        return false;
    memcpy(r->bytes, &file[synth::kRecordOffset], PS_RECORD_SIZE);
    return PsValidateInPlace(r) == 1;
}

TEST_F(OrmpackTest, BuildThenInspectRoundTrip)
{
    Bytes input = synth::ReadFile(shell_);
    std::string out = Path("out.exe");
    ToolRun r = Pack({"build", shell_, "-o", out, "--program", "$SHELLDIR\\PRODUCT.EXE", "--wait",
                  "--config-required", "--exclude", "win95,winnt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(synth::ReadFile(shell_), input) << "the input must not change";

    Bytes output = synth::ReadFile(out);
    ASSERT_EQ(output.size(), input.size());
    ProductSettings rec;
    ASSERT_TRUE(ValidRecord(output, &rec));
    EXPECT_EQ(PsGet32(&rec, PS_OFF_FLAGS), PSF_WAIT_FOR_PRODUCT | PSF_CONFIG_REQUIRED);
    EXPECT_STREQ((const char *)rec.bytes + PS_OFF_PROGRAM_PATH, "$SHELLDIR\\PRODUCT.EXE");
    EXPECT_EQ(PsGet32(&rec, PS_OFF_OS_EXCLUSION), OS_KIND_WIN95 | OS_KIND_WINNT);
    /* Only the record changed. */
    for (size_t i = 0; i < input.size(); i++) {
        if (i < synth::kRecordOffset || i >= synth::kRecordOffset + PS_RECORD_SIZE) {
            ASSERT_EQ(output[i], input[i]) << "byte " << i;
        }
    }

    r = Pack({"inspect", out, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char *want : {"\"valid\": true", "\"recordOffset\": 1024", "\"flags\": 135168",
                             "\"programPath\": \"$SHELLDIR\\\\PRODUCT.EXE\"", "\"osExclusionMask\": 6",
                             "\"wait\": true", "\"configRequired\": true", "\"excluded\": [\"win95\", \"winnt\"]",
                             "\"config\": {\"present\": false"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << " in " << r.out;

    r = Pack({"inspect", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char *want : {"valid", "(wait, config-required)", "$SHELLDIR\\PRODUCT.EXE", "win95, winnt",
                             "configuration:    none"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << " in " << r.out;
}

TEST_F(OrmpackTest, PlainBuildAndBoundaryPath)
{
    std::string out = Path("out.exe"), path79(79, 'P');
    ToolRun r = Pack({"build", shell_, "-o", out, "--program", path79});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ProductSettings rec;
    ASSERT_TRUE(ValidRecord(synth::ReadFile(out), &rec));
    EXPECT_EQ(PsGet32(&rec, PS_OFF_FLAGS), 0u);
    EXPECT_EQ(PsGet32(&rec, PS_OFF_OS_EXCLUSION), 0u);
    EXPECT_EQ(std::string((const char *)rec.bytes + PS_OFF_PROGRAM_PATH), path79);
    r = Pack({"inspect", out, "--json"});
    EXPECT_NE(r.out.find("\"wait\": false, \"configRequired\": false, \"passExitCode\": false, "
                         "\"killWithShell\": false"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"osExclusionMask\": 0"), std::string::npos) << r.out;

    /* The same build twice gives the same file. */
    std::string again = Path("again.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", again, "--program", path79}).exitCode, 0);
    EXPECT_EQ(synth::ReadFile(again), synth::ReadFile(out));
}

/* The two options of a waiting shell: their bits in the record, their names
 * in inspect's text and JSON. Each alone sets only its own bit. */
TEST_F(OrmpackTest, PassExitCodeAndKillWithShell)
{
    const struct {
        std::vector<std::string> options;
        uint32_t flags;
        const char *names;
        const char *json;
    } cases[] = {
        {{"--wait", "--pass-exit-code", "--kill-with-shell"},
         PSF_WAIT_FOR_PRODUCT | PSF_PASS_EXIT_CODE | PSF_KILL_WITH_SHELL,
         "(wait, pass-exit-code, kill-with-shell)",
         "\"flagNames\": [\"wait\", \"pass-exit-code\", \"kill-with-shell\"]"},
        {{"--pass-exit-code", "--wait"}, PSF_WAIT_FOR_PRODUCT | PSF_PASS_EXIT_CODE, "(wait, pass-exit-code)",
         "\"wait\": true, \"configRequired\": false, \"passExitCode\": true, \"killWithShell\": false"},
        {{"--wait", "--kill-with-shell"}, PSF_WAIT_FOR_PRODUCT | PSF_KILL_WITH_SHELL, "(wait, kill-with-shell)",
         "\"wait\": true, \"configRequired\": false, \"passExitCode\": false, \"killWithShell\": true"},
    };
    for (const auto &c : cases) {
        std::string out = Path("out.exe");
        std::vector<std::string> args = {"build", shell_, "-o", out, "--program", "P.EXE"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ToolRun r = Pack(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ProductSettings rec;
        ASSERT_TRUE(ValidRecord(synth::ReadFile(out), &rec));
        EXPECT_EQ(PsGet32(&rec, PS_OFF_FLAGS), c.flags);
        r = Pack({"inspect", out});
        EXPECT_NE(r.out.find(c.names), std::string::npos) << c.names << " in " << r.out;
        r = Pack({"inspect", out, "--json"});
        EXPECT_NE(r.out.find(c.json), std::string::npos) << c.json << " in " << r.out;
        unlink(out.c_str());
    }
}

TEST_F(OrmpackTest, InspectShowsAnInvalidRecord)
{
    Bytes b = synth::MakePe();
    b[synth::kRecordOffset + PS_OFF_PROGRAM_PATH] ^= 1;   /* stored body byte */
    std::string damaged = Path("damaged.exe");
    ASSERT_TRUE(synth::WriteFile(damaged, b));
    ToolRun r = Pack({"inspect", damaged, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"valid\": false"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"programPath\": null"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"passExitCode\": null, \"killWithShell\": null"), std::string::npos) << r.out;

    /* A damaged magic, or no record at all in the section: the shell reads
     * the record there and finds it invalid, and so does inspect. */
    const struct {
        const char *name;
        Bytes file;
    } cases[] = {
        {"magic", [] { Bytes m = synth::MakePe(); m[synth::kRecordOffset + 3] ^= 0x10; return m; }()},
        {"zeros", synth::MakePe(false)},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(synth::WriteFile(damaged, c.file));
        r = Pack({"inspect", damaged, "--json"});
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_NE(r.out.find("\"valid\": false, \"recordOffset\": 1024"), std::string::npos) << c.name << ": " << r.out;
        r = Pack({"inspect", damaged});
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_NE(r.out.find("settings record:  INVALID, at file offset 1024"), std::string::npos) << r.out;
    }
}

/* Text from a crafted file reaches the terminal escaped, as in JSON: no
 * control character of the program path or the container's name gets
 * through (they could clear the screen or retitle the window). */
TEST_F(OrmpackTest, InspectEscapesControlCharacters)
{
    Bytes b = synth::MakePe();
    ProductSettingsFields f = synth::DefaultFields();
    f.programPath = "A\x1b]0;owned\x07\x1b[2J\x9b" "1m.EXE";
    ProductSettings record;
    ASSERT_EQ(PsBuild(&record, &f), 0);
    memcpy(&b[synth::kRecordOffset], record.bytes, PS_RECORD_SIZE);
    const std::string text = "[A]\nk=v\n";
    size_t at = b.size();
    b.resize(at + EMBED_CONTAINER_SIZE(text.size()));
    ASSERT_EQ(EmbedBuildContainer((const uint8_t *)text.data(), (uint32_t)text.size(), (uint32_t)at,
                                  "\x1b[31mred\r\n", 5, &b[at]), 1);
    std::string crafted = Path("crafted.exe");
    ASSERT_TRUE(synth::WriteFile(crafted, b));
    ToolRun r = Pack({"inspect", crafted});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (char c : r.out)
        if ((unsigned char)c < 0x20 && c != '\n')
            ADD_FAILURE() << "control character " << (int)c << " in: " << r.out;
        else if ((unsigned char)c >= 0x7F)
            ADD_FAILURE() << "byte " << (int)(unsigned char)c << " in: " << r.out;
    EXPECT_NE(r.out.find("  program path:   A\\x1B]0;owned\\x07\\x1B[2J\\x9B1m.EXE\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  name:           \"\\x1B[31mred\\x0D\\x0A\"\n"), std::string::npos) << r.out;
}

struct Refusal {
    const char *name;
    std::vector<std::string> args;   /* "@" the shell, "#" the output, "%name" a file of the folder */
    int exitCode;
    const char *message;             /* part of the one-line error */
};

TEST_F(OrmpackTest, Refusals)
{
    Bytes signedPe = synth::MakePe();
    synth::AppendCertificateTable(signedPe);
    ASSERT_TRUE(synth::WriteFile(Path("signed.exe"), signedPe));
    ASSERT_TRUE(synth::WriteFile(Path("norecord.exe"), synth::MakePe(false)));
    WriteText("notpe.exe", "just text, no program");
    WriteText("bad3.ini", "[A]\r\nx=1\r\nthis line has no equals sign\r\ny=2\r\n");
    WriteText("early.ini", "x=1\n[A]\n");
    WriteText("big.ini", "[A]\n" + std::string(EMBED_MAX_BODY - 3, ';'));
    WriteText("a-name-of-thirty-three-characters", "[A]\n");
    WriteText("long.ini", "[A]\r\nok=1\r\nk=\"" + std::string(250, 'v') + "\" ; the comment is cut\r\n");
    WriteText("nul.ini", std::string("[A]\nk=\"a\0 hidden=1\"\n", 20));
    WriteText("bom8.ini", "\xEF\xBB\xBF[A]\r\nk=v\r\n");
    WriteText("bom16.ini", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12));
    WriteText("utf16.ini", std::string("[\0A\0]\0\r\0\n\0", 10));
    std::string p80(80, 'P');
    const Refusal refusals[] = {
        {"no -o", {"build", "@", "--program", "x.exe"}, 2, "missing -o"},
        {"no --program", {"build", "@", "-o", "#"}, 2, "missing --program"},
        {"no input", {"build", "-o", "#", "--program", "x.exe"}, 2, "missing argument"},
        {"two inputs", {"build", "@", "@", "-o", "#", "--program", "x"}, 2, "unexpected argument"},
        {"unknown option", {"build", "@", "-o", "#", "--program", "x", "--fast"}, 2, "unknown option '--fast'"},
        {"option twice", {"build", "@", "-o", "#", "--program", "x", "--wait", "--wait"}, 2, "given twice"},
        {"pass-exit-code without wait", {"build", "@", "-o", "#", "--program", "x", "--pass-exit-code"}, 2,
         "--pass-exit-code needs --wait"},
        {"kill-with-shell without wait", {"build", "@", "-o", "#", "--program", "x", "--kill-with-shell"}, 2,
         "--kill-with-shell needs --wait"},
        {"value missing", {"build", "@", "-o", "#", "--program"}, 2, "needs a value"},
        {"unknown system", {"build", "@", "-o", "#", "--program", "x", "--exclude", "win95,win98"}, 2,
         "unknown system 'win98'"},
        {"empty system list", {"build", "@", "-o", "#", "--program", "x", "--exclude="}, 2, "unknown system ''"},
        {"name without config", {"build", "@", "-o", "#", "--program", "x", "--config-name", "n"}, 2,
         "--config-name needs --config"},
        {"config and no-config", {"build", "@", "-o", "#", "--program", "x", "--config", "%bad3.ini", "--no-config"},
         2, "exclude each other"},
        {"program path of 80 characters", {"build", "@", "-o", "#", "--program", p80}, 1, "at most 79"},
        {"empty program path", {"build", "@", "-o", "#", "--program", ""}, 1, "the program path is empty"},
        {"double quote in the program path", {"build", "@", "-o", "#", "--program", "$SHELLDIR\\A\"B.EXE"}, 1,
         "the program path holds a double quote (character 12); the shell puts the path between double quotes"},
        {"tab in the program path", {"build", "@", "-o", "#", "--program", "C:\\A\tB.EXE"}, 1,
         "the program path holds a control character (0x09, character 5)"},
        {"escape in the program path", {"build", "@", "-o", "#", "--program", "C:\\A\x1b[2J.EXE"}, 1,
         "control character (0x1B, character 5)"},
        {"program path ending in a backslash", {"build", "@", "-o", "#", "--program", "$SHELLDIR\\"}, 1,
         "the program path ends in '\\'; it must name the product's executable, not a folder"},
        {"UTF-8 in the program path", {"build", "@", "-o", "#", "--program", "$SHELLDIR\\caf\xC3\xA9.EXE"}, 1,
         "the program path holds a byte outside ASCII (0xC3, character 14)"},
        {"missing input", {"build", "%missing.exe", "-o", "#", "--program", "x"}, 1, "cannot open"},
        {"not a PE file", {"build", "%notpe.exe", "-o", "#", "--program", "x"}, 1, "not a PE program file"},
        {"no record", {"build", "%norecord.exe", "-o", "#", "--program", "x"}, 1, "no settings record"},
        {"signed input", {"build", "%signed.exe", "-o", "#", "--program", "x"}, 1, "package the unsigned shell first, then sign"},
        {"output is the input", {"build", "@", "-o", "@", "--program", "x"}, 1, "is the input"},
        {"malformed line 3", {"build", "@", "-o", "#", "--program", "x", "--config", "%bad3.ini"}, 1,
         "bad3.ini:3: malformed line, the shell would refuse the text: \"this line has no equals sign\""},
        {"keyword before any section", {"build", "@", "-o", "#", "--program", "x", "--config", "%early.ini"}, 1,
         "early.ini:1: malformed line"},
        {"body over 65535 bytes", {"build", "@", "-o", "#", "--program", "x", "--config", "%big.ini"}, 1,
         "at most 65535"},
        {"line over 255 characters", {"build", "@", "-o", "#", "--program", "x", "--config", "%long.ini"}, 1,
         "long.ini:3: the line is 275 characters long; the shell reads at most 255 characters of a line"},
        {"NUL byte", {"build", "@", "-o", "#", "--program", "x", "--config", "%nul.ini"}, 1,
         "nul.ini:2: a NUL byte at column 5; the shell ends the line there"},
        {"UTF-8 byte-order mark", {"build", "@", "-o", "#", "--program", "x", "--config", "%bom8.ini"}, 1,
         "bom8.ini' starts with a UTF-8 byte-order mark (EF BB BF), which the shell would read as part of "
         "line 1; save the file without the mark"},
        {"UTF-16 with a mark", {"build", "@", "-o", "#", "--program", "x", "--config", "%bom16.ini"}, 1,
         "bom16.ini' is UTF-16 text (it starts with the byte-order mark FF FE); the shell reads single-byte "
         "text: save the file as ANSI"},
        {"UTF-16 without a mark", {"build", "@", "-o", "#", "--program", "x", "--config", "%utf16.ini"}, 1,
         "utf16.ini' looks like UTF-16 text (it starts with 5B 00)"},
        {"config name over 32 characters",
         {"build", "@", "-o", "#", "--program", "x", "--config", "%a-name-of-thirty-three-characters"}, 1,
         "longer than 32 characters"},
        {"missing config", {"build", "@", "-o", "#", "--program", "x", "--config", "%none.ini"}, 1, "cannot open"},
        {"inspect: not a shell", {"inspect", "%notpe.exe"}, 1, "not a PE program file"},
        {"inspect: unknown option", {"inspect", "@", "--yaml"}, 2, "unknown option"},
        {"extract: no container", {"extract", "@", "-o", "#"}, 1, "no configuration container"},
        {"extract: no -o", {"extract", "@"}, 2, "missing -o"},
        {"unknown command", {"pack", "@"}, 2, "unknown command 'pack'"},
    };
    std::vector<std::string> before = List();
    Bytes shellBytes = synth::ReadFile(shell_);
    for (const Refusal &c : refusals) {
        std::vector<std::string> args;
        for (const std::string &a : c.args)
            args.push_back(a == "@" ? shell_ : a == "#" ? Path("out.exe") : a[0] == '%' ? Path(a.substr(1)) : a);
        ToolRun r = Pack(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": one line: " << r.err;
        EXPECT_FALSE(Exists(Path("out.exe"))) << c.name;
        EXPECT_EQ(List(), before) << c.name << ": no file left behind";
    }
    EXPECT_EQ(synth::ReadFile(shell_), shellBytes);
}

TEST_F(OrmpackTest, HelpAndUsage)
{
    ToolRun r = Pack({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char *command : {"build", "inspect", "extract"})
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    r = Pack({"build", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char *option : {"--config-required", "--pass-exit-code", "--kill-with-shell"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    r = Pack({});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
}

const char kConfig[] = "; product settings\r\n[Product]\r\nName = \"Ormsted Test\"\r\nLevel(2)=7\r\n";

/* The longest line the shell reads whole: 255 characters, value and
 * comment intact. */
TEST_F(OrmpackTest, LineOf255CharactersIsPackaged)
{
    std::string value(255 - 13, 'v'), line = "k=\"" + value + "\" ; note89";
    ASSERT_EQ(line.size(), 255u);
    std::string ini = WriteText("edge.ini", "[A]\r\n" + line + "\r\n"), out = Path("out.exe");
    ToolRun r = Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    IniFile *loaded = EmbedLoadIni(out.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::string(IniGetValue(loaded, "A", "k", nullptr)), value);
    EXPECT_STREQ(loaded->firstSection->firstKeyword->comment, " note89");
    IniClose(loaded);
}

TEST_F(OrmpackTest, PackagesConfigurationText)
{
    std::string ini = WriteText("product.ini", kConfig), out = Path("out.exe");
    ToolRun r = Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config-required", "--config", ini});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Bytes output = synth::ReadFile(out);
    EXPECT_EQ(output.size() % 8, 0u) << "the container ends on an 8-byte boundary";
    EXPECT_EQ(output.size(), synth::kFileSize + EMBED_CONTAINER_SIZE(strlen(kConfig)) +
                                 (8 - EMBED_CONTAINER_SIZE(strlen(kConfig)) % 8) % 8);

    /* The shell's loader finds it. */
    IniFile *loaded = EmbedLoadIni(out.c_str());
    ASSERT_NE(loaded, nullptr);
    char value[64];
    IniGetStringIndexed(loaded, "Product", "Level", 2, "", value, sizeof value, nullptr);
    EXPECT_STREQ(value, "7");
    IniClose(loaded);

    r = Pack({"inspect", out, "--json", "--config-text"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string length = "\"length\": " + std::to_string(strlen(kConfig));
    for (std::string want : {std::string("\"config\": {\"present\": true, \"intact\": true, \"status\": \"ok\""),
                             std::string("\"name\": \"product.ini\""), length,
                             std::string("\"storedCrcOk\": true"), std::string("\"plainCrcOk\": true"),
                             std::string("\"parses\": true"),
                             std::string("\"text\": \"; product settings\\r\\n[Product]")})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << " in " << r.out;

    r = Pack({"inspect", out, "--config-text"});
    EXPECT_NE(r.out.find("configuration:    present"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Name = \"Ormsted Test\""), std::string::npos) << r.out;

    std::string extracted = Path("extracted.ini");
    r = Pack({"extract", out, "-o", extracted});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(extracted), kConfig);

    /* A name of its own. */
    r = Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini, "--config-name",
              "Ormsted product settings, v2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Pack({"inspect", out, "--json"});
    EXPECT_NE(r.out.find("\"name\": \"Ormsted product settings, v2\""), std::string::npos) << r.out;
}

TEST_F(OrmpackTest, ContainerIsReplacedNotStacked)
{
    std::string first = WriteText("first.ini", kConfig), second = WriteText("second.ini", "[B]\nk=v\n");
    std::string a = Path("a.exe"), b = Path("b.exe"), c = Path("c.exe"), d = Path("d.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", a, "--program", "P.EXE", "--config", first}).exitCode, 0);

    /* A new text replaces the old one. */
    ASSERT_EQ(Pack({"build", a, "-o", b, "--program", "Q.EXE", "--config", second}).exitCode, 0);
    Bytes fresh;
    std::string direct = Path("direct.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", direct, "--program", "Q.EXE", "--config", second}).exitCode, 0);
    EXPECT_EQ(synth::ReadFile(b), synth::ReadFile(direct)) << "repackaging equals packaging afresh";
    ToolRun r = Pack({"extract", b, "-o", Path("b.ini")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(Path("b.ini")), "[B]\nk=v\n");

    /* Without configuration options the container is kept. */
    ASSERT_EQ(Pack({"build", a, "-o", c, "--program", "R.EXE"}).exitCode, 0);
    ASSERT_EQ(Pack({"extract", c, "-o", Path("c.ini")}).exitCode, 0);
    EXPECT_EQ(ReadText(Path("c.ini")), kConfig);

    /* --no-config drops it and its padding: back to the shell's own size. */
    ASSERT_EQ(Pack({"build", a, "-o", d, "--program", "R.EXE", "--no-config"}).exitCode, 0);
    EXPECT_EQ(synth::ReadFile(d).size(), synth::kFileSize);
    r = Pack({"inspect", d, "--json"});
    EXPECT_NE(r.out.find("\"config\": {\"present\": false"), std::string::npos) << r.out;
}

TEST_F(OrmpackTest, DamagedContainer)
{
    std::string ini = WriteText("product.ini", kConfig), out = Path("out.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    Bytes b = synth::ReadFile(out);
    b[b.size() - EMBED_HEADER_SIZE - 3] ^= 1;   /* a stored body byte */
    std::string damaged = Path("damaged.exe");
    ASSERT_TRUE(synth::WriteFile(damaged, b));
    ToolRun r = Pack({"inspect", damaged, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"present\": true, \"intact\": false, \"status\": \"stored-crc-mismatch\""),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"storedCrcOk\": false"), std::string::npos) << r.out;
    r = Pack({"extract", damaged, "-o", Path("x.ini")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged (stored-crc-mismatch)"), std::string::npos) << r.err;

    /* A first copy whose magic is broken, so the copies disagree: nothing
     * says where the container starts, and a new build will not guess. */
    b = synth::ReadFile(out);
    b[b.size() - EMBED_CONTAINER_SIZE(strlen(kConfig))] ^= 1;
    ASSERT_TRUE(synth::WriteFile(damaged, b));
    r = Pack({"build", damaged, "-o", Path("re.exe"), "--program", "P.EXE", "--config", ini});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged configuration container (copies-differ)"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(Path("re.exe")));
}

TEST_F(OrmpackTest, LargestBodyAndEmptyBody)
{
    /* Comment lines of 100 characters up to exactly 65535 bytes. */
    std::string big = "[A]\n";
    while (big.size() + 101 <= EMBED_MAX_BODY)
        big += std::string(100, ';') + "\n";
    big += std::string(EMBED_MAX_BODY - big.size(), ';');
    ASSERT_EQ(big.size(), EMBED_MAX_BODY);
    std::string ini = WriteText("big.ini", big), out = Path("out.exe");
    ToolRun r = Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(Pack({"extract", out, "-o", Path("x.ini")}).exitCode, 0);
    EXPECT_EQ(ReadText(Path("x.ini")), big);

    ini = WriteText("empty.ini", "");
    ASSERT_EQ(Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    IniFile *loaded = EmbedLoadIni(out.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->firstSection, nullptr);
    IniClose(loaded);
}

TEST_F(OrmpackTest, KeepsAnImageChecksumExact)
{
    Bytes b = synth::MakePe();
    synth::Put32(b, synth::kChecksumOffset, 1);
    std::string in = Path("summed.exe"), out = Path("out.exe"), ini = WriteText("p.ini", kConfig);
    ASSERT_TRUE(synth::WriteFile(in, b));
    ASSERT_EQ(Pack({"build", in, "-o", out, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    Bytes o = synth::ReadFile(out);
    EXPECT_EQ(synth::Get32(o, synth::kChecksumOffset),
              PeComputeChecksum(o.data(), (uint32_t)o.size(), synth::kChecksumOffset));
    /* A zero checksum stays zero. */
    ASSERT_EQ(Pack({"build", shell_, "-o", out, "--program", "P.EXE"}).exitCode, 0);
    EXPECT_EQ(synth::Get32(synth::ReadFile(out), synth::kChecksumOffset), 0u);
}

}  // namespace

namespace {

/* Package, sign with a throw-away self-signed certificate, verify the
 * signature, and read the configuration back from the signed file. */
TEST_F(OrmpackTest, SignedPackageKeepsItsConfiguration)
{
    std::string ini = WriteText("product.ini", kConfig), out = Path("out.exe"), signedExe = Path("signed.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Ormsted Test Signing'"
                      " -keyout '" + Path("key.pem") + "' -out '" + Path("cert.pem") + "'" + quiet).c_str()),
              0) << "openssl must be installed";
    ASSERT_EQ(system(("osslsigncode sign -certs '" + Path("cert.pem") + "' -key '" + Path("key.pem") +
                      "' -n Ormsted -in '" + out + "' -out '" + signedExe + "'" + quiet).c_str()),
              0) << "osslsigncode must be installed";
    std::string verify = Path("verify.txt");
    int verified = system(("osslsigncode verify -CAfile '" + Path("cert.pem") + "' -in '" + signedExe + "' >'" +
                           verify + "' 2>&1").c_str());
    std::string report = ReadText(verify);
    ASSERT_EQ(verified, 0) << report;
    EXPECT_NE(report.find("Signature verification: ok"), std::string::npos) << report;

    Bytes s = synth::ReadFile(signedExe);
    ASSERT_GT(s.size(), synth::ReadFile(out).size());
    /* osslsigncode stores the real image checksum: ours must agree with it. */
    EXPECT_EQ(PeComputeChecksum(s.data(), (uint32_t)s.size(), synth::kChecksumOffset),
              synth::Get32(s, synth::kChecksumOffset));

    IniFile *loaded = EmbedLoadIni(signedExe.c_str());
    ASSERT_NE(loaded, nullptr) << "the container before the certificate table is found";
    EXPECT_STREQ(IniGetValue(loaded, "Product", "Name", nullptr), "Ormsted Test");
    IniClose(loaded);

    ToolRun r = Pack({"inspect", signedExe, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"signed\": true, \"config\": {\"present\": true, \"intact\": true"), std::string::npos)
        << r.out;
    r = Pack({"extract", signedExe, "-o", Path("x.ini")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(Path("x.ini")), kConfig);
    r = Pack({"build", signedExe, "-o", Path("again.exe"), "--program", "P.EXE", "--config", ini});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("package the unsigned shell first, then sign"), std::string::npos) << r.err;
}

}  // namespace

namespace {

/* A failed write leaves the output as it was: ormpack runs under a file
 * size limit (SIGXFSZ ignored, so the write fails with EFBIG) that the new
 * text crosses. The same text onto its own file is written in place. */
TEST_F(OrmpackTest, IniWriteReplacesItsOutputWholeOrNotAtAll)
{
    std::string text;
    for (int i = 0; text.size() < 8192; i++)
        text += "[Section" + std::to_string(i) + "]\nkey = \"a value of some length\" ; and a note\n";
    std::string in = WriteText("big.ini", text), out = WriteText("out.ini", "[Old]\nkept=1\n");
    std::vector<std::string> before = List();
    ToolRun r = Pack({"ini", in, "--write", out}, "trap '' XFSZ; ulimit -f 4; ");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("cannot write '" + out + "': INI_ERR_WRITE"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(out), "[Old]\nkept=1\n") << "OUT keeps its old text";
    EXPECT_EQ(List(), before) << "no temporary file is left behind";

    /* Without the limit it is written; then normalised onto itself. */
    r = Pack({"ini", in, "--write", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string written = ReadText(out);
    EXPECT_NE(written.find("[Section7]\nkey= \"a value of some length\"  ;  and a note\n"), std::string::npos);
    std::string messy = WriteText("messy.ini", "[A]\r\n  k =  \"v\"   ; c\r\n");
    r = Pack({"ini", messy, "--write", messy});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(messy), "[A]\nk= \"v\"  ;  c\n");
}

mode_t ModeOf(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : (mode_t)-1;
}

bool IsSymlink(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

/* Replacing an output changes its content only: a file keeps its mode
 * (as root, its owner and group too), a symbolic link stays a link and
 * the file it leads to gets the new content. A new file gets the mode that
 * the umask leaves, executable for a program. */
TEST_F(OrmpackTest, ReplacedOutputKeepsItsModeOwnerAndLink)
{
    std::string ini = WriteText("product.ini", "[A]\r\n  k =  v\r\n");
    ASSERT_EQ(chmod(ini.c_str(), 0600), 0);
    ToolRun r = Pack({"ini", ini, "--write", ini});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(ini), "[A]\nk= \"v\"\n");
    EXPECT_EQ(ModeOf(ini), 0600u) << "ini --write onto itself";

    std::string exe = WriteText("product.exe", "old");
    ASSERT_EQ(chmod(exe.c_str(), 0700), 0);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(exe.c_str(), 4321, 8765), 0);
    }
    r = Pack({"build", shell_, "-o", exe, "--program", "P.EXE"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ProductSettings rec;
    EXPECT_TRUE(ValidRecord(synth::ReadFile(exe), &rec)) << "replaced";
    EXPECT_EQ(ModeOf(exe), 0700u) << "build -o onto an existing file";
    if (root) {
        struct stat st;
        ASSERT_EQ(stat(exe.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }

    /* A read-only file normalised in place by its owner, who is not root:
     * the temporary file takes the mode only once it is written. */
    if (root && system("command -v setpriv >/dev/null") == 0) {
        std::string readOnly = WriteText("read-only.ini", "[R]\n  k =  1\n");
        ASSERT_EQ(chown(readOnly.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
        ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
        r = Pack({"ini", readOnly, "--write", readOnly}, "setpriv --reuid=65534 --regid=65534 --clear-groups ");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadText(readOnly), "[R]\nk= \"1\"\n");
        EXPECT_EQ(ModeOf(readOnly), 0444u);
        ASSERT_EQ(chmod(dir_.c_str(), 0700), 0);
    }

    /* New files, under a umask other than the usual 022. */
    r = Pack({"build", shell_, "-o", Path("new.exe"), "--program", "P.EXE"}, "umask 027; ");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ModeOf(Path("new.exe")), 0750u);
    r = Pack({"ini", ini, "--write", Path("new.ini")}, "umask 027; ");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ModeOf(Path("new.ini")), 0640u);

    /* Links, one of them relative and through a folder: the link stays,
     * its target (which keeps its mode) gets the text. */
    ASSERT_EQ(mkdir(Path("real").c_str(), 0700), 0);
    std::string target = WriteText("real/target.ini", "[Old]\n"), link = Path("link.ini");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real/target.ini", link.c_str()), 0);
    r = Pack({"ini", ini, "--write", link});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(IsSymlink(link)) << "the link is still a link";
    EXPECT_EQ(ReadText(target), "[A]\nk= \"v\"\n");
    EXPECT_EQ(ModeOf(target), 0640u);
    std::string exeLink = Path("link.exe");
    ASSERT_EQ(symlink(exe.c_str(), exeLink.c_str()), 0);
    r = Pack({"build", shell_, "-o", exeLink, "--program", "Q.EXE"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(IsSymlink(exeLink));
    ASSERT_TRUE(ValidRecord(synth::ReadFile(exe), &rec));
    EXPECT_STREQ((const char *)rec.bytes + PS_OFF_PROGRAM_PATH, "Q.EXE");
    EXPECT_EQ(ModeOf(exe), 0700u);

    /* A link that leads to no file is refused and left as it is. */
    std::string dangling = Path("dangling.ini");
    ASSERT_EQ(symlink("missing/nothing.ini", dangling.c_str()), 0);
    std::vector<std::string> before = List();
    r = Pack({"ini", ini, "--write", dangling});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("'" + dangling + "' is a symbolic link that leads to no file"), std::string::npos)
        << r.err;
    EXPECT_TRUE(IsSymlink(dangling));
    EXPECT_EQ(List(), before);

    unlink(target.c_str());
    rmdir(Path("real").c_str());
}

/* An output that exists and is not a regular file is refused and left as
 * it is: renaming over it would replace a FIFO (or, as root, a device
 * node) by a regular file. The FIFO's read end is held open, so that a
 * writer that opens it does not block. */
TEST_F(OrmpackTest, OutputsThatAreNotRegularFilesAreRefused)
{
    std::string ini = WriteText("product.ini", "[A]\nk=v\n"), packaged = Path("packaged.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", packaged, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    std::string fifo = Path("fifo"), folder = Path("folder");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    struct Case {
        std::vector<std::string> args;
        std::string target, what;
    } cases[] = {
        {{"build", shell_, "-o", fifo, "--program", "P.EXE"}, fifo, "a FIFO"},
        {{"extract", packaged, "-o", fifo}, fifo, "a FIFO"},
        {{"ini", ini, "--write", fifo}, fifo, "a FIFO"},
        {{"build", shell_, "-o", folder, "--program", "P.EXE"}, folder, "a folder"},
        {{"ini", ini, "--write", folder}, folder, "a folder"},
    };
    std::vector<std::string> before = List();
    for (const Case &c : cases) {
        ToolRun r = Pack(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0] << " " << c.target;
        EXPECT_NE(r.err.find("'" + c.target + "' is " + c.what + ", not a regular file"), std::string::npos)
            << r.err;
        EXPECT_EQ(List(), before) << "nothing written beside it";
    }
    EXPECT_TRUE(IsFifo(fifo)) << "the FIFO is still a FIFO";
    char drained[256];
    EXPECT_LE(read(reader, drained, sizeof drained), 0) << "nothing was written into the FIFO";
    close(reader);
    rmdir(folder.c_str());
}

}  // namespace

namespace {

/* Signs `in` into `out` with a throw-away self-signed certificate made in
 * the test's folder (cert.pem, key.pem). */
void Sign(const std::string &dir, const std::string &in, const std::string &out)
{
    std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Ormsted Test Signing'"
                      " -keyout '" + dir + "/key.pem' -out '" + dir + "/cert.pem'" + quiet).c_str()),
              0) << "openssl must be installed";
    ASSERT_EQ(system(("osslsigncode sign -certs '" + dir + "/cert.pem' -key '" + dir + "/key.pem' -n Ormsted -in '" +
                      in + "' -out '" + out + "'" + quiet).c_str()),
              0) << "osslsigncode must be installed";
}

/* osslsigncode's verdict on a file: its exit code 0 and its report. */
bool Verified(const std::string &dir, const std::string &file, std::string *report)
{
    std::string out = dir + "/verify.txt";
    int status = system(("osslsigncode verify -CAfile '" + dir + "/cert.pem' -in '" + file + "' >'" + out +
                         "' 2>&1").c_str());
    *report = ReadText(out);
    unlink(out.c_str());
    return status == 0 && report->find("Signature verification: ok") != std::string::npos;
}

/* The attack on a signed shell: a second container placed inside the
 * certificate table (its length and the directory's size grown to cover
 * it) leaves the signature valid. The reader takes the signed container,
 * and inspect says where each lies. */
TEST_F(OrmpackTest, ContainerPlantedInASignedShellIsIgnored)
{
    std::string ini = WriteText("product.ini", kConfig), out = Path("out.exe"), signedExe = Path("signed.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", out, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    Sign(dir_, out, signedExe);
    Bytes b = synth::ReadFile(signedExe);
    uint32_t tableOffset = synth::Get32(b, synth::kDirOffset + 32);
    ASSERT_TRUE(synth::PlantInCertificateTable(b, "[Product]\r\nName = \"planted\"\r\n"));
    std::string planted = Path("planted.exe"), report;
    ASSERT_TRUE(synth::WriteFile(planted, b));
    ASSERT_TRUE(Verified(dir_, planted, &report)) << "the signature still verifies: " << report;

    IniFile *loaded = EmbedLoadIni(planted.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(IniGetValue(loaded, "Product", "Name", nullptr), "Ormsted Test");
    IniClose(loaded);
    ToolRun r = Pack({"extract", planted, "-o", Path("x.ini")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(Path("x.ini")), kConfig);

    r = Pack({"inspect", planted, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const std::string &want : {std::string("\"signed\": true"), std::string("\"intact\": true"),
                                    "\"end\": " + std::to_string(tableOffset) + ", \"storedCrc\"",
                                    std::string("\"location\": \"before-certificate-table\", \"coveredBySignature\": "
                                                "true, \"inCertificateTable\": {\"start\": ")})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << " in " << r.out;
    r = Pack({"inspect", planted});
    EXPECT_NE(r.out.find("location:       before the certificate table, covered by the signature"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ignored:          a container inside the certificate table (file offsets "),
              std::string::npos) << r.out;
    /* The file as packaged: unsigned, at the end, nothing ignored. */
    r = Pack({"inspect", out, "--json"});
    EXPECT_NE(r.out.find("\"location\": \"end-of-file\", \"coveredBySignature\": false, \"inCertificateTable\": null"),
              std::string::npos) << r.out;
}

}  // namespace

namespace {

/* A shell cut short: Windows refuses to start it (error 193), so build
 * refuses it and inspect reports it (exit code 1), wherever the cut lies:
 * inside the headers or the section table, before the record, inside it,
 * or after it. A cut at or before the record is reported as a cut, not as
 * a file without a record. */
TEST_F(OrmpackTest, ShellCutShortIsRefused)
{
    Bytes whole = synth::MakePeWithTail();
    std::string complete = Path("complete.exe"), out = Path("out.exe");
    ASSERT_TRUE(synth::WriteFile(complete, whole));
    ToolRun r = Pack({"build", complete, "-o", out, "--program", "P.EXE"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Pack({"inspect", out, "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"complete\": true, \"cut\": null"), std::string::npos) << r.out;
    unlink(out.c_str());

    struct Cut {
        uint32_t at;
        std::string part;   /* what reaches past the end */
        bool recordKept;    /* the whole record lies before the cut */
    };
    const std::string ormset = "section .ormset ends at file offset " + std::to_string(synth::kFileSize);
    std::vector<Cut> cuts = {
        {synth::kSectionTable + 40, "the headers end at file offset 512", false},   /* inside the section table */
        {0x1F8, "the headers end at file offset 512", false},
        {0x300, "section .text ends at file offset 1024", false},
        {synth::kRecordOffset, ormset, false},
        {synth::kRecordOffset + 0x10, ormset, false},
        {synth::kRecordOffset + PS_RECORD_SIZE - 1, ormset, false},
        {synth::kRecordOffset + PS_RECORD_SIZE, ormset, true},
        {synth::kFileSize - 1, ormset, true},
    };
    for (uint32_t size = synth::kFileSize; size < synth::kTailSectionEnd; size += 0x200)
        for (uint32_t at : {size, size + 0xFF})
            cuts.push_back({at, "section .rsrc ends at file offset " + std::to_string(synth::kTailSectionEnd), true});

    std::string cut = Path("cut.exe");
    std::vector<std::string> before;
    for (const Cut &c : cuts) {
        ASSERT_TRUE(synth::WriteFile(cut, Bytes(whole.begin(), whole.begin() + c.at)));
        if (before.empty())
            before = List();
        std::string why = "is cut short: " + c.part + ", past the end of the file (" + std::to_string(c.at) +
                          " bytes); Windows would refuse to start it";
        r = Pack({"build", cut, "-o", out, "--program", "P.EXE"});
        EXPECT_EQ(r.exitCode, 1) << c.at;
        EXPECT_NE(r.err.find("'" + cut + "' " + why), std::string::npos) << c.at << ": " << r.err;
        EXPECT_EQ(List(), before) << c.at << ": nothing written";

        r = Pack({"inspect", cut});
        EXPECT_EQ(r.exitCode, 1) << c.at;
        EXPECT_NE(r.out.find(c.recordKept ? "settings record:  valid, at file offset 1024"
                                          : "settings record:  MISSING, the file ends before it"),
                  std::string::npos) << c.at << ": " << r.out;
        EXPECT_NE(r.out.find("image:            CUT SHORT, Windows will not start it: " + c.part),
                  std::string::npos) << c.at << ": " << r.out;
        EXPECT_NE(r.err.find(why), std::string::npos) << c.at << ": " << r.err;
        r = Pack({"inspect", cut, "--json"});
        EXPECT_EQ(r.exitCode, 1) << c.at;
        EXPECT_NE(r.out.find(c.recordKept ? "\"valid\": true, \"recordOffset\": 1024"
                                          : "\"valid\": false, \"recordOffset\": null"),
                  std::string::npos) << c.at << ": " << r.out;
        EXPECT_NE(r.out.find("\"complete\": false, \"cut\": \"" + c.part + ", past the end"), std::string::npos)
            << c.at << ": " << r.out;
    }
}

}  // namespace

namespace {

/* A container damaged at its tail (its last copy broken, or the file cut
 * inside it) is invisible to the reader, which starts from the end. Its
 * remains are found where ormpack put them, reported by inspect and
 * extract, and removed by build --config / --no-config instead of having a
 * new container stacked behind them. */
TEST_F(OrmpackTest, RemainsOfAContainerDamagedAtItsTail)
{
    std::string first = WriteText("first.ini", kConfig), second = WriteText("second.ini", "[B]\nk=v\n");
    std::string packaged = Path("packaged.exe"), direct = Path("direct.exe"), bare = Path("bare.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", packaged, "--program", "P.EXE", "--config", first}).exitCode, 0);
    ASSERT_EQ(Pack({"build", shell_, "-o", direct, "--program", "Q.EXE", "--config", second}).exitCode, 0);
    ASSERT_EQ(Pack({"build", shell_, "-o", bare, "--program", "Q.EXE"}).exitCode, 0);
    const Bytes good = synth::ReadFile(packaged);
    const uint32_t start = (uint32_t)(good.size() - EMBED_CONTAINER_SIZE(strlen(kConfig)));
    struct Case {
        const char *name;
        void (*damage)(Bytes &b, uint32_t start);
    } cases[] = {
        {"last copy's magic", [](Bytes &b, uint32_t) { b[b.size() - EMBED_HEADER_SIZE] ^= 1; }},
        {"last copy's version", [](Bytes &b, uint32_t) { b[b.size() - EMBED_HEADER_SIZE + 4] = 1; }},
        {"cut inside the last copy", [](Bytes &b, uint32_t) { b.resize(b.size() - 30); }},
        {"cut inside the body", [](Bytes &b, uint32_t s) { b.resize(s + EMBED_HEADER_SIZE + 10); }},
        {"cut inside the first copy", [](Bytes &b, uint32_t s) { b.resize(s + 40); }},
        {"copies differ", [](Bytes &b, uint32_t) { b[b.size() - EMBED_HEADER_SIZE + 20] ^= 1; }},
        {"a container stacked behind the remains (as ormpack stacked them)",
         [](Bytes &b, uint32_t) {
             b[b.size() - EMBED_HEADER_SIZE] ^= 1;
             const std::string text = "[Stacked]\nk=1\n";
             while ((b.size() + EMBED_CONTAINER_SIZE(text.size())) % 8)
                 b.push_back(0);
             size_t at = b.size();
             b.resize(at + EMBED_CONTAINER_SIZE(text.size()));
             EmbedBuildContainer((const uint8_t *)text.data(), (uint32_t)text.size(), (uint32_t)at, "s.ini", 7,
                                 &b[at]);
         }},
    };
    std::string damaged = Path("damaged.exe"), re = Path("re.exe"), none = Path("none.exe"), kept = Path("kept.exe");
    for (const Case &c : cases) {
        Bytes b = good;
        c.damage(b, start);
        ASSERT_TRUE(synth::WriteFile(damaged, b));
        bool stacked = b.size() > good.size();

        ToolRun r = Pack({"inspect", damaged, "--json"});
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_NE(r.out.find(std::string("\"config\": {\"present\": true, \"intact\": ") +
                             (stacked ? "true" : "false")),
                  std::string::npos) << c.name << ": " << r.out;
        EXPECT_NE(r.out.find("\"remainsStart\": " + std::to_string(start)), std::string::npos)
            << c.name << ": " << r.out;
        r = Pack({"inspect", damaged});
        EXPECT_NE(r.out.find("  remains:        file offsets " + std::to_string(start) + " to "), std::string::npos)
            << c.name << ": " << r.out;
        if (!stacked) {
            EXPECT_NE(r.out.find("configuration:    DAMAGED, the shell finds none"), std::string::npos) << r.out;
            r = Pack({"extract", damaged, "-o", Path("x.ini")});
            EXPECT_EQ(r.exitCode, 1) << c.name;
            EXPECT_NE(r.err.find("is damaged"), std::string::npos) << c.name << ": " << r.err;
        }

        r = Pack({"build", damaged, "-o", re, "--program", "Q.EXE", "--config", second});
        ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find("warning: removed "), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(synth::ReadFile(re), synth::ReadFile(direct)) << c.name << ": replaced, not stacked";
        r = Pack({"build", damaged, "-o", none, "--program", "Q.EXE", "--no-config"});
        ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_EQ(synth::ReadFile(none), synth::ReadFile(bare)) << c.name << ": removed";
        if (!stacked) {
            r = Pack({"build", damaged, "-o", kept, "--program", "Q.EXE"});
            ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
            EXPECT_NE(r.err.find("carries a damaged configuration container (file offsets " + std::to_string(start)),
                      std::string::npos) << c.name << ": " << r.err;
            EXPECT_EQ(synth::ReadFile(kept).size(), b.size()) << c.name << ": kept as it is";
        }
    }
}

}  // namespace

namespace {

/* The container is read from the very bytes read as the input, not from
 * the file opened a second time, which may be another version of it by
 * then. A pipe is the plainest case: opened again, it gives nothing. */
TEST_F(OrmpackTest, ContainerIsReadFromTheBytesReadAsTheInput)
{
    std::string ini = WriteText("product.ini", kConfig), packaged = Path("packaged.exe");
    ASSERT_EQ(Pack({"build", shell_, "-o", packaged, "--program", "P.EXE", "--config", ini}).exitCode, 0);
    std::string pipe = "cat '" + packaged + "' | ";

    ToolRun r = Pack({"inspect", "/dev/stdin", "--json"}, pipe);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"config\": {\"present\": true, \"intact\": true, \"status\": \"ok\", \"location\""),
              std::string::npos) << r.out;
    r = Pack({"inspect", "/dev/stdin"}, pipe);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("configuration:    present\n  name:           \"product.ini\""), std::string::npos)
        << r.out;

    r = Pack({"extract", "/dev/stdin", "-o", Path("x.ini")}, pipe);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(Path("x.ini")), kConfig);

    /* Kept as it is, without a warning that it is damaged. */
    r = Pack({"build", "/dev/stdin", "-o", Path("again.exe"), "--program", "$SHELLDIR\\Q.EXE"}, pipe);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(synth::ReadFile(Path("again.exe")).size(), synth::ReadFile(packaged).size());
}

/* A relative program path is packaged, with a warning that the shell would
 * start whatever file of that name lies in the current folder. */
TEST_F(OrmpackTest, RelativeProgramPathIsWarnedAbout)
{
    std::string out = Path("out.exe");
    const struct {
        const char *path;
        bool warned;
    } cases[] = {
        {"PRODUCT.EXE", true},
        {"bin\\PRODUCT.EXE", true},
        {"C:PRODUCT.EXE", true},
        {"$shelldir\\PRODUCT.EXE", true},   /* macros are written in capitals */
        {"$SHELLDIR\\PRODUCT.EXE", false},
        {"$WINDIR\\NOTEPAD.EXE", false},
        {"C:\\Program Files\\Ormsted\\PRODUCT.EXE", false},
        {"\\\\server\\share\\PRODUCT.EXE", false},
        {"\\PRODUCT.EXE", false},
    };
    for (const auto &c : cases) {
        ToolRun r = Pack({"build", shell_, "-o", out, "--program", c.path});
        EXPECT_EQ(r.exitCode, 0) << c.path << ": " << r.err;
        ProductSettings rec;
        ASSERT_TRUE(ValidRecord(synth::ReadFile(out), &rec));
        EXPECT_STREQ((const char *)rec.bytes + PS_OFF_PROGRAM_PATH, c.path);
        if (c.warned)
            EXPECT_EQ(r.err, std::string("ormpack build: warning: the program path '") + c.path +
                                 "' is relative: the shell would start whatever file of that name lies in "
                                 "the current folder (anyone could place one there); begin it with "
                                 "$SHELLDIR\\ to name the program beside the shell\n");
        else
            EXPECT_EQ(r.err, "") << c.path;
    }
}

}  // namespace
