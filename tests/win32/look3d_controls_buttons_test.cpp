/*
 * The look's buttons on real windows: the glyph cell of every button type,
 * check state, pushed state and enabled state compared pixel for pixel with
 * the recoloured glyph bitmap; the push-button face; the group box's etched
 * line and caption band; focus rectangles; what a repaint around the system
 * procedure draws and what it leaves alone; the visible bit around the
 * system procedure; which buttons get the look on which version.
 */
#include "look3d_controls_fixture.h"

namespace {

const DWORD kChild = WS_CHILD | WS_VISIBLE;

/* The recoloured glyph bitmap, read back into a canvas. */
struct GlyphSheet {
    L3tCanvas cv;
    GlyphSheet()
    {
        if (!L3tCanvasCreate(&cv, 5 * L3_GLYPH_CX, 3 * L3_GLYPH_CY, 0))
            return;
        HDC memory = CreateCompatibleDC(cv.dc);
        HGDIOBJ old = SelectObject(memory, Look3d.hbmGlyphs);
        BitBlt(cv.dc, 0, 0, cv.width, cv.height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        GdiFlush();
    }
    ~GlyphSheet() { L3tCanvasDestroy(&cv); }
    uint32_t at(int column, int row, int x, int y) const
    {
        return cv.at(L3_GLYPH_CX * column + x, L3_GLYPH_CY * row + y) & 0xFFFFFF;
    }
};

int ClientHeight(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    return r.bottom;
}

int ClientWidth(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    return r.right;
}

/* Where a check box or radio button shows its glyph. */
RECT GlyphCell(HWND button)
{
    int top = (ClientHeight(button) - L3_GLYPH_CY) / 2;
    RECT r = { 0, top, L3_GLYPH_CX, top + L3_GLYPH_CY };
    return r;
}

/* Pixels of the glyph cell of button that differ from cell (column, row). */
int GlyphMismatches(const CtlView &v, HWND button, const GlyphSheet &sheet, int column, int row)
{
    RECT cell = GlyphCell(button);
    int wrong = 0;
    for (int y = 0; y < L3_GLYPH_CY; y++)
        for (int x = 0; x < L3_GLYPH_CX; x++)
            if (v.at(cell.left + x, cell.top + y) != sheet.at(column, row, x, y))
                wrong++;
    return wrong;
}


RECT Whole(HWND w)
{
    RECT r = { 0, 0, ClientWidth(w), ClientHeight(w) };
    return r;
}

class OldButtons : public OldFixture {};
class CurrentButtons : public CurrentFixture {};

/* ---- glyph cells --------------------------------------------------------- */

struct GlyphCase {
    const char *what;
    DWORD type;
    WPARAM check;
    bool pushed;
    bool enabled;
    int column;     /* expected cell */
    int row;
};

/* Columns: enabled 0 clear, 1 checked, 2 pushed clear, 3 pushed checked;
 * disabled 2 clear, 4 checked, pushed or not. Rows: 0 check boxes, 1 radio
 * buttons, 2 three-state buttons while indeterminate. */
const GlyphCase kGlyphCases[] = {
    { "check box, clear", BS_CHECKBOX, 0, false, true, 0, 0 },
    { "auto check box, checked", BS_AUTOCHECKBOX, 1, false, true, 1, 0 },
    { "check box, clear, pushed", BS_CHECKBOX, 0, true, true, 2, 0 },
    { "auto check box, checked, pushed", BS_AUTOCHECKBOX, 1, true, true, 3, 0 },
    { "check box, clear, disabled", BS_CHECKBOX, 0, false, false, 2, 0 },
    { "check box, checked, disabled", BS_CHECKBOX, 1, false, false, 4, 0 },
    { "auto check box, clear, pushed, disabled", BS_AUTOCHECKBOX, 0, true, false, 2, 0 },
    { "check box, checked, pushed, disabled", BS_CHECKBOX, 1, true, false, 4, 0 },
    { "radio button, clear", BS_RADIOBUTTON, 0, false, true, 0, 1 },
    { "auto radio button, checked", BS_AUTORADIOBUTTON, 1, false, true, 1, 1 },
    { "radio button, checked, pushed", BS_RADIOBUTTON, 1, true, true, 3, 1 },
    { "auto radio button, clear, pushed, disabled", BS_AUTORADIOBUTTON, 0, true, false, 2, 1 },
    { "radio button, checked, disabled", BS_RADIOBUTTON, 1, false, false, 4, 1 },
    { "three-state, indeterminate", BS_3STATE, 2, false, true, 1, 2 },
    { "auto three-state, indeterminate, pushed", BS_AUTO3STATE, 2, true, true, 3, 2 },
    { "three-state, indeterminate, pushed, disabled", BS_3STATE, 2, true, false, 4, 2 },
    { "auto three-state, checked", BS_AUTO3STATE, 1, false, true, 1, 0 },
    { "three-state, clear, pushed", BS_3STATE, 0, true, true, 2, 0 },
};
const int kGlyphCount = sizeof kGlyphCases / sizeof kGlyphCases[0];

TEST_F(OldButtons, GlyphCellByTypeCheckPushedAndEnabled)
{
    std::vector<L3tItem> items;
    for (int i = 0; i < kGlyphCount; i++) {
        L3tItem it = { 0x0080, NULL, "Xy", kChild | kGlyphCases[i].type,
                       (short)(4 + (i / 9) * 60), (short)(4 + (i % 9) * 12), 50, 10,
                       (WORD)(200 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), kGlyphCount, 130, 116));
    for (int i = 0; i < kGlyphCount; i++) {
        const GlyphCase &c = kGlyphCases[i];
        SCOPED_TRACE(c.what);
        HWND b = Item(200 + i);
        ASSERT_TRUE(CtlHasLook(b));
        SendMessageA(b, BM_SETCHECK, c.check, 0);
        if (c.pushed)
            SendMessageA(b, BM_SETSTATE, TRUE, 0);
        if (!c.enabled)
            EnableWindow(b, FALSE);
    }
    L3tRepaint(dialog);
    GlyphSheet sheet;
    L3tImage image = L3tCaptureWindow(dialog);
    for (int i = 0; i < kGlyphCount; i++) {
        const GlyphCase &c = kGlyphCases[i];
        SCOPED_TRACE(c.what);
        HWND b = Item(200 + i);
        CtlView v = CtlViewOf(image, dialog, b);
        EXPECT_EQ(GlyphMismatches(v, b, sheet, c.column, c.row), 0)
            << "want cell (" << c.column << "," << c.row << ")";
        /* The caption, 18 pixels in: button text, or grey text while disabled. */
        RECT caption = { 18, 0, ClientWidth(b), ClientHeight(b) };
        CtlPixels text = CtlFindColour(v, caption, CtlSlot(L3C_BTNTEXT));
        CtlPixels grey = CtlFindColour(v, caption, CtlSlot(L3C_GRAYTEXT));
        if (c.enabled) {
            EXPECT_GT(text.count, 0) << "caption in button text";
            EXPECT_EQ(grey.count, 0) << "caption in grey";
        } else {
            EXPECT_EQ(text.count, 0) << "caption in button text";
            EXPECT_GT(grey.count, 0) << "caption in grey";
        }
    }
}

/* ---- push buttons ---------------------------------------------------------- */

/* The face of a push button as the look lays it down, whole. */
CtlPicture PushFace(int w, int h, bool defaultRing, bool pushed)
{
    const uint32_t frame = CtlSlot(L3C_FRAME), face = CtlSlot(L3C_FACE);
    const uint32_t hilite = CtlSlot(L3C_HILITE), shadow = CtlSlot(L3C_SHADOW);
    CtlPicture p;
    RECT r = { 0, 0, w, h };
    p.Edges(r, frame, frame, true, true, true, true);
    int k = 1;
    if (defaultRing) {
        RECT in = { 1, 1, w - 1, h - 1 };
        p.Edges(in, frame, frame, true, true, true, true);
        k = 2;
    }
    /* Corners show the parent's button brush: the look's face brush. */
    p.Set(0, 0, face);
    p.Set(w - 1, 0, face);
    p.Set(0, h - 1, face);
    p.Set(w - 1, h - 1, face);
    if (pushed) {
        p.Column(k, k, h - k, shadow);
        p.Row(k, k, w - k, shadow);
        for (int y = k + 1; y < h - k; y++)
            p.Row(y, k + 1, w - k, face);
    } else {
        for (int i = 0; i < 2; i++) {
            p.Column(k + i, k, h - k, hilite);
            p.Row(k + i, k, w - k, hilite);
        }
        p.Row(h - k - 1, k, w - k, shadow);
        p.Column(w - k - 1, k, h - k - 1, shadow);
        p.Row(h - k - 2, k + 1, w - k - 1, shadow);
        p.Column(w - k - 2, k + 1, h - k - 2, shadow);
        for (int y = k + 2; y < h - k - 2; y++)
            p.Row(y, k + 2, w - k - 2, face);
    }
    return p;
}

struct PushCase {
    const char *what;
    DWORD type;
    bool enabled;
    bool pushed;
    bool twoRings;
};
const PushCase kPushCases[] = {
    { "default", BS_DEFPUSHBUTTON, true, false, true },
    { "default, disabled", BS_DEFPUSHBUTTON, false, false, false },
    { "plain", BS_PUSHBUTTON, true, false, false },
    { "plain, pushed", BS_PUSHBUTTON, true, true, false },
    { "default, pushed", BS_DEFPUSHBUTTON, true, true, true },
};
const int kPushCount = sizeof kPushCases / sizeof kPushCases[0];

TEST_F(OldButtons, PushButtonFaceRingsBevelsAndPushedFace)
{
    std::vector<L3tItem> items;
    /* The focus goes to a check box, so no push button draws a focus rectangle. */
    L3tItem focus = { 0x0080, NULL, "Focus", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 4, 50, 10, 309 };
    items.push_back(focus);
    for (int i = 0; i < kPushCount; i++) {
        L3tItem it = { 0x0080, NULL, "OK", kChild | kPushCases[i].type, 4,
                       (short)(18 + i * 20), 60, 16, (WORD)(300 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), (int)items.size(), 80, 122));
    SetFocus(Item(309));
    /* The dialog manager keeps one default button: give each its type back. */
    for (int i = 0; i < kPushCount; i++)
        SendMessageA(Item(300 + i), BM_SETSTYLE, kPushCases[i].type, FALSE);
    for (int i = 0; i < kPushCount; i++) {
        if (kPushCases[i].pushed)
            SendMessageA(Item(300 + i), BM_SETSTATE, TRUE, 0);
        if (!kPushCases[i].enabled)
            EnableWindow(Item(300 + i), FALSE);
    }
    L3tRepaint(dialog);
    L3tImage image = L3tCaptureWindow(dialog);
    for (int i = 0; i < kPushCount; i++) {
        const PushCase &c = kPushCases[i];
        SCOPED_TRACE(c.what);
        HWND b = Item(300 + i);
        CtlView v = CtlViewOf(image, dialog, b);
        int w = ClientWidth(b), h = ClientHeight(b);
        CtlPicture want = PushFace(w, h, c.twoRings, c.pushed);
        /* The caption's cells sit in the middle of the face. */
        SIZE t = CtlTextExtent(b, "OK");
        RECT text = { (w - t.cx) / 2 - 3, (h - t.cy) / 2 - 3, (w + t.cx) / 2 + 4,
                      (h + t.cy) / 2 + 4 };
        for (int y = text.top; y < text.bottom; y++)
            for (int x = text.left; x < text.right; x++)
                want.px.erase(std::make_pair(x, y));
        EXPECT_EQ(CtlMismatches(v, want, Whole(b), NULL, c.what), 0);
        CtlPixels grey = CtlFindColour(v, text, CtlSlot(L3C_GRAYTEXT));
        EXPECT_EQ(grey.count > 0, !c.enabled) << "caption in grey";
    }
}

TEST_F(OldButtons, PushedCaptionMovesAndStaysThreePixelsInside)
{
    static const char kShort[] = "Move", kLong[] = "A caption far too wide";
    const L3tItem items[] = {
        { 0x0080, NULL, "Focus", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 4, 50, 10, 319 },
        { 0x0080, NULL, kShort, kChild | BS_PUSHBUTTON, 4, 18, 57, 17, 320 },
        { 0x0080, NULL, kLong, kChild | BS_PUSHBUTTON, 4, 40, 30, 9, 321 },
    };
    ASSERT_TRUE(Make(items, 3, 80, 60));
    SetFocus(Item(319));
    const uint32_t text = CtlSlot(L3C_BTNTEXT);

    /* The caption's shift follows the face: centred inside the bevels when
     * raised, one pixel right and down of the centre of the pushed face. */
    HWND b = Item(320);
    int w = ClientWidth(b), h = ClientHeight(b);
    SIZE t = CtlTextExtent(b, kShort);
    CtlPixels up = CtlFindColour(CtlCapture(dialog, b), Whole(b), text);
    SendMessageA(b, BM_SETSTATE, TRUE, 0);
    CtlPixels down = CtlFindColour(CtlCapture(dialog, b), Whole(b), text);
    ASSERT_GT(up.count, 0);
    EXPECT_EQ(up.count, down.count);
    int dx = (2 + (w - 3 - t.cx) / 2 + 1) - (3 + (w - 6 - t.cx) / 2);
    int dy = (2 + (h - 3 - t.cy) / 2 + 1) - (3 + (h - 6 - t.cy) / 2);
    EXPECT_EQ(down.box.left - up.box.left, dx);
    EXPECT_EQ(down.box.top - up.box.top, dy);
    EXPECT_GE(dx, 1);
    EXPECT_GE(dy, 1);

    /* A caption wider than the face: pushed, its cells stop 3 pixels short
     * of the right and bottom edges and the frame stays whole. */
    HWND n = Item(321);
    SendMessageA(n, BM_SETSTATE, TRUE, 0);
    CtlView v = CtlCapture(dialog, n);
    w = ClientWidth(n);
    h = ClientHeight(n);
    ASSERT_GT(CtlTextExtent(n, kLong).cx, w);
    RECT edgeBand = { w - 3, 0, w, h };
    RECT bottomBand = { 0, h - 3, w, h };
    EXPECT_EQ(CtlFindColour(v, edgeBand, text).count, 0);
    EXPECT_EQ(CtlFindColour(v, bottomBand, text).count, 0);
    for (int y = 1; y < h - 1; y++)
        EXPECT_EQ(v.at(w - 1, y), CtlSlot(L3C_FRAME)) << "right frame at y " << y;
    for (int x = 1; x < w - 1; x++)
        EXPECT_EQ(v.at(x, h - 1), CtlSlot(L3C_FRAME)) << "bottom frame at x " << x;
}

/* ---- a caller's device context --------------------------------------- */

TEST_F(OldButtons, PaintIntoACallersDcLeavesItAsItWasFound)
{
    struct Case {
        const char *what;
        DWORD style;
    } cases[] = {
        { "push button", BS_PUSHBUTTON },
        { "default push button", BS_DEFPUSHBUTTON },
        { "check box", BS_AUTOCHECKBOX },
        { "radio button", BS_RADIOBUTTON },
        { "three-state check box", BS_3STATE },
        { "group box", BS_GROUPBOX },
    };
    const int n = sizeof cases / sizeof cases[0];
    std::vector<L3tItem> items;
    for (int i = 0; i < n; i++) {
        L3tItem it = { 0x0080, NULL, "Caller", kChild | cases[i].style, 4, (short)(4 + 20 * i),
                       60, 16, (WORD)(330 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), n, 80, (short)(8 + 20 * n)));
    for (int i = 0; i < n; i++) {
        SCOPED_TRACE(cases[i].what);
        ASSERT_TRUE(CtlHasLook(Item(330 + i)));
        CtlExpectCallersDcKept(Item(330 + i));
    }
}

/* ---- group boxes ----------------------------------------------------------- */

TEST_F(OldButtons, GroupBoxLineAtHalfTheCaptionOrXHeight)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Group", kChild | BS_GROUPBOX, 4, 4, 80, 40, 400 },
        { 0x0080, NULL, "", kChild | BS_GROUPBOX, 90, 4, 80, 40, 401 },
    };
    ASSERT_TRUE(Make(items, 2, 180, 50));
    const uint32_t hilite = CtlSlot(L3C_HILITE), shadow = CtlSlot(L3C_SHADOW);
    for (WORD id : { 400, 401 }) {
        SCOPED_TRACE(id == 400 ? "with a caption" : "with an empty caption");
        HWND g = Item(id);
        char caption[16];
        GetWindowTextA(g, caption, sizeof caption);
        SIZE t = CtlTextExtent(g, caption);
        int h = caption[0] != '\0' ? t.cy : CtlTextExtent(g, "X").cy;
        ASSERT_GT(h, 2);
        int w = ClientWidth(g), bottom = ClientHeight(g);
        CtlPicture want;
        RECT line = { 0, h / 2, w - 1, bottom - 1 };
        want.Edges(line, shadow, shadow, true, true, true, true);
        OffsetRect(&line, 1, 1);
        want.Edges(line, hilite, hilite, true, true, true, true);
        /* The caption's cells cover the line from 4 pixels in. */
        for (int y = 0; y < t.cy; y++)
            for (int x = 4; x < 4 + t.cx; x++)
                want.px.erase(std::make_pair(x, y));
        CtlView v = CtlCapture(dialog, g);
        EXPECT_EQ(CtlMismatches(v, want, Whole(g), NULL, caption), 0);
    }
}

