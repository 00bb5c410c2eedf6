/*
 * The look of "Static" controls: the class test, the window procedure and
 * the painter.
 *
 * Text statics are drawn on the brush that the parent gives for statics
 * (the look's dialog answers with the face brush, button text on face),
 * with the text grey while the static is disabled. The black, grey and white
 * rectangles and frames become one-pixel sunken, etched and raised frames
 * whose insides the look leaves alone. Statics get the look on every
 * Windows version. WM_PAINT and WM_ENABLE never reach the old procedure.
 */
#include "look3d_controls.h"

/* Static type: the low four bits of the style. */
#define STATIC_TYPE_MASK    0x0F

/* What the look draws for a static type. */
enum StaticDrawing {
    DRAW_NONE,                  /* the system's own drawing */
    DRAW_TEXT,                  /* text on the parent's static background */
    DRAW_SUNKEN,                /* shadow at top and left, highlight at right and bottom */
    DRAW_ETCHED,                /* shadow rectangle over a highlight one, offset by (1, 1) */
    DRAW_RAISED,                /* highlight at top and left, shadow at right and bottom */
};

/* Indexed by static type; the kind bit that admits the type to the look. */
static const struct {
    BYTE drawing;               /* StaticDrawing */
    WORD kind;                  /* L3K_STATICTEXT or L3K_STATICFRAME; 0: never */
} staticTypes[STATIC_TYPE_MASK + 1] = {
    { DRAW_TEXT, L3K_STATICTEXT },      /* 0  SS_LEFT */
    { DRAW_TEXT, L3K_STATICTEXT },      /* 1  SS_CENTER */
    { DRAW_TEXT, L3K_STATICTEXT },      /* 2  SS_RIGHT */
    { DRAW_NONE, 0 },                   /* 3  SS_ICON */
    { DRAW_SUNKEN, L3K_STATICFRAME },   /* 4  SS_BLACKRECT */
    { DRAW_ETCHED, L3K_STATICFRAME },   /* 5  SS_GRAYRECT */
    { DRAW_RAISED, L3K_STATICFRAME },   /* 6  SS_WHITERECT */
    { DRAW_SUNKEN, L3K_STATICFRAME },   /* 7  SS_BLACKFRAME */
    { DRAW_ETCHED, L3K_STATICFRAME },   /* 8  SS_GRAYFRAME */
    { DRAW_RAISED, L3K_STATICFRAME },   /* 9  SS_WHITEFRAME */
    { DRAW_NONE, 0 },                   /* 10 */
    { DRAW_NONE, 0 },                   /* 11 */
    { DRAW_TEXT, L3K_STATICTEXT },      /* 12 SS_LEFTNOWORDWRAP */
    { DRAW_NONE, 0 },                   /* 13 */
    { DRAW_NONE, 0 },                   /* 14 */
    { DRAW_NONE, 0 },                   /* 15 */
};

/* DrawTextA formats: the word-wrapped types add their alignment (type 0, 1
 * or 2 is DT_LEFT, DT_CENTER or DT_RIGHT). */
#define FORMAT_WRAPPED      (DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP)
#define FORMAT_NOWRAP       (DT_EXPANDTABS | DT_NOCLIP)

/* Texts up to this size are read into a buffer on the stack; longer ones
 * into one from the heap, so no text is too long for the stack. */
#define STACK_TEXT_BUFFER   512

int Look3dStaticTest(HWND, LONG style, WORD kinds, WORD, HWND)
{
    return (staticTypes[style & STATIC_TYPE_MASK].kind & kinds) != 0 ? 1 : 0;
}

