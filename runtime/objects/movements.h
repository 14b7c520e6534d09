// The movements of objects: the one chosen from the definition's movement list, the table through which
// actions reach each movement type, the common step that moves an object along one of 32 directions in
// 32.32 fixed point with collision tests between sub-steps, and the built-in movements (static, mouse,
// eight directions, race car, ball) beside those that movement modules supply.
#pragma once

#include "objects/movement_data.h"
#include "plugin/movement.h"
#include "plugin/run_object.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vtrrt {

struct ObjectCreationParams;

// MovementType values.
constexpr std::int32_t MovementNone = -1;
constexpr std::int32_t MovementStatic = 0;
constexpr std::int32_t MovementMouse = 1;
constexpr std::int32_t MovementRaceCar = 2;
constexpr std::int32_t MovementEightDirections = 3;
constexpr std::int32_t MovementBall = 4;
constexpr std::int32_t MovementPath = 5;
constexpr std::int32_t MovementPlatform = 9;
constexpr std::int32_t MovementPhysics = 13;
constexpr std::int32_t MovementExtension = 14;
constexpr int MovementTypeCount = 15;

constexpr int DirectionCount32 = 32;

// The movement block of a record (ObjectMovementBlockBytes after the extended header). The fields at 0 to
// 11, 28 to 35, 58 to 65 and 74 are shared by every movement; the others belong to the movement type.
struct [[gnu::packed]] ObjectMovementBlock {
    std::int32_t acceleration;     // the setting, 0..100 (or above, used as setting x 256)
    std::int32_t deceleration;     // likewise
    std::int32_t moveStamp;        // the run state's move counter, sign-extended, at the last move step
    std::int32_t speed256;         // speed x 256
    std::int32_t bounceCount;      // bounces of the series (race car: 1, or 2 when it was reversing)
    std::int32_t bounceStamp;      // the loop counter at the last bounce
    std::uint32_t directionMask;   // eight directions: bit d allows d; race car and ball: ANDed with d
    std::int32_t accelerationStep; // speed x 256 added per loop
    std::int32_t decelerationStep; // speed x 256 removed per loop
    std::int32_t bounced;          // bounced this loop
    std::int32_t stopped;          // ball: the speed before the stop | 0x8000; mouse: nonzero
    std::int32_t options;          // the movement data's option byte
    std::int32_t reserved;         // the movement data's reserved word, kept
    std::int32_t previousControls; // race car
    std::int16_t spare;
    std::int32_t stopRequest;    // nonzero ends the object's move step
    std::int32_t objectInfoWord; // the object info's signed byte: the borders its objects wrap at
    std::int32_t turningCounter; // race car
    std::int32_t turningDirection;
    std::int32_t currentMovement; // index in the definition's movement list
    union [[gnu::packed]] {
        struct [[gnu::packed]] {
            std::int32_t minimumX, minimumY, maximumX, maximumY;
            std::int32_t idle, keptSpeed;
        } mouse;
        struct [[gnu::packed]] {
            std::int32_t reversing;
            std::int32_t reverseAllowed;
            std::int32_t turningSpeed;
        } car;
        struct [[gnu::packed]] {
            std::int32_t randomness;
            std::int32_t securityCountdown;
            std::int32_t securityStart;
            std::int32_t blocked;
        } ball;
        std::uint8_t typeData[80];
    };
};
static_assert(sizeof(ObjectMovementBlock) == ObjectMovementBlockBytes);
static_assert(offsetof(ObjectMovementBlock, accelerationStep) == 28);
static_assert(offsetof(ObjectMovementBlock, stopRequest) == 58);
static_assert(offsetof(ObjectMovementBlock, currentMovement) == 74);

// Offsets of shared fields, for the code that reads them without the record's movement type.
constexpr std::size_t MovementBlockMoveStamp = offsetof(ObjectMovementBlock, moveStamp);
constexpr std::size_t MovementBlockStopRequest = offsetof(ObjectMovementBlock, stopRequest);
constexpr std::size_t MovementBlockWrapMask = offsetof(ObjectMovementBlock, objectInfoWord);
constexpr std::size_t MovementBlockCurrent = offsetof(ObjectMovementBlock, currentMovement);

// The block of an object with a movement, or null.
ObjectMovementBlock* MovementOf(RunObject* object);
// A shared field of the object's movement block; 0 (nothing stored) without one.
std::int32_t MovementField(RunObject* object, std::size_t offset);
void SetMovementField(RunObject* object, std::size_t offset, std::int32_t value);

