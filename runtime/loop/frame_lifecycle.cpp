#include "loop/frame_lifecycle.h"

#include "events/extension_host.h"

#include "core/error_message.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "core/typed_value.h"
#include "events/event_evaluation.h"
#include "events/event_preparation.h"
#include "loop/application_state_machine.h"
#include "loop/frame_transitions.h"
#include "loop/game_loop.h"
#include "loop/pause.h"
#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "objects/frame_run_state_setup.h"
#include "objects/object_sprites.h"
#include "persist/global_object_store.h"
#include "persist/saved_positions.h"
#include "shell/frame_surfaces.h"
#include "shell/mouse_capture.h"
#include "shell/window_placement.h"
#include "shell/window_title.h"
#include "startup/build_palette.h"
#include "startup/chunk_reader.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/frame_loader.h"
#include "startup/frame_object_infos.h"
#include "startup/sound_items.h"

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/surface.h"

#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t HeaderFlags2EndAfterEveryFrame = 0x4;
constexpr std::int16_t ConditionEndOfApplication = -4;

bool EndsFrameAfterWait(int code) {
    return code == ExitNextFrame || code == ExitPreviousFrame || code == ExitJumpToFrame ||
           code == ExitEndApplication || code == ExitError;
}
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
    CreateFrameObjects(false);
    RedrawFrame(RedrawAfterRebuild);
    RestoreGlobalObjects();
    // The stored program is prepared afresh, so the restart starts from the frame's pristine events.
    if (StartFrameEvents(*CurrentRunState()) != 0) return ExitError;
    BroadcastStartFrame(App().currentFrameIndex);
    InitFrameRunState();
    CaptureMouse();
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

SpriteWindow* FrameSprites() {
    AppWindow* window = Services().frameLibraryWindow;
    return window ? window->sprites : nullptr;
}

void AllowFrameWindowUpdates(bool allow) {
    EnableWindowUpdate(Services().frameLibraryWindow, allow ? 1 : 0);
}

// Keys and clicks made while the frame was changing are not the new frame's. Only they go: a close or a
// command posted meanwhile (the close box posts its request) must still arrive.
void DiscardPendingInput(const ApplicationRecord& app) {
    if (app.run.inTimerStep) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

// Sprites kept for the backdrops added while the frame runs (and their wrapped copies).
constexpr std::int64_t RunTimeBackdropSprites = 512;

// Two sprites per object the frame may hold, one for each backdrop placed on a layer, and room for backdrops
// added at run time.
int SpritePoolSize(const FrameRecord& frame) {
    std::int64_t n = 2 * std::int64_t{FrameObjectCapacity(frame)} + RunTimeBackdropSprites;
    for (std::int32_t i = 0; i < frame.instanceCount && frame.instances; ++i) {
        const FrameItemInstance& item = frame.instances[i];
        if (item.objectType < 2 && item.layer >= 0 && item.layer < frame.layerCount) ++n;
    }
    return static_cast<int>(std::min<std::int64_t>(n, INT32_MAX));
}

// The part of the frame the window shows: the screen for a frame that takes the screen's size, else the
// smaller of the application's window and the frame, in each direction.
SIZE PlayAreaSize(const ApplicationRecord& app, const FrameRecord& frame) {
    if (app.parent && (app.subAppOptions & SubAppDocked)) return {app.subAppWidth, app.subAppHeight};
    if (frame.flags & FrameScreenSize) return {Services().screenWidth, Services().screenHeight};
    return {std::min<LONG>(app.header.windowWidth, frame.width),
            std::min<LONG>(app.header.windowHeight, frame.height)};
}

} // namespace

void OnSurfaceLost(cSurface*, LPARAM argument) {
    auto* app = reinterpret_cast<ApplicationRecord*>(argument);
    if (!app) return;
    // A fade's pictures go with the device: the fade ends.
    if (app->runState == StateFadeIn || app->runState == StateFadeOut)
        EndFrameTransition(app, app->runState == StateFadeOut);
    // The window-size surface is made again at the next clear; the previous frame's picture goes.
    if (app->run.frame) DestroyWindowSurface(*app->run.frame);
    if (app->frameSurface && !(app->run.frame && app->run.frame->surface == app->frameSurface))
        DestroyFrameSurface(app->frameSurface);
}

