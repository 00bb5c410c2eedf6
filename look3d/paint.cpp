/*
 * The look's colours and drawing primitives: the eight colour slots taken
 * from the system colours, the three shared solid brushes, the glyph bitmap
 * recoloured from its marker colours, the mnemonic marker of double-byte
 * systems, and the primitives every painter uses (band fill, one-pixel
 * edges, the two-ring sunken field, client clipping, text measuring).
 *
 * The objects are built once at initialisation and shared by every window of
 * every hooked thread; painting never makes a GDI object. Edges are one-pixel
 * opaque ExtTextOut rectangles, so only the background colour of the context
 * changes and no pen or brush is selected.
 */
#include "look3d_internal.h"

/* System colour of each slot, in slot order. */
static const int slotSysColour[L3C_SLOTS] = {
    COLOR_BTNHIGHLIGHT,     /* L3C_HILITE */
    COLOR_BTNFACE,          /* L3C_FACE */
    COLOR_BTNSHADOW,        /* L3C_SHADOW */
    COLOR_BTNTEXT,          /* L3C_BTNTEXT */
    COLOR_WINDOW,           /* L3C_WINDOW */
    COLOR_WINDOWTEXT,       /* L3C_WINDOWTEXT */
    COLOR_GRAYTEXT,         /* L3C_GRAYTEXT */
    COLOR_WINDOWFRAME,      /* L3C_FRAME */
};

#define RGB_WHITE       0xFFFFFFu
#define RGB_LIGHTGREY   0xC0C0C0u
#define RGB_DARKGREY    0x808080u

/* Layout of the glyph resource: header, 16 colour entries, pixels. */
#define GLYPH_HEADER_SIZE   40
#define GLYPH_TABLE_ENTRIES 16

/* Colour table entries that mark slots in the glyph resource. */
#define MARK_TEXT       0   /* black      -> L3C_WINDOWTEXT */
#define MARK_SHADOW     7   /* dark grey  -> L3C_SHADOW */
#define MARK_FACE       8   /* light grey -> L3C_FACE */
#define MARK_FRAME      10  /* green      -> L3C_FRAME */
#define MARK_WINDOW     11  /* yellow     -> L3C_WINDOW */
#define MARK_HILITE     15  /* white      -> L3C_HILITE */

/* Text measuring: the copy holds at most 255 bytes and the NUL. */
#define MEASURE_BUFFER  256
#define MARKER_1E       0x1E
#define MARKER_1F       0x1F

void Look3dAdjustColours(COLORREF colours[L3C_SLOTS], WORD winVersion)
{
    if (winVersion == L3V_WIN30)
        colours[L3C_HILITE] = RGB_WHITE;
    if (colours[L3C_GRAYTEXT] == 0 || colours[L3C_GRAYTEXT] == colours[L3C_FACE])
        colours[L3C_GRAYTEXT] = colours[L3C_FACE] == RGB_DARKGREY ? RGB_LIGHTGREY : RGB_DARKGREY;
}

void Look3dDeleteObject(HGDIOBJ *object)
{
    if (*object != NULL) {
        DeleteObject(*object);
        *object = NULL;
    }
}

void Look3dDeleteColourObjects(void)
{
    Look3dDeleteObject((HGDIOBJ *)&Look3d.hbrHilite);
    Look3dDeleteObject((HGDIOBJ *)&Look3d.hbrFace);
    Look3dDeleteObject((HGDIOBJ *)&Look3d.hbrShadow);
    Look3dDeleteObject((HGDIOBJ *)&Look3d.hbmGlyphs);
}

static void StoreTableEntry(BYTE *table, int entry, COLORREF colour)
{
    BYTE *quad = table + 4 * entry;
    quad[0] = GetBValue(colour);
    quad[1] = GetGValue(colour);
    quad[2] = GetRValue(colour);
    quad[3] = 0;
}

