/*
 * The look's dialogs on real windows under emulated Windows versions: the
 * raised frame read back pixel by pixel, the cases that keep the system's
 * frame, the face-coloured background and controls, the colour messages and
 * their order, and the 16-bit host's deferred subclassing.
 *
 * The program runs itself again as copies under "nt351" (3.51: everything
 * painted) and "win31" (Win32s: 16-bit host); the suites for those versions
 * skip in any other process. See look3d_testutil.h for the GetVersion values.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "look3d_internal.h"
#include "look3d_testutil.h"

namespace {

HINSTANCE Self() { return GetModuleHandleA(NULL); }
WNDPROC ProcOf(HWND w) { return (WNDPROC)GetWindowLongPtrA(w, GWLP_WNDPROC); }

bool IsOldVersion() { return GalleryWinVersion() < L3V_WIN395; }
bool Is16BitHost() { return (GetVersion() & 0x80000000u) != 0 && IsOldVersion(); }

/* ---- this program under other versions --------------------------------- */

TEST(Look3dVersions, Nt351PaintsEverything)
{
    if (IsOldVersion())
        GTEST_SKIP() << "runs only in the parent process";
    EXPECT_EQ(L3tRunUnderVersion("nt351", "OldVersion*:*Version32*:Look3dCore.*"), 0);
}

TEST(Look3dVersions, Win31SubclassesDeferred)
{
    if (IsOldVersion())
        GTEST_SKIP() << "runs only in the parent process";
    EXPECT_EQ(L3tRunUnderVersion("win31", "OldVersion*:Win31*"), 0);
}

/* ---- dialogs ----------------------------------------------------------- */

const WORD kStaticId = 10, kEditId = 11, kComboId = 12, kListId = 13, kDropListId = 14;

std::vector<WORD> FramedDialog(DWORD style)
{
    static const L3tItem items[] = {
        { 0x0082, NULL, "Text", WS_CHILD | WS_VISIBLE | SS_LEFT, 4, 4, 80, 10, kStaticId },
        { 0x0081, NULL, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 18, 60, 12, kEditId },
        { 0x0085, NULL, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 70, 18, 50, 40, kComboId },
        { 0x0083, NULL, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 34, 40, 20, kListId },
        { 0x0085, NULL, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 70, 34, 50, 40,
          kDropListId },
    };
    return L3tBuildTemplate(style, "L3T frame", 10, 10, 130, 70, items, 5);
}

const DWORD kCaptioned = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME;
const DWORD kNoCaption = WS_POPUP | WS_VISIBLE | WS_DLGFRAME | DS_MODALFRAME;

/* What the dialog procedures of these tests do. */
struct DlgBehaviour {
    int queryFrameAnswer;       /* stored for L3M_QUERYFRAME; 1 leaves it */
    int queryFrameCount;        /* L3M_QUERYFRAME messages seen */
    HBRUSH staticBrush;         /* returned for WM_CTLCOLORSTATIC, or NULL */
    INT_PTR staticAnswer;       /* returned for WM_CTLCOLORSTATIC without a brush */
    HBRUSH privateBrush;        /* answer to the private static colour message */
    int makeStaleAtInit;        /* control id whose look is undone at WM_INITDIALOG */
    std::vector<std::string> colourLog; /* static colour messages the procedure saw */
};
DlgBehaviour behaviour;

