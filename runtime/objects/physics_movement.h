// The physics-engine movement (type 13, also that of shot objects) and its link to the engine extension.
#pragma once

#include "objects/movement_data.h"
#include "plugin/physics.h"
#include "plugin/run_object.h"

namespace vtrrt {

// The first extension object of the frame that is a physics engine; null when none.
RunObject* FindPhysicsEngineObject();
// The body of the object's physics movement; null when its movement is none, or it is disappearing.
physics::Body* GetPhysicsMovementBody(RunObject* object);
// Whether the object's current movement is a physics movement.
bool HasPhysicsMovement(RunObject* object);

// Hands the request to the object's physics movement: false when it has none, or its module takes none.
bool RequestPhysicsMovement(RunObject* object, physics::Request& request);

// Turns the body of the object's physics movement (degrees); false when it has none to turn.
bool TurnPhysicsBody(RunObject* object, float degrees);
// The angle of that body; false when there is no body or it gives none.
bool PhysicsBodyAngle(RunObject* object, float& degrees);

void InitPhysicsMovement(RunObject* object);
void PhysicsMovementHandler(RunObject* object);
// The object a shot is attached to: its shooter.
void SetPhysicsAttachedObject(RunObject* object, RunObject* attached);
// Shows the object and asks the engine for a link; a refused link is let go.
void SetUpPhysicsLink(RunObject* object);
void FreePhysicsLink(RunObject* object);
// Where the movement block keeps the engine's link.
MovementBlockBytes PhysicsOwnedBytes();
// Links every object attached to this one that still waits.
void RelinkAttachedPhysicsObjects(RunObject* object);
// Forgets the physics movements of a frame whose objects have all gone.
void ForgetPhysicsObjects(const FrameRunState* state);

} // namespace vtrrt
