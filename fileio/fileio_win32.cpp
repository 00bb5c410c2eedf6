/*
 * File access layer over the Win32 kernel. Every operation is one system
 * call (or a short fixed sequence of them) whose failure is passed on as the
 * 0 flag with GetLastError() in the out error code; nothing is retried and
 * the layer keeps no state.
 */
#include "fileio.h"

#include <windows.h>
#include <string.h>

#define SET_ERR(e, v) do { if (e) *(e) = (uint32_t)(v); } while (0)

/* A handle and its 32-bit form. Kernel handles fit in 32 bits on 64-bit
 * Windows too, where they widen by sign extension (as LongToHandle does):
 * FILE_NO_HANDLE is then INVALID_HANDLE_VALUE again, not 0xFFFFFFFF. */
static HANDLE ToHandle(FileHandle h)
{
    return (HANDLE)(intptr_t)(int32_t)h;
}

static FileHandle FromHandle(HANDLE h)
{
    return (FileHandle)(uintptr_t)h;
}

static uint16_t Fail(uint32_t *err)
{
    SET_ERR(err, GetLastError());
    return 0;
}

static uint16_t Done(BOOL ok, uint32_t *err)
{
    if (!ok)
        return Fail(err);
    SET_ERR(err, 0);
    return 1;
}

char PathSeparator(void)
{
    return '\\';
}

uint16_t DirGetCurrent(char *buf, uint32_t size)
{
    /* GetCurrentDirectoryA returns the needed size (non-zero) when the
     * buffer is too small; only a length below the size is a success. */
    DWORD n = GetCurrentDirectoryA(size, buf);
    return n != 0 && n < size;
}

uint16_t DirSetCurrent(const char *path)
{
    return SetCurrentDirectoryA(path) ? 1 : 0;
}

uint16_t DirCreate(const char *path, uint32_t *err)
{
    return Done(CreateDirectoryA(path, NULL), err);
}

uint16_t FileMakeTemp(char *buf, uint32_t size)
{
    char name[MAX_PATH];
    DWORD n = GetTempPathA(size, buf);
    if (n == 0 || n + 1 >= size)
        return 0;
    if (!GetTempFileNameA(buf, "ORM", 0, name))
        return 0;
    size_t len = strlen(name);
    if (len >= size) {
        DeleteFileA(name);          /* do not leave the new file behind */
        return 0;
    }
    memcpy(buf, name, len + 1);
    return 1;
}

/* Desired access and sharing of the FILE_* open flags. */
static void OpenModes(uint16_t flags, DWORD *access, DWORD *share)
{
    *access = 0;
    *share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (flags & FILE_READ)
        *access |= GENERIC_READ;
    if (flags & FILE_WRITE)
        *access |= GENERIC_WRITE;
    if (flags & FILE_DENY_READ)
        *share &= ~(DWORD)FILE_SHARE_READ;
    if (flags & FILE_DENY_WRITE)
        *share &= ~(DWORD)FILE_SHARE_WRITE;
}

static uint16_t Opened(HANDLE h, FileHandle *handle, uint32_t *err)
{
    if (h == INVALID_HANDLE_VALUE) {
        *handle = FILE_NO_HANDLE;
        return Fail(err);
    }
    *handle = FromHandle(h);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileOpen(const char *path, uint16_t flags, FileHandle *handle, uint32_t *err)
{
    DWORD access, share;
    OpenModes(flags, &access, &share);
    return Opened(CreateFileA(path, access, share, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL), handle, err);
}

uint16_t FileOpenW(const wchar_t *path, uint16_t flags, FileHandle *handle, uint32_t *err)
{
    DWORD access, share;
    OpenModes(flags, &access, &share);
    /* The 95 family and Win32s have CreateFileW only as a stub that fails
     * with ERROR_CALL_NOT_IMPLEMENTED, which is passed on as it is. */
    return Opened(CreateFileW(path, access, share, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL), handle, err);
}

uint16_t FileCreateNew(const char *path, uint16_t *exists, FileHandle *handle, uint32_t *err)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    *exists = 0;
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        *exists = (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS);
        *handle = FILE_NO_HANDLE;
        SET_ERR(err, e);
        return 0;
    }
    *handle = FromHandle(h);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileClose(FileHandle handle, uint32_t *err)
{
    return Done(CloseHandle(ToHandle(handle)), err);
}

