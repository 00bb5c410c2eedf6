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
#include "embed.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

#ifdef _WIN32

#define WIDE_TEXT(text)  WIDE_TEXT_(text)
#define WIDE_TEXT_(text) L##text
#define SHELL_VARIABLE_W WIDE_TEXT(EMBED_SHELL_VARIABLE)

/* The variable's value, from IniMemAlloc, or NULL when it is unset or
 * empty. The first try fits every ordinary path; a longer value is read
 * again into a buffer of the size the system asks for. *notImplemented is
 * set when the system has no wide environment functions. */
static wchar_t *ReadVariableW(int *notImplemented)
{
    DWORD size = MAX_PATH + 1, n;
    wchar_t *value;

    *notImplemented = 0;
    for (;;) {
        value = (wchar_t *)IniMemAlloc(size * sizeof(wchar_t));
        if (!value)
            return NULL;
        SetLastError(NO_ERROR);
        n = GetEnvironmentVariableW(SHELL_VARIABLE_W, value, size);
        if (n == 0) {
            /* Unset, empty, or no wide functions on this system. */
            *notImplemented = GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
            IniMemFree(value);
            return NULL;
        }
        if (n < size)
            return value;
        /* Too small: n is the size needed, its zero included. */
        IniMemFree(value);
        size = n;
    }
}

static char *ReadVariableA(void)
{
    DWORD size = MAX_PATH + 1, n;
    char *value;

    for (;;) {
        value = (char *)IniMemAlloc(size);
        if (!value)
            return NULL;
        n = GetEnvironmentVariableA(EMBED_SHELL_VARIABLE, value, size);
        if (n == 0) {
            IniMemFree(value);
            return NULL;
        }
        if (n < size)
            return value;
        IniMemFree(value);
        size = n;
    }
}

IniFile *EmbedLoadShellIni(void)
{
    int notImplemented;
    IniFile *ini = NULL;
    wchar_t *wide = ReadVariableW(&notImplemented);

    if (wide) {
        ini = EmbedLoadIniW(wide);
        IniMemFree(wide);
    } else if (notImplemented) {
        char *narrow = ReadVariableA();
        if (narrow) {
            ini = EmbedLoadIni(narrow);
            IniMemFree(narrow);
        }
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
