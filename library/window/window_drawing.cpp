// Drawing on a window's work surface through the surface's device context, recording what changed.
#include "vtrs2/app_window.h"
#include "vtrs2/surface.h"
#include "win32/font.h"

#include <algorithm>

using namespace win32;

namespace {

constexpr int kFocusRop = R2_XORPEN;
// What a measurement keeps of the caller's flags: the alignments and the single-line choice.
constexpr UINT MeasureKeptFlags = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT MeasureFlags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

// The work surface's DC for the length of one drawing; null when the surface has none.
class SurfaceDC {
public:
    explicit SurfaceDC(AppWindow* window) : surface_(window->workSurface) {
        dc_ = surface_ ? surface_->GetDeviceContext() : nullptr;
    }
    ~SurfaceDC() {
        if (dc_) surface_->ReleaseDeviceContext(dc_);
    }
    SurfaceDC(const SurfaceDC&) = delete;
    SurfaceDC& operator=(const SurfaceDC&) = delete;
    HDC Get() const { return dc_; }

private:
    cSurface* surface_;
    HDC dc_;
};

} // namespace

void FillWindowRectBrush(AppWindow* window, int left, int top, int right, int bottom, HBRUSH brush) {
    if (!window) return;
    AddUpdateRectCoords(window, left, top, right, bottom);
    SurfaceDC dc(window);
    const RECT r{left, top, right, bottom};
    if (dc.Get() && brush) FillRect(dc.Get(), &r, brush);
}

void DrawWindowRect(AppWindow* window, const RECT* rect) {
    if (!window || !rect) return;
    AddUpdateRect(window, rect);
    SurfaceDC dc(window);
    if (dc.Get()) {
        if (window->rop2 == kFocusRop && window->penWidthLessOne == 0) {
            DrawFocusRect(dc.Get(), rect);
        } else {
            HGDIOBJ oldBrush = SelectObject(dc.Get(), GetStockObject(NULL_BRUSH));
            HGDIOBJ oldPen = window->pen ? SelectObject(dc.Get(), window->pen) : nullptr;
            const int oldRop = SetROP2(dc.Get(), window->rop2);
            Rectangle(dc.Get(), rect->left, rect->top, rect->right, rect->bottom);
            SetROP2(dc.Get(), oldRop);
            if (oldPen) SelectObject(dc.Get(), oldPen);
            SelectObject(dc.Get(), oldBrush);
        }
    }
    // The pen is centred on the rectangle's edge: t / 2 outside it on the left and top, (t - 1) / 2 on the
    // right and bottom.
    const int t = window->penWidthLessOne + 1;
    const int left = rect->left - t / 2, top = rect->top - t / 2;
    const int right = rect->right + (t - 1) / 2, bottom = rect->bottom + (t - 1) / 2;
    AddUpdateRectCoords(window, left, top, right, top + t);
    AddUpdateRectCoords(window, left, bottom - t, right, bottom);
    AddUpdateRectCoords(window, left, top, left + t, bottom);
    AddUpdateRectCoords(window, right - t, top, right, bottom);
}

void DrawWindowRect16(AppWindow* window, const SHORT* edges) {
    if (!window || !edges) return;
    // Inclusive edges become the exclusive rectangle of DrawWindowRect.
    const RECT r{edges[0], edges[1], edges[2] + 1, edges[3] + 1};
    DrawWindowRect(window, &r);
}

void DrawWindowPolyline(AppWindow* window, const POINT* points, int lastIndex) {
    if (!window || !points || lastIndex < 1) return;
    RECT box{points[0].x, points[0].y, points[0].x, points[0].y};
    for (int i = 1; i <= lastIndex; ++i) {
        box.left = std::min(box.left, points[i].x);
        box.top = std::min(box.top, points[i].y);
        box.right = std::max(box.right, points[i].x);
        box.bottom = std::max(box.bottom, points[i].y);
    }
    const int t = window->penWidthLessOne + 1;
    AddUpdateRectCoords(window, box.left - t / 2, box.top - t / 2, box.right + t, box.bottom + t);
    SurfaceDC dc(window);
    if (!dc.Get()) return;
    HGDIOBJ oldPen = window->pen ? SelectObject(dc.Get(), window->pen) : nullptr;
    const int oldMode = SetBkMode(dc.Get(), window->backMode);
    const int oldRop = SetROP2(dc.Get(), window->rop2);
    const COLORREF oldBack = SetBkColor(dc.Get(), window->backColor);
    Polyline(dc.Get(), points, lastIndex + 1);
    SetBkColor(dc.Get(), oldBack);
    SetROP2(dc.Get(), oldRop);
    SetBkMode(dc.Get(), oldMode);
    if (oldPen) SelectObject(dc.Get(), oldPen);
}

int DrawWindowText(AppWindow* window, HFONT font, RECT* rect, const WCHAR* text, COLORREF color, UINT flags) {
    if (!window || !rect || !text || !window->workSurface) return 0;
    cSurface& surface = *window->workSurface;
    if (flags & DrawWindowTextMeasure) {
        UINT format = (flags & MeasureKeptFlags) | MeasureFlags;
        if (flags & DrawWindowTextMeasurePrefixes) format &= ~DT_NOPREFIX;
        const LONG right = rect->right;
        const int height =
            surface.DrawTextWide(text, -1, rect, format | DT_CALCRECT, color, font, 0, 0, 0, 0, 0, 0, 0);
        rect->right = right;
        return height;
    }
    const int height = surface.DrawTextWide(text, -1, rect, flags, color, font, 0, 0, 0, 0, 0, 0, 0);
    AddUpdateRect(window, rect);
    return height;
}