TEST_F(OldButtons, NewGroupCaptionInvalidatesTheCaptionBandInTheParent)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Old", kChild | BS_GROUPBOX, 10, 8, 100, 40, 410 },
    };
    ASSERT_TRUE(Make(items, 1, 130, 60));
    HWND g = Item(410);
    UpdateWindow(dialog);
    ValidateRect(dialog, NULL);
    static const char kNew[] = "A longer caption";
    SetWindowTextA(g, kNew);
    RECT in = CtlRectIn(g, dialog);
    int h = CtlTextExtent(g, kNew).cy;
    RECT band = { in.left + 4, in.top, in.right, in.top + h };
    RECT updated;
    ASSERT_TRUE(GetUpdateRect(dialog, &updated, FALSE));
    EXPECT_TRUE(EqualRect(&updated, &band))
        << "update (" << updated.left << "," << updated.top << ")-(" << updated.right << ","
        << updated.bottom << "), band (" << band.left << "," << band.top << ")-("
        << band.right << "," << band.bottom << ")";
    /* Once painted, the new caption stands over the line. */
    GalleryPump();
    CtlView v = CtlCapture(dialog, g);
    RECT captionRows = { 0, 0, ClientWidth(g), h };
    CtlPixels text = CtlFindColour(v, captionRows, CtlSlot(L3C_BTNTEXT));
    int w = CtlTextExtent(g, kNew).cx;
    EXPECT_GE(text.box.right, 4 + w - 3);
    EXPECT_LE(text.box.right, 4 + w + 1);
}

