#include "core/event_state.h"

#include "core/frame_run_state.h"
#include "startup/event_program.h"

namespace vtrrt {

void AttachEventState(EventRunState* state, FrameRunState* run, FrameEvents* events) {
    attachedEventState = state;
    if (!state) {
        SetTemporaryStrings(nullptr);
        return;
    }
    state->run = run;
    state->events = events;
    const std::int32_t infos = run && run->objectInfos ? run->objectInfoCount : 0;
    state->selections.assign(static_cast<std::size_t>(infos > 0 ? infos : 0), SelectionEntry{});
    state->qualifierWalks.assign(events ? events->qualifierMembers.size() / 2 : 0, QualifierWalk{});
    state->orFlags.assign(static_cast<std::size_t>(run && run->maxObjects > 0 ? run->maxObjects : 0), 0);
    state->startOfFrameDone = false;
    state->currentGroup = state->currentAction = nullptr;
    SetTemporaryStrings(&state->temporaryStrings);
}

void* TakeScratch(std::size_t bytes) {
    EventRunState* s = attachedEventState;
    FrameRunState* run = s ? s->run : nullptr;
    if (!run || !run->eventBufferCurrent || !run->eventBufferLimit) return nullptr;
    bytes = (bytes + 3) & ~std::size_t{3};
    if (bytes > static_cast<std::size_t>(run->eventBufferLimit - run->eventBufferCurrent)) return nullptr;
    void* block = run->eventBufferCurrent;
    run->eventBufferCurrent += bytes;
    return block;
}

} // namespace vtrrt
