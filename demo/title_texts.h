// The title's words: the game's name in large letters above the spinners, and what starts it below the
// panel, for the demo and its tests.
#pragma once

#include "demo_objects.h"

#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// Object handles of the two texts.
constexpr std::uint16_t TitleName = 51, TitlePrompt = 52;
// Where they show (each spans the window's width, its line centred) and their colours.
constexpr int TitleNameTop = 20, TitleNameHeight = 70;
constexpr int TitlePromptTop = 370, TitlePromptHeight = 30;
constexpr std::uint32_t TitleNameColour = 0xFFFFFF;
constexpr std::uint32_t TitlePromptColour = 0x40E0FF; // RGB(0xFF, 0xE0, 0x40)

// Adds the texts' objects.
void AddTitleTexts(DemoObjects& all);
// Places them on the title's layer, numbering the placements on from `handle`.
void PlaceTitleTexts(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle);
