/*
 * The look's hooks, thread table and subclassing on real windows: use
 * counts and owners of thread rows, the four-thread limit, the lookup
 * cache, initialisation afresh after the last close, which windows the
 * creation hook subclasses, the walk, the removal of the look and the
 * properties. Runs at Wine's default version (a current Windows); the
 * 16-bit host's deferred subclassing runs in a copy under "win31"
 * (look3d_version_test.cpp).
 */
#include <gtest/gtest.h>

#include "look3d_internal.h"
#include "look3d_testutil.h"
#include "rig_util.h"

namespace {

HINSTANCE Self() { return GetModuleHandleA(NULL); }
/* A second module: any handle that is not ours serves as another opener. */
HINSTANCE Other() { return GetModuleHandleA("user32.dll"); }

const char *const kPanelClass = "L3tPanel";

LRESULT CALLBACK PanelProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

void RegisterPanel()
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = Self();
    wc.lpszClassName = kPanelClass;
    RegisterClassA(&wc);
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT m, WPARAM, LPARAM)
{
    return m == WM_INITDIALOG;
}

WNDPROC ProcOf(HWND w) { return (WNDPROC)GetWindowLongPtrA(w, GWLP_WNDPROC); }

/* The window procedure a dialog made on the worker's thread ends up with. */
WNDPROC DialogProcOnWorker(L3tWorker *worker, const std::vector<WORD> &tmpl)
{
    WNDPROC proc = NULL;
    L3tOnWorker(worker, [&] {
        HWND d = L3tCreateDialog(tmpl, PlainDlgProc);
        proc = ProcOf(d);
        DestroyWindow(d);
    });
    return proc;
}
/* The global atom table still holds atom (no other program in the session
 * uses the look's property names while these tests run). */
bool AtomExists(ATOM atom)
{
    char name[16];
    return atom != 0 && GlobalGetAtomNameA(atom, name, sizeof name) != 0;
}

bool HasOldProcProp(HWND w) { return GetPropA(w, MAKEINTATOM(Look3d.oldProcAtom)) != NULL; }
bool HasOffProp(HWND w) { return GetPropA(w, MAKEINTATOM(Look3d.offAtom)) != NULL; }

/* L3M_IDENTIFY's answer: 1 from a look control procedure, else 666. */
int Identify(HWND w)
{
    int answer = L3_IDENTIFY_UNANSWERED;
    SendMessageA(w, L3M_IDENTIFY, 0, (LPARAM)&answer);
    return answer;
}

int RowOf(DWORD threadId)
{
    for (int i = 0; i < Look3d.threadCount; i++)
        if (Look3d.threads[i].threadId == threadId)
            return i;
    return -1;
}

/* A dialog with a text static (id 10) and an edit (id 11). */
std::vector<WORD> SmallDialog(DWORD extraStyle = 0)
{
    static const L3tItem items[] = {
        { 0x0082, NULL, "Text", WS_CHILD | WS_VISIBLE | SS_LEFT, 4, 4, 60, 10, 10 },
        { 0x0081, NULL, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 20, 60, 12, 11 },
    };
    return L3tBuildTemplate(WS_POPUP | WS_CAPTION | DS_MODALFRAME | extraStyle, "L3T", 0, 0,
                            100, 50, items, 2);
}

/* Every test starts and ends with the look closed and no row of ours. The
 * suite runs in the copy under "nt351": from 3.95 on the look steps back from
 * every dialog that the system draws in 3-D, which under Wine is every one. */
class Look3dCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (GalleryWinVersion() >= L3V_WIN395)
            GTEST_SKIP() << "runs under an emulated version below 3.95";
        RegisterPanel();
        ASSERT_EQ(Look3d.instanceCount, 0);
        ASSERT_EQ(Look3d.threadCount, 0);
    }
    void TearDown() override
    {
        GalleryOldDialogsOff();
        while (RowOf(GetCurrentThreadId()) >= 0 || Look3d.instanceCount > 0)
            Look3dClose(Self());
    }
    /* Open and hook the calling thread, with dialogs as a dialog manager
     * before 4.0 makes them. */
    void OpenAndHook()
    {
        ASSERT_TRUE(Look3dOpen(Self()));
        ASSERT_TRUE(Look3dHookThread(Self()));
        GalleryOldDialogsOn();
    }
};

TEST_F(Look3dCore, HookTwiceBySameInstanceThenOneCloseRemovesRow)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    ASSERT_TRUE(Look3dHookThread(Self()));
    ASSERT_TRUE(Look3dHookThread(Self()));
    int row = RowOf(GetCurrentThreadId());
    ASSERT_EQ(row, 0);
    EXPECT_EQ(Look3d.threads[row].useCount, 2);
    EXPECT_EQ(Look3d.threads[row].ownerInstance, Self());
    EXPECT_TRUE(Look3dClose(Self()));
    EXPECT_EQ(Look3d.threadCount, 0) << "the owner's close removes the row at once";
    EXPECT_EQ(Look3d.instanceCount, 0);
}

