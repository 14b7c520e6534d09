#include "events/selection.h"

#include "core/frame_run_state.h"
#include "events/event_preparation.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"

#include <array>

namespace vtrrt {

namespace {

constexpr std::int16_t EndOfChain = -1;
constexpr std::size_t CollisionListEntries = 128;
constexpr std::size_t CollisionListFull = 127;

// A one-member list standing for a single object info, so that one walk serves both.
struct MemberList {
    std::array<std::int16_t, 4> single{};
    const std::int16_t* members = nullptr;
};

// Selections index the run state's object-info list: without one there is nothing to select.
EventRunState* StateWithObjectInfos() {
    EventRunState* s = State();
    return s && s->run->objectInfos ? s : nullptr;
}

bool ValidIndex(const EventRunState* s, std::int32_t index) {
    return index >= 0 && index < s->run->objectInfoCount &&
           static_cast<std::size_t>(index) < s->selections.size();
}

ObjectInfoRunEntry& Entry(EventRunState* s, std::int32_t index) {
    return s->run->objectInfos[index];
}

bool IsCurrent(const EventRunState* s, std::int32_t index) {
    return s->selections[static_cast<std::size_t>(index)].stamp == s->eventStamp;
}

RunObject* Head(EventRunState* s, std::int32_t index) {
    return ObjectOfHandle(Entry(s, index).firstSelected);
}

RunObject* FirstInstance(EventRunState* s, std::int32_t index) {
    return ObjectOfHandle(Entry(s, index).firstInstance);
}

std::int32_t IndexOfObject(EventRunState* s, const RunObject* o) {
    if (!o->objectInfoEntry) return -1;
    const std::ptrdiff_t i = o->objectInfoEntry - s->run->objectInfos;
    return ValidIndex(s, static_cast<std::int32_t>(i)) ? static_cast<std::int32_t>(i) : -1;
}

// Members of a reference: a qualifier's list, or the object info alone; false when it names nothing.
bool MembersOf(EventRunState* s, std::uint16_t ref, MemberList& list) {
    if (ref == NoObjectInfo) return false;
    if (ref & QualifierBit) {
        if (!s->events) return false;
        list.members = QualifierMembers(*s->events, ref);
        return list.members != nullptr;
    }
    if (!ValidIndex(s, ref)) return false;
    list.single = {Entry(s, ref).handle, static_cast<std::int16_t>(ref), -1, -1};
    list.members = list.single.data();
    return true;
}

// Member pairs end with a negative handle; an index outside the table is passed over.
template <typename F> void ForEachMember(EventRunState* s, const std::int16_t* m, F&& f) {
    for (; m && m[0] >= 0; m += 2) {
        const std::int32_t index = static_cast<std::uint16_t>(m[1]);
        if (ValidIndex(s, index) && !f(index, m)) return;
    }
}

// Whether the object belongs to the object info, or to a member of the qualifier, of a reference.
bool ReferenceHolds(EventRunState* s, std::uint16_t ref, const RunObject* o) {
    MemberList list;
    const std::int32_t index = IndexOfObject(s, o);
    if (index < 0 || !MembersOf(s, ref, list)) return false;
    bool found = false;
    ForEachMember(s, list.members, [&](std::int32_t member, const std::int16_t*) {
        found = member == index;
        return !found;
    });
    return found;
}

// Chains are bounded by the number of slots, so that a damaged link cannot loop forever.
template <typename F> void ForEachInChain(EventRunState* s, RunObject* o, bool selected, F&& f) {
    for (std::int32_t guard = 0; o && guard < s->run->maxObjects; ++guard) {
        RunObject* next = ObjectOfHandle(selected ? o->nextSelected : o->nextInstance);
        if (!f(o)) return;
        o = next;
    }
}

void Stamp(EventRunState* s, std::int32_t index) {
    s->selections[static_cast<std::size_t>(index)].stamp = s->eventStamp;
}

void Empty(EventRunState* s, std::int32_t index) {
    Stamp(s, index);
    Entry(s, index).firstSelected = EndOfChain;
    s->selections[static_cast<std::size_t>(index)].count = 0;
}

// A stale selection becomes current: empty under empty-when-stale, else every instance.
void ResetStale(EventRunState* s, std::int32_t index) {
    if (IsCurrent(s, index)) return;
    Empty(s, index);
    if (s->emptyWhenStale) return;
    std::int16_t* link = &Entry(s, index).firstSelected;
    std::int32_t count = 0;
    ForEachInChain(s, FirstInstance(s, index), false, [&](RunObject* o) {
        *link = o->handle;
        link = &o->nextSelected;
        ++count;
        return true;
    });
    *link = EndOfChain;
    s->selections[static_cast<std::size_t>(index)].count = count;
}

RunObject* StartEntryWalk(EventRunState* s, std::int32_t index) {
    s->cursorEntry = index;
    s->cursorLink = &Entry(s, index).firstSelected;
    s->cursorDropped = false;
    s->cursorObject = ObjectOfHandle(*s->cursorLink);
    return s->cursorObject;
}

// Moves the cursor to the next object of its chain; null at the chain's end.
RunObject* StepCursor(EventRunState* s) {
    if (!s->cursorObject) return nullptr;
    if (!s->cursorDropped) s->cursorLink = &s->cursorObject->nextSelected;
    s->cursorDropped = false;
    s->cursorObject = ObjectOfHandle(*s->cursorLink);
    return s->cursorObject;
}

bool HasCurrentSelection(EventRunState* s, std::int32_t index) {
    return IsCurrent(s, index) && Head(s, index);
}

void TouchType(EventRunState* s, std::int16_t type) {
    if (type < 0) return;
    s->touchedTypes[(type & 127) >> 5] |= 1u << (type & 31);
}

bool TypeConcerned(const ObjectInfoRunEntry& e, std::int16_t type, std::int16_t all) {
    return type == all || e.objectType == type;
}

// --- action walks over a member list ---

struct WalkPosition {
    const std::int16_t* member = nullptr;
    RunObject* object = nullptr;
};

RunObject* FirstOfMember(EventRunState* s, std::int32_t index, bool selected) {
    if (selected) return HasCurrentSelection(s, index) ? Head(s, index) : nullptr;
    return FirstInstance(s, index);
}

WalkPosition FirstFrom(EventRunState* s, const std::int16_t* m, bool selected) {
    WalkPosition p;
    ForEachMember(s, m, [&](std::int32_t index, const std::int16_t* at) {
        if (RunObject* o = FirstOfMember(s, index, selected)) {
            p = {at, o};
            return false;
        }
        return true;
    });
    return p;
}

WalkPosition Successor(EventRunState* s, WalkPosition at, bool selected) {
    if (RunObject* n = ObjectOfHandle(selected ? at.object->nextSelected : at.object->nextInstance))
        return {at.member, n};
    return FirstFrom(s, at.member + 2, selected);
}

const std::int16_t* MemberAt(const std::int16_t* members, std::int32_t position) {
    return members + 2 * position;
}

RunObject* WalkActionObject(EventRunState* s, ActionWalk& w, std::int32_t& nextMember,
                            const std::int16_t* members, bool* more) {
    *more = false;
    if (w.actionStamp == s->actionStamp && w.repeatPass == s->repeatPass) {
        *more = w.more != 0;
        return ObjectOfHandle(w.current);
    }
    if (w.actionStamp == s->actionStamp) {
        w.repeatPass = s->repeatPass;
        if (w.step == WalkStep::None) {
            *more = w.more != 0;
            return nullptr;
        }
        if (w.step == WalkStep::SameObject) {
            *more = w.more != 0;
            return ObjectOfHandle(w.current);
        }
        const bool selected = w.step == WalkStep::NextSelected;
        RunObject* o = ObjectOfHandle(w.next);
        if (!o) {
            w.step = WalkStep::None;
            w.current = -1;
            w.more = 0;
            return nullptr;
        }
        w.current = o->handle;
        WalkPosition n = Successor(s, {MemberAt(members, nextMember), o}, selected);
        if (!n.object) {
            n = FirstFrom(s, members, selected);
            w.more = 0;
        }
        w.next = n.object ? n.object->handle : -1;
        nextMember = n.member ? static_cast<std::int32_t>((n.member - members) / 2) : 0;
        *more = w.more != 0;
        return o;
    }
    w.actionStamp = s->actionStamp;
    w.repeatPass = s->repeatPass;
    bool anyCurrent = false;
    ForEachMember(s, members, [&](std::int32_t index, const std::int16_t*) {
        anyCurrent = anyCurrent || IsCurrent(s, index);
        return !anyCurrent;
    });
    bool selected = true;
    WalkPosition first = FirstFrom(s, members, true);
    if (!first.object) {
        selected = false;
        first = (anyCurrent && s->emptyMeansNone) ? WalkPosition{} : FirstFrom(s, members, false);
    }
    if (!first.object) {
        w.step = WalkStep::None;
        w.current = -1;
        w.more = 0;
        return nullptr;
    }
    w.current = first.object->handle;
    const WalkPosition n = Successor(s, first, selected);
    if (n.object) {
        w.step = selected ? WalkStep::NextSelected : WalkStep::NextInstance;
        w.next = n.object->handle;
        nextMember = static_cast<std::int32_t>((n.member - members) / 2);
        w.more = 1;
    } else {
        w.step = WalkStep::SameObject;
        w.more = 0;
    }
    *more = w.more != 0;
    return first.object;
}

// Read-only: the selected objects of a current entry, the instances of a stale one (none under
// empty-when-stale), disappearing ones left out.
template <typename F> bool ForEachVisible(EventRunState* s, std::int32_t index, F&& f) {
    bool go = true;
    const bool current = IsCurrent(s, index);
    if (!current && s->emptyWhenStale) return true;
    ForEachInChain(s, current ? Head(s, index) : FirstInstance(s, index), current, [&](RunObject* o) {
        if (o->runFlags & ObjectDisappearing) return true;
        go = f(o);
        return go;
    });
    return go;
}

bool InZone(const RunObject* o, const win32::RECT& zone) {
    return o->x >= zone.left && o->x < zone.right && o->y >= zone.top && o->y < zone.bottom;
}

// Keeps in the entry's selection the objects that pass; a stale selection is rebuilt from the instances
// that pass. Disappearing objects are passed over. Returns how many passed.
template <typename Test> std::int32_t KeepPassing(EventRunState* s, std::int32_t index, Test&& test) {
    std::int32_t passed = 0;
    SelectionEntry& sel = s->selections[static_cast<std::size_t>(index)];
    if (IsCurrent(s, index)) {
        std::int16_t* link = &Entry(s, index).firstSelected;
        ForEachInChain(s, Head(s, index), true, [&](RunObject* o) {
            if ((o->runFlags & ObjectDisappearing) || test(o)) {
                if (!(o->runFlags & ObjectDisappearing)) ++passed;
                link = &o->nextSelected;
            } else {
                *link = o->nextSelected;
                --sel.count;
            }
            return true;
        });
        return passed;
    }
    Empty(s, index);
    if (s->emptyWhenStale) return 0;
    std::int16_t* link = &Entry(s, index).firstSelected;
    ForEachInChain(s, FirstInstance(s, index), false, [&](RunObject* o) {
        if (!(o->runFlags & ObjectDisappearing) && test(o)) {
            *link = o->handle;
            link = &o->nextSelected;
            ++passed;
        }
        return true;
    });
    *link = EndOfChain;
    sel.count = passed;
    return passed;
}

} // namespace

bool ObjectBelongsTo(std::uint16_t ref, const RunObject* object) {
    EventRunState* s = StateWithObjectInfos();
    return s && object && ReferenceHolds(s, ref, object);
}

std::int32_t ObjectInfoIndexOf(const RunObject* object) {
    EventRunState* s = StateWithObjectInfos();
    return s && object ? IndexOfObject(s, object) : -1;
}

std::vector<std::int16_t> MemberIndexesOf(std::uint16_t ref) {
    std::vector<std::int16_t> out;
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !MembersOf(s, ref, list)) return out;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        out.push_back(static_cast<std::int16_t>(index));
        return true;
    });
    return out;
}

