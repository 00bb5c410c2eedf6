/*
 * The look's colours and drawing primitives, drawn into real DIB sections and
 * read back pixel by pixel: edges under every flag combination, the sunken
 * field's two rings, fills and clipping, the text measurer's marker rules
 * (with the double-byte marker chosen through the WIN.INI profile keys), the
 * colour rules, and the glyph bitmap resource built into this program.
 */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "look3d_internal.h"
#include "look3d_testutil.h"

#ifndef ORM_GLYPHS_TXT
#error "ORM_GLYPHS_TXT must name res/glyphs.txt"
#endif

namespace {

HINSTANCE Self() { return GetModuleHandleA(NULL); }

std::string ToHex(unsigned value)
{
    char text[16];
    snprintf(text, sizeof text, "%X", value);
    return text;
}

/* Distinct colours per slot, so every pixel tells which slot drew it. */
const COLORREF kSlotColour[L3C_SLOTS] = {
    RGB(250, 250, 250), RGB(200, 190, 180), RGB(100, 90, 80), RGB(10, 20, 30),
    RGB(255, 255, 200), RGB(0, 0, 90), RGB(128, 60, 60), RGB(0, 120, 0),
};
const COLORREF kPaper = RGB(17, 34, 51);    /* the canvas before drawing */

/* Opens the look and swaps in the distinct slot colours for the test. */
class Look3dPaint : public ::testing::Test {
protected:
    COLORREF saved[L3C_SLOTS];
    void SetUp() override
    {
        ASSERT_EQ(Look3d.instanceCount, 0);
        ASSERT_TRUE(Look3dOpen(Self()));
        memcpy(saved, Look3d.colours, sizeof saved);
        memcpy(Look3d.colours, kSlotColour, sizeof saved);
    }
    void TearDown() override
    {
        memcpy(Look3d.colours, saved, sizeof saved);
        while (Look3d.instanceCount > 0)
            Look3dClose(Self());
    }
};

/* What Look3dDrawEdges should leave at (x, y): later edges win. */
uint32_t ExpectedEdgePixel(const RECT &r, WORD first, WORD second, WORD edges, int x, int y)
{
    uint32_t c = L3tRgb(kPaper);
    bool inX = x >= r.left && x < r.right, inY = y >= r.top && y < r.bottom;
    if ((edges & L3E_TOP) && y == r.top && inX)
        c = L3tRgb(kSlotColour[first]);
    if ((edges & L3E_LEFT) && x == r.left && inY)
        c = L3tRgb(kSlotColour[first]);
    if ((edges & L3E_RIGHT) && x == r.right - 1 && inY)
        c = L3tRgb(kSlotColour[second]);
    LONG bottomRight = (edges & L3E_SHORTBOTTOM) ? r.right - 2 : r.right;
    if ((edges & L3E_BOTTOM) && y == r.bottom - 1 && x >= r.left && x < bottomRight)
        c = L3tRgb(kSlotColour[second]);
    return c;
}

TEST_F(Look3dPaint, EdgesUnderEveryFlagCombination)
{
    const RECT r = { 2, 3, 11, 9 };
    for (int flags = 0; flags < 32; flags++) {
        WORD edges = (WORD)((flags & 0xF) | ((flags & 0x10) ? L3E_SHORTBOTTOM : 0));
        SCOPED_TRACE("edges 0x" + ToHex(edges));
        L3tCanvas cv;
        ASSERT_TRUE(L3tCanvasCreate(&cv, 14, 12, kPaper));
        SetBkColor(cv.dc, RGB(1, 2, 3));
        Look3dDrawEdges(cv.dc, &r, L3C_SHADOW, L3C_HILITE, edges);
        GdiFlush();
        EXPECT_EQ(GetBkColor(cv.dc), RGB(1, 2, 3)) << "background colour restored";
        int wrong = 0;
        for (int y = 0; y < cv.height; y++)
            for (int x = 0; x < cv.width; x++)
                if (cv.at(x, y) != ExpectedEdgePixel(r, L3C_SHADOW, L3C_HILITE, edges, x, y)) {
                    if (wrong++ < 3)
                        ADD_FAILURE() << "(" << x << "," << y << ") is 0x" << std::hex
                                      << cv.at(x, y);
                }
        EXPECT_EQ(wrong, 0);
        L3tCanvasDestroy(&cv);
    }
}

TEST_F(Look3dPaint, CornersMeetingTakeTheSecondColour)
{
    const RECT r = { 1, 1, 7, 6 };
    L3tCanvas cv;
    ASSERT_TRUE(L3tCanvasCreate(&cv, 8, 7, kPaper));
    Look3dDrawEdges(cv.dc, &r, L3C_FRAME, L3C_FACE, L3E_ALL);
    GdiFlush();
    EXPECT_EQ(cv.at(1, 1), L3tRgb(kSlotColour[L3C_FRAME])) << "top-left: first";
    EXPECT_EQ(cv.at(6, 1), L3tRgb(kSlotColour[L3C_FACE])) << "top-right: second";
    EXPECT_EQ(cv.at(1, 5), L3tRgb(kSlotColour[L3C_FACE])) << "bottom-left: second";
    EXPECT_EQ(cv.at(6, 5), L3tRgb(kSlotColour[L3C_FACE]));
    EXPECT_EQ(cv.at(3, 3), L3tRgb(kPaper)) << "the inside is not painted";
    L3tCanvasDestroy(&cv);
}

TEST_F(Look3dPaint, SunkenFieldHasTwoRings)
{
    const RECT r = { 3, 3, 12, 10 };
    for (int shortBottom = 0; shortBottom < 2; shortBottom++) {
        SCOPED_TRACE(shortBottom ? "short bottom" : "full bottom");
        WORD edges = (WORD)(L3E_ALL | (shortBottom ? L3E_SHORTBOTTOM : 0));
        L3tCanvas cv;
        ASSERT_TRUE(L3tCanvasCreate(&cv, 16, 14, kPaper));
        Look3dDrawSunkenField(cv.dc, &r, edges);
        GdiFlush();
        RECT outer = r;
        InflateRect(&outer, 1, 1);
        for (int y = 0; y < cv.height; y++) {
            for (int x = 0; x < cv.width; x++) {
                /* Inner ring first, the outer one around it; they do not overlap. */
                uint32_t want = ExpectedEdgePixel(outer, L3C_SHADOW, L3C_HILITE, edges, x, y);
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                    want = ExpectedEdgePixel(r, L3C_FRAME, L3C_FACE, L3E_ALL, x, y);
                ASSERT_EQ(cv.at(x, y), want) << "(" << x << "," << y << ")";
            }
        }
        /* The short bottom acts on the outer ring only. */
        EXPECT_EQ(cv.at(r.right - 1, r.bottom - 1), L3tRgb(kSlotColour[L3C_FACE]));
        EXPECT_EQ(cv.at(outer.right - 1, outer.bottom - 1), L3tRgb(kSlotColour[L3C_HILITE]))
            << "the right edge covers the corner either way";
        EXPECT_EQ(cv.at(outer.right - 2, outer.bottom - 1),
                  shortBottom ? L3tRgb(kPaper) : L3tRgb(kSlotColour[L3C_HILITE]));
        L3tCanvasDestroy(&cv);
    }
}

TEST_F(Look3dPaint, FillUsesTheSelectedBrushAndClipFollowsTheClient)
{
    L3tCanvas cv;
    ASSERT_TRUE(L3tCanvasCreate(&cv, 40, 30, kPaper));
    HGDIOBJ old = SelectObject(cv.dc, Look3d.hbrShadow);
    RECT band = { 5, 4, 9, 20 };
    Look3dFillRect(cv.dc, &band);
    GdiFlush();
    COLORREF shadow = saved[L3C_SHADOW];    /* the brush holds the real slot colour */
    EXPECT_EQ(cv.at(5, 4), L3tRgb(shadow));
    EXPECT_EQ(cv.at(8, 19), L3tRgb(shadow));
    EXPECT_EQ(cv.at(9, 19), L3tRgb(kPaper));
    EXPECT_EQ(cv.at(8, 20), L3tRgb(kPaper));

    /* A window whose client area is 20 x 10: only that much is painted. */
    HWND w = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 20, 10, NULL, NULL, Self(), NULL);
    RECT client;
    GetClientRect(w, &client);
    Look3dClipToClient(w, cv.dc);
    RECT all = { 0, 0, 40, 30 };
    SelectObject(cv.dc, Look3d.hbrHilite);
    Look3dFillRect(cv.dc, &all);
    GdiFlush();
    EXPECT_EQ(cv.at(client.right - 1, client.bottom - 1), L3tRgb(saved[L3C_HILITE]));
    EXPECT_EQ(cv.at(client.right, 0), L3tRgb(kPaper));
    EXPECT_EQ(cv.at(0, client.bottom), L3tRgb(kPaper));
    SelectObject(cv.dc, old);
    DestroyWindow(w);
    L3tCanvasDestroy(&cv);
}

