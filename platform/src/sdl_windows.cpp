// Top-level windows as SDL windows: their backing bitmaps, presentation, system metrics and test access.
#include "menu_internal.h"
#include "win32/kernel.h"
#include "window_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace win32 {
namespace {
constexpr const char* kWindowKey = "win32.window";
} // namespace

bool EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // The system's own window framebuffer: an accelerated one would have SDL make the window again at its
    // first present, where it was created rather than where it was moved since.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // SDL's quit event then means only an interrupt or termination signal (see PumpSdlEvents).
    SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    WatchDisplayConnection();
    IgnoreXErrors();
    return true;
}

SIZE DesktopSize() {
    static const SIZE desktop = [] {
        SDL_DisplayMode mode{};
        if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
            mode.w = 1024, mode.h = 768;
        return SIZE{mode.w, mode.h};
    }();
    return desktop;
}

namespace {

SIZE ClientSize(WindowObject* w) {
    RECT client;
    GetClientRect(w, &client);
    return SIZE{client.right, client.bottom};
}

// The SDL window shows the menu bar above the client area: its top-left corner is the bar's.
POINT SdlOrigin(WindowObject* w) {
    const RECT in = FrameInsets(w->style, w->exStyle, w->menu != nullptr);
    return POINT{w->rect.left + in.left, w->rect.top + in.top - MenuBarHeight(w)};
}

SIZE SdlSize(WindowObject* w) {
    const SIZE client = ClientSize(w);
    return SIZE{std::max<LONG>(1, client.cx), std::max<LONG>(1, client.cy) + MenuBarHeight(w)};
}

void Blit(const BitmapObject& bitmap, SDL_Surface* screen, POINT at) {
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(bitmap.bits, bitmap.width, bitmap.height, 32,
                                                             bitmap.stride, SDL_PIXELFORMAT_RGB888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Rect place{at.x, at.y, bitmap.width, bitmap.height};
    SDL_BlitSurface(source, nullptr, screen, &place);
    SDL_FreeSurface(source);
}

// Where a window's own layout (menu bar and client area) lies on its SDL surface: the whole surface, or in
// full screen the largest rectangle of the layout's ratio, centred.
SDL_Rect ShownRect(WindowObject* w, int surfaceWidth, int surfaceHeight) {
    const SIZE own = SdlSize(w);
    if (!w->fullScreen || (own.cx == surfaceWidth && own.cy == surfaceHeight))
        return SDL_Rect{0, 0, own.cx, own.cy};
    int width = surfaceWidth, height = surfaceHeight;
    if (static_cast<long long>(own.cx) * surfaceHeight >= static_cast<long long>(own.cy) * surfaceWidth)
        height = std::max(1, static_cast<int>(static_cast<long long>(own.cy) * surfaceWidth / own.cx));
    else
        width = std::max(1, static_cast<int>(static_cast<long long>(own.cx) * surfaceHeight / own.cy));
    return SDL_Rect{(surfaceWidth - width) / 2, (surfaceHeight - height) / 2, width, height};
}

void Compose(WindowObject* w, SDL_Surface* target) {
    Blit(*w->backing, target, POINT{0, MenuBarHeight(w)});
    ForEachMenuLayer(w, [&](const BitmapObject& layer, POINT at) { Blit(layer, target, at); });
}

// Copies the window's picture to its SDL window: the whole of it (no areas named), or only the areas of the
// backing that were drawn, with what the menus show over them: all that a game's loop changes most of the
// time.
void Present(WindowObject* w, const std::vector<RECT>& drawn) {
    if (!w->sdl || !w->backing || !(w->style & WS_VISIBLE)) return;
    SDL_Surface* screen = SDL_GetWindowSurface(w->sdl);
    if (!screen) return;
    const SDL_Rect shown = ShownRect(w, screen->w, screen->h);
    const SIZE own = SdlSize(w);
    const bool unscaled = shown.w == own.cx && shown.h == own.cy && shown.x == 0 && shown.y == 0;
    const bool sameSurface = screen == w->shownSurface && screen->pixels == w->shownPixels &&
                             screen->w == w->shownSize.cx && screen->h == w->shownSize.cy;
    w->shownSurface = screen;
    w->shownPixels = screen->pixels;
    w->shownSize = SIZE{screen->w, screen->h};
    // A window never presented, or on a new surface, shows nothing yet of its own: it is presented whole.
    if (unscaled && !drawn.empty() && w->presented && sameSurface) {
        std::vector<SDL_Rect> areas;
        for (const RECT& r : drawn) {
            SDL_Rect area{r.left, r.top + MenuBarHeight(w), r.right - r.left, r.bottom - r.top};
            if (!SDL_IntersectRect(&area, &shown, &area)) continue;
            SDL_SetClipRect(screen, &area);
            Compose(w, screen);
            areas.push_back(area);
        }
        SDL_SetClipRect(screen, nullptr);
        if (!areas.empty())
            SDL_UpdateWindowSurfaceRects(w->sdl, areas.data(), static_cast<int>(areas.size()));
        return;
    }
    if (unscaled) {
        Compose(w, screen);
    } else if (SDL_Surface* layout =
                   SDL_CreateRGBSurfaceWithFormat(0, own.cx, own.cy, 32, screen->format->format)) {
        Compose(w, layout);
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
        SDL_Rect place = shown;
        SDL_BlitScaled(layout, nullptr, screen, &place);
        SDL_FreeSurface(layout);
    }
    SDL_UpdateWindowSurface(w->sdl);
    w->presented = true;
}

// What the SDL window surface shows at a point of it, or CLR_INVALID.
COLORREF SurfacePixel(WindowObject* top, int x, int y) {
    SDL_Surface* screen = top && top->sdl && top->presented ? SDL_GetWindowSurface(top->sdl) : nullptr;
    if (!screen) return 0xFFFFFFFF;
    if (top->fullScreen) {
        const SDL_Rect shown = ShownRect(top, screen->w, screen->h);
        const SIZE own = SdlSize(top);
        if (x < 0 || y < 0 || x >= own.cx || y >= own.cy) return 0xFFFFFFFF;
        x = shown.x + static_cast<int>(static_cast<long long>(x) * shown.w / own.cx);
        y = shown.y + static_cast<int>(static_cast<long long>(y) * shown.h / own.cy);
    }
    if (x < 0 || y < 0 || x >= screen->w || y >= screen->h) return 0xFFFFFFFF;
    SDL_LockSurface(screen);
    const auto* row = static_cast<const Uint8*>(screen->pixels) + y * screen->pitch;
    Uint32 pixel = 0;
    std::memcpy(&pixel, row + x * screen->format->BytesPerPixel, screen->format->BytesPerPixel);
    SDL_UnlockSurface(screen);
    Uint8 r, g, b;
    SDL_GetRGB(pixel, screen->format, &r, &g, &b);
    return RGB(r, g, b);
}

} // namespace

void CreateSdlWindow(WindowObject* w) {
    const SIZE size = ClientSize(w);
    w->backing = NewBitmap(std::max<LONG>(1, size.cx), std::max<LONG>(1, size.cy), 32, true);
    if (!EnsureVideo()) return;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (w->style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((w->style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    const POINT origin = SdlOrigin(w);
    const SIZE sdlSize = SdlSize(w);
    w->sdl =
        SDL_CreateWindow(win32::ToUtf8(w->title).c_str(), origin.x, origin.y, sdlSize.cx, sdlSize.cy, flags);
    if (w->sdl) SDL_SetWindowData(w->sdl, kWindowKey, w);
}

void DestroySdlWindow(WindowObject* w) {
    if (w->sdl) {
        SDL_SetWindowData(w->sdl, kWindowKey, nullptr);
        SDL_DestroyWindow(w->sdl);
        w->sdl = nullptr;
    }
    FreeBitmap(w->backing);
    w->backing = nullptr;
}

void ResizeBacking(WindowObject* w) {
    const SIZE size = ClientSize(w);
    const int width = std::max<LONG>(1, size.cx), height = std::max<LONG>(1, size.cy);
    if (!w->backing || (w->backing->width == width && w->backing->height == height)) return;
    BitmapObject* fresh = NewBitmap(width, height, 32, true);
    if (!fresh) return;
    const int rows = std::min(height, w->backing->height);
    const int bytes = std::min(width, w->backing->width) * 4;
    for (int y = 0; y < rows; ++y)
        std::memcpy(fresh->Row(y), w->backing->Row(y), static_cast<std::size_t>(bytes));
    FreeBitmap(w->backing);
    w->backing = fresh;
    w->dirty = true;
}

POINT FromSdlWindow(WindowObject* w, int x, int y) {
    if (!w || !w->sdl || !w->fullScreen) return POINT{x, y};
    int surfaceWidth = 0, surfaceHeight = 0;
    SDL_GetWindowSize(w->sdl, &surfaceWidth, &surfaceHeight);
    const SDL_Rect shown = ShownRect(w, surfaceWidth, surfaceHeight);
    const SIZE own = SdlSize(w);
    if (shown.w <= 0 || shown.h <= 0) return POINT{x, y};
    return POINT{static_cast<LONG>(static_cast<long long>(x - shown.x) * own.cx / shown.w),
                 static_cast<LONG>(static_cast<long long>(y - shown.y) * own.cy / shown.h)};
}

// A bare X server has no window manager to take the request for desktop full screen, and the window stays
// as it was: it then covers the display itself, borderless.
void CoverDisplayWhenNotFull(WindowObject* w) {
    if (!w || !w->sdl || w->coversDisplay) return;
    const int display = SDL_GetWindowDisplayIndex(w->sdl);
    SDL_Rect bounds{};
    int width = 0, height = 0;
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return;
    SDL_GetWindowSize(w->sdl, &width, &height);
    if (width == bounds.w && height == bounds.h) return;
    SDL_SetWindowFullscreen(w->sdl, 0);
    w->borderedBeforeCover = !(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_BORDERLESS);
    SDL_SetWindowBordered(w->sdl, SDL_FALSE);
    SDL_SetWindowPosition(w->sdl, bounds.x, bounds.y);
    SDL_SetWindowSize(w->sdl, bounds.w, bounds.h);
    w->coversDisplay = true;
}

namespace {

// Full screen follows the window: in while it covers the set mode's screen, out as soon as it does not.
void SyncFullScreen(WindowObject* w) {
    const bool wanted = CoversSetScreen(w);
    if (wanted == w->fullScreen) return;
    if (wanted) {
        if (SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return;
        CoverDisplayWhenNotFull(w);
    } else if (w->coversDisplay) {
        SDL_SetWindowBordered(w->sdl, w->borderedBeforeCover ? SDL_TRUE : SDL_FALSE);
        w->coversDisplay = false;
    } else {
        SDL_SetWindowFullscreen(w->sdl, 0);
    }
    w->fullScreen = wanted;
    w->dirty = true;
}

} // namespace

void SyncSdlWindow(WindowObject* w) {
    ResizeBacking(w);
    if (!w->sdl) return;
    SyncFullScreen(w);
    if (w->fullScreen) {
        SDL_SetWindowTitle(w->sdl, win32::ToUtf8(w->title).c_str());
        return;
    }
    const SIZE size = SdlSize(w);
    int cw = 0, ch = 0, x = 0, y = 0;
    SDL_GetWindowSize(w->sdl, &cw, &ch);
    if (cw != size.cx || ch != size.cy) {
        SDL_SetWindowSize(w->sdl, size.cx, size.cy);
        w->dirty = true;
    }
    const POINT origin = SdlOrigin(w);
    SDL_GetWindowPosition(w->sdl, &x, &y);
    if (x != origin.x || y != origin.y) SDL_SetWindowPosition(w->sdl, origin.x, origin.y);
    SDL_SetWindowTitle(w->sdl, win32::ToUtf8(w->title).c_str());
    const bool shown = (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) != 0;
    if ((w->style & WS_VISIBLE) && !shown) {
        SDL_ShowWindow(w->sdl);
        w->dirty = true;
    } else if (!(w->style & WS_VISIBLE) && shown) {
        SDL_HideWindow(w->sdl);
    }
    const Uint32 flags = SDL_GetWindowFlags(w->sdl);
    if ((w->style & WS_MINIMIZE) && (w->style & WS_VISIBLE) && !(flags & SDL_WINDOW_MINIMIZED))
        SDL_MinimizeWindow(w->sdl);
    else if (!(w->style & (WS_MINIMIZE | WS_MAXIMIZE)) &&
             (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)))
        SDL_RestoreWindow(w->sdl);
}

HWND WindowFromSdlId(std::uint32_t id) {
    SDL_Window* sdl = SDL_GetWindowFromID(id);
    return sdl ? Win(static_cast<HWND>(SDL_GetWindowData(sdl, kWindowKey))) : nullptr;
}

void MarkWindowDrawn(HWND window) {
    if (WindowObject* top = Win(TopLevelOf(window))) top->dirty = true;
}

void MarkWindowDrawn(HWND window, const RECT& backingArea) {
    WindowObject* top = Win(TopLevelOf(window));
    if (!top || top->dirty) return;
    // A few separate areas (the objects a loop moved, far apart) are copied apart; overlapping ones as one.
    constexpr std::size_t MostAreas = 16;
    RECT area = backingArea;
    for (std::size_t i = 0; i < top->drawn.size();) {
        if (RECT common{}; IntersectRect(&common, &top->drawn[i], &area)) {
            UnionRect(&area, &area, &top->drawn[i]);
            top->drawn[i] = top->drawn.back();
            top->drawn.pop_back();
            i = 0;
        } else {
            ++i;
        }
    }
    if (top->drawn.size() == MostAreas) {
        for (const RECT& r : top->drawn)
            UnionRect(&area, &area, &r);
        top->drawn.clear();
    }
    top->drawn.push_back(area);
}

void PresentDirtyWindows() {
    DrawPendingMenuBars();
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
        if (top->dirty) {
            top->dirty = false;
            top->drawn.clear();
            Present(top, {});
        } else if (!top->drawn.empty()) {
            const std::vector<RECT> drawn = std::move(top->drawn);
            top->drawn.clear();
            Present(top, drawn);
        }
    }
}

int GetSystemMetrics(int index) {
    const SIZE desktop = ScreenSize();
    const RECT thick = FrameInsets(WS_THICKFRAME, 0, false);
    const RECT dialog = FrameInsets(WS_DLGFRAME, 0, false);
    const RECT caption = FrameInsets(WS_CAPTION, 0, false);
    const RECT menu = FrameInsets(0, 0, true);
    switch (index) {
    case SM_CXSCREEN:
        return desktop.cx;
    case SM_CYSCREEN:
        return desktop.cy;
    case SM_CYCAPTION:
        return caption.top - dialog.top;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return FrameInsets(WS_BORDER, 0, false).left;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return dialog.left;
    case SM_CYMENU:
        return menu.top;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return thick.left;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return ScrollBarThickness;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return FrameInsets(0, WS_EX_CLIENTEDGE, false).left;
    case SM_CXMAXTRACK:
    case SM_CXMAXIMIZED:
        return desktop.cx + 2 * thick.left;
    case SM_CYMAXTRACK:
    case SM_CYMAXIMIZED:
        return desktop.cy + 2 * thick.top;
    default:
        return 0;
    }
}

LONG DwmFlush() {
    constexpr int kDefaultRefresh = 60;
    SDL_DisplayMode mode{};
    const int refresh = EnsureVideo() && SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0
                            ? mode.refresh_rate
                            : kDefaultRefresh;
    // Blanks come at whole periods of the refresh rate on the layer's clock; a fake clock never waits.
    const DWORD period = std::max(1, 1000 / refresh);
    const DWORD now = LayerTime();
    const DWORD next = (now / period + 1) * period;
    if (!UsingFakeClock() && next > now) SDL_Delay(next - now);
    return 0;
}

namespace testing {

DWORD SdlWindowId(HWND window) {
    WindowObject* w = Win(window);
    return w && w->sdl && !IsChild(w) ? SDL_GetWindowID(w->sdl) : 0;
}

COLORREF ReadWindowPixel(HWND window, int x, int y) {
    WindowObject* top = Win(TopLevelOf(window));
    if (!top || !top->backing) return 0xFFFFFFFF;
    const RECT client = ClientInTopLevel(window);
    const POINT p{client.left + x, client.top + y};
    const RECT bounds{0, 0, top->backing->width, top->backing->height};
    if (!PtInRect(&client, p) || !PtInRect(&bounds, p)) return 0xFFFFFFFF;
    return top->backing->Decode(top->backing->LoadRaw(p.x, p.y));
}

COLORREF ReadPresentedPixel(HWND window, int x, int y) {
    WindowObject* top = Win(TopLevelOf(window));
    if (!top) return 0xFFFFFFFF;
    const RECT client = ClientInTopLevel(window);
    return SurfacePixel(top, client.left + x, client.top + MenuBarHeight(top) + y);
}

COLORREF ReadSdlWindowPixel(HWND window, int x, int y) {
    WindowObject* top = Win(window);
    if (!top || IsChild(top)) return 0xFFFFFFFF;
    PresentDirtyWindows();
    return SurfacePixel(top, x, y);
}

} // namespace testing

} // namespace win32
