/*
 * End-to-end tests of ORMGEN32.EXE under Wine: real shells packaged by the
 * real ormpack.exe, started with exact command lines, their message boxes
 * read back and dismissed, their full exit codes and what the probe product
 * received checked. Records are damaged in place for the validation cases;
 * Windows versions are emulated per executable name (Wine's default is an
 * NT-family version, where the shell launches with the UTF-16 calls; "win95"
 * and "win98" keep the ANSI calls). Strings are UTF-8.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <ctype.h>

#include <map>
#include <string>
#include <vector>

#include "embed.h"
#include "ini.h"
#include "pe_image.h"
#include "rig_util.h"
#include "settings_record.h"
#include "shell.h"

namespace {

const char *const WORK = "shell_work";
const DWORD BOX_TIMEOUT_MS = 20000;
const DWORD EXIT_TIMEOUT_MS = 20000;
const DWORD EXIT_FAILED_CODE = 0xFFFFFFFFu;   /* -1 */
const DWORD EXIT_NOT_STARTED_CODE = 2;

std::string Work(const std::string &name)
{
    return RigFullPath(std::string(WORK) + "\\" + name);
}

class ShellWine : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CreateDirectoryA(WORK, NULL);
        RigCopyFile("probe.exe", Work("PRODUCT.EXE"));
    }
    void SetUp() override
    {
        ASSERT_NE(GetFileAttributesA(Work("PRODUCT.EXE").c_str()), INVALID_FILE_ATTRIBUTES);
        SetEnvironmentVariableA("PROBE_OUT", Work("received.txt").c_str());
        for (const char *name : {"PROBE_DONE", "PROBE_HOLD", "PROBE_EXIT", "PROBE_PID", "PROBE_SPAWN",
                                 "PROBE_SPAWN_PID", "PROBE_SPAWN_HOLD"})
            SetEnvironmentVariableA(name, NULL);
        DeleteFileA(Work("received.txt").c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("PROBE_OUT", NULL);
    }

    /* ormpack.exe build ORMGEN32.EXE -o WORK\name <arguments>. */
    std::string Package(const std::string &name, const std::string &arguments)
    {
        std::string out = Work(name);
        std::string line = "ormpack.exe build ORMGEN32.EXE -o \"" + out + "\" " + arguments;
        DWORD code = 99;
        EXPECT_TRUE(RigRunAndWait(line.c_str(), 60000, &code)) << line;
        EXPECT_EQ(code, 0u) << line;
        return out;
    }

    /* A shell packaged with `arguments`, once per test program: tests that
     * need the same settings share it (each ormpack run costs a Wine start).
     * Tests that must change the file copy it first. */
    std::string Packaged(const std::string &arguments)
    {
        static std::map<std::string, std::string> shells;
        auto known = shells.find(arguments);
        if (known != shells.end() && GetFileAttributesA(known->second.c_str()) != INVALID_FILE_ATTRIBUTES)
            return known->second;
        std::string shell = Package("pkg" + std::to_string(shells.size()) + ".exe", arguments);
        shells[arguments] = shell;
        return shell;
    }

    /* Runs a shell that must end without any message box. */
    DWORD RunQuiet(const std::string &commandLine)
    {
        RigProcess process;
        DWORD code = 0xDEADBEEF;
        EXPECT_TRUE(RigStart(commandLine.c_str(), &process)) << commandLine;
        if (!RigWaitExit(&process, EXIT_TIMEOUT_MS, &code)) {
            RigMessageBox box;
            if (RigFindMessageBox(&process, 0, &box))
                ADD_FAILURE() << "unexpected message box: " << box.title << ": " << box.text;
            RigKill(&process);
        }
        return code;
    }

    /* Runs a shell that must show one message box; reads, dismisses it. */
    DWORD RunWithBox(const std::string &commandLine, RigMessageBox *box)
    {
        RigProcess process;
        DWORD code = 0xDEADBEEF;
        EXPECT_TRUE(RigStart(commandLine.c_str(), &process)) << commandLine;
        if (!RigFindMessageBox(&process, BOX_TIMEOUT_MS, box)) {
            ADD_FAILURE() << "no message box from " << commandLine;
            RigKill(&process);
            return code;
        }
        RigDismissMessageBox(box);
        if (!RigWaitExit(&process, EXIT_TIMEOUT_MS, &code)) {
            ADD_FAILURE() << "shell did not end after its message box";
            RigKill(&process);
        }
        return code;
    }

    /* A configuration file for --config, written once. */
    std::string ConfigFile()
    {
        std::string path = Work("product.ini");
        EXPECT_TRUE(RigWriteFile(path, "[Product]\r\nName = \"Ormsted Test\"\r\n"));
        return path;
    }

    /* What the product received; empty when it did not start within the
     * bound. After a shell that refused to launch, the file is absent at once. */
    std::string Received() { return RigWaitForFile(Work("received.txt"), 30000); }
    bool ProductStarted() { return !Received().empty(); }
    bool ProductAbsent() { return GetFileAttributesA(Work("received.txt").c_str()) == INVALID_FILE_ATTRIBUTES; }
};

/* ---- the settings record ------------------------------------------------ */

/* File offset of the record in a packaged shell. */
long RecordOffset(const std::string &bytes)
{
    PeImage image;
    PeSection section;
    if (PeParseHeaders((const uint8_t *)bytes.data(), (uint32_t)(bytes.size() < 4096 ? bytes.size() : 4096),
                       (uint32_t)bytes.size(), &image) != PE_OK ||
        !PeFindSection(&image, PS_SECTION_NAME, &section) || section.rawSize < PS_RECORD_SIZE)
        return -1;
    return (long)section.rawOffset;
}

