/*
 * The product settings record: its stored layout, its protected body form and
 * its checksum. Portable (no Windows headers): the shell validates its own
 * built-in copy with it, and the packaging tool writes and reads records in
 * program files with the very same code.
 *
 * Layout (3676 bytes, little-endian, no gaps):
 *   0  magic[8]        D6 AB 32 F1 B5 C2 91 0F
 *   8  version u16     13
 *  10  checksum u32    ProductSettingsChecksum of the plain body
 *  14  storageParam u32  selects the keystream of the protected body
 *  18  bodyLength u16  bytes covered by the checksum, from offset 20; <= 3656
 *  20  body[3656]      flags u32 @20, programPath[80] @28,
 *                      osExclusionMask u32 @2906; the rest reserved
 */
#ifndef ORM_SETTINGS_RECORD_H
#define ORM_SETTINGS_RECORD_H

#include <stddef.h>
#include <stdint.h>

#include "stored_bytes.h"

#define PS_RECORD_SIZE        3676
#define PS_HEADER_SIZE        20
#define PS_BODY_SIZE          3656
#define PS_VERSION            13

#define PS_OFF_MAGIC          0
#define PS_OFF_VERSION        8
#define PS_OFF_CHECKSUM       10
#define PS_OFF_STORAGE_PARAM  14
#define PS_OFF_BODY_LENGTH    18
#define PS_OFF_BODY           20
#define PS_OFF_FLAGS          20
#define PS_OFF_PROGRAM_PATH   28
#define PS_PROGRAM_PATH_SIZE  80   /* at most 79 characters and the NUL */
#define PS_OFF_OS_EXCLUSION   2906

/* Option bits of flags. */
#define PSF_CONFIG_REQUIRED   0x1000u
#define PSF_WAIT_FOR_PRODUCT  0x20000u
#define PSF_PASS_EXIT_CODE    0x40000u   /* with WAIT: the shell ends with the product's code */
#define PSF_KILL_WITH_SHELL   0x80000u   /* with WAIT: the product ends when the shell is ended */

/* The macros that may begin programPath: the shell puts the Windows folder
 * or its own folder in their place (each with its closing backslash). */
#define MACRO_WINDIR    "$WINDIR\\"
#define MACRO_SHELLDIR  "$SHELLDIR\\"

/* Operating-system kinds, the bits of osExclusionMask. */
#define OS_KIND_OTHER   0u
#define OS_KIND_WIN32S  1u
#define OS_KIND_WIN95   2u
#define OS_KIND_WINNT   4u

/* Name of the PE section that holds the shell's built-in record, so the
 * packaging tool finds it without searching for the magic bytes. */
#define PS_SECTION_NAME ".ormset"

inline constexpr uint8_t PS_MAGIC[8] = {0xD6, 0xAB, 0x32, 0xF1, 0xB5, 0xC2, 0x91, 0x0F};

/* The record as raw bytes; fields are read and written with the accessors
 * below so that byte order and alignment never depend on the compiler. */
typedef struct ProductSettings {
    uint8_t bytes[PS_RECORD_SIZE];
} ProductSettings;

/* Plain field values, for building a record. */
typedef struct ProductSettingsFields {
    uint32_t flags;                 /* PSF_* bits */
    const char *programPath;        /* at most 79 characters */
    uint32_t osExclusionMask;       /* OS_KIND_* bits */
    uint32_t storageParam;          /* keystream selector of the body */
} ProductSettingsFields;

/* s = 3*s + w over little-endian 32-bit words, then 3*s + b over the
 * one to three bytes left; unsigned and wrapping. Constexpr so that the
 * shell's default record is computed by the compiler with this same code. */
constexpr uint32_t ProductSettingsChecksum(const uint8_t *bytes, uint32_t length)
{
    uint32_t s = 0, i = 0;
    for (; i + 4 <= length; i += 4)
        s = 3u * s + LeGet32(bytes + i);
    for (; i < length; i++)
        s = 3u * s + bytes[i];
    return s;
}

/* Turns the first `length` bytes of a body between its plain and protected
 * forms: XOR with the keystream seeded from storageParam. The
 * transformation is its own inverse. */
constexpr void PsProtectBody(uint8_t *body, uint32_t length, uint32_t storageParam)
{
    KeystreamXor(body, length, storageParam ^ 0x9E3779B9u);
}

/* Checks magic and version, restores the body in place and compares the
 * checksum. Returns 1 for a valid record, 0 otherwise; a bodyLength above
 * 3656 is invalid (it would reach past the record). */
int PsValidateInPlace(ProductSettings *record);

/* Builds a complete stored record (protected body, checksum over the plain
 * body, bodyLength 3656). Returns 0, or -1 when programPath does not fit. */
int PsBuild(ProductSettings *record, const ProductSettingsFields *fields);

/* Field access on a record's bytes (little-endian). */
uint16_t PsGet16(const ProductSettings *record, size_t offset);
uint32_t PsGet32(const ProductSettings *record, size_t offset);
void PsPut16(ProductSettings *record, size_t offset, uint16_t value);
void PsPut32(ProductSettings *record, size_t offset, uint32_t value);

#endif
