/*
 * Waiting for the product: on its process when the launch gave an id, else,
 * on the Windows 95 family only, by polling the process list for a process
 * whose executable is the product's path.
 */
#include "shell.h"

#include <tlhelp32.h>

#define POLL_INTERVAL_MS     100
#define SNAPSHOT_ALL         15      /* TH32CS_SNAPALL */
#define PROCESS_ENTRY_SIZE   296     /* sizeof(PROCESSENTRY32) of the ANSI API */

typedef HANDLE(WINAPI *SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI *ProcessWalkFn)(HANDLE, PROCESSENTRY32 *);

/* Equal but for the case of the ASCII letters A-Z; every other byte must match. */
static BOOL SamePathIgnoringAsciiCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        unsigned char ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ca >= 'A' && ca <= 'Z')
            ca = (unsigned char)(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = (unsigned char)(cb - 'A' + 'a');
        if (ca != cb)
            return FALSE;
        if (ca == '\0')
            return TRUE;
    }
}

static void PollForNamesake(const char *programPath)
{
    OSVERSIONINFOA version;
    HMODULE kernel;
    SnapshotFn createSnapshot;
    ProcessWalkFn processFirst, processNext;
    BOOL stillRunning = TRUE;

    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS)
        return;

    kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == NULL)
        return;
    createSnapshot = (SnapshotFn)(void *)GetProcAddress(kernel, "CreateToolhelp32Snapshot");
    processFirst = (ProcessWalkFn)(void *)GetProcAddress(kernel, "Process32First");
    processNext = (ProcessWalkFn)(void *)GetProcAddress(kernel, "Process32Next");
    if (createSnapshot == NULL || processFirst == NULL || processNext == NULL)
        return;

    while (stillRunning) {
        HANDLE snapshot;
        PROCESSENTRY32 entry;
        BOOL haveEntry;

        Sleep(POLL_INTERVAL_MS);
        snapshot = createSnapshot(SNAPSHOT_ALL, 0);
        if (snapshot == NULL)
            continue;
        entry.dwSize = PROCESS_ENTRY_SIZE;
        stillRunning = FALSE;
        /* A failed snapshot (INVALID_HANDLE_VALUE) reads no entry: the walk
         * finds nothing and the wait ends. */
        for (haveEntry = processFirst(snapshot, &entry); haveEntry && !stillRunning;) {
            if (SamePathIgnoringAsciiCase(entry.szExeFile, programPath))
                stillRunning = TRUE;
            else
                haveEntry = processNext(snapshot, &entry);
        }
        if (snapshot != INVALID_HANDLE_VALUE)
            CloseHandle(snapshot);
    }
}

void WaitForProduct(DWORD processId, const char *programPath)
{
    if (processId != 0) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        if (process != NULL) {
            WaitForSingleObject(process, INFINITE);
            CloseHandle(process);
        }
        return;
    }
    PollForNamesake(programPath);
}
