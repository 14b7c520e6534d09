// Dispatch of conditions, actions and expressions by object type: four tables of 135 entries indexed by
// object type + 7, the split of numbers between the routines common to object types 2 and up and each
// type's own, and the calls into routines that take decoded parameters (object extensions, and the kinds
// that are called the same way).
#pragma once

#include "core/typed_value.h"
#include "plugin/extension.h"

#include <array>
#include <cstdint>

namespace vtrrt {

struct RunObject;

// A record is the address of a condition or action in the event program.
using ActionRoutine = void (*)(std::uint8_t* record);
using ConditionRoutine = int (*)(std::uint8_t* record);
using ConditionOnObjectRoutine = int (*)(std::uint8_t* record, RunObject* object);
// Reads the evaluator's current token and writes the value at the top of the stack.
using ExpressionRoutine = void (*)();

// Routines called with decoded parameters: those of object extensions, and of the kinds called the same way.
// A decoded expression routine sets ExpressionResultString or ExpressionResultFloat in the object's result
// flags when its result is not an integer.
using DecodedActionRoutine = extension::ActionRoutine;
using DecodedConditionRoutine = extension::ConditionRoutine;
using DecodedExpressionRoutine = extension::ExpressionRoutine;

constexpr int DispatchTableSize = 135;
constexpr int DispatchTypeOffset = 7;
constexpr int LastObjectType = 127;
constexpr int CommonNumbers = 80;
// Room of each own table of the system objects and built-in kinds.
constexpr int OwnRoutineCapacity = 128;
constexpr int MaxExtensions = 96;

struct EventRoutineTables {
    const ConditionOnObjectRoutine* conditionOnObject;
    const ConditionRoutine* condition;
    const ActionRoutine* action;
    const ExpressionRoutine* expression;
};

extern const std::array<ActionRoutine, DispatchTableSize> ObjectActionDispatch;
extern const std::array<ConditionRoutine, DispatchTableSize> ObjectConditionDispatch;
extern const std::array<ConditionOnObjectRoutine, DispatchTableSize> ObjectConditionOneObjectDispatch;
extern const std::array<ExpressionRoutine, DispatchTableSize> ObjectExpressionDispatch;

// The dispatch entry of an object type; an out-of-range type reaches the do-nothing routine.
ActionRoutine ActionDispatchOf(std::int32_t type);
ConditionRoutine ConditionDispatchOf(std::int32_t type);
ConditionOnObjectRoutine ConditionOnObjectDispatchOf(std::int32_t type);
ExpressionRoutine ExpressionDispatchOf(std::int32_t type);

// Allocated with the runtime's allocator; the caller frees it.
EventRoutineTables* GetRoutineTables();

// Where the owners of the routines put them. Numbers as stored (conditions negative); an action,
// condition or expression number goes to the common table or the type's own table by the split. False
// when the type or number has no slot. A null routine empties the slot.
bool SetActionRoutine(std::int32_t type, std::int32_t number, ActionRoutine routine);
bool SetConditionRoutine(std::int32_t type, std::int32_t number, ConditionRoutine overSelection,
                         ConditionOnObjectRoutine oneObject);
bool SetExpressionRoutine(std::int32_t type, std::int32_t number, ExpressionRoutine routine);
// Common routines (types 2 and up).
bool SetCommonActionRoutine(std::int32_t number, ActionRoutine routine);
bool SetCommonConditionRoutine(std::int32_t number, ConditionRoutine overSelection,
                               ConditionOnObjectRoutine oneObject);
bool SetCommonExpressionRoutine(std::int32_t number, ExpressionRoutine routine);
// Empties every slot.
void ResetRoutineTables();
// What the tables hold for a number of a type after the split: the routine, or null where the do-nothing
// routine runs (decoded routines of extensions and kinds 8 and 9 are not answered here).
ActionRoutine RegisteredActionRoutine(std::int32_t type, std::int32_t number);
ConditionRoutine RegisteredConditionRoutine(std::int32_t type, std::int32_t number);
ConditionOnObjectRoutine RegisteredConditionOnObjectRoutine(std::int32_t type, std::int32_t number);
ExpressionRoutine RegisteredExpressionRoutine(std::int32_t type, std::int32_t number);
// The routine an action record's dispatch ends in, for an action run many times in a row; null when the
// dispatch has to run at each call (the decoded routines of extensions and of kinds 8 and 9).
ActionRoutine ResolvedActionRoutine(const std::uint8_t* record);

// The own routines of the kinds 8 and 9 or of an object extension, called with decoded parameters; arrays
// indexed by own number. `unicode` false: strings are converted for it. An extension's come from the run
// state (its application's extensions); the kinds' are set here.
struct DecodedRoutines {
    const DecodedConditionRoutine* conditions = nullptr;
    std::int32_t conditionCount = 0;
    const DecodedActionRoutine* actions = nullptr;
    std::int32_t actionCount = 0;
    const DecodedExpressionRoutine* expressions = nullptr;
    std::int32_t expressionCount = 0;
    bool unicode = true;
};
bool SetDecodedRoutines(std::int32_t type, const DecodedRoutines& routines);

// The condition or action record whose decoded routine is running, or null.
std::uint8_t* DecodedCallRecord();

// Calls with decoded parameters (the routine may be null: nothing is called).
void CallExtensionAction(std::uint8_t* record, DecodedActionRoutine routine);
int CallExtensionCondition(std::uint8_t* record, DecodedConditionRoutine routine);
int CallExtensionConditionOnObject(std::uint8_t* record, DecodedConditionRoutine routine, RunObject* object);
void CallExtensionExpression(DecodedExpressionRoutine routine);

// The value handed to a decoded routine for one parameter. `valueType` gets the value's type, `comparison`
// the comparison operator + 1 for comparison codes (else left 0), `ok` 0 when the parameter cannot be
// decoded. Slots 0 and 1 keep their comparison values. Strings go to a routine that takes 8-bit strings
// (`narrow`) as temporary copies in the application's code page.
std::intptr_t DecodeParameter(int slot, std::int32_t* valueType, std::int32_t* comparison, int* ok,
                              std::int32_t objectType, const std::uint8_t* parameter, std::uint8_t* record,
                              bool narrow = false);
const TypedValue& SlotComparisonValue(int slot);

// Text for a routine that takes 8-bit strings: a temporary copy in the application's code page (null when
// memory runs out); and the other way, a temporary UTF-16 copy of its 8-bit result.
char* NarrowTemporaryString(std::u16string_view text);
win32::WCHAR* WideTemporaryString(const char* text);

} // namespace vtrrt
