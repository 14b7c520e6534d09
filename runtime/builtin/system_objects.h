// The system objects' conditions, actions and expressions in the dispatch tables: the special object's
// flow, groups and fast loops, the timer, the keyboard and mouse, the storyboard, the speaker and the
// create-object object; with the routines every object of type 2 and up answers.
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

// Asks the display to move where the storyboard's actions asked for, before the frame is displayed.
void ApplyPendingScroll();

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
