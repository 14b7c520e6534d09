// The refresh of a window's sprites (erase, commit, draw), its per-layer records, the saved rectangles of
// what the runtime draws by itself, and the direct drawing of bank images into the window.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/sprite_window.h"
#include "win32/types.h"

class cSurfaceImplementation;

// One per frame layer.
struct LayerRecord {
    win32::DWORD reserved;
    win32::DWORD ink; // the sprite ink word of the whole layer (display-driver windows)
    win32::LONG_PTR inkParam;
    win32::DWORD flags; // bit 0: the layer's sprites go straight onto the window surface
    float factors[3];
    win32::DWORD word;
    win32::DWORD words[4];
};

constexpr win32::DWORD LayerDrawnDirectly = 0x1;

// The pixels that lay under something the runtime draws by itself.
struct SavedRect {
    cSurfaceImplementation* surface; // owned
    win32::RECT rect;
};

// Once per displayed frame: EraseSprites, the program's own drawing and CommitSpriteChanges, DrawSprites,
// then the window's UpdateWindowFromSurface.
VTRS2_API void EraseSprites(SpriteWindow* window);
VTRS2_API void CommitSpriteChanges(SpriteWindow* window);
VTRS2_API void DrawSprites(SpriteWindow* window);

VTRS2_API void AllocateLayerRecords(SpriteWindow* window, int count);
VTRS2_API LayerRecord* GetLayerRecord(SpriteWindow* window, int layer);
VTRS2_API void SetLayerEffect(SpriteWindow* window, int layer, win32::DWORD ink, win32::LONG_PTR inkParam,
                              win32::DWORD flags);

// right and bottom inclusive; 0 on success, -1 when nothing lies inside the window surface's clip.
VTRS2_API int SaveWindowRect(SpriteWindow* window, SavedRect* saved, int left, int top, int right,
                             int bottom);
VTRS2_API void RestoreWindowRect(SpriteWindow* window, SavedRect* saved);
VTRS2_API void FreeSavedRect(SavedRect* saved);

// Flags of DrawImageToWindow and DrawBankImageToWindow.
constexpr win32::DWORD DrawImageAtHotSpot = 0x1; // (x, y) is where the image's hot spot goes
constexpr win32::DWORD DrawImageOpaque = 0x2;    // DrawBankImageToWindow: no transparent colour
VTRS2_API void DrawImageToWindow(SpriteWindow* window, win32::DWORD image, int x, int y, win32::DWORD flags,
                                 win32::DWORD ink, win32::LONG_PTR inkParam);
VTRS2_API void DrawBankImageToWindow(SpriteWindow* window, win32::DWORD image, int x, int y,
                                     win32::DWORD flags);
