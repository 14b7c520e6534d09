// The level's heads-up display: the player's score in digits, the lives left as hearts and the level's name
// in a text object.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "demo_hud_layout.h"

#include <string>
#include <vector>

// Adds the display's objects and images (appending to the application's lists, whose images are numbered
// from 1 in order) and its font to the application, and places it in the level.
void AddDemoHud(appwriter::ApplicationDescription& d, std::vector<appwriter::ObjectInfoDesc>& objects,
                std::vector<appwriter::ImageItemDesc>& images, appwriter::FrameContents& level,
                const std::u16string& levelName);
