/*
 * What the look's control tests share: a fixture that opens the look, hooks
 * the thread and makes dialogs as a dialog manager before 4.0 made them;
 * pixel access to captures in control coordinates; markers painted into a
 * dialog so that a test can tell "drawn" from "left alone"; and a
 * simulated picture of what a painter should lay down.
 *
 * The test program runs itself again as a copy under "nt351" (winVersion
 * 0x0333: the look paints every control); suites named Old* run only there,
 * suites named Current* only at Wine's default version, Statics* in both.
 */
#ifndef ORM_LOOK3D_CONTROLS_FIXTURE_H
#define ORM_LOOK3D_CONTROLS_FIXTURE_H

#include <gtest/gtest.h>

#include <limits.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "look3d_controls.h"
#include "look3d_testutil.h"

inline HINSTANCE CtlSelf() { return GetModuleHandleA(NULL); }
inline bool CtlIsOldVersion() { return GalleryWinVersion() < L3V_WIN395; }
inline uint32_t CtlSlot(int slot) { return L3tRgb(Look3d.colours[slot]); }
inline bool CtlHasLook(HWND w) { return w != NULL && Look3dFindOldProc(w) != NULL; }

/* A colour no painter of the look uses; painted where a test expects the
 * look to draw nothing. */
const COLORREF kCtlMarker = RGB(0xFF, 0x00, 0xFF);

/* A capture of a dialog read in the coordinates of one of its controls
 * (relative to the control's window rectangle; negative = outside it). */
struct CtlView {
    L3tImage image;
    POINT origin = { 0, 0 };    /* the control's top-left in the image */
    uint32_t at(int x, int y) const { return image.at(origin.x + x, origin.y + y); }
};
CtlView CtlCapture(HWND dialog, HWND control);
/* A capture already made, read in a control's coordinates. */
CtlView CtlViewOf(const L3tImage &image, HWND dialog, HWND control);
/* CtlCapture without pumping messages or waiting: what is on the surface
 * now. */
CtlView CtlCaptureNow(HWND dialog, HWND control);
/* The extent of a text in the control's own font. */
SIZE CtlTextExtent(HWND control, const char *text);

/* Pixels of a capture that a test looks for, and their bounding box. */
struct CtlPixels {
    int count = 0;
    RECT box = { INT_MAX, INT_MAX, INT_MIN, INT_MIN };
};
/* The pixels within area (control coordinates) for which wanted(colour)
 * holds. */
template <class Wanted>
CtlPixels CtlScan(const CtlView &view, const RECT &area, Wanted wanted)
{
    CtlPixels found;
    for (int y = area.top; y < area.bottom; y++)
        for (int x = area.left; x < area.right; x++) {
            if (!wanted(view.at(x, y)))
                continue;
            found.count++;
            found.box.left = std::min<LONG>(found.box.left, x);
            found.box.top = std::min<LONG>(found.box.top, y);
            found.box.right = std::max<LONG>(found.box.right, x + 1);
            found.box.bottom = std::max<LONG>(found.box.bottom, y + 1);
        }
    return found;
}
/* The pixels of one colour. */
CtlPixels CtlFindColour(const CtlView &view, const RECT &area, uint32_t colour);

/* Paints the marker over rect (control coordinates) through the dialog's
 * DC, which does not clip its children. */
void CtlPaintMarker(HWND dialog, HWND control, const RECT &rect);

/* Has only the control paint itself (WM_PAINT of the control; no erase, no
 * frame, nothing of the parent). */
void CtlRepaintOnly(HWND control);

/* The control's window rectangle in the coordinates of window `in`'s client. */
RECT CtlRectIn(HWND control, HWND in);

/* A simulated surface in control coordinates: what a painter should lay
 * down, pixel by pixel, in drawing order. Unset pixels: nothing drawn. */
struct CtlPicture {
    std::map<std::pair<int, int>, uint32_t> px;
    void Set(int x, int y, uint32_t c) { px[std::make_pair(x, y)] = c; }
    /* One-pixel edges as the look's edge primitive lays them: top and left
     * in colour first, then right and bottom (short: two pixels short). */
    void Edges(RECT r, uint32_t first, uint32_t second, bool top, bool left, bool right,
               bool bottom, bool shortBottom = false);
    void Row(int y, int x0, int x1, uint32_t c);        /* x0 <= x < x1 */
    void Column(int x, int y0, int y1, uint32_t c);     /* y0 <= y < y1 */
};

/* Counts the pixels of view within area whose colour differs from what
 * want lays down; where want lays nothing down, the pixel must be the
 * marker unless it lies in *free (the control's own painting), or, with
 * free NULL, may be anything. Reports the first few. */
int CtlMismatches(const CtlView &view, const CtlPicture &want, const RECT &area,
                  const RECT *free, const char *what);

/* Sends control a WM_PAINT with the device context of a canvas of its
 * client size in wParam, as printing does, and checks that the control
 * painted into it and left the context as it found it: colours, background
 * mode, selected objects, clipping. */
void CtlExpectCallersDcKept(HWND control);

/* Opens the look, hooks the thread, and makes dialogs without DS_3DLOOK. */
class CtlFixture : public ::testing::Test {
protected:
    HWND dialog = NULL;
    void SetUp() override;
    void TearDown() override;
    /* A dialog from items, shown, in front and fully painted. */
    HWND Make(const L3tItem *items, int count, short cx = 200, short cy = 120);
    HWND Item(WORD id) { return GetDlgItem(dialog, id); }
};

/* Fixtures that run only under one kind of version. */
class OldFixture : public CtlFixture {
protected:
    void SetUp() override
    {
        if (!CtlIsOldVersion())
            GTEST_SKIP() << "runs in the copy under nt351";
        CtlFixture::SetUp();
    }
};
class CurrentFixture : public CtlFixture {
protected:
    void SetUp() override
    {
        if (CtlIsOldVersion())
            GTEST_SKIP() << "runs at Wine's default version";
        CtlFixture::SetUp();
    }
};

#endif /* ORM_LOOK3D_CONTROLS_FIXTURE_H */
