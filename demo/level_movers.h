// The levels' moving objects: a player on the platform movement, who walks with the arrow keys, jumps with
// the space bar, rides a lift that goes to and fro on a path and loses a life falling off the bottom of the
// level, and balls bouncing in a pen of posts on a floor, below the top of the play area, and off the player.
#pragma once

#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Where the player starts, standing on the lowest platform, and its colour (RGB) at its middle.
constexpr int PlayerSize = 24;
constexpr int PlayerStartX = 100, PlayerStartY = 280 - PlayerSize;
// The lift: its size, its height in the level and the span it travels from x = 0 and back.
constexpr int LiftWidth = 64, LiftHeight = 12, LiftY = 330, LiftSpan = 150;
constexpr std::uint8_t PlayerColour[3] = {0xF0, 0x80, 0x20};
// The pen: two posts from the top of the play area down to its floor, which the player walks under.
constexpr int PenLeft = 220, PenRight = 448, PenFloorY = 160, PenFloorHeight = 8;
constexpr int BallSize = 16;

// Adds the movers' objects and images and the player's keys to the header.
void AddMoverObjects(appwriter::ApplicationDescription& d, DemoObjects& all);
// Places the movers on a level's layer; returns the level's events that steer them.
std::vector<appwriter::EventGroupDesc> PlaceMovers(std::vector<appwriter::InstanceDesc>& level,
                                                   std::int16_t layer);
