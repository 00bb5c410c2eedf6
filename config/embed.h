/*
 * Reading the configuration container appended to a program file (format in
 * embed_format.h): the block reads and the report of what they found, for
 * the project's own tools and tests. The shell calls EmbedLoadIni with its
 * own file name; the packaging tool reads containers through the same
 * functions, so what it reports is what the shell will see. What a product
 * calls (EmbedLoadIni, EmbedLoadShellIni, ...) is declared in
 * embed_public.h, which this header includes; only that one is installed,
 * as <ormgen32/embed.h>.
 *
 * Every failure gives none (NULL) and leaves nothing to free: a missing or
 * short file, wrong magic or version, header copies that differ, a length
 * that reaches before the start of the file, a failed or short read, either
 * checksum, memory, or (EmbedLoadIni) a body the parser refuses.
 */
#ifndef ORM_EMBED_H
#define ORM_EMBED_H

#include <stdint.h>

#include "embed_format.h"
#include "embed_public.h"
#include "fileio.h"
#include "ini.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Why a read gave none, for tools and tests; the shell never looks. */
typedef enum EmbedStatus {
    EMBED_OK = 0,
    EMBED_NO_HEADER,        /* no 72 bytes where a header copy must be */
    EMBED_BAD_HEADER,       /* magic or version wrong after decoding */
    EMBED_BAD_RANGE,        /* the length reaches before the file start or past 4 GiB */
    EMBED_NO_SECOND_COPY,   /* the other copy cannot be read in full */
    EMBED_COPIES_DIFFER,    /* the copies' plain forms differ */
    EMBED_NO_MEMORY,        /* no buffer for the body */
    EMBED_SHORT_BODY,       /* the body cannot be read in full */
    EMBED_STORED_CRC,       /* the body as stored fails its checksum */
    EMBED_PLAIN_CRC         /* the body restores to wrong bytes */
} EmbedStatus;

/* What a read found; filled as far as the read got. */
typedef struct EmbedReadReport {
    EmbedStatus status;          /* EMBED_OK when a body came back */
    uint32_t start;              /* file offset of the first copy, once the copies agree */
    uint32_t end;                /* file offset just after the second copy, likewise */
    EmbedHeaderFields header;    /* plain fields, once the first header read decodes */
    uint32_t tableOffset;        /* EmbedReadAppended: the certificate table that ends */
    uint32_t tableSize;          /* a signed file (0, 0 when unsigned) */
} EmbedReadReport;

/* Reads the container at `position`: its end when `atEnd` is set (the second
 * copy lies in the 72 bytes before it), else its start. Returns the plain
 * body (a buffer of at least one byte even when the body is empty, with a
 * zero byte after the body) and its length, or NULL; the caller releases
 * the body with EmbedFreeBlock. `parameterOverride`, when not 0, is a masked
 * protection parameter that replaces the header's. The file stays open. */
char *EmbedReadBlock(FileHandle file, uint32_t position,
                     uint32_t *length,            /* OUT, may be NULL; 0 on failure */
                     uint32_t parameterOverride, uint16_t atEnd);

/* EmbedReadBlock that also says what it found (report may be NULL). */
char *EmbedReadBlockReport(FileHandle file, uint32_t position, uint32_t *length,
                           uint32_t parameterOverride, uint16_t atEnd,
                           EmbedReadReport *report /* OUT */);

/* Releases a body; nothing for NULL. */
void EmbedFreeBlock(char *body);

/* Reads the container appended to a program file of `fileSize` bytes.
 * When the file is a PE image whose Authenticode certificate table takes
 * up the end of the file (a signed file: signing appends the table after
 * the container), only the container that ends where the table starts is
 * read, and nothing inside or after the table: the signature does not
 * cover the table, so anything placed there keeps the signature valid.
 * Otherwise (unsigned), the container that ends at the end of the file.
 * Returns the body as EmbedReadBlock does. */
char *EmbedReadAppended(FileHandle file, uint32_t fileSize, uint32_t *length /* OUT */,
                        EmbedReadReport *report /* OUT, may be NULL */);

#ifdef __cplusplus
}
#endif

#endif