/* ---- text measuring ---------------------------------------------------- */

SIZE Extent(HDC dc, const std::string &s)
{
    SIZE e = { 0, 0 };
    GetTextExtentPointA(dc, s.c_str(), (int)s.size(), &e);
    return e;
}

struct MeasureCase {
    const char *what;
    const char *text;
    BYTE dbcs;          /* dbcsEnabled */
    BYTE marker;        /* menuMarker */
    const char *measuredAs;
};

const MeasureCase kMeasureCases[] = {
    { "no marker", "Plain", 0, 0, "Plain" },
    { "& before a letter", "&File", 0, 0, "File" },
    { "doubled &", "Save && Quit", 0, 0, "Save & Quit" },
    { "& at the end", "End&", 0, 0, "End" },
    { "three &", "&&&", 0, 0, "&" },
    { "no double-byte system", "A\x1E" "BC\x1F" "D", 0, 0x1E, "A\x1E" "BC\x1F" "D" },
    { "0x1E acts like &", "A\x1E" "BC", 1, 0x1E, "ABC" },
    { "0x1F hides W", "A\x1F" "WBC", 1, 0x1E, "ABC" },
    { "0x1F at the end", "AB\x1F", 1, 0x1E, "AB" },
    { "roles swapped: 0x1F acts like &", "A\x1F" "WBC", 1, 0x1F, "AWBC" },
    { "roles swapped: 0x1E hides W", "A\x1E" "WBC", 1, 0x1F, "ABC" },
    { "doubled & then a doubled marker", "&&\x1E" "\x1E", 1, 0x1E, "&\x1E" },
};

