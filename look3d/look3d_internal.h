/*
 * The three-dimensional control look: what its sources share.
 *
 * One process-wide record, `Look3d` (a Look3dState), holds the counts, the
 * version, the property atoms, the frame metrics, the colour slots and the
 * shared GDI objects, the runtime columns of the class table, the table of
 * hooked threads and the one deferred subclassing in progress.
 *
 * Which source owns what:
 *   init.cpp       Look3dOpen/HookThread/Close, attach, resources, termination,
 *                  the thread table and the creation hook
 *   paint.cpp      colour slots, brushes, glyph bitmap, menu marker and the
 *                  drawing primitives
 *   dialog.cpp     the dialog procedure: frame, colour messages, WM_INITDIALOG
 *   subclass.cpp   the class table, the two window properties, subclassing now
 *                  and deferred, the dialog walk, the removal of the look and
 *                  the opening steps of every look window procedure
 *   buttons.cpp    "Button": test and procedure
 *   fields.cpp     "Edit", "ListBox", "ComboBox", "ComboLBox": tests and
 *                  procedures
 *   statics.cpp    "Static": test and procedure
 *
 * Invariants:
 *   1. A window carries the old-procedure property ("C3d") exactly while a
 *      procedure of the look may run for it; the property is the look's test
 *      of whether a window carries the look.
 *   2. Fields that change only at initialisation and termination (colours,
 *      brushes, bitmap, atoms, versions, metrics, class table columns) are read
 *      without the lock by the window procedures.
 *   3. The lock guards instanceCount, the thread table and its cache, the
 *      attach step, the resource initialisation and termination.
 */
#ifndef ORM_LOOK3D_INTERNAL_H
#define ORM_LOOK3D_INTERNAL_H

#include <windows.h>

#include "look3d.h"

/* Windows versions as in winVersion: major in the high byte. */
#define L3V_WIN30           0x0300  /* Windows 3.0 */
#define L3V_WIN310          0x030A  /* 3.10: the lowest version that is hooked */
#define L3V_WIN395          0x035F  /* 3.95: the system draws 3-D controls itself */

/* Class indices: rows of the class table, and the dialog class. */
#define L3I_BUTTON          0
#define L3I_LISTBOX         1
#define L3I_EDIT            2
#define L3I_COMBOBOX        3
#define L3I_STATIC          4
#define L3I_COMBOLBOX       5
#define L3I_DIALOG          6
#define L3I_ROWS            6       /* rows in the class table */

/* Kind bits of class rows; a caller's mask selects rows. */
#define L3K_BUTTON          0x0001
#define L3K_LISTBOX         0x0002
#define L3K_EDIT            0x0004
#define L3K_COMBOBOX        0x0008
#define L3K_STATICTEXT      0x0010
#define L3K_STATICFRAME     0x0020
#define L3K_ALL             0xFFFF

/* Colour slots, Look3d.colours[]. */
#define L3C_HILITE          0   /* COLOR_BTNHIGHLIGHT */
#define L3C_FACE            1   /* COLOR_BTNFACE */
#define L3C_SHADOW          2   /* COLOR_BTNSHADOW */
#define L3C_BTNTEXT         3   /* COLOR_BTNTEXT */
#define L3C_WINDOW          4   /* COLOR_WINDOW */
#define L3C_WINDOWTEXT      5   /* COLOR_WINDOWTEXT */
#define L3C_GRAYTEXT        6   /* COLOR_GRAYTEXT */
#define L3C_FRAME           7   /* COLOR_WINDOWFRAME */
#define L3C_SLOTS           8

/* Edge flags of Look3dDrawEdges and Look3dDrawSunkenField. */
#define L3E_LEFT            0x0001
#define L3E_TOP             0x0002
#define L3E_RIGHT           0x0004
#define L3E_BOTTOM          0x0008
#define L3E_ALL             0x000F
#define L3E_SHORTBOTTOM     0x1000  /* bottom edge stops 2 pixels short of the right */

/* A combo box's kind, CBS_SIMPLE, CBS_DROPDOWN or CBS_DROPDOWNLIST: the low
 * two bits of its style. */
#define L3_COMBO_KIND_MASK  0x0003

/* The system dialog class, by its class atom ("#32770"). */
#define L3_DIALOG_CLASS     MAKEINTATOM(32770)

/* Style bit 0x0004: DS_3DLOOK on a dialog; a window carrying the look with
 * this bit passes no look on to its children. */
