// Searches of a window's display list for the sprites under a point, meeting a rectangle or touching a
// sprite, on bounding boxes or, with fine collisions, on the images' masks.
#include "vtrs2/sprite_collisions.h"

#include "sprite_drawing_internal.h"
#include "sprite_pool.h"
#include "sprite_shapes.h"
#include "vtrs2/banks.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface_engine.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace win32;
using namespace sprites;

namespace {

WORD SearchedKey(int layer, DWORD flags) {
    return static_cast<WORD>(layer * 2 + ((flags & SearchBackSprites) ? 0 : 1));
}

// Walks, in display order from after `previous`, the sprites of one layer key, or of every key of one parity
// for layer -1: those near the area when the window finds them through its grid (every sprite tracked),
// else the whole display list.
class KeyWalk {
public:
    KeyWalk(SpriteWindow* window, Sprite* previous, int layer, DWORD flags, const RECT& area)
        : pool_(*window->sprites), layer_(layer), key_(SearchedKey(layer, flags)),
          near_(TakeScratchList(pool_)) {
        listed_ = !(window->displayMode & DisplayModeDriver) && SpritesNear(pool_, area, near_);
        if (!listed_) {
            next_ = previous ? previous->next : pool_.first;
            return;
        }
        if (previous)
            index_ = static_cast<std::size_t>(
                std::upper_bound(near_.begin(), near_.end(), previous->order,
                                 [](std::uint64_t order, const Sprite* s) { return order < s->order; }) -
                near_.begin());
    }
    ~KeyWalk() { GiveBackScratchList(pool_, std::move(near_)); }
    KeyWalk(const KeyWalk&) = delete;
    KeyWalk& operator=(const KeyWalk&) = delete;
    Sprite* Next() {
        while (Sprite* s = Advance()) {
            if (layer_ == -1 ? (s->layerKey & 1) != (key_ & 1) : s->layerKey < key_) continue;
            if (layer_ != -1 && s->layerKey > key_) break;
            return s;
        }
        next_ = nullptr, index_ = near_.size();
        return nullptr;
    }

private:
    Sprite* Advance() {
        if (listed_) return index_ < near_.size() ? near_[index_++] : nullptr;
        Sprite* s = next_;
        if (s) next_ = s->next;
        return s;
    }