struct RecordCase {
    const char *name;
    int bodyLength;          /* -1: keep 3656 */
    int checksumOver;        /* bytes of the plain body the stored checksum covers */
    uint32_t checksumDelta;  /* added to the stored checksum */
    int magicByte;           /* index of a flipped magic byte, or -1 */
    bool swapVersion;        /* version stored as 00 0D */
    bool valid;
};

/* Rewrites the record of a packaged shell: plain body from the packaged one,
 * then the case's length, checksum and header damage, then the body bytes
 * that validation restores are protected again. */
void RewriteRecord(const std::string &path, const RecordCase &c)
{
    std::string bytes = RigReadFile(path);
    long offset = RecordOffset(bytes);
    ASSERT_GE(offset, 0) << path;
    ProductSettings record;
    memcpy(record.bytes, bytes.data() + offset, PS_RECORD_SIZE);
    uint32_t param = PsGet32(&record, PS_OFF_STORAGE_PARAM);
    PsProtectBody(record.bytes + PS_OFF_BODY, PS_BODY_SIZE, param);   /* now plain */

    uint32_t length = c.bodyLength < 0 ? PS_BODY_SIZE : (uint32_t)c.bodyLength;
    PsPut16(&record, PS_OFF_BODY_LENGTH, (uint16_t)length);
    PsPut32(&record, PS_OFF_CHECKSUM,
            ProductSettingsChecksum(record.bytes + PS_OFF_BODY, (uint32_t)c.checksumOver) + c.checksumDelta);
    if (c.magicByte >= 0)
        record.bytes[c.magicByte] ^= 0x40;
    if (c.swapVersion)
        PsPut16(&record, PS_OFF_VERSION, (uint16_t)(PS_VERSION << 8));
    PsProtectBody(record.bytes + PS_OFF_BODY, length < PS_BODY_SIZE ? length : PS_BODY_SIZE, param);
    memcpy(&bytes[offset], record.bytes, PS_RECORD_SIZE);
    ASSERT_TRUE(RigWriteFile(path, bytes));
}

TEST_F(ShellWine, RecordValidation)
{
    const RecordCase cases[] = {
        {"rec_good.exe", -1, 3656, 0, -1, false, true},
        {"rec_magic.exe", -1, 3656, 0, 3, false, false},
        {"rec_version.exe", -1, 3656, 0, -1, true, false},
        {"rec_checksum.exe", -1, 3656, 1, -1, false, false},
        {"rec_len0_sum0.exe", 0, 0, 0, -1, false, true},
        {"rec_len0_sum1.exe", 0, 0, 1, -1, false, false},
        {"rec_len3655.exe", 3655, 3655, 0, -1, false, true},
        {"rec_len3655_wrong.exe", 3655, 3656, 0, -1, false, false},
        {"rec_len3657.exe", 3657, 3656, 0, -1, false, false},
    };
    for (const RecordCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string shell = Package(c.name, "--program $SHELLDIR\\PRODUCT.EXE");
        RewriteRecord(shell, c);
        DeleteFileA(Work("received.txt").c_str());
        std::string line = "\"" + shell + "\" tail";
        if (c.valid) {
            EXPECT_EQ(RunQuiet(line), 0u);
            EXPECT_TRUE(ProductStarted());
        } else {
            RigMessageBox box;
            EXPECT_EQ(RunWithBox(line, &box), EXIT_FAILED_CODE);
            EXPECT_EQ(box.title, "Ormsted Shell");
            EXPECT_EQ(box.text, "Unexpected error in internal information");
            EXPECT_EQ(box.icon, RIG_ICON_EXCLAMATION);
            EXPECT_TRUE(ProductAbsent());
        }
    }
}

/* ---- operating-system exclusion ----------------------------------------- */

struct VersionCase {
    const char *wineVersion;   /* Wine AppDefaults value; "" for Wine's default */
    const char *kindName;      /* ormpack name of the kind, or NULL for none */
};

const char *const ALL_KINDS[] = {"win32s", "win95", "winnt"};

TEST_F(ShellWine, ExclusionMatrix)
{
    /* What each emulated version classifies as (platform id and version from
     * GetVersionExA): Win32s, the 95 family, NT 3.51 and NT 4.0 build 1381
     * are kinds; Windows 2000 and later are none. */
    const VersionCase cases[] = {
        {"win31", "win32s"}, {"win95", "win95"}, {"win98", "win95"}, {"nt351", "winnt"},
        {"nt40", "winnt"},   {"win2k", NULL},    {"win7", NULL},
    };
    for (const VersionCase &c : cases) {
        /* Excluding the version's own kind refuses; excluding every other kind
         * starts the product. A version of no kind starts under every mask. */
        std::string own = c.kindName ? c.kindName : "win32s,win95,winnt";
        std::string others;
        for (const char *kind : ALL_KINDS)
            if (!c.kindName || strcmp(kind, c.kindName) != 0)
                others += std::string(others.empty() ? "" : ",") + kind;
        struct {
            const char *suffix;
            std::string mask;
            bool refused;
        } runs[] = {{"own", own, c.kindName != NULL}, {"oth", others, false}};
        for (const auto &run : runs) {
            if (run.mask.empty())
                continue;
            std::string name = std::string("x_") + c.wineVersion + "_" + run.suffix + ".exe";
            SCOPED_TRACE(name + " excluding " + run.mask);
            std::string shell = Package(name, "--program $SHELLDIR\\PRODUCT.EXE --exclude " + run.mask);
            ASSERT_TRUE(RigSetWindowsVersion(name.c_str(), c.wineVersion));
            DeleteFileA(Work("received.txt").c_str());
            std::string line = "\"" + shell + "\"";
            if (run.refused) {
                RigMessageBox box;
                EXPECT_EQ(RunWithBox(line, &box), EXIT_FAILED_CODE);
                EXPECT_EQ(box.title, "Ormsted Shell");
                EXPECT_EQ(box.text, "The product will not run on the current operating system. Please "
                                    "check that your product supports this operating system.");
                EXPECT_EQ(box.icon, RIG_ICON_INFORMATION);
                EXPECT_TRUE(ProductAbsent());
            } else {
                EXPECT_EQ(RunQuiet(line), 0u);
                EXPECT_TRUE(ProductStarted());
            }
            RigSetWindowsVersion(name.c_str(), NULL);
        }
    }
}

