/*
 * The launch benchmark's baseline: the least a launcher in front of a product
 * can do. It starts PRODUCT.EXE from its own folder with its own command tail
 * (split as the shell splits it) and ends. It is built with the shell's own
 * start-up code and link options, so that what the benchmark compares is
 * what the shell does on top of a bare process start, nothing else.
 */
#include <windows.h>

#include "shell.h"

#define PRODUCT_NAME L"PRODUCT.EXE"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH + 16], *line;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    const wchar_t *tail = CommandTailW(GetCommandLineW());
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    int pathLength, tailLength;

    if (length == 0 || length >= MAX_PATH)
        return 1;
    while (length > 0 && path[length - 1] != '\\')
        length--;
    lstrcpyW(path + length, PRODUCT_NAME);
    pathLength = lstrlenW(path);
    tailLength = lstrlenW(tail);
    line = (wchar_t *)HeapAlloc(GetProcessHeap(), 0, (pathLength + tailLength + 4) * sizeof(wchar_t));
    if (line == NULL)
        return 1;
    /* "PATH" TAIL, as the shell writes it. */
    line[0] = '"';
    lstrcpyW(line + 1, path);
    line[pathLength + 1] = '"';
    line[pathLength + 2] = ' ';
    lstrcpyW(line + pathLength + 3, tail);
    GetStartupInfoW(&startup);
    if (!CreateProcessW(path, line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return 2;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
