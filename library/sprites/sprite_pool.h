// Internal pieces of the sprite pool shared by the sprite operations.
#pragma once

#include "vtrs2/sprites.h"

namespace sprites {

Sprite* AllocateSpriteBlock(SpriteManager& manager);
void ReleaseSpriteBlock(SpriteManager& manager, Sprite* sprite);
void InsertSpriteInOrder(SpriteManager& manager, Sprite* sprite);
void UnlinkSprite(SpriteManager& manager, Sprite* sprite);
void LinkSpriteAfter(SpriteManager& manager, Sprite* sprite, Sprite* after);

bool AddToList(SpriteList& list, Sprite* sprite);
bool RemoveFromList(SpriteList& list, Sprite* sprite);
void FreeList(SpriteList& list);

void UpdateOverlapList(SpriteManager& manager, Sprite* sprite);
void RemoveFromOverlapLists(Sprite* sprite);
void FlagOverlappingSprites(Sprite* sprite);

} // namespace sprites