INT_PTR CALLBACK TestDlgProc(HWND d, UINT m, WPARAM, LPARAM lp)
{
    switch (m) {
    case WM_INITDIALOG:
        if (behaviour.makeStaleAtInit) {
            /* Puts the system procedure back and leaves the property stale. */
            HWND c = GetDlgItem(d, behaviour.makeStaleAtInit);
            WNDPROC old = Look3dFindOldProc(c);
            if (old)
                SetWindowLongPtrA(c, GWLP_WNDPROC, (LONG_PTR)old);
        }
        return TRUE;
    case L3M_QUERYFRAME:
        behaviour.queryFrameCount++;
        if (behaviour.queryFrameAnswer != 1)
            *(int *)lp = behaviour.queryFrameAnswer;
        return TRUE;
    case WM_CTLCOLORSTATIC:
        behaviour.colourLog.push_back("WM_CTLCOLORSTATIC");
        if (behaviour.staticBrush)
            return (INT_PTR)behaviour.staticBrush;
        return behaviour.staticAnswer;
    case L3M_CTLCOLORSTATIC:
        behaviour.colourLog.push_back("L3M_CTLCOLORSTATIC");
        if (behaviour.privateBrush) {
            SetWindowLongPtrA(d, DWLP_MSGRESULT, (LONG_PTR)behaviour.privateBrush);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

/* Opens the look and hooks this thread; every dialog is destroyed after.
 * Dialogs are made as a dialog manager before 4.0 made them (without
 * DS_3DLOOK) unless a fixture clears oldDialogManager: then as Wine's dialog
 * manager makes them under every version, which is how the shell's own
 * message boxes get them. */
class LookedDialogs : public ::testing::Test {
protected:
    std::vector<HWND> dialogs;
    bool oldDialogManager = true;
    void SetUp() override
    {
        behaviour = DlgBehaviour();
        behaviour.queryFrameAnswer = 1;
        ASSERT_EQ(Look3d.instanceCount, 0);
        ASSERT_TRUE(Look3dOpen(Self()));
        ASSERT_TRUE(Hook());
    }
    void TearDown() override
    {
        GalleryOldDialogsOff();
        for (HWND d : dialogs)
            DestroyWindow(d);
        while (Look3d.instanceCount > 0)
            Look3dClose(Self());
        GalleryPump();
    }
    /* Hooks the look, then (newer, so first) the old dialog manager. */
    bool Hook()
    {
        BOOL hooked = Look3dHookThread(Self());
        if (oldDialogManager)
            GalleryOldDialogsOn();
        return hooked != FALSE;
    }
    HWND Make(DWORD style, DLGPROC proc = TestDlgProc)
    {
        return MakeFrom(FramedDialog(style), proc);
    }
    HWND MakeFrom(const std::vector<WORD> &tmpl, DLGPROC proc)
    {
        return Shown(L3tCreateDialog(tmpl, proc));
    }
    /* The same dialog made while the thread is not hooked: the system look. */
    HWND MakePlain(DWORD style)
    {
        return MakePlainFrom(FramedDialog(style), TestDlgProc);
    }
    HWND MakePlainFrom(const std::vector<WORD> &tmpl, DLGPROC proc)
    {
        Look3dClose(Self());
        HWND d = L3tCreateDialog(tmpl, proc);
        Look3dOpen(Self());
        Hook();
        return Shown(d);
    }
    HWND Shown(HWND d)
    {
        if (d) {
            dialogs.push_back(d);
            SetForegroundWindow(d);
            L3tRepaint(d);
        }
        return d;
    }
};


/* Expected colour of a frame pixel of the look, or 0xFFFFFFFF where the look
 * paints nothing. w, h: window size. */
uint32_t LookFramePixel(int w, int h, bool caption, int x, int y)
{
    const COLORREF *c = Look3d.colours;
    const int cx = Look3d.frameCx, cy = Look3d.frameCy, capCy = Look3d.captionCy;
    /* Outer ring: shadow top and left, frame right and bottom (drawn last). */
    if (x == w - 1 || y == h - 1)
        return L3tRgb(c[L3C_FRAME]);
    if (x == 0 || y == 0)
        return L3tRgb(c[L3C_SHADOW]);
    if (x == w - 2 || y == h - 2)
        return L3tRgb(c[L3C_SHADOW]);
    if (x == 1 || y == 1)
        return L3tRgb(c[L3C_HILITE]);
    const int left = 2, top = 2, right = w - 2, bottom = h - 2;
    const int topBand = caption ? cy - 1 : cy;
    if (x < left + cx || x >= right - cx)
        return L3tRgb(c[L3C_FACE]);
    if (y < top + topBand || y >= bottom - cy)
        return L3tRgb(c[L3C_FACE]);
    if (caption) {
        const RECT o = { left + cx, top + topBand, right - cx, top + topBand + capCy };
        bool in = x >= o.left && x < o.right && y >= o.top && y < o.bottom;
        if (in && (x == o.right - 1 || y == o.bottom - 1))
            return L3tRgb(c[L3C_HILITE]);
        if (in && (x == o.left || y == o.top))
            return L3tRgb(c[L3C_SHADOW]);
    }
    return 0xFFFFFFFFu;
}

/* Counts pixels of the look's frame that do not match; reports a few. */
int FrameMismatches(HWND d, bool caption)
{
    L3tImage img = L3tCaptureWindow(d);
    RECT client = L3tClientInWindow(d);
    int wrong = 0;
    for (int y = 0; y < img.height; y++) {
        for (int x = 0; x < img.width; x++) {
            POINT p = { x, y };
            if (PtInRect(&client, p))
                continue;
            uint32_t want = LookFramePixel(img.width, img.height, caption, x, y);
            if (want != 0xFFFFFFFFu && img.at(x, y) != want && wrong++ < 4)
                ADD_FAILURE() << "frame pixel (" << x << "," << y << ") is 0x" << std::hex
                              << img.at(x, y) << ", want 0x" << want;
        }
    }
    return wrong;
}

/* The outer rings and side bands of two captures, which the caption's
 * activation colours do not touch. */
bool SameBorder(const L3tImage &a, const L3tImage &b, int depth)
{
    if (a.width != b.width || a.height != b.height)
        return false;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++) {
            bool border = x < depth || y < 2 || x >= a.width - depth || y >= a.height - depth;
            if (border && a.at(x, y) != b.at(x, y))
                return false;
        }
    return true;
}

/* The look's frame colours must tell the rings apart for these tests. */
void RequireDistinctColours()
{
    const COLORREF *c = Look3d.colours;
    ASSERT_NE(c[L3C_SHADOW], c[L3C_FRAME]);
    ASSERT_NE(c[L3C_SHADOW], c[L3C_HILITE]);
    ASSERT_NE(c[L3C_HILITE], c[L3C_FACE]);
    ASSERT_NE(c[L3C_SHADOW], c[L3C_FACE]);
}

/* ---- suites for versions below 3.95 (nt351 and win31 copies) ----------- */

class OldVersionDialogs : public LookedDialogs {
protected:
    void SetUp() override
    {
        if (!IsOldVersion())
            GTEST_SKIP() << "runs under an emulated version below 3.95";
        LookedDialogs::SetUp();
    }
};

TEST_F(OldVersionDialogs, FrameRingsBandsAndCaptionOutline)
{
    RequireDistinctColours();
    EXPECT_EQ(Look3d.frameCx, GetSystemMetrics(SM_CXDLGFRAME) - 1);
    EXPECT_EQ(Look3d.frameCy, GetSystemMetrics(SM_CYDLGFRAME) - 1);
    EXPECT_EQ(Look3d.captionCy, GetSystemMetrics(SM_CYCAPTION));
    for (int caption = 0; caption < 2; caption++) {
        SCOPED_TRACE(caption ? "with a caption" : "without a caption");
        HWND d = Make(caption ? kCaptioned : kNoCaption);
        ASSERT_NE(d, (HWND)NULL);
        ASSERT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
        EXPECT_EQ(FrameMismatches(d, caption != 0), 0);
        EXPECT_GT(behaviour.queryFrameCount, 0);
    }
}

TEST_F(OldVersionDialogs, FrameRepaintedAfterNewCaptionText)
{
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    SetWindowTextA(d, "A new caption");
    GalleryPump();
    EXPECT_EQ(FrameMismatches(d, true), 0);
}

TEST_F(OldVersionDialogs, SystemFrameKeptWhereTheLookStepsBack)
{
    /* Each case against the same dialog made without the look. */
    struct Case {
        const char *what;
        DWORD style;
        int queryFrameAnswer;
    } cases[] = {
        { "without DS_MODALFRAME", WS_POPUP | WS_VISIBLE | WS_CAPTION, 1 },
        { "L3M_QUERYFRAME answered 0", kCaptioned, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        behaviour.queryFrameAnswer = c.queryFrameAnswer;
        HWND plain = MakePlain(c.style);
        L3tImage reference = L3tCaptureWindow(plain);
        ShowWindow(plain, SW_HIDE);
        HWND d = Make(c.style);
        ASSERT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
        L3tImage img = L3tCaptureWindow(d);
        EXPECT_TRUE(SameBorder(img, reference, 2 + Look3d.frameCx));
        EXPECT_NE(img.at(0, 0), L3tRgb(Look3d.colours[L3C_SHADOW]));
        ShowWindow(d, SW_HIDE);
    }
    /* Still face colours for a dialog that keeps the system frame. */
    HWND d = dialogs.back();
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_EQ((HBRUSH)SendMessageA(d, WM_CTLCOLORDLG, (WPARAM)dc, (LPARAM)d), Look3d.hbrFace);
    DeleteDC(dc);
}

TEST_F(OldVersionDialogs, QueryFrameIsAskedAtEveryPainting)
{
    RequireDistinctColours();
    behaviour.queryFrameAnswer = 0;
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    L3tImage img = L3tCaptureWindow(d);
    EXPECT_NE(img.at(0, 0), L3tRgb(Look3d.colours[L3C_SHADOW]));
    int asked = behaviour.queryFrameCount;
    behaviour.queryFrameAnswer = 1;
    L3tRepaint(d);
    EXPECT_GT(behaviour.queryFrameCount, asked);
    EXPECT_EQ(FrameMismatches(d, true), 0) << "the next painting has the look's frame";
}

TEST_F(OldVersionDialogs, MinimisedDialogKeepsTheSystemFrame)
{
    HWND plain = MakePlain(kCaptioned);
    ShowWindow(plain, SW_MINIMIZE);
    L3tRepaint(plain);
    L3tImage reference = L3tCaptureWindow(plain);
    ShowWindow(plain, SW_HIDE);
    HWND d = Make(kCaptioned);
    ShowWindow(d, SW_MINIMIZE);
    L3tRepaint(d);
    ASSERT_TRUE(IsIconic(d));
    int asked = behaviour.queryFrameCount;
    L3tImage img = L3tCaptureWindow(d);
    EXPECT_EQ(behaviour.queryFrameCount, asked) << "not even asked while minimised";
    EXPECT_TRUE(SameBorder(img, reference, 2));
}

TEST_F(OldVersionDialogs, BackgroundAndStaticTextsOnTheFace)
{
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    L3tImage img = L3tCaptureWindow(d);
    RECT client = L3tClientInWindow(d);
    /* A point of the client area below every control. */
    EXPECT_EQ(img.at(client.left + 2, client.bottom - 2), L3tRgb(Look3d.colours[L3C_FACE]));
    /* The static's right end holds no text: background only. */
    HWND text = GetDlgItem(d, kStaticId);
    RECT sr;
    GetWindowRect(text, &sr);
    RECT wr;
    GetWindowRect(d, &wr);
    EXPECT_EQ(img.at(sr.right - 2 - wr.left, sr.top + 1 - wr.top),
              L3tRgb(Look3d.colours[L3C_FACE]));
}

TEST_F(OldVersionDialogs, ColourMessagesAnswered)
{
    HWND d = Make(kCaptioned);
    HWND plain = MakePlain(kCaptioned);
    HDC dc = CreateCompatibleDC(NULL);
    struct Case {
        const char *what;
        UINT message;
        int control;
        bool face;
    } cases[] = {
        { "WM_CTLCOLORSTATIC", WM_CTLCOLORSTATIC, kStaticId, true },
        { "WM_CTLCOLORBTN", WM_CTLCOLORBTN, kStaticId, true },
        { "WM_CTLCOLORDLG", WM_CTLCOLORDLG, 0, true },
        { "WM_CTLCOLOREDIT", WM_CTLCOLOREDIT, kEditId, false },
        { "WM_CTLCOLORMSGBOX", WM_CTLCOLORMSGBOX, 0, false },
        { "WM_CTLCOLORSCROLLBAR", WM_CTLCOLORSCROLLBAR, kEditId, false },
        { "WM_CTLCOLORLISTBOX, combo box with an edit field", WM_CTLCOLORLISTBOX, kComboId,
          true },
        { "WM_CTLCOLORLISTBOX, drop-down list (style 3)", WM_CTLCOLORLISTBOX, kDropListId,
          false },
        { "WM_CTLCOLORLISTBOX, no child window", WM_CTLCOLORLISTBOX, kListId, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HWND ctl = c.control ? GetDlgItem(d, c.control) : d;
        SetTextColor(dc, RGB(1, 1, 1));
        SetBkColor(dc, RGB(2, 2, 2));
        HBRUSH r = (HBRUSH)SendMessageA(d, c.message, (WPARAM)dc, (LPARAM)ctl);
        if (c.face) {
            EXPECT_EQ(r, Look3d.hbrFace);
            EXPECT_EQ(GetTextColor(dc), Look3d.colours[L3C_BTNTEXT]) << "text colour";
            EXPECT_EQ(GetBkColor(dc), Look3d.colours[L3C_FACE]) << "background colour";
        } else {
            HWND plainCtl = c.control ? GetDlgItem(plain, c.control) : plain;
            HBRUSH want = (HBRUSH)SendMessageA(plain, c.message, (WPARAM)dc, (LPARAM)plainCtl);
            EXPECT_NE(r, Look3d.hbrFace);
            EXPECT_EQ(r, want) << "the system's answer";
        }
    }
    DeleteDC(dc);
}

/* A static colour message's path: what the dialog procedure saw, in order,
 * then "look" when the look coloured the context (button text on face). */
struct ColourPathCase {
    const char *what;
    bool ownBrush;              /* the dialog procedure answers with its brush */
    INT_PTR staticAnswer;       /* else it answers this */
    bool privateBrush;          /* the private message is answered with a brush */
    std::vector<std::string> path;
    int result;                 /* 0 the procedure's brush, 1 the private one, 2 the face */
};

TEST_F(OldVersionDialogs, DialogProcedureGoesFirstThenPrivateMessageThenLook)
{
    const ColourPathCase cases[] = {
        { "the dialog procedure's brush wins", true, 0, true, { "WM_CTLCOLORSTATIC" }, 0 },
        { "TRUE does not stop the look", false, TRUE, false,
          { "WM_CTLCOLORSTATIC", "L3M_CTLCOLORSTATIC", "look" }, 2 },
        { "FALSE, then the private brush", false, FALSE, true,
          { "WM_CTLCOLORSTATIC", "L3M_CTLCOLORSTATIC" }, 1 },
        { "TRUE, then the private brush", false, TRUE, true,
          { "WM_CTLCOLORSTATIC", "L3M_CTLCOLORSTATIC" }, 1 },
        { "no brush anywhere: the look", false, FALSE, false,
          { "WM_CTLCOLORSTATIC", "L3M_CTLCOLORSTATIC", "look" }, 2 },
    };
    HBRUSH own = CreateSolidBrush(RGB(12, 200, 34));
    HBRUSH privateOwn = CreateSolidBrush(RGB(90, 10, 160));
    const HBRUSH results[] = { own, privateOwn, Look3d.hbrFace };
    HDC dc = CreateCompatibleDC(NULL);
    HWND d = Make(kCaptioned);
    HWND text = GetDlgItem(d, kStaticId);
    for (const ColourPathCase &c : cases) {
        SCOPED_TRACE(c.what);
        behaviour.staticBrush = c.ownBrush ? own : NULL;
        behaviour.staticAnswer = c.staticAnswer;
        behaviour.privateBrush = c.privateBrush ? privateOwn : NULL;
        behaviour.colourLog.clear();
        SetTextColor(dc, RGB(1, 1, 1));
        SetBkColor(dc, RGB(2, 2, 2));
        HBRUSH r = (HBRUSH)SendMessageA(d, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)text);
        std::vector<std::string> path = behaviour.colourLog;
        bool faceText = GetTextColor(dc) == Look3d.colours[L3C_BTNTEXT];
        bool faceBack = GetBkColor(dc) == Look3d.colours[L3C_FACE];
        EXPECT_EQ(faceText, faceBack) << "the look sets both colours or neither";
        if (faceText && faceBack)
            path.push_back("look");
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(r, results[c.result]);
    }

    /* And on the screen: the static's background in the dialog's own brush. */
    behaviour.staticBrush = own;
    behaviour.privateBrush = NULL;
    L3tRepaint(d);
    L3tImage img = L3tCaptureWindow(d);
    RECT sr, wr;
    GetWindowRect(text, &sr);
    GetWindowRect(d, &wr);
    EXPECT_EQ(img.at(sr.right - 2 - wr.left, sr.top + 1 - wr.top), 0x0CC822u);
    behaviour.staticBrush = NULL;
    DeleteDC(dc);
    DestroyWindow(d);
    dialogs.pop_back();
    DeleteObject(own);
    DeleteObject(privateOwn);
}

TEST_F(OldVersionDialogs, DialogWithoutProcedureGetsTheFaceDirectly)
{
    HWND d = Make(kCaptioned, NULL);
    ASSERT_NE(d, (HWND)NULL);
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_EQ((HBRUSH)SendMessageA(d, WM_CTLCOLORSTATIC, (WPARAM)dc,
                                   (LPARAM)GetDlgItem(d, kStaticId)),
              Look3d.hbrFace);
    DeleteDC(dc);
}

/* ---- windows that outlive the look --------------------------------------- */

const WORD kPushId = 20, kCheckId = 21, kRadioId = 22, kGroupId = 23, kFrameId = 24;

/* Every kind of control the look paints below 3.95. The static comes first:
 * it takes the focus when the dialog is activated, so no control of either
 * dialog draws a focus rectangle. */
std::vector<WORD> ControlsDialog()
{
    const DWORD child = WS_CHILD | WS_VISIBLE;
    static const L3tItem items[] = {
        { 0x0082, NULL, "Text", child | SS_LEFT, 4, 4, 50, 10, kStaticId },
        { 0x0080, NULL, "Push", child | BS_PUSHBUTTON, 4, 16, 40, 14, kPushId },
        { 0x0080, NULL, "Check", child | BS_AUTOCHECKBOX, 4, 34, 50, 10, kCheckId },
        { 0x0080, NULL, "Radio", child | BS_AUTORADIOBUTTON, 4, 46, 50, 10, kRadioId },
        { 0x0080, NULL, "Group", child | BS_GROUPBOX, 60, 4, 60, 40, kGroupId },
        { 0x0082, NULL, "", child | SS_BLACKFRAME, 60, 48, 30, 10, kFrameId },
        { 0x0081, NULL, "Edit", child | WS_BORDER, 4, 60, 60, 12, kEditId },
    };
    return L3tBuildTemplate(kCaptioned, "L3T controls", 10, 10, 130, 80, items,
                            sizeof items / sizeof items[0]);
}

INT_PTR CALLBACK CheckingDlgProc(HWND d, UINT m, WPARAM, LPARAM)
{
    if (m == WM_INITDIALOG) {
        CheckDlgButton(d, kCheckId, BST_CHECKED);
        CheckDlgButton(d, kRadioId, BST_CHECKED);
    }
    return FALSE;
}

/* The client areas of two captures of dialogs of one template: the pixels
 * that differ, a few of them reported. */
int ClientMismatches(HWND a, const L3tImage &ia, HWND b, const L3tImage &ib)
{
    RECT ca = L3tClientInWindow(a), cb = L3tClientInWindow(b);
    EXPECT_EQ(ca.right - ca.left, cb.right - cb.left);
    EXPECT_EQ(ca.bottom - ca.top, cb.bottom - cb.top);
    int wrong = 0;
    for (int y = 0; y < ca.bottom - ca.top && y < cb.bottom - cb.top; y++)
        for (int x = 0; x < ca.right - ca.left && x < cb.right - cb.left; x++) {
            uint32_t pa = ia.at(ca.left + x, ca.top + y), pb = ib.at(cb.left + x, cb.top + y);
            if (pa != pb && wrong++ < 4)
                ADD_FAILURE() << "client pixel (" << x << "," << y << ") is 0x" << std::hex
                              << pa << ", the system draws 0x" << pb;
        }
    return wrong;
}

TEST_F(OldVersionDialogs, WindowsOutlivingTheLookAreDrawnAsTheSystemDrawsThem)
{
    HWND plain = MakePlainFrom(ControlsDialog(), CheckingDlgProc);
    ASSERT_NE(plain, (HWND)NULL);
    SetFocus(GetDlgItem(plain, kStaticId));
    L3tRepaint(plain);
    L3tImage reference = L3tCaptureWindow(plain);
    ShowWindow(plain, SW_HIDE);

    HWND d = MakeFrom(ControlsDialog(), CheckingDlgProc);
    ASSERT_NE(d, (HWND)NULL);
    SetFocus(GetDlgItem(d, kStaticId));
    ASSERT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    ASSERT_EQ(ProcOf(GetDlgItem(d, kCheckId)), (WNDPROC)Look3dButtonProc);
    ASSERT_EQ(ProcOf(GetDlgItem(d, kEditId)), (WNDPROC)Look3dEditProc);

    /* The last close releases the look's colours, brushes, glyphs and atoms;
     * the dialog and its controls keep running the look's procedures. */
    while (Look3d.instanceCount > 0)
        Look3dClose(Self());
    ASSERT_FALSE(Look3d.enabled);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kCheckId)), (WNDPROC)Look3dButtonProc);

    SetForegroundWindow(d);
    L3tRepaint(d);
    L3tImage img = L3tCaptureWindow(d);
    EXPECT_EQ(ClientMismatches(d, img, plain, reference), 0);
    EXPECT_TRUE(SameBorder(img, reference, 2 + GetSystemMetrics(SM_CXDLGFRAME) - 1));

    /* Messages still reach the controls' own procedures. */
    SendDlgItemMessageA(d, kCheckId, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(IsDlgButtonChecked(d, kCheckId), (UINT)BST_UNCHECKED);
    char buf[8] = "";
    SetDlgItemTextA(d, kEditId, "abc");
    GetDlgItemTextA(d, kEditId, buf, sizeof buf);
    EXPECT_STREQ(buf, "abc");
}

/* ---- dialogs that keep DS_3DLOOK below 3.95 ------------------------------- */

/* Wine's dialog manager sets DS_3DLOOK under every version it emulates, so
 * the shell's own message boxes keep it under NT 3.51 too: they get the
 * look's frame and colours, and their controls the system's drawing. (On the
 * 16-bit host the walk at WM_INITDIALOG gives the controls the look.) */
class OldVersionSystemDialogs : public OldVersionDialogs {
protected:
    OldVersionSystemDialogs() { oldDialogManager = false; }
    void SetUp() override
    {
        if (Is16BitHost())
            GTEST_SKIP() << "runs on a 32-bit host below 3.95";
        OldVersionDialogs::SetUp();
    }
};

TEST_F(OldVersionSystemDialogs, FrameAndColoursButControlsKeepTheSystemDrawing)
{
    RequireDistinctColours();
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    ASSERT_NE(GetWindowLongA(d, GWL_STYLE) & DS_3DLOOK, 0) << "Wine's dialog manager sets it";
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(FrameMismatches(d, true), 0);

    struct {
        WORD id;
        int row;
    } controls[] = {
        { kStaticId, L3I_STATIC }, { kEditId, L3I_EDIT }, { kComboId, L3I_COMBOBOX },
        { kListId, L3I_LISTBOX }, { kDropListId, L3I_COMBOBOX },
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(Look3dClassTable[c.row].className);
        HWND w = GetDlgItem(d, c.id);
        EXPECT_EQ(Look3dFindOldProc(w), (WNDPROC)NULL);
        EXPECT_EQ(ProcOf(w), Look3d.standardProc[c.row]);
    }

    /* The face under the controls and behind the system's static text. */
    L3tImage img = L3tCaptureWindow(d);
    RECT client = L3tClientInWindow(d);
    EXPECT_EQ(img.at(client.left + 2, client.bottom - 2), L3tRgb(Look3d.colours[L3C_FACE]));
    RECT sr, wr;
    GetWindowRect(GetDlgItem(d, kStaticId), &sr);
    GetWindowRect(d, &wr);
    EXPECT_EQ(img.at(sr.right - 2 - wr.left, sr.top + 1 - wr.top),
              L3tRgb(Look3d.colours[L3C_FACE]));
}

/* ---- 32-bit host below 3.95 (nt351) ------------------------------------ */

TEST_F(LookedDialogs, Version32HostSubclassesAtOnceAndDoesNotWalk)
{
    if (!IsOldVersion() || Is16BitHost())
        GTEST_SKIP() << "runs under nt351";
    EXPECT_EQ(Look3d.hostBits, 32);
    EXPECT_EQ(Look3d.winVersion, GalleryWinVersion());
    behaviour.makeStaleAtInit = kStaticId;
    HWND d = Make(kCaptioned);
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kStaticId)), Look3d.standardProc[L3I_STATIC])
        << "no walk at WM_INITDIALOG on a 32-bit host";
    EXPECT_EQ(ProcOf(GetDlgItem(d, kEditId)), (WNDPROC)Look3dEditProc);
}