namespace {

constexpr win32::WORD DisplayType256 = 3;

// The frame's screen surface, from the application's prototype, attached to the frame window. The previous
// frame's picture stays with the application; a frame that keeps it starts from it, others from their
// background colour.
void CreateFrameScreenSurface(ApplicationRecord& app, FrameRecord& frame) {
    AppWindow* window = Services().frameLibraryWindow;
    if ((frame.flags & FrameNoScreenSurface) || !window || !app.surfacePrototype || frame.surface) return;
    const SIZE area = PlayAreaSize(app, frame);
    cSurface* surface = NewSurface();
    if (!surface || !surface->Create(area.cx, area.cy, app.surfacePrototype)) {
        DeleteSurface(surface);
        return;
    }
    // A 256-colour application draws in its own colours: the palette comes before the background is
    // matched to an index.
    if (Services().displayType == DisplayType256) SetRuntimePaletteOn(*surface);
    surface->AddLostDeviceCallback(OnSurfaceLost, reinterpret_cast<LPARAM>(&app));
    if (Services().vsync) surface->NotifyScreenModeChange(1);
    if (app.frameSurface) surface->CopyFullScreenState(*app.frameSurface);
    AttachWindowSurface(window, surface);
    frame.surface = surface;
    if ((frame.flags & FrameKeepPicture) && app.frameSurface)
        app.frameSurface->BlitWhole(*surface, 0, 0, 0);
    else if (!(Services().displayFlags & DisplayDriverFlag))
        surface->Fill(frame.background);
}

constexpr LONG CollisionMarginX = 64;
constexpr LONG CollisionMarginY = 16;

} // namespace

int CreateFrameCollisionMask(const FrameRecord& frame) {
    std::uint32_t kinds = GetFrameObstacleTypes();
    if (frame.events && !frame.events->stored.empty())
        kinds |= ScanEventsForObstacleTypes(frame.events->stored);
    if (frame.flags & FrameRectCollisionMask)
        return CreateCollisionMaskForRect(FrameSprites(), -CollisionMarginX, -CollisionMarginY,
                                          frame.width + CollisionMarginX, frame.height + CollisionMarginY,
                                          kinds);
    return CreateCollisionMask(FrameSprites(), CollisionMarginX, CollisionMarginY, kinds);
}

namespace {

// Takes down what a frame's start built (objects, sounds, events and the run state), keeping nothing for
// the next frame.
void TakeDownFrameStart(FrameRunState* built) {
    FreeBackgroundQueue();
    if (FrameRecord* frame = Services().frame) ResetFrameLayers(*frame, false);
    StopFrameSounds(App());
    KillAllObjects();
    EndFrameEvents(built);
    ReleaseMouse();
    FreeFrameRunState(built);
}

// "Frame <n> cannot start.", with the events chunk's place when its program is what failed.
int ReportFrameStartFailure(const FrameRecord& frame, int code) {
    const ApplicationRecord& app = App();
    const DamagePlace place{ChunkFrameEvents, frame.eventsChunkOffset};
    const bool damagedEvents = code == FrameEventsDamaged && frame.events;
    ShowLoadFailure(nullptr, app.dataFilePath, app.currentFrameIndex, FrameFailure::Start,
                    damagedEvents ? &place : nullptr, damagedEvents ? 0 : ErrorOutOfMemory);
    return -1;
}

} // namespace

