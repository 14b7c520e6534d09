// The play-area collision planes of a window: creation, filling from boxes and image masks, scrolling
// and the tests of points, rectangles and sprites against them.
#include "vtrs2/collision_mask.h"

#include "mask_bits.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

using namespace win32;
using namespace sprites;

namespace {

constexpr LONG NoPlane = -1;
// Platform tops copied from an image mask are this many rows deep.
constexpr LONG PlatformDepth = 6;
// A clip whose right edge lies this close to the planes' left bound takes one more word of columns.
// Pixels an image mask is combined into a plane by at a time: with the sub-byte shift they stay in 64 bits.
constexpr LONG CombineChunk = 48;

LONG RoundDown16(LONG v) {
    return v & ~15;
}

CollisionMask* PlanesOf(SpriteWindow* window) {
    return window && window->mask.planes ? &window->mask : nullptr;
}

LONG PlaneWidth(const CollisionMask& m) {
    return m.right - m.left + 1;
}
LONG PlaneHeight(const CollisionMask& m) {
    return m.bottom - m.top + 1;
}

BYTE* Plane(CollisionMask& m, LONG offset) {
    return offset == NoPlane ? nullptr : m.planes + offset;
}

bool PlatformShared(const CollisionMask& m) {
    return m.platformOffset != NoPlane && m.platformOffset == m.obstacleOffset;
}

// The plane in play-area coordinates, seen through the clip rectangle.
MaskView PlaneView(const CollisionMask& m, LONG offset) {
    return {m.planes + offset,       m.stride,          m.left - m.xOrigin,
            m.top - m.yOrigin,       PlaneWidth(m),     PlaneHeight(m),
            m.clipLeft - m.left,     m.clipTop - m.top, m.clipRight - m.left + 1,
            m.clipBottom - m.top + 1};
}

LONG TestedPlane(const CollisionMask& m, int plane) {
    return plane == 1 ? m.platformOffset : m.obstacleOffset;
}

int AllocateCollisionPlanes(CollisionMask& m, DWORD planes) {
    m.clipLeft = m.left, m.clipTop = m.top, m.clipRight = m.right, m.clipBottom = m.bottom;
    m.obstacleOffset = m.platformOffset = NoPlane;
    m.xOrigin = m.yOrigin = 0;
    const long long stride = (static_cast<long long>(m.right) - m.left + 1) / 8;
    const long long rows = static_cast<long long>(m.bottom) - m.top + 1;
    if (stride <= 0 || rows <= 0 || stride > std::numeric_limits<WORD>::max() ||
        stride * rows * 2 + 4 > std::numeric_limits<LONG>::max())
        return 0;
    m.stride = static_cast<WORD>(stride);
    m.planeLength = static_cast<LONG>(stride * rows);
    if ((planes & 3) == 0) return 1;
    LONG total = 0;
    LONG obstacle = NoPlane, platform = NoPlane;
    if (planes & ObstaclePlane) obstacle = platform = 0, total = m.planeLength;
    if (planes & PlatformPlane) platform = total, total += m.planeLength;
    BYTE* block = nullptr;
    if (!AllocZeroedMemory(static_cast<std::size_t>(total) + 4, &block)) return 0;
    m.planes = block;
    m.obstacleOffset = obstacle;
    m.platformOffset = platform;
    return 1;
}

void ReleasePlanes(CollisionMask& m) {
    FreeMemory(&m.planes);
    m.obstacleOffset = m.platformOffset = NoPlane;
}

// Sets or clears an inclusive box of a plane, given in plane pixels and already clipped.
void FillMaskRect(const CollisionMask& m, BYTE* plane, LONG x0, LONG y0, LONG x1, LONG y1, bool set) {
    const LONG firstByte = x0 >> 3, lastByte = x1 >> 3;
    const BYTE firstMask = static_cast<BYTE>(0xFF << (x0 & 7));
    const BYTE lastMask = static_cast<BYTE>(0xFF >> (7 - (x1 & 7)));
    for (LONG y = y0; y <= y1; ++y) {
        BYTE* row = plane + static_cast<std::ptrdiff_t>(y) * m.stride;
        auto apply = [&](LONG i, BYTE mask) { row[i] = set ? row[i] | mask : row[i] & ~mask; };
        if (firstByte == lastByte) {
            apply(firstByte, firstMask & lastMask);
            continue;
        }
        apply(firstByte, firstMask);
        if (lastByte - firstByte > 1)
            std::memset(row + firstByte + 1, set ? 0xFF : 0, lastByte - firstByte - 1);
        apply(lastByte, lastMask);
    }
}

// Calls apply(plane, set) for each plane an operation writes. When only the obstacle plane exists the
// platform plane is that same plane: it is written once, solid when either requested bit asks for it, so
// that an obstacle-only write is not undone by the platform pass.
template <typename Apply> void ForEachPlane(CollisionMask& m, DWORD planes, DWORD value, Apply apply) {
    if (PlatformShared(m)) {
        if (planes & 3) apply(Plane(m, m.obstacleOffset), (value & planes & 3) != 0);
        return;
    }
    if ((planes & ObstaclePlane) && m.obstacleOffset != NoPlane) apply(Plane(m, m.obstacleOffset), value & 1);
    if ((planes & PlatformPlane) && m.platformOffset != NoPlane) apply(Plane(m, m.platformOffset), value & 2);
}

// ORs (set) or clears the solid pixels of an image mask into a plane at plane pixel (px, py), within the
// clip.
void CombineMask(const CollisionMask& m, BYTE* plane, const ImageMask& mask, LONG px, LONG py, bool set) {
    const LONG clipX0 = m.clipLeft - m.left, clipX1 = m.clipRight - m.left;
    const LONG clipY0 = m.clipTop - m.top, clipY1 = m.clipBottom - m.top;
    const LONG sx0 = std::max<LONG>(0, clipX0 - px), sx1 = std::min<LONG>(mask.width - 1, clipX1 - px);
    const LONG sy0 = std::max<LONG>(0, clipY0 - py), sy1 = std::min<LONG>(mask.height - 1, clipY1 - py);
    if (sx0 > sx1 || sy0 > sy1) return;
    const BYTE* bits = ImageMaskBits(&mask);
    for (LONG sy = sy0; sy <= sy1; ++sy) {
        const BYTE* source = bits + static_cast<std::ptrdiff_t>(sy) * mask.stride;
        BYTE* row = plane + static_cast<std::ptrdiff_t>(py + sy) * m.stride;
        // Up to 48 source pixels at a time, shifted to their place in the plane (which is never negative
        // inside the clip) and applied to the few bytes they cover.
        for (LONG sx = sx0; sx <= sx1; sx += CombineChunk) {
            const int n = static_cast<int>(std::min<LONG>(CombineChunk, sx1 - sx + 1));
            const std::uint64_t solid = ExtractBits(source, mask.stride, sx, n);
            if (!solid) continue;
            const LONG at = px + sx;
            const std::uint64_t shifted = solid << (at & 7);
            const LONG first = at >> 3;
            const LONG count = std::min<LONG>(((at & 7) + n + 7) >> 3, m.stride - first);
            for (LONG i = 0; i < count; ++i) {
                const auto part = static_cast<BYTE>(shifted >> (8 * i));
                row[first + i] = set ? row[first + i] | part : row[first + i] & ~part;
            }
        }
    }
}

// Moves a raster of `rows` rows by `bytes` bytes to the left and `dy` rows down; a shift as large as the
// raster moves nothing.
void ShiftRaster(BYTE* raster, LONG stride, LONG rows, LONG bytes, LONG dy) {
    if (std::abs(bytes) >= stride || std::abs(dy) >= rows) return;
    const LONG width = stride - std::abs(bytes);
    const LONG fromX = bytes > 0 ? bytes : 0, toX = bytes > 0 ? 0 : -bytes;
    auto moveRow = [&](LONG from, LONG to) {
        std::memmove(raster + static_cast<std::ptrdiff_t>(to) * stride + toX,
                     raster + static_cast<std::ptrdiff_t>(from) * stride + fromX, width);
    };
    if (dy > 0) {
        for (LONG to = rows - 1; to >= dy; --to)
            moveRow(to - dy, to);
    } else {
        for (LONG to = 0; to < rows + dy; ++to)
            moveRow(to - dy, to);
    }
}

bool IntersectClip(const CollisionMask& m, LONG& l, LONG& t, LONG& r, LONG& b) {
    l = std::max(l, m.clipLeft), t = std::max(t, m.clipTop);
    r = std::min(r, m.clipRight), b = std::min(b, m.clipBottom);
    return l <= r && t <= b;
}

int TestRect(CollisionMask& m, LONG x, LONG y, LONG width, LONG height, int plane) {
    const LONG offset = TestedPlane(m, plane);
    if (offset == NoPlane || width <= 0 || height <= 0) return 0;
    const MaskView view = PlaneView(m, offset);
    return AnyBitInRect(view, x - view.x, y - view.y, width, height);
}

int TestBox(CollisionMask& m, RECT box, LONG heightLimit, int plane) {
    if (heightLimit > 0) box.top = std::max(box.top, box.bottom - heightLimit);
    return TestRect(m, box.left, box.top, box.right - box.left, box.bottom - box.top, plane);
}

} // namespace

