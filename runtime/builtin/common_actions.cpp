// The actions every object of type 2 and up answers, each run once for every object of its selection:
// position and direction, the movement, the animation, visibility and flashing, destruction, swapping
// positions, shooting, and alterable values, flags and strings.
#include "builtin/common_objects.h"
#include "builtin/object_state.h"
#include "builtin/position_parameter.h"
#include "builtin/system_objects.h"
#include "builtin/text_object.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/animations.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/path_movement.h"
#include "objects/physics_movement.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <utility>

namespace vtrrt {

namespace {

constexpr std::uint16_t EventFlagBorderRequest = 4;
constexpr int AnimationShooting = 6;
constexpr std::int32_t MovementShot = 13;
constexpr std::int32_t MaxAnimationSpeed = 100;
// Offsets of a shoot parameter past its position: the object info shot and its speed.
constexpr std::size_t ShootObjectInfo = 28;
constexpr std::size_t ShootSpeed = 30;
constexpr std::size_t ShootBytes = 32;

std::int32_t IntAt(std::uint8_t* r, int n) {
    return GetIntParameter(ParameterAt(r, n));
}

void Nothing(std::uint8_t*) {}

// --- position and direction ---

// Sets the direction as the direction action does, with the animation brought along.
void TurnObject(RunObject* o, std::int32_t direction) {
    SetObjectDirection(o, direction);
    RefreshObjectAnimation(o);
}

void SetPosition(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ResolvedPosition p;
    if (!o || !ResolvePositionParameter(ParameterAt(r, 0), PositionWantsDirection, p)) return;
    SetObjectPosition(o, p.x, p.y);
    if (p.direction >= 0 && p.direction != GetObjectDirection(o)) TurnObject(o, p.direction);
}

// A movement module is handed the coordinate; a path movement also shifts its path, which it adds with the
// path movement.
template <bool Horizontal> void SetCoordinate(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    const std::int32_t v = IntAt(r, 0);
    if (Horizontal && v != o->x) SetObjectX(o, v);
    if (!Horizontal && v != o->y) SetObjectY(o, v);
}

template <MovementRow Row, bool WithValue> void MovementAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    CallMovementAction(Row, o, WithValue ? IntAt(r, 0) : 0);
}

void RequestBorderTest(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) o->eventFlags |= EventFlagBorderRequest;
}

std::int32_t MovementCount(RunObject* o) {
    const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || info->definition.data() != o->definition) return 0;
    const std::span<const std::uint8_t> def(info->definition);
    const std::size_t list = DefU16(def, DefMovements);
    return list ? static_cast<std::int32_t>(std::min<std::uint32_t>(DefU32(def, list), 0x7FFF)) : 0;
}

// Frees the current movement and starts movement n of the definition's list.
void SwitchMovement(RunObject* o, std::int32_t n) {
    if (!ExtendedOf(o) || !(o->objectFlags & ObjectHasMovement) || n < 0 || n >= MovementCount(o)) return;
    FreeObjectMovement(o);
    InitObjectMovement(n, o, o->definition, nullptr);
    // A physics movement places the object at once.
    if (HasPhysicsMovement(o)) ExtensionMovementHandler(o);
    MarkObjectChanged(o);
}

void NextMovement(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) SwitchMovement(o, CurrentMovementIndex(o) + 1);
}
void PreviousMovement(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) SwitchMovement(o, CurrentMovementIndex(o) - 1);
}
void SelectMovement(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) SwitchMovement(o, IntAt(r, 0));
}

void LookAt(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ResolvedPosition p;
    if (!o || !ResolvePositionParameter(ParameterAt(r, 0), 0, p)) return;
    // An object carried by a physics body turns the body instead.
    double degrees =
        std::atan2(static_cast<double>(o->y) - p.y, static_cast<double>(p.x) - o->x) * 180 / 3.1415927;
    if (degrees < 0) degrees += 360;
    if (TurnPhysicsBody(o, static_cast<float>(degrees))) return;
    SetObjectDirection(o, DirectionFromDelta(p.x - o->x, p.y - o->y));
}

void SetDirection(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) TurnObject(o, DirectionParameter(ParameterAt(r, 0)));
}

// --- animation ---

template <void (*Change)(RunObject*, ObjectAnimationBlock&, std::uint8_t*)>
void AnimationAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ObjectAnimationBlock* a = AnimationOf(o);
    if (a) Change(o, *a, r);
}

