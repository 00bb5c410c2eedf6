/*
 * Win32 test program of the configuration engine and the file access
 * layer, run under Wine. It links the same case tables as the native test
 * program (tests/common) and adds what only Windows shows: sharing modes,
 * the hidden and system attributes, byte-range locks that make reads and
 * writes fail, and the real free-space query.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include <vector>

#include "embed.h"
#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"
#include "packaged_file.h"
#include "rig_util.h"

namespace {

const DWORD kSharingViolation = 32;

std::string MakeFile(const ScratchDir &dir, const char *name, const std::string &bytes)
{
    std::string p = dir.File(name);
    EXPECT_TRUE(WriteWholeFile(p, bytes));
    return p;
}

TEST(FileWin32, SetAttributesZeroGivesNormal)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "attr.txt", "a");
    uint32_t err;
    uint16_t attrs;
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), FILE_ATTR_READONLY | FILE_ATTR_HIDDEN |
                                                  FILE_ATTR_SYSTEM, &err));
    const DWORD plain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    DWORD a = GetFileAttributesA(p.c_str());
    EXPECT_EQ(plain, a & (plain | FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(1, FileGetAttributes(p.c_str(), &attrs, &err));
    EXPECT_EQ(FILE_ATTR_READONLY | FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM, attrs);
    FileSearch s;
    char name[64];
    ASSERT_EQ(1, FileFindFirst(p.c_str(), &s, &attrs, name, sizeof name, &err));
    EXPECT_EQ(FILE_ATTR_READONLY | FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM, attrs);
    FileFindClose(s, &err);
    ASSERT_EQ(1, FileSetAttributes(p.c_str(), 0, &err));
    /* Windows reports the normal attribute alone; Wine shows a plain file
     * as "archive" only (it keeps no archive bit). */
    a = GetFileAttributesA(p.c_str());
    EXPECT_TRUE(a == FILE_ATTRIBUTE_NORMAL || a == FILE_ATTRIBUTE_ARCHIVE) << std::hex << a;
}

TEST(FileWin32, DenyFlagsShareModes)
{
    ScratchDir dir;
    std::string p = MakeFile(dir, "share.txt", "s");
    FileHandle a, b;
    uint32_t err;
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_DENY_WRITE, &a, &err));
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_WRITE, &b, &err));
    EXPECT_EQ(kSharingViolation, err);
    EXPECT_EQ(FILE_NO_HANDLE, b);
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ, &b, &err)) << err;
    FileClose(b, &err);
    FileClose(a, &err);

    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_WRITE | FILE_DENY_READ, &a, &err));
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_READ, &b, &err));
    EXPECT_EQ(kSharingViolation, err);
    uint32_t size = 77;
    EXPECT_EQ(0, FileSizeByName(p.c_str(), &size, &err));
    EXPECT_EQ(kSharingViolation, err);
    EXPECT_EQ(0u, size);
    FileClose(a, &err);

    /* Without deny flags the file is shared for reading and writing. */
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &a, &err));
    ASSERT_EQ(1, FileOpen(p.c_str(), FILE_READ | FILE_WRITE, &b, &err)) << err;
    FileClose(a, &err);
    FileClose(b, &err);
}

TEST(FileWin32, CreateNewSharesForReadingOnly)
{
    ScratchDir dir;
    std::string p = dir.File("new.txt");
    FileHandle h, other;
    uint16_t exists;
    uint32_t err;
    ASSERT_EQ(1, FileCreateNew(p.c_str(), &exists, &h, &err));
    EXPECT_EQ(1, FileOpen(p.c_str(), FILE_READ, &other, &err)) << err;
    FileClose(other, &err);
    EXPECT_EQ(0, FileOpen(p.c_str(), FILE_WRITE, &other, &err));
    EXPECT_EQ(kSharingViolation, err);
    FileClose(h, &err);
}

TEST(FileWin32, SizeOfBadHandle)
{
    uint32_t size = 5, err = 0;
    EXPECT_EQ(0, FileGetSize(0x12345678u, &size, &err));
    EXPECT_EQ(0u, size);
    EXPECT_EQ((uint32_t)ERROR_INVALID_HANDLE, err);
}

