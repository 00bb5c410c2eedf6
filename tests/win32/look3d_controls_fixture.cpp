/*
 * Helpers of the look's control tests: the fixture, captures in control
 * coordinates, markers and the simulated picture.
 */
#include "look3d_controls_fixture.h"

static POINT OriginIn(HWND dialog, HWND control)
{
    RECT d, c;
    GetWindowRect(dialog, &d);
    GetWindowRect(control, &c);
    POINT p = { c.left - d.left, c.top - d.top };
    return p;
}

CtlView CtlCapture(HWND dialog, HWND control)
{
    CtlView v;
    v.image = L3tCaptureWindow(dialog);
    v.origin = OriginIn(dialog, control);
    return v;
}

CtlView CtlViewOf(const L3tImage &image, HWND dialog, HWND control)
{
    CtlView v;
    v.image = image;
    v.origin = OriginIn(dialog, control);
    return v;
}

/* Extent of a text in the control's own font. */
SIZE CtlTextExtent(HWND control, const char *text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(control, WM_GETFONT, 0, 0));
    SIZE s = { 0, 0 };
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &s);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return s;
}

CtlView CtlCaptureNow(HWND dialog, HWND control)
{
    CtlView v;
    v.image = L3tCaptureNow(dialog);
    v.origin = OriginIn(dialog, control);
    return v;
}

RECT CtlRectIn(HWND control, HWND in)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, in, (POINT *)&r, 2);
    return r;
}

CtlPixels CtlFindColour(const CtlView &view, const RECT &area, uint32_t colour)
{
    return CtlScan(view, area, [colour](uint32_t c) { return c == colour; });
}

void CtlPaintMarker(HWND dialog, HWND control, const RECT &rect)
{
    RECT c = CtlRectIn(control, dialog);
    RECT r = rect;
    OffsetRect(&r, c.left, c.top);
    HDC dc = GetDC(dialog);
    HBRUSH marker = CreateSolidBrush(kCtlMarker);
    FillRect(dc, &r, marker);
    DeleteObject(marker);
    ReleaseDC(dialog, dc);
    GdiFlush();
}

