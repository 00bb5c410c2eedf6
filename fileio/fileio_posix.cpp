/*
 * File access layer over POSIX (Linux) for the native build: the same
 * operations, flags and Windows error codes as the Win32 layer, so that the
 * engine and the packaging tool behave alike on both. What has no POSIX
 * counterpart is described in fileio.h.
 */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1               /* renameat2, statx, OFD locks */
#endif
#include "fileio.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#define SET_ERR(e, v) do { if (e) *(e) = (uint32_t)(v); } while (0)

/* Windows codes not named in fileio.h. */
#define WIN_ERROR_GEN_FAILURE       31u
#define WIN_ERROR_TOO_MANY_OPEN     4u
#define WIN_ERROR_INVALID_HANDLE    6u
#define WIN_ERROR_NOT_SAME_DEVICE   17u
#define WIN_ERROR_INVALID_PARAMETER 87u
#define WIN_ERROR_DISK_FULL         112u
#define WIN_ERROR_DIR_NOT_EMPTY     145u
#define WIN_ERROR_FILENAME_TOO_LONG 206u

/* 100-ns intervals between 1601-01-01 and 1970-01-01. */
#define FILETIME_UNIX_EPOCH 116444736000000000ull

/* errno to the Windows code of the same failure. ENOENT is told apart by
 * the caller (see NotFoundCode); EEXIST gives 80, the code of files. */
static uint32_t WinCode(int e)
{
    switch (e) {
    case 0:            return 0;
    case ENOENT:       return FILE_ERROR_FILE_NOT_FOUND;
    case ENOTDIR:      return FILE_ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:       return FILE_ERROR_ACCESS_DENIED;
    case EBADF:        return WIN_ERROR_INVALID_HANDLE;
    case ENOMEM:       return FILE_ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:        return WIN_ERROR_NOT_SAME_DEVICE;
    case EAGAIN:       return FILE_ERROR_LOCK_VIOLATION;
    case EEXIST:       return FILE_ERROR_FILE_EXISTS;
    case EINVAL:       return WIN_ERROR_INVALID_PARAMETER;
    case ENOSPC:       return WIN_ERROR_DISK_FULL;
    case ENOTEMPTY:    return WIN_ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return WIN_ERROR_FILENAME_TOO_LONG;
    case EMFILE:
    case ENFILE:       return WIN_ERROR_TOO_MANY_OPEN;
    default:           return WIN_ERROR_GEN_FAILURE;
    }
}

/* Windows says "path not found" (3) when a directory on the way is
 * missing and "file not found" (2) when only the last part is. */
static uint32_t NotFoundCode(const char *path)
{
    const char *slash = strrchr(path, '/');
    if (!slash)
        return FILE_ERROR_FILE_NOT_FOUND;
    size_t n = (size_t)(slash - path);
    if (n == 0)
        return FILE_ERROR_FILE_NOT_FOUND;  /* parent is the root */
    char *dir = (char *)malloc(n + 1);
    if (!dir)
        return FILE_ERROR_FILE_NOT_FOUND;
    memcpy(dir, path, n);
    dir[n] = 0;
    struct stat st;
    int isDir = stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
    free(dir);
    return isDir ? FILE_ERROR_FILE_NOT_FOUND : FILE_ERROR_PATH_NOT_FOUND;
}

/* Fails with the Windows code of errno; `path` refines ENOENT. */
static uint16_t FailErrno(uint32_t *err, const char *path)
{
    int e = errno;
    SET_ERR(err, (e == ENOENT && path) ? NotFoundCode(path) : WinCode(e));
    return 0;
}

static uint16_t Done(int rc, uint32_t *err, const char *path)
{
    if (rc != 0)
        return FailErrno(err, path);
    SET_ERR(err, 0);
    return 1;
}

static int ToFd(FileHandle h)
{
    return (int)h;
}

char PathSeparator(void)
{
    return '/';
}

