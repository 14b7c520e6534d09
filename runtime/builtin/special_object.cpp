// The special object's flow conditions (always, never, run once, repeat, restrict, only once while true,
// random chance), the activation of event groups, the conditions the shell raises (menu command, close
// request, dropped files) and the random seed.
#include "builtin/fast_loops.h"
#include "builtin/system_objects.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/event_program.h"

#include <array>

namespace vtrrt {

namespace {

constexpr std::int16_t ConditionGroupOpen = -10;
constexpr std::int16_t ConditionGroupClose = -11;
constexpr std::int16_t ConditionRunOncePerActivation = -23;
// Flags word of a group's opening delimiter.
constexpr std::uint16_t DelimiterDeactivated = 0x08;
constexpr std::uint16_t DelimiterInactiveOuter = 0x04;

std::uint8_t* CurrentGroup() {
    EventRunState* s = State();
    return s ? s->currentGroup : nullptr;
}

std::uint16_t GroupFlagsOf(const std::uint8_t* g) {
    return GetU16(g + GroupFlags);
}
void SetGroupFlags(std::uint8_t* g, std::uint16_t flags) {
    PutU16(g + GroupFlags, flags);
}

int Always(std::uint8_t*) {
    return 1;
}
int Never(std::uint8_t*) {
    return 0;
}

int CompareGeneralValues(std::uint8_t* record) {
    const std::uint8_t* first = ParameterAt(record, 0);
    const std::uint8_t* second = ParameterAt(record, 1);
    if (!first || !second) return 0;
    const TypedValue left = GetValueParameter(first);
    return CompareWithParameter(left, second) ? 1 : 0;
}

int RunOnce(std::uint8_t*) {
    std::uint8_t* g = CurrentGroup();
    if (!g || (GroupFlagsOf(g) & GroupKeepFlag1)) return 0;
    SetGroupFlags(g, GroupFlagsOf(g) | GroupKeepFlag1);
    return 1;
}

int OnlyOnceWhileTrue(std::uint8_t*) {
    std::uint8_t* g = CurrentGroup();
    if (!g) return 0;
    const std::uint16_t f = GroupFlagsOf(g);
    if (f & GroupOnlyOnce) return 1;
    if (f & GroupTimed) return 0;
    PutI32(g + GroupCounterA, -2);
    SetGroupFlags(g, f | GroupOnlyOnce);
    return 1;
}

int RepeatTimes(std::uint8_t* record) {
    std::uint8_t* g = CurrentGroup();
    if (!g) return 0;
    const std::uint16_t f = GroupFlagsOf(g);
    if (f & GroupCounted) return 1;
    if (f & GroupTimed) return 0;
    PutI32(g + GroupCounterB, GetIntParameter(ParameterAt(record, 0)));
    SetGroupFlags(g, f | GroupCounted);
    return 1;
}

int RestrictForTime(std::uint8_t* record) {
    std::uint8_t* g = CurrentGroup();
    if (!g) return 0;
    const std::uint16_t f = GroupFlagsOf(g);
    if (f & GroupTimed) return 1;
    if (f & (GroupOnlyOnce | GroupCounted)) return 0;
    PutI32(g + GroupCounterA, GetIntParameter(ParameterAt(record, 0)) / 10);
    PutI32(g + GroupCounterB, 0);
    SetGroupFlags(g, f | GroupTimed);
    return 1;
}

int RandomChance(std::uint8_t* record) {
    const std::int32_t k = GetIntParameter(ParameterAt(record, 0));
    const std::int32_t n = GetIntParameter(ParameterAt(record, 1));
    if (k >= n) return 1;
    return n >= 1 && k >= 1 && RandomBelow(n) < k ? 1 : 0;
}

int ExpressionIsTrue(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 0);
    const std::int32_t value =
        ParameterCode(p) == ParamConstant67 && GetI16(p) >= 8 ? GetI32(p + ParamValueAt) : GetIntParameter(p);
    return Negatable(record, value != 0);
}

// --- groups ---

// The group a code-39 parameter names; the preparation checked that it is one.
std::uint8_t* ReferencedGroup(const std::uint8_t* parameter) {
    EventRunState* s = State();
    if (!s || !s->events || !parameter || GetI16(parameter) < 8 ||
        GetI16(parameter + ParameterCodeAt) != ParamGroupPointer)
        return nullptr;
    const std::ptrdiff_t at =
        (parameter - s->events->program.data()) + GetI32(parameter + GroupPointerParamOffsetAt);
    return at >= 0 ? ProgramAt(static_cast<std::int32_t>(at)) : nullptr;
}

enum class Delimiter { None, Open, Close };

Delimiter DelimiterOf(std::uint8_t* group) {
    const std::uint8_t* first = GroupRecord(group, 0);
    if (!first || group[GroupConditionCount] == 0 || GetI16(first + RecordType) != TypeSpecial)
        return Delimiter::None;
    const std::int16_t n = GetI16(first + RecordNumber);
    return n == ConditionGroupOpen    ? Delimiter::Open
           : n == ConditionGroupClose ? Delimiter::Close
                                      : Delimiter::None;
}

// The flags word of an opening delimiter's group definition, or null.
std::uint8_t* DelimiterFlags(std::uint8_t* group) {
    const std::uint8_t* first = GroupRecord(group, 0);
    const std::uint8_t* p = first ? FirstParameter(first) : nullptr;
    if (!p || ParameterCode(p) != ParamGroup || GetI16(p) < 6) return nullptr;
    return const_cast<std::uint8_t*>(p) + 4;
}

bool FirstConditionIs(std::uint8_t* group, std::int16_t number) {
    const std::uint8_t* first = GroupRecord(group, 0);
    return first && group[GroupConditionCount] > 0 && GetI16(first + RecordType) == TypeSpecial &&
           GetI16(first + RecordNumber) == number;
}

// Marks every group from the opening delimiter to its closing one active or inactive. A directly nested group
// that is itself deactivated (or, when deactivating, already inactive) is passed over as it is; another one
// is taken through the same walk.
void WalkGroups(std::uint8_t* open, bool activate) {
    int depth = 0, passDepth = 0;
    for (std::uint8_t* g = open; g; g = NextGroup(g)) {
        const Delimiter kind = DelimiterOf(g);
        if (passDepth) {
            if (kind == Delimiter::Open) ++depth;
            if (kind == Delimiter::Close && depth-- == passDepth) passDepth = 0;
            if (depth == 0) return;
            continue;
        }
        if (kind == Delimiter::Open) {
            ++depth;
            if (g != open) {
                if (std::uint8_t* flags = DelimiterFlags(g)) {
                    const std::uint16_t f = GetU16(flags);
                    if (activate) {
                        PutU16(flags, static_cast<std::uint16_t>(f & ~DelimiterInactiveOuter));
                        if (f & DelimiterDeactivated) passDepth = depth;
                    } else {
                        PutU16(flags, static_cast<std::uint16_t>(f | DelimiterInactiveOuter));
                        if (f & (DelimiterDeactivated | DelimiterInactiveOuter)) passDepth = depth;
                    }
                    if (passDepth) continue;
                }
            }
        }
        std::uint16_t flags = GroupFlagsOf(g);
        if (activate) {
            flags &= static_cast<std::uint16_t>(~GroupInactive);
            if (FirstConditionIs(g, ConditionRunOncePerActivation))
                flags &= static_cast<std::uint16_t>(~GroupKeepFlag1);
        } else {
            flags |= GroupInactive;
        }
        SetGroupFlags(g, flags);
        if (kind == Delimiter::Close && --depth == 0) return;
    }
}

void SetGroupActive(std::uint8_t* record, bool activate) {
    std::uint8_t* open = ReferencedGroup(ParameterAt(record, 0));
    std::uint8_t* flags = open ? DelimiterFlags(open) : nullptr;
    if (!flags || DelimiterOf(open) != Delimiter::Open) return;
    const std::uint16_t f = GetU16(flags);
    if (activate) {
        PutU16(flags, static_cast<std::uint16_t>(f & ~DelimiterDeactivated));
        if ((f & DelimiterDeactivated) && !(f & DelimiterInactiveOuter)) WalkGroups(open, true);
    } else {
        PutU16(flags, static_cast<std::uint16_t>(f | DelimiterDeactivated));
        if (!(f & (DelimiterDeactivated | DelimiterInactiveOuter))) WalkGroups(open, false);
    }
}

void ActivateGroup(std::uint8_t* record) {
    SetGroupActive(record, true);
}
void DeactivateGroup(std::uint8_t* record) {
    SetGroupActive(record, false);
}

int GroupIsActive(std::uint8_t* record) {
    std::uint8_t* g = ReferencedGroup(ParameterAt(record, 0));
    if (!g) return 0;
    return Negatable(record, !(GroupFlagsOf(g) & GroupInactive));
}

// --- what the shell raises ---

int MenuCommandRaised(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || GetIntParameter(ParameterAt(record, 0)) != (s->eventParameter1 & 0xFFFF)) return 0;
    s->handled = 1;
    return 1;
}
int MenuCommandChosen(std::uint8_t* record) {
    EventRunState* s = State();
    return s && GetIntParameter(ParameterAt(record, 0)) == s->menuValue ? 1 : 0;
}

