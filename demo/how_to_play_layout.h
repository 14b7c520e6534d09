// Where the "How to play" frame shows its instructions, and its colours, for the game and its tests.
#pragma once

#include <cstdint>

// The rich text object's place and size in the 640 x 480 frame; its vertical scroll bar is its last 12
// columns.
constexpr int InstructionsLeft = 40, InstructionsTop = 40, InstructionsWidth = 560, InstructionsHeight = 400;
constexpr std::uint32_t InstructionsBackground = 0xE8F4FA; // RGB(0xFA, 0xF4, 0xE8)
constexpr std::uint32_t HowToPlayBackground = 0x402818;    // RGB(0x18, 0x28, 0x40)
