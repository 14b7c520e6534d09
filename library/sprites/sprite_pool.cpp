// The fixed pool of sprite records of a window, its display list, and the grid of where its tracked sprites
// lie. Which sprites meet which is not kept between refreshes: a crowd of ten thousand would hold hundreds of
// thousands of pairs, most of them changing every frame. It is found when the erase pass needs it, over the
// grid, from whichever side is smaller: the sprites that will be drawn again, or those that did not change.
#include "sprite_pool.h"

#include "sprite_rects.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <utility>
#include <vector>

using namespace win32;

namespace sprites {

namespace {

constexpr DWORD BlockFree = 1;
constexpr DWORD BlockInUse = 2;

bool Tracked(const Sprite* s) {
    return !(s->flags & SpriteUntracked);
}

// Rectangles given backwards (right before left) cover nothing and meet nothing.
bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom && a.left < a.right &&
           a.top < a.bottom && b.left < b.right && b.top < b.bottom;
}

inline LONG Shifted(LONG v, long long by) {
    return static_cast<LONG>(
        std::clamp<long long>(v + by, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}
inline RECT GrownBy(const RECT& r, LONG n) {
    return {Shifted(r.left, -n), Shifted(r.top, -n), Shifted(r.right, n), Shifted(r.bottom, n)};
}
inline RECT Grown(const RECT& r) {
    return GrownBy(r, 1);
}

// What drawing or erasing the sprite at a rectangle touches: an antialiased ink reaches one pixel further.
RECT Reach(const Sprite* s, const RECT& r) {
    return (s->ink & InkAntialiased) && !IsEmptyRect(r) ? Grown(r) : r;
}

// ---- Display order labels
// ---------------------------------------------------------------------------------- Labels ascend along the
// list, with room left between them, so that a sprite placed between two takes a label between theirs; only
// when there is no room left are the labels around it spread again.

constexpr std::uint64_t AppendStep = std::uint64_t{1} << 32;
constexpr std::uint64_t SpreadSpacing = std::uint64_t{1} << 16;

// The labels around a run of sprites, both exclusive.
std::uint64_t LabelBefore(const Sprite* first) {
    return first->previous ? first->previous->order : 0;
}
std::uint64_t LabelAfter(const Sprite* last) {
    return last->next ? last->next->order : ~std::uint64_t{0};
}

// Widens the run around the sprite until its labels can be spread with room between them, then spreads them.
void Spread(Sprite* s) {
    Sprite *first = s, *last = s;
    std::uint64_t count = 1;
    for (;;) {
        const std::uint64_t span = LabelAfter(last) - LabelBefore(first);
        if (span / (count + 1) >= SpreadSpacing || (!first->previous && !last->next)) break;
        if (first->previous) first = first->previous, ++count;
        if (last->next) last = last->next, ++count;
    }
    const std::uint64_t base = LabelBefore(first);
    const std::uint64_t step = (LabelAfter(last) - base) / (count + 1);
    std::uint64_t label = base;
    for (Sprite* p = first;; p = p->next) {
        p->order = label += step;
        if (p == last) break;
    }
}

// Gives a sprite just linked in a label between its neighbours'.
void Label(Sprite* s) {
    const std::uint64_t before = LabelBefore(s), after = LabelAfter(s);
    const std::uint64_t room = after - before;
    if (room < 2) {
        Spread(s);
        return;
    }
    if (!s->next && room > AppendStep)
        s->order = before + AppendStep;
    else if (!s->previous && room > AppendStep)
        s->order = after - AppendStep;
    else
        s->order = before + room / 2;
}

void ListChanged(SpriteManager& manager);

void Unlink(SpriteManager& manager, Sprite* sprite) {
    ListChanged(manager);
    (sprite->previous ? sprite->previous->next : manager.first) = sprite->next;
    (sprite->next ? sprite->next->previous : manager.last) = sprite->previous;
    sprite->previous = sprite->next = nullptr;
}

void LinkAfter(SpriteManager& manager, Sprite* sprite, Sprite* after) {
    ListChanged(manager);
    sprite->previous = after;
    sprite->next = after ? after->next : manager.first;
    (sprite->next ? sprite->next->previous : manager.last) = sprite;
    (after ? after->next : manager.first) = sprite;
}

// ---- The grid
// ----------------------------------------------------------------------------------------------

// Each sprite is listed in one cell: the cell, on the first level whose cells are as large as the area it
// needs, that holds the area's top-left corner. A query then looks at the cells whose sprites could reach
// it, one cell further up and left on each level. Areas larger than the last level's cells are listed
// among the large ones that every query looks at.
constexpr int LevelShifts[] = {6, 9, 12};
constexpr int Levels = static_cast<int>(std::size(LevelShifts));
constexpr std::uint8_t Unlisted = 0xFF;
constexpr std::uint8_t LargeLevel = Levels;
// A query over more cells of a level than this looks at every sprite of the level instead.
constexpr long long MaxCells = 256;
constexpr std::uint32_t NoList = 0xFFFFFFFF;

std::uint64_t CellKey(LONG x, LONG y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) | static_cast<std::uint32_t>(y);
}

// The area a tracked sprite is listed for: its displayed and pending rectangles, and the pixel around them an
// antialiased ink reaches.
RECT ListedArea(const Sprite* s) {
    const RECT& d = s->displayed.rect;
    const RECT& p = s->pending.rect;
    if (IsEmptyRect(d)) return IsEmptyRect(p) ? RECT{} : Grown(p);
    return Grown(IsEmptyRect(p) ? d : UnionOf(d, p));
}

std::uint8_t LevelFor(const RECT& area) {
    const long long side = std::max(static_cast<long long>(area.right) - area.left,
                                    static_cast<long long>(area.bottom) - area.top);
    for (std::uint8_t level = 0; level < Levels; ++level)
        if (side <= (1LL << LevelShifts[level])) return level;
    return LargeLevel;
}

// How the erase pass sees each sprite while it finds the sprites to redraw.
enum Kind : std::uint8_t { Aside, Quiet, Drawn };

// The cells of one level, found through an open-addressed table of their coordinates.
struct GridLevel {
    struct Entry {
        std::uint64_t key;
        std::uint32_t list; // NoList: empty
    };
    std::vector<Entry> table;
    std::vector<std::vector<std::uint32_t>> lists;
    std::size_t count = 0; // sprites listed

    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32) & (table.size() - 1);
    }

