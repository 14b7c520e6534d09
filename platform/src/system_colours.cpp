// System colours, their brushes, 3-D edges and the few system settings the programs ask.
#include "gdi_internal.h"
#include "win32/gdi.h"

#include <array>

namespace win32 {
namespace {

constexpr int ColourCount = COLOR_MENUBAR + 1;

// A light scheme; 25 names no colour.
constexpr std::array<COLORREF, ColourCount> Scheme{
    RGB(200, 200, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(240, 240, 240),
    RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
    RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(51, 153, 255),
    RGB(240, 240, 240)};

bool Named(int index) {
    return index >= 0 && index < ColourCount && index != 25;
}

// The colours of one ring: top-left and bottom-right.
struct Ring {
    int topLeft;
    int bottomRight;
};

void DrawRing(HDC dc, RECT& r, UINT flags, Ring ring) {
    const HBRUSH light = GetSysColorBrush(ring.topLeft), dark = GetSysColorBrush(ring.bottomRight);
    if (flags & BF_TOP) {
        const RECT line{r.left, r.top, r.right, r.top + 1};
        FillRect(dc, &line, light);
    }
    if (flags & BF_LEFT) {
        const RECT line{r.left, r.top, r.left + 1, r.bottom};
        FillRect(dc, &line, light);
    }
    if (flags & BF_BOTTOM) {
        const RECT line{r.left, r.bottom - 1, r.right, r.bottom};
        FillRect(dc, &line, dark);
    }
    if (flags & BF_RIGHT) {
        const RECT line{r.right - 1, r.top, r.right, r.bottom};
        FillRect(dc, &line, dark);
    }
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_BOTTOM) --r.bottom;
    if (flags & BF_RIGHT) --r.right;
}

} // namespace

COLORREF GetSysColor(int index) {
    return Named(index) ? Scheme[static_cast<std::size_t>(index)] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    static const auto brushes = [] {
        std::array<HBRUSH, ColourCount> made{};
        for (int i = 0; i < ColourCount; ++i)
            if (Named(i))
                made[static_cast<std::size_t>(i)] = MakeStockBrush(Scheme[static_cast<std::size_t>(i)]);
        return made;
    }();
    return Named(index) ? brushes[static_cast<std::size_t>(index)] : nullptr;
}

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
    if (!dc || !rect) return FALSE;
    RECT r = *rect;
    if (edge & BDR_RAISEDOUTER)
        DrawRing(dc, r, flags, {COLOR_3DLIGHT, COLOR_3DDKSHADOW});
    else if (edge & BDR_SUNKENOUTER)
        DrawRing(dc, r, flags, {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT});
    if (edge & BDR_RAISEDINNER)
        DrawRing(dc, r, flags, {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW});
    else if (edge & BDR_SUNKENINNER)
        DrawRing(dc, r, flags, {COLOR_3DDKSHADOW, COLOR_3DLIGHT});
    if ((flags & BF_MIDDLE) && r.left < r.right && r.top < r.bottom)
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

BOOL SystemParametersInfoW(UINT action, UINT, void* value, UINT) {
    if (!value) return FALSE;
    switch (action) {
    case SPI_GETFLATMENU:
        *static_cast<BOOL*>(value) = TRUE;
        return TRUE;
    case SPI_GETWORKAREA:
        *static_cast<RECT*>(value) = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace win32
