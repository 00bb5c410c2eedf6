/*
 * PE image headers read from bytes: the DOS header, the NT headers, the data
 * directory and the section table. Portable (no Windows headers) and guarded
 * against every offset a damaged or hostile file can hold: the packaging tool
 * parses whole program files with it, the container reader parses the first
 * bytes of the shell's own file to find an Authenticode certificate table.
 *
 * All offsets are file offsets; every range is checked against the bytes
 * given (the head) or against the file's size before it is used.
 */
#ifndef ORM_PE_IMAGE_H
#define ORM_PE_IMAGE_H

#include <stdint.h>

/* Results of PeParseHeaders. */
#define PE_OK             0
#define PE_ERR_DOS        1   /* no "MZ" DOS header */
#define PE_ERR_NT         2   /* NT header offset out of range or no "PE\0\0" */
#define PE_ERR_OPTIONAL   3   /* optional header of unknown kind or too short */

#define PE_DOS_HEADER_SIZE    64
#define PE_SECTION_HEADER_SIZE 40
#define PE_DIR_SECURITY       4   /* certificate table; its address is a file offset */

/* How many bytes of a file's start PeParseHeaders needs for an ordinary image
 * (DOS stub, NT headers, data directory); the reader reads this much. */
#define PE_HEAD_READ_SIZE     1024

typedef struct PeImage {
    const uint8_t *head;          /* the bytes parsed: the file's first headLength bytes */
    uint32_t headLength;          /* bytes available at head */
    uint32_t fileSize;            /* size of the whole file (>= headLength) */
    uint32_t ntOffset;            /* file offset of the "PE\0\0" signature */
    uint16_t machine;             /* file header Machine */
    uint16_t sectionCount;        /* file header NumberOfSections */
    uint16_t optionalMagic;       /* 0x10B (PE32) or 0x20B (PE32+) */
    uint32_t checksumOffset;      /* file offset of the optional header's CheckSum */
    uint32_t directoryOffset;     /* file offset of data directory entry 0 */
    uint32_t directoryCount;      /* entries both declared and inside the optional header and head */
    uint32_t sectionTableOffset;  /* file offset of the first section header */
    uint32_t headersSize;         /* optional header SizeOfHeaders */
} PeImage;

typedef struct PeSection {
    char name[9];                 /* up to 8 characters, NUL-terminated */
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;             /* SizeOfRawData */
    uint32_t rawOffset;           /* PointerToRawData */
} PeSection;

/* Parses the headers from head, the first headLength bytes of a file of
 * fileSize bytes. Returns PE_OK and fills image, or a PE_ERR_* code. The image
 * keeps the head pointer: the bytes must outlive it. */
int PeParseHeaders(const uint8_t *head, uint32_t headLength, uint32_t fileSize,
                   PeImage *image /* OUT */);

/* Data directory entry `index`. Returns 1 and its two words, or 0 when the
 * entry is not present in the header. */
int PeGetDirectory(const PeImage *image, uint32_t index,
                   uint32_t *address /* OUT */, uint32_t *size /* OUT */);

/* Section header `index`. Returns 1, or 0 when the index is out of range or
 * the header lies outside the head. */
int PeGetSection(const PeImage *image, uint32_t index, PeSection *section /* OUT */);

/* First section whose name is `name` and whose raw data lies inside the
 * file. Returns 1 and the section, 0 when there is none. */
int PeFindSection(const PeImage *image, const char *name, PeSection *section /* OUT */);

/* The Authenticode certificate table (directory entry 4). Returns 1 with its
 * file offset and size when the entry is set and the table lies inside the
 * file; 0 when the image is unsigned or the entry is out of range. */
int PeGetCertificateTable(const PeImage *image, uint32_t *offset /* OUT */,
                          uint32_t *size /* OUT */);

/* Parts of an image that can reach past the end of a file cut short. */
#define PE_EXTENT_OK             0
#define PE_EXTENT_HEADERS        1   /* SizeOfHeaders */
#define PE_EXTENT_SECTION_TABLE  2   /* the section headers */
#define PE_EXTENT_SECTION        3   /* a section's raw data */

typedef struct PeExtentFault {
    int part;            /* PE_EXTENT_* */
    char name[9];        /* the section's name, for PE_EXTENT_SECTION */
    uint64_t end;        /* file offset where the part ends */
} PeExtentFault;

/* Whether the headers, the section table and every section's raw data lie
 * inside the file: Windows refuses to start an image that is cut short
 * (error 193). The head must hold the whole section table (the packaging
 * tool parses whole files). Returns PE_EXTENT_OK, or the first part that
 * reaches past the end, described in `fault`. */
int PeCheckExtents(const PeImage *image, PeExtentFault *fault /* OUT */);

/* The optional header's CheckSum as the image loader computes it over a whole
 * file: 16-bit one's-complement sum of the file's words with the CheckSum
 * field counted as 0, plus the file size. */
uint32_t PeComputeChecksum(const uint8_t *file, uint32_t size, uint32_t checksumOffset);

#endif
