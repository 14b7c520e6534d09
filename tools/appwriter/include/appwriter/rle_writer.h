// Writes the run-length packing of image pixels: repeat packets (count 1..127, then one pixel), literal
// packets (128 + count, then the pixels) and the end byte 0.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace appwriter {

// Packs whole pixels of `pixelSize` bytes (1, 2 or 3); a tail shorter than a pixel is left out.
std::vector<std::uint8_t> PackPixelRuns(std::span<const std::uint8_t> pixels, std::size_t pixelSize);

} // namespace appwriter
