// The demo's extension objects: the level's time gauge, an object of the runtime's own gauge extension
// (vtrgauge.vxe, packed with the demo), which fills as the level's time runs out.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"

#include <vector>

// Where the gauge shows on the level, and its colours.
constexpr int GaugeX = 20, GaugeY = 16, GaugeWidth = 200, GaugeHeight = 10;
constexpr std::uint32_t GaugeBack = 0x303030;
constexpr std::uint32_t GaugeBar = 0x20D0FF; // RGB(0xFF, 0xD0, 0x20)

// The objects of the extensions, for the application's object definitions.
std::vector<appwriter::ObjectInfoDesc> ExtensionObjects();
// Lists the extensions, places their objects on the level and gives the level's events for them.
std::vector<appwriter::EventGroupDesc> AddExtensions(appwriter::ApplicationDescription& d,
                                                     appwriter::FrameContents& level);
