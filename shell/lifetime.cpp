/*
 * Tying the product's lifetime to the shell's (PSF_KILL_WITH_SHELL, always
 * with PSF_WAIT_FOR_PRODUCT): the product runs in a job object that ends
 * every process in it when its last handle is closed, and the waiting shell
 * holds the only handle. When the shell is ended while it waits (a caller's
 * time-out, the task manager), the system closes that handle and the product,
 * with what it started, ends too. The job allows breakaway, so a product can
 * still start a helper meant to outlive it (CREATE_BREAKAWAY_FROM_JOB).
 *
 * Not so at the end of the session. At logoff or shutdown the system ends
 * the shell as well, possibly before the product has had its
 * WM_QUERYENDSESSION and WM_ENDSESSION; the job closing then would kill a
 * product that is about to save. So while the tie holds, the shell keeps a
 * hidden top-level window (a message-only window gets no session messages):
 * on WM_QUERYENDSESSION it lifts kill-on-close before it agrees, so that in
 * whatever order the system ends the processes, the product gets its own
 * chance to end; on WM_ENDSESSION with FALSE (the end was cancelled) it ties
 * again. After the product has ended by itself the tie is lifted as well:
 * what the product left running keeps running, as without the option.
 *
 * The job functions exist from Windows 2000 on; they are looked up at run
 * time so that the shell still loads on NT 3.51/4.0 and the 95 family, where
 * the option does nothing.
 */
#include "shell.h"

#define SESSION_WATCH_CLASS "OrmstedShellSession"

typedef HANDLE(WINAPI *CreateJobObjectWFn)(LPSECURITY_ATTRIBUTES, LPCWSTR);
typedef BOOL(WINAPI *SetInformationJobObjectFn)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD);
typedef BOOL(WINAPI *AssignProcessToJobObjectFn)(HANDLE, HANDLE);

static HANDLE WatchedJob;   /* the job of the session watch window */

static FARPROC KernelFunction(const char *name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel != NULL ? GetProcAddress(kernel, name) : NULL;
}

BOOL TieSetKillOnClose(HANDLE job, BOOL kill)
{
    SetInformationJobObjectFn setInformation =
        (SetInformationJobObjectFn)(void *)KernelFunction("SetInformationJobObject");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;

    if (setInformation == NULL)
        return FALSE;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_BREAKAWAY_OK | (kill ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0);
    return setInformation(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

HANDLE TieCreateJob(void)
{
    CreateJobObjectWFn createJob = (CreateJobObjectWFn)(void *)KernelFunction("CreateJobObjectW");
    HANDLE job;

    if (createJob == NULL)
        return NULL;
    job = createJob(NULL, NULL);
    if (job != NULL && !TieSetKillOnClose(job, TRUE)) {
        CloseHandle(job);
        job = NULL;
    }
    return job;
}

BOOL TieAssign(HANDLE job, HANDLE process)
{
    AssignProcessToJobObjectFn assign =
        (AssignProcessToJobObjectFn)(void *)KernelFunction("AssignProcessToJobObject");
    return assign != NULL && assign(job, process);
}

static LRESULT CALLBACK SessionWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        TieSetKillOnClose(WatchedJob, FALSE);
        return TRUE;
    case WM_ENDSESSION:
        if (!wParam)
            TieSetKillOnClose(WatchedJob, TRUE);
        return 0;
    case WM_CLOSE:
        /* A polite "close" (taskkill without /F) would only take the watch
         * away; the shell, windowless before, does not end on it either. */
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND TieWatchSessionEnd(HANDLE job)
{
    WNDCLASSA windowClass;

    WatchedJob = job;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = SessionWatchProc;
    windowClass.hInstance = ShellInstance;
    windowClass.lpszClassName = SESSION_WATCH_CLASS;
    RegisterClassA(&windowClass);   /* a second watch finds it registered */
    return CreateWindowExA(0, SESSION_WATCH_CLASS, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                           ShellInstance, NULL);
}

void TieRelease(HANDLE job)
{
    if (job == NULL)
        return;
    TieSetKillOnClose(job, FALSE);
    CloseHandle(job);
}
