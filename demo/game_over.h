// The game-over frame: "Game over" in large letters on a dark frame, which then asks "Play again?": yes
// starts a new game at the first level, no gives the title back.
#pragma once

#include "demo_objects.h"
#include "game_over_layout.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"

#include <cstdint>

// Object handle of the banner, and where it shows.
constexpr std::uint16_t GameOverBanner = 46;
constexpr int BannerTop = 200, BannerHeight = 80;
constexpr std::uint32_t GameOverBackground = 0x201010; // RGB(0x10, 0x10, 0x20)
constexpr std::uint32_t BannerColour = 0x3030E0;       // RGB(0xE0, 0x30, 0x30)

// Adds the banner's and the question's objects.
void AddGameOverObjects(DemoObjects& all);
// The frame, with its events written for an application of `objectInfos` object infos.
appwriter::FrameDesc DescribeGameOver(std::uint16_t objectInfos);
