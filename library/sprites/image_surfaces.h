// Bank image pixels moved in and out of memory surfaces, for mask building and depth conversion; the
// window layer's palette DIBs use it too (a declared interface header of the sprites).
#pragma once

#include "vtrs2/memory_surfaces.h"
#include "win32/types.h"

namespace sprites {

// Bits per pixel of an image display mode, and the packing flag that suits its pixels; null when the mode
// is not a stored image format.
struct ModeFormat {
    win32::DWORD mode;
    int depth;
    win32::DWORD packing;
};
const ModeFormat* FindModeFormat(win32::DWORD mode);

// Gives the surface the image's size and depth and copies its rows in (rows as the image stores them).
bool LoadImageRows(cBufferSurface& surface, const ModeFormat& format, int width, int height,
                   const win32::BYTE* pixels);
// Copies the surface's rows out into the image row layout of the mode.
void StoreImageRows(const cBufferSurface& surface, const ModeFormat& format, win32::BYTE* pixels);

} // namespace sprites
