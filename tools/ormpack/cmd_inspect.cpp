/*
 * ormpack inspect: shows a packaged shell's settings record, read back
 * through the same validation the shell runs at start-up, as text or as
 * one JSON object; and its configuration container, read by the shell's own
 * reader and checked with the shell's own parser.
 */
#include "ormpack.h"
#include "container.h"
#include "shellfile.h"

#include <stdio.h>
#include <string.h>

typedef struct BitName {
    uint32_t bit;
    const char *name;
} BitName;

static const BitName kFlagNames[] = {
    {PSF_WAIT_FOR_PRODUCT, "wait"},
    {PSF_CONFIG_REQUIRED, "config-required"},
    {PSF_PASS_EXIT_CODE, "pass-exit-code"},
    {PSF_KILL_WITH_SHELL, "kill-with-shell"},
};

static const BitName kKindNames[] = {
    {OS_KIND_WIN32S, "win32s"},
    {OS_KIND_WIN95, "win95"},
    {OS_KIND_WINNT, "winnt"},
};

/* What inspect found in the settings record. */
typedef struct RecordReport {
    int present;              /* the record lies inside the file (not so when cut short) */
    uint32_t offset;          /* file offset of the record, when present */
    int valid;                /* PsValidateInPlace accepted it */
    uint32_t flags;           /* plain fields, meaningful when valid */
    uint32_t osExclusionMask;
    char programPath[PS_PROGRAM_PATH_SIZE];
} RecordReport;

static void ReadRecord(const std::vector<uint8_t> &bytes, const OpShellFile *shell,
                       RecordReport *report)
{
    ProductSettings copy;

    memset(report, 0, sizeof *report);
    report->present = shell->hasRecord;
    if (!report->present)
        return;
    report->offset = shell->recordOffset;
    memcpy(copy.bytes, bytes.data() + shell->recordOffset, PS_RECORD_SIZE);
    report->valid = PsValidateInPlace(&copy);
    if (!report->valid)
        return;
    report->flags = PsGet32(&copy, PS_OFF_FLAGS);
    report->osExclusionMask = PsGet32(&copy, PS_OFF_OS_EXCLUSION);
    memcpy(report->programPath, copy.bytes + PS_OFF_PROGRAM_PATH, PS_PROGRAM_PATH_SIZE - 1);
    report->programPath[PS_PROGRAM_PATH_SIZE - 1] = 0;
}

/* Writes the names of the bits set in value, separated by `separator`;
 * unnamed bits as one hex number. */
static void PrintBitNames(FILE *out, uint32_t value, const BitName *names, size_t count,
                          const char *separator, int quoted)
{
    const char *sep = "";
    size_t i;

    for (i = 0; i < count; i++) {
        if (!(value & names[i].bit))
            continue;
        fprintf(out, quoted ? "%s\"%s\"" : "%s%s", sep, names[i].name);
        sep = separator;
        value &= ~names[i].bit;
    }
    if (value)
        fprintf(out, quoted ? "%s\"0x%x\"" : "%s0x%x", sep, value);
}

void OpJsonString(FILE *out, const char *text, size_t length)
{
    size_t i;

    fputc('"', out);
    for (i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c == '"' || c == '\\')
            fprintf(out, "\\%c", c);
        else if (c == '\n')
            fputs("\\n", out);
        else if (c == '\r')
            fputs("\\r", out);
        else if (c == '\t')
            fputs("\\t", out);
        else if (c < 0x20 || c >= 0x7F)
            fprintf(out, "\\u%04x", c);   /* ANSI bytes shown as Latin-1 */
        else
            fputc(c, out);
    }
    fputc('"', out);
}

/* What inspect found in the configuration container. */
typedef struct ConfigReport {
    OpContainer container;
    uint32_t parserResult;    /* IniOpenText on the body, when intact */
    uint32_t malformedLine;   /* first line it refuses, or 0 */
    int remains;              /* a container of ours starts right after the image */
    uint32_t remainsStart;    /* but is not what the reader found: its remains */
    uint32_t remainsEnd;
} ConfigReport;

static void ReadConfig(const std::vector<uint8_t> &bytes, const OpShellFile *shell,
                       ConfigReport *report)
{
    const OpContainer *c = &report->container;
    uint32_t start;

    /* A container ormpack put after the image that the reader, starting
     * from the end, does not find (or finds later on, stacked behind). */
    report->remains = OpFindContainerStart(bytes, shell->imageEnd, &start) &&
                      !(c->intact && c->report.start == start);
    report->remainsStart = report->remains ? start : 0;
    report->remainsEnd = c->report.tableSize ? c->report.tableOffset : (uint32_t)bytes.size();
    if (report->remains && c->intact)
        report->remainsEnd = c->report.start;
    report->parserResult = INI_OK;
    report->malformedLine = 0;
    if (report->container.intact)
        report->malformedLine = OpFirstMalformedLine(report->container.body.data(),
                                                     (uint32_t)report->container.body.size(),
                                                     &report->parserResult);
}

