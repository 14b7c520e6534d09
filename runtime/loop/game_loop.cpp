#include "loop/game_loop.h"

#include "builtin/system_objects.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/header_flags.h"
#include "events/event_evaluation.h"
#include "events/selection.h"
#include "loop/application_state_machine.h"
#include "loop/input_events.h"
#include "loop/pause.h"
#include "objects/display_list.h"
#include "objects/run_objects.h"
#include "persist/input_recording.h"
#include "startup/event_program.h"
#include "startup/player_globals.h"

#include "vtrs2/app_window.h"
#include "win32/mm.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t OuterMarginX = 480;
constexpr std::int32_t OuterMarginY = 300;
constexpr std::int32_t ActiveMarginX = 64;
constexpr std::int32_t ActiveMarginY = 16;

constexpr std::int64_t FixedOne = 65536;

bool LeavesFrame(std::int16_t code) {
    switch (code) {
    case ExitNextFrame:
    case ExitPreviousFrame:
    case ExitJumpToFrame:
    case ExitRestartApplication:
    case ExitEndApplication:
    case ExitError:
        return true;
    default:
        return false;
    }
}

// Area size over client size in 16.16; a zero factor or client size counts as one.
std::int64_t StretchFactor(std::int32_t area, std::int32_t client) {
    if (client <= 0) return FixedOne;
    const std::int64_t factor = std::int64_t{area} * FixedOne / client;
    return factor == 0 ? FixedOne : factor;
}

// Player bytes that count, by the number of players.
constexpr std::array<std::uint32_t, 5> ValidPlayersByCount{0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF};

void SetLimits(FrameRunState& s) {
    s.outerLimits = {-OuterMarginX, -OuterMarginY,
                     static_cast<LONG>(std::int64_t{s.virtualWidth} + OuterMarginX),
                     static_cast<LONG>(std::int64_t{s.virtualHeight} + OuterMarginY)};
    const std::int64_t left = std::int64_t{s.scrollX} - ActiveMarginX;
    const std::int64_t top = std::int64_t{s.scrollY} - ActiveMarginY;
    const std::int64_t right = std::int64_t{s.scrollX} + s.windowAreaWidth + ActiveMarginX;
    const std::int64_t bottom = std::int64_t{s.scrollY} + s.windowAreaHeight + ActiveMarginY;
    s.activeLimits = {static_cast<LONG>(std::max<std::int64_t>(left, s.outerLimits.left)),
                      static_cast<LONG>(std::max<std::int64_t>(top, s.outerLimits.top)),
                      static_cast<LONG>(std::min<std::int64_t>(right, s.outerLimits.right)),
                      static_cast<LONG>(std::min<std::int64_t>(bottom, s.outerLimits.bottom))};
}

// The returned value of a loop: the result word, or the exit code when one is set. A code that leaves the
// frame raises the end of the frame first.
int LoopResult(const FrameRunState& s) {
    if (s.exitCode == ExitNone) return s.resultWord;
    if (LeavesFrame(s.exitCode)) TriggerSystemCondition(EventCodeOf(TypeStoryboard, ConditionEndOfFrame));
    return s.exitCode;
}

// False when no loop is due.
bool TickTest(FrameRunState& s) {
    const std::int64_t t = GetElapsedTicks();
    if (s.runFlags & RunMachineIndependent) {
        if (s.loopsToRun > 0) return true;
        if (t == s.lastLoopTick) return false;
        const std::int64_t owed = t - s.lastLoopTick;
        s.lastLoopTick = t;
        s.targetLoopCount += owed;
        if (s.targetLoopCount - s.loopCount > MaxCatchUpLoops)
            s.targetLoopCount = s.loopCount + MaxCatchUpLoops;
        s.loopsToRun = s.targetLoopCount - s.loopCount;
        return true;
    }
    if (t == s.lastLoopTick && !s.application->parent) return false;
    s.lastLoopTick = t;
    s.loopsToRun = 1;
    return true;
}

void SwapEventBuffer(FrameRunState& s) {
    std::swap(s.eventBufferStart, s.eventBufferPreviousStart);
    s.eventBufferCurrent = s.eventBufferStart;
    s.eventBufferLimit = s.eventBufferStart + static_cast<std::size_t>(s.eventBufferKb) * 1024;
}

void AdvanceClock(FrameRunState& s) {
    const std::int64_t now = static_cast<std::uint32_t>(ClockNow() - s.clockBase);
    s.loopTime = now - s.frameClock;
    s.frameClock = now;
    s.totalLoopTime += s.loopTime;
    ++s.loopCount;
    // The movements' speed factor: 1 for a loop that took the time the frame rate gives it.
    s.timeFactor = static_cast<double>(ClampFrameRate(s.application->header.frameRate)) *
                   static_cast<double>(s.loopTime) / 1000.0;
    s.loopTimes[s.loopTimeIndex] =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(s.loopTime, 0, INT32_MAX));
    s.loopTimeIndex = (s.loopTimeIndex + 1) % LoopTimeRingSize;
}

