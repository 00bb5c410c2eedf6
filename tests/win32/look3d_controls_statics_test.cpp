/*
 * The look's statics on real windows, under nt351 and at the current
 * version alike: sunken, etched and raised frames with their insides left
 * alone; text on the parent's static background, grey while disabled and
 * repainted at once when enabled or disabled; SS_NOPREFIX;
 * SS_LEFTNOWORDWRAP with tabs; an empty text; the types the look leaves to
 * the system; an invisible static.
 */
#include "look3d_controls_fixture.h"

namespace {

const DWORD kChild = WS_CHILD | WS_VISIBLE;

class Statics : public CtlFixture {};
class CurrentStatics : public CurrentFixture {};

RECT WholeOf(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    return r;
}

/* ---- rectangles and frames ------------------------------------------------ */

/* What the look draws for a rectangle or frame type of size w x h. */
CtlPicture FramePicture(UINT type, int w, int h)
{
    const uint32_t hilite = CtlSlot(L3C_HILITE), shadow = CtlSlot(L3C_SHADOW);
    CtlPicture p;
    RECT r = { 0, 0, w, h };
    switch (type) {
    case SS_BLACKRECT:
    case SS_BLACKFRAME:     /* sunken */
        p.Edges(r, shadow, hilite, true, true, true, true);
        break;
    case SS_WHITERECT:
    case SS_WHITEFRAME:     /* raised */
        p.Edges(r, hilite, shadow, true, true, true, true);
        break;
    default: {              /* etched: shadow rectangle over a highlight one */
        RECT lower = { 1, 1, w, h }, upper = { 0, 0, w - 1, h - 1 };
        p.Edges(lower, hilite, hilite, true, true, true, true);
        p.Edges(upper, shadow, shadow, true, true, true, true);
        break;
    }
    }
    return p;
}

TEST_F(Statics, RectanglesAndFramesAreOnePixelFramesWithInsidesLeftAlone)
{
    const UINT types[] = { SS_BLACKRECT, SS_GRAYRECT, SS_WHITERECT,
                           SS_BLACKFRAME, SS_GRAYFRAME, SS_WHITEFRAME };
    const char *const names[] = { "SS_BLACKRECT", "SS_GRAYRECT", "SS_WHITERECT",
                                  "SS_BLACKFRAME", "SS_GRAYFRAME", "SS_WHITEFRAME" };
    std::vector<L3tItem> items;
    for (int i = 0; i < 6; i++) {
        L3tItem it = { 0x0082, NULL, "", kChild | types[i], (short)(6 + 40 * (i % 3)),
                       (short)(6 + 24 * (i / 3)), 30, 16, (WORD)(100 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), 6, 130, 56));
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(names[i]);
        HWND s = Item(100 + i);
        ASSERT_TRUE(CtlHasLook(s));
        RECT whole = WholeOf(s);
        CtlPaintMarker(dialog, s, whole);
        CtlRepaintOnly(s);
        CtlView v = CtlCapture(dialog, s);
        const RECT none = { 0, 0, 0, 0 };
        EXPECT_EQ(CtlMismatches(v, FramePicture(types[i], whole.right, whole.bottom), whole,
                                &none, names[i]),
                  0);
    }
}

/* ---- text ------------------------------------------------------------------- */

/* The ink of a text static: every pixel that is not the face background,
 * and of those the pixels in the text and in the grey-text colour. */
struct Ink {
    CtlPixels all, text, grey;
};
Ink InkOf(const CtlView &v, const RECT &area)
{
    const uint32_t face = CtlSlot(L3C_FACE);
    Ink k;
    k.all = CtlScan(v, area, [face](uint32_t c) { return c != face; });
    k.text = CtlFindColour(v, area, CtlSlot(L3C_BTNTEXT));
    k.grey = CtlFindColour(v, area, CtlSlot(L3C_GRAYTEXT));
    return k;
}

TEST_F(Statics, DisabledTextIsGreyAndEnablingRepaintsAtOnce)
{
    const L3tItem items[] = {
        { 0x0082, NULL, "Hello", kChild | WS_DISABLED | SS_LEFT, 6, 6, 60, 10, 200 },
    };
    ASSERT_TRUE(Make(items, 1, 80, 24));
    HWND s = Item(200);
    ASSERT_TRUE(CtlHasLook(s));
    RECT whole = WholeOf(s);
    Ink disabled = InkOf(CtlCapture(dialog, s), whole);
    EXPECT_GT(disabled.grey.count, 0);
    EXPECT_EQ(disabled.text.count, 0);

    /* Enabled and disabled again: painted before any message is dispatched,
     * and nothing left waiting for WM_PAINT. */
    struct {
        const char *what;
        BOOL enable;
        bool grey;
    } steps[] = { { "enabled", TRUE, false }, { "disabled again", FALSE, true } };
    for (auto step : steps) {
        SCOPED_TRACE(step.what);
        ValidateRect(dialog, NULL);
        EnableWindow(s, step.enable);
        RECT due;
        EXPECT_FALSE(GetUpdateRect(s, &due, FALSE));
        Ink now = InkOf(CtlCaptureNow(dialog, s), whole);
        EXPECT_EQ(now.grey.count > 0, step.grey) << "text in grey";
        EXPECT_EQ(now.text.count > 0, !step.grey) << "text in button text";
    }
}


