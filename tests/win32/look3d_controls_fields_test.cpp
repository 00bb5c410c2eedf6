/*
 * The look's edit, list and combo box frames on real windows: the two rings
 * on each side and the scroll-bar lines, the drop-down list's button-area
 * lines and validated band, nothing drawn while a list is dropped, a simple
 * combo box's joined frames, the drop-down combo box's edit framed in the
 * combo box's parent, the frame band invalidated before a move or resize,
 * and which of these controls get the look on which version.
 *
 * The frame is checked on a marker: the band around the control is painted
 * with a colour the look never uses, then only the control repaints itself;
 * every pixel outside the control's client area must then be either what
 * the frame lays down or still the marker.
 */
#include "look3d_controls_fixture.h"

namespace {

const DWORD kChild = WS_CHILD | WS_VISIBLE;

enum FrameKind {
    FRAME_PLAIN,        /* edit or list box of its own */
    FRAME_DROPLIST,     /* drop-down-list combo box */
    FRAME_SIMPLEEDIT,   /* the edit of a simple combo box */
    FRAME_SIMPLELIST,   /* the list of a simple combo box */
};

/* What the frame painter lays down around a control of size w x h, in the
 * control's window coordinates. */
CtlPicture FieldFrame(int w, int h, LONG style, FrameKind kind)
{
    const uint32_t frame = CtlSlot(L3C_FRAME), face = CtlSlot(L3C_FACE);
    const uint32_t hilite = CtlSlot(L3C_HILITE), shadow = CtlSlot(L3C_SHADOW);
    bool top = true, left = true, right = true, bottom = true;
    if (style & WS_HSCROLL)
        bottom = false;
    if (style & WS_VSCROLL)
        right = false;
    RECT r = { 0, 0, w, h };
    if (kind == FRAME_SIMPLEEDIT)
        bottom = false;
    if (kind == FRAME_SIMPLELIST) {
        top = false;
        r.top += 1;
    }
    CtlPicture p;
    p.Edges(r, frame, face, top, left, right, bottom);
    RECT outer = r;
    InflateRect(&outer, 1, 1);
    p.Edges(outer, shadow, hilite, top, left, right, bottom);
    if (kind == FRAME_DROPLIST) {
        RECT button = { w - GetSystemMetrics(SM_CXVSCROLL), r.top, w, h };
        p.Edges(button, frame, frame, false, false, true, true);
        return p;
    }
    if (style & WS_VSCROLL) {
        p.Column(w, r.top, h, hilite);
        p.Row(h - 1, w - GetSystemMetrics(SM_CXVSCROLL), w, frame);
    }
    if (style & WS_HSCROLL) {
        p.Row(h, 0, w, hilite);
        p.Column(w - 1, h - GetSystemMetrics(SM_CYHSCROLL), h, frame);
    }
    return p;
}

SIZE SizeOf(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    SIZE s = { r.right - r.left, r.bottom - r.top };
    return s;
}

/* Paints the marker around control, lets only the control repaint, and
 * counts the pixels that differ from the frame of kind. */
int FrameMismatches(HWND dialog, HWND control, FrameKind kind, const char *what)
{
    SIZE s = SizeOf(control);
    RECT band = { -2, -2, s.cx + 2, s.cy + 2 };
    CtlPaintMarker(dialog, control, band);
    CtlRepaintOnly(control);
    CtlView v = CtlCapture(dialog, control);
    RECT client = L3tClientInWindow(control);
    CtlPicture want = FieldFrame(s.cx, s.cy, GetWindowLongA(control, GWL_STYLE), kind);
    return CtlMismatches(v, want, band, &client, what);
}

/* The marker is still on every pixel around control's client area. */
int DrawnAround(HWND dialog, HWND control, const char *what)
{
    SIZE s = SizeOf(control);
    RECT band = { -2, -2, s.cx + 2, s.cy + 2 };
    CtlView v = CtlCapture(dialog, control);
    RECT client = L3tClientInWindow(control);
    return CtlMismatches(v, CtlPicture(), band, &client, what);
}

HWND ComboChild(HWND combo, const char *cls)
{
    return FindWindowExA(combo, NULL, cls, NULL);
}

class OldFields : public OldFixture {};
class CurrentFields : public CurrentFixture {};

/* ---- rings and scroll-bar lines ----------------------------------------- */

struct RingCase {
    WORD cls;
    DWORD style;
    const char *what;
};
const RingCase kRingCases[] = {
    { 0x0081, WS_BORDER, "edit" },
    { 0x0081, WS_BORDER | ES_MULTILINE | WS_VSCROLL, "edit, vertical bar" },
    { 0x0081, WS_BORDER | ES_MULTILINE | WS_HSCROLL, "edit, horizontal bar" },
    { 0x0081, WS_BORDER | ES_MULTILINE | WS_VSCROLL | WS_HSCROLL, "edit, both bars" },
    { 0x0083, WS_BORDER, "list" },
    { 0x0083, WS_BORDER | WS_VSCROLL | LBS_DISABLENOSCROLL, "list, vertical bar" },
};
const int kRingCount = sizeof kRingCases / sizeof kRingCases[0];

TEST_F(OldFields, RingsOnEachSideAndScrollBarLines)
{
    std::vector<L3tItem> items;
    for (int i = 0; i < kRingCount; i++) {
        L3tItem it = { kRingCases[i].cls, NULL, "", kChild | kRingCases[i].style,
                       (short)(6 + (i % 2) * 80), (short)(6 + (i / 2) * 40), 70, 30,
                       (WORD)(100 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), kRingCount, 166, 126));
    for (int i = 0; i < kRingCount; i++) {
        SCOPED_TRACE(kRingCases[i].what);
        HWND c = Item(100 + i);
        ASSERT_TRUE(CtlHasLook(c));
        EXPECT_EQ(FrameMismatches(dialog, c, FRAME_PLAIN, kRingCases[i].what), 0);
    }
}

/* ---- combo boxes ---------------------------------------------------------- */

const L3tItem kCombos[] = {
    { 0x0085, NULL, "", kChild | CBS_DROPDOWNLIST, 6, 6, 70, 60, 200 },
    { 0x0085, NULL, "", kChild | CBS_DROPDOWN, 90, 6, 70, 60, 201 },
    { 0x0085, NULL, "", kChild | CBS_SIMPLE, 6, 30, 70, 60, 202 },
};

class OldCombos : public OldFields {
protected:
    void SetUp() override
    {
        OldFields::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(Make(kCombos, 3, 170, 100));
        for (WORD id = 200; id <= 202; id++)
            for (const char *s : { "One", "Two", "Three" })
                SendMessageA(Item(id), CB_ADDSTRING, 0, (LPARAM)s);
        L3tRepaint(dialog);
    }