/* ---- the command line the product receives ------------------------------ */

/* What a product receives from a shell that uses the ANSI calls: its
 * command line in the ANSI code page (characters outside it become the
 * system's replacements), cut by wsprintfA at 1023 characters, read back by
 * the product as UTF-16. */
std::string ThroughAnsiCalls(const std::string &line)
{
    std::wstring wide = RigWide(line);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string ansi((size_t)length, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &ansi[0], length, NULL, NULL);
    ansi = ansi.substr(0, 1023);
    length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), NULL, 0);
    std::wstring back((size_t)length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &back[0], length);
    return RigUtf8(back);
}

struct TailCase {
    const char *name;
    std::string tail;        /* what the product must get behind its quoted path */
    std::string afterShell;  /* the shell's line behind its quoted path; empty: " " + tail */
    bool unquotedShell;      /* the shell's name unquoted at the start of its line */
};

/* The same tails through one packaged shell under Wine's default (NT family,
 * UTF-16 calls: every tail arrives whole) and, as a copy, under "win95" (ANSI
 * calls: code page replacements and the 1023-character cut). The program
 * name is split off by the shell's own rule on both. */
TEST_F(ShellWine, ProductReceivesQuotedPathAndTail)
{
    std::string shell = Packaged("--program $SHELLDIR\\PRODUCT.EXE");
    std::string shell95 = Work("cmdline95.exe");
    ASSERT_TRUE(RigCopyFile(shell, shell95));
    ASSERT_TRUE(RigSetWindowsVersion("cmdline95.exe", "win95"));
    std::string product = Work("PRODUCT.EXE");
    std::string head = "\"" + product + "\" ";
    const TailCase cases[] = {
        {"empty", "", "", false},
        {"words", "alpha beta", "", false},
        {"quotes and blanks", "\"a b\"   c \"\" \\\"d\\\" ", "", false},
        {"greek", "\"C:\\Έγγραφα\\Αναφορά 2024.txt\" -λ", "", false},
        {"cjk", "\"D:\\資料\\報告 ファイル.txt\" 파일", "", false},
        {"emoji", "notes\xF0\x9F\x99\x82.txt \xF0\x9F\x8E\x89", "", false},
        {"line of 1023", std::string(1023 - head.size(), 'x'), "", false},
        {"1500", std::string(1499, 'y') + "z", "", false},
        {"30000", std::string(29999, 'w') + "z", "", false},
        {"quote right after the name", "tight x", "tight x", false},
        {"quote inside an unquoted name", "b\" c", "\"a b\" c", true},
        {"control characters after the name", "x \t", "\t \x01 x \t", false},
    };
    /* All shells of one version run side by side, each product reporting to
     * a file of its own: under emulation a start costs more than a wait. */
    const size_t count = sizeof cases / sizeof cases[0];
    for (const char *version : {"default", "win95"}) {
        bool ansi = strcmp(version, "win95") == 0;
        const std::string &path = ansi ? shell95 : shell;
        std::vector<RigProcess> processes(count);
        for (size_t i = 0; i < count; i++) {
            const TailCase &c = cases[i];
            std::string report = Work("tail" + std::to_string(i) + ".txt");
            DeleteFileA(report.c_str());
            SetEnvironmentVariableA("PROBE_OUT", report.c_str());
            std::string rest = !c.afterShell.empty() ? c.afterShell : c.tail.empty() ? "" : " " + c.tail;
            std::string line = (c.unquotedShell ? path : "\"" + path + "\"") + rest;
            ASSERT_TRUE(RigStart(line.c_str(), &processes[i], RIG_DEFAULT_SHOW, path.c_str())) << c.name;
        }
        for (size_t i = 0; i < count; i++) {
            const TailCase &c = cases[i];
            SCOPED_TRACE(std::string(version) + ": " + c.name);
            DWORD code = 0xDEADBEEF;
            EXPECT_TRUE(RigWaitExit(&processes[i], EXIT_TIMEOUT_MS, &code));
            RigKill(&processes[i]);
            EXPECT_EQ(code, 0u);
            std::string expected = head + c.tail;
            std::string received = RigWaitForFile(Work("tail" + std::to_string(i) + ".txt"), 30000);
            if (ansi)
                expected = ThroughAnsiCalls(expected);
            EXPECT_EQ(received.size(), expected.size());
            EXPECT_TRUE(received == expected) << "received: " << received.substr(0, 200);
        }
    }
    RigSetWindowsVersion("cmdline95.exe", NULL);
}

/* A product line longer than the system takes (32767 characters with the
 * NUL) is a failed start, never a cut one: the shell's own line fits, the
 * product's, with a longer path in front, does not. */
TEST_F(ShellWine, LineTheSystemRefusesIsAFailedStart)
{
    std::string longName = std::string(60, 'L') + ".EXE";
    ASSERT_TRUE(RigCopyFile("probe.exe", Work(longName)));
    std::string shell = Package("overlong.exe", "--program $SHELLDIR\\" + longName);
    std::string head = "\"" + shell + "\" ";
    std::string line = head + std::string(32766 - head.size(), 'q');
    RigMessageBox box;
    EXPECT_EQ(RunWithBox(line, &box), EXIT_NOT_STARTED_CODE);
    EXPECT_NE(box.text.find(Work(longName)), std::string::npos) << box.text;
    EXPECT_TRUE(ProductAbsent());
}

