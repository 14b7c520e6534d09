#include "objects/movements.h"

#include "events/object_moved.h"
#include "objects/run_objects.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include <bit>
#include <span>

namespace vtrrt {

namespace {

constexpr std::size_t MovementEntryBytes = 16;
constexpr std::size_t MovementEntryData = 8;
constexpr std::size_t MovementDataType = 2;
constexpr std::int32_t MovementPhysics = 13;
constexpr std::size_t MovementDataDirectionMask = 8;

std::span<const std::uint8_t> DefinitionSpan(const RunObject* o, const std::uint8_t* definition) {
    ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || info->definition.data() != definition) return {};
    return info->definition;
}

// The offset of movement n's data in the definition, or 0.
std::size_t MovementData(std::span<const std::uint8_t> def, int n) {
    const std::size_t list = DefU16(def, DefMovements);
    if (list == 0 || n < 0 || static_cast<std::uint32_t>(n) >= DefU32(def, list)) return 0;
    const std::size_t entry = list + 4 + MovementEntryBytes * static_cast<std::size_t>(n);
    if (entry + MovementEntryBytes > def.size()) return 0;
    const std::size_t data = list + DefU32(def, entry + MovementEntryData);
    return data + 12 <= def.size() ? data : 0;
}

void SetCurrentMovement(RunObject* o, std::int32_t n) {
    SetMovementField(o, MovementBlockCurrent, n);
}

} // namespace

void InitObjectMovement(int n, RunObject* o, const std::uint8_t* definition,
                        const ObjectCreationParams* params) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    if (params) x->direction = params->direction;
    x->movementType = MovementNone;
    const std::span<const std::uint8_t> def = DefinitionSpan(o, definition);
    if (n == -1) {
        // The physics movement is the physics link's to initialise, which adds it here.
        SetCurrentMovement(o, 0);
        x->movementType = MovementPhysics;
    } else if (const std::size_t data = MovementData(def, n)) {
        SetCurrentMovement(o, n);
        x->movementType = DefU16(def, data + MovementDataType);
        if (static_cast<std::uint32_t>(x->direction) > 31)
            x->direction = RandomDirectionInMask(DefU32(def, data + MovementDataDirectionMask));
        // Each movement type's own set-up comes with its movement; until a type has one (and for extension
        // movements without their module) the object moves as a static object of that type.
        InitStaticMovement(o, def.data() + data);
    }
    if (x->movementType == MovementNone) {
        x->movementRoutine = StaticMovementHandler;
        x->speed = 0;
        x->moved = x->changed = 1;
        x->direction = 0;
    }
}

std::int32_t MovementField(RunObject* o, std::size_t offset) {
    const std::uint8_t* block = MovementBlockOf(o);
    if (!block || offset + 4 > ObjectMovementBlockBytes) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(block[offset]) | (block[offset + 1] << 8) |
                                     (block[offset + 2] << 16) |
                                     (static_cast<std::uint32_t>(block[offset + 3]) << 24));
}

void SetMovementField(RunObject* o, std::size_t offset, std::int32_t value) {
    std::uint8_t* block = MovementBlockOf(o);
    if (!block || offset + 4 > ObjectMovementBlockBytes) return;
    for (std::size_t i = 0; i < 4; ++i)
        block[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

std::int32_t CurrentMovementIndex(RunObject* o) {
    return MovementField(o, MovementBlockCurrent);
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

void FreeObjectMovement(RunObject*) {
    // Path, physics and extension movements free what they hold here; they add it with their movements.
}

void InitStaticMovement(RunObject* o, const std::uint8_t*) {
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

} // namespace vtrrt
