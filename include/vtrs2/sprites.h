// The sprite pool of a window, its display list ordered by layer key and z-order, and the sprite operations.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/image_mask.h"
#include "vtrs2/sprite_window.h"
#include "win32/types.h"

#include <cstdint>

class cSurfaceImplementation;
struct Sprite;

// Owner-drawn sprites: code 0 draw, 1 restore the background, 2 save it, 3 the sprite is freed, 4 return
// its collision mask (value = mask mode; the result is an ImageMask pointer).
using SpriteRoutine = win32::LONG_PTR (*)(Sprite* sprite, int code, win32::LONG_PTR value);
constexpr int SpriteRoutineDraw = 0;
constexpr int SpriteRoutineRestore = 1;
constexpr int SpriteRoutineSave = 2;
constexpr int SpriteRoutineFreed = 3;
constexpr int SpriteRoutineMask = 4;

// Sprite flags.
constexpr win32::DWORD SpriteCollidable = 0x1;
constexpr win32::DWORD SpriteRebuildTransformed = 0x2;
constexpr win32::DWORD SpriteShown = 0x8; // redrawn only when changed
constexpr win32::DWORD SpriteHidePending = 0x10;
constexpr win32::DWORD SpriteDeleted = 0x20;
constexpr win32::DWORD SpriteChanged = 0x40;
constexpr win32::DWORD SpriteHidden = 0x80;
constexpr win32::DWORD SpriteBoxOnly = 0x100;
constexpr win32::DWORD SpriteNoSave = 0x200;
constexpr win32::DWORD SpriteEraseFill = 0x400;
constexpr win32::DWORD SpriteSuspended = 0x800;
constexpr win32::DWORD SpriteRedraw = 0x1000;
constexpr win32::DWORD SpriteOwnerDrawn = 0x2000;
constexpr win32::DWORD SpriteRoutineSaves = 0x4000;
constexpr win32::DWORD SpritePlatform = 0x20000;
constexpr win32::DWORD SpriteBack = 0x80000;
constexpr win32::DWORD SpriteResample = 0x100000;
constexpr win32::DWORD SpriteAntialias = 0x200000;
constexpr win32::DWORD SpriteNoHotSpot = 0x400000;
constexpr win32::DWORD SpriteUntracked = 0x20000000;

struct SpriteGeometry {
    win32::LONG x, y;
    win32::LONG hotX, hotY;
    win32::LONG width, height;
    float scaleX, scaleY;
    float angle; // degrees, 0..360
    win32::RECT rect;
};

struct Sprite {
    win32::DWORD state; // 1 free, 2 in use
    Sprite* previous;   // display list (free list: next only)
    Sprite* next;
    win32::DWORD flags;
    win32::WORD layerKey; // layer * 2 + 1, or layer * 2 for a back sprite
    win32::LONG zOrder;
    SpriteGeometry displayed;
    SpriteGeometry pending;
    win32::RECT lastDrawn; // left and top -1: nothing drawn
    win32::DWORD image;    // displayed image handle
    SpriteRoutine routine; // owner-drawn sprites
    win32::DWORD pendingImage;
    win32::DWORD ink; // low 16 bits: blit ink; bit 28 transparent; bit 29 antialiased
    win32::LONG_PTR inkParam;
    win32::COLORREF eraseColour;
    cSurfaceImplementation* savedBackground; // owned: made by the drawing passes, deleted with the sprite
    cSurfaceImplementation* transformed;     // owned: the scaled or rotated image
    win32::LONG_PTR userData;
    // Its place in the display list: ascending from the head, so that two sprites compare without a walk.
    std::uint64_t order;
};

namespace sprites {
struct SpriteGrid;
}

struct SpriteManager {
    Sprite* firstFree;
    Sprite* first; // drawn first, furthest back
    Sprite* last;
    int capacity;
    Sprite* records;
    // Owned: where the tracked sprites lie, so that the sprites that meet one are found near it.
    sprites::SpriteGrid* grid;
};

constexpr win32::DWORD InkTransparent = 0x10000000;
constexpr win32::DWORD InkAntialiased = 0x20000000;

// The window's pool of `count` sprites (the window's configuration operation calls these); an earlier pool
// and its sprites are freed first. 0 when the pool cannot be allocated.
VTRS2_API int AllocateSpritePool(SpriteWindow* window, int count);
// Frees every sprite of the pool at once; the pool stays.
VTRS2_API void DeleteAllSprites(SpriteWindow* window);
VTRS2_API void FreeSpritePool(SpriteWindow* window);

VTRS2_API Sprite* CreateSprite(SpriteWindow* window, win32::LONG x, win32::LONG y, win32::DWORD image,
                               int layer, win32::LONG zOrder, win32::COLORREF eraseColour, win32::DWORD flags,
                               win32::LONG_PTR userData);
