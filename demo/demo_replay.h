// Copies of the game for a recorded play-through of the first level: one whose first level records its
// input into a file, one whose first level plays such a file back from its start. Both count the level's
// loops; the one that plays back stops in the runtime's paused dialog at the loops replay_layout.h gives, so
// that pictures taken there show the same moment of the game each time it is replayed.
#pragma once

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <cstdint>
#include <string>
#include <vector>

struct InputTape {
    std::u16string recordTo; // the level records its input into this file
    std::u16string playFrom; // the level plays this recording back, in place of the real input
};

// Adds the tape's recording or playback and the stops at fixed loops to a level: its contents, its frame
// flags and its events.
void AddInputTape(const InputTape& tape, appwriter::FrameContents& level, std::uint32_t& frameFlags,
                  std::vector<appwriter::EventGroupDesc>& events);
