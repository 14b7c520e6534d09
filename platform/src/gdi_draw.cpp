// Drawing through device contexts: clipping to windows, fills, blits, lines and rectangles.
#include "gdi_internal.h"
#include "window_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace win32 {
namespace {

// Removes `cut` from every rectangle of the list, splitting those it overlaps.
void Subtract(std::vector<RECT>& list, const RECT& cut) {
    std::vector<RECT> out;
    for (const RECT& r : list) {
        RECT inter;
        if (!IntersectRect(&inter, &r, &cut)) {
            out.push_back(r);
            continue;
        }
        if (r.top < inter.top) out.push_back(RECT{r.left, r.top, r.right, inter.top});
        if (inter.bottom < r.bottom) out.push_back(RECT{r.left, inter.bottom, r.right, r.bottom});
        if (r.left < inter.left) out.push_back(RECT{r.left, inter.top, inter.left, inter.bottom});
        if (inter.right < r.right) out.push_back(RECT{inter.right, inter.top, r.right, inter.bottom});
    }
    list.swap(out);
}

std::uint32_t Mix(int rop2, std::uint32_t dst, std::uint32_t pen, std::uint32_t allBits) {
    switch (rop2) {
    case R2_BLACK:
        return 0;
    case R2_WHITE:
        return allBits;
    case R2_NOT:
        return ~dst & allBits;
    case R2_XORPEN:
        return (dst ^ pen) & allBits;
    case R2_NOP:
        return dst;
    default:
        return pen;
    }
}

std::uint32_t AllBits(const BitmapObject* b) {
    return b->bpp >= 32 ? 0xFFFFFFFFu : (1u << b->bpp) - 1;
}

bool Draws(const DrawTarget& t) {
    return t.bitmap && !t.clip.empty();
}

void PlotPixel(const DrawTarget& t, int x, int y, std::uint32_t pen, int rop2) {
    const POINT p{x + t.origin.x, y + t.origin.y};
    for (const RECT& c : t.clip) {
        if (PtInRect(&c, p)) {
            const std::uint32_t old = t.bitmap->LoadRaw(p.x, p.y);
            t.bitmap->StoreRaw(p.x, p.y, Mix(rop2, old, pen, AllBits(t.bitmap)));
            return;
        }
    }
}

} // namespace

void TouchDc(const DeviceContextObject* dc) {
    if (dc->kind == DcKind::Window) MarkWindowDrawn(dc->window);
}

void TouchDc(const DeviceContextObject* dc, const RECT& backingArea) {
    if (dc->kind == DcKind::Window && !IsRectEmpty(&backingArea)) MarkWindowDrawn(dc->window, backingArea);
}

void DrawPenLine(const DrawTarget& t, const PenObject* pen, int rop2, POINT a, POINT b) {
    if (!pen || pen->style == PS_NULL || !Draws(t)) return;
    const std::uint32_t raw = t.bitmap->Encode(pen->color);
    const int half = (pen->width - 1) / 2;
    int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    // A dotted pen draws three pixels and skips three, counted from the line's start.
    constexpr int DotRun = 3;
    const bool dotted = pen->style == PS_DOT && pen->width <= 1;
    for (int step = 0; a.x != b.x || a.y != b.y; ++step) {
        const bool drawn = !dotted || (step / DotRun) % 2 == 0;
        if (drawn && pen->width <= 1) {
            PlotPixel(t, a.x, a.y, raw, rop2);
        } else if (drawn) {
            const RECT square{a.x - half, a.y - half, a.x - half + pen->width, a.y - half + pen->width};
            FillTargetRect(t, square, pen->color, rop2);
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            a.x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            a.y += sy;
        }
    }
}

