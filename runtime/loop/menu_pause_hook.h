// The hook that stops the game's clock while the system runs a modal loop for a menu, a scroll bar or a
// move or size of the window.
#pragma once

#include "win32/user.h"

namespace vtrrt {

win32::LRESULT MenuPauseHookProc(int code, win32::WPARAM wParam, win32::LPARAM lParam);
// The hook is installed once per process, on the calling thread, and removed at the end of the run.
void InstallMenuPauseHook();
void RemoveMenuPauseHook();

} // namespace vtrrt
