/*
 * ormpack: reading a program file's configuration container through the
 * shell's own reader, and checking configuration text with the shell's own
 * parser before it is packaged.
 */
#ifndef ORMPACK_CONTAINER_H
#define ORMPACK_CONTAINER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "embed.h"

typedef struct OpContainer {
    EmbedReadReport report;  /* what the reader found; report.tableOffset and
                                tableSize name a signed file's certificate table */
    int present;             /* a header with magic and version ends the file
                                (or, signed, precedes the certificate table) */
    int intact;              /* the reader gave the body back */
    std::string body;        /* the plain body, when intact */
    /* Signed files: a container that ends the file inside the certificate
     * table, which the signature does not cover and the shell never reads. */
    int inTable;
    EmbedReadReport tableReport;
} OpContainer;

/* Reads the whole file at path, and its container as the shell would,
 * from those same bytes: a file changed or replaced after the first read
 * (or a pipe, which gives nothing when opened again) cannot give a
 * container of another version. Returns 1 (whether or not there is a
 * container), or 0 after printing why the file cannot be read. Files of
 * 4 GiB and more are refused. */
int OpReadInput(const char *path, std::vector<uint8_t> *bytes /* OUT */,
                OpContainer *container /* OUT */);

/* Where ormpack put a container: its first header copy (magic and version,
 * which are stored plain) right after the image, behind at most 7 zero
 * bytes of padding. Returns 1 and its file offset, or 0. This finds the
 * remains of a container damaged at its tail too (its last copy broken or
 * the file cut inside it), which the reader, starting from the end, cannot
 * see. */
int OpFindContainerStart(const std::vector<uint8_t> &bytes, uint32_t imageEnd,
                         uint32_t *start /* OUT */);

/* A short name for a reader status ("ok", "copies-differ", ...). */
const char *OpEmbedStatusName(EmbedStatus status);

/* The 1-based number of the first line the configuration parser refuses, or
 * 0 when it accepts the whole text. `result` gets the parser's result for
 * the whole text. Lines end at LF, CR LF or a lone CR. */
uint32_t OpFirstMalformedLine(const char *text, uint32_t length, uint32_t *result /* OUT */);

/* Why the shell would not read a line as it is written. */
typedef enum OpLineFault {
    OP_LINE_OK = 0,
    OP_LINE_NUL,        /* a NUL byte, which ends a line for the shell */
    OP_LINE_TOO_LONG    /* more than 255 characters; the shell cuts the rest */
} OpLineFault;

/* The 1-based number of the first line that holds a NUL byte or is longer
 * than 255 characters, or 0 when there is none. `column` gets the NUL's
 * 1-based column or the line's length. Lines end as for
 * OpFirstMalformedLine. */
uint32_t OpFirstUnreadableLine(const char *text, uint32_t length, OpLineFault *fault /* OUT */,
                               uint32_t *column /* OUT */);

/* The text of line `number` (1-based), without its line end. */
std::string OpLineText(const char *text, uint32_t length, uint32_t number);

#endif
