// Rectangles kept per layer of the running frame (the ladder zones of the platform movement), normalised
// so that left <= right and top <= bottom. ResetFrameLayers frees them.
#pragma once

#include "win32/types.h"

namespace vtrrt {

// Nothing for a layer the current frame does not have, or when the list cannot grow.
void AddLayerRect(int layer, int x1, int y1, int x2, int y2);
// Removes, keeping the others' order, every rectangle of the layer that overlaps the given one (touching
// edges do not overlap).
void EraseLayerRects(int layer, int x1, int y1, int x2, int y2);
// The first rectangle of the layer (of every layer in order for -1) with left <= x < right and
// top <= y < bottom; null when none.
const win32::RECT* HitTestLayerRects(int layer, int x, int y);

} // namespace vtrrt
