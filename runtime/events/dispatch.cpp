#include "events/dispatch.h"
#include "core/upcalls.h"

#include "core/application_record.h"
#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/expression.h"
#include "events/extension_host.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "plugin/run_object.h"
#include "startup/event_program.h"
#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <utility>

namespace vtrrt {

namespace {

constexpr std::int32_t FirstCommonType = 2;
constexpr std::int32_t FirstDecodedKind = 8;
constexpr std::uint16_t ObjectInConditionWalk = 0x2;
constexpr int ParameterSlots = 2;

struct RoutineSet {
    std::array<ActionRoutine, OwnRoutineCapacity> actions{};
    std::array<ConditionRoutine, OwnRoutineCapacity> conditions{};
    std::array<ConditionOnObjectRoutine, OwnRoutineCapacity> conditionsOnObject{};
    std::array<ExpressionRoutine, OwnRoutineCapacity> expressions{};
};

struct Registry {
    RoutineSet system[7];
    RoutineSet common;
    RoutineSet kinds[LastKindType - FirstCommonType + 1];
    // Kinds 8 and 9; the extensions' are their application's.
    DecodedRoutines decoded[2];
};

Registry& Routines() {
    static Registry registry;
    return registry;
}

TypedValue slotValues[ParameterSlots];
std::uint8_t* decodedRecord = nullptr;

// The record of the decoded call in progress, for the routine's own reading of further parameters; calls
// nest when a routine raises events.
class DecodedRecordScope {
public:
    explicit DecodedRecordScope(std::uint8_t* record) : previous_(decodedRecord) { decodedRecord = record; }
    ~DecodedRecordScope() { decodedRecord = previous_; }
    DecodedRecordScope(const DecodedRecordScope&) = delete;
    DecodedRecordScope& operator=(const DecodedRecordScope&) = delete;

private:
    std::uint8_t* previous_;
};

std::int16_t NumberOf(const std::uint8_t* record) {
    return GetI16(record + RecordNumber);
}
// Condition numbers -1, -2, ... as 0, 1, ...; negative for a number that is no condition.
std::int32_t ConditionIndex(std::int32_t number) {
    return -1 - number;
}

bool InRange(std::int32_t i, std::int32_t size) {
    return i >= 0 && i < size;
}

RoutineSet* OwnSet(std::int32_t type) {
    if (type >= FirstSystemType && type < 0) return &Routines().system[type - FirstSystemType];
    if (type >= FirstCommonType && type < FirstDecodedKind) return &Routines().kinds[type - FirstCommonType];
    return nullptr;
}

const DecodedRoutines* DecodedOf(std::int32_t type) {
    if (type == 8 || type == 9) return &Routines().decoded[type - FirstDecodedKind];
    if (type >= FirstExtensionType && type <= LastObjectType)
        return RunStateExtensionRoutines(CurrentRunState(), type);
    return nullptr;
}

template <typename R, std::size_t N> R At(const std::array<R, N>& table, std::int32_t i) {
    return InRange(i, static_cast<std::int32_t>(N)) ? table[static_cast<std::size_t>(i)] : nullptr;
}

template <typename R> R DecodedAt(const R* table, std::int32_t count, std::int32_t i) {
    return table && InRange(i, count) ? table[i] : nullptr;
}

// The do-nothing routines that every slot without a routine leads to.
void NoAction(std::uint8_t*) {}
int NoCondition(std::uint8_t*) {
    return 0;
}
int NoConditionOnObject(std::uint8_t*, RunObject*) {
    return 0;
}
void NoExpression() {
    SetTopInt(0);
}

void RunAction(ActionRoutine r, std::uint8_t* record) {
    (r ? r : NoAction)(record);
}
int RunCondition(ConditionRoutine r, std::uint8_t* record) {
    return (r ? r : NoCondition)(record);
}
int RunConditionOnObject(ConditionOnObjectRoutine r, std::uint8_t* record, RunObject* o) {
    return (r ? r : NoConditionOnObject)(record, o);
}
void RunExpression(ExpressionRoutine r) {
    (r ? r : NoExpression)();
}

enum class Kind { None, System, Direct, Decoded };

constexpr Kind KindOf(std::int32_t type) {
    if (type < 0) return Kind::System;
    if (type >= FirstCommonType && type < FirstDecodedKind) return Kind::Direct;
    if (type == 8 || type == 9 || (type >= FirstExtensionType && type <= LastObjectType))
        return Kind::Decoded;
    return Kind::None;
}

template <std::int32_t Type> void ActionDispatch(std::uint8_t* record) {
    constexpr Kind kind = KindOf(Type);
    const std::int32_t number = NumberOf(record);
    if constexpr (kind == Kind::System) {
        RunAction(At(OwnSet(Type)->actions, number), record);
    } else if constexpr (kind == Kind::None) {
        NoAction(record);
    } else if (number < CommonNumbers) {
        RunAction(At(Routines().common.actions, number), record);
    } else if constexpr (kind == Kind::Direct) {
        RunAction(At(OwnSet(Type)->actions, number - CommonNumbers), record);
    } else {
        const DecodedRoutines* d = DecodedOf(Type);
        if (auto r = d ? DecodedAt(d->actions, d->actionCount, number - CommonNumbers) : nullptr)
            CallExtensionAction(record, r);
    }
}

template <std::int32_t Type> int ConditionDispatch(std::uint8_t* record) {
    constexpr Kind kind = KindOf(Type);
    const std::int32_t c = ConditionIndex(NumberOf(record));
    if constexpr (kind == Kind::System) {
        return RunCondition(At(OwnSet(Type)->conditions, c), record);
    } else if constexpr (kind == Kind::None) {
        return NoCondition(record);
    } else {
        if (c < CommonNumbers) return RunCondition(At(Routines().common.conditions, c), record);
        if constexpr (kind == Kind::Direct) {
            return RunCondition(At(OwnSet(Type)->conditions, c - CommonNumbers), record);
        } else {
            const DecodedRoutines* d = DecodedOf(Type);
            auto r = d ? DecodedAt(d->conditions, d->conditionCount, c - CommonNumbers) : nullptr;
            return r ? CallExtensionCondition(record, r) : 0;
        }
    }
}

template <std::int32_t Type> int ConditionOnObjectDispatch(std::uint8_t* record, RunObject* o) {
    constexpr Kind kind = KindOf(Type);
    const std::int32_t c = ConditionIndex(NumberOf(record));
    if constexpr (kind == Kind::System) {
        // The system objects' conditions take no object.
        if (auto r = At(OwnSet(Type)->conditionsOnObject, c)) return r(record, nullptr);
        return RunCondition(At(OwnSet(Type)->conditions, c), record);
    } else if constexpr (kind == Kind::None) {
        return NoConditionOnObject(record, o);
    } else {
        if (c < CommonNumbers)
            return RunConditionOnObject(At(Routines().common.conditionsOnObject, c), record, o);
        if constexpr (kind == Kind::Direct) {
            return RunConditionOnObject(At(OwnSet(Type)->conditionsOnObject, c - CommonNumbers), record, o);
        } else {
            const DecodedRoutines* d = DecodedOf(Type);
            auto r = d ? DecodedAt(d->conditions, d->conditionCount, c - CommonNumbers) : nullptr;
            return r ? CallExtensionConditionOnObject(record, r, o) : 0;
        }
    }
}

template <std::int32_t Type> void ExpressionDispatch() {
    constexpr Kind kind = KindOf(Type);
    const std::int32_t number = CurrentTokenCode() >> 16;
    if constexpr (Type == 0) {
        TypeZeroOperand();
    } else if constexpr (kind == Kind::System) {
        RunExpression(At(OwnSet(Type)->expressions, number));
    } else if constexpr (kind == Kind::None) {
        NoExpression();
    } else if (number < CommonNumbers) {
        RunExpression(At(Routines().common.expressions, number));
    } else if constexpr (kind == Kind::Direct) {
        RunExpression(At(OwnSet(Type)->expressions, number - CommonNumbers));
    } else {
        const DecodedRoutines* d = DecodedOf(Type);
        if (auto r = d ? DecodedAt(d->expressions, d->expressionCount, number - CommonNumbers) : nullptr)
            CallExtensionExpression(r);
        else
            NoExpression();
    }
}

template <std::size_t... I> constexpr auto MakeActionTable(std::index_sequence<I...>) {
    return std::array<ActionRoutine, sizeof...(I)>{&ActionDispatch<static_cast<std::int32_t>(I) - 7>...};
}
template <std::size_t... I> constexpr auto MakeConditionTable(std::index_sequence<I...>) {
    return std::array<ConditionRoutine, sizeof...(I)>{
        &ConditionDispatch<static_cast<std::int32_t>(I) - 7>...};
}
template <std::size_t... I> constexpr auto MakeConditionOnObjectTable(std::index_sequence<I...>) {
    return std::array<ConditionOnObjectRoutine, sizeof...(I)>{
        &ConditionOnObjectDispatch<static_cast<std::int32_t>(I) - 7>...};
}
template <std::size_t... I> constexpr auto MakeExpressionTable(std::index_sequence<I...>) {
    return std::array<ExpressionRoutine, sizeof...(I)>{
        &ExpressionDispatch<static_cast<std::int32_t>(I) - 7>...};
}

constexpr auto Sequence = std::make_index_sequence<DispatchTableSize>{};

std::int32_t TableIndex(std::int32_t type) {
    return type + DispatchTypeOffset;
}

template <typename R> bool Store(R* table, std::int32_t size, std::int32_t i, R routine) {
    if (!InRange(i, size)) return false;
    table[i] = routine;
    return true;
}

// Decodes up to two parameters for a decoded routine; false when one cannot be decoded. `comparison`
// gets the operator + 1 of the last comparison parameter and `comparisonSlot` its slot. The object's
// current parameter is left after the ones decoded, for the routine to read any further ones.
bool DecodeParameters(std::uint8_t* record, RunObject* o, std::intptr_t values[2], std::int32_t* valueType,
                      std::int32_t* comparison, int* comparisonSlot) {
    values[0] = values[1] = 0;
    *comparison = 0;
    const std::uint8_t* p = FirstParameter(record);
    o->currentParameter = p;
    const int count = static_cast<std::int8_t>(record[RecordParameterCount]);
    if (count != 1 && count != 2) return true;
    const bool narrow = ExtensionTakesNarrowStrings(o);
    for (int slot = 0; slot < count; ++slot, p = NextParameter(record, p)) {
        if (!p) return false;
        int ok = 1;
        std::int32_t op = 0;
        values[slot] = DecodeParameter(slot, valueType, &op, &ok, o->objectType, p, record, narrow);
        if (!ok) return false;
        o->currentParameter = NextParameter(record, p);
        if (op) {
            *comparison = op;
            *comparisonSlot = slot;
        }
    }
    return true;
}

float FloatOfBits(std::intptr_t result) {
    const auto bits = static_cast<std::uint32_t>(result);
    float f;
    static_assert(sizeof f == sizeof bits);
    __builtin_memcpy(&f, &bits, sizeof f);
    return f;
}

TypedValue ResultValue(const RunObject* o, std::intptr_t result, std::int32_t valueType) {
    if (valueType == TypeString) {
        if (ExtensionTakesNarrowStrings(o))
            return TypedValue::String(WideTemporaryString(reinterpret_cast<const char*>(result)));
        return TypedValue::String(reinterpret_cast<win32::WCHAR*>(result));
    }
    if (o->resultFlags & ExpressionResultFloat) return TypedValue::Double(FloatOfBits(result));
    return TypedValue::Int(static_cast<std::int32_t>(result));
}

// One call of a decoded condition routine for one object, with the comparison its parameters ask for.
bool EvaluateDecodedCondition(std::uint8_t* record, DecodedConditionRoutine routine, RunObject* o) {
    std::intptr_t values[2];
    std::int32_t valueType = TypeInteger, comparison = 0;
    int slot = 0;
    if (!DecodeParameters(record, o, values, &valueType, &comparison, &slot)) return false;
    o->currentNumber = -NumberOf(record) - 81;
    o->resultFlags = 0;
    const std::int32_t result = routine(o, values[0], values[1]);
    if (!comparison) return result != 0;
    const TypedValue left = ResultValue(o, result, valueType);
    o->resultFlags = 0;
    return CompareTypedValues(left, slotValues[slot], comparison - 1);
}

std::uint32_t RunCodePage() {
    const FrameRunState* s = CurrentRunState();
    const ApplicationRecord* app = s && s->application ? s->application : CurrentApplication();
    return app ? app->codePage : 0;
}

} // namespace

constinit const std::array<ActionRoutine, DispatchTableSize> ObjectActionDispatch = MakeActionTable(Sequence);
constinit const std::array<ConditionRoutine, DispatchTableSize> ObjectConditionDispatch =
    MakeConditionTable(Sequence);
constinit const std::array<ConditionOnObjectRoutine, DispatchTableSize> ObjectConditionOneObjectDispatch =
    MakeConditionOnObjectTable(Sequence);
constinit const std::array<ExpressionRoutine, DispatchTableSize> ObjectExpressionDispatch =
    MakeExpressionTable(Sequence);

ActionRoutine ActionDispatchOf(std::int32_t type) {
    const std::int32_t i = TableIndex(type);
    return InRange(i, DispatchTableSize) ? ObjectActionDispatch[static_cast<std::size_t>(i)] : &NoAction;
}
ConditionRoutine ConditionDispatchOf(std::int32_t type) {
    const std::int32_t i = TableIndex(type);
    return InRange(i, DispatchTableSize) ? ObjectConditionDispatch[static_cast<std::size_t>(i)]
                                         : &NoCondition;
}
ConditionOnObjectRoutine ConditionOnObjectDispatchOf(std::int32_t type) {
    const std::int32_t i = TableIndex(type);
    return InRange(i, DispatchTableSize) ? ObjectConditionOneObjectDispatch[static_cast<std::size_t>(i)]
                                         : &NoConditionOnObject;
}
ExpressionRoutine ExpressionDispatchOf(std::int32_t type) {
    const std::int32_t i = TableIndex(type);
    return InRange(i, DispatchTableSize) ? ObjectExpressionDispatch[static_cast<std::size_t>(i)]
                                         : &NoExpression;
}

EventRoutineTables* GetRoutineTables() {
    EventRoutineTables* t = nullptr;
    if (!AllocMemory(sizeof(EventRoutineTables), &t)) return nullptr;
    t->conditionOnObject = ObjectConditionOneObjectDispatch.data();
    t->condition = ObjectConditionDispatch.data();
    t->action = ObjectActionDispatch.data();
    t->expression = ObjectExpressionDispatch.data();
    return t;
}

bool SetCommonActionRoutine(std::int32_t number, ActionRoutine routine) {
    return Store(Routines().common.actions.data(), CommonNumbers, number, routine);
}
bool SetCommonConditionRoutine(std::int32_t number, ConditionRoutine overSelection,
                               ConditionOnObjectRoutine oneObject) {
    const std::int32_t c = ConditionIndex(number);
    return Store(Routines().common.conditions.data(), CommonNumbers, c, overSelection) &&
           Store(Routines().common.conditionsOnObject.data(), CommonNumbers, c, oneObject);
}
bool SetCommonExpressionRoutine(std::int32_t number, ExpressionRoutine routine) {
    return Store(Routines().common.expressions.data(), CommonNumbers, number, routine);
}

bool SetActionRoutine(std::int32_t type, std::int32_t number, ActionRoutine routine) {
    RoutineSet* own = OwnSet(type);
    if (!own) return false;
    if (type < 0) return Store(own->actions.data(), OwnRoutineCapacity, number, routine);
    return number >= CommonNumbers &&
           Store(own->actions.data(), OwnRoutineCapacity, number - CommonNumbers, routine);
}

bool SetConditionRoutine(std::int32_t type, std::int32_t number, ConditionRoutine overSelection,
                         ConditionOnObjectRoutine oneObject) {
    RoutineSet* own = OwnSet(type);
    if (!own) return false;
    std::int32_t c = ConditionIndex(number);
    if (type >= 0) {
        if (c < CommonNumbers) return false;
        c -= CommonNumbers;
    }
    return Store(own->conditions.data(), OwnRoutineCapacity, c, overSelection) &&
           Store(own->conditionsOnObject.data(), OwnRoutineCapacity, c, oneObject);
}

bool SetExpressionRoutine(std::int32_t type, std::int32_t number, ExpressionRoutine routine) {
    RoutineSet* own = OwnSet(type);
    if (!own) return false;
    if (type < 0) return Store(own->expressions.data(), OwnRoutineCapacity, number, routine);
    return number >= CommonNumbers &&
           Store(own->expressions.data(), OwnRoutineCapacity, number - CommonNumbers, routine);
}

bool SetDecodedRoutines(std::int32_t type, const DecodedRoutines& routines) {
    if (type != 8 && type != 9) return false;
    Routines().decoded[type - FirstDecodedKind] = routines;
    return true;
}

char* NarrowTemporaryString(std::u16string_view text) {
    const std::uint32_t codePage = RunCodePage();
    const int units = static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX / 4));
    const int bytes =
        units ? win32::WideCharToMultiByte(codePage, 0, text.data(), units, nullptr, 0, nullptr, nullptr) : 0;
    char* out = nullptr;
    if (bytes < 0 || !AllocZeroedMemory(static_cast<std::size_t>(bytes) + 2, &out)) return nullptr;
    if (bytes) win32::WideCharToMultiByte(codePage, 0, text.data(), units, out, bytes, nullptr, nullptr);
    // Registered like the UTF-16 ones: the list only frees what it holds.
    return reinterpret_cast<char*>(AddTemporaryString(reinterpret_cast<win32::WCHAR*>(out)));
}