TEST_F(Look3dCore, SecondInstanceRaisesCountAndOnlyOwnerRemovesRow)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    ASSERT_TRUE(Look3dOpen(Other()));
    ASSERT_TRUE(Look3dHookThread(Self()));
    ASSERT_TRUE(Look3dHookThread(Other()));
    EXPECT_EQ(Look3d.threads[0].useCount, 2);
    Look3dClose(Other());
    ASSERT_EQ(Look3d.threadCount, 1) << "not the owner and count not 0: the row stays";
    EXPECT_EQ(Look3d.threads[0].useCount, 1);
    EXPECT_EQ(Look3d.instanceCount, 1);
    EXPECT_TRUE(Look3d.enabled);
    Look3dClose(Self());
    EXPECT_EQ(Look3d.threadCount, 0);
    EXPECT_EQ(Look3d.instanceCount, 0);
}

TEST_F(Look3dCore, OpenOnHookedThreadRaisesUseCount)
{
    OpenAndHook();
    ASSERT_TRUE(Look3dOpen(Other()));
    EXPECT_EQ(Look3d.instanceCount, 2);
    EXPECT_EQ(Look3d.threads[0].useCount, 2);
}

TEST_F(Look3dCore, CloseWithoutRowOnlyLowersOpenCount)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    ASSERT_TRUE(Look3dOpen(Other()));
    Look3dClose(Other());
    EXPECT_EQ(Look3d.instanceCount, 1);
    EXPECT_TRUE(Look3d.enabled);
    EXPECT_EQ(Look3d.threadCount, 0);
}

TEST_F(Look3dCore, ExtraCloseLeavesTheCountAtZero)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    Look3dClose(Self());
    EXPECT_TRUE(Look3dClose(Self()));
    EXPECT_EQ(Look3d.instanceCount, 0);
    ASSERT_TRUE(Look3dOpen(Self())) << "a later open initialises afresh";
    EXPECT_EQ(Look3d.instanceCount, 1);
}

TEST_F(Look3dCore, FourThreadsAtMostAndRowsMoveDownInOrder)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    L3tWorker workers[5];
    BOOL hooked[5] = {};
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(L3tWorkerStart(&workers[i]));
        BOOL *result = &hooked[i];
        L3tOnWorker(&workers[i], [result] {
            Look3dOpen(Self());
            *result = Look3dHookThread(Self());
        });
    }
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(hooked[i]) << "thread " << i;
    EXPECT_FALSE(hooked[4]) << "a fifth thread is refused";
    EXPECT_EQ(Look3d.threadCount, 4);
    EXPECT_FALSE(Look3dHookThread(Self())) << "nor may a thread without a row join";

    /* Even one of the four is refused while four are hooked. */
    BOOL again = TRUE;
    L3tOnWorker(&workers[1], [&again] { again = Look3dHookThread(Self()); });
    EXPECT_FALSE(again);
    EXPECT_EQ(Look3d.threads[1].useCount, 1);

    /* The refused thread's dialogs keep the system look; a hooked one's get it. */
    std::vector<WORD> tmpl = SmallDialog();
    WNDPROC fifthProc = DialogProcOnWorker(&workers[4], tmpl);
    EXPECT_NE(fifthProc, (WNDPROC)Look3dDlgProc);

    /* Removing the first row moves the later ones down in order. */
    L3tOnWorker(&workers[0], [] { Look3dClose(Self()); });
    ASSERT_EQ(Look3d.threadCount, 3);
    EXPECT_EQ(Look3d.threads[0].threadId, workers[1].id);
    EXPECT_EQ(Look3d.threads[1].threadId, workers[2].id);
    EXPECT_EQ(Look3d.threads[2].threadId, workers[3].id);
    WNDPROC thirdProc = DialogProcOnWorker(&workers[2], tmpl);
    EXPECT_EQ(thirdProc, (WNDPROC)Look3dDlgProc);

    for (int i = 1; i < 5; i++) {
        L3tOnWorker(&workers[i], [] { Look3dClose(Self()); });
        L3tWorkerStop(&workers[i]);
    }
    L3tWorkerStop(&workers[0]);
    EXPECT_EQ(Look3d.threadCount, 0);
    EXPECT_EQ(Look3d.instanceCount, 1);
}