std::int32_t InstanceCountOf(std::uint16_t ref) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    std::int32_t count = 0;
    if (!s || !MembersOf(s, ref, list)) return 0;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        count += Entry(s, index).instanceCount;
        return true;
    });
    return count;
}

void RaiseEventStamp() {
    if (EventRunState* s = CurrentEventState()) ++s->eventStamp;
}

void ResetSelectionWords() {
    EventRunState* s = CurrentEventState();
    if (!s) return;
    ++s->eventStamp;
    s->emptyWhenStale = 0;
    s->emptyMeansNone = 0;
    s->cursorObject = nullptr;
    s->cursorLink = nullptr;
    s->cursorDropped = false;
    s->cursorEntry = -1;
    s->cursorMember = nullptr;
    s->typeWalkEntry = -1;
    s->typeWalkType = -1;
}

std::int32_t SelectedCount(std::uint16_t ref) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !MembersOf(s, ref, list)) return 0;
    std::int32_t count = 0;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        if (IsCurrent(s, index)) count += s->selections[static_cast<std::size_t>(index)].count;
        return true;
    });
    return count;
}

RunObject* FirstConditionObject(std::uint16_t ref, std::int32_t* count) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (count) *count = 0;
    if (!s || !MembersOf(s, ref, list)) return nullptr;
    s->cursorObject = nullptr;
    s->cursorMember = (ref & QualifierBit) ? list.members : nullptr;
    std::int32_t total = 0;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        ResetStale(s, index);
        total += s->selections[static_cast<std::size_t>(index)].count;
        return true;
    });
    if (count) *count = total;
    RunObject* first = nullptr;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t* at) {
        if (!Head(s, index)) return true;
        if (s->cursorMember) s->cursorMember = at;
        first = StartEntryWalk(s, index);
        return false;
    });
    return first;
}