/* Positions at `offset` from the start; the pointer must land there. The
 * distance is signed 32-bit, so offsets from 2 GiB on fail (negative seek).
 * A result of all bits set is an error only when GetLastError says so. */
static BOOL SeekTo(HANDLE h, uint32_t offset)
{
    SetLastError(NO_ERROR);
    DWORD pos = SetFilePointer(h, (LONG)offset, NULL, FILE_BEGIN);
    if (pos == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return FALSE;
    if (pos != offset) {
        SetLastError(ERROR_SEEK);
        return FALSE;
    }
    return TRUE;
}

uint16_t FileReadAt(FileHandle handle, uint32_t offset, void *buf, uint32_t count,
                    uint32_t *bytesRead, uint32_t *err)
{
    HANDLE h = ToHandle(handle);
    DWORD got = 0;
    if (!SeekTo(h, offset) || !ReadFile(h, buf, count, &got, NULL))
        return Fail(err);
    *bytesRead = got;
    return 1;
}

uint16_t FileWriteAt(FileHandle handle, uint32_t offset, const void *buf, uint32_t count,
                     uint32_t *bytesWritten, uint32_t *err)
{
    HANDLE h = ToHandle(handle);
    DWORD put = 0;
    if (!SeekTo(h, offset) || !WriteFile(h, buf, count, &put, NULL))
        return Fail(err);
    *bytesWritten = put;
    return 1;
}

uint16_t FileFlush(FileHandle handle, uint32_t *err)
{
    return Done(FlushFileBuffers(ToHandle(handle)), err);
}

uint16_t FileLockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err)
{
    return Done(LockFile(ToHandle(handle), offset, 0, length, 0), err);
}

uint16_t FileUnlockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err)
{
    return Done(UnlockFile(ToHandle(handle), offset, 0, length, 0), err);
}

uint16_t FileSetLength(FileHandle handle, uint32_t length, uint32_t *err)
{
    HANDLE h = ToHandle(handle);
    return Done(SeekTo(h, length) && SetEndOfFile(h), err);
}

uint16_t FileGetSize(FileHandle handle, uint32_t *size, uint32_t *err)
{
    DWORD s = GetFileSize(ToHandle(handle), NULL);
    if (s == INVALID_FILE_SIZE) {
        *size = 0;
        return Fail(err);
    }
    *size = s;
    SET_ERR(err, 0);
    return 1;
}

static void ToFileTime(const FileU64 *in, FILETIME *out)
{
    out->dwLowDateTime = in->low;
    out->dwHighDateTime = in->high;
}

static void FromFileTime(const FILETIME *in, FileU64 *out)
{
    out->low = in->dwLowDateTime;
    out->high = in->dwHighDateTime;
}

