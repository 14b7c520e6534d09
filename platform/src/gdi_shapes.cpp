// Filled and outlined shapes: rectangles, ellipses and polygons, with the pen centred on the shape's edge.
#include "gdi_internal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace win32 {
namespace {

using Wide = __int128;

bool HasPen(const DeviceContextObject* dc) {
    return dc->pen && dc->pen->style != PS_NULL;
}

bool HasBrush(const DeviceContextObject* dc) {
    return dc->brush && !dc->brush->null;
}

// The box a pen of width w covers around a shape's box: w / 2 outside on the left and top, (w - 1) / 2 on
// the right and bottom, so that a width of 1 keeps to the box.
RECT PenBox(int left, int top, int right, int bottom, int w) {
    return RECT{left - w / 2, top - w / 2, right + (w - 1) / 2, bottom + (w - 1) / 2};
}

RECT Inset(const RECT& r, int by) {
    return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The columns [first, last) of row y whose pixel centres lie inside the ellipse inscribed in the box: with
// d = 2x + 1 - (left + right) and e = 2y + 1 - (top + bottom), those with d²h² + e²w² <= w²h².
std::pair<long long, long long> EllipseSpan(const RECT& box, int y) {
    const long long w = static_cast<long long>(box.right) - box.left;
    const long long h = static_cast<long long>(box.bottom) - box.top;
    if (w <= 0 || h <= 0 || y < box.top || y >= box.bottom) return {0, 0};
    const long long e = 2LL * y + 1 - (static_cast<long long>(box.top) + box.bottom);
    const Wide room = Wide(w) * w * h * h - Wide(e) * e * w * w;
    if (room < 0) return {0, 0};
    // The largest |d| with d²h² <= room, from a first guess made exact.
    long long m = static_cast<long long>(std::sqrt(static_cast<double>(room)) / static_cast<double>(h));
    while (Wide(m + 1) * (m + 1) * h * h <= room)
        ++m;
    while (m > 0 && Wide(m) * m * h * h > room)
        --m;
    // x with -m <= 2x + 1 - s <= m, s = left + right.
    const long long s = static_cast<long long>(box.left) + box.right;
    const long long first = -FloorDiv(-(s - 1 - m), 2);
    const long long last = FloorDiv(s - 1 + m, 2) + 1;
    return {first, last};
}

void FillSpan(const DrawTarget& t, long long first, long long last, int y, COLORREF colour, int rop2) {
    if (first >= last) return;
    FillTargetRect(t, RECT{static_cast<LONG>(first), y, static_cast<LONG>(last), y + 1}, colour, rop2);
}

// A span of the inside of a shape, with the DC's brush.
void BrushSpan(const DeviceContextObject* dc, const DrawTarget& t, long long first, long long last, int y) {
    if (first >= last) return;
    FillBrushRect(dc, t, RECT{static_cast<LONG>(first), y, static_cast<LONG>(last), y + 1});
}

// Where an edge crosses a row, and which way it runs (1 down, -1 up).
struct Crossing {
    long long x;
    int direction;
    bool operator<(const Crossing& other) const { return x < other.x; }
};

// The parts of row y that lie inside `outer` and outside `inner`.
void FillRingRow(const DrawTarget& t, const RECT& outer, const RECT& inner, int y, COLORREF colour,
                 int rop2) {
    const auto [a, b] = EllipseSpan(outer, y);
    const auto [c, d] = EllipseSpan(inner, y);
    if (c >= d) {
        FillSpan(t, a, b, y, colour, rop2);
        return;
    }
    FillSpan(t, a, std::min(b, c), y, colour, rop2);
    FillSpan(t, std::max(a, d), b, y, colour, rop2);
}

// ceil(p / q) for q > 0.
long long CeilDiv(long long p, long long q) {
    return -FloorDiv(-p, q);
}

} // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return FALSE;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const DrawTarget t = TargetOf(dc);
    const bool outline = HasPen(dc);
    const int w = outline ? dc->pen->width : 0;
    const RECT outer = outline ? PenBox(left, top, right, bottom, w) : RECT{left, top, right - 1, bottom - 1};
    const RECT inside = outline ? Inset(outer, w) : outer;
    if (HasBrush(dc) && !IsRectEmpty(&inside)) FillBrushRect(dc, t, inside);
    if (outline) {
        const RECT strips[] = {
            {outer.left, outer.top, outer.right, std::min(outer.bottom, outer.top + w)},
            {outer.left, std::max(outer.top + w, outer.bottom - w), outer.right, outer.bottom},
            {outer.left, outer.top + w, std::min(outer.right, outer.left + w), outer.bottom - w},
            {std::max(outer.left + w, outer.right - w), outer.top + w, outer.right, outer.bottom - w}};
        for (const RECT& s : strips)
            if (!IsRectEmpty(&s)) FillTargetRect(t, s, dc->pen->color, dc->rop2);
    }
    TouchDc(dc);
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return FALSE;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const DrawTarget t = TargetOf(dc);
    const bool outline = HasPen(dc);
    const int w = outline ? dc->pen->width : 0;
    const RECT outer = outline ? PenBox(left, top, right, bottom, w) : RECT{left, top, right, bottom};
    const RECT inner = Inset(outer, w);
    for (int y = outer.top; y < outer.bottom; ++y) {
        if (HasBrush(dc)) {
            const auto [a, b] = EllipseSpan(inner, y);
            BrushSpan(dc, t, a, b, y);
        }
        if (outline) FillRingRow(t, outer, inner, y, dc->pen->color, dc->rop2);
    }
    TouchDc(dc);
    return TRUE;
}