RunObject* NextConditionObject() {
    EventRunState* s = StateWithObjectInfos();
    if (!s) return nullptr;
    if (RunObject* o = StepCursor(s)) return o;
    if (!s->cursorMember) return nullptr;
    RunObject* next = nullptr;
    ForEachMember(s, s->cursorMember + 2, [&](std::int32_t index, const std::int16_t* at) {
        if (!Head(s, index)) return true;
        s->cursorMember = at;
        next = StartEntryWalk(s, index);
        return false;
    });
    return next;
}

void DropConditionObject() {
    EventRunState* s = StateWithObjectInfos();
    if (!s || !s->cursorObject || s->cursorDropped || !s->cursorLink || !ValidIndex(s, s->cursorEntry))
        return;
    *s->cursorLink = s->cursorObject->nextSelected;
    --s->selections[static_cast<std::size_t>(s->cursorEntry)].count;
    s->cursorDropped = true;
}

bool FilterSelection(std::uint16_t ref, bool negated, bool (*keep)(RunObject*, void*), void* user) {
    bool any = false;
    for (RunObject* o = FirstConditionObject(ref, nullptr); o; o = NextConditionObject()) {
        if (keep(o, user) != negated)
            any = true;
        else
            DropConditionObject();
    }
    return any;
}

RunObject* SelectObjectByFixedValue(std::uint16_t ref, std::int32_t* count, std::uint32_t fixedValue) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (count) *count = 0;
    if (!s || !MembersOf(s, ref, list)) return nullptr;
    const std::int32_t handle = static_cast<std::int32_t>(fixedValue & 0xFFFF);
    RunObject* candidate = s->emptyWhenStale ? nullptr : ObjectOfHandle(handle);
    if (candidate && ((static_cast<std::uint32_t>(candidate->creationNumber) << 16) |
                      static_cast<std::uint16_t>(candidate->handle)) != fixedValue)
        candidate = nullptr;
    bool taken = false;
    std::int32_t total = 0;
    RunObject* first = nullptr;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        if (!IsCurrent(s, index)) {
            Empty(s, index);
            ObjectInfoRunEntry& e = Entry(s, index);
            if (!taken && candidate && e.instanceCount > 0 && candidate->objectInfoEntry == &e) {
                e.firstSelected = candidate->handle;
                candidate->nextSelected = EndOfChain;
                s->selections[static_cast<std::size_t>(index)].count = 1;
                taken = true;
            }
        }
        total += s->selections[static_cast<std::size_t>(index)].count;
        if (!first) first = Head(s, index);
        return true;
    });
    if (count) *count = total;
    return first;
}

