#include "events/event_evaluation.h"

#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_preparation.h"
#include "events/selection.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"

#include <algorithm>
#include <new>
#include <utility>

namespace vtrrt {

namespace {

constexpr std::int16_t ConditionStartOfFrame = -1; // of the storyboard
constexpr std::int16_t ConditionTimerLess = -2;
constexpr std::int16_t ConditionTimerGreater = -1;
constexpr std::int16_t ConditionOnTimedEvent = -6;
constexpr std::int16_t ActionNumberCreate = 4;
constexpr std::int16_t ActionNumberDestroy = 9;
constexpr std::uint8_t RecordSkippedStart = RecordSkipInRestart;
// Pushes made by the events of a pushed event, and so on: a chain longer than this is dropped, so that an
// event that pushes itself again cannot hold the loop.
constexpr std::int32_t MaxPushChain = 64;
// A repeated timer catching up runs at most this many times a loop; the rest waits for the next loops.
constexpr std::int32_t MaxTimerFiringsPerLoop = 1000;

bool Prepared(const EventRunState* s) {
    return s->events && s->events->prepared && !s->events->program.empty();
}

std::int16_t RecordTypeOf(const std::uint8_t* r) {
    return GetI16(r + RecordType);
}
std::int16_t RecordNumberOf(const std::uint8_t* r) {
    return GetI16(r + RecordNumber);
}

bool EvaluateCondition(std::uint8_t* r) {
    return ConditionDispatchOf(RecordTypeOf(r))(r) != 0;
}
bool EvaluateConditionFor(std::uint8_t* r, RunObject* o) {
    return ConditionOnObjectDispatchOf(RecordTypeOf(r))(r, o) != 0;
}

bool IsOrSeparator(const std::uint8_t* r) {
    const std::int16_t n = RecordNumberOf(r);
    return RecordTypeOf(r) == TypeSpecial && (n == ConditionFilteredOr || n == ConditionLogicalOr);
}

// The records of a group as the preparation checked them.
struct GroupRecords {
    std::uint8_t* group;
    int conditions;
    int actions;

