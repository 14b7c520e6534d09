// Fast paths beside the generic pixel routines: which depth has which, the switch that turns them all off,
// and the row kernels of the smoothed stretch. The generic routines stay the reference and the path for
// everything a fast path does not take.
#pragma once

#include "vtrs2/pixel_routines.h"
#include "vtrs2/surface_implementation.h"
#include "win32/types.h"

#include <cstddef>
#include <cstdint>

namespace surfaces {

// The generic routine table of a depth index: the per-pixel templates, with no fast path.
const PixelRoutineTable* GenericPixelRoutineTable(int depthIndex);

// False when the environment asks for the generic routines only (read once per process), or a test does.
bool FastPathsEnabled();

// A depth's fast paths replace slots of a copy of its generic table.
using FastPathInstaller = void (*)(PixelRoutineTable& table);
void AddFastPaths32(PixelRoutineTable& table);

// True when the bytes of the two blit rectangles can meet (a blit within one surface, or two views of one
// buffer). The fast paths leave those to the generic routines, whose pixel order they do not keep.
bool RectanglesOverlap(const cSurfaceImplementation& destination, int dx, int dy,
                       const cSurfaceImplementation& source, int sx, int sy, int width, int height);
bool RectanglesOverlap(const cSurfaceImplementation& destination, int dx, int dy, int dw, int dh,
                       const cSurfaceImplementation& source, int sx, int sy, int sw, int sh);
// The opaque copy of any depth at memcpy speed: one memcpy per row, or one for the whole rectangle when its
// rows lie back to back on both sides.
void FastCopyOpaque(cSurfaceImplementation& destination, int dx, int dy, const cSurfaceImplementation& source,
                    int sx, int sy, int width, int height);

// The taps of one pass of the smoothed stretch, laid out for vector loads: tap t of output j is at
// [t * stride + j]. Taps past an output's own count have weight 0 and repeat its last source index.
struct TapTable {
    const std::int32_t* index;
    const std::uint32_t* weight;
    int taps;
    std::ptrdiff_t stride;
};

// Row kernels over working pixels (blue, green, red in bytes 0-2; byte 3 is ignored and written as 0).
// Every channel is (0x8000 + the sum of weight x channel) >> 16, clamped to 255. With `transparent` given
// (non-zero for a transparent source pixel), those pixels add their weight to the clear side only: an
// output with no clear weight is as before, one whose clear weight outweighs the rest becomes `key`, any
// other the mean of its opaque inputs.
struct ScaleKernels {
    // `count` outputs starting at output `first` of the table, from one source row (and one 32-bit word
    // of transparency per source pixel).
    void (*HorizontalRow)(const win32::BYTE* source, const std::uint32_t* transparent, win32::BYTE* out,
                          const TapTable& columns, int first, int count, std::uint32_t key);
    // `count` outputs from `taps` source rows with one weight each (and one byte of transparency per
    // source pixel of each row).
    void (*VerticalRow)(const win32::BYTE* const* rows, const win32::BYTE* const* transparent,
                        const std::uint32_t* weights, int taps, win32::BYTE* out, int count,
                        std::uint32_t key);
};

// The scale kernels of a depth index whose surfaces hold working pixels, or null (none, or switched off).
const ScaleKernels* GetScaleKernels(int depthIndex);
const ScaleKernels* ScaleKernels32();

// The smoothed stretch's fast paths (fast_stretch.cpp). Each answers false when it does not apply, and the
// caller then runs the generic loops.
// One resampling pass between two locked surfaces; transparency-aware with the source's alpha plane, or
// else its pixels of the transparent colour, when asked.
bool FastResamplePass(const cSurfaceImplementation& source, int sx, int sy, int sw, int sh,
                      cSurfaceImplementation& destination, int dw, int dh, bool horizontal, bool aware,
                      win32::COLORREF transparent);
// A whole smoothed stretch of the source rectangle to (x, y, w, h) of the destination, drawn straight into
// its visible part (left, top, right, bottom) as an opaque copy of the scaled picture would draw it.
bool FastSmoothStretch(cSurfaceImplementation& source, int sx, int sy, int sw, int sh,
                       cSurfaceImplementation& destination, int x, int y, int w, int h, int left, int top,
                       int right, int bottom);

} // namespace surfaces