uint16_t DirGetCurrent(char *buf, uint32_t size)
{
    return size != 0 && getcwd(buf, size) != NULL;
}

uint16_t DirSetCurrent(const char *path)
{
    return chdir(path) == 0;
}

uint16_t DirCreate(const char *path, uint32_t *err)
{
    if (mkdir(path, 0777) == 0) {
        SET_ERR(err, 0);
        return 1;
    }
    if (errno == EEXIST) {
        SET_ERR(err, FILE_ERROR_ALREADY_EXISTS);   /* CreateDirectoryA's code */
        return 0;
    }
    if (errno == ENOENT) {
        SET_ERR(err, FILE_ERROR_PATH_NOT_FOUND);   /* the parent is missing */
        return 0;
    }
    return FailErrno(err, path);
}

uint16_t FileMakeTemp(char *buf, uint32_t size)
{
    const char *dir = getenv("TMPDIR");
    char name[4096];
    if (!dir || !*dir)
        dir = "/tmp";
    int n = snprintf(name, sizeof name, "%s/ORMXXXXXX", dir);
    if (n < 0 || (size_t)n >= sizeof name)
        return 0;
    int fd = mkstemp(name);
    if (fd < 0)
        return 0;
    close(fd);
    if ((uint32_t)n >= size) {
        unlink(name);               /* do not leave the new file behind */
        return 0;
    }
    memcpy(buf, name, (size_t)n + 1);
    return 1;
}

/* An open file must not be a directory: CreateFileA refuses those. */
static uint16_t OpenedFd(int fd, FileHandle *handle, uint32_t *err)
{
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        *handle = FILE_NO_HANDLE;
        SET_ERR(err, FILE_ERROR_ACCESS_DENIED);
        return 0;
    }
    *handle = (FileHandle)fd;
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileOpen(const char *path, uint16_t flags, FileHandle *handle, uint32_t *err)
{
    int mode;
    if ((flags & FILE_READ) && (flags & FILE_WRITE))
        mode = O_RDWR;
    else if (flags & FILE_WRITE)
        mode = O_WRONLY;
    else
        mode = O_RDONLY;
    int fd = open(path, mode | O_CLOEXEC);
    if (fd < 0) {
        *handle = FILE_NO_HANDLE;
        return FailErrno(err, path);
    }
    return OpenedFd(fd, handle, err);
}

uint16_t FileCreateNew(const char *path, uint16_t *exists, FileHandle *handle, uint32_t *err)
{
    int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    *exists = 0;
    if (fd < 0) {
        *exists = errno == EEXIST;
        *handle = FILE_NO_HANDLE;
        return FailErrno(err, path);
    }
    *handle = (FileHandle)fd;
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileClose(FileHandle handle, uint32_t *err)
{
    return Done(close(ToFd(handle)), err, NULL);
}

/* Offsets travel as signed 32-bit distances, as on Windows. */
static int OffsetReachable(uint32_t offset, uint32_t *err)
{
    if (offset > 0x7FFFFFFFu) {
        SET_ERR(err, FILE_ERROR_NEGATIVE_SEEK);
        return 0;
    }
    return 1;
}

uint16_t FileReadAt(FileHandle handle, uint32_t offset, void *buf, uint32_t count,
                    uint32_t *bytesRead, uint32_t *err)
{
    uint32_t done = 0;
    if (!OffsetReachable(offset, err))
        return 0;
    /* ReadFile on a disk file reads all that is there up to count. */
    while (done < count) {
        ssize_t n = pread(ToFd(handle), (char *)buf + done, count - done, (off_t)offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FailErrno(err, NULL);
        }
        if (n == 0)
            break;
        done += (uint32_t)n;
    }
    *bytesRead = done;
    return 1;
}

uint16_t FileWriteAt(FileHandle handle, uint32_t offset, const void *buf, uint32_t count,
                     uint32_t *bytesWritten, uint32_t *err)
{
    uint32_t done = 0;
    if (!OffsetReachable(offset, err))
        return 0;
    while (done < count) {
        ssize_t n = pwrite(ToFd(handle), (const char *)buf + done, count - done,
                           (off_t)offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done == 0)
                return FailErrno(err, NULL);
            break;                  /* a short write, reported by the count */
        }
        done += (uint32_t)n;
    }
    *bytesWritten = done;
    return 1;
}

