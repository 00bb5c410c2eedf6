/*
 * Throughput and memory of the configuration engine's file parser against
 * two common INI libraries, all on the same generated file in one run:
 *   - IniOpenFile (this project): builds the full model (sections and
 *     keywords with names, values, comments), reading 4096 bytes at a time.
 *   - inih (ini_parse): a streaming parser; measured twice, with a handler
 *     that only counts, and with one that keeps copies of section, name and
 *     value in a linked list (the nearest thing to building a model).
 *   - SimpleIni (CSimpleIniA::LoadFile): loads the file and builds maps.
 *
 * Memory is counted by wrapping malloc, calloc, realloc and free (glibc's
 * __libc_* functions underneath; operator new goes through malloc too):
 *   model  = bytes still allocated after the parse, before the release
 *            (for IniOpenFile this includes its 4096-byte window);
 *   peak   = highest allocated bytes during the parse;
 *   beyond = peak - model, memory the parser needed beyond what it keeps.
 * The process's peak resident size (VmHWM, reset through clear_refs before
 * each run) is shown as well. Each parser runs several times; the best time
 * counts, measured as the process's CPU time (user and system). The file is
 * read once beforehand so all parsers see a warm cache.
 *
 * Usage: bench_ini_throughput [MEGABYTES (default 64)] [RUNS (default 5)] [ONLY]
 * ONLY, a parser's number (1 to 4) in the table, runs that one alone (for
 * profiling).
 */
#include <malloc.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

/* Bytes as they stand: no UTF conversion library needed. */
#define SI_NO_CONVERSION 1
#define SI_IMPLEMENTATION 1   /* the distribution's header asks one file to instantiate it */
#include <SimpleIni.h>

#include <string>

#include "fileio.h"
#include "ini.h"

/* inih's header is also called ini.h and is hidden by ours on the include
 * path: its one function is declared here (handler without line numbers,
 * as the distribution builds it). */
extern "C" int ini_parse(const char *filename,
                         int (*handler)(void *user, const char *section,
                                        const char *name, const char *value),
                         void *user);

/* ---- allocation counter ------------------------------------------------ */

/* Under the sanitizers (which own malloc) nothing is counted. */
#ifdef BENCH_COUNT_MALLOC
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void __libc_free(void *);

static size_t g_live, g_peak;    /* bytes allocated now, and the highest */

static void Count(void *p)
{
    if (p) {
        g_live += malloc_usable_size(p);
        if (g_live > g_peak)
            g_peak = g_live;
    }
}

extern "C" void *malloc(size_t n)
{
    void *p = __libc_malloc(n);
    Count(p);
    return p;
}

extern "C" void *calloc(size_t n, size_t m)
{
    void *p = __libc_calloc(n, m);
    Count(p);
    return p;
}

extern "C" void *realloc(void *old, size_t n)
{
    if (old)
        g_live -= malloc_usable_size(old);
    void *p = __libc_realloc(old, n);
    if (p)
        Count(p);
    else if (old && n)
        g_live += malloc_usable_size(old);   /* failed: the old block stays */
    return p;
}

extern "C" void free(void *p)
{
    if (p)
        g_live -= malloc_usable_size(p);
    __libc_free(p);
}
#else
static size_t g_live, g_peak;
#endif

/* ---- helpers ----------------------------------------------------------- */

/* CPU time of this process (user and system): steadier than wall time on a
 * machine that runs other work; the parsers are single-threaded. */
static double Now()
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* Resets the process's peak resident size; returns 0 if the system cannot. */
static int ResetPeakRss()
{
    FILE *f = fopen("/proc/self/clear_refs", "w");
    if (!f)
        return 0;
    int ok = fputs("5", f) >= 0;
    return fclose(f) == 0 && ok;
}

