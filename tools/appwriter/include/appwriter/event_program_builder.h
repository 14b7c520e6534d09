// Assembles event programs (groups, conditions, actions, parameters and expression tokens) and the events
// chunk that carries them, in either string form.
#pragma once

#include "appwriter/application_writer.h"

#include <cstdint>
#include <string>
#include <vector>

#include "vtrformat/event_records.h"

namespace appwriter {

using namespace vtrformat;

// An expression as a token stream; strings are stored in the form given to Build.
class ExpressionBuilder {
public:
    ExpressionBuilder& Integer(std::int32_t value);
    ExpressionBuilder& String(std::u16string text);
    ExpressionBuilder& Operator(std::int32_t code);
    ExpressionBuilder& Open();
    ExpressionBuilder& Close();
    ExpressionBuilder& Comma();
    // An expression of an object: its type and number, with the object-info handle at 6.
    ExpressionBuilder& Object(std::int16_t type, std::int16_t number, std::uint16_t objectInfo);
    // The same with a number carried in the token after the object (an alterable value's or string's).
    ExpressionBuilder& Object(std::int16_t type, std::int16_t number, std::uint16_t objectInfo,
                              std::int16_t constant);
    ExpressionBuilder& Raw(std::int32_t code, Bytes payload);

    // The tokens and the end (a 32-bit 0 and a 16-bit 0).
    Bytes Build(StringForm form) const;

private:
    struct Token {
        std::int32_t code;
        Bytes payload;
        std::u16string text;
        bool isString = false;
    };
    std::vector<Token> tokens_;
};

struct EventParameterDesc {
    std::int16_t code = 0;
    Bytes payload; // what follows the size and code
    // Strings to store after the fixed payload in the program's form (codes 10 and 64), or -1.
    std::u16string text;
    bool hasText = false;
    ExpressionBuilder expression;
    bool isExpression = false;
    int groupReference = -1; // code 39: index of the group referred to
    // Fixed-width text fields: {offset in the stored parameter of the given form, UTF-16 units, 8-bit bytes}
    struct Field {
        std::size_t wideOffset, wideUnits, narrowOffset, narrowBytes;
        std::u16string text;
    };
    std::vector<Field> fields;
    std::size_t wideSize = 0, narrowSize = 0; // sizes of parameters with fields
};

struct EventRecordDesc {
    std::int16_t type = 0;
    std::int16_t number = 0;
    std::uint16_t objectInfo = 0;
    std::uint8_t runFlags = 0;
    std::uint8_t negation = 0;
    // Conditions: the word after the parameter count, which keys the collisions they record.
    std::uint16_t identifier = 0;
    std::vector<EventParameterDesc> parameters;
    std::optional<std::int16_t> sizeOverride; // to write damaged records
    std::optional<std::int8_t> countOverride;
};

struct EventGroupDesc {
    std::uint16_t flags = 0;
    std::int32_t counterA = 0, counterB = 0;
    std::vector<EventRecordDesc> conditions;
    std::vector<EventRecordDesc> actions;
    std::optional<std::int16_t> sizeOverride;
};

// Parameter helpers.
EventParameterDesc ObjectParameter(std::uint16_t objectInfo, std::int16_t type);
EventParameterDesc ShortParameter(std::int16_t code, std::int16_t value);
EventParameterDesc IntParameter(std::int16_t code, std::int32_t value);
EventParameterDesc ExpressionParameter(std::int16_t code, ExpressionBuilder expression,
                                       std::uint16_t comparison = 0);
// Codes 9, 16, 18, 21: parent object-info handle at 4, its type at 20, the resolved index at 22, (21) 26.
EventParameterDesc PositionParameter(std::int16_t code, std::uint16_t parent, std::int16_t parentType);
// A position of codes 9, 16, 18 and 21 in full: absolute (parent 0xFFFF) or relative to an object info (its
// flags: 1 polar, 2 from its action point, 4 its direction, 8 no direction).
struct PositionDesc {
    std::uint16_t parent = 0xFFFF;
    std::int16_t parentType = 2;
    std::uint16_t flags = 0;
    std::int16_t x = 0, y = 0;
    std::int16_t distance = 0, angle = 0;
    std::uint32_t directions = 1; // the mask a direction is drawn from
    std::int16_t layer = 0;
};
EventParameterDesc PositionParameter(std::int16_t code, const PositionDesc& position);
// Code 21: the position, the frame item the preparation writes at 26, and the object info created at 28.
EventParameterDesc CreateParameter(std::uint16_t objectInfo, const PositionDesc& position);
// Code 18: the position, the object info shot at 28 and its speed at 30.
EventParameterDesc ShootParameter(std::uint16_t objectInfo, std::int16_t speed, const PositionDesc& position);
// Code 42: a 32-bit constant compared by an operator.
EventParameterDesc ConstantComparisonParameter(std::int32_t value, std::int16_t comparison);
// A zone: left, top, right and bottom.
EventParameterDesc ZoneParameter(std::int16_t left, std::int16_t top, std::int16_t right,
                                 std::int16_t bottom);
// An ink effect: its ink word and parameter.
EventParameterDesc InkParameter(std::uint32_t ink, std::uint32_t parameter);
EventParameterDesc SampleParameter(std::int16_t code, std::uint16_t handle, std::uint16_t flags,
                                   std::u16string name);
EventParameterDesc FileParameter(std::int16_t code, std::u16string name);
EventParameterDesc ProgramParameter(std::uint16_t flags, std::u16string path, std::u16string commandLine);
EventParameterDesc GroupParameter(std::u16string title, std::u16string password, std::uint32_t identifier);
EventParameterDesc GroupReferenceParameter(int groupIndex);
EventParameterDesc Named57Parameter(std::uint16_t value, std::u16string name);
EventParameterDesc StringParameter(std::u16string text);                           // code 64
EventParameterDesc ShortStringParameter(std::uint16_t value, std::u16string text); // code 10

struct EventQualifierDesc {
    std::uint16_t qualifier; // bit 15 set
    std::int16_t objectType;
};

class EventProgramBuilder {
public:
    explicit EventProgramBuilder(StringForm form = StringForm::Wide) : form_(form) {}

    std::uint16_t maxObjects = 300;
    std::uint16_t objectInfoCount = 0;
    std::uint16_t runtimeCount = 0;
    std::array<std::int16_t, 17> conditionCounts{};
    std::vector<EventQualifierDesc> qualifiers;

    // Returns the group's index.
    int AddGroup(EventGroupDesc group);
    const std::vector<EventGroupDesc>& Groups() const { return groups_; }

    // The groups back to back and the terminator {0, -1}.
    Bytes Program() const;
    // Offsets of each group in Program().
    std::vector<std::size_t> GroupOffsets() const;
    // The events chunk payload: "ER>>" header, "ERes", one "ERev" per `pieces` part, "<<ER".
    Bytes ChunkPayload(int pieces = 1) const;
    Bytes HeaderItem() const;

private:
    Bytes Parameter(const EventParameterDesc& p, std::size_t paramOffset,
                    const std::vector<std::size_t>& groupOffsets) const;
    Bytes Groups(const std::vector<std::size_t>& groupOffsets) const;

    StringForm form_;
    std::vector<EventGroupDesc> groups_;
};

} // namespace appwriter
