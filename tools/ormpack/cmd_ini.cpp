/*
 * ormpack ini / ormpack get: the configuration engine on the command line.
 * "ini" parses a file with IniOpenFile and prints its model (as text or
 * JSON) or writes it back with IniWriteFile; "get" makes one lookup and
 * prints the value, with the engine's diagnostics on stderr.
 */
#include "ormpack.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fileio.h"
#include "ini.h"

static const struct {
    uint32_t code;
    const char *name;
} kIniResults[] = {
    {INI_OK, "INI_OK"},
    {INI_ERR_NOMEM, "INI_ERR_NOMEM"},
    {INI_ERR_SYNTAX, "INI_ERR_SYNTAX"},
    {INI_ERR_OPEN, "INI_ERR_OPEN"},
    {INI_ERR_WRITE, "INI_ERR_WRITE"},
};

static const char *ResultName(uint32_t code)
{
    static char other[32];
    for (size_t i = 0; i < sizeof kIniResults / sizeof kIniResults[0]; i++)
        if (kIniResults[i].code == code)
            return kIniResults[i].name;
    snprintf(other, sizeof other, "INI_ERR_%u", (unsigned)code);
    return other;
}

/* A text for the plain listing: C escapes for quotes, backslashes and
 * control characters, \xHH for bytes from 0x7F. */
static void PrintQuoted(const char *s)
{
    putchar('"');
    for (const unsigned char *p = (const unsigned char *)s; *p; p++) {
        if (*p == '"' || *p == '\\')
            printf("\\%c", *p);
        else if (*p == '\r')
            fputs("\\r", stdout);
        else if (*p == '\n')
            fputs("\\n", stdout);
        else if (*p == '\t')
            fputs("\\t", stdout);
        else if (*p < 0x20 || *p >= 0x7F)
            printf("\\x%02X", *p);
        else
            putchar(*p);
    }
    putchar('"');
}

static void PrintText(const IniFile *ini)
{
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        fputs("section ", stdout);
        PrintQuoted(s->name);
        putchar('\n');
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next) {
            fputs("  keyword ", stdout);
            PrintQuoted(k->name);
            printf(" index %ld value ", (long)k->index);
            PrintQuoted(k->value);
            fputs(" comment ", stdout);
            if (k->comment)
                PrintQuoted(k->comment);
            else
                fputs("none", stdout);
            putchar('\n');
        }
    }
}

static void JsonText(const char *s)
{
    OpJsonString(stdout, s, strlen(s));
}

/* {"result": ..., "sections": [...]}, one section and one keyword a line. */
static void PrintJson(uint32_t result, const IniFile *ini)
{
    printf("{\"result\": \"%s\", \"sections\": [", ResultName(result));
    for (const IniSection *s = ini ? ini->firstSection : NULL; s; s = s->next) {
        fputs("\n  {\"name\": ", stdout);
        JsonText(s->name);
        fputs(", \"keywords\": [", stdout);
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next) {
            fputs("\n    {\"name\": ", stdout);
            JsonText(k->name);
            printf(", \"index\": %ld, \"value\": ", (long)k->index);
            JsonText(k->value);
            fputs(", \"comment\": ", stdout);
            if (k->comment)
                JsonText(k->comment);
            else
                fputs("null", stdout);
            fputs(k->next ? "}," : "}\n  ", stdout);
        }
        fputs(s->next ? "]}," : "]}\n", stdout);
    }
    fputs("]}\n", stdout);
}

typedef struct WriteJob {
    IniFile *ini;
    const char *path;    /* the output as the user named it, for messages */
} WriteJob;

/* Writes the object into the temporary file that replaces the output. */
static int FillWithText(const char *tempPath, void *context)
{
    const WriteJob *job = (const WriteJob *)context;
    uint32_t rc = IniWriteFile(job->ini, tempPath);
    if (rc != INI_OK)
        return OpFail("cannot write '%s': %s", job->path, ResultName(rc)), 0;
    return 1;
}

