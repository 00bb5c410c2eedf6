/*
 * The appended configuration container end to end under Wine: ormpack.exe
 * packages the real ORMGEN32.EXE, with probe.exe as the product, into a work
 * folder beside the build's programs, and the packaged shells run with exact
 * command lines:
 *  - configuration required and present: the product starts, exit code 0;
 *  - required and missing, or damaged: message 2 ("Unable to read the
 *    embedded INI file." under "Ormsted Shell", no icon), exit code 1, the
 *    product does not start, and the wait still runs;
 *  - not required and missing: the product starts;
 *  - a packaged shell signed afterwards with osslsigncode (by the fixture
 *    container_sign.sh) still finds its configuration;
 *  - a container planted inside that shell's certificate table after
 *    signing (the signature still verifies) is never read;
 *  - ormpack.exe refuses the shell cut short, and writes the configuration
 *    text to standard output byte for byte.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "embed.h"
#include "rig_util.h"

namespace {

const char kWork[] = "container_work";
const char kGoodIni[] = "; product settings\r\n[Product]\r\nName=\"Container test\"\r\n";

std::string Work(const std::string &name)
{
    return std::string(kWork) + "\\" + name;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunToEnd(const std::string &commandLine)
{
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(RigRunAndWait(commandLine.c_str(), 60000, &code)) << commandLine;
    return code;
}

/* Runs a command with its standard output going to a file; returns its
 * exit code. */
DWORD RunToFile(const std::string &commandLine, const std::string &outPath)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_NE(out, INVALID_HANDLE_VALUE) << outPath;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    std::string line = commandLine;
    BOOL started = CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    CloseHandle(out);
    EXPECT_TRUE(started) << commandLine;
    if (!started)
        return 0xDEADBEEF;
    DWORD code = 0xDEADBEEF;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0) << commandLine;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

/* Packages ORMGEN32.EXE into the work folder with ormpack.exe, built into
 * the same folder as this test; returns the packaged shell's path. */
std::string Package(const std::string &name, const std::string &options)
{
    std::string out = Work(name);
    EXPECT_EQ(RunToEnd("ormpack.exe build ORMGEN32.EXE -o " + out + " " + options), 0u) << name;
    return out;
}

/* Starts a packaged shell whose product records its command line in
 * `marker`; the command tail is "container test". */
bool StartShell(const std::string &shell, const std::string &marker, RigProcess *process)
{
    DeleteFileA(marker.c_str());
    SetEnvironmentVariableA("PROBE_OUT", RigFullPath(marker).c_str());
    bool started = RigStart(("\"" + RigFullPath(shell) + "\" container test").c_str(), process);
    SetEnvironmentVariableA("PROBE_OUT", NULL);
    return started;
}

/* Runs a shell that must start its product without a message box. */
void ExpectProductStarts(const std::string &shell)
{
    std::string marker = Work("started.txt");
    RigProcess process;
    ASSERT_TRUE(StartShell(shell, marker, &process));
    DWORD code = 0xDEADBEEF;
    if (!RigWaitExit(&process, 60000, &code)) {
        RigKill(&process);
        FAIL() << shell << " did not end";
    }
    EXPECT_EQ(code, 0u) << shell;
    /* The shell waits for its product (--wait), so the record is complete. */
    std::string line = RigReadFile(marker);
    EXPECT_NE(line.find("probe.exe\" container test"), std::string::npos) << shell << ": [" << line << "]";
}

/* Starts a shell that must show message 2, checks the box and dismisses it. */
void ExpectMessage2(const std::string &shell, const std::string &marker, RigProcess *process)
{
    ASSERT_TRUE(StartShell(shell, marker, process));
    RigMessageBox box;
    if (!RigFindMessageBox(process, 30000, &box)) {
        RigKill(process);
        FAIL() << shell << ": no message box";
    }
    EXPECT_EQ(box.title, "Ormsted Shell");
    EXPECT_EQ(box.text, "Unable to read the embedded INI file.");
    EXPECT_EQ(box.icon, RIG_ICON_NONE);
    RigDismissMessageBox(&box);
}

class ContainerWine : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CreateDirectoryA(kWork, NULL);
        ASSERT_TRUE(RigCopyFile("probe.exe", Work("probe.exe")));
        ASSERT_TRUE(RigCopyFile("probe.exe", Work("probe_hold.exe")));
        ASSERT_TRUE(RigWriteFile(Work("good.ini"), kGoodIni));
    }
};

TEST_F(ContainerWine, RequiredAndPresentStartsTheProduct)
{
    ExpectProductStarts(Package("required_present.exe", "--program $SHELLDIR\\probe.exe --wait "
                                                        "--config-required --config container_work\\good.ini"));
}

TEST_F(ContainerWine, NotRequiredAndMissingStartsTheProduct)
{
    ExpectProductStarts(Package("optional_missing.exe", "--program $SHELLDIR\\probe.exe --wait"));
}

struct MissingCase {
    const char *name;
    const char *config;     /* --config option, or "" */
    size_t damageFromEnd;   /* the byte this far before the end is flipped, or 0 */
};

