// The keyboard and mouse object: keys, clicks, the pointer over zones and objects, its visibility and the
// wheel; hiding and showing the pointer; the pointer position and the wheel delta.
#include "builtin/keyboard_mouse_object.h"
#include "core/upcalls.h"

#include "builtin/system_objects.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_preparation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"

#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprites.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <optional>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int PointerLayersAll = -1;

// Down, with one of the application's windows active; a key another program gets is not down.
bool KeyDown(const EventRunState* s, std::int32_t key) {
    // A recording played back holds the keys.
    if (const std::optional<bool> played = up::PlayedKeyState(key)) return *played;
    if (!(static_cast<std::uint16_t>(GetKeyState(key)) & 0x8000)) return false;
    const HWND active = GetActiveWindow();
    const FrameRunState& run = *s->run;
    return active && (active == run.frameWindow || active == run.mainWindow || active == run.topWindow);
}

std::int32_t KeyOf(std::uint8_t* record) {
    return GetIntParameter(ParameterAt(record, 0));
}

int KeyPressed(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s) return 0;
    if (!KeyDown(s, KeyOf(record))) return Negatable(record, false);
    // True when the key went down, or the condition was not evaluated on the previous loop.
    std::uint8_t* g = s->currentGroup;
    if (!g) return 1;
    const std::int32_t previous = GetI32(g + GroupCounterA);
    const auto loop = static_cast<std::int32_t>(s->run->loopCount);
    PutI32(g + GroupCounterA, loop);
    return previous != loop && previous != loop - 1 ? 1 : 0;
}

int KeyIsDown(std::uint8_t* record) {
    EventRunState* s = State();
    return s ? Negatable(record, KeyDown(s, KeyOf(record))) : 0;
}

// A zone of four 16-bit edges: left and top inclusive, right and bottom exclusive.
bool PointerInZone(const EventRunState* s, const std::uint8_t* zone) {
    const StoredParameter parameter(zone);
    if (!parameter.HoldsPayload(ZonePayloadBytes)) return false;
    const StoredZone z = ZoneOf(parameter);
    const std::int32_t x = s->run->mouseX, y = s->run->mouseY;
    return z.left <= x && x < z.right && z.top <= y && y < z.bottom;
}

int PointerInZoneCondition(std::uint8_t* record) {
    EventRunState* s = State();
    return s ? Negatable(record, PointerInZone(s, ParameterAt(record, 0))) : 0;
}

std::int32_t ClickCodeOf(std::uint8_t* record) {
    return GetIntParameter(ParameterAt(record, 0));
}

int MouseClickedRaised(std::uint8_t* record) {
    EventRunState* s = State();
    return s && ClickCodeOf(record) == s->clickCode ? 1 : 0;
}
int MouseClicked(std::uint8_t* record) {
    EventRunState* s = State();
    return s && ClickCodeOf(record) == s->lastClick ? 1 : 0;
}
int MouseClickedInZoneRaised(std::uint8_t* record) {
    EventRunState* s = State();
    return s && ClickCodeOf(record) == s->clickCode && PointerInZone(s, ParameterAt(record, 1)) ? 1 : 0;
}
int MouseClickedInZone(std::uint8_t* record) {
    EventRunState* s = State();
    return s && ClickCodeOf(record) == s->lastClick && PointerInZone(s, ParameterAt(record, 1)) ? 1 : 0;
}

std::uint16_t ObjectReference(const std::uint8_t* parameter) {
    return parameter && ParameterCode(parameter) == ParamObject && GetI16(parameter) >= 6
               ? GetU16(parameter + ObjectParamResolvedAt)
               : NoObjectInfo;
}

