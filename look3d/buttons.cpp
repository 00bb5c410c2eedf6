/*
 * The look of "Button" controls: the class test, the window procedure and
 * the painters of push buttons, check boxes, three-state check boxes, radio
 * buttons and group boxes.
 *
 * The system's button procedure (the old procedure) keeps all of a button's
 * behaviour: check state, pushed state, focus, keys, mouse, notifications.
 * The look only keeps it from drawing and draws instead:
 *   1. WM_PAINT never reaches the old procedure.
 *   2. Around every other message that makes the old procedure draw, the
 *      visible style bit is cleared for the span of the call (so the old
 *      procedure's drawing does nothing) and always set again before the
 *      look procedure returns; then the look repaints what changed.
 *   3. WM_SETFOCUS is the exception: the bit stays, and the look's repaint
 *      erases whatever the old procedure drew.
 * The focus rectangle of check boxes and radio buttons is an exclusive-or
 * drawing, so it is drawn only on ground just erased: every repaint that
 * erases (focus gained or lost, new text, WM_PAINT) draws it when the button
 * has the focus, and no other repaint touches it. A button thus shows one
 * exactly while it has the focus, whatever was repainted in between.
 * Nothing here makes a lasting GDI object: brushes and the glyph bitmap are
 * the look's shared ones; the one memory context for a glyph lives for one
 * BitBlt.
 */
#include "look3d_controls.h"

/* Button type: the low five bits of the style. */
#define BUTTON_TYPE_MASK    0x1F
/* Types 0-9 (no further low-word style bit) are the ones the look draws. */
#define BUTTON_LAST_TYPE    BS_AUTORADIOBUTTON

/* The button state word (BM_GETSTATE). */
#define STATE_CHECK_MASK    0x0003
#define STATE_INDETERMINATE 0x0002
#define STATE_PUSHED        0x0004
#define STATE_FOCUS         0x0008  /* equal to L3P_FOCUS, so a change toggles it */

/* Caption buffer: at most 255 characters are drawn and measured. */
#define CAPTION_BUFFER      256

/* Check boxes and radio buttons: the caption starts this far right. */
#define GLYPH_TEXT_INDENT   18
/* Group boxes: the caption sits this far in from the left edge and has this
 * much room after it. */
#define GROUP_CAPTION_INDENT 4
/* A pushed push button's caption keeps this far from the right and bottom. */
#define PUSHED_TEXT_MARGIN  3

/* Glyph column, [disabled][pushed][checked]:
 *   enabled: 0 clear, 1 checked; pushed: 2 clear, 3 checked, on face colour;
 *   disabled: 2 clear on face colour, 4 the embossed grey mark. A disabled
 *   button shows the disabled cell of its check state whether pushed or not
 *   (counting pushed in would point past the bitmap's last column). */
static const BYTE glyphColumn[2][2][2] = {
    { { 0, 1 }, { 2, 3 } },     /* enabled:  not pushed, pushed */
    { { 2, 4 }, { 2, 4 } },     /* disabled: not pushed, pushed */
};

/* Glyph row by button type: 0 check boxes, 1 radio buttons; the three-state
 * types show row 2 while indeterminate. -1: no glyph. */
static const signed char glyphRow[BUTTON_LAST_TYPE + 1] = {
    -1, -1,                     /* BS_PUSHBUTTON, BS_DEFPUSHBUTTON */
    0, 0,                       /* BS_CHECKBOX, BS_AUTOCHECKBOX */
    1,                          /* BS_RADIOBUTTON */
    0, 0,                       /* BS_3STATE, BS_AUTO3STATE (row 2 while indeterminate) */
    -1, -1,                     /* BS_GROUPBOX, BS_USERBUTTON */
    1,                          /* BS_AUTORADIOBUTTON */
};
#define GLYPH_ROW_INDETERMINATE 2

static LONG Smaller(LONG a, LONG b)
{
    return a < b ? a : b;
}

static UINT ButtonState(HWND button)
{
    return (UINT)Look3dPassOn(button, BM_GETSTATE, 0, 0, L3I_BUTTON);
}

int Look3dButtonTest(HWND, LONG style, WORD, WORD, HWND)
{
    if (Look3d.winVersion >= L3V_WIN395)
        return 0;
    /* Any low-word bit beyond the type (BS_LEFTTEXT and the like), and the
     * owner-drawn type, keep the system's drawing. */
    return LOWORD(style) <= BUTTON_LAST_TYPE ? 1 : 0;
}

