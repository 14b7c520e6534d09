// The platform movement: a player's character walks with acceleration and deceleration, falls under
// gravity, jumps, climbs ladders, crouches and stands up, and rides on moving objects it stands on.
#include "objects/platform_movement.h"

#include "core/application_record.h"
#include "core/event_state.h"
#include "core/runtime_services.h"
#include "events/event_evaluation.h"
#include "events/selection.h"
#include "objects/animations.h"
#include "objects/layer_rects.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"
#include "objects/object_moved.h"
#include "objects/run_objects.h"
#include "startup/banks.h"

#include "vtrs2/banks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vtrrt {

namespace {

// The data after the common part.
constexpr std::size_t PlatformMaximumSpeed = 12;
constexpr std::size_t PlatformAcceleration = 14;
constexpr std::size_t PlatformDeceleration = 16;
constexpr std::size_t PlatformJumpControl = 18;
constexpr std::size_t PlatformGravity = 20;
constexpr std::size_t PlatformJumpStrength = 22;

constexpr std::int32_t Up = 0x01, Down = 0x02, Left = 0x04, Right = 0x08, Button1 = 0x10, Button2 = 0x20;

constexpr std::int32_t AnimationJumping = 7;
constexpr std::int32_t AnimationFalling = 8;
constexpr std::int32_t AnimationClimbing = 9;
constexpr std::int32_t AnimationCrouching = 10;
constexpr std::int32_t AnimationStandingUp = 11;

constexpr std::int32_t MaxFallSpeed = 64000;
constexpr std::int32_t LadderReach = 4;
constexpr std::int32_t LadderTopSearch = 32;

struct [[gnu::packed]] PlatformBlock {
    std::int32_t state;
    std::int32_t h; // horizontal speed x 256, negative = left
    std::int32_t gravity;
    std::int32_t jumpStrength;
    std::int32_t v; // vertical speed x 256, negative = up
    std::int32_t footX, footY, footHeight;
    std::int32_t jumpControl;
    std::int32_t jumpBlocked;
    // The object stood on, by handle and creation number: a destroyed one is then forgotten, never read.
    std::int32_t platformHandle; // -1: none
    std::int32_t platformCreation;
    std::int32_t platformX, platformY;
    std::int32_t borderHold;
};
static_assert(sizeof(PlatformBlock) <= sizeof(ObjectMovementBlock::typeData));

PlatformBlock* PlatformOf(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || x->movementType != MovementPlatform) return nullptr;
    return reinterpret_cast<PlatformBlock*>(b->typeData);
}

// The foot point in window coordinates.
std::int32_t FootX(RunObject* o, const PlatformBlock& p) {
    return o->x + p.footX;
}
std::int32_t FootY(RunObject* o, const PlatformBlock& p) {
    return o->y + p.footY;
}

bool LadderAt(RunObject* o, std::int32_t x, std::int32_t y) {
    return FindLadderAt(o->layer, x, y);
}

bool LadderAtFoot(RunObject* o, const PlatformBlock& p, std::int32_t dy = 0) {
    return LadderAt(o, FootX(o, p), FootY(o, p) + dy);
}

// The steering of one axis: `negative` pushes below 0, `positive` above; A, D and M as the handler has them.
std::int32_t Steer(std::int32_t s, bool negative, bool positive, std::int32_t a, std::int32_t d,
                   std::int32_t m) {
    const std::int64_t top = std::int64_t{m} * 256;
    std::int64_t h = s;
    if (h <= 0) {
        if (negative) {
            h -= a;
            if (h / 256 < -m) h = -top;
        } else if (h < 0) {
            h = std::min<std::int64_t>(h + d, 0);
        }
        if (positive) h = -h;
    }
    if (h >= 0) {
        if (positive) {
            h += a;
            if (h / 256 > m) h = top;
        } else if (h > 0) {
            h = std::max<std::int64_t>(h - d, 0);
        }
        if (negative) h = -h;
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(h, -0x7FFFFF00LL, 0x7FFFFF00LL));
}

// The direction of a move of (h, v).
std::int32_t MoveDirection(std::int32_t h, std::int32_t v) {
    std::int32_t d = h < 0 ? 16 : 0;
    if (v == 0) return d;
    const std::int64_t r = std::llabs(h) * 256 / std::llabs(v);
    constexpr std::int64_t Thresholds[] = {2599, 844, 479, 312, 210, 137, 78, 25};
    d = 24;
    for (int i = 0; i < 8; ++i)
        if (r >= Thresholds[i]) {
            d = (32 - i) & 31;
            break;
        }
    if (v < 0) d = (32 - d) & 31;
    if (h < 0) d = (16 - d) & 31;
    return d;
}

