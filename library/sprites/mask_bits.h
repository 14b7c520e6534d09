// Internal views over 1-bit masks, shared by the play-area planes and the raw mask tests.
#pragma once

#include "win32/types.h"

#include <cstdint>

namespace sprites {

// A mask placed in play-area coordinates, with a clip window in its own pixels (half-open) outside
// which it reads as empty.
struct MaskView {
    const win32::BYTE* bits;
    win32::LONG stride;
    win32::LONG x, y;
    win32::LONG width, height;
    win32::LONG clipX0, clipY0, clipX1, clipY1;
};

MaskView WholeMask(const win32::BYTE* bits, win32::LONG x, win32::LONG y, win32::LONG width,
                   win32::LONG height);

inline bool MaskBit(const win32::BYTE* bits, win32::LONG stride, win32::LONG x, win32::LONG y) {
    return (bits[static_cast<std::ptrdiff_t>(y) * stride + (x >> 3)] >> (x & 7)) & 1;
}

// Up to 56 bits of a row starting at pixel `pos`, never reading past the row.
std::uint64_t ExtractBits(const win32::BYTE* row, win32::LONG rowBytes, win32::LONG pos, int count);

// Any solid pixel of the view inside the rectangle given in the view's own pixels.
bool AnyBitInRect(const MaskView& view, win32::LONG x, win32::LONG y, win32::LONG width, win32::LONG height);

bool OverlapPlain(const MaskView& a, const MaskView& b);

// B's placement for the scaled and rotated tests.
struct TransformedMask {
    const win32::BYTE* bits; // null: every pixel of B is solid (a plain box)
    double x, y; // where B's hot spot lies (the rotated tests) or its top-left corner (scaled only)
    win32::LONG hotX, hotY;
    win32::LONG width, height;
    double scaleX, scaleY;
    double angle; // degrees
    win32::LONG heightLimit;
};

// Cosine and sine of an angle in degrees; exact at quarter turns, so that turned pixels land on whole
// coordinates.
void TurnCosSin(double degrees, double& c, double& s);

bool OverlapScaled(const MaskView& a, const TransformedMask& b);
bool OverlapRotated(const MaskView& a, const TransformedMask& b);

} // namespace sprites
