// The front end's shapes: through the surface's device context, and painted by fill objects through a mask
// so that inks and blit flags apply to them.
#include "vtrs2/fills.h"
#include "vtrs2/gdi_drawing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <vector>

using namespace win32;

namespace {

enum ShapeKind { ShapeRectangle, ShapeEllipse, ShapePolygon, ShapeLine };

constexpr COLORREF MaskWhite = 0xFFFFFF;
constexpr int InkAnd = 4;
constexpr int BlitTransparent = 1;

// A temporary surface of the depth whose device context lives as long as it does.
bool MakeTemporary(cSurface& temporary, const cSurface& model, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, model.GetDepth(), PublicTypeDib, DriverKindNone);
    if (!prototype || !temporary.Create(width, height, prototype)) return false;
    if (model.GetDepth() <= 8) temporary.CopyPalette(model, 0);
    temporary.FillValue(0);
    return true;
}

// The shape in a temporary's own DC: the box in its coordinates, polygon points moved by (dx, dy).
void DrawMask(HDC dc, ShapeKind kind, const POINT* points, int count, const RECT& box, int dx, int dy,
              COLORREF inside, int thickness, COLORREF band, bool filled) {
    switch (kind) {
    case ShapeRectangle:
        GdiRectangle(dc, box.left, box.top, box.right, box.bottom, inside, thickness, band, filled);
        break;
    case ShapeEllipse:
        GdiEllipse(dc, box.left, box.top, box.right, box.bottom, inside, thickness, band, filled);
        break;
    case ShapePolygon: {
        std::vector<POINT> moved(points, points + count);
        for (POINT& p : moved)
            p.x += dx, p.y += dy;
        GdiPolygon(dc, moved.data(), count, inside, thickness, band, filled);
        break;
    }
    case ShapeLine:
        break;
    }
}

// Paints the fill over the shape's whole box given in the temporary's coordinates (clipped by it), with a
// tiled fill anchored at the shape's corner.
void PaintFill(CFillData* fill, cSurface& target, const RECT& box) {
    const POINT kept = fill->SetOrigin(0, 0);
    fill->SetOrigin(kept.x - box.left, kept.y - box.top);
    fill->Fill(&target, box.left, box.top, box.right, box.bottom, 0);
    fill->SetOrigin(kept.x, kept.y);
}

} // namespace

POINT cSurface::DcShift() const {
    if (implementation_->SupportsOrigin()) return POINT{0, 0};
    return POINT{-originX_, -originY_};
}

HRGN cSurface::ApplyClipToDC(HDC dc) {
    HRGN previous = CreateRectRgn(0, 0, 0, 0);
    if (GetClipRgn(dc, previous) != 1) {
        DeleteObject(previous);
        previous = nullptr;
    }
    int x = 0, y = 0, w = 0, h = 0;
    GetClipRect(x, y, w, h);
    const POINT shift = DcShift();
    IntersectClipRect(dc, x + shift.x, y + shift.y, x + shift.x + w, y + shift.y + h);
    return previous;
}

void RestoreClipRegion(HDC dc, HRGN region) {
    SelectClipRgn(dc, region);
    if (region) DeleteObject(region);
}

int cSurface::FillWith(int x, int y, int width, int height, CFillData* fill) {
    if (!fill) return 0;
    return fill->Fill(this, x - originX_, y - originY_, x - originX_ + width, y - originY_ + height, 0);
}

int cSurface::FillAllWith(CFillData* fill) {
    if (!fill) return 0;
    return fill->FillSurface(this, 0x7FFFFFFF, 0x7FFFFFFF, 0);
}

int cSurface::EllipseGdi(int x1, int y1, int x2, int y2, COLORREF inside, int thickness, COLORREF outline,
                         int fill) {
    HDC dc = implementation_->GetDeviceContext();
    if (!dc) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    HRGN kept = ApplyClipToDC(dc);
    const POINT shift = DcShift();
    GdiEllipse(dc, std::min(x1, x2) + shift.x, std::min(y1, y2) + shift.y, std::max(x1, x2) + shift.x,
               std::max(y1, y2) + shift.y, inside, thickness, outline, fill);
    RestoreClipRegion(dc, kept);
    implementation_->ReleaseDeviceContext(dc);
    return 1;
}

