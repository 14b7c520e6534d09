// Where the title's attract box stands and what the attract frame shows, for the demo and its tests.
#pragma once

#include <cstdint>

// Object handle of the title's box, where it stands on the title, its size (the attract frame's) and the
// attract frame's background colour.
constexpr std::uint16_t AttractBox = 70;
constexpr int AttractBoxX = 200, AttractBoxY = 140;
constexpr int AttractWidth = 240, AttractHeight = 96;
constexpr std::uint32_t AttractBackground = 0x603010; // RGB(0x10, 0x30, 0x60)
// Where the attract frame's spinners stand (their centres), on its own play area.
constexpr int AttractSpinnerY = 48;
constexpr int AttractSpinnerX[3] = {50, 120, 190};
