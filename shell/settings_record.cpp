/*
 * Product settings record: validation, building and field access. Shared by
 * the shell (validating its built-in record) and the packaging tool (writing
 * and inspecting records in program files).
 */
#include "settings_record.h"

#include <string.h>

uint16_t PsGet16(const ProductSettings *record, size_t offset)
{
    return LeGet16(record->bytes + offset);
}

uint32_t PsGet32(const ProductSettings *record, size_t offset)
{
    return LeGet32(record->bytes + offset);
}

void PsPut16(ProductSettings *record, size_t offset, uint16_t value)
{
    LePut16(record->bytes + offset, value);
}

void PsPut32(ProductSettings *record, size_t offset, uint32_t value)
{
    LePut32(record->bytes + offset, value);
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
