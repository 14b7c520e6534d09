// The storyboard object: frame changes asked of the frame tick through the exit code, pauses, the display
// position, the frame's size, colour and rate, full screen and the vertical-blank wait, and the frame's
// geometry in expressions.
#include "builtin/position_parameter.h"
#include "builtin/system_objects.h"
#include "core/application_record.h"
#include "core/event_state.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "core/upcalls.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "objects/layer_rects.h"
#include "objects/object_sprites.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/frame_loader.h"

#include "plugin/display_driver.h"
#include "vtrs2/app_window.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/surface.h"
#include "win32/mm.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t MaxFrameNumber = 4096;
constexpr std::uint32_t JumpByNumber = 0x8000;
constexpr std::uint32_t FrameClampsDisplay = 0x4;
constexpr std::uint32_t FrameWithoutScreenSurface = 0x800;
constexpr std::uint32_t FrameSizeLimit = 0x7FFFF000;
constexpr std::int32_t ScrollMarginX = 480;
constexpr std::int32_t ScrollMarginY = 300;
constexpr std::int32_t CollisionMarginX = 64;
constexpr std::int32_t CollisionMarginY = 16;
// A frame whose collision planes would take more than this each keeps its size.
constexpr std::int64_t MaxCollisionPlaneBytes = std::int64_t{64} << 20;
constexpr std::uint8_t ScrollPendingX = 0x1;
constexpr std::uint8_t ScrollPendingY = 0x2;
constexpr int VerticalBlankOn = 3;
constexpr int VerticalBlankOff = 2;

FrameRunState* Run() {
    EventRunState* s = State();
    return s ? s->run : nullptr;
}

std::int32_t IntAt(std::uint8_t* record, int n) {
    return GetIntParameter(ParameterAt(record, n));
}

void SetExit(std::int16_t code, std::int32_t parameter = 0) {
    if (FrameRunState* run = Run()) {
        run->exitCode = code;
        run->exitParameter = parameter;
    }
}

void NextFrame(std::uint8_t*) {
    SetExit(ExitNextFrame);
}
void PreviousFrame(std::uint8_t*) {
    SetExit(ExitPreviousFrame);
}
void PauseApplicationAction(std::uint8_t*) {
    SetExit(ExitPause);
}
void EndApplicationAction(std::uint8_t*) {
    SetExit(ExitError);
}
void RestartApplication(std::uint8_t*) {
    SetExit(ExitRestartApplication);
}
void RestartFrame(std::uint8_t*) {
    SetExit(ExitRestartFrame);
}

void JumpToFrame(std::uint8_t* record) {
    const ApplicationRecord* app = CurrentApplication();
    const std::uint8_t* p = ParameterAt(record, 0);
    if (!app || !p) return;
    if (ParameterCode(p) == ParamFrameHandle) {
        const std::uint32_t handle = static_cast<std::uint16_t>(GetIntParameter(p));
        if (handle == 0xFFFF || handle >= static_cast<std::uint32_t>(std::max(app->header.frameCount, 0)))
            return;
        if (!app->frameHandles || handle >= app->frameHandleCount || app->frameHandles[handle] == 0xFFFF)
            return;
        SetExit(ExitJumpToFrame, static_cast<std::int32_t>(handle));
        return;
    }
    const std::int32_t n = GetIntParameter(p);
    if (n < 1 || n > MaxFrameNumber) return;
    SetExit(ExitJumpToFrame, static_cast<std::int32_t>(static_cast<std::uint32_t>(n - 1) | JumpByNumber));
}

void PauseUntilKey(std::uint8_t* record) {
    if (EventRunState* s = State()) s->resumeKey = IntAt(record, 0);
    SetExit(ExitPause);
}
void PauseUntilAnyKey(std::uint8_t*) {
    if (EventRunState* s = State()) s->resumeKey = -1;
    SetExit(ExitPause);
}

