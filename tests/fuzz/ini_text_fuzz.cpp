/*
 * Fuzz target: IniOpenText on arbitrary bytes, then the lookups on every
 * keyword and a write/re-read round trip of every object that parses.
 */
#include "ini_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    IniFile *ini = (IniFile *)1;
    uint32_t rc = IniOpenText(&ini, (const char *)data, (uint32_t)size);
    FUZZ_CHECK(rc == INI_OK || rc == INI_ERR_SYNTAX);
    if (rc != INI_OK) {
        FUZZ_CHECK(ini == NULL);
        return 0;
    }
    FUZZ_CHECK(ini != NULL && ini->window == NULL);
    FuzzCheckLookups(ini);
    FuzzCheckRoundTrip(ini);
    IniClose(ini);
    return 0;
}
