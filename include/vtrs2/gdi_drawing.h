// Drawing on a device context with GDI objects made, selected, used and deleted within one call: shapes,
// solid rectangles, lines, and a copy from one DC to another through device-independent bits.
#pragma once

#include "vtrs2/export.h"
#include "win32/gdi.h"

// Copies width x height from (sourceX, sourceY) of the source DC to (x, y) of the destination, stretched
// to the destination size (fitted keeping the aspect with `keepAspect`); with `pump` the thread's pending
// messages are dispatched first. The destination may have another format than the source. The result of
// the final StretchDIBits, 0 on failure.
VTRS2_API int StretchDCToDC(win32::HDC source, win32::HDC destination, int sourceX, int sourceY, int x, int y,
                            int width, int height, int destinationWidth, int destinationHeight, int pump,
                            int keepAspect);
// A thick outline of pen width w lies inside the box (left, top, right, bottom); filled shapes with w 0 have
// no outline.
VTRS2_API void GdiEllipse(win32::HDC dc, int left, int top, int right, int bottom, win32::COLORREF fill,
                          int penWidth, win32::COLORREF penColour, int filled);
VTRS2_API void GdiRectangle(win32::HDC dc, int left, int top, int right, int bottom, win32::COLORREF fill,
                            int penWidth, win32::COLORREF penColour, int filled);
VTRS2_API void GdiPolygon(win32::HDC dc, const win32::POINT* points, int count, win32::COLORREF fill,
                          int penWidth, win32::COLORREF penColour, int filled);
VTRS2_API void GdiLine(win32::HDC dc, int x1, int y1, int x2, int y2, int penWidth, win32::COLORREF colour);
VTRS2_API void FillRectSolid(win32::HDC dc, const win32::RECT* rect, win32::COLORREF colour);
// The previous background mode.
VTRS2_API int SetBackgroundMode(win32::HDC dc, int mode);
