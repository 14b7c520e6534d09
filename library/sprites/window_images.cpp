// Drawing into a window's work surface for the sprites: bank images, saved rectangles, the update area
// and the blit arguments of sprite ink words.
#include "sprite_drawing_internal.h"
#include "window_host.h"

#include "surfaces/engine_interface.h"
#include "vtrs2/banks.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/surface.h"

#include <algorithm>
#include <utility>

using namespace win32;

namespace sprites {

cSurface* WorkSurface(SpriteWindow* window) {
    if (!HasWindow(window)) return nullptr;
    cSurface* surface = window->host->surface(window->appWindow, 0);
    return surface && surface->HasImplementation() ? surface : nullptr;
}

bool IsDriverSurface(cSurfaceImplementation& surface) {
    return engine::IsDriverSurfaceType(surface.GetType());
}

RECT ClipOf(cSurfaceImplementation& surface) {
    int x = 0, y = 0, width = 0, height = 0;
    surface.GetClipRect(x, y, width, height);
    return {x, y, x + width, y + height};
}

RECT UpdateRectOf(const RECT& r, DWORD ink) {
    if (!(ink & InkAntialiased)) return r;
    return {std::max(r.left - 1, LONG{0}), std::max(r.top - 1, LONG{0}), r.right + 1, r.bottom + 1};
}

void AddSpriteUpdate(SpriteWindow* window, const RECT& rect, DWORD ink) {
    if (!HasWindow(window)) return;
    window->host->addUpdateRect(window->appWindow, UpdateRectOf(rect, ink));
}

BlitInk TranslateInk(DWORD ink, LONG_PTR parameter) {
    return {(ink & InkTransparent) ? 1 : 0, static_cast<int>(ink & 0xFFFF), static_cast<LPARAM>(parameter),
            (ink & InkAntialiased) ? engine::BlitFlagAntialias : 0};
}

const ImageItem* ImageItemOf(SpriteWindow* window, DWORD image) {
    return window ? reinterpret_cast<const ImageItem*>(GetBankItem(window->banks, BankImages, image))
                  : nullptr;
}

int BlitBankImage(SpriteWindow* window, DWORD image, cSurfaceImplementation& destination, int x, int y,
                  const BlitInk& ink) {
    const ImageItem* item = ImageItemOf(window, image);
    if (!item) return 0;
    cImageSurface source(item);
    if (source.width <= 0) return 0;
    return source.Blit(&destination, x, y, 0, 0, source.width, source.height, ink.mode, ink.ink,
                       ink.parameter, ink.flags);
}

} // namespace sprites

using namespace sprites;

int SaveWindowRect(SpriteWindow* window, SavedRect* saved, int left, int top, int right, int bottom) {
    cSurface* surface = WorkSurface(window);
    if (!surface || !saved) return -1;
    cSurfaceImplementation& work = *surface->GetImplementation();
    const RECT clip = ClipOf(work);
    const RECT r{std::max<LONG>(left, clip.left), std::max<LONG>(top, clip.top),
                 std::min<LONG>(right + 1, clip.right), std::min<LONG>(bottom + 1, clip.bottom)};
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        DeleteOwned(saved->surface);
        return -1;
    }
    if (saved->surface && (saved->surface->width < width || saved->surface->height < height))
        DeleteOwned(saved->surface);
    if (!saved->surface) saved->surface = work.CreateSameKind(width, height);
    if (!saved->surface) return -1;
    work.Blit(saved->surface, 0, 0, r.left, r.top, width, height, 0, 0, 0, 0);
    saved->rect = r;
    return 0;
}

void RestoreWindowRect(SpriteWindow* window, SavedRect* saved) {
    cSurface* surface = WorkSurface(window);
    if (!surface || !saved || !saved->surface) return;
    const RECT& r = saved->rect;
    window->host->addUpdateRect(window->appWindow, r);
    saved->surface->Blit(surface->GetImplementation(), r.left, r.top, 0, 0, r.right - r.left,
                         r.bottom - r.top, 0, 0, 0, 0);
}

void FreeSavedRect(SavedRect* saved) {
    if (saved) DeleteOwned(saved->surface);
}

void DrawImageToWindow(SpriteWindow* window, DWORD image, int x, int y, DWORD flags, DWORD ink,
                       LONG_PTR inkParam) {
    cSurface* surface = WorkSurface(window);
    const ImageItem* item = ImageItemOf(window, image);
    if (!surface || !item) return;
    if (flags & DrawImageAtHotSpot) x -= item->hotX, y -= item->hotY;
    int originX = 0, originY = 0;
    surface->GetOrigin(originX, originY);
    x -= originX, y -= originY;
    cSurfaceImplementation& work = *surface->GetImplementation();
    const BlitInk blit = TranslateInk(ink, inkParam);
    if (IsDriverSurface(work)) {
        // The image's texture, made on demand; the bank image itself while no display driver makes textures.
        if (cSurfaceImplementation* texture =
                GetImageTexture(window->host->context(window->appWindow), image, 0))
            texture->Blit(&work, x, y, 0, 0, static_cast<int>(item->width), static_cast<int>(item->height),
                          blit.mode, blit.ink, blit.parameter, blit.flags);
        else
            BlitBankImage(window, image, work, x, y, blit);
        return;
    }
    if (!BlitBankImage(window, image, work, x, y, blit)) return;
    const LONG width = static_cast<LONG>(item->width), height = static_cast<LONG>(item->height);
    AddSpriteUpdate(window, RECT{x, y, x + width, y + height}, ink);
}

void DrawBankImageToWindow(SpriteWindow* window, DWORD image, int x, int y, DWORD flags) {
    DrawImageToWindow(window, image, x, y, flags, (flags & DrawImageOpaque) ? 0 : InkTransparent, 0);
}
