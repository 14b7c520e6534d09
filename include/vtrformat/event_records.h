// The stored form of an event program: header sizes, the fields of groups, records (conditions and actions),
// parameters and expression tokens, their flags and codes, and small bounded views that name the fields.
#pragma once

#include "vtrformat/bytes.h"
#include "vtrformat/chunks.h"
#include "vtrformat/codes.h"

#include <cstddef>
#include <cstdint>

namespace vtrformat {

constexpr int EventObjectTypeCount = 17; // -7 to 9
constexpr std::uint16_t MinFrameObjects = 300;
constexpr std::size_t EventHeaderBytes = 42;

constexpr std::size_t GroupHeaderBytes = 16;
constexpr std::size_t ConditionHeaderBytes = 16;
constexpr std::size_t ActionHeaderBytes = 14;
constexpr std::size_t ParameterHeaderBytes = 4;
constexpr std::size_t TokenHeaderBytes = 6;
constexpr std::size_t TerminatorBytes = 4;

// Offsets inside a group.
constexpr std::size_t GroupSizeAt = 0; // stored negative
constexpr std::size_t GroupConditionCount = 2;
constexpr std::size_t GroupActionCount = 3;
constexpr std::size_t GroupFlags = 4;
constexpr std::size_t GroupCounterA = 8;
constexpr std::size_t GroupCounterB = 12;

// Offsets inside a record.
constexpr std::size_t RecordSizeAt = 0;
constexpr std::size_t RecordType = 2;
constexpr std::size_t RecordNumber = 4;
constexpr std::size_t RecordObjectInfo = 6;
constexpr std::size_t RecordResolved = 8;
constexpr std::size_t RecordRunFlags = 10;
constexpr std::size_t RecordNegation = 11;
constexpr std::size_t RecordParameterCount = 12;
constexpr std::size_t ConditionIdentifier = 14; // conditions only

// Offsets inside a parameter, and of the payload that follows its header.
constexpr std::size_t ParameterSizeAt = 0;
constexpr std::size_t ParameterCodeAt = 2;
constexpr std::size_t ParameterPayloadAt = 4;

// Fields of parameter payloads, by offset from the parameter's start.
constexpr std::size_t ParamValueAt = 4;          // a 16- or 32-bit value
constexpr std::size_t ObjectParamResolvedAt = 4; // code 1: written by the preparation
constexpr std::size_t ObjectParamHandleAt = 6;
constexpr std::size_t ObjectParamTypeAt = 8;
constexpr std::size_t SoundParamHandleAt = 4; // codes 6, 7, 35, 36
constexpr std::size_t SoundParamFlagsAt = 6;
constexpr std::size_t SoundParamNameAt = 8;
constexpr std::size_t PositionParamParentAt = 4; // codes 9, 16, 18, 21
constexpr std::size_t PositionParamFlagsAt = 6;
constexpr std::size_t PositionParamXAt = 8;
constexpr std::size_t PositionParamYAt = 10;
constexpr std::size_t PositionParamParentTypeAt = 20;
constexpr std::size_t PositionParamResolvedAt = 22;
constexpr std::size_t PositionParamInstanceAt = 26; // code 21
constexpr std::size_t ExpressionParamComparisonAt = 4;
constexpr std::size_t ExpressionParamTokensAt = 6;
constexpr std::size_t GroupPointerParamOffsetAt = 4;  // code 39: from the parameter to its group
constexpr std::size_t ProgramParamFlagsAt = 4;        // code 33
constexpr std::size_t ConstantParamComparisonAt = 12; // code 42
constexpr std::size_t InkParamCodeAt = 4;             // an ink effect and its parameter
constexpr std::size_t InkParamParameterAt = 8;

// Fields of an object token's payload, by offset from the token's start.
constexpr std::size_t TokenObjectHandleAt = 6;
constexpr std::size_t TokenObjectResolvedAt = 8;
constexpr std::size_t TokenObjectConstantAt = 10;

// Offsets inside an expression token.
constexpr std::size_t TokenCodeAt = 0;
constexpr std::size_t TokenSizeAt = 4;
constexpr std::size_t TokenPayloadAt = 6;

// Group flags.
constexpr std::uint16_t GroupKeepFlag1 = 0x0001;
constexpr std::uint16_t GroupOnlyOnce = 0x0002;
constexpr std::uint16_t GroupCounted = 0x0004;
constexpr std::uint16_t GroupTimed = 0x0008;
constexpr std::uint16_t GroupHasSwap = 0x0010;
constexpr std::uint16_t GroupHasOr = 0x0400;
constexpr std::uint16_t GroupHasCreateOrDestroy = 0x0800;
constexpr std::uint16_t GroupLogicalOr = 0x1000;
constexpr std::uint16_t GroupInactive = 0x4000;
constexpr std::uint16_t GroupPreparedClear = 0x081F;

// Record run flags.
constexpr std::uint8_t RecordRepeat = 0x01;
constexpr std::uint8_t RecordSkipInRestart = 0x08;
constexpr std::uint8_t RecordNoObjectFound = 0x10;
constexpr std::uint8_t RecordEveryLoop = 0x20;
constexpr std::uint8_t RecordDisabled = 0x80;

// The bit of a record's object-info word that makes it a qualifier (or a resolved qualifier list).
constexpr std::uint16_t QualifierBit = 0x8000;

// Parameter codes.
enum EventParameterCode : std::int16_t {
    ParamObject = 1,
    ParamTime = 2,
    ParamSample = 6,
    ParamMusic = 7,
    ParamPosition = 9,
    ParamShortAndString = 10,
    ParamCreate = 16,
    ParamShoot = 18,
    ParamCreateInstance = 21,
    ParamExpression = 22,
    ParamZeroed = 25,
    ParamFrameHandle = 26,
    ParamDirections = 29, // a 32-bit mask of directions
    ParamParagraphConstant = 31,
    ParamProgram = 33,
    ParamSample2 = 35,
    ParamMusic2 = 36,
    ParamGroup = 38,
    ParamGroupPointer = 39,
    ParamFile = 40,
    ParamObstacle = 43,
    ParamStringExpression = 45,
    ParamStringComparison = 46,
    ParamGlobalValueNumber = 52,
    ParamShortAndName = 57,
    ParamGlobalStringNumber = 59,
    ParamFile2 = 63,
    ParamString = 64,
    ParamConstant67 = 67,
};

// Token codes: object type in the low half, number in the high half.
constexpr std::int32_t TokenEnd = 0;
constexpr std::int32_t TokenIntegerCode = 0x0000FFFF; // special object, number 0
constexpr std::int32_t TokenString = 0x0003FFFF;      // special object, number 3
constexpr std::int32_t TokenDoubleCode = 0x0017FFFF;  // special object, number 23
constexpr std::int32_t TokenGlobalValueCode = 0x0018FFFF;
// The evaluator ends a (sub-)expression at any code above LastOperatorCode where an operator is due: ")" and
// "," are the first two such codes of object type 0.
constexpr std::int32_t TokenCloseCode = 0x00140000;
constexpr std::int32_t TokenCommaCode = 0x00160000;

// Operator codes (object type 0); the routine is chosen by code >> 17.
constexpr std::int32_t OperatorAddCode = 0x00020000;
constexpr std::int32_t OperatorSubtractCode = 0x00040000;
constexpr std::int32_t OperatorMultiplyCode = 0x00060000;
constexpr std::int32_t OperatorDivideCode = 0x00080000;
constexpr std::int32_t OperatorModuloCode = 0x000A0000;
constexpr std::int32_t OperatorPowerCode = 0x000C0000;
constexpr std::int32_t OperatorAndCode = 0x000E0000;
constexpr std::int32_t OperatorOrCode = 0x00100000;
constexpr std::int32_t OperatorXorCode = 0x00120000;
constexpr std::int32_t LastOperatorCode = 0x0013FFFF;
constexpr std::int32_t UnaryMinusCode = 0x00040000; // the subtract code where an operand is due
constexpr std::int32_t ParenthesisCode = -1;        // special object, number -1

// A view over stored bytes bounded by their own size field (at offset 0): a field that does not lie within
// that size reads as 0, so a damaged size never reads past its record. Bytes the event program's walk has
// checked are given by their first byte.
class SizedView {
public:
    explicit SizedView(const std::uint8_t* first) : first_(first) {}
    SizedView(const std::uint8_t* first, std::size_t sizeOffset, bool storedNegative = false)
        : first_(first), sizeOffset_(sizeOffset), storedNegative_(storedNegative) {}

