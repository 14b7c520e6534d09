// The attract frame: a small frame of the game's own data that the title runs in a box through a
// sub-application object, three spinners turning on a dark ground.
#pragma once

#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// Object handle of the title's box, where it stands on the title, its size (the attract frame's) and the
// attract frame's background colour.
constexpr std::uint16_t AttractBox = 70;
constexpr int AttractBoxX = 200, AttractBoxY = 150;
constexpr int AttractWidth = 240, AttractHeight = 96;
constexpr std::uint32_t AttractBackground = 0x603010; // RGB(0x10, 0x30, 0x60)
// Where the attract frame's spinners stand (their centres), on its own play area.
constexpr int AttractSpinnerY = 48;
constexpr int AttractSpinnerX[3] = {50, 120, 190};

// Adds the title's sub-application object, which runs the frame of index `attractIndex` of the same data
// drawn into the title.
void AddAttractObjects(DemoObjects& all, std::uint16_t attractIndex);
// Places the box on the title's layer, numbering the placement `handle`.
void PlaceAttractBox(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle);
// The attract frame, with its (empty) events written for an application of `objectInfos` object infos.
appwriter::FrameDesc DescribeAttract(std::uint16_t spinner, std::uint16_t objectInfos);
