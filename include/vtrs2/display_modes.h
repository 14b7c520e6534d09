// Display-mode codes, as contexts, windows, palettes and images keep them: the low 4 bits index the depth
// table; 0x10 draws through a display driver, and 0x80 of a driver mode names the Direct3D 8 driver.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

constexpr win32::WORD DisplayModeDepthMask = 0x000F;
constexpr win32::WORD DisplayModeDriverFlag = 0x0010;
constexpr win32::WORD DisplayModeDirect3D8Flag = 0x0080;

// Bits per pixel of each display-mode code (low 4 bits); codes above 8 have none.
VTRS2_API int DisplayModeBits(int code);
// The display-mode code of a driver's depth.
VTRS2_API int DepthToDisplayMode(int bitsPerPixel);
