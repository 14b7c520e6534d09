// The procedures of the program's two window classes: the main window (menu, size, system commands, input)
// and the frame window (the play area), and the runtime's menu commands.
#pragma once

#include "shell/full_screen.h"

#include "win32/user.h"

namespace vtrrt {

win32::LRESULT MainWindowProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                              win32::LPARAM lParam);
win32::LRESULT FrameWindowProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                               win32::LPARAM lParam);

// Carries out a runtime menu command (WM_COMMAND from the menu or a shortcut); true when it handled it and
// the default handling should not run.
bool RunMenuCommand(win32::HWND window, int id);

// Posts a menu command to the frame windows of the running sub-applications: to each that is no MDI child,
// keeps its own activation, or is the active MDI child (all of them when none is active).
void ForwardCommandToSubApps(win32::WPARAM id, win32::LPARAM lParam);

// Set while DestroyMainWindow runs: the main window then handles only WM_DESTROY.
bool& MainWindowClosing();

// The window timer that steps the machine inside modal loops.
constexpr win32::UINT_PTR ModalStepTimer = 11;

} // namespace vtrrt
