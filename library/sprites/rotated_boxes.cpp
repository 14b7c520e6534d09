// Overlap tests of turned and scaled boxes, and of points and rectangles against turned image masks.
#include "mask_bits.h"
#include "vtrs2/collision_mask.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace win32;
using namespace sprites;

namespace {

struct Point {
    double x, y;
};
using Quad = std::array<Point, 4>; // top-left, top-right, bottom-right, bottom-left

struct Turn {
    double c, s;
    explicit Turn(double degrees) { TurnCosSin(degrees, c, s); }
    // From a box's own frame to the frame it lies in.
    Point Out(Point p) const { return {p.x * c + p.y * s, p.y * c - p.x * s}; }
    // From the outer frame into the box's own frame.
    Point In(Point p) const { return {p.x * c - p.y * s, p.x * s + p.y * c}; }
};

// Corner offsets of a box from its hot spot, in the box's own frame.
Quad BoxCorners(const TransformedBox& b) {
    const Point tl{-b.hotX, -b.hotY}, tr{b.width - 1 - b.hotX, -b.hotY},
        br{b.width - 1 - b.hotX, b.height - 1 - b.hotY};
    return {tl, tr, br, Point{br.x + tl.x - tr.x, br.y + tl.y - tr.y}};
}

RECT BoxRect(const TransformedBox& b) {
    const LONG left = static_cast<LONG>(-b.hotX), top = static_cast<LONG>(-b.hotY);
    return {left, top, left + static_cast<LONG>(b.width), top + static_cast<LONG>(b.height)};
}

RECT Bounds(const Quad& q) {
    double minX = q[0].x, maxX = q[0].x, minY = q[0].y, maxY = q[0].y;
    for (const Point& p : q)
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y),
        maxY = std::max(maxY, p.y);
    return {static_cast<LONG>(minX), static_cast<LONG>(minY), static_cast<LONG>(maxX) + 1,
            static_cast<LONG>(maxY) + 1};
}

