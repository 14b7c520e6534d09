// Sprite shapes against points and each other: whole words of the masks when neither shape is scaled or
// turned, the solid pixels of the plain one mapped into the other when one is, pixel by pixel otherwise.
#include "sprite_shapes.h"

#include "mask_bits.h"
#include "sprite_rects.h"
#include "vtrs2/image_mask.h"

#include <algorithm>
#include <cmath>

using namespace win32;

namespace sprites {

namespace {

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

namespace {

// A shape with what its mapping needs worked out once, for tests of many pixels.
class Mapping {
public:
    explicit Mapping(const SpriteShape& s) : s_(s), bounds_(PlainBounds(s)) {
        if (s.angle != 0) TurnCosSin(s.angle, c_, sn_);
    }
    bool Covers(LONG px, LONG py) const {
        if (px < s_.clip.left || px >= s_.clip.right || py < s_.clip.top || py >= s_.clip.bottom)
            return false;
        if (s_.angle == 0) {
            if (px < bounds_.left || px >= bounds_.right || py < bounds_.top || py >= bounds_.bottom)
                return false;
            return Solid(s_, static_cast<LONG>((px - bounds_.left) / s_.scaleX),
                         static_cast<LONG>((py - bounds_.top) / s_.scaleY));
        }
        const double dx = px - s_.x, dy = py - s_.y;
        return Solid(s_, s_.hotX + static_cast<LONG>((dx * c_ - dy * sn_) / s_.scaleX),
                     s_.hotY + static_cast<LONG>((dx * sn_ + dy * c_) / s_.scaleY));
    }

    // Columns [left, right) of row py outside which the shape covers nothing (a pixel or so wider than
    // what it covers; Covers decides).
    void RowSpan(LONG py, LONG& left, LONG& right) const {
        left = s_.clip.left, right = s_.clip.right;
        if (s_.angle == 0) {
            left = std::max(left, bounds_.left), right = std::min(right, bounds_.right);
            if (py < bounds_.top || py >= bounds_.bottom) right = left;
            return;
        }
        // u = hot x + trunc((dx c - dy s) / sx) lies in [0, width) only while the quotient lies in
        // (-hot x - 1, width - hot x); the same for v. Each bound is linear in dx.
        const double dy = py - s_.y;
        double low = -1e18, high = 1e18;
        auto keep = [&](double slope, double offset, double from, double to) {
            // from < slope * dx + offset < to
            if (slope == 0) {
                if (!(offset > from && offset < to)) low = 1, high = 0;
                return;
            }
            double a = (from - offset) / slope, b = (to - offset) / slope;
            if (a > b) std::swap(a, b);
            low = std::max(low, a), high = std::min(high, b);
        };
        keep(c_ / s_.scaleX, -dy * sn_ / s_.scaleX, -s_.hotX - 1.0, double(s_.width - s_.hotX));
        keep(sn_ / s_.scaleY, dy * c_ / s_.scaleY, -s_.hotY - 1.0, double(s_.height - s_.hotY));
        if (!(low <= high)) {
            right = left;
            return;
        }
        const double from = std::floor(low) - 1 + s_.x, to = std::ceil(high) + 2 + s_.x;
        if (from > left) left = static_cast<LONG>(from);
        if (to < right) right = static_cast<LONG>(to);
    }

private:
    const SpriteShape& s_;
    RECT bounds_;
    double c_ = 1, sn_ = 0;
};

} // namespace

bool ShapeCovers(const SpriteShape& s, LONG px, LONG py) {
    if (!(s.scaleX > 0) || !(s.scaleY > 0)) return false;
    return Mapping(s).Covers(px, py);
}

bool ShapesMeet(const SpriteShape& a, const SpriteShape& b) {
    if (!(a.scaleX > 0) || !(a.scaleY > 0) || !(b.scaleX > 0) || !(b.scaleY > 0)) return false;
    RECT area = Intersection(a.clip, b.clip);
    if (IsPlainShape(a)) area = Intersection(area, PlainBounds(a));
    if (IsPlainShape(b)) area = Intersection(area, PlainBounds(b));
    if (IsEmptyRect(area)) return false;
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
    const Mapping first(a), second(b);
    for (LONG py = area.top; py < area.bottom; ++py) {
        LONG left1, right1, left2, right2;
        first.RowSpan(py, left1, right1);
        second.RowSpan(py, left2, right2);
        const LONG left = std::max({area.left, left1, left2}), right = std::min({area.right, right1, right2});
        for (LONG px = left; px < right; ++px)
            if (first.Covers(px, py) && second.Covers(px, py)) return true;
    }
    return false;
}

} // namespace sprites
