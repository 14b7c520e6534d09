// A key of the keyboard pressed or let go over a window, as SDL reports it: the platform layer turns it
// into the window's key messages when it next reads its queue.
#pragma once

#include "win32/window_testing.h"

#include <SDL.h>

namespace test_support {

inline bool PushKey(win32::HWND window, SDL_Scancode scancode, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = win32::testing::SdlWindowId(window);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    return SDL_PushEvent(&e) == 1;
}

} // namespace test_support
