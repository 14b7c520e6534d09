// A slow model of the 32-bit software blit, written from the behaviour of each ink code channel by channel
// and pixel by pixel, without the library's operator tables, lane arithmetic or rectangle clipping.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

struct Pixel {
    std::uint8_t blue, green, red, fourth;
    bool operator==(const Pixel&) const = default;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;       // row 0 first
    std::vector<std::uint8_t> alpha; // empty: no alpha plane
    Pixel key{};                     // the transparent value
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;

    Pixel& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
    const Pixel& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

struct BlitCall {
    int x, y, sourceX, sourceY, width, height;
    int mode;
    int ink;
    std::uint32_t parameter;
    int flags;
};

// Applies the blit to the destination; returns what the library's Blit is expected to answer.
int Blit(const Image& source, Image& destination, const BlitCall& call);

} // namespace reference
