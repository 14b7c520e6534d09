// The per-application player data and global values and strings, which a sub-application may share with its
// parent.
#pragma once

#include "win32/types.h"

#include <cstdint>

namespace vtrrt {

struct TypedValue;

constexpr int PlayerCount = 4;
constexpr int ControlBlockWords = 36; // 4 control types, then 4 x 8 keys
constexpr int ControlWorkWords = 400;
constexpr std::uint16_t ControlKeyboard = 5;
constexpr int PlayerNameUnits = 100; // the last always 0

struct ApplicationGlobals {
    std::uint16_t* controls;    // ControlBlockWords words: the header's control part as stored
    std::uint16_t* controlWork; // ControlWorkWords words, for the input Parts
    std::int32_t* lives;        // one per player, complemented
    std::int32_t* scores;       // one per player, complemented
    TypedValue* values;
    std::int32_t valueCount;
    win32::WCHAR** strings;
    std::int32_t stringCount;
};

} // namespace vtrrt
