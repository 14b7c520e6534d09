// Background collisions: the dispatchers between the play-area mask with the layers' back sprites and the
// walks of each layer's placed and run-time backdrops, and the point, rectangle and sprite tests of a walk.
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/extension_host.h"
#include "objects/backdrop_layers.h"
#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"
#include "startup/object_infos.h"

#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface_engine.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int PlatformsWanted = 1;
constexpr DWORD SearchObstacles = SearchBackSprites | SearchSkipPlatforms;
constexpr DWORD SearchPlatforms = SearchBackSprites | 0x2;
constexpr std::uint16_t BoxOnlyBit = 0x04;

bool PerLayer(const FrameRecord& frame) {
    return (frame.flags & FrameCollisionsPerLayer) != 0;
}

bool WrappingLayer0(const FrameRecord& frame) {
    return PerLayer(frame) && frame.layerCount > 0 && LayerWraps(frame.layers[0]);
}

DWORD SearchFlags(int obstacle) {
    return obstacle == PlatformsWanted ? SearchPlatforms : SearchObstacles;
}

int Plane(int obstacle) {
    return obstacle == PlatformsWanted ? 1 : 0;
}

const BYTE* BitsOf(const ImageMask* mask) {
    return reinterpret_cast<const BYTE*>(mask) + mask->bitsOffset;
}

// One backdrop a walk looks at: its box seen in window coordinates, and its mask when it has one.
struct Candidate {
    RECT box;
    bool boxOnly;
    std::uint32_t image; // 0: a shape or an object, no image mask
    std::uint16_t obstacle;
    const ImageMask* objectMask = nullptr; // an object's own mask, from its kind's mask routine
};

