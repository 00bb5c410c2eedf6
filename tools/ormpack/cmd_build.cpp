/*
 * ormpack build: writes a copy of a shell's program file whose settings
 * record holds the product's path, options and excluded systems.
 */
#include "ormpack.h"
#include "shellfile.h"

#include <string.h>

typedef struct OsKindName {
    const char *name;
    uint32_t bit;
} OsKindName;

static const OsKindName kOsKinds[] = {
    {"win32s", OS_KIND_WIN32S},
    {"win95", OS_KIND_WIN95},
    {"winnt", OS_KIND_WINNT},
};

/* Parses a comma list of kind names into a mask. Returns 1, or 0 after
 * printing the error. */
static int ParseKinds(const char *list, uint32_t *mask)
{
    const char *p = list;

    *mask = 0;
    for (;;) {
        const char *end = strchr(p, ',');
        size_t length = end ? (size_t)(end - p) : strlen(p);
        size_t i;
        for (i = 0; i < sizeof kOsKinds / sizeof kOsKinds[0]; i++)
            if (strlen(kOsKinds[i].name) == length && strncmp(kOsKinds[i].name, p, length) == 0)
                break;
        if (i == sizeof kOsKinds / sizeof kOsKinds[0]) {
            OpUsageError("unknown system '%.*s' in --exclude (use win32s, win95, winnt)",
                         (int)length, p);
            return 0;
        }
        *mask |= kOsKinds[i].bit;
        if (!end)
            return 1;
        p = end + 1;
    }
}

/* The record's storage parameter: derived from what the record holds
 * (FNV-1a), so that the same build twice gives the same file and
 * different products get different keystreams. */
static uint32_t StorageParamFor(const char *path, uint32_t flags, uint32_t mask)
{
    uint32_t hash = 2166136261u;
    const unsigned char *p;
    int i;

    for (p = (const unsigned char *)path; *p; p++)
        hash = (hash ^ *p) * 16777619u;
    for (i = 0; i < 4; i++)
        hash = (hash ^ ((flags >> (8 * i)) & 0xFF)) * 16777619u;
    for (i = 0; i < 4; i++)
        hash = (hash ^ ((mask >> (8 * i)) & 0xFF)) * 16777619u;
    return hash;
}

int OpBuild(int argc, char **argv)
{
    const char *output = NULL, *program = NULL, *exclude = NULL;
    int wait = 0, configRequired = 0;
    const OpOption options[] = {
        {"--output", "-o", OP_OPT_VALUE, NULL, &output},
        {"--program", NULL, OP_OPT_VALUE, NULL, &program},
        {"--wait", NULL, OP_OPT_FLAG, &wait, NULL},
        {"--config-required", NULL, OP_OPT_FLAG, &configRequired, NULL},
        {"--exclude", NULL, OP_OPT_VALUE, NULL, &exclude},
    };
    const char *input;
    size_t positionalCount;
    ProductSettingsFields fields;
    ProductSettings record;
    std::vector<uint8_t> bytes;
    OpShellFile shell;
    int result;

    result = OpParseArgs(argc, argv, options, sizeof options / sizeof options[0], &input, 1, 1,
                         &positionalCount);
    if (result != OP_EXIT_OK)
        return result;
    if (!output)
        return OpUsageError("missing -o OUT.EXE");
    if (!program)
        return OpUsageError("missing --program PATH");
    if (strlen(program) >= PS_PROGRAM_PATH_SIZE)
        return OpFail("program path is %u characters long; at most %d fit in the record",
                      (unsigned)strlen(program), PS_PROGRAM_PATH_SIZE - 1);

    memset(&fields, 0, sizeof fields);
    fields.programPath = program;
    fields.flags = (wait ? PSF_WAIT_FOR_PRODUCT : 0) | (configRequired ? PSF_CONFIG_REQUIRED : 0);
    if (exclude && !ParseKinds(exclude, &fields.osExclusionMask))
        return OP_EXIT_USAGE;
    fields.storageParam = StorageParamFor(program, fields.flags, fields.osExclusionMask);

    if (!OpReadFile(input, &bytes))
        return OP_EXIT_FAILED;
    if (OpSameFile(input, output))
        return OpFail("output '%s' is the input; write the packaged shell to a new file", output);
    if (!OpOpenShell(input, bytes, &shell))
        return OP_EXIT_FAILED;
    if (shell.isSigned)
        return OpFail("'%s' is signed; package the unsigned shell first, then sign the result",
                      input);

    if (PsBuild(&record, &fields) != 0)
        return OpFail("program path does not fit in the record");
    memcpy(bytes.data() + shell.recordOffset, record.bytes, PS_RECORD_SIZE);

    /* A stale image checksum would misdescribe the file; keep it exact when
     * the input had one. */
    if (OpGet32(bytes.data() + shell.pe.checksumOffset) != 0)
        OpPut32(bytes.data() + shell.pe.checksumOffset,
                PeComputeChecksum(bytes.data(), (uint32_t)bytes.size(), shell.pe.checksumOffset));

    return OpWriteFileAtomic(output, bytes.data(), bytes.size()) ? OP_EXIT_OK : OP_EXIT_FAILED;
}
