/*
 * ormpack build: writes a copy of a shell's program file whose settings
 * record holds the product's path, options and excluded systems.
 */
#include "ormpack.h"
#include "container.h"
#include "shellfile.h"

#include <string.h>

#include <string>

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

/* Refuses a product path that the shell could not start as written.
 * Returns 1, or 0 after printing why. */
static int CheckProgramPath(const char *path)
{
    size_t length = strlen(path), i;

    if (length == 0)
        return OpFail("the program path is empty; name the product's executable, e.g. "
                      "'$SHELLDIR\\PRODUCT.EXE'"), 0;
    if (length >= PS_PROGRAM_PATH_SIZE)
        return OpFail("program path is %u characters long; at most %d fit in the record",
                      (unsigned)length, PS_PROGRAM_PATH_SIZE - 1), 0;
    for (i = 0; i < length; i++) {
        unsigned char c = (unsigned char)path[i];
        if (c == '"')
            return OpFail("the program path holds a double quote (character %u); the shell puts "
                          "the path between double quotes on the product's command line, so no "
                          "path can hold one", (unsigned)i + 1), 0;
        if (c < 0x20 || c == 0x7F)
            return OpFail("the program path holds a control character (0x%02X, character %u); no "
                          "file name can hold one", c, (unsigned)i + 1), 0;
        if (c >= 0x80)
            return OpFail("the program path holds a byte outside ASCII (0x%02X, character %u); the "
                          "record keeps bytes, and the shell reads them in the ANSI code page of "
                          "the machine it runs on, where they name another file (UTF-8 'e' with "
                          "an accent is two bytes): use an ASCII name", c, (unsigned)i + 1), 0;
    }
    if (path[length - 1] == '\\' || path[length - 1] == '/')
        return OpFail("the program path ends in '%c'; it must name the product's executable, not "
                      "a folder", path[length - 1]), 0;
    return 1;
}

/* Whether the shell would look for the program from the current folder: a
 * path without a macro, a drive and root ("C:\\") or a leading '\\'. */
