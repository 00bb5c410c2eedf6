/*
 * The configuration engine's allocation functions. They stand in a file of
 * their own so that a test program can link its own pair instead (a static
 * library member is only taken when nothing else defines its symbols).
 */
#include "ini.h"

#include <stdlib.h>

void *IniMemAlloc(size_t size)
{
    return malloc(size);
}

void IniMemFree(void *p)
{
    free(p);
}
