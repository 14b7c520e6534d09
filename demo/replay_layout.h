// The loops at which the demo's recording and replay copies of the game stop in the paused dialog, for the
// script that records a play-through and for the test that replays it.
#pragma once

#include <array>

// Counted from the first loop the level's events see; all come before the recorded play-through reaches the
// door (the recording script checks that the replay stopped at each).
constexpr std::array<int, 3> CheckpointLoops{100, 320, 540};
// The global value that counts the level's loops.
constexpr int LoopCountValue = 2;
// The file of the recorded play-through of the first level, in tests/fixtures, and the checkpoints seen
// while it was recorded.
constexpr const char* RecordingFixture = "demo_level1.vrc";
constexpr const char* CheckpointFixture = "demo_level1_checkpoints.txt";
