// The title's words: the game's name in large letters above the spinners, and what starts it below the
// panel.
#pragma once

#include "demo_objects.h"
#include "title_layout.h"

#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// Adds the texts' objects.
void AddTitleTexts(DemoObjects& all);
// Places them on the title's layer, numbering the placements on from `handle`.
void PlaceTitleTexts(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle);