TEST(FileWin32, DiskFreeBytesMatchesSystem)
{
    ScratchDir dir;
    FileU64 mine;
    uint32_t err;
    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_EQ(1, DiskFreeBytes(dir.path.c_str(), &mine, &err));
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.path.c_str(), &avail, &total, &totalFree));
    uint64_t a = ((uint64_t)mine.high << 32) | mine.low;
    uint64_t b = avail.QuadPart;
    uint64_t diff = a > b ? a - b : b - a;
    EXPECT_LT(diff, 64ull << 20) << a << " against " << b;
    EXPECT_EQ(0, DiskFreeBytes("Q:\\no\\such\\drive", &mine, &err));
    EXPECT_NE(0u, err);
}

/* A name the ANSI code page cannot spell (Greek and CJK letters): the
 * narrow open cannot reach the file, FileOpenW and EmbedLoadIniW can. */
TEST(FileWin32, WideNameOpensWhatTheAnsiNameCannot)
{
    ScratchDir dir;
    std::wstring name;
    for (char c : dir.path)
        name += (wchar_t)(unsigned char)c;
    name += L"\\\u03b1\u03b2\u4e2d.exe";

    const std::string file = PackagedFileBytes("[Product]\nkey=\"wide\"\n");
    ASSERT_FALSE(file.empty());
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, file.data(), (DWORD)file.size(), &written, NULL));
    CloseHandle(h);

    char narrow[MAX_PATH * 2];
    ASSERT_NE(0, WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow, sizeof narrow,
                                     NULL, NULL));
    FileHandle handle;
    uint32_t err = 0;
    EXPECT_EQ(0, FileOpen(narrow, FILE_READ, &handle, &err)) << narrow;
    EXPECT_EQ(NULL, EmbedLoadIni(narrow));

    ASSERT_EQ(1, FileOpenW(name.c_str(), FILE_READ, &handle, &err)) << err;
    uint32_t size = 0;
    EXPECT_EQ(1, FileGetSize(handle, &size, &err));
    EXPECT_EQ(file.size(), size);
    EXPECT_EQ(1, FileClose(handle, &err));

    IniFile *ini = EmbedLoadIniW(name.c_str());
    ASSERT_NE(nullptr, ini);
    EXPECT_STREQ("wide", IniGetValue(ini, "Product", "key", NULL));
    IniClose(ini);
    DeleteFileW(name.c_str());
}

/* What the replaced CreateFileW was asked to open. */
std::wstring openedName;

HANDLE WINAPI RecordingCreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                   HANDLE)
{
    openedName = name;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

/* From MAX_PATH characters on, a drive or network name is opened through its
 * \\?\ or \\?\UNC\ form; other names go to the system as they are. */
TEST(FileWin32, LongNamesOpenThroughTheirLongForm)
{
    const std::wstring deep = std::wstring(300, L'd') + L"\\SHELL.EXE";
    const std::wstring at259 = L"C:\\" + std::wstring(MAX_PATH - 4, L'e');
    const std::wstring at260 = at259 + L"e";
    const struct {
        const char *name;
        std::wstring path, opened;
    } cases[] = {
        {"short drive name", L"C:\\app\\SHELL.EXE", L"C:\\app\\SHELL.EXE"},
        {"259 characters", at259, at259},
        {"260 characters", at260, L"\\\\?\\" + at260},
        {"long drive name", L"C:\\" + deep, L"\\\\?\\C:\\" + deep},
        {"long drive name, small letter", L"z:\\" + deep, L"\\\\?\\z:\\" + deep},
        {"long network name", L"\\\\server\\share\\" + deep,
         L"\\\\?\\UNC\\server\\share\\" + deep},
        {"long name with the prefix", L"\\\\?\\C:\\" + deep, L"\\\\?\\C:\\" + deep},
        {"long device name", L"\\\\.\\C:\\" + deep, L"\\\\.\\C:\\" + deep},
        {"long relative name", L"dir\\" + deep, L"dir\\" + deep},
        {"long name relative to a drive", L"C:" + deep, L"C:" + deep},
    };
    void *real = RigReplaceImport("kernel32.dll", "CreateFileW", (void *)RecordingCreateFileW);
    ASSERT_NE(nullptr, real) << "this program does not import CreateFileW";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openedName = L"(not asked)";
        FileHandle handle = 0;
        uint32_t err = 0;
        EXPECT_EQ(0, FileOpenW(c.path.c_str(), FILE_READ, &handle, &err));
        EXPECT_EQ((uint32_t)ERROR_FILE_NOT_FOUND, err) << "the system's error is passed on";
        EXPECT_EQ(FILE_NO_HANDLE, handle);
        EXPECT_TRUE(openedName == c.opened) << RigUtf8(openedName);
    }
    RigReplaceImport("kernel32.dll", "CreateFileW", real);
}

