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
#include <vector>

#include "gallery.h"
#include "gallery_dialog.h"
#include "look3d.h"

static const char kChildFlag[] = "--measure";

static INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    GalleryFillDialog(dialog);
    return TRUE;
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
    GalleryOldDialogsOn();
    RECT r = { 0, 0, 0, 0 };
    if (plain != NULL)
        GetWindowRect(plain, &r);
    HWND look = MakeGallery(instance, r.right + 16);
    if (plain == NULL || look == NULL || !hooked) {
        fprintf(stderr, "bench_look3d_paint: could not make the dialogs or hook the look\n");
        return 1;
    }
    GalleryPump();

    /* Warm up both, then alternate so drift falls on both alike. */
    for (int i = 0; i < 5; i++) {
        Repaint(plain, tick);
        Repaint(look, tick);
    }
    GalleryPump();
    int gdiBefore = GalleryGdiObjects();
    std::vector<double> withoutLook, withLook;
    for (int i = 0; i < repaints; i++) {
        withoutLook.push_back(Repaint(plain, tick));
        withLook.push_back(Repaint(look, tick));
    }
    GalleryPump();
    int gdiAfter = GalleryGdiObjects();

    WORD version = GalleryWinVersion();
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

    GalleryOldDialogsOff();
    DestroyWindow(look);
    DestroyWindow(plain);
    Look3dClose(instance);
    return 0;
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
    if (child || GalleryWinVersion() < 0x035F)
        return Measure(repaints);
    /* Wine's AppDefaults choose the version by program name. */
    char arguments[32];
    snprintf(arguments, sizeof arguments, "%s %d", kChildFlag, repaints);
    int old = GalleryRunUnderVersion("nt351", arguments, 600000);
    if (old != 0)
        fprintf(stderr, "bench_look3d_paint: the run under nt351 failed (%d)\n", old);
    int current = Measure(repaints);
    return old != 0 ? 1 : current;
}
