#include "shell/pause.h"

#include "shell/application_state_machine.h"
#include "shell/frame_run_state.h"
#include "shell/runtime_services.h"

#include "shell/frame_clock.h"
#include "shell/header_flags.h"
#include "shell/window_procedures.h"
#include "startup/application_record.h"

#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

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

void PauseFrameTimer() {
    RuntimeServices& services = Services();
    if (services.hookPaused) return;
    services.hookPaused = true;
    ApplicationRecord* top = TopApplication();
    if (!top || top->run.menuPauseCount++ != 0) return;
    CurrentApplicationScope scope(top);
    if (top->runState != StateRunFrame || !CurrentRunState()) return;
    ApplicationRun& run = top->run;
    if (ApplicationPaused()) {
        // The application paused itself: the menu only notes that it opened meanwhile.
        run.runFlags |= RunFlagMenuWhilePaused;
    } else if ((top->header.flags2 & HeaderRunInModalLoops) && !(run.runFlags & RunFlagInObjectPass)) {
        const UINT period = static_cast<UINT>(std::max(10, 1000 / ClampFrameRate(top->header.frameRate)));
        if (SetTimer(services.mainWindow, ModalStepTimer, period, nullptr)) run.stepTimerActive = 1;
    } else {
        PauseApplication();
        run.menuPausedFrame = true;
    }
}

void ResumeFrameTimer() {
    RuntimeServices& services = Services();
    if (!services.hookPaused) return;
    services.hookPaused = false;
    ApplicationRecord* top = TopApplication();
    if (!top || top->run.menuPauseCount <= 0 || --top->run.menuPauseCount != 0) return;
    CurrentApplicationScope scope(top);
    ApplicationRun& run = top->run;
    run.runFlags &= static_cast<std::uint16_t>(~RunFlagMenuWhilePaused);
    if (run.stepTimerActive) {
        KillTimer(services.mainWindow, ModalStepTimer);
        run.stepTimerActive = 0;
    }
    if (run.menuPausedFrame) {
        run.menuPausedFrame = false;
        ResumeApplication();
    }
}

} // namespace vtrrt
