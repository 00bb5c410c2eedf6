/*
 * The product's side under Wine. The example product (examples/product,
 * built by vendor_build.sh against the unpacked release archive, as a vendor
 * builds it) is started by a shell that ormpack packaged with the vendor's
 * configuration, and shows what it read in its message box:
 *  - started by the packaged shell: the vendor's greeting;
 *  - started directly: no configuration (EmbedLoadShellIni gives none);
 *  - the shell in a folder whose name the ANSI code page cannot spell: the
 *    greeting still, since the shell hands over its UTF-16 name;
 *  - the shell under Windows 95 emulation, where it hands over its ANSI name.
 * Built 32-bit in the Win32 build and 64-bit in the Win64 build, where the
 * 32-bit shell of the Win32 build starts the 64-bit product.
 * Also EmbedLoadShellIni in this process (with a name longer than MAX_PATH,
 * which Wine cannot start a program from), and ORMGEN32.EXE's version
 * resource.
 *
 * EmbedLoadShellIni's ANSI fallback, for systems whose wide functions are
 * stubs (the 95 family, Win32s), cannot be reached by running a product
 * under Wine: Wine keeps the wide calls in every emulated version, win95
 * included, so the product above reads the shell's ANSI name through them.
 * The fallback runs in this process instead, with GetEnvironmentVariableW
 * replaced by a stub that fails as the 95 family's does.
 *
 * Only the installed interface is used (<ormgen32/embed.h>, <ormgen32/ini.h>,
 * the exported functions): the packaged file the tests read is the vendor's
 * packaged shell itself.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <ormgen32/embed.h>
#include <ormgen32/ini.h>

#include "orm_version.h"
#include "rig_util.h"

namespace {

const char kWork[] = "product_work";
const char kTitle[] = "Example product";
const char kGreeting[] = "Hello from the vendor";
const char kNoConfiguration[] = "No configuration: start this product through its shell.";
const char kVendorIni[] =
    "; the vendor's configuration\r\n[Product]\r\nGreeting = \"Hello from the vendor\"\r\n";
/* Greek and CJK letters (UTF-8), which the ANSI code page here cannot spell. */
const char kForeign[] = "\u03b1\u03b2\u4e2d";

std::string Work(const std::string &name)
{
    return std::string(kWork) + "\\" + name;
}

/* The ANSI form of a (UTF-8) name; *spelled says whether the code page
 * spells all of it. */
std::string AnsiName(const std::string &name, bool *spelled)
{
    BOOL defaultUsed = FALSE;
    std::wstring wide = RigWide(name);
    std::vector<char> narrow(wide.size() * 2 + 1);
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow.data(), (int)narrow.size(), NULL,
                        &defaultUsed);
    *spelled = !defaultUsed;
    return narrow.data();
}

