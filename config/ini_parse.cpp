/*
 * Configuration text engine: the parser and the model's life cycle.
 * Owns IniOpenText, IniOpenFile, IniClose and the fallback path rule.
 *
 * The parser reads through the object's window: the caller's text for
 * IniOpenText, a 4096-byte buffer refilled from the file for IniOpenFile,
 * so a file is never held whole. Lines are cut into a 256-byte buffer and
 * handled one at a time; names, values and comments are then copied into
 * allocations of their exact length.
 */
#include "ini_internal.h"
#include "fileio.h"

/* Parsing state beyond the object: where the next section and keyword go. */
typedef struct IniParse {
    IniFile *ini;                   /* object being filled */
    IniSection *lastSection;        /* tail of the section list; current section */
    IniKeyword *lastKeyword;        /* tail of the current section's keywords */
} IniParse;

/* CR, LF and the zero byte end a line; one comparison rules out all the
 * other printable characters. */
static inline int IsLineEnd(uint8_t c)
{
    return c <= '\r' && (c == '\r' || c == '\n' || c == 0);
}

/* The first position in [from, to) that holds a line end, or `to`. Eight
 * bytes at a time: a word with no byte below 14 (the line ends are 0, 10
 * and 13) holds no line end and is passed over whole; the lowest byte below
 * 14 is always flagged, so a word with a line end is always looked into. */
static uint32_t FindLineEnd(const uint8_t *w, uint32_t from, uint32_t to)
{
    const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    for (; to - from >= 8; from += 8) {
        uint64_t x;
        memcpy(&x, w + from, 8);
        if (((x - ones * 14) & ~x & highs) != 0)
            for (uint32_t i = 0; i < 8; i++)
                if (IsLineEnd(w[from + i]))
                    return from + i;
    }
    for (; from < to; from++)
        if (IsLineEnd(w[from]))
            return from;
    return to;
}

/* Makes at least one byte available in the window when the text has one:
 * when the window is used up and the last fill filled it whole, the next
 * block is read from the file. A failed read counts as 0 bytes, which ends
 * the text. Returns 0 when the text is exhausted. */
static int WindowAvailable(IniFile *ini)
{
    if (ini->windowRead < ini->windowValid)
        return 1;
    if (ini->windowValid == ini->windowCapacity && ini->fileHandle != FILE_NO_HANDLE) {
        uint32_t got = 0, err = 0;
        if (FileReadAt(ini->fileHandle, ini->fileOffset, (void *)ini->window,
                       ini->windowCapacity, &got, &err))
            ini->fileOffset += got;
        else
            got = 0;
        ini->windowValid = got;
        ini->windowRead = 0;
    }
    return ini->windowRead < ini->windowValid;
}

/* Gets the next line: skips line ends (so blank lines never arrive), then
 * takes characters up to a line end, which is consumed. A line that lies
 * whole in the window is handed out in place; one that crosses a refill is
 * copied into buf[INI_LINE_MAX + 1]. Of a longer line only the first 255
 * characters are kept; the rest up to its line end is discarded rather than
 * read as a further line, so that a cut-off tail never turns into a keyword
 * of its own. Returns the length, or -1 when the text is exhausted before a
 * line; *line points at the characters (not zero-ended). */
static int ReadLine(IniFile *ini, char *buf, const char **line)
{
    const uint8_t *w;
    uint32_t r, v;
    for (;;) {
        if (!WindowAvailable(ini))
            return -1;
        w = ini->window;
        r = ini->windowRead;
        v = ini->windowValid;
        while (r < v && IsLineEnd(w[r]))
            r++;
        ini->windowRead = r;
        if (r < v)
            break;
    }

    /* The usual case: the line ends inside the window. */
    uint32_t limit = (v - r > INI_LINE_MAX) ? r + INI_LINE_MAX : v;
    uint32_t e = FindLineEnd(w, r, limit);
    if (e < v && IsLineEnd(w[e])) {
        ini->windowRead = e + 1;
        *line = (const char *)w + r;
        return (int)(e - r);
    }

    /* Otherwise copy, refilling as needed. */
    uint32_t n = 0;
    while (WindowAvailable(ini)) {
        w = ini->window;
        r = ini->windowRead;
        v = ini->windowValid;
        uint32_t room = INI_LINE_MAX - n;
        uint32_t stop = (v - r < room) ? v : r + room;
        while (r < stop && !IsLineEnd(w[r]))
            buf[n++] = (char)w[r++];
        if (r < v && IsLineEnd(w[r])) {
            ini->windowRead = r + 1;
            break;
        }
        if (n == INI_LINE_MAX) {
            /* Discard the rest of an over-long line. */
            while (r < v && !IsLineEnd(w[r]))
                r++;
            if (r < v) {
                ini->windowRead = r + 1;
                break;
            }
        }
        ini->windowRead = r;
    }
    *line = buf;
    return (int)n;
}

