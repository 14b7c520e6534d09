// Evaluation of a frame's prepared event program: the groups of a list (plain, filtered-or and logical-or),
// their actions with the repeat passes, the per-loop time-based passes and scheduled timers, conditions
// raised by system objects and objects, pushed events, and the destruction of marked objects.
#pragma once

#include "core/event_state.h"

#include <cstdint>

namespace vtrrt {

struct RunObject;

// The event code of a condition, action or expression: the number in the high half, the type in the low.
constexpr std::int32_t EventCodeOf(std::int16_t type, std::int16_t number) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(number)) << 16) |
                                     static_cast<std::uint16_t>(type));
}
constexpr std::int16_t EventCodeType(std::int32_t code) {
    return static_cast<std::int16_t>(code & 0xFFFF);
}
constexpr std::int16_t EventCodeNumber(std::int32_t code) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(code) >> 16);
}

// Evaluates the groups of a list of {group, condition} pairs ended by -1. `raised` says the list's condition
// was raised: the first condition of each group is then evaluated for `object` alone (null for a system
// object) rather than over the selections.
void HandleTriggeredEvents(const std::int32_t* list, RunObject* object, bool raised);
// A group whose first condition is known to hold (a fast loop's on-loop condition) becomes the current
// group: the rest of its conditions are evaluated over the selections, then its actions run.
void RunGroupPastFirstCondition(std::uint8_t* group);
// Runs the actions of the current group from its first action.
void RunEventActions(std::uint8_t* firstAction);
// Runs only the create and destroy actions (4 and 9) of the current group that name the object's object
// info, for that object alone.
void RunImmediateActions(std::uint8_t* firstAction, RunObject* object);

// The groups listening to a system object's condition, raised; the current event code is left as it is.
void TriggerSystemCondition(std::int32_t code);
// The routine pushed for system conditions: the event code becomes `code` (the object is not used).
void RaiseSystemConditionWithCode(RunObject* object, std::int32_t code);
// The groups listening to the object's condition of `code`, raised for the object.
void TriggerObjectCondition(RunObject* object, std::int32_t code);

// The notifications object extensions send through their run routines (their own or common conditions
// raised now or pushed, requests to be destroyed) are the extension services', over TriggerObjectCondition,
// PushEvent and MarkObjectForDestroy.

// The list of a system object's condition, or null.
const std::int32_t* SystemList(std::int16_t type, std::int16_t number);

// Per loop: the timer and start-of-frame lists, then the named timers, then the every-loop list.
void RunTimeBasedEvents();
void FireScheduledTimers();
void RunEveryLoopEvents();

// Appends an event to run later in the loop (FlushPushedEvents); nothing is recorded when memory runs out.
void PushEvent(PushedRoutine routine, std::int32_t code, std::int32_t parameter, RunObject* object,
               std::int16_t value);
void FlushPushedEvents();
bool HasPushedEvents();

// The frame's 16-bit generator: the seed steps as seed * 31415 + 1; the result lies in 0 .. n - 1 (0 for n of
// 0), n taken as 16 bits.
std::int32_t RandomBelow(std::int32_t n);

// The program's byte at an offset of the prepared program (checked), or null.
std::uint8_t* ProgramAt(std::int32_t offset);
// The group after `group` in the program, or null at the end.
std::uint8_t* NextGroup(std::uint8_t* group);
// The group's n-th record (conditions first), or null.
std::uint8_t* GroupRecord(std::uint8_t* group, int n);

} // namespace vtrrt
