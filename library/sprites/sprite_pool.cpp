// The fixed pool of sprite records of a window, the display list and the overlap lists between sprites.
#include "sprite_pool.h"

#include "sprite_rects.h"
#include "vtrs2/memory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

using namespace win32;

namespace sprites {

namespace {

constexpr DWORD BlockFree = 1;
constexpr DWORD BlockInUse = 2;
constexpr int ListStep = 16;

// Rectangles given backwards (right before left) cover nothing and meet nothing.
bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom && a.left < a.right &&
           a.top < a.bottom && b.left < b.right && b.top < b.bottom;
}

bool Meets(const RECT& area, const Sprite* other) {
    return Overlaps(area, other->displayed.rect) || Overlaps(area, other->pending.rect);
}

bool Tracked(const Sprite* s) {
    return !(s->flags & SpriteUntracked);
}

// Sprites are listed in square cells of this many pixels (as a shift) under their rectangles.
constexpr int CellShift = 6;
// A rectangle over more cells than this is listed once, among the large ones that every query meets.
constexpr long long MaxCells = 256;
constexpr RECT NoCells{0, 0, -1, -1};

bool NoCellsIn(const RECT& cells) {
    return cells.right < cells.left;
}

RECT CellsOf(const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top) return NoCells;
    return {r.left >> CellShift, r.top >> CellShift, (r.right - 1) >> CellShift, (r.bottom - 1) >> CellShift};
}

long long CellCount(const RECT& cells) {
    if (NoCellsIn(cells)) return 0;
    return (static_cast<long long>(cells.right) - cells.left + 1) *
           (static_cast<long long>(cells.bottom) - cells.top + 1);
}

std::uint64_t CellKey(LONG x, LONG y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) | static_cast<std::uint32_t>(y);
}

// A sprite listed in a cell, with the rectangle it was listed for (its displayed and pending rectangles,
// or more).
struct GridEntry {
    Sprite* sprite;
    RECT area;
};
using GridList = std::vector<GridEntry>;

GridEntry* Find(GridList& list, const Sprite* sprite) {
    for (GridEntry& e : list)
        if (e.sprite == sprite) return &e;
    return nullptr;
}

void Unlist(GridList& list, const Sprite* sprite) {
    if (GridEntry* e = Find(list, sprite)) {
        *e = list.back();
        list.pop_back();
    }
}

} // namespace

// Where the tracked sprites lie: without it every change of a sprite would be compared with every other
// sprite of the window.
struct OverlapGrid {
    std::unordered_map<std::uint64_t, GridList> cells;
    GridList large;
    // The display list changed this many times; the sprites were numbered in order at rankedAt.
    std::uint64_t listChanges = 1;
    std::uint64_t rankedAt = 0;

    template <typename F> void ForEach(const RECT& range, F&& visit) {
        for (LONG y = range.top; y <= range.bottom; ++y)
            for (LONG x = range.left; x <= range.right; ++x)
                if (auto found = cells.find(CellKey(x, y)); found != cells.end()) visit(found->second, x, y);
    }

    void Remove(Sprite* sprite) {
        const RECT& old = sprite->gridCells;
        if (CellCount(old) > MaxCells)
            Unlist(large, sprite);
        else
            ForEach(old, [&](GridList& list, LONG, LONG) { Unlist(list, sprite); });
        sprite->gridCells = NoCells;
    }

    void Place(Sprite* sprite, const RECT& area) {
        const RECT range = CellsOf(area);
        const RECT& old = sprite->gridCells;
        if (range.left == old.left && range.top == old.top && range.right == old.right &&
            range.bottom == old.bottom) {
            // The same cells: only the rectangle they list changes.
            auto update = [&](GridList& list, LONG, LONG) {
                if (GridEntry* e = Find(list, sprite)) e->area = area;
            };
            if (CellCount(range) > MaxCells)
                update(large, 0, 0);
            else
                ForEach(range, update);
            return;
        }
        Remove(sprite);
        sprite->gridCells = range;
        if (CellCount(range) > MaxCells) {
            large.push_back({sprite, area});
            return;
        }
        for (LONG y = range.top; y <= range.bottom; ++y)
            for (LONG x = range.left; x <= range.right; ++x)
                cells[CellKey(x, y)].push_back({sprite, area});
    }

