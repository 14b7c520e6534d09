#include "loop/application_state_machine.h"

#include "events/extension_host.h"
#include "shell/extension_services.h"

#include "builtin/sound_services.h"
#include "builtin/system_objects.h"
#include "core/error_message.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "loop/frame_lifecycle.h"
#include "loop/frame_transitions.h"
#include "loop/input_events.h"
#include "loop/menu_pause_hook.h"
#include "objects/frame_run_state_setup.h"
#include "persist/global_object_store.h"
#include "richtext/rich_text_object.h"
#include "shell/application_menu.h"
#include "shell/mouse_capture.h"
#include "shell/window_procedures.h"
#include "startup/frame_loader.h"
#include "startup/player_globals.h"
#include "startup/runtime_files.h"
#include "startup/sound_items.h"

#include "vtrs2/app_window.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint32_t SubAppPacedOption = 0x1000;

std::int32_t TopFrameRate(const ApplicationRecord* app) {
    while (app->parent)
        app = app->parent;
    return ClampFrameRate(app->header.frameRate);
}

void StartApplicationState(ApplicationRecord& app) {
    if (app.run.stepTimerActive) {
        KillTimer(Services().mainWindow, ModalStepTimer);
        app.run.stepTimerActive = 0;
    }
    InitApplicationGlobals();
    BroadcastStartApp();
    FreeGlobalObjectStore(app);
    RebuildApplicationMenu(app);
    app.run.nextFrame = app.run.firstFrame;
    app.runState = StateStartFrame;
}

} // namespace

std::int32_t ClampFrameRate(std::int32_t rate) {
    return std::clamp(rate, MinFrameRate, MaxFrameRate);
}

UINT TimerPeriodFor(std::int32_t frameRate) {
    const std::int32_t r = ClampFrameRate(frameRate);
    if (r >= 50) return 1;
    if (r <= 10) return 50;
    return static_cast<UINT>(std::max(1, 1000 / (2 * r)));
}

int StartApplication(ApplicationRecord* app) {
    if (!app || !app->libraryContext) return 0;
    InstallSystemObjectRoutines();
    InstallRichTextRoutines();
    InstallEventRaisers();
    SetCurrentApplication(app);
    SetApplicationChannels(*app);
    if (!app->parent) {
        // The shell hands over no start folder of its own: the folder of the application's file.
        if (app->dataFilePath) ChangeToFolderOfPath(app->dataFilePath);
        app->run.timerPeriod = TimerPeriodFor(app->header.frameRate);
        timeBeginPeriod(app->run.timerPeriod);
        InstallMenuPauseHook();
    }
    app->currentFrameIndex = -1;
    app->runState = StateStartApplication;
    return 1;
}

int RunApplicationStep(ApplicationRecord* app, int stopAfterStart) {
    if (!app) return 0;
    SetCurrentApplication(app);
    for (;;) {
        switch (app->runState) {
        case StateStartApplication:
            StartApplicationState(*app);
            if (stopAfterStart) return 1;
            break;
        case StateStartFrame:
            if (Services().endRequested) {
                app->runState = StateQuit;
                return 0;
            }
            if (const int r = StartCurrentFrame(); r != 0) {
                if (r > 0) ShowErrorMessage(nullptr, r);
                // -2 ends the application as asked; anything else is a frame that could not start.
                if (r != ExitError) app->run.startError = r;
                app->runState = StateQuit;
                return 0;
            }
            break;
        case StateFadeIn:
        case StateFadeOut: {
            const bool fadeOut = app->runState == StateFadeOut;
            // An end asked for does not wait for a fade, however long its data says it lasts.
            if (!Services().endRequested && StepFrameTransition()) return 1;
            EndFrameTransition(app, fadeOut);
            if (app->runState == StateQuit || app->runState == StateStartApplication) EndCurrentFrame();
            break;
        }
        case StateRunFrame: {
            FrameRecord* frame = app->run.frame;
            if (!frame) return 1;
            if (frame->endCode == ExitNone) {
                // An end asked while the frame started, before it had a run state to take it, ends it now.
                if (Services().endRequested) RequestEndOfRun();
                frame->endCode = static_cast<std::int16_t>(FrameTick());
                if (frame->endCode == ExitNone) return 1;
            }
            if (app->run.inTimerStep) return 1;
            if (!StartFrameTransition(true, nullptr)) EndCurrentFrame();
            break;
        }
        case StateEndFrame:
            EndCurrentFrame();
            break;
        default:
            app->runState = StateQuit;
            return 0;
        }
    }
}

void EndApplication(ApplicationRecord* app) {
    if (!app) return;
    SetCurrentApplication(app);
    StopApplicationSounds(*app);
    BroadcastEndApp();
    if (!app->parent && app->run.timerPeriod) {
        timeEndPeriod(app->run.timerPeriod);
        app->run.timerPeriod = 0;
    }
    if (!app->parent) RemoveMenuPauseHook();
}