int StartFrameRun(bool fadeIn) {
    FrameRecord* frame = Services().frame;
    if (App().run.pendingPositionFile[0]) {
        // Only a position applied makes a run; anything else starts the frame as usual, after taking down
        // what a failed load built.
        const PositionLoad load = LoadApplicationPosition(nullptr);
        if (load == PositionLoad::Applied) {
            if (fadeIn) CurrentRunState()->runFlags |= RunFadeInPending;
            return 0;
        }
        if (FrameRunState* built = CurrentRunState()) TakeDownFrameStart(built);
    }
    frame->maxObjects = FrameObjectCapacity(*frame);
    if (CreateFrameRunState() != 0) return ReportFrameStartFailure(*frame, ErrorOutOfMemory);
    FrameRunState* s = CurrentRunState();
    if (fadeIn) s->runFlags |= RunFadeInPending;
    ResetObjectList();
    ResetFrameLayers(*frame, false);
    BuildObjectInfoList();
    InitFrameRunState();
    CreateFrameObjects(fadeIn);
    frame->scrollX = s->scrollX;
    frame->scrollY = s->scrollY;
    RedrawFrame(RedrawFirstOfRun);
    RestoreGlobalObjects();
    if (const int r = StartFrameEvents(*s); r != 0) {
        TakeDownFrameStart(s);
        return ReportFrameStartFailure(*frame, r);
    }
    CaptureMouse();
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
            AllowFrameWindowUpdates(true);
            app.runState = StateQuit;
            return -1;
        }
        app.run.frame = frame;
        app.currentFrameIndex = app.run.nextFrame;
    }
    FrameRecord* frame = app.run.frame;
    Services().frame = frame;
    UpdateWindowTitle();
    BroadcastStartFrame(app.currentFrameIndex);
    frame->transitionState = 0;
    frame->endCode = ExitNone;
    CreateFrameScreenSurface(app, *frame);
    ControlAppWindow(Services().frameLibraryWindow, 1, 0, SpritePoolSize(*frame));
    CreateLayerEffects();
    DiscardPendingInput(app);
    AllowFrameWindowUpdates(false);
    PlaceWindowsForFrame(app);
    DestroyWindowSurface(*frame);
    if (!Services().fullScreen) SyncDisplaySurfaceSize(Services().frameLibraryWindow);
    CreateWindowSurface(*frame);
    ShowDesktopBehindFrame(app);
    CreateFrameCollisionMask(*frame);
    app.run.startTime = ClockNow();
    const bool fadeIn = frame->fadeIn.data != nullptr;
    if (const int r = StartFrameRun(fadeIn); r != 0) {
        AllowFrameWindowUpdates(true);
        FreeCollisionMask(FrameSprites());
        FreeFrame(frame);
        Services().frame = nullptr;
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
        } else if (!StartFrameTransition(false, app.frameSurface)) {
            // Without a fade to play the frame goes on at once.
            RefreshAfterFadeIn();
            app.runState = StateRunFrame;
        }
    }
    ShowWindowsForFrame(app);
    AllowFrameWindowUpdates(true);
    return 0;
}

