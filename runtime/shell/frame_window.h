// The frame window: the play area of an application, a child of the main window.
#pragma once

#include "win32/user.h"

namespace vtrrt {

// Child id of the frame window.
constexpr int FrameWindowId = 300;

// Creates the current application's frame window through the library: a drawing window of class
// "Vt2EditClassTh" under `parent`, hidden until its first frame shows, with the keyboard focus. For an MDI
// application the main window's MDI client stands in for it. 0, or 2 when it is not made.
int CreateFrameWindow(win32::HWND parent, win32::DWORD style, win32::DWORD exStyle);

} // namespace vtrrt
