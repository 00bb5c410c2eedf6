/*
 * File access layer over the Win32 kernel: operations on names, folders and
 * volumes (current folder, new folders, temporary names, existence,
 * attributes, deleting, moving, searching, free space).
 */
#include "fileio_win32.h"

#include <string.h>

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
