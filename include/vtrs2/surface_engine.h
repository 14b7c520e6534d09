// The exported pieces of the software engine: smoothed resampling, the block readers of the filter pass,
// the edge-smoothing filters and the bounds of a rotated image.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"
#include "win32/types.h"

// Smoothed resampling of a source rectangle onto a whole destination surface of dw x dh (sizes below 1
// count as 1). Transparency-aware: transparent pixels (alpha 0, or the transparent colour) do not bleed.
VTRS2_API int ResampleRect(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                           cSurfaceImplementation* destination, int dw, int dh, int transparencyAware,
                           win32::COLORREF transparent);
VTRS2_API int ResampleHorizontal(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                                 cSurfaceImplementation* destination, int dw, int dh, int transparencyAware,
                                 win32::COLORREF transparent);
VTRS2_API int ResampleVertical(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                               cSurfaceImplementation* destination, int dw, int dh, int transparencyAware,
                               win32::COLORREF transparent);

// Reads a block of width x height colours (COLORREF, row by row). Coordinates outside the clip rectangle are
// clamped into it; the clamped reader gives the transparent colour for them instead.
VTRS2_API void ReadBlock(cSurfaceImplementation& surface, int x, int y, int width, int height,
                         win32::COLORREF* out);
VTRS2_API void ReadBlockClamped(cSurfaceImplementation& surface, int x, int y, int width, int height,
                                win32::COLORREF* out);

// The 3 x 3 filters of the antialiased blit: they soften the destination around the edge of the drawn
// shape, which is where the source is transparent (the argument's colour, or black).
VTRS2_API win32::COLORREF EdgeSmoothKeyed(const win32::COLORREF* destinationBlock,
                                          const win32::COLORREF* sourceBlock, win32::LPARAM transparent);
VTRS2_API win32::COLORREF EdgeSmoothBlack(const win32::COLORREF* destinationBlock,
                                          const win32::COLORREF* sourceBlock, win32::LPARAM replacement);

// The size, hot spot and action point of an image turned by an angle in degrees (hot spot and action point
// may be null).
VTRS2_API void RotateImageBounds(win32::SIZE* size, win32::POINT* hotSpot, win32::POINT* actionPoint,
                                 float angle);

// The antialiasing pass of a blit: the filter pass of the whole source at the unclipped position.
VTRS2_API void AntialiasBlitEdges(cSurfaceImplementation& source, cSurfaceImplementation& destination, int x,
                                  int y, int effect, win32::DWORD coefficient);
