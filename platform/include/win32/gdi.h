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

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

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

// GetDeviceCaps indexes and the palette capability bit.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int RASTERCAPS = 38;
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

constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_BITMAP = 7;

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

// Pens, brushes and drawing state.
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

} // namespace win32