// Change of speed x 256 per loop for an acceleration or deceleration setting (above 100: setting x 256).
std::int32_t AccelerationRate(std::int32_t setting);
// X and Y of one unit along direction d (d & 31): trunc(256 cos) and -trunc(256 sin) of d x 11.25 degrees.
std::int32_t DirectionUnitX(std::int32_t direction);
std::int32_t DirectionUnitY(std::int32_t direction);

// Rows of the movement action table.
enum class MovementRow : int {
    Start = 0,
    SetMaxSpeed = 1,
    SetSpeed = 2,
    Stop = 3,
    Reverse = 4,
    Bounce = 5,
    SetDirection = 6,
};
constexpr int MovementActionRows = 7;
using MovementActionRoutine = void (*)(RunObject* object, std::int32_t value);
// Row = action, column = movement type; empty cells do nothing.
extern const std::array<std::array<MovementActionRoutine, MovementTypeCount>, MovementActionRows>
    MovementActionRoutines;
// Calls the row's routine for the object's movement type; nothing for an object without a movement, or for
// a row or type outside the table.
void CallMovementAction(MovementRow row, RunObject* object, std::int32_t value);

// Selects movement n of the definition's list for the object (n = -1: the physics movement). Every change of
// movement ends a move step in progress.
void InitObjectMovement(int n, RunObject* object, const std::uint8_t* definition,
                        const ObjectCreationParams* params);
// Frees what the object's movement holds.
void FreeObjectMovement(RunObject* object);
// Frees the object's movement and sets up movement n of its definition's list; false, the movement left as
// it was, when the list has no movement n.
bool ReplaceObjectMovement(RunObject* object, int n);
// The bytes of the object's movement block that hold what its movement owns beside the block (the path's
// nodes, the physics engine's link): they belong to this run, so a saved position neither writes nor
// restores them.
MovementBlockBytes MovementOwnedBytes(RunObject* object);
// A direction chosen at random among the mask's (0 for an empty mask), from the frame's seed.
int RandomDirectionInMask(std::uint32_t mask);
// Moves the object by speed x 32 units along the direction, in sub-steps of at most 2048 units with the
// move reported after each; the stop request (nonzero: an event stopped the move).
std::int32_t MoveObjectStep(RunObject* object, std::int32_t speed, std::int32_t direction);
// MoveObjectStep with the object's own speed and direction: 1 when the step was stopped.
std::int32_t MoveObjectByOwnSpeed(RunObject* object);
// 0..31: an extension movement of interface version 2 or later is asked.
std::int32_t GetObjectDirection(RunObject* object);
// Puts the object at (x, y) of the frame, as actions do: a move in progress ends, and the next loop reports
// where it stands.
void SetObjectPosition(RunObject* object, std::int32_t x, std::int32_t y);
// One coordinate, as actions set it: a movement module is handed it for its own movement.
void SetObjectX(RunObject* object, std::int32_t x);
void SetObjectY(RunObject* object, std::int32_t y);
// Whether the call comes from an event raised inside the object's own move step.
bool DuringOwnMove(RunObject* object);
// The control byte of a player (1..4) for this loop; 0 for none.
std::int32_t GetPlayerControls(RunObject* object, std::int32_t player);
// Whether the player's (1..4) input counts in this loop; a movement without a player is always enabled.
bool PlayerInputEnabled(RunObject* object, std::int32_t player);
// A change per loop, times the speed factor at machine-independent speed (truncated towards zero).
std::int32_t ScaledBySpeedFactor(RunObject* object, std::int32_t step);
// The run state's loop counter, which stamps bounces: at most one bounce of a kind per loop.
std::int32_t BounceCounter(RunObject* object);
// Whether the object still moves by the handler: events inside its move may have changed its movement or
// begun its destruction.
bool StillMovedBy(RunObject* object, ObjectStepRoutine handler);
// Ends a move step of the object in progress (its stop request).
void RequestMoveStop(RunObject* object);

