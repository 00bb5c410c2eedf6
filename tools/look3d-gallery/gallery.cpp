/*
 * look3d-gallery: one dialog with every kind of control the look knows,
 * shown twice side by side: on the left as the system draws it, made before
 * the look is hooked into the thread, and on the right with the look.
 *
 *   look3d-gallery.exe [--seconds N] [--report FILE] [--old-dialogs]
 *
 * --seconds N   close by itself after N seconds (for screenshot scripts)
 * --report FILE once both dialogs have painted, write their screen rectangles
 *               there, one line each: "plain|look left top right bottom"
 * --old-dialogs make the look's dialog without DS_3DLOOK on any version, as a
 *               program written for Windows before 4.0 gets it
 *
 * Before 3.95 (run it under an emulated NT 3.51 or Windows 3.1) the look
 * paints frames and controls; from 3.95 on it steps back where the system
 * draws three-dimensional controls itself.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gallery.h"
#include "gallery_dialog.h"
#include "look3d.h"

static int openDialogs;
static HWND plainDialog, lookDialog;
static char reportPath[MAX_PATH];

static INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        openDialogs++;
        GalleryFillDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        if (--openDialogs == 0)
            PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

static HWND MakeGallery(HINSTANCE instance, const char *title, int x, int y)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_GALLERY), NULL,
                                     GalleryProc, 0);
    if (dialog) {
        SetWindowTextA(dialog, title);
        SetWindowPos(dialog, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
    }
    return dialog;
}

static void WriteReport(void)
{
    FILE *f = fopen(reportPath, "w");
    if (!f)
        return;
    RECT r;
    GetWindowRect(plainDialog, &r);
    fprintf(f, "plain %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    GetWindowRect(lookDialog, &r);
    fprintf(f, "look %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    fclose(f);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    int seconds = 0;
    BOOL oldDialogs = FALSE;
    for (char *arg = strtok(commandLine, " "); arg; arg = strtok(NULL, " ")) {
        if (strcmp(arg, "--seconds") == 0 && (arg = strtok(NULL, " ")) != NULL)
            seconds = atoi(arg);
        else if (strcmp(arg, "--report") == 0 && (arg = strtok(NULL, " ")) != NULL)
            lstrcpynA(reportPath, arg, sizeof reportPath);
        else if (strcmp(arg, "--old-dialogs") == 0)
            oldDialogs = TRUE;
    }

    plainDialog = MakeGallery(instance, "Without the look", 8, 8);
    Look3dOpen(instance);
    Look3dHookThread(instance);
    /* Below 3.95 dialogs are made as that version's dialog manager made them. */
    if (GalleryWinVersion() < 0x035F || oldDialogs)
        GalleryOldDialogsOn();
    RECT r = { 0, 0, 0, 0 };
    if (plainDialog)
        GetWindowRect(plainDialog, &r);
    lookDialog = MakeGallery(instance, "With the look", r.right + 16, 8);
    if (!plainDialog || !lookDialog)
        return 1;

    /* Thread timers: SetTimer chooses their identifiers. */
    UINT_PTR quitTimer = seconds > 0 ? SetTimer(NULL, 0, (UINT)seconds * 1000, NULL) : 0;
    UINT_PTR reportTimer = reportPath[0] ? SetTimer(NULL, 0, 500, NULL) : 0;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.hwnd == NULL && msg.message == WM_TIMER) {
            if (msg.wParam == reportTimer) {
                /* Timers come only when the queue is otherwise empty:
                 * by now both dialogs have painted. */
                KillTimer(NULL, reportTimer);
                WriteReport();
                continue;
            }
            if (msg.wParam == quitTimer)
                break;
            continue;
        }
        if (IsDialogMessageA(plainDialog, &msg) || IsDialogMessageA(lookDialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    GalleryOldDialogsOff();
    Look3dClose(instance);
    return 0;
}
