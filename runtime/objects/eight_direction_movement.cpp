// The eight-direction movement: a player's stick or keys steer the object, which speeds up while pushed,
// slows down when let go, and bounces back off what it meets.
#include "objects/animations.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"
#include "objects/run_objects.h"

#include <algorithm>
#include <array>

namespace vtrrt {

namespace {

// Type data.
constexpr std::size_t EightMaximumSpeed = 12;
constexpr std::size_t EightAcceleration = 14;
constexpr std::size_t EightDeceleration = 16;
constexpr std::size_t EightReserved = 18;
constexpr std::size_t EightDirectionMask = 20;

constexpr std::int32_t StopAfterBounces = 12;
// Steps back while bouncing, at most, whatever the events do.
constexpr int MaxBounceSteps = 64;

// By the control bits 1 up, 2 down, 4 left, 8 right; -1 is no direction.
constexpr std::array<std::int32_t, 16> JoystickDirectionTable{-1, 8, 24, -1, 16, 12, 20, 16,
                                                              0,  4, 28, 0,  -1, 8,  24, -1};

// Speeds as actions give them: never below 0, never beyond what a stored speed can be.
std::int32_t SpeedValue(std::int32_t v) {
    return std::clamp(v, 0, 0xFFFF);
}

// Speed, speed x 256 and the bounce series end.
void Halt(RunObjectExtended& x, ObjectMovementBlock& b) {
    x.speed = 0;
    b.speed256 = 0;
    b.bounceCount = 0;
    b.stopRequest = -1;
}

} // namespace

void InitEightDirectionMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->movementRoutine = EightDirectionMovementHandler;
    o->xFraction = o->yFraction = 0;
    b->speed256 = 0;
    x->speed = 0;
    b->bounceCount = 0;
    b->bounced = 0;
    b->bounceStamp = -1;
    x->player = data.U16(MovementDataPlayer);
    b->acceleration = data.U16(EightAcceleration);
    b->deceleration = data.U16(EightDeceleration);
    b->accelerationStep = AccelerationRate(b->acceleration);
    b->decelerationStep = AccelerationRate(b->deceleration);
    x->maximumSpeed = data.U16(EightMaximumSpeed);
    x->minimumSpeed = 0;
    b->reserved = data.U16(EightReserved);
    b->directionMask = data.U32(EightDirectionMask);
    b->options = data.U8(MovementDataOptions);
    x->changed = 1;
}

void EightDirectionMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->previousDirection = x->direction;
    // While a series of bounces lasts, the stick does not steer.
    if (b->bounceCount == 0) {
        b->bounced = 0;
        const std::int32_t d =
            JoystickDirectionTable[static_cast<std::size_t>(GetPlayerControls(o, x->player) & 15)];
        if (d >= 0 && (b->directionMask & (1u << d))) {
            x->direction = d;
            if (b->speed256 / 256 < x->maximumSpeed) {
                const std::int64_t top = std::int64_t{x->maximumSpeed} * 256;
                b->speed256 = static_cast<std::int32_t>(std::min<std::int64_t>(
                    std::int64_t{b->speed256} + ScaledBySpeedFactor(o, b->accelerationStep), top));
            }
        } else {
            b->speed256 = std::max(b->speed256 - ScaledBySpeedFactor(o, b->decelerationStep), 0);
        }
    }
    x->speed = b->speed256 / 256;
    x->animationRequest = AnimationWalking;
    if (x->animationRoutine) x->animationRoutine(o);
    if (!MoveObjectStep(o, x->speed, x->direction)) return;
    // The events of the move may have changed everything: each value is read back.
    if (!StillMovedBy(o, EightDirectionMovementHandler)) return;
    b = MovementOf(o);
    if (x->speed == 0 && b->speed256 != 0 && x->direction != x->previousDirection) {
        // Turned into something: the object tries the way it came.
        x->direction = x->previousDirection;
        if (!MoveObjectStep(o, b->speed256 / 256, x->direction)) return;
        if (!StillMovedBy(o, EightDirectionMovementHandler)) return;
    }
    for (int round = 0; round < MaxBounceSteps && StillMovedBy(o, EightDirectionMovementHandler); ++round) {
        b = MovementOf(o);
        if (b->bounceCount == 0) return;
        b->speed256 -= b->decelerationStep;
        if (b->speed256 < 1) {
            x->speed = 0;
            b->speed256 = 0;
            b->bounceCount = 0;
            return;
        }
        x->speed = b->speed256 / 256;
        if (!MoveObjectStep(o, x->speed, (x->direction - 16) & 31)) return;
    }
}

void EightDirectionStart(RunObject* o, std::int32_t value) {
    MovementStart(o, value);
}

void EightDirectionSetMaxSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    v = SpeedValue(v);
    x->maximumSpeed = v;
    b->stopRequest = -1;
    if (x->speed > v) {
        x->speed = v;
        b->speed256 = v * 256;
    }
}

void EightDirectionSetSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->speed = std::min(SpeedValue(v), SpeedValue(x->maximumSpeed));
    b->speed256 = x->speed * 256;
    b->stopRequest = -1;
}

void EightDirectionStop(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    Halt(*x, *b);
    if (DuringOwnMove(o)) ResolveObstacle(o, b->options & MovementOptionSearchBack);
}

void EightDirectionBounce(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    if (DuringOwnMove(o)) ResolveObstacle(o, b->options & MovementOptionSearchBack);
    b = MovementOf(o);
    const std::int32_t counter = BounceCounter(o);
    if (b->bounceStamp == counter) return;
    b->bounceStamp = counter;
    if (++b->bounceCount >= StopAfterBounces) {
        // Already taken out of the obstacle above.
        Halt(*x, *b);
        return;
    }
    b->bounced = 1;
    b->stopRequest = -1;
}

} // namespace vtrrt