// Asks for a display whose centre is (x, y) on the axes given; the display moves when the frame is displayed.
void CentreDisplay(double x, double y, bool horizontal, bool vertical, std::int32_t layer = -1) {
    EventRunState* s = State();
    if (!s || !s->run->frame) return;
    const FrameRunState& run = *s->run;
    const FrameRecord& frame = *run.frame;
    const std::int32_t currentX = (s->scrollPending & ScrollPendingX) ? s->pendingScrollX : run.scrollX;
    const std::int32_t currentY = (s->scrollPending & ScrollPendingY) ? s->pendingScrollY : run.scrollY;
    double left = x - run.windowAreaWidth / 2.0, top = y - run.windowAreaHeight / 2.0;
    // A layer that scrolls faster than the frame reaches the position with a smaller move of the display.
    if (layer >= 0 && layer < frame.layerCount && frame.layers) {
        const LayerSettings& settings = frame.layers[layer].settings;
        if (settings.xCoefficient > 1.0f) left = (left - currentX) / settings.xCoefficient + currentX;
        if (settings.yCoefficient > 1.0f) top = (top - currentY) / settings.yCoefficient + currentY;
    }
    const double width = frame.width, height = frame.height;
    double minLeft = -ScrollMarginX, maxLeft = width + ScrollMarginX - run.windowAreaWidth;
    double minTop = -ScrollMarginY, maxTop = height + ScrollMarginY - run.windowAreaHeight;
    if (frame.flags & FrameClampsDisplay) {
        minLeft = 0, maxLeft = width - run.windowAreaWidth;
        minTop = 0, maxTop = height - run.windowAreaHeight;
    }
    left = std::max(minLeft, std::min(left, maxLeft));
    top = std::max(minTop, std::min(top, maxTop));
    if (horizontal && static_cast<std::int32_t>(left) != currentX) {
        s->pendingScrollX = static_cast<std::int32_t>(left);
        s->scrollPending |= ScrollPendingX;
    }
    if (vertical && static_cast<std::int32_t>(top) != currentY) {
        s->pendingScrollY = static_cast<std::int32_t>(top);
        s->scrollPending |= ScrollPendingY;
    }
}

void CentreDisplayAt(std::uint8_t* record) {
    ResolvedPosition at;
    if (ResolvePositionParameter(ParameterAt(record, 0), 0, at))
        CentreDisplay(at.x, at.y, true, true, at.layer);
}

void CentreDisplayX(std::uint8_t* record) {
    CentreDisplay(IntAt(record, 0), 0, true, false);
}
void CentreDisplayY(std::uint8_t* record) {
    CentreDisplay(0, IntAt(record, 0), false, true);
}

void FillQueued(BackgroundQueueNode* node) {
    const std::int32_t* a = node->arguments;
    FillWindowRect(Services().frameLibraryWindow, a[0], a[1], a[2], a[3], static_cast<COLORREF>(a[4]));
}

void FillPlayArea(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (!run) return;
    QueueBackgroundDraw(FillQueued, 0, 0, run->windowAreaWidth - 1, run->windowAreaHeight - 1,
                        IntAt(record, 0), nullptr);
}

void FillZone(std::uint8_t* record) {
    const StoredParameter zone(ParameterAt(record, 0));
    if (!zone.HoldsPayload(ZonePayloadBytes)) return;
    const StoredZone z = ZoneOf(zone);
    QueueBackgroundDraw(FillQueued, z.left, z.top, z.right, z.bottom, IntAt(record, 1), nullptr);
}

void FullScreen(std::uint8_t*) {
    const ApplicationRecord* app = CurrentApplication();
    if (app && !app->parent && !Services().fullScreen) up::SwitchToFullScreen(0);
}
void Windowed(std::uint8_t*) {
    const ApplicationRecord* app = CurrentApplication();
    if (app && !app->parent && Services().fullScreen) up::SwitchToWindow();
}

void SetFrameRate(std::uint8_t* record) {
    const std::int32_t rate = IntAt(record, 0);
    ApplicationRecord* app = TopApplication();
    if (rate < 1 || rate > MaxFrameRate || !app) return;
    // The tick count goes on from where it was at the old rate.
    const std::int64_t ticks = up::GetElapsedTicks();
    if (app->run.timerPeriod) timeEndPeriod(app->run.timerPeriod);
    app->header.frameRate = rate;
    app->run.startTime = ClockNow() - static_cast<std::uint32_t>(ticks * 1000 / rate);
    app->run.timerPeriod = up::TimerPeriodFor(rate);
    timeBeginPeriod(app->run.timerPeriod);
}

