// One game loop of the running frame, and the reset of the run state's clocks and limits.
#pragma once

#include <cstdint>

namespace vtrrt {

void InitFrameRunState();
// The exit code when one is set, else the run state's result word.
int GameLoopStep();
void ReadPlayerControls();
void UpdateMousePosition();
// For a frame whose players move with the mouse: the pointer's motion from the cursor centre (the pointer
// put back there), and, unless a recording plays, the mouse buttons as button bits 0x10 (left) and 0x20
// (right) of each mouse player.
void ReadMouseStep();

} // namespace vtrrt