win32::WCHAR* WideTemporaryString(const char* text) {
    if (!text) return MakeTemporaryString(u"");
    const std::size_t length = std::strlen(text);
    std::u16string wide(length + 1, u'\0');
    const std::size_t n = NarrowToWide({reinterpret_cast<const std::uint8_t*>(text), length}, RunCodePage(),
                                       wide.data(), wide.size());
    return MakeTemporaryString(std::u16string_view(wide.data(), n));
}

void ResetRoutineTables() {
    Routines() = Registry{};
}

namespace {

// The routine set and index a number of a type reaches; null set when it reaches none.
struct Slot {
    const RoutineSet* set = nullptr;
    std::int32_t index = -1;
};

// `number` as 0, 1, ... (conditions already turned into -1 - number).
Slot SlotOf(std::int32_t type, std::int32_t index) {
    const Kind kind = KindOf(type);
    if (kind == Kind::None || index < 0) return {};
    if (kind == Kind::System) return {OwnSet(type), index};
    if (index < CommonNumbers) return {&Routines().common, index};
    if (kind == Kind::Direct) return {OwnSet(type), index - CommonNumbers};
    return {};
}

template <typename R, std::size_t N>
R Registered(const Slot& slot, const std::array<R, N> RoutineSet::*table) {
    return slot.set ? At(slot.set->*table, slot.index) : nullptr;
}

} // namespace

