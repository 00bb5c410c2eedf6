/*
 * A DLL planted beside a program under the name of one that a system library
 * loads by name later (the DLL search test copies it in as uxtheme.dll).
 * When a process loads it, it leaves PLANT_DIR\<program file name>.loaded,
 * so the test knows which process the plant reached. Kernel calls only: it
 * runs inside another program's loader lock.
 */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    char path[MAX_PATH], program[MAX_PATH];
    DWORD length, written;

    (void)instance;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    length = GetEnvironmentVariableA("PLANT_DIR", path, MAX_PATH);
    DWORD programLength = GetModuleFileNameA(NULL, program, MAX_PATH);
    if (length == 0 || programLength == 0 || programLength >= MAX_PATH)
        return TRUE;
    const char *name = program;
    for (const char *p = program; *p; p++)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    if (length + 1 + lstrlenA(name) + sizeof ".loaded" > MAX_PATH)
        return TRUE;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    lstrcatA(path, ".loaded");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, program, programLength, &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