    std::uint32_t Find(std::uint64_t key) const {
        if (table.empty()) return NoList;
        for (std::size_t i = Home(key);; i = (i + 1) & (table.size() - 1)) {
            const Entry& e = table[i];
            if (e.list == NoList || e.key == key) return e.list;
        }
    }

    void Enter(std::uint64_t key, std::uint32_t list) {
        std::size_t i = Home(key);
        while (table[i].list != NoList)
            i = (i + 1) & (table.size() - 1);
        table[i] = {key, list};
    }

    std::uint32_t Get(std::uint64_t key, std::vector<std::uint64_t>& keyOfList) {
        if (const std::uint32_t list = Find(key); list != NoList) return list;
        if ((lists.size() + 1) * 2 > table.size()) {
            table.assign(std::max<std::size_t>(64, table.size() * 2), Entry{0, NoList});
            for (std::uint32_t i = 0; i < lists.size(); ++i)
                Enter(keyOfList[i], i);
        }
        const auto list = static_cast<std::uint32_t>(lists.size());
        Enter(key, list);
        keyOfList.push_back(key);
        lists.emplace_back();
        return list;
    }
};

} // namespace

// Every sprite of the pool has, by its slot, the area it is listed for and where it is listed.
struct SpriteGrid {
    explicit SpriteGrid(std::size_t capacity)
        : listedArea(capacity), keyOf(capacity), levelOf(capacity, Unlisted), listOf(capacity),
          placeOf(capacity), kind(capacity, Aside) {}

