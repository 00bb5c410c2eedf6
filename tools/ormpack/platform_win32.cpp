/*
 * ormpack on Windows: inputs read with writers shut out, so that their
 * container is read from the bytes read; temporary files created
 * exclusively by the C runtime, ReplaceFile (or MoveFileEx) over the
 * target, file indexes to compare paths, GetFileType to tell disk files
 * from devices, and standard output switched to binary mode while exact
 * bytes are written.
 */
#include "platform.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

FILE *OpOpenInput(const char *path)
{
    return _fsopen(path, "rb", _SH_DENYWR);
}

int OpBytesHandle(FILE *input, const std::vector<uint8_t> &bytes, FileHandle *handle)
{
    (void)bytes;   /* the file itself: nobody can write it while it is open */
    intptr_t osHandle = _get_osfhandle(_fileno(input));
    if (osHandle == -1)
        return EBADF;
    *handle = (FileHandle)(uintptr_t)osHandle;
    return 0;
}

void OpReleaseBytesHandle(FileHandle handle)
{
    (void)handle;   /* closed with the input */
}

int OpTempCreate(const char *path, std::string *tempName)
{
    static unsigned counter;
    char suffix[32];

    /* No mkstemp: the name comes from the process id and a counter, and
     * _O_EXCL refuses names that exist. */
    for (int attempt = 0; attempt < 100; attempt++) {
        snprintf(suffix, sizeof suffix, ".ormpack-tmp-%06x",
                 (unsigned)((_getpid() * 131u + counter++) & 0xFFFFFF));
        *tempName = std::string(path) + suffix;
        int fd = _open(tempName->c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

int OpTempTakeMode(int fd, const char *path, int program)
{
    /* ReplaceFile keeps the replaced file's attributes and access control
     * list; a new file gets the folder's. Windows knows programs by their
     * name, not a mode. */
    (void)fd;
    (void)path;
    (void)program;
    return 0;
}

int OpTempWrite(int fd, const uint8_t *bytes, size_t size)
{
    size_t done = 0;

    while (done < size) {
        unsigned chunk = size - done > (1u << 20) ? (1u << 20) : (unsigned)(size - done);
        int wrote = _write(fd, bytes + done, chunk);
        if (wrote <= 0)
            return wrote < 0 ? errno : ENOSPC;
        done += (size_t)wrote;
    }
    return 0;
}

int OpTempClose(int fd)
{
    int error = _commit(fd) != 0 ? errno : 0;
    if (_close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

int OpResolveOutput(const char *path, std::string *target)
{
    target->assign(path);
    return 1;
}

typedef BOOL(WINAPI *ReplaceFileFn)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);

int OpReplaceFile(const char *tempName, const char *path, std::string *why)
{
    char text[64];

    /* ReplaceFileA keeps the replaced file's attributes and access control
     * list, which a rename would swap for the temporary file's. Windows
     * 2000 and later have it; before, and where it fails (another volume,
     * a file system without the support), the rename. */
    ReplaceFileFn replaceFile =
        (ReplaceFileFn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "ReplaceFileA");
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof fullPath, fullPath, NULL);
    /* A full path: Wine's ReplaceFile fails on a bare file name. */
    if (replaceFile && length > 0 && length < sizeof fullPath &&
        GetFileAttributesA(fullPath) != INVALID_FILE_ATTRIBUTES &&
        replaceFile(fullPath, tempName, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
        return 1;
    if (MoveFileExA(tempName, path, MOVEFILE_REPLACE_EXISTING))
        return 1;
    snprintf(text, sizeof text, "Windows error %lu", (unsigned long)GetLastError());
    *why = text;
    return 0;
}

static HANDLE OpenForQuery(const char *path)
{
    /* Backup semantics let a folder be opened too. */
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
}

int OpSameFile(const char *a, const char *b)
{
    /* File indexes identify a file across different spellings of its path. */
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    HANDLE handleA = OpenForQuery(a), handleB = OpenForQuery(b);
    int same = 0;

    if (handleA != INVALID_HANDLE_VALUE && handleB != INVALID_HANDLE_VALUE &&
        GetFileInformationByHandle(handleA, &infoA) && GetFileInformationByHandle(handleB, &infoB))
        same = infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
               infoA.nFileIndexLow == infoB.nFileIndexLow;
    if (handleA != INVALID_HANDLE_VALUE)
        CloseHandle(handleA);
    if (handleB != INVALID_HANDLE_VALUE)
        CloseHandle(handleB);
    return same;
}

const char *OpNotRegularFile(const char *path)
{
    BY_HANDLE_FILE_INFORMATION info;
    const char *what = NULL;
    HANDLE handle = OpenForQuery(path);

    if (handle == INVALID_HANDLE_VALUE) {
        DWORD attributes = GetFileAttributesA(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? "a folder"
                   : NULL;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK)
        what = "a device";   /* NUL, CON, COM1, a pipe */
    else if (GetFileInformationByHandle(handle, &info) &&
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        what = "a folder";
    CloseHandle(handle);
    return what;
}

void OpWriteStdoutExact(const void *bytes, size_t size)
{
    /* In text mode the runtime would write CR LF for every LF, and CR CR LF
     * for the text's own CR LF. */
    fflush(stdout);
    int previous = _setmode(_fileno(stdout), _O_BINARY);
    fwrite(bytes, 1, size, stdout);
    fflush(stdout);
    if (previous != -1)
        _setmode(_fileno(stdout), previous);
}
