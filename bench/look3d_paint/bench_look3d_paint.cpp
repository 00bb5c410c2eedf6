/*
 * bench_look3d_paint: the paint cost of the look. The gallery's dialog
 * (every kind of control the look knows) is made twice, once before the look
 * is hooked into the thread (the system's drawing) and once after; both are
 * repainted in full many times, alternately, and the medians of the two are
 * compared. Then the process's GDI object count is printed, before and
 * after the repaints: the look makes no GDI object per paint.
 *
 *   bench_look3d_paint.exe [REPAINTS]      (default 200)
 *
 * Below version 3.95 the look paints every control, so the program runs the
 * measurement in a copy of itself under an emulated NT 3.51 (Wine's
 * AppDefaults); at the current version it measures too, with the dialog
 * made as a program for Windows before 4.0 gets it (edits, lists and statics
 * keep the look there, buttons and combo boxes are the system's).
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gallery.h"
#include "look3d.h"

static const char kChildFlag[] = "--measure";

static WORD WinVersion(void)
{
    DWORD v = GetVersion();
    return (WORD)(((v & 0xFF) << 8) | ((v >> 8) & 0xFF));
}

/* The process's GDI objects: GetGuiResources, or under Wine (whose
 * GetGuiResources answers 0) the rows in use of the process's GDI handle
 * table, which the PEB points at (0x10000 rows of 24 bytes; byte 14 of a row
 * is the object type, 0 when the row is free). -1 when neither works. */
static int GdiObjects(void)
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n != 0)
        return (int)n;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == NULL || GetProcAddress(ntdll, "wine_get_version") == NULL)
        return -1;
    const BYTE *peb;
    __asm__("movl %%fs:0x30, %0" : "=r"(peb));
    const BYTE *table = *(const BYTE *const *)(peb + 0x94);
    if (table == NULL)
        return -1;
    int used = 0;
    for (int i = 0; i < 0x10000; i++)
        if (table[24 * i + 14] != 0)
            used++;
    return used;
}

static INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    static const char *const items[] = { "First item", "Second item", "Third item",
                                         "Fourth item", "Fifth item" };
    CheckDlgButton(dialog, IDC_CHECKED, BST_CHECKED);
    CheckDlgButton(dialog, IDC_THREESTATE, BST_INDETERMINATE);
    CheckDlgButton(dialog, IDC_DISABLEDCHECK, BST_CHECKED);
    CheckRadioButton(dialog, IDC_RADIO1, IDC_RADIO2, IDC_RADIO1);
    SetDlgItemTextA(dialog, IDC_EDIT, "Edit field");
    for (const char *item : items) {
        SendDlgItemMessageA(dialog, IDC_LIST, LB_ADDSTRING, 0, (LPARAM)item);
        SendDlgItemMessageA(dialog, IDC_SIMPLECOMBO, CB_ADDSTRING, 0, (LPARAM)item);
        SendDlgItemMessageA(dialog, IDC_DROPDOWN, CB_ADDSTRING, 0, (LPARAM)item);
        SendDlgItemMessageA(dialog, IDC_DROPLIST, CB_ADDSTRING, 0, (LPARAM)item);
    }
    return TRUE;
}

/* Wine's dialog manager gives every dialog DS_3DLOOK; a dialog manager
 * before 4.0 did not, and the look passes nothing on to the controls of a
 * dialog with that bit. This hook, newer than the look's so it runs first,
 * clears the bit as the dialog's first control is made. */
static HHOOK oldDialogHook;

static LRESULT CALLBACK OldDialogManager(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        HWND parent = ((CBT_CREATEWNDA *)lParam)->lpcs->hwndParent;
        char cls[16];
        if (parent && GetClassNameA(parent, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
            LONG style = GetWindowLongA(parent, GWL_STYLE);
            if (style & DS_3DLOOK)
                SetWindowLongA(parent, GWL_STYLE, style & ~DS_3DLOOK);
        }
    }
    return CallNextHookEx(oldDialogHook, code, wParam, lParam);
}

static HWND MakeGallery(HINSTANCE instance, int x)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_GALLERY), NULL,
                                     GalleryProc, 0);
    if (dialog != NULL) {
        SetWindowPos(dialog, NULL, x, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(dialog, SW_SHOWNOACTIVATE);
        UpdateWindow(dialog);
    }
    return dialog;
}

