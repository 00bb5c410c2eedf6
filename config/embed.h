/*
 * Reading the configuration container appended to a program file (format in
 * embed_format.h). The shell calls EmbedLoadIni with its own file name; the
 * packaging tool reads containers through the same functions, so what it
 * reports is what the shell will see. A product started by the shell calls
 * EmbedLoadShellIni to read the same configuration.
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

/* Opens the program file at `path`, reads its appended container and parses
 * the body as configuration text. Returns the IniFile, which the caller
 * releases with IniClose, or NULL. */
IniFile *EmbedLoadIni(const char *path);

#ifdef _WIN32
/* EmbedLoadIni with a UTF-16 file name (FileOpenW), for a program file whose
 * name the ANSI code page cannot spell; Windows NT only. */
IniFile *EmbedLoadIniW(const wchar_t *path);
#endif

/* The name of the environment variable in which the shell hands its own
 * full file name to the product it starts; on Windows also as a UTF-16
 * string, for the wide environment functions. */
#define EMBED_SHELL_VARIABLE "ORMGEN32_SHELL"
#ifdef _WIN32
#define EMBED_SHELL_VARIABLE_W L"ORMGEN32_SHELL"
#endif

/* For a product: the configuration text appended to the shell that started
 * it. Reads the file named by the environment variable ORMGEN32_SHELL (the
 * shell sets it to its own full file name, as UTF-16 on Windows NT, so any
 * folder name works) and parses its container as EmbedLoadIni does.
 * Returns the IniFile, which the caller reads with the lookups of ini.h and
 * releases with IniClose; or NULL when the variable is unset or empty (the
 * product was not started by a shell), or the file has no container, or
 * the container or its text is damaged.
 * A product that asks for administrator rights never has the variable: the
 * shell starts it through the elevation prompt, and Windows gives an
 * elevated program a fresh environment, not the shell's. Such a product
 * reads its shell with EmbedLoadIni(W) by a name the vendor chooses (the
 * packaged shell beside the product), or leaves requireAdministrator out of
 * its manifest and elevates inside it where needed. */
IniFile *EmbedLoadShellIni(void);

#ifdef __cplusplus
}
#endif

#endif