void AddObjectToSelection(RunObject* o) {
    EventRunState* s = StateWithObjectInfos();
    if (!s || !o) return;
    const std::int32_t index = IndexOfObject(s, o);
    if (index < 0) return;
    SelectionEntry& sel = s->selections[static_cast<std::size_t>(index)];
    if (!IsCurrent(s, index)) {
        Stamp(s, index);
        Entry(s, index).firstSelected = o->handle;
        o->nextSelected = EndOfChain;
        sel.count = 1;
        return;
    }
    std::int16_t* link = &Entry(s, index).firstSelected;
    bool present = false;
    ForEachInChain(s, Head(s, index), true, [&](RunObject* c) {
        present = c == o;
        link = &c->nextSelected;
        return !present;
    });
    if (present) return;
    *link = o->handle;
    o->nextSelected = EndOfChain;
    ++sel.count;
}

int ExtensionAddObjectToSelection(void*, void*, RunObject* object) {
    AddObjectToSelection(object);
    return 0;
}

void SelectOnlyObject(std::uint16_t ref, RunObject* o) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !MembersOf(s, ref, list)) return;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        Empty(s, index);
        return true;
    });
    if (!o) return;
    const std::int32_t index = IndexOfObject(s, o);
    if (index < 0) return;
    Empty(s, index);
    Entry(s, index).firstSelected = o->handle;
    o->nextSelected = EndOfChain;
    s->selections[static_cast<std::size_t>(index)].count = 1;
}