static void Pump(void)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

/* One full repaint of a dialog and all its controls, in milliseconds. */
static double Repaint(HWND dialog, double tick)
{
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    RedrawWindow(dialog, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    QueryPerformanceCounter(&b);
    return (double)(b.QuadPart - a.QuadPart) * tick;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

static int Measure(int repaints)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double tick = 1000.0 / (double)frequency.QuadPart;

    HWND plain = MakeGallery(instance, 8);
    Look3dOpen(instance);
    BOOL hooked = Look3dHookThread(instance);
    oldDialogHook = SetWindowsHookExA(WH_CBT, OldDialogManager, NULL, GetCurrentThreadId());
    RECT r = { 0, 0, 0, 0 };
    if (plain != NULL)
        GetWindowRect(plain, &r);
    HWND look = MakeGallery(instance, r.right + 16);
    if (plain == NULL || look == NULL || !hooked) {
        fprintf(stderr, "bench_look3d_paint: could not make the dialogs or hook the look\n");
        return 1;
    }
    Pump();

    /* Warm up both, then alternate so drift falls on both alike. */
    for (int i = 0; i < 5; i++) {
        Repaint(plain, tick);
        Repaint(look, tick);
    }
    Pump();
    int gdiBefore = GdiObjects();
    std::vector<double> withoutLook, withLook;
    for (int i = 0; i < repaints; i++) {
        withoutLook.push_back(Repaint(plain, tick));
        withLook.push_back(Repaint(look, tick));
    }
    Pump();
    int gdiAfter = GdiObjects();

    WORD version = WinVersion();
    double a = Median(withoutLook), b = Median(withLook);
    printf("version %u.%02u (%s), %d full repaints of the gallery dialog each\n", version >> 8,
           version & 0xFF,
           version < 0x035F ? "the look paints every control"
                            : "buttons and combo boxes are the system's",
           repaints);
    printf("  without the look: median %.3f ms\n", a);
    printf("  with the look:    median %.3f ms\n", b);
    printf("  ratio with/without: %.2f\n", a > 0 ? b / a : 0.0);
    printf("  GDI objects of the process: %d before the repaints, %d after\n", gdiBefore,
           gdiAfter);
    fflush(stdout);

    UnhookWindowsHookEx(oldDialogHook);
    DestroyWindow(look);
    DestroyWindow(plain);
    Look3dClose(instance);
    return 0;
}

/* Runs this program again as a copy under the emulated version (Wine's
 * AppDefaults, chosen by program name) and waits for it. */
static int RunUnder(const char *version, int repaints)
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return -1;
    std::string path(self, n);
    size_t slash = path.find_last_of("\\/");
    std::string base = path.substr(slash + 1);
    std::string copyName = base.substr(0, base.rfind('.')) + "_" + version + ".exe";
    std::string copyPath = path.substr(0, slash + 1) + copyName;
    if (!CopyFileA(path.c_str(), copyPath.c_str(), FALSE))
        return -1;
    std::string key = "Software\\Wine\\AppDefaults\\" + copyName;
    HKEY hk;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &hk,
                        NULL) != ERROR_SUCCESS) {
        DeleteFileA(copyPath.c_str());
        return -1;
    }
    RegSetValueExA(hk, "Version", 0, REG_SZ, (const BYTE *)version, (DWORD)strlen(version) + 1);
    RegCloseKey(hk);

    std::string cmd = "\"" + copyPath + "\" " + kChildFlag + " " + std::to_string(repaints);
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    int result = -1;
    if (CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        DWORD code = (DWORD)-1;
        if (WaitForSingleObject(pi.hProcess, 600000) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &code);
        else
            TerminateProcess(pi.hProcess, (UINT)-1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        result = (int)code;
    }
    DeleteFileA(copyPath.c_str());
    return result;
}

int main(int argc, char **argv)
{
    int repaints = 200;
    bool child = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], kChildFlag) == 0)
            child = true;
        else if (atoi(argv[i]) > 0)
            repaints = atoi(argv[i]);
    }
    if (child || WinVersion() < 0x035F)
        return Measure(repaints);
    fflush(stdout);
    int old = RunUnder("nt351", repaints);
    if (old != 0)
        fprintf(stderr, "bench_look3d_paint: the run under nt351 failed (%d)\n", old);
    int current = Measure(repaints);
    return old != 0 ? 1 : current;
}
