// The movements of objects: the one chosen at creation from the definition's movement list, and the static
// movement, which does not move but animates. The other movement types are driven through the same entry.
#pragma once

#include "plugin/run_object.h"

#include <cstdint>

namespace vtrrt {

struct ObjectCreationParams;

// MovementType values.
constexpr std::int32_t MovementStatic = 0;
constexpr std::int32_t MovementNone = -1;

// Fields shared by every movement at the start of the movement block.
constexpr std::size_t MovementBlockMoveStamp = 8;
constexpr std::size_t MovementBlockStopRequest = 58;
constexpr std::size_t MovementBlockWrapMask = 62; // the object info's signed byte: borders it wraps at
constexpr std::size_t MovementBlockCurrent = 74;  // index of the current movement in the definition's list

// The shared fields of an object's movement block; 0 (nothing stored) without one.
std::int32_t MovementField(RunObject* object, std::size_t offset);
void SetMovementField(RunObject* object, std::size_t offset, std::int32_t value);

// Selects movement `n` of the definition's list for the object; n = -1 asks for the physics movement.
void InitObjectMovement(int n, RunObject* object, const std::uint8_t* definition,
                        const ObjectCreationParams* params);
// The index of the object's current movement in its definition's list (0 without a movement).
std::int32_t CurrentMovementIndex(RunObject* object);
// Frees what the object's movement holds.
void FreeObjectMovement(RunObject* object);
// A direction chosen at random among the mask's (0 for an empty mask), from the frame's seed.
int RandomDirectionInMask(std::uint32_t mask);
void InitStaticMovement(RunObject* object, const std::uint8_t* data);
// Animates the object, and reports a move made by an action.
void StaticMovementHandler(RunObject* object);

} // namespace vtrrt
