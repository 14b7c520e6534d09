#include "builtin/fast_loops.h"

#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "startup/event_program.h"

#include "win32/kernel.h"

#include <bit>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace vtrrt {

namespace {

constexpr std::int16_t ConditionOnLoop = -16;
constexpr std::uint16_t LoopStopRequested = 0x1;
constexpr std::int16_t ExpressionLoopIndex = 46;
constexpr std::int16_t ExpressionCachedLoopIndex = 66;
// Loops started from inside loops: deeper starts do nothing, so that a loop that starts itself cannot use up
// the stack.
constexpr std::int32_t MaxLoopDepth = 64;

bool SameName(std::u16string_view a, std::u16string_view b) {
    return win32::EqualsIgnoringCase(a, b);
}

bool IsCloseToken(std::int32_t code) {
    return (code & 0xFFFF) == 0 && code > LastOperatorCode;
}

// The text of a string literal token, up to its terminator inside the token, and the bytes after the
// terminator; false when it has none.
bool LiteralText(const std::uint8_t* token, std::u16string* text, std::size_t* trailing) {
    if (!token || GetI32(token) != TokenString) return false;
    const auto size = static_cast<std::size_t>(GetI16(token + TokenSizeAt));
    text->clear();
    for (std::size_t at = TokenHeaderBytes; at + 2 <= size; at += 2) {
        const auto c = static_cast<char16_t>(GetU16(token + at));
        if (c == 0) {
            *trailing = size - (at + 2);
            return true;
        }
        text->push_back(c);
    }
    return false;
}

// Whether a parameter's expression is one string literal, and its text.
bool SingleLiteral(const std::uint8_t* parameter, std::u16string* text) {
    if (!parameter || !IsExpressionParameterCode(ParameterCode(parameter))) return false;
    const std::int16_t size = GetI16(parameter);
    if (size < static_cast<std::int16_t>(ParameterHeaderBytes + 2 + TokenHeaderBytes)) return false;
    const std::uint8_t* end = parameter + size;
    const std::uint8_t* token = parameter + ParameterHeaderBytes + 2;
    const std::int16_t tokenSize = GetI16(token + TokenSizeAt);
    std::size_t trailing = 0;
    if (tokenSize < static_cast<std::int16_t>(TokenHeaderBytes) || tokenSize > end - token ||
        !LiteralText(token, text, &trailing))
        return false;
    const std::uint8_t* next = token + tokenSize;
    return next + 4 <= end && GetI32(next) == TokenEnd;
}

// Whether an on-loop condition names the loop.
bool NamesLoop(const std::uint8_t* record, const std::u16string& loopName) {
    const std::uint8_t* p = ParameterAt(const_cast<std::uint8_t*>(record), 0);
    std::u16string literal;
    if (SingleLiteral(p, &literal)) return SameName(literal, loopName);
    return SameName(GetStringParameter(p), loopName);
}

// The groups of the on-loop condition's list whose condition names the loop, each name evaluated once for
// the whole loop rather than at every iteration. False when a group of the list has alternatives: those are
// evaluated through the list at every iteration.
bool ResolveOnLoopGroups(EventRunState* s, const std::u16string& loopName,
                         std::vector<std::int32_t>& groups) {
    groups.clear();
    const std::int32_t* list = SystemList(TypeSpecial, ConditionOnLoop);
    if (!list) return true;
    std::uint8_t* const savedGroup = s->currentGroup;
    bool resolved = true;
    for (const std::int32_t* pair = list; *pair != -1 && resolved; pair += 2) {
        std::uint8_t* group = ProgramAt(pair[0]);
        const std::uint8_t* condition = ProgramAt(pair[1]);
        if (!group || !condition) continue;
        if (GetU16(group + GroupFlags) & GroupHasOr) {
            resolved = false;
            break;
        }
        // As the list would evaluate it: a new event, in its own group.
        RaiseEventStamp();
        s->currentGroup = group;
        if (NamesLoop(condition, loopName)) groups.push_back(pair[0]);
    }
    s->currentGroup = savedGroup;
    return resolved;
}

// The groups of one iteration: the prepared ones, those of the list resolved for the loop, or (when the list
// holds alternatives) the on-loop condition's whole list.
struct LoopGroups {
    const std::vector<std::int32_t>* groups = nullptr;
};

void RunIteration(const LoopGroups& loop) {
    if (!loop.groups) {
        if (const std::int32_t* list = SystemList(TypeSpecial, ConditionOnLoop))
            HandleTriggeredEvents(list, nullptr, true);
        return;
    }
    for (std::int32_t group : *loop.groups)
        RunGroupPastFirstCondition(ProgramAt(group));
}

void RunLoop(EventRunState* s, std::int32_t position, std::int32_t count, const LoopGroups& groups) {
    if (s->loopDepth >= MaxLoopDepth) return;
    s->loops[static_cast<std::size_t>(position)].flags &= static_cast<std::uint16_t>(~LoopStopRequested);
    s->loops[static_cast<std::size_t>(position)].index = 0;
    const std::int32_t savedLoop = s->currentLoop;
    const std::uint8_t savedRequest = s->repeatRequest;
    const std::int32_t savedPass = s->repeatPass;
    std::uint8_t* const savedGroup = s->currentGroup;
    ++s->loopDepth;
    // A negative count runs until the loop is stopped.
    while (count != 0 && (count < 0 || s->loops[static_cast<std::size_t>(position)].index < count)) {
        s->currentLoop = position;
        s->actionPending = 0;
        RunIteration(groups);
        NamedLoop& loop = s->loops[static_cast<std::size_t>(position)];
        if (loop.flags & LoopStopRequested) break;
        ++loop.index;
    }
    --s->loopDepth;
    s->currentLoop = savedLoop;
    s->repeatRequest = savedRequest;
    s->repeatPass = savedPass;
    s->currentGroup = savedGroup;
    s->actionPending = 1;
}

// The prepared loop of a start-loop action on the fast path, or null.
PreparedLoop* FastPathLoop(EventRunState* s, const std::uint8_t* nameParameter) {
    if (!s->events || s->events->computedLoopNames || !nameParameter || GetI16(nameParameter) < 6)
        return nullptr;
    const std::int16_t number = GetI16(nameParameter + ParamValueAt);
    if (number <= 0 || static_cast<std::size_t>(number) > s->events->preparedLoops.size()) return nullptr;
    PreparedLoop& loop = s->events->preparedLoops[static_cast<std::size_t>(number - 1)];
    return loop.hasAlternatives ? nullptr : &loop;
}

// The index of a named loop for the loop index expressions, reading the argument from the current token
// (the function's own token) and leaving the current token on the closing token. A literal argument that
// names a loop has its function token rewritten to the cached form with the loop's position kept in the
// literal's last two bytes; the cached form checks the name there before it trusts the position.
std::int32_t LoopIndexOfArgument(bool cached) {
    EventRunState* s = State();
    auto* own = const_cast<std::uint8_t*>(CurrentToken());
    StepToken();
    const std::uint8_t* argument = CurrentToken();
    std::u16string text;
    std::size_t trailing = 0;
    if (s && LiteralText(argument, &text, &trailing)) {
        const std::uint8_t* literalAt = s->token;
        StepToken();
        if (IsCloseToken(CurrentTokenCode())) {
            std::int32_t position = -1;
            const std::uint8_t* slot = argument + GetI16(argument + TokenSizeAt) - 2;
            if (cached && trailing >= 2 && GetU16(slot) < s->loops.size() &&
                SameName(s->loops[GetU16(slot)].name, text))
                position = GetU16(slot);
            if (position < 0) position = FindNamedLoop(text);
            if (position < 0) return 0;
            if (!cached && own && trailing >= 2 && position <= 0xFFFF) {
                PutI32(own, EventCodeOf(TypeSpecial, ExpressionCachedLoopIndex));
                PutU16(const_cast<std::uint8_t*>(slot), static_cast<std::uint16_t>(position));
            }
            return s->loops[static_cast<std::size_t>(position)].index;
        }
        s->token = literalAt;
    }
    const TypedValue* name = EvaluateExpression();
    if (!s || !name->IsString()) return 0;
    const std::int32_t position = FindNamedLoop(name->Text());
    return position < 0 ? 0 : s->loops[static_cast<std::size_t>(position)].index;
}

void LoopIndexExpression() {
    SetTopInt(LoopIndexOfArgument(false));
}

void CachedLoopIndexExpression() {
    SetTopInt(LoopIndexOfArgument(true));
}

// The constants of expressions: an integer, a string and a double held in the token.
void IntegerConstant() {
    const std::uint8_t* p = nullptr;
    SetTopInt(CurrentTokenPayload(&p) >= 4 ? GetI32(p) : 0);
}

void StringConstant() {
    static win32::WCHAR empty[1] = {0};
    std::u16string text;
    std::size_t trailing = 0;
    const std::uint8_t* token = CurrentToken();
    if (!LiteralText(token, &text, &trailing)) {
        ExpressionTop() = TypedValue::String(empty);
        return;
    }
    // The program's own bytes hold the text for as long as the program lives; text stored at an odd
    // address is copied first.
    auto* stored = const_cast<std::uint8_t*>(token + TokenHeaderBytes);
    win32::WCHAR* value = reinterpret_cast<std::uintptr_t>(stored) % alignof(win32::WCHAR) == 0
                              ? reinterpret_cast<win32::WCHAR*>(stored)
                              : MakeTemporaryString(text);
    ExpressionTop() = TypedValue::String(value ? value : empty);
}

void DoubleConstant() {
    const std::uint8_t* p = nullptr;
    if (CurrentTokenPayload(&p) < 8) return SetTopInt(0);
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    ExpressionTop() = TypedValue::Double(std::bit_cast<double>(bits));
}

} // namespace