// Calls `test` for each solid candidate of the layer (and each wrapped copy) until it answers true.
template <typename Test>
bool WalkCandidates(FrameRecord& frame, int index, int obstacle, const RECT& area, Test&& test) {
    FrameRunState* s = CurrentRunState();
    if (!s || index < 0 || index >= frame.layerCount) return false;
    FrameLayer& layer = frame.layers[index];
    const POINT view = LayerShift(frame, layer, s->scrollX, s->scrollY);
    const bool wraps = LayerWraps(layer);
    const WrapSize wrap = WrapSizeOf(frame);
    const auto wanted = [&](std::uint16_t type) {
        return type == ObstacleSolid || (type == ObstaclePlatform && obstacle == PlatformsWanted);
    };
    const auto tryCandidate = [&](Candidate c) {
        const WrappedCopies copies = CopiesOf(c.box, wraps && (layer.settings.flags & LayerWrapsX),
                                              wraps && (layer.settings.flags & LayerWrapsY), wrap);
        for (int copy = 0; copy < 4; ++copy) {
            if (!copies.present[copy]) continue;
            c.box = copies.box[copy];
            if (test(c)) return true;
        }
        return false;
    };
    const auto placed = [&](std::int32_t i) {
        PlacedBackdrop b{};
        if (ReadPlacedBackdrop(frame, i, b)) {
            if (b.instance->layer != index || !wanted(b.obstacle)) return false;
            const LONG left = b.instance->x - view.x, top = b.instance->y - view.y;
            return tryCandidate({RECT{left, top, left + b.width, top + b.height}, b.boxOnly || b.type == 0,
                                 b.image, b.obstacle});
        }
        const FrameItemInstance& instance = frame.instances[i];
        if (instance.objectType < 2 || instance.layer != index) return false;
        const ObjectInfo* info = SeekObjectInfoByHandle(CurrentApplication(), instance.objectInfo);
        if (!info || info->definition.empty() ||
            !(DefU32(info->definition, DefObjectFlags) & ObjectStandsForBackdrop))
            return false;
        const std::uint16_t word = DefU16(info->definition, DefObstacle);
        const auto type = static_cast<std::uint16_t>((word >> ObstacleBitsShift) & 3);
        if (!wanted(type)) return false;
        RunObject* o = FindObjectByFrameItem(i);
        if (!o) return false;
        // An extension gives its object's mask; the built-in kinds have no mask routine, and their box stands
        // for them.
        const ImageMask* mask = nullptr;
        if (!(word & BoxOnlyBit) && o->objectType >= FirstExtensionType)
            mask = static_cast<const ImageMask*>(ExtensionCollisionMask(o, type == ObstaclePlatform ? 1 : 0));
        const LONG left = o->x - o->hotSpotX - s->scrollX, top = o->y - o->hotSpotY - s->scrollY;
        return tryCandidate(
            {RECT{left, top, left + o->width, top + o->height}, mask == nullptr, 0, type, mask});
    };
    const std::vector<std::int32_t>* cells[4] = {};
    int cellCount = 0;
    if (!wraps) {
        BuildLayerBackdropGrid(layer);
        // The grid is laid over the frame: the area is taken back to frame coordinates.
        const LONG corners[4][2] = {{area.left, area.top},
                                    {area.right - 1, area.top},
                                    {area.left, area.bottom - 1},
                                    {area.right - 1, area.bottom - 1}};
        for (const auto& corner : corners) {
            const std::vector<std::int32_t>* cell =
                BackdropGridCell(layer, corner[0] + view.x, corner[1] + view.y);
            if (!cell) break;
            if (std::find(cells, cells + cellCount, cell) == cells + cellCount) cells[cellCount++] = cell;
        }
    }
    if (cellCount > 0 && (area.right - area.left) <= BackdropGridSide &&
        (area.bottom - area.top) <= BackdropGridSide) {
        std::vector<std::int32_t> seen;
        for (int k = 0; k < cellCount; ++k)
            for (std::int32_t i : *cells[k]) {
                if (cellCount > 1) {
                    if (std::find(seen.begin(), seen.end(), i) != seen.end()) continue;
                    seen.push_back(i);
                }
                if (placed(i)) return true;
            }
    } else {
        for (std::int32_t i = 0; i < frame.instanceCount; ++i)
            if (placed(i)) return true;
    }
    const LayerBackdrop* records = LayerBackdropsOf(layer);
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i) {
        const LayerBackdrop& r = records[i];
        if (!wanted(r.obstacle)) continue;
        std::int32_t width = 1, height = 1;
        const bool known = ImageSize(r.image, width, height);
        if (!known) width = height = 1;
        const LONG left = r.x - view.x, top = r.y - view.y;
        if (tryCandidate({RECT{left, top, left + width, top + height}, r.fine == 0 || !known,
                          known ? r.image : 0u, r.obstacle}))
            return true;
    }
    return false;
}

const ImageMask* CandidateMask(const Candidate& c) {
    if (c.boxOnly) return nullptr;
    if (c.objectMask) return c.objectMask;
    if (!c.image) return nullptr;
    return GetImageCollisionMask(BanksOfApplication(), c.image, c.obstacle == ObstaclePlatform ? 1 : 0);
}

// Layers 1 to the last for -1.
template <typename Test> int EachLayer(FrameRecord& frame, int layer, Test&& test) {
    const int first = layer < 0 ? 1 : layer, last = layer < 0 ? frame.layerCount - 1 : layer;
    for (int i = first; i <= last; ++i)
        if (test(i)) return 1;
    return 0;
}

// The box a sprite tests with at (x, y): its image's (or its own) size and hot spot, scaled and turned, its
// top lowered by the height limit.
struct SpriteBox {
    RECT box;
    LONG hotX, hotY, width, height; // unscaled, unturned
};

