// The runtime's own dialogs, from the program's dialog resources and owned by the main window: the paused
// dialog (also while the help file opens), the frame password, the keyboard set-up, the player controls
// and About.
#pragma once

#include "win32/user.h"

#include <cstdint>

namespace vtrrt {

enum RuntimeDialog : int {
    DialogPaused = 700,
    DialogKeyboardSetup = 701,
    DialogPassword = 703,
    DialogPlayerControls = 704,
    DialogAbout = 705,
};

// "Application paused": any command closes it with 1.
win32::INT_PTR ShowPausedDialog(win32::HWND owner);
// The paused dialog while the application's help file opens.
win32::INT_PTR ShowHelpLaunchDialog(win32::HWND owner);
// The frame whose password the user typed (without regard to case; the current frame's own never
// matches), or -1.
int AskFramePassword(win32::HWND owner);
// Lets the user choose the player's eight keys (up, down, left, right, buttons 1 to 4); they change only
// on OK (1). The dialog's result.
win32::INT_PTR ShowKeyboardSetupDialog(win32::HWND owner, std::uint16_t* keys);
// Lets the user choose each player's controls (the 36 words: four control types, then eight keys per
// player); they change only on OK.
void ShowPlayerControlsDialog(win32::HWND owner, std::uint16_t* controls);
win32::INT_PTR ShowAboutDialog(win32::HWND owner);

// The application's right-to-left options on a dialog's extended style.
void ApplyDialogLayoutOptions(win32::HWND dialog);
// Outlines the cells of the player-controls grid (4 players by 5 controls) and crosses each player's
// control; with a null DC the dialog's own is used.
void DrawControlsGrid(win32::HWND dialog, win32::HDC dc, const std::uint16_t* controls);

// The fonts the dialogs made for the run.
void FreeRuntimeDialogFonts();

} // namespace vtrrt
