/*
 * Helpers of the look's Wine tests: dialogs from in-memory templates, pixel
 * capture of real windows, and running this very test program again under an
 * emulated Windows version. Message pumping, the old dialog manager, the
 * version word and the GDI object count come from gallery_dialog.h, shared
 * with the gallery and its paint bench.
 *
 * Emulated versions (HKCU\Software\Wine\AppDefaults\<exe name>, "Version"),
 * what GetVersion() reports under Wine 8 and what the look makes of it:
 *   (default, win7)  0x1DB10106  winVersion 0x0601  hostBits 32
 *   win10            0x23F00206  winVersion 0x0602  hostBits 32
 *   win95            0xC0000004  winVersion 0x0400  hostBits 32
 *   nt351            0x04213303  winVersion 0x0333  hostBits 32  (all painted)
 *   win31            0x80000A03  winVersion 0x030A  hostBits 16  (Win32s host:
 *                                                   deferred subclassing)
 */
#ifndef ORM_LOOK3D_TESTUTIL_H
#define ORM_LOOK3D_TESTUTIL_H

#include <windows.h>

#include "gallery_dialog.h"

#include <stdint.h>
#include <string>
#include <vector>

/* ---- dialog templates -------------------------------------------------- */

/* One control of a template. cls is a predefined class atom (0x0080 button,
 * 0x0081 edit, 0x0082 static, 0x0083 list box, 0x0085 combo box) or 0 with
 * className set. Coordinates in dialog units. */
struct L3tItem {
    WORD cls;
    const char *className;
    const char *text;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
};

/* Builds a DLGTEMPLATE in memory. className NULL: the system dialog class
 * (atom 32770). Without DS_SETFONT the dialog uses the system font. */
std::vector<WORD> L3tBuildTemplate(DWORD style, const char *title, short x, short y,
                                   short cx, short cy, const L3tItem *items, int count,
                                   const char *className = NULL);

/* CreateDialogIndirectParamA from a built template. */
HWND L3tCreateDialog(const std::vector<WORD> &tmpl, DLGPROC proc, LPARAM param = 0,
                     HWND owner = NULL);

/* ---- messages and painting ---------------------------------------------- */

/* Repaints a window completely, frame and children, and pumps. */
void L3tRepaint(HWND window);

/* A 32-bit top-down capture: pixels as 0x00RRGGBB (COLORREF order swapped to
 * RGB: use L3tRgb to compare with a COLORREF). */
struct L3tImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
    bool operator==(const L3tImage &o) const
    {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

/* A COLORREF as the capture stores it. */
uint32_t L3tRgb(COLORREF c);

/* The whole window (GetWindowDC) BitBlt'ed into a DIB section, captured
 * until two captures in a row agree (bounded), pumping in between. */
L3tImage L3tCaptureWindow(HWND window);
/* One capture, without pumping messages or waiting: what is on the surface
 * now. */
L3tImage L3tCaptureNow(HWND window);

/* A window's client rectangle in its window coordinates. */
RECT L3tClientInWindow(HWND window);

/* A blank 32-bit DIB section selected into a memory DC, for drawing tests. */
struct L3tCanvas {
    HDC dc = NULL;
    HBITMAP bitmap = NULL;
    HGDIOBJ previous = NULL;
    uint32_t *bits = NULL;
    int width = 0, height = 0;
    uint32_t at(int x, int y) const { return bits[(size_t)y * width + x]; }
};
bool L3tCanvasCreate(L3tCanvas *canvas, int width, int height, COLORREF fill);
void L3tCanvasDestroy(L3tCanvas *canvas);

/* ---- emulated versions -------------------------------------------------- */

/* Runs this program again as a copy named <exe>_<version>.exe, with
 * AppDefaults\<copy>\Version = version, and gtest's filter; the child's
 * output goes to ours. Returns its exit code, or -1 when it could not run. */
int L3tRunUnderVersion(const char *version, const char *filter);

/* Path of a file beside this program. */
std::string L3tBesideExe(const char *name);

/* ---- a second thread ---------------------------------------------------- */

/* A thread with a message loop that runs tasks handed to it one at a time;
 * it lives until L3tWorkerStop, so its hook rows stay valid between tasks. */
struct L3tWorker {
    HANDLE thread = NULL;
    DWORD id = 0;
};
typedef void (*L3tTask)(void *context);
bool L3tWorkerStart(L3tWorker *worker);
/* Runs task(context) on the worker and waits for it. */
void L3tWorkerRun(L3tWorker *worker, L3tTask task, void *context);
void L3tWorkerStop(L3tWorker *worker);

/* Runs any callable on the worker and waits for it. */
template <class F> void L3tOnWorker(L3tWorker *worker, F f)
{
    L3tWorkerRun(worker, [](void *c) { (*(F *)c)(); }, &f);
}

#endif /* ORM_LOOK3D_TESTUTIL_H */
