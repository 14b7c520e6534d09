#include "objects/movements.h"

#include "core/event_state.h"
#include "objects/movement_data.h"
#include "objects/movement_obstacles.h"
#include "objects/object_moved.h"
#include "objects/path_movement.h"
#include "objects/physics_movement.h"
#include "objects/platform_movement.h"
#include "objects/run_objects.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <span>

namespace vtrrt {

namespace {

constexpr std::size_t MovementEntryBytes = 16;
constexpr std::size_t MovementEntryIdentifier = 4;
constexpr std::size_t MovementEntryData = 8;

// trunc(256 cos(d x 11.25 degrees)); the Y unit is the X unit a quarter turn on, negated.
constexpr std::array<std::int32_t, DirectionCount32> UnitX{
    256,  251,  236,  212,  181,  142,  97,  49,  0, -49, -97, -142, -181, -212, -236, -251,
    -256, -251, -236, -212, -181, -142, -97, -49, 0, 49,  97,  142,  181,  212,  236,  251};
constexpr std::array<std::int32_t, DirectionCount32> UnitY = [] {
    std::array<std::int32_t, DirectionCount32> y{};
    for (int d = 0; d < DirectionCount32; ++d)
        y[static_cast<std::size_t>(d)] = -UnitX[static_cast<std::size_t>((d + 24) & 31)];
    return y;
}();
static_assert(UnitY[1] == -49 && UnitY[8] == -256 && UnitY[24] == 256);

// Change of speed x 256 per loop for the settings 0..100.
constexpr std::array<std::int32_t, 101> AccelerationTable{
    2,    3,    4,     6,     8,     10,    12,    16,    20,    24,    48,   56,   64,   72,   80,
    88,   96,   104,   112,   120,   144,   160,   176,   192,   208,   224,  240,  256,  272,  288,
    320,  336,  352,   368,   384,   400,   416,   432,   448,   480,   512,  544,  560,  592,  624,
    640,  672,  688,   720,   736,   768,   784,   816,   848,   864,   896,  928,  944,  976,  992,
    1024, 1120, 1216,  1312,  1440,  1536,  1632,  1728,  1824,  1952,  2048, 2240, 2432, 2688, 2880,
    3072, 3264, 3456,  3712,  3904,  4096,  6544,  4914,  5216,  5732,  6144, 6553, 6962, 7366, 7780,
    8192, 9836, 11672, 13316, 14960, 16604, 18248, 19892, 21504, 25600, 25600};

// A step of at most this many sub-steps, whatever the speed and the speed factor.
constexpr std::int64_t SubStepUnits = 2048;
constexpr std::int64_t MaxSubSteps = 64;
constexpr std::int32_t NeverMoved = 0x40000000;

// The offset of movement n's data in the definition, or 0.
std::size_t MovementData(std::span<const std::uint8_t> def, int n) {
    const std::size_t list = DefU16(def, DefMovements);
    if (list == 0 || n < 0 || list + 4 > def.size() || static_cast<std::uint32_t>(n) >= DefU32(def, list))
        return 0;
    const std::size_t entry = list + 4 + MovementEntryBytes * static_cast<std::size_t>(n);
    if (entry + MovementEntryBytes > def.size()) return 0;
    const std::uint64_t data = std::uint64_t{list} + DefU32(def, entry + MovementEntryData);
    return data + MovementCommonBytes <= def.size() ? static_cast<std::size_t>(data) : 0;
}

std::span<const std::uint8_t> DefinitionOf(const RunObject* o, const std::uint8_t* definition) {
    ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || info->definition.data() != definition) return {};
    return info->definition;
}

using MovementInitRoutine = void (*)(RunObject*, MovementDataView);

// By movement type 0..13; types without a routine of their own move as static objects of their type.
constexpr std::array<MovementInitRoutine, MovementTypeCount - 1> MovementInitRoutines{
    InitStaticMovement, InitMouseMovement, InitRaceCarMovement, InitEightDirectionMovement, InitBallMovement,
    InitPathMovement, nullptr, nullptr, nullptr, InitPlatformMovement, nullptr, nullptr, nullptr,
    // The physics-engine movement is chosen by number -1, never by its data.
    nullptr};

// Plugins of stored extension movements, by the address of the movement's data.
std::map<const std::uint8_t*, movement::Plugin*>& Plugins() {
    static std::map<const std::uint8_t*, movement::Plugin*> plugins;
    return plugins;
}

movement::Instance* MakeInstance(movement::Plugin* plugin) {
    if (!plugin || !plugin->operations) return nullptr;
    const movement::PluginOperations& ops = *plugin->operations;
    if (ops.slots <= 25 || ops.size < sizeof(movement::PluginOperations) || !ops.createInstance)
        return nullptr;
    return ops.createInstance(plugin);
}

// The instance operation at `slot`, when the module's table reaches it.
template <typename F>
F InstanceOperation(movement::Instance* instance, F movement::InstanceOperations::*member,
                    std::uint32_t slot) {
    if (!instance || !instance->operations) return nullptr;
    const movement::InstanceOperations& ops = *instance->operations;
    const std::size_t end = 8 + (std::size_t{slot} + 1) * sizeof(void*);
    if (ops.slots <= slot || ops.size < end) return nullptr;
    return ops.*member;
}

// The operations through which a module reports its movement's direction and speed, or null.
auto ReportedDirection(movement::Instance* i) {
    auto version = InstanceOperation(i, &movement::InstanceOperations::interfaceVersion, 3);
    auto get = InstanceOperation(i, &movement::InstanceOperations::getDirection, 26);
    return version && version(i) > 1 ? get : nullptr;
}

auto ReportedSpeed(movement::Instance* i) {
    return InstanceOperation(i, &movement::InstanceOperations::getSpeed, 22);
}

} // namespace