// The top application's main window keeps the setting.
void SetVerticalBlankWait(bool on) {
    AppWindow* window = Services().mainLibraryWindow;
    if (!window || ((window->stateFlags & AppWindowWaitVBlank) != 0) == on) return;
    window->stateFlags = static_cast<WORD>(on ? (window->stateFlags | AppWindowWaitVBlank)
                                              : (window->stateFlags & ~AppWindowWaitVBlank));
    Services().vsync = on ? 1 : 0;
    // What the frame keeps of the display (its window-size surface) is made again at the next clear.
    if (FrameRecord* frame = Services().frame; frame && frame->surface) {
        frame->checkWindowSurface = 1;
        frame->surface->NotifyScreenModeChange(on ? VerticalBlankOn : VerticalBlankOff);
    }
}

void VerticalBlankWaitOn(std::uint8_t*) {
    SetVerticalBlankWait(true);
}
void VerticalBlankWaitOff(std::uint8_t*) {
    SetVerticalBlankWait(false);
}

std::int32_t ClampedSize(std::int32_t value) {
    return static_cast<std::int32_t>(std::min(static_cast<std::uint32_t>(value), FrameSizeLimit));
}

void SetVirtualSize(std::int32_t width, std::int32_t height) {
    FrameRunState* run = Run();
    if (!run || !run->frame) return;
    run->frame->virtualRect.right = run->virtualWidth = width;
    run->frame->virtualRect.bottom = run->virtualHeight = height;
    run->outerLimits.right =
        static_cast<LONG>(std::min<std::int64_t>(std::int64_t{width} + ScrollMarginX, INT32_MAX));
    run->outerLimits.bottom =
        static_cast<LONG>(std::min<std::int64_t>(std::int64_t{height} + ScrollMarginY, INT32_MAX));
}

void SetVirtualWidth(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (const std::int32_t w = ClampedSize(IntAt(record, 0)); run && w != run->virtualWidth)
        SetVirtualSize(w, run->virtualHeight);
}
void SetVirtualHeight(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (const std::int32_t h = ClampedSize(IntAt(record, 0)); run && h != run->virtualHeight)
        SetVirtualSize(run->virtualWidth, h);
}

// The bytes each collision plane of a frame of that size takes, as the planes over the frame are made.
std::int64_t CollisionPlaneBytes(std::int64_t width, std::int64_t height) {
    const std::int64_t columns = (width + 2 * CollisionMarginX + 62) / 16 * 16;
    return columns / 8 * (height + 2 * CollisionMarginY);
}

void SetFrameSize(std::int32_t width, std::int32_t height) {
    FrameRunState* run = Run();
    FrameRecord* frame = run ? run->frame : nullptr;
    if (!frame || (width == frame->width && height == frame->height)) return;
    SpriteWindow* sprites = SpritesOfFrame();
    const bool hasMask = sprites && sprites->mask.planes;
    const bool maskFollowsFrame = hasMask && (frame->flags & FrameRectCollisionMask);
    if (maskFollowsFrame && CollisionPlaneBytes(width, height) > MaxCollisionPlaneBytes) return;
    const std::int32_t oldWidth = frame->width, oldHeight = frame->height;
    const bool virtualFollows = run->virtualWidth == oldWidth && run->virtualHeight == oldHeight;
    frame->width = width;
    frame->height = height;
    if (hasMask && !up::CreateFrameCollisionMask(*frame)) {
        // A mask that cannot be made leaves the frame as it was.
        frame->width = oldWidth;
        frame->height = oldHeight;
        up::CreateFrameCollisionMask(*frame);
        return;
    }
    if (virtualFollows) SetVirtualSize(width, height);
    for (FrameLayer& layer :
         std::span(frame->layers, static_cast<std::size_t>(std::max(frame->layerCount, 0))))
        FreeLayerBackdropGrid(layer);
    RequestFullRedraw();
}

void SetFrameWidth(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (run && run->frame) SetFrameSize(ClampedSize(IntAt(record, 0)), run->frame->height);
}
void SetFrameHeight(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (run && run->frame) SetFrameSize(run->frame->width, ClampedSize(IntAt(record, 0)));
}

