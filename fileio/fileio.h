/*
 * File access layer: the file, directory and volume operations that the
 * configuration engine and the container reader use, with one way of
 * reporting failure. This header is the whole interface; it is portable C
 * and includes no system headers beyond <stddef.h> and <stdint.h>.
 * fileio_win32*.cpp implement it over the Win32 kernel (opening and reading;
 * changing open files; names, folders and volumes: a program that only reads,
 * as the shell, links the first alone), fileio_posix.cpp over POSIX for the native build
 * (the engine and the packaging tool run on Linux too); fileio_common.cpp
 * holds the parts that are the same on both (error mappings, free-space
 * arithmetic).
 *
 * Conventions:
 *  1. Operations that can fail return a 16-bit flag: 1 success, 0 failure.
 *  2. The last argument `err` is an OUT error code in the Windows numbering:
 *     on Win32 the value of GetLastError(), on POSIX errno mapped to the
 *     Windows code that the same failure gives there (see below). It is 0 on
 *     success unless the operation says otherwise. A null `err` is allowed.
 *  3. A file handle is an unsigned 32-bit value (the Win32 HANDLE, or the
 *     POSIX file descriptor); FILE_NO_HANDLE (all bits set) means none.
 *     On 64-bit Windows a HANDLE is pointer-sized, but kernel handles are
 *     kept within 32 bits so that 32- and 64-bit processes can share them:
 *     the layer keeps the low 32 bits and sign-extends them back, so that
 *     FILE_NO_HANDLE stands for INVALID_HANDLE_VALUE there too.
 *  4. Offsets and lengths are unsigned 32-bit. An offset travels to the
 *     system as a signed 32-bit distance, so 2 GiB and beyond cannot be
 *     reached: positioning there fails with 131 (negative seek).
 *
 * POSIX errno to Windows code: ENOENT 2 (3 when the parent directory is
 * missing), ENOTDIR 3, EACCES/EPERM/EROFS/EISDIR 5, EBADF 6, ENOMEM 8,
 * EXDEV 17, EAGAIN/EWOULDBLOCK (lock held) 33, EEXIST 80 for files and 183
 * for directories and moves, EINVAL 87, ENOSPC 112, ENOTEMPTY 145,
 * ENAMETOOLONG 206, EMFILE/ENFILE 4, anything else 31 (general failure).
 *
 * Where POSIX has no counterpart:
 *  - PathSeparator() gives '/' on POSIX.
 *  - Deny flags (FILE_DENY_READ/WRITE) are not enforced: POSIX files are
 *    always shared. Locks are open-file-description locks, so two handles of
 *    one process conflict as on Windows; a handle opened for reading only
 *    takes a shared lock.
 *  - Attributes: read-only is "the owner may not write"; hidden is a name
 *    that starts with '.'; system is never reported. FileSetAttributes sets
 *    or clears the write bits for read-only and ignores hidden and system.
 *  - Times: the creation time is the birth time where the file system keeps
 *    one, else the last write time; FileSetTimes cannot change it.
 *  - FileMove fails with 183 when the new name exists, like MoveFileA, and
 *    with 17 across file systems.
 *  - DiskFreeBytes gives the bytes available to the caller (statvfs).
 */
#ifndef ORM_FILEIO_H
#define ORM_FILEIO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t FileHandle;
#define FILE_NO_HANDLE 0xFFFFFFFFu

/* Open flags, combinable. Without the deny flags the file is shared for
 * reading and writing. */
#define FILE_READ        1u
#define FILE_WRITE       2u
#define FILE_DENY_READ   4u
#define FILE_DENY_WRITE  8u

/* Attribute flags; FILE_ATTR_DIRECTORY only in search results. */
#define FILE_ATTR_READONLY   1u
#define FILE_ATTR_HIDDEN     2u
#define FILE_ATTR_SYSTEM     4u
#define FILE_ATTR_DIRECTORY  8u