TEST_F(Look3dCore, CacheFollowsTheLastThreadAndSurvivesRowMoves)
{
    OpenAndHook();
    L3tWorker worker;
    ASSERT_TRUE(L3tWorkerStart(&worker));
    L3tOnWorker(&worker, [] { Look3dOpen(Self()); Look3dHookThread(Self()); });
    ASSERT_EQ(RowOf(worker.id), 1);

    std::vector<WORD> tmpl = SmallDialog();
    HWND mine = L3tCreateDialog(tmpl, PlainDlgProc);
    EXPECT_EQ(Look3d.lastThreadId, GetCurrentThreadId());
    EXPECT_EQ(Look3d.lastThreadIndex, 0);
    DestroyWindow(mine);

    WNDPROC proc = DialogProcOnWorker(&worker, tmpl);
    EXPECT_EQ(proc, (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(Look3d.lastThreadId, worker.id);
    EXPECT_EQ(Look3d.lastThreadIndex, 1);

    /* Our row goes; the worker's moves to row 0 and must still be found. */
    Look3dClose(Self());
    ASSERT_EQ(RowOf(worker.id), 0);
    HHOOK workerHook = Look3d.threads[0].hook;
    proc = DialogProcOnWorker(&worker, tmpl);
    EXPECT_EQ(proc, (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(Look3d.lastThreadId, worker.id);
    EXPECT_EQ(Look3d.lastThreadIndex, 0);
    EXPECT_EQ(Look3d.threads[0].hook, workerHook);
    L3tOnWorker(&worker, [] { Look3dClose(Self()); });
    L3tWorkerStop(&worker);
}

TEST_F(Look3dCore, CreationHookPassesOtherCodesOn)
{
    OpenAndHook();
    /* Activation, focus and moves run through the hook; only creation acts. */
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    ShowWindow(d, SW_SHOW);
    SetFocus(GetDlgItem(d, 11));
    MoveWindow(d, 10, 10, 200, 120, TRUE);
    GalleryPump();
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_EQ(GetFocus(), GetDlgItem(d, 11));
    RECT r;
    GetWindowRect(d, &r);
    EXPECT_EQ(r.right - r.left, 200);
    DestroyWindow(d);
}

TEST_F(Look3dCore, FailedFirstOpenStaysOffUntilClosedAndReopened)
{
    /* user32 has no glyph bitmap: the colour objects cannot be made. */
    EXPECT_FALSE(Look3dOpen(Other()));
    ATOM oldProc = Look3d.oldProcAtom, off = Look3d.offAtom;
    EXPECT_TRUE(AtomExists(oldProc)) << "atoms were made before the failure";
    EXPECT_TRUE(AtomExists(off));
    EXPECT_FALSE(Look3dHookThread(Self()));
    EXPECT_FALSE(Look3dOpen(Self())) << "later opens do not try again";
    EXPECT_EQ(Look3d.threadCount, 0);
    Look3dClose(Self());
    Look3dClose(Other());
    EXPECT_FALSE(AtomExists(oldProc)) << "termination deletes the atoms made";
    EXPECT_FALSE(AtomExists(off));
    EXPECT_TRUE(Look3dOpen(Self()));
}

/* A display of one plane of one bit: too few colours for the look. */
int WINAPI OneBitDisplay(HDC, int)
{
    return 1;
}

/* The look holds one reference of each atom from an open that added it to
 * the close that ends it, and no other. A reopen that fails its display
 * check adds none, so its close must delete none: deleting the old numbers
 * again would take the reference another module holds (here this test's). */
TEST_F(Look3dCore, CloseDeletesOnlyTheAtomReferencesItsOpenAdded)
{
    const ATOM other = GlobalAddAtomA("C3d"), otherOff = GlobalAddAtomA("C3dD");
    ASSERT_NE(other, 0);
    ASSERT_NE(otherOff, 0);
    ASSERT_TRUE(Look3dOpen(Self()));
    EXPECT_EQ(Look3d.oldProcAtom, other);
    EXPECT_EQ(Look3d.offAtom, otherOff);
    Look3dClose(Self());
    EXPECT_EQ(GlobalFindAtomA("C3d"), other) << "the first close took its own reference only";

    void *real = RigReplaceImport("gdi32.dll", "GetDeviceCaps", (void *)OneBitDisplay);
    ASSERT_NE(real, nullptr) << "this program does not import GetDeviceCaps";
    BOOL opened = Look3dOpen(Self());
    RigReplaceImport("gdi32.dll", "GetDeviceCaps", real);
    EXPECT_FALSE(opened) << "the display check did not fail";
    EXPECT_EQ(Look3d.oldProcAtom, other) << "windows outliving the look still find their property";
    EXPECT_EQ(Look3d.offAtom, otherOff);
    Look3dClose(Self());
    EXPECT_EQ(GlobalFindAtomA("C3d"), other)
        << "the failed open's close deleted the other holder's reference";
    EXPECT_EQ(GlobalFindAtomA("C3dD"), otherOff);

    GlobalDeleteAtom(other);
    GlobalDeleteAtom(otherOff);
    EXPECT_EQ(GlobalFindAtomA("C3d"), 0) << "the look left a reference behind";
    EXPECT_EQ(GlobalFindAtomA("C3dD"), 0);
}

TEST_F(Look3dCore, VersionBelow310CannotHook)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    WORD saved = Look3d.winVersion;
    Look3d.winVersion = L3V_WIN30;
    EXPECT_FALSE(Look3dHookThread(Self()));
    Look3d.winVersion = saved;
    EXPECT_EQ(Look3d.threadCount, 0);
}

TEST_F(Look3dCore, OpenCloseOpenMakesAtomsAndObjectsAfresh)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    HBRUSH face = Look3d.hbrFace;
    HBITMAP glyphs = Look3d.hbmGlyphs;
    char name[16];
    ASSERT_GT(GlobalGetAtomNameA(Look3d.oldProcAtom, name, sizeof name), 0u);
    EXPECT_STREQ(name, "C3d");
    ASSERT_GT(GlobalGetAtomNameA(Look3d.offAtom, name, sizeof name), 0u);
    EXPECT_STREQ(name, "C3dD");
    EXPECT_EQ(Look3d.activeProc[L3I_STATIC], (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(Look3d.activeProc[L3I_COMBOLBOX], (WNDPROC)Look3dListBoxProc);

    ATOM oldProc = Look3d.oldProcAtom;
    Look3dClose(Self());
    EXPECT_FALSE(Look3d.enabled);
    EXPECT_FALSE(AtomExists(oldProc)) << "the atom was deleted";
    EXPECT_EQ(Look3d.hbrFace, (HBRUSH)NULL);
    EXPECT_EQ(Look3d.hbmGlyphs, (HBITMAP)NULL);
    EXPECT_EQ(GetObjectType(face), 0u) << "the old brush was deleted";
    EXPECT_EQ(GetObjectType(glyphs), 0u) << "the old bitmap was deleted";
    for (int i = 0; i < L3I_ROWS; i++)
        EXPECT_EQ(Look3d.activeProc[i], (WNDPROC)NULL) << Look3dClassTable[i].className;

    ASSERT_TRUE(Look3dOpen(Self()));
    EXPECT_NE(Look3d.oldProcAtom, 0);
    EXPECT_NE(Look3d.offAtom, 0);
    EXPECT_EQ(GetObjectType(Look3d.hbrFace), (DWORD)OBJ_BRUSH);
    EXPECT_EQ(GetObjectType(Look3d.hbmGlyphs), (DWORD)OBJ_BITMAP);
    EXPECT_EQ(Look3d.activeProc[L3I_BUTTON], (WNDPROC)Look3dButtonProc);
    /* Hooked again after the fresh start, dialogs get the look. */
    ASSERT_TRUE(Look3dHookThread(Self()));
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    DestroyWindow(d);
}

TEST_F(Look3dCore, RowOutlivingTerminationOnlyPassesCallsOn)
{
    L3tWorker worker;
    ASSERT_TRUE(L3tWorkerStart(&worker));
    L3tOnWorker(&worker, [] { Look3dOpen(Self()); Look3dHookThread(Self()); });
    ASSERT_EQ(Look3d.threadCount, 1);
    Look3dClose(Self());            /* another thread closes the last open */
    ASSERT_FALSE(Look3d.enabled);
    ASSERT_EQ(Look3d.threadCount, 1) << "the worker's row outlives termination";

    std::vector<WORD> tmpl = SmallDialog();
    WNDPROC dialogProc = NULL, staticProc = NULL;
    L3tOnWorker(&worker, [&] {
        HWND d = L3tCreateDialog(tmpl, PlainDlgProc);
        dialogProc = ProcOf(d);
        staticProc = ProcOf(GetDlgItem(d, 10));
        DestroyWindow(d);
    });
    EXPECT_NE(dialogProc, (WNDPROC)Look3dDlgProc);
    EXPECT_NE(staticProc, (WNDPROC)Look3dStaticProc);
    EXPECT_NE(staticProc, (WNDPROC)NULL);
    L3tOnWorker(&worker, [] { Look3dClose(Self()); });
    L3tWorkerStop(&worker);
    EXPECT_EQ(Look3d.threadCount, 0);
}

/* ---- which windows the creation hook subclasses ------------------------ */

TEST_F(Look3dCore, DialogOfClassAtomAndItsControlsGetTheLook)
{
    OpenAndHook();
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    ASSERT_NE(d, (HWND)NULL);
    EXPECT_EQ(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_TRUE(HasOldProcProp(d));
    EXPECT_EQ(Look3dFindOldProc(d), Look3d.dialogStandardProc);
    HWND text = GetDlgItem(d, 10);
    HWND edit = GetDlgItem(d, 11);
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC]);
    EXPECT_EQ(ProcOf(edit), (WNDPROC)Look3dEditProc);
    EXPECT_EQ(Identify(text), 1);
    EXPECT_EQ(Identify(edit), 1);
    EXPECT_EQ(Identify(d), L3_IDENTIFY_UNANSWERED) << "the dialog procedure does not answer";
    DestroyWindow(d);
}

struct BoxSeen {
    WNDPROC proc;
    bool property;
    bool ds3dLook;              /* the box's style has DS_3DLOOK */
    WNDPROC buttonProc;         /* its OK button's */
    bool buttonProperty;
    bool found;
};
BoxSeen boxSeen;

BOOL CALLBACK FindBox(HWND w, LPARAM)
{
    char cls[16], title[16];
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (lstrcmpA(cls, "#32770") == 0 && lstrcmpA(title, "L3T box") == 0) {
        boxSeen.proc = ProcOf(w);
        boxSeen.property = HasOldProcProp(w);
        boxSeen.ds3dLook = (GetWindowLongA(w, GWL_STYLE) & DS_3DLOOK) != 0;
        HWND ok = GetDlgItem(w, IDOK);
        boxSeen.buttonProc = ok != NULL ? ProcOf(ok) : NULL;
        boxSeen.buttonProperty = ok != NULL && HasOldProcProp(ok);
        boxSeen.found = true;
        PostMessageA(w, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    return TRUE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR id, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
    if (boxSeen.found)
        KillTimer(NULL, id);
}

/* Shows a message box and looks at it while it is up. */
void ShowAndSeeBox()
{
    boxSeen = BoxSeen();
    UINT_PTR timer = SetTimer(NULL, 0, 30, LookForBox);
    int r = MessageBoxA(NULL, "Hello", "L3T box", MB_OK);
    KillTimer(NULL, timer);
    EXPECT_EQ(r, IDOK);
}

TEST_F(Look3dCore, MessageBoxGetsTheLook)
{
    OpenAndHook();
    ShowAndSeeBox();
    ASSERT_TRUE(boxSeen.found);
    EXPECT_EQ(boxSeen.proc, (WNDPROC)Look3dDlgProc);
    EXPECT_TRUE(boxSeen.property);
    EXPECT_FALSE(boxSeen.ds3dLook);
    EXPECT_EQ(boxSeen.buttonProc, (WNDPROC)Look3dButtonProc);
    EXPECT_TRUE(boxSeen.buttonProperty);
}

TEST_F(Look3dCore, MessageBoxWithDs3dLookKeepsTheSystemButtons)
{
    /* As the shell shows its boxes under Wine, whose dialog manager sets
     * DS_3DLOOK under every version: the box has the look, its button not. */
    ASSERT_TRUE(Look3dOpen(Self()));
    ASSERT_TRUE(Look3dHookThread(Self()));
    ShowAndSeeBox();
    ASSERT_TRUE(boxSeen.found);
    EXPECT_TRUE(boxSeen.ds3dLook);
    EXPECT_EQ(boxSeen.proc, (WNDPROC)Look3dDlgProc);
    EXPECT_TRUE(boxSeen.property);
    EXPECT_EQ(boxSeen.buttonProc, Look3d.standardProc[L3I_BUTTON]);
    EXPECT_FALSE(boxSeen.buttonProperty);
}

TEST_F(Look3dCore, DialogClassGivenByNameIsNotRecognised)
{
    OpenAndHook();
    HWND byName = CreateWindowExA(0, "#32770", "named", WS_POPUP, 0, 0, 50, 50, NULL, NULL,
                                  Self(), NULL);
    ASSERT_NE(byName, (HWND)NULL);
    EXPECT_NE(ProcOf(byName), (WNDPROC)Look3dDlgProc);
    EXPECT_FALSE(HasOldProcProp(byName));
    HWND child = CreateWindowExA(0, "Static", "t", WS_CHILD | SS_LEFT, 0, 0, 20, 10, byName,
                                 NULL, Self(), NULL);
    EXPECT_EQ(ProcOf(child), Look3d.standardProc[L3I_STATIC]) << "its parent carries no look";
    DestroyWindow(byName);

    /* The same through a template that names the class as a string. */
    std::vector<WORD> tmpl = L3tBuildTemplate(WS_POPUP | DS_MODALFRAME, "n", 0, 0, 50, 30,
                                              NULL, 0, "#32770");
    HWND d = L3tCreateDialog(tmpl, PlainDlgProc);
    ASSERT_NE(d, (HWND)NULL);
    EXPECT_NE(ProcOf(d), (WNDPROC)Look3dDlgProc);
    EXPECT_FALSE(HasOldProcProp(d));
    DestroyWindow(d);
}

HWND MakeChild(const char *cls, HWND parent, DWORD style = 0)
{
    return CreateWindowExA(0, cls, "x", WS_CHILD | WS_VISIBLE | style, 0, 0, 40, 12, parent,
                           NULL, Self(), NULL);
}

TEST_F(Look3dCore, ControlsGetTheLookThroughParentOrGrandparentOnly)
{
    OpenAndHook();
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    HWND panel = MakeChild(kPanelClass, d);
    HWND panel2 = MakeChild(kPanelClass, panel);
    EXPECT_EQ(ProcOf(panel), (WNDPROC)PanelProc) << "no class row: left alone";
    EXPECT_FALSE(HasOldProcProp(panel));

    HWND child = MakeChild("Static", d, SS_LEFT);
    HWND grandchild = MakeChild("Static", panel, SS_LEFT);
    HWND greatGrandchild = MakeChild("Static", panel2, SS_LEFT);
    HWND topLevel = CreateWindowExA(0, "Static", "t", WS_POPUP | SS_LEFT, 0, 0, 20, 10, NULL,
                                    NULL, Self(), NULL);
    EXPECT_EQ(ProcOf(child), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(ProcOf(grandchild), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(ProcOf(greatGrandchild), Look3d.standardProc[L3I_STATIC]);
    EXPECT_FALSE(HasOldProcProp(greatGrandchild));
    EXPECT_EQ(ProcOf(topLevel), Look3d.standardProc[L3I_STATIC]);
    DestroyWindow(topLevel);
    DestroyWindow(d);
}

/* Declines the look for its controls through L3M_QUERYCHILDREN. */
INT_PTR CALLBACK DecliningDlgProc(HWND, UINT m, WPARAM, LPARAM lp)
{
    if (m == L3M_QUERYCHILDREN) {
        *(int *)lp = 0;
        return TRUE;
    }
    return m == WM_INITDIALOG;
}

TEST_F(Look3dCore, QueryChildrenAnsweredZeroTakesTheLookOffEverything)
{
    OpenAndHook();
    HWND d = L3tCreateDialog(SmallDialog(), DecliningDlgProc);
    ASSERT_NE(d, (HWND)NULL);
    EXPECT_EQ(ProcOf(d), Look3d.dialogStandardProc);
    EXPECT_FALSE(HasOldProcProp(d));
    HWND text = GetDlgItem(d, 10);
    EXPECT_EQ(ProcOf(text), Look3d.standardProc[L3I_STATIC]);
    EXPECT_FALSE(HasOldProcProp(text));
    EXPECT_EQ(ProcOf(GetDlgItem(d, 11)), Look3d.standardProc[L3I_EDIT]);
    DestroyWindow(d);
}

/* ---- removal, walk, properties ----------------------------------------- */

WNDPROC foreignNext;
LRESULT CALLBACK ForeignProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return CallWindowProcA(foreignNext, w, m, wp, lp);
}

TEST_F(Look3dCore, RemoveLookRestoresProceduresAndSwitchesOffForeignOnes)
{
    OpenAndHook();
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    HWND text = GetDlgItem(d, 10);
    HWND edit = GetDlgItem(d, 11);
    HWND panel = MakeChild(kPanelClass, d);
    HWND deep = MakeChild("Static", panel, SS_LEFT);    /* grandchild with the look */
    ASSERT_EQ(ProcOf(deep), (WNDPROC)Look3dStaticProc);
    /* Someone subclasses the static after the look. */
    foreignNext = (WNDPROC)SetWindowLongPtrA(text, GWLP_WNDPROC, (LONG_PTR)ForeignProc);
    ASSERT_EQ(foreignNext, (WNDPROC)Look3dStaticProc);
    ASSERT_EQ(Identify(text), 1);

    EXPECT_TRUE(Look3dRemoveLook(d));
    EXPECT_EQ(ProcOf(d), Look3d.dialogStandardProc);
    EXPECT_FALSE(HasOldProcProp(d));
    EXPECT_EQ(ProcOf(edit), Look3d.standardProc[L3I_EDIT]);
    EXPECT_FALSE(HasOldProcProp(edit));
    EXPECT_EQ(ProcOf(deep), Look3d.standardProc[L3I_STATIC]) << "all depths";
    EXPECT_TRUE(HasOffProp(panel)) << "a procedure not the look's is switched off";

    EXPECT_EQ(ProcOf(text), (WNDPROC)ForeignProc) << "the foreign procedure stays";
    EXPECT_TRUE(HasOffProp(text));
    EXPECT_TRUE(HasOldProcProp(text));
    EXPECT_EQ(Identify(text), L3_IDENTIFY_UNANSWERED) << "switched off: no answer";
    char buf[8] = "";
    SetWindowTextA(text, "abc");
    GetWindowTextA(text, buf, sizeof buf);
    EXPECT_STREQ(buf, "abc") << "messages still reach the system procedure";
    DestroyWindow(d);
}

TEST_F(Look3dCore, RemoveLookAndWalkRefuseWhileOff)
{
    HWND w = CreateWindowExA(0, kPanelClass, "p", WS_POPUP, 0, 0, 10, 10, NULL, NULL, Self(),
                             NULL);
    EXPECT_FALSE(Look3dRemoveLook(w));
    EXPECT_FALSE(Look3dSubclassDlgChildren(w, L3K_ALL));
    DestroyWindow(w);
}

TEST_F(Look3dCore, WalkRenewsStalePropertiesAndStopsAtGrandchildren)
{
    ASSERT_TRUE(Look3dOpen(Self()));        /* not hooked: only the walk acts */
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    HWND text = GetDlgItem(d, 10);
    ASSERT_EQ(ProcOf(text), Look3d.standardProc[L3I_STATIC]);
    HWND panel = MakeChild(kPanelClass, d);
    HWND panel2 = MakeChild(kPanelClass, panel);
    HWND grandchild = MakeChild("Static", panel, SS_LEFT);
    HWND deep = MakeChild("Static", panel2, SS_LEFT);
    /* A stale property: recorded, but no look procedure runs the window. */
    SetPropA(text, MAKEINTATOM(Look3d.oldProcAtom), (HANDLE)PanelProc);

    EXPECT_TRUE(Look3dSubclassDlgChildren(d, L3K_ALL));
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC])
        << "the stale property was replaced";
    EXPECT_EQ(Identify(text), 1);
    EXPECT_EQ(ProcOf(GetDlgItem(d, 11)), (WNDPROC)Look3dEditProc);
    EXPECT_EQ(ProcOf(grandchild), (WNDPROC)Look3dStaticProc);
    EXPECT_EQ(ProcOf(deep), Look3d.standardProc[L3I_STATIC]) << "deeper windows not visited";
    EXPECT_EQ(ProcOf(d), Look3d.dialogStandardProc) << "the walk leaves the dialog itself";

    /* A second walk finds every look procedure answering and changes nothing. */
    WNDPROC old = Look3dFindOldProc(text);
    EXPECT_TRUE(Look3dSubclassDlgChildren(d, L3K_ALL));
    EXPECT_EQ(Look3dFindOldProc(text), old);
    DestroyWindow(d);
}

TEST_F(Look3dCore, SubclassControlByKindsAndExactClassName)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    HWND host = CreateWindowExA(0, kPanelClass, "p", WS_POPUP, 0, 0, 50, 50, NULL, NULL,
                                Self(), NULL);
    HWND text = MakeChild("Static", host, SS_LEFT);
    EXPECT_FALSE(Look3dSubclassControl(text, L3K_BUTTON | L3K_EDIT, 0, NULL))
        << "kinds share no bit with the Static row";
    EXPECT_EQ(ProcOf(text), Look3d.standardProc[L3I_STATIC]);
    EXPECT_FALSE(Look3dSubclassControl(text, L3K_STATICFRAME, 0, NULL))
        << "the row is reached; its test refuses a text static for frames";
    EXPECT_TRUE(Look3dSubclassControl(text, L3K_STATICTEXT, 0, NULL));
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc);
    EXPECT_FALSE(Look3dSubclassControl(text, L3K_ALL, 0, NULL)) << "already carries the look";
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc);

    /* A local class "static" is not "Static": names compare case-sensitively. */
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = Self();
    wc.lpszClassName = "static";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND lower = MakeChild("static", host, SS_LEFT);
    char name[16];
    GetClassNameA(lower, name, sizeof name);
    ASSERT_STREQ(name, "static");
    EXPECT_FALSE(Look3dSubclassControl(lower, L3K_ALL, 0, NULL));
    EXPECT_EQ(ProcOf(lower), (WNDPROC)PanelProc);
    DestroyWindow(host);
    UnregisterClassA("static", Self());
}

TEST_F(Look3dCore, SubclassNowNeverTwiceAndOldProcFallsBackToClass)
{
    ASSERT_TRUE(Look3dOpen(Self()));
    HWND host = CreateWindowExA(0, kPanelClass, "p", WS_POPUP, 0, 0, 50, 50, NULL, NULL,
                                Self(), NULL);
    HWND text = MakeChild("Static", host, SS_LEFT);
    Look3dSubclass(text, Look3dStaticProc);
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC]);
    Look3dSubclass(text, Look3dButtonProc);
    EXPECT_EQ(ProcOf(text), (WNDPROC)Look3dStaticProc) << "not subclassed twice";
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC]);

    /* The property lost: the class's own procedure stands in and is recorded. */
    RemovePropA(text, MAKEINTATOM(Look3d.oldProcAtom));
    EXPECT_EQ(Look3dFindOldProc(text), (WNDPROC)NULL);
    EXPECT_EQ(Look3dGetOldProc(text, L3I_STATIC), Look3d.standardProc[L3I_STATIC]);
    EXPECT_EQ(Look3dFindOldProc(text), Look3d.standardProc[L3I_STATIC]);
    EXPECT_EQ(Look3dFindOldProc(NULL), (WNDPROC)NULL);
    DestroyWindow(host);
}

