// Full screen and back: the display mode nearest to the application's window, the full-screen surface that
// holds the screen, the main window restyled and restored; and the menu bar shown and hidden with the
// window keeping its client size.
#pragma once

#include "win32/types.h"

#include <cstdint>

struct DisplayModeInfo;

namespace vtrrt {

struct ApplicationRecord;

// What the mode search looks for and the best mode it has found.
struct ModeSearch {
    std::int32_t wantedWidth = 0;
    std::int32_t wantedHeight = 0;
    std::int32_t wantedDepth = 0;
    std::int32_t bestWidth = 100000;
    std::int32_t bestHeight = 100000;
    std::int32_t bestDepth = 0; // 0: nothing found yet
    std::int32_t keepRatio = 0;
    std::int32_t pass = 0;  // 0: the smallest mode that holds the window; 1: the nearest mode
    double targetRatio = 0; // height / width
    double tolerance = 0;
};

// The mode enumeration's callback (its argument is a ModeSearch): 0 ends the enumeration at an exact match.
int MatchDisplayMode(const DisplayModeInfo* mode, void* search);

// Goes full screen in the mode found for the application's window; Services().fullScreen tells whether it
// did. With `setDisplayMode` the library context takes the mode's depth.
void SwitchToFullScreen(int setDisplayMode);
// Back to the window as it was.
void SwitchToWindow();
// An application without a parent that is full screen when it closes gives the screen back.
void RestoreDisplayModeOnClose(ApplicationRecord& app);

// Shows or hides the application's menu bar; a windowed main window that is not maximized grows or shrinks
// by the bar's height, so that its client area keeps its size.
void ShowMenuBar();
void HideMenuBar();

} // namespace vtrrt