// Mouse players move by the pointer's distance from the centre of the frame window.
void CentrePointer(FrameRunState& s) {
    RECT box{};
    if (!s.frameWindow || !GetWindowRect(s.frameWindow, &box)) return;
    s.cursorCentreX = (box.left + box.right) / 2;
    s.cursorCentreY = (box.top + box.bottom) / 2;
    SetCursorPos(s.cursorCentreX, s.cursorCentreY);
}

// Adds the time since its last mark to a pass of a probe, and the whole loop's time at its end; does nothing
// without a probe.
class PassClock {
public:
    explicit PassClock(LoopPassTimes* times) : times_(times), start_(times ? Now() : 0), last_(start_) {}
    ~PassClock() {
        if (!times_) return;
        times_->loop += Now() - start_;
        ++times_->loops;
    }
    PassClock(const PassClock&) = delete;
    PassClock& operator=(const PassClock&) = delete;
    // What ran since the last mark is not counted in a pass.
    void Skip() {
        if (times_) last_ = Now();
    }
    void Mark(std::int64_t LoopPassTimes::*pass) {
        if (!times_) return;
        const std::int64_t now = Now();
        times_->*pass += now - last_;
        last_ = now;
    }

private:
    static std::int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    LoopPassTimes* times_;
    std::int64_t start_, last_;
};

} // namespace

void InitFrameRunState() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    s->clockBase = ClockNow();
    s->frameClock = s->loopCount = s->targetLoopCount = 0;
    s->lastLoopTick = GetElapsedTicks() - 1; // the first loop is due at once
    s->loopsToRun = 0;
    s->exitCode = ExitNone;
    s->resultWord = 0;
    std::memset(s->objectBits, 0, s->objectBitBytes);
    // The play area shown in the window (the frame's shown part while there is no frame window).
    RECT area{0, 0, s->frame->displayWidth, s->frame->displayHeight};
    if (auto* window = static_cast<AppWindow*>(s->frameLibraryWindow)) GetAppWindowArea(window, &area);
    s->windowAreaWidth = area.right - area.left;
    s->windowAreaHeight = area.bottom - area.top;
    SetLimits(*s);
    s->pauseCount = 0;
    if (s->mousePlayers) CentrePointer(*s);
    s->playerBits = s->previousPlayerBits = s->changedPlayerBits = 0;
    s->mouseButtons = 0;
    s->mouseMotionX = s->mouseMotionY = 0;
    s->enabledControls = 0xFFFFFFFF;
    s->validPlayers = ValidPlayersByCount[std::min<std::size_t>(s->playerCount, 4)];
    std::fill(std::begin(s->loopTimes), std::end(s->loopTimes), DefaultLoopTime);
    s->loopTimeIndex = 0;
    StartFrameRecording(*s);
    FreeBackgroundQueue();
}

int GameLoopStep() {
    FrameRunState* s = CurrentRunState();
    if (!s) return ExitError;
    if (s->pauseCount != 0) return 0;
    // The first loop's physics preparation (the world's extension objects, their movements' two preparation
    // passes, the active objects registered with the world) waits for the physics engine's interface to
    // carry those routines; the physics world extension adds the call here.
    s->firstLoopDone = 1;
    if (!TickTest(*s)) return LoopResult(*s);
    PassClock passes(s->passTimes);
    SwapEventBuffer(*s);
    AdvanceClock(*s);

    s->previousPlayerBits = s->playerBits;
    if (s->recorderMode == RecorderRecording) RecordInputTick();
    if (s->recorderMode == RecorderPlaying) PlayInputTick();
    // A playback that has just ended gives this loop the real controls already.
    if (s->recorderMode == RecorderNone) ReadPlayerControls();
    if (s->mousePlayers) PlayMouseTick();
    UpdateMousePosition();
    if (s->mousePlayers) ReadMouseStep();
    s->playerBits &= s->validPlayers & s->enabledControls;
    s->changedPlayerBits = s->playerBits ^ s->previousPlayerBits;
    passes.Skip();
    RaisePlayerControls();
    passes.Mark(&LoopPassTimes::events);
    RunObjectPass();
    passes.Mark(&LoopPassTimes::objects);
    ++s->loopCounter16;
    RaiseEventStamp();
    RunTimeBasedEvents();
    FireScheduledTimers();
    RunEveryLoopEvents();
    if (HasPushedEvents()) FlushPushedEvents();
    passes.Mark(&LoopPassTimes::events);
    RefreshChangedObjects();
    DestroyMarkedObjects();
    ResetSelectionWords();
    passes.Mark(&LoopPassTimes::objects);
    ++s->secondLoopCounter;
    // Owed loops skip the display, so that a slow display does not slow the game's logic.
    if (--s->loopsToRun <= 0 || s->exitCode != ExitNone) {
        passes.Skip();
        ApplyPendingScroll();
        DisplayFrame(0);
        passes.Mark(&LoopPassTimes::display);
    }
    return LoopResult(*s);
}

