// For tests only: draws through the generic pixel routines or through the fast paths, so that a test can
// draw the same picture both ways and compare.
#pragma once

#include "vtrs2/export.h"

#include <cstdint>

// Turns the fast paths on or off for surfaces made (and stretches run) from now on; answers the previous
// state. The environment switch VTR_NO_FAST_PATHS sets the state at start.
VTRS2_API bool SetFastPixelPathsForTest(bool enabled);
// The instruction sets (Highway's target bits) that the library has vector fast paths for.
VTRS2_API std::int64_t GetFastPathTargetsForTest();
