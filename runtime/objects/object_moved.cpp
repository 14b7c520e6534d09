#include "objects/object_moved.h"

#include "core/frame_run_state.h"
#include "events/event_evaluation.h"
#include "events/event_preparation.h"
#include "events/selection.h"
#include "objects/backgrounds.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/path_movement.h"
#include "objects/platform_movement.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprites.h"

#include <array>

namespace vtrrt {

namespace {

// A box beyond two opposite borders counts as beyond none.
constexpr std::array<std::uint32_t, 16> BorderMask{0, 1, 2, 0, 4, 5, 6, 0, 8, 9, 10, 0, 0, 0, 0, 0};

struct Box {
    std::int32_t x1, y1, x2, y2;
};

Box BoxAt(const RunObject* o, std::int32_t x, std::int32_t y) {
    const std::int32_t left = x - o->hotSpotX, top = y - o->hotSpotY;
    return {left, top, left + o->width, top + o->height};
}

// The borders the box lies wholly beyond.
std::uint32_t OutsideFlags(const Box& b, std::int32_t width, std::int32_t height) {
    std::uint32_t f = 0;
    if (b.x2 <= 0) f |= BorderLeft;
    if (b.x1 >= width) f |= BorderRight;
    if (b.y2 <= 0) f |= BorderTop;
    if (b.y1 >= height) f |= BorderBottom;
    return BorderMask[f];
}

// Boxes meet when they overlap or touch.
bool BoxesMeet(const Box& a, const Box& b) {
    return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2;
}

// The moving object's own move may be stopped by what its events do.
void ClearMoveState(RunObject* o) {
    o->eventFlags = 0;
    SetMovementField(o, MovementBlockStopRequest, 0);
}

void RaiseBorder(RunObject* o, std::int16_t number, std::uint16_t eventFlag, std::uint32_t borders) {
    o->eventFlags = eventFlag;
    if (EventRunState* s = CurrentEventState()) s->eventParameter1 = static_cast<std::int32_t>(borders);
    TriggerObjectCondition(o, EventCodeOf(o->objectType, number));
}

void TestBorders(RunObject* o, RunObjectExtended& x, const FrameRunState& run) {
    const std::int32_t width = run.frame ? run.frame->width : 0, height = run.frame ? run.frame->height : 0;
    const Box before{x.boxBeforeMove[0], x.boxBeforeMove[1], x.boxBeforeMove[2], x.boxBeforeMove[3]};
    Box now = BoxAt(o, o->x, o->y);
    const std::uint32_t wasOutside = OutsideFlags(before, width, height);
    if (wasOutside && !OutsideFlags(now, width, height))
        RaiseBorder(o, ConditionEntersArea, EventFlagEntered, wasOutside);
    const std::uint32_t outside = OutsideFlags(now, width, height);
    const auto wrapMask = static_cast<std::uint32_t>(MovementField(o, MovementBlockWrapMask) & 0xF);
    if (outside & wrapMask) {
        std::int32_t nx = o->x, ny = o->y;
        if (outside & BorderLeft)
            nx += width;
        else if (outside & BorderRight)
            nx -= width;
        if (outside & BorderTop)
            ny += height;
        else if (outside & BorderBottom)
            ny -= height;
        if (MovementInstanceOf(o)) {
            // An extension movement keeps the object's coordinates itself: it is handed the wrapped ones.
            if (nx != o->x) SetObjectX(o, nx);
            if (ny != o->y) SetObjectY(o, ny);
        } else {
            // A path movement keeps the segment it follows with the object.
            ShiftPathMovement(o, nx - o->x, ny - o->y);
            o->x = nx;
            o->y = ny;
        }
        now = BoxAt(o, nx, ny);
    }
    const std::uint32_t crossed =
        BorderMask[GetBorderFlags(before.x1, before.y1, before.x2, before.y2, width, height)];
    const std::uint32_t crossing = BorderMask[GetBorderFlags(now.x1, now.y1, now.x2, now.y2, width, height)];
    if (const std::uint32_t left = crossing & ~crossed)
        RaiseBorder(o, ConditionLeavesArea, EventFlagLeft, left);
}

// The collision-pair list of the object's object info, or null (every object is then a candidate).
const std::vector<std::int16_t>* PairListOf(const EventRunState* s, const RunObject* o) {
    if (!s || !s->events || !o->objectInfoEntry || !s->run->objectInfos) return nullptr;
    const std::ptrdiff_t i = o->objectInfoEntry - s->run->objectInfos;
    if (i < 0 || static_cast<std::size_t>(i) >= s->events->collisionPairs.size()) return nullptr;
    const auto& list = s->events->collisionPairs[static_cast<std::size_t>(i)];
    return list.empty() ? nullptr : &list;
}

// Every candidate: the instances of the pair list's object infos, or every object in slot order.
template <typename F>
void ForEachCandidate(const EventRunState* s, const std::vector<std::int16_t>* pairs, F&& f) {
    const FrameRunState& run = *s->run;
    if (!pairs) {
        for (std::int32_t slot = 0; slot < run.maxObjects && run.objects; ++slot)
            if (RunObject* o = run.objects[slot].object) f(o);
        return;
    }
    for (std::int16_t index : *pairs) {
        if (index < 0 || index >= run.objectInfoCount) continue;
        RunObject* o = ObjectOfHandle(run.objectInfos[index].firstInstance);
        for (std::int32_t guard = 0; o && guard < run.maxObjects; ++guard) {
            RunObject* next = ObjectOfHandle(o->nextInstance);
            f(o);
            o = next;
        }
    }
}

// The object a sprite stands for, when it is one of the frame's live objects.
RunObject* ObjectOfSprite(const FrameRunState& run, Sprite* sprite) {
    if (!sprite) return nullptr;
    const auto* candidate = reinterpret_cast<const RunObject*>(sprite->userData);
    for (std::int32_t slot = 0; slot < run.maxObjects && run.objects; ++slot)
        if (run.objects[slot].object == candidate) return run.objects[slot].object;
    return nullptr;
}

} // namespace

std::uint32_t GetBorderFlags(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                             std::int32_t width, std::int32_t height) {
    std::uint32_t f = 0;
    if (x1 < 0) f |= BorderLeft;
    if (x2 > width) f |= BorderRight;
    if (y1 < 0) f |= BorderTop;
    if (y2 > height) f |= BorderBottom;
    return f;
}

std::vector<CollisionPair> CollectCollidingObjects(RunObject* o, win32::DWORD image, float angle,
                                                   float scaleX, float scaleY, std::int32_t x,
                                                   std::int32_t y) {
    EventRunState* s = CurrentEventState();
    if (!s || !s->run || !o) return {};
    std::vector<CollisionPair> pairs;
    CollectCollidingObjectsAmong(o, image, angle, scaleX, scaleY, x, y, PairListOf(s, o), pairs);
    return pairs;
}

void CollectCollidingObjectsAmong(RunObject* o, win32::DWORD image, float angle, float scaleX, float scaleY,
                                  std::int32_t x, std::int32_t y, const std::vector<std::int16_t>* pairList,
                                  std::vector<CollisionPair>& pairs) {
    pairs.clear();
    EventRunState* s = CurrentEventState();
    if (!s || !s->run || !o) return;
    const FrameRunState& run = *s->run;
    const Box box = BoxAt(o, x, y);
    RunObjectExtended* ext = ExtendedOf(o);
    auto* sprite = ext ? static_cast<Sprite*>(ext->sprite) : nullptr;
    const auto addByBox = [&](std::uint16_t skipFlags, bool needsOverlapFlag) {
        ForEachCandidate(s, pairList, [&](RunObject* c) {
            if (c == o || (c->runFlags & skipFlags)) return;
            if (needsOverlapFlag && !(static_cast<std::uint16_t>(c->collisionFlags) & CollisionOverlap))
                return;
            if (BoxesMeet(box, BoxAt(c, c->x, c->y))) pairs.push_back({nullptr, true, c});
        });
    };
    if (!(o->runFlags & DrawnBySprite) || !sprite) {
        addByBox(0, true);
        return;
    }
    SpriteWindow* window = SpritesOfFrame();
    const auto sx = static_cast<win32::LONG>(x - run.scrollX), sy = static_cast<win32::LONG>(y - run.scrollY);
    std::vector<SpriteHit> hits;
    if (pairList) {
        ForEachCandidate(s, pairList, [&](RunObject* c) {
            RunObjectExtended* cx = ExtendedOf(c);
            if (c == o || !cx || !cx->sprite || (c->runFlags & ObjectDisappearing) || c->layer != o->layer)
                return;
            hits.push_back({static_cast<Sprite*>(cx->sprite), reinterpret_cast<win32::LONG_PTR>(c)});
        });
        if (!hits.empty()) {
            hits.push_back({});
            const int n = CollectSpriteCollisions(window, sprite, hits.data(), image, sx, sy, angle, scaleX,
                                                  scaleY, SearchGivenCandidates);
            for (int i = 0; i < n; ++i)
                pairs.push_back({hits[static_cast<std::size_t>(i)].sprite, false,
                                 reinterpret_cast<RunObject*>(hits[static_cast<std::size_t>(i)].userData)});
        }
    } else {
        // Counted first, then gathered into room for every sprite touched and the end.
        const int n =
            CollectSpriteCollisions(window, sprite, nullptr, image, sx, sy, angle, scaleX, scaleY, 0);
        if (n > 0) {
            hits.resize(static_cast<std::size_t>(n) + 1);
            const int found =
                CollectSpriteCollisions(window, sprite, hits.data(), image, sx, sy, angle, scaleX, scaleY, 0);
            for (int i = 0; i < found && i < n; ++i)
                if (RunObject* c = ObjectOfSprite(run, hits[static_cast<std::size_t>(i)].sprite); c && c != o)
                    pairs.push_back({hits[static_cast<std::size_t>(i)].sprite, false, c});
        }
    }
    if (static_cast<std::uint16_t>(o->collisionFlags) & CollisionNoSprite) addByBox(DrawnBySprite, false);
    return;
}

void HandleObjectMoved(RunObject* o) {
    EventRunState* s = CurrentEventState();
    if (!o || !s || !s->run) return;
    ClearMoveState(o);
    const auto flags = static_cast<std::uint16_t>(o->collisionFlags);
    RunObjectExtended* x = ExtendedOf(o);
    if ((flags & CollisionBorder) && x) TestBorders(o, *x, *s->run);
    if ((flags & CollisionBackdrop) && x) {
        // The platform movement tests its feet and ladders its own way.
        if (const std::int32_t code =
                x->movementType == MovementPlatform
                    ? TestBackdropCollisionAfterMove(o)
                    : TestObjectBackdropCollision(o, static_cast<win32::DWORD>(x->image), x->angle, x->scaleX,
                                                  x->scaleY, o->x, o->y, 0, ObstaclesAndPlatforms))
            TriggerObjectCondition(o, code);
    }
    if (!(flags & CollisionWithObjects) || !x) return;
    const std::vector<CollisionPair> pairs = CollectCollidingObjects(
        o, static_cast<win32::DWORD>(x->image), x->angle, x->scaleX, x->scaleY, o->x, o->y);
    for (const CollisionPair& p : pairs) {
        RunObject* other = p.object;
        if (!other || other == o || (other->runFlags & ObjectDisappearing)) continue;
        // The object of the lower type raises the collision; the moving one for a tie.
        RunObject* raiser = other->objectType < o->objectType ? other : o;
        RunObject* partner = raiser == o ? other : o;
        s->eventParameter1 = partner->objectInfo;
        s->otherObject = partner->handle;
        TriggerObjectCondition(raiser, EventCodeOf(raiser->objectType, ConditionCollision));
    }
}

std::int32_t TestObjectBackdropCollision(RunObject* o, win32::DWORD image, float angle, float scaleX,
                                         float scaleY, std::int32_t x, std::int32_t y,
                                         std::int32_t heightFromBottom, std::int32_t obstacle) {
    const FrameRunState* run = o ? o->runState : nullptr;
    if (!run) return 0;
    x -= run->scrollX;
    y -= run->scrollY;
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    const bool plain = angle == 0.0f && scaleX == 1.0f && scaleY == 1.0f;
    bool hit = false;
    if (!(o->runFlags & DrawnBySprite) || (block && (block->spriteFlags & SpriteBoxOnly) && plain)) {
        std::int32_t top = y - o->hotSpotY, height = o->height;
        if (heightFromBottom > 0 && heightFromBottom < height) {
            top += height - heightFromBottom;
            height = heightFromBottom;
        }
        hit = TestRectAgainstBackdrops(x - o->hotSpotX, top, o->width, height, o->layer, obstacle) != 0;
    } else if (RunObjectExtended* ext = ExtendedOf(o); ext && ext->sprite) {
        hit = TestSpriteAgainstBackdrops(static_cast<Sprite*>(ext->sprite), image, x, y, angle, scaleX,
                                         scaleY, heightFromBottom, obstacle) != 0;
    }
    return hit ? EventCodeOf(o->objectType, ConditionBackdrop) : 0;
}

void NotifyObjectMoved(RunObject* o) {
    FrameRunState* run = o ? o->runState : nullptr;
    if (!run) return;
    ++run->moveCounter;
    SetMovementField(o, MovementBlockMoveStamp, static_cast<std::int16_t>(run->moveCounter));
    HandleObjectMoved(o);
}

} // namespace vtrrt