namespace {

// Directions from the position within the joystick's range: the outer quarters count, the middle half does
// not; the first four buttons fill the high nibble.
std::uint32_t JoystickBits(int joystick) {
    JOYINFOEX position{};
    position.dwSize = sizeof(position);
    position.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNBUTTONS;
    if (joyGetPosEx(static_cast<UINT>(joystick), &position) != JOYERR_NOERROR) return 0;
    const JoystickRange& range = JoystickRangeOf(joystick);
    const auto axis = [](DWORD at, std::uint32_t min, std::uint32_t max, std::uint32_t low,
                         std::uint32_t high) {
        const std::uint32_t r = max - min, d = at - min;
        return (r / 4 >= d ? low : 0u) | (d >= std::uint64_t{3} * r / 4 ? high : 0u);
    };
    std::uint32_t bits = axis(position.dwXpos, range.xMin, range.xMax, 0x4, 0x8);
    bits |= axis(position.dwYpos, range.yMin, range.yMax, 0x1, 0x2);
    return bits | ((position.dwButtons & 0xF) << 4);
}

} // namespace

void ReadPlayerControls() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    s->playerBits = 0;
    const HWND active = GetActiveWindow();
    if (!active || (active != s->frameWindow && active != s->mainWindow)) return;
    const ApplicationRecord* owner = GetControlsOwner(s->application);
    const std::uint16_t* controls = owner ? owner->globals.controls : nullptr;
    if (!controls) return;
    for (int p = 0; p < PlayerCount; ++p) {
        std::uint32_t bits = 0;
        if (controls[p] >= 1 && controls[p] <= 4) {
            bits = JoystickBits(controls[p] - 1);
        } else if (controls[p] == ControlKeyboard) {
            for (int k = 0; k < 8; ++k) {
                const std::uint16_t key = controls[PlayerCount + p * 8 + k];
                if (key && (static_cast<std::uint16_t>(GetAsyncKeyState(key)) & 0x8000)) bits |= 1u << k;
            }
        }
        s->playerBits |= bits << (8 * p);
    }
}

void ReadMouseStep() {
    FrameRunState* s = CurrentRunState();
    if (!s) return;
    POINT point{};
    GetCursorPos(&point);
    s->mouseMotionX = point.x - s->cursorCentreX;
    s->mouseMotionY = point.y - s->cursorCentreY;
    if (s->mouseMotionX != 0 || s->mouseMotionY != 0) SetCursorPos(s->cursorCentreX, s->cursorCentreY);
    // A playback's player bits already hold the recorded buttons.
    if (s->recorderMode == RecorderPlaying) return;
    const auto down = [](int key) { return (static_cast<std::uint16_t>(GetKeyState(key)) & 0x8000) != 0; };
    s->mouseButtons =
        static_cast<std::uint8_t>((down(VK_LBUTTON) ? 0x10 : 0) | (down(VK_RBUTTON) ? 0x20 : 0));
    for (int p = 0; p < PlayerCount; ++p) {
        if (!(s->mousePlayers & (1u << p))) continue;
        const int shift = 8 * p;
        s->playerBits = (s->playerBits & ~(0x30u << shift)) | (std::uint32_t{s->mouseButtons} << shift);
    }
}

void UpdateMousePosition() {
    FrameRunState* s = CurrentRunState();
    // Positions are in the play area: the frame window, which the main window may hold with a border
    // around it (the main window itself when there is no frame window).
    const HWND area = s ? PointerAreaWindow(*s) : nullptr;
    if (!area) return;
    POINT point{};
    if (const std::optional<POINT> played = PlayedPointer(*s)) {
        point = *played;
    } else {
        GetCursorPos(&point);
        ScreenToClient(area, &point);
    }
    s->mouseWindowX = point.x;
    s->mouseWindowY = point.y;
    std::int64_t x = point.x, y = point.y;
    if ((s->runFlags & RunScalesPointer) && (s->application->header.flags1 & HeaderFitFrame)) {
        // The play area is stretched to the window: scale in 16.16 fixed point.
        RECT client{};
        GetClientRect(area, &client);
        x = x * StretchFactor(s->windowAreaWidth, client.right - client.left) >> 16;
        y = y * StretchFactor(s->windowAreaHeight, client.bottom - client.top) >> 16;
    }
    s->mouseX = static_cast<std::int32_t>(x + s->scrollX);
    s->mouseY = static_cast<std::int32_t>(y + s->scrollY);
}

} // namespace vtrrt