SpriteBox BoxOfSprite(Sprite* sprite, std::uint32_t image, int x, int y, float angle, float scaleX,
                      float scaleY, int heightLimit) {
    SpriteBox b{};
    ImageInfo info{};
    if (image && GetImageInfo(BanksOfApplication(), image, &info)) {
        b.width = info.width, b.height = info.height, b.hotX = info.hotX, b.hotY = info.hotY;
    } else {
        b.width = sprite->pending.width, b.height = sprite->pending.height;
        b.hotX = sprite->pending.hotX, b.hotY = sprite->pending.hotY;
    }
    if (sprite->flags & SpriteNoHotSpot) b.hotX = b.hotY = 0;
    SIZE size{static_cast<LONG>(b.width * scaleX), static_cast<LONG>(b.height * scaleY)};
    POINT hot{static_cast<LONG>(b.hotX * scaleX), static_cast<LONG>(b.hotY * scaleY)};
    if (angle != 0.0f) RotateImageBounds(&size, &hot, nullptr, angle);
    b.box = RECT{x - hot.x, y - hot.y, x - hot.x + size.cx, y - hot.y + size.cy};
    if (heightLimit > 0 && heightLimit < b.box.bottom - b.box.top) b.box.top = b.box.bottom - heightLimit;
    return b;
}

TransformedBox TurnedBox(const SpriteBox& s, int x, int y, float angle, float scaleX, float scaleY) {
    return TransformedBox{static_cast<double>(x),
                          static_cast<double>(y),
                          s.hotX * static_cast<double>(scaleX),
                          s.hotY * static_cast<double>(scaleY),
                          s.width * static_cast<double>(scaleX),
                          s.height * static_cast<double>(scaleY),
                          angle};
}

bool SpriteMeets(const Candidate& c, Sprite* sprite, const ImageMask* spriteMask, const SpriteBox& s, int x,
                 int y, float angle, float scaleX, float scaleY, int heightLimit) {
    const RECT& a = c.box;
    if (!(s.box.left < a.right && a.left < s.box.right && s.box.top < a.bottom && a.top < s.box.bottom))
        return false;
    const bool turned = angle != 0.0f, scaled = scaleX != 1.0f || scaleY != 1.0f;
    const RECT overlap{std::max(a.left, s.box.left), std::max(a.top, s.box.top),
                       std::min(a.right, s.box.right), std::min(a.bottom, s.box.bottom)};
    const auto turnedBoxesMeet = [&] {
        RECT result{};
        POINT corners[RotatedCornerCapacity];
        const TransformedBox mover = TurnedBox(s, x, y, angle, scaleX, scaleY);
        const TransformedBox other{static_cast<double>(a.left),
                                   static_cast<double>(a.top),
                                   0,
                                   0,
                                   static_cast<double>(a.right - a.left),
                                   static_cast<double>(a.bottom - a.top),
                                   0};
        return TestRotatedMasksOverlap(&result, corners, &other, &mover) != 0;
    };
    const ImageMask* mask = CandidateMask(c);
    // The lowest rows of the sprite's mask that a height limit keeps.
    const auto keptRows = [&](const ImageMask* m, float scaleY2) {
        LONG rows = m->height;
        if (heightLimit > 0) {
            LONG h = heightLimit;
            if (scaleY2 != 0.0f && scaleY2 != 1.0f) h = static_cast<LONG>(h / scaleY2);
            rows = std::min(rows, h);
        }
        return rows;
    };
    if (mask && spriteMask) {
        const LONG bx = x - static_cast<LONG>(spriteMask->hotX * scaleX);
        const LONG by = y - static_cast<LONG>(spriteMask->hotY * scaleY);
        if (turned && scaled)
            return TestMaskOverlapScaledRotated(BitsOf(mask), BitsOf(spriteMask), a.left, a.top, mask->width,
                                                mask->height, x, y, spriteMask->hotX, spriteMask->hotY,
                                                spriteMask->width, spriteMask->height, angle, heightLimit,
                                                scaleX, scaleY) != 0;
        if (turned)
            return TestMaskOverlapRotated(BitsOf(mask), BitsOf(spriteMask), a.left, a.top, mask->width,
                                          mask->height, x, y, spriteMask->hotX, spriteMask->hotY,
                                          spriteMask->width, spriteMask->height, angle, heightLimit) != 0;
        const LONG rows = keptRows(spriteMask, scaled ? scaleY : 1.0f);
        const LONG skipped = spriteMask->height - rows;
        const BYTE* bits = BitsOf(spriteMask) + static_cast<std::size_t>(skipped) * spriteMask->stride;
        if (scaled)
            return TestMaskOverlapScaled(BitsOf(mask), bits, a.left, a.top, mask->width, mask->height, bx,
                                         by + static_cast<LONG>(skipped * scaleY), 0, 0, spriteMask->width,
                                         rows, scaleX, scaleY) != 0;
        return TestMaskOverlap(BitsOf(mask), bits, a.left, a.top, mask->width, mask->height, bx, by + skipped,
                               spriteMask->width, rows) != 0;
    }
    if (mask) {
        if (turned && !turnedBoxesMeet()) return false;
        return TestMaskBitsInRect(BitsOf(mask), mask->width, mask->height, overlap.left - a.left,
                                  overlap.top - a.top, overlap.right - overlap.left,
                                  overlap.bottom - overlap.top) != 0;
    }
    if (turned && !turnedBoxesMeet()) return false;
    if (!spriteMask) return true;
    if (turned || scaled)
        return TestRectOverlapTransformedMask(&overlap, spriteMask, x, y, scaleX, scaleY, angle) != 0;
    const LONG rows = keptRows(spriteMask, 1.0f);
    const LONG skipped = spriteMask->height - rows;
    const LONG left = x - spriteMask->hotX, top = y - spriteMask->hotY + skipped;
    (void)sprite;
    return TestMaskBitsInRect(BitsOf(spriteMask) + static_cast<std::size_t>(skipped) * spriteMask->stride,
                              spriteMask->width, rows, overlap.left - left, overlap.top - top,
                              overlap.right - overlap.left, overlap.bottom - overlap.top) != 0;
}

} // namespace

