#include "shell/pause.h"

#include "shell/application_state_machine.h"
#include "shell/frame_run_state.h"
#include "shell/runtime_services.h"

#include "shell/frame_clock.h"

namespace vtrrt {

void PauseApplication() {
    FrameRunState* s = CurrentRunState();
    if (!s || ++s->pauseCount != 1) return;
    s->pauseTime = ClockNow();
    s->pauseTickOffset = GetElapsedTicks() - s->lastLoopTick;
}

void ResumeApplication() {
    FrameRunState* s = CurrentRunState();
    if (!s || s->pauseCount == 0 || --s->pauseCount != 0) return;
    s->clockBase += ClockNow() - s->pauseTime;
    // The loop after the resume is due one tick after the loop before the pause, however long it lasted.
    s->lastLoopTick = GetElapsedTicks() - s->pauseTickOffset;
}

bool ApplicationPaused() {
    const FrameRunState* s = CurrentRunState();
    return s && s->pauseCount != 0;
}

} // namespace vtrrt