/* Sits on top of the look and looks at the properties right after the
 * look's procedure has handled WM_NCDESTROY. */
struct NcDestroySeen {
    bool seen, oldProc, off;
};
NcDestroySeen ncSeen;
WNDPROC ncNext;
LRESULT CALLBACK NcWatchProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    LRESULT r = CallWindowProcA(ncNext, w, m, wp, lp);
    if (m == WM_NCDESTROY) {
        ncSeen.seen = true;
        ncSeen.oldProc = HasOldProcProp(w);
        ncSeen.off = HasOffProp(w);
    }
    return r;
}

TEST_F(Look3dCore, NoPropertyLeftAfterNcDestroy)
{
    OpenAndHook();
    for (int switchedOff = 0; switchedOff < 2; switchedOff++) {
        SCOPED_TRACE(switchedOff ? "switched off" : "not switched off");
        HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
        HWND text = GetDlgItem(d, 10);
        ASSERT_TRUE(HasOldProcProp(text));
        if (switchedOff)
            SetPropA(text, MAKEINTATOM(Look3d.offAtom), (HANDLE)1);
        ncNext = (WNDPROC)SetWindowLongPtrA(text, GWLP_WNDPROC, (LONG_PTR)NcWatchProc);
        ncSeen = NcDestroySeen();
        DestroyWindow(d);
        EXPECT_TRUE(ncSeen.seen);
        EXPECT_FALSE(ncSeen.oldProc);
        EXPECT_FALSE(ncSeen.off);
    }
}