int TestLayerBackdropsAtPoint(int x, int y, int layer, int obstacle) {
    FrameRecord* frame = Services().frame;
    if (!frame) return 0;
    return EachLayer(*frame, layer, [&](int index) {
        return WalkCandidates(*frame, index, obstacle, RECT{x, y, x + 1, y + 1}, [&](const Candidate& c) {
            const RECT& b = c.box;
            if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return false;
            if (c.boxOnly) return true;
            const ImageMask* mask = CandidateMask(c);
            return !mask ||
                   TestMaskPixel(BitsOf(mask), x - b.left, y - b.top, mask->width, mask->height) != 0;
        });
    });
}

int TestLayerBackdropsInRect(int x, int y, int width, int height, int layer, int obstacle) {
    FrameRecord* frame = Services().frame;
    if (!frame || width <= 0 || height <= 0) return 0;
    const RECT area{x, y, x + width, y + height};
    return EachLayer(*frame, layer, [&](int index) {
        return WalkCandidates(*frame, index, obstacle, area, [&](const Candidate& c) {
            const RECT& b = c.box;
            if (!(area.left < b.right && b.left < area.right && area.top < b.bottom && b.top < area.bottom))
                return false;
            if (c.boxOnly) return true;
            const ImageMask* mask = CandidateMask(c);
            return !mask || TestMaskBitsInRect(BitsOf(mask), mask->width, mask->height, x - b.left, y - b.top,
                                               width, height) != 0;
        });
    });
}

int TestSpriteAgainstLayerBackdrops(Sprite* sprite, std::uint32_t image, int x, int y, float angle,
                                    float scaleX, float scaleY, int heightLimit, int obstacle) {
    FrameRecord* frame = Services().frame;
    SpriteWindow* window = FrameSpriteWindow();
    if (!frame || !sprite || !window) return 0;
    const int layer = GetSpriteLayer(window, sprite);
    const SpriteBox box = BoxOfSprite(sprite, image, x, y, angle, scaleX, scaleY, heightLimit);
    const ImageMask* spriteMask = nullptr;
    bool fetched = false;
    return WalkCandidates(
               *frame, layer, obstacle, box.box,
               [&](const Candidate& c) {
                   const RECT& a = c.box;
                   if (!(box.box.left < a.right && a.left < box.box.right && box.box.top < a.bottom &&
                         a.top < box.box.bottom))
                       return false;
                   if (!fetched) {
                       fetched = true;
                       if (!(sprite->flags & SpriteBoxOnly))
                           spriteMask = GetSpriteCollisionMask(window, sprite, image, MaskModeCollision);
                   }
                   return SpriteMeets(c, sprite, spriteMask, box, x, y, angle, scaleX, scaleY, heightLimit);
               })
               ? 1
               : 0;
}

