// Reading the parameters of a condition or action: walking them within the record's bounds, and the values
// that routines take from them (integers and strings that may be expressions, comparisons, objects).
#pragma once

#include "core/typed_value.h"

#include <cstdint>

namespace vtrrt {

struct RunObject;

// Parameter codes whose payload is an expression (comparison operator at 4, tokens from 6).
bool IsExpressionParameterCode(std::int16_t code);

// The first parameter of a record and the one after `parameter`, or null when there is none or it does not
// fit in the record.
const std::uint8_t* FirstParameter(const std::uint8_t* record);
const std::uint8_t* NextParameter(const std::uint8_t* record, const std::uint8_t* parameter);
// The n-th parameter (from 0), or null.
const std::uint8_t* ParameterAt(const std::uint8_t* record, int n);
std::int16_t ParameterCode(const std::uint8_t* parameter);

// An integer: an expression code is evaluated (a double truncated, a string 0); codes 2 and 24 carry 32
// bits, the others 16. 0 for a parameter too short for its code.
std::int32_t GetIntParameter(const std::uint8_t* parameter);
// The whole value of an expression parameter (copied), or the integer of any other.
TypedValue GetValueParameter(const std::uint8_t* parameter);
// A string: an expression is evaluated (the empty string when it is not a string); codes 40, 63 and 64
// carry their text. Never null.
const win32::WCHAR* GetStringParameter(const std::uint8_t* parameter);
// A comparison: the operator (expression codes: the u16 at 4; code 42: the i16 at 12) and the value to
// compare with; false when the parameter holds none.
bool GetComparisonParameter(const std::uint8_t* parameter, int* op, TypedValue* value);
// Compares `value` with the comparison parameter; false when it holds none.
bool CompareWithParameter(const TypedValue& value, const std::uint8_t* parameter);
// The object an action on `record` acts on in this repeat pass, by the repeat protocol: clears the
// record's no-object-found bit, sets it when there is none, and asks for a repeat when more objects follow.
RunObject* ActionObjectOf(std::uint8_t* record);
// The object of an object parameter for the action `record` (repeat protocol included).
RunObject* GetObjectParameter(const std::uint8_t* parameter, std::uint8_t* record);

} // namespace vtrrt