uint16_t FileFlush(FileHandle handle, uint32_t *err)
{
    return Done(fsync(ToFd(handle)), err, NULL);
}

/* Open-file-description locks: they conflict between two handles of one
 * process as LockFile does. A lock of length 0 locks nothing (POSIX would
 * read 0 as "to the end of the file"). */
static uint16_t LockOp(FileHandle handle, uint32_t offset, uint32_t length, short type,
                       uint32_t *err)
{
    if (length == 0) {
        SET_ERR(err, 0);
        return 1;
    }
    int fd = ToFd(handle);
    int fl = fcntl(fd, F_GETFL);
    if (fl < 0)
        return FailErrno(err, NULL);
    struct flock lk;
    memset(&lk, 0, sizeof lk);
    lk.l_type = type;
    if (type == F_WRLCK && (fl & O_ACCMODE) == O_RDONLY)
        lk.l_type = F_RDLCK;        /* a read-only handle can only share */
    lk.l_whence = SEEK_SET;
    lk.l_start = (off_t)offset;
    lk.l_len = (off_t)length;
    if (fcntl(fd, F_OFD_SETLK, &lk) != 0) {
        if (errno == EACCES || errno == EAGAIN) {
            SET_ERR(err, FILE_ERROR_LOCK_VIOLATION);
            return 0;
        }
        return FailErrno(err, NULL);
    }
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileLockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err)
{
    return LockOp(handle, offset, length, F_WRLCK, err);
}

uint16_t FileUnlockRange(FileHandle handle, uint32_t offset, uint32_t length, uint32_t *err)
{
    return LockOp(handle, offset, length, F_UNLCK, err);
}

uint16_t FileSetLength(FileHandle handle, uint32_t length, uint32_t *err)
{
    if (!OffsetReachable(length, err))
        return 0;
    return Done(ftruncate(ToFd(handle), (off_t)length), err, NULL);
}

uint16_t FileGetSize(FileHandle handle, uint32_t *size, uint32_t *err)
{
    struct stat st;
    *size = 0;
    if (fstat(ToFd(handle), &st) != 0)
        return FailErrno(err, NULL);
    uint32_t low = (uint32_t)st.st_size;
    if (low == 0xFFFFFFFFu) {
        SET_ERR(err, 0);            /* as GetFileSize: no error, yet a failure */
        return 0;
    }
    *size = low;
    SET_ERR(err, 0);
    return 1;
}