TEST_F(OldButtons, GroupBoxStateChangeKeepsItsCaption)
{
    /* A state change repaints a group box with the glyph part alone; the
     * caption is drawn again over the line, not crossed out by it. */
    const L3tItem items[] = {
        { 0x0080, NULL, "Caption", kChild | BS_GROUPBOX, 4, 4, 80, 30, 420 },
    };
    ASSERT_TRUE(Make(items, 1, 100, 40));
    HWND g = Item(420);
    CtlView before = CtlCapture(dialog, g);
    ASSERT_GT(CtlFindColour(before, Whole(g), CtlSlot(L3C_BTNTEXT)).count, 0);
    SendMessageA(g, BM_SETSTATE, TRUE, 0);
    ASSERT_TRUE(SendMessageA(g, BM_GETSTATE, 0, 0) & BST_PUSHED);
    CtlView after = CtlCapture(dialog, g);
    int changed = 0;
    for (int y = 0; y < ClientHeight(g); y++)
        for (int x = 0; x < ClientWidth(g); x++)
            changed += before.at(x, y) != after.at(x, y);
    EXPECT_EQ(changed, 0);
}

/* ---- repaints around the system procedure ------------------------------ */

/* Differences between two captures of the same control. */
std::vector<POINT> Differences(const CtlView &a, const CtlView &b, const RECT &area)
{
    std::vector<POINT> d;
    for (int y = area.top; y < area.bottom; y++)
        for (int x = area.left; x < area.right; x++)
            if (a.at(x, y) != b.at(x, y))
                d.push_back(POINT{ x, y });
    return d;
}