TEST_F(ContainerWine, RequiredAndMissingOrDamagedShowsMessage2)
{
    const MissingCase cases[] = {
        {"required_missing.exe", "", 0},
        {"required_damaged_body.exe", "--config container_work\\good.ini", 72 + 5},   /* stored body */
        {"required_damaged_header.exe", "--config container_work\\good.ini", 72 - 40}, /* second copy */
    };
    for (const MissingCase &c : cases) {
        std::string shell = Package(c.name, std::string("--program $SHELLDIR\\probe.exe --wait "
                                                        "--config-required ") + c.config);
        if (c.damageFromEnd) {
            std::string bytes = RigReadFile(shell);
            ASSERT_GT(bytes.size(), c.damageFromEnd);
            bytes[bytes.size() - c.damageFromEnd] ^= 0x01;
            ASSERT_TRUE(RigWriteFile(shell, bytes));
        }
        std::string marker = Work("missing.txt");
        RigProcess process;
        ExpectMessage2(shell, marker, &process);
        DWORD code = 0xDEADBEEF;
        ASSERT_TRUE(RigWaitExit(&process, 30000, &code)) << c.name;
        EXPECT_EQ(code, 1u) << c.name;
        EXPECT_FALSE(Exists(marker)) << c.name << ": the product must not start";
    }
}

/* After message 2 the wait still runs. On the Windows 95 family, with no
 * process id, the shell polls the process list for a process whose
 * executable is the product's path; Wine lists executables by file name,
 * so the product is given by its bare name, and while a process of that
 * name runs the shell must stay. */
TEST_F(ContainerWine, WaitStillRunsAfterMessage2)
{
    std::string shell = Package("wait_missing.exe", "--program probe_hold.exe --wait --config-required");
    ASSERT_TRUE(RigSetWindowsVersion("wait_missing.exe", "win95"));
    const char *eventName = "OrmContainerWaitRelease";
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, eventName);
    ASSERT_NE(release, (HANDLE)NULL);

    RigProcess holder, process;
    SetEnvironmentVariableA("PROBE_HOLD", eventName);
    bool held = RigStart(("\"" + RigFullPath(Work("probe_hold.exe")) + "\"").c_str(), &holder);
    SetEnvironmentVariableA("PROBE_HOLD", NULL);
    ASSERT_TRUE(held);

    ExpectMessage2(shell, Work("wait.txt"), &process);
    DWORD code = 0xDEADBEEF;
    bool endedEarly = RigWaitExit(&process, 2000, &code);
    EXPECT_FALSE(endedEarly) << "the shell must wait while its product runs (exit code " << code << ")";
    SetEvent(release);
    EXPECT_TRUE(RigWaitExit(&holder, 30000, &code));
    if (!endedEarly) {
        ASSERT_TRUE(RigWaitExit(&process, 30000, &code));
        EXPECT_EQ(code, 1u);
    }
    CloseHandle(release);
    RigSetWindowsVersion("wait_missing.exe", NULL);
}

/* Package first, then sign: a certificate table appended by osslsigncode
 * after the container must not hide the configuration from the shell. The
 * fixture container_sign.sh packaged, signed and verified the shell. */
TEST_F(ContainerWine, SignedShellFindsItsConfiguration)
{
    const std::string signedShell = "container_signed\\signed.exe", unsignedShell = "container_signed\\unsigned.exe";
    ASSERT_TRUE(Exists(signedShell)) << "made by the fixture container_sign.sh";
    ASSERT_GT(RigReadFile(signedShell).size(), RigReadFile(unsignedShell).size()) << "a certificate table follows";
    ExpectProductStarts(signedShell);
}

/* The fixture planted a second container inside the signed shell's
 * certificate table and checked that the signature still verifies. With
 * malformed text planted, a shell that read it would show message 2; it
 * must start its product with its own configuration instead. With valid
 * text planted, the reader (in-process, the shell's own code) still gives
 * the signed text. */
TEST_F(ContainerWine, SignedShellIgnoresAContainerPlantedInItsCertificateTable)
{
    const std::string bad = "container_signed\\planted_bad.exe", good = "container_signed\\planted_good.exe";
    ASSERT_TRUE(Exists(bad) && Exists(good)) << "made by the fixture container_sign.sh";
    ExpectProductStarts(bad);
    IniFile *ini = EmbedLoadIni(good.c_str());
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(IniGetValue(ini, "Product", "Name", nullptr), "Signed container test");
    IniClose(ini);
}

/* The real shell cut short after its record (in its resources, or its last
 * byte): Windows would refuse to start it, and ormpack.exe refuses to
 * package it. */
TEST_F(ContainerWine, BuildRefusesTheShellCutShort)
{
    const std::string whole = RigReadFile("ORMGEN32.EXE");
    ASSERT_GT(whole.size(), 0x1000u);
    for (size_t size : {whole.size() - 1, whole.size() - 0x1000}) {
        ASSERT_TRUE(RigWriteFile(Work("cut.exe"), whole.substr(0, size)));
        DeleteFileA(Work("cut_out.exe").c_str());
        EXPECT_EQ(RunToEnd("ormpack.exe build " + Work("cut.exe") + " -o " + Work("cut_out.exe") +
                           " --program $SHELLDIR\\probe.exe"),
                  1u) << size;
        EXPECT_FALSE(Exists(Work("cut_out.exe"))) << size;
    }
}

/* inspect --config-text writes the text exactly as stored: the C
 * runtime's text mode would write CR CR LF for each CR LF of the text. */
TEST_F(ContainerWine, InspectWritesTheConfigurationTextExactly)
{
    std::string shell = Package("inspect_text.exe", "--program $SHELLDIR\\probe.exe --config container_work\\good.ini");
    std::string out = Work("inspect.txt");
    ASSERT_EQ(RunToFile("ormpack.exe inspect " + shell + " --config-text", out), 0u);
    std::string text = RigReadFile(out);
    EXPECT_NE(text.find(std::string("----- configuration text -----\r\n") + kGoodIni + "----- end -----\r\n"),
              std::string::npos) << text;
    EXPECT_EQ(text.find("\r\r\n"), std::string::npos) << text;
}

}  // namespace
