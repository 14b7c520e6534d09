// The virtual raster: where a display's beam is at a time, from its refresh rate and visible lines.
#pragma once

#include "win32/d3d8.h"

namespace win32::d3d {

// A period runs over the visible lines, then a vertical blank of a twenty-fourth more, as video timings
// do (1080 visible lines of 1125); periods start at time 0.
D3DRASTER_STATUS RasterAt(DWORD milliseconds, UINT refreshHz, UINT visibleLines);

} // namespace win32::d3d