TEST_F(Look3dPaint, MeasureTextDropsMarkers)
{
    HDC dc = CreateCompatibleDC(NULL);
    for (const MeasureCase &c : kMeasureCases) {
        SCOPED_TRACE(c.what);
        Look3d.dbcsEnabled = c.dbcs;
        Look3d.menuMarker = c.marker;
        int w = -1, h = -1;
        Look3dMeasureText(dc, c.text, &w, &h);
        SIZE want = Extent(dc, c.measuredAs);
        EXPECT_EQ(w, want.cx) << "width";
        EXPECT_EQ(h, want.cy) << "height";
    }
    Look3d.dbcsEnabled = 0;
    Look3d.menuMarker = 0;
    DeleteDC(dc);
}

TEST_F(Look3dPaint, MeasureTextReadsAtMost255Bytes)
{
    HDC dc = CreateCompatibleDC(NULL);
    std::string longText(300, 'W');
    int w = 0, h = 0;
    Look3dMeasureText(dc, longText.c_str(), &w, &h);
    EXPECT_EQ(w, Extent(dc, std::string(255, 'W')).cx);
    DeleteDC(dc);
}

/* The profile keys of [windows] in WIN.INI; under Wine they are mapped to
 * HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows (IniFileMapping),
 * so the test writes them with the profile API and removes them again. */
struct ProfileCase {
    const char *kanji;      /* NULL: key absent */
    const char *hangeul;
    BYTE marker;
};

const ProfileCase kProfileCases[] = {
    { NULL, NULL, 0x1E },
    { "kanji", NULL, 0x1F },
    { "KANJI", NULL, 0x1F },
    { "roman", NULL, 0x1E },
    { "kanjix", NULL, 0x1E },
    { NULL, "hangeul", 0x1F },
    { NULL, "Hangeul", 0x1F },
    { NULL, "english", 0x1E },
    { "roman", "hangeul", 0x1F },
};

