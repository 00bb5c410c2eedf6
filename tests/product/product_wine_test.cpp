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
/* Greek and CJK letters, which the ANSI code page here cannot spell. */
const wchar_t kForeign[] = L"\u03b1\u03b2\u4e2d";

std::string Work(const std::string &name)
{
    return std::string(kWork) + "\\" + name;
}

std::wstring Widen(const std::string &text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], (int)wide.size());
    wide.resize(length > 0 ? (size_t)length - 1 : 0);
    return wide;
}

/* The ANSI form of a name, and whether the code page could spell all of it. */
bool AnsiCanSpell(const std::wstring &name)
{
    BOOL defaultUsed = FALSE;
    std::vector<char> narrow(name.size() * 2 + 1);
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), (int)narrow.size(), NULL,
                        &defaultUsed);
    return !defaultUsed && GetFileAttributesA(narrow.data()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunToEnd(const std::string &commandLine)
{
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(RigRunAndWait(commandLine.c_str(), 120000, &code)) << commandLine;
    return code;
}

bool StartWide(const std::wstring &program, RigProcess *process)
{
    STARTUPINFOW startup;
    PROCESS_INFORMATION info;
    std::wstring line = L"\"" + program + L"\"";

    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    process->process = NULL;
    process->pid = 0;
    if (!CreateProcessW(program.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &info))
        return false;
    CloseHandle(info.hThread);
    process->process = info.hProcess;
    process->pid = info.dwProcessId;
    return true;
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

/* A file of program bytes with the vendor's configuration appended. */
std::string PackagedBytes()
{
    const std::string text = "[Product]\r\nGreeting = \"Hello from the vendor\"\r\n";
    std::string file = "MZ program bytes";
    std::vector<uint8_t> container(EMBED_CONTAINER_SIZE(text.size()));
    EXPECT_EQ(1, EmbedBuildContainer((const uint8_t *)text.data(), (uint32_t)text.size(),
                                     (uint32_t)file.size(), "vendor.ini", 0x13572468u,
                                     container.data()));
    return file + std::string(container.begin(), container.end());
}

bool WriteWide(const std::wstring &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

/* A folder under the work folder whose full name is longer than MAX_PATH,
 * made through the \\?\ form; returns its plain full name. */
std::wstring LongFolder()
{
    std::wstring folder = Widen(RigFullPath(kWork)) + L"\\long";
    CreateDirectoryW((L"\\\\?\\" + folder).c_str(), NULL);
    while (folder.size() <= MAX_PATH + 20) {
        folder += L"\\" + std::wstring(60, L'd');
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), NULL);
    }
    return folder;
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
    std::wstring folder = Widen(RigFullPath(kWork)) + L"\\" + kForeign;
    std::wstring shell = folder + L"\\MYPRODUCT.EXE";
    CreateDirectoryW(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileW(Widen(RigFullPath(Work("ANYWHERE.EXE"))).c_str(), shell.c_str(), FALSE));
    ASSERT_FALSE(AnsiCanSpell(shell)) << "the ANSI name reaches the shell: the case tests nothing";

    RigProcess process;
    ASSERT_TRUE(StartWide(shell, &process)) << GetLastError();
    ExpectGreeting(RunThroughShell(&process));
}

/* The 95 family has no wide functions: the shell hands over its ANSI name,
 * which the product reads as well. */
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
    SetEnvironmentVariableW(L"ORMGEN32_SHELL", L"");
    EXPECT_EQ(nullptr, EmbedLoadShellIni());

    std::wstring foreign = Widen(RigFullPath(kWork)) + L"\\" + kForeign;
    CreateDirectoryW(foreign.c_str(), NULL);
    const std::wstring names[] = {foreign + L"\\" + kForeign + L".exe",
                                  LongFolder() + L"\\packaged.exe"};
    for (const std::wstring &name : names) {
        ASSERT_TRUE(WriteWide(L"\\\\?\\" + name, PackagedBytes()));
        SetEnvironmentVariableW(L"ORMGEN32_SHELL", name.c_str());
        IniFile *ini = EmbedLoadShellIni();
        ASSERT_NE(nullptr, ini) << "name of " << name.size() << " characters";
        EXPECT_STREQ(kGreeting, IniGetValue(ini, "Product", "Greeting", NULL));
        IniClose(ini);
    }
    SetEnvironmentVariableW(L"ORMGEN32_SHELL", NULL);
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
