#include "events/event_state.h"

#include "events/event_program.h"
#include "shell/frame_run_state.h"

namespace vtrrt {

namespace {
EventRunState* currentState = nullptr;
}

void AttachEventState(EventRunState* state, FrameRunState* run, const FrameEvents* events) {
    currentState = state;
    if (!state) {
        SetTemporaryStrings(nullptr);
        return;
    }
    state->run = run;
    state->events = events;
    const std::int32_t infos = run && run->objectInfos ? run->objectInfoCount : 0;
    state->selections.assign(static_cast<std::size_t>(infos > 0 ? infos : 0), SelectionEntry{});
    state->qualifierWalks.assign(events ? events->qualifierMembers.size() / 2 : 0, QualifierWalk{});
    SetTemporaryStrings(&state->temporaryStrings);
}

EventRunState* CurrentEventState() {
    return currentState;
}

} // namespace vtrrt
