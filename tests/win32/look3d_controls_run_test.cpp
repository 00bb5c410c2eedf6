/*
 * The look's control tests under the versions that matter, and the GDI
 * object count over many repaints of every control the look paints.
 *
 * At Wine's default version (a current Windows) this program runs the
 * Current* and Statics* suites itself and the Old* and Statics* suites in a
 * copy of itself under "nt351", where the look paints every control.
 */
#include "look3d_controls_fixture.h"

#include "gallery.h"

namespace {

TEST(ControlsVersions, Nt351PaintsEveryControl)
{
    if (CtlIsOldVersion())
        GTEST_SKIP() << "runs only in the parent process";
    EXPECT_EQ(L3tRunUnderVersion("nt351", "Old*:Statics*"), 0);
}

TEST(ControlsGdi, CountFollowsObjectsMadeAndDeleted)
{
    int before = GalleryGdiObjects();
    ASSERT_GE(before, 0) << "no way to count the GDI objects of the process";
    HBRUSH made[5];
    for (int i = 0; i < 5; i++)
        made[i] = CreateSolidBrush(RGB(i, 1, 2));
    EXPECT_EQ(GalleryGdiObjects(), before + 5);
    for (HBRUSH b : made)
        DeleteObject(b);
    EXPECT_EQ(GalleryGdiObjects(), before);
}

/* Every kind of control the look paints, in one dialog. */
const L3tItem kEveryControl[] = {
    { 0x0080, NULL, "Push", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 4, 4, 40, 14, 100 },
    { 0x0080, NULL, "Default", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 48, 4, 40, 14, 101 },
    { 0x0080, NULL, "Check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 4, 22, 50, 10, 102 },
    { 0x0080, NULL, "Radio", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 4, 34, 50, 10, 103 },
    { 0x0080, NULL, "Three", WS_CHILD | WS_VISIBLE | BS_AUTO3STATE, 4, 46, 50, 10, 104 },
    { 0x0080, NULL, "Group", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 60, 20, 60, 40, 105 },
    { 0x0082, NULL, "Static text", WS_CHILD | WS_VISIBLE | SS_LEFT, 4, 60, 50, 10, 106 },
    { 0x0082, NULL, "", WS_CHILD | WS_VISIBLE | SS_GRAYFRAME, 4, 72, 30, 10, 107 },
    { 0x0081, NULL, "Edit", WS_CHILD | WS_VISIBLE | WS_BORDER, 124, 4, 60, 12, 108 },
    { 0x0083, NULL, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL, 124, 20, 60, 30, 109 },
    { 0x0085, NULL, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 124, 54, 60, 50, 110 },
    { 0x0085, NULL, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 124, 70, 60, 50, 111 },
    { 0x0085, NULL, "", WS_CHILD | WS_VISIBLE | CBS_SIMPLE, 60, 64, 60, 40, 112 },
};

class OldGdi : public OldFixture {};

TEST_F(OldGdi, RepaintsMakeNoLastingGdiObject)
{
    ASSERT_TRUE(Make(kEveryControl, sizeof kEveryControl / sizeof kEveryControl[0], 200, 110));
    ASSERT_TRUE(CtlHasLook(Item(100)));
    ASSERT_TRUE(CtlHasLook(Item(108)));
    /* Focus, check and push changes take the immediate repaint paths. */
    SetFocus(Item(102));
    L3tRepaint(dialog);
    int before = GalleryGdiObjects();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 200; i++) {
        SendMessageA(Item(102), BM_SETCHECK, i & 1, 0);
        SendMessageA(Item(100), BM_SETSTATE, i & 1, 0);
        SetFocus(Item(i & 1 ? 103 : 102));
        RedrawWindow(dialog, NULL, NULL,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    GalleryPump();
    EXPECT_LE(GalleryGdiObjects(), before);
}

/* ---- the gallery's own layout ------------------------------------------- */

/* The gallery's dialog (tools/look3d-gallery/gallery.rc, built into this
 * program) as the look paints it under NT 3.51: no control may overlap
 * another, nor the look's rings around edit, list and combo boxes touch
 * one; every caption fits its control as the look lays it out. */
class OldGallery : public OldFixture {};

INT_PTR CALLBACK GalleryDlgProc(HWND, UINT m, WPARAM, LPARAM)
{
    return m == WM_INITDIALOG;
}

std::string Describe(HWND w)
{
    char cls[16] = "", text[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    return std::string(cls) + " \"" + text + "\" (id " + std::to_string(GetDlgCtrlID(w)) + ")";
}

bool HasClass(HWND w, const char *name)
{
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    return lstrcmpiA(cls, name) == 0;
}

/* What a control covers in the dialog: its window, and for the boxes that
 * the look frames, the ring one pixel outside it. */
RECT Covered(HWND w, HWND dialog)
{
    RECT r = CtlRectIn(w, dialog);
    if (HasClass(w, "Edit") || HasClass(w, "ListBox") || HasClass(w, "ComboBox"))
        InflateRect(&r, 1, 1);
    return r;
}

/* The caption's extent as the look measures it, in the control's font. */
SIZE CaptionExtent(HWND w)
{
    char text[256] = "";
    GetWindowTextA(w, text, sizeof text);
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(w, WM_GETFONT, 0, 0));
    SIZE s = { 0, 0 };
    int cx = 0, cy = 0;
    Look3dMeasureText(dc, text, &cx, &cy);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    s.cx = cx;
    s.cy = cy;
    return s;
}

/* The width a control needs for its caption: check boxes and radio buttons
 * start it 18 pixels in and frame it with their focus rectangle, push
 * buttons keep it inside their frame, bevels and focus rectangle, group
 * boxes set it 4 pixels in with 4 after; 0 for controls without one. */
int WidthNeeded(HWND w)
{
    SIZE t = CaptionExtent(w);
    if (t.cx == 0)
        return 0;
    LONG style = GetWindowLongA(w, GWL_STYLE);
    if (HasClass(w, "Button")) {
        switch (style & 0x1F) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return t.cx + 2 * 4;
        case BS_GROUPBOX:
            return 4 + t.cx + 4;
        default:
            return 18 + t.cx + 1;
        }
    }
    if (HasClass(w, "Static"))
        return t.cx;
    return 0;
}

TEST_F(OldGallery, NothingOverlapsAndEveryCaptionFits)
{
    dialog = CreateDialogParamA(CtlSelf(), MAKEINTRESOURCEA(IDD_GALLERY), NULL, GalleryDlgProc, 0);
    ASSERT_NE(dialog, (HWND)NULL);
    ASSERT_TRUE(CtlHasLook(GetDlgItem(dialog, IDC_CHECK)));
    std::vector<HWND> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT))
        controls.push_back(c);
    ASSERT_GT(controls.size(), 20u);
    RECT client;
    GetClientRect(dialog, &client);

