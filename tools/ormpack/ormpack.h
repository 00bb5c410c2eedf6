/*
 * ormpack: the packaging tool for ORMGEN32.EXE. Declares the command table's
 * record, the command functions (one source per command family) and the
 * helpers they share: option parsing, one-line errors, whole-file reads and
 * writes that replace the output atomically.
 *
 * Exit codes of every command: 0 success, 1 failure, 2 usage error.
 */
#ifndef ORMPACK_H
#define ORMPACK_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "platform.h"

#define OP_EXIT_OK     0
#define OP_EXIT_FAILED 1
#define OP_EXIT_USAGE  2

/* A command gets the arguments that follow its name (argv[0] is the first
 * of them) and returns an exit code. */
typedef int (*OpCommandFn)(int argc, char **argv);

typedef struct OpCommand {
    const char *name;      /* word on the command line */
    OpCommandFn run;
    const char *synopsis;  /* arguments, one line */
    const char *help;      /* what it does, one line */
    const char *options;   /* option lines for "ormpack NAME --help", or NULL */
} OpCommand;

/* cmd_build.cpp */
int OpBuild(int argc, char **argv);
/* cmd_inspect.cpp */
int OpInspect(int argc, char **argv);
/* cmd_extract.cpp */
int OpExtract(int argc, char **argv);
/* cmd_ini.cpp */
int OpIni(int argc, char **argv);
int OpGet(int argc, char **argv);

/* ---- Shared helpers (common.cpp) ---- */

/* The running command's name, for messages ("ormpack build: ..."). */
void OpSetCommandName(const char *name);

/* Prints "ormpack CMD: message" on stderr; returns OP_EXIT_FAILED. */
int OpFail(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Prints "ormpack CMD: warning: message" on stderr; the run goes on. */
void OpWarn(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Prints "ormpack CMD: message (see 'ormpack CMD --help')" on stderr;
 * returns OP_EXIT_USAGE. */
int OpUsageError(const char *format, ...) __attribute__((format(printf, 1, 2)));

typedef enum OpOptionKind { OP_OPT_FLAG, OP_OPT_VALUE } OpOptionKind;

/* One option of a command: "--name", "--name VALUE" or "--name=VALUE". */
typedef struct OpOption {
    const char *name;       /* long form, "--program" */
    const char *shortName;  /* "-o", or NULL */
    OpOptionKind kind;
    int *flag;              /* OP_OPT_FLAG: set to 1 when given */
    const char **value;     /* OP_OPT_VALUE: the argument when given */
} OpOption;

/* Parses argv against a table of options; the other words are positional
 * (after "--" every word is). Requires between minPositional and
 * maxPositional of them. Returns OP_EXIT_OK, or OP_EXIT_USAGE after
 * printing the error. An option given twice is a usage error. */
int OpParseArgs(int argc, char **argv, const OpOption *options, size_t optionCount,
                const char **positional /* OUT */, size_t minPositional,
                size_t maxPositional, size_t *positionalCount /* OUT */);

/* Reads a whole file. Returns 1, or 0 after printing the error. Files of
 * 4 GiB and more are refused. */
int OpReadFile(const char *path, std::vector<uint8_t> *bytes /* OUT */);

/* OpReadFile on a stream open for reading (`path` names it in messages);
 * the stream stays open. */
int OpReadStream(FILE *file, const char *path, std::vector<uint8_t> *bytes /* OUT */);

/* Writes bytes to path through a temporary file in the same folder and a
 * rename, so that a failure never leaves a partial file at path. A file
 * that is replaced keeps its mode (as root, its owner and group too; on
 * Windows its attributes and access control list); on POSIX a new one gets
 * what open() would give it, executable when `program` is set. A symbolic
 * link stays a link: the file it leads to is replaced. An output that
 * exists and is not a regular file (a FIFO, a device, a folder) is refused.
 * Returns 1, or 0 after printing the error. */
int OpWriteFileAtomic(const char *path, const uint8_t *bytes, size_t size, int program);

/* Fills the file at `tempPath` (which exists, empty); returns 1, or 0 after
 * printing the error. */
typedef int (*OpFillFn)(const char *tempPath, void *context);

/* OpWriteFileAtomic for writers that take a file name: creates the
 * temporary file beside `path`, lets `fill` write it, and renames it over
 * path, with the same refusal. Returns 1, or 0 after printing the error
 * (the temporary file is removed). Writing a file onto itself is safe: it
 * is replaced at once. */
int OpWriteThroughTemp(const char *path, int program, OpFillFn fill, void *context);

/* Text from a file made safe for a terminal: control characters and bytes
 * from 0x7F (which include the C1 controls, ESC's 8-bit forms) as \xHH,
 * so that a crafted file cannot send escape sequences. */
std::string OpTerminalText(const char *text, size_t length);

/* Writes text as a JSON string literal (bytes outside ASCII as \u00XX). */
void OpJsonString(FILE *out, const char *text, size_t length);

#endif