void RequestMoveStop(RunObject* o) {
    SetMovementField(o, MovementBlockStopRequest, -1);
}

ObjectMovementBlock* MovementOf(RunObject* o) {
    return reinterpret_cast<ObjectMovementBlock*>(MovementBlockOf(o));
}

std::int32_t MovementField(RunObject* o, std::size_t offset) {
    const std::uint8_t* block = MovementBlockOf(o);
    if (!block || offset + 4 > ObjectMovementBlockBytes) return 0;
    std::int32_t v = 0;
    std::memcpy(&v, block + offset, sizeof(v));
    return v;
}

void SetMovementField(RunObject* o, std::size_t offset, std::int32_t value) {
    std::uint8_t* block = MovementBlockOf(o);
    if (!block || offset + 4 > ObjectMovementBlockBytes) return;
    std::memcpy(block + offset, &value, sizeof(value));
}

std::int32_t AccelerationRate(std::int32_t setting) {
    if (setting > 100)
        return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{setting} * 256, INT32_MAX));
    return AccelerationTable[static_cast<std::size_t>(std::max(setting, 0))];
}

std::int32_t DirectionUnitX(std::int32_t direction) {
    return UnitX[static_cast<std::size_t>(direction & 31)];
}

std::int32_t DirectionUnitY(std::int32_t direction) {
    return UnitY[static_cast<std::size_t>(direction & 31)];
}

void InitObjectMovement(int n, RunObject* o, const std::uint8_t* definition,
                        const ObjectCreationParams* params) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    ObjectMovementBlock* block = MovementOf(o);
    if (params) x->direction = params->direction;
    if (block) {
        if (o->objectInfoEntry) block->objectInfoWord = o->objectInfoEntry->wrapMask;
        // Outside the 16-bit counter's values: the object has not moved yet.
        block->moveStamp = NeverMoved;
    }
    x->movementType = MovementNone;
    const std::span<const std::uint8_t> def = DefinitionOf(o, definition);
    if (n == -1) {
        if (block) block->currentMovement = 0;
        x->movementType = MovementPhysics;
        InitPhysicsMovement(o);
    } else if (const std::size_t at = MovementData(def, n); at && block) {
        const MovementDataView data(def.subspan(at));
        block->currentMovement = n;
        x->movementType = data.U16(MovementDataType);
        movement::Instance* instance = nullptr;
        if (x->movementType == MovementExtension) {
            const auto found = Plugins().find(data.Bytes());
            if (found != Plugins().end()) instance = MakeInstance(found->second);
        }
        if (instance) {
            x->movementInstance = instance;
            x->direction = 0;
            x->movementRoutine = ExtensionMovementHandler;
            if (auto init = InstanceOperation(instance, &movement::InstanceOperations::initialise, 1))
                init(instance, Plugins().find(data.Bytes())->second, o);
        } else {
            if (static_cast<std::uint32_t>(x->direction) > 31)
                x->direction = RandomDirectionInMask(data.U32(MovementDataDirectionMask));
            MovementInitRoutine init = nullptr;
            if (x->movementType >= 0 && x->movementType < MovementTypeCount - 1)
                init = MovementInitRoutines[static_cast<std::size_t>(x->movementType)];
            // Types no data names (6-8, 10-12 and beyond) stand still as the static movement.
            if (x->movementType != MovementPath && x->movementType != MovementPlatform &&
                x->movementType != MovementPhysics && x->movementType != MovementExtension && !init)
                x->movementType = MovementStatic;
            (init ? init : InitStaticMovement)(o, data);
            if (data.U8(MovementDataMovingAtStart) == 0) CallMovementAction(MovementRow::Stop, o, 0);
        }
    }
    if (x->movementType == MovementNone) {
        x->movementRoutine = StaticMovementHandler;
        x->speed = 0;
        x->moved = x->changed = 1;
        x->direction = 0;
    }
    RequestMoveStop(o);
}

