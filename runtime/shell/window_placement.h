// The screen size, and the place and size of the main window and of the frame window inside it.
#pragma once

#include "win32/user.h"

namespace vtrrt {

struct ApplicationRecord;

// Learns the screen size; 0.
int InitSystemInfo();

// A child window's rectangle in its parent's client coordinates.
win32::RECT RectInParent(win32::HWND window);

// ScreenWidth and ScreenHeight: the monitor that holds the main window, or the primary screen before there
// is one.
void UpdateScreenSize();

// Where the frame window goes in the main window's client area: centred at the frame's size, or fitted to
// the client area (keeping the frame's ratio when the header asks).
win32::RECT FitFrameRect(const ApplicationRecord& app);

// Sizes the main window for the application's window size (its client area, menu counted) and centres it
// on its monitor; never wider or taller than the monitor, never at a negative position.
void CenterMainWindow(const ApplicationRecord& app);

// Puts the current application's frame window where its header wants it in the main window: the frame's
// size centred, scaled to the client area keeping its ratio, or the whole client area.
void FitFrameWindow();

// Makes a main window that is not maximized at most the screen's size and moves it back so that its right
// and bottom edges are on the screen.
void KeepMainWindowOnScreen();

// Before a frame of the top application shows: a hidden main window takes its style and is centred; a
// hidden frame window is fitted.
void PlaceWindowsForFrame(ApplicationRecord& app);
// Shows the frame window and, the first time, the main window (maximized when the header asks it).
void ShowWindowsForFrame(ApplicationRecord& app);
// A frame that shows the desktop behind it: a hidden main window maximized when the header asks it, the
// frame window refitted, and what lies behind it taken into the frame window's surface.
void ShowDesktopBehindFrame(ApplicationRecord& app);
// The desktop behind the window cannot be read on this platform: the frame window's work surface takes the
// frame's background colour in its place.
void CaptureScreenBehindWindow();

} // namespace vtrrt