TEST_F(ShellWine, ProductInheritsShowState)
{
    std::string shell = Packaged("--program $SHELLDIR\\PRODUCT.EXE");
    SetEnvironmentVariableA("PROBE_SHOW", Work("show.txt").c_str());
    DeleteFileA(Work("show.txt").c_str());
    RigProcess process;
    DWORD code = 0xDEADBEEF;
    ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process, SW_SHOWMINNOACTIVE));
    EXPECT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
    EXPECT_EQ(code, 0u);
    /* STARTF_USESHOWWINDOW (1) and SW_SHOWMINNOACTIVE (7), as the shell got them. */
    EXPECT_EQ(RigWaitForFile(Work("show.txt"), 15000), "1 7");
    SetEnvironmentVariableA("PROBE_SHOW", NULL);
}

TEST_F(ShellWine, WindirMacroStartsProductFromWindowsDirectory)
{
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    std::string target = std::string(windows) + "\\ORMPROBE.EXE";
    ASSERT_TRUE(RigCopyFile("probe.exe", target));
    std::string shell = Package("windir.exe", "--program $WINDIR\\ORMPROBE.EXE");
    EXPECT_EQ(RunQuiet("\"" + shell + "\" w"), 0u);
    EXPECT_EQ(Received(), "\"" + target + "\" w");
    DeleteFileA(target.c_str());
}

/* A product that cannot be started: the box names the path and the system's
 * reason (with the path in place of a "%1" the reason may carry, as in
 * "Bad EXE format for %1."); the exit code is 2 on the NT family, NT 3.51
 * included, and stays 0 on the 95 family. */