void FreeObjectMovement(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x || !(o->objectFlags & ObjectHasMovement)) return;
    FreePathMovement(o);
    FreePhysicsLink(o);
    if (auto* instance = static_cast<movement::Instance*>(x->movementInstance)) {
        x->movementInstance = nullptr;
        if (auto free = InstanceOperation(instance, &movement::InstanceOperations::free, 2)) free(instance);
    }
    RequestMoveStop(o);
}

bool ReplaceObjectMovement(RunObject* o, int n) {
    if (!ExtendedOf(o) || !(o->objectFlags & ObjectHasMovement) ||
        MovementData(DefinitionOf(o, o->definition), n) == 0)
        return false;
    FreeObjectMovement(o);
    InitObjectMovement(n, o, o->definition, nullptr);
    return true;
}

MovementBlockBytes MovementOwnedBytes(RunObject* o) {
    const RunObjectExtended* x = ExtendedOf(o);
    if (!x || !(o->objectFlags & ObjectHasMovement)) return {};
    switch (x->movementType) {
    case MovementPath:
        return PathOwnedBytes();
    case MovementPhysics:
        return PhysicsOwnedBytes();
    default:
        return {};
    }
}

int RandomDirectionInMask(std::uint32_t mask) {
    FrameRunState* s = CurrentRunState();
    const int bits = std::popcount(mask);
    if (bits == 0 || !s) return 0;
    s->randomSeed = static_cast<std::uint16_t>(s->randomSeed * 31415u + 1u);
    int n = static_cast<int>((static_cast<std::uint32_t>(s->randomSeed) * static_cast<std::uint32_t>(bits)) >>
                             16);
    for (int d = 0; d < 32; ++d)
        if ((mask & (1u << d)) && n-- == 0) return d;
    return 0;
}

namespace {

// Adds n units along the direction to the 32.32 position.
void Advance(RunObject* o, std::int32_t direction, std::int64_t n) {
    const auto add = [n](std::int32_t& whole, std::int32_t& fraction, std::int32_t unit) {
        const std::int64_t position =
            static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(whole)) << 32) |
                                      static_cast<std::uint32_t>(fraction));
        const std::int64_t moved = static_cast<std::int64_t>(static_cast<std::uint64_t>(position) +
                                                             static_cast<std::uint64_t>(unit * 65536LL * n));
        whole = static_cast<std::int32_t>(moved >> 32);
        fraction = static_cast<std::int32_t>(static_cast<std::uint32_t>(moved));
    };
    add(o->x, o->xFraction, DirectionUnitX(direction));
    add(o->y, o->yFraction, DirectionUnitY(direction));
}

// Units to move: speed x 32, or speed x the speed factor x 32 at machine-independent speed; at most
// MaxSubSteps sub-steps either way.
std::int64_t UnitsOf(const FrameRunState& s, std::int32_t speed) {
    constexpr std::int64_t limit = MaxSubSteps * SubStepUnits;
    double n = speed * 32.0;
    if (s.runFlags & RunMachineIndependent) n *= s.timeFactor;
    if (!(n == n)) return 0;
    return static_cast<std::int64_t>(std::clamp(n, static_cast<double>(-limit), static_cast<double>(limit)));
}

} // namespace

