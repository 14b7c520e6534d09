// Object loops: an event gathers objects under a name (one object info a loop, or two loops of one name as a
// pair), and once its actions are done each loop runs the events "on object loop" once for each of its
// objects, in order, with the loop's index; the index is read back by an expression.
#include "builtin/common_objects.h"
#include "builtin/object_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"

#include "win32/kernel.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace vtrrt {

namespace {

constexpr std::int16_t ConditionOnObjectLoop = -41;

// The loop's index as its partner reads it: the pair loop's index within this loop's objects.
std::int32_t IndexOf(const ObjectLoop& loop, bool second) {
    const auto count = static_cast<std::int32_t>(loop.objects.size());
    if (!second || count == 0) return loop.index;
    return loop.index % count;
}

void Gather(EventRunState* s, RunObject* o, std::u16string_view name) {
    const std::int32_t info = ObjectInfoIndexOf(o);
    if (info < 0) return;
    auto it = std::find_if(s->objectLoops.begin(), s->objectLoops.end(), [&](const ObjectLoop& l) {
        return l.objectInfo == info && win32::EqualsIgnoringCase(l.name, name);
    });
    if (it == s->objectLoops.end()) {
        ObjectLoop loop;
        loop.name = std::u16string(name);
        loop.objectInfo = info;
        it = s->objectLoops.insert(s->objectLoops.end(), std::move(loop));
    }
    it->objects.push_back({o->handle, o->creationNumber});
    s->afterActions = RunDeferredObjectActions;
}

void AddToLoop(std::uint8_t* r) {
    EventRunState* s = State();
    RunObject* o = ActionObjectOf(r);
    if (!s || !o) return;
    Gather(s, o, GetStringParameter(ParameterAt(r, 0)));
}

void AddToPairLoop(std::uint8_t* r) {
    EventRunState* s = State();
    RunObject* o = ActionObjectOf(r);
    if (!s || !o) return;
    const std::u16string name(GetStringParameter(ParameterAt(r, 0)));
    RunObject* second = GetObjectParameter(ParameterAt(r, 1), r);
    Gather(s, o, name);
    if (second) Gather(s, second, name);
}

void RunLoop(EventRunState* s, ObjectLoop& loop, ObjectLoop* partner) {
    const auto count = static_cast<std::int32_t>(loop.objects.size());
    for (loop.index = 0; loop.index < count && !loop.stop; ++loop.index) {
        s->currentObjectLoop = &loop;
        s->secondObjectLoop = partner;
        if (partner) partner->index = loop.index;
        if (RunObject* o = KeptObjectAlive(loop.objects[static_cast<std::size_t>(loop.index)]))
            TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionOnObjectLoop));
    }
}

// The running loop, or its partner, of that name whose object info the reference names.
const ObjectLoop* LoopNamed(EventRunState* s, std::u16string_view name, std::uint16_t ref, bool* second) {
    const std::vector<std::int16_t> infos = MemberIndexesOf(ref);
    const auto matches = [&](const ObjectLoop* l) {
        return l && win32::EqualsIgnoringCase(l->name, name) &&
               std::find(infos.begin(), infos.end(), l->objectInfo) != infos.end();
    };
    *second = false;
    if (matches(s->currentObjectLoop)) return s->currentObjectLoop;
    *second = true;
    return matches(s->secondObjectLoop) ? s->secondObjectLoop : nullptr;
}

int OnObjectLoopRaised(std::uint8_t* r, RunObject* o) {
    EventRunState* s = State();
    if (!s || !o) return 0;
    const std::u16string_view name = GetStringParameter(ParameterAt(r, 0));
    const bool named =
        (s->currentObjectLoop && win32::EqualsIgnoringCase(s->currentObjectLoop->name, name)) ||
        (s->secondObjectLoop && win32::EqualsIgnoringCase(s->secondObjectLoop->name, name));
    if (!named) return 0;
    SelectOnlyObject(GetU16(r + RecordResolved), o);
    return 1;
}

int OnObjectLoop(std::uint8_t* r) {
    EventRunState* s = State();
    if (!s) return 0;
    const std::uint16_t ref = GetU16(r + RecordResolved);
    bool second = false;
    const ObjectLoop* loop = LoopNamed(s, GetStringParameter(ParameterAt(r, 0)), ref, &second);
    if (!loop || loop->objects.empty()) return 0;
    const std::int32_t index = IndexOf(*loop, second);
    if (index < 0 || index >= static_cast<std::int32_t>(loop->objects.size())) return 0;
    RunObject* o = KeptObjectAlive(loop->objects[static_cast<std::size_t>(index)]);
    if (!o) return 0;
    SelectOnlyObject(ref, o);
    return 1;
}

void ObjectLoopIndex() {
    EventRunState* s = State();
    const std::uint8_t* token = CurrentToken();
    if (!s || !token || GetI16(token + TokenSizeAt) < static_cast<std::int16_t>(TokenObjectResolvedAt + 2)) {
        SetTopInt(0);
        return;
    }
    const std::uint16_t ref = GetU16(token + TokenObjectResolvedAt);
    const std::vector<std::int16_t> infos = MemberIndexesOf(ref);
    const auto named = [&](const ObjectLoop* l) {
        return l && std::find(infos.begin(), infos.end(), l->objectInfo) != infos.end();
    };
    if (named(s->currentObjectLoop))
        SetTopInt(IndexOf(*s->currentObjectLoop, false));
    else if (named(s->secondObjectLoop))
        SetTopInt(IndexOf(*s->secondObjectLoop, true));
    else
        SetTopInt(0);
}

} // namespace

void RunObjectLoops() {
    EventRunState* s = State();
    if (!s) return;
    // Loops gathered by the events these loops run are run by those events' own deferred routine.
    std::vector<ObjectLoop> loops = std::exchange(s->objectLoops, {});
    const ObjectLoop* savedCurrent = s->currentObjectLoop;
    const ObjectLoop* savedSecond = s->secondObjectLoop;
    for (std::size_t i = 0; i < loops.size();) {
        ObjectLoop* partner =
            i + 1 < loops.size() && win32::EqualsIgnoringCase(loops[i + 1].name, loops[i].name)
                ? &loops[i + 1]
                : nullptr;
        RunLoop(s, loops[i], partner);
        if (partner) RunLoop(s, *partner, &loops[i]);
        i += partner ? 2 : 1;
    }
    s->currentObjectLoop = savedCurrent;
    s->secondObjectLoop = savedSecond;
}

void InstallObjectLoopRoutines() {
    SetCommonActionRoutine(76, AddToLoop);
    SetCommonActionRoutine(77, AddToPairLoop);
    SetCommonConditionRoutine(ConditionOnObjectLoop, OnObjectLoop, OnObjectLoopRaised);
    SetCommonExpressionRoutine(34, ObjectLoopIndex);
}

} // namespace vtrrt
