/*
 * The launcher's building blocks in-process under Wine: path macro expansion
 * (ANSI and UTF-16) against the real Windows directory and module name, the
 * split of the command tail, the shell's own name, the launcher's request
 * check, and the elevated start after error 740 with the system's start
 * functions replaced, so that what the launcher asks of them can be seen.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "rig_util.h"
#include "shell.h"

namespace {

std::string WindowsDir()
{
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, sizeof path);
    std::string dir(path, length);
    if (dir.empty() || dir.back() != '\\')
        dir += '\\';
    return dir;
}

std::string ModuleDir()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string name(path, length);
    return name.substr(0, name.rfind('\\') + 1);
}

TEST(ExpandPathMacros, Table)
{
    std::string long300(300, 'p');
    const struct {
        std::string source;
        std::string expected;
    } cases[] = {
        {"$WINDIR\\prod.exe", WindowsDir() + "prod.exe"},
        {"$SHELLDIR\\bin\\prod.exe", ModuleDir() + "bin\\prod.exe"},
        {"$windir\\prod.exe", "$windir\\prod.exe"},
        {"$shelldir\\prod.exe", "$shelldir\\prod.exe"},
        {"C:\\$WINDIR\\prod.exe", "C:\\$WINDIR\\prod.exe"},
        {"$WINDIR", "$WINDIR"},
        {"$SHELLDIR\\$WINDIR\\x.exe", ModuleDir() + "$WINDIR\\x.exe"},
        {long300, long300.substr(0, 255)},
        {"$WINDIR\\" + long300, (WindowsDir() + long300).substr(0, 255)},
    };
    for (const auto &c : cases) {
        char destination[256];
        memset(destination, 0x55, sizeof destination);
        char *result = ExpandPathMacros(GetModuleHandleA(NULL), c.source.c_str(), destination, sizeof destination);
        EXPECT_EQ(result, destination);
        EXPECT_EQ(std::string(destination), c.expected) << c.source;
        /* The rest of the buffer is NUL-filled. */
        size_t used = strlen(destination);
        for (size_t i = used; i < sizeof destination; i++)
            ASSERT_EQ(destination[i], '\0') << c.source << " at " << i;
    }
}

TEST(ExpandPathMacros, SmallBufferAlwaysTerminates)
{
    char destination[8];
    ExpandPathMacros(GetModuleHandleA(NULL), "abcdefghijkl", destination, sizeof destination);
    EXPECT_STREQ(destination, "abcdefg");
    /* A Windows directory that does not fit leaves an empty path, never a
     * half-written one. */
    ExpandPathMacros(GetModuleHandleA(NULL), "$WINDIR\\x.exe", destination, sizeof destination);
    EXPECT_STREQ(destination, "");
}

TEST(LaunchProduct, RefusesRequestOfWrongSize)
{
    LaunchRequest request = {};
    LaunchOutcome outcome = {};
    request.size = sizeof request + 1;
    request.programPath = "C:\\windows\\system32\\cmd.exe";
    request.arguments = "";
    UINT before = SetErrorMode(0);
    EXPECT_EQ(LaunchProduct(&request, &outcome), LAUNCH_BAD_REQUEST);
    /* The error mode is restored on every return. */
    EXPECT_EQ(SetErrorMode(before), 0u);
}

/* ---- the wait ---------------------------------------------------------------- */

struct WaitCall {
    LaunchOutcome outcome;
    BOOL waited;
    DWORD exitCode;
};

DWORD WINAPI WaitThread(void *param)
{
    WaitCall *call = (WaitCall *)param;
    call->waited = WaitForProduct(&call->outcome, "", &call->exitCode);
    return 0;
}

/* A wait that fails (here: a handle without the right to wait on it) has
 * not seen the product end. Its exit code would read STILL_ACTIVE (259), so
 * the wait must not report one for the shell to pass on. */
TEST(WaitForProduct, FailedWaitReportsNoExitCode)
{
    WaitCall call = {};
    call.exitCode = 0xDEADBEEF;
    call.outcome.started = TRUE;
    call.outcome.process =
        OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(call.outcome.process, nullptr) << GetLastError();
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(call.outcome.process, &code));
    ASSERT_EQ(code, (DWORD)STILL_ACTIVE) << "the handle reads no exit code: the case tests nothing";
    ASSERT_EQ(WaitForSingleObject(call.outcome.process, 0), WAIT_FAILED)
        << "the handle can be waited on: the case tests nothing";

    HANDLE thread = CreateThread(NULL, 0, WaitThread, &call, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0) << "the wait did not end";
    CloseHandle(thread);
    EXPECT_FALSE(call.waited) << "exit code " << call.exitCode;
    CloseHandle(call.outcome.process);
}

/* ---- the command tail ----------------------------------------------------- */

