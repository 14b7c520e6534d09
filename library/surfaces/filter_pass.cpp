// The filter pass: every destination pixel of a rectangle (and a margin around it) recomputed from a block
// of the destination's old pixels and the matching block of the source; and the edge smoothing of
// antialiased blits built on it.
#include "engine_common.h"
#include "vtrs2/surface_engine.h"

#include <vector>

using namespace win32;
using namespace engine;

namespace {

bool BlockInsideClip(const cSurfaceImplementation& s, int x, int y, int w, int h) {
    return x >= s.clipLeft && y >= s.clipTop && x + w <= s.clipRight && y + h <= s.clipBottom;
}

// Channel sums of the 3 x 3 smoothing: the centre 12 times, the sides twice, the corners once; a neighbour
// where the source is transparent counts as the centre.
constexpr int SmoothWeights[9] = {1, 2, 1, 2, 12, 2, 1, 2, 1};
constexpr int SmoothTotal = 24;

COLORREF SmoothAround(const COLORREF* d, const COLORREF* s, COLORREF transparent) {
    unsigned sums[3] = {0, 0, 0};
    for (int i = 0; i < 9; ++i) {
        const COLORREF c = (i != 4 && SameColor(s[i], transparent)) ? d[4] : d[i];
        for (int k = 0; k < 3; ++k)
            sums[k] += SmoothWeights[i] * ((c >> (8 * k)) & 0xFF);
    }
    return (sums[0] / SmoothTotal) | ((sums[1] / SmoothTotal) << 8) | ((sums[2] / SmoothTotal) << 16);
}

// Only transparent source pixels next to the drawn shape are softened, and not those inside a one-pixel gap.
bool IsEdge(const COLORREF* s, COLORREF transparent) {
    auto t = [&](int i) { return SameColor(s[i], transparent); };
    return t(4) && !(t(1) && t(7)) && !(t(3) && t(5));
}

} // namespace

void ReadBlock(cSurfaceImplementation& surface, int x, int y, int w, int h, COLORREF* out) {
    if (BlockInsideClip(surface, x, y, w, h)) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                *out++ = surface.GetPixelColorFast(x + i, y + j);
        return;
    }
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int cx =
                std::clamp(x + i, surface.clipLeft, std::max(surface.clipLeft, surface.clipRight - 1));
            const int cy =
                std::clamp(y + j, surface.clipTop, std::max(surface.clipTop, surface.clipBottom - 1));
            COLORREF c = 0;
            surface.GetPixel(cx, cy, c);
            *out++ = c;
        }
}

void ReadBlockClamped(cSurfaceImplementation& surface, int x, int y, int w, int h, COLORREF* out) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int px = x + i, py = y + j;
            COLORREF c = surface.transparentColor;
            if (px >= surface.clipLeft && px < surface.clipRight && py >= surface.clipTop &&
                py < surface.clipBottom)
                c = surface.GetPixelColorFast(px, py);
            *out++ = c;
        }
}

COLORREF EdgeSmoothKeyed(const COLORREF* d, const COLORREF* s, LPARAM argument) {
    const auto transparent = static_cast<COLORREF>(argument);
    if (!IsEdge(s, transparent)) return d[4];
    return SmoothAround(d, s, transparent);
}

COLORREF EdgeSmoothBlack(const COLORREF* d, const COLORREF* s, LPARAM argument) {
    const auto replacement = static_cast<COLORREF>(argument);
    if (!IsEdge(s, 0)) return d[4];
    COLORREF own[9];
    for (int i = 0; i < 9; ++i)
        own[i] = (d[i] & 0xFFFFFF) == 0 ? replacement : d[i];
    return SmoothAround(own, s, 0);
}

int cSurfaceImplementation::BlitThroughFilter(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                              int sourceY, int w, int h, int blockWidth, int blockHeight,
                                              int blockOffsetX, int blockOffsetY, int marginX, int marginY,
                                              BlockFilterCallback callback, LPARAM argument) {
    if (!destination || destination->IsDCOnly() || destination->depth != depth || !callback) return 0;
    BlitRect r{x, y, sourceX, sourceY, w, h};
    if (!r.Clip(*this, *destination)) return 0;
    if (blockWidth <= 0 || blockHeight <= 0 || marginX < 0 || marginY < 0) return 0;
    const int dx = static_cast<int>(r.x), dy = static_cast<int>(r.y);
    const int sx = static_cast<int>(r.sourceX), sy = static_cast<int>(r.sourceY);
    const int cw = static_cast<int>(r.width), ch = static_cast<int>(r.height);

    // The destination's old pixels, kept apart so that every block sees them before the pass changes them.
    const int originX = dx - blockOffsetX - marginX, originY = dy - blockOffsetY - marginY;
    const int tw = blockWidth + cw + 2 * marginX, th = blockHeight + ch + 2 * marginY;
    Temporary old(destination->CreateSameKind(tw, th));
    if (!old) return 0;
    destination->Blit(old.get(), 0, 0, originX, originY, tw, th, 0, 0, 0, 0);
    // Blocks reaching past the destination read its nearest pixel.
    const int left = std::max(0, -originX), top = std::max(0, -originY);
    const int right = std::min(tw, destination->width - originX),
              bottom = std::min(th, destination->height - originY);
    if (right <= left || bottom <= top) return 0;
    old->SetClipRect(left, top, right - left, bottom - top);

    std::vector<COLORREF> oldBlock(static_cast<std::size_t>(blockWidth) * blockHeight);
    std::vector<COLORREF> sourceBlock(oldBlock.size());
    PixelLock sourceLock(*this);
    PixelLock destinationLock(*destination);
    if (!sourceLock || !destinationLock) return 0;
    for (int py = dy - marginY; py < dy + ch + marginY; ++py)
        for (int px = dx - marginX; px < dx + cw + marginX; ++px) {
            ReadBlock(*old.get(), px - dx + marginX, py - dy + marginY, blockWidth, blockHeight,
                      oldBlock.data());
            ReadBlockClamped(*this, px - dx + sx - blockOffsetX, py - dy + sy - blockOffsetY, blockWidth,
                             blockHeight, sourceBlock.data());
            destination->SetPixel(px, py, callback(oldBlock.data(), sourceBlock.data(), argument));
        }
    return 1;
}

void AntialiasBlitEdges(cSurfaceImplementation& source, cSurfaceImplementation& destination, int x, int y,
                        int effect, DWORD coefficient) {
    const COLORREF argumentColor = coefficient & 0xFFFFFF;
    // The block readers need plain rows: a packed source is unpacked once for the pass.
    const bool packed = source.IsPacked() != 0;
    Temporary unpacked(packed ? source.CreateSameKind(source.width, source.height) : nullptr);
    if (packed) {
        if (!unpacked) return;
        source.Blit(unpacked.get(), 0, 0, 0, 0, source.width, source.height, 0, 0, 0, 0);
    }
    cSurfaceImplementation& filtered = packed ? *unpacked.get() : source;
    const bool black = effect == 6 && argumentColor != 0;
    filtered.BlitThroughFilter(&destination, x, y, 0, 0, source.width, source.height, 3, 3, 1, 1, 1, 1,
                               black ? EdgeSmoothBlack : EdgeSmoothKeyed,
                               black ? argumentColor : source.transparentColor);
}
