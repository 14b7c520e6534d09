// Internal pieces of the sprite pool shared by the sprite operations.
#pragma once

#include "vtrs2/sprites.h"

#include <vector>

namespace sprites {

// Neighbours in these states are not queued for redraw through an overlap: already queued, changed, hidden
// or suspended.
constexpr win32::DWORD NotFlaggable = SpriteRedraw | SpriteSuspended | SpriteHidden | SpriteChanged;

Sprite* AllocateSpriteBlock(SpriteManager& manager);
void ReleaseSpriteBlock(SpriteManager& manager, Sprite* sprite);
void InsertSpriteInOrder(SpriteManager& manager, Sprite* sprite);
void UnlinkSprite(SpriteManager& manager, Sprite* sprite);
void LinkSpriteAfter(SpriteManager& manager, Sprite* sprite, Sprite* after);

bool AddToList(SpriteList& list, Sprite* sprite);
bool RemoveFromList(SpriteList& list, Sprite* sprite);
void FreeList(SpriteList& list);

// The overlap grid of a pool: made with the pool, freed after its sprites.
bool MakeOverlapGrid(SpriteManager& manager);
void FreeOverlapGrid(SpriteManager& manager);
// Lists a tracked sprite in the grid cells under its displayed and pending rectangles.
void PlaceInGrid(SpriteManager& manager, Sprite* sprite);
// The tracked sprites whose displayed or pending rectangle may meet the area, in display order, each with
// its place in the display list in its rank; false without a grid.
bool SpritesNear(SpriteManager& manager, const win32::RECT& area, std::vector<Sprite*>& found);

void UpdateOverlapList(SpriteManager& manager, Sprite* sprite);
void RemoveFromOverlapLists(SpriteManager& manager, Sprite* sprite);
void FlagOverlappingSprites(Sprite* sprite);

} // namespace sprites