/* VmHWM or VmRSS from /proc/self/status, in KiB. */
static long StatusKiB(const char *key)
{
    FILE *f = fopen("/proc/self/status", "r");
    char line[256];
    long v = -1;
    size_t n = strlen(key);
    while (f && fgets(line, sizeof line, f))
        if (strncmp(line, key, n) == 0)
            v = atol(line + n + 1);
    if (f)
        fclose(f);
    return v;
}

/* One generated file: sections, indexed keys, quoted values with escapes,
 * comments, comment lines, blank lines, CR LF and LF line ends. Every line
 * is short enough for each of the three parsers (inih: 200 characters). */
static size_t Generate(const char *path, size_t bytes, size_t *keywords)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return 0;
    size_t written = 0, n = 0, section = 0;
    char line[256];
    while (written < bytes) {
        int len;
        if (n % 64 == 0) {
            len = snprintf(line, sizeof line, "\r\n[Section %zu]\r\n; settings of group %zu\n",
                           section, section);
            section++;
        } else {
            switch (n % 4) {
            case 0:
                len = snprintf(line, sizeof line,
                               "key%zu(%zu) = \"quoted \\\"value\\\" with\\ttab and \\\\ path\""
                               " ; comment %zu\r\n", n, n % 7, n);
                break;
            case 1:
                len = snprintf(line, sizeof line, "plain%zu = value_%zu_abcdefghij\n", n, n);
                break;
            case 2:
                len = snprintf(line, sizeof line,
                               "  path%zu=\"C:\\\\Program Files\\\\Ormsted\\\\app%zu.exe\"\r\n",
                               n, n);
                break;
            default:
                len = snprintf(line, sizeof line, "number%zu = 0x%zX ; hex\n", n, n * 2654435761u);
                break;
            }
        }
        if (fwrite(line, 1, (size_t)len, f) != (size_t)len) {
            fclose(f);
            return 0;
        }
        written += (size_t)len;
        if (n % 64 != 0)
            (*keywords)++;
        n++;
    }
    fclose(f);
    return written;
}

typedef struct Result {
    double seconds;             /* best of the runs */
    size_t items;               /* keywords seen */
    size_t model, peak;         /* bytes, see the header comment */
    long rssPeakKiB;            /* VmHWM growth over VmRSS at the start */
} Result;

/* ---- the parsers: parse into a kept model, then release it ------------ */

/* parse() returns the model, or null on failure, and may count keywords
 * as it goes; count() counts the keywords of a kept model afterwards,
 * outside the timed part. */
typedef struct Parser {
    const char *name;
    void *(*parse)(const char *path, size_t *items);
    size_t (*count)(void *model);
    void (*release)(void *model);
} Parser;

static void *OursParse(const char *path, size_t *)
{
    IniFile *ini = NULL;
    if (IniOpenFile(&ini, path, NULL) != INI_OK)
        return NULL;
    return ini;
}

static size_t OursCount(void *model)
{
    size_t n = 0;
    for (const IniSection *s = ((IniFile *)model)->firstSection; s; s = s->next)
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next)
            n++;
    return n;
}

static size_t NoCount(void *)
{
    return 0;
}

static void OursRelease(void *model)
{
    IniClose((IniFile *)model);
}

static int InihCount(void *user, const char *, const char *, const char *)
{
    (*(size_t *)user)++;
    return 1;
}

static void *InihCountParse(const char *path, size_t *items)
{
    return ini_parse(path, InihCount, items) == 0 ? (void *)1 : NULL;
}

static void NoRelease(void *)
{
}

/* inih with a handler that keeps what it is given, as a model would. */
typedef struct KeptEntry {
    struct KeptEntry *next;
    char *section, *name, *value;
} KeptEntry;

typedef struct Kept {
    KeptEntry *first, *last;
    size_t count;
} Kept;

static char *Dup(const char *s)
{
    size_t n = strlen(s) + 1;
    char *d = (char *)malloc(n);
    if (d)
        memcpy(d, s, n);
    return d;
}