/* Windows error codes that the layer itself produces or tests for. */
#define FILE_ERROR_FILE_NOT_FOUND   2u
#define FILE_ERROR_PATH_NOT_FOUND   3u
#define FILE_ERROR_ACCESS_DENIED    5u
#define FILE_ERROR_NOT_ENOUGH_MEMORY 8u
#define FILE_ERROR_NO_MORE_FILES    18u
#define FILE_ERROR_LOCK_VIOLATION   33u
#define FILE_ERROR_FILE_EXISTS      80u
#define FILE_ERROR_BUFFER_OVERFLOW  111u
#define FILE_ERROR_NEGATIVE_SEEK    131u
#define FILE_ERROR_ALREADY_EXISTS   183u

/* A 64-bit quantity as two 32-bit halves, low half first. */
typedef struct FileU64 {
    uint32_t low;                   /* bits 0..31 */
    uint32_t high;                  /* bits 32..63 */
} FileU64;

/* System file times: 100-ns units since 1601-01-01 UTC. */
typedef struct FileTimes {
    FileU64 creation;
    FileU64 lastAccess;
    FileU64 lastWrite;
} FileTimes;

/* An open directory search; FILE_NO_SEARCH (all bits set) means none. */
typedef struct FileSearchState *FileSearch;
#define FILE_NO_SEARCH ((FileSearch)(~(uintptr_t)0))

/* The path separator: '\\' on Windows, '/' on POSIX. */
char     PathSeparator(void);

/* Current directory; succeeds only when the whole path and its zero byte
 * fit in the buffer. */
uint16_t DirGetCurrent(char *buf, uint32_t size);
/* Makes `path` the current directory (no error code). */
uint16_t DirSetCurrent(const char *path);
/* Creates the directory `path` (its parent must exist). */
uint16_t DirCreate(const char *path, uint32_t *err);

/* Creates an empty file with a new unique name ("ORM..." in the temporary
 * directory) and puts its full name in buf. When the name does not fit in
 * size - 1 characters the file is deleted again and the call fails. */
uint16_t FileMakeTemp(char *buf, uint32_t size);

/* Opens an existing file with the access and sharing of `flags`. */
uint16_t FileOpen(const char *path, uint16_t flags,
                  FileHandle *handle,          /* OUT: FILE_NO_HANDLE on failure */
                  uint32_t *err);

#ifdef _WIN32
/* FileOpen with a UTF-16 name, Windows NT only: for names outside the ANSI
 * code page, and full names of any length (a drive or network name of
 * MAX_PATH characters or more is opened through its \\?\ or \\?\UNC\ form).
 * On systems without wide file functions it fails with 120 (not
 * implemented). */
uint16_t FileOpenW(const wchar_t *path, uint16_t flags,
                   FileHandle *handle,         /* OUT: FILE_NO_HANDLE on failure */
                   uint32_t *err);
#endif

/* Creates a new file for reading and writing, shared for reading only;
 * fails when the file exists (then *exists is 1, else 0). */
uint16_t FileCreateNew(const char *path,
                       uint16_t *exists,       /* OUT: 1 when it already existed */
                       FileHandle *handle,     /* OUT: FILE_NO_HANDLE on failure */
                       uint32_t *err);

/* Closes a handle from FileOpen, FileOpenW or FileCreateNew. */
uint16_t FileClose(FileHandle handle, uint32_t *err);

/* Reads up to `count` bytes at `offset`. On success only *bytesRead is set
 * (err is left as it was); past the end of the file 0 bytes are read. On
 * failure only err is set. */
uint16_t FileReadAt(FileHandle handle, uint32_t offset, void *buf, uint32_t count,
                    uint32_t *bytesRead,       /* OUT */
                    uint32_t *err);

