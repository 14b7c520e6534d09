// The mouse of a frame whose objects move with it: captured by the frame window with the pointer hidden,
// and given back with the pointer where it was.
#pragma once

namespace vtrrt {

// Brings the pointer's display count to exactly `count` and keeps it in the run state.
void SetCursorCount(int count);
// With mouse players: the pointer position is kept, the frame window takes the mouse and the pointer is
// hidden (display count -1).
void CaptureMouse();
// With mouse players: the pointer is shown (display count 0), the capture released and the pointer put
// back where it was captured.
void ReleaseMouse();

} // namespace vtrrt
