// The desktop's extent, for callers that place windows across all monitors.
#pragma once

#include "win32/types.h"

namespace win32 {

// The union of every display's bounds (the virtual screen); with no display bounds to be had, the primary
// display's size at (0, 0); an empty rectangle when there is no display at all.
void GetVirtualScreenBounds(RECT* rect);

} // namespace win32
