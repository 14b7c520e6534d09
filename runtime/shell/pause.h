// Pausing the running frame: pauses nest, and only the outermost pause and its resume stop and restart the
// frame's clocks, so that paused time does not count.
#pragma once

namespace vtrrt {

void PauseApplication();
// Nothing when the frame is not paused.
void ResumeApplication();
bool ApplicationPaused();

} // namespace vtrrt