// Whether the pointer lies over an object of the reference, thinning its selection; negated, whether none
// of its selected objects lies there (the selection is left as it is).
bool PointerOverSelection(EventRunState* s, std::uint16_t ref, bool negated) {
    const std::vector<RunObject*> under = ObjectsUnderPointer();
    const auto isUnder = [&](RunObject* o) {
        return std::find(under.begin(), under.end(), o) != under.end();
    };
    if (negated) {
        for (RunObject* o = FirstConditionObject(ref, nullptr); o; o = NextConditionObject())
            if (isUnder(o)) return false;
        return true;
    }
    bool any = false;
    for (RunObject* o = FirstConditionObject(ref, nullptr); o; o = NextConditionObject()) {
        if (isUnder(o))
            any = true;
        else
            DropConditionObject();
    }
    (void)s;
    return any;
}

int PointerOverObject(std::uint8_t* record) {
    EventRunState* s = State();
    return s && PointerOverSelection(s, ObjectReference(ParameterAt(record, 0)), IsNegated(record)) ? 1 : 0;
}

// The click raised lands on the clicked object when it belongs to the parameter's object info (or to one of
// its qualifier's members): that object joins its selection.
int ClickedOnObjectRaised(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || ClickCodeOf(record) != s->clickCode || !s->clickedObject) return 0;
    RunObject* clicked = ObjectOfHandle(s->clickedHandle);
    if (clicked != s->clickedObject) return 0;
    const std::uint16_t ref = ObjectReference(ParameterAt(record, 1));
    if (ref == NoObjectInfo) return 0;
    if (ref & QualifierBit) {
        bool member = false;
        if (s->events)
            for (const std::int16_t* m = QualifierMembers(*s->events, ref); m && m[0] >= 0; m += 2)
                member = member || m[0] == clicked->objectInfo;
        if (!member) return 0;
        EmptyQualifierSelections(ref);
    } else if (!clicked->objectInfoEntry || ref >= s->run->objectInfoCount ||
               &s->run->objectInfos[ref] != clicked->objectInfoEntry) {
        return 0;
    }
    AddObjectToSelection(clicked);
    return 1;
}

int ClickedOnObject(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || ClickCodeOf(record) != s->lastClick) return 0;
    return PointerOverSelection(s, ObjectReference(ParameterAt(record, 1)), false) ? 1 : 0;
}

int Raised(std::uint8_t*) {
    return 1;
}
int Never(std::uint8_t*) {
    return 0;
}

int PointerVisible(std::uint8_t* record) {
    EventRunState* s = State();
    return s ? Negatable(record, s->run->pointerShowCount >= 0) : 0;
}

int WheelUp(std::uint8_t*) {
    EventRunState* s = State();
    return s && s->wheelLoop == s->run->loopCount - 1 && s->wheelDelta > 0 ? 1 : 0;
}
int WheelDown(std::uint8_t*) {
    EventRunState* s = State();
    return s && s->wheelLoop == s->run->loopCount - 1 && s->wheelDelta < 0 ? 1 : 0;
}

void HidePointerAction(std::uint8_t*) {
    EventRunState* s = State();
    if (!s || s->mouseDisabled) return;
    int count = s->run->pointerShowCount;
    while (count >= 0)
        count = ShowCursor(FALSE);
    s->run->pointerShowCount = static_cast<std::int16_t>(count);
}

void ShowPointerAction(std::uint8_t*) {
    EventRunState* s = State();
    if (!s || s->mouseDisabled) return;
    int count = s->run->pointerShowCount;
    while (count < 0)
        count = ShowCursor(TRUE);
    s->run->pointerShowCount = static_cast<std::int16_t>(count);
}

void PointerXExpression() {
    EventRunState* s = State();
    SetTopInt(s && !s->mouseDisabled ? s->run->mouseX : 0);
}
void PointerYExpression() {
    EventRunState* s = State();
    SetTopInt(s && !s->mouseDisabled ? s->run->mouseY : 0);
}
void WheelDeltaExpression() {
    EventRunState* s = State();
    SetTopInt(s ? s->wheelDelta : 0);
}