/* A container inside a signed file's certificate table: placed there after
 * signing, since the signature does not cover the table. */
static void PrintTableText(const OpContainer *c)
{
    if (!c->inTable)
        return;
    printf("ignored:          a container inside the certificate table");
    if (c->tableReport.end)
        printf(" (file offsets %u to %u)", c->tableReport.start, c->tableReport.end);
    printf(": not covered by the signature, never read by the shell\n");
}

static void PrintConfigText(const ConfigReport *config, int withText)
{
    const OpContainer *c = &config->container;
    const EmbedHeaderFields *h = &c->report.header;
    EmbedStatus status = c->report.status;

    if (!c->present && !config->remains) {
        printf("configuration:    none\n");
        PrintTableText(c);
        return;
    }
    printf("configuration:    %s\n", c->intact ? "present" : "DAMAGED, the shell finds none");
    if (config->remains)
        printf("  remains:        file offsets %u to %u: a container %s\n", config->remainsStart,
               config->remainsEnd,
               c->intact ? "damaged and stacked before this one"
                         : "whose copy at the end is missing or broken");
    if (!c->present) {
        PrintTableText(c);
        return;
    }
    printf("  name:           \"%s\"\n", OpTerminalText(h->name, strlen(h->name)).c_str());
    printf("  length:         %u bytes\n", h->length);
    if (c->report.end)
        printf("  file offsets:   %u to %u\n", c->report.start, c->report.end);
    printf("  location:       %s\n",
           c->report.tableSize ? "before the certificate table, covered by the signature"
                               : "at the end of the file (not signed)");
    if (status != EMBED_OK)
        printf("  fault:          %s\n", OpEmbedStatusName(status));
    if (status == EMBED_OK || status == EMBED_STORED_CRC || status == EMBED_PLAIN_CRC) {
        printf("  stored CRC-32:  0x%08x %s\n", h->crcStored,
               status == EMBED_STORED_CRC ? "MISMATCH" : "verified");
        printf("  plain CRC-32:   0x%08x %s\n", h->crcPlain,
               status == EMBED_OK ? "verified" : status == EMBED_PLAIN_CRC ? "MISMATCH" : "not checked");
    }
    if (c->intact) {
        if (config->malformedLine)
            printf("  text:           REFUSED by the parser at line %u\n", config->malformedLine);
        else if (config->parserResult != INI_OK)
            printf("  text:           not checked (parser result %u)\n", config->parserResult);
        else
            printf("  text:           accepted by the parser\n");
    }
    if (withText && c->intact) {
        printf("----- configuration text -----\n");
        /* The text exactly as stored (on Windows, no CR added before LF). */
        OpWriteStdoutExact(c->body.data(), c->body.size());
        if (!c->body.empty() && c->body.back() != '\n')
            printf("\n");
        printf("----- end -----\n");
    }
    PrintTableText(c);
}

static void PrintConfigJson(const ConfigReport *config, int withText)
{
    const OpContainer *c = &config->container;
    const EmbedHeaderFields *h = &c->report.header;
    EmbedStatus status = c->report.status;
    int crcsKnown = status == EMBED_OK || status == EMBED_STORED_CRC || status == EMBED_PLAIN_CRC;

    printf("{\"present\": %s, \"intact\": %s, \"status\": \"%s\"",
           c->present || config->remains ? "true" : "false", c->intact ? "true" : "false",
           OpEmbedStatusName(status));
    if (config->remains)
        printf(", \"remainsStart\": %u, \"remainsEnd\": %u", config->remainsStart, config->remainsEnd);
    printf(", \"location\": \"%s\", \"coveredBySignature\": %s, \"inCertificateTable\": ",
           c->report.tableSize ? "before-certificate-table" : "end-of-file",
           c->report.tableSize && c->present ? "true" : "false");
    if (!c->inTable)
        printf("null");
    else if (c->tableReport.end)
        printf("{\"start\": %u, \"end\": %u}", c->tableReport.start, c->tableReport.end);
    else
        printf("{\"start\": null, \"end\": null}");
    if (!c->present) {
        printf(", \"name\": null, \"length\": null}");
        return;
    }
    printf(", \"name\": ");
    OpJsonString(stdout, h->name, strlen(h->name));
    printf(", \"length\": %u", h->length);
    if (c->report.end)
        printf(", \"start\": %u, \"end\": %u", c->report.start, c->report.end);
    if (crcsKnown)
        printf(", \"storedCrc\": %u, \"storedCrcOk\": %s, \"plainCrc\": %u, \"plainCrcOk\": %s",
               h->crcStored, status == EMBED_STORED_CRC ? "false" : "true", h->crcPlain,
               status == EMBED_OK ? "true" : "false");
    if (c->intact) {
        printf(", \"parses\": %s", config->parserResult == INI_OK ? "true" : "false");
        if (config->malformedLine)
            printf(", \"malformedLine\": %u", config->malformedLine);
        if (withText) {
            printf(", \"text\": ");
            OpJsonString(stdout, c->body.data(), c->body.size());
        }
    }
    printf("}");
}

