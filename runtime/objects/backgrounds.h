// A frame's backgrounds: its placed backdrops (shapes and images) and the backdrops added while it runs,
// drawn into the window's background or shown as sprites of their layers, written into the play-area
// collision mask, scrolled, and tested for collisions.
#pragma once

#include "core/frame_record.h"

#include "win32/types.h"

#include <cstdint>

class cSurface;
class CEffectEx;
struct Sprite;

namespace vtrrt {

struct RunObject;

// Obstacle types of backdrops.
constexpr std::uint16_t ObstacleNone = 0;
constexpr std::uint16_t ObstacleSolid = 1;
constexpr std::uint16_t ObstaclePlatform = 2;
constexpr std::uint16_t ObstacleLadder = 3;
constexpr std::uint16_t ObstacleNotSolid = 4;

// Shapes and fills of a quick backdrop.
constexpr std::uint16_t ShapeLine = 1;
constexpr std::uint16_t ShapeRectangle = 2;
constexpr std::uint16_t ShapeEllipse = 3;
constexpr std::uint16_t FillNone = 0;
constexpr std::uint16_t FillSolid = 1;
constexpr std::uint16_t FillGradient = 2;
constexpr std::uint16_t FillMotif = 3;

// Layer flags the backgrounds read and write.
constexpr std::uint32_t LayerScrollsX = 0x01;
constexpr std::uint32_t LayerScrollsY = 0x02;
constexpr std::uint32_t LayerAltSpriteFlags = 0x04;
constexpr std::uint32_t LayerShown = 0x10;
constexpr std::uint32_t LayerWrapsX = 0x20;
constexpr std::uint32_t LayerWrapsY = 0x40;
constexpr std::uint32_t LayerRedrawPartial = 0x10000;
constexpr std::uint32_t LayerHideRequest = 0x20000;
constexpr std::uint32_t LayerShowRequest = 0x40000;

// Frame flags.
constexpr std::uint32_t FrameNoBackgroundFill = 0x04;
constexpr std::uint32_t FrameCollisionsPerLayer = 0x20;

// Flags of RedrawFrame.
constexpr std::uint32_t RedrawNoCopy = 0x02;
constexpr std::uint32_t RedrawScrollFirst = 0x04;
constexpr std::uint32_t RedrawClearSurfaces = 0x08;
constexpr std::uint32_t RedrawKeepMask = 0x10;
constexpr std::uint32_t RedrawMaskClipOnly = 0x20;
constexpr std::uint32_t RedrawKeepLayer0 = 0x40;
constexpr std::uint32_t RedrawPartialLayers = 0x80;
constexpr std::uint32_t RedrawPresent = 0x100;
constexpr std::uint32_t RedrawFreeSprites = 0x200;
// What the frame's start and its rebuild ask for.
constexpr std::uint32_t RedrawFirstOfRun = RedrawPresent | RedrawNoCopy;
constexpr std::uint32_t RedrawAfterRebuild = RedrawClearSurfaces | RedrawNoCopy;
// What the loop's redraw requests and a loaded position ask for.
constexpr std::uint32_t RedrawWholeFrame = RedrawScrollFirst | RedrawNoCopy;
constexpr std::uint32_t RedrawWholeFrameKeepMask = RedrawWholeFrame | RedrawKeepMask;
constexpr std::uint32_t RedrawChangedLayers = RedrawWholeFrame | RedrawPartialLayers;

// A quick backdrop's shape: border, shape, fill and the fill's data, as its definition stores them.
struct QuickBackdropShape {
    std::uint16_t borderWidth;
    std::uint32_t borderColour;
    std::uint16_t shape;
    std::uint16_t fillType;
    std::uint32_t colour1; // solid: the colour; gradient: the first
    std::uint32_t colour2;
    std::uint32_t vertical;
    std::uint16_t image;     // motif
    std::uint16_t lineFlags; // a line: bit 0 right to left, bit 1 bottom to top
};

// A backdrop added to a layer while the frame runs.
struct LayerBackdrop {
    std::uint32_t word;
    std::int32_t x, y; // top-left corner, frame coordinates
    std::uint16_t image;
    std::uint16_t fine; // collisions test the image's mask
    std::uint16_t layer;
    std::uint16_t obstacle;
    Sprite* sprites[4]; // itself, and its copies wrapped across the width, the height and both
    std::uint32_t ink;
    CEffectEx* effect; // owned for ink 13
    std::uint32_t physicsLink;
};

// The most run-time backdrops a layer holds when the frame names no other number.
constexpr std::int32_t DefaultMaxLayerBackdrops = 65536;

// Drawing.
QuickBackdropShape ReadQuickBackdropShape(const std::uint8_t* definition, std::size_t size);
void DrawBackgroundObject(cSurface* surface, const QuickBackdropShape& shape, int x, int y, int width,
                          int height, int blitMode, std::uint32_t ink, win32::LPARAM effect, int antialias);
win32::LONG_PTR DrawBackdropSprite(Sprite* sprite, int code, win32::LONG_PTR value);
win32::LONG_PTR DrawObjectBackdropSprite(Sprite* sprite, int code, win32::LONG_PTR value);
void RedrawFrame(std::uint32_t flags);
void RedrawLayerAddedBackdrops(FrameLayer& layer, int layerIndex, std::uint32_t flags, int windowRight,
                               int windowBottom, bool maskClean);
void UpdateFrameScrollPosition();
void ScrollFrameSurfaces(FrameRecord& frame);

// Run-time backdrops.
void AddLayerBackdrop(RunObject* object, std::uint16_t obstacle, bool keep);
void PasteSurfaceIntoBackground(cSurface* surface, int x, int y, std::uint32_t ink, CEffectEx* effect,
                                std::uint16_t obstacle, int layer);
void AddRunBackdropToLayer(const LayerBackdrop& record);
void DeleteLayerBackdrops(int layer);
void DeleteLayerBackdropAt(int x, int y, int layer, bool testMask);
void BuildLayerBackdropGrid(FrameLayer& layer);
// Lets go of the layer's run-time backdrops and the sprites of its placed backdrops.
void FreeLayerBackdrops(FrameLayer& layer, const FrameRecord& frame);
void FreeBackdropGrid(void* grid);

// Background collisions: x and y in window coordinates; obstacle 1 asks for platforms, anything else for
// obstacles. 1 on a hit.
int TestPointAgainstBackground(int x, int y, int layer, int obstacle);
int TestRectAgainstBackdrops(int x, int y, int width, int height, int layer, int obstacle);
int TestSpriteAgainstBackdrops(Sprite* sprite, std::uint32_t image, int x, int y, float angle, float scaleX,
                               float scaleY, int heightLimit, int obstacle);
int TestLayerBackdropsAtPoint(int x, int y, int layer, int obstacle);
int TestLayerBackdropsInRect(int x, int y, int width, int height, int layer, int obstacle);
int TestSpriteAgainstLayerBackdrops(Sprite* sprite, std::uint32_t image, int x, int y, float angle,
                                    float scaleX, float scaleY, int heightLimit, int obstacle);

} // namespace vtrrt
