// Where the level's time gauge shows (below the score), its size and its colours.
#pragma once

#include <cstdint>

constexpr int GaugeX = 16, GaugeY = 48, GaugeWidth = 200, GaugeHeight = 10;
constexpr std::uint32_t GaugeBack = 0x303030;
constexpr std::uint32_t GaugeBar = 0x20D0FF; // RGB(0xFF, 0xD0, 0x20)