void LockFrame(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.frameLocked = 1;
}
void UnlockFrame(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.frameLocked = 0;
}
void ForceAnimation(RunObject* o, ObjectAnimationBlock& a, std::uint8_t* r) {
    a.forcedAnimation = IntAt(r, 0) + 1;
    StepAnimation(o, 0);
    MarkObjectChanged(o);
}
void ForceDirection(RunObject*, ObjectAnimationBlock& a, std::uint8_t* r) {
    a.forcedDirection = DirectionParameter(ParameterAt(r, 0)) + 1;
}
void ForceSpeed(RunObject*, ObjectAnimationBlock& a, std::uint8_t* r) {
    a.forcedSpeed = std::clamp(IntAt(r, 0), 0, MaxAnimationSpeed) + 1;
}
void RestoreAnimation(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.forcedAnimation = 0;
}
void RestoreDirection(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.forcedDirection = 0;
}
void RestoreSpeed(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.forcedSpeed = 0;
}
void ForceFrame(RunObject* o, ObjectAnimationBlock& a, std::uint8_t* r) {
    std::int32_t n = IntAt(r, 0);
    if (n >= a.frameCount) n = a.frameCount - 1;
    if (n < 0) n = 0;
    a.forcedFrame = n + 1;
    StepAnimation(o, 0);
    MarkObjectChanged(o);
}
void RestoreFrame(RunObject*, ObjectAnimationBlock& a, std::uint8_t*) {
    a.forcedFrame = 0;
}

// --- visibility ---

void Hide(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return;
    HideObject(o);
    b->displayFlags &= static_cast<std::uint16_t>(~DisplayFlashShown);
    b->flashInterval = 0;
}

void Show(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return;
    b->displayFlags |= DisplayFlashShown;
    ShowObject(o);
    b->flashInterval = 0;
}

void Flash(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return;
    const std::int32_t interval = IntAt(r, 0);
    HideObject(o);
    b->flashInterval = b->flashCountdown = interval;
}

// --- destruction ---

void QueueDestruction(RunObject* o) {
    FrameRunState* run = o->runState;
    if (run && run->objects && o->handle >= 0 && o->handle < run->maxObjects)
        run->objects[o->handle].routine = nullptr;
    MarkObjectForDestroy(o->handle);
}

void Destroy(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    if (o->objectType == TypeText) {
        // A text that keeps its own copy is only hidden; any other keeps its per-object routine until it
        // goes.
        if (HideDestroyedText(o)) return;
        o->runFlags |= ObjectDisappearing;
        MarkObjectForDestroy(o->handle);
        return;
    }
    if (o->runFlags & ObjectDisappearing) return;
    o->runFlags |= ObjectDisappearing;
    if (o->objectFlags & (ObjectHasAnimation | ObjectHasSprite))
        StartDisappearing(o);
    else
        QueueDestruction(o);
}

// --- the work left for after the event's actions ---

// Two objects of the swap list, drawn at random, exchange their positions.
void SwapKeptPositions(EventRunState* s) {
    std::vector<KeptObject> list = std::exchange(s->swapList, {});
    const auto count = static_cast<std::int32_t>(list.size());
    if (count < 2) return;
    const std::int32_t a = RandomBelow(count);
    std::int32_t b = RandomBelow(count);
    while (b == a)
        b = RandomBelow(count);
    RunObject* first = KeptObjectAlive(list[static_cast<std::size_t>(a)]);
    RunObject* second = KeptObjectAlive(list[static_cast<std::size_t>(b)]);
    if (!first || !second) return;
    const std::int32_t x = first->x, y = first->y;
    SetObjectPosition(first, second->x, second->y);
    SetObjectPosition(second, x, y);
}

void Swap(std::uint8_t* r) {
    EventRunState* s = State();
    RunObject* o = ActionObjectOf(r);
    if (!s || !o) return;
    s->swapList.push_back({o->handle, o->creationNumber});
    s->afterActions = RunDeferredObjectActions;
}

// --- shooting ---

