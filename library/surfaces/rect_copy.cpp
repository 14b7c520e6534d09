// The row copier, the in-surface move, the vertical row swap and the transparency scans.
#include "rect_copy.h"

#include "pixel_formats.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace surfaces {
namespace {

template <typename F> bool IsKey(const cSurfaceImplementation& s, const BYTE* p) {
    return F::SameColor(F::Load(p), static_cast<typename F::Pixel>(s.transparentValue));
}

// Calls visit(x, y, transparent) for the pixels of the surface row by row until it answers false.
template <typename F, typename Visit> void ScanPixels(const cSurfaceImplementation& s, Visit&& visit) {
    for (int y = 0; y < s.height; ++y) {
        const BYTE* p = s.Row(y);
        for (int x = 0; x < s.width; ++x, p += F::Bytes)
            if (!visit(x, y, IsKey<F>(s, p))) return;
    }
}

template <typename Visit> void ScanByDepth(const cSurfaceImplementation& s, Visit&& visit) {
    switch (s.depthIndex) {
    case 0:
        ScanPixels<Format8>(s, visit);
        break;
    case 1:
    case 2:
        ScanPixels<Format16>(s, visit);
        break;
    case 3:
        ScanPixels<Format24>(s, visit);
        break;
    default:
        ScanPixels<Format32>(s, visit);
        break;
    }
}

} // namespace

void CopyRows(const BYTE* source, BYTE* destination, std::size_t rowBytes, std::ptrdiff_t sourceStep,
              std::ptrdiff_t destinationStep, int rows) {
    for (int j = 0; j < rows; ++j, source += sourceStep, destination += destinationStep)
        std::memmove(destination, source, rowBytes);
}

void CopyOpaque(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                int width, int height) {
    if (width <= 0 || height <= 0) return;
    if (d.pixels == s.pixels) {
        MoveRectInSurface(d, dx, dy, sx, sy, width, height);
        return;
    }
    CopyRows(s.Row(sy) + static_cast<std::ptrdiff_t>(sx) * s.bytesPerPixel,
             d.Row(dy) + static_cast<std::ptrdiff_t>(dx) * d.bytesPerPixel,
             static_cast<std::size_t>(width) * s.bytesPerPixel, s.signedPitch, d.signedPitch, height);
}

// Rows are taken bottom-up when the source lies above the destination, so that no row is overwritten
// before it is read; within a row the move keeps overlapping bytes right.
void MoveRectInSurface(cSurfaceImplementation& s, int dx, int dy, int sx, int sy, int width, int height) {
    if (width <= 0 || height <= 0) return;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * s.bytesPerPixel;
    const std::ptrdiff_t column = static_cast<std::ptrdiff_t>(s.bytesPerPixel);
    // Overlapping rows are copied from the end that the destination lies beyond in memory; in a bottom-up
    // surface that is the first row.
    if ((s.Row(sy) < s.Row(dy)) == (s.signedPitch > 0))
        CopyRows(s.Row(sy + height - 1) + sx * column, s.Row(dy + height - 1) + dx * column, rowBytes,
                 -s.signedPitch, -s.signedPitch, height);
    else
        CopyRows(s.Row(sy) + sx * column, s.Row(dy) + dx * column, rowBytes, s.signedPitch, s.signedPitch,
                 height);
}

void FlipRowsVertical(cSurfaceImplementation& s, int x, int y, int pitch, int, int height, int rowBytes) {
    BYTE* top =
        s.pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel;
    BYTE* bottom = top + static_cast<std::ptrdiff_t>(pitch) * (height - 1);
    for (int i = 0; i < height / 2; ++i, top += pitch, bottom -= pitch)
        std::swap_ranges(top, top + rowBytes, bottom);
}

int ScanAllTransparent(const cSurfaceImplementation& s) {
    int all = 1;
    ScanByDepth(s, [&](int, int, bool transparent) { return (all = transparent ? 1 : 0) != 0; });
    return all;
}

int ScanNoTransparent(const cSurfaceImplementation& s) {
    int none = 1;
    ScanByDepth(s, [&](int, int, bool transparent) { return (none = transparent ? 0 : 1) != 0; });
    return none;
}

int ScanOpaqueBounds(const cSurfaceImplementation& s, RECT* bounds) {
    if (s.width <= 0 || s.height <= 0) return 0;
    RECT box{s.width, s.height, 0, 0};
    ScanByDepth(s, [&](int x, int y, bool transparent) {
        if (!transparent) {
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
        return true;
    });
    if (box.right == 0) box = RECT{0, 0, 0, 0};
    if (bounds) *bounds = box;
    return 1;
}

} // namespace surfaces
