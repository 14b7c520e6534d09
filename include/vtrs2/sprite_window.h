// What the sprite and collision-mask code keep per window. The AppWindow record holds one SpriteWindow
// and passes it to every sprite and collision-mask operation.
#pragma once

#include "win32/types.h"

struct AppWindow;
class cSurface;
struct ContextBanks;
struct LayerRecord;
struct SpriteManager;
struct SpriteWindowHost;

// The play-area collision planes of a window: an obstacle and a platform bit-plane over the play area
// and a margin around it.
struct CollisionMask {
    win32::WORD fineCollisions; // 0: collisions on bounding boxes only
    win32::WORD stride;         // bytes per row of a plane
    win32::LONG xOrigin;        // added to every x given to the mask
    win32::LONG left, right; // inclusive bounds in play-area pixels; left and right + 1 are multiples of 16
    win32::LONG top, bottom; // inclusive
    win32::BYTE* planes;     // one zero-filled block holding both planes
    win32::LONG obstacleOffset; // -1: absent
    win32::LONG platformOffset; // -1: absent; equal to the obstacle offset when only that plane exists
    win32::LONG planeLength;
    win32::LONG playWidth, playHeight;                    // set by the window
    win32::LONG clipLeft, clipTop, clipRight, clipBottom; // inclusive; tests outside see nothing
    win32::LONG yOrigin;
};

struct SpriteWindow {
    ContextBanks* banks;     // the banks of the window's application context
    win32::WORD displayMode; // the context's display-mode code; bit 0x10 makes new sprites untracked
    win32::WORD stateFlags;  // window state flags; 0x10 keeps the sprite pass from making a background copy
    CollisionMask mask;
    SpriteManager* sprites;
    // The window the sprites are drawn in: its work surface, background copy and update area, reached
    // through the host's functions. Both null for a record that only tests collisions.
    AppWindow* appWindow;
    const SpriteWindowHost* host;
    int layerCount;
    LayerRecord* layers;    // owned, layerCount records
    cSurface* layerSurface; // owned: where the display-driver pass composes a layer drawn with an ink
};

// Display-mode bit of a context whose windows draw through the display driver.
constexpr win32::WORD DisplayModeDriver = 0x10;
// Window state flag: the sprite pass makes no background copy, so each sprite keeps what lay under it.
constexpr win32::WORD SpriteWindowNoBackgroundCopy = 0x10;
