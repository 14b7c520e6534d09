#include "shell/frame_lifecycle.h"

#include "events/event_preparation.h"
#include "shell/application_state_machine.h"
#include "shell/frame_clock.h"
#include "shell/frame_run_state.h"
#include "shell/game_loop.h"
#include "shell/runtime_services.h"
#include "shell/window_placement.h"
#include "startup/frame_loader.h"
#include "startup/sound_items.h"

#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t HeaderFlags2EndAfterEveryFrame = 0x4;
constexpr std::uint32_t JumpByIndex = 0x8000;

ApplicationRecord& App() {
    return *CurrentApplication();
}

// The index a jump's parameter names: an index with bit 15, else a frame handle.
std::int32_t JumpTarget(const ApplicationRecord& app, std::uint32_t parameter, std::int32_t current) {
    if (parameter & JumpByIndex) {
        const std::int32_t last = std::max(0, app.header.frameCount - 1);
        return std::clamp<std::int32_t>(static_cast<std::int32_t>(parameter & 0x7FFF), 0, last);
    }
    if (app.frameHandles && parameter < app.frameHandleCount && app.frameHandles[parameter] != 0xFFFF)
        return app.frameHandles[parameter];
    return current + 1;
}

// Builds the run of the current frame again in place.
int RebuildFrameRun() {
    FrameRecord* frame = Services().frame;
    ResetFrameLayers(*frame, false);
    StopFrameSounds(App());
    KillAllObjects();
    EndFrameEvents(CurrentRunState());
    FreeFrameRunState(CurrentRunState());
    frame->transitionState = 0;
    if (CreateFrameRunState() != 0) return ExitError;
    ResetObjectList();
    ResetFrameLayers(*frame, false);
    BuildObjectInfoList();
    InitFrameRunState();
    // The stored program is prepared afresh, so the restart starts from the frame's pristine events.
    if (StartFrameEvents(*CurrentRunState()) != 0) return ExitError;
    InitFrameRunState();
    CurrentRunState()->exitParameter = 0;
    return 0;
}

// What follows a frame's end code.
void ChooseNextState(ApplicationRecord& app, std::uint32_t result) {
    const auto code = static_cast<std::int16_t>(result & 0xFFFF);
    const std::uint32_t parameter = result >> 16;
    const std::int32_t current = app.currentFrameIndex;
    if (app.header.flags2 & HeaderFlags2EndAfterEveryFrame) {
        app.runState = StateQuit;
        return;
    }
    switch (code) {
    case ExitNextFrame:
        app.run.nextFrame = current + 1;
        app.runState = StateStartFrame;
        break;
    case ExitPreviousFrame:
        app.run.nextFrame = std::max(0, current - 1);
        app.runState = StateStartFrame;
        break;
    case ExitJumpToFrame:
        app.run.nextFrame = JumpTarget(app, parameter, current);
        app.runState = StateStartFrame;
        break;
    case ExitRestartApplication:
        app.run.nextFrame = app.run.firstFrame;
        app.runState = StateStartApplication;
        break;
    default:
        app.runState = StateQuit;
        break;
    }
    if (app.runState == StateStartFrame &&
        (app.run.nextFrame < 0 || app.run.nextFrame >= app.header.frameCount))
        app.runState = StateQuit;
}

} // namespace

int StartFrameRun(bool fadeIn) {
    // Saved positions are loaded by the position services, not part of this build.
    FrameRecord* frame = Services().frame;
    frame->maxObjects = std::max(frame->maxObjects, 1);
    if (CreateFrameRunState() != 0) return -1;
    FrameRunState* s = CurrentRunState();
    if (fadeIn) s->runFlags |= RunFadeInPending;
    ResetObjectList();
    ResetFrameLayers(*frame, false);
    BuildObjectInfoList();
    InitFrameRunState();
    // Objects, the first redraw, global objects and the mouse capture belong to services not part of this
    // build.
    if (const int r = StartFrameEvents(*s); r != 0) return r;
    s->exitParameter = 0;
    InitFrameRunState();
    s->lastWord = 0;
    return 0;
}