std::int32_t MoveObjectStep(RunObject* o, std::int32_t speed, std::int32_t direction) {
    RunObjectExtended* x = ExtendedOf(o);
    FrameRunState* s = o ? o->runState : nullptr;
    if (!x || !s) return 0;
    ++s->moveCounter;
    SetMovementField(o, MovementBlockMoveStamp, static_cast<std::int16_t>(s->moveCounter));
    SetMovementField(o, MovementBlockStopRequest, 0);
    if (speed == 0) {
        HandleObjectMoved(o);
        return 0;
    }
    std::int64_t n = UnitsOf(*s, speed);
    direction &= 31;
    if (n < 0) {
        // Backwards is the opposite direction: its units are exactly the negated ones.
        n = -n;
        direction = (direction + 16) & 31;
    }
    // Events raised by each report may move, stop or restart the object: its position is read back from
    // the record each time.
    while (n > SubStepUnits) {
        Advance(o, direction, SubStepUnits);
        HandleObjectMoved(o);
        if (MovementField(o, MovementBlockStopRequest) != 0) break;
        n -= SubStepUnits;
    }
    if (MovementField(o, MovementBlockStopRequest) == 0) {
        Advance(o, direction, n);
        HandleObjectMoved(o);
    }
    x->changed = 1;
    // The physics link clears here the word its collision handling reads, for a move that was not
    // stopped, once it is built.
    return MovementField(o, MovementBlockStopRequest);
}

std::int32_t MoveObjectByOwnSpeed(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return 0;
    return MoveObjectStep(o, x->speed, x->direction) != 0 ? 1 : 0;
}

std::int32_t GetObjectDirection(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return 0;
    movement::Instance* instance = MovementInstanceOf(o);
    if (auto get = ReportedDirection(instance)) return get(instance, o) & 31;
    return x->direction & 31;
}

void SetObjectPosition(RunObject* o, std::int32_t x, std::int32_t y) {
    RunObjectExtended* ext = ExtendedOf(o);
    if (!o) return;
    if (ext && ext->movementType == MovementExtension) {
        // The module keeps the position of its own movement.
        movement::Instance* instance = MovementInstanceOf(o);
        if (auto set = InstanceOperation(instance, &movement::InstanceOperations::setPosition, 5)) {
            set(instance, o, x, y);
            ext->changed = 1;
            return;
        }
    }
    if (o->x == x && o->y == y) return;
    ShiftPathMovement(o, x - o->x, y - o->y);
    o->x = x;
    o->y = y;
    o->xFraction = o->yFraction = 0;
    if (!ext) {
        // Shown at once: nothing redisplays such an object later.
        if (o->displayRoutine) o->displayRoutine(o);
        return;
    }
    ext->changed = ext->moved = 1;
    RequestMoveStop(o);
}

bool PlayerInputEnabled(RunObject* o, std::int32_t player) {
    const FrameRunState* s = o ? o->runState : nullptr;
    if (!s || player < 1 || player > 4) return true;
    return ((s->enabledControls >> (8 * (player - 1))) & 0xFF) != 0;
}

std::int32_t ScaledBySpeedFactor(RunObject* o, std::int32_t step) {
    const FrameRunState* s = o ? o->runState : nullptr;
    if (!s || !(s->runFlags & RunMachineIndependent)) return step;
    const double scaled = step * s->timeFactor;
    if (!(scaled == scaled)) return 0;
    return static_cast<std::int32_t>(std::clamp(scaled, -2147483520.0, 2147483520.0));
}

std::int32_t BounceCounter(RunObject* o) {
    const FrameRunState* s = o ? o->runState : nullptr;
    return s ? static_cast<std::int32_t>(s->loopCount) : 0;
}

bool StillMovedBy(RunObject* o, ObjectStepRoutine handler) {
    RunObjectExtended* x = ExtendedOf(o);
    return x && MovementOf(o) && x->movementRoutine == handler && !(o->runFlags & ObjectDisappearing);
}

bool DuringOwnMove(RunObject* o) {
    const FrameRunState* s = o ? o->runState : nullptr;
    return s && MovementBlockOf(o) &&
           MovementField(o, MovementBlockMoveStamp) == static_cast<std::int16_t>(s->moveCounter);
}

std::int32_t GetPlayerControls(RunObject* o, std::int32_t player) {
    const FrameRunState* s = o ? o->runState : CurrentRunState();
    if (!s || player < 1 || player > 4) return 0;
    return static_cast<std::int32_t>((s->playerBits >> (8 * (player - 1))) & 0xFF);
}

