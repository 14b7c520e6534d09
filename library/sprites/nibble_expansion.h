// The 4-bit image expanders: 16-colour images become 8-bit ones when they are added to the image bank.
#pragma once

#include "win32/types.h"

namespace sprites {

// Rows of the 8-bit result: the width rounded up to an even count of bytes.
inline int ExpandedRowBytes(int width) {
    return (width + 1) & ~1;
}

// Packed nibbles, high nibble first, rows of ((width + 3) & ~3) / 2 bytes. Values 0-7 stay, 8-15 become
// 248-255. With the mask flag a second block of rows of the same length follows: a nibble whose top bit is
// set makes its pixel 0, and a clear one turns a 0 pixel into the substitute index.
void ExpandNibbles4To8(win32::BYTE* destination, const win32::BYTE* source, int width, int height, bool mask,
                       win32::BYTE substitute);
// Four bit planes per row of ((width + 15) >> 4) x 2 bytes each (bit 0 of the value first, most significant
// bit of each byte first). With the mask flag, rows of one bit per pixel follow the pixels: a set bit makes
// the pixel 0, a clear one turns a 0 pixel into the substitute index.
void ExpandPlanar4To8(win32::BYTE* destination, const win32::BYTE* source, int width, int height, bool mask,
                      win32::BYTE substitute);

} // namespace sprites