std::int32_t FindNamedLoop(std::u16string_view name) {
    EventRunState* s = State();
    if (!s) return -1;
    for (std::size_t i = 0; i < s->loops.size(); ++i)
        if (SameName(s->loops[i].name, name)) return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t FindOrAddNamedLoop(std::u16string_view name) {
    EventRunState* s = State();
    if (!s) return -1;
    if (const std::int32_t found = FindNamedLoop(name); found >= 0) return found;
    if (s->loops.size() >= static_cast<std::size_t>(INT32_MAX)) return -1;
    try {
        s->loops.push_back({std::u16string(name), 0, 0});
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return static_cast<std::int32_t>(s->loops.size() - 1);
}

void StartLoopAction(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s) return;
    const std::uint8_t* nameParameter = ParameterAt(record, 0);
    const std::uint8_t* countParameter = ParameterAt(record, 1);
    std::int32_t count = GetIntParameter(countParameter);
    PreparedLoop* prepared = FastPathLoop(s, nameParameter);
    std::int32_t position = -1;
    if (prepared) {
        position = prepared->position;
        if (position < 0 || static_cast<std::size_t>(position) >= s->loops.size() ||
            !SameName(s->loops[static_cast<std::size_t>(position)].name, prepared->name))
            position = prepared->position = FindOrAddNamedLoop(prepared->name);
    } else {
        const std::u16string name = GetStringParameter(nameParameter);
        count = GetIntParameter(countParameter);
        position = FindOrAddNamedLoop(name);
    }
    if (position < 0) return;
    LoopGroups groups;
    std::vector<std::int32_t> resolved;
    if (prepared)
        groups.groups = &prepared->groups;
    else if (const std::u16string name = s->loops[static_cast<std::size_t>(position)].name;
             ResolveOnLoopGroups(s, name, resolved))
        groups.groups = &resolved;
    RunLoop(s, position, count, groups);
}

void StopLoopAction(std::uint8_t* record) {
    EventRunState* s = State();
    const std::int32_t position = s ? FindNamedLoop(GetStringParameter(ParameterAt(record, 0))) : -1;
    if (position >= 0) s->loops[static_cast<std::size_t>(position)].flags |= LoopStopRequested;
}

void SetLoopIndexAction(std::uint8_t* record) {
    EventRunState* s = State();
    const std::int32_t position = s ? FindNamedLoop(GetStringParameter(ParameterAt(record, 0))) : -1;
    if (position >= 0)
        s->loops[static_cast<std::size_t>(position)].index = GetIntParameter(ParameterAt(record, 1));
}

int OnLoopCondition(std::uint8_t* record) {
    EventRunState* s = State();
    if (!s || s->currentLoop < 0 || static_cast<std::size_t>(s->currentLoop) >= s->loops.size()) return 0;
    if (!NamesLoop(record, s->loops[static_cast<std::size_t>(s->currentLoop)].name)) return 0;
    s->actionPending = 0;
    return 1;
}

void InstallLoopExpressions() {
    SetExpressionRoutine(TypeSpecial, 0, IntegerConstant);
    SetExpressionRoutine(TypeSpecial, 3, StringConstant);
    SetExpressionRoutine(TypeSpecial, 23, DoubleConstant);
    SetExpressionRoutine(TypeSpecial, ExpressionLoopIndex, LoopIndexExpression);
    SetExpressionRoutine(TypeSpecial, ExpressionCachedLoopIndex, CachedLoopIndexExpression);
}

} // namespace vtrrt