bool OnOutline(const RECT &r, POINT p)
{
    bool inside = p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    return inside && (p.x == r.left || p.x == r.right - 1 || p.y == r.top || p.y == r.bottom - 1);
}

TEST_F(OldButtons, FocusRectangleFollowsTheFocusBitOnly)
{
    static const char kCaption[] = "Focus me";
    const L3tItem items[] = {
        { 0x0080, NULL, kCaption, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 4, 60, 12, 500 },
        { 0x0080, NULL, "Other", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 20, 60, 12, 501 },
    };
    ASSERT_TRUE(Make(items, 2, 80, 40));
    HWND a = Item(500);
    SetFocus(Item(501));
    L3tRepaint(dialog);
    CtlView base = CtlCapture(dialog, a);

    SIZE t = CtlTextExtent(a, kCaption);
    int top = (ClientHeight(a) - t.cy) / 2;
    RECT focus = { 17, top - 1, 18 + t.cx + 1, top + t.cy + 1 };
    RECT whole = Whole(a);
    IntersectRect(&focus, &focus, &whole);

    SetFocus(a);
    CtlView focused = CtlCapture(dialog, a);
    std::vector<POINT> d = Differences(base, focused, whole);
    EXPECT_FALSE(d.empty()) << "no focus rectangle drawn";
    for (POINT p : d)
        EXPECT_TRUE(OnOutline(focus, p)) << "changed pixel (" << p.x << "," << p.y << ")";

    /* A check change leaves the focus bit, so the rectangle stays. */
    SendMessageA(a, BM_SETCHECK, BST_CHECKED, 0);
    CtlView checked = CtlCapture(dialog, a);
    RECT cell = GlyphCell(a);
    for (POINT p : Differences(focused, checked, whole))
        EXPECT_TRUE(PtInRect(&cell, p)) << "changed pixel (" << p.x << "," << p.y << ")";

    /* Losing the focus takes the rectangle away again. */
    SetFocus(Item(501));
    CtlView left = CtlCapture(dialog, a);
    for (POINT p : Differences(base, left, whole))
        EXPECT_TRUE(PtInRect(&cell, p)) << "changed pixel (" << p.x << "," << p.y << ")";
}

