/*
 * Reading the appended configuration container: three reads at fixed offsets
 * (first header copy, second copy, body), never a scan; EmbedReadAppended
 * reads the file's PE headers first, to find a signed file's certificate
 * table. Linked into the
 * shell: plain C style, no exceptions, no containers, and every offset taken
 * from the file checked before it is used:
 *  1. at the end, the first copy's offset is position - 72 only when
 *     position >= 72;
 *  2. the other copy lies L + 72 before it only when that many bytes exist;
 *  3. from a start position, the container must end below 4 GiB;
 *  4. L is at most 65535, so the body buffer is never absurd.
 * The body comes from the engine's allocator (IniMemAlloc), so that tests
 * can fail it like every other allocation of the configuration library.
 */
#include "embed.h"

#include <string.h>

#include "pe_image.h"
#include "stored_bytes.h"

static int ReadExact(FileHandle file, uint32_t offset, void *buffer, uint32_t count)
{
    uint32_t got = 0, err = 0;
    return FileReadAt(file, offset, buffer, count, &got, &err) && got == count;
}

char *EmbedReadBlockReport(FileHandle file, uint32_t position, uint32_t *length,
                           uint32_t parameterOverride, uint16_t atEnd, EmbedReadReport *report)
{
    EmbedReadReport local;
    uint8_t first[EMBED_HEADER_SIZE], second[EMBED_HEADER_SIZE];
    uint32_t firstOffset, secondOffset, bodyOffset, bodyLength, parameter;
    uint8_t *body;

    if (!report)
        report = &local;
    memset(report, 0, sizeof *report);
    report->status = EMBED_NO_HEADER;
    if (length)
        *length = 0;

    if (atEnd && position < EMBED_HEADER_SIZE)
        return NULL;
    firstOffset = atEnd ? position - EMBED_HEADER_SIZE : position;
    if (!ReadExact(file, firstOffset, first, EMBED_HEADER_SIZE))
        return NULL;
    EmbedProtectHeader(first, firstOffset);
    report->status = EMBED_BAD_HEADER;
    if (!EmbedHeaderIsValid(first))
        return NULL;
    EmbedDecodeHeader(first, &report->header);

    bodyLength = report->header.length;
    report->status = EMBED_BAD_RANGE;
    if (atEnd) {
        if (firstOffset < bodyLength + EMBED_HEADER_SIZE)
            return NULL;
        secondOffset = firstOffset - (bodyLength + EMBED_HEADER_SIZE);
        bodyOffset = secondOffset + EMBED_HEADER_SIZE;
    } else {
        if (firstOffset > 0xFFFFFFFFu - EMBED_CONTAINER_SIZE(bodyLength))
            return NULL;
        bodyOffset = firstOffset + EMBED_HEADER_SIZE;
        secondOffset = bodyOffset + bodyLength;
    }

    report->status = EMBED_NO_SECOND_COPY;
    if (!ReadExact(file, secondOffset, second, EMBED_HEADER_SIZE))
        return NULL;
    EmbedProtectHeader(second, secondOffset);
    report->status = EMBED_COPIES_DIFFER;
    if (memcmp(first, second, EMBED_HEADER_SIZE) != 0)
        return NULL;
    report->start = bodyOffset - EMBED_HEADER_SIZE;
    report->end = bodyOffset + bodyLength + EMBED_HEADER_SIZE;

    /* One byte more than the body, so an empty body is a real buffer too. */
    report->status = EMBED_NO_MEMORY;
    body = (uint8_t *)IniMemAlloc(bodyLength + 1);
    if (!body)
        return NULL;
    report->status = EMBED_SHORT_BODY;
    if (bodyLength && !ReadExact(file, bodyOffset, body, bodyLength))
        goto fail;
    report->status = EMBED_STORED_CRC;
    if (EmbedCrc32(body, bodyLength) != LeGet32(first + EMBED_OFF_CRC_STORED))
        goto fail;
    parameter = parameterOverride ? parameterOverride : LeGet32(first + EMBED_OFF_PARAMETER);
    EmbedProtectBody(body, bodyLength, EmbedUnmaskParameter(parameter));
    report->status = EMBED_PLAIN_CRC;
    if (EmbedCrc32(body, bodyLength) != LeGet32(first + EMBED_OFF_CRC_PLAIN))
        goto fail;

    body[bodyLength] = 0;
    report->status = EMBED_OK;
    if (length)
        *length = bodyLength;
    return (char *)body;

fail:
    IniMemFree(body);
    return NULL;
}

char *EmbedReadBlock(FileHandle file, uint32_t position, uint32_t *length,
                     uint32_t parameterOverride, uint16_t atEnd)
{
    return EmbedReadBlockReport(file, position, length, parameterOverride, atEnd, NULL);
}

void EmbedFreeBlock(char *body)
{
    IniMemFree(body);
}

/* Whether the file is a signed program file: its PE headers name an
 * Authenticode certificate table that takes up the end of the file. */
static int FindCertificateTable(FileHandle file, uint32_t fileSize, uint32_t *tableOffset,
                                uint32_t *tableSize)
{
    uint8_t head[PE_HEAD_READ_SIZE];
    uint32_t headLength = fileSize < PE_HEAD_READ_SIZE ? fileSize : PE_HEAD_READ_SIZE;
    PeImage image;

    return ReadExact(file, 0, head, headLength) &&
           PeParseHeaders(head, headLength, fileSize, &image) == PE_OK &&
           PeGetCertificateTable(&image, tableOffset, tableSize) &&
           *tableSize == fileSize - *tableOffset;
}

char *EmbedReadAppended(FileHandle file, uint32_t fileSize, uint32_t *length,
                        EmbedReadReport *report)
{
    uint32_t tableOffset = 0, tableSize = 0, end = fileSize;
    char *body;

    /* The signed file's container ends where its certificate table begins.
     * The table is checked first: a container placed inside it (its length
     * grown to cover it) would end the file and keep the signature valid. */
    if (FindCertificateTable(file, fileSize, &tableOffset, &tableSize))
        end = tableOffset;
    else
        tableOffset = tableSize = 0;
    body = EmbedReadBlockReport(file, end, length, 0, 1, report);
    if (report) {
        report->tableOffset = tableOffset;
        report->tableSize = tableSize;
    }
    return body;
}

/* Reads and parses the container of an open program file, then closes it. */
static IniFile *LoadFromOpenFile(FileHandle file)
{
    uint32_t err = 0, size = 0, length = 0;
    IniFile *ini = NULL;
    char *body;

    if (FileGetSize(file, &size, &err)) {
        body = EmbedReadAppended(file, size, &length, NULL);
        if (body) {
            /* Whatever the result code, the out pointer is the answer. */
            IniOpenText(&ini, body, length);
            EmbedFreeBlock(body);
        }
    }
    FileClose(file, &err);
    return ini;
}

IniFile *EmbedLoadIni(const char *path)
{
    FileHandle file;
    uint32_t err = 0;

    if (!FileOpen(path, FILE_READ, &file, &err))
        return NULL;
    return LoadFromOpenFile(file);
}

#ifdef _WIN32
IniFile *EmbedLoadIniW(const wchar_t *path)
{
    FileHandle file;
    uint32_t err = 0;

    if (!FileOpenW(path, FILE_READ, &file, &err))
        return NULL;
    return LoadFromOpenFile(file);
}
#endif
