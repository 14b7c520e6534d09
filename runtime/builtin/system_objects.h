// The system objects' conditions, actions and expressions in the dispatch tables: the special object's
// flow, groups, fast loops, global values, menus, programs, clipboard and expression functions, the timer,
// the keyboard and mouse, the storyboard, the speaker and the players; and the built-in kinds counter and
// text; with the routines every object of type 2 and up answers and the create-object object.
#pragma once

#include "events/dispatch.h"

#include <cstdint>

namespace vtrrt {

// Puts every routine built here in its table; calling it again changes nothing.
void InstallSystemObjectRoutines();

void InstallSpecialObjectRoutines();
void InstallTimerRoutines();
void InstallKeyboardMouseRoutines();
void InstallStoryboardRoutines();
void InstallSpeakerRoutines();
void InstallPlayerRoutines();
// The special object's global values and strings, menus, programs, embedded files and clipboard.
void InstallSpecialServiceRoutines();
// The special object's expression functions.
void InstallSpecialExpressions();

// Asks the display to move where the storyboard's actions asked for, before the frame is displayed.
void ApplyPendingScroll();
// The running frame's size as the storyboard's actions set it: the collision mask follows, and the virtual
// size when it was the frame's.
void SetRunningFrameSize(std::int32_t width, std::int32_t height);

// Helpers the system objects share.
// The record's negation bit.
bool IsNegated(const std::uint8_t* record);
// Inverts a result when the record is negated.
int Negatable(const std::uint8_t* record, bool result);
// A condition that tests the same way when the engine asks it about one object.
template <ConditionRoutine R> int OnObject(std::uint8_t* record, RunObject*) {
    return R(record);
}

} // namespace vtrrt
