#include "shell/build_palette.h"

#include <algorithm>

namespace vtrrt {

namespace {
constexpr int FirstFreeEntry = 10;
constexpr int LastFreeEntry = 245;
} // namespace

// The static system colours of the 256-colour display mode come from the palette services, which add them
// here; until then the source's own entries stay at both ends, as when that palette cannot be had.
void BuildPalette(PaletteEntry (&destination)[256], const PaletteEntry (&source)[256]) {
    if (&destination != &source) std::copy(std::begin(source), std::end(source), std::begin(destination));
    for (int i = 0; i < 256; ++i) {
        PaletteEntry& e = destination[i];
        if (i < FirstFreeEntry || i > LastFreeEntry) {
            e.flags = 0;
            continue;
        }
        e.flags = PC_NOCOLLAPSE;
        // Pure black would collapse onto the static black.
        if (e.red == 0 && e.green == 0 && e.blue == 0) e.red = 8;
    }
}

} // namespace vtrrt
