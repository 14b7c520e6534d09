// The play-area pixels that a sprite covers, drawn with its mask or as a solid box, scaled and turned about
// its hot spot; every sprite search answers by them.
#pragma once

#include "win32/types.h"

namespace sprites {

struct SpriteShape {
    const win32::BYTE* bits;   // null: every pixel of the box is solid
    win32::LONG stride;        // bytes per row of the bits
    win32::LONG width, height; // unscaled
    win32::LONG hotX, hotY;
    win32::LONG x, y; // where the hot spot lies
    double scaleX, scaleY;
    double angle;     // degrees
    win32::RECT clip; // the only pixels it may cover; right and bottom exclusive
};

// Unscaled and unturned.
bool IsPlainShape(const SpriteShape& shape);
// A solid rectangle.
SpriteShape BoxShape(const win32::RECT& rect);
// Whether the pixel (px, py) is covered. Scaled shapes map it from their scaled top-left corner, turned
// ones from their hot spot: (u, v) = hot + trunc(offset turned back and divided by the scales).
bool ShapeCovers(const SpriteShape& shape, win32::LONG px, win32::LONG py);
// Whether some pixel is covered by both.
bool ShapesMeet(const SpriteShape& a, const SpriteShape& b);

} // namespace sprites
