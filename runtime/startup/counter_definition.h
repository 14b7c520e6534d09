// The counter data of the definitions of the score, lives and counter objects (types 5, 6 and 7).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vtrrt {

// How a counter shows its value.
enum CounterDisplayType : std::uint16_t {
    CounterDigits = 1,
    CounterVerticalBar = 2,
    CounterHorizontalBar = 3,
    CounterAnimation = 4,
    CounterText = 5,
};
constexpr int CounterDigitImages = 14; // '0'..'9', '-', '+', '.', 'e'
constexpr std::uint16_t CounterFillGradient = 2;

// The counter data of a definition (at its type data offset): i32 width, i32 height, u16 display type,
// u16 number format, u16 player; then for digits and animations a u16 image count and the images (u16
// each), for bars the u16 fill kind and the two colours (u32 each), for text the u16 font and the u32
// colour. A counter's initial value, minimum and maximum (i32 each) lie at the offset in the definition's
// word 10.
struct CounterDefinition {
    bool present = false;
    std::int32_t width = 1, height = 1;
    std::uint16_t displayType = 0;
    std::uint16_t format = 0;
    std::uint16_t player = 0;
    std::uint16_t imageCount = 0; // or the fill kind, or the font
    std::span<const std::uint8_t> images;
    std::uint32_t colour1 = 0, colour2 = 0;
    std::int32_t initial = 0, minimum = 0, maximum = 0;
};
CounterDefinition ReadCounterDefinition(std::span<const std::uint8_t> definition);
constexpr std::size_t CounterDataFixedBytes = 14;

} // namespace vtrrt
