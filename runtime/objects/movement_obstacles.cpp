#include "objects/movement_obstacles.h"

#include "core/event_state.h"
#include "events/event_evaluation.h"
#include "objects/animations.h"
#include "objects/backgrounds.h"
#include "objects/movements.h"
#include "objects/object_moved.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include <algorithm>
#include <array>
#include <bit>

namespace vtrrt {

namespace {

// The object's conditions whose events stop or bounce it: it leaves the play area, meets a backdrop,
// meets another object.
constexpr std::uint16_t ObstacleBorders = 0x0F;
constexpr std::uint16_t ObstacleBackdrops = 0x10;

// A box beyond two opposite borders counts as beyond none.
constexpr std::array<std::uint32_t, 16> BorderObstacleMasks{0, 1, 2, 0, 4, 5, 6, 0, 8, 9, 10, 0, 0, 0, 0, 0};

struct Offset {
    std::int8_t dx, dy;
};
// By direction / 4: the offsets tried in order to leave an obstacle, each list ended by {0, 0}.
constexpr std::array<std::array<Offset, 9>, 8> ObstacleEscapeOffsets{{
    {{{0, -2}, {0, 2}, {0, -4}, {0, 4}, {0, -8}, {0, 8}, {-4, 0}, {-8, 0}, {0, 0}}},
    {{{-2, -2}, {2, 2}, {-4, -4}, {4, 4}, {-8, -8}, {8, 8}, {-4, 4}, {-8, 8}, {0, 0}}},
    {{{-2, 0}, {2, 0}, {-4, 0}, {4, 0}, {-8, 0}, {8, 0}, {0, 4}, {0, 8}, {0, 0}}},
    {{{-2, 2}, {2, -2}, {-4, 4}, {4, -4}, {-8, 8}, {8, -8}, {4, 4}, {8, 8}, {0, 0}}},
    {{{0, 2}, {0, -2}, {0, 4}, {0, -4}, {0, 8}, {0, -8}, {4, 0}, {8, 0}, {0, 0}}},
    {{{2, 2}, {-2, -2}, {4, 4}, {-4, -4}, {8, 8}, {-8, -8}, {4, -4}, {8, -8}, {0, 0}}},
    {{{2, 0}, {-2, 0}, {4, 0}, {-4, 0}, {8, 0}, {-8, 0}, {0, -4}, {0, -8}, {0, 0}}},
    {{{2, -2}, {-2, 2}, {4, -4}, {-4, 4}, {8, -8}, {-8, 8}, {-4, -4}, {-8, -8}, {0, 0}}},
}};

// The obstacle flags of the object's object info: borders (bits 0-3) and backdrops (0x10).
std::uint16_t ObstacleFlags(const RunObject* o) {
    return o->objectInfoEntry ? o->objectInfoEntry->collisionFlags
                              : static_cast<std::uint16_t>(o->collisionFlags);
}

std::uint32_t BorderBits(const RunObject* o, std::int32_t x, std::int32_t y) {
    const FrameRecord* frame = o->runState ? o->runState->frame : nullptr;
    const std::int32_t width = frame ? frame->width : 0, height = frame ? frame->height : 0;
    const std::int32_t left = x - o->hotSpotX, top = y - o->hotSpotY;
    return BorderObstacleMasks[GetBorderFlags(left, top, left + o->width, top + o->height, width, height)];
}

// The object infos (by run entry index) the object takes as obstacles, ended by -1; null when none.
const std::vector<std::int16_t>* ObstacleList(const RunObject* o) {
    const EventRunState* s = CurrentEventState();
    if (!s || !s->events || !s->run || !o->objectInfoEntry || !s->run->objectInfos) return nullptr;
    const std::ptrdiff_t i = o->objectInfoEntry - s->run->objectInfos;
    if (i < 0 || static_cast<std::size_t>(i) >= s->events->collisionPartners.size()) return nullptr;
    const auto& list = s->events->collisionPartners[static_cast<std::size_t>(i)];
    return list.empty() || list.front() < 0 ? nullptr : &list;
}

bool Lists(const std::vector<std::int16_t>& list, std::ptrdiff_t index) {
    for (std::int16_t e : list) {
        if (e < 0) return false;
        if (e == index) return true;
    }
    return false;
}

struct Point {
    std::int32_t x, y;
    bool operator==(const Point&) const = default;
};

Point Half(Point a, Point b) {
    return {static_cast<std::int32_t>((std::int64_t{a.x} + b.x) / 2),
            static_cast<std::int32_t>((std::int64_t{a.y} + b.y) / 2)};
}

// The halving search: free(point) answers whether a point is free.
template <typename Free> std::int32_t HalvingSearch(Point nearEnd, Point farEnd, Free&& free, Point* out) {
    Point mid = Half(nearEnd, farEnd);
    // Each round halves the segment: 64 rounds cover any two 32-bit points.
    for (int round = 0; round < 80; ++round) {
        if (free(mid)) {
            const Point next = Half(mid, nearEnd);
            if (next == mid) {
                *out = nearEnd != mid && free(nearEnd) ? nearEnd : mid;
                return 1;
            }
            farEnd = mid;
            mid = next;
        } else {
            const Point next = Half(mid, farEnd);
            if (next == mid) {
                if (farEnd != mid && free(farEnd)) {
                    *out = farEnd;
                    return 1;
                }
                *out = mid;
                return 0;
            }
            nearEnd = mid;
            mid = next;
        }
    }
    *out = mid;
    return 0;
}

// The first escape offset of the object's direction that is free, added to its position.
bool Escape(RunObject* o, std::int32_t excludeOwnInfo) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return false;
    for (const Offset& d : ObstacleEscapeOffsets[static_cast<std::size_t>((x->direction & 31) / 4)]) {
        if (d.dx == 0 && d.dy == 0) break;
        if (TestObjectPosition(o, o->x + d.dx, o->y + d.dy, excludeOwnInfo)) {
            o->x += d.dx;
            o->y += d.dy;
            return true;
        }
    }
    return false;
}

// Back where the object was before its move, with the image and angle it had.
void TakeBackMove(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    o->x = x->xBeforeMove;
    o->y = x->yBeforeMove;
    o->xFraction = o->yFraction = 0;
    const bool imageChanged = x->image != x->imageBeforeMove;
    const float angle = std::bit_cast<float>(x->angleBeforeMove);
    const bool angleChanged = x->angle != angle;
    x->image = x->imageBeforeMove;
    x->angle = angle;
    if (imageChanged || angleChanged) TakeObjectImageInfo(o);
    x->changed = 1;
}

// Inside the play area along the borders the box lies beyond (none of two opposite ones).
void ResolveBorder(RunObject* o) {
    const FrameRecord* frame = o->runState ? o->runState->frame : nullptr;
    if (!frame) return;
    const std::uint32_t bits = BorderBits(o, o->x, o->y);
    if (bits & BorderLeft) o->x = o->hotSpotX;
    if (bits & BorderRight) o->x = frame->width - o->width + o->hotSpotX;
    if (bits & BorderTop) o->y = o->hotSpotY;
    if (bits & BorderBottom) o->y = frame->height - o->height + o->hotSpotY;
}

std::int16_t HandledCondition() {
    const EventRunState* s = CurrentEventState();
    return s ? EventCodeNumber(s->eventCode) : 0;
}

} // namespace