int CreateCollisionMask(SpriteWindow* window, LONG marginX, LONG marginY, DWORD planes) {
    if (!window) return 0;
    CollisionMask& m = window->mask;
    ReleasePlanes(m);
    const LONG margin = RoundDown16(marginX + 15);
    m.right = RoundDown16(m.playWidth + marginX + 31) - 1;
    m.left = -margin;
    m.top = -marginY;
    m.bottom = m.playHeight + marginY - 1;
    return AllocateCollisionPlanes(m, planes);
}

int CreateCollisionMaskForRect(SpriteWindow* window, LONG left, LONG top, LONG right, LONG bottom,
                               DWORD planes) {
    if (!window) return 0;
    CollisionMask& m = window->mask;
    ReleasePlanes(m);
    m.left = left < 0 ? RoundDown16(left - 30 + 15) : RoundDown16(left + 15);
    m.right = RoundDown16(std::max(right, m.playWidth) + 15) - 1;
    m.top = top;
    m.bottom = std::max(bottom, m.playHeight) - 1;
    return AllocateCollisionPlanes(m, planes);
}

void FreeCollisionMask(SpriteWindow* window) {
    if (window) ReleasePlanes(window->mask);
}

void ClearCollisionMask(SpriteWindow* window, DWORD value) {
    CollisionMask* m = PlanesOf(window);
    if (!m) return;
    ForEachPlane(*m, 3, value,
                 [&](BYTE* plane, bool set) { std::memset(plane, set ? 0xFF : 0, m->planeLength); });
}

