// Pausing the running frame: pauses nest, and only the outermost pause and its resume stop and restart the
// frame's clocks, so that paused time does not count.
#pragma once

namespace vtrrt {

void PauseApplication();
// Nothing when the frame is not paused.
void ResumeApplication();
bool ApplicationPaused();

// Routine slots 7 and 8 of the run state, for extensions: one pause level more or less; 0.
int PauseService(void*, void*, void*);
int ResumeService(void*, void*, void*);

// The pointer shown (the display count brought to 0 or more) or hidden (below 0); the run state keeps the
// count reached, which ShowPointer returns.
int ShowPointer();
void HidePointer();

// One level of pause for the modal loops of menus, scroll bars and window moves, on the top-level
// application: its outermost pause stops a running frame, or keeps it stepping on window timer 11 when the
// application runs in modal loops; a second pause before the resume does nothing.
void PauseFrameTimer();
void ResumeFrameTimer();

} // namespace vtrrt