void Look3dDrawStaticText(HWND control, HDC dc, const RECT *rect, LONG style)
{
    Look3dFillRect(dc, rect);

    /* Room for the text, its NUL and slack, rounded up to whole words. */
    int length = GetWindowTextLengthA(control);
    int size = (length + 5 + 3) & ~3;
    char stackText[STACK_TEXT_BUFFER];
    char *text = stackText;
    if (size > STACK_TEXT_BUFFER) {
        text = (char *)HeapAlloc(GetProcessHeap(), 0, size);
        if (text == NULL)
            return;
    }
    if (GetWindowTextA(control, text, length + 2) != 0) {
        UINT type = style & STATIC_TYPE_MASK;
        UINT format = type == SS_LEFTNOWORDWRAP ? FORMAT_NOWRAP : (type | FORMAT_WRAPPED);
        if (style & SS_NOPREFIX)
            format |= DT_NOPREFIX;
        BOOL grey = (style & WS_DISABLED) != 0;
        COLORREF previous = 0;
        if (grey)
            previous = SetTextColor(dc, Look3d.colours[L3C_GRAYTEXT]);
        RECT box = *rect;
        DrawTextA(dc, text, -1, &box, format);
        if (grey)
            SetTextColor(dc, previous);
    }
    if (text != stackText)
        HeapFree(GetProcessHeap(), 0, text);
}

static void PaintText(HWND control, HDC dc, const RECT *client, LONG style)
{
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    if (font != NULL)
        SelectObject(dc, font);
    SetBkMode(dc, OPAQUE);
    HBRUSH brush = (HBRUSH)SendMessageA(GetParent(control), WM_CTLCOLORSTATIC, (WPARAM)dc,
                                        (LPARAM)control);
    if (brush != NULL)
        SelectObject(dc, brush);
    Look3dDrawStaticText(control, dc, client, style);
}

void Look3dPaintStatic(HWND control, HDC dc)
{
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return;
    RECT rc;
    GetClientRect(control, &rc);
    /* The context may be a caller's (WM_PAINT with a context in wParam): it
     * gets back its colours, mode and objects, which the parent's answer to
     * WM_CTLCOLORSTATIC sets too. */
    int saved = SaveDC(dc);
    switch (staticTypes[style & STATIC_TYPE_MASK].drawing) {
    case DRAW_TEXT:
        PaintText(control, dc, &rc, style);
        break;
    case DRAW_SUNKEN:
        Look3dDrawEdges(dc, &rc, L3C_SHADOW, L3C_HILITE, L3E_ALL);
        break;
    case DRAW_ETCHED:
        rc.left++;
        rc.top++;
        Look3dDrawEdges(dc, &rc, L3C_HILITE, L3C_HILITE, L3E_ALL);
        OffsetRect(&rc, -1, -1);
        Look3dDrawEdges(dc, &rc, L3C_SHADOW, L3C_SHADOW, L3E_ALL);
        break;
    case DRAW_RAISED:
        Look3dDrawEdges(dc, &rc, L3C_HILITE, L3C_SHADOW, L3E_ALL);
        break;
    default:
        break;
    }
    RestoreDC(dc, saved);
}

LRESULT CALLBACK Look3dStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, L3I_STATIC, &result))
        return result;
    switch (message) {
    case WM_ENABLE: {
        /* Repainted at once in the new text colour, not invalidated. */
        HDC dc = GetDC(window);
        if (dc != NULL) {
            Look3dClipToClient(window, dc);
            Look3dPaintStatic(window, dc);
            ReleaseDC(window, dc);
        }
        return 0;
    }
    case WM_PAINT: {
        /* A context in wParam is the caller's, used as it is. */
        PAINTSTRUCT ps;
        HDC dc = (HDC)wParam;
        if (dc == NULL) {
            dc = BeginPaint(window, &ps);
            Look3dClipToClient(window, dc);
        }
        Look3dPaintStatic(window, dc);
        if (wParam == 0)
            EndPaint(window, &ps);
        return 0;
    }
    case L3M_IDENTIFY:
        Look3dAnswerIdentify(lParam);
        break;
    default:
        break;
    }
    return Look3dPassOn(window, message, wParam, lParam, L3I_STATIC);
}