    explicit GroupRecords(std::uint8_t* g)
        : group(g), conditions(g[GroupConditionCount]), actions(g[GroupActionCount]) {}
    std::uint8_t* End() const { return group - GetI16(group); }
    std::uint8_t* First() const {
        return conditions + actions > 0 ? Fits(group + GroupHeaderBytes) : nullptr;
    }
    std::uint8_t* Next(std::uint8_t* r) const { return Fits(r + GetI16(r)); }
    std::uint8_t* Fits(std::uint8_t* r) const {
        if (r + ActionHeaderBytes > End()) return nullptr;
        const std::int16_t size = GetI16(r);
        return size >= static_cast<std::int16_t>(ActionHeaderBytes) && r + size <= End() ? r : nullptr;
    }
    // The first action, or null.
    std::uint8_t* FirstAction() const {
        if (actions == 0) return nullptr;
        std::uint8_t* r = First();
        for (int i = 0; r && i < conditions; ++i)
            r = Next(r);
        return r;
    }
    // The index of a condition record of the group, or -1.
    int IndexOf(const std::uint8_t* record) const {
        std::uint8_t* r = First();
        for (int i = 0; r && i < conditions; ++i, r = Next(r))
            if (r == record) return i;
        return -1;
    }
};

std::uint16_t FlagsOf(const std::uint8_t* g) {
    return GetU16(g + GroupFlags);
}

void ClearTouchedTypes(EventRunState* s) {
    std::fill(std::begin(s->touchedTypes), std::end(s->touchedTypes), 0u);
}

std::uint8_t& OrFlagOf(EventRunState* s, const RunObject* o) {
    static std::uint8_t none = 0;
    const auto h = static_cast<std::size_t>(o->handle);
    return h < s->orFlags.size() ? s->orFlags[h] : none;
}

std::int32_t EntryCount(const EventRunState* s) {
    return std::min<std::int32_t>(s->run->objectInfoCount, static_cast<std::int32_t>(s->selections.size()));
}

// The objects a block of an or group left selected are flagged, whether the block held or not.
void FlagOrBlockSelection(EventRunState* s) {
    for (std::int32_t i = 0; i < EntryCount(s); ++i) {
        SelectionEntry& sel = s->selections[static_cast<std::size_t>(i)];
        if (sel.stamp != s->eventStamp) continue;
        if (sel.orStamp != s->orCounter) {
            sel.orStamp = s->orCounter;
            for (const std::int16_t h : InstancesOf(i))
                if (RunObject* o = ObjectOfHandle(h)) OrFlagOf(s, o) = 0;
        }
        for (const std::int16_t h : sel.objects)
            if (RunObject* o = h != DroppedObject ? ObjectOfHandle(h) : nullptr) OrFlagOf(s, o) = 1;
    }
}

// The flagged objects of every block become the selections, in instance order.
void SelectOrFlaggedObjects(EventRunState* s) {
    for (std::int32_t i = 0; i < EntryCount(s); ++i) {
        SelectionEntry& sel = s->selections[static_cast<std::size_t>(i)];
        if (sel.orStamp != s->orCounter) continue;
        sel.stamp = s->eventStamp;
        sel.objects.clear();
        sel.gaps = false;
        for (const std::int16_t h : InstancesOf(i))
            if (RunObject* o = ObjectOfHandle(h); o && OrFlagOf(s, o)) sel.objects.push_back(h);
        sel.count = static_cast<std::int32_t>(sel.objects.size());
    }
}

void EvaluatePlainGroup(EventRunState* s, const GroupRecords& g, RunObject* object, bool raised) {
    RaiseEventStamp();
    s->emptyWhenStale = 0;
    std::uint8_t* r = g.First();
    if (!r) return;
    if (g.conditions == 0) {
        RunEventActions(r);
        return;
    }
    bool holds = raised ? EvaluateConditionFor(r, object) : EvaluateCondition(r);
    for (int i = 1; holds; ++i) {
        r = g.Next(r);
        if (!r) return;
        if (i >= g.conditions) {
            if (!s->immediateOnly)
                RunEventActions(r);
            else if (object)
                RunImmediateActions(r, object);
            return;
        }
        holds = EvaluateCondition(r);
    }
}

// The blocks of an or group are the pairs [first, end) that name it.
void EvaluateOrGroup(EventRunState* s, const GroupRecords& g, const std::int32_t* first,
                     const std::int32_t* end, RunObject* object, bool raised) {
    const bool logical = FlagsOf(g.group) & GroupLogicalOr;
    ++s->orCounter;
    if (logical) s->emptyWhenStale = 0;
    bool holds = false;
    for (const std::int32_t* p = first; p < end; p += 2) {
        std::uint8_t* r = ProgramAt(p[1]);
        int i = r ? g.IndexOf(r) : -1;
        if (i < 0) continue;
        RaiseEventStamp();
        if (!logical) s->emptyWhenStale = 0;
        bool all = true;
        for (bool listed = true; r && i < g.conditions && (listed || !IsOrSeparator(r)); ++i, r = g.Next(r)) {
            const bool result = listed && raised ? EvaluateConditionFor(r, object) : EvaluateCondition(r);
            listed = false;
            if (result) continue;
            all = false;
            if (logical) break;
            s->emptyWhenStale = 1;
        }
        if (logical) {
            if (!all) continue;
            FlagOrBlockSelection(s);
            holds = true;
        } else {
            FlagOrBlockSelection(s);
            if (s->emptyWhenStale == 0) holds = true;
        }
    }
    if (!holds) return;
    RaiseEventStamp();
    SelectOrFlaggedObjects(s);
    if (std::uint8_t* action = g.FirstAction()) RunEventActions(action);
}

bool ActionNamesObject(EventRunState* s, const std::uint8_t* r, const RunObject* o) {
    const std::uint16_t handle = GetU16(r + RecordObjectInfo);
    if (!(handle & QualifierBit)) return static_cast<std::int16_t>(handle) == o->objectInfo;
    if (!s->events) return false;
    const std::int16_t* m = QualifierMembers(*s->events, GetU16(r + RecordResolved));
    for (; m && m[0] >= 0; m += 2)
        if (m[0] == o->objectInfo) return true;
    return false;
}

// The action state of a run of actions, restored when it ends, so that actions may run the actions of other
// groups (a fast loop, a condition raised by an action) and go on with their own objects afterwards.
struct ActionRunScope {
    explicit ActionRunScope(EventRunState* state)
        : s(state), action(s->currentAction), stamp(s->actionStamp), pass(s->repeatPass),
          request(s->repeatRequest), pending(s->actionPending) {
        s->actionStamp = ++s->actionStampCounter;
        s->repeatPass = 0;
        s->repeatRequest = 0;
        s->actionPending = 1;
    }
    ~ActionRunScope() {
        s->currentAction = action;
        s->actionStamp = stamp;
        s->repeatPass = pass;
        s->repeatRequest = request;
        s->actionPending = pending;
    }
    ActionRunScope(const ActionRunScope&) = delete;
    ActionRunScope& operator=(const ActionRunScope&) = delete;

