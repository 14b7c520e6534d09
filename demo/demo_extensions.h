// The demo's extension objects: a level's time gauge, an object of the runtime's own gauge extension
// (vtrgauge.vxe, packed with the demo), which fills as the level's time runs out.
#pragma once

#include "demo_gauge_layout.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"

#include <vector>

// The objects of the extensions, for the application's object definitions.
std::vector<appwriter::ObjectInfoDesc> ExtensionObjects();
// Lists the extensions the application uses.
void AddExtensionList(appwriter::ApplicationDescription& d);
// Places the extensions' objects on a level's layer and gives the level's events for them.
std::vector<appwriter::EventGroupDesc> PlaceExtensions(std::vector<appwriter::InstanceDesc>& level,
                                                       std::int16_t layer);
