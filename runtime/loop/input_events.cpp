#include "loop/input_events.h"

#include "builtin/keyboard_mouse_object.h"
#include "core/frame_run_state.h"
#include "events/event_evaluation.h"
#include "loop/game_loop.h"
#include "loop/pause.h"
#include "objects/run_objects.h"
#include "plugin/run_object.h"
#include "shell/shell_events.h"
#include "startup/event_program.h"

#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int16_t ConditionMenuCommand = -14; // of the special object
constexpr std::int16_t ConditionFilesDropped = -15;
constexpr std::int16_t ConditionCloseRequested = -21;
constexpr std::int16_t ConditionResumed = -8; // of the storyboard
constexpr std::int16_t ConditionClicked = -5; // of the keyboard and mouse
constexpr std::int16_t ConditionClickedInZone = -6;
constexpr std::int16_t ConditionClickedOnObject = -7;
constexpr std::int16_t ConditionAnyKey = -9;
constexpr std::int16_t ConditionWheelUp = -11;
constexpr std::int16_t ConditionWheelDown = -12;
constexpr std::int16_t ConditionPlayerControls = -4; // of the player
constexpr std::uint32_t ButtonBits = 0xF0F0F0F0;
constexpr std::uint32_t DirectionByte = 0x0F;
constexpr std::uint32_t ButtonByte = 0xF0;

bool Prepared(const EventRunState* s) {
    return s->events && s->events->prepared;
}

// The state to raise input in: prepared events and a running application.
EventRunState* Ready() {
    EventRunState* s = State();
    return s && Prepared(s) && !ApplicationPaused() ? s : nullptr;
}

std::int64_t FrameTimeNow(const EventRunState* s) {
    return s->run->frameClock;
}

struct ClickCode {
    UINT message;
    std::int32_t code;
};
constexpr ClickCode ClickCodes[] = {{WM_LBUTTONDOWN, 0}, {WM_LBUTTONDBLCLK, 256},
                                    {WM_RBUTTONDOWN, 2}, {WM_RBUTTONDBLCLK, 258},
                                    {WM_MBUTTONDOWN, 1}, {WM_MBUTTONDBLCLK, 257}};

void ClickedObject(EventRunState* s, RunObject* o) {
    if (o->runFlags & ObjectDisappearing) return;
    s->eventParameter2 = o->objectInfo;
    s->clickedObject = o;
    s->clickedHandle = o->handle;
    RaiseSystemConditionWithCode(o, EventCodeOf(TypeKeyboardMouse, ConditionClickedOnObject));
}

void RaisePlayerList(EventRunState* s, std::uint32_t bits) {
    s->raisedControls = bits;
    s->eventCode = EventCodeOf(TypePlayer, ConditionPlayerControls);
    if (const std::int32_t* list = SystemList(TypePlayer, ConditionPlayerControls))
        HandleTriggeredEvents(list, nullptr, true);
}

} // namespace

bool TriggerMenuCommand(std::int32_t id, std::int32_t value) {
    EventRunState* s = Ready();
    if (!s) return false;
    s->eventParameter1 = id & 0xFFFF;
    s->menuCommand = id & 0xFFFF;
    s->menuValue = value & 0xFFFF;
    s->handled = 0;
    TriggerSystemCondition(EventCodeOf(TypeSpecial, ConditionMenuCommand));
    return s->handled != 0;
}

bool TriggerQuitRequest() {
    EventRunState* s = Ready();
    if (!s) return false;
    s->quitLoop = s->run->loopCount;
    s->handled = 0;
    TriggerSystemCondition(EventCodeOf(TypeSpecial, ConditionCloseRequested));
    return s->handled != 0;
}

void TriggerMouseWheel(std::int32_t delta) {
    EventRunState* s = Ready();
    if (!s) return;
    s->wheelLoop = s->run->loopCount;
    s->wheelDelta = static_cast<std::int16_t>(delta);
    TriggerSystemCondition(
        EventCodeOf(TypeKeyboardMouse, s->wheelDelta < 0 ? ConditionWheelDown : ConditionWheelUp));
}

void TriggerKeyDown(std::int32_t key) {
    EventRunState* s = State();
    if (!s || !Prepared(s)) return;
    if (ApplicationPaused()) {
        if (s->resumeKey != -1 && s->resumeKey != key) return;
        ResumeApplication();
        TriggerResumed();
        return;
    }
    s->idleBase = FrameTimeNow(s);
    TriggerSystemCondition(EventCodeOf(TypeKeyboardMouse, ConditionAnyKey));
}

