// Internal views over 1-bit masks, shared by the play-area planes and the raw mask tests.
#pragma once

#include "win32/types.h"

#include <bit>
#include <cstdint>
#include <cstring>

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

static_assert(std::endian::native == std::endian::little, "mask rows are read as little-endian words");

// Up to 56 bits of a row starting at pixel `pos`, never reading past the row.
inline std::uint64_t ExtractBits(const win32::BYTE* row, win32::LONG rowBytes, win32::LONG pos, int count) {
    const win32::LONG first = pos >> 3;
    const win32::LONG left = rowBytes - first; // bytes of the row from the chunk's first
    const win32::BYTE* at = row + first;
    std::uint64_t value = 0;
    // Rows are little-endian bit strings. The bytes left in the row are read with at most two loads that
    // may overlap, so that the narrow rows of small objects' masks take no byte-by-byte loop.
    if (left >= 8) {
        std::memcpy(&value, at, sizeof value);
    } else if (left >= 4) {
        std::uint32_t low, high;
        std::memcpy(&low, at, sizeof low);
        std::memcpy(&high, at + left - 4, sizeof high);
        value = low | (static_cast<std::uint64_t>(high) << (8 * (left - 4)));
    } else if (left >= 2) {
        std::uint16_t low, high;
        std::memcpy(&low, at, sizeof low);
        std::memcpy(&high, at + left - 2, sizeof high);
        value = low | (static_cast<std::uint64_t>(high) << (8 * (left - 2)));
    } else if (left == 1) {
        value = at[0];
    }
    value >>= pos & 7;
    return count >= 64 ? value : value & ((std::uint64_t{1} << count) - 1);
}

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
