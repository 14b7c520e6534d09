// One game loop of the running frame, and the reset of the run state's clocks and limits.
#pragma once

#include <cstdint>

namespace vtrrt {

void InitFrameRunState();
// The exit code when one is set, else the run state's result word.
int GameLoopStep();
void ReadPlayerControls();
void UpdateMousePosition();

} // namespace vtrrt