    /* While the combo box's list is dropped, repainting `control` draws
     * nothing around it in the dialog (a marker painted there stays). */
    void ExpectNothingDrawnWhileDropped(HWND combo, HWND control, const char *what)
    {
        SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
        GalleryPump();
        ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)) << what;
        SIZE s = SizeOf(control);
        RECT band = { -2, -2, s.cx + 2, s.cy + 2 };
        CtlPaintMarker(dialog, control, band);
        CtlRepaintOnly(control);
        EXPECT_EQ(DrawnAround(dialog, control, what), 0);
        SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
        GalleryPump();
    }
};

TEST_F(OldCombos, DropDownListFramedWithButtonLinesAndItsBandValidated)
{
    HWND combo = Item(200);
    ASSERT_TRUE(CtlHasLook(combo));
    EXPECT_EQ(FrameMismatches(dialog, combo, FRAME_DROPLIST, "drop-down list"), 0);

    /* After the combo box's own paint the band is no longer due in the parent. */
    UpdateWindow(dialog);
    RedrawWindow(dialog, NULL, NULL, RDW_INVALIDATE | RDW_ALLCHILDREN);
    UpdateWindow(combo);
    RECT r = CtlRectIn(combo, dialog);
    HRGN due = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetUpdateRgn(dialog, due, FALSE), ERROR);
    EXPECT_FALSE(PtInRegion(due, r.left - 1, (r.top + r.bottom) / 2)) << "left of the band";
    EXPECT_FALSE(PtInRegion(due, r.right, (r.top + r.bottom) / 2)) << "right of the band";
    EXPECT_FALSE(PtInRegion(due, (r.left + r.right) / 2, r.bottom)) << "below the band";
    EXPECT_TRUE(PtInRegion(due, r.left - 3, (r.top + r.bottom) / 2)) << "outside the band";
    DeleteObject(due);
    GalleryPump();
}

