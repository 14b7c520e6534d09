// Which sprites of a window lie under a point, meet a rectangle or touch another sprite: boxes first, then
// the images' collision masks, scaled and rotated as the sprites are, when fine collisions are on.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/image_mask.h"
#include "vtrs2/sprite_window.h"
#include "win32/types.h"

struct Sprite;

// Search flags.
constexpr win32::DWORD SearchSkipPlatforms = 0x1;    // with SearchBackSprites
constexpr win32::DWORD SearchEverySprite = 0x4;      // collidable or not (point and rectangle searches)
constexpr win32::DWORD SearchBackSprites = 0x8;      // the layer's back sprites instead of its front ones
constexpr win32::DWORD SearchGivenCandidates = 0x20; // CollectSpriteCollisions: candidates come in the list

// Collision-mask mode bit: the platform mask instead of the full mask.
constexpr win32::DWORD MaskModePlatform = 0x1;
// Collision-mask mode bit: the mask is wanted for a collision test.
constexpr win32::DWORD MaskModeCollision = 0x1000;

// One entry of CollectSpriteCollisions' list; the list ends with a null sprite.
struct SpriteHit {
    Sprite* sprite;
    win32::LONG_PTR userData;
};

// The mask of the sprite's pending image.
VTRS2_API ImageMask* GetSpriteImageMask(SpriteWindow* window, Sprite* sprite, win32::DWORD unused,
                                        win32::DWORD mode);
// The next sprite after `previous` (null: from the front of the list) whose shape holds the point; layer
// -1 searches every layer.
VTRS2_API Sprite* FindSpriteAtPoint(SpriteWindow* window, Sprite* previous, int layer, win32::LONG x,
                                    win32::LONG y, win32::DWORD flags);
VTRS2_API Sprite* FindSpriteInRect(SpriteWindow* window, Sprite* previous, int layer, win32::LONG x,
                                   win32::LONG y, win32::LONG width, win32::LONG height, win32::DWORD flags);
// The first sprite that the sprite would touch drawn with `image` (0: its own) at (x, y), turned and
// scaled so; a height limit keeps only that many of its lowest rows.
VTRS2_API Sprite* CollideSpriteWithSprites(SpriteWindow* window, Sprite* sprite, win32::DWORD image,
                                           win32::LONG x, win32::LONG y, float angle, float scaleX,
                                           float scaleY, win32::LONG heightLimit, win32::DWORD flags);
// Every sprite touched, written into `hits` (room for one more than can be hit; null: only counted) and
// closed with a null sprite; the number touched.
VTRS2_API int CollectSpriteCollisions(SpriteWindow* window, Sprite* sprite, SpriteHit* hits,
                                      win32::DWORD image, win32::LONG x, win32::LONG y, float angle,
                                      float scaleX, float scaleY, win32::DWORD flags);