void CtlRepaintOnly(HWND control)
{
    RedrawWindow(control, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CtlPicture::Row(int y, int x0, int x1, uint32_t c)
{
    for (int x = x0; x < x1; x++)
        Set(x, y, c);
}

void CtlPicture::Column(int x, int y0, int y1, uint32_t c)
{
    for (int y = y0; y < y1; y++)
        Set(x, y, c);
}

void CtlPicture::Edges(RECT r, uint32_t first, uint32_t second, bool top, bool left,
                       bool right, bool bottom, bool shortBottom)
{
    if (top)
        Row(r.top, r.left, r.right, first);
    if (left)
        Column(r.left, r.top, r.bottom, first);
    if (right)
        Column(r.right - 1, r.top, r.bottom, second);
    if (bottom)
        Row(r.bottom - 1, r.left, shortBottom ? r.right - 2 : r.right, second);
}

int CtlMismatches(const CtlView &view, const CtlPicture &want, const RECT &area,
                  const RECT *free, const char *what)
{
    int wrong = 0;
    const uint32_t marker = L3tRgb(kCtlMarker);
    for (int y = area.top; y < area.bottom; y++) {
        for (int x = area.left; x < area.right; x++) {
            auto it = want.px.find(std::make_pair(x, y));
            uint32_t got = view.at(x, y);
            POINT p = { x, y };
            if (it != want.px.end()) {
                if (got == it->second)
                    continue;
                if (wrong++ < 4)
                    ADD_FAILURE() << what << ": (" << x << "," << y << ") is 0x" << std::hex
                                  << got << ", want 0x" << it->second;
            } else if (free != NULL && !PtInRect(free, p) && got != marker) {
                if (wrong++ < 4)
                    ADD_FAILURE() << what << ": (" << x << "," << y << ") is 0x" << std::hex
                                  << got << ", want it left alone (marker)";
            }
        }
    }
    return wrong;
}

/* What a device context holds that a painter may change. */
struct DcState {
    COLORREF text, back;
    int mode, rop;
    HGDIOBJ brush, font, pen;
    int clip;                   /* GetClipRgn: 0 none, 1 a region */
    RECT clipBox;
    UINT align;
};

static DcState DcStateOf(HDC dc)
{
    DcState s;
    s.text = GetTextColor(dc);
    s.back = GetBkColor(dc);
    s.mode = GetBkMode(dc);
    s.rop = GetROP2(dc);
    s.brush = GetCurrentObject(dc, OBJ_BRUSH);
    s.font = GetCurrentObject(dc, OBJ_FONT);
    s.pen = GetCurrentObject(dc, OBJ_PEN);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    s.clip = GetClipRgn(dc, rgn);
    DeleteObject(rgn);
    GetClipBox(dc, &s.clipBox);
    s.align = GetTextAlign(dc);
    return s;
}

void CtlExpectCallersDcKept(HWND control)
{
    RECT client;
    GetClientRect(control, &client);
    const COLORREF paper = RGB(3, 99, 7);
    L3tCanvas cv;
    ASSERT_TRUE(L3tCanvasCreate(&cv, client.right, client.bottom, paper));
    HBRUSH brush = CreateSolidBrush(RGB(200, 10, 10));
    HGDIOBJ oldBrush = SelectObject(cv.dc, brush);
    HGDIOBJ oldFont = SelectObject(cv.dc, GetStockObject(ANSI_FIXED_FONT));
    SetTextColor(cv.dc, RGB(1, 2, 3));
    SetBkColor(cv.dc, RGB(4, 5, 6));
    SetBkMode(cv.dc, TRANSPARENT);
    const DcState before = DcStateOf(cv.dc);

    EXPECT_EQ(SendMessageA(control, WM_PAINT, (WPARAM)cv.dc, 0), 0);
    GdiFlush();
    const DcState after = DcStateOf(cv.dc);
    EXPECT_EQ(after.text, before.text) << "text colour";
    EXPECT_EQ(after.back, before.back) << "background colour";
    EXPECT_EQ(after.mode, before.mode) << "background mode";
    EXPECT_EQ(after.rop, before.rop) << "drawing mode";
    EXPECT_EQ(after.brush, before.brush) << "brush";
    EXPECT_EQ(after.font, before.font) << "font";
    EXPECT_EQ(after.pen, before.pen) << "pen";
    EXPECT_EQ(after.clip, before.clip) << "clip region";
    EXPECT_TRUE(EqualRect(&after.clipBox, &before.clipBox)) << "clip box";
    EXPECT_EQ(after.align, before.align) << "text alignment";

    int painted = 0;
    for (int i = 0; i < cv.width * cv.height; i++)
        painted += (cv.bits[i] & 0xFFFFFF) != L3tRgb(paper);
    EXPECT_GT(painted, 0) << "nothing painted into the context";

    SelectObject(cv.dc, oldFont);
    SelectObject(cv.dc, oldBrush);
    DeleteObject(brush);
    L3tCanvasDestroy(&cv);
}

static INT_PTR CALLBACK CtlDlgProc(HWND, UINT m, WPARAM, LPARAM)
{
    return m == WM_INITDIALOG;
}

void CtlFixture::SetUp()
{
    ASSERT_EQ(Look3d.instanceCount, 0);
    ASSERT_TRUE(Look3dOpen(CtlSelf()));
    ASSERT_TRUE(Look3dHookThread(CtlSelf()));
    /* Newer hook, so it runs first: dialogs lose DS_3DLOOK before their
     * controls are created, as under a dialog manager before 4.0. */
    GalleryOldDialogsOn();
    const COLORREF *c = Look3d.colours;
    ASSERT_NE(c[L3C_SHADOW], c[L3C_HILITE]);
    ASSERT_NE(c[L3C_FRAME], c[L3C_FACE]);
    ASSERT_NE(c[L3C_SHADOW], c[L3C_FACE]);
    ASSERT_NE(c[L3C_HILITE], c[L3C_FACE]);
    ASSERT_NE(c[L3C_FRAME], c[L3C_SHADOW]);
    ASSERT_NE(c[L3C_GRAYTEXT], c[L3C_BTNTEXT]);
}

void CtlFixture::TearDown()
{
    GalleryOldDialogsOff();
    if (dialog != NULL)
        DestroyWindow(dialog);
    dialog = NULL;
    while (Look3d.instanceCount > 0)
        Look3dClose(CtlSelf());
    GalleryPump();
}

HWND CtlFixture::Make(const L3tItem *items, int count, short cx, short cy)
{
    std::vector<WORD> t = L3tBuildTemplate(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME,
                                           "L3T controls", 10, 10, cx, cy, items, count);
    dialog = L3tCreateDialog(t, CtlDlgProc);
    if (dialog != NULL) {
        SetForegroundWindow(dialog);
        L3tRepaint(dialog);
    }
    return dialog;
}