int FillCollisionMaskBox(SpriteWindow* window, LONG left, LONG top, LONG right, LONG bottom, DWORD value) {
    CollisionMask* m = PlanesOf(window);
    if (!m) return 0;
    left += m->xOrigin, right += m->xOrigin, top += m->yOrigin, bottom += m->yOrigin;
    if (!IntersectClip(*m, left, top, right, bottom)) return 0;
    ForEachPlane(*m, 3, value, [&](BYTE* plane, bool set) {
        FillMaskRect(*m, plane, left - m->left, top - m->top, right - m->left, bottom - m->top, set);
    });
    return 1;
}

void OrMaskIntoCollisionMask(SpriteWindow* window, const ImageMask* mask, LONG x, LONG y, DWORD planes,
                             DWORD mode) {
    CollisionMask* m = PlanesOf(window);
    if (!m || !mask || mask->width <= 0 || mask->height <= 0) return;
    const LONG px = x + m->xOrigin - m->left, py = y + m->yOrigin - m->top;
    ForEachPlane(*m, planes, mode,
                 [&](BYTE* plane, bool set) { CombineMask(*m, plane, *mask, px, py, set); });
}

DWORD CopyPlatformTopToCollisionMask(SpriteWindow* window, const ImageMask* mask, LONG x, LONG y) {
    CollisionMask* m = PlanesOf(window);
    if (!m || !mask || m->platformOffset == NoPlane || mask->width <= 0 || mask->height <= 0) return 0;
    BYTE* plane = Plane(*m, m->platformOffset);
    x += m->xOrigin, y += m->yOrigin;
    // Only columns inside the clip are written, so that a strip refilled after a scroll ends as a whole
    // rebuild does.
    const LONG clipRight = m->clipRight;
    const LONG c0 = std::max<LONG>(0, m->clipLeft - x), c1 = std::min<LONG>(mask->width - 1, clipRight - x);
    const BYTE* bits = ImageMaskBits(mask);
    LONG columns = 0, lastRow = 0;
    for (LONG c = c0; c <= c1; ++c, ++columns) {
        LONG first = 0;
        while (first < mask->height && !MaskBit(bits, mask->stride, c, first))
            ++first;
        if (first == mask->height) continue;
        const LONG end = std::min(first + PlatformDepth, mask->height);
        for (LONG r = first; r < end; ++r) {
            const LONG py = y + r;
            if (py < m->clipTop) continue;
            if (py > m->clipBottom) break;
            const LONG dx = x + c - m->left;
            BYTE& byte = plane[static_cast<std::ptrdiff_t>(py - m->top) * m->stride + (dx >> 3)];
            const BYTE bit = static_cast<BYTE>(1 << (dx & 7));
            byte = MaskBit(bits, mask->stride, c, r) ? byte | bit : byte & ~bit;
            lastRow = py;
        }
    }
    return MAKELONG(static_cast<WORD>(columns), static_cast<WORD>(lastRow));
}

