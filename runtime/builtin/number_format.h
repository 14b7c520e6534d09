// Numbers as text and text as numbers: the counters' number formats, the number conversions of the special
// object's expressions and the reading of numbers from strings.
#pragma once

#include "core/typed_value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vtrrt {

// Bits of a counter's number format word.
constexpr std::uint16_t FormatMinimumDigits = 0x000F; // an integer's digit count (0: free)
constexpr std::uint16_t FormatSignificantDigits = 0x00F0;
constexpr std::uint16_t FormatBarFromFarEnd = 0x0100;
constexpr std::uint16_t FormatFormatted = 0x0200;
constexpr std::uint16_t FormatFixedDecimals = 0x0400;
constexpr std::uint16_t FormatLeadingZeros = 0x0800;
constexpr int FormatDecimalsShift = 12;

// An integer: plain decimal, or with a digit count n a '-' for negative values and exactly n digits (padded
// with zeros; only the last n digits of a longer number).
std::u16string FormatInteger(std::int32_t value, std::uint16_t format);
// A double: "%g" unless formatted; formatted, with its significant digits, its fixed decimals and its leading
// zeros.
std::u16string FormatNumber(double value, std::uint16_t format);

// The special object's number to text: an integer as "%i", a double as "%g", a string as the empty text.
std::u16string NumberToText(const TypedValue& value);
// With d decimals (d not -1): fixed notation; with d of -1: n significant digits. At most 64 characters.
std::u16string NumberToTextWithDigits(double value, std::int32_t digits, std::int32_t decimals);

// Reads a number from text: leading spaces skipped; "0x" hexadecimal and "0b" binary give integers;
// otherwise a decimal number, an integer when it has no '.' or exponent and lies within
// -2147483646..2147483646, else a double; text that begins with neither '-' nor a digit gives 0.
TypedValue StringToNumber(std::u16string_view text);

} // namespace vtrrt
