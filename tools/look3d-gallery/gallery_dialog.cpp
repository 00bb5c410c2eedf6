/*
 * The gallery dialog's filling, the old dialog manager's hook, the version
 * word, runs under an emulated version, message pumping and the GDI object
 * count, shared by the gallery, its paint bench and the look's tests.
 */
#include "gallery_dialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gallery.h"

static const char *const listItems[] = {
    "First item", "Second item", "Third item", "Fourth item", "Fifth item", "Sixth item",
};

static void FillList(HWND dialog, int id, UINT addMessage, UINT selectMessage)
{
    for (size_t i = 0; i < sizeof listItems / sizeof listItems[0]; i++)
        SendDlgItemMessageA(dialog, id, addMessage, 0, (LPARAM)listItems[i]);
    SendDlgItemMessageA(dialog, id, selectMessage, 1, 0);
}

void GalleryFillDialog(HWND dialog)
{
    CheckDlgButton(dialog, IDC_CHECKED, BST_CHECKED);
    CheckDlgButton(dialog, IDC_THREESTATE, BST_INDETERMINATE);
    CheckDlgButton(dialog, IDC_DISABLEDCHECK, BST_CHECKED);
    CheckRadioButton(dialog, IDC_RADIO1, IDC_RADIO2, IDC_RADIO1);
    SetDlgItemTextA(dialog, IDC_EDIT, "Edit field");
    FillList(dialog, IDC_LIST, LB_ADDSTRING, LB_SETCURSEL);
    FillList(dialog, IDC_SIMPLECOMBO, CB_ADDSTRING, CB_SETCURSEL);
    FillList(dialog, IDC_DROPDOWN, CB_ADDSTRING, CB_SETCURSEL);
    FillList(dialog, IDC_DROPLIST, CB_ADDSTRING, CB_SETCURSEL);
}

static HHOOK oldDialogHook;

/* Runs as a window is created; by then its parent dialog exists and has
 * the style Wine's dialog manager gave it. */
static LRESULT CALLBACK OldDialogManager(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        HWND parent = ((CBT_CREATEWNDA *)lParam)->lpcs->hwndParent;
        char cls[16];
        if (parent != NULL && GetClassNameA(parent, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
            LONG style = GetWindowLongA(parent, GWL_STYLE);
            if (style & DS_3DLOOK)
                SetWindowLongA(parent, GWL_STYLE, style & ~DS_3DLOOK);
        }
    }
    return CallNextHookEx(oldDialogHook, code, wParam, lParam);
}

void GalleryOldDialogsOn(void)
{
    GalleryOldDialogsOff();
    oldDialogHook = SetWindowsHookExA(WH_CBT, OldDialogManager, NULL, GetCurrentThreadId());
}

void GalleryOldDialogsOff(void)
{
    if (oldDialogHook != NULL)
        UnhookWindowsHookEx(oldDialogHook);
    oldDialogHook = NULL;
}

WORD GalleryWinVersion(void)
{
    DWORD v = GetVersion();
    return (WORD)(((v & 0xFF) << 8) | ((v >> 8) & 0xFF));
}

int GalleryRunUnderVersion(const char *version, const char *arguments, DWORD timeoutMs)
{
    /* The copy beside this program: AppDefaults are chosen by file name. */
    char self[MAX_PATH], copyPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return -1;
    const char *base = self;
    for (const char *p = self; *p; p++)
        if (*p == '\\' || *p == '/')
            base = p + 1;
    const char *dot = strrchr(base, '.');
    int stem = (int)(dot != NULL ? dot - self : n);
    int len = snprintf(copyPath, sizeof copyPath, "%.*s_%s.exe", stem, self, version);
    if (len < 0 || len >= (int)sizeof copyPath)
        return -1;
    const char *copyName = copyPath + (base - self);
    if (!CopyFileA(self, copyPath, FALSE))
        return -1;

    int result = -1;
    char key[MAX_PATH + 32];
    HKEY hk;
    char *line = (char *)malloc(strlen(copyPath) + strlen(arguments) + 4);
    snprintf(key, sizeof key, "Software\\Wine\\AppDefaults\\%s", copyName);
    if (line != NULL && RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, NULL, 0, KEY_SET_VALUE,
                                        NULL, &hk, NULL) == ERROR_SUCCESS) {
        RegSetValueExA(hk, "Version", 0, REG_SZ, (const BYTE *)version,
                       (DWORD)strlen(version) + 1);
        RegCloseKey(hk);

        sprintf(line, "\"%s\" %s", copyPath, arguments);
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof si);
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi;
        fflush(stdout);
        fflush(stderr);
        if (CreateProcessA(NULL, line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
            DWORD code = (DWORD)-1;
            if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
                GetExitCodeProcess(pi.hProcess, &code);
            else
                TerminateProcess(pi.hProcess, (UINT)-1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            result = (int)code;
        }
    }
    free(line);
    DeleteFileA(copyPath);
    return result;
}

void GalleryPump(void)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int GalleryGdiObjects(void)
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n != 0)
        return (int)n;
    /* Wine's GetGuiResources is a stub that answers 0. Wine keeps a
     * per-process GDI handle table where Windows keeps its shared one: the
     * PEB's GdiSharedHandleTable (offset 0x94 of the 32-bit PEB) points at
     * 0x10000 rows of 24 bytes: object address (8 bytes; on a free row the
     * link of the free list), owner (4), then extended type, generation,
     * type and flags (1 byte each), user pointer (8). A row in use has a
     * non-zero type (measured with Wine 8: each brush made sets one, each
     * brush deleted clears it). */
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == NULL || GetProcAddress(ntdll, "wine_get_version") == NULL)
        return -1;
    const BYTE *peb;
    __asm__("movl %%fs:0x30, %0" : "=r"(peb));     /* TEB's PEB pointer */
    const BYTE *table = *(const BYTE *const *)(peb + 0x94);
    if (table == NULL)
        return -1;
    int used = 0;
    for (int i = 0; i < 0x10000; i++) {
        const BYTE *row = table + 24 * i;
        if (row[14] != 0)
            used++;
    }
    return used;
}