    SpriteManager& pool_;
    int layer_;
    WORD key_;
    bool listed_ = false;
    std::vector<Sprite*> near_;
    std::size_t index_ = 0;
    Sprite* next_ = nullptr;
};

bool FineFor(const SpriteWindow* window, const Sprite* s) {
    return window->mask.fineCollisions != 0 && !(s->flags & SpriteBoxOnly);
}

// Platform sprites among the back sprites: skipped, or tested with their platform mask. -1: skipped.
int PlatformModeFor(const Sprite* s, DWORD flags) {
    if (!(flags & SearchBackSprites) || !(s->flags & SpritePlatform)) return 0;
    return (flags & SearchSkipPlatforms) ? -1 : static_cast<int>(MaskModePlatform);
}

const ImageMask* UsableMask(const ImageMask* mask) {
    return mask && mask->width > 0 && mask->height > 0 ? mask : nullptr;
}

void TakeMask(SpriteShape& shape, const ImageMask* mask, bool ownerDrawn) {
    if (!mask) return;
    shape.bits = ImageMaskBits(mask);
    shape.stride = mask->stride;
    shape.width = mask->width, shape.height = mask->height;
    if (ownerDrawn) shape.hotX = mask->hotX, shape.hotY = mask->hotY;
}

// A displayed sprite's shape: its mask with fine collisions, else its box.
SpriteShape ShapeOf(SpriteWindow* window, Sprite* s, bool fine, DWORD maskMode) {
    const SpriteGeometry& g = s->displayed;
    SpriteShape shape{nullptr, 0,   g.width,  g.height, g.hotX,  g.hotY,
                      g.x,     g.y, g.scaleX, g.scaleY, g.angle, g.rect};
    if (fine)
        TakeMask(shape, UsableMask(GetSpriteCollisionMask(window, s, 0, MaskModeCollision | maskMode)),
                 s->flags & SpriteOwnerDrawn);
    return shape;
}

bool Candidate(const Sprite* s, DWORD flags) {
    return ((s->flags & SpriteCollidable) || (flags & SearchEverySprite)) && !(s->flags & SpriteDeleted);
}

// The sprite as it would be drawn for a collision test.
struct Mover {
    SpriteShape shape;
    WORD key;
    bool fine;
};

// Hot spot and size: the displayed ones, or those of another image (or, owner-drawn, of the mask).
bool MakeMover(SpriteWindow* window, Sprite* sprite, DWORD image, LONG x, LONG y, float angle, float scaleX,
               float scaleY, LONG heightLimit, DWORD flags, bool imageGeometry, Mover& mover) {
    if (!(scaleX > 0) || !(scaleY > 0)) return false;
    if (flags & SearchBackSprites)
        mover.key = sprite->layerKey & ~WORD{1};
    else if (sprite->flags & SpriteCollidable)
        mover.key = sprite->layerKey | 1;
    else
        return false;
    mover.fine = FineFor(window, sprite);
    const SpriteGeometry& g = sprite->displayed;
    const bool ownerDrawn = sprite->flags & SpriteOwnerDrawn;
    SpriteShape& shape = mover.shape;
    shape = {nullptr, 0, g.width, g.height, g.hotX, g.hotY, x, y, scaleX, scaleY, angle, {}};
    ImageInfo info{};
    if (imageGeometry && !ownerDrawn && image && image != sprite->image &&
        GetImageInfo(window->banks, image, &info)) {
        shape.width = info.width, shape.height = info.height;
        const bool noHotSpot = sprite->flags & SpriteNoHotSpot;
        shape.hotX = noHotSpot ? 0 : info.hotX, shape.hotY = noHotSpot ? 0 : info.hotY;
    }
    if (mover.fine) {
        const ImageMask* mask = UsableMask(GetSpriteCollisionMask(window, sprite, image, MaskModeCollision));
        TakeMask(shape, mask, ownerDrawn && imageGeometry);
    }
    // The box the sprite would be drawn in, as its rectangle is made.
    SIZE size{static_cast<LONG>(shape.width * scaleX), static_cast<LONG>(shape.height * scaleY)};
    POINT hot{static_cast<LONG>(shape.hotX * scaleX), static_cast<LONG>(shape.hotY * scaleY)};
    if (angle != 0) RotateImageBounds(&size, &hot, nullptr, angle);
    RECT box{x - hot.x, y - hot.y, x - hot.x + size.cx, y - hot.y + size.cy};
    if (heightLimit > 0 && box.bottom - heightLimit > box.top) box.top = box.bottom - heightLimit;
    shape.clip = box;
    return true;
}

// Whether the mover touches another sprite of its key.
bool Touches(SpriteWindow* window, const Mover& mover, Sprite* sprite, Sprite* other, DWORD flags) {
    if (other == sprite || !(other->flags & SpriteCollidable) || (other->flags & SpriteDeleted)) return false;
    if (!Meets(other->displayed.rect, mover.shape.clip)) return false;
    const int platformMode = PlatformModeFor(other, flags);
    if (platformMode < 0) return false;
    const bool fine = mover.fine && !(other->flags & SpriteBoxOnly);
    return ShapesMeet(mover.shape, ShapeOf(window, other, fine, static_cast<DWORD>(platformMode)));
}

} // namespace

ImageMask* GetSpriteImageMask(SpriteWindow* window, Sprite* s, DWORD, DWORD mode) {
    if (!window || !s) return nullptr;
    if (s->flags & SpriteOwnerDrawn)
        return s->routine ? reinterpret_cast<ImageMask*>(s->routine(s, SpriteRoutineMask, mode)) : nullptr;
    return GetImageCollisionMask(window->banks, s->pendingImage, mode);
}

