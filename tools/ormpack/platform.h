/*
 * ormpack: what the tool needs of the operating system, declared once and
 * implemented per platform (platform_posix.cpp, platform_win32.cpp; CMake
 * picks one, as for the file layer): reading an input and its container
 * from the same bytes, where an output really lies, temporary files beside
 * it and the rename over it, telling files apart, standard output as bytes.
 */
#ifndef ORMPACK_PLATFORM_H
#define ORMPACK_PLATFORM_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "fileio.h"

/* Opens an input to be read whole ("rb"). On Windows writers are shut out
 * while it is open (no write or delete sharing), so that the file cannot
 * change or be replaced. Returns the stream, or NULL with errno set. */
FILE *OpOpenInput(const char *path);

/* A handle for the container reader from which it reads exactly `bytes`,
 * the whole content read from `input`, whatever became of the file since:
 * on POSIX a copy in memory (memfd_create; elsewhere an unnamed temporary
 * file), on Windows the input's own handle, whose writers are shut out.
 * Valid until OpReleaseBytesHandle, which comes before `input` is closed.
 * Returns 0 or an errno value. */
int OpBytesHandle(FILE *input, const std::vector<uint8_t> &bytes, FileHandle *handle /* OUT */);
void OpReleaseBytesHandle(FileHandle handle);

/* The file that writing to `path` must replace: `path` itself, or for a
 * symbolic link the file it leads to, so that the link stays a link and
 * its target gets the new content. Returns 1, or 0 with errno set when a
 * link leads to no file (on Windows `path` is always taken as it is). */
int OpResolveOutput(const char *path, std::string *target /* OUT */);

/* Creates a new, empty file beside `path` (its name is path plus
 * ".ormpack-tmp-" and six characters), open for writing and, on POSIX,
 * private to its owner until OpTempTakeMode. Returns a descriptor and sets
 * `tempName`, or returns -1 with errno set. */
int OpTempCreate(const char *path, std::string *tempName /* OUT */);

/* Gives the temporary file (its descriptor) what the file it replaces has:
 * on POSIX the mode of the file at `path` when there is one (as root, its
 * owner and group too), else (program ? 0777 : 0666) less the umask, as
 * for a file the program created itself. On Windows nothing: ReplaceFile
 * keeps the replaced file's attributes and access control list. Returns 0
 * or an errno value. */
int OpTempTakeMode(int fd, const char *path, int program);

/* Writes all `size` bytes to the descriptor. Returns 0 or an errno value. */
int OpTempWrite(int fd, const uint8_t *bytes, size_t size);

/* Flushes the file to the disk and closes the descriptor (closed even when
 * the flush fails). Returns 0 or an errno value. */
int OpTempClose(int fd);

/* Renames `tempName` over `path`, replacing a file that is there (on
 * Windows keeping its attributes and access control list). Returns 1, or 0
 * with the system's reason in `why`. */
int OpReplaceFile(const char *tempName, const char *path, std::string *why /* OUT */);

/* Whether two paths name the same existing file. */
int OpSameFile(const char *a, const char *b);

/* What `path` names when it exists and is not a regular file ("a folder",
 * "a FIFO", "a device", ...), or NULL when it is a regular file or does not
 * exist. */
const char *OpNotRegularFile(const char *path);

/* Writes bytes to standard output exactly as they are (no translation of
 * line ends on Windows); the rest of the output keeps its mode. */
void OpWriteStdoutExact(const void *bytes, size_t size);

#endif
