#include "events/expression.h"

#include "core/event_state.h"
#include "events/dispatch.h"
#include "startup/event_program.h"

namespace vtrrt {

namespace {

using OperatorMember = void (TypedValue::*)(const TypedValue&);
using OperatorRoutine = void (*)();

// By code >> 17; codes below the first operator do nothing.
constexpr OperatorRoutine OperatorRoutines[] = {
    nullptr,        AddOperator,   SubtractOperator, MultiplyOperator, DivideOperator,
    ModuloOperator, PowerOperator, AndOperator,      OrOperator,       XorOperator,
};
static_assert(std::size(OperatorRoutines) == (LastOperatorCode >> 17) + 1);

TypedValue& Zero() {
    static TypedValue zero{};
    zero = TypedValue::Int(0);
    return zero;
}

bool IsOperator(std::int32_t code) {
    return code >= 1 && code <= LastOperatorCode;
}

// Combines the two top values into the lower one with the operator's routine and lowers the stack index.
void ApplyOperator(EventRunState* s, std::int32_t code) {
    if (s->stackIndex < 1) return;
    if (const OperatorRoutine routine = OperatorRoutines[static_cast<std::uint32_t>(code) >> 17])
        routine();
    else
        --s->stackIndex;
}

void CombineTop(OperatorMember op) {
    EventRunState* s = CurrentEventState();
    if (!s || s->stackIndex < 1) return;
    TypedValue& a = s->values[s->stackIndex - 1];
    const TypedValue& b = s->values[s->stackIndex];
    (a.*op)(b);
    --s->stackIndex;
}

// Raises the stack index and runs the routine of the operand at the current token, leaving the current
// token on the operand (or on what ended a sub-expression). False when the stack is full.
bool DispatchOperand(EventRunState* s) {
    if (s->stackIndex + 1 >= ExpressionDepth) {
        s->overflow = true;
        return false;
    }
    ++s->stackIndex;
    s->values[s->stackIndex] = TypedValue::Int(0);
    const std::int32_t code = CurrentTokenCode();
    if (code == ParenthesisCode)
        ParenthesisOperator();
    else if (code != 0)
        ExpressionDispatchOf(static_cast<std::int16_t>(code & 0xFFFF))();
    return !s->overflow;
}

} // namespace

const std::uint8_t* CurrentToken() {
    EventRunState* s = CurrentEventState();
    if (!s || !s->token || !s->tokenEnd || s->token >= s->tokenEnd) return nullptr;
    if (static_cast<std::size_t>(s->tokenEnd - s->token) < TokenHeaderBytes) return nullptr;
    const std::int16_t size = GetI16(s->token + TokenSizeAt);
    if (size < static_cast<std::int16_t>(TokenHeaderBytes) || size > s->tokenEnd - s->token) return nullptr;
    return s->token;
}

std::int32_t CurrentTokenCode() {
    const std::uint8_t* t = CurrentToken();
    return t ? GetI32(t) : 0;
}

std::size_t CurrentTokenPayload(const std::uint8_t** payload) {
    const std::uint8_t* t = CurrentToken();
    if (!t) {
        if (payload) *payload = nullptr;
        return 0;
    }
    if (payload) *payload = t + TokenHeaderBytes;
    return static_cast<std::size_t>(GetI16(t + TokenSizeAt)) - TokenHeaderBytes;
}

// The end token is never stepped over, so that a stream cannot be read past its end.
void StepToken() {
    EventRunState* s = CurrentEventState();
    if (!s) return;
    const std::uint8_t* t = CurrentToken();
    if (!t)
        s->token = s->tokenEnd;
    else if (GetI32(t) != TokenEnd)
        s->token = t + GetI16(t + TokenSizeAt);
}

TypedValue& ExpressionTop() {
    EventRunState* s = CurrentEventState();
    return s ? s->values[s->stackIndex] : Zero();
}

void SetTopInt(std::int32_t v) {
    ExpressionTop() = TypedValue::Int(v);
}

TypedValue* EvaluateExpression() {
    EventRunState* s = CurrentEventState();
    if (!s) return &Zero();
    if (s->evaluationDepth == 0) s->overflow = false;
    ++s->evaluationDepth;
    const std::int32_t base = s->stackIndex;
    TypedValue* result = &s->values[base + 1];
    *result = TypedValue::Int(0);
    s->pendingOperators[base] = 0;
    for (;;) {
        if (!DispatchOperand(s)) break;
        StepToken();
        const std::int32_t c = CurrentTokenCode();
        if (!IsOperator(c)) break;
        while (s->stackIndex > base + 1 && s->pendingOperators[s->stackIndex - 1] >= c)
            ApplyOperator(s, s->pendingOperators[s->stackIndex - 1]);
        s->pendingOperators[s->stackIndex] = c;
        StepToken();
    }
    while (!s->overflow && s->stackIndex > base + 1)
        ApplyOperator(s, s->pendingOperators[s->stackIndex - 1]);
    s->stackIndex = base;
    if (--s->evaluationDepth == 0 && s->overflow) {
        *result = TypedValue::Int(0);
        s->overflow = false;
    }
    return result;
}

TypedValue* EvaluateExpressionParameter(const std::uint8_t* parameter) {
    EventRunState* s = CurrentEventState();
    if (!s || !parameter) return &Zero();
    const std::int16_t size = GetI16(parameter);
    if (size < static_cast<std::int16_t>(ParameterHeaderBytes + 2)) return &Zero();
    const std::uint8_t* savedToken = s->token;
    const std::uint8_t* savedEnd = s->tokenEnd;
    s->token = parameter + ParameterHeaderBytes + 2;
    s->tokenEnd = parameter + size;
    TypedValue* result = EvaluateExpression();
    s->token = savedToken;
    s->tokenEnd = savedEnd;
    return result;
}

const win32::WCHAR* EvaluateStringParameter(const std::uint8_t* parameter) {
    static const win32::WCHAR empty[1] = {0};
    const TypedValue* r = EvaluateExpressionParameter(parameter);
    return r->IsString() && r->string ? r->string : empty;
}

bool CompareWithExpressionParameter(const std::uint8_t* parameter, std::int32_t value) {
    if (!parameter || GetI16(parameter) < static_cast<std::int16_t>(ParameterHeaderBytes + 2)) return false;
    const int op = GetU16(parameter + ParameterHeaderBytes);
    return CompareIntegers(value, EvaluateExpressionParameter(parameter)->ToInt(), op);
}

void TypeZeroOperand() {
    if ((CurrentTokenCode() >> 16) == (UnaryMinusCode >> 16))
        UnaryMinusOperator();
    else
        SetTopInt(0);
}

// Operators on the two top values of the stack.
void AddOperator() {
    CombineTop(&TypedValue::Add);
}
void SubtractOperator() {
    CombineTop(&TypedValue::SubtractNumber);
}
void MultiplyOperator() {
    CombineTop(&TypedValue::Multiply);
}
void DivideOperator() {
    CombineTop(&TypedValue::Divide);
}
void ModuloOperator() {
    CombineTop(&TypedValue::Modulo);
}
void PowerOperator() {
    CombineTop(&TypedValue::Power);
}
void AndOperator() {
    CombineTop(&TypedValue::And);
}
void OrOperator() {
    CombineTop(&TypedValue::Or);
}
void XorOperator() {
    CombineTop(&TypedValue::Xor);
}

// At the minus sign: evaluates the operand that follows into the slot above and negates it into this
// one, leaving the current token on that operand for the caller to step over.
void UnaryMinusOperator() {
    EventRunState* s = CurrentEventState();
    if (!s) return;
    StepToken();
    if (!DispatchOperand(s)) return;
    TypedValue v = s->values[s->stackIndex];
    --s->stackIndex;
    v.Negate();
    s->values[s->stackIndex] = v;
}

// At the opening token: evaluates the sub-expression into this slot, leaving the current token on the
// token that closed it.
void ParenthesisOperator() {
    EventRunState* s = CurrentEventState();
    if (!s) return;
    StepToken();
    const TypedValue v = *EvaluateExpression();
    s->values[s->stackIndex] = v;
}

} // namespace vtrrt