TEST(CommandTail, SplitsOffTheProgramNameByOneRule)
{
    const struct {
        const char *line;
        const char *tail;
    } cases[] = {
        {"\"C:\\X\\SHELL.EXE\" a b", "a b"},
        {"C:\\X\\SHELL.EXE a b", "a b"},
        {"\"C:\\X\\SHELL.EXE\"", ""},
        {"C:\\X\\SHELL.EXE", ""},
        {"\"C:\\X\\SHELL.EXE\"tight x", "tight x"},       /* the quote ends the name */
        {"C:\\X\\SHELL.EXE\"a b\" c", "b\" c"},            /* unquoted: up to the first blank */
        {"\"C:\\X\\SHELL.EXE\" \t\x01 \"a  b\"  ", "\"a  b\"  "},   /* codes up to 32 skipped */
        {"\"C:\\My Apps\\S.EXE\"   x", "x"},
        {"\"unterminated name", ""},
        {"", ""},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(CommandTailA(c.line), c.tail) << c.line;
        std::wstring wideLine = RigWide(c.line);
        EXPECT_EQ(RigUtf8(CommandTailW(wideLine.c_str())), c.tail) << c.line;
    }
    /* Characters of any script pass through untouched; a lead byte above 127
     * in the name does not end it. */
    std::wstring greek = RigWide("\"C:\\Ελληνικά\\S.EXE\" αβγ 中文 \xF0\x9F\x99\x82");
    EXPECT_EQ(RigUtf8(CommandTailW(greek.c_str())), "αβγ 中文 \xF0\x9F\x99\x82");
    EXPECT_STREQ(CommandTailA("C:\\\xC4\xE9r\\S.EXE \xC4 x"), "\xC4 x");
    EXPECT_STREQ(CommandTailA(NULL), "");
}

/* ---- the shell's own name and the UTF-16 expansion ------------------------- */

std::wstring ModuleNameW()
{
    std::vector<wchar_t> name(32768);
    DWORD length = GetModuleFileNameW(NULL, name.data(), (DWORD)name.size());
    return std::wstring(name.data(), length);
}

TEST(ShellSelf, NamesItsOwnFileInEitherCharacterSet)
{
    ShellSelf self;
    GetShellSelf(GetModuleHandleA(NULL), TRUE, &self);
    ASSERT_NE(self.fileNameW, nullptr);
    EXPECT_EQ(std::wstring(self.fileNameW), ModuleNameW());
    EXPECT_EQ(self.fileNameA, nullptr);

    GetShellSelf(GetModuleHandleA(NULL), FALSE, &self);
    EXPECT_EQ(self.fileNameW, nullptr);
    ASSERT_NE(self.fileNameA, nullptr);
    char name[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, name, sizeof name);
    EXPECT_EQ(std::string(self.fileNameA), std::string(name, length));
}

TEST(ExpandPathMacrosW, Table)
{
    wchar_t windows[MAX_PATH];
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring windowsDir(windows, length);
    if (windowsDir.back() != L'\\')
        windowsDir += L'\\';
    /* A shell in a folder outside the ANSI code page and deeper than MAX_PATH. */
    std::wstring folder = RigWide("C:\\Ελληνικά 中文 \xF0\x9F\x99\x82\\") + std::wstring(280, L'd') + L"\\";
    std::wstring ownName = folder + L"SHELL.EXE";
    ShellSelf self = {ownName.c_str(), NULL, {0}};
    ShellSelf nameless = {NULL, NULL, {0}};
    std::string long300(300, 'p');
    /* The record's bytes are ANSI: 0xE9 is e-acute in the code page. */
    wchar_t acute[2] = {0, 0};
    MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, acute, 1);
    const struct {
        const ShellSelf *self;
        std::string source;
        std::wstring expected;
    } cases[] = {
        {&self, "$WINDIR\\prod.exe", windowsDir + L"prod.exe"},
        {&self, "$SHELLDIR\\bin\\prod.exe", folder + L"bin\\prod.exe"},
        {&self, "$SHELLDIR\\caf\xE9.exe", folder + L"caf" + acute + L".exe"},
        {&self, "$windir\\prod.exe", L"$windir\\prod.exe"},
        {&self, "C:\\$SHELLDIR\\prod.exe", L"C:\\$SHELLDIR\\prod.exe"},
        {&self, "$SHELLDIR\\$WINDIR\\x.exe", folder + L"$WINDIR\\x.exe"},
        {&self, long300, RigWide(long300)},
        {&nameless, "$SHELLDIR\\prod.exe", L""},
        {&nameless, "prod.exe", L"prod.exe"},
    };
    for (const auto &c : cases) {
        wchar_t *result = ExpandPathMacrosW(c.self, c.source.c_str());
        ASSERT_NE(result, nullptr) << c.source;
        EXPECT_EQ(std::wstring(result), c.expected) << c.source;
        HeapFree(GetProcessHeap(), 0, result);
    }
}

/* ---- the elevated start ----------------------------------------------------- */

/* What the replaced start functions were asked, and what they answer. */
struct FakeSystem {
    DWORD createError;              /* CreateProcessW fails with it */
    std::wstring createApplication, createCommandLine;
    int executeCalls;
    BOOL executeResult;
    DWORD executeError;
    HANDLE executeProcess;
    std::wstring verb, file, parameters, directory;
    ULONG mask;
    int show;
};
FakeSystem fake;