int cSurface::PolygonGdi(const POINT* points, int count, COLORREF inside, int thickness, COLORREF outline,
                         int fill) {
    if (!points || count <= 0) return 0;
    HDC dc = implementation_->GetDeviceContext();
    if (!dc) {
        lastError_ = SurfaceErrorNoDeviceContext;
        return 0;
    }
    HRGN kept = ApplyClipToDC(dc);
    const POINT shift = DcShift();
    std::vector<POINT> moved(points, points + count);
    for (POINT& p : moved)
        p.x += shift.x, p.y += shift.y;
    GdiPolygon(dc, moved.data(), count, inside, thickness, outline, fill);
    RestoreClipRegion(dc, kept);
    implementation_->ReleaseDeviceContext(dc);
    return 1;
}

int cSurface::EllipseOutline(int x1, int y1, int x2, int y2, int thickness, COLORREF outline) {
    return thickness ? EllipseGdi(x1, y1, x2, y2, 0, thickness, outline, 0) : 0;
}

int cSurface::PolygonOutline(const POINT* points, int count, int thickness, COLORREF outline) {
    return thickness ? PolygonGdi(points, count, 0, thickness, outline, 0) : 0;
}

int cSurface::RectangleOutline(int x1, int y1, int x2, int y2, int thickness, COLORREF outline) {
    return thickness ? RectangleFlat(x1, y1, x2, y2, 0, thickness, outline, 0) : 0;
}

int cSurface::ShapeEx(int kind, const POINT* points, int count, int x1, int y1, int x2, int y2,
                      CFillData* inside, int thickness, CFillData* outline, int blitFlags, int ink,
                      LPARAM parameter, int filled) {
    RECT shape{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (kind == ShapePolygon) {
        if (!points || count <= 0) return 0;
        shape = RECT{points[0].x, points[0].y, points[0].x + 1, points[0].y + 1};
        for (int i = 1; i < count; ++i) {
            shape.left = std::min<LONG>(shape.left, points[i].x);
            shape.top = std::min<LONG>(shape.top, points[i].y);
            shape.right = std::max<LONG>(shape.right, points[i].x + 1);
            shape.bottom = std::max<LONG>(shape.bottom, points[i].y + 1);
        }
    }
    int cx = 0, cy = 0, cw = 0, ch = 0;
    GetClipRect(cx, cy, cw, ch);
    const RECT area{std::max<LONG>(shape.left, cx), std::max<LONG>(shape.top, cy),
                    std::min<LONG>(shape.right, cx + cw), std::min<LONG>(shape.bottom, cy + ch)};
    if (area.right <= area.left || area.bottom <= area.top) return 0;
    const int w = area.right - area.left, h = area.bottom - area.top;
    cSurface paint, mask;
    if (!MakeTemporary(paint, *this, w, h) || !MakeTemporary(mask, *this, w, h)) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    // The shape's box in the temporaries' coordinates.
    const RECT box{shape.left - area.left, shape.top - area.top, shape.right - area.left,
                   shape.bottom - area.top};
    const auto putOn = [&](cSurface& source) {
        source.Blit(*this, area.left, area.top, 0, 0, w, h, BlitTransparent, ink, parameter, blitFlags);
    };
    // Draws the mask through its DC, ANDs the fill onto it and puts the result on this surface.
    const auto masked = [&](CFillData* fill, COLORREF maskInside, int maskThickness, COLORREF band,
                            bool maskFilled) {
        HDC dc = mask.GetImplementation()->GetDeviceContext();
        if (!dc) {
            lastError_ = SurfaceErrorNoDeviceContext;
            return false;
        }
        mask.FillValue(0);
        DrawMask(dc, static_cast<ShapeKind>(kind), points, count, box, -area.left, -area.top, maskInside,
                 maskThickness, band, maskFilled);
        mask.GetImplementation()->ReleaseDeviceContext(dc);
        PaintFill(fill, paint, box);
        paint.Blit(mask, 0, 0, 0, 0, w, h, 0, InkAnd);
        putOn(mask);
        return true;
    };
    if (kind == ShapeRectangle && thickness == 0) {
        if (!inside) return 1;
        PaintFill(inside, paint, box);
        putOn(paint);
        return 1;
    }
    if (thickness == 0) {
        if (inside && !masked(inside, MaskWhite, 0, 0, true)) return 0;
        return 1;
    }
    if (kind == ShapeEllipse || kind == ShapePolygon) {
        // The inside first, under a band one narrower, so that no gap shows between the two.
        if (filled && inside && !masked(inside, MaskWhite, thickness - 1, 0, true)) return 0;
        if (outline && !masked(outline, 0, thickness, MaskWhite, false)) return 0;
        return 1;
    }
    if (outline && !masked(outline, 0, thickness, MaskWhite, false)) return 0;
    if (filled && inside && !masked(inside, MaskWhite, thickness, 0, true)) return 0;
    return 1;
}

int cSurface::RectangleEx(int x1, int y1, int x2, int y2, CFillData* inside, int thickness,
                          CFillData* outline, int blitFlags, LPARAM, int ink, LPARAM parameter, int filled) {
    return ShapeEx(ShapeRectangle, nullptr, 0, x1, y1, x2, y2, inside, thickness, outline, blitFlags, ink,
                   parameter, filled);
}

int cSurface::EllipseEx(int x1, int y1, int x2, int y2, CFillData* inside, int thickness, CFillData* outline,
                        int blitFlags, LPARAM, int ink, LPARAM parameter, int filled) {
    return ShapeEx(ShapeEllipse, nullptr, 0, x1, y1, x2, y2, inside, thickness, outline, blitFlags, ink,
                   parameter, filled);
}

int cSurface::PolygonEx(const POINT* points, int count, CFillData* inside, int thickness, CFillData* outline,
                        int blitFlags, LPARAM, int ink, LPARAM parameter, int filled) {
    return ShapeEx(ShapePolygon, points, count, 0, 0, 0, 0, inside, thickness, outline, blitFlags, ink,
                   parameter, filled);
}

int cSurface::RectangleOutlineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* outline,
                                 int blitFlags, LPARAM reserved, int ink, LPARAM parameter) {
    if (!thickness) return 0;
    return RectangleEx(x1, y1, x2, y2, nullptr, thickness, outline, blitFlags, reserved, ink, parameter, 0);
}