/* ---- one focus rectangle, on the focused button alone ------------------- */

/* Where the look draws a check box's or radio button's focus rectangle:
 * around the caption, 18 pixels in, centred vertically, one pixel out. */
RECT FocusOutline(HWND button)
{
    char caption[64];
    GetWindowTextA(button, caption, sizeof caption);
    SIZE t = CtlTextExtent(button, caption);
    int top = (ClientHeight(button) - t.cy) / 2;
    RECT r = { 17, top - 1, 18 + t.cx + 1, top + t.cy + 1 };
    RECT whole = Whole(button);
    IntersectRect(&r, &r, &whole);
    return r;
}

/* Compares a button with its twin, which has the same style, size, font and
 * caption but never the focus. Focused: the pixels that differ lie on the
 * focus outline and cover each of its sides as a dotted line does, so there
 * is exactly one rectangle there (two at the same place cancel out, one
 * elsewhere adds pixels off the outline). Not focused: none differ. */
void ExpectFocusRectangle(const CtlView &button, const CtlView &twin, HWND window, bool focused)
{
    RECT whole = Whole(window);
    std::vector<POINT> d = Differences(button, twin, whole);
    if (!focused) {
        EXPECT_TRUE(d.empty()) << d.size() << " pixels differ from the twin, first at ("
                               << (d.empty() ? 0 : d[0].x) << "," << (d.empty() ? 0 : d[0].y)
                               << ")";
        return;
    }
    RECT outline = FocusOutline(window);
    int off = 0;
    int side[4] = { 0, 0, 0, 0 };     /* left, top, right, bottom */
    for (POINT p : d) {
        if (!OnOutline(outline, p)) {
            if (off++ < 3)
                ADD_FAILURE() << "changed pixel (" << p.x << "," << p.y << ") off the outline";
            continue;
        }
        side[0] += p.x == outline.left;
        side[1] += p.y == outline.top;
        side[2] += p.x == outline.right - 1;
        side[3] += p.y == outline.bottom - 1;
    }
    EXPECT_EQ(off, 0);
    const int height = outline.bottom - outline.top, width = outline.right - outline.left;
    EXPECT_GE(side[0], height / 2 - 1) << "left side";
    EXPECT_GE(side[1], width / 2 - 1) << "top side";
    EXPECT_GE(side[2], height / 2 - 1) << "right side";
    EXPECT_GE(side[3], width / 2 - 1) << "bottom side";
}