void RefreshAfterFadeIn() {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Services().frame;
    if (!s || !frame || !(s->runFlags & RunFadeInPending)) return;
    s->runFlags &= static_cast<std::uint16_t>(~RunFadeInPending);
    // The frame as it is, over whatever the fade's last step left.
    RedrawFrame(RedrawFirstOfRun);
    static constexpr ObjectFlagRoutine Restore[] = {
        {ObjectHasSprite, [](RunObject* o, int) { RestoreObjectSprite(o); }}, {0xFFFF, nullptr}};
    CallObjectRoutines(nullptr, 0, Restore);
    s->clockBase = ClockNow() - static_cast<std::uint32_t>(frame->firstTickFrameTime);
    s->lastLoopTick = GetElapsedTicks() - frame->firstTickDistance;
    // The program keeps what the first tick did to it: the start of the frame runs again only for the
    // actions that found no object then. A failure leaves the run state's error word set.
    StartFrameEvents(*s, false);
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
            // A code set while the tick was awaited (a window message) ends the frame as one set by events.
            if (EndsFrameAfterWait(r) && !app.run.inTimerStep)
                TriggerSystemCondition(EventCodeOf(TypeStoryboard, ConditionEndOfFrame));
        }
    }
    FreeTemporaryStrings();
    if (s->runFlags & RunFadeInPending) {
        // The objects are not shown before the fade-in.
        static constexpr ObjectFlagRoutine Release[] = {
            {ObjectHasSprite, [](RunObject* o, int) { ReleaseObjectSprite(o); }}, {0xFFFF, nullptr}};
        CallObjectRoutines(nullptr, 0, Release);
        FrameRecord* frame = Services().frame;
        frame->firstTickFrameTime = static_cast<std::int32_t>(ClockNow() - s->clockBase);
        frame->firstTickDistance = static_cast<std::int32_t>(GetElapsedTicks() - s->lastLoopTick);
        ResetFrameLayers(*frame, false);
        if (frame->events) ReleaseFrameEventLists(*frame->events);
    }
    if (s->saveRequest == SaveRequestPosition) {
        s->saveRequest = 0;
        SaveApplicationPosition(nullptr);
        s = CurrentRunState();
    }
    s->saveRequest = 0;
    if (r == 0 || app.run.inTimerStep) return r;
    switch (r) {
    case ExitPause:
        s->exitCode = ExitNone;
        PauseApplication();
        return 0;
    case ExitLoadPositionJump: {
        s->exitCode = ExitNone;
        const std::int32_t saved = LoadPositionAndRestart();
        // Nothing read: the frame goes on as it was.
        if (saved < 0) return 0;
        if (saved != app.currentFrameIndex) {
            s->exitCode = ExitJumpToFrame;
            s->exitParameter = static_cast<std::int32_t>(static_cast<std::uint32_t>(saved) | JumpByIndex);
            return ExitJumpToFrame;
        }
        // The position is for this frame: the file kept for the next frame's start is loaded now.
        const PositionLoad load = LoadApplicationPosition(nullptr);
        return load == PositionLoad::Failed ? RebuildFrameRun() : 0;
    }
    case ExitLoadPosition: {
        s->exitCode = ExitNone;
        // Applied, refused with its message or cancelled, the frame goes on; a load that failed after
        // taking the run down restarts it from the frame's own data.
        const PositionLoad load = LoadApplicationPosition(nullptr);
        return load == PositionLoad::Failed ? RebuildFrameRun() : 0;
    }
    case ExitRestartFrame:
        return RebuildFrameRun();
    case ExitEndApplication:
    case ExitError:
        TriggerSystemCondition(EventCodeOf(TypeStoryboard, ConditionEndOfApplication));
        return r;
    default:
        return r;
    }
}

std::uint32_t EndFrameRun(int code) {
    FrameRunState* s = CurrentRunState();
    const std::uint32_t parameter = s ? static_cast<std::uint32_t>(s->exitParameter) : 0;
    if (s) s->runFlags |= RunFrameEnding;
    StoreGlobalObjects();
    FreeBackgroundQueue();
    if (FrameRecord* frame = Services().frame) ResetFrameLayers(*frame, false);
    StopFrameSounds(App());
    KillAllObjects();
    EndFrameEvents(s);
    ReleaseMouse();
    FreeFrameRunState(s);
    const int reported = code >= ExitRestartFrame ? ExitError : code;
    return (parameter << 16) | static_cast<std::uint16_t>(reported);
}

void EndCurrentFrame() {
    ApplicationRecord& app = App();
    FrameRecord* frame = app.run.frame;
    const std::uint32_t result = EndFrameRun(frame ? frame->endCode : int{ExitError});
    BroadcastEndFrame(app.currentFrameIndex);
    ChooseNextState(app, result);
    DiscardPendingInput(app);
    if (app.runState == StateStartFrame && app.run.nextFrame == app.currentFrameIndex) return;
    FreeCollisionMask(FrameSprites());
    FreeFrame(frame);
    app.run.frame = nullptr;
    Services().frame = nullptr;
    app.currentFrameIndex = -1;
}

} // namespace vtrrt
