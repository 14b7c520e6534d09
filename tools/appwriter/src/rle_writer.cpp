#include "appwriter/rle_writer.h"

#include <algorithm>
#include <cstring>

namespace appwriter {

namespace {

constexpr std::size_t MaxPacketPixels = 127;
constexpr std::uint8_t LiteralFlag = 0x80;

} // namespace

std::vector<std::uint8_t> PackPixelRuns(std::span<const std::uint8_t> pixels, std::size_t pixelSize) {
    std::vector<std::uint8_t> out;
    if (pixelSize < 1 || pixelSize > 3) {
        out.push_back(0);
        return out;
    }
    const std::size_t count = pixels.size() / pixelSize;
    const auto same = [&](std::size_t a, std::size_t b) {
        return std::memcmp(&pixels[a * pixelSize], &pixels[b * pixelSize], pixelSize) == 0;
    };
    std::size_t at = 0;
    while (at < count) {
        std::size_t run = 1;
        while (at + run < count && run < MaxPacketPixels && same(at, at + run))
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.insert(out.end(), &pixels[at * pixelSize], &pixels[(at + 1) * pixelSize]);
            at += run;
            continue;
        }
        // A literal up to the next pair of equal pixels.
        std::size_t literal = 1;
        while (at + literal < count && literal < MaxPacketPixels &&
               !(at + literal + 1 < count && same(at + literal, at + literal + 1)))
            ++literal;
        out.push_back(static_cast<std::uint8_t>(LiteralFlag + literal));
        out.insert(out.end(), &pixels[at * pixelSize], &pixels[(at + literal) * pixelSize]);
        at += literal;
    }
    out.push_back(0);
    return out;
}

} // namespace appwriter
