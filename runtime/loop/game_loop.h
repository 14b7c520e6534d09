// One game loop of the running frame, and the reset of the run state's clocks and limits.
#pragma once

#include <cstdint>

namespace vtrrt {

// Nanoseconds spent in the passes of the game loops run while the frame's run state points at it: the
// events (the controls' raises, the timed and every-loop events), the objects (their movements and
// animations, then their refresh and destruction), the display, and whole loops (which also hold the tick
// test, the clocks and the reading of the controls).
// A frame's run state points at it (FrameRunState::passTimes) while a caller measures that frame.
struct LoopPassTimes {
    std::int64_t events = 0;
    std::int64_t objects = 0;
    std::int64_t display = 0;
    std::int64_t loop = 0;
    std::int64_t loops = 0;
};

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
