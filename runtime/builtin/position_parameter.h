// Positions and directions that actions take from their parameters: the position parameter, absolute or
// relative to an object (with its action point, or at a distance along its direction), and the direction
// chosen from a mask or from a delta.
#pragma once

#include "core/upcalls.h"

#include <cstdint>

namespace vtrrt {

struct RunObject;

// Options of ResolvePositionParameter.
constexpr int PositionWantsDirection = 0x01;
constexpr int PositionInsideLimits = 0x02;

// The position of a parameter of codes 9, 16, 18 and 21: false when it is relative to an object and there
// is none, when it lies outside the run state's limits and `options` asks it inside, or when the parameter
// is too short.
bool ResolvePositionParameter(const std::uint8_t* parameter, int options, ResolvedPosition& out);

// The one of 32 directions (counter-clockwise from 0 = right, screen Y growing downwards) that points
// along (dx, dy).
std::int32_t DirectionFromDelta(std::int32_t dx, std::int32_t dy);
// A direction of the mask: one bit gives its direction, several a random one of them, none (0 or -1) a
// random one of all 32; the frame's seed steps for every random choice.
std::int32_t DirectionFromMask(std::uint32_t mask);
// The direction a parameter gives: a mask of directions (code 29) chooses one as DirectionFromMask does;
// any other parameter is a number, taken modulo 32.
std::int32_t DirectionParameter(const std::uint8_t* parameter);

} // namespace vtrrt
