/*
 * The look of "Edit", "ListBox", "ComboBox" and "ComboLBox" controls: the
 * class tests, the window procedures and the sunken frame.
 *
 * These controls keep painting themselves with the system's procedures. The
 * look draws a two-ring sunken frame around each one into its parent's
 * surface after the control's own WM_PAINT:
 *   inner ring  on the control's outermost pixels: frame colour at top and
 *               left, face colour at right and bottom;
 *   outer ring  one pixel outside the control: shadow at top and left,
 *               highlight at right and bottom.
 * The frame band (the window rectangle inflated by one pixel) is invalidated
 * in the parent, without erasing, before the control moves, changes size, is
 * shown or is hidden, so the parent clears the old frame. A combo box's edit
 * (identifier 1001) and list (1000) are framed in the combo box's parent.
 */
#include "look3d_controls.h"

/* Identifiers of a combo box's own children. */
#define COMBO_LIST_ID       1000
#define COMBO_EDIT_ID       1001

/* Class names are read into this many characters. */
#define CLASS_NAME_BUFFER   16

static BOOL IsComboBox(HWND window)
{
    char name[CLASS_NAME_BUFFER];
    if (window == NULL || GetClassNameA(window, name, sizeof name) == 0)
        return FALSE;
    return lstrcmpA(name, "ComboBox") == 0;
}

static BOOL IsDropDownKind(LONG style)
{
    LONG kind = style & L3_COMBO_KIND_MASK;
    return kind == CBS_DROPDOWN || kind == CBS_DROPDOWNLIST;
}

/* Edit controls and list boxes: the look everywhere before 3.95; from 3.95
 * on, not for those whose parent (or handing-over combo box) is a combo box. */
static int FieldTest(HWND extra)
{
    if (Look3d.winVersion < L3V_WIN395 || extra == NULL)
        return 1;
    return IsComboBox(extra) ? 0 : 1;
}

int Look3dListBoxTest(HWND, LONG, WORD, WORD, HWND extra)
{
    return FieldTest(extra);
}

int Look3dEditTest(HWND, LONG, WORD, WORD, HWND extra)
{
    return FieldTest(extra);
}

/* A drop-down combo box never gets the look, only its edit does; a
 * drop-down list gets it itself; a simple one gets it with its list and
 * edit. At creation the children do not exist yet and get the look through
 * their own creation; a walk hands them over here. */
int Look3dComboTest(HWND window, LONG style, WORD, WORD mode, HWND)
{
    if (Look3d.winVersion >= L3V_WIN395)
        return 0;
    switch (style & L3_COMBO_KIND_MASK) {
    case CBS_DROPDOWN:
        if (mode == 0) {
            HWND edit = GetWindow(window, GW_CHILD);
            if (edit != NULL)
                Look3dSubclassControl(edit, L3K_EDIT, mode, window);
        }
        return 0;
    case CBS_DROPDOWNLIST:
        return 1;
    default: {                  /* CBS_SIMPLE, and kind 0 alike */
        if (mode == 1)
            return 1;
        HWND list = GetWindow(window, GW_CHILD);
        if (list == NULL)
            return 0;
        Look3dSubclassControl(list, L3K_LISTBOX, mode, window);
        HWND edit = GetWindow(list, GW_HWNDNEXT);
        if (edit != NULL)
            Look3dSubclassControl(edit, L3K_EDIT, mode, window);
        return 1;
    }
    }
}

int Look3dComboListTest(HWND, LONG, WORD, WORD mode, HWND extra)
{
    if (Look3d.winVersion >= L3V_WIN395)
        return 0;
    if (mode == 0)
        return 1;
    return IsDropDownKind(GetWindowLongA(extra, GWL_STYLE)) ? 0 : 1;
}

/* The control's window rectangle, inflated by one pixel, in its parent's
 * client coordinates; one pixel wider with a vertical scroll bar (the
 * highlight column right of it). FALSE when there is no parent. */