void TriggerResumed() {
    EventRunState* s = State();
    if (!s || !Prepared(s)) return;
    s->resumeLoop = s->run->loopCount;
    TriggerSystemCondition(EventCodeOf(TypeStoryboard, ConditionResumed));
}

void OnFilesDropped(HDROP drop) {
    EventRunState* s = Ready();
    if (!s || !drop) return;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    try {
        std::vector<std::u16string> names;
        for (UINT i = 0; i < count; ++i) {
            const UINT units = DragQueryFileW(drop, i, nullptr, 0);
            std::u16string name(units + 1, u'\0');
            DragQueryFileW(drop, i, name.data(), units + 1);
            name.resize(units);
            names.push_back(std::move(name));
        }
        s->droppedFiles = std::move(names);
    } catch (const std::bad_alloc&) {
        // No names, no event.
        s->droppedFiles.clear();
        return;
    }
    s->filesDropped = 1;
    TriggerSystemCondition(EventCodeOf(TypeSpecial, ConditionFilesDropped));
}

void ResetUserIdleTime() {
    if (EventRunState* s = Ready()) s->idleBase = FrameTimeNow(s);
}

void TriggerMouseClick(UINT message) {
    std::int32_t code = -1;
    for (const ClickCode& c : ClickCodes)
        if (c.message == message) code = c.code;
    EventRunState* s = Ready();
    if (code < 0 || !s) return;
    // The window procedure has recorded the click while input is recorded.
    s->idleBase = FrameTimeNow(s);
    if (s->mouseDisabled) return;
    s->eventParameter1 = code;
    s->clickCode = code;
    s->lastClick = code;
    UpdateMousePosition();
    TriggerSystemCondition(EventCodeOf(TypeKeyboardMouse, ConditionClicked));
    TriggerSystemCondition(EventCodeOf(TypeKeyboardMouse, ConditionClickedInZone));
    if (!SystemList(TypeKeyboardMouse, ConditionClickedOnObject)) return;
    for (Sprite* sprite : SpritesUnderPointer())
        if (RunObject* o = LiveObjectOfSprite(sprite)) ClickedObject(s, o);
    FrameRunState& run = *s->run;
    for (std::int32_t slot = 0; slot < run.maxObjects && run.objects; ++slot) {
        RunObject* o = run.objects[slot].object;
        if (o && !(o->runFlags & DrawnBySprite) && PointerInBox(o)) ClickedObject(s, o);
    }
}

void RaisePlayerControls() {
    EventRunState* s = State();
    if (!s || !Prepared(s)) return;
    const FrameRunState& run = *s->run;
    const std::uint32_t changed = run.changedPlayerBits;
    if (!changed) return;
    if (!(run.playerBits & changed & ButtonBits)) {
        if (const std::int32_t* list = SystemList(TypePlayer, ConditionPlayerControls))
            HandleTriggeredEvents(list, nullptr, false);
        return;
    }
    for (int p = 0; p < run.playerCount && p < 4; ++p) {
        s->raisedPlayer = p;
        const std::uint32_t bits = (changed >> (8 * p)) & 0xFF;
        if (bits & ButtonByte) RaisePlayerList(s, bits);
        if (bits & DirectionByte) RaisePlayerList(s, bits);
    }
}

void InstallEventRaisers() {
    // A raiser already in a slot (one a test put there) is kept.
    ShellEventRaisers& r = EventRaisers();
    if (!r.keyDown) r.keyDown = [](int key) { TriggerKeyDown(key); };
    if (!r.mouseClick) r.mouseClick = [](UINT message, int, int) { TriggerMouseClick(message); };
    if (!r.mouseWheel) r.mouseWheel = [](int delta) { TriggerMouseWheel(delta); };
    if (!r.menuCommand) r.menuCommand = [](int id) { return TriggerMenuCommand(id, id); };
    if (!r.quitRequest) r.quitRequest = [] { return TriggerQuitRequest(); };
    if (!r.resetUserIdleTime) r.resetUserIdleTime = [] { ResetUserIdleTime(); };
    if (!r.filesDropped) r.filesDropped = [](HDROP drop) { OnFilesDropped(drop); };
    if (!r.resumed) r.resumed = [] { TriggerResumed(); };
}

} // namespace vtrrt
