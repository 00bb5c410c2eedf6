/*
 * Helpers shared by the engine's source files: copying texts into engine
 * memory, comparing names, and building fixed-format lines without printf.
 */
#ifndef ORM_INI_INTERNAL_H
#define ORM_INI_INTERNAL_H

#include "ini.h"

#include <string.h>

/* A new zero-ended copy of n bytes of s, or null. */
static inline char *IniCopyText(const char *s, size_t n)
{
    char *t = (char *)IniMemAlloc(n + 1);
    if (t) {
        memcpy(t, s, n);
        t[n] = 0;
    }
    return t;
}

/* A line being built in a fixed buffer; what does not fit is dropped. */
typedef struct IniLine {
    char *buf;                      /* the buffer */
    uint32_t cap;                   /* its size, a zero byte included */
    uint32_t len;                   /* characters so far */
} IniLine;

static inline void IniLinePut(IniLine *l, char c)
{
    if (l->len + 1 < l->cap)
        l->buf[l->len++] = c;
}

/* Ends the line with its zero byte. */
static inline void IniLineEnd(IniLine *l)
{
    l->buf[l->len] = 0;
}

/* At most `max` characters of s, as "%.<max>s" does. */
static inline void IniLineText(IniLine *l, const char *s, uint32_t max)
{
    for (uint32_t i = 0; i < max && s[i]; i++)
        IniLinePut(l, s[i]);
}

/* A signed decimal number, as "%ld" does. */
static inline void IniLineLong(IniLine *l, int32_t v)
{
    char digits[12];
    int n = 0;
    uint32_t u = v < 0 ? 0u - (uint32_t)v : (uint32_t)v;
    do {
        digits[n++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        IniLinePut(l, '-');
    while (n)
        IniLinePut(l, digits[--n]);
}

#endif