/* ---- 16-bit host (win31) ----------------------------------------------- */

class Win31Deferred : public LookedDialogs {
protected:
    void SetUp() override
    {
        if (!Is16BitHost())
            GTEST_SKIP() << "runs under win31";
        LookedDialogs::SetUp();
    }
};

TEST_F(Win31Deferred, DialogAndControlsGetTheLookAtTheirFirstMessage)
{
    EXPECT_EQ(Look3d.hostBits, 16);
    EXPECT_EQ(Look3d.winVersion, L3V_WIN310);
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kStaticId)), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kEditId)), (WNDPROC)Look3dEditProc);
    EXPECT_EQ(Look3d.pendingWindow, (HWND)NULL);
    EXPECT_EQ(Look3d.pendingHook, (HHOOK)NULL);
}

TEST_F(Win31Deferred, InitDialogWalkRenewsControlsTheHookMissed)
{
    behaviour.makeStaleAtInit = kStaticId;
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    HWND text = GetDlgItem(d, kStaticId);
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC]);
}

TEST_F(Win31Deferred, SecondDeferredWindowTakesTheSlot)
{
    HWND host = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 50, 50, NULL, NULL, Self(),
                                NULL);
    HWND first = CreateWindowExA(0, "Static", "a", WS_CHILD | SS_LEFT, 0, 0, 20, 10, host, NULL,
                                 Self(), NULL);
    HWND second = CreateWindowExA(0, "Static", "b", WS_CHILD | SS_LEFT, 0, 0, 20, 10, host,
                                  NULL, Self(), NULL);
    Look3dSubclassDeferred(first, Look3dStaticProc);
    HHOOK firstHook = Look3d.pendingHook;
    ASSERT_NE(firstHook, (HHOOK)NULL);
    Look3dSubclassDeferred(second, Look3dStaticProc);
    EXPECT_EQ(Look3d.pendingWindow, second);
    EXPECT_FALSE(UnhookWindowsHookEx(firstHook)) << "the first one-shot hook is gone";

    SendMessageA(first, WM_NULL, 0, 0);
    EXPECT_EQ(ProcOf(first), Look3d.standardProc[L3I_STATIC]) << "the first stays plain";
    EXPECT_EQ(Look3d.pendingWindow, second);
    SendMessageA(second, WM_NULL, 0, 0);
    EXPECT_EQ(ProcOf(second), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(Look3d.pendingWindow, (HWND)NULL);
    EXPECT_EQ(Look3d.pendingProc, (WNDPROC)NULL);
    EXPECT_EQ(Look3d.pendingHook, (HHOOK)NULL);
    DestroyWindow(host);
}