// Settings that actions change: acceleration and deceleration (any movement), the race car's turning speed
// and the eight-direction movement's directions.
void SetMovementAcceleration(RunObject* object, std::int32_t setting);
void SetMovementDeceleration(RunObject* object, std::int32_t setting);
void SetRaceCarRotatingSpeed(RunObject* object, std::int32_t speed);
// The platform movement's gravity, or an extension movement's through its own operation.
void SetMovementGravity(RunObject* object, std::int32_t gravity);
void SetEightDirectionMask(RunObject* object, std::uint32_t mask);
// Reading the movement back: the race car's reverse gear, a bounce of this loop, the index of the current
// movement (0 without a movement).
bool MovementReversing(RunObject* object);
bool MovementBouncing(RunObject* object);
std::int32_t CurrentMovementIndex(RunObject* object);
// The identifier word of the current movement's entry in the definition's list; 0 when there is none.
std::uint32_t CurrentMovementIdentifier(RunObject* object);
// The speed and the acceleration and deceleration settings, as a movement module answers them for its own
// movement; 0 without a movement.
std::int32_t MovementSpeed(RunObject* object);
std::int32_t MovementAcceleration(RunObject* object);
std::int32_t MovementDeceleration(RunObject* object);
// The platform movement's gravity, or an extension movement's as it answers it; 0 for other movements.
std::int32_t MovementGravity(RunObject* object);

// The built-in movements: init routines (object, movement data from its common part), per-loop handlers
// and the action routines of MovementActionRoutines.
void InitStaticMovement(RunObject* object, MovementDataView data);
void StaticMovementHandler(RunObject* object);

void InitMouseMovement(RunObject* object, MovementDataView data);
void MouseMovementHandler(RunObject* object);
void MovementStart(RunObject* object, std::int32_t value);
void MouseStop(RunObject* object, std::int32_t value);

void InitEightDirectionMovement(RunObject* object, MovementDataView data);
void EightDirectionMovementHandler(RunObject* object);
void EightDirectionStart(RunObject* object, std::int32_t value);
void EightDirectionSetMaxSpeed(RunObject* object, std::int32_t value);
void EightDirectionSetSpeed(RunObject* object, std::int32_t value);
void EightDirectionStop(RunObject* object, std::int32_t value);
void EightDirectionBounce(RunObject* object, std::int32_t value);

void InitRaceCarMovement(RunObject* object, MovementDataView data);
void RaceCarMovementHandler(RunObject* object);
void RaceCarSetMaxSpeed(RunObject* object, std::int32_t value);
void RaceCarSetSpeed(RunObject* object, std::int32_t value);
void RaceCarStop(RunObject* object, std::int32_t value);
void RaceCarBounce(RunObject* object, std::int32_t value);
void RaceCarSetDirection(RunObject* object, std::int32_t value);

void InitBallMovement(RunObject* object, MovementDataView data);
void BallMovementHandler(RunObject* object);
void BallStart(RunObject* object, std::int32_t value);
void BallSetSpeed(RunObject* object, std::int32_t value);
void BallStop(RunObject* object, std::int32_t value);
void BallBounce(RunObject* object, std::int32_t value);

// Movements of movement modules, driven through the object's instance.
void ExtensionMovementHandler(RunObject* object);
void ExtensionMovementStart(RunObject* object, std::int32_t value);
void ExtensionMovementSetMaxSpeed(RunObject* object, std::int32_t value);
void ExtensionMovementSetSpeed(RunObject* object, std::int32_t value);
void ExtensionMovementStop(RunObject* object, std::int32_t value);
void ExtensionMovementReverse(RunObject* object, std::int32_t value);
void ExtensionMovementBounce(RunObject* object, std::int32_t value);
void ExtensionMovementSetDirection(RunObject* object, std::int32_t value);
// The instance of an extension movement, or null.
movement::Instance* MovementInstanceOf(RunObject* object);
// A movement module keeps its object's direction and speed in its instance. For a saved position the
// object's record takes them as the module reports them (ModuleMovementState: true when it reports one at
// least; the fields it does not report keep the header's values), and an object made again from a record
// hands them back to its new instance (RestoreModuleMovementState): the direction through set direction,
// the speed through set speed, or a stop when it was at rest.
bool ModuleMovementState(RunObject* object, std::int32_t& direction, std::int32_t& speed);
void RestoreModuleMovementState(RunObject* object, std::int32_t direction, std::int32_t speed);
// The plugin a stored movement of type 14 was given by its module: the extension host registers it when it
// reads the definition (by the address of the movement's data in the definition) and releases the plugins
// of a definition before the definition goes.
void RegisterMovementPlugin(const std::uint8_t* movementData, movement::Plugin* plugin);
void ReleaseMovementPlugins(const std::uint8_t* definition, std::size_t size);

// The table handed to movement modules and extensions.
const movement::Services& MovementServices();

} // namespace vtrrt