/* As FileReadAt, writing. */
uint16_t FileWriteAt(FileHandle handle, uint32_t offset, const void *buf, uint32_t count,
                     uint32_t *bytesWritten,   /* OUT */
                     uint32_t *err);

/* Writes buffered data of the file to the disk. */
uint16_t FileFlush(FileHandle handle, uint32_t *err);
/* Locks or unlocks `length` bytes at `offset` against other handles; a
 * range another handle holds fails with 33 (lock violation). */
uint16_t FileLockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err);
uint16_t FileUnlockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err);

/* Sets the end of the file at `length` (cuts or extends). */
uint16_t FileSetLength(FileHandle handle, uint32_t length, uint32_t *err);

/* Size without the upper half; a low half of all bits set counts as
 * failure, and *size is then 0. */
uint16_t FileGetSize(FileHandle handle, uint32_t *size /* OUT */, uint32_t *err);

/* Opens, sizes and closes; the result and err are those of the close (a
 * failed size query shows only as size 0). Fails when the file does not open. */
uint16_t FileSizeByName(const char *path, uint32_t *size /* OUT */, uint32_t *err);

/* The file's creation, last access and last write times, read or set. */
uint16_t FileGetTimes(FileHandle handle, FileTimes *times /* OUT */, uint32_t *err);
uint16_t FileSetTimes(FileHandle handle, const FileTimes *times, uint32_t *err);

/* 1 when the path names an existing file or directory. */
uint16_t FileExists(const char *path);

/* Read-only, hidden and system of the file (0 on failure). */
uint16_t FileGetAttributes(const char *path, uint16_t *attrs /* OUT: FILE_ATTR_* */,
                           uint32_t *err);
/* Read-only, hidden and system as passed; 0 makes the file a normal one. */
uint16_t FileSetAttributes(const char *path, uint16_t attrs, uint32_t *err);

/* Deletes a file. */
uint16_t FileDelete(const char *path, uint32_t *err);
/* Renames or moves a file; fails when newPath exists. */
uint16_t FileMove(const char *oldPath, const char *newPath, uint32_t *err);

/* Directory search with the wildcards '*' and '?'. Each match's name must be
 * shorter than nameSize, else the call fails with 111 and copies nothing
 * (FileFindFirst then closes the search). */
uint16_t FileFindFirst(const char *pattern,
                       FileSearch *search,     /* OUT: FILE_NO_SEARCH on failure */
                       uint16_t *attrs,        /* OUT: FILE_ATTR_* of the match */
                       char *name, uint32_t nameSize,
                       uint32_t *err);
uint16_t FileFindNext(FileSearch search, uint16_t *attrs /* OUT */,
                      char *name, uint32_t nameSize, uint32_t *err);
/* err is set only on failure. */
uint16_t FileFindClose(FileSearch search, uint32_t *err);

/* Free bytes of the volume that holds `path`. err is 0 at entry and takes
 * the system's code only when the last attempt fails. */
uint16_t DiskFreeBytes(const char *path, FileU64 *freeBytes /* OUT */, uint32_t *err);

/* System error code to the engine's result numbering (2 is INI_ERR_NOMEM). */
uint32_t FileErrorToResult(uint32_t err);
/* System error code to the 2001 status numbering. */
uint32_t FileErrorToStatus(uint32_t err);

/* Helpers of DiskFreeBytes's fallback, pure so that they can be tested:
 * the root that GetDiskFreeSpaceA is asked about (a path not starting with
 * two backslashes is cut after its first '\'; a network path gets a closing
 * '\' when it lacks one and is shorter than 259 characters; the copy is
 * bounded by rootSize), and the free byte count from the cluster geometry
 * ((sectors per cluster * bytes per sector) mod 2^32, times free clusters,
 * as a 64-bit product). */
void     DiskRootOfPath(const char *path, char *root, uint32_t rootSize);
FileU64  DiskBytesFromClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                               uint32_t freeClusters);

#ifdef __cplusplus
}
#endif

#endif
