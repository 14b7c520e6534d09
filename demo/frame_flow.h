// The demo's frames follow one another: the title waits for a key or a click, the level goes back to the
// title on Escape or after a while.
#pragma once

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Seconds the level shows before the title comes back.
constexpr int LevelSeconds = 60;

// A condition or action of a system object, with its parameters.
appwriter::EventRecordDesc Record(std::int16_t type, std::int16_t number,
                                  std::vector<appwriter::EventParameterDesc> parameters = {});

// `titleExtras` and `levelExtras` are further events of the title and of the level; `objectInfos` is the
// number of the application's object infos, among which the level's events find the objects they name.
void AddFrameFlow(appwriter::FrameContents& title, appwriter::FrameContents& level,
                  const std::vector<appwriter::EventGroupDesc>& titleExtras = {},
                  const std::vector<appwriter::EventGroupDesc>& levelExtras = {},
                  std::uint16_t objectInfos = 0);