TEST_F(Look3dPaint, MenuMarkerFollowsTheProfile)
{
    for (const ProfileCase &c : kProfileCases) {
        SCOPED_TRACE(std::string("kanjimenu=") + (c.kanji ? c.kanji : "-")
                     + " hangeulmenu=" + (c.hangeul ? c.hangeul : "-"));
        WriteProfileStringA("windows", "kanjimenu", c.kanji);
        WriteProfileStringA("windows", "hangeulmenu", c.hangeul);
        Look3d.dbcsEnabled = 1;
        Look3d.menuMarker = 0;
        Look3dReadMenuMarker();
        EXPECT_EQ(Look3d.menuMarker, c.marker);
        char value[16] = "";
        GetProfileStringA("windows", "kanjimenu", "(none)", value, sizeof value);
        EXPECT_STREQ(value, c.kanji ? c.kanji : "(none)") << "the profile write took";
    }
    WriteProfileStringA("windows", "kanjimenu", NULL);
    WriteProfileStringA("windows", "hangeulmenu", NULL);

    /* Without double-byte support the profile is not read at all. */
    WriteProfileStringA("windows", "kanjimenu", "kanji");
    Look3d.dbcsEnabled = 0;
    Look3d.menuMarker = 0x55;
    Look3dReadMenuMarker();
    EXPECT_EQ(Look3d.menuMarker, 0x55);
    WriteProfileStringA("windows", "kanjimenu", NULL);
    Look3d.menuMarker = 0;
}

/* ---- colours ----------------------------------------------------------- */

struct ColourCase {
    const char *what;
    WORD version;
    COLORREF hilite, face, gray;
    COLORREF wantHilite, wantGray;
};

const ColourCase kColourCases[] = {
    { "3.0: white highlight", 0x0300, 0xDDDDDD, 0xC0C0C0, 0x404040, 0xFFFFFF, 0x404040 },
    { "3.10: the system's highlight", 0x030A, 0xDDDDDD, 0xC0C0C0, 0x404040, 0xDDDDDD, 0x404040 },
    { "no grey text", 0x0333, 0xDDDDDD, 0xC0C0C0, 0x000000, 0xDDDDDD, 0x808080 },
    { "grey text equal to the face", 0x0333, 0xDDDDDD, 0xC0C0C0, 0xC0C0C0, 0xDDDDDD, 0x808080 },
    { "dark face, grey text equal to it", 0x0333, 0xDDDDDD, 0x808080, 0x808080, 0xDDDDDD,
      0xC0C0C0 },
    { "dark face, no grey text", 0x0333, 0xDDDDDD, 0x808080, 0x000000, 0xDDDDDD, 0xC0C0C0 },
    { "grey text of its own", 0x0601, 0xDDDDDD, 0x808080, 0x123456, 0xDDDDDD, 0x123456 },
};

TEST(Look3dColours, AdjustRules)
{
    for (const ColourCase &c : kColourCases) {
        SCOPED_TRACE(c.what);
        COLORREF set[L3C_SLOTS] = { c.hilite, c.face, 1, 2, 3, 4, c.gray, 5 };
        Look3dAdjustColours(set, c.version);
        EXPECT_EQ(set[L3C_HILITE], c.wantHilite) << "highlight";
        EXPECT_EQ(set[L3C_GRAYTEXT], c.wantGray) << "grey text";
        EXPECT_EQ(set[L3C_FACE], c.face) << "face";
        EXPECT_EQ(set[L3C_SHADOW], 1u) << "shadow";
    }
}

COLORREF BrushColour(HBRUSH b)
{
    LOGBRUSH lb;
    ZeroMemory(&lb, sizeof lb);
    GetObjectA(b, sizeof lb, &lb);
    return lb.lbColor;
}