Sprite* FindSpriteAtPoint(SpriteWindow* window, Sprite* previous, int layer, LONG x, LONG y, DWORD flags) {
    if (!window || !window->sprites) return nullptr;
    KeyWalk walk(window, previous, layer, flags, RECT{x, y, x + 1, y + 1});
    while (Sprite* s = walk.Next()) {
        const RECT& r = s->displayed.rect;
        if (!Candidate(s, flags) || x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
        const int platformMode = PlatformModeFor(s, flags);
        if (platformMode < 0) continue;
        const SpriteShape shape = ShapeOf(window, s, FineFor(window, s), static_cast<DWORD>(platformMode));
        if ((!shape.bits && s->displayed.angle == 0) || ShapeCovers(shape, x, y)) return s;
    }
    return nullptr;
}

Sprite* FindSpriteInRect(SpriteWindow* window, Sprite* previous, int layer, LONG x, LONG y, LONG width,
                         LONG height, DWORD flags) {
    if (!window || !window->sprites) return nullptr;
    const RECT area{x, y, x + width, y + height};
    // The rectangle's edges are compared inclusively, so the sprites just beside it are looked at too.
    KeyWalk walk(window, previous, layer, flags, RECT{x - 1, y - 1, x + width + 1, y + height + 1});
    while (Sprite* s = walk.Next()) {
        const RECT& r = s->displayed.rect;
        // A sprite scaled to nothing meets no rectangle.
        if (!Candidate(s, flags) || r.right <= r.left || r.bottom <= r.top || area.left > r.right ||
            area.right < r.left || area.top > r.bottom || area.bottom < r.top)
            continue;
        const int platformMode = PlatformModeFor(s, flags);
        if (platformMode < 0) continue;
        const SpriteShape shape = ShapeOf(window, s, FineFor(window, s), static_cast<DWORD>(platformMode));
        if ((!shape.bits && s->displayed.angle == 0) || ShapesMeet(shape, BoxShape(area))) return s;
    }
    return nullptr;
}

Sprite* CollideSpriteWithSprites(SpriteWindow* window, Sprite* sprite, DWORD image, LONG x, LONG y,
                                 float angle, float scaleX, float scaleY, LONG heightLimit, DWORD flags) {
    if (!window || !window->sprites || !sprite) return nullptr;
    Mover mover{};
    if (!MakeMover(window, sprite, image, x, y, angle, scaleX, scaleY, heightLimit, flags, true, mover))
        return nullptr;
    KeyWalk walk(window, nullptr, mover.key >> 1, (mover.key & 1) ? 0 : SearchBackSprites, mover.shape.clip);
    while (Sprite* other = walk.Next())
        if (Touches(window, mover, sprite, other, flags)) return other;
    return nullptr;
}

int CollectSpriteCollisions(SpriteWindow* window, Sprite* sprite, SpriteHit* hits, DWORD image, LONG x,
                            LONG y, float angle, float scaleX, float scaleY, DWORD flags) {
    if (hits && !(flags & SearchGivenCandidates)) hits[0] = {};
    if (!window || !window->sprites || !sprite) return 0;
    Mover mover{};
    if (!MakeMover(window, sprite, image, x, y, angle, scaleX, scaleY, 0, flags, false, mover)) {
        if (hits) hits[0] = {};
        return 0;
    }
    int count = 0;
    auto record = [&](Sprite* other) {
        if (hits) hits[count] = {other, other->userData};
        ++count;
    };
    if (flags & SearchGivenCandidates) {
        // Results overwrite the candidates they were read from, never one not yet read.
        for (int i = 0; hits && hits[i].sprite; ++i)
            if (Touches(window, mover, sprite, hits[i].sprite, flags)) record(hits[i].sprite);
    } else {
        KeyWalk walk(window, nullptr, mover.key >> 1, (mover.key & 1) ? 0 : SearchBackSprites,
                     mover.shape.clip);
        while (Sprite* other = walk.Next())
            if (Touches(window, mover, sprite, other, flags)) record(other);
    }
    if (hits) hits[count] = {};
    return count;
}
