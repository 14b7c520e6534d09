// The attract frame: a small frame of the game's own data that the title runs in a box through a
// sub-application object, three spinners turning on a dark ground.
#pragma once

#include "attract_layout.h"
#include "demo_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// Adds the title's sub-application object, which runs the frame of index `attractIndex` of the same data
// drawn into the title.
void AddAttractObjects(DemoObjects& all, std::uint16_t attractIndex);
// Places the box on the title's layer, numbering the placement `handle`.
void PlaceAttractBox(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle);
// The attract frame, with its (empty) events written for an application of `objectInfos` object infos.
appwriter::FrameDesc DescribeAttract(std::uint16_t spinner, std::uint16_t objectInfos);
