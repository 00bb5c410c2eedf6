/*
 * ormpack: helpers shared by every command: messages, option parsing and
 * file access. Output files are written to a temporary file beside the
 * target and renamed over it, so a failed run leaves the old file (or no
 * file) and never a half-written one, and two runs never mix their bytes.
 * What differs between systems is in platform_*.cpp.
 */
#include "ormpack.h"

#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>

#include <string>

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

void OpWarn(const char *format, ...)
{
    va_list args;

    fprintf(stderr, "ormpack%s%s: warning: ", *g_commandName ? " " : "", g_commandName);
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
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

std::string OpTerminalText(const char *text, size_t length)
{
    std::string out;
    char hex[8];

    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c >= 0x7F) {
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += (char)c;
        }
    }
    return out;
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

int OpReadStream(FILE *file, const char *path, std::vector<uint8_t> *bytes)
{
    uint8_t block[65536];
    size_t got;

    bytes->clear();
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        if (bytes->size() + got > 0xFFFFFFFFu)
            return OpFail("'%s' is too large (4 GiB or more)", path), 0;
        bytes->insert(bytes->end(), block, block + got);
    }
    if (ferror(file))
        return OpFail("cannot read '%s': %s", path, strerror(errno)), 0;
    return 1;
}

int OpReadFile(const char *path, std::vector<uint8_t> *bytes)
{
    FILE *file = fopen(path, "rb");

    bytes->clear();
    if (!file)
        return OpFail("cannot open '%s': %s", path, strerror(errno)), 0;
    int ok = OpReadStream(file, path, bytes);
    fclose(file);
    return ok;
}

/* The file to replace for an output (a symbolic link's target, so that the
 * link survives), refusing one that exists and is not a regular file: the
 * rename would replace a FIFO or a device node (as root, /dev/null) by a
 * regular file. Returns 1, or 0 after printing the error. */
static int CheckOutput(const char *path, std::string *target)
{
    if (!OpResolveOutput(path, target))
        return OpFail("'%s' is a symbolic link that leads to no file (%s); name the file to write",
                      path, strerror(errno)), 0;
    const char *what = OpNotRegularFile(target->c_str());
    if (what)
        return OpFail("'%s' is %s, not a regular file; ormpack writes only regular files", path,
                      what), 0;
    return 1;
}

/* Gives the filled temporary file the mode of the file it replaces,
 * flushes and closes it, and renames it over `target`; removes it on
 * failure. The mode comes last, so that a read-only mode does not keep
 * the writer out. Returns 1, or 0 after printing the error. */
static int FinishTemp(int fd, const std::string &tempName, const char *target, int program)
{
    std::string why;
    int error = OpTempTakeMode(fd, target, program);
    int closeError = OpTempClose(fd);

    if (!error)
        error = closeError;
    if (error) {
        remove(tempName.c_str());
        return OpFail("cannot write '%s': %s", tempName.c_str(), strerror(error)), 0;
    }
    if (OpReplaceFile(tempName.c_str(), target, &why))
        return 1;
    remove(tempName.c_str());
    return OpFail("cannot replace '%s': %s", target, why.c_str()), 0;
}

int OpWriteFileAtomic(const char *path, const uint8_t *bytes, size_t size, int program)
{
    std::string target, tempName;
    int fd, error;

    if (!CheckOutput(path, &target))
        return 0;
    fd = OpTempCreate(target.c_str(), &tempName);
    if (fd < 0)
        return OpFail("cannot create a temporary file beside '%s': %s", path, strerror(errno)), 0;
    error = OpTempWrite(fd, bytes, size);
    if (error) {
        OpTempClose(fd);
        remove(tempName.c_str());
        return OpFail("cannot write '%s': %s", tempName.c_str(), strerror(error)), 0;
    }
    return FinishTemp(fd, tempName, target.c_str(), program);
}

int OpWriteThroughTemp(const char *path, int program, OpFillFn fill, void *context)
{
    std::string target, tempName;
    int fd;

    if (!CheckOutput(path, &target))
        return 0;
    fd = OpTempCreate(target.c_str(), &tempName);
    if (fd < 0)
        return OpFail("cannot create a temporary file beside '%s': %s", path, strerror(errno)), 0;
    /* The descriptor stays open while `fill` writes the file by its name:
     * the mode and the flush then reach the very file that was created. */
    if (!fill(tempName.c_str(), context)) {
        OpTempClose(fd);
        remove(tempName.c_str());
        return 0;
    }
    return FinishTemp(fd, tempName, target.c_str(), program);
}
