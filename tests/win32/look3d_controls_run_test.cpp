/*
 * The look's control tests under the versions that matter, and the GDI
 * object count over many repaints of every control the look paints.
 *
 * At Wine's default version (a current Windows) this program runs the
 * Current* and Statics* suites itself and the Old* and Statics* suites in a
 * copy of itself under "nt351", where the look paints every control.
 */
#include "look3d_controls_fixture.h"

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

}  // namespace