    EventRunState* s;
    std::uint8_t* action;
    std::int32_t stamp, pass;
    std::uint8_t request, pending;
};

// Whether the group's flow flags let its actions run now; updates the group's counters.
bool FlowAllowsActions(EventRunState* s, std::uint8_t* g) {
    const std::uint16_t flags = FlagsOf(g);
    const std::int32_t counterA = GetI32(g + GroupCounterA);
    if (flags & GroupOnlyOnce) {
        const auto loop = static_cast<std::int32_t>(s->run->loopCount);
        PutI32(g + GroupCounterA, loop);
        if (counterA == loop || counterA == loop - 1) return false;
    }
    if (flags & GroupCounted) {
        const std::int32_t left = GetI32(g + GroupCounterB);
        if (left == 0) return false;
        PutI32(g + GroupCounterB, left - 1);
    }
    if (flags & GroupTimed) {
        const auto t = static_cast<std::uint32_t>(s->run->frameClock) / 10;
        const auto next = static_cast<std::uint32_t>(GetI32(g + GroupCounterB));
        if (next != 0 && t < next) return false;
        PutI32(g + GroupCounterB, static_cast<std::int32_t>(t + static_cast<std::uint32_t>(counterA)));
    }
    return true;
}

void ReserveSnapshots(EventRunState* s) {
    const auto bytes = static_cast<std::size_t>(std::max(s->run->maxObjects, 0)) * sizeof(std::int32_t);
    s->snapshotBase = static_cast<std::int32_t*>(TakeScratch(bytes));
    s->snapshotCursor = s->snapshotBase;
    s->snapshotCount = 0;
}

void ForEachActionOfGroups(EventRunState* s, const std::int32_t* list, void (*f)(std::uint8_t* action)) {
    for (const std::int32_t* p = list; p && *p != -1; p += 2) {
        std::uint8_t* g = ProgramAt(p[0]);
        if (!g) continue;
        const GroupRecords records(g);
        std::uint8_t* r = records.FirstAction();
        for (int i = 0; r && i < records.actions; ++i, r = records.Next(r))
            f(r);
    }
    (void)s;
}

void RunList(std::int16_t type, std::int16_t number, bool raised) {
    if (const std::int32_t* list = SystemList(type, number)) HandleTriggeredEvents(list, nullptr, raised);
}

std::int32_t EntryIndexOf(const EventRunState* s, const RunObject* o) {
    if (!o->objectInfoEntry || !s->run->objectInfos) return -1;
    const std::ptrdiff_t i = o->objectInfoEntry - s->run->objectInfos;
    return i >= 0 && i < s->run->objectInfoCount ? static_cast<std::int32_t>(i) : -1;
}

void RaiseTimedEvent(EventRunState* s, const std::u16string& name, std::int32_t index) {
    s->timedEventName = &name;
    s->timedEventIndex = index;
    s->eventParameter1 = 0;
    s->eventParameter2 = index;
    RunList(TypeTimer, ConditionOnTimedEvent, true);
    s->timedEventName = nullptr;
}

} // namespace

std::uint8_t* ProgramAt(std::int32_t offset) {
    EventRunState* s = State();
    if (!s || !s->events || offset < 0) return nullptr;
    std::vector<std::uint8_t>& program = s->events->program;
    if (static_cast<std::size_t>(offset) + GroupHeaderBytes > program.size()) return nullptr;
    return program.data() + offset;
}

std::uint8_t* NextGroup(std::uint8_t* group) {
    EventRunState* s = State();
    if (!s || !s->events || !group) return nullptr;
    std::vector<std::uint8_t>& program = s->events->program;
    const std::int16_t size = GetI16(group);
    if (size >= 0) return nullptr;
    const std::ptrdiff_t next = (group - program.data()) - size;
    if (next < 0 || static_cast<std::size_t>(next) + GroupHeaderBytes > program.size()) return nullptr;
    std::uint8_t* g = program.data() + next;
    return GetI16(g) < 0 ? g : nullptr;
}

std::uint8_t* GroupRecord(std::uint8_t* group, int n) {
    if (!group) return nullptr;
    const GroupRecords g(group);
    if (n < 0 || n >= g.conditions + g.actions) return nullptr;
    std::uint8_t* r = g.First();
    for (int i = 0; r && i < n; ++i)
        r = g.Next(r);
    return r;
}

const std::int32_t* SystemList(std::int16_t type, std::int16_t number) {
    EventRunState* s = State();
    if (!s || !s->events) return nullptr;
    const std::int32_t* list = SystemConditionList(*s->events, type, number);
    return list && *list != -1 ? list : nullptr;
}

void HandleTriggeredEvents(const std::int32_t* list, RunObject* object, bool raised) {
    EventRunState* s = State();
    if (!s || !list || !Prepared(s)) return;
    s->immediateOnly = 0;
    std::uint8_t* const savedGroup = s->currentGroup;
    for (const std::int32_t* p = list; *p != -1;) {
        const std::int32_t groupOffset = p[0];
        const std::int32_t* end = p + 2;
        while (*end == groupOffset)
            end += 2;
        std::uint8_t* g = ProgramAt(groupOffset);
        const std::uint16_t flags = g ? FlagsOf(g) : GroupInactive;
        if (!(flags & GroupInactive)) {
            s->currentGroup = g;
            ClearTouchedTypes(s);
            const GroupRecords records(g);
            if (flags & GroupHasOr) {
                EvaluateOrGroup(s, records, p, end, object, raised);
            } else {
                // A plain group is listed once per list; its pairs are taken one by one.
                end = p + 2;
                EvaluatePlainGroup(s, records, object, raised);
            }
        }
        p = end;
    }
    s->currentGroup = savedGroup;
}

void RunGroupPastFirstCondition(std::uint8_t* group) {
    EventRunState* s = State();
    if (!s || !group || (FlagsOf(group) & GroupInactive)) return;
    RaiseEventStamp();
    s->currentGroup = group;
    ClearTouchedTypes(s);
    s->emptyWhenStale = 0;
    s->immediateOnly = 0;
    const GroupRecords g(group);
    std::uint8_t* r = g.First();
    for (int i = 1; r; ++i) {
        r = g.Next(r);
        if (!r) return;
        if (i >= g.conditions) {
            RunEventActions(r);
            return;
        }
        if (!EvaluateCondition(r)) return;
    }
}

namespace {
// The routines of a group's actions, found once for the run of the actions and its repeat passes instead of
// at every call; an action whose routine is not known here goes through the dispatch at every call.
class ResolvedActions {
public:
    ResolvedActions(const GroupRecords& records, std::uint8_t* first) {
        std::uint8_t* r = first;
        for (int i = 0; r && i < records.actions && i < Kept; ++i, r = records.Next(r))
            routines_[i] = ResolvedActionRoutine(r);
    }
    bool Known(int i) const { return i < Kept && routines_[i]; }
    void Run(EventRunState* s, int i, std::uint8_t* r) const {
        s->currentAction = r;
        if (i < Kept && routines_[i])
            routines_[i](r);
        else
            ActionDispatchOf(RecordTypeOf(r))(r);
    }

private:
    static constexpr int Kept = 32;
    ActionRoutine routines_[Kept] = {};
};

// The object info whose walk decides the repeat passes, when every action asking for another pass acts on
// it and its routine is known: the passes then step its walk once each and hand the object to the actions
// directly. -1 otherwise.
std::int32_t DrivenEntry(const GroupRecords& records, std::uint8_t* first, const ResolvedActions& routines) {
    std::int32_t entry = -1;
    std::uint8_t* r = first;
    for (int i = 0; r && i < records.actions; ++i, r = records.Next(r)) {
        if (!(r[RecordRunFlags] & RecordRepeat) || (r[RecordRunFlags] & RecordDisabled)) continue;
        const std::uint16_t ref = GetU16(r + RecordResolved);
        if (!routines.Known(i) || (ref & QualifierBit) || (entry >= 0 && ref != entry)) return -1;
        entry = ref;
    }
    return entry;
}

void DrivePass(EventRunState* s, std::int32_t entry) {
    bool more = false;
    RunObject* o = entry >= 0 ? StepActionWalkOf(entry, &more) : nullptr;
    s->passEntry = o ? entry : -1;
    s->passStamp = s->actionStamp;
    s->passNumber = s->repeatPass;
    s->passObject = o ? o->handle : -1;
    s->passMore = more;
}
} // namespace

void RunEventActions(std::uint8_t* first) {
    EventRunState* s = State();
    if (!s || !first || !s->currentGroup) return;
    std::uint8_t* g = s->currentGroup;
    if (FlagsOf(g) & GroupHasSwap) ReserveSnapshots(s);
    if (!FlowAllowsActions(s, g)) return;
    const GroupRecords records(g);
    {
        ActionRunScope scope(s);
        std::uint8_t* r = first;
        for (int i = 0; r && i < records.actions; ++i, r = records.Next(r)) {
            if (r[RecordRunFlags] & (RecordDisabled | RecordSkippedStart)) continue;
            r[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordRepeat);
            s->currentAction = r;
            ActionDispatchOf(RecordTypeOf(r))(r);
        }
        // Repeat passes, one for each further object: the routines are found once for all of them.
        if (s->repeatRequest) {
            const ResolvedActions routines(records, first);
            const std::int32_t driven = DrivenEntry(records, first, routines);
            while (s->repeatRequest) {
                s->repeatRequest = 0;
                ++s->repeatPass;
                DrivePass(s, driven);
                r = first;
                for (int i = 0; r && i < records.actions; ++i, r = records.Next(r)) {
                    if (!(r[RecordRunFlags] & RecordRepeat) || (r[RecordRunFlags] & RecordDisabled)) continue;
                    r[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordRepeat);
                    routines.Run(s, i, r);
                }
            }
            s->passEntry = -1;
        }
        s->actionPending = 0;
    }
    if (void (*after)() = std::exchange(s->afterActions, nullptr)) after();
}

void RunImmediateActions(std::uint8_t* first, RunObject* object) {
    EventRunState* s = State();
    if (!s || !first || !object || !s->currentGroup) return;
    RaiseEventStamp();
    AddObjectToSelection(object);
    const GroupRecords records(s->currentGroup);
    ActionRunScope scope(s);
    std::uint8_t* r = first;
    for (int i = 0; r && i < records.actions; ++i, r = records.Next(r)) {
        const std::int16_t n = RecordNumberOf(r);
        if ((n == ActionNumberCreate || n == ActionNumberDestroy) && ActionNamesObject(s, r, object))
            ActionDispatchOf(RecordTypeOf(r))(r);
    }
}

void TriggerSystemCondition(std::int32_t code) {
    RunList(EventCodeType(code), EventCodeNumber(code), true);
}

void RaiseSystemConditionWithCode(RunObject*, std::int32_t code) {
    EventRunState* s = State();
    if (!s) return;
    s->eventObjectInfo = 0;
    s->eventCode = code;
    s->otherObject = -1;
    RunList(EventCodeType(code), EventCodeNumber(code), true);
}

void TriggerObjectCondition(RunObject* object, std::int32_t code) {
    EventRunState* s = State();
    if (!s || !object || !s->events) return;
    s->eventCode = code;
    const std::int32_t entry = EntryIndexOf(s, object);
    if (entry < 0) return;
    const std::int32_t* list = ObjectConditionList(*s->events, entry, EventCodeNumber(code));
    if (list && *list != -1) HandleTriggeredEvents(list, object, true);
}

void RunTimeBasedEvents() {
    EventRunState* s = State();
    if (!s || !Prepared(s)) return;
    if (s->run->runFlags & RunFadeInPending) {
        if (!s->startOfFrameDone) {
            s->startOfFrameDone = true;
            s->startRanEarly = 1;
            RunList(TypeStoryboard, ConditionStartOfFrame, false);
        }
        return;
    }
    RunList(TypeTimer, ConditionTimerReached, true);
    if (!s->startOfFrameDone) {
        s->startOfFrameDone = true;
        if (const std::int32_t* list = SystemList(TypeStoryboard, ConditionStartOfFrame)) {
            // After a fade-in the start of the frame runs again for the actions that found no object before.
            if (s->startRanEarly)
                ForEachActionOfGroups(s, list, [](std::uint8_t* a) {
                    if (!(a[RecordRunFlags] & RecordNoObjectFound)) a[RecordRunFlags] |= RecordSkippedStart;
                });
            HandleTriggeredEvents(list, nullptr, false);
            ForEachActionOfGroups(s, list, [](std::uint8_t* a) {
                a[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordSkippedStart);
            });
        }
        s->startRanEarly = 0;
    }
    RunList(TypeTimer, ConditionTimerLess, false);
    RunList(TypeTimer, ConditionTimerGreater, false);
}

void FireScheduledTimers() {
    EventRunState* s = State();
    if (!s || s->timedEvents.empty()) return;
    const auto now = static_cast<std::uint32_t>(s->run->frameClock);
    // Events raised here may start timers, which the list takes at its end: entries are found by position.
    for (std::size_t i = 0; i < s->timedEvents.size(); ++i) {
        if (s->timedEvents[i].done || now < s->timedEvents[i].due) continue;
        const std::u16string name = s->timedEvents[i].name;
        if (!s->timedEvents[i].repeating) {
            s->timedEvents[i].done = true;
            RaiseTimedEvent(s, name, 0);
            continue;
        }
        if (s->timedEvents[i].next == 0) s->timedEvents[i].next = now;
        for (std::int32_t fired = 0; fired < MaxTimerFiringsPerLoop; ++fired) {
            TimedEvent& t = s->timedEvents[i];
            if (t.done || now < t.next) break;
            const std::int32_t index = t.runIndex++;
            // A timer that would fire again at once fires once and ends.
            if (--t.remaining == 0 || t.interval <= 0)
                t.done = true;
            else
                t.next += static_cast<std::uint32_t>(t.interval);
            RaiseTimedEvent(s, name, index);
        }
    }
    std::erase_if(s->timedEvents, [](const TimedEvent& t) { return t.done; });
}

void RunEveryLoopEvents() {
    EventRunState* s = State();
    if (!s || !Prepared(s) || (s->run->runFlags & RunFadeInPending)) return;
    const std::vector<std::int32_t>& list = s->events->everyLoopList;
    if (list.size() > 1) HandleTriggeredEvents(list.data(), nullptr, false);
}

void PushEvent(PushedRoutine routine, std::int32_t code, std::int32_t parameter, RunObject* object,
               std::int16_t value) {
    EventRunState* s = State();
    if (!s || !routine) return;
    try {
        s->pushed.push_back({routine, code, parameter, object, object ? object->handle : std::int16_t{-1},
                             object ? object->creationNumber : std::uint16_t{0}, value,
                             s->flushGeneration + 1});
    } catch (const std::bad_alloc&) {
    }
}

bool HasPushedEvents() {
    EventRunState* s = State();
    return s && !s->pushed.empty();
}

void FlushPushedEvents() {
    EventRunState* s = State();
    if (!s) return;
    const std::int32_t savedGeneration = s->flushGeneration;
    while (!s->pushed.empty()) {
        const PushedEvent e = s->pushed.front();
        s->pushed.pop_front();
        if (e.code == 0 || e.generation > MaxPushChain) continue;
        // An object destroyed since the push is not handed on.
        if (e.object &&
            (ObjectOfHandle(e.handle) != e.object || e.object->creationNumber != e.creationNumber))
            continue;
        s->eventParameter1 = e.parameter;
        s->eventObjectInfo = e.value;
        s->flushGeneration = e.generation;
        e.routine(e.object, e.code);
    }
    s->flushGeneration = savedGeneration;
}

std::int32_t RandomBelow(std::int32_t n) {
    FrameRunState* run = CurrentRunState();
    if (!run) return 0;
    run->randomSeed = static_cast<std::uint16_t>(run->randomSeed * 31415u + 1u);
    return static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(n)) * run->randomSeed) >> 16);
}

} // namespace vtrrt
