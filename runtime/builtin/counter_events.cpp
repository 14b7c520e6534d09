// The counter's own condition (compare the value), actions (set, add, subtract, limits, colours) and
// expressions (value, limits, colours).
#include "builtin/counters.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "startup/event_program.h"

#include <array>

namespace vtrrt {

namespace {

constexpr std::int32_t ConditionCompareValue = -81;

TypedValue ValueParameter(std::uint8_t* record) {
    return GetValueParameter(ParameterAt(record, 0));
}

// The comparison of a parameter, evaluated for the object being tested.
bool ValueCompares(RunObject* o, const std::uint8_t* parameter) {
    CounterPart* c = CounterOf(o);
    int op = 0;
    TypedValue against{};
    if (!c || !GetComparisonParameter(parameter, &op, &against) || op < CompareEqual || op > CompareGreater)
        return false;
    return CompareValues(CounterValue(*c), against, op);
}

int CompareValueOverSelection(std::uint8_t* record) {
    const std::uint8_t* parameter = ParameterAt(record, 0);
    return FilterSelection(
               GetU16(record + RecordResolved), false,
               [](RunObject* o, void* p) { return ValueCompares(o, static_cast<const std::uint8_t*>(p)); },
               const_cast<std::uint8_t*>(parameter))
               ? 1
               : 0;
}

int CompareValueOfObject(std::uint8_t* record, RunObject* o) {
    return ValueCompares(o, ParameterAt(record, 0)) ? 1 : 0;
}

template <void (*Change)(RunObject*, const TypedValue&)> void ValueAction(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) Change(o, ValueParameter(record));
}

void SetValue(RunObject* o, const TypedValue& v) {
    SetCounterValue(o, v);
}

template <std::uint32_t CounterPart::*Colour> void SetColour(std::uint8_t* record) {
    RunObject* o = ActionObjectOf(record);
    CounterPart* c = CounterOf(o);
    if (!c) return;
    c->*Colour = static_cast<std::uint32_t>(GetIntParameter(ParameterAt(record, 0)));
    if (o->displayRoutine) o->displayRoutine(o);
}

CounterPart* ExpressionCounter() {
    return CounterOf(GetExpressionObject(CurrentToken()));
}

void ValueExpression() {
    const CounterPart* c = ExpressionCounter();
    ExpressionTop() = c ? CounterValue(*c) : TypedValue::Int(0);
}

template <bool Maximum> void LimitExpression() {
    const CounterPart* c = ExpressionCounter();
    if (!c) return SetTopInt(0);
    if (c->value.IsDouble())
        ExpressionTop() = TypedValue::Double(Maximum ? c->limits.maximumReal : c->limits.minimumReal);
    else
        SetTopInt(Maximum ? c->limits.maximum : c->limits.minimum);
}

template <std::uint32_t CounterPart::*Colour> void ColourExpression() {
    const CounterPart* c = ExpressionCounter();
    SetTopInt(c ? static_cast<std::int32_t>(c->*Colour) : 0);
}

} // namespace

void InstallCounterRoutines() {
    InstallCounterKinds();
    SetConditionRoutine(TypeCounter, ConditionCompareValue, CompareValueOverSelection, CompareValueOfObject);
    static constexpr std::array<ActionRoutine, 7> Actions{
        ValueAction<SetValue>,           ValueAction<AddToCounter>,      ValueAction<SubtractFromCounter>,
        ValueAction<SetCounterMinimum>,  ValueAction<SetCounterMaximum>, SetColour<&CounterPart::colour1>,
        SetColour<&CounterPart::colour2>};
    for (std::size_t i = 0; i < Actions.size(); ++i)
        SetActionRoutine(TypeCounter, static_cast<std::int32_t>(CommonNumbers + i), Actions[i]);
    static constexpr std::array<ExpressionRoutine, 5> Expressions{
        ValueExpression, LimitExpression<false>, LimitExpression<true>,
        ColourExpression<&CounterPart::colour1>, ColourExpression<&CounterPart::colour2>};
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypeCounter, static_cast<std::int32_t>(CommonNumbers + i), Expressions[i]);
}

} // namespace vtrrt