#define L3_STYLE_3DLOOK     0x0004

/* Value that L3M_IDENTIFY's integer holds before a look procedure answers. */
#define L3_IDENTIFY_UNANSWERED 666

/* The glyph bitmap: 5 x 3 cells of 14 x 13 pixels. */
#define L3_GLYPH_CX         14
#define L3_GLYPH_CY         13

/* A class test: 1 has the window subclassed, 0 leaves it alone.
 *   style  the window's GWL_STYLE
 *   kinds  the caller's kinds mask
 *   mode   1 from the creation hook, 0 from a walk of existing windows
 *   extra  the parent named at creation, NULL in walks (the combo box test
 *          passes the combo box when it subclasses the combo box's children) */
typedef int (*Look3dTestProc)(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);

/* A row of the constant class table. */
typedef struct Look3dClassEntry {
    char className[20];         /* system class name, NUL-padded */
    WNDPROC lookProc;           /* the look's procedure for the class */
    Look3dTestProc test;        /* decides whether a window gets it */
    WORD kinds;                 /* kind bits of the row */
} Look3dClassEntry;

extern const Look3dClassEntry Look3dClassTable[L3I_ROWS];

/* A row of the table of hooked threads. */
typedef struct Look3dThreadEntry {
    HINSTANCE ownerInstance;    /* instance of the Look3dHookThread that made it */
    DWORD threadId;             /* the hooked thread */
    HHOOK hook;                 /* its WH_CBT hook */
    LONG useCount;              /* 1 when made; +1 per further hook of the thread */
} Look3dThreadEntry;

#define L3_MAX_THREADS      4

/* The process-wide state; zero at start. */
typedef struct Look3dState {
    CRITICAL_SECTION lock;      /* see invariant 3; re-entered by its owner */
    volatile LONG lockState;    /* the lock: 0 not made, 1 being made, 2 ready;
                                 * made once per process, never deleted */

    /* Counts and switches. */
    LONG instanceCount;         /* Look3dOpen calls not yet closed */
    BOOL enabled;               /* the look is in force */

    /* Set by the attach step. */
    HINSTANCE moduleInstance;   /* first opener: hooks and the glyph resource */
    WORD winVersion;            /* major in the high byte, minor in the low */
    WORD hostBits;              /* 16 on the 16-bit 3.x host, else 32 */
    int frameCx, frameCy;       /* SM_CXDLGFRAME - 1, SM_CYDLGFRAME - 1 */
    int captionCy;              /* SM_CYCAPTION */

    /* Set by the resource initialisation. */
    ATOM oldProcAtom;           /* "C3d": the replaced window procedure */
    ATOM offAtom;               /* "C3dD": the look switched off for a window;
                                 * both numbers stay after termination gives
                                 * the atoms back (see Look3dTerminate) */
    ATOM heldOldProcAtom;       /* the references of "C3d" and "C3dD" this */
    ATOM heldOffAtom;           /* open added; 0 when it added none */
    BYTE dbcsEnabled;           /* SM_DBCSENABLED */
    BYTE menuMarker;            /* 0x1E or 0x1F: the double-byte "&" */
    COLORREF colours[L3C_SLOTS];/* the colour slots L3C_* */
    HBRUSH hbrHilite;           /* solid brush of L3C_HILITE */
    HBRUSH hbrFace;             /* solid brush of L3C_FACE; the control colour brush */
    HBRUSH hbrShadow;           /* solid brush of L3C_SHADOW */
    HBITMAP hbmGlyphs;          /* the recoloured glyph bitmap */

    /* Runtime columns of the class table. */
    WNDPROC activeProc[L3I_ROWS];   /* lookProc while initialised, else NULL */
    WNDPROC standardProc[L3I_ROWS]; /* the system class's own procedure */
    WNDPROC dialogStandardProc;     /* the dialog class's own procedure */

    /* Hooked threads (under the lock). */
    LONG threadCount;           /* rows in use, 0 .. L3_MAX_THREADS */
    Look3dThreadEntry threads[L3_MAX_THREADS]; /* in hooking order, no gaps */
    DWORD lastThreadId;         /* cache: the thread of the last lookup */
    LONG lastThreadIndex;       /* cache: its row */

    /* The one deferred subclassing in progress (16-bit host only). */
    HWND pendingWindow;
    WNDPROC pendingProc;
    HHOOK pendingHook;
} Look3dState;