void LaunchProjectile(RunObject* shooter, const std::uint8_t* p, std::int32_t x, std::int32_t y,
                      std::int32_t direction) {
    EventRunState* s = State();
    FrameRunState* run = shooter->runState;
    if (!s || !run || GetI16(p) < static_cast<std::int16_t>(ShootBytes)) return;
    const std::int32_t slot =
        CreateObject(-1, GetU16(p + ShootObjectInfo), x, y, direction, 0, shooter->layer, -1);
    RunObject* shot = ObjectOfHandle(slot);
    if (!shot) return;
    if (RunObjectExtended* sx = ExtendedOf(shot); sx && (shot->objectFlags & ObjectHasMovement)) {
        FreeObjectMovement(shot);
        sx->direction = direction >= 0 ? direction & 31 : GetObjectDirection(shooter);
        sx->speed = GetI16(p + ShootSpeed);
        InitObjectMovement(-1, shot, shot->definition, nullptr);
        SetPhysicsAttachedObject(shot, shooter);
        sx->movementType = MovementShot;
    }
    const FrameRecord* frame = run->frame;
    if (frame && shooter->layer >= 0 && shooter->layer < frame->layerCount &&
        (frame->layers[shooter->layer].settings.flags & 0x20010) != 0x10)
        HideObject(shot);
    AddObjectToSelection(shot);
    if (ObjectAnimationBlock* a = AnimationOf(shooter); a && HasAnimation(shooter, AnimationShooting)) {
        a->forcedAnimation = AnimationShooting + 1;
        StepAnimation(shooter, 0);
        a->loopsLeft = 1;
    }
}

void Shoot(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    const std::uint8_t* p = ParameterAt(r, 0);
    ResolvedPosition at;
    if (!o || !ResolvePositionParameter(p, PositionWantsDirection, at)) return;
    LaunchProjectile(o, p, at.x, at.y, at.direction);
}

void ShootTowards(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    if (const ObjectAnimationBlock* a = AnimationOf(o); a && a->current == AnimationShooting) return;
    const std::uint8_t* p = ParameterAt(r, 0);
    ResolvedPosition from, to;
    if (!ResolvePositionParameter(p, 0, from) || !ResolvePositionParameter(ParameterAt(r, 1), 0, to)) return;
    LaunchProjectile(o, p, from.x, from.y, DirectionFromDelta(to.x - from.x, to.y - from.y));
}

// --- alterable values, flags and strings ---

void SetValue(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o || !ValuesBlockOf(o)) return;
    const std::int32_t n = IntAt(r, 0);
    if (n < 0) return;
    const TypedValue v = GetValueParameter(ParameterAt(r, 1));
    if (TypedValue* slot = GrowAlterableValue(o, n)) StoreAlterableValue(*slot, v);
}

template <bool Add> void ChangeValue(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o || !ValuesBlockOf(o)) return;
    const std::int32_t n = IntAt(r, 0);
    if (n < 0) return;
    const TypedValue v = GetValueParameter(ParameterAt(r, 1));
    TypedValue* slot = GrowAlterableValue(o, n);
    if (!slot) return;
    if (Add)
        slot->AddNumber(v);
    else
        slot->SubtractNumber(v);
}

// The first object of the action's run takes the start value, each further one the value before plus one.
void SpreadValue(std::uint8_t* r) {
    EventRunState* s = State();
    RunObject* o = ActionObjectOf(r);
    if (!s || !o) return;
    const std::int32_t n = IntAt(r, 0);
    if (n < 0) return;
    auto it = std::find_if(s->spreadValues.begin(), s->spreadValues.end(),
                           [&](const auto& e) { return e.first == r; });
    if (it == s->spreadValues.end()) it = s->spreadValues.insert(s->spreadValues.end(), {r, 0});
    it->second = s->repeatPass == 0 ? IntAt(r, 1) : it->second + 1;
    if (!ValuesBlockOf(o)) return;
    if (TypedValue* slot = GrowAlterableValue(o, n)) StoreAlterableValue(*slot, TypedValue::Int(it->second));
}

enum class FlagChange { Set, Clear, Toggle };
template <FlagChange Change> void FlagAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    std::uint32_t* flags = AlterableFlags(o);
    if (!flags) return;
    const std::uint32_t bit = 1u << (IntAt(r, 0) & 31);
    if (Change == FlagChange::Set) *flags |= bit;
    if (Change == FlagChange::Clear) *flags &= ~bit;
    if (Change == FlagChange::Toggle) *flags ^= bit;
}

void SetString(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    const std::int32_t n = IntAt(r, 0);
    if (n < 0 || n >= AlterableStringCount) return;
    SetAlterableString(o, n, GetStringParameter(ParameterAt(r, 1)));
}

// --- movement settings ---

template <void (*Set)(RunObject*, std::int32_t)> void SetMovementRate(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (o && (o->objectFlags & ObjectHasMovement)) Set(o, std::max(IntAt(r, 0), 0));
}

