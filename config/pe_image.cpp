/*
 * PE header parsing over a byte prefix of a file. Every offset taken from the
 * file is checked in 64-bit arithmetic against the bytes available before it
 * is read, so no value in a damaged file can make a read wrap or overrun.
 */
#include "pe_image.h"

#include <string.h>

#include "stored_bytes.h"

#define PE_OFF_LFANEW          0x3C
#define PE_FILE_HEADER_SIZE    20
#define PE_OPT_MAGIC_PE32      0x10B
#define PE_OPT_MAGIC_PE32PLUS  0x20B
#define PE_OPT_OFF_HEADERS     60   /* SizeOfHeaders, PE32 and PE32+ */
#define PE_OPT_OFF_CHECKSUM    64
#define PE_OPT32_OFF_DIRCOUNT  92   /* NumberOfRvaAndSizes, PE32 */
#define PE_OPT64_OFF_DIRCOUNT  108  /* NumberOfRvaAndSizes, PE32+ */
#define PE_DIR_ENTRY_SIZE      8

/* Whether [offset, offset + length) lies inside `limit` bytes. */
static int InRange(uint64_t offset, uint64_t length, uint64_t limit)
{
    return offset <= limit && length <= limit - offset;
}

int PeParseHeaders(const uint8_t *head, uint32_t headLength, uint32_t fileSize, PeImage *image)
{
    uint64_t nt, opt, countField, dirOffset, entries, room;
    uint16_t optSize;

    memset(image, 0, sizeof *image);
    if (headLength > fileSize)
        headLength = fileSize;
    if (headLength < PE_DOS_HEADER_SIZE || head[0] != 'M' || head[1] != 'Z')
        return PE_ERR_DOS;

    nt = LeGet32(head + PE_OFF_LFANEW);
    /* Signature, file header and the optional header's magic. */
    if (!InRange(nt, 4 + PE_FILE_HEADER_SIZE + 2, headLength) || memcmp(head + nt, "PE\0\0", 4) != 0)
        return PE_ERR_NT;
    opt = nt + 4 + PE_FILE_HEADER_SIZE;
    optSize = LeGet16(head + nt + 4 + 16);

    image->optionalMagic = LeGet16(head + opt);
    if (image->optionalMagic == PE_OPT_MAGIC_PE32)
        countField = PE_OPT32_OFF_DIRCOUNT;
    else if (image->optionalMagic == PE_OPT_MAGIC_PE32PLUS)
        countField = PE_OPT64_OFF_DIRCOUNT;
    else
        return PE_ERR_OPTIONAL;
    /* The fixed part up to and including NumberOfRvaAndSizes must be there. */
    if (optSize < countField + 4 || !InRange(opt, countField + 4, headLength))
        return PE_ERR_OPTIONAL;

    dirOffset = opt + countField + 4;
    entries = LeGet32(head + opt + countField);
    room = (optSize - (countField + 4)) / PE_DIR_ENTRY_SIZE;   /* declared size bounds the table */
    if (entries > room)
        entries = room;
    room = dirOffset <= headLength ? (headLength - dirOffset) / PE_DIR_ENTRY_SIZE : 0;
    if (entries > room)
        entries = room;

    image->head = head;
    image->headLength = headLength;
    image->fileSize = fileSize;
    image->ntOffset = (uint32_t)nt;
    image->machine = LeGet16(head + nt + 4);
    image->sectionCount = LeGet16(head + nt + 4 + 2);
    image->checksumOffset = (uint32_t)(opt + PE_OPT_OFF_CHECKSUM);
    image->headersSize = LeGet32(head + opt + PE_OPT_OFF_HEADERS);
    image->directoryOffset = (uint32_t)dirOffset;
    image->directoryCount = (uint32_t)entries;
    /* opt + optSize stays below 2^32 + 2^16; PeGetSection checks it against the head. */
    image->sectionTableOffset = opt + optSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)(opt + optSize);
    return PE_OK;
}

