/*
 * The engine's allocation functions for the test programs: counts blocks
 * and bytes (so that every test can check that nothing is left after
 * IniClose, under Wine too where there is no leak sanitizer) and fails the
 * Nth allocation on request. Linking this file replaces ini_alloc.cpp.
 */
#include "ini_test_support.h"

#include <stdlib.h>
#include <string.h>

namespace {
IniAllocStats g_stats;
long g_failAt = -1;
/* Each block carries its size in front of it. */
const size_t kHeader = 16;
}

void IniAllocReset(long failAt)
{
    memset(&g_stats, 0, sizeof g_stats);
    g_failAt = failAt;
}

IniAllocStats IniAllocGet()
{
    return g_stats;
}

void *IniMemAlloc(size_t size)
{
    if (g_failAt >= 0 && g_stats.allocations >= g_failAt)
        return NULL;
    unsigned char *p = (unsigned char *)malloc(size + kHeader);
    if (!p)
        return NULL;
    memcpy(p, &size, sizeof size);
    g_stats.allocations++;
    g_stats.live++;
    g_stats.liveBytes += size;
    if (g_stats.liveBytes > g_stats.peakBytes)
        g_stats.peakBytes = g_stats.liveBytes;
    return p + kHeader;
}

void IniMemFree(void *q)
{
    if (!q)
        return;
    unsigned char *p = (unsigned char *)q - kHeader;
    size_t size;
    memcpy(&size, p, sizeof size);
    g_stats.live--;
    g_stats.liveBytes -= size;
    free(p);
}
