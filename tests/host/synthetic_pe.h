/*
 * Test fixture: a small synthetic PE32 program file built in memory, with a
 * ".text" section and a ".ormset" section holding a settings record, and
 * helpers to write files and set header fields. Used by the PE, container
 * and ormpack tests of the native build, which cannot use the Win32 build's
 * real shell.
 *
 * Layout: DOS header (e_lfanew 0x80), NT headers at 0x80, 16 data directory
 * entries, section table at 0x178; ".text" raw 0x200..0x400, ".ormset" raw
 * 0x400..0x1400 with the record at 0x400. File size 0x1400.
 *
 * Also the attack on signed files: a second container placed inside the
 * certificate table of any signed PE file (PlantInCertificateTable).
 */
#ifndef ORM_TEST_SYNTHETIC_PE_H
#define ORM_TEST_SYNTHETIC_PE_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "embed_format.h"
#include "pe_image.h"
#include "settings_record.h"

namespace synth {

constexpr uint32_t kNtOffset = 0x80;
constexpr uint32_t kOptOffset = kNtOffset + 24;
constexpr uint32_t kChecksumOffset = kOptOffset + 64;
constexpr uint32_t kDirOffset = kOptOffset + 96;
constexpr uint32_t kSectionTable = kOptOffset + 0xE0;
constexpr uint32_t kRecordOffset = 0x400;
constexpr uint32_t kFileSize = 0x1400;

inline void Put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

inline void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

inline uint32_t Get32(const std::vector<uint8_t> &b, size_t at)
{
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}

inline void PutSection(std::vector<uint8_t> &b, int index, const char *name, uint32_t va,
                       uint32_t rawOffset, uint32_t rawSize)
{
    size_t at = kSectionTable + 40 * (size_t)index;
    memcpy(&b[at], name, strlen(name));
    Put32(b, at + 8, rawSize);      /* VirtualSize */
    Put32(b, at + 12, va);          /* VirtualAddress */
    Put32(b, at + 16, rawSize);     /* SizeOfRawData */
    Put32(b, at + 20, rawOffset);   /* PointerToRawData */
}

/* The fields of the record the fixture carries before packaging. */
inline ProductSettingsFields DefaultFields()
{
    ProductSettingsFields f;
    memset(&f, 0, sizeof f);
    f.programPath = "$SHELLDIR\\DEFAULT.EXE";
    f.storageParam = 0x12345678;
    return f;
}

/* A PE32 image with a valid built-in record (withRecord) or an .ormset
 * section of zeros. */
inline std::vector<uint8_t> MakePe(bool withRecord = true)
{
    std::vector<uint8_t> b(kFileSize, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kNtOffset);
    memcpy(&b[kNtOffset], "PE\0\0", 4);
    Put16(b, kNtOffset + 4, 0x14C);         /* i386 */
    Put16(b, kNtOffset + 6, 2);             /* sections */
    Put16(b, kNtOffset + 20, 0xE0);         /* SizeOfOptionalHeader */
    Put16(b, kNtOffset + 22, 0x0102);
    Put16(b, kOptOffset, 0x10B);            /* PE32 */
    Put32(b, kOptOffset + 32, 0x1000);      /* SectionAlignment */
    Put32(b, kOptOffset + 36, 0x200);       /* FileAlignment */
    Put32(b, kOptOffset + 56, 0x3000);      /* SizeOfImage */
    Put32(b, kOptOffset + 60, 0x200);       /* SizeOfHeaders */
    Put16(b, kOptOffset + 68, 2);           /* GUI */
    Put32(b, kOptOffset + 92, 16);          /* NumberOfRvaAndSizes */
    PutSection(b, 0, ".text", 0x1000, 0x200, 0x200);
    PutSection(b, 1, PS_SECTION_NAME, 0x2000, kRecordOffset, 0x1000);
    if (withRecord) {
        ProductSettingsFields f = DefaultFields();
        ProductSettings r;
        PsBuild(&r, &f);
        memcpy(&b[kRecordOffset], r.bytes, PS_RECORD_SIZE);
    }
    return b;
}

/* MakePe with a third section, ".rsrc", after ".ormset" (raw 0x1400 to
 * 0x1C00), as the real shell has sections after its record. */
constexpr uint32_t kTailSectionEnd = kFileSize + 0x800;
inline std::vector<uint8_t> MakePeWithTail()
{
    std::vector<uint8_t> b = MakePe();
    Put16(b, kNtOffset + 6, 3);
    PutSection(b, 2, ".rsrc", 0x3000, kFileSize, kTailSectionEnd - kFileSize);
    b.resize(kTailSectionEnd, 0x3C);
    return b;
}

/* Points data directory entry 4 (certificate table) at a file range. */
inline void SetCertificateTable(std::vector<uint8_t> &b, uint32_t offset, uint32_t size)
{
    Put32(b, kDirOffset + 8 * 4, offset);
    Put32(b, kDirOffset + 8 * 4 + 4, size);
}

/* Appends a stand-in certificate table (a WIN_CERTIFICATE header and
 * filler, 8-byte aligned as signing tools write it) and points entry 4 at it. */
inline void AppendCertificateTable(std::vector<uint8_t> &b, uint32_t size = 64)
{
    while (b.size() % 8)
        b.push_back(0);
    uint32_t offset = (uint32_t)b.size();
    b.resize(b.size() + size, 0xC5);
    Put32(b, offset, size);                 /* dwLength */
    Put16(b, offset + 4, 0x0200);           /* revision */
    Put16(b, offset + 6, 0x0002);           /* PKCS#7 signed data */
    SetCertificateTable(b, offset, size);
}

/* Places a container for `text` inside the certificate table that ends a
 * signed PE file, as anyone can without breaking the signature (the table
 * is not hashed): appended after the table so that it ends the file on an
 * 8-byte boundary, with the first certificate's length and directory entry
 * 4's size grown to cover it, and the image checksum made right again.
 * Returns false when the file has no table at its end. */
inline bool PlantInCertificateTable(std::vector<uint8_t> &b, const std::string &text)
{
    PeImage image;
    uint32_t offset, size;
    if (PeParseHeaders(b.data(), (uint32_t)b.size(), (uint32_t)b.size(), &image) != PE_OK ||
        !PeGetCertificateTable(&image, &offset, &size) || (uint64_t)offset + size != b.size())
        return false;
    uint32_t entry = image.directoryOffset + 8 * PE_DIR_SECURITY, checksumOffset = image.checksumOffset;
    while ((b.size() + EMBED_CONTAINER_SIZE(text.size())) % 8)
        b.push_back(0);
    uint32_t position = (uint32_t)b.size();
    b.resize(position + EMBED_CONTAINER_SIZE(text.size()));
    if (!EmbedBuildContainer((const uint8_t *)text.data(), (uint32_t)text.size(), position, "planted.ini",
                             0x0BADC0DE, &b[position]))
        return false;
    uint32_t grown = (uint32_t)b.size() - offset - size;
    Put32(b, offset, Get32(b, offset) + grown);   /* WIN_CERTIFICATE dwLength */
    Put32(b, entry + 4, size + grown);
    Put32(b, checksumOffset, PeComputeChecksum(b.data(), (uint32_t)b.size(), checksumOffset));
    return true;
}

inline bool WriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

inline std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}

}  // namespace synth

#endif