void SetBackgroundColour(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (!run || !run->frame) return;
    run->frame->background = static_cast<std::uint32_t>(IntAt(record, 0));
    RequestFrameRedraw(nullptr);
    if ((run->frame->flags & FrameWithoutScreenSurface) && run->frameWindow)
        InvalidateRect(run->frameWindow, nullptr, TRUE);
}

// Layers are numbered from 1 in the parameters.
void DeleteBackdropAt(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (!run) return;
    const std::int32_t layer = IntAt(record, 0) - 1;
    const std::int32_t x = IntAt(record, 1), y = IntAt(record, 2);
    DeleteLayerBackdropAt(x - run->scrollX, y - run->scrollY, layer, IntAt(record, 3) != 0);
}

void DeleteBackdropsOfLayer(std::uint8_t* record) {
    DeleteLayerBackdrops(IntAt(record, 0) - 1);
}

// The file and stamp of a position save or load, kept in the run state for the frame tick. A name too long
// for a path leaves none, and the tick then asks for the file.
void KeepPositionRequest(std::uint8_t* record) {
    FrameRunState* run = Run();
    if (!run) return;
    const WCHAR* given = GetStringParameter(ParameterAt(record, 0));
    const std::u16string_view name = given ? given : u"";
    const std::size_t units = name.size() < MAX_PATH ? name.size() : 0;
    std::copy_n(name.begin(), units, run->positionFile);
    run->positionFile[units] = 0;
    run->positionStamp = IntAt(record, 1);
}

void SavePosition(std::uint8_t* record) {
    KeepPositionRequest(record);
    if (FrameRunState* run = Run()) run->saveRequest = SaveRequestPosition;
}

void LoadPosition(std::uint8_t* record) {
    KeepPositionRequest(record);
    SetExit(ExitLoadPosition);
}

void LoadPositionInItsFrame(std::uint8_t* record) {
    KeepPositionRequest(record);
    SetExit(ExitLoadPositionJump);
}

// Only when the frame has no recorder; the run's random seed becomes the recording's.
void PlayBackRecording(std::uint8_t* record) {
    up::StartInputPlayback(GetStringParameter(ParameterAt(record, 0)));
}

void NoOperation(std::uint8_t*) {}

// --- conditions ---

int StartOfFrame(std::uint8_t*) {
    FrameRunState* run = Run();
    return run && run->loopCount < 3 ? 1 : 0;
}
int Always(std::uint8_t*) {
    return 1;
}
int Never(std::uint8_t*) {
    return 0;
}

// (x, y) of the two expressions, relative to the display.
POINT DisplayPoint(std::uint8_t* record) {
    FrameRunState* run = Run();
    const std::int32_t x = IntAt(record, 0), y = IntAt(record, 1);
    return run ? POINT{x - run->scrollX, y - run->scrollY} : POINT{x, y};
}

// Obstacles of every layer: the play area's mask, then the backdrops of the other layers (or, for a frame
// that tests its layers' backdrops, theirs).
bool ObstacleAt(POINT p) {
    return TestPointAgainstBackground(p.x, p.y, -1, ObstaclesOnly) != 0;
}

bool LayerRectAt(POINT p) {
    return HitTestLayerRects(-1, p.x, p.y) != nullptr;
}

int ObstacleAtPosition(std::uint8_t* record) {
    return Negatable(record, ObstacleAt(DisplayPoint(record)));
}
int LayerRectAtPosition(std::uint8_t* record) {
    return Negatable(record, LayerRectAt(DisplayPoint(record)));
}

int VerticalBlankWaitIsOn(std::uint8_t* record) {
    const AppWindow* window = Services().mainLibraryWindow;
    return Negatable(record, window && (window->stateFlags & AppWindowWaitVBlank));
}

int ResumedRecently(std::uint8_t*) {
    EventRunState* s = State();
    return s && s->run->loopCount == s->resumeLoop + 1 ? 1 : 0;
}
int PositionLoaded(std::uint8_t* record) {
    EventRunState* s = State();
    return s ? Negatable(record, s->run->loopCount == s->positionLoadLoop + 1) : 0;
}
int PositionSaved(std::uint8_t* record) {
    EventRunState* s = State();
    return s ? Negatable(record, s->run->loopCount == s->positionSaveLoop + 1) : 0;
}

// --- expressions ---