TEST(Look3dColours, BuildTakesSystemColoursAndVersionRules)
{
    ASSERT_EQ(Look3d.instanceCount, 0);
    ASSERT_TRUE(Look3dOpen(Self()));
    static const int sys[L3C_SLOTS] = { COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, COLOR_BTNSHADOW,
                                        COLOR_BTNTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT,
                                        COLOR_GRAYTEXT, COLOR_WINDOWFRAME };
    for (WORD version : { (WORD)0x0300, (WORD)0x0333 }) {
        SCOPED_TRACE("version 0x" + ToHex(version));
        HBRUSH oldFace = Look3d.hbrFace;
        HBITMAP oldGlyphs = Look3d.hbmGlyphs;
        Look3d.winVersion = version;
        ASSERT_TRUE(Look3dBuildColours());
        for (int i = 0; i < L3C_SLOTS; i++) {
            COLORREF want = GetSysColor(sys[i]);
            if (i == L3C_HILITE && version == 0x0300)
                want = 0xFFFFFF;
            if (i == L3C_GRAYTEXT && (want == 0 || want == GetSysColor(COLOR_BTNFACE)))
                want = GetSysColor(COLOR_BTNFACE) == 0x808080 ? 0xC0C0C0 : 0x808080;
            EXPECT_EQ(Look3d.colours[i], want) << "slot " << i;
        }
        EXPECT_EQ(BrushColour(Look3d.hbrHilite), Look3d.colours[L3C_HILITE]);
        EXPECT_EQ(BrushColour(Look3d.hbrFace), Look3d.colours[L3C_FACE]);
        EXPECT_EQ(BrushColour(Look3d.hbrShadow), Look3d.colours[L3C_SHADOW]);
        EXPECT_EQ(GetObjectType(oldFace), 0u) << "the previous set was deleted";
        EXPECT_EQ(GetObjectType(oldGlyphs), 0u);
    }

    /* A build that cannot load the bitmap keeps the current set. */
    HBRUSH face = Look3d.hbrFace;
    HBITMAP glyphs = Look3d.hbmGlyphs;
    COLORREF hilite = Look3d.colours[L3C_HILITE];
    HINSTANCE module = Look3d.moduleInstance;
    Look3d.moduleInstance = GetModuleHandleA("user32.dll");
    Look3d.winVersion = 0x0601;
    EXPECT_FALSE(Look3dBuildColours());
    Look3d.moduleInstance = module;
    EXPECT_EQ(Look3d.hbrFace, face);
    EXPECT_EQ(Look3d.hbmGlyphs, glyphs);
    EXPECT_EQ(GetObjectType(face), (DWORD)OBJ_BRUSH);
    EXPECT_EQ(Look3d.colours[L3C_HILITE], hilite);

    /* While the look is off nothing is built. */
    Look3d.enabled = FALSE;
    EXPECT_FALSE(Look3dBuildColours());
    Look3d.enabled = TRUE;
    Look3dClose(Self());
}

/* ---- the glyph bitmap --------------------------------------------------- */

/* The pixel table of res/glyphs.txt: 39 rows of 70 entries. */
std::vector<std::vector<int>> ReadGlyphTable()
{
    std::vector<std::vector<int>> rows;
    FILE *f = fopen(ORM_GLYPHS_TXT, "r");
    if (!f)
        return rows;
    char line[256];
    while (fgets(line, sizeof line, f)) {
        if (line[0] == '#')
            continue;
        std::vector<int> row;
        for (char *p = line; *p; p++) {
            if (*p >= '0' && *p <= '9')
                row.push_back(*p - '0');
            else if (*p >= 'A' && *p <= 'F')
                row.push_back(*p - 'A' + 10);
        }
        if (!row.empty())
            rows.push_back(row);
    }
    fclose(f);
    return rows;
}

