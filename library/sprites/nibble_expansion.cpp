// The 4-bit image expanders.
#include "nibble_expansion.h"

#include <cstddef>

using namespace win32;

namespace sprites {
namespace {

// The upper eight of the sixteen colours are the last eight entries of a 256-colour palette.
BYTE IndexOfNibble(int v) {
    return static_cast<BYTE>(v < 8 ? v : v + 0xF0);
}

BYTE Masked(BYTE pixel, bool transparent, BYTE substitute) {
    if (transparent) return 0;
    return pixel == 0 ? substitute : pixel;
}

int Nibble(const BYTE* row, int x) {
    const BYTE b = row[x >> 1];
    return (x & 1) ? (b & 0x0F) : (b >> 4);
}

bool Bit(const BYTE* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

} // namespace

void ExpandNibbles4To8(BYTE* destination, const BYTE* source, int width, int height, bool mask,
                       BYTE substitute) {
    const std::ptrdiff_t sourceRow = ((width + 3) & ~3) / 2, destinationRow = ExpandedRowBytes(width);
    const BYTE* masks = source + sourceRow * height;
    for (int y = 0; y < height; ++y) {
        const BYTE* in = source + sourceRow * y;
        BYTE* out = destination + destinationRow * y;
        for (int x = 0; x < width; ++x) {
            out[x] = IndexOfNibble(Nibble(in, x));
            if (mask) out[x] = Masked(out[x], Nibble(masks + sourceRow * y, x) & 8, substitute);
        }
    }
}

void ExpandPlanar4To8(BYTE* destination, const BYTE* source, int width, int height, bool mask,
                      BYTE substitute) {
    const std::ptrdiff_t plane = ((width + 15) >> 4) * 2, sourceRow = 4 * plane;
    const std::ptrdiff_t destinationRow = ExpandedRowBytes(width);
    const BYTE* masks = source + sourceRow * height;
    for (int y = 0; y < height; ++y) {
        const BYTE* in = source + sourceRow * y;
        BYTE* out = destination + destinationRow * y;
        for (int x = 0; x < width; ++x) {
            int v = 0;
            for (int bit = 0; bit < 4; ++bit)
                v |= Bit(in + plane * bit, x) << bit;
            out[x] = IndexOfNibble(v);
            if (mask) out[x] = Masked(out[x], Bit(masks + plane * y, x), substitute);
        }
    }
}

} // namespace sprites
