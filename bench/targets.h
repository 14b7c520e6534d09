// The target an issue set for a figure, printed at the end of the figure's row, so that a run reads against
// its targets as it stands.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace bench {

inline void ShowTarget(benchmark::State& state, const std::string& target) {
    state.SetLabel("target: " + target);
}

} // namespace bench
