// The level's moving objects: a player on the eight-direction movement, steered with the arrow keys, and
// balls bouncing in a pen of posts, off its platform, the ground, the top of the play area and the player.
#pragma once

#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Where the player starts, and its colour (RGB) at its middle.
constexpr int PlayerStartX = 100, PlayerStartY = 150;
constexpr int PlayerSize = 24;
constexpr std::uint8_t PlayerColour[3] = {0xF0, 0x80, 0x20};

// Adds the movers' objects and images, the player's keys to the header and the movers to the level's
// placements; returns the level's events that steer them.
std::vector<appwriter::EventGroupDesc> AddLevelMovers(appwriter::ApplicationDescription& d, DemoObjects& all,
                                                      std::vector<appwriter::InstanceDesc>& level);
