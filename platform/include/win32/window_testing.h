// What tests use to drive the window layer: a clock they advance, and the pixels of a window's backing
// bitmap.
#pragma once

#include "win32/user.h"

namespace win32::testing {

// While the fake clock is on, message times and timers follow only AdvanceFakeClock.
void UseFakeClock(bool on);
void AdvanceFakeClock(DWORD milliseconds);

// The SDL window id of a top-level window, so that tests can push SDL events at it; 0 for child windows.
DWORD SdlWindowId(HWND window);

// The colour at (x, y) of the client area of a window, read from its top-level backing bitmap; the
// coordinates are relative to that window's own client area. CLR_INVALID (0xFFFFFFFF) outside it.
COLORREF ReadWindowPixel(HWND window, int x, int y);

// Copies what the top-level window last presented on its SDL window surface (client coordinates);
// CLR_INVALID when nothing was presented there.
COLORREF ReadPresentedPixel(HWND window, int x, int y);

} // namespace win32::testing