void EmptyQualifierSelections(std::uint16_t qualifier) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !(qualifier & QualifierBit) || !MembersOf(s, qualifier, list)) return;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        if (!IsCurrent(s, index)) Empty(s, index);
        return true;
    });
}

void ClearActiveObjectSelections() {
    EventRunState* s = StateWithObjectInfos();
    if (!s) return;
    TouchType(s, 2);
    for (std::int32_t i = 0; ValidIndex(s, i); ++i)
        if (Entry(s, i).objectType == 2) Empty(s, i);
}

void ClearAllSelections() {
    EventRunState* s = StateWithObjectInfos();
    if (!s) return;
    for (auto& word : s->touchedTypes)
        word = ~0u;
    for (std::int32_t i = 0; ValidIndex(s, i); ++i)
        Empty(s, i);
}

RunObject* FirstObjectOfType(std::int16_t type) {
    EventRunState* s = StateWithObjectInfos();
    if (!s) return nullptr;
    s->typeWalkType = type;
    s->cursorMember = nullptr;
    s->cursorObject = nullptr;
    // Every entry of the type is made current first, so that the walk visits entries selected earlier in
    // the event as well as those that lapsed.
    for (std::int32_t i = 0; ValidIndex(s, i); ++i) {
        if (!TypeConcerned(Entry(s, i), type, -1)) continue;
        TouchType(s, Entry(s, i).objectType);
        ResetStale(s, i);
    }
    for (std::int32_t i = 0; ValidIndex(s, i); ++i) {
        if (!TypeConcerned(Entry(s, i), type, -1) || !Head(s, i)) continue;
        s->typeWalkEntry = i;
        return StartEntryWalk(s, i);
    }
    return nullptr;
}

