// The mouse movement: the object follows the pointer's movement inside a box around where it started.
#include "objects/animations.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"
#include "objects/run_objects.h"

#include "objects/object_moved.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace vtrrt {

namespace {

// Type data: the box's offsets from the start position.
constexpr std::size_t MouseMinimumX = 12;
constexpr std::size_t MouseMaximumX = 14;
constexpr std::size_t MouseMinimumY = 16;
constexpr std::size_t MouseMaximumY = 18;

constexpr std::int32_t MouseMaximumSpeed = 250;
constexpr std::int32_t WalkingLoops = 10;

// The first threshold |dx| x 256 / |dy| reaches gives the direction, in the quarter below and right.
struct Threshold {
    std::int32_t ratio, direction;
};
constexpr std::array<Threshold, 8> DirectionThresholds{
    {{2599, 0}, {844, 31}, {479, 30}, {312, 29}, {210, 28}, {137, 27}, {78, 26}, {25, 25}}};

std::int32_t MouseDirection(std::int32_t dx, std::int32_t dy) {
    const std::int64_t r = std::int64_t{std::abs(dx)} * 256 / std::max(std::abs(dy), 1);
    std::int32_t d = 24;
    for (const Threshold& t : DirectionThresholds)
        if (r >= t.ratio) {
            d = t.direction;
            break;
        }
    if (dy < 0) d = (32 - d) & 31;
    if (dx < 0) d = (16 - d) & 31;
    return d;
}

// Below the minimum gives the minimum, above the maximum the maximum.
std::int32_t IntoBox(std::int64_t v, std::int32_t minimum, std::int32_t maximum) {
    if (v < minimum) return minimum;
    if (v > maximum) return maximum;
    return static_cast<std::int32_t>(v);
}

} // namespace

void InitMouseMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->movementRoutine = MouseMovementHandler;
    x->player = data.U16(MovementDataPlayer);
    b->mouse.minimumX = o->x + data.I16(MouseMinimumX);
    b->mouse.maximumX = o->x + data.I16(MouseMaximumX);
    b->mouse.minimumY = o->y + data.I16(MouseMinimumY);
    b->mouse.maximumY = o->y + data.I16(MouseMaximumY);
    x->speed = 0;
    b->mouse.idle = b->mouse.keptSpeed = 0;
    b->stopped = 0;
    x->minimumSpeed = 0;
    x->maximumSpeed = MouseMaximumSpeed;
    b->options = data.U8(MovementDataOptions);
    x->changed = 1;
}

void MouseMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    const FrameRunState* s = o->runState;
    if (!x || !b || !s) return;
    std::int32_t newX = o->x, newY = o->y;
    if (!b->stopped && PlayerInputEnabled(o, x->player)) {
        newX = IntoBox(std::int64_t{o->x} + s->mouseMotionX, b->mouse.minimumX, b->mouse.maximumX);
        newY = IntoBox(std::int64_t{o->y} + s->mouseMotionY, b->mouse.minimumY, b->mouse.maximumY);
    }
    const std::int32_t dx = newX - o->x, dy = newY - o->y;
    const std::int32_t speed = static_cast<std::int32_t>(
        std::min<std::int64_t>(4 * (std::int64_t{std::abs(dx)} + std::abs(dy)), MouseMaximumSpeed));
    if (speed != 0) {
        x->direction = MouseDirection(dx, dy);
        b->mouse.idle = 0;
        b->mouse.keptSpeed = speed;
    }
    // The walking animation goes on for a few loops after the pointer stops.
    if (++b->mouse.idle > WalkingLoops) b->mouse.keptSpeed = 0;
    x->speed = b->mouse.keptSpeed;
    if (x->animationRoutine) x->animationRoutine(o);
    o->x = newX;
    o->y = newY;
    x->changed = 1;
    NotifyObjectMoved(o);
}

void MovementStart(RunObject* o, std::int32_t) {
    if (ObjectMovementBlock* b = MovementOf(o)) b->stopped = 0;
    RequestMoveStop(o);
}

void MouseStop(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    // A stop inside the object's own move takes it out of what it met; any other stop holds it still until
    // it is started again.
    if (DuringOwnMove(o))
        ResolveObstacle(o, b->options & MovementOptionSearchBack);
    else
        b->stopped = 1;
    x->speed = 0;
    b->mouse.keptSpeed = 0;
}

} // namespace vtrrt
