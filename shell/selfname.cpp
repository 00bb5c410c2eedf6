/*
 * The shell's own program file, named once at start-up in a ShellSelf record:
 * the main routine reads its configuration from that file and expands
 * $SHELLDIR\ with its folder. On the NT family the name comes from
 * GetModuleFileNameW in a buffer that grows to whatever length the system
 * gives, so a folder outside the ANSI code page or deeper than MAX_PATH is
 * named exactly; on Win32s and the 95 family from GetModuleFileNameA into
 * MAX_PATH bytes, their longest path. The product's environment takes the
 * name from here too (product_env.cpp).
 */
#include "shell.h"

#define FIRST_NAME_SIZE   MAX_PATH
#define LONGEST_NAME      32768u    /* UTF-16 units of the longest NT path */

/* The module's file name in a heap block, or NULL. A result as long as the
 * buffer means it was cut (Windows XP leaves it unterminated then, later
 * systems terminate it and report ERROR_INSUFFICIENT_BUFFER): try again
 * with twice the room. */
static wchar_t *ModuleFileNameW(HINSTANCE instance)
{
    DWORD size = FIRST_NAME_SIZE;

    for (;;) {
        wchar_t *name = (wchar_t *)HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t));
        DWORD length;
        if (name == NULL)
            return NULL;
        length = GetModuleFileNameW(instance, name, size);
        if (length != 0 && length < size)
            return name;
        HeapFree(GetProcessHeap(), 0, name);
        if (length == 0 || size >= LONGEST_NAME)
            return NULL;
        size *= 2;
    }
}

void GetShellSelf(HINSTANCE instance, BOOL wide, ShellSelf *self)
{
    self->fileNameW = NULL;
    self->fileNameA = NULL;
    if (wide) {
        self->fileNameW = ModuleFileNameW(instance);
        return;
    }
    DWORD length = GetModuleFileNameA(instance, self->bufferA, sizeof self->bufferA);
    if (length != 0 && length < sizeof self->bufferA)
        self->fileNameA = self->bufferA;
}