VTRS2_API Sprite* CreateSpriteEx(SpriteWindow* window, win32::LONG x1, win32::LONG y1, win32::LONG x2,
                                 win32::LONG y2, int layer, win32::LONG zOrder, win32::COLORREF eraseColour,
                                 win32::DWORD flags, win32::LONG_PTR userData, SpriteRoutine routine);
VTRS2_API void DeleteSprite(SpriteWindow* window, Sprite* sprite);
VTRS2_API void FreeSprite(SpriteWindow* window, Sprite* sprite);
VTRS2_API Sprite* ModifySprite(SpriteWindow* window, Sprite* sprite, win32::LONG x, win32::LONG y,
                               win32::DWORD image);
VTRS2_API Sprite* ModifySpriteEx(SpriteWindow* window, Sprite* sprite, win32::LONG x, win32::LONG y,
                                 win32::DWORD image, float scaleX, float scaleY, int resample, float angle,
                                 int antialias);
VTRS2_API void SetSpriteScale(SpriteWindow* window, Sprite* sprite, float scaleX, float scaleY, int resample);
VTRS2_API void SetSpriteAngle(SpriteWindow* window, Sprite* sprite, float angle, int antialias);
VTRS2_API void GetSpriteScale(SpriteWindow* window, Sprite* sprite, float* scaleX, float* scaleY,
                              int* resample);
VTRS2_API void GetPendingSpriteScale(SpriteWindow* window, Sprite* sprite, float* scaleX, float* scaleY,
                                     int* resample);
VTRS2_API float GetSpriteAngle(SpriteWindow* window, Sprite* sprite, int* antialias);
VTRS2_API float GetPendingSpriteAngle(SpriteWindow* window, Sprite* sprite, int* antialias);
VTRS2_API void GetSpriteDisplayedRect(SpriteWindow* window, Sprite* sprite, win32::RECT* rect);
VTRS2_API void GetSpriteRect(SpriteWindow* window, Sprite* sprite, win32::RECT* rect);
VTRS2_API Sprite* SetSpriteRect(SpriteWindow* window, Sprite* sprite, win32::LONG x1, win32::LONG y1,
                                win32::LONG x2, win32::LONG y2);
VTRS2_API Sprite* SetSpriteEffect(SpriteWindow* window, Sprite* sprite, win32::DWORD ink,
                                  win32::LONG_PTR param);
VTRS2_API void ShowSprite(SpriteWindow* window, Sprite* sprite, int show);
// Code 32 takes a rectangle through `rect`.
VTRS2_API void SetSpriteState(SpriteWindow* window, Sprite* sprite, int code,
                              const win32::RECT* rect = nullptr);
VTRS2_API int SetSpriteCollidable(SpriteWindow* window, Sprite* sprite, int value);
VTRS2_API win32::DWORD SetSpriteFlags(SpriteWindow* window, Sprite* sprite, win32::DWORD flags);
VTRS2_API win32::DWORD GetSpriteFlags(SpriteWindow* window, Sprite* sprite);
VTRS2_API int GetSpriteLayer(SpriteWindow* window, Sprite* sprite);
VTRS2_API win32::LONG_PTR GetSpriteUserData(SpriteWindow* window, Sprite* sprite);
VTRS2_API void SetSpriteLayer(SpriteWindow* window, Sprite* sprite, int layer);
VTRS2_API void MoveSpriteToFront(SpriteWindow* window, Sprite* sprite);
VTRS2_API void MoveSpriteToBack(SpriteWindow* window, Sprite* sprite);
VTRS2_API void MoveSpriteInFrontOf(SpriteWindow* window, Sprite* sprite, Sprite* other);
VTRS2_API void MoveSpriteBehind(SpriteWindow* window, Sprite* sprite, Sprite* other);
VTRS2_API Sprite* SwapSprites(SpriteWindow* window, Sprite* sprite, Sprite* other);
VTRS2_API int IsSpriteInFront(SpriteWindow* window, Sprite* sprite, Sprite* other);
VTRS2_API int IsSpriteBehind(SpriteWindow* window, Sprite* sprite, Sprite* other);
VTRS2_API Sprite* FindFirstLayerSprite(SpriteWindow* window, int layer, int back);
VTRS2_API Sprite* FindLastLayerSprite(SpriteWindow* window, int layer, int back);
VTRS2_API Sprite* FindNextSprite(SpriteWindow* window, Sprite* sprite, win32::DWORD flags);
VTRS2_API Sprite* FindPreviousSprite(SpriteWindow* window, Sprite* sprite, win32::DWORD flags);
// mode bit 0: the platform mask; 0x1000: wanted for a collision test.
VTRS2_API ImageMask* GetSpriteCollisionMask(SpriteWindow* window, Sprite* sprite, win32::DWORD image,
                                            win32::DWORD mode);
