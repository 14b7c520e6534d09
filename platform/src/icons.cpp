// Icons made from packed bitmaps, and the icons a window is given: kept on the window, and shown as the SDL
// window's own for a top-level window.
#include "gdi_internal.h"
#include "handle_storage.h"
#include "win32/window_testing.h"
#include "window_internal.h"

#include <SDL.h>

#include <mutex>
#include <unordered_set>
#include <vector>

namespace win32 {

// The decoded picture, top row first, 0xAARRGGBB: alpha 0 where the mask leaves it out, else 255.
struct IconObject {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

namespace {

std::mutex iconLock;

std::unordered_set<const IconObject*>& LiveIcons() {
    static std::unordered_set<const IconObject*> icons;
    return icons;
}

bool IsIcon(HICON icon) {
    std::lock_guard guard(iconLock);
    return icon && LiveIcons().count(icon);
}

constexpr std::uint32_t Opaque = 0xFF000000u;

} // namespace

HICON CreateIconFromDib(const void* dib, std::size_t size) {
    if (!dib) return nullptr;
    const std::span<const BYTE> bytes(static_cast<const BYTE*>(dib), size);
    BitmapObject colour;
    std::size_t bitsAt = 0;
    if (!ReadPackedDib(bytes, &colour, &bitsAt)) return nullptr;
    // Icons store the mask's rows in the height as well.
    if (colour.height == 2 * colour.width) colour.height /= 2;
    if (colour.width > MaxIconSide || colour.height > MaxIconSide) return nullptr;
    BitmapObject mask = colour;
    mask.bpp = 1;
    mask.stride = ((colour.width + 31) / 32) * 4;
    // The mask's rows follow the colour rows.
    const std::size_t colourBytes = static_cast<std::size_t>(colour.stride) * colour.height;
    const std::size_t maskBytes = static_cast<std::size_t>(mask.stride) * mask.height;
    if (bytes.size() - bitsAt < colourBytes || bytes.size() - bitsAt - colourBytes < maskBytes)
        return nullptr;
    // Only read from here on.
    colour.bits = const_cast<BYTE*>(bytes.data() + bitsAt);
    mask.bits = colour.bits + colourBytes;

    auto* icon = detail::NewHandleObject<IconObject>();
    icon->width = colour.width;
    icon->height = colour.height;
    icon->argb.resize(static_cast<std::size_t>(colour.width) * colour.height);
    for (int y = 0; y < colour.height; ++y) {
        for (int x = 0; x < colour.width; ++x) {
            if (mask.LoadRaw(x, y)) continue;
            const COLORREF c = colour.Decode(colour.LoadRaw(x, y));
            icon->argb[static_cast<std::size_t>(y) * colour.width + x] =
                Opaque | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
                (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
        }
    }
    std::lock_guard guard(iconLock);
    LiveIcons().insert(icon);
    return icon;
}

BOOL DestroyIcon(HICON icon) {
    {
        std::lock_guard guard(iconLock);
        if (!icon || !LiveIcons().erase(icon)) return FALSE;
    }
    detail::DeleteHandleObject(icon);
    return TRUE;
}

LRESULT SetWindowIcon(WindowObject* w, WPARAM kind, HICON icon) {
    if (kind != ICON_SMALL && kind != ICON_BIG) return 0;
    if (icon && !IsIcon(icon)) return 0;
    const HICON previous = w->icons[kind];
    w->icons[kind] = icon;
    // SDL keeps a copy of the picture; the big icon is preferred when there are both.
    const HICON shown = w->icons[ICON_BIG] ? w->icons[ICON_BIG] : w->icons[ICON_SMALL];
    if (w->sdl && shown) {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            shown->argb.data(), shown->width, shown->height, 32, shown->width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            SDL_SetWindowIcon(w->sdl, surface);
            SDL_FreeSurface(surface);
        }
    }
    return reinterpret_cast<LRESULT>(previous);
}

HICON WindowIcon(const WindowObject* w, WPARAM kind) {
    return kind == ICON_SMALL || kind == ICON_BIG ? w->icons[kind] : nullptr;
}

namespace testing {

SIZE IconSize(HICON icon) {
    return IsIcon(icon) ? SIZE{icon->width, icon->height} : SIZE{0, 0};
}

COLORREF ReadIconPixel(HICON icon, int x, int y) {
    constexpr COLORREF None = 0xFFFFFFFF;
    if (!IsIcon(icon) || x < 0 || y < 0 || x >= icon->width || y >= icon->height) return None;
    const std::uint32_t p = icon->argb[static_cast<std::size_t>(y) * icon->width + x];
    if (!(p & Opaque)) return None;
    return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

} // namespace testing

} // namespace win32
