// The fixed pool of sprite records of a window, the display list and the overlap lists between sprites.
#include "sprite_pool.h"

#include "vtrs2/memory.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace sprites {

namespace {

constexpr DWORD BlockFree = 1;
constexpr DWORD BlockInUse = 2;
constexpr int ListStep = 16;
// Neighbours in these states are not redrawn through an overlap: already queued, changed, hidden or
// suspended.
constexpr DWORD NotFlaggable = SpriteRedraw | SpriteSuspended | SpriteHidden | SpriteChanged;

bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT Union(const RECT& a, const RECT& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool Meets(const RECT& area, const Sprite* other) {
    return Overlaps(area, other->displayed.rect) || Overlaps(area, other->pending.rect);
}

bool Tracked(const Sprite* s) {
    return !(s->flags & SpriteUntracked);
}

} // namespace

Sprite* AllocateSpriteBlock(SpriteManager& manager) {
    Sprite* sprite = manager.firstFree;
    if (!sprite) return nullptr;
    manager.firstFree = sprite->next;
    std::memset(static_cast<void*>(sprite), 0, sizeof(Sprite));
    sprite->state = BlockInUse;
    LinkSpriteAfter(manager, sprite, manager.last);
    return sprite;
}

void ReleaseSpriteBlock(SpriteManager& manager, Sprite* sprite) {
    if (sprite->state != BlockInUse) return;
    UnlinkSprite(manager, sprite);
    sprite->state = BlockFree;
    sprite->previous = nullptr;
    sprite->next = manager.firstFree;
    manager.firstFree = sprite;
}

void UnlinkSprite(SpriteManager& manager, Sprite* sprite) {
    (sprite->previous ? sprite->previous->next : manager.first) = sprite->next;
    (sprite->next ? sprite->next->previous : manager.last) = sprite->previous;
    sprite->previous = sprite->next = nullptr;
}

void LinkSpriteAfter(SpriteManager& manager, Sprite* sprite, Sprite* after) {
    sprite->previous = after;
    sprite->next = after ? after->next : manager.first;
    (sprite->next ? sprite->next->previous : manager.last) = sprite;
    (after ? after->next : manager.first) = sprite;
}

void InsertSpriteInOrder(SpriteManager& manager, Sprite* sprite) {
    Sprite* after = sprite->previous;
    // Equal keys and z-orders keep creation order: the new sprite goes after them.
    while (after && (after->layerKey > sprite->layerKey ||
                     (after->layerKey == sprite->layerKey && after->zOrder > sprite->zOrder)))
        after = after->previous;
    if (after == sprite->previous) return;
    UnlinkSprite(manager, sprite);
    LinkSpriteAfter(manager, sprite, after);
}

bool AddToList(SpriteList& list, Sprite* sprite) {
    if (list.count == list.capacity) {
        Sprite** grown = list.items;
        if (!ReallocMemory((list.capacity + ListStep) * sizeof(Sprite*), &grown)) return false;
        list.items = grown;
        list.capacity += ListStep;
    }
    list.items[list.count++] = sprite;
    return true;
}

bool RemoveFromList(SpriteList& list, Sprite* sprite) {
    for (int i = 0; i < list.count; ++i) {
        if (list.items[i] != sprite) continue;
        list.items[i] = list.items[--list.count];
        return true;
    }
    return false;
}

void FreeList(SpriteList& list) {
    FreeMemory(&list.items);
    list.count = list.capacity = 0;
}

void UpdateOverlapList(SpriteManager& manager, Sprite* sprite) {
    if (!Tracked(sprite)) return;
    const RECT area = Union(sprite->displayed.rect, sprite->pending.rect);
    for (int i = 0; i < sprite->overlaps.count; ++i)
        sprite->overlaps.items[i]->flags |= SpriteMarked;
    for (Sprite* other = manager.first; other; other = other->next) {
        if (other == sprite || !Tracked(other) || !Meets(area, other)) continue;
        if (other->flags & SpriteMarked) {
            other->flags &= ~SpriteMarked;
            continue;
        }
        // A failed growth leaves the pair unlinked rather than half linked.
        if (!AddToList(sprite->overlaps, other)) continue;
        if (!AddToList(other->overlaps, sprite)) RemoveFromList(sprite->overlaps, other);
    }
    for (int i = 0; i < sprite->overlaps.count;) {
        Sprite* other = sprite->overlaps.items[i];
        if (!(other->flags & SpriteMarked)) {
            ++i;
            continue;
        }
        other->flags &= ~SpriteMarked;
        RemoveFromList(other->overlaps, sprite);
        sprite->overlaps.items[i] = sprite->overlaps.items[--sprite->overlaps.count];
    }
}

void RemoveFromOverlapLists(Sprite* sprite) {
    for (int i = 0; i < sprite->overlaps.count; ++i)
        RemoveFromList(sprite->overlaps.items[i]->overlaps, sprite);
    FreeList(sprite->overlaps);
}

void FlagOverlappingSprites(Sprite* sprite) {
    if (!Tracked(sprite)) return;
    // Depth first through the chain of neighbours, with an explicit stack so that long chains cannot
    // exhaust the call stack.
    SpriteList stack{};
    AddToList(stack, sprite);
    while (stack.count > 0) {
        Sprite* current = stack.items[--stack.count];
        for (int i = current->overlaps.count - 1; i >= 0; --i) {
            Sprite* other = current->overlaps.items[i];
            if (!(other->flags & SpriteShown) || (other->flags & NotFlaggable)) continue;
            other->flags |= SpriteRedraw;
            if (!AddToList(stack, other)) break;
        }
    }
    FreeList(stack);
}

} // namespace sprites
