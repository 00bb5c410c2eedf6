/*
 * Fuzz target: IniOpenFile on a file holding arbitrary bytes, read through
 * the 4096-byte window; it must give exactly what IniOpenText gives for
 * the same bytes held in memory.
 */
#include "ini_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzScratchFile();
    FuzzWriteFile(path, data, size);
    IniFile *fromFile = (IniFile *)1, *fromText = (IniFile *)1;
    uint32_t rcFile = IniOpenFile(&fromFile, path, NULL);
    uint32_t rcText = IniOpenText(&fromText, (const char *)data, (uint32_t)size);
    FUZZ_CHECK(rcFile == rcText);
    if (rcFile != INI_OK) {
        FUZZ_CHECK(fromFile == NULL && fromText == NULL);
        return 0;
    }
    FUZZ_CHECK(IniDump(fromFile) == IniDump(fromText));
    FUZZ_CHECK(strcmp(fromFile->fileName, path) == 0);
    FUZZ_CHECK(fromFile->fileHandle == FILE_NO_HANDLE);
    IniClose(fromFile);
    IniClose(fromText);
    return 0;
}
