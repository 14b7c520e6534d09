// Sprite shapes against points and each other: whole words of the masks when neither shape is scaled or
// turned, the solid pixels of the plain one mapped into the other when one is, pixel by pixel otherwise.
#include "sprite_shapes.h"

#include "mask_bits.h"
#include "vtrs2/image_mask.h"

#include <algorithm>

using namespace win32;

namespace sprites {

namespace {

RECT Intersection(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// Top-left corner of an unturned shape: the hot spot scaled and truncated, as the sprite's rectangle.
LONG Left(const SpriteShape& s) {
    return s.x - static_cast<LONG>(s.hotX * s.scaleX);
}
LONG Top(const SpriteShape& s) {
    return s.y - static_cast<LONG>(s.hotY * s.scaleY);
}

// Where an unturned shape lies: its rectangle.
RECT PlainBounds(const SpriteShape& s) {
    const LONG left = Left(s), top = Top(s);
    return {left, top, left + static_cast<LONG>(s.width * s.scaleX),
            top + static_cast<LONG>(s.height * s.scaleY)};
}

bool Solid(const SpriteShape& s, LONG u, LONG v) {
    return u >= 0 && v >= 0 && u < s.width && v < s.height && (!s.bits || MaskBit(s.bits, s.stride, u, v));
}

// The shape's mask seen through `area` (play-area pixels).
MaskView ViewOf(const SpriteShape& s, const RECT& area) {
    const LONG left = Left(s), top = Top(s);
    return {s.bits,
            s.stride,
            left,
            top,
            s.width,
            s.height,
            area.left - left,
            area.top - top,
            area.right - left,
            area.bottom - top};
}

// The mapping of a scaled or turned shape for the mask tests that walk the solid pixels of a plain one.
TransformedMask MappingOf(const SpriteShape& s) {
    const bool turned = s.angle != 0;
    return {s.bits,
            turned ? double(s.x) : double(Left(s)),
            turned ? double(s.y) : double(Top(s)),
            s.hotX,
            s.hotY,
            s.width,
            s.height,
            s.scaleX,
            s.scaleY,
            s.angle,
            0};
}

bool StandardStride(const SpriteShape& s) {
    return !s.bits || s.stride == MaskStride(s.width);
}

} // namespace

bool IsPlainShape(const SpriteShape& s) {
    return s.angle == 0 && s.scaleX == 1 && s.scaleY == 1;
}

SpriteShape BoxShape(const RECT& rect) {
    return {nullptr, 0,   rect.right - rect.left, rect.bottom - rect.top, 0, 0, rect.left, rect.top, 1, 1,
            0,       rect};
}

bool ShapeCovers(const SpriteShape& s, LONG px, LONG py) {
    if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom) return false;
    if (!(s.scaleX > 0) || !(s.scaleY > 0)) return false;
    if (s.angle == 0) {
        const RECT bounds = PlainBounds(s);
        if (px < bounds.left || px >= bounds.right || py < bounds.top || py >= bounds.bottom) return false;
        return Solid(s, static_cast<LONG>((px - bounds.left) / s.scaleX),
                     static_cast<LONG>((py - bounds.top) / s.scaleY));
    }
    double c = 1, sn = 0;
    TurnCosSin(s.angle, c, sn);
    const double dx = px - s.x, dy = py - s.y;
    return Solid(s, s.hotX + static_cast<LONG>((dx * c - dy * sn) / s.scaleX),
                 s.hotY + static_cast<LONG>((dx * sn + dy * c) / s.scaleY));
}

bool ShapesMeet(const SpriteShape& a, const SpriteShape& b) {
    if (!(a.scaleX > 0) || !(a.scaleY > 0) || !(b.scaleX > 0) || !(b.scaleY > 0)) return false;
    RECT area = Intersection(a.clip, b.clip);
    if (IsPlainShape(a)) area = Intersection(area, PlainBounds(a));
    if (IsPlainShape(b)) area = Intersection(area, PlainBounds(b));
    if (Empty(area)) return false;
    if (IsPlainShape(a) && IsPlainShape(b)) {
        if (!a.bits && !b.bits) return true;
        if (a.bits && b.bits) return OverlapPlain(ViewOf(a, area), ViewOf(b, area));
        const SpriteShape& masked = a.bits ? a : b;
        return AnyBitInRect(ViewOf(masked, area), area.left - Left(masked), area.top - Top(masked),
                            area.right - area.left, area.bottom - area.top);
    }
    const SpriteShape* plain = IsPlainShape(a) ? &a : IsPlainShape(b) ? &b : nullptr;
    if (plain && plain->bits) {
        const SpriteShape& other = plain == &a ? b : a;
        if (StandardStride(other)) {
            const MaskView view = ViewOf(*plain, area);
            return other.angle == 0 ? OverlapScaled(view, MappingOf(other))
                                    : OverlapRotated(view, MappingOf(other));
        }
    }
    for (LONG py = area.top; py < area.bottom; ++py)
        for (LONG px = area.left; px < area.right; ++px)
            if (ShapeCovers(a, px, py) && ShapeCovers(b, px, py)) return true;
    return false;
}

} // namespace sprites
