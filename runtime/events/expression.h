// The expression evaluator: token streams in infix order read once, left to right, over a value stack and
// a stack of pending operators; a higher operator code binds tighter.
#pragma once

#include "core/typed_value.h"

#include <cstddef>
#include <cstdint>

#include "vtrformat/event_records.h"

namespace vtrrt {

using namespace vtrformat;

// Evaluates from the current token; the current token is left on the token that ended the expression.
// The result lives on the stack until the next evaluation at this level: copy it. Nesting deeper than the
// stack gives the integer 0.
TypedValue* EvaluateExpression();
// Evaluates the tokens of an expression parameter (operator at 4, tokens from 6 to the parameter's end).
TypedValue* EvaluateExpressionParameter(const std::uint8_t* parameter);
// As above; a result that is not a string, or a null string, gives the empty string.
const win32::WCHAR* EvaluateStringParameter(const std::uint8_t* parameter);
// The parameter's expression as an integer compared with `value` by the parameter's operator.
bool CompareWithExpressionParameter(const std::uint8_t* parameter, std::int32_t value);

// For expression routines: the token being evaluated (null past the end), its code and payload size, the
// value slot the routine writes, and stepping to the next token (for routines that read arguments:
// step over the own token, evaluate each argument, step over each separator, and leave the current
// token on the closing token).
const std::uint8_t* CurrentToken();
std::int32_t CurrentTokenCode();
std::size_t CurrentTokenPayload(const std::uint8_t** payload);
void StepToken();
TypedValue& ExpressionTop();
void SetTopInt(std::int32_t v);

// The operand routine of object type 0 (unary minus; any other number gives 0).
void TypeZeroOperand();

// The operator routines, on the two top values of the stack; the result goes in the lower one.
void AddOperator();
void SubtractOperator();
void MultiplyOperator();
void DivideOperator();
void ModuloOperator();
void PowerOperator();
void AndOperator();
void OrOperator();
void XorOperator();
void UnaryMinusOperator();
void ParenthesisOperator();

} // namespace vtrrt
