// The depth of each display-mode code, and the code of a depth.
#include "vtrs2/display_modes.h"

#include <array>
#include <cstddef>

namespace {
// Bits per pixel of each display-mode code.
constexpr std::array<int, 9> kModeBits = {0, 1, 4, 8, 24, 4, 15, 16, 32};
} // namespace

int DisplayModeBits(int code) {
    const int low = code & DisplayModeDepthMask;
    return low < static_cast<int>(kModeBits.size()) ? kModeBits[static_cast<std::size_t>(low)] : 0;
}

int DepthToDisplayMode(int bits) {
    if (bits <= 8) return 3;
    if (bits <= 15) return 6;
    if (bits == 16) return 7;
    if (bits <= 24) return 4;
    return 8;
}