void SetMovementAcceleration(RunObject* o, std::int32_t setting) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        if (auto set = InstanceOperation(i, &movement::InstanceOperations::setAcceleration, 15))
            set(i, o, setting);
        return;
    }
    if (ObjectMovementBlock* b = MovementOf(o)) {
        b->acceleration = setting;
        b->accelerationStep = AccelerationRate(setting);
    }
}

void SetMovementDeceleration(RunObject* o, std::int32_t setting) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        if (auto set = InstanceOperation(i, &movement::InstanceOperations::setDeceleration, 16))
            set(i, o, setting);
        return;
    }
    if (ObjectMovementBlock* b = MovementOf(o)) {
        b->deceleration = setting;
        b->decelerationStep = AccelerationRate(setting);
    }
}

void SetMovementGravity(RunObject* o, std::int32_t gravity) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        if (auto set = InstanceOperation(i, &movement::InstanceOperations::setGravity, 19))
            set(i, o, gravity);
        return;
    }
    SetPlatformGravity(o, gravity);
}

void SetRaceCarRotatingSpeed(RunObject* o, std::int32_t speed) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        if (auto set = InstanceOperation(i, &movement::InstanceOperations::setRotatingSpeed, 17))
            set(i, o, speed);
        return;
    }
    RunObjectExtended* x = ExtendedOf(o);
    if (ObjectMovementBlock* b = MovementOf(o); b && x && x->movementType == MovementRaceCar)
        b->car.turningSpeed = std::clamp(speed, 0, 100);
}

void SetEightDirectionMask(RunObject* o, std::uint32_t mask) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        if (auto set = InstanceOperation(i, &movement::InstanceOperations::setDirectionMask, 18))
            set(i, o, mask);
        return;
    }
    RunObjectExtended* x = ExtendedOf(o);
    if (ObjectMovementBlock* b = MovementOf(o); b && x && x->movementType == MovementEightDirections)
        b->directionMask = mask;
}

namespace {

template <auto Member, std::uint32_t Slot> bool HandCoordinate(RunObject* o, std::int32_t v) {
    movement::Instance* i = MovementInstanceOf(o);
    auto set = InstanceOperation(i, Member, Slot);
    if (!set) return false;
    set(i, o, v);
    ExtendedOf(o)->changed = 1;
    return true;
}

} // namespace

void SetObjectX(RunObject* o, std::int32_t x) {
    if (o && !HandCoordinate<&movement::InstanceOperations::setX, 6>(o, x)) SetObjectPosition(o, x, o->y);
}

void SetObjectY(RunObject* o, std::int32_t y) {
    if (o && !HandCoordinate<&movement::InstanceOperations::setY, 7>(o, y)) SetObjectPosition(o, o->x, y);
}

std::int32_t MovementSpeed(RunObject* o) {
    if (movement::Instance* i = MovementInstanceOf(o))
        if (auto get = ReportedSpeed(i)) return get(i, o);
    const RunObjectExtended* x = ExtendedOf(o);
    return x ? x->speed : 0;
}

std::int32_t MovementAcceleration(RunObject* o) {
    if (movement::Instance* i = MovementInstanceOf(o))
        if (auto get = InstanceOperation(i, &movement::InstanceOperations::getAcceleration, 23))
            return get(i, o);
    const ObjectMovementBlock* b = MovementOf(o);
    return b ? b->acceleration : 0;
}

std::int32_t MovementDeceleration(RunObject* o) {
    if (movement::Instance* i = MovementInstanceOf(o))
        if (auto get = InstanceOperation(i, &movement::InstanceOperations::getDeceleration, 24))
            return get(i, o);
    const ObjectMovementBlock* b = MovementOf(o);
    return b ? b->deceleration : 0;
}

std::int32_t MovementGravity(RunObject* o) {
    if (movement::Instance* i = MovementInstanceOf(o)) {
        auto get = InstanceOperation(i, &movement::InstanceOperations::getGravity, 25);
        return get ? get(i, o) : 0;
    }
    return GetPlatformGravity(o);
}

bool MovementReversing(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    const ObjectMovementBlock* b = MovementOf(o);
    return b && x && x->movementType == MovementRaceCar && b->car.reversing != 0;
}