int StartCurrentFrame() {
    ApplicationRecord& app = App();
    if (app.run.nextFrame != app.currentFrameIndex) {
        FrameRecord* frame = LoadFrame(app.run.nextFrame);
        if (!frame) {
            app.runState = StateQuit;
            return -1;
        }
        app.run.frame = frame;
        app.currentFrameIndex = app.run.nextFrame;
    }
    FrameRecord* frame = app.run.frame;
    Services().frame = frame;
    frame->transitionState = 0;
    frame->endCode = ExitNone;
    // The screen surface, the sprite pool and the play-area collision mask are made through the library's
    // window services, not part of this build; the window shows the frame's background colour.
    CreateLayerEffects();
    PlaceWindowsForFrame(app);
    ShowDesktopBehindFrame(app);
    app.run.startTime = ClockNow();
    const bool fadeIn = frame->fadeIn.data != nullptr;
    if (const int r = StartFrameRun(fadeIn); r != 0) {
        FreeFrame(frame);
        app.run.frame = nullptr;
        app.currentFrameIndex = -1;
        app.runState = StateQuit;
        return r;
    }
    if (!fadeIn) {
        app.runState = StateRunFrame;
    } else {
        frame->endCode = static_cast<std::int16_t>(FrameTick());
        if (frame->endCode != ExitNone) {
            app.runState = StateEndFrame;
        } else {
            // No transition module can play the fade (see the state machine): the frame goes on at once.
            RefreshAfterFadeIn();
            app.runState = StateRunFrame;
        }
    }
    ShowWindowsForFrame(app);
    return 0;
}

void RefreshAfterFadeIn() {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Services().frame;
    if (!s || !frame || !(s->runFlags & RunFadeInPending)) return;
    s->runFlags &= static_cast<std::uint16_t>(~RunFadeInPending);
    s->clockBase = ClockNow() - static_cast<std::uint32_t>(frame->firstTickFrameTime);
    s->lastLoopTick = GetElapsedTicks() - frame->firstTickDistance;
    // A failure leaves the run state's error word set.
    StartFrameEvents(*s);
}

int FrameTick() {
    ApplicationRecord& app = App();
    FrameRunState* s = CurrentRunState();
    if (!s) return ExitError;
    app.run.runFlags |= RunFlagInObjectPass;
    int r = GameLoopStep();
    app.run.runFlags &= static_cast<std::uint16_t>(~RunFlagInObjectPass);
    if (!app.parent) {
        if (r != 0) {
            const std::int16_t code = s->exitCode;
            const std::int32_t parameter = s->exitParameter;
            WaitForFrameTick();
            s = CurrentRunState();
            if (s->exitCode == ExitEndApplication || s->exitCode == ExitError) {
                r = s->exitCode;
            } else {
                s->exitCode = code;
                s->exitParameter = parameter;
            }
        } else {
            WaitForFrameTick();
            s = CurrentRunState();
            r = s->exitCode;
        }
    }
    if (s->runFlags & RunFadeInPending) {
        FrameRecord* frame = Services().frame;
        frame->firstTickFrameTime = static_cast<std::int32_t>(ClockNow() - s->clockBase);
        frame->firstTickDistance = static_cast<std::int32_t>(GetElapsedTicks() - s->lastLoopTick);
        ResetFrameLayers(*frame, false);
        if (frame->events) ReleaseFrameEventLists(*frame->events);
    }
    // Saving a position (save request 8) belongs to the position services, not part of this build.
    s->saveRequest = 0;
    if (r == 0 || app.run.inTimerStep) return r;
    switch (r) {
    case ExitPause:
        // Pausing belongs to the pause services, not part of this build: the request is dropped.
        s->exitCode = ExitNone;
        return 0;
    case ExitLoadPosition:
        // No position can be loaded in this build: the frame restarts as when a load fails.
        s->exitCode = ExitNone;
        [[fallthrough]];
    case ExitRestartFrame:
        return RebuildFrameRun();
    default:
        return r;
    }
}

std::uint32_t EndFrameRun(int code) {
    FrameRunState* s = CurrentRunState();
    const std::uint32_t parameter = s ? static_cast<std::uint32_t>(s->exitParameter) : 0;
    if (FrameRecord* frame = Services().frame) ResetFrameLayers(*frame, false);
    StopFrameSounds(App());
    KillAllObjects();
    EndFrameEvents(s);
    FreeFrameRunState(s);
    const int reported = code >= ExitRestartFrame ? ExitError : code;
    return (parameter << 16) | static_cast<std::uint16_t>(reported);
}

void EndCurrentFrame() {
    ApplicationRecord& app = App();
    FrameRecord* frame = app.run.frame;
    const std::uint32_t result = EndFrameRun(frame ? frame->endCode : int{ExitError});
    ChooseNextState(app, result);
    if (app.runState == StateStartFrame && app.run.nextFrame == app.currentFrameIndex) return;
    FreeFrame(frame);
    app.run.frame = nullptr;
    Services().frame = nullptr;
    app.currentFrameIndex = -1;
}

} // namespace vtrrt
