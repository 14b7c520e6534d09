// The MDI client of an MDI application's main window: its subclass procedure, its place, and the runtime's
// window-menu commands sent to it.
#pragma once

#include "win32/user.h"

namespace vtrrt {

// Keeps the MDI client on the main window's client area and passes input on; everything then goes to the
// procedure it replaced. Installed by SubclassMdiClient.
win32::LRESULT MdiClientWindowProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                   win32::LPARAM lParam);
void SubclassMdiClient(win32::HWND client);

// Gives the MDI client the main window's client area less the bands of the docked sub-applications.
void PlaceMdiClient();
// Lays out the docked sub-application windows along the main window's edges (top and bottom across the
// whole width, then left and right between them; the bands of shown ones widen the margins), then gives
// the MDI client what is left. Nothing while the main window's client area is empty.
void LayoutDockedSubApps();

// Menu commands 1026 to 1032: cascade, tile horizontally, tile vertically, arrange icons, next child,
// previous child, close the active child. False for any other command.
bool RunMdiCommand(int id);

} // namespace vtrrt