static uint32_t AddSection(IniParse *ps, const char *p, const char *end)
{
    const char *close = (const char *)memchr(p, ']', (size_t)(end - p));
    if (!close)
        close = end;
    IniSection *s = (IniSection *)IniMemAlloc(sizeof *s);
    if (!s)
        return INI_ERR_NOMEM;
    s->next = NULL;
    s->firstKeyword = NULL;
    s->name = IniCopyText(p, (size_t)(close - p));
    if (!s->name) {
        IniMemFree(s);
        return INI_ERR_NOMEM;
    }
    if (ps->lastSection)
        ps->lastSection->next = s;
    else
        ps->ini->firstSection = s;
    ps->lastSection = s;
    ps->lastKeyword = NULL;
    return INI_OK;
}

static inline int IsIndexSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

/* The decimal index after a '(': white space, one sign, digits; no digits
 * give 0. A number beyond 32 bits saturates. */
static int32_t ParseIndex(const char *p, const char *end)
{
    uint32_t mag = 0;
    int neg = 0;
    while (p < end && IsIndexSpace(*p))
        p++;
    if (p < end && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        p++;
    }
    for (; p < end && *p >= '0' && *p <= '9'; p++) {
        uint32_t d = (uint32_t)(*p - '0');
        mag = (mag > (0x80000000u - d) / 10) ? 0x80000000u : mag * 10 + d;
    }
    if (neg)
        return mag >= 0x80000000u ? INT32_MIN : -(int32_t)mag;
    return mag > 0x7FFFFFFFu ? INT32_MAX : (int32_t)mag;
}

static void FreeKeyword(IniKeyword *k)
{
    IniMemFree(k->name);
    IniMemFree(k->value);
    IniMemFree(k->comment);
    IniMemFree(k);
}

/* A keyword line: name [ "(" index ")" ] "=" value [ ";" comment ]. */
static uint32_t AddKeyword(IniParse *ps, const char *p, const char *end)
{
    /* A keyword before the first section header has no section to go to:
     * the text is refused. */
    if (!ps->lastSection)
        return INI_ERR_SYNTAX;

    /* Scan for '='; each '(' on the way gives the index and the scan
     * resumes after the next ')'. */
    const char *nameStart = p, *lastParen = NULL, *q = p;
    int32_t index = 0;
    while (q < end && *q != '=') {
        if (*q == '(') {
            lastParen = q;
            index = ParseIndex(q + 1, end);
            const char *close = (const char *)memchr(q + 1, ')', (size_t)(end - q - 1));
            q = close ? close + 1 : end;
            continue;
        }
        q++;
    }
    if (q >= end)
        return INI_ERR_SYNTAX;
    const char *nameEnd = lastParen ? lastParen : q;
    while (nameEnd > nameStart && nameEnd[-1] == ' ')
        nameEnd--;
    size_t nameLen = (size_t)(nameEnd - nameStart);
    if (nameLen == 0 || nameLen > INI_LINE_MAX)
        return INI_ERR_SYNTAX;

    /* The value: quotes toggle, escapes inside quotes, blanks dropped and
     * ';' ending it outside. Never longer than the line. */
    char value[INI_LINE_MAX + 1];
    uint32_t vn = 0;
    int quoted = 0;
    const char *comment = NULL;
    const char *v = q + 1;
    while (v < end) {
        char c = *v++;
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            if (c != '\\') {
                value[vn++] = c;
            } else if (v < end) {
                char e = *v++;
                if (e == '"' || e == '\\') {
                    value[vn++] = e;
                } else if (e == 'n') {
                    value[vn++] = '\r';
                    value[vn++] = '\n';
                } else if (e == 't') {
                    value[vn++] = '\t';
                }           /* any other escaped character is dropped */
            }               /* a backslash at the end of the line is dropped */
        } else if (c == ';') {
            comment = v;
            break;
        } else if (c != ' ' && c != '\t') {
            value[vn++] = c;
        }
    }

    IniKeyword *k = (IniKeyword *)IniMemAlloc(sizeof *k);
    if (!k)
        return INI_ERR_NOMEM;
    k->next = NULL;
    k->prev = ps->lastKeyword;
    k->index = index;
    k->name = IniCopyText(nameStart, nameLen);
    k->value = IniCopyText(value, vn);
    k->comment = comment ? IniCopyText(comment, (size_t)(end - comment)) : NULL;
    if (!k->name || !k->value || (comment && !k->comment)) {
        FreeKeyword(k);
        return INI_ERR_NOMEM;
    }
    if (ps->lastKeyword)
        ps->lastKeyword->next = k;
    else
        ps->lastSection->firstKeyword = k;
    ps->lastKeyword = k;
    return INI_OK;
}