ActionRoutine RegisteredActionRoutine(std::int32_t type, std::int32_t number) {
    return Registered(SlotOf(type, number), &RoutineSet::actions);
}
ActionRoutine ResolvedActionRoutine(const std::uint8_t* record) {
    const std::int32_t type = GetI16(record + RecordType);
    switch (KindOf(type)) {
    case Kind::None:
        return NoAction;
    case Kind::Decoded:
        return nullptr;
    default: {
        const ActionRoutine r = RegisteredActionRoutine(type, NumberOf(record));
        return r ? r : NoAction;
    }
    }
}

ConditionRoutine RegisteredConditionRoutine(std::int32_t type, std::int32_t number) {
    return Registered(SlotOf(type, ConditionIndex(number)), &RoutineSet::conditions);
}
ConditionOnObjectRoutine RegisteredConditionOnObjectRoutine(std::int32_t type, std::int32_t number) {
    return Registered(SlotOf(type, ConditionIndex(number)), &RoutineSet::conditionsOnObject);
}
ExpressionRoutine RegisteredExpressionRoutine(std::int32_t type, std::int32_t number) {
    return Registered(SlotOf(type, number), &RoutineSet::expressions);
}

const TypedValue& SlotComparisonValue(int slot) {
    static const TypedValue none{};
    return InRange(slot, ParameterSlots) ? slotValues[slot] : none;
}

