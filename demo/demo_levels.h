// The game's two levels: scrolling play areas wider than the window, the display following the player, over
// hills that scroll at half its speed, with the heads-up display fixed on the screen; the movers, gems, time
// gauge and display of every level; and each level's exit to what comes next.
#pragma once

#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Object handle of the levels' exits.
constexpr std::uint16_t Exit = 40;

struct DemoLevel {
    appwriter::FrameDesc frame; // without its events, which are written once every object is known
    appwriter::FrameContents contents;
    std::vector<appwriter::EventGroupDesc> events;
};

// Adds the levels' objects and images to the application (the movers', the gems', the display's, the
// extensions', the backdrops' and the exit's).
void AddLevelObjects(appwriter::ApplicationDescription& d, DemoObjects& all);
// The levels, in order.
std::vector<DemoLevel> DescribeLevels();