static int InihKeep(void *user, const char *section, const char *name, const char *value)
{
    Kept *k = (Kept *)user;
    KeptEntry *e = (KeptEntry *)malloc(sizeof *e);
    if (!e)
        return 0;
    e->next = NULL;
    /* One copy of the section name per section, as a model keeps it. */
    e->section = (k->last && strcmp(k->last->section, section) == 0) ? k->last->section
                                                                      : Dup(section);
    e->name = Dup(name);
    e->value = Dup(value);
    if (k->last)
        k->last->next = e;
    else
        k->first = e;
    k->last = e;
    k->count++;
    return 1;
}

static void InihKeepRelease(void *model)
{
    Kept *k = (Kept *)model;
    KeptEntry *e = k->first;
    while (e) {
        KeptEntry *next = e->next;
        if (!next || next->section != e->section)
            free(e->section);
        free(e->name);
        free(e->value);
        free(e);
        e = next;
    }
    free(k);
}

static void *InihKeepParse(const char *path, size_t *items)
{
    Kept *k = (Kept *)calloc(1, sizeof *k);
    if (!k)
        return NULL;
    if (ini_parse(path, InihKeep, k) != 0) {
        InihKeepRelease(k);
        return NULL;
    }
    *items = k->count;      /* counted by the handler as it went */
    return k;
}

static void *SimpleIniParse(const char *path, size_t *)
{
    CSimpleIniA *ini = new CSimpleIniA(false, true, false);   /* keep duplicate keys */
    if (ini->LoadFile(path) < 0) {
        delete ini;
        return NULL;
    }
    return ini;
}

static size_t SimpleIniCount(void *model)
{
    CSimpleIniA *ini = (CSimpleIniA *)model;
    CSimpleIniA::TNamesDepend sections;
    size_t n = 0;
    ini->GetAllSections(sections);
    for (const CSimpleIniA::Entry &s : sections)
        n += (size_t)ini->GetSectionSize(s.pItem);
    return n;
}

static void SimpleIniRelease(void *model)
{
    delete (CSimpleIniA *)model;
}

static const Parser kParsers[] = {
    {"IniOpenFile (this project)", OursParse, OursCount, OursRelease},
    {"inih, handler counts only", InihCountParse, NoCount, NoRelease},
    {"inih, handler keeps copies", InihKeepParse, NoCount, InihKeepRelease},
    {"SimpleIni LoadFile", SimpleIniParse, SimpleIniCount, SimpleIniRelease},
};
enum { kParserCount = sizeof kParsers / sizeof kParsers[0] };

/* Runs one parser `runs` times in this process. The first run's resident
 * growth is its peak RSS (the heap is fresh: each parser runs in a child
 * process of its own); later runs keep their pages (no trimming), so the
 * best time is the parser's own work rather than the kernel's page zeroing. */
static Result MeasureHere(const Parser *p, const char *path, int runs)
{
    Result r = {1e30, 0, 0, 0, -1};
    int rssOk = ResetPeakRss();     /* resettable peak RSS on this system? */
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    for (int i = 0; i < runs; i++) {
        size_t items = 0;
        long rssStart = StatusKiB("VmRSS:");
        if (rssOk)
            ResetPeakRss();
        size_t before = g_live;     /* after the /proc reads, which use stdio */
        g_peak = g_live;
        double t0 = Now();
        void *model = p->parse(path, &items);
        double t1 = Now();
        if (!model) {
            fprintf(stderr, "%s failed to parse %s\n", p->name, path);
            exit(1);
        }
        size_t kept = g_live - before, peak = g_peak - before;
        long hwm = StatusKiB("VmHWM:");
        items += p->count(model);
        p->release(model);
        if (t1 - t0 < r.seconds)
            r.seconds = t1 - t0;
        r.items = items;
        r.model = kept;
        r.peak = peak;
        if (i == 0 && rssOk && hwm >= 0 && rssStart >= 0)
            r.rssPeakKiB = hwm - rssStart;
    }
    return r;
}