int cSurface::EllipseOutlineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* outline,
                               int blitFlags, LPARAM reserved, int ink, LPARAM parameter) {
    if (!thickness) return 0;
    return EllipseEx(x1, y1, x2, y2, nullptr, thickness, outline, blitFlags, reserved, ink, parameter, 0);
}

int cSurface::PolygonOutlineEx(const POINT* points, int count, int thickness, CFillData* outline,
                               int blitFlags, LPARAM reserved, int ink, LPARAM parameter) {
    if (!thickness) return 0;
    return PolygonEx(points, count, nullptr, thickness, outline, blitFlags, reserved, ink, parameter, 0);
}

int cSurface::RectangleFilled(int x1, int y1, int x2, int y2, CFillData* inside, int blitFlags,
                              LPARAM reserved, int ink, LPARAM parameter) {
    if (!inside) return 0;
    return RectangleEx(x1, y1, x2, y2, inside, 0, nullptr, blitFlags, reserved, ink, parameter, 1);
}

int cSurface::EllipseFilled(int x1, int y1, int x2, int y2, CFillData* inside, int blitFlags, LPARAM reserved,
                            int ink, LPARAM parameter) {
    if (!inside) return 0;
    return EllipseEx(x1, y1, x2, y2, inside, 0, nullptr, blitFlags, reserved, ink, parameter, 1);
}

int cSurface::PolygonFilled(const POINT* points, int count, CFillData* inside, int blitFlags, LPARAM reserved,
                            int ink, LPARAM parameter) {
    if (!inside) return 0;
    return PolygonEx(points, count, inside, 0, nullptr, blitFlags, reserved, ink, parameter, 1);
}

int cSurface::DrawLineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* fill, int blitFlags,
                         LPARAM, int ink, LPARAM parameter) {
    if (!fill || thickness <= 0) return 0;
    const int left = std::min(x1, x2) - thickness, top = std::min(y1, y2) - thickness;
    const int w = std::max(x1, x2) + thickness - left + 1, h = std::max(y1, y2) + thickness - top + 1;
    cSurface paint, mask;
    if (!MakeTemporary(paint, *this, w, h) || !MakeTemporary(mask, *this, w, h)) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    if (thickness == 1) {
        mask.DrawLine(x1 - left, y1 - top, x2 - left, y2 - top, 1, MaskWhite);
    } else {
        HDC dc = mask.GetImplementation()->GetDeviceContext();
        if (!dc) {
            lastError_ = SurfaceErrorNoDeviceContext;
            return 0;
        }
        GdiLine(dc, x1 - left, y1 - top, x2 - left, y2 - top, thickness, MaskWhite);
        mask.GetImplementation()->ReleaseDeviceContext(dc);
    }
    fill->Fill(&paint, 0, 0, w, h, 0);
    paint.Blit(mask, 0, 0, 0, 0, w, h, 0, InkAnd);
    mask.Blit(*this, left, top, 0, 0, w, h, BlitTransparent, ink, parameter, blitFlags);
    return 1;
}
