// The demo's menu bar and its shortcuts, and the level's events that answer the menu's own commands.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"

#include <cstdint>
#include <vector>

// The commands of the File menu that the level's events take; the runtime's own commands are below them.
constexpr std::uint16_t SavePositionCommand = 2001;
constexpr std::uint16_t LoadPositionCommand = 2002;
// Help > How to play, which the title's and the levels' events take.
constexpr std::uint16_t HowToPlayCommand = 2003;

// Gives the application its menu bar; returns the level's events for the File menu's position commands.
std::vector<appwriter::EventGroupDesc> AddDemoMenu(appwriter::ApplicationDescription& d);
