/*
 * File access layer over the Win32 kernel: making a new file and changing
 * open files (writing, flushing, locking, length, times).
 */
#include "fileio_win32.h"

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
