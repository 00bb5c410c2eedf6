/*
 * Product settings record: validation, building and field access. Shared by
 * the shell (validating its built-in record) and the packaging tool (writing
 * and inspecting records in program files).
 */
#include "settings_record.h"

#include <string.h>

uint16_t PsGet16(const ProductSettings *record, size_t offset)
{
    const uint8_t *p = record->bytes + offset;
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t PsGet32(const ProductSettings *record, size_t offset)
{
    const uint8_t *p = record->bytes + offset;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void PsPut16(ProductSettings *record, size_t offset, uint16_t value)
{
    uint8_t *p = record->bytes + offset;
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

void PsPut32(ProductSettings *record, size_t offset, uint32_t value)
{
    uint8_t *p = record->bytes + offset;
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

int PsValidateInPlace(ProductSettings *record)
{
    uint32_t length;

    if (memcmp(record->bytes + PS_OFF_MAGIC, PS_MAGIC, sizeof PS_MAGIC) != 0)
        return 0;
    if (PsGet16(record, PS_OFF_VERSION) != PS_VERSION)
        return 0;
    /* A length past the body would make the checksum read beyond the record. */
    length = PsGet16(record, PS_OFF_BODY_LENGTH);
    if (length > PS_BODY_SIZE)
        return 0;
    PsProtectBody(record->bytes + PS_OFF_BODY, length, PsGet32(record, PS_OFF_STORAGE_PARAM));
    return ProductSettingsChecksum(record->bytes + PS_OFF_BODY, length) ==
           PsGet32(record, PS_OFF_CHECKSUM);
}

int PsBuild(ProductSettings *record, const ProductSettingsFields *fields)
{
    size_t pathLength = fields->programPath ? strlen(fields->programPath) : 0;

    if (pathLength >= PS_PROGRAM_PATH_SIZE)
        return -1;
    memset(record->bytes, 0, sizeof record->bytes);
    memcpy(record->bytes + PS_OFF_MAGIC, PS_MAGIC, sizeof PS_MAGIC);
    PsPut16(record, PS_OFF_VERSION, PS_VERSION);
    PsPut32(record, PS_OFF_STORAGE_PARAM, fields->storageParam);
    PsPut16(record, PS_OFF_BODY_LENGTH, PS_BODY_SIZE);
    PsPut32(record, PS_OFF_FLAGS, fields->flags);
    if (pathLength)
        memcpy(record->bytes + PS_OFF_PROGRAM_PATH, fields->programPath, pathLength);
    PsPut32(record, PS_OFF_OS_EXCLUSION, fields->osExclusionMask);
    PsPut32(record, PS_OFF_CHECKSUM,
            ProductSettingsChecksum(record->bytes + PS_OFF_BODY, PS_BODY_SIZE));
    PsProtectBody(record->bytes + PS_OFF_BODY, PS_BODY_SIZE, fields->storageParam);
    return 0;
}