TEST_F(ShellWine, FailedStartIsReportedWithExitCode2)
{
    ASSERT_TRUE(CreateDirectoryA(Work("AFOLDER").c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(RigWriteFile(Work("NOTAPROG.EXE"), "this is text, not a program\r\n"));
    const struct {
        const char *name;
        const char *program;
        const char *version;   /* NULL: Wine's default */
        DWORD exitCode;
    } cases[] = {
        {"missing.exe", "NOSUCH.EXE", NULL, EXIT_NOT_STARTED_CODE},
        {"folder.exe", "AFOLDER", NULL, EXIT_NOT_STARTED_CODE},
        {"notprog.exe", "NOTAPROG.EXE", NULL, EXIT_NOT_STARTED_CODE},
        {"missing98.exe", "NOSUCH.EXE", "win98", 0},   /* copies of missing.exe */
        {"missing351.exe", "NOSUCH.EXE", "nt351", EXIT_NOT_STARTED_CODE},   /* the look paints the box */
    };
    char notFound[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, ERROR_FILE_NOT_FOUND, 0,
                   notFound, sizeof notFound, NULL);
    ASSERT_NE(notFound[0], '\0');
    /* Not a program: the system's text names the file as "%1", which the box
     * must show with the path in its place. */
    char badFormat[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, ERROR_BAD_EXE_FORMAT, 0,
                   badFormat, sizeof badFormat, NULL);
    std::string notAProgram = badFormat;
    size_t insert = notAProgram.find("%1");
    ASSERT_NE(insert, std::string::npos) << "the text of error 193 names no file: " << notAProgram;
    notAProgram.replace(insert, 2, Work("NOTAPROG.EXE"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string shell = Work(c.name);
        if (c.version) {
            ASSERT_TRUE(RigCopyFile(Work("missing.exe"), shell));
            ASSERT_TRUE(RigSetWindowsVersion(c.name, c.version));
        } else {
            shell = Package(c.name, std::string("--program $SHELLDIR\\") + c.program);
        }
        RigMessageBox box;
        EXPECT_EQ(RunWithBox("\"" + shell + "\"", &box), c.exitCode);
        EXPECT_EQ(box.title, "Ormsted Shell");
        EXPECT_EQ(box.icon, RIG_ICON_EXCLAMATION);
        std::string intro = "The product could not be started:\n" + Work(c.program) + "\n\n";
        EXPECT_EQ(box.text.substr(0, intro.size()), intro);
        EXPECT_GT(box.text.size(), intro.size() + 2) << "the system's reason follows the path";
        EXPECT_EQ(box.text.find("%1"), std::string::npos) << box.text;
        if (strcmp(c.program, "NOSUCH.EXE") == 0) {
            EXPECT_EQ(box.text.substr(intro.size()), notFound);
        }
        if (strcmp(c.program, "NOTAPROG.EXE") == 0) {
            EXPECT_EQ(box.text.substr(intro.size()), notAProgram);
        }
        if (c.version)
            RigSetWindowsVersion(c.name, NULL);
    }
}

TEST_F(ShellWine, DefaultShellStartsProductBesideIt)
{
    /* The shell as built, copied beside a PRODUCT.EXE, starts it. */
    ASSERT_TRUE(RigCopyFile("ORMGEN32.EXE", Work("ORMGEN32.EXE")));
    EXPECT_EQ(RunQuiet("\"" + Work("ORMGEN32.EXE") + "\" default"), 0u);
    EXPECT_EQ(Received(), "\"" + Work("PRODUCT.EXE") + "\" default");
}

/* ---- what a run loads ------------------------------------------------------ */

/* The file name, in upper case and without its folder, of a DLL the debugger
 * was told of: the name the system points at (lpImageName, a pointer in the
 * debuggee to the name), else the name of the file handle. */
std::string DebugDllName(HANDLE process, const LOAD_DLL_DEBUG_INFO &info)
{
    std::wstring name;
    void *pointer = NULL;
    SIZE_T got = 0;
    if (info.lpImageName != NULL &&
        ReadProcessMemory(process, info.lpImageName, &pointer, sizeof pointer, &got) &&
        pointer != NULL) {
        wchar_t buffer[MAX_PATH] = L"";
        char narrow[MAX_PATH] = "";
        if (info.fUnicode && ReadProcessMemory(process, pointer, buffer, sizeof buffer - 2, &got))
            name = buffer;
        else if (!info.fUnicode && ReadProcessMemory(process, pointer, narrow, sizeof narrow - 1, &got))
            name = RigWide(narrow);
    }
    if (name.empty() && info.hFile != NULL) {
        wchar_t buffer[MAX_PATH * 2] = L"";
        if (GetFinalPathNameByHandleW(info.hFile, buffer, MAX_PATH * 2, 0) != 0)
            name = buffer;
    }
    size_t slash = name.find_last_of(L"\\/");
    std::string base = RigUtf8(slash == std::wstring::npos ? name : name.substr(slash + 1));
    for (char &c : base)
        c = (char)toupper((unsigned char)c);
    return base;
}

/* Runs a command line under the debugger to its end and returns the names
 * of the DLLs its process loaded (DebugDllName); boxes it shows meanwhile
 * are dismissed. Only the process itself is followed, not what it starts. */
std::vector<std::string> LoadedDlls(const std::string &commandLine, DWORD *exitCode)
{
    std::vector<std::string> names;
    std::wstring line = RigWide(commandLine);
    STARTUPINFOW startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, NULL,
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start under the debugger: " << commandLine;
        return names;
    }
    RigProcess process = {info.hProcess, info.dwProcessId};
    DWORD deadline = GetTickCount() + EXIT_TIMEOUT_MS;
    bool running = true;
    while (running && (LONG)(deadline - GetTickCount()) > 0) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, 100)) {
            RigMessageBox box;
            if (RigFindMessageBox(&process, 0, &box))
                RigDismissMessageBox(&box);
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != NULL)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            names.push_back(DebugDllName(info.hProcess, event.u.LoadDll));
            if (event.u.LoadDll.hFile != NULL)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            /* The system's first breakpoint is ours; anything else is the
             * process's own to handle. */
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            *exitCode = event.u.ExitProcess.dwExitCode;
            running = false;
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (running) {
        ADD_FAILURE() << "did not end under the debugger: " << commandLine;
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return names;
}

bool Holds(const std::vector<std::string> &names, const char *name)
{
    for (const std::string &n : names)
        if (n == name)
            return true;
    return false;
}

/* USER32 and GDI32 (and with them the display) cost more to load under Wine
 * than all the rest of the shell's start: a run that shows no window loads
 * neither. One that shows a box loads both, and that box still has the look
 * (LookFrameOnShellBoxesUnderNT351). */
TEST_F(ShellWine, RunWithoutBoxLoadsNoWindowLibraries)
{
    DWORD code = 99;
    std::string quiet = Packaged("--program $SHELLDIR\\PRODUCT.EXE");
    std::vector<std::string> dlls = LoadedDlls("\"" + quiet + "\" quiet", &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Received(), "\"" + Work("PRODUCT.EXE") + "\" quiet");
    EXPECT_TRUE(Holds(dlls, "KERNEL32.DLL")) << "the debugger saw no load at all";
    EXPECT_FALSE(Holds(dlls, "USER32.DLL"));
    EXPECT_FALSE(Holds(dlls, "GDI32.DLL"));

    /* A shell that shows message 2. */
    std::string boxed = Packaged("--program $SHELLDIR\\PRODUCT.EXE --config-required");
    dlls = LoadedDlls("\"" + boxed + "\"", &code);
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(Holds(dlls, "USER32.DLL"));
    EXPECT_TRUE(Holds(dlls, "GDI32.DLL"));
}

/* ---- the three-dimensional look on the shell's boxes ------------------- */

/* Under NT 3.51 (a Windows that draws no 3-D frames) the look paints the
 * dialog frame of the shell's later boxes, message 2 and the failed start:
 * one line of button shadow, then one of highlight, at the top. The look is
 * opened only as the first of them comes, and it must be whole then. The
 * invalid-record box comes before the look is wanted and keeps the system's
 * frame. The captures are kept (as BMP in the work folder) for the README's
 * pictures. */
TEST_F(ShellWine, LookFrameOnShellBoxesUnderNT351)
{
    const struct {
        const char *name;
        const char *flags;
        bool damageRecord;
        bool look;
    } cases[] = {
        {"look_msg2.exe", "--program $SHELLDIR\\PRODUCT.EXE --config-required", false, true},
        {"look_nostart.exe", "--program $SHELLDIR\\NOSUCH.EXE", false, true},
        {"look_invalid.exe", "--program $SHELLDIR\\PRODUCT.EXE", true, false},
    };
    DWORD shadow = RigRgb(GetSysColor(COLOR_BTNSHADOW));
    DWORD hilite = RigRgb(GetSysColor(COLOR_BTNHIGHLIGHT));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string shell = Package(c.name, c.flags);
        if (c.damageRecord) {
            RecordCase damage = {c.name, -1, 3656, 1, -1, false, false};
            RewriteRecord(shell, damage);
        }
        ASSERT_TRUE(RigSetWindowsVersion(c.name, "nt351"));
        RigProcess process;
        ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process));
        RigMessageBox box;
        ASSERT_TRUE(RigFindMessageBox(&process, BOX_TIMEOUT_MS, &box));
        RigImage image = RigCaptureWindow(box.window);
        RigSaveBmp(Work(std::string(c.name) + ".bmp"), image);
        RigDismissMessageBox(&box);
        DWORD code = 0;
        EXPECT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
        ASSERT_GT(image.width, 20);
        int x = image.width / 2;
        if (c.look) {
            EXPECT_EQ(image.At(x, 0), shadow) << std::hex << image.At(x, 0);
            EXPECT_EQ(image.At(x, 1), hilite) << std::hex << image.At(x, 1);
            EXPECT_EQ(image.At(0, image.height / 2), shadow);
            EXPECT_EQ(image.At(image.width - 1, image.height / 2), RigRgb(GetSysColor(COLOR_WINDOWFRAME)));
        } else {
            EXPECT_NE(image.At(x, 0), shadow) << std::hex << image.At(x, 0);
        }
        RigSetWindowsVersion(c.name, NULL);
    }
}