    GridLevel levels[Levels];
    std::vector<std::uint64_t> keyOfList[Levels];
    std::vector<std::uint32_t> large;
    std::vector<RECT> listedArea;
    std::vector<std::uint64_t> keyOf; // the cell's coordinates
    std::vector<std::uint8_t> levelOf;
    std::vector<std::uint32_t> listOf, placeOf; // the cell's list, and the place in it
    std::vector<std::uint8_t> kind;
    std::vector<std::uint32_t> stack;
    std::vector<std::vector<Sprite*>> spare;
    // The display list as an array, made again after the list changes.
    std::vector<Sprite*> inOrder;
    bool inOrderValid = false;

    std::vector<std::uint32_t>& ListOf(std::uint32_t slot) {
        const std::uint8_t level = levelOf[slot];
        return level == LargeLevel ? large : levels[level].lists[listOf[slot]];
    }

    void Remove(std::uint32_t slot) {
        listedArea[slot] = {};
        if (levelOf[slot] == Unlisted) return;
        std::vector<std::uint32_t>& list = ListOf(slot);
        const std::uint32_t moved = list.back();
        list[placeOf[slot]] = moved;
        placeOf[moved] = placeOf[slot];
        list.pop_back();
        if (levelOf[slot] != LargeLevel) --levels[levelOf[slot]].count;
        levelOf[slot] = Unlisted;
    }

    void Place(std::uint32_t slot, const RECT& area) {
        if (IsEmptyRect(area)) {
            Remove(slot);
            return;
        }
        const std::uint8_t level = LevelFor(area);
        const int shift = level == LargeLevel ? 0 : LevelShifts[level];
        const std::uint64_t key = level == LargeLevel ? 0 : CellKey(area.left >> shift, area.top >> shift);
        listedArea[slot] = area;
        if (level == levelOf[slot] && key == keyOf[slot]) return;
        const std::uint32_t list = level == LargeLevel ? 0 : levels[level].Get(key, keyOfList[level]);
        Remove(slot);
        listedArea[slot] = area;
        levelOf[slot] = level, listOf[slot] = list, keyOf[slot] = key;
        std::vector<std::uint32_t>& cell = ListOf(slot);
        placeOf[slot] = static_cast<std::uint32_t>(cell.size());
        cell.push_back(slot);
        if (level != LargeLevel) ++levels[level].count;
    }

    // Visits every listed sprite whose listed area meets the area, once each, until the visit answers true
    // (then true).
    template <typename Visit> bool Near(const RECT& area, Visit&& visit) {
        if (IsEmptyRect(area)) return false;
        auto inList = [&](const std::vector<std::uint32_t>& list) {
            for (const std::uint32_t slot : list)
                if (Overlaps(area, listedArea[slot]) && visit(slot)) return true;
            return false;
        };
        for (int level = 0; level < Levels; ++level) {
            const GridLevel& cells = levels[level];
            if (cells.count == 0) continue;
            const int shift = LevelShifts[level];
            const long long left = (area.left >> shift) - 1, right = (area.right - 1) >> shift;
            const long long top = (area.top >> shift) - 1, bottom = (area.bottom - 1) >> shift;
            if ((right - left + 1) * (bottom - top + 1) > MaxCells) {
                for (const std::vector<std::uint32_t>& list : cells.lists)
                    if (inList(list)) return true;
                continue;
            }
            for (long long y = top; y <= bottom; ++y)
                for (long long x = left; x <= right; ++x)
                    if (const std::uint32_t list =
                            cells.Find(CellKey(static_cast<LONG>(x), static_cast<LONG>(y)));
                        list != NoList && inList(cells.lists[list]))
                        return true;
        }
        return inList(large);
    }
};

