// Where the levels' backdrops and exits lie and how their layers scroll, for the demo and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Every level: a play area as high as the window, wider than it, with ground tiles along its foot (a missing
// tile is a pit), platforms, and an exit at its right end.
constexpr int LevelHeight = 480, GroundY = 360, GroundTile = 80;
constexpr int PlatformWidth = 120, PlatformHeight = 16;
constexpr int ExitWidth = 32, ExitHeight = 48;
constexpr int SkyWidth = 1280, SkyHeight = 360;
constexpr int HillWidth = 300, HillHeight = 140, HillY = 290;
// The layers: distant hills under the sky, scrolled at half the display's move; the play layer; and the
// heads-up display, which stays where it is on the screen.
constexpr std::int16_t HillsLayer = 0, PlayLayer = 1, DisplayLayer = 2;
constexpr float HillsCoefficient = 0.5f;

using Rgb3 = std::array<std::uint8_t, 3>;

// Where the player starts, standing on the lowest platform, and its colour (RGB) at its middle.
constexpr int PlayerSize = 24;
constexpr int PlayerStartX = 100, PlayerStartY = 280 - PlayerSize;
// The lift: its size, its height in the level and the span it travels from x = 0 and back.
constexpr int LiftWidth = 64, LiftHeight = 12, LiftY = 330, LiftSpan = 150;
constexpr std::uint8_t PlayerColour[3] = {0xF0, 0x80, 0x20};
// The pen: two posts from the top of the play area down to its floor, which the player walks under.
constexpr int PenLeft = 220, PenRight = 448, PenFloorY = 160, PenFloorHeight = 8;
constexpr int BallSize = 16;

struct LevelLayout {
    int width;
    Rgb3 background; // seen through a pit, under the sky and in front of the hills
    Rgb3 skyTop, skyBottom, ground, platform, platformBorder, hill;
    std::vector<std::array<int, 2>> platforms; // left, top
    std::vector<int> pits;                     // the ground tiles left out, by index from the left
    std::vector<int> hills;                    // left edges, on the hills' layer
    int exitX() const { return width - 2 * ExitWidth; }
    static constexpr int ExitY = GroundY - ExitHeight;
};

// Level 1: green fields under a blue sky, three screens wide.
inline const LevelLayout Level1Layout{
    1920,
    {0x20, 0x14, 0x0C},
    {0x20, 0x50, 0xC0},
    {0xB0, 0xD8, 0xFF},
    {0x70, 0x48, 0x20},
    {0x40, 0xB0, 0x40},
    {0x10, 0x50, 0x10},
    {0x58, 0x98, 0x70},
    {{80, 280},
     {300, 250},
     {500, 200},
     {720, 290},
     {900, 230},
     {1100, 290},
     {1290, 260},
     {1480, 220},
     {1660, 290}},
    {16},
    {40, 320, 700, 1000},
};

// Level 2: grey stone under a dusk sky, two screens wide.
inline const LevelLayout Level2Layout{
    1280,
    {0x08, 0x04, 0x10},
    {0x40, 0x20, 0x60},
    {0xF0, 0x90, 0x60},
    {0x50, 0x50, 0x58},
    {0xC0, 0x80, 0x30},
    {0x60, 0x30, 0x10},
    {0x60, 0x40, 0x70},
    {{80, 280}, {300, 250}, {500, 200}, {700, 260}, {880, 300}, {1040, 240}},
    {10},
    {120, 520, 860},
};