/* A line: its characters up to `len`; it holds no line end and need not be
 * zero-ended. */
static uint32_t HandleLine(IniParse *ps, const char *line, int len)
{
    const char *p = line, *end = line + len;
    while (p < end && *p == ' ')
        p++;
    if (p == end || *p == ';')
        return INI_OK;
    if (*p == '[')
        return AddSection(ps, p + 1, end);
    return AddKeyword(ps, p, end);
}

/* Reads lines until the text is exhausted; the first failing line ends
 * the parse with its result. */
static uint32_t Parse(IniFile *ini)
{
    IniParse ps = {ini, NULL, NULL};
    char buf[INI_LINE_MAX + 1];
    const char *line;
    int len;
    while ((len = ReadLine(ini, buf, &line)) >= 0) {
        uint32_t rc = HandleLine(&ps, line, len);
        if (rc != INI_OK)
            return rc;
    }
    return INI_OK;
}

static IniFile *NewIniFile(void)
{
    IniFile *ini = (IniFile *)IniMemAlloc(sizeof *ini);
    if (ini) {
        memset(ini, 0, sizeof *ini);
        ini->fileHandle = FILE_NO_HANDLE;
    }
    return ini;
}

uint32_t IniOpenText(IniFile **out, const char *text, uint32_t length)
{
    *out = NULL;
    IniFile *ini = NewIniFile();
    if (!ini)
        return INI_ERR_NOMEM;
    ini->window = (const uint8_t *)text;
    ini->windowValid = ini->windowCapacity = length;
    ini->windowRead = 0;
    uint32_t rc = Parse(ini);
    /* Keep no reference to the caller's text. */
    ini->window = NULL;
    ini->windowValid = ini->windowRead = ini->windowCapacity = 0;
    if (rc != INI_OK) {
        IniClose(ini);
        return rc;
    }
    *out = ini;
    return INI_OK;
}

char *IniFallbackPath(const char *name, const char *near, char sep)
{
    const char *base = strrchr(name, sep);
    base = base ? base + 1 : name;
    const char *dirEnd = strrchr(near, sep);
    size_t dl = dirEnd ? (size_t)(dirEnd - near) : 0;
    size_t bl = strlen(base);
    char *path = (char *)IniMemAlloc(dl + 1 + bl + 1);
    if (path) {
        memcpy(path, near, dl);
        path[dl] = sep;
        memcpy(path + dl + 1, base, bl + 1);
    }
    return path;
}

uint32_t IniOpenFile(IniFile **out, const char *name, const char *near)
{
    FileHandle h;
    uint32_t err;
    char *opened = NULL;
    *out = NULL;
    if (FileOpen(name, FILE_READ, &h, &err)) {
        opened = IniCopyText(name, strlen(name));
    } else if (near && *near && *name) {
        char *fallback = IniFallbackPath(name, near, PathSeparator());
        if (!fallback)
            return INI_ERR_NOMEM;
        if (!FileOpen(fallback, FILE_READ, &h, &err)) {
            IniMemFree(fallback);
            return INI_ERR_OPEN;
        }
        opened = fallback;
    } else {
        return INI_ERR_OPEN;
    }

    IniFile *ini = opened ? NewIniFile() : NULL;
    uint8_t *window = ini ? (uint8_t *)IniMemAlloc(INI_WINDOW_SIZE) : NULL;
    if (!window) {
        if (ini)
            IniClose(ini);
        IniMemFree(opened);
        FileClose(h, &err);
        return INI_ERR_NOMEM;
    }
    ini->fileName = opened;
    ini->window = window;
    ini->fileHandle = h;
    ini->fileOffset = 0;
    /* A full, used-up window: the first character request reads block 0. */
    ini->windowValid = ini->windowRead = ini->windowCapacity = INI_WINDOW_SIZE;
    uint32_t rc = Parse(ini);
    FileClose(h, &err);
    ini->fileHandle = FILE_NO_HANDLE;
    if (rc != INI_OK) {
        IniClose(ini);
        return rc;
    }
    *out = ini;
    return INI_OK;
}

void IniClose(IniFile *ini)
{
    IniSection *s = ini->firstSection;
    while (s) {
        IniSection *nextSection = s->next;
        IniKeyword *k = s->firstKeyword;
        while (k) {
            IniKeyword *nextKeyword = k->next;
            FreeKeyword(k);
            k = nextKeyword;
        }
        IniMemFree(s->name);
        IniMemFree(s);
        s = nextSection;
    }
    IniMemFree(ini->fileName);
    IniMemFree((void *)ini->window);
    IniMemFree(ini);
}