static FileU64 FromTimespec(struct timespec ts)
{
    uint64_t t = (uint64_t)((int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100 +
                            (int64_t)FILETIME_UNIX_EPOCH);
    FileU64 r;
    r.low = (uint32_t)t;
    r.high = (uint32_t)(t >> 32);
    return r;
}

static struct timespec ToTimespec(FileU64 v)
{
    int64_t t = (int64_t)(((uint64_t)v.high << 32 | v.low) - FILETIME_UNIX_EPOCH);
    struct timespec ts;
    ts.tv_sec = (time_t)(t / 10000000);
    ts.tv_nsec = (long)(t % 10000000) * 100;
    if (ts.tv_nsec < 0) {
        ts.tv_sec -= 1;
        ts.tv_nsec += 1000000000L;
    }
    return ts;
}

uint16_t FileGetTimes(FileHandle handle, FileTimes *times, uint32_t *err)
{
    struct statx sx;
    if (statx(ToFd(handle), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return FailErrno(err, NULL);
    struct timespec a = {(time_t)sx.stx_atime.tv_sec, (long)sx.stx_atime.tv_nsec};
    struct timespec m = {(time_t)sx.stx_mtime.tv_sec, (long)sx.stx_mtime.tv_nsec};
    struct timespec b = m;
    if (sx.stx_mask & STATX_BTIME) {
        b.tv_sec = (time_t)sx.stx_btime.tv_sec;
        b.tv_nsec = (long)sx.stx_btime.tv_nsec;
    }
    times->creation = FromTimespec(b);
    times->lastAccess = FromTimespec(a);
    times->lastWrite = FromTimespec(m);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileSetTimes(FileHandle handle, const FileTimes *times, uint32_t *err)
{
    struct timespec ts[2];
    ts[0] = ToTimespec(times->lastAccess);
    ts[1] = ToTimespec(times->lastWrite);
    return Done(futimens(ToFd(handle), ts), err, NULL);
}

uint16_t FileExists(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

/* Attribute flags of a file from its mode and the last part of its name. */
static uint16_t AttrsOf(const char *path, const struct stat *st)
{
    const char *base = strrchr(path, '/');
    base = base ? base + 1 : path;
    uint16_t f = 0;
    if (!(st->st_mode & S_IWUSR))
        f |= FILE_ATTR_READONLY;
    if (base[0] == '.' && strcmp(base, ".") != 0 && strcmp(base, "..") != 0)
        f |= FILE_ATTR_HIDDEN;
    return f;
}

uint16_t FileGetAttributes(const char *path, uint16_t *attrs, uint32_t *err)
{
    struct stat st;
    *attrs = 0;
    if (stat(path, &st) != 0)
        return FailErrno(err, path);
    *attrs = AttrsOf(path, &st);
    SET_ERR(err, 0);
    return 1;
}

uint16_t FileSetAttributes(const char *path, uint16_t attrs, uint32_t *err)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return FailErrno(err, path);
    mode_t m = st.st_mode & 07777;
    if (attrs & FILE_ATTR_READONLY)
        m &= ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        m |= S_IWUSR;
    return Done(chmod(path, m), err, path);
}

uint16_t FileDelete(const char *path, uint32_t *err)
{
    return Done(unlink(path), err, path);
}

uint16_t FileMove(const char *oldPath, const char *newPath, uint32_t *err)
{
    /* MoveFileA never replaces an existing file. */
    if (renameat2(AT_FDCWD, oldPath, AT_FDCWD, newPath, RENAME_NOREPLACE) == 0) {
        SET_ERR(err, 0);
        return 1;
    }
    if (errno == EEXIST) {
        SET_ERR(err, FILE_ERROR_ALREADY_EXISTS);
        return 0;
    }
    return FailErrno(err, oldPath);
}

/* An open search: the directory stream, its path and the name pattern. */
struct FileSearchState {
    DIR *dir;                       /* the directory being listed */
    char *dirPath;                  /* "dir/" prefix of the pattern, or "" */
    char *pattern;                  /* last part of the pattern */
};

/* Wildcard match as FindFirstFileA does it: '*' any run, '?' one
 * character, letters without regard to case, and a final ".*" also
 * matching a name without an extension. */
static int Match(const char *p, const char *s)
{
    for (;;) {
        if (*p == 0)
            return *s == 0;
        if (*p == '*') {
            while (*p == '*')
                p++;
            if (*p == 0)
                return 1;
            for (; *s; s++)
                if (Match(p, s))
                    return 1;
            return Match(p, s);
        }
        if (*s == 0)
            return p[0] == '.' && p[1] == '*' && p[2] == 0;
        char a = *p, b = *s;
        if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
        if (*p != '?' && a != b)
            return 0;
        p++;
        s++;
    }
}

static void SearchFree(FileSearchState *s)
{
    if (s->dir)
        closedir(s->dir);
    free(s->dirPath);
    free(s->pattern);
    free(s);
}

/* Next matching entry: its name and flags. 0 and err 18 at the end. */
static uint16_t SearchNext(FileSearchState *s, uint16_t *attrs, char *name, uint32_t nameSize,
                           uint32_t *err)
{
    for (;;) {
        errno = 0;
        struct dirent *de = readdir(s->dir);
        if (!de) {
            if (errno != 0)
                return FailErrno(err, NULL);
            SET_ERR(err, FILE_ERROR_NO_MORE_FILES);
            return 0;
        }
        if (!Match(s->pattern, de->d_name))
            continue;
        size_t len = strlen(de->d_name);
        if (len >= nameSize) {
            SET_ERR(err, FILE_ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        size_t dl = strlen(s->dirPath);
        char *full = (char *)malloc(dl + len + 1);
        if (!full) {
            SET_ERR(err, FILE_ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        memcpy(full, s->dirPath, dl);
        memcpy(full + dl, de->d_name, len + 1);
        struct stat st;
        uint16_t f = 0;
        if (stat(full, &st) == 0 || lstat(full, &st) == 0) {
            f = AttrsOf(full, &st);
            if (S_ISDIR(st.st_mode))
                f |= FILE_ATTR_DIRECTORY;
        }
        free(full);
        memcpy(name, de->d_name, len + 1);
        *attrs = f;
        SET_ERR(err, 0);
        return 1;
    }
}

uint16_t FileFindFirst(const char *pattern, FileSearch *search, uint16_t *attrs,
                       char *name, uint32_t nameSize, uint32_t *err)
{
    *search = FILE_NO_SEARCH;
    FileSearchState *s = (FileSearchState *)calloc(1, sizeof *s);
    if (!s) {
        SET_ERR(err, FILE_ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const char *slash = strrchr(pattern, '/');
    size_t dl = slash ? (size_t)(slash - pattern) + 1 : 0;
    s->dirPath = (char *)malloc(dl + 1);
    s->pattern = strdup(pattern + dl);
    if (!s->dirPath || !s->pattern) {
        SearchFree(s);
        SET_ERR(err, FILE_ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    memcpy(s->dirPath, pattern, dl);
    s->dirPath[dl] = 0;
    s->dir = opendir(dl ? s->dirPath : ".");
    if (!s->dir) {
        int e = errno;
        SearchFree(s);
        SET_ERR(err, (e == ENOENT || e == ENOTDIR) ? FILE_ERROR_PATH_NOT_FOUND : WinCode(e));
        return 0;
    }
    if (!SearchNext(s, attrs, name, nameSize, err)) {
        /* FindFirstFileA reports no match as "file not found". */
        if (err && *err == FILE_ERROR_NO_MORE_FILES)
            *err = FILE_ERROR_FILE_NOT_FOUND;
        SearchFree(s);
        return 0;
    }
    *search = s;
    return 1;
}

uint16_t FileFindNext(FileSearch search, uint16_t *attrs, char *name, uint32_t nameSize,
                      uint32_t *err)
{
    return SearchNext(search, attrs, name, nameSize, err);
}

uint16_t FileFindClose(FileSearch search, uint32_t *err)
{
    if (search == FILE_NO_SEARCH || search == NULL) {
        SET_ERR(err, WIN_ERROR_INVALID_HANDLE);
        return 0;
    }
    SearchFree(search);
    return 1;
}

uint16_t DiskFreeBytes(const char *path, FileU64 *freeBytes, uint32_t *err)
{
    struct statvfs v;
    SET_ERR(err, 0);
    freeBytes->low = freeBytes->high = 0;
    if (statvfs(path, &v) != 0)
        return FailErrno(err, path);
    uint64_t n = (uint64_t)v.f_bavail * v.f_frsize;
    freeBytes->low = (uint32_t)n;
    freeBytes->high = (uint32_t)(n >> 32);
    return 1;
}
