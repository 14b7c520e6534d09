// The demo's frames follow one another: the title waits for a key or a click, the level goes back to the
// title after a while.
#pragma once

#include "appwriter/frame_writer.h"

// Seconds the level shows before the title comes back.
constexpr int LevelSeconds = 3;

void AddFrameFlow(appwriter::FrameContents& title, appwriter::FrameContents& level);