namespace {

void ListChanged(SpriteManager& manager) {
    if (manager.grid) manager.grid->inOrderValid = false;
}

std::uint32_t SlotOf(const SpriteManager& manager, const Sprite* s) {
    return static_cast<std::uint32_t>(s - manager.records);
}

bool Flaggable(const Sprite* s) {
    return (s->flags & SpriteShown) && !(s->flags & NotFlaggable);
}

// Erased or drawn by the next refresh: not shown-and-unchanged, and neither hidden nor suspended.
bool ErasedOrDrawn(const Sprite* s) {
    const bool untouched = (s->flags & (SpriteRedraw | SpriteChanged | SpriteShown)) == SpriteShown;
    return !untouched && !(s->flags & (SpriteHidden | SpriteSuspended));
}

} // namespace

bool MakeSpriteGrid(SpriteManager& manager) {
    manager.grid = new (std::nothrow) SpriteGrid(static_cast<std::size_t>(manager.capacity));
    return manager.grid != nullptr;
}

void FreeSpriteGrid(SpriteManager& manager) {
    delete manager.grid;
    manager.grid = nullptr;
}

void PlaceInGrid(SpriteManager& manager, Sprite* sprite) {
    if (!manager.grid) return;
    if (Tracked(sprite))
        manager.grid->Place(SlotOf(manager, sprite), ListedArea(sprite));
    else
        manager.grid->Remove(SlotOf(manager, sprite));
}

void RemoveFromGrid(SpriteManager& manager, Sprite* sprite) {
    if (manager.grid) manager.grid->Remove(SlotOf(manager, sprite));
}

bool SpritesNear(SpriteManager& manager, const RECT& area, std::vector<Sprite*>& found) {
    found.clear();
    SpriteGrid* grid = manager.grid;
    if (!grid) return false;
    grid->Near(area, [&](std::uint32_t slot) {
        found.push_back(&manager.records[slot]);
        return false;
    });
    std::sort(found.begin(), found.end(),
              [](const Sprite* a, const Sprite* b) { return a->order < b->order; });
    return true;
}

void ListInOrder(SpriteManager& manager, std::vector<Sprite*>& list) {
    SpriteGrid* grid = manager.grid;
    list.clear();
    if (!grid) {
        for (Sprite* s = manager.first; s; s = s->next)
            list.push_back(s);
        return;
    }
    if (!grid->inOrderValid) {
        grid->inOrder.clear();
        for (Sprite* s = manager.first; s; s = s->next)
            grid->inOrder.push_back(s);
        grid->inOrderValid = true;
    }
    list.assign(grid->inOrder.begin(), grid->inOrder.end());
}

std::vector<Sprite*> TakeScratchList(SpriteManager& manager) {
    std::vector<Sprite*> list;
    if (manager.grid && !manager.grid->spare.empty()) {
        list = std::move(manager.grid->spare.back());
        manager.grid->spare.pop_back();
    }
    return list;
}

void GiveBackScratchList(SpriteManager& manager, std::vector<Sprite*>&& list) {
    list.clear();
    if (manager.grid) manager.grid->spare.push_back(std::move(list));
}

bool SpritesMeet(const Sprite* a, const Sprite* b) {
    const RECT ad = Reach(a, a->displayed.rect), ap = Reach(a, a->pending.rect);
    const RECT bd = Reach(b, b->displayed.rect), bp = Reach(b, b->pending.rect);
    return Overlaps(ad, bd) || Overlaps(ad, bp) || Overlaps(ap, bd) || Overlaps(ap, bp);
}

void FlagSpritesInRect(SpriteManager& manager, const RECT& area) {
    if (!manager.grid) return;
    manager.grid->Near(area, [&](std::uint32_t slot) {
        Sprite* s = &manager.records[slot];
        if (Flaggable(s) && (Overlaps(area, s->displayed.rect) || Overlaps(area, s->pending.rect)))
            s->flags |= SpriteRedraw;
        return false;
    });
}