static BOOL FrameBand(HWND control, LONG style, RECT *band /* IN: screen rect; OUT */)
{
    HWND parent = GetParent(control);
    if (parent == NULL)
        return FALSE;
    InflateRect(band, 1, 1);
    MapWindowPoints(NULL, parent, (POINT *)band, 2);
    if (style & WS_VSCROLL)
        band->right += 1;
    return TRUE;
}

void Look3dInvalidateFieldFrame(HWND control, const WINDOWPOS *pos)
{
    RECT w;
    GetWindowRect(control, &w);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return;
    if (pos != NULL) {
        UINT flags = pos->flags;
        const UINT still = SWP_NOMOVE | SWP_NOSIZE;
        if (!(flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) && (flags & still) == still)
            return;             /* nothing moves */
        /* Only the height shrinks: only the band from the new bottom edge down. */
        if ((flags & still) == SWP_NOMOVE && w.right - pos->cx == w.left
            && w.bottom - w.top >= pos->cy)
            w.top += pos->cy + 1;
    }
    if (FrameBand(control, style, &w))
        InvalidateRect(GetParent(control), &w, FALSE);
}

void Look3dValidateFieldFrame(HWND control)
{
    RECT w;
    GetWindowRect(control, &w);
    if (FrameBand(control, GetWindowLongA(control, GWL_STYLE), &w))
        ValidateRect(GetParent(control), &w);
}

/* The lines where a scroll bar meets the frame: a highlight line just
 * outside the control along the bar, and a frame-colour line on the
 * control's own last row (column) under (beside) the bar. */
static void DrawScrollBarLines(HDC dc, const RECT *w, LONG style)
{
    if (style & WS_VSCROLL) {
        RECT outside = *w;
        outside.right += 1;
        Look3dDrawEdges(dc, &outside, L3C_HILITE, L3C_HILITE, L3E_RIGHT);
        RECT under = { w->right - GetSystemMetrics(SM_CXVSCROLL), w->top, w->right, w->bottom };
        Look3dDrawEdges(dc, &under, L3C_FRAME, L3C_FRAME, L3E_BOTTOM);
    }
    if (style & WS_HSCROLL) {
        RECT outside = *w;
        outside.bottom += 1;
        Look3dDrawEdges(dc, &outside, L3C_HILITE, L3C_HILITE, L3E_BOTTOM);
        RECT beside = { w->left, w->bottom - GetSystemMetrics(SM_CYHSCROLL), w->right, w->bottom };
        Look3dDrawEdges(dc, &beside, L3C_FRAME, L3C_FRAME, L3E_RIGHT);
    }
}

/* The bottom rings of the edit of a simple combo box, under the part of the
 * edit that reaches past the width of the combo box's first child (counted
 * from the edit's left edge), where no list frame closes it. The edit sits on
 * the list, whose frame has no top: the two frames join into one, and the
 * edit's frame has no bottom. The system makes the list as wide as the combo
 * box, so this part is normally empty and nothing is drawn. */
static void DrawSimpleEditBottom(HDC dc, HWND combo, const RECT *w)
{
    RECT uncovered = *w;
    HWND first = GetWindow(combo, GW_CHILD);
    if (first != NULL) {
        RECT firstRect;
        GetWindowRect(first, &firstRect);
        uncovered.right -= firstRect.right - firstRect.left;
    }
    if (uncovered.right > uncovered.left)
        Look3dDrawSunkenField(dc, &uncovered, L3E_BOTTOM | L3E_SHORTBOTTOM);
}