void AddImageToCollisionMask(SpriteWindow* window, DWORD image, LONG x, LONG y, DWORD mode) {
    if (!PlanesOf(window)) return;
    OrMaskIntoCollisionMask(window, GetImageCollisionMask(window->banks, image, 0), x, y, 3, mode);
}

void AddPlatformImageToCollisionMask(SpriteWindow* window, DWORD image, LONG x, LONG y) {
    if (!PlanesOf(window)) return;
    CopyPlatformTopToCollisionMask(window, GetImageCollisionMask(window->banks, image, 0), x, y);
}

int ScrollCollisionMask(SpriteWindow* window, LONG dx, LONG dy, RECT* strip1, RECT* strip2) {
    CollisionMask* m = PlanesOf(window);
    if (!m) return 0;
    if (!strip1 && !strip2) {
        m->xOrigin = dx, m->yOrigin = dy;
        return 0;
    }
    m->xOrigin -= dx;
    const LONG n = m->xOrigin >> 3; // floor division
    m->xOrigin -= 8 * n;
    if (n == 0 && dy == 0) return 0;
    const RECT bounds{m->left, m->top, m->right, m->bottom};
    RECT columns = bounds, rows = bounds;
    if (n > 0)
        columns.left = m->right - 8 * n - 7;
    else
        columns.right = m->left + 8 * ((1 - n) & ~1) + 15;
    if (dy < 0) rows.top = m->bottom + dy;
    if (dy > 0) rows.bottom = m->top + dy - 1;
    if (strip1) *strip1 = columns;
    if (strip2) *strip2 = rows;
    ShiftRaster(Plane(*m, m->obstacleOffset == NoPlane ? m->platformOffset : m->obstacleOffset), m->stride,
                PlaneHeight(*m), n, dy);
    if (m->obstacleOffset != NoPlane && m->platformOffset != NoPlane && !PlatformShared(*m))
        ShiftRaster(Plane(*m, m->platformOffset), m->stride, PlaneHeight(*m), n, dy);
    return 1;
}

void SetCollisionMaskClip(SpriteWindow* window, const RECT* clip) {
    if (!window) return;
    CollisionMask& m = window->mask;
    const RECT r = clip ? *clip : RECT{m.left, m.top, m.right, m.bottom};
    // Kept inside the bounds: every write and test trusts the clip to stay within the planes.
    m.clipLeft = std::max(r.left, m.left), m.clipTop = std::max(r.top, m.top);
    m.clipRight = std::min(r.right, m.right), m.clipBottom = std::min(r.bottom, m.bottom);
}

void SetCollisionMaskOrigin(SpriteWindow* window, LONG x, LONG y) {
    if (window) window->mask.xOrigin = x, window->mask.yOrigin = y;
}