    // Every listed sprite whose listed rectangle meets the area, once each: a sprite listed in several
    // cells is taken in the cell where its meeting with the area begins.
    template <typename F> void Near(const RECT& area, F&& visit) {
        auto inCell = [&](GridList& list, LONG x, LONG y) {
            for (const GridEntry& e : list) {
                const LONG left = std::max(area.left, e.area.left), top = std::max(area.top, e.area.top);
                if (left >= std::min(area.right, e.area.right) || top >= std::min(area.bottom, e.area.bottom))
                    continue;
                if ((left >> CellShift) == x && (top >> CellShift) == y) visit(e.sprite);
            }
        };
        const RECT range = CellsOf(area);
        if (CellCount(range) > MaxCells) {
            for (auto& [key, list] : cells)
                inCell(list, static_cast<LONG>(key >> 32), static_cast<LONG>(key & 0xFFFFFFFF));
        } else {
            ForEach(range, inCell);
        }
        for (const GridEntry& e : large)
            if (Overlaps(area, e.area)) visit(e.sprite);
    }
};

bool MakeOverlapGrid(SpriteManager& manager) {
    manager.grid = new (std::nothrow) OverlapGrid;
    return manager.grid != nullptr;
}

void FreeOverlapGrid(SpriteManager& manager) {
    delete manager.grid;
    manager.grid = nullptr;
}

void PlaceInGrid(SpriteManager& manager, Sprite* sprite) {
    if (manager.grid && Tracked(sprite))
        manager.grid->Place(sprite, UnionOf(sprite->displayed.rect, sprite->pending.rect));
}

bool SpritesNear(SpriteManager& manager, const RECT& area, std::vector<Sprite*>& found) {
    found.clear();
    OverlapGrid* grid = manager.grid;
    if (!grid) return false;
    grid->Near(area, [&](Sprite* s) { found.push_back(s); });
    if (grid->rankedAt != grid->listChanges) {
        DWORD rank = 0;
        for (Sprite* s = manager.first; s; s = s->next)
            s->rank = rank++;
        grid->rankedAt = grid->listChanges;
    }
    std::sort(found.begin(), found.end(), [](const Sprite* a, const Sprite* b) { return a->rank < b->rank; });
    return true;
}

Sprite* AllocateSpriteBlock(SpriteManager& manager) {
    Sprite* sprite = manager.firstFree;
    if (!sprite) return nullptr;
    manager.firstFree = sprite->next;
    std::memset(static_cast<void*>(sprite), 0, sizeof(Sprite));
    sprite->gridCells = NoCells;
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
    if (manager.grid) ++manager.grid->listChanges;
    (sprite->previous ? sprite->previous->next : manager.first) = sprite->next;
    (sprite->next ? sprite->next->previous : manager.last) = sprite->previous;
    sprite->previous = sprite->next = nullptr;
}

void LinkSpriteAfter(SpriteManager& manager, Sprite* sprite, Sprite* after) {
    if (manager.grid) ++manager.grid->listChanges;
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
    const RECT area = UnionOf(sprite->displayed.rect, sprite->pending.rect);
    for (int i = 0; i < sprite->overlaps.count; ++i)
        sprite->overlaps.items[i]->flags |= SpriteMarked;
    auto meet = [&](Sprite* other) {
        if (other == sprite || !Tracked(other) || !Meets(area, other)) return;
        if (other->flags & SpriteMarked) {
            other->flags &= ~SpriteMarked;
            return;
        }
        // A failed growth leaves the pair unlinked rather than half linked.
        if (!AddToList(sprite->overlaps, other)) return;
        if (!AddToList(other->overlaps, sprite)) RemoveFromList(sprite->overlaps, other);
    };
    PlaceInGrid(manager, sprite);
    if (manager.grid) {
        manager.grid->Near(area, meet);
    } else {
        for (Sprite* other = manager.first; other; other = other->next)
            meet(other);
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

void RemoveFromOverlapLists(SpriteManager& manager, Sprite* sprite) {
    if (manager.grid) manager.grid->Remove(sprite);
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