    for (size_t i = 0; i < controls.size(); i++) {
        HWND a = controls[i];
        SCOPED_TRACE(Describe(a));
        RECT ra = Covered(a, dialog), inside;
        IntersectRect(&inside, &ra, &client);
        EXPECT_TRUE(EqualRect(&inside, &ra)) << "inside the dialog";

        RECT own;
        GetClientRect(a, &own);
        EXPECT_LE(WidthNeeded(a), own.right) << "the caption's width";
        if (HasClass(a, "Static") || HasClass(a, "Button")) {
            EXPECT_LE(CaptionExtent(a).cy, own.bottom) << "the caption's height";
        }

        for (size_t j = i + 1; j < controls.size(); j++) {
            HWND b = controls[j];
            RECT rb = Covered(b, dialog), both;
            bool groupA = HasClass(a, "Button") && (GetWindowLongA(a, GWL_STYLE) & 0x1F) == BS_GROUPBOX;
            if (groupA && IntersectRect(&both, &ra, &rb) && EqualRect(&both, &rb)) {
                /* Inside the group box: clear of its line and its caption. */
                RECT room = ra;
                InflateRect(&room, -2, -2);
                room.top = ra.top + CaptionExtent(a).cy;
                IntersectRect(&both, &room, &rb);
                EXPECT_TRUE(EqualRect(&both, &rb)) << "inside the group box: " << Describe(b);
                continue;
            }
            EXPECT_FALSE(IntersectRect(&both, &ra, &rb)) << "overlaps " << Describe(b);
        }
    }
}

}  // namespace
