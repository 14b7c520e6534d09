#include "events/selection.h"

#include "core/frame_run_state.h"
#include "events/event_preparation.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"

#include <algorithm>
#include <array>

namespace vtrrt {

namespace {

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

// Instance chains are bounded by the number of slots, so that a damaged link cannot loop forever.
template <typename F> void ForEachInChain(EventRunState* s, RunObject* o, F&& f) {
    for (std::int32_t guard = 0; o && guard < s->run->maxObjects; ++guard) {
        RunObject* next = ObjectOfHandle(o->nextInstance);
        if (!f(o)) return;
        o = next;
    }
}

SelectionEntry& Selection(EventRunState* s, std::int32_t index) {
    return s->selections[static_cast<std::size_t>(index)];
}

// The entry's instances in chain order, made again only after the chain has changed.
const std::vector<std::int16_t>& Instances(EventRunState* s, std::int32_t index) {
    SelectionEntry& sel = Selection(s, index);
    const ObjectInfoRunEntry& e = Entry(s, index);
    if (sel.chainKnown && sel.chainAt == e.instanceChanges && sel.chainHead == e.firstInstance &&
        static_cast<std::int32_t>(sel.instances.size()) == e.instanceCount)
        return sel.instances;
    sel.instances.clear();
    ForEachInChain(s, FirstInstance(s, index), [&](RunObject* o) {
        sel.instances.push_back(o->handle);
        return true;
    });
    sel.chainKnown = true;
    sel.chainAt = e.instanceChanges;
    sel.chainHead = e.firstInstance;
    return sel.instances;
}

// Closes the gaps a condition walk left in a selection.
void CloseGaps(SelectionEntry& sel) {
    if (!sel.gaps) return;
    std::erase(sel.objects, DroppedObject);
    sel.gaps = false;
}

// The first selected object at or after a position, and its position; null past the end.
RunObject* SelectedFrom(const SelectionEntry& sel, std::int32_t& at) {
    for (; at >= 0 && static_cast<std::size_t>(at) < sel.objects.size(); ++at)
        if (sel.objects[static_cast<std::size_t>(at)] != DroppedObject)
            if (RunObject* o = ObjectOfHandle(sel.objects[static_cast<std::size_t>(at)])) return o;
    return nullptr;
}

RunObject* Head(EventRunState* s, std::int32_t index) {
    std::int32_t at = 0;
    return SelectedFrom(Selection(s, index), at);
}

// The selection's objects in order, dropped ones passed over.
template <typename F> void ForEachSelected(const SelectionEntry& sel, F&& f) {
    for (const std::int16_t h : sel.objects)
        if (h != DroppedObject)
            if (RunObject* o = ObjectOfHandle(h); o && !f(o)) return;
}

void Empty(EventRunState* s, std::int32_t index) {
    SelectionEntry& sel = Selection(s, index);
    sel.stamp = s->eventStamp;
    sel.objects.clear();
    sel.gaps = false;
    sel.count = 0;
}

// A stale selection becomes current: empty under empty-when-stale, else every instance.
void ResetStale(EventRunState* s, std::int32_t index) {
    if (IsCurrent(s, index)) return;
    Empty(s, index);
    if (s->emptyWhenStale) return;
    SelectionEntry& sel = Selection(s, index);
    sel.objects = Instances(s, index);
    sel.count = static_cast<std::int32_t>(sel.objects.size());
}

RunObject* StartEntryWalk(EventRunState* s, std::int32_t index) {
    s->cursorEntry = index;
    s->cursorIndex = 0;
    s->cursorDropped = false;
    s->cursorObject = SelectedFrom(Selection(s, index), s->cursorIndex);
    return s->cursorObject;
}

// Moves the cursor to the next object of its entry; null at the entry's end, where the gaps the walk left
// are closed.
RunObject* StepCursor(EventRunState* s) {
    if (!s->cursorObject || !ValidIndex(s, s->cursorEntry)) return nullptr;
    SelectionEntry& sel = Selection(s, s->cursorEntry);
    ++s->cursorIndex;
    s->cursorDropped = false;
    s->cursorObject = SelectedFrom(sel, s->cursorIndex);
    if (!s->cursorObject) CloseGaps(sel);
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
    std::int32_t index = -1; // in the member's selection or instances
    RunObject* object = nullptr;
};

// The first object of a member from a position: among its current selection, or its instances.
RunObject* MemberObjectFrom(EventRunState* s, std::int32_t entry, bool selected, std::int32_t& at) {
    if (selected) return HasCurrentSelection(s, entry) ? SelectedFrom(Selection(s, entry), at) : nullptr;
    const std::vector<std::int16_t>& instances = Instances(s, entry);
    for (; at >= 0 && static_cast<std::size_t>(at) < instances.size(); ++at)
        if (RunObject* o = ObjectOfHandle(instances[static_cast<std::size_t>(at)])) return o;
    return nullptr;
}

WalkPosition FirstFrom(EventRunState* s, const std::int16_t* m, bool selected) {
    WalkPosition p;
    ForEachMember(s, m, [&](std::int32_t index, const std::int16_t* at) {
        std::int32_t position = 0;
        if (RunObject* o = MemberObjectFrom(s, index, selected, position)) {
            p = {at, position, o};
            return false;
        }
        return true;
    });
    return p;
}

WalkPosition Successor(EventRunState* s, WalkPosition at, bool selected) {
    const std::int32_t entry = static_cast<std::uint16_t>(at.member[1]);
    if (ValidIndex(s, entry)) {
        std::int32_t position = at.index + 1;
        if (RunObject* n = MemberObjectFrom(s, entry, selected, position)) return {at.member, position, n};
    }
    return FirstFrom(s, at.member + 2, selected);
}

const std::int16_t* MemberAt(const std::int16_t* members, std::int32_t position) {
    return members + 2 * position;
}

// Where the walk's next object lies now: at the position it was found at, or, when its member's sequence
// changed since, wherever it lies in it; -1 when it has left it.
std::int32_t PositionOfNext(EventRunState* s, const ActionWalk& w, const std::int16_t* member,
                            bool selected) {
    const std::int32_t entry = static_cast<std::uint16_t>(member[1]);
    if (!ValidIndex(s, entry)) return -1;
    const std::vector<std::int16_t>& seq = selected ? Selection(s, entry).objects : Instances(s, entry);
    const auto at = static_cast<std::size_t>(w.nextIndex);
    if (w.nextIndex >= 0 && at < seq.size() && seq[at] == w.next) return w.nextIndex;
    const auto found = std::find(seq.begin(), seq.end(), static_cast<std::int16_t>(w.next));
    return found == seq.end() ? -1 : static_cast<std::int32_t>(found - seq.begin());
}

void TakeNext(ActionWalk& w, std::int32_t& nextMember, const std::int16_t* members, const WalkPosition& n) {
    w.next = n.object ? n.object->handle : -1;
    w.nextIndex = n.index;
    nextMember = n.member ? static_cast<std::int32_t>((n.member - members) / 2) : 0;
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
        const std::int16_t* member = MemberAt(members, nextMember);
        const std::int32_t position = o ? PositionOfNext(s, w, member, selected) : -1;
        if (!o || position < 0) {
            w.step = WalkStep::None;
            w.current = -1;
            w.more = 0;
            return nullptr;
        }
        w.current = o->handle;
        WalkPosition n = Successor(s, {member, position, o}, selected);
        if (!n.object) {
            n = FirstFrom(s, members, selected);
            w.more = 0;
        }
        TakeNext(w, nextMember, members, n);
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
        TakeNext(w, nextMember, members, n);
        w.more = 1;
    } else {
        w.step = WalkStep::SameObject;
        w.more = 0;
    }
    *more = w.more != 0;
    return first.object;
}

// The next pass of an action walk over one object info's selection or instances, when its next object is
// still where the walk found it; null otherwise, the walk left as it was for the full step.
RunObject* StepEntryWalk(EventRunState* s, std::int32_t entry, ActionWalk& w, bool* more) {
    if (w.step != WalkStep::NextSelected && w.step != WalkStep::NextInstance) return nullptr;
    const bool selected = w.step == WalkStep::NextSelected;
    if (selected && !IsCurrent(s, entry)) return nullptr;
    const std::vector<std::int16_t>& seq = selected ? Selection(s, entry).objects : Instances(s, entry);
    const auto at = static_cast<std::size_t>(w.nextIndex);
    if (w.nextIndex < 0 || at >= seq.size() || seq[at] != w.next) return nullptr;
    // The object list read once for the step, not once for each handle.
    const ObjectListEntry* slots = s->run->objects;
    const std::int32_t slotCount = s->run->maxObjects;
    auto objectOf = [&](std::int32_t h) {
        return slots && h >= 0 && h < slotCount ? slots[h].object : nullptr;
    };
    RunObject* o = objectOf(w.next);
    if (!o) return nullptr;
    w.repeatPass = s->repeatPass;
    w.current = w.next;
    auto take = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k)
            if (objectOf(seq[k])) {
                w.next = seq[k];
                w.nextIndex = static_cast<std::int32_t>(k);
                return true;
            }
        return false;
    };
    if (!take(at + 1, seq.size())) {
        // Past the last object the walk starts over at the first, and asks for no more.
        w.more = 0;
        if (!take(0, seq.size())) w.next = w.nextIndex = -1;
    }
    *more = w.more != 0;
    return o;
}

