/*
 * ormpack: reading a program file's configuration container through the
 * shell's own reader, and checking configuration text with the shell's own
 * parser before it is packaged.
 */
#ifndef ORMPACK_CONTAINER_H
#define ORMPACK_CONTAINER_H

#include <stdint.h>

#include <string>

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

/* Reads the container of the file at path as the shell would. Returns 1
 * (whether or not there is a container), or 0 after printing why the file
 * cannot be read. */
int OpReadContainer(const char *path, OpContainer *container /* OUT */);

/* A short name for a reader status ("ok", "copies-differ", ...). */
const char *OpEmbedStatusName(EmbedStatus status);

/* The 1-based number of the first line the configuration parser refuses, or
 * 0 when it accepts the whole text. `result` gets the parser's result for
 * the whole text. Lines end at LF, CR LF or a lone CR. */
uint32_t OpFirstMalformedLine(const char *text, uint32_t length, uint32_t *result /* OUT */);

/* The text of line `number` (1-based), without its line end. */
std::string OpLineText(const char *text, uint32_t length, uint32_t number);

#endif
