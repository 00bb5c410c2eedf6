/*
 * The appended configuration container's format: CRC-32, the protected
 * forms of header copies and body, header fields, and building a complete
 * container. The one place where any of this is written down in code.
 */
#include "embed_format.h"

#include <string.h>

#include "stored_bytes.h"

const uint8_t EMBED_MAGIC[4] = {0x7F, 0xD6, 0xA2, 0x53};

#define HEADER_SEED_MUL 0x9E3779B1u   /* spreads neighbouring offsets apart */
#define HEADER_SEED_XOR 0x53A2D67Fu
#define BODY_SEED_MUL   0x85EBCA6Bu
#define BODY_SEED_XOR   0xC2B2AE35u
#define PARAM_MASK      0xA5C35A3Cu
#define PARAM_ROTATE    13

/* Each call builds its own table: a table built once into a global would
 * race when two threads of a product read configuration at the same time,
 * and 2048 steps cost nothing beside the file reads around them. */
static void BuildCrcTable(uint32_t table[256])
{
    uint32_t n, c;
    int k;

    for (n = 0; n < 256; n++) {
        c = n;
        for (k = 0; k < 8; k++)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
}

uint32_t EmbedCrc32(const uint8_t *bytes, uint32_t length)
{
    uint32_t table[256], crc = 0xFFFFFFFFu, i;

    BuildCrcTable(table);
    for (i = 0; i < length; i++)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void EmbedProtectHeader(uint8_t *header, uint32_t fileOffset)
{
    KeystreamXor(header + EMBED_PROTECTED_FROM, EMBED_HEADER_SIZE - EMBED_PROTECTED_FROM,
                 fileOffset * HEADER_SEED_MUL ^ HEADER_SEED_XOR);
}

void EmbedProtectBody(uint8_t *body, uint32_t length, uint32_t parameter)
{
    KeystreamXor(body, length, parameter * BODY_SEED_MUL ^ BODY_SEED_XOR);
}

uint32_t EmbedMaskParameter(uint32_t parameter)
{
    return (parameter << PARAM_ROTATE | parameter >> (32 - PARAM_ROTATE)) ^ PARAM_MASK;
}

uint32_t EmbedUnmaskParameter(uint32_t masked)
{
    uint32_t x = masked ^ PARAM_MASK;
    return x >> PARAM_ROTATE | x << (32 - PARAM_ROTATE);
}

int EmbedHeaderIsValid(const uint8_t *header)
{
    return memcmp(header + EMBED_OFF_MAGIC, EMBED_MAGIC, sizeof EMBED_MAGIC) == 0 &&
           header[EMBED_OFF_VERSION] == EMBED_VERSION && header[EMBED_OFF_VERSION + 1] == 0;
}

void EmbedDecodeHeader(const uint8_t *header, EmbedHeaderFields *fields)
{
    memset(fields, 0, sizeof *fields);
    fields->bodyOffset = LeGet32(header + EMBED_OFF_BODY_OFFSET);
    memcpy(fields->name, header + EMBED_OFF_NAME, EMBED_NAME_SIZE);
    fields->length = LeGet16(header + EMBED_OFF_LENGTH);
    fields->maskedParameter = LeGet32(header + EMBED_OFF_PARAMETER);
    fields->crcPlain = LeGet32(header + EMBED_OFF_CRC_PLAIN);
    fields->crcStored = LeGet32(header + EMBED_OFF_CRC_STORED);
}

void EmbedEncodeHeader(uint8_t *header, const EmbedHeaderFields *fields)
{
    size_t nameLength = strlen(fields->name);

    memset(header, 0, EMBED_HEADER_SIZE);
    memcpy(header + EMBED_OFF_MAGIC, EMBED_MAGIC, sizeof EMBED_MAGIC);
    header[EMBED_OFF_VERSION] = EMBED_VERSION;
    LePut32(header + EMBED_OFF_BODY_OFFSET, fields->bodyOffset);
    memcpy(header + EMBED_OFF_NAME, fields->name,
           nameLength < EMBED_NAME_SIZE ? nameLength : EMBED_NAME_SIZE);
    LePut16(header + EMBED_OFF_LENGTH, fields->length);
    LePut32(header + EMBED_OFF_PARAMETER, fields->maskedParameter);
    LePut32(header + EMBED_OFF_CRC_PLAIN, fields->crcPlain);
    LePut32(header + EMBED_OFF_CRC_STORED, fields->crcStored);
}

int EmbedBuildContainer(const uint8_t *body, uint32_t length, uint32_t position,
                        const char *name, uint32_t parameter, uint8_t *out)
{
    EmbedHeaderFields fields;
    uint8_t *first = out, *stored = out + EMBED_HEADER_SIZE, *second = stored + length;

    if (length > EMBED_MAX_BODY || position > 0xFFFFFFFFu - EMBED_CONTAINER_SIZE(length))
        return 0;
    memset(&fields, 0, sizeof fields);
    fields.bodyOffset = position + EMBED_HEADER_SIZE;
    if (name) {
        strncpy(fields.name, name, EMBED_NAME_SIZE);
        fields.name[EMBED_NAME_SIZE] = 0;
    }
    fields.length = (uint16_t)length;
    fields.maskedParameter = EmbedMaskParameter(parameter);
    fields.crcPlain = EmbedCrc32(body, length);
    if (length)
        memcpy(stored, body, length);
    EmbedProtectBody(stored, length, parameter);
    fields.crcStored = EmbedCrc32(stored, length);

    EmbedEncodeHeader(first, &fields);
    memcpy(second, first, EMBED_HEADER_SIZE);
    EmbedProtectHeader(first, position);
    EmbedProtectHeader(second, position + EMBED_HEADER_SIZE + length);
    return 1;
}