struct ConditionEntry {
    std::int16_t number;
    ConditionRoutine overSelection;
    ConditionOnObjectRoutine raised;
};

} // namespace

RunObject* LiveObjectOfSprite(Sprite* sprite) {
    EventRunState* s = State();
    if (!s || !sprite || !s->run->objects) return nullptr;
    const auto* candidate = reinterpret_cast<const RunObject*>(sprite->userData);
    for (std::int32_t slot = 0; slot < s->run->maxObjects; ++slot)
        if (s->run->objects[slot].object && s->run->objects[slot].object == candidate)
            return s->run->objects[slot].object;
    return nullptr;
}

std::vector<Sprite*> SpritesUnderPointer() {
    std::vector<Sprite*> sprites;
    EventRunState* s = State();
    SpriteWindow* window = SpritesOfFrame();
    if (!s || !window) return sprites;
    const LONG x = s->run->mouseX - s->run->scrollX, y = s->run->mouseY - s->run->scrollY;
    const auto limit = static_cast<std::size_t>(std::max(s->run->maxObjects, 0)) * 2 + 1;
    for (Sprite* sprite = FindSpriteAtPoint(window, nullptr, PointerLayersAll, x, y, 0);
         sprite && sprites.size() < limit;
         sprite = FindSpriteAtPoint(window, sprite, PointerLayersAll, x, y, 0))
        sprites.push_back(sprite);
    return sprites;
}

bool PointerInBox(const RunObject* o) {
    EventRunState* s = State();
    if (!s) return false;
    const std::int32_t left = o->x - o->hotSpotX, top = o->y - o->hotSpotY;
    const std::int32_t x = s->run->mouseX, y = s->run->mouseY;
    return left <= x && x < left + o->width && top <= y && y < top + o->height;
}

std::vector<RunObject*> ObjectsUnderPointer() {
    std::vector<RunObject*> under;
    EventRunState* s = State();
    if (!s) return under;
    for (Sprite* sprite : SpritesUnderPointer())
        if (RunObject* o = LiveObjectOfSprite(sprite); o && !(o->runFlags & ObjectDisappearing))
            under.push_back(o);
    for (std::int32_t slot = 0; slot < s->run->maxObjects && s->run->objects; ++slot) {
        RunObject* o = s->run->objects[slot].object;
        if (o && !(o->runFlags & (DrawnBySprite | ObjectDisappearing)) && PointerInBox(o)) under.push_back(o);
    }
    return under;
}

void InstallKeyboardMouseRoutines() {
    static constexpr std::array<ConditionEntry, 12> Conditions{{
        {-1, KeyPressed, nullptr},
        {-2, KeyIsDown, nullptr},
        {-3, PointerInZoneCondition, nullptr},
        {-4, PointerOverObject, nullptr},
        {-5, MouseClicked, OnObject<MouseClickedRaised>},
        {-6, MouseClickedInZone, OnObject<MouseClickedInZoneRaised>},
        {-7, ClickedOnObject, OnObject<ClickedOnObjectRaised>},
        {-8, KeyIsDown, nullptr},
        {-9, Never, OnObject<Raised>},
        {-10, PointerVisible, nullptr},
        {-11, WheelUp, OnObject<Raised>},
        {-12, WheelDown, OnObject<Raised>},
    }};
    for (const ConditionEntry& c : Conditions)
        SetConditionRoutine(TypeKeyboardMouse, c.number, c.overSelection, c.raised);
    SetActionRoutine(TypeKeyboardMouse, 0, HidePointerAction);
    SetActionRoutine(TypeKeyboardMouse, 1, ShowPointerAction);
    SetExpressionRoutine(TypeKeyboardMouse, 0, PointerXExpression);
    SetExpressionRoutine(TypeKeyboardMouse, 1, PointerYExpression);
    SetExpressionRoutine(TypeKeyboardMouse, 2, WheelDeltaExpression);
}

} // namespace vtrrt
