// A slow model of the software blit at every depth, written from the behaviour of each ink code channel by
// channel and pixel by pixel, without the library's operator tables, lane arithmetic, packed-field tricks or
// rectangle clipping. Pixels are raw values of their depth: 8-bit indexes, 15- and 16-bit words, 24-bit
// values blue-low, 32-bit words with their fourth byte.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace reference {

struct Colour {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Colour&) const = default;
};

// An 8-bit surface's palette with the state of its 15-bit lookup table (empty: none), which the model
// fills exactly as the library promises to: a miss is searched and remembered.
struct Palette {
    std::array<Colour, 256> entries{};
    std::vector<std::uint8_t> lookup;
};

struct Surface {
    int depth = 32;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> values; // row 0 first
    std::vector<std::uint8_t> alpha;   // empty: no alpha plane
    std::uint32_t key = 0;             // the transparent value
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    Palette* palette = nullptr; // 8 bits

    std::uint32_t& At(int x, int y) { return values[static_cast<std::size_t>(y * width + x)]; }
    std::uint32_t At(int x, int y) const { return values[static_cast<std::size_t>(y * width + x)]; }
};

struct BlitCall {
    int x, y, sourceX, sourceY, width, height;
    int mode;
    int ink;
    std::uint32_t parameter;
    int flags;
};

// The colour of a raw value, and the value of a colour (8 bits: through the destination palette's lookup
// table, as the ink operators map their results).
Colour Decode(const Surface& s, std::uint32_t value);
std::uint32_t Encode(Surface& s, const Colour& c);
// The nearest entry: black is entry 0's alone, other colours search entries 1-255, ties go to the lowest
// index.
int Nearest(const Palette& p, const Colour& c);
// The nearest index as a single colour is matched: black 0, an entry whose index is the red byte and
// whose colour is exact keeps it, else the lookup table (filled on a miss).
int NearestIndex(Palette& p, const Colour& c);
// A COLORREF as a pixel value of the surface's depth (8 bits: NearestIndex).
std::uint32_t FromColorref(Surface& s, std::uint32_t colorref);

// Same-depth blit; returns what the library's Blit is expected to answer.
int Blit(const Surface& source, Surface& destination, const BlitCall& call);

// Same-depth blit through a colour callback (COLORREFs in and out).
using Callback = std::uint32_t (*)(std::uint32_t destination, std::uint32_t source, std::intptr_t argument);
void CallbackBlit(const Surface& source, Surface& destination, int x, int y, int sourceX, int sourceY,
                  int width, int height, bool keyed, Callback callback, std::intptr_t argument);

// An opaque copy into another depth (the rectangle inside both surfaces).
void Convert(const Surface& source, Surface& destination, int x, int y, int sourceX, int sourceY, int width,
             int height);

// 32-bit images by their bytes, for the tests that think in blue, green, red and the fourth byte.
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

int Blit(const Image& source, Image& destination, const BlitCall& call);

} // namespace reference
