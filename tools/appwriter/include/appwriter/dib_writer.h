// Writes packed device-independent bitmaps: the 40-byte info header, the colour masks or table, the rows
// (bottom-up unless the height is negative, each padded to 4 bytes) and an optional alpha plane behind them.
#pragma once

#include <cstdint>
#include <vector>

namespace appwriter {

using Bytes = std::vector<std::uint8_t>;

struct DibDesc {
    std::int32_t width = 4;
    std::int32_t height = 3; // negative: rows stored top-down
    std::uint16_t bitCount = 24;
    bool bitFields = false;        // 16 and 32 bits: three masks follow the header
    std::uint32_t coloursUsed = 0; // 0: all the depth has (up to 8 bits)
    bool alphaPlane = false;       // one byte per pixel, rows padded to 4, after the bits
};

// The pixels are a gradient of the position, so that every row and pixel differs.
Bytes PackedDib(const DibDesc& dib);

} // namespace appwriter
