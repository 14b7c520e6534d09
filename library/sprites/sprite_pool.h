// Internal pieces of the sprite pool shared by the sprite operations: the display list with its order labels,
// and the grid of where the tracked sprites lie, through which the sprites that meet one are found.
#pragma once

#include "vtrs2/sprites.h"

#include <vector>

namespace sprites {

// Sprites in these states are not flagged for redraw through an overlap: already flagged, changed, hidden or
// suspended.
constexpr win32::DWORD NotFlaggable = SpriteRedraw | SpriteSuspended | SpriteHidden | SpriteChanged;

Sprite* AllocateSpriteBlock(SpriteManager& manager);
void ReleaseSpriteBlock(SpriteManager& manager, Sprite* sprite);
void InsertSpriteInOrder(SpriteManager& manager, Sprite* sprite);
// Exchanges the places of two sprites in the display list.
void SwapPlaces(SpriteManager& manager, Sprite* a, Sprite* b);

// The grid of a pool: made with the pool, freed after its sprites.
bool MakeSpriteGrid(SpriteManager& manager);
void FreeSpriteGrid(SpriteManager& manager);
// Lists a tracked sprite in the cells under its displayed and pending rectangles (after every change of
// either); an untracked one leaves the grid.
void PlaceInGrid(SpriteManager& manager, Sprite* sprite);
void RemoveFromGrid(SpriteManager& manager, Sprite* sprite);
// The tracked sprites whose displayed or pending rectangle may meet the area, in display order; false
// without a grid.
bool SpritesNear(SpriteManager& manager, const win32::RECT& area, std::vector<Sprite*>& found);
// The sprites in display order, copied into the list given: the passes walk an array, whose records are
// fetched ahead, instead of following the list from record to record.
void ListInOrder(SpriteManager& manager, std::vector<Sprite*>& list);
inline void PrefetchSprite(const Sprite* s) {
    const char* bytes = reinterpret_cast<const char*>(s);
    for (std::size_t offset = 0; offset < sizeof(Sprite); offset += 64)
        __builtin_prefetch(bytes + offset);
}
// How far ahead the passes fetch records.
constexpr std::size_t FetchAhead = 6;

// Scratch lists for searches and passes, so that they allocate nothing once the pool has run a while.
std::vector<Sprite*> TakeScratchList(SpriteManager& manager);
void GiveBackScratchList(SpriteManager& manager, std::vector<Sprite*>&& list);

// Whether the displayed or pending rectangle of one sprite meets the displayed or pending rectangle of the
// other, each one pixel larger on every side for an antialiased ink: whether drawing or erasing one touches
// the other's pixels.
bool SpritesMeet(const Sprite* a, const Sprite* b);
// Flags for redraw (0x1000) every shown sprite, not changed, hidden, suspended or already flagged, whose
// displayed or pending rectangle meets the area.
void FlagSpritesInRect(SpriteManager& manager, const win32::RECT& area);
// Before an erase pass: flags for redraw every shown sprite that did not change but meets a sprite the
// passes erase or draw, and every such sprite meeting one flagged, so that what lies over and under each
// change is drawn again in display order.
void FlagSpritesToRedraw(SpriteManager& manager);

} // namespace sprites