/* Whether the ANSI name of a file reaches it. */
bool AnsiCanSpell(const std::string &name)
{
    bool spelled;
    std::string narrow = AnsiName(name, &spelled);
    return spelled && GetFileAttributesA(narrow.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunToEnd(const std::string &commandLine)
{
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(RigRunAndWait(commandLine.c_str(), 120000, &code)) << commandLine;
    return code;
}

/* What the product showed, and how it ended. */
struct ProductRun {
    bool shown;
    std::string text;
    RigIcon icon;
    DWORD exitCode;
};

/* Waits for the product's message box (found by its title: a shell started
 * the product, so its process id is not ours to know), reads it, presses OK
 * and waits for the product to end. */
ProductRun ReadProductBox()
{
    ProductRun run = {false, std::string(), RIG_ICON_NONE, 0xDEADBEEF};
    DWORD start = GetTickCount();
    HWND window;
    while ((window = FindWindowA("#32770", kTitle)) == NULL || !IsWindowVisible(window)) {
        if (GetTickCount() - start > 60000)
            return run;
        Sleep(20);
    }
    RigProcess product;
    GetWindowThreadProcessId(window, &product.pid);
    product.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE,
                                  FALSE, product.pid);
    RigMessageBox box;
    if (product.process == NULL || !RigFindMessageBox(&product, 10000, &box)) {
        RigKill(&product);
        return run;
    }
    run.shown = true;
    run.text = box.text;
    run.icon = box.icon;
    RigDismissMessageBox(&box);
    if (!RigWaitExit(&product, 30000, &run.exitCode))
        RigKill(&product);
    return run;
}

/* Reads the product's box, then waits for the shell (which waits for its
 * product) and checks that it ended with 0. */
ProductRun RunThroughShell(RigProcess *shell)
{
    ProductRun run = ReadProductBox();
    DWORD code = 0xDEADBEEF;
    if (!RigWaitExit(shell, 30000, &code)) {
        RigKill(shell);
        ADD_FAILURE() << "the shell did not end";
    }
    EXPECT_EQ(0u, code) << "the shell's exit code";
    return run;
}

void ExpectGreeting(const ProductRun &run)
{
    ASSERT_TRUE(run.shown) << "the product showed no message box";
    EXPECT_EQ(kGreeting, run.text);
    EXPECT_EQ(RIG_ICON_INFORMATION, run.icon);
    EXPECT_EQ(0u, run.exitCode);
}

/* A folder under the work folder whose full name is longer than MAX_PATH;
 * returns its full name. */
std::string LongFolder()
{
    std::string folder = RigFullPath(kWork) + "\\long";
    RigMakeFolder(folder);
    while (folder.size() <= MAX_PATH + 20) {
        folder += "\\" + std::string(60, 'd');
        RigMakeFolder(folder);
    }
    return folder;
}

/* GetEnvironmentVariableW as the 95 family and Win32s have it: a stub. */
DWORD WINAPI StubGetEnvironmentVariableW(LPCWSTR, LPWSTR, DWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}

class ProductWine : public ::testing::Test {
protected:
    /* The work folder: the shell and ormpack (of this build, or of the
     * Win32 build for the 64-bit product), the example product as
     * product.exe, and the packaged shells:
     *   MYPRODUCT.EXE     --program $SHELLDIR\product.exe, the vendor's way
     *   ANYWHERE.EXE      --program product_work\product.exe (relative to
     *                     the current folder), for copies in other folders */
    static void SetUpTestSuite()
    {
        CreateDirectoryA(kWork, NULL);
        ASSERT_TRUE(RigCopyFile(ORM_SHELL_DIR "/ORMGEN32.EXE", Work("ORMGEN32.EXE")))
            << "no shell in " ORM_SHELL_DIR " (the 64-bit build takes the Win32 build's)";
        ASSERT_TRUE(RigCopyFile(ORM_SHELL_DIR "/ormpack.exe", Work("ormpack.exe")));
        ASSERT_TRUE(RigCopyFile(ORM_EXAMPLE_PRODUCT, Work("product.exe")))
            << "no example product at " ORM_EXAMPLE_PRODUCT " (built by vendor_build.sh)";
        ASSERT_TRUE(RigWriteFile(Work("vendor.ini"), kVendorIni));
        const std::string pack = Work("ormpack.exe") + " build " + Work("ORMGEN32.EXE") + " -o ";
        const std::string config = " --wait --config " + Work("vendor.ini");
        ASSERT_EQ(0u, RunToEnd(pack + Work("MYPRODUCT.EXE") + " --program $SHELLDIR\\product.exe" +
                               config));
        ASSERT_EQ(0u, RunToEnd(pack + Work("ANYWHERE.EXE") + " --program " + Work("product.exe") +
                               config));
    }

    void SetUp() override
    {
        /* The product must learn its shell from the shell alone. */
        SetEnvironmentVariableA(EMBED_SHELL_VARIABLE, NULL);
    }
};

TEST_F(ProductWine, StartedByItsShellShowsTheVendorsGreeting)
{
    RigProcess shell;
    ASSERT_TRUE(RigStart(("\"" + RigFullPath(Work("MYPRODUCT.EXE")) + "\"").c_str(), &shell));
    ExpectGreeting(RunThroughShell(&shell));
}

TEST_F(ProductWine, StartedDirectlyFindsNoConfiguration)
{
    RigProcess product;
    ASSERT_TRUE(RigStart(("\"" + RigFullPath(Work("product.exe")) + "\"").c_str(), &product));
    ProductRun run = ReadProductBox();
    if (!run.shown)
        RigKill(&product);
    ASSERT_TRUE(run.shown) << "the product showed no message box";
    EXPECT_EQ(kNoConfiguration, run.text);
    EXPECT_EQ(RIG_ICON_EXCLAMATION, run.icon);
    EXPECT_EQ(1u, run.exitCode);
}

/* The shell's ANSI name would hold '?' for these letters: only its UTF-16
 * name reaches the file. */
TEST_F(ProductWine, ShellInAFolderTheAnsiCodePageCannotSpell)
{
    std::string folder = RigFullPath(kWork) + "\\" + kForeign;
    std::string shell = folder + "\\MYPRODUCT.EXE";
    ASSERT_TRUE(RigMakeFolder(folder));
    ASSERT_TRUE(RigCopyFile(Work("ANYWHERE.EXE"), shell));
    ASSERT_FALSE(AnsiCanSpell(shell)) << "the ANSI name reaches the shell: the case tests nothing";

    RigProcess process;
    ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process, RIG_DEFAULT_SHOW, shell.c_str()))
        << GetLastError();
    ExpectGreeting(RunThroughShell(&process));
}

/* The 95 family has no wide functions: the shell hands over its ANSI name.
 * The product, which Wine runs with its wide functions, reads it through
 * them (the ANSI fallback: LoadShellIniFallsBackToAnsiWithoutWideCalls). */