    bool Valid() const { return first_ != nullptr; }
    // The size field as stored (a group's is negative).
    std::int16_t StoredSize() const { return first_ ? GetI16(first_ + sizeOffset_) : 0; }
    // The size in bytes; a size of the wrong sign is damage and bounds nothing.
    std::size_t Size() const {
        const int size = storedNegative_ ? -StoredSize() : StoredSize();
        return size > 0 ? static_cast<std::size_t>(size) : 0;
    }
    bool Holds(std::size_t bytes) const { return first_ && bytes <= Size(); }
    template <typename T> T At(std::size_t offset) const {
        return first_ && offset + sizeof(T) <= Size() ? LoadLE<T>(first_ + offset) : T{};
    }
    const std::uint8_t* Bytes() const { return first_; }

private:
    const std::uint8_t* first_;
    std::size_t sizeOffset_ = 0;
    bool storedNegative_ = false;
};

// One event group: its counts, flags and counters.
class StoredGroup : public SizedView {
public:
    explicit StoredGroup(const std::uint8_t* first) : SizedView(first, GroupSizeAt, true) {}
    int Conditions() const { return At<std::uint8_t>(GroupConditionCount); }
    int Actions() const { return At<std::uint8_t>(GroupActionCount); }
    std::uint16_t Flags() const { return At<std::uint16_t>(GroupFlags); }
    std::int32_t CounterA() const { return At<std::int32_t>(GroupCounterA); }
    std::int32_t CounterB() const { return At<std::int32_t>(GroupCounterB); }
};

// One condition or action.
class StoredRecord : public SizedView {
public:
    using SizedView::SizedView;
    std::int16_t Type() const { return At<std::int16_t>(RecordType); }
    std::int16_t Number() const { return At<std::int16_t>(RecordNumber); }
    // Number in the high half, type in the low half: negative exactly for conditions.
    std::int32_t Code() const { return At<std::int32_t>(RecordType); }
    bool IsCondition() const { return Number() < 0; }
    std::uint16_t ObjectInfo() const { return At<std::uint16_t>(RecordObjectInfo); }
    std::uint16_t Resolved() const { return At<std::uint16_t>(RecordResolved); }
    std::uint8_t RunFlags() const { return At<std::uint8_t>(RecordRunFlags); }
    bool Negated() const { return At<std::uint8_t>(RecordNegation) & 1; }
    int ParameterCount() const { return At<std::int8_t>(RecordParameterCount); }
    std::uint16_t Identifier() const { return At<std::uint16_t>(ConditionIdentifier); }
    std::size_t HeaderBytes() const { return IsCondition() ? ConditionHeaderBytes : ActionHeaderBytes; }
};

// One parameter: its code and the fields of its payload, by offset from the parameter's start.
class StoredParameter : public SizedView {
public:
    using SizedView::SizedView;
    std::int16_t Code() const { return At<std::int16_t>(ParameterCodeAt); }
    // The payload's fields, by offset from the payload's start.
    std::int16_t PayloadI16(std::size_t at) const { return At<std::int16_t>(ParameterPayloadAt + at); }
    std::uint16_t PayloadU16(std::size_t at) const { return At<std::uint16_t>(ParameterPayloadAt + at); }
    std::int32_t PayloadI32(std::size_t at) const { return At<std::int32_t>(ParameterPayloadAt + at); }
    bool HoldsPayload(std::size_t bytes) const { return Holds(ParameterPayloadAt + bytes); }
};

// One expression token: the size field sits after the 32-bit code.
class StoredToken : public SizedView {
public:
    explicit StoredToken(const std::uint8_t* first) : SizedView(first, TokenSizeAt) {}
    std::int32_t Code() const { return Bytes() ? GetI32(Bytes() + TokenCodeAt) : 0; }
    std::int16_t PayloadI16(std::size_t at) const { return At<std::int16_t>(TokenPayloadAt + at); }
    std::uint16_t PayloadU16(std::size_t at) const { return At<std::uint16_t>(TokenPayloadAt + at); }
    std::int32_t PayloadI32(std::size_t at) const { return At<std::int32_t>(TokenPayloadAt + at); }
    bool HoldsPayload(std::size_t bytes) const { return Holds(TokenPayloadAt + bytes); }
};

// The stored zone of a zone parameter: left, top, right, bottom.
struct StoredZone {
    std::int16_t left, top, right, bottom;
};
constexpr std::size_t ZonePayloadBytes = 8;
inline StoredZone ZoneOf(const StoredParameter& p) {
    return {p.PayloadI16(0), p.PayloadI16(2), p.PayloadI16(4), p.PayloadI16(6)};
}

} // namespace vtrformat
