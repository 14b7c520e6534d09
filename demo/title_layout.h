// Where the title's words show and their colours, for the demo and its tests.
#pragma once

#include <cstdint>

// Object handles of the two texts: the game's name and what starts it.
constexpr std::uint16_t TitleName = 51, TitlePrompt = 52;
// Where they show (each spans the window's width, its line centred) and their colours.
constexpr int TitleNameTop = 20, TitleNameHeight = 70;
constexpr int TitlePromptTop = 370, TitlePromptHeight = 30;
constexpr std::uint32_t TitleNameColour = 0xFFFFFF;
constexpr std::uint32_t TitlePromptColour = 0x40E0FF; // RGB(0xFF, 0xE0, 0x40)
