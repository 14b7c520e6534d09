// Starting, ticking and ending the current frame, and choosing what follows from its exit code.
#pragma once

#include "win32/types.h"

#include <cstdint>

class cSurface;

namespace vtrrt {

struct FrameRecord;

// 0, a string-table error code (> 0) or -1 (the frame could not be loaded).
int StartCurrentFrame();
// Builds the current frame's run: its objects, values and prepared events. A failure is reported (the frame,
// and the events chunk's place when its program does not hold together), everything the start built is
// freed again, and the result is -1.
int StartFrameRun(bool fadeIn);
// 0 while the frame goes on, else the frame's end code.
int FrameTick();
// (exit parameter << 16) | code as 16 bits; codes of 101 and above are reported as -2.
std::uint32_t EndFrameRun(int code);
// Ends the current frame and sets the next state: another frame, a restart, or quit.
void EndCurrentFrame();
// The play area's obstacle and platform planes, with a margin around it; a frame larger than its window
// gets them over the whole frame. 0 when they cannot be made.
int CreateFrameCollisionMask(const FrameRecord& frame);
// Ends a fade-in: the frame's clocks go on from where the first tick left them.
void RefreshAfterFadeIn();
// The lost-device callback of a frame's screen surface (its argument is the ApplicationRecord): lets go of
// the surfaces that were made on the lost device.
void OnSurfaceLost(cSurface* owner, win32::LPARAM argument);

} // namespace vtrrt
