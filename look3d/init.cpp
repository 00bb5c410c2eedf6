/*
 * The look's process-wide state and its entry points: opening (attach step
 * and resource initialisation), thread hooking, closing and termination, the
 * table of at most four hooked threads and the per-thread creation hook that
 * subclasses each new dialog and control.
 *
 * State of the look:
 *   closed      instanceCount 0, enabled FALSE
 *   open        after the first Look3dOpen (Look3dAttach, Look3dInitResources);
 *               enabled tells whether the look is in force; further opens
 *               only count
 *   closed again  the Look3dClose that brings instanceCount to 0 runs
 *               Look3dTerminate; a later open initialises afresh
 * Thread rows are independent of that: a row lives from the Look3dHookThread
 * that makes it to the Look3dClose on the same thread that brings its count
 * to 0 or comes from its owner instance. A row that outlives termination
 * keeps its hook, which then passes every call on untouched.
 */
#include "look3d_internal.h"

Look3dState Look3d;

/* Lock states, Look3d.lockState. */
#define LOCK_NOT_MADE       0
#define LOCK_BEING_MADE     1
#define LOCK_READY          2

/* Only the thread that moves the state from "not made" to "being made" makes
 * the lock. The claim must not write over a later state: a thread that read
 * "not made" and then lost the processor may claim after another thread has
 * made the lock, and must then find it ready instead of waiting for ever. */
static void MakeLockReady(void)
{
    if (Look3d.lockState == LOCK_READY)
        return;
    if (InterlockedCompareExchange((LONG *)&Look3d.lockState, LOCK_BEING_MADE, LOCK_NOT_MADE)
        == LOCK_NOT_MADE) {
        InitializeCriticalSection(&Look3d.lock);
        Look3d.lockState = LOCK_READY;
        return;
    }
    while (Look3d.lockState != LOCK_READY)
        Sleep(0);
}

/* Row of the calling thread, or -1; under the lock. Sets the cache. */
static int FindThreadRow(DWORD threadId)
{
    if (Look3d.threadCount > 0 && Look3d.lastThreadId == threadId
        && Look3d.lastThreadIndex < Look3d.threadCount
        && Look3d.threads[Look3d.lastThreadIndex].threadId == threadId)
        return Look3d.lastThreadIndex;
    for (int i = 0; i < Look3d.threadCount; i++) {
        if (Look3d.threads[i].threadId == threadId) {
            Look3d.lastThreadId = threadId;
            Look3d.lastThreadIndex = i;
            return i;
        }
    }
    return -1;
}

static void RemoveThreadRow(int row)
{
    for (int i = row; i + 1 < Look3d.threadCount; i++)
        Look3d.threads[i] = Look3d.threads[i + 1];
    Look3d.threadCount--;
    ZeroMemory(&Look3d.threads[Look3d.threadCount], sizeof(Look3dThreadEntry));
    /* Rows moved: forget the cache rather than point at the wrong one. */
    Look3d.lastThreadId = 0;
    Look3d.lastThreadIndex = 0;
}

void Look3dAttach(HINSTANCE instance)
{
    EnterCriticalSection(&Look3d.lock);
    Look3d.moduleInstance = instance;
    DWORD v = GetVersion();
    Look3d.winVersion = (WORD)(((v & 0xFF) << 8) | ((v >> 8) & 0xFF));
    Look3d.hostBits = ((v & 0x80000000u) != 0 && Look3d.winVersion < L3V_WIN395) ? 16 : 32;
    Look3d.frameCx = GetSystemMetrics(SM_CXDLGFRAME) - 1;
    Look3d.frameCy = GetSystemMetrics(SM_CYDLGFRAME) - 1;
    Look3d.captionCy = GetSystemMetrics(SM_CYCAPTION);
    LeaveCriticalSection(&Look3d.lock);
}

BOOL Look3dInitResources(void)
{
    EnterCriticalSection(&Look3d.lock);
    HDC screen = GetDC(NULL);
    Look3d.enabled = screen != NULL
        && GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) >= 4;
    if (GetSystemMetrics(SM_CYSCREEN) == 350 && GetSystemMetrics(SM_CXSCREEN) == 640)
        Look3d.enabled = FALSE;     /* EGA: too few rows for the bevels */
    if (screen != NULL)
        ReleaseDC(NULL, screen);

    if (Look3d.enabled) {
        Look3d.heldOldProcAtom = GlobalAddAtomA("C3d");
        Look3d.heldOffAtom = Look3d.heldOldProcAtom != 0 ? GlobalAddAtomA("C3dD") : 0;
        if (Look3d.heldOffAtom == 0) {
            Look3d.enabled = FALSE;
        } else {
            Look3d.oldProcAtom = Look3d.heldOldProcAtom;
            Look3d.offAtom = Look3d.heldOffAtom;
        }
    }
    if (Look3d.enabled) {
        Look3d.dbcsEnabled = (BYTE)GetSystemMetrics(SM_DBCSENABLED);
        Look3dReadMenuMarker();
        if (!Look3dBuildColours())
            Look3d.enabled = FALSE;
    }
    if (Look3d.enabled) {
        for (int i = 0; i < L3I_ROWS; i++) {
            WNDCLASSA wc;
            Look3d.activeProc[i] = Look3dClassTable[i].lookProc;
            Look3d.standardProc[i] =
                GetClassInfoA(NULL, Look3dClassTable[i].className, &wc) ? wc.lpfnWndProc : NULL;
        }
        WNDCLASSA wc;
        Look3d.dialogStandardProc =
            GetClassInfoA(NULL, L3_DIALOG_CLASS, &wc) ? wc.lpfnWndProc : DefDlgProcA;
    }
    BOOL enabled = Look3d.enabled;
    LeaveCriticalSection(&Look3d.lock);
    return enabled;
}