int PeGetDirectory(const PeImage *image, uint32_t index, uint32_t *address, uint32_t *size)
{
    const uint8_t *entry;

    *address = 0;
    *size = 0;
    if (!image->head || index >= image->directoryCount)
        return 0;
    entry = image->head + image->directoryOffset + (uint64_t)index * PE_DIR_ENTRY_SIZE;
    *address = LeGet32(entry);
    *size = LeGet32(entry + 4);
    return 1;
}

int PeGetSection(const PeImage *image, uint32_t index, PeSection *section)
{
    uint64_t offset;
    const uint8_t *p;

    memset(section, 0, sizeof *section);
    if (!image->head || index >= image->sectionCount)
        return 0;
    offset = (uint64_t)image->sectionTableOffset + (uint64_t)index * PE_SECTION_HEADER_SIZE;
    if (!InRange(offset, PE_SECTION_HEADER_SIZE, image->headLength))
        return 0;
    p = image->head + offset;
    memcpy(section->name, p, 8);
    section->name[8] = 0;
    section->virtualSize = LeGet32(p + 8);
    section->virtualAddress = LeGet32(p + 12);
    section->rawSize = LeGet32(p + 16);
    section->rawOffset = LeGet32(p + 20);
    return 1;
}

int PeFindSection(const PeImage *image, const char *name, PeSection *section)
{
    uint32_t i;

    for (i = 0; i < image->sectionCount; i++) {
        if (!PeGetSection(image, i, section))
            break;
        if (strcmp(section->name, name) == 0 &&
            InRange(section->rawOffset, section->rawSize, image->fileSize))
            return 1;
    }
    memset(section, 0, sizeof *section);
    return 0;
}

int PeGetCertificateTable(const PeImage *image, uint32_t *offset, uint32_t *size)
{
    if (!PeGetDirectory(image, PE_DIR_SECURITY, offset, size) || *offset == 0 || *size == 0 ||
        !InRange(*offset, *size, image->fileSize)) {
        *offset = 0;
        *size = 0;
        return 0;
    }
    return 1;
}

int PeCheckExtents(const PeImage *image, PeExtentFault *fault)
{
    uint64_t tableEnd = (uint64_t)image->sectionTableOffset +
                        (uint64_t)image->sectionCount * PE_SECTION_HEADER_SIZE;
    PeSection section;
    uint32_t i;

    memset(fault, 0, sizeof *fault);
    if (image->headersSize > image->fileSize) {
        fault->part = PE_EXTENT_HEADERS;
        fault->end = image->headersSize;
        return fault->part;
    }
    if (tableEnd > image->headLength) {
        fault->part = PE_EXTENT_SECTION_TABLE;
        fault->end = tableEnd;
        return fault->part;
    }
    for (i = 0; i < image->sectionCount && PeGetSection(image, i, &section); i++) {
        /* A section without raw data (.bss) has nothing in the file. */
        if (section.rawSize != 0 && !InRange(section.rawOffset, section.rawSize, image->fileSize)) {
            fault->part = PE_EXTENT_SECTION;
            memcpy(fault->name, section.name, sizeof fault->name);
            fault->end = (uint64_t)section.rawOffset + section.rawSize;
            return fault->part;
        }
    }
    return PE_EXTENT_OK;
}

/* Byte i of the file as the checksum sees it: the CheckSum field reads as 0. */
static uint32_t ChecksumByte(const uint8_t *file, uint32_t i, uint32_t checksumOffset)
{
    return i - checksumOffset < 4 ? 0 : file[i];
}

uint32_t PeComputeChecksum(const uint8_t *file, uint32_t size, uint32_t checksumOffset)
{
    uint32_t sum = 0;
    uint64_t i;

    for (i = 0; i < size; i += 2) {
        sum += ChecksumByte(file, (uint32_t)i, checksumOffset);
        if (i + 1 < size)
            sum += ChecksumByte(file, (uint32_t)i + 1, checksumOffset) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + size;
}
