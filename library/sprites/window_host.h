// What the sprites need of the window they are drawn in: its surfaces, its area, its update area and its
// application context. The window layer, above the sprites, fills one table and hands it to each window's
// sprite record with the window (SpriteWindow::host); the sprites call through it instead of calling up.
#pragma once

#include "vtrs2/sprite_window.h"
#include "win32/types.h"

class cSurface;
struct AppContext;

struct SpriteWindowHost {
    // 0: the work surface, 1: the background copy; null when the window has none.
    cSurface* (*surface)(AppWindow* window, int which);
    // The window takes the copy as its background copy, and frees it with the window.
    void (*keepBackgroundCopy)(AppWindow* window, cSurface* copy);
    // The drawing area, from (0, 0).
    win32::RECT (*area)(AppWindow* window);
    void (*addUpdateRect)(AppWindow* window, const win32::RECT& rect);
    AppContext* (*context)(AppWindow* window);
};

namespace sprites {

// The window of a sprite record, or null for a record that only tests collisions.
inline bool HasWindow(const SpriteWindow* window) {
    return window && window->appWindow && window->host;
}

} // namespace sprites
