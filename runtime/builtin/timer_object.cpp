// The timer object: conditions on the frame timer and the user's idle time, named timed events, setting the
// timer and the timer in its units.
#include "builtin/system_objects.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/event_program.h"

#include "win32/kernel.h"

#include <array>
#include <new>

namespace vtrrt {

namespace {

constexpr std::uint8_t TimerReachedFired = 0x02; // in the condition's run flags

std::int32_t Timer(const EventRunState* s) {
    return static_cast<std::int32_t>(s->run->frameClock);
}

std::int32_t TimeParameter(std::uint8_t* record, int n) {
    return GetIntParameter(ParameterAt(record, n));
}

// The word a condition keeps in its second parameter, or null when it has none.
std::uint8_t* StateWord(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 1);
    return p && GetI16(p) >= 8 ? const_cast<std::uint8_t*>(p) + 4 : nullptr;
}

int TimerGreater(std::uint8_t* record) {
    EventRunState* s = State();
    return s && TimeParameter(record, 0) < Timer(s) ? 1 : 0;
}

int TimerLess(std::uint8_t* record) {
    EventRunState* s = State();
    return s && Timer(s) <= TimeParameter(record, 0) ? 1 : 0;
}

int TimerReached(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || (record[RecordRunFlags] & TimerReachedFired) || Timer(s) < TimeParameter(record, 0)) return 0;
    record[RecordRunFlags] |= TimerReachedFired;
    return 1;
}

int Never(std::uint8_t*) {
    return 0;
}

int Every(std::uint8_t* record) {
    EventRunState* s = State();
    std::uint8_t* word = StateWord(record);
    if (!s || !word) return 0;
    const std::int64_t left = std::int64_t{GetI32(word)} - s->run->loopTime;
    if (left > 0) {
        PutI32(word, static_cast<std::int32_t>(left));
        return 0;
    }
    PutI32(word, static_cast<std::int32_t>(left + TimeParameter(record, 0)));
    return 1;
}

int UserIdle(std::uint8_t* record) {
    EventRunState* s = State();
    return s && TimeParameter(record, 0) < s->run->frameClock - s->idleBase ? 1 : 0;
}

int OnTimedEvent(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || !s->timedEventName) return 0;
    return win32::EqualsIgnoringCase(*s->timedEventName, GetStringParameter(ParameterAt(record, 0))) ? 1 : 0;
}

int TimerEquals(std::uint8_t* record) {
    EventRunState* s = State();
    std::uint8_t* word = StateWord(record);
    if (!s || !word || Timer(s) < TimeParameter(record, 0)) return 0;
    const auto loop = static_cast<std::int32_t>(s->run->loopCount);
    const bool fresh = GetI32(word) != loop;
    PutI32(word, loop + 1);
    return fresh ? 1 : 0;
}

// Twice the milliseconds left, plus 1 once armed, so that the overshoot of a firing carries over.
int EveryArmed(std::uint8_t* record) {
    EventRunState* s = State();
    std::uint8_t* word = StateWord(record);
    if (!s || !word) return 0;
    const std::int64_t twice = 2 * std::int64_t{TimeParameter(record, 0)};
    const std::int32_t stored = GetI32(word);
    if (!(stored & 1)) {
        PutI32(word, static_cast<std::int32_t>(twice + 1));
        return 0;
    }
    const std::int64_t left = (stored & ~1) - 2 * s->run->loopTime;
    if (left < 2) {
        PutI32(word, static_cast<std::int32_t>(left + twice + 1));
        return 1;
    }
    PutI32(word, static_cast<std::int32_t>(left + 1));
    return 0;
}

// The timer-reached conditions of the frame fire again when the new timer lies before their time.
void RearmTimerReached(EventRunState* s) {
    for (const std::int32_t* p = SystemList(TypeTimer, ConditionTimerReached); p && *p != -1; p += 2) {
        std::uint8_t* condition = ProgramAt(p[1]);
        if (!condition) continue;
        condition[RecordRunFlags] |= TimerReachedFired;
        if (Timer(s) < TimeParameter(condition, 0))
            condition[RecordRunFlags] &= static_cast<std::uint8_t>(~TimerReachedFired);
    }
}

void SetTimer(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s) return;
    const std::int32_t t = TimeParameter(record, 0);
    s->run->frameClock = t;
    s->run->clockBase = ClockNow() - static_cast<std::uint32_t>(t);
    RearmTimerReached(s);
}

void AddTimedEvent(EventRunState* s, TimedEvent event) {
    try {
        s->timedEvents.push_back(std::move(event));
    } catch (const std::bad_alloc&) {
    }
}

void StartTimedEventOnce(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s) return;
    TimedEvent e;
    e.due = static_cast<std::uint32_t>(Timer(s)) + static_cast<std::uint32_t>(TimeParameter(record, 0));
    e.name = GetStringParameter(ParameterAt(record, 1));
    AddTimedEvent(s, std::move(e));
}

void StartRepeatedTimedEvent(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s) return;
    TimedEvent e;
    e.repeating = true;
    e.due = static_cast<std::uint32_t>(Timer(s)) + static_cast<std::uint32_t>(TimeParameter(record, 0));
    e.remaining = GetIntParameter(ParameterAt(record, 1));
    e.interval = TimeParameter(record, 2);
    e.name = GetStringParameter(ParameterAt(record, 3));
    AddTimedEvent(s, std::move(e));
}

std::uint32_t TimerNow() {
    EventRunState* s = State();
    return s ? static_cast<std::uint32_t>(Timer(s)) : 0;
}

void TimerExpression() {
    SetTopInt(static_cast<std::int32_t>(TimerNow()));
}
void HundredthsExpression() {
    SetTopInt(static_cast<std::int32_t>(TimerNow() / 10 % 100));
}
void SecondsExpression() {
    SetTopInt(static_cast<std::int32_t>(TimerNow() / 1000 % 60));
}
void HoursExpression() {
    SetTopInt(static_cast<std::int32_t>(TimerNow() / 3600000));
}
void MinutesExpression() {
    SetTopInt(static_cast<std::int32_t>(TimerNow() / 60000 % 60));
}
void FiringIndexExpression() {
    EventRunState* s = State();
    SetTopInt(s ? s->timedEventIndex : 0);
}

} // namespace

void InstallTimerRoutines() {
    static constexpr std::array<ConditionRoutine, 8> Conditions{
        TimerGreater, TimerLess, TimerReached, Every, UserIdle, OnTimedEvent, TimerEquals, EveryArmed};
    for (std::size_t i = 0; i < Conditions.size(); ++i)
        SetConditionRoutine(TypeTimer, static_cast<std::int32_t>(-1 - static_cast<int>(i)), Conditions[i],
                            nullptr);
    // Timer reached is raised each loop; evaluated over a selection it never holds.
    SetConditionRoutine(TypeTimer, ConditionTimerReached, Never,
                        [](std::uint8_t* record, RunObject*) { return TimerReached(record); });
    SetActionRoutine(TypeTimer, 0, SetTimer);
    SetActionRoutine(TypeTimer, 1, StartTimedEventOnce);
    SetActionRoutine(TypeTimer, 2, StartRepeatedTimedEvent);
    static constexpr std::array<ExpressionRoutine, 6> Expressions{TimerExpression,   HundredthsExpression,
                                                                  SecondsExpression, HoursExpression,
                                                                  MinutesExpression, FiringIndexExpression};
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypeTimer, static_cast<std::int32_t>(i), Expressions[i]);
}

} // namespace vtrrt