TEST_F(Look3dCore, SwitchedOffControlPassesEverythingOn)
{
    OpenAndHook();
    HWND d = L3tCreateDialog(SmallDialog(), PlainDlgProc);
    HWND text = GetDlgItem(d, 10);
    SetPropA(text, MAKEINTATOM(Look3d.offAtom), (HANDLE)1);
    EXPECT_EQ(Identify(text), L3_IDENTIFY_UNANSWERED);
    RemovePropA(text, MAKEINTATOM(Look3d.offAtom));
    EXPECT_EQ(Identify(text), 1);
    DestroyWindow(d);
}

/* ---- the lock's set-up, in a process of its own ------------------------ */

/* Set in the environment of the copy that runs the race: the lock is made
 * once per process, so only a process that has not opened the look yet can
 * race for it. */
const char kFreshProcess[] = "L3T_FRESH_PROCESS";

/* The late opener is stopped at its first write to the page that holds the
 * lock state: page made read-only, the write faults, this handler makes it
 * writable again and holds the thread until the others have finished. When
 * it goes on, the write is done again: a claim made after the lock is ready. */
struct LateOpener {
    void *page;
    DWORD thread;
    HANDLE paused, resume;
    const void *faultAt;
    BOOL opened;
};
LateOpener late;

LONG CALLBACK HoldTheLateOpener(EXCEPTION_POINTERS *e)
{
    /* QEMU's user-mode emulator reports a locked write to a read-only page
     * as an illegal instruction, without the address written. */
    const EXCEPTION_RECORD *r = e->ExceptionRecord;
    bool fault = r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION
                 || r->ExceptionCode == EXCEPTION_ILLEGAL_INSTRUCTION;
    if (!fault || GetCurrentThreadId() != late.thread)
        return EXCEPTION_CONTINUE_SEARCH;
    DWORD was;
    VirtualProtect(late.page, 1, PAGE_READWRITE, &was);
    late.faultAt = r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION
                       ? (const void *)r->ExceptionInformation[1]
                       : late.page;
    SetEvent(late.paused);
    WaitForSingleObject(late.resume, INFINITE);
    return EXCEPTION_CONTINUE_EXECUTION;
}