FrameRecord* CurrentFrame() {
    FrameRunState* run = Run();
    return run ? run->frame : nullptr;
}

void FrameIndexExpression() {
    const ApplicationRecord* app = CurrentApplication();
    SetTopInt(app ? app->currentFrameIndex : 0);
}
void FrameNumberExpression() {
    const ApplicationRecord* app = CurrentApplication();
    SetTopInt(app ? app->currentFrameIndex + 1 : 0);
}
// The meaning of the frame byte is the frame's own; the frame record keeps none yet.
void FrameByteExpression() {
    SetTopInt(0);
}

std::int32_t DisplayX() {
    EventRunState* s = State();
    if (!s) return 0;
    return std::max(0, (s->scrollPending & ScrollPendingX) ? s->pendingScrollX : s->run->scrollX);
}
std::int32_t DisplayY() {
    EventRunState* s = State();
    if (!s) return 0;
    return std::max(0, (s->scrollPending & ScrollPendingY) ? s->pendingScrollY : s->run->scrollY);
}

void DisplayXExpression() {
    SetTopInt(DisplayX());
}
void DisplayYExpression() {
    SetTopInt(DisplayY());
}
void DisplayRightExpression() {
    FrameRunState* run = Run();
    const FrameRecord* frame = CurrentFrame();
    SetTopInt(run && frame ? static_cast<std::int32_t>(std::min<std::int64_t>(
                                 frame->width, std::int64_t{DisplayX()} + run->windowAreaWidth))
                           : 0);
}
void DisplayBottomExpression() {
    FrameRunState* run = Run();
    const FrameRecord* frame = CurrentFrame();
    SetTopInt(run && frame ? static_cast<std::int32_t>(std::min<std::int64_t>(
                                 frame->height, std::int64_t{DisplayY()} + run->windowAreaHeight))
                           : 0);
}
void FrameWidthExpression() {
    const FrameRecord* frame = CurrentFrame();
    SetTopInt(frame ? frame->width : 0);
}
void FrameHeightExpression() {
    const FrameRecord* frame = CurrentFrame();
    SetTopInt(frame ? frame->height : 0);
}

// Reads two arguments after the function's own token and leaves the current token on the closing token.
POINT TwoArguments() {
    StepToken();
    const std::int32_t x = EvaluateExpression()->ToInt();
    StepToken();
    const std::int32_t y = EvaluateExpression()->ToInt();
    FrameRunState* run = Run();
    return run ? POINT{x - run->scrollX, y - run->scrollY} : POINT{x, y};
}

void CollisionAtExpression() {
    const POINT p = TwoArguments();
    SetTopInt(LayerRectAt(p) ? 2 : ObstacleAt(p) ? 1 : 0);
}

void FramesPerSecondExpression() {
    FrameRunState* run = Run();
    std::int64_t sum = 0;
    if (run)
        for (std::int32_t t : run->loopTimes)
            sum += t;
    // Before any loop is timed the sum may be 0: no rate to tell.
    SetTopInt(sum > 0 ? static_cast<std::int32_t>(10000 / sum) : 0);
}

void VirtualWidthExpression() {
    FrameRunState* run = Run();
    SetTopInt(run ? run->virtualWidth : 0);
}
void VirtualHeightExpression() {
    FrameRunState* run = Run();
    SetTopInt(run ? run->virtualHeight : 0);
}
void BackgroundColourExpression() {
    const FrameRecord* frame = CurrentFrame();
    SetTopInt(frame ? static_cast<std::int32_t>(frame->background) : 0);
}
void DisplayKindExpression() {
    const WORD flags = Services().displayFlags;
    SetTopInt(!(flags & 0x10) ? 1 : (flags & 0x80) ? 4 : 8);
}
// The display driver's pixel-shader version from its information block, as major * 100 + minor (104 for
// version 1.4); 0 without a driver.
void DriverVersionExpression() {
    cSurface* work =
        Services().frameLibraryWindow ? GetWindowSurface(Services().frameLibraryWindow, 0) : nullptr;
    display_driver::DriverInfo info{};
    info.size = display_driver::DriverInfoSize;
    if (!(Services().displayFlags & DisplayDriverFlag) || !work || !work->GetDriverInfo(&info)) {
        SetTopInt(0);
        return;
    }
    const std::uint32_t v = info.pixelShaderVersion;
    SetTopInt(static_cast<std::int32_t>(((v >> 8) & 0xFF) * 100 + (v & 0xFF)));
}

} // namespace