extern Look3dState Look3d;

/* --- init.cpp ----------------------------------------------------------- */
void Look3dAttach(HINSTANCE instance);
BOOL Look3dInitResources(void);
void Look3dTerminate(void);
BOOL Look3dIsThreadHooked(void);
LRESULT CALLBACK Look3dCbtHook(int code, WPARAM wParam, LPARAM lParam);

/* --- paint.cpp ---------------------------------------------------------- */
BOOL Look3dBuildColours(void);
/* The version and grey-text rules applied to a fresh set of eight colours. */
void Look3dAdjustColours(COLORREF colours[L3C_SLOTS], WORD winVersion);
HBITMAP Look3dLoadGlyphs(HINSTANCE instance, int id, COLORREF text, COLORREF face,
                         COLORREF shadow, COLORREF highlight, COLORREF window,
                         COLORREF frame);
void Look3dDeleteObject(HGDIOBJ *object);
void Look3dDeleteColourObjects(void);
void Look3dReadMenuMarker(void);

/* PatBlt PATCOPY of rect with the brush selected in dc. */
void Look3dFillRect(HDC dc, const RECT *rect);
/* One-pixel edges of rect: top and left in slot first, right and bottom in
 * slot second (drawn last, so they own the top-right and bottom-left
 * corners). Only the background colour of dc changes, and is restored. */
void Look3dDrawEdges(HDC dc, const RECT *rect, WORD first, WORD second, WORD edges);
/* Two-ring sunken border: inner ring on rect's outermost pixels (frame /
 * face), outer ring one pixel outside (shadow / highlight). */
void Look3dDrawSunkenField(HDC dc, const RECT *rect, WORD edges);
void Look3dClipToClient(HWND window, HDC dc);
/* Extent of a control text with its mnemonic markers removed; at most 255
 * bytes of text are measured. */
void Look3dMeasureText(HDC dc, const char *text, int *width /* OUT */,
                       int *height /* OUT */);

/* --- dialog.cpp --------------------------------------------------------- */
LRESULT CALLBACK Look3dDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Look3dPaintDlgFrame(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
/* Face colours for the colour messages that the look answers, else NULL. */
HBRUSH Look3dCtlColor(UINT message, HDC dc, HWND control);

/* --- subclass.cpp ------------------------------------------------------- */
WNDPROC Look3dFindOldProc(HWND window);
WNDPROC Look3dGetOldProc(HWND window, int classIndex);
BOOL Look3dIsSwitchedOff(HWND window);
void Look3dSubclass(HWND window, WNDPROC procedure);
void Look3dSubclassDeferred(HWND window, WNDPROC procedure);
LRESULT CALLBACK Look3dDeferredHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT Look3dNcDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        int classIndex);
BOOL Look3dSubclassControl(HWND window, WORD kinds, WORD mode, HWND extra);
void Look3dSubclassChild(HWND window, WORD kinds);
BOOL Look3dSubclassDlgChildren(HWND dialog, WORD kinds);
BOOL Look3dWantsChildren(HWND window);

/* The opening steps of every look window procedure:
 *   WM_NCDESTROY      -> Look3dNcDestroy(window, ..., classIndex)
 *   look terminated   -> the message unchanged to the old procedure
 *   switched off      -> the message unchanged to the old procedure
 * Returns TRUE when the message was dealt with (its answer in *result);
 * FALSE when the class's own handling goes on. */
BOOL Look3dOpeningSteps(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        int classIndex, LRESULT *result /* OUT */);
/* CallWindowProcA to Look3dGetOldProc(window, classIndex). */
LRESULT Look3dPassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                     int classIndex);
/* Stores 1 in the integer that an L3M_IDENTIFY's lParam points at. */
void Look3dAnswerIdentify(LPARAM lParam);

/* --- buttons.cpp -------------------------------------------------------- */
int Look3dButtonTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
LRESULT CALLBACK Look3dButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* --- fields.cpp --------------------------------------------------------- */
int Look3dListBoxTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
int Look3dEditTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
int Look3dComboTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
int Look3dComboListTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
LRESULT CALLBACK Look3dListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK Look3dEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK Look3dComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* --- statics.cpp -------------------------------------------------------- */
int Look3dStaticTest(HWND window, LONG style, WORD kinds, WORD mode, HWND extra);
LRESULT CALLBACK Look3dStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif /* ORM_LOOK3D_INTERNAL_H */