/* Draws the glyph cell (column, row) at the left edge of client, centred
 * vertically. A missing memory context or bitmap skips the glyph. */
static void DrawGlyph(HDC dc, const RECT *client, int column, int row)
{
    HDC memory = CreateCompatibleDC(dc);
    if (memory == NULL)
        return;
    HGDIOBJ previous = SelectObject(memory, Look3d.hbmGlyphs);
    if (previous != NULL) {
        int y = client->top + (client->bottom - client->top - L3_GLYPH_CY) / 2;
        BitBlt(dc, client->left, y, L3_GLYPH_CX, L3_GLYPH_CY, memory,
               L3_GLYPH_CX * column, L3_GLYPH_CY * row, SRCCOPY);
        SelectObject(memory, previous);
    }
    DeleteDC(memory);
}

/* Check boxes and radio buttons. */
static void PaintCheck(HDC dc, UINT parts, const RECT *client, UINT type,
                       UINT state, BOOL enabled, const char *caption, int length)
{
    UINT check = state & STATE_CHECK_MASK;
    if (parts & L3P_GLYPH) {
        int row = glyphRow[type];
        if ((type == BS_3STATE || type == BS_AUTO3STATE) && check == STATE_INDETERMINATE)
            row = GLYPH_ROW_INDETERMINATE;
        int column = glyphColumn[!enabled][(state & STATE_PUSHED) != 0][check != 0];
        DrawGlyph(dc, client, column, row);
    }
    if (parts & L3P_TEXT) {
        RECT text = *client;
        text.left = client->left + GLYPH_TEXT_INDENT;
        if (!enabled)
            SetTextColor(dc, Look3d.colours[L3C_GRAYTEXT]);
        DrawTextA(dc, caption, length, &text, DT_SINGLELINE | DT_VCENTER);
    }
    if (parts & L3P_FOCUS) {
        int w, h;
        Look3dMeasureText(dc, caption, &w, &h);
        RECT focus;
        focus.left = client->left + GLYPH_TEXT_INDENT;
        focus.right = focus.left + w;
        focus.top = (client->bottom - client->top - h) / 2;
        focus.bottom = focus.top + h;
        InflateRect(&focus, 1, 1);
        IntersectRect(&focus, &focus, client);
        DrawFocusRect(dc, &focus);
    }
}

/* Group boxes: an etched line at half the caption's height, the caption on
 * the face colour over it; or, for new text, the caption band invalidated in
 * the parent so that both repaint. */
static void PaintGroup(HWND button, HDC dc, UINT parts, const RECT *client, BOOL enabled,
                       const char *caption, int length)
{
    if (!(parts & (L3P_TEXT | L3P_GLYPH)))
        return;
    int w, h;
    Look3dMeasureText(dc, caption, &w, &h);
    if (h == 0) {
        int unused;
        Look3dMeasureText(dc, "X", &unused, &h);
    }
    RECT title;
    title.left = client->left + GROUP_CAPTION_INDENT;
    title.top = client->top;
    title.right = title.left + w + GROUP_CAPTION_INDENT;
    title.bottom = client->top + h;

    if (parts & L3P_CAPTIONBAND) {
        HWND parent = GetParent(button);
        POINT corners[2] = { { title.left, title.top }, { client->right, title.bottom } };
        ClientToScreen(button, &corners[0]);
        ClientToScreen(button, &corners[1]);
        ScreenToClient(parent, &corners[0]);
        ScreenToClient(parent, &corners[1]);
        RECT band = { corners[0].x, corners[0].y, corners[1].x, corners[1].y };
        InvalidateRect(parent, &band, TRUE);
        return;
    }

    RECT line = { client->left, client->top + h / 2, client->right - 1, client->bottom - 1 };
    Look3dDrawEdges(dc, &line, L3C_SHADOW, L3C_SHADOW, L3E_ALL);
    OffsetRect(&line, 1, 1);
    Look3dDrawEdges(dc, &line, L3C_HILITE, L3C_HILITE, L3E_ALL);
    if (!enabled)
        SetTextColor(dc, Look3d.colours[L3C_GRAYTEXT]);
    /* The opaque face-coloured background of the characters covers the line. */
    DrawTextA(dc, caption, length, &title, DT_SINGLELINE);
}

