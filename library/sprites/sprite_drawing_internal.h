// What the sprite drawing units share: the window's surfaces and update area, the translation of a
// sprite's ink word into the arguments of a blit, and the drawing of one bank image.
#pragma once

#include "sprite_rects.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface_implementation.h"
#include "win32/types.h"

class cSurface;
class cSurfaceImplementation;
struct ImageItem;

namespace sprites {

// Hidden and suspended sprites are not drawn.
constexpr win32::DWORD NotDrawn = SpriteHidden | SpriteSuspended;
// A blend at this coefficient leaves the surface as it was: a sprite or layer with it draws nothing.
constexpr int SeeThroughBlend = 128;

// The window's work surface; null when the window has none, or the record belongs to no window.
cSurface* WorkSurface(SpriteWindow* window);
// A surface of the display driver (engine::IsDriverSurfaceType).
bool IsDriverSurface(cSurfaceImplementation& surface);
// The surface's clip rectangle, right and bottom exclusive.
win32::RECT ClipOf(cSurfaceImplementation& surface);

// The part of the update area a sprite's rectangle makes: one pixel larger on every side (not below 0) for
// an antialiased ink.
win32::RECT UpdateRectOf(const win32::RECT& rect, win32::DWORD ink);
void AddSpriteUpdate(SpriteWindow* window, const win32::RECT& rect, win32::DWORD ink);

// The blit arguments of a sprite's ink word: bit 28 the transparent mode, the low 16 bits the ink, bit 29
// the antialiasing blit flag.
struct BlitInk {
    int mode;
    int ink;
    win32::LPARAM parameter;
    int flags;
};
BlitInk TranslateInk(win32::DWORD ink, win32::LONG_PTR parameter);

const ImageItem* ImageItemOf(SpriteWindow* window, win32::DWORD image);
// Draws a bank image with its top-left corner at (x, y); 0 when the image cannot be drawn.
int BlitBankImage(SpriteWindow* window, win32::DWORD image, cSurfaceImplementation& destination, int x, int y,
                  const BlitInk& ink);

// Makes, or drops, the scaled and rotated image of a sprite from its displayed geometry.
void BuildTransformedImage(SpriteWindow* window, Sprite* sprite);
// The pass that draws every sprite of a display-driver window, layer by layer.
void DrawDriverSprites(SpriteWindow* window, cSurfaceImplementation& work);

// Deletes a surface the caller owns and clears the pointer to it.
inline void DeleteOwned(cSurfaceImplementation*& surface) {
    if (cSurfaceImplementation* owned = surface) {
        surface = nullptr;
        owned->Delete();
    }
}

} // namespace sprites
