// The ball movement: the object goes straight on, bounces off what it meets by a table of reflections,
// slows down with its deceleration and, as its settings ask, wanders at random or is nudged off the axes.
#include "objects/animations.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"
#include "objects/run_objects.h"

#include "events/event_evaluation.h"

#include <algorithm>
#include <array>

namespace vtrrt {

namespace {

// Type data.
constexpr std::size_t BallSpeed = 12;
constexpr std::size_t BallRandomness = 14;
constexpr std::size_t BallDirections = 16;
constexpr std::size_t BallSecurity = 18;
constexpr std::size_t BallDeceleration = 20;

constexpr std::int32_t BallMaximumSpeed = 250;
constexpr std::int32_t StoppedBit = 0x8000;
constexpr std::int32_t NoSecurity = 12;
constexpr std::int32_t CornerDistance = 8;

// By the number-of-directions code: 8, 16 or 32 directions, and the nudge off an axis for each.
constexpr std::array<std::uint32_t, 3> BallDirectionMasks{0xFFFFFFFCu, 0xFFFFFFFEu, 0xFFFFFFFFu};

// By the blocked corners around the ball (bit 0 up-left, 1 up-right, 2 down-right, 3 down-left), then by
// the incoming direction: the direction it leaves in.
using BounceRow = std::array<std::uint8_t, 32>;
constexpr std::array<BounceRow, 16> BallBounceTables{{
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {30, 31, 0,  1,  4,  3,  2,  1,  0,  31, 30, 29, 28, 27, 26, 25,
     24, 23, 22, 21, 20, 24, 25, 26, 27, 27, 28, 28, 28, 28, 29, 29},
    {24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 16, 17, 18,
     19, 19, 20, 20, 20, 20, 21, 21, 22, 23, 24, 25, 28, 27, 26, 25},
    {0,  31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
     16, 20, 21, 22, 22, 23, 24, 24, 24, 24, 25, 26, 27, 28, 29, 30},
    {8,  7,  6,  5,  4,  8,  9,  10, 11, 11, 12, 12, 12, 12, 13, 13,
     14, 15, 16, 17, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9},
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {16, 15, 14, 13, 12, 11, 10, 9,  8,  12, 13, 14, 15, 15, 16, 16,
     16, 16, 17, 17, 18, 19, 20, 21, 24, 23, 22, 21, 20, 19, 18, 17},
    {16, 17, 18, 19, 20, 21, 22, 23, 24, 23, 22, 21, 20, 19, 18, 17,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 23, 22, 21, 20, 19, 18, 17},
    {3, 3, 4, 4, 4, 4, 5, 5, 6, 7, 8, 9, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 31, 30, 29, 28, 0, 1, 2},
    {0, 0,  1,  1,  2,  3,  4,  5,  8,  7,  6,  5,  4,  3,  2, 1,
     0, 31, 30, 29, 28, 27, 26, 25, 24, 28, 29, 30, 31, 31, 0, 0},
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {0, 31, 30, 29, 28, 27, 26, 25, 24, 25, 26, 27, 28, 29, 30, 31,
     0, 31, 30, 29, 28, 27, 25, 25, 24, 25, 26, 27, 28, 29, 30, 31},
    {0,  4,  5,  6,  7,  7,  8,  8, 8, 8, 9, 9, 10, 11, 12, 13,
     16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4,  3,  2,  1},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1},
    {16, 15, 14, 13, 12, 11, 10, 9, 8, 9, 10, 11, 12, 13, 14, 15,
     16, 15, 14, 13, 12, 11, 10, 9, 8, 9, 10, 11, 12, 13, 14, 15},
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
}};

// Where the corners around the ball lie, in the order of their bits.
constexpr std::array<std::array<std::int32_t, 2>, 4> Corners{{{-CornerDistance, -CornerDistance},
                                                              {CornerDistance, -CornerDistance},
                                                              {CornerDistance, CornerDistance},
                                                              {-CornerDistance, CornerDistance}}};

std::int32_t Whole(std::int32_t whole, std::int32_t fraction, std::int32_t unit) {
    const std::int64_t position =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(whole)) << 32) |
                                  static_cast<std::uint32_t>(fraction));
    return static_cast<std::int32_t>(
        static_cast<std::int64_t>(static_cast<std::uint64_t>(position) +
                                  static_cast<std::uint64_t>(std::int64_t{unit} * 65536 * 2048)) >>
        32);
}

// Whether the point 8 pixels ahead of the ball in the direction is free.
bool ProbeFree(RunObject* o, std::int32_t direction, std::int32_t excludeOwnInfo) {
    const std::int32_t x = Whole(o->x, o->xFraction, DirectionUnitX(direction));
    const std::int32_t y = Whole(o->y, o->yFraction, DirectionUnitY(direction));
    return TestObjectPosition(o, x, y, excludeOwnInfo) != 0;
}

std::int32_t Masked(std::int32_t direction, std::uint32_t mask) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(direction) & mask & 31);
}

// The size of the nudge off an axis for the ball's number of directions.
std::int32_t NudgeOf(std::uint32_t mask) {
    if (mask == BallDirectionMasks[0]) return 4;
    if (mask == BallDirectionMasks[1]) return 2;
    return 1;
}

