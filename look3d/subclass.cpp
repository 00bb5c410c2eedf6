/*
 * Putting the look on windows and taking it off: the class table, the two
 * window properties ("C3d" the replaced procedure, "C3dD" the look switched
 * off), subclassing at once and (16-bit host) at the first message, the
 * choice of a control's procedure by class name and test, the walk over a
 * dialog's controls, the removal of the look from a window tree, and the
 * opening steps that every look window procedure takes.
 *
 * Everything here runs on the thread that owns the windows and takes no lock.
 * The deferred slot (pendingWindow/Proc/Hook) serves the 16-bit host, where a
 * window cannot be subclassed from inside its own creation hook; it holds one
 * window at a time.
 */
#include "look3d_internal.h"

/* Rows in table order; the kinds mask is tested before the name is compared. */
const Look3dClassEntry Look3dClassTable[L3I_ROWS] = {
    { "Button",    Look3dButtonProc,  Look3dButtonTest,    L3K_BUTTON },
    { "ListBox",   Look3dListBoxProc, Look3dListBoxTest,   L3K_LISTBOX },
    { "Edit",      Look3dEditProc,    Look3dEditTest,      L3K_EDIT },
    { "ComboBox",  Look3dComboProc,   Look3dComboTest,     L3K_COMBOBOX },
    { "Static",    Look3dStaticProc,  Look3dStaticTest,    L3K_STATICTEXT | L3K_STATICFRAME },
    { "ComboLBox", Look3dListBoxProc, Look3dComboListTest, L3K_LISTBOX },
};

/* GetClassNameA reads at most this many bytes, the NUL included. */
#define CLASS_NAME_READ 16

static void SetOldProc(HWND window, WNDPROC procedure)
{
    SetPropA(window, MAKEINTATOM(Look3d.oldProcAtom), (HANDLE)procedure);
}

static void RemoveOldProc(HWND window)
{
    RemovePropA(window, MAKEINTATOM(Look3d.oldProcAtom));
}

WNDPROC Look3dFindOldProc(HWND window)
{
    if (window == NULL)
        return NULL;
    return (WNDPROC)GetPropA(window, MAKEINTATOM(Look3d.oldProcAtom));
}

BOOL Look3dIsSwitchedOff(HWND window)
{
    return GetPropA(window, MAKEINTATOM(Look3d.offAtom)) != NULL;
}

WNDPROC Look3dGetOldProc(HWND window, int classIndex)
{
    WNDPROC old = Look3dFindOldProc(window);
    if (old != NULL)
        return old;
    /* No record of what the look replaced: the class's own procedure stands
     * in and is recorded, so the window stays consistent from here on. */
    old = classIndex == L3I_DIALOG ? Look3d.dialogStandardProc
                                   : Look3d.standardProc[classIndex];
    if (old == NULL)
        old = classIndex == L3I_DIALOG ? DefDlgProcA : DefWindowProcA;
    /* Once the look has terminated its atoms are gone: nothing is recorded. */
    if (Look3d.enabled)
        SetOldProc(window, old);
    return old;
}

LRESULT Look3dPassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                     int classIndex)
{
    return CallWindowProcA(Look3dGetOldProc(window, classIndex), window, message,
                           wParam, lParam);
}

void Look3dAnswerIdentify(LPARAM lParam)
{
    if (lParam != 0)
        *(int *)lParam = 1;
}

BOOL Look3dOpeningSteps(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        int classIndex, LRESULT *result)
{
    if (message == WM_NCDESTROY) {
        *result = Look3dNcDestroy(window, message, wParam, lParam, classIndex);
        return TRUE;
    }
    /* After the last close the colours, brushes and glyphs are gone: windows
     * that outlive the look are left to the procedure it replaced. */
    if (!Look3d.enabled || Look3dIsSwitchedOff(window)) {
        *result = Look3dPassOn(window, message, wParam, lParam, classIndex);
        return TRUE;
    }
    return FALSE;
}

void Look3dSubclass(HWND window, WNDPROC procedure)
{
    if (Look3dFindOldProc(window) != NULL)
        return;                 /* never subclassed twice */
    WNDPROC old = (WNDPROC)SetWindowLongA(window, GWL_WNDPROC, (LONG)procedure);
    SetOldProc(window, old);
}

void Look3dSubclassDeferred(HWND window, WNDPROC procedure)
{
    /* One slot: a window still waiting for its first message loses its turn,
     * and its one-shot hook goes with it. */
    if (Look3d.pendingHook != NULL)
        UnhookWindowsHookEx(Look3d.pendingHook);
    Look3d.pendingProc = procedure;
    Look3d.pendingWindow = window;
    Look3d.pendingHook = SetWindowsHookExA(WH_CALLWNDPROC, Look3dDeferredHook,
                                           Look3d.moduleInstance, GetCurrentThreadId());
    if (Look3d.pendingHook == NULL) {
        Look3d.pendingWindow = NULL;
        Look3d.pendingProc = NULL;
    }
}