std::int32_t MoveSpeed(std::int32_t h, std::int32_t v, std::int32_t d) {
    const std::int64_t ux = std::llabs(DirectionUnitX(d)), uy = std::llabs(DirectionUnitY(d));
    std::int64_t speed = 0;
    if (ux < uy)
        speed = std::llabs(v) / uy;
    else if (ux > 0)
        speed = std::llabs(h) / ux;
    return static_cast<std::int32_t>(std::min<std::int64_t>(speed, 250));
}

// The frame-coordinate forms of the searches: the movement's positions are frame coordinates.
bool FreeNear(RunObject* o, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
              std::int32_t height, std::int32_t& x, std::int32_t& y) {
    return FindFreePositionService(o, x1, y1, x2, y2, height, ObstaclesAndPlatforms, &x, &y) != 0;
}

bool FloorBelow(RunObject* o, const PlatformBlock& p) {
    return TestObjectPositionAt(o, o->x, o->y + 10, p.footHeight, ObstaclesAndPlatforms, 1) == 0;
}

// The feet put on the floor below.
void PlaceFeet(RunObject* o, PlatformBlock& p) {
    std::int32_t fx = o->x, fy = o->y;
    FreeNear(o, o->x, o->y + p.footHeight - 1, o->x, o->y, p.footHeight, fx, fy);
    if (fx != o->x || fy != o->y) {
        o->x = fx;
        o->y = fy;
        ExtendedOf(o)->changed = 1;
    }
    p.borderHold = 0;
}

void FloorOrFall(RunObject* o, PlatformBlock& p) {
    if (!FloorBelow(o, p))
        p.state = PlatformFalling;
    else
        PlaceFeet(o, p);
}

RunObject* RememberedPlatform(RunObject* o, const PlatformBlock& p) {
    const FrameRunState* s = o->runState;
    if (!s || !s->objects || p.platformHandle < 0 || p.platformHandle >= s->maxObjects) return nullptr;
    RunObject* found = s->objects[p.platformHandle].object;
    if (!found || found->creationNumber != static_cast<std::uint16_t>(p.platformCreation)) return nullptr;
    return found;
}

void ForgetPlatform(PlatformBlock& p) {
    p.platformHandle = -1;
    p.platformCreation = 0;
}

// Step 10: the object rides the object it stands on from the second loop it stands there.
void RidePlatform(RunObject* o, PlatformBlock& p) {
    RunObjectExtended* x = ExtendedOf(o);
    if (p.state != PlatformWalking && p.state != PlatformCrouching && p.state != PlatformStandingUp) {
        ForgetPlatform(p);
        return;
    }
    const std::vector<std::int16_t>* obstacles = ObstacleObjectInfos(o);
    if (!obstacles) {
        ForgetPlatform(p);
        return;
    }
    std::vector<CollisionPair> pairs;
    const auto image = static_cast<win32::DWORD>(x->image);
    CollectCollidingObjectsAmong(o, image, x->angle, x->scaleX, x->scaleY, o->x, o->y, obstacles, pairs);
    if (!pairs.empty()) {
        ForgetPlatform(p);
        return;
    }
    CollectCollidingObjectsAmong(o, image, x->angle, x->scaleX, x->scaleY, o->x, o->y + 3, obstacles, pairs);
    if (pairs.size() != 1 || !pairs.front().object) {
        ForgetPlatform(p);
        return;
    }
    RunObject* found = pairs.front().object;
    if (found == RememberedPlatform(o, p)) {
        o->x += found->x - p.platformX;
        o->y += found->y - p.platformY;
        p.platformX = found->x;
        p.platformY = found->y;
        HandleObjectMoved(o);
        x->changed = 1;
        return;
    }
    p.platformHandle = found->handle;
    p.platformCreation = found->creationNumber;
    p.platformX = found->x;
    p.platformY = found->y;
}

std::int16_t HandledCondition() {
    const EventRunState* s = CurrentEventState();
    return s ? EventCodeNumber(s->eventCode) : 0;
}

// Back where the object was before its move, with its image and angle, when where it is now is blocked.
void LastResort(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    const bool imageChanged = x->image != x->imageBeforeMove;
    float angle = 0;
    std::memcpy(&angle, &x->angleBeforeMove, sizeof(angle));
    const bool angleChanged = x->angle != angle;
    x->image = x->imageBeforeMove;
    x->angle = angle;
    if (imageChanged || angleChanged) TakeObjectImageInfo(o);
    if (!TestObjectPositionAt(o, o->x, o->y, 0, ObstaclesAndPlatforms, 1)) {
        o->x = x->xBeforeMove;
        o->y = x->yBeforeMove;
        x->changed = 1;
    }
}