TEST_F(OldCombos, DropDownEditFramedInTheDialogAndNothingWhileDropped)
{
    HWND combo = Item(201);
    HWND edit = ComboChild(combo, "Edit");
    ASSERT_TRUE(edit != NULL);
    EXPECT_FALSE(CtlHasLook(combo));
    ASSERT_TRUE(CtlHasLook(edit));
    EXPECT_EQ(FrameMismatches(dialog, edit, FRAME_PLAIN, "drop-down edit"), 0);

    ExpectNothingDrawnWhileDropped(combo, edit, "edit while dropped");
}

TEST_F(OldCombos, DropDownListDrawsNothingWhileDropped)
{
    HWND combo = Item(200);
    ExpectNothingDrawnWhileDropped(combo, combo, "drop-down list while dropped");
}

TEST_F(OldCombos, SimpleComboEditAndListFramesJoin)
{
    HWND combo = Item(202);
    HWND edit = ComboChild(combo, "Edit");
    HWND list = ComboChild(combo, "ComboLBox");
    ASSERT_TRUE(edit != NULL);
    ASSERT_TRUE(list != NULL);
    ASSERT_TRUE(CtlHasLook(combo));
    ASSERT_TRUE(CtlHasLook(edit));
    ASSERT_TRUE(CtlHasLook(list));
    /* The system makes the list as wide as the combo box, so the edit's
     * separate bottom lines have nothing to cover. Nothing else is drawn
     * between the two frames: the edit's has no bottom rings, the list's
     * no top rings, and both are checked on the marker. */
    ASSERT_GE(SizeOf(list).cx, SizeOf(edit).cx);
    EXPECT_EQ(FrameMismatches(dialog, edit, FRAME_SIMPLEEDIT, "simple edit"), 0);
    EXPECT_EQ(FrameMismatches(dialog, list, FRAME_SIMPLELIST, "simple list"), 0);
}

/* ---- the frame band before moves and size changes ----------------------- */

struct MoveCase {
    const char *what;
    int dx, dy, dcx, dcy;
    UINT flags;
    bool invalidates;   /* the frame band is due in the parent afterwards */
};

