// The path movement: recorded segments (nodes) followed at their speeds, with pauses, named nodes and the
// actions that stop, restart, reverse, jump to or travel to a node.
#pragma once

#include "objects/movement_data.h"
#include "plugin/run_object.h"

#include <cstdint>
#include <string_view>

namespace vtrrt {

void InitPathMovement(RunObject* object, MovementDataView data);
void PathMovementHandler(RunObject* object);
// Frees the nodes the movement read from its data.
void FreePathMovement(RunObject* object);
// Where the movement block keeps the nodes.
MovementBlockBytes PathOwnedBytes();
// The object was put elsewhere (an action, a wrap at a border): the segment it follows moves with it.
void ShiftPathMovement(RunObject* object, std::int32_t dx, std::int32_t dy);

void PathStop(RunObject* object, std::int32_t value);
void PathStart(RunObject* object, std::int32_t value);
void PathSetSpeed(RunObject* object, std::int32_t value);
void PathReverse(RunObject* object, std::int32_t value);
// By the node's name, without regard to case; an unknown name changes nothing.
void PathJumpToNode(RunObject* object, std::u16string_view name);
void PathGotoNode(RunObject* object, std::u16string_view name);

} // namespace vtrrt