HBITMAP Look3dLoadGlyphs(HINSTANCE instance, int id, COLORREF text, COLORREF face,
                         COLORREF shadow, COLORREF highlight, COLORREF window,
                         COLORREF frame)
{
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
    if (found == NULL)
        return NULL;
    DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const void *source = loaded != NULL ? LockResource(loaded) : NULL;
    /* The pixels are taken at a fixed place behind a full colour table. */
    if (source == NULL || size < GLYPH_HEADER_SIZE + 4 * GLYPH_TABLE_ENTRIES)
        return NULL;
    BYTE *copy = (BYTE *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    if (copy == NULL)
        return NULL;
    CopyMemory(copy, source, size);

    BYTE *table = copy + GLYPH_HEADER_SIZE;
    StoreTableEntry(table, MARK_TEXT, text);
    StoreTableEntry(table, MARK_SHADOW, shadow);
    StoreTableEntry(table, MARK_FACE, face);
    StoreTableEntry(table, MARK_FRAME, frame);
    StoreTableEntry(table, MARK_WINDOW, window);
    StoreTableEntry(table, MARK_HILITE, highlight);

    HBITMAP bitmap = NULL;
    HDC screen = GetDC(NULL);
    if (screen != NULL) {
        bitmap = CreateDIBitmap(screen, (const BITMAPINFOHEADER *)copy, CBM_INIT,
                                table + 4 * GLYPH_TABLE_ENTRIES,
                                (const BITMAPINFO *)copy, DIB_RGB_COLORS);
        ReleaseDC(NULL, screen);
    }
    GlobalFree(copy);
    return bitmap;
}

BOOL Look3dBuildColours(void)
{
    if (!Look3d.enabled)
        return FALSE;
    COLORREF fresh[L3C_SLOTS];
    for (int i = 0; i < L3C_SLOTS; i++)
        fresh[i] = GetSysColor(slotSysColour[i]);
    Look3dAdjustColours(fresh, Look3d.winVersion);

    HBITMAP glyphs = Look3dLoadGlyphs(Look3d.moduleInstance, LOOK3D_GLYPHS_ID,
                                      fresh[L3C_WINDOWTEXT], fresh[L3C_FACE],
                                      fresh[L3C_SHADOW], fresh[L3C_HILITE],
                                      fresh[L3C_WINDOW], fresh[L3C_FRAME]);
    HBRUSH hilite = CreateSolidBrush(fresh[L3C_HILITE]);
    HBRUSH face = CreateSolidBrush(fresh[L3C_FACE]);
    HBRUSH shadow = CreateSolidBrush(fresh[L3C_SHADOW]);
    if (glyphs == NULL || hilite == NULL || face == NULL || shadow == NULL) {
        Look3dDeleteObject((HGDIOBJ *)&hilite);
        Look3dDeleteObject((HGDIOBJ *)&face);
        Look3dDeleteObject((HGDIOBJ *)&shadow);
        Look3dDeleteObject((HGDIOBJ *)&glyphs);
        return FALSE;
    }
    Look3dDeleteColourObjects();
    Look3d.hbrHilite = hilite;
    Look3d.hbrFace = face;
    Look3d.hbrShadow = shadow;
    Look3d.hbmGlyphs = glyphs;
    for (int i = 0; i < L3C_SLOTS; i++)
        Look3d.colours[i] = fresh[i];
    return TRUE;
}

/* TRUE when profile key [windows] key holds expected, ignoring case. */
static BOOL ProfileSays(const char *key, const char *fallback, const char *expected)
{
    char value[9];
    GetProfileStringA("windows", key, fallback, value, sizeof value);
    return lstrcmpiA(value, expected) == 0;
}

void Look3dReadMenuMarker(void)
{
    if (Look3d.dbcsEnabled == 0)
        return;
    EnterCriticalSection(&Look3d.lock);
    Look3d.menuMarker = MARKER_1E;
    if (ProfileSays("kanjimenu", "roman", "kanji"))
        Look3d.menuMarker = MARKER_1F;
    if (ProfileSays("hangeulmenu", "english", "hangeul"))
        Look3d.menuMarker = MARKER_1F;
    LeaveCriticalSection(&Look3d.lock);
}

void Look3dFillRect(HDC dc, const RECT *rect)
{
    PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
           PATCOPY);
}

static void OpaqueRect(HDC dc, LONG left, LONG top, LONG right, LONG bottom)
{
    RECT edge = { left, top, right, bottom };
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &edge, NULL, 0, NULL);
}

void Look3dDrawEdges(HDC dc, const RECT *rect, WORD first, WORD second, WORD edges)
{
    COLORREF old = SetBkColor(dc, Look3d.colours[first]);
    if (edges & L3E_TOP)
        OpaqueRect(dc, rect->left, rect->top, rect->right, rect->top + 1);
    if (edges & L3E_LEFT)
        OpaqueRect(dc, rect->left, rect->top, rect->left + 1, rect->bottom);
    if (second != first)
        SetBkColor(dc, Look3d.colours[second]);
    if (edges & L3E_RIGHT)
        OpaqueRect(dc, rect->right - 1, rect->top, rect->right, rect->bottom);
    if (edges & L3E_BOTTOM) {
        LONG right = (edges & L3E_SHORTBOTTOM) ? rect->right - 2 : rect->right;
        OpaqueRect(dc, rect->left, rect->bottom - 1, right, rect->bottom);
    }
    SetBkColor(dc, old);
}

void Look3dDrawSunkenField(HDC dc, const RECT *rect, WORD edges)
{
    Look3dDrawEdges(dc, rect, L3C_FRAME, L3C_FACE, edges & L3E_ALL);
    RECT outer = *rect;
    InflateRect(&outer, 1, 1);
    Look3dDrawEdges(dc, &outer, L3C_SHADOW, L3C_HILITE, edges);
}

void Look3dClipToClient(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
}

void Look3dMeasureText(HDC dc, const char *text, int *width, int *height)
{
    char copy[MEASURE_BUFFER];
    int n = 0;
    const char *p = text;
    /* The marker that acts like "&" and the one that hides what follows. */
    BYTE marker = Look3d.dbcsEnabled ? Look3d.menuMarker : 0;
    BYTE hider = 0;
    if (Look3d.dbcsEnabled)
        hider = marker == MARKER_1E ? MARKER_1F : MARKER_1E;

    while (*p != '\0' && n < MEASURE_BUFFER - 1) {
        BYTE c = (BYTE)*p;
        if (c == '&' || (marker != 0 && c == marker)) {
            p++;                        /* the marker goes, the next byte stays */
            if (*p == '\0')
                break;
            copy[n++] = *p++;
        } else if (hider != 0 && c == hider) {
            p++;                        /* marker and the character after it go */
            if (*p != '\0')
                p = CharNextA(p);
        } else {
            copy[n++] = *p++;
        }
    }
    copy[n] = '\0';

    SIZE extent = { 0, 0 };
    GetTextExtentPointA(dc, copy, lstrlenA(copy), &extent);
    *width = extent.cx;
    *height = extent.cy;
}