int TestPointAgainstBackground(int x, int y, int layer, int obstacle) {
    FrameRecord* frame = Services().frame;
    SpriteWindow* window = FrameSpriteWindow();
    if (!frame) return 0;
    const bool wrapping0 = WrappingLayer0(*frame);
    if (layer == 0)
        return wrapping0 ? TestLayerBackdropsAtPoint(x, y, 0, obstacle)
                         : TestCollisionMaskPoint(window, x, y, Plane(obstacle));
    if (layer < 0) {
        if (wrapping0) return TestLayerBackdropsAtPoint(x, y, 0, obstacle);
        if (TestCollisionMaskPoint(window, x, y, Plane(obstacle))) return 1;
    }
    if (frame->layerCount <= 1) return 0;
    if (PerLayer(*frame)) return TestLayerBackdropsAtPoint(x, y, layer < 0 ? -1 : layer, obstacle);
    return FindSpriteAtPoint(window, nullptr, -1, x, y, SearchFlags(obstacle)) ? 1 : 0;
}

int TestRectAgainstBackdrops(int x, int y, int width, int height, int layer, int obstacle) {
    FrameRecord* frame = Services().frame;
    SpriteWindow* window = FrameSpriteWindow();
    if (!frame) return 0;
    const bool wrapping0 = WrappingLayer0(*frame);
    if (layer == 0)
        return wrapping0 ? TestLayerBackdropsInRect(x, y, width, height, 0, obstacle)
                         : TestCollisionMaskRect(window, x, y, width, height, Plane(obstacle));
    if (layer < 0) {
        if (wrapping0) return TestLayerBackdropsInRect(x, y, width, height, 0, obstacle);
        if (TestCollisionMaskRect(window, x, y, width, height, Plane(obstacle))) return 1;
    }
    if (frame->layerCount <= 1) return 0;
    if (PerLayer(*frame))
        return TestLayerBackdropsInRect(x, y, width, height, layer < 0 ? -1 : layer, obstacle);
    return FindSpriteInRect(window, nullptr, -1, x, y, width, height, SearchFlags(obstacle)) ? 1 : 0;
}

int TestSpriteAgainstBackdrops(Sprite* sprite, std::uint32_t image, int x, int y, float angle, float scaleX,
                               float scaleY, int heightLimit, int obstacle) {
    FrameRecord* frame = Services().frame;
    SpriteWindow* window = FrameSpriteWindow();
    if (!frame || !sprite || !window) return 0;
    if (GetSpriteLayer(window, sprite) == 0)
        return WrappingLayer0(*frame)
                   ? TestSpriteAgainstLayerBackdrops(sprite, image, x, y, angle, scaleX, scaleY, heightLimit,
                                                     obstacle)
                   : TestSpriteAgainstCollisionMask(window, sprite, image, x, y, angle, scaleX, scaleY,
                                                    heightLimit, Plane(obstacle));
    if (frame->layerCount <= 1) return 0;
    if (PerLayer(*frame))
        return TestSpriteAgainstLayerBackdrops(sprite, image, x, y, angle, scaleX, scaleY, heightLimit,
                                               obstacle);
    return CollideSpriteWithSprites(window, sprite, image, x, y, angle, scaleX, scaleY, heightLimit,
                                    SearchFlags(obstacle))
               ? 1
               : 0;
}

} // namespace vtrrt
