// Where the level's enemies and sparkles are and how they look, for the demo and for the tests that look
// at it.
#pragma once

#include "demo_gauge_layout.h"
#include "demo_hud_layout.h"

#include <array>
#include <cstdint>

constexpr std::uint16_t Walker = 30, Bird = 31, Sparkle = 32;

// A walker: its size and colour (RGB) at its middle; where walkers appear (left end and top, on the ground
// right of the pen and on the highest platform), the span each patrols from there, how often one appears
// at each point (counted in loops, so that a replayed game sees them when the recorded one did) and how many
// may be about at once.
constexpr int WalkerSize = 20;
constexpr std::uint8_t WalkerColour[3] = {0x90, 0x30, 0xC0};
struct SpawnPoint {
    int x, y;
};
constexpr std::array<SpawnPoint, 2> WalkerSpawns{{{460, 360 - WalkerSize}, {500, 200 - WalkerSize}}};
constexpr int WalkerSpan = 100 - WalkerSize;
constexpr int WalkerSpeed = 1;  // pixels a loop
constexpr int SpawnLoops = 240; // four seconds at the first point; twice as long at the second
constexpr int MostWalkers = 4;
// The global values that count each spawn point's loops (from 0).
constexpr int FirstSpawnCountValue = 0;
// The walkers' movement module, as the application lists it.
constexpr const char16_t* PatrolModule = u"vtrpatrol";

// The bird: its size and colour, and the span it flies from its left end over the middle platform, high
// enough to pass over a player standing there.
constexpr int BirdWidth = 24, BirdHeight = 12;
constexpr std::uint8_t BirdColour[3] = {0x20, 0x20, 0x30};
constexpr int BirdX = 300, BirdY = 250 - 24 - BirdHeight - 6, BirdSpan = 96;

// The sparkle: a pale star centred on the collected gem's middle, growing and fading over its frames, each
// shown about ten loops.
constexpr int SparkleSize = 16, SparkleFrames = 6;
constexpr std::uint8_t SparkleColour[3] = {0xFF, 0xF8, 0x90};

// The player's alterable value that counts the gems collected, and the counter that shows it under the
// score and the time gauge, in the score's digits drawn in the gems' colour: the right end of its digits, at
// their foot.
constexpr int GemsCollectedValue = 0;
constexpr std::uint16_t GemCount = 33;
constexpr std::uint8_t GemCountColour[3] = {0x30, 0xC8, 0xE8};
constexpr int GemCountRight = ScoreLeft + 2 * DigitWidth,
              GemCountBottom = GaugeY + GaugeHeight + 6 + DigitHeight;