namespace {

BOOL CopyPixels(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight) {
    const DrawTarget d = TargetOf(dst);
    const DrawTarget s = TargetOf(src);
    if (!d.bitmap || !s.bitmap || width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0)
        return d.bitmap && s.bitmap ? TRUE : FALSE;
    // A negative extent on one side and not the other mirrors the picture along that axis.
    const bool mirrorX = (width < 0) != (srcWidth < 0);
    const bool mirrorY = (height < 0) != (srcHeight < 0);
    // A negative extent counts back from its origin pixel, which stays inside the area.
    if (width < 0) {
        x += width + 1;
        width = -width;
    }
    if (height < 0) {
        y += height + 1;
        height = -height;
    }
    if (srcWidth < 0) {
        srcX += srcWidth + 1;
        srcWidth = -srcWidth;
    }
    if (srcHeight < 0) {
        srcY += srcHeight + 1;
        srcHeight = -srcHeight;
    }
    const RECT srcArea = s.clip.empty() ? RECT{} : s.clip.front(); // the source is one visible rectangle
    const bool same = d.bitmap->SameFormat(*s.bitmap);
    const bool oneToOne = width == srcWidth && height == srcHeight && !mirrorX && !mirrorY;
    const int bytes = d.bitmap->bpp / 8;
    const RECT dstRect{x + d.origin.x, y + d.origin.y, x + d.origin.x + width, y + d.origin.y + height};
    RECT touched{};
    for (const RECT& c : d.clip) {
        RECT area;
        if (!IntersectRect(&area, &c, &dstRect)) continue;
        UnionRect(&touched, &touched, &area);
        for (int by = area.top; by < area.bottom; ++by) {
            int v = by - dstRect.top;
            v = static_cast<int>(static_cast<long long>(v) * srcHeight / height);
            if (mirrorY) v = srcHeight - 1 - v;
            const int sy = srcY + v + s.origin.y;
            if (sy < srcArea.top || sy >= srcArea.bottom) continue;
            if (oneToOne && same) {
                int left = area.left, right = area.right;
                int sxLeft = srcX + (left - dstRect.left) + s.origin.x;
                if (sxLeft < srcArea.left) {
                    left += srcArea.left - sxLeft;
                    sxLeft = srcArea.left;
                }
                right = std::min<int>(right, left + (srcArea.right - sxLeft));
                if (right > left)
                    std::memmove(d.bitmap->Row(by) + left * bytes, s.bitmap->Row(sy) + sxLeft * bytes,
                                 static_cast<std::size_t>(right - left) * bytes);
                continue;
            }
            for (int bx = area.left; bx < area.right; ++bx) {
                int u = static_cast<int>(static_cast<long long>(bx - dstRect.left) * srcWidth / width);
                if (mirrorX) u = srcWidth - 1 - u;
                const int sx = srcX + u + s.origin.x;
                if (sx < srcArea.left || sx >= srcArea.right) continue;
                const std::uint32_t raw = s.bitmap->LoadRaw(sx, sy);
                d.bitmap->StoreRaw(bx, by, same ? raw : d.bitmap->Encode(s.bitmap->Decode(raw)));
            }
        }
    }
    TouchDc(dst, touched);
    return TRUE;
}

} // namespace

