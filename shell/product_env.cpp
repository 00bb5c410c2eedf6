/*
 * What the product inherits from the shell besides its command line: the
 * shell's own full file name in the environment variable ORMGEN32_SHELL, so
 * that the product can read the configuration text appended to that file
 * (EmbedLoadShellIni in the configuration library). Nothing else of the
 * environment changes.
 *
 * On the NT family the name is the UTF-16 one, read into a buffer that grows
 * until the whole name fits, so that it survives any folder name and length.
 * Win32s and the 95 family have the wide functions only as stubs; there the
 * ANSI name is handed over.
 */
#include "shell.h"

#include "embed.h"

/* The variable's name, EMBED_SHELL_VARIABLE, as a wide string too. */
#define WIDE_TEXT(text)     WIDE_TEXT_(text)
#define WIDE_TEXT_(text)    L##text
#define SHELL_VARIABLE      EMBED_SHELL_VARIABLE
#define SHELL_VARIABLE_W    WIDE_TEXT(EMBED_SHELL_VARIABLE)
/* The longest name the system gives a module (with the \\?\ form). */
#define MODULE_NAME_MAX     32768u

/* The module's full UTF-16 name from the process heap, or NULL. A name that
 * fills the buffer may be cut off (the result is then the buffer's size), so
 * the buffer doubles until the name is shorter than it. */
static WCHAR *OwnFileNameW(HINSTANCE instance)
{
    HANDLE heap = GetProcessHeap();
    DWORD size = MAX_PATH;

    for (;;) {
        WCHAR *name = (WCHAR *)HeapAlloc(heap, 0, size * sizeof(WCHAR));
        if (name == NULL)
            return NULL;
        DWORD length = GetModuleFileNameW(instance, name, size);
        if (length != 0 && length < size)
            return name;
        HeapFree(heap, 0, name);
        if (length == 0 || size >= MODULE_NAME_MAX)
            return NULL;
        size *= 2;
    }
}

void PublishShellFileName(HINSTANCE instance)
{
    /* High bit of GetVersion: Win32s or the 95 family. */
    if (GetVersion() & 0x80000000u) {
        char name[MAX_PATH];
        DWORD length = GetModuleFileNameA(instance, name, sizeof name);
        /* Without a whole name the variable goes, so that the product never
         * reads the configuration of a shell further up that set it. */
        SetEnvironmentVariableA(SHELL_VARIABLE,
                                length != 0 && length < sizeof name ? name : NULL);
        return;
    }
    WCHAR *name = OwnFileNameW(instance);
    SetEnvironmentVariableW(SHELL_VARIABLE_W, name);
    if (name != NULL)
        HeapFree(GetProcessHeap(), 0, name);
}