WORD SetFineCollisions(SpriteWindow* window, WORD value) {
    if (!window) return 0;
    return std::exchange(window->mask.fineCollisions, value);
}

int TestCollisionMaskPoint(SpriteWindow* window, LONG x, LONG y, int plane) {
    CollisionMask* m = PlanesOf(window);
    if (!m) return 0;
    const LONG offset = TestedPlane(*m, plane);
    if (offset == NoPlane) return 0;
    x += m->xOrigin, y += m->yOrigin;
    if (x < m->clipLeft || x > m->clipRight || y < m->clipTop || y > m->clipBottom) return 0;
    if (x < m->left || x > m->right || y < m->top || y > m->bottom) return 0;
    return MaskBit(m->planes + offset, m->stride, x - m->left, y - m->top);
}

int TestCollisionMaskRect(SpriteWindow* window, LONG x, LONG y, LONG width, LONG height, int plane) {
    CollisionMask* m = PlanesOf(window);
    return m ? TestRect(*m, x, y, width, height, plane) : 0;
}

int TestSpriteAgainstCollisionMask(SpriteWindow* window, Sprite* sprite, DWORD image, LONG x, LONG y,
                                   float angle, float scaleX, float scaleY, LONG heightLimit, int plane) {
    CollisionMask* m = PlanesOf(window);
    if (!m || !sprite) return 0;
    const LONG offset = TestedPlane(*m, plane);
    if (offset == NoPlane) return 0;
    const bool ownerDrawn = sprite->flags & SpriteOwnerDrawn;
    if (!image && !ownerDrawn) image = sprite->image;
    const SpriteGeometry& shown = sprite->displayed;

    if (m->fineCollisions == 0 || (sprite->flags & SpriteBoxOnly)) {
        RECT box = shown.rect;
        ImageInfo info{};
        if (!ownerDrawn && image != sprite->image && GetImageInfo(window->banks, image, &info)) {
            box = {x - info.hotX, y - info.hotY, x - info.hotX + info.width, y - info.hotY + info.height};
        } else {
            box = {box.left + x - shown.x, box.top + y - shown.y, box.right + x - shown.x,
                   box.bottom + y - shown.y};
        }
        return TestBox(*m, box, heightLimit, plane);
    }

    const ImageMask* mask = GetSpriteCollisionMask(window, sprite, image, 0x1000);
    if (!mask || mask->width <= 0 || mask->height <= 0) {
        const LONG left = x - static_cast<LONG>(shown.hotX * scaleX);
        const LONG top = y - static_cast<LONG>(shown.hotY * scaleY);
        const RECT box{left, top, left + static_cast<LONG>(shown.width * scaleX),
                       top + static_cast<LONG>(shown.height * scaleY)};
        return TestBox(*m, box, heightLimit, plane);
    }
    const bool noHotSpot = sprite->flags & SpriteNoHotSpot;
    const LONG hotX = noHotSpot ? 0 : mask->hotX, hotY = noHotSpot ? 0 : mask->hotY;
    const MaskView planeView = PlaneView(*m, offset);
    if (angle != 0) {
        const TransformedMask b{ImageMaskBits(mask), double(x), double(y), hotX,  hotY,       mask->width,
                                mask->height,        scaleX,    scaleY,    angle, heightLimit};
        return OverlapRotated(planeView, b);
    }
    if (scaleX != 1 || scaleY != 1) {
        const TransformedMask b{ImageMaskBits(mask),
                                double(x - static_cast<LONG>(hotX * scaleX)),
                                double(y - static_cast<LONG>(hotY * scaleY)),
                                hotX,
                                hotY,
                                mask->width,
                                mask->height,
                                scaleX,
                                scaleY,
                                0,
                                heightLimit};
        return OverlapScaled(planeView, b);
    }
    // Unscaled: a height limit keeps only the mask's lowest rows.
    const LONG rows = heightLimit > 0 ? std::min(heightLimit, mask->height) : mask->height;
    const LONG skipped = mask->height - rows;
    MaskView b = WholeMask(ImageMaskBits(mask), x - hotX, y - hotY, mask->width, mask->height);
    b.clipY0 = skipped;
    return OverlapPlain(planeView, b);
}