bool TakeFree(RunObject* o, std::int32_t x2, std::int32_t y2, std::int32_t height) {
    std::int32_t fx = 0, fy = 0;
    if (!FreeNear(o, o->x, o->y, x2, y2, height, fx, fy)) return false;
    o->x = fx;
    o->y = fy;
    ExtendedOf(o)->changed = 1;
    return true;
}

void StopAgainstObstacle(RunObject* o, RunObjectExtended& x, PlatformBlock& p) {
    p.borderHold = 0;
    switch (p.state) {
    case PlatformFalling: {
        std::int32_t fx = o->x, fy = o->y;
        FreeNear(o, o->x, o->y, x.xBeforeMove, x.yBeforeMove, p.footHeight, fx, fy);
        o->x = fx;
        o->y = fy;
        p.state = PlatformWalking;
        x.changed = 1;
        if (TestObjectPositionAt(o, o->x, o->y + 1, 0, ObstaclesAndPlatforms, 1)) {
            x.speed = 0;
            p.h = 0;
        } else {
            x.speed = std::abs(p.h / 256);
            p.jumpBlocked = 0;
            p.v = 0;
        }
        return;
    }
    case PlatformWalking:
    case PlatformCrouching:
    case PlatformStandingUp:
        // A step no higher than the foot zone is climbed at the same speed.
        if (TakeFree(o, o->x, o->y - p.footHeight, 0)) return;
        if (TakeFree(o, x.xBeforeMove, x.yBeforeMove, 0)) {
            ClearPlatformSpeeds(o);
            return;
        }
        break;
    case PlatformJumping:
        if (TakeFree(o, o->x, o->y - p.footHeight, 0)) return;
        p.jumpBlocked = 1;
        p.h = 0;
        break;
    case PlatformClimbing:
        if (TakeFree(o, x.xBeforeMove, x.yBeforeMove, 0)) {
            ClearPlatformSpeeds(o);
            return;
        }
        break;
    default:
        break;
    }
    LastResort(o);
}

void StopAtBorder(RunObject* o, PlatformBlock& p) {
    const FrameRecord* frame = o->runState ? o->runState->frame : nullptr;
    if (!frame) return;
    const std::int32_t left = o->x - o->hotSpotX, top = o->y - o->hotSpotY;
    const std::uint32_t bits =
        GetBorderFlags(left, top, left + o->width, top + o->height, frame->width, frame->height);
    if (bits & BorderLeft) {
        o->x = o->hotSpotX;
        p.h = 0;
        p.borderHold = 1;
    }
    if (bits & BorderRight) {
        o->x = frame->width - o->width + o->hotSpotX;
        p.h = 0;
        p.borderHold = 1;
    }
    if (bits & BorderTop) {
        o->y = o->hotSpotY;
        p.v = 0;
        p.borderHold = 0;
    }
    if (bits & BorderBottom) {
        o->y = frame->height - o->height + o->hotSpotY;
        p.v = 0;
        p.borderHold = 0;
    }
    p.state = p.state == PlatformJumping ? PlatformFalling : PlatformWalking;
    p.jumpBlocked = 0;
}

// Steps 9's state changes, on the state after the jump test.
void ChangeState(RunObject* o, RunObjectExtended& x, PlatformBlock& p, std::int32_t controls) {
    const bool upDown = (controls & (Up | Down)) != 0, sideways = (controls & (Left | Right)) != 0;
    switch (p.state) {
    case PlatformWalking:
        if (upDown && !sideways && LadderAtFoot(o, p)) {
            p.state = PlatformClimbing;
            p.h = 0;
            return;
        }
        if ((controls & Down) && HasAnimation(o, AnimationCrouching)) {
            p.h = 0;
            p.state = PlatformCrouching;
            return;
        }
        if (LadderAtFoot(o, p)) return;
        FloorOrFall(o, p);
        return;
    case PlatformClimbing:
        if (!LadderAtFoot(o, p)) {
            // Past the top of the ladder: back down onto it.
            if (p.v < 0)
                for (std::int32_t dy = 0; dy < LadderTopSearch; ++dy)
                    if (LadderAtFoot(o, p, dy)) {
                        o->y += dy;
                        x.changed = 1;
                        break;
                    }
            p.v = 0;
        }
        if (sideways) {
            p.state = PlatformWalking;
            p.v = 0;
        }
        return;
    case PlatformJumping:
        if (p.v >= 0) p.state = PlatformFalling;
        return;
    case PlatformFalling:
        if (LadderAtFoot(o, p)) {
            p.v = 0;
            p.state = PlatformClimbing;
            x.direction = 8;
        }
        return;
    case PlatformCrouching:
        if (!(controls & Down)) {
            if (!HasAnimation(o, AnimationStandingUp)) {
                p.state = PlatformWalking;
            } else {
                p.state = PlatformStandingUp;
                x.animationRequest = AnimationStandingUp;
                if (x.animationRoutine) x.animationRoutine(o);
                if (ObjectAnimationBlock* a = AnimationOf(o)) a->loopsLeft = 1;
            }
        }
        FloorOrFall(o, p);
        return;
    case PlatformStandingUp:
        if (const ObjectAnimationBlock* a = AnimationOf(o); !a || a->frameCount == 0)
            p.state = PlatformWalking;
        return;
    default:
        return;
    }
}

} // namespace

