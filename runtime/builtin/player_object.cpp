// The player object: the four players' scores, lives, controls and names, compared and changed by events;
// the score and lives displays of a player follow its changes, and lives falling to 0 say so once.
#include "builtin/counters.h"
#include "builtin/system_objects.h"
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/key_names.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/event_program.h"
#include "startup/player_globals.h"

#include <algorithm>
#include <array>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int16_t ConditionNoLivesLeft = -5;
constexpr std::uint32_t ControlsOn = 0xFF;
constexpr int ControlKeys = 8;

// The player a condition or action names (0-based), or -1 when it names none of the four.
int PlayerOf(const std::uint8_t* record) {
    const std::uint16_t player = GetU16(record + RecordObjectInfo);
    return player < PlayerCount ? player : -1;
}

std::int32_t* Words(std::int16_t type) {
    ApplicationRecord* app = CurrentApplication();
    ApplicationRecord* owner = type == TypeScoreDisplay ? GetScoresOwner(app) : GetLivesOwner(app);
    if (!owner) return nullptr;
    return type == TypeScoreDisplay ? owner->globals.scores : owner->globals.lives;
}

// A player's score or lives as the game sees them (0 without an application).
std::int32_t Read(std::int16_t type, int player) {
    const std::int32_t* words = Words(type);
    return words && player >= 0 ? ~words[player] : 0;
}

std::uint16_t* Controls() {
    ApplicationRecord* owner = GetControlsOwner(CurrentApplication());
    return owner ? owner->globals.controls : nullptr;
}

void PushNoLivesLeft(RunObject*, std::int32_t code) {
    RaiseSystemConditionWithCode(nullptr, code);
}

// Stores a new score or lives and brings the player's displays up to date.
void Write(std::int16_t type, int player, std::int64_t value) {
    std::int32_t* words = Words(type);
    if (!words || player < 0) return;
    const auto number = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    if (type == TypeLivesDisplay && number == 0 && words[player] != ~0)
        PushEvent(PushNoLivesLeft, EventCodeOf(TypePlayer, ConditionNoLivesLeft), player, nullptr, 0);
    words[player] = ~number;
    RefreshPlayerCounters(type, player, words[player]);
}

std::int32_t Value(std::uint8_t* record) {
    return GetIntParameter(ParameterAt(record, 0));
}

// --- conditions ---

int Never(std::uint8_t*) {
    return 0;
}

template <std::int16_t Type> int CompareWithPlayer(std::uint8_t* record) {
    const int player = PlayerOf(record);
    return player >= 0 && CompareWithParameter(TypedValue::Int(Read(Type, player)), ParameterAt(record, 0))
               ? 1
               : 0;
}

std::uint32_t ControlBits(std::uint32_t packed, int player) {
    return (packed >> (8 * player)) & 0xFF;
}

std::uint32_t WantedBits(std::uint8_t* record) {
    return static_cast<std::uint32_t>(GetIntParameter(ParameterAt(record, 0))) & 0xFF;
}

int ControlsPressedRaised(std::uint8_t* record, RunObject*) {
    EventRunState* s = State();
    const int player = PlayerOf(record);
    const std::uint32_t wanted = WantedBits(record);
    return s && player >= 0 && player == s->raisedPlayer && (s->raisedControls & wanted) == wanted ? 1 : 0;
}

int ControlsPressed(std::uint8_t* record) {
    EventRunState* s = State();
    const int player = PlayerOf(record);
    if (!s || player < 0) return 0;
    const std::uint32_t pressed =
        ControlBits(s->run->playerBits, player) & ControlBits(s->run->changedPlayerBits, player);
    const std::uint32_t wanted = WantedBits(record);
    return (pressed & wanted) == wanted ? 1 : 0;
}

int NoLivesLeft(std::uint8_t* record) {
    const int player = PlayerOf(record);
    const std::int32_t* words = Words(TypeLivesDisplay);
    return words && player >= 0 && words[player] == ~0 ? 1 : 0;
}

// Raised for the player whose lives fell to 0.
int NoLivesLeftRaised(std::uint8_t* record, RunObject*) {
    EventRunState* s = State();
    return s && PlayerOf(record) == s->eventParameter1 ? NoLivesLeft(record) : 0;
}

int ControlsHeld(std::uint8_t* record) {
    EventRunState* s = State();
    const int player = PlayerOf(record);
    if (!s || player < 0) return 0;
    const std::uint32_t wanted = WantedBits(record);
    return Negatable(record, (ControlBits(s->run->playerBits, player) & wanted) == wanted);
}

// --- actions ---

template <std::int16_t Type> void SetAction(std::uint8_t* record) {
    Write(Type, PlayerOf(record), Value(record));
}
template <std::int16_t Type> void AddAction(std::uint8_t* record) {
    const int player = PlayerOf(record);
    Write(Type, player, std::int64_t{Read(Type, player)} + Value(record));
}
// Never below 0: taking more than there is leaves 0.
template <std::int16_t Type> void SubtractAction(std::uint8_t* record) {
    const int player = PlayerOf(record);
    const std::int64_t current = Read(Type, player), taken = Value(record);
    Write(Type, player, taken <= current ? current - taken : 0);
}

