/*
 * End-to-end tests of ORMGEN32.EXE under Wine: real shells packaged by the
 * real ormpack.exe, started with exact command lines, their message boxes
 * read back and dismissed, their full exit codes and what the probe product
 * received checked. Records are damaged in place for the validation cases;
 * Windows versions are emulated per executable name.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "pe_image.h"
#include "rig_util.h"
#include "settings_record.h"

namespace {

const char *const WORK = "shell_work";
const DWORD BOX_TIMEOUT_MS = 20000;
const DWORD EXIT_TIMEOUT_MS = 20000;
const DWORD EXIT_FAILED_CODE = 0xFFFFFFFFu;   /* -1 */

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
        SetEnvironmentVariableA("PROBE_DONE", NULL);
        SetEnvironmentVariableA("PROBE_HOLD", NULL);
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

TEST_F(ShellWine, ProductReceivesQuotedPathAndTail)
{
    std::string shell = Package("cmdline.exe", "--program $SHELLDIR\\PRODUCT.EXE");
    std::string product = Work("PRODUCT.EXE");
    std::string longTail(1100, 'x');
    const struct {
        const char *name;
        std::string tail;
    } cases[] = {
        {"empty", ""},
        {"words", "alpha beta"},
        {"quotes and blanks", "\"a b\"   c \"\" \\\"d\\\" "},
        {"long", longTail},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(Work("received.txt").c_str());
        /* The runtime strips the program name and the blanks after it. */
        std::string line = "\"" + shell + "\"" + (c.tail.empty() ? "" : " " + c.tail);
        EXPECT_EQ(RunQuiet(line), 0u);
        std::string expected = ("\"" + product + "\" " + c.tail).substr(0, 1023);
        EXPECT_EQ(Received(), expected);
    }
}

TEST_F(ShellWine, ProductInheritsShowState)
{
    std::string shell = Package("show.exe", "--program $SHELLDIR\\PRODUCT.EXE");
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

TEST_F(ShellWine, MissingProductIsReportedAndExitsZero)
{
    std::string shell = Package("missing.exe", "--program $SHELLDIR\\NOSUCH.EXE");
    RigMessageBox box;
    EXPECT_EQ(RunWithBox("\"" + shell + "\"", &box), 0u);
    EXPECT_EQ(box.title, "Ormsted Shell");
    EXPECT_NE(box.text.find(Work("NOSUCH.EXE")), std::string::npos) << box.text;
    /* The system's own description of "file not found" follows the path. */
    char reason[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, ERROR_FILE_NOT_FOUND, 0,
                   reason, sizeof reason, NULL);
    ASSERT_NE(reason[0], '\0');
    EXPECT_NE(box.text.find(reason), std::string::npos) << box.text;
    EXPECT_EQ(box.icon, RIG_ICON_EXCLAMATION);
}

TEST_F(ShellWine, DefaultShellStartsProductBesideIt)
{
    /* The shell as built, copied beside a PRODUCT.EXE, starts it. */
    ASSERT_TRUE(RigCopyFile("ORMGEN32.EXE", Work("ORMGEN32.EXE")));
    EXPECT_EQ(RunQuiet("\"" + Work("ORMGEN32.EXE") + "\" default"), 0u);
    EXPECT_EQ(Received(), "\"" + Work("PRODUCT.EXE") + "\" default");
}

/* ---- the three-dimensional look on the shell's boxes ------------------- */

/* Under NT 3.51 (a Windows that draws no 3-D frames) the look paints the
 * dialog frame of the shell's later boxes: one line of button shadow, then
 * one of highlight, at the top. The invalid-record box comes before the look
 * is hooked and keeps the system's frame. The captures are kept (as BMP in the
 * work folder) for the README's pictures. */
TEST_F(ShellWine, LookFrameOnMessage2OnlyUnderNT351)
{
    const struct {
        const char *name;
        const char *flags;
        bool damageRecord;
        bool look;
    } cases[] = {
        {"look_msg2.exe", "--config-required", false, true},
        {"look_invalid.exe", "", true, false},
    };
    DWORD shadow = RigRgb(GetSysColor(COLOR_BTNSHADOW));
    DWORD hilite = RigRgb(GetSysColor(COLOR_BTNHIGHLIGHT));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string shell = Package(c.name, std::string("--program $SHELLDIR\\PRODUCT.EXE ") + c.flags);
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
    std::string shell = Package("wait_ended.exe", "--program $SHELLDIR\\PRODUCT.EXE --wait");
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
            EXPECT_TRUE(RigWaitExit(&holder, EXIT_TIMEOUT_MS, &code));
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code));
        } else {
            ASSERT_TRUE(RigWaitExit(&process, EXIT_TIMEOUT_MS, &code)) << "NT has no fallback wait";
            held.Release();
            EXPECT_TRUE(RigWaitExit(&holder, EXIT_TIMEOUT_MS, &code));
        }
        EXPECT_EQ(code, 0u);
        RigKill(&holder);
        RigSetWindowsVersion(name.c_str(), NULL);
    }
}

}  // namespace