bool RunApplication(ApplicationRecord* app) {
    if (!app) return false;
    const bool started = StartApplication(app) != 0;
    if (started) {
        while (RunApplicationStep(app, 0)) {
        }
    }
    FreeLoadedFrame(*app);
    EndApplication(app);
    return started && app->run.startError == 0;
}

void RequestEndOfRun() {
    Services().endRequested = true;
    // The running frame ends, and so does every frame of the applications that run it as a sub-application.
    for (ApplicationRecord* app = CurrentApplication(); app; app = app->parent) {
        FrameRunState* s = app == CurrentApplication() ? CurrentRunState()
                           : app->run.frame            ? app->run.frame->runState
                                                       : nullptr;
        if (!s) continue;
        s->exitCode = ExitError;
        s->exitParameter = 1;
    }
}

void FreeLoadedFrame(ApplicationRecord& app) {
    FrameRecord* frame = app.run.frame;
    if (!frame) return;
    ApplicationRecord* previous = SetCurrentApplication(&app);
    // A run stopped mid-frame still gives its objects back.
    if (frame->runState && frame->runState == CurrentRunState()) {
        KillAllObjects();
        ReleaseMouse();
    }
    FreeFrame(frame);
    app.run.frame = nullptr;
    app.currentFrameIndex = -1;
    SetCurrentApplication(previous == &app ? nullptr : previous);
}

namespace {

// An MDI application's keys for its children, then the application's shortcuts, before the window sees them.
bool TakenBeforeDispatch(const ApplicationRecord* app, MSG& msg) {
    if (!app || !(app->header.flags2 & HeaderMdi)) return false;
    if (HWND client = GetMdiClientHandle(Services().mainLibraryWindow);
        client && TranslateMDISysAccel(client, &msg))
        return true;
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!key || msg.wParam == VK_SHIFT || msg.wParam == VK_CONTROL || CurrentMenu().keyTable.empty())
        return false;
    const bool alt = msg.message == WM_SYSKEYDOWN || (msg.lParam & (1 << 29));
    return ShortcutToMenuCommand(Services().mainWindow, alt, static_cast<int>(msg.wParam),
                                 CurrentMenu().keyTable) != 0;
}

} // namespace

void PumpMessages(MSG* msg, int stopMask) {
    MSG local{};
    if (!msg) msg = &local;
    *msg = MSG{};
    const ApplicationRecord* app = CurrentApplication();
    if (app && app->run.inTimerStep) return;
    while (PeekMessageW(msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageW(msg, nullptr, 0, 0) && msg->message != WM_QUIT) break;
        // The modeless dialogs of extensions take their messages first.
        if (msg->message != WM_QUIT && !IsRegisteredDialogMessage(msg) && !TakenBeforeDispatch(app, *msg)) {
            TranslateMessage(msg);
            DispatchMessageW(msg);
        }
        if (((stopMask & 1) && msg->message == WM_COMMAND) ||
            ((stopMask & 2) && msg->message == WM_LBUTTONDOWN) ||
            ((stopMask & 4) && msg->message == WM_LBUTTONUP))
            break;
    }
}

std::int64_t GetElapsedTicks() {
    const ApplicationRecord* app = CurrentApplication();
    if (!app) return 0;
    const std::uint32_t elapsed = ClockNow() - app->run.startTime;
    return static_cast<std::int64_t>(elapsed) * TopFrameRate(app) / 1000;
}

void WaitForFrameTick() {
    ApplicationRecord* app = CurrentApplication();
    FrameRunState* s = CurrentRunState();
    if (!app || !s) return;
    if (app->parent && !(app->subAppOptions & SubAppPacedOption)) return;
    if (app->run.inTimerStep) return;
    const std::int64_t last = s->lastLoopTick;
    const double rate = ClampFrameRate(app->header.frameRate);
    const auto offset =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(static_cast<double>(last + 1) * 1000.0 / rate));
    const std::uint32_t deadline = app->run.startTime - 1 + offset;
    FrameClock& clock = CurrentFrameClock();
    for (;;) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            PumpMessages(&msg, 0);
            // The message may have ended the run state (a close request ends the application).
            s = CurrentRunState();
            if (!s || s->exitCode != ExitNone) return;
            continue;
        }
        const auto left = static_cast<std::int32_t>(deadline - clock.Now());
        // The first tick polls instead of waiting.
        clock.WaitForMessage(last != 0 && left > 0 ? static_cast<DWORD>(left) : 0);
        if (static_cast<std::int32_t>(clock.Now() - (deadline - 1)) >= 0) return;
    }
}

} // namespace vtrrt
