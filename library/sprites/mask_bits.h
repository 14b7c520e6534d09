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

// Up to 56 bits starting at pixel `pos` of rows `rowBytes` long, never reading past a row: where the bits
// lie is worked out once, so that a run of rows read at the same place costs a load or two a row. The bytes
// left in the row are read with at most two loads that may overlap, so that the narrow rows of small
// objects' masks take no byte-by-byte loop.
class RowBits {
public:
    RowBits(win32::LONG rowBytes, win32::LONG pos, int count)
        : first_(pos >> 3), left_(rowBytes - first_), shift_(pos & 7),
          keep_(count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1) {}
    std::uint64_t Read(const win32::BYTE* row) const {
        const win32::BYTE* at = row + first_;
        std::uint64_t value = 0;
        if (left_ >= 8) {
            std::memcpy(&value, at, sizeof value);
        } else if (left_ >= 4) {
            value = Pair<std::uint32_t>(at);
        } else if (left_ >= 2) {
            value = Pair<std::uint16_t>(at);
        } else if (left_ == 1) {
            value = at[0];
        }
        return (value >> shift_) & keep_;
    }

private:
    static_assert(std::endian::native == std::endian::little, "mask rows are read as little-endian words");
    // The bytes left, read as the first and the last word of their size.
    template <typename Word> std::uint64_t Pair(const win32::BYTE* at) const {
        Word low, high;
        std::memcpy(&low, at, sizeof low);
        std::memcpy(&high, at + left_ - static_cast<win32::LONG>(sizeof high), sizeof high);
        return low |
               (static_cast<std::uint64_t>(high) << (8 * (left_ - static_cast<win32::LONG>(sizeof high))));
    }

    win32::LONG first_, left_;
    int shift_;
    std::uint64_t keep_;
};

inline std::uint64_t ExtractBits(const win32::BYTE* row, win32::LONG rowBytes, win32::LONG pos, int count) {
    return RowBits(rowBytes, pos, count).Read(row);
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
