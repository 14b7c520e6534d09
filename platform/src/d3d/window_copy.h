// Shows a picture in a window's client area of the layer's backing bitmap, scaled to it.
#pragma once

#include "win32/d3d8.h"

#include <span>

namespace win32::d3d {

// pixels: width x height of 0xAARRGGBB, top row first. keepRatio (full screen): scaled as large as the
// client area allows without changing its shape, centred, black around. False when the window is not a
// live window.
bool CopyToWindowClient(HWND window, std::span<const D3DCOLOR> pixels, UINT width, UINT height,
                        bool keepRatio);

} // namespace win32::d3d