bool MovementBouncing(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    const ObjectMovementBlock* b = MovementOf(o);
    if (!b || !x) return false;
    switch (x->movementType) {
    case MovementEightDirections:
    case MovementRaceCar:
    case MovementBall:
        return b->bounced != 0;
    default:
        return false;
    }
}

std::int32_t CurrentMovementIndex(RunObject* o) {
    const ObjectMovementBlock* b = MovementOf(o);
    return b ? b->currentMovement : 0;
}

std::uint32_t CurrentMovementIdentifier(RunObject* o) {
    const ObjectMovementBlock* b = MovementOf(o);
    if (!b || !o->definition) return 0;
    const std::span<const std::uint8_t> def = DefinitionOf(o, o->definition);
    const std::size_t list = def.empty() ? 0 : DefU16(def, DefMovements);
    if (list == 0 || b->currentMovement < 0 || list + 4 > def.size() ||
        static_cast<std::uint32_t>(b->currentMovement) >= DefU32(def, list))
        return 0;
    const std::size_t entry = list + 4 + MovementEntryBytes * static_cast<std::size_t>(b->currentMovement);
    return entry + MovementEntryBytes <= def.size() ? DefU32(def, entry + MovementEntryIdentifier) : 0;
}

void InitStaticMovement(RunObject* o, MovementDataView) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    x->movementRoutine = StaticMovementHandler;
    x->speed = 0;
    x->moved = x->changed = 1;
}

void StaticMovementHandler(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    if (x->animationRoutine) x->animationRoutine(o);
    if (x->moved) {
        x->moved = 0;
        HandleObjectMoved(o);
    }
}

// Extension movements.

movement::Instance* MovementInstanceOf(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x || x->movementType != MovementExtension) return nullptr;
    return static_cast<movement::Instance*>(x->movementInstance);
}

bool ModuleMovementState(RunObject* o, std::int32_t& direction, std::int32_t& speed) {
    movement::Instance* i = MovementInstanceOf(o);
    const auto getDirection = ReportedDirection(i);
    const auto getSpeed = ReportedSpeed(i);
    if (getDirection) direction = getDirection(i, o) & 31;
    if (getSpeed) speed = getSpeed(i, o);
    return getDirection || getSpeed;
}

void RestoreModuleMovementState(RunObject* o, std::int32_t direction, std::int32_t speed) {
    movement::Instance* i = MovementInstanceOf(o);
    // Only what the module reports went into the record as its own.
    if (ReportedDirection(i)) ExtensionMovementSetDirection(o, direction & 31);
    if (!ReportedSpeed(i)) return;
    if (speed > 0)
        ExtensionMovementSetSpeed(o, speed);
    else if (auto stop = InstanceOperation(i, &movement::InstanceOperations::stop, 8))
        stop(i, o, 0);
}

void ExtensionMovementHandler(RunObject* o) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto handle = InstanceOperation(i, &movement::InstanceOperations::handle, 4); handle && handle(i, o))
        ExtendedOf(o)->changed = 1;
}

void ExtensionMovementStart(RunObject* o, std::int32_t) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::start, 11)) op(i, o);
}

void ExtensionMovementSetMaxSpeed(RunObject* o, std::int32_t v) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::setMaximumSpeed, 13)) op(i, o, v);
}

void ExtensionMovementSetSpeed(RunObject* o, std::int32_t v) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::setSpeed, 12)) op(i, o, v);
}

void ExtensionMovementStop(RunObject* o, std::int32_t) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::stop, 8))
        op(i, o, DuringOwnMove(o) ? 1 : 0);
}

void ExtensionMovementReverse(RunObject* o, std::int32_t) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::reverse, 10)) op(i, o);
}

void ExtensionMovementBounce(RunObject* o, std::int32_t) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::bounce, 9))
        op(i, o, DuringOwnMove(o) ? 1 : 0);
}

void ExtensionMovementSetDirection(RunObject* o, std::int32_t v) {
    movement::Instance* i = MovementInstanceOf(o);
    if (auto op = InstanceOperation(i, &movement::InstanceOperations::setDirection, 14)) op(i, o, v);
}

void RegisterMovementPlugin(const std::uint8_t* movementData, movement::Plugin* plugin) {
    if (!movementData) return;
    if (plugin)
        Plugins()[movementData] = plugin;
    else
        Plugins().erase(movementData);
}

