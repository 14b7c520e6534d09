// The software GDI: device contexts for windows and memory, DIB sections, blits, pens, brushes and shapes.
#pragma once

#include "win32/types.h"
#include "win32/user.h"

namespace win32 {

// Any GDI handle converts to the generic one, as bitmaps, pens and brushes are all selected alike.
using HGDIOBJ = void*;
struct BitmapObject;
using HBITMAP = BitmapObject*;
struct PenObject;
using HPEN = PenObject*;
struct RegionObject;
using HRGN = RegionObject*;
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};

constexpr UINT DIB_RGB_COLORS = 0;
// The colour table holds 16-bit indexes into the selected palette; the layer's sections then start black.
constexpr UINT DIB_PAL_COLORS = 1;

// Raster operations of BitBlt and StretchBlt.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Mix modes (SetROP2).
constexpr int R2_BLACK = 1;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOP = 11;
constexpr int R2_COPYPEN = 13;
constexpr int R2_WHITE = 16;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Pen styles. A PS_DOT pen of width 1 draws three pixels and leaves three, along the line.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Hatch styles: HS_BDIAGONAL draws lines rising to the right, one pixel wide and 8 pixels apart along a row,
// aligned on the bitmap's pixels.
constexpr int HS_BDIAGONAL = 3;

// Polygon fill modes: ALTERNATE fills where an odd number of edges lie on either side, WINDING where the
// edges wind round the point a non-zero number of times.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
// The 20 static colours; selecting it takes an application's own palette back out of a DC.
constexpr int DEFAULT_PALETTE = 15;

// GetDeviceCaps indexes and the palette capability bit.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int RASTERCAPS = 38;
// Logical pixels per inch along each axis; fonts are laid out at 96.
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int RC_PALETTE = 0x0100;

// Region complexity returned by GetClipBox.
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// Device contexts.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
int GetObjectW(HGDIOBJ object, int size, LPVOID out);
int GetDeviceCaps(HDC dc, int index);
BOOL GdiFlush();
int GetClipBox(HDC dc, RECT* rect);
HWND WindowFromDC(HDC dc);
// The logical point shown at the DC's top-left corner, and a narrowing of what the DC draws into (logical
// coordinates, taken as they stand when it is called); it answers the kind of region left.
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC dc, POINT* origin);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// Rectangular regions, in device coordinates. GetClipRgn copies the DC's narrowing into the region and
// answers 1, or 0 when the DC has none; SelectClipRgn with null removes it.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int GetClipRgn(HDC dc, HRGN region);
int SelectClipRgn(HDC dc, HRGN region);

constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_PAL = 5;
constexpr UINT OBJ_BITMAP = 7;
// SelectObject, DeleteObject, GetObjectW and GetStockObject also take fonts (those of win32/font.h);
// DeleteObject also deletes palettes (not while one is selected into a DC).

// Bitmaps.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
// Draws from bits described by a bitmap header; for a bottom-up bitmap the source y counts from the bottom.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
// Copies rows of a bitmap (not selected into another DC than `dc`) into bits of the header's format; without
// bits only the header's image size (and an 8-bit bitmap's colour table) is filled. The rows copied, 0 on
// failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

// Logical palettes (version 0x300). The display is true colour: RASTERCAPS has no RC_PALETTE, there is no
// system palette (GetSystemPaletteEntries answers 0) and realising a palette maps no entries.
constexpr UINT GDI_ERROR = 0xFFFFFFFF;
HPALETTE CreatePalette(const LOGPALETTE* palette);
// With null entries, the palette's entry count.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);

// Pens, brushes and drawing state. A hatched brush draws its lines in its colour and the pixels between
// them in the DC's background colour, or leaves them with the TRANSPARENT background mode; styles other
// than HS_BDIAGONAL are refused (null).
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int style, COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
// Shapes: the outline with the pen, the inside with the brush, right and bottom edges exclusive. A pen of
// width w is centred on the shape's edge: it reaches w / 2 pixels outside the box on the left and top and
// (w - 1) / 2 on the right and bottom. Without a pen a rectangle loses its right column and bottom row; an
// ellipse covers the pixels whose centres lie inside the ellipse inscribed in its box; a polygon fills the
// pixels whose centres lie inside it (alternate rule, left and top edges inclusive).
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);
// The rule Polygon fills by (ALTERNATE at first); the previous mode, 0 for a mode it does not know.
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
// Inverts every pixel of the rectangle (right and bottom edges exclusive).
BOOL InvertRect(HDC dc, const RECT* rect);
// Logical points to device points: the DC's window origin taken off.
BOOL LPtoDP(HDC dc, POINT* points, int count);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// System colours: one fixed light scheme, as the layer has no desktop theme to follow.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;

// 0 for an index that names no colour.
COLORREF GetSysColor(int index);
// A stock brush of the colour (never deleted); null for an index that names no colour.
HBRUSH GetSysColorBrush(int index);

// Edges of DrawEdge: outer and inner rings, raised or sunken, drawn in the system's 3-D colours.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_ADJUST = 0x2000;
// With BF_ADJUST the rectangle is shrunk by the rings drawn; BF_MIDDLE fills what is left with the face
// colour.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);

} // namespace win32