TEST_F(OldFields, WindowPosChangingInvalidatesOnlyTheBandThatChanges)
{
    const L3tItem items[] = {
        { 0x0081, NULL, "Edit", kChild | WS_BORDER, 10, 10, 80, 30, 300 },
        /* Without integral height: the list box would round the new height
         * itself, after the look has seen the requested one. */
        { 0x0083, NULL, "", kChild | WS_BORDER | WS_VSCROLL | LBS_DISABLENOSCROLL
                            | LBS_NOINTEGRALHEIGHT, 100, 10, 60, 40, 301 },
    };
    ASSERT_TRUE(Make(items, 2, 180, 70));
    const MoveCase cases[] = {
        { "no-op", 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE, false },
        { "shrink height", 0, 0, 0, -6, SWP_NOMOVE, true },
        { "move", 5, 0, 0, 0, SWP_NOSIZE, true },
    };
    for (WORD id : { 300, 301 }) {
        SCOPED_TRACE(id == 300 ? "edit" : "list box");
        HWND c = Item(id);
        for (const MoveCase &m : cases) {
            SCOPED_TRACE(m.what);
            L3tRepaint(dialog);
            ValidateRect(dialog, NULL);
            RECT before = CtlRectIn(c, dialog);
            int w = before.right - before.left, h = before.bottom - before.top;
            SetWindowPos(c, NULL, before.left + m.dx, before.top + m.dy, w + m.dcx, h + m.dcy,
                         m.flags | SWP_NOZORDER | SWP_NOACTIVATE);
            RECT due = { 0, 0, 0, 0 };
            BOOL any = GetUpdateRect(dialog, &due, FALSE);
            if (!m.invalidates) {
                EXPECT_FALSE(any);
                continue;
            }
            RECT band = before;
            InflateRect(&band, 1, 1);
            if (GetWindowLongA(c, GWL_STYLE) & WS_VSCROLL)
                band.right += 1;
            if (m.dcy < 0)
                band.top = before.top + h + m.dcy;  /* from the new bottom edge down */
            EXPECT_TRUE(EqualRect(&due, &band))
                << "due (" << due.left << "," << due.top << ")-(" << due.right << ","
                << due.bottom << "), band (" << band.left << "," << band.top << ")-("
                << band.right << "," << band.bottom << ")";
            SetWindowPos(c, NULL, before.left, before.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

/* ---- which controls get the look ------------------------------------------ */

struct WhoCase {
    const char *what;
    WORD id;
    const char *child;  /* class of the combo box's child to look at, or NULL */
    bool old, current;  /* gets the look below 3.95, from 3.95 on */
};
const WhoCase kWho[] = {
    { "edit", 400, NULL, true, true },
    { "list box", 401, NULL, true, true },
    { "drop-down list", 200, NULL, true, false },
    { "drop-down combo box", 201, NULL, false, false },
    { "drop-down combo box's edit", 201, "Edit", true, false },
    { "simple combo box", 202, NULL, true, false },
    { "simple combo box's edit", 202, "Edit", true, false },
    { "simple combo box's list", 202, "ComboLBox", true, false },
};

void CheckWho(HWND dialog, bool old)
{
    for (const WhoCase &w : kWho) {
        SCOPED_TRACE(w.what);
        HWND c = GetDlgItem(dialog, w.id);
        if (w.child != NULL)
            c = ComboChild(c, w.child);
        ASSERT_TRUE(c != NULL);
        EXPECT_EQ(CtlHasLook(c), old ? w.old : w.current);
    }
}

std::vector<L3tItem> WhoItems()
{
    std::vector<L3tItem> items(kCombos, kCombos + 3);
    L3tItem edit = { 0x0081, NULL, "Edit", kChild | WS_BORDER, 90, 30, 70, 14, 400 };
    L3tItem list = { 0x0083, NULL, "", kChild | WS_BORDER, 90, 50, 70, 30, 401 };
    items.push_back(edit);
    items.push_back(list);
    return items;
}

TEST_F(OldFields, EveryFieldAndComboPartGetsTheLookBelow395)
{
    std::vector<L3tItem> items = WhoItems();
    ASSERT_TRUE(Make(items.data(), (int)items.size(), 170, 100));
    CheckWho(dialog, true);
}

TEST_F(CurrentFields, OnlyEditsAndListsOfTheirOwnAreFramed)
{
    std::vector<L3tItem> items = WhoItems();
    ASSERT_TRUE(Make(items.data(), (int)items.size(), 170, 100));
    CheckWho(dialog, false);
    EXPECT_EQ(FrameMismatches(dialog, Item(400), FRAME_PLAIN, "edit"), 0);
    EXPECT_EQ(FrameMismatches(dialog, Item(401), FRAME_PLAIN, "list"), 0);
}

}  // namespace