bool FindLadderAt(std::int32_t layer, std::int32_t x, std::int32_t y) {
    return HitTestLayerRects(layer, x, y) != nullptr;
}

void UpdatePlatformFootBox(RunObject* o) {
    PlatformBlock* p = PlatformOf(o);
    RunObjectExtended* x = ExtendedOf(o);
    if (!p || !o->runState) return;
    std::int32_t height = o->height, hotY = o->hotSpotY;
    const ApplicationRecord* app = CurrentApplication();
    ImageInfo info{};
    if (x->image && app && app->banks &&
        GetTransformedImageInfo(app->banks->library, static_cast<win32::DWORD>(x->image), x->angle, x->scaleX,
                                x->scaleY, &info)) {
        height = info.height;
        hotY = info.hotY;
    }
    p->footX = -o->runState->scrollX;
    p->footY = height - hotY - o->runState->scrollY;
    p->footHeight = (height * 3) >> 3;
}

void ClearPlatformSpeeds(RunObject* o) {
    PlatformBlock* p = PlatformOf(o);
    if (!p) return;
    ExtendedOf(o)->speed = 0;
    p->h = p->v = 0;
}

std::int32_t PlatformState(RunObject* o) {
    const PlatformBlock* p = PlatformOf(o);
    return p ? p->state : -1;
}

void InitPlatformMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    std::memset(b->typeData, 0, sizeof(b->typeData));
    auto* p = reinterpret_cast<PlatformBlock*>(b->typeData);
    x->movementRoutine = PlatformMovementHandler;
    o->xFraction = o->yFraction = 0;
    x->speed = 0;
    x->player = data.U16(MovementDataPlayer);
    b->acceleration = data.U16(PlatformAcceleration);
    b->deceleration = data.U16(PlatformDeceleration);
    b->accelerationStep = AccelerationRate(b->acceleration);
    b->decelerationStep = AccelerationRate(b->deceleration);
    x->maximumSpeed = data.U16(PlatformMaximumSpeed);
    x->minimumSpeed = 0;
    p->gravity = data.U16(PlatformGravity);
    p->jumpStrength = data.U16(PlatformJumpStrength);
    p->jumpControl = data.U16(PlatformJumpControl);
    if (p->jumpControl > 3) p->jumpControl = 1;
    ForgetPlatform(*p);
    x->changed = 1;
    p->state = PlatformWalking;
}

void PlatformMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!x || !b || !p) return;
    UpdatePlatformFootBox(o);
    const std::int32_t controls = GetPlayerControls(o, x->player);
    const std::int32_t a = ScaledBySpeedFactor(o, b->accelerationStep);
    const std::int32_t d = ScaledBySpeedFactor(o, b->decelerationStep);
    const std::int32_t m = x->maximumSpeed;
    if (!p->jumpBlocked) p->h = Steer(p->h, controls & Left, controls & Right, a, d, m);
    switch (p->state) {
    case PlatformWalking:
        if (((controls & Up) && LadderAtFoot(o, *p, -LadderReach)) ||
            (!(controls & Up) && (controls & Down) && LadderAtFoot(o, *p, LadderReach))) {
            p->state = PlatformClimbing;
            p->v = Steer(p->v, controls & Up, controls & Down, a, d, m);
        }
        break;
    case PlatformClimbing:
        p->jumpBlocked = 0;
        if (LadderAtFoot(o, *p) || LadderAtFoot(o, *p, -LadderReach))
            p->v = Steer(p->v, controls & Up, controls & Down, a, d, m);
        break;
    case PlatformJumping:
    case PlatformFalling:
        p->v = static_cast<std::int32_t>(std::min<std::int64_t>(
            std::int64_t{p->v} + ScaledBySpeedFactor(o, p->gravity * 32), MaxFallSpeed));
        break;
    default:
        break;
    }
    const std::int32_t direction = MoveDirection(p->h, p->v);
    x->speed = MoveSpeed(p->h, p->v, direction);
    switch (p->state) {
    case PlatformClimbing:
        if (p->v != 0) x->direction = p->v < 0 ? 8 : 24;
        break;
    case PlatformFalling:
        x->direction = direction;
        break;
    default:
        if (p->h != 0) x->direction = p->h < 0 ? 16 : 0;
        break;
    }
    static constexpr std::int32_t Requests[] = {AnimationWalking, AnimationClimbing,  AnimationJumping,
                                                AnimationFalling, AnimationCrouching, AnimationStandingUp};
    x->animationRequest = Requests[std::clamp(p->state, 0, 5)];
    if (x->animationRoutine) x->animationRoutine(o);
    UpdatePlatformFootBox(o);
    MoveObjectStep(o, x->speed, direction);
    // The events of the move may have changed the movement or begun the object's destruction.
    if (!StillMovedBy(o, PlatformMovementHandler) || !(p = PlatformOf(o))) return;
    if ((p->state == PlatformWalking || p->state == PlatformClimbing) && p->borderHold == 0 &&
        p->jumpControl != 0) {
        bool jump = false;
        switch (p->jumpControl) {
        case 1:
            jump = (controls & Up) && (controls & (Left | Right));
            break;
        case 2:
            jump = (controls & Button1) != 0;
            break;
        default:
            jump = (controls & Button2) != 0;
            break;
        }
        if (jump) {
            p->v = -p->jumpStrength * 256;
            p->state = PlatformJumping;
        }
    }
    UpdatePlatformFootBox(o);
    ChangeState(o, *x, *p, controls);
    RidePlatform(o, *p);
}

void PlatformStop(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!x || !p) return;
    if (!DuringOwnMove(o)) {
        ClearPlatformSpeeds(o);
        return;
    }
    RequestMoveStop(o);
    switch (HandledCondition()) {
    case ConditionBackdrop:
    case ConditionCollision:
        StopAgainstObstacle(o, *x, *p);
        break;
    case ConditionLeavesArea:
        StopAtBorder(o, *p);
        break;
    default:
        break;
    }
}

void PlatformBounce(RunObject* o, std::int32_t value) {
    PlatformStop(o, value);
}

void PlatformSetMaxSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!p) return;
    v = std::clamp(v, 0, 0xFFFF);
    x->maximumSpeed = v;
    RequestMoveStop(o);
    if (p->h > v * 256) p->h = v * 256;
}

void PlatformSetSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!p) return;
    x->speed = std::clamp(std::min(v, x->maximumSpeed), 0, 0xFFFF);
    p->h = x->speed * DirectionUnitX(x->direction);
    p->v = x->speed * DirectionUnitY(x->direction);
    RequestMoveStop(o);
}

void PlatformSetDirection(RunObject* o, std::int32_t direction) {
    RunObjectExtended* x = ExtendedOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!p) return;
    x->direction = direction & 31;
    p->h = x->speed * DirectionUnitX(x->direction);
    p->v = x->speed * DirectionUnitY(x->direction);
}

void SetPlatformGravity(RunObject* o, std::int32_t gravity) {
    if (PlatformBlock* p = PlatformOf(o)) p->gravity = std::clamp(gravity, 0, 250);
}

std::int32_t GetPlatformGravity(RunObject* o) {
    const PlatformBlock* p = PlatformOf(o);
    return p ? p->gravity : 0;
}

std::int32_t TestBackdropCollisionAfterMove(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    PlatformBlock* p = PlatformOf(o);
    if (!x || !p) return 0;
    UpdatePlatformFootBox(o);
    if (LadderAtFoot(o, *p)) return 0;
    const auto image = static_cast<win32::DWORD>(x->image);
    if (const std::int32_t code = TestObjectBackdropCollision(o, image, x->angle, x->scaleX, x->scaleY, o->x,
                                                              o->y, 0, ObstaclesOnly))
        return code;
    if (p->state == PlatformJumping && p->v < 0) return 0;
    return TestObjectBackdropCollision(o, image, x->angle, x->scaleX, x->scaleY, o->x, o->y, p->footHeight,
                                       ObstaclesAndPlatforms);
}

} // namespace vtrrt
