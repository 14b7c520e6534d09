// The virtual screen from SDL's displays.
#include "win32/screen.h"

#include <SDL.h>

#include <algorithm>

namespace win32 {

namespace {

// Keeps SDL's video part up for the question when nobody has started it yet, and puts it back after.
class VideoScope {
public:
    VideoScope() : started_(SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
    ~VideoScope() {
        if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    bool Ready() const { return started_ || SDL_WasInit(SDL_INIT_VIDEO) != 0; }

private:
    bool started_;
};

bool DisplayUnion(RECT& out) {
    const int count = SDL_GetNumVideoDisplays();
    bool any = false;
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) continue;
        const RECT r{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
        out = any ? RECT{std::min(out.left, r.left), std::min(out.top, r.top), std::max(out.right, r.right),
                         std::max(out.bottom, r.bottom)}
                  : r;
        any = true;
    }
    return any;
}

} // namespace

void GetVirtualScreenBounds(RECT* rect) {
    if (!rect) return;
    *rect = {0, 0, 0, 0};
    VideoScope video;
    if (!video.Ready()) return;
    if (DisplayUnion(*rect)) return;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) *rect = {0, 0, mode.w, mode.h};
}

} // namespace win32