const WORD kHolder = 520, kBox = 521, kBoxTwin = 522, kRadio = 523, kRadioTwin = 524;

void SetTextBoth(HWND b, HWND twin)
{
    SetWindowTextA(b, "Renamed box");
    SetWindowTextA(twin, "Renamed box");
}

void InvalidateErasing(HWND b, HWND twin)
{
    for (HWND w : { b, twin }) {
        InvalidateRect(w, NULL, TRUE);
        UpdateWindow(w);
    }
}

void InvalidateNotErasing(HWND b, HWND twin)
{
    for (HWND w : { b, twin }) {
        InvalidateRect(w, NULL, FALSE);
        UpdateWindow(w);
    }
}

void NewFont(HWND b, HWND twin)
{
    for (HWND w : { b, twin }) {
        SendMessageA(w, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), TRUE);
        UpdateWindow(w);
    }
}

void SameStyleRedrawn(HWND b, HWND twin)
{
    for (HWND w : { b, twin }) {
        SendMessageA(w, BM_SETSTYLE, GetWindowLongA(w, GWL_STYLE) & 0xFFFF, TRUE);
        UpdateWindow(w);
    }
}

struct FocusStep {
    const char *what;
    WORD focus;                     /* gets the focus first, or 0 */
    WORD changed;                   /* the button changed with its twin, or 0 */
    void (*change)(HWND button, HWND twin);
    WORD focused;                   /* holds the focus afterwards */
};
const FocusStep kFocusSteps[] = {
    { "the check box gets the focus", kBox, 0, NULL, kBox },
    { "new text on the focused check box", 0, kBox, SetTextBoth, kBox },
    { "the focus moves to the radio button", kRadio, 0, NULL, kRadio },
    { "invalidated with erasing, updated", 0, kRadio, InvalidateErasing, kRadio },
    { "invalidated without erasing, updated", 0, kRadio, InvalidateNotErasing, kRadio },
    { "WM_SETFONT with redraw", 0, kRadio, NewFont, kRadio },
    { "BM_SETSTYLE with redraw", 0, kRadio, SameStyleRedrawn, kRadio },
    { "the focus moves back to the check box", kBox, 0, NULL, kBox },
};

