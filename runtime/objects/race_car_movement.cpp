// The race-car movement: a player turns the car left and right, accelerates, brakes and, when allowed,
// reverses; the car bounces back off what it meets.
#include "objects/animations.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"
#include "objects/run_objects.h"

#include <algorithm>
#include <array>

namespace vtrrt {

namespace {

// Type data.
constexpr std::size_t CarMaximumSpeed = 12;
constexpr std::size_t CarAcceleration = 14;
constexpr std::size_t CarDeceleration = 16;
constexpr std::size_t CarTurningSpeed = 18;
constexpr std::size_t CarReserved = 20;
constexpr std::size_t CarDirections = 22;
constexpr std::size_t CarReverseAllowed = 24;

constexpr std::uint32_t ControlUp = 1, ControlDown = 2, ControlLeft = 4, ControlRight = 8;
constexpr std::int32_t TurnStep = 100;
constexpr int MaxBounceSteps = 64;

// By the number-of-directions code: 4, 8, 16 or 32 directions.
constexpr std::array<std::uint32_t, 4> CarDirectionMasks{0xFFFFFFF8u, 0xFFFFFFFCu, 0xFFFFFFFEu, 0xFFFFFFFFu};

std::int32_t SpeedValue(std::int32_t v) {
    return std::clamp(v, 0, 0xFFFF);
}

std::int32_t AddCapped(std::int32_t speed256, std::int32_t step, std::int32_t maximum) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(std::int64_t{speed256} + step, std::int64_t{SpeedValue(maximum)} * 256));
}

void Turn(RunObject* o, RunObjectExtended& x, ObjectMovementBlock& b, std::uint32_t controls) {
    if (!(controls & (ControlLeft | ControlRight))) return;
    const std::int32_t step = (controls & ControlLeft) ? 1 : -1;
    const std::int64_t counter = std::int64_t{b.turningCounter} + ScaledBySpeedFactor(o, b.car.turningSpeed);
    std::int64_t turns = 0;
    if (counter > TurnStep) turns = (counter - 1) / TurnStep;
    b.turningCounter = static_cast<std::int32_t>(counter - turns * TurnStep);
    b.turningDirection = static_cast<std::int32_t>((b.turningDirection + step * (turns & 31)) & 31);
    x.direction = static_cast<std::int32_t>(b.turningDirection & b.directionMask & 31);
}

void Throttle(RunObject* o, RunObjectExtended& x, ObjectMovementBlock& b, std::uint32_t controls) {
    const bool up = controls & ControlUp, down = controls & ControlDown;
    bool accelerate = b.car.reversing ? down : up;
    const bool brake = b.car.reversing ? up : down;
    if (brake) {
        if (b.speed256 > 0) {
            b.speed256 = std::max(b.speed256 - ScaledBySpeedFactor(o, b.decelerationStep), 0);
        } else if (b.car.reverseAllowed && !(b.previousControls & (ControlUp | ControlDown))) {
            // At rest, a new press of the brake puts the car into the other gear.
            b.car.reversing ^= 1;
            accelerate = true;
        }
    }
    if (accelerate)
        b.speed256 = AddCapped(b.speed256, ScaledBySpeedFactor(o, b.accelerationStep), x.maximumSpeed);
    b.previousControls = static_cast<std::int32_t>(controls);
}

} // namespace

void InitRaceCarMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->movementRoutine = RaceCarMovementHandler;
    b->speed256 = 0;
    x->speed = 0;
    b->bounceCount = 0;
    b->bounced = 0;
    b->car.reversing = 0;
    b->bounceStamp = -1;
    x->player = data.U16(MovementDataPlayer);
    b->acceleration = data.U16(CarAcceleration);
    b->deceleration = data.U16(CarDeceleration);
    b->accelerationStep = AccelerationRate(b->acceleration);
    b->decelerationStep = AccelerationRate(b->deceleration);
    x->maximumSpeed = data.U16(CarMaximumSpeed);
    x->minimumSpeed = 0;
    b->reserved = data.U16(CarReserved);
    b->car.reverseAllowed = data.U16(CarReverseAllowed) != 0 ? 1 : 0;
    b->previousControls = 0;
    b->options = data.U8(MovementDataOptions);
    b->directionMask = CarDirectionMasks[std::min<std::size_t>(data.U16(CarDirections), 3)];
    b->car.turningSpeed = data.U16(CarTurningSpeed);
    b->turningCounter = 0;
    b->turningDirection = x->direction & 31;
    o->xFraction = o->yFraction = 0;
    x->changed = 1;
}

void RaceCarMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    if (b->bounceCount == 0) b->bounced = 0;
    const auto controls = static_cast<std::uint32_t>(GetPlayerControls(o, x->player));
    Turn(o, *x, *b, controls);
    Throttle(o, *x, *b, controls);
    x->speed = b->speed256 / 256;
    x->animationRequest = AnimationWalking;
    if (x->animationRoutine) x->animationRoutine(o);
    const std::int32_t way = b->car.reversing ? (x->direction + 16) & 31 : x->direction & 31;
    if (!MoveObjectStep(o, x->speed, way)) return;
    for (int round = 0; round < MaxBounceSteps && StillMovedBy(o, RaceCarMovementHandler); ++round) {
        b = MovementOf(o);
        if (b->bounceCount == 0) return;
        b->speed256 -= b->decelerationStep;
        if (b->speed256 < 1) {
            b->speed256 = 0;
            b->bounceCount = 0;
            return;
        }
        if (!MoveObjectStep(o, b->speed256 / 256, (x->direction - 16) & 31)) return;
    }
}

void RaceCarSetMaxSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->maximumSpeed = SpeedValue(v);
    b->stopRequest = -1;
    b->speed256 = std::min(b->speed256, x->maximumSpeed * 256);
}

void RaceCarSetSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    b->speed256 = std::min(SpeedValue(x->maximumSpeed), SpeedValue(v)) * 256;
    b->stopRequest = -1;
}

void RaceCarSetDirection(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    b->turningDirection = v & 31;
    x->direction = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & b->directionMask & 31);
}

void RaceCarStop(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    b->bounceCount = 0;
    b->speed256 = 0;
    b->car.reversing = 0;
    x->speed = 0;
    if (DuringOwnMove(o)) {
        ResolveObstacle(o, b->options & MovementOptionSearchBack);
        RequestMoveStop(o);
    }
}

void RaceCarBounce(RunObject* o, std::int32_t) {
    ObjectMovementBlock* b = MovementOf(o);
    if (!b) return;
    if (DuringOwnMove(o)) ResolveObstacle(o, b->options & MovementOptionSearchBack);
    b = MovementOf(o);
    b->bounceCount = b->car.reversing + 1;
    b->car.reversing = 0;
    b->bounced = 1;
    b->stopRequest = -1;
}

} // namespace vtrrt
