/*
 * Shared by the configuration engine's fuzz targets: a scratch file, and
 * the properties every parsed object must have. A broken property aborts,
 * which libFuzzer reports as a crash with the input that caused it.
 */
#ifndef ORM_INI_FUZZ_COMMON_H
#define ORM_INI_FUZZ_COMMON_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fileio.h"
#include "ini.h"
#include "ini_test_support.h"

#define FUZZ_CHECK(cond)                                                     \
    do {                                                                     \
        if (!(cond)) {                                                       \
            fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", #cond,     \
                    __FILE__, __LINE__);                                     \
            abort();                                                         \
        }                                                                    \
    } while (0)

static char g_fuzzScratch[1024];

static inline void FuzzRemoveScratch()
{
    uint32_t err;
    FileDelete(g_fuzzScratch, &err);
}

/* One temporary file per process, reused by every input and removed when
 * the process ends. */
static inline const char *FuzzScratchFile()
{
    if (!g_fuzzScratch[0]) {
        FUZZ_CHECK(FileMakeTemp(g_fuzzScratch, sizeof g_fuzzScratch));
        atexit(FuzzRemoveScratch);
    }
    return g_fuzzScratch;
}

static inline void FuzzWriteFile(const char *path, const uint8_t *data, size_t size)
{
    FILE *f = fopen(path, "wb");
    FUZZ_CHECK(f != NULL);
    FUZZ_CHECK(fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(fclose(f) == 0);
}

static inline void FuzzSink(const char *text)
{
    FUZZ_CHECK(strlen(text) < 512 && text[strlen(text) - 1] == '\n');
}

static inline int FuzzNamesEqual(const char *a, const char *b)
{
    for (;; a++, b++) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
        if (x != y)
            return 0;
        if (!x)
            return 1;
    }
}

/* In the first section of each name, every keyword is found by its name and
 * index, and the value found is that of the first keyword of that name and
 * index. The other lookups run on every keyword and must stay sound. */
static inline void FuzzCheckLookups(const IniFile *ini)
{
    for (const IniSection *s = ini->firstSection; s; s = s->next) {
        FUZZ_CHECK(IniHasSection(ini, s->name));
        int first = 1;
        for (const IniSection *e = ini->firstSection; e != s; e = e->next)
            if (FuzzNamesEqual(e->name, s->name))
                first = 0;
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next) {
            FUZZ_CHECK(k->name[0] != 0);
            const char *v = IniGetValueIndexed(ini, s->name, k->name, k->index, FuzzSink);
            if (first) {
                const IniKeyword *f = s->firstKeyword;
                while (!(f->index == k->index && FuzzNamesEqual(f->name, k->name)))
                    f = f->next;
                FUZZ_CHECK(v == f->value);
            }
            char buf[16];
            IniGetStringIndexed(ini, s->name, k->name, k->index, "", buf, sizeof buf, FuzzSink);
            FUZZ_CHECK(strlen(buf) < sizeof buf);
            IniGetIntIndexed(ini, s->name, k->name, k->index, 0, -5, 5, FuzzSink);
            IniGetBool(ini, s->name, k->name, FuzzSink);
        }
    }
}

/* A write and a re-read give the same sections, names, indexes and values;
 * comments gain one blank. The only refusal allowed is a line too long to
 * read back. */
static inline void FuzzCheckRoundTrip(IniFile *ini)
{
    const char *path = FuzzScratchFile();
    FuzzWriteFile(path, (const uint8_t *)"stale", 5);
    uint32_t rc = IniWriteFile(ini, path);
    if (rc == INI_ERR_WRITE)
        return;
    FUZZ_CHECK(rc == INI_OK);
    IniFile *again = NULL;
    FUZZ_CHECK(IniOpenFile(&again, path, NULL) == INI_OK);
    FUZZ_CHECK(IniDump(ini, " ") == IniDump(again));
    IniClose(again);
}

#endif