int OpIni(int argc, char **argv)
{
    int json = 0;
    const char *writePath = NULL;
    const OpOption options[] = {
        {"--json", NULL, OP_OPT_FLAG, &json, NULL},
        {"--write", NULL, OP_OPT_VALUE, NULL, &writePath},
    };
    const char *positional[1];
    size_t count;
    int rc = OpParseArgs(argc, argv, options, sizeof options / sizeof options[0], positional,
                         1, 1, &count);
    if (rc != OP_EXIT_OK)
        return rc;
    const char *path = positional[0];

    IniFile *ini = NULL;
    uint32_t result = IniOpenFile(&ini, path, NULL);
    if (result != INI_OK) {
        if (json)
            PrintJson(result, NULL);
        return OpFail("cannot read '%s': %s", path, ResultName(result));
    }
    if (json)
        PrintJson(result, ini);
    else if (!writePath)
        PrintText(ini);
    /* The writer writes into an existing file as it goes; through a
     * temporary file and a rename, a failed write (a full disk, a size
     * limit) or a second writer never leaves OUT cut short or mixed. */
    if (writePath) {
        WriteJob job = {ini, writePath};
        if (!OpWriteThroughTemp(writePath, 0, FillWithText, &job)) {
            IniClose(ini);
            return OP_EXIT_FAILED;
        }
    }
    IniClose(ini);
    return OP_EXIT_OK;
}

/* The engine's diagnostics go to stderr as they come. */
static void StderrSink(const char *text)
{
    fputs(text, stderr);
}

/* A signed 32-bit decimal number, the whole word. */
static int ParseInt32(const char *word, int32_t *value)
{
    char *end;
    errno = 0;
    long long v = strtoll(word, &end, 10);
    if (errno || end == word || *end || v < INT32_MIN || v > INT32_MAX)
        return 0;
    *value = (int32_t)v;
    return 1;
}

int OpGet(int argc, char **argv)
{
    /* "--int DEFAULT MIN MAX" takes three words, which may start with '-':
     * they are taken out before the other options are parsed. */
    std::vector<char *> rest;
    const char *intWords[3] = {NULL, NULL, NULL};
    int haveInt = 0;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--") == 0) {
            rest.insert(rest.end(), argv + i, argv + argc);
            break;
        }
        if (strcmp(argv[i], "--int") == 0) {
            if (haveInt)
                return OpUsageError("option '--int' given twice");
            if (i + 3 >= argc)
                return OpUsageError("option '--int' needs DEFAULT MIN MAX");
            for (int j = 0; j < 3; j++)
                intWords[j] = argv[i + 1 + j];
            haveInt = 1;
            i += 3;
            continue;
        }
        rest.push_back(argv[i]);
    }

    int boolean = 0;
    const char *indexWord = NULL, *defaultText = NULL;
    const OpOption options[] = {
        {"--index", NULL, OP_OPT_VALUE, NULL, &indexWord},
        {"--default", NULL, OP_OPT_VALUE, NULL, &defaultText},
        {"--bool", NULL, OP_OPT_FLAG, &boolean, NULL},
    };
    const char *positional[3];
    size_t count;
    int rc = OpParseArgs((int)rest.size(), rest.data(), options,
                         sizeof options / sizeof options[0], positional, 3, 3, &count);
    if (rc != OP_EXIT_OK)
        return rc;
    if ((defaultText != NULL) + haveInt + boolean > 1)
        return OpUsageError("--default, --int and --bool exclude each other");
    int32_t index = 0, def = 0, min = 0, max = 0;
    if (indexWord && !ParseInt32(indexWord, &index))
        return OpUsageError("'%s' is no 32-bit index", indexWord);
    if (haveInt && (!ParseInt32(intWords[0], &def) || !ParseInt32(intWords[1], &min) ||
                    !ParseInt32(intWords[2], &max)))
        return OpUsageError("--int needs three 32-bit numbers");
    if (boolean && index != 0)
        return OpUsageError("--bool reads index 0 only");
    const char *path = positional[0], *section = positional[1], *keyword = positional[2];

    IniFile *ini = NULL;
    uint32_t result = IniOpenFile(&ini, path, NULL);
    if (result != INI_OK)
        return OpFail("cannot read '%s': %s", path, ResultName(result));
    rc = OP_EXIT_OK;
    if (haveInt) {
        printf("%ld\n", (long)IniGetIntIndexed(ini, section, keyword, index, def, min, max,
                                               StderrSink));
    } else if (boolean) {
        printf("%u\n", (unsigned)IniGetBool(ini, section, keyword, StderrSink));
    } else if (defaultText) {
        /* Large enough for any value (a line holds at most 255 characters);
         * a longer default is cut like any string lookup. */
        char buf[4096];
        IniGetStringIndexed(ini, section, keyword, index, defaultText, buf, sizeof buf,
                            StderrSink);
        printf("%s\n", buf);
    } else {
        const char *value = IniGetValueIndexed(ini, section, keyword, index, StderrSink);
        if (value)
            printf("%s\n", value);
        else
            rc = OP_EXIT_FAILED;    /* the diagnostic is the message */
    }
    IniClose(ini);
    return rc;
}