/* ---- waiting for the product -------------------------------------------- */

class HeldProduct {
public:
    explicit HeldProduct(const char *eventName)
    {
        event_ = CreateEventA(NULL, TRUE, FALSE, eventName);
        SetEnvironmentVariableA("PROBE_HOLD", eventName);
    }
    ~HeldProduct()
    {
        SetEvent(event_);
        CloseHandle(event_);
        SetEnvironmentVariableA("PROBE_HOLD", NULL);
    }
    void Release() { SetEvent(event_); }

private:
    HANDLE event_;
};

TEST_F(ShellWine, WaitFlagKeepsShellUntilProductEnds)
{
    const struct {
        const char *name;
        const char *flags;
        bool waits;
    } cases[] = {{"wait.exe", "--wait", true}, {"nowait.exe", "", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string shell = Package(c.name, std::string("--program $SHELLDIR\\PRODUCT.EXE ") + c.flags);
        HeldProduct held("OrmShellTestHold");
        SetEnvironmentVariableA("PROBE_DONE", Work("done.txt").c_str());
        DeleteFileA(Work("done.txt").c_str());
        RigProcess process;
        DWORD code = 0xDEADBEEF;
        ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process));
        if (c.waits) {
            EXPECT_FALSE(RigWaitExit(&process, 1500, &code)) << "the shell ended while its product ran";
            held.Release();
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
            /* The product ended before the shell did. */
            EXPECT_EQ(RigWaitForFile(Work("done.txt"), 1000), "done");
        } else {
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
            EXPECT_EQ(RigReadFile(Work("done.txt")), "") << "the product was still held";
        }
        EXPECT_EQ(code, 0u);
        SetEnvironmentVariableA("PROBE_DONE", NULL);
    }
}

TEST_F(ShellWine, WaitOnProductThatAlreadyEnded)
{
    std::string shell = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait");
    EXPECT_EQ(RunQuiet("\"" + shell + "\""), 0u);
    EXPECT_TRUE(ProductStarted());
}

/* Without a process id (the product path does not start), the Windows 95
 * family polls the process list for a process with the product's executable;
 * NT does not wait at all. The product path is a bare name: the shell cannot
 * start it from its own folder, but a process of that name runs. */
TEST_F(ShellWine, WaitFallbackPollsProcessListOn95Family)
{
    const char *holderName = "ORMHOLD.EXE";
    ASSERT_TRUE(RigCopyFile("probe.exe", Work(holderName)));
    const struct {
        const char *version;
        bool waits;
    } cases[] = {{"win98", true}, {"nt40", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.version);
        std::string name = std::string("fallback_") + c.version + ".exe";
        std::string shell = Package(name, std::string("--program ") + holderName + " --wait");
        ASSERT_TRUE(RigSetWindowsVersion(name.c_str(), c.version));

        HeldProduct held("OrmShellFallbackHold");
        RigProcess holder;
        ASSERT_TRUE(RigStart(("\"" + Work(holderName) + "\"").c_str(), &holder));
        SetEnvironmentVariableA("PROBE_HOLD", NULL);

        RigProcess process;
        DWORD code = 0xDEADBEEF;
        ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process));
        RigMessageBox box;
        ASSERT_TRUE(RigFindMessageBox(&process, BOX_TIMEOUT_MS, &box)) << "launch failure box";
        EXPECT_NE(box.text.find(holderName), std::string::npos) << box.text;
        RigDismissMessageBox(&box);
        if (c.waits) {
            EXPECT_FALSE(RigWaitExit(&process, 1500, &code)) << "the shell ended while a namesake ran";
            held.Release();
            DWORD holderCode = 0;
            EXPECT_TRUE(RigWaitExit(&holder, EXIT_TIMEOUT_MS, &holderCode));
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
            EXPECT_EQ(code, 0u) << "the 95 family keeps exit code 0 after a failed start";
        } else {
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code)) << "NT has no fallback wait";
            EXPECT_EQ(code, EXIT_NOT_STARTED_CODE);
            held.Release();
            DWORD holderCode = 0;
            EXPECT_TRUE(RigWaitExit(&holder, EXIT_TIMEOUT_MS, &holderCode));
        }
        RigKill(&holder);
        RigSetWindowsVersion(name.c_str(), NULL);
    }
}

/* ---- names and lengths the ANSI calls could not carry ------------------- */

/* A shell in a folder whose name the ANSI code page cannot spell starts its
 * product from that folder and reads its required configuration. */
TEST_F(ShellWine, ShellInFolderOutsideAnsiCodePage)
{
    std::string folder = Work("Ελληνικά 中文 \xF0\x9F\x99\x82");
    ASSERT_TRUE(RigMakeFolder(folder));
    std::string packaged =
        Packaged("--program $SHELLDIR\\PRODUCT.EXE --config-required --config \"" + ConfigFile() + "\"");
    ASSERT_TRUE(RigCopyFile(packaged, folder + "\\SHELL.EXE"));
    ASSERT_TRUE(RigCopyFile("probe.exe", folder + "\\PRODUCT.EXE"));
    EXPECT_EQ(RunQuiet("\"" + folder + "\\SHELL.EXE\" x"), 0u);
    EXPECT_EQ(Received(), "\"" + folder + "\\PRODUCT.EXE\" x");
}

/* A folder made under WORK, as deep as it takes for `fileName` in it to have
 * a full name of `total` characters. */
