/*
 * ormpack: helpers shared by every command: messages, option parsing and
 * file access. Output files are written to a temporary file beside the
 * target and renamed over it, so a failed run leaves the old file (or no
 * file) and never a half-written one.
 */
#include "ormpack.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

static const char *g_commandName = "";

void OpSetCommandName(const char *name)
{
    g_commandName = name;
}

static void PrintPrefixed(const char *format, va_list args)
{
    fprintf(stderr, "ormpack%s%s: ", *g_commandName ? " " : "", g_commandName);
    vfprintf(stderr, format, args);
}

int OpFail(const char *format, ...)
{
    va_list args;

    va_start(args, format);
    PrintPrefixed(format, args);
    va_end(args);
    fputc('\n', stderr);
    return OP_EXIT_FAILED;
}

int OpUsageError(const char *format, ...)
{
    va_list args;

    va_start(args, format);
    PrintPrefixed(format, args);
    va_end(args);
    fprintf(stderr, " (see 'ormpack %s --help')\n", g_commandName);
    return OP_EXIT_USAGE;
}

/* The option whose long or short form is `word` (up to `length` characters). */
static const OpOption *FindOption(const OpOption *options, size_t count, const char *word,
                                  size_t length)
{
    size_t i;

    for (i = 0; i < count; i++) {
        const char *name = options[i].name;
        if (strlen(name) == length && strncmp(name, word, length) == 0)
            return &options[i];
        name = options[i].shortName;
        if (name && strlen(name) == length && strncmp(name, word, length) == 0)
            return &options[i];
    }
    return NULL;
}

int OpParseArgs(int argc, char **argv, const OpOption *options, size_t optionCount,
                const char **positional, size_t minPositional, size_t maxPositional,
                size_t *positionalCount)
{
    std::vector<char> seen(optionCount, 0);
    size_t count = 0;
    int i, onlyPositional = 0;

    for (i = 0; i < argc; i++) {
        const char *word = argv[i];
        if (onlyPositional || word[0] != '-' || word[1] == 0) {
            if (count == maxPositional)
                return OpUsageError("unexpected argument '%s'", word);
            positional[count++] = word;
            continue;
        }
        if (strcmp(word, "--") == 0) {
            onlyPositional = 1;
            continue;
        }
        const char *equals = strncmp(word, "--", 2) == 0 ? strchr(word, '=') : NULL;
        size_t nameLength = equals ? (size_t)(equals - word) : strlen(word);
        const OpOption *option = FindOption(options, optionCount, word, nameLength);
        if (!option)
            return OpUsageError("unknown option '%.*s'", (int)nameLength, word);
        if (seen[option - options])
            return OpUsageError("option '%s' given twice", option->name);
        seen[option - options] = 1;
        if (option->kind == OP_OPT_FLAG) {
            if (equals)
                return OpUsageError("option '%s' takes no value", option->name);
            *option->flag = 1;
        } else if (equals) {
            *option->value = equals + 1;
        } else {
            if (i + 1 >= argc)
                return OpUsageError("option '%s' needs a value", option->name);
            *option->value = argv[++i];
        }
    }
    if (count < minPositional)
        return OpUsageError("missing argument");
    *positionalCount = count;
    return OP_EXIT_OK;
}

int OpReadFile(const char *path, std::vector<uint8_t> *bytes)
{
    FILE *file = fopen(path, "rb");
    uint8_t block[65536];
    size_t got;

    bytes->clear();
    if (!file)
        return OpFail("cannot open '%s': %s", path, strerror(errno)), 0;
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        if (bytes->size() + got > 0xFFFFFFFFu) {
            fclose(file);
            return OpFail("'%s' is too large (4 GiB or more)", path), 0;
        }
        bytes->insert(bytes->end(), block, block + got);
    }
    if (ferror(file)) {
        fclose(file);
        return OpFail("cannot read '%s': %s", path, strerror(errno)), 0;
    }
    fclose(file);
    return 1;
}

/* Creates a new, empty temporary file beside `path`; returns its descriptor
 * and name, or -1. */
static int CreateTempBeside(const char *path, int program, std::vector<char> *tempName)
{
    const char *suffix = ".ormpack-tmp-XXXXXX";
    tempName->assign(path, path + strlen(path));
    tempName->insert(tempName->end(), suffix, suffix + strlen(suffix) + 1);
#ifdef _WIN32
    (void)program;
    /* No mkstemp: fill the X's from the process id and a counter and let
     * _O_EXCL refuse names that exist. */
    static unsigned counter;
    char *x = tempName->data() + tempName->size() - 7;
    for (int attempt = 0; attempt < 100; attempt++) {
        snprintf(x, 7, "%06x", (unsigned)((_getpid() * 131u + counter++) & 0xFFFFFF));
        int fd = _open(tempName->data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
#else
    int fd = mkstemp(tempName->data());
    if (fd >= 0)
        fchmod(fd, program ? 0755 : 0644);
    return fd;
#endif
}

int OpWriteFileAtomic(const char *path, const uint8_t *bytes, size_t size, int program)
{
    std::vector<char> tempName;
    int fd = CreateTempBeside(path, program, &tempName);
    size_t done = 0;

    if (fd < 0)
        return OpFail("cannot create a temporary file beside '%s': %s", path, strerror(errno)), 0;
    while (done < size) {
        size_t chunk = size - done > (1u << 20) ? (1u << 20) : size - done;
        long wrote = (long)write(fd, bytes + done, (unsigned)chunk);
        if (wrote <= 0) {
            int error = wrote < 0 ? errno : ENOSPC;
            close(fd);
            remove(tempName.data());
            return OpFail("cannot write '%s': %s", tempName.data(), strerror(error)), 0;
        }
        done += (size_t)wrote;
    }
#ifndef _WIN32
    if (fsync(fd) != 0) {
        int error = errno;
        close(fd);
        remove(tempName.data());
        return OpFail("cannot write '%s': %s", tempName.data(), strerror(error)), 0;
    }
#endif
    if (close(fd) != 0) {
        int error = errno;
        remove(tempName.data());
        return OpFail("cannot write '%s': %s", tempName.data(), strerror(error)), 0;
    }
#ifdef _WIN32
    if (!MoveFileExA(tempName.data(), path, MOVEFILE_REPLACE_EXISTING)) {
        unsigned long error = GetLastError();
        remove(tempName.data());
        return OpFail("cannot replace '%s' (Windows error %lu)", path, error), 0;
    }
#else
    if (rename(tempName.data(), path) != 0) {
        int error = errno;
        remove(tempName.data());
        return OpFail("cannot replace '%s': %s", path, strerror(error)), 0;
    }
#endif
    return 1;
}

int OpSameFile(const char *a, const char *b)
{
#ifdef _WIN32
    /* File indexes identify a file across different spellings of its path. */
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    HANDLE handleA = CreateFileA(a, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, 0, NULL);
    HANDLE handleB = CreateFileA(b, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, 0, NULL);
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
#else
    struct stat statA, statB;
    return stat(a, &statA) == 0 && stat(b, &statB) == 0 && statA.st_dev == statB.st_dev &&
           statA.st_ino == statB.st_ino;
#endif
}
