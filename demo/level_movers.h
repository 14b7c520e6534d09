// The levels' moving objects: a player on the platform movement, who walks with the arrow keys, jumps with
// the space bar, rides a lift that goes to and fro on a path and loses a life falling off the bottom of the
// level, and balls bouncing in a pen of posts on a floor, below the top of the play area, and off the player.
#pragma once

#include "demo_objects.h"
#include "level_layout.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Adds the movers' objects and images and the player's keys to the header.
void AddMoverObjects(appwriter::ApplicationDescription& d, DemoObjects& all);
// Places the movers on a level's layer; returns the level's events that steer them.
std::vector<appwriter::EventGroupDesc> PlaceMovers(std::vector<appwriter::InstanceDesc>& level,
                                                   std::int16_t layer);
