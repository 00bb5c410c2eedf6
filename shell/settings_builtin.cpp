/*
 * The shell's built-in product settings record and its validation.
 *
 * The record sits alone in its own PE section (".ormset") so that the
 * packaging tool finds it by section name: the magic bytes also occur in the
 * validator's comparison constant, so a byte search could hit the wrong place.
 * The default record is computed by the compiler with the same protection and
 * checksum code that the packaging tool uses: program $SHELLDIR\PRODUCT.EXE,
 * flags 0, nothing excluded.
 */
#include "shell.h"

#include <string.h>

namespace {

struct BuiltinRecord {
    uint8_t bytes[PS_RECORD_SIZE];
};

constexpr uint32_t DEFAULT_STORAGE_PARAM = 0x474D524Fu;

constexpr BuiltinRecord MakeDefaultRecord()
{
    BuiltinRecord r{};
    const char path[] = "$SHELLDIR\\PRODUCT.EXE";
    for (uint32_t i = 0; i < 8; i++)
        r.bytes[PS_OFF_MAGIC + i] = PS_MAGIC[i];
    r.bytes[PS_OFF_VERSION] = PS_VERSION;
    LePut32(r.bytes + PS_OFF_STORAGE_PARAM, DEFAULT_STORAGE_PARAM);
    LePut16(r.bytes + PS_OFF_BODY_LENGTH, PS_BODY_SIZE);
    for (uint32_t i = 0; path[i]; i++)
        r.bytes[PS_OFF_PROGRAM_PATH + i] = (uint8_t)path[i];
    LePut32(r.bytes + PS_OFF_CHECKSUM, ProductSettingsChecksum(r.bytes + PS_OFF_BODY, PS_BODY_SIZE));
    PsProtectBody(r.bytes + PS_OFF_BODY, PS_BODY_SIZE, DEFAULT_STORAGE_PARAM);
    return r;
}

} // namespace

__attribute__((section(PS_SECTION_NAME), used))
extern const BuiltinRecord g_builtinRecord = MakeDefaultRecord();

BOOL ValidateProductSettings(ProductSettings *workingCopy)
{
    /* Read through a volatile view: the compiler knows the default contents
     * and must not fold them, since the packaging tool rewrites them. */
    const volatile uint8_t *image = g_builtinRecord.bytes;
    for (uint32_t i = 0; i < PS_RECORD_SIZE; i++)
        workingCopy->bytes[i] = image[i];
    return PsValidateInPlace(workingCopy) ? TRUE : FALSE;
}