RunObject* NextObjectOfType() {
    EventRunState* s = StateWithObjectInfos();
    if (!s) return nullptr;
    if (RunObject* o = StepCursor(s)) return o;
    for (std::int32_t i = s->typeWalkEntry + 1; ValidIndex(s, i); ++i) {
        if (!TypeConcerned(Entry(s, i), s->typeWalkType, -1) || !IsCurrent(s, i) || !Head(s, i)) continue;
        s->typeWalkEntry = i;
        return StartEntryWalk(s, i);
    }
    return nullptr;
}

RunObject* GetActionObject(std::uint16_t ref, bool* more) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    *more = false;
    if (!s || (ref & QualifierBit) || !MembersOf(s, ref, list)) return nullptr;
    std::int32_t member = 0;
    return WalkActionObject(s, s->selections[ref].walk, member, list.members, more);
}

RunObject* GetActionQualifierObject(std::uint16_t ref, bool* more) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    *more = false;
    if (!s || !(ref & QualifierBit) || !MembersOf(s, ref, list)) return nullptr;
    const std::size_t at = ref & 0x7FFF;
    if (at >= s->qualifierWalks.size()) return nullptr;
    QualifierWalk& q = s->qualifierWalks[at];
    q.memberSeen = 1;
    return WalkActionObject(s, q.walk, q.member, list.members, more);
}

RunObject* GetActionObjectOf(std::uint16_t ref, bool* more) {
    return (ref & QualifierBit) ? GetActionQualifierObject(ref, more) : GetActionObject(ref, more);
}

RunObject* GetExpressionObject(const std::uint8_t* token) {
    EventRunState* s = StateWithObjectInfos();
    if (!s || !token || GetI16(token + TokenSizeAt) < static_cast<std::int16_t>(TokenObjectResolvedAt + 2))
        return nullptr;
    const std::uint16_t ref = GetU16(token + TokenObjectResolvedAt);
    if (s->conditionObject && ReferenceHolds(s, ref, s->conditionObject)) return s->conditionObject;
    if (s->actionPending) {
        s->emptyMeansNone = 0;
        bool more = false;
        return GetActionObjectOf(ref, &more);
    }
    MemberList list;
    if (!MembersOf(s, ref, list)) return nullptr;
    WalkPosition p = FirstFrom(s, list.members, true);
    if (!p.object) p = FirstFrom(s, list.members, false);
    return p.object;
}

RunObject* GetParameterObject(const std::uint8_t* parameter, std::uint8_t* record) {
    EventRunState* s = StateWithObjectInfos();
    if (!s || !parameter || GetI16(parameter) < 6) return nullptr;
    s->emptyMeansNone = 255;
    bool more = false;
    RunObject* o = GetActionObjectOf(GetU16(parameter + ObjectParamResolvedAt), &more);
    if (!o && record) record[RecordRunFlags] |= RecordNoObjectFound;
    if (more) {
        if (record) record[RecordRunFlags] |= RecordRepeat;
        s->repeatRequest = 1;
    }
    return o;
}

RunObject* GetNthSelectedObject(std::uint16_t ref, std::int32_t n, std::int32_t* counter) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    std::int32_t counted = 0;
    RunObject* found = nullptr;
    if (s && MembersOf(s, ref, list)) {
        ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
            return ForEachVisible(s, index, [&](RunObject* o) {
                if (counted++ == n) found = o;
                return !found;
            });
        });
    }
    if (counter) *counter = counted;
    return found;
}

RunObject* GetNthObjectOfType(std::int16_t type, std::int32_t n, std::int32_t* count) {
    EventRunState* s = StateWithObjectInfos();
    std::int32_t counted = 0;
    RunObject* found = nullptr;
    for (std::int32_t i = 0; s && !found && ValidIndex(s, i); ++i) {
        if (!TypeConcerned(Entry(s, i), type, 0)) continue;
        ForEachVisible(s, i, [&](RunObject* o) {
            if (counted++ == n) found = o;
            return !found;
        });
    }
    if (count) *count = counted;
    return found;
}