// Read-only: the selected objects of a current entry, the instances of a stale one (none under
// empty-when-stale), disappearing ones left out.
template <typename F> bool ForEachVisible(EventRunState* s, std::int32_t index, F&& f) {
    bool go = true;
    const bool current = IsCurrent(s, index);
    if (!current && s->emptyWhenStale) return true;
    auto visit = [&](RunObject* o) {
        if (o->runFlags & ObjectDisappearing) return true;
        go = f(o);
        return go;
    };
    if (current) {
        ForEachSelected(Selection(s, index), visit);
    } else {
        for (const std::int16_t h : Instances(s, index))
            if (RunObject* o = ObjectOfHandle(h); o && !visit(o)) break;
    }
    return go;
}

bool InZone(const RunObject* o, const win32::RECT& zone) {
    return o->x >= zone.left && o->x < zone.right && o->y >= zone.top && o->y < zone.bottom;
}

// Keeps in the entry's selection the objects that pass; a stale selection is rebuilt from the instances
// that pass. Disappearing objects are passed over. Returns how many passed.
template <typename Test> std::int32_t KeepPassing(EventRunState* s, std::int32_t index, Test&& test) {
    std::int32_t passed = 0;
    SelectionEntry& sel = Selection(s, index);
    if (IsCurrent(s, index)) {
        CloseGaps(sel);
        std::size_t kept = 0;
        for (const std::int16_t h : sel.objects) {
            RunObject* o = ObjectOfHandle(h);
            if (o && ((o->runFlags & ObjectDisappearing) || test(o))) {
                if (!(o->runFlags & ObjectDisappearing)) ++passed;
                sel.objects[kept++] = h;
            } else if (o) {
                --sel.count;
            }
        }
        sel.objects.resize(kept);
        return passed;
    }
    Empty(s, index);
    if (s->emptyWhenStale) return 0;
    for (const std::int16_t h : Instances(s, index)) {
        RunObject* o = ObjectOfHandle(h);
        if (o && !(o->runFlags & ObjectDisappearing) && test(o)) {
            sel.objects.push_back(h);
            ++passed;
        }
    }
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
    s->cursorIndex = -1;
    s->cursorDropped = false;
    s->cursorEntry = -1;
    s->cursorMember = nullptr;
    s->typeWalkEntry = -1;
    s->typeWalkType = -1;
}