/* Windows that still run look procedures keep them; with enabled FALSE those
 * procedures pass every message to the procedure they replaced, which they
 * find in the old-procedure property. So the lookup numbers stay: the
 * surviving windows carry their properties under them. Only the references
 * this open added are given back, once: the atoms are global, and another
 * module or process may hold references of its own. */
void Look3dTerminate(void)
{
    EnterCriticalSection(&Look3d.lock);
    for (int i = 0; i < L3I_ROWS; i++)
        Look3d.activeProc[i] = NULL;
    Look3dDeleteColourObjects();
    if (Look3d.heldOldProcAtom != 0)
        GlobalDeleteAtom(Look3d.heldOldProcAtom);
    if (Look3d.heldOffAtom != 0)
        GlobalDeleteAtom(Look3d.heldOffAtom);
    Look3d.heldOldProcAtom = 0;
    Look3d.heldOffAtom = 0;
    Look3d.enabled = FALSE;
    LeaveCriticalSection(&Look3d.lock);
}

BOOL Look3dIsThreadHooked(void)
{
    EnterCriticalSection(&Look3d.lock);
    BOOL hooked = FindThreadRow(GetCurrentThreadId()) >= 0;
    LeaveCriticalSection(&Look3d.lock);
    return hooked;
}

BOOL Look3dOpen(HINSTANCE instance)
{
    MakeLockReady();
    EnterCriticalSection(&Look3d.lock);
    Look3d.instanceCount++;
    if (Look3d.instanceCount == 1) {
        Look3dAttach(instance);
        Look3dInitResources();
    }
    LeaveCriticalSection(&Look3d.lock);
    if (Look3dIsThreadHooked())
        Look3dHookThread(instance);
    return Look3d.enabled;
}

BOOL Look3dHookThread(HINSTANCE instance)
{
    if (Look3d.winVersion < L3V_WIN310 || !Look3d.enabled
        || Look3d.threadCount == L3_MAX_THREADS)
        return FALSE;
    EnterCriticalSection(&Look3d.lock);
    DWORD threadId = GetCurrentThreadId();
    int row = FindThreadRow(threadId);
    if (row >= 0) {
        Look3d.threads[row].useCount++;
        LeaveCriticalSection(&Look3d.lock);
        return TRUE;
    }
    /* Checked again under the lock: another thread may have taken the last
     * row since the test above. */
    HHOOK hook = NULL;
    if (Look3d.threadCount < L3_MAX_THREADS)
        hook = SetWindowsHookExA(WH_CBT, Look3dCbtHook, Look3d.moduleInstance, threadId);
    if (hook == NULL) {
        LeaveCriticalSection(&Look3d.lock);
        return FALSE;
    }
    Look3dThreadEntry *entry = &Look3d.threads[Look3d.threadCount];
    entry->ownerInstance = instance;
    entry->threadId = threadId;
    entry->hook = hook;
    entry->useCount = 1;
    Look3d.lastThreadId = threadId;
    Look3d.lastThreadIndex = Look3d.threadCount;
    Look3d.threadCount++;
    LeaveCriticalSection(&Look3d.lock);
    return TRUE;
}

BOOL Look3dClose(HINSTANCE instance)
{
    MakeLockReady();
    EnterCriticalSection(&Look3d.lock);
    DWORD threadId = GetCurrentThreadId();
    for (int i = 0; i < Look3d.threadCount; i++) {
        Look3dThreadEntry *entry = &Look3d.threads[i];
        if (entry->threadId != threadId)
            continue;
        entry->useCount--;
        if (entry->useCount == 0 || entry->ownerInstance == instance) {
            UnhookWindowsHookEx(entry->hook);
            RemoveThreadRow(i);
            break;
        }
    }
    /* Closing more often than opening leaves the look closed, not negative. */
    if (Look3d.instanceCount > 0) {
        Look3d.instanceCount--;
        if (Look3d.instanceCount == 0)
            Look3dTerminate();
    }
    LeaveCriticalSection(&Look3d.lock);
    return TRUE;
}

LRESULT CALLBACK Look3dCbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    EnterCriticalSection(&Look3d.lock);
    int row = FindThreadRow(GetCurrentThreadId());
    HHOOK hook = row >= 0 ? Look3d.threads[row].hook : NULL;
    LeaveCriticalSection(&Look3d.lock);
    if (row < 0)
        return CallNextHookEx(NULL, code, wParam, lParam);

    /* A row that outlived termination only passes calls on. */
    if (code == HCBT_CREATEWND && Look3d.enabled) {
        HWND window = (HWND)wParam;
        const CREATESTRUCTA *cs = ((const CBT_CREATEWNDA *)lParam)->lpcs;
        HWND parent = cs->hwndParent;
        if (cs->lpszClass == L3_DIALOG_CLASS) {
            if (Look3d.hostBits == 32)
                Look3dSubclass(window, Look3dDlgProc);
            else
                Look3dSubclassDeferred(window, Look3dDlgProc);
        } else if (Look3dWantsChildren(parent)) {
            Look3dSubclassControl(window, L3K_ALL, 1, parent);
        } else if (parent != NULL && Look3dWantsChildren(GetParent(parent))) {
            Look3dSubclassControl(window, L3K_ALL, 1, parent);
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}
