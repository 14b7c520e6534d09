// The platform movement: walking, jumping, falling, climbing ladders, crouching, and riding objects.
#pragma once

#include "objects/movement_data.h"
#include "plugin/run_object.h"

#include <cstdint>

namespace vtrrt {

// States.
constexpr std::int32_t PlatformWalking = 0;
constexpr std::int32_t PlatformClimbing = 1;
constexpr std::int32_t PlatformJumping = 2;
constexpr std::int32_t PlatformFalling = 3;
constexpr std::int32_t PlatformCrouching = 4;
constexpr std::int32_t PlatformStandingUp = 5;

void InitPlatformMovement(RunObject* object, MovementDataView data);
void PlatformMovementHandler(RunObject* object);
// A stop inside the object's own move takes it out of what it met (landing, a step climbed, a wall, the
// play area's border); outside it, it only clears the speeds.
void PlatformStop(RunObject* object, std::int32_t value);
void PlatformBounce(RunObject* object, std::int32_t value);
void PlatformSetMaxSpeed(RunObject* object, std::int32_t value);
void PlatformSetSpeed(RunObject* object, std::int32_t value);
void PlatformSetDirection(RunObject* object, std::int32_t direction);
// 0 to 250.
void SetPlatformGravity(RunObject* object, std::int32_t gravity);
// The gravity; 0 for an object without the movement.
std::int32_t GetPlatformGravity(RunObject* object);
void ClearPlatformSpeeds(RunObject* object);
// The foot point's offsets (window coordinates: the scroll is taken off) and the foot zone's height.
void UpdatePlatformFootBox(RunObject* object);
// The state above, or -1 for an object without the movement.
std::int32_t PlatformState(RunObject* object);
// Whether a ladder zone of the layer holds the point (window coordinates).
bool FindLadderAt(std::int32_t layer, std::int32_t x, std::int32_t y);
// The backdrop test of a platform object after a move: obstacles over the whole box, platforms under its
// feet unless it is rising; nothing while its feet are on a ladder. The object's backdrop condition code on
// a hit, else 0.
std::int32_t TestBackdropCollisionAfterMove(RunObject* object);

} // namespace vtrrt