int FilesDroppedChosen(std::uint8_t*) {
    EventRunState* s = State();
    return s && s->filesDropped ? 1 : 0;
}

int CloseRaised(std::uint8_t*) {
    EventRunState* s = State();
    if (!s) return 0;
    s->handled = 1;
    return 1;
}
int CloseRequested(std::uint8_t*) {
    EventRunState* s = State();
    return s && s->run->loopCount == s->quitLoop ? 1 : 0;
}

void SetRandomSeed(std::uint8_t* record) {
    if (FrameRunState* run = CurrentRunState())
        run->randomSeed = static_cast<std::uint16_t>(GetIntParameter(ParameterAt(record, 0)));
}

void NoOperation(std::uint8_t*) {}

// Condition routines of the special object take no object; the one-object table of a condition raised by
// the shell holds its raised form.
struct ConditionEntry {
    std::int16_t number;
    ConditionRoutine overSelection;
    ConditionOnObjectRoutine raised; // null: the same test
};

} // namespace

void InstallSpecialObjectRoutines() {
    static constexpr std::array<ConditionEntry, 22> Conditions{{
        {-1, Always, nullptr},
        {-2, Never, nullptr},
        {-3, CompareGeneralValues, nullptr},
        {-4, RestrictForTime, nullptr},
        {-5, RepeatTimes, nullptr},
        {-6, RunOnce, nullptr},
        {-7, OnlyOnceWhileTrue, nullptr},
        {-9, Never, nullptr},
        {-10, Never, nullptr},
        {-11, Never, nullptr},
        {-12, GroupIsActive, nullptr},
        {-13, Never, nullptr},
        {-14, MenuCommandChosen, OnObject<MenuCommandRaised>},
        {-15, FilesDroppedChosen, OnObject<Always>},
        {-16, Never, OnObject<OnLoopCondition>},
        {-21, CloseRequested, OnObject<CloseRaised>},
        {-23, RunOnce, nullptr},
        {-24, Never, nullptr},
        {-25, Never, nullptr},
        {-26, RandomChance, nullptr},
        {-27, Never, nullptr},
        {-40, ExpressionIsTrue, nullptr},
    }};
    for (const ConditionEntry& c : Conditions)
        SetConditionRoutine(TypeSpecial, c.number, c.overSelection, c.raised);
    for (std::int16_t n : {0, 1, 23, 24})
        SetActionRoutine(TypeSpecial, n, NoOperation);
    SetActionRoutine(TypeSpecial, 6, ActivateGroup);
    SetActionRoutine(TypeSpecial, 7, DeactivateGroup);
    SetActionRoutine(TypeSpecial, ActionStartLoop, StartLoopAction);
    SetActionRoutine(TypeSpecial, 15, StopLoopAction);
    SetActionRoutine(TypeSpecial, 16, SetLoopIndexAction);
    SetActionRoutine(TypeSpecial, 17, SetRandomSeed);
    InstallLoopExpressions();
}

} // namespace vtrrt