/* ---- the current version (this process, Wine's default) ---------------- */

class CurrentVersionDialogs : public LookedDialogs {
protected:
    void SetUp() override
    {
        if (IsOldVersion())
            GTEST_SKIP() << "runs at a version from 3.95 on";
        LookedDialogs::SetUp();
    }
};

/* Dialogs as Wine's dialog manager, like Windows from 4.0 on, makes them:
 * with DS_3DLOOK. */
class CurrentVersionSystemDialogs : public CurrentVersionDialogs {
protected:
    CurrentVersionSystemDialogs() { oldDialogManager = false; }
};

TEST_F(CurrentVersionSystemDialogs, SystemDrawn3dDialogLosesTheLook)
{
    HWND d = Make(kCaptioned);
    ASSERT_NE(d, (HWND)NULL);
    ASSERT_NE(GetWindowLongA(d, GWL_STYLE) & DS_3DLOOK, 0);
    EXPECT_EQ(ProcOf(d), Look3d.dialogStandardProc) << "taken off at WM_INITDIALOG";
    EXPECT_EQ(Look3dFindOldProc(d), (WNDPROC)NULL);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kStaticId)), Look3d.standardProc[L3I_STATIC]);
    EXPECT_EQ(ProcOf(GetDlgItem(d, kEditId)), Look3d.standardProc[L3I_EDIT]);
    EXPECT_EQ(behaviour.queryFrameCount, 0);
}

TEST_F(CurrentVersionDialogs, SystemFrameButColoursStillAnswered)
{
    HWND plain = MakePlain(kCaptioned);
    L3tImage reference = L3tCaptureWindow(plain);
    ShowWindow(plain, SW_HIDE);
    HWND d = Make(kCaptioned);
    ASSERT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc) << "a dialog without DS_3DLOOK keeps it";
    L3tImage img = L3tCaptureWindow(d);
    EXPECT_TRUE(SameBorder(img, reference, 2 + Look3d.frameCx));
    EXPECT_EQ(behaviour.queryFrameCount, 0) << "the frame is never considered";

    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_EQ((HBRUSH)SendMessageA(d, WM_CTLCOLORSTATIC, (WPARAM)dc,
                                   (LPARAM)GetDlgItem(d, kStaticId)),
              Look3d.hbrFace);
    EXPECT_NE((HBRUSH)SendMessageA(d, WM_CTLCOLORLISTBOX, (WPARAM)dc,
                                   (LPARAM)GetDlgItem(d, kComboId)),
              Look3d.hbrFace)
        << "combo lists keep the window colours from 3.95 on";
    DeleteDC(dc);
}

}  // namespace
