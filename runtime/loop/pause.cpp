#include "loop/pause.h"

#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "objects/display_list.h"

#include "core/application_record.h"
#include "core/frame_clock.h"
#include "core/header_flags.h"
#include "shell/window_procedures.h"

#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {

// The pointer shown however often it was hidden, or hidden however often it was shown; the display count
// reached.
int ShowPointerFully() {
    int count = ShowCursor(TRUE);
    while (count < 0)
        count = ShowCursor(TRUE);
    return count;
}

int HidePointerFully() {
    int count = ShowCursor(FALSE);
    while (count >= 0)
        count = ShowCursor(FALSE);
    return count;
}

void KeepPointerCount(int count) {
    if (FrameRunState* s = CurrentRunState()) s->pointerShowCount = static_cast<std::int16_t>(count);
}

// A paused frame lets the user have the pointer and the mouse; the run state keeps the count it had.
void FreePointer(const FrameRunState& s) {
    if (s.mousePlayers) {
        ShowPointerFully();
        ReleaseCapture();
        SetCursorPos(s.savedPointer.x, s.savedPointer.y);
    } else if (s.pointerShowCount < 0) {
        ShowPointerFully();
    }
}

void TakePointerBack(FrameRunState& s) {
    if (s.mousePlayers) {
        GetCursorPos(&s.savedPointer);
        SetCapture(s.frameWindow);
        HidePointerFully();
        SetCursorPos(s.cursorCentreX, s.cursorCentreY);
    } else if (s.pointerShowCount < 0) {
        HidePointerFully();
    }
}

} // namespace

void PauseApplication() {
    FrameRunState* s = CurrentRunState();
    if (!s || ++s->pauseCount != 1) return;
    s->pauseTime = ClockNow();
    s->pauseTickOffset = GetElapsedTicks() - s->lastLoopTick;
    // The built-in kinds have no pause routines; extension objects are told through theirs.
    CallObjectRoutines(nullptr, PauseSelector, nullptr);
    FreePointer(*s);
}

void ResumeApplication() {
    FrameRunState* s = CurrentRunState();
    if (!s || s->pauseCount == 0 || --s->pauseCount != 0) return;
    TakePointerBack(*s);
    CallObjectRoutines(nullptr, ContinueSelector, nullptr);
    s->clockBase += ClockNow() - s->pauseTime;
    // The loop after the resume is due one tick after the loop before the pause, however long it lasted.
    s->lastLoopTick = GetElapsedTicks() - s->pauseTickOffset;
    if (EventRunState* events = CurrentEventState()) events->emptyWhenStale = 0;
}

int PauseService(void*, void*, void*) {
    PauseApplication();
    return 0;
}

int ResumeService(void*, void*, void*) {
    ResumeApplication();
    return 0;
}

int ShowPointer() {
    const int count = ShowPointerFully();
    KeepPointerCount(count);
    return count;
}

void HidePointer() {
    KeepPointerCount(HidePointerFully());
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
