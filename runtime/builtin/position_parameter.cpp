#include "builtin/position_parameter.h"

#include "builtin/object_state.h"
#include "core/frame_run_state.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/backdrop_layers.h"
#include "objects/movements.h"
#include "objects/physics_movement.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "vtrs2/banks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>

namespace vtrrt {

namespace {

// Offsets in a position parameter.
constexpr std::size_t PositionReference = 4; // i16 handle of the object it is relative to; -1 absolute
constexpr std::size_t PositionFlags = 6;
constexpr std::size_t PositionX = 8;
constexpr std::size_t PositionY = 10;
constexpr std::size_t PositionDistance = 12;
constexpr std::size_t PositionAngle = 14;
constexpr std::size_t PositionMask = 16;
constexpr std::size_t PositionObjectInfo = 22; // resolved by the preparation; bit 15 a qualifier
constexpr std::size_t PositionLayer = 24;
constexpr std::size_t PositionBytes = 26;

constexpr std::uint16_t FlagPolar = 0x01;
constexpr std::uint16_t FlagActionPoint = 0x02;
constexpr std::uint16_t FlagObjectDirection = 0x04;
constexpr std::uint16_t FlagNoDirection = 0x08;

std::int32_t LastLayer() {
    const FrameRunState* run = CurrentRunState();
    const FrameRecord* frame = run ? run->frame : nullptr;
    return frame && frame->layerCount > 0 ? frame->layerCount - 1 : 0;
}

// The action point's offset from the hot spot of the object's image, turned and scaled as it is shown.
void AddActionPoint(RunObject* o, ResolvedPosition& out) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x || !(o->objectFlags & ObjectHasAnimation) || !x->image) return;
    // An object carried by a physics body is turned by the body's angle.
    float angle = x->angle;
    PhysicsBodyAngle(o, angle);
    ImageInfo info{};
    if (!GetTransformedImageInfo(BanksOfApplication(), static_cast<win32::DWORD>(x->image), angle, x->scaleX,
                                 x->scaleY, &info))
        return;
    out.x += info.actionX - info.hotX;
    out.y += info.actionY - info.hotY;
}

} // namespace

std::int32_t DirectionFromDelta(std::int32_t dx, std::int32_t dy) {
    if (dx == 0) return dy < 0 ? 8 : 24;
    if (dy == 0) return dx < 0 ? 16 : 0;
    static constexpr std::array<std::int64_t, 9> Thresholds{2599, 844, 479, 312, 210, 137, 78, 25, 0};
    static constexpr std::array<std::int32_t, 9> Directions{0, 31, 30, 29, 28, 27, 26, 25, 24};
    const std::int64_t r = std::llabs(dx) * 256 / std::llabs(dy);
    std::int32_t d = 24;
    for (std::size_t i = 0; i < Thresholds.size(); ++i)
        if (r >= Thresholds[i]) {
            d = Directions[i];
            break;
        }
    if (dy < 0) d = (32 - d) & 31;
    if (dx < 0) d = (16 - d) & 31;
    return d;
}

std::int32_t DirectionFromMask(std::uint32_t mask) {
    if (mask == 0 || mask == 0xFFFFFFFFu) {
        FrameRunState* run = CurrentRunState();
        if (!run) return 0;
        run->randomSeed = static_cast<std::uint16_t>(run->randomSeed * 31415u + 1u);
        return run->randomSeed >> 11;
    }
    if (std::has_single_bit(mask)) return std::countr_zero(mask);
    return RandomDirectionInMask(mask);
}

std::int32_t DirectionParameter(const std::uint8_t* p) {
    if (ParameterCode(p) == ParamDirections && GetI16(p) >= 8)
        return DirectionFromMask(static_cast<std::uint32_t>(GetI32(p + ParamValueAt)));
    return GetIntParameter(p) & 31;
}

bool ResolvePositionParameter(const std::uint8_t* p, int options, ResolvedPosition& out) {
    out = ResolvedPosition{};
    if (!p || GetI16(p) < static_cast<std::int16_t>(PositionBytes)) return false;
    const std::uint16_t flags = GetU16(p + PositionFlags);
    const std::int32_t dx = GetI16(p + PositionX), dy = GetI16(p + PositionY);
    const auto mask = static_cast<std::uint32_t>(GetI32(p + PositionMask));
    const bool wantsDirection = options & PositionWantsDirection;
    if (GetI16(p + PositionReference) == -1) {
        out.x = dx;
        out.y = dy;
        out.layer = std::clamp<std::int32_t>(GetI16(p + PositionLayer), 0, LastLayer());
        if (wantsDirection) out.direction = (flags & FlagNoDirection) ? -1 : DirectionFromMask(mask);
    } else {
        EventRunState* s = CurrentEventState();
        if (!s) return false;
        // The reference is taken as expressions take objects: a selection emptied by a condition gives its
        // instances.
        s->emptyMeansNone = 0;
        RunObject* ref = GetActionObjectOf(GetU16(p + PositionObjectInfo), &out.more);
        if (!ref) return false;
        out.reference = ref;
        out.x = ref->x;
        out.y = ref->y;
        out.layer = ref->layer;
        if (flags & FlagActionPoint) AddActionPoint(ref, out);
        if (flags & FlagPolar) {
            const std::int32_t d = (GetObjectDirection(ref) + GetI16(p + PositionAngle)) & 31;
            const std::int32_t distance = GetI16(p + PositionDistance);
            out.x += distance * DirectionUnitX(d) / 256;
            out.y += distance * DirectionUnitY(d) / 256;
        } else {
            out.x += dx;
            out.y += dy;
        }
        if (wantsDirection)
            out.direction = (flags & FlagNoDirection)       ? -1
                            : (flags & FlagObjectDirection) ? GetObjectDirection(ref)
                                                            : DirectionFromMask(mask);
    }
    if (options & PositionInsideLimits) {
        const FrameRunState* run = CurrentRunState();
        if (!run) return false;
        const win32::RECT& r = run->outerLimits;
        if (out.x < r.left || out.x > r.right || out.y < r.top || out.y > r.bottom) return false;
    }
    return true;
}

} // namespace vtrrt