BOOL WINAPI FakeCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                               BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)
{
    fake.createApplication = application ? application : L"(null)";
    fake.createCommandLine = commandLine ? commandLine : L"(null)";
    SetLastError(fake.createError);
    return FALSE;
}

BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW *info)
{
    fake.executeCalls++;
    fake.verb = info->lpVerb ? info->lpVerb : L"(null)";
    fake.file = info->lpFile ? info->lpFile : L"(null)";
    fake.parameters = info->lpParameters ? info->lpParameters : L"(null)";
    fake.directory = info->lpDirectory ? info->lpDirectory : L"(null)";
    fake.mask = info->fMask;
    fake.show = info->nShow;
    if (!fake.executeResult) {
        SetLastError(fake.executeError);
        return FALSE;
    }
    info->hProcess = fake.executeProcess;
    return TRUE;
}

class Elevation : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = LaunchSystemCalls;
        LaunchSystemCalls.createProcessW = FakeCreateProcessW;
        LaunchSystemCalls.shellExecuteExW = FakeShellExecuteExW;
        fake = FakeSystem();
        fake.createError = ERROR_ELEVATION_REQUIRED;
        ShellInstance = GetModuleHandleA(NULL);
        path_ = RigWide("C:\\Programs\\Ελληνικά\\PRODUCT.EXE");
        arguments_ = RigWide("\"a  b\" c 中文");
        request_ = {};
        request_.size = sizeof request_;
        request_.programPath = "";
        request_.arguments = "";
        request_.programPathW = path_.c_str();
        request_.argumentsW = arguments_.c_str();
    }
    void TearDown() override { LaunchSystemCalls = saved_; }

    /* Runs the launcher on a worker thread, since a failed start shows a
     * box: the box is read back and dismissed from here. */
    RigMessageBox LaunchExpectingBox(LaunchOutcome *outcome)
    {
        RigMessageBox box = {};
        EXPECT_TRUE(RigReadBoxOnWorker([&] { LaunchProduct(&request_, outcome); }, &box));
        return box;
    }

    LaunchCalls saved_;
    std::wstring path_, arguments_;
    LaunchRequest request_;
};

TEST_F(Elevation, Error740StartsTheProductThroughRunas)
{
    HANDLE process = NULL;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &process, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    fake.executeResult = TRUE;
    fake.executeProcess = process;
    LaunchOutcome outcome = {};
    EXPECT_EQ(LaunchProduct(&request_, &outcome), LAUNCH_OK);

    /* First the plain start, with the whole line. */
    EXPECT_EQ(fake.createApplication, path_);
    EXPECT_EQ(fake.createCommandLine, L"\"" + path_ + L"\" " + arguments_);
    /* Then "runas" with the same file and tail, keeping the process handle
     * for the wait, in the shell's current directory. */
    ASSERT_EQ(fake.executeCalls, 1);
    EXPECT_EQ(fake.verb, L"runas");
    EXPECT_EQ(fake.file, path_);
    EXPECT_EQ(fake.parameters, arguments_);
    EXPECT_TRUE(fake.mask & SEE_MASK_NOCLOSEPROCESS) << std::hex << fake.mask;
    EXPECT_TRUE(fake.mask & SEE_MASK_NOASYNC) << std::hex << fake.mask;
    /* A failure is reported by the shell's own box alone: the system shows
     * none of its own before it. */
    EXPECT_TRUE(fake.mask & SEE_MASK_FLAG_NO_UI) << std::hex << fake.mask;
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    EXPECT_EQ(fake.directory, directory);
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(outcome.process, process);
    EXPECT_EQ(outcome.job, nullptr);
    CloseHandle(process);
}

TEST_F(Elevation, DeclinedPromptIsAFailedStart)
{
    /* ASCII names here: the box is read back through the ANSI calls. */
    path_ = L"C:\\Programs\\Admin\\PRODUCT.EXE";
    request_.programPathW = path_.c_str();
    fake.executeResult = FALSE;
    fake.executeError = ERROR_CANCELLED;
    LaunchOutcome outcome = {};
    RigMessageBox box = LaunchExpectingBox(&outcome);
    EXPECT_EQ(fake.executeCalls, 1);
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.error, (DWORD)ERROR_CANCELLED);
    EXPECT_EQ(outcome.process, nullptr);
    EXPECT_EQ(box.title, "Ormsted Shell");
    EXPECT_NE(box.text.find("C:\\Programs\\Admin\\PRODUCT.EXE"), std::string::npos) << box.text;
}

TEST_F(Elevation, OtherErrorsAskForNoElevation)
{
    path_ = L"C:\\Programs\\None\\PRODUCT.EXE";
    request_.programPathW = path_.c_str();
    fake.createError = ERROR_FILE_NOT_FOUND;
    LaunchOutcome outcome = {};
    RigMessageBox box = LaunchExpectingBox(&outcome);
    EXPECT_EQ(fake.executeCalls, 0);
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.error, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_NE(box.text.find("C:\\Programs\\None\\PRODUCT.EXE"), std::string::npos) << box.text;
}

}  // namespace