TEST_F(OldButtons, OneFocusRectangleOnTheFocusedButtonAfterEveryRepaint)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Hold", kChild | WS_TABSTOP | BS_PUSHBUTTON, 4, 4, 40, 14, kHolder },
        { 0x0080, NULL, "Check box", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 22, 70, 12, kBox },
        { 0x0080, NULL, "Check box", kChild | BS_AUTOCHECKBOX, 80, 22, 70, 12, kBoxTwin },
        { 0x0080, NULL, "Radio", kChild | WS_TABSTOP | BS_RADIOBUTTON, 4, 38, 70, 12, kRadio },
        { 0x0080, NULL, "Radio", kChild | BS_RADIOBUTTON, 80, 38, 70, 12, kRadioTwin },
    };
    ASSERT_TRUE(Make(items, 5, 160, 56));
    SetFocus(Item(kHolder));
    L3tRepaint(dialog);
    for (const FocusStep &step : kFocusSteps) {
        SCOPED_TRACE(step.what);
        if (step.focus != 0)
            SetFocus(Item(step.focus));
        if (step.change != NULL)
            step.change(Item(step.changed), Item(step.changed + 1));
        GalleryPump();
        ASSERT_EQ(GetFocus(), Item(step.focused));
        L3tImage image = L3tCaptureWindow(dialog);
        for (WORD id : { kBox, kRadio }) {
            SCOPED_TRACE(id == kBox ? "check box" : "radio button");
            HWND b = Item(id);
            EXPECT_EQ((SendMessageA(b, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0, id == step.focused)
                << "the focus bit";
            ExpectFocusRectangle(CtlViewOf(image, dialog, b),
                                 CtlViewOf(image, dialog, Item(id + 1)), b, id == step.focused);
        }
    }
}

struct StateCase {
    const char *what;
    UINT message;
    WPARAM wParam;
    int column;     /* glyph cell after it; -1: nothing may be painted */
};
const StateCase kStateCases[] = {
    { "BM_SETCHECK clear, unchanged", BM_SETCHECK, BST_UNCHECKED, -1 },
    { "BM_SETSTATE released, unchanged", BM_SETSTATE, FALSE, -1 },
    { "BM_SETCHECK checked", BM_SETCHECK, BST_CHECKED, 1 },
    { "BM_SETSTATE pushed", BM_SETSTATE, TRUE, 3 },
    { "BM_SETSTATE pushed, unchanged again", BM_SETSTATE, TRUE, -1 },
};

TEST_F(OldButtons, StateChangesPaintTheGlyphAloneAndNoChangePaintsNothing)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Marked", kChild | BS_CHECKBOX, 4, 4, 60, 12, 600 },
    };
    ASSERT_TRUE(Make(items, 1, 80, 24));
    HWND b = Item(600);
    GlyphSheet sheet;
    RECT whole = Whole(b), cell = GlyphCell(b);
    for (const StateCase &c : kStateCases) {
        SCOPED_TRACE(c.what);
        CtlPaintMarker(dialog, b, whole);
        SendMessageA(b, c.message, c.wParam, 0);
        CtlView v = CtlCapture(dialog, b);
        CtlPicture want;
        if (c.column >= 0)
            for (int y = 0; y < L3_GLYPH_CY; y++)
                for (int x = 0; x < L3_GLYPH_CX; x++)
                    want.Set(cell.left + x, cell.top + y, sheet.at(c.column, 0, x, y));
        /* Nothing is free: every pixel outside the glyph keeps the marker. */
        const RECT none = { 0, 0, 0, 0 };
        EXPECT_EQ(CtlMismatches(v, want, whole, &none, c.what), 0);
    }
}

TEST_F(OldButtons, AutoRadioButtonIsReleasedWhenItLosesTheFocus)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Auto", kChild | WS_TABSTOP | BS_AUTORADIOBUTTON, 4, 4, 60, 12, 700 },
        { 0x0080, NULL, "Plain", kChild | WS_TABSTOP | BS_RADIOBUTTON, 4, 20, 60, 12, 701 },
        { 0x0080, NULL, "Other", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 36, 60, 12, 702 },
    };
    ASSERT_TRUE(Make(items, 3, 80, 54));
    GlyphSheet sheet;
    struct {
        const char *what;
        WORD id;
        bool staysPushed;
    } cases[] = { { "auto radio button", 700, false }, { "radio button", 701, true } };
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        HWND b = Item(c.id);
        SetFocus(b);
        SendMessageA(b, BM_SETSTATE, TRUE, 0);
        ASSERT_TRUE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
        SetFocus(Item(702));
        bool pushed = (SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
        EXPECT_EQ(pushed, c.staysPushed);
        CtlView v = CtlCapture(dialog, b);
        EXPECT_EQ(GlyphMismatches(v, b, sheet, c.staysPushed ? 2 : 0, 1), 0);
    }
}

/* The system procedure as the look calls it, watched: was the button
 * visible while it ran? */
WNDPROC systemButtonProc;
std::map<UINT, bool> visibleDuring;

LRESULT CALLBACK WatchingProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_ENABLE || m == WM_SETTEXT || m == BM_SETCHECK || m == BM_SETSTATE
        || m == WM_SETFOCUS || m == WM_KILLFOCUS)
        visibleDuring[m] = (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0;
    return CallWindowProcA(systemButtonProc, w, m, wp, lp);
}