namespace {

DrawTarget DeviceTargetOf(const DeviceContextObject* dc) {
    DrawTarget t;
    if (!dc) return t;
    if (dc->kind == DcKind::Memory) {
        t.bitmap = dc->bitmap;
        if (t.bitmap) t.clip.push_back(RECT{0, 0, t.bitmap->width, t.bitmap->height});
        return t;
    }
    if (dc->kind != DcKind::Window) return t;
    WindowObject* top = Win(TopLevelOf(dc->window));
    if (!top || !top->backing) return t;
    t.bitmap = top->backing;
    const RECT client = ClientInTopLevel(dc->window);
    t.origin = POINT{client.left, client.top};
    RECT visible{0, 0, t.bitmap->width, t.bitmap->height};
    for (WindowObject* w = Win(dc->window); w && w != top; w = Win(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return t;
        const RECT area = ClientInTopLevel(w);
        if (!IntersectRect(&visible, &visible, &area)) return t;
    }
    IntersectRect(&visible, &visible, &client);
    if (dc->paintClip) {
        RECT paint = dc->paintRect;
        OffsetRect(&paint, client.left, client.top);
        IntersectRect(&visible, &visible, &paint);
    }
    if (IsRectEmpty(&visible)) return t;
    t.clip.push_back(visible);
    WindowObject* self = Win(dc->window);
    if (self->style & WS_CLIPCHILDREN) {
        for (HWND child : self->children) {
            if (!(child->style & WS_VISIBLE)) continue;
            RECT r = child->rect;
            OffsetRect(&r, client.left, client.top);
            Subtract(t.clip, r);
        }
    }
    return t;
}

} // namespace

DrawTarget TargetOf(const DeviceContextObject* dc) {
    DrawTarget t = DeviceTargetOf(dc);
    if (!dc) return t;
    if (dc->clipped) {
        RECT narrow = dc->clipRect;
        OffsetRect(&narrow, t.origin.x, t.origin.y);
        std::vector<RECT> kept;
        for (const RECT& c : t.clip)
            if (RECT r{}; IntersectRect(&r, &c, &narrow)) kept.push_back(r);
        t.clip = std::move(kept);
    }
    t.origin.x -= dc->windowOrg.x;
    t.origin.y -= dc->windowOrg.y;
    return t;
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
    if (!IsLiveDc(dc)) return FALSE;
    if (previous) *previous = dc->windowOrg;
    dc->windowOrg = POINT{x, y};
    return TRUE;
}

BOOL GetWindowOrgEx(HDC dc, POINT* origin) {
    if (!IsLiveDc(dc) || !origin) return FALSE;
    *origin = dc->windowOrg;
    return TRUE;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    if (!IsLiveDc(dc)) return 0;
    RECT r{left - dc->windowOrg.x, top - dc->windowOrg.y, right - dc->windowOrg.x, bottom - dc->windowOrg.y};
    if (dc->clipped && !IntersectRect(&r, &r, &dc->clipRect)) r = RECT{};
    dc->clipped = true;
    dc->clipRect = r;
    return IsRectEmpty(&r) ? NULLREGION : SIMPLEREGION;
}

void FillTargetRect(const DrawTarget& target, RECT rect, COLORREF color, int rop2) {
    if (!Draws(target)) return;
    BitmapObject* b = target.bitmap;
    const std::uint32_t raw = b->Encode(color);
    const std::uint32_t all = AllBits(b);
    OffsetRect(&rect, target.origin.x, target.origin.y);
    for (const RECT& c : target.clip) {
        RECT area;
        if (!IntersectRect(&area, &c, &rect)) continue;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                b->StoreRaw(x, y, rop2 == R2_COPYPEN ? raw : Mix(rop2, b->LoadRaw(x, y), raw, all));
    }
}

namespace {

// The pixels of a hatch style's lines, by bitmap position.
bool OnHatch(int style, int x, int y) {
    switch (style) {
    case HS_BDIAGONAL:
        return ((x + y) & 7) == 7;
    default:
        return true;
    }
}

void FillWith(const DrawTarget& t, RECT rect, const BrushObject* brush, int rop2, int bkMode, COLORREF bk) {
    if (!brush || brush->null || !Draws(t)) return;
    if (brush->hatch < 0) {
        FillTargetRect(t, rect, brush->color, rop2);
        return;
    }
    BitmapObject* b = t.bitmap;
    const std::uint32_t line = b->Encode(brush->color), gap = b->Encode(bk), all = AllBits(b);
    OffsetRect(&rect, t.origin.x, t.origin.y);
    for (const RECT& c : t.clip) {
        RECT area;
        if (!IntersectRect(&area, &c, &rect)) continue;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const bool on = OnHatch(brush->hatch, x, y);
                if (!on && bkMode == TRANSPARENT) continue;
                b->StoreRaw(x, y, Mix(rop2, b->LoadRaw(x, y), on ? line : gap, all));
            }
    }
}

} // namespace

void FillBrushRect(const DeviceContextObject* dc, const DrawTarget& target, RECT rect) {
    FillWith(target, rect, dc->brush, dc->rop2, dc->bkMode, dc->bkColor);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    if (!dc || !rect || !IsGdiObject(brush, GdiKind::Brush)) return 0;
    if (!brush->null) {
        FillWith(TargetOf(dc), *rect, brush, R2_COPYPEN, dc->bkMode, dc->bkColor);
        TouchDc(dc);
    }
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
    if (!IsLiveDc(dc) || !rect) return FALSE;
    FillTargetRect(TargetOf(dc), *rect, 0, R2_NOT);
    TouchDc(dc);
    return TRUE;
}

