/*
 * File access layer over the Win32 kernel: opening files, reading them at an
 * offset, their size, closing them; what every reader needs, the shell
 * included, which links this source alone. Writing and the other changes to
 * open files are in fileio_win32_change.cpp, operations on names, folders and
 * volumes in fileio_win32_names.cpp (common conventions: fileio_win32.h).
 */
#include "fileio_win32.h"

#include <string.h>

char PathSeparator(void)
{
    return '\\';
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

/* A drive name ("C:\...") or network name ("\\server\share\...") of
 * MAX_PATH characters or more opens only through its \\?\ or \\?\UNC\ form
 * (plain, the system takes it only where it and the program opted into long
 * paths). The form is taken literally: the name must be a full one with
 * backslashes and no "." or ".." parts, as GetModuleFileNameW gives it.
 * Shorter and relative names, names with a device prefix, and any name when
 * there is no memory for the long form, are opened as they are. */
uint16_t FileOpenW(const wchar_t *path, uint16_t flags, FileHandle *handle, uint32_t *err)
{
    static const wchar_t LONG_PREFIX[] = L"\\\\?\\UNC";
    DWORD access, share;
    size_t length = 0, prefix = 0, dropped = 0;
    wchar_t *longName = NULL;
    uint16_t opened;

    while (path[length] != 0)
        length++;
    if (length >= MAX_PATH) {
        wchar_t drive = (wchar_t)(path[0] | 0x20);
        if (drive >= 'a' && drive <= 'z' && path[1] == ':' && path[2] == '\\') {
            prefix = 4;                     /* \\?\C:\... */
        } else if (path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.') {
            prefix = 7;                     /* \\?\UNC\server\...: one backslash goes */
            dropped = 1;
        }
    }
    if (prefix != 0)
        longName = (wchar_t *)HeapAlloc(GetProcessHeap(), 0,
                                        (prefix + length + 1) * sizeof(wchar_t));
    if (longName != NULL) {
        /* The name, then the prefix over its front. */
        memcpy(longName + prefix - dropped, path, (length + 1) * sizeof(wchar_t));
        memcpy(longName, LONG_PREFIX, prefix * sizeof(wchar_t));
        path = longName;
    }
    OpenModes(flags, &access, &share);
    /* The 95 family and Win32s have CreateFileW only as a stub that fails
     * with ERROR_CALL_NOT_IMPLEMENTED, which is passed on as it is. */
    opened = Opened(CreateFileW(path, access, share, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL), handle, err);
    if (longName != NULL)
        HeapFree(GetProcessHeap(), 0, longName);
    return opened;
}

uint16_t FileClose(FileHandle handle, uint32_t *err)
{
    return Done(CloseHandle(ToHandle(handle)), err);
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