void FlagSpritesToRedraw(SpriteManager& manager) {
    SpriteGrid* grid = manager.grid;
    if (!grid) return;
    std::vector<Sprite*> sprites = TakeScratchList(manager);
    ListInOrder(manager, sprites);
    std::size_t quiet = 0, drawn = 0;
    for (std::size_t i = 0; i < sprites.size(); ++i) {
        if (i + FetchAhead < sprites.size()) __builtin_prefetch(&sprites[i + FetchAhead]->flags);
        const Sprite* s = sprites[i];
        Kind kind = Aside;
        if (Tracked(s)) {
            if (Flaggable(s))
                kind = Quiet, ++quiet;
            else if (ErasedOrDrawn(s))
                kind = Drawn, ++drawn;
        }
        grid->kind[SlotOf(manager, s)] = kind;
    }
    if (quiet == 0 || drawn == 0) {
        GiveBackScratchList(manager, std::move(sprites));
        return;
    }
    std::vector<std::uint32_t>& stack = grid->stack;
    stack.clear();
    auto flag = [&](std::uint32_t slot) {
        manager.records[slot].flags |= SpriteRedraw;
        grid->kind[slot] = Drawn;
        stack.push_back(slot);
    };
    if (drawn <= quiet) {
        // From the sprites drawn: each one's quiet neighbours.
        for (const Sprite* s : sprites)
            if (grid->kind[SlotOf(manager, s)] == Drawn) stack.push_back(SlotOf(manager, s));
    } else {
        // From the quiet sprites: each one that meets a sprite drawn, or one flagged before it.
        for (const Sprite* s : sprites) {
            const std::uint32_t slot = SlotOf(manager, s);
            if (grid->kind[slot] != Quiet) continue;
            const bool meets = grid->Near(grid->listedArea[slot], [&](std::uint32_t other) {
                return grid->kind[other] == Drawn && SpritesMeet(s, &manager.records[other]);
            });
            if (meets) flag(slot);
        }
    }
    // Every quiet sprite that meets one drawn is drawn in turn: the chain of overlaps around each change.
    while (!stack.empty()) {
        const std::uint32_t slot = stack.back();
        stack.pop_back();
        const Sprite* current = &manager.records[slot];
        grid->Near(grid->listedArea[slot], [&](std::uint32_t other) {
            if (grid->kind[other] == Quiet && SpritesMeet(current, &manager.records[other])) flag(other);
            return false;
        });
    }
    GiveBackScratchList(manager, std::move(sprites));
}

Sprite* AllocateSpriteBlock(SpriteManager& manager) {
    Sprite* sprite = manager.firstFree;
    if (!sprite) return nullptr;
    manager.firstFree = sprite->next;
    std::memset(static_cast<void*>(sprite), 0, sizeof(Sprite));
    sprite->state = BlockInUse;
    LinkAfter(manager, sprite, manager.last);
    Label(sprite);
    return sprite;
}

void ReleaseSpriteBlock(SpriteManager& manager, Sprite* sprite) {
    if (sprite->state != BlockInUse) return;
    RemoveFromGrid(manager, sprite);
    Unlink(manager, sprite);
    sprite->state = BlockFree;
    sprite->previous = nullptr;
    sprite->next = manager.firstFree;
    manager.firstFree = sprite;
}

void InsertSpriteInOrder(SpriteManager& manager, Sprite* sprite) {
    Sprite* after = sprite->previous;
    // Equal keys and z-orders keep creation order: the new sprite goes after them.
    while (after && (after->layerKey > sprite->layerKey ||
                     (after->layerKey == sprite->layerKey && after->zOrder > sprite->zOrder)))
        after = after->previous;
    if (after == sprite->previous) return;
    Unlink(manager, sprite);
    LinkAfter(manager, sprite, after);
    Label(sprite);
}

void SwapPlaces(SpriteManager& manager, Sprite* a, Sprite* b) {
    if (a == b) return;
    if (b->next == a) std::swap(a, b);
    if (a->next == b) {
        Unlink(manager, b);
        LinkAfter(manager, b, a->previous);
    } else {
        Sprite* afterA = a->previous;
        Sprite* afterB = b->previous;
        Unlink(manager, a);
        Unlink(manager, b);
        LinkAfter(manager, b, afterA);
        LinkAfter(manager, a, afterB);
    }
    // Each takes the other's place, and so its label.
    std::swap(a->order, b->order);
}

} // namespace sprites