DWORD WINAPI LateOpen(LPVOID)
{
    DWORD was;
    VirtualProtect(late.page, 1, PAGE_READONLY, &was);
    BOOL opened = Look3dOpen(Self());
    late.opened = opened;
    return 0;
}

DWORD WINAPI Open(LPVOID result)
{
    *(BOOL *)result = Look3dOpen(Self());
    return 0;
}

DWORD WINAPI OpenAndClose(LPVOID)
{
    Look3dOpen(Self());
    Look3dClose(Self());
    return 0;
}

TEST(Look3dLock, FirstOpensRaceInAProcessOfTheirOwn)
{
    if (GetEnvironmentVariableA(kFreshProcess, NULL, 0) != 0)
        GTEST_SKIP() << "the copy runs the race";
    ASSERT_TRUE(SetEnvironmentVariableA(kFreshProcess, "1"));
    int code = L3tRunUnderVersion("win7", "Look3dLockRace.*");
    SetEnvironmentVariableA(kFreshProcess, NULL);
    EXPECT_EQ(code, 0);
}

TEST(Look3dLockRace, ClaimAfterTheLockIsReadyDoesNotUndoIt)
{
    if (GetEnvironmentVariableA(kFreshProcess, NULL, 0) == 0)
        GTEST_SKIP() << "runs in a copy that has not opened the look";
    ASSERT_EQ(Look3d.lockState, 0) << "the look was opened in this process before";
    late = LateOpener();
    late.page = (void *)&Look3d.lockState;
    late.paused = CreateEventA(NULL, TRUE, FALSE, NULL);
    late.resume = CreateEventA(NULL, TRUE, FALSE, NULL);
    PVOID handler = AddVectoredExceptionHandler(1, HoldTheLateOpener);
    ASSERT_NE(handler, (PVOID)NULL);

    /* The late opener has read the lock state as "not made" and is held
     * before it claims the set-up. */
    HANDLE lateThread = CreateThread(NULL, 0, LateOpen, NULL, CREATE_SUSPENDED, &late.thread);
    ASSERT_NE(lateThread, (HANDLE)NULL);
    ResumeThread(lateThread);
    ASSERT_EQ(WaitForSingleObject(late.paused, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(late.faultAt, (const void *)&Look3d.lockState) << "held at its claim";

    /* Meanwhile three threads open the look at once; one of them makes the
     * lock, the others wait for it. */
    const int kOpeners = 3;
    HANDLE openers[kOpeners];
    BOOL opened[kOpeners] = {};
    for (int i = 0; i < kOpeners; i++) {
        openers[i] = CreateThread(NULL, 0, Open, &opened[i], 0, NULL);
        ASSERT_NE(openers[i], (HANDLE)NULL);
    }
    ASSERT_EQ(WaitForMultipleObjects(kOpeners, openers, TRUE, 20000), WAIT_OBJECT_0);
    for (int i = 0; i < kOpeners; i++) {
        EXPECT_TRUE(opened[i]) << "opener " << i;
        CloseHandle(openers[i]);
    }
    EXPECT_EQ(Look3d.instanceCount, kOpeners);

    /* The late claim comes after the lock is ready: the late opener must
     * find the lock ready, not wait for ever. A thread stuck here is left to
     * end with the process. */
    SetEvent(late.resume);
    ASSERT_EQ(WaitForSingleObject(lateThread, 10000), WAIT_OBJECT_0) << "the late opener hangs";
    RemoveVectoredExceptionHandler(handler);
    CloseHandle(lateThread);
    EXPECT_TRUE(late.opened);
    EXPECT_EQ(Look3d.instanceCount, kOpeners + 1);

    for (int i = 0; i <= kOpeners; i++)
        Look3dClose(Self());
    EXPECT_EQ(Look3d.instanceCount, 0);
    EXPECT_FALSE(Look3d.enabled);

    /* Later opens and closes, on any thread, go through. */
    HANDLE after = CreateThread(NULL, 0, OpenAndClose, NULL, 0, NULL);
    ASSERT_NE(after, (HANDLE)NULL);
    EXPECT_EQ(WaitForSingleObject(after, 10000), WAIT_OBJECT_0);
    CloseHandle(after);
    CloseHandle(late.paused);
    CloseHandle(late.resume);
}

}  // namespace
