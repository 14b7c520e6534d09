// The "How to play" frame: the game's instructions in a rich text object, formatted (bold, colours, a
// highlighter mark) and longer than its view, with a vertical scroll bar; Help > How to play (Ctrl+H) opens
// it from the title and the levels, and Escape gives the title back.
#pragma once

#include "demo_objects.h"
#include "how_to_play_layout.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// Object handle of the instructions.
constexpr std::uint16_t Instructions = 60;

void AddHowToPlayObjects(DemoObjects& all);
// The frame, with its events written for an application of `objectInfos` object infos.
appwriter::FrameDesc DescribeHowToPlay(std::uint16_t objectInfos);
// The group that opens the frame when Help > How to play is chosen.
appwriter::EventGroupDesc ShowHowToPlay();