std::string DeepFolder(size_t total, const std::string &fileName)
{
    std::string folder = Work("deep" + std::to_string(total));
    EXPECT_TRUE(RigMakeFolder(folder));
    size_t folderLength = total - fileName.size() - 1;
    while (folder.size() < folderLength) {
        size_t left = folderLength - folder.size();
        folder += "\\" + std::string(left - 1 <= 100 ? left - 1 : 90, 'd');
        EXPECT_TRUE(RigMakeFolder(folder)) << folder.size();
    }
    return folder;
}

/* Shells whose full name is 250 to 257 characters long: the product beside
 * them starts, and the configuration appended to them is found. (257 is the
 * longest program path that Wine 8 starts.) */
TEST_F(ShellWine, ShellInDeepFolder)
{
    std::string packaged =
        Packaged("--program $SHELLDIR\\PRODUCT.EXE --config-required --config \"" + ConfigFile() + "\"");
    for (size_t total : {250, 254, 256, 257}) {
        SCOPED_TRACE(total);
        std::string folder = DeepFolder(total, "SHELL.EXE");
        std::string shell = folder + "\\SHELL.EXE";
        ASSERT_EQ(shell.size(), total);
        ASSERT_TRUE(RigCopyFile(packaged, shell));
        ASSERT_TRUE(RigCopyFile("probe.exe", folder + "\\PRODUCT.EXE"));
        DeleteFileA(Work("received.txt").c_str());
        EXPECT_EQ(RunQuiet("\"" + shell + "\" deep"), 0u);
        EXPECT_EQ(Received(), "\"" + folder + "\\PRODUCT.EXE\" deep");
    }
}

/* Deeper, Wine starts no program at all (nor does Windows beyond 259
 * characters without long-path support), so the shell's steps are run here
 * on a packaged shell loaded as a module from such a folder: its own name
 * comes whole, its configuration is found, $SHELLDIR\ points beside it. */
TEST_F(ShellWine, ShellStepsBeyondPlainPathLength)
{
    std::string packaged =
        Packaged("--program $SHELLDIR\\PRODUCT.EXE --config-required --config \"" + ConfigFile() + "\"");
    for (size_t total : {259, 300}) {
        SCOPED_TRACE(total);
        std::string folder = DeepFolder(total, "SHELL.EXE");
        std::string shell = folder + "\\SHELL.EXE";
        ASSERT_TRUE(RigCopyFile(packaged, shell));
        HMODULE module = LoadLibraryW(RigFileName(shell).c_str());
        ASSERT_NE(module, nullptr) << GetLastError();

        ShellSelf self;
        GetShellSelf(module, TRUE, &self);
        ASSERT_NE(self.fileNameW, nullptr);
        EXPECT_EQ(RigUtf8(self.fileNameW), shell);
        IniFile *configuration = EmbedLoadIniW(self.fileNameW);
        EXPECT_NE(configuration, nullptr) << "the configuration appended to the shell";
        if (configuration)
            IniClose(configuration);
        wchar_t *product = ExpandPathMacrosW(&self, "$SHELLDIR\\PRODUCT.EXE");
        ASSERT_NE(product, nullptr);
        EXPECT_EQ(RigUtf8(product), folder + "\\PRODUCT.EXE");
        HeapFree(GetProcessHeap(), 0, product);
        HeapFree(GetProcessHeap(), 0, (void *)self.fileNameW);
        FreeLibrary(module);
    }
}

/* ---- exit-code pass-through ---------------------------------------------- */

TEST_F(ShellWine, PassExitCodeGivesTheProductsCode)
{
    std::string passing = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait --pass-exit-code");
    std::string waiting = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait");
    const struct {
        const std::string *shell;
        const char *productCode;
        DWORD expected;
    } cases[] = {
        {&passing, "0", 0}, {&passing, "42", 42}, {&passing, "-5", (DWORD)-5}, {&waiting, "42", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(*c.shell + " with a product ending with " + c.productCode);
        SetEnvironmentVariableA("PROBE_EXIT", c.productCode);
        EXPECT_EQ(RunQuiet("\"" + *c.shell + "\""), c.expected);
        EXPECT_TRUE(ProductStarted());
    }
}

/* ---- tied lifetime -------------------------------------------------------- */

/* The product (probe, held) and the child it starts (a second probe), each
 * reporting its process id; opened for waiting. */
struct ProductPair {
    HANDLE product, child;
};

class TiedShell : public ShellWine {
protected:
    void SetUp() override
    {
        ShellWine::SetUp();
        ASSERT_TRUE(RigCopyFile("probe.exe", Work("CHILD.EXE")));
        SetEnvironmentVariableA("PROBE_PID", Work("pid.txt").c_str());
        SetEnvironmentVariableA("PROBE_SPAWN", Work("CHILD.EXE").c_str());
        SetEnvironmentVariableA("PROBE_SPAWN_PID", Work("childpid.txt").c_str());
        DeleteFileA(Work("pid.txt").c_str());
        DeleteFileA(Work("childpid.txt").c_str());
    }

    static HANDLE OpenReported(const std::string &pidFile)
    {
        std::string pid = RigWaitForFile(pidFile, 30000);
        EXPECT_FALSE(pid.empty()) << pidFile;
        return pid.empty() ? NULL : OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, strtoul(pid.c_str(), NULL, 10));
    }

    ProductPair OpenPair()
    {
        ProductPair pair = {OpenReported(Work("pid.txt")), OpenReported(Work("childpid.txt"))};
        EXPECT_NE(pair.product, nullptr);
        EXPECT_NE(pair.child, nullptr);
        return pair;
    }

    /* Whether both end within the bound (true) or both still run at its end. */
    static void ExpectEnded(const ProductPair &pair, bool ended, DWORD boundMs)
    {
        for (HANDLE process : {pair.product, pair.child}) {
            if (process == NULL)
                continue;
            DWORD result = WaitForSingleObject(process, boundMs);
            EXPECT_EQ(result, ended ? WAIT_OBJECT_0 : (DWORD)WAIT_TIMEOUT)
                << (ended ? "still running after the shell was ended" : "ended with the shell");
            boundMs = ended ? boundMs : 0;
        }
    }

    static void Close(ProductPair *pair)
    {
        for (HANDLE *process : {&pair->product, &pair->child}) {
            if (*process) {
                if (WaitForSingleObject(*process, 15000) != WAIT_OBJECT_0)
                    TerminateProcess(*process, 0xDEAD);
                CloseHandle(*process);
                *process = NULL;
            }
        }
    }
};