void Look3dPaintPushButton(HWND button, HDC dc, const RECT *client, const char *text,
                           int length, UINT type, UINT pushed)
{
    BOOL enabled = IsWindowEnabled(button);
    const RECT *rc = client;
    RECT f = *rc;

    /* Dark frame; a second ring for an enabled default button. */
    Look3dDrawEdges(dc, rc, L3C_FRAME, L3C_FRAME, L3E_ALL);
    InflateRect(&f, -1, -1);
    if (type == BS_DEFPUSHBUTTON && enabled) {
        Look3dDrawEdges(dc, &f, L3C_FRAME, L3C_FRAME, L3E_ALL);
        InflateRect(&f, -1, -1);
    }

    /* The frame's corners show the parent's background. */
    PatBlt(dc, rc->left, rc->top, 1, 1, PATCOPY);
    PatBlt(dc, rc->right - 1, rc->top, 1, 1, PATCOPY);
    PatBlt(dc, rc->left, rc->bottom - 1, 1, 1, PATCOPY);
    PatBlt(dc, rc->right - 1, rc->bottom - 1, 1, 1, PATCOPY);

    /* Top and left bevel: two highlight pixels raised, one shadow pixel pushed. */
    int bevel = pushed ? 1 : 2;
    HGDIOBJ previous = SelectObject(dc, pushed ? Look3d.hbrShadow : Look3d.hbrHilite);
    PatBlt(dc, f.left, f.top, bevel, f.bottom - f.top, PATCOPY);
    PatBlt(dc, f.left, f.top, f.right - f.left, bevel, PATCOPY);

    /* Bottom and right bevel, raised only: two shadow rows and columns. */
    if (!pushed) {
        SelectObject(dc, Look3d.hbrShadow);
        f.right--;              /* right and bottom now name the last column and row */
        f.bottom--;
        for (int pass = 0; pass < 2; pass++) {
            PatBlt(dc, f.left, f.bottom, f.right - f.left + 1, 1, PATCOPY);
            PatBlt(dc, f.right, f.top, 1, f.bottom - f.top, PATCOPY);
            if (pass == 0)
                InflateRect(&f, -1, -1);
        }
    }

    /* The face: inside the bevels raised, right of and below the shadow pushed. */
    SelectObject(dc, Look3d.hbrFace);
    f.left++;
    f.top++;
    Look3dFillRect(dc, &f);

    if (!enabled)
        SetTextColor(dc, Look3d.colours[L3C_GRAYTEXT]);
    int w, h;
    Look3dMeasureText(dc, text, &w, &h);
    f.top += (f.bottom - f.top - h) / 2;
    f.left += (f.right - f.left - w) / 2;
    f.bottom = Smaller(f.top + h, f.bottom);
    f.right = Smaller(f.left + w, f.right);
    if (pushed) {
        OffsetRect(&f, 1, 1);
        f.right = Smaller(rc->right - PUSHED_TEXT_MARGIN, f.right);
        f.bottom = Smaller(rc->bottom - PUSHED_TEXT_MARGIN, f.bottom);
    }
    DrawTextA(dc, text, length, &f, DT_SINGLELINE);

    /* Push buttons take the focus from the system, not from the state word. */
    if (GetFocus() == button) {
        InflateRect(&f, 1, 1);
        IntersectRect(&f, &f, rc);
        DrawFocusRect(dc, &f);
    }
    if (previous != NULL)
        SelectObject(dc, previous);
}

void Look3dPaintButton(HWND button, HDC dc, UINT parts)
{
    LONG style = GetWindowLongA(button, GWL_STYLE);
    UINT type = style & BUTTON_TYPE_MASK;
    HWND parent = GetParent(button);

    /* The context may be a caller's (WM_PAINT with a context in wParam): it
     * gets back its colours, mode, objects and clipping. */
    int saved = SaveDC(dc);
    SetBkMode(dc, OPAQUE);
    RECT client;
    GetClientRect(button, &client);

    HFONT font = (HFONT)SendMessageA(button, WM_GETFONT, 0, 0);
    if (font != NULL)
        SelectObject(dc, font);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    /* The parent's button brush (the look's dialog answers with the face
     * brush and button text on face). No brush: the fills use whatever the
     * context holds. */
    HBRUSH brush = (HBRUSH)SendMessageA(parent, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)button);
    if (brush != NULL)
        SelectObject(dc, brush);
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);

    if ((parts & L3P_ERASE) && type != BS_GROUPBOX)
        Look3dFillRect(dc, &client);

    BOOL enabled = IsWindowEnabled(button);
    UINT state = ButtonState(button);

    /* A group box always draws its caption with its line, so it reads it
     * even for a glyph-only repaint; an unread caption would let the line
     * run through the old one. */
    char caption[CAPTION_BUFFER];
    caption[0] = '\0';
    int length = 0;
    if ((parts & (L3P_TEXT | L3P_FOCUS)) || type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON
        || type == BS_GROUPBOX)
        length = GetWindowTextA(button, caption, sizeof caption);

    switch (type) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        Look3dPaintPushButton(button, dc, &client, caption, length, type,
                              state & STATE_PUSHED);
        break;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        PaintCheck(dc, parts, &client, type, state, enabled, caption, length);
        break;
    case BS_GROUPBOX:
        PaintGroup(button, dc, parts, &client, enabled, caption, length);
        break;
    default:                    /* BS_USERBUTTON and beyond: the erase alone */
        break;
    }
    RestoreDC(dc, saved);
}