TEST_F(Statics, NoPrefixDrawsTheAmpersand)
{
    const L3tItem items[] = {
        { 0x0082, NULL, "W&W", kChild | SS_LEFT, 6, 6, 60, 10, 210 },
        { 0x0082, NULL, "W&W", kChild | SS_LEFT | SS_NOPREFIX, 6, 20, 60, 10, 211 },
    };
    ASSERT_TRUE(Make(items, 2, 80, 36));
    L3tImage image = L3tCaptureWindow(dialog);
    HWND plain = Item(210), raw = Item(211);
    Ink marked = InkOf(CtlViewOf(image, dialog, plain), WholeOf(plain));
    Ink literal = InkOf(CtlViewOf(image, dialog, raw), WholeOf(raw));
    int widthWW = CtlTextExtent(plain, "WW").cx, widthAmp = CtlTextExtent(plain, "W&W").cx;
    ASSERT_GT(widthAmp, widthWW + 2);
    /* "W&W": two letters, the second underlined; with SS_NOPREFIX three characters. */
    EXPECT_NEAR(marked.all.box.right - marked.all.box.left, widthWW, 3);
    EXPECT_NEAR(literal.all.box.right - literal.all.box.left, widthAmp, 3);
    EXPECT_GT(marked.all.box.bottom, literal.all.box.bottom) << "the underline reaches lower";
}

TEST_F(Statics, LeftNoWordWrapExpandsTabsAndKeepsToOneLine)
{
    static const char kTabbed[] = "A\tB";
    static const char kLong[] = "one two three four five six seven";
    const L3tItem items[] = {
        { 0x0082, NULL, kTabbed, kChild | SS_LEFTNOWORDWRAP, 6, 6, 120, 10, 220 },
        { 0x0082, NULL, kLong, kChild | SS_LEFTNOWORDWRAP, 6, 20, 50, 20, 221 },
        { 0x0082, NULL, kLong, kChild | SS_LEFT, 6, 44, 50, 20, 222 },
    };
    ASSERT_TRUE(Make(items, 3, 140, 70));
    L3tImage image = L3tCaptureWindow(dialog);

    /* The B stands at the first tab stop: eight average characters in. */
    HWND tabbed = Item(220);
    TEXTMETRICA tm;
    HDC dc = GetDC(tabbed);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(tabbed, WM_GETFONT, 0, 0));
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(tabbed, dc);
    int stop = 8 * tm.tmAveCharWidth;
    CtlView v = CtlViewOf(image, dialog, tabbed);
    RECT afterA = { CtlTextExtent(tabbed, "A").cx + 1, 0, WholeOf(tabbed).right, WholeOf(tabbed).bottom };
    Ink b = InkOf(v, afterA);
    ASSERT_GT(b.text.count, 0) << "no B drawn";
    EXPECT_GE(b.all.box.left, stop - 1);
    EXPECT_LE(b.all.box.left, stop + CtlTextExtent(tabbed, "B").cx);

    /* One line without wrapping; the word-wrapped static needs a second one. */
    int line = CtlTextExtent(tabbed, "A").cy;
    Ink single = InkOf(CtlViewOf(image, dialog, Item(221)), WholeOf(Item(221)));
    Ink wrapped = InkOf(CtlViewOf(image, dialog, Item(222)), WholeOf(Item(222)));
    EXPECT_LE(single.all.box.bottom, line);
    EXPECT_GT(single.all.box.right, WholeOf(Item(221)).right - 3) << "runs to the right edge";
    EXPECT_GT(wrapped.all.box.bottom, line);
}

TEST_F(Statics, EmptyTextFillsTheBackgroundOnly)
{
    const L3tItem items[] = {
        { 0x0082, NULL, "", kChild | SS_CENTER, 6, 6, 60, 12, 230 },
    };
    ASSERT_TRUE(Make(items, 1, 80, 26));
    HWND s = Item(230);
    RECT whole = WholeOf(s);
    CtlPaintMarker(dialog, s, whole);
    CtlRepaintOnly(s);
    const uint32_t face = CtlSlot(L3C_FACE);
    CtlPixels notFace = CtlScan(CtlCapture(dialog, s), whole, [face](uint32_t c) { return c != face; });
    EXPECT_EQ(notFace.count, 0);
}

