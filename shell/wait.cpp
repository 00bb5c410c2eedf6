/*
 * Waiting for the product: on its process when the launch started one, else,
 * on the Windows 95 family only, by polling the process list for a process
 * whose executable is the product's path.
 *
 * The wait reads the thread's messages: a GUI program keeps the "app
 * starting" cursor up until it reads one (or for the system's whole
 * time-out), and the window that watches for the end of the session
 * (lifetime.cpp) needs its messages delivered.
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

/* The system ends the start-up feedback when the program first calls
 * GetMessage. The shell posts itself a message and reads it back, so that
 * the call returns at once; PeekMessage first gives the thread its queue. */
static void EndStartFeedback(void)
{
    MSG message;

    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
    if (PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0))
        GetMessageA(&message, NULL, 0, 0);
}

/* Blocks until the process ends, delivering the messages that arrive
 * meanwhile. TRUE when it ended; a failed wait ends the wait too, with
 * FALSE. */
static BOOL WaitReadingMessages(HANDLE process)
{
    MSG message;
    DWORD result;

    while ((result = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT)) ==
           WAIT_OBJECT_0 + 1) {
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    return result == WAIT_OBJECT_0;
}

BOOL WaitForProduct(const LaunchOutcome *outcome, const char *programPath,
                    DWORD *productExitCode)
{
    EndStartFeedback();
    if (outcome->process != NULL) {
        BOOL ended;
        if (ShellPlatform() == VER_PLATFORM_WIN32s) {
            ended = WaitForSingleObject(outcome->process, INFINITE) == WAIT_OBJECT_0;
        } else {
            HWND watch = outcome->job != NULL ? TieWatchSessionEnd(outcome->job) : NULL;
            ended = WaitReadingMessages(outcome->process);
            if (watch != NULL)
                DestroyWindow(watch);
        }
        /* After a failed wait the product may still run: its exit code
         * would read STILL_ACTIVE (259), which is no code of its own. */
        return ended && GetExitCodeProcess(outcome->process, productExitCode);
    }
    PollForNamesake(programPath);
    return FALSE;
}
