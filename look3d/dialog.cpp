/*
 * The look's dialog procedure, in front of the dialog class's own procedure
 * of every dialog and message box of a hooked thread: the raised frame
 * (versions below 3.95), the control colours on the button face, and the
 * WM_INITDIALOG point at which a dialog may decline the look and at which,
 * on the 16-bit host, the existing controls are given it.
 *
 * A dialog steers the look with L3M_QUERYFRAME, L3M_QUERYCHILDREN and the
 * private colour messages (standard colour message + L3M_CTLCOLOR_OFFSET).
 * Nothing is kept per dialog; the procedure reads only fields of Look3d that
 * change at initialisation and termination.
 */
#include "look3d_internal.h"

/* WS_VISIBLE | WS_DLGFRAME | DS_MODALFRAME: the dialogs that get the frame. */
#define FRAMED_STYLE    (WS_VISIBLE | WS_DLGFRAME | DS_MODALFRAME)

/* A dialog procedure above this cannot be called directly on 3.10 and older. */
#define UNCALLABLE_PROC 0xFFFF0000u

static BOOL Has3dLookStyle(HWND dialog)
{
    return Look3d.winVersion >= L3V_WIN395
        && (GetWindowLongA(dialog, GWL_STYLE) & L3_STYLE_3DLOOK) != 0;
}

static HBRUSH FaceColours(HDC dc)
{
    SetTextColor(dc, Look3d.colours[L3C_BTNTEXT]);
    SetBkColor(dc, Look3d.colours[L3C_FACE]);
    return Look3d.hbrFace;
}

HBRUSH Look3dCtlColor(UINT message, HDC dc, HWND control)
{
    if (!Look3d.enabled)
        return NULL;
    switch (message) {
    case WM_CTLCOLORLISTBOX:
        /* Only the list of a combo box with an edit field sits on the face. */
        if (Look3d.winVersion < L3V_WIN395 && GetWindow(control, GW_CHILD) != NULL
            && (GetWindowLongA(control, GWL_STYLE) & L3_COMBO_KIND_MASK) != CBS_DROPDOWNLIST)
            return FaceColours(dc);
        return NULL;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return FaceColours(dc);
    default:                    /* message boxes, edit fields, scroll bars */
        return NULL;
    }
}

/* A colour message answer of 0 or 1 is a FALSE or TRUE, never a brush. */
static BOOL IsBrushAnswer(LRESULT r)
{
    return r != 0 && r != 1;
}

static LRESULT ColourMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = Look3dGetOldProc(dialog, L3I_DIALOG);
    DLGPROC dp = (DLGPROC)GetWindowLongA(dialog, DWL_DLGPROC);
    HDC dc = (HDC)wParam;
    HWND control = (HWND)lParam;
    LRESULT r;
    if (dp == NULL) {
        r = (LRESULT)Look3dCtlColor(message, dc, control);
    } else {
        if ((DWORD)dp > UNCALLABLE_PROC && Look3d.winVersion <= L3V_WIN310)
            r = 0;
        else
            r = CallWindowProcA((WNDPROC)dp, dialog, message, wParam, lParam);
        if (!IsBrushAnswer(r))
            r = CallWindowProcA(old, dialog, message + L3M_CTLCOLOR_OFFSET, wParam, lParam);
        if (!IsBrushAnswer(r))
            r = (LRESULT)Look3dCtlColor(message, dc, control);
    }
    if (r != 0)
        return r;
    return CallWindowProcA(old, dialog, message, wParam, lParam);
}

static LRESULT InitDialog(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = Look3dGetOldProc(dialog, L3I_DIALOG);
    int allow = Has3dLookStyle(dialog) ? 0 : 1;
    SendMessageA(dialog, L3M_QUERYCHILDREN, 0, (LPARAM)&allow);
    if (allow == 0) {
        Look3dRemoveLook(dialog);
        return CallWindowProcA(old, dialog, WM_INITDIALOG, wParam, lParam);
    }
    /* The dialog procedure makes and fills its controls first. */
    LRESULT r = CallWindowProcA(old, dialog, WM_INITDIALOG, wParam, lParam);
    if (Look3d.hostBits != 32 && !Has3dLookStyle(dialog))
        Look3dSubclassDlgChildren(dialog, L3K_ALL);
    return r;
}

LRESULT Look3dPaintDlgFrame(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    /* The system paints its frame and caption first. */
    LRESULT r = CallWindowProcA(Look3dGetOldProc(dialog, L3I_DIALOG), dialog, message,
                                wParam, lParam);
    if (!Look3d.enabled || IsIconic(dialog))
        return r;
    int allow = 1;
    SendMessageA(dialog, L3M_QUERYFRAME, 0, (LPARAM)&allow);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    if (allow == 0 || (style & FRAMED_STYLE) != FRAMED_STYLE)
        return r;

    BOOL caption = (style & WS_CAPTION) == WS_CAPTION;
    int topBand = caption ? Look3d.frameCy - 1 : Look3d.frameCy;
    HDC dc = GetWindowDC(dialog);
    if (dc == NULL)
        return r;
    RECT window;
    GetWindowRect(dialog, &window);
    RECT R = { 0, 0, window.right - window.left, window.bottom - window.top };

    Look3dDrawEdges(dc, &R, L3C_SHADOW, L3C_FRAME, L3E_ALL);
    InflateRect(&R, -1, -1);
    Look3dDrawEdges(dc, &R, L3C_HILITE, L3C_SHADOW, L3E_ALL);
    InflateRect(&R, -1, -1);

    HGDIOBJ oldBrush = SelectObject(dc, Look3d.hbrFace);
    RECT band = { R.left, R.top, R.left + Look3d.frameCx, R.bottom };
    Look3dFillRect(dc, &band);
    SetRect(&band, R.right - Look3d.frameCx, R.top, R.right, R.bottom);
    Look3dFillRect(dc, &band);
    SetRect(&band, R.left + Look3d.frameCx, R.top, R.right - Look3d.frameCx, R.top + topBand);
    Look3dFillRect(dc, &band);
    if (caption) {
        RECT outline = { R.left + Look3d.frameCx, R.top + topBand,
                         R.right - Look3d.frameCx, R.top + topBand + Look3d.captionCy };
        Look3dDrawEdges(dc, &outline, L3C_SHADOW, L3C_HILITE, L3E_ALL);
    }
    SetRect(&band, R.left + Look3d.frameCx, R.bottom - Look3d.frameCy,
            R.right - Look3d.frameCx, R.bottom);
    Look3dFillRect(dc, &band);
    SelectObject(dc, oldBrush);
    ReleaseDC(dialog, dc);
    return r;
}

LRESULT CALLBACK Look3dDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (Look3dOpeningSteps(dialog, message, wParam, lParam, L3I_DIALOG, &result))
        return result;
    switch (message) {
    case WM_SETTEXT:
    case WM_NCPAINT:
    case WM_NCACTIVATE:
        if (Look3d.winVersion < L3V_WIN395 && !IsIconic(dialog))
            return Look3dPaintDlgFrame(dialog, message, wParam, lParam);
        break;
    case WM_INITDIALOG:
        return InitDialog(dialog, wParam, lParam);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return ColourMessage(dialog, message, wParam, lParam);
    default:
        break;
    }
    return Look3dPassOn(dialog, message, wParam, lParam, L3I_DIALOG);
}