/* The same in a child process, so that no parser inherits another's heap. */
static Result Measure(const Parser *p, const char *path, int runs)
{
    Result r = {0, 0, 0, 0, -1};
    int fd[2];
    if (pipe(fd) != 0)
        return MeasureHere(p, path, runs);
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        r = MeasureHere(p, path, runs);
        _exit(write(fd[1], &r, sizeof r) == (ssize_t)sizeof r ? 0 : 1);
    }
    close(fd[1]);
    ssize_t got = pid > 0 ? read(fd[0], &r, sizeof r) : -1;
    close(fd[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    if (got != (ssize_t)sizeof r || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "measuring %s failed\n", p->name);
        exit(1);
    }
    return r;
}

int main(int argc, char **argv)
{
    size_t megabytes = argc > 1 ? (size_t)atol(argv[1]) : 64;
    int runs = argc > 2 ? atoi(argv[2]) : 5;
    int only = argc > 3 ? atoi(argv[3]) : 0;
    if (megabytes < 1 || runs < 1) {
        fprintf(stderr, "usage: %s [MEGABYTES] [RUNS]\n", argv[0]);
        return 2;
    }

    /* The file lives in a fresh temporary directory. */
    char tmp[1024];
    uint32_t err;
    if (!FileMakeTemp(tmp, sizeof tmp) || !FileDelete(tmp, &err) || !DirCreate(tmp, &err)) {
        fprintf(stderr, "cannot make a temporary directory\n");
        return 1;
    }
    std::string path = std::string(tmp) + "/throughput.ini";
    size_t keywords = 0;
    size_t bytes = Generate(path.c_str(), megabytes << 20, &keywords);
    if (!bytes) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    /* Warm the page cache so that every parser reads from memory. */
    FILE *f = fopen(path.c_str(), "rb");
    char block[1 << 16];
    size_t got, total = 0;
    while (f && (got = fread(block, 1, sizeof block, f)) > 0)
        total += got;
    if (f)
        fclose(f);
    int rssOk = ResetPeakRss();     /* resettable peak RSS on this system? */

    printf("file: %s, %.1f MB, %zu keywords, best of %d runs\n", path.c_str(),
           bytes / 1e6, keywords, runs);
    printf("each parser in a process of its own; MB/s from CPU time; memory counted\n"
           "through malloc; "
           "RSS peak: growth of VmHWM in the first run%s\n\n",
           rssOk ? "" : " (not resettable here: not shown)");
    printf("%-28s %9s %9s %11s %11s %11s %11s\n", "parser", "MB/s", "keywords", "model MB",
           "peak MB", "beyond KB", "RSS pk MB");
    Result results[kParserCount];
    for (int i = 0; i < kParserCount; i++) {
        if (only && only != i + 1) {
            results[i] = Result{1, 0, 0, 0, -1};
            continue;
        }
        Result r = Measure(&kParsers[i], path.c_str(), runs);
        results[i] = r;
        printf("%-28s %9.1f %9zu %11.1f %11.1f %11.1f", kParsers[i].name,
               bytes / 1e6 / r.seconds, r.items, r.model / 1e6, r.peak / 1e6,
               (double)(r.peak - r.model) / 1e3);
        if (r.rssPeakKiB >= 0)
            printf(" %11.1f\n", r.rssPeakKiB / 1024.0);
        else
            printf(" %11s\n", "-");
    }
    printf("\nspeed of IniOpenFile relative to the others (>1: faster):\n");
    for (int i = 1; i < kParserCount; i++)
        printf("  %-28s %.2fx\n", kParsers[i].name, results[i].seconds / results[0].seconds);
    double fastest = results[1].seconds;
    for (int i = 2; i < kParserCount; i++)
        if (results[i].seconds < fastest)
            fastest = results[i].seconds;
    printf("  against the fastest other    %.2fx\n", fastest / results[0].seconds);

    FileDelete(path.c_str(), &err);
    rmdir(tmp);
    (void)total;
    return 0;
}