static int IsRelativeProgramPath(const char *path)
{
    if (strncmp(path, MACRO_WINDIR, sizeof MACRO_WINDIR - 1) == 0 ||
        strncmp(path, MACRO_SHELLDIR, sizeof MACRO_SHELLDIR - 1) == 0)
        return 0;
    if (path[0] == '\\' || path[0] == '/')
        return 0;
    return !(path[0] && path[1] == ':' && (path[2] == '\\' || path[2] == '/'));
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

/* Refuses text that is not single-byte text: the shell reads bytes in the
 * ANSI code page. Returns 1, or 0 after printing what the file starts
 * with and what to do. */
static int CheckEncoding(const char *path, const std::vector<uint8_t> &t)
{
    if (t.size() >= 3 && t[0] == 0xEF && t[1] == 0xBB && t[2] == 0xBF)
        return OpFail("'%s' starts with a UTF-8 byte-order mark (EF BB BF), which the shell would "
                      "read as part of line 1; save the file without the mark", path), 0;
    if (t.size() >= 2 && ((t[0] == 0xFF && t[1] == 0xFE) || (t[0] == 0xFE && t[1] == 0xFF)))
        return OpFail("'%s' is UTF-16 text (it starts with the byte-order mark %02X %02X); the shell "
                      "reads single-byte text: save the file as ANSI", path, t[0], t[1]), 0;
    /* UTF-16 without a mark: ASCII characters with a zero byte beside each. */
    if (t.size() >= 2 && (t[0] == 0) != (t[1] == 0))
        return OpFail("'%s' looks like UTF-16 text (it starts with %02X %02X); the shell reads "
                      "single-byte text: save the file as ANSI", path, t[0], t[1]), 0;
    return 1;
}

/* Reads and checks the configuration text: at most 65535 bytes, single-byte
 * text whose every line the shell reads whole (no NUL byte, at most 255
 * characters) and that the shell's parser accepts. Returns 1, or 0 after
 * printing the error (naming the first line that fails, as FILE:N). */
static int LoadConfigText(const char *path, std::vector<uint8_t> *text)
{
    uint32_t result, line, unreadable, column;
    OpLineFault fault;

    if (!OpReadFile(path, text))
        return 0;
    if (text->size() > EMBED_MAX_BODY)
        return OpFail("'%s' is %u bytes long; configuration text holds at most %u", path,
                      (unsigned)text->size(), EMBED_MAX_BODY), 0;
    if (!CheckEncoding(path, *text))
        return 0;
    line = OpFirstMalformedLine((const char *)text->data(), (uint32_t)text->size(), &result);
    unreadable = OpFirstUnreadableLine((const char *)text->data(), (uint32_t)text->size(), &fault,
                                       &column);
    /* The earlier line is named first; on one line the cause found here is
     * the one that made the parser fail. */
    if (unreadable && (!line || unreadable <= line)) {
        if (fault == OP_LINE_NUL)
            return OpFail("%s:%u: a NUL byte at column %u; the shell ends the line there and reads "
                          "what follows as a line of its own: remove it", path, unreadable,
                          column), 0;
        return OpFail("%s:%u: the line is %u characters long; the shell reads at most %u characters "
                      "of a line and would cut the rest", path, unreadable, column,
                      (unsigned)INI_LINE_MAX), 0;
    }
    if (line) {
        std::string bad = OpLineText((const char *)text->data(), (uint32_t)text->size(), line);
        if (bad.size() > 60)
            bad = bad.substr(0, 57) + "...";
        return OpFail("%s:%u: malformed line, the shell would refuse the text: \"%s\"", path, line,
                      bad.c_str()), 0;
    }
    if (result != INI_OK)
        return OpFail("cannot check '%s' (parser result %u)", path, result), 0;
    return 1;
}

/* The file-name part of a path (after the last '/' or '\'). */
static const char *BaseName(const char *path)
{
    const char *base = path, *p;

    for (p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    return base;
}

/* Where the container an input carries (`old`, as the reader found it)
 * starts, for replacing or removing it: where ormpack put it (right after
 * the image, OpFindContainerStart), which also finds the remains of a
 * container damaged at its tail and remains stacked before a later
 * container; else where the reader located it at the end of the file.
 * Returns 1 with *start (0 when the input carries none), or 0 after
 * printing why the input cannot be repackaged. */
static int FindOldContainer(const char *input, const OpShellFile *shell,
                            const std::vector<uint8_t> &bytes, const OpContainer *old,
                            uint32_t *start)
{
    *start = 0;
    if (OpFindContainerStart(bytes, shell->imageEnd, start))
        return 1;
    if (!old->present)
        return 1;
    /* Present but not where ormpack puts it: only a container the reader
     * located (both copies agree) says where it starts. */
    if (old->report.end != bytes.size())
        return OpFail("'%s' carries a damaged configuration container (%s); package the "
                      "unpackaged shell instead", input, OpEmbedStatusName(old->report.status)), 0;
    if (old->report.start < shell->imageEnd)
        return OpFail("'%s' carries a configuration container that overlaps its program image; "
                      "package the unpackaged shell instead", input), 0;
    *start = old->report.start;
    return 1;
}

/* Cuts the container an input carries, with the zero padding that ormpack
 * put before it, so that a new one replaces it or none is left. The
 * remains of a damaged container go too, and the run says so. Returns 1,
 * or 0 after printing why the input cannot be repackaged. */
static int CutOldContainer(const char *input, const OpShellFile *shell, const OpContainer *old,
                           std::vector<uint8_t> *bytes)
{
    uint32_t start, padding = 0;

    if (!FindOldContainer(input, shell, *bytes, old, &start))
        return 0;
    if (!start)
        return 1;
    if (!old->intact)
        OpWarn("removed a damaged configuration container (file offsets %u to %u, %s)", start,
               (unsigned)bytes->size(), OpEmbedStatusName(old->report.status));
    else if (old->report.start != start)
        OpWarn("removed the remains of a damaged configuration container (file offsets %u to "
               "%u) before the intact one", start, old->report.start);
    while (padding < 7 && start > shell->imageEnd && (*bytes)[start - 1] == 0) {
        start--;
        padding++;
    }
    bytes->resize(start);
    return 1;
}

/* Appends a container for `text` so that it ends on an 8-byte boundary:
 * signing tools align the certificate table to 8 bytes, and with no padding
 * of theirs the table starts exactly where the container ends, which is
 * where the shell looks for it. */
static int AppendContainer(std::vector<uint8_t> *bytes, const std::vector<uint8_t> &text,
                           const char *name)
{
    uint32_t length = (uint32_t)text.size(), position, parameter;

    while ((bytes->size() + EMBED_CONTAINER_SIZE(length)) % 8)
        bytes->push_back(0);
    position = (uint32_t)bytes->size();
    /* The protection parameter follows from the text and where it lies, so
     * the same build twice gives the same file. */
    parameter = EmbedCrc32(text.data(), length) ^ (position * 0x9E3779B1u) ^ 0x4F524D47u;
    if ((uint64_t)position + EMBED_CONTAINER_SIZE(length) > 0x7FFFFFFFu)
        return OpFail("the packaged file would reach 2 GiB"), 0;
    bytes->resize(position + EMBED_CONTAINER_SIZE(length));
    return EmbedBuildContainer(text.data(), length, position, name, parameter,
                               bytes->data() + position);
}

int OpBuild(int argc, char **argv)
{
    const char *output = NULL, *program = NULL, *exclude = NULL, *config = NULL,
               *configName = NULL;
    int wait = 0, configRequired = 0, noConfig = 0, passExitCode = 0, killWithShell = 0;
    const OpOption options[] = {
        {"--output", "-o", OP_OPT_VALUE, NULL, &output},
        {"--program", NULL, OP_OPT_VALUE, NULL, &program},
        {"--wait", NULL, OP_OPT_FLAG, &wait, NULL},
        {"--pass-exit-code", NULL, OP_OPT_FLAG, &passExitCode, NULL},
        {"--kill-with-shell", NULL, OP_OPT_FLAG, &killWithShell, NULL},
        {"--config-required", NULL, OP_OPT_FLAG, &configRequired, NULL},
        {"--exclude", NULL, OP_OPT_VALUE, NULL, &exclude},
        {"--config", NULL, OP_OPT_VALUE, NULL, &config},
        {"--config-name", NULL, OP_OPT_VALUE, NULL, &configName},
        {"--no-config", NULL, OP_OPT_FLAG, &noConfig, NULL},
    };
    const char *input;
    size_t positionalCount;
    ProductSettingsFields fields;
    ProductSettings record;
    std::vector<uint8_t> bytes, text;
    OpContainer old;   /* the container the input carries */
    OpShellFile shell;
    uint32_t checksumOffset;
    int result, hadChecksum;

    result = OpParseArgs(argc, argv, options, sizeof options / sizeof options[0], &input, 1, 1,
                         &positionalCount);
    if (result != OP_EXIT_OK)
        return result;
    if (!output)
        return OpUsageError("missing -o OUT.EXE");
    if (!program)
        return OpUsageError("missing --program PATH");
    if (configName && !config)
        return OpUsageError("--config-name needs --config");
    if (config && noConfig)
        return OpUsageError("--config and --no-config exclude each other");
    /* Both act on the product the shell waits for; without the wait there
     * is no exit code to pass and nothing to tie. */
    if (passExitCode && !wait)
        return OpUsageError("--pass-exit-code needs --wait");
    if (killWithShell && !wait)
        return OpUsageError("--kill-with-shell needs --wait");
    if (!CheckProgramPath(program))
        return OP_EXIT_FAILED;

    memset(&fields, 0, sizeof fields);
    fields.programPath = program;
    fields.flags = (wait ? PSF_WAIT_FOR_PRODUCT : 0) | (configRequired ? PSF_CONFIG_REQUIRED : 0) |
                   (passExitCode ? PSF_PASS_EXIT_CODE : 0) | (killWithShell ? PSF_KILL_WITH_SHELL : 0);
    if (exclude && !ParseKinds(exclude, &fields.osExclusionMask))
        return OP_EXIT_USAGE;
    fields.storageParam = StorageParamFor(program, fields.flags, fields.osExclusionMask);

    if (config) {
        if (!configName)
            configName = BaseName(config);
        if (strlen(configName) > EMBED_NAME_SIZE)
            return OpFail("configuration name '%s' is longer than %d characters; choose one "
                          "with --config-name", configName, EMBED_NAME_SIZE);
        if (!LoadConfigText(config, &text))
            return OP_EXIT_FAILED;
    }

    if (!OpReadInput(input, &bytes, &old))
        return OP_EXIT_FAILED;
    if (OpSameFile(input, output))
        return OpFail("output '%s' is the input; write the packaged shell to a new file", output);
    if (!OpOpenShell(input, bytes, &shell))
        return OP_EXIT_FAILED;
    /* A file cut short first: its record may be missing because of the cut. */
    if (shell.extent.part != PE_EXTENT_OK)
        return OpFail("'%s' is cut short: %s; Windows would refuse to start it", input,
                      OpDescribeCut(&shell).c_str());
    /* Packaging rewrites the record, but only where a shell keeps one. */
    if (!shell.hasMagic)
        return OpFail("no settings record found in '%s' (its %s section holds none)", input,
                      PS_SECTION_NAME);
    if (shell.isSigned)
        return OpFail("'%s' is signed; package the unsigned shell first, then sign the result",
                      input);

    if (PsBuild(&record, &fields) != 0)
        return OpFail("program path does not fit in the record");
    memcpy(bytes.data() + shell.recordOffset, record.bytes, PS_RECORD_SIZE);
    /* The header bytes move with the vector; keep what is needed of them. */
    checksumOffset = shell.pe.checksumOffset;
    hadChecksum = LeGet32(bytes.data() + checksumOffset) != 0;

    /* Without --config or --no-config a container the input carries stays
     * as it is: it lies after the image and the record is inside it. */
    if ((config || noConfig) && !CutOldContainer(input, &shell, &old, &bytes))
        return OP_EXIT_FAILED;
    if (!config && !noConfig) {
        uint32_t start;
        if (!FindOldContainer(input, &shell, bytes, &old, &start))
            return OP_EXIT_FAILED;
        if (start && !old.intact)
            OpWarn("'%s' carries a damaged configuration container (file offsets %u to %u, %s), "
                   "kept as it is: the shell finds no configuration text in it; --config "
                   "replaces it, --no-config removes it", input, start, (unsigned)bytes.size(),
                   OpEmbedStatusName(old.report.status));
    }
    if (config && !AppendContainer(&bytes, text, configName))
        return OP_EXIT_FAILED;

    /* A stale image checksum would misdescribe the file; keep it exact when
     * the input had one. */
    if (hadChecksum)
        LePut32(bytes.data() + checksumOffset,
                PeComputeChecksum(bytes.data(), (uint32_t)bytes.size(), checksumOffset));

    if (!OpWriteFileAtomic(output, bytes.data(), bytes.size(), 1))
        return OP_EXIT_FAILED;
    /* A relative path makes the shell start whatever program of that name
     * lies in the current folder, which anyone could have placed there. */
    if (IsRelativeProgramPath(program))
        OpWarn("the program path '%s' is relative: the shell would start whatever file of that "
               "name lies in the current folder (anyone could place one there); begin it with "
               "%s to name the program beside the shell", program, MACRO_SHELLDIR);
    return OP_EXIT_OK;
}