const std::vector<std::int16_t>& InstancesOf(std::int32_t index) {
    static const std::vector<std::int16_t> none;
    EventRunState* s = StateWithObjectInfos();
    return s && ValidIndex(s, index) ? Instances(s, index) : none;
}

std::int32_t SelectedCount(std::uint16_t ref) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !MembersOf(s, ref, list)) return 0;
    std::int32_t count = 0;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        if (IsCurrent(s, index)) count += Selection(s, index).count;
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
        CloseGaps(Selection(s, index));
        total += Selection(s, index).count;
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
    if (!s || !s->cursorObject || s->cursorDropped || !ValidIndex(s, s->cursorEntry)) return;
    SelectionEntry& sel = Selection(s, s->cursorEntry);
    const auto at = static_cast<std::size_t>(s->cursorIndex);
    if (s->cursorIndex < 0 || at >= sel.objects.size()) return;
    sel.objects[at] = DroppedObject;
    sel.gaps = true;
    --sel.count;
    s->cursorDropped = true;
}

bool FilterSelection(std::uint16_t ref, bool negated, bool (*keep)(RunObject*, void*), void* user) {
    EventRunState* s = StateWithObjectInfos();
    MemberList list;
    if (!s || !MembersOf(s, ref, list)) return false;
    // Every member's selection in one pass over its array; what the routine asks about the selections
    // meanwhile sees the objects dropped so far as gaps.
    s->cursorObject = nullptr;
    bool any = false;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        ResetStale(s, index);
        return true;
    });
    const ObjectListEntry* slots = s->run->objects;
    const std::int32_t slotCount = s->run->maxObjects;
    ForEachMember(s, list.members, [&](std::int32_t index, const std::int16_t*) {
        SelectionEntry& sel = Selection(s, index);
        std::int16_t* handles = sel.objects.data();
        const std::size_t n = sel.objects.size();
        for (std::size_t i = 0; i < n; ++i) {
            const std::int16_t h = handles[i];
            RunObject* o = h >= 0 && h < slotCount ? slots[h].object : nullptr;
            if (!o) continue;
            if (keep(o, user) != negated) {
                any = true;
                continue;
            }
            handles[i] = DroppedObject;
            sel.gaps = true;
            --sel.count;
        }
        CloseGaps(sel);
        return true;
    });
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
                Selection(s, index).objects.push_back(candidate->handle);
                Selection(s, index).count = 1;
                taken = true;
            }
        }
        total += Selection(s, index).count;
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
    SelectionEntry& sel = Selection(s, index);
    if (!IsCurrent(s, index)) {
        Empty(s, index);
        sel.objects.push_back(o->handle);
        sel.count = 1;
        return;
    }
    if (std::find(sel.objects.begin(), sel.objects.end(), o->handle) != sel.objects.end()) return;
    sel.objects.push_back(o->handle);
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
    Selection(s, index).objects.push_back(o->handle);
    Selection(s, index).count = 1;
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
    if (!s || (ref & QualifierBit) || !ValidIndex(s, ref)) return nullptr;
    // The calls of one action run, pass after pass, take the walk's next object without the member list.
    if (ActionWalk& w = Selection(s, ref).walk; w.actionStamp == s->actionStamp) {
        if (w.repeatPass == s->repeatPass) {
            *more = w.more != 0;
            return ObjectOfHandle(w.current);
        }
        if (RunObject* o = StepEntryWalk(s, ref, w, more)) return o;
    }
    if (!MembersOf(s, ref, list)) return nullptr;
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

RunObject* StepActionWalkOf(std::int32_t index, bool* more) {
    EventRunState* s = StateWithObjectInfos();
    *more = false;
    if (!s || !ValidIndex(s, index)) return nullptr;
    ActionWalk& w = Selection(s, index).walk;
    if (w.actionStamp != s->actionStamp || w.repeatPass == s->repeatPass) return nullptr;
    return StepEntryWalk(s, index, w, more);
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