RunObject* GetNthObjectOfTypeInZone(const win32::RECT& zone, std::int32_t n, std::int16_t type,
                                    std::int32_t* count) {
    EventRunState* s = StateWithObjectInfos();
    std::int32_t counted = 0;
    RunObject* found = nullptr;
    for (std::int32_t i = 0; s && !found && ValidIndex(s, i); ++i) {
        if (!TypeConcerned(Entry(s, i), type, 0)) continue;
        ForEachVisible(s, i, [&](RunObject* o) {
            if (o->width == 0 || o->height == 0 || !InZone(o, zone)) return true;
            if (counted++ == n) found = o;
            return !found;
        });
    }
    if (count) *count = counted;
    return found;
}

std::int32_t SelectObjectsInZone(const win32::RECT& zone, std::int16_t type) {
    EventRunState* s = StateWithObjectInfos();
    std::int32_t passed = 0;
    for (std::int32_t i = 0; s && ValidIndex(s, i); ++i)
        if (TypeConcerned(Entry(s, i), type, 0))
            passed += KeepPassing(s, i, [&](const RunObject* o) { return InZone(o, zone); });
    return passed;
}

void CountObjectsInZone(std::uint16_t ref, const win32::RECT& zone, std::int32_t* count) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    std::int32_t counted = 0;
    if (s && MembersOf(s, ref, list)) {
        ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
            return ForEachVisible(s, index, [&](RunObject* o) {
                if (InZone(o, zone)) ++counted;
                return true;
            });
        });
    }
    if (count) *count = counted;
}

bool LineCrossesObject(const RunObject* o, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                       std::int32_t y2) {
    const double left = static_cast<double>(o->x) - o->hotSpotX;
    const double top = static_cast<double>(o->y) - o->hotSpotY;
    const double right = left + o->width, bottom = top + o->height;
    const double dx = static_cast<double>(x2) - x1, dy = static_cast<double>(y2) - y1;
    // Clips the segment's parameter range [t0, t1] against each side of the box in turn; the segment
    // crosses the box when some range is left. Every slope, vertical and horizontal lines included.
    double t0 = 0.0, t1 = 1.0;
    auto clip = [&](double p, double q) {
        if (p == 0.0) return q >= 0.0;
        const double r = q / p;
        if (p < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
        return true;
    };
    return clip(-dx, x1 - left) && clip(dx, right - x1) && clip(-dy, y1 - top) && clip(dy, bottom - y1);
}

std::int32_t CountObjectsCrossingLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    EventRunState* s = StateWithObjectInfos();
    std::int32_t passed = 0;
    for (std::int32_t i = 0; s && ValidIndex(s, i); ++i)
        passed += KeepPassing(s, i, [&](const RunObject* o) { return LineCrossesObject(o, x1, y1, x2, y2); });
    return passed;
}

int IsNewCollision(std::int32_t pairKey, RunObject* o) {
    EventRunState* s = CurrentEventState();
    if (!s || !o) return 0;
    auto* list = static_cast<std::int32_t*>(o->collisionPartnersThis);
    std::size_t n = 0;
    if (list) {
        for (; n < CollisionListFull && list[n]; ++n)
            if (list[n] == pairKey) return 0;
        if (n == CollisionListFull) return 0;
    } else {
        list = static_cast<std::int32_t*>(TakeScratch(CollisionListEntries * sizeof(std::int32_t)));
        if (!list) return 0;
        o->collisionPartnersThis = list;
    }
    list[n] = pairKey;
    list[n + 1] = 0;
    if (const auto* previous = static_cast<const std::int32_t*>(o->collisionPartnersPrevious))
        for (std::size_t i = 0; i < CollisionListEntries && previous[i]; ++i)
            if (previous[i] == pairKey) return 0;
    return 1;
}

} // namespace vtrrt
