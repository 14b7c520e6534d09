// A level's heads-up display: the player's score in digits, the lives left as hearts and the level's name
// in a text object.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "demo_hud_layout.h"

#include <string>
#include <vector>

// A level's name: the handle of its text object and its text.
struct LevelNameDesc {
    std::uint16_t handle;
    std::u16string text;
};

// Adds the display's objects (one name per level) and images (appending to the application's lists, whose
// images are numbered from 1 in order) and the game's fonts to the application.
void AddHudObjects(appwriter::ApplicationDescription& d, std::vector<appwriter::ObjectInfoDesc>& objects,
                   std::vector<appwriter::ImageItemDesc>& images, const std::vector<LevelNameDesc>& names);
// Places the display, with the level's name object, on a layer of the level.
void PlaceHud(std::vector<appwriter::InstanceDesc>& level, std::uint16_t name, std::int16_t layer);