void ReleaseMovementPlugins(const std::uint8_t* definition, std::size_t size) {
    auto& plugins = Plugins();
    const auto end = plugins.lower_bound(definition + size);
    for (auto it = plugins.lower_bound(definition); it != end;) {
        movement::Plugin* plugin = it->second;
        it = plugins.erase(it);
        if (plugin && plugin->operations && plugin->operations->slots > 0 && plugin->operations->release)
            plugin->operations->release(plugin);
    }
}

// The action table.

namespace {

void NoMovementAction(RunObject*, std::int32_t) {}

constexpr MovementActionRoutine None = NoMovementAction;

using Row = std::array<MovementActionRoutine, MovementTypeCount>;
// clang-format off
// Columns: static, mouse, race car, eight directions, ball, path, 6-8, platform, 10-12, physics, extension.
constexpr Row StartRow{None, MovementStart, MovementStart, EightDirectionStart, BallStart,
                       PathStart, None, None, None, None,
                       None, None, None, None, ExtensionMovementStart};
constexpr Row SetMaximumSpeedRow{None, None, RaceCarSetMaxSpeed, EightDirectionSetMaxSpeed, BallSetSpeed,
                                 PathSetSpeed, None, None, None, PlatformSetMaxSpeed,
                                 None, None, None, None, ExtensionMovementSetMaxSpeed};
constexpr Row SetSpeedRow{None, None, RaceCarSetSpeed, EightDirectionSetSpeed, BallSetSpeed,
                          PathSetSpeed, None, None, None, PlatformSetSpeed,
                          None, None, None, None, ExtensionMovementSetSpeed};
constexpr Row StopRow{None, MouseStop, RaceCarStop, EightDirectionStop, BallStop,
                      PathStop, None, None, None, PlatformStop,
                      None, None, None, None, ExtensionMovementStop};
constexpr Row ReverseRow{None, None, None, None, None,
                         PathReverse, None, None, None, None,
                         None, None, None, None, ExtensionMovementReverse};
constexpr Row BounceRow{None, None, RaceCarBounce, EightDirectionBounce, BallBounce,
                        None, None, None, None, PlatformBounce,
                        None, None, None, None, ExtensionMovementBounce};
constexpr Row SetDirectionRow{None, None, RaceCarSetDirection, None, None,
                              None, None, None, None, PlatformSetDirection,
                              None, None, None, None, ExtensionMovementSetDirection};

// clang-format on

} // namespace

const std::array<std::array<MovementActionRoutine, MovementTypeCount>, MovementActionRows>
    MovementActionRoutines{StartRow,   SetMaximumSpeedRow, SetSpeedRow,    StopRow,
                           ReverseRow, BounceRow,          SetDirectionRow};

void CallMovementAction(MovementRow movementRow, RunObject* o, std::int32_t value) {
    RunObjectExtended* x = ExtendedOf(o);
    const int row = static_cast<int>(movementRow);
    if (!x || !(o->objectFlags & ObjectHasMovement) || row < 0 || row >= MovementActionRows) return;
    if (x->movementType < 0 || x->movementType >= MovementTypeCount) return;
    MovementActionRoutines[static_cast<std::size_t>(row)][static_cast<std::size_t>(x->movementType)](o,
                                                                                                     value);
}

// Services for modules.

namespace {

std::int32_t RandomDirectionService(std::uint32_t mask) {
    return RandomDirectionInMask(mask);
}

std::intptr_t CallMovementService(RunObject* o, std::intptr_t a, std::intptr_t b) {
    movement::Instance* i = MovementInstanceOf(o);
    auto op = InstanceOperation(i, &movement::InstanceOperations::service, 21);
    return op ? op(i, o, a, b) : 0;
}

void SetObjectPositionService(RunObject* o, std::int32_t x, std::int32_t y) {
    if (!o) return;
    if (o->objectFlags & ObjectHasMovement) {
        SetObjectPosition(o, x, y);
        return;
    }
    o->x = x;
    o->y = y;
}

} // namespace

const movement::Services& MovementServices() {
    static const movement::Services services{
        sizeof(movement::Services), movement::ServicesVersion,       RandomDirectionService,
        MoveObjectByOwnSpeed,       FindFreePositionService,         TestObjectPositionAt,
        GetPlayerControls,          TestRectAgainstBackdropsService, TestPointAgainstBackgroundService,
        CallMovementService,        SetObjectPositionService,        NotifyObjectMoved};
    return services;
}

} // namespace vtrrt
