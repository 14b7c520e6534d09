// The level's enemies and what collecting leaves behind: walkers created while the level runs at fixed
// spawn points, each patrolling its ground on the runtime's patrol movement module (vtrpatrol.mvx); a bird
// flying to and fro on a path over the middle platform; touching a walker, the bird or a ball costs the
// player a life and puts it back where it started. A collected gem leaves a sparkle that plays once and
// goes, and the player counts the gems it collected in its first alterable value, which a counter under the
// score shows.
#pragma once

#include "demo_enemies_layout.h"
#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <vector>

// Adds the enemies', the sparkle's and the gem count's objects and images and lists the patrol module.
void AddEnemyObjects(appwriter::ApplicationDescription& d, DemoObjects& all);
// Places the bird on a level's play layer, the gem count on its display layer and the objects created later
// (none of those at the start); returns the level's events that create the walkers, cost the player a life on
// a touch and remove a sparkle whose animation is over.
std::vector<appwriter::EventGroupDesc> PlaceEnemies(std::vector<appwriter::InstanceDesc>& level,
                                                    std::int16_t playLayer, std::int16_t displayLayer);

// The actions of collecting a gem, besides its own: a sparkle at the gem and one more gem counted. They
// come before the gem is destroyed.
std::vector<appwriter::EventRecordDesc> GemCollectedActions();
