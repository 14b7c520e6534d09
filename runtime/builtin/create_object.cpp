// The create-object system object: objects created by definition or by name while the frame runs, and
// conditions that count and pick objects over the whole frame (in a zone, at random, by fixed value, by an
// alterable value or flag, along a line); its expression is the number of objects.
#include "builtin/common_objects.h"
#include "builtin/object_state.h"
#include "builtin/position_parameter.h"
#include "builtin/system_objects.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "win32/kernel.h"

#include <algorithm>
#include <string_view>

namespace vtrrt {

namespace {

constexpr std::int16_t AllTypes = 0;
constexpr std::int16_t AllTypesWalk = -1;
// A creation parameter: its position, the frame item placed for the object info, then the object info.
constexpr std::size_t CreateFrameItem = 26;
constexpr std::size_t CreateObjectInfo = 28;
constexpr std::size_t CreateBytes = 30;
constexpr std::uint16_t NoFrameItem = 0xFFFF;

bool CompareCount(std::int32_t count, const std::uint8_t* p) {
    return CompareWithExpressionParameter(p, count);
}

std::int32_t CountInZone(std::uint8_t* r, std::int16_t type, bool* ok) {
    win32::RECT zone{};
    *ok = ZoneOfParameter(ParameterAt(r, 0), zone);
    std::int32_t count = 0;
    if (*ok) GetNthObjectOfTypeInZone(zone, -1, type, &count);
    return count;
}

template <std::int16_t Type> int NoneInZone(std::uint8_t* r) {
    bool ok = false;
    const std::int32_t count = CountInZone(r, Type, &ok);
    return ok ? Negatable(r, count == 0) : 0;
}

template <std::int16_t Type> int CompareCountInZone(std::uint8_t* r) {
    bool ok = false;
    const std::int32_t count = CountInZone(r, Type, &ok);
    return ok && CompareCount(count, ParameterAt(r, 1)) ? 1 : 0;
}

int CompareActiveCount(std::uint8_t* r) {
    std::int32_t count = 0;
    GetNthObjectOfType(TypeActive, -1, &count);
    return CompareCount(count, ParameterAt(r, 0)) ? 1 : 0;
}

int CompareObjectCount(std::uint8_t* r) {
    EventRunState* s = State();
    return s && CompareCount(s->run->objectCount, ParameterAt(r, 0)) ? 1 : 0;
}

// Makes the n-th candidate the only selected object of the set, n drawn at random among `count`.
template <std::int16_t Type, bool InZone> int PickAtRandom(std::uint8_t* r) {
    win32::RECT zone{};
    if (InZone && !ZoneOfParameter(ParameterAt(r, 0), zone)) return 0;
    std::int32_t count = 0;
    if (InZone)
        GetNthObjectOfTypeInZone(zone, -1, Type, &count);
    else
        GetNthObjectOfType(Type, -1, &count);
    if (count <= 0) return 0;
    const std::int32_t n = RandomBelow(count);
    RunObject* o =
        InZone ? GetNthObjectOfTypeInZone(zone, n, Type, nullptr) : GetNthObjectOfType(Type, n, nullptr);
    if (!o) return 0;
    if (Type == TypeActive)
        ClearActiveObjectSelections();
    else
        ClearAllSelections();
    AddObjectToSelection(o);
    return 1;
}

template <std::int16_t Type> int PickInZone(std::uint8_t* r) {
    win32::RECT zone{};
    return ZoneOfParameter(ParameterAt(r, 0), zone) && SelectObjectsInZone(zone, Type) > 0 ? 1 : 0;
}

template <bool ActiveOnly> int PickByFixedValue(std::uint8_t* r) {
    const auto fixed = static_cast<std::uint32_t>(GetIntParameter(ParameterAt(r, 0)));
    RunObject* o = ObjectOfHandle(static_cast<std::int32_t>(fixed & 0xFFFF));
    if (!o || o->creationNumber != (fixed >> 16) || (o->runFlags & ObjectDisappearing)) return 0;
    if (ActiveOnly && o->objectType != TypeActive) return 0;
    const std::int32_t index = ObjectInfoIndexOf(o);
    if (index < 0) return 0;
    SelectOnlyObject(static_cast<std::uint16_t>(index), o);
    return 1;
}

// Thins the selections of every object info of the set (first reset to all instances) to the objects that
// pass.
template <typename Keep> int ThinType(std::int16_t type, Keep&& keep) {
    bool any = false;
    for (RunObject* o = FirstObjectOfType(type); o; o = NextObjectOfType()) {
        if (keep(o))
            any = true;
        else
            DropConditionObject();
    }
    return any ? 1 : 0;
}

template <std::int16_t WalkType> int PickByValue(std::uint8_t* r) {
    PerObjectValue number(ParameterAt(r, 0)), compared(ParameterAt(r, 1));
    const int op = ComparisonOperatorOf(ParameterAt(r, 1));
    return ThinType(WalkType, [&](RunObject* o) {
        // Objects without alterable values stay without a comparison.
        if (!ValuesBlockOf(o)) return true;
        return CompareValues(ReadAlterableValue(o, number.IntFor(o)), compared.For(o), op);
    });
}

template <std::int16_t WalkType, bool On> int PickByFlag(std::uint8_t* r) {
    PerObjectValue number(ParameterAt(r, 0));
    return ThinType(WalkType, [&](RunObject* o) {
        const std::uint32_t* flags = AlterableFlags(o);
        const bool set = flags && ((*flags >> (number.IntFor(o) & 31)) & 1);
        return set == On;
    });
}

int Never(std::uint8_t*) {
    return 0;
}

int PickCrossingLine(std::uint8_t* r) {
    std::int32_t v[4] = {};
    for (int i = 0; i < 4; ++i)
        v[i] = GetIntParameter(ParameterAt(r, i));
    return CountObjectsCrossingLine(v[0], v[1], v[2], v[3]) > 0 ? 1 : 0;
}

// --- creation ---

// The first object info of the frame, of type 2 or more, of that name; -1 when none.
std::int32_t ObjectInfoNamed(std::u16string_view name) {
    EventRunState* s = State();
    if (!s || !s->run->objectInfos) return -1;
    for (std::int32_t i = 0; i < s->run->objectInfoCount && s->run->objectInfos[i].handle != -1; ++i) {
        const ObjectInfoRunEntry& e = s->run->objectInfos[i];
        if (e.objectType < TypeActive) continue;
        const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(e.handle));
        if (info && win32::EqualsIgnoringCase(info->name, name)) return e.handle;
    }
    return -1;
}

void Create(std::uint8_t* r, std::int32_t objectInfo, std::int32_t frameItem, const std::uint8_t* position) {
    EventRunState* s = State();
    ResolvedPosition at;
    if (!s || !ResolvePositionParameter(position, PositionWantsDirection, at)) return;
    if (at.reference && at.more) {
        r[RecordRunFlags] |= RecordRepeat;
        s->repeatRequest = 1;
    } else {
        r[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordRepeat);
    }
    if (objectInfo < 0) return;
    const std::int32_t slot = CreateObject(frameItem, objectInfo, at.x, at.y, at.direction, 0, at.layer, -1);
    RunObject* o = slot >= 0 ? ObjectOfHandle(slot) : nullptr;
    if (!o) return;
    AddObjectToSelection(o);
    const FrameRecord* frame = s->run->frame;
    if ((o->objectFlags & ObjectHasSprite) && frame && at.layer >= 0 && at.layer < frame->layerCount &&
        (frame->layers[at.layer].settings.flags & 0x20010) != 0x10)
        HideObject(o);
    // Linking a new member of the physics family to its hub's lists and to the family's movements, and
    // telling an extension movement (or the frame's creation hook) that its object was created, wait for the
    // physics extensions' interface to carry hub numbers, member lists and a movement link, and for the
    // movement-module interface to carry a creation notice; that interface work adds both calls here.
}

void CreateByDefinition(std::uint8_t* r) {
    const std::uint8_t* p = ParameterAt(r, 0);
    if (!p || GetI16(p) < static_cast<std::int16_t>(CreateBytes)) return;
    const std::uint16_t item = GetU16(p + CreateFrameItem);
    Create(r, GetU16(p + CreateObjectInfo), item == NoFrameItem ? -1 : item, p);
}

void CreateByName(std::uint8_t* r) {
    const std::u16string name(GetStringParameter(ParameterAt(r, 0)));
    Create(r, ObjectInfoNamed(name), -1, ParameterAt(r, 1));
}

void NumberOfObjects() {
    EventRunState* s = State();
    SetTopInt(s ? s->run->objectCount : 0);
}

struct CreateCondition {
    std::int16_t number;
    ConditionRoutine routine;
};

const CreateCondition CreateConditions[] = {
    {-1, NoneInZone<TypeActive>},
    {-2, CompareCountInZone<TypeActive>},
    {-3, CompareActiveCount},
    {-4, PickAtRandom<TypeActive, true>},
    {-5, PickAtRandom<TypeActive, false>},
    {-6, PickInZone<TypeActive>},
    {-7, PickByFixedValue<true>},
    {-8, PickByValue<TypeActive>},
    {-9, Never},
    {-10, Never},
    {-11, PickByFlag<TypeActive, true>},
    {-12, PickByFlag<TypeActive, false>},
    {-13, NoneInZone<AllTypes>},
    {-14, CompareCountInZone<AllTypes>},
    {-15, CompareObjectCount},
    {-16, PickAtRandom<AllTypes, true>},
    {-17, PickAtRandom<AllTypes, false>},
    {-18, PickInZone<AllTypes>},
    {-19, PickByFixedValue<false>},
    {-20, PickByValue<AllTypesWalk>},
    {-21, PickByFlag<AllTypesWalk, true>},
    {-22, PickByFlag<AllTypesWalk, false>},
    {-23, PickCrossingLine},
};

} // namespace

void InstallCreateObjectRoutines() {
    for (const CreateCondition& c : CreateConditions)
        SetConditionRoutine(TypeCreate, c.number, c.routine, nullptr);
    SetActionRoutine(TypeCreate, 0, CreateByDefinition);
    SetActionRoutine(TypeCreate, 1, CreateByName);
    SetExpressionRoutine(TypeCreate, 0, NumberOfObjects);
}

} // namespace vtrrt
