// A level's gems: three small stones floating over the player's starting platform, which the player
// collects by walking into them, for 10 points each and a chime.
#pragma once

#include "demo_objects.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <array>
#include <vector>

// Object handle of the gems, their size, where each is placed (their left edges, on one row) and the
// points each is worth.
constexpr std::uint16_t Gem = 11;
constexpr int GemSize = 12;
constexpr std::array<int, 3> GemX{136, 160, 184};
constexpr int GemY = 264;
constexpr int GemPoints = 10;

// Adds the gem's object and image.
void AddGemObject(DemoObjects& all);
// Places the gems on a level's layer; returns the level's event that collects a gem the player meets.
std::vector<appwriter::EventGroupDesc> PlaceGems(std::vector<appwriter::InstanceDesc>& level,
                                                 std::int16_t layer);
