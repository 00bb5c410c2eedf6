/*
 * The few C library functions that the shell's code and the code it links
 * call, so that ORMGEN32.EXE needs no C runtime DLL: Windows 95 as first
 * shipped and NT 3.51 have no MSVCRT.DLL. Memory for the configuration
 * engine comes from the process heap.
 *
 * Built freestanding: the compiler must not turn these loops back into calls
 * of the functions they define.
 */
#include <windows.h>

#include <stddef.h>

#include "ini.h"

extern "C" {

void *memcpy(void *destination, const void *source, size_t count)
{
    unsigned char *d = (unsigned char *)destination;
    const unsigned char *s = (const unsigned char *)source;
    while (count--)
        *d++ = *s++;
    return destination;
}

void *memmove(void *destination, const void *source, size_t count)
{
    unsigned char *d = (unsigned char *)destination;
    const unsigned char *s = (const unsigned char *)source;
    if (d <= s || d >= s + count)
        return memcpy(destination, source, count);
    while (count--)
        d[count] = s[count];
    return destination;
}

void *memset(void *destination, int value, size_t count)
{
    unsigned char *d = (unsigned char *)destination;
    while (count--)
        *d++ = (unsigned char)value;
    return destination;
}

int memcmp(const void *first, const void *second, size_t count)
{
    const unsigned char *a = (const unsigned char *)first, *b = (const unsigned char *)second;
    for (; count--; a++, b++)
        if (*a != *b)
            return *a - *b;
    return 0;
}

void *memchr(const void *block, int value, size_t count)
{
    const unsigned char *p = (const unsigned char *)block;
    for (; count--; p++)
        if (*p == (unsigned char)value)
            return (void *)p;
    return NULL;
}

size_t strlen(const char *text)
{
    const char *end = text;
    while (*end)
        end++;
    return (size_t)(end - text);
}

int strncmp(const char *first, const char *second, size_t count)
{
    const unsigned char *a = (const unsigned char *)first, *b = (const unsigned char *)second;
    for (; count--; a++, b++)
        if (*a != *b || *a == 0)
            return *a - *b;
    return 0;
}

int strcmp(const char *first, const char *second)
{
    return strncmp(first, second, (size_t)-1);
}

/* NUL-fills the rest of the destination, as the C function does. */
char *strncpy(char *destination, const char *source, size_t count)
{
    char *d = destination;
    for (; count && *source; count--)
        *d++ = *source++;
    while (count--)
        *d++ = 0;
    return destination;
}

char *strrchr(const char *text, int value)
{
    const char *found = NULL;
    do {
        if (*text == (char)value)
            found = text;
    } while (*text++);
    return (char *)found;
}

} /* extern "C" */

void *IniMemAlloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void IniMemFree(void *block)
{
    if (block != NULL)
        HeapFree(GetProcessHeap(), 0, block);
}