bool Meets(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
bool Within(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}
bool Inside(Point p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

class PointSet {
public:
    explicit PointSet(POINT* out) : out_(out) {}
    void Add(LONG x, LONG y) {
        if (count_ >= RotatedCornerCapacity) return;
        if (out_) out_[count_] = {x, y};
        minX_ = std::min(minX_, x), maxX_ = std::max(maxX_, x), minY_ = std::min(minY_, y),
        maxY_ = std::max(maxY_, y);
        ++count_;
    }
    int Count() const { return count_; }
    RECT Bounds() const { return {minX_, minY_, maxX_ + 1, maxY_ + 1}; }

private:
    POINT* out_;
    int count_ = 0;
    LONG minX_ = 0x7FFFFFFF, maxX_ = -0x7FFFFFFF - 1, minY_ = 0x7FFFFFFF, maxY_ = -0x7FFFFFFF - 1;
};

int ReportRect(RECT* result, POINT* corners, const RECT& r) {
    if (result) *result = r;
    if (corners) {
        corners[0] = {r.left, r.top}, corners[1] = {r.right, r.top};
        corners[2] = {r.right, r.bottom}, corners[3] = {r.left, r.bottom};
    }
    return 4;
}

// Where B's edges cross A's border lines: y = top, y = bottom - 1, x = right - 1, x = left.
void GatherCrossings(PointSet& points, const Quad& b, const RECT& a) {
    const int edges[4][2] = {{0, 1}, {2, 3}, {1, 2}, {3, 0}}; // top, bottom, right, left
    for (const auto& edge : edges) {
        const Point p0 = b[edge[0]], p1 = b[edge[1]];
        const RECT box{static_cast<LONG>(std::min(p0.x, p1.x)), static_cast<LONG>(std::min(p0.y, p1.y)),
                       static_cast<LONG>(std::max(p0.x, p1.x)), static_cast<LONG>(std::max(p0.y, p1.y))};
        if (!(box.left < a.right && box.right >= a.left && box.top < a.bottom && box.bottom >= a.top))
            continue;
        auto gather = [&](double x, double y) {
            const LONG ix = static_cast<LONG>(x), iy = static_cast<LONG>(y);
            if (ix >= a.left && ix < a.right && iy >= a.top && iy < a.bottom && ix >= box.left &&
                ix <= box.right && iy >= box.top && iy <= box.bottom)
                points.Add(ix, iy);
        };
        for (const LONG line : {a.top, a.bottom - 1}) {
            if (line < box.top || line > box.bottom || p1.y == p0.y) continue;
            gather(p0.x + (line - p0.y) / (p1.y - p0.y) * (p1.x - p0.x), line);
        }
        for (const LONG line : {a.right - 1, a.left}) {
            if (line < box.left || line > box.right || p1.x == p0.x) continue;
            gather(line, p0.y + (line - p0.x) / (p1.x - p0.x) * (p1.y - p0.y));
        }
    }
}

// bInA: B's corners in A's frame; aInB: A's corners in B's frame.
int OverlapOfBoxes(RECT* result, POINT* corners, const Quad& bInA, const RECT& aRect, const Quad& aInB,
                   const RECT& bRect, bool sameAngle) {
    const RECT bBounds = Bounds(bInA);
    if (!Meets(bBounds, aRect)) return 0;
    if (Within(bBounds, aRect)) return ReportRect(result, corners, bBounds);
    const RECT aBounds = Bounds(aInB);
    if (!Meets(aBounds, bRect)) return 0;
    if (Within(aBounds, bRect)) return ReportRect(result, corners, aRect);
    if (sameAngle) {
        return ReportRect(result, corners,
                          {std::max(bBounds.left, aRect.left), std::max(bBounds.top, aRect.top),
                           std::min(bBounds.right, aRect.right), std::min(bBounds.bottom, aRect.bottom)});
    }
    PointSet points(corners);
    for (const Point& p : bInA)
        if (Inside(p, aRect)) points.Add(static_cast<LONG>(p.x), static_cast<LONG>(p.y));
    const POINT aCorners[4] = {{aRect.left, aRect.top},
                               {aRect.right, aRect.top},
                               {aRect.right, aRect.bottom},
                               {aRect.left, aRect.bottom}};
    for (int i = 0; i < 4; ++i)
        if (Inside(aInB[i], bRect)) points.Add(aCorners[i].x, aCorners[i].y);
    GatherCrossings(points, bInA, aRect);
    if (points.Count() == 0) return 0;
    if (result) *result = points.Bounds();
    return points.Count();
}

Quad Place(const Quad& q, const Turn& turn, Point origin) {
    Quad out{};
    for (int i = 0; i < 4; ++i) {
        const Point p = turn.Out(q[i]);
        out[i] = {p.x + origin.x, p.y + origin.y};
    }
    return out;
}

Quad RectCorners(const RECT& r) {
    return {Point{double(r.left), double(r.top)}, Point{double(r.right), double(r.top)},
            Point{double(r.right), double(r.bottom)}, Point{double(r.left), double(r.bottom)}};
}

bool UsableBox(const TransformedBox* b) {
    return b && b->width > 0 && b->height > 0;
}

// (u, v) in the box's unscaled frame for an offset from its hot spot.
Point IntoBox(double angle, double scaleX, double scaleY, double dx, double dy) {
    Point p{dx, dy};
    if (angle != 0) p = Turn(angle).In(p);
    if (scaleX != 1 || scaleY != 1) p = {p.x / scaleX, p.y / scaleY};
    return p;
}

} // namespace

int TestRotatedMaskCollision(RECT* result, POINT* corners, const TransformedBox* area,
                             const TransformedBox* box) {
    if (!UsableBox(area) || !UsableBox(box)) return 0;
    const Turn turnB(box->angle);
    const RECT aRect = BoxRect(*area);
    const Quad bInA = Place(BoxCorners(*box), turnB, {box->x - area->x, box->y - area->y});
    Quad aInB{};
    const Quad aCorners = RectCorners(aRect);
    for (int i = 0; i < 4; ++i)
        aInB[i] = turnB.In({area->x + aCorners[i].x - box->x, area->y + aCorners[i].y - box->y});
    return OverlapOfBoxes(result, corners, bInA, aRect, aInB, BoxRect(*box), area->angle == box->angle);
}

int TestRotatedMasksOverlap(RECT* result, POINT* corners, const TransformedBox* a, const TransformedBox* b) {
    if (!UsableBox(a) || !UsableBox(b)) return 0;
    const Point bFromA = Turn(a->angle).In({b->x - a->x, b->y - a->y});
    const Point aFromB = Turn(b->angle).In({a->x - b->x, a->y - b->y});
    const RECT aRect = BoxRect(*a);
    const Quad bInA = Place(BoxCorners(*b), Turn(b->angle - a->angle), bFromA);
    const Quad aInB = Place(RectCorners(aRect), Turn(a->angle - b->angle), aFromB);
    return OverlapOfBoxes(result, corners, bInA, aRect, aInB, BoxRect(*b), a->angle == b->angle);
}

int TestRotatedMaskPixels(const ImageMask*, const BYTE* bits, double maskX, double maskY, LONG maskWidth,
                          LONG maskHeight, double boxX, double boxY, LONG boxHotX, LONG boxHotY,
                          LONG boxWidth, LONG boxHeight, double scaleX, double scaleY, double angle,
                          LONG heightLimit) {
    if (!bits || maskWidth <= 0 || maskHeight <= 0) return 0;
    // The mask's pixels are whole; the box's placement keeps its fraction.
    const LONG left = static_cast<LONG>(std::floor(maskX)), top = static_cast<LONG>(std::floor(maskY));
    const TransformedMask box{nullptr,   boxX,   boxY,   boxHotX, boxHotY,    boxWidth,
                              boxHeight, scaleX, scaleY, angle,   heightLimit};
    return OverlapRotated(WholeMask(bits, left, top, maskWidth, maskHeight), box);
}

int TestRectOverlapTransformedMask(const RECT* rect, const ImageMask* mask, LONG x, LONG y, float scaleX,
                                   float scaleY, float angle) {
    if (!rect || !mask || mask->width <= 0 || mask->height <= 0 || !(scaleX > 0) || !(scaleY > 0)) return 0;
    const LONG width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0) return 0;
    const BYTE* bits = ImageMaskBits(mask);
    if (angle == 0) {
        const LONG mx = mask->hotX + static_cast<LONG>(std::floor((rect->left - x) / double(scaleX)));
        const LONG my = mask->hotY + static_cast<LONG>(std::floor((rect->top - y) / double(scaleY)));
        const LONG right = mask->hotX + static_cast<LONG>(std::ceil((rect->right - x) / double(scaleX)));
        const LONG bottom = mask->hotY + static_cast<LONG>(std::ceil((rect->bottom - y) / double(scaleY)));
        return TestMaskBitsInRect(bits, mask->width, mask->height, mx, my, std::max<LONG>(right - mx, 1),
                                  std::max<LONG>(bottom - my, 1));
    }
    // Each solid pixel of the mask is carried out to the play area exactly (the inverse of the mapping
    // into the mask) and tested against the rectangle.
    const Turn turn(angle);
    for (LONG py = 0; py < mask->height; ++py)
        for (LONG px = 0; px < mask->width; ++px) {
            if (!MaskBit(bits, mask->stride, px, py)) continue;
            const Point out =
                turn.Out({(px - mask->hotX) * double(scaleX), (py - mask->hotY) * double(scaleY)});
            const Point at{x + out.x, y + out.y};
            if (at.x >= rect->left && at.x < rect->right && at.y >= rect->top && at.y < rect->bottom)
                return 1;
        }
    return 0;
}

int TestPointInRotatedBox(const RECT* box, LONG hotX, LONG hotY, float scaleX, float scaleY, float angle,
                          LONG dx, LONG dy) {
    if (!box || !(scaleX > 0) || !(scaleY > 0)) return 0;
    const Point p = IntoBox(angle, scaleX, scaleY, dx, dy);
    const double u = hotX + p.x, v = hotY + p.y;
    return u >= box->left && u < box->right && v >= box->top && v < box->bottom;
}

int TestTransformedImageMaskPoint(const ImageMask* mask, float scaleX, float scaleY, float angle, LONG dx,
                                  LONG dy) {
    if (!mask || !(scaleX > 0) || !(scaleY > 0)) return 0;
    const Point p = IntoBox(angle, scaleX, scaleY, dx, dy);
    const LONG u = static_cast<LONG>(std::floor(mask->hotX + p.x)),
               v = static_cast<LONG>(std::floor(mask->hotY + p.y));
    return TestMaskPixel(ImageMaskBits(mask), u, v, mask->width, mask->height);
}