static void PrintText(const char *path, const OpShellFile *shell, const RecordReport *record)
{
    printf("file:             %s\n", OpTerminalText(path, strlen(path)).c_str());
    if (record->present)
        printf("settings record:  %s, at file offset %u (0x%x)\n",
               record->valid ? "valid" : "INVALID", record->offset, record->offset);
    else
        printf("settings record:  MISSING, the file ends before it\n");
    if (record->valid) {
        printf("  flags:          0x%08x", record->flags);
        if (record->flags) {
            printf(" (");
            PrintBitNames(stdout, record->flags, kFlagNames,
                          sizeof kFlagNames / sizeof kFlagNames[0], ", ", 0);
            printf(")");
        }
        printf("\n  program path:   %s\n",
               OpTerminalText(record->programPath, strlen(record->programPath)).c_str());
        printf("  excluded:       ");
        if (record->osExclusionMask)
            PrintBitNames(stdout, record->osExclusionMask, kKindNames,
                          sizeof kKindNames / sizeof kKindNames[0], ", ", 0);
        else
            printf("none");
        printf("\n");
    }
    printf("signed:           %s\n", shell->isSigned ? "yes" : "no");
}

static void PrintJson(const char *path, const OpShellFile *shell, const RecordReport *record)
{
    printf("{\"file\": ");
    OpJsonString(stdout, path, strlen(path));
    printf(", \"valid\": %s, \"recordOffset\": ", record->valid ? "true" : "false");
    if (record->present)
        printf("%u", record->offset);
    else
        printf("null");
    if (record->valid) {
        printf(", \"flags\": %u, \"flagNames\": [", record->flags);
        PrintBitNames(stdout, record->flags, kFlagNames, sizeof kFlagNames / sizeof kFlagNames[0],
                      ", ", 1);
        printf("], \"programPath\": ");
        OpJsonString(stdout, record->programPath, strlen(record->programPath));
        printf(", \"osExclusionMask\": %u, \"excluded\": [", record->osExclusionMask);
        PrintBitNames(stdout, record->osExclusionMask, kKindNames,
                      sizeof kKindNames / sizeof kKindNames[0], ", ", 1);
        printf("], \"wait\": %s, \"configRequired\": %s, \"passExitCode\": %s, "
               "\"killWithShell\": %s",
               record->flags & PSF_WAIT_FOR_PRODUCT ? "true" : "false",
               record->flags & PSF_CONFIG_REQUIRED ? "true" : "false",
               record->flags & PSF_PASS_EXIT_CODE ? "true" : "false",
               record->flags & PSF_KILL_WITH_SHELL ? "true" : "false");
    } else {
        printf(", \"flags\": null, \"flagNames\": null, \"programPath\": null, "
               "\"osExclusionMask\": null, \"excluded\": null, \"wait\": null, "
               "\"configRequired\": null, \"passExitCode\": null, \"killWithShell\": null");
    }
    printf(", \"signed\": %s", shell->isSigned ? "true" : "false");
}

int OpInspect(int argc, char **argv)
{
    int json = 0, configText = 0;
    const OpOption options[] = {
        {"--json", NULL, OP_OPT_FLAG, &json, NULL},
        {"--config-text", NULL, OP_OPT_FLAG, &configText, NULL},
    };
    const char *path;
    size_t positionalCount;
    std::vector<uint8_t> bytes;
    OpShellFile shell;
    RecordReport record;
    ConfigReport config;
    int result;

    result = OpParseArgs(argc, argv, options, sizeof options / sizeof options[0], &path, 1, 1,
                         &positionalCount);
    if (result != OP_EXIT_OK)
        return result;
    if (!OpReadInput(path, &bytes, &config.container) || !OpOpenShell(path, bytes, &shell))
        return OP_EXIT_FAILED;
    ReadRecord(bytes, &shell, &record);
    ReadConfig(bytes, &shell, &config);
    std::string cut = OpDescribeCut(&shell);
    if (json) {
        PrintJson(path, &shell, &record);
        printf(", \"config\": ");
        PrintConfigJson(&config, configText);
        printf(", \"complete\": %s, \"cut\": ", cut.empty() ? "true" : "false");
        if (cut.empty())
            printf("null");
        else
            OpJsonString(stdout, cut.c_str(), cut.size());
        printf("}\n");
    } else {
        PrintText(path, &shell, &record);
        if (!cut.empty())
            printf("image:            CUT SHORT, Windows will not start it: %s\n", cut.c_str());
        PrintConfigText(&config, configText);
    }
    /* A file cut short is no shell that can run, whatever its record says. */
    if (!cut.empty())
        return OpFail("'%s' is cut short: %s; Windows would refuse to start it", path, cut.c_str());
    return OP_EXIT_OK;
}
