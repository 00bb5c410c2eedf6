/*
 * The appended configuration container's format: CRC-32, the protected
 * forms of header copies and body, header fields, and building a complete
 * container. The one place where any of this is written down in code.
 */
#include "embed_format.h"

#include <string.h>

const uint8_t EMBED_MAGIC[4] = {0x7F, 0xD6, 0xA2, 0x53};

#define LCG_MUL         1664525u
#define LCG_ADD         1013904223u
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

static void XorKeystream(uint8_t *bytes, uint32_t length, uint32_t seed)
{
    uint32_t x = seed, i;

    for (i = 0; i < length; i++) {
        x = x * LCG_MUL + LCG_ADD;
        bytes[i] = (uint8_t)(bytes[i] ^ (x >> 24));
    }
}

void EmbedProtectHeader(uint8_t *header, uint32_t fileOffset)
{
    XorKeystream(header + EMBED_PROTECTED_FROM, EMBED_HEADER_SIZE - EMBED_PROTECTED_FROM,
                 fileOffset * HEADER_SEED_MUL ^ HEADER_SEED_XOR);
}

void EmbedProtectBody(uint8_t *body, uint32_t length, uint32_t parameter)
{
    XorKeystream(body, length, parameter * BODY_SEED_MUL ^ BODY_SEED_XOR);
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

static uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void Put32(uint8_t *p, uint32_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

int EmbedHeaderIsValid(const uint8_t *header)
{
    return memcmp(header + EMBED_OFF_MAGIC, EMBED_MAGIC, sizeof EMBED_MAGIC) == 0 &&
           header[EMBED_OFF_VERSION] == EMBED_VERSION && header[EMBED_OFF_VERSION + 1] == 0;
}

void EmbedDecodeHeader(const uint8_t *header, EmbedHeaderFields *fields)
{
    memset(fields, 0, sizeof *fields);
    fields->bodyOffset = Get32(header + EMBED_OFF_BODY_OFFSET);
    memcpy(fields->name, header + EMBED_OFF_NAME, EMBED_NAME_SIZE);
    fields->length = (uint16_t)(header[EMBED_OFF_LENGTH] | header[EMBED_OFF_LENGTH + 1] << 8);
    fields->maskedParameter = Get32(header + EMBED_OFF_PARAMETER);
    fields->crcPlain = Get32(header + EMBED_OFF_CRC_PLAIN);
    fields->crcStored = Get32(header + EMBED_OFF_CRC_STORED);
}

void EmbedEncodeHeader(uint8_t *header, const EmbedHeaderFields *fields)
{
    size_t nameLength = strlen(fields->name);

    memset(header, 0, EMBED_HEADER_SIZE);
    memcpy(header + EMBED_OFF_MAGIC, EMBED_MAGIC, sizeof EMBED_MAGIC);
    header[EMBED_OFF_VERSION] = EMBED_VERSION;
    Put32(header + EMBED_OFF_BODY_OFFSET, fields->bodyOffset);
    memcpy(header + EMBED_OFF_NAME, fields->name,
           nameLength < EMBED_NAME_SIZE ? nameLength : EMBED_NAME_SIZE);
    header[EMBED_OFF_LENGTH] = (uint8_t)fields->length;
    header[EMBED_OFF_LENGTH + 1] = (uint8_t)(fields->length >> 8);
    Put32(header + EMBED_OFF_PARAMETER, fields->maskedParameter);
    Put32(header + EMBED_OFF_CRC_PLAIN, fields->crcPlain);
    Put32(header + EMBED_OFF_CRC_STORED, fields->crcStored);
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