// The way out of a dead end: directions further and further from l on both sides; -1 when none is free.
std::int32_t WayOut(RunObject* o, std::int32_t l, std::int32_t blocked) {
    for (std::int32_t c = 4; c <= 16; c += 4)
        for (const std::int32_t candidate : {(l - c) & 31, (l + c) & 31})
            if (ProbeFree(o, candidate, blocked)) return candidate;
    return -1;
}

} // namespace

void InitBallMovement(RunObject* o, MovementDataView data) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->movementRoutine = BallMovementHandler;
    o->xFraction = o->yFraction = 0;
    x->speed = x->maximumSpeed = x->minimumSpeed = data.U16(BallSpeed);
    b->speed256 = x->speed * 256;
    b->deceleration = data.U16(BallDeceleration);
    b->decelerationStep = 0;
    if (b->deceleration != 0) {
        x->minimumSpeed = 0;
        b->decelerationStep = AccelerationRate(b->deceleration);
    }
    b->ball.randomness = data.U16(BallRandomness);
    b->directionMask = BallDirectionMasks[std::min<std::size_t>(data.U16(BallDirections), 2)];
    b->ball.blocked = 0;
    b->bounceStamp = -1;
    b->bounced = 0;
    b->stopped = 0;
    const std::int32_t security = std::min<std::int32_t>(data.U16(BallSecurity), 100);
    b->ball.securityStart = b->ball.securityCountdown = (100 - security) / 8;
    b->options = data.U8(MovementDataOptions);
    x->changed = 1;
}

void BallMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    b->bounced = 0;
    x->animationRequest = AnimationWalking;
    if (x->animationRoutine) x->animationRoutine(o);
    b = MovementOf(o);
    if (b->decelerationStep != 0 && b->speed256 > 0) {
        b->speed256 = std::max(b->speed256 - ScaledBySpeedFactor(o, b->decelerationStep), 0);
        x->speed = b->speed256 / 256;
    }
    MoveObjectStep(o, x->speed, x->direction);
}

void BallStart(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || !b->stopped) return;
    x->speed = b->stopped & 0x7FFF;
    b->speed256 = x->speed * 256;
    b->stopped = 0;
    b->stopRequest = -1;
}

void BallSetSpeed(RunObject* o, std::int32_t v) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b) return;
    x->speed = std::clamp(v, 0, BallMaximumSpeed);
    b->speed256 = x->speed * 256;
    b->stopped = 0;
    b->stopRequest = -1;
}

void BallStop(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || b->stopped) return;
    b->stopped = (x->speed & 0x7FFF) | StoppedBit;
    x->speed = 0;
    b->speed256 = 0;
    b->stopRequest = -1;
}

void BallBounce(RunObject* o, std::int32_t) {
    RunObjectExtended* x = ExtendedOf(o);
    ObjectMovementBlock* b = MovementOf(o);
    if (!x || !b || b->stopped) return;
    const std::int32_t counter = BounceCounter(o);
    if (b->bounceStamp == counter) return;
    b->bounceStamp = counter;
    if (DuringOwnMove(o)) ResolveObstacleEx(o, b->ball.blocked);
    b = MovementOf(o);
    const std::int32_t blocked = b->ball.blocked;
    const std::uint32_t mask = b->directionMask;
    std::size_t corners = 0;
    for (std::size_t i = 0; i < Corners.size(); ++i)
        if (!TestObjectPosition(o, o->x + Corners[i][0], o->y + Corners[i][1], blocked)) corners |= 1u << i;
    std::int32_t l = Masked(BallBounceTables[corners][static_cast<std::size_t>(x->direction & 31)], mask);
    if (!ProbeFree(o, l, blocked)) {
        const std::int32_t way = WayOut(o, l, blocked);
        if (way < 0) {
            // A dead end: a direction at random, and the next bounce counts its own object info as free.
            b->ball.blocked = 1;
            x->direction = Masked(RandomBelow(32), mask);
            b->bounced = 1;
            b->stopRequest = -1;
            return;
        }
        l = way;
    }
    b->ball.blocked = 0;
    x->direction = l;
    bool wandered = false;
    if (const std::int32_t c = RandomBelow(100); c < b->ball.randomness) {
        // Off the bounce by up to 12 directions either way.
        const std::int32_t candidate = Masked(l + (c >> 2) - 12, mask);
        if (ProbeFree(o, candidate, blocked)) {
            x->direction = candidate;
            wandered = true;
        }
    }
    if (!wandered && b->ball.securityStart != NoSecurity) {
        // A ball that keeps bouncing along an axis is nudged off it.
        if (x->direction % 8 != 0) {
            b->ball.securityCountdown = b->ball.securityStart;
        } else if (--b->ball.securityCountdown < 0) {
            const std::int32_t nudge = NudgeOf(mask) * (RandomBelow(2) == 0 ? -1 : 1);
            const std::int32_t candidate = Masked(x->direction + nudge, mask);
            if (ProbeFree(o, candidate, blocked)) {
                x->direction = candidate;
                b->ball.securityCountdown = b->ball.securityStart;
            }
        }
    }
    b->bounced = 1;
    b->stopRequest = -1;
}

} // namespace vtrrt