/* Passes a message to the old procedure with its drawing suppressed, then
 * repaints what changed with base parts P: the glyph when the check state
 * changed; after an erase, the focus rectangle when the button has the
 * focus. */
static LRESULT RepaintAround(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT parts)
{
    UINT before = ButtonState(button);
    LONG style = GetWindowLongA(button, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return Look3dPassOn(button, message, wParam, lParam, L3I_BUTTON);

    BOOL hide = message != WM_SETFOCUS;
    if (hide)
        SetWindowLongA(button, GWL_STYLE, style & ~WS_VISIBLE);
    LRESULT result = Look3dPassOn(button, message, wParam, lParam, L3I_BUTTON);
    if (hide)
        SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) | WS_VISIBLE);

    UINT after = ButtonState(button);
    if ((message == BM_SETCHECK || message == BM_SETSTATE) && after == before)
        return result;
    HDC dc = GetDC(button);
    if (dc == NULL)
        return result;
    if ((after ^ before) & STATE_CHECK_MASK)
        parts |= L3P_GLYPH;
    if (parts & L3P_ERASE)
        parts |= after & STATE_FOCUS;
    /* What already waits for WM_PAINT is painted there, once. */
    ExcludeUpdateRgn(dc, button);
    Look3dPaintButton(button, dc, parts);
    ReleaseDC(button, dc);
    return result;
}

static LRESULT PaintMessage(HWND button, WPARAM wParam)
{
    UINT state = ButtonState(button);
    PAINTSTRUCT ps;
    HDC dc = (HDC)wParam;
    if (dc == NULL)
        dc = BeginPaint(button, &ps);
    /* Painted whole on erased ground, so the focus rectangle is drawn once
     * however often the button is repainted. */
    if (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE)
        Look3dPaintButton(button, dc,
                          (state & STATE_FOCUS) | L3P_ERASE | L3P_GLYPH | L3P_TEXT);
    if (wParam == 0)
        EndPaint(button, &ps);
    return 0;
}

LRESULT CALLBACK Look3dButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, L3I_BUTTON, &result))
        return result;

    switch (message) {
    case WM_SETFOCUS:
        return RepaintAround(window, message, wParam, lParam, L3P_ERASE | L3P_GLYPH | L3P_TEXT);
    case WM_KILLFOCUS:
        /* An auto radio button held down by the keyboard is released. The
         * button is drawn afresh without the focus rectangle rather than the
         * rectangle drawn again to remove it: whatever happened to the
         * button while it had the focus, none is left. */
        if ((GetWindowLongA(window, GWL_STYLE) & BUTTON_TYPE_MASK) == BS_AUTORADIOBUTTON)
            SendMessageA(window, BM_SETSTATE, 0, 0);
        return RepaintAround(window, message, wParam, lParam, L3P_ERASE | L3P_GLYPH | L3P_TEXT);
    case WM_ENABLE:
        return RepaintAround(window, message, wParam, lParam, L3P_GLYPH | L3P_TEXT);
    case WM_SETTEXT: {
        LONG style = GetWindowLongA(window, GWL_STYLE);
        if ((style & WS_VISIBLE) && (style & BUTTON_TYPE_MASK) == BS_GROUPBOX)
            return RepaintAround(window, message, wParam, lParam, L3P_CAPTIONBAND | L3P_TEXT);
        return RepaintAround(window, message, wParam, lParam, L3P_ERASE | L3P_GLYPH | L3P_TEXT);
    }
    case WM_PAINT:
        return PaintMessage(window, wParam);
    case BM_SETCHECK:
    case BM_SETSTATE:
        return RepaintAround(window, message, wParam, lParam, L3P_GLYPH);
    case L3M_IDENTIFY:
        Look3dAnswerIdentify(lParam);
        break;
    default:
        break;
    }
    return Look3dPassOn(window, message, wParam, lParam, L3I_BUTTON);
}