LRESULT CALLBACK Look3dDeferredHook(int code, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CallNextHookEx(Look3d.pendingHook, code, wParam, lParam);
    const CWPSTRUCT *cwp = (const CWPSTRUCT *)lParam;
    if (code >= 0 && cwp != NULL && Look3d.pendingWindow != NULL
        && cwp->hwnd == Look3d.pendingWindow) {
        HWND window = Look3d.pendingWindow;
        WNDPROC procedure = Look3d.pendingProc;
        UnhookWindowsHookEx(Look3d.pendingHook);
        Look3d.pendingWindow = NULL;
        Look3d.pendingProc = NULL;
        Look3d.pendingHook = NULL;
        Look3dSubclass(window, procedure);
    }
    return result;
}

LRESULT Look3dNcDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        int classIndex)
{
    LRESULT r = Look3dPassOn(window, message, wParam, lParam, classIndex);
    RemoveOldProc(window);
    RemovePropA(window, MAKEINTATOM(Look3d.offAtom));
    return r;
}

BOOL Look3dSubclassControl(HWND window, WORD kinds, WORD mode, HWND extra)
{
    if (Look3dFindOldProc(window) != NULL)
        return FALSE;
    char name[CLASS_NAME_READ];
    if (GetClassNameA(window, name, CLASS_NAME_READ) == 0)
        return FALSE;
    for (int i = 0; i < L3I_ROWS; i++) {
        const Look3dClassEntry *row = &Look3dClassTable[i];
        if ((row->kinds & kinds) == 0 || lstrcmpA(row->className, name) != 0)
            continue;
        int r = row->test(window, GetWindowLongA(window, GWL_STYLE), kinds, mode, extra);
        /* A table cleared by termination installs nothing. */
        if (r == 1 && Look3d.activeProc[i] != NULL) {
            if (mode == 1 && Look3d.hostBits == 16)
                Look3dSubclassDeferred(window, Look3d.activeProc[i]);
            else
                Look3dSubclass(window, Look3d.activeProc[i]);
        }
        return r != 0;
    }
    return FALSE;
}

void Look3dSubclassChild(HWND window, WORD kinds)
{
    if (Look3dFindOldProc(window) != NULL) {
        int answer = L3_IDENTIFY_UNANSWERED;
        SendMessageA(window, L3M_IDENTIFY, 0, (LPARAM)&answer);
        if (answer != L3_IDENTIFY_UNANSWERED)
            return;             /* a look procedure runs the window */
        RemoveOldProc(window);  /* stale: no look procedure answered */
    }
    Look3dSubclassControl(window, kinds, 0, NULL);
}

BOOL Look3dSubclassDlgChildren(HWND dialog, WORD kinds)
{
    if (!Look3d.enabled)
        return FALSE;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != NULL;
         child = GetWindow(child, GW_HWNDNEXT)) {
        Look3dSubclassChild(child, kinds);
        for (HWND grandchild = GetWindow(child, GW_CHILD); grandchild != NULL;
             grandchild = GetWindow(grandchild, GW_HWNDNEXT))
            Look3dSubclassChild(grandchild, kinds);
    }
    return TRUE;
}

/* Takes the look off one window (see Look3dRemoveLook) and then off its
 * children, at all depths. */
static void RemoveLookTree(HWND window)
{
    WNDPROC p = (WNDPROC)GetWindowLongA(window, GWL_WNDPROC);
    int index = -1;
    for (int i = 0; i < L3I_ROWS; i++) {
        if (Look3d.activeProc[i] != NULL && p == Look3d.activeProc[i]) {
            index = i;
            break;
        }
    }
    if (index < 0 && p == Look3dDlgProc)
        index = L3I_DIALOG;
    if (index >= 0) {
        WNDPROC old = Look3dGetOldProc(window, index);
        RemoveOldProc(window);
        SetWindowLongA(window, GWL_WNDPROC, (LONG)old);
    } else {
        /* Someone put a procedure on top of the look's: switch the look off so
         * that a look procedure further down passes everything on. */
        SetPropA(window, MAKEINTATOM(Look3d.offAtom), (HANDLE)1);
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != NULL;
         child = GetWindow(child, GW_HWNDNEXT))
        RemoveLookTree(child);
}

BOOL Look3dRemoveLook(HWND window)
{
    if (!Look3d.enabled)
        return FALSE;
    RemoveLookTree(window);
    return TRUE;
}

BOOL Look3dWantsChildren(HWND window)
{
    if (window == NULL || Look3dFindOldProc(window) == NULL)
        return FALSE;
    return (GetWindowLongA(window, GWL_STYLE) & L3_STYLE_3DLOOK) == 0;
}