void SetRotatingSpeed(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) SetRaceCarRotatingSpeed(o, std::clamp(IntAt(r, 0), 0, 100));
}
void SetDirectionMask(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r))
        SetEightDirectionMask(o, static_cast<std::uint32_t>(GetIntParameter(ParameterAt(r, 0))));
}

template <void (*Travel)(RunObject*, std::u16string_view)> void PathNodeAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    const char16_t* name = GetStringParameter(ParameterAt(r, 0));
    if (name) Travel(o, name);
}

void SetGravity(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    SetMovementGravity(o, std::clamp(IntAt(r, 0), 0, 250));
}

// Requests to a physics movement (numbers 68 to 75, 78 and 79), by the action's number x 256.
template <int Number> void PhysicsRequest(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o || !HasPhysicsMovement(o)) return;
    physics::Request request{};
    request.code = Number << 8;
    switch (Number) {
    case 70:
    case 72:
        request.values[0] = IntAt(r, 0);
        request.values[1] = IntAt(r, 1);
        break;
    case 74:
        request.real = static_cast<float>(GetValueParameter(ParameterAt(r, 0)).ToDouble());
        request.values[1] = IntAt(r, 1);
        break;
    case 78:
    case 79:
        break;
    default:
        request.values[0] = IntAt(r, 0);
        break;
    }
    RequestPhysicsMovement(o, request);
}

struct CommonAction {
    std::int16_t number;
    ActionRoutine routine;
};

const CommonAction CommonActions[] = {
    {0, Nothing},
    {1, SetPosition},
    {2, SetCoordinate<true>},
    {3, SetCoordinate<false>},
    {4, MovementAction<MovementRow::Stop, false>},
    {5, MovementAction<MovementRow::Start, false>},
    {6, MovementAction<MovementRow::SetSpeed, true>},
    {7, MovementAction<MovementRow::SetMaxSpeed, true>},
    {8, RequestBorderTest},
    {9, MovementAction<MovementRow::Bounce, false>},
    {10, MovementAction<MovementRow::Reverse, false>},
    {11, NextMovement},
    {12, PreviousMovement},
    {13, SelectMovement},
    {14, LookAt},
    {15, AnimationAction<LockFrame>},
    {16, AnimationAction<UnlockFrame>},
    {17, AnimationAction<ForceAnimation>},
    {18, AnimationAction<ForceDirection>},
    {19, AnimationAction<ForceSpeed>},
    {20, AnimationAction<RestoreAnimation>},
    {21, AnimationAction<RestoreDirection>},
    {22, AnimationAction<RestoreSpeed>},
    {23, SetDirection},
    {24, Destroy},
    {25, Swap},
    {26, Hide},
    {27, Show},
    {28, Flash},
    {29, Shoot},
    {30, ShootTowards},
    {31, SetValue},
    {32, ChangeValue<true>},
    {33, ChangeValue<false>},
    {34, SpreadValue},
    {35, FlagAction<FlagChange::Set>},
    {36, FlagAction<FlagChange::Clear>},
    {37, FlagAction<FlagChange::Toggle>},
    {40, AnimationAction<ForceFrame>},
    {41, AnimationAction<RestoreFrame>},
    {42, SetMovementRate<SetMovementAcceleration>},
    {43, SetMovementRate<SetMovementDeceleration>},
    {44, SetRotatingSpeed},
    {45, SetDirectionMask},
    {46, PathNodeAction<PathJumpToNode>},
    {47, SetGravity},
    {48, PathNodeAction<PathGotoNode>},
    {49, SetString},
    {62, Nothing},
    {68, PhysicsRequest<68>},
    {69, PhysicsRequest<69>},
    {70, PhysicsRequest<70>},
    {71, PhysicsRequest<71>},
    {72, PhysicsRequest<72>},
    {73, PhysicsRequest<73>},
    {74, PhysicsRequest<74>},
    {75, PhysicsRequest<75>},
    {78, PhysicsRequest<78>},
    {79, PhysicsRequest<79>},
};

} // namespace

void RunDeferredObjectActions() {
    EventRunState* s = State();
    if (!s) return;
    if (!s->swapList.empty()) SwapKeptPositions(s);
    if (!s->objectLoops.empty()) RunObjectLoops();
}

void InstallCommonActionRoutines() {
    for (const CommonAction& a : CommonActions)
        SetCommonActionRoutine(a.number, a.routine);
}

} // namespace vtrrt