void SetControlMask(std::uint8_t* record, std::uint32_t mask) {
    EventRunState* s = State();
    const int player = PlayerOf(record);
    if (!s || player < 0) return;
    const std::uint32_t shift = 8u * static_cast<std::uint32_t>(player);
    s->run->enabledControls = (s->run->enabledControls & ~(0xFFu << shift)) | (mask << shift);
}
void IgnoreControls(std::uint8_t* record) {
    SetControlMask(record, 0);
}
void RestoreControls(std::uint8_t* record) {
    SetControlMask(record, ControlsOn);
}

void SetControlType(std::uint8_t* record) {
    const int player = PlayerOf(record);
    const std::int32_t type = Value(record);
    std::uint16_t* controls = Controls();
    if (!controls || player < 0 || type < 0 || type >= ControlKeyboard) return;
    controls[player] = type == 0 ? ControlKeyboard : static_cast<std::uint16_t>(type);
    if (type >= 1 && type <= 4) InitPlayerJoystick(player, type - 1);
}

void ChangeControlKey(std::uint8_t* record) {
    const int player = PlayerOf(record);
    const std::int32_t index = Value(record);
    std::uint16_t* controls = Controls();
    if (!controls || player < 0 || index < 0 || index >= ControlKeys) return;
    controls[PlayerCount + player * ControlKeys + index] =
        static_cast<std::uint16_t>(GetIntParameter(ParameterAt(record, 1)));
}

void SetPlayerName(std::uint8_t* record) {
    ApplicationRecord* app = CurrentApplication();
    const int player = PlayerOf(record);
    if (!app || player < 0) return;
    const std::u16string_view name = GetStringParameter(ParameterAt(record, 0));
    WCHAR* stored = app->playerNames[player];
    const std::size_t n = std::min<std::size_t>(name.size(), PlayerNameUnits - 1);
    std::copy_n(name.begin(), n, stored);
    stored[n] = 0;
}

// --- expressions ---

// The player of an expression token (0-based), or -1.
int ExpressionPlayer() {
    const std::uint8_t* payload = nullptr;
    if (CurrentTokenPayload(&payload) < 2) return -1;
    const std::uint16_t player = GetU16(payload);
    return player < PlayerCount ? player : -1;
}

void ScoreExpression() {
    SetTopInt(Read(TypeScoreDisplay, ExpressionPlayer()));
}
void LivesExpression() {
    SetTopInt(Read(TypeLivesDisplay, ExpressionPlayer()));
}
void ControlTypeExpression() {
    const int player = ExpressionPlayer();
    const std::uint16_t* controls = Controls();
    const std::uint16_t type = controls && player >= 0 ? controls[player] : 0;
    SetTopInt(type == ControlKeyboard ? 0 : type);
}

void KeyNameExpression() {
    const int player = ExpressionPlayer();
    StepToken();
    const std::int32_t index = EvaluateExpression()->ToInt();
    const std::uint16_t* controls = Controls();
    WCHAR name[KeyNameUnits] = {};
    if (controls && player >= 0 && index >= 0 && index < ControlKeys)
        GetKeyName(name, controls[PlayerCount + player * ControlKeys + index]);
    WCHAR* text = MakeTemporaryString(name);
    ExpressionTop() = TypedValue::String(text ? text : const_cast<WCHAR*>(u""));
}

void NameExpression() {
    static WCHAR empty[1] = {0};
    ApplicationRecord* app = CurrentApplication();
    const int player = ExpressionPlayer();
    ExpressionTop() = TypedValue::String(app && player >= 0 ? app->playerNames[player] : empty);
}

struct ConditionEntry {
    std::int16_t number;
    ConditionRoutine overSelection;
    ConditionOnObjectRoutine raised; // null: the same test
};

} // namespace

void InstallPlayerRoutines() {
    static constexpr std::array<ConditionEntry, 6> Conditions{{
        {-1, Never, nullptr},
        {-2, CompareWithPlayer<TypeScoreDisplay>, nullptr},
        {-3, CompareWithPlayer<TypeLivesDisplay>, nullptr},
        {-4, ControlsPressed, ControlsPressedRaised},
        {ConditionNoLivesLeft, NoLivesLeft, NoLivesLeftRaised},
        {-6, ControlsHeld, nullptr},
    }};
    for (const ConditionEntry& c : Conditions)
        SetConditionRoutine(TypePlayer, c.number, c.overSelection, c.raised);
    static constexpr std::array<ActionRoutine, 11> Actions{SetAction<TypeScoreDisplay>,
                                                           SetAction<TypeLivesDisplay>,
                                                           IgnoreControls,
                                                           RestoreControls,
                                                           AddAction<TypeScoreDisplay>,
                                                           AddAction<TypeLivesDisplay>,
                                                           SubtractAction<TypeScoreDisplay>,
                                                           SubtractAction<TypeLivesDisplay>,
                                                           SetControlType,
                                                           ChangeControlKey,
                                                           SetPlayerName};
    for (std::size_t i = 0; i < Actions.size(); ++i)
        SetActionRoutine(TypePlayer, static_cast<std::int32_t>(i), Actions[i]);
    static constexpr std::array<ExpressionRoutine, 5> Expressions{
        ScoreExpression, LivesExpression, ControlTypeExpression, KeyNameExpression, NameExpression};
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypePlayer, static_cast<std::int32_t>(i), Expressions[i]);
}

} // namespace vtrrt
