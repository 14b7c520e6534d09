#include "event_frame.h"

namespace eventruns {

namespace {

EventRunState* State() {
    return CurrentEventState();
}

void Note(std::int32_t value) {
    EventRunState* s = State();
    const bool inLoop =
        s && s->currentLoop >= 0 && static_cast<std::size_t>(s->currentLoop) < s->loops.size();
    Log().push_back({value, s ? s->run->loopCount : 0,
                     inLoop ? s->loops[static_cast<std::size_t>(s->currentLoop)].name : u"",
                     s ? s->eventParameter1 : 0});
}

void RecordValue(std::uint8_t* record) {
    Note(GetIntParameter(ParameterAt(record, 0)));
}

int SwitchOn(std::uint8_t* record) {
    return switches[GetIntParameter(ParameterAt(record, 0)) & 7] ? 1 : 0;
}

int RaisedHolds(std::uint8_t*, RunObject*) {
    return 1;
}
int NeverHolds(std::uint8_t*) {
    return 0;
}

void PushSelf(std::uint8_t*) {
    PushEvent(RaiseSystemConditionWithCode, EventCodeOf(TypeSpecial, -101), 0, nullptr, 0);
}
void PushOther(std::uint8_t*) {
    PushEvent(RaiseSystemConditionWithCode, EventCodeOf(TypeSpecial, -102), 0, nullptr, 0);
}

void RecordObject(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) Note(o->handle);
}
void RecordObjectOrNone(std::uint8_t* record) {
    RunObject* o = ActionObjectOf(record);
    Note(o ? o->handle : -1);
}
void RecordImmediate(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) Note(1000 * GetI16(record + RecordNumber) + o->handle);
}

template <bool (*Test)(const RunObject*, std::int32_t)> int OverSelection(std::uint8_t* record) {
    const std::int32_t n = GetIntParameter(ParameterAt(record, 0));
    return FilterSelection(
               GetU16(record + RecordResolved), false,
               [](RunObject* o, void* value) { return Test(o, *static_cast<std::int32_t*>(value)); },
               const_cast<std::int32_t*>(&n))
               ? 1
               : 0;
}
template <bool (*Test)(const RunObject*, std::int32_t)> int OneObject(std::uint8_t* record, RunObject* o) {
    if (!o || !Test(o, GetIntParameter(ParameterAt(record, 0)))) return 0;
    AddObjectToSelection(o);
    return 1;
}
bool XIsBelow(const RunObject* o, std::int32_t n) {
    return o->x < n;
}
bool XIsAtLeast(const RunObject* o, std::int32_t n) {
    return o->x >= n;
}
bool YIsBelow(const RunObject* o, std::int32_t n) {
    return o->y < n;
}

int ImmediateOnly(std::uint8_t*, RunObject* o) {
    if (EventRunState* s = State()) s->immediateOnly = 1;
    AddObjectToSelection(o);
    return 1;
}

// Raised object conditions: the number, the object and the event's parameters.
template <std::int16_t Number> int RaisedObject(std::uint8_t*, RunObject* o) {
    EventRunState* s = State();
    Log().push_back({-Number * 1000 + o->handle, s->run->loopCount, u"",
                     Number == -14 ? s->eventParameter1 * 1000 + s->otherObject : s->eventParameter1});
    AddObjectToSelection(o);
    return 1;
}

} // namespace

void InstallTestRoutines() {
    SetActionRoutine(TypeSpecial, RecordAction, RecordValue);
    SetActionRoutine(TypeSpecial, PushSelfAction, PushSelf);
    SetActionRoutine(TypeSpecial, PushOtherAction, PushOther);
    SetConditionRoutine(TypeSpecial, SwitchCondition, SwitchOn, nullptr);
    SetConditionRoutine(TypeSpecial, -101, NeverHolds, RaisedHolds);
    SetConditionRoutine(TypeSpecial, -102, NeverHolds, RaisedHolds);
    for (std::int16_t type = 2; type <= 7; ++type) {
        SetActionRoutine(type, RecordObjectAction, RecordObject);
        SetActionRoutine(type, RecordObjectOrNoneAction, RecordObjectOrNone);
    }
    SetCommonActionRoutine(4, RecordImmediate);
    SetCommonActionRoutine(9, RecordImmediate);
    SetCommonConditionRoutine(XBelow, OverSelection<XIsBelow>, OneObject<XIsBelow>);
    SetCommonConditionRoutine(XAtLeast, OverSelection<XIsAtLeast>, OneObject<XIsAtLeast>);
    SetCommonConditionRoutine(YBelow, OverSelection<YIsBelow>, OneObject<YIsBelow>);
    SetCommonConditionRoutine(ImmediateOnlyCondition, NeverHolds, ImmediateOnly);
    SetCommonConditionRoutine(-11, NeverHolds, RaisedObject<-11>);
    SetCommonConditionRoutine(-12, NeverHolds, RaisedObject<-12>);
    SetCommonConditionRoutine(-13, NeverHolds, RaisedObject<-13>);
    SetCommonConditionRoutine(-14, NeverHolds, RaisedObject<-14>);
    SetCommonConditionRoutine(-33, NeverHolds, RaisedObject<-33>);
}

} // namespace eventruns
