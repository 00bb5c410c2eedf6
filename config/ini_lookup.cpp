/*
 * Configuration text engine: lookups. Finds sections and keywords (first in
 * text order, names without regard to case), reads values as strings,
 * numbers and flags, and reports missing keywords and numbers out of range
 * to the caller's IniMessageSink. Reads the model only; allocates nothing.
 */
#include "ini_internal.h"

#define INI_MESSAGE_SIZE 512        /* diagnostics; names are cut to 100 */
#define INI_MESSAGE_NAME_MAX 100

static inline unsigned char FoldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

/* Byte by byte; A-Z equal a-z, every other byte only itself. */
static int NamesEqual(const char *a, const char *b)
{
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    while (*p && FoldCase(*p) == FoldCase(*q)) {
        p++;
        q++;
    }
    return FoldCase(*p) == FoldCase(*q);
}

static const IniSection *FindSection(const IniFile *ini, const char *section)
{
    for (const IniSection *s = ini->firstSection; s; s = s->next)
        if (NamesEqual(s->name, section))
            return s;
    return NULL;
}

/* "Keyword \"%.100s\"" or, with an index other than 0, "Keyword \"%.100s(%ld)\"". */
static void PutKeywordName(IniLine *l, const char *keyword, int32_t index)
{
    IniLineText(l, "Keyword \"", INI_MESSAGE_SIZE);
    IniLineText(l, keyword, INI_MESSAGE_NAME_MAX);
    if (index != 0) {
        IniLinePut(l, '(');
        IniLineLong(l, index);
        IniLinePut(l, ')');
    }
    IniLinePut(l, '"');
}

/* Keyword "k" not found in section "[s]"\n */
static void ReportMissing(IniMessageSink sink, const char *section, const char *keyword,
                          int32_t index)
{
    char text[INI_MESSAGE_SIZE];
    IniLine l = {text, sizeof text, 0};
    PutKeywordName(&l, keyword, index);
    IniLineText(&l, " not found in section \"[", INI_MESSAGE_SIZE);
    IniLineText(&l, section, INI_MESSAGE_NAME_MAX);
    IniLineText(&l, "]\"\n", INI_MESSAGE_SIZE);
    IniLineEnd(&l);
    sink(text);
}

/* Keyword "k" in section "[s]", value v is out of range (min..max)\n */
static void ReportRange(IniMessageSink sink, const char *section, const char *keyword,
                        int32_t index, int32_t value, int32_t minimum, int32_t maximum)
{
    char text[INI_MESSAGE_SIZE];
    IniLine l = {text, sizeof text, 0};
    PutKeywordName(&l, keyword, index);
    IniLineText(&l, " in section \"[", INI_MESSAGE_SIZE);
    IniLineText(&l, section, INI_MESSAGE_NAME_MAX);
    IniLineText(&l, "]\", value ", INI_MESSAGE_SIZE);
    IniLineLong(&l, value);
    IniLineText(&l, " is out of range (", INI_MESSAGE_SIZE);
    IniLineLong(&l, minimum);
    IniLineText(&l, "..", INI_MESSAGE_SIZE);
    IniLineLong(&l, maximum);
    IniLineText(&l, ")\n", INI_MESSAGE_SIZE);
    IniLineEnd(&l);
    sink(text);
}

/* Only the first section of the name is searched, for the first keyword of
 * the name with exactly this index. */
static const IniKeyword *FindKeyword(const IniFile *ini, const char *section,
                                     const char *keyword, int32_t index)
{
    const IniSection *s = FindSection(ini, section);
    if (s)
        for (const IniKeyword *k = s->firstKeyword; k; k = k->next)
            if (k->index == index && NamesEqual(k->name, keyword))
                return k;
    return NULL;
}

uint16_t IniHasSection(const IniFile *ini, const char *section)
{
    return FindSection(ini, section) != NULL;
}

uint16_t IniHasKeyword(const IniFile *ini, const char *section, const char *keyword)
{
    return FindKeyword(ini, section, keyword, 0) != NULL;
}

const char *IniGetValueIndexed(const IniFile *ini, const char *section, const char *keyword,
                               int32_t index, IniMessageSink sink)
{
    const IniKeyword *k = FindKeyword(ini, section, keyword, index);
    if (!k) {
        if (sink)
            ReportMissing(sink, section, keyword, index);
        return NULL;
    }
    return k->value;
}

const char *IniGetValue(const IniFile *ini, const char *section, const char *keyword,
                        IniMessageSink sink)
{
    return IniGetValueIndexed(ini, section, keyword, 0, sink);
}

uint32_t IniGetStringIndexed(const IniFile *ini, const char *section, const char *keyword,
                             int32_t index, const char *defaultText,
                             char *buf, uint32_t size, IniMessageSink sink)
{
    const char *src = IniGetValueIndexed(ini, section, keyword, index, sink);
    if (!src)
        src = defaultText ? defaultText : "";
    if (size == 0)
        return 0;
    /* Copy up to the size, zero-fill the rest, and always end the text. */
    uint32_t n = 0;
    while (n < size && src[n]) {
        buf[n] = src[n];
        n++;
    }
    if (n < size)
        memset(buf + n, 0, size - n);
    if (n == size)
        n = size - 1;
    buf[size - 1] = 0;
    return n;
}

uint32_t IniGetString(const IniFile *ini, const char *section, const char *keyword,
                      const char *defaultText, char *buf, uint32_t size, IniMessageSink sink)
{
    return IniGetStringIndexed(ini, section, keyword, 0, defaultText, buf, size, sink);
}

static inline int IsNumberSpace(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static inline uint32_t DigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return (uint32_t)(c - '0');
    if (c >= 'a' && c <= 'f') return (uint32_t)(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return (uint32_t)(c - 'A' + 10);
    return 99;
}

int32_t IniParseNumber(const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    uint32_t base = 10, n = 0;
    int neg = 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    while (IsNumberSpace(*p))
        p++;
    if (*p == '+' || *p == '-') {
        neg = *p == '-';
        p++;
    }
    for (uint32_t d; (d = DigitValue(*p)) < base; p++)
        n = (n > (0xFFFFFFFFu - d) / base) ? 0xFFFFFFFFu : n * base + d;
    if (neg)
        n = 0u - n;
    /* The 32 bits as a signed number. */
    return n <= 0x7FFFFFFFu ? (int32_t)n : -(int32_t)(0xFFFFFFFFu - n) - 1;
}

int32_t IniGetIntIndexed(const IniFile *ini, const char *section, const char *keyword,
                         int32_t index, int32_t defaultValue, int32_t minimum,
                         int32_t maximum, IniMessageSink sink)
{
    const char *v = IniGetValueIndexed(ini, section, keyword, index, sink);
    int32_t value = v ? IniParseNumber(v) : defaultValue;
    /* Out of range is reported, never clamped; only with a sink. */
    if (sink && maximum >= minimum && (value < minimum || value > maximum))
        ReportRange(sink, section, keyword, index, value, minimum, maximum);
    return value;
}

int32_t IniGetInt(const IniFile *ini, const char *section, const char *keyword,
                  int32_t defaultValue, int32_t minimum, int32_t maximum, IniMessageSink sink)
{
    return IniGetIntIndexed(ini, section, keyword, 0, defaultValue, minimum, maximum, sink);
}

uint16_t IniGetBool(const IniFile *ini, const char *section, const char *keyword,
                    IniMessageSink sink)
{
    /* Minimum above maximum: no range check. */
    return IniGetIntIndexed(ini, section, keyword, 0, 0, 1, 0, sink) != 0;
}
