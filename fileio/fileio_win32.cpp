/*
 * File access layer over the Win32 kernel: opening files, reading them at an
 * offset, their size, closing them; what every reader needs, the shell
 * included, which links this source alone. Writing and the other changes to
 * open files are in fileio_win32_change.cpp, operations on names, folders and
 * volumes in fileio_win32_names.cpp (common conventions: fileio_win32.h).
 */
#include "fileio_win32.h"

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

uint16_t FileOpenW(const wchar_t *path, uint16_t flags, FileHandle *handle, uint32_t *err)
{
    DWORD access, share;
    OpenModes(flags, &access, &share);
    /* The 95 family and Win32s have CreateFileW only as a stub that fails
     * with ERROR_CALL_NOT_IMPLEMENTED, which is passed on as it is. */
    return Opened(CreateFileW(path, access, share, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL), handle, err);
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
