// Where the level's heads-up display draws and what its digits look like, for the demo and its tests.
#pragma once

#include <array>
#include <cstdint>

// Object handles of the display.
constexpr std::uint16_t ScoreDisplay = 20;
constexpr std::uint16_t LivesDisplay = 21;
constexpr std::uint16_t LevelName = 22;
constexpr std::uint16_t Level2Name = 45;
// The game's fonts: the level's name, and the large one of banners.
constexpr std::uint16_t NameFont = 1, BannerFont = 2;

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
