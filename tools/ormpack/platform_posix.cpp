/*
 * ormpack on POSIX: the container read from an in-memory copy of the input
 * (memfd), outputs behind symbolic links resolved by realpath,
 * temporary files by mkstemp with the mode and owner of the file they
 * replace, fsync before the rename, stat to tell regular files from FIFOs,
 * devices and folders.
 */
#include "platform.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <vector>

FILE *OpOpenInput(const char *path)
{
    return fopen(path, "rb");
}

int OpBytesHandle(FILE *input, const std::vector<uint8_t> &bytes, FileHandle *handle)
{
    (void)input;   /* POSIX shuts no writer out: the reader gets a copy */
#ifdef MFD_CLOEXEC
    int fd = memfd_create("ormpack-input", MFD_CLOEXEC);
#else
    int fd = -1;
#endif
    if (fd < 0) {
        FILE *temp = tmpfile();   /* already unlinked */
        fd = temp ? dup(fileno(temp)) : -1;
        if (temp)
            fclose(temp);
        if (fd < 0)
            return errno;
    }
    int error = OpTempWrite(fd, bytes.data(), bytes.size());
    if (error) {
        close(fd);
        return error;
    }
    *handle = (FileHandle)fd;
    return 0;
}

void OpReleaseBytesHandle(FileHandle handle)
{
    close((int)handle);
}

int OpResolveOutput(const char *path, std::string *target)
{
    struct stat st;

    if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) {
        target->assign(path);
        return 1;
    }
    char *resolved = realpath(path, NULL);
    if (!resolved)
        return 0;
    target->assign(resolved);
    free(resolved);
    return 1;
}

int OpTempCreate(const char *path, std::string *tempName)
{
    std::string pattern = std::string(path) + ".ormpack-tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());   /* mode 0600 */
    if (fd < 0)
        return -1;
    tempName->assign(name.data());
    return fd;
}

int OpTempTakeMode(int fd, const char *path, int program)
{
    struct stat st;

    if (stat(path, &st) != 0) {
        mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, (program ? 0777 : 0666) & ~mask) == 0 ? 0 : errno;
    }
    /* Only root may give a file away; chown comes first, as it clears the
     * set-user-ID and set-group-ID bits that fchmod then restores. */
    if (geteuid() == 0 && fchown(fd, st.st_uid, st.st_gid) != 0)
        return errno;
    return fchmod(fd, st.st_mode & 07777) == 0 ? 0 : errno;
}

int OpTempWrite(int fd, const uint8_t *bytes, size_t size)
{
    size_t done = 0;

    while (done < size) {
        size_t chunk = size - done > (1u << 20) ? (1u << 20) : size - done;
        ssize_t wrote = write(fd, bytes + done, chunk);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : ENOSPC;
        done += (size_t)wrote;
    }
    return 0;
}

int OpTempClose(int fd)
{
    int error = fsync(fd) != 0 ? errno : 0;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

int OpReplaceFile(const char *tempName, const char *path, std::string *why)
{
    if (rename(tempName, path) == 0)
        return 1;
    *why = strerror(errno);
    return 0;
}

int OpSameFile(const char *a, const char *b)
{
    struct stat statA, statB;
    return stat(a, &statA) == 0 && stat(b, &statB) == 0 && statA.st_dev == statB.st_dev &&
           statA.st_ino == statB.st_ino;
}

const char *OpNotRegularFile(const char *path)
{
    struct stat st;

    if (stat(path, &st) != 0 || S_ISREG(st.st_mode))
        return NULL;
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return "a device";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    return "not a regular file";
}

void OpWriteStdoutExact(const void *bytes, size_t size)
{
    fwrite(bytes, 1, size, stdout);
}
