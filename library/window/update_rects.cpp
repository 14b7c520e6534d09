// The redraw list of a main drawing window and the copy of the work surface to the screen.
#include "app_window_internal.h"
#include "surfaces/engine_interface.h"
#include "vtrs2/gdi_surfaces.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_implementation.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

// Of the driver surfaces (engine::IsDriverSurfaceType), 9 and 13 are driver screens.
constexpr int kScreenTypes[] = {9, 13};
constexpr int kFixedOne = 65536;

bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

RECT Union(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void Append(UpdateRectList* list, const RECT& r) {
    if (list->count < MaxUpdateRects)
        list->rects[list->count++] = r;
    else
        list->rects[0] = Union(list->rects[0], r);
}

// A bitmap header that describes the implementation's pixels as they lie in memory.
struct DibView {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

bool Describe(const cSurfaceImplementation* s, DibView* view, const void** bits) {
    if (!s->pixels || s->width <= 0 || s->height <= 0) return false;
    const int depth = s->depth == 15 ? 16 : s->depth;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
    std::memset(view, 0, sizeof *view);
    view->header.biSize = sizeof(BITMAPINFOHEADER);
    view->header.biWidth = s->width;
    // Rows going down in memory are a top-down bitmap; rows going up start at the last row's address.
    view->header.biHeight = s->signedPitch > 0 ? -s->height : s->height;
    view->header.biPlanes = 1;
    view->header.biBitCount = static_cast<WORD>(depth);
    view->header.biCompression = BI_RGB;
    if (s->depth == 16) {
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        view->header.biCompression = BI_BITFIELDS;
        std::memcpy(view->colors, masks, sizeof masks);
    } else if (depth == 8) {
        PALETTEENTRY entries[256] = {};
        const_cast<cSurfaceImplementation*>(s)->GetPaletteEntries(entries, 0, 256);
        for (int i = 0; i < 256; ++i)
            view->colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    }
    *bits = s->signedPitch > 0 ? s->pixels : s->Row(s->height - 1);
    return true;
}

// DIB sections draw onto the window through GDI, wrapped in a device-context surface; other surfaces are
// described to the DC as bitmaps.
bool CopySectionToWindow(AppWindow* w, HDC dc, const RECT& to, const RECT& from) {
    cSurfaceImplementation* s = w->workImplementation;
    const int type = s->GetType();
    if (type != SurfaceTypeDIBSection && type != SurfaceTypeDIBDC) return false;
    cDCSurface* screen = cDCSurface::CreateForDC(dc);
    if (!screen) return true;
    const int toWidth = to.right - to.left, toHeight = to.bottom - to.top;
    const int fromWidth = from.right - from.left, fromHeight = from.bottom - from.top;
    if (toWidth == fromWidth && toHeight == fromHeight)
        s->Blit(screen, to.left, to.top, from.left, from.top, fromWidth, fromHeight, 0, 0, 0, 0);
    else
        s->StretchBlit(screen, to.left, to.top, toWidth, toHeight, from.left, from.top, fromWidth, fromHeight,
                       0, 0, 0, 0);
    screen->Delete();
    return true;
}

// Copies part of the implementation onto the window's DC, scaled to the destination size.
void CopyToWindow(AppWindow* w, HDC dc, const RECT& to, const RECT& from) {
    if (dc && CopySectionToWindow(w, dc, to, from)) return;
    DibView view;
    const void* bits = nullptr;
    if (!dc || !Describe(w->workImplementation, &view, &bits)) return;
    // Source rows of a bottom-up bitmap are counted from the bottom.
    const int height = w->workImplementation->height;
    const int sourceY = view.header.biHeight > 0 ? height - from.bottom : from.top;
    StretchDIBits(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, from.left, sourceY,
                  from.right - from.left, from.bottom - from.top, bits,
                  reinterpret_cast<const BITMAPINFO*>(&view), DIB_RGB_COLORS, SRCCOPY);
}

bool IsDriverScreen(int type) {
    return std::find(std::begin(kScreenTypes), std::end(kScreenTypes), type) != std::end(kScreenTypes);
}

void ResetToWholeArea(AppWindow* w) {
    if (!w->redrawList) return;
    w->redrawList->count = 1;
    w->redrawList->rects[0] = RECT{0, 0, w->areaWidth, w->areaHeight};
}

enum class Copied { Nothing, Stretched, Rects };

// Copies a list of rectangles (surface coordinates, clipped to the client) 1:1, or the whole surface
// stretched onto the client when the window stretches and the sizes differ.
Copied CopyRects(AppWindow* w, const RECT* rects, int count) {
    RECT client;
    GetClientRect(w->window, &client);
    if (IsRectEmpty(&client)) return Copied::Nothing;
    cSurfaceImplementation* s = w->workImplementation;
    const bool stretch =
        (w->optionFlags & AppWindowStretch) && (client.right != s->width || client.bottom != s->height);
    if (stretch && (s->width <= 0 || s->height <= 0 ||
                    static_cast<long long>(client.right) * kFixedOne / s->width == 0 ||
                    static_cast<long long>(client.bottom) * kFixedOne / s->height == 0))
        return Copied::Nothing;
    HDC dc = w->dc ? w->dc : GetDC(w->window);
    if (stretch) {
        CopyToWindow(w, dc, client, RECT{0, 0, s->width, s->height});
    } else {
        for (int i = 0; i < count; ++i) {
            RECT r;
            if (IntersectRect(&r, &rects[i], &client)) CopyToWindow(w, dc, r, r);
        }
    }
    if (dc != w->dc) ReleaseDC(w->window, dc);
    GdiFlush();
    return stretch ? Copied::Stretched : Copied::Rects;
}

} // namespace

void ClearUpdateRects(AppWindow* window) {
    if (window && window->redrawList) window->redrawList->count = 0;
}

UpdateRectList* GetUpdateRectList(AppWindow* window) {
    return window ? window->redrawList : nullptr;
}

void AddUpdateRectCoords(AppWindow* window, int left, int top, int right, int bottom) {
    const RECT r{left, top, right, bottom};
    AddUpdateRect(window, &r);
}

void AddUpdateRect(AppWindow* window, const RECT* rect) {
    if (!window || !window->redrawList || !window->context ||
        (window->context->displayMode & DisplayModeDriverFlag))
        return;
    UpdateRectList* list = window->redrawList;
    if (!rect) {
        ResetToWholeArea(window);
        return;
    }
    RECT r{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
           std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    if (window->optionFlags & AppWindowContainment) {
        for (int i = 0; i < list->count; ++i) {
            if (Contains(list->rects[i], r)) return;
            if (Contains(r, list->rects[i])) {
                list->rects[i] = r;
                return;
            }
        }
        Append(list, r);
        return;
    }
    for (int i = 0; i < list->count;) {
        if (Overlaps(list->rects[i], r)) {
            r = Union(r, list->rects[i]);
            list->rects[i] = list->rects[--list->count];
            i = 0; // the grown rectangle may now overlap one already passed
        } else {
            ++i;
        }
    }
    Append(list, r);
}

void UpdateWindowFromSurface(AppWindow* window) {
    if (!window || (window->stateFlags & AppWindowUpdatesSuspended) || !window->workImplementation) return;
    const int type = window->workImplementation->GetType();
    if (engine::IsDriverSurfaceType(type)) {
        ClearUpdateRects(window);
        if (IsDriverScreen(type)) {
            if (window->stateFlags & AppWindowWaitVBlank) window->workImplementation->WaitVBlank();
            window->workSurface->Present();
            PurgeTextureCache(window->context);
        }
        return;
    }
    GdiFlush();
    if (window->stateFlags & AppWindowWaitVBlank) {
        // The layer's vertical-blank wait stands in for polling the scan line.
        DwmFlush();
        window->lastUpdateTime = timeGetTime();
    }
    UpdateRectList* list = window->redrawList;
    const Copied copied = CopyRects(window, list ? list->rects : nullptr, list ? list->count : 0);
    if (copied == Copied::Stretched)
        ResetToWholeArea(window);
    else if (copied == Copied::Rects && list)
        list->count = 0;
}

void PaintWindowFromSurface(AppWindow* window, int x, int y, int width, int height) {
    if (!window || (window->stateFlags & AppWindowUpdatesSuspended) || !window->workImplementation) return;
    const int type = window->workImplementation->GetType();
    if (engine::IsDriverSurfaceType(type)) {
        if (IsDriverScreen(type)) window->workSurface->Present();
        return;
    }
    const RECT r{x, y, x + width, y + height};
    CopyRects(window, &r, 1);
}

void CopyWindowSurfaceToScreen(AppWindow* window) {
    if (!window || !window->workImplementation) return;
    const RECT whole{0, 0, window->workImplementation->width, window->workImplementation->height};
    HDC dc = window->dc ? window->dc : GetDC(window->window);
    CopyToWindow(window, dc, whole, whole);
    if (dc != window->dc) ReleaseDC(window->window, dc);
    GdiFlush();
}
