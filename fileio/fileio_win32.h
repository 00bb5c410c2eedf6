/*
 * What the three Win32 sources of the file access layer share: the handle
 * conversions, the failure convention and positioning. Every operation is
 * one system call (or a short fixed sequence of them) whose failure is passed
 * on as the 0 flag with GetLastError() in the out error code; nothing is
 * retried and the layer keeps no state.
 */
#ifndef ORM_FILEIO_WIN32_H
#define ORM_FILEIO_WIN32_H

#include "fileio.h"

#include <windows.h>

#define SET_ERR(e, v) do { if (e) *(e) = (uint32_t)(v); } while (0)

/* A handle and its 32-bit form. Kernel handles fit in 32 bits on 64-bit
 * Windows too, where they widen by sign extension (as LongToHandle does):
 * FILE_NO_HANDLE is then INVALID_HANDLE_VALUE again, not 0xFFFFFFFF. */
static inline HANDLE ToHandle(FileHandle h)
{
    return (HANDLE)(intptr_t)(int32_t)h;
}

static inline FileHandle FromHandle(HANDLE h)
{
    return (FileHandle)(uintptr_t)h;
}

static inline uint16_t Fail(uint32_t *err)
{
    SET_ERR(err, GetLastError());
    return 0;
}

static inline uint16_t Done(BOOL ok, uint32_t *err)
{
    if (!ok)
        return Fail(err);
    SET_ERR(err, 0);
    return 1;
}

/* Positions at `offset` from the start; the pointer must land there. The
 * distance is signed 32-bit, so offsets from 2 GiB on fail (negative seek).
 * A result of all bits set is an error only when GetLastError says so. */
static inline BOOL SeekTo(HANDLE h, uint32_t offset)
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

#endif