TEST_F(CurrentStatics, TextLongerThanTheStackIsDrawn)
{
    /* 2.5 MB of text, more than the thread's whole stack: the text buffer
     * must not live on the stack at that size. Lines of 1000 characters. */
    const L3tItem items[] = {
        { 0x0082, NULL, "", kChild | SS_LEFT, 6, 6, 60, 20, 235 },
    };
    ASSERT_TRUE(Make(items, 1, 80, 34));
    HWND s = Item(235);
    std::string text;
    text.reserve(2600000);
    while (text.size() < 2500000) {
        text.append(998, 'W');
        text.append("\r\n");
    }
    ASSERT_TRUE(SetWindowTextA(s, text.c_str()));
    ASSERT_EQ(GetWindowTextLengthA(s), (int)text.size());
    RECT whole = WholeOf(s);
    CtlPaintMarker(dialog, s, whole);
    CtlRepaintOnly(s);
    Ink ink = InkOf(CtlCapture(dialog, s), whole);
    EXPECT_GT(ink.text.count, 0);
}

/* ---- a caller's device context --------------------------------------- */

TEST_F(Statics, PaintIntoACallersDcLeavesItAsItWasFound)
{
    struct Case {
        const char *what;
        DWORD style;
    } cases[] = {
        { "left text", SS_LEFT },
        { "text without word wrap", SS_LEFTNOWORDWRAP },
        { "disabled text", SS_CENTER | WS_DISABLED },
        { "black frame", SS_BLACKFRAME },
        { "grey rectangle", SS_GRAYRECT },
    };
    const int n = sizeof cases / sizeof cases[0];
    std::vector<L3tItem> items;
    for (int i = 0; i < n; i++) {
        L3tItem it = { 0x0082, NULL, "Caller", kChild | cases[i].style, 6, (short)(6 + 14 * i),
                       60, 10, (WORD)(260 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), n, 80, (short)(10 + 14 * n)));
    for (int i = 0; i < n; i++) {
        SCOPED_TRACE(cases[i].what);
        ASSERT_TRUE(CtlHasLook(Item(260 + i)));
        CtlExpectCallersDcKept(Item(260 + i));
    }
}

/* ---- what the look leaves alone ------------------------------------------ */

TEST_F(Statics, IconAndOtherTypesKeepTheSystemDrawing)
{
    struct {
        const char *what;
        DWORD style;
        bool look;
    } cases[] = {
        { "SS_ICON", SS_ICON, false },
        { "SS_SIMPLE", SS_SIMPLE, false },
        { "SS_OWNERDRAW", SS_OWNERDRAW, false },
        { "SS_BITMAP", SS_BITMAP, false },
        { "type 10", 10, false },
        { "type 15", 15, false },
        { "SS_LEFT | SS_NOTIFY | SS_NOPREFIX", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, true },
        { "SS_GRAYFRAME | SS_NOTIFY", SS_GRAYFRAME | SS_NOTIFY, true },
    };
    std::vector<L3tItem> items;
    for (int i = 0; i < 8; i++) {
        L3tItem it = { 0x0082, NULL, "", kChild | cases[i].style, 6, (short)(6 + 12 * i), 30, 10,
                       (WORD)(240 + i) };
        items.push_back(it);
    }
    ASSERT_TRUE(Make(items.data(), 8, 60, 104));
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(CtlHasLook(Item(240 + i)), cases[i].look);
    }
}

TEST_F(Statics, InvisibleStaticPaintsNothingYetIsValidated)
{
    const L3tItem items[] = {
        { 0x0082, NULL, "Hidden", kChild | SS_LEFT, 6, 6, 60, 12, 250 },
        { 0x0082, NULL, "", kChild | SS_BLACKFRAME, 6, 22, 60, 12, 251 },
    };
    ASSERT_TRUE(Make(items, 2, 80, 40));
    for (WORD id : { 250, 251 }) {
        SCOPED_TRACE(id == 250 ? "text" : "black frame");
        HWND s = Item(id);
        RECT whole = WholeOf(s);
        CtlPaintMarker(dialog, s, whole);
        /* Due for painting, then made invisible without a hide. */
        InvalidateRect(s, NULL, FALSE);
        SetWindowLongA(s, GWL_STYLE, GetWindowLongA(s, GWL_STYLE) & ~WS_VISIBLE);
        EXPECT_EQ(SendMessageA(s, WM_PAINT, 0, 0), 0);
        RECT due;
        EXPECT_FALSE(GetUpdateRect(s, &due, FALSE)) << "validated";
        CtlView v = CtlCaptureNow(dialog, s);
        const RECT none = { 0, 0, 0, 0 };
        EXPECT_EQ(CtlMismatches(v, CtlPicture(), whole, &none, "invisible"), 0);
        SetWindowLongA(s, GWL_STYLE, GetWindowLongA(s, GWL_STYLE) | WS_VISIBLE);
    }
}

}  // namespace