int SetPolyFillMode(HDC dc, int mode) {
    if (!IsLiveDc(dc) || (mode != ALTERNATE && mode != WINDING)) return 0;
    const int previous = dc->polyFillMode;
    dc->polyFillMode = mode;
    return previous;
}

int GetPolyFillMode(HDC dc) {
    return IsLiveDc(dc) ? dc->polyFillMode : 0;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    if (!dc || !points || count < 2) return FALSE;
    const DrawTarget t = TargetOf(dc);
    if (HasBrush(dc) && count >= 3) {
        long long top = points[0].y, bottom = points[0].y;
        for (int i = 1; i < count; ++i) {
            top = std::min<long long>(top, points[i].y);
            bottom = std::max<long long>(bottom, points[i].y);
        }
        std::vector<Crossing> crossings;
        for (long long y = top; y < bottom; ++y) {
            // Where each edge crosses the row through the pixel centres, as the first column whose centre
            // lies at or right of the crossing: x0 + (y + 1/2 - y0)(x1 - x0)/(y1 - y0) <= x + 1/2.
            crossings.clear();
            for (int i = 0; i < count; ++i) {
                const POINT a = points[i], b = points[(i + 1) % count];
                const long long ya = a.y, yb = b.y;
                if (ya == yb || 2 * y + 1 < 2 * std::min(ya, yb) || 2 * y + 1 >= 2 * std::max(ya, yb))
                    continue;
                long long p =
                    (2LL * a.x - 1) * (yb - ya) + (2 * y + 1 - 2 * ya) * (static_cast<long long>(b.x) - a.x);
                long long q = 2 * (yb - ya);
                if (q < 0) p = -p, q = -q;
                crossings.push_back({CeilDiv(p, q), yb > ya ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end());
            if (dc->polyFillMode == WINDING) {
                int winding = 0;
                long long start = 0;
                for (const Crossing& c : crossings) {
                    const int before = winding;
                    winding += c.direction;
                    if (before == 0 && winding != 0)
                        start = c.x;
                    else if (before != 0 && winding == 0)
                        BrushSpan(dc, t, start, c.x, static_cast<int>(y));
                }
            } else {
                for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
                    BrushSpan(dc, t, crossings[k].x, crossings[k + 1].x, static_cast<int>(y));
            }
        }
    }
    if (HasPen(dc))
        for (int i = 0; i < count; ++i)
            DrawPenLine(t, dc->pen, dc->rop2, points[i], points[(i + 1) % count]);
    TouchDc(dc);
    return TRUE;
}

} // namespace win32
