// The text and number rules of the special object's expression functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vtrrt {

// "0x" and the hexadecimal digits of the 32 bits; "0b" and the bits from the highest set one down ("0b0").
std::u16string HexadecimalText(std::int32_t value);
std::u16string BinaryText(std::int32_t value);
// The integer part, plus 1 when the fraction is 0.5 or more, minus 1 when it is below -0.5.
std::int32_t RoundHalfAway(double value);
// The index of the first occurrence at or after `start`, or of the last that begins at or before it (the
// string's length at most); -1 when there is none or for a negative start, and for Find when the start is
// not inside the string.
std::int32_t FindText(std::u16string_view s, std::u16string_view text, std::int32_t start);
std::int32_t FindLastText(std::u16string_view s, std::u16string_view text, std::int32_t start);
// An item of a command line (the program's own first item passed over): with no option, the next item as it
// stands; else the value given after "/option" or "-option" (any case), a quoted value without its quotes;
// empty when the option is not there or has no value.
std::u16string CommandLineItem(std::u16string_view line, std::u16string_view option);

} // namespace vtrrt
