// The weight table and the output arithmetic of one pass of the smoothed resampling, shared by the generic
// loops and the fast paths.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace engine {

// For every destination index of a dimension: its first source index, how many source indexes it takes,
// and their 16.16 weights, `capacity` places per index in one block.
struct ResampleWeights {
    int capacity = 0;
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> values;
    const int* Values(int j) const { return values.data() + static_cast<std::size_t>(j) * capacity; }
};

// The table for d destination and s source pixels.
ResampleWeights BuildResampleWeights(int d, int s);

// One output pixel from its weighted inputs. Plain: (0x8000 + sum of weight x channel) >> 16, clamped.
// Transparency-aware: transparent inputs add their weight to the clear side only; a pixel whose clear side
// outweighs its opaque side becomes the transparent colour, others are the opaque inputs' weighted mean.
struct Accumulator {
    std::uint32_t sums[3] = {0x8000, 0x8000, 0x8000};
    std::uint32_t opaque = 0, clear = 0;
    void Add(std::uint32_t w, std::uint32_t c) {
        opaque += w;
        sums[0] += w * (c & 0xFF);
        sums[1] += w * ((c >> 8) & 0xFF);
        sums[2] += w * ((c >> 16) & 0xFF);
    }
    std::uint32_t Result(bool aware, std::uint32_t transparentWorking) const {
        std::uint32_t out = 0;
        if (!aware || clear == 0) {
            for (int ch = 0; ch < 3; ++ch)
                out |= (std::min<std::uint32_t>(sums[ch], 0xFF0000) >> 16) << (8 * ch);
            return out;
        }
        if (opaque < clear) return transparentWorking;
        for (int ch = 0; ch < 3; ++ch)
            out |= std::min<std::uint32_t>(sums[ch] / opaque, 255) << (8 * ch);
        return out;
    }
};

} // namespace engine