/* And with the system's CreateFileW: a packaged file in a folder deeper than
 * MAX_PATH, named plainly, is opened and its configuration read. */
TEST(FileWin32, LongNameOfAPackagedFileIsRead)
{
    ScratchDir dir;
    std::wstring folder = RigWide(dir.path);
    std::vector<std::wstring> made;
    while (folder.size() < MAX_PATH + 20) {
        folder += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), NULL)) << GetLastError();
        made.push_back(folder);
    }
    const std::wstring name = folder + L"\\packaged.exe";
    ASSERT_GE(name.size(), (size_t)MAX_PATH);
    const std::string bytes = PackagedFileBytes("[Product]\nkey=\"deep\"\n");
    HANDLE h = CreateFileW((L"\\\\?\\" + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0,
                           NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, NULL));
    CloseHandle(h);

    FileHandle handle;
    uint32_t err = 0, size = 0;
    ASSERT_EQ(1, FileOpenW(name.c_str(), FILE_READ, &handle, &err)) << err;
    EXPECT_EQ(1, FileGetSize(handle, &size, &err));
    EXPECT_EQ(bytes.size(), size);
    EXPECT_EQ(1, FileClose(handle, &err));
    IniFile *ini = EmbedLoadIniW(name.c_str());
    ASSERT_NE(nullptr, ini);
    EXPECT_STREQ("deep", IniGetValue(ini, "Product", "key", NULL));
    IniClose(ini);

    DeleteFileW((L"\\\\?\\" + name).c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
}

/* Windows makes reads and writes fail in a range that another handle has
 * locked, but Wine does not enforce byte-range locks on ReadFile and
 * WriteFile; the failures are made here with Linux devices that Wine
 * reaches through drive Z: (the root of the Linux file system). */
const char kFullDevice[] = "Z:\\dev\\full";        /* every write: disk full */
const char kUnreadable[] = "Z:\\proc\\self\\mem";  /* reading at 0 fails */

/* A read that fails ends the text silently: the parse succeeds with what
 * was read before, here nothing. */
TEST(IniWin32, FailedReadEndsTextSilently)
{
    FileHandle h;
    uint32_t err, got = 0;
    char buf[16];
    if (!FileOpen(kUnreadable, FILE_READ, &h, &err))
        GTEST_SKIP() << "no Linux file system on Z: (" << err << ")";
    EXPECT_EQ(0, FileReadAt(h, 0, buf, sizeof buf, &got, &err)) << "the read did not fail";
    FileClose(h, &err);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenFile(&ini, kUnreadable, nullptr));
    EXPECT_EQ(nullptr, ini->firstSection);
    IniClose(ini);
}

/* A write that fails stops the writer with INI_ERR_WRITE; the object is
 * left as it was. */
TEST(IniWin32, FailedWriteGivesWriteError)
{
    FileHandle h;
    uint32_t err, put = 0;
    if (!FileOpen(kFullDevice, FILE_WRITE, &h, &err))
        GTEST_SKIP() << "no Linux file system on Z: (" << err << ")";
    EXPECT_EQ(0, FileWriteAt(h, 0, "x", 1, &put, &err)) << "the write did not fail";
    FileClose(h, &err);
    IniFile *ini = nullptr;
    ASSERT_EQ(INI_OK, IniOpenText(&ini, "[S]\nk=1 ; c", 11));
    std::string before = IniDump(ini);
    EXPECT_EQ(INI_ERR_WRITE, IniWriteFile(ini, kFullDevice));
    EXPECT_EQ(before, IniDump(ini));
    EXPECT_EQ(FILE_NO_HANDLE, ini->fileHandle);
    IniClose(ini);
}

} // namespace