std::intptr_t DecodeParameter(int slot, std::int32_t* valueType, std::int32_t* comparison, int* ok,
                              std::int32_t /*objectType*/, const std::uint8_t* p, std::uint8_t* record,
                              bool narrow) {
    *ok = 1;
    *comparison = 0;
    const std::int16_t code = ParameterCode(p);
    const std::int16_t size = p ? GetI16(p) : 0;
    const bool keeps = InRange(slot, ParameterSlots);
    auto keep = [&](const TypedValue& v) {
        if (keeps) slotValues[slot] = v;
    };
    auto text = [&](const win32::WCHAR* t) {
        if (!narrow) return reinterpret_cast<std::intptr_t>(t);
        return reinterpret_cast<std::intptr_t>(NarrowTemporaryString(t ? std::u16string_view(t) : u""));
    };
    switch (code) {
    case 1: {
        EventRunState* s = CurrentEventState();
        if (s && s->actionPending && !GetParameterObject(p, record)) *ok = 0;
        return reinterpret_cast<std::intptr_t>(p);
    }
    case 2:
    case 24:
    case 3:
    case 4:
    case 5:
    case 10:
    case 12:
    case 14:
    case 15:
    case 17:
    case 26:
    case 32:
    case 34:
        return GetIntParameter(p);
    case 22:
    case 23: {
        const TypedValue v = *EvaluateExpressionParameter(p);
        keep(v);
        *valueType = TypeInteger;
        if (code == 23) *comparison = GetU16(p + ExpressionParamComparisonAt) + 1;
        return v.ToInt();
    }
    case 42: {
        if (size < 14) {
            *ok = 0;
            return 0;
        }
        keep(TypedValue::Int(GetI32(p + ParamValueAt)));
        *comparison = GetI16(p + ConstantParamComparisonAt) + 1;
        return GetI32(p + ParamValueAt);
    }
    case 40:
    case 63:
    case 64:
        return text(GetStringParameter(p));
    case 45:
    case 46: {
        const win32::WCHAR* value = EvaluateStringParameter(p);
        if (code == 46) {
            keep(TypedValue::String(const_cast<win32::WCHAR*>(value)));
            *comparison = GetU16(p + ExpressionParamComparisonAt) + 1;
            *valueType = TypeString;
        }
        return text(value);
    }
    case 16: {
        // The position in one word: x in the high half, y in the low half.
        ResolvedPosition at;
        if (!up::ResolvePositionParameter(p, 0, at)) {
            *ok = 0;
            return 0;
        }
        return static_cast<std::intptr_t>(static_cast<std::int32_t>(
            (static_cast<std::uint32_t>(at.x) << 16) | (static_cast<std::uint32_t>(at.y) & 0xFFFF)));
    }
    case 29:
        if (size < 8) {
            *ok = 0;
            return 0;
        }
        return up::RandomDirectionInMask(static_cast<std::uint32_t>(GetI32(p + ParamValueAt)));
    case 55:
        return reinterpret_cast<std::intptr_t>(p + ParameterPayloadAt);
    default:
        return reinterpret_cast<std::intptr_t>(p);
    }
}