TEST_F(OldButtons, VisibleBitClearedAroundTheSystemProcedureAndAlwaysRestored)
{
    const L3tItem items[] = {
        { 0x0080, NULL, "Watched", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 4, 60, 12, 800 },
        { 0x0080, NULL, "Other", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 20, 60, 12, 801 },
    };
    ASSERT_TRUE(Make(items, 2, 80, 40));
    HWND b = Item(800);
    SetFocus(Item(801));
    systemButtonProc = Look3dFindOldProc(b);
    ASSERT_TRUE(systemButtonProc != NULL);
    SetPropA(b, MAKEINTATOM(Look3d.oldProcAtom), (HANDLE)WatchingProc);
    visibleDuring.clear();

    struct Step {
        const char *name;
        UINT message;
        bool visible;   /* while the system procedure runs */
        void (*act)(HWND b, HWND other);
    };
    const Step steps[] = {
        { "disable", WM_ENABLE, false, [](HWND b, HWND) { EnableWindow(b, FALSE); } },
        { "enable", WM_ENABLE, false, [](HWND b, HWND) { EnableWindow(b, TRUE); } },
        { "text", WM_SETTEXT, false, [](HWND b, HWND) { SetWindowTextA(b, "New"); } },
        { "check", BM_SETCHECK, false,
          [](HWND b, HWND) { SendMessageA(b, BM_SETCHECK, BST_CHECKED, 0); } },
        { "push", BM_SETSTATE, false, [](HWND b, HWND) { SendMessageA(b, BM_SETSTATE, TRUE, 0); } },
        { "focus", WM_SETFOCUS, true, [](HWND b, HWND) { SetFocus(b); } },
        { "unfocus", WM_KILLFOCUS, false, [](HWND, HWND other) { SetFocus(other); } },
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        visibleDuring.erase(s.message);
        s.act(b, Item(801));
        ASSERT_EQ(visibleDuring.count(s.message), 1u) << "the system procedure saw it";
        EXPECT_EQ(visibleDuring[s.message], s.visible) << "visible while it ran";
        EXPECT_TRUE(GetWindowLongA(b, GWL_STYLE) & WS_VISIBLE) << "visible afterwards";
    }
    SetPropA(b, MAKEINTATOM(Look3d.oldProcAtom), (HANDLE)systemButtonProc);
}

/* ---- which buttons get the look ----------------------------------------- */

struct WhoCase {
    const char *what;
    DWORD style;
    bool old;       /* gets the look below 3.95 */
};
const WhoCase kWhoCases[] = {
    { "BS_PUSHBUTTON", BS_PUSHBUTTON, true },
    { "BS_AUTOCHECKBOX", BS_AUTOCHECKBOX, true },
    { "BS_GROUPBOX", BS_GROUPBOX, true },
    { "BS_USERBUTTON", BS_USERBUTTON, true },
    { "BS_AUTOCHECKBOX | BS_LEFTTEXT", BS_AUTOCHECKBOX | BS_LEFTTEXT, false },
    { "BS_OWNERDRAW", BS_OWNERDRAW, false },
    { "BS_PUSHBUTTON | BS_FLAT", BS_PUSHBUTTON | BS_FLAT, false },
    { "BS_RADIOBUTTON | BS_PUSHLIKE", BS_RADIOBUTTON | BS_PUSHLIKE, false },
};
const int kWhoCount = sizeof kWhoCases / sizeof kWhoCases[0];

std::vector<L3tItem> WhoItems()
{
    std::vector<L3tItem> items;
    for (int i = 0; i < kWhoCount; i++) {
        L3tItem it = { 0x0080, NULL, "B", kChild | kWhoCases[i].style, 4, (short)(4 + 12 * i),
                       40, 10, (WORD)(900 + i) };
        items.push_back(it);
    }
    /* A static beside them shows that the dialog passes the look on. */
    L3tItem s = { 0x0082, NULL, "S", kChild | SS_LEFT, 50, 4, 20, 10, 999 };
    items.push_back(s);
    return items;
}

TEST_F(OldButtons, LeftTextOwnerDrawnAndOtherStyleBitsKeepTheSystemLook)
{
    std::vector<L3tItem> items = WhoItems();
    ASSERT_TRUE(Make(items.data(), (int)items.size(), 80, 104));
    for (int i = 0; i < kWhoCount; i++) {
        SCOPED_TRACE(kWhoCases[i].what);
        HWND b = Item(900 + i);
        EXPECT_EQ(CtlHasLook(b), kWhoCases[i].old) << "the old-procedure property";
        EXPECT_EQ((WNDPROC)GetWindowLongPtrA(b, GWLP_WNDPROC) == Look3dButtonProc,
                  kWhoCases[i].old)
            << "the look's procedure";
    }
}

TEST_F(CurrentButtons, ButtonsAreLeftToTheSystem)
{
    std::vector<L3tItem> items = WhoItems();
    ASSERT_TRUE(Make(items.data(), (int)items.size(), 80, 104));
    ASSERT_TRUE(CtlHasLook(Item(999)));
    for (int i = 0; i < kWhoCount; i++) {
        SCOPED_TRACE(kWhoCases[i].what);
        EXPECT_FALSE(CtlHasLook(Item(900 + i)));
    }
}

}  // namespace