const std::vector<std::int16_t>* ObstacleObjectInfos(const RunObject* o) {
    return o ? ObstacleList(o) : nullptr;
}

std::int32_t TestObjectPositionAt(RunObject* o, std::int32_t x, std::int32_t y, std::int32_t height,
                                  std::int32_t kind, std::int32_t excludeOwnInfo) {
    RunObjectExtended* ext = ExtendedOf(o);
    if (!ext || !o->runState) return 1;
    const std::uint16_t flags = ObstacleFlags(o);
    if ((flags & ObstacleBorders) && (BorderBits(o, x, y) & flags & ObstacleBorders)) return 0;
    const auto image = static_cast<win32::DWORD>(ext->image);
    if ((flags & ObstacleBackdrops) &&
        TestObjectBackdropCollision(o, image, ext->angle, ext->scaleX, ext->scaleY, x, y, height, kind))
        return 0;
    const std::vector<std::int16_t>* obstacles = ObstacleList(o);
    if (!obstacles) return 1;
    const FrameRunState& run = *o->runState;
    for (const CollisionPair& p :
         CollectCollidingObjects(o, image, ext->angle, ext->scaleX, ext->scaleY, x, y)) {
        const RunObject* c = p.object;
        if (!c || !c->objectInfoEntry || (excludeOwnInfo && c->objectInfo == o->objectInfo)) continue;
        if (Lists(*obstacles, c->objectInfoEntry - run.objectInfos)) return 0;
    }
    return 1;
}