void Look3dPaintFieldFrame(HWND control, BOOL hideCaret, int classIndex)
{
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return;
    BOOL dropDownList = classIndex == L3I_COMBOBOX
                        && (style & L3_COMBO_KIND_MASK) == CBS_DROPDOWNLIST;
    /* Nothing is drawn while a drop-down list is dropped. */
    if (dropDownList && SendMessageA(control, CB_GETDROPPEDSTATE, 0, 0) != 0)
        return;

    WORD edges = L3E_ALL;
    if (style & WS_HSCROLL)
        edges = L3E_LEFT | L3E_TOP | L3E_RIGHT;
    if (style & WS_VSCROLL)
        edges &= ~L3E_RIGHT;

    /* A combo box's own list (from the list box procedure) or edit (from the
     * edit procedure) is framed in the combo box's parent. */
    HWND target = GetParent(control);
    BOOL list = classIndex == L3I_LISTBOX;
    HWND combo = NULL;
    if (GetWindowLongA(control, GWL_ID) == (list ? COMBO_LIST_ID : COMBO_EDIT_ID)
        && IsComboBox(target)) {
        combo = target;
        target = GetParent(combo);
    }
    if (target == NULL)
        return;                 /* nowhere to draw */
    BOOL simpleCombo = combo != NULL && !IsDropDownKind(GetWindowLongA(combo, GWL_STYLE));
    /* Nor while the list of a drop-down combo box is over its edit. */
    if (combo != NULL && !list && !simpleCombo
        && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != 0)
        return;

    RECT w;
    GetWindowRect(control, &w);
    MapWindowPoints(NULL, target, (POINT *)&w, 2);
    HDC dc = GetDC(target);
    if (dc == NULL)
        return;
    if (hideCaret)
        HideCaret(control);

    if (combo != NULL && list) {
        /* The list of a simple combo box: no top, one row lower, so that the
         * edit's frame above runs on into it. */
        edges &= ~L3E_TOP;
        w.top += 1;
    } else if (simpleCombo) {
        edges &= ~L3E_BOTTOM;
        DrawSimpleEditBottom(dc, combo, &w);
    }
    Look3dDrawSunkenField(dc, &w, edges);
    if (dropDownList) {
        /* Frame-colour lines right of and below the button area. */
        RECT button = { w.right - GetSystemMetrics(SM_CXVSCROLL), w.top, w.right, w.bottom };
        Look3dDrawEdges(dc, &button, L3C_FRAME, L3C_FRAME, L3E_RIGHT | L3E_BOTTOM);
        Look3dValidateFieldFrame(control);
    } else {
        DrawScrollBarLines(dc, &w, style);
    }

    if (hideCaret)
        ShowCaret(control);
    ReleaseDC(target, dc);
}

/* One body for the edit and combo box procedures: the old procedure first,
 * then the frame. */
static LRESULT EditComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             int classIndex)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, classIndex, &result))
        return result;
    result = Look3dPassOn(window, message, wParam, lParam, classIndex);
    switch (message) {
    case WM_PAINT:
        /* A simple combo box is framed by its edit and list. */
        if (classIndex == L3I_EDIT || IsDropDownKind(GetWindowLongA(window, GWL_STYLE)))
            Look3dPaintFieldFrame(window, TRUE, classIndex);
        break;
    case WM_WINDOWPOSCHANGING:
        Look3dInvalidateFieldFrame(window, (const WINDOWPOS *)lParam);
        break;
    case L3M_IDENTIFY:
        Look3dAnswerIdentify(lParam);
        break;
    default:
        break;
    }
    return result;
}

LRESULT CALLBACK Look3dEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return EditComboProc(window, message, wParam, lParam, L3I_EDIT);
}

LRESULT CALLBACK Look3dComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return EditComboProc(window, message, wParam, lParam, L3I_COMBOBOX);
}

/* List boxes and combo list boxes alike. */
LRESULT CALLBACK Look3dListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, L3I_LISTBOX, &result))
        return result;
    switch (message) {
    case WM_PAINT:
        result = Look3dPassOn(window, message, wParam, lParam, L3I_LISTBOX);
        Look3dPaintFieldFrame(window, FALSE, L3I_LISTBOX);
        return result;
    case WM_WINDOWPOSCHANGING:
        Look3dInvalidateFieldFrame(window, (const WINDOWPOS *)lParam);
        break;
    case L3M_IDENTIFY:
        Look3dAnswerIdentify(lParam);
        break;
    default:
        break;
    }
    return Look3dPassOn(window, message, wParam, lParam, L3I_LISTBOX);
}
