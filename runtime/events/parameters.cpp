#include "events/parameters.h"

#include "events/expression.h"
#include "events/selection.h"
#include "startup/event_program.h"

namespace vtrrt {

namespace {

constexpr std::size_t ConstantComparisonOffset = 12;

std::int16_t RecordSize(const std::uint8_t* record) {
    return GetI16(record);
}

bool IsCondition(const std::uint8_t* record) {
    return GetI16(record + RecordNumber) < 0;
}

int ParameterCount(const std::uint8_t* record) {
    return static_cast<std::int8_t>(record[RecordParameterCount]);
}

std::int16_t ParameterSize(const std::uint8_t* parameter) {
    return GetI16(parameter);
}

// Whether the parameter holds at least `bytes` bytes.
bool Holds(const std::uint8_t* parameter, std::size_t bytes) {
    return parameter && ParameterSize(parameter) >= static_cast<std::int16_t>(bytes);
}

const std::uint8_t* Checked(const std::uint8_t* record, const std::uint8_t* parameter) {
    const std::uint8_t* end = record + RecordSize(record);
    if (parameter + ParameterHeaderBytes > end) return nullptr;
    const std::int16_t size = ParameterSize(parameter);
    if (size < static_cast<std::int16_t>(ParameterHeaderBytes) || parameter + size > end) return nullptr;
    return parameter;
}

} // namespace

bool IsExpressionParameterCode(std::int16_t code) {
    switch (code) {
    case 15:
    case 22:
    case 23:
    case 27:
    case 28:
    case 45:
    case 46:
    case 52:
    case 53:
    case 54:
    case 59:
    case 62:
        return true;
    default:
        return false;
    }
}

const std::uint8_t* FirstParameter(const std::uint8_t* record) {
    if (!record || ParameterCount(record) <= 0) return nullptr;
    const std::size_t header = IsCondition(record) ? ConditionHeaderBytes : ActionHeaderBytes;
    return Checked(record, record + header);
}

const std::uint8_t* NextParameter(const std::uint8_t* record, const std::uint8_t* parameter) {
    if (!record || !parameter) return nullptr;
    return Checked(record, parameter + ParameterSize(parameter));
}

const std::uint8_t* ParameterAt(const std::uint8_t* record, int n) {
    if (!record || n < 0 || n >= ParameterCount(record)) return nullptr;
    const std::uint8_t* p = FirstParameter(record);
    for (int i = 0; p && i < n; ++i)
        p = NextParameter(record, p);
    return p;
}

std::int16_t ParameterCode(const std::uint8_t* parameter) {
    return parameter ? GetI16(parameter + ParameterCodeAt) : 0;
}

std::int32_t GetIntParameter(const std::uint8_t* parameter) {
    const std::int16_t code = ParameterCode(parameter);
    if (IsExpressionParameterCode(code)) return EvaluateExpressionParameter(parameter)->ToInt();
    if (code == ParamTime || code == 24) return Holds(parameter, 8) ? GetI32(parameter + ParamValueAt) : 0;
    return Holds(parameter, 6) ? GetI16(parameter + ParamValueAt) : 0;
}

TypedValue GetValueParameter(const std::uint8_t* parameter) {
    if (IsExpressionParameterCode(ParameterCode(parameter))) return *EvaluateExpressionParameter(parameter);
    return TypedValue::Int(GetIntParameter(parameter));
}

const win32::WCHAR* GetStringParameter(const std::uint8_t* parameter) {
    static const win32::WCHAR empty[1] = {0};
    const std::int16_t code = ParameterCode(parameter);
    if (IsExpressionParameterCode(code)) return EvaluateStringParameter(parameter);
    if (code != ParamFile && code != ParamFile2 && code != ParamString) return empty;
    const std::int16_t size = ParameterSize(parameter);
    if (size < 6) return empty;
    // The text must end inside the parameter.
    const auto* text = reinterpret_cast<const win32::WCHAR*>(parameter + 4);
    const std::size_t units = (static_cast<std::size_t>(size) - 4) / 2;
    for (std::size_t i = 0; i < units; ++i)
        if (GetU16(parameter + ParameterPayloadAt + 2 * i) == 0) return text;
    return empty;
}

bool GetComparisonParameter(const std::uint8_t* parameter, int* op, TypedValue* value) {
    const std::int16_t code = ParameterCode(parameter);
    if (code == 42) {
        if (!Holds(parameter, ConstantComparisonOffset + 2)) return false;
        *op = GetI16(parameter + ConstantComparisonOffset);
        *value = TypedValue::Int(GetI32(parameter + ParamValueAt));
        return true;
    }
    if (!IsExpressionParameterCode(code) || !Holds(parameter, 6)) return false;
    *op = GetU16(parameter + ExpressionParamComparisonAt);
    *value = *EvaluateExpressionParameter(parameter);
    return true;
}

bool CompareWithParameter(const TypedValue& value, const std::uint8_t* parameter) {
    int op = 0;
    TypedValue other{};
    if (!GetComparisonParameter(parameter, &op, &other)) return false;
    return CompareTypedValues(value, other, op);
}

RunObject* ActionObjectOf(std::uint8_t* record) {
    EventRunState* s = CurrentEventState();
    if (!s || !record) return nullptr;
    record[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordNoObjectFound);
    s->emptyMeansNone = 255;
    bool more = false;
    const std::uint16_t ref = GetU16(record + RecordResolved);
    // A pass driven over this object info's walk already holds its object.
    const bool driven = static_cast<std::int32_t>(ref) == s->passEntry && s->passStamp == s->actionStamp &&
                        s->passNumber == s->repeatPass;
    RunObject* o = driven && s->run->objects && s->passObject >= 0 && s->passObject < s->run->maxObjects
                       ? s->run->objects[s->passObject].object
                   : driven ? nullptr
                            : GetActionObjectOf(ref, &more);
    if (driven) more = s->passMore;
    if (!o) {
        record[RecordRunFlags] |= RecordNoObjectFound;
        return nullptr;
    }
    if (more) {
        record[RecordRunFlags] |= RecordRepeat;
        s->repeatRequest = 1;
    }
    return o;
}

RunObject* GetObjectParameter(const std::uint8_t* parameter, std::uint8_t* record) {
    if (ParameterCode(parameter) != ParamObject) return nullptr;
    return GetParameterObject(parameter, record);
}

} // namespace vtrrt