/* Ending the waiting shell ends the product and what it started when the
 * shell ties them (--kill-with-shell); without the option, or on the 95
 * family where there are no jobs, they keep running. */
TEST_F(TiedShell, EndingTheShellEndsTheProduct)
{
    std::string tied = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait --kill-with-shell");
    std::string untied = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait");
    ASSERT_TRUE(RigCopyFile(tied, Work("tied98.exe")));
    ASSERT_TRUE(RigSetWindowsVersion("tied98.exe", "win98"));
    const struct {
        std::string shell;
        bool ends;
    } cases[] = {{tied, true}, {untied, false}, {Work("tied98.exe"), false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shell);
        DeleteFileA(Work("pid.txt").c_str());
        DeleteFileA(Work("childpid.txt").c_str());
        HeldProduct held("OrmShellTieHold");
        RigProcess shell;
        ASSERT_TRUE(RigStart(("\"" + c.shell + "\"").c_str(), &shell));
        ProductPair pair = OpenPair();
        RigKill(&shell);
        ExpectEnded(pair, c.ends, c.ends ? 15000 : 2000);
        held.Release();
        Close(&pair);
    }
    RigSetWindowsVersion("tied98.exe", NULL);
}

/* A product that ended by itself leaves what it started running: the tie
 * holds only while the shell waits. */
TEST_F(TiedShell, ChildOfAnEndedProductKeepsRunning)
{
    std::string tied = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait --kill-with-shell");
    HANDLE childHold = CreateEventA(NULL, TRUE, FALSE, "OrmShellChildHold");
    SetEnvironmentVariableA("PROBE_SPAWN_HOLD", "OrmShellChildHold");
    EXPECT_EQ(RunQuiet("\"" + tied + "\""), 0u);
    HANDLE child = OpenReported(Work("childpid.txt"));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitForSingleObject(child, 2000), (DWORD)WAIT_TIMEOUT) << "the product's child ended with the shell";
    SetEvent(childHold);
    EXPECT_EQ(WaitForSingleObject(child, 15000), WAIT_OBJECT_0);
    CloseHandle(child);
    CloseHandle(childHold);
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

/* The shell's own window: the system gives a thread that makes a window
 * hidden windows of its own as well (the input method's "IME"), and which
 * of them comes first in the enumeration is a matter of timing. */
BOOL CALLBACK FindTopLevelOf(HWND window, LPARAM param)
{
    WindowSearch *search = (WindowSearch *)param;
    DWORD pid = 0;
    char className[64] = "";
    GetWindowThreadProcessId(window, &pid);
    GetClassNameA(window, className, sizeof className);
    if (pid != search->pid || strcmp(className, "OrmstedShellSession") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

/* Polls (up to 20 s) for the shell's top-level window, hidden or not. */
HWND WaitForWindowOf(DWORD pid)
{
    WindowSearch search = {pid, NULL};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
        EnumWindows(FindTopLevelOf, (LPARAM)&search);
        if (search.found)
            break;
    }
    return search.found;
}

/* At the end of the session the tied shell lets go of the product before it
 * is ended itself, so the product gets its own chance to save; an end that
 * is cancelled ties them again. The session messages are sent to the
 * shell's windows as the system sends them. */
TEST_F(TiedShell, EndOfSessionUnties)
{
    std::string tied = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait --kill-with-shell");
    for (bool ending : {true, false}) {
        SCOPED_TRACE(ending ? "session ends" : "end cancelled");
        DeleteFileA(Work("pid.txt").c_str());
        DeleteFileA(Work("childpid.txt").c_str());
        HeldProduct held("OrmShellSessionHold");
        RigProcess shell;
        ASSERT_TRUE(RigStart(("\"" + tied + "\"").c_str(), &shell));
        ProductPair pair = OpenPair();
        HWND window = WaitForWindowOf(shell.pid);
        ASSERT_NE(window, nullptr) << "the tied shell keeps a window for the session messages";
        DWORD_PTR answer = 0;
        /* A polite close does not take the watch away. */
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer));
        EXPECT_TRUE(IsWindow(window));
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                                        &answer));
        EXPECT_EQ(answer, (DWORD_PTR)TRUE) << "the shell agrees to end";
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_ENDSESSION, ending, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                                        &answer));
        RigKill(&shell);
        ExpectEnded(pair, !ending, ending ? 2000 : 15000);
        held.Release();
        Close(&pair);
    }
}

/* ---- the waiting shell reads its messages -------------------------------- */

/* The "app starting" cursor stays up until the program reads a message; the
 * system's WaitForInputIdle waits for the same moment. A waiting shell gets
 * there at once instead of after the system's time-out. */
TEST_F(ShellWine, WaitingShellIsIdleForInput)
{
    std::string shell = Packaged("--program $SHELLDIR\\PRODUCT.EXE --wait");
    HeldProduct held("OrmShellIdleHold");
    RigProcess process;
    ASSERT_TRUE(RigStart(("\"" + shell + "\"").c_str(), &process));
    EXPECT_TRUE(ProductStarted());
    EXPECT_EQ(WaitForInputIdle(process.process, 10000), 0u);
    held.Release();
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
    EXPECT_EQ(code, 0u);
    RigKill(&process);
}

}  // namespace