uint16_t FileGetTimes(FileHandle handle, FileTimes *times, uint32_t *err)
{
    FILETIME c, a, w;
    if (!GetFileTime(ToHandle(handle), &c, &a, &w))
        return Fail(err);
    FromFileTime(&c, &times->creation);
    FromFileTime(&a, &times->lastAccess);
    FromFileTime(&w, &times->lastWrite);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileSetTimes(FileHandle handle, const FileTimes *times, uint32_t *err)
{
    FILETIME c, a, w;
    ToFileTime(&times->creation, &c);
    ToFileTime(&times->lastAccess, &a);
    ToFileTime(&times->lastWrite, &w);
    return Done(SetFileTime(ToHandle(handle), &c, &a, &w), err);
}

uint16_t FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

/* The system's read-only, hidden, system and directory bits to ours. */
static uint16_t AttrsFromSystem(DWORD a, DWORD mask)
{
    uint16_t f = 0;
    a &= mask;
    if (a & FILE_ATTRIBUTE_READONLY)  f |= FILE_ATTR_READONLY;
    if (a & FILE_ATTRIBUTE_HIDDEN)    f |= FILE_ATTR_HIDDEN;
    if (a & FILE_ATTRIBUTE_SYSTEM)    f |= FILE_ATTR_SYSTEM;
    if (a & FILE_ATTRIBUTE_DIRECTORY) f |= FILE_ATTR_DIRECTORY;
    return f;
}

#define PLAIN_ATTRS (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)

uint16_t FileGetAttributes(const char *path, uint16_t *attrs, uint32_t *err)
{
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) {
        *attrs = 0;
        return Fail(err);
    }
    *attrs = AttrsFromSystem(a, PLAIN_ATTRS);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileSetAttributes(const char *path, uint16_t attrs, uint32_t *err)
{
    DWORD a = 0;
    if (attrs & FILE_ATTR_READONLY) a |= FILE_ATTRIBUTE_READONLY;
    if (attrs & FILE_ATTR_HIDDEN)   a |= FILE_ATTRIBUTE_HIDDEN;
    if (attrs & FILE_ATTR_SYSTEM)   a |= FILE_ATTRIBUTE_SYSTEM;
    if (a == 0)
        a = FILE_ATTRIBUTE_NORMAL;
    return Done(SetFileAttributesA(path, a), err);
}

uint16_t FileDelete(const char *path, uint32_t *err)
{
    return Done(DeleteFileA(path), err);
}

uint16_t FileMove(const char *oldPath, const char *newPath, uint32_t *err)
{
    return Done(MoveFileA(oldPath, newPath), err);
}

/* Hands a match to the caller: its name must be shorter than the buffer. */
static uint16_t ConvertMatch(const WIN32_FIND_DATAA *fd, uint16_t *attrs, char *name,
                             uint32_t nameSize, uint32_t *err)
{
    size_t len = strlen(fd->cFileName);
    if (len >= nameSize) {
        SET_ERR(err, ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    memcpy(name, fd->cFileName, len + 1);
    *attrs = AttrsFromSystem(fd->dwFileAttributes, PLAIN_ATTRS | FILE_ATTRIBUTE_DIRECTORY);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileFindFirst(const char *pattern, FileSearch *search, uint16_t *attrs,
                       char *name, uint32_t nameSize, uint32_t *err)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    *search = FILE_NO_SEARCH;
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    if (!ConvertMatch(&fd, attrs, name, nameSize, err)) {
        FindClose(h);
        return 0;
    }
    *search = (FileSearch)h;
    return 1;
}

uint16_t FileFindNext(FileSearch search, uint16_t *attrs, char *name, uint32_t nameSize,
                      uint32_t *err)
{
    WIN32_FIND_DATAA fd;
    if (!FindNextFileA((HANDLE)search, &fd))
        return Fail(err);
    return ConvertMatch(&fd, attrs, name, nameSize, err);
}

uint16_t FileFindClose(FileSearch search, uint32_t *err)
{
    if (!FindClose((HANDLE)search))
        return Fail(err);
    return 1;
}

typedef BOOL (WINAPI *GetDiskFreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                            PULARGE_INTEGER);

/* GetDiskFreeSpaceExA where the system may have it (Windows 95 OSR2 and
 * later, NT 4 and later), looked up at run time; 1 when it answered. */
static uint16_t FreeBytesEx(const char *path, FileU64 *freeBytes, uint32_t *err)
{
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi))
        return 0;
    if (!((vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && vi.dwBuildNumber >= 1001) ||
          (vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion >= 4)))
        return 0;
    HMODULE k = LoadLibraryA("KERNEL32.DLL");
    if (!k)
        return 0;
    uint16_t ok = 0;
    GetDiskFreeSpaceExFn fn = (GetDiskFreeSpaceExFn)(void *)GetProcAddress(k, "GetDiskFreeSpaceExA");
    if (fn) {
        ULARGE_INTEGER avail, total, totalFree;
        if (fn(path, &avail, &total, &totalFree) == 1) {
            freeBytes->low = avail.LowPart;
            freeBytes->high = avail.HighPart;
            ok = 1;
        } else {
            SET_ERR(err, GetLastError());
        }
    }
    FreeLibrary(k);
    return ok;
}

uint16_t DiskFreeBytes(const char *path, FileU64 *freeBytes, uint32_t *err)
{
    char root[MAX_PATH];
    DWORD spc, bps, freeClusters, totalClusters;
    SET_ERR(err, 0);
    freeBytes->low = freeBytes->high = 0;
    if (FreeBytesEx(path, freeBytes, err)) {
        SET_ERR(err, 0);
        return 1;
    }
    DiskRootOfPath(path, root, sizeof root);
    if (!GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &totalClusters))
        return Fail(err);
    *freeBytes = DiskBytesFromClusters(spc, bps, freeClusters);
    SET_ERR(err, 0);
    return 1;
}
