/*
 * The product's side of the hand-over: the shell puts its own full file name
 * in the environment variable ORMGEN32_SHELL of the product it starts, and
 * EmbedLoadShellIni reads the configuration container of that file.
 *
 * On Windows the name is read as UTF-16 and opened with the wide functions,
 * so that a folder name outside the ANSI code page still works; where the
 * wide functions are stubs (the 95 family, Win32s: ERROR_CALL_NOT_IMPLEMENTED)
 * it is read as ANSI text, which is also what the shell writes there. A name
 * of any length opens (the file layer gives a long one its \\?\ form). On
 * POSIX the variable is read with getenv.
 *
 * Buffers come from the engine's allocator (IniMemAlloc), like every other
 * allocation of the configuration library.
 */
#include "embed_public.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

#ifdef _WIN32

/* The variable's value, UTF-16 when `wide`, else ANSI text, in a buffer from
 * IniMemAlloc; NULL when it is unset or empty. The first try fits every
 * ordinary path; a longer value is read again into a buffer of the size the
 * system asks for. *notImplemented is set when the system has no such
 * function (the wide ones on the 95 family and Win32s). */
static void *ReadVariable(int wide, int *notImplemented)
{
    DWORD size = MAX_PATH + 1, n;
    void *value;

    for (;;) {
        value = IniMemAlloc(size * (wide ? sizeof(wchar_t) : 1));
        if (!value)
            return NULL;
        SetLastError(NO_ERROR);
        n = wide ? GetEnvironmentVariableW(EMBED_SHELL_VARIABLE_W, (wchar_t *)value, size)
                 : GetEnvironmentVariableA(EMBED_SHELL_VARIABLE, (char *)value, size);
        if (n != 0 && n < size)
            return value;
        IniMemFree(value);
        if (n == 0) {
            /* Unset, empty, or no such function on this system. */
            *notImplemented = GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
            return NULL;
        }
        /* Too small: n is the size needed, its zero included. */
        size = n;
    }
}

IniFile *EmbedLoadShellIni(void)
{
    int wide = 1, notImplemented = 0;
    IniFile *ini = NULL;
    void *name = ReadVariable(wide, &notImplemented);

    if (name == NULL && notImplemented) {
        wide = 0;
        name = ReadVariable(wide, &notImplemented);
    }
    if (name) {
        ini = wide ? EmbedLoadIniW((const wchar_t *)name) : EmbedLoadIni((const char *)name);
        IniMemFree(name);
    }
    return ini;
}

#else

IniFile *EmbedLoadShellIni(void)
{
    const char *name = getenv(EMBED_SHELL_VARIABLE);

    if (name == NULL || name[0] == '\0')
        return NULL;
    return EmbedLoadIni(name);
}

#endif