std::uint8_t* DecodedCallRecord() {
    return decodedRecord;
}

void CallExtensionAction(std::uint8_t* record, DecodedActionRoutine routine) {
    RunObject* o = ActionObjectOf(record);
    if (!o) return;
    const DecodedRecordScope scope(record);
    std::intptr_t values[2];
    std::int32_t valueType = TypeInteger, comparison = 0;
    int slot = 0;
    if (!DecodeParameters(record, o, values, &valueType, &comparison, &slot)) return;
    o->currentNumber = NumberOf(record) - CommonNumbers;
    if (routine) routine(o, values[0], values[1]);
}

int CallExtensionCondition(std::uint8_t* record, DecodedConditionRoutine routine) {
    if (!record || !routine) return 0;
    const DecodedRecordScope scope(record);
    const bool negated = record[RecordNegation] & 1;
    for (RunObject* o = FirstConditionObject(GetU16(record + RecordResolved), nullptr); o;
         o = NextConditionObject()) {
        o->runFlags &= static_cast<std::uint16_t>(~ObjectInConditionWalk);
        if (EvaluateDecodedCondition(record, routine, o) == negated) DropConditionObject();
    }
    return SelectedCount(GetU16(record + RecordResolved)) > 0;
}

int CallExtensionConditionOnObject(std::uint8_t* record, DecodedConditionRoutine routine, RunObject* o) {
    if (!record || !routine || !o) return 0;
    const DecodedRecordScope scope(record);
    o->runFlags |= ObjectInConditionWalk;
    if (!EvaluateDecodedCondition(record, routine, o)) return 0;
    AddObjectToSelection(o);
    return 1;
}

void CallExtensionExpression(DecodedExpressionRoutine routine) {
    const std::uint8_t* token = CurrentToken();
    RunObject* o = token ? GetExpressionObject(token) : nullptr;
    if (!o || !routine) {
        SetTopInt(0);
        return;
    }
    o->resultFlags = 0;
    o->currentNumber = (GetI32(token) >> 16) - CommonNumbers;
    const std::intptr_t result = routine(o, token);
    if (o->resultFlags & ExpressionResultString) {
        static win32::WCHAR empty[1] = {0};
        win32::WCHAR* text = ExtensionTakesNarrowStrings(o)
                                 ? WideTemporaryString(reinterpret_cast<const char*>(result))
                                 : reinterpret_cast<win32::WCHAR*>(result);
        ExpressionTop() = TypedValue::String(text ? text : empty);
    } else {
        ExpressionTop() = ResultValue(o, result, TypeInteger);
    }
    o->resultFlags = 0;
}

} // namespace vtrrt
