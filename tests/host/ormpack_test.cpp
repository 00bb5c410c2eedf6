/*
 * ormpack, the real binary, run on synthetic program files in a temporary
 * folder: build and inspect round trips of the settings record, refusals
 * (each leaving no output and no temporary file behind), packaging of
 * configuration text with replacement of an earlier container, extract, and
 * the files it writes read back with the shell's own reader.
 */
#include <gtest/gtest.h>

#include <dirent.h>
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

    /* Runs ormpack with the arguments, each passed as one word. */
    ToolRun Pack(const std::vector<std::string> &args)
    {
        std::string command = "'" ORMPACK_PATH "'";
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

    /* Header copies that disagree: a new build will not guess where it starts. */
    b = synth::ReadFile(out);
    b[b.size() - EMBED_HEADER_SIZE + 20] ^= 1;
    ASSERT_TRUE(synth::WriteFile(damaged, b));
    r = Pack({"build", damaged, "-o", Path("re.exe"), "--program", "P.EXE", "--config", ini});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged configuration container (copies-differ)"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(Path("re.exe")));
}

TEST_F(OrmpackTest, LargestBodyAndEmptyBody)
{
    std::string big = "[A]\n" + std::string(EMBED_MAX_BODY - 4, ';');
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
