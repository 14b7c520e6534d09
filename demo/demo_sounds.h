// The demo's sounds: a tune the title plays as it starts, and a sample for the player's collecting.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"

#include <vector>

// Names of the demo's sound items, for the events that play them (the speaker's play-sample action names
// the collecting sample by its stored index).
constexpr const char16_t* TitleTuneName = u"Title tune";
constexpr const char16_t* CollectSampleName = u"Collect";
// Stored indexes of the items in their banks.
constexpr std::uint16_t TitleTuneIndex = 0;
constexpr std::uint16_t CollectSampleIndex = 0;

// Adds the sound and music banks to the application; returns the title's events that play the tune.
std::vector<appwriter::EventGroupDesc> AddDemoSounds(appwriter::ApplicationDescription& d);
