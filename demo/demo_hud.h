// The level's heads-up display: the player's score in digits, the lives left as hearts and the level's name
// in a text object.
#pragma once

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"

#include <array>
#include <cstdint>
#include <vector>

// Object handles of the display.
constexpr std::uint16_t ScoreDisplay = 20;
constexpr std::uint16_t LivesDisplay = 21;
constexpr std::uint16_t LevelName = 22;

// Digits of 5 x 7 cells drawn 3 pixels to the cell, each followed by a see-through gap.
constexpr int DigitCells = 5, DigitRows = 7, DigitScale = 3, DigitGap = 3;
constexpr int DigitWidth = DigitCells * DigitScale + DigitGap, DigitHeight = DigitRows * DigitScale;
constexpr int ScoreDigits = 5;
// The score's digits start here in the play area, and are drawn in this colour (red, green, blue).
constexpr int ScoreLeft = 16, ScoreTop = 16;
constexpr std::array<std::uint8_t, 3> DigitColour{0xFF, 0xE0, 0x40};
// The lives' hearts, in a row ending 16 pixels from the play area's right edge.
constexpr int HeartSize = 16, LivesShown = 3, LivesRight = 624, LivesTop = 16;

// The cells of each digit ('0' to '9', then '-', '+', '.', 'e'): DigitRows rows of DigitCells characters,
// '#' for a lit cell.
inline constexpr std::array<std::array<const char*, DigitRows>, 14> DigitGlyphs{{
    {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "},
    {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
    {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
    {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "},
    {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
    {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
    {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
    {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
    {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
    {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
    {"     ", "     ", "     ", "#####", "     ", "     ", "     "},
    {"     ", "  #  ", "  #  ", "#####", "  #  ", "  #  ", "     "},
    {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "},
    {"     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "},
}};

// Adds the display's objects and images (appending to the application's lists, whose images are numbered
// from 1 in order) and its font to the application, and places it in the level.
void AddDemoHud(appwriter::ApplicationDescription& d, std::vector<appwriter::ObjectInfoDesc>& objects,
                std::vector<appwriter::ImageItemDesc>& images, appwriter::FrameContents& level,
                const std::u16string& levelName);