BOOL LPtoDP(HDC dc, POINT* points, int count) {
    if (!IsLiveDc(dc) || (!points && count > 0) || count < 0) return FALSE;
    for (int i = 0; i < count; ++i) {
        points[i].x -= dc->windowOrg.x;
        points[i].y -= dc->windowOrg.y;
    }
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (!dc) return FALSE;
    RECT r{x, y, x + width, y + height};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    if (rop == BLACKNESS)
        FillTargetRect(TargetOf(dc), r, 0, R2_COPYPEN);
    else if (rop == WHITENESS)
        FillTargetRect(TargetOf(dc), r, 0xFFFFFF, R2_COPYPEN);
    else if (rop == PATCOPY && dc->brush && !dc->brush->null)
        FillWith(TargetOf(dc), r, dc->brush, R2_COPYPEN, dc->bkMode, dc->bkColor);
    else if (rop != PATCOPY)
        return FALSE;
    TouchDc(dc);
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    if (rop != SRCCOPY) return PatBlt(dst, x, y, width, height, rop);
    return CopyPixels(dst, x, y, width, height, src, srcX, srcY, width, height);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
    if (rop != SRCCOPY) return PatBlt(dst, x, y, width, height, rop);
    return CopyPixels(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    BitmapObject view;
    if (!dc || !bits || usage != DIB_RGB_COLORS || !ReadDibHeader(info, &view)) return 0;
    if (rop != SRCCOPY) return PatBlt(dc, x, y, width, height, rop) ? std::abs(height) : 0;
    view.bits = static_cast<BYTE*>(const_cast<void*>(bits));
    if (!view.topDown) srcY = view.height - srcY - std::abs(srcHeight);
    DeviceContextObject source;
    source.bitmap = &view;
    return CopyPixels(dc, x, y, width, height, &source, srcX, srcY, srcWidth, srcHeight) ? std::abs(height)
                                                                                         : 0;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    const DrawTarget t = TargetOf(dc);
    if (!Draws(t)) return 0xFFFFFFFF;
    const POINT p{x + t.origin.x, y + t.origin.y};
    for (const RECT& c : t.clip) {
        if (PtInRect(&c, p)) {
            t.bitmap->StoreRaw(p.x, p.y, t.bitmap->Encode(color));
            TouchDc(dc);
            return t.bitmap->Decode(t.bitmap->LoadRaw(p.x, p.y));
        }
    }
    return 0xFFFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    const DrawTarget t = TargetOf(dc);
    const POINT p{x + t.origin.x, y + t.origin.y};
    for (const RECT& c : t.clip)
        if (PtInRect(&c, p)) return t.bitmap->Decode(t.bitmap->LoadRaw(p.x, p.y));
    return 0xFFFFFFFF;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (!dc) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!dc) return FALSE;
    DrawPenLine(TargetOf(dc), dc->pen, dc->rop2, dc->position, POINT{x, y});
    dc->position = POINT{x, y};
    TouchDc(dc);
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    if (!dc || !points || count < 2) return FALSE;
    const DrawTarget t = TargetOf(dc);
    for (int i = 1; i < count; ++i)
        DrawPenLine(t, dc->pen, dc->rop2, points[i - 1], points[i]);
    TouchDc(dc);
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    if (!dc || !rect) return FALSE;
    const DrawTarget t = TargetOf(dc);
    if (!Draws(t)) return TRUE;
    const std::uint32_t all = AllBits(t.bitmap);
    // Every other pixel of the outline is inverted, so drawing it twice restores the picture.
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0) PlotPixel(t, x, y, all, R2_XORPEN);
    };
    for (int x = rect->left; x < rect->right; ++x) {
        dot(x, rect->top);
        if (rect->bottom - 1 > rect->top) dot(x, rect->bottom - 1);
    }
    for (int y = rect->top + 1; y < rect->bottom - 1; ++y) {
        dot(rect->left, y);
        if (rect->right - 1 > rect->left) dot(rect->right - 1, y);
    }
    TouchDc(dc);
    return TRUE;
}

int GetClipBox(HDC dc, RECT* rect) {
    if (!dc || !rect) return 0;
    const DrawTarget t = TargetOf(dc);
    RECT box{};
    for (const RECT& c : t.clip)
        UnionRect(&box, &box, &c);
    OffsetRect(&box, -t.origin.x, -t.origin.y);
    *rect = IsRectEmpty(&box) ? RECT{} : box;
    if (t.clip.empty()) return NULLREGION;
    return t.clip.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL GdiFlush() {
    PresentDirtyWindows();
    return TRUE;
}

} // namespace win32
