/*
 * The appended configuration container: its stored format, shared by the
 * shell's reader (embed_read.cpp) and the packaging tool's writer. Portable,
 * no Windows headers, no allocation.
 *
 * Container at file offset P (P = file size before it was appended):
 *   P           72   EmbedHeader, first copy
 *   P + 72      L    body (the configuration text), L <= 65535
 *   P + 72 + L  72   EmbedHeader, second copy; ends at the end of the file
 *
 * EmbedHeader, little-endian:
 *   0  magic[4]      7F D6 A2 53
 *   4  version u16   0
 *   6  bodyOffset    u32, P + 72 (written, not read)
 *  10  name[32]      zero-filled, no terminator at 32 characters (written, not read)
 *  42  length u16    L
 *  44  parameter     u32, the body's protection parameter in masked form
 *  48  crcPlain      u32, CRC-32 of the plain body
 *  52  crcStored     u32, CRC-32 of the body as stored
 *  56  zero[16]
 *
 * Protected forms (all are XOR with a keystream, so each is its own inverse):
 *  1. Header bytes 6..71 of a copy are XORed with a keystream seeded from the
 *     copy's own file offset: the two copies of one header differ in the
 *     file, and a copy moved elsewhere no longer decodes.
 *  2. The body is XORed with a keystream seeded from the plain protection
 *     parameter.
 *  3. The parameter is stored masked: rotated left by 13 bits, then XORed
 *     with a constant. Callers that pass an override pass this masked form.
 *  4. Keystream: a 32-bit linear congruential generator (x = 1664525 x +
 *     1013904223), one byte per step from its top 8 bits; the seed mixes the
 *     offset or parameter with a constant so that header and body streams
 *     never coincide.
 * Magic and version stay plain so that a header can be recognised before it
 * is decoded.
 */
#ifndef ORM_EMBED_FORMAT_H
#define ORM_EMBED_FORMAT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define EMBED_HEADER_SIZE       72
#define EMBED_VERSION           0
#define EMBED_MAX_BODY          65535u
#define EMBED_NAME_SIZE         32

#define EMBED_OFF_MAGIC         0
#define EMBED_OFF_VERSION       4
#define EMBED_OFF_BODY_OFFSET   6
#define EMBED_OFF_NAME          10
#define EMBED_OFF_LENGTH        42
#define EMBED_OFF_PARAMETER     44
#define EMBED_OFF_CRC_PLAIN     48
#define EMBED_OFF_CRC_STORED    52
#define EMBED_OFF_ZERO          56
#define EMBED_PROTECTED_FROM    6     /* bytes 0..5 are stored plain */

/* Size of a whole container for a body of `length` bytes. */
#define EMBED_CONTAINER_SIZE(length) (2u * EMBED_HEADER_SIZE + (uint32_t)(length))

extern const uint8_t EMBED_MAGIC[4];

/* The plain fields of a header, for writers and for display. */
typedef struct EmbedHeaderFields {
    uint32_t bodyOffset;             /* file offset of the body */
    char name[EMBED_NAME_SIZE + 1];  /* NUL-terminated copy of the name */
    uint16_t length;                 /* L */
    uint32_t maskedParameter;        /* protection parameter, masked form */
    uint32_t crcPlain;               /* CRC-32 of the plain body */
    uint32_t crcStored;              /* CRC-32 of the stored body */
} EmbedHeaderFields;

/* CRC-32 of IEEE 802.3 (reflected 0xEDB88320, initial 0xFFFFFFFF, final
 * complement). Keeps no state: safe on any thread. */
uint32_t EmbedCrc32(const uint8_t *bytes, uint32_t length);

/* Turns a header copy's bytes 6..71 between plain and stored form for the
 * copy at `fileOffset`. */
void EmbedProtectHeader(uint8_t *header, uint32_t fileOffset);

/* Turns a body between plain and stored form; `parameter` is plain. */
void EmbedProtectBody(uint8_t *body, uint32_t length, uint32_t parameter);

/* Plain protection parameter to and from its masked form. */
uint32_t EmbedMaskParameter(uint32_t parameter);
uint32_t EmbedUnmaskParameter(uint32_t masked);

/* Whether a plain header holds the magic and version 0. */
int EmbedHeaderIsValid(const uint8_t *header);

/* Fields of a plain header. */
void EmbedDecodeHeader(const uint8_t *header, EmbedHeaderFields *fields /* OUT */);

/* Fills a plain header from fields (magic and version set, name truncated
 * to 32 characters, bytes 56..71 zero). */
void EmbedEncodeHeader(uint8_t *header /* OUT, 72 bytes */, const EmbedHeaderFields *fields);

/* Writes a complete stored container for `body` that will start at file
 * offset `position`, into `out` (EMBED_CONTAINER_SIZE(length) bytes).
 * `parameter` is the plain protection parameter. Returns 1, or 0 when the
 * body is longer than 65535 bytes or the container would end beyond
 * 4 GiB. */
int EmbedBuildContainer(const uint8_t *body, uint32_t length, uint32_t position,
                        const char *name, uint32_t parameter, uint8_t *out /* OUT */);

#ifdef __cplusplus
}
#endif

#endif
