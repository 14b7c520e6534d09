// Pausing the running frame: pauses nest, and only the outermost pause and its resume stop and restart the
// frame's clocks, so that paused time does not count.
#pragma once

namespace vtrrt {

void PauseApplication();
// Nothing when the frame is not paused.
void ResumeApplication();
bool ApplicationPaused();

// One level of pause for the modal loops of menus, scroll bars and window moves, on the top-level
// application: its outermost pause stops a running frame, or keeps it stepping on window timer 11 when the
// application runs in modal loops; a second pause before the resume does nothing.
void PauseFrameTimer();
void ResumeFrameTimer();

} // namespace vtrrt
