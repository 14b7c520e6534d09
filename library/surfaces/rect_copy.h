// The depth-independent rectangle routines beside the per-depth tables: the row copier, the in-surface
// move, the vertical row swap and the scans of a surface's pixels against its transparent value. They trust
// their callers for clipping and locking.
#pragma once

#include "vtrs2/surface_implementation.h"

#include <cstddef>

namespace surfaces {

// Copies `rows` rows of `rowBytes` bytes, stepping each cursor by its own step (a signed pitch) between
// rows; the rows are moved, so that a row may overlap itself.
void CopyRows(const win32::BYTE* source, win32::BYTE* destination, std::size_t rowBytes,
              std::ptrdiff_t sourceStep, std::ptrdiff_t destinationStep, int rows);
// Slot 5 of every table: every pixel of the rectangle, whatever the depth.
void CopyOpaque(cSurfaceImplementation& destination, int dx, int dy, const cSurfaceImplementation& source,
                int sx, int sy, int width, int height);
// Moves a rectangle within one surface; overlapping rectangles come out right.
void MoveRectInSurface(cSurfaceImplementation& surface, int dx, int dy, int sx, int sy, int width,
                       int height);
// Swaps row y + i with row y + height - 1 - i over rowBytes bytes from column x, for i below height / 2.
void FlipRowsVertical(cSurfaceImplementation& surface, int x, int y, int pitch, int width, int height,
                      int rowBytes);
// 1 when every pixel equals the transparent value / when none does.
int ScanAllTransparent(const cSurfaceImplementation& surface);
int ScanNoTransparent(const cSurfaceImplementation& surface);
// 0 for an empty surface; else 1 with the bounding box of the pixels that differ from the transparent
// value (right and bottom exclusive), or an empty box (0, 0, 0, 0) when there is none.
int ScanOpaqueBounds(const cSurfaceImplementation& surface, win32::RECT* bounds);

} // namespace surfaces
