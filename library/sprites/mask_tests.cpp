// Tests of raw 1-bit masks against rectangles and against each other, plain, scaled and rotated.
#include "mask_bits.h"
#include "vtrs2/collision_mask.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

using namespace win32;

namespace sprites {

namespace {

constexpr double Pi = 3.141592653589;
constexpr int ChunkBits = 56;

struct Span {
    LONG begin, end; // half-open
    bool Empty() const { return begin >= end; }
};

Span Intersect(Span a, Span b) {
    return {std::max(a.begin, b.begin), std::min(a.end, b.end)};
}

Span ClipColumns(const MaskView& v) {
    return {v.x + std::max<LONG>(v.clipX0, 0), v.x + std::min(v.clipX1, v.width)};
}
Span ClipRows(const MaskView& v) {
    return {v.y + std::max<LONG>(v.clipY0, 0), v.y + std::min(v.clipY1, v.height)};
}

// Calls visit(x, y) in play-area coordinates for every solid pixel of A inside the given spans; stops
// when visit returns true.
template <typename Visit> bool AnySolidPixel(const MaskView& a, Span columns, Span rows, Visit visit) {
    columns = Intersect(columns, ClipColumns(a));
    rows = Intersect(rows, ClipRows(a));
    if (columns.Empty() || rows.Empty()) return false;
    for (LONG y = rows.begin; y < rows.end; ++y) {
        const BYTE* row = a.bits + static_cast<std::ptrdiff_t>(y - a.y) * a.stride;
        for (LONG x = columns.begin; x < columns.end;) {
            const int n = static_cast<int>(std::min<LONG>(ChunkBits, columns.end - x));
            std::uint64_t word = ExtractBits(row, a.stride, x - a.x, n);
            while (word) {
                const int bit = __builtin_ctzll(word);
                if (visit(x + bit, y)) return true;
                word &= word - 1;
            }
            x += n;
        }
    }
    return false;
}

bool BPixel(const TransformedMask& b, LONG u, LONG v) {
    return u >= 0 && v >= 0 && u < b.width && v < b.height &&
           (!b.bits || MaskBit(b.bits, MaskStride(b.width), u, v));
}

} // namespace

void TurnCosSin(double degrees, double& c, double& s) {
    const double quarter = degrees / 90;
    if (quarter == std::floor(quarter)) {
        static constexpr double cosines[] = {1, 0, -1, 0};
        const int q = static_cast<int>(std::fmod(std::fmod(quarter, 4) + 4, 4));
        c = cosines[q], s = cosines[(q + 3) % 4];
        return;
    }
    const double radians = degrees * Pi / 180;
    c = std::cos(radians), s = std::sin(radians);
}

MaskView WholeMask(const BYTE* bits, LONG x, LONG y, LONG width, LONG height) {
    return {bits, MaskStride(width), x, y, width, height, 0, 0, width, height};
}

std::uint64_t ExtractBits(const BYTE* row, LONG rowBytes, LONG pos, int count) {
    const LONG first = pos >> 3;
    std::uint64_t value = 0;
    if (first + 8 <= rowBytes) {
        // Rows are little-endian bit strings: one unaligned load covers the whole chunk.
        std::memcpy(&value, row + first, sizeof value);
        if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    } else {
        for (int i = 0; i < 8 && first + i < rowBytes; ++i)
            value |= static_cast<std::uint64_t>(row[first + i]) << (8 * i);
    }
    value >>= pos & 7;
    return count >= 64 ? value : value & ((std::uint64_t{1} << count) - 1);
}

bool AnyBitInRect(const MaskView& view, LONG x, LONG y, LONG width, LONG height) {
    if (width <= 0 || height <= 0) return false;
    const Span columns = Intersect({view.x + x, view.x + x + width}, ClipColumns(view));
    const Span rows = Intersect({view.y + y, view.y + y + height}, ClipRows(view));
    if (columns.Empty() || rows.Empty()) return false;
    // A box of an object's size: the same bytes of every row, one load each, the rows' bits gathered
    // before they are tested.
    const LONG from = columns.begin - view.x;
    const LONG first = from >> 3;
    const int shift = from & 7;
    const LONG count = columns.end - columns.begin;
    if (count <= ChunkBits && first + 8 <= view.stride) {
        const BYTE* row = view.bits + static_cast<std::ptrdiff_t>(rows.begin - view.y) * view.stride + first;
        std::uint64_t gathered = 0;
        for (LONG n = rows.end - rows.begin; n > 0; --n, row += view.stride) {
            std::uint64_t word;
            std::memcpy(&word, row, sizeof word);
            gathered |= word;
        }
        if constexpr (std::endian::native == std::endian::big) gathered = __builtin_bswap64(gathered);
        return ((gathered >> shift) & ((std::uint64_t{1} << count) - 1)) != 0;
    }
    return AnySolidPixel(view, columns, rows, [](LONG, LONG) { return true; });
}

bool OverlapPlain(const MaskView& a, const MaskView& b) {
    const Span columns = Intersect(ClipColumns(a), ClipColumns(b));
    const Span rows = Intersect(ClipRows(a), ClipRows(b));
    if (columns.Empty() || rows.Empty()) return false;
    for (LONG y = rows.begin; y < rows.end; ++y) {
        const BYTE* rowA = a.bits + static_cast<std::ptrdiff_t>(y - a.y) * a.stride;
        const BYTE* rowB = b.bits + static_cast<std::ptrdiff_t>(y - b.y) * b.stride;
        for (LONG x = columns.begin; x < columns.end; x += ChunkBits) {
            const int n = static_cast<int>(std::min<LONG>(ChunkBits, columns.end - x));
            if (ExtractBits(rowA, a.stride, x - a.x, n) & ExtractBits(rowB, b.stride, x - b.x, n))
                return true;
        }
    }
    return false;
}

bool OverlapScaled(const MaskView& a, const TransformedMask& b) {
    if (b.width <= 0 || b.height <= 0 || !(b.scaleX > 0) || !(b.scaleY > 0)) return false;
    const LONG coveredWidth = static_cast<LONG>(b.width * b.scaleX);
    const LONG coveredHeight = static_cast<LONG>(b.height * b.scaleY);
    const LONG left = static_cast<LONG>(b.x), top = static_cast<LONG>(b.y);
    Span rows{top, top + coveredHeight};
    if (b.heightLimit > 0) rows.begin = std::max(rows.begin, rows.end - b.heightLimit);
    return AnySolidPixel(a, {left, left + coveredWidth}, rows, [&](LONG x, LONG y) {
        return BPixel(b, static_cast<LONG>((x - left) / b.scaleX), static_cast<LONG>((y - top) / b.scaleY));
    });
}

bool OverlapRotated(const MaskView& a, const TransformedMask& b) {
    if (b.width <= 0 || b.height <= 0 || !(b.scaleX > 0) || !(b.scaleY > 0)) return false;
    double c = 1, s = 0;
    TurnCosSin(b.angle, c, s);
    // The corners of the scaled box about its hot spot, turned into play-area offsets.
    const double left = -b.hotX * b.scaleX, top = -b.hotY * b.scaleY;
    const double right = (b.width - 1 - b.hotX) * b.scaleX, bottom = (b.height - 1 - b.hotY) * b.scaleY;
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (const auto& [u, v] : {std::pair{left, top}, {right, top}, {right, bottom}, {left, bottom}}) {
        const double x = u * c + v * s, y = v * c - u * s;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    // Truncation in the mapping reaches a little past the corners; the mapping below decides.
    const LONG margin = static_cast<LONG>(std::ceil(std::max(b.scaleX, b.scaleY))) + 2;
    const Span columns{static_cast<LONG>(std::floor(b.x + minX)) - margin,
                       static_cast<LONG>(std::ceil(b.x + maxX)) + margin};
    Span rows{static_cast<LONG>(std::floor(b.y + minY)) - margin,
              static_cast<LONG>(std::ceil(b.y + maxY)) + margin};
    if (b.heightLimit > 0) {
        // Only the lowest rows of the turned box are tested; a limit taller than the box tests all of it.
        const LONG by = static_cast<LONG>(b.y);
        const LONG first = by + static_cast<LONG>(maxY) - b.heightLimit + 1;
        if (first > by + static_cast<LONG>(minY)) rows.begin = first;
    }
    return AnySolidPixel(a, columns, rows, [&](LONG x, LONG y) {
        const double dx = x - b.x, dy = y - b.y;
        const LONG u = b.hotX + static_cast<LONG>((dx * c - dy * s) / b.scaleX);
        const LONG v = b.hotY + static_cast<LONG>((dx * s + dy * c) / b.scaleY);
        return BPixel(b, u, v);
    });
}

} // namespace sprites

using namespace sprites;

int TestMaskPixel(const BYTE* bits, LONG x, LONG y, LONG width, LONG height) {
    if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return MaskBit(bits, MaskStride(width), x, y);
}

int TestMaskBitsInRect(const BYTE* bits, LONG width, LONG height, LONG x, LONG y, LONG rectWidth,
                       LONG rectHeight) {
    if (!bits || width <= 0 || height <= 0) return 0;
    return AnyBitInRect(WholeMask(bits, 0, 0, width, height), x, y, rectWidth, rectHeight);
}

int TestMaskOverlap(const BYTE* a, const BYTE* b, LONG ax, LONG ay, LONG aWidth, LONG aHeight, LONG bx,
                    LONG by, LONG bWidth, LONG bHeight) {
    if (!a || !b || aWidth <= 0 || aHeight <= 0 || bWidth <= 0 || bHeight <= 0) return 0;
    return OverlapPlain(WholeMask(a, ax, ay, aWidth, aHeight), WholeMask(b, bx, by, bWidth, bHeight));
}

int TestMaskOverlapRotated(const BYTE* a, const BYTE* b, LONG ax, LONG ay, LONG aWidth, LONG aHeight, LONG bx,
                           LONG by, LONG bHotX, LONG bHotY, LONG bWidth, LONG bHeight, float angle,
                           LONG heightLimit) {
    return TestMaskOverlapScaledRotated(a, b, ax, ay, aWidth, aHeight, bx, by, bHotX, bHotY, bWidth, bHeight,
                                        angle, heightLimit, 1.0f, 1.0f);
}

int TestMaskOverlapScaled(const BYTE* a, const BYTE* b, LONG ax, LONG ay, LONG aWidth, LONG aHeight, LONG bx,
                          LONG by, LONG bHotX, LONG bHotY, LONG bWidth, LONG bHeight, float scaleX,
                          float scaleY) {
    if (!a || !b || aWidth <= 0 || aHeight <= 0) return 0;
    const TransformedMask mask{b,       double(bx), double(by), bHotX, bHotY, bWidth,
                               bHeight, scaleX,     scaleY,     0,     0};
    return OverlapScaled(WholeMask(a, ax, ay, aWidth, aHeight), mask);
}

int TestMaskOverlapScaledRotated(const BYTE* a, const BYTE* b, LONG ax, LONG ay, LONG aWidth, LONG aHeight,
                                 LONG bx, LONG by, LONG bHotX, LONG bHotY, LONG bWidth, LONG bHeight,
                                 float angle, LONG heightLimit, float scaleX, float scaleY) {
    if (!a || !b || aWidth <= 0 || aHeight <= 0) return 0;
    const TransformedMask mask{b,       double(bx), double(by), bHotX, bHotY,      bWidth,
                               bHeight, scaleX,     scaleY,     angle, heightLimit};
    return OverlapRotated(WholeMask(a, ax, ay, aWidth, aHeight), mask);
}

int TestImageMaskPoint(const ImageMask* mask, LONG dx, LONG dy) {
    if (!mask) return 0;
    return TestMaskPixel(ImageMaskBits(mask), dx + mask->hotX, dy + mask->hotY, mask->width, mask->height);
}
