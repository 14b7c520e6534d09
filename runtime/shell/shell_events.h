// The event engine's entry points that the window procedures raise. The engine installs them; while a slot
// is empty the input goes nowhere and a menu command or quit request is taken by no event.
#pragma once

#include "win32/user.h"

namespace vtrrt {

struct ShellEventRaisers {
    void (*keyDown)(int virtualKey) = nullptr;
    // A button-down or double-click message, at a point in frame-window coordinates.
    void (*mouseClick)(win32::UINT message, int x, int y) = nullptr;
    void (*mouseWheel)(int delta) = nullptr;
    // True when an event took the command.
    bool (*menuCommand)(int id) = nullptr;
    // True when the events keep the application running.
    bool (*quitRequest)() = nullptr;
    void (*resetUserIdleTime)() = nullptr;
    void (*filesDropped)(win32::HDROP drop) = nullptr;
    // The paused dialog closed: the run state's resume field and storyboard condition -8, as a resume by
    // key.
    void (*resumed)() = nullptr;
};

ShellEventRaisers& EventRaisers();

// Input rows that the main window, the frame window and the MDI client share.
void RaiseFilesDropped(win32::WPARAM drop);
void ResetUserIdleTimeUnlessPaused();

} // namespace vtrrt
