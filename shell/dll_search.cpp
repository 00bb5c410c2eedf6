/*
 * Where the shell's process looks for DLLs. The shell may be started from a
 * folder full of other files (a Downloads folder); a DLL planted there under
 * the name of one that a system library loads later by name (uxtheme.dll,
 * version.dll, ...) must never be loaded. So, before anything else runs,
 * the search is narrowed to the system folder where the system offers it.
 * The functions are looked up at run time: the shell imports only what
 * every Win32 system has.
 */
#include "shell.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD directoryFlags);
typedef BOOL(WINAPI *SetDllDirectoryAFn)(LPCSTR pathName);

void RestrictDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    SetDefaultDllDirectoriesFn setDefaultDirectories;
    SetDllDirectoryAFn setDllDirectory;

    if (kernel == NULL)
        return;
    /* Windows 8, and 7/Vista with update KB2533623: the system folder only. */
    setDefaultDirectories =
        (SetDefaultDllDirectoriesFn)(void *)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefaultDirectories != NULL && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    /* XP SP1 to 7 without the update: at least take the current folder out
     * (the shell's own folder stays searched). The 95 family, NT before XP
     * and Win32s have neither function; nothing can be done there. */
    setDllDirectory = (SetDllDirectoryAFn)(void *)GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDllDirectory != NULL)
        setDllDirectory("");
}
