// What tests use to drive the window layer: a clock they advance, and the pixels of a window's backing
// bitmap.
#pragma once

#include "win32/user.h"

namespace win32::testing {

// While the fake clock is on, message times, timers and timeGetTime follow only AdvanceFakeClock.
void UseFakeClock(bool on);
void AdvanceFakeClock(DWORD milliseconds);

// Lets go of every key and button the layer holds down, the capture and the last click, as a fresh process
// starts; tests that press keys or buttons begin with it so that none is left over from an earlier test.
void ResetInputState();

// The SDL window id of a top-level window, so that tests can push SDL events at it; 0 for child windows.
DWORD SdlWindowId(HWND window);

// The X window behind a top-level window when SDL runs on X (0 otherwise), and a client message sent to an
// X window over SDL's connection, as SDL does to wake its event wait; it returns once the server answered.
// XErrorsSeen counts the X errors the layer has reported and let pass.
unsigned long XWindowOf(HWND window);
void SendXClientMessage(unsigned long xwindow);
int XErrorsSeen();

// The colour at (x, y) of the client area of a window, read from its top-level backing bitmap; the
// coordinates are relative to that window's own client area. CLR_INVALID (0xFFFFFFFF) outside it.
COLORREF ReadWindowPixel(HWND window, int x, int y);

// An icon's size (0 x 0 for a handle that is no icon), and its colour at (x, y) from the top row:
// CLR_INVALID (0xFFFFFFFF) outside it and where its mask leaves it out.
SIZE IconSize(HICON icon);
COLORREF ReadIconPixel(HICON icon, int x, int y);

// Copies what the top-level window last presented on its SDL window surface (client coordinates);
// CLR_INVALID when nothing was presented there.
COLORREF ReadPresentedPixel(HWND window, int x, int y);

// Presents what changed, then reads the SDL window surface of a top-level window in SDL window
// coordinates: the menu bar's rows first, then the client area. CLR_INVALID outside it or for child windows.
COLORREF ReadSdlWindowPixel(HWND window, int x, int y);

// Where an item of a top-level window's menu bar, or of one of its open popups, is shown, in SDL window
// coordinates; FALSE when that menu is not shown there.
BOOL GetShownMenuItemRect(HWND window, HMENU menu, int position, RECT* rect);

// A virtual joystick the system lists after the real ones (its index, or -1); its axes and buttons are set
// by SetTestJoystick (axis -1 or button -1: left as it is; axis values 0 to 65535). DetachTestJoysticks
// removes them all.
int AttachTestJoystick(int axes, int buttons);
void SetTestJoystick(int index, int axis, int value, int button, bool pressed);
void DetachTestJoysticks();
// Stands in for SDL's list of display modes (sizes; the desktop keeps its own size), so that mode searches
// see the same list on every machine; an empty list goes back to SDL's.
void SetDisplayModes(const SIZE* sizes, int count);

} // namespace win32::testing