/* Checks bitmap 26567 of module against the pixel table, pixel by pixel. */
void CheckGlyphResource(HMODULE module, const std::vector<std::vector<int>> &table)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(LOOK3D_GLYPHS_ID), (LPCSTR)RT_BITMAP);
    ASSERT_NE(found, (HRSRC)NULL) << "bitmap 26567 is built into the program";
    const BYTE *res = (const BYTE *)LockResource(LoadResource(module, found));
    ASSERT_NE(res, (const BYTE *)NULL);
    const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *)res;
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 70);
    EXPECT_EQ(h->biHeight, 39) << "bottom-up";
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 4);
    EXPECT_EQ(h->biCompression, (DWORD)BI_RGB);
    EXPECT_TRUE(h->biClrUsed == 0 || h->biClrUsed == 16) << "biClrUsed " << h->biClrUsed;
    const int stride = 36;
    ASSERT_EQ(SizeofResource(module, found), 40u + 64u + 39u * stride);

    /* Marker colours of the table entries the pixels use (blue, green, red). */
    const RGBQUAD *colours = (const RGBQUAD *)(res + 40);
    struct { int entry; BYTE r, g, b; } markers[] = {
        { 0, 0, 0, 0 }, { 7, 128, 128, 128 }, { 8, 192, 192, 192 },
        { 10, 0, 255, 0 }, { 11, 255, 255, 0 }, { 15, 255, 255, 255 },
    };
    for (const auto &m : markers) {
        SCOPED_TRACE("colour table entry " + std::to_string(m.entry));
        EXPECT_EQ(colours[m.entry].rgbRed, m.r) << "red";
        EXPECT_EQ(colours[m.entry].rgbGreen, m.g) << "green";
        EXPECT_EQ(colours[m.entry].rgbBlue, m.b) << "blue";
    }

    const BYTE *pixels = res + 40 + 64;
    int wrong = 0;
    for (int y = 0; y < 39; y++) {
        const BYTE *line = pixels + (38 - y) * stride;
        for (int x = 0; x < 70; x++) {
            int entry = (x % 2 == 0) ? line[x / 2] >> 4 : line[x / 2] & 0xF;
            if (entry != table[y][x] && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << entry
                              << ", table says " << table[y][x];
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Look3dGlyphs, ResourceMatchesThePixelTable)
{
    std::vector<std::vector<int>> table = ReadGlyphTable();
    ASSERT_EQ(table.size(), 39u) << "reading " << ORM_GLYPHS_TXT;
    for (const std::vector<int> &row : table)
        ASSERT_EQ(row.size(), 70u);
    CheckGlyphResource(Self(), table);
}

TEST(Look3dGlyphs, ShellCarriesTheSameBitmap)
{
    std::vector<std::vector<int>> table = ReadGlyphTable();
    ASSERT_EQ(table.size(), 39u);
    std::string shell = L3tBesideExe("ORMGEN32.EXE");
    HMODULE module = LoadLibraryExA(shell.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, (HMODULE)NULL) << shell;
    CheckGlyphResource(module, table);
    FreeLibrary(module);
}

TEST(Look3dGlyphs, LoadedBitmapIsRecolouredToTheSlots)
{
    std::vector<std::vector<int>> table = ReadGlyphTable();
    ASSERT_EQ(table.size(), 39u);
    const COLORREF text = RGB(1, 2, 3), face = RGB(40, 50, 60), shadow = RGB(70, 80, 90),
                   hilite = RGB(200, 210, 220), window = RGB(230, 240, 250),
                   frame = RGB(100, 0, 100);
    HBITMAP bmp = Look3dLoadGlyphs(Self(), LOOK3D_GLYPHS_ID, text, face, shadow, hilite,
                                   window, frame);
    ASSERT_NE(bmp, (HBITMAP)NULL);
    COLORREF byEntry[16] = {};
    byEntry[0] = text;
    byEntry[7] = shadow;
    byEntry[8] = face;
    byEntry[10] = frame;
    byEntry[11] = window;
    byEntry[15] = hilite;

    L3tCanvas cv;
    ASSERT_TRUE(L3tCanvasCreate(&cv, 70, 39, 0));
    HDC src = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(src, bmp);
    BitBlt(cv.dc, 0, 0, 70, 39, src, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(src, old);
    DeleteDC(src);
    int wrong = 0;
    for (int y = 0; y < 39; y++)
        for (int x = 0; x < 70; x++)
            if ((cv.at(x, y) & 0xFFFFFF) != L3tRgb(byEntry[table[y][x]]) && wrong++ < 5)
                ADD_FAILURE() << "(" << x << "," << y << ") 0x" << std::hex << cv.at(x, y);
    EXPECT_EQ(wrong, 0);
    L3tCanvasDestroy(&cv);
    DeleteObject(bmp);

    EXPECT_EQ(Look3dLoadGlyphs(GetModuleHandleA("user32.dll"), LOOK3D_GLYPHS_ID, text, face,
                               shadow, hilite, window, frame),
              (HBITMAP)NULL)
        << "a module without the resource gives no bitmap";
}

}  // namespace