void ApplyPendingScroll() {
    EventRunState* s = State();
    if (!s || !s->scrollPending || !s->run->frame) return;
    FrameRecord& frame = *s->run->frame;
    if (s->scrollPending & ScrollPendingX) frame.scrollX = s->pendingScrollX;
    if (s->scrollPending & ScrollPendingY) frame.scrollY = s->pendingScrollY;
    s->scrollPending = 0;
    // The display moves the frame there and redraws what the move uncovers.
    s->run->redrawRequest |= RedrawRequestScrolled;
}

void SetRunningFrameSize(std::int32_t width, std::int32_t height) {
    SetFrameSize(width, height);
}

void InstallStoryboardRoutines() {
    static constexpr std::array<ConditionRoutine, 10> Conditions{StartOfFrame,
                                                                 Always,
                                                                 Never,
                                                                 Never,
                                                                 ObstacleAtPosition,
                                                                 LayerRectAtPosition,
                                                                 VerticalBlankWaitIsOn,
                                                                 ResumedRecently,
                                                                 PositionLoaded,
                                                                 PositionSaved};
    for (std::size_t i = 0; i < Conditions.size(); ++i)
        SetConditionRoutine(TypeStoryboard, static_cast<std::int32_t>(-1 - static_cast<int>(i)),
                            Conditions[i], nullptr);
    // Raised by the frame tick and the shell.
    SetConditionRoutine(TypeStoryboard, -4, Never, OnObject<Always>);
    SetConditionRoutine(TypeStoryboard, -8, ResumedRecently, OnObject<Always>);

    static constexpr std::array<ActionRoutine, 28> Actions{NextFrame,
                                                           PreviousFrame,
                                                           JumpToFrame,
                                                           PauseApplicationAction,
                                                           EndApplicationAction,
                                                           RestartApplication,
                                                           RestartFrame,
                                                           CentreDisplayAt,
                                                           CentreDisplayX,
                                                           CentreDisplayY,
                                                           NoOperation,
                                                           NoOperation,
                                                           FillPlayArea,
                                                           FillZone,
                                                           FullScreen,
                                                           Windowed,
                                                           SetFrameRate,
                                                           PauseUntilKey,
                                                           PauseUntilAnyKey,
                                                           VerticalBlankWaitOn,
                                                           VerticalBlankWaitOff,
                                                           SetVirtualWidth,
                                                           SetVirtualHeight,
                                                           SetBackgroundColour,
                                                           DeleteBackdropAt,
                                                           DeleteBackdropsOfLayer,
                                                           SetFrameWidth,
                                                           SetFrameHeight};
    // 32 to 36 change the frame's ink and effect: they wait for the display driver and the frame's own
    // effect, which draw the frame through them.
    for (std::size_t i = 0; i < Actions.size(); ++i)
        if (Actions[i]) SetActionRoutine(TypeStoryboard, static_cast<std::int32_t>(i), Actions[i]);
    SetActionRoutine(TypeStoryboard, 28, SavePosition);
    SetActionRoutine(TypeStoryboard, 29, LoadPosition);
    SetActionRoutine(TypeStoryboard, 30, LoadPositionInItsFrame);
    SetActionRoutine(TypeStoryboard, 31, PlayBackRecording);

    static constexpr std::array<ExpressionRoutine, 16> Expressions{
        FrameIndexExpression,    FrameByteExpression,        DisplayXExpression,
        DisplayRightExpression,  DisplayYExpression,         DisplayBottomExpression,
        FrameWidthExpression,    FrameHeightExpression,      FrameNumberExpression,
        CollisionAtExpression,   FramesPerSecondExpression,  VirtualWidthExpression,
        VirtualHeightExpression, BackgroundColourExpression, DisplayKindExpression,
        DriverVersionExpression};
    // 16 to 18 read the frame's ink and effect: they wait for the display driver and the frame's own effect.
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypeStoryboard, static_cast<std::int32_t>(i), Expressions[i]);
}

} // namespace vtrrt
