// The weight table of one pass of the smoothed resampling, shared by the generic loops and the fast paths.
#pragma once

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

} // namespace engine