std::int32_t TestObjectPosition(RunObject* o, std::int32_t x, std::int32_t y, std::int32_t excludeOwnInfo) {
    return TestObjectPositionAt(o, x, y, 0, ObstaclesAndPlatforms, excludeOwnInfo);
}

std::int32_t FindFreePosition(RunObject* o, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                              std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                              std::int32_t* y) {
    const FrameRunState* s = o ? o->runState : nullptr;
    const std::int32_t sx = s ? s->scrollX : 0, sy = s ? s->scrollY : 0;
    Point found{x1, y1};
    const std::int32_t result = HalvingSearch(
        {x1, y1}, {x2, y2},
        [&](Point p) { return TestObjectPositionAt(o, p.x + sx, p.y + sy, height, kind, 0) != 0; }, &found);
    if (x) *x = found.x;
    if (y) *y = found.y;
    return result;
}

std::int32_t FindFreePositionService(RunObject* o, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                     std::int32_t y2, std::int32_t height, std::int32_t kind, std::int32_t* x,
                                     std::int32_t* y) {
    const FrameRunState* s = o ? o->runState : nullptr;
    const std::int32_t sx = s ? s->scrollX : 0, sy = s ? s->scrollY : 0;
    std::int32_t fx = 0, fy = 0;
    const std::int32_t result =
        FindFreePosition(o, x1 - sx, y1 - sy, x2 - sx, y2 - sy, height, kind, &fx, &fy);
    if (x) *x = fx + sx;
    if (y) *y = fy + sy;
    return result;
}

std::int32_t FindFreePositionOnPath(RunObject* o, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                    std::int32_t y2, std::int32_t excludeOwnInfo, std::int32_t* x,
                                    std::int32_t* y) {
    Point found{x1, y1};
    const std::int32_t result = HalvingSearch(
        {x1, y1}, {x2, y2}, [&](Point p) { return TestObjectPosition(o, p.x, p.y, excludeOwnInfo) != 0; },
        &found);
    if (x) *x = found.x;
    if (y) *y = found.y;
    return result;
}

void ResolveObstacle(RunObject* o, std::int32_t searchBack) {
    if (!ExtendedOf(o)) return;
    if (searchBack) {
        ResolveObstacleEx(o, 0);
        return;
    }
    switch (HandledCondition()) {
    case ConditionBackdrop:
    case ConditionCollision:
        if (!Escape(o, 0)) TakeBackMove(o);
        break;
    case ConditionLeavesArea:
        ResolveBorder(o);
        break;
    default:
        break;
    }
}

std::int32_t ResolveObstacleEx(RunObject* o, std::int32_t excludeOwnInfo) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return 0;
    switch (HandledCondition()) {
    case ConditionBackdrop:
    case ConditionCollision: {
        std::int32_t fx = 0, fy = 0;
        if (FindFreePositionOnPath(o, o->x, o->y, x->xBeforeMove, x->yBeforeMove, excludeOwnInfo, &fx, &fy)) {
            o->x = fx;
            o->y = fy;
            return 1;
        }
        if (Escape(o, excludeOwnInfo)) return 1;
        if (excludeOwnInfo) return 0;
        TakeBackMove(o);
        return 1;
    }
    case ConditionLeavesArea:
        ResolveBorder(o);
        return 1;
    default:
        return 1;
    }
}

std::int32_t TestRectAgainstBackdropsService(RunObject* o, std::int32_t x, std::int32_t y, std::int32_t width,
                                             std::int32_t height, std::int32_t layer, std::int32_t kind) {
    const FrameRunState* s = o ? o->runState : CurrentRunState();
    if (!s) return 1;
    return TestRectAgainstBackdrops(x - s->scrollX, y - s->scrollY, width, height, layer, kind) ? 0 : 1;
}

std::int32_t TestPointAgainstBackgroundService(RunObject* o, std::int32_t x, std::int32_t y,
                                               std::int32_t layer, std::int32_t kind) {
    const FrameRunState* s = o ? o->runState : CurrentRunState();
    if (!s) return 1;
    return TestPointAgainstBackground(x - s->scrollX, y - s->scrollY, layer, kind) ? 0 : 1;
}

} // namespace vtrrt