TEST_F(ProductWine, ShellOnTheWindows95Family)
{
    ASSERT_TRUE(RigCopyFile(Work("MYPRODUCT.EXE"), Work("MYPRODUCT95.EXE")));
    ASSERT_TRUE(RigSetWindowsVersion("MYPRODUCT95.EXE", "win95"));
    RigProcess shell;
    bool started = RigStart(("\"" + RigFullPath(Work("MYPRODUCT95.EXE")) + "\"").c_str(), &shell);
    ProductRun run = started ? RunThroughShell(&shell) : ProductRun{false, "", RIG_ICON_NONE, 0};
    RigSetWindowsVersion("MYPRODUCT95.EXE", NULL);
    ASSERT_TRUE(started);
    ExpectGreeting(run);
}

/* EmbedLoadShellIni in this process: none without the variable or with an
 * empty one; the configuration behind a UTF-16 name and a long name. */
TEST_F(ProductWine, LoadShellIniReadsTheNamedFile)
{
    EXPECT_EQ(nullptr, EmbedLoadShellIni());
    SetEnvironmentVariableW(EMBED_SHELL_VARIABLE_W, L"");
    EXPECT_EQ(nullptr, EmbedLoadShellIni());

    const std::string packaged = RigReadFile(Work("MYPRODUCT.EXE"));
    ASSERT_FALSE(packaged.empty());
    std::string foreign = RigFullPath(kWork) + "\\" + kForeign;
    ASSERT_TRUE(RigMakeFolder(foreign));
    const std::string names[] = {foreign + "\\" + kForeign + ".exe",
                                 LongFolder() + "\\packaged.exe"};
    for (const std::string &name : names) {
        ASSERT_TRUE(RigWriteFile(name, packaged)) << name;
        SetEnvironmentVariableW(EMBED_SHELL_VARIABLE_W, RigWide(name).c_str());
        IniFile *ini = EmbedLoadShellIni();
        ASSERT_NE(nullptr, ini) << "name of " << RigWide(name).size() << " characters";
        EXPECT_STREQ(kGreeting, IniGetValue(ini, "Product", "Greeting", NULL));
        IniClose(ini);
    }
    SetEnvironmentVariableW(EMBED_SHELL_VARIABLE_W, NULL);
}

/* Where the wide functions are stubs, the variable is read as ANSI text and
 * the file opened by its ANSI name, as the shell of those systems writes it;
 * without the variable there is still none. */
TEST_F(ProductWine, LoadShellIniFallsBackToAnsiWithoutWideCalls)
{
    bool spelled;
    const std::string shell = AnsiName(RigFullPath(Work("MYPRODUCT.EXE")), &spelled);
    ASSERT_TRUE(spelled) << "the code page cannot spell the work folder's name";
    void *real = RigReplaceImport("kernel32.dll", "GetEnvironmentVariableW",
                                  (void *)StubGetEnvironmentVariableW);
    ASSERT_NE(nullptr, real) << "this program does not import GetEnvironmentVariableW";
    IniFile *none = EmbedLoadShellIni();
    SetEnvironmentVariableA(EMBED_SHELL_VARIABLE, shell.c_str());
    IniFile *ini = EmbedLoadShellIni();
    RigReplaceImport("kernel32.dll", "GetEnvironmentVariableW", real);
    SetEnvironmentVariableA(EMBED_SHELL_VARIABLE, NULL);

    EXPECT_EQ(nullptr, none);
    if (none)
        IniClose(none);
    ASSERT_NE(nullptr, ini) << shell;
    EXPECT_STREQ(kGreeting, IniGetValue(ini, "Product", "Greeting", NULL));
    IniClose(ini);
}

/* The version resource: file description "Ormsted Shell", file and product
 * version from the project's version, in the built shell and in a copy
 * that ormpack packaged. */
TEST_F(ProductWine, ShellCarriesItsVersion)
{
    for (const std::string &file : {Work("ORMGEN32.EXE"), Work("MYPRODUCT.EXE")}) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
        ASSERT_GT(size, 0u) << file;
        std::vector<char> data(size);
        ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, data.data())) << file;

        VS_FIXEDFILEINFO *fixed = NULL;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void **)&fixed, &length));
        EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
        EXPECT_EQ((DWORD)MAKELONG(ORM_VERSION_MINOR, ORM_VERSION_MAJOR), fixed->dwFileVersionMS);
        EXPECT_EQ((DWORD)MAKELONG(0, ORM_VERSION_PATCH), fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);

        WORD *translation = NULL;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void **)&translation,
                                   &length));
        ASSERT_GE(length, 4u);
        char block[64];
        wsprintfA(block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
        const struct {
            const char *name, *value;
        } strings[] = {
            {"FileDescription", "Ormsted Shell"},
            {"FileVersion", ORM_VERSION_TEXT},
            {"ProductVersion", ORM_VERSION_TEXT},
        };
        for (const auto &s : strings) {
            char *value = NULL;
            ASSERT_TRUE(VerQueryValueA(data.data(), (std::string(block) + s.name).c_str(),
                                       (void **)&value, &length)) << file << ": " << s.name;
            EXPECT_STREQ(s.value, value) << file << ": " << s.name;
        }
    }
}

}  // namespace
